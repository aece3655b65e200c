// The "Estimate cortical density" command over the thin-walled tube phantom:
// estimates, questions, the graph's file name and curves, and the settings
// put back; and the global smooth density mode.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "data/data_io_ui.h"
#include "data/file_menu.h"
#include "data/file_save.h"
#include "data/objects.h"
#include "mapping_test_support.h"
#include "medical/dicom_utility.h"
#include "thickness/density_estimation.h"
#include "thickness/thickness_technique.h"
#include "thickness_data_support.h"

using namespace mapping_test;

namespace {

const std::string kData = NV_TEST_SCRIPTS;

class recording_ui : public density_estimation_ui {
 public:
  bool ask(const wxString& question) override {
    questions.push_back(question);
    return answer;
  }
  void graph(const density_graph& g, bool show, const wxString& png) override {
    graphs.push_back(g);
    shown.push_back(show);
    paths.push_back(png);
  }
  void select_page() override { ++pages; }
  void enable_convert(bool on) override { convert = on ? 1 : 0; }
  bool answer = false;
  std::vector<wxString> questions, paths;
  std::vector<density_graph> graphs;
  std::vector<bool> shown;
  int pages = 0, convert = -1;
};

class DensityCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(run_python(kData + "/make_tube_phantom.py",
                           dir.path("tube.nii") +
                               " --wall-min-mm 0.2 --wall-max-mm 3 --cortex 1600 --inside 200 "
                               "--outside 200 --blur-mm 0.35"));
    dicom_utility::reset_reader_state();
    ASSERT_TRUE(open_image_data(dir.path("tube.nii")));
    t.RES_THICKNESS_TYPE->write(thickness_fwhm);
    thickness_apply_technique(thickness_fwhm);
    base_res_t::make_pending_writes_happen();
    geometry.wall_min = 0.2;
    auto* s = new surface_interp(0);
    tube_mesh(*s, geometry, {1, 3, 4, 6}, 90, t.RES_XSCALE->read());
    t.RES_SURFACE[0]->write(s);
    t.RES_THICKNESS_SURF->write(0);
    t.RES_ASCII_FILENAME->write(wxFileName(dir.path("scan.hm")));
    t.RES_OBJECT->read()[0].name = "Left/../tibia";
    // Every overridden setting at a value of its own.
    t.RES_THICKNESS_GAUSS->write(0.011);
    t.RES_THICKNESS_RECT->write(0.022);
    t.RES_THICKNESS_A->write(111.0);
    t.RES_THICKNESS_B->write(1e10);
    t.RES_THICKNESS_C->write(333.0);
    t.RES_THICKNESS_C_AVERAGE->write(44.0);
    t.RES_THICKNESS_A_AVERAGE->write(55.0);
    t.RES_THICKNESS_IN_FRAME->write(true);
    t.RES_THICKNESS_POST_BLUR->write(true);
    t.RES_THICKNESS_FWHM->write(false);
    t.RES_THICKNESS_THRESHOLD->write(true);
    t.RES_THICKNESS_ENDO_MODEL->write(true);
    t.RES_THICKNESS_INNER_LAYER->write(true);
    t.RES_THICKNESS_OUTER_LAYER->write(true);
    t.RES_THICKNESS_LOCAL_DENSITY->write(false);
    base_res_t::make_pending_writes_happen();
  }
  void TearDown() override {
    delete t.RES_SURFACE[0]->read();
    t.RES_SURFACE[0]->write(nullptr);
    base_res_t::make_pending_writes_happen();
  }
  // The ten settings that always come back as they were.
  void expect_restored() {
    EXPECT_EQ(t.RES_THICKNESS_A->read(), 111.0);
    EXPECT_EQ(t.RES_THICKNESS_C->read(), 333.0);
    EXPECT_TRUE(t.RES_THICKNESS_IN_FRAME->read());
    EXPECT_TRUE(t.RES_THICKNESS_POST_BLUR->read());
    EXPECT_FALSE(t.RES_THICKNESS_FWHM->read());
    EXPECT_TRUE(t.RES_THICKNESS_THRESHOLD->read());
    EXPECT_TRUE(t.RES_THICKNESS_ENDO_MODEL->read());
    EXPECT_TRUE(t.RES_THICKNESS_INNER_LAYER->read());
    EXPECT_TRUE(t.RES_THICKNESS_OUTER_LAYER->read());
    EXPECT_FALSE(t.RES_THICKNESS_LOCAL_DENSITY->read());
    EXPECT_EQ(t.RES_THICKNESS_C_AVERAGE->read(), 1e10);
    EXPECT_EQ(t.RES_THICKNESS_A_AVERAGE->read(), 1e10);
  }

  thickness_scratch dir;
  console_data_io_ui io;
  data_ui_scope scope{io};
  headless_session session;
  resource_table_t& t = *resource_table;
  tube_geometry geometry;
};

TEST_F(DensityCommand, InAScriptEstimatesWithoutAskingAndWritesTheGraph) {
  t.RES_IN_SCRIPT->write(true);
  base_res_t::make_pending_writes_happen();
  recording_ui ui;
  const density_estimation_outcome out = estimate_cortical_density(ui);
  t.RES_IN_SCRIPT->write(false);
  base_res_t::make_pending_writes_happen();
  ASSERT_TRUE(out.succeeded);
  EXPECT_EQ(ui.pages, 1);
  EXPECT_TRUE(ui.questions.empty());
  EXPECT_NEAR(t.RES_THICKNESS_B->read(), 1600.0, 0.03 * 1600.0);
  EXPECT_EQ(t.RES_THICKNESS_B->read(), out.density);
  EXPECT_NEAR(out.blur, 0.35, 0.035);
  // Every line lies in a slice, so the blur across the slices is not found:
  // post-correction keeps the user's blurs rather than writing zeros.
  EXPECT_EQ(out.out_of_plane, 0.0);
  EXPECT_EQ(t.RES_THICKNESS_GAUSS->read(), 0.011);
  EXPECT_EQ(t.RES_THICKNESS_RECT->read(), 0.022);
  expect_restored();
  ASSERT_EQ(ui.graphs.size(), 1u);
  EXPECT_FALSE(ui.shown[0]);
  EXPECT_EQ(ui.paths[0], wxString(dir.path("scan_Left_.__tibia_density.png")));
  EXPECT_TRUE(ui.graphs[0].text.StartsWith("Estimated real cortical density is "));
  EXPECT_EQ(ui.convert, 0);  // enabled for technique 0 only
  // The surface waits for the conversion from FWHM.
  EXPECT_TRUE(t.RES_SURFACE[0]->read()->fwhm_pending);
}

TEST_F(DensityCommand, AnsweringNoStillStoresTheDensity) {
  t.RES_THICKNESS_POST_BLUR->write(false);
  base_res_t::make_pending_writes_happen();
  recording_ui ui;
  const density_estimation_outcome out = estimate_cortical_density(ui);
  ASSERT_TRUE(out.succeeded);
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_TRUE(ui.questions[0].StartsWith(out.result + "\n\n"));
  EXPECT_TRUE(ui.questions[0].EndsWith("\n\nShow graphical results?") ||
              ui.questions[0].EndsWith("Confirm using the graphical results?"));
  EXPECT_TRUE(ui.graphs.empty());
  EXPECT_EQ(t.RES_THICKNESS_B->read(), out.density);
  // Post-correction off: the blurs come back unchanged.
  EXPECT_EQ(t.RES_THICKNESS_GAUSS->read(), 0.011);
  EXPECT_EQ(t.RES_THICKNESS_RECT->read(), 0.022);
}

// No surface to map: the failure question, the raw data on Yes, and the
// user's blurs and density kept.
TEST_F(DensityCommand, FailureAsksForTheRawDataAndKeepsTheSettings) {
  t.RES_THICKNESS_SURF->write(5);
  base_res_t::make_pending_writes_happen();
  recording_ui ui;
  ui.answer = true;
  const density_estimation_outcome out = estimate_cortical_density(ui);
  EXPECT_FALSE(out.succeeded);
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_EQ(ui.questions[0], "Cortical density estimation failed.\n\nShow raw data?");
  ASSERT_EQ(ui.graphs.size(), 1u);
  EXPECT_TRUE(ui.graphs[0].raw);
  EXPECT_TRUE(ui.shown[0]);
  EXPECT_TRUE(ui.paths[0].empty());
  EXPECT_EQ(t.RES_THICKNESS_B->read(), 1e10);
  EXPECT_EQ(t.RES_THICKNESS_GAUSS->read(), 0.011);
  EXPECT_EQ(t.RES_THICKNESS_RECT->read(), 0.022);
  expect_restored();
}

TEST_F(DensityCommand, GlobalSmoothDensityKeepsOnlyTheDensity) {
  t.RES_THICKNESS_LOCAL_DENSITY->write(true);
  t.RES_THICKNESS_SMOOTH->write(2);
  t.RES_THICKNESS_SMOOTH_FILL->write(30);
  base_res_t::make_pending_writes_happen();
  // A separate triangle far outside the images: nothing measured there, and
  // nothing for the smoothing to spread into it.
  surface_interp& tube = *t.RES_SURFACE[0]->read();
  std::vector<surface_point> pts(tube.mesh.points, tube.mesh.points + tube.mesh.n_points);
  std::vector<surface_triangle> tris(tube.mesh.triangles, tube.mesh.triangles + tube.mesh.n_triangles);
  const int32_t far = int32_t(pts.size());
  for (int k = 0; k < 3; ++k) pts.push_back(vertex(50.0 + k, 50.0, 50.0 + (k == 2), 0, 0, 1));
  tris.push_back({far, far + 1, far + 2, 1});
  set_mesh(tube, pts, tris);
  recording_ui ui;
  const density_estimation_outcome out = estimate_cortical_density(ui);
  EXPECT_FALSE(out.estimation_mode);
  EXPECT_TRUE(ui.questions.empty());
  EXPECT_TRUE(ui.graphs.empty());
  EXPECT_TRUE(t.RES_THICKNESS_LOCAL_DENSITY->read());
  EXPECT_EQ(t.RES_THICKNESS_SMOOTH->read(), 2);
  EXPECT_EQ(t.RES_THICKNESS_SMOOTH_FILL->read(), 30);
  const surface_interp& s = *t.RES_SURFACE[0]->read();
  const size_t n = size_t(s.mesh.n_points);
  EXPECT_TRUE(s.cortical_thickness.empty());
  EXPECT_TRUE(s.surface_offset.empty());
  EXPECT_TRUE(s.blur.empty());
  ASSERT_EQ(s.density.size(), n);
  ASSERT_EQ(s.fit_error.size(), n);
  int valued = 0;
  for (size_t k = 0; k < n; ++k) {
    EXPECT_EQ(s.density[k], s.smoothed_thickness[k]);
    EXPECT_TRUE(s.fit_error[k] == 1.0 || s.fit_error[k] == 1e10);
    if (s.fit_error[k] == 1.0) {
      ++valued;
      // Peak densities of a blurred thin wall lie between background and cortex.
      EXPECT_GT(s.density[k], 200.0);
      EXPECT_LT(s.density[k], 1700.0);
    }
  }
  EXPECT_GT(valued, int(n) / 2);
  for (size_t k = size_t(far); k < n; ++k) {
    EXPECT_EQ(s.fit_error[k], 1e10) << k;
    EXPECT_EQ(s.density[k], 0.0) << k;
  }
}

// The theoretical curve follows B + (D - B) erf(x / (2 sqrt 2 s)); bins with
// a negative count are outliers, the others used.
TEST(DensityGraph, CurvesFromAHistogram) {
  thickness_estimation e;
  e.real_density = 1500.0, e.background = 100.0, e.blur = 0.4;
  for (int j = 1; j <= 20; ++j) {
    const double w = j == 7 ? -2.0 : 2.0, m = 100.0 + 60.0 * j;
    e.W[j] = w, e.S[j] = std::fabs(w) * m, e.Q[j] = std::fabs(w) * (m * m + 25.0);
  }
  const density_graph g = make_density_graph(e, 20, false, "HU", "text");
  ASSERT_EQ(g.theory.x.size(), 21u);
  for (size_t j = 0; j < g.theory.x.size(); ++j) {
    const double x = 150.0 * double(j) / 1400.0;
    EXPECT_NEAR(g.theory.x[j], x, 1e-12);
    const double want = j == 0 ? 100.0 : 100.0 + 1400.0 * std::erf(x / (2 * std::sqrt(2.0) * 0.4));
    EXPECT_NEAR(g.theory.y[j], want, 1400.0 * 2e-5) << j;
    EXPECT_EQ(g.presumed.y[j], 1500.0);
  }
  ASSERT_EQ(g.outliers.x.size(), 1u);
  EXPECT_NEAR(g.outliers.y[0], 520.0, 1e-9);
  ASSERT_EQ(g.used.x.size(), 19u);
  EXPECT_NEAR(g.upper.y[0] - g.lower.y[0], 10.0, 1e-6);
  EXPECT_EQ(g.y_title, "Apparent peak density (HU)");
  const density_graph raw = make_density_graph(e, 20, true, "HU", "");
  EXPECT_EQ(raw.used.x.size(), 20u);
  EXPECT_NEAR(raw.used.x[0], 0.15, 1e-12);
  EXPECT_EQ(raw.x_title, "Thickness presuming 1000 HU density (mm)");
}

TEST(SafeFileNamePart, NamesBecomeOnePartOfAFileName) {
  struct row {
    const char* name;
    int object;
    const char* want;
  } rows[] = {{"Left tibia", 3, "Left tibia"}, {"a/b\\c:d", 1, "a_b_c_d"},
              {"..", 4, "._"},                {"x...y", 0, "x.__y"},
              {"", 7, "7"},                   {"  ", 9, "9"},
              {"tab\there\n", 2, "tab_here_"}, {"<a|b>?*\"", 5, "_a_b____"}};
  for (const row& r : rows) EXPECT_EQ(safe_file_name_part(r.name, r.object), r.want) << r.name;
}

}  // namespace
