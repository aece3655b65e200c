// Thickness mapping over every vertex of a surface, the density estimation
// that runs through the same loop, and the helpers on mapped results.
#include "thickness/surface_mapping.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <wx/file.h>
#include <wx/filename.h>
#include <wx/log.h>

#include "data/dynabuf.h"
#include "data/file_save.h"
#include "data/hm_lmder.h"
#include "data/objects.h"
#include "surfaces/surface_sources.h"
#include "thickness/thickness.h"
#include "thickness/thickness_technique.h"

int64_t thickness_mapping_hooks::now_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

namespace {

constexpr double kNoValue = 1e10;
bool running = false;

bool given(double v) { return v != kNoValue; }

// ---- density fit ----

// The fit's view of the histogram (MINPACK's callback carries no user data).
struct density_fit_data {
  const double* S = nullptr;
  std::vector<double> W;  // working weights, 0 = rejected
  int32_t bins = 0;
};
density_fit_data fit_data;

// erf(0.01 k), k = 0 .. 299, to six decimals.
const std::vector<double>& erf_table() {
  static const std::vector<double> table = [] {
    std::vector<double> t(300);
    for (int k = 0; k < 300; ++k) t[size_t(k)] = std::round(std::erf(0.01 * k) * 1e6) / 1e6;
    return t;
  }();
  return table;
}

double erf_lookup(double x) {
  const std::vector<double>& T = erf_table();
  const double j = x / 0.02;
  if (!(j >= 0.0)) return 0.0;
  if (j >= 299.0) return 1.0;
  const int32_t k = int32_t(j);
  const double f = j - k;
  return T[size_t(k)] * (1.0 - f) + T[size_t(k) + 1] * f;
}

// 10^e with the exponent kept where a double holds the result: the bounds
// are penalties, and an infinite one would poison the Jacobian.
double bound(double e) { return std::pow(10.0, std::min(e, 200.0)); }

// ---- one vertex's frame ----

struct frame_geometry {
  matrix4_t to_frame;  // world (cm) to frame (cm)
};

vec3_t rotate(const matrix4_t& m, const vec3_t& d) {
  return {m[0] * d.x + m[4] * d.y + m[8] * d.z, m[1] * d.x + m[5] * d.y + m[9] * d.z,
          m[2] * d.x + m[6] * d.y + m[10] * d.z};
}

vec3_t unit_or_zero(const vec3_t& v) {
  const double l = vec3_length(v);
  return l > 0.0 ? v * (1.0 / l) : v;
}

// The profile dump of one mapping, kept in memory and appended to the file
// through the save helper at the end: a block header "NVLD", the samples per
// profile N and the profile count (both 32-bit, native order), then the
// profiles, N doubles each.
class profile_dump {
 public:
  explicit profile_dump(const wxString& stub) : stub_(stub) {}
  void add(const thickness& engine) {
    if (engine.sampled && engine.sample_count > 0) {
      if (N_ == 0) N_ = engine.sample_count;
      if (engine.sample_count == N_) {
        data_.insert(data_.end(), engine.profile.begin(), engine.profile.begin() + N_);
        ++count_;
        return;
      }
    }
    pending_fill_.push_back(data_.size());
    ++count_;
    no_value_ = engine.options.no_value;
  }
  void write() {
    if (count_ == 0 || N_ == 0) return;
    // Profiles that were not sampled hold N no-value samples.
    std::vector<double> out;
    out.reserve(data_.size() + pending_fill_.size() * size_t(N_));
    size_t from = 0;
    for (size_t at : pending_fill_) {
      out.insert(out.end(), data_.begin() + long(from), data_.begin() + long(at));
      out.insert(out.end(), size_t(N_), no_value_);
      from = at;
    }
    out.insert(out.end(), data_.begin() + long(from), data_.end());
    const wxString path = stub_ + "_line_data.bin";
    std::string bytes;
    if (wxFileName::FileExists(path)) {
      wxFile in(path);
      const wxFileOffset len = in.IsOpened() ? in.Length() : -1;
      if (len < 0) {
        wxLogError("Could not read '%s' to add the line profiles.", path);
        return;
      }
      bytes.resize(size_t(len));
      if (len > 0 && in.Read(&bytes[0], size_t(len)) != len) {
        wxLogError("Could not read '%s' to add the line profiles.", path);
        return;
      }
    }
    const int32_t head[2] = {N_, int32_t(count_)};
    bytes.append("NVLD", 4);
    bytes.append(reinterpret_cast<const char*>(head), sizeof head);
    bytes.append(reinterpret_cast<const char*>(out.data()), out.size() * sizeof(double));
    wxString why;
    if (!save_file(path, bytes, &why)) wxLogError("%s", why);
  }

 private:
  wxString stub_;
  int32_t N_ = 0;
  size_t count_ = 0;
  std::vector<double> data_;
  std::vector<size_t> pending_fill_;  // positions in data_ of unsampled profiles
  double no_value_ = 0.0;
};

struct running_guard {
  running_guard() { running = true; }
  ~running_guard() { running = false; }
};

}  // namespace

bool thickness_mapping_running() { return running; }

bool thickness_blur_regression(double a, double b, double c, double d, double e, double& in,
                               double& out) {
  in = out = 0.0;
  const double f = c * e - a * a;
  if (!(f > 0.0)) return false;
  const double g = (b * e - a * d) / f;
  if (!(g > 0.0)) return false;
  in = std::sqrt(g);
  const double slope = (c * d - a * b) / f;
  out = slope + g > g / 9.0 ? std::sqrt(slope + g) : in / 3.0;
  return true;
}

double thickness_combined_fwhm(double cos, double in, double out) {
  if (out == kNoValue) return in;
  return std::sqrt((1.0 - cos * cos) * in * in + cos * cos * out * out);
}

void density_estimate_residual(int32_t* m, int32_t* n, double* x, double* fvec, int32_t* iflag) {
  (void)n;
  const double D = x[0], c = x[1], f = x[2];
  if (std::isnan(D) || std::isnan(c) || std::isnan(f)) {
    *iflag = -1;
    return;
  }
  const int32_t bins = std::min(fit_data.bins, *m - 3);
  const bool degenerate = D <= 0.0 || f <= 0.0;
  for (int32_t i = 0; i < bins; ++i) {
    const double w = fit_data.W[size_t(i)];
    if (w == 0.0) {
      fvec[i] = 0.0;
      continue;
    }
    const double mean = fit_data.S[i] / w;
    const double arg = degenerate ? 1000.0 * i : 150.0 * i / (std::sqrt(2.0) * D * f);
    const double E = i == 0 ? 0.0 : erf_lookup(arg);
    fvec[i] = (mean - E * (degenerate ? c : D) - c) * w;
  }
  fvec[bins] = bound(-D);
  fvec[bins + 1] = bound(D - 5000.0);
  fvec[bins + 2] = bound(-10.0 * f);
}

void thickness_density_fit(thickness_estimation& e, int32_t bins) {
  e.real_density = e.density_variance = e.background = e.background_variance = 0.0;
  e.blur = e.blur_variance = e.rms = 0.0;
  e.status = 4;
  fit_data.bins = 0;
  if (bins <= 3) return;
  fit_data.S = e.S;
  fit_data.bins = bins;
  fit_data.W.assign(e.W, e.W + bins);
  int32_t m = bins + 3, n = 3, info = 0;
  double x[3] = {1400.0, 0.0, 1.0};
  double tol = 1e-8;
  std::vector<double> fvec(static_cast<size_t>(m), 0.0);
  double cov[9] = {};
  for (int round = 0; round < 4; ++round) {
    hm_lmdif(density_estimate_residual, &m, &n, x, fvec.data(), &tol, &info,
             round == 3 ? cov : nullptr);
    if (round == 3) break;
    // Bins far off the model are left out of the next round.
    double largest = 0.0;
    std::vector<double> r(size_t(bins), 0.0);
    for (int32_t i = 0; i < bins; ++i) {
      if (e.S[i] > 0.0 && e.W[i] != 0.0) r[size_t(i)] = fvec[size_t(i)] / e.W[i];
      largest = std::max(largest, std::fabs(r[size_t(i)]));
    }
    for (int32_t i = 0; i < bins; ++i)
      if (std::fabs(r[size_t(i)]) > largest / 2.0) fit_data.W[size_t(i)] = 0.0;
  }
  if (info < 0) info = 5;
  e.status = info;
  if (info >= 1 && info <= 3) {
    const double D = x[0];
    e.real_density = D + x[1];
    e.density_variance = cov[0];
    e.background = x[1];
    e.background_variance = cov[4];
    e.blur = x[2];
    e.blur_variance = cov[8];
    if (D <= 0.0 || D >= 5000.0 || cov[0] == 0.0 || cov[4] == 0.0 || x[2] <= 0.0 || cov[8] == 0.0)
      e.status = 4;
  }
  if (e.status >= 1 && e.status <= 3) {
    double sum = 0.0;
    for (int32_t i = 0; i < bins; ++i)
      if (fvec[size_t(i)] != 0.0) sum += fvec[size_t(i)] * fvec[size_t(i)];
    e.rms = std::sqrt(sum / bins);
  } else {
    e.real_density = e.density_variance = e.background = e.background_variance = 0.0;
    e.blur = e.blur_variance = 0.0;
  }
}

bool surface_interp::weighted_average(const std::vector<double>& values,
                                      const std::vector<double>& errors, double& sum,
                                      double& weight) {
  sum = weight = 0.0;
  if (values.empty() || errors.empty()) return false;
  const size_t n = std::min(values.size(), errors.size());
  for (size_t i = 0; i < n; ++i) {
    const double e = errors[i];
    if (!(e > 0.0) || e == kNoValue) continue;
    sum += values[i] / (e * e);
    weight += 1.0 / (e * e);
  }
  return true;
}

void surface_interp::convert_from_fwhm(double B) {
  const size_t n = size_t(std::max(mesh.n_points, 0));
  if (n == 0 || mesh.n_triangles <= 0 || !fwhm_pending || cortical_thickness.size() != n ||
      density.size() != n || fit_error.size() != n)
    return;
  for (size_t i = 0; i < n; ++i) {
    if (fit_error[i] == kNoValue) continue;
    // A background at or above the cortical density leaves no thickness.
    const double contrast = B - density[i];
    if (!(contrast > 0.0)) {
      cortical_thickness[i] = 0.0;
      fit_error[i] = kNoValue;
      density[i] = B;
      continue;
    }
    cortical_thickness[i] /= contrast;
    density[i] = B;
  }
  fwhm_pending = false;
}

void surface_interp::calc_thickness(thickness_mapping_hooks* hooks, thickness_estimation* est) {
  if (running || !resource_table || !frame_store) return;
  resource_table_t& t = *resource_table;
  thickness* engine = t.RES_THICKNESS ? t.RES_THICKNESS->read() : nullptr;
  if (!engine) return;

  // Prerequisites: positioned frames from image files, each with its pixels.
  const int32_t frames = int32_t(t.RES_BUF_FRAMES->read());
  if (!t.RES_POS_REC->read() || !t.RES_BUF_DICOM->read() || frames <= 1) return;
  if (frame_store->images.size() < size_t(frames) || frame_store->positions.size() < size_t(frames))
    return;
  matrix4_t C = calibration;
  if (C[15] == 0.0) C = surface_calibration_from_resources();  // never set on this surface
  std::vector<matrix4_t> to_frame(static_cast<size_t>(frames));
  for (int32_t j = 0; j < frames; ++j) {
    if (!frame_store->positions[size_t(j)] || !frame_store->images[size_t(j)]) return;
    matrix4_t P, M;
    matrix4_from_position_t(P, *frame_store->positions[size_t(j)]);
    matrix4_multiply(P, M, C);
    matrix4_rigid_inverse(M, to_frame[size_t(j)]);
  }
  // The engine measures in the frame's own axes and orders the frames by
  // their distance along its normal, so a stack recorded against its normal
  // needs no flip here.

  running_guard guard;
  const bool estimating = est != nullptr;
  const thickness_options opts = thickness_options_from_resources();
  const bool local_density = opts.local_density;
  const bool endo = opts.endo_model;
  const bool gaps_outer = !estimating && opts.outer_layer;
  const bool gaps_inner = !estimating && opts.inner_layer;
  const int32_t n = std::max(mesh.n_points, 0);
  const size_t un = size_t(n);

  int32_t bins = 0;
  if (estimating) {
    for (int32_t i = 0; i < thickness_estimation::kBins; ++i) {
      if (est->S[i] > 0.0) bins = i + 1;
      est->W[i] = std::fabs(est->W[i]);
    }
  }
  const long remembered_frame = t.RES_BUF_CURRENT_FRAME->read();
  int32_t v = 1;
  while (n / v > 30000) v *= 10;
  fwhm_pending = estimating && !local_density;
  reversed = opts.reverse;

  // Directions.
  const long map_direction = t.RES_THICKNESS_MAP_DIRECTION->read();
  const bool directed = !estimating && (map_direction == 1 || map_direction == 2);
  if (directed) {
    update_map_directions(100, opts.line / 3.0);
  } else {
    std::vector<vec3_t>().swap(directions);
    std::vector<double>().swap(segment_length);
  }
  const bool use_directions = directed && directions.size() == un;

  // Arrays.
  auto fresh = [un](std::vector<double>& a, double value) { a.assign(un, value); };
  fresh(cortical_thickness, 0.0);
  fresh(smoothed_thickness, 0.0);
  fresh(fit_error, kNoValue);
  fresh(blur, 0.0), fresh(blur_error, kNoValue);
  fresh(inner_density, 0.0), fresh(inner_density_error, kNoValue);
  fresh(outer_density, 0.0);
  const bool density_kept = local_density && density.size() == un;
  if (!density_kept) fresh(density, 0.0);
  if (estimating)
    std::vector<double>().swap(surface_offset);
  else
    fresh(surface_offset, 0.0);
  auto pair = [&](bool on, std::vector<double>& a, std::vector<double>& e) {
    if (on) {
      fresh(a, 0.0), fresh(e, kNoValue);
    } else {
      std::vector<double>().swap(a), std::vector<double>().swap(e);
    }
  };
  pair(endo, endo_thickness, endo_error);
  pair(gaps_outer, outer_gap, outer_gap_error);
  pair(gaps_inner, inner_gap, inner_gap_error);

  // Progress.
  wxString name;
  if (t.RES_OBJECT && object >= 0 && object <= 200)
    if (const contour_object* objects = t.RES_OBJECT->read()) name = objects[object].name;
  const wxString units = t.RES_DICOM_UNITS ? t.RES_DICOM_UNITS->read() : wxString();
  if (hooks)
    hooks->open((estimating ? "Estimating density for " : "Mapping thickness over ") + name,
                wxString::Format("Calculating thickness values close to point %i of %li.\n\n\n", 0,
                                 long(n)),
                n / v);
  int64_t last_update = hooks ? hooks->now_ms() : 0, last_fit = last_update;
  int64_t budget = 200;
  bool fitted_since = false;

  // The profile dump, beside the data file only.
  std::unique_ptr<profile_dump> dump;
  if (opts.output_data >= 0) {
    const wxFileName data_file = t.RES_ASCII_FILENAME->read();
    if (!data_file.GetName().empty()) {
      const wxString stub = wxFileName(data_file.GetPath(), data_file.GetName()).GetFullPath();
      wxLogMessage("Writing data to '%s_line_data.bin'.", stub);
      dump = std::make_unique<profile_dump>(stub);
    }
  }

  // The settings stay as they were at the start for the whole mapping.
  engine->held_options = &opts;
  const double line_mm = opts.line * 10.0;
  int32_t frame = 0;  // of the vertex measured last
  for (int32_t i = 0; i < n; ++i) {
    const surface_point& p = mesh.points[i];
    if (p.type != POINT_DUPLICATE) {
      const vec3_t P{p.x, p.y, p.z};
      double best = std::numeric_limits<double>::infinity();
      for (int32_t j = 0; j < frames; ++j) {
        const matrix4_t& M = to_frame[size_t(j)];
        const double z = std::fabs(M[2] * P.x + M[6] * P.y + M[10] * P.z + M[14]);
        if (z < best) best = z, frame = j;
      }
      const matrix4_t& M = to_frame[size_t(frame)];
      vec3_t local;
      matrix4_transform_point(local, M, P);
      const vec3_t nrm = unit_or_zero({p.nx, p.ny, p.nz});
      const vec3_t dir_world = use_directions ? unit_or_zero(directions[size_t(i)]) : nrm;
      const vec3_t dir = rotate(M, dir_world);
      const vec3_t ref = use_directions ? rotate(M, nrm) : vec3_t{};
      double point[3] = {local.x / opts.xscale, local.y / opts.yscale, local.z / opts.xscale};
      double direction[3] = {dir.x, dir.y, dir.z};
      double normal[3] = {ref.x, ref.y, ref.z};
      double offset = segment_length.size() == un ? segment_length[size_t(i)] / 10.0 : 0.0;
      double cortical = kNoValue;
      if (local_density && !estimating) {
        offset = 0.0;
        normal[0] = normal[1] = normal[2] = 0.0;
        if (density_kept) cortical = density[size_t(i)];
      }
      engine->measure(frame, point, direction, false, offset, normal, cortical);

      const thickness& e = *engine;
      const double cos = e.direction[0] * e.normal[0] + e.direction[1] * e.normal[1] +
                         e.direction[2] * e.normal[2];
      const double inner = endo && e.endo_error != kNoValue ? (e.endo_end + e.inner_edge) / 2.0
                                                            : e.inner_edge;
      const size_t k = size_t(i);
      auto half = [](double err) { return err * 0.5 + 0.005; };
      if (!estimating) {
        if (e.valid && e.thickness_error != kNoValue) {
          cortical_thickness[k] = std::fabs((inner - e.outer_edge) * 10.0 * cos);
          fit_error[k] = given(opts.b) || e.cortical_density_error != kNoValue
                             ? half(e.thickness_error)
                             : kNoValue;
          density[k] = e.cortical_density;
          surface_offset[k] = cos * (e.line_length * e.inside_fraction - e.outer_edge) * 10.0;
          if (e.blur_error != kNoValue) blur[k] = 10.0 * e.blur, blur_error[k] = half(e.blur_error);
          if (endo && e.endo_error != kNoValue) {
            endo_thickness[k] = cos * (e.endo_end - e.inner_edge) * 10.0;
            endo_error[k] = half(e.endo_error);
          }
          if (e.inner_density_error != kNoValue) {
            inner_density[k] = e.inner_density;
            inner_density_error[k] = half(e.inner_density_error);
          }
          outer_density[k] = e.outer_density;
          if (gaps_outer && e.outer_gap_error != kNoValue) {
            outer_gap[k] = cos * (e.outer_edge - e.outer_gap_edge) * 10.0;
            outer_gap_error[k] = half(e.outer_gap_error);
          }
          if (gaps_inner && e.inner_gap_error != kNoValue) {
            inner_gap[k] = cos * (e.inner_gap_edge - e.inner_edge) * 10.0;
            inner_gap_error[k] = half(e.inner_gap_error);
          }
        } else if (opts.type == thickness_offset) {
          cortical_thickness[k] = line_mm;
          fit_error[k] = 1e-4;
        }
        if (dump) dump->add(e);
      } else if (e.valid && !given(opts.b) && e.fit_error > 0.0 && !(opts.metal && e.metal_found)) {
        const double z = e.direction[2];
        const double d = e.cortical_density;
        const double b = (e.inner_density + e.outer_density) / 2.0;
        const double thick = std::fabs((inner - e.outer_edge) * 10.0 * cos);
        const double mass = (d - b) * thick;
        const double w = (1.0 - std::fabs(z)) * d * std::pow(2.0 / (e.blur_error + 0.01), 2);
        const double x = z * z, y = std::pow(std::max(1e-4, 10.0 * e.blur), 2);
        double* sums = est->blur_sums;
        sums[0] += w, sums[1] += x * w, sums[2] += y * w, sums[3] += x * y * w, sums[4] += x * x * w;
        if (std::fabs(z) < 0.9) {
          // Truncated toward zero, so that a slightly negative mass counts
          // in bin 0; NaN and masses beyond the histogram count nowhere.
          const double place = mass / 150.0 + 0.5;
          const int32_t bin = place > -1.0 && place < thickness_estimation::kBins ? int32_t(place) : -1;
          if (bin >= 0) {
            const double wb = std::pow(2.0 * d / (e.thickness_error + 0.01), 2);
            est->S[bin] += wb * d, est->Q[bin] += wb * d * d, est->W[bin] += wb;
            bins = std::max(bins, bin + 1);
            fitted_since = false;
          }
        }
        fit_error[k] = half(e.thickness_error);
        cortical_thickness[k] = fwhm_pending ? mass : thick;
        density[k] = fwhm_pending ? b : d;
        if (e.blur_error != kNoValue) blur[k] = 10.0 * e.blur, blur_error[k] = half(e.blur_error);
        if (endo && e.endo_error != kNoValue) {
          endo_thickness[k] = (e.endo_end - e.inner_edge) * 10.0;
          endo_error[k] = half(e.endo_error);
        }
        if (e.inner_density_error != kNoValue) {
          inner_density[k] = e.inner_density;
          inner_density_error[k] = half(e.inner_density_error);
        }
        outer_density[k] = e.outer_density;
      } else if (dump && !e.valid) {
        dump->add(e);
      }
    }

    if (!hooks) continue;
    const int64_t now = hooks->now_ms();
    const bool last = i == n - 1;
    if (!(now - last_update > 200 || last)) continue;
    last_update = now;
    wxString message;
    if (!estimating) {
      message = wxString::Format("Calculating thickness values close to point %li of %li.\n",
                                 long(i), long(n));
    } else {
      if (now - last_fit > 2000 || last) {
        thickness_density_fit(*est, bins);
        last_fit = now;
        fitted_since = true;
      }
      double in = 0.0, out = 0.0;
      const double* s = est->blur_sums;
      thickness_blur_regression(s[1], s[2], s[0], s[3], s[4], in, out);
      if (est->status >= 4)
        message = wxString::Format(
            "Calculating thickness values close to point %li of %li.\nNot enough information to "
            "determine density.\nEstimated FWHM blur is %.2lf mm (in), %.2lf mm (out).",
            long(i), long(n), 2.3548 * in, 2.3548 * out);
      else
        message = wxString::Format(
            "Calculating thickness values close to point %li of %li.\nEstimated real cortical "
            "density is %.0lf+/-%.0lf %s (background %.0lf+/-%.0lf %s).\nEstimated FWHM blur is "
            "%.2lf (modelled) or %.2lf mm (in), %.2lf mm (out).",
            long(i), long(n), est->real_density, 2.0 * std::sqrt(est->density_variance), units,
            est->background, 2.0 * std::sqrt(est->background_variance), units,
            2.3548 * est->blur, 2.3548 * in, 2.3548 * out);
    }
    if (!hooks->update(i / v, message)) break;
    // The views follow the mapping within a time budget.
    const bool refresh = budget <= 200;
    budget -= 200;
    if (refresh) {
      t.RES_BUF_CURRENT_FRAME->write(frame);
      t.RES_REDISPLAY_THICKNESS->write();
      base_res_t::make_pending_writes_happen();
      hooks->refresh_views();
      budget = 6 * (hooks->now_ms() - now);
    }
  }
  engine->held_options = nullptr;

  if (estimating) {
    if (!fitted_since) thickness_density_fit(*est, bins);
    if (est->status >= 1 && est->status <= 3) ++est->successes;
    t.RES_BUF_CURRENT_FRAME->write(remembered_frame);
    base_res_t::make_pending_writes_happen();
    // Bins the fit left out are kept negated, for the graph.
    for (int32_t b = 0; b < fit_data.bins; ++b)
      if (est->W[b] != 0.0 && fit_data.W[size_t(b)] == 0.0) est->W[b] = -est->W[b];
  } else {
    // Surface means of the outer and inner densities, where not given.
    auto mean = [&](const std::vector<double>& values, const std::vector<double>& errors) {
      double sum = 0.0;
      long count = 0;
      for (size_t k = 0; k < un; ++k)
        if (errors[k] != kNoValue) sum += values[k], ++count;
      return count ? sum / double(count) : kNoValue;
    };
    if (t.RES_THICKNESS_C_AVERAGE->read() == kNoValue) {
      const double m = mean(inner_density, inner_density_error);
      if (m != kNoValue) {
        t.RES_THICKNESS_C_AVERAGE->write(m);
        base_res_t::make_pending_writes_happen();
      }
    }
    if (t.RES_THICKNESS_A_AVERAGE->read() == kNoValue) {
      const double m = mean(outer_density, fit_error);
      if (m != kNoValue) {
        t.RES_THICKNESS_A_AVERAGE->write(m);
        base_res_t::make_pending_writes_happen();
      }
    }
  }
  if (dump) dump->write();
  engine->clear();
  t.RES_REDISPLAY_THICKNESS->write();
  base_res_t::make_pending_writes_happen();
  if (hooks) hooks->close();
}
