// The engine's life cycle, the settings it reads, the line geometry of a
// measurement and the choice of its path.
#include "thickness/thickness.h"

#include <cmath>

#include "data/dynabuf.h"
#include "medical/dicom_utility.h"
#include "registry/resource_table.h"
#include "thickness/thickness_technique.h"

namespace {

constexpr double kNoValue = 1e10;

bool given(double v) { return v != kNoValue; }

}  // namespace

thickness_options thickness_options_from_resources() {
  thickness_options o;
  resource_table_t* t = resource_table;
  if (!t) return o;
  o.type = t->RES_THICKNESS_TYPE->read();
  o.line = t->RES_THICKNESS_LINE->read();
  o.width = t->RES_THICKNESS_WIDTH->read();
  o.output_data = t->RES_THICKNESS_OUTPUT_DATA->read();
  o.inner_layer = t->RES_THICKNESS_INNER_LAYER->read();
  o.outer_layer = t->RES_THICKNESS_OUTER_LAYER->read();
  o.in_frame = t->RES_THICKNESS_IN_FRAME->read();
  o.threshold = t->RES_THICKNESS_THRESHOLD->read();
  o.fwhm = t->RES_THICKNESS_FWHM->read();
  o.reverse = t->RES_THICKNESS_REVERSE->read();
  o.endo_model = t->RES_THICKNESS_ENDO_MODEL->read();
  o.same_levels = t->RES_THICKNESS_DE_FROM_AC->read();
  o.local_density = t->RES_THICKNESS_LOCAL_DENSITY->read();
  o.post_blur = t->RES_THICKNESS_POST_BLUR->read();
  o.metal = t->RES_THICKNESS_METAL->read();
  o.gauss = t->RES_THICKNESS_GAUSS->read();
  o.rect = t->RES_THICKNESS_RECT->read();
  o.a = t->RES_THICKNESS_A->read();
  o.b = t->RES_THICKNESS_B->read();
  o.c = t->RES_THICKNESS_C->read();
  o.c_average = t->RES_THICKNESS_C_AVERAGE->read();
  o.a_average = t->RES_THICKNESS_A_AVERAGE->read();

  o.buf_dicom = t->RES_BUF_DICOM->read();
  o.data_16bit = dicom_utility::data_16bit;
  o.xscale = t->RES_XSCALE->read();
  o.yscale = t->RES_YSCALE->read();
  o.zscale = t->RES_ZSCALE->read();
  o.buf_width = t->RES_BUF_WIDTH->read();
  o.buf_height = t->RES_BUF_HEIGHT->read();
  o.slope = t->RES_DICOM_HUM->read();
  o.intercept = t->RES_DICOM_HUB->read();
  o.no_value = double(dicom_utility::padding_value) * o.slope + o.intercept;
  o.slice_thickness = dicom_utility::slice_thickness;
  o.calibration[0] = t->RES_XTRANS->read();
  o.calibration[1] = t->RES_YTRANS->read();
  o.calibration[2] = t->RES_ZTRANS->read();
  o.calibration[3] = t->RES_AZIMUTH->read();
  o.calibration[4] = t->RES_ELEVATION->read();
  o.calibration[5] = t->RES_ROLL->read();
  return o;
}

thickness::thickness() = default;

thickness::~thickness() {
  if (thickness_fit_bound() == this) thickness_fit_bind(nullptr);
}

void thickness::free_arrays() {
  for (std::vector<thickness_point2>* v : {&line_start, &line_end}) std::vector<thickness_point2>().swap(*v);
  for (std::vector<double>* v : {&start_z, &end_z, &fit_buffer, &profile, &weights, &model,
                                 &cell_samples, &fit.K, &fit.S, &fit.covariance})
    std::vector<double>().swap(*v);
  fit.table_sigma = fit.table_box = -1.0;
  cell_count = 0;
  sample_count = 0;
}

void thickness::clear() {
  sampled = false;
  valid = false;
  free_arrays();
}

void thickness::set_weights(double a) {
  const int32_t N = sample_count;
  weights.assign(size_t(std::max(N, 0)), 1.0);
  if (N < 3) return;
  // The centre stays inside the profile: at the line start (or before it)
  // the weights would divide by zero or turn negative.
  if (!(a >= 1.0)) a = 1.0;
  if (a > N - 2) a = N - 2;
  const double span = N - 1;
  for (int32_t k = 0; k < N; ++k) {
    const double u = (k + a) / span, v = (k - a) / span;
    weights[size_t(k)] = u / (19.0 * span / a * v * v + u);
  }
}

void thickness::set_all_errors(double value) {
  thickness_error = outer_gap_error = inner_gap_error = value;
  blur_error = endo_error = value;
  cortical_density_error = inner_density_error = value;
}

void thickness::to_cm(double s) {
  for (double* p : {&outer_edge, &inner_edge, &inner_gap_edge, &inner_layer_end, &outer_layer_end,
                    &outer_gap_edge, &endo_end})
    *p /= s;
}

bool thickness::lay_lines(double E, const double d[3]) {
  const double xs = std::fabs(options.xscale), ys = std::fabs(options.yscale);
  const double L = line_length;
  const int32_t n = line_width, side = 2 * n + 1;
  if (in_frame) {
    const double h = std::hypot(d[0], d[1]);
    if (d[0] * d[0] + d[1] * d[1] <= 0.01) return false;
    cell_count = side;
    line_start.assign(size_t(side), {});
    line_end.assign(size_t(side), {});
    const double px = d[1] / h, py = -d[0] / h, qx = d[0] / h, qy = d[1] / h;
    for (int32_t k = -n; k <= n; ++k) {
      const size_t cell = size_t((k + side) % side);
      const double cx = point[0] + k * px, cy = point[1] + k * py;
      line_start[cell] = {cx + E * L * qx / xs, cy + E * L * qy / ys};
      line_end[cell] = {cx - (1.0 - E) * L * qx / xs, cy - (1.0 - E) * L * qy / ys};
    }
    // The slab of one slice, seen along the line (|d_z| / sqrt(1 - d_z^2)
    // for a unit direction).
    slab_width = std::fabs(d[2]) / h * options.slice_thickness;
    return true;
  }
  cell_count = side * side;
  line_start.assign(size_t(cell_count), {});
  line_end.assign(size_t(cell_count), {});
  start_z.assign(size_t(cell_count), -1.0);
  end_z.assign(size_t(cell_count), -1.0);
  // u across the line in the frame's plane; a line along z takes the x axis.
  double u[3] = {1.0, 0.0, 0.0};
  const double h = std::hypot(d[0], d[1]);
  if (h > 1e-9) {
    u[0] = d[1] / h;
    u[1] = -d[0] / h;
  }
  double v[3] = {d[1] * u[2] - d[2] * u[1], d[2] * u[0] - d[0] * u[2], d[0] * u[1] - d[1] * u[0]};
  const double vl = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (vl > 0.0)
    for (double& c : v) c /= vl;
  for (int32_t j = -n; j <= n; ++j)
    for (int32_t i = -n; i <= n; ++i) {
      const size_t cell = size_t((i + side) % side + side * ((j + side) % side));
      if (i * i + j * j > n * n) continue;
      double C[3];
      for (int a = 0; a < 3; ++a) C[a] = point[a] + i * u[a] + j * v[a];
      line_start[cell] = {C[0] + E * L * d[0] / xs, C[1] + E * L * d[1] / ys};
      line_end[cell] = {C[0] - (1.0 - E) * L * d[0] / xs, C[1] - (1.0 - E) * L * d[1] / ys};
      start_z[cell] = C[2] * xs + d[2] * L * E;
      end_z[cell] = C[2] * xs - d[2] * L * (1.0 - E);
    }
  slab_width = 0.0;
  return true;
}

void thickness::measure(int32_t frame_index, double pt[3], double dir[3], bool is_manual,
                        double length_or_offset, double ref_normal[3], double density) {
  if (!prepare_measurement(frame_index, pt, dir, is_manual, length_or_offset, ref_normal, density)) return;
  status = measure_profile();
  valid = status >= 1 && status < 4;
}

bool thickness::prepare_measurement(int32_t frame_index, double pt[3], double dir[3], bool is_manual,
                                    double length_or_offset, double ref_normal[3], double density) {
  options = held_options ? *held_options : thickness_options_from_resources();
  clear();
  status = 0;
  const int32_t frames = frame_store ? int32_t(frame_store->images.size()) : 0;
  if (!options.buf_dicom || !options.data_16bit || frame_index < 0 || frame_index >= frames ||
      options.type == thickness_offset)
    return false;

  reversed = options.reverse;
  if (reversed)
    for (int a = 0; a < 3; ++a) {
      dir[a] = -dir[a];
      ref_normal[a] = -ref_normal[a];
    }
  line_length = options.line;
  line_width = options.width;
  manual = is_manual;
  if (manual) {
    line_length = length_or_offset;
    inside_fraction = 0.5;
    inner_layer = outer_layer = true;
    offset = 0.0;
  } else {
    offset = length_or_offset;
    inner_layer = options.inner_layer;
    outer_layer = options.outer_layer;
    inside_fraction = outer_layer && !inner_layer ? 0.4 : 1.0 / 3.0;
  }

  // Lengths, scales and counts that would give no sensible line, or lines
  // too many or too long to sample, give no measurement.
  const double xs = std::fabs(options.xscale), ys = std::fabs(options.yscale);
  const double L = line_length;
  if (!(L > 0.0) || !std::isfinite(L) || !(xs > 0.0) || !(ys > 0.0) || !std::isfinite(xs) ||
      !std::isfinite(ys) || line_width < 0 || line_width > kThicknessMaxWidth)
    return false;
  double N = options.output_data;
  if (options.output_data <= 0) {
    double p = 0.5 * (xs + ys);
    const double z = std::fabs(options.zscale);
    if (options.zscale != 0.0 && z < p) p = z;
    // A ratio a rounding error above a whole number keeps that number.
    N = std::ceil(L / (0.5 * p) - 1e-9);
    if (!(N >= 50.0)) N = std::isnan(N) ? kThicknessMaxSamples + 1.0 : 50.0;
  }
  if (N > kThicknessMaxSamples) return false;

  const bool has_position =
      frame_store && frame_index < int32_t(frame_store->positions.size()) &&
      frame_store->positions[size_t(frame_index)];
  in_frame = options.in_frame || !has_position;
  frame = frame_index;
  for (int a = 0; a < 3; ++a) {
    point[a] = pt[a];
    direction[a] = dir[a];
  }
  if (!lay_lines(inside_fraction, dir)) {
    free_arrays();
    return false;
  }
  if (in_frame)
    for (int a = 0; a < 3; ++a) ref_normal[a] = dir[a];
  const bool zero_normal = ref_normal[0] == 0.0 && ref_normal[1] == 0.0 && ref_normal[2] == 0.0;
  for (int a = 0; a < 3; ++a) normal[a] = zero_normal ? dir[a] : ref_normal[a];
  density_in_use = given(density) ? density : options.b;
  sample_count = int32_t(N);
  return true;
}

void thickness::remeasure() {
  if (!sampled || held_options) return;
  double pt[3] = {point[0], point[1], point[2]};
  double dir[3] = {direction[0], direction[1], direction[2]};
  double nrm[3] = {normal[0], normal[1], normal[2]};
  if (reversed)
    for (int a = 0; a < 3; ++a) {
      dir[a] = -dir[a];
      nrm[a] = -nrm[a];
    }
  const bool reverse_now = resource_table && resource_table->RES_THICKNESS_REVERSE->read();
  if (offset != 0.0 && reverse_now != reversed) offset = 0.0;
  measure(frame, pt, dir, manual, manual ? line_length : offset, nrm, kNoValue);
}

int32_t thickness::sample_profile() {
  set_weights((sample_count - 1) * inside_fraction);
  const int32_t s = sample_lines();
  if (s == 0) sampled = true;
  return s;
}

int32_t thickness::measure_profile() {
  const int32_t s = sample_profile();
  return s != 0 ? s : run_path();
}

void thickness::reset_results() {
  for (double* v : {&outer_edge, &inner_edge, &inner_gap_edge, &inner_layer_end, &outer_layer_end,
                    &outer_gap_edge, &blur, &endo_end, &outer_density, &cortical_density, &mean_density,
                    &inner_density, &beyond_outer_density, &beyond_inner_density, &inner_layer_density,
                    &outer_layer_density, &fit_error})
    *v = 0.0;
  set_all_errors(kNoValue);
  metal_found = false;
}

int32_t thickness::run_path() {
  // Nothing of an earlier measurement stays to be taken for this one's.
  reset_results();
  const int32_t N = sample_count;
  if (N < 2 || int32_t(profile.size()) < N || !(line_length > 0.0)) return 10;
  if (int32_t(weights.size()) != N) set_weights((N - 1) * inside_fraction);
  fit_buffer.assign(size_t(N), 0.0);
  model.assign(size_t(N), 0.0);
  if (manual) return threshold_search();
  if (options.threshold && options.endo_model && cell_count > 1) return per_line_count();
  if (options.threshold) return threshold_search();
  return model_fit();
}
