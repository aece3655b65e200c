// The 3D view's input arithmetic against values worked out independently:
// dialog numbers, arrow keys and drags against rotations built by Rodrigues'
// formula in eye or world space, zoom, perspective and pan drags, window and
// world round trips, the pick radius, the thickness probe's frame, and where
// a click places a landmark.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "data/landmarks.h"
#include "render3d/outline_input.h"
#include "render3d/outline_math.h"
#include "surfaces/surface_interp.h"

namespace {

// v turned by deg degrees about the unit axis (right-handed).
vec3_t rodrigues(const vec3_t& v, const vec3_t& axis, double deg) {
  const vec3_t k = vec3_normalise(axis);
  const double a = deg * 3.141592653589793 / 180.0;
  return v * std::cos(a) + vec3_cross(k, v) * std::sin(a) + k * (vec3_dot(k, v) * (1 - std::cos(a)));
}

void expect_vec(const vec3_t& got, const vec3_t& want, double tol = 1e-9) {
  EXPECT_NEAR(got.x, want.x, tol);
  EXPECT_NEAR(got.y, want.y, tol);
  EXPECT_NEAR(got.z, want.z, tol);
}

TEST(ViewDialogNumbers, TokensAndCounts) {
  struct row {
    const char* text;
    int count;
    bool used;
    double want[3];
  };
  const row rows[] = {
      {"1,2;3", 3, true, {1, 2, 3}},
      {"\t-1.5\r\n2e1 ; ,3", 3, true, {-1.5, 20, 3}},
      {"1 2", 3, false, {7, 8, 9}},
      {"1 2 3 4", 3, false, {7, 8, 9}},
      // A token that is no number, or out of range, keeps its value; text after a number is ignored.
      {"abc 5mm 1e999", 3, true, {7, 5, 9}},
      {"", 3, false, {7, 8, 9}},
  };
  for (const row& r : rows) {
    double v[3] = {7, 8, 9};
    EXPECT_EQ(parse_view_numbers(r.text, r.count, v), r.used) << r.text;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(v[i], r.want[i]) << r.text << " " << i;
  }
}

TEST(ArrowKeys, TurnsRollsAndPansAgainstRotationsAboutTheViewAxes) {
  const double r = 5, d = 0.25;
  // An oblique orientation, so that no axis is a world axis.
  vec3_t f0 = vec3_normalise({0.3, -0.5, 0.8});
  vec3_t g0 = vec3_normalise(vec3_cross({0.2, 1.0, 0.1}, f0));
  const vec3_t u0 = vec3_cross(f0, g0);
  const vec3_t c0{1, 2, 3};
  struct row {
    arrow_key key;
    bool shift, control;
    vec3_t axis;   // the turn's world axis (zero: a pan)
    double angle;  // degrees
    vec3_t move;   // the centre's move
  };
  const row rows[] = {
      {arrow_key::up, false, false, g0, r, {}},       {arrow_key::down, false, false, g0, -r, {}},
      {arrow_key::right, false, false, u0, -r, {}},   {arrow_key::left, false, false, u0, r, {}},
      {arrow_key::up, true, false, f0, r, {}},        {arrow_key::left, true, false, f0, -r, {}},
      {arrow_key::right, true, false, f0, r, {}},     {arrow_key::down, true, false, f0, -r, {}},
      {arrow_key::up, false, true, {}, 0, u0 * -d},   {arrow_key::down, false, true, {}, 0, u0 * d},
      {arrow_key::right, false, true, {}, 0, g0 * -d}, {arrow_key::left, false, true, {}, 0, g0 * d},
  };
  for (const row& c : rows) {
    SCOPED_TRACE(::testing::Message() << int(c.key) << " shift " << c.shift << " control " << c.control);
    const view_step s = arrow_key_step(c.key, c.shift, c.control, r, d);
    ASSERT_FALSE(s.none());
    vec3_t f = f0, g = g0, centre = c0;
    apply_view_step(s, f, g, centre);
    const bool turn = c.angle != 0;
    expect_vec(f, turn ? rodrigues(f0, c.axis, c.angle) : f0);
    expect_vec(g, turn ? rodrigues(g0, c.axis, c.angle) : g0);
    expect_vec(centre, c0 + c.move);
  }
  // Control+Right in the default orientation moves the centre by -d along x.
  vec3_t f{0, 0, 1}, g{1, 0, 0}, centre{0, 0, 0};
  apply_view_step(arrow_key_step(arrow_key::right, false, true, r, d), f, g, centre);
  expect_vec(centre, {-d, 0, 0});
  expect_vec(f, {0, 0, 1});
  // A rotation step of 0 leaves plain and Shift keys without effect.
  EXPECT_TRUE(arrow_key_step(arrow_key::left, false, false, 0, d).none());
  EXPECT_TRUE(arrow_key_step(arrow_key::up, true, false, 0, d).none());
  EXPECT_FALSE(arrow_key_step(arrow_key::up, false, true, 0, d).none());
}

TEST(ViewDrag, TurnsTheSceneAboutTheCentreOneDegreeAPixel) {
  const double dist = 40;
  const vec3_t c{1, -2, 0.5};
  const vec3_t f0 = vec3_normalise({0.2, 0.4, 0.9}), g0 = vec3_normalise(vec3_cross({0, 1, 0}, f0));
  const matrix4_t mv = outline_modelview(dist, c, f0, g0);
  // Eye-space offsets from the centre of three world points before and after.
  struct row {
    float dx, dy;
    bool left, middle;
    vec3_t eye_axis;
    double angle;
  };
  const row rows[] = {
      {10, 0, true, false, {0, 1, 0}, 10},                     // right: about the view vertical
      {10, 10, true, false, {1, 1, 0}, std::sqrt(200.0)},      // about (10, 10, 0)
      {-6, 0, true, false, {0, -1, 0}, 6},
      {5, 0, false, true, {0, 0, 1}, 5},                       // spin anticlockwise
      {-5, 0, false, true, {0, 0, 1}, -5},                     // clockwise
  };
  for (const row& r : rows) {
    SCOPED_TRACE(::testing::Message() << r.dx << "," << r.dy << " left " << r.left);
    vec3_t vz, vx;
    drag_orientation(mv, dist, r.dx, r.dy, r.left, r.middle, vz, vx);
    const matrix4_t after = outline_modelview(dist, c, vz, vx);
    vec3_t centre_before, centre_after;
    matrix4_transform_point(centre_before, mv, c);
    matrix4_transform_point(centre_after, after, c);
    expect_vec(centre_after, centre_before);  // the turn is about the centre of gravity
    for (const vec3_t& w : {f0, g0, vec3_t{0.3, -0.7, 0.2}}) {
      vec3_t b, a;
      matrix4_transform_point(b, mv, c + w);
      matrix4_transform_point(a, after, c + w);
      // The drag's angle is single precision.
      expect_vec(a - centre_after, rodrigues(b - centre_before, r.eye_axis, r.angle), 1e-6);
    }
  }
  // Dragging right brings the front of the scene (towards the viewer) to the right.
  vec3_t vz, vx, e;
  drag_orientation(mv, dist, 10, 0, true, false, vz, vx);
  matrix4_transform_point(e, outline_modelview(dist, c, vz, vx), c + f0);
  EXPECT_GT(e.x, 0.1);
}

TEST(ViewDrag, ZoomPerspectiveAndPan) {
  EXPECT_DOUBLE_EQ(drag_zoom(2.0, 100, 150), 3.0);
  EXPECT_DOUBLE_EQ(drag_zoom(2.0, 100, 50), 2.0 / 1.5);
  EXPECT_DOUBLE_EQ(drag_zoom(2.0, 100, 200), 4.0);
  EXPECT_DOUBLE_EQ(drag_zoom(2.0, 100, 0), 1.0);
  struct row {
    int32_t angle, press, x, want;
  };
  for (const row& r : {row{40, 100, 130, 50}, row{88, 100, 130, 90}, row{2, 100, 70, 0}, row{40, 100, 102, 40},
                       row{40, 100, 98, 40}, row{40, 100, 96, 39}, row{0, 100, 40, 0}})
    EXPECT_EQ(drag_angle(r.angle, r.press, r.x), r.want) << r.angle << " " << r.press << " " << r.x;

  // A scene of 10 cm at zoom 1 and 0.05 cm a pixel is 200 pixels.
  pan_state s;
  s.hoff = 30, s.voff = 0;
  EXPECT_FALSE(drag_pan(10, 1, 0.05, 300, 300, 12, 7, s));
  EXPECT_EQ(s.hoff, 30);
  EXPECT_EQ(s.hpoint, 0.5);
  // Wider than the window across only: right by 12.6 pixels moves the offset back by 13.
  EXPECT_TRUE(drag_pan(10, 1, 0.05, 150, 300, 12.6, 7, s));
  EXPECT_EQ(s.hoff, 17);
  EXPECT_NEAR(s.hpoint, 17.0 / 50.0, 1e-7);
  EXPECT_EQ(s.voff, 0);
  EXPECT_EQ(s.vpoint, 0.5);
  EXPECT_TRUE(drag_pan(10, 1, 0.05, 150, 300, 40, 0, s));
  EXPECT_EQ(s.hoff, 0);
  EXPECT_TRUE(drag_pan(10, 1, 0.05, 150, 300, -400, 0, s));
  EXPECT_EQ(s.hoff, 50);
  EXPECT_EQ(s.hpoint, 1.0);
}

TEST(WindowAndWorld, RoundTripsInBothProjectionsAndThePickRadius) {
  const vec3_t c{2, 1, -1};
  const vec3_t f = vec3_normalise({0.1, 0.3, 1}), g = vec3_normalise(vec3_cross({0, 1, 0}, f));
  for (int32_t angle : {0, 40}) {
    const outline_projection_t p = outline_projection(20.0, 8.0, 333, 200, 0, 0, angle);
    const matrix4_t mv = outline_modelview(p.eye_distance, c, f, g);
    matrix4_t mvp;
    matrix4_multiply(p.projection, mvp, mv);
    const int viewport[4] = {0, 0, 333, 200};
    for (double depth : {0.05, 0.3, 0.5, 0.8, 0.98})
      for (double x : {0.0, 17.0, 166.5, 332.0})
        for (double y : {0.0, 99.0, 199.0}) {
          const vec3_t w = window_to_world(p.projection, mv, viewport, x, y, depth);
          const vec2_t back = world_to_window_point(mvp, viewport, w);
          EXPECT_NEAR(back.x, x, 1e-6) << angle << " " << depth;
          EXPECT_NEAR(back.y, y, 1e-6) << angle << " " << depth;
        }
    // The centre of the window at mid depth lies on the line of sight through the centre of gravity.
    const vec3_t w = window_to_world(p.projection, mv, viewport, 166.5, 99.0, 0.5);
    const vec3_t off = w - c;
    EXPECT_NEAR(vec3_length(off - f * vec3_dot(off, f)), 0.0, 1e-9);
  }
  EXPECT_FALSE(drawn_depth(1.0));
  EXPECT_FALSE(drawn_depth(0.995));
  EXPECT_FALSE(drawn_depth(0.0));
  EXPECT_TRUE(drawn_depth(0.5));
  EXPECT_DOUBLE_EQ(pick_radius(5, 0.02, 2), 0.05);
}

TEST(ThicknessProbe, RangeNearestFrameAndDirections) {
  struct range_row {
    std::vector<double> d;
    double want;
  };
  for (const range_row& r : {range_row{{}, 0}, range_row{{5}, 0}, range_row{{-3, 1, 6}, 0.5},
                             range_row{{-8, -4, 2, 9}, 0.7}, range_row{{2, 9, 15}, 0.7}})
    EXPECT_DOUBLE_EQ(probe_range(r.d), r.want);

  const double xs = 0.05, ys = 0.04;
  // Two frames stacked 1 mm apart along z; the world-to-frame maps translate back.
  matrix4_t w0, w1;
  matrix4_translation(w0, 0, 0, 0);
  matrix4_translation(w1, 0, 0, -0.1);
  const vec3_t h{1.0, 0.5, 0.12}, n{0, 0, 1}, m = vec3_normalise({0, 1, 1});
  probe_measurement out;
  ASSERT_TRUE(thickness_probe_measurement({&w0, &w1}, h, n, n, xs, ys, out));
  EXPECT_EQ(out.frame, 1);
  EXPECT_NEAR(out.point[0], 1.0 / xs, 1e-9);
  EXPECT_NEAR(out.point[1], 0.5 / ys, 1e-9);
  EXPECT_NEAR(out.point[2], 0.02 / xs, 1e-9);  // frame numbers grow against z: no flip
  EXPECT_EQ(out.direction[2], 1.0);
  EXPECT_EQ(out.second[0] == 0 && out.second[1] == 0 && out.second[2] == 0, true);
  // A measuring normal of its own: it is the direction, the surface normal the second.
  ASSERT_TRUE(thickness_probe_measurement({&w0, &w1}, h, n, m, xs, ys, out));
  EXPECT_NEAR(out.direction[1], m.y, 1e-12);
  EXPECT_NEAR(out.second[2], 1.0, 1e-12);
  // Frames in the other order flip z; so does a single frame.
  ASSERT_TRUE(thickness_probe_measurement({&w1, &w0}, h, n, n, xs, ys, out));
  EXPECT_EQ(out.frame, 0);
  EXPECT_NEAR(out.point[2], -0.02 / xs, 1e-9);
  EXPECT_EQ(out.direction[2], -1.0);
  ASSERT_TRUE(thickness_probe_measurement({&w0}, h, n, n, xs, ys, out));
  EXPECT_EQ(out.frame, 0);
  EXPECT_NEAR(out.point[2], -0.12 / xs, 1e-9);
  // A frame without position is skipped; none at all measures nothing.
  ASSERT_TRUE(thickness_probe_measurement({nullptr, &w0}, h, n, n, xs, ys, out));
  EXPECT_EQ(out.frame, 1);
  EXPECT_FALSE(thickness_probe_measurement({nullptr}, h, n, n, xs, ys, out));
}

line_probe_hits two_hits(const vec3_t& a, const vec3_t& b) {
  line_probe_hits h;
  h.depths = {1.0, 3.0};
  h.points = {a, b};
  h.normals = {{0, 0, 1}, {0, 1, 0}};
  h.directions = h.normals;
  h.objects = {2, 6};
  h.texts = {"a", "b"};
  return h;
}

TEST(LandmarksByMouse, WhatAClickPlaces) {
  const vec3_t P{1, 1, 1};
  struct row {
    const char* what;
    bool spine_page, volume_page;
    int32_t spine_part;
    int hits;         // 0 none; 1 two hits, the first at P; 2 the first 2 cm behind P
    int32_t cycle;
    int32_t kind;
    const char* name;
    vec3_t at;
    int32_t object;
  };
  const vec3_t behind{1, 1, -1};
  const row rows[] = {
      {"plain, no hit", false, false, -1, 0, 0, LM_DATA, "Landmark 1", P, 0},
      {"on a surface", false, false, -1, 1, 0, LM_SURFACE, "Surface 1", P, 2},
      {"second crossing", false, false, -1, 1, 1, LM_SURFACE, "Surface 1", {1, 1, 1.5}, 6},
      {"cycle wraps", false, false, -1, 1, 2, LM_SURFACE, "Surface 1", P, 2},
      {"volume in front of a surface", false, true, -1, 2, 0, LM_DATA, "Landmark 1", P, 0},
      {"volume page, on the surface", false, true, -1, 1, 0, LM_SURFACE, "Surface 1", P, 2},
      {"another page behind", false, false, -1, 2, 0, LM_SURFACE, "Surface 1", behind, 2},
      {"spine page with a pending one", true, false, 1, 1, 0, LM_SPINE, "", P, 0},
      {"spine page without", true, false, -1, 0, 0, LM_DATA, "Landmark 1", P, 0},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    landmarks marks;
    marks.add_landmark({9, 9, 9}, "Other", LM_FIDUCIAL);
    landmark_click click;
    click.p = P;
    click.pick_cycle = r.cycle;
    click.spine_page = r.spine_page;
    click.volume_page = r.volume_page;
    click.spine_part = r.spine_part;
    click.spine_level = 4;
    click.radius = 0.1;
    line_probe_hits hits;
    if (r.hits == 1) hits = two_hits(P, {1, 1, 1.5});
    if (r.hits == 2) hits = two_hits(behind, {1, 1, -2});
    landmark_drag_copy drag;
    const size_t k = place_landmark(marks, click, hits, drag);
    ASSERT_EQ(marks.size(), 2u);
    ASSERT_EQ(k, 1u);
    EXPECT_EQ(drag.target, 1u);
    const landmark_t& l = marks[1];
    EXPECT_EQ(l.kind, r.kind);
    if (r.kind == LM_SPINE) {
      EXPECT_EQ(l.name, spine_landmark_name(1, 4));
    } else {
      EXPECT_EQ(l.name, r.name);
    }
    expect_vec({l.x, l.y, l.z}, r.at);
    expect_vec(drag.position, r.at);
    if (r.kind == LM_SURFACE) {
      EXPECT_EQ(l.object, r.object);
      EXPECT_EQ(drag.object, r.object);
      expect_vec({l.nx, l.ny, l.nz}, r.object == 2 ? vec3_t{0, 0, 1} : vec3_t{0, 1, 0});
    }
  }
  // The pending spine landmark is moved, not added again.
  landmarks marks;
  landmark_click click;
  click.spine_page = true;
  click.spine_part = 0;
  click.spine_level = 2;
  landmark_drag_copy drag;
  click.p = {1, 0, 0};
  place_landmark(marks, click, {}, drag);
  click.p = {2, 0, 0};
  EXPECT_EQ(place_landmark(marks, click, {}, drag), 0u);
  ASSERT_EQ(marks.size(), 1u);
  EXPECT_EQ(marks[0].x, 2.0);
}

TEST(LandmarksByMouse, TheFirstLandmarkWithinTheRadiusAndNeverA2DOne) {
  landmarks marks;
  marks.add_landmark({0, 0, 0.02}, "flat", LM_2D);
  marks.add_landmark({0, 0, 0.04}, "a", LM_DATA);
  marks.add_landmark({0, 0, 0.01}, "b", LM_FIDUCIAL);
  EXPECT_EQ(landmark_near(marks, {0, 0, 0}, 0.05), 1);
  EXPECT_EQ(landmark_near(marks, {0, 0, 0}, 0.03), 2);
  EXPECT_EQ(landmark_near(marks, {0, 0, 0}, 0.005), -1);
  EXPECT_EQ(landmark_near(marks, {0, 0, 0.04}, 0.0), -1);  // strictly less than the radius
}

}  // namespace
