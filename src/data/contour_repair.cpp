// Untangling of crossing edges, within one contour and between the contours
// of a frame entry, and the frame entry's own bookkeeping.
//
// A repair moves a vertex V "past" a point m: V becomes 1.05 m - 0.05 V, on the
// line from V through m, just beyond m.
#include <algorithm>
#include <cmath>

#include "data/contour.h"
#include "data/frame_measure.h"

namespace {

struct crossing_t {
  size_t i, j;  // edges (of one contour, or of the first and second contour)
  vec2_t at;
};

void move_past(vec2_t& v, const vec2_t& m) { v = 1.05 * m - 0.05 * v; }

vec2_t midpoint(const vec2_t& a, const vec2_t& b) { return 0.5 * (a + b); }

// The vertex at which edges e1 (earlier record) and e2 of a contour with n
// vertices meet, or -1 when they do not share one.
long meeting_vertex(size_t e1, size_t e2, size_t n, bool closed) {
  if (e2 == e1 + 1) return static_cast<long>(e2);
  if (e2 + 1 == e1) return static_cast<long>(e1);
  if (closed && n > 0 && e2 == e1 + n - 1) return static_cast<long>(e1);
  if (closed && n > 0 && e1 == e2 + n - 1) return static_cast<long>(e2);
  return -1;
}

// Whether two versions of a contour enclose the same area (even-odd rule)
// to within a share that a mended kink stays inside.
bool same_area(const contour_t& a, const contour_t& b) {
  constexpr double SHARE = 0.02;
  frame_contours_t ea, eb;
  ea.contours.push_back(a);
  eb.contours.push_back(b);
  const double x = even_odd_area(ea), y = even_odd_area(eb);
  return std::fabs(x - y) <= SHARE * std::max(x, y);
}

size_t edge_count(const contour_t& c) {
  size_t n = c.vertices.size();
  if (n < 2) return 0;
  return c.closed ? n : n - 1;
}

vec2_t edge_end(const contour_t& c, size_t e) {
  return c.vertices[(e + 1) % c.vertices.size()];
}

}  // namespace

int contour_t::remove_self_intersections() {
  const size_t n = vertices.size();
  if (n < 4) return 0;
  int result = 0;

  std::vector<crossing_t> rec;
  const size_t last_edge = closed ? n - 1 : n - 2;
  for (size_t i = 0; i + 3 <= n; ++i) {
    for (size_t j = i + 2; j <= last_edge; ++j) {
      vec2_t at;
      if (segment_intersection_2d(vertices[i], vertices[i + 1], vertices[j],
                                  vertices[(j + 1) % n], at))
        rec.push_back({i, j, at});
    }
  }
  if (!rec.empty()) result |= CONTOUR_CROSSINGS_FOUND;

  // A single crossing is mended only where the two edges enclose one vertex
  // (one edge apart, either way round a closed contour).
  auto resolve_one = [&](const crossing_t& r) {
    if (r.j - r.i == 2) {
      move_past(vertices[r.j], r.at);
      return true;
    }
    if (closed && r.j - r.i == n - 2) {
      move_past(vertices[r.i], r.at);
      return true;
    }
    return false;
  };

  while (!rec.empty()) {
    if (rec.size() == 1) {
      if (!resolve_one(rec.back())) break;
      rec.pop_back();
      continue;
    }
    const crossing_t& p = rec[rec.size() - 2];
    const crossing_t& c = rec.back();
    vec2_t m = midpoint(p.at, c.at);
    if (c.i == p.i && c.j == p.j + 1) {
      move_past(vertices[c.j], m);
    } else if (c.j == p.j && c.i == p.i + 1) {
      move_past(vertices[c.i], m);
    } else if (c.i == p.i + 1 && c.j == p.j + 1) {
      move_past(vertices[c.i], m);
      move_past(vertices[c.j], m);
    } else {
      if (!resolve_one(c)) break;
      rec.pop_back();
      continue;
    }
    rec.pop_back();
    rec.pop_back();
  }
  if (!rec.empty()) result |= CONTOUR_CROSSINGS_LEFT;

  // Collinear pass: a vertex that doubles back on its neighbours (a spike) is
  // pulled back just short of the nearer one. A vertex lying between its
  // neighbours is already straight and stays where it is.
  for (size_t k = closed ? 0 : 1; k < (closed ? n : n - 1); ++k) {
    const vec2_t& P = vertices[(k + n - 1) % n];
    const vec2_t& N = vertices[(k + 1) % n];
    vec2_t& V = vertices[k];
    double cross = (N.y - V.y) * (P.x - V.x) - (P.y - V.y) * (N.x - V.x);
    if (!(std::fabs(cross) < 1e-4)) continue;
    vec2_t vp = P - V, vn = N - V;
    if (vec2_dot(vp, vn) < 0.0) continue;
    const vec2_t& nearer = vec2_dot(vp, vp) < vec2_dot(vn, vn) ? P : N;
    move_past(V, nearer);
    result |= CONTOUR_CROSSINGS_FOUND;
  }
  return result;
}

int frame_contours_t::intersect(frame_contours_t& entry, size_t first, size_t second) {
  if (first >= entry.contours.size() || second >= entry.contours.size() || first == second)
    return 0;
  contour_t& A = entry.contours[first];
  contour_t& B = entry.contours[second];
  const size_t na = A.vertices.size(), nb = B.vertices.size();

  std::vector<crossing_t> rec;
  const size_t ea = edge_count(A), eb = edge_count(B);
  for (size_t a = 0; a < ea; ++a) {
    for (size_t b = 0; b < eb; ++b) {
      vec2_t at;
      if (segment_intersection_2d(A.vertices[a], edge_end(A, a), B.vertices[b], edge_end(B, b),
                                  at))
        rec.push_back({a, b, at});
    }
  }
  // However many times two contours cross, both are kept: crossings that the
  // pairs below cannot mend are reported, never settled by deleting a contour.
  int result = rec.empty() ? 0 : CONTOURS_CROSS;

  while (rec.size() >= 2) {
    const crossing_t& p = rec[rec.size() - 2];
    const crossing_t& c = rec.back();
    vec2_t m = midpoint(p.at, c.at);
    long va = meeting_vertex(p.i, c.i, na, A.closed);
    long vb = meeting_vertex(p.j, c.j, nb, B.closed);
    if (c.i == p.i && vb >= 0) {
      move_past(B.vertices[static_cast<size_t>(vb)], m);
    } else if (c.j == p.j && va >= 0) {
      move_past(A.vertices[static_cast<size_t>(va)], m);
    } else if (va >= 0 && vb >= 0) {
      move_past(A.vertices[static_cast<size_t>(va)], m);
      move_past(B.vertices[static_cast<size_t>(vb)], m);
    } else {
      break;
    }
    rec.pop_back();
    rec.pop_back();
  }
  if (!rec.empty()) result |= CONTOURS_CROSSINGS_LEFT;
  return result;
}

int frame_contours_t::find_near(double tol, const vec2_t& point) {
  std::vector<size_t> selected;
  for (size_t k = 0; k < contours.size(); ++k) {
    size_t a, b;
    if (!(tol > 0.0) || contours[k].find_near_segment(point, a, b, tol)) selected.push_back(k);
  }
  if (selected.empty()) return 0;

  int result = 0;
  // What moving vertices cannot mend (a figure of eight, a contour that
  // comes back onto itself) is split into the loops it encloses, so that
  // every lobe keeps its area.
  const size_t before = contours.size();
  for (size_t k = 0; k < before; ++k) {
    contour_t moved = contours[k];
    int r = moved.remove_self_intersections();
    // Moving a vertex past a crossing mends a kink; where it would cut off a
    // lobe instead, the contour is split below.
    if ((r & CONTOUR_CROSSINGS_FOUND) && !same_area(contours[k], moved))
      r = CONTOUR_CROSSINGS_FOUND | CONTOUR_CROSSINGS_LEFT;
    else
      contours[k] = std::move(moved);
    std::vector<contour_t> loops;
    if (const int split = contours[k].split_into_loops(loops)) {
      r = (r & ~CONTOUR_CROSSINGS_LEFT) | split;
      if (loops.empty()) {
        contours[k].clear();  // it enclosed nothing; removed below
        r |= CONTOUR_EMPTIED;
      } else {
        contours[k] = std::move(loops[0]);
        for (size_t i = 1; i < loops.size(); ++i) contours.push_back(std::move(loops[i]));
      }
    }
    result |= r;
  }
  for (size_t x = 0; x < selected.size(); ++x)
    for (size_t y = x + 1; y < selected.size(); ++y)
      result |= intersect(*this, selected[x], selected[y]);

  if (result != 0) {
    for (size_t k = contours.size(); k-- > 0;)
      if (contours[k].vertices.empty()) contours.erase(contours.begin() + static_cast<long>(k));
  }
  return result;
}

bool frame_contours_t::has_closed_contour() const {
  for (const contour_t& c : contours)
    if (c.closed && !c.vertices.empty() && c.finite()) return true;
  return false;
}

double frame_contours_t::length(double y_factor) const {
  if (contours.empty()) return -1.0;
  double sum = 0.0;
  for (const contour_t& c : contours) sum += c.length(y_factor);
  return sum;
}

frame_contours_t::frame_contours_t(frame_contours_t&& other) noexcept { *this = std::move(other); }

frame_contours_t& frame_contours_t::operator=(frame_contours_t&& other) noexcept {
  if (this == &other) return *this;
  contours = std::move(other.contours);
  other.contours.clear();
  frame = other.frame;
  box_x = other.box_x;
  box_y = other.box_y;
  box_width = other.box_width;
  box_height = other.box_height;
  seed_x = other.seed_x;
  seed_y = other.seed_y;
  area = other.area;
  centroid_x = other.centroid_x;
  centroid_y = other.centroid_y;
  return *this;
}
