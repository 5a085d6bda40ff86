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
#include "agent/install_dlg.h"
#include "agent/info/my_reg_key.h"
#include "agent/info/settings.h"
#include "agent/resource.h"
#include "agent/shortcuts.h"
#include "agent/startup_hooks.h"
#include "common/autorun.h"
#include "common/framework/window.h"
#include "common/identity.h"
#include "common/platform.h"
#include "common/update_folder.h"

namespace {

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

CZUApp::CZUApp() = default;

CZUApp::~CZUApp() { main_window_.reset(); }

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
    windows_.PublishMainWindow(nullptr);
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
    observer_.SetEventSink(&windows_);
    observer_.Start();
  }
  // Message boxes belong to the Options dialog when it is open, else to the
  // main window once there is one; from here on, also while the start-up
  // Options dialog is open (its support-page button shows them too).
  SetAgentMessageOwners([this] {
    return AgentMessageOwners{windows_.options_dialog(), windows_.main_window()};
  });

  CMyRegKey().CheckFirstRun();
  RunStartupHooks();
  if (IsVistaOrLater()) CacheIdentity();

  switch (sw) {
    case AgentSwitch::kStationary:
      break;
    case AgentSwitch::kShowPage:
      WaitForNetwork();
      RegisterAutorun(L"/Stationary");
      ::OpenSupportPage(false, check_world_);
      break;
    case AgentSwitch::kInstall:
      if (IsUserAdministrator()) RunInstallingStep();
      break;
    case AgentSwitch::kDisableButton:
      switches_.disable_button = true;
      OpenOptions();
      break;
    default:
      OpenOptions();
      break;
  }
  // Asked to stop before there was a window to close: end here.
  if (windows_.stop_requested()) return false;
  return CreateMainWindow();
}

void CZUApp::RunInstallingStep() {
  // Held for the dialog's whole life: the control works on the same files
  // while it holds this mutex.
  zu::UniqueHandle mutex(::CreateMutexW(nullptr, TRUE, kActiveXMutex));
  bool owned = mutex && ::GetLastError() != ERROR_ALREADY_EXISTS;
  if (mutex && !owned) {
    const DWORD wait = ::WaitForSingleObject(mutex.get(), 0);
    owned = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
  }
  // A page holds it: installing now would race the control over the patch
  // list, so the pending phases wait for the next "/S" start.
  if (!owned) return;
  {
    // The worker opens the support page at the end, with the agent's own
    // check world.
    CInstallDLG dialog(InstallWorld::Real([this] { ::OpenSupportPage(false, check_world_); }));
    dialog.DoModal(nullptr);
  }
  ::ReleaseMutex(mutex.get());
}

bool CZUApp::CreateMainWindow() {
  main_window_ = std::make_unique<CMainWnd>(*this, switches_, check_world_);
  if (!main_window_->Create()) return false;
  windows_.PublishMainWindow(main_window_->hwnd());
  return true;
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
    if (HWND open = windows_.options_dialog()) zu::BringToFront(open);
    return;
  }
  if (windows_.stop_requested()) return;
  options_open_ = true;
  CSetupDialog dialog(*this, switches_);
  const INT_PTR result = dialog.DoModal(nullptr);
  options_open_ = false;
  if (result == IDOK) {
    CMyRegKey().SetFirstRun(0);
    WriteSuppressBalloon(switches_.ToStored());
  }
}

void CZUApp::SetOpenDialog(HWND dialog) { windows_.PublishOptionsDialog(dialog); }

void CZUApp::OpenSupportPage() { ::OpenSupportPage(false, check_world_); }

void CZUApp::SwitchesChanged() {
  // The icon follows the new switches in the running agent's main window.
  if (HWND main = windows_.main_window(); main && ::IsWindow(main))
    ::PostMessageW(main, ::RegisterWindowMessageW(kNotifyMessageName), kRequestRefreshIcon, 0);
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
