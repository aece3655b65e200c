// The cortical thickness measurement engine, one instance held by
// RES_THICKNESS from start-up to exit. measure() lays a bundle of parallel
// sample lines through a point along a direction (as a rule the outward
// surface normal), samples the calibrated 16-bit data along them into one
// averaged profile and finds on it the outer and inner cortical edges, the
// densities on either side, the blur and, with the layer options, a gap
// beyond either edge. The engine keeps the lines, the profile and the results
// of its last measurement until the next one or clear(); the views draw them.
//
// Lengths are centimetres, line ends image pixels of the measured frame,
// densities calibrated values (raw x RES_DICOM_HUM + RES_DICOM_HUB). Errors
// are two standard errors; 1e10 means not determined, 1e-4 held fixed or set
// by rule.
//
// GUI thread only: the model fit's callback reaches the fitting engine through
// file-scope state, so measurements must not overlap or nest.
#pragma once

#include <cstdint>
#include <vector>

#include "thickness/thickness_fit.h"

struct thickness_point2 {
  double x = 0.0, y = 0.0;
};

// The thickness settings and the loaded data's description a measurement
// reads, taken from the registry at its start (thickness_options_from_resources).
struct thickness_options {
  int32_t type = 0;          // RES_THICKNESS_TYPE (thickness_technique)
  double line = 1.8;         // RES_THICKNESS_LINE, cm
  int32_t width = 0;         // RES_THICKNESS_WIDTH: 2 width + 1 lines across
  int32_t output_data = -1;  // RES_THICKNESS_OUTPUT_DATA: samples per line when above 0
  bool inner_layer = true, outer_layer = true;
  bool in_frame = false, threshold = false, fwhm = false, reverse = false;
  bool endo_model = false, same_levels = true, local_density = false, post_blur = true;
  bool metal = false;
  // Given values; 1e10 = not given, to be found.
  double gauss = 1e10, rect = 0.0;  // blur sigma in and out of the image plane, cm
  double a = 1e10, b = 1e10, c = 1e10;  // outer, cortical and inner density
  double c_average = 1e10, a_average = 1e10;

  // The loaded data.
  bool buf_dicom = false;   // RES_BUF_DICOM: frames read from medical image files
  bool data_16bit = false;  // the frames carry 16-bit raw values
  double xscale = 0.01, yscale = 0.01, zscale = 0.0;  // cm per pixel; 0 z: uneven spacing
  int32_t buf_width = 0, buf_height = 0;
  double slope = 1.0, intercept = 0.0;  // RES_DICOM_HUM, RES_DICOM_HUB
  double no_value = 0.0;     // the padding value calibrated; samples at or below it are missing
  double slice_thickness = 0.0;  // cm
  double calibration[6] = {0, 0, 0, 0, 0, 0};  // RES_XTRANS .. RES_ROLL
};
thickness_options thickness_options_from_resources();

// What the sampling helpers need of the frames: their size and calibration.
struct thickness_sampling {
  int32_t width = 0, height = 0;  // RES_BUF_WIDTH, RES_BUF_HEIGHT
  double slope = 1.0, intercept = 0.0;
  double no_value = 0.0;
};

// The calibrated value at (ix + fx, iy + fy), 0 <= fx, fy < 1, of a frame's
// 16-bit raw pixels or of its 8-bit display pixels (already windowed): the
// separable 4 x 4 cubic convolution with the Mitchell-Netravali kernel
// (B = C = 1/3). The taps outside the image repeat the border column or row;
// a position with ix or iy negative, ix > width - 2 or iy > height - 2 gives
// the no-value level.
double thickness_sample_16bit(const thickness_sampling& s, const uint16_t* raw, int32_t ix,
                              int32_t iy, double fx, double fy);
double thickness_sample_8bit(const thickness_sampling& s, const uint8_t* display, int32_t ix,
                             int32_t iy, double fx, double fy);

// A level of the profile over samples (int)(from + 0.5) to (int)(to + 0.5):
// with peaks != second the mean of the local maxima (peaks true) or minima
// (false) strictly inside, falling back to the mean of those samples; with
// the flags equal the plain mean. Samples at the no-value level do not
// count; 0 when nothing counts.
double thickness_level_mean(const std::vector<double>& profile, double from, double to, bool peaks,
                            bool second, double no_value);

// Limits of what one measurement may ask for: beyond them it gives nothing.
constexpr int32_t kThicknessMaxSamples = 10000;
constexpr int32_t kThicknessMaxWidth = 50;

class thickness {
 public:
  thickness();
  ~thickness();
  thickness(const thickness&) = delete;
  thickness& operator=(const thickness&) = delete;

  // Measures at point (x, y pixels; z in pixels of the x scale, 0 on the
  // frame) of frame along direction (unit, out of the bone). With manual,
  // length_or_offset is the line length in cm, else the offset kept for
  // remeasure(). normal is the reference normal thicknesses are projected
  // onto (may be all zero). RES_THICKNESS_REVERSE flips direction and normal
  // in the caller's arrays; an in-frame measurement overwrites normal with the
  // direction. density is the cortical density to use, 1e10 for
  // RES_THICKNESS_B. The outcome is read from sampled, valid, status and the
  // results.
  void measure(int32_t frame, double point[3], double direction[3], bool manual,
               double length_or_offset, double normal[3], double density);
  // measure() up to the sampling: the settings read, the lines laid and the
  // geometry recorded; false (the engine empty) when there is nothing to
  // measure. measure() is this followed by measure_profile().
  bool prepare_measurement(int32_t frame, double point[3], double direction[3], bool manual,
                           double length_or_offset, double normal[3], double density);
  // Repeats the last measurement with the current settings.
  void remeasure();
  // Discards the last measurement and frees its arrays.
  void clear();

  // Samples the profile of the lines laid by measure() and runs the path of
  // the options; the status (below).
  int32_t measure_profile();
  // The sampling alone: the weights on the point, the lines sampled and
  // averaged into profile; 0, or 10 for a frame without pixels.
  int32_t sample_profile();
  // The path alone, on profile (and cell_samples for the per-line count) as
  // they stand: sample_count, line_length, inside_fraction, cell_count,
  // weights, options and the geometry members must be set. The status.
  int32_t run_path();
  // The fit weights centred on sample position a (clamped into the profile).
  void set_weights(double a);

  // Status of the last measurement: 0 nothing measured; 1 to 3 success; 4 or
  // 5 a failed fit; 10 missing data or a failed search.
  int32_t status = 0;
  thickness_options options;
  // While set (by a mapping), measurements use these settings instead of
  // reading the resources, and remeasure() does nothing.
  const thickness_options* held_options = nullptr;
  double density_in_use = 1e10;  // the cortical density given to the path

  bool sampled = false;  // a profile was sampled: the lines are there to draw
  bool valid = false;    // the last measurement gave results
  int32_t cell_count = 0;    // (2n+1)^2 in 3D (the square; cells off the disc unused), 2n+1 in a frame
  int32_t sample_count = 0;  // N, samples along each line
  std::vector<thickness_point2> line_start;  // outer end of each line, pixels
  std::vector<thickness_point2> line_end;    // inner end of each line, pixels
  double inside_fraction = 1.0 / 3.0;  // E: the part of the line outside the point
  double offset = 0.0;                 // cm along the line, handed back by remeasure()
  std::vector<double> start_z, end_z;  // 3D: z of the line ends, cm; -1 both: outside the disc
  std::vector<double> fit_buffer;      // the fit's profile residuals
  std::vector<double> profile;  // the averaged profile, sample 0 at the outer end
  std::vector<double> weights;  // per-sample weights of the fit
  std::vector<double> model;    // the fitted profile, or the levels of the threshold paths
  // Positions from the line start: samples while working, cm when finished.
  double outer_edge = 0.0, inner_edge = 0.0;
  double inner_gap_edge = 0.0, inner_layer_end = 0.0;
  double outer_layer_end = 0.0, outer_gap_edge = 0.0;
  double blur = 0.0;       // Gaussian sigma along the reference normal, cm
  double endo_end = 0.0;   // end of the endocortical transition, cm; 0 none
  double slab_width = 0.0; // one slice thickness along the line (in a frame), cm
  double outer_density = 0.0, cortical_density = 0.0, mean_density = 0.0, inner_density = 0.0;
  double beyond_outer_density = 0.0, beyond_inner_density = 0.0;
  double inner_layer_density = 0.0, outer_layer_density = 0.0;
  double fit_error = 0.0;  // RMS deviation of the profile from the model
  double thickness_error = 1e10, outer_gap_error = 1e10, inner_gap_error = 1e10;
  double blur_error = 1e10, endo_error = 1e10;
  double cortical_density_error = 1e10, inner_density_error = 1e10;
  int32_t frame = 0;
  double line_length = 0.0;  // L, cm
  int32_t line_width = 0;    // n
  double point[3] = {0.0, 0.0, 0.0};
  double direction[3] = {0.0, 0.0, 0.0};
  bool reversed = false;
  bool in_frame = false;
  bool inner_layer = false, outer_layer = false;  // the inner and outer gaps are modelled
  double normal[3] = {0.0, 0.0, 0.0};
  bool metal_found = false;
  bool manual = false;

  // Each cell's samples aligned to the central line (cell_count x N, the
  // no-value level where missing), kept for the per-line count.
  std::vector<double> cell_samples;
  // The model fit's state (one engine, one fit at a time).
  thickness_fit_state fit;

 private:
  void free_arrays();
  bool lay_lines(double E, const double d[3]);
  int32_t sample_lines();
  void set_all_errors(double value);
  void reset_results();
  int32_t threshold_search();
  int32_t per_line_count();
  int32_t model_fit();
  void to_cm(double s);
};
