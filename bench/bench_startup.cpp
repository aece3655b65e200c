// Start-up of the program: the time from starting norvelith as a child
// until it reports its main window shown (it closes itself then), against
// starting and reaping a process that does nothing (/bin/true). Needs a
// display: run it under scripts/with-display.sh. The configuration folder is
// a fresh temporary one ("dir="), so the user's settings are not touched.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern "C" char** environ;

namespace {

using steady = std::chrono::steady_clock;

// Starts argv[0] with the environment plus extra; returns the seconds until
// a line containing marker appears on its standard error (or until it
// exits when marker is empty), and whether it got there; reaps the child.
double run_child(const std::vector<std::string>& args, const std::vector<std::string>& extra_env,
                 const std::string& marker, bool& ok) {
  ok = false;
  int fds[2];
  if (::pipe(fds) != 0) return 0.0;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  std::vector<std::string> env_strings(extra_env);
  for (char** e = environ; *e; ++e) env_strings.emplace_back(*e);
  std::vector<char*> envp, argv;
  for (std::string& e : env_strings) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> a(args);
  for (std::string& s : a) argv.push_back(s.data());
  argv.push_back(nullptr);
  const auto start = steady::now();
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  std::string err;
  double seconds = 0.0;
  bool seen = false;
  char buf[512];
  for (ssize_t got; spawned == 0 && (got = ::read(fds[0], buf, sizeof buf)) != 0;) {
    if (got < 0) {
      if (errno == EINTR) continue;
      break;
    }
    err.append(buf, static_cast<size_t>(got));
    if (!seen && !marker.empty() && err.find(marker) != std::string::npos) {
      seconds = std::chrono::duration<double>(steady::now() - start).count();
      seen = true;
    }
  }
  ::close(fds[0]);
  if (spawned != 0) return 0.0;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (marker.empty()) {
    seconds = std::chrono::duration<double>(steady::now() - start).count();
    seen = true;
  }
  ok = seen && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return seconds;
}

void BM_StartupUntilMainWindowShown(benchmark::State& state) {
  if (!std::getenv("DISPLAY")) {
    state.SkipWithError("no display: run under scripts/with-display.sh");
    return;
  }
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("nv_bench_startup_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  for (auto _ : state) {
    bool ok = false;
    const double s = run_child({NV_NORVELITH_EXE, "dir=" + dir.string()},
                               {"NV_TEST_CLOSE_AFTER_STARTUP=1", "NV_LOG_TO_STDERR=1"},
                               "main window shown", ok);
    if (!ok) {
      state.SkipWithError("norvelith did not report its main window shown");
      break;
    }
    state.SetIterationTime(s);
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_StartupUntilMainWindowShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// Baseline: starting and reaping a process that does nothing.
void BM_StartEmptyProcess(benchmark::State& state) {
  for (auto _ : state) {
    bool ok = false;
    const double s = run_child({"/bin/true"}, {}, "", ok);
    if (!ok) {
      state.SkipWithError("/bin/true failed");
      break;
    }
    state.SetIterationTime(s);
  }
}
BENCHMARK(BM_StartEmptyProcess)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
