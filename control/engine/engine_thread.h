#pragma once
// CThread: the base of the control's worker threads. Start runs Run on a
// new thread and returns at once; the owner joins the thread before the
// object goes (a derived destructor calls Join, since Run uses its members).
#include "common/framework/handle.h"

class CThread {
 public:
  CThread() = default;
  virtual ~CThread();
  CThread(const CThread&) = delete;
  CThread& operator=(const CThread&) = delete;

  // True when the thread was started (normal priority, default stack).
  bool Start();
  // Waits for Run to end; nothing when the thread never started.
  void Join();

 protected:
  virtual void Run() = 0;

 private:
  static unsigned __stdcall ThreadMain(void* self);
  zu::UniqueHandle thread_;
};
