#pragma once
// CDownloadDLG: the modal dialog of a download run (template 202). It
// starts the worker, shows the run's progress every 200 ms, passes Cancel
// on while downloading, pauses the run when the PC goes on battery, shows
// the installation passes, and closes with the code the worker posts.
#include <windows.h>

#include <cstdint>
#include <string>

#include "common/framework/window.h"

class CFileDownloader;

class CDownloadDLG : public zu::Dialog {
 public:
  CDownloadDLG();

  // The run this dialog starts and shows; set before RunModal.
  void SetDownloader(CFileDownloader* downloader) { downloader_ = downloader; }
  // Runs the dialog from the control's resources; the result is the code
  // that closed it (1, 2, 12, 22), or -1 when it could not be shown.
  INT_PTR RunModal(HWND owner);

  static constexpr int kInstallingView = 2;

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD code, HWND control) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result) override;

 private:
  void UpdateProgress();
  void OnPowerStatusChange();
  void OnRunNotice(int code, int count);
  void ShowInstallingView();
  void SetItemText(int id, const std::wstring& text);
  void SetTitle(const std::wstring& text);
  void StartTimer();
  void StopTimer();

  HWND progress_bar_ = nullptr;  // control 1000
  CFileDownloader* downloader_ = nullptr;
  DWORD start_tick_ = 0;
  int installer_number_ = 0;
  int installer_count_ = 0;
  std::uint64_t bytes_at_start_ = 0;
  int view_ = 0;
};
