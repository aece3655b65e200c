// Measurements on the tube phantom of tests/data/make_tube_phantom.py,
// opened through the program's NIfTI reader: along the analytic normals of
// the outer surface the wall is known at every angle.
#include <gtest/gtest.h>

#include <cmath>

#include "data/data_io_ui.h"
#include "data/file_menu.h"
#include "medical/dicom_utility.h"
#include "thickness/thickness.h"
#include "thickness/thickness_technique.h"
#include "thickness_data_support.h"

namespace {

const std::string kData = NV_TEST_SCRIPTS;
constexpr double kPi = 3.14159265358979323846;

// The phantom's defaults: 160 x 160 pixels of 0.25 mm, 8 slices of 0.5 mm,
// the axis at (80, 80), outer radius 12 mm, wall 0.6 mm towards +x to 3 mm
// towards -x, blur sigma 0.4 mm.
struct tube {
  double cx = 80, cy = 80, pixel_mm = 0.25, radius_mm = 12.0, wall_min = 0.6, wall_max = 3.0;
  double wall(double theta) const { return wall_min + (wall_max - wall_min) * (1 - std::cos(theta)) / 2; }
};

class ThicknessPhantom : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(run_python(kData + "/make_tube_phantom.py", dir.path("tube.nii")));
    dicom_utility::reset_reader_state();
    ASSERT_TRUE(open_image_data(dir.path("tube.nii")));
    ASSERT_EQ(resource_table->RES_BUF_FRAMES->read(), 8);
    ASSERT_TRUE(dicom_utility::data_16bit);
    ASSERT_NEAR(resource_table->RES_XSCALE->read(), 0.025, 1e-9);
  }
  // Measures at the outer surface at angle theta, along the outward normal;
  // the wall in mm, or NaN when nothing valid came out.
  double wall_at(double theta, int32_t frame = 4) {
    const double c = std::cos(theta), s = std::sin(theta);
    const double r = geometry.radius_mm / geometry.pixel_mm;
    // Pixel i's centre lies at i + 0.5 along the engine's lines.
    double p[3] = {geometry.cx + r * c + 0.5, geometry.cy + r * s + 0.5, 0.0};
    double d[3] = {c, s, 0.0}, n[3] = {c, s, 0.0};
    engine.measure(frame, p, d, false, 0.0, n, 1e10);
    if (!engine.valid) return std::nan("");
    return (engine.inner_edge - engine.outer_edge) * 10.0;
  }
  void technique(int32_t type) {
    resource_table->RES_THICKNESS_TYPE->write(type);
    thickness_apply_technique(type);
  }

  thickness_scratch dir;
  console_data_io_ui ui;
  data_ui_scope scope{ui};
  headless_session session;
  thickness& engine = *resource_table->RES_THICKNESS->read();
  tube geometry;
};

TEST_F(ThicknessPhantom, CbmV2WithTheGivenBlurMeasuresTheWallRoundTheTube) {
  technique(thickness_cbm_v2);
  resource_table->RES_THICKNESS_GAUSS->write(0.04);
  int checked = 0;
  for (int k = 0; k < 24; ++k) {
    const double theta = 2 * kPi * k / 24, truth = geometry.wall(theta);
    const double got = wall_at(theta);
    ASSERT_FALSE(engine.in_frame) << "frames with positions are measured in 3D";
    if (truth < 1.0) continue;
    ++checked;
    EXPECT_NEAR(got, truth, 0.1) << "at " << k * 15 << " degrees";
    EXPECT_NEAR(engine.cortical_density, 1500.0, 150.0) << "at " << k * 15 << " degrees";
    EXPECT_LT(engine.thickness_error * 10, 0.1) << "at " << k * 15 << " degrees";
  }
  EXPECT_EQ(checked, 17);  // of 24 angles, those where the wall is 1 mm or more
}

TEST_F(ThicknessPhantom, MeasurementsIn3DAndInTheFrameAgreeOnAxisAlignedLines) {
  technique(thickness_cbm_v1);
  for (int32_t width : {0, 1}) {
    resource_table->RES_THICKNESS_WIDTH->write(width);
    for (int k = 0; k < 4; ++k) {
      const double theta = kPi / 2 * k;
      resource_table->RES_THICKNESS_IN_FRAME->write(false);
      const double in_3d = wall_at(theta);
      ASSERT_FALSE(engine.in_frame);
      const std::vector<double> profile_3d = engine.profile;
      resource_table->RES_THICKNESS_IN_FRAME->write(true);
      const double in_frame = wall_at(theta);
      ASSERT_TRUE(engine.in_frame);
      ASSERT_FALSE(std::isnan(in_3d)) << k;
      EXPECT_NEAR(in_3d, in_frame, width == 0 ? 1e-9 : 0.02) << "width " << width << " at " << k * 90;
      if (width == 0) {
        EXPECT_EQ(profile_3d, engine.profile) << k;
      }
    }
  }
}

}  // namespace
