// Small model files for the shape model tests, written into a folder of
// the test's own that is removed afterwards.
#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "data/geometry.h"

struct fit_test_folder {
  std::string dir;
  fit_test_folder() {
    static std::atomic<int> serial{0};
    dir = (std::filesystem::temp_directory_path() /
           ("nv_fit_" + std::to_string(::getpid()) + "_" + std::to_string(serial++)))
              .string();
    std::filesystem::create_directories(dir);
  }
  ~fit_test_folder() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::string path(const std::string& name) const { return dir + "/" + name; }
  std::string write(const std::string& name, const std::string& text) const {
    std::ofstream(path(name), std::ios::binary) << text;
    return path(name);
  }
};

// An ASCII PLY model: a unit cube's 8 corners (vertex i at (i&1, i>>1&1,
// i>>2&1) times size) and the given faces, with the comments.
inline std::string cube_ply(const std::vector<std::string>& comments,
                            const std::string& faces = "3 0 1 2\n3 1 3 2\n3 4 6 5\n3 0 4 1\n",
                            int face_count = 4, double size = 10.0) {
  std::string s = "ply\nformat ascii 1.0\n";
  for (const std::string& c : comments) s += "comment " + c + "\n";
  s += "element vertex 8\nproperty float x\nproperty float y\nproperty float z\n";
  s += "element face " + std::to_string(face_count) + "\nproperty list uchar int vertex_indices\n";
  s += "end_header\n";
  for (int i = 0; i < 8; ++i)
    s += std::to_string((i & 1) * size) + " " + std::to_string((i >> 1 & 1) * size) + " " +
         std::to_string((i >> 2 & 1) * size) + "\n";
  return s + faces;
}

// A UV ellipsoid with semi-axes a, b, c: rings x segments, poles included.
inline void ellipsoid(double a, double b, double c, int rings, int segments, std::vector<vec3_t>& pts,
               std::vector<std::array<int32_t, 3>>* faces) {
  pts.clear();
  pts.push_back({0, 0, c});
  for (int i = 1; i < rings; ++i) {
    const double t = NV_PI * i / rings;
    for (int j = 0; j < segments; ++j) {
      const double p = 2 * NV_PI * j / segments;
      pts.push_back({a * std::sin(t) * std::cos(p), b * std::sin(t) * std::sin(p), c * std::cos(t)});
    }
  }
  pts.push_back({0, 0, -c});
  if (!faces) return;
  faces->clear();
  const int32_t last = static_cast<int32_t>(pts.size()) - 1;
  for (int j = 0; j < segments; ++j) faces->push_back({0, 1 + j, 1 + (j + 1) % segments});
  for (int i = 0; i < rings - 2; ++i) {
    const int32_t r0 = 1 + i * segments, r1 = 1 + (i + 1) * segments;
    for (int j = 0; j < segments; ++j) {
      const int32_t k = (j + 1) % segments;
      faces->push_back({r0 + j, r1 + j, r1 + k});
      faces->push_back({r0 + j, r1 + k, r0 + k});
    }
  }
  const int32_t base = 1 + (rings - 2) * segments;
  for (int j = 0; j < segments; ++j) faces->push_back({base + j, last, base + (j + 1) % segments});
}

