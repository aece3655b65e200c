// Windowing one 512 x 512 16-bit frame into display bytes, against a plain
// copy of the same raw plane.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "data/dynabuf.h"
#include "medical/dicom_utility.h"

namespace {

constexpr int kSide = 512;

std::vector<uint16_t> raw_plane() {
  std::vector<uint16_t> raw(kSide * kSide);
  std::mt19937 rng(1);
  std::uniform_int_distribution<int> d(0, 4095);
  for (auto& v : raw) v = uint16_t(d(rng));
  return raw;
}

void BM_WindowFrame(benchmark::State& state) {
  const std::vector<uint16_t> raw = raw_plane();
  dicom_utility::data_16bit = true;
  dicom_utility::padding_value = static_cast<uint16_t>(state.range(0));
  frame_image_ref rec = frame_image_t::create(new uint8_t[kSide * kSide](), kSide * kSide);
  windowing_params_t p;
  p.width = p.height = kSide;
  p.centre = 1024;
  p.window = 2048;
  p.filter = static_cast<int32_t>(state.range(1));
  for (auto _ : state) {
    p.redraw++;  // out of date every time
    dicom_utility::window_frame(raw.data(), *rec, rec->size, rec->stamp, p);
    benchmark::DoNotOptimize(rec->display[kSide * kSide / 2]);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kSide * kSide * 2);
}
BENCHMARK(BM_WindowFrame)->Args({0, 0})->Args({4095, 0})->Args({0, 2})->ArgNames({"padding", "filter"});

void BM_CopyRawPlane(benchmark::State& state) {
  const std::vector<uint16_t> raw = raw_plane();
  std::vector<uint16_t> out(raw.size());
  for (auto _ : state) {
    std::memcpy(out.data(), raw.data(), raw.size() * sizeof(uint16_t));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kSide * kSide * 2);
}
BENCHMARK(BM_CopyRawPlane);

}  // namespace

BENCHMARK_MAIN();
