// The CPU side of building the volume texture of a stack of 512 frames of
// 512 x 512 pixels: forming every slice from its frame and recording the
// per-value extents, unsmoothed (every frame) and smoothed with every second
// frame kept; against a plain copy of the same bytes into one slice buffer.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "render3d/volume_texture.h"

namespace {

constexpr int kSide = 512;
constexpr int kFrames = 512;

const std::vector<std::vector<uint8_t>>& frames() {
  static const std::vector<std::vector<uint8_t>> f = [] {
    std::vector<std::vector<uint8_t>> out(kFrames, std::vector<uint8_t>(size_t(kSide) * kSide));
    for (int k = 0; k < kFrames; ++k)
      for (int i = 0; i < kSide * kSide; ++i) out[k][i] = uint8_t((i * 7 + k * 13) % 251);
    return out;
  }();
  return f;
}

void BM_PlainCopy(benchmark::State& state) {
  const auto& f = frames();
  std::vector<uint8_t> slice(size_t(kSide) * kSide);
  for (auto _ : state) {
    for (int k = 0; k < kFrames; ++k) {
      std::memcpy(slice.data(), f[k].data(), slice.size());
      benchmark::DoNotOptimize(slice.data());
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kFrames * kSide * kSide);
}

void build(benchmark::State& state, int n) {
  const auto& f = frames();
  auto source = [&](int32_t k) { return f[size_t(k)].data(); };
  const std::vector<double> weights = volume_smoothing_weights(n);
  std::vector<uint8_t> slice(size_t(kSide) * kSide);
  volume_extents extents;
  for (auto _ : state) {
    extents.reset(kSide, kSide, volume_reduced(kFrames, n));
    for (int j = 0; j < kFrames; j += n) {
      volume_form_slice(source, j, kFrames, kSide, kSide, 1, n > 1 ? &weights : nullptr, slice.data());
      extents.add_slice(slice.data(), 1, j / n);
    }
    extents.finish();
    benchmark::DoNotOptimize(extents.present(5));
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kFrames * kSide * kSide);
}

void BM_VolumeSlices(benchmark::State& state) { build(state, 1); }
void BM_VolumeSlicesSmoothed(benchmark::State& state) { build(state, 2); }

BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VolumeSlices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VolumeSlicesSmoothed)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
