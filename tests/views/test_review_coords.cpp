// Frame pixels to world points and back, for the current frame.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "tools/headless_session.h"
#include "views/review_coords.h"

namespace {

TEST(ReviewCoords, FrameToWorldAndBackForRandomPoses) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> offset(-20.0, 20.0), angle(-180.0, 180.0),
      scale(0.005, 0.2), pixel(-50.0, 600.0);
  for (int i = 0; i < 200; ++i) {
    image_calibration_t c{offset(rng), offset(rng), offset(rng), angle(rng), angle(rng) / 2,
                          angle(rng),  scale(rng),  scale(rng)};
    position_t p;
    p.x = static_cast<float>(offset(rng));
    p.y = static_cast<float>(offset(rng));
    p.z = static_cast<float>(offset(rng));
    p.azimuth = static_cast<float>(angle(rng));
    p.elevation = static_cast<float>(angle(rng) / 2);
    p.roll = static_cast<float>(angle(rng));
    const double px = pixel(rng), py = pixel(rng);
    const vec3_t w = frame_pixel_to_world(c, p, px, py);
    const vec3_t back = world_to_frame_pixel(c, p, w);
    EXPECT_NEAR(back.x, px, 1e-9);
    EXPECT_NEAR(back.y, py, 1e-9);
    EXPECT_NEAR(back.z, 0.0, 1e-9);
  }
}

TEST(ReviewCoords, PurelyTranslatedPlaneIsAnOffsetOfScaledPixels) {
  image_calibration_t c;
  c.x = 1.0;
  c.y = 2.0;
  c.z = 3.0;
  c.xscale = 0.1;
  c.yscale = 0.05;
  position_t p;
  p.x = 10.0f;
  const vec3_t w = frame_pixel_to_world(c, p, 10.0, 20.0);
  EXPECT_NEAR(w.x, 12.0, 1e-12);  // 10 + 1 + 10 x 0.1
  EXPECT_NEAR(w.y, 3.0, 1e-12);   // 2 + 20 x 0.05
  EXPECT_NEAR(w.z, 3.0, 1e-12);
  // A point 0.5 cm off the plane keeps that distance.
  const vec3_t q = world_to_frame_pixel(c, p, vec3_t{12.0, 3.0, 3.5});
  EXPECT_NEAR(q.z, 0.5, 1e-12);
}

TEST(ReviewCoords, HelpersNeedPositionsAndFrames) {
  headless_session session;
  resource_table_t& t = *resource_table;
  const double pixel[2] = {3.0, 4.0};
  double out[3] = {-7.0, -7.0, -7.0};
  position_ref pos;
  // No frames: nothing is written.
  EXPECT_FALSE(frame_to_world(pixel, out));
  EXPECT_FALSE(current_frame_position(pos));
  EXPECT_DOUBLE_EQ(out[0], -7.0);

  position_t p;
  p.z = 2.0f;
  frame_store->add_image(frame_image_t::create(new uint8_t[4](), 4));
  frame_store->positions.push_back(position_holder_t::create(p));
  t.RES_BUF_FRAMES->write(1);
  t.RES_XSCALE->write(0.1);
  t.RES_YSCALE->write(0.1);
  t.RES_POS_REC->write(false);
  EXPECT_FALSE(frame_to_world(pixel, out));
  EXPECT_DOUBLE_EQ(out[2], -7.0);

  t.RES_POS_REC->write(true);
  ASSERT_TRUE(frame_to_world(pixel, out));
  const vec3_t expected = frame_pixel_to_world(calibration_from_resources(), p, 3.0, 4.0);
  EXPECT_NEAR(out[0], expected.x, 1e-12);
  EXPECT_NEAR(out[2], expected.z, 1e-12);
  double back[3];
  ASSERT_TRUE(world_to_frame(out, back, 1));
  EXPECT_NEAR(back[0], 3.0, 1e-9);
  EXPECT_NEAR(back[1], 4.0, 1e-9);
  EXPECT_NEAR(back[2], 0.0, 1e-9);
  ASSERT_TRUE(current_frame_position(pos));
  EXPECT_FLOAT_EQ(pos->z, 2.0f);
}

}  // namespace
