#include "models/rbf_interpolant.h"

#include <cmath>
#include <new>

#include <Eigen/Dense>

bool rbf_interpolant::fit(const std::vector<vec3_t>& centres, const std::vector<vec3_t>& values,
                          wxString& why) {
  const Eigen::Index J = static_cast<Eigen::Index>(centres.size());
  if (J < 4 || values.size() != centres.size()) {
    why = "Insufficient RBF nodes\n";
    return false;
  }
  // The affine part is determined only when the centres span 3D: the
  // centred coordinates must have three clearly non-zero singular values.
  Eigen::Vector3d mean = Eigen::Vector3d::Zero();
  for (const vec3_t& c : centres) mean += Eigen::Vector3d(c.x, c.y, c.z);
  mean /= double(J);
  Eigen::Matrix3d scatter = Eigen::Matrix3d::Zero();
  for (const vec3_t& c : centres) {
    const Eigen::Vector3d d = Eigen::Vector3d(c.x, c.y, c.z) - mean;
    scatter += d * d.transpose();
  }
  const Eigen::Vector3d spread = Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d>(scatter).eigenvalues();
  if (!(spread[0] > 1e-18 * spread[2])) {
    why = "The RBF nodes lie in one plane\n";
    return false;
  }
  try {
    Eigen::MatrixXd a = Eigen::MatrixXd::Zero(J + 4, J + 4);
    Eigen::MatrixXd rhs = Eigen::MatrixXd::Zero(J + 4, 3);
    for (Eigen::Index k = 0; k < J; ++k) {
      const vec3_t& ck = centres[size_t(k)];
      for (Eigen::Index l = 0; l < k; ++l) {
        const double r = vec3_length(ck - centres[size_t(l)]);
        a(k, l) = r;
        a(l, k) = r;
      }
      const double p[4] = {1.0, ck.x, ck.y, ck.z};
      for (int i = 0; i < 4; ++i) {
        a(k, J + i) = p[i];
        a(J + i, k) = p[i];
      }
      rhs(k, 0) = values[size_t(k)].x;
      rhs(k, 1) = values[size_t(k)].y;
      rhs(k, 2) = values[size_t(k)].z;
    }
    // Factorised in place: the system matrix is the one large allocation.
    const Eigen::PartialPivLU<Eigen::Ref<Eigen::MatrixXd>> lu(a);
    const Eigen::MatrixXd solution = lu.solve(rhs);
    if (!solution.allFinite()) {
      why = "The RBF system could not be solved\n";
      return false;
    }
    centres_ = centres;
    weights_.resize(size_t(J));
    for (Eigen::Index k = 0; k < J; ++k) weights_[size_t(k)] = {solution(k, 0), solution(k, 1), solution(k, 2)};
    for (int c = 0; c < 3; ++c)
      for (int i = 0; i < 4; ++i) affine_[size_t(c)][size_t(i)] = solution(J + i, c);
  } catch (const std::bad_alloc&) {
    why = "Not enough memory for the RBF interpolation\n";
    return false;
  }
  return true;
}

vec3_t rbf_interpolant::operator()(const vec3_t& p) const {
  double f[3];
  for (int c = 0; c < 3; ++c) {
    const std::array<double, 4>& a = affine_[size_t(c)];
    f[c] = a[0] + a[1] * p.x + a[2] * p.y + a[3] * p.z;
  }
  for (size_t k = 0; k < centres_.size(); ++k) {
    const double r = vec3_length(p - centres_[k]);
    f[0] += weights_[k].x * r;
    f[1] += weights_[k].y * r;
    f[2] += weights_[k].z * r;
  }
  return {f[0], f[1], f[2]};
}
