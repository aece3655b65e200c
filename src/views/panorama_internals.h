// The builder that compounds the frames of a freehand recording made in the
// probe's own image plane into one 8-bit panoramic image. Each frame is placed
// rigidly beside its predecessor in one common plane and contributes the
// strip around its centre column, between the boundaries with its
// neighbours. The same build decides whether the recording is panoramic at
// all or a 3D sweep.
//
// The panorama page creates it and stores it in RES_PANORAMA; the registry
// deletes one still held at exit. It keeps itself current through its change
// procedure and raises RES_REDISPLAY_PANORAMA after every rebuild. It needs no
// display.
#pragma once

#include <wx/string.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "data/geometry.h"
#include "data/image_builder.h"
#include "registry/resource_table.h"

struct panorama_frame_t {
  bool valid = false;
  // The frame's strip in panorama pixels: 0 top and 1 bottom end of the
  // boundary with the previous frame (or the outer edge), 2 bottom and 3 top
  // end of the boundary with the next frame (or the outer edge).
  vec3_t corners[4];
  // While building: frame pixels to the panorama plane; afterwards panorama
  // pixels to frame pixels.
  matrix4_t transform{};
};

class panorama_internals : public image_builder {
 public:
  // With keep_size a rebuild never makes the image smaller than it was.
  explicit panorama_internals(bool keep_size);
  ~panorama_internals() override;

  // The image (width x height bytes, row 0 at the top; 0 is no data) while
  // valid, else null.
  const uint8_t* get_image() const;
  void get_size(int32_t& width, int32_t& height) const;
  bool is_panoramic() const { return panoramic_; }
  // False without frame records or when n is not a frame of the store.
  bool frame_corners(int32_t n, vec3_t corners[4]) const;

  // Which frame direction is made vertical: 0 the mean, 1 the first, 2 the
  // last frame's. Cycles 0 -> 1 -> 2 -> 0 and rebuilds.
  void toggle_alignment();
  void set_use_correction(bool use);
  // Saves the image through the display colour map as an RGB image file of
  // the toolkit type (1 BMP, 11 TIFF, 15 PNG, 17 JPEG). A panorama that is
  // not valid is refused with a message; false on any failure.
  bool panorama_file_name_chosen(const wxString& path, int bitmap_type);

  void build();
  void changeproc();

  bool valid() const { return valid_; }
  int32_t alignment() const { return alignment_; }
  bool use_correction() const { return use_correction_; }
  // Builds run so far; for tests.
  int32_t builds() const { return builds_; }

  // The largest image built; a larger one means absurd positions.
  static constexpr int64_t kMaxPixels = int64_t{1} << 28;

 private:
  void watch(bool on);
  void rebuild_and_notify();
  bool place_frames(double& chained, double& world, vec3_t& direction_sum, int32_t& last);
  void paint_frame(int32_t k, const uint8_t* pixels, int32_t fw, int32_t fh, bool masked);

  int32_t width_ = 0;
  int32_t height_ = 0;
  std::vector<panorama_frame_t> frames_;
  std::vector<uint8_t> image_;
  bool valid_ = false;
  std::unique_ptr<pmf_functor<panorama_internals>> proc_;
  bool use_correction_ = false;
  int32_t alignment_ = 0;
  bool panoramic_ = false;
  bool keep_size_ = false;
  int32_t builds_ = 0;
};
