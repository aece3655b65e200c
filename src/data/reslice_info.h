// One reslice plane: an arbitrary plane through the recording along which an
// image is resampled from the frames. The registry holds the four shared
// planes (RESLICE); a builder of the 3D view may own a private one (index -1).
//
// Image coordinates: x and y in pixels from the image's top-left corner, z in
// cm along the normal. With u = up x normal and s = RES_XSCALE (square pixels),
// image point (x, y, z) is the world point
//   centre + u s (x - width/2) + up s (y - height/2) + normal z.
#pragma once

#include <cstdint>

#include "data/geometry.h"
#include "data/image_builder.h"

// What a plane needs of the builder attached to it (reslice_internals, a
// class of the views).
class reslice_builder : public image_builder {
 public:
  // Marks the image out of date; a shared plane's builder builds it at once
  // and, with notify, raises the plane's redisplay flag.
  virtual void rebuild(bool notify) = 0;
};

class reslice_info {
 public:
  // Plane sizes are kept within the range the pages offer whatever a caller
  // or a file asks for: builders allocate width x height pixels of several
  // buffers and divide by width - 1 and height - 1.
  static constexpr int32_t kMinSize = 24;
  static constexpr int32_t kMaxSize = 5000;
  // Sizes a RESLICE line may hold; files written from large frames can hold
  // more than the pages offer, and the setters bring them into range.
  static constexpr int32_t kMinFileSize = 1;
  static constexpr int32_t kMaxFileSize = 8192;

  reslice_info() = default;
  ~reslice_info();
  reslice_info(const reslice_info&) = delete;
  reslice_info& operator=(const reslice_info&) = delete;

  // Placement. Each does nothing when the value equals the stored one;
  // otherwise it stores it, keeps normal and up unit and perpendicular, marks
  // the plane defined and rebuilds the attached builder's image.
  void set_plane(const vec3_t& normal, const vec3_t& centre, const vec3_t& up, bool notify);
  void set_normal(const vec3_t& normal, bool notify);
  void set_up_vector(const vec3_t& up);
  void set_centre(const vec3_t& point, bool notify);

  // Image and slab settings; each rebuilds (notifying) when the value changes.
  void set_width(int32_t width);
  void set_height(int32_t height);
  void set_thickness(double half_thickness);
  void set_compounding(int32_t compounding);  // rebuilds only for a thick slab
  void set_accurate(bool accurate);
  void set_crop_surface(int32_t object);
  void set_show_outside_surface(bool outside);

  // Placement from the frames.
  void place_default();
  void locate_to_current_frame(bool reset);
  void fit_to_data(bool orient);
  // Bounding box, in image coordinates, of the corners of the frames first to
  // last that exist; sets extent_offset_min and extent_offset_max.
  void data_extent(int32_t first, int32_t last, vec3_t& max, vec3_t& min);

  // Coordinate conversions; world_to_reslice may convert in place.
  void reslice_to_world(double x, double y, double z, vec3_t& point) const;
  void world_to_reslice(const vec3_t* in, vec3_t* out, int count) const;

  // Back to the state of a new plane (normal, centre, up, plane constant and
  // defined flag), in place and without a rebuild.
  void reset_placement();

  static int32_t clamp_size(int32_t size);

  int32_t index = 0;  // 0..3 in RESLICE, -1 for a private plane
  vec3_t normal{0.0, 0.0, 1.0};
  vec3_t centre{0.0, 0.0, 0.0};
  vec3_t up{0.0, 1.0, 0.0};
  double offset = 0.0;  // plane constant: -(normal . centre)
  double extent_offset_min = 0.0;
  double extent_offset_max = 0.0;
  int32_t width = 512;
  int32_t height = 512;
  double half_thickness = 0.0;  // cm; 0 is a thin reslice
  int32_t compounding = 0;      // 0 Max, 1 Min, 2 Ave
  bool accurate = true;
  bool show_outside_surface = false;
  int32_t crop_surface = -1;  // object index, -1 none, -2 every object in use
  bool defined = false;
  reslice_builder* builder = nullptr;  // not owned, except that the destructor deletes it

 private:
  void rebuild(bool notify);
  void update_offset() { offset = -vec3_dot(normal, centre); }
  double pixel_size() const;
};
