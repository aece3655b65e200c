// A synthetic evenly spaced stack of frames in a headless session, and an
// oracle of reslice images computed here, independently of the builder:
// frames of identity orientation at heights z (cm), pixel size s (cm) in
// both directions, so that frame pixel (x, y) of frame k covers the world
// points [x s, (x + 1) s) x [y s, (y + 1) s) at height z_k.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "data/dynabuf.h"
#include "data/geometry.h"
#include "tools/headless_session.h"

struct synthetic_stack {
  int32_t w = 48, h = 48;
  double s = 0.05;
  std::vector<float> z;  // heights as the positions store them
  std::vector<std::vector<uint8_t>> pixels;

  // Every pixel holds data (1 .. 254), varying in x, y and k.
  static uint8_t pattern(int k, int x, int y) {
    return static_cast<uint8_t>(1 + (k * 37 + x * 11 + y * 5 + (x * y) % 7) % 254);
  }

  void load(std::vector<double> heights) {
    resource_table_t& t = *resource_table;
    for (size_t k = 0; k < heights.size(); ++k) {
      position_t p;
      p.z = static_cast<float>(heights[k]);
      z.push_back(p.z);
      frame_store->positions.push_back(position_holder_t::create(p));
      frame_store->timestamps.push_back(0);
      std::vector<uint8_t> img(static_cast<size_t>(w) * h);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img[static_cast<size_t>(y) * w + x] = pattern(static_cast<int>(k), x, y);
      auto* buffer = new uint8_t[img.size()];
      std::copy(img.begin(), img.end(), buffer);
      frame_store->add_image(frame_image_t::create(buffer, static_cast<int32_t>(img.size())));
      pixels.push_back(std::move(img));
    }
    t.RES_BUF_WIDTH->write(w);
    t.RES_BUF_HEIGHT->write(h);
    t.RES_FRAME_SIZE->write(w * h);
    t.RES_XSCALE->write(s);
    t.RES_YSCALE->write(s);
    t.RES_POS_REC->write(true);
    t.RES_BUF_FRAMES->write(static_cast<int32_t>(heights.size()));
    base_res_t::make_pending_writes_happen();
  }

  int value(int k, int x, int y) const { return pixels[k][static_cast<size_t>(y) * w + x]; }

  // Bilinear value of frame k at frame pixel coordinates (x, y) already moved
  // to pixel centres; beyond the outermost centres the border pixels hold.
  double bilinear(int k, double x, double y) const {
    x = std::clamp(x, 0.0, w - 1.0);
    y = std::clamp(y, 0.0, h - 1.0);
    const int x0 = std::min(static_cast<int>(x), w - 2), y0 = std::min(static_cast<int>(y), h - 2);
    const double fx = x - x0, fy = y - y0;
    return (1 - fy) * ((1 - fx) * value(k, x0, y0) + fx * value(k, x0 + 1, y0)) +
           fy * ((1 - fx) * value(k, x0, y0 + 1) + fx * value(k, x0 + 1, y0 + 1));
  }

  bool inside_rectangle(const vec3_t& p) const {
    return p.x >= 0 && p.y >= 0 && p.x <= w * s - 1e-5 && p.y <= h * s - 1e-5;
  }

  // Faster mode: the frame nearest in z within its reach (half the distance
  // to its neighbour, for even spacing), the lower-numbered on equal
  // distances; 0 where none reaches.
  double nearest(const vec3_t& p, double reach) const {
    if (!inside_rectangle(p)) return 0.0;
    int best = -1;
    double best_d = 0.0;
    for (size_t k = 0; k < z.size(); ++k) {
      const double d = std::fabs(p.z - z[k]);
      if (d < reach && (best < 0 || d < best_d)) {
        best = static_cast<int>(k);
        best_d = d;
      }
    }
    if (best < 0) return 0.0;
    return value(best, static_cast<int>(std::floor(p.x / s)), static_cast<int>(std::floor(p.y / s)));
  }

  // Accurate mode: linear between the frames either side (the one below
  // strictly), bilinear within each; 0 unless both exist.
  double trilinear(const vec3_t& p) const {
    if (!inside_rectangle(p)) return 0.0;
    int below = -1, above = -1;
    for (size_t k = 0; k < z.size(); ++k) {
      if (z[k] < p.z && (below < 0 || z[k] > z[below])) below = static_cast<int>(k);
      if (z[k] >= p.z && (above < 0 || z[k] < z[above])) above = static_cast<int>(k);
    }
    if (below < 0 || above < 0) return 0.0;
    const double x = p.x / s - 0.5, y = p.y / s - 0.5;
    const double t = (p.z - z[below]) / (z[above] - z[below]);
    return (1 - t) * bilinear(below, x, y) + t * bilinear(above, x, y);
  }
};

// The world point of image point (x, y, along) of a plane: the plane's
// documented image coordinates, written out here once more.
inline vec3_t image_to_world(const vec3_t& normal, const vec3_t& centre, const vec3_t& up, int32_t width,
                             int32_t height, double s, double x, double y, double along) {
  const vec3_t u = vec3_cross(up, normal);
  return centre + (s * (x - width / 2.0)) * u + (s * (y - height / 2.0)) * up + along * normal;
}

// Byte of a value as the builder stores it: 0 none, else rounded into 1..255.
inline int stored_byte(double v) {
  if (v <= 0.0) return 0;
  if (v < 0.5) return 1;
  if (v >= 255.5) return 255;
  return static_cast<int>(v + 0.5);
}
