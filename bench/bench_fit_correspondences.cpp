// The shape model's correspondence search: 200,000 data points on a sphere
// of radius 50 mm and 50,000 model vertices near it, each matched to its
// nearest data point within 3 mm through the search grid, next to brute
// force over every data point on a sample of 500 of the same vertices.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "models/fit_model.h"
#include "tools/headless_session.h"

namespace {

constexpr int kDataPoints = 200000;
constexpr int kVertices = 50000;

struct fixture {
  headless_session session;
  fit_model model;
  fixture() {
    std::mt19937 rng(3);
    std::normal_distribution<double> g(0.0, 1.0);
    std::uniform_real_distribution<double> jitter(-1.5, 1.5);
    auto on_sphere = [&](double r) {
      const vec3_t d = vec3_normalise({g(rng), g(rng), g(rng)});
      return vec3_scalar_mul(r, d);
    };
    for (int i = 0; i < kDataPoints; ++i) {
      const vec3_t p = on_sphere(50.0);
      model.data.loaded_points.push_back(p);
      model.data.normals.push_back(vec3_normalise(p));
    }
    model.data.point_count = kDataPoints;
    for (int i = 0; i < kVertices; ++i) {
      const vec3_t p = on_sphere(50.0 + jitter(rng));
      model.model.points.push_back(p);
      model.model.normals.push_back(vec3_normalise(p));
    }
    model.model.point_count = kVertices;
    model.update_search_grid(false);
    model.page.search_range = static_cast<int32_t>(3.0 * model.range_divisor);
  }
};

fixture& shared() {
  static fixture f;
  return f;
}

void BM_GridCorrespondences(benchmark::State& state) {
  fixture& f = shared();
  for (auto _ : state) {
    f.model.find_correspondences();
    benchmark::DoNotOptimize(f.model.model.match_distance2.data());
  }
  state.SetItemsProcessed(state.iterations() * f.model.model.point_count);
}
BENCHMARK(BM_GridCorrespondences)->Unit(benchmark::kMillisecond);

// Baseline: every data point for each of 500 vertices.
void BM_BruteForceNearest(benchmark::State& state) {
  fixture& f = shared();
  const std::vector<vec3_t>& data = f.model.data.loaded_points;
  const std::vector<vec3_t>& normals = f.model.data.normals;
  for (auto _ : state) {
    double total = 0.0;
    for (int i = 0; i < 500; ++i) {
      const vec3_t& p = f.model.model.points[i];
      const vec3_t& n = f.model.model.normals[i];
      double best = 1e10;
      for (size_t j = 0; j < data.size(); ++j) {
        const vec3_t d = p - data[j];
        const double t = vec3_dot(d, d);
        if (t < best && vec3_dot(n, normals[j]) >= 0.0) best = t;
      }
      total += best;
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetItemsProcessed(state.iterations() * 500);
}
BENCHMARK(BM_BruteForceNearest)->Unit(benchmark::kMillisecond);

// Refilling the grid and searching again, as a click in the review view does.
void BM_UpdateSearchGrid(benchmark::State& state) {
  fixture& f = shared();
  for (auto _ : state) f.model.update_search_grid(false);
  state.SetItemsProcessed(state.iterations() * f.model.data.point_count);
}
BENCHMARK(BM_UpdateSearchGrid)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
