#pragma once
// What a download dialog and the worker behind it share: the worker's
// notifications, the sink through which the worker reaches the dialog, and
// the run as the dialog sees it. The module run (CFileDownloader) and the
// self update (CSelfDownloader) are both such runs.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

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
  kNoticeSelfUpdateFailed = 50,  // the failure page is opened when it answers
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

// Where a run reports before a dialog gives it a window: nowhere, and
// every question is answered with its first button.
class SilentRunSink : public IRunSink {
 public:
  void Notify(int, int) override {}
  int Ask(const std::wstring&, const std::wstring&, UINT flags) override {
    return (flags & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
  }
};

// What the dialog shows, read in one piece.
struct RunProgress {
  std::uint64_t total = 0;  // 0: no total
  std::uint64_t done = 0;   // completed files + the current file
  int index = 0;
  int count = 0;
  std::wstring name;
};

// The run as its dialog drives it from the page's thread.
class IDownloadRun {
 public:
  virtual ~IDownloadRun() = default;
  // Where the worker's notifications go; set before StartWorker.
  virtual void SetSink(std::unique_ptr<IRunSink> sink) = 0;
  // Starts the worker thread; false when none could be started.
  virtual bool StartWorker() = 0;
  virtual RunProgress Progress() const = 0;
  virtual std::uint64_t DoneBytes() const = 0;
  virtual void Pause() = 0;
  virtual void Resume() = 0;
  // Also ends a pause.
  virtual void Cancel() = 0;
  virtual bool paused() const = 0;
  // Whether going on battery should pause the run now.
  virtual bool WatchesPower() const = 0;
};
