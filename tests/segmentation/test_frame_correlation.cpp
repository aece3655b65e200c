// Frame correlation: the peak finder, and pairs of frames whose content moved
// by a known number of pixels, which the run must turn into the same
// in-plane correction of the newer frame's pose.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "segmentation/correction_test_support.h"
#include "segmentation/image_correlation.h"
#include "tools/headless_session.h"

namespace {

using namespace correction_test;

constexpr int32_t kW = 256, kH = 200;
constexpr double kPixel = 0.05;  // cm

// Where the two lines through the maximum's neighbours meet when the flatter
// side takes the steeper side's slope mirrored: the equiangular peak.
// With k the steeper flank's rise per sample, L + k (x - m + 1) = R - k (x - m - 1).
double v_peak(const std::vector<float>& s, int m) {
  const double L = s[m - 1], M = s[m], R = s[m + 1];
  return m + (R - L) / (2 * std::max(M - L, M - R));
}

TEST(FindPeak, LocatesTheMaximumOrFails) {
  struct peak_case {
    std::vector<float> scores;
    double want;  // < 0: take the equiangular peak at the maximum
  };
  const peak_case cases[] = {
      {{-3, -2, 0, -2, -3}, 0.0},      // a score of 0 counted no pair
      {{-1, -2, -3, -4}, 0.0},         // maximum at the first end
      {{-4, -3, -2, -1}, 0.0},         // and at the last
      {{-5, -2, -1, -2, -5}, 2.0},     // L = R
      {{-10, -4, -1, -3, -9}, -1},     // right flank flatter
      {{-9, -2, -1, -7, -9}, -1},      // left flank flatter
      {{-5, -1, -1, -5}, 1.5},         // an equal later score does not win, the fit still centres
      {{-1.0001f, -1, -100}, 0.5},     // never below 0.5
  };
  for (const peak_case& c : cases) {
    const int n = static_cast<int>(c.scores.size());
    double want = c.want;
    if (want < 0) {
      int m = 0;
      for (int i = 1; i < n; ++i)
        if (c.scores[i] > c.scores[m]) m = i;
      want = v_peak(c.scores, m);
    }
    EXPECT_NEAR(image_correlation::find_peak(c.scores.data(), n), want, 1e-4) << c.scores[1] << " " << c.scores[2];
  }
  // Worked by hand: the left line through (1, -4) and (2, -1), rising 3 per
  // sample, meets the right line of slope -3 through (3, -3) at 13/6.
  const std::vector<float> s = {-10, -4, -1, -3, -9};
  EXPECT_NEAR(image_correlation::find_peak(s.data(), 5), 13.0 / 6.0, 1e-5);
}

class FrameCorrelation : public ::testing::Test {
 protected:
  void SetUp() override { session_ = std::make_unique<headless_session>(); }
  void TearDown() override { session_.reset(); }

  // Runs frames 0 and 1 through a positions-only run; the newer frame's
  // correction in pixels (x, y).
  vec2_t correction() {
    image_correlation run(false, false);
    EXPECT_TRUE(run.correct_frame(0));
    EXPECT_TRUE(run.correct_frame(1));
    const float* p = run.pending.at(1).corrected_position;
    const position_t& recorded = *frame_store->positions[1];
    EXPECT_NEAR(p[2], recorded.z, 1e-6);
    for (int i = 3; i < 6; ++i) EXPECT_NEAR(p[i], 0.0, 1e-4);
    return {(p[0] - recorded.x) / kPixel, (p[1] - recorded.y) / kPixel};
  }

  std::unique_ptr<headless_session> session_;
};

// Content moved by s pixels means the probe moved by s pixels: the corrected
// pose moves the frame by s.
TEST_F(FrameCorrelation, KnownShiftsAreFoundWithinATenthOfAPixel) {
  const double shifts[] = {1, -1, 5, -5, 12, -12, 20, -20, 3.4, -3.4};
  for (int noise : {0, 6})
    for (int axis = 0; axis < 2; ++axis)
      for (double s : shifts) {
        const double sx = axis == 0 ? s : 0.0, sy = axis == 1 ? s : 0.0;
        load(kW, kH, {shifted(kW, kH, 0, 0, noise, 7), shifted(kW, kH, sx, sy, noise, 11)}, sweep(2));
        const vec2_t c = correction();
        EXPECT_NEAR(c.x, sx, 0.1) << "noise " << noise << " shift " << sx << "," << sy;
        EXPECT_NEAR(c.y, sy, 0.1) << "noise " << noise << " shift " << sx << "," << sy;
      }
  // Both at once.
  load(kW, kH, {shifted(kW, kH, 0, 0), shifted(kW, kH, 3.4, -2.6)}, sweep(2));
  const vec2_t c = correction();
  EXPECT_NEAR(c.x, 3.4, 0.1);
  EXPECT_NEAR(c.y, -2.6, 0.1);
}

// Recorded positions that already hold the movement leave nothing to
// correct: the correction is relative to them.
TEST_F(FrameCorrelation, MovementTheRecordedPositionsHoldIsNotCorrectedAgain) {
  std::vector<position_t> p = sweep(2);
  p[1].x = static_cast<float>(4 * kPixel);
  p[1].y = static_cast<float>(-3 * kPixel);
  load(kW, kH, {shifted(kW, kH, 0, 0), shifted(kW, kH, 4, -3)}, p);
  const vec2_t c = correction();
  EXPECT_NEAR(c.x, 0.0, 0.1);
  EXPECT_NEAR(c.y, 0.0, 0.1);
}

// Strips whose content disagrees with the rest (a flash, a shadow) do not
// pull the x measurement: the line through the agreeing strips wins.
TEST_F(FrameCorrelation, OutlierStripsAreRejected) {
  std::vector<uint8_t> moved = shifted(kW, kH, 6, 0);
  const std::vector<uint8_t> other = shifted(kW, kH, -9, 0);
  const int32_t h = kH / 20;
  for (int strip : {3, 4, 15})
    for (int32_t r = strip * h; r < (strip + 1) * h; ++r)
      std::copy_n(other.begin() + r * kW, kW, moved.begin() + r * kW);
  load(kW, kH, {shifted(kW, kH, 0, 0), moved}, sweep(2));
  EXPECT_NEAR(correction().x, 6.0, 0.1);
}

// Frames that give no peak keep the displacement of their recorded
// positions: a uniform image, frames too narrow for the x search, and
// masked frames that are empty.
TEST_F(FrameCorrelation, PairsWithoutAPeakGetNoCorrection) {
  struct no_peak_case {
    const char* what;
    int32_t w;
    bool uniform, masked_empty;
  };
  const no_peak_case cases[] = {
      {"uniform", kW, true, false},
      {"narrow", 51, false, false},
      {"masked empty", kW, false, true},
  };
  for (const no_peak_case& c : cases) {
    std::vector<uint8_t> a = shifted(c.w, kH, 0, 0), b = shifted(c.w, kH, 4, 0);
    if (c.uniform) a.assign(a.size(), 90), b.assign(b.size(), 90);
    if (c.masked_empty) b.assign(b.size(), 0);
    load(c.w, kH, {a, b}, sweep(2));
    resource_table->RES_MASKED_DATA->write(c.masked_empty ? 1 : 0);
    base_res_t::make_pending_writes_happen();
    const vec2_t got = correction();
    EXPECT_EQ(got.x, 0.0) << c.what;
    EXPECT_NEAR(got.y, 0.0, c.w == 51 ? 0.1 : 0.0) << c.what;  // narrow frames still measure y
  }
}

// A masked strip (all 0 in the newer frame) counts no pair; the other
// strips still measure the shift.
TEST_F(FrameCorrelation, MaskedStripsAreLeftOut) {
  std::vector<uint8_t> moved = shifted(kW, kH, -7, 0);
  const int32_t h = kH / 20;
  for (int32_t r = 5 * h; r < 7 * h; ++r) std::fill_n(moved.begin() + r * kW, kW, 0);
  load(kW, kH, {shifted(kW, kH, 0, 0), moved}, sweep(2));
  resource_table->RES_MASKED_DATA->write(1);
  base_res_t::make_pending_writes_happen();
  EXPECT_NEAR(correction().x, -7.0, 0.1);
}

}  // namespace

namespace {

// A frame turned over (its plane facing the other way) leaves no direction
// to carry pixels between the planes: the run keeps finite poses rather
// than writing ones that are not numbers.
TEST_F(FrameCorrelation, FramesFacingOppositeWaysKeepFinitePoses) {
  std::vector<position_t> p = sweep(2);
  p[1].roll = 180.0f;
  load(kW, kH, {shifted(kW, kH, 0, 0), shifted(kW, kH, 2, 1)}, p);
  for (bool pressure : {false, true}) {
    image_correlation run(false, pressure);
    ASSERT_TRUE(run.correct_frame(0));
    ASSERT_TRUE(run.correct_frame(1));
    for (const correlation_frame_t& r : run.pending) {
      for (float v : r.corrected_position) EXPECT_TRUE(std::isfinite(v)) << pressure;
      for (float v : r.row_offsets) EXPECT_TRUE(std::isfinite(v)) << pressure;
    }
    double a = 0, b = 0;
    if (run.finish_correction(a, b))
      for (const correlation_frame_t& r : run.finished)
        for (float v : r.corrected_position) EXPECT_TRUE(std::isfinite(v)) << pressure;
  }
}

}  // namespace
