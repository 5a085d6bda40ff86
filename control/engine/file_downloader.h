#pragma once
// CFileDownloader: the module list a page builds, and the download run
// behind the modal download dialog. The dialog's thread binds the list and
// reads its progress; the worker thread (Run) downloads every module in
// list order into C:\Update, checks sizes, then runs the installation
// passes. The worker reaches the dialog only through IRunSink (posted
// notifications and message boxes it owns).
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "control/engine/download_run.h"
#include "control/engine/download_steps.h"
#include "control/engine/engine_thread.h"
#include "control/engine/module_list.h"
#include "control/engine/patch_installer_link.h"
#include "control/engine/transfer.h"

// What a run uses beyond its own state. Real() fetches, installs and
// registers for real; tests replace parts.
struct RunWorld {
  Transfer http;
  Transfer ftp;
  PatchInstallerFactory create_installer;
  std::function<bool(const std::wstring& argument)> register_autorun;
  static RunWorld Real();
};

class CFileDownloader : public CThread, public RunFlags {
 public:
  // Creates C:\Update (one level, errors ignored) like every run's owner.
  explicit CFileDownloader(RunWorld world = RunWorld::Real());
  ~CFileDownloader() override;

  ModuleList& modules() { return modules_; }
  const ModuleList& modules() const { return modules_; }

  // StartDownload's bind: false with last-error 0x20000002 for a caller
  // who is not an administrator, false for an empty list, false with
  // 0x20000001 when the modules do not fit on the disk of C:\Update. The
  // dialog is handed this downloader by its caller; the downloader knows
  // the dialog only by the sink the dialog gives it.
  bool Bind();

  // IDownloadRun: what the dialog drives.
  void SetSink(std::unique_ptr<IRunSink> sink) override { sink_ = std::move(sink); }
  bool StartWorker() override { return Start(); }
  RunProgress Progress() const override;
  std::uint64_t DoneBytes() const override;
  bool WatchesPower() const override { return true; }

  // The worker's sequence; Start runs it on the worker thread. Tests call
  // it directly.
  void Run() override;

 private:
  void RunInstallPasses(IPatchInstaller& installer, std::size_t run_count, DesktopHold& desktop);
  void Abort(DesktopHold& desktop);
  // The message that some modules were not installed by the run.
  void TellNotInstalled();
  void SetCurrentName(const std::wstring& name);
  void AddCompleted(std::uint64_t n);
  std::wstring Text(long id) const;

  // IFileDownloadRun
  void FileInPlace() override;

  RunWorld world_;
  ModuleList modules_;
  std::unique_ptr<IRunSink> sink_;

  // Shared with the dialog's timer under progress_mutex_.
  std::uint64_t completed_ = 0;
  std::uint64_t total_ = 0;
  int index_ = 0;
  std::wstring name_;
};
