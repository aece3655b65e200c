// Loading a native data file, each load timed in a process of its own so that
// the first touch of fresh memory is timed as it is at File > Open in a new
// program: the frame file of a 500-frame 640 x 480 recording (153.6 MB)
// against reading the same bytes into one fresh buffer in a fresh process;
// 80,000 CONT or LANDMARK lines in a shuffled order against the same lines in
// order (the shuffled read should take at most twice as long). In process:
// a read of the frame bytes into memory touched before (the copy alone) and
// the body parse for 10^4 and 10^5 CONT lines (time per line should not grow).
//
// The child processes are this program run again with "--child"; each
// reports the time of its one operation on its standard output.
#include <benchmark/benchmark.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wx/file.h>
#include <wx/init.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench_recording.h"
#include "fresh_process.h"
#include "data/data_reset.h"
#include "tools/headless_session.h"

namespace {

namespace fs = std::filesystem;

const fs::path& folder() { return bench_recording::folder("nv_bench_native"); }

std::string recording() { return bench_recording::recording(folder(), 500, 400000); }

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

// 80,000 lines of one kind, in order or shuffled: CONT lines of 4 vertices,
// 20 objects over 4,000 frames, or LANDMARK lines of distinct names.
std::string many_lines(bool landmarks, bool shuffled) {
  const std::string name = std::string(landmarks ? "marks" : "cont") + (shuffled ? "_shuffled" : "_ordered");
  const fs::path hm = folder() / (name + ".hm");
  if (!fs::exists(hm)) {
    const long n = 80000;
    std::vector<std::string> lines;
    lines.reserve(n);
    for (long i = 0; i < n; ++i) {
      std::string line;
      if (landmarks) {
        line = "LANDMARK " + std::to_string(i % 97) + ".5 2.25 " + std::to_string(i % 13) +
               " Mark " + std::to_string(i);
      } else {
        line = "CONT " + std::to_string(i / 4000) + ' ' + std::to_string(i % 4000) + " 1";
        for (int v = 0; v < 4; ++v) line += ' ' + std::to_string(100 + v) + ".25 200.50";
      }
      lines.push_back(line);
    }
    if (shuffled) std::shuffle(lines.begin(), lines.end(), std::mt19937(12345));
    std::ofstream f(hm);
    f << "RES_BUF_FRAMES 0\nRES_BUF_WIDTH 640\nRES_BUF_HEIGHT 480\nRES_END_HEADER\n";
    for (const std::string& line : lines) f << line << '\n';
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

// A load against the same bytes read into one buffer asked of the system
// afresh (with huge pages, as array libraries do for large buffers).
void BM_fresh_process_load_against_one_buffer(benchmark::State& state) {
  fresh_process::run_against_baseline(state, {"load", recording(), "500"},
                                      {"read", (folder() / "rec.qzi").string()});
  state.SetBytesProcessed(state.iterations() * 500LL * 640 * 480);
}

// 80,000 lines shuffled against the same lines in order. Argument: 0 CONT,
// 1 LANDMARK.
void BM_fresh_process_80000_shuffled_against_ordered(benchmark::State& state) {
  const bool landmarks = state.range(0) == 1;
  fresh_process::run_against_baseline(state, {"load", many_lines(landmarks, true), "0"},
                                      {"load", many_lines(landmarks, false), "0"});
  state.SetLabel(landmarks ? "LANDMARK" : "CONT");
}

// ---- the child's side -------------------------------------------------------

// "read <file>": the file into one fresh buffer with huge pages.
// "load <data file> <frames>": a native data file into a new data set.
int child(int argc, char** argv) {
  if (argc < 4) return 2;
  const std::string what = argv[2], path = argv[3];
  fresh_process::stopwatch clock;
  if (what == "read") {
    const size_t n = static_cast<size_t>(fs::file_size(path));
    clock = fresh_process::stopwatch();
    char* bytes = fresh_process::read_into_one_fresh_buffer({path}, n);
    clock.stop();
    if (!bytes) return 1;
    ::munmap(bytes, n);
  } else if (what == "load" && argc >= 5) {
    headless_session session;
    clock = fresh_process::stopwatch();
    const bool ok = try_read_native_file(path);
    clock.stop();
    if (!ok || frame_store->images.size() != std::strtoul(argv[4], nullptr, 10)) return 1;
  } else {
    return 2;
  }
  clock.report();
  return 0;
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

BENCHMARK(BM_fresh_process_load_against_one_buffer)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(25);
BENCHMARK(BM_fresh_process_80000_shuffled_against_ordered)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(15);
BENCHMARK(BM_plain_read_of_frame_bytes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_parse_contour_lines)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  wxInitializer init;
  wxLog::EnableLogging(false);
  if (argc > 1 && std::strcmp(argv[1], "--child") == 0) return child(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(folder());
  return 0;
}
