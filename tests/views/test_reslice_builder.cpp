// The reslice builder against images computed independently from a
// synthetic stack: nearest and trilinear sampling, thick slabs, the gap
// rule, coarse steps, cancel, frame lines and saving.
#include <gtest/gtest.h>
#include <unistd.h>
#include <wx/image.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "common/log_capture.h"
#include "reslice_test_support.h"
#include "views/reslice_internals.h"

namespace {

class ResliceBuilder : public ::testing::Test {
 protected:
  void SetUp() override { session_ = std::make_unique<headless_session>(); }
  void TearDown() override {
    delete builder_;
    session_.reset();
  }

  // A private builder over a plane placed as given, the image of the given
  // size; private builders build only when asked, and raise nothing.
  reslice_internals& make_builder(const vec3_t& normal, const vec3_t& centre, const vec3_t& up, int32_t width,
                                  int32_t height, bool accurate) {
    builder_ = new reslice_internals(-1, width, height);
    reslice_info& p = *builder_->plane();
    p.set_plane(normal, centre, up, false);
    p.set_width(width);
    p.set_height(height);
    p.set_accurate(accurate);
    return *builder_;
  }

  std::unique_ptr<headless_session> session_;
  synthetic_stack stack_;
  reslice_internals* builder_ = nullptr;
};

// Ten frames 1 mm apart; a plane across them, perpendicular to the frames.
// Image x runs along world y, image y along world z. Offsets keep every
// sample clear of the half-way points between frames.
const vec3_t kAcrossNormal{1, 0, 0}, kAcrossUp{0, 0, 1};
const vec3_t kAcrossCentre{1.0123, 1.2, 0.4623};
constexpr int32_t kAcrossWidth = 48, kAcrossHeight = 24;

TEST_F(ResliceBuilder, PlaneAcrossTheFramesSamplesNearestInFasterMode) {
  stack_.load({0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9});
  reslice_internals& b =
      make_builder(kAcrossNormal, kAcrossCentre, kAcrossUp, kAcrossWidth, kAcrossHeight, false);
  const uint8_t* image = b.get_image();
  ASSERT_NE(image, nullptr);
  int with_data = 0;
  for (int j = 0; j < kAcrossHeight; ++j)
    for (int i = 0; i < kAcrossWidth; ++i) {
      const vec3_t p = image_to_world(kAcrossNormal, kAcrossCentre, kAcrossUp, kAcrossWidth, kAcrossHeight,
                                      stack_.s, i + 0.5, j + 0.5, 0.0);
      const int want = stored_byte(stack_.nearest(p, 0.05 + 1e-5));
      with_data += want > 0;
      ASSERT_EQ(image[j * kAcrossWidth + i], want) << "pixel " << i << "," << j;
    }
  EXPECT_GT(with_data, kAcrossWidth * 15);  // the stack spans about 20 rows
  EXPECT_LT(with_data, kAcrossWidth * kAcrossHeight);
}

TEST_F(ResliceBuilder, PlaneAcrossTheFramesInterpolatesInAccurateMode) {
  stack_.load({0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9});
  reslice_internals& b =
      make_builder(kAcrossNormal, kAcrossCentre, kAcrossUp, kAcrossWidth, kAcrossHeight, true);
  const uint8_t* image = b.get_image();
  ASSERT_NE(image, nullptr);
  int with_data = 0;
  for (int j = 0; j < kAcrossHeight; ++j)
    for (int i = 0; i < kAcrossWidth; ++i) {
      const vec3_t p = image_to_world(kAcrossNormal, kAcrossCentre, kAcrossUp, kAcrossWidth, kAcrossHeight,
                                      stack_.s, i + 0.5, j + 0.5, 0.0);
      const int want = stored_byte(stack_.trilinear(p));
      with_data += want > 0;
      if (want == 0)
        EXPECT_EQ(image[j * kAcrossWidth + i], 0) << "pixel " << i << "," << j;
      else
        EXPECT_NEAR(image[j * kAcrossWidth + i], want, 1) << "pixel " << i << "," << j;
    }
  EXPECT_GT(with_data, kAcrossWidth * 15);
}

TEST_F(ResliceBuilder, PlaneInAFrameShowsThatFrame) {
  stack_.load({0, 0.1, 0.2, 0.3, 0.4});
  for (bool accurate : {false, true}) {
    for (int k : {1, 3}) {
      // Accurate mode needs a frame on the positive side: frame k - 1.
      delete builder_;
      builder_ = nullptr;
      const vec3_t centre{stack_.w * stack_.s / 2, stack_.h * stack_.s / 2, stack_.z[k]};
      reslice_internals& b = make_builder({0, 0, 1}, centre, {0, 1, 0}, stack_.w, stack_.h, accurate);
      const uint8_t* image = b.get_image();
      ASSERT_NE(image, nullptr);
      for (int y = 0; y < stack_.h; ++y)
        for (int x = 0; x < stack_.w; ++x)
          ASSERT_EQ(image[y * stack_.w + x], stack_.value(k, x, y))
              << "frame " << k << " accurate " << accurate << " pixel " << x << "," << y;
    }
  }
}

TEST_F(ResliceBuilder, AccurateModeShowsNothingBeyondTheLastFrame) {
  stack_.load({0, 0.1, 0.2});
  const vec3_t centre{stack_.w * stack_.s / 2, stack_.h * stack_.s / 2, 0.0};
  // In the plane of frame 0, with every other frame on its negative side.
  reslice_internals& b = make_builder({0, 0, -1}, centre, {0, 1, 0}, stack_.w, stack_.h, true);
  const uint8_t* image = b.get_image();
  ASSERT_NE(image, nullptr);
  EXPECT_TRUE(std::all_of(image, image + stack_.w * stack_.h, [](uint8_t v) { return v == 0; }));
}

TEST_F(ResliceBuilder, CoarseStepSamplesEveryThirdPixelAndFillsBetween) {
  stack_.load({0, 0.1, 0.2});
  const vec3_t centre{stack_.w * stack_.s / 2, stack_.h * stack_.s / 2, stack_.z[1]};
  reslice_internals& b = make_builder({0, 0, 1}, centre, {0, 1, 0}, stack_.w, stack_.h, false);
  b.set_pixel_step(3);
  const uint8_t* image = b.get_image();
  ASSERT_NE(image, nullptr);
  // Sample (i, j) is taken at image point (0.5 + 3i, 0.5 + 3j), which is frame
  // pixel (3i, 3j); pixels between take the nearer sample, the following one
  // only beyond one pixel (3 / 2), the last sample past the end.
  auto source = [](int x, int limit) {
    const int before = x - x % 3, after = before + 3;
    return (after < limit && x - before > 1) ? after : before;
  };
  for (int y = 0; y < stack_.h; ++y)
    for (int x = 0; x < stack_.w; ++x)
      ASSERT_EQ(image[y * stack_.w + x], stack_.value(1, source(x, stack_.w), source(y, stack_.h)))
          << "pixel " << x << "," << y;
}

struct slab_case {
  int32_t compounding;
  const char* name;
};

// The slab lies along image x's normal (world x); the second centre puts 3 of
// its 11 slices beyond the frames' 2.4 cm, where the average must count only
// the slices that reached the pixel.
TEST_F(ResliceBuilder, ThickSlabCompoundsMaximumMinimumAndTrueAverage) {
  stack_.load({0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9});
  const double half = 0.2;
  const int K = static_cast<int>(std::floor(half / stack_.s)) + 1;  // slices at o * half / K
  for (const vec3_t& centre : {kAcrossCentre, vec3_t{2.3123, 1.2, 0.4623}}) {
    for (const slab_case& c : {slab_case{0, "Max"}, slab_case{1, "Min"}, slab_case{2, "Ave"}}) {
      delete builder_;
      builder_ = nullptr;
      reslice_internals& b = make_builder(kAcrossNormal, centre, kAcrossUp, kAcrossWidth, kAcrossHeight, false);
      b.plane()->set_compounding(c.compounding);
      b.plane()->set_thickness(half);
      const uint8_t* image = b.get_image();
      ASSERT_NE(image, nullptr);
      int checked = 0, partial = 0;
      for (int j = 0; j < kAcrossHeight; ++j)
        for (int i = 0; i < kAcrossWidth; ++i) {
          double lo = 1e9, hi = -1e9, sum = 0.0;
          int n = 0;
          for (int o = -K; o <= K; ++o) {
            const vec3_t p = image_to_world(kAcrossNormal, centre, kAcrossUp, kAcrossWidth, kAcrossHeight,
                                            stack_.s, i + 0.5, j + 0.5, o * half / K);
            const double v = stack_.nearest(p, 0.05 + 1e-5);
            if (v <= 0) continue;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
            sum += v;
            ++n;
          }
          const int got = image[j * kAcrossWidth + i];
          if (n == 0) {
            EXPECT_EQ(got, 0) << c.name;
            continue;
          }
          ++checked;
          partial += n < 2 * K + 1;
          const int want = stored_byte(c.compounding == 0 ? hi : c.compounding == 1 ? lo : sum / n);
          ASSERT_EQ(got, want) << c.name << " " << i << "," << j << " centre x " << centre.x;
        }
      EXPECT_GT(checked, kAcrossWidth * 15) << c.name;
      if (centre.x > 2) {
        EXPECT_EQ(partial, checked) << c.name;
      }
    }
  }
}

TEST_F(ResliceBuilder, GapWiderThanAnEighthOfTheFrameIsLeftEmpty) {
  // An eighth of the 2.4 cm frame is 0.3 cm; the recording jumps by 1 cm.
  stack_.load({0, 0.1, 0.2, 0.3, 1.3, 1.4, 1.5, 1.6});
  const vec3_t centre{1.0123, 1.2, 0.8123};
  const int32_t height = 40;
  for (bool accurate : {false, true}) {
    delete builder_;
    builder_ = nullptr;
    reslice_internals& b = make_builder(kAcrossNormal, centre, kAcrossUp, kAcrossWidth, height, accurate);
    const uint8_t* image = b.get_image();
    ASSERT_NE(image, nullptr);
    int in_gap = 0, in_stack = 0;
    for (int j = 0; j < height; ++j) {
      const vec3_t p = image_to_world(kAcrossNormal, centre, kAcrossUp, kAcrossWidth, height, stack_.s, 10.5,
                                      j + 0.5, 0.0);
      const uint8_t* row = image + j * kAcrossWidth;
      if (p.z > 0.3 + 0.05 + 1e-3 && p.z < 1.3 - 0.05 - 1e-3) {
        ++in_gap;
        EXPECT_TRUE(std::all_of(row, row + kAcrossWidth, [](uint8_t v) { return v == 0; }))
            << "row " << j << " at z " << p.z << " accurate " << accurate;
      } else if ((p.z > 0.01 && p.z < 0.29) || (p.z > 1.31 && p.z < 1.59)) {
        ++in_stack;
        EXPECT_TRUE(std::all_of(row, row + kAcrossWidth, [](uint8_t v) { return v > 0; })) << "row " << j;
      }
    }
    EXPECT_GT(in_gap, 10);
    EXPECT_GT(in_stack, 8);
  }
}

// Progress whose user presses Cancel once the display reaches a slice.
class cancelling_progress : public reslice_progress {
 public:
  explicit cancelling_progress(int cancel_at) : cancel_at_(cancel_at) {}
  void open(const wxString& caption, const wxString&, int maximum) override {
    caption_ = caption.ToStdString();
    maximum_ = maximum;
  }
  bool update(int value, const wxString&) override {
    last_value_ = value;
    return value < cancel_at_;
  }
  void close() override { closed_ = true; }

  int cancel_at_;
  int last_value_ = -1;
  int maximum_ = 0;
  bool closed_ = false;
  std::string caption_;
};

TEST_F(ResliceBuilder, CancelledThickBuildKeepsTheSlicesCompoundedSoFar) {
  stack_.load({0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9});
  reslice_internals& b =
      make_builder(kAcrossNormal, kAcrossCentre, kAcrossUp, kAcrossWidth, kAcrossHeight, false);
  const double half = 0.2;
  const int K = static_cast<int>(std::floor(half / stack_.s)) + 1;
  b.plane()->set_thickness(half);  // Max
  cancelling_progress progress(3);
  b.set_progress(&progress);
  long now = 0;
  b.set_clock([&now] { return now += 300; });  // every look at the clock finds 300 ms gone
  log_capture log;
  const uint8_t* image = b.get_image();
  ASSERT_NE(image, nullptr);
  EXPECT_TRUE(b.last_build_cancelled());
  EXPECT_TRUE(log.has_text("cancelled"));
  EXPECT_EQ(progress.caption_, "Calculating thick reslice");
  EXPECT_EQ(progress.maximum_, 2 * K + 1);
  EXPECT_TRUE(progress.closed_);
  ASSERT_EQ(progress.last_value_, 3);  // the update for slice o = 3 - K asked to stop

  // The image is the maximum over the slices before the cancelled one.
  const int last_done = progress.last_value_ - K - 1;
  int differs_from_full = 0;
  for (int j = 0; j < kAcrossHeight; ++j)
    for (int i = 0; i < kAcrossWidth; ++i) {
      double partial = 0.0, full = 0.0;
      for (int o = -K; o <= K; ++o) {
        const vec3_t p = image_to_world(kAcrossNormal, kAcrossCentre, kAcrossUp, kAcrossWidth, kAcrossHeight,
                                        stack_.s, i + 0.5, j + 0.5, o * half / K);
        const double v = stack_.nearest(p, 0.05 + 1e-5);
        full = std::max(full, v);
        if (o <= last_done) partial = std::max(partial, v);
      }
      ASSERT_EQ(image[j * kAcrossWidth + i], stored_byte(partial)) << i << "," << j;
      differs_from_full += stored_byte(partial) != stored_byte(full);
    }
  EXPECT_GT(differs_from_full, 0);
}

// Progress that asks the builder for its image while it builds, as a view
// repainting behind the dialog would.
class reentrant_progress : public reslice_progress {
 public:
  explicit reentrant_progress(reslice_internals& b) : builder_(b) {}
  void open(const wxString&, const wxString&, int) override {}
  bool update(int, const wxString&) override {
    ++updates_;
    nested_images_ += builder_.get_image() != nullptr;
    builder_.build_reslice();
    return true;
  }
  void close() override {}
  reslice_internals& builder_;
  int updates_ = 0;
  int nested_images_ = 0;
};

TEST_F(ResliceBuilder, BuildAskedForDuringABuildDoesNothing) {
  stack_.load({0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9});
  reslice_internals& b =
      make_builder(kAcrossNormal, kAcrossCentre, kAcrossUp, kAcrossWidth, kAcrossHeight, false);
  const double half = 0.2;
  const int K = static_cast<int>(std::floor(half / stack_.s)) + 1;
  b.plane()->set_thickness(half);
  reentrant_progress progress(b);
  b.set_progress(&progress);
  long now = 0;
  b.set_clock([&now] { return now += 300; });
  const uint8_t* image = b.get_image();
  ASSERT_NE(image, nullptr);
  EXPECT_GT(progress.updates_, 1);
  EXPECT_EQ(progress.nested_images_, 0);  // no image while one is being built
  EXPECT_FALSE(b.last_build_cancelled());
  for (int j = 0; j < kAcrossHeight; ++j)
    for (int i = 0; i < kAcrossWidth; ++i) {
      double hi = 0.0;
      for (int o = -K; o <= K; ++o) {
        const vec3_t p = image_to_world(kAcrossNormal, kAcrossCentre, kAcrossUp, kAcrossWidth, kAcrossHeight,
                                        stack_.s, i + 0.5, j + 0.5, o * half / K);
        hi = std::max(hi, stack_.nearest(p, 0.05 + 1e-5));
      }
      ASSERT_EQ(image[j * kAcrossWidth + i], stored_byte(hi)) << i << "," << j;
    }
}

TEST_F(ResliceBuilder, FrameLinesAreWhereFramesCrossThePlane) {
  stack_.load({0, 0.1, 0.2, 0.3});
  reslice_internals& b =
      make_builder(kAcrossNormal, kAcrossCentre, kAcrossUp, kAcrossWidth, kAcrossHeight, false);
  // Frame k lies in the world plane z = z_k; on this plane that is the image
  // row y where centre.z + s (y - height / 2) = z_k, across the frame's width
  // in world y: x from 0 to 48 (the image spans world y 0 .. 2.4).
  for (int k = 0; k < 4; ++k) {
    vec2_t a, c;
    ASSERT_TRUE(b.frame_line(k, a, c)) << k;
    const double row = (stack_.z[k] - kAcrossCentre.z) / stack_.s + kAcrossHeight / 2.0;
    EXPECT_NEAR(a.y, row, 1e-6);
    EXPECT_NEAR(c.y, row, 1e-6);
    EXPECT_NEAR(std::min(a.x, c.x), 0.0, 1e-6);
    EXPECT_NEAR(std::max(a.x, c.x), 48.0, 1e-6);
  }
  vec2_t none_a, none_c;
  EXPECT_FALSE(b.frame_line(7, none_a, none_c));

  // The point (20, 13.0) lies nearest to frame 2's line (row 12.046 + 2 * 2).
  const double row2 = (stack_.z[2] - kAcrossCentre.z) / stack_.s + kAcrossHeight / 2.0;
  vec2_t point{20.0, row2 + 0.4};
  EXPECT_EQ(b.nearest_frame_line(point), 2);
  EXPECT_NEAR(point.x, 20.0, 1e-6);
  EXPECT_NEAR(point.y, row2, 1e-6);
}

TEST_F(ResliceBuilder, SavingWritesTheImageAndRefusesAnImageNotReady) {
  stack_.load({0, 0.1, 0.2});
  const std::string folder =
      (std::filesystem::temp_directory_path() / ("nv-reslice-save-" + std::to_string(::getpid()))).string();
  std::filesystem::create_directories(folder);
  const vec3_t centre{stack_.w * stack_.s / 2, stack_.h * stack_.s / 2, stack_.z[1]};
  reslice_internals& b = make_builder({0, 0, 1}, centre, {0, 1, 0}, stack_.w, stack_.h, false);

  const wxString png = folder + "/slice.png";
  ASSERT_TRUE(b.reslice_file_name_chosen(png, 15));
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  wxImage read;
  ASSERT_TRUE(read.LoadFile(png, wxBITMAP_TYPE_PNG));
  ASSERT_EQ(read.GetWidth(), stack_.w);
  ASSERT_EQ(read.GetHeight(), stack_.h);
  for (int y = 0; y < stack_.h; ++y)
    for (int x = 0; x < stack_.w; ++x) {
      ASSERT_EQ(read.GetRed(x, y), stack_.value(1, x, y));
      ASSERT_EQ(read.GetBlue(x, y), stack_.value(1, x, y));
    }
  // Other image types still load afterwards: the save left the toolkit's
  // handlers in place.
  EXPECT_NE(wxImage::FindHandler(wxBITMAP_TYPE_PNG), nullptr);

  // A plane never placed has no image; nothing is written and the user is told.
  delete builder_;
  builder_ = new reslice_internals(-1, 64, 64);
  builder_->plane()->defined = false;
  log_capture log;
  const wxString refused = folder + "/refused.png";
  EXPECT_FALSE(builder_->reslice_file_name_chosen(refused, 15));
  EXPECT_FALSE(wxFileExists(refused));
  EXPECT_TRUE(log.has(wxLOG_Error, "not ready"));
  std::filesystem::remove_all(folder);
}

}  // namespace
