#include "agent/app.h"

#include <objbase.h>
#include <ole2.h>
// GDI+ headers need min/max and the full windows.h.
#include <algorithm>
#include <stdexcept>
using std::max;
using std::min;
#include <gdiplus.h>

#include "agent/command_line.h"
#include "agent/connectivity.h"
#include "agent/info/agent_message.h"
#include "agent/info/my_reg_key.h"
#include "agent/info/settings.h"
#include "agent/resource.h"
#include "agent/setup_dialog.h"
#include "agent/shortcuts.h"
#include "agent/startup_hooks.h"
#include "agent/update_check.h"
#include "common/autorun.h"
#include "common/framework/window.h"
#include "common/identity.h"
#include "common/platform.h"
#include "common/update_folder.h"

namespace {

CZUApp* g_app = nullptr;

constexpr wchar_t kActiveXMutex[] = L"Global\\ZEFO Update ActiveX Mutex";
constexpr wchar_t kUncheckItemName[] = L"UncheckItem.dat";
// How long "/HaltAll" waits for the agents it stopped to end.
constexpr DWORD kHaltAllWaitMs = 10000;

void DeleteSettingsFile() {
  const std::wstring path = GetSettingsFilePath();
  DWORD attrs = ::GetFileAttributesW(path.c_str());
  if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY))
    ::SetFileAttributesW(path.c_str(), attrs & ~FILE_ATTRIBUTE_READONLY);
  ::DeleteFileW(path.c_str());
}

void WaitForNetwork() {
  for (int i = 0; i < 90 && !IsConnected(); ++i) ::Sleep(1000);
}


}  // namespace

CZUApp& TheApp() { return *g_app; }

CZUApp::CZUApp() { g_app = this; }

CZUApp::~CZUApp() {
  main_window_.reset();
  g_app = nullptr;
}

int CZUApp::Run(const wchar_t* command_tail) {
  int exit_code = 0;
  try {
    if (InitInstance(command_tail ? command_tail : L"")) {
      MSG msg;
      while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
    }
  } catch (const std::logic_error&) {
    // A helper window or the pulse timer could not be made: the agent
    // cannot do its work, so it ends.
    exit_code = 1;
  }
  ExitInstance();
  return exit_code;
}

bool CZUApp::InitInstance(const std::wstring& tail) {
  Gdiplus::GdiplusStartupInput gdiplus_input;
  Gdiplus::GdiplusStartup(&gdiplus_token_, &gdiplus_input, nullptr);

  if (FAILED(::OleInitialize(nullptr))) {
    ::MessageBoxW(nullptr, L"Failed to initialize OLE", nullptr, MB_OK | MB_ICONSTOP);
    return false;
  }
  ole_initialized_ = true;
  if (FAILED(::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                    RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr)))
    return false;

  ::LoadLibraryW(L"riched20.dll");  // for the Options dialog's text
  resources_.reset(::LoadLibraryW(L"ZURes.dll"));
  if (resources_) zu::SetResourceModule(resources_.get());

  const AgentSwitch sw = ClassifyCommandLine(tail);
  switch (sw) {
    case AgentSwitch::kClear:
      RemoveShortcuts();
      UnregisterAutorun();
      DeleteSettingsFile();
      ::DeleteFileW((std::wstring(kUpdateFolder) + L"\\" + kUncheckItemName).c_str());
      return false;
    case AgentSwitch::kHaltAll:
      // Installers stop the agents before replacing or removing the
      // program: this returns once they have ended (or after a while).
      if (observer_.RequestGlobalShutdown()) observer_.WaitUntilNoAgentRuns(kHaltAllWaitMs);
      return false;
    case AgentSwitch::kPreInstall:
      // The installer runs this as an administrator: the update folder is
      // protected from installation on.
      EnsureUpdateFolder();
      CreateShortcuts();
      RegisterAutorun(L"/Stationary");
      return false;
    default:
      break;
  }

  PrepareSettingsFile();

  const std::wstring mutex_name = zu::LoadResString(IDS_APP_TITLE, L"ZEFO Update");
  session_mutex_.reset(::CreateMutexW(nullptr, TRUE, mutex_name.c_str()));
  // Access denied means the name exists with stricter security: also a
  // running agent.
  const DWORD create_error = ::GetLastError();
  if (!session_mutex_ || create_error == ERROR_ALREADY_EXISTS) {
    if (sw == AgentSwitch::kHalt)
      observer_.RequestSessionShutdown();
    else
      ForwardToRunningAgent(tail);
    session_mutex_.reset();  // not ours: never release it
    return false;
  }

  if (!observer_.IsObserverPresent()) {
    observer_.SetEventSink(this);
    observer_.Start();
  }
  options_dialog_ = nullptr;
  // From here on, also while the start-up Options dialog is open (its
  // support-page button shows them too).
  SetAgentMessageOwnersFromApp();

  CMyRegKey().CheckFirstRun();
  RunStartupHooks();
  if (IsVistaOrLater()) CacheIdentity();

  switch (sw) {
    case AgentSwitch::kStationary:
      break;
    case AgentSwitch::kShowPage:
      WaitForNetwork();
      RegisterAutorun(L"/Stationary");
      OpenSupportPage(false, CheckWorld::Real());
      break;
    case AgentSwitch::kInstall:
      if (IsUserAdministrator()) RunInstallingStep();
      break;
    case AgentSwitch::kDisableButton:
      disable_button_ = true;
      OpenOptions();
      break;
    default:
      OpenOptions();
      break;
  }
  return CreateMainWindow();
}

void CZUApp::RunInstallingStep() {
  // The control works on the same files while it holds this mutex.
  zu::UniqueHandle mutex(::CreateMutexW(nullptr, TRUE, kActiveXMutex));
  const bool owned = mutex && ::GetLastError() != ERROR_ALREADY_EXISTS;
  // The installing dialog runs here once it exists.
  if (owned) ::ReleaseMutex(mutex.get());
}

bool CZUApp::CreateMainWindow() {
  main_window_ = std::make_unique<CMainWnd>();
  return main_window_->Create();
}

void CZUApp::SetAgentMessageOwnersFromApp() {
  // Message boxes belong to the Options dialog when it is open, else to
  // the main window once there is one.
  SetAgentMessageOwners([this] {
    CSetupDialog* dialog = options_dialog_;
    return AgentMessageOwners{dialog ? dialog->hwnd() : nullptr,
                              main_window_ ? main_window_->hwnd() : nullptr};
  });
}

namespace {
struct ForwardRequest {
  UINT message;
  WPARAM wparam;
};

BOOL CALLBACK ForwardToFirstAgentWindow(HWND wnd, LPARAM lp) {
  if (!::GetPropW(wnd, kNotifyProperty)) return TRUE;
  auto* r = reinterpret_cast<ForwardRequest*>(lp);
  ::PostMessageW(wnd, r->message, r->wparam, 0);
  ::SetForegroundWindow(::GetLastActivePopup(wnd));
  return FALSE;
}
}  // namespace

void CZUApp::ForwardToRunningAgent(const std::wstring& tail) {
  ForwardRequest request{::RegisterWindowMessageW(kNotifyMessageName),
                         ClassifyCommandLine(tail) == AgentSwitch::kShowPage ? kRequestSupportPage
                                                                             : kRequestOptions};
  ::EnumWindows(&ForwardToFirstAgentWindow, reinterpret_cast<LPARAM>(&request));
}

void CZUApp::OpenOptions() {
  if (options_open_) {
    if (CSetupDialog* open = options_dialog_; open && open->hwnd()) zu::BringToFront(open->hwnd());
    return;
  }
  options_open_ = true;
  auto dialog = std::make_unique<CSetupDialog>();
  options_dialog_ = dialog.get();
  const INT_PTR result = dialog->DoModal(nullptr);
  options_open_ = false;
  if (result == IDOK) {
    CMyRegKey().SetFirstRun(0);
    WriteSuppressBalloon(!options_.auto_check ? 2 : options_.balloons_suppressed ? 1 : 0);
  }
  options_dialog_ = nullptr;
}

void CZUApp::OnShutdownRequest() {
  // Runs on the watcher thread: only post.
  if (CSetupDialog* dialog = options_dialog_; options_open_ && dialog && dialog->hwnd())
    ::PostMessageW(dialog->hwnd(), WM_QUIT, 0, 0);
  if (CMainWnd* wnd = main_window_.get(); wnd && wnd->IsWindow())
    ::PostMessageW(wnd->hwnd(), WM_CLOSE, 0, 0);
}

void CZUApp::ExitInstance() {
  SetAgentMessageOwners(nullptr);
  if (gdiplus_token_) Gdiplus::GdiplusShutdown(gdiplus_token_);
  gdiplus_token_ = 0;
  // Observation ends before the session mutex goes: an agent that becomes
  // resident once the mutex is free must not still find this observer and
  // so run unobserved, beyond the reach of /Halt and /HaltAll.
  observer_.Stop();
  if (session_mutex_) ::ReleaseMutex(session_mutex_.get());
  session_mutex_.reset();
  zu::SetResourceModule(nullptr);
  resources_.reset();
  if (ole_initialized_) ::OleUninitialize();
  ole_initialized_ = false;
}
