#include "agent/setup_dialog.h"

#include "agent/app.h"
#include "agent/info/settings.h"
#include "agent/resource.h"

CSetupDialog::CSetupDialog() : zu::Dialog(IDD_OPTIONS) {}

BOOL CSetupDialog::OnInitDialog() {
  // The dialog starts from what is stored, so OK without changes keeps it.
  TheApp().options().FromStored(ReadSuppressBalloon());
  ::SetForegroundWindow(hwnd());
  return TRUE;
}
