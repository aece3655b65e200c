// Mapping thickness over a surface, and deriving its display data.
//
// Mapping: tube meshes of 20,000 and 100,000 vertices laid on the frames of
// the tube phantom of tests/data/make_tube_phantom.py (with noise 20), mapped
// with the auto threshold and with CBM v2, next to a baseline of the same
// measurements as a plain loop of thickness::measure calls at the same
// points (what the mapping adds is the frame search, the arrays and the
// bookkeeping).
//
// Display data: select_display_data (reject mask on or off, 4 smoothing
// passes, fill 50) on a sphere of 1,000,000 vertices with holes, next to one pass
// over the same arrays: the weighted sums over every triangle's corners that
// one smoothing pass forms.
//
// Run from the build folder: build/bench/bench_thickness_map (needs python3
// with numpy, scipy and nibabel for the phantom).
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "data/dynabuf.h"
#include "registry/resource_table.h"
#include "surfaces/surface_interp.h"
#include "surfaces/surface_sources.h"
#include "thickness/surface_mapping.h"
#include "thickness/thickness.h"
#include "thickness/thickness_technique.h"
#include "tube_phantom_main.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kFrames = 8;

void technique(int32_t type) {
  resource_table_t& t = *resource_table;
  t.RES_THICKNESS_TYPE->write(type);
  t.RES_THICKNESS_GAUSS->write(0.04);
  thickness_apply_technique(type);
  base_res_t::make_pending_writes_happen();
}

void set_mesh(surface_interp& s, std::vector<surface_point>& pts, std::vector<surface_triangle>& tris) {
  delete[] s.mesh.points;
  delete[] s.mesh.triangles;
  s.mesh.n_points = int32_t(pts.size());
  s.mesh.points = new surface_point[pts.size()];
  std::copy(pts.begin(), pts.end(), s.mesh.points);
  s.mesh.n_triangles = int32_t(tris.size());
  s.mesh.triangles = new surface_triangle[tris.size()];
  std::copy(tris.begin(), tris.end(), s.mesh.triangles);
}

// One ring per frame on the phantom's outer surface (radius 48 pixels about
// pixel 80.5, 80.5), `vertices` in all.
void tube(surface_interp& s, int vertices) {
  const int segments = vertices / kFrames;
  const double xs = resource_table->RES_XSCALE->read();
  const matrix4_t C = surface_calibration_from_resources();
  s.calibration = C;
  std::vector<surface_point> pts;
  std::vector<surface_triangle> tris;
  for (int r = 0; r < kFrames; ++r) {
    matrix4_t P, F;
    matrix4_from_position_t(P, *frame_store->positions[size_t(r)]);
    matrix4_multiply(P, F, C);
    for (int k = 0; k < segments; ++k) {
      const double a = 2 * kPi * (k + 0.5) / segments;
      const vec3_t local{(80.5 + 48 * std::cos(a)) * xs, (80.5 + 48 * std::sin(a)) * xs, 0.0};
      vec3_t w, tip;
      matrix4_transform_point(w, F, local);
      matrix4_transform_point(tip, F, local + vec3_t{std::cos(a), std::sin(a), 0.0});
      surface_point p;
      p.x = w.x, p.y = w.y, p.z = w.z;
      p.nx = tip.x - w.x, p.ny = tip.y - w.y, p.nz = tip.z - w.z;
      pts.push_back(p);
    }
  }
  for (int r = 0; r + 1 < kFrames; ++r)
    for (int k = 0; k < segments; ++k) {
      const int a = r * segments + k, b = r * segments + (k + 1) % segments;
      tris.push_back({a, b, b + segments, 1});
      tris.push_back({a, b + segments, a + segments, 1});
    }
  set_mesh(s, pts, tris);
}

void BM_map(benchmark::State& state, int32_t type) {
  technique(type);
  surface_interp s;
  tube(s, int(state.range(0)));
  long measured = 0;
  for (auto _ : state) {
    s.calc_thickness();
    measured = 0;
    for (double e : s.fit_error) measured += e != 1e10;
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * s.mesh.n_points);
  state.counters["vertices"] = s.mesh.n_points;
  state.counters["measured"] = double(measured);
}

// The same measurements at the same points, straight through the engine.
void BM_measure_loop(benchmark::State& state, int32_t type) {
  technique(type);
  thickness& engine = *resource_table->RES_THICKNESS->read();
  const int vertices = int(state.range(0)), segments = vertices / kFrames;
  long measured = 0;
  for (auto _ : state) {
    measured = 0;
    for (int r = 0; r < kFrames; ++r)
      for (int k = 0; k < segments; ++k) {
        const double a = 2 * kPi * (k + 0.5) / segments, c = std::cos(a), sn = std::sin(a);
        double p[3] = {80.5 + 48 * c, 80.5 + 48 * sn, 0.0}, d[3] = {c, sn, 0.0}, n[3] = {0, 0, 0};
        engine.measure(r, p, d, false, 0.0, n, 1e10);
        measured += engine.valid;
      }
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * segments * kFrames);
  state.counters["vertices"] = segments * kFrames;
  state.counters["measured"] = double(measured);
}

BENCHMARK_CAPTURE(BM_map, auto_threshold, thickness_auto_threshold)
    ->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_measure_loop, auto_threshold, thickness_auto_threshold)
    ->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_map, cbm_v2, thickness_cbm_v2)
    ->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_measure_loop, cbm_v2, thickness_cbm_v2)
    ->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

// A sphere of about a million vertices with thickness results and holes.
surface_interp& big_sphere() {
  static surface_interp s;
  if (s.mesh.n_points) return s;
  const int rings = 1000, segments = 1000;
  std::vector<surface_point> pts;
  std::vector<surface_triangle> tris;
  auto add = [&](double th, double ph) {
    surface_point p;
    p.nx = std::sin(th) * std::cos(ph), p.ny = std::sin(th) * std::sin(ph), p.nz = std::cos(th);
    p.x = 2 * p.nx, p.y = 2 * p.ny, p.z = 2 * p.nz;
    pts.push_back(p);
  };
  add(0, 0);
  for (int r = 1; r < rings; ++r)
    for (int k = 0; k < segments; ++k) add(kPi * r / rings, 2 * kPi * k / segments);
  add(kPi, 0);
  const int south = int(pts.size()) - 1;
  auto at = [&](int r, int k) { return 1 + (r - 1) * segments + (k % segments); };
  for (int k = 0; k < segments; ++k) {
    tris.push_back({0, at(1, k), at(1, k + 1), 1});
    for (int r = 1; r + 1 < rings; ++r) {
      tris.push_back({at(r, k), at(r + 1, k), at(r + 1, k + 1), 1});
      tris.push_back({at(r, k), at(r + 1, k + 1), at(r, k + 1), 1});
    }
    tris.push_back({at(rings - 1, k), south, at(rings - 1, k + 1), 1});
  }
  set_mesh(s, pts, tris);
  const size_t n = pts.size();
  s.cortical_thickness.resize(n);
  s.fit_error.resize(n);
  s.surface_offset.resize(n);
  for (size_t i = 0; i < n; ++i) {
    s.cortical_thickness[i] = 2.0 + std::sin(0.001 * double(i));
    // Blob-shaped holes, some 5 % of the surface.
    const surface_point& p = pts[i];
    const bool hole = std::sin(9 * p.x) * std::sin(9 * p.y) * std::sin(9 * p.z) > 0.6;
    s.fit_error[i] = hole ? 1e10 : 0.05 + 0.01 * double(i % 5);
    s.surface_offset[i] = 0.3 * std::cos(0.0007 * double(i));
  }
  return s;
}

void BM_select_display_data(benchmark::State& state) {
  resource_table_t& t = *resource_table;
  t.RES_THICKNESS_SMOOTH->write(4);
  t.RES_THICKNESS_SMOOTH_FILL->write(50);
  // Arg 1: the reject mask's angle and distance tests on; 0: off.
  t.RES_THICKNESS_OUTLIER_REJECT->write(state.range(0) ? 60 : 90);
  t.RES_THICKNESS_DISTANCE_REJECT->write(state.range(0) ? 20 : 40);
  base_res_t::make_pending_writes_happen();
  surface_interp& s = big_sphere();
  std::vector<double> values, offsets;
  for (auto _ : state) {
    s.select_display_data(0, &values, &offsets, nullptr);
    benchmark::DoNotOptimize(values.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * s.mesh.n_points);
  long holes = 0;
  for (double e : s.fit_error) holes += e == 1e10;
  state.counters["vertices"] = s.mesh.n_points;
  state.counters["holes"] = double(holes);
}

void BM_one_pass_over_the_arrays(benchmark::State& state) {
  surface_interp& s = big_sphere();
  const size_t n = size_t(s.mesh.n_points);
  std::vector<double> sums(n), weights(n);
  for (auto _ : state) {
    for (size_t i = 0; i < n; ++i) {
      const double w = s.fit_error[i] == 1e10 ? 0.0 : 1.0 / (s.fit_error[i] * s.fit_error[i]);
      sums[i] = 2 * w * s.cortical_thickness[i];
      weights[i] = 2 * w;
    }
    for (int32_t j = 0; j < s.mesh.n_triangles; ++j) {
      const surface_triangle& tr = s.mesh.triangles[j];
      const size_t c[3] = {size_t(tr.a), size_t(tr.b), size_t(tr.c)};
      for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b)
          if (a != b) {
            const double w = s.fit_error[c[b]] == 1e10 ? 0.0 : 1.0 / (s.fit_error[c[b]] * s.fit_error[c[b]]);
            sums[c[a]] += w * s.cortical_thickness[c[b]];
            weights[c[a]] += w;
          }
    }
    benchmark::DoNotOptimize(sums.data());
    benchmark::DoNotOptimize(weights.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * s.mesh.n_points);
}

BENCHMARK(BM_select_display_data)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_one_pass_over_the_arrays)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return run_benchmarks_on_tube_phantom(argc, argv, "nvthickmap"); }
