// Picking and closing of landmark curves in 3D.
#include "data/curves.h"

namespace {

vec3_t position(const curve_point& p) { return {p.x, p.y, p.z}; }

double dist2(const vec3_t& a, const vec3_t& b) {
  vec3_t d = a - b;
  return vec3_dot(d, d);
}

}  // namespace

int curve_t::hit_test(const vec3_t& P, size_t first, size_t second, double t) const {
  const double t2 = t * t;
  const bool has_a = first < points.size(), has_b = second < points.size();
  if (has_a && dist2(P, position(points[first])) < t2) return 1;
  if (has_b && dist2(P, position(points[second])) < t2) return 2;
  if (!has_a || !has_b) return 0;
  vec3_t a = position(points[first]), b = position(points[second]);
  double len = vec3_length(a - b);
  // A segment of length 0 is near only through its points, tested above.
  if (len == 0.0) return 0;
  vec3_t u = (1.0 / len) * (a - b);
  vec3_t pb = P - b;
  double d = vec3_dot(pb, u);
  if (vec3_dot(pb, pb) - d * d > t2) return 0;
  double s = d / len;
  return s > 0.0 && s < 1.0 ? 3 : 0;
}

bool curve_t::find_near_segment(const vec3_t& P, size_t& first, size_t& second,
                                double t) const {
  const size_t n = points.size();
  for (size_t p = 0; p < n; ++p) {
    size_t q = p + 1 < n ? p + 1 : (closed ? 0 : end());
    int r = hit_test(P, p, q, t);
    if (r == 0) continue;
    first = r == 2 ? q : p;
    second = r == 1 ? p : q;
    return true;
  }
  return false;
}

bool curve_t::trim_to_point(const vec3_t& P, double t) {
  size_t p, q;
  if (!find_near_segment(P, p, q, t)) return false;
  const size_t n = points.size();
  const double t2 = t * t;
  bool left = false;
  for (size_t i = p; i < n && !left; ++i) left = dist2(position(points[i]), P) > t2;
  // Still near where it started, or back onto its second half: not a loop yet.
  if (!left || q > n / 2) {
    closed = false;
    return true;
  }
  points.erase(points.begin(), points.begin() + static_cast<std::ptrdiff_t>(q));
  closed = true;
  return true;
}

curve_t& curve_set::add_curve(const curve_t& curve, bool name_it) {
  curves.push_back(curve);
  curve_t& added = curves.back();
  if (!name_it) return added;
  wxString name;
  for (int i = 0;; ++i) {
    name.Printf("Curve %i", i);
    bool taken = false;
    for (size_t k = 0; k + 1 < curves.size() && !taken; ++k)
      taken = curves[k].object == added.object && curves[k].name == name;
    if (!taken) break;
  }
  added.name = name;
  return added;
}
