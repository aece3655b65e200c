// The drift fit: correlating frame after frame lets small errors add up, so
// the corrected poses are drawn back towards the recorded ones by a smooth
// drift (a rigid offset at the start plus in-plane steps per frame that vary
// as a polynomial along the sweep), fitted by least squares on the corners
// of every frame.
#include <wx/log.h>

#include <algorithm>
#include <cmath>
#include <new>

#include "data/data_io_ui.h"
#include "data/hm_lmder.h"
#include "registry/resource_table.h"
#include "segmentation/image_correlation.h"

namespace {

// What the residual routine needs; MINPACK's routine has no user pointer, so
// it is set for the duration of one fit (never used concurrently).
struct fit_state_t {
  const std::vector<correlation_frame_t>* records = nullptr;
  const double* s = nullptr;  // path parameter per record
  int32_t W = 0, H = 0;
  double x_scale = 0.0, y_scale = 0.0;
  bool pressure = false;
  int32_t terms = 3;
  bool final_evaluation = false;
};
fit_state_t fit_state;

// One record's drift transform, chained from the previous record's T.
void position_fit_transform(const double* x, double s, matrix4_t& T, const matrix4_t& C, bool first) {
  matrix4_t inverse, a, b;
  matrix4_rigid_inverse(C, inverse);
  if (first) {
    matrix4_t F;
    matrix4_from_position(F, x[0], x[1], x[2], x[3], x[4], x[5]);
    matrix4_multiply(C, a, F);
    matrix4_multiply(a, T, inverse);
    return;
  }
  double dx = 0.0, dy = 0.0;
  for (int i = fit_state.terms - 1; i >= 0; --i) {
    dx = dx * s + x[7 + 2 * i];
    dy = dy * s + x[6 + 2 * i];
  }
  matrix4_t Tr;
  matrix4_translation(Tr, dx, dy, 0.0);
  matrix4_multiply(T, a, C);
  matrix4_multiply(a, b, Tr);
  matrix4_multiply(b, T, inverse);
}

// Squared distances between the corners of record k's frame placed by the
// drift-corrected pose and by the recorded one.
void position_fit_residuals(const correlation_frame_t& r, const matrix4_t& T, double* out) {
  const fit_state_t& f = fit_state;
  matrix4_t Ci, Ti, a, M;
  matrix4_rigid_inverse(r.corrected_pose, Ci);
  matrix4_rigid_inverse(T, Ti);
  matrix4_multiply(Ci, a, Ti);
  matrix4_multiply(a, M, r.recorded_pose);
  const double w = f.W * f.x_scale;
  const int32_t far_rows = f.pressure ? f.H - 20 : f.H;
  const double h = far_rows * f.y_scale;
  double E = 0.0;
  if (f.pressure && r.row_offsets.size() == static_cast<size_t>(f.H) && f.H > 21)
    E = (static_cast<double>(r.row_offsets[static_cast<size_t>(f.H - 21)]) - r.row_offsets[10]) * f.y_scale;
  const vec3_t corners[4] = {{0, 0, 0}, {w, 0, 0}, {w, h, 0}, {0, h, 0}};
  for (int i = 0; i < 4; ++i) {
    vec3_t m;
    matrix4_transform_point(m, M, corners[i]);
    vec3_t d = m - corners[i];
    if (f.pressure) {
      // Pressure moves the first row's content only along y until the end;
      // the far corners carry the compression measured between them.
      if (i < 2 && !f.final_evaluation) d.y = 0.0;
      if (i >= 2) d.y += E;
    }
    out[i] = vec3_dot(d, d);
  }
}

void position_fit_callback(int32_t* m, int32_t*, double* x, double* fvec, int32_t*) {
  const std::vector<correlation_frame_t>& records = *fit_state.records;
  matrix4_t T;
  const size_t n = std::min(records.size(), static_cast<size_t>(*m / 4));
  for (size_t k = 0; k < n; ++k) {
    position_fit_transform(x, fit_state.s[k], T, records[k].corrected_pose, k == 0);
    position_fit_residuals(records[k], T, fvec + 4 * k);
  }
}

}  // namespace

bool image_correlation::adjust_positions(double& p, double& q) {
  p = q = 0.0;
  const size_t N = pending.size();
  if (N == 0) return true;
  std::unique_ptr<double[]> residuals(new (std::nothrow) double[4 * N]);
  if (!residuals) {
    data_report(wxLOG_Error, "No space to malloc position adjustment error vector.");
    return false;
  }
  std::unique_ptr<double[]> s(new (std::nothrow) double[N]);
  if (!s) {
    data_report(wxLOG_Error, "No space to malloc position adjustment parameter.");
    return false;
  }
  const resource_table_t& t = *resource_table;
  fit_state = fit_state_t();
  fit_state.records = &pending;
  fit_state.s = s.get();
  fit_state.W = t.RES_BUF_WIDTH->read();
  fit_state.H = t.RES_BUF_HEIGHT->read();
  fit_state.x_scale = x_scale;
  fit_state.y_scale = y_scale;
  fit_state.pressure = correct_pressure;

  // The path through the image centres, 0 at the first record, 1 at the last;
  // centres that all coincide give equal steps instead.
  const vec3_t centre{(fit_state.W / 2) * x_scale, (fit_state.H / 2) * y_scale, 0};
  vec3_t last;
  matrix4_transform_point(last, pending[0].corrected_pose, centre);
  s[0] = 0.0;
  for (size_t k = 1; k < N; ++k) {
    vec3_t c;
    matrix4_transform_point(c, pending[k].corrected_pose, centre);
    s[k] = s[k - 1] + vec3_length(c - last);
    last = c;
  }
  const double length = s[N - 1];
  for (size_t k = 0; k < N; ++k)
    s[k] = length > 0.0 && std::isfinite(length) ? s[k] / length : N > 1 ? double(k) / double(N - 1) : 0.0;

  // Degree 2 and 3; the smaller largest residual wins, the lower degree at a tie.
  double best = 1e10;
  fit_terms = 3;
  fit_parameters.assign(6 + 2 * 3, 0.0);
  for (int32_t j = 3; j <= 4; ++j) {
    fit_state.terms = j;
    std::vector<double> x(static_cast<size_t>(2 * j + 6), 0.0);
    int32_t m = static_cast<int32_t>(4 * N), n = 2 * j + 6, info = 0;
    double tol = 1e-4;
    hm_lmdif(position_fit_callback, &m, &n, x.data(), residuals.get(), &tol, &info, nullptr);
    position_fit_callback(&m, &n, x.data(), residuals.get(), &info);
    double e = 0.0;
    for (size_t i = 0; i < 4 * N; ++i) e = std::isnan(residuals[i]) ? residuals[i] : std::max(e, residuals[i]);
    if (e < best) {
      best = e;
      fit_terms = j;
      fit_parameters = x;
    }
  }
  wxLogDebug("Used %li degree polynomial", long(fit_terms));

  // The final evaluation: movements, then every pose drift-corrected.
  fit_state.terms = fit_terms;
  fit_state.final_evaluation = true;
  matrix4_t T;
  for (size_t k = 0; k < N; ++k) {
    correlation_frame_t& r = pending[k];
    position_fit_transform(fit_parameters.data(), s[k], T, r.corrected_pose, k == 0);
    double d[4];
    position_fit_residuals(r, T, d);
    q = std::max({q, d[0], d[1]});
    p = std::max({p, d[2], d[3]});
    matrix4_t moved, probe;
    matrix4_multiply(T, moved, r.corrected_pose);
    r.corrected_pose = moved;
    matrix4_multiply(moved, probe, calibration_inverse);
    double v[6];
    matrix4_to_position(probe, v[0], v[1], v[2], v[3], v[4], v[5]);
    for (int i = 0; i < 6; ++i) r.corrected_position[i] = static_cast<float>(v[i]);
  }
  p = std::sqrt(p);
  q = std::sqrt(q);
  fit_state = fit_state_t();
  return true;
}
