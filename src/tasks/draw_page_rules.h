// The Draw page's decisions that need no window: how many object rows it
// shows, the texts of its information lines and status notice, and the
// statistics of the image pixels a contour encloses.
#pragma once

#include <cstdint>
#include <vector>

#include <wx/string.h>

struct frame_contours_t;

// Rows are shown in steps of this many.
constexpr int32_t DRAW_ROW_STEP = 6;
constexpr int32_t DRAW_MAX_ROWS = 200;

// The number of object rows: two steps past the highest used object (used:
// holding a surface or a contour frame), but never dropping a row above it
// whose object the user named (a name not beginning "Object "). used and
// names hold one entry per object; current_max is the count shown now.
int32_t draw_row_count(const std::vector<bool>& used, const std::vector<wxString>& names,
                       int32_t current_max);

// Mean, minimum and maximum of the pixels the entry's contours enclose on
// its frame: 16-bit raw values for DICOM-backed frames that carry them,
// display bytes otherwise. Raw values are kept as unsigned offsets (signed
// data moved up by 32768, the calibration taking it back), so the calibrated
// statistics follow from these by the data's rescale. False when the entry
// encloses no pixel of a frame of the frame store.
bool contour_pixel_stats(frame_contours_t& entry, double& mean, double& max, double& min);

// Whether the pixel source of frame is 16-bit raw values (DICOM-backed data
// whose frame carries them).
bool frame_has_raw_values(int32_t frame);

// Whether the loaded data's raw values are 8-bit samples kept as display
// bytes (then thresholds have no units of their own).
bool dicom_samples_8bit();

// Whether raw values hold categorical labels: every calibrated value (raw x
// slope + intercept) of a pixel that is not padding (padding 0: none) lies
// within 0.01 of a whole number from 0 to 255. A frame of padding only
// counts as labels.
bool raw_values_are_labels(const uint16_t* raw, size_t count, uint16_t padding, double slope,
                           double intercept);

// What the status bar says about the pixels a contour encloses.
struct contour_notice_input {
  wxString object_name;
  double mean = 0, min = 0, max = 0;  // as contour_pixel_stats gives them
  bool raw_values = false;            // raw 16-bit values, calibrated below
  double slope = 1, intercept = 0;    // raw to calibrated value
  double bmd_scale = 1, bmd_offset = 0;
  wxString units;
};
wxString contour_stats_notice(const contour_notice_input& in);

// The information lines of the current object.
wxString draw_area_line(bool known, double area_square_pixels, double xscale, double yscale);
wxString draw_perimeter_line(bool known, double length_x_pixels, double xscale);
wxString draw_volume_line(bool used, double cubic_cm);
wxString draw_position_line(bool known, double x_cm, double y_cm, double z_cm);

// The threshold grid's two label cells for 16-bit data: "(units:" and the
// low, high and not thresholds as calibrated values (display levels through
// the windowing), "none" for a threshold at 0.
wxString threshold_unit_text(const wxString& units);
wxString threshold_value_text(int32_t lo, int32_t hi, int32_t anti, double window_centre,
                              double window_width);

// The "Find contours:" slider's range for an object with entries frame
// entries: 0 to entries - 1, and 0 to 0 with the slider disabled when there
// are none (an empty range is not a valid slider range).
struct find_contours_range_t {
  int32_t max = 0;
  bool enabled = false;
};
find_contours_range_t find_contours_range(int32_t entries);
