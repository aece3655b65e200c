// A scratch folder per benchmark run and a synthetic 640 x 480 recording with
// positions, written once into it, for the benchmarks that load native files.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace bench_recording {

// A folder of this run's own, made on first use: two runs on one machine
// never share files. `prefix` names it, e.g. "nv_bench_native".
inline const std::filesystem::path& folder(const char* prefix) {
  static const std::filesystem::path dir = [prefix] {
    std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "_XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) std::abort();
    return std::filesystem::path(pattern);
  }();
  return dir;
}

// "rec.hm" and "rec.qzi" in `dir`: `frames` frames of 640 x 480 bytes and one
// position line per frame, `time_step` apart; written only if absent.
inline std::string recording(const std::filesystem::path& dir, int frames, long time_step) {
  const std::filesystem::path hm = dir / "rec.hm";
  if (!std::filesystem::exists(hm)) {
    const int size = 640 * 480;
    std::ofstream q(dir / "rec.qzi", std::ios::binary);
    std::string frame(size, '\0');
    for (int k = 0; k < frames; ++k) {
      for (int i = 0; i < size; ++i) frame[i] = static_cast<char>((i * 7 + k) & 0xff);
      q.write(frame.data(), size);
    }
    std::ofstream f(hm);
    f << "RES_BUF_FRAMES " << frames << "\nRES_BUF_WIDTH 640\nRES_BUF_HEIGHT 480\nRES_POS_REC true\n"
         "RES_END_HEADER\nRES_BIN_IM_FILENAME rec.qzi\n";
    for (int k = 0; k < frames; ++k) f << "IM " << k * time_step << " 0 0 " << k * 0.01 << " 0 0 0\n";
  }
  return hm.string();
}

}  // namespace bench_recording
