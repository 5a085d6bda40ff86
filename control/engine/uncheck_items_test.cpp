#include "control/engine/uncheck_items.h"

#include <gtest/gtest.h>

namespace {

TEST(UncheckItemsTest, OnlyNamesThatStayOneKeyAreStored) {
  struct Case {
    std::wstring name;
    bool ok;
  } cases[] = {
      {L"KB123", true},
      {L"SP 1.0 (x86)", true},
      {L"a[b]", true},
      {L"", false},
      {L"a=b", false},
      {L"x\r\n[UncheckItem]\r\ny", false},
      {L"x\ny", false},
      {L"[Other]", false},
      {L";comment", false},
      {std::wstring(L"a\0b", 3), false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsStorableItemName(c.name), c.ok) << c.name.size();
}

TEST(UncheckItemsTest, OnlyTheValueOneMarksAnItem) {
  for (const wchar_t* v : {L"", L"0", L"11", L"1 ", L" 1", L"true", L"yes"})
    EXPECT_FALSE(IsUncheckedValue(v)) << v;
  EXPECT_TRUE(IsUncheckedValue(L"1"));
}

}  // namespace
