// The spatial bin grid: sizing and binning, its walks and bounds, and its two
// queries against brute force over every triangle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>

#include "bin_grid_support.h"
#include "surfaces/bin_grid.h"
#include "surfaces/surface_interp.h"
#include "tools/headless_session.h"

using namespace bin_grid_test;

namespace {

vec3_t P(const surface_point& p) { return {p.x, p.y, p.z}; }
vec3_t Nv(const surface_point& p) { return {p.nx, p.ny, p.nz}; }
double dot(const vec3_t& a, const vec3_t& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
vec3_t cross(const vec3_t& a, const vec3_t& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Crossing of the line a + t d with triangle j: t and barycentric weights,
// tested by the signs of the three edge functions.
bool brute_crossing(const surface_mesh& m, int j, const vec3_t& a, const vec3_t& d, double& t,
                    double w[3]) {
  const surface_triangle& tr = m.triangles[j];
  const vec3_t A = P(m.points[tr.a]), B = P(m.points[tr.b]), C = P(m.points[tr.c]);
  const vec3_t N = cross(B - A, C - A);
  const double nn = dot(N, N), dn = dot(d, N);
  if (nn == 0.0 || dn == 0.0) return false;
  t = dot(A - a, N) / dn;
  const vec3_t X = a + d * t;
  const double ea = dot(cross(C - B, X - B), N), eb = dot(cross(A - C, X - C), N),
               ec = dot(cross(B - A, X - A), N);
  if (ea < 0 || eb < 0 || ec < 0) return false;
  w[0] = ea / nn, w[1] = eb / nn, w[2] = ec / nn;
  return true;
}

struct brute_hit {
  double distance = 1e10;
  vec3_t at, normal;
};

vec3_t blend(const surface_mesh& m, int j, const double w[3]) {
  const surface_triangle& tr = m.triangles[j];
  return Nv(m.points[tr.a]) * w[0] + Nv(m.points[tr.b]) * w[1] + Nv(m.points[tr.c]) * w[2];
}

// Nearest crossing of the line within x, either side; or, two-sided, the
// side whose normal is more nearly along u.
brute_hit brute_line(const surface_mesh& m, const vec3_t& p, const vec3_t& u, double x,
                     bool two_sided) {
  brute_hit fwd, back;
  bool hf = false, hb = false;
  for (int j = 0; j < m.n_triangles; ++j) {
    double t, w[3];
    if (!brute_crossing(m, j, p, u, t, w) || std::fabs(t) >= x) continue;
    const bool forward = !two_sided || t >= 0;
    brute_hit& h = forward ? fwd : back;
    bool& found = forward ? hf : hb;
    if (found && std::fabs(t) >= h.distance) continue;
    h = {std::fabs(t), p + u * t, blend(m, j, w)};
    found = true;
  }
  if (hf && hb) return std::fabs(dot(fwd.normal, u)) > std::fabs(dot(back.normal, u)) ? fwd : back;
  return hf ? fwd : back;
}

// Nearest point of the mesh to p within x; a nearest point that lies outside
// its triangle at a boundary corner counts as no hit.
brute_hit brute_point(const surface_mesh& m, const vec3_t& p, double x) {
  brute_hit best;
  double best_d = x;
  bool boundary = false, found = false;
  for (int j = 0; j < m.n_triangles; ++j) {
    const surface_triangle& tr = m.triangles[j];
    const int32_t id[3] = {tr.a, tr.b, tr.c};
    const vec3_t V[3] = {P(m.points[tr.a]), P(m.points[tr.b]), P(m.points[tr.c])};
    const vec3_t N = cross(V[1] - V[0], V[2] - V[0]);
    const double nn = dot(N, N);
    if (nn == 0.0) continue;
    const vec3_t F = p + N * (dot(V[0] - p, N) / nn);
    double w[3] = {0, 0, 0};
    vec3_t Q;
    bool inside = true;
    for (int k = 0; k < 3; ++k) {
      w[k] = dot(cross(V[(k + 2) % 3] - V[(k + 1) % 3], F - V[(k + 1) % 3]), N) / nn;
      if (w[k] < 0) inside = false;
    }
    if (inside) {
      Q = F;
    } else {
      double bd = 1e300;
      for (int k = 0; k < 3; ++k) {
        const vec3_t a = V[k], b = V[(k + 1) % 3];
        double f = dot(F - a, b - a) / dot(b - a, b - a);
        f = std::min(1.0, std::max(0.0, f));
        const vec3_t q = a + (b - a) * f;
        const double d = dot(q - F, q - F);
        if (d < bd) {
          bd = d, Q = q;
          w[0] = w[1] = w[2] = 0;
          w[k] = 1 - f, w[(k + 1) % 3] = f;
        }
      }
    }
    const double d = std::sqrt(dot(Q - p, Q - p));
    if (d >= best_d) continue;
    best_d = d;
    found = true;
    best = {d, Q, blend(m, j, w)};
    boundary = false;
    if (!inside)
      for (int k = 0; k < 3; ++k)
        if (w[k] != 0 && m.points[id[k]].type == POINT_BOUNDARY) boundary = true;
  }
  if (!found || boundary) best.distance = 1e10;
  return best;
}

void expect_near(const vec3_t& a, const vec3_t& b, double tol) {
  EXPECT_NEAR(a.x, b.x, tol);
  EXPECT_NEAR(a.y, b.y, tol);
  EXPECT_NEAR(a.z, b.z, tol);
}

struct shape {
  const char* name;
  owned_mesh mesh;
};

std::vector<shape> shapes() {
  std::vector<shape> s;
  s.push_back({"sphere", sphere(0.3, -0.2, 0.1, 1.0)});
  s.push_back({"torus", torus(1.0, 0.35)});
  s.push_back({"flat disc", disc(2.5, 0.4)});
  // Long triangles among small ones: bins much smaller than the longest edge.
  owned_mesh mixed = sphere(0, 0, 0, 1, 8, 6);
  const owned_mesh small = sphere(1.3, 1.1, 0.9, 0.3, 60, 40);
  const int32_t base = int32_t(mixed.points.size());
  mixed.points.insert(mixed.points.end(), small.points.begin(), small.points.end());
  for (surface_triangle t : small.triangles)
    mixed.add_triangle(t.a + base, t.b + base, t.c + base);
  s.push_back({"long and short triangles", mixed});
  return s;
}

// Random points in the box around the mesh, grown by half its size, and
// random unit directions.
struct line_source {
  std::mt19937_64 rng;
  vec3_t lo, hi;
  explicit line_source(const surface_mesh& m, unsigned seed) : rng(seed) {
    lo = {1e9, 1e9, 1e9}, hi = {-1e9, -1e9, -1e9};
    for (int i = 0; i < m.n_points; ++i) {
      const vec3_t p = P(m.points[i]);
      lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
      hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    const vec3_t grow = (hi - lo) * 0.5 + vec3_t{0.3, 0.3, 0.3};
    lo = lo - grow, hi = hi + grow;
  }
  vec3_t point() {
    std::uniform_real_distribution<double> ux(lo.x, hi.x), uy(lo.y, hi.y), uz(lo.z, hi.z);
    return {ux(rng), uy(rng), uz(rng)};
  }
  vec3_t direction() {
    std::normal_distribution<double> g;
    vec3_t d{g(rng), g(rng), g(rng)};
    return d * (1.0 / std::sqrt(dot(d, d)));
  }
};

}  // namespace

// Every crossing of 10,000 random lines, unlimited, equals brute force over
// every triangle: same count, same distances (mm) and points.
TEST(BinGrid, LineCrossingsMatchBruteForce) {
  for (shape& s : shapes()) {
    SCOPED_TRACE(s.name);
    surface_mesh* m = s.mesh.get();
    bin_grid grid(m, false);
    ASSERT_FALSE(grid.empty());
    line_source lines(*m, 17);
    int crossings = 0;
    for (int q = 0; q < 10000; ++q) {
      const vec3_t a = lines.point();
      // b at a random distance, so that distances scale with |b - a|.
      const vec3_t b = a + lines.direction() * (0.1 + 2.0 * (q % 7) / 7.0);
      const vec3_t d = b - a;
      const double g = std::sqrt(dot(d, d));
      std::vector<double> expected;
      for (int j = 0; j < m->n_triangles; ++j) {
        double t, w[3];
        if (brute_crossing(*m, j, a, d, t, w)) expected.push_back(10 * g * t);
      }
      std::sort(expected.begin(), expected.end());
      expected.erase(std::unique(expected.begin(), expected.end(),
                                 [](double x, double y) { return std::fabs(x - y) < 1e-10; }),
                     expected.end());
      std::vector<double> dist;
      std::vector<vec3_t> pts;
      grid.line_crossings_within(a, b, 0.0, dist, pts);
      ASSERT_EQ(dist.size(), expected.size()) << "line " << q;
      ASSERT_EQ(pts.size(), dist.size());
      for (size_t k = 0; k < dist.size(); ++k) {
        EXPECT_NEAR(dist[k], expected[k], 1e-10) << "line " << q;
        expect_near(pts[k], a + d * (expected[k] / (10 * g)), 1e-10);
      }
      crossings += int(dist.size());
    }
    EXPECT_GT(crossings, 1000);  // the lines do meet the mesh
  }
}

// The nearest hit of 10,000 random queries in each mode equals brute force:
// one-sided and two-sided lines, bounded and unbounded, and nearest points.
TEST(BinGrid, NearestHitsMatchBruteForce) {
  for (shape& s : shapes()) {
    SCOPED_TRACE(s.name);
    surface_mesh* m = s.mesh.get();
    bin_grid grid(m, false);
    line_source lines(*m, 29);
    int hits[3] = {0, 0, 0};
    for (int q = 0; q < 10000; ++q) {
      const int mode = q % 3;  // 0 one-sided line, 1 two-sided line, 2 nearest point
      const vec3_t p = lines.point();
      vec3_t dir = mode == 2 ? vec3_t{} : lines.direction() * 3.0;
      // Every fourth query unbounded (0; two-sided ones, whose sign is the
      // mode, far beyond the mesh), else bounded by 0.2 .. 2.2.
      double x = (q / 3) % 4 == 0 ? 0.0 : 0.2 + 2.0 * ((q * 37) % 101) / 100.0;
      if (mode == 1 && x == 0.0) x = 50.0;
      const brute_hit expected =
          mode == 2 ? brute_point(*m, p, x == 0 ? 1e10 : x)
                    : brute_line(*m, p, dir * (1.0 / 3.0), x == 0 ? 1e10 : x, mode == 1);
      double d = -1;
      vec3_t at, normal;
      grid.intersect_line(p, dir, 0.0, mode == 1 ? -x : x, d, at, normal, false);
      if (mode != 2) {
        EXPECT_NEAR(std::sqrt(dot(dir, dir)), 1.0, 1e-15);  // made a unit vector
      }
      ASSERT_NEAR(d, expected.distance, 1e-9) << "query " << q << " mode " << mode;
      if (expected.distance >= 1e10) continue;
      ++hits[mode];
      expect_near(at, expected.at, 1e-9);
      expect_near(normal, expected.normal, 1e-9);
    }
    for (int k = 0; k < 3; ++k) EXPECT_GT(hits[k], 200) << "mode " << k;
  }
}

// Sizing: target bins per axis trunc(sqrt(T)/20 + 0.5) within 1..150; one bin
// per axis takes the largest extent; every axis keeps at least one bin.
TEST(BinGrid, BinSizing) {
  struct row {
    const char* name;
    vec3_t box;       // extents of the points
    int triangles;    // copies of one small triangle
    double bin_size;  // by hand
    int nx, ny, nz;
  };
  const row rows[] = {
      {"one bin: largest extent", {4, 2, 1}, 2, 4.0, 1, 1, 1},  // z: trunc(0.25 + 0.5) = 0 -> 1
      {"two per axis", {8, 4, 2}, 1600, 2.0, 4, 2, 1},          // cbrt(64 / 8) = 2
      {"flat: size 0 becomes 1", {8, 4, 0}, 1600, 1.0, 8, 4, 1},
      // cbrt(2) = 1.26: 6.35 -> 6, 3.17 -> 3, 0.40 -> 0 -> 1.
      {"thin along z", {8, 4, 0.5}, 1600, std::cbrt(2.0), 6, 3, 1},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    owned_mesh m;
    m.add_point(0, 0, 0, 0, 0, 1);
    m.add_point(r.box.x, r.box.y, r.box.z, 0, 0, 1);
    m.add_point(r.box.x * 0.01, 0, 0, 0, 0, 1);
    m.add_point(0, r.box.y * 0.01, 0, 0, 0, 1);
    for (int k = 0; k < r.triangles; ++k) m.add_triangle(0, 2, 3);
    bin_grid g(m.get(), false);
    EXPECT_NEAR(g.bin_size, r.bin_size, 1e-12);
    EXPECT_EQ(g.bins_x, r.nx);
    EXPECT_EQ(g.bins_y, r.ny);
    EXPECT_EQ(g.bins_z, r.nz);
    EXPECT_EQ(g.bin_count, r.nx * r.ny * r.nz);
    ASSERT_EQ(g.bins.size(), size_t(g.bin_count));
    EXPECT_EQ(g.bins[0].size(), size_t(r.triangles));  // every centroid near the origin
  }
}

// Centroid binning, the entry encoding of one and of several meshes, cap
// triangles left out on request, and max_edge.
TEST(BinGrid, BinningAndEntries) {
  // 1600 triangles make two bins per axis over the 2 x 2 x 2 box: bin size 1.
  auto make = [](double shift) {
    owned_mesh m;
    m.add_point(0 + shift, 0, 0, 0, 0, 1);
    m.add_point(2 + shift, 2, 2, 0, 0, 1);
    m.add_point(0.3 + shift, 0, 0, 0, 0, 1);  // edges 0.3, 0.4, 0.5 with the next
    m.add_point(0 + shift, 0.4, 0, 0, 0, 1);
    m.add_point(1.6 + shift, 1.6, 1.6, 0, 0, 1);
    m.add_point(1.9 + shift, 1.6, 1.6, 0, 0, 1);
    m.add_point(1.6 + shift, 1.9, 1.6, 0, 0, 1);
    for (int k = 0; k < 800; ++k) m.add_triangle(0, 2, 3);
    for (int k = 0; k < 800; ++k) m.add_triangle(4, 5, 6, k == 0 ? 2 : 1);
    return m;
  };
  owned_mesh one = make(0);
  bin_grid g(one.get(), false);
  ASSERT_EQ(g.bins_x * g.bins_y * g.bins_z, 8);
  EXPECT_NEAR(g.bin_size, 1.0, 1e-12);
  EXPECT_NEAR(g.max_edge, 0.5, 1e-12);
  EXPECT_EQ(g.bins[0].size(), 800u);
  ASSERT_EQ(g.bins[7].size(), 800u);
  EXPECT_EQ(g.bins[7][0], 800);  // one mesh: the triangle index itself
  bin_grid skip(one.get(), true);
  EXPECT_EQ(skip.bins[7].size(), 799u);
  EXPECT_EQ(skip.bins[7][0], 801);

  owned_mesh two = make(0);
  bin_grid both;
  both.meshes = {one.get(), two.get()};
  both.build(false);
  // 3200 triangles: three bins per axis of 2/3; (1.7, 1.7, 1.6) lies in cell (2, 2, 2).
  ASSERT_EQ(both.bin_count, 27);
  const auto& last = both.bins[26];
  ASSERT_EQ(last.size(), 1600u);
  EXPECT_EQ(last[0], (800 << 8) + 0);
  EXPECT_EQ(last[800], (800 << 8) + 1);
  EXPECT_EQ(both.entry_mesh(last[800]), two.get());
  EXPECT_EQ(bin_grid::entry_triangle(last[1599], false), 1599);

  both.clear();
  EXPECT_TRUE(both.empty());
  EXPECT_TRUE(both.meshes.empty());
  EXPECT_EQ(both.bin_size, 1.0);
  EXPECT_EQ(both.bins_x + both.bins_y + both.bins_z + both.bin_count, 0);
  EXPECT_EQ(both.max_edge, 0.0);
}

// Lower bounds and the grid sphere, by hand on the 2 x 2 x 2 grid of bin
// size 1 with max_edge 0.5 above.
TEST(BinGrid, BinDistanceAndGridSphere) {
  owned_mesh m;
  m.add_point(0, 0, 0, 0, 0, 1);
  m.add_point(2, 2, 2, 0, 0, 1);
  m.add_point(0.3, 0, 0, 0, 0, 1);
  m.add_point(0, 0.4, 0, 0, 0, 1);
  for (int k = 0; k < 1600; ++k) m.add_triangle(0, 2, 3);
  bin_grid g(m.get(), false);
  ASSERT_EQ(g.bin_count, 8);
  const double e = 2.0 / 3.0 * 0.5;
  struct row {
    vec3_t p;
    int bin;
    double expected;
  } rows[] = {
      {{0.5, 0.5, 0.5}, 0, 0.0},                      // inside
      {{-3, 0.5, 0.5}, 0, 3 - e},                     // face
      {{-3, -4, 0.5}, 0, 5 - e},                      // edge: 3-4-5
      {{-1, -2, -2}, 0, 3 - e},                       // corner: 1, 2, 2
      {{5, 1.5, 1.5}, 1 + 2 * (1 + 2 * 1), 3 - e},    // bin (1,1,1) from +x
      {{0.9, 0.9, 0.9}, 0, 0.0},
  };
  for (const row& r : rows) EXPECT_NEAR(g.bin_distance(r.p, r.bin), r.expected, 1e-12);
  EXPECT_EQ(bin_grid().bin_distance({0, 0, 0}, 0), 1e10);

  // Grid sphere: centre (1, 1, 1), radius sqrt(3).
  double n = 0, f = 100;
  g.clip_to_grid_sphere({1, 1, 11}, n, f);
  EXPECT_NEAR(n, 10 - std::sqrt(3.0), 1e-12);
  EXPECT_NEAR(f, 10 + std::sqrt(3.0), 1e-12);
  n = 0.5, f = 1.0;  // inside: near kept, far already smaller
  g.clip_to_grid_sphere({1, 1, 1.5}, n, f);
  EXPECT_EQ(n, 0.5);
  EXPECT_EQ(f, 1.0);
  bin_grid().clip_to_grid_sphere({0, 0, 0}, n, f);
  EXPECT_EQ(n, 1e10);
  EXPECT_EQ(f, 1e10);
}

// A grid of one bin returns it from both walks, whatever the query.
TEST(BinGrid, OneBinGridReturnsItsBin) {
  owned_mesh m = sphere(0, 0, 0, 1, 8, 6);  // 96 triangles: one bin
  bin_grid g(m.get(), false);
  ASSERT_EQ(g.bin_count, 1);
  std::vector<int32_t> out{5, 6};
  g.bins_along_line({50, 50, 50}, {1, 0, 0}, 1.0, out);
  EXPECT_EQ(out, std::vector<int32_t>{0});
  g.bins_around_point({50, 50, 50}, 0, 1.0, out, false);
  EXPECT_EQ(out, std::vector<int32_t>{0});
}

// Line crossings: reach from the thickness line (a distance on either side of
// a, whatever |b - a|; 10 or more and 0 unlimited), millimetres, sorted,
// crossings behind a included, an edge shared by two triangles counted once.
TEST(BinGrid, LineCrossingsReach) {
  headless_session session;
  // Planes of two triangles each, meeting along the diagonal, at x = k.
  owned_mesh m;
  for (int k = -3; k <= 3; ++k) {
    const int b = int(m.points.size());
    m.add_point(k, -1, -1, 1, 0, 0);
    m.add_point(k, 1, -1, 1, 0, 0);
    m.add_point(k, 1, 1, 1, 0, 0);
    m.add_point(k, -1, 1, 1, 0, 0);
    m.add_triangle(b, b + 1, b + 2);
    m.add_triangle(b, b + 2, b + 3);
  }
  bin_grid g(m.get(), false);
  struct row {
    double line;
    vec3_t a, b;
    std::vector<double> mm;
  };
  const row rows[] = {
      // Through the shared diagonals: each plane once; the plane at the reach is kept.
      {1.5, {0.5, 0, 0}, {1.5, 0, 0}, {-15, -5, 5, 15}},
      {1.5, {0.5, 0, 0}, {0.6, 0, 0}, {-15, -5, 5, 15}},  // the reach does not scale with |b - a|
      {2.5, {0.5, 0.2, 0.1}, {2.5, 0.2, 0.1}, {-25, -15, -5, 5, 15, 25}},
      {12, {0.5, 0.2, 0.1}, {-1.5, 0.2, 0.1}, {-25, -15, -5, 5, 15, 25, 35}},
      {0, {0.5, 0.2, 0.1}, {1.5, 0.2, 0.1}, {-35, -25, -15, -5, 5, 15, 25}},
      {1.5, {0.5, 0, 0}, {0.5, 1, 0}, {}},  // parallel to the planes
      {1.5, {0.5, 0, 0}, {0.5, 0, 0}, {}},  // no line
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.line);
    resource_table->RES_THICKNESS_LINE->write(r.line);
    base_res_t::make_pending_writes_happen();
    std::vector<double> d;
    std::vector<vec3_t> p;
    g.line_crossings(r.a, r.b, d, p);
    ASSERT_EQ(d.size(), r.mm.size());
    ASSERT_EQ(p.size(), r.mm.size());
    const double len = std::sqrt(dot(r.b - r.a, r.b - r.a));
    for (size_t k = 0; k < d.size(); ++k) {
      EXPECT_NEAR(d[k], r.mm[k], 1e-9);
      expect_near(p[k], r.a + (r.b - r.a) * (r.mm[k] / 10.0 / len), 1e-12);
    }
  }
  EXPECT_TRUE(bin_grid().empty());
}

// intersect_line details: a bound of 0 is unlimited, a hit exactly at the
// bound is not found, two-sided queries prefer the normal along the line,
// degenerate triangles are never hit, and nearest points on an open edge
// are no hit.
TEST(BinGrid, IntersectLineModes) {
  owned_mesh m;
  // Square at z = 1 with normals leaning away from z; square at z = -3 with
  // normals along z; a degenerate triangle at z = 0.5.
  const double lean = std::sqrt(0.5);
  auto square = [&](double z, double nx, double nz) {
    const int b = int(m.points.size());
    m.add_point(-1, -1, z, nx, 0, nz);
    m.add_point(1, -1, z, nx, 0, nz);
    m.add_point(1, 1, z, nx, 0, nz);
    m.add_point(-1, 1, z, nx, 0, nz, POINT_BOUNDARY);
    m.add_triangle(b, b + 1, b + 2);
    m.add_triangle(b, b + 2, b + 3);
  };
  square(1, lean, lean);
  square(-3, 0, 1);
  const int b = int(m.points.size());
  m.add_point(-1, 0, 0.5, 0, 0, 1);
  m.add_point(1, 0, 0.5, 0, 0, 1);
  m.add_point(0, 0, 0.5, 0, 0, 1);
  m.add_triangle(b, b + 1, b + 2);
  bin_grid g(m.get(), false);

  struct row {
    const char* name;
    vec3_t p, dir;
    double max_distance;
    double distance;
    vec3_t at;
  };
  const row rows[] = {
      {"one-sided: nearer side", {0.2, 0.3, 0}, {0, 0, 2}, 5, 1, {0.2, 0.3, 1}},
      {"one-sided: behind counts", {0.2, 0.3, -2}, {0, 0, 1}, 5, 1, {0.2, 0.3, -3}},
      {"bound 0 is unlimited", {0.2, 0.3, 40}, {0, 0, 1}, 0, 39, {0.2, 0.3, 1}},
      {"hit exactly at the bound is missed", {0.2, 0.3, 0}, {0, 0, 1}, 1, 1e10, {}},
      {"two-sided: normal along the line wins", {0.2, 0.3, 0}, {0, 0, 1}, -5, 3, {0.2, 0.3, -3}},
      {"two-sided: only one side", {0.2, 0.3, 0}, {0, 0, 1}, -2, 1, {0.2, 0.3, 1}},
      {"point: inside the square", {0.2, 0.3, 1.5}, {0, 0, 0}, 5, 0.5, {0.2, 0.3, 1}},
      {"point: ordinary edge", {1.5, 0.3, 1}, {0, 0, 0}, 5, 0.5, {1, 0.3, 1}},
      {"point: open corner", {-1.5, 1.5, 1}, {0, 0, 0}, 5, 1e10, {}},
      {"point: out of reach", {0.2, 0.3, 3}, {0, 0, 0}, 1, 1e10, {}},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    double d = -1;
    vec3_t at, n, dir = r.dir;
    g.intersect_line(r.p, dir, 0, r.max_distance, d, at, n, false);
    EXPECT_NEAR(d, r.distance, 1e-12);
    if (r.distance < 1e10) expect_near(at, r.at, 1e-12);
  }
  double d = 0;
  vec3_t at, n, dir{0, 0, 1};
  bin_grid().intersect_line({0, 0, 0}, dir, 0, 5, d, at, n, false);
  EXPECT_EQ(d, 1e10);
}

// Grids over objects: one object's surface, all of them with -2, and empty
// grids for other indices and objects without a surface.
TEST(BinGrid, GridsOverObjects) {
  headless_session session;
  auto make = [](double cx) {
    auto* s = new surface_interp;
    owned_mesh m = sphere(cx, 0, 0, 1, 12, 8);
    s->mesh.n_points = int32_t(m.points.size());
    s->mesh.points = new surface_point[m.points.size()];
    std::copy(m.points.begin(), m.points.end(), s->mesh.points);
    s->mesh.n_triangles = int32_t(m.triangles.size());
    s->mesh.triangles = new surface_triangle[m.triangles.size()];
    std::copy(m.triangles.begin(), m.triangles.end(), s->mesh.triangles);
    return s;
  };
  std::unique_ptr<surface_interp> a(make(0)), b(make(5));
  resource_table->RES_SURFACE[1]->write(a.get());
  resource_table->RES_SURFACE[3]->write(b.get());
  resource_table->CURRENT_MAX_OBJECTS->write(10);
  base_res_t::make_pending_writes_happen();
  struct row {
    int object;
    size_t meshes;
    double distance;  // to the nearest sphere's side facing x = -3, about
  } rows[] = {{1, 1, 2}, {3, 1, 7}, {2, 0, 1e10}, {-2, 2, 2}, {-1, 0, 1e10}, {200, 0, 1e10},
              {250, 0, 1e10}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.object);
    bin_grid g(r.object, true);
    EXPECT_EQ(g.meshes.size(), r.meshes);
    EXPECT_EQ(g.empty(), r.meshes == 0);
    double d = 0;
    vec3_t at, n, dir{1, 0, 0};
    g.intersect_line({-3, 0.05, 0.02}, dir, 0, 0, d, at, n, false);
    EXPECT_NEAR(d, r.distance, 0.05);
  }
  resource_table->RES_SURFACE[1]->write(nullptr);
  resource_table->RES_SURFACE[3]->write(nullptr);
  base_res_t::make_pending_writes_happen();
}

namespace {

// 6400 copies of a tiny triangle at `cluster` and two unused corner points
// fix the grid: four bins per axis over the box from 0 to `corner`.
owned_mesh sized_grid_mesh(const vec3_t& corner, const vec3_t& cluster) {
  owned_mesh m;
  m.add_point(0, 0, 0, 0, 0, 1);
  m.add_point(corner.x, corner.y, corner.z, 0, 0, 1);
  m.add_point(cluster.x, cluster.y, cluster.z, 0, 0, 1);
  m.add_point(cluster.x + 0.01, cluster.y, cluster.z, 0, 0, 1);
  m.add_point(cluster.x, cluster.y + 0.01, cluster.z, 0, 0, 1);
  for (int k = 0; k < 6400; ++k) m.add_triangle(2, 3, 4);
  return m;
}

// A tiny triangle in the plane x = c.x (normal_axis 0) or y = c.y (1) with its centroid at c.
void add_tiny(owned_mesh& m, const vec3_t& c, int normal_axis) {
  const int b = int(m.points.size());
  const double h = 0.005;
  const vec3_t corner[3] = {{0, -h, -h}, {0, 2 * h, -h}, {0, -h, 2 * h}};
  for (const vec3_t& o : corner) {
    const vec3_t p = normal_axis == 0 ? c + o : c + vec3_t{o.y, 0, o.z};
    m.add_point(p.x, p.y, p.z, normal_axis == 0 ? -1 : 0, normal_axis == 1 ? -1 : 0, 0);
  }
  m.add_triangle(b, b + 1, b + 2);
}

}  // namespace

// A box whose x extent is rounded down to its bins puts centroids past the
// last cell's centre: a line along that far face still meets them.
TEST(BinGrid, CentroidsBeyondTheLastCellAreFound) {
  owned_mesh m = sized_grid_mesh({4.45, 4, 4}, {0.1, 0.1, 0.1});
  add_tiny(m, {4.44, 2.0, 0.9326}, 1);
  bin_grid g(m.get(), false);
  ASSERT_EQ(g.bins_x, 4);  // 4.45 / cbrt(1.1125) = 4.29 bins, rounded to 4
  const vec3_t a{4.44, 0, 0.9326};
  std::vector<double> d;
  std::vector<vec3_t> p;
  g.line_crossings_within(a, a + vec3_t{0, 1, 0}, 0, d, p);
  ASSERT_EQ(d.size(), 1u);
  EXPECT_NEAR(d[0], 20.0, 1e-9);
  double dist;
  vec3_t dir{0, 1, 0}, at, n;
  g.intersect_line(a, dir, 0, 0, dist, at, n, false);
  EXPECT_NEAR(dist, 2.0, 1e-12);
}

// The nearest triangle may sit in a bin whose centre is farther than the
// first bin found by nearly twice the bins' margin: here one bin's triangle
// lies in its far corner (1.64 away) and the next bin's in its near face
// (1.51 away).
TEST(BinGrid, NearestPointLooksPastTheFirstBin) {
  owned_mesh m = sized_grid_mesh({4, 4, 4}, {3.9, 3.9, 3.9});
  add_tiny(m, {1.99, 0.99, 0.99}, 0);
  add_tiny(m, {2.01, 0.5, 0.5}, 0);
  bin_grid g(m.get(), false);
  ASSERT_NEAR(g.bin_size, 1.0, 1e-12);
  double dist;
  vec3_t dir{0, 0, 0}, at, n;
  g.intersect_line({0.5, 0.5, 0.5}, dir, 0, 10, dist, at, n, false);
  EXPECT_NEAR(dist, 1.51, 1e-12);
  expect_near(at, {2.01, 0.5, 0.5}, 1e-12);
}
