#include "control/engine/self_update_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(SelfUpdateRules, OfferedVersionsAreCheckedPartByPartByCharacterCodes) {
  const struct {
    const wchar_t* version;
    bool allowed;
  } cases[] = {
      {L"4.0.00.01010", true},    // every lower bound but the first
      {L"9.9.99.99999", true},    // every upper bound
      {L"4.0.00.1234", true},     // "1234" sorts after "01010"
      {L"10.0.00.01010", true},   // "10" sorts before "9"
      {L"4.0.5.01010", true},     // "5" lies between "00" and "99"
      {L"4.0.00.00999", false},   // "00999" sorts before "01010"
      {L"0.1.00.01010", false},   // the first part must be above "0"
      {L"4.0.0.1234", false},     // "0" sorts before "00"
      {L"4.0.00.1234a", false},   // a letter
      {L"4.0.00", false},         // three parts
      {L"4.0.00.01010.1", false}, // five parts
      {L"4..00.01010", false},    // an empty part sorts before "0"
      {L"4.0.00.01010 ", false},  // a blank
      {L"9.9.99.999990", false},  // above "99999"
      {L"91.0.00.01010", false},  // above "9"
      {L"", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsOfferedVersionAllowed(c.version), c.allowed) << c.version;
}

TEST(SelfUpdateRules, OnlyAnOlderInstalledVersionLeavesSomethingToInstall) {
  const struct {
    const wchar_t* installed;
    const wchar_t* offered;
    bool older;
  } cases[] = {
      {L"4.0.00.01010", L"4.0.00.02000", true},
      {L"4.0.00.02000", L"4.0.00.02000", false},  // equal: nothing to do
      {L"4.0.00.03000", L"4.0.00.02000", false},
      {L"", L"4.0.00.01010", true},               // no Version.txt
      {L"9.0.00.01010", L"10.0.00.01010", false}, // by character codes, "9" is newer
      {L"4.0.00", L"4.0.00.01010", true},         // a missing part is smaller
      {L"4.0.00.1", L"4.0.00.01010", false},      // "1" sorts after "01010"
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsOlderThanOffered(c.installed, c.offered), c.older)
        << c.installed << " / " << c.offered;
}

}  // namespace
