#include "control/match_frame.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "control/ctrl_frame.h"
#include "control/match_rules.h"
#include "tests/support/files.h"

namespace {

const ListRules kPaths{.wildcards = false, .any_value = false, .several = true, .empty = false};
const ListRules kVersions{.wildcards = true, .any_value = true, .several = true, .empty = false};

// Versions of made-up files; a missing file reads empty.
const std::map<std::wstring, std::wstring> kFiles = {{L"C:\\a.dll", L"1.2.3.0"},
                                                     {L"C:\\b,c.dll", L"2.0.0.0"}};
std::wstring ReadVersion(const std::wstring& path) {
  auto it = kFiles.find(path);
  return it == kFiles.end() ? std::wstring() : it->second;
}
bool CompareVersion(const std::wstring& actual, const RequirementItem& item, bool*) {
  return MatchVersion(actual, item);
}

bool Walk(const std::wstring& subjects, const std::wstring& values) {
  SetZuLastError(kZuErrorSuccess);
  return MatchSubjects(subjects, kPaths, values, kVersions, ReadVersion, CompareVersion);
}

TEST(MatchFrame, AnySubjectMatchingAnyItem) {
  EXPECT_TRUE(Walk(L"C:\\missing.dll,C:\\a.dll", L"9.9,01.02.3.0"));
  EXPECT_EQ(kZuErrorSuccess, ZuLastError());
  EXPECT_TRUE(Walk(L"C:\\b\\,c.dll", L"2.*"));  // escaped comma in a path
  EXPECT_FALSE(Walk(L"C:\\a.dll", L"1.2.3.1, 1.2.3.0"));  // " 1.2.3.0" begins with a space
  EXPECT_FALSE(Walk(L"C:\\missing.dll", L"*"));  // no value never matches
  EXPECT_EQ(kZuErrorSuccess, ZuLastError());
}

TEST(MatchFrame, InvalidListsAndEmptySubjects) {
  for (const auto& [subjects, values] :
       {std::pair<const wchar_t*, const wchar_t*>{L"C:\\a*.dll", L"1.2.3.0"},
        {L"C:\\a.dll,", L"1.2.3.0"},
        {L"C:\\a.dll", L"1.2*3"},
        {L"C:\\a.dll", L""},
        {L"", L"1"}}) {
    EXPECT_FALSE(Walk(subjects, values));
    EXPECT_EQ(kZuErrorInvalidArgument, ZuLastError());
  }
}

TEST(MatchFrame, RefusedItemsEndThatSubject) {
  SetZuLastError(kZuErrorSuccess);
  const CompareItem date = [](const std::wstring& actual, const RequirementItem& item,
                              bool* invalid) { return MatchDate(actual, item, invalid); };
  EXPECT_FALSE(MatchSubjects(L"C:\\a.dll", kPaths, L"*,1.2.3.0", kVersions, ReadVersion, date));
  EXPECT_EQ(kZuErrorInvalidArgument, ZuLastError());
  SetZuLastError(kZuErrorSuccess);
  EXPECT_TRUE(MatchSubjects(L"C:\\a.dll", kPaths, L"1.2.3.0,*", kVersions, ReadVersion, date));
}

TEST(MatchFrame, DebugOverrideNeedsTheRequestedText) {
  zu::test::DebugFileAside debug;
  debug.Write(
      "[DebugInfoSearch]\r\nFileVersion=1.0.0.1;1.0.0.2\r\nFirmVender=VEXA\r\n"
      "FirmProductID=DRIVE\r\nFirmProductRevison=1.0\r\nFirmVenderSpec=X\r\n");
  SetZuLastError(kZuErrorInvalidArgument);
  EXPECT_TRUE(DebugSearchForcesMatch(L"FileVersion", L"1.0.0.2"));
  EXPECT_EQ(kZuErrorSuccess, ZuLastError());
  EXPECT_FALSE(DebugSearchForcesMatch(L"FileVersion", L"1.0.0.3"));
  EXPECT_FALSE(DebugSearchForcesMatch(L"FileVersion", L""));
  EXPECT_FALSE(DebugSearchForcesMatch(L"DriverVersion", L"1.0.0.2"));
  EXPECT_TRUE(DebugSearchForcesMatchAll(
      {{L"FirmVender", L"VEXA"}, {L"FirmProductID", L"DRIVE"}, {L"FirmProductRevison", L"1.0"},
       {L"FirmVenderSpec", L"X"}}));
  EXPECT_FALSE(DebugSearchForcesMatchAll(
      {{L"FirmVender", L"VEXA"}, {L"FirmProductID", L"OTHER"}, {L"FirmProductRevison", L"1.0"},
       {L"FirmVenderSpec", L"X"}}));
}

}  // namespace
