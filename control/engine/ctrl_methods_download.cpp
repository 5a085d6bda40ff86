// The scripting methods of the module list and the download run.
#include <windows.h>
#include <exdisp.h>

#include "common/framework/com.h"
#include "common/patch_list_format.h"
#include "control/ctrl_frame.h"
#include "control/engine/download_dialog.h"
#include "control/engine/file_downloader.h"
#include "control/host_check.h"
#include "control/module_path.h"
#include "control/zuax_ctrl.h"

void CEngineDeleter::operator()(CFileDownloader* p) const { delete p; }

namespace {

CModuleInfo PlainModule(const std::wstring& url, LONGLONG size, const std::wstring& name,
                        bool auto_execute, const std::wstring& option) {
  CModuleInfo m;
  m.url = url;
  m.size = size;
  m.display_name = name;
  m.auto_execute = auto_execute;
  m.installer_option = option;
  return m;
}

}  // namespace

bool CZUAXCtrl::AddModuleInfo(const std::wstring& bstrURL, LONGLONG LLSize,
                              const std::wstring& bstrDispName, bool bAutoExec,
                              const std::wstring& bstrInstallerOption) {
  if (!PassPlainPrologue()) return kRefusedBool;
  if (bstrURL.empty() || bstrDispName.empty() || download_dlg_) return false;
  // A size below zero is no size; it would make every size check fail.
  if (LLSize < 0) {
    SetZuLastError(kZuErrorInvalidArgument);
    return false;
  }
  if (!downloader_) downloader_.reset(new CFileDownloader());
  downloader_->modules().Add(PlainModule(bstrURL, LLSize, bstrDispName, bAutoExec,
                                         bstrInstallerOption));
  return true;
}

bool CZUAXCtrl::AddModuleInfoEx(const std::wstring& bstrSPID, const std::wstring& bstrURL,
                                LONGLONG LLSize, const std::wstring& bstrDispName,
                                bool bAutoExec, const std::wstring& bstrInstallerOption,
                                const std::wstring& bstrInstallParam,
                                const std::wstring& bUnintallFlag,
                                const std::wstring& bUninstallPath,
                                const std::wstring& bUninstallReboot,
                                const std::wstring& bInstallReboot,
                                const std::wstring& bBoundingFlag) {
  if (!PassPlainPrologue()) return kRefusedBool;
  if (bstrSPID.empty() || bstrURL.empty() || bstrDispName.empty() || download_dlg_) return false;
  if (LLSize < 0) {
    SetZuLastError(kZuErrorInvalidArgument);
    return false;
  }
  CModuleInfo m = PlainModule(bstrURL, LLSize, bstrDispName, bAutoExec, bstrInstallerOption);
  m.install_param = bstrInstallParam;
  m.phase_flag = patch_list::FlagNumber(bUnintallFlag);
  m.uninstall_path = bUninstallPath;
  m.first_phase_reboot = patch_list::FlagNumber(bUninstallReboot);
  m.install_reboot = patch_list::FlagNumber(bInstallReboot);
  m.bounding_flag = patch_list::FlagNumber(bBoundingFlag);
  m.spid = bstrSPID;
  if (!downloader_) downloader_.reset(new CFileDownloader());
  if (!downloader_->modules().AddEx(std::move(m))) {
    SetZuLastError(kZuErrorBounding);
    return false;
  }
  return true;
}

bool CZUAXCtrl::ClearModuleList() {
  if (!PassPlainPrologue()) return kRefusedBool;
  if (download_dlg_ || !downloader_) return false;
  downloader_->modules().Clear();
  return true;
}

bool CZUAXCtrl::IsDownloaded(const std::wstring& bstrFilePath) {
  if (!PassPlainPrologue()) return kRefusedBool;
  if (bstrFilePath.empty()) return false;
  const std::wstring path = ModuleFinalPath(bstrFilePath);
  if (path.empty() || !IsFilePath(path)) {
    SetZuLastError(kZuErrorFileMissing);
    return false;
  }
  return true;
}

bool CZUAXCtrl::StartDownload() {
  if (!PassPlainPrologue()) return kRefusedBool;
  // One installer run at a time: both read the installers' flags.
  if (download_dlg_ || self_update_dlg_ || !downloader_) return false;

  CDownloadDLG dialog;
  download_dlg_ = &dialog;
  const bool finished = RunEngineDialog(dialog, *downloader_, downloader_->Bind());
  // Every run consumes the list; the worker has ended once it is gone.
  downloader_.reset();
  download_dlg_ = nullptr;
  if (finished) RefreshHostPage();
  return finished;
}

bool CZUAXCtrl::RunEngineDialog(CDownloadDLG& dialog, IDownloadRun& run, bool bound) {
  dialog.SetDownloader(&run);
  return bound && dialog.RunModal(window()) == kNoticeFinished;
}

void CZUAXCtrl::RefreshHostPage() {
  zu::ComPtr<IWebBrowser2> browser = HostWebBrowser(client_site());
  if (browser) browser->Refresh();
}
