// The 2D views' frame mapping: a 512 x 512 frame to a 1024 x 1024 view at
// zoom 2 (cubic kernel), unmasked, masked, and with thresholds and their
// gradient test (the gradient only where the flags leave a pixel undecided;
// meant to stay within 1.5x the plain mode); against a plain copy of the 4 MiB of output bytes. The
// counter "ns_per_px" is the time per output pixel in nanoseconds (the
// library prints it with an "s" suffix, as an inverted rate).
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "registry/resource_table.h"
#include "tools/headless_session.h"
#include "views/globcmap.h"

namespace {

constexpr int kSide = 512;
constexpr int kOut = 1024;

std::vector<uint8_t> frame_pixels() {
  std::vector<uint8_t> frame(kSide * kSide);
  std::mt19937 rng(19);
  std::uniform_int_distribution<int> d(1, 255);
  for (auto& v : frame) v = static_cast<uint8_t>(d(rng));
  return frame;
}

void per_output_pixel(benchmark::State& state) {
  // Seconds per (output pixels / 1e9): nanoseconds per output pixel.
  state.counters["ns_per_px"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kOut * kOut * 1e-9,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// modes: 0 plain, 1 masked, 2 thresholds with the gradient test
void BM_MapFrameZoom2Cubic(benchmark::State& state) {
  headless_session session;
  const int mode = static_cast<int>(state.range(0));
  if (mode == 2) {
    resource_table->RES_CMAP_GREY_LO->write(60);
    resource_table->RES_CMAP_GREY_HI->write(140);
    resource_table->RES_CMAP_BINARY->write(true);
  }
  globcmap_t map;
  const std::vector<uint8_t> frame = frame_pixels();
  std::vector<uint8_t> out(static_cast<size_t>(kOut) * kOut * 4);
  for (auto _ : state) {
    map.map_frame(frame.data(), kSide, kSide, out.data(), kOut, kOut, 0.0f, 0.0f, 2.0f, -2.0f,
                  mode == 1, 1.0);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kOut * kOut * 4);
  per_output_pixel(state);
}
BENCHMARK(BM_MapFrameZoom2Cubic)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("mode")
    ->Unit(benchmark::kMillisecond);

// Baseline: copying the output bytes once.
void BM_CopyOutputBytes(benchmark::State& state) {
  std::vector<uint8_t> in(static_cast<size_t>(kOut) * kOut * 4, 7);
  std::vector<uint8_t> out(in.size());
  for (auto _ : state) {
    std::memcpy(out.data(), in.data(), in.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kOut * kOut * 4);
  per_output_pixel(state);
}
BENCHMARK(BM_CopyOutputBytes)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
