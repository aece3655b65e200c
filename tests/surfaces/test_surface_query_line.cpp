// The line probe: every crossing of a line with a mesh, against a brute
// force Moller-Trumbore over every triangle, with its texts and limits.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "data/objects.h"
#include "registry/res_values.h"
#include "surfaces/surface_interp.h"
#include "tools/headless_session.h"

namespace {

constexpr double PI = 3.141592653589793;

// A mesh from a (u, v) grid: point(u, v) and normal(u, v) for u in 0..nu,
// v in 0..nv, wrapped in v; wrap_u wraps u too (a torus), else rows 0 and
// nu are single poles (a sphere).
template <class P>
void set_grid_mesh(surface_interp& s, int nu, int nv, bool wrap_u, P point) {
  std::vector<surface_point> pts;
  std::vector<surface_triangle> tris;
  auto add = [&](const vec3_t& p, const vec3_t& n) {
    surface_point q;
    q.x = p.x, q.y = p.y, q.z = p.z, q.nx = n.x, q.ny = n.y, q.nz = n.z;
    pts.push_back(q);
    return int32_t(pts.size() - 1);
  };
  std::vector<std::vector<int32_t>> id(size_t(nu + 1), std::vector<int32_t>(size_t(nv)));
  for (int i = 0; i <= nu; ++i) {
    if (!wrap_u && (i == 0 || i == nu)) {
      vec3_t p, n;
      point(i, 0, p, n);
      const int32_t k = add(p, n);
      for (int j = 0; j < nv; ++j) id[i][j] = k;
      continue;
    }
    if (wrap_u && i == nu) {
      id[i] = id[0];
      continue;
    }
    for (int j = 0; j < nv; ++j) {
      vec3_t p, n;
      point(i, j, p, n);
      id[i][j] = add(p, n);
    }
  }
  for (int i = 0; i < nu; ++i)
    for (int j = 0; j < nv; ++j) {
      const int32_t a = id[i][j], b = id[i + 1][j], c = id[i + 1][(j + 1) % nv], d = id[i][(j + 1) % nv];
      if (a != b && b != c && a != c) tris.push_back({a, b, c, 0});
      if (a != c && c != d && a != d) tris.push_back({a, c, d, 0});
    }
  delete[] s.mesh.points;
  delete[] s.mesh.triangles;
  s.mesh.n_points = int32_t(pts.size());
  s.mesh.points = new surface_point[pts.size()];
  std::copy(pts.begin(), pts.end(), s.mesh.points);
  s.mesh.n_triangles = int32_t(tris.size());
  s.mesh.triangles = new surface_triangle[tris.size()];
  std::copy(tris.begin(), tris.end(), s.mesh.triangles);
}

void make_sphere(surface_interp& s, double r, const vec3_t& c) {
  set_grid_mesh(s, 12, 16, false, [&](int i, int j, vec3_t& p, vec3_t& n) {
    const double th = PI * i / 12, ph = 2 * PI * j / 16;
    n = {std::sin(th) * std::cos(ph), std::sin(th) * std::sin(ph), std::cos(th)};
    p = c + n * r;
  });
}

void make_torus(surface_interp& s, double R, double r) {
  set_grid_mesh(s, 20, 14, true, [&](int i, int j, vec3_t& p, vec3_t& n) {
    const double u = 2 * PI * i / 20, v = 2 * PI * j / 14;
    n = {std::cos(v) * std::cos(u), std::cos(v) * std::sin(u), std::sin(v)};
    p = {(R + r * std::cos(v)) * std::cos(u), (R + r * std::cos(v)) * std::sin(u), r * std::sin(v)};
  });
}

// Brute force: Moller-Trumbore on the infinite line a + t (b - a) for every
// triangle; depths in mm from a, sorted, duplicates within 1e-9 dropped.
std::vector<double> brute_depths(const surface_interp& s, const vec3_t& a, const vec3_t& b) {
  const vec3_t d = b - a;
  const double len = vec3_length(d);
  std::vector<double> out;
  for (int32_t k = 0; k < s.mesh.n_triangles; ++k) {
    const surface_triangle& t = s.mesh.triangles[k];
    const surface_point &P0 = s.mesh.points[t.a], &P1 = s.mesh.points[t.b], &P2 = s.mesh.points[t.c];
    const vec3_t v0{P0.x, P0.y, P0.z}, v1{P1.x, P1.y, P1.z}, v2{P2.x, P2.y, P2.z};
    const vec3_t e1 = v1 - v0, e2 = v2 - v0;
    const vec3_t p = vec3_cross(d, e2);
    const double det = vec3_dot(e1, p);
    if (std::fabs(det) < 1e-15) continue;
    const vec3_t tv = a - v0;
    const double u = vec3_dot(tv, p) / det;
    if (u < -1e-12 || u > 1 + 1e-12) continue;
    const vec3_t q = vec3_cross(tv, e1);
    const double v = vec3_dot(d, q) / det;
    if (v < -1e-12 || u + v > 1 + 1e-12) continue;
    out.push_back(vec3_dot(e2, q) / det * 10.0 * len);
  }
  std::sort(out.begin(), out.end());
  std::vector<double> merged;
  for (double x : out)
    if (merged.empty() || std::fabs(x - merged.back()) > 1e-9) merged.push_back(x);
  return merged;
}

class QueryLine : public ::testing::Test {
 protected:
  headless_session session_;
};

TEST_F(QueryLine, MatchesBruteForceOnASphereAndATorus) {
  surface_interp sphere(3), torus(4);
  make_sphere(sphere, 1.0, {0.2, -0.1, 0.3});
  make_torus(torus, 2.0, 0.6);
  std::mt19937 rng(43);
  std::uniform_real_distribution<double> box(-3.0, 3.0);
  int lines_with_hits = 0;
  for (const surface_interp* s : {&sphere, &torus})
    for (int n = 0; n < 1500; ++n) {
      const vec3_t a{box(rng), box(rng), box(rng)}, b{box(rng), box(rng), box(rng)};
      line_probe_hits hits;
      s->query_line(a, b, hits, 0.0);
      const std::vector<double> want = brute_depths(*s, a, b);
      ASSERT_EQ(hits.size(), want.size()) << "line " << n << " object " << s->object;
      lines_with_hits += !want.empty();
      for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_NEAR(hits.depths[i], want[i], 1e-9);
        // The point lies on the line at that depth, on the mesh's object.
        const vec3_t on = a + (b - a) * (want[i] / 10.0 / vec3_length(b - a));
        EXPECT_NEAR(vec3_length(hits.points[i] - on), 0.0, 1e-9);
        EXPECT_EQ(hits.objects[i], s->object);
        EXPECT_NEAR(vec3_length(hits.normals[i]), 1.0, 1e-12);
        if (i > 0) EXPECT_LT(hits.depths[i - 1], hits.depths[i]);
      }
    }
  EXPECT_GT(lines_with_hits, 500);
}

TEST_F(QueryLine, ALineThroughASharedVertexGivesOneEntryAndTwoSurfacesSortTogether) {
  surface_interp sphere(0), other(1);
  make_sphere(sphere, 1.0, {0, 0, 0});
  make_sphere(other, 1.0, {0, 0, 5});
  // Along z through both poles of each sphere: the poles are shared by 16 triangles.
  line_probe_hits hits;
  sphere.query_line({0, 0, -3}, {0, 0, -2}, hits, 0.0);
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_NEAR(hits.depths[0], 20.0, 1e-9);
  EXPECT_NEAR(hits.depths[1], 40.0, 1e-9);
  other.query_line({0, 0, -3}, {0, 0, -2}, hits, 0.0);
  ASSERT_EQ(hits.size(), 4u);
  const double want[4] = {20, 40, 70, 90};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(hits.depths[i], want[i], 1e-9);
    EXPECT_EQ(hits.objects[i], i < 2 ? 0 : 1);
  }
  // A line lying in the plane of a square's two triangles meets neither.
  surface_interp square(2);
  square.mesh.n_points = 4;
  square.mesh.points = new surface_point[4];
  const double xy[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (int k = 0; k < 4; ++k) square.mesh.points[k].x = xy[k][0], square.mesh.points[k].y = xy[k][1];
  square.mesh.n_triangles = 2;
  square.mesh.triangles = new surface_triangle[2]{{0, 1, 2, 0}, {0, 2, 3, 0}};
  line_probe_hits in_plane, across;
  square.query_line({-1, 0.3, 0}, {2, 0.3, 0}, in_plane, 0.0);
  EXPECT_TRUE(in_plane.empty());
  square.query_line({0.3, 0.6, -1}, {0.3, 0.6, 1}, across, 0.0);
  EXPECT_EQ(across.size(), 1u);
}

TEST_F(QueryLine, TextsAndTheMeasuringLineLimit) {
  resource_table_t& t = *resource_table;
  contour_object* objects = t.RES_OBJECT->read();
  objects[5].name = "Femur";
  surface_interp s(5);
  make_sphere(s, 1.0, {0, 0, 0});
  line_probe_hits plain;
  // From 3 cm below the centre: the crossings at 20 and 40 mm.
  s.query_line({0.01, 0.02, -3}, {0.01, 0.02, -2}, plain, 0.0);
  ASSERT_EQ(plain.size(), 2u);
  EXPECT_TRUE(plain.texts[0].StartsWith(wxString::Format("Femur (%.2lf mm down): tri ", plain.depths[0])))
      << plain.texts[0];
  // With thickness values: the displayed kind's text of the blended value.
  s.smoothed_thickness.assign(size_t(s.mesh.n_points), 2.5);
  t.RES_DICOM_UNITS->write("HU");
  struct row {
    int32_t kind;
    const char* text;
  };
  for (const row& r : {row{0, "cortical thickness 2.50 mm"}, row{2, "cortical density 2.50 HU"},
                       row{1, "cortical mass surface density 2.50 HUmm"}, row{9, "offset from surface 2.50 mm"},
                       row{12, ""}}) {
    t.RES_THICKNESS_DISP_MAP->write(r.kind);
    line_probe_hits h;
    s.query_line({0.01, 0.02, -3}, {0.01, 0.02, -2}, h, 0.0);
    ASSERT_EQ(h.size(), 2u);
    EXPECT_EQ(h.texts[1], wxString::Format("Femur (%.2lf mm down): ", h.depths[1]) + r.text);
  }
  // Bounded by a 1.8 cm measuring line: the crossing at 20 mm is beyond it,
  // the one from 1.5 cm below the centre (5 mm) is not.
  t.RES_THICKNESS_LINE->write(1.8);
  line_probe_hits far, near;
  s.query_line({0.01, 0.02, -3}, {0.01, 0.02, -2}, far, 5.0);
  EXPECT_TRUE(far.empty());
  s.query_line({0.01, 0.02, -1.5}, {0.01, 0.02, -0.5}, near, 5.0);
  ASSERT_EQ(near.size(), 1u);
  EXPECT_NEAR(near.depths[0], 5.0, 0.1);
}

}  // namespace
