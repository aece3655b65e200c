// The 3D view's arithmetic, apart from any window or OpenGL call: lights,
// projection and modelview, orientation, scene bounds, zoom and scroll bars,
// reslice-plane vectors, texture sizes and their shrink after a refused
// upload, the contour buffer's walk, marker sizes, the thickness line and the
// spine display.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "data/geometry.h"

class contour_object;
struct contour_t;
class landmarks;
class reslice_info;
class thickness;

// ---- lights ------------------------------------------------------------------

struct outline_lighting {
  float front = 0.0f;     // front-light strength
  float back = 0.0f;      // back-light strength
  float specular = 0.0f;  // specular strength
  float ambient = 0.0f;   // ambient level
  float headlight = 0.0f; // a = 1 - ambient: the headlight's diffuse level
  float direction[4] = {0.0f, 0.0f, 1.0f, 0.0f};  // eye space
};
outline_lighting outline_lights(double front_side, double left_right, double up_down, double ambient);

// ---- projection and modelview ------------------------------------------------

struct outline_projection_t {
  matrix4_t projection;
  double eye_distance = 0.0;
  double left = 0.0, right = 0.0, bottom = 0.0, top = 0.0;
  double near_plane = 0.0, far_plane = 0.0;
  double k = 1.0;  // the frustum's divisor (perspective only)
};
// zoom: pixels per centimetre; extent: the scene's size in cm; (w, h) the
// client size; (sx, sy) the scroll positions; angle in degrees, 0 orthographic.
outline_projection_t outline_projection(double zoom, double extent, int32_t w, int32_t h, int32_t sx,
                                        int32_t sy, int32_t angle);
// Tz(-d) R T(-c), R with the rows right, up = front x right and front.
matrix4_t outline_modelview(double d, const vec3_t& c, const vec3_t& front, const vec3_t& right);

// Right made unit, front made unit and perpendicular to it. False, both left
// as they were, when either would be the zero vector: such an orientation has
// no rotation.
bool orthonormalise_orientation(vec3_t& front, vec3_t& right);

// ---- scene bounds ------------------------------------------------------------

struct outline_bounds {
  vec3_t sum{0.0, 0.0, 0.0};
  vec3_t max{-1e10, -1e10, -1e10};
  vec3_t min{1e10, 1e10, 1e10};
  int64_t count = 0;
  void add(const vec3_t& p);
  // Centre of gravity and extent: 3 x the half-diagonal of the box about the
  // centre, 10 when that is 0; (0, 0, 0) and 10 without points.
  void result(vec3_t& centre, double& extent) const;
};
// World transform of a frame: probe position times calibration.
matrix4_t outline_frame_transform(const matrix4_t& position, const matrix4_t& calibration);
// Adds the frame corners (0, H), (0, 0), (W, 0), (W, H).
void add_frame_corners(outline_bounds& b, const matrix4_t& world, double W, double H);

// ---- zoom and scroll bars ----------------------------------------------------

// The zoom that fits the scene into a window of wf x hf.
double outline_fit_zoom(int32_t wf, int32_t hf, double xscale, double extent);
struct outline_scroll_layout {
  int32_t length = 0;  // L: the zoomed scene in pixels
  int32_t hpos = 0, vpos = 0;
  bool hbar = false, vbar = false;
};
outline_scroll_layout outline_scroll(double zoom, double extent, double xscale, int32_t wf, int32_t hf,
                                     int32_t w, int32_t h, double scroll_x, double scroll_y);
// The scroll point of bar position p in range r over client size c: 0.5 when
// the range does not exceed the client.
double outline_scroll_fraction(int32_t p, int32_t r, int32_t c);
// set_scroll_point's offset: int((L - c) x f) when c < L, else 0.
int32_t outline_scroll_offset(int32_t L, int32_t c, double f);
// One wheel event of rotation r and delta d with step S: the new zoom, and
// the new perspective angle for Shift (clamped to 0..90).
double outline_wheel_zoom(double zoom, int32_t S, int32_t r, int32_t d);
int32_t outline_wheel_angle(int32_t angle, int32_t S, int32_t r, int32_t d);

// ---- reslice planes ----------------------------------------------------------

void outline_plane_vectors(const reslice_info& plane, double xscale, vec3_t& half_width,
                           vec3_t& half_height, vec3_t& thickness);

// ---- textures ----------------------------------------------------------------

// The smallest power of two at least n; 1 for n of 1 or less.
int32_t texture_padded_size(int32_t n);
// After a refused upload of w x h texels: halves the height when it exceeds
// the width, else halves the width (each row keeps its first new-width - 1
// texels and ends in the padding texel), and for a square texture the height
// too; a new last row is padding. The buffer is repacked in place.
void shrink_texture_once(uint8_t* texels, int32_t& w, int32_t& h, const uint8_t padding[4]);

enum class texture_upload_result { full, partial, failed };
// Uploads by upload(w, h, texels) (true on success); after a refusal shrinks
// once and tries again.
texture_upload_result upload_texture_with_retry(const std::function<bool(int32_t, int32_t, const uint8_t*)>& upload,
                                                std::vector<uint8_t>& texels, int32_t& w, int32_t& h,
                                                const uint8_t padding[4]);

// ---- contours ----------------------------------------------------------------

// Walks frames 0..frames-1, within each objects 0..object_count-1 and their
// contours in order, calling visit(frame, object, contour, first) with the
// index of the contour's first vertex in the contour buffer; only contours
// with vertices take room. Building and drawing both walk this way, so the
// indices stay aligned whatever each of them skips.
void walk_contours(const contour_object* objects, int32_t object_count, int32_t frames,
                   const std::function<void(int32_t, int32_t, const contour_t&, int32_t)>& visit);
// The buffer: every vertex as (x xscale, y yscale).
std::vector<float> contour_buffer_vertices(const contour_object* objects, int32_t object_count, int32_t frames,
                                           double xscale, double yscale);

// ---- marks -------------------------------------------------------------------

// Font height x xscale / 10 / zoom; in a perspective view times |z| / d, z
// the point's eye-space depth.
double outline_marker_radius(double font_height, double xscale, double zoom, bool perspective, double eye_z,
                             double eye_distance);
// Colour of a surface landmark or curve from its object's colour (0..1).
void outline_soft_colour(const double rgb[3], double out[3]);

struct outline_line {
  vec3_t a, b;
};
struct outline_thickness_marker {
  vec3_t p;
  bool pink = false;
};
struct outline_thickness_geometry {
  bool shown = false;
  std::vector<outline_line> side_lines;  // stippled
  outline_line main;
  std::vector<outline_thickness_marker> markers;
};
// The thickness engine's last measurement in world space. world: the
// measured frame's world transform; flip: negate z of the point and the
// direction (frame 0 lies above frame 1 along its own z).
outline_thickness_geometry outline_thickness_line(const thickness& engine, const matrix4_t& world, bool flip,
                                                  double xscale, double yscale);

struct outline_spine_label {
  vec3_t p;
  int32_t level = 0;
};
struct outline_spine_geometry {
  std::vector<outline_line> lines;
  std::vector<vec3_t> polyline;
  std::vector<outline_spine_label> labels;
  bool have_a = false, have_b = false;
  vec3_t a, b;  // centres of the selected end vertebrae
};
outline_spine_geometry outline_spine(const landmarks& marks, int32_t end_level_a, int32_t end_level_b);
