// Tick steps, tick values and label texts of the axes, and the placement of
// axis lines and names.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <set>
#include <string>

#include "plot/plot_math.h"
#include "plot_test_support.h"

namespace {

TEST(PlotTicks, StepIsAPowerOfTenBetween12p8And128Pixels) {
  struct row {
    double scale;
    int exponent;
  };
  const row rows[] = {{10, 1}, {100, 0}, {12.8, 1}, {12.81, 0}, {1, 2}, {690, -1}, {6.9e8, -7},
                      {6.9e-4, 5}, {1.28e-4, 6}};
  for (const row& r : rows) {
    int d;
    double step;
    ASSERT_TRUE(mp_tick_exponent(r.scale, &d, &step)) << r.scale;
    EXPECT_EQ(d, r.exponent) << r.scale;
    EXPECT_DOUBLE_EQ(step, std::pow(10.0, r.exponent));
    EXPECT_GE(step * r.scale, 12.8 - 1e-9);
    EXPECT_LE(step * r.scale, 128 + 1e-9);
  }
  int d;
  double step;
  for (double bad : {0.0, -5.0, double(INFINITY), double(NAN), 1e-320})
    EXPECT_FALSE(mp_tick_exponent(bad, &d, &step)) << bad;
}

// Horizontal axes over ranges from 1e-6 to 1e6, at zero and far from it:
// ticks stay 12.8 to 128 pixels apart and neighbouring labels always differ.
TEST(PlotTicks, HorizontalTableFromMicroToMega) {
  struct row {
    double from, to;
    double step;
    const char* format;
  };
  const row rows[] = {
      {0, 1e-6, 1e-7, "%.7f"},        {0, 1e-4, 1e-5, "%.5f"},
      {0, 1e-2, 1e-3, "%.3f"},        {0, 1, 0.1, "%.2f"},
      {0, 37, 1, "%.2f"},             {0, 1e3, 100, "%.f"},
      {0, 1e6, 1e5, "%.f"},           {-5e-6, -4e-6, 1e-7, "%.7f"},
      {-3, -2, 0.1, "%.2f"},          {-2e6, -1e6, 1e5, "%.f"},
      {1e6, 1e6 + 1, 0.1, "%.2f"},    {-1e6 - 1e-3, -1e6, 1e-4, "%.4f"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(std::to_string(r.from) + " .. " + std::to_string(r.to));
    mpView v = graph_view();
    v.fit_range(r.from, r.to, 0, 1);
    int d;
    double step;
    ASSERT_TRUE(mp_tick_exponent(v.scale_x, &d, &step));
    EXPECT_NEAR(step, r.step, r.step * 1e-12);
    const std::string format = mp_x_number_format("", d);
    EXPECT_EQ(format, r.format);

    const std::vector<double> ticks = mp_x_ticks(v, step);
    ASSERT_GE(ticks.size(), 5u);
    EXPECT_LE(ticks.size(), static_cast<size_t>(v.width / 12 + 4));
    EXPECT_LE(ticks.front(), v.pos_x);
    EXPECT_GT(ticks.front() + step, v.pos_x);
    EXPECT_LT(ticks.back(), v.p2x(v.width) + 1e-9 * std::fabs(ticks.back()));
    std::set<std::string> labels;
    for (size_t i = 0; i < ticks.size(); ++i) {
      if (i > 0) {
        EXPECT_NEAR(ticks[i] - ticks[i - 1], step, step * 1e-6);
      }
      labels.insert(mp_x_label(0, format, ticks[i], 0));
    }
    EXPECT_EQ(labels.size(), ticks.size()) << "labels of neighbouring ticks coincide";
  }
}

TEST(PlotTicks, VerticalTableFromMicroToMega) {
  struct row {
    double from, to;
    const char* format;
  };
  const row rows[] = {
      {0, 1e-6, "%.1e"},          {-5e-4, 5e-4, "%.1e"},    {0, 1e-2, "%.3f"},
      {-5, 5, "%.2f"},            {0, 1, "%.2f"},            {-2e4, 2e4, "%.1e"},
      {0, 1e6, "%.1e"},           {-1e6 - 1, -1e6, "%.7e"},  {-3e-3, -2e-3, "%.4f"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(std::to_string(r.from) + " .. " + std::to_string(r.to));
    mpView v = graph_view();
    v.fit_range(0, 1, r.from, r.to);
    int d;
    double step;
    ASSERT_TRUE(mp_tick_exponent(v.scale_y, &d, &step));
    const double m = std::max(std::fabs(v.y_to), std::fabs(v.y_from));
    const std::string format = mp_y_number_format("", m, d);
    EXPECT_EQ(format, r.format);
    const std::vector<double> ticks = mp_y_ticks(v, step);
    ASSERT_GE(ticks.size(), 3u);
    EXPECT_LE(ticks.size(), static_cast<size_t>(2 * v.height / 12 + 4));
    EXPECT_LE(ticks.front(), v.p2y(v.height - v.bottom));
    std::set<std::string> labels;
    for (double n : ticks) labels.insert(mp_format_double(format, n));
    EXPECT_EQ(labels.size(), ticks.size());
  }
}

TEST(PlotTicks, ZeroWidthRangeGivesFiniteTicks) {
  mpView v = graph_view();
  v.fit_range(5, 5, -1, -1);
  int d;
  double step;
  ASSERT_TRUE(mp_tick_exponent(v.scale_x, &d, &step));
  EXPECT_EQ(step, 100);  // scale 1: 128 pixels per hundred
  const std::vector<double> xs = mp_x_ticks(v, step);
  ASSERT_FALSE(xs.empty());
  for (double n : xs) EXPECT_TRUE(std::isfinite(n));
  ASSERT_TRUE(mp_tick_exponent(v.scale_y, &d, &step));
  const std::vector<double> ys = mp_y_ticks(v, step);
  ASSERT_FALSE(ys.empty());
  EXPECT_EQ(mp_y_number_format("", 1, d), "%.2f");
  EXPECT_EQ(mp_y_number_format("", 0, d), "%.1e");
}

TEST(PlotTicks, StepBelowThePositionsRoundingStillEnds) {
  // Deep zoom far from the origin: pos + step == pos in doubles.
  mpView v = graph_view();
  v.pos_x = 1e17;
  v.scale_x = 1e6;
  v.pos_y = -1e17;
  v.scale_y = 1e6;
  int d;
  double step;
  ASSERT_TRUE(mp_tick_exponent(v.scale_x, &d, &step));
  EXPECT_LE(mp_x_ticks(v, step).size(), static_cast<size_t>(v.width / 12 + 4));
  EXPECT_LE(mp_y_ticks(v, step).size(), static_cast<size_t>(2 * v.height / 12 + 4));
}

TEST(PlotTicks, LabelThinningKeepsLabelsApart) {
  EXPECT_EQ(mp_label_stride(40, 1, 100), 2);  // ceil(104 / 100)
  EXPECT_EQ(mp_label_stride(10, 1, 100), 1);
  EXPECT_EQ(mp_label_stride(60, 10, 1.5), 9);  // ceil(124 / 15)
  EXPECT_EQ(mp_label_stride(40, 1, 0), 1);

  mpView v = graph_view();
  v.scale_x = 100;
  v.pos_x = -0.35;
  const std::vector<double> every = mp_x_ticks(v, 1, 1), second = mp_x_ticks(v, 1, 2);
  ASSERT_GE(every.size(), 8u);
  for (size_t i = 0; i < second.size(); ++i) EXPECT_DOUBLE_EQ(second[i], every[2 * i]);
}

TEST(PlotTicks, NumberFormatsOfTheEdgeCases) {
  int d;
  double step;
  ASSERT_TRUE(mp_tick_exponent(10, &d, &step));
  EXPECT_EQ(mp_x_number_format("", d), "%.f");
  ASSERT_TRUE(mp_tick_exponent(100, &d, &step));
  EXPECT_EQ(mp_x_number_format("", d), "%.2f");
  EXPECT_EQ(mp_x_label(0, "%.2f", 2.0, 0), "2.00");
  // An explicit format wins when it holds one floating conversion.
  EXPECT_EQ(mp_x_number_format("%.3f mm", d), "%.3f mm");
  EXPECT_EQ(mp_x_number_format("%s", d), "%.2f");
  EXPECT_EQ(mp_y_number_format("%g", 5, -1), "%g");
  EXPECT_EQ(mp_y_number_format("%d", 5, -1), "%.2f");
}

TEST(PlotTicks, OnlySingleDoubleConversionsAreAcceptedFormats) {
  const std::pair<const char*, bool> rows[] = {
      {"%.3f", true},  {"%g", true},    {"x=%+08.2e%%", true}, {"%.0lf", true}, {"%F", true},
      {"", false},     {"%d", false},   {"%s", false},         {"%f %f", false}, {"%", false},
      {"%*f", false},  {"%n", false},   {"%Lf", false},        {"text", false},
  };
  for (const auto& r : rows) EXPECT_EQ(mp_is_double_format(r.first), r.second) << r.first;
  EXPECT_EQ(mp_format_double("x=%+08.2e%%", 1234.5), "x=+1.23e+03%");
  EXPECT_EQ(mp_format_double("%.f", 1e30), "1000000000000000019884624838656");
}

TEST(PlotTicks, DurationLabels) {
  EXPECT_EQ(mp_x_label(2, "", 0, 0), "00:00:00");
  EXPECT_EQ(mp_x_label(1, "", 0, 500), "00:00:00");
  EXPECT_EQ(mp_x_label(2, "", 3725, 0), "01:02:05");
  EXPECT_EQ(mp_x_label(1, "", 3725.9, 5000), "01:02:05");
  EXPECT_EQ(mp_x_label(2, "", -3725, 0), "-1:02:05");
  // Below 120 s at the right edge: minutes and seconds with milliseconds.
  EXPECT_EQ(mp_x_label(1, "", 65.25, 119), "01:5.250");
  EXPECT_EQ(mp_x_label(1, "", 0, 100), "00:0.000");
  EXPECT_EQ(mp_x_label(7, "", 12, 0), "");
}

TEST(PlotTicks, DateLabelsInLocalTime) {
  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(mp_x_label(3, "", 0, 0), "1970-01-01");
  EXPECT_EQ(mp_x_label(3, "", 951782400, 0), "2000-02-29");
  EXPECT_EQ(mp_x_label(4, "", 951782400 + 3661, 0), "2000-02-29T01:01:01");
  EXPECT_EQ(mp_x_label(3, "", 1e300, 0), "");
  if (old)
    setenv("TZ", saved.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

TEST(PlotTicks, VerticalLabelsCloserThan33PixelsAreSkipped) {
  int last = 65536;
  const int rows[] = {350, 330, 317, 300, 250};
  const bool written[] = {true, false, true, false, true};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(mp_y_label_fits(&last, rows[i], 14), written[i]) << rows[i];
  EXPECT_EQ(last, 243);
}

TEST(PlotAxesLayout, AxisLinesByAlignment) {
  mpView v = graph_view();
  v.fit_range(-2, 8, -3, 5);
  const int x_rows[][3] = {{0, 30, 40}, {2, 350, 360}, {4, 399, 399}, {5, 1, 1}, {3, 0, 0}};
  for (const auto& r : x_rows) {
    EXPECT_EQ(mp_x_axis_row(v, r[0], false), r[1]) << r[0];
    EXPECT_EQ(mp_x_axis_row(v, r[0], true), r[2]) << r[0];
  }
  EXPECT_EQ(mp_x_axis_row(v, 1, false), v.y2p(0));
  const int y_cols[][3] = {{0, 770, 740}, {2, 80, 60}, {4, 1, 1}, {5, 799, 799}, {3, 0, 0}};
  for (const auto& c : y_cols) {
    EXPECT_EQ(mp_y_axis_column(v, c[0], false), c[1]) << c[0];
    EXPECT_EQ(mp_y_axis_column(v, c[0], true), c[2]) << c[0];
  }
  EXPECT_EQ(mp_y_axis_column(v, 1, true), v.x2p(0));
}

TEST(PlotAxesLayout, NamesCentreInWideMarginsAndFallBackOtherwise) {
  const mpView v = graph_view();
  // Bottom axis inside the margins, 50-pixel margin > 12 + 8 + 14: centred below.
  mpNamePlace p = mp_x_name_place(v, 2, false, 350, 100, 14, 12);
  EXPECT_TRUE(p.shown);
  EXPECT_EQ(p.x, (80 + 800 - 30 - 100) / 2);
  EXPECT_EQ(p.y, 350 + 12 + 6);
  // Drawn outside the margins: at the right end above the axis.
  p = mp_x_name_place(v, 2, true, 360, 100, 14, 12);
  EXPECT_EQ(p.x, 800 - 100 - 4);
  EXPECT_EQ(p.y, 360 - 14 - 4);
  // Top axis with a 30-pixel margin too small for label and name.
  p = mp_x_name_place(v, 0, false, 30, 100, 14, 12);
  EXPECT_EQ(p.x, 800 - 100 - 4);
  EXPECT_EQ(p.y, 34);
  EXPECT_FALSE(mp_x_name_place(v, 3, false, 0, 10, 10, 10).shown);

  // Left axis with an 80-pixel margin: rotated, centred along the plot area.
  p = mp_y_name_place(v, 2, false, 80, 120, 14, 40);
  EXPECT_TRUE(p.rotated);
  EXPECT_EQ(p.x, 80 - 14 - 40 - 6);
  EXPECT_EQ(p.y, (30 + 400 - 50 + 120) / 2);
  // Labels too wide for the margin: horizontal at the top.
  p = mp_y_name_place(v, 2, false, 80, 120, 14, 60);
  EXPECT_FALSE(p.rotated);
  EXPECT_EQ(p.x, 84);
  EXPECT_EQ(p.y, 4);
  EXPECT_EQ(mp_y_name_place(v, 4, false, 1, 50, 14, 30).x, 38);
  EXPECT_EQ(mp_y_name_place(v, 5, false, 799, 50, 14, 30).x, 799 - 50 - 30 - 6);
}

}  // namespace
