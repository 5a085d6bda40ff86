// The scripting method of the self update.
#include <windows.h>

#include "common/platform.h"
#include "control/ctrl_frame.h"
#include "control/engine/engine_texts.h"
#include "control/engine/self_downloader.h"
#include "control/engine/self_update_dialog.h"
#include "control/engine/self_update_rules.h"
#include "control/registered_strings.h"
#include "control/zuax_ctrl.h"

void CEngineDeleter::operator()(CSelfDownloader* p) const { delete p; }

namespace {

// A message box of the page's thread, owned by the desktop window.
int AskOverDesktop(long text, UINT flags) {
  return ::MessageBoxW(::GetDesktopWindow(), RegisteredString(text).c_str(),
                       RegisteredString(kTextQuestionCaption).c_str(), flags);
}

}  // namespace

bool CZUAXCtrl::UpdateToLatestVersion(const std::wstring& bstrNewVersion,
                                      const std::wstring& bstrPatch,
                                      const std::wstring& bstrFailedURL, LONGLONG ULSize) {
  if (!PassPlainPrologue()) return kRefusedBool;
  if (!IsUserAdministrator()) {
    SetZuLastError(kZuErrorNotAdmin);
    return false;
  }
  if (!IsOfferedVersionAllowed(bstrNewVersion)) {
    SetZuLastError(kZuErrorSelfUpdateRefused);
    return false;
  }
  if (!IsOlderThanOffered(ControlVersionText(), bstrNewVersion)) return true;  // nothing to do
  // A size below zero is no size; as unsigned it would fail every check.
  if (ULSize < 0) {
    SetZuLastError(kZuErrorInvalidArgument);
    return false;
  }
  // One installer run at a time (both read the installers' flags), also
  // when the page calls again from inside a dialog's modal loop.
  auto busy = [this] { return self_update_dlg_ != nullptr || download_dlg_ != nullptr; };
  if (busy()) return false;
  if (AskOverDesktop(kTextSelfUpdateQuestion, MB_OKCANCEL | MB_ICONWARNING) != IDOK) {
    AskOverDesktop(kTextSelfUpdateDeclined, MB_OK | MB_ICONWARNING);
    return false;
  }
  if (busy()) return false;

  CDownloadSelfDlg dialog(bstrFailedURL);
  self_update_dlg_ = &dialog;
  self_downloader_.reset(new CSelfDownloader(
      SelfUpdateJob{bstrNewVersion, bstrPatch, static_cast<std::uint64_t>(ULSize)}));
  // The caller's rights were checked on the way in.
  const bool finished = RunEngineDialog(dialog, *self_downloader_, true);
  // The worker has ended once its object is gone.
  self_downloader_.reset();
  self_update_dlg_ = nullptr;
  if (finished) RefreshHostPage();
  return finished;
}
