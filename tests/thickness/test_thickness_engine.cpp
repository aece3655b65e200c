// The engine's measurement as callers see it: the settings it takes, the
// reversed direction, repeating a measurement, the technique presets.
#include <gtest/gtest.h>

#include <cmath>

#include "thickness/thickness.h"
#include "thickness/thickness_technique.h"
#include "thickness_data_support.h"

namespace {

constexpr double kNoValue = 1e10;

class ThicknessEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    // A cortex across x: 0 outside (x < 30), 1500 from 30 to 40, 100 inside.
    data.make_frames(80, 40, 3, [](int32_t, int32_t x, int32_t) {
      return uint16_t(32768 + (x < 30 ? 0 : x < 40 ? 1500 : 100));
    });
    thickness_data::set_scales(0.05, 0.05);
    resource_table->RES_THICKNESS_LINE->write(2.0);
  }
  // Measures at (x, y) of frame f, returning what happened to the caller's arrays.
  void measure(int32_t f, double x, double dx, double dz, bool manual, double length_or_offset,
               double out_dir[3], double out_normal[3]) {
    double p[3] = {x, 20.0, 0.0};
    const double l = std::sqrt(dx * dx + dz * dz);
    out_dir[0] = dx / l, out_dir[1] = 0.0, out_dir[2] = dz / l;
    out_normal[0] = 0.0, out_normal[1] = 0.0, out_normal[2] = 1.0;
    engine.measure(f, p, out_dir, manual, length_or_offset, out_normal, kNoValue);
  }
  thickness_data data;
  thickness& engine = *resource_table->RES_THICKNESS->read();
};

TEST_F(ThicknessEngine, AClickMeasuresAcrossTheMiddleOfItsLine) {
  resource_table->RES_THICKNESS_INNER_LAYER->write(false);
  double d[3], n[3];
  measure(0, 35, -1, 0, true, 1.0, d, n);
  ASSERT_TRUE(engine.sampled);
  EXPECT_TRUE(engine.manual);
  EXPECT_EQ(engine.inside_fraction, 0.5);
  EXPECT_EQ(engine.line_length, 1.0);
  EXPECT_EQ(engine.offset, 0.0);
  // Threshold search: the line runs from x = 25 to 45 (E = 0.5, 10 pixels
  // each way); the steps between pixels 29 and 30 and between 39 and 40 lie
  // at 30 and 40 in line coordinates (pixel k's centre at k + 0.5), 0.25
  // and 0.75 cm along it.
  ASSERT_TRUE(engine.valid) << engine.status;
  EXPECT_EQ(engine.status, 1);
  EXPECT_NEAR(engine.outer_edge, 0.25, 0.02);
  EXPECT_NEAR(engine.inner_edge, 0.75, 0.02);
  EXPECT_NEAR(engine.cortical_density, 1500.0, 60.0);
  // In a frame (no positions), the reference normal becomes the direction.
  EXPECT_TRUE(engine.in_frame);
  for (int a = 0; a < 3; ++a) EXPECT_EQ(n[a], d[a]);

  // A click in the flat marrow finds no edge, and keeps nothing of the last one.
  measure(0, 65, -1, 0, true, 1.0, d, n);
  ASSERT_TRUE(engine.sampled);
  EXPECT_FALSE(engine.valid);
  EXPECT_EQ(engine.status, 10);
  EXPECT_EQ(engine.outer_edge, 0.0);
  EXPECT_EQ(engine.inner_edge, 0.0);
  EXPECT_EQ(engine.cortical_density, 0.0);
  EXPECT_EQ(engine.thickness_error, kNoValue);
}

TEST_F(ThicknessEngine, TheLayerOptionsPlaceThePointAlongTheLine) {
  struct place_case {
    bool outer, inner;
    double E;
  } cases[] = {{true, false, 0.4}, {true, true, 1.0 / 3.0}, {false, true, 1.0 / 3.0}, {false, false, 1.0 / 3.0}};
  for (const place_case& c : cases) {
    resource_table->RES_THICKNESS_OUTER_LAYER->write(c.outer);
    resource_table->RES_THICKNESS_INNER_LAYER->write(c.inner);
    double d[3], n[3];
    measure(0, 35, -1, 0, false, 0.0, d, n);
    ASSERT_TRUE(engine.sampled);
    EXPECT_DOUBLE_EQ(engine.inside_fraction, c.E) << c.outer << c.inner;
    // The line starts E L = E x 40 pixels out along -x.
    EXPECT_NEAR(engine.line_start[0].x, 35 - c.E * 40, 1e-9);
  }
}

TEST_F(ThicknessEngine, ReversingFlipsTheCallersDirectionAndARepeatDropsTheOffset) {
  resource_table->RES_THICKNESS_REVERSE->write(true);
  double d[3], n[3];
  measure(0, 35, 1, 0, false, 0.05, d, n);
  ASSERT_TRUE(engine.sampled);
  EXPECT_TRUE(engine.reversed);
  EXPECT_EQ(d[0], -1.0) << "the caller's direction is reversed in place";
  EXPECT_EQ(engine.direction[0], -1.0);
  EXPECT_EQ(engine.offset, 0.05);
  const double outer = engine.outer_edge;

  // A repeat with the option unchanged keeps the offset and the direction.
  engine.remeasure();
  EXPECT_TRUE(engine.reversed);
  EXPECT_EQ(engine.direction[0], -1.0);
  EXPECT_EQ(engine.offset, 0.05);
  EXPECT_DOUBLE_EQ(engine.outer_edge, outer);

  // With the option changed the offset no longer applies; the stored
  // direction is turned back first, so the repeat measures along +x.
  resource_table->RES_THICKNESS_REVERSE->write(false);
  engine.remeasure();
  EXPECT_FALSE(engine.reversed);
  EXPECT_EQ(engine.direction[0], 1.0);
  EXPECT_EQ(engine.offset, 0.0);
}

TEST_F(ThicknessEngine, ARepeatedClickKeepsItsLineLength) {
  double d[3], n[3];
  measure(0, 35, -1, 0, true, 1.2, d, n);
  ASSERT_TRUE(engine.sampled);
  resource_table->RES_THICKNESS_LINE->write(0.7);
  engine.remeasure();
  EXPECT_TRUE(engine.manual);
  EXPECT_EQ(engine.line_length, 1.2);

  engine.clear();
  EXPECT_FALSE(engine.sampled);
  EXPECT_EQ(engine.cell_count, 0);
  engine.remeasure();  // nothing sampled: nothing to repeat
  EXPECT_FALSE(engine.sampled);
}

TEST_F(ThicknessEngine, AFrameWithoutPixelsFailsBeforeAnythingIsSampled) {
  frame_store->images[1].reset();
  double d[3], n[3];
  measure(1, 35, -1, 0, false, 0.0, d, n);
  EXPECT_FALSE(engine.sampled);
  EXPECT_FALSE(engine.valid);
  EXPECT_EQ(engine.status, 10);
}

TEST_F(ThicknessEngine, InAFrameTheSlabOfOneSliceWidensWithTheTiltOfTheLine) {
  dicom_utility::slice_thickness = 0.1;
  resource_table->RES_THICKNESS_IN_FRAME->write(true);
  double d[3], n[3];
  measure(0, 35, -1, 1, false, 0.0, d, n);  // 45 degrees out of the plane
  ASSERT_TRUE(engine.sampled);
  EXPECT_NEAR(engine.slab_width, 0.1, 1e-12);
  measure(0, 35, -1, 0, false, 0.0, d, n);
  EXPECT_EQ(engine.slab_width, 0.0);
}

TEST(ThicknessTechnique, EachTechniqueSetsItsOptions) {
  headless_session session;
  resource_table_t& t = *resource_table;
  struct row {
    int32_t type;
    bool fwhm, post_blur, threshold, local_density, endo, same;
    bool a, b, c, gauss, rect;  // cleared
    bool layers;
  } rows[] = {
      {thickness_auto_threshold, 1, 0, 1, 0, 0, 1, 1, 1, 1, 1, 1, 1},
      {thickness_fwhm, 1, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1},
      {thickness_cbm_v1, 0, 0, 0, 0, 0, 1, 1, 0, 1, 1, 1, 1},
      {thickness_cbm_v2, 0, 1, 0, 0, 0, 1, 1, 0, 1, 0, 0, 1},
      {thickness_endo_cbm_v2, 0, 1, 0, 0, 1, 1, 1, 0, 1, 0, 0, 1},
      {thickness_ssc_cbm, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1},
      {thickness_hrtc, 0, 0, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1},
      {thickness_offset, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 0},
  };
  for (const row& r : rows) {
    for (double_res_t* v : {t.RES_THICKNESS_A, t.RES_THICKNESS_B, t.RES_THICKNESS_C, t.RES_THICKNESS_GAUSS,
                            t.RES_THICKNESS_RECT})
      v->write(0.5);
    t.RES_THICKNESS_METAL->write(true);
    t.RES_THICKNESS_IN_FRAME->write(true);
    t.RES_THICKNESS_WIDTH->write(0);
    thickness_apply_technique(r.type);
    const char* name = thickness_technique_name(r.type);
    EXPECT_EQ(t.RES_THICKNESS_FWHM->read(), r.fwhm) << name;
    EXPECT_EQ(t.RES_THICKNESS_POST_BLUR->read(), r.post_blur) << name;
    EXPECT_EQ(t.RES_THICKNESS_THRESHOLD->read(), r.threshold) << name;
    EXPECT_EQ(t.RES_THICKNESS_LOCAL_DENSITY->read(), r.local_density) << name;
    EXPECT_EQ(t.RES_THICKNESS_ENDO_MODEL->read(), r.endo) << name;
    EXPECT_EQ(t.RES_THICKNESS_DE_FROM_AC->read(), r.same) << name;
    EXPECT_EQ(t.RES_THICKNESS_A->read() == kNoValue, r.a) << name;
    EXPECT_EQ(t.RES_THICKNESS_B->read() == kNoValue, r.b) << name;
    EXPECT_EQ(t.RES_THICKNESS_C->read() == kNoValue, r.c) << name;
    EXPECT_EQ(t.RES_THICKNESS_GAUSS->read() == kNoValue, r.gauss) << name;
    EXPECT_EQ(t.RES_THICKNESS_RECT->read() == kNoValue, r.rect) << name;
    EXPECT_EQ(t.RES_THICKNESS_INNER_LAYER->read(), r.layers) << name;
    EXPECT_EQ(t.RES_THICKNESS_OUTER_LAYER->read(), r.layers) << name;
    EXPECT_FALSE(t.RES_THICKNESS_METAL->read()) << name;
    EXPECT_FALSE(t.RES_THICKNESS_IN_FRAME->read()) << name;
    EXPECT_EQ(t.RES_THICKNESS_WIDTH->read(), r.type == thickness_hrtc ? 4 : 0) << name;
  }
  // Manual changes nothing.
  t.RES_THICKNESS_FWHM->write(true);
  t.RES_THICKNESS_METAL->write(true);
  t.RES_THICKNESS_A->write(7.0);
  thickness_apply_technique(thickness_manual);
  EXPECT_TRUE(t.RES_THICKNESS_FWHM->read());
  EXPECT_TRUE(t.RES_THICKNESS_METAL->read());
  EXPECT_EQ(t.RES_THICKNESS_A->read(), 7.0);
  EXPECT_STREQ(thickness_technique_name(thickness_endo_cbm_v2), "Endo CBM v2");
  EXPECT_EQ(thickness_technique_name(9), nullptr);
}

}  // namespace
