// Thickness mapping over a surface (surface_interp::calc_thickness and its
// helpers): what the caller hands in to watch and steer a mapping, the
// accumulators of the density estimation, and the small helpers the page
// and the thickness data files use on the results.
#pragma once

#include <cstdint>

#include <wx/string.h>

#include "surfaces/surface_interp.h"

// The caller's side of a mapping: a progress dialog with Cancel, and the
// views' refresh. The dialog must be modal: while the mapping yields,
// nothing it reads (the surface, the current surface, the thickness
// settings, the engine) may change.
class thickness_mapping_hooks {
 public:
  virtual ~thickness_mapping_hooks() = default;
  virtual void open(const wxString& title, const wxString& message, int range) = 0;
  // False when the user cancelled.
  virtual bool update(int value, const wxString& message) = 0;
  virtual void close() = 0;
  // Lets the views redraw the mapping so far (the toolkit yields here).
  virtual void refresh_views() {}
  // Milliseconds on a monotonic clock.
  virtual int64_t now_ms();
};

// The histogram of cortical mass against density that a density estimation
// accumulates over one or more surfaces, and what its fit found. Bin i
// stands for a mass of 150 i (units x mm).
struct thickness_estimation {
  static constexpr int kBins = 400;
  double S[kBins] = {};  // sum of weight x density
  double Q[kBins] = {};  // sum of weight x density^2
  double W[kBins] = {};  // sum of weights; negative: rejected by the last fit
  // Blur sums: w, w x, w y, w x y, w x^2 (x = z^2 of the direction across
  // the slices, y = the blur sigma squared, mm^2).
  double blur_sums[5] = {};
  // Outputs of the fit.
  double real_density = 0.0, density_variance = 0.0;
  double background = 0.0, background_variance = 0.0;
  double blur = 0.0, blur_variance = 0.0;  // modelled sigma, mm
  double rms = 0.0;
  int32_t status = 4;  // 1 to 3 a fit; 4 not enough information; 5 a failed fit
  // Mappings whose closing fit succeeded: the caller's word on whether any
  // estimate was made.
  int32_t successes = 0;
};

// Whether a mapping is running; the engine refuses to re-measure meanwhile
// and a second mapping is refused.
bool thickness_mapping_running();

// Weighted regression of y on x from the blur sums (a = sum w x, b = sum w y,
// c = sum w, d = sum w x y, e = sum w x^2): the blur sigma in the image plane
// (sqrt of the intercept) and across it; both 0 when not determined. The
// return value is true when both were set.
bool thickness_blur_regression(double a, double b, double c, double d, double e, double& in,
                               double& out);

// The blur along a line whose direction cosine to the slice normal is cos:
// in when out is 1e10, else sqrt((1 - cos^2) in^2 + cos^2 out^2).
double thickness_combined_fwhm(double cos, double in, double out);

// The density fit's residuals for parameters (D, background, f) over the
// bins installed by the fit; exposed for the tests. m = bins + 3.
void density_estimate_residual(int32_t* m, int32_t* n, double* x, double* fvec, int32_t* iflag);

// Runs the density fit on an estimation's histogram: fills the outputs and
// status, marks rejected bins by negating W. bins is the number in use.
void thickness_density_fit(thickness_estimation& e, int32_t bins);
