// Scripting methods that read drivers, files, version texts and registry
// values for the page, and the matching methods that test them against
// the page's requirement lists.
#include <windows.h>

#include "control/ctrl_frame.h"
#include "control/driver_queries.h"
#include "control/file_queries.h"
#include "control/host_check.h"
#include "control/match_frame.h"
#include "control/match_rules.h"
#include "control/registry_text.h"
#include "control/registry_value_list.h"
#include "control/requirement_list.h"
#include "control/zuax_ctrl.h"

namespace {

const ListRules kSubjectRules{.wildcards = false, .any_value = false, .several = true,
                              .empty = false};
const ListRules kValueRules{.wildcards = true, .any_value = true, .several = true,
                            .empty = false};

// A reader of one subject: its text, and the page's code for an empty one.
using Reader = std::wstring (*)(const std::wstring& subject, long* error);

std::wstring ReadDriverVersion(const std::wstring& hwid, long* error) {
  return ReadDriverValueForPage(hwid, kDriverVersionValue, error);
}
std::wstring ReadDriverDate(const std::wstring& hwid, long* error) {
  return ReadDriverValueForPage(hwid, kDriverDateValue, error);
}

// What a reading method answers after its prologue: the "General" debug
// value when set, nothing for an empty argument, else the PC's value with
// its code.
std::wstring ReadForPage(const wchar_t* debug_key, const std::wstring& subject, Reader read) {
  std::wstring value;
  if (ReadDebugGeneral(debug_key, &value)) return value;
  if (subject.empty()) return std::wstring();
  long error = kZuErrorSuccess;
  value = read(subject, &error);
  if (error != kZuErrorSuccess) SetZuLastError(error);
  return value;
}

bool CompareVersion(const std::wstring& actual, const RequirementItem& item, bool*) {
  return MatchVersion(actual, item);
}
bool CompareDate(const std::wstring& actual, const RequirementItem& item, bool* invalid) {
  return MatchDate(actual, item, invalid);
}
bool CompareText(const std::wstring& actual, const RequirementItem& item, bool*) {
  return MatchText(actual, item);
}

// The matching methods over subjects read like their reading method.
struct MatchMethod {
  const wchar_t* debug_search_key;   // section "DebugInfoSearch"
  const wchar_t* debug_general_key;  // section "General", as the reading method
  Reader read;
  bool (*compare)(const std::wstring&, const RequirementItem&, bool*);
};

bool RunMatchMethod(CZUAXCtrl* ctrl, const MatchMethod& m, const std::wstring& subjects,
                    const std::wstring& values, const std::wstring& bstrReverse) {
  bool reverse = false, answer = false;
  if (!ctrl->PassMatchPrologue(bstrReverse, &reverse, &answer)) return answer;
  if (DebugSearchForcesMatch(m.debug_search_key, values)) return ApplyReverse(true, reverse);
  const bool matched = MatchSubjects(
      subjects, kSubjectRules, values, kValueRules,
      [&](const std::wstring& subject) { return ReadForPage(m.debug_general_key, subject, m.read); },
      m.compare);
  return ApplyReverse(matched, reverse);
}

const MatchMethod kDriverVersion{L"DriverVersion", L"DriverVersion", ReadDriverVersion,
                                 CompareVersion};
const MatchMethod kDriverDate{L"DriverDate", L"DriverDate", ReadDriverDate, CompareDate};
const MatchMethod kFileVersion{L"FileVersion", L"FileVersion", ReadFileVersionForPage,
                               CompareVersion};
const MatchMethod kFileTime{L"FileLastWriteDate", L"FileLastWriteDate",
                            ReadFileLastWriteTimeForPage, CompareDate};
const MatchMethod kVersionText{L"VersionTxt", L"VersionTxt", ReadVersionTextForPage, CompareText};
const MatchMethod kApplicationVersionText{L"VersionTxt", L"VersionTxt",
                                          ReadApplicationVersionTextForPage, CompareText};

bool RegistryAnswer(const RegistrySearchResult& r, bool reverse) {
  if (r.result == RuleResult::kInvalid) SetZuLastError(kZuErrorInvalidArgument);
  else if (r.error != kZuErrorSuccess) SetZuLastError(r.error);
  return ApplyReverse(r.result == RuleResult::kMatch, reverse);
}

}  // namespace

// --- Drivers -------------------------------------------------------------------------

std::wstring CZUAXCtrl::GetDriverVersion(const std::wstring& bstrHWID) {
  if (!PassPlainPrologue()) return RefusedString();
  return ReadForPage(L"DriverVersion", bstrHWID, ReadDriverVersion);
}

std::wstring CZUAXCtrl::GetDriverDate(const std::wstring& bstrHWID) {
  if (!PassPlainPrologue()) return RefusedString();
  return ReadForPage(L"DriverDate", bstrHWID, ReadDriverDate);
}

bool CZUAXCtrl::SearchDriverVersionEx(const std::wstring& bstrHWID,
                                      const std::wstring& bstrDriverVersion,
                                      const std::wstring& bstrReverse) {
  return RunMatchMethod(this, kDriverVersion, bstrHWID, bstrDriverVersion, bstrReverse);
}

bool CZUAXCtrl::SearchDriverDateEx(const std::wstring& bstrHWID,
                                   const std::wstring& bstrDriverDate,
                                   const std::wstring& bstrReverse) {
  return RunMatchMethod(this, kDriverDate, bstrHWID, bstrDriverDate, bstrReverse);
}

// --- Files -----------------------------------------------------------------------------

std::wstring CZUAXCtrl::GetFileVersion(const std::wstring& bstrFilePath) {
  if (!PassPlainPrologue()) return RefusedString();
  return ReadForPage(L"FileVersion", bstrFilePath, ReadFileVersionForPage);
}

std::wstring CZUAXCtrl::GetFileLastWriteTime(const std::wstring& bstrFilePath) {
  if (!PassPlainPrologue()) return RefusedString();
  return ReadForPage(L"FileLastWriteDate", bstrFilePath, ReadFileLastWriteTimeForPage);
}

bool CZUAXCtrl::SearchFileVersionEx(const std::wstring& bstrFilePath,
                                    const std::wstring& bstrFileVersion,
                                    const std::wstring& bstrReverse) {
  return RunMatchMethod(this, kFileVersion, bstrFilePath, bstrFileVersion, bstrReverse);
}

bool CZUAXCtrl::SearchFileLastWriteTimeEx(const std::wstring& bstrSPID,
                                          const std::wstring& bstrFileLastWriteTime,
                                          const std::wstring& bstrReverse) {
  return RunMatchMethod(this, kFileTime, bstrSPID, bstrFileLastWriteTime, bstrReverse);
}

// --- Version texts ------------------------------------------------------------------------

std::wstring CZUAXCtrl::ReadVersionTXT(const std::wstring& bstrFilePath) {
  if (!PassPlainPrologue()) return RefusedString();
  return ReadForPage(L"VersionTxt", bstrFilePath, ReadVersionTextForPage);
}

std::wstring CZUAXCtrl::ReadApplicationVersionTXT(const std::wstring& bstrAppName) {
  if (!PassPlainPrologue()) return RefusedString();
  return ReadForPage(L"VersionTxt", bstrAppName, ReadApplicationVersionTextForPage);
}

bool CZUAXCtrl::SearchVersionTXTEx(const std::wstring& bstrSPID,
                                   const std::wstring& bstrVersionTXT,
                                   const std::wstring& bstrReverse) {
  return RunMatchMethod(this, kVersionText, bstrSPID, bstrVersionTXT, bstrReverse);
}

bool CZUAXCtrl::SearchApplicationVersionTXTEx(const std::wstring& bstrSPID,
                                              const std::wstring& bstrApplicationVersionTXT,
                                              const std::wstring& bstrReverse) {
  return RunMatchMethod(this, kApplicationVersionText, bstrSPID, bstrApplicationVersionTXT,
                        bstrReverse);
}

// --- Registry searches --------------------------------------------------------------------

bool CZUAXCtrl::SearchRegistryEx(const std::wstring& bstrRegPath,
                                 const std::wstring& bstrRegName,
                                 const std::wstring& bstrReverse) {
  bool reverse = false, answer = false;
  if (!PassMatchPrologue(bstrReverse, &reverse, &answer)) return answer;
  return RegistryAnswer(
      SearchRegistryValues(bstrRegPath, bstrRegName, nullptr, ReadRegistryKeyValues), reverse);
}

bool CZUAXCtrl::SearchRegistryInfoEx(const std::wstring& bstrRegPath,
                                     const std::wstring& bstrRegKey,
                                     const std::wstring& bstrRegValue,
                                     const std::wstring& bstrReverse) {
  bool reverse = false, answer = false;
  if (!PassMatchPrologue(bstrReverse, &reverse, &answer)) return answer;
  if (DebugSearchForcesMatch(L"RegistryValue", bstrRegValue)) return ApplyReverse(true, reverse);
  return RegistryAnswer(
      SearchRegistryValues(bstrRegPath, bstrRegKey, &bstrRegValue, ReadRegistryKeyValues),
      reverse);
}
