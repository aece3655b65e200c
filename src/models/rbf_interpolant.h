// A radial-basis-function interpolant in 3D with the kernel phi(r) = r and
// an affine part: f(p) = a0 + A p + sum_k w_k |p - c_k|, fitted so that it
// takes given values at its centres and has no affine component in its
// weights (sum w_k = 0, sum w_k c_k = 0).
#pragma once

#include <array>
#include <vector>

#include <wx/string.h>

#include "data/geometry.h"

class rbf_interpolant {
 public:
  // Fits the interpolant with f(centres[k]) = values[k] by one LU
  // factorisation (partial pivoting) of the (J + 4)-square system, solved for
  // the three coordinates. False, with why set, for fewer than 4 centres,
  // centres in one plane (the system would be singular), a system that does
  // not solve to finite weights, or memory that cannot be had.
  bool fit(const std::vector<vec3_t>& centres, const std::vector<vec3_t>& values, wxString& why);

  vec3_t operator()(const vec3_t& p) const;

  const std::vector<vec3_t>& weights() const { return weights_; }
  // Per coordinate: a0, ax, ay, az.
  const std::array<std::array<double, 4>, 3>& affine() const { return affine_; }

 private:
  std::vector<vec3_t> centres_, weights_;
  std::array<std::array<double, 4>, 3> affine_{};
};
