// What the fit sequence and the model share inside the engine's files.
#pragma once

#include <vector>

#include "thickness/thickness_fit.h"

class thickness;

// The levels and positions one evaluation of the model used.
struct fit_levels {
  double c = 0, d = 0, e = 0, o = 0, w = 0, h = 0, a2 = 0;
  double m = 0, v = 0;  // outer end of the outer far layer, inner end of the inner one
  thickness_fit_params q;
};

// The model's residuals F (profile minus model) into the engine's fit_buffer
// for the quantities q and a blur of sigma_samples; the local peak, when in
// use, replaces d and becomes the density in use.
fit_levels evaluate_model(thickness& T, thickness_fit_params q, double sigma_samples);
// The residual vector for parameters x of the current layout.
void fit_residuals(thickness& T, const double* x, double* fvec);
// The highest profile sample over floor(from) .. ceil(to), the range
// extended outward (inward) while the profile keeps rising beyond a maximum
// at its start (end); -infinity for an empty range.
double fit_local_peak(const std::vector<double>& p, double from, double to);
