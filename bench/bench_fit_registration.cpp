// One local (LAD) registration iteration of a 20,000-vertex ellipsoid model
// against 80,000 data points of a bulged copy, neighbourhoods of about
// 20 vertices, next to the all-pairs neighbourhood search it no longer
// needs, on the same vertices and radius.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "models/fit_model.h"
#include "registry/resource_table.h"
#include "tools/headless_session.h"

namespace {

constexpr double kRadius = 0.5;  // mm: 5 / flexibility 10 x hint 1

// A UV ellipsoid of 20 x 14 x 10 mm, rings x segments.
std::vector<vec3_t> ellipsoid_points(int rings, int segments, std::vector<std::array<int32_t, 3>>* faces) {
  std::vector<vec3_t> pts{{0, 0, 10}};
  for (int i = 1; i < rings; ++i)
    for (int j = 0; j < segments; ++j) {
      const double t = NV_PI * i / rings, p = 2 * NV_PI * j / segments;
      pts.push_back({20 * std::sin(t) * std::cos(p), 14 * std::sin(t) * std::sin(p), 10 * std::cos(t)});
    }
  pts.push_back({0, 0, -10});
  if (faces) {
    const int32_t last = static_cast<int32_t>(pts.size()) - 1;
    for (int j = 0; j < segments; ++j) faces->push_back({0, 1 + j, 1 + (j + 1) % segments});
    for (int i = 0; i < rings - 2; ++i)
      for (int j = 0; j < segments; ++j) {
        const int32_t a = 1 + i * segments, b = a + segments, k = (j + 1) % segments;
        faces->push_back({a + j, b + j, b + k});
        faces->push_back({a + j, b + k, a + k});
      }
    const int32_t base = 1 + (rings - 2) * segments;
    for (int j = 0; j < segments; ++j) faces->push_back({base + j, last, base + (j + 1) % segments});
  }
  return pts;
}

struct fixture {
  headless_session session;
  fit_model& m = *resource_table->RES_FIT_MODEL->read();
  std::vector<vec3_t> vertices;
  fixture() {
    std::vector<std::array<int32_t, 3>> faces;
    vertices = ellipsoid_points(100, 200, &faces);
    std::vector<vec3_t> data = ellipsoid_points(200, 400, nullptr);
    for (vec3_t& p : data) p.x += 2.0 * std::exp(-(p.y * p.y + p.z * p.z) / 40.0) * (p.x > 0);
    m.model.point_count = static_cast<int32_t>(vertices.size());
    m.model.triangles = faces;
    m.model.triangle_count = static_cast<int32_t>(faces.size());
    m.model.landmark_vertices.assign(vertices.size(), false);
    m.model.landmark_targets.assign(vertices.size(), vec3_t{});
    m.data.loaded_points = data;
    m.data.normals.assign(data.size(), vec3_t{});
    m.data.point_count = static_cast<int32_t>(data.size());
    m.update_search_grid(true);
    m.page.registration_type = 1;
    m.flexibility = 10;
    m.lad_radius = kRadius;
  }
  void reset() {
    m.model.points = m.model.loaded_points = vertices;
    fit_model::compute_normals(m.model);
    fit_model::compute_bounds(m.model);
    m.model.match_range2 = -1;
  }
};

fixture& shared() {
  static fixture f;
  return f;
}

void BM_LocalIteration(benchmark::State& state) {
  fixture& f = shared();
  for (auto _ : state) {
    state.PauseTiming();
    f.reset();
    state.ResumeTiming();
    f.m.registration_iteration();
    benchmark::DoNotOptimize(f.m.model.points.data());
  }
  state.counters["vertices"] = double(f.vertices.size());
}

void BM_AllPairsNeighbourhoods(benchmark::State& state) {
  fixture& f = shared();
  for (auto _ : state) {
    auto n = points_within_radius_all_pairs(f.vertices, kRadius);
    benchmark::DoNotOptimize(n.data());
  }
}

void BM_GridNeighbourhoods(benchmark::State& state) {
  fixture& f = shared();
  for (auto _ : state) {
    auto n = points_within_radius(f.vertices, kRadius);
    benchmark::DoNotOptimize(n.data());
  }
}

BENCHMARK(BM_LocalIteration)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_AllPairsNeighbourhoods)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_GridNeighbourhoods)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
