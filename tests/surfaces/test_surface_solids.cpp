// Meshes interpolated from contours cut from known solids: closed (after
// welding the cap rims' duplicate vertices), wound one way with the normals
// pointing out, and enclosing the solid's volume.
#include <gtest/gtest.h>

#include <functional>

#include "common/log_capture.h"
#include "surfaces/surface_interp.h"
#include "surface_test_support.h"

using namespace surface_test;

namespace {

constexpr double PIXEL = 0.01;  // cm
constexpr double CM3 = PIXEL * PIXEL * PIXEL;

matrix4_t frame_at_z(double z_px) { return frame({1, 0, 0}, {0, 1, 0}, {0, 0, z_px * PIXEL}); }

// Volume between parallel circular sections whose radius changes linearly
// from plane to plane: a stack of frusta (pixels^3).
double frusta_volume(const std::vector<std::pair<double, double>>& z_r) {
  double v = 0.0;
  for (size_t i = 1; i < z_r.size(); ++i) {
    const double h = z_r[i].first - z_r[i - 1].first, a = z_r[i - 1].second, b = z_r[i].second;
    v += PI * h / 3 * (a * a + a * b + b * b);
  }
  return v;
}

struct solid_case {
  const char* name;
  solid_cut cut;
  double z_scale;     // cm, 0 for freehand frames
  double low, high;   // accepted volume range, cm^3
};

// Sphere of radius 30 px cut every 6 px; the mesh runs from the first to the
// last plane, so the reference is the stack of frusta through the sections
// (about 0.3 % below the sphere segment) scaled to the 96-gon sections. The
// grid step of 2 px rounds the rims by up to a pixel: 1.5 % covers it.
solid_case sphere_parallel() {
  solid_case c{"sphere, parallel frames", {}, 6 * PIXEL, 0, 0};
  std::vector<std::pair<double, double>> z_r;
  int f = 0;
  for (double z = -27; z < 30; z += 6, ++f) {
    const double r = std::sqrt(900 - z * z);
    c.cut.add(frame_at_z(z), f).contours.push_back(circle(100, 100, r));
    z_r.emplace_back(z, r);
  }
  const double v = frusta_volume(z_r) * CM3 * polygon_area(1) / PI;
  c.low = 0.985 * v, c.high = 1.015 * v;
  return c;
}

// The same sphere (centre 150 px from the axis) by a fan of frames turning
// about the world x axis, 0.04 rad apart. The fan holds the sphere less the
// two caps beyond its end planes; linear interpolation between tilted
// planes cuts the sections' bulge (about 2 % here), so 3 % is allowed.
solid_case sphere_fan() {
  solid_case c{"sphere, fan of freehand frames", {}, 0.0, 0, 0};
  const double R = 30, D = 150;
  int f = 0;
  for (int k = 0; k <= 9; ++k, ++f) {
    const double t = -0.18 + 0.04 * k;
    const matrix4_t m = frame({1, 0, 0}, {0, std::cos(t), std::sin(t)}, {0, 0, 0});
    const double r = std::sqrt(R * R - D * D * std::sin(t) * std::sin(t));
    c.cut.add(m, f).contours.push_back(circle(100, D * std::cos(t) / 1.0, r));
  }
  const double h = R - D * std::sin(0.18);
  const double v = (4.0 / 3 * PI * R * R * R - 2 * PI * h * h * (3 * R - h) / 3) * CM3;
  c.low = 0.97 * v, c.high = 1.03 * v;
  return c;
}

// The parallel sphere's frames as a freehand sweep in which every other frame
// faces the other way (x axis reversed): consecutive normals cancel, and the
// slab between them must still get a grid.
solid_case sphere_turning_frames() {
  solid_case c = sphere_parallel();
  c.name = "sphere, frames facing opposite ways";
  c.z_scale = 0.0;
  int f = 0;
  for (plane_source& p : c.cut.planes) {
    if (f++ % 2 == 0) continue;
    const double z = p.transform[14];
    p.transform = frame({-1, 0, 0}, {0, 1, 0}, {200 * PIXEL, 0, z});
  }
  return c;
}

// Cylinder r = 20 px, 7 frames 5 px apart: exactly pi r^2 h of the polygon.
solid_case cylinder() {
  solid_case c{"cylinder", {}, 5 * PIXEL, 0, 0};
  for (int f = 0; f < 7; ++f) c.cut.add(frame_at_z(5 * f), f).contours.push_back(circle(80, 90, 20));
  const double v = polygon_area(20) * 30 * CM3;
  c.low = 0.985 * v, c.high = 1.015 * v;
  return c;
}

// Two separate discs on every frame: two cylinders.
solid_case two_discs() {
  solid_case c{"two separate discs", {}, 5 * PIXEL, 0, 0};
  for (int f = 0; f < 6; ++f) {
    frame_contours_t& e = c.cut.add(frame_at_z(5 * f), f);
    e.contours.push_back(circle(60, 100, 12));
    e.contours.push_back(circle(130, 100, 12));
  }
  // Smaller discs: the pixel of rim rounding weighs more.
  const double v = 2 * polygon_area(12) * 25 * CM3;
  c.low = 0.98 * v, c.high = 1.02 * v;
  return c;
}

// A disc that branches into two smaller discs: below the branching slab the
// big cylinder, above it the two small ones; the slab itself holds between
// the small and the big sections.
solid_case branching() {
  solid_case c{"branching solid", {}, 6 * PIXEL, 0, 0};
  for (int f = 0; f < 10; ++f) {
    frame_contours_t& e = c.cut.add(frame_at_z(6 * f), f);
    if (f < 5) {
      e.contours.push_back(circle(100, 100, 20));
    } else {
      e.contours.push_back(circle(88, 100, 8));
      e.contours.push_back(circle(112, 100, 8));
    }
  }
  const double big = polygon_area(20), small = 2 * polygon_area(8);
  const double fixed = 4 * 6 * big + 4 * 6 * small;
  c.low = 0.97 * (fixed + 6 * small) * CM3, c.high = 1.03 * (fixed + 6 * big) * CM3;
  return c;
}

}  // namespace

TEST(SurfaceSolids, MeshesAreClosedOrientedAndHoldTheSolidsVolume) {
  const std::vector<std::function<solid_case()>> makers = {sphere_parallel, sphere_fan,
                                                           sphere_turning_frames, cylinder,
                                                           two_discs, branching};
  for (int connect : {0, 3}) {
    for (const auto& make : makers) {
      solid_case c = make();
      SCOPED_TRACE(std::string(c.name) + ", connect " + std::to_string(connect));
      interp_settings set;
      set.x_scale = set.y_scale = PIXEL;
      set.z_scale = c.z_scale;
      set.step = 2;
      set.connect = connect;
      set.expert_mode = true;
      log_capture log;
      surface_interp s;
      ASSERT_TRUE(s.interpolate(c.cut.planes, set));
      EXPECT_EQ(log.records().size(), 0u) << log.records()[0].text;
      const mesh_report r = check_mesh(s);
      ASSERT_GT(s.mesh.n_triangles, 100);
      EXPECT_EQ(r.degenerate, 0);
      EXPECT_EQ(r.open_edges, 0);
      EXPECT_EQ(r.misoriented_edges, 0);
      EXPECT_TRUE(s.closed);
      EXPECT_GT(r.signed_volume, 0.0) << "normals point inwards";
      EXPECT_NEAR(s.volume, r.signed_volume, 1e-9 * std::fabs(r.signed_volume));
      if (std::string(c.name).find("sphere") == 0) {
        // Vertex normals point away from the sphere's centre (the box centre).
        int outward = 0;
        for (int32_t i = 0; i < s.mesh.n_points; ++i) {
          const surface_point& p = s.mesh.points[i];
          outward += vec3_dot(vec3_t{p.nx, p.ny, p.nz},
                              vec3_t{p.x, p.y, p.z} - s.box_centre) > 0;
        }
        EXPECT_GT(outward, 0.98 * s.mesh.n_points);
      }
      EXPECT_GE(s.volume, c.low);
      EXPECT_LE(s.volume, c.high);
    }
  }
}
