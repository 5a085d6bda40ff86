// Scripting methods whose work is not built yet. Each runs its prologue and
// answers the refused result of its type; a method leaves this file for
// its topic's own file (ctrl_methods_<topic>.cpp) once it does its work.
#include "control/ctrl_frame.h"
#include "control/zuax_ctrl.h"

// The engine's objects are not built yet, so none is ever created and
// there is nothing to free.
void CEngineDeleter::operator()(CFileDownloader*) const {}
void CEngineDeleter::operator()(CSelfDownloader*) const {}

// --- Module list and download run ------------------------------------------------

bool CZUAXCtrl::StartDownload() {
  PassPlainPrologue();
  return kRefusedBool;
}

bool CZUAXCtrl::IsDownloaded(const std::wstring&) {
  PassPlainPrologue();
  return kRefusedBool;
}

bool CZUAXCtrl::AddModuleInfo(const std::wstring&, LONGLONG, const std::wstring&, bool,
                              const std::wstring&) {
  PassPlainPrologue();
  return kRefusedBool;
}

bool CZUAXCtrl::ClearModuleList() {
  PassPlainPrologue();
  return kRefusedBool;
}

bool CZUAXCtrl::AddModuleInfoEx(const std::wstring&, const std::wstring&, LONGLONG,
                                const std::wstring&, bool, const std::wstring&,
                                const std::wstring&, const std::wstring&, const std::wstring&,
                                const std::wstring&, const std::wstring&, const std::wstring&) {
  PassPlainPrologue();
  return kRefusedBool;
}

// --- Self update ---------------------------------------------------------------------

bool CZUAXCtrl::UpdateToLatestVersion(const std::wstring&, const std::wstring&,
                                      const std::wstring&, LONGLONG) {
  PassPlainPrologue();
  return kRefusedBool;
}
