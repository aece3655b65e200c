// The volume readers' description of the loaded data and the display of
// 16-bit frames: windowing of raw values into display bytes, smoothing within
// an image and, in one pass over the data set, across neighbouring frames.
//
// Display pixels are derived lazily: each frame remembers the raise count of
// RES_DICOM_REDRAW it was last windowed for and is only windowed again after
// a further raise.
#pragma once

#include <cstdint>
#include <vector>

#include <wx/string.h>

struct frame_image_t;

// The display settings a windowing reads, gathered in one place so that the
// computation does not depend on where they are kept.
struct windowing_params_t {
  int32_t width = 512;     // RES_BUF_WIDTH
  int32_t height = 512;    // RES_BUF_HEIGHT
  int32_t frames = 0;      // RES_BUF_FRAMES
  double slope = 1.0;      // RES_DICOM_HUM: raw to calibrated value
  double intercept = 0.0;  // RES_DICOM_HUB
  double centre = 1024.0;  // RES_DICOM_WIN_CENTRE, calibrated units
  double window = 2048.0;  // RES_DICOM_WIN_WIDTH, calibrated units
  int32_t filter = 0;      // RES_DICOM_FILTER: smoothing radius within an image, pixels
  int32_t filter_z = 0;    // RES_DICOM_FILTER_Z: smoothing radius across images, frames
  int32_t redraw = 0;      // raise count of RES_DICOM_REDRAW
  double zscale = 0.0;     // RES_ZSCALE: 0 when the frames are not evenly spaced
  bool pos_rec = true;     // RES_POS_REC
};

// Progress of the whole-data pass; the application shell installs one that
// shows a dialog. update() returns false when the user asked to cancel.
class windowing_progress_t {
 public:
  virtual ~windowing_progress_t() = default;
  virtual void start(const wxString& title, const wxString& message, int maximum) = 0;
  virtual bool update(int value, const wxString& message) = 0;
  virtual void resume() = 0;
  virtual void finish() = 0;
};

class dicom_utility {
 public:
  // ---- description of the loaded data ----
  static bool data_16bit;          // the frames carry 16-bit raw values
  static uint16_t padding_value;   // raw value of padding pixels; 0 means none

  // ---- display of 16-bit data ----

  // Brings record's display pixels up to date from the raw plane (usually the
  // record's own), with the current settings. size and stamp are usually the
  // record's own fields and are updated in place.
  static void window_frame(const uint16_t* raw, frame_image_t& record, int32_t& size,
                           int32_t& stamp);
  static void window_frame(const uint16_t* raw, frame_image_t& record, int32_t& size,
                           int32_t& stamp, const windowing_params_t& params);

  // Separable Gaussian-like smoothing of radius r; dst must not be src. A
  // radius below 1 copies. Padding pixels keep their value. Returns false,
  // leaving dst unwritten, when the scratch plane cannot be allocated.
  static bool smooth_frame(const uint16_t* src, int32_t width, int32_t height, int32_t radius,
                           uint16_t* dst);

  // Windows every frame of the store, smoothing each across its neighbours
  // with the given radius. False when smoothing across frames does not apply
  // (radius below 1, fewer than 2 x 2 pixels, no frames, frames not evenly
  // spaced or without positions, a frame without raw values) and nothing was done.
  static bool window_all_frames(int32_t radius);
  static bool window_all_frames(int32_t radius, const windowing_params_t& params);

  // The 2r + 1 weights of the smoothing kernel, centre weight 1.
  static std::vector<double> smoothing_kernel(int32_t radius);

  // Reads the display settings from the registry.
  static windowing_params_t windowing_params_from_resources();

  // Makes frame_image_t::display_data window 16-bit frames through window_frame.
  static void install_frame_windowing();

  // Progress shown by the whole-data pass (null: none), and how long the pass
  // runs before it shows it.
  static windowing_progress_t* pass_progress;
  static long pass_progress_delay_ms;
};
