// Calibrating to bone density over 200 frames of 512 x 512 (landmarks on the
// first and last frame, so every frame is sampled), against one pass that
// sums every pixel of the same frames.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "medical/bmd_calibration.h"

namespace {

constexpr int kSide = 512;
constexpr int kFrames = 200;

// Frames with a QRM-BDC 6 like rise of values along the rows, so the fit succeeds.
std::vector<std::vector<uint16_t>> frames() {
  std::vector<std::vector<uint16_t>> f(kFrames, std::vector<uint16_t>(kSide * kSide));
  std::mt19937 rng(1);
  std::uniform_int_distribution<int> noise(0, 8);
  for (auto& plane : f)
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x) plane[size_t(y) * kSide + x] = uint16_t(1024 + 2 * x + noise(rng));
  return f;
}

landmark_t end_point(double x, double y, int frame) {
  landmark_t l;
  l.kind = LM_2D;
  l.x = x, l.y = y, l.z = frame;
  return l;
}

void BM_CalibrateBmd(benchmark::State& state) {
  const auto f = frames();
  bmd_input in;
  in.frames = kFrames;
  in.width = in.height = kSide;
  in.xscale = in.yscale = 0.04;  // 20 cm across
  in.hub = -1024;
  in.raw = [&f](int32_t i) { return f[size_t(i)].data(); };
  // With positions four landmarks are taken, two on each of the end frames.
  static const position_t origin;
  in.position = [](int32_t) { return &origin; };
  in.landmarks = {end_point(19, 10, 0), end_point(3, 10, 0), end_point(19, 10.5, kFrames - 1),
                  end_point(3, 10.5, kFrames - 1)};
  for (auto _ : state) {
    const bmd_result r = bmd_calibrate(in);
    if (r.status != bmd_result::CALIBRATED) state.SkipWithError("calibration failed");
    benchmark::DoNotOptimize(r.scale);
  }
}
BENCHMARK(BM_CalibrateBmd)->Unit(benchmark::kMillisecond);

void BM_SumAllPixels(benchmark::State& state) {
  const auto f = frames();
  for (auto _ : state) {
    uint64_t sum = 0;
    for (const auto& plane : f)
      for (uint16_t v : plane) sum += v;
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kFrames * kSide * kSide * 2);
}
BENCHMARK(BM_SumAllPixels)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
