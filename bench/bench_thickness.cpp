// Thickness measurements on the tube phantom of tests/data/make_tube_phantom.py
// (160 x 160 pixels of 0.25 mm, 8 slices, blur sigma 0.4 mm, noise 20),
// opened through the NIfTI reader: 64 points round the outer surface along
// their normals, in 3D, 144 samples a line. Each technique runs next to a
// baseline in the same process: the same lines laid and sampled into the
// same profile, without the path that follows.
//
// Run from the build folder: build/bench/bench_thickness (needs python3
// with numpy, scipy and nibabel for the phantom).
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

#include "registry/resource_table.h"
#include "thickness/thickness.h"
#include "thickness/thickness_technique.h"
#include "tube_phantom_main.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kPoints = 64;

void settings(int32_t type, int32_t width) {
  resource_table_t& t = *resource_table;
  t.RES_THICKNESS_TYPE->write(type);
  t.RES_THICKNESS_WIDTH->write(width);
  t.RES_THICKNESS_GAUSS->write(0.04);
  thickness_apply_technique(type);
}

void BM_thickness(benchmark::State& state, int32_t type, int32_t width, bool sample_only) {
  settings(type, width);
  thickness& engine = *resource_table->RES_THICKNESS->read();
  int valid = 0, cells = 0, samples = 0;
  for (auto _ : state) {
    valid = 0;
    for (int k = 0; k < kPoints; ++k) {
      const double a = 2 * kPi * (k + 0.5) / kPoints, c = std::cos(a), s = std::sin(a);
      double p[3] = {80.5 + 48 * c, 80.5 + 48 * s, 0.0}, d[3] = {c, s, 0.0}, n[3] = {c, s, 0.0};
      if (sample_only) {
        if (engine.prepare_measurement(4, p, d, false, 0.0, n, 1e10)) valid += engine.sample_profile() == 0;
      } else {
        engine.measure(4, p, d, false, 0.0, n, 1e10);
        valid += engine.valid;
      }
      benchmark::DoNotOptimize(engine.profile.data());
    }
    cells = engine.cell_count;
    samples = engine.sample_count;
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kPoints);
  state.counters["valid"] = valid;
  state.counters["cells"] = cells;
  state.counters["samples"] = samples;
}

#define NV_THICKNESS_BENCH(name, type, width)                               \
  BENCHMARK_CAPTURE(BM_thickness, name, type, width, false)->Unit(benchmark::kMillisecond); \
  BENCHMARK_CAPTURE(BM_thickness, name##_sampling_only, type, width, true)->Unit(benchmark::kMillisecond)

NV_THICKNESS_BENCH(auto_threshold, thickness_auto_threshold, 0);
NV_THICKNESS_BENCH(hrtc_width_4, thickness_hrtc, 4);
NV_THICKNESS_BENCH(cbm_v1, thickness_cbm_v1, 0);
NV_THICKNESS_BENCH(cbm_v2, thickness_cbm_v2, 0);
NV_THICKNESS_BENCH(endo_cbm_v2, thickness_endo_cbm_v2, 0);

}  // namespace

int main(int argc, char** argv) { return run_benchmarks_on_tube_phantom(argc, argv, "nvthickbench"); }
