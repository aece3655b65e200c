// The cut of a surface by a reslice plane, which the plane views make once
// per object after a change and keep for later paints: a sphere of radius
// 1 cm as a latitude-longitude mesh of about 360 000 triangles, cut through
// its middle by a plane of 0.01 cm pixels. Baseline in the same process: one
// pass over the mesh computing each triangle's corner signs, the least any
// cut must do.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "data/contour.h"
#include "data/reslice_info.h"
#include "surfaces/surface_interp.h"
#include "surfaces/surface_section.h"
#include "views/overlay_math.h"

namespace {

constexpr double PI = 3.141592653589793;
constexpr int LAT = 300, LON = 600;

std::unique_ptr<surface_interp> sphere() {
  auto s = std::make_unique<surface_interp>();
  s->mesh.n_points = (LAT + 1) * LON;
  s->mesh.points = new surface_point[s->mesh.n_points];
  for (int i = 0; i <= LAT; ++i)
    for (int j = 0; j < LON; ++j) {
      const double t = PI * i / LAT, p = 2 * PI * j / LON;
      surface_point& q = s->mesh.points[i * LON + j];
      q.x = std::sin(t) * std::cos(p);
      q.y = std::sin(t) * std::sin(p);
      q.z = std::cos(t);
    }
  s->mesh.n_triangles = 2 * LAT * LON;
  s->mesh.triangles = new surface_triangle[s->mesh.n_triangles];
  int k = 0;
  for (int i = 0; i < LAT; ++i)
    for (int j = 0; j < LON; ++j) {
      const int a = i * LON + j, b = i * LON + (j + 1) % LON, c = a + LON, d = b + LON;
      s->mesh.triangles[k++] = {a, b, d, 1};
      s->mesh.triangles[k++] = {a, d, c, 1};
    }
  return s;
}

struct fixture {
  std::unique_ptr<surface_interp> surface = sphere();
  reslice_info plane;
  fixture() {
    plane.width = plane.height = 256;
    plane.set_plane({0, 0.6, 0.8}, {0, 0, 0.05}, {0, 0.8, -0.6}, false);
  }
};

void BM_baseline_corner_signs(benchmark::State& state) {
  fixture f;
  const surface_mesh& m = f.surface->mesh;
  const section_plane cut = reslice_section_plane(f.plane);
  for (auto _ : state) {
    int crossed = 0;
    for (int i = 0; i < m.n_triangles; ++i) {
      const surface_triangle& t = m.triangles[i];
      auto side = [&](int v) {
        const surface_point& p = m.points[v];
        return cut.normal.x * p.x + cut.normal.y * p.y + cut.normal.z * p.z + cut.d > 0;
      };
      const int code = 4 * side(t.a) + 2 * side(t.b) + side(t.c);
      crossed += code != 0 && code != 7;
    }
    benchmark::DoNotOptimize(crossed);
  }
}

void BM_reslice_plane_section(benchmark::State& state) {
  fixture f;
  size_t vertices = 0;
  for (auto _ : state) {
    const auto section = plane_cross_section(*f.surface, reslice_section_plane(f.plane), 1, 0.1);
    vertices = section->contours.empty() ? 0 : section->contours[0].vertices.size();
    benchmark::DoNotOptimize(section.get());
  }
  state.counters["vertices"] = static_cast<double>(vertices);
}

}  // namespace

BENCHMARK(BM_baseline_corner_signs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_reslice_plane_section)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
