// Lowers this process's file-size limit for a scope, standing in for a full
// disk: writes past it fail. The signal the system also sends is not masked
// here: the code under test must ignore it itself.
#pragma once

#include <sys/resource.h>

class file_size_limit {
 public:
  explicit file_size_limit(rlim_t bytes) {
    ok_ = ::getrlimit(RLIMIT_FSIZE, &saved_) == 0;
    rlimit small = saved_;
    small.rlim_cur = bytes;
    ok_ = ok_ && ::setrlimit(RLIMIT_FSIZE, &small) == 0;
  }
  ~file_size_limit() {
    if (ok_) ::setrlimit(RLIMIT_FSIZE, &saved_);
  }
  file_size_limit(const file_size_limit&) = delete;
  file_size_limit& operator=(const file_size_limit&) = delete;
  bool ok() const { return ok_; }

 private:
  rlimit saved_{};
  bool ok_ = false;
};
