// Display of 16-bit frames: the windowing formula, the stamp rules, smoothing
// within an image and across frames, and the settings read from the registry.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "data/dynabuf.h"
#include "medical/dicom_utility.h"
#include "registry/res_values.h"

namespace {

// Restores the loaded data's description and the frame store after each test.
class Windowing : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_16bit_ = dicom_utility::data_16bit;
    saved_padding_ = dicom_utility::padding_value;
    saved_store_ = frame_store;
    dicom_utility::data_16bit = true;
    dicom_utility::padding_value = 0;
    frame_store = &store;
  }
  void TearDown() override {
    dicom_utility::data_16bit = saved_16bit_;
    dicom_utility::padding_value = saved_padding_;
    dicom_utility::pass_progress = nullptr;
    dicom_utility::pass_progress_delay_ms = 250;
    frame_store = saved_store_;
  }

  // A record whose raw plane is w x h copies of the given values, cycled.
  static frame_image_ref make_record(int w, int h, std::vector<uint16_t> values,
                                     bool with_display = true) {
    auto* raw = new uint16_t[size_t(w * h)];
    for (int i = 0; i < w * h; ++i) raw[i] = values[size_t(i) % values.size()];
    uint8_t* display = with_display ? new uint8_t[size_t(w * h)]() : nullptr;
    return frame_image_t::create(display, raw, with_display ? w * h : 0);
  }

  static windowing_params_t params(int w, int h) {
    windowing_params_t p;
    p.width = w;
    p.height = h;
    p.redraw = 1;
    return p;
  }

  static void window(frame_image_ref& rec, const windowing_params_t& p) {
    dicom_utility::window_frame(rec->raw, *rec, rec->size, rec->stamp, p);
  }

  dynabuf store;

 private:
  bool saved_16bit_ = false;
  uint16_t saved_padding_ = 0;
  dynabuf* saved_store_ = nullptr;
};

TEST_F(Windowing, FormulaOnTableOfRawValues) {
  struct row {
    double slope, intercept, centre, width;
    uint16_t padding, raw;
    int display;
  };
  const row rows[] = {
      {1, 0, 1024, 2048, 9999, 1024, 127},   // the centre
      {1, 0, 1024, 2048, 9999, 0, 1},        // -1 clamped up
      {1, 0, 1024, 2048, 9999, 2048, 255},   // 255.0
      {1, 0, 1024, 2048, 9999, 4000, 255},   // 499 clamped down
      {1, 0, 1024, 2048, 9999, 9999, 0},     // padding
      {1, 0, 1024, 2048, 9999, 1028, 128},   // 127.5 rounds away from zero
      {1, 0, 1024, 2048, 9999, 1020, 127},   // 126.5 rounds away from zero
      {1, 0, 1024, 2048, 9999, 1019, 126},   // 126.375
      {1, 0, 1024, 2048, 9999, 1016, 126},   // 126.0
      {1, 0, 1024, 2048, 9999, 10, 1},       // 0.25 rounds to 0, shown as 1
      {1, 0, 1024, 2048, 9999, 2036, 254},   // 253.5
      {2, -1000, 40, 400, 9999, 520, 127},   // calibrated 40 is the centre
      {2, -1000, 40, 400, 9999, 600, 229},   // 127 + 256 * 160 / 400 = 229.4
      {2, -1000, 40, 400, 9999, 450, 37},    // 127 - 256 * 140 / 400 = 37.4
      {0.5, 100, 300, 100, 9999, 390, 114},  // calibrated 295: 127 - 12.8
      {1, 0, 1024, 2048, 0, 0, 1},           // padding value 0 means no padding
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << "raw " << r.raw << " slope " << r.slope);
    dicom_utility::padding_value = r.padding;
    frame_image_ref rec = make_record(1, 1, {r.raw});
    windowing_params_t p = params(1, 1);
    p.slope = r.slope;
    p.intercept = r.intercept;
    p.centre = r.centre;
    p.window = r.width;
    window(rec, p);
    EXPECT_EQ(int(rec->display[0]), r.display);
    EXPECT_EQ(rec->stamp, 1);
  }
}

TEST_F(Windowing, LargeFramesGiveTheSameBytes) {
  // Every raw value once, in a frame large enough for the table of values.
  dicom_utility::padding_value = 5000;
  std::vector<uint16_t> all(65536);
  for (int v = 0; v < 65536; ++v) all[size_t(v)] = uint16_t(v);
  frame_image_ref rec = make_record(256, 256, all);
  windowing_params_t p = params(256, 256);
  window(rec, p);
  const struct {
    int raw, display;
  } rows[] = {{0, 1}, {10, 1}, {1016, 126}, {1019, 126}, {1020, 127}, {1024, 127}, {1028, 128},
              {2036, 254}, {2048, 255}, {4999, 255}, {5000, 0}, {65535, 255}};
  for (const auto& r : rows) EXPECT_EQ(rec->display[r.raw], r.display) << "raw " << r.raw;
}

TEST_F(Windowing, ZeroOrNegativeWidthIsNarrowestWindow) {
  for (double width : {0.0, -50.0}) {
    frame_image_ref rec = make_record(3, 1, {99, 100, 101});
    windowing_params_t p = params(3, 1);
    p.centre = 100;
    p.window = width;
    window(rec, p);
    EXPECT_EQ(rec->display[0], 1);
    EXPECT_EQ(rec->display[1], 127);
    EXPECT_EQ(rec->display[2], 255);
  }
}

TEST_F(Windowing, StampRules) {
  windowing_params_t p = params(2, 2);
  p.centre = 127;
  p.window = 256;  // display = raw for 1..254

  // Current stamp: nothing is touched.
  frame_image_ref rec = make_record(2, 2, {10, 20, 30, 40});
  std::fill(rec->display, rec->display + 4, 77);
  rec->stamp = 1;
  window(rec, p);
  EXPECT_EQ(rec->display[0], 77);

  // Never windowed (-1) and out of date stamps are windowed.
  for (int32_t stamp : {-1, 0, 5}) {
    rec->stamp = stamp;
    std::fill(rec->display, rec->display + 4, 77);
    window(rec, p);
    EXPECT_EQ(rec->stamp, 1);
    EXPECT_EQ(rec->display[0], 10);
    EXPECT_EQ(rec->display[3], 40);
  }

  // -2 windows at once and becomes the current stamp.
  rec->stamp = -2;
  window(rec, p);
  EXPECT_EQ(rec->stamp, 1);
}

TEST_F(Windowing, MissingOrWrongSizedDisplayBufferIsMade) {
  windowing_params_t p = params(4, 3);
  p.centre = 127;
  p.window = 256;
  frame_image_ref rec = make_record(4, 3, {50}, /*with_display=*/false);
  rec->stamp = 1;  // current, yet there are no pixels to show
  window(rec, p);
  ASSERT_NE(rec->display, nullptr);
  EXPECT_EQ(rec->size, 12);
  EXPECT_EQ(rec->stamp, 1);
  EXPECT_EQ(rec->display[11], 50);

  // A display buffer of another size is replaced rather than overrun.
  frame_image_ref small = make_record(4, 3, {60});
  delete[] small->display;
  small->display = new uint8_t[2]();
  small->size = 2;
  small->stamp = 1;
  window(small, p);
  EXPECT_EQ(small->size, 12);
  EXPECT_EQ(small->display[11], 60);
}

TEST_F(Windowing, WithoutRawDataShowsCheckerboard) {
  dicom_utility::data_16bit = false;
  frame_image_ref rec = make_record(3, 2, {500});
  window(rec, params(3, 2));
  const uint8_t expected[] = {0, 255, 0, 255, 0, 255};
  EXPECT_TRUE(std::equal(expected, expected + 6, rec->display));
  EXPECT_EQ(rec->stamp, 1);
}

TEST_F(Windowing, SmoothingKernelWeights) {
  const std::vector<double> k1 = dicom_utility::smoothing_kernel(1);
  ASSERT_EQ(k1.size(), 3u);
  EXPECT_DOUBLE_EQ(k1[0], 0.31486068746470619);
  EXPECT_DOUBLE_EQ(k1[1], 1.0);
  EXPECT_DOUBLE_EQ(k1[2], 0.31486068746470619);
  const std::vector<double> k3 = dicom_utility::smoothing_kernel(3);
  const double expected3[] = {0.074261973874350601, 0.31486068746470636, 0.74908242858858642, 1,
                              0.74908242858858609,  0.31486068746470602, 0.074261973874350504};
  ASSERT_EQ(k3.size(), 7u);
  for (int i = 0; i < 7; ++i) EXPECT_DOUBLE_EQ(k3[size_t(i)], expected3[i]) << "weight " << i;
}

TEST_F(Windowing, SmoothFrameImpulseAndBorders) {
  const int w = 7, h = 7;
  std::vector<uint16_t> src(w * h, 0), dst(w * h, 1);
  src[3 * w + 3] = 1000;
  ASSERT_TRUE(dicom_utility::smooth_frame(src.data(), w, h, 1, dst.data()));
  // Separable weights 1 : 0.3149 normalised per pass.
  EXPECT_EQ(dst[3 * w + 3], 377);
  EXPECT_EQ(dst[3 * w + 2], 119);
  EXPECT_EQ(dst[2 * w + 3], 119);
  EXPECT_EQ(dst[2 * w + 2], 37);
  EXPECT_EQ(dst[1 * w + 3], 0);

  // At the borders the window is cut short and the weights renormalised.
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) src[y * w + x] = uint16_t(100 * x);
  dicom_utility::smooth_frame(src.data(), w, h, 2, dst.data());
  const uint16_t row0[] = {50, 111, 200, 300, 400, 489, 550};
  for (int x = 0; x < w; ++x) EXPECT_EQ(dst[x], row0[x]) << "x " << x;

  std::fill(src.begin(), src.end(), 4321);
  dicom_utility::smooth_frame(src.data(), w, h, 3, dst.data());
  EXPECT_TRUE(std::all_of(dst.begin(), dst.end(), [](uint16_t v) { return v == 4321; }));

  // Radius 0 copies.
  src[5] = 17;
  dicom_utility::smooth_frame(src.data(), w, h, 0, dst.data());
  EXPECT_EQ(dst, src);
}

TEST_F(Windowing, SmoothFramePaddingPixels) {
  dicom_utility::padding_value = 3000;
  const int w = 5, h = 1;
  const std::vector<uint16_t> src = {100, 100, 3000, 100, 100};
  std::vector<uint16_t> dst(5);
  dicom_utility::smooth_frame(src.data(), w, h, 1, dst.data());
  EXPECT_EQ(dst[2], 3000);  // the padding pixel keeps its value
  // A neighbour includes the padding value in its sum: (100 + 100 k + 3000 k) / (1 + 2k).
  const double k = 0.31486068746470619;
  EXPECT_EQ(dst[1], uint16_t((100 + 100 * k + 3000 * k) / (1 + 2 * k) + 0.5));
  EXPECT_EQ(dst[0], 100);

  // Padding shows as 0 through windowing with smoothing within the image.
  frame_image_ref rec = make_record(5, 1, {100, 100, 3000, 100, 100});
  windowing_params_t p = params(5, 1);
  p.centre = 127;
  p.window = 256;
  p.filter = 1;
  window(rec, p);
  EXPECT_EQ(rec->display[2], 0);
  EXPECT_EQ(rec->display[0], 100);
  EXPECT_EQ(rec->display[1], 255);  // smoothed to 660, above the window
}

TEST_F(Windowing, FilterSmoothsBeforeWindowing) {
  frame_image_ref rec = make_record(3, 1, {0, 120, 0});
  windowing_params_t p = params(3, 1);
  p.centre = 127;
  p.window = 256;
  p.filter = 1;
  window(rec, p);
  // Row pass: centre 120 / (1 + 2k), edges 120 k / (1 + k); one row, so the
  // column pass keeps them.
  const double k = 0.31486068746470619;
  EXPECT_EQ(rec->display[1], int(120 / (1 + 2 * k) + 0.5));
  EXPECT_EQ(rec->display[0], int(120 * k / (1 + k) + 0.5));
}

// ---- the pass over all frames -----------------------------------------------

class WholeDataPass : public Windowing {
 protected:
  // n frames of 2 x 2 pixels, frame f holding the value 10 (f + 1) everywhere.
  void fill_store(int n) {
    for (int f = 0; f < n; ++f) store.add_image(make_record(2, 2, {uint16_t(10 * (f + 1))}));
  }
  windowing_params_t pass_params(int n) {
    windowing_params_t p = params(2, 2);
    p.frames = n;
    p.centre = 127;
    p.window = 256;  // display = raw
    p.filter_z = 1;
    p.zscale = 0.1;
    p.pos_rec = true;
    return p;
  }
};

// Expected display values below were computed apart from this code, with
// weights exp(-(2.15 (i - r) / (r + 1))^2), sums over the frames present and
// rounding half up: frame f holds 10 (f + 1).

TEST_F(WholeDataPass, SmoothsAcrossFramesWithRenormalisedEnds) {
  fill_store(5);
  const windowing_params_t p = pass_params(5);
  ASSERT_TRUE(dicom_utility::window_all_frames(1, p));
  const int expected[5] = {12, 20, 30, 40, 48};
  for (int j = 0; j < 5; ++j) {
    EXPECT_EQ(store.images[size_t(j)]->display[0], expected[j]) << "frame " << j;
    EXPECT_EQ(store.images[size_t(j)]->display[3], expected[j]) << "frame " << j;
    EXPECT_EQ(store.images[size_t(j)]->stamp, 1);
  }
}

TEST_F(WholeDataPass, LongerStackWithWiderRadius) {
  // Exercises the ring of planes, reloaded as the window moves.
  const int n = 9;
  fill_store(n);
  windowing_params_t p = pass_params(n);
  ASSERT_TRUE(dicom_utility::window_all_frames(2, p));
  const int expected[9] = {15, 21, 30, 40, 50, 60, 70, 79, 85};
  for (int j = 0; j < n; ++j) EXPECT_EQ(store.images[size_t(j)]->display[0], expected[j]) << "frame " << j;
}

TEST_F(WholeDataPass, RefusedWhenSmoothingAcrossFramesDoesNotApply) {
  fill_store(3);
  struct row {
    const char* why;
    int radius;
    void (*change)(windowing_params_t&);
  };
  const row rows[] = {
      {"radius 0", 0, [](windowing_params_t&) {}},
      {"not evenly spaced", 1, [](windowing_params_t& p) { p.zscale = 0; }},
      {"no positions", 1, [](windowing_params_t& p) { p.pos_rec = false; }},
      {"no frames", 1, [](windowing_params_t& p) { p.frames = 0; }},
      {"one pixel wide", 1, [](windowing_params_t& p) { p.width = 1; }},
      {"more frames announced than stored", 1, [](windowing_params_t& p) { p.frames = 4; }},
  };
  for (const auto& r : rows) {
    windowing_params_t p = pass_params(3);
    r.change(p);
    EXPECT_FALSE(dicom_utility::window_all_frames(r.radius, p)) << r.why;
    EXPECT_EQ(store.images[0]->stamp, -1) << r.why;
  }
  // A frame without raw values.
  delete[] store.images[1]->raw;
  store.images[1]->raw = nullptr;
  EXPECT_FALSE(dicom_utility::window_all_frames(1, pass_params(3)));
  EXPECT_EQ(store.images[0]->stamp, -1);
}

TEST_F(WholeDataPass, WindowFrameHandsWorkToThePass) {
  fill_store(3);
  const windowing_params_t p = pass_params(3);
  frame_image_t& middle = *store.images[1];
  dicom_utility::window_frame(middle.raw, middle, middle.size, middle.stamp, p);
  const int expected[3] = {12, 20, 28};
  for (int j = 0; j < 3; ++j) {
    EXPECT_EQ(store.images[size_t(j)]->stamp, 1);
    EXPECT_EQ(store.images[size_t(j)]->display[0], expected[j]) << "frame " << j;
  }

  // Stamp -2 windows alone: no pass, no smoothing across frames.
  for (auto& img : store.images) img->stamp = 0;
  middle.stamp = -2;
  dicom_utility::window_frame(middle.raw, middle, middle.size, middle.stamp, p);
  EXPECT_EQ(middle.display[0], 20);
  EXPECT_EQ(store.images[0]->stamp, 0);

  // A record outside the store is still windowed after the pass.
  for (auto& img : store.images) img->stamp = 0;
  frame_image_ref outside = make_record(2, 2, {77});
  window(outside, p);
  EXPECT_EQ(outside->stamp, 1);
  EXPECT_EQ(outside->display[0], 77);
  EXPECT_EQ(store.images[0]->stamp, 1);
}

// Cancels at its first update and records what the pass asked of it.
class cancelling_progress : public windowing_progress_t {
 public:
  void start(const wxString& title, const wxString& message, int maximum) override {
    this->title = title;
    first_message = message;
    this->maximum = maximum;
  }
  bool update(int value, const wxString& message) override {
    ++updates;
    last_message = message;
    return false;
  }
  void resume() override { ++resumes; }
  void finish() override { ++finishes; }
  wxString title, first_message, last_message;
  int maximum = 0, updates = 0, resumes = 0, finishes = 0;
};

TEST_F(WholeDataPass, CancelKeepsWindowedFramesAndWindowsTheRestAlone) {
  fill_store(8);
  // Frames 0 to 3 were windowed before (showing 200), 4 to 7 never.
  for (int j = 0; j < 4; ++j) {
    std::fill(store.images[size_t(j)]->display, store.images[size_t(j)]->display + 4, 200);
    store.images[size_t(j)]->stamp = 0;
  }
  cancelling_progress progress;
  dicom_utility::pass_progress = &progress;
  dicom_utility::pass_progress_delay_ms = -1;  // show it at once

  EXPECT_TRUE(dicom_utility::window_all_frames(1, pass_params(8)));
  EXPECT_EQ(progress.title, "Windowing 16-bit data");
  EXPECT_EQ(progress.first_message, "Currently windowing/filtering frame 0 of 8.\n");
  EXPECT_EQ(progress.last_message, "Currently windowing/filtering frame 0 of 8.");
  EXPECT_EQ(progress.maximum, 8);
  EXPECT_EQ(progress.finishes, 1);
  EXPECT_EQ(progress.resumes, 4);
  for (int j = 0; j < 8; ++j) {
    const frame_image_t& rec = *store.images[size_t(j)];
    EXPECT_EQ(rec.stamp, 1) << "frame " << j;
    EXPECT_EQ(rec.display[0], j < 4 ? 200 : 10 * (j + 1)) << "frame " << j;
  }
}

// ---- settings from the registry ---------------------------------------------

TEST_F(Windowing, ParamsFromResourcesAndRedrawThroughDisplayData) {
  {
    // Without the resources the built-in starting values serve.
    const windowing_params_t d = dicom_utility::windowing_params_from_resources();
    EXPECT_EQ(d.width, 512);
    EXPECT_EQ(d.window, 2048.0);
    EXPECT_EQ(d.centre, 1024.0);
    EXPECT_EQ(d.slope, 1.0);
  }
  long_res_t width(2, L"RES_BUF_WIDTH", 0, RES_GROUP_MISC);
  long_res_t height(1, L"RES_BUF_HEIGHT", 0, RES_GROUP_MISC);
  long_res_t frames(1, L"RES_BUF_FRAMES", 0, RES_GROUP_MISC);
  double_res_t hum(2.0, L"RES_DICOM_HUM", 0, RES_GROUP_MISC);
  double_res_t hub(-100.0, L"RES_DICOM_HUB", 0, RES_GROUP_MISC);
  double_res_t centre(0.0, L"RES_DICOM_WIN_CENTRE", 0, RES_GROUP_MISC);
  double_res_t win(512.0, L"RES_DICOM_WIN_WIDTH", 0, RES_GROUP_MISC);
  long_res_t filter(0, L"RES_DICOM_FILTER", 0, RES_GROUP_MISC);
  long_res_t filter_z(3, L"RES_DICOM_FILTER_Z", 0, RES_GROUP_MISC);
  flag_res_t redraw(L"RES_DICOM_REDRAW", 0, RES_GROUP_MISC);
  double_res_t zscale(0.0, L"RES_ZSCALE", 0, RES_GROUP_MISC);
  bool_res_t pos_rec(false, L"RES_POS_REC", 0, RES_GROUP_MISC);

  const windowing_params_t p = dicom_utility::windowing_params_from_resources();
  EXPECT_EQ(p.width, 2);
  EXPECT_EQ(p.height, 1);
  EXPECT_EQ(p.frames, 1);
  EXPECT_EQ(p.slope, 2.0);
  EXPECT_EQ(p.intercept, -100.0);
  EXPECT_EQ(p.centre, 0.0);
  EXPECT_EQ(p.window, 512.0);
  EXPECT_EQ(p.filter, 0);
  EXPECT_EQ(p.filter_z, 3);
  EXPECT_EQ(p.redraw, 0);
  EXPECT_EQ(p.zscale, 0.0);
  EXPECT_FALSE(p.pos_rec);

  // display_data windows through the installed procedure: 2 * 50 - 100 = 0 is
  // the centre.
  dicom_utility::install_frame_windowing();
  frame_image_ref rec = make_record(2, 1, {50, 51});
  const uint8_t* px = frame_image_t::display_data(rec);
  EXPECT_EQ(px[0], 127);
  EXPECT_EQ(px[1], 128);  // 127 + 256 * 2 / 512
  EXPECT_EQ(rec->stamp, 0);

  // A new window is seen only after RES_DICOM_REDRAW is raised.
  centre.write(-256.0);
  EXPECT_EQ(frame_image_t::display_data(rec)[0], 127);
  redraw.write();
  EXPECT_EQ(frame_image_t::display_data(rec)[0], 255);
  EXPECT_EQ(rec->stamp, 1);
}

}  // namespace
