#pragma once
// How one actual value from the PC is compared with one requirement item.
// Plain C++ (no Windows headers).
#include <cstddef>
#include <string>

#include "control/requirement_list.h"

// A prefix is compared on at most this many characters; a longer one is
// cut, never copied into a fixed buffer.
inline constexpr std::size_t kPrefixMaxChars = 1023;

// A prefix item matches a value that begins with its prefix (with case), so
// "*" matches every value; a plain item matches an equal value ignoring
// ASCII case. An empty actual value never matches.
bool MatchText(const std::wstring& actual, const RequirementItem& item);

// Leading zeros of every "."-separated component removed, keeping the last
// digit of an all-zero component: 01.02.0003.00 gives 1.2.3.0.
std::wstring NormalizeVersion(const std::wstring& text);
// A version item normalised; a prefix item keeps its wildcard (1.02.* gives
// 1.2.*).
RequirementItem NormalizeVersionItem(const RequirementItem& item);
// File, driver and version-text versions: the item normalised, the actual
// value as it is.
bool MatchVersion(const std::wstring& actual, const RequirementItem& item);

// Driver dates and file times. The any-value item is refused (*invalid set,
// no match); otherwise the item matches as written or normalised.
bool MatchDate(const std::wstring& actual, const RequirementItem& item, bool* invalid);

// Texts of decimal digits only (at least one), and their numeric order
// whatever their length or leading zeros.
bool IsDecimal(const std::wstring& text);
int CompareDecimal(const std::wstring& a, const std::wstring& b);

// Model codes and serial numbers: "low-high" with decimal ends matches a
// decimal value inside the range (ends included); a plain item matches as
// MatchText or, when both are decimal, by numeric equality (0123 is 123);
// a prefix item as MatchText.
bool MatchIdentityPattern(const std::wstring& actual, const RequirementItem& item);

