// The Thickness display page's result texts and unit labels against values
// worked out by hand.
#include <gtest/gtest.h>

#include "surfaces/surface_interp.h"
#include "visual/thickness_results.h"

namespace {

single_line_result fitted() {
  single_line_result r;
  r.valid = r.fit_succeeded = true;
  r.outer = 0.2;
  r.inner = 0.5;
  r.edge_error = 0.01;
  r.sigma = 0.05;
  r.sigma_error = 0.01;
  r.cortical_density = 1200.04;
  r.cortical_density_error = 35.26;
  r.inner_density = 150.0;
  r.inner_density_error = 1e10;
  r.residual = 12.34;
  r.along_normal = 10.0;
  return r;
}

TEST(ThicknessResults, SingleLineCases) {
  thickness_result_lines l = single_line_lines(fitted(), "HU");
  EXPECT_EQ(l[0], "Optimisation was successful");
  // (0.5 - 0.2) x 10 from the inner edge: no endocortical edge fitted.
  EXPECT_EQ(l[1], "Thickness is 3.00 +/- 0.10 mm");
  // 10 x 2.3548 x 0.05 = 1.1774, 10 x 2.3548 x 0.01 = 0.23548.
  EXPECT_EQ(l[2], "FWHM blur is 1.18 +/- 0.24 mm");
  EXPECT_EQ(l[3], "Endo thickness not detected");
  EXPECT_EQ(l[4], "Outer gap not detected");
  EXPECT_EQ(l[5], "Density is 1200.0 +/- 35.3 HU");
  EXPECT_EQ(l[6], "Inner density not detected");
  EXPECT_EQ(l[7], "Residual error is 12.3 HU");

  // With an endocortical edge at 0.7: from the midpoint 0.6; a gap at 0.15;
  // half the line along the normal (D = 5).
  single_line_result r = fitted();
  r.endo = 0.7;
  r.endo_error = 0.02;
  r.gap = true;
  r.outer_gap = 0.15;
  r.outer_gap_error = 0.004;
  r.along_normal = 5.0;
  r.sigma_error = 1e10;
  l = single_line_lines(r, "HU");
  EXPECT_EQ(l[1], "Thickness is 2.00 +/- 0.05 mm");
  EXPECT_EQ(l[2], "FWHM blur not detected");
  EXPECT_EQ(l[3], "Endo thickness is 1.00 +/- 0.10 mm");
  EXPECT_EQ(l[4], "Outer gap is 0.25 +/- 0.02 mm");
  // Edges the other way round give a negative thickness.
  r = fitted();
  r.outer = 0.5;
  r.inner = 0.2;
  EXPECT_EQ(single_line_lines(r, "HU")[1], "Thickness is -3.00 +/- 0.10 mm");

  r.fit_succeeded = false;
  l = single_line_lines(r, "HU");
  const char* failed[8] = {"Optimisation failed",          "Thickness not available",     "FWHM blur not available",
                           "Endo thickness not available", "Outer gap not available",     "Density not available",
                           "Inner density not available",  "Residual error not available"};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(l[i], failed[i]);
  const char* none[8] = {"No optimisation performed",  "Thickness not measured",     "FWHM blur not measured",
                         "Endo thickness not measured", "Outer gap not measured",    "Density not measured",
                         "Inner density not measured", "Residual error not measured"};
  l = unmeasured_lines();
  for (int i = 0; i < 8; ++i) EXPECT_EQ(l[i], none[i]);
}

TEST(ThicknessResults, SurfaceAveragesWeightedByTheirErrors) {
  surface_interp s;
  s.cortical_thickness = {1.0, 2.0, 3.0};
  s.fit_error = {1.0, 1.0, 2.0};  // weights 1, 1, 0.25: S0 = 2.25
  s.density = {100.0, 200.0, 300.0};
  s.blur = {0.5, 0.5, 0.5};
  s.blur_error = {1e10, 1e10, 1e10};
  s.inner_density = {50.0, 70.0, 10.0};
  s.inner_density_error = {2.0, 2.0, 0.0};  // the zero error does not count: S0 = 0.5
  thickness_result_lines l = surface_average_lines("Femur", &s, "mg/cc");
  EXPECT_EQ(l[0], "Averages for Femur:");
  // (1 + 2 + 0.75) / 2.25 = 1.6667, 1 / 1.5 = 0.6667.
  EXPECT_EQ(l[1], "Thickness is 1.67 +/- 0.67 mm");
  EXPECT_EQ(l[2], "FWHM blur not detected");
  EXPECT_EQ(l[3], "Endo thickness not measured");
  EXPECT_EQ(l[4], "Outer gap not measured");
  // (100 + 200 + 75) / 2.25 = 166.67.
  EXPECT_EQ(l[5], "Density is 166.7 mg/cc");
  // (12.5 + 17.5) / 0.5 = 60, 1 / sqrt(0.5) = 1.414.
  EXPECT_EQ(l[6], "Inner density is 60.0 +/- 1.4 mg/cc");
  EXPECT_EQ(l[7], "Residual error not measured");

  s.fit_error = {1e10, 1e10, 1e10};
  l = surface_average_lines("Femur", &s, "HU");
  EXPECT_EQ(l[1], "Thickness not detected");
  EXPECT_EQ(l[5], "Density not detected");
  // No surface: nothing read, nothing measured.
  l = surface_average_lines("Gone", nullptr, "HU");
  EXPECT_EQ(l[0], "Averages for Gone:");
  EXPECT_EQ(l[1], "Thickness not measured");
}

TEST(ThicknessResults, UnitsRelabelTheScalesAndQuantities) {
  std::array<wxString, 3> labels = thickness_unit_labels("GY");
  EXPECT_EQ(labels[0], "Density range (GY) :");
  EXPECT_EQ(labels[1], "Density offset (GY) :");
  EXPECT_EQ(labels[2], "Mass range(10x GYmm) :");
  labels = thickness_unit_labels("HU");
  EXPECT_EQ(labels[0], "Density range (100x HU) :");
  EXPECT_EQ(labels[1], "Density offset (100x HU) :");
  EXPECT_EQ(labels[2], "Mass range(1000x HUmm) :");
  const std::array<wxString, 10> names = thickness_display_names("GY");
  EXPECT_EQ(names[1], "mass (GYmm)");
  EXPECT_EQ(names[2], "density (GY)");
  EXPECT_EQ(names[5], "inner density (GY)");
  EXPECT_EQ(names[7], "outer density (GY)");
  EXPECT_EQ(names[9], "offset (mm)");
}

}  // namespace
