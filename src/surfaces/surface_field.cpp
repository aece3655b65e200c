// A plane's signed chamfer distance field and its ridges (peaks).
//
// Cells hold about 12 times the Euclidean distance in pixels to the nearest
// contour, positive inside; edge steps weigh 12, diagonal steps 17.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "data/contour.h"
#include "surfaces/surface_interp.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// One row of a chamfer pass without the steps along the row: for cells 1 to
// w - 2, out = min(v, steps from the neighbour row) where v > above, max(v,
// steps) where v <= below (v < -6 is v <= -7), v itself between. Values stay
// within +-32700, so the sums fit 16 bits.
void neighbour_step(const int16_t* value, const int16_t* other, int16_t* out, int w, int above,
                    int below) {
  int x = 1;
#if defined(__SSE2__)
  const __m128i twelve = _mm_set1_epi16(12), seventeen = _mm_set1_epi16(17);
  const __m128i a = _mm_set1_epi16(int16_t(above)), b = _mm_set1_epi16(int16_t(below + 1));
  for (; x + 8 <= w - 1; x += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(value + x));
    const __m128i o0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(other + x - 1));
    const __m128i o1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(other + x));
    const __m128i o2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(other + x + 1));
    const __m128i lo = _mm_min_epi16(_mm_add_epi16(o1, twelve),
                                     _mm_add_epi16(_mm_min_epi16(o0, o2), seventeen));
    const __m128i hi = _mm_max_epi16(_mm_sub_epi16(o1, twelve),
                                     _mm_sub_epi16(_mm_max_epi16(o0, o2), seventeen));
    const __m128i pos = _mm_cmpgt_epi16(v, a), neg = _mm_cmplt_epi16(v, b);
    __m128i r = _mm_or_si128(_mm_and_si128(pos, _mm_min_epi16(v, lo)), _mm_andnot_si128(pos, v));
    r = _mm_or_si128(_mm_and_si128(neg, _mm_max_epi16(v, hi)), _mm_andnot_si128(neg, r));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), r);
  }
#endif
  for (; x < w - 1; ++x) {
    const int v = value[x];
    const int lo = std::min(other[x] + 12, std::min(other[x - 1], other[x + 1]) + 17);
    const int hi = std::max(other[x] - 12, std::max(other[x - 1], other[x + 1]) - 17);
    out[x] = int16_t(v > above ? std::min(v, lo) : v <= below ? std::max(v, hi) : v);
  }
}

}  // namespace

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
  // Each row in two steps: the row above (below on the way back) and the
  // cell's own value first, for the whole row at once, then the chain along
  // the row, which is all that has to go cell after cell.
  std::vector<int16_t> own(static_cast<size_t>(w));
  for (int y = 1; y < h - 1; ++y) {
    const int16_t* src = old + size_t(y) * w;
    int16_t* row = f + size_t(y) * w;
    const int16_t* up = row - w;
    neighbour_step(src, up, row, w, 6, -7);
    int left = row[0];
    for (int x = 1; x < w - 1; ++x) {
      const int v = src[x];
      int r = row[x];
      if (v > 6)
        r = std::min(r, left + 12);
      else if (v < -6)
        r = std::max(r, left - 12);
      row[x] = int16_t(r);
      left = r;
    }
  }
  delete[] old;
  p.field = f;

  for (int y = h - 2; y >= 1; --y) {
    int16_t* row = f + size_t(y) * w;
    const int16_t* down = row + w;
    neighbour_step(row, down, own.data(), w, 0, 0);
    int right = row[w - 1];
    for (int x = w - 2; x >= 1; --x) {
      const int r = row[x] > 0 ? std::min<int>(own[size_t(x)], right + 12)
                               : std::max<int>(own[size_t(x)], right - 12);
      row[x] = int16_t(r);
      right = r;
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
