#include "surfaces/surface_build.h"

#include <cmath>
#include <vector>

#include <wx/log.h>

#include "data/contour.h"
#include "data/dynabuf.h"
#include "data/objects.h"
#include "registry/resource_table.h"
#include "surfaces/surface_sources.h"

namespace {

// Crossings within a frame's contours are removed before they are rastered.
void repair_contours(std::vector<plane_source>& planes, bool expert) {
  for (plane_source& p : planes) {
    if (!p.contours) continue;
    const int flags = p.contours->find_near(0.0, vec2_t());
    if (!flags || expert) continue;
    const int frame = p.contours->frame;
    if (flags & (CONTOUR_CROSSINGS_LEFT | CONTOURS_CROSSINGS_LEFT)) {
      wxLogWarning("Contours on frame %i cross and could not all be corrected.\nThis will "
                   "result in a slightly lower quality surface",
                   frame);
    } else if (flags & CONTOUR_CROSSINGS_FOUND) {
      wxLogWarning("Contour on frame %i changed to remove self-intersections", frame);
    } else if (flags & CONTOUR_EMPTIED) {
      wxLogWarning("Contours on frame %i changed to remove multiple copies", frame);
    } else if (flags & CONTOURS_CROSS) {
      wxLogWarning("Contours on frame %i changed to remove overlap", frame);
    }
  }
}

}  // namespace

surface_interp* build_contour_surface(int object, int step, int smoothing, int connect, bool cover,
                                      interp_progress* progress) {
  const resource_table_t& t = *resource_table;
  surface_interp* s = new surface_interp(object);
  s->x_trans = t.RES_XTRANS->read();
  s->y_trans = t.RES_YTRANS->read();
  s->z_trans = t.RES_ZTRANS->read();
  s->azimuth = t.RES_AZIMUTH->read();
  s->elevation = t.RES_ELEVATION->read();
  s->roll = t.RES_ROLL->read();
  s->calibration = surface_calibration_from_resources();
  interp_settings settings = surface_settings_from_resources();
  settings.step = std::max(1, step);
  settings.smoothing = smoothing;
  settings.connect = connect;
  std::vector<plane_source> planes = surface_planes_of_object(object, cover);
  repair_contours(planes, settings.expert_mode);
  if (s->interpolate(planes, settings, progress) && s->volume >= 0.0)
    s->map_curves_to_surface(true);
  return s;
}

surface_interp* build_contour_surface_from_resources(int object, interp_progress* progress) {
  const resource_table_t& t = *resource_table;
  const int connect = 3 - (t.RES_SURFACE_CONNECT_OBJECTS->read() ? 0 : 1) -
                      2 * (t.RES_SURFACE_CONNECT_HOLES->read() ? 0 : 1);
  return build_contour_surface(object, surface_step_for_resolution(t.RES_SURFACE_RESOLUTION->read()),
                               int(t.RES_SURFACE_SMOOTHING->read()), connect,
                               t.RES_SURFACE_COVER->read(), progress);
}

double planimetry_volume(std::list<frame_contours_t>& frames) {
  if (frames.empty() || !resource_table || !frame_store) return 0.0;
  const resource_table_t& t = *resource_table;
  const matrix4_t calibration = surface_calibration_from_resources();
  const double sx = t.RES_XSCALE->read(), sy = t.RES_YSCALE->read();
  std::vector<vec3_t> c, A;
  for (frame_contours_t& e : frames) {
    if (e.area < 0) e.measure(1, true);
    if (e.frame < 0 || size_t(e.frame) >= frame_store->positions.size()) continue;
    const position_t* pos = frame_store->positions[size_t(e.frame)].get();
    if (!pos) continue;
    matrix4_t m, T;
    matrix4_from_position_t(m, *pos);
    matrix4_multiply(m, T, calibration);
    vec3_t centre;
    matrix4_transform_point(centre, T, vec3_t{sx * e.centroid_x, sy * e.centroid_y, 0.0});
    c.push_back(centre);
    A.push_back(matrix4_get_z_axis(T) * (sx * sy * e.area));
  }
  const size_t n = c.size();
  if (n < 2) return 0.0;
  if (n == 2) return std::fabs(0.5 * vec3_dot(c[1] - c[0], A[1]) + 0.5 * vec3_dot(c[1] - c[0], A[0]));
  // Values before the first and after the last are mirrored.
  auto at = [n](const std::vector<vec3_t>& v, long i) {
    if (i < 0) return v[0] * 2.0 - v[1];
    if (i >= long(n)) return v[n - 1] * 2.0 - v[n - 2];
    return v[size_t(i)];
  };
  double volume = 0.0;
  for (long k = 1; k < long(n); ++k) {
    auto segment = [&](const std::vector<vec3_t>& v, vec3_t& a, vec3_t& b, vec3_t& cc, vec3_t& d) {
      const vec3_t p0 = at(v, k - 2), p1 = at(v, k - 1), p2 = at(v, k), p3 = at(v, k + 1);
      a = p0 * -0.5 + p1 * 1.5 - p2 * 1.5 + p3 * 0.5;
      b = p0 - p1 * 2.5 + p2 * 2.0 - p3 * 0.5;
      cc = (p2 - p0) * 0.5;
      d = p1;
    };
    vec3_t a, b, cc, d, u, v, w, a0;
    segment(c, a, b, cc, d);
    segment(A, u, v, w, a0);
    const vec3_t a3 = a * 3.0, b2 = b * 2.0;
    volume += vec3_dot(a3, u) / 6 + (vec3_dot(a3, v) + vec3_dot(b2, u)) / 5 +
              (vec3_dot(a3, w) + vec3_dot(b2, v) + vec3_dot(cc, u)) / 4 +
              (vec3_dot(a3, a0) + vec3_dot(b2, w) + vec3_dot(cc, v)) / 3 +
              (vec3_dot(b2, a0) + vec3_dot(cc, w)) / 2 + vec3_dot(cc, a0);
  }
  return std::fabs(volume);
}
