#include "control/engine/file_downloader.h"

#include <utility>

#include "common/autorun.h"
#include "common/patch_list_format.h"
#include "common/platform.h"
#include "common/update_folder.h"
#include "control/ctrl_frame.h"
#include "control/engine/engine_seams.h"
#include "control/engine/engine_texts.h"
#include "control/module_path.h"
#include "control/registered_strings.h"

namespace {

constexpr DWORD kBeforeHideMs = 200;

}  // namespace

RunWorld RunWorld::Real() {
  RunWorld w;
  w.http = &HttpTransfer;
  w.ftp = &FtpTransfer;
  w.create_installer = &CreatePatchInstaller;
  w.register_autorun = [](const std::wstring& argument) { return RegisterAutorun(argument); };
  return w;
}

CFileDownloader::CFileDownloader(RunWorld world)
    : world_(std::move(world)), sink_(std::make_unique<SilentRunSink>()) {
  // Errors are ignored: a run without the folder fails at its first file.
  EnsureUpdateFolder();
}

CFileDownloader::~CFileDownloader() { Join(); }

bool CFileDownloader::Bind() {
  if (!IsUserAdministrator()) {
    SetZuLastError(kZuErrorNotAdmin);
    return false;
  }
  if (modules_.empty()) return false;
  std::uint64_t total = modules_.KnownSizeSum();
  // Measured where the files go; WinINet keeps no second copy in its
  // cache, so each module counts once.
  if (total > FreeBytesForFolder(kUpdateFolder)) {
    SetZuLastError(kZuErrorDiskSpace);
    return false;
  }
  std::lock_guard<std::mutex> lock(progress_mutex_);
  total_ = modules_.HasUnknownSize() ? 0 : total;
  return true;
}

RunProgress CFileDownloader::Progress() const {
  std::lock_guard<std::mutex> lock(progress_mutex_);
  RunProgress p;
  p.total = total_;
  p.done = completed_ + current_;
  p.index = index_;
  p.count = static_cast<int>(modules_.size());
  p.name = name_;
  return p;
}

std::uint64_t CFileDownloader::DoneBytes() const {
  std::lock_guard<std::mutex> lock(progress_mutex_);
  return completed_ + current_;
}

void CFileDownloader::AddCompleted(std::uint64_t n) {
  std::lock_guard<std::mutex> lock(progress_mutex_);
  completed_ += n;
}

void CFileDownloader::SetCurrentName(const std::wstring& name) {
  std::lock_guard<std::mutex> lock(progress_mutex_);
  name_ = name;
}

std::wstring CFileDownloader::Text(long id) const { return RegisteredString(id); }

void CFileDownloader::FileInPlace() {
  std::lock_guard<std::mutex> lock(progress_mutex_);
  completed_ += current_;
  current_ = 0;
}

void CFileDownloader::Run() {
  DesktopHold desktop;
  if (modules_.empty()) {  // Bind refuses an empty list
    sink_->Notify(kNoticeFailed, 0);
    return;
  }

  std::vector<std::wstring> urls;
  for (std::size_t i = 0; i < modules_.size(); ++i) urls.push_back(modules_[i].url);
  resume_ = FindPartialToResume(urls) ? 1 : 0;

  SetZuLastError(kZuErrorSuccess);
  if (!PowerAllowsRun(*sink_, pause_)) {
    sink_->Notify(kNoticeAborted, 0);
    return;
  }
  if (resume_ && !UserWantsResume(*sink_)) resume_ = 0;

  int result = 0;
  for (std::size_t i = 0; i < modules_.size() && result == 0; ++i) {
    {
      std::lock_guard<std::mutex> lock(progress_mutex_);
      index_ = static_cast<int>(i);
    }
    std::wstring final_path = ModuleFinalPath(modules_[i].url);
    if (!final_path.empty() && IsFilePath(final_path)) {
      AddCompleted(static_cast<std::uint64_t>(modules_[i].size));
      continue;
    }
    SetCurrentName(modules_[i].display_name);
    result = static_cast<int>(DownloadFile(modules_[i].url,
                                           static_cast<std::uint64_t>(modules_[i].size),
                                           world_.http, world_.ftp, *this));
  }
  if (result == 1 || result == 2) {
    sink_->Notify(result == 1 ? kNoticeFailed : kNoticeCancelled, 0);
    return;
  }

  SetZuLastError(kZuErrorSuccess);
  sink_->Notify(kNoticeDownloaded, 0);
  const std::size_t auto_execute_count = modules_.AutoExecuteCount();
  if (auto_execute_count == 0) {
    ::Sleep(kBeforeHideMs);
    sink_->Notify(kNoticeHide, 0);
    TellNotInstalled();
    sink_->Notify(kNoticeFinished, 0);
    return;
  }
  sink_->Notify(kNoticeFirstPass, static_cast<int>(auto_execute_count));
  std::unique_ptr<IPatchInstaller> installer;
  if (world_.create_installer) installer = world_.create_installer(modules_);
  if (!installer) {
    sink_->Notify(kNoticeCancelled, 0);
    return;
  }
  RunInstallPasses(*installer, auto_execute_count, desktop);
}

void CFileDownloader::TellNotInstalled() {
  sink_->Ask(Text(kTextNotInstalled), Text(kTextNotInstalledCaption), MB_OK | MB_ICONWARNING);
}

void CFileDownloader::Abort(DesktopHold& desktop) {
  sink_->Notify(kNoticeAborted, 0);
  desktop.Release();
}

void CFileDownloader::RunInstallPasses(IPatchInstaller& installer, std::size_t run_count,
                                       DesktopHold& desktop) {
  const int records = static_cast<int>(modules_.size());
  auto column = [&installer](int record, int c) {
    std::int32_t v = 0;
    return installer.ReadInteger(record, c, &v) ? v : 0;
  };

  for (int m = 0; m < records; ++m) {
    if (PausedThenCancelled()) {
      Abort(desktop);
      return;
    }
    if (column(m, patch_list::kColAutoExec) == 0) continue;
    SetCurrentName(modules_[static_cast<std::size_t>(m)].display_name);
    sink_->Notify(kNoticeFirstPassNext, 0);
    installer.FirstPhaseRun(m);
  }

  const bool all_modules_run = run_count >= modules_.size();
  const int level = installer.FirstPhaseRebootLevel();
  if (level != patch_list::kRebootRestart && level != patch_list::kRebootShutdown) {
    sink_->Notify(kNoticeSecondPass, installer.PendingSecondRuns());
    for (int k = 0; k < records; ++k) {
      if (PausedThenCancelled()) {
        Abort(desktop);
        return;
      }
      if (column(k, patch_list::kColAutoExec) == 0 || column(k, patch_list::kColPhaseFlag) == 0)
        continue;
      SetCurrentName(modules_[static_cast<std::size_t>(k)].display_name);
      sink_->Notify(kNoticeSecondPassNext, 0);
      installer.SecondPhaseRun(k);
    }
    desktop.Release();
    if (!all_modules_run) TellNotInstalled();
    const int final_level = installer.FinalRebootLevel();
    if (final_level == patch_list::kRebootRestart || final_level == patch_list::kRebootShutdown) {
      world_.register_autorun(L"/showpage");
      sink_->Notify(final_level == patch_list::kRebootRestart ? kNoticeRestart : kNoticeShutdown, 0);
    } else {
      sink_->Notify(kNoticeFinished, 0);
    }
    return;
  }

  // A restart or shutdown comes first; the agent finishes what is left
  // after the next logon.
  if (installer.AllInstalled()) {
    if (!all_modules_run) TellNotInstalled();
    world_.register_autorun(L"/showpage");
  } else {
    world_.register_autorun(L"/S");
  }
  desktop.Release();
  sink_->Notify(level == patch_list::kRebootRestart ? kNoticeRestart : kNoticeShutdown, 0);
}
