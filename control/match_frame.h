#pragma once
// The part of the matching methods' frame that follows their prologue
// (PassMatchPrologue): the debug override of section "DebugInfoSearch" and
// the walk over subjects and value items. Sets the library's last-error
// code, so it is built into the control itself.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "control/requirement_list.h"

// The debug value of the method's key contains the requested text (with
// case). Then the code is 0 and the method answers a match. An empty
// request forces nothing.
bool DebugSearchForcesMatch(const std::wstring& key, const std::wstring& requested);
// SearchDriveInfoEx: only when every key contains its argument.
bool DebugSearchForcesMatchAll(
    const std::vector<std::pair<std::wstring, std::wstring>>& keys_and_requests);

// Splits both lists (0x20000015 and no match when one breaks its rules or
// a subject is empty), then reads each subject's value in list order; an
// empty value is skipped; the first value item that compare accepts is a
// match. compare may set *invalid to refuse an item (0x20000015, no match
// for that subject).
using ReadSubject = std::function<std::wstring(const std::wstring& subject)>;
using CompareItem =
    std::function<bool(const std::wstring& actual, const RequirementItem& item, bool* invalid)>;
bool MatchSubjects(const std::wstring& subjects, const ListRules& subject_rules,
                   const std::wstring& values, const ListRules& value_rules,
                   const ReadSubject& read, const CompareItem& compare);
