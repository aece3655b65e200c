// The four reslice planes the table holds: setters, coordinate conversions,
// placement from the frames, and the rebuilds an attached builder is asked for.
#include <cmath>

#include "data/dynabuf.h"
#include "data/reslice_info.h"
#include "test_table_fixture.h"
#include "views/reslice_internals.h"

namespace {

constexpr double kTol = 1e-9;

void expect_vec(const vec3_t& v, double x, double y, double z) {
  EXPECT_NEAR(v.x, x, kTol);
  EXPECT_NEAR(v.y, y, kTol);
  EXPECT_NEAR(v.z, z, kTol);
}

class ReslicePlanes : public TableTest {
 protected:
  void SetUp() override {
    TableTest::SetUp();
    plane0 = &t().RESLICE->read()[0];
    builder = new reslice_internals(0, 0, 0);
    baseline_ = t().RES_REDISPLAY_RESLICE0->read();
  }
  void TearDown() override {
    delete frame_store;
    frame_store = nullptr;
    TableTest::TearDown();  // the table deletes the attached builder
  }
  // Redisplays since the builder was made (which raises one).
  int32_t redisplays() { return t().RES_REDISPLAY_RESLICE0->read() - baseline_; }

  // The attached builder places plane 0 when frames arrive; tests of the
  // plane's own geometry put it back where a new plane stands.
  void restore_new_plane() {
    plane0->reset_placement();
    plane0->set_width(512);
    plane0->set_height(512);
  }

  // Frames of identity orientation at heights z, 512 x 512 pixels of 0.01 cm.
  void add_frames(std::initializer_list<float> heights) {
    frame_store = new dynabuf;
    for (float z : heights) {
      position_t p;
      p.z = z;
      frame_store->positions.push_back(position_holder_t::create(p));
    }
    t().RES_BUF_FRAMES->write(static_cast<int32_t>(heights.size()));
  }

  reslice_info* plane0 = nullptr;
  reslice_internals* builder = nullptr;
  int32_t baseline_ = 0;
};

TEST_F(ReslicePlanes, SetPlaneKeepsUnitPerpendicularAxesAndThePlaneConstant) {
  plane0->set_plane({0, 0, 2}, {1, 2, 3}, {0, 3, 4}, true);
  expect_vec(plane0->normal, 0, 0, 1);
  expect_vec(plane0->up, 0, 1, 0);
  expect_vec(plane0->centre, 1, 2, 3);
  EXPECT_NEAR(plane0->offset, -3.0, kTol);
  EXPECT_TRUE(plane0->defined);
  EXPECT_EQ(builder->builds(), 1);
  EXPECT_EQ(redisplays(), 1);

  // The same nine numbers again: nothing at all.
  plane0->set_plane(plane0->normal, plane0->centre, plane0->up, true);
  EXPECT_EQ(builder->builds(), 1);
  EXPECT_EQ(redisplays(), 1);

  // Without notification the image is rebuilt but nobody is told.
  plane0->set_centre({0, 0, 5}, false);
  EXPECT_NEAR(plane0->offset, -5.0, kTol);
  EXPECT_EQ(builder->builds(), 2);
  EXPECT_EQ(redisplays(), 1);
}

TEST_F(ReslicePlanes, DegenerateVectorsFallBack) {
  plane0->set_plane({0, 0, 0}, {0, 0, 0}, {0, 0, 3}, true);
  expect_vec(plane0->normal, 0, 0, 1);
  expect_vec(plane0->up, 0, -1, 0);
  // Up along a normal along y: the fallback must not be parallel to the
  // normal, or the image would have no x direction.
  plane0->set_plane({0, 1, 0}, {0, 0, 0}, {0, 1, 0}, true);
  expect_vec(plane0->normal, 0, 1, 0);
  EXPECT_NEAR(vec3_dot(plane0->up, plane0->normal), 0.0, kTol);
  EXPECT_NEAR(vec3_length(plane0->up), 1.0, kTol);
  // A skew normal: the fallback is taken into the plane as well.
  plane0->set_plane({1, 1, 0}, {0, 0, 0}, {2, 2, 0}, true);
  EXPECT_NEAR(vec3_dot(plane0->up, plane0->normal), 0.0, kTol);
  EXPECT_NEAR(vec3_length(vec3_cross(plane0->up, plane0->normal)), 1.0, kTol);
}

TEST_F(ReslicePlanes, SizesAreKeptWithinBounds) {
  struct size_case_t {
    int32_t asked, stored;
  };
  // The pages offer 24 to 5000 pixels; a file or caller asking for more or
  // less gets the nearest bound.
  for (const size_case_t& c : {size_case_t{300, 300}, size_case_t{24, 24}, size_case_t{23, 24},
                               size_case_t{0, 24}, size_case_t{-5, 24}, size_case_t{5000, 5000},
                               size_case_t{5001, 5000}, size_case_t{100000, 5000}}) {
    plane0->set_width(c.asked);
    plane0->set_height(c.asked);
    EXPECT_EQ(plane0->width, c.stored) << c.asked;
    EXPECT_EQ(plane0->height, c.stored) << c.asked;
  }
  const int32_t before = redisplays();
  plane0->set_width(reslice_info::kMaxSize);
  EXPECT_EQ(redisplays(), before);
}

TEST_F(ReslicePlanes, CompoundingOfAThinPlaneWaitsForAThickness) {
  plane0->set_compounding(2);
  EXPECT_EQ(plane0->compounding, 2);
  EXPECT_EQ(builder->builds(), 0);
  plane0->set_thickness(0.5);
  EXPECT_EQ(builder->builds(), 1);
  plane0->set_compounding(1);
  EXPECT_EQ(builder->builds(), 2);
  EXPECT_EQ(redisplays(), 2);
}

TEST_F(ReslicePlanes, ImageAndWorldCoordinates) {
  // Default plane: normal z, up y, so the image's x runs along world x.
  vec3_t p;
  plane0->reslice_to_world(256, 256, 0, p);
  expect_vec(p, 0, 0, 0);
  plane0->reslice_to_world(0, 0, 0.5, p);
  expect_vec(p, -2.56, -2.56, 0.5);

  plane0->set_plane({1, 0, 0}, {1, 2, 3}, {0, 0, 1}, true);
  vec3_t pts[2] = {{1.5, 2.25, 3.75}, {0, 0, 0}};
  vec3_t out[2];
  plane0->world_to_reslice(pts, out, 2);
  for (int i = 0; i < 2; ++i) {
    vec3_t back;
    plane0->reslice_to_world(out[i].x, out[i].y, out[i].z, back);
    expect_vec(back, pts[i].x, pts[i].y, pts[i].z);
  }
  EXPECT_NEAR(out[0].z, 0.5, kTol);  // distance along the normal
  // In place.
  plane0->world_to_reslice(pts, pts, 1);
  expect_vec(pts[0], out[0].x, out[0].y, out[0].z);
}

TEST_F(ReslicePlanes, ExtentOfNoFramesIsAZeroBox) {
  vec3_t max, min;
  plane0->data_extent(0, 5, max, min);
  expect_vec(max, 0, 0, 0);
  expect_vec(min, 0, 0, 0);
}

TEST_F(ReslicePlanes, ExtentAndFitOverTwoFrames) {
  add_frames({0.0f, 1.0f});
  restore_new_plane();
  vec3_t max, min;
  plane0->data_extent(0, 1, max, min);
  expect_vec(max, 768, 768, 1);
  expect_vec(min, 256, 256, 0);
  EXPECT_NEAR(plane0->extent_offset_min, -1e-4, kTol);
  EXPECT_NEAR(plane0->extent_offset_max, -1 + 1e-4, kTol);

  // A range past the stored frames takes those that exist.
  plane0->data_extent(1, 9, max, min);
  expect_vec(min, 256, 256, 1);

  const int32_t before = redisplays();
  plane0->fit_to_data(true);
  expect_vec(plane0->normal, 0, 0, 1);
  expect_vec(plane0->up, 0, 1, 0);
  expect_vec(plane0->centre, 2.56, 2.56, 0.5);
  EXPECT_EQ(plane0->width, 514);
  EXPECT_EQ(plane0->height, 514);
  EXPECT_NEAR(plane0->offset, -0.5, kTol);
  EXPECT_TRUE(plane0->defined);
  EXPECT_EQ(redisplays(), before + 1);

  // Without orientation the plane only slides within itself.
  plane0->set_centre({0, 0, 0.25}, false);
  plane0->fit_to_data(false);
  EXPECT_NEAR(plane0->offset, -0.25, kTol);
  expect_vec(plane0->centre, 2.56, 2.56, 0.25);
}

TEST_F(ReslicePlanes, DefaultPlacementFromTheCurrentFrame) {
  add_frames({0.0f, 1.0f});
  plane0->place_default();
  expect_vec(plane0->centre, 2.56, 2.56, 0);
  expect_vec(plane0->normal, 0, 1, 0);
  expect_vec(plane0->up, 1, 0, 0);
  EXPECT_EQ(plane0->width, 724);  // the frame size times the square root of 2
  EXPECT_EQ(plane0->height, 724);
  EXPECT_TRUE(plane0->defined);

  // A placed plane 0 stays where the user put it.
  t().RES_BUF_CURRENT_FRAME->write(1);
  plane0->place_default();
  expect_vec(plane0->centre, 2.56, 2.56, 0);
  // ... unless asked to locate again.
  plane0->locate_to_current_frame(true);
  expect_vec(plane0->centre, 2.56, 2.56, 1);

  reslice_info& plane1 = t().RESLICE->read()[1];
  plane1.place_default();
  expect_vec(plane1.normal, -1, 0, 0);
  expect_vec(plane1.up, 0, 0, -1);
  expect_vec(plane1.centre, 2.56, 2.56, 1);
  EXPECT_EQ(plane1.width, 512);
  EXPECT_EQ(plane1.height, 512);
}

TEST_F(ReslicePlanes, PlacementNeedsACurrentFrameWithAPosition) {
  t().RES_BUF_CURRENT_FRAME->write(1);
  add_frames({0.0f});
  plane0->place_default();
  EXPECT_FALSE(plane0->defined);
  expect_vec(plane0->normal, 0, 0, 1);
}

TEST_F(ReslicePlanes, BuildersDetachAndPrivatePlanesGoWithTheirBuilder) {
  reslice_internals* own = new reslice_internals(-1, 64, 32);
  ASSERT_NE(own->plane(), nullptr);
  EXPECT_EQ(own->plane()->index, -1);
  EXPECT_EQ(own->plane()->width, 64);
  EXPECT_EQ(own->plane()->height, 32);
  own->plane()->set_width(128);  // a private plane raises nothing
  EXPECT_EQ(redisplays(), 0);
  delete own;

  EXPECT_EQ(plane0->builder, builder);
  delete builder;
  EXPECT_EQ(plane0->builder, nullptr);
  plane0->set_width(100);  // no builder: nothing to rebuild or raise
  EXPECT_EQ(redisplays(), 0);
  builder = new reslice_internals(0, 0, 0);
  EXPECT_EQ(redisplays(), 1);  // a new shared builder builds and raises at once
}

TEST_F(ReslicePlanes, ResetPlacementRestoresANewPlane) {
  plane0->set_plane({1, 0, 0}, {1, 2, 3}, {0, 0, 1}, true);
  const int32_t builds = builder->builds();
  plane0->reset_placement();
  expect_vec(plane0->normal, 0, 0, 1);
  expect_vec(plane0->up, 0, 1, 0);
  expect_vec(plane0->centre, 0, 0, 0);
  EXPECT_EQ(plane0->offset, 0.0);
  EXPECT_FALSE(plane0->defined);
  EXPECT_EQ(builder->builds(), builds);
}

}  // namespace
