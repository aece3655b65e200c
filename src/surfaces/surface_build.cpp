#include "surfaces/surface_build.h"

#include <cmath>
#include <memory>
#include <vector>

#include <wx/log.h>

#include "data/contour.h"
#include "data/dynabuf.h"
#include "data/frame_measure.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "registry/resource_table.h"
#include "surfaces/surface_sources.h"

namespace {

// A repair that keeps the enclosed area within this share is not reported as a loss.
constexpr double AREA_TOLERANCE = 0.03;

// The first place where the frame's closed contours cross each other, or
// where one crosses or touches itself, in pixels; false when there is none.
bool first_crossing(const frame_contours_t& e, vec2_t& at) {
  contour_meeting_t m;
  if (!find_contour_meeting(e.contours, m)) return false;
  at = m.at;
  return true;
}

// Share of the area the contours enclosed before the repair that lies
// inside the distance field the surface is built from once repaired.
double kept_share(frame_contours_t& e, double enclosed) {
  if (!(enclosed > 0.0)) return 1.0;
  interp_plane_t plane;
  plane.contours = &e;
  plane.field = e.measure(1, false).release();
  if (!plane.field) return 0.0;
  surface_interp().chamfer_code(plane);
  const double inside = map_inside_area(plane.field, e.box_width, e.box_height);
  delete[] plane.field;
  return inside / enclosed;
}

// Repairs the contours of one plane; true when a new landmark marks what
// could not be repaired.
bool repair_contours(frame_contours_t& e, int object, bool expert) {
  vec2_t p;
  if (!first_crossing(e, p)) return false;
  const double enclosed = even_odd_area(e);
  int flags = e.find_near(12.0, p);
  const int uncorrectable = CONTOUR_CROSSINGS_LEFT | CONTOURS_CROSSINGS_LEFT;
  vec2_t last = p;
  bool remains = first_crossing(e, last);
  if (!(flags & uncorrectable) && remains) {
    flags = e.find_near(0.0, p);
    last = p;
    remains = first_crossing(e, last);
  }
  // Where the repair had to give up area, the warning says how much is kept.
  const double kept = kept_share(e, enclosed);
  const bool area_kept = std::fabs(kept - 1.0) <= AREA_TOLERANCE;
  const int frame = e.frame;
  const int x = int(std::floor(last.x)), y = int(std::floor(last.y));
  const wxString consequence =
      area_kept ? wxString("This will result in a slightly lower quality surface")
                : wxString::Format("The surface's section on this frame has %.0f%% of the area "
                                   "the contours enclose",
                                   100.0 * kept);
  auto marked = [&](const char* what, const char* why) {
    return wxString(what) +
           wxString::Format(", landmark created for frame %i at (%i,%i), %s.\n", frame, x, y, why) +
           consequence;
  };
  wxString warning;
  bool mark = false;
  if (flags & uncorrectable) {
    mark = true;
    const char* what = (flags & CONTOUR_CROSSINGS_FOUND) ? "Contours self-intersecting"
                       : (flags & CONTOUR_EMPTIED)       ? "Contours identical"
                       : (flags & CONTOURS_CROSS)        ? "Contours overlapping"
                                                         : nullptr;
    if (what)
      warning = marked(what, "too significant to correct");
  } else if (!remains) {
    // A repair that lost area is reported in expert mode too.
    if (!expert || !area_kept) {
      if (flags & CONTOUR_CROSSINGS_FOUND)
        warning = wxString::Format("Contour on frame %i changed to remove self-intersections", frame);
      else if (flags & CONTOUR_EMPTIED)
        warning = wxString::Format("Contours on frame %i changed to remove multiple copies", frame);
      else if (flags & CONTOURS_CROSS)
        warning = wxString::Format("Contours on frame %i changed to remove overlap", frame);
      if (!area_kept && !warning.empty()) warning += ".\n" + consequence;
    }
  } else {
    mark = true;
    if (flags & CONTOUR_CROSSINGS_FOUND)
      warning = marked("Contours self-intersecting", "not able to correct");
    else if (flags & (CONTOUR_EMPTIED | CONTOURS_CROSS))
      warning = marked("Contours overlapping", "not able to correct");
    else
      warning = wxString::Format("Contours not consistent, landmark created for frame %i at "
                                 "(%i,%i).\n",
                                 frame, x, y) +
                consequence;
  }
  resource_table_t& t = *resource_table;
  if (object != 200) t.CONT->write_no_changeprocs();
  if (!mark) {
    if (!warning.empty()) wxLogWarning("%s", warning);
    return false;
  }
  landmarks* marks = t.RES_LANDMARKS->read();
  if (!marks) return false;
  const wxString name = wxString::Format("Obj %i cont %i intercept", object, frame);
  const vec3_t point{x * t.RES_XSCALE->read(), y * t.RES_YSCALE->read(), double(frame)};
  size_t pos;
  if (marks->find_by_name(name, pos)) {
    const landmark_t& l = (*marks)[pos];
    if (l.kind == LM_2D && l.x == point.x && l.y == point.y && l.z == point.z) return false;
  }
  marks->add_landmark(point, name, LM_2D);
  t.LANDMARK->write_no_changeprocs();
  if (!warning.empty()) wxLogWarning("%s", warning);
  return true;
}

}  // namespace

surface_interp* build_contour_surface(int object, int step, int smoothing, int connect, bool cover,
                                      interp_progress* progress, bool* refused) {
  if (refused) *refused = false;
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
  bool marked = false;
  for (plane_source& p : planes)
    if (p.contours && repair_contours(*p.contours, object, settings.expert_mode)) marked = true;
  if (marked)
    wxLogWarning("Some contours were overlapping or self-intersecting. To fix, either:\n - Locate "
                 "each landmark and manually correct any overlap, or\n - Try re-creating the "
                 "contours with a lower 'contour accuracy' value.");
  if (!s->interpolate(planes, settings, progress)) {
    if (refused) *refused = true;
  } else if (s->volume >= 0.0) {
    s->map_curves_to_surface(true);
  }
  return s;
}

surface_interp* build_contour_surface_from_resources(int object, interp_progress* progress,
                                                     bool* refused) {
  const resource_table_t& t = *resource_table;
  const int connect = 3 - (t.RES_SURFACE_CONNECT_OBJECTS->read() ? 0 : 1) -
                      2 * (t.RES_SURFACE_CONNECT_HOLES->read() ? 0 : 1);
  return build_contour_surface(object, surface_step_for_resolution(t.RES_SURFACE_RESOLUTION->read()),
                               int(t.RES_SURFACE_SMOOTHING->read()), connect,
                               t.RES_SURFACE_COVER->read(), progress, refused);
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
