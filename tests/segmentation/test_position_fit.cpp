// The drift fit: corrected poses that drifted from the recorded ones by a
// known polynomial drift along a straight sweep, which the fit must find and
// remove again.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "segmentation/correction_test_support.h"
#include "segmentation/image_correlation.h"
#include "tools/headless_session.h"

namespace {

using namespace correction_test;

constexpr int32_t kW = 64, kH = 48;
constexpr int kFrames = 12;

class PositionFit : public ::testing::Test {
 protected:
  void SetUp() override {
    session_ = std::make_unique<headless_session>();
    std::vector<std::vector<uint8_t>> frames(kFrames, std::vector<uint8_t>(kW * kH, 100));
    std::vector<position_t> p(kFrames);
    for (int k = 0; k < kFrames; ++k) p[k].z = 0.2f * k;  // a straight sweep along z
    load(kW, kH, frames, p);
  }
  void TearDown() override { session_.reset(); }

  // A run holding every frame's record, corrected poses as recorded.
  static void start(image_correlation& run) {
    for (int k = 0; k < kFrames; ++k) {
      correlation_frame_t r;
      ASSERT_TRUE(run.start_record(k, r));
      run.pending.push_back(std::move(r));
    }
  }

  std::unique_ptr<headless_session> session_;
};

TEST_F(PositionFit, PosesThatAlreadyAgreeStayAndTheLowerDegreeWinsTheTie) {
  for (bool pressure : {false, true}) {
    image_correlation run(false, pressure);
    start(run);
    double p = -1, q = -1;
    ASSERT_TRUE(run.adjust_positions(p, q));
    EXPECT_EQ(p, 0.0);
    EXPECT_EQ(q, 0.0);
    EXPECT_EQ(run.fit_terms, 3);
    for (double x : run.fit_parameters) EXPECT_EQ(x, 0.0);
    for (const correlation_frame_t& r : run.pending)
      for (int i = 0; i < 16; ++i) EXPECT_NEAR(r.corrected_pose[i], r.recorded_pose[i], 1e-12);
  }
}

// Each frame k after the first was moved in-plane by (x(s), y(s)) more than
// the one before, x and y cubics in the path parameter s: the fit must
// choose degree 3, recover the coefficients and put every frame back.
TEST_F(PositionFit, CubicDriftAlongTheSweepIsRecovered) {
  const double cx[4] = {0.01, 0.02, -0.05, 0.04}, cy[4] = {-0.005, 0.0, 0.03, -0.02};
  auto poly = [](const double* c, double s) { return c[0] + s * (c[1] + s * (c[2] + s * c[3])); };
  // The drifted poses change the path parameters, which set the drift:
  // iterate until they agree.
  std::vector<double> s(kFrames), dx(kFrames), dy(kFrames);
  for (int k = 0; k < kFrames; ++k) s[k] = double(k) / (kFrames - 1);
  for (int it = 0; it < 100; ++it) {
    dx[0] = dy[0] = 0;
    for (int k = 1; k < kFrames; ++k) {
      dx[k] = dx[k - 1] + poly(cx, s[k]);
      dy[k] = dy[k - 1] + poly(cy, s[k]);
    }
    std::vector<double> path(kFrames, 0.0);
    for (int k = 1; k < kFrames; ++k)
      path[k] = path[k - 1] + std::sqrt(0.04 + std::pow(dx[k] - dx[k - 1], 2) + std::pow(dy[k] - dy[k - 1], 2));
    for (int k = 0; k < kFrames; ++k) s[k] = path[k] / path[kFrames - 1];
  }
  image_correlation run(false, false);
  start(run);
  for (int k = 0; k < kFrames; ++k) {
    matrix4_t shift;
    matrix4_translation(shift, -dx[k], -dy[k], 0.0);
    matrix4_multiply(run.pending[k].recorded_pose, run.pending[k].corrected_pose, shift);
  }
  double p = -1, q = -1;
  ASSERT_TRUE(run.adjust_positions(p, q));
  EXPECT_EQ(run.fit_terms, 4);
  ASSERT_EQ(run.fit_parameters.size(), 14u);
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(run.fit_parameters[i], 0.0, 1e-3) << i;
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(run.fit_parameters[6 + 2 * i], cy[i], 2e-3) << "y power " << i;
    EXPECT_NEAR(run.fit_parameters[7 + 2 * i], cx[i], 2e-3) << "x power " << i;
  }
  EXPECT_LT(p, 1e-3);
  EXPECT_LT(q, 1e-3);
  for (const correlation_frame_t& r : run.pending) {
    const position_t& recorded = *frame_store->positions[r.frame];
    EXPECT_NEAR(r.corrected_position[0], recorded.x, 1e-3) << r.frame;
    EXPECT_NEAR(r.corrected_position[1], recorded.y, 1e-3) << r.frame;
    EXPECT_NEAR(r.corrected_position[2], recorded.z, 1e-3) << r.frame;
  }
}

// Movements are the corners' distances between the recorded and the final
// poses: a run the fit cannot help (two frames are too few for it) reports
// the correlation's own movement, p for the far corners and q for the first
// row's.
TEST_F(PositionFit, MovementsAreTheLargestCornerDistances) {
  image_correlation run(false, false);
  for (int k = 0; k < 2; ++k) {
    correlation_frame_t r;
    ASSERT_TRUE(run.start_record(k, r));
    run.pending.push_back(std::move(r));
  }
  // Frame 1 turned by 10 degrees about its first pixel, in-plane.
  matrix4_t turn;
  matrix4_from_position(turn, 0, 0, 0, 10.0, 0, 0);
  matrix4_multiply(run.pending[1].recorded_pose, run.pending[1].corrected_pose, turn);
  double p = -1, q = -1;
  ASSERT_TRUE(run.adjust_positions(p, q));
  const double w = kW * 0.05, h = kH * 0.05, chord = 2 * std::sin(5.0 * NV_PI / 180.0);
  EXPECT_NEAR(q, w * chord, 1e-6);                       // corner (W, 0)
  EXPECT_NEAR(p, std::sqrt(w * w + h * h) * chord, 1e-6);  // corner (W, H)
}

}  // namespace
