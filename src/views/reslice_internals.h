// The builder that computes and caches the 8-bit image of one reslice plane
// by resampling the frames: a thin reslice takes, for every pixel, the frames
// passing nearest to the pixel's point; a thick one compounds a stack of
// parallel slices across the slab by maximum, minimum or average.
//
// A shared builder (planes 0 to 3 of RESLICE) keeps its image current through
// its change procedure and raises RES_REDISPLAY_RESLICE<index> after each
// build; a private builder (index -1) owns its plane and builds only when its
// image is asked for. Progress and cancel go through reslice_progress, so the
// builder runs and is tested without a display.
#pragma once

#include <wx/string.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "data/dynabuf.h"
#include "data/geometry.h"
#include "data/reslice_info.h"
#include "registry/resource_table.h"
#include "segmentation/image_correlation.h"
#include "views/reslice_raster.h"

// Progress of a long build. The builder decides when a display is due (after
// 250 ms in the first quarter of the work) and how often it is updated.
class reslice_progress {
 public:
  virtual ~reslice_progress() = default;
  virtual void open(const wxString& caption, const wxString& message, int maximum) = 0;
  // False when the user asked to cancel.
  virtual bool update(int value, const wxString& message) = 0;
  virtual void close() = 0;
};

// Where crop spans come from: for a plane shifted by offset cm along its
// normal, the span list of the surface of object (null when the object has
// no surface or no section). By default the section of the object's surface
// in RES_SURFACE; null restores that.
using reslice_span_source = span_list* (*)(int32_t object, const reslice_info& plane, int32_t step,
                                           double offset);
void set_reslice_span_source(reslice_span_source source);
span_list* surface_section_spans(int32_t object, const reslice_info& plane, int32_t step, double offset);

// The coarse pixel step and slice factor that builders take while
// RES_DYNAMIC_UPDATE is on: the display colour map's steps while it exists
// (its step estimate sets them), else steps kept here; the export of
// resliced data sets them itself.
void set_reslice_dynamic_steps(int32_t pixel_step, int32_t slice_factor);
void reslice_dynamic_steps(int32_t& pixel_step, int32_t& slice_factor);

class reslice_internals : public reslice_builder {
 public:
  // index -1 owns a private plane; 0..3 attaches to that plane of RESLICE.
  // Positive width and height are stored in the plane without a rebuild.
  reslice_internals(int32_t index, int32_t width, int32_t height);
  ~reslice_internals() override;
  reslice_internals(const reslice_internals&) = delete;
  reslice_internals& operator=(const reslice_internals&) = delete;

  // Marks the image out of date; a shared builder then builds at once and,
  // with notify, raises RES_REDISPLAY_RESLICE<index> and flushes.
  void rebuild(bool notify) override;
  void build_reslice();

  // The image (plane width x height bytes, row 0 first; 0 is no data) when
  // valid, else null; a private builder builds first when needed.
  const uint8_t* get_image();

  void set_use_correction(bool use);
  // Only for a private builder; a shared one takes its step from the colour
  // map while RES_DYNAMIC_UPDATE is on.
  void set_pixel_step(int32_t step);

  // The segment where frame k's rectangle crosses the plane, in image pixels.
  bool frame_line(int32_t k, vec2_t& p0, vec2_t& p1) const;
  // The frame whose line passes nearest to point, which moves onto that
  // line; -1 (point unchanged) when no frame crosses the plane.
  int32_t nearest_frame_line(vec2_t& point) const;

  // Saves the image as a grey RGB image file of the toolkit type (1 BMP,
  // 11 TIFF, 15 PNG, 17 JPEG at quality 95). An image that is not valid is
  // refused with a message; false on any failure.
  bool reslice_file_name_chosen(const wxString& path, int bitmap_type);

  void set_progress(reslice_progress* progress) { progress_ = progress; }
  // Milliseconds since some fixed point; tests pass a clock of their own.
  void set_clock(std::function<long()> clock) { clock_ = std::move(clock); }

  reslice_info* plane() const { return plane_; }
  bool valid() const { return valid_; }
  bool busy() const { return busy_; }
  int32_t pixel_step() const { return pixel_step_; }
  int32_t slice_factor() const { return slice_factor_; }
  bool last_build_cancelled() const { return cancelled_; }
  // Builds asked for by the plane or the change procedure; for tests.
  int32_t builds() const { return builds_; }

 private:
  struct frame_record;
  struct build_state;

  void changeproc();
  void read_calibration();
  void build_and_notify(bool notify);
  void watch(bool on);

  bool set_up_frames(build_state& b);
  void window_frames(build_state& b);
  void sample_slice(build_state& b, const span_list* spans);
  void combine_sides(build_state& b);
  void compound(build_state& b, int32_t n);
  void finish_image(build_state& b);
  span_list* crop_spans(double offset) const;
  // The position frame k is placed by: the correction run's while its use is
  // asked for, else the recorded one. False when the frame has none.
  bool frame_position(int32_t k, position_t& out) const;
  const image_correlation* correction_run() const;

  reslice_info* plane_ = nullptr;
  std::unique_ptr<pmf_functor<reslice_internals>> proc_;
  matrix4_t world_to_frame_calibration_{};
  matrix4_t frame_to_world_calibration_{};
  double xs_ = 0.01, ys_ = 0.01;
  std::vector<uint8_t> image_;
  bool valid_ = false;
  bool busy_ = false;
  bool cancelled_ = false;
  bool use_correction_ = false;
  int32_t pixel_step_ = 1;
  int32_t slice_factor_ = 1;
  int32_t builds_ = 0;
  reslice_progress* progress_ = nullptr;
  std::function<long()> clock_;
};
