// Timing an operation in a process of its own, so that the first touch of
// fresh memory is timed as it is when the program has just started: the
// benchmark runs its own program again with "--child" and arguments, and the
// child reports the wall and processor time of its one operation on its
// standard output as "<wall seconds> <cpu seconds>".
#pragma once

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

extern "C" char** environ;

namespace fresh_process {

struct child_times {
  double wall = -1.0;  // seconds; negative when the child failed
  double cpu = 0.0;    // seconds of user and system time
};

// Runs this program again as a child doing one operation and gives the
// times it reported.
inline child_times time_in_child(const std::vector<std::string>& args) {
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

inline double median(std::vector<double> v) {
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
inline void run_against_baseline(benchmark::State& state, const std::vector<std::string>& measured,
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

// Wall and processor time from the moment it is made; the child prints
// them with report().
class stopwatch {
 public:
  stopwatch() : wall_(std::chrono::steady_clock::now()), cpu_(cpu_now()) {}
  void stop() {
    wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count();
    cpu = cpu_now() - cpu_;
  }
  double wall = 0.0, cpu = 0.0;

  // What the child prints for its parent.
  void report() const { std::printf("%.9f %.9f\n", wall, cpu); }

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

// The baseline of a load: the files' bytes, one after another, into one
// buffer asked of the system afresh with huge pages (as array libraries do
// for large buffers). The buffer, to be given back with munmap(p, total), or
// null when a file could not be read whole.
inline char* read_into_one_fresh_buffer(const std::vector<std::string>& files, size_t total) {
  void* p = ::mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  ::madvise(p, total, MADV_HUGEPAGE);
  char* buf = static_cast<char*>(p);
  size_t done = 0;
  for (const std::string& name : files) {
    std::FILE* f = std::fopen(name.c_str(), "rb");
    if (!f) break;
    std::setvbuf(f, nullptr, _IONBF, 0);
    for (size_t got; done < total && (got = std::fread(buf + done, 1, total - done, f)) > 0;)
      done += got;
    std::fclose(f);
  }
  if (done == total) return buf;
  ::munmap(p, total);
  return nullptr;
}

}  // namespace fresh_process
