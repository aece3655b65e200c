// The cortical thickness measurement engine, one instance held by
// RES_THICKNESS from start-up to exit. It keeps the sample lines, the
// averaged profile and the fitted model of its last measurement, which the
// views draw. What stands: those results and clear(); the measurement itself
// (measure) is not built yet, so the engine stays empty unless a caller
// fills it.
//
// Lengths are centimetres, line ends image pixels of the measured frame,
// densities calibrated values.
#pragma once

#include <cstdint>
#include <vector>

struct thickness_point2 {
  double x = 0.0, y = 0.0;
};

class thickness {
 public:
  thickness() = default;
  ~thickness() = default;
  thickness(const thickness&) = delete;
  thickness& operator=(const thickness&) = delete;

  // Discards the last measurement and frees its arrays.
  void clear();

  bool sampled = false;  // a profile was sampled: the lines are there to draw
  bool valid = false;    // the last measurement gave results: the model fits
  int32_t cell_count = 0;    // sample lines; line 0 is the central one
  int32_t sample_count = 0;  // samples along each line
  std::vector<thickness_point2> line_start;  // outer end of each line
  std::vector<thickness_point2> line_end;    // inner end of each line
  double inside_fraction = 1.0 / 3.0;  // where the surface lies along the line, 0 to 1
  double offset = 0.0;                 // cm along the line
  std::vector<double> start_z, end_z;
  std::vector<double> fit_buffer;
  std::vector<double> profile;  // the averaged (measured) profile, sample 0 at the outer end
  std::vector<double> weights;
  std::vector<double> model;    // the fitted profile
  // Positions from the line start, cm.
  double outer_edge = 0.0, inner_edge = 0.0;
  double inner_gap_edge = 0.0, inner_layer_end = 0.0;
  double outer_layer_end = 0.0, outer_gap_edge = 0.0;
  double blur = 0.0;
  double endo_end = 0.0;
  double slab_width = 0.0;
  double outer_density = 0.0, cortical_density = 0.0, mean_density = 0.0, inner_density = 0.0;
  double beyond_outer_density = 0.0, beyond_inner_density = 0.0;
  double inner_layer_density = 0.0, outer_layer_density = 0.0;
  // Errors: 1e10 not determined, 1e-4 held fixed or set by rule.
  double fit_error = 0.0;
  double thickness_error = 1e10, outer_gap_error = 1e10, inner_gap_error = 1e10;
  double blur_error = 1e10, endo_error = 1e10;
  double cortical_density_error = 1e10, inner_density_error = 1e10;
  int32_t frame = 0;
  double line_length = 0.0;  // L, cm
  int32_t line_width = 0;
  double point[3] = {0.0, 0.0, 0.0};
  double direction[3] = {0.0, 0.0, 0.0};
  bool reversed = false;
  bool in_frame = false;
  bool inner_layer = false, outer_layer = false;  // the inner and outer gaps were modelled
  double normal[3] = {0.0, 0.0, 0.0};
  bool metal_found = false;
  bool manual = false;
};
