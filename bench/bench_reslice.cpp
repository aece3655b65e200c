// An oblique 512 x 512 reslice through a stack of 512 frames of 512 x 512
// pixels, in the faster and the accurate mode, and in the faster mode with a
// pressure correction in use (every touched frame resampled row by row
// first), against a plain copy of the frames the plane touches (512 x 512
// bytes each): the memory traffic that a builder reading every touched frame
// whole would need.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "data/dynabuf.h"
#include "registry/resource_table.h"
#include "segmentation/image_correlation.h"
#include "tools/headless_session.h"
#include "views/reslice_internals.h"

namespace {

constexpr int kSide = 512;
constexpr int kFrames = 512;
constexpr double kPixel = 0.01;  // cm; frames one pixel apart

struct stack_fixture {
  headless_session session;
  reslice_internals* builder = nullptr;  // the table deletes it

  stack_fixture() {
    resource_table_t& t = *resource_table;
    for (int k = 0; k < kFrames; ++k) {
      position_t p;
      p.z = static_cast<float>(k * kPixel);
      frame_store->positions.push_back(position_holder_t::create(p));
      frame_store->timestamps.push_back(0);
      auto* pixels = new uint8_t[kSide * kSide];
      for (int i = 0; i < kSide * kSide; ++i) pixels[i] = static_cast<uint8_t>(1 + (i * 7 + k * 13) % 250);
      frame_store->add_image(frame_image_t::create(pixels, kSide * kSide));
    }
    t.RES_BUF_WIDTH->write(kSide);
    t.RES_BUF_HEIGHT->write(kSide);
    t.RES_FRAME_SIZE->write(kSide * kSide);
    t.RES_XSCALE->write(kPixel);
    t.RES_YSCALE->write(kPixel);
    t.RES_POS_REC->write(true);
    t.RES_BUF_FRAMES->write(kFrames);
    base_res_t::make_pending_writes_happen();
    builder = new reslice_internals(-1, kSide, kSide);
    const double mid = kSide * kPixel / 2;
    builder->plane()->set_plane({0.4, 0.3, 1.0}, {mid, mid, mid}, {0, 1, 0}, false);
    builder->plane()->set_width(kSide);
    builder->plane()->set_height(kSide);
  }
  ~stack_fixture() { delete builder; }

  int frames_touched() const {
    int n = 0;
    for (int k = 0; k < kFrames; ++k) {
      vec2_t a, b;
      n += builder->frame_line(k, a, b);
    }
    return n;
  }
};

stack_fixture& fixture() {
  static stack_fixture f;
  return f;
}

void BM_ObliqueReslice(benchmark::State& state) {
  stack_fixture& f = fixture();
  f.builder->plane()->set_accurate(state.range(0) != 0);
  for (auto _ : state) {
    f.builder->set_pixel_step(2);  // invalidates; the next call builds afresh at step 1
    f.builder->set_pixel_step(1);
    benchmark::DoNotOptimize(f.builder->get_image());
  }
  state.counters["frames_touched"] = f.frames_touched();
}
BENCHMARK(BM_ObliqueReslice)->Arg(0)->Arg(1)->ArgNames({"accurate"})->Unit(benchmark::kMillisecond);

void BM_ObliqueResliceWithPressureCorrection(benchmark::State& state) {
  stack_fixture& f = fixture();
  resource_table_t& t = *resource_table;
  auto* run = new image_correlation(false, true);
  for (int k = 0; k < kFrames; ++k) {
    correlation_frame_t r;
    if (!run->start_record(k, r)) continue;
    for (int j = 0; j < kSide; ++j) r.row_offsets[j] = 0.25f * (j % 4);
    run->finished.push_back(std::move(r));
  }
  t.RES_CORRELATION->write(run);
  base_res_t::make_pending_writes_happen();
  f.builder->plane()->set_accurate(false);
  f.builder->set_use_correction(true);
  for (auto _ : state) {
    f.builder->set_pixel_step(2);
    f.builder->set_pixel_step(1);
    benchmark::DoNotOptimize(f.builder->get_image());
  }
  f.builder->set_use_correction(false);
  t.RES_CORRELATION->write(nullptr);
  base_res_t::make_pending_writes_happen();
  delete run;
  state.counters["frames_touched"] = f.frames_touched();
}
BENCHMARK(BM_ObliqueResliceWithPressureCorrection)->Unit(benchmark::kMillisecond);

void BM_CopyTouchedFrames(benchmark::State& state) {
  stack_fixture& f = fixture();
  const int touched = f.frames_touched();
  std::vector<uint8_t> out(kSide * kSide);
  for (auto _ : state) {
    for (int k = 0; k < touched; ++k) {
      std::memcpy(out.data(), frame_store->images[k]->display, out.size());
      benchmark::ClobberMemory();
    }
  }
  state.counters["frames_touched"] = touched;
  state.SetBytesProcessed(int64_t(state.iterations()) * touched * kSide * kSide);
}
BENCHMARK(BM_CopyTouchedFrames)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
