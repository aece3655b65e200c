// Mapping thickness over a tube mesh laid on the tube phantom, where the
// wall is known at every angle: values and errors, the "Offset" rule,
// cancel, the guard against changes during the mapping's yields, the
// averages and the profile dump.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include <wx/file.h>
#include <wx/filename.h>

#include "common/log_capture.h"
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
constexpr double kNoValue = 1e10;

class SurfaceMapping : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(run_python(kData + "/make_tube_phantom.py", dir.path("tube.nii")));
    dicom_utility::reset_reader_state();
    ASSERT_TRUE(open_image_data(dir.path("tube.nii")));
    ASSERT_EQ(resource_table->RES_BUF_FRAMES->read(), 8);
    ASSERT_TRUE(resource_table->RES_POS_REC->read());
    t.RES_THICKNESS_C_AVERAGE->write(kNoValue);
    t.RES_THICKNESS_A_AVERAGE->write(kNoValue);
    base_res_t::make_pending_writes_happen();
  }
  void technique(int32_t type) {
    t.RES_THICKNESS_TYPE->write(type);
    thickness_apply_technique(type);
    base_res_t::make_pending_writes_happen();
  }
  void cbm_v2() {
    technique(thickness_cbm_v2);
    t.RES_THICKNESS_GAUSS->write(0.04);
    base_res_t::make_pending_writes_happen();
  }
  void mesh(surface_interp& s, int segments = 36) {
    tube_mesh(s, geometry, {2, 5}, segments, t.RES_XSCALE->read());
  }
  double theta(const surface_interp& s, int32_t i) const {
    return 2 * kPi * (i % (s.mesh.n_points / 2)) / (s.mesh.n_points / 2);
  }

  thickness_scratch dir;
  console_data_io_ui ui;
  data_ui_scope scope{ui};
  headless_session session;
  resource_table_t& t = *resource_table;
  thickness& engine = *resource_table->RES_THICKNESS->read();
  tube_geometry geometry;
};

TEST_F(SurfaceMapping, CbmV2MapsTheWallAlongNormalsAndDirections) {
  cbm_v2();
  for (long mode : {0L, 1L, 2L}) {
    SCOPED_TRACE(mode);
    t.RES_THICKNESS_MAP_DIRECTION->write(mode);
    t.RES_THICKNESS_C_AVERAGE->write(kNoValue);
    t.RES_THICKNESS_A_AVERAGE->write(kNoValue);
    base_res_t::make_pending_writes_happen();
    surface_interp s;
    mesh(s);
    s.segment_length.assign(size_t(s.mesh.n_points), 3.0);  // discarded by every mapping
    s.calc_thickness();
    const size_t n = size_t(s.mesh.n_points);
    ASSERT_EQ(s.cortical_thickness.size(), n);
    ASSERT_EQ(s.smoothed_thickness.size(), n);
    EXPECT_TRUE(s.segment_length.empty());
    EXPECT_EQ(s.directions.size(), mode == 0 ? 0u : n);
    int checked = 0;
    for (size_t i = 0; i < n; ++i) {
      const double truth = geometry.wall(theta(s, int32_t(i)));
      if (truth < 1.0) continue;
      ++checked;
      ASSERT_NE(s.fit_error[i], kNoValue) << i;
      EXPECT_NEAR(s.cortical_thickness[i], truth, 0.1) << "vertex " << i;
      EXPECT_NEAR(s.density[i], 1500.0, 150.0) << i;
      // The vertices lie on the outer surface.
      EXPECT_NEAR(s.surface_offset[i], 0.0, 0.1) << i;
    }
    EXPECT_GT(checked, int(n) / 2);
    // Densities inside (100) and outside (0) the tube, averaged.
    EXPECT_NEAR(t.RES_THICKNESS_C_AVERAGE->read(), 100.0, 30.0);
    EXPECT_NEAR(t.RES_THICKNESS_A_AVERAGE->read(), 0.0, 30.0);
    EXPECT_FALSE(engine.sampled);
    if (mode != 0) continue;
    // Errors are half the engine's plus 0.005, measured here at the same
    // points through the engine directly (the mapping's points come back
    // from world coordinates, a rounding error apart).
    for (int32_t i : {0, 9, 18, 27, 40}) {
      const double th = theta(s, i);
      double p[3] = {geometry.cx + geometry.radius_px * std::cos(th),
                     geometry.cy + geometry.radius_px * std::sin(th), 0.0};
      double d[3] = {std::cos(th), std::sin(th), 0.0}, nrm[3] = {0, 0, 0};
      engine.measure(i < 36 ? 2 : 5, p, d, false, 0.0, nrm, kNoValue);
      ASSERT_TRUE(engine.valid);
      EXPECT_NEAR(s.fit_error[size_t(i)], engine.thickness_error * 0.5 + 0.005, 1e-6) << i;
      EXPECT_NEAR(s.cortical_thickness[size_t(i)], (engine.inner_edge - engine.outer_edge) * 10,
                  1e-6);
    }
  }
}

TEST_F(SurfaceMapping, OffsetGivesTheLineLengthEverywhere) {
  technique(thickness_offset);
  t.RES_THICKNESS_LINE->write(0.9);
  base_res_t::make_pending_writes_happen();
  surface_interp s;
  mesh(s, 12);
  s.mesh.points[3].type = 2;  // a duplicate: not measured
  s.calc_thickness();
  ASSERT_EQ(s.cortical_thickness.size(), size_t(s.mesh.n_points));
  for (int32_t i = 0; i < s.mesh.n_points; ++i) {
    EXPECT_DOUBLE_EQ(s.cortical_thickness[size_t(i)], i == 3 ? 0.0 : 9.0);
    EXPECT_EQ(s.fit_error[size_t(i)], i == 3 ? kNoValue : 1e-4);
    EXPECT_EQ(s.density[size_t(i)], 0.0);
    EXPECT_EQ(s.blur_error[size_t(i)], kNoValue);
    EXPECT_EQ(s.inner_density_error[size_t(i)], kNoValue);
  }
  // No inner density anywhere: the averages stay unset.
  EXPECT_EQ(t.RES_THICKNESS_C_AVERAGE->read(), kNoValue);
  // 45000 vertices step the gauge in tens: 4500 steps.
  surface_interp big;
  tube_mesh(big, geometry, {2, 5}, 22500, t.RES_XSCALE->read());
  fake_hooks hooks;
  big.calc_thickness(&hooks);
  EXPECT_EQ(hooks.range, 4500);
  EXPECT_EQ(hooks.last_value, 4499);
  EXPECT_EQ(big.fit_error[44999], 1e-4);
}

TEST_F(SurfaceMapping, CancelMidwayKeepsTheRestEmptyAndStillAverages) {
  cbm_v2();
  surface_interp s;
  s.object = 3;
  mesh(s);
  fake_hooks hooks;
  hooks.cancel_at = 20;
  s.calc_thickness(&hooks);
  EXPECT_EQ(hooks.title, "Mapping thickness over " + t.RES_OBJECT->read()[3].name);
  EXPECT_EQ(hooks.first_message, "Calculating thickness values close to point 0 of 72.\n\n\n");
  EXPECT_EQ(hooks.range, 72);
  EXPECT_EQ(hooks.last_message, "Calculating thickness values close to point 20 of 72.\n");
  EXPECT_EQ(hooks.closed, 1);
  EXPECT_GT(hooks.refreshes, 0);
  for (size_t i = 0; i < 72; ++i) {
    if (i <= 20 && geometry.wall(theta(s, int32_t(i))) >= 1.0) {
      EXPECT_NE(s.fit_error[i], kNoValue) << i;
    }
    if (i > 20) {
      EXPECT_EQ(s.cortical_thickness[i], 0.0) << i;
      EXPECT_EQ(s.fit_error[i], kNoValue) << i;
    }
  }
  EXPECT_NEAR(t.RES_THICKNESS_C_AVERAGE->read(), 100.0, 30.0);
}

// While the mapping yields, a second mapping and a re-measure are refused and
// a changed setting reaches only later mappings.
TEST_F(SurfaceMapping, NothingChangesUnderARunningMapping) {
  cbm_v2();
  surface_interp s, other;
  mesh(s);
  mesh(other);
  fake_hooks hooks;
  bool was_running = false;
  hooks.on_refresh = [&] {
    was_running = thickness_mapping_running();
    other.calc_thickness();
    t.RES_THICKNESS_TYPE->write(thickness_offset);
    base_res_t::make_pending_writes_happen();
    engine.remeasure();
  };
  s.calc_thickness(&hooks);
  EXPECT_TRUE(was_running);
  EXPECT_FALSE(thickness_mapping_running());
  EXPECT_TRUE(other.cortical_thickness.empty());
  for (size_t i = 0; i < 72; ++i)
    if (geometry.wall(theta(s, int32_t(i))) >= 1.0) {
      EXPECT_NEAR(s.cortical_thickness[i], geometry.wall(theta(s, int32_t(i))), 0.1) << i;
    }
}

TEST_F(SurfaceMapping, MissingPrerequisitesChangeNothing) {
  cbm_v2();
  surface_interp s;
  mesh(s, 8);
  s.fit_error.assign(size_t(s.mesh.n_points), 0.5);
  t.RES_POS_REC->write(false);
  base_res_t::make_pending_writes_happen();
  fake_hooks hooks;
  s.calc_thickness(&hooks);
  EXPECT_EQ(hooks.opened, 0);
  EXPECT_TRUE(s.cortical_thickness.empty());
  EXPECT_EQ(s.fit_error, std::vector<double>(size_t(s.mesh.n_points), 0.5));
}

// The profiles go beside the data file, one block per mapping: "NVLD", N and
// the profile count, then N doubles per vertex; nothing without a data file.
TEST_F(SurfaceMapping, ProfileDumpOncePerMappingBesideTheDataFile) {
  cbm_v2();
  t.RES_THICKNESS_OUTPUT_DATA->write(0);
  t.RES_ASCII_FILENAME->write(wxFileName(dir.path("scan.hm")));
  base_res_t::make_pending_writes_happen();
  surface_interp s;
  mesh(s, 6);
  const std::string dump = dir.path("scan_line_data.bin");
  for (int run = 1; run <= 2; ++run) {
    log_capture log;
    s.calc_thickness();
    EXPECT_EQ(log.count(wxLOG_Message), 1);
    EXPECT_TRUE(log.has_text("Writing data to '" + dir.path("scan") + "_line_data.bin'."));
  }
  const std::string bytes = read_text(dump);
  const int32_t N = int32_t(std::ceil(1.8 / 0.0125 - 1e-9));  // line / half a pixel
  const size_t block = 12 + 12 * size_t(N) * 8;
  ASSERT_EQ(bytes.size(), 2 * block);
  for (size_t at : {size_t(0), block}) {
    int32_t head[2];
    EXPECT_EQ(bytes.substr(at, 4), "NVLD");
    std::memcpy(head, bytes.data() + at + 4, 8);
    EXPECT_EQ(head[0], N);
    EXPECT_EQ(head[1], 12);
  }
  // Without a data file name nothing is written or announced.
  t.RES_ASCII_FILENAME->write(wxFileName());
  base_res_t::make_pending_writes_happen();
  log_capture log;
  s.calc_thickness();
  EXPECT_EQ(log.count(wxLOG_Message), 0);
  EXPECT_EQ(read_text(dump).size(), 2 * block);
}

TEST(SurfaceMappingHelpers, BlurAndConversionExamples) {
  EXPECT_DOUBLE_EQ(thickness_combined_fwhm(0.6, 0.1, 1e10), 0.1);
  EXPECT_NEAR(thickness_combined_fwhm(0.6, 0.1, 0.3), std::sqrt(0.64 * 0.01 + 0.36 * 0.09), 1e-12);
  EXPECT_NEAR(thickness_combined_fwhm(0.6, 0.1, 0.3), 0.1970, 5e-5);
  double in = -1, out = -1;
  // Every x equal: no slope can be found.
  EXPECT_FALSE(thickness_blur_regression(2 * 0.5, 2 * 0.04, 2, 2 * 0.5 * 0.04, 2 * 0.25, in, out));
  EXPECT_EQ(in, 0.0);
  EXPECT_EQ(out, 0.0);
  // y = 0.04 + 0.05 x at x = 0 and 1 (weights 1): in 0.2, out 0.3.
  EXPECT_TRUE(thickness_blur_regression(1, 0.04 + 0.09, 2, 0.09, 1, in, out));
  EXPECT_NEAR(in, 0.2, 1e-12);
  EXPECT_NEAR(out, 0.3, 1e-12);
  // An out-of-plane variance below a ninth of the in-plane one: in / 3.
  EXPECT_TRUE(thickness_blur_regression(1, 0.04 + 0.001, 2, 0.001, 1, in, out));
  EXPECT_NEAR(out, 0.2 / 3, 1e-12);

  surface_interp s;
  set_mesh(s, std::vector<surface_point>(3), {{0, 1, 2, 1}});
  s.fwhm_pending = true;
  s.cortical_thickness = {300, 300, 200};
  s.density = {400, 400, 1000};
  s.fit_error = {0.1, 1e10, 0.1};
  s.convert_from_fwhm(1000);
  EXPECT_FALSE(s.fwhm_pending);
  EXPECT_DOUBLE_EQ(s.cortical_thickness[0], 0.5);
  EXPECT_EQ(s.density[0], 1000);
  EXPECT_EQ(s.cortical_thickness[1], 300);  // not measured: untouched
  EXPECT_EQ(s.density[1], 400);
  // A background at the cortical density leaves the vertex without a value.
  EXPECT_EQ(s.fit_error[2], 1e10);
  EXPECT_EQ(s.cortical_thickness[2], 0.0);

  double sum = -1, weight = -1;
  EXPECT_FALSE(surface_interp::weighted_average({}, {1.0}, sum, weight));
  EXPECT_TRUE(surface_interp::weighted_average({2, 4, 8, 16}, {1, 0.5, 1e10, 0}, sum, weight));
  EXPECT_DOUBLE_EQ(sum, 2 + 16);
  EXPECT_DOUBLE_EQ(weight, 1 + 4);
}

}  // namespace
