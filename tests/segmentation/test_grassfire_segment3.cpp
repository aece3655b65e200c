// The segmentation through the frame stack: stack geometry and object count,
// 3D growth against scipy's connected pieces, contours of a sphere per frame,
// compaction of split objects and cancelling at every pulse.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "common/log_capture.h"
#include "data/curves.h"
#include "data/dynabuf.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "medical/dicom_utility.h"
#include "registry/hm_resource.h"
#include "registry/resource_table.h"
#include "segmentation/grassfire_volume.h"
#include "tools/headless_session.h"
#include "volume_test_support.h"

namespace {

TEST(Segment3Geometry, SlicesAndObjectCount) {
  struct stack_case {
    int32_t clicked, step, frames;
    bool ok;
    int32_t first, depth, slice;
  };
  const stack_case cases[] = {
      {5, 2, 10, true, 1, 5, 2},  // frames 1, 3, 5, 7, 9
      {4, 2, 10, true, 0, 5, 2},  // frames 0 .. 8
      {0, 1, 1, true, 0, 1, 0},
      {9, 4, 10, true, 1, 3, 2},  // frames 1, 5, 9
      {3, 0, 10, false, 0, 0, 0},
      {10, 1, 10, false, 0, 0, 0},
  };
  for (const stack_case& c : cases) {
    grassfire::frame_stack s;
    ASSERT_EQ(grassfire::stack_of_frames(c.clicked, c.step, c.frames, s), c.ok) << c.clicked;
    if (!c.ok) continue;
    EXPECT_EQ(s.first, c.first) << c.clicked << "/" << c.step;
    EXPECT_EQ(s.depth, c.depth) << c.clicked << "/" << c.step;
    EXPECT_EQ(s.clicked, c.slice) << c.clicked << "/" << c.step;
  }
  EXPECT_EQ(grassfire::clamp_object_count(3, 199, 200), 1);
  EXPECT_EQ(grassfire::clamp_object_count(3, 4, 5), 1) << "no row beyond the objects in use";
  EXPECT_EQ(grassfire::clamp_object_count(3, 0, 5), 3);
  EXPECT_EQ(grassfire::clamp_object_count(0, 0, 5), 1);
  EXPECT_EQ(grassfire::clamp_object_count(400, 0, 200), 200);
}

TEST(Segment3Growth, GrownVoxelsAreTheSeedsPieceOfScipy) {
  seg_scratch dir;
  volume_phantom p(23, 19, 7);
  std::mt19937 rng(47);
  for (uint8_t& g : p.grey) g = static_cast<uint8_t>(rng() % 256);
  const grey_band band(110, 255);
  for (size_t i = 0; i < p.grey.size(); ++i) p.state[i] = band.in_band(p.grey[i]) ? 1 : 0;
  std::vector<volume_case> cases = {{"faces", "faces", &p, {}}, {"planar", "planar", &p, {}}};
  ASSERT_TRUE(run_volume_oracle(dir, cases));
  const std::vector<const uint8_t*> frames = p.frames();
  // Seeds: a passing voxel in the middle of the volume and one on its border.
  std::vector<size_t> seeds;
  for (size_t i = p.size.index(11, 9, 3); seeds.empty(); ++i)
    if (p.state[i]) seeds.push_back(i);
  for (size_t i = 0; seeds.size() < 2; ++i)
    if (p.state[i]) seeds.push_back(i);
  for (const bool diagonal : {false, true}) {
    const std::vector<int32_t> labels =
        read_raw<int32_t>(dir.path(diagonal ? "planar.out.raw" : "faces.out.raw"), p.size.voxels());
    ASSERT_EQ(labels.size(), p.size.voxels());
    for (const size_t seed : seeds) {
      grassfire::segment_settings s;
      s.ridges = diagonal;
      s.valleys = false;
      std::vector<uint8_t> state(p.size.voxels(), 9);
      const int16_t x = static_cast<int16_t>(seed % p.size.width);
      const int16_t y = static_cast<int16_t>((seed / p.size.width) % p.size.height);
      const int16_t z = static_cast<int16_t>(seed / (p.size.width * p.size.height));
      grassfire::null_volume_progress progress;
      ASSERT_TRUE(grassfire::grow_volume(state.data(), frames.data(), p.size, x, y, z, 0, band, s,
                                         {}, progress));
      size_t mismatches = 0, grown = 0;
      for (size_t i = 0; i < state.size(); ++i) {
        const bool in_piece = labels[i] == labels[seed];
        grown += state[i] == 2;
        mismatches += (state[i] == 2) != in_piece;
        EXPECT_TRUE(state[i] == 0 || state[i] == 2) << i;
      }
      EXPECT_GT(grown, 1u);
      EXPECT_EQ(mismatches, 0u) << (diagonal ? "planar" : "faces") << " seed " << seed;
    }
  }
}

// A sphere phantom in the frame store of a headless session.
class Segment3Stack : public ::testing::Test {
 protected:
  static constexpr int32_t W = 40, H = 36, D = 13;
  static constexpr double CX = 19.3, CY = 17.6, CZ = 6.2, R = 5.4;
  static constexpr uint8_t kIn = 200, kOut = 40;

  void SetUp() override {
    session_ = std::make_unique<headless_session>();
    saved_8bit_ = dicom_utility::data_8bit;
    for (int32_t z = 0; z < D; ++z) {
      auto* px = new uint8_t[W * H];
      for (int32_t y = 0; y < H; ++y)
        for (int32_t x = 0; x < W; ++x) px[y * W + x] = inside(x, y, z) ? kIn : kOut;
      frame_store->add_image(frame_image_t::create(px, W * H));
    }
    resource_table_t& t = *resource_table;
    t.RES_BUF_WIDTH->write(W);
    t.RES_BUF_HEIGHT->write(H);
    t.RES_BUF_FRAMES->write(D);
    t.RES_BUF_DICOM->write(false);
    t.RES_SIMPLIFY_THRESH->write(0);
    t.RES_SEGMENT_FRAME->write(1);
    t.RES_SEGMENT_OBJECTS->write(1);
    t.RES_SEGMENT_CONNECTED->write(true);
    t.RES_SEGMENT_RIDGES->write(false);
    t.RES_SEGMENT_VALLEYS->write(false);
    t.RES_SEGMENT_RANGE->write(0);
    t.RES_SEGMENT_TYPE->write(2);
    t.CURRENT_OBJECT->write(2);
    t.CURRENT_MAX_OBJECTS->write(6);
    base_res_t::make_pending_writes_happen();
  }
  void TearDown() override {
    dicom_utility::data_8bit = saved_8bit_;
    session_.reset();
  }
  virtual bool inside(int32_t x, int32_t y, int32_t z) const { return in_sphere(x, y, z); }
  static bool in_sphere(int32_t x, int32_t y, int32_t z) {
    return (x - CX) * (x - CX) + (y - CY) * (y - CY) + (z - CZ) * (z - CZ) <= R * R;
  }
  static int32_t section_pixels(int32_t z) {
    int32_t n = 0;
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x) n += in_sphere(x, y, z);
    return n;
  }
  contour_object& object(int k) { return resource_table->RES_OBJECT->read()[k]; }
  // Area of every frame's contours of object k.
  std::map<int32_t, double> areas(int k) {
    std::map<int32_t, double> a;
    for (const frame_contours_t& f : object(k).frames)
      for (const contour_t& c : f.contours) a[f.frame] += std::fabs(shoelace(c));
    return a;
  }

  const grey_band band_{128, 255};
  std::unique_ptr<headless_session> session_;
  bool saved_8bit_ = false;
};

TEST_F(Segment3Stack, SphereGivesASectionOnEveryFrameThatCutsIt) {
  for (const int32_t step : {1, 2}) {
    object(2).reset();
    resource_table->RES_SEGMENT_FRAME->write(step);
    base_res_t::make_pending_writes_happen();
    grassfire::null_volume_progress progress;
    // The click: the sphere's centre on frame 7 (with step 2, frames 1, 3, ..).
    grassfire::segment3(7, 19, 17, 0, 0.0, band_, progress);
    const std::map<int32_t, double> got = areas(2);
    for (int32_t z = 0; z < D; ++z) {
      const int32_t pixels = section_pixels(z);
      const bool used = z % step == 7 % step;
      if (!used || pixels == 0) {
        EXPECT_EQ(got.count(z), 0u) << "frame " << z << " step " << step;
        continue;
      }
      ASSERT_EQ(got.count(z), 1u) << "frame " << z << " step " << step;
      // Vertices sit half way between the inside and outside pixels' centres
      // (the band's threshold lies midway), so the area lies within half a
      // pixel per boundary pixel of the pixel count.
      const double tolerance = 0.5 * 4.0 * std::sqrt(pixels) + 1.0;
      EXPECT_NEAR(got.at(z), pixels, tolerance) << "frame " << z << " step " << step;
    }
    EXPECT_TRUE(object(1).empty());
    EXPECT_TRUE(object(3).empty());
  }
}

TEST_F(Segment3Stack, SeedOffTheBandAddsNothing) {
  grassfire::null_volume_progress progress;
  grassfire::segment3(6, 1, 1, 0, 0.0, band_, progress);
  grassfire::segment3(6, -3, 500, 0, 0.0, band_, progress);
  grassfire::segment3(D, 19, 17, 0, 0.0, band_, progress);
  EXPECT_TRUE(object(2).empty());
}

TEST_F(Segment3Stack, CancelAtEveryPulseAddsOnlyWholeFrames) {
  scripted_volume_progress full;
  grassfire::segment3(6, 19, 17, 0, 0.0, band_, full);
  const std::map<int32_t, double> whole = areas(2);
  ASSERT_FALSE(whole.empty());
  const size_t pulses = full.messages.size();
  size_t first_contour_pulse = 0;
  for (size_t k = 0; k < pulses; ++k)
    if (full.messages[k].rfind("Extracting contours", 0) == 0 && !first_contour_pulse)
      first_contour_pulse = k + 1;
  ASSERT_GT(first_contour_pulse, 0u);
  for (size_t cancel = 1; cancel <= pulses; ++cancel) {
    object(2).reset();
    scripted_volume_progress p;
    p.cancel_at = cancel;
    grassfire::segment3(6, 19, 17, 0, 0.0, band_, p);
    const std::map<int32_t, double> got = areas(2);
    if (cancel <= first_contour_pulse) {
      EXPECT_TRUE(got.empty()) << "cancel at pulse " << cancel << " " << full.messages[cancel - 1];
      continue;
    }
    for (const auto& [frame, area] : got) {
      ASSERT_EQ(whole.count(frame), 1u) << frame;
      EXPECT_DOUBLE_EQ(area, whole.at(frame)) << "cancel at " << cancel << " frame " << frame;
    }
  }
}

TEST_F(Segment3Stack, NoMemoryForTheVolumeSegmentsFrameByFrame) {
  struct restore_check {
    ~restore_check() { grassfire::set_volume_memory_check(nullptr); }
  } restore;
  grassfire::set_volume_memory_check([](size_t) { return false; });
  log_capture log;
  scripted_volume_progress progress;
  grassfire::segment3(6, 19, 17, 0, 0.0, band_, progress);
  EXPECT_TRUE(log.has(wxLOG_Warning, "Unable to allocate enough memory for 3D segmentation.\n"
                                     " - switching to 2D segmentation instead."));
  bool frame_by_frame = false;
  for (const std::string& m : progress.messages)
    frame_by_frame |= m.rfind("2D segmentation: frame", 0) == 0;
  EXPECT_TRUE(frame_by_frame);
  const std::map<int32_t, double> got = areas(2);
  for (int32_t z = 0; z < D; ++z) {
    const int32_t pixels = section_pixels(z);
    ASSERT_EQ(got.count(z), pixels > 0 ? 1u : 0u) << "frame " << z;
    if (pixels > 0) { EXPECT_NEAR(got.at(z), pixels, 0.5 * 4.0 * std::sqrt(pixels) + 1.0) << z; }
  }
}

// A hollow ball: the shell between radii 2.6 and R of the sphere.
class Segment3Shell : public Segment3Stack {
 protected:
  bool inside(int32_t x, int32_t y, int32_t z) const override {
    const double d2 = (x - CX) * (x - CX) + (y - CY) * (y - CY) + (z - CZ) * (z - CZ);
    return in_sphere(x, y, z) && d2 > 2.6 * 2.6;
  }
};

TEST_F(Segment3Shell, BodyContoursCoverTheFilledShell) {
  resource_table->RES_CONCAVITY_STRENGTH->write(0);
  base_res_t::make_pending_writes_happen();
  volume_phantom p(W, H, D);
  for (int32_t z = 0; z < D; ++z)
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x) p.set(x, y, z, inside(x, y, z));
  seg_scratch dir;
  std::vector<volume_case> cases = {{"shell", "body", &p, {}}};
  ASSERT_TRUE(run_volume_oracle(dir, cases));
  const std::vector<uint8_t> filled = read_raw<uint8_t>(dir.path("shell.out.raw"), p.size.voxels());
  ASSERT_EQ(filled.size(), p.size.voxels());
  grassfire::null_volume_progress progress;
  // The click on the shell's wall in the middle frame.
  grassfire::segment3(6, 19 + 4, 17, 0, 0.0, band_, progress);
  const std::map<int32_t, double> got = areas(2);
  size_t cavity = 0;
  for (int32_t z = 0; z < D; ++z) {
    size_t pixels = 0, wall = 0;
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x) {
        pixels += filled[p.size.index(x, y, z)] != 0;
        wall += inside(x, y, z);
      }
    cavity += pixels - wall;
    ASSERT_EQ(got.count(z), pixels ? 1u : 0u) << "frame " << z;
    if (!pixels) continue;
    // One outline, no hole, and half a pixel of each boundary pixel at most.
    const frame_contours_t* f = object(2).find_frame(z);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->contours.size(), 1u) << "frame " << z;
    EXPECT_NEAR(got.at(z), static_cast<double>(pixels), 0.5 * 4.0 * std::sqrt(pixels) + 1.0)
        << "frame " << z;
  }
  EXPECT_GT(cavity, 20u) << "the shell must enclose a cavity";
}

TEST_F(Segment3Stack, CompactionMovesContoursLandmarksAndCurves) {
  resource_table_t& t = *resource_table;
  contour_t c;
  c.closed = true;
  c.vertices = {{1, 1}, {3, 1}, {3, 3}};
  object(2).add_contour(4, c);
  object(4).add_contour(5, c);
  object(4).add_contour(6, c);
  t.RES_LANDMARKS->read()->add_surface_landmark({1, 2, 3}, {0, 0, 1}, 4, "tip");
  curve_t curve;
  curve.object = 4;
  curve.points.resize(2);
  t.RES_CURVE->read()->curves.push_back(curve);
  grassfire::compact_objects(2, 3);
  EXPECT_EQ(object(2).frames.size(), 1u);
  ASSERT_EQ(object(3).frames.size(), 2u);
  EXPECT_EQ(object(3).frames.front().frame, 5);
  EXPECT_TRUE(object(4).empty());
  EXPECT_EQ((*t.RES_LANDMARKS->read())[0].object, 3);
  EXPECT_EQ(t.RES_CURVE->read()->curves.back().object, 3);
}

}  // namespace
