#pragma once
// Marks a running agent by named mutexes and turns stop requests (named
// events that any process may signal) into calls on a sink.
#include <windows.h>

#include <string>

#include "common/framework/handle.h"

class CObserveApp {
 public:
  class IObserveEvent {
   public:
    virtual void OnGlobalShutdown() = 0;
    virtual void OnSessionShutdown() = 0;

   protected:
    ~IObserveEvent() = default;
  };

  // Creates or opens both shutdown events.
  explicit CObserveApp(const std::wstring& name);
  virtual ~CObserveApp();
  CObserveApp(const CObserveApp&) = delete;
  CObserveApp& operator=(const CObserveApp&) = delete;

  // Whether another process of this session holds the session marker.
  bool IsObserverPresent() const;
  bool RequestSessionShutdown();  // "/Halt"
  bool RequestGlobalShutdown();   // "/HaltAll"
  // Waits until no agent of any session holds the all-sessions marker, so
  // that an installer may replace the program; at most timeout_ms. True
  // when none does.
  bool WaitUntilNoAgentRuns(DWORD timeout_ms) const;

  void SetEventSink(IObserveEvent* sink) { sink_ = sink; }
  // Takes the marker mutexes and starts the watcher; true when the session
  // marker exists.
  bool Start();
  // Ends the watcher and closes the marker mutexes.
  void Stop();

  std::wstring SessionMutexName() const { return Name(L"%ls-MutexUser"); }
  std::wstring GlobalMutexName() const { return Name(L"Global\\%ls-MutexAll"); }
  std::wstring SessionEventName() const { return Name(L"%ls-Shutdown-User"); }
  std::wstring GlobalEventName() const { return Name(L"Global\\%ls-Shutdown-All"); }

 private:
  std::wstring Name(const wchar_t* pattern) const;
  void EndWatcher();
  static DWORD WINAPI WatcherMain(void* param);

  zu::UniqueHandle session_mutex_;
  zu::UniqueHandle global_mutex_;
  zu::UniqueHandle session_event_;
  zu::UniqueHandle global_event_;
  zu::UniqueHandle stop_event_;
  zu::UniqueHandle watcher_;
  std::wstring name_;
  IObserveEvent* sink_ = nullptr;
};

// Creates a named mutex or manual-reset event that nobody but its creator
// level may re-secure: Everyone is denied WRITE_DAC and WRITE_OWNER and
// allowed everything else. When it exists already (or creation is refused
// because of that descriptor) the existing object is opened.
HANDLE CreateGuardedMutex(const std::wstring& name);
HANDLE CreateGuardedEvent(const std::wstring& name);
