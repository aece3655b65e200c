// Phantom frames for the segmentation tests, their PGM files for the scipy
// reference, and the measures the tests compare.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <wx/filename.h>

#include "data/contour.h"

struct phantom {
  int32_t w, h;
  std::vector<uint8_t> px;
  phantom(int32_t width, int32_t height, uint8_t background)
      : w(width), h(height), px(static_cast<size_t>(width) * height, background) {}
  uint8_t& at(int32_t x, int32_t y) { return px[static_cast<size_t>(y) * w + x]; }
  uint8_t at(int32_t x, int32_t y) const { return px[static_cast<size_t>(y) * w + x]; }
  void rect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t v) {
    for (int32_t y = y0; y <= y1; ++y)
      for (int32_t x = x0; x <= x1; ++x) at(x, y) = v;
  }
  // Pixels whose centres lie within r of (cx, cy).
  void disc(double cx, double cy, double r, uint8_t v) {
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        if ((x + 0.5 - cx) * (x + 0.5 - cx) + (y + 0.5 - cy) * (y + 0.5 - cy) <= r * r) at(x, y) = v;
  }
  // Deterministic salt of value v on every pixel whose hash hits 1 in n.
  void salt(uint8_t v, uint32_t n, uint32_t seed) {
    uint32_t s = seed;
    for (auto& p : px) {
      s = s * 1664525u + 1013904223u;
      if ((s >> 16) % n == 0) p = v;
    }
  }
};

// A scratch folder removed after the test.
class seg_scratch {
 public:
  seg_scratch() {
    wxString base = wxFileName::CreateTempFileName("nvseg");
    wxRemoveFile(base);
    wxMkdir(base);
    root_ = base.ToStdString();
  }
  ~seg_scratch() { wxFileName::Rmdir(root_, wxPATH_RMDIR_RECURSIVE); }
  seg_scratch(const seg_scratch&) = delete;
  seg_scratch& operator=(const seg_scratch&) = delete;
  std::string path(const std::string& name) const { return root_ + "/" + name; }

 private:
  std::string root_;
};

inline void write_pgm(const std::string& path, int32_t w, int32_t h, const uint8_t* px) {
  std::ofstream out(path, std::ios::binary);
  out << "P5\n" << w << " " << h << "\n255\n";
  out.write(reinterpret_cast<const char*>(px), static_cast<std::streamsize>(w) * h);
}

// The pixels of a binary PGM written by the reference script; empty on failure.
inline std::vector<uint8_t> read_pgm(const std::string& path, int32_t w, int32_t h) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int32_t rw = 0, rh = 0, max = 0;
  in >> magic >> rw >> rh >> max;
  in.get();
  if (magic != "P5" || rw != w || rh != h) return {};
  std::vector<uint8_t> px(static_cast<size_t>(w) * h);
  in.read(reinterpret_cast<char*>(px.data()), static_cast<std::streamsize>(px.size()));
  return in ? px : std::vector<uint8_t>{};
}

inline bool run_oracle(const std::string& dir) {
  const std::string cmd =
      std::string("/usr/bin/python3 ") + NV_SEGMENT_SCRIPTS + "/segment_oracle.py " + dir;
  return std::system(cmd.c_str()) == 0;
}

// Shoelace area, positive for a walk with the region on its right (y down).
inline double shoelace(const contour_t& c) {
  double a = 0.0;
  const size_t n = c.vertices.size();
  for (size_t i = 0; i < n; ++i) {
    const vec2_t& p = c.vertices[i];
    const vec2_t& q = c.vertices[(i + 1) % n];
    a += p.x * q.y - q.x * p.y;
  }
  return a / 2.0;
}

inline size_t count_value(const std::vector<uint8_t>& v, uint8_t value) {
  size_t n = 0;
  for (uint8_t x : v) n += x == value;
  return n;
}
