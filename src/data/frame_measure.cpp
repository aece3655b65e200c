// Measurement of a frame entry: raster box, enclosed area with holes,
// centroid, and the signed distance map with its repair by scan conversion.
//
// Map cells hold the signed distance from the pixel centre to the nearest
// contour edge in twelfths of a pixel (positive inside) when it is at most one
// pixel, else MAP_INSIDE or MAP_OUTSIDE.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "data/contour.h"
#include "data/frame_measure.h"

namespace {

constexpr double UNTOUCHED = 1e10;
// A vertex this close to another contour's outline (pixels) lies on it.
constexpr double TOUCH_TOLERANCE = 1e-3;
// Boxes beyond this many cells are refused a map rather than allocated.
constexpr int64_t MAX_MAP_CELLS = int64_t(1) << 26;
// Scratch space up to this many cells is kept for the next call: measuring
// frame after frame then costs no fresh pages.
constexpr size_t KEEP_SCRATCH_CELLS = size_t(1) << 20;

// Distance so far and the weight that breaks ties between equal distances.
struct acc_t {
  double dist;
  double weight;
};

struct cell_t {
  long c, r;
};

// Nesting depth of each contour and whether it is flipped, so that outer
// contours count negative and holes positive whatever their direction.
struct orientation_t {
  std::vector<int> depth;
  std::vector<bool> flip;
};

// Whether x lies within tol of the contour's outline, closing edge included.
bool on_outline(const contour_t& c, const vec2_t& x, double tol) {
  const size_t n = c.vertices.size();
  for (size_t k = 0; k < n; ++k) {
    const vec2_t& p = c.vertices[k];
    const vec2_t d = c.vertices[(k + 1) % n] - p;
    const double len2 = vec2_dot(d, d);
    const double t = len2 > 0.0 ? std::clamp(vec2_dot(x - p, d) / len2, 0.0, 1.0) : 0.0;
    const vec2_t e = x - (p + t * d);
    if (vec2_dot(e, e) <= tol * tol) return true;
  }
  return false;
}

orientation_t orient(const std::vector<contour_t>& contours, std::vector<double>* areas,
                     std::vector<vec2_t>* centroids) {
  const size_t n = contours.size();
  orientation_t o{std::vector<int>(n, 0), std::vector<bool>(n, false)};
  std::vector<bool> usable(n);
  struct box_t {
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
  };
  std::vector<box_t> boxes(n);
  for (size_t k = 0; k < n; ++k) {
    usable[k] = contours[k].finite();
    for (const vec2_t& v : contours[k].vertices) {
      boxes[k].x0 = std::min(boxes[k].x0, v.x), boxes[k].x1 = std::max(boxes[k].x1, v.x);
      boxes[k].y0 = std::min(boxes[k].y0, v.y), boxes[k].y1 = std::max(boxes[k].y1, v.y);
    }
  }
  // Only contours whose box (widened by the tolerance) holds a contour's
  // first vertex can contain it: a grid of the boxes finds them, so that
  // thousands of small contours are not each tested against all others.
  const double t = TOUCH_TOLERANCE;
  double gx0 = 1e300, gy0 = 1e300, gx1 = -1e300, gy1 = -1e300;
  for (size_t k = 0; k < n; ++k)
    if (usable[k] && contours[k].vertices.size() >= 3) {
      gx0 = std::min(gx0, boxes[k].x0 - t), gx1 = std::max(gx1, boxes[k].x1 + t);
      gy0 = std::min(gy0, boxes[k].y0 - t), gy1 = std::max(gy1, boxes[k].y1 + t);
    }
  const long side = std::clamp(long(std::sqrt(double(n))), 1L, 1024L);
  const double cw = std::max((gx1 - gx0) / side, 1e-9), ch = std::max((gy1 - gy0) / side, 1e-9);
  auto cell_of = [&](double v, double v0, double c) {
    return std::clamp(long(std::floor((v - v0) / c)), 0L, side - 1);
  };
  std::vector<std::vector<uint32_t>> cells(gx1 >= gx0 ? size_t(side * side) : 0);
  for (size_t k = 0; k < n && !cells.empty(); ++k) {
    if (!usable[k] || contours[k].vertices.size() < 3) continue;
    for (long i = cell_of(boxes[k].y0 - t, gy0, ch); i <= cell_of(boxes[k].y1 + t, gy0, ch); ++i)
      for (long j = cell_of(boxes[k].x0 - t, gx0, cw); j <= cell_of(boxes[k].x1 + t, gx0, cw); ++j)
        cells[size_t(i * side + j)].push_back(uint32_t(k));
  }
  for (size_t r = 0; r < n; ++r) {
    if (contours[r].vertices.empty() || !usable[r] || cells.empty()) continue;
    const std::vector<vec2_t>& vr = contours[r].vertices;
    const vec2_t& first = vr[0];
    if (first.x < gx0 || first.x > gx1 || first.y < gy0 || first.y > gy1) continue;
    for (const uint32_t k : cells[size_t(cell_of(first.y, gy0, ch) * side + cell_of(first.x, gx0, cw))]) {
      if (k == r) continue;
      const box_t& b = boxes[k];
      // A contour that touches another one is judged by its first vertex
      // off the other's outline: a shared point says nothing about nesting.
      const vec2_t* p = &vr[0];
      if (p->x >= b.x0 - TOUCH_TOLERANCE && p->x <= b.x1 + TOUCH_TOLERANCE &&
          p->y >= b.y0 - TOUCH_TOLERANCE && p->y <= b.y1 + TOUCH_TOLERANCE &&
          on_outline(contours[k], *p, TOUCH_TOLERANCE)) {
        for (const vec2_t& v : vr)
          if (!on_outline(contours[k], v, TOUCH_TOLERANCE)) {
            p = &v;
            break;
          }
      }
      if (p->x < b.x0 || p->x > b.x1 || p->y < b.y0 || p->y > b.y1) continue;
      if (contours[k].contains(*p)) ++o.depth[r];
    }
  }
  for (size_t r = 0; r < n; ++r) {
    vec2_t c;
    double a = usable[r] ? contours[r].area_and_centroid(c) : 0.0;
    bool odd = o.depth[r] % 2 != 0;
    o.flip[r] = (!odd && a >= 0.0) || (odd && a < 0.0);
    if (o.flip[r]) a = -a;
    if (areas) areas->push_back(a);
    if (centroids) centroids->push_back(c);
  }
  return o;
}

// Step over every edge of a closed contour, the closing edge first.
template <class F>
void for_each_edge_closing_first(const contour_t& c, F f) {
  const size_t n = c.vertices.size();
  f(c.vertices[n - 1], c.vertices[0]);
  for (size_t k = 1; k < n; ++k) f(c.vertices[k - 1], c.vertices[k]);
}

void fill_distances(const frame_contours_t& e, const std::vector<bool>& flip, acc_t* acc) {
  const long W = e.box_width, H = e.box_height;
  for (size_t r = 0; r < e.contours.size(); ++r) {
    const contour_t& c = e.contours[r];
    if (!c.closed || c.vertices.size() < 3 || !c.finite() || c.area() == 0.0) continue;
    const bool flipped = flip[r];
    for_each_edge_closing_first(c, [&](const vec2_t& p0, const vec2_t& q0) {
      const vec2_t half{0.5, 0.5};
      vec2_t P = p0 - half, Q = q0 - half;
      if (P.x == Q.x && P.y == Q.y) return;
      vec2_t pq = Q - P;
      double L = std::sqrt(vec2_dot(pq, pq));
      vec2_t u = (1.0 / L) * pq;
      long j0 = std::max(0L, static_cast<long>(std::floor(std::min(P.x, Q.x) - e.box_x)) - 1);
      long j1 = std::min(static_cast<long>(std::ceil(std::max(P.x, Q.x) - e.box_x)) + 1, W - 1);
      long i0 = std::max(0L, static_cast<long>(std::floor(std::min(P.y, Q.y) - e.box_y)) - 1);
      long i1 = std::min(static_cast<long>(std::ceil(std::max(P.y, Q.y) - e.box_y)) + 1, H - 1);
      for (long i = i0; i <= i1; ++i) {
        for (long j = j0; j <= j1; ++j) {
          vec2_t X{double(e.box_x + j), double(e.box_y + i)};
          vec2_t D = X - P;
          double s = vec2_dot(D, u);
          if (s > 0.0) D = s < L ? D - s * u : X - Q;
          double d = std::sqrt(vec2_dot(D, D));
          if (d > 1.0) continue;
          acc_t& a = acc[i * W + j];
          if (d == 0.0) {
            a = {0.0, 1.0};
            continue;
          }
          double w = (u.x * D.y - u.y * D.x) / d;
          double signed_d = w < 0.0 ? -d : d;
          if (flipped) signed_d = -signed_d;
          double cw = std::fabs(w);
          double cur = std::fabs(a.dist);
          if (d < cur - 1e-5 || (std::fabs(d - cur) <= 1e-5 && cw > a.weight)) a = {signed_d, cw};
        }
      }
    });
  }
}

// Row by row; a cell whose value jumps by more than one pixel from its left
// neighbour is not trusted and takes the side the row is on.
void quantise(const acc_t* acc, long W, long H, int16_t* map) {
  for (long i = 0; i < H; ++i) {
    int state = MAP_OUTSIDE, prev = MAP_OUTSIDE;
    for (long j = 0; j < W; ++j) {
      double v = acc[i * W + j].dist;
      int out;
      if (v == UNTOUCHED) {
        out = state;
      } else {
        long g = std::lround(12.0 * v);
        if (v < 0.0) {
          if (prev != MAP_OUTSIDE && std::labs(g - prev) > 13) {
            out = state;
          } else {
            out = g == 0 ? -1 : static_cast<int>(g);
            state = MAP_OUTSIDE;
          }
        } else {
          if (prev != MAP_INSIDE && std::labs(g - prev) > 13) {
            out = state;
          } else {
            out = g == 0 ? 1 : static_cast<int>(g);
            state = MAP_INSIDE;
          }
        }
      }
      map[i * W + j] = static_cast<int16_t>(out);
      prev = out;
    }
  }
}

// The first cell where the inside leaks to the border or meets the outside
// without an edge between them.
bool find_seed(const int16_t* m, long W, long H, long& sj, long& si) {
  auto at = [&](long j, long i) { return m[i * W + j]; };
  for (long j = 0; j < W; ++j)
    if (at(j, 0) > 0) return sj = j, si = 0, true;
  for (long j = 0; j < W; ++j)
    if (at(j, H - 1) > 0) return sj = j, si = H - 1, true;
  if (H <= 2) return false;
  for (long i = 1; i < H - 1; ++i)
    if (at(0, i) > 0) return sj = 0, si = i, true;
  for (long i = 1; i < H - 1; ++i) {
    if (at(W - 1, i) > 0) {
      long j = W - 1;
      while (j > 0 && at(j, i) > 0) --j;
      return sj = j, si = i, true;
    }
  }
  for (long i = 1; i < H - 1; ++i) {
    for (long j = 1; j < W - 1; ++j) {
      int v = at(j, i);
      int n[4] = {at(j - 1, i), at(j + 1, i), at(j, i - 1), at(j, i + 1)};
      bool leak = false;
      for (int x : n) {
        if (v == MAP_INSIDE && x <= 0) leak = true;
        if (v == MAP_OUTSIDE && x > 0) leak = true;
      }
      if (leak) return sj = j, si = i, true;
    }
  }
  return false;
}

// Counts, per cell, how often the closed contours pass through it; odd counts
// toggle the inside along a row.
void count_crossings(const frame_contours_t& e, std::vector<uint16_t>& count) {
  const long W = e.box_width, H = e.box_height;
  auto add = [&](long c, long r, int v) {
    if (c >= 0 && c < W && r >= 0 && r < H) count[static_cast<size_t>(r * W + c)] += v;
  };
  auto cell = [&](const vec2_t& v) {
    return cell_t{static_cast<long>(std::floor(v.x)) - e.box_x,
                  static_cast<long>(std::floor(v.y)) - e.box_y};
  };
  for (const contour_t& c : e.contours) {
    const size_t n = c.vertices.size();
    if (!c.closed || n < 2 || !c.finite()) continue;
    cell_t p = cell(c.vertices[n - 1]);
    bool down = false;
    for (size_t k = n - 1; k-- > 0;) {
      cell_t q = cell(c.vertices[k]);
      if (q.r != p.r) {
        down = q.r < p.r;
        break;
      }
    }
    for (size_t k = 0; k < n; ++k) {
      cell_t q = cell(c.vertices[k]);
      if (q.r == p.r) {
        if (q.c > p.c)
          for (long x = p.c + 1; x <= q.c; ++x) add(x, q.r, 2);
        else if (q.c < p.c)
          for (long x = q.c; x <= p.c - 1; ++x) add(x, q.r, 2);
      } else if (q.r > p.r) {
        if (!down) add(p.c, p.r, 1);
        long rows = q.r - p.r;
        for (long t = 1; t <= rows; ++t)
          add(p.c + static_cast<long>(std::trunc(float(t) * float(q.c - p.c) / float(rows))),
              p.r + t, 1);
        down = true;
      } else {
        if (down) add(p.c, p.r, 1);
        long rows = p.r - q.r;
        for (long t = 0; t < rows; ++t)
          add(q.c + static_cast<long>(std::trunc(float(t) * float(p.c - q.c) / float(rows))),
              q.r + t, 1);
        down = false;
      }
      p = q;
    }
  }
}

// How much of its pixel a cell of the map covers.
double coverage(int v) { return v <= -6 ? 0.0 : std::min(1.0, (v + 6) / 12.0); }

void repair(frame_contours_t& e, int16_t* map) {
  const long W = e.box_width, H = e.box_height;
  std::vector<uint16_t> count(static_cast<size_t>(W * H), 0);
  count_crossings(e, count);
  for (long i = 0; i < H; ++i) {
    bool parity = false;
    for (long j = 0; j < W; ++j) {
      size_t idx = static_cast<size_t>(i * W + j);
      if (count[idx] & 1) parity = !parity;
      bool inside = count[idx] >= 1 || parity;
      if (i == 0 || j == 0 || i == H - 1 || j == W - 1)
        map[idx] = MAP_OUTSIDE;
      else if (std::abs(int(map[idx])) > 12)
        map[idx] = inside ? MAP_INSIDE : MAP_OUTSIDE;
    }
  }
  // Area and centroid from the cells' coverage of their pixels.
  double sum = 0.0, sx = 0.0, sy = 0.0;
  for (long i = 0; i < H; ++i) {
    for (long j = 0; j < W; ++j) {
      const double cover = coverage(map[i * W + j]);
      sum += cover;
      sx += j * cover;
      sy += i * cover;
    }
  }
  e.area = sum;
  if (sum > 0.0) {
    // Cell j stands for pixel box_x + j, whose centre is half a pixel further on.
    e.centroid_x = e.box_x + 0.5 + sx / sum;
    e.centroid_y = e.box_y + 0.5 + sy / sum;
  } else {
    e.centroid_x = e.box_x;
    e.centroid_y = e.box_y;
  }
}

}  // namespace

std::unique_ptr<int16_t[]> frame_contours_t::measure(int margin, bool no_map) {
  area = 0.0;
  seed_x = seed_y = -1;
  centroid_x = centroid_y = 0.0;
  if (contours.empty()) return nullptr;
  if (margin < 0) margin = 0;

  double min_x = 1e10, min_y = 1e10, max_x = -1e10, max_y = -1e10;
  bool any = false;
  for (const contour_t& c : contours) {
    // Contours with non-finite coordinates are refused where they are made;
    // any that slip through count as absent.
    if (!c.closed || !c.finite()) continue;
    for (const vec2_t& v : c.vertices) {
      any = true;
      min_x = std::min(min_x, v.x);
      min_y = std::min(min_y, v.y);
      max_x = std::max(max_x, v.x);
      max_y = std::max(max_y, v.y);
    }
  }
  if (!any) {
    box_width = box_height = 0;
    return nullptr;
  }
  double fx = std::floor(min_x - 0.5), fy = std::floor(min_y - 0.5);
  double cx = std::ceil(max_x - 0.5), cy = std::ceil(max_y - 0.5);
  double w = cx - fx + 1 + 2.0 * margin, h = cy - fy + 1 + 2.0 * margin;
  // Non-finite or absurd coordinates get no box rather than a wrapped one.
  bool box_ok = std::isfinite(w) && std::isfinite(h) && std::fabs(fx) < 1e9 &&
                std::fabs(fy) < 1e9 && w * h <= double(MAX_MAP_CELLS);
  if (box_ok) {
    box_x = static_cast<int32_t>(fx) - margin;
    box_y = static_cast<int32_t>(fy) - margin;
    box_width = static_cast<int32_t>(w);
    box_height = static_cast<int32_t>(h);
  } else {
    box_width = box_height = 0;
  }

  std::vector<double> areas;
  std::vector<vec2_t> centroids;
  orientation_t o = orient(contours, &areas, &centroids);
  double s = 0.0, sx = 0.0, sy = 0.0;
  for (size_t r = 0; r < contours.size(); ++r) {
    s += areas[r];
    sx += areas[r] * centroids[r].x;
    sy += areas[r] * centroids[r].y;
  }
  if (std::fabs(s) > 0.0) {
    centroid_x = sx / s;
    centroid_y = sy / s;
  }
  area = std::fabs(s);
  if (no_map || !box_ok) return nullptr;

  const long W = box_width, H = box_height;
  const size_t cells = static_cast<size_t>(W * H);
  thread_local std::vector<acc_t> scratch;
  scratch.assign(cells, acc_t{UNTOUCHED, 0.0});
  fill_distances(*this, o.flip, scratch.data());
  std::unique_ptr<int16_t[]> map(new int16_t[cells]);
  quantise(scratch.data(), W, H, map.get());
  if (scratch.capacity() > KEEP_SCRATCH_CELLS) std::vector<acc_t>().swap(scratch);

  long sj, si;
  if (!find_seed(map.get(), W, H, sj, si)) return map;
  seed_x = box_x + static_cast<int32_t>(sj);
  seed_y = box_y + static_cast<int32_t>(si);
  repair(*this, map.get());
  return map;
}

double map_inside_area(const int16_t* map, long width, long height) {
  double sum = 0.0;
  if (map)
    for (long k = 0; k < width * height; ++k) sum += coverage(map[k]);
  return sum;
}

double even_odd_area(const frame_contours_t& entry) {
  constexpr int SUB = 8;  // sample rows per pixel
  double y0 = 1e300, y1 = -1e300;
  for (const contour_t& c : entry.contours) {
    if (!c.closed || c.vertices.size() < 3 || !c.finite()) continue;
    for (const vec2_t& v : c.vertices) y0 = std::min(y0, v.y), y1 = std::max(y1, v.y);
  }
  // Beyond this many sample rows the contours span more than any frame.
  if (!(y1 > y0) || (y1 - y0) * SUB > double(1 << 20)) return 0.0;
  const long first = long(std::floor(y0 * SUB)), rows = long(std::ceil(y1 * SUB)) - first + 1;
  // The x of every edge crossing on every sample row (at row centres).
  std::vector<std::vector<double>> xs(static_cast<size_t>(rows));
  for (const contour_t& c : entry.contours) {
    if (!c.closed || c.vertices.size() < 3 || !c.finite()) continue;
    const size_t n = c.vertices.size();
    for (size_t k = 0; k < n; ++k) {
      const vec2_t& p = c.vertices[k];
      const vec2_t& q = c.vertices[(k + 1) % n];
      if (p.y == q.y) continue;
      const double lo = std::min(p.y, q.y), hi = std::max(p.y, q.y);
      // Rows whose centre y lies in [lo, hi): each crossing counted once.
      for (long r = long(std::ceil(lo * SUB - 0.5)); (r + 0.5) / SUB < hi; ++r) {
        const double y = (r + 0.5) / SUB;
        if (y < lo) continue;
        xs[size_t(r - first)].push_back(p.x + (y - p.y) * (q.x - p.x) / (q.y - p.y));
      }
    }
  }
  double area = 0.0;
  for (std::vector<double>& row : xs) {
    std::sort(row.begin(), row.end());
    for (size_t i = 0; i + 1 < row.size(); i += 2) area += row[i + 1] - row[i];
  }
  return area / SUB;
}
