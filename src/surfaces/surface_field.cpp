// A plane's signed chamfer distance field and its ridges (peaks).
//
// Cells hold about 12 times the Euclidean distance in pixels to the nearest
// contour, positive inside; edge steps weigh 12, diagonal steps 17.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "data/contour.h"
#include "surfaces/surface_interp.h"

void surface_interp::chamfer_code(interp_plane_t& p) {
  if (!p.has_contours() || p.field == PLANE_FIELD_PENDING) return;
  const int w = p.contours->box_width, h = p.contours->box_height;
  if (w < 3 || h < 3) return;
  const int16_t* old = p.field;
  int16_t* f = new int16_t[size_t(w) * h];
  auto at = [&](int x, int y) -> int16_t& { return f[size_t(y) * w + x]; };
  for (int x = 0; x < w; ++x) at(x, 0) = at(x, h - 1) = -FIELD_LIMIT;
  for (int y = 1; y < h - 1; ++y) at(0, y) = at(w - 1, y) = -FIELD_LIMIT;

  // The band next to the contours (|v| <= 6) keeps its exact values here.
  // Rows are walked through pointers: the passes are most of the cost of a
  // plane's field.
  for (int y = 1; y < h - 1; ++y) {
    const int16_t* src = old + size_t(y) * w;
    int16_t* row = f + size_t(y) * w;
    const int16_t* up = row - w;
    for (int x = 1; x < w - 1; ++x) {
      int v = src[x];
      if (v > 6) {
        const int m = std::min(std::min(row[x - 1], up[x]) + 12, std::min(up[x - 1], up[x + 1]) + 17);
        v = std::min(v, m);
      } else if (v < -6) {
        const int m = std::max(std::max(row[x - 1], up[x]) - 12, std::max(up[x - 1], up[x + 1]) - 17);
        v = std::max(v, m);
      }
      row[x] = int16_t(v);
    }
  }
  delete[] old;
  p.field = f;

  for (int y = h - 2; y >= 1; --y) {
    int16_t* row = f + size_t(y) * w;
    const int16_t* down = row + w;
    for (int x = w - 2; x >= 1; --x) {
      int v = row[x];
      if (v > 0)
        v = std::min(v, std::min(std::min(row[x + 1], down[x]) + 12,
                                 std::min(down[x - 1], down[x + 1]) + 17));
      else
        v = std::max(v, std::max(std::max(row[x + 1], down[x]) - 12,
                                 std::max(down[x - 1], down[x + 1]) - 17));
      row[x] = int16_t(v);
    }
  }

  for (int x = 1; x < w - 1; ++x) {
    at(x, 0) = int16_t(at(x, 1) - 12);
    at(x, h - 1) = int16_t(at(x, h - 2) - 12);
  }
  for (int y = 0; y < h; ++y) {
    at(0, y) = int16_t(at(1, y) - 12);
    at(w - 1, y) = int16_t(at(w - 2, y) - 12);
  }
}

void surface_interp::extract_peaks(interp_plane_t& p) {
  p.peak_count = 0;
  if (!p.has_contours() || p.field == PLANE_FIELD_PENDING) return;
  const int w = p.contours->box_width, h = p.contours->box_height;
  const int16_t* f = p.field;
  auto at = [&](int x, int y) -> int { return f[size_t(y) * w + x]; };

  std::vector<peak_t> found;
  found.reserve(2000);
  for (int y = 2; y <= h - 3; ++y)
    for (int x = 2; x <= w - 3; ++x) {
      const int e = at(x, y);
      // 32-bit sums: in 16 bits the measure wraps once e passes about 280.
      int r = at(x - 1, y) + at(x, y - 1) + at(x + 1, y) + at(x, y + 1) +
              12 * (at(x - 1, y - 1) + at(x + 1, y + 1)) / 17 +
              12 * (at(x + 1, y - 1) + at(x - 1, y + 1)) / 17 - 116 * e / 17;
      if (e < 0) r = -r;
      if (r < -40 || (r < -30 && std::abs(e) > 6))
        found.push_back(peak_t{int16_t(x), int16_t(y), int16_t(e), 0});
    }

  // Strongest first; a weaker peak survives only outside the circle that the
  // stronger one dominates.
  enum : uint8_t { OPEN, KEPT, DROPPED };
  std::vector<uint8_t> mark(found.size(), OPEN);
  for (size_t round = 0; round < found.size(); ++round) {
    int best = -1, c = 0;
    for (size_t i = 0; i < found.size(); ++i)
      if (mark[i] == OPEN && std::abs(found[i].value) > c) {
        c = std::abs(found[i].value);
        best = int(i);
      }
    if (best < 0) break;
    mark[best] = KEPT;
    for (size_t i = 0; i < found.size(); ++i) {
      if (mark[i] != OPEN) continue;
      const int rho = (c - std::abs(found[i].value) / 2) / 12;
      const int dx = found[i].x - found[best].x, dy = found[i].y - found[best].y;
      if (dx * dx + dy * dy < rho * rho) mark[i] = DROPPED;
    }
  }
  std::vector<peak_t> kept;
  for (size_t i = 0; i < found.size(); ++i)
    if (mark[i] == KEPT) kept.push_back(found[i]);
  if (kept.empty()) return;
  delete[] p.peaks;
  delete[] p.peak_vectors;
  p.peak_count = int32_t(kept.size());
  p.peaks = new peak_t[kept.size()];
  std::copy(kept.begin(), kept.end(), p.peaks);
  p.peak_vectors = new double[2 * kept.size()]();
}
