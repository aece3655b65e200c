// Cutting a torus of 1,000,000 triangles along two of its rings and taking
// the band between them out, next to one pass over the same triangles that
// reads their corners (the least any cut has to do).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "surfaces/surface_interp.h"

namespace {

constexpr double PI = 3.141592653589793;
constexpr int NU = 1000, NV = 500;  // 2 x NU x NV triangles

struct torus {
  std::vector<surface_point> points;
  std::vector<surface_triangle> triangles;
  torus() {
    for (int j = 0; j < NV; ++j)
      for (int i = 0; i < NU; ++i) {
        const double u = 2 * PI * i / NU, v = 2 * PI * j / NV;
        surface_point p;
        p.nx = std::cos(v) * std::cos(u), p.ny = std::cos(v) * std::sin(u), p.nz = std::sin(v);
        p.x = 3 * std::cos(u) + p.nx, p.y = 3 * std::sin(u) + p.ny, p.z = p.nz;
        points.push_back(p);
      }
    for (int j = 0; j < NV; ++j)
      for (int i = 0; i < NU; ++i) {
        const int a = j * NU + i, b = j * NU + (i + 1) % NU, c = (j + 1) % NV * NU + (i + 1) % NU,
                  d = (j + 1) % NV * NU + i;
        triangles.push_back({a, b, c, 0});
        triangles.push_back({a, c, d, 0});
      }
  }
  void fill(surface_interp& s) const {
    surface_mesh& m = *s.get_mesh();
    delete[] m.points;
    delete[] m.triangles;
    m.n_points = int32_t(points.size());
    m.points = new surface_point[points.size()];
    std::copy(points.begin(), points.end(), m.points);
    m.n_triangles = int32_t(triangles.size());
    m.triangles = new surface_triangle[triangles.size()];
    std::copy(triangles.begin(), triangles.end(), m.triangles);
    s.surface_curves.clear();
    for (int j : {0, NV / 2}) {
      curve_t c;
      c.closed = true;
      for (int i = 0; i < NU; ++i) {
        const surface_point& p = points[size_t(j * NU + i)];
        curve_point q;
        q.x = p.x, q.y = p.y, q.z = p.z, q.nx = p.nx, q.ny = p.ny, q.nz = p.nz;
        q.tag = j * NU + i;
        c.points.push_back(q);
      }
      s.surface_curves.push_back(c);
    }
  }
};

const torus& the_torus() {
  static torus t;
  return t;
}

void BM_split_and_detach(benchmark::State& state) {
  const torus& t = the_torus();
  size_t region = 0;
  surface_interp s;
  for (auto _ : state) {
    state.PauseTiming();
    t.fill(s);
    state.ResumeTiming();
    s.split_along_curve(s.surface_curves[0]);
    s.split_along_curve(s.surface_curves[1]);
    curve_point hit;
    hit.tag = NV / 4 * NU;
    std::vector<vec3_t> points, normals;
    std::vector<std::array<int32_t, 3>> triangles;
    s.detach_region(hit, points, normals, triangles);
    region = triangles.size();
  }
  state.counters["region_triangles"] = double(region);
}

void BM_baseline_triangle_pass(benchmark::State& state) {
  const torus& t = the_torus();
  for (auto _ : state) {
    vec3_t sum;
    for (const surface_triangle& tr : t.triangles) {
      const surface_point &a = t.points[size_t(tr.a)], &b = t.points[size_t(tr.b)],
                          &c = t.points[size_t(tr.c)];
      sum += vec3_cross(vec3_t{b.x - a.x, b.y - a.y, b.z - a.z}, vec3_t{c.x - a.x, c.y - a.y, c.z - a.z});
    }
    benchmark::DoNotOptimize(sum);
  }
}

}  // namespace

BENCHMARK(BM_baseline_triangle_pass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_split_and_detach)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
