// The cortical model fit's state. The profile is explained as a
// piecewise-constant density (outside c, cortex d from x0 to x1, an optional
// endocortical ramp to e, inside e, optional gap layers beyond either edge)
// blurred by a Gaussian of sigma samples and, in a frame, by a box one slice
// wide; the least-squares driver finds the free quantities. One engine runs
// one fit at a time, and the residual callback reaches its state through the
// engine bound last (MINPACK's callback carries no user pointer).
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

class thickness;

// Every quantity of the model by name; those not free are held here too.
struct thickness_fit_params {
  double sigma = 1.0;  // Gaussian blur, samples
  double c = 0.0, d = 0.0, e = 0.0;  // outer, cortical and inner density
  double x0 = 0.0, x1 = 0.0;         // outer and inner edge, samples from the line start
  double width = 0.0;                // endocortical transition, samples
  double m = 0.0, t = 0.0, o = 0.0;  // outer far layer: outer end, gap edge, density (metal)
  double u = 0.0, v = 0.0, w = 0.0;  // inner far layer: gap edge, inner end, density (metal)
};

// Where each free quantity sits in the parameter vector; -1 when held.
struct thickness_fit_layout {
  int32_t sigma = -1, c = -1, d = -1, e = -1, x0 = -1, x1 = -1, width = -1;
  int32_t outer = -1, inner = -1;  // first of each gap pair
  int32_t count = 0;
};

struct thickness_fit_state {
  int32_t N = 0;
  double s = 0.0;            // samples per cm
  bool blur_free = false;
  double fixed_sigma = 0.0;  // cm along the line while sigma is held
  double box = 0.0;          // box half-width, samples (0 in 3D)
  bool post_blur = false;
  bool c_free = false, d_free = false, e_free = false;
  bool local_peak = false;     // d is the profile's local peak at every evaluation
  bool peak_switched = false;  // local peak switched on for the fit, d freed at the end
  bool same_levels = true;
  bool endo_free = false;
  double endo_width = 0.0;  // held transition width, samples; 0 none
  bool outer_gap = false, inner_gap = false;
  bool metal_outside = false, metal_inside = false;
  bool metal = false;
  int32_t smooth = 0;  // half-width of the residual smoothing
  int32_t win_start = 0, win_end = 0;
  double no_value = 0.0;
  double d_in_use = 0.0;    // the cortical density while d is held
  double last_peak = 0.0;   // the local peak of the last evaluation
  thickness_fit_params p;   // the current values
  thickness_fit_layout layout;
  std::vector<double> covariance;  // of the last fit, layout.count squared
  // The kernel and edge tables (2N each) and the sigma and box they were built for.
  std::vector<double> K, S;
  double table_sigma = -1.0, table_box = -1.0;
  // Zero blur: the edge response is a unit step (a ramp over the box).
  bool step_edge = false;

  void make_layout();
  // A transition is modelled: its width free, or held above 0.
  bool has_transition() const;
  // The residual count for the current layout and window.
  int32_t residual_count() const;
  int32_t bound_count() const;
  void pack(std::vector<double>& x) const;
  void unpack(const double* x);
  // The current values with the free ones taken from x.
  thickness_fit_params values(const double* x) const;
  // Builds the edge table for sigma samples (and the box); a sigma of 0 or
  // below gives the unit step.
  void build_edge_table(double sigma);
  // The edge response at table position x (the edge at N).
  double edge(double x) const {
    if (step_edge) {
      // No blur: a unit step at the edge, or a ramp over the box in a frame.
      const double a = box < 0.0 ? -box : box;
      if (a > 0.0) return std::min(1.0, std::max(0.0, (x - N) / (2.0 * a) + 0.5));
      return x < N ? 0.0 : 1.0;
    }
    if (!(x >= 0.0)) return 0.0;
    if (x >= 2 * N - 1) return 1.0;
    const int32_t i = int32_t(x);
    return S[size_t(i)] + (x - i) * (S[size_t(i) + 1] - S[size_t(i)]);
  }
};

// The least-squares callback: the m residuals for parameters x of the engine
// bound last: the weighted profile residuals over the window, then the soft
// bounds. Sets iflag to -1 when a parameter is NaN.
void thickness_residual(int32_t* m, int32_t* n, double* x, double* fvec, int32_t* iflag);
// The engine whose state thickness_residual reads (null: none).
void thickness_fit_bind(thickness* engine);
thickness* thickness_fit_bound();
