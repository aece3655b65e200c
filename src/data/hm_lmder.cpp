#include "data/hm_lmder.h"

#include <cmath>
#include <cstdio>
#include <new>

#include <cminpack.h>
#include <wx/log.h>

namespace {

// MINPACK's C interface hands the caller's routine through a user pointer,
// which keeps every fit's state on its own stack.
struct lmdif_call {
  hm_lmdif_fcn fcn;
};

struct lmder_call {
  hm_lmder_fcn fcn;
};

int lmdif_trampoline(void* p, int m, int n, const double* x, double* fvec, int iflag) {
  int32_t mm = m, nn = n, flag = iflag;
  static_cast<lmdif_call*>(p)->fcn(&mm, &nn, const_cast<double*>(x), fvec, &flag);
  return flag;
}

int lmder_trampoline(void* p, int m, int n, const double* x, double* fvec, double* fjac,
                     int ldfjac, int iflag) {
  int32_t mm = m, nn = n, ld = ldfjac, flag = iflag;
  static_cast<lmder_call*>(p)->fcn(&mm, &nn, const_cast<double*>(x), fvec, fjac, &ld, &flag);
  return flag;
}

bool refused(int32_t m, int32_t n, double tol) { return n <= 0 || m < n || tol < 0.0 || std::isnan(tol); }

}  // namespace

void hm_lmdif(hm_lmdif_fcn fcn, int32_t* m, int32_t* n, double* x, double* fvec, double* tol,
              int32_t* info, double* covariance) {
  *info = 0;
  const int32_t M = *m, N = *n;
  const double t = *tol;
  if (refused(M, N, t)) return;

  int* ipvt = new (std::nothrow) int[static_cast<size_t>(N)];
  if (!ipvt) {
    std::fputs("Cannot malloc integer work array for lmdif routine.\n", stderr);
    return;
  }
  const size_t lwa = size_t(M) * size_t(N) + 5 * size_t(N) + size_t(M);
  double* wa = new (std::nothrow) double[lwa];
  if (!wa) {
    std::fputs("Cannot malloc doublereal work array for lmdif routine.\n", stderr);
    delete[] ipvt;
    return;
  }
  double* diag = wa;
  double* qtf = diag + N;
  double* wa1 = qtf + N;
  double* wa2 = wa1 + N;
  double* wa3 = wa2 + N;
  double* wa4 = wa3 + N;
  double* fjac = wa4 + M;

  lmdif_call call{fcn};
  int nfev = 0;
  int code = lmdif(lmdif_trampoline, &call, M, N, x, fvec, t, t, 0.0, 200 * (N + 1), 0.0, diag,
                   1, 100.0, 0, &nfev, fjac, M, ipvt, qtf, wa1, wa2, wa3, wa4);
  *info = code == 8 ? 4 : code;

  if (covariance) {
    if (M == N) {
      wxLogWarning("hm_lmdif: %d residuals leave no degrees of freedom for %d parameters; "
                   "the covariance is set to zero.",
                   M, N);
      for (size_t i = 0; i < size_t(N) * size_t(N); ++i) covariance[i] = 0.0;
    } else {
      const double s = enorm(M, fvec);
      covar(N, fjac, M, ipvt, t, wa1);
      const double factor = s * s / double(M - N);
      for (int32_t i = 0; i < N; ++i)
        for (int32_t j = 0; j < N; ++j)
          covariance[size_t(i) * N + j] = factor * fjac[size_t(i) * M + j];
    }
  }
  delete[] wa;
  delete[] ipvt;
}

void hm_lmder(hm_lmder_fcn fcn, int32_t* m, int32_t* n, double* x, double* fvec, double* fjac,
              int32_t* ldfjac, double* tol, int32_t* info, int32_t* ipvt) {
  *info = 0;
  const int32_t M = *m, N = *n, LD = *ldfjac;
  const double t = *tol;
  if (refused(M, N, t) || LD < M) return;

  double* wa = new (std::nothrow) double[5 * size_t(N) + size_t(M)];
  if (!wa) {
    wxLogError("hm_lmder: Cannot allocate work array for lmder routine.");
    return;
  }
  double* diag = wa;
  double* qtf = diag + N;
  double* wa1 = qtf + N;
  double* wa2 = wa1 + N;
  double* wa3 = wa2 + N;
  double* wa4 = wa3 + N;

  static_assert(sizeof(int) == sizeof(int32_t), "ipvt is handed to MINPACK as int");
  lmder_call call{fcn};
  int nfev = 0, njev = 0;
  int code = lmder(lmder_trampoline, &call, M, N, x, fvec, fjac, LD, t, t, 0.0, 100 * (N + 1),
                   diag, 1, 100.0, 0, &nfev, &njev, reinterpret_cast<int*>(ipvt), qtf, wa1, wa2,
                   wa3, wa4);
  *info = code == 8 ? 4 : code;
  delete[] wa;
}
