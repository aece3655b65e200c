// Masking 20 frames of 512 x 512 with a region drawn on the review view,
// against one read-modify-write pass over the same display bytes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include <wx/init.h>

#include "registry/res_values.h"
#include "tools/headless_session.h"
#include "views/review_mask.h"

namespace {

constexpr int kSide = 512;
constexpr int kFrames = 20;

class yes_ui final : public mask_ui {
 public:
  bool ask(const wxString&, const wxString&) override { return true; }
  void progress_start(const wxString&, const wxString&, int) override {}
  void progress_update(int, const wxString&) override {}
  void progress_finish() override {}
};

void load_frames() {
  for (int f = 0; f < kFrames; ++f) {
    auto* px = new uint8_t[kSide * kSide];
    for (int k = 0; k < kSide * kSide; ++k) px[k] = static_cast<uint8_t>(k * 7 + f);
    frame_store->add_image(frame_image_t::create(px, kSide * kSide));
  }
  resource_table_t& t = *resource_table;
  t.RES_BUF_WIDTH->write(kSide);
  t.RES_BUF_HEIGHT->write(kSide);
  t.RES_BUF_FRAMES->write(kFrames);
}

contour_t circle() {
  contour_t c;
  for (int i = 0; i < 64; ++i) {
    const double a = 2 * 3.141592653589793 * i / 64;
    c.vertices.push_back({256 + 200 * std::cos(a), 256 + 200 * std::sin(a)});
  }
  c.closed = true;
  return c;
}

void BM_MaskData(benchmark::State& state) {
  wxInitializer base;
  headless_session session;
  load_frames();
  const contour_t outline = circle();
  yes_ui ui;
  mask_region_t mask;
  for (auto _ : state) {
    mask_data(mask, &outline, ui);
    benchmark::DoNotOptimize(frame_store->images[0]->display[kSide * kSide / 2]);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kFrames * kSide * kSide);
}
BENCHMARK(BM_MaskData)->Unit(benchmark::kMillisecond);

// Baseline: the same bytes, each read and written once.
void BM_TouchEveryDisplayByte(benchmark::State& state) {
  std::vector<std::vector<uint8_t>> frames(kFrames, std::vector<uint8_t>(kSide * kSide, 3));
  for (auto _ : state) {
    for (auto& f : frames)
      for (uint8_t& v : f) v = v ? v : 1;
    benchmark::DoNotOptimize(frames[0][kSide * kSide / 2]);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kFrames * kSide * kSide);
}
BENCHMARK(BM_TouchEveryDisplayByte)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
