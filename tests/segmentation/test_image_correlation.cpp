// A correction run's records and what it supplies: corrected positions and
// pressure-corrected images, with the frame store's data for every frame it
// holds no record of. Expected pixels are worked out by hand from the frame
// pattern 5 * row + column.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "segmentation/image_correlation.h"
#include "tools/headless_session.h"

namespace {

constexpr int32_t kW = 4, kH = 40;

int pattern(int column, int row) { return 5 * row + column; }

class ImageCorrelation : public ::testing::Test {
 protected:
  void SetUp() override {
    session_ = std::make_unique<headless_session>();
    for (int k = 0; k < 3; ++k) {
      position_t p;
      p.x = 0.5f * k;
      p.z = 0.1f * k;
      frame_store->positions.push_back(position_holder_t::create(p));
      frame_store->timestamps.push_back(0);
      auto* pixels = new uint8_t[kW * kH];
      for (int r = 0; r < kH; ++r)
        for (int c = 0; c < kW; ++c) pixels[r * kW + c] = static_cast<uint8_t>(pattern(c, r) + k);
      frame_store->add_image(frame_image_t::create(pixels, kW * kH));
    }
    resource_table_t& t = *resource_table;
    t.RES_BUF_WIDTH->write(kW);
    t.RES_BUF_HEIGHT->write(kH);
    t.RES_XSCALE->write(0.05);
    t.RES_YSCALE->write(0.05);
    t.RES_POS_REC->write(true);
    t.RES_BUF_FRAMES->write(3);
    base_res_t::make_pending_writes_happen();
  }
  void TearDown() override { session_.reset(); }

  // Pixel (c, r) of the image the run gives for frame k.
  static std::vector<uint8_t> image_of(const image_correlation& run, int32_t k) {
    std::vector<uint8_t> out(kW * kH, 0xEE);
    run.corrected_image(k, out.data());
    return out;
  }
  static int at(const std::vector<uint8_t>& image, int c, int r) { return image[r * kW + c]; }

  std::unique_ptr<headless_session> session_;
};

TEST_F(ImageCorrelation, RunIsValidOnlyForTallFramesWithPositions) {
  struct validity_case {
    int32_t height;
    bool positions, valid;
  };
  const validity_case cases[] = {{40, true, true}, {39, true, false}, {40, false, false}};
  resource_table_t& t = *resource_table;
  for (const validity_case& c : cases) {
    t.RES_BUF_HEIGHT->write(c.height);
    t.RES_POS_REC->write(c.positions);
    base_res_t::make_pending_writes_happen();
    EXPECT_EQ(image_correlation(false, true).valid, c.valid) << c.height << " " << c.positions;
  }
}

TEST_F(ImageCorrelation, RecordStartsAtTheRecordedPositionWithTheCalibration) {
  resource_table_t& t = *resource_table;
  t.RES_XTRANS->write(1.0);
  t.RES_ROLL->write(90.0);
  base_res_t::make_pending_writes_happen();
  image_correlation run(false, true);
  EXPECT_DOUBLE_EQ(run.x_trans, 1.0);
  EXPECT_DOUBLE_EQ(run.roll, 90.0);
  correlation_frame_t r;
  ASSERT_TRUE(run.start_record(2, r));
  EXPECT_EQ(r.frame, 2);
  EXPECT_EQ(r.image.get(), frame_store->images[2].get());
  // Frame (1, 0, 0) cm: the calibration's roll of 90 degrees about x leaves
  // it on x, its shift of 1 cm and the frame's own (1, 0, 0.2) add up.
  vec3_t p;
  matrix4_transform_point(p, r.recorded_pose, vec3_t{1, 0, 0});
  EXPECT_NEAR(p.x, 3.0, 1e-6);
  EXPECT_NEAR(p.y, 0.0, 1e-6);
  EXPECT_NEAR(p.z, 0.2, 1e-6);
  // Frame (0, 1, 0): the roll turns y onto z.
  matrix4_transform_point(p, r.recorded_pose, vec3_t{0, 1, 0});
  EXPECT_NEAR(p.y, 0.0, 1e-6);
  EXPECT_NEAR(std::fabs(p.z - 0.2), 1.0, 1e-6);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(r.corrected_pose[i], r.recorded_pose[i]);
  const float expected[6] = {1.0f, 0.0f, 0.2f, 0.0f, 0.0f, 0.0f};
  for (int i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(r.corrected_position[i], expected[i]) << i;
  EXPECT_EQ(r.row_offsets, std::vector<float>(kH, 0.0f));
  EXPECT_FLOAT_EQ(r.row_step, 1.0f);

  // A positions-only run keeps no row offsets; a frame without a position
  // makes no record.
  image_correlation positions_only(false, false);
  ASSERT_TRUE(positions_only.start_record(0, r));
  EXPECT_TRUE(r.row_offsets.empty());
  EXPECT_FALSE(positions_only.start_record(3, r));
}

TEST_F(ImageCorrelation, FirstRecordOfAFrameCountsAndAnInvalidRunHasNone) {
  image_correlation run(false, false);
  for (int32_t k : {2, 0, 2}) {
    correlation_frame_t r;
    ASSERT_TRUE(run.start_record(k, r));
    run.finished.push_back(std::move(r));
  }
  EXPECT_EQ(run.record_index(2), 0);
  EXPECT_EQ(run.record_index(0), 1);
  EXPECT_EQ(run.record_index(1), -1);
  run.valid = false;
  EXPECT_EQ(run.record_index(2), -1);
  EXPECT_EQ(run.record_index(0), -1);
}

TEST_F(ImageCorrelation, CorrectedPositionComesFromTheRecordElseFromTheFrameStore) {
  image_correlation run(false, false);
  correlation_frame_t r;
  ASSERT_TRUE(run.start_record(1, r));
  const float corrected[6] = {1.5f, -2.0f, 3.25f, 10.0f, -20.0f, 30.0f};
  std::copy(corrected, corrected + 6, r.corrected_position);
  run.finished.push_back(std::move(r));

  position_ref p = run.corrected_position(1);
  ASSERT_TRUE(p);
  EXPECT_NE(p.holder(), frame_store->positions[1].holder());
  EXPECT_EQ(p.holder()->count, 1);
  EXPECT_FLOAT_EQ(p->x, 1.5f);
  EXPECT_FLOAT_EQ(p->y, -2.0f);
  EXPECT_FLOAT_EQ(p->z, 3.25f);
  EXPECT_FLOAT_EQ(p->azimuth, 10.0f);
  EXPECT_FLOAT_EQ(p->elevation, -20.0f);
  EXPECT_FLOAT_EQ(p->roll, 30.0f);
  // The recorded position is left alone.
  EXPECT_FLOAT_EQ(frame_store->positions[1]->x, 0.5f);

  // No record: the frame store's own reference; an invalid run has none.
  EXPECT_EQ(run.corrected_position(0).holder(), frame_store->positions[0].holder());
  run.valid = false;
  EXPECT_EQ(run.corrected_position(1).holder(), frame_store->positions[1].holder());
  // A frame beyond the store has no position at all.
  EXPECT_FALSE(run.corrected_position(7));
}

// Row offsets: output row j comes from row j + offsets[j] - offsets[10].
TEST_F(ImageCorrelation, PressureCorrectedRowsFollowTheOffsets) {
  image_correlation run(false, true);
  for (int32_t k : {0, 2}) {
    correlation_frame_t r;
    ASSERT_TRUE(run.start_record(k, r));
    run.finished.push_back(std::move(r));
  }
  std::vector<float>& zero = run.finished[0].row_offsets;  // frame 0: all 0
  std::vector<float>& moved = run.finished[1].row_offsets;  // frame 2
  ASSERT_EQ(zero.size(), static_cast<size_t>(kH));
  moved[10] = 2.0f;   // every other row comes from two rows above ...
  moved[20] = 2.3f;   // ... and row 20 from 0.3 below row 20
  moved[39] = -5.0f;  // the last row from row 32
  moved[37] = 4.25f;  // row 37 from 39.25: below the last row

  // Zero offsets: every row stays, the last one too (it lies exactly on a
  // source row, so nothing below it is needed).
  const std::vector<uint8_t> same = image_of(run, 0);
  for (int r = 0; r < kH; ++r)
    for (int c = 0; c < kW; ++c) ASSERT_EQ(at(same, c, r), pattern(c, r)) << c << "," << r;

  // Frame 2 holds pattern + 2.
  const std::vector<uint8_t> out = image_of(run, 2);
  for (int c = 0; c < kW; ++c) {
    EXPECT_EQ(at(out, c, 0), 0);  // source row -2: above the image
    EXPECT_EQ(at(out, c, 1), 0);  // source row -1
    EXPECT_EQ(at(out, c, 2), 2 + c);
    EXPECT_EQ(at(out, c, 5), 5 * 3 + c + 2);
    EXPECT_EQ(at(out, c, 10), 5 * 10 + c + 2);  // the anchor row stays
    // 20.3: weight 76 of 256 on row 21, (102 * 180 + 107 * 76) >> 8.
    EXPECT_EQ(at(out, c, 20), (((102 + c) * 180 + (107 + c) * 76) >> 8));
    EXPECT_EQ(at(out, c, 20), 103 + c);
    EXPECT_EQ(at(out, c, 37), 0);
    EXPECT_EQ(at(out, c, 38), 5 * 36 + c + 2);
    EXPECT_EQ(at(out, c, 39), 5 * 32 + c + 2);
  }
  // Frame 1 has no record: the frame store's pixels unchanged.
  const std::vector<uint8_t> plain = image_of(run, 1);
  for (int r = 0; r < kH; ++r)
    for (int c = 0; c < kW; ++c) ASSERT_EQ(at(plain, c, r), pattern(c, r) + 1);

  // An invalid run holds no record: frame 2 comes back unchanged too.
  run.valid = false;
  const std::vector<uint8_t> invalid = image_of(run, 2);
  for (int r = 0; r < kH; ++r)
    for (int c = 0; c < kW; ++c) ASSERT_EQ(at(invalid, c, r), pattern(c, r) + 2);
}

// Doppler values of different colour classes (grey below 128, one flow
// direction 128..191, the other from 192) are never mixed: the nearer row
// wins, the lower one at equal weights.
TEST_F(ImageCorrelation, DopplerRowsOfDifferentClassesAreNotBlended) {
  uint8_t* pixels = frame_store->images[0]->display;
  const int rows[][2] = {{20, 100}, {21, 200}, {30, 130}, {31, 140}, {25, 100}, {26, 200}};
  for (const auto& row : rows) std::fill_n(pixels + row[0] * kW, kW, static_cast<uint8_t>(row[1]));
  image_correlation run(false, true);
  correlation_frame_t r;
  ASSERT_TRUE(run.start_record(0, r));
  r.row_offsets[20] = 0.5f;  // halfway between 100 and 200
  r.row_offsets[30] = 0.3f;  // 76 / 256 of the way from 130 to 140
  r.row_offsets[25] = 0.3f;  // 76 / 256 of the way from 100 to 200
  run.finished.push_back(std::move(r));

  struct doppler_case {
    bool doppler;
    int row20, row30, row25;
  };
  const doppler_case cases[] = {
      {true, 200, (130 * 180 + 140 * 76) >> 8, 100},
      {false, (100 * 128 + 200 * 128) >> 8, (130 * 180 + 140 * 76) >> 8, (100 * 180 + 200 * 76) >> 8},
  };
  for (const doppler_case& c : cases) {
    resource_table->RES_BUF_DOPPLER->write(c.doppler);
    base_res_t::make_pending_writes_happen();
    const std::vector<uint8_t> out = image_of(run, 0);
    EXPECT_EQ(at(out, 1, 20), c.row20) << c.doppler;
    EXPECT_EQ(at(out, 1, 30), c.row30) << c.doppler;
    EXPECT_EQ(at(out, 1, 25), c.row25) << c.doppler;
  }
  EXPECT_EQ((130 * 180 + 140 * 76) >> 8, 132);
  EXPECT_EQ((100 * 180 + 200 * 76) >> 8, 129);
}

TEST_F(ImageCorrelation, MissingPixelsComeOutAsZero) {
  image_correlation run(false, true);
  // A frame beyond the store, and a record of a frame whose image is gone.
  const std::vector<uint8_t> beyond = image_of(run, 9);
  EXPECT_EQ(beyond, std::vector<uint8_t>(kW * kH, 0));
  correlation_frame_t r;
  ASSERT_TRUE(run.start_record(1, r));
  r.image = frame_image_ref();
  run.finished.push_back(std::move(r));
  EXPECT_EQ(image_of(run, 1), std::vector<uint8_t>(kW * kH, 0));
  // Offsets that are not numbers give empty rows, not a wild read.
  run.finished[0].image = frame_store->images[1];
  run.finished[0].row_offsets[3] = std::nanf("");
  const std::vector<uint8_t> out = image_of(run, 1);
  EXPECT_EQ(at(out, 0, 3), 0);
  EXPECT_EQ(at(out, 0, 4), pattern(0, 4) + 1);
}

}  // namespace
