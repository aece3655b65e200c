// The threshold paths: the half-way threshold search on the averaged profile
// (two passes, with the gap layers beyond either edge) and the per-line
// count, which thresholds every line on its own and counts the lines above.
#include <algorithm>
#include <cmath>

#include "thickness/thickness.h"

namespace {

constexpr double kNoValue = 1e10;

bool given(double v) { return v != kNoValue; }

}  // namespace

double thickness_level_mean(const std::vector<double>& p, double from, double to, bool peaks,
                            bool second, double no_value) {
  const int32_t N = int32_t(p.size());
  const int32_t i0 = int32_t(from + 0.5), i1 = int32_t(to + 0.5);
  auto counted = [&](int32_t k) { return k >= 0 && k < N && p[size_t(k)] != no_value; };
  double sum = 0.0;
  int32_t n = 0;
  if (peaks != second) {
    const int32_t lo = std::max(i0 + 1, 1), hi = std::min(i1 - 2, N - 2);
    for (int32_t k = lo; k <= hi; ++k) {
      if (!counted(k)) continue;
      const double a = p[size_t(k - 1)], v = p[size_t(k)], b = p[size_t(k + 1)];
      if (peaks ? (v > a && v >= b) : (v < a && v <= b)) {
        sum += v;
        ++n;
      }
    }
    if (n > 0) return sum / n;
    for (int32_t k = std::max(i0 + 1, 0); k <= std::min(i1 - 2, N - 1); ++k)
      if (counted(k)) {
        sum += p[size_t(k)];
        ++n;
      }
    return n > 0 ? sum / n : 0.0;
  }
  for (int32_t k = std::max(i0, 0); k <= std::min(i1 - 1, N - 1); ++k)
    if (counted(k)) {
      sum += p[size_t(k)];
      ++n;
    }
  return n > 0 ? sum / n : 0.0;
}

int32_t thickness::threshold_search() {
  const int32_t N = sample_count;
  const double nv = options.no_value;
  const std::vector<double>& p = profile;
  const int32_t M = int32_t((N - 1) * inside_fraction);
  auto present = [&](int32_t k) { return k >= 0 && k < N && p[size_t(k)] > nv; };

  // First levels: outer c, cortical d, inner e, outer far layer o.
  const double A = options.a, B = options.b, C = options.c;
  const bool inverted = given(B) && ((given(A) && A > B) || (!given(A) && given(C) && C > B));
  double lo_out = kNoValue, hi_out = -kNoValue, lo_in = kNoValue, hi_in = -kNoValue;
  for (int32_t k = 0; k < N; ++k) {
    if (!present(k)) continue;
    const double v = p[size_t(k)];
    if (k <= M) {
      lo_out = std::min(lo_out, v);
      hi_out = std::max(hi_out, v);
    }
    if (k >= M) {
      lo_in = std::min(lo_in, v);
      hi_in = std::max(hi_in, v);
    }
  }
  if (lo_out == kNoValue || lo_in == kNoValue) return 10;
  double c = inverted ? hi_out : lo_out, o = inverted ? lo_out : hi_out;
  double d = inverted ? lo_in : hi_in, e = inverted ? hi_in : lo_in;
  if (given(A)) c = A;
  if (given(B)) d = o = B;
  if (given(C)) e = C;
  double w = d;
  const bool same = options.same_levels;
  double h = same ? c : e, a2 = same ? e : c;

  // The crossing of the level half-way between an outside and an inside
  // level between samples k and k + 1; its position, or -1.
  auto crossing = [&](int32_t k, double y, double z) -> double {
    if (!present(k) || !present(k + 1)) return -1.0;
    const double x = 0.5 * (y + z), a = p[size_t(k)], b = p[size_t(k + 1)];
    const bool hit = y < z ? (a <= x && x < b) : (a > x && x >= b);
    if (!hit) return -1.0;
    return k + (x - a) / (b - a);
  };

  double outer = 0.0, inner = 0.0, og = 0.0, ol = 0.0, ig = N, il = N;
  double thr[6] = {0, 0, 0, 0, 0, 0};
  for (int pass = 0; pass < 2; ++pass) {
    // Outer edge: tested at M, M + 1, M - 1, M + 2, M - 2, ...
    outer = crossing(M, c, d);
    for (int32_t j = 1; outer < 0.0; ++j) {
      if (M + j >= N - 1) return 10;
      outer = crossing(M + j, c, d);
      if (outer >= 0.0) break;
      if (M - j < 0) return 10;
      outer = crossing(M - j, c, d);
    }
    inner = -1.0;
    for (int32_t k = int32_t(outer) + 1; k <= N - 2 && inner < 0.0; ++k) inner = crossing(k, d, e);
    if (inner < 0.0) return 10;

    og = ol = 0.0;
    if (outer_layer) {
      double g = -1.0, l = -1.0;
      int32_t k = int32_t(std::floor(outer));
      for (; k >= 0 && g < 0.0; --k) g = crossing(k, o, c);
      if (g >= 0.0)
        for (k = int32_t(std::floor(g)) - 1; k >= 0 && l < 0.0; --k) l = crossing(k, h, o);
      if (g >= 0.0 && l >= 0.0) {
        og = g;
        ol = l;
      }
    }
    ig = il = N;
    if (inner_layer) {
      double g = -1.0, l = -1.0;
      int32_t k = int32_t(std::floor(inner)) + 1;
      for (; k <= N - 2 && g < 0.0; ++k) g = crossing(k, e, w);
      if (g >= 0.0)
        for (k = int32_t(std::floor(g)) + 1; k <= N - 2 && l < 0.0; ++k) l = crossing(k, w, a2);
      if (g >= 0.0 && l >= 0.0) {
        ig = g;
        il = l;
      }
    }
    thr[0] = 0.5 * (h + o);
    thr[1] = 0.5 * (c + o);
    thr[2] = 0.5 * (c + d);
    thr[3] = 0.5 * (d + e);
    thr[4] = 0.5 * (e + w);
    thr[5] = 0.5 * (w + a2);

    // Levels again from the stretches between the positions found.
    const bool pol = c < d;
    const bool outer_gap = !(og == 0.0 && ol == 0.0), inner_gap = ig < N && il < N;
    double nh = h, no = o, nc = c, nd, ne = e, nw = w, na = a2;
    if (outer_gap) {
      nh = thickness_level_mean(p, 0, ol, !(o > h), o > h, nv);
      no = thickness_level_mean(p, ol, og, o > h, o < c, nv);
      nc = thickness_level_mean(p, og, outer, o < c, pol, nv);
    } else {
      nc = nh = thickness_level_mean(p, 0, outer, !pol, pol, nv);
      no = d;
    }
    nd = thickness_level_mean(p, outer, inner, pol, d < e, nv);
    if (inner_gap) {
      ne = thickness_level_mean(p, inner, ig, d < e, e < w, nv);
      nw = thickness_level_mean(p, ig, il, e < w, w < a2, nv);
      na = thickness_level_mean(p, il, N, w < a2, !(w < a2), nv);
    } else {
      ne = na = thickness_level_mean(p, inner, N, d < e, !(d < e), nv);
      nw = nd;
    }
    h = nh, o = no, c = nc, d = nd, e = ne, w = nw, a2 = na;
    if (!options.fwhm) {
      if (given(A)) {
        c = A;
        (same ? h : a2) = A;
      }
      if (given(B)) d = o = w = B;
      if (given(C)) {
        e = C;
        (same ? a2 : h) = C;
      }
    }
  }

  outer_edge = outer;
  inner_edge = inner;
  outer_gap_edge = og;
  outer_layer_end = ol;
  inner_gap_edge = ig;
  inner_layer_end = il;
  if (og == 0.0 && ol == 0.0) outer_layer = false;
  if (ig == N && il == N) inner_layer = false;
  thickness_error = inner_density_error = cortical_density_error = 1e-4;
  if (outer_layer) outer_gap_error = 1e-4;
  if (inner_layer) inner_gap_error = 1e-4;
  blur = 0.0;
  endo_end = 0.0;
  outer_density = c;
  cortical_density = d;
  inner_density = e;
  outer_layer_density = o;
  inner_layer_density = w;
  beyond_outer_density = h;
  beyond_inner_density = a2;

  double sum = 0.0;
  int32_t n = 0;
  for (int32_t k = int32_t(std::ceil(outer)); k < N && k < inner; ++k)
    if (present(k)) {
      sum += p[size_t(k)];
      ++n;
    }
  mean_density = n > 0 ? sum / n : 0.0;

  const double pos[6] = {ol, og, outer, inner, ig, il};
  const double level[7] = {h, o, c, d, e, w, a2};
  double ss = 0.0;
  for (int32_t k = 0; k < N; ++k) {
    int32_t stretch = 0;
    while (stretch < 5 && k >= 0.5 * (pos[stretch] + pos[stretch + 1])) ++stretch;
    model[size_t(k)] = thr[stretch];
    int32_t region = 0;
    while (region < 6 && k >= pos[region]) ++region;
    // A missing sample has no value to differ from the level.
    if (present(k)) ss += (p[size_t(k)] - level[region]) * (p[size_t(k)] - level[region]);
  }
  fit_error = std::sqrt(ss / N);
  to_cm((N - 1) / line_length);
  return 1;
}

int32_t thickness::per_line_count() {
  const int32_t N = sample_count;
  const double nv = options.no_value;
  std::vector<double>& p = profile;
  const int32_t M = int32_t((N - 1) * inside_fraction);
  auto present = [&](int32_t k) { return k >= 0 && k < N && p[size_t(k)] > nv; };

  double lo = kNoValue, hi = -kNoValue;
  for (int32_t k = 0; k <= M && k < N; ++k)
    if (present(k)) lo = std::min(lo, p[size_t(k)]);
  for (int32_t k = 0; k <= (N + M - 1) / 2 && k < N; ++k)
    if (present(k)) hi = std::max(hi, p[size_t(k)]);
  if (lo == kNoValue || hi == -kNoValue) return 10;
  if (!options.fwhm) {
    if (given(options.a)) lo = options.a;
    if (given(options.b)) hi = options.b;
  }

  // The share of the lines above the half-way level, scaled to hi - lo.
  const double half = 0.5 * (lo + hi);
  std::vector<double> f(size_t(N), 0.0);
  for (int32_t k = 0; k < N; ++k) {
    int32_t above = 0, there = 0;
    for (int32_t cell = 0; cell < cell_count; ++cell) {
      const double v = cell_samples[size_t(cell) * size_t(N) + size_t(k)];
      if (!(v > nv)) continue;
      ++there;
      if (v > half) ++above;
    }
    if (2 * there > cell_count) f[size_t(k)] = double(above) / there * (hi - lo);
  }
  const double P = *std::max_element(f.begin(), f.end());
  if (!(P > 0.0)) return 10;

  int32_t k = 0;
  while (k < N && !(f[size_t(k)] > P / 2)) ++k;
  if (k >= N) return 10;
  const double outer = k == 0 ? 0.0 : k - 1 + (P / 2 - f[size_t(k - 1)]) / (f[size_t(k)] - f[size_t(k - 1)]);
  int32_t peak = k;
  while (peak < N && f[size_t(peak)] != P) ++peak;
  int32_t l = peak;
  while (l < N && !(f[size_t(l)] < P / 2)) ++l;
  if (l >= N) return 10;
  double tail = 0.0;
  int32_t tn = 0;
  for (int32_t j = l; j < N; ++j)
    if (f[size_t(j)] < P / 2) {
      tail += f[size_t(j)];
      ++tn;
    }
  tail /= tn;
  double q = 0.5 * (tail + P);
  bool undercut = false;
  for (int32_t j = peak; j < N && !undercut; ++j) undercut = f[size_t(j)] < q;
  if (!undercut) return 10;
  q = std::min(2.0 * tail, q);
  int32_t j = l - 1;
  while (j >= 0 && !(f[size_t(j)] > 0.98 * P)) --j;
  if (j < 0 || j + 1 >= N) return 10;
  const double inner = j + (f[size_t(j)] - 0.98 * P) / (f[size_t(j)] - f[size_t(j + 1)]);
  // The transition ends past the first sample at or below q: with no line
  // above threshold inside (a clean marrow) q is 0, and no sample lies below it.
  int32_t iq = l;
  while (iq < N && !(f[size_t(iq)] <= q)) ++iq;
  if (iq >= N) return 10;
  int32_t i = iq;
  while (i < N && f[size_t(i)] < f[size_t(i - 1)]) ++i;
  if (i >= N) return 10;

  outer_edge = outer;
  inner_edge = inner;
  endo_end = i - 0.5;
  outer_density = lo;
  cortical_density = hi;
  inner_density = tail + lo;
  cortical_density_error = thickness_error = inner_density_error = endo_error = 1e-4;
  double sum = 0.0;
  int32_t n = 0;
  for (int32_t s = int32_t(std::ceil(outer)); s < N && s < inner; ++s) {
    sum += f[size_t(s)];
    ++n;
  }
  // Reported on the scale of the profile shown, like the other densities.
  mean_density = n > 0 ? sum / n + lo : lo;
  for (int32_t s = 0; s < N; ++s) {
    p[size_t(s)] = f[size_t(s)] + lo;
    const double mid1 = 0.5 * (outer + inner), mid2 = 0.5 * (inner + endo_end);
    model[size_t(s)] = s < mid1 ? lo + P / 2 : s < mid2 ? lo + 0.98 * P : lo + q;
  }
  // No gap is looked for.
  outer_layer = inner_layer = false;
  outer_gap_edge = outer_layer_end = 0.0;
  inner_gap_edge = inner_layer_end = N;
  outer_layer_density = inner_layer_density = hi;
  beyond_outer_density = lo;
  beyond_inner_density = inner_density;
  blur = 0.0;
  fit_error = 0.0;
  to_cm((N - 1) / line_length);
  return 1;
}
