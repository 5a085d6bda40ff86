#include "agent/setup_dialog_rules.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

TEST(SplitAnsiLines, EndsLinesAtLineFeedsWithOrWithoutCarriageReturn) {
  EXPECT_EQ(Lines{}, SplitAnsiLines(""));
  EXPECT_EQ((Lines{"a", "b"}), SplitAnsiLines("a\nb"));
  EXPECT_EQ((Lines{"a", "b"}), SplitAnsiLines("a\r\nb\r\n"));
  EXPECT_EQ((Lines{"", "", "x"}), SplitAnsiLines("\n\r\nx"));
  // A carriage return inside a line stays; only the one before the feed goes.
  EXPECT_EQ((Lines{"a\rb", "c"}), SplitAnsiLines("a\rb\r\nc\r"));
  EXPECT_EQ((Lines{std::string("n\0ul", 4)}), SplitAnsiLines(std::string("n\0ul\n", 5)));
}

TEST(CheckStateFromStored, AutomaticCheckingOffOnlyForTwo) {
  EXPECT_EQ((OptionsCheckState{true, false, true}), CheckStateFromStored(0));
  EXPECT_EQ((OptionsCheckState{true, true, true}), CheckStateFromStored(1));
  EXPECT_EQ((OptionsCheckState{false, false, false}), CheckStateFromStored(2));
  for (int other : {-1, 3, 12})
    EXPECT_EQ((OptionsCheckState{true, false, true}), CheckStateFromStored(other)) << other;
}

TEST(DecideOk, WritesAsksOrLeavesAlone) {
  using K = OptionsOkStep;
  // Automatic checking on: the balloons switch decides, whatever was stored.
  EXPECT_EQ((K{K::kWrite, 1}), DecideOk(true, true, 0));
  EXPECT_EQ((K{K::kWrite, 0}), DecideOk(true, false, 1));
  EXPECT_EQ((K{K::kWrite, 0}), DecideOk(true, false, 2));
  // Switching it off is asked about first.
  EXPECT_EQ((K{K::kAskFirst, 2}), DecideOk(false, false, 0));
  EXPECT_EQ((K{K::kAskFirst, 2}), DecideOk(false, false, 1));
  EXPECT_EQ((K{K::kAskFirst, 2}), DecideOk(false, false, 7));
  // Already off: nothing asked, nothing written.
  EXPECT_EQ(K::kNothing, DecideOk(false, false, 2).kind);
}

TEST(LayOutWithHeader, MovesEveryControlAroundThePictureKeepingSizes) {
  OptionsControls t;
  t.info_text = {21, 10, 351, 143};
  t.auto_check = {21, 151, 351, 167};
  t.suppressed = {21, 172, 351, 188};
  t.icon_frame = {21, 198, 53, 230};
  t.version = {72, 201, 351, 230};
  t.web_support = {21, 253, 171, 276};
  t.ok = {195, 253, 270, 276};
  t.cancel = {276, 253, 351, 276};

  const OptionsLayout l = LayOutWithHeader(t, 150, 200);
  const OptionsControls& c = l.controls;
  EXPECT_EQ(2, l.header_x);
  EXPECT_EQ(10, l.header_y);
  EXPECT_EQ((LayoutRect{20, 210, 52, 242}), c.icon_frame);
  EXPECT_EQ((LayoutRect{72, 215, 351, 244}), c.version);
  EXPECT_EQ(253, l.separator_y);
  EXPECT_EQ((LayoutRect{30, 270, 180, 293}), c.web_support);
  EXPECT_EQ((LayoutRect{345, 270, 420, 293}), c.ok);
  EXPECT_EQ((LayoutRect{426, 270, 501, 293}), c.cancel);
  EXPECT_EQ((LayoutRect{159, 151, 489, 167}), c.auto_check);
  EXPECT_EQ((LayoutRect{159, 172, 489, 188}), c.suppressed);
  EXPECT_EQ((LayoutRect{159, 10, 489, 143}), c.info_text);
  EXPECT_EQ(519, l.window_width);
  EXPECT_EQ(343, l.window_height);
}

TEST(LayOutWithHeader, FollowsThePictureSize) {
  OptionsControls t;
  t.icon_frame = {0, 0, 32, 32};
  t.web_support = {0, 0, 100, 20};
  t.info_text = {20, 5, 120, 50};
  const OptionsLayout small = LayOutWithHeader(t, 40, 60);
  const OptionsLayout big = LayOutWithHeader(t, 300, 400);
  EXPECT_EQ(340, big.controls.icon_frame.top - small.controls.icon_frame.top);
  EXPECT_EQ(260, big.controls.info_text.left - small.controls.info_text.left);
  EXPECT_EQ(260, big.window_width - small.window_width);
  EXPECT_EQ(340, big.window_height - small.window_height);
  EXPECT_EQ(SeparatorBelow(small.controls.icon_frame), small.separator_y);
}

}  // namespace
