#include "control/engine/engine_thread.h"

#include <process.h>

CThread::~CThread() { Join(); }

bool CThread::Start() {
  if (thread_) return false;
  // _beginthreadex, not CreateThread: Run uses the C runtime.
  thread_.reset(reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &CThread::ThreadMain, this, 0,
                                                         nullptr)));
  return static_cast<bool>(thread_);
}

void CThread::Join() {
  if (!thread_) return;
  ::WaitForSingleObject(thread_.get(), INFINITE);
  thread_.reset();
}

unsigned __stdcall CThread::ThreadMain(void* self) {
  static_cast<CThread*>(self)->Run();
  return 0;
}
