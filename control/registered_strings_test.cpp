#include "control/registered_strings.h"

#include <gtest/gtest.h>

namespace {

class RegisteredStringsTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearRegisteredStrings(); }
  void TearDown() override { ClearRegisteredStrings(); }
};

TEST_F(RegisteredStringsTest, ExactlyTheTwentyFourNumbersHaveSlots) {
  int count = 0;
  for (long id = -10; id < 1000; ++id)
    if (HasRegisteredStringSlot(id)) ++count;
  EXPECT_EQ(count, 24);
  for (long id : {100L, 101L, 200L, 201L, 300L, 307L, 400L, 406L, 500L, 504L})
    EXPECT_TRUE(HasRegisteredStringSlot(id)) << id;
  for (long id : {99L, 102L, 199L, 202L, 299L, 308L, 399L, 407L, 499L, 505L, 0L, -100L})
    EXPECT_FALSE(HasRegisteredStringSlot(id)) << id;
}

TEST_F(RegisteredStringsTest, EachSlotKeepsItsOwnTextAndALaterOneReplacesIt) {
  for (long id : {100L, 101L, 200L, 201L, 300L, 303L, 307L, 400L, 406L, 500L, 504L})
    ASSERT_TRUE(StoreRegisteredString(id, L"text " + std::to_wstring(id)));
  for (long id : {100L, 101L, 200L, 201L, 300L, 303L, 307L, 400L, 406L, 500L, 504L})
    EXPECT_EQ(RegisteredString(id), L"text " + std::to_wstring(id));
  EXPECT_EQ(RegisteredString(301), L"");

  EXPECT_TRUE(StoreRegisteredString(303, L"again"));
  EXPECT_EQ(RegisteredString(303), L"again");
  EXPECT_EQ(RegisteredString(302), L"");
  EXPECT_EQ(RegisteredString(304), L"");
}

TEST_F(RegisteredStringsTest, EmptyTextOrANumberWithoutSlotStoresNothing) {
  ASSERT_TRUE(StoreRegisteredString(300, L"title"));
  EXPECT_FALSE(StoreRegisteredString(300, L""));
  EXPECT_EQ(RegisteredString(300), L"title");
  EXPECT_FALSE(StoreRegisteredString(102, L"x"));
  EXPECT_EQ(RegisteredString(102), L"");
  EXPECT_EQ(RegisteredString(101), L"");
  EXPECT_EQ(RegisteredString(200), L"");
}

TEST_F(RegisteredStringsTest, TextsKeepEmbeddedNullsAndLength) {
  std::wstring text(L"a\0b", 3);
  text += std::wstring(5000, L'x');
  ASSERT_TRUE(StoreRegisteredString(500, text));
  EXPECT_EQ(RegisteredString(500), text);
}

}  // namespace
