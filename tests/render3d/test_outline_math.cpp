// The 3D view's arithmetic against values worked out independently: the
// glFrustum/glOrtho formulas written out, lights, orientation, bounds, scroll
// bars, wheel zoom, texture sizes and shrinking, the contour walk.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "data/landmarks.h"
#include "data/objects.h"
#include "render3d/outline_math.h"
#include "thickness/thickness.h"

namespace {

// The OpenGL reference matrices (column-major).
std::vector<double> frustum(double l, double r, double b, double t, double n, double f) {
  std::vector<double> m(16, 0.0);
  m[0] = 2 * n / (r - l);
  m[5] = 2 * n / (t - b);
  m[8] = (r + l) / (r - l);
  m[9] = (t + b) / (t - b);
  m[10] = -(f + n) / (f - n);
  m[11] = -1;
  m[14] = -2 * f * n / (f - n);
  return m;
}
std::vector<double> ortho(double l, double r, double b, double t, double n, double f) {
  std::vector<double> m(16, 0.0);
  m[0] = 2 / (r - l);
  m[5] = 2 / (t - b);
  m[10] = -2 / (f - n);
  m[12] = -(r + l) / (r - l);
  m[13] = -(t + b) / (t - b);
  m[14] = -(f + n) / (f - n);
  m[15] = 1;
  return m;
}

void expect_matrix(const matrix4_t& got, const std::vector<double>& want, double tol) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[i], want[i], tol) << "element " << i;
}

TEST(OutlineProjection, OrthographicPerspectiveAndTheNearPlaneLimit) {
  // zoom 20 px/cm, extent 10 cm, 400 x 300 client: the scene fits; no scroll.
  struct row {
    int32_t w, h, sx, sy, angle;
  };
  for (const row& c : {row{400, 300, 0, 0, 0}, row{400, 300, 0, 0, 40}, row{100, 80, 30, 50, 0},
                       row{100, 80, 30, 50, 30}, row{400, 300, 0, 0, 170}}) {
    SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h << " scroll " << c.sx << "," << c.sy << " angle "
                                      << c.angle);
    const double z = 20.0, e = 10.0, half = 5.0;
    const outline_projection_t p = outline_projection(z, e, c.w, c.h, c.sx, c.sy, c.angle);
    const double cw = c.w / z, ch = c.h / z;
    double l = -cw / 2, r = cw / 2, t = ch / 2, b = -ch / 2;
    if (e > cw) {
      l = c.sx / z - half;
      r = l + cw;
    }
    if (e > ch) {
      t = half - c.sy / z;
      b = t - ch;
    }
    if (c.angle == 0) {
      expect_matrix(p.projection, ortho(l, r, b, t, 0.0, e), 1e-12);
      EXPECT_DOUBLE_EQ(p.eye_distance, half);
    } else {
      const double d = half / std::tan(c.angle * M_PI / 360.0);
      const double k = d / 16 > d - half ? 16.0 : d / (d - half);
      if (c.angle == 170) { EXPECT_EQ(k, 16.0); }
      expect_matrix(p.projection, frustum(l / k, r / k, b / k, t / k, d / k, half + d), 1e-9);
      EXPECT_NEAR(p.eye_distance, d, 1e-12);
    }
  }
}

TEST(OutlineProjection, ModelviewTakesTheCentreToTheEyeDistanceAfterManyUpdates) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-5.0, 5.0);
  for (int i = 0; i < 1000; ++i) {
    vec3_t front{u(rng), u(rng), u(rng)}, right{u(rng), u(rng), u(rng)};
    if (!orthonormalise_orientation(front, right)) continue;
    const vec3_t c{u(rng), u(rng), u(rng)};
    const double d = std::fabs(u(rng)) + 0.1;
    const matrix4_t m = outline_modelview(d, c, front, right);
    const vec3_t up = vec3_cross(front, right);
    // Tz(-d) R T(-c) applied to c + a right + b up + g front.
    const double a = u(rng), bb = u(rng), g = u(rng);
    const vec3_t p = c + a * right + bb * up + g * front;
    vec3_t q;
    matrix4_transform_point(q, m, p);
    ASSERT_NEAR(q.x, a, 1e-9);
    ASSERT_NEAR(q.y, bb, 1e-9);
    ASSERT_NEAR(q.z, g - d, 1e-9);
  }
}

TEST(OutlineLights, DefaultDirectionAndStrengths) {
  const outline_lighting l = outline_lights(0.75, 0.25, -0.5, 0.1);
  EXPECT_NEAR(l.direction[0], 0.632, 5e-4);
  EXPECT_NEAR(l.direction[1], 0.632, 5e-4);
  EXPECT_NEAR(l.direction[2], 0.447, 5e-4);
  EXPECT_FLOAT_EQ(l.front, 0.9f * 0.75f);
  EXPECT_FLOAT_EQ(l.back, 0.25f * 0.9f);
  EXPECT_FLOAT_EQ(l.specular, 0.9f * 0.35f / 0.8f);
  // A light from behind (h = 1: z = cos(pi) < 0) strengthens the front light by 1 - z.
  const outline_lighting b = outline_lights(0.75, 1.0, 0.0, 0.1);
  EXPECT_NEAR(b.direction[2], -1.0, 1e-6);
  EXPECT_NEAR(b.front, 0.9 * 0.75 * 2.0, 1e-5);
}

TEST(OutlineOrientation, OrthonormalisesAndRefusesOrientationsWithoutRotation) {
  vec3_t f{0.0, 1.0, 2.0}, r{2.0, 0.0, 0.0};
  ASSERT_TRUE(orthonormalise_orientation(f, r));
  EXPECT_NEAR(r.x, 1.0, 1e-15);
  EXPECT_NEAR(f.y, 1.0 / std::sqrt(5.0), 1e-15);
  EXPECT_NEAR(f.z, 2.0 / std::sqrt(5.0), 1e-15);
  EXPECT_NEAR(f.x, 0.0, 1e-15);
  struct row {
    vec3_t f, r;
  };
  for (const row& c : {row{{1, 0, 0}, {3, 0, 0}}, row{{0, 0, 0}, {1, 0, 0}}, row{{0, 0, 1}, {0, 0, 0}}}) {
    vec3_t ff = c.f, rr = c.r;
    EXPECT_FALSE(orthonormalise_orientation(ff, rr));
    EXPECT_EQ(ff.x, c.f.x);
    EXPECT_EQ(rr.x, c.r.x);
  }
}

TEST(OutlineBounds, CentreAndExtent) {
  outline_bounds b;
  vec3_t c;
  double e = 0;
  b.result(c, e);
  EXPECT_EQ(e, 10.0);
  b.add({0, 0, 0});
  b.result(c, e);
  EXPECT_EQ(e, 10.0);  // a single point has no size
  b.add({4, 2, 0});
  b.add({0, 2, 0});
  b.add({4, 0, 0});
  b.result(c, e);
  EXPECT_DOUBLE_EQ(c.x, 2.0);
  EXPECT_DOUBLE_EQ(c.y, 1.0);
  EXPECT_DOUBLE_EQ(e, 3.0 * std::sqrt(5.0));
}

TEST(OutlineScroll, BarsPositionsAndDegenerateRanges) {
  // zoom 2, extent 10, xscale 0.1: L = 200 px.
  struct row {
    int32_t wf, hf, w, h;
    bool hbar, vbar;
  };
  for (const row& c : {row{300, 300, 300, 300, false, false}, row{150, 300, 150, 300, true, false},
                       row{300, 150, 300, 150, false, true}, row{210, 190, 195, 190, true, true},
                       row{190, 190, 175, 175, true, true}}) {
    const outline_scroll_layout s = outline_scroll(2.0, 10.0, 0.1, c.wf, c.hf, c.w, c.h, 0.5, 0.25);
    EXPECT_EQ(s.length, 200);
    EXPECT_EQ(s.hbar, c.hbar) << c.wf << "x" << c.hf;
    EXPECT_EQ(s.vbar, c.vbar) << c.wf << "x" << c.hf;
    EXPECT_EQ(s.hpos, static_cast<int32_t>((200 - c.w) * 0.5 + 0.5));
    EXPECT_EQ(s.vpos, static_cast<int32_t>((200 - c.h) * 0.25 + 0.5));
  }
  EXPECT_DOUBLE_EQ(outline_scroll_fraction(25, 150, 100), 0.5);
  EXPECT_DOUBLE_EQ(outline_scroll_fraction(0, 100, 100), 0.5);  // range equal to the client: no division by 0
  EXPECT_DOUBLE_EQ(outline_scroll_fraction(0, 80, 100), 0.5);
  EXPECT_EQ(outline_scroll_offset(200, 100, 1.0), 100);
  EXPECT_EQ(outline_scroll_offset(200, 300, 1.0), 0);
  EXPECT_EQ(outline_scroll_offset(200, 100, 0.337), 33);
}

TEST(OutlineWheel, ANotchInAndOutRestoresTheZoomAndTheAngleStaysInRange) {
  for (int32_t S : {1, 5, 20}) {
    const double z = outline_wheel_zoom(outline_wheel_zoom(1.7, S, 120, 120), S, -120, 120);
    EXPECT_NEAR(z, 1.7, 1e-12) << S;
    EXPECT_NEAR(outline_wheel_zoom(1.7, S, 120, 120), 1.7 * (1 + S / 100.0), 1e-12);
  }
  EXPECT_EQ(outline_wheel_angle(40, 5, 120, 120), 35);
  EXPECT_EQ(outline_wheel_angle(2, 5, 120, 120), 0);
  EXPECT_EQ(outline_wheel_angle(88, 5, -120, 120), 90);
}

TEST(OutlineTextures, PaddedSizes) {
  const int32_t cases[][2] = {{0, 1}, {1, 1}, {2, 2}, {3, 4}, {480, 512}, {512, 512}, {513, 1024}, {640, 1024}};
  for (const auto& c : cases) EXPECT_EQ(texture_padded_size(c[0]), c[1]) << c[0];
}

// Texel (x, y) of a w-wide buffer as a number: x + 1000 y + 1, padding 0.
std::vector<uint8_t> numbered(int32_t w, int32_t h) {
  std::vector<uint8_t> b(static_cast<size_t>(w) * h * 4);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* p = &b[(static_cast<size_t>(y) * w + x) * 4];
      p[0] = static_cast<uint8_t>(x);
      p[1] = static_cast<uint8_t>(y);
      p[2] = 7;
      p[3] = 200;
    }
  return b;
}

TEST(OutlineTextures, ARefusedUploadShrinksOnceByTheTextureShape) {
  const uint8_t pad[4] = {51, 25, 25, 255};
  struct row {
    int32_t w, h, w2, h2;
  };
  for (const row& c : {row{16, 8, 8, 8}, row{8, 16, 8, 8}, row{16, 16, 8, 8}, row{8, 32, 8, 16}}) {
    std::vector<uint8_t> b = numbered(c.w, c.h);
    int32_t w = c.w, h = c.h;
    int calls = 0;
    const texture_upload_result r = upload_texture_with_retry(
        [&](int32_t uw, int32_t uh, const uint8_t*) {
          ++calls;
          return uw * uh < c.w * c.h;
        },
        b, w, h, pad);
    EXPECT_EQ(r, texture_upload_result::partial);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(w, c.w2) << c.w << "x" << c.h;
    EXPECT_EQ(h, c.h2) << c.w << "x" << c.h;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const uint8_t* p = &b[(static_cast<size_t>(y) * w + x) * 4];
        const bool tall = c.h > c.w, square = c.h == c.w;
        const bool padding = tall ? y == h - 1 : square ? (x == w - 1 || y == h - 1) : x == w - 1;
        if (padding) {
          EXPECT_EQ(p[0], 51) << x << "," << y;
          EXPECT_EQ(p[3], 255);
        } else {
          EXPECT_EQ(p[0], x) << x << "," << y;
          EXPECT_EQ(p[1], y) << x << "," << y;
        }
      }
  }
  std::vector<uint8_t> b = numbered(4, 4);
  int32_t w = 4, h = 4;
  EXPECT_EQ(upload_texture_with_retry([](int32_t, int32_t, const uint8_t*) { return false; }, b, w, h, pad),
            texture_upload_result::failed);
}

TEST(OutlineContours, TheWalkGivesEveryContourWithVerticesItsOwnRange) {
  contour_object objects[3];
  auto contour = [](int n, double x0) {
    contour_t c;
    for (int i = 0; i < n; ++i) c.vertices.push_back({x0 + i, 2.0 * i});
    return c;
  };
  objects[0].add_contour(0, contour(3, 10));
  objects[2].add_contour(0, contour(1, 20));  // one vertex
  objects[1].add_contour(1, contour(4, 30));
  objects[0].add_contour(2, contour(0, 40));  // no vertex
  objects[0].add_contour(2, contour(2, 50));
  std::vector<int32_t> firsts;
  std::vector<double> x0;
  walk_contours(objects, 3, 3, [&](int32_t, int32_t, const contour_t& c, int32_t first) {
    firsts.push_back(first);
    x0.push_back(c.vertices.empty() ? -1 : c.vertices[0].x);
  });
  EXPECT_EQ(firsts, (std::vector<int32_t>{0, 3, 4, 8, 8}));
  const std::vector<float> v = contour_buffer_vertices(objects, 3, 3, 0.5, 0.25);
  ASSERT_EQ(v.size(), 2u * 10);
  for (size_t k = 0; k < firsts.size(); ++k) {
    if (x0[k] < 0) continue;
    EXPECT_FLOAT_EQ(v[2 * firsts[k]], static_cast<float>(x0[k] * 0.5)) << k;
  }
  // Frames past the count are not walked.
  int visits = 0;
  walk_contours(objects, 3, 2, [&](int32_t, int32_t, const contour_t&, int32_t) { ++visits; });
  EXPECT_EQ(visits, 3);
}

TEST(OutlineMarks, SoftColoursSpineCentresAndMarkerRadius) {
  const double white[3] = {1, 1, 1}, black[3] = {0, 0, 0};
  double out[3];
  outline_soft_colour(white, out);
  EXPECT_DOUBLE_EQ(out[0], 1 / 1.5);
  outline_soft_colour(black, out);
  EXPECT_DOUBLE_EQ(out[0], 2.0 / 3.0);
  EXPECT_DOUBLE_EQ(outline_marker_radius(20, 0.1, 2.0, false, -7, 3), 0.1);
  EXPECT_DOUBLE_EQ(outline_marker_radius(20, 0.1, 2.0, true, -6, 3), 0.2);

  landmarks marks;
  marks.set_spine_landmark({0, 0, 0}, 0, 3);
  marks.set_spine_landmark({1, 2, 0}, 1, 3);
  marks.set_spine_landmark({4, 0, 0}, 2, 3);
  marks.set_spine_landmark({0, 0, 5}, 0, 4);
  marks.set_spine_landmark({2, 0, 5}, 2, 4);
  marks.set_spine_landmark({7, 7, 7}, 1, 6);
  const outline_spine_geometry g = outline_spine(marks, 3, 4);
  ASSERT_EQ(g.polyline.size(), 1u);
  EXPECT_DOUBLE_EQ(g.polyline[0].x, 1.0);  // the foot of the spinous process on the laminae's line
  EXPECT_DOUBLE_EQ(g.polyline[0].y, 0.0);
  ASSERT_EQ(g.labels.size(), 3u);
  EXPECT_DOUBLE_EQ(g.labels[1].p.x, 1.0);  // midpoint of the laminae at level 4
  EXPECT_DOUBLE_EQ(g.labels[1].p.z, 5.0);
  EXPECT_EQ(g.labels[2].level, 6);
  EXPECT_TRUE(g.have_a);
  EXPECT_FALSE(g.have_b);  // level 4 has no spinous process
  EXPECT_EQ(g.lines.size(), 2u);
}

TEST(OutlineMarks, ThicknessLineSideLinesAndFittedPositions) {
  thickness e;
  e.valid = true;
  e.point[0] = 10;
  e.point[1] = 20;
  e.point[2] = 2;
  e.direction[0] = 0;
  e.direction[1] = 0;
  e.direction[2] = 1;
  e.line_length = 1.0;
  e.inside_fraction = 0.25;
  e.line_width = 1;
  e.outer_edge = 0.1;
  e.inner_edge = 0.3;
  e.endo_end = 0.4;  // beyond the inner edge: both pink
  matrix4_t world;
  matrix4_translation(world, 5, 0, 0);
  for (bool flip : {false, true}) {
    const outline_thickness_geometry g = outline_thickness_line(e, world, flip, 0.1, 0.2);
    const double s = flip ? -1 : 1;
    const vec3_t c{5 + 1.0, 4.0, s * 0.2};
    EXPECT_EQ(g.side_lines.size(), 5u);  // (0,0) and the four unit steps
    EXPECT_NEAR(g.main.a.z, c.z + s * 0.25, 1e-12);
    EXPECT_NEAR(g.main.b.z, c.z - s * 0.75, 1e-12);
    EXPECT_NEAR(g.main.a.x, c.x, 1e-12);
    ASSERT_EQ(g.markers.size(), 3u);
    const double at[3] = {0.1, 0.3, 0.4};
    for (int k = 0; k < 3; ++k) {
      EXPECT_NEAR(g.markers[k].p.z, c.z + s * (0.25 - at[k]), 1e-12) << k;
      EXPECT_EQ(g.markers[k].pink, k > 0);
    }
  }
  e.endo_end = 0.2;  // not beyond: only the inner edge, in red
  const outline_thickness_geometry g = outline_thickness_line(e, world, false, 0.1, 0.2);
  ASSERT_EQ(g.markers.size(), 2u);
  EXPECT_FALSE(g.markers[1].pink);
}

}  // namespace
