// The contour path of a surface's construction: the plane sequence, then
// plane after plane the distance field, peaks, peak overlap and slab tiling,
// then the closing layer, the mesh and its volume.
#include <algorithm>
#include <chrono>
#include <cmath>

#include <wx/log.h>

#include "data/contour.h"
#include "data/objects.h"
#include "surfaces/surface_interp.h"

namespace {

// Sections narrower than this many grid steps lose a noticeable part of
// their area; the warning is given when they hold more than this share of
// the contours' area.
constexpr double SMALL_SECTION_STEPS = 6.0;
constexpr double SMALL_SECTION_SHARE = 0.03;

}  // namespace

surface_interp::grid_result surface_interp::lay_grid(const std::vector<plane_source>& sources,
                                                     const interp_settings& settings) {
  free_interp_data();
  free_chunks();
  delete[] mesh.points;
  delete[] mesh.triangles;
  mesh = surface_mesh();
  volume = 0.0;
  closed = true;
  orientation_sum = -1;
  x_scale = settings.x_scale;
  y_scale = settings.y_scale;
  z_scale = settings.z_scale;
  step = std::max(1, settings.step);
  connect = settings.connect;
  expert_mode = settings.expert_mode;
  in_script = settings.in_script;
  segment_ridges = settings.segment_ridges;
  segment_valleys = settings.segment_valleys;
  if (!(x_scale > 0.0) || !(y_scale > 0.0)) return GRID_NO_PIXEL_SIZE;

  int with_contours = 0;
  for (const plane_source& s : sources) {
    interp_plane_t p;
    p.transform = s.transform;
    for (int i = 0; i < 16; ++i)
      if (!std::isfinite(s.transform[i])) {
        wxLogError("Unable to build the surface of this object: a frame position or the "
                   "calibration is not a finite number.");
        free_interp_data();
        return GRID_BAD_POSITION;
      }
    if (s.contours) {
      s.contours->measure(3 * step, true);
      if (s.contours->box_width <= 0 || s.contours->box_height <= 0) {
        if (!s.contours->has_closed_contour()) continue;
        wxLogError("Unable to build the surface of this object: its contours on frame %i are "
                   "too large to be rastered.",
                   int(s.contours->frame));
        free_interp_data();
        return GRID_TOO_LARGE;
      }
      p.contours = s.contours;
      p.field = PLANE_FIELD_PENDING;
      ++with_contours;
    }
    planes.push_back(p);
  }
  plane_count = int32_t(planes.size());
  warn_small_contours();
  if (with_contours < 2) {
    free_interp_data();
    return GRID_TOO_FEW_PLANES;
  }
  if (!initialise_interp_sequence()) {
    free_interp_data();
    return GRID_TOO_LARGE;
  }
  return GRID_LAID;
}

void surface_interp::warn_small_contours() {
  if (resolution_warned || expert_mode || in_script) return;
  // A section narrower than a few grid cells is cut by too few node lines
  // for the interpolated surface to keep its area.
  const double narrow = SMALL_SECTION_STEPS * step;
  double total = 0.0, small = 0.0;
  for (const interp_plane_t& p : planes) {
    if (!p.has_contours()) continue;
    for (const contour_t& c : p.contours->contours) {
      if (!c.closed || c.vertices.size() < 3 || !c.finite()) continue;
      double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
      for (const vec2_t& v : c.vertices) {
        x0 = std::min(x0, v.x), x1 = std::max(x1, v.x);
        y0 = std::min(y0, v.y), y1 = std::max(y1, v.y);
      }
      const double a = std::fabs(c.area());
      total += a;
      if (std::min(x1 - x0, y1 - y0) < narrow) small += a;
    }
  }
  if (!(small > SMALL_SECTION_SHARE * total)) return;
  resolution_warned = 1;
  wxLogWarning(
      "This surface resolution is too low for the current set of contours.\nEither increase "
      "the resolution, or increase contour frame spacing.");
}

bool surface_interp::interpolate(const std::vector<plane_source>& sources,
                                 const interp_settings& settings, interp_progress* progress) {
  switch (lay_grid(sources, settings)) {
    case GRID_LAID: break;
    case GRID_TOO_FEW_PLANES: return true;  // an empty surface
    case GRID_TOO_LARGE:
    case GRID_BAD_POSITION: return false;  // logged
    case GRID_NO_PIXEL_SIZE:
      wxLogError("Unable to build a surface: the pixel size is not set.");
      return false;
  }

  auto last_update = std::chrono::steady_clock::now();
  for (int k = 0; k < plane_count; ++k) {
    const auto now = std::chrono::steady_clock::now();
    if (progress && (now - last_update > std::chrono::milliseconds(100) || k == plane_count - 1)) {
      last_update = now;
      wxString name;
      if (resource_table && resource_table->RES_OBJECT && object >= 0 && object <= 200)
        if (contour_object* objects = resource_table->RES_OBJECT->read()) name = objects[object].name;
      const wxString message =
          "Currently calculating surface of " + name +
          wxString::Format("\nOn contour %i of %li (%li points, %li triangles so far)", k,
                           long(plane_count), long(point_count), long(triangle_count));
      if (!progress->update(k * 1000 / plane_count, message)) {
        free_interp_data();
        free_chunks();
        volume = -1.0;
        return true;
      }
    }
    interp_plane_t& q = planes[k];
    if (q.field == PLANE_FIELD_PENDING) {
      q.field = q.contours->measure(3 * step, false).release();
      if (!q.field) q.contours = nullptr;  // nothing rastered: an empty plane
    }
    chamfer_code(q);
    if (connect > 0) extract_peaks(q);
    grid_normal = matrix4_get_z_axis(q.grid_transform);
    plane_normal = matrix4_get_z_axis(q.transform);
    if (connect > 0 && q.layers > 1 && k > 0) peak_overlap(planes[k - 1], q);
    tile_slab(k);
    if (k > 0) {
      interp_plane_t& p = planes[k - 1];
      if (p.field != PLANE_FIELD_PENDING) delete[] p.field;
      delete[] p.peaks;
      delete[] p.peak_vectors;
      p.field = nullptr;
      p.peaks = nullptr;
      p.peak_vectors = nullptr;
      p.peak_count = 0;
    }
  }
  process_last_plane();
  compute_normals();
  if (settings.smoothing != 0) {
    const int s2 = settings.smoothing * settings.smoothing;
    smooth_normals(s2 - 1);
    smooth_surface(s2 + 5);
    compute_normals();
  }
  triangle_volume();
  free_interp_data();
  return true;
}
