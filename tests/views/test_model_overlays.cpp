// The shape model's data points and the thickness measurement in the review
// view, and the centre view's thickness key: what is drawn where and in
// which colour, and what the mouse tools add and remove, without a display.
#include <cmath>

#include "review_tools_support.h"
#include "models/fit_model.h"
#include "thickness/thickness.h"
#include "thickness/thickness_colours.h"
#include "views/model_overlay_math.h"

namespace {

constexpr int32_t kMark = 2, kErase = 5;

matrix4_t identity() {
  matrix4_t m;
  matrix4_identity(m);
  return m;
}

struct counter {
  int calls = 0;
  void hit() { ++calls; }
};

// Data points in mm seen through the identity transform with 1 mm pixels:
// pixel = (x, y), distance from the plane z / 10 cm.
class ModelPoints : public ::testing::Test {
 protected:
  void add(double x, double y, double z) {
    m.data.loaded_points.push_back({x, y, z});
    m.data.normals.push_back({});
    ++m.data.point_count;
  }
  headless_session session;
  fit_model m;
};

TEST_F(ModelPoints, PointsNearTheFrameAreDrawnAtTheirPixels) {
  add(10, 20, 0);    // 0: on the plane
  add(30, 5, 0.4);   // 1: 0.04 cm, within half a pixel (0.05 cm)
  add(40, 5, -0.6);  // 2: 0.06 cm, beyond half a pixel
  add(50, 5, 2.5);   // 3: 0.25 cm
  add(60, 6, 0);     // 4: selected
  struct compounding_case {
    int32_t compounding;
    std::vector<int32_t> shown;
  } cases[] = {
      {0, {0, 1}},
      {1, {0, 1, 2}},  // within one pixel width
      {2, {0, 1, 2}},  // 0.25 is not below 0.2
      {3, {0, 1, 2, 3}},
  };
  for (const compounding_case& c : cases) {
    m.page.display_compounding = c.compounding;
    const std::vector<model_point_mark> marks = model_point_marks(m, identity(), 0.1, 0.1, {4});
    std::vector<int32_t> shown;
    for (const model_point_mark& p : marks) {
      shown.push_back(p.index);
      EXPECT_FALSE(p.matched);
    }
    EXPECT_EQ(shown, c.shown) << "compounding " << c.compounding;
  }
  const std::vector<model_point_mark> marks = model_point_marks(m, identity(), 0.1, 0.1, {});
  ASSERT_GE(marks.size(), 2u);
  EXPECT_DOUBLE_EQ(marks[0].x, 10.0);  // 10 mm = 1 cm = 10 pixels of 0.1 cm
  EXPECT_DOUBLE_EQ(marks[0].y, 20.0);
  EXPECT_DOUBLE_EQ(marks[1].x, 30.0);
}

TEST_F(ModelPoints, PointsMatchedWithinTheSearchRangeAreDrawnAgainInRed) {
  add(10, 10, 0);
  add(20, 10, 0);
  add(30, 10, 0);
  m.model.match_index = {0, 1, 2, 1};
  // Range 2.5 mm (slider 25, divisor 10): r^2 = 6.25.
  m.model.match_distance2 = {6.0, 6.25, 1e10, 0.5};
  m.page.search_range = 25;
  m.range_divisor = 10.0;
  m.model.match_range2 = -1.0;  // stale correspondences draw nothing red
  EXPECT_EQ(model_point_marks(m, identity(), 0.1, 0.1, {}).size(), 3u);
  m.model.match_range2 = 6.25 + 1e-8;
  std::vector<model_point_mark> marks = model_point_marks(m, identity(), 0.1, 0.1, {});
  ASSERT_EQ(marks.size(), 5u);
  EXPECT_TRUE(marks[3].matched);
  EXPECT_EQ(marks[3].index, 0);
  EXPECT_TRUE(marks[4].matched);
  EXPECT_EQ(marks[4].index, 1);  // through vertex 3; vertex 1 lies on the range, not within
  // A selected point is drawn neither way.
  marks = model_point_marks(m, identity(), 0.1, 0.1, {1});
  ASSERT_EQ(marks.size(), 3u);
  EXPECT_EQ(marks[2].index, 0);
}

TEST_F(ModelPoints, AClickPicksThePointsWithinTheSelectionRange) {
  add(10, 10, 0);
  add(12, 10, 0);
  add(10, 13, 0);
  add(10, 10, 1.0);  // 0.1 cm off the plane
  // Pixels of 1 mm; r = 2.5 pixels around (10.5, 10).
  EXPECT_EQ(data_points_hit(m, identity(), 0.1, 0.1, 10.5, 10.0, 2.5, {}),
            (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(data_points_hit(m, identity(), 0.1, 0.1, 10.5, 10.0, 2.5, {0}),
            (std::vector<int32_t>{1}));
  m.page.display_compounding = 2;
  EXPECT_EQ(data_points_hit(m, identity(), 0.1, 0.1, 10.5, 10.0, 2.5, {}),
            (std::vector<int32_t>{0, 1, 3}));
}

// ---- the mouse tools ----------------------------------------------------------

class ModelTools : public ReviewTools {
 protected:
  void SetUp() override {
    load(1, 200, 150);
    resource_table_t& t = *resource_table;
    t.RES_XSCALE->write(0.05);
    t.RES_YSCALE->write(0.05);
    t.RES_MOUSE_SENSITIVITY->write(3);
    t.RES_SURFACE[200]->add_proc(&proc);
    model = t.RES_FIT_MODEL->read();
  }
  void TearDown() override { resource_table->RES_SURFACE[200]->remove_proc(&proc); }

  counter redraws;
  pmf_functor<counter> proc{&redraws, &counter::hit};
  fit_model* model = nullptr;
};

TEST_F(ModelTools, AMarkClickWithEveryLandmarkPlacedAddsADataPoint) {
  resource_table_t& t = *resource_table;
  t.RES_CURRENT_TASK_PAGE->write(1);
  t.RES_SEE_MARK->write(true);
  use_tool(kMark);
  host.undefined = "none";
  // Pixel (20, 10) of 0.05 cm lies at (1, 0.5, 0) cm on the frame at the origin.
  press(20, 10);
  release(20, 10);
  ASSERT_EQ(model->data.point_count, 1);
  ASSERT_EQ(model->data.loaded_points.size(), 1u);
  EXPECT_NEAR(model->data.loaded_points[0].x, 10.0, 1e-9);
  EXPECT_NEAR(model->data.loaded_points[0].y, 5.0, 1e-9);
  EXPECT_NEAR(model->data.loaded_points[0].z, 0.0, 1e-9);
  EXPECT_EQ(model->data.normals[0].x, 0.0);
  EXPECT_EQ(model->data.normals[0].y, 0.0);
  EXPECT_EQ(model->data.normals[0].z, 0.0);
  EXPECT_EQ(redraws.calls, 1) << "the search grid was refreshed";
  EXPECT_EQ(t.RES_LANDMARKS->read()->size(), 0u) << "no landmark besides";

  // While a model landmark is still to be placed, the click places it.
  host.undefined = "tip";
  press(30, 10);
  EXPECT_EQ(model->data.point_count, 1);
  ASSERT_EQ(t.RES_LANDMARKS->read()->size(), 1u);
  EXPECT_EQ((*t.RES_LANDMARKS->read())[0].name, "tip");

  // Without positions the click adds nothing.
  host.undefined = "none";
  t.RES_POS_REC->write(false);
  press(40, 10);
  EXPECT_EQ(model->data.point_count, 1);
  EXPECT_EQ(redraws.calls, 1);
}

TEST_F(ModelTools, AnEraseDragDeletesEveryPointItPicks) {
  resource_table_t& t = *resource_table;
  t.RES_SEE_SSM->write(true);
  use_tool(kErase);
  // Frame pixels (20, 10), (22, 10), (60, 40), (100, 100) of 0.05 cm.
  for (const vec3_t& p : {vec3_t{10, 5, 0}, vec3_t{11, 5, 0}, vec3_t{30, 20, 0}, vec3_t{50, 50, 0}})
    model->add_data_point(vec3_scalar_mul(0.1, p));
  press(21, 10);
  EXPECT_TRUE(state.vertex_selecting);
  EXPECT_EQ(state.selected_vertices, (std::vector<int32_t>{0, 1}));
  drag(40, 25);
  drag(60, 41);
  EXPECT_EQ(state.selected_vertices, (std::vector<int32_t>{0, 1, 2}));
  release(60, 41);
  EXPECT_FALSE(state.vertex_selecting);
  EXPECT_TRUE(state.selected_vertices.empty());
  ASSERT_EQ(model->data.point_count, 1);
  ASSERT_EQ(model->data.loaded_points.size(), 1u);
  ASSERT_EQ(model->data.normals.size(), 1u);
  EXPECT_NEAR(model->data.loaded_points[0].x, 50.0, 1e-9);
  EXPECT_EQ(redraws.calls, 1);

  // A press on no point with contours shown picks nothing and selects nothing.
  t.RES_SEE_DRAW->write(true);
  press(150, 140);
  release(150, 140);
  EXPECT_FALSE(state.vertex_selecting);
  EXPECT_EQ(model->data.point_count, 1);
}

// ---- the thickness measurement ------------------------------------------------

// A measurement on frame 3 of three lines, the central one from (10, 20) to
// (40, 20) over 3 cm: position p cm lies at x = 10 + 10 p.
void fill_measurement(thickness& e) {
  e.sampled = true;
  e.valid = true;
  e.frame = 3;
  e.cell_count = 3;
  e.line_start = {{10, 20}, {10, 21}, {10, 19}};
  e.line_end = {{40, 20}, {40, 21}, {40, 19}};
  e.line_length = 3.0;
  e.outer_edge = 1.0;
  e.inner_edge = 1.5;
  e.endo_end = 0.0;
  e.outer_layer = e.inner_layer = false;
}

std::vector<double> mark_xs(const thickness_line_overlay& o) {
  std::vector<double> xs;
  for (const thickness_mark& m : o.marks) xs.push_back(m.x);
  return xs;
}

TEST(ThicknessOverlay, TheLinesAndEdgesOfTheMeasuredFrame) {
  thickness e;
  fill_measurement(e);
  EXPECT_FALSE(thickness_overlay(e, 2).shown) << "another frame";
  thickness_line_overlay o = thickness_overlay(e, 3);
  ASSERT_TRUE(o.shown);
  ASSERT_EQ(o.starts.size(), 3u);
  EXPECT_EQ(o.ends[1].y, 21.0);
  EXPECT_EQ(mark_xs(o), (std::vector<double>{20, 25}));
  EXPECT_EQ(o.marks[0].y, 20.0);

  struct gap_case {
    bool outer, inner;
    double outer_layer_end, outer_gap_edge, inner_gap_edge, inner_layer_end, endo_end;
    std::vector<double> xs;
    std::vector<bool> pink;
  } cases[] = {
      // Outer gap from 0.2 to 0.6 cm, inner gap from 2.0 to 2.5 cm.
      {true, true, 0.2, 0.6, 2.0, 2.5, 0.0, {12, 16, 20, 25, 30, 35}, {0, 0, 0, 0, 0, 0}},
      // An outer gap start at -L/2 or before, and an inner gap end at 1.5 L or beyond, are not drawn.
      {true, true, -1.5, 0.6, 2.0, 4.5, 0.0, {16, 20, 25, 30}, {0, 0, 0, 0}},
      {true, true, -1.4, 0.6, 2.0, 4.4, 0.0, {-4, 16, 20, 25, 30, 54}, {0, 0, 0, 0, 0, 0}},
      // An endocortical transition beyond the inner edge: both ends in pink.
      {false, false, 0, 0, 0, 0, 1.8, {20, 25, 28}, {0, 1, 1}},
  };
  for (const gap_case& c : cases) {
    e.outer_layer = c.outer;
    e.inner_layer = c.inner;
    e.outer_layer_end = c.outer_layer_end;
    e.outer_gap_edge = c.outer_gap_edge;
    e.inner_gap_edge = c.inner_gap_edge;
    e.inner_layer_end = c.inner_layer_end;
    e.endo_end = c.endo_end;
    o = thickness_overlay(e, 3);
    const std::vector<double> xs = mark_xs(o);
    ASSERT_EQ(xs.size(), c.xs.size());
    for (size_t i = 0; i < xs.size(); ++i) {
      EXPECT_NEAR(xs[i], c.xs[i], 1e-9) << i;
      EXPECT_EQ(o.marks[i].pink, c.pink[i]) << i;
    }
  }

  // Without a fit only the lines; after clear nothing.
  e.valid = false;
  o = thickness_overlay(e, 3);
  EXPECT_TRUE(o.shown);
  EXPECT_TRUE(o.marks.empty());
  e.clear();
  EXPECT_FALSE(thickness_overlay(e, 3).shown);
  EXPECT_EQ(e.cell_count, 0);
  EXPECT_TRUE(e.line_start.empty());
  EXPECT_TRUE(e.profile.empty());
}

// ---- the centre view's thickness key ---------------------------------------------

TEST(ThicknessKey, ScalesAndLabelsFollowTheDisplayChoice) {
  struct key_case {
    int32_t display;
    const char* units;
    double low, span, decade, step;
    int32_t column_width;  // for a font of 16 pixels
    const char* unit;
    const char* below;
    const char* above;
    std::vector<const char*> ticks;
  } cases[] = {
      // Thickness, SCALE_MM 40: 0 to 4 mm; 4 / 80 = 0.05 -> decade 0.1, step floor(10) x 0.1.
      {0, "HU", 0.0, 4.0, 0.1, 1.0, 28 + 14, "mm", "<0 mm", ">4 mm",
       {"0.0 mm", "1.0 mm", "2.0 mm", "3.0 mm", "4.0 mm"}},
      // Offset: -4 to +4 mm, 8 / 80 = 0.1 -> decade 1 (the first above 0.1), step 2.
      {9, "HU", -4.0, 8.0, 1.0, 2.0, 6 * 1 + 28 + 4, "mm", "<-4 mm", ">4 mm",
       {"-2 mm", "0 mm", "2 mm", "4 mm"}},
      // Density, SCALE_HU 20 x 100: 2000, 25 -> decade 100, step 500.
      {2, "HU", 0.0, 2000.0, 100.0, 500.0, 6 * 4 + 28, "HU", "<0 HU", ">2000 HU",
       {"0 HU", "500 HU", "1000 HU", "1500 HU", "2000 HU"}},
      // In GY the density span is not multiplied by 100: 20, 0.25 -> decade 1, step 5.
      {5, "GY", 0.0, 20.0, 1.0, 5.0, 6 * 2 + 28, "GY", "<0 GY", ">20 GY",
       {"0 GY", "5 GY", "10 GY", "15 GY", "20 GY"}},
      // Mass, SCALE_HUMM 8 x 10 x 100 = 8000; 100 does not exceed 8000 / 80: decade 1000.
      {1, "HU", 0.0, 8000.0, 1000.0, 2000.0, 6 * 4 + 43, "HUmm", "<0 HUmm", ">8000 HUmm",
       {"0 HUmm", "2000 HUmm", "4000 HUmm", "6000 HUmm", "8000 HUmm"}},
  };
  for (const key_case& c : cases) {
    const thickness_key_scale k = thickness_key_scale_for(c.display, 40, 20, 8, 0, c.units, 16);
    EXPECT_DOUBLE_EQ(k.low, c.low) << c.display;
    EXPECT_DOUBLE_EQ(k.span, c.span) << c.display;
    EXPECT_NEAR(k.decade, c.decade, 1e-12) << c.display;
    EXPECT_NEAR(k.step, c.step, 1e-9) << c.display;
    EXPECT_EQ(k.column_width, c.column_width) << c.display;
    EXPECT_EQ(k.unit, c.unit) << c.display;
    const std::vector<thickness_key_label> labels = thickness_key_labels(k);
    ASSERT_EQ(labels.size(), 3 + c.ticks.size()) << c.display;
    EXPECT_EQ(labels[0].text, "N/A");
    EXPECT_EQ(labels[0].row, 5);
    EXPECT_EQ(labels[1].text, c.below);
    EXPECT_EQ(labels[1].row, 30);
    EXPECT_EQ(labels[2].text, c.above);
    EXPECT_EQ(labels[2].row, 320);
    for (size_t i = 0; i < c.ticks.size(); ++i) {
      EXPECT_EQ(labels[3 + i].text, c.ticks[i]) << c.display;
      EXPECT_TRUE(labels[3 + i].tick);
    }
    // The top tick lies at row 50 + 255, the lowest value's at row 50.
    EXPECT_EQ(labels.back().row, 305) << c.display;
  }
  // A column width scales with the font: (28 + 14) x 28 / 16 = 73 (integer).
  EXPECT_EQ(thickness_key_scale_for(0, 40, 20, 8, 0, "HU", 28).column_width, 73);
  // A fractional top value widens the column and shows one decimal: 0 to 2.5 mm.
  const thickness_key_scale k = thickness_key_scale_for(0, 25, 20, 8, 0, "HU", 16);
  EXPECT_EQ(k.column_width, 28 + 14 + 10);
  EXPECT_EQ(thickness_key_labels(k)[2].text, ">2.5 mm");
  // Row of a tick: 50 + int((x - v) x 255 / s); 0.6 mm of 2.5 -> 50 + 61.
  EXPECT_NEAR(k.step, 0.6, 1e-12);
  EXPECT_EQ(thickness_key_labels(k)[4].row, 50 + static_cast<int>(0.6 * 255 / 2.5));
}

TEST(ThicknessKey, ProfileRunsBreakAtMissingSamples) {
  // Five samples over a 100 pixel graph at x0 = 10: x = 10, 35, 60, 85, 110.
  const std::vector<double> measured = {5, -1, 7, 8, 9};
  std::vector<std::vector<profile_vertex>> runs = profile_runs(measured, measured, 0.0, 10, 100);
  ASSERT_EQ(runs.size(), 2u);
  // A run of one sample gets a second vertex half a step into the gap that ends it.
  ASSERT_EQ(runs[0].size(), 2u);
  EXPECT_DOUBLE_EQ(runs[0][0].x, 10.0);
  EXPECT_DOUBLE_EQ(runs[0][1].x, 10 + 0.5 * 100 / 4.0);
  EXPECT_DOUBLE_EQ(runs[0][1].value, 5.0);
  ASSERT_EQ(runs[1].size(), 3u);
  EXPECT_DOUBLE_EQ(runs[1][0].x, 60.0);
  EXPECT_DOUBLE_EQ(runs[1][2].x, 110.0);
  // The model follows the measured gaps; a last lone sample reaches the graph's end.
  const std::vector<double> model = {1, 2, 3, 4, 5};
  runs = profile_runs(model, {-1, -1, -1, 0, 9}, 0.0, 10, 100);
  ASSERT_EQ(runs.size(), 1u);
  ASSERT_EQ(runs[0].size(), 2u);
  EXPECT_DOUBLE_EQ(runs[0][0].value, 5.0);
  EXPECT_DOUBLE_EQ(runs[0][1].x, 110.0);
  EXPECT_TRUE(profile_runs(model, {1}, 0.0, 10, 100).empty());
}

TEST(ThicknessKey, TheStepModelRunsThroughTheFittedEdges) {
  thickness e;
  fill_measurement(e);
  e.outer_density = 100;
  e.cortical_density = 1000;
  e.inner_density = 300;
  // Graph x0 = 10, width 90 over 3 cm: x(p) = 10 + 30 p.
  std::vector<profile_vertex> line = step_model_line(e, 10, 90);
  const std::vector<profile_vertex> plain = {{10 - 45, 100}, {40, 100}, {40, 1000}, {55, 1000},
                                             {55, 300},      {10 + 135, 300}};
  ASSERT_EQ(line.size(), plain.size());
  for (size_t i = 0; i < plain.size(); ++i) {
    EXPECT_DOUBLE_EQ(line[i].x, plain[i].x) << i;
    EXPECT_DOUBLE_EQ(line[i].value, plain[i].value) << i;
  }
  e.outer_layer = e.inner_layer = true;
  e.outer_layer_end = 0.2;
  e.outer_gap_edge = 0.5;
  e.inner_gap_edge = 2.0;
  e.inner_layer_end = 2.5;
  e.endo_end = 1.8;
  e.beyond_outer_density = 50;
  e.outer_layer_density = 900;
  e.inner_layer_density = 800;
  e.beyond_inner_density = 60;
  line = step_model_line(e, 10, 90);
  const std::vector<profile_vertex> gaps = {
      {-35, 50}, {16, 50},   {16, 900},  {25, 900},  {25, 100},  {40, 100},  {40, 1000},
      {55, 1000}, {64, 300}, {70, 300},  {70, 800},  {85, 800},  {85, 60},   {145, 60}};
  ASSERT_EQ(line.size(), gaps.size());
  for (size_t i = 0; i < gaps.size(); ++i) {
    EXPECT_NEAR(line[i].x, gaps[i].x, 1e-9) << i;
    EXPECT_DOUBLE_EQ(line[i].value, gaps[i].value) << i;
  }
}

TEST(ThicknessColours, TheTellingRowsOfEachMap) {
  struct row {
    int map, entry;
    uint8_t rgb[3];
  } rows[] = {
      {0, 0, {255, 255, 255}}, {0, 1, {127, 0, 127}},  {0, 2, {255, 0, 252}},
      {0, 128, {164, 255, 0}}, {0, 254, {0, 0, 255}},  {0, 255, {0, 0, 127}},
      {1, 0, {127, 127, 127}}, {1, 128, {220, 221, 221}}, {2, 254, {55, 134, 232}},
      {3, 1, {106, 2, 44}},    {3, 128, {255, 254, 191}}, {4, 255, {13, 31, 94}},
      {5, 2, {203, 236, 90}},  {6, 128, {73, 207, 129}}, {6, 254, {120, 0, 133}},
      // A quarter of the way along map 0's scale, on the parabola through its
      // first, middle and last colour: 0.375 first + 0.75 middle - 0.125 last,
      // (218.625, 191.25, 62.625) rounded.
      {0, 65, {219, 191, 63}},
  };
  for (const row& r : rows) {
    uint8_t rgb[3];
    thickness_colour(r.map, r.entry, rgb);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(rgb[k], r.rgb[k]) << r.map << "/" << r.entry << " " << k;
  }
}

}  // namespace
