#include "control/match_frame.h"

#include "control/ctrl_frame.h"
#include "control/host_check.h"

bool DebugSearchForcesMatch(const std::wstring& key, const std::wstring& requested) {
  std::wstring value;
  if (requested.empty() || !ReadDebugSearch(key, &value)) return false;
  if (value.find(requested) == std::wstring::npos) return false;
  SetZuLastError(kZuErrorSuccess);
  return true;
}

bool DebugSearchForcesMatchAll(
    const std::vector<std::pair<std::wstring, std::wstring>>& keys_and_requests) {
  for (const auto& [key, requested] : keys_and_requests) {
    std::wstring value;
    if (requested.empty() || !ReadDebugSearch(key, &value) ||
        value.find(requested) == std::wstring::npos)
      return false;
  }
  SetZuLastError(kZuErrorSuccess);
  return true;
}

bool MatchSubjects(const std::wstring& subjects, const ListRules& subject_rules,
                   const std::wstring& values, const ListRules& value_rules,
                   const ReadSubject& read, const CompareItem& compare) {
  std::vector<RequirementItem> subject_items, value_items;
  if (!SplitRequirementList(subjects, &subject_items, subject_rules) ||
      !SplitRequirementList(values, &value_items, value_rules)) {
    SetZuLastError(kZuErrorInvalidArgument);
    return false;
  }
  for (const RequirementItem& s : subject_items) {
    if (s.text.empty()) {
      SetZuLastError(kZuErrorInvalidArgument);
      return false;
    }
  }
  for (const RequirementItem& s : subject_items) {
    const std::wstring actual = read(s.text);
    if (actual.empty()) continue;
    for (const RequirementItem& item : value_items) {
      bool invalid = false;
      const bool match = compare(actual, item, &invalid);
      if (invalid) {
        SetZuLastError(kZuErrorInvalidArgument);
        break;
      }
      if (match) return true;
    }
  }
  return false;
}
