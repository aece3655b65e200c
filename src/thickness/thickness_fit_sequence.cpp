// The model fit path: set-up from the options, start values, the edge and
// gap detection on the profile's differences, the metal window, the sequence
// of fits and the results with their acceptance.
#include <algorithm>
#include <cmath>

#include "data/hm_lmder.h"
#include "thickness/thickness.h"
#include "thickness/thickness_fit_internal.h"

namespace {

constexpr double kNoValue = 1e10;
constexpr double kMetal = 3000.0;       // a sample this dense is metal
constexpr double kMetalStart = 8000.0;  // start value of a metal layer's density

bool given(double v) { return v != kNoValue; }
bool succeeded(int32_t status) { return status >= 1 && status <= 3; }

// Gradient extrema between samples k and k + 1 of the second differences.
struct differences {
  std::vector<double> D1, D2;
  bool max_at(int32_t k) const { return D2[size_t(k)] > 0.0 && D2[size_t(k) + 1] <= 0.0; }
  bool min_at(int32_t k) const { return D2[size_t(k)] <= 0.0 && D2[size_t(k) + 1] > 0.0; }
  double d1(double pos) const {
    const int32_t n = int32_t(D1.size());
    double r = std::round(pos);
    if (!(r >= 0.0)) r = 0.0;
    if (r > n - 1) r = n - 1;
    return D1[size_t(r)];
  }
};

differences make_differences(const std::vector<double>& p) {
  const int32_t N = int32_t(p.size());
  differences d;
  d.D1.assign(size_t(N), 0.0);
  d.D2.assign(size_t(N), 0.0);
  for (int32_t k = 1; k + 1 < N; ++k) {
    d.D1[size_t(k)] = p[size_t(k + 1)] - p[size_t(k - 1)];
    d.D2[size_t(k)] = p[size_t(k - 1)] + p[size_t(k + 1)] - 2.0 * p[size_t(k)];
  }
  if (N >= 3) {
    d.D1[0] = d.D1[1];
    d.D2[0] = d.D2[1];
    d.D1[size_t(N - 1)] = d.D1[size_t(N - 2)];
    d.D2[size_t(N - 1)] = d.D2[size_t(N - 2)];
  }
  return d;
}

// What the search on the differences found; sample indices, -1 none.
struct detected_edges {
  int32_t r = -1, f = -1;          // rising (outer) and falling (inner) edge
  int32_t outer_edge = -1, outer_end = -1;  // outer gap edge and outer end of its far layer
  int32_t inner_edge = -1, inner_end = -1;  // inner gap edge and inner end of its far layer
};

detected_edges detect_edges(const differences& df, int32_t start, int32_t end, int32_t M0,
                            bool want_outer, bool want_inner) {
  detected_edges out;
  const std::vector<double>& D1 = df.D1;
  double G1 = 0.0;
  for (int32_t k = start; k <= end; ++k) G1 = std::max(G1, std::fabs(D1[size_t(k)]));
  G1 *= 2.0;
  int32_t r = -1, f = -1;
  int32_t in = std::max(M0, start), out_k = std::min(M0 - 1, end - 1);
  while (!(r >= 0 && f >= 0)) {
    bool moved = false;
    if (in <= end - 1) {
      moved = true;
      if (df.max_at(in)) {
        if (r < 0) {
          r = in;
          f = -1;
        }
      } else if (df.min_at(in)) {
        if (f < 0) f = in;
      }
      ++in;
    }
    if (r >= 0 && f >= 0) break;
    if (out_k >= start) {
      moved = true;
      if (df.min_at(out_k)) {
        if (r < 0 && f < 0) f = out_k;
      } else if (df.max_at(out_k) && r < 0) {
        if (f >= 0 && f < M0 && D1[size_t(out_k)] - D1[size_t(f)] < 0.1 * G1)
          r = f = -1;
        else
          r = out_k;
      }
      --out_k;
    }
    if (!moved) break;
  }
  if (r < 0 || f < 0) return out;
  const double T = std::max(0.1 * G1, 0.25 * (D1[size_t(r)] - D1[size_t(f)]));

  if (want_inner) {
    // A gradient minimum before any candidate has nothing to compare with
    // and is passed over.
    int32_t cand = -1;
    for (int32_t k = f + 1; k <= end - 1; ++k) {
      if (df.max_at(k)) {
        if (cand < 0 || D1[size_t(k)] > D1[size_t(cand)]) cand = k;
      } else if (df.min_at(k) && cand >= 0) {
        if (D1[size_t(k)] <= D1[size_t(cand)] - T) {
          out.inner_edge = cand;
          out.inner_end = k;
          break;
        }
        if (D1[size_t(cand)] - D1[size_t(f)] < T) {
          f = k;
          cand = -1;
        }
      }
    }
    if (out.inner_edge >= 0 && D1[size_t(out.inner_edge)] - D1[size_t(f)] < T)
      out.inner_edge = out.inner_end = -1;
  }
  if (want_outer) {
    int32_t cand = -1;
    for (int32_t k = r - 1; k >= start; --k) {
      if (df.min_at(k)) {
        if (cand < 0 || D1[size_t(k)] < D1[size_t(cand)]) cand = k;
      } else if (df.max_at(k) && cand >= 0) {
        if (D1[size_t(k)] >= D1[size_t(cand)] + T) {
          out.outer_edge = cand;
          out.outer_end = k;
          break;
        }
        if (D1[size_t(r)] - D1[size_t(cand)] < T) {
          r = k;
          cand = -1;
        }
      }
    }
    if (out.outer_edge >= 0 && D1[size_t(r)] - D1[size_t(out.outer_edge)] < T)
      out.outer_edge = out.outer_end = -1;
  }
  out.r = r;
  out.f = f;
  return out;
}

// Covariance entry (i, j) of the last fit; 0 for a held quantity.
double covariance(const thickness_fit_state& st, int32_t i, int32_t j) {
  if (i < 0 || j < 0) return 0.0;
  const size_t n = size_t(st.layout.count);
  if (st.covariance.size() < n * n) return 0.0;
  return st.covariance[size_t(i) * n + size_t(j)];
}

double two_se(double variance) { return variance > 0.0 ? 2.0 * std::sqrt(variance) : kNoValue; }

}  // namespace

// The covariance of the fitted quantities under independent noise of equal
// spread on the profile samples. The driver's estimate scales (J'J)^-1 by
// the variance of the weighted residuals, which the small weights far from
// the point pull down: its errors came out about 2.5 times too small. Here
// (J'J)^-1 J' B B' J (J'J)^-1 s^2, B carrying each sample's noise into the
// residuals (its weight, and the averaging over the line width) and s^2 the
// variance of the unweighted profile residuals. (J'J)^-1 is the driver's,
// so quantities it found undetermined keep a variance of 0.
static void sample_noise_covariance(thickness& T, std::vector<double>& x, const std::vector<double>& fvec) {
  thickness_fit_state& st = T.fit;
  const int32_t n = st.layout.count, m = int32_t(fvec.size());
  const int32_t ws = st.win_start, we = st.win_end, rows = we - ws + 1;
  double fn2 = 0.0;
  for (double v : fvec) fn2 += v * v;
  std::vector<double>& C = st.covariance;
  if (!(fn2 > 0.0) || !std::isfinite(fn2)) return;
  std::vector<double> bread(C.size());
  for (size_t i = 0; i < C.size(); ++i) bread[i] = C[i] * (m - n) / fn2;

  // The residuals' Jacobian over the profile rows, by forward differences.
  std::vector<double> r0(static_cast<size_t>(m)), r1(static_cast<size_t>(m));
  std::vector<double> J(static_cast<size_t>(rows) * static_cast<size_t>(n));
  fit_residuals(T, x.data(), r0.data());
  const std::vector<double> F = T.fit_buffer;
  const double eps = std::sqrt(2.220446049250313e-16);
  for (int32_t j = 0; j < n; ++j) {
    const double keep = x[size_t(j)];
    const double h = keep != 0.0 ? eps * std::fabs(keep) : eps;
    x[size_t(j)] = keep + h;
    fit_residuals(T, x.data(), r1.data());
    x[size_t(j)] = keep;
    for (int32_t i = 0; i < rows; ++i) J[size_t(i) * size_t(n) + size_t(j)] = (r1[size_t(i)] - r0[size_t(i)]) / h;
  }
  fit_residuals(T, x.data(), r0.data());  // the model of x again in fit_buffer

  // G = J' B: how each sample's noise moves the normal equations.
  const int32_t N = st.N;
  const bool smoothed = !(st.smooth < 1 || st.metal_outside || st.metal_inside);
  std::vector<double> G(size_t(n) * size_t(N), 0.0);
  for (int32_t i = 0; i < rows; ++i) {
    const int32_t row = ws + i;
    const double w = T.weights[size_t(row)];
    auto add = [&](int32_t k, double b) {
      for (int32_t a = 0; a < n; ++a) G[size_t(a) * size_t(N) + size_t(k)] += J[size_t(i) * size_t(n) + size_t(a)] * b;
    };
    if (!smoothed) {
      add(row, w);
    } else {
      const int32_t h = st.smooth;
      for (int32_t k = row - h; k <= row + h; ++k) add(std::min(std::max(k, ws), we), w / (2 * h + 1));
    }
  }
  double ss = 0.0;
  int32_t present = 0;
  for (int32_t k = ws; k <= we; ++k)
    if (T.profile[size_t(k)] > st.no_value) {
      ss += F[size_t(k)] * F[size_t(k)];
      ++present;
    }
  if (present <= n) return;
  const double s2 = ss / (present - n);
  std::vector<double> meat(size_t(n) * size_t(n), 0.0);
  for (int32_t a = 0; a < n; ++a)
    for (int32_t b = 0; b < n; ++b) {
      double sum = 0.0;
      for (int32_t k = ws; k <= we; ++k)
        if (T.profile[size_t(k)] > st.no_value)
          sum += G[size_t(a) * size_t(N) + size_t(k)] * G[size_t(b) * size_t(N) + size_t(k)];
      meat[size_t(a) * size_t(n) + size_t(b)] = sum;
    }
  std::vector<double> tmp(size_t(n) * size_t(n), 0.0);
  for (int32_t a = 0; a < n; ++a)
    for (int32_t b = 0; b < n; ++b) {
      double sum = 0.0;
      for (int32_t c = 0; c < n; ++c) sum += bread[size_t(a) * size_t(n) + size_t(c)] * meat[size_t(c) * size_t(n) + size_t(b)];
      tmp[size_t(a) * size_t(n) + size_t(b)] = sum;
    }
  for (int32_t a = 0; a < n; ++a)
    for (int32_t b = 0; b < n; ++b) {
      double sum = 0.0;
      for (int32_t c = 0; c < n; ++c) sum += tmp[size_t(a) * size_t(n) + size_t(c)] * bread[size_t(c) * size_t(n) + size_t(b)];
      C[size_t(a) * size_t(n) + size_t(b)] = s2 * sum;
    }
}

// One least-squares run over the current layout, window and weights; the
// fitted values replace the current ones. 1 to 3 success, 4 or more failure.
static int32_t run_fit(thickness& T) {
  thickness_fit_state& st = T.fit;
  st.make_layout();
  int32_t n = st.layout.count;
  if (st.win_end - st.win_start + 1 <= n) return 10;
  int32_t m = st.residual_count();
  std::vector<double> x, fvec(size_t(m), 0.0);
  st.pack(x);
  st.covariance.assign(size_t(n) * size_t(n), 0.0);
  double tol = 1e-8;
  int32_t info = 0;
  thickness_fit_bind(&T);
  hm_lmdif(thickness_residual, &m, &n, x.data(), fvec.data(), &tol, &info, st.covariance.data());
  st.unpack(x.data());
  if (info < 0) return 5;
  if (info == 0) return 4;
  if (succeeded(info)) sample_noise_covariance(T, x, fvec);
  return info;
}

int32_t thickness::model_fit() {
  thickness_fit_state& st = fit;
  const int32_t N = sample_count;
  const double L = line_length;
  const std::vector<double>& p = profile;
  const double nv = options.no_value;
  st = thickness_fit_state();
  st.N = N;
  st.s = (N - 1) / L;
  st.no_value = nv;
  metal_found = false;

  // Set-up.
  st.box = in_frame ? st.s * slab_width * 0.5 : 0.0;
  st.outer_gap = outer_layer;
  st.inner_gap = inner_layer;
  st.smooth = options.width;
  st.same_levels = options.same_levels;
  st.metal = options.metal;
  const double G = options.gauss, R = options.rect;
  st.blur_free = !given(G);
  if (given(G) && options.post_blur) {
    st.blur_free = true;
    st.post_blur = true;
  }
  if (options.endo_model) st.blur_free = true;
  double cosv = direction[0] * normal[0] + direction[1] * normal[1] + direction[2] * normal[2];
  // A reference normal at right angles to the line would divide by zero.
  if (std::fabs(cosv) < 1e-3) cosv = cosv < 0.0 ? -1e-3 : 1e-3;
  const double dz = direction[2];
  double sigma_f = 0.0;
  if (given(G))
    sigma_f = given(R) ? std::sqrt((1.0 - dz * dz) * G * G + dz * dz * R * R) / cosv : G / cosv;
  st.fixed_sigma = sigma_f;
  st.c_free = !given(options.a);
  st.d_free = !given(density_in_use);
  st.e_free = !given(options.c);
  st.local_peak = options.fwhm && st.d_free;
  if (st.d_free && st.blur_free && !st.local_peak) {
    st.local_peak = true;
    st.peak_switched = true;
  }
  st.win_start = 0;
  st.win_end = N - 1;

  // Start values.
  double lowest = kNoValue, highest = -kNoValue;
  for (int32_t k = 0; k < N; ++k)
    if (p[size_t(k)] > nv) {
      lowest = std::min(lowest, p[size_t(k)]);
      highest = std::max(highest, p[size_t(k)]);
    }
  if (lowest == kNoValue) return 10;
  thickness_fit_params& q = st.p;
  q.sigma = 1.0;
  q.c = st.c_free ? lowest : options.a;
  q.e = st.e_free ? lowest : options.c;
  q.d = st.d_free ? highest : density_in_use;
  st.d_in_use = st.d_free ? highest : density_in_use;
  st.last_peak = highest;
  q.x0 = (N - 1) / 6.0;
  q.x1 = 5.0 * (N - 1) / 6.0;
  q.o = q.w = kMetalStart;

  const differences df = make_differences(p);
  if (outer_layer || inner_layer || options.metal) {
    const detected_edges de = detect_edges(df, 0, N - 1, int32_t((N - 1) * inside_fraction),
                                           outer_layer, inner_layer);
    if (de.r >= 0 && de.f >= 0) {
      q.x0 = de.r + 0.5;
      q.x1 = de.f + 0.5;
    }
    st.outer_gap = outer_layer && de.outer_edge >= 0;
    st.inner_gap = inner_layer && de.inner_edge >= 0;
    if (st.outer_gap) {
      q.m = de.outer_end + 0.5;
      q.t = de.outer_edge + 0.5;
    }
    if (st.inner_gap) {
      q.u = de.inner_edge + 0.5;
      q.v = de.inner_end + 0.5;
    }
  }

  // Metal: a sample of 3000 or more cuts the window before it, or becomes a
  // layer of its own where a gap edge was found beyond its foot.
  int32_t inner_foot = N - 1, outer_foot = 0;
  if (options.metal) {
    const int32_t Mi = int32_t(N * inside_fraction);
    for (int32_t k = Mi + 1; k < N; ++k) {
      if (!(p[size_t(k)] >= kMetal)) continue;
      metal_found = true;
      const int32_t window_end = k - 1;
      // The foot lies outward of the metal sample itself: the window never
      // reaches the metal.
      inner_foot = window_end;
      for (int32_t j = k - 1; j >= 0; --j)
        if (df.D1[size_t(j)] < 0.0) {
          inner_foot = j;
          break;
        }
      if (st.inner_gap && inner_foot < q.u) {
        st.metal_inside = true;
        st.win_end = window_end;
        q.u = window_end;
        q.w = kMetalStart;
        if (given(options.c_average) && p[size_t(inner_foot)] > options.c_average) {
          st.e_free = false;
          q.e = options.c_average;
        }
      } else {
        st.win_end = inner_foot;
      }
      break;
    }
    for (int32_t k = Mi - 1; k >= 0; --k) {
      if (!(p[size_t(k)] >= kMetal)) continue;
      metal_found = true;
      const int32_t window_start = k + 1;
      outer_foot = window_start;
      for (int32_t j = k + 1; j < N; ++j)
        if (df.D1[size_t(j)] > 0.0) {
          outer_foot = j;
          break;
        }
      const double gap_edge = st.outer_gap ? q.t : -1.0;
      if (outer_foot > gap_edge) {
        st.outer_gap = true;
        st.metal_outside = true;
        st.win_start = window_start;
        q.t = window_start;
        q.o = kMetalStart;
        if (given(options.a_average) && p[size_t(outer_foot)] > options.a_average) {
          st.c_free = false;
          q.c = options.a_average;
        }
      } else {
        st.win_start = outer_foot;
      }
      break;
    }
  }
  const thickness_fit_params start = q;

  // The fit sequence.
  int32_t status = run_fit(*this);
  if (status == 10) return status;
  if (succeeded(status)) {
    set_weights(q.x0);
    status = run_fit(*this);
  }
  if (st.inner_gap) {
    const double last = st.metal_inside ? q.w : q.v;
    const bool drop = !succeeded(status) || last < q.u ||
                      df.d1(q.u) - df.d1(q.x1) < 0.25 * (df.d1(q.x0) - df.d1(last)) || q.x0 > q.x1;
    if (drop) {
      st.win_end = inner_foot;
      st.inner_gap = st.metal_inside = false;
      q.x0 = start.x0;
      q.x1 = start.x1;
      q.m = start.m, q.t = start.t, q.o = start.o;
      status = run_fit(*this);
    }
  }
  if (st.outer_gap) {
    const double first = st.metal_outside ? q.t : q.m, second = st.metal_outside ? q.o : q.t;
    const bool drop = !succeeded(status) || first > second ||
                      df.d1(q.x0) - df.d1(second) < 0.25 * (df.d1(first) - df.d1(q.x1)) || q.x1 < q.x0;
    if (drop) {
      st.win_start = outer_foot;
      st.outer_gap = st.metal_outside = false;
      q.x0 = start.x0;
      q.x1 = start.x1;
      q.u = start.u, q.v = start.v, q.w = start.w;
      status = run_fit(*this);
    }
  }
  if (status == 10) return status;

  // The endocortical transition: fitted once with its width free, then held.
  double kept_variance = 0.0;
  if (options.endo_model && succeeded(status)) {
    const thickness_fit_params before = q;
    const std::vector<double> before_weights = weights;
    set_weights(q.x1);
    for (size_t k = 0; k < weights.size(); ++k) weights[k] *= before_weights[k];
    q.width = 1.8 * (q.x1 - q.x0);
    q.x1 = q.x1 - 0.9 * (before.x1 - before.x0);
    st.endo_free = true;
    status = run_fit(*this);
    st.endo_free = false;
    if (succeeded(status)) {
      if ((q.x1 + q.width) / st.s > L) {
        set_all_errors(kNoValue);
        return 5;
      }
      const int32_t i1 = st.layout.x1, iw = st.layout.width;
      kept_variance = covariance(st, i1, i1) + covariance(st, iw, iw) + 2.0 * covariance(st, i1, iw);
      // The covariance of the remaining quantities, the width taken out.
      const thickness_fit_layout with = st.layout;
      const std::vector<double> full = st.covariance;
      st.endo_width = q.width;
      st.make_layout();
      const int32_t n = st.layout.count, nw = with.count;
      st.covariance.assign(size_t(n) * size_t(n), 0.0);
      auto old_index = [&](int32_t i) { return i >= with.width ? i + 1 : i; };
      for (int32_t i = 0; i < n; ++i)
        for (int32_t j = 0; j < n; ++j)
          st.covariance[size_t(i) * size_t(n) + size_t(j)] =
              full[size_t(old_index(i)) * size_t(nw) + size_t(old_index(j))];
      set_weights(q.x0);
    } else {
      q = before;
      weights = before_weights;
      status = run_fit(*this);
    }
  }

  // Post-blur correction of the cortical density for a known blur.
  if (given(G) && st.blur_free && st.post_blur && st.layout.d < 0 && succeeded(status)) {
    const double half = 0.5 * st.endo_width;
    const double outer_cm = q.x0 / st.s, inner_cm = (q.x1 + half) / st.s;
    const double sigma_k = in_frame ? std::sqrt(std::pow(slab_width / 2.3548, 2) + std::pow(G / cosv, 2))
                                    : sigma_f;
    const fit_levels lv = evaluate_model(*this, q, st.s * sigma_k);
    const double d = lv.d;
    int32_t a = std::max(int32_t(std::floor(q.x0)), 0), b = std::min(int32_t(std::ceil(q.x1 + half)), N - 1);
    if (a <= b) {
      int32_t j = a;
      for (int32_t k = a + 1; k <= b; ++k)
        if (p[size_t(k)] > p[size_t(j)]) j = k;
      if (j == a)
        while (a > 0 && p[size_t(a - 1)] > p[size_t(a)]) j = --a;
      if (j == b)
        while (b < N - 1 && p[size_t(b + 1)] > p[size_t(b)]) j = ++b;
      const double p_data = p[size_t(j)];
      double p_model = -kNoValue;
      for (int32_t k = a; k <= b; ++k) p_model = std::max(p_model, p[size_t(k)] - fit_buffer[size_t(k)]);
      const double base = std::max(lv.e, lv.c);
      if (p_model > base) {
        const double d_new = base + (d - base) * (p_data - base) / (p_model - base);
        if (d_new < 2.0 * st.d_in_use &&
            ((inner_cm - outer_cm) / (std::sqrt(2.0) * sigma_k) > 0.5 || d_new < st.d_in_use)) {
          st.d_in_use = d_new;
          status = run_fit(*this);
        }
      }
    }
  }

  // d freed again when the local peak stood in for it.
  if (st.peak_switched) {
    if (!succeeded(status)) {
      set_all_errors(kNoValue);
      return 10;
    }
    st.local_peak = false;
    q.d = st.last_peak;
    for (double& w : weights) w *= 10.0;
    status = run_fit(*this);
  }

  if (!succeeded(status)) {
    set_all_errors(kNoValue);
    return status == 10 ? 10 : std::max(status, 4);
  }

  // Results.
  std::vector<double> x;
  st.pack(x);
  const fit_levels lv = evaluate_model(*this, st.values(x.data()), st.blur_free ? q.sigma : st.s * st.fixed_sigma);
  double ss = 0.0;
  for (int32_t k = 0; k < N; ++k) {
    ss += fit_buffer[size_t(k)] * fit_buffer[size_t(k)];
    model[size_t(k)] = p[size_t(k)] - fit_buffer[size_t(k)];
  }
  fit_error = std::sqrt(ss / N);
  const thickness_fit_layout& l = st.layout;
  const double s = st.s;
  auto var = [&](int32_t i) { return covariance(st, i, i); };
  if (st.blur_free) {
    blur = std::fabs(q.sigma) * cosv / s;
    blur_error = var(l.sigma) > 0.0 ? 2.0 * std::sqrt(var(l.sigma)) * cosv / s : kNoValue;
  } else {
    blur = cosv * sigma_f;
    blur_error = 1e-4;
  }
  outer_density = lv.c;
  cortical_density = lv.d;
  cortical_density_error = l.d >= 0 ? two_se(var(l.d)) : 1e-4;
  inner_layer_density = outer_layer_density = lv.d;
  inner_density = lv.e;
  inner_density_error = l.e >= 0 ? two_se(var(l.e)) : 1e-4;
  const double x0 = std::min(std::max(q.x0, 0.0), double(N));
  const double x1 = std::min(std::max(q.x1, 0.0), double(N));
  // Each error is that of the quantity reported, a sum or difference of
  // fitted positions, so their covariances count too.
  auto cov = [&](int32_t i, int32_t j) { return covariance(st, i, j); };
  const double v0 = var(l.x0), v1 = var(l.x1), vw = l.width >= 0 ? var(l.width) : 0.0;
  const bool positive = v0 > 0.0 && v1 > 0.0 && (l.width < 0 || vw > 0.0);
  const double vt = v0 + v1 + vw - 2.0 * cov(l.x0, l.x1) + 2.0 * cov(l.x1, l.width) - 2.0 * cov(l.x0, l.width);
  thickness_error = positive && vt > 0.0 ? 2.0 * std::sqrt(vt) / s : kNoValue;
  double sum = 0.0;
  int32_t n = 0;
  for (int32_t k = int32_t(x0); k <= x1 && k < N; ++k)
    if (p[size_t(k)] > nv) {
      sum += p[size_t(k)];
      ++n;
    }
  mean_density = n > 0 ? sum / n : 0.0;
  const bool transition = st.has_transition();
  if (l.width >= 0)
    endo_error = v1 + vw + 2.0 * cov(l.x1, l.width) > 0.0
                     ? 2.0 * std::sqrt(v1 + vw + 2.0 * cov(l.x1, l.width)) / s
                     : kNoValue;
  else if (st.endo_width > 0.0)
    endo_error = kept_variance > 0.0 ? 2.0 * std::sqrt(kept_variance) / s : kNoValue;
  else
    endo_error = kNoValue;
  outer_edge = x0 / s;
  inner_edge = x1 / s;
  const double width = l.width >= 0 ? q.width : st.endo_width;
  endo_end = transition ? inner_edge + width / s : 0.0;

  beyond_outer_density = lv.h;
  if (st.outer_gap) {
    outer_layer = true;
    outer_layer_end = st.metal_outside ? -N / s : q.m / s;
    outer_gap_edge = q.t / s;
    const int32_t gi = st.metal_outside ? l.outer : l.outer + 1;
    const double g = v0 + var(gi) - 2.0 * cov(l.x0, gi);
    outer_gap_error = g > 0.0 ? 2.0 * std::sqrt(g) / s : kNoValue;
    if (st.metal_outside) outer_layer_density = lv.o;
  } else {
    outer_gap_error = kNoValue;
    outer_layer = false;
    outer_layer_end = outer_gap_edge = 0.0;
  }
  beyond_inner_density = lv.a2;
  if (st.inner_gap) {
    inner_layer = true;
    inner_gap_edge = q.u / s;
    inner_layer_end = st.metal_inside ? 2.0 * N / s : q.v / s;
    if (st.metal_inside) inner_layer_density = lv.w;
    const double g = v1 + var(l.inner) - 2.0 * cov(l.x1, l.inner);
    inner_gap_error = g > 0.0 ? 2.0 * std::sqrt(g) / s : kNoValue;
  } else {
    inner_gap_error = kNoValue;
    inner_layer = false;
    inner_gap_edge = inner_layer_end = (N - 1) / s;
  }
  if (transition && !(inner_edge > outer_edge) && endo_end > inner_edge) inner_edge = outer_edge + 0.01 / s;

  // Acceptance.
  const bool accepted = !std::isnan(v0) && !std::isnan(v1) && lv.d > lv.c && lv.d > lv.e &&
                        inner_edge > outer_edge && thickness_error != kNoValue &&
                        (!st.blur_free || blur < L / 4.0) && outer_edge >= 0.0 &&
                        outer_edge <= L && inner_edge >= 0.0 && inner_edge <= L;
  if (!accepted) {
    set_all_errors(kNoValue);
    return 10;
  }
  if (transition && (!(endo_end > inner_edge) || endo_end < 0.0 ||
                     (inner_layer && endo_end >= inner_gap_edge))) {
    endo_end = 0.0;
    endo_error = kNoValue;
  }
  if (outer_layer && (!(outer_gap_edge < outer_edge) || outer_gap_edge < 0.0)) {
    outer_layer = false;
    outer_gap_error = kNoValue;
    outer_layer_end = outer_gap_edge = 0.0;
  }
  if (inner_layer && (!(inner_gap_edge > inner_edge) || inner_gap_edge > L)) {
    inner_layer = false;
    inner_gap_error = kNoValue;
    inner_gap_edge = inner_layer_end = (N - 1) / s;
  }
  return status;
}
