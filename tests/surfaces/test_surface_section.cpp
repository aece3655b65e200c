// Sections and scanline crossings of a hand-made cube, on planes given
// directly with their own pixel mapping.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "data/contour.h"
#include "surfaces/surface_section.h"
#include "surfaces/surface_interp.h"

namespace {

const int CUBE_FACES[12][3] = {{0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7}, {0, 1, 5}, {0, 5, 4},
                               {3, 6, 2}, {3, 7, 6}, {0, 4, 7}, {0, 7, 3}, {1, 2, 6}, {1, 6, 5}};

// Cube of side 1 cm centred on the origin.
void set_cube(surface_interp& s) {
  s.mesh.n_points = 8;
  s.mesh.points = new surface_point[8];
  for (int k = 0; k < 8; ++k) {
    const int x = (k == 1 || k == 2 || k == 5 || k == 6), y = (k == 2 || k == 3 || k == 6 || k == 7);
    s.mesh.points[k].x = x - 0.5, s.mesh.points[k].y = y - 0.5, s.mesh.points[k].z = (k >= 4) - 0.5;
  }
  s.mesh.n_triangles = 12;
  s.mesh.triangles = new surface_triangle[12];
  for (int f = 0; f < 12; ++f)
    s.mesh.triangles[f] = {CUBE_FACES[f][0], CUBE_FACES[f][1], CUBE_FACES[f][2], 2};
}

// The plane z = z0, 10 px per cm, the cube's centre at pixel (50.25, 50)
// (off the half pixel, so that no crossing falls on a rounding edge),
// shifted by `far` pixels in y.
section_plane plane_z(double z0, double far = 0) {
  section_plane p;
  p.normal = {0, 0, 1};
  p.d = -z0;
  p.to_pixels = [far](const vec3_t& w) { return vec2_t{w.x * 10 + 50.25, w.y * 10 + 50 + far}; };
  return p;
}

}  // namespace

TEST(SurfaceSection, CubeCutAcrossGivesItsSquare) {
  surface_interp s;
  set_cube(s);
  const auto sec = plane_cross_section(s, plane_z(0.1), 1, 0.1);
  ASSERT_EQ(sec->contours.size(), 1u);
  const contour_t& c = sec->contours[0];
  EXPECT_TRUE(c.closed);
  EXPECT_LE(c.vertices.size(), 5u);  // the side faces' diagonals mostly simplified away
  EXPECT_NEAR(std::fabs(c.area()), 100.0, 1e-9);
  for (const vec2_t& v : c.vertices)
    EXPECT_NEAR(std::max(std::fabs(v.x - 50.25), std::fabs(v.y - 50)), 5.0, 1e-9);
  EXPECT_EQ(sec->frame, -1);
  // Divisor 2: every coordinate halved.
  const auto half = plane_cross_section(s, plane_z(0.1), 2, 0.05);
  ASSERT_EQ(half->contours.size(), 1u);
  EXPECT_NEAR(std::fabs(half->contours[0].area()), 25.0, 1e-9);
}

// Rows 0..99: the square spans pixel rows 45..54 (centres 45.5..54.5 lie
// within y 45..55); its sides, at x 45.25 and 55.25 less the half pixel,
// give trunc(44.75 + 0.5) = 45 and trunc(54.75 + 0.5) = 55.
TEST(SurfaceSection, CubeScanlineCrossings) {
  surface_interp s;
  set_cube(s);
  const auto rows = scanline_crossings(s, plane_z(0.1), 100, 1);
  ASSERT_EQ(rows.size(), 100u);
  for (int r = 0; r < 100; ++r) {
    if (r >= 45 && r <= 54)
      EXPECT_EQ(rows[r], (std::vector<int32_t>{45, 55})) << r;
    else
      EXPECT_TRUE(rows[r].empty()) << r;
  }
  // Row step 2: rows 0, 2, .., 98 as 50 lists; x in units of 2 pixels.
  const auto even = scanline_crossings(s, plane_z(0.1), 50, 2);
  EXPECT_EQ(even[23], (std::vector<int32_t>{22, 27}));  // trunc(44.75/2 + .5), trunc(54.75/2 + .5)
  EXPECT_TRUE(even[22].empty());                        // row 44
}

TEST(SurfaceSection, PlaneMissingTheMeshOrFarOffTheImage) {
  surface_interp s;
  set_cube(s);
  EXPECT_TRUE(plane_cross_section(s, plane_z(2.0), 1, 0.1)->contours.empty());
  for (const auto& row : scanline_crossings(s, plane_z(2.0), 100, 1)) EXPECT_TRUE(row.empty());
  // A section 1e12 rows below the image: only the image's rows are visited
  // (walking every row the triangles span would not end).
  const auto rows = scanline_crossings(s, plane_z(0.1, 1e12), 100, 1);
  for (const auto& row : rows) EXPECT_TRUE(row.empty());
  // An empty surface gives empty rows.
  surface_interp empty;
  EXPECT_EQ(scanline_crossings(empty, plane_z(0.1), 7, 1).size(), 7u);
  EXPECT_TRUE(plane_cross_section(empty, plane_z(0.1), 1, 0.1)->contours.empty());
}
