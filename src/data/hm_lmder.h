// Nonlinear least squares: one driver around MINPACK's Levenberg-Marquardt
// routines with the program's iteration limits and tolerances. The MINPACK
// calling convention is kept: every argument is passed by address, and a
// residual routine stops the fit by setting iflag negative.
#pragma once

#include <cstdint>

// Computes the m residuals fvec at the n parameters x.
using hm_lmdif_fcn = void (*)(int32_t* m, int32_t* n, double* x, double* fvec, int32_t* iflag);
// iflag 1: residuals into fvec; iflag 2: the m x n Jacobian into fjac
// (leading dimension ldfjac).
using hm_lmder_fcn = void (*)(int32_t* m, int32_t* n, double* x, double* fvec, double* fjac,
                              int32_t* ldfjac, int32_t* iflag);

// Fits x (starting values in, fitted values out) with a forward-difference
// Jacobian; tol serves as both ftol and xtol. info is 0 for refused input
// (n <= 0, m < n, tol < 0) and otherwise MINPACK's code, 8 being reported
// as 4. A non-null covariance (n x n) receives the covariance of the fitted
// parameters, the residual variance taken with m - n degrees of freedom; with
// m = n there are none, and it is filled with zeros and a warning is logged.
void hm_lmdif(hm_lmdif_fcn fcn, int32_t* m, int32_t* n, double* x, double* fvec, double* tol,
              int32_t* info, double* covariance);

// The same with the caller's Jacobian routine and arrays fjac (ldfjac x n)
// and ipvt (n); also refused when ldfjac < m.
void hm_lmder(hm_lmder_fcn fcn, int32_t* m, int32_t* n, double* x, double* fvec, double* fjac,
              int32_t* ldfjac, double* tol, int32_t* info, int32_t* ipvt);
