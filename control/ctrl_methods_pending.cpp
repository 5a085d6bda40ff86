// Scripting methods whose work is not built yet. Each runs its prologue and
// answers the refused result of its type; a method leaves this file for
// its topic's own file (ctrl_methods_<topic>.cpp) once it does its work.
#include "control/ctrl_frame.h"
#include "control/zuax_ctrl.h"

// The engine's objects are not built yet, so none is ever created and
// there is nothing to free.
void CEngineDeleter::operator()(CFileDownloader*) const {}
void CEngineDeleter::operator()(CSelfDownloader*) const {}

namespace {
// A matching method that runs only its frame so far: no match.
bool PendingMatch(CZUAXCtrl* ctrl, const std::wstring& bstrReverse) {
  bool reverse = false, answer = false;
  if (!ctrl->PassMatchPrologue(bstrReverse, &reverse, &answer)) return answer;
  return kRefusedBool;
}
}  // namespace

// --- Files, drivers, registry values and version texts ----------------------

std::wstring CZUAXCtrl::GetDriverVersion(const std::wstring&) {
  PassPlainPrologue();
  return RefusedString();
}

std::wstring CZUAXCtrl::GetDriverDate(const std::wstring&) {
  PassPlainPrologue();
  return RefusedString();
}

std::wstring CZUAXCtrl::GetFileVersion(const std::wstring&) {
  PassPlainPrologue();
  return RefusedString();
}

std::wstring CZUAXCtrl::GetFileLastWriteTime(const std::wstring&) {
  PassPlainPrologue();
  return RefusedString();
}

std::wstring CZUAXCtrl::ReadVersionTXT(const std::wstring&) {
  PassPlainPrologue();
  return RefusedString();
}

std::wstring CZUAXCtrl::ReadApplicationVersionTXT(const std::wstring&) {
  PassPlainPrologue();
  return RefusedString();
}

bool CZUAXCtrl::SearchDriverVersionEx(const std::wstring&, const std::wstring&,
                                      const std::wstring& bstrReverse) {
  return PendingMatch(this, bstrReverse);
}

bool CZUAXCtrl::SearchDriverDateEx(const std::wstring&, const std::wstring&,
                                   const std::wstring& bstrReverse) {
  return PendingMatch(this, bstrReverse);
}

bool CZUAXCtrl::SearchFileVersionEx(const std::wstring&, const std::wstring&,
                                    const std::wstring& bstrReverse) {
  return PendingMatch(this, bstrReverse);
}

bool CZUAXCtrl::SearchFileLastWriteTimeEx(const std::wstring&, const std::wstring&,
                                          const std::wstring& bstrReverse) {
  return PendingMatch(this, bstrReverse);
}

bool CZUAXCtrl::SearchRegistryInfoEx(const std::wstring&, const std::wstring&,
                                     const std::wstring&, const std::wstring& bstrReverse) {
  return PendingMatch(this, bstrReverse);
}

bool CZUAXCtrl::SearchVersionTXTEx(const std::wstring&, const std::wstring&,
                                   const std::wstring& bstrReverse) {
  return PendingMatch(this, bstrReverse);
}

bool CZUAXCtrl::SearchApplicationVersionTXTEx(const std::wstring&, const std::wstring&,
                                              const std::wstring& bstrReverse) {
  return PendingMatch(this, bstrReverse);
}

bool CZUAXCtrl::SearchRegistryEx(const std::wstring&, const std::wstring&,
                                 const std::wstring& bstrReverse) {
  return PendingMatch(this, bstrReverse);
}

// --- Drive firmware ------------------------------------------------------------

bool CZUAXCtrl::SearchDriveInfo(const std::wstring&, const std::wstring&, const std::wstring&,
                                const std::wstring&) {
  PassDriveInfoPrologue();
  return kRefusedBool;
}

bool CZUAXCtrl::SearchDriveInfoEx(const std::wstring&, const std::wstring&,
                                  const std::wstring&, const std::wstring&,
                                  const std::wstring& bstrReverse) {
  return PendingMatch(this, bstrReverse);
}

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
