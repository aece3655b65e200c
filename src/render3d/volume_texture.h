// The arithmetic of volume rendering's texture: how far the data must be
// reduced to fit the graphics limits, the smoothing along the frame axis,
// the per-value extents, the crop of each slice to object surfaces, the
// transfer-function exponents, the visible box, the model mapping of texture
// space, the landmark sphere, the render box and the reslice-plane crop.
// None of it needs OpenGL or a display; the 3D view uploads the results.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <wx/string.h>

#include "data/geometry.h"

class bin_grid;
class data_progress;
class reslice_info;
class surface_interp;
struct section_plane;

constexpr int32_t kVolumeMaxReduction = 10;
constexpr unsigned kNoVolumeTexture = 60000;  // texture name that marks "none built"

inline int32_t volume_reduced(int32_t size, int32_t step) { return (size - 1) / step + 1; }

// The in-plane (m) and out-of-plane (n) steps of the texture and its size.
struct volume_reduction {
  int32_t m = 1, n = 1;
  int32_t w = 0, h = 0, f = 0;
  bool for_size = false, for_memory = false;
  void apply(int32_t W, int32_t H, int32_t F) {
    w = volume_reduced(W, m), h = volume_reduced(H, m), f = volume_reduced(F, n);
  }
};

// The smallest steps from 1 that bring W x H x F within the 3D texture limit.
// False when a step of 10 is still not enough (the factors are then 10).
bool volume_reduce_for_size(int32_t W, int32_t H, int32_t F, int32_t limit, volume_reduction& r);
// After a refused allocation: the axis whose reduced spacing is finer gets
// the next step (in-plane when the slices lie further apart than the reduced
// pixels), the other axis when that one is already at 10. False when both
// are at 10.
bool volume_reduce_for_memory(volume_reduction& r, int32_t W, int32_t H, int32_t F, double sx,
                              double sy, double sz);
// Up to 10 attempts of allocate(w, h, f), which returns 0 or the GL error,
// reducing after every refusal. Returns 0 or the last error.
int volume_allocate(volume_reduction& r, int32_t W, int32_t H, int32_t F, double sx, double sy,
                    double sz, const std::function<int(int32_t, int32_t, int32_t)>& allocate);

// The warning about a reduced texture; the hints only for 16-bit data.
wxString volume_reduction_message(const volume_reduction& r, int32_t limit, bool sixteen_bit,
                                  long filter_xy, long filter_z);
wxString volume_memory_message(int error);

// The 2n - 1 weights of the frames around a kept one (1 for itself).
std::vector<double> volume_smoothing_weights(int32_t n);

// Display pixels of frame k (W x H), or null when it has none.
using volume_frame_source = std::function<const uint8_t*(int32_t frame)>;
// Texture slice of frame j (W' x H' into out): pixel (x m, y m) of the frame,
// or, with weights, of the weighted mean of frames j - n + 1 .. j + n - 1
// that exist, rounded. A missing frame gives zeros.
void volume_form_slice(const volume_frame_source& frames, int32_t j, int32_t F, int32_t W,
                       int32_t H, int32_t m, const std::vector<double>* weights, uint8_t* out);
// The pairs of a freehand slice whose plane has cropped it: mask 255 where
// the value is 0.
void volume_freehand_pairs(const uint8_t* values, size_t count, uint8_t* pairs);

// For each 8-bit value, the box of texture coordinates where it occurs.
class volume_extents {
 public:
  void reset(int32_t w, int32_t h, int32_t f);
  // A slice of w x h texels of `channels` bytes; with two, a texel whose
  // crop mask is 255 counts as value 0.
  void add_slice(const uint8_t* texels, int32_t channels, int32_t z);
  // Widens each present box by a texel where it can and normalises it to
  // 0..1 (an axis of one texel spans 0..1).
  void finish();
  bool present(int v) const { return present_[v]; }
  const std::array<double, 3>& lo(int v) const { return lo_[v]; }
  const std::array<double, 3>& hi(int v) const { return hi_[v]; }

 private:
  int32_t size_[3] = {1, 1, 1};
  std::array<std::array<double, 3>, 256> lo_{}, hi_{};
  std::array<bool, 256> present_{};
};

// ---- Crop to surfaces

struct volume_crop_settings {
  bool invert = false, antialias = false, two_channel = false;
  double radius = 1.8;  // nearest-surface search radius (cm); 10 or more: unlimited
};

class volume_cropper {
 public:
  enum class method { scanline, distance_map, nearest };
  // object: an object index or -2 for every object below CURRENT_MAX_OBJECTS;
  // the surfaces come from RES_SURFACE.
  volume_cropper(int32_t object, const volume_crop_settings& settings);
  ~volume_cropper();
  volume_cropper(const volume_cropper&) = delete;
  volume_cropper& operator=(const volume_cropper&) = delete;

  method used() const { return method_; }
  // Names a crop object that has no surface or lies beyond the objects in
  // use; empty otherwise.
  const wxString& warning() const { return warning_; }

  // Crops slice S (w x h, in-plane step m) of the frame whose plane and
  // frame-to-world transform are given, into out (w x h values, or pairs of
  // value and crop mask).
  void crop(const uint8_t* S, int32_t w, int32_t h, int32_t m, double sx, double sy,
            const section_plane& plane, const matrix4_t& world, uint8_t* out) const;

 private:
  void combine(uint8_t* out, size_t i, uint8_t s, double c) const;
  void scanline(const surface_interp& surface, const uint8_t* S, int32_t w, int32_t h, int32_t m,
                const section_plane& plane, uint8_t* out) const;
  void distance_map(const surface_interp& surface, const uint8_t* S, int32_t w, int32_t h,
                    int32_t m, const section_plane& plane, uint8_t* out) const;
  void nearest(const uint8_t* S, int32_t w, int32_t h, int32_t m, double sx, double sy,
               const matrix4_t& world, uint8_t* out) const;

  volume_crop_settings settings_;
  std::vector<const surface_interp*> surfaces_;
  std::unique_ptr<bin_grid> grid_;
  method method_ = method::scanline;
  wxString warning_;
};

// ---- Transfer function and render box

// p from the translucency, q from the data size and the reductions.
void volume_exponents(long translucency, int32_t W, int32_t H, int32_t m, int32_t n, double& p,
                      double& q);

struct volume_box {
  std::array<double, 3> lo{1.0, 1.0, 1.0}, hi{0.0, 0.0, 0.0};
};
// The box of the values that are present and not fully transparent; both
// corners at (0, 0, 0) when there is none.
volume_box volume_visible_box(const float (*table)[4], const volume_extents& extents);

// Where texture space lies: unreduced sizes, voxel size and the model matrix
// from model points to the world.
struct volume_geometry {
  int32_t w = 1, h = 1, f = 1;
  double sx = 1.0, sy = 1.0, sz = 1.0;
  matrix4_t model;
};
// Model matrix of freehand data sliced by the private plane: texture slice k
// lies where the plane sliced it (plane constant upper - k sz).
matrix4_t volume_freehand_model(const reslice_info& plane, int32_t W, int32_t H, double sx);
vec3_t volume_texture_to_model(const volume_geometry& g, const vec3_t& t);
vec3_t volume_texture_to_world(const volume_geometry& g, const vec3_t& t);

struct volume_sphere {
  vec3_t c{0.5, 0.5, 0.5};
  double rx = 100.0, ry = 100.0, rz = 100.0;  // negative: the outside is shown
};
// The crop sphere about the landmark (world point), or the neutral one.
volume_sphere volume_landmark_sphere(const volume_geometry& g, const vec3_t* landmark,
                                     double radius, bool invert);

// The crop box (percent) clamped, unless shadows keep it whole, to the
// visible box and the sphere's box enlarged by 1.2.
volume_box volume_render_box(const double crop_lo[3], const double crop_hi[3], bool clamp,
                             const volume_box& visible, const volume_sphere& sphere);
// The eight corners, z moved from frame centres to texel centres.
std::array<vec3_t, 8> volume_box_corners(const volume_box& box, int32_t F);
// Every corner one sampling step further out.
void volume_enlarge_corners(std::array<vec3_t, 8>& corners, double slice_skip, int32_t W,
                            int32_t H, int32_t F);

// Reslice plane 0 (unit normal n, plane constant d) in texture space: the
// shader keeps texture points t with dot(xyz, t) <= w, the side of the plane
// away from its normal (normal . p + d <= 0). (0, 0, 0, 1) keeps everything.
std::array<double, 4> volume_reslice_crop(const vec3_t& n, double d, const volume_geometry& g);

// ---- Progress of a build

// Opens the progress display after 250 ms within the first quarter of the
// frames and updates it at most every 100 ms; the clock gives milliseconds.
class volume_build_progress {
 public:
  volume_build_progress(int32_t frames, std::function<long()> clock);
  ~volume_build_progress();
  // Before frame j; false once the user has aborted.
  bool before_frame(int32_t j);
  bool shown() const { return display_ != nullptr; }

 private:
  int32_t frames_;
  std::function<long()> clock_;
  long start_ = 0;
  std::unique_ptr<data_progress> display_;
};

// ---- What the 3D view keeps of its volume between paints

struct volume_texture_state {
  unsigned texture = kNoVolumeTexture, transfer = kNoVolumeTexture, material = kNoVolumeTexture;
  volume_reduction reduction;
  bool message_shown = false;  // a reduction or memory message since the last release
  bool private_plane = false;  // the last build sliced freehand data through a private plane
  bool two_channel = false;
  int32_t limit = 0;  // GL_MAX_3D_TEXTURE_SIZE of the last build
  volume_extents extents;
  volume_box visible;
  volume_geometry geometry;
  volume_sphere sphere;
  volume_box render_box;
  std::array<vec3_t, 8> corners{};
  std::array<double, 4> reslice_plane{0.0, 0.0, 0.0, 1.0};
  std::vector<int32_t> slice_frames;  // the frame of every slice uploaded by the last build
  int32_t builds = 0;
};
