// Frame correlation on 512 x 512 frames: one pair of a position run and of a
// pressure run (the newer frame's content moved by (3, -2) pixels and, for
// pressure, compressed by 1 % along y), per pair, next to a baseline of one
// pass of squared differences over the same two frames' bytes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include <wx/init.h>
#include <wx/log.h>

#include "registry/resource_table.h"
#include "segmentation/image_correlation.h"
#include "tools/headless_session.h"

namespace {

constexpr int32_t kSide = 512;

std::vector<uint8_t> make_frame(double sx, double sy, double squeeze, uint32_t seed) {
  std::vector<uint8_t> px(static_cast<size_t>(kSide) * kSide);
  const double t = 6.283185307179586;
  uint32_t s = seed;
  for (int32_t r = 0; r < kSide; ++r)
    for (int32_t c = 0; c < kSide; ++c) {
      const double x = c + sx, y = r / squeeze + sy;
      s = s * 1664525u + 1013904223u;
      const double v = 128 + 50 * std::sin(t * x / 102.5 + 0.3) + 50 * std::sin(t * y / 74.5 + 1.1) +
                       10 * std::sin(t * x / 13.7) * std::sin(t * y / 9.1 + 0.4) + static_cast<double>((s >> 24) % 9) - 4;
      px[static_cast<size_t>(r) * kSide + c] = static_cast<uint8_t>(std::lround(std::min(std::max(v, 1.0), 255.0)));
    }
  return px;
}

// A frame store of two frames and the resources a run reads.
struct pair_session {
  headless_session session;
  explicit pair_session(double squeeze) {
    const std::vector<uint8_t> frames[2] = {make_frame(0, 0, 1.0, 1), make_frame(3, -2, squeeze, 2)};
    for (int k = 0; k < 2; ++k) {
      auto* px = new uint8_t[frames[k].size()];
      std::copy(frames[k].begin(), frames[k].end(), px);
      frame_store->add_image(frame_image_t::create(px, static_cast<int32_t>(frames[k].size())));
      position_t p;
      p.z = 0.1f * static_cast<float>(k);
      frame_store->positions.push_back(position_holder_t::create(p));
      frame_store->timestamps.push_back(static_cast<uint64_t>(k));
    }
    resource_table_t& t = *resource_table;
    t.RES_BUF_WIDTH->write(kSide);
    t.RES_BUF_HEIGHT->write(kSide);
    t.RES_BUF_FRAMES->write(2);
    t.RES_XSCALE->write(0.02);
    t.RES_YSCALE->write(0.02);
    t.RES_POS_REC->write(true);
    base_res_t::make_pending_writes_happen();
  }
};

void run_pair(benchmark::State& state, bool pressure) {
  wxInitializer base;
  wxLog::SetLogLevel(wxLOG_Info);
  pair_session s(pressure ? 1.01 : 1.0);
  double x = 0;
  for (auto _ : state) {
    image_correlation run(false, pressure);
    run.correct_frame(0);
    run.correct_frame(1);
    if (run.pending.size() < 2) { state.SkipWithError(run.failure().utf8_str().data()); break; }
    x = run.pending[1].corrected_position[0];
    benchmark::DoNotOptimize(run.pending.data());
  }
  state.counters["x_cm"] = x;  // the correction found: 0.06 cm
  state.SetBytesProcessed(int64_t(state.iterations()) * 2 * kSide * kSide);
}

void BM_PositionPair(benchmark::State& state) { run_pair(state, false); }
void BM_PressurePair(benchmark::State& state) { run_pair(state, true); }

// Baseline: one pass of squared differences over the two frames.
void BM_SquaredDifferencesPass(benchmark::State& state) {
  const std::vector<uint8_t> a = make_frame(0, 0, 1.0, 1), b = make_frame(3, -2, 1.0, 2);
  for (auto _ : state) {
    int64_t sum = 0;
    for (int32_t r = 0; r < kSide; ++r) {
      int32_t row = 0;
      const uint8_t* pa = a.data() + static_cast<size_t>(r) * kSide;
      const uint8_t* pb = b.data() + static_cast<size_t>(r) * kSide;
      for (int32_t c = 0; c < kSide; ++c) {
        const int32_t d = int32_t(pa[c]) - int32_t(pb[c]);
        row += d * d;
      }
      sum += row;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * 2 * kSide * kSide);
}

BENCHMARK(BM_PositionPair)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PressurePair)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SquaredDifferencesPass)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
