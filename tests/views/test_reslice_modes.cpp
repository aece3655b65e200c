// Rules of the reslice builder beyond plain sampling: masked data, label
// data, equal distances, and the change procedure of a shared builder with
// the coarse steps of dynamic update.
#include <gtest/gtest.h>

#include "reslice_test_support.h"
#include "views/reslice_internals.h"

namespace {

class ResliceModes : public ::testing::Test {
 protected:
  void SetUp() override { session_ = std::make_unique<headless_session>(); }
  void TearDown() override {
    delete private_;
    session_.reset();  // the table deletes shared builders
  }

  reslice_internals& private_builder(const vec3_t& normal, const vec3_t& centre, const vec3_t& up,
                                     int32_t width, int32_t height, bool accurate) {
    private_ = new reslice_internals(-1, width, height);
    reslice_info& p = *private_->plane();
    p.set_plane(normal, centre, up, false);
    p.set_width(width);
    p.set_height(height);
    p.set_accurate(accurate);
    return *private_;
  }

  vec3_t frame_centre(double z) const { return {stack_.w * stack_.s / 2, stack_.h * stack_.s / 2, z}; }

  std::unique_ptr<headless_session> session_;
  synthetic_stack stack_;
  reslice_internals* private_ = nullptr;
};

struct masked_case {
  int32_t masked;
  int expected_at_black;  // -1: the farther frame's value
};

TEST_F(ResliceModes, BlackPixelIsDataUnlessTheDataAreMasked) {
  // Frames 0 and 1 a tenth of a millimetre apart, frame 2 far above: in the
  // plane of frame 0 both frame 0 and frame 1 reach, frame 0 the nearer.
  stack_.load({0.0, 0.01, 0.2});
  frame_store->images[0]->display[5 * stack_.w + 5] = 0;
  for (const masked_case& c : {masked_case{0, 1}, masked_case{1, -1}}) {
    resource_table->RES_MASKED_DATA->write(c.masked);
    base_res_t::make_pending_writes_happen();
    delete private_;
    reslice_internals& b =
        private_builder({0, 0, 1}, frame_centre(0.0), {0, 1, 0}, stack_.w, stack_.h, false);
    const uint8_t* image = b.get_image();
    ASSERT_NE(image, nullptr);
    const int want = c.expected_at_black < 0 ? stack_.value(1, 5, 5) : c.expected_at_black;
    EXPECT_EQ(image[5 * stack_.w + 5], want) << "masked " << c.masked;
    EXPECT_EQ(image[5 * stack_.w + 6], stack_.value(0, 6, 5)) << "masked " << c.masked;
  }
}

TEST_F(ResliceModes, LabelDataTakeTheNearestFrameAndMaximumForAverage) {
  stack_.load({0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9});
  resource_table->RES_CMAP_LABELS->write(true);
  base_res_t::make_pending_writes_happen();
  const vec3_t normal{1, 0, 0}, up{0, 0, 1}, centre{1.0123, 1.2, 0.4623};
  const int32_t width = 48, height = 24;
  // Accurate asked for, and a thick average: labels are never blended.
  reslice_internals& b = private_builder(normal, centre, up, width, height, true);
  b.plane()->set_compounding(2);
  b.plane()->set_thickness(0.1);
  const int K = static_cast<int>(std::floor(0.1 / stack_.s)) + 1;
  const uint8_t* image = b.get_image();
  ASSERT_NE(image, nullptr);
  for (int j = 0; j < height; ++j)
    for (int i = 0; i < width; ++i) {
      double hi = 0.0;
      for (int o = -K; o <= K; ++o) {
        const vec3_t p =
            image_to_world(normal, centre, up, width, height, stack_.s, i + 0.5, j + 0.5, o * 0.1 / K);
        hi = std::max(hi, stack_.nearest(p, 0.05 + 1e-5));
      }
      ASSERT_EQ(image[j * width + i], stored_byte(hi)) << i << "," << j;
    }
}

TEST_F(ResliceModes, LowerNumberedFrameWinsAtEqualDistance) {
  // Heights exact in binary, and a plane exactly half way between them.
  stack_.load({0.0, 0.125});
  reslice_internals& b =
      private_builder({0, 0, 1}, frame_centre(0.0625), {0, 1, 0}, stack_.w, stack_.h, false);
  const uint8_t* image = b.get_image();
  ASSERT_NE(image, nullptr);
  for (int y = 0; y < stack_.h; ++y)
    for (int x = 0; x < stack_.w; ++x)
      ASSERT_EQ(image[y * stack_.w + x], stack_.value(0, x, y)) << x << "," << y;
}

TEST_F(ResliceModes, SharedBuilderFollowsItsResourcesAndTheCoarseSteps) {
  stack_.load({0, 0.1, 0.2, 0.3});
  resource_table_t& t = *resource_table;
  auto redisplays = [&] { return t.RES_REDISPLAY_RESLICE0->read(); };
  const int32_t start = redisplays();
  auto* b = new reslice_internals(0, 0, 0);  // placed on the current frame, built and shown at once
  reslice_info& plane = *b->plane();
  EXPECT_TRUE(plane.defined);
  EXPECT_EQ(redisplays(), start + 1);
  ASSERT_NE(b->get_image(), nullptr);

  plane.set_width(stack_.w);
  plane.set_height(stack_.h);
  plane.set_plane({0, 0, 1}, frame_centre(0.2), {0, 1, 0}, true);
  plane.set_accurate(false);
  const int32_t placed = redisplays();

  // A colour-map change alone leaves a valid image alone.
  t.RES_CMAP_CHANGED->write();
  base_res_t::make_pending_writes_happen();
  EXPECT_EQ(redisplays(), placed);

  // Dragging: the steps apply from the next build on.
  set_reslice_dynamic_steps(3, 1);
  t.RES_DYNAMIC_UPDATE->write(true);
  base_res_t::make_pending_writes_happen();
  EXPECT_EQ(b->pixel_step(), 3);
  EXPECT_EQ(redisplays(), placed);
  plane.set_centre(frame_centre(0.1), true);
  const uint8_t* coarse = b->get_image();
  ASSERT_NE(coarse, nullptr);
  // Pixel 1 copies sample 0 (frame pixel 0), pixel 2 the sample at 3.
  EXPECT_EQ(coarse[1], stack_.value(1, 0, 0));
  EXPECT_EQ(coarse[2], stack_.value(1, 3, 0));

  // The drag ends: one full-quality build, shown.
  const int32_t dragged = redisplays();
  t.RES_DYNAMIC_UPDATE->write(false);
  base_res_t::make_pending_writes_happen();
  EXPECT_EQ(b->pixel_step(), 1);
  EXPECT_EQ(redisplays(), dragged + 1);
  const uint8_t* full = b->get_image();
  ASSERT_NE(full, nullptr);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(full[x], stack_.value(1, x, 0)) << x;

  // New frames: the placed plane 0 stays, the image is built again.
  const int32_t before = redisplays();
  t.RES_BUF_FRAMES->write(3);
  base_res_t::make_pending_writes_happen();
  EXPECT_EQ(redisplays(), before + 1);
  EXPECT_NEAR(plane.centre.z, 0.1, 1e-9);
  set_reslice_dynamic_steps(1, 1);
}

}  // namespace

namespace {

// A surface whose section covers sample columns 10..19 of every row, with
// the offsets asked for recorded.
std::vector<double> asked_offsets;
span_list* band_spans(int32_t object, const reslice_info& plane, int32_t step, double offset) {
  asked_offsets.push_back(offset);
  return new span_list(static_cast<size_t>(plane.height / step) + 1, std::vector<int32_t>{10, 19});
}

struct crop_case {
  bool outside;
  bool kept(int x) const { return (x >= 10 && x <= 19) != outside; }
};

TEST_F(ResliceModes, CropSurfaceKeepsTheInsideOrTheOutside) {
  stack_.load({0, 0.1, 0.2});
  resource_table_t& t = *resource_table;
  // The builder only asks whether the object has a surface; the table must
  // not delete this stand-in, so it is taken out however the test ends.
  struct stand_in_surface {
    resource_table_t& t;
    explicit stand_in_surface(resource_table_t& table) : t(table) {
      t.RES_SURFACE[4]->write(reinterpret_cast<surface_interp*>(&asked_offsets));
      base_res_t::make_pending_writes_happen();
      set_reslice_span_source(&band_spans);
    }
    ~stand_in_surface() {
      set_reslice_span_source(nullptr);
      t.RES_SURFACE[4]->write(nullptr);
      base_res_t::make_pending_writes_happen();
    }
  } surface(t);
  for (const crop_case& c : {crop_case{false}, crop_case{true}}) {
    delete private_;
    reslice_internals& b =
        private_builder({0, 0, 1}, frame_centre(0.1), {0, 1, 0}, stack_.w, stack_.h, false);
    b.plane()->set_crop_surface(4);
    b.plane()->set_show_outside_surface(c.outside);
    asked_offsets.clear();
    const uint8_t* image = b.get_image();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(asked_offsets, std::vector<double>{0.0});
    for (int y = 0; y < stack_.h; ++y)
      for (int x = 0; x < stack_.w; ++x)
        ASSERT_EQ(image[y * stack_.w + x], c.kept(x) ? stack_.value(1, x, y) : 0)
            << "outside " << c.outside << " pixel " << x << "," << y;
  }
}

TEST_F(ResliceModes, SixteenBitAverageIsWindowedAfterAveraging) {
  // Raw values r(k, x, y) = 10 x + 50 k, window centre 1300 and width 2000:
  // a raw value r counts as r - 300 (at least a hair above 0, as data) and
  // the average shows as that times 256 / 2000.
  stack_.load({0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9});
  resource_table_t& t = *resource_table;
  const int32_t w = stack_.w, h = stack_.h;
  auto raw_value = [](int k, int x) { return 10 * x + 50 * k; };
  for (size_t k = 0; k < frame_store->images.size(); ++k) {
    auto* raw = new uint16_t[static_cast<size_t>(w) * h];
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) raw[y * w + x] = static_cast<uint16_t>(raw_value(static_cast<int>(k), x));
    auto* display = new uint8_t[static_cast<size_t>(w) * h]();
    frame_store->images[k] = frame_image_t::create(display, raw, w * h);
  }
  t.RES_BUF_DICOM->write(true);
  t.RES_DICOM_HUM->write(1.0);
  t.RES_DICOM_HUB->write(0.0);
  t.RES_DICOM_WIN_CENTRE->write(1300.0);
  t.RES_DICOM_WIN_WIDTH->write(2000.0);
  base_res_t::make_pending_writes_happen();

  const vec3_t normal{1, 0, 0}, up{0, 0, 1}, centre{1.0123, 1.2, 0.4623};
  const int32_t width = 48, height = 24;
  const double half = 0.2;
  const int K = static_cast<int>(std::floor(half / stack_.s)) + 1;
  reslice_internals& b = private_builder(normal, centre, up, width, height, false);
  b.plane()->set_compounding(2);
  b.plane()->set_thickness(half);
  const uint8_t* image = b.get_image();
  ASSERT_NE(image, nullptr);
  int checked = 0, dim = 0, bright = 0;
  for (int j = 0; j < height; ++j)
    for (int i = 0; i < width; ++i) {
      double sum = 0.0;
      int n = 0;
      for (int o = -K; o <= K; ++o) {
        const vec3_t p =
            image_to_world(normal, centre, up, width, height, stack_.s, i + 0.5, j + 0.5, o * half / K);
        if (!stack_.inside_rectangle(p)) continue;
        int best = -1;
        for (size_t k = 0; k < stack_.z.size(); ++k)
          if (std::fabs(p.z - stack_.z[k]) < 0.05 + 1e-5 &&
              (best < 0 || std::fabs(p.z - stack_.z[k]) < std::fabs(p.z - stack_.z[best])))
            best = static_cast<int>(k);
        if (best < 0) continue;
        // Values at or below the window's lower edge still count as data.
        sum += std::max(1e-4, raw_value(best, static_cast<int>(std::floor(p.x / stack_.s))) - 300.0);
        ++n;
      }
      const int got = image[j * width + i];
      if (n == 0) {
        EXPECT_EQ(got, 0);
        continue;
      }
      ++checked;
      const int want = stored_byte(sum / n * 256.0 / 2000.0);
      dim += want <= 10;
      bright += want > 40;
      ASSERT_NEAR(got, want, 1) << i << "," << j;
    }
  EXPECT_GT(checked, width * 15);
  EXPECT_GT(dim, 0);     // rows where frames at the lower edge take part
  EXPECT_GT(bright, 0);  // and rows well inside the window
}

}  // namespace

namespace {

// Windowing that shows raw values divided by 16, counting its calls.
int windowings = 0;
void divide_by_16(const uint16_t* raw, frame_image_t& record, int32_t& size, int32_t& stamp) {
  ++windowings;
  for (int32_t i = 0; i < size; ++i) record.display[i] = static_cast<uint8_t>(std::max(1, raw[i] / 16));
}

class recording_progress : public reslice_progress {
 public:
  void open(const wxString& caption, const wxString& message, int maximum) override {
    opened.push_back(caption + "|" + message + "|" + wxString::Format("%d", maximum));
  }
  bool update(int, const wxString& message) override {
    updates.push_back(message);
    return !cancel;
  }
  void close() override { ++closed; }
  std::vector<wxString> opened, updates;
  int closed = 0;
  bool cancel = false;
};

TEST_F(ResliceModes, SixteenBitFramesAreWindowedBeforeSamplingWithProgress) {
  stack_.load({0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7});
  const int32_t w = stack_.w, h = stack_.h;
  for (size_t k = 0; k < frame_store->images.size(); ++k) {
    auto* raw = new uint16_t[static_cast<size_t>(w) * h];
    for (int i = 0; i < w * h; ++i) raw[i] = static_cast<uint16_t>(16 * stack_.pixels[k][i] + 7);
    frame_store->images[k] = frame_image_t::create(new uint8_t[static_cast<size_t>(w) * h](), raw, w * h);
  }
  const frame_windowing_fn previous = frame_windowing();
  set_frame_windowing(&divide_by_16);
  struct restore {
    frame_windowing_fn fn;
    ~restore() { set_frame_windowing(fn); }
  } restore_windowing{previous};

  for (bool cancel : {false, true}) {
    delete private_;
    reslice_internals& b = private_builder({0, 0, 1}, frame_centre(stack_.z[2]), {0, 1, 0}, w, h, false);
    recording_progress progress;
    progress.cancel = cancel;
    b.set_progress(&progress);
    long now = 0;
    b.set_clock([&now] { return now += 300; });
    windowings = 0;
    const uint8_t* image = b.get_image();
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(progress.opened.size(), 1u);
    EXPECT_EQ(progress.opened[0], "Windowing 16-bit data|Currently windowing/filtering frame 0 of 8.\n|8");
    EXPECT_EQ(progress.closed, 1);
    if (!cancel) {
      ASSERT_GE(progress.updates.size(), 2u);
      EXPECT_EQ(progress.updates[1], "Currently windowing/filtering frame 1 of 8.");
      EXPECT_GE(windowings, 8);
    }
    // Cancelled or not, the frame sampled shows its windowed values.
    for (int i = 0; i < w * h; ++i)
      ASSERT_EQ(image[i], stack_.pixels[2][i]) << "cancel " << cancel << " pixel " << i;
  }
}

}  // namespace

namespace {

struct doppler_case {
  int32_t compounding;
  uint8_t values[3];  // frames 0, 1, 2: one value each
  int expected;       // worked by hand from the Doppler rules
};

TEST_F(ResliceModes, DopplerSlabsCompareVelocitiesNotBytes) {
  // Slices at -0.04, 0 and +0.04 cm around frame 1 meet frames 0, 1 and 2.
  stack_.load({0.0, 0.04, 0.08});
  resource_table->RES_BUF_DOPPLER->write(true);
  base_res_t::make_pending_writes_happen();
  const doppler_case cases[] = {
      // Max: 200 is velocity 8 of one direction, below 150's 22 of the other.
      {0, {100, 150, 200}, 150},
      // Min: 150 and 140 (22 and 12) do not undercut 200 (8).
      {1, {200, 150, 140}, 200},
      // Ave: the first slice passes 100 through; grey counts as no velocity:
      // (0 - 23) / 2 = -11.5 gives 138.5, then (2 * -11.5 + 8) / 3 = -5 gives 132.
      {2, {100, 150, 200}, 132},
  };
  for (const doppler_case& c : cases) {
    for (int k = 0; k < 3; ++k)
      std::fill_n(frame_store->images[k]->display, stack_.w * stack_.h, c.values[k]);
    delete private_;
    reslice_internals& b =
        private_builder({0, 0, 1}, frame_centre(stack_.z[1]), {0, 1, 0}, stack_.w, stack_.h, false);
    b.plane()->set_compounding(c.compounding);
    b.plane()->set_thickness(0.04);  // one slice each side: 0.04 / 0.05 rounds down to 0, plus 1
    const uint8_t* image = b.get_image();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image[10 * stack_.w + 10], c.expected) << "compounding " << c.compounding;
  }
}

}  // namespace

namespace {

// The run below holds records of frames 0 and 2, moved by kShift[k] pixels
// along x. With pressure, frame 2's rows come from three rows below (row 10
// staying) and frame 0's from where they are; rows that would come from the
// last row or beyond are empty, which a reslice of unmasked data shows as 1.
constexpr int kShift[4] = {10, 0, -5, 0};

int corrected_value(const synthetic_stack& stack, bool pressure, int k, int x, int y) {
  const int fx = x - kShift[k];
  if (fx < 0 || fx >= stack.w) return 0;
  if (pressure && (k == 0 || k == 2)) {
    const int fy = k == 2 && y != 10 ? y + 3 : y;
    return fy > stack.h - 1 ? 1 : stack.value(k, fx, fy);
  }
  return stack.value(k, fx, y);
}

TEST_F(ResliceModes, CorrectionRunPlacesTheFramesItHoldsAndTheStoreTheRest) {
  stack_.load({0, 0.1, 0.2, 0.3});
  resource_table_t& t = *resource_table;
  struct correction_case {
    bool use, pressure;
  };
  for (const correction_case& c : {correction_case{true, false}, correction_case{false, false},
                                   correction_case{true, true}}) {
    auto* run = new image_correlation(false, c.pressure);
    ASSERT_TRUE(run->valid);
    for (int k : {0, 2}) {
      correlation_frame_t r;
      ASSERT_TRUE(run->start_record(k, r));
      r.corrected_position[0] += static_cast<float>(kShift[k] * stack_.s);
      if (c.pressure && k == 2)
        for (int j = 0; j < stack_.h; ++j) r.row_offsets[j] = j == 10 ? 0.0f : 3.0f;
      run->finished.push_back(std::move(r));
    }
    delete t.RES_CORRELATION->read();
    t.RES_CORRELATION->write(run);
    base_res_t::make_pending_writes_happen();

    // Faster mode in the plane of each frame: frames 0.1 cm apart reach
    // 0.05 cm, so each plane shows its own frame alone.
    for (int k = 0; k < 4; ++k) {
      delete private_;
      reslice_internals& b =
          private_builder({0, 0, 1}, frame_centre(stack_.z[k]), {0, 1, 0}, stack_.w, stack_.h, false);
      b.set_use_correction(c.use);
      const uint8_t* image = b.get_image();
      ASSERT_NE(image, nullptr);
      for (int y = 0; y < stack_.h; ++y)
        for (int x = 0; x < stack_.w; ++x) {
          const int want = c.use ? corrected_value(stack_, c.pressure, k, x, y) : stack_.value(k, x, y);
          ASSERT_EQ(image[y * stack_.w + x], want)
              << "use " << c.use << " pressure " << c.pressure << " frame " << k << " pixel " << x << "," << y;
        }
    }
  }
  // The frame lines follow the corrected positions too, on a plane across
  // the frames (normal along y, rows along z).
  delete private_;
  reslice_internals& across =
      private_builder({0, 1, 0}, {stack_.w * stack_.s / 2, stack_.h * stack_.s / 2, 0.15}, {0, 0, 1}, 96, 48, false);
  across.set_use_correction(true);
  vec2_t a, b;
  ASSERT_TRUE(across.frame_line(0, a, b));
  // u = up x normal = (0, 0, 1) x (0, 1, 0) = (-1, 0, 0): image x runs
  // against world x, from the centre at x = 48 pixels.
  EXPECT_NEAR(std::max(a.x, b.x), 48 + 24 - 10, 1e-6);
  EXPECT_NEAR(std::min(a.x, b.x), 48 - 24 - 10, 1e-6);
  ASSERT_TRUE(across.frame_line(1, a, b));
  EXPECT_NEAR(std::max(a.x, b.x), 48 + 24, 1e-6);

  delete t.RES_CORRELATION->read();
  t.RES_CORRELATION->write(nullptr);
  base_res_t::make_pending_writes_happen();
}

}  // namespace

namespace {

class cancel_at_once : public reslice_progress {
 public:
  void open(const wxString&, const wxString&, int) override {}
  bool update(int, const wxString&) override { return false; }
  void close() override {}
};

TEST_F(ResliceModes, CancelledSharedBuildIsShownLikeACompleteOne) {
  stack_.load({0, 0.1, 0.2, 0.3});
  resource_table_t& t = *resource_table;
  auto* b = new reslice_internals(0, 0, 0);  // the table deletes it
  cancel_at_once progress;
  b->set_progress(&progress);
  long now = 0;
  b->set_clock([&now] { return now += 300; });
  const int32_t before = t.RES_REDISPLAY_RESLICE0->read();
  b->plane()->set_thickness(0.2);
  EXPECT_TRUE(b->last_build_cancelled());
  EXPECT_EQ(t.RES_REDISPLAY_RESLICE0->read(), before + 1);
  ASSERT_NE(b->get_image(), nullptr);  // the slices so far (none here) make the image
  b->set_progress(nullptr);
}

}  // namespace
