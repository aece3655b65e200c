// Helpers of the thickness engine's tests: analytic profiles of blurred
// steps and an engine set up to run its path on a given profile.
#pragma once

#include <cmath>
#include <vector>

#include "thickness/thickness.h"

// A step from c to d at x0 and from d to e at x1 (sample positions),
// blurred by a Gaussian of sigma samples, sampled at 0 .. N - 1.
inline std::vector<double> erf_profile(int N, double c, double d, double e, double x0, double x1,
                                       double sigma) {
  std::vector<double> p(static_cast<size_t>(N));
  for (int k = 0; k < N; ++k) {
    const double a = 0.5 * (1.0 + std::erf((k - x0) / (std::sqrt(2.0) * sigma)));
    const double b = 0.5 * (1.0 + std::erf((k - x1) / (std::sqrt(2.0) * sigma)));
    p[size_t(k)] = c + (d - c) * a + (e - d) * b;
  }
  return p;
}

// The engine ready to run its path on profile p: one line of length L cm,
// the point at E of it, a 3D measurement along the reference normal.
inline void prepare_path(thickness& t, const std::vector<double>& p, double L, double E,
                         const thickness_options& o, double density = 1e10) {
  t.clear();
  t.options = o;
  t.sample_count = int32_t(p.size());
  t.profile = p;
  t.cell_count = 1;
  t.line_width = o.width;
  t.line_length = L;
  t.inside_fraction = E;
  t.manual = false;
  t.in_frame = false;
  t.slab_width = 0.0;
  t.inner_layer = o.inner_layer;
  t.outer_layer = o.outer_layer;
  t.direction[0] = 0.0, t.direction[1] = 1.0, t.direction[2] = 0.0;
  t.normal[0] = 0.0, t.normal[1] = 1.0, t.normal[2] = 0.0;
  t.density_in_use = density;
  t.cell_samples = p;
  t.set_weights((int32_t(p.size()) - 1) * E);
}

// Options of a technique as its presets leave them, with no layers, for
// profiles without gaps.
inline thickness_options technique_options(int type) {
  thickness_options o;
  o.type = type;
  o.no_value = -32768.0;
  o.inner_layer = o.outer_layer = false;
  o.fwhm = type == 1 || type == 2;
  o.threshold = type == 1 || type == 7;
  o.post_blur = type == 4 || type == 5;
  o.endo_model = type == 5 || type == 6 || type == 7;
  o.same_levels = true;
  o.rect = 1e10;
  return o;
}
