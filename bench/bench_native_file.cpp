// Loading a native data file: the frame file of a 500-frame 640 x 480
// recording against a read of the same bytes into one fresh buffer in the
// same run, the body
// parse for 10^4 and 10^5 CONT lines (time per line should not grow), and
// 80,000 CONT or LANDMARK lines in a shuffled order against the same lines in
// order (the shuffled read should take at most twice as long).
#include <benchmark/benchmark.h>
#include <sys/mman.h>
#include <wx/file.h>
#include <wx/init.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "data/data_reset.h"
#include "tools/headless_session.h"

namespace {

namespace fs = std::filesystem;

// A folder of this run's own: two runs on one machine never share files.
const fs::path& folder() {
  static const fs::path dir = [] {
    std::string pattern = (fs::temp_directory_path() / "nv_bench_native_XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    return fs::path(pattern);
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

// The baseline for a load: the same bytes read into one buffer that was
// never touched, asked of the system afresh each time (with huge pages, as
// array libraries do for large buffers), so that the first touch of fresh
// memory is timed as it is in a new process.
void BM_read_into_one_fresh_buffer(benchmark::State& state) {
  recording();
  const std::string qzi = (folder() / "rec.qzi").string();
  const size_t n = static_cast<size_t>(fs::file_size(qzi));
  for (auto _ : state) {
    void* p = ::mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
      state.SkipWithError("no memory");
      break;
    }
    ::madvise(p, n, MADV_HUGEPAGE);
    char* buf = static_cast<char*>(p);
    wxFile f(qzi);
    size_t done = 0;
    while (done < n) done += static_cast<size_t>(f.Read(buf + done, n - done));
    benchmark::DoNotOptimize(buf);
    ::munmap(p, n);
  }
  state.SetBytesProcessed(state.iterations() * 500LL * 640 * 480);
}

// Every load takes fresh memory: the frames' slabs go back to the system
// when the data set is emptied.
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

// Arguments: 0 CONT, 1 LANDMARK; 0 in order, 1 shuffled.
void BM_read_80000_lines(benchmark::State& state) {
  const std::string hm = many_lines(state.range(0) == 1, state.range(1) == 1);
  headless_session session;
  for (auto _ : state) {
    if (!try_read_native_file(hm)) state.SkipWithError("read failed");
    state.PauseTiming();
    empty_data_set();
    state.ResumeTiming();
  }
  state.SetLabel(std::string(state.range(0) ? "LANDMARK" : "CONT") +
                 (state.range(1) ? " shuffled" : " in order"));
}

BENCHMARK(BM_read_80000_lines)
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_plain_read_of_frame_bytes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_read_into_one_fresh_buffer)->Unit(benchmark::kMillisecond)->UseRealTime();
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
