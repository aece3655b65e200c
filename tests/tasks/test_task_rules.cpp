// The task pages' rules that need no display: the Draw page's row count,
// its information and notice texts, the enclosed-pixel statistics, and the
// visualisation pages a change of task leaves enabled and selected.
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "data/contour.h"
#include "data/dynabuf.h"
#include "data/objects.h"
#include "registry/resource_table.h"
#include "tasks/draw_page_rules.h"
#include "tasks/task_notebook_rules.h"
#include "tools/headless_session.h"

namespace {

std::vector<wxString> default_names() {
  std::vector<wxString> names(NUM_USER_OBJECTS);
  for (int k = 0; k < NUM_USER_OBJECTS; ++k) names[k] = wxString::Format(L"Object %d", k + 1);
  return names;
}

struct row_case {
  const char* what;
  std::vector<int> used;
  int named;  // object with a name of the user's own, or -1
  int current_max;
  int expected;
};

TEST(DrawRows, CountFollowsTheHighestUsedObjectAndKeepsNamedOnes) {
  std::vector<int> first_six{0, 1, 2, 3, 4, 5, 6};
  const row_case cases[] = {
      {"objects 0 to 3 used, 24 rows", {0, 1, 2, 3}, -1, 24, 12},
      {"a named object 18 keeps its row", {0, 1, 2, 3}, 18, 24, 24},
      {"a named object 13 keeps its row", {0, 1, 2, 3}, 13, 24, 18},
      {"object 6 used for the first time", first_six, -1, 12, 18},
      {"nothing used", {}, -1, 12, 12},
      {"object 4 used", {4}, -1, 12, 12},
      {"object 5 used", {5}, -1, 12, 18},
      {"object 199 used", {199}, -1, 12, 200},
      {"growing ignores names", {0}, 40, 12, 12},
  };
  for (const row_case& c : cases) {
    std::vector<bool> used(NUM_USER_OBJECTS, false);
    for (int k : c.used) used[k] = true;
    std::vector<wxString> names = default_names();
    if (c.named >= 0) names[c.named] = L"Femur";
    EXPECT_EQ(draw_row_count(used, names, c.current_max), c.expected) << c.what;
  }
}

TEST(DrawTexts, InformationLinesAndThresholdLabels) {
  EXPECT_EQ(draw_area_line(false, 0, 0.01, 0.01), "Area: ---.--- sq mm");
  EXPECT_EQ(draw_area_line(true, -1, 0.01, 0.01), "Area: ---.--- sq mm");
  // 400 square pixels of 0.02 x 0.03 cm: 0.24 cm^2 = 24 mm^2.
  EXPECT_EQ(draw_area_line(true, 400, 0.02, 0.03), "Area: 24.000 sq mm");
  EXPECT_EQ(draw_area_line(true, 0, 0.02, 0.03), "Area: 0.000 sq mm");
  EXPECT_EQ(draw_perimeter_line(true, 80, 0.02), "Perimeter: 16.000 mm");
  EXPECT_EQ(draw_perimeter_line(false, 80, 0.02), "Perimeter: ---.--- mm");
  EXPECT_EQ(draw_volume_line(false, 3), "Volume: ---.--- ml");
  EXPECT_EQ(draw_volume_line(true, 1.23456), "Volume: 1.235 ml");
  EXPECT_EQ(draw_position_line(true, 1.0, -2.05, 0.5), "At: 10.0, -20.5, 5.0 mm");
  EXPECT_EQ(draw_position_line(false, 0, 0, 0), "At: ---.-, ---.-, ---.- mm");
  EXPECT_EQ(threshold_unit_text(L"HU"), "(HU:");
  // Level 127 is the window centre; 255 lies 128/256 of a width above it.
  EXPECT_EQ(threshold_value_text(0, 255, 127, 40, 400), " none / 240 / 40)");
  EXPECT_EQ(threshold_value_text(1, 0, 0, 1000, 2560), " -260 / none / none)");
}

TEST(DrawTexts, FindContoursRangeIsValidWithoutEntries) {
  const find_contours_range_t none = find_contours_range(0);
  EXPECT_EQ(none.max, 0);
  EXPECT_FALSE(none.enabled);
  const find_contours_range_t three = find_contours_range(3);
  EXPECT_EQ(three.max, 2);
  EXPECT_TRUE(three.enabled);
}

TEST(DrawTexts, NoticeFormatsFor8And16BitAndCalibratedData) {
  contour_notice_input in;
  in.object_name = L"Tibia";
  in.mean = 48.5;
  in.min = 30;
  in.max = 67;
  EXPECT_EQ(contour_stats_notice(in), "Average 48.5000, range 30 to 67, in Tibia");
  // Raw values offset by 32768, taken back by the calibration.
  in.raw_values = true;
  in.mean = 32768 + 250.4;
  in.min = 32768 - 1000;
  in.max = 32768 + 1400;
  in.intercept = -32768;
  in.units = L"HU";
  EXPECT_EQ(contour_stats_notice(in), "Average 250 HU, range -1000 to 1400, in Tibia");
  in.bmd_scale = 0.5;
  in.bmd_offset = 50;
  // (250.4 - 50) / 0.5 = 400.8
  EXPECT_EQ(contour_stats_notice(in), "Average 250 HU (401 mg/cm^3), range -1000 to 1400, in Tibia");
}

// A frame store of one width x height frame whose display byte and raw
// value at (x, y) come from the given functions.
class PixelStats : public ::testing::Test {
 protected:
  void SetUp() override { session_ = std::make_unique<headless_session>(); }
  void TearDown() override { session_.reset(); }

  template <class Display, class Raw>
  void add_frame(int width, int height, Display display, Raw raw, bool with_raw) {
    auto* bytes = new uint8_t[size_t(width) * height];
    uint16_t* values = with_raw ? new uint16_t[size_t(width) * height] : nullptr;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        bytes[y * width + x] = static_cast<uint8_t>(display(x, y));
        if (values) values[y * width + x] = static_cast<uint16_t>(raw(x, y));
      }
    frame_store->add_image(values ? frame_image_t::create(bytes, values, width * height)
                                  : frame_image_t::create(bytes, width * height));
    resource_table->RES_BUF_WIDTH->write(width);
    resource_table->RES_BUF_HEIGHT->write(height);
    resource_table->RES_BUF_FRAMES->write(1);
  }

  // The square whose pixels x0..x1, y0..y1 lie inside: pixel i's centre is
  // at i + 0.5, so its edges run half a pixel outside the outer centres.
  static frame_contours_t square(int x0, int y0, int x1, int y1) {
    contour_t c;
    c.closed = true;
    for (vec2_t v : {vec2_t{double(x0), double(y0)}, vec2_t{x1 + 1.0, double(y0)},
                     vec2_t{x1 + 1.0, y1 + 1.0}, vec2_t{double(x0), y1 + 1.0}})
      c.vertices.push_back(v);
    frame_contours_t e;
    e.frame = 0;
    e.contours.push_back(c);
    return e;
  }

  std::unique_ptr<headless_session> session_;
};

TEST_F(PixelStats, SquareOverARampGivesTheClosedFormMeanAndRange) {
  add_frame(64, 48, [](int x, int y) { return x + 2 * y; }, [](int, int) { return 0; }, false);
  frame_contours_t e = square(10, 10, 29, 19);
  double mean = 0, max = 0, min = 0;
  ASSERT_TRUE(contour_pixel_stats(e, mean, max, min));
  // Mean of x over 10..29 is 19.5, of y over 10..19 is 14.5.
  EXPECT_NEAR(mean, 19.5 + 2 * 14.5, 1e-9);
  EXPECT_EQ(min, 10 + 2 * 10);
  EXPECT_EQ(max, 29 + 2 * 19);
}

TEST_F(PixelStats, Signed16BitValuesOverALargeRegionSumWithoutOverflow) {
  // Signed values from -4500 to 30750, kept as raw values moved up by
  // 32768; the region's sum of raw values passes 2^31.
  auto real = [](int x, int y) { return -6000 + 75 * x + 75 * y; };
  add_frame(256, 256, [](int x, int) { return x; },
            [&](int x, int y) { return real(x, y) + 32768; }, true);
  resource_table->RES_BUF_DICOM->write(true);
  frame_contours_t e = square(10, 10, 245, 245);
  double mean = 0, max = 0, min = 0;
  ASSERT_TRUE(contour_pixel_stats(e, mean, max, min));
  const double mean_x = (10 + 245) / 2.0, mean_y = mean_x;
  ASSERT_GT(236.0 * 236.0 * mean, 2147483648.0);
  EXPECT_NEAR(mean - 32768, -6000 + 75 * mean_x + 75 * mean_y, 1e-6);
  EXPECT_EQ(min - 32768, real(10, 10));
  EXPECT_EQ(max - 32768, real(245, 245));
  EXPECT_TRUE(frame_has_raw_values(0));
  // Without the DICOM flag the display bytes are used.
  resource_table->RES_BUF_DICOM->write(false);
  ASSERT_TRUE(contour_pixel_stats(e, mean, max, min));
  EXPECT_NEAR(mean, mean_x, 1e-9);
}

TEST_F(PixelStats, NothingEnclosedOrNoSuchFrameFails) {
  add_frame(32, 32, [](int, int) { return 5; }, [](int, int) { return 0; }, false);
  double mean = 0, max = 0, min = 0;
  frame_contours_t outside = square(40, 40, 50, 50);
  EXPECT_FALSE(contour_pixel_stats(outside, mean, max, min));
  frame_contours_t elsewhere = square(2, 2, 5, 5);
  elsewhere.frame = 3;
  EXPECT_FALSE(contour_pixel_stats(elsewhere, mean, max, min));
  frame_contours_t none;
  EXPECT_FALSE(contour_pixel_stats(none, mean, max, min));
  // Partly off the image: only the pixels on it count.
  frame_contours_t corner = square(-5, -5, 1, 1);
  ASSERT_TRUE(contour_pixel_stats(corner, mean, max, min));
  EXPECT_EQ(mean, 5);
}

TEST(DrawTexts, LabelTestTakesWholeCalibratedValuesFrom0To255) {
  struct label_case {
    const char* what;
    std::vector<uint16_t> raw;
    uint16_t padding;
    double slope, intercept;
    bool labels;
  };
  const label_case cases[] = {
      {"values 0 to 5", {0, 1, 2, 5, 3}, 0, 1, 0, true},
      {"CT values", {31768, 34768}, 0, 1, -32768, false},
      {"offset labels", {32768, 32773, 33023}, 0, 1, -32768, true},
      {"256 is past the last label", {32768, 33024}, 0, 1, -32768, false},
      {"a fraction", {3, 4}, 0, 0.5, 0, false},
      {"only padding", {7, 7, 7}, 7, 1, -1000, true},
      {"padding skipped", {7, 2, 3}, 7, 1, -1, true},
  };
  for (const label_case& c : cases)
    EXPECT_EQ(raw_values_are_labels(c.raw.data(), c.raw.size(), c.padding, c.slope, c.intercept), c.labels)
        << c.what;
}

struct change_case {
  const char* what;
  int old_task, new_task;
  bool pressure, spine;
  std::vector<bool> enable;
  int select;
  bool drop;
};

TEST(TaskChanges, VisualPagesFollowTasksAndSwitches) {
  const bool T = true, F = false;
  const change_case cases[] = {
      {"Draw to Thickness", 0, 3, F, F, {F, F, F, F, T}, 4, F},
      {"Thickness to Draw", 3, 0, F, F, {T, T, T, T, T}, -1, F},
      {"Draw to Thickness, all switches", 0, 3, T, T, {F, F, F, F, T, F, F, F}, 4, F},
      {"Thickness to Pressure", 3, 5, T, F, {F, F, F, F, F, T, F}, 5, F},
      {"Pressure to Spine", 5, 6, T, T, {F, F, F, F, F, F, F, T}, 7, T},
      {"Pressure to Draw", 5, 0, T, F, {T, T, T, T, T, T, T}, -1, T},
      {"Spine to Landmarks", 6, 2, T, T, {T, T, T, T, T, T, T, T}, -1, F},
      {"Landmarks to Scripts", 2, 4, T, T, {}, -1, F},
      {"the same page again", 3, 3, T, T, {}, -1, F},
      {"Pressure without its switch", 0, 5, F, F, {}, -1, F},
  };
  for (const change_case& c : cases) {
    const task_change_plan plan = plan_task_change(c.old_task, c.new_task, c.pressure, c.spine);
    EXPECT_EQ(plan.enable, c.enable) << c.what;
    EXPECT_EQ(plan.select, c.select) << c.what;
    EXPECT_EQ(plan.drop_correction, c.drop) << c.what;
  }
  EXPECT_EQ(task_help_page(6), "spine_intro.htm");
  EXPECT_EQ(task_help_page(4), "script.htm");
}

}  // namespace
