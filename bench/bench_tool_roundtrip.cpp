// "nv_tool roundtrip" on a 125-frame 640 x 480 recording (38.4 MB of
// frames), started as a child process as a script would start it, against a
// child of this program doing the plain round trip of the same two files:
// read each into fresh memory, write it beside, fsync, rename. Both times run
// from the start of the child to its exit; the tool should take at most 1.5
// times the plain round trip.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_recording.h"

extern "C" char** environ;

namespace {

namespace fs = std::filesystem;
using steady = std::chrono::steady_clock;

const fs::path& folder() { return bench_recording::folder("nv_bench_tool"); }

std::string recording() { return bench_recording::recording(folder(), 125, 40000); }

// Seconds from spawning argv to its exit; negative when it failed.
double run(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const auto start = steady::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1.0;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  const double s = std::chrono::duration<double>(steady::now() - start).count();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? s : -1.0;
}

// The plain round trip of one file: fresh memory, written beside, fsync, rename.
bool copy_file(const std::string& in, const std::string& out) {
  const int fd = ::open(in.c_str(), O_RDONLY);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0) return false;
  char* bytes = static_cast<char*>(std::malloc(static_cast<size_t>(st.st_size) + 1));
  size_t got = 0;
  while (got < static_cast<size_t>(st.st_size)) {
    const ssize_t n = ::read(fd, bytes + got, static_cast<size_t>(st.st_size) - got);
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  const std::string temp = out + ".new";
  const int wd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (wd < 0) return false;
  for (size_t put = 0; put < got;) {
    const ssize_t n = ::write(wd, bytes + put, got - put);
    if (n <= 0) return false;
    put += static_cast<size_t>(n);
  }
  const bool ok = ::fsync(wd) == 0 && ::close(wd) == 0 && ::rename(temp.c_str(), out.c_str()) == 0;
  std::free(bytes);
  return ok;
}

void BM_NvToolRoundtrip(benchmark::State& state) {
  const std::string in = recording(), out = (folder() / "tool_out.hm").string();
  for (auto _ : state) {
    const double s = run({NV_TOOL_PATH, "roundtrip", in, out});
    if (s < 0) {
      state.SkipWithError("nv_tool roundtrip failed");
      break;
    }
    state.SetIterationTime(s);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(folder() / "rec.qzi")));
}
BENCHMARK(BM_NvToolRoundtrip)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// Baseline: this program as a child copying the two files.
void BM_PlainRoundtripInChild(benchmark::State& state) {
  const std::string in = recording();
  for (auto _ : state) {
    const double s = run({"/proc/self/exe", "--child", in, (folder() / "plain_out.hm").string(),
                          (folder() / "rec.qzi").string(), (folder() / "plain_out.qzi").string()});
    if (s < 0) {
      state.SkipWithError("the plain round trip failed");
      break;
    }
    state.SetIterationTime(s);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(folder() / "rec.qzi")));
}
BENCHMARK(BM_PlainRoundtripInChild)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::strcmp(argv[1], "--child") == 0)
    return copy_file(argv[2], argv[3]) && copy_file(argv[4], argv[5]) ? 0 : 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove_all(folder(), ec);
  return 0;
}
