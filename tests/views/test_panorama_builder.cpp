// The panorama builder against ground truth: frames cut from one large known
// image at known offsets and placed at the matching positions must give back
// that image where they cover it. Also the panoramic verdict, the
// alignments, keep-size centring, masked zeros, the change procedure, the
// lifecycle and refusal of absurd positions.
#include <gtest/gtest.h>
#include <unistd.h>
#include <wx/image.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "common/log_capture.h"
#include "data/dynabuf.h"
#include "segmentation/image_correlation.h"
#include "tools/headless_session.h"
#include "views/panorama_internals.h"

namespace {

constexpr int32_t kW = 48, kH = 40;  // frame size; the centre column is 24
constexpr double kS = 0.05;          // cm per pixel

// The large known image: never 0, varying in both directions.
uint8_t ground(int x, int y) { return static_cast<uint8_t>(1 + (x * 7 + y * 13 + (x * y) % 11) % 254); }

std::vector<uint8_t> cut(int offset_x) {
  std::vector<uint8_t> f(static_cast<size_t>(kW) * kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) f[static_cast<size_t>(y) * kW + x] = ground(offset_x + x, y);
  return f;
}

class PanoramaBuilder : public ::testing::Test {
 protected:
  void SetUp() override { session_ = std::make_unique<headless_session>(); }
  void TearDown() override {
    delete builder_;
    builder_ = nullptr;
    session_.reset();
  }

  // Frames with the given pixels; positions for the first positions.size().
  void load(const std::vector<position_t>& positions, const std::vector<std::vector<uint8_t>>& frames) {
    for (const position_t& p : positions) frame_store->positions.push_back(position_holder_t::create(p));
    for (const auto& f : frames) {
      auto* buffer = new uint8_t[f.size()];
      std::copy(f.begin(), f.end(), buffer);
      frame_store->add_image(frame_image_t::create(buffer, static_cast<int32_t>(f.size())));
      frame_store->timestamps.push_back(0);
    }
    resource_table_t& t = *resource_table;
    t.RES_BUF_WIDTH->write(kW);
    t.RES_BUF_HEIGHT->write(kH);
    t.RES_FRAME_SIZE->write(kW * kH);
    t.RES_XSCALE->write(kS);
    t.RES_YSCALE->write(kS);
    t.RES_POS_REC->write(true);
    t.RES_BUF_FRAMES->write(static_cast<int32_t>(frames.size()));
    base_res_t::make_pending_writes_happen();
  }

  // n frames cut every `step` pixels towards dir (+1 or -1) from `start`,
  // each placed at the matching world position along x.
  void load_sweep(int n, int dir, int step, int start) {
    std::vector<position_t> pos;
    std::vector<std::vector<uint8_t>> frames;
    for (int k = 0; k < n; ++k) {
      position_t p;
      p.x = static_cast<float>(dir * step * k * kS);
      pos.push_back(p);
      frames.push_back(cut(start + dir * step * k));
    }
    load(pos, frames);
  }

  panorama_internals& make(bool keep_size) {
    builder_ = new panorama_internals(keep_size);
    return *builder_;
  }

  std::vector<uint8_t> image_of(const panorama_internals& b) {
    int32_t w = 0, h = 0;
    b.get_size(w, h);
    const uint8_t* p = b.get_image();
    return p ? std::vector<uint8_t>(p, p + static_cast<size_t>(w) * h) : std::vector<uint8_t>();
  }

  std::unique_ptr<headless_session> session_;
  panorama_internals* builder_ = nullptr;
};

TEST_F(PanoramaBuilder, SingleFrameFillsItsOwnRectangleWithAZeroBorder) {
  std::vector<uint8_t> frame = cut(3);
  load({position_t{}}, {frame});
  panorama_internals& b = make(false);
  ASSERT_TRUE(b.valid());
  int32_t w = 0, h = 0;
  b.get_size(w, h);
  EXPECT_EQ(w, kW + 1);
  EXPECT_EQ(h, kH + 1);
  EXPECT_FALSE(b.is_panoramic());

  vec3_t c[4];
  ASSERT_TRUE(b.frame_corners(0, c));
  const double expected[4][2] = {{48, 0}, {48, 40}, {0, 40}, {0, 0}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(c[i].x, expected[i][0], 1e-9) << i;
    EXPECT_NEAR(c[i].y, expected[i][1], 1e-9) << i;
  }
  const uint8_t* image = b.get_image();
  for (int row = 0; row < h; ++row)
    for (int col = 0; col < w; ++col) {
      const bool inside = row >= 1 && row < kH && col >= 1 && col < kW;
      const int want = inside ? frame[static_cast<size_t>(row) * kW + col] : 0;
      ASSERT_EQ(image[static_cast<size_t>(row) * w + col], want) << col << "," << row;
    }
}

// A sweep along the image's own x axis in either direction reproduces the
// known image wherever the strips cover it, and is panoramic.
TEST_F(PanoramaBuilder, InPlaneSweepsReproduceTheKnownImage) {
  struct sweep_case {
    int dir;
    int start;  // ground column of frame 0's pixel 0
  };
  for (const sweep_case& sc : {sweep_case{+1, 5}, sweep_case{-1, 120}}) {
    SCOPED_TRACE(sc.dir);
    TearDown();
    SetUp();
    const int n = 6, step = 10;
    load_sweep(n, sc.dir, step, sc.start);
    panorama_internals& b = make(false);
    ASSERT_TRUE(b.valid());
    EXPECT_TRUE(b.is_panoramic());
    int32_t w = 0, h = 0;
    b.get_size(w, h);
    // Strips from frame 0's outer edge to the last frame's: 5 steps of 10
    // plus one frame width.
    ASSERT_EQ(w, step * (n - 1) + kW + 1);
    ASSERT_EQ(h, kH + 1);
    // Panorama column 0 lies at the leftmost frame's pixel 0.
    const int left = sc.dir > 0 ? sc.start : sc.start - step * (n - 1);
    const uint8_t* image = b.get_image();
    for (int row = 0; row < h; ++row)
      for (int col = 0; col < w; ++col) {
        const bool covered = row >= 1 && row < kH && col >= 1 && col < w - 1;
        const int want = covered ? ground(left + col, row) : 0;
        ASSERT_EQ(image[static_cast<size_t>(row) * w + col], want) << col << "," << row;
      }
    // The outer edges close the sweep at frame 0's far side and the last
    // frame's leading side.
    vec3_t first[4], last[4];
    ASSERT_TRUE(b.frame_corners(0, first));
    ASSERT_TRUE(b.frame_corners(n - 1, last));
    const double first_edge = sc.dir > 0 ? 0.0 : w - 1.0, last_edge = sc.dir > 0 ? w - 1.0 : 0.0;
    EXPECT_NEAR(first[0].x, first_edge, 1e-9);
    EXPECT_NEAR(last[2].x, last_edge, 1e-9);
  }
}

TEST_F(PanoramaBuilder, ElevationSweepIsNotPanoramic) {
  std::vector<position_t> pos;
  std::vector<std::vector<uint8_t>> frames;
  for (int k = 0; k < 5; ++k) {
    position_t p;
    p.z = static_cast<float>(10 * k * kS);
    pos.push_back(p);
    frames.push_back(cut(0));
  }
  load(pos, frames);
  panorama_internals& b = make(false);
  EXPECT_TRUE(b.valid());
  EXPECT_FALSE(b.is_panoramic());
}

// Frames turning in the image plane while moving: the three alignments give
// different images, and three toggles bring back the first.
TEST_F(PanoramaBuilder, AlignmentsAndThreeTogglesReturnTheFirstImage) {
  std::vector<position_t> pos;
  std::vector<std::vector<uint8_t>> frames;
  for (int k = 0; k < 5; ++k) {
    position_t p;
    const double a = 6.0 * k;  // azimuth turns about the plane's normal
    p.azimuth = static_cast<float>(a);
    p.x = static_cast<float>(0.5 * k * std::cos(a * M_PI / 180.0));
    p.y = static_cast<float>(0.5 * k * std::sin(a * M_PI / 180.0));
    pos.push_back(p);
    frames.push_back(cut(10 * k));
  }
  load(pos, frames);
  panorama_internals& b = make(false);
  ASSERT_TRUE(b.valid());
  const std::vector<uint8_t> first = image_of(b);
  int32_t w0 = 0, h0 = 0;
  b.get_size(w0, h0);
  const int32_t flags = resource_table->RES_REDISPLAY_PANORAMA->counter();

  b.toggle_alignment();
  EXPECT_EQ(b.alignment(), 1);
  EXPECT_EQ(resource_table->RES_REDISPLAY_PANORAMA->counter(), flags + 1);
  vec3_t c[4];
  ASSERT_TRUE(b.frame_corners(0, c));
  EXPECT_NEAR(c[0].x, c[1].x, 1e-9);  // the first frame upright
  EXPECT_NE(image_of(b), first);

  b.toggle_alignment();
  EXPECT_EQ(b.alignment(), 2);
  ASSERT_TRUE(b.frame_corners(4, c));
  EXPECT_NEAR(c[2].x, c[3].x, 1e-9);  // the last frame upright
  EXPECT_NEAR(std::fabs(c[2].y - c[3].y), kH, 1e-9);

  b.toggle_alignment();
  EXPECT_EQ(b.alignment(), 0);
  int32_t w = 0, h = 0;
  b.get_size(w, h);
  EXPECT_EQ(w, w0);
  EXPECT_EQ(h, h0);
  EXPECT_EQ(image_of(b), first);
}

TEST_F(PanoramaBuilder, ZeroPixelsShowAsOneUnlessDataAreMasked) {
  std::vector<uint8_t> frame = cut(0);
  frame[static_cast<size_t>(5) * kW + 7] = 0;
  load({position_t{}}, {frame});
  panorama_internals& b = make(false);
  int32_t w = 0, h = 0;
  b.get_size(w, h);
  EXPECT_EQ(b.get_image()[static_cast<size_t>(5) * w + 7], 1);
  resource_table->RES_MASKED_DATA->write(1);
  ASSERT_TRUE(b.valid());
  EXPECT_EQ(b.get_image()[static_cast<size_t>(5) * w + 7], 0);
  EXPECT_EQ(b.get_image()[static_cast<size_t>(5) * w + 8], frame[static_cast<size_t>(5) * kW + 8]);
}

// Doubling the pixel size halves the sweep in pixels: the panorama shrinks,
// unless keep size holds the old width and centres the content.
TEST_F(PanoramaBuilder, KeepSizeHoldsTheWidthAndCentresASmallerResult) {
  struct keep_case {
    bool keep;
    int32_t width;
    int shift;  // columns the content moves right
  };
  // Natural widths: 5 x 10 + 49 = 99 before, 5 x 5 + 49 = 74 after; kept,
  // the content moves right by (99 - 74) / 2 = 12.
  for (const keep_case& kc : {keep_case{false, 74, 0}, keep_case{true, 99, 12}}) {
    SCOPED_TRACE(kc.keep);
    TearDown();
    SetUp();
    load_sweep(6, +1, 10, 0);
    panorama_internals& b = make(kc.keep);
    resource_table->RES_XSCALE->write(2 * kS);
    ASSERT_TRUE(b.valid());
    int32_t w = 0, h = 0;
    b.get_size(w, h);
    EXPECT_EQ(w, kc.width);
    EXPECT_EQ(h, kH + 1);
    const uint8_t* row = b.get_image() + static_cast<size_t>(5) * w;
    EXPECT_EQ(row[kc.shift], 0);
    EXPECT_NE(row[kc.shift + 1], 0);
    EXPECT_NE(row[kc.shift + 72], 0);
    EXPECT_EQ(row[kc.shift + 73], 0);
  }
}

// A correction run held in RES_CORRELATION, taken out however the test ends.
struct held_run {
  image_correlation* run;
  explicit held_run(bool pressure) : run(new image_correlation(false, pressure)) {
    resource_table->RES_CORRELATION->write(run);
    base_res_t::make_pending_writes_happen();
  }
  ~held_run() {
    resource_table->RES_CORRELATION->write(nullptr);
    base_res_t::make_pending_writes_happen();
    delete run;
  }
  correlation_frame_t& add(int32_t k) {
    correlation_frame_t r;
    EXPECT_TRUE(run->start_record(k, r));
    run->finished.push_back(std::move(r));
    return run->finished.back();
  }
};

// Frame 2 of a sweep was recorded 5 pixels off; the run puts it back. With
// the correction in use the sweep gives the known image again, the other
// frames keeping their recorded (right) positions.
TEST_F(PanoramaBuilder, CorrectedPositionsReplaceTheRecordedOnesOfTheFramesTheRunHolds) {
  const int n = 6, step = 10, start = 5;
  load_sweep(n, +1, step, start);
  const float right = frame_store->positions[2]->x;
  frame_store->positions[2]->x = right + static_cast<float>(5 * kS);
  held_run held(false);
  ASSERT_TRUE(held.run->valid);
  held.add(2).corrected_position[0] = right;
  held.add(4);  // a record that changes nothing

  panorama_internals& b = make(false);
  auto matches_ground = [&]() {
    int32_t w = 0, h = 0;
    b.get_size(w, h);
    if (w != step * (n - 1) + kW + 1 || h != kH + 1) return false;
    const uint8_t* image = b.get_image();
    for (int row = 0; row < h; ++row)
      for (int col = 0; col < w; ++col) {
        const bool covered = row >= 1 && row < kH && col >= 1 && col < w - 1;
        if (image[static_cast<size_t>(row) * w + col] != (covered ? ground(start + col, row) : 0)) return false;
      }
    return true;
  };
  EXPECT_FALSE(matches_ground());
  b.set_use_correction(true);
  EXPECT_TRUE(matches_ground());
  b.set_use_correction(false);
  EXPECT_FALSE(matches_ground());
}

// A pressure correction supplies the frame's pixels: each row from one row
// lower (row 10 stays), the last two rows empty, which unmasked data show as 1.
TEST_F(PanoramaBuilder, PressureCorrectionSuppliesTheFramePixels) {
  std::vector<uint8_t> frame = cut(3);
  load({position_t{}}, {frame});
  held_run held(true);
  std::vector<float>& offsets = held.add(0).row_offsets;
  ASSERT_EQ(offsets.size(), static_cast<size_t>(kH));
  for (int j = 0; j < kH; ++j) offsets[j] = j == 10 ? 0.0f : 1.0f;

  panorama_internals& b = make(false);
  b.set_use_correction(true);
  int32_t w = 0, h = 0;
  b.get_size(w, h);
  ASSERT_EQ(w, kW + 1);
  ASSERT_EQ(h, kH + 1);
  const uint8_t* image = b.get_image();
  for (int row = 1; row < kH; ++row)
    for (int col = 1; col < kW; ++col) {
      const int source = row == 10 ? 10 : row + 1;
      const int want = source > kH - 1 ? 1 : frame[static_cast<size_t>(source) * kW + col];
      ASSERT_EQ(image[static_cast<size_t>(row) * w + col], want) << col << "," << row;
    }
}

TEST_F(PanoramaBuilder, RebuildsOnlyWhenTheShapingDataChange) {
  load_sweep(3, +1, 10, 0);
  panorama_internals& b = make(false);
  resource_table_t& t = *resource_table;
  const int32_t builds = b.builds(), flags = t.RES_REDISPLAY_PANORAMA->counter();

  t.RES_CMAP_CHANGED->write();
  b.set_use_correction(false);
  EXPECT_EQ(b.builds(), builds);
  EXPECT_EQ(t.RES_REDISPLAY_PANORAMA->counter(), flags);

  t.RES_YTRANS->write(t.RES_YTRANS->read() + 1.0);
  EXPECT_EQ(b.builds(), builds + 1);
  EXPECT_EQ(t.RES_REDISPLAY_PANORAMA->counter(), flags + 1);

  b.set_use_correction(true);  // no correction held: same positions, a rebuild
  EXPECT_EQ(b.builds(), builds + 2);
  EXPECT_TRUE(b.use_correction());
}

TEST_F(PanoramaBuilder, DestructionRemovesItsProceduresAndClearsTheResource) {
  load_sweep(2, +1, 10, 0);
  resource_table_t& t = *resource_table;
  const int32_t before = t.RES_BUF_FRAMES->read_worrylist_length(nullptr);
  const int32_t cmap_before = t.RES_CMAP_CHANGED->read_worrylist_length(nullptr);
  panorama_internals& b = make(false);
  EXPECT_EQ(t.RES_BUF_FRAMES->read_worrylist_length(nullptr), before + 1);
  t.RES_PANORAMA->write(&b);
  delete builder_;
  builder_ = nullptr;
  EXPECT_EQ(t.RES_BUF_FRAMES->read_worrylist_length(nullptr), before);
  EXPECT_EQ(t.RES_CMAP_CHANGED->read_worrylist_length(nullptr), cmap_before);
  EXPECT_EQ(t.RES_PANORAMA->read(), nullptr);
  // Later commits find nothing of the builder (ASan would see a freed one).
  t.RES_BUF_FRAMES->write(5);
  t.RES_XSCALE->write(0.2);
}

TEST_F(PanoramaBuilder, FramesBeyondThePositionsReadAsZeroCorners) {
  load({position_t{}, position_t{}}, {cut(0), cut(0), cut(0)});
  panorama_internals& b = make(false);
  vec3_t c[4];
  ASSERT_TRUE(b.frame_corners(2, c));
  for (const vec3_t& p : c) EXPECT_TRUE(p.x == 0 && p.y == 0 && p.z == 0);
  EXPECT_FALSE(b.frame_corners(3, c));
  EXPECT_FALSE(b.frame_corners(-1, c));
}

// Positions from a damaged file must neither overflow nor allocate an
// absurd image; the user is told and there is no panorama.
TEST_F(PanoramaBuilder, AbsentOrAbsurdPositionsGiveNoPanorama) {
  struct bad_case {
    const char* name;
    float x;
    const char* message;  // empty: no message expected
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  for (const bad_case& bc : {bad_case{"nan", nan, "no finite place"}, bad_case{"inf", inf, "no finite place"},
                             bad_case{"huge", 1e7f, "pixels"}, bad_case{"none", 0.0f, ""}}) {
    SCOPED_TRACE(bc.name);
    TearDown();
    SetUp();
    position_t far;
    far.x = bc.x;
    if (std::string(bc.name) == "none")
      load({}, {cut(0)});
    else
      load({position_t{}, far}, {cut(0), cut(0)});
    log_capture log;
    panorama_internals& b = make(false);
    EXPECT_FALSE(b.valid());
    EXPECT_EQ(b.get_image(), nullptr);
    EXPECT_FALSE(b.is_panoramic());
    int32_t w = -1, h = -1;
    b.get_size(w, h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
    if (*bc.message)
      EXPECT_TRUE(log.has(wxLOG_Warning, bc.message));
    else
      EXPECT_FALSE(log.has(wxLOG_Warning, "panorama"));
  }
}

TEST_F(PanoramaBuilder, SavingWritesTheImageAndRefusesNoPanorama) {
  load_sweep(3, +1, 10, 0);
  panorama_internals& b = make(false);
  const std::string folder =
      (std::filesystem::temp_directory_path() / ("nv-panorama-save-" + std::to_string(::getpid()))).string();
  std::filesystem::create_directories(folder);
  const wxString png = folder + "/pano.png";
  ASSERT_TRUE(b.panorama_file_name_chosen(png, 15));
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  wxImage read;
  ASSERT_TRUE(read.LoadFile(png, wxBITMAP_TYPE_PNG));
  int32_t w = 0, h = 0;
  b.get_size(w, h);
  ASSERT_EQ(read.GetWidth(), w);
  ASSERT_EQ(read.GetHeight(), h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool covered = y >= 1 && y < kH && x >= 1 && x < w - 1;
      ASSERT_EQ(read.GetGreen(x, y), covered ? ground(x, y) : 0) << x << "," << y;
    }

  delete builder_;
  builder_ = nullptr;
  TearDown();
  SetUp();
  panorama_internals& none = make(false);
  log_capture log;
  const wxString refused = folder + "/refused.png";
  EXPECT_FALSE(none.panorama_file_name_chosen(refused, 15));
  EXPECT_FALSE(std::filesystem::exists(refused.ToStdString()));
  EXPECT_TRUE(log.has(wxLOG_Error, "not ready"));
  std::filesystem::remove_all(folder);
}

}  // namespace
