// Holes and concavities of a 256^3 volume (Body, strength 50): a thick-walled
// block holding a closed cavity, two bottles behind narrow mouths, open cups
// and dents in its faces, next to one read-and-write pass over the same
// voxels. The phantom is also written as raw bytes when NV_TOPOLOGY_RAW names
// a file, so that other tools can be timed on the same volume.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <vector>

#include <wx/init.h>

#include "segmentation/grassfire_volume.h"

namespace {

constexpr int32_t kSide = 256;
const grassfire::volume_size kSize{kSide, kSide, kSide};

struct phantom {
  std::vector<uint8_t> state, grey;
  phantom() : state(kSize.voxels(), 0), grey(kSize.voxels(), 50) {}
  void box(int32_t x0, int32_t y0, int32_t z0, int32_t x1, int32_t y1, int32_t z1, bool object) {
    for (int32_t z = z0; z <= z1; ++z)
      for (int32_t y = y0; y <= y1; ++y)
        for (int32_t x = x0; x <= x1; ++x) {
          const size_t i = kSize.index(x, y, z);
          state[i] = object ? 2 : 0;
          grey[i] = object ? 200 : 50;
        }
  }
  void ball(double cx, double cy, double cz, double r, bool object) {
    auto lo = [&](double c) { return std::max(0, static_cast<int32_t>(c - r)); };
    auto hi = [&](double c) { return std::min(kSide - 1, static_cast<int32_t>(c + r)); };
    for (int32_t z = lo(cz); z <= hi(cz); ++z)
      for (int32_t y = lo(cy); y <= hi(cy); ++y)
        for (int32_t x = lo(cx); x <= hi(cx); ++x)
          if ((x - cx) * (x - cx) + (y - cy) * (y - cy) + (z - cz) * (z - cz) <= r * r)
            box(x, y, z, x, y, z, object);
  }
};

const phantom& volume() {
  static const phantom p = [] {
    phantom v;
    v.box(24, 24, 24, 231, 231, 231, true);
    v.ball(128, 128, 128, 40, false);                // closed cavity
    v.ball(70, 70, 70, 25, false);                   // bottle
    v.box(70, 70, 40, 71, 71, 70, false);            // its narrow mouth
    v.ball(186, 70, 186, 25, false);                 // another
    v.box(186, 40, 186, 188, 70, 188, false);
    v.ball(70, 186, 231, 30, false);                 // open cups in the faces
    v.ball(186, 231, 70, 20, false);
    for (int32_t k = 0; k < 8; ++k)                  // shallow dents
      v.ball(231, 40 + 22 * k, 40 + 22 * k, 6, false);
    return v;
  }();
  return p;
}

void BM_TopologicalAnalysisBody50(benchmark::State& state) {
  wxInitializer base;
  const phantom& p = volume();
  std::vector<const uint8_t*> frames;
  for (int32_t z = 0; z < kSide; ++z) frames.push_back(p.grey.data() + kSize.index(0, 0, z));
  grassfire::segment_settings s;
  s.type = 2;
  s.concavity = 50;
  const grey_band band(100, 255);
  grassfire::null_volume_progress none;
  std::vector<uint8_t> work;
  size_t body = 0;
  for (auto _ : state) {
    state.PauseTiming();
    work = p.state;
    state.ResumeTiming();
    const grassfire::bounds3d b = grassfire::find_object_extent(work.data(), kSize);
    grassfire::topological_analysis(work.data(), frames.data(), kSize, b, band, s, none);
    benchmark::DoNotOptimize(work.data());
  }
  for (uint8_t v : work) body += v == 2;
  state.counters["body_voxels"] = static_cast<double>(body);
  state.SetBytesProcessed(int64_t(state.iterations()) * static_cast<int64_t>(kSize.voxels()));
}

// Baseline: one pass that reads every voxel and writes it back changed.
void BM_ReadWritePass(benchmark::State& state) {
  std::vector<uint8_t> work = volume().state;
  for (auto _ : state) {
    for (uint8_t& v : work) v = static_cast<uint8_t>(v < 246 ? 2 : 0);
    benchmark::DoNotOptimize(work.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * static_cast<int64_t>(kSize.voxels()));
}

}  // namespace

BENCHMARK(BM_ReadWritePass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TopologicalAnalysisBody50)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (const char* raw = std::getenv("NV_TOPOLOGY_RAW")) {
    std::ofstream out(raw, std::ios::binary);
    out.write(reinterpret_cast<const char*>(volume().state.data()),
              static_cast<std::streamsize>(kSize.voxels()));
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
