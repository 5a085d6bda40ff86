#include "agent/observer.h"

#include <aclapi.h>

#include <cwchar>
#include <vector>

namespace {

// Everyone: deny WRITE_DAC|WRITE_OWNER, then allow GENERIC_ALL. Holds the
// descriptor and its list for the duration of one create call.
class GuardedSecurity {
 public:
  GuardedSecurity() {
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    if (!::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                                    sid_.put()))
      return;
    DWORD acl_size = 2 * ::GetLengthSid(sid_.get()) + 32 + 2 * sizeof(ACCESS_ALLOWED_ACE);
    acl_.resize(acl_size);
    PACL acl = reinterpret_cast<PACL>(acl_.data());
    if (!::InitializeAcl(acl, acl_size, ACL_REVISION) ||
        !::AddAccessDeniedAce(acl, ACL_REVISION, WRITE_DAC | WRITE_OWNER, sid_.get()) ||
        !::AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, sid_.get()) ||
        !::InitializeSecurityDescriptor(&sd_, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&sd_, TRUE, acl, FALSE))
      return;
    sa_.nLength = sizeof(sa_);
    sa_.lpSecurityDescriptor = &sd_;
    sa_.bInheritHandle = FALSE;
    ok_ = true;
  }
  GuardedSecurity(const GuardedSecurity&) = delete;
  GuardedSecurity& operator=(const GuardedSecurity&) = delete;

  // Default security when the descriptor could not be built.
  SECURITY_ATTRIBUTES* get() { return ok_ ? &sa_ : nullptr; }

 private:
  zu::UniqueSid sid_;
  std::vector<BYTE> acl_;
  SECURITY_DESCRIPTOR sd_{};
  SECURITY_ATTRIBUTES sa_{};
  bool ok_ = false;
};

}  // namespace

HANDLE CreateGuardedMutex(const std::wstring& name) {
  GuardedSecurity sec;
  HANDLE h = ::CreateMutexW(sec.get(), FALSE, name.c_str());
  if (!h) h = ::OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
  return h;
}

HANDLE CreateGuardedEvent(const std::wstring& name) {
  GuardedSecurity sec;
  HANDLE h = ::CreateEventW(sec.get(), TRUE, FALSE, name.c_str());
  if (!h) h = ::OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, name.c_str());
  return h;
}

CObserveApp::CObserveApp(const std::wstring& name) : name_(name) {
  session_event_.reset(CreateGuardedEvent(SessionEventName()));
  global_event_.reset(CreateGuardedEvent(GlobalEventName()));
}

CObserveApp::~CObserveApp() {
  if (stop_event_) ::SetEvent(stop_event_.get());
  ::SwitchToThread();
  Stop();
  session_event_.reset();
  global_event_.reset();
  EndWatcher();
}

std::wstring CObserveApp::Name(const wchar_t* pattern) const {
  std::vector<wchar_t> buf(name_.size() + 64);
  std::swprintf(buf.data(), buf.size(), pattern, name_.c_str());
  return buf.data();
}

bool CObserveApp::IsObserverPresent() const {
  zu::UniqueHandle h(::OpenMutexW(SYNCHRONIZE, FALSE, SessionMutexName().c_str()));
  return static_cast<bool>(h);
}

bool CObserveApp::RequestSessionShutdown() {
  return session_event_ && ::SetEvent(session_event_.get());
}

bool CObserveApp::RequestGlobalShutdown() {
  return global_event_ && ::SetEvent(global_event_.get());
}

bool CObserveApp::WaitUntilNoAgentRuns(DWORD timeout_ms) const {
  const std::wstring marker = GlobalMutexName();
  const DWORD start = ::GetTickCount();
  for (;;) {
    zu::UniqueHandle held(::OpenMutexW(SYNCHRONIZE, FALSE, marker.c_str()));
    // Refused access means the marker is there all the same.
    if (!held && ::GetLastError() != ERROR_ACCESS_DENIED) return true;
    if (::GetTickCount() - start >= timeout_ms) return false;
    ::Sleep(50);
  }
}

bool CObserveApp::Start() {
  if (!session_mutex_) {
    session_mutex_.reset(CreateGuardedMutex(SessionMutexName()));
    if (session_mutex_) ::WaitForSingleObject(session_mutex_.get(), 0);
  }
  if (!global_mutex_) {
    global_mutex_.reset(CreateGuardedMutex(GlobalMutexName()));
    if (global_mutex_) ::WaitForSingleObject(global_mutex_.get(), 0);
  }
  EndWatcher();
  stop_event_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (stop_event_) watcher_.reset(::CreateThread(nullptr, 0, &WatcherMain, this, 0, nullptr));
  return static_cast<bool>(session_mutex_);
}

void CObserveApp::Stop() {
  if (stop_event_) ::SetEvent(stop_event_.get());
  // Closed, not released: other processes test for the marker by name,
  // and it goes away with the last handle.
  session_mutex_.reset();
  global_mutex_.reset();
}

void CObserveApp::EndWatcher() {
  if (watcher_) {
    if (stop_event_) ::SetEvent(stop_event_.get());
    if (::WaitForSingleObject(watcher_.get(), 2000) != WAIT_OBJECT_0)
      ::TerminateThread(watcher_.get(), 1);
  }
  watcher_.reset();
  stop_event_.reset();
}

DWORD WINAPI CObserveApp::WatcherMain(void* param) {
  auto* self = static_cast<CObserveApp*>(param);
  // Index order is the priority when several are signalled. A missing
  // event is replaced by the stop event so the wait stays valid.
  HANDLE stop = self->stop_event_.get();
  HANDLE handles[3] = {stop, self->global_event_ ? self->global_event_.get() : stop,
                       self->session_event_ ? self->session_event_.get() : stop};
  DWORD r = ::WaitForMultipleObjects(3, handles, FALSE, INFINITE);
  IObserveEvent* sink = self->sink_;
  if (r == WAIT_OBJECT_0 + 1 && handles[1] != stop) {
    if (sink) sink->OnGlobalShutdown();
  } else if (r == WAIT_OBJECT_0 + 2 && handles[2] != stop) {
    if (sink) sink->OnSessionShutdown();
  }
  return 0;
}
