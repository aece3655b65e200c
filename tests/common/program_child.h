// A test fixture that starts the real program as a child process with a
// private home folder, a configuration folder and a data folder under one
// scratch root, its standard output and error in root/stderr.txt; the child
// is stopped and the root removed after each test. The test target defines
// NV_NORVELITH_EXE as the program's path.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
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
  void start(const std::vector<std::string>& args) {
    const std::filesystem::path err = root_ / "stderr.txt";
    pid_ = ::fork();
    if (pid_ == 0) {
      ::setenv("HOME", (root_ / "home").c_str(), 1);
      ::unsetenv("XDG_CONFIG_HOME");
      int fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(fd, 2);
      ::dup2(fd, 1);
      std::vector<char*> argv{const_cast<char*>(NV_NORVELITH_EXE)};
      for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(NV_NORVELITH_EXE, argv.data());
      ::_exit(127);
    }
  }
  std::filesystem::path root_;
  pid_t pid_ = -1;
};
