// Region growth, thresholding, holes and the distance transform on generated
// phantoms, against masks that scipy.ndimage computes from the same frames
// (segment_oracle.py); gap joining against regions known by construction.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/log_capture.h"
#include "segment_test_support.h"
#include "segmentation/grassfire.h"

namespace {

using grassfire::bounds2d;
using grassfire::segment_settings;

constexpr int32_t kLo = 100, kHi = 255;

segment_settings plain(bool connected, bool ridges, bool valleys, int32_t type, int32_t strength) {
  segment_settings s;
  s.connected = connected;
  s.ridges = ridges;
  s.valleys = valleys;
  s.type = type;
  s.concavity = strength;
  return s;
}

phantom salted_disc() {
  phantom p(64, 64, 30);
  p.salt(150, 40, 7);               // passing specks outside
  p.disc(30, 32, 15, 180);
  p.salt(40, 15, 11);               // failing specks everywhere
  p.rect(45, 5, 60, 12, 200);       // a second object
  return p;
}

phantom corner_squares() {
  phantom p(40, 40, 20);
  p.rect(5, 5, 14, 14, 160);
  p.rect(15, 15, 24, 24, 160);      // touches the first at a corner only
  p.rect(26, 5, 30, 30, 160);       // apart
  return p;
}

phantom annulus(double r0, double r1) {
  phantom p(48, 48, 20);
  p.disc(24, 24, r1, 170);
  p.disc(24, 24, r0, 20);
  p.disc(24, 24, 2, 170);           // an island in the hole
  return p;
}

phantom square_ring() {
  phantom p(32, 32, 20);
  p.rect(8, 8, 20, 20, 170);
  p.rect(9, 9, 19, 19, 20);         // one pixel thick
  p.rect(13, 13, 15, 15, 170);      // an island in the hole
  return p;
}

phantom dark_disc() {
  phantom p(48, 48, 150);
  p.disc(20, 20, 12, 30);
  p.salt(90, 25, 3);                // fails the wrapped band
  p.rect(36, 36, 44, 44, 230);      // passes it, apart
  p.at(20, 20) = 30;                // the seed
  return p;
}

phantom long_l() {
  phantom p(300, 300, 20);
  p.rect(3, 3, 296, 4, 200);
  p.rect(3, 3, 4, 296, 200);
  return p;
}

struct oracle_case {
  const char* name;
  std::function<phantom()> make;
  const char* mode;
  int32_t lo, hi, seed_x, seed_y;
  segment_settings settings;
  int32_t gap;
};

// Each case's frame, settings and the scipy operation its result must equal.
TEST(GrassfireOracle, GrowthHolesAndDistancesMatchScipy) {
  const std::vector<oracle_case> cases = {
      {"connected4", salted_disc, "component4", kLo, kHi, 30, 32, plain(true, false, false, 0, 50), 0},
      {"connected8_ridges", corner_squares, "component8", kLo, kHi, 7, 7, plain(true, true, false, 0, 50), 0},
      {"connected8_valleys", corner_squares, "component8", kLo, kHi, 20, 20, plain(true, false, true, 0, 50), 0},
      {"threshold", salted_disc, "threshold", kLo, kHi, 30, 32, plain(false, false, false, 0, 50), 0},
      {"ring2_body", [] { return annulus(8, 10.5); }, "body", kLo, kHi, 24, 14, plain(true, false, false, 2, 0), 0},
      {"ring2_holes", [] { return annulus(8, 10.5); }, "holes", kLo, kHi, 24, 14, plain(true, false, false, 1, 0), 0},
      {"ring1_body", square_ring, "body", kLo, kHi, 8, 8, plain(true, false, false, 2, 0), 0},
      {"ring1_holes", square_ring, "holes", kLo, kHi, 8, 8, plain(true, false, false, 1, 0), 0},
      {"wrapped", dark_disc, "component4", 200, 60, 20, 20, plain(true, false, false, 0, 50), 0},
      {"distance_disc", salted_disc, "distance", kLo, kHi, 30, 32, plain(true, false, false, 0, 50), 0},
      {"distance_capped", long_l, "distance", kLo, kHi, 3, 3, plain(true, false, false, 0, 50), 0},
  };
  seg_scratch dir;
  std::vector<phantom> frames;
  {
    std::ofstream list(dir.path("cases.txt"));
    for (const oracle_case& c : cases) {
      frames.push_back(c.make());
      const phantom& p = frames.back();
      write_pgm(dir.path(std::string(c.name) + ".pgm"), p.w, p.h, p.px.data());
      list << c.name << " " << c.mode << " " << c.lo << " " << c.hi << " " << c.seed_x << " "
           << c.seed_y << "\n";
    }
  }
  ASSERT_TRUE(run_oracle(dir.path("")));

  for (size_t k = 0; k < cases.size(); ++k) {
    const oracle_case& c = cases[k];
    const phantom& p = frames[k];
    const grey_band band(c.lo, c.hi);
    std::vector<uint8_t> state;
    bounds2d bounds;
    ASSERT_TRUE(grassfire::segment_region(p.px.data(), p.w, p.h, c.seed_x, c.seed_y, c.gap, band,
                                          c.settings, state, bounds))
        << c.name;
    const bool distance = std::string(c.mode) == "distance";
    if (distance) grassfire::distance_transform_2d(state.data(), p.w, bounds);
    const std::vector<uint8_t> want = read_pgm(dir.path(std::string(c.name) + ".out.pgm"), p.w, p.h);
    ASSERT_EQ(want.size(), state.size()) << c.name;
    size_t differ = 0, first = 0;
    for (size_t i = 0; i < want.size(); ++i) {
      const uint8_t expect = distance ? want[i] : (want[i] ? 2 : 0);
      if (state[i] != expect && differ++ == 0) first = i;
    }
    EXPECT_EQ(differ, 0u) << c.name << ": first at (" << first % p.w << ", " << first / p.w
                          << ") got " << int(state[first]) << " want " << int(want[first]);
    EXPECT_GT(count_value(state, 2), 0u) << c.name;
  }
}

// A seed outside the band, or outside the frame, grows nothing; a frame too
// large for 16-bit positions is refused.
TEST(GrassfireGrowth, RefusedSeedsAndFrames) {
  const phantom p = salted_disc();
  const grey_band band(kLo, kHi);
  const segment_settings s = plain(true, true, true, 2, 50);
  for (const auto& seed : std::vector<std::pair<int, int>>{{2, 2}, {-5, 3}, {64, 10}, {10, 64}}) {
    const frame_contours_t r =
        grassfire::segment(p.px.data(), p.w, p.h, seed.first, seed.second, 25, 0.0, band, s);
    EXPECT_TRUE(r.contours.empty()) << seed.first << "," << seed.second;
    EXPECT_EQ(r.frame, -1);
  }
  std::vector<uint8_t> state;
  bounds2d bounds;
  log_capture log;
  EXPECT_FALSE(grassfire::segment_region(p.px.data(), 40000, 1, 0, 0, 0, band, s, state, bounds));
  EXPECT_TRUE(state.empty());
  EXPECT_TRUE(log.has(wxLOG_Warning, "too large to segment"));
}

// Connected growth without a seed (the 3D fallback) grows the first passing
// region in raster order and writes nothing outside the frame.
TEST(GrassfireGrowth, NoSeedGrowsTheFirstRegionInRasterOrder) {
  phantom p(30, 20, 10);
  p.rect(20, 2, 25, 6, 200);   // first in raster order
  p.rect(2, 10, 8, 15, 200);
  const grey_band band(kLo, kHi);
  std::vector<uint8_t> state;
  bounds2d bounds;
  ASSERT_TRUE(grassfire::segment_region(p.px.data(), p.w, p.h, -1, 12, 0, band,
                                        plain(true, false, false, 0, 50), state, bounds));
  for (int32_t y = 0; y < p.h; ++y)
    for (int32_t x = 0; x < p.w; ++x)
      EXPECT_EQ(state[y * p.w + x], (x >= 20 && x <= 25 && y >= 2 && y <= 6) ? 2 : 0) << x << "," << y;
}

// "Within": no pixel farther than 100 pixels (1 cm at 0.01 cm a pixel) from
// the click is grown; with connected off and no gap, the limit does not apply.
TEST(GrassfireGrowth, RangeLimitsConnectedGrowthOnly) {
  phantom p(320, 60, 200);
  const grey_band band(kLo, kHi);
  segment_settings s = plain(true, false, false, 0, 50);
  s.range_mm = 10;
  std::vector<uint8_t> state;
  bounds2d bounds;
  ASSERT_TRUE(grassfire::segment_region(p.px.data(), p.w, p.h, 10, 30, 0, band, s, state, bounds));
  for (int32_t y = 0; y < p.h; ++y)
    for (int32_t x = 0; x < p.w; ++x) {
      const double d2 = double(x - 10) * (x - 10) + double(y - 30) * (y - 30);
      if (d2 > 100.5 * 100.5) { EXPECT_EQ(state[y * p.w + x], 0) << x << "," << y; }
      if (d2 < 99.5 * 99.5) { EXPECT_EQ(state[y * p.w + x], 2) << x << "," << y; }
    }
  s.connected = false;
  ASSERT_TRUE(grassfire::segment_region(p.px.data(), p.w, p.h, 10, 30, 0, band, s, state, bounds));
  EXPECT_EQ(count_value(state, 2), state.size());
}

// Two bars with a failing crack between them: plain gap joining (ridges and
// valleys off) closes cracks up to the gap length, not wider ones, and never
// crosses an excluded grey value.
TEST(GrassfireGaps, CracksJoinUpToTheGapLength) {
  constexpr int32_t J = 5;
  struct crack {
    int32_t width;
    bool excluded_middle;
    bool joined;
  };
  const crack cases[] = {{J - 1, false, true}, {J, false, true}, {J + 1, false, false},
                         {3, true, false}};
  for (const crack& c : cases) {
    phantom p(40, 12, 50);
    p.rect(0, 0, 9, 11, 200);
    const int32_t right = 10 + c.width;
    p.rect(right, 0, 39, 11, 200);
    grey_band band(kLo, kHi);
    if (c.excluded_middle) {
      p.rect(11, 0, 11, 11, 5);
      band.exclude(0, 9);
    }
    std::vector<uint8_t> state;
    bounds2d bounds;
    ASSERT_TRUE(grassfire::segment_region(p.px.data(), p.w, p.h, 2, 5, J, band,
                                          plain(true, false, false, 0, 50), state, bounds));
    for (int32_t y = 0; y < p.h; ++y)
      for (int32_t x = 0; x < p.w; ++x) {
        const bool in = x <= 9 || (c.joined && x >= 10);
        EXPECT_EQ(state[y * p.w + x], in ? 2 : 0)
            << "crack " << c.width << (c.excluded_middle ? " excluded" : "") << " at " << x << "," << y;
      }
  }
}

}  // namespace
