// Fitting the sub-structure interpolant (one LU factorisation of the
// (J + 4)-square system with partial pivoting, solved for three right-hand
// sides) for 1,000, 5,000 and 10,000 nodes, next to a dense product of two
// J x J matrices: the same order of work and memory traffic. The counter
// "system_MB" is the memory of the system matrix alone.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include <Eigen/Dense>

#include "models/rbf_interpolant.h"

namespace {

std::vector<vec3_t> nodes(int n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(-5.0, 5.0);
  std::vector<vec3_t> v(static_cast<size_t>(n));
  for (vec3_t& p : v) p = {u(rng), u(rng), u(rng)};
  return v;
}

void BM_FitInterpolant(benchmark::State& state) {
  const int n = int(state.range(0));
  const std::vector<vec3_t> centres = nodes(n, 1), values = nodes(n, 2);
  for (auto _ : state) {
    rbf_interpolant f;
    wxString why;
    if (!f.fit(centres, values, why)) state.SkipWithError("the fit was refused");
    benchmark::DoNotOptimize(f.weights().data());
  }
  state.counters["system_MB"] = double(n + 4) * double(n + 4) * 8.0 / 1e6;
}

void BM_DenseProduct(benchmark::State& state) {
  const Eigen::Index n = state.range(0);
  const Eigen::MatrixXd a = Eigen::MatrixXd::Random(n, n), b = Eigen::MatrixXd::Random(n, n);
  for (auto _ : state) {
    Eigen::MatrixXd c = a * b;
    benchmark::DoNotOptimize(c.data());
  }
}

BENCHMARK(BM_FitInterpolant)->Arg(1000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_DenseProduct)->Arg(1000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
