// The image display and image location dialogs' rules that need no display:
// window slider ranges by data kind, slider positions of values outside
// them, which controls the data enable, the BMD equation text, and frame
// locations defined by hand.
#include <cmath>

#include <gtest/gtest.h>

#include "data/geometry.h"
#include "settings/image_display_dlg.h"
#include "settings/manual_positions.h"

namespace {

TEST(DisplayRules, WindowRangesFollowTheDataKindAndUnits) {
  const struct {
    bool dicom, bits8;
    const wchar_t* units;
    double hum, hub;
    window_slider_ranges want;
  } table[] = {
      {false, false, L"HU", 1, 0, {0, 255, 1, 255}},            // native ultrasound
      {true, true, L"HU", 1, 0, {0, 255, 1, 255}},              // 8-bit samples
      {true, false, L"HU", 1, -1024, {-1000, 3000, 1, 4000}},
      {true, false, L"hu", 1, 0, {0, 65535, 1, 65535}},         // exact comparison
      {true, false, L"GY", 1, 0, {0, 100, 1, 100}},
      {true, false, L"??", 1, 0, {0, 65535, 1, 65535}},
      {true, false, L"??", 0.5, -100, {-100, 32667, 1, 32767}},
      // Far beyond what an integer holds: bounded, not wrapped.
      {true, false, L"??", 1e12, 0, {0, 1000000000, 1, 1000000000}},
      // A tiny multiplier: the ranges stay in order and not empty.
      {true, false, L"??", 1e-9, 5, {5, 6, 1, 2}},
  };
  for (const auto& row : table) {
    const window_slider_ranges r = window_ranges(row.dicom, row.bits8, row.units, row.hum, row.hub);
    SCOPED_TRACE(testing::Message() << row.units << " " << row.hum << " " << row.hub);
    EXPECT_EQ(r.centre_low, row.want.centre_low);
    EXPECT_EQ(r.centre_high, row.want.centre_high);
    EXPECT_EQ(r.width_low, row.want.width_low);
    EXPECT_EQ(r.width_high, row.want.width_high);
  }
}

TEST(DisplayRules, ValuesOutsideTheRangeStandAtItsEnd) {
  EXPECT_EQ(window_slider_position(5000, -1000, 3000), 3000);
  EXPECT_EQ(window_slider_position(-5000, -1000, 3000), -1000);
  EXPECT_EQ(window_slider_position(40.9, -1000, 3000), 40);
  EXPECT_EQ(window_slider_position(-40.9, -1000, 3000), -40);
  EXPECT_EQ(window_slider_position(std::nan(""), 1, 4000), 1);
}

TEST(DisplayRules, ControlsAreEnabledByTheLoadedData) {
  const struct {
    bool dicom, bits8, labels;
    const wchar_t *value_units, *units;
    bool units_field, conversion, sliders, calibrate;
  } table[] = {
      {false, false, false, L"??", L"??", true, false, false, false},  // nothing or ultrasound
      {true, false, false, L"??", L"??", true, true, true, false},
      {true, false, false, L"HU", L"HU", false, false, true, true},
      {true, false, true, L"HU", L"HU", false, false, false, false},   // shown as labels
      {true, true, false, L"??", L"??", true, false, false, false},    // 8-bit samples
      {true, false, false, L"??", L"HU", true, true, true, true},      // HU typed by the user
  };
  for (const auto& row : table) {
    const display_enabling e =
        display_controls_enabled(row.dicom, row.bits8, row.labels, row.value_units, row.units);
    EXPECT_EQ(e.units, row.units_field);
    EXPECT_EQ(e.conversion, row.conversion);
    EXPECT_EQ(e.sliders, row.sliders);
    EXPECT_EQ(e.calibrate, row.calibrate);
  }
}

TEST(DisplayRules, EquationShowsTheOffsetNegatedWithItsSign) {
  EXPECT_EQ(bmd_equation_text(12.5, 1.25), L" = ( HU -12.500 ) / 1.250");
  EXPECT_EQ(bmd_equation_text(-3, 1), L" = ( HU +3.000 ) / 1.000");
}

TEST(ManualPositions, EvenSpacingPlacesFramesAlongTheElevationalAxis) {
  manual_sweep s;
  s.frames = 11;
  s.translate_axis = 1;
  s.step = 0.2;  // 2 mm
  const std::vector<position_t> p = manual_positions(s);
  ASSERT_EQ(p.size(), 11u);
  for (size_t i = 0; i < p.size(); ++i) {
    EXPECT_NEAR(p[i].z, 0.2 * double(i), 1e-6) << i;
    EXPECT_NEAR(p[i].x, 0, 1e-6);
    EXPECT_NEAR(p[i].y, 0, 1e-6);
    EXPECT_NEAR(p[i].roll, 0, 1e-6);
  }
}

// Frame i turned by 10 i degrees about the lateral (x) axis with the image
// 2 cm along its own axial (y) axis: its origin at (0, 2 cos, 2 sin), its y
// axis along (0, cos, sin).
TEST(ManualPositions, LateralRotationWithAnOffsetTurnsEachFrameFurther) {
  manual_sweep s;
  s.frames = 10;
  s.rotate_axis = 1;
  s.angle_step = 90.0 / 9;
  s.radius = 2.0;
  s.image_width = 5.12;
  const std::vector<position_t> p = manual_positions(s);
  ASSERT_EQ(p.size(), 10u);
  for (size_t i = 0; i < p.size(); ++i) {
    const double a = double(i) * 90.0 / 9 * M_PI / 180;
    EXPECT_NEAR(p[i].x, 0, 1e-5) << i;
    EXPECT_NEAR(p[i].y, 2 * std::cos(a), 1e-5) << i;
    EXPECT_NEAR(p[i].z, 2 * std::sin(a), 1e-5) << i;
    matrix4_t m;
    matrix4_from_position_t(m, p[i]);
    const vec3_t y_axis = matrix4_get_y_axis(m);
    EXPECT_NEAR(y_axis.x, 0, 1e-5) << i;
    EXPECT_NEAR(y_axis.y, std::cos(a), 1e-5) << i;
    EXPECT_NEAR(y_axis.z, std::sin(a), 1e-5) << i;
  }
}

}  // namespace
