#pragma once
// The steps of a download run that the module run and the self update take
// the same way (with the platform's DesktopHold): the search for a
// partial file to continue, the power check, the resume question, and the
// download of one file into its place below C:\Update.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/platform.h"
#include "control/engine/download_run.h"
#include "control/engine/transfer.h"

// Whether a partial file of one of the URLs waits to be continued. Behind
// a proxy, a run whose first URL is on an FTP server other than the
// maker's continues nothing.
bool FindPartialToResume(const std::vector<std::wstring>& urls);

// Before anything is fetched: on battery the run pauses and the user is
// told (text 406); true when the PC is on mains power, at once or once the
// message is closed.
bool PowerAllowsRun(IRunSink& sink, std::atomic<int>& pause);

// The resume question (text 101, caption 100); false when answered No.
bool UserWantsResume(IRunSink& sink);

// The run a file downloads in: the transfer's counters and flags, and the
// fact the download step adds.
class IFileDownloadRun : public ITransferProgress {
 public:
  // The current file is complete and in place; its bytes count as done.
  virtual void FileInPlace() = 0;

 protected:
  ~IFileDownloadRun() = default;
};

// What a run's worker, its transfers and its dialog share besides the
// run's own counters: the pause, cancel and resume flags and the bytes of
// the current file on disk. progress_mutex_ guards current_ and whatever
// the run keeps beside it, so that the dialog reads one moment.
class RunFlags : public IDownloadRun, protected IFileDownloadRun {
 public:
  // IDownloadRun
  void Pause() override { pause_ = 1; }
  void Resume() override { pause_ = 0; }
  void Cancel() override {
    pause_ = 0;
    cancel_ = 1;
  }
  bool paused() const override { return pause_ != 0; }

 protected:
  // ITransferProgress
  bool resume() const override { return resume_ != 0; }
  void ClearResume() override { resume_ = 0; }
  std::uint64_t current_bytes() const override;
  void SetCurrentBytes(std::uint64_t n) override;
  void AddCurrentBytes(std::uint64_t n) override;
  // Waits in 1000 ms steps while paused.
  bool PausedThenCancelled() override;

  std::atomic<int> pause_{0};
  std::atomic<int> cancel_{0};
  std::uint8_t resume_ = 0;  // the worker's alone
  mutable std::mutex progress_mutex_;
  std::uint64_t current_ = 0;
};

enum class DownloadResult { kDone = 0, kFailed = 1, kCancelled = 2 };

// Fetches the file of a URL into its partial file with the transfer of its
// scheme (FTP, HTTP or HTTPS), checks the size when one is expected (0:
// unknown) and moves it to its final path below C:\Update. A complete
// partial file is taken as it is. Failures set the last-error code: no
// local path or another scheme 0x20000004, a size that differs 0x20000012
// (the partial file is deleted), and whatever the transfer set.
DownloadResult DownloadFile(const std::wstring& url, std::uint64_t expected,
                            const Transfer& http, const Transfer& ftp, IFileDownloadRun& run);

// Whether the path names a file, not a folder; and the size of such a file.
bool IsFilePath(const std::wstring& path);
std::optional<std::uint64_t> FileSizeOf(const std::wstring& path);
