// The cochlear implant electrode array: a tube of 12-vertex rings along a
// fixed spiral, a lead of 20 rings from the round window to the first
// electrode, then six rings per electrode (contact, then separation).
#include <algorithm>
#include <cmath>

#include "models/fit_model.h"

namespace {

constexpr int kLeadRings = 20;
constexpr int kRingVertices = 12;
// Enough for the chord iteration to settle wherever the chord grows with
// the angle; beyond it the step is bisected.
constexpr int kChordIterations = 100;
constexpr double kMaxSpiralAngle = 5000.0;

double spiral_radius(double phi) {
  return 3.457 * std::exp(-0.03824 * phi) + 3.746 * std::exp(-0.00131 * phi);
}

vec3_t spiral_point(double phi) {
  const double rho = spiral_radius(phi), a = phi * NV_PI / 180.0;
  return {rho * std::cos(a), rho * std::sin(a), 0.00367 * (phi - 10.3)};
}

// Identity with the given axes and translation.
void set_frame(matrix4_t& m, const vec3_t& x, const vec3_t& y, const vec3_t& z, const vec3_t& t) {
  matrix4_identity(m);
  m[0] = x.x, m[1] = x.y, m[2] = x.z;
  m[4] = y.x, m[5] = y.y, m[6] = y.z;
  m[8] = z.x, m[9] = z.y, m[10] = z.z;
  m[12] = t.x, m[13] = t.y, m[14] = t.z;
}

vec3_t ring_vertex(const matrix4_t& frame, double radius, int j) {
  const double a = j * 30.0 * NV_PI / 180.0;
  vec3_t v;
  matrix4_transform_point(v, frame, {radius * std::sin(a), radius * std::cos(a), 0.0});
  return v;
}

vec3_t plus(vec3_t a, const vec3_t& b) { return a += b; }

vec3_t unit_or_zero(const vec3_t& v) {
  const double len = vec3_length(v);
  return len != 0.0 ? vec3_scalar_mul(1.0 / len, v) : v;
}

}  // namespace

void fit_model::spiral_frame(double phi, double step, matrix4_t& frame, double& delta_phi) {
  // Always set: beyond the end of the spiral, or for no step, the array
  // does not advance.
  delta_phi = 0.0;
  if (!(phi <= kMaxSpiralAngle) || !std::isfinite(step)) {
    set_frame(frame, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, spiral_point(std::min(phi, kMaxSpiralAngle)));
    return;
  }
  if (step == 0.0) {
    set_frame(frame, {}, {}, {}, {});
    return;
  }
  const double c = std::fabs(step);
  const vec3_t p0 = spiral_point(phi);
  auto chord = [&](double d) { return vec3_length(spiral_point(phi + d) - p0); };
  double r = c, d = 0.0, t = 0.0;
  bool settled = false;
  for (int k = 0; k < kChordIterations && !settled; ++k) {
    d = r * 180.0 / (spiral_radius(phi) * NV_PI);
    t = chord(d);
    if (t == 0.0) break;
    settled = std::fabs(t - c) <= 1e-6 * c;
    r = r * c / t;
  }
  if (!settled) {
    // The chord is not monotone in the angle for steps near the spiral's
    // diameter: bisect towards the first angle whose chord reaches the step.
    double lo = 0.0, hi = c * 180.0 / (spiral_radius(phi) * NV_PI);
    while (chord(hi) < c && hi < 720.0) lo = hi, hi *= 2.0;
    for (int k = 0; k < 200 && hi - lo > 1e-12 * hi; ++k) {
      const double mid = 0.5 * (lo + hi);
      (chord(mid) < c ? lo : hi) = mid;
    }
    d = hi;
  }
  delta_phi = d;
  const vec3_t dir = unit_or_zero(spiral_point(phi + d) - p0);
  const vec3_t x = unit_or_zero({-dir.y, dir.x, 0.0});
  set_frame(frame, x, vec3_cross(dir, x), dir, p0);
}

void fit_model::ring_spacing(int32_t ring, double length, double& step, double& radius) const {
  if (ring < kLeadRings) {
    step = length / kLeadRings;
    radius = lead_radius;
    return;
  }
  const size_t e = static_cast<size_t>((ring - kLeadRings) / 6);
  const int k = (ring - kLeadRings) % 6;
  const double electrode = e < electrode_lengths.size() ? electrode_lengths[e] : 0.0;
  const double separation = e < electrode_separations.size() ? electrode_separations[e] : 0.0;
  switch (k) {
    case 0: step = 0.01, radius = lead_radius; break;
    case 1:
    case 2: step = (electrode - 0.02) / 2, radius = electrode_radius; break;
    case 3: step = 0.01, radius = electrode_radius; break;
    default: step = separation / 2, radius = lead_radius; break;
  }
}

void fit_model::build_implant(double length, bool create, bool landmarks_only) {
  const int32_t n = implant_ring_count();
  if (create) {
    for (auto* v : {&model.loaded_points, &model.points, &model.loaded_normals, &model.normals,
                    &model.landmark_targets})
      v->clear();
    model.landmark_vertices.clear();
    model.triangles.clear();
    model.point_count = model.normal_count = model.triangle_count = 0;
  } else if (!landmarks_only && model.points.size() < static_cast<size_t>(kRingVertices * n)) {
    return;  // no array to update
  }
  double phi = 0.0;
  size_t m = 0;
  for (int32_t i = 0; i < n; ++i) {
    double c, d, delta;
    ring_spacing(i, std::max(length, 0.0), c, d);
    matrix4_t frame;
    spiral_frame(phi, c, frame, delta);
    if (!landmarks_only)
      for (int j = 0; j < kRingVertices; ++j) {
        const vec3_t v = ring_vertex(frame, d, j);
        if (create) {
          model.loaded_points.push_back(v);
          model.points.push_back(v);
        } else {
          model.loaded_points[kRingVertices * i + j] = v;
          model.points[kRingVertices * i + j] = v;
        }
      }
    const int k = (i - kLeadRings) % 6;
    if (phi == 0.0 || (i >= kLeadRings && k == 2) || i == n - 1) {
      const int32_t vertex = kRingVertices * i + 2;
      if (create) {
        fit_landmark_t f;
        f.name = phi == 0.0     ? wxString("centre of round window")
                 : i == n - 1 ? wxString("tip of array")
                              : wxString::Format("electrode %i", static_cast<int>(m));
        f.vertex = vertex;
        fitting_landmarks.push_back(f);
      } else if (m < fitting_landmarks.size()) {
        fitting_landmarks[m].vertex = vertex;
      }
      ++m;
    }
    if (create && i > 0)
      for (int j = 0; j < kRingVertices; ++j) {
        const int jm = (j + kRingVertices - 1) % kRingVertices;
        const int32_t a = kRingVertices * (i - 1), b = kRingVertices * i;
        model.triangles.push_back({b + j, b + jm, a + j});
        model.triangles.push_back({a + jm, a + j, b + jm});
      }
    phi += delta;
  }
  if (create) {
    model.point_count = kRingVertices * n;
    model.triangle_count = 2 * kRingVertices * (n - 1);
    model.match_index.assign(static_cast<size_t>(model.point_count), 0);
    model.match_distance2.assign(static_cast<size_t>(model.point_count), 1e10);
    model.match_range2 = -1.0;
  }
}

void fit_model::regularise_implant() {
  const int32_t n = implant_ring_count();
  if (n < 2 || model.points.size() < static_cast<size_t>(kRingVertices * n)) return;
  std::vector<vec3_t> centre(n), roll(n), back(n), placed(n);
  for (int32_t i = 0; i < n; ++i) {
    vec3_t sum;
    for (int j = 0; j < kRingVertices; ++j) sum += model.points[kRingVertices * i + j];
    centre[i] = vec3_scalar_mul(1.0 / kRingVertices, sum);
    roll[i] = unit_or_zero(model.points[kRingVertices * i + 3] - centre[i]);
  }
  // back[i]: from ring i + 1 towards the round window.
  for (int32_t i = 0; i + 1 < n; ++i) back[i] = unit_or_zero(centre[i] - centre[i + 1]);
  back[n - 1] = back[n - 2];
  // The centreline runs on beyond the round window, so that the walk from
  // the tip cannot run out of it.
  centre[0] += vec3_scalar_mul(100.0, back[0]);

  placed[n - 1] = centre[n - 1];
  vec3_t w = centre[n - 1];
  int32_t next = n - 2;  // the centreline vertex the walk heads for
  double walked = 0.0;
  for (int32_t ring = n - 1; ring >= 1; --ring) {
    double h, radius;
    ring_spacing(ring - 1, first_electrode_insertion, h, radius);
    for (;;) {
      const double rem = h - walked;
      if (next < 0) {
        // Past the extended end: carry on straight.
        placed[ring - 1] = plus(w, vec3_scalar_mul(rem, back[0]));
        break;
      }
      const double o = vec3_length(centre[next] - w);
      if (o > rem) {
        placed[ring - 1] = plus(w, vec3_scalar_mul(rem, back[next]));
        w = placed[ring - 1];
        break;
      }
      w = centre[next];
      walked += o;
      --next;
    }
    walked = 0.0;
  }

  for (int32_t ring = n - 1; ring >= 0; --ring) {
    const vec3_t t = ring > 0 ? unit_or_zero(placed[ring] - placed[ring - 1])
                              : unit_or_zero(placed[1] - placed[0]);
    const vec3_t u = unit_or_zero(roll[ring] - vec3_scalar_mul(vec3_dot(t, roll[ring]), t));
    matrix4_t frame;
    set_frame(frame, u, vec3_cross(t, u), t, placed[ring]);
    double step, radius;
    ring_spacing(ring, first_electrode_insertion, step, radius);
    for (int j = 0; j < kRingVertices; ++j)
      model.points[kRingVertices * ring + j] = ring_vertex(frame, radius, j);
  }
}
