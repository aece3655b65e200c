// The threshold paths on blurred steps with known edges: the half-way
// search with its gap layers and the per-line count of HRTC.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "thickness/thickness.h"
#include "thickness/thickness_technique.h"
#include "thickness_test_support.h"

namespace {

constexpr double kNoValue = 1e10;

// Blurred steps: a start level, then (position, new level) pairs.
std::vector<double> steps(int N, double first, const std::vector<std::pair<double, double>>& edges,
                          double sigma) {
  std::vector<double> p(static_cast<size_t>(N), first);
  double level = first;
  for (auto [x, v] : edges) {
    for (int k = 0; k < N; ++k)
      p[size_t(k)] += (v - level) * 0.5 * (1.0 + std::erf((k - x) / (std::sqrt(2.0) * sigma)));
    level = v;
  }
  return p;
}

TEST(ThicknessThreshold, FindsTheEdgesOfBlurredStepsWithinATenthOfASample) {
  const int N = 72;
  const double L = 1.8, s = (N - 1) / L;
  struct edge_case {
    const char* what;
    double first;
    std::vector<std::pair<double, double>> edges;
    bool outer_layer, inner_layer;
    thickness_options o;
    double outer, inner, outer_gap, outer_end, inner_gap, inner_end;
  };
  thickness_options automatic = technique_options(thickness_auto_threshold);
  thickness_options inverted = technique_options(thickness_manual);
  inverted.threshold = true;
  inverted.a = 1500.0;
  inverted.b = 200.0;
  const edge_case cases[] = {
      {"a cortex", 20, {{25.37, 1500}, {41.62, 110}}, false, false, automatic, 25.37, 41.62, 0, 0, N, N},
      {"a far layer beyond an outer gap", 0, {{8.4, 1500}, {14.7, 0}, {25.37, 1500}, {41.62, 100}}, true, false,
       automatic, 25.37, 41.62, 14.7, 8.4, N, N},
      {"a far layer beyond an inner gap", 0, {{25.37, 1500}, {33.2, 100}, {46.3, 1500}, {55.8, 100}}, false, true,
       automatic, 25.37, 33.2, 0, 0, 46.3, 55.8},
      {"a gap option without a gap", 20, {{25.37, 1500}, {41.62, 110}}, true, true, automatic, 25.37, 41.62, 0, 0,
       N, N},
      {"a dark cortex in brighter tissue (given densities invert the polarity)", 1500,
       {{25.37, 200}, {41.62, 1400}}, false, false, inverted, 25.37, 41.62, 0, 0, N, N},
  };
  for (const edge_case& c : cases) {
    thickness t;
    thickness_options o = c.o;
    o.outer_layer = c.outer_layer;
    o.inner_layer = c.inner_layer;
    prepare_path(t, steps(N, c.first, c.edges, 1.4), L, 1.0 / 3.0, o);
    ASSERT_EQ(t.run_path(), 1) << c.what;
    EXPECT_NEAR(t.outer_edge * s, c.outer, 0.1) << c.what;
    EXPECT_NEAR(t.inner_edge * s, c.inner, 0.1) << c.what;
    EXPECT_NEAR(t.outer_gap_edge * s, c.outer_gap, 0.1) << c.what;
    EXPECT_NEAR(t.outer_layer_end * s, c.outer_end, 0.1) << c.what;
    EXPECT_NEAR(t.inner_gap_edge * s, c.inner_gap, 0.1) << c.what;
    EXPECT_NEAR(t.inner_layer_end * s, c.inner_end, 0.1) << c.what;
    EXPECT_EQ(t.outer_layer, c.outer_gap != 0) << c.what;
    EXPECT_EQ(t.inner_layer, c.inner_gap != N) << c.what;
    // Positions set by rule carry the error of a held quantity.
    EXPECT_EQ(t.thickness_error, 1e-4) << c.what;
    EXPECT_EQ(t.cortical_density_error, 1e-4) << c.what;
    EXPECT_EQ(t.outer_gap_error, t.outer_layer ? 1e-4 : kNoValue) << c.what;
    EXPECT_EQ(t.blur, 0.0) << c.what;
    EXPECT_NEAR(t.cortical_density, c.edges[0].second, 60.0) << c.what;
    // The model holds the threshold of the stretch each sample lies in.
    const double mid = 0.5 * (t.outer_edge + t.inner_edge) * s;
    const size_t inside = size_t(std::floor(mid));
    EXPECT_NEAR(t.model[inside], 0.5 * (t.outer_density + t.cortical_density), 80.0) << c.what;
  }
}

TEST(ThicknessThreshold, TheOuterEdgeSearchRunsOutOutwardFirst) {
  // E = 1/3 of 72 samples: the point's sample M = 23. The search tests M,
  // M + 1, M - 1, ...; the outward side runs out after testing 0, at the
  // step M + 1 = 24 away, so inward it reaches 2M + 1 but not 2M + 2.
  const int N = 72, M = 23;
  for (int k : {2 * M + 1, 2 * M + 2}) {
    std::vector<double> p(static_cast<size_t>(N), 0.0);
    for (int j = k + 1; j < 66; ++j) p[size_t(j)] = 1500.0;
    for (int j = 66; j < N; ++j) p[size_t(j)] = 100.0;
    thickness t;
    prepare_path(t, p, 1.8, 1.0 / 3.0, technique_options(thickness_auto_threshold));
    const int32_t status = t.run_path();
    if (k == 2 * M + 1) {
      ASSERT_EQ(status, 1);
      EXPECT_NEAR(t.outer_edge * (N - 1) / 1.8, k + 0.5, 1e-9);
    } else {
      EXPECT_EQ(status, 10);
      EXPECT_EQ(t.thickness_error, kNoValue);
    }
  }
}

// Nine lines whose edges are staggered over two samples, as across a tilted
// cortex: cell c rises at x0 + o_c and falls at x1 + o_c, o_c = 2 (c + 0.5) / 9 - 1.
TEST(ThicknessThreshold, ThePerLineCountThresholdsEveryLineOnItsOwn) {
  const int N = 72, C = 9;
  const double L = 1.8, s = (N - 1) / L, x0 = 25.23, x1 = 40.71;
  std::vector<double> offsets, cells;
  std::vector<double> profile(static_cast<size_t>(N), 0.0);
  for (int c = 0; c < C; ++c) {
    const double o = 2.0 * (c + 0.5) / C - 1.0;
    offsets.push_back(o);
    const std::vector<double> p = steps(N, 200.0, {{x0 + o, 1700.0}, {x1 + o, 200.0}}, 1.3);
    cells.insert(cells.end(), p.begin(), p.end());
    for (int k = 0; k < N; ++k) profile[size_t(k)] += p[size_t(k)] / C;
  }
  thickness t;
  thickness_options o = technique_options(thickness_hrtc);
  o.width = 4;
  prepare_path(t, profile, L, 1.0 / 3.0, o);
  t.cell_count = C;
  t.cell_samples = cells;
  ASSERT_EQ(t.run_path(), 1);

  // The count of lines above half way, from where each line crosses it.
  std::vector<double> a(static_cast<size_t>(N), 0.0);
  for (int k = 0; k < N; ++k)
    for (double off : offsets) a[size_t(k)] += (k > x0 + off && k < x1 + off) ? 1.0 : 0.0;
  int k = 0;
  while (!(a[size_t(k)] > 4.5)) ++k;
  const double outer = k - 1 + (4.5 - a[size_t(k - 1)]) / (a[size_t(k)] - a[size_t(k - 1)]);
  int l = k;
  while (a[size_t(l)] != 9.0) ++l;
  while (!(a[size_t(l)] < 4.5)) ++l;
  double tail = 0.0;
  int tn = 0;
  for (int j = l; j < N; ++j)
    if (a[size_t(j)] < 4.5) tail += a[size_t(j)], ++tn;
  tail /= tn;
  const double q = std::min(2.0 * tail, 0.5 * (tail + 9.0));
  int j = l - 1;
  while (!(a[size_t(j)] > 0.98 * 9.0)) --j;
  const double inner = j + (a[size_t(j)] - 0.98 * 9.0) / (a[size_t(j)] - a[size_t(j + 1)]);
  int i = l;
  while (!(a[size_t(i)] <= q)) ++i;
  while (a[size_t(i)] < a[size_t(i - 1)]) ++i;

  EXPECT_NEAR(t.outer_edge * s, outer, 1e-6);
  EXPECT_NEAR(t.inner_edge * s, inner, 1e-6);
  EXPECT_NEAR(t.endo_end * s, i - 0.5, 1e-6);
  // Staggered lines place the outer edge within a tenth of a sample of
  // their mean edge; the inner edge lies where the first line falls.
  EXPECT_NEAR(t.outer_edge * s, x0, 0.1);
  EXPECT_GT(t.inner_edge * s, x1 - 2.0);
  EXPECT_LT(t.inner_edge * s, x1 - 0.8);
  EXPECT_NEAR(t.outer_density, 200.0, 1e-6);
  EXPECT_NEAR(t.cortical_density, 1700.0, 1e-3);
  EXPECT_NEAR(t.inner_density, 200.0 + tail / 9.0 * 1500.0, 1e-3);
  EXPECT_EQ(t.cortical_density_error, 1e-4);
  EXPECT_EQ(t.endo_error, 1e-4);
  EXPECT_EQ(t.fit_error, 0.0);
  // The profile shown is the count on the scale of the densities, and so
  // is the mean density.
  EXPECT_NEAR(t.profile[35], 1700.0, 1e-3);
  EXPECT_NEAR(t.profile[5], 200.0, 1e-3);
  double mean = 0.0;
  int mn = 0;
  for (int m = int(std::ceil(outer)); m < inner; ++m) mean += a[size_t(m)] / 9.0 * 1500.0, ++mn;
  EXPECT_NEAR(t.mean_density, 200.0 + mean / mn, 1e-3);

  // A clean marrow: no line lies above threshold inside, so the tail's mean
  // and q are 0; the transition ends at once, half a sample past the first
  // sample in the marrow (here 41, the lines falling at 40.3).
  std::vector<double> clean;
  for (int c = 0; c < C; ++c) {
    const std::vector<double> p = steps(N, 0.0, {{x0, 1500.0}, {40.3, 0.0}}, 0.3);
    clean.insert(clean.end(), p.begin(), p.end());
  }
  t.cell_samples = clean;
  ASSERT_EQ(t.run_path(), 1);
  EXPECT_NEAR(t.endo_end * s, 41.5, 1e-9);
  EXPECT_NEAR(t.inner_density, t.outer_density, 1e-6);

  // Lines that never fall again: the search for the inner edge runs off the end.
  std::vector<double> rising;
  for (int c = 0; c < C; ++c) {
    const std::vector<double> p = steps(N, 0.0, {{x0 + offsets[size_t(c)], 1500.0}}, 1.3);
    rising.insert(rising.end(), p.begin(), p.end());
  }
  t.cell_samples = rising;
  EXPECT_EQ(t.run_path(), 10);
}

TEST(ThicknessThreshold, LevelMeansTakePeaksTroughsOrAllSamples) {
  const double nv = -1.0;
  //                        0  1  2  3  4  5  6  7  8   9
  const std::vector<double> p = {5, 9, 4, 8, 3, 7, nv, 6, 2, 10};
  // Samples 1 .. 7 (i0 = 0, i1 = 9): peaks at 1, 3, 5 and 7 (9, 8, 7, 6);
  // the missing sample 6 does not count but its neighbours do.
  EXPECT_DOUBLE_EQ(thickness_level_mean(p, -0.4, 8.6, true, false, nv), 7.5);
  // Troughs at 2 and 4 (4, 3); 8 lies beyond i1 - 2 = 7.
  EXPECT_DOUBLE_EQ(thickness_level_mean(p, -0.4, 8.6, false, true, nv), 3.5);
  // Equal flags: the plain mean of 0 .. 8, the missing sample left out.
  EXPECT_DOUBLE_EQ(thickness_level_mean(p, 0.0, 9.0, true, true, nv), (5 + 9 + 4 + 8 + 3 + 7 + 6 + 2) / 8.0);
  // No peak in a rising stretch: the mean of its inner samples.
  const std::vector<double> rise = {1, 2, 3, 4, 5};
  EXPECT_DOUBLE_EQ(thickness_level_mean(rise, 0.0, 5.0, true, false, nv), 3.0);
  EXPECT_EQ(thickness_level_mean(rise, 2.0, 2.0, true, true, nv), 0.0);
}

}  // namespace
