// The 3D view's per-paint work on the processor for a large recording: the
// contour buffer of 500 frames x 10 objects x one contour of 200 vertices
// (one walk over every object entry and vertex, rebuilt when CONT is raised),
// against a plain copy of the same floats; and the current frame's texture
// (a 640 x 480 frame through the colour map into 1024 x 512 padded texels),
// against a plain copy of the texture's bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "data/objects.h"
#include "registry/resource_table.h"
#include "render3d/outline_math.h"
#include "tools/headless_session.h"
#include "views/globcmap.h"

namespace {

constexpr int kFrames = 500, kObjects = 10, kVertices = 200;

struct contour_scene {
  contour_object objects[200];
  contour_scene() {
    for (int f = 0; f < kFrames; ++f)
      for (int o = 0; o < kObjects; ++o) {
        contour_t c;
        c.closed = true;
        for (int v = 0; v < kVertices; ++v) c.vertices.push_back({f + 0.5 * v, o + 0.25 * v});
        objects[o].add_contour(f, c);
      }
  }
};

void BM_ContourBuffer(benchmark::State& state) {
  static contour_scene scene;
  for (auto _ : state) {
    std::vector<float> v = contour_buffer_vertices(scene.objects, 200, kFrames, 0.01, 0.02);
    benchmark::DoNotOptimize(v.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kFrames * kObjects * kVertices * 2 * sizeof(float));
}
BENCHMARK(BM_ContourBuffer)->Unit(benchmark::kMillisecond);

void BM_ContourBufferBaselineCopy(benchmark::State& state) {
  const std::vector<float> src(static_cast<size_t>(kFrames) * kObjects * kVertices * 2, 1.5f);
  for (auto _ : state) {
    std::vector<float> v(src.size());
    std::memcpy(v.data(), src.data(), src.size() * sizeof(float));
    benchmark::DoNotOptimize(v.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(src.size() * sizeof(float)));
}
BENCHMARK(BM_ContourBufferBaselineCopy)->Unit(benchmark::kMillisecond);

void BM_FrameTexture(benchmark::State& state) {
  headless_session session;
  globcmap_t map;
  std::vector<uint8_t> frame(640 * 480);
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i * 7);
  const int32_t w = texture_padded_size(640), h = texture_padded_size(480);
  for (auto _ : state) {
    std::vector<uint8_t> texels(static_cast<size_t>(w) * h * 4);
    map.map_to_rgba(frame.data(), 640, 480, texels.data(), w, h, 0.2f, 0.1f, 0.1f, 1.0f, false);
    benchmark::DoNotOptimize(texels.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * w * h * 4);
}
BENCHMARK(BM_FrameTexture)->Unit(benchmark::kMillisecond);

void BM_FrameTextureBaselineCopy(benchmark::State& state) {
  const std::vector<uint8_t> src(1024 * 512 * 4, 9);
  for (auto _ : state) {
    std::vector<uint8_t> texels(src.size());
    std::memcpy(texels.data(), src.data(), src.size());
    benchmark::DoNotOptimize(texels.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(src.size()));
}
BENCHMARK(BM_FrameTextureBaselineCopy)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
