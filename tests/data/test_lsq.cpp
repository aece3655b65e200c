// The least-squares driver: refusals, convergence on a known model, the
// evaluation limit, a stop from the residual routine and the covariance.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "common/log_capture.h"
#include <cminpack.h>

#include "data/hm_lmder.h"

namespace {

// y = A exp(-k t) + c sampled at t = 0, 0.25, ..., noise free.
constexpr double kA = 3.5, kK = 1.3, kC = 0.4;
int evaluations = 0;

void decay(int32_t* m, int32_t* n, double* x, double* fvec, int32_t* iflag) {
  ++evaluations;
  for (int i = 0; i < *m; ++i) {
    const double t = 0.25 * i;
    fvec[i] = x[0] * std::exp(-x[1] * t) + x[2] - (kA * std::exp(-kK * t) + kC);
  }
}

TEST(LeastSquares, FitsExponentialDecayToTrueParameters) {
  int32_t m = 20, n = 3, info = -1;
  double x[3] = {1.0, 0.5, 0.0}, fvec[20], tol = 1e-10;
  hm_lmdif(decay, &m, &n, x, fvec, &tol, &info, nullptr);
  EXPECT_GE(info, 1);
  EXPECT_LE(info, 4);
  EXPECT_NEAR(x[0], kA, 1e-8);
  EXPECT_NEAR(x[1], kK, 1e-8);
  EXPECT_NEAR(x[2], kC, 1e-8);
  for (double r : fvec) EXPECT_NEAR(r, 0.0, 1e-9);
}

TEST(LeastSquares, RefusesBadInputWithoutTouchingAnything) {
  struct row {
    int32_t m, n;
    double tol;
  };
  const row rows[] = {{5, 0, 1e-6}, {2, 3, 1e-6}, {5, 3, -1.0}, {5, -1, 1e-6}, {5, 3, NAN}};
  for (const auto& r : rows) {
    int32_t m = r.m, n = r.n, info = 99;
    double x[3] = {1, 2, 3}, fvec[5] = {7, 7, 7, 7, 7}, tol = r.tol, cov[9] = {5, 5, 5, 5, 5, 5, 5, 5, 5};
    evaluations = 0;
    hm_lmdif(decay, &m, &n, x, fvec, &tol, &info, cov);
    EXPECT_EQ(info, 0) << "m " << r.m << " n " << r.n;
    EXPECT_EQ(evaluations, 0);
    EXPECT_EQ(x[0], 1.0);
    EXPECT_EQ(x[2], 3.0);
    EXPECT_EQ(fvec[0], 7.0);
    EXPECT_EQ(cov[4], 5.0);
  }
}

// Residuals that keep shrinking without ever settling, so the fit runs into
// the evaluation limit 200 (n + 1).
void never_settles(int32_t* m, int32_t* n, double* x, double* fvec, int32_t* iflag) {
  ++evaluations;
  for (int i = 0; i < *m; ++i) fvec[i] = std::exp(-x[i % *n]) + 0.0 * i;
}

TEST(LeastSquares, StopsAtEvaluationLimit) {
  int32_t m = 4, n = 3, info = -1;
  double x[3] = {0, 0, 0}, fvec[4], tol = 0.0;
  evaluations = 0;
  hm_lmdif(never_settles, &m, &n, x, fvec, &tol, &info, nullptr);
  EXPECT_EQ(info, 5);
  EXPECT_GE(evaluations, 800);
  EXPECT_LE(evaluations, 800 + 3 + 1);  // ends with the iteration of the 800th
}

void stop_at_fifth(int32_t* m, int32_t* n, double* x, double* fvec, int32_t* iflag) {
  decay(m, n, x, fvec, iflag);
  if (evaluations == 5) *iflag = -7;
}

TEST(LeastSquares, ResidualRoutineCanStopTheFit) {
  int32_t m = 20, n = 3, info = 0;
  double x[3] = {1.0, 0.5, 0.0}, fvec[20], tol = 1e-10;
  evaluations = 0;
  hm_lmdif(stop_at_fifth, &m, &n, x, fvec, &tol, &info, nullptr);
  EXPECT_EQ(info, -7);
  EXPECT_EQ(evaluations, 5);
}

// y = a + b t on points with known scatter.
const double kT[] = {0, 1, 2, 3, 4, 5, 6, 7};
const double kY[] = {1.1, 2.9, 5.2, 6.8, 9.1, 11.0, 12.7, 15.3};

void line(int32_t* m, int32_t* n, double* x, double* fvec, int32_t* iflag) {
  for (int i = 0; i < *m; ++i) fvec[i] = x[0] + x[1] * kT[i] - kY[i];
}

TEST(LeastSquares, LineCovarianceMatchesClosedForm) {
  int32_t m = 8, n = 2, info = 0;
  double x[2] = {0, 0}, fvec[8], tol = 1e-12, cov[4];
  hm_lmdif(line, &m, &n, x, fvec, &tol, &info, cov);
  ASSERT_GE(info, 1);

  // Ordinary least squares: (X^T X)^-1 scaled by RSS / (m - 2).
  double st = 0, stt = 0, sy = 0, sty = 0;
  for (int i = 0; i < 8; ++i) {
    st += kT[i];
    stt += kT[i] * kT[i];
    sy += kY[i];
    sty += kT[i] * kY[i];
  }
  const double det = 8 * stt - st * st;
  const double b = (8 * sty - st * sy) / det, a = (sy - b * st) / 8;
  double rss = 0;
  for (int i = 0; i < 8; ++i) rss += (a + b * kT[i] - kY[i]) * (a + b * kT[i] - kY[i]);
  const double s2 = rss / (8 - 2);
  EXPECT_NEAR(x[0], a, 1e-9);
  EXPECT_NEAR(x[1], b, 1e-9);
  EXPECT_NEAR(cov[0], s2 * stt / det, 1e-9);
  EXPECT_NEAR(cov[3], s2 * 8 / det, 1e-9);
  EXPECT_NEAR(cov[1], -s2 * st / det, 1e-9);
  EXPECT_DOUBLE_EQ(cov[1], cov[2]);
}

TEST(LeastSquares, CovarianceWithoutDegreesOfFreedomIsZeroAndWarned) {
  log_capture logs;
  int32_t m = 2, n = 2, info = 0;
  double x[2] = {0, 0}, fvec[2], tol = 1e-12, cov[4] = {9, 9, 9, 9};
  hm_lmdif(line, &m, &n, x, fvec, &tol, &info, cov);
  EXPECT_GE(info, 1);
  for (double c : cov) EXPECT_EQ(c, 0.0);
  EXPECT_TRUE(logs.has(wxLOG_Warning, "no degrees of freedom"));
}

// Jacobian supplied: y = A exp(-k t) + c.
void decay_with_jacobian(int32_t* m, int32_t* n, double* x, double* fvec, double* fjac,
                         int32_t* ldfjac, int32_t* iflag) {
  for (int i = 0; i < *m; ++i) {
    const double t = 0.25 * i, e = std::exp(-x[1] * t);
    if (*iflag == 1) {
      fvec[i] = x[0] * e + x[2] - (kA * std::exp(-kK * t) + kC);
    } else {
      fjac[i + 0 * *ldfjac] = e;
      fjac[i + 1 * *ldfjac] = -x[0] * t * e;
      fjac[i + 2 * *ldfjac] = 1.0;
    }
  }
}

TEST(LeastSquares, JacobianDriverFitsAndRefuses) {
  int32_t m = 20, n = 3, ld = 20, info = 0, ipvt[3];
  double x[3] = {1.0, 0.5, 0.0}, fvec[20], fjac[60], tol = 1e-10;
  hm_lmder(decay_with_jacobian, &m, &n, x, fvec, fjac, &ld, &tol, &info, ipvt);
  EXPECT_GE(info, 1);
  EXPECT_LE(info, 4);
  EXPECT_NEAR(x[0], kA, 1e-8);
  EXPECT_NEAR(x[1], kK, 1e-8);
  EXPECT_NEAR(x[2], kC, 1e-8);

  int32_t short_ld = 19;
  double y[3] = {1, 2, 3};
  info = 5;
  hm_lmder(decay_with_jacobian, &m, &n, y, fvec, fjac, &short_ld, &tol, &info, ipvt);
  EXPECT_EQ(info, 0);
  EXPECT_EQ(y[1], 2.0);
}

}  // namespace

namespace {

// Residuals orthogonal to the Jacobian to within rounding: MINPACK ends with
// "gtol too small" (8), which the driver reports as 4.
void orthogonal(int32_t* m, int32_t* n, double* x, double* fvec, int32_t* iflag) {
  fvec[0] = 1.0;
  fvec[1] = x[0] - 1e-16;
}

int orthogonal_c(void*, int, int, const double* x, double* fvec, int) {
  fvec[0] = 1.0;
  fvec[1] = x[0] - 1e-16;
  return 0;
}

TEST(LeastSquares, GtolTooSmallIsReportedAsOrthogonal) {
  // The same problem straight through MINPACK gives 8.
  double xr[1] = {0}, fr[2], diag[1], qtf[1], w1[1], w2[1], w3[1], w4[2], fjac[2];
  int ipvt_r[1], nfev = 0;
  const int raw = lmdif(orthogonal_c, nullptr, 2, 1, xr, fr, 0.0, 0.0, 0.0, 400, 0.0, diag, 1,
                        100.0, 0, &nfev, fjac, 2, ipvt_r, qtf, w1, w2, w3, w4);
  ASSERT_EQ(raw, 8);

  int32_t m = 2, n = 1, info = 0;
  double x[1] = {0}, fvec[2], tol = 0.0;
  hm_lmdif(orthogonal, &m, &n, x, fvec, &tol, &info, nullptr);
  EXPECT_EQ(info, 4);
}

}  // namespace
