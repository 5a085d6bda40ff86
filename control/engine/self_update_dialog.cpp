#include "control/engine/self_update_dialog.h"

#include <utility>

#include "common/browser.h"
#include "common/net/http.h"
#include "control/engine/self_downloader.h"
#include "control/resource.h"

FailurePageWorld FailurePageWorld::Real() {
  FailurePageWorld w;
  w.reachable = [](const std::wstring& address) {
    return zu::net::IsReachable(
        address, zu::net::UserAgent(zu::net::kProbeAgentPrefix, ControlVersionText()),
        kFailurePageProbeTimeoutMs);
  };
  w.open = &OpenInBrowser;
  return w;
}

CDownloadSelfDlg::CDownloadSelfDlg(std::wstring failed_url, FailurePageWorld world)
    : CDownloadDLG(DownloadDialogLook{IDD_DOWNLOAD_SELF, false, false}),
      failed_url_(std::move(failed_url)), world_(std::move(world)) {}

void CDownloadSelfDlg::BeforeClosing(int code) {
  if (code == kNoticeSelfUpdateFailed && !failed_url_.empty() && world_.reachable(failed_url_))
    world_.open(failed_url_);
}
