// Rules of the reslice builder beyond plain sampling: masked data, label
// data, equal distances, and the change procedure of a shared builder with
// the coarse steps of dynamic update.
#include <gtest/gtest.h>

#include "reslice_test_support.h"
#include "views/reslice_internals.h"

namespace {

class ResliceModes : public ::testing::Test {
 protected:
  void SetUp() override { session_ = std::make_unique<headless_session>(); }
  void TearDown() override {
    delete private_;
    session_.reset();  // the table deletes shared builders
  }

  reslice_internals& private_builder(const vec3_t& normal, const vec3_t& centre, const vec3_t& up, int32_t width,
                                     int32_t height, bool accurate) {
    private_ = new reslice_internals(-1, width, height);
    reslice_info& p = *private_->plane();
    p.set_plane(normal, centre, up, false);
    p.set_width(width);
    p.set_height(height);
    p.set_accurate(accurate);
    return *private_;
  }

  vec3_t frame_centre(double z) const { return {stack_.w * stack_.s / 2, stack_.h * stack_.s / 2, z}; }

  std::unique_ptr<headless_session> session_;
  synthetic_stack stack_;
  reslice_internals* private_ = nullptr;
};

struct masked_case {
  int32_t masked;
  int expected_at_black;  // -1: the farther frame's value
};

TEST_F(ResliceModes, BlackPixelIsDataUnlessTheDataAreMasked) {
  // Frames 0 and 1 a tenth of a millimetre apart, frame 2 far above: in the
  // plane of frame 0 both frame 0 and frame 1 reach, frame 0 the nearer.
  stack_.load({0.0, 0.01, 0.2});
  frame_store->images[0]->display[5 * stack_.w + 5] = 0;
  for (const masked_case& c : {masked_case{0, 1}, masked_case{1, -1}}) {
    resource_table->RES_MASKED_DATA->write(c.masked);
    base_res_t::make_pending_writes_happen();
    delete private_;
    reslice_internals& b = private_builder({0, 0, 1}, frame_centre(0.0), {0, 1, 0}, stack_.w, stack_.h, false);
    const uint8_t* image = b.get_image();
    ASSERT_NE(image, nullptr);
    const int want = c.expected_at_black < 0 ? stack_.value(1, 5, 5) : c.expected_at_black;
    EXPECT_EQ(image[5 * stack_.w + 5], want) << "masked " << c.masked;
    EXPECT_EQ(image[5 * stack_.w + 6], stack_.value(0, 6, 5)) << "masked " << c.masked;
  }
}

TEST_F(ResliceModes, LabelDataTakeTheNearestFrameAndMaximumForAverage) {
  stack_.load({0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9});
  resource_table->RES_CMAP_LABELS->write(true);
  base_res_t::make_pending_writes_happen();
  const vec3_t normal{1, 0, 0}, up{0, 0, 1}, centre{1.0123, 1.2, 0.4623};
  const int32_t width = 48, height = 24;
  // Accurate asked for, and a thick average: labels are never blended.
  reslice_internals& b = private_builder(normal, centre, up, width, height, true);
  b.plane()->set_compounding(2);
  b.plane()->set_thickness(0.1);
  const int K = static_cast<int>(std::floor(0.1 / stack_.s)) + 1;
  const uint8_t* image = b.get_image();
  ASSERT_NE(image, nullptr);
  for (int j = 0; j < height; ++j)
    for (int i = 0; i < width; ++i) {
      double hi = 0.0;
      for (int o = -K; o <= K; ++o) {
        const vec3_t p = image_to_world(normal, centre, up, width, height, stack_.s, i + 0.5, j + 0.5, o * 0.1 / K);
        hi = std::max(hi, stack_.nearest(p, 0.05 + 1e-5));
      }
      ASSERT_EQ(image[j * width + i], stored_byte(hi)) << i << "," << j;
    }
}

TEST_F(ResliceModes, LowerNumberedFrameWinsAtEqualDistance) {
  // Heights exact in binary, and a plane exactly half way between them.
  stack_.load({0.0, 0.125});
  reslice_internals& b = private_builder({0, 0, 1}, frame_centre(0.0625), {0, 1, 0}, stack_.w, stack_.h, false);
  const uint8_t* image = b.get_image();
  ASSERT_NE(image, nullptr);
  for (int y = 0; y < stack_.h; ++y)
    for (int x = 0; x < stack_.w; ++x) ASSERT_EQ(image[y * stack_.w + x], stack_.value(0, x, y)) << x << "," << y;
}

TEST_F(ResliceModes, SharedBuilderFollowsItsResourcesAndTheCoarseSteps) {
  stack_.load({0, 0.1, 0.2, 0.3});
  resource_table_t& t = *resource_table;
  auto redisplays = [&] { return t.RES_REDISPLAY_RESLICE0->read(); };
  const int32_t start = redisplays();
  auto* b = new reslice_internals(0, 0, 0);  // placed on the current frame, built and shown at once
  reslice_info& plane = *b->plane();
  EXPECT_TRUE(plane.defined);
  EXPECT_EQ(redisplays(), start + 1);
  ASSERT_NE(b->get_image(), nullptr);

  plane.set_width(stack_.w);
  plane.set_height(stack_.h);
  plane.set_plane({0, 0, 1}, frame_centre(0.2), {0, 1, 0}, true);
  plane.set_accurate(false);
  const int32_t placed = redisplays();

  // A colour-map change alone leaves a valid image alone.
  t.RES_CMAP_CHANGED->write();
  base_res_t::make_pending_writes_happen();
  EXPECT_EQ(redisplays(), placed);

  // Dragging: the steps apply from the next build on.
  set_reslice_dynamic_steps(3, 1);
  t.RES_DYNAMIC_UPDATE->write(true);
  base_res_t::make_pending_writes_happen();
  EXPECT_EQ(b->pixel_step(), 3);
  EXPECT_EQ(redisplays(), placed);
  plane.set_centre(frame_centre(0.1), true);
  const uint8_t* coarse = b->get_image();
  ASSERT_NE(coarse, nullptr);
  // Pixel 1 copies sample 0 (frame pixel 0), pixel 2 the sample at 3.
  EXPECT_EQ(coarse[1], stack_.value(1, 0, 0));
  EXPECT_EQ(coarse[2], stack_.value(1, 3, 0));

  // The drag ends: one full-quality build, shown.
  const int32_t dragged = redisplays();
  t.RES_DYNAMIC_UPDATE->write(false);
  base_res_t::make_pending_writes_happen();
  EXPECT_EQ(b->pixel_step(), 1);
  EXPECT_EQ(redisplays(), dragged + 1);
  const uint8_t* full = b->get_image();
  ASSERT_NE(full, nullptr);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(full[x], stack_.value(1, x, 0)) << x;

  // New frames: the placed plane 0 stays, the image is built again.
  const int32_t before = redisplays();
  t.RES_BUF_FRAMES->write(3);
  base_res_t::make_pending_writes_happen();
  EXPECT_EQ(redisplays(), before + 1);
  EXPECT_NEAR(plane.centre.z, 0.1, 1e-9);
  set_reslice_dynamic_steps(1, 1);
}

}  // namespace
