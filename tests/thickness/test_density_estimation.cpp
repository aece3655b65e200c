// The density estimation: the fit of a synthesised mass histogram against
// scipy's MINPACK, the histogram's bins, and estimation over thin-walled
// tube phantoms of known density, background and blur.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "data/data_io_ui.h"
#include "data/file_menu.h"
#include "mapping_test_support.h"
#include "medical/dicom_utility.h"
#include "thickness/surface_mapping.h"
#include "thickness/thickness.h"
#include "thickness/thickness_technique.h"
#include "thickness_data_support.h"

using namespace mapping_test;

namespace {

const std::string kData = NV_TEST_SCRIPTS;
const std::string kScripts = NV_THICKNESS_SCRIPTS;

double json_number(const std::string& text, const std::string& name, int index = -1) {
  size_t at = text.find("\"" + name + "\"");
  at = text.find(':', at) + 1;
  if (index >= 0) {
    at = text.find('[', at) + 1;
    for (int k = 0; k < index; ++k) at = text.find(',', at) + 1;
  }
  return std::strtod(text.c_str() + at, nullptr);
}

std::string list(const double* v, int count) {
  std::ostringstream s;
  s.precision(17);
  s << "[";
  for (int i = 0; i < count; ++i) s << (i ? "," : "") << v[i];
  return s.str() + "]";
}

// Bin means of D erf(150 i / (2 sqrt 2 D f)) + c with a deterministic
// wobble and a few outlying bins, weights varying from bin to bin.
TEST(DensityFit, MatchesScipyOnASynthesisedHistogram) {
  thickness_scratch dir;
  const double D = 1350.0, c = 120.0, f = 0.45;
  thickness_estimation e;
  const int bins = 70;
  for (int i = 1; i < bins; ++i) {
    const double mass = 150.0 * i;
    double mean = D * std::erf(mass / (2 * std::sqrt(2.0) * D * f)) + c + 8.0 * std::sin(1.7 * i);
    if (i == 13 || i == 40) mean += 300.0;
    const double w = 50.0 + 30.0 * std::cos(0.9 * i) + (i < 20 ? 40.0 : 0.0);
    e.W[i] = w;
    e.S[i] = w * mean;
    e.Q[i] = w * mean * mean;
  }
  thickness_density_fit(e, bins);
  ASSERT_GE(e.status, 1);
  ASSERT_LE(e.status, 3);

  std::ofstream(dir.path("in.json")) << "{\"S\":" << list(e.S, bins) << ",\"W\":"
                                     << list(e.W, bins) << ",\"bins\":" << bins << "}";
  ASSERT_TRUE(run_python(kScripts + "/density_fit_reference.py",
                         dir.path("in.json") + " " + dir.path("out.json")));
  const std::string ref = read_text(dir.path("out.json"));
  const double rD = json_number(ref, "D"), rc = json_number(ref, "c"), rf = json_number(ref, "f");
  EXPECT_NEAR(e.real_density, rD + rc, 1e-3 * (rD + rc));
  EXPECT_NEAR(e.background, rc, 1e-3 * std::fabs(rD));
  EXPECT_NEAR(e.blur, rf, 1e-3 * rf);
  EXPECT_NEAR(e.density_variance, json_number(ref, "var", 0), 0.02 * json_number(ref, "var", 0));
  EXPECT_NEAR(e.blur_variance, json_number(ref, "var", 2), 0.02 * json_number(ref, "var", 2));
  // And both near the truth, the outliers left out.
  EXPECT_NEAR(e.real_density, D + c, 30.0);
  EXPECT_NEAR(e.blur, f, 0.05);
  EXPECT_GT(e.rms, 0.0);
}

TEST(DensityFit, ThreeBinsAreNotEnough) {
  thickness_estimation e;
  for (int i = 0; i < 3; ++i) e.S[i] = 1000.0 * (e.W[i] = 1.0);
  thickness_density_fit(e, 3);
  EXPECT_EQ(e.status, 4);
  EXPECT_EQ(e.rms, 0.0);
  EXPECT_EQ(e.real_density, 0.0);
}

class DensityEstimation : public ::testing::Test {
 protected:
  void phantom(const std::string& args) {
    ASSERT_TRUE(run_python(kData + "/make_tube_phantom.py", dir.path("tube.nii") + " " + args));
    dicom_utility::reset_reader_state();
    ASSERT_TRUE(open_image_data(dir.path("tube.nii")));
    t.RES_THICKNESS_TYPE->write(thickness_fwhm);
    thickness_apply_technique(thickness_fwhm);
    t.RES_THICKNESS_C_AVERAGE->write(1e10);
    t.RES_THICKNESS_A_AVERAGE->write(1e10);
    base_res_t::make_pending_writes_happen();
  }

  thickness_scratch dir;
  console_data_io_ui ui;
  data_ui_scope scope{ui};
  headless_session session;
  resource_table_t& t = *resource_table;
  tube_geometry geometry;
};

// Walls from 0.2 to 3 mm round the tube, cortex 1600 over a background of
// 200 inside and out, blur sigma 0.35 mm.
TEST_F(DensityEstimation, ThinWallsGiveDensityBackgroundAndBlur) {
  phantom("--wall-min-mm 0.2 --wall-max-mm 3 --cortex 1600 --inside 200 --outside 200 "
          "--blur-mm 0.35");
  geometry.wall_min = 0.2;
  surface_interp s;
  tube_mesh(s, geometry, {1, 3, 4, 6}, 90, t.RES_XSCALE->read());
  thickness_estimation e;
  fake_hooks hooks;
  s.calc_thickness(&hooks, &e);
  ASSERT_GE(e.status, 1);
  ASSERT_LE(e.status, 3);
  EXPECT_NEAR(e.real_density, 1600.0, 0.03 * 1600.0);
  EXPECT_NEAR(e.background, 200.0, 0.03 * 1600.0);
  EXPECT_NEAR(e.blur, 0.35, 0.035);
  EXPECT_TRUE(hooks.title.StartsWith("Estimating density for "));
  EXPECT_TRUE(hooks.last_message.Contains("Estimated real cortical density is "));
  // The mass and the background wait for the conversion; the surface's
  // arrays are kept apart from the averages, which stay unset.
  EXPECT_TRUE(s.fwhm_pending);
  EXPECT_TRUE(s.surface_offset.empty());
  EXPECT_EQ(t.RES_THICKNESS_C_AVERAGE->read(), 1e10);
  EXPECT_EQ(t.RES_THICKNESS_A_AVERAGE->read(), 1e10);
  // Converting with the estimated density gives back the walls.
  s.convert_from_fwhm(e.real_density);
  EXPECT_FALSE(s.fwhm_pending);
  int checked = 0;
  for (int32_t i = 0; i < s.mesh.n_points; ++i) {
    const double wall = geometry.wall(2 * kPi * (i % 90) / 90);
    if (wall < 1.0 || s.fit_error[size_t(i)] == 1e10) continue;
    ++checked;
    EXPECT_NEAR(s.cortical_thickness[size_t(i)], wall, 0.15) << i;
  }
  EXPECT_GT(checked, 100);
}

// A given cortical density: nothing is accumulated and nothing measured.
TEST_F(DensityEstimation, GivenDensityAccumulatesNothing) {
  phantom("");
  t.RES_THICKNESS_B->write(1500.0);
  base_res_t::make_pending_writes_happen();
  surface_interp s;
  tube_mesh(s, geometry, {2, 5}, 12, t.RES_XSCALE->read());
  thickness_estimation e;
  s.calc_thickness(nullptr, &e);
  for (int i = 0; i < thickness_estimation::kBins; ++i) ASSERT_EQ(e.W[i], 0.0);
  EXPECT_EQ(e.blur_sums[0], 0.0);
  EXPECT_EQ(e.status, 4);
  for (double v : s.fit_error) EXPECT_EQ(v, 1e10);
}

}  // namespace
