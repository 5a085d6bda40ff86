#pragma once
// CDownloadSelfDlg: the self update's dialog on template 206 (the controls
// of 202). Its titles carry no counter, its installing view stays where
// the dialog is, and when the update has failed it opens the page's
// failure address in the browser, if that page answers.
#include <functional>
#include <string>

#include "control/engine/download_dialog.h"

// How the failure page is tried.
struct FailurePageWorld {
  // The status-200 probe, with the control's version text in the user
  // agent "ZEFOUpdate-Client/".
  std::function<bool(const std::wstring& address)> reachable;
  std::function<void(const std::wstring& address)> open;  // OpenInBrowser
  static FailurePageWorld Real();
};

// The probe gives up after this long on each connect, send and receive.
inline constexpr unsigned long kFailurePageProbeTimeoutMs = 30000;

class CDownloadSelfDlg : public CDownloadDLG {
 public:
  explicit CDownloadSelfDlg(std::wstring failed_url,
                            FailurePageWorld world = FailurePageWorld::Real());

 protected:
  void BeforeClosing(int code) override;

 private:
  const std::wstring failed_url_;
  FailurePageWorld world_;
};
