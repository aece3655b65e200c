// The cortical model fit: agreement with a numpy model solved by scipy's
// MINPACK, recovery of analytic profiles by each model technique, the error
// estimates' coverage, the weights, metal, the soft bounds and the rules
// that reject a measurement.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

#include "thickness/thickness.h"
#include "thickness/thickness_technique.h"
#include "thickness_data_support.h"
#include "thickness_test_support.h"

namespace {

const std::string kScripts = NV_THICKNESS_SCRIPTS;
constexpr double kNoValue = 1e10;

bool succeeded(int32_t s) { return s >= 1 && s <= 3; }

// A profile through a cortex of c | d | e with edges at x0 and x1 (samples)
// and an endocortical ramp from d at x1 to e at x1 + ramp, blurred by a
// Gaussian of sigma samples (numerically, on a fine grid).
std::vector<double> ramp_profile(int N, double c, double d, double e, double x0, double x1,
                                 double ramp, double sigma) {
  auto level = [&](double y) {
    if (y < x0) return c;
    if (y < x1) return d;
    if (y < x1 + ramp) return d + (e - d) * (y - x1) / ramp;
    return e;
  };
  std::vector<double> p(static_cast<size_t>(N));
  const double h = sigma / 50.0;
  for (int k = 0; k < N; ++k) {
    double sum = 0.0, wsum = 0.0;
    for (double y = -8 * sigma; y <= 8 * sigma; y += h) {
      const double w = std::exp(-y * y / (2 * sigma * sigma));
      sum += w * level(k - y);
      wsum += w;
    }
    p[size_t(k)] = sum / wsum;
  }
  return p;
}

std::string numbers(const std::vector<double>& v) {
  std::string s;
  char buf[40];
  for (size_t i = 0; i < v.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%s%.17g", i ? ", " : "", v[i]);
    s += buf;
  }
  return s;
}

std::vector<double> read_row(const std::string& text, const std::string& key) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream row(line);
    std::string k;
    row >> k;
    if (k != key) continue;
    std::vector<double> v;
    double x;
    while (row >> x) v.push_back(x);
    return v;
  }
  return {};
}

TEST(ThicknessFit, AgreesWithTheNumpyModelSolvedByScipysMinpack) {
  struct reference_case {
    const char* what;
    bool in_frame;
    double box;  // samples
    int32_t smooth;
    double held_c, held_d;
  } cases[] = {
      {"3D, one line, cortical density held", false, 0.0, 0, kNoValue, 1500.0},
      {"in a frame (box 1.3 samples), residuals averaged over 5", true, 1.3, 2, kNoValue, 1400.0},
      {"outer density held too", false, 0.0, 1, 20.0, 1450.0},
  };
  for (const reference_case& rc : cases) {
    const int N = 72;
    const double L = 1.8, E = 1.0 / 3.0, s = (N - 1) / L;
    std::vector<double> p = erf_profile(N, 20.0, 1450.0, 110.0, 24.3, 33.9, 1.7);
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, 25.0);
    for (double& v : p) v += noise(rng);
    p[50] = -32768.0;  // one missing sample

    thickness t;
    thickness_options o = technique_options(thickness_cbm_v1);
    o.width = rc.smooth;
    o.a = rc.held_c;
    prepare_path(t, p, L, E, o, rc.held_d);
    t.in_frame = rc.in_frame;
    t.slab_width = 2.0 * rc.box / s;
    ASSERT_TRUE(succeeded(t.run_path())) << rc.what;
    ASSERT_FALSE(t.fit.c_free && rc.held_c != kNoValue);

    // The fitted parameters: sigma, the free densities, x0, x1.
    std::vector<double> fitted = {t.fit.p.sigma};
    if (rc.held_c == kNoValue) fitted.push_back(t.fit.p.c);
    fitted.push_back(t.fit.p.e);
    fitted.push_back(t.fit.p.x0);
    fitted.push_back(t.fit.p.x1);
    ASSERT_EQ(int(fitted.size()), t.fit.layout.count) << rc.what;

    // The residual at a point away from the optimum, weights on sample 20.3.
    std::vector<double> x_test = fitted;
    x_test[0] *= 1.2;
    x_test[x_test.size() - 2] -= 0.7;
    x_test[x_test.size() - 1] += 1.1;
    t.set_weights(20.3);
    thickness_fit_bind(&t);
    int32_t m = t.fit.residual_count(), n = t.fit.layout.count, flag = 1;
    std::vector<double> fvec(static_cast<size_t>(m));
    thickness_residual(&m, &n, x_test.data(), fvec.data(), &flag);
    ASSERT_EQ(flag, 1);

    thickness_scratch dir;
    {
      std::ofstream js(dir.path("case.json"));
      char held[3][32];
      std::snprintf(held[0], 32, rc.held_c == kNoValue ? "null" : "%.17g", rc.held_c);
      std::snprintf(held[1], 32, "%.17g", rc.held_d);
      std::snprintf(held[2], 32, "null");
      js << "{\"N\": " << N << ", \"L\": " << L << ", \"E\": " << numbers({E})
         << ", \"no_value\": -32768, \"box\": " << numbers({rc.box}) << ", \"smooth\": " << rc.smooth
         << ", \"c\": " << held[0] << ", \"d\": " << held[1] << ", \"e\": " << held[2]
         << ", \"weights_centre\": 20.3, \"x_test\": [" << numbers(x_test) << "], \"profile\": ["
         << numbers(p) << "]}\n";
    }
    ASSERT_TRUE(run_python(kScripts + "/fit_reference.py", dir.path("case.json") + " " + dir.path("out.txt")))
        << rc.what;
    const std::string out = read_text(dir.path("out.txt"));
    const std::vector<double> residual = read_row(out, "residual"), x = read_row(out, "x"),
                              error = read_row(out, "thickness_error");
    ASSERT_EQ(residual.size(), fvec.size()) << rc.what;
    for (size_t i = 0; i < fvec.size(); ++i)
      EXPECT_NEAR(fvec[i], residual[i], 1e-9 * std::max(1.0, std::fabs(residual[i]))) << rc.what << " row " << i;
    ASSERT_EQ(x.size(), fitted.size()) << rc.what;
    for (size_t i = 0; i < x.size(); ++i)
      EXPECT_NEAR(fitted[i], x[i], 1e-6 * std::fabs(x[i])) << rc.what << " parameter " << i;
    ASSERT_EQ(error.size(), 1u);
    EXPECT_NEAR(t.thickness_error, error[0], 1e-5 * error[0]) << rc.what;
    EXPECT_NEAR(t.inner_edge - t.outer_edge, (x.back() - x[x.size() - 2]) / s, 1e-6 * (t.inner_edge - t.outer_edge));
  }
}

TEST(ThicknessFit, EachModelTechniqueRecoversAnAnalyticCortex) {
  // 1.8 cm lines of 72 samples (s = 39.4 per cm); blur sigma 0.4 mm. The
  // model's edge table is a cumulative sum of the sampled Gaussian, which
  // reads a blur some 3 % narrower than the true one.
  const int N = 72;
  const double L = 1.8, s = (N - 1) / L, sigma = 0.04;
  struct recovery_case {
    const char* what;
    int32_t type;
    double thickness_mm, ramp_mm;
    double given_density;  // 1e10: found
    double tol_mm, tol_density, tol_blur;
  } cases[] = {
      {"FWHM, a thick cortex: density from the local peak", thickness_fwhm, 3.0, 0.0, kNoValue, 0.03, 10.0, 0.05},
      {"CBM v1, density and blur both found", thickness_cbm_v1, 1.5, 0.0, kNoValue, 0.01, 10.0, 0.05},
      {"CBM v1, a thick cortex", thickness_cbm_v1, 4.0, 0.0, kNoValue, 0.01, 5.0, 0.05},
      {"CBM v2 with the given blur", thickness_cbm_v2, 2.0, 0.0, kNoValue, 0.01, 10.0, 0.05},
      {"CBM v2 with the given blur and density, a thin cortex", thickness_cbm_v2, 0.5, 0.0, 1500.0, 0.02, 40.0, 0.05},
      {"Endo CBM v2, a cortex with a 1 mm endocortical ramp", thickness_endo_cbm_v2, 2.0, 1.0, kNoValue, 0.1, 20.0, 0.1},
  };
  for (const recovery_case& rc : cases) {
    thickness t;
    thickness_options o = technique_options(rc.type);
    if (rc.type == thickness_cbm_v2 || rc.type == thickness_endo_cbm_v2) o.gauss = sigma;
    const double x0 = (N - 1) / 3.0 + 0.37, x1 = x0 + rc.thickness_mm / 10.0 * s;
    const std::vector<double> p =
        rc.ramp_mm > 0 ? ramp_profile(N, 30.0, 1500.0, 100.0, x0, x1, rc.ramp_mm / 10.0 * s, sigma * s)
                       : erf_profile(N, 30.0, 1500.0, 100.0, x0, x1, sigma * s);
    prepare_path(t, p, L, 1.0 / 3.0, o, rc.given_density);
    const int32_t status = t.run_path();
    ASSERT_TRUE(succeeded(status)) << rc.what << ": status " << status;
    EXPECT_NEAR(t.outer_edge * 10, x0 / s * 10, rc.tol_mm) << rc.what;
    if (rc.ramp_mm > 0) {
      // The inner edge where the ramp starts, the transition's end where it ends.
      EXPECT_NEAR(t.inner_edge * 10, x1 / s * 10, rc.tol_mm) << rc.what;
      EXPECT_NEAR(t.endo_end * 10, (x1 / s + rc.ramp_mm / 10) * 10, 2 * rc.tol_mm) << rc.what;
      EXPECT_LT(t.endo_error, kNoValue) << rc.what;
    } else {
      EXPECT_NEAR((t.inner_edge - t.outer_edge) * 10, rc.thickness_mm, rc.tol_mm) << rc.what;
      EXPECT_EQ(t.endo_end, 0.0) << rc.what;
    }
    EXPECT_NEAR(t.cortical_density, 1500.0, rc.tol_density) << rc.what;
    EXPECT_NEAR(t.outer_density, 30.0, 5.0) << rc.what;
    EXPECT_NEAR(t.inner_density, 100.0, 5.0) << rc.what;
    EXPECT_NEAR(t.blur, sigma, rc.tol_blur * sigma) << rc.what;
    EXPECT_LT(t.thickness_error, 0.01) << rc.what;
    EXPECT_LT(t.blur_error, 0.01) << rc.what;
    // The model drawn is the profile less the residuals, close to the data.
    for (int k = 0; k < N; ++k) EXPECT_NEAR(t.model[size_t(k)], p[size_t(k)], 40.0) << rc.what << " sample " << k;
    EXPECT_LT(t.fit_error, 10.0) << rc.what;
  }
}

TEST(ThicknessFit, TwoStandardErrorsCoverTheTruthAboutNinetyFivePercentOfTheTime) {
  // CBM v1 with density and blur found, on 200 profiles with noise of 30
  // (and, averaged over five lines, of 100) density units.
  const int N = 72;
  const double L = 1.8, s = (N - 1) / L, truth = 0.2;
  std::mt19937 rng(11);
  std::normal_distribution<double> noise(0.0, 1.0);
  for (int32_t width : {0, 2}) {
    int covered = 0, measured = 0;
    for (int r = 0; r < 200; ++r) {
      const double x0 = (N - 1) / 3.0 + 0.1 * (r % 10), x1 = x0 + truth * s;
      std::vector<double> p = erf_profile(N, 0.0, 1500.0, 100.0, x0, x1, 0.04 * s);
      for (double& v : p) v += (width ? 100.0 : 30.0) * noise(rng);
      thickness t;
      thickness_options o = technique_options(thickness_cbm_v1);
      o.width = width;
      prepare_path(t, p, L, 1.0 / 3.0, o);
      if (!succeeded(t.run_path())) continue;
      ++measured;
      if (std::fabs(t.inner_edge - t.outer_edge - truth) <= t.thickness_error) ++covered;
    }
    EXPECT_GE(measured, 198) << width;
    const double share = double(covered) / measured;
    EXPECT_GT(share, 0.90) << width;
    EXPECT_LT(share, 0.99) << width;
  }
}

TEST(ThicknessFit, TheWeightsAreOneAtTheirCentreAndFallToTheLineEnds) {
  thickness t;
  t.sample_count = 61;
  struct weight_case {
    double E, last;
  } cases[] = {{1.0 / 3.0, 1.0 / 20.0}, {0.4, 0.0757}, {0.5, 0.136}};
  for (const weight_case& c : cases) {
    t.set_weights(60 * c.E);
    EXPECT_NEAR(t.weights[size_t(std::lround(60 * c.E))], 1.0, 1e-12) << c.E;
    EXPECT_NEAR(t.weights[0], 1.0 / 20.0, 1e-12) << c.E;
    EXPECT_NEAR(t.weights[60], c.last, 5e-4) << c.E;
  }
  // A centre at or before the line start would divide by zero or turn the
  // weights negative: it is kept inside the profile.
  for (double a : {0.0, -7.5, 150.0}) {
    t.set_weights(a);
    for (double w : t.weights) {
      EXPECT_TRUE(std::isfinite(w)) << a;
      EXPECT_GT(w, 0.0) << a;
    }
  }
}

TEST(ThicknessFit, ABlurOfAQuarterLineOrMoreRejectsTheMeasurement) {
  const int N = 72;
  const double L = 1.8, s = (N - 1) / L;
  thickness t;
  const std::vector<double> p = erf_profile(N, 0.0, 1500.0, 100.0, 24.0, 40.0, 0.6 * s);
  prepare_path(t, p, L, 1.0 / 3.0, technique_options(thickness_cbm_v1), 1500.0);
  EXPECT_EQ(t.run_path(), 10);
  for (double e : {t.thickness_error, t.blur_error, t.cortical_density_error, t.inner_density_error,
                   t.endo_error, t.outer_gap_error, t.inner_gap_error})
    EXPECT_EQ(e, kNoValue);
}

TEST(ThicknessFit, MetalEndsTheWindowBeforeIt) {
  const int N = 72;
  const double L = 1.8, s = (N - 1) / L;
  std::vector<double> p = erf_profile(N, 0.0, 1500.0, 100.0, 24.0, 24.0 + 0.2 * s, 0.04 * s);
  // A screw inside the marrow: samples 50 to 55 at 6000, a ramp up to it
  // from 46 and, before the ramp, the marrow falling at 45 (its foot).
  for (int k = 40; k < 47; ++k) p[size_t(k)] = 100.0;
  p[44] = 130.0;
  p[45] = 110.0;
  for (int k = 47; k < 50; ++k) p[size_t(k)] = 100.0 + (k - 46) * 700.0;
  // With the residuals averaged over a line width too: the window is cut,
  // and the averaged residuals stay within it.
  for (int32_t width : {0, 2})
  for (double top : {6000.0, 2999.0}) {
    for (int k = 50; k <= 55; ++k) p[size_t(k)] = top;
    thickness t;
    thickness_options o = technique_options(thickness_cbm_v1);
    o.metal = true;
    o.width = width;
    prepare_path(t, p, L, 1.0 / 3.0, o, 1500.0);
    const int32_t status = t.run_path();
    if (top >= 3000.0) {
      ASSERT_TRUE(succeeded(status));
      EXPECT_TRUE(t.metal_found);
      // No inner gap was found beyond it: the window ends at the foot of its flank.
      EXPECT_EQ(t.fit.win_end, 45);
      EXPECT_NEAR((t.inner_edge - t.outer_edge) * 10, 2.0, 0.02);
    } else {
      EXPECT_FALSE(t.metal_found) << "2999 is not metal";
      EXPECT_EQ(t.fit.win_end, N - 1);
    }
  }

  // Metal inside the cortex itself: the window ends before it.
  std::vector<double> q = erf_profile(N, 0.0, 1500.0, 100.0, 24.0, 24.0 + 0.3 * s, 0.04 * s);
  q[30] = 4000.0;
  thickness t;
  thickness_options o = technique_options(thickness_cbm_v1);
  o.metal = true;
  prepare_path(t, q, L, 1.0 / 3.0, o, 1500.0);
  t.run_path();
  EXPECT_TRUE(t.metal_found);
  EXPECT_LT(t.fit.win_end, 30);
}

TEST(ThicknessFit, AFixedBlurOfZeroIsAUnitStepOrARampOverTheBox) {
  thickness_fit_state st;
  st.N = 40;
  st.box = 0.0;
  st.build_edge_table(0.0);
  EXPECT_EQ(st.edge(39.999), 0.0);
  EXPECT_EQ(st.edge(40.0), 1.0);
  EXPECT_EQ(st.edge(-3.0), 0.0);
  st.box = 2.0;
  st.build_edge_table(0.0);
  EXPECT_EQ(st.edge(38.0), 0.0);
  EXPECT_DOUBLE_EQ(st.edge(39.0), 0.25);
  EXPECT_DOUBLE_EQ(st.edge(40.0), 0.5);
  EXPECT_EQ(st.edge(42.0), 1.0);
  // A blur builds the table: half way at the edge.
  st.box = 0.0;
  st.build_edge_table(2.0);
  EXPECT_NEAR(st.edge(40.0), 0.5, 1e-12);
  st.box = 1.5;
  st.build_edge_table(2.0);
  EXPECT_NEAR(st.edge(40.0), 0.5, 1e-12);

  // In a frame with no blur entered, the slab's box alone blurs the edges:
  // a profile of two ramps over the box is fitted exactly.
  const int N = 72;
  const double L = 1.8, s = (N - 1) / L, a = 2.5, x0 = 24.3, x1 = 37.8;
  auto ramp = [&](double y) { return std::min(1.0, std::max(0.0, y / (2 * a) + 0.5)); };
  std::vector<double> p(static_cast<size_t>(N));
  for (int k = 0; k < N; ++k) p[size_t(k)] = 10.0 + 1490.0 * ramp(k - x0) - 1390.0 * ramp(k - x1);
  thickness t;
  thickness_options o = technique_options(thickness_manual);
  o.gauss = 0.0;
  o.post_blur = false;
  prepare_path(t, p, L, 1.0 / 3.0, o, 1500.0);
  t.in_frame = true;
  t.slab_width = 2.0 * a / s;
  ASSERT_TRUE(succeeded(t.run_path()));
  EXPECT_NEAR(t.outer_edge * s, x0, 1e-3);
  EXPECT_NEAR(t.inner_edge * s, x1, 1e-3);
  EXPECT_EQ(t.blur, 0.0);
  EXPECT_EQ(t.blur_error, 1e-4);
}

TEST(ThicknessFit, TheSoftBoundsStayFiniteFarOutsideTheirLimits) {
  const int N = 72;
  const double L = 1.8;
  thickness t;
  prepare_path(t, erf_profile(N, 0.0, 1500.0, 100.0, 24.0, 32.0, 1.5), L, 1.0 / 3.0,
               technique_options(thickness_cbm_v1), 1500.0);
  ASSERT_TRUE(succeeded(t.run_path()));
  // sigma, c, e, x0, x1: outer density 5000 above the cortex, the edges 40
  // samples the wrong way round, the blur far beyond N / 4.
  std::vector<double> x = {60.0, 6500.0, 100.0, 60.0, 20.0};
  int32_t m = t.fit.residual_count(), n = t.fit.layout.count, flag = 1;
  ASSERT_EQ(n, 5);
  std::vector<double> fvec(static_cast<size_t>(m));
  thickness_fit_bind(&t);
  thickness_residual(&m, &n, x.data(), fvec.data(), &flag);
  for (double v : fvec) EXPECT_TRUE(std::isfinite(v));
  EXPECT_EQ(fvec[size_t(m - 5)], 1e100) << "10^(c - d) stops growing";
  // A NaN parameter stops the fit through the callback.
  x[3] = std::nan("");
  thickness_residual(&m, &n, x.data(), fvec.data(), &flag);
  EXPECT_EQ(flag, -1);
}

TEST(ThicknessFit, AThinCortexTakesTheLocalPeakThenFreesTheDensity) {
  const int N = 72;
  const double L = 1.8, s = (N - 1) / L;
  thickness t;
  prepare_path(t, erf_profile(N, 0.0, 1500.0, 100.0, 24.0, 24.0 + 0.1 * s, 0.04 * s), L, 1.0 / 3.0,
               technique_options(thickness_cbm_v1));
  ASSERT_TRUE(succeeded(t.run_path()));
  EXPECT_TRUE(t.fit.peak_switched);
  EXPECT_FALSE(t.fit.local_peak) << "freed for the last fit";
  EXPECT_GE(t.fit.layout.d, 0);
  EXPECT_NE(t.cortical_density_error, 1e-4) << "a fitted density has an error of its own";
  EXPECT_NEAR(t.weights[size_t(std::lround(t.fit.p.x0))], 10.0, 0.5) << "tenfold weights";
}

// A cortex with a far layer beyond a gap inside it: 0 | 1500 | 100 | 1500 | 100
// (the model gives the far layer the cortex's density).
TEST(ThicknessFit, AGapInsideTheCortexIsModelledWhenTheLayerOptionIsOn) {
  const int N = 72;
  const double L = 1.8, s = (N - 1) / L, sg = 1.2;
  auto steps = [&](std::vector<std::pair<double, double>> edges, double first) {
    std::vector<double> p(static_cast<size_t>(N), first);
    double level = first;
    for (auto [x, v] : edges) {
      for (int k = 0; k < N; ++k)
        p[size_t(k)] += (v - level) * 0.5 * (1.0 + std::erf((k - x) / (std::sqrt(2.0) * sg)));
      level = v;
    }
    return p;
  };
  struct gap_case {
    const char* what;
    std::vector<std::pair<double, double>> edges;
    bool gap;
  } cases[] = {
      {"cortex, gap, far layer", {{24.3, 1500}, {33.6, 100}, {44.2, 1500}, {52.7, 100}}, true},
      // A small fall inside the gap, before any rise: a gradient minimum met
      // before a candidate, passed over.
      {"a second small fall first", {{24.3, 1500}, {33.6, 300}, {38.1, 100}, {46.2, 1500}, {54.7, 100}}, true},
      {"no second step inside", {{24.3, 1500}, {33.6, 100}}, false},
  };
  for (const gap_case& gc : cases) {
    thickness t;
    thickness_options o = technique_options(thickness_cbm_v1);
    o.inner_layer = true;
    prepare_path(t, steps(gc.edges, 0.0), L, 1.0 / 3.0, o, 1500.0);
    ASSERT_TRUE(succeeded(t.run_path())) << gc.what;
    EXPECT_NEAR(t.outer_edge * s, 24.3, 0.2) << gc.what;
    EXPECT_EQ(t.inner_layer, gc.gap) << gc.what;
    if (gc.gap) {
      const size_t n = gc.edges.size();
      EXPECT_NEAR(t.inner_gap_edge * s, gc.edges[n - 2].first, 0.3) << gc.what;
      EXPECT_NEAR(t.inner_layer_end * s, gc.edges[n - 1].first, 0.3) << gc.what;
      EXPECT_LT(t.inner_gap_error, kNoValue) << gc.what;
    } else {
      EXPECT_NEAR(t.inner_edge * s, 33.6, 0.2) << gc.what;
      EXPECT_DOUBLE_EQ(t.inner_gap_edge, (N - 1) / s) << gc.what;
      EXPECT_DOUBLE_EQ(t.inner_layer_end, (N - 1) / s) << gc.what;
      EXPECT_EQ(t.inner_gap_error, kNoValue) << gc.what;
    }
  }
}

}  // namespace
