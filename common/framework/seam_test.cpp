#include "common/framework/seam.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

int Real() { return 1; }
int First() { return 2; }
int Second() { return 3; }

TEST(ScopedOverride, NestedOverridesPutBackWhatEachFound) {
  int (*slot)() = Real;
  {
    zu::ScopedOverride outer(slot, &First);
    EXPECT_EQ(slot(), 2);
    {
      zu::ScopedOverride inner(slot, &Second);
      EXPECT_EQ(slot(), 3);
      EXPECT_EQ(inner.saved(), &First);
    }
    EXPECT_EQ(slot(), 2);
  }
  EXPECT_EQ(slot(), 1);
}

TEST(ScopedOverride, CapturingLambdaInAFunctionSlot) {
  std::function<std::wstring(int)> slot = [](int n) { return std::to_wstring(n); };
  std::wstring seen;
  {
    zu::ScopedOverride record(slot, [&seen](int n) {
      seen += std::to_wstring(n);
      return std::wstring(L"fake");
    });
    EXPECT_EQ(slot(7), L"fake");
  }
  EXPECT_EQ(seen, L"7");
  EXPECT_EQ(slot(7), L"7");  // the original callable, not an empty one
}

}  // namespace
