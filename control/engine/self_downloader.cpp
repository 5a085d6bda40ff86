#include "control/engine/self_downloader.h"

#include <utility>

#include "common/ascii_case.h"
#include "common/autorun.h"
#include "common/identity_rules.h"
#include "common/patch_installer.h"
#include "common/platform.h"
#include "common/update_folder.h"
#include "control/ctrl_frame.h"
#include "control/engine/engine_texts.h"
#include "control/engine/self_update_rules.h"
#include "control/file_queries.h"
#include "control/module_path.h"
#include "control/registered_strings.h"
#include "control/zuac_module.h"

std::wstring ControlVersionText() {
  std::wstring path = CZUAXApp::Instance().ModulePath();
  if (path.empty()) return std::wstring();
  wchar_t long_path[MAX_PATH];
  const DWORD n = ::GetLongPathNameW(path.c_str(), long_path, MAX_PATH);
  if (n > 0 && n < MAX_PATH) path.assign(long_path, n);
  long ignored = 0;
  return ReadVersionTextForPage(path.substr(0, path.rfind(L'\\')) + L"\\Version.txt", &ignored);
}

SelfUpdateWorld SelfUpdateWorld::Real() {
  SelfUpdateWorld w;
  w.http = &HttpTransfer;
  w.ftp = &FtpTransfer;
  // The installer finds the control by itself: its parameter is empty.
  w.launch = [](const std::wstring& path) {
    return LaunchInstallerFile(path, std::wstring(), LaunchWorld::Real());
  };
  w.take_flag = &TakeInstallerFlag;
  w.register_autorun = [](const std::wstring& argument) { return RegisterAutorun(argument); };
  w.version_text = &ControlVersionText;
  return w;
}

CSelfDownloader::CSelfDownloader(SelfUpdateJob job, SelfUpdateWorld world)
    : job_(std::move(job)), world_(std::move(world)), sink_(std::make_unique<SilentRunSink>()) {
  // Errors are ignored: without the folder the download fails.
  EnsureUpdateFolder();
}

CSelfDownloader::~CSelfDownloader() { Join(); }

RunProgress CSelfDownloader::Progress() const {
  RunProgress p;
  p.total = job_.size;
  p.done = current_bytes();
  p.count = 1;
  p.name = Text(kTextControlName);
  return p;
}

std::wstring CSelfDownloader::Text(long id) const { return RegisteredString(id); }

void CSelfDownloader::Run() {
  DesktopHold desktop;
  resume_ = FindPartialToResume({job_.patch_url}) ? 1 : 0;
  SetZuLastError(kZuErrorSuccess);
  if (!PowerAllowsRun(*sink_, pause_)) {
    sink_->Notify(kNoticeAborted, 0);
    return;
  }
  if (resume_ && !UserWantsResume(*sink_)) resume_ = 0;

  // An installer left by an earlier attempt is taken as it is, unless its
  // size shows it is not the one offered now.
  const std::wstring installer = ModuleFinalPath(job_.patch_url);
  const std::optional<std::uint64_t> have =
      installer.empty() ? std::nullopt : FileSizeOf(installer);
  DownloadResult result = DownloadResult::kDone;
  if (have && (job_.size == 0 || *have == job_.size)) {
    SetCurrentBytes(*have);
  } else {
    if (have) ::DeleteFileW(installer.c_str());
    result = DownloadFile(job_.patch_url, job_.size, world_.http, world_.ftp, *this);
  }
  power_check_ = 0;
  if (result != DownloadResult::kDone) {
    sink_->Ask(Text(kTextSelfUpdateFailed), Text(kTextQuestionCaption), MB_OK | MB_ICONWARNING);
    sink_->Notify(kNoticeSelfUpdateFailed, 0);
    return;
  }

  SetZuLastError(kZuErrorSuccess);
  sink_->Notify(kNoticeDownloaded, 0);
  sink_->Notify(kNoticeFirstPass, 1);
  if (PausedThenCancelled()) {
    sink_->Notify(kNoticeAborted, 0);
    return;
  }
  sink_->Notify(kNoticeFirstPassNext, 0);
  std::int32_t reboot = 0, install = 0;
  bool launched = LaunchInstaller(&reboot, &install);
  if (reboot != 0) {
    // Only a restart or a shutdown is understood; anything else fails
    // without looking at what the installer did.
    const bool understood =
        reboot == patch_list::kRebootRestart || reboot == patch_list::kRebootShutdown;
    sink_->Notify(
        understood ? RestartAfterVerifying(reboot, launched, desktop) : kNoticeSelfUpdateFailed, 0);
    return;
  }
  sink_->Notify(kNoticeSecondPass, 1);
  if (PausedThenCancelled()) {
    sink_->Notify(kNoticeAborted, 0);
    return;
  }
  if (install == 1) {
    // A two-phase installer: its second run decides.
    sink_->Notify(kNoticeSecondPassNext, 0);
    launched = LaunchInstaller(&reboot, &install);
    if (reboot == patch_list::kRebootRestart || reboot == patch_list::kRebootShutdown) {
      sink_->Notify(RestartAfterVerifying(reboot, launched, desktop), 0);
      return;
    }
  }
  // A single-phase installer that asked for nothing, or the end of both
  // phases: the update has worked exactly when the new version is in place.
  sink_->Notify(Verify(launched) ? kNoticeFinished : kNoticeSelfUpdateFailed, 0);
}

bool CSelfDownloader::LaunchInstaller(std::int32_t* reboot, std::int32_t* install) {
  const bool launched = world_.launch(ModuleFinalPath(job_.patch_url));
  *reboot = world_.take_flag(kRebootFlagValue);
  *install = world_.take_flag(kInstallFlagValue);
  return launched;
}

int CSelfDownloader::RestartAfterVerifying(std::int32_t reboot, bool launched,
                                           DesktopHold& desktop) {
  if (!Verify(launched)) return kNoticeSelfUpdateFailed;
  world_.register_autorun(L"/showpage");
  desktop.Release();
  return reboot == patch_list::kRebootRestart ? kNoticeRestart : kNoticeShutdown;
}

bool CSelfDownloader::Verify(bool launched) {
  // The version text names the new version, without regard to case.
  if (!launched || !zu::EqualsIgnoringAsciiCase(world_.version_text(), job_.new_version)) {
    sink_->Ask(Text(kTextSelfUpdateFailed), Text(kTextQuestionCaption), MB_OK | MB_ICONWARNING);
    return false;
  }
  sink_->Ask(Text(kTextSelfUpdateSucceeded), Text(kTextQuestionCaption), MB_OK | MB_ICONINFORMATION);
  ::DeleteFileW(ModuleFinalPath(job_.patch_url).c_str());
  ::RemoveDirectoryW(ModuleFolder(job_.patch_url).c_str());
  return true;
}
