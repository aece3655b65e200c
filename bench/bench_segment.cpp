// 2D segmentation of a 2048 x 2048 frame holding a large noisy region (a
// disc of radius 900 whose grey values scatter around the band, with failing
// specks), with the default settings (ridge and valley paths, a gap of 25,
// holes and concavities filled) and with plain 4-connected growth, next to
// two baselines over the same bytes: one thresholding pass and a plain
// breadth-first flood fill of the seed's component.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include <wx/init.h>

#include "segmentation/grassfire.h"

namespace {

constexpr int32_t kSide = 2048;
constexpr int32_t kLo = 100, kHi = 255;

const std::vector<uint8_t>& frame() {
  static const std::vector<uint8_t> px = [] {
    std::vector<uint8_t> p(static_cast<size_t>(kSide) * kSide);
    uint32_t s = 12345;
    for (int32_t y = 0; y < kSide; ++y)
      for (int32_t x = 0; x < kSide; ++x) {
        s = s * 1664525u + 1013904223u;
        const int noise = static_cast<int>((s >> 24) % 41) - 20;
        const double dx = x - 1024.0, dy = y - 1024.0;
        const bool inside = dx * dx + dy * dy < 900.0 * 900.0;
        int v = (inside ? 160 : 50) + noise;
        if (inside && (s >> 8) % 97 == 0) v = 40;  // failing specks
        p[static_cast<size_t>(y) * kSide + x] = static_cast<uint8_t>(v);
      }
    return p;
  }();
  return px;
}

void run_segment(benchmark::State& state, const grassfire::segment_settings& s, int32_t gap) {
  wxInitializer base;
  const std::vector<uint8_t>& px = frame();
  const grey_band band(kLo, kHi);
  size_t contours = 0;
  for (auto _ : state) {
    const frame_contours_t r =
        grassfire::segment(px.data(), kSide, kSide, 1024, 1024, gap, 0.3, band, s);
    contours = r.contours.size();
    benchmark::DoNotOptimize(contours);
  }
  state.counters["contours"] = static_cast<double>(contours);
  state.SetBytesProcessed(int64_t(state.iterations()) * kSide * kSide);
}

void BM_SegmentDefaults(benchmark::State& state) {
  run_segment(state, grassfire::segment_settings(), 25);
}

void BM_SegmentPlainGrowth(benchmark::State& state) {
  grassfire::segment_settings s;
  s.ridges = s.valleys = false;
  s.type = 0;
  run_segment(state, s, 0);
}

// Baseline: one pass of the band test over the frame, writing a byte mask.
void BM_ThresholdPass(benchmark::State& state) {
  const std::vector<uint8_t>& px = frame();
  const grey_band band(kLo, kHi);
  std::vector<uint8_t> mask(px.size());
  for (auto _ : state) {
    for (int32_t y = 0; y < kSide; ++y)
      for (int32_t x = 0; x < kSide; ++x)
        mask[static_cast<size_t>(y) * kSide + x] = band.is_highlighted(px.data(), x, y, kSide, kSide) ? 2 : 0;
    benchmark::DoNotOptimize(mask.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kSide * kSide);
}

// Baseline: a plain 4-connected breadth-first flood fill from the seed.
void BM_FloodFill(benchmark::State& state) {
  const std::vector<uint8_t>& px = frame();
  const grey_band band(kLo, kHi);
  std::vector<uint8_t> mask(px.size());
  std::vector<uint32_t> queue;
  for (auto _ : state) {
    std::fill(mask.begin(), mask.end(), 0);
    queue.clear();
    queue.push_back(1024u * kSide + 1024u);
    mask[queue[0]] = 2;
    for (size_t i = 0; i < queue.size(); ++i) {
      const int32_t x = static_cast<int32_t>(queue[i] % kSide), y = static_cast<int32_t>(queue[i] / kSide);
      const int32_t nx[4] = {x, x - 1, x + 1, x}, ny[4] = {y - 1, y, y, y + 1};
      for (int k = 0; k < 4; ++k) {
        if (nx[k] < 0 || ny[k] < 0 || nx[k] >= kSide || ny[k] >= kSide) continue;
        const uint32_t j = static_cast<uint32_t>(ny[k]) * kSide + nx[k];
        if (mask[j] || !band.is_highlighted(px.data(), nx[k], ny[k], kSide, kSide)) continue;
        mask[j] = 2;
        queue.push_back(j);
      }
    }
    benchmark::DoNotOptimize(mask.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kSide * kSide);
}

}  // namespace

BENCHMARK(BM_ThresholdPass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloodFill)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SegmentPlainGrowth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SegmentDefaults)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
