// The bin grid's queries: every crossing of a line, and the nearest hit
// along a line or nearest point to a point.
#include <algorithm>
#include <cmath>
#include <utility>

#include "registry/resource_table.h"
#include "surfaces/bin_grid.h"

namespace {

constexpr double FAR_AWAY = 1e10;
constexpr double LOW = -1e-12, HIGH = 1.000000000001;  // barycentric tolerances

vec3_t pos(const surface_point& p) { return {p.x, p.y, p.z}; }
vec3_t nrm(const surface_point& p) { return {p.nx, p.ny, p.nz}; }

// Plane coordinates (s along e1, r along e2) of w = X - A.
void plane_coordinates(const vec3_t& e1, const vec3_t& e2, const vec3_t& w, double& s, double& r) {
  const double d11 = vec3_dot(e1, e1), d22 = vec3_dot(e2, e2), d12 = vec3_dot(e1, e2);
  const double w1 = vec3_dot(e1, w), w2 = vec3_dot(e2, w);
  const double det = d11 * d22 - d12 * d12;
  s = (w1 * d22 - w2 * d12) / det;
  r = (w2 * d11 - w1 * d12) / det;
}

// Squared distance of x from the line through a along the unit vector u.
double line_distance_sq(const vec3_t& x, const vec3_t& a, const vec3_t& u) {
  const vec3_t w = x - a;
  const double wu = vec3_dot(w, u);
  return vec3_dot(w, w) - wu * wu;
}

// A sliver whose sides meet at an angle below about 1e-12 rad has no usable
// plane coordinates: it is passed over like a triangle of zero area.
bool sliver(const vec3_t& e1, const vec3_t& e2, const vec3_t& N) {
  return vec3_dot(N, N) <= 1e-24 * vec3_dot(e1, e1) * vec3_dot(e2, e2);
}

}  // namespace

void bin_grid::line_crossings(const vec3_t& a, const vec3_t& b, std::vector<double>& distances,
                              std::vector<vec3_t>& points) const {
  double line = 100000.0;
  if (resource_table && resource_table->RES_THICKNESS_LINE) {
    const double v = resource_table->RES_THICKNESS_LINE->read();
    if (v < 10.0) line = v;
  }
  line_crossings_within(a, b, line, distances, points);
}

void bin_grid::line_crossings_within(const vec3_t& a, const vec3_t& b, double reach,
                                     std::vector<double>& distances,
                                     std::vector<vec3_t>& points) const {
  if (bins.empty()) return;
  const vec3_t D = b - a;
  const double g = vec3_length(D);
  if (g == 0.0) return;  // no line
  const vec3_t u = D * (1.0 / g);
  // The reach is a distance along the line on either side of a; 0 is unlimited.
  const double L = reach > 0.0 ? reach : 100000.0;
  std::vector<int32_t> list;
  bins_along_line(a, u, L, list);
  const double edge_sq = max_edge * max_edge;
  const bool single = meshes.size() == 1;
  const size_t first = distances.size();

  for (int32_t bin : list) {
    if (bin < 0 || bin >= bin_count) continue;
    for (int32_t entry : bins[size_t(bin)]) {
      const surface_mesh* m = entry_mesh(entry);
      const surface_triangle& tr = m->triangles[entry_triangle(entry, single)];
      const vec3_t A = pos(m->points[tr.a]), B = pos(m->points[tr.b]), C = pos(m->points[tr.c]);
      if (0.99 * line_distance_sq(A, a, u) > edge_sq) continue;
      const vec3_t e1 = B - A, e2 = C - A;
      const vec3_t N = vec3_cross(e1, e2);
      const double dn = vec3_dot(D, N);
      if (sliver(e1, e2, N) || dn == 0.0) continue;
      const double t = vec3_dot(A - a, N) / dn;
      if (std::fabs(t) * g > L) continue;
      const vec3_t X = a + D * t;
      const vec3_t w = X - A;
      if (0.99 * vec3_dot(w, w) > edge_sq) continue;
      double s, r;
      plane_coordinates(e1, e2, w, s, r);
      if (s < LOW || s > HIGH || r < LOW || s + r > HIGH) continue;
      distances.push_back(10.0 * g * t);
      points.push_back(X);
    }
  }

  // Sort the new entries together by distance, then drop repeats (an edge
  // shared by two triangles is crossed once).
  for (size_t i = first; i < distances.size(); ++i) {
    size_t best = i;
    for (size_t j = i + 1; j < distances.size(); ++j)
      if (distances[j] < distances[best]) best = j;
    if (best != i) {
      std::swap(distances[i], distances[best]);
      std::swap(points[i], points[best]);
    }
  }
  size_t kept = first;
  for (size_t i = first; i < distances.size(); ++i) {
    if (i > first && std::fabs(distances[i] - distances[kept - 1]) < 1e-10) continue;
    distances[kept] = distances[i];
    points[kept] = points[i];
    ++kept;
  }
  distances.resize(kept);
  points.resize(kept);
}

namespace {

// Closest point of triangle ABC to F, a point of its plane, with its weights.
// inside: F itself lies in the triangle.
vec3_t closest_on_triangle(const vec3_t& A, const vec3_t& B, const vec3_t& C, const vec3_t& F,
                           double& wa, double& wb, double& wc, bool& inside) {
  inside = false;
  const vec3_t e1 = B - A, e2 = C - A, e3 = C - B;
  const double l1 = vec3_dot(e1, e1), l2 = vec3_dot(e2, e2), l3 = vec3_dot(e3, e3);
  const double p1 = vec3_dot(F - A, e1), p2 = vec3_dot(F - A, e2), p3 = vec3_dot(F - B, e3);
  auto at = [&](double a, double b, double c) {
    wa = a, wb = b, wc = c;
    return A * a + B * b + C * c;
  };
  if (p1 <= 0.0 && p2 <= 0.0) return at(1, 0, 0);
  if (p1 >= l1 && p3 <= 0.0) return at(0, 1, 0);
  if (p2 >= l2 && p3 >= l3) return at(0, 0, 1);
  double s, r;
  plane_coordinates(e1, e2, F - A, s, r);
  if (s >= 0.0 && r >= 0.0 && s + r <= 1.0) {
    inside = true;
    return at(1.0 - s - r, s, r);
  }
  // Outside: the nearest of the edges whose outer side F lies on. Each is
  // clamped to its segment, so a wrong pick can only lose to a right one.
  double best = -1.0;
  vec3_t q;
  double qa = 0, qb = 0, qc = 0;
  auto edge = [&](double f, const vec3_t& P, const vec3_t& Q, int i, int j) {
    f = std::min(1.0, std::max(0.0, f));
    const vec3_t x = P + (Q - P) * f;
    const double d = vec3_dot(x - F, x - F);
    if (best >= 0.0 && d >= best) return;
    best = d;
    q = x;
    double w[3] = {0, 0, 0};
    w[i] = 1.0 - f;
    w[j] = f;
    qa = w[0], qb = w[1], qc = w[2];
  };
  if (r <= 0.0) edge(p1 / l1, A, B, 0, 1);
  if (s <= 0.0) edge(p2 / l2, A, C, 0, 2);
  if (s + r >= 1.0) edge(p3 / l3, B, C, 1, 2);
  wa = qa, wb = qb, wc = qc;
  return q;
}

}  // namespace

void bin_grid::intersect_line(const vec3_t& point, vec3_t& direction, double inner_radius,
                              double max_distance, double& distance_out, vec3_t& hit_out,
                              vec3_t& normal_out, bool first_shell_only) const {
  distance_out = FAR_AWAY;
  if (bins.empty()) return;
  // A maximum distance of 0 leaves the search unbounded.
  const double x = max_distance == 0.0 ? FAR_AWAY : std::fabs(max_distance);
  const double edge_sq = max_edge * max_edge;
  const bool line = vec3_length(direction) != 0.0;
  const bool two_sided = line && max_distance < 0.0;
  if (line) direction = vec3_normalise(direction);
  const vec3_t& u = direction;
  const bool single = meshes.size() == 1;

  std::vector<int32_t> list;
  if (line)
    bins_along_line(point, u, x, list);
  else
    bins_around_point(point, std::fabs(inner_radius), x, list, first_shell_only);

  struct hit {
    double d2;
    vec3_t at, normal;
    bool found = false;
  };
  hit forward{x * x, {}, {}}, backward{x * x, {}, {}};
  hit& best = forward;  // one-sided and point queries keep theirs here
  bool on_boundary = false;
  auto bound = [&] { return two_sided ? std::max(forward.d2, backward.d2) : best.d2; };
  auto vertex_bound = [&] {
    const double v = max_edge + std::sqrt(bound());
    return v * v;
  };
  double vbound = vertex_bound();

  for (int32_t bin : list) {
    if (bin < 0 || bin >= bin_count || bins[size_t(bin)].empty()) continue;
    const double bd = bin_distance(point, bin);
    if (bd * bd > bound()) continue;
    for (int32_t entry : bins[size_t(bin)]) {
      const surface_mesh* m = entry_mesh(entry);
      const surface_triangle& tr = m->triangles[entry_triangle(entry, single)];
      const surface_point &pa = m->points[tr.a], &pb = m->points[tr.b], &pc = m->points[tr.c];
      const vec3_t A = pos(pa), B = pos(pb), C = pos(pc);
      const vec3_t AP = A - point;
      if (vec3_dot(AP, AP) > vbound) continue;
      if (line && 0.99 * line_distance_sq(A, point, u) > edge_sq) continue;
      const vec3_t N = vec3_cross(B - A, C - A);
      const double nn = vec3_dot(N, N);
      if (sliver(B - A, C - A, N)) continue;

      if (line) {
        const double nu = vec3_dot(N, u);
        if (nu == 0.0) continue;
        const double t = vec3_dot(AP, N) / nu;
        if (t * t > bound()) continue;
        const vec3_t X = point + u * t;
        const vec3_t w = X - A;
        if (0.99 * vec3_dot(w, w) > edge_sq) continue;
        double s, r;
        plane_coordinates(B - A, C - A, w, s, r);
        if (s < LOW || s > HIGH || r < LOW || s + r > HIGH) continue;
        hit& side = (!two_sided || t >= 0.0) ? forward : backward;
        const double d2 = vec3_dot(X - point, X - point);
        if (d2 >= side.d2) continue;
        side = {d2, X, nrm(pb) * s + nrm(pa) * (1.0 - s - r) + nrm(pc) * r, true};
      } else {
        const vec3_t F = point + N * (vec3_dot(AP, N) / nn);
        if (vec3_dot(F - point, F - point) > best.d2) continue;
        double wa, wb, wc;
        bool inside;
        const vec3_t Q = closest_on_triangle(A, B, C, F, wa, wb, wc, inside);
        const double d2 = vec3_dot(Q - point, Q - point);
        if (d2 >= best.d2) continue;
        best = {d2, Q, nrm(pb) * wb + nrm(pa) * wa + nrm(pc) * wc, true};
        on_boundary = !inside && ((wa != 0.0 && pa.type == POINT_BOUNDARY) ||
                                  (wb != 0.0 && pb.type == POINT_BOUNDARY) ||
                                  (wc != 0.0 && pc.type == POINT_BOUNDARY));
      }
      vbound = vertex_bound();
    }
  }

  const hit* result = nullptr;
  if (forward.found && backward.found)
    result = std::fabs(vec3_dot(forward.normal, u)) > std::fabs(vec3_dot(backward.normal, u))
                 ? &forward
                 : &backward;
  else if (forward.found)
    result = &forward;
  else if (backward.found)
    result = &backward;
  if (!result) return;
  hit_out = result->at;
  normal_out = result->normal;
  // The nearest point on an open edge of the mesh is no hit.
  distance_out = (!line && on_boundary) ? FAR_AWAY : std::sqrt(result->d2);
}
