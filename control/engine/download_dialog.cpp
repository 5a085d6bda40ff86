#include "control/engine/download_dialog.h"

#include <commctrl.h>

#include <memory>
#include <vector>

#include "common/platform.h"
#include "control/engine/engine_seams.h"
#include "control/engine/file_downloader.h"
#include "control/engine/progress_text.h"
#include "control/registered_strings.h"
#include "control/resource.h"
#include "control/zuac_module.h"

namespace {

constexpr UINT_PTR kProgressTimer = 1;
constexpr UINT kProgressPeriodMs = 200;
constexpr DWORD kAfterPowerBackMs = 500;

enum : long {
  kTextQuestionCaption = 100,
  kTextTitle = 300,
  kTextCancel = 307,
  kTextSecondPassTitle = 400,
  kTextFirstPassTitle = 401,
  kTextRestartCaption = 402,
  kTextShutdownCaption = 403,
  kTextRestart = 404,
  kTextShutdown = 405,
  kTextOnBattery = 406,
};

ProgressWords Words() {
  return {RegisteredString(301), RegisteredString(302), RegisteredString(303),
          RegisteredString(304), RegisteredString(305), RegisteredString(306)};
}

std::wstring WindowText(HWND wnd) {
  int n = ::GetWindowTextLengthW(wnd);
  std::vector<wchar_t> buf(static_cast<std::size_t>(n) + 1, L'\0');
  ::GetWindowTextW(wnd, buf.data(), n + 1);
  return buf.data();
}

// The worker's messages, posted to the dialog's window; its message boxes
// are owned by it.
class WindowRunSink : public IRunSink {
 public:
  explicit WindowRunSink(HWND dialog) : dialog_(dialog) {}
  void Notify(int code, int count) override {
    ::PostMessageW(dialog_, kRunNoticeMessage, static_cast<WPARAM>(code),
                   static_cast<LPARAM>(count));
  }
  int Ask(const std::wstring& text, const std::wstring& caption, UINT flags) override {
    return ::MessageBoxW(dialog_, text.c_str(), caption.c_str(), flags);
  }

 private:
  const HWND dialog_;
};

}  // namespace

CDownloadDLG::CDownloadDLG() : zu::Dialog(IDD_DOWNLOAD) {}

INT_PTR CDownloadDLG::RunModal(HWND owner) {
  INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&icc);
  return DoModal(owner, CZUAXApp::Instance().module());
}

void CDownloadDLG::SetItemText(int id, const std::wstring& text) {
  // Only changes, so that the timer does not make the texts flicker.
  HWND item = ::GetDlgItem(hwnd(), id);
  if (item && WindowText(item) != text) ::SetWindowTextW(item, text.c_str());
}

void CDownloadDLG::SetTitle(const std::wstring& text) {
  if (WindowText(hwnd()) != text) ::SetWindowTextW(hwnd(), text.c_str());
}

void CDownloadDLG::StartTimer() { ::SetTimer(hwnd(), kProgressTimer, kProgressPeriodMs, nullptr); }
void CDownloadDLG::StopTimer() { ::KillTimer(hwnd(), kProgressTimer); }

BOOL CDownloadDLG::OnInitDialog() {
  SetTitle(RegisteredString(kTextTitle));
  // Centred on the owner, or on the screen without one.
  RECT me = {}, around = {};
  ::GetWindowRect(hwnd(), &me);
  HWND owner = ::GetWindow(hwnd(), GW_OWNER);
  if (!owner || !::IsWindowVisible(owner) || !::GetWindowRect(owner, &around))
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
  int w = me.right - me.left, h = me.bottom - me.top;
  ::SetWindowPos(hwnd(), nullptr, around.left + (around.right - around.left - w) / 2,
                 around.top + (around.bottom - around.top - h) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetItemText(IDCANCEL, RegisteredString(kTextCancel));
  progress_bar_ = ::GetDlgItem(hwnd(), IDC_DOWNLOAD_PROGRESS);

  start_tick_ = ::GetTickCount();
  bytes_at_start_ = downloader_ ? downloader_->DoneBytes() : 0;
  if (!downloader_) {
    End(kNoticeFailed);
    return TRUE;
  }
  downloader_->SetSink(std::make_unique<WindowRunSink>(hwnd()));
  if (!downloader_->Start()) {
    End(kNoticeFailed);
    return TRUE;
  }
  StartTimer();
  return TRUE;
}

bool CDownloadDLG::OnCommand(WORD id, WORD, HWND) {
  // Cancel and Esc ask the worker to stop; it reports back and the dialog
  // closes then. Enter does nothing.
  if (id == IDCANCEL && view_ != kInstallingView && downloader_) downloader_->Cancel();
  return id == IDCANCEL || id == IDOK;
}

bool CDownloadDLG::OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result) {
  switch (msg) {
    case WM_TIMER:
      if (wp == kProgressTimer) UpdateProgress();
      return false;
    case WM_POWERBROADCAST:
      if (wp == PBT_APMPOWERSTATUSCHANGE) OnPowerStatusChange();
      *result = TRUE;
      return true;
    case kRunNoticeMessage:
      OnRunNotice(static_cast<int>(wp), static_cast<int>(lp));
      *result = 0;
      return true;
    default:
      return false;
  }
}

void CDownloadDLG::UpdateProgress() {
  if (view_ == kInstallingView || !downloader_) return;
  const RunProgress p = downloader_->Progress();
  const ProgressWords words = Words();
  SetTitle(CounterTitle(RegisteredString(kTextTitle), p.index + 1, p.count));
  SetItemText(IDC_DOWNLOAD_NAME, p.name);
  ::SendMessageW(progress_bar_, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  ::SendMessageW(progress_bar_, PBM_SETPOS, static_cast<WPARAM>(ProgressPercent(p.done, p.total)),
                 0);
  SetItemText(IDC_DOWNLOAD_STATUS, StatusLine(p.done, p.total, words));
  RateSample sample{p.done, p.total, bytes_at_start_, start_tick_, ::GetTickCount()};
  SetItemText(IDC_DOWNLOAD_TIME, RemainingTimeText(sample, words));
}

void CDownloadDLG::OnPowerStatusChange() {
  if (!RunsOnBattery() || !downloader_ || downloader_->paused()) return;
  downloader_->Pause();
  StopTimer();
  ::MessageBoxW(::GetDesktopWindow(), RegisteredString(kTextOnBattery).c_str(),
                RegisteredString(kTextQuestionCaption).c_str(), MB_OK | MB_ICONWARNING);
  if (RunsOnBattery()) {
    downloader_->Cancel();  // the worker ends the run
    return;
  }
  bytes_at_start_ = downloader_->DoneBytes();
  downloader_->Resume();
  ::Sleep(kAfterPowerBackMs);
  start_tick_ = ::GetTickCount();
  StartTimer();
}

void CDownloadDLG::ShowInstallingView() {
  ::SetWindowPos(hwnd(), HWND_TOPMOST, 10, 10, 0, 0, SWP_NOSIZE);
  for (int id : {IDC_DOWNLOAD_TIME, IDC_DOWNLOAD_STATUS, IDC_DOWNLOAD_PROGRESS, IDCANCEL})
    ::ShowWindow(::GetDlgItem(hwnd(), id), SW_HIDE);
  if (downloader_) SetItemText(IDC_DOWNLOAD_NAME, downloader_->Progress().name);
  view_ = kInstallingView;
}

void CDownloadDLG::OnRunNotice(int code, int count) {
  auto pass_title = [this](long text) {
    return CounterTitle(RegisteredString(text), installer_number_, installer_count_);
  };
  switch (code) {
    case kNoticeDownloaded:
      StopTimer();
      break;
    case kNoticeFirstPass:
    case kNoticeSecondPass:
      installer_number_ = 0;
      installer_count_ = count;
      SetTitle(RegisteredString(code == kNoticeFirstPass ? kTextFirstPassTitle
                                                          : kTextSecondPassTitle));
      ShowInstallingView();
      break;
    case kNoticeFirstPassNext:
    case kNoticeSecondPassNext:
      ++installer_number_;
      SetTitle(pass_title(code == kNoticeFirstPassNext ? kTextFirstPassTitle
                                                       : kTextSecondPassTitle));
      if (downloader_) SetItemText(IDC_DOWNLOAD_NAME, downloader_->Progress().name);
      break;
    case kNoticeHide:
      ::ShowWindow(hwnd(), SW_HIDE);
      break;
    case kNoticeShutdown:
    case kNoticeRestart: {
      const bool restart = code == kNoticeRestart;
      ::MessageBoxW(::GetDesktopWindow(),
                    RegisteredString(restart ? kTextRestart : kTextShutdown).c_str(),
                    RegisteredString(restart ? kTextRestartCaption : kTextShutdownCaption).c_str(),
                    MB_OK | MB_ICONWARNING);
      // The dialog stays while Windows ends the session. When Windows
      // refuses, it closes instead of waiting for an end that never comes.
      if (!(restart ? RestartWindows() : ShutdownWindows())) End(code);
      break;
    }
    default:
      StopTimer();
      End(code);
      break;
  }
}
