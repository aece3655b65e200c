// The reslice builder with the services it takes from elsewhere: crop spans
// from a surface's section, the coarse steps of the display colour map and
// the colour map's Doppler blend between frames.
#include <gtest/gtest.h>

#include <cmath>

#include "geometry_test_support.h"
#include "reslice_test_support.h"
#include "surfaces/surface_interp.h"
#include "views/globcmap.h"
#include "views/reslice_internals.h"

namespace {

class ResliceProviders : public ::testing::Test {
 protected:
  void SetUp() override { session_ = std::make_unique<headless_session>(); }
  void TearDown() override {
    delete private_;
    private_ = nullptr;
    session_.reset();
  }

  reslice_internals& private_builder(double z, bool accurate) {
    private_ = new reslice_internals(-1, stack_.w, stack_.h);
    reslice_info& p = *private_->plane();
    p.set_plane({0, 0, 1}, {stack_.w * stack_.s / 2, stack_.h * stack_.s / 2, z}, {0, 1, 0}, false);
    p.set_width(stack_.w);
    p.set_height(stack_.h);
    p.set_accurate(accurate);
    return *private_;
  }

  std::unique_ptr<headless_session> session_;
  synthetic_stack stack_;
  reslice_internals* private_ = nullptr;
};

TEST_F(ResliceProviders, CropToASurfaceKeepsItsSectionOnly) {
  stack_.load({0, 0.1, 0.2});
  // The cube spans world x and y 0.7123 .. 1.7123 cm: reslice coordinates
  // 14.246 .. 34.246 (pixel x at x * 0.05 cm). Rows are inside when their
  // coordinate lies within; columns round to the nearest sample.
  resource_table->RES_SURFACE[3]->write(new_cube_mesh({1.2123, 1.2123, 0.1}));
  base_res_t::make_pending_writes_happen();
  for (bool outside : {false, true}) {
    SCOPED_TRACE(outside);
    delete private_;
    reslice_internals& b = private_builder(0.1, false);
    b.plane()->set_crop_surface(3);
    b.plane()->set_show_outside_surface(outside);
    const uint8_t* image = b.get_image();
    ASSERT_NE(image, nullptr);
    for (int y = 0; y < stack_.h; ++y)
      for (int x = 0; x < stack_.w; ++x) {
        const bool inside = y >= 15 && y <= 34 && x >= 14 && x <= 34;
        ASSERT_EQ(image[y * stack_.w + x], inside != outside ? stack_.value(1, x, y) : 0) << x << "," << y;
      }
  }
}

TEST_F(ResliceProviders, DynamicStepsAreTheColourMapsWhileItExists) {
  colour_map_scope map;
  set_reslice_dynamic_steps(3, 2);
  int32_t pixel = 0, slice = 0;
  colour_map->get_step(pixel, slice);
  EXPECT_EQ(pixel, 3);
  EXPECT_EQ(slice, 2);
  colour_map->set_step(5, 1);
  reslice_dynamic_steps(pixel, slice);
  EXPECT_EQ(pixel, 5);
  EXPECT_EQ(slice, 1);
  set_reslice_dynamic_steps(1, 1);
}

// Between two frames an accurate Doppler reslice averages values of one
// class by distance and otherwise takes the nearer frame's value.
TEST_F(ResliceProviders, AccurateDopplerNeverMixesFlowDirections) {
  struct doppler_case {
    uint8_t below, above;
    double z;
    int expected;
  };
  const doppler_case cases[] = {
      {130, 170, 0.025, 140},  // 130 x 0.75 + 170 x 0.25
      {150, 200, 0.025, 150},  // opposite directions: the nearer, below
      {150, 200, 0.075, 200},  // the nearer, above
      {50, 100, 0.05, 75},     // grey values blend
  };
  stack_.load({0.0, 0.1});
  resource_table->RES_BUF_DOPPLER->write(true);
  base_res_t::make_pending_writes_happen();
  for (const doppler_case& c : cases) {
    SCOPED_TRACE(c.expected);
    std::fill_n(frame_store->images[0]->display, stack_.w * stack_.h, c.below);
    std::fill_n(frame_store->images[1]->display, stack_.w * stack_.h, c.above);
    delete private_;
    reslice_internals& b = private_builder(c.z, true);
    const uint8_t* image = b.get_image();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image[10 * stack_.w + 10], c.expected);
  }
}

}  // namespace
