// Probe pressure: rows compressed by a known profile, and the carrying of
// row offsets from one frame's rows to another's.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "segmentation/correction_test_support.h"
#include "segmentation/image_correlation.h"
#include "tools/headless_session.h"

namespace {

using namespace correction_test;

constexpr int32_t kW = 256, kH = 200;

class PressureEstimation : public ::testing::Test {
 protected:
  void SetUp() override { session_ = std::make_unique<headless_session>(); }
  void TearDown() override { session_.reset(); }
  std::unique_ptr<headless_session> session_;
};

// The newer frame shows the older one's row y at row y (1 + a): compression
// that grows with depth. Relative to row 10, the newer frame's offsets must
// say how far each row's content moved.
TEST_F(PressureEstimation, RowsCompressedByAKnownProfileGiveTheirOffsets) {
  for (double a : {0.012, -0.012}) {
    const std::vector<uint8_t> before =
        sample(kW, kH, [&](int32_t c, int32_t r, double& x, double& y) { x = c, y = r; }, 0, 1, layered_texture);
    const std::vector<uint8_t> after = sample(
        kW, kH, [&](int32_t c, int32_t r, double& x, double& y) { x = c, y = r / (1.0 + a); }, 0, 1, layered_texture);
    load(kW, kH, {before, after}, sweep(2));
    image_correlation run(false, true);
    ASSERT_TRUE(run.correct_frame(0));
    ASSERT_TRUE(run.correct_frame(1));
    const std::vector<float>& off = run.pending[1].row_offsets;
    ASSERT_EQ(off.size(), static_cast<size_t>(kH));
    // Content of row y of the newer frame came from row y / (1 + a).
    for (int j = 0; j < kH; ++j) {
      const double want = (j - j / (1.0 + a)) - (10 - 10 / (1.0 + a));
      EXPECT_NEAR(off[j] - off[10], want, 0.5) << "a " << a << " row " << j;
    }
  }
}

// Identical frames: nothing is compressed, and the corrected images equal
// the frames, the last row included.
TEST_F(PressureEstimation, IdenticalFramesStayIdentical) {
  for (int32_t h : {kH, 40}) {
    const std::vector<uint8_t> frame = shifted(kW, h, 0, 0);
    load(kW, h, {frame, frame, frame}, sweep(3));
    image_correlation run(false, true);
    for (int32_t k = 0; k < 3; ++k) ASSERT_TRUE(run.correct_frame(k));
    double p = -1, q = -1;
    ASSERT_TRUE(run.finish_correction(p, q)) << run.failure();
    EXPECT_NEAR(p, 0.0, 1e-6);
    EXPECT_NEAR(q, 0.0, 1e-6);
    std::vector<uint8_t> out(frame.size());
    for (int32_t k = 0; k < 3; ++k) {
      for (float o : run.finished[static_cast<size_t>(k)].row_offsets) ASSERT_NEAR(o, 0.0f, 1e-4f) << h;
      run.corrected_image(k, out.data());
      EXPECT_EQ(out, frame) << "height " << h << " frame " << k;
    }
  }
}

// Target row i takes the source's offsets at start + i * step, linearly
// between rows and held at the ends, plus (adding) this pair's increments.
TEST_F(PressureEstimation, OffsetsAreCarriedBetweenRowGrids) {
  constexpr int32_t h = 40;
  load(kW, h, {shifted(kW, h, 0, 0)}, sweep(1));
  image_correlation run(false, true);
  correlation_frame_t source, target;
  ASSERT_TRUE(run.start_record(0, source));
  ASSERT_TRUE(run.start_record(0, target));
  for (int32_t i = 0; i < h; ++i) {
    source.row_offsets[i] = 0.5f * static_cast<float>(i);
    run.row_increments[i] = i == 3 ? 1.0f : 0.0f;
  }
  run.map_row_offsets(source, target, -2.0f, 1.25f, image_correlation::OFFSETS_ADD);
  // Row 0 at -2 is held at row 0; the next adds 1.25 to the held 0.
  EXPECT_FLOAT_EQ(target.row_offsets[0], 0.0f);
  EXPECT_FLOAT_EQ(target.row_offsets[1], 0.625f);
  EXPECT_FLOAT_EQ(target.row_offsets[3], 0.5f * 3.75f + 1.0f);
  EXPECT_FLOAT_EQ(target.row_offsets[h - 1], 0.5f * (h - 1));  // beyond the last row: held there
  run.map_row_offsets(source, target, 0.0f, 1.0f, image_correlation::OFFSETS_SUBTRACT);
  EXPECT_FLOAT_EQ(target.row_offsets[3], 0.5f * 3.75f + 1.0f - 1.5f);
  EXPECT_FLOAT_EQ(target.row_offsets[h - 1], 0.0f);
}

// Offsets become relative to the most compressed record (the largest
// spread between rows 10 and H - 21), and every record moves along its y
// axis by its remaining uniform part plus the reference's.
TEST_F(PressureEstimation, OffsetsAreReferredToTheMostCompressedFrame) {
  constexpr int32_t h = 40;
  load(kW, h, {shifted(kW, h, 0, 0), shifted(kW, h, 0, 0), shifted(kW, h, 0, 0)}, sweep(3));
  image_correlation run(false, true);
  const float slope[3] = {0.0f, 0.1f, 0.05f};  // record 1 spreads most
  for (int k = 0; k < 3; ++k) {
    correlation_frame_t r;
    ASSERT_TRUE(run.start_record(k, r));
    for (int j = 0; j < h; ++j) r.row_offsets[j] = slope[k] * static_cast<float>(j);
    run.pending.push_back(std::move(r));
  }
  run.pending[1].row_origin = 2.0f;  // record 0's grid starts 2 rows above record 1's: held at row 0
  run.reference_pressure();
  for (int j = 0; j < h; ++j) {
    EXPECT_NEAR(run.pending[0].row_offsets[j], -0.1 * j, 1e-5) << j;
    EXPECT_EQ(run.pending[1].row_offsets[j], 0.0f) << j;
    EXPECT_NEAR(run.pending[2].row_offsets[j], -0.05 * j, 1e-5) << j;
  }
  // The reference's own row 10 offset was 1 row: (offset at row 10 + 1) rows
  // of 0.05 cm, against the y axis.
  const double moved[3] = {(-1.0 + 1.0) * 0.05, (0.0 + 1.0) * 0.05, (-0.5 + 1.0) * 0.05};
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(run.pending[k].corrected_position[1], -moved[k], 1e-6) << k;
    EXPECT_NEAR(run.pending[k].corrected_position[2], 0.1 * k, 1e-6) << k;
    vec3_t origin;
    matrix4_transform_point(origin, run.pending[k].corrected_pose, vec3_t{0, 0, 0});
    EXPECT_NEAR(origin.y, -moved[k], 1e-6) << k;
  }
}

}  // namespace
