// Scripting methods whose work is not built yet. Each runs its prologue and
// answers the refused result of its type; a method leaves this file for
// its topic's own file (ctrl_methods_<topic>.cpp) once it does its work.
#include "control/ctrl_frame.h"
#include "control/zuax_ctrl.h"

// The self update is not built yet, so no self downloader is ever created.
void CEngineDeleter::operator()(CSelfDownloader*) const {}

// --- Self update ---------------------------------------------------------------------

bool CZUAXCtrl::UpdateToLatestVersion(const std::wstring&, const std::wstring&,
                                      const std::wstring&, LONGLONG) {
  PassPlainPrologue();
  return kRefusedBool;
}
