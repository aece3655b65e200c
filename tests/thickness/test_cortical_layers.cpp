// Surfaces made from a mapped cortex: each layer choice at its analytic
// radius on an icosphere of constant thickness and offset, the shell's
// volume, caps over an open hemisphere, and a duplicate vertex in a kept
// triangle.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <tuple>

#include "mapping_test_support.h"
#include "surfaces/surface_build.h"
#include "tools/headless_session.h"

using namespace mapping_test;

namespace {

// Per-vertex results: thickness 2 mm, offset 1 mm, gaps 0.5 mm when asked.
void map_cortex(surface_interp& s, bool gaps) {
  const size_t n = size_t(s.mesh.n_points);
  s.cortical_thickness.assign(n, 2.0);
  s.surface_offset.assign(n, 1.0);
  s.fit_error.assign(n, 0.1);
  s.smoothed_thickness.assign(n, 2.0);
  s.density.assign(n, 1200.0);
  if (gaps) {
    s.outer_gap.assign(n, 0.5), s.outer_gap_error.assign(n, 0.2);
    s.inner_gap.assign(n, 0.5), s.inner_gap_error.assign(n, 0.3);
    s.outer_density.assign(n, 300.0), s.inner_density.assign(n, 600.0);
  }
}

// Undirected edges not shared by exactly two triangles, vertices at the
// same place counted as one.
int open_edges(const surface_interp& s) {
  std::map<std::tuple<double, double, double>, int> first;
  std::vector<int> weld(size_t(s.mesh.n_points));
  for (int32_t i = 0; i < s.mesh.n_points; ++i) {
    const surface_point& p = s.mesh.points[i];
    weld[size_t(i)] = first.emplace(std::make_tuple(p.x, p.y, p.z), i).first->second;
  }
  std::map<std::pair<int, int>, int> edges;
  for (int32_t k = 0; k < s.mesh.n_triangles; ++k) {
    const surface_triangle& t = s.mesh.triangles[k];
    const int v[3] = {weld[size_t(t.a)], weld[size_t(t.b)], weld[size_t(t.c)]};
    for (int e = 0; e < 3; ++e) ++edges[{std::min(v[e], v[(e + 1) % 3]), std::max(v[e], v[(e + 1) % 3])}];
  }
  int open = 0;
  for (const auto& e : edges) open += e.second != 2;
  return open;
}

double radius(const surface_point& p) { return std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z); }

class CorticalLayers : public ::testing::Test {
 protected:
  void SetUp() override {
    t.RES_THICKNESS_SMOOTH->write(0);
    t.RES_THICKNESS_DISP_MAP->write(0);
    t.RES_THICKNESS_CREATE_CAPS->write(false);
    base_res_t::make_pending_writes_happen();
  }
  void TearDown() override {
    delete t.RES_SURFACE[0]->read();
    t.RES_SURFACE[0]->write(nullptr);
    base_res_t::make_pending_writes_happen();
  }
  surface_interp* source(surface_interp* s) {
    t.RES_SURFACE[0]->write(s);
    base_res_t::make_pending_writes_happen();
    return s;
  }
  std::unique_ptr<surface_interp> layers(long outer, long inner, bool caps = false) {
    t.RES_THICKNESS_CREATE_OUTER->write(outer);
    t.RES_THICKNESS_CREATE_INNER->write(inner);
    t.RES_THICKNESS_CREATE_CAPS->write(caps);
    base_res_t::make_pending_writes_happen();
    return std::unique_ptr<surface_interp>(build_cortical_layer_surface(1, 0, 0, nullptr));
  }

  headless_session session;
  resource_table_t& t = *resource_table;
};

TEST_F(CorticalLayers, EachChoiceAtItsRadius) {
  struct row {
    long outer, inner;
    bool gaps, reversed;
    double r1, r2;  // radius of the first layer, of the second (0: one layer)
  } rows[] = {
      {2, 0, true, false, 1.1, 0},      {0, 3, true, false, 0.9, 0},
      {1, 0, true, false, 1.15, 0},     {0, 4, true, false, 0.85, 0},
      {1, 0, false, false, 1.1, 0},     {0, 4, false, false, 0.9, 0},
      {2, 3, true, false, 1.1, 0.9},    {1, 4, true, false, 1.15, 0.85},
      {2, 0, true, true, 0.9, 0},       {2, 3, false, true, 0.9, 1.1},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.outer << " " << r.inner << " " << r.gaps << " " << r.reversed);
    surface_interp* src = new surface_interp(0);
    icosphere_mesh(*src, 1.0, 2);
    map_cortex(*src, r.gaps);
    src->reversed = r.reversed;
    delete t.RES_SURFACE[0]->read();
    source(src);
    const int32_t n = src->mesh.n_points, m = src->mesh.n_triangles;
    auto s = layers(r.outer, r.inner);
    const bool both = r.r2 != 0;
    ASSERT_EQ(s->mesh.n_points, both ? 2 * n : n);
    ASSERT_EQ(s->mesh.n_triangles, both ? 2 * m : m);
    EXPECT_EQ(s->double_layer, both);
    EXPECT_EQ(s->get_source_object(), 0);
    const bool inner_only = r.outer == 0;
    for (int32_t i = 0; i < n; ++i) {
      const surface_point& p = s->mesh.points[i];
      const surface_point& q = src->mesh.points[i];
      EXPECT_NEAR(radius(p), r.r1, 1e-12);
      // One inner layer faces into the source; otherwise its normal is kept.
      EXPECT_NEAR(p.nx * q.nx + p.ny * q.ny + p.nz * q.nz, inner_only ? -1.0 : 1.0, 1e-12);
      if (both) {
        EXPECT_NEAR(radius(s->mesh.points[i + n]), r.r2, 1e-12);
        // The shell's thickness is the distance between its layers.
        EXPECT_NEAR(s->cortical_thickness[size_t(i)], 10.0 * std::fabs(r.r1 - r.r2), 1e-9);
        EXPECT_EQ(s->cortical_thickness[size_t(i + n)], s->cortical_thickness[size_t(i)]);
      } else {
        EXPECT_EQ(s->cortical_thickness[size_t(i)], 0.0);
      }
    }
    for (int32_t k = 0; k < m; ++k) {
      const surface_triangle &a = s->mesh.triangles[k], &b = src->mesh.triangles[k];
      if (inner_only)
        EXPECT_TRUE(a.a == b.b && a.b == b.a && a.c == b.c);
      else
        EXPECT_TRUE(a.a == b.a && a.b == b.b && a.c == b.c);
      if (both) {
        const surface_triangle& c = s->mesh.triangles[k + m];
        EXPECT_TRUE(c.a == b.b + n && c.b == b.a + n && c.c == b.c + n);
      }
    }
  }
}

// The shell between the outer and inner edges holds the cortex's volume,
// within what the faceting of the two spheres can take away.
TEST_F(CorticalLayers, ShellVolumeAndDensity) {
  surface_interp* src = source(new surface_interp(0));
  icosphere_mesh(*src, 1.0, 3);
  map_cortex(*src, true);
  double nearest = 1.0;  // nearest facet plane of the unit icosphere
  for (int32_t k = 0; k < src->mesh.n_triangles; ++k) {
    const surface_triangle& t3 = src->mesh.triangles[k];
    auto at = [&](int32_t i) { return vec3_t{src->mesh.points[i].x, src->mesh.points[i].y, src->mesh.points[i].z}; };
    const vec3_t nrm = vec3_normalise(vec3_cross(at(t3.b) - at(t3.a), at(t3.c) - at(t3.a)));
    nearest = std::min(nearest, std::fabs(vec3_dot(nrm, at(t3.a))));
  }
  auto s = layers(1, 4);
  const double ball = 4.0 / 3.0 * kPi, ro = 1.15, ri = 0.85;
  const double analytic = ball * (ro * ro * ro - ri * ri * ri);
  const double f = nearest * nearest * nearest;
  const double tolerance = ball * (ro * ro * ro + ri * ri * ri) * (1 - f);
  EXPECT_NEAR(std::fabs(s->volume), analytic, tolerance);
  EXPECT_LT(tolerance, 0.1 * analytic);
  // Density: the mean of the cortex and both gaps' densities.
  EXPECT_NEAR(s->density[0], (1200.0 + 300.0 + 600.0) / 3.0, 1e-9);
  EXPECT_NEAR(s->fit_error[0], (0.1 + 0.2 + 0.3) / 3.0, 1e-9);
}

// A hemisphere whose equator of k rim vertices is open.
void hemisphere(surface_interp& s, int rings, int k) {
  std::vector<surface_point> pts;
  pts.push_back(vertex(0, 0, 1, 0, 0, 1));
  for (int r = 1; r <= rings; ++r)
    for (int j = 0; j < k; ++j) {
      const double th = kPi / 2 * r / rings, ph = 2 * kPi * j / k;
      const double x = std::sin(th) * std::cos(ph), y = std::sin(th) * std::sin(ph), z = std::cos(th);
      pts.push_back(vertex(x, y, z, x, y, z, r == rings ? POINT_RIM : 3));
    }
  auto at = [&](int r, int j) { return 1 + (r - 1) * k + (j % k); };
  std::vector<surface_triangle> tris;
  for (int j = 0; j < k; ++j) {
    tris.push_back({0, at(1, j), at(1, j + 1), 0});
    for (int r = 1; r < rings; ++r) {
      tris.push_back({at(r, j), at(r + 1, j), at(r + 1, j + 1), 0});
      tris.push_back({at(r, j), at(r + 1, j + 1), at(r, j + 1), 0});
    }
  }
  set_mesh(s, pts, tris);
}

TEST_F(CorticalLayers, CapsCloseAnOpenHemisphere) {
  const int k = 24;
  surface_interp* src = source(new surface_interp(0));
  hemisphere(*src, 6, k);
  map_cortex(*src, false);
  const int32_t n = src->mesh.n_points, m = src->mesh.n_triangles;
  ASSERT_GT(open_edges(*src), 0);

  auto fan = layers(2, 0, true);
  EXPECT_EQ(fan->mesh.n_points, n + k + 1);
  EXPECT_EQ(fan->mesh.n_triangles, m + k);
  EXPECT_EQ(open_edges(*fan), 0);

  auto strip = layers(2, 3, true);
  EXPECT_EQ(strip->mesh.n_points, 2 * n + 2 * k);
  EXPECT_EQ(strip->mesh.n_triangles, 2 * m + 2 * k);
  EXPECT_FALSE(strip->double_layer);
  EXPECT_EQ(open_edges(*strip), 0);
  for (auto* s : {fan.get(), strip.get()}) {
    for (int32_t i = s == fan.get() ? n : 2 * n; i < s->mesh.n_points; ++i) {
      EXPECT_EQ(s->mesh.points[i].type, POINT_DUPLICATE);
      EXPECT_EQ(s->fit_error[size_t(i)], 1e10);
    }
    for (int32_t j = s == fan.get() ? m : 2 * m; j < s->mesh.n_triangles; ++j)
      EXPECT_EQ(s->mesh.triangles[j].type, 2);
  }
  // Without caps the shell stays open and counts as two paired layers.
  auto open = layers(2, 3, false);
  EXPECT_EQ(open->mesh.n_points, 2 * n);
  EXPECT_TRUE(open->double_layer);
}

// A kept triangle on a duplicate vertex uses its twin; no index is negative.
TEST_F(CorticalLayers, DuplicateVertexInAKeptTriangle) {
  surface_interp* src = source(new surface_interp(0));
  std::vector<surface_point> pts = {vertex(0, 0, 0, 0, 0, 1), vertex(1, 0, 0, 0, 0, 1),
                                    vertex(1, 0, 0, 0, 0, 1, POINT_DUPLICATE),
                                    vertex(0, 1, 0, 0, 0, 1), vertex(1, 1, 0, 0, 0, 1)};
  std::vector<surface_triangle> tris = {{0, 1, 3, 0}, {2, 4, 3, 0}};
  set_mesh(*src, pts, tris);
  map_cortex(*src, false);
  auto s = layers(2, 0);
  ASSERT_EQ(s->mesh.n_points, 4);
  ASSERT_EQ(s->mesh.n_triangles, 2);
  EXPECT_EQ(s->mesh.triangles[1].a, 1);  // vertex 1 keeps index 1
  for (int32_t j = 0; j < s->mesh.n_triangles; ++j) {
    const surface_triangle& q = s->mesh.triangles[j];
    for (int32_t v : {q.a, q.b, q.c}) {
      EXPECT_GE(v, 0);
      EXPECT_LT(v, s->mesh.n_points);
    }
  }
}

TEST_F(CorticalLayers, SourceWithoutResultsGivesAnEmptySurface) {
  surface_interp* src = source(new surface_interp(0));
  icosphere_mesh(*src, 1.0, 1);
  auto s = layers(2, 3);
  EXPECT_EQ(s->mesh.n_points, 0);
  EXPECT_EQ(s->mesh.n_triangles, 0);
  EXPECT_EQ(s->get_source_object(), 0);
}

}  // namespace
