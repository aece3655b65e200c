// The rasterisation geometry of the reslice builder: which samples of one
// slice a frame can fill. A frame fills the samples whose points lie inside
// its sampling box (the frame rectangle thickened by a half-depth on both
// sides of its plane); the box's section with the slice plane is found,
// ordered into a polygon, clipped to the sample rectangle and scan-converted
// row by row. Coordinates are counted in samples: sample (i, j) is image
// pixel (i * step, j * step).
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "data/geometry.h"

// For one image, one list per sample row (rows 0 .. height / step): sorted
// column numbers read in pairs, each an inclusive span of columns that lie
// inside a surface.
using span_list = std::vector<std::vector<int32_t>>;

namespace reslice_raster {

constexpr int kMaxClipPoints = 100;

// The frame box in cm: x in [0, box_x], y in [0, box_y], z in [-a, a].
struct frame_box {
  double xs = 1.0, ys = 1.0;  // cm per frame pixel
  double box_x = 0.0, box_y = 0.0;
  double a = 0.0;
};

// Crossings of the plane through origin spanned by column and row steps (all
// in frame coordinates: x, y in frame pixels, z in cm) with the box's twelve
// edges. points receives up to twelve points in sample coordinates; slots[e]
// (set to -1 by the caller) the index of edge e's point. Returns the count.
int frame_box_crossings(const vec3_t& origin, const vec3_t& column_step, const vec3_t& row_step,
                        vec2_t points[12], int slots[12], const frame_box& box);

// Rewrites points in polygon order, walking from edge to adjacent edge.
void order_intersections(vec2_t points[12], int slots[12], int count);

// Sutherland-Hodgman clipping against a convex polygon given clockwise in
// sample coordinates (rows grow downwards). points must hold kMaxClipPoints.
int clip_intersection_to_poly(vec2_t* points, int count, const vec2_t* clip, int clip_count);

// The indices of the top (smallest row) and bottom (largest row) vertices;
// the earlier vertex wins on equal rows.
void top_and_bottom(const vec2_t* points, int count, int& top, int& bottom);

// Scan-converts the clipped polygon and calls emit(row, first, last) for each
// run of sample columns it covers, within spans when a span list is given.
// Samples stay within the image: columns 0 .. (width - 1) / step, rows
// 0 .. (height - 1) / step.
template <class Emit>
void scan_convert(const vec2_t* p, int k, int step, int width, int height, const span_list* spans,
                  Emit&& emit);

// A becomes the union of A and B row by row; nothing when either is missing.
void merge_spans(span_list* a, const span_list* b);
// Each row becomes its complement within columns 0 .. columns - 1.
void invert_spans(span_list* list, int32_t columns);
void free_spans(span_list* list);

// ---------------------------------------------------------------------------

template <class Emit>
void scan_convert(const vec2_t* p, int k, int step, int width, int height, const span_list* spans,
                  Emit&& emit) {
  if (k < 3 || step < 1) return;
  int top = 0, bottom = 0;
  top_and_bottom(p, k, top, bottom);
  const int last_column = (width - 1) / step;
  const int last_row = (height - 1) / step;

  // One chain walks forward through the vertices, the other backward.
  struct chain {
    int dir, cur, next;
    double slope = 0.0;
  };
  auto next_of = [k](int v, int dir) { return ((v + dir) % k + k) % k; };
  chain chains[2] = {{1, top, next_of(top, 1)}, {-1, top, next_of(top, -1)}};
  auto set_slope = [&](chain& c) {
    const double dr = p[c.next].y - p[c.cur].y;
    if (dr > 0.0) c.slope = (p[c.next].x - p[c.cur].x) / dr;
  };
  for (chain& c : chains) set_slope(c);

  const double bottom_row = p[bottom].y;
  for (int j = std::max(0, static_cast<int>(std::floor(p[top].y)) + 1); j < bottom_row; ++j) {
    if (static_cast<long>(j) * step >= height || j > last_row) break;
    double col[2];
    for (int c = 0; c < 2; ++c) {
      chain& ch = chains[c];
      while (ch.cur != bottom && p[ch.next].y <= j) {
        ch.cur = ch.next;
        if (ch.cur != bottom) {
          ch.next = next_of(ch.cur, ch.dir);
          set_slope(ch);
        }
      }
      col[c] = p[ch.cur].x + (j - p[ch.cur].y) * ch.slope;
    }
    const double l = std::min(col[0], col[1]), r = std::max(col[0], col[1]);
    const long fr = static_cast<long>(std::floor(r));
    const long fl = static_cast<long>(std::floor(l));
    if (fr < 0 || static_cast<long>(step) * (fl + 1) >= width) continue;
    const int first = static_cast<int>(std::max(fl + 1, 0L));
    const int last = static_cast<int>(std::min(fr, static_cast<long>(last_column)));
    if (!spans) {
      if (first <= last) emit(j, first, last);
      continue;
    }
    if (j >= static_cast<int>(spans->size())) continue;
    const std::vector<int32_t>& row = (*spans)[j];
    for (size_t s = 0; s + 1 < row.size(); s += 2) {
      const int a = std::max(first, row[s]), b = std::min(last, row[s + 1]);
      if (a <= b) emit(j, a, b);
    }
  }
}

}  // namespace reslice_raster
