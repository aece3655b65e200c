// Loading a native data file: the frame file of a 500-frame 640 x 480
// recording against a plain read of the same bytes in the same run, and the
// body parse for 10^4 and 10^5 CONT lines (time per line should not grow).
#include <benchmark/benchmark.h>
#include <wx/file.h>
#include <wx/init.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "data/data_reset.h"
#include "tools/headless_session.h"

namespace {

namespace fs = std::filesystem;

const fs::path& folder() {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / "nv_bench_native";
    fs::create_directories(d);
    return d;
  }();
  return dir;
}

// 500 frames of 640 x 480 with positions, written once.
std::string recording() {
  const fs::path hm = folder() / "rec.hm";
  if (!fs::exists(hm)) {
    const int frames = 500, size = 640 * 480;
    std::ofstream q(folder() / "rec.qzi", std::ios::binary);
    std::string frame(size, '\0');
    for (int k = 0; k < frames; ++k) {
      for (int i = 0; i < size; ++i) frame[i] = static_cast<char>((i * 7 + k) & 0xff);
      q.write(frame.data(), size);
    }
    std::ofstream f(hm);
    f << "RES_BUF_FRAMES 500\nRES_BUF_WIDTH 640\nRES_BUF_HEIGHT 480\nRES_POS_REC true\n"
         "RES_END_HEADER\nRES_BIN_IM_FILENAME rec.qzi\n";
    for (int k = 0; k < frames; ++k) f << "IM " << k * 400000 << " 0 0 " << k * 0.01 << " 0 0 0\n";
  }
  return hm.string();
}

// A frameless file of n CONT lines of 20 vertices each.
std::string contours(long n) {
  const fs::path hm = folder() / ("cont" + std::to_string(n) + ".hm");
  if (!fs::exists(hm)) {
    std::ofstream f(hm);
    f << "RES_BUF_FRAMES 0\nRES_BUF_WIDTH 640\nRES_BUF_HEIGHT 480\nRES_END_HEADER\n";
    for (long i = 0; i < n; ++i) {
      f << "CONT " << i % 20 << ' ' << i / 20 << " 1";
      for (int v = 0; v < 20; ++v) f << ' ' << 100 + v << ".25 " << 200 + v % 7 << ".50";
      f << '\n';
    }
  }
  return hm.string();
}

void empty_data_set() {
  clear_data();
  resource_table->RES_BUF_FRAMES->write(0);
}

void BM_plain_read_of_frame_bytes(benchmark::State& state) {
  recording();
  const std::string qzi = (folder() / "rec.qzi").string();
  const size_t n = static_cast<size_t>(fs::file_size(qzi));
  // One buffer, touched before timing, so that only the read is timed.
  std::unique_ptr<char[]> buf(new char[n]);
  std::memset(buf.get(), 0, n);
  for (auto _ : state) {
    wxFile f(qzi);
    size_t done = 0;
    while (done < n) done += static_cast<size_t>(f.Read(buf.get() + done, n - done));
    benchmark::DoNotOptimize(buf.get());
  }
  state.SetBytesProcessed(state.iterations() * 500LL * 640 * 480);
}

void BM_load_native_recording(benchmark::State& state) {
  const std::string hm = recording();
  headless_session session;
  for (auto _ : state) {
    if (!try_read_native_file(hm) || frame_store->images.size() != 500)
      state.SkipWithError("read failed");
    state.PauseTiming();
    empty_data_set();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * 500LL * 640 * 480);
}

void BM_parse_contour_lines(benchmark::State& state) {
  const std::string hm = contours(state.range(0));
  headless_session session;
  for (auto _ : state) {
    if (!try_read_native_file(hm)) state.SkipWithError("read failed");
    state.PauseTiming();
    empty_data_set();
    state.ResumeTiming();
  }
  state.counters["time_per_line"] =
      benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_plain_read_of_frame_bytes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_load_native_recording)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_parse_contour_lines)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  wxInitializer init;
  wxLog::EnableLogging(false);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(folder());
  return 0;
}
