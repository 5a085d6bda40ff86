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

#include "control/engine/engine_thread.h"
#include "control/engine/module_list.h"
#include "control/engine/patch_installer_link.h"
#include "control/engine/transfer.h"

// Notifications of the worker (wParam of message 1025 to the dialog).
enum RunNotice : int {
  kNoticeDownloaded = 0,
  kNoticeFailed = 1,
  kNoticeCancelled = 2,  // also: the installer object could not be created
  kNoticeFirstPass = 10,
  kNoticeFirstPassNext = 11,
  kNoticeFinished = 12,
  kNoticeSecondPass = 13,
  kNoticeSecondPassNext = 14,
  kNoticeAborted = 22,
  kNoticeHide = 30,
  kNoticeShutdown = 40,
  kNoticeRestart = 41,
};
inline constexpr UINT kRunNoticeMessage = WM_USER + 1;

// How the worker reaches the dialog.
class IRunSink {
 public:
  virtual ~IRunSink() = default;
  virtual void Notify(int code, int count) = 0;
  // A message box owned by the dialog; the button pressed.
  virtual int Ask(const std::wstring& text, const std::wstring& caption, UINT flags) = 0;
};

// What a run uses beyond its own state. Real() fetches, installs and
// registers for real; tests replace parts.
struct RunWorld {
  Transfer http;
  Transfer ftp;
  PatchInstallerFactory create_installer;
  std::function<bool(const std::wstring& argument)> register_autorun;
  static RunWorld Real();
};

// What the dialog shows, read in one piece.
struct RunProgress {
  std::uint64_t total = 0;  // 0: no total
  std::uint64_t done = 0;   // completed modules + the current file
  int index = 0;
  int count = 0;
  std::wstring name;
};

class CFileDownloader : public CThread, private ITransferProgress {
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
  // Where the worker's notifications go; set before Start.
  void SetSink(std::unique_ptr<IRunSink> sink) { sink_ = std::move(sink); }

  // The dialog's accessors.
  RunProgress Progress() const;
  std::uint64_t TotalBytes() const;
  std::uint64_t DoneBytes() const;
  void Pause() { pause_ = 1; }
  void Resume() { pause_ = 0; }
  void Cancel() {
    pause_ = 0;
    cancel_ = 1;
  }
  bool paused() const { return pause_ != 0; }

  // The worker's sequence; Start runs it on the worker thread. Tests call
  // it directly.
  void Run() override;

 private:
  int DownloadModule(std::size_t index);
  bool PowerAllowsRun();
  bool RunInstallPasses(std::size_t run_count);
  void Abort();
  void SetCurrentName(const std::wstring& name);
  void AddCompleted(std::uint64_t n);
  std::wstring Text(long id) const;
  void RestoreDesktop();

  // ITransferProgress
  bool resume() const override { return resume_ != 0; }
  void ClearResume() override { resume_ = 0; }
  std::uint64_t current_bytes() const override;
  void SetCurrentBytes(std::uint64_t n) override;
  void AddCurrentBytes(std::uint64_t n) override;
  bool PausedThenCancelled() override;

  RunWorld world_;
  ModuleList modules_;
  std::unique_ptr<IRunSink> sink_;
  std::atomic<int> cancel_{0};
  std::atomic<int> pause_{0};
  std::wstring partial_path_;

  // Shared with the dialog's timer: one lock, so that a reading never
  // mixes two moments.
  mutable std::mutex progress_mutex_;
  std::uint64_t completed_ = 0;
  std::uint64_t total_ = 0;
  std::uint64_t current_ = 0;
  std::uint64_t expected_ = 0;
  int index_ = 0;
  std::wstring name_;

  std::unique_ptr<IPatchInstaller> installer_;
  const std::wstring update_folder_;
  std::uint8_t resume_ = 0;
  std::size_t run_auto_execute_count_ = 0;
  bool desktop_held_ = false;
};
