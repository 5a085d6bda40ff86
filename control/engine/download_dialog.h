#pragma once
// CDownloadDLG: the modal dialog of a download run (template 202). It
// starts the worker, shows the run's progress every 200 ms, passes Cancel
// on while downloading, pauses the run when the PC goes on battery, shows
// the installation passes, and closes with the code the worker posts.
#include <windows.h>

#include <cstdint>
#include <string>

#include "common/framework/window.h"
#include "control/engine/download_run.h"

// How a download dialog differs from the module run's.
struct DownloadDialogLook {
  int template_id;
  bool counters;          // "(n/m)" after the titles
  bool installing_moves;  // the installing view goes to the top left corner
};

class CDownloadDLG : public zu::Dialog {
 public:
  // Template 202, counters in the titles, the installing view moved.
  CDownloadDLG();

  // The run this dialog starts and shows; set before RunModal.
  void SetDownloader(IDownloadRun* downloader) { downloader_ = downloader; }
  // Runs the dialog from the control's resources; the result is the code
  // that closed it (1, 2, 12, 22 ...), or -1 when it could not be shown.
  INT_PTR RunModal(HWND owner);

  static constexpr int kInstallingView = 2;

 protected:
  explicit CDownloadDLG(const DownloadDialogLook& look);
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD code, HWND control) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result) override;
  // A notice that closes the dialog, just before it does.
  virtual void BeforeClosing(int /*code*/) {}

 private:
  void UpdateProgress();
  void OnPowerStatusChange();
  void OnRunNotice(int code, int count);
  void ShowInstallingView();
  void SetItemText(int id, const std::wstring& text);
  void SetTitle(const std::wstring& text);
  void StartTimer();
  void StopTimer();

  const DownloadDialogLook look_;
  HWND progress_bar_ = nullptr;  // control 1000
  IDownloadRun* downloader_ = nullptr;
  DWORD start_tick_ = 0;
  int installer_number_ = 0;
  int installer_count_ = 0;
  std::uint64_t bytes_at_start_ = 0;
  int view_ = 0;
};
