// Scripting methods that tell the page what the PC is and test it against
// the page's requirements: identity, operating system, installed
// components, registry values.
#include <windows.h>

#include "control/ctrl_frame.h"
#include "control/host_check.h"
#include "control/identity_queries.h"
#include "control/match_frame.h"
#include "control/os_description.h"
#include "control/registry_text.h"
#include "control/requirement_list.h"
#include "control/zuax_ctrl.h"

namespace {

// The answer of a matching method from its rule result; an invalid text
// is no match with 0x20000015.
bool Answer(RuleResult r, bool reverse) {
  if (r == RuleResult::kInvalid) SetZuLastError(kZuErrorInvalidArgument);
  return ApplyReverse(r == RuleResult::kMatch, reverse);
}

}  // namespace

// --- Identity ------------------------------------------------------------------

std::wstring CZUAXCtrl::GetModelName() {
  if (!PassPlainPrologue()) return RefusedString();
  return QueryModelName(RealIdentitySources());
}

std::wstring CZUAXCtrl::GetModelCode() {
  if (!PassPlainPrologue()) return RefusedString();
  return QueryModelCode(RealIdentitySources());
}

std::wstring CZUAXCtrl::GetSerialNumber() {
  if (!PassPlainPrologue()) return RefusedString();
  return QuerySerialNumber(RealIdentitySources());
}

std::wstring CZUAXCtrl::GetBIOSVersion() {
  if (!PassPlainPrologue()) return RefusedString();
  return QueryBiosVersion(RealIdentitySources());
}

ULONG CZUAXCtrl::GetSystemDefaultLCID() {
  if (!PassPlainPrologue()) return kRefusedNumber;
  return QuerySystemDefaultLcid(RealIdentitySources());
}

bool CZUAXCtrl::SearchModelNameEx(const std::wstring& bstrSPID, const std::wstring& bstrReverse) {
  bool reverse = false, answer = false;
  if (!PassMatchPrologue(bstrReverse, &reverse, &answer)) return answer;
  return Answer(MatchNameList(bstrSPID, QueryModelName(RealIdentitySources()), true), reverse);
}

bool CZUAXCtrl::SearchBIOSVersionEx(const std::wstring& lpParam,
                                    const std::wstring& bstrReverse) {
  bool reverse = false, answer = false;
  if (!PassMatchPrologue(bstrReverse, &reverse, &answer)) return answer;
  if (DebugSearchForcesMatch(L"BIOSVersion", lpParam)) return ApplyReverse(true, reverse);
  return Answer(MatchNameList(lpParam, QueryBiosVersion(RealIdentitySources()), false),
                reverse);
}

bool CZUAXCtrl::SearchModelCodeAndSerialNum(const std::wstring& lpParam) {
  if (!PassPlainPrologue()) return kRefusedBool;
  if (lpParam.empty()) return false;
  IdentitySources& src = RealIdentitySources();
  std::wstring debug, code, serial;
  const bool has_debug = src.ReadDebug(L"ModelCodeANDSerialNumber", &debug);
  ModelIdentityForRequirement(has_debug ? &debug : nullptr, src, &code, &serial);
  return MatchModelRequirement(lpParam, code, serial);
}

bool CZUAXCtrl::SearchModelCodeAndSerialNumEx(const std::wstring& lpParam,
                                              const std::wstring& bstrReverse) {
  bool reverse = false, answer = false;
  if (!PassMatchPrologue(bstrReverse, &reverse, &answer)) return answer;
  // Its debug value stands in for the PC's identity instead of forcing.
  std::wstring debug, code, serial;
  const bool has_debug = ReadDebugSearch(L"ModelCodeANDSerialNumber", &debug);
  ModelIdentityForRequirement(has_debug ? &debug : nullptr, RealIdentitySources(), &code,
                              &serial);
  return Answer(MatchModelRequirementEx(lpParam, code, serial), reverse);
}

// --- Operating system ------------------------------------------------------------

bool CZUAXCtrl::CheckOSVersion(const std::wstring& lpParam) {
  if (!PassPlainPrologue()) return kRefusedBool;
  const bool match = CheckOsVersionItems(lpParam, RealIdentitySources(), GetOsDescription());
  SetZuLastError(kZuErrorSuccess);
  return match;
}

bool CZUAXCtrl::SearchOSVersionEx(const std::wstring& lpParam, const std::wstring& bstrReverse) {
  bool reverse = false, answer = false;
  if (!PassMatchPrologue(bstrReverse, &reverse, &answer)) return answer;
  if (DebugSearchForcesMatch(L"OSVersion", lpParam)) return ApplyReverse(true, reverse);
  return Answer(MatchOsVersionList(lpParam, GetOsDescription()), reverse);
}

// --- Installed components ----------------------------------------------------------

bool CZUAXCtrl::SearchSPID(const std::wstring& bstrSPID) {
  if (!PassPlainPrologue()) return kRefusedBool;
  return SearchSpidItems(bstrSPID, RealIdentitySources());
}

bool CZUAXCtrl::SearchSPIDEx(const std::wstring& bstrSPID, const std::wstring& bstrReverse) {
  bool reverse = false, answer = false;
  if (!PassMatchPrologue(bstrReverse, &reverse, &answer)) return answer;
  if (DebugSearchForcesMatch(L"SPID", bstrSPID)) return ApplyReverse(true, reverse);
  return Answer(MatchSpidList(bstrSPID), reverse);
}

std::wstring CZUAXCtrl::EnumSPID(ULONG ulid) {
  if (!PassPlainPrologue()) return RefusedString();
  if (!installed_apps_) installed_apps_ = ReadInstalledApplications();
  return ulid < installed_apps_->size() ? (*installed_apps_)[ulid] : std::wstring();
}

// --- Registry paths and value text ---------------------------------------------

std::wstring CZUAXCtrl::GetRegistryInfo(const std::wstring& bstrRegKey,
                                        const std::wstring& strRegValue) {
  if (!PassPlainPrologue()) return RefusedString();
  std::wstring text;
  if (ReadDebugGeneral(L"RegistryValue", &text)) return text;
  text = ReadRegistryValueText(bstrRegKey, strRegValue);
  if (text.empty()) SetZuLastError(kZuErrorRegistryNotFound);
  return text;
}

bool CZUAXCtrl::SearchRegistry(const std::wstring& bstrRegKey, const std::wstring& bstrRegValue) {
  if (!PassPlainPrologue()) return kRefusedBool;
  if (bstrRegKey.empty()) return false;
  return RegistryEntryExists(bstrRegKey, bstrRegValue);
}
