#include "control/engine/module_list.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

CModuleInfo Module(std::int64_t size, bool auto_execute, std::int32_t bounding = -1) {
  CModuleInfo m;
  m.url = L"http://dl.example/m.exe";
  m.display_name = L"M";
  m.size = size;
  m.auto_execute = auto_execute;
  m.bounding_flag = bounding;
  return m;
}

TEST(ModuleListTest, BoundingConflictRefusesEveryLaterExAddButKeepsTheModules) {
  // Each row: an Ex add (auto-execute, bounding flag) and its answer.
  struct Step {
    bool auto_execute;
    std::int32_t bounding;
    bool answer;
  };
  const Step steps[] = {
      {false, 1, true},   // bounding without auto-execute is not counted
      {true, 0, true},    // one auto-execute module
      {true, 1, false},   // a bounding one among two: conflict
      {false, -1, false}, // stays a conflict
      {true, -1, false},
  };
  ModuleList list;
  for (const Step& s : steps) EXPECT_EQ(list.AddEx(Module(1, s.auto_execute, s.bounding)), s.answer);
  EXPECT_EQ(list.size(), 5u);
  EXPECT_EQ(list.auto_execute_adds(), 3);
  EXPECT_EQ(list.bounding_adds(), 1);

  // The plain add neither counts nor clears; Clear does both.
  list.Add(Module(1, true, 1));
  EXPECT_EQ(list.auto_execute_adds(), 3);
  list.Clear();
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(list.auto_execute_adds(), 0);
  EXPECT_EQ(list.bounding_adds(), 0);
  EXPECT_TRUE(list.AddEx(Module(1, true, 1)));
}

TEST(ModuleListTest, SizesSumOnlyKnownOnesAndZeroMeansNoTotal) {
  ModuleList list;
  EXPECT_EQ(list.KnownSizeSum(), 0u);
  EXPECT_FALSE(list.HasUnknownSize());
  list.Add(Module(5'000'000'000LL, true));
  list.Add(Module(7, false));
  EXPECT_EQ(list.KnownSizeSum(), 5'000'000'007u);
  EXPECT_FALSE(list.HasUnknownSize());
  EXPECT_EQ(list.AutoExecuteCount(), 1u);
  list.Add(Module(0, true));
  EXPECT_EQ(list.KnownSizeSum(), 5'000'000'007u);
  EXPECT_TRUE(list.HasUnknownSize());
  // Sums never wrap round to something that would fit on a disk.
  list.Add(Module(INT64_MAX, false));
  list.Add(Module(INT64_MAX, false));
  EXPECT_EQ(list.KnownSizeSum(), UINT64_MAX);
}

}  // namespace
