// Hit tests, closing, simplification, areas and concavity values of single
// contours, and the crossing segment test.
#include "data/contour.h"

#include <algorithm>
#include <cmath>

namespace {

double dist2(const vec2_t& a, const vec2_t& b) {
  double dx = a.x - b.x, dy = a.y - b.y;
  return dx * dx + dy * dy;
}

// Area term of the pair (previous, current): twice its signed contribution.
double area_term(const vec2_t& prev, const vec2_t& cur) {
  return prev.y * cur.x - prev.x * cur.y;
}

}  // namespace

// ---- hit tests --------------------------------------------------------------

int contour_t::hit_test(const vec2_t& point, const vec2_t* a, const vec2_t* b, double tol) {
  double t2 = tol * tol;
  if (a && dist2(point, *a) < t2) return 1;
  if (b && dist2(point, *b) < t2) return 2;
  if (!a || !b) return 0;
  double len = std::sqrt(dist2(*a, *b));
  // A zero-length edge is near only through its vertices, tested above.
  if (len == 0.0) return 0;
  vec2_t u = (1.0 / len) * (*a - *b);
  vec2_t d = point - *b;
  double s = vec2_dot(d, u);
  double q = vec2_dot(d, d) - s * s;
  if (q <= t2 && s / len > 0.0) return s / len < 1.0 ? 3 : 0;
  return 0;
}

namespace {

// Walks the pairs (vertex k, next) of c in edge order and reports the first hit.
// skip is a vertex whose pairs are passed over (npos for none).
bool first_hit(const contour_t& c, const vec2_t& point, double tol, size_t skip, size_t& k_out,
               size_t& next_out, int& result) {
  const size_t n = c.vertices.size();
  const size_t none = static_cast<size_t>(-1);
  for (size_t k = 0; k < n; ++k) {
    size_t next = k + 1 < n ? k + 1 : (c.closed ? 0 : none);
    if (skip != none && (k == skip || next == skip)) continue;
    const vec2_t* b = next == none ? nullptr : &c.vertices[next];
    int r = contour_t::hit_test(point, &c.vertices[k], b, tol);
    if (r != 0) {
      k_out = k;
      next_out = next;
      result = r;
      return true;
    }
  }
  return false;
}

}  // namespace

bool contour_t::find_near_segment(const vec2_t& point, size_t& a, size_t& b, double tol) const {
  size_t k, next;
  int r;
  if (!first_hit(*this, point, tol, static_cast<size_t>(-1), k, next, r)) return false;
  a = r == 2 ? next : k;
  b = r == 1 ? k : next;
  return true;
}

bool contour_t::find_near_segment_excluding(size_t vertex, size_t& a, size_t& b,
                                            double tol) const {
  if (vertex >= vertices.size()) return false;
  size_t k, next;
  int r;
  if (!first_hit(*this, vertices[vertex], tol, vertex, k, next, r)) return false;
  a = r == 2 ? next : k;
  b = r == 1 ? k : next;
  return true;
}

// ---- closing a drawn contour ------------------------------------------------

bool contour_t::trim_to_point(const vec2_t& point, double tol) {
  const size_t n = vertices.size();
  if (n == 0) return false;
  size_t k, next;
  int r;
  if (!first_hit(*this, point, tol, static_cast<size_t>(-1), k, next, r)) return false;
  size_t start = r == 2 ? next : k;
  size_t cut = r == 1 ? k : next;

  // Still in the neighbourhood of the point: the drawing has not gone away yet.
  double t2 = tol * tol;
  bool left = false;
  for (size_t i = start; i < n && !left; ++i) left = dist2(vertices[i], point) > t2;
  if (!left) {
    closed = false;
    return true;
  }
  if (cut > n / 2) return false;
  vertices.erase(vertices.begin(), vertices.begin() + static_cast<std::ptrdiff_t>(cut));
  closed = true;
  return true;
}

// ---- simplification ---------------------------------------------------------

void contour_t::simplify(double tol) {
  const size_t n = vertices.size();
  if (n < 3 || !(tol > 0.0)) return;
  const double t2 = tol * tol;

  size_t first_end = n - 1;
  if (closed) {
    double best = -1.0;
    for (size_t i = 0; i < n; ++i) {
      double d = dist2(vertices[i], vertices[0]);
      if (d > best) {
        best = d;
        first_end = i;
      }
    }
  }

  std::vector<vec2_t> out;
  out.push_back(vertices[0]);
  std::vector<size_t> stack{first_end};
  size_t s = 0;
  while (!stack.empty()) {
    size_t e = stack.back();
    // When the end is the first vertex again, the run goes to the last vertex.
    size_t stop = e > s ? e : n;
    const vec2_t& S = vertices[s];
    const vec2_t& E = vertices[e];
    vec2_t dir = S - E;
    double dir2 = vec2_dot(dir, dir);
    double best = -1.0;
    size_t far = e;
    for (size_t i = s + 1; i < stop; ++i) {
      vec2_t d = vertices[i] - E;
      double v;
      if (dir2 == 0.0) {
        v = vec2_dot(d, d);
      } else {
        double cross = d.x * dir.y - d.y * dir.x;
        v = cross * cross / dir2;
      }
      if (v > best) {
        best = v;
        far = i;
      }
    }
    if (best < t2) {
      out.push_back(E);
      stack.pop_back();
      if (stack.empty() && closed && e != 0) stack.push_back(0);
      s = e;
    } else {
      stack.push_back(far);
    }
  }
  if (closed) out.pop_back();
  if (out.size() < 2 || (closed && out.size() < 3)) out.clear();
  vertices = std::move(out);
  values.clear();
}

// ---- areas, perimeter, containment ------------------------------------------

bool contour_t::contains(const vec2_t& p) const {
  const size_t n = vertices.size();
  if (n < 3) return false;
  bool inside = false;
  for (size_t k = 0; k < n; ++k) {
    const vec2_t& a = vertices[k == 0 ? n - 1 : k - 1];
    const vec2_t& b = vertices[k];
    if ((a.y > p.y) != (b.y > p.y)) {
      double x = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
      if (x > p.x) inside = !inside;
    }
  }
  return inside;
}

double contour_t::area() const {
  const size_t n = vertices.size();
  if (n < 3) return 0.0;
  double sum = 0.0;
  for (size_t k = 1; k < n; ++k) sum += area_term(vertices[k - 1], vertices[k]);
  if (closed) sum += area_term(vertices[n - 1], vertices[0]);
  return 0.5 * sum;
}

double contour_t::area_and_centroid(vec2_t& centroid) const {
  const size_t n = vertices.size();
  if (n < 3) return 0.0;
  double a = 0.0, cx = 0.0, cy = 0.0;
  for (size_t k = 0; k < n; ++k) {
    size_t prev = k == 0 ? (closed ? n - 1 : 0) : k - 1;
    const vec2_t& p = vertices[prev];
    const vec2_t& c = vertices[k];
    double e = 0.5 * area_term(p, c);
    a += e;
    cx += (p.x + c.x) * e / 3.0;
    cy += (p.y + c.y) * e / 3.0;
  }
  if (std::fabs(a) > 0.0) centroid = {cx / a, cy / a};
  return a;
}

double contour_t::length(double y_factor) const {
  const size_t n = vertices.size();
  if (n < 2) return 0.0;
  auto edge = [&](const vec2_t& a, const vec2_t& b) {
    double dx = b.x - a.x, dy = (b.y - a.y) * y_factor;
    return std::sqrt(dx * dx + dy * dy);
  };
  double sum = 0.0;
  for (size_t k = 1; k < n; ++k) sum += edge(vertices[k - 1], vertices[k]);
  if (closed) sum += edge(vertices[n - 1], vertices[0]);
  return sum;
}

void contour_t::clear() {
  vertices.clear();
  values.clear();
}

// ---- concavity values -------------------------------------------------------

void contour_t::compute_vertex_values() {
  const size_t n = vertices.size();
  values.assign(n, 0.0);
  const double a = area();
  if (a == 0.0) return;

  for (size_t i = 0; i < n; ++i) {
    const vec2_t& vi = vertices[i];
    double path = 0.0;  // twice the signed area along i, i + 1, ..., j
    double best = 0.0;
    size_t best_j = i;
    bool found = false;
    size_t prev = i;
    for (size_t step = 1; step < n; ++step) {
      size_t j = (i + step) % n;
      path += area_term(vertices[prev], vertices[j]);
      prev = j;
      double s = 0.5 * (path + area_term(vertices[j], vi));
      double chord2 = dist2(vi, vertices[j]);
      double cand = 0.0;
      // A chord of length 0 bridges nothing.
      if (chord2 > 0.0) {
        if (a > 0.0 && s > a) cand = (s - a) / chord2;
        else if (a < 0.0 && s < a) cand = (a - s) / chord2;
      }
      if (!found || cand > best) {
        best = cand;
        best_j = j;
        found = true;
      }
    }
    if (best > 0.0) {
      for (size_t k = (best_j + 1) % n; k != i; k = (k + 1) % n) values[k] = std::max(values[k], best);
    }
  }

  // Runs of strictly rising or falling values drop to their low end.
  for (size_t k = 0; k < n; ++k) {
    double& v0 = values[k];
    double& v1 = values[(k + 1) % n];
    double& v2 = values[(k + 2) % n];
    if (v0 < v1 && v1 < v2) v1 = v0;
  }
  size_t k = 1 % n;
  for (size_t step = 0; step < n; ++step) {
    double& up = values[(k + 1) % n];
    double& mid = values[k];
    double& down = values[(k + n - 1) % n];
    if (up < mid && mid < down) mid = up;
    k = (k + n - 1) % n;
  }
}

// ---- segment crossing -------------------------------------------------------

bool segment_intersection_2d(const vec2_t& p1, const vec2_t& p2, const vec2_t& p3,
                             const vec2_t& p4, vec2_t& point) {
  vec2_t r = p2 - p1;
  vec2_t s = p4 - p3;
  double d = r.x * s.y - r.y * s.x;
  if (d == 0.0) {
    // Parallel segments cross only when they coincide end to end.
    const double near2 = 0.0025;
    if (dist2(p3, p1) < near2 && dist2(p4, p2) < near2) {
      point = p1;
      return true;
    }
    if (dist2(p3, p2) < near2 && dist2(p4, p1) < near2) {
      point = p2;
      return true;
    }
    return false;
  }
  vec2_t w = p3 - p1;
  double t = (w.x * s.y - w.y * s.x) / d;
  double v = (w.x * r.y - w.y * r.x) / d;
  if (!(t > 0.0 && t < 1.0 && v > 0.0 && v < 1.0)) return false;
  point = p1 + t * r;
  return true;
}
