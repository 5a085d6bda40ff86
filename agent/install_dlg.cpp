#include "agent/install_dlg.h"

#include <algorithm>
#include <optional>

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
bool NeedsRestartBetweenPhases(const std::vector<PatchRecord>& records) {
  return std::any_of(records.begin(), records.end(), [](const PatchRecord& r) {
    return r.two_phase_restart == 1 && r.first_reboot == 1;
  });
}

}  // namespace

InstallWorld InstallWorld::Real(std::function<void()> open_support_page) {
  InstallWorld w;
  w.on_mains = [] { return !RunsOnBattery(); };
  w.register_autorun = [](const std::wstring& argument) { return RegisterAutorun(argument); };
  w.open_support_page = std::move(open_support_page);
  w.restart = [] { return RestartWindows(); };
  w.shutdown = [] { return ShutdownWindows(); };
  // Copies of the world share the one hold.
  w.hold_desktop = [held = std::make_shared<std::optional<DesktopHold>>()](bool hold) {
    if (hold)
      held->emplace();
    else
      held->reset();
  };
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

  std::vector<PatchRecord> records;
  CWrapIniOper(world_.patch_list).ReadAll(&records);
  power_state_ = 3;
  if (PendingSecondRuns(records) > 0 && !world_.on_mains()) ShowPowerMessage();
  power_state_ = 4;

  // Without the library or its string there is nothing to look for.
  if (NeedsRestartBetweenPhases(records)) hidden_title_ = world_.new_hardware_title();
  if (!hidden_title_.empty()) ::SetTimer(hwnd(), kHideTimer, kHideTimerMs, nullptr);
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
      TellThenEndSession(IDS_REBOOT_TEXT, IDS_REBOOT_CAPTION, world_.restart);
      break;
    case kNoticeShutdown:
      TellThenEndSession(IDS_SHUTDOWN_TEXT, IDS_SHUTDOWN_CAPTION, world_.shutdown);
      break;
    case kNoticeShow:
      ::SetWindowPos(hwnd(), nullptr, kDialogX, kDialogY, full_rect_.right - full_rect_.left,
                     full_rect_.bottom - full_rect_.top, SWP_NOZORDER);
      break;
    default:
      break;
  }
}

void CInstallDLG::TellThenEndSession(UINT text_id, UINT caption_id,
                                     const std::function<bool()>& end_session) {
  world_.message_box(::GetDesktopWindow(), zu::LoadResString(text_id),
                     zu::LoadResString(caption_id), MB_OK | MB_ICONEXCLAMATION);
  // Refused (no privilege, or the platform said no): the agent goes on as
  // it would after the next logon instead of waiting here for good.
  if (!end_session()) End(IDOK);
}

void CInstallDLG::Work(HWND dialog, InstallWorld world, HANDLE power_event,
                       std::shared_ptr<Shared> shared) {
  world.hold_desktop(true);
  std::unique_ptr<InstallWorld, void (*)(InstallWorld*)> held(
      &world, [](InstallWorld* w) { w->hold_desktop(false); });
  CPatchInstaller installer(world.patch_list, world.launch);
  CWrapIniOper& list = installer.list();
  // Each record's own cells change only with its own run.
  std::vector<PatchRecord> records;
  list.ReadAll(&records);
  const auto auto_exec_records = std::count_if(
      records.begin(), records.end(), [](const PatchRecord& r) { return r.auto_exec == 1; });
  const int pending = PendingSecondRuns(records);
  shared->remaining = pending;
  Post(dialog, kNoticeTotal, pending);

  if (!list.Exists()) {
    Post(dialog, kNoticeEnd);
    return;
  }
  for (std::size_t i = 0; i < records.size(); ++i) {
    // On battery, or with the window gone, the run stops between two
    // installers; the "/S" registration stays for the next logon.
    if (!::IsWindow(dialog)) {
      Post(dialog, kNoticeEnd);
      return;
    }
    ::WaitForSingleObject(power_event, INFINITE);
    if (!world.on_mains()) {
      Post(dialog, kNoticeEnd);
      return;
    }
    const PatchRecord& r = records[i];
    if (r.auto_exec == 0 || r.phase_flag == 0 || r.installed != 0) continue;
    {
      std::lock_guard<std::mutex> lock(shared->name_lock);
      shared->name = r.name;
    }
    Post(dialog, kNoticeStarted, i);
    Post(dialog, kNoticeName);
    Post(dialog, kNoticeShow);
    --shared->remaining;
    installer.SecondPhaseRun(static_cast<std::int32_t>(i));
  }
  held.reset();

  if (auto_exec_records < list.count())
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
