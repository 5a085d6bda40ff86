#include "agent/observer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace {

// Unique names per test so the tests never meet a running agent.
std::wstring TestName(const wchar_t* what) {
  return L"ZEFO Test " + std::to_wstring(::GetCurrentProcessId()) + L" " + what;
}

class RecordingSink : public CObserveApp::IObserveEvent {
 public:
  RecordingSink() : called_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~RecordingSink() { ::CloseHandle(called_); }
  void OnGlobalShutdown() override { Record(1); }
  void OnSessionShutdown() override { Record(2); }
  bool Wait(DWORD ms) { return ::WaitForSingleObject(called_, ms) == WAIT_OBJECT_0; }
  std::atomic<int> last{0};
  std::atomic<int> count{0};

 private:
  void Record(int which) {
    last = which;
    ++count;
    ::SetEvent(called_);
  }
  HANDLE called_;
};

TEST(Observer, NamesFollowTheAgentName) {
  CObserveApp app(L"ZEFO Update");
  EXPECT_EQ(L"ZEFO Update-MutexUser", app.SessionMutexName());
  EXPECT_EQ(L"Global\\ZEFO Update-MutexAll", app.GlobalMutexName());
  EXPECT_EQ(L"ZEFO Update-Shutdown-User", app.SessionEventName());
  EXPECT_EQ(L"Global\\ZEFO Update-Shutdown-All", app.GlobalEventName());
}

TEST(Observer, StartMarksTheSessionUntilStopped) {
  const std::wstring name = TestName(L"marker");
  CObserveApp running(name);
  CObserveApp other(name);
  EXPECT_FALSE(other.IsObserverPresent());
  EXPECT_TRUE(running.Start());
  EXPECT_TRUE(other.IsObserverPresent());
  zu::UniqueHandle global(::OpenMutexW(SYNCHRONIZE, FALSE, running.GlobalMutexName().c_str()));
  EXPECT_TRUE(global);
  global.reset();
  running.Stop();
  EXPECT_FALSE(other.IsObserverPresent());
}

DWORD WINAPI StopSoon(void* observer) {
  ::Sleep(200);
  static_cast<CObserveApp*>(observer)->Stop();
  return 0;
}

TEST(Observer, WaitingForAgentsEndsWhenTheLastMarkerGoes) {
  const std::wstring name = TestName(L"wait");
  CObserveApp installer(name);
  EXPECT_TRUE(installer.WaitUntilNoAgentRuns(0));  // none ran
  CObserveApp running(name);
  running.Start();
  const DWORD start = ::GetTickCount();
  EXPECT_FALSE(installer.WaitUntilNoAgentRuns(300));
  EXPECT_GE(::GetTickCount() - start, 300u);
  // The agent ends while the installer waits.
  zu::UniqueHandle stopper(::CreateThread(nullptr, 0, &StopSoon, &running, 0, nullptr));
  EXPECT_TRUE(installer.WaitUntilNoAgentRuns(5000));
  ::WaitForSingleObject(stopper.get(), 5000);
}

TEST(Observer, RequestsReachTheSinkOnce) {
  for (bool global : {false, true}) {
    const std::wstring name = TestName(global ? L"global" : L"session");
    RecordingSink sink;
    CObserveApp agent(name);
    agent.SetEventSink(&sink);
    agent.Start();
    CObserveApp requester(name);  // another process in real life
    if (global) {
      EXPECT_TRUE(requester.RequestGlobalShutdown());
      EXPECT_TRUE(requester.RequestGlobalShutdown());  // twice is like once
    } else {
      EXPECT_TRUE(requester.RequestSessionShutdown());
    }
    ASSERT_TRUE(sink.Wait(5000));
    ::Sleep(100);
    EXPECT_EQ(global ? 1 : 2, sink.last.load());
    EXPECT_EQ(1, sink.count.load());
  }
}

TEST(Observer, GlobalRequestWinsWhenBothAreSignalled) {
  const std::wstring name = TestName(L"both");
  CObserveApp requester(name);
  requester.RequestSessionShutdown();
  requester.RequestGlobalShutdown();
  RecordingSink sink;
  CObserveApp agent(name);
  agent.SetEventSink(&sink);
  agent.Start();
  ASSERT_TRUE(sink.Wait(5000));
  EXPECT_EQ(1, sink.last.load());
}

TEST(Observer, RequestIsForgottenWithItsLastHandle) {
  const std::wstring name = TestName(L"stale");
  {
    CObserveApp requester(name);
    requester.RequestSessionShutdown();
  }
  RecordingSink sink;
  CObserveApp agent(name);
  agent.SetEventSink(&sink);
  agent.Start();
  EXPECT_FALSE(sink.Wait(300));
}

TEST(Observer, DestroyEndsAnIdleWatcherPromptly) {
  RecordingSink sink;
  DWORD start = ::GetTickCount();
  {
    CObserveApp agent(TestName(L"idle"));
    agent.SetEventSink(&sink);
    agent.Start();
    agent.Start();  // a restart replaces the watcher
  }
  EXPECT_LT(::GetTickCount() - start, 1500u);
  EXPECT_EQ(0, sink.count.load());
}

TEST(Observer, GuardedObjectsOpenWhenTheyExist) {
  const std::wstring name = TestName(L"guarded");
  zu::UniqueHandle first(CreateGuardedMutex(name + L" mutex"));
  ASSERT_TRUE(first);
  // Creating again is refused by the descriptor; the object is opened.
  zu::UniqueHandle second(CreateGuardedMutex(name + L" mutex"));
  EXPECT_TRUE(second);
  zu::UniqueHandle ev1(CreateGuardedEvent(name + L" event"));
  zu::UniqueHandle ev2(CreateGuardedEvent(name + L" event"));
  ASSERT_TRUE(ev1);
  ASSERT_TRUE(ev2);
  EXPECT_TRUE(::SetEvent(ev2.get()));  // opened with modify-state access
  EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(ev1.get(), 0));
  EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(ev1.get(), 0));  // manual reset
}

}  // namespace
