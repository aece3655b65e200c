// The 3D view's input arithmetic, apart from any window or OpenGL call: the
// numbers of its text-entry dialogs, the arrow keys' turns and pans, the
// mouse drags' turns, zoom, perspective and pan, the conversions between
// window and world, the pick radius, the line probe over the visible
// surfaces, the thickness probe's frame and direction, and where a click
// places or finds a landmark.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <wx/string.h>

#include "data/geometry.h"

class landmarks;
struct line_probe_hits;

// ---- view dialogs ------------------------------------------------------------

// Splits text at spaces, tabs, line ends, commas and semicolons (empty tokens
// dropped). With exactly count tokens, each token that begins with a number
// in range replaces its value (what follows the number is ignored) and the
// result is true; any other count changes nothing and gives false.
bool parse_view_numbers(const wxString& text, int count, double values[]);

// ---- window dump -------------------------------------------------------------

// Pixels read back from OpenGL (bottom row first; RGBA, or RGB with each row
// padded to a multiple of 4 bytes) as a top-down image: w x h RGB bytes and,
// with alpha, w x h alpha bytes.
void dump_pixels_top_down(const uint8_t* read, int32_t w, int32_t h, bool alpha, std::vector<uint8_t>& rgb,
                          std::vector<uint8_t>& a);
// Bytes of one read-back row.
inline size_t dump_row_bytes(int32_t w, bool alpha) {
  return alpha ? size_t(w) * 4 : (size_t(w) * 3 + 3) / 4 * 4;
}

// ---- arrow keys --------------------------------------------------------------

enum class arrow_key { left, right, up, down };
// One key press: exactly one of pitch a, yaw b, roll c (degrees), upward pan
// n and rightward pan m (cm) is set. r: the rotation step, d: the movement.
struct view_step {
  double pitch = 0.0, yaw = 0.0, roll = 0.0, up = 0.0, right = 0.0;
  bool none() const { return pitch == 0.0 && yaw == 0.0 && roll == 0.0 && up == 0.0 && right == 0.0; }
};
view_step arrow_key_step(arrow_key key, bool shift, bool control, double r, double d);
// Turns front and right (unit, perpendicular) by the step and moves the
// centre of gravity by its pan along the new up and right.
void apply_view_step(const view_step& step, vec3_t& front, vec3_t& right, vec3_t& centre);

// ---- mouse drags -------------------------------------------------------------

// A drag of (dx, dy) pixels with the left and/or middle button: the turn of
// the scene about the centre of gravity (d: the eye distance), one degree a
// pixel, applied to the modelview. view_z and view_x: the new third and
// first rows of its rotation (the orientation resources).
void drag_orientation(const matrix4_t& modelview, double d, float dx, float dy, bool left, bool middle,
                      vec3_t& view_z, vec3_t& view_x);
// Zoom of a zoom drag from press x to x: 100 pixels right doubles it.
double drag_zoom(double zoom_at_press, int32_t press_x, int32_t x);
// Perspective angle after one motion of a perspective drag, 0..90.
int32_t drag_angle(int32_t angle, int32_t press_x, int32_t x);

// A pan without scroll bars: the scene of extent x zoom / xscale pixels in a
// window of w x h moves by (dx, dy). Offsets and scroll points change only
// along a direction in which the scene is larger than the window; false
// when it is larger in neither (nothing to pan).
struct pan_state {
  int32_t hoff = 0, voff = 0;
  double hpoint = 0.5, vpoint = 0.5;
};
bool drag_pan(double extent, double zoom, double xscale, int32_t w, int32_t h, double dx, double dy, pan_state& s);

// ---- window and world --------------------------------------------------------

// The world point at window pixel (x, y; y downwards) and normalised depth
// (0 near plane, 1 far plane). viewport: x, y, width, height.
vec3_t window_to_world(const matrix4_t& projection, const matrix4_t& modelview, const int viewport[4], double x,
                       double y, double depth);
// The window position (x, y; y downwards) of a world point.
vec2_t world_to_window_point(const matrix4_t& projection_modelview, const int viewport[4], const vec3_t& p);
// A depth read under the pointer that shows something drawn: the cleared
// depth (1) and the shaded background (0.995) do not.
inline bool drawn_depth(double depth) { return depth > 0.0 && depth < 0.99; }
// The mouse sensitivity in pixels as centimetres at the view's scale.
inline double pick_radius(double sensitivity, double xscale, double zoom) { return sensitivity * xscale / zoom; }

// ---- probes ------------------------------------------------------------------

// query_line along a to b for every visible surface (a surface held and an
// opacity above 0) in object order, into hits.
void probe_visible_surfaces(const vec3_t& a, const vec3_t& b, line_probe_hits& hits);

// Centimetres from the crossing nearest the start of a measuring line (the
// first whose absolute distance stops falling) to the next one; 0 without.
double probe_range(const std::vector<double>& distances_mm);

// Where the thickness engine measures a picked point: the nearest frame
// plane, the point in its pixels and the directions in its axes.
struct probe_measurement {
  int32_t frame = -1;
  double point[3] = {0, 0, 0};
  double direction[3] = {0, 0, 0};
  double second[3] = {0, 0, 0};  // the surface normal when it differs from the direction, else zero
};
// to_frame[j]: world to the image plane of frame j, null for a frame without
// position. h: the point, n: the surface normal, m: the measuring normal.
// False when no frame has a position.
bool thickness_probe_measurement(const std::vector<const matrix4_t*>& to_frame, const vec3_t& h,
                                 const vec3_t& n, const vec3_t& m, double xscale, double yscale,
                                 probe_measurement& out);

// ---- landmarks ---------------------------------------------------------------

// The first landmark (2D ones skipped) nearer to p than radius; -1 none.
int64_t landmark_near(const landmarks& marks, const vec3_t& p, double radius);

// A landmark being dragged: its index in the list (appends move the list,
// not the index) and the position, normal and object it is shown at.
struct landmark_drag_copy {
  size_t target = 0;
  vec3_t position, normal;
  int32_t object = 0;
};
// What a mark-tool click at depth point p places: the pending spine landmark
// on the Spine page (spine_part >= 0), a surface landmark at the picked hit,
// or a plain one at p (no hit, or on the Volume page a hit farther than the
// radius behind what was drawn). Returns the index of the landmark placed or
// moved, and fills the drag copy.
struct landmark_click {
  vec3_t p;
  int32_t pick_cycle = 0;
  bool spine_page = false, volume_page = false;
  int32_t spine_part = -1, spine_level = 0;
  double radius = 0.0;
};
size_t place_landmark(landmarks& marks, const landmark_click& click, const line_probe_hits& hits,
                      landmark_drag_copy& drag);
