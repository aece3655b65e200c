// The display-free arithmetic of the overlays that the 2D views draw over
// their images: the scale bar's round length and unit, the clipping of
// landmark-curve segments to the band near a plane, the shade of surface
// landmarks and curves, and where a reslice plane cuts a surface. Kept apart
// from the drawing so that it is tested without a display.
#pragma once

#include <cstdint>
#include <vector>

#include <wx/string.h>

#include "data/geometry.h"
#include "surfaces/surface_section.h"

class reslice_info;

// Lightens or darkens an object colour (components 0..1) for surface
// landmarks and curves, so that they stand apart from the object.
void landmark_shade(const double in[3], double out[3]);

// One segment of a landmark curve near a plane: its ends in image pixels
// with z their distance from the plane in pixels, clipped to the band within
// 5 pixels of the plane and faded with the distance.
struct curve_piece_t {
  bool drawn = false;
  bool crossing = false;  // the ends lie on both sides: drawn through the crossing point
  double x1 = 0, y1 = 0, alpha1 = 0;  // the current point's end
  double x2 = 0, y2 = 0, alpha2 = 0;  // the previous point's end
  double cx = 0, cy = 0;              // where the segment crosses the plane
};
curve_piece_t clip_curve_segment(const vec3_t& previous, const vec3_t& current);

// The pieces of a landmark curve drawn near a plane, in drawing order (the
// first carries the curve's name). The walk starts from the last point of a
// closed curve and from the first point of an open one, whose first segment
// is then that point alone. points: image pixels, z the distance from the
// plane in pixels.
std::vector<curve_piece_t> curve_pieces(const std::vector<vec3_t>& points, bool closed);

// The scale bar of a view with font height p pixels, square pixels of xscale
// cm and the view's zoom: a round value (1, 2, 5 ... 500) of a unit of
// `unit` mm, divided in fifths or quarters, length window pixels long. ok is
// false when the pixel size or zoom gives no finite length to show.
struct scale_bar_t {
  bool ok = false;
  double unit = 1.0;  // mm per bar unit: 1e-6 .. 1e6
  double value = 1.0;
  bool fifths = false;
  double length = 0.0;  // window pixels
  wxString unit_name;
};
scale_bar_t plane_scale_bar(double p, double xscale, double zoom);

// The cutting plane of a reslice plane for the surface sections, mapping
// world points to the plane's image pixels (the coordinates its landmarks
// and calipers use).
section_plane reslice_section_plane(const reslice_info& plane);

// Where a surface's centre of gravity lies on a plane, in image pixels; true
// when it lies within half a pixel (xscale cm) of the plane, where the views
// mark it with a cross.
bool centre_of_gravity_on_plane(const reslice_info& plane, const vec3_t& cog, double xscale,
                                double& x, double& y);
