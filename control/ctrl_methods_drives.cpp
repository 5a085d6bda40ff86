// Scripting methods that test the identity of the PC's drives (vendor,
// product, revision, vendor-specific text) against the page's requirement.
#include <windows.h>

#include "common/platform.h"
#include "control/ctrl_frame.h"
#include "control/drive_identity.h"
#include "control/drive_rules.h"
#include "control/match_frame.h"
#include "control/requirement_list.h"
#include "control/zuax_ctrl.h"

bool CZUAXCtrl::SearchDriveInfo(const std::wstring& bstrVender, const std::wstring& bstrProduct,
                                const std::wstring& bstrRevision,
                                const std::wstring& bstrVenderSpecific) {
  if (!PassDriveInfoPrologue()) return kRefusedBool;
  const DriveIdentity wanted{bstrVender, bstrProduct, bstrRevision, bstrVenderSpecific};
  return FindDrive([&](const DriveIdentity& drive) { return DriveMatchesArguments(drive, wanted); });
}

bool CZUAXCtrl::SearchDriveInfoEx(const std::wstring& bstrVender,
                                  const std::wstring& bstrProduct,
                                  const std::wstring& bstrRevision,
                                  const std::wstring& bstrVenderSpecific,
                                  const std::wstring& bstrReverse) {
  bool reverse = false, answer = false;
  if (!PassMatchPrologue(bstrReverse, &reverse, &answer)) return answer;
  if (DebugSearchForcesMatchAll({{L"FirmVender", bstrVender},
                                 {L"FirmProductID", bstrProduct},
                                 {L"FirmProductRevison", bstrRevision},
                                 {L"FirmVenderSpec", bstrVenderSpecific}}))
    return ApplyReverse(true, reverse);
  // Refused before the administrator test, unlike the other list errors.
  if (VendorEndsInWildcard(bstrVender)) {
    SetZuLastError(kZuErrorInvalidArgument);
    return ApplyReverse(false, reverse);
  }
  if (!IsUserAdministrator()) {
    SetZuLastError(kZuErrorNotAdmin);
    return ApplyReverse(false, reverse);
  }
  DriveRequirement requirement;
  if (!ParseDriveRequirement({bstrVender, bstrProduct, bstrRevision, bstrVenderSpecific},
                             &requirement)) {
    SetZuLastError(kZuErrorInvalidArgument);
    return ApplyReverse(false, reverse);
  }
  return ApplyReverse(FindDrive([&](const DriveIdentity& drive) {
                        return DriveMatchesRequirement(drive, requirement);
                      }),
                      reverse);
}
