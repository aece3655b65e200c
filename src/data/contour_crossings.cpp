// Where the closed contours of a frame cross each other, or where a contour
// crosses or touches itself, found with a grid over the edges so that the
// search costs about as much as the edges themselves; and the splitting of a
// contour into simple loops at such places.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "data/contour.h"

namespace {

// Two passes of one contour closer than this (pixels) touch.
constexpr double TOUCH = 1e-3;
// Longest side of the grid, in cells.
constexpr long MAX_GRID_SIDE = 4096;
// Splits of one contour before its remaining crossings are left in place.
constexpr int MAX_SPLITS = 4096;

struct edge_ref {
  uint32_t contour, edge;
  vec2_t p, q;
  double x0, y0, x1, y1;  // bounding box, widened by the touch distance
};

double dist2(const vec2_t& a, const vec2_t& b) {
  const double dx = a.x - b.x, dy = a.y - b.y;
  return dx * dx + dy * dy;
}

// Nearest point of segment p-q to x.
vec2_t nearest_on(const vec2_t& x, const vec2_t& p, const vec2_t& q) {
  const vec2_t d = q - p;
  const double len2 = vec2_dot(d, d);
  if (!(len2 > 0.0)) return p;
  const double t = std::clamp(vec2_dot(x - p, d) / len2, 0.0, 1.0);
  return p + t * d;
}

// Where two segments of one contour come within the touch distance without
// crossing: the end point nearest to the other segment.
bool segments_touch(const edge_ref& a, const edge_ref& b, vec2_t& at) {
  double best = TOUCH * TOUCH;
  bool found = false;
  auto try_point = [&](const vec2_t& x, const vec2_t& p, const vec2_t& q) {
    const double d = dist2(x, nearest_on(x, p, q));
    if (d < best || (!found && d <= best)) {
      best = d;
      at = x;
      found = true;
    }
  };
  try_point(a.p, b.p, b.q);
  try_point(a.q, b.p, b.q);
  try_point(b.p, a.p, a.q);
  try_point(b.q, a.p, a.q);
  return found;
}

bool finite_point(const vec2_t& v) { return std::isfinite(v.x) && std::isfinite(v.y); }

// Edges of one contour that share a vertex.
bool adjacent(const edge_ref& a, const edge_ref& b, size_t n) {
  if (a.contour != b.contour) return false;
  const size_t e = a.edge, f = b.edge;
  return e == f || e + 1 == f || f + 1 == e || (e == 0 && f == n - 1) || (f == 0 && e == n - 1);
}

// The meeting with the least (first contour, second contour, first edge,
// second edge) among the edges, or false when there is none. Edges of
// different contours meet where they cross; edges of one contour also where
// they touch, when touches is set.
bool first_meeting(const std::vector<edge_ref>& edges, const std::vector<size_t>& sizes,
                   bool touches, contour_meeting_t& out) {
  const size_t n = edges.size();
  if (n < 2) return false;
  double x0 = std::numeric_limits<double>::infinity(), y0 = x0, x1 = -x0, y1 = -x0;
  double total = 0.0;
  for (const edge_ref& e : edges) {
    x0 = std::min(x0, e.x0), y0 = std::min(y0, e.y0);
    x1 = std::max(x1, e.x1), y1 = std::max(y1, e.y1);
    total += std::sqrt(dist2(e.p, e.q));
  }
  // Cells about an edge long, or fewer when the edges are sparse.
  const double w = x1 - x0, h = y1 - y0;
  double cell = std::max(total / double(n), std::sqrt(std::max(w * h, 1e-12) / double(n)));
  cell = std::max({cell, w / MAX_GRID_SIDE, h / MAX_GRID_SIDE, 1e-9});
  const long nx = std::max(1L, long(w / cell) + 1), ny = std::max(1L, long(h / cell) + 1);
  auto col = [&](double x) { return std::clamp(long((x - x0) / cell), 0L, nx - 1); };
  auto row = [&](double y) { return std::clamp(long((y - y0) / cell), 0L, ny - 1); };

  // Edges per cell, as one array sorted by cell.
  std::vector<uint32_t> start(size_t(nx * ny) + 1, 0);
  for (const edge_ref& e : edges)
    for (long r = row(e.y0); r <= row(e.y1); ++r)
      for (long c = col(e.x0); c <= col(e.x1); ++c) ++start[size_t(r * nx + c) + 1];
  for (size_t i = 1; i < start.size(); ++i) start[i] += start[i - 1];
  std::vector<uint32_t> in_cell(start.back());
  {
    std::vector<uint32_t> fill(start.begin(), start.end() - 1);
    for (size_t k = 0; k < n; ++k) {
      const edge_ref& e = edges[k];
      for (long r = row(e.y0); r <= row(e.y1); ++r)
        for (long c = col(e.x0); c <= col(e.x1); ++c) in_cell[fill[size_t(r * nx + c)]++] = uint32_t(k);
    }
  }

  bool found = false;
  auto better = [&](const contour_meeting_t& m) {
    if (!found) return true;
    if (m.first != out.first) return m.first < out.first;
    if (m.second != out.second) return m.second < out.second;
    if (m.first_edge != out.first_edge) return m.first_edge < out.first_edge;
    return m.second_edge < out.second_edge;
  };
  for (long r = 0; r < ny; ++r)
    for (long c = 0; c < nx; ++c) {
      const size_t cell_index = size_t(r * nx + c);
      for (uint32_t i = start[cell_index]; i < start[cell_index + 1]; ++i)
        for (uint32_t j = i + 1; j < start[cell_index + 1]; ++j) {
          const edge_ref* a = &edges[in_cell[i]];
          const edge_ref* b = &edges[in_cell[j]];
          // Each pair is tested once: in the cell of the low corner of the
          // overlap of their boxes.
          const double ox = std::max(a->x0, b->x0), oy = std::max(a->y0, b->y0);
          if (ox > std::min(a->x1, b->x1) || oy > std::min(a->y1, b->y1)) continue;
          if (col(ox) != c || row(oy) != r) continue;
          if (a->contour > b->contour || (a->contour == b->contour && a->edge > b->edge))
            std::swap(a, b);
          const bool same = a->contour == b->contour;
          if (same && adjacent(*a, *b, sizes[a->contour])) continue;
          contour_meeting_t m{a->contour, b->contour, a->edge, b->edge, {}};
          if (!better(m)) continue;
          if (segment_intersection_2d(a->p, a->q, b->p, b->q, m.at) ||
              (same && touches && segments_touch(*a, *b, m.at))) {
            out = m;
            found = true;
          }
        }
    }
  return found;
}

void add_edges(const contour_t& c, uint32_t index, std::vector<edge_ref>& edges) {
  const size_t n = c.vertices.size();
  for (size_t e = 0; e < n; ++e) {
    const vec2_t& p = c.vertices[e];
    const vec2_t& q = c.vertices[(e + 1) % n];
    edges.push_back(edge_ref{index, uint32_t(e), p, q, std::min(p.x, q.x) - TOUCH,
                             std::min(p.y, q.y) - TOUCH, std::max(p.x, q.x) + TOUCH,
                             std::max(p.y, q.y) + TOUCH});
  }
}

bool usable(const contour_t& c) { return c.closed && c.vertices.size() >= 3 && c.finite(); }

// Drops vertices that repeat their predecessor (cyclically).
void drop_repeats(std::vector<vec2_t>& v) {
  std::vector<vec2_t> out;
  out.reserve(v.size());
  for (const vec2_t& p : v)
    if (out.empty() || dist2(p, out.back()) > TOUCH * TOUCH) out.push_back(p);
  while (out.size() > 1 && dist2(out.front(), out.back()) <= TOUCH * TOUCH) out.pop_back();
  v.swap(out);
}

}  // namespace

bool contour_t::finite() const {
  for (const vec2_t& v : vertices)
    if (!finite_point(v)) return false;
  return true;
}

bool find_contour_meeting(const std::vector<contour_t>& contours, contour_meeting_t& at) {
  std::vector<edge_ref> edges;
  std::vector<size_t> sizes(contours.size(), 0);
  for (size_t k = 0; k < contours.size(); ++k) {
    if (!usable(contours[k])) continue;
    sizes[k] = contours[k].vertices.size();
    add_edges(contours[k], uint32_t(k), edges);
  }
  return first_meeting(edges, sizes, true, at);
}

int contour_t::split_into_loops(std::vector<contour_t>& loops) const {
  loops.clear();
  if (!usable(*this)) return 0;
  std::vector<std::vector<vec2_t>> work{vertices};
  int splits = 0;
  bool left = false;
  while (!work.empty()) {
    std::vector<vec2_t> v = std::move(work.back());
    work.pop_back();
    contour_t c;
    c.closed = true;
    c.vertices = std::move(v);
    std::vector<edge_ref> edges;
    add_edges(c, 0, edges);
    contour_meeting_t m;
    if (c.vertices.size() < 4 || !first_meeting(edges, {c.vertices.size()}, true, m)) {
      // Loops that enclose nothing (a stroke drawn back over itself) go.
      if (c.vertices.size() >= 3 && std::fabs(c.area()) > TOUCH * TOUCH) loops.push_back(std::move(c));
      continue;
    }
    if (splits == MAX_SPLITS) {
      left = true;
      loops.push_back(std::move(c));
      continue;
    }
    ++splits;
    // Edge a runs into the meeting point and on to edge b's end: one loop;
    // the rest of the contour round from edge b back to edge a: the other.
    const std::vector<vec2_t>& p = c.vertices;
    const size_t a = m.first_edge, b = m.second_edge, n = p.size();
    std::vector<vec2_t> one(p.begin() + long(a) + 1, p.begin() + long(b) + 1);
    one.push_back(m.at);
    std::vector<vec2_t> two(p.begin() + long(b) + 1, p.end());
    two.insert(two.end(), p.begin(), p.begin() + long(a) + 1);
    two.push_back(m.at);
    (void)n;
    for (std::vector<vec2_t>* loop : {&one, &two}) {
      drop_repeats(*loop);
      if (loop->size() >= 3) work.push_back(std::move(*loop));
    }
  }
  if (splits == 0) {
    loops.clear();
    return 0;
  }
  return left ? (CONTOUR_CROSSINGS_FOUND | CONTOUR_CROSSINGS_LEFT) : CONTOUR_CROSSINGS_FOUND;
}
