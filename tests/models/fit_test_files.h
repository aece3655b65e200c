// Small model files for the shape model tests, written into a folder of
// the test's own that is removed afterwards.
#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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
