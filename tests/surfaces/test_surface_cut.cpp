// Cutting a surface along a closed curve and taking regions out of it, on a
// subdivided octahedron cut at its equator; expected counts come from the
// vertices' and triangles' own positions.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <tuple>
#include <vector>

#include "surfaces/surface_from_model.h"
#include "surfaces/surface_interp.h"
#include "tools/headless_session.h"

namespace {

using tri_list = std::vector<std::array<int32_t, 3>>;

// The unit octahedron split `levels` times, projected onto the unit sphere
// and wound outwards; the equator runs through vertices with z exactly 0.
struct sphere_mesh {
  std::vector<vec3_t> points;
  tri_list triangles;
  std::map<std::tuple<long, long, long>, int32_t> seen;

  int32_t point(const vec3_t& p) {
    const vec3_t u = vec3_normalise(p);
    const auto key = std::make_tuple(std::lround(u.x * 1e9), std::lround(u.y * 1e9), std::lround(u.z * 1e9));
    auto it = seen.find(key);
    if (it != seen.end()) return it->second;
    points.push_back(u);
    return seen[key] = int32_t(points.size() - 1);
  }
  void face(const vec3_t& a, const vec3_t& b, const vec3_t& c, int level) {
    if (level == 0) {
      triangles.push_back({point(a), point(b), point(c)});
      return;
    }
    const vec3_t ab = vec3_normalise(a + b), bc = vec3_normalise(b + c), ca = vec3_normalise(c + a);
    face(a, ab, ca, level - 1), face(ab, b, bc, level - 1);
    face(ca, bc, c, level - 1), face(ab, bc, ca, level - 1);
  }
  explicit sphere_mesh(int levels) {
    for (double sx : {1.0, -1.0})
      for (double sy : {1.0, -1.0})
        for (double sz : {1.0, -1.0}) {
          const vec3_t X{sx, 0, 0}, Y{0, sy, 0}, Z{0, 0, sz};
          if (sx * sy * sz > 0) face(X, Y, Z, levels);
          else face(X, Z, Y, levels);
        }
  }
};

vec3_t position(const surface_point& p) { return {p.x, p.y, p.z}; }

class surface_cut : public ::testing::Test {
 protected:
  headless_session session;
  sphere_mesh sphere{3};
  surface_interp s;
  std::vector<int32_t> equator;  // in order round the z axis

  void SetUp() override {
    std::vector<vec3_t> file;
    for (const vec3_t& p : sphere.points) file.push_back(p * 10.0);
    ASSERT_TRUE(surface_from_reference(s, file, {}, sphere.triangles));
    for (int32_t i = 0; i < int32_t(sphere.points.size()); ++i)
      if (sphere.points[size_t(i)].z == 0.0) equator.push_back(i);
    std::sort(equator.begin(), equator.end(), [&](int32_t a, int32_t b) {
      return std::atan2(sphere.points[size_t(a)].y, sphere.points[size_t(a)].x) <
             std::atan2(sphere.points[size_t(b)].y, sphere.points[size_t(b)].x);
    });
  }
  // A surface curve through the given vertices at their own places.
  curve_t curve_through(const std::vector<int32_t>& vertices, bool closed = true) {
    curve_t c;
    c.closed = closed;
    for (int32_t v : vertices) {
      const surface_point& p = s.get_mesh()->points[v];
      curve_point q;
      q.x = p.x, q.y = p.y, q.z = p.z, q.nx = p.nx, q.ny = p.ny, q.nz = p.nz, q.tag = v;
      c.points.push_back(q);
    }
    return c;
  }
  int32_t north_pole() const {
    for (int32_t i = 0; i < int32_t(sphere.points.size()); ++i)
      if (sphere.points[size_t(i)].z == 1.0) return i;
    return -1;
  }
  curve_point hit_at(int32_t v) const {
    curve_point h;
    h.tag = v;
    return h;
  }
};

struct snapshot {
  std::vector<std::array<double, 4>> points;
  std::vector<std::array<int32_t, 4>> triangles;
  explicit snapshot(const surface_mesh& m) {
    for (int32_t i = 0; i < m.n_points; ++i)
      points.push_back({m.points[i].x, m.points[i].y, m.points[i].z, double(m.points[i].type)});
    for (int32_t i = 0; i < m.n_triangles; ++i)
      triangles.push_back({m.triangles[i].a, m.triangles[i].b, m.triangles[i].c, m.triangles[i].type});
  }
  bool operator==(const snapshot& o) const { return points == o.points && triangles == o.triangles; }
};

}  // namespace

// Cut at the equator, then the northern cap taken from its pole: the cap
// holds the vertices above the equator and one copy of the equator, the
// triangles above it; the rest stays.
TEST_F(surface_cut, SplitAtTheEquatorAndDetachTheNorth) {
  const int32_t N = s.get_mesh()->n_points, T = s.get_mesh()->n_triangles;
  const int32_t L = int32_t(equator.size());
  ASSERT_EQ(L, 32);
  const double whole = s.volume;
  int32_t north_points = 0, north_triangles = 0;
  for (const vec3_t& p : sphere.points) north_points += p.z > 0;
  for (const auto& t : sphere.triangles)
    north_triangles += sphere.points[size_t(t[0])].z + sphere.points[size_t(t[1])].z +
                           sphere.points[size_t(t[2])].z > 0;
  for (int32_t i = 0; i < N; ++i) {
    s.cortical_thickness.push_back(0.5 * i);
    s.smoothed_thickness.push_back(1.0 + i);
    s.fit_error.push_back(2.0 + i);
    s.surface_offset.push_back(3.0);
  }
  s.double_layer = true;
  s.surface_curves = {curve_through(equator)};
  ASSERT_TRUE(s.split_along_curve(s.surface_curves[0]));
  const surface_mesh& m = *s.get_mesh();
  ASSERT_EQ(m.n_points, N + L);
  EXPECT_EQ(m.n_triangles, T);
  for (int32_t i = 0; i < L; ++i) {
    const surface_point &q = m.points[equator[size_t(i)]], &d = m.points[N + i];
    EXPECT_EQ(q.type, POINT_BOUNDARY);
    EXPECT_EQ(d.type, POINT_BOUNDARY);
    EXPECT_EQ(std::make_tuple(q.x, q.y, q.z, q.nx, q.ny, q.nz),
              std::make_tuple(d.x, d.y, d.z, d.nx, d.ny, d.nz));
    EXPECT_EQ(s.cortical_thickness[size_t(N + i)], 0.5 * equator[size_t(i)]);
    EXPECT_EQ(s.smoothed_thickness[size_t(N + i)], 1.0 + equator[size_t(i)]);
    EXPECT_EQ(s.fit_error[size_t(N + i)], 2.0 + equator[size_t(i)]);
    EXPECT_EQ(s.surface_curves[0].points[size_t(i)].tag, -equator[size_t(i)]);
  }
  EXPECT_EQ(s.cortical_thickness.size(), size_t(N + L));
  EXPECT_TRUE(s.surface_offset.empty());
  EXPECT_FALSE(s.double_layer);
  EXPECT_TRUE(s.surface_curves[0].on_surface);
  // The two sides share no vertex: no triangle has a vertex on each side.
  for (int32_t i = 0; i < m.n_triangles; ++i) {
    const surface_triangle& t = m.triangles[i];
    EXPECT_FALSE(m.points[t.a].z * m.points[t.b].z < 0 || m.points[t.b].z * m.points[t.c].z < 0 ||
                 m.points[t.a].z * m.points[t.c].z < 0);
  }

  std::vector<vec3_t> points, normals;
  tri_list triangles;
  ASSERT_TRUE(s.detach_region(hit_at(north_pole()), points, normals, triangles));
  EXPECT_EQ(int32_t(points.size()), north_points + L);
  EXPECT_EQ(normals.size(), points.size());
  EXPECT_EQ(int32_t(triangles.size()), north_triangles);
  for (const vec3_t& p : points) {
    EXPECT_GE(p.z, 0.0);
    EXPECT_NEAR(vec3_length(p), 10.0, 1e-9);  // ten times the internal lengths
  }
  EXPECT_EQ(s.get_mesh()->n_points, N + L - int32_t(points.size()));
  EXPECT_EQ(s.get_mesh()->n_triangles, T - north_triangles);
  for (int32_t i = 0; i < s.get_mesh()->n_points; ++i) EXPECT_LE(s.get_mesh()->points[i].z, 0.0);
  EXPECT_TRUE(s.cortical_thickness.empty());
  EXPECT_TRUE(s.smoothed_thickness.empty());
  // What stays is the southern half sphere: half the volume (the open
  // equator adds nothing to the flux through y or z).
  EXPECT_NEAR(s.volume, whole / 2, 1e-9 * whole);
}

// Before any cut the region is the whole surface, which is left empty.
TEST_F(surface_cut, DetachBeforeASplitTakesEverything) {
  const int32_t N = s.get_mesh()->n_points, T = s.get_mesh()->n_triangles;
  std::vector<vec3_t> points, normals;
  tri_list triangles;
  ASSERT_TRUE(s.detach_region(hit_at(7), points, normals, triangles));
  EXPECT_EQ(int32_t(points.size()), N);
  EXPECT_EQ(int32_t(triangles.size()), T);
  EXPECT_EQ(s.get_mesh()->n_points, 0);
  EXPECT_EQ(s.get_mesh()->n_triangles, 0);
  EXPECT_FALSE(s.detach_region(hit_at(0), points, normals, triangles));
  EXPECT_FALSE(s.detach_region(hit_at(-1), points, normals, triangles));
}

// Curves that cannot cut leave the surface as it was; a curve that never met
// the surface (every index 0) is accepted and changes nothing.
TEST_F(surface_cut, RefusedCurvesChangeNothing) {
  const snapshot before(*s.get_mesh());
  struct row {
    const char* name;
    bool accepted;
    void (*change)(curve_t&);
  };
  const row rows[] = {
      {"open", false, [](curve_t& c) { c.closed = false; }},
      {"two points", false, [](curve_t& c) { c.points.resize(2); }},
      {"a failed point", false, [](curve_t& c) { c.points[5].tag = -c.points[5].tag; }},
      {"split before", false, [](curve_t& c) { c.on_surface = true; }},
      {"an index beyond the mesh", false, [](curve_t& c) { c.points[3].tag = 100000; }},
      {"every index 0", true, [](curve_t& c) { for (curve_point& q : c.points) q.tag = 0; }},
      {"every index 0 but one failed", false,
       [](curve_t& c) {
         for (curve_point& q : c.points) q.tag = 0;
         c.points[2].tag = -4;
       }},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    curve_t c = curve_through(equator);
    for (curve_point& q : c.points) q.z += 0.01;  // a snap would show
    r.change(c);
    s.surface_curves = {c};
    EXPECT_EQ(s.split_along_curve(s.surface_curves[0]), r.accepted);
    EXPECT_TRUE(snapshot(*s.get_mesh()) == before);
    EXPECT_EQ(s.surface_curves[0].on_surface, c.on_surface);
  }
  // A curve neither among the surface's curves nor the object's landmark curves.
  curve_t stray = curve_through(equator);
  EXPECT_FALSE(s.split_along_curve(stray));
}

// The landmark curve of the surface's object stands for its surface curve,
// and both are marked split.
TEST_F(surface_cut, SplitByTheLandmarkCurve) {
  curve_set& set = *resource_table->RES_CURVE->read();
  curve_t other = curve_through(equator), mine = curve_through(equator);
  other.object = s.object + 1;
  mine.object = s.object;
  set.curves = {other, mine};
  s.surface_curves = {curve_through(equator)};
  ASSERT_TRUE(s.split_along_curve(set.curves[1]));
  EXPECT_TRUE(set.curves[1].on_surface);
  EXPECT_FALSE(set.curves[0].on_surface);
  EXPECT_TRUE(s.surface_curves[0].on_surface);
  EXPECT_EQ(s.get_mesh()->n_points, int32_t(sphere.points.size() + equator.size()));
  EXPECT_FALSE(s.split_along_curve(set.curves[0]));  // another object's curve
}

// A triangle whose first vertex the snapping puts onto its opposite edge
// is removed.
TEST_F(surface_cut, TriangleFlattenedBySnappingIsRemoved) {
  const surface_mesh& m = *s.get_mesh();
  const int32_t T = m.n_triangles;
  int32_t flat = -1;
  size_t k = 0;
  for (int32_t i = 0; i < T && flat < 0; ++i)
    for (k = 0; k < equator.size(); ++k)
      if (m.triangles[i].a == equator[k] && m.points[m.triangles[i].b].z != 0 &&
          m.points[m.triangles[i].c].z != 0) {
        flat = i;
        break;
      }
  ASSERT_GE(flat, 0);
  const surface_triangle t = m.triangles[flat];
  curve_t c = curve_through(equator);
  const vec3_t mid = (position(m.points[t.b]) + position(m.points[t.c])) * 0.5;
  c.points[k].x = mid.x, c.points[k].y = mid.y, c.points[k].z = mid.z;
  s.surface_curves = {c};
  ASSERT_TRUE(s.split_along_curve(s.surface_curves[0]));
  EXPECT_EQ(s.get_mesh()->n_triangles, T - 1);
  for (int32_t i = 0; i < s.get_mesh()->n_triangles; ++i) {
    const surface_triangle& u = s.get_mesh()->triangles[i];
    EXPECT_FALSE(u.b == t.b && u.c == t.c) << i;
  }
}

// On an interpolated surface a rim vertex and its duplicate (the next vertex,
// at the same place) leave together, even across separate pieces; a pair
// that does not match refuses the detachment.
TEST_F(surface_cut, RimPairsLeaveTogether) {
  surface_mesh& m = *s.get_mesh();
  delete[] m.points;
  delete[] m.triangles;
  m.n_points = 6, m.n_triangles = 2;
  m.points = new surface_point[6];
  m.triangles = new surface_triangle[2];
  const double xy[6][2] = {{0, 0}, {1, 0}, {0, 1}, {0, 1}, {-1, 1}, {-1, 2}};
  for (int i = 0; i < 6; ++i) m.points[i].x = xy[i][0], m.points[i].y = xy[i][1];
  m.points[2].type = POINT_RIM;
  m.points[3].type = POINT_DUPLICATE;
  m.triangles[0] = {0, 1, 2, 1};
  m.triangles[1] = {3, 4, 5, 2};
  std::vector<vec3_t> points, normals;
  tri_list triangles;
  {
    surface_interp copy;
    surface_mesh& c = *copy.get_mesh();
    c.n_points = 6, c.n_triangles = 2;
    c.points = new surface_point[6];
    c.triangles = new surface_triangle[2];
    std::copy(m.points, m.points + 6, c.points);
    std::copy(m.triangles, m.triangles + 2, c.triangles);
    c.points[3].y += 1e-9;  // no longer at its rim vertex's place
    const snapshot before(c);
    EXPECT_FALSE(copy.detach_region(hit_at(0), points, normals, triangles));
    EXPECT_FALSE(copy.detach_region(hit_at(5), points, normals, triangles));
    EXPECT_TRUE(snapshot(c) == before);
    EXPECT_TRUE(points.empty());
  }
  for (int32_t from : {0, 4}) {
    surface_interp both;
    surface_mesh& c = *both.get_mesh();
    c.n_points = 6, c.n_triangles = 2;
    c.points = new surface_point[6];
    c.triangles = new surface_triangle[2];
    std::copy(m.points, m.points + 6, c.points);
    std::copy(m.triangles, m.triangles + 2, c.triangles);
    ASSERT_TRUE(both.detach_region(hit_at(from), points, normals, triangles)) << from;
    EXPECT_EQ(points.size(), 6u);
    EXPECT_EQ(triangles, (tri_list{{0, 1, 2}, {3, 4, 5}}));
    EXPECT_EQ(c.n_points, 0);
  }
}
