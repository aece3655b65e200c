// The fit's model: the edge response table, the parameter vector and the
// residual callback (weighted profile residuals and the soft bounds).
#include <algorithm>
#include <cmath>
#include <limits>

#include "thickness/thickness.h"
#include "thickness/thickness_fit_internal.h"

namespace {

thickness* bound_engine = nullptr;

// Below this many samples the Gaussian underflows between table entries:
// such a blur is taken as none.
constexpr double kStepSigma = 0.02;
// The soft bounds grow by powers of ten; past this exponent they stop
// growing, so that no residual (nor a difference of two) becomes infinite.
constexpr double kMaxBoundExponent = 100.0;

double bound(double exponent) { return std::pow(10.0, std::min(exponent, kMaxBoundExponent)); }

}  // namespace

void thickness_fit_bind(thickness* engine) { bound_engine = engine; }
thickness* thickness_fit_bound() { return bound_engine; }

bool thickness_fit_state::has_transition() const { return endo_free || endo_width > 0.0; }

void thickness_fit_state::make_layout() {
  thickness_fit_layout l;
  int32_t k = 0;
  if (blur_free) l.sigma = k++;
  if (c_free) l.c = k++;
  if (d_free && !local_peak) l.d = k++;
  if (e_free) l.e = k++;
  l.x0 = k++;
  l.x1 = k++;
  if (endo_free) l.width = k++;
  if (outer_gap) {
    l.outer = k;
    k += 2;
  }
  if (inner_gap) {
    l.inner = k;
    k += 2;
  }
  l.count = k;
  layout = l;
}

int32_t thickness_fit_state::bound_count() const {
  return 2 + (has_transition() ? 2 : 1) + (blur_free ? 2 : 0) + (outer_gap ? 2 : 0) +
         (inner_gap ? 2 : 0);
}

int32_t thickness_fit_state::residual_count() const {
  return (win_end - win_start + 1) + bound_count();
}

void thickness_fit_state::pack(std::vector<double>& x) const {
  const thickness_fit_layout& l = layout;
  x.assign(size_t(l.count), 0.0);
  if (l.sigma >= 0) x[size_t(l.sigma)] = p.sigma;
  if (l.c >= 0) x[size_t(l.c)] = p.c;
  if (l.d >= 0) x[size_t(l.d)] = p.d;
  if (l.e >= 0) x[size_t(l.e)] = p.e;
  x[size_t(l.x0)] = p.x0;
  x[size_t(l.x1)] = p.x1;
  if (l.width >= 0) x[size_t(l.width)] = p.width;
  if (l.outer >= 0) {
    x[size_t(l.outer)] = metal_outside ? p.t : p.m;
    x[size_t(l.outer) + 1] = metal_outside ? p.o : p.t;
  }
  if (l.inner >= 0) {
    x[size_t(l.inner)] = p.u;
    x[size_t(l.inner) + 1] = metal_inside ? p.w : p.v;
  }
}

thickness_fit_params thickness_fit_state::values(const double* x) const {
  const thickness_fit_layout& l = layout;
  thickness_fit_params q = p;
  if (l.sigma >= 0) q.sigma = x[l.sigma];
  if (l.c >= 0) q.c = x[l.c];
  if (l.d >= 0) q.d = x[l.d];
  if (l.e >= 0) q.e = x[l.e];
  q.x0 = x[l.x0];
  q.x1 = x[l.x1];
  if (l.width >= 0) q.width = x[l.width];
  if (l.outer >= 0) {
    (metal_outside ? q.t : q.m) = x[l.outer];
    (metal_outside ? q.o : q.t) = x[l.outer + 1];
  }
  if (l.inner >= 0) {
    q.u = x[l.inner];
    (metal_inside ? q.w : q.v) = x[l.inner + 1];
  }
  return q;
}

void thickness_fit_state::unpack(const double* x) { p = values(x); }

void thickness_fit_state::build_edge_table(double sigma) {
  sigma = std::fabs(sigma);
  const double a = std::fabs(box);
  if (sigma == table_sigma && a == table_box && !S.empty()) return;
  table_sigma = sigma;
  table_box = a;
  step_edge = !(sigma >= kStepSigma);
  if (step_edge) return;
  const int32_t M = 2 * N;
  K.resize(size_t(M));
  S.resize(size_t(M));
  // K[i] = exp(-(i - N - B)^2 / (2 sigma^2)), by ratios outward from sample
  // N + 1: two exponentials per table rather than 2N.
  const double B = a != 0.0 ? 1.0 : 0.5;
  const double c = 1.0 / (2.0 * sigma * sigma), step = std::exp(-2.0 * c);
  const int32_t top = std::min(N + 1, M - 1);
  double y = top - N - B;
  K[size_t(top)] = std::exp(-c * y * y);
  double k = K[size_t(top)], r = std::exp(-c * (2.0 * y + 1.0));
  for (int32_t i = top + 1; i < M; ++i) {
    k *= r;
    r *= step;
    K[size_t(i)] = k;
  }
  k = K[size_t(top)];
  r = std::exp(c * (2.0 * y - 1.0));
  for (int32_t i = top - 1; i >= 0; --i) {
    k *= r;
    r *= step;
    K[size_t(i)] = k;
  }
  if (a != 0.0) {
    auto k_at = [&](double y) {
      if (y <= 0.0) return K[0];
      if (y >= M - 1) return K[size_t(M - 1)];
      const int32_t i = int32_t(y);
      const double f = y - i;
      return K[size_t(i)] + f * (K[size_t(i) + 1] - K[size_t(i)]);
    };
    double c1 = 0.0, c2 = 0.0;
    for (int32_t i = 0; i < M; ++i) {
      c1 += k_at(i + a) - k_at(i - a);
      c2 += c1;
      S[size_t(i)] = c2;
    }
  } else {
    S[0] = K[1];
    for (int32_t i = 1; i < M; ++i) S[size_t(i)] = S[size_t(i - 1)] + K[size_t(i)];
  }
  const double last = S[size_t(M - 1)];
  if (!(last > 0.0) || !std::isfinite(last)) {
    step_edge = true;
    return;
  }
  for (double& v : S) v /= last;
}

double fit_local_peak(const std::vector<double>& p, double from, double to) {
  const int32_t N = int32_t(p.size());
  int32_t a = int32_t(std::floor(from)), b = int32_t(std::ceil(to));
  a = std::max(a, 0);
  b = std::min(b, N - 1);
  if (!(a <= b)) return -std::numeric_limits<double>::infinity();
  int32_t j = a;
  for (int32_t k = a + 1; k <= b; ++k)
    if (p[size_t(k)] > p[size_t(j)]) j = k;
  if (j == a)
    while (j > 0 && p[size_t(j - 1)] > p[size_t(j)]) --j;
  if (j == b)
    while (j < N - 1 && p[size_t(j + 1)] > p[size_t(j)]) ++j;
  return p[size_t(j)];
}

fit_levels evaluate_model(thickness& T, thickness_fit_params q, double sigma_samples) {
  thickness_fit_state& st = T.fit;
  const int32_t N = st.N;
  const std::vector<double>& p = T.profile;
  std::vector<double>& F = T.fit_buffer;
  F.resize(size_t(N));
  fit_levels lv;
  if (st.local_peak) {
    double d = fit_local_peak(p, q.x0, q.x1);
    if (st.outer_gap && !st.metal_outside) d = std::max(d, fit_local_peak(p, q.m, q.t));
    if (st.inner_gap && !st.metal_inside) d = std::max(d, fit_local_peak(p, q.u, q.v));
    if (!std::isfinite(d)) d = st.last_peak;
    st.last_peak = d;
    st.d_in_use = d;
    q.d = d;
    q.e = std::min(q.e, d);
    q.c = std::min(q.c, d);
  } else if (st.layout.d < 0) {
    q.d = st.d_in_use;
  }
  lv.c = q.c;
  lv.d = q.d;
  lv.e = q.e;
  lv.o = st.metal_outside ? q.o : q.d;
  lv.w = st.metal_inside ? q.w : q.d;
  lv.h = st.same_levels ? q.c : q.e;
  lv.a2 = st.same_levels ? q.e : q.c;
  lv.m = st.metal_outside ? -N : q.m;
  lv.v = st.metal_inside ? 2.0 * N : q.v;
  lv.q = q;
  st.build_edge_table(sigma_samples);

  const double f = q.x1 + (st.endo_free ? q.width : st.endo_width);
  const bool ramp = q.x1 < f;
  const double slope = ramp ? (q.e - q.d) / (f - q.x1) : 0.0;
  double running = 0.0;
  for (int32_t i = 0; i < N; ++i) {
    double inner;
    if (ramp) {
      running += slope * (st.edge(i + N - q.x1 - 0.5) - st.edge(i + N - f - 0.5));
      inner = running;
    } else {
      inner = (q.e - q.d) * st.edge(i + N - q.x1);
    }
    if (!(p[size_t(i)] > st.no_value)) {
      F[size_t(i)] = 0.0;
      continue;
    }
    double r = p[size_t(i)] - q.c - (q.d - q.c) * st.edge(i + N - q.x0) - inner;
    if (st.outer_gap) r -= (lv.o - lv.h) * st.edge(i + N - lv.m) + (q.c - lv.o) * st.edge(i + N - q.t) + lv.h - q.c;
    if (st.inner_gap) r -= (lv.w - q.e) * st.edge(i + N - q.u) + (lv.a2 - lv.w) * st.edge(i + N - lv.v);
    F[size_t(i)] = r;
  }
  return lv;
}

void fit_residuals(thickness& T, const double* x, double* fvec) {
  thickness_fit_state& st = T.fit;
  const thickness_fit_params q = st.values(x);
  const fit_levels lv =
      evaluate_model(T, q, st.blur_free ? q.sigma : st.s * st.fixed_sigma);
  const std::vector<double>& F = T.fit_buffer;
  const std::vector<double>& wt = T.weights;
  const int32_t ws = st.win_start, we = st.win_end;
  int32_t k = 0;
  if (st.smooth < 1 || st.metal_outside || st.metal_inside) {
    for (int32_t i = ws; i <= we; ++i) fvec[k++] = wt[size_t(i)] * F[size_t(i)];
  } else {
    // Averaged over the line width, the window's end values standing in
    // for samples beyond it.
    const int32_t n = st.smooth;
    for (int32_t j = ws; j <= we; ++j) {
      double sum = 0.0;
      for (int32_t i = j - n; i <= j + n; ++i) sum += F[size_t(std::min(std::max(i, ws), we))];
      fvec[k++] = wt[size_t(j)] / (2 * n + 1) * sum;
    }
  }
  const double N = st.N;
  const double f = lv.q.x1 + (st.endo_free ? lv.q.width : st.endo_width);
  // On the quantities themselves: lowered to the local peak in the model,
  // an outer or inner density above it would leave the fit a flat valley
  // in which the inner edge drifts off the line.
  fvec[k++] = bound(q.c - lv.d);
  fvec[k++] = bound(q.e - lv.d);
  if (st.has_transition()) {
    fvec[k++] = 100.0 * bound(lv.q.x0 - lv.q.x1);
    fvec[k++] = bound(100.0 * (lv.q.x1 - f));
  } else {
    fvec[k++] = bound(100.0 * (lv.q.x0 - lv.q.x1));
  }
  if (st.blur_free) {
    fvec[k++] = bound(100.0 * (lv.q.sigma - N / 4.0));
    fvec[k++] = bound(100.0 * (1.0 - lv.q.sigma));
  }
  if (st.outer_gap) {
    fvec[k++] = st.metal_outside ? bound(100.0 * (3000.0 - lv.o)) : bound(100.0 * (lv.m - lv.q.t));
    fvec[k++] = bound(100.0 * (lv.q.t - lv.q.x0));
  }
  if (st.inner_gap) {
    fvec[k++] = st.metal_inside ? bound(100.0 * (3000.0 - lv.w)) : bound(100.0 * (lv.q.u - lv.v));
    fvec[k++] = st.has_transition() ? bound(100.0 * (f - lv.q.u)) : bound(100.0 * (lv.q.x1 - lv.q.u));
  }
}

void thickness_residual(int32_t* m, int32_t* n, double* x, double* fvec, int32_t* iflag) {
  for (int32_t i = 0; i < *n; ++i)
    if (std::isnan(x[i])) {
      *iflag = -1;
      return;
    }
  thickness* T = bound_engine;
  if (!T || T->fit.layout.count != *n || T->fit.residual_count() != *m ||
      int32_t(T->profile.size()) != T->fit.N || int32_t(T->weights.size()) != T->fit.N) {
    *iflag = -1;
    return;
  }
  fit_residuals(*T, x, fvec);
}
