// Ridge and valley paths of the 2D growth: bright or dark lines that bridge a
// gap are followed across it, and lines of the opposite kind running through
// the region become one-pixel walls that cut it apart.
#include <cmath>
#include <cstdlib>

#include "data/geometry.h"
#include "segmentation/grassfire_work.h"

namespace grassfire {

namespace {

constexpr int32_t kRefused = -4096;
constexpr int32_t kInBand = 8192;

struct line_pass {
  bool ridge;     // the pass's ridge flag
  int32_t mode;   // +1 ridge pass, -1 valley pass
  int32_t retries;
  size_t max_length;
};

pixel16 step(pixel16 p, int k) {
  return {static_cast<int16_t>(p.x + neighbours_2d[k][0]),
          static_cast<int16_t>(p.y + neighbours_2d[k][1])};
}

bool diagonal(int k) { return (k & 1) != 0; }

// The step along k runs across the line with unit normal n rather than along it.
bool across(int k, const double n[2]) {
  return std::fabs(neighbours_2d[k][0] * n[0] + neighbours_2d[k][1] * n[1]) >
         neighbour_distances_2d[k] * 0.7072;
}

bool on_border(const frame_work& w, pixel16 p) {
  return p.x == 0 || p.y == 0 || p.x == w.width - 1 || p.y == w.height - 1;
}

int32_t strength(const frame_work& w, pixel16 p, int k, int32_t mode, bool ridge, double* n) {
  const pixel16 o = k < 0 ? pixel16{0, 0}
                          : pixel16{neighbours_2d[k][0], neighbours_2d[k][1]};
  return line_strength_2d(w.state, w.display, w.width, w.height, w.band, p, o, mode, ridge, n);
}

// Of the two corner pixels a and b of a diagonal step, the brighter when
// ridge is set, else the darker; b on equal values.
pixel16 corner(const frame_work& w, pixel16 a, pixel16 b, bool ridge) {
  const int ga = w.grey(a.x, a.y), gb = w.grey(b.x, b.y);
  if (ga == gb) return b;
  return (ga > gb) == ridge ? a : b;
}

bool in_path(const std::vector<pixel16>& path, pixel16 p) {
  for (const pixel16 q : path)
    if (q == p) return true;
  return false;
}

// The best of the directions not skipped: strictly larger wins, so the
// earlier direction keeps a tie.
struct best_step {
  int32_t value = kRefused;
  int k = -1;
  double n[2] = {0.0, 0.0};
};

void run_pass(const frame_work& w, pixel16 s, const line_pass& pass) {
  std::vector<pixel16> path;
  pixel16 c = s, anchor{};
  double v[2];
  if (strength(w, c, -1, +1, pass.ridge, v) <= 0) return;
  const bool valley = pass.mode < 0;

  // First step.
  best_step best;
  for (int k = 0; k < 8; ++k) {
    if (across(k, v)) continue;
    const int32_t mode = valley && best.value <= kInBand ? 1 : 0;
    double n[2];
    const int32_t sk = strength(w, c, k, mode, pass.ridge, n);
    if (sk > best.value) {
      best.value = sk;
      best.k = k;
      best.n[0] = n[0];
      best.n[1] = n[1];
    }
  }
  int last = 0;
  if (best.value > kInBand) {
    if (!valley) {
      anchor = step(c, best.k);
      last = (best.k + 4) % 8;
      path.push_back(s);
    } else {
      anchor = s;
      c = step(c, best.k);
      v[0] = best.n[0];
      v[1] = best.n[1];
      last = best.k;
      if (diagonal(best.k)) {
        const int dx = neighbours_2d[best.k][0], dy = neighbours_2d[best.k][1];
        path.push_back(corner(w, {static_cast<int16_t>(c.x - dx), c.y},
                              {c.x, static_cast<int16_t>(c.y - dy)}, pass.ridge));
      }
      path.push_back(c);
    }
  } else {
    if (valley && best.value > 0 && diagonal(best.k)) {
      // A dark line crossing a diagonal step: block the corner the growth
      // would slip through.
      const int dx = neighbours_2d[best.k][0], dy = neighbours_2d[best.k][1];
      const pixel16 a{static_cast<int16_t>(c.x + dx), c.y}, b{c.x, static_cast<int16_t>(c.y + dy)};
      if (w.passes(a.x, a.y) && w.passes(b.x, b.y)) {
        const pixel16 blocked = corner(w, a, b, pass.ridge);
        w.at(blocked.x, blocked.y) = kWall;
      }
    }
    return;
  }

  // Walk.
  int32_t retries = pass.retries;
  bool reached = false;
  while (path.size() < pass.max_length) {
    best = best_step{};
    for (int k = 0; k < 8; ++k) {
      if (neighbours_2d[k][0] * neighbours_2d[last][0] + neighbours_2d[k][1] * neighbours_2d[last][1] < 0)
        continue;
      if (across(k, v)) continue;
      double n[2];
      const int32_t sk = strength(w, c, k, pass.mode, pass.ridge, n);
      if (sk > best.value) {
        best.value = sk;
        best.k = k;
        best.n[0] = n[0];
        best.n[1] = n[1];
      }
    }
    int32_t value = best.value;
    if (value <= 0 && retries > 0 && value > kRefused) {
      --retries;
      value = 1;
    } else {
      reached = value > 4096;
      if (reached) {
        value -= kInBand;
        if (strength(w, path.back(), -1, pass.mode, pass.ridge, nullptr) <= 0) return;
      } else if (value <= 0) {
        return;
      }
    }
    c = step(c, best.k);
    v[0] = best.n[0];
    v[1] = best.n[1];
    last = best.k;
    if (c == anchor || in_path(path, c)) return;
    if (valley && diagonal(best.k)) {
      const int dx = neighbours_2d[best.k][0], dy = neighbours_2d[best.k][1];
      path.push_back(corner(w, {static_cast<int16_t>(c.x - dx), c.y},
                            {c.x, static_cast<int16_t>(c.y - dy)}, pass.ridge));
    }
    path.push_back(c);
    if (reached) break;
    if (value <= 0 || on_border(w, c) || path.size() >= pass.max_length) return;
  }
  if (!reached) return;

  // Straightness: the path may stray from the chord anchor..end by no more
  // than the chord's length on average.
  const pixel16 e = path.back();
  const int64_t dx = e.x - anchor.x, dy = e.y - anchor.y;
  const int64_t chord2 = dx * dx + dy * dy;
  if (chord2 == 0) return;
  int64_t stray = 0;
  for (size_t i = 0; i + 1 < path.size(); ++i)
    stray += std::llabs((path[i].x - anchor.x) * dy - (path[i].y - anchor.y) * dx);
  if (stray > chord2 * static_cast<int64_t>(path.size())) return;

  if (!valley) {
    if (w.at(anchor.x, anchor.y) == kOutside) w.queue(anchor.x, anchor.y);
    for (size_t i = 0; i + 1 < path.size(); ++i)
      if (w.at(path[i].x, path[i].y) == kOutside) w.at(path[i].x, path[i].y) = kInside;
    if (w.at(e.x, e.y) == kOutside) w.queue(e.x, e.y);
  } else {
    for (size_t i = 0; i + 1 < path.size(); ++i) {
      const pixel16 p = path[i];
      if (w.at(p.x, p.y) == kOutside) w.next->push_back(p);
      w.at(p.x, p.y) = kWall;
    }
  }
}

}  // namespace

int32_t line_strength_2d(const uint8_t* state, const uint8_t* display, int32_t width,
                         int32_t height, const threshold_band& band, pixel16 p, pixel16 o,
                         int32_t mode, bool ridge, double* normal) {
  const int32_t qx = p.x + o.x, qy = p.y + o.y;
  if (qx < 1 || qy < 1 || qx >= width - 1 || qy >= height - 1) return kRefused;
  const size_t i = static_cast<size_t>(qy) * width + qx;
  const uint8_t s = state[i];
  if (band.excluded(display[i]) || s == kWall) return kRefused;
  bool h = band.is_highlighted(display, qx, qy, width, height);
  if (!h && s != kOutside) return kRefused;
  if (mode == 0 && !h) return kRefused;
  if (mode < 0) h = !h;

  auto g = [&](int dx, int dy) -> double { return display[i + static_cast<ptrdiff_t>(dy) * width + dx]; };
  const double a = g(-1, -1), b = g(0, -1), c = g(1, -1);
  const double d = g(-1, 0), e = g(0, 0), f = g(1, 0);
  const double gg = g(-1, 1), hh = g(0, 1), ii = g(1, 1);
  const double gx = ((2 * f + c + ii) - (2 * d + a + gg)) / 2;
  const double gy = ((2 * hh + gg + ii) - (2 * b + a + c)) / 2;
  const double dxx = (2 * f + c + ii) + (2 * d + a + gg) - 2 * (2 * e + b + hh);
  const double dyy = (2 * hh + gg + ii) + (2 * b + a + c) - 2 * (2 * e + d + f);
  const double dxy = a + ii - c - gg;

  double lambda[2];
  vec2_t n, t;
  eigen_symmetric_2x2(lambda, {dxx, dyy}, dxy, n, t);
  const double across_slope = 0.9 * 2 * std::fabs(gx * n.x + gy * n.y);
  const double strength = (ridge ? -1.0 : 1.0) * lambda[0] - across_slope;
  int32_t result;
  if (strength > 0 && 2 * std::fabs(gx * t.x + gy * t.y) > (across_slope + strength) * (mode == 1 ? 2 : 6))
    result = 0;
  else
    result = static_cast<int32_t>(std::ceil(strength));
  if (normal) {
    normal[0] = n.x;
    normal[1] = n.y;
  }
  if (result > 0 && h) result += kInBand;
  return result;
}

void follow_lines(const frame_work& w, int32_t x, int32_t y) {
  if (x <= 0 || y <= 0 || x >= w.width - 1 || y >= w.height - 1) return;
  const pixel16 s{static_cast<int16_t>(x), static_cast<int16_t>(y)};
  const bool r0 = nearer_low_threshold(w.grey(x, y), w.band.low_threshold(), w.band.high_threshold());
  const int32_t j = w.gap;
  if (w.settings.ridges && j >= 1)
    run_pass(w, s, {r0, +1, j / 10 + 1, static_cast<size_t>(2 * j)});
  if (w.settings.valleys && j >= 1)
    run_pass(w, s, {!r0, -1, 0, static_cast<size_t>(4 * j)});
}

}  // namespace grassfire
