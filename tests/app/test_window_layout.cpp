// Reading the 3D window size the user types, whether it fits, and the
// limits of the control panes' sashes.
#include <gtest/gtest.h>

#include "app/window_layout.h"

namespace {

TEST(WindowSize, TwoNumbersSeparatedByBlanksCommasSemicolonsOrX) {
  struct {
    const char* text;
    bool ok;
    long width, height;
  } cases[] = {
      {"640x480", true, 640, 480},     {"640 x 480", true, 640, 480},  {"640, 480", true, 640, 480},
      {"640 ; 480", true, 640, 480},   {"640X480\n", true, 640, 480},  {"\t640,,;480 ", true, 640, 480},
      {"640", false, 0, 0},            {"640 x 480 x 2", false, 0, 0}, {"", false, 0, 0},
      {"x", false, 0, 0},              {"640 x abc", false, 0, 0},     {"6.5 x 480", false, 0, 0},
  };
  for (const auto& c : cases) {
    long w = 0, h = 0;
    EXPECT_EQ(parse_window_size(c.text, &w, &h), c.ok) << c.text;
    EXPECT_EQ(w, c.width) << c.text;
    EXPECT_EQ(h, c.height) << c.text;
  }
}

TEST(WindowSize, FitsOnlyStrictlyBetweenTheMinimumPanes) {
  // A splitter of 1000 pixels, panes of at least 40, a sash of 5: the pane
  // may be 41 .. 954.
  EXPECT_FALSE(pane_size_fits(40, 40, 1000, 5));
  EXPECT_TRUE(pane_size_fits(41, 40, 1000, 5));
  EXPECT_TRUE(pane_size_fits(954, 40, 1000, 5));
  EXPECT_FALSE(pane_size_fits(955, 40, 1000, 5));
  EXPECT_FALSE(pane_size_fits(-10, 40, 1000, 5));
}

TEST(SashLimits, LowerAndUpperWithTheUpperWinning) {
  EXPECT_EQ(limit_sash(50, 135, 800), 135);
  EXPECT_EQ(limit_sash(300, 135, 800), 300);
  EXPECT_EQ(limit_sash(900, 135, 800), 800);
  // In a window too small for both, each limit is tested against the
  // proposed position; when both apply the upper one wins.
  EXPECT_EQ(limit_sash(120, 135, 100), 100);
  EXPECT_EQ(limit_sash(50, 135, 100), 135);
}

}  // namespace
