#include "segmentation/grassfire.h"

#include <wx/log.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

#include "registry/resource_table.h"
#include "segmentation/grassfire_work.h"

namespace grassfire {

namespace {

constexpr double kRoot2 = 1.4142135623730951;
constexpr double kRoot3 = 1.7320508075688772;

}  // namespace

const int16_t neighbours_2d[8][2] = {{0, 1},  {1, 1},   {1, 0},  {1, -1},
                                     {0, -1}, {-1, -1}, {-1, 0}, {-1, 1}};
const double neighbour_distances_2d[8] = {1, kRoot2, 1, kRoot2, 1, kRoot2, 1, kRoot2};

const int16_t neighbours_3d[26][3] = {
    {0, 1, -1},  {1, 1, -1},  {1, 0, -1},  {1, -1, -1}, {0, -1, -1}, {-1, -1, -1}, {-1, 0, -1},
    {-1, 1, -1}, {0, 0, -1},  {0, 1, 0},   {1, 1, 0},   {1, 0, 0},   {1, -1, 0},   {0, -1, 1},
    {-1, -1, 1}, {-1, 0, 1},  {-1, 1, 1},  {0, 1, 1},   {1, 1, 1},   {1, 0, 1},    {1, -1, 1},
    {0, 0, 1},   {0, -1, 0},  {-1, -1, 0}, {-1, 0, 0},  {-1, 1, 0}};

const double neighbour_distances_3d[26] = {
    kRoot2, kRoot3, kRoot2, kRoot3, kRoot2, kRoot3, kRoot2, kRoot3, 1, 1, kRoot2, 1, kRoot2,
    kRoot2, kRoot3, kRoot2, kRoot3, kRoot2, kRoot3, kRoot2, kRoot3, 1, 1, kRoot2, 1, kRoot2};

segment_settings segment_settings::from_resources() {
  const resource_table_t& t = *resource_table;
  segment_settings s;
  s.connected = t.RES_SEGMENT_CONNECTED->read();
  s.ridges = t.RES_SEGMENT_RIDGES->read();
  s.valleys = t.RES_SEGMENT_VALLEYS->read();
  s.range_mm = t.RES_SEGMENT_RANGE->read();
  s.xscale = t.RES_XSCALE->read();
  s.yscale = t.RES_YSCALE->read();
  s.type = t.RES_SEGMENT_TYPE->read();
  s.concavity = t.RES_CONCAVITY_STRENGTH->read();
  s.doppler = t.RES_BUF_DOPPLER->read();
  return s;
}

bool nearer_low_threshold(int32_t v, int32_t lo, int32_t hi) {
  if (hi == 0) return v <= lo;
  if (lo == 0) return v >= hi;
  return std::abs(lo - v) <= std::abs(hi - v);
}

namespace {

// One direction of a gap probe: true when a passing or reached pixel lies
// within the gap before an excluded value.
bool probe_direction(const frame_work& w, int32_t x, int32_t y, int sx, int sy, bool diagonal) {
  for (int32_t k = 1; k <= w.gap; ++k) {
    int32_t px, py;
    if (diagonal) {
      const double d = k * 0.70710678;
      px = static_cast<int32_t>(x + sx * d + 0.5);
      py = static_cast<int32_t>(y + sy * d + 0.5);
    } else {
      px = x + sx * k;
      py = y + sy * k;
    }
    if (!w.inside(px, py)) continue;
    if (w.band.excluded(w.grey(px, py))) return false;
    if (w.passes(px, py) || w.at(px, py) != kOutside) return true;
  }
  return false;
}

// Takes in a failing pixel with passing pixels within the gap on both sides
// along a column, a row or a diagonal.
void join_gap(const frame_work& w, int32_t x, int32_t y) {
  static const int axes[4][2] = {{0, 1}, {1, 0}, {1, 1}, {1, -1}};
  for (int a = 0; a < 4; ++a) {
    const int sx = axes[a][0], sy = axes[a][1];
    const bool diagonal = sx != 0 && sy != 0;
    if (probe_direction(w, x, y, sx, sy, diagonal) && probe_direction(w, x, y, -sx, -sy, diagonal)) {
      w.queue(x, y);
      return;
    }
  }
}

void try_add_pixel(const frame_work& w, int32_t x, int32_t y) {
  if (w.at(x, y) != kOutside) return;
  if (w.passes(x, y)) {
    w.queue(x, y);
    return;
  }
  if (w.band.excluded(w.grey(x, y))) return;
  const segment_settings& s = w.settings;
  if (w.gap >= 1 && (s.ridges || s.valleys)) {
    follow_lines(w, x, y);
    return;
  }
  if (w.gap >= 1) join_gap(w, x, y);
}

// The next pixel after (x, y) in raster order that holds 0 and passes; false
// at the end of the frame.
bool next_seed(const frame_work& w, int32_t& x, int32_t& y) {
  int64_t i = static_cast<int64_t>(y) * w.width + x + 1;
  const int64_t n = static_cast<int64_t>(w.width) * w.height;
  for (; i < n; ++i) {
    const int32_t cx = static_cast<int32_t>(i % w.width), cy = static_cast<int32_t>(i / w.width);
    if (w.state[i] == kOutside && w.passes(cx, cy)) {
      x = cx;
      y = cy;
      return true;
    }
  }
  return false;
}

void grow(frame_work& w, int32_t seed_x, int32_t seed_y) {
  const segment_settings& s = w.settings;
  const bool diagonal = s.ridges || s.valleys;
  const double range = s.range_mm / 10.0;
  const double range2 = range * range;
  // Without a seed the growth starts from the first passing pixel; the range
  // is then measured from there.
  const bool unseeded = seed_x == -1;
  const bool scan = !s.connected || unseeded;
  int32_t sx = seed_x, sy = seed_y;
  if (scan) {
    sx = -1;
    sy = 0;
    if (!next_seed(w, sx, sy)) return;
    if (unseeded) {
      seed_x = sx;
      seed_y = sy;
    }
  }
  std::vector<pixel16> current, next;
  w.next = &next;
  w.queue(sx, sy);
  std::swap(current, next);
  while (!current.empty()) {
    for (const pixel16 p : current) {
      const int32_t x = p.x, y = p.y;
      if (range2 > 0.0) {
        const double dx = (x - seed_x) * s.xscale, dy = (y - seed_y) * s.yscale;
        if (dx * dx + dy * dy > range2) {
          w.at(x, y) = kOutside;
          continue;
        }
      }
      if (y > 0) try_add_pixel(w, x, y - 1);
      if (x > 0) try_add_pixel(w, x - 1, y);
      if (x < w.width - 1) try_add_pixel(w, x + 1, y);
      if (y < w.height - 1) try_add_pixel(w, x, y + 1);
      if (diagonal) {
        if (x > 0 && y > 0) try_add_pixel(w, x - 1, y - 1);
        if (x < w.width - 1 && y > 0) try_add_pixel(w, x + 1, y - 1);
        if (x > 0 && y < w.height - 1) try_add_pixel(w, x - 1, y + 1);
        if (x < w.width - 1 && y < w.height - 1) try_add_pixel(w, x + 1, y + 1);
      }
      if (w.at(x, y) == kQueued) w.at(x, y) = kInside;
    }
    current.clear();
    std::swap(current, next);
    if (current.empty() && !s.connected && next_seed(w, sx, sy)) {
      w.queue(sx, sy);
      std::swap(current, next);
    }
  }
  w.next = nullptr;
}

}  // namespace

bool segment_region(const uint8_t* display, int32_t width, int32_t height, int32_t seed_x,
                    int32_t seed_y, int32_t gap, const threshold_band& band,
                    const segment_settings& settings, std::vector<uint8_t>& state,
                    bounds2d& bounds) {
  bounds = bounds2d{};
  if (!display || width < 1 || height < 1) return true;
  if (width > kMaxSide || height > kMaxSide) {
    wxLogWarning("A frame of %i x %i pixels is too large to segment (at most %i pixels a side).",
                 width, height, kMaxSide);
    return false;
  }
  const size_t n = static_cast<size_t>(width) * height;
  try {
    state.assign(n, kOutside);
  } catch (const std::bad_alloc&) {
    wxLogWarning("Unable to allocate state image for grassfire algorithm");
    return false;
  }
  frame_work w{display, width, height, band, settings, state.data(), gap};
  const bool seeded = seed_x != -1;
  if (seeded && !w.passes(seed_x, seed_y)) return true;

  if (settings.connected || gap > 0) {
    grow(w, seed_x, seed_y);
  } else {
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) w.at(x, y) = w.passes(x, y) ? kInside : kOutside;
  }

  int32_t x0 = width, x1 = -1, y0 = height, y1 = -1;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = state.data() + static_cast<size_t>(y) * width;
    for (int32_t x = 0; x < width; ++x) {
      if (row[x] != kInside) {
        row[x] = kOutside;
        continue;
      }
      x0 = std::min(x0, x);
      x1 = std::max(x1, x);
      y0 = std::min(y0, y);
      y1 = std::max(y1, y);
    }
  }
  if (x1 < 0) return true;
  bounds.x0 = std::max(0, x0 - 2);
  bounds.x1 = std::min(width - 1, x1 + 2);
  bounds.y0 = std::max(0, y0 - 2);
  bounds.y1 = std::min(height - 1, y1 + 2);
  topological_analysis_2d(state.data(), display, width, height, bounds, band, settings);
  return true;
}

frame_contours_t segment(const uint8_t* display, int32_t width, int32_t height, int32_t seed_x,
                         int32_t seed_y, int32_t gap, double tolerance,
                         const threshold_band& band, const segment_settings& settings) {
  frame_contours_t result;
  result.frame = -1;
  result.area = -1.0;
  std::vector<uint8_t> state;
  bounds2d bounds;
  if (!segment_region(display, width, height, seed_x, seed_y, gap, band, settings, state, bounds) ||
      bounds.empty())
    return result;
  extract_frame_contours(display, state.data(), width, height, 1, &result, tolerance,
                         settings.ridges || settings.valleys, band, settings.doppler);
  return result;
}

frame_contours_t segment(const uint8_t* display, int32_t seed_x, int32_t seed_y, int32_t gap,
                         double tolerance, const threshold_band& band) {
  const resource_table_t& t = *resource_table;
  return segment(display, t.RES_BUF_WIDTH->read(), t.RES_BUF_HEIGHT->read(), seed_x, seed_y, gap,
                 tolerance, band, segment_settings::from_resources());
}

}  // namespace grassfire
