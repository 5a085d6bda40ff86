// Last-error code and the prologues of the scripting methods.
#include "control/ctrl_frame.h"

#include <windows.h>

#include <atomic>

#include "common/platform.h"
#include "control/host_check.h"
#include "control/requirement_list.h"
#include "control/zuax_ctrl.h"

namespace {
// Shared by every control of the process. The browser's apartment
// serialises the calls; the download worker sets it too.
std::atomic<long> g_last_error{kZuErrorNeverSet};
}  // namespace

void SetZuLastError(long code) {
  g_last_error = code;
  ::SetLastError(static_cast<DWORD>(code));
}

long ZuLastError() { return g_last_error; }

long ZuLastErrorForPage() {
  long never = kZuErrorNeverSet;
  g_last_error.compare_exchange_strong(never, static_cast<long>(::GetLastError()));
  return g_last_error;
}

bool CZUAXCtrl::IsHostPageAllowed() {
  // The check reads a file and asks the browser; GetLastError must still
  // see the thread's last-error as the page left it.
  DWORD saved = ::GetLastError();
  bool allowed = ::IsHostPageAllowed(client_site());
  ::SetLastError(saved);
  return allowed;
}

bool CZUAXCtrl::PassPlainPrologue() {
  if (!IsHostPageAllowed()) return false;
  SetZuLastError(kZuErrorSuccess);
  return true;
}

bool CZUAXCtrl::PassMatchPrologue(const std::wstring& bstrReverse, bool* reverse,
                                  bool* answer) {
  SetZuLastError(kZuErrorSuccess);
  bool invalid = false;
  *reverse = ParseReverseFlag(bstrReverse, &invalid);
  if (invalid) {
    SetZuLastError(kZuErrorInvalidArgument);
    *answer = false;
    return false;
  }
  if (!IsHostPageAllowed()) {
    *answer = ApplyReverse(false, *reverse);
    return false;
  }
  return true;
}

bool CZUAXCtrl::PassDriveInfoPrologue() {
  SetZuLastError(kZuErrorSuccess);
  if (!IsUserAdministrator()) {
    SetZuLastError(kZuErrorNotAdmin);
    return false;
  }
  return PassPlainPrologue();
}
