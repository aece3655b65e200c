// Gradient, Hessian and 3 x 3 eigenvalues at every inner voxel of a 128^3
// 8-bit volume, against a plain copy of the same volume.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "data/geometry.h"

namespace {

constexpr int kN = 128;

std::vector<uint8_t> volume() {
  // Bright tubes along z on a ramp: realistic Hessians with double roots.
  std::vector<uint8_t> v(size_t(kN) * kN * kN);
  for (int z = 0; z < kN; ++z)
    for (int y = 0; y < kN; ++y)
      for (int x = 0; x < kN; ++x) {
        const double dx = (x % 32) - 16, dy = (y % 32) - 16;
        v[(size_t(z) * kN + y) * kN + x] = uint8_t(40 + 200 * std::exp(-(dx * dx + dy * dy) / 20.0));
      }
  return v;
}

void BM_HessianEigen(benchmark::State& state) {
  const std::vector<uint8_t> v = volume();
  const size_t plane = size_t(kN) * kN;
  for (auto _ : state) {
    double acc = 0.0;
    for (int z = 1; z < kN - 1; ++z)
      for (int y = 1; y < kN - 1; ++y)
        for (int x = 1; x < kN - 1; ++x) {
          const size_t i = size_t(y) * kN + x;
          double n[27];
          fetch_neighbourhood_8bit(&v[(z - 1) * plane + i], &v[z * plane + i], &v[(z + 1) * plane + i], kN, n);
          vec3_t lower, upper, g, diag, off, e1, e2, e3;
          double l[3];
          neighbourhood_gradient(n, lower, upper, g);
          neighbourhood_hessian(n, lower, upper, diag, off);
          eigen_symmetric_3x3(l, diag, off, e1, e2, e3);
          acc += l[0] + e3.z;
        }
    benchmark::DoNotOptimize(acc);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * (kN - 2) * (kN - 2) * (kN - 2));
}
BENCHMARK(BM_HessianEigen)->Unit(benchmark::kMillisecond);

void BM_CopyVolume(benchmark::State& state) {
  const std::vector<uint8_t> v = volume();
  std::vector<uint8_t> out(v.size());
  for (auto _ : state) {
    std::memcpy(out.data(), v.data(), v.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(v.size()));
}
BENCHMARK(BM_CopyVolume)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
