// The Reslice and Ortho pages' arithmetic against values worked out by hand:
// the slab a thickness slider position gives and its text, quarter turns on a
// real plane, the plane through three landmarks and the crop list.
#include <gtest/gtest.h>

#include <cmath>

#include "data/reslice_info.h"
#include "tools/headless_session.h"
#include "visual/reslice_math.h"

namespace {

TEST(SlabThickness, SliderPositionsGiveTheTableOfThicknessesAndTexts) {
  // 512 x 512 frames of 0.01 cm: (5.12 + 5.12) / (2 sqrt 2) = 3.62038672 cm.
  const double limit = reslice_slab_limit(512, 512, 0.01, 0.01);
  EXPECT_NEAR(limit, 3.62038672, 1e-8);
  struct row {
    int position;
    double half_thickness;
    const char* text;
  };
  const row rows[] = {{200, 3.62038672, " 72.41  "}, {20, 0.0362038672, "  0.72  "},
                      {100, 0.90509668, " 18.10  "}, {0, 0.0, "  0.00  "}};
  for (const row& r : rows) {
    const double t = reslice_half_thickness(r.position, limit);
    EXPECT_NEAR(t, r.half_thickness, 1e-8) << r.position;
    EXPECT_EQ(reslice_thickness_text(t), r.text) << r.position;
    // The slider comes back to the position that gave the plane its slab.
    EXPECT_EQ(reslice_thickness_position(t, limit), r.position);
  }
  // Frames without scales: 50 cm, a text wider than five places, not cut.
  const double none = reslice_slab_limit(512, 512, 0.0, 0.0);
  EXPECT_EQ(none, 50.0);
  EXPECT_EQ(reslice_thickness_text(reslice_half_thickness(200, none)), " 1000.00  ");
  // Thicker than the slider reaches, or nothing: its ends.
  EXPECT_EQ(reslice_thickness_position(80.0, none), 200);
  EXPECT_EQ(reslice_thickness_position(-1.0, none), 0);
}

void expect_vec(const vec3_t& got, const vec3_t& want, const char* what) {
  EXPECT_NEAR(got.x, want.x, 1e-12) << what;
  EXPECT_NEAR(got.y, want.y, 1e-12) << what;
  EXPECT_NEAR(got.z, want.z, 1e-12) << what;
}

double dot(const vec3_t& a, const vec3_t& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

TEST(QuarterTurns, FourXTurnsGiveThePlaneBackAndYAndZKeepItOrthonormal) {
  headless_session session;
  reslice_info plane;
  const double s = 1.0 / std::sqrt(2.0);
  const vec3_t n{s, s, 0.0}, u{0.0, 0.0, 1.0}, c{1.0, 2.0, 3.0};
  plane.set_plane(n, c, u, false);
  // n -> u -> -n -> -u -> n.
  const vec3_t normals[4] = {u, {-s, -s, 0.0}, {0.0, 0.0, -1.0}, n};
  for (int k = 0; k < 4; ++k) {
    const plane_axes turned = quarter_turn_x({plane.normal, plane.centre, plane.up});
    plane.set_plane(turned.normal, turned.centre, turned.up, true);
    expect_vec(plane.normal, normals[k], "normal after X");
    expect_vec(plane.centre, c, "centre after X");
  }
  expect_vec(plane.up, u, "up after four X");
  for (int k = 0; k < 3; ++k) {
    plane.set_normal(quarter_turn_y({plane.normal, plane.centre, plane.up}).normal, true);
    plane.set_up_vector(quarter_turn_z({plane.normal, plane.centre, plane.up}).up);
    EXPECT_NEAR(dot(plane.normal, plane.normal), 1.0, 1e-12);
    EXPECT_NEAR(dot(plane.up, plane.up), 1.0, 1e-12);
    EXPECT_NEAR(dot(plane.normal, plane.up), 0.0, 1e-12);
  }
  // Y once from (n, u): the new normal is n x u = (s, -s, 0), up kept.
  plane.set_plane(n, c, u, false);
  plane.set_normal(quarter_turn_y({plane.normal, plane.centre, plane.up}).normal, true);
  expect_vec(plane.normal, {s, -s, 0.0}, "normal after Y");
  expect_vec(plane.up, u, "up after Y");
}

TEST(LandmarkPlane, ThreeLandmarksIncludingEqualAndCollinearOnes) {
  struct row {
    vec3_t a, b, c;
    vec3_t normal, up;
  };
  const row rows[] = {
      // (A - C) x (A - B) = (-1, 0, 0) x (0, 1, 0) = (0, 0, -1); up from B to A.
      {{0, 0, 0}, {0, -1, 0}, {1, 0, 0}, {0, 0, -1}, {0, 1, 0}},
      // B = A is taken as A + (0, 1, 0): up points down.
      {{2, 3, 4}, {2, 3, 4}, {3, 3, 4}, {0, 0, 1}, {0, -1, 0}},
      // C on the line through A and B: the normal falls back to z.
      {{0, 0, 0}, {0, -2, 0}, {0, 3, 0}, {0, 0, 1}, {0, 1, 0}},
  };
  for (const row& r : rows) {
    const plane_axes p = plane_through_landmarks(r.a, r.b, r.c);
    expect_vec(p.normal, r.normal, "normal");
    expect_vec(p.up, r.up, "up");
    expect_vec(p.centre, r.a, "centre");
  }
}

TEST(CropList, SurfacesListedByNameWithNoneAndAll) {
  std::vector<wxString> names;
  for (int k = 0; k < 12; ++k) names.push_back(wxString::Format("Object %d", k));
  std::vector<bool> surfaces(12, false);
  std::vector<crop_item> items = crop_items(names, surfaces);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].label, "(none)");
  EXPECT_EQ(items[0].object, -1);
  surfaces[3] = surfaces[7] = true;
  items = crop_items(names, surfaces);
  ASSERT_EQ(items.size(), 4u);
  const wxString labels[4] = {"(none)", "Object 3", "Object 7", "(all)"};
  const int32_t objects[4] = {-1, 3, 7, -2};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(items[i].label, labels[i]);
    EXPECT_EQ(items[i].object, objects[i]);
    EXPECT_EQ(crop_object_of(crop_client_data(objects[i])), objects[i]);
  }
  // Reselected by object, wherever it now stands; gone means "(none)".
  surfaces[3] = false;
  items = crop_items(names, surfaces);
  EXPECT_EQ(crop_position(items, 7), 1);
  EXPECT_EQ(crop_position(items, 3), 0);
}

}  // namespace
