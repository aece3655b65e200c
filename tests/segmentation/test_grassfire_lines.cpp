// Ridge and valley paths and the concavity analysis on phantoms whose
// outcome is known by construction: a bright line bridging a gap, a dark
// crease between two touching objects, and cups with narrow and wide mouths.
#include <gtest/gtest.h>

#include <vector>

#include "segment_test_support.h"
#include "segmentation/grassfire.h"

namespace {

using grassfire::bounds2d;
using grassfire::pixel16;
using grassfire::segment_settings;

segment_settings lines(bool ridges, bool valleys, int32_t type, int32_t strength) {
  segment_settings s;
  s.ridges = ridges;
  s.valleys = valleys;
  s.type = type;
  s.concavity = strength;
  return s;
}

std::vector<uint8_t> region(const phantom& p, int32_t sx, int32_t sy, int32_t gap,
                            const segment_settings& s, const threshold_band& band) {
  std::vector<uint8_t> state;
  bounds2d bounds;
  EXPECT_TRUE(grassfire::segment_region(p.px.data(), p.w, p.h, sx, sy, gap, band, s, state, bounds));
  return state;
}

// Strengths worked out from the 3x3 second differences by hand: across a
// one-pixel line of 90 on 20 the weighted second difference is
// (2*20 + 20 + 20) * 2 - 2 * (2*90 + 90 + 90) = -560, with no slope.
TEST(GrassfireLines, LineStrengthOfAOnePixelLine) {
  phantom p(9, 9, 20);
  p.rect(0, 4, 8, 4, 90);
  const grey_band band(100, 255);
  std::vector<uint8_t> state(p.px.size(), 0);
  auto strength = [&](int x, int y, int mode, bool ridge) {
    return grassfire::line_strength_2d(state.data(), p.px.data(), p.w, p.h, band,
                                       pixel16{int16_t(x), int16_t(y)}, pixel16{0, 0}, mode, ridge,
                                       nullptr);
  };
  EXPECT_EQ(strength(4, 4, 1, true), 560);      // a bright line, outside the band
  EXPECT_EQ(strength(4, 4, 1, false), -560);    // not a dark line
  EXPECT_EQ(strength(4, 4, -1, true), 560 + 8192);  // outside the band counts inverted
  EXPECT_EQ(strength(4, 4, 0, true), -4096);    // mode 0 needs a passing pixel
  EXPECT_EQ(strength(0, 4, 1, true), -4096);    // on the frame's outer column
  state[4 * 9 + 4] = grassfire::kWall;
  EXPECT_EQ(strength(4, 4, 1, true), -4096);    // a wall
  state[4 * 9 + 4] = grassfire::kInside;
  EXPECT_EQ(strength(4, 4, 1, true), -4096);    // failing but already reached
  grey_band excluding(100, 255);
  excluding.exclude(90, 90);
  state[4 * 9 + 4] = 0;
  EXPECT_EQ(grassfire::line_strength_2d(state.data(), p.px.data(), p.w, p.h, excluding,
                                        pixel16{4, 4}, pixel16{0, 0}, 1, true, nullptr),
            -4096);
}

// Two blocks joined by a faint bright line that leaves the first from a
// one-pixel nub: followed across when the path fits in 2J pixels, not when it
// is longer, and never with the line passes off.
TEST(GrassfireLines, BrightBridgeWithinTwiceTheGapJoins) {
  constexpr int32_t J = 5;
  struct bridge {
    int32_t length;
    bool ridges;
    bool joined;
  };
  for (const bridge b : {bridge{6, true, true}, bridge{12, true, false}, bridge{6, false, false}}) {
    phantom p(30 + b.length, 20, 20);
    p.rect(2, 3, 12, 16, 110);
    p.at(13, 9) = 110;
    const int32_t far = 14 + b.length;
    p.rect(far, 3, far + 11, 16, 110);
    p.rect(14, 9, far - 1, 9, 90);
    const grey_band band(100, 255);
    segment_settings s = lines(b.ridges, b.ridges, 0, 50);
    const std::vector<uint8_t> st = region(p, 5, 9, b.ridges ? J : 0, s, band);
    for (int32_t y = 0; y < p.h; ++y)
      for (int32_t x = 0; x < p.w; ++x) {
        const bool a = (x >= 2 && x <= 12 && y >= 3 && y <= 16) || (x == 13 && y == 9);
        const bool line = x >= 14 && x < far && y == 9;
        const bool other = x >= far && x <= far + 11 && y >= 3 && y <= 16;
        EXPECT_EQ(st[y * p.w + x], a || (b.joined && (line || other)) ? 2 : 0)
            << "bridge " << b.length << " ridges " << b.ridges << " at " << x << "," << y;
      }
  }
}

// Two blocks touching along a darker (still passing) column: the valley pass
// cuts along it, so the region becomes two contours; without it, one.
TEST(GrassfireLines, DarkCreaseSplitsTheContour) {
  phantom p(32, 24, 20);
  p.rect(4, 4, 13, 17, 160);
  p.rect(15, 4, 24, 17, 160);
  p.rect(14, 5, 14, 16, 100);
  const grey_band band(100, 255);
  for (const bool valleys : {true, false}) {
    const frame_contours_t r =
        grassfire::segment(p.px.data(), p.w, p.h, 6, 10, 5, 0.0, band, lines(true, valleys, 2, 50));
    ASSERT_EQ(r.contours.size(), valleys ? 2u : 1u) << valleys;
    double area = 0.0;
    for (const contour_t& c : r.contours) area += shoelace(c);
    // Each block is 10 x 14 pixels; the crease's 12 pixels join them or not.
    EXPECT_NEAR(area, valleys ? 280.0 : 292.0 + 2.0, valleys ? 20.0 : 25.0) << valleys;
  }
}

// A cup whose cavity opens through a narrow mouth is filled at strength 50
// but not at 0; a cup with a wide mouth stays open.
TEST(GrassfireConcavities, NarrowCupFillsWideCupStaysOpen) {
  struct cup {
    int32_t mouth;
    int32_t strength;
    bool filled;
  };
  for (const cup c : {cup{2, 50, true}, cup{2, 0, false}, cup{16, 50, false}}) {
    phantom p(40, 40, 20);
    p.rect(8, 8, 31, 31, 180);
    p.rect(11, 11, 28, 28, 20);  // the cavity, 18 x 18
    const int32_t m0 = 20 - c.mouth / 2;
    p.rect(m0, 8, m0 + c.mouth - 1, 10, 20);  // the mouth through the top wall
    const grey_band band(100, 255);
    const std::vector<uint8_t> st = region(p, 9, 20, 0, lines(false, false, 2, c.strength), band);
    size_t cavity = 0;
    for (int32_t y = 11; y <= 28; ++y)
      for (int32_t x = 11; x <= 28; ++x) cavity += st[y * p.w + x] == 2;
    EXPECT_EQ(cavity, c.filled ? 18u * 18u : 0u) << "mouth " << c.mouth << " strength " << c.strength;
    EXPECT_EQ(st[20 * p.w + 9], 2);
  }
}

// A bright hook that leaves the block from a nub, runs ten pixels out and
// comes back to a second nub four rows lower is followed, but strays farther
// from the straight line between its ends than that line is long, so it
// changes nothing: the region is the block and its nubs.
TEST(GrassfireLines, CrookedPathChangesNothing) {
  phantom p(30, 24, 20);
  p.rect(2, 3, 12, 20, 110);
  p.at(13, 9) = 110;
  p.rect(14, 9, 23, 9, 90);    // out
  p.rect(23, 10, 23, 13, 90);  // down
  p.rect(14, 13, 22, 13, 90);  // back
  p.at(13, 13) = 110;
  const grey_band band(100, 255);
  const std::vector<uint8_t> st = region(p, 5, 9, 15, lines(true, false, 0, 50), band);
  for (int32_t y = 0; y < p.h; ++y)
    for (int32_t x = 0; x < p.w; ++x) {
      const bool in = (x >= 2 && x <= 12 && y >= 3 && y <= 20) || (x == 13 && (y == 9 || y == 13));
      EXPECT_EQ(st[y * p.w + x], in ? 2 : 0) << x << "," << y;
    }
}

}  // namespace
