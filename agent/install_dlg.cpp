#include "agent/install_dlg.h"

#include "agent/resource.h"
#include "agent/update_check.h"
#include "common/autorun.h"
#include "common/platform.h"

using namespace patch_list;

namespace {

constexpr wchar_t kPowerEventName[] = L"ZEFOUPDATE_POWER_STATUS_EVENT";
constexpr wchar_t kPowerGuardName[] = L"ZU_POWER_MESSAGEBOX";
constexpr UINT_PTR kHideTimer = 2;
constexpr UINT kHideTimerMs = 500;
constexpr int kDialogX = 10, kDialogY = 10;
constexpr int kTitleChars = 256;

void Post(HWND dialog, int kind, LPARAM arg = 0) {
  ::PostMessageW(dialog, kInstallNotice, static_cast<WPARAM>(kind), arg);
}

std::wstring NewHardwareTitle() {
  wchar_t system[MAX_PATH];
  const UINT n = ::GetSystemDirectoryW(system, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::wstring();
  zu::UniqueModule newdev(::LoadLibraryExW((std::wstring(system) + L"\\newdev.dll").c_str(),
                                           nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!newdev) return std::wstring();
  wchar_t title[kTitleChars] = {};
  ::LoadStringW(newdev.get(), IsVistaOrLater() ? 2123 : 2040, title, kTitleChars);
  return title;
}

// Whether a record waits for the restart before its second run.
bool NeedsRestartBetweenPhases(CWrapIniOper& list) {
  for (std::int32_t i = 0; i < list.count(); ++i) {
    std::int32_t restart = 0, first_reboot = 0;
    if (list.ReadInt(i, kColTwoPhaseRestart, &restart) && restart == 1 &&
        list.ReadInt(i, kColFirstReboot, &first_reboot) && first_reboot == 1)
      return true;
  }
  return false;
}

}  // namespace

InstallWorld InstallWorld::Real(std::function<void()> open_support_page) {
  InstallWorld w;
  w.on_mains = [] {
    SYSTEM_POWER_STATUS status;
    return !::GetSystemPowerStatus(&status) || status.ACLineStatus != 0;
  };
  w.register_autorun = [](const std::wstring& argument) { return RegisterAutorun(argument); };
  w.open_support_page = std::move(open_support_page);
  w.restart = [] { return RestartWindows(); };
  w.shutdown = [] { return ShutdownWindows(); };
  w.hold_desktop = [](bool hold) {
    if (hold) {
      DisableScreenSaver();
      KeepAwake();
    } else {
      RestoreScreenSaver();
      AllowSleep();
    }
  };
  w.message_box = [](HWND owner, const std::wstring& text, const std::wstring& caption,
                     UINT type) { return ::MessageBoxW(owner, text.c_str(), caption.c_str(), type); };
  w.new_hardware_title = &NewHardwareTitle;
  return w;
}

CInstallDLG::CInstallDLG(InstallWorld world)
    : zu::Dialog(IDD_INSTALL),
      world_(std::move(world)),
      power_event_(::CreateEventW(nullptr, TRUE, TRUE, kPowerEventName)) {}

CInstallDLG::~CInstallDLG() {
  // The worker's last act is posting the end; it never outlives us by much.
  if (worker_.joinable()) worker_.join();
}

bool CInstallDLG::ShowPowerMessage() {
  const std::wstring text = zu::LoadResString(IDS_PLUG_IN_POWER);
  zu::UniqueHandle guard(::CreateMutexW(nullptr, TRUE, kPowerGuardName));
  const DWORD error = ::GetLastError();
  // Access denied: another session's stricter mutex, as good as existing.
  const bool first = guard && error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED;
  if (first) {
    ::ResetEvent(power_event_.get());
    world_.message_box(::GetDesktopWindow(), text, L"ZEFO Update", MB_OK | MB_ICONEXCLAMATION);
    ::SetEvent(power_event_.get());
  }
  if (guard) ::ReleaseMutex(guard.get());
  return first;
}

BOOL CInstallDLG::OnInitDialog() {
  // Nothing shows until the first record starts.
  RECT rect;
  ::GetWindowRect(hwnd(), &rect);
  full_rect_ = rect;
  ::SetWindowPos(hwnd(), nullptr, kDialogX, kDialogY, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE);

  int pending = 0;
  {
    CPatchInstaller installer(world_.patch_list, world_.launch);
    pending = installer.PendingSecondRuns();
  }
  power_state_ = 3;
  if (pending > 0 && !world_.on_mains()) ShowPowerMessage();
  power_state_ = 4;

  {
    CWrapIniOper list(world_.patch_list);
    // Without the library or its string there is nothing to look for.
    if (NeedsRestartBetweenPhases(list)) hidden_title_ = world_.new_hardware_title();
    if (!hidden_title_.empty()) ::SetTimer(hwnd(), kHideTimer, kHideTimerMs, nullptr);
  }
  worker_ = std::thread(&CInstallDLG::Work, hwnd(), world_, power_event_.get(), shared_);
  return TRUE;
}

bool CInstallDLG::OnCommand(WORD, WORD, HWND) {
  // Neither Enter nor Escape ends the run; only the worker does.
  return true;
}

bool CInstallDLG::OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result) {
  switch (msg) {
    case kInstallNotice:
      OnNotice(static_cast<int>(wp), lp);
      *result = 0;
      return true;
    case WM_POWERBROADCAST:
      if (shared_->remaining > 0 && CWrapIniOper(world_.patch_list).Exists() &&
          wp == PBT_APMPOWERSTATUSCHANGE && !world_.on_mains() && power_state_ == 4)
        ShowPowerMessage();
      *result = 0;
      return true;
    case WM_TIMER:
      if (wp != kHideTimer) return false;
      if (HWND found = ::FindWindowW(nullptr, hidden_title_.c_str())) {
        // Asynchronously: a hung owner of that window must not hang us.
        ::ShowWindowAsync(found, SW_HIDE);
        ::KillTimer(hwnd(), kHideTimer);
      }
      *result = 0;
      return true;
    default:
      return false;
  }
}

void CInstallDLG::OnNotice(int kind, LPARAM arg) {
  switch (kind) {
    case kNoticeStarted: {
      ++counter_;
      wchar_t counter[64];
      ::wsprintfW(counter, L"(%d/%d)", counter_, total_);
      ::SetWindowTextW(hwnd(), (zu::LoadResString(IDS_INSTALLING_SECOND) + counter).c_str());
      break;
    }
    case kNoticeName: {
      std::wstring name;
      {
        std::lock_guard<std::mutex> lock(shared_->name_lock);
        name = shared_->name;
      }
      ::SetDlgItemTextW(hwnd(), IDC_INSTALL_NAME, name.c_str());
      break;
    }
    case kNoticeTotal:
      total_ = static_cast<int>(arg);
      break;
    case kNoticeEnd:
      End(IDOK);
      break;
    case kNoticeRestart:
      world_.message_box(::GetDesktopWindow(), zu::LoadResString(IDS_REBOOT_TEXT),
                         zu::LoadResString(IDS_REBOOT_CAPTION), MB_OK | MB_ICONEXCLAMATION);
      // Refused (no privilege, or the platform said no): the agent goes on
      // as it would after the next logon instead of waiting here for good.
      if (!world_.restart()) End(IDOK);
      break;
    case kNoticeShutdown:
      world_.message_box(::GetDesktopWindow(), zu::LoadResString(IDS_SHUTDOWN_TEXT),
                         zu::LoadResString(IDS_SHUTDOWN_CAPTION), MB_OK | MB_ICONEXCLAMATION);
      if (!world_.shutdown()) End(IDOK);
      break;
    case kNoticeShow:
      ::SetWindowPos(hwnd(), nullptr, kDialogX, kDialogY, full_rect_.right - full_rect_.left,
                     full_rect_.bottom - full_rect_.top, SWP_NOZORDER);
      break;
    default:
      break;
  }
}

void CInstallDLG::Work(HWND dialog, InstallWorld world, HANDLE power_event,
                       std::shared_ptr<Shared> shared) {
  world.hold_desktop(true);
  CPatchInstaller installer(world.patch_list, world.launch);
  CWrapIniOper& list = installer.list();
  const std::int32_t n = list.count();
  int auto_exec_records = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    std::int32_t v = 0;
    if (list.ReadInt(i, kColAutoExec, &v) && v == 1) ++auto_exec_records;
  }
  const int pending = installer.PendingSecondRuns();
  shared->remaining = pending;
  Post(dialog, kNoticeTotal, pending);

  if (!list.Exists()) {
    world.hold_desktop(false);
    Post(dialog, kNoticeEnd);
    return;
  }
  for (std::int32_t i = 0; i < n; ++i) {
    // On battery, or with the window gone, the run stops between two
    // installers; the "/S" registration stays for the next logon.
    if (!::IsWindow(dialog)) {
      world.hold_desktop(false);
      Post(dialog, kNoticeEnd);
      return;
    }
    ::WaitForSingleObject(power_event, INFINITE);
    if (!world.on_mains()) {
      world.hold_desktop(false);
      Post(dialog, kNoticeEnd);
      return;
    }
    std::int32_t auto_exec = 0, phase = 0, installed = 0;
    list.ReadInt(i, kColAutoExec, &auto_exec);
    list.ReadInt(i, kColPhaseFlag, &phase);
    list.ReadInt(i, kColInstalled, &installed);
    if (auto_exec == 0 || phase == 0 || installed != 0) continue;
    std::wstring name;
    list.ReadString(i, kColName, &name);
    {
      std::lock_guard<std::mutex> lock(shared->name_lock);
      shared->name = name;
    }
    Post(dialog, kNoticeStarted, i);
    Post(dialog, kNoticeName);
    Post(dialog, kNoticeShow);
    --shared->remaining;
    installer.SecondPhaseRun(i);
  }
  world.hold_desktop(false);

  if (auto_exec_records < n)
    world.message_box(dialog, zu::LoadResString(IDS_INSTALL_YOURSELF),
                      zu::LoadResString(IDS_APP_TITLE, L"ZEFO Update"), MB_OK | MB_ICONEXCLAMATION);
  switch (installer.FinalRebootLevel()) {
    case kRebootRestart:
      world.register_autorun(L"/showpage");
      Post(dialog, kNoticeRestart);
      break;
    case kRebootShutdown:
      world.register_autorun(L"/showpage");
      Post(dialog, kNoticeShutdown);
      break;
    default:
      world.register_autorun(L"/Stationary");
      world.open_support_page();
      Post(dialog, kNoticeEnd);
      break;
  }
}
