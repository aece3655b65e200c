// A test fixture that starts the real program as a child process with a
// private home folder, a configuration folder and a data folder under one
// scratch root, its standard output and error in root/stderr.txt; the child
// is stopped and the root removed after each test. The test target defines
// NV_NORVELITH_EXE as the program's path.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>

extern "C" char** environ;
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

class program_child_test : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() / ("nv_program_" + std::to_string(::getpid()));
    for (const char* sub : {"home", "cfg", "data"}) std::filesystem::create_directories(root_ / sub);
  }
  void TearDown() override {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int status = 0;
      ::waitpid(pid_, &status, 0);
    }
    std::filesystem::remove_all(root_);
  }
  // Everything the child needs is made before the fork: the test process
  // runs toolkit threads, and a child of a threaded process may only call
  // async-signal-safe functions before exec.
  void start(const std::vector<std::string>& args) {
    std::vector<std::string> env_text;
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      if (entry.rfind("HOME=", 0) != 0 && entry.rfind("XDG_CONFIG_HOME=", 0) != 0) env_text.push_back(entry);
    }
    env_text.push_back("HOME=" + (root_ / "home").string());
    std::vector<char*> envp, argv{const_cast<char*>(NV_NORVELITH_EXE)};
    for (std::string& e : env_text) envp.push_back(e.data());
    envp.push_back(nullptr);
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int fd = ::open((root_ / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(fd, 2);
      ::dup2(fd, 1);
      ::execve(NV_NORVELITH_EXE, argv.data(), envp.data());
      ::_exit(127);
    }
    if (fd >= 0) ::close(fd);
  }
  // How the child ended, for a failure message.
  static std::string exit_text(int status) {
    if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
    return "status " + std::to_string(status);
  }
  // What the child wrote to its standard output and error so far.
  std::string child_output() const {
    std::ifstream in(root_ / "stderr.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::filesystem::path root_;
  pid_t pid_ = -1;
};
