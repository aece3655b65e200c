// The line probe of the 3D view's picking on a sphere of 200,000 triangles:
// 100 lines through it, every triangle tested for each, next to a plain read
// of every triangle's three corners for each line (the memory traffic the
// probe cannot avoid without a spatial index).
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "surfaces/surface_interp.h"
#include "tools/headless_session.h"

namespace {

constexpr double PI = 3.141592653589793;

// nu x nv cells of two triangles each, radius 1 about the origin.
void make_sphere(surface_interp& s, int nu, int nv) {
  std::vector<surface_point> pts;
  std::vector<surface_triangle> tris;
  for (int j = 0; j <= nv; ++j)
    for (int i = 0; i < nu; ++i) {
      const double th = PI * j / nv, ph = 2 * PI * i / nu;
      surface_point p;
      p.nx = std::sin(th) * std::cos(ph), p.ny = std::sin(th) * std::sin(ph), p.nz = std::cos(th);
      p.x = p.nx, p.y = p.ny, p.z = p.nz;
      pts.push_back(p);
    }
  for (int j = 0; j < nv; ++j)
    for (int i = 0; i < nu; ++i) {
      const int a = j * nu + i, b = j * nu + (i + 1) % nu, c = b + nu, d = a + nu;
      tris.push_back({a, b, c, 1});
      tris.push_back({a, c, d, 1});
    }
  s.mesh.n_points = int32_t(pts.size());
  s.mesh.points = new surface_point[pts.size()];
  std::copy(pts.begin(), pts.end(), s.mesh.points);
  s.mesh.n_triangles = int32_t(tris.size());
  s.mesh.triangles = new surface_triangle[tris.size()];
  std::copy(tris.begin(), tris.end(), s.mesh.triangles);
}

struct fixture {
  headless_session session;
  surface_interp sphere;
  std::vector<vec3_t> a, b;
  fixture() {
    make_sphere(sphere, 400, 250);
    std::mt19937_64 rng(43);
    std::uniform_real_distribution<double> u(-0.5, 0.5);
    for (int i = 0; i < 100; ++i) {
      a.push_back({u(rng), u(rng), -3.0});
      b.push_back({u(rng), u(rng), 3.0});
    }
  }
};

fixture& shared() {
  static fixture f;
  return f;
}

void BM_LineProbe(benchmark::State& state) {
  fixture& f = shared();
  size_t hits = 0;
  for (auto _ : state)
    for (size_t i = 0; i < f.a.size(); ++i) {
      line_probe_hits h;
      f.sphere.query_line(f.a[i], f.b[i], h, 0.0);
      hits += h.size();
    }
  benchmark::DoNotOptimize(hits);
  state.counters["triangles"] = f.sphere.mesh.n_triangles;
}

void BM_LineProbeBaselineCornerReads(benchmark::State& state) {
  fixture& f = shared();
  const surface_mesh& m = f.sphere.mesh;
  double sum = 0.0;
  for (auto _ : state)
    for (size_t i = 0; i < f.a.size(); ++i)
      for (int32_t k = 0; k < m.n_triangles; ++k) {
        const surface_triangle& t = m.triangles[k];
        sum += m.points[t.a].x + m.points[t.b].y + m.points[t.c].z;
      }
  benchmark::DoNotOptimize(sum);
}

}  // namespace

BENCHMARK(BM_LineProbe)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LineProbeBaselineCornerReads)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
