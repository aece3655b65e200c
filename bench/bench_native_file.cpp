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
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wx/file.h>
#include <wx/init.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
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

// ---- loads in fresh processes ----------------------------------------------

extern "C" char** environ;

struct child_times {
  double wall = -1.0;  // seconds; negative when the child failed
  double cpu = 0.0;    // seconds of user and system time
};

// Runs this program again as a child doing one operation and gives the
// times it reported.
child_times time_in_child(const std::vector<std::string>& args) {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  std::vector<std::string> all = {"/proc/self/exe", "--child"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  std::string out;
  char buf[256];
  for (ssize_t got; spawned == 0 && (got = ::read(fds[0], buf, sizeof buf)) != 0;) {
    if (got > 0) out.append(buf, static_cast<size_t>(got));
    else if (errno != EINTR) break;
  }
  ::close(fds[0]);
  child_times t;
  if (spawned != 0) return t;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return t;
  if (std::sscanf(out.c_str(), "%lf %lf", &t.wall, &t.cpu) != 2) t.wall = -1.0;
  return t;
}

double median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  const size_t m = v.size() / 2;
  return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

// Each iteration runs a child for the measured operation and one for its
// baseline, in turn first, so that both see the same state of a busy
// machine. The benchmark's time is the operation's wall time; the counters
// are medians over the iterations, in milliseconds, of wall and processor
// (user and system) time of both, and the ratio of the wall medians.
void run_against_baseline(benchmark::State& state, const std::vector<std::string>& measured,
                          const std::vector<std::string>& baseline) {
  std::vector<double> wall, cpu, base_wall, base_cpu;
  for (auto _ : state) {
    const bool base_first = wall.size() % 2 == 0;
    child_times b, t;
    if (base_first) b = time_in_child(baseline);
    t = time_in_child(measured);
    if (!base_first) b = time_in_child(baseline);
    if (t.wall < 0 || b.wall < 0) {
      state.SkipWithError("a child process failed");
      break;
    }
    state.SetIterationTime(t.wall);
    wall.push_back(t.wall * 1e3);
    cpu.push_back(t.cpu * 1e3);
    base_wall.push_back(b.wall * 1e3);
    base_cpu.push_back(b.cpu * 1e3);
  }
  state.counters["ms"] = median(wall);
  state.counters["cpu_ms"] = median(cpu);
  state.counters["base_ms"] = median(base_wall);
  state.counters["base_cpu_ms"] = median(base_cpu);
  state.counters["ratio"] = median(base_wall) > 0 ? median(wall) / median(base_wall) : 0.0;
}

// A load against the same bytes read into one buffer asked of the system
// afresh (with huge pages, as array libraries do for large buffers).
void BM_fresh_process_load_against_one_buffer(benchmark::State& state) {
  run_against_baseline(state, {"load", recording(), "500"},
                       {"read", (folder() / "rec.qzi").string()});
  state.SetBytesProcessed(state.iterations() * 500LL * 640 * 480);
}

// 80,000 lines shuffled against the same lines in order. Argument: 0 CONT,
// 1 LANDMARK.
void BM_fresh_process_80000_shuffled_against_ordered(benchmark::State& state) {
  const bool landmarks = state.range(0) == 1;
  run_against_baseline(state, {"load", many_lines(landmarks, true), "0"},
                       {"load", many_lines(landmarks, false), "0"});
  state.SetLabel(landmarks ? "LANDMARK" : "CONT");
}

// ---- the child's side -------------------------------------------------------

// Wall and processor time from the moment it is made.
class stopwatch {
 public:
  stopwatch() : wall_(std::chrono::steady_clock::now()), cpu_(cpu_now()) {}
  void stop() {
    wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count();
    cpu = cpu_now() - cpu_;
  }
  double wall = 0.0, cpu = 0.0;

 private:
  static double cpu_now() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
  }
  std::chrono::steady_clock::time_point wall_;
  double cpu_;
};

// "read <file>": the file into one fresh buffer with huge pages.
// "load <data file> <frames>": a native data file into a new data set.
int child(int argc, char** argv) {
  if (argc < 4) return 2;
  const std::string what = argv[2], path = argv[3];
  stopwatch clock;
  if (what == "read") {
    clock = stopwatch();
    const size_t n = static_cast<size_t>(fs::file_size(path));
    void* p = ::mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return 1;
    ::madvise(p, n, MADV_HUGEPAGE);
    char* buf = static_cast<char*>(p);
    wxFile f(path);
    size_t done = 0;
    for (ssize_t got; done < n && (got = f.Read(buf + done, n - done)) > 0;)
      done += static_cast<size_t>(got);
    clock.stop();
    if (done != n) return 1;
  } else if (what == "load" && argc >= 5) {
    headless_session session;
    clock = stopwatch();
    const bool ok = try_read_native_file(path);
    clock.stop();
    if (!ok || frame_store->images.size() != std::strtoul(argv[4], nullptr, 10)) return 1;
  } else {
    return 2;
  }
  std::printf("%.9f %.9f\n", clock.wall, clock.cpu);
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
