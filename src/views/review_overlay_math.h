// The arithmetic of the review view's overlays: which contour vertices form
// the line, the colours of vertex points and landmarks, which landmarks are
// near the frame, the calipers' distance and the navigation box. Kept apart
// from the drawing so that it is tested without OpenGL.
#pragma once

#include <cstdint>
#include <vector>

#include <wx/string.h>

#include "data/contour.h"
#include "data/landmarks.h"
#include "views/overlay_math.h"

// The value threshold shared by the contour drawing and the contour tools:
// vertices whose value is not below it are left out of drawn contours.
extern double contour_value_threshold;

// Indices of the vertices drawn as the contour's line, in order; a closed
// contour ends at its first drawn vertex again.
std::vector<size_t> contour_line_vertices(const contour_t& c, double threshold);

// Colour of the vertex points of an object colour: half of it when the
// colour is light (every component above 192), else white.
void vertex_point_colour(uint8_t r, uint8_t g, uint8_t b, uint8_t out[3]);

// Distance from the frame plane (cm) within which a landmark is drawn:
// half the slice spacing, else a quarter of the pixel sizes' sum.
double landmark_tolerance(double xscale, double yscale, double zscale);

// Whether a landmark at signed distance d (cm; for a 2D landmark its frame
// number) is shown on frame current. The mouse tools use the same rule, so
// that a landmark that is drawn can also be picked.
bool landmark_near_frame(int32_t kind, double d, double tolerance, int32_t current);

// Frame-pixel position and distance from the plane of a landmark; false when
// it needs the frame transform and there is none.
bool landmark_frame_position(const landmark_t& lm, const double* transform16, double xscale,
                             double yscale, double& px, double& py, double& d);

// The calipers' status text for two points in frame pixels.
wxString caliper_distance_text(double x1, double y1, double x2, double y2, double xscale,
                               double yscale);

// The navigation box of a zoomed view without scroll bars: the box for the
// whole display and the red rectangle of the visible part, in window pixels.
struct navigation_box_t {
  double box_left, box_right, box_bottom, box_top;
  double view_left, view_width, view_top, view_height;  // the view rectangle runs down from top
};
navigation_box_t navigation_box(double font_size, int32_t dw, int32_t dh, int32_t cw, int32_t ch,
                                int32_t sx, int32_t sy, bool invert);
