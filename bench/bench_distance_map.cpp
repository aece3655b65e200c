// Signed distance map of a 512 x 512 frame holding 20 closed contours of 500
// vertices each (a 5 x 4 grid of ellipses, alternately drawn either way).
#include <benchmark/benchmark.h>

#include <cmath>

#include "data/contour.h"

namespace {

frame_contours_t grid_of_ellipses() {
  frame_contours_t e;
  const double cell_w = 512.0 / 5, cell_h = 512.0 / 4;
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 5; ++col) {
      contour_t c;
      c.closed = true;
      const double cx = (col + 0.5) * cell_w, cy = (row + 0.5) * cell_h;
      const double sign = (row + col) % 2 ? 1.0 : -1.0;
      for (int k = 0; k < 500; ++k) {
        double a = sign * 2 * 3.141592653589793 * k / 500;
        c.vertices.push_back({cx + 0.47 * cell_w * std::cos(a), cy + 0.47 * cell_h * std::sin(a)});
      }
      e.contours.push_back(c);
    }
  }
  return e;
}

void BM_distance_map(benchmark::State& state) {
  frame_contours_t e = grid_of_ellipses();
  for (auto _ : state) {
    auto map = e.measure(1, false);
    benchmark::DoNotOptimize(map.get());
  }
  const double cells = double(e.box_width) * e.box_height;
  state.counters["box_pixels"] = cells;
  state.counters["time_per_pixel"] = benchmark::Counter(
      cells, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_distance_map)->Unit(benchmark::kMillisecond);

void BM_area_only(benchmark::State& state) {
  frame_contours_t e = grid_of_ellipses();
  for (auto _ : state) benchmark::DoNotOptimize(e.measure(1, true));
}
BENCHMARK(BM_area_only)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
