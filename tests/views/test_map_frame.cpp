// The zoomed frame mapping of the 2D views.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>

#include "cmap_test_support.h"

namespace {

struct frame_run {
  std::vector<uint8_t> out;
  int ow, oh;
};

frame_run run(globcmap_t& m, const std::vector<uint8_t>& frame, int w, int h, int ow, int oh,
              float x0, float y0, float zx, float zy, bool masked, double opacity = 1.0) {
  frame_run r{std::vector<uint8_t>(static_cast<size_t>(ow) * oh * 4, 0xEE), ow, oh};
  m.map_frame(frame.data(), w, h, r.out.data(), ow, oh, x0, y0, zx, zy, masked, opacity);
  return r;
}

const uint8_t* pixel(const frame_run& r, int x, int y) { return &r.out[(y * r.ow + x) * 4]; }

TEST_F(cmap_test, MapFrameEqualsTheReference) {
  int compared = 0;
  for (const oracle_case& c : read_oracle("frames.txt")) {
    if (c.kind != "case") continue;
    SCOPED_TRACE(c.name);
    apply_settings(c.settings);
    const std::vector<std::string>& f = c.line("frame");
    const int w = std::stoi(f.at(0)), h = std::stoi(f.at(1));
    const std::vector<uint8_t> frame = from_hex(f.at(2));
    const std::vector<std::string>& p = c.line("params");
    const int ow = std::stoi(p.at(0)), oh = std::stoi(p.at(1));
    const frame_run r =
        run(map(), frame, w, h, ow, oh, std::stof(p.at(2)), std::stof(p.at(3)), std::stof(p.at(4)),
            std::stof(p.at(5)), p.at(6) == "1", std::stod(p.at(7)));
    const std::string& want = c.line("expect").at(0);
    if (want == "none") {
      EXPECT_EQ(r.out, std::vector<uint8_t>(r.out.size(), 0xEE));
      continue;
    }
    const std::vector<uint8_t> expected = from_hex(want);
    ASSERT_EQ(r.out.size(), expected.size());
    int wrong = 0;
    for (size_t i = 0; i < expected.size(); i += 4)
      if (std::memcmp(&r.out[i], &expected[i], 4) != 0 && wrong++ < 3)
        ADD_FAILURE() << "pixel " << (i / 4) % ow << "," << (i / 4) / ow << ": " << int(r.out[i])
                      << " " << int(r.out[i + 1]) << " " << int(r.out[i + 2]) << " "
                      << int(r.out[i + 3]) << " expected " << int(expected[i]) << " "
                      << int(expected[i + 1]) << " " << int(expected[i + 2]) << " "
                      << int(expected[i + 3]);
    EXPECT_EQ(wrong, 0);
    ++compared;
  }
  EXPECT_GT(compared, 30);
}

// Grey values of a grey-mode output, one per pixel, -1 for background.
std::vector<int> greys(const frame_run& r) {
  std::vector<int> g;
  for (int i = 0; i < r.ow * r.oh; ++i) g.push_back(r.out[4 * i + 3] == 0 ? -1 : r.out[4 * i]);
  return g;
}

TEST_F(cmap_test, DisplayPixelsShowWholeBlocks) {
  cmap_settings s;
  s.display_pixels = 1;
  apply_settings(s);
  const std::vector<uint8_t> frame = {10, 200, 30, 40, 50, 250};  // 3 x 2
  for (float zoom : {2.0f, 3.0f, 4.0f}) {
    const int z = static_cast<int>(zoom);
    const frame_run r = run(map(), frame, 3, 2, 3 * z, 2 * z, 0.0f, 0.0f, zoom, zoom, false);
    for (int y = 0; y < 2 * z; ++y)
      for (int x = 0; x < 3 * z; ++x)
        EXPECT_EQ(pixel(r, x, y)[0], frame[(y / z) * 3 + x / z]) << zoom << ": " << x << "," << y;
  }
}

// The masked edge: a pixel of 0 (no data) beside 200 shows background or
// 200-based values, nothing in between.
TEST_F(cmap_test, MaskedEdgesInventNoValues) {
  std::vector<uint8_t> frame(8 * 6, 0);
  for (int y = 0; y < 6; ++y)
    for (int x = 4; x < 8; ++x) frame[y * 8 + x] = 200;
  for (float zoom : {1.0f, 1.5f, 2.0f, 3.0f, 7.3f}) {
    const int ow = static_cast<int>(8 * zoom), oh = static_cast<int>(6 * zoom);
    const frame_run r = run(map(), frame, 8, 6, ow, oh, 0.0f, 0.0f, zoom, -zoom, true);
    std::set<int> seen;
    for (int v : greys(r)) seen.insert(v);
    EXPECT_EQ(seen, (std::set<int>{-1, 200})) << zoom;
    // Left of the edge is background, right of it data.
    EXPECT_EQ(pixel(r, 0, oh / 2)[3], 0);
    EXPECT_EQ(pixel(r, ow - 1, oh / 2)[0], 200);
  }
}

TEST_F(cmap_test, DopplerValuesOfDifferentClassesAreNotMixed) {
  cmap_settings s;
  s.doppler = 1;
  apply_settings(s);
  const std::vector<uint8_t> frame = {100, 150, 100, 150, 150, 100, 150, 100, 100, 150, 100, 150};
  const auto& palette = globcmap_t::doppler_palette();
  for (float zoom : {0.5f, 1.0f, 1.7f, 3.0f}) {
    const frame_run r = run(map(), frame, 4, 3, static_cast<int>(4 * zoom),
                            static_cast<int>(3 * zoom), 0.0f, 0.0f, zoom, zoom, false);
    for (int i = 0; i < r.ow * r.oh; ++i) {
      const uint8_t* p = &r.out[4 * i];
      const bool is100 =
          p[0] == palette[100][0] && p[1] == palette[100][1] && p[2] == palette[100][2];
      const bool is150 =
          p[0] == palette[150][0] && p[1] == palette[150][1] && p[2] == palette[150][2];
      EXPECT_TRUE(is100 || is150) << zoom << " pixel " << i;
    }
  }
}

TEST_F(cmap_test, AreasWithoutDataTakeTheBackground) {
  cmap_settings s;
  s.background = "#102030";
  apply_settings(s);
  const std::vector<uint8_t> frame = {90, 90, 90, 90};  // 2 x 2
  // Zoom 1 from (-2, -2): two rows above and columns left of the frame.
  const frame_run r = run(map(), frame, 2, 2, 6, 6, -2.0f, -2.0f, 1.0f, 1.0f, false);
  for (int x = 0; x < 6; ++x) {
    const uint8_t* top = pixel(r, x, 0);
    EXPECT_EQ(top[0], 0x10);
    EXPECT_EQ(top[1], 0x20);
    EXPECT_EQ(top[2], 0x30);
    EXPECT_EQ(top[3], 0);
  }
  // Unmasked, columns left of the frame show value 0, opaque.
  EXPECT_EQ(pixel(r, 0, 2)[0], 0);
  EXPECT_EQ(pixel(r, 0, 2)[3], 255);
  EXPECT_EQ(pixel(r, 2, 2)[0], 90);
  EXPECT_EQ(pixel(r, 3, 3)[0], 90);
  // Rows below the frame are background too.
  EXPECT_EQ(pixel(r, 3, 5)[3], 0);
}

TEST_F(cmap_test, NegativeZoomStoresRowsBottomUp) {
  std::vector<uint8_t> frame(4 * 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) frame[y * 4 + x] = static_cast<uint8_t>(10 + 40 * y);
  const frame_run down = run(map(), frame, 4, 4, 4, 4, 0.0f, 0.0f, 1.0f, 1.0f, false);
  const frame_run up = run(map(), frame, 4, 4, 4, 4, 0.0f, 0.0f, 1.0f, -1.0f, false);
  for (int y = 0; y < 4; ++y) {
    EXPECT_EQ(pixel(down, 1, y)[0], 10 + 40 * y);
    EXPECT_EQ(pixel(up, 1, 3 - y)[0], 10 + 40 * y);
  }
}

// Arguments that would read outside the frame or divide by zero leave the
// caller's image as it was.
TEST_F(cmap_test, OutOfRangeArgumentsWriteNothing) {
  const std::vector<uint8_t> frame(5 * 4, 77);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    const char* what;
    int w, h, ow, oh;
    float x0, y0, zx, zy;
  } cases[] = {
      {"x0 beyond the last column", 5, 4, 6, 6, 5.0f - 0.4f, 0.0f, 1.0f, 1.0f},
      {"y0 beyond the last row", 5, 4, 6, 6, 0.0f, 3.6f, 1.0f, 1.0f},
      {"frame one pixel wide", 1, 4, 6, 6, 0.0f, 0.0f, 1.0f, 1.0f},
      {"zoom 0", 5, 4, 6, 6, 0.0f, 0.0f, 0.0f, 1.0f},
      {"vertical zoom 0", 5, 4, 6, 6, 0.0f, 0.0f, 1.0f, 0.0f},
      {"negative horizontal zoom", 5, 4, 6, 6, 0.0f, 0.0f, -2.0f, 1.0f},
      {"zoom not a number", 5, 4, 6, 6, 0.0f, 0.0f, nan, 1.0f},
      {"infinite zoom", 5, 4, 6, 6, 0.0f, 0.0f, 1.0f, inf},
      {"origin not a number", 5, 4, 6, 6, nan, 0.0f, 1.0f, 1.0f},
      {"empty view", 5, 4, 0, 6, 0.0f, 0.0f, 1.0f, 1.0f},
      // A view beyond any screen would only allocate (and touch) gigabytes.
      {"view too tall", 5, 4, 6, globcmap_t::kMaxViewSide + 1, 0.0f, 0.0f, 1.0f, 1.0f},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> out(static_cast<size_t>(std::max(c.ow, 6)) * std::max(c.oh, 6) * 4, 0xEE);
    map().map_frame(frame.data(), c.w, c.h, out.data(), c.ow, c.oh, c.x0, c.y0, c.zx, c.zy, false,
                    1.0);
    EXPECT_EQ(out, std::vector<uint8_t>(out.size(), 0xEE)) << c.what;
  }
  std::vector<uint8_t> out(6 * 6 * 4, 0xEE);
  map().map_frame(nullptr, 5, 4, out.data(), 6, 6, 0, 0, 1, 1, false, 1.0);
  EXPECT_EQ(out, std::vector<uint8_t>(out.size(), 0xEE));
  // Just inside the range still maps.
  map().map_frame(frame.data(), 5, 4, out.data(), 6, 6, 4.4f, 0.0f, 1.0f, 1.0f, false, 1.0);
  EXPECT_EQ(out[0], 77);
}

}  // namespace

namespace {

// Each output pixel samples at its own centre: at zoom 1 and whole offsets
// the view shows every source pixel unblended, with nothing shifted.
TEST_F(cmap_test, ZoomOneShowsTheFrameExactly) {
  std::vector<uint8_t> frame(7 * 5);
  for (int i = 0; i < 7 * 5; ++i) frame[i] = static_cast<uint8_t>(i * 7 + 3);
  for (bool masked : {false, true}) {
    const frame_run r = run(map(), frame, 7, 5, 4, 3, 2.0f, 1.0f, 1.0f, 1.0f, masked);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(pixel(r, x, y)[0], frame[(y + 1) * 7 + x + 2]) << x << "," << y;
        EXPECT_EQ(pixel(r, x, y)[3], 255);
      }
  }
}

}  // namespace

namespace {

// Kernel choices seen in the output. With x0 = y0 = 0.25 at zoom 2 the even
// output pixels sample exactly on source pixels (f = 0), where Catmull-Rom
// weighs 0, 256, 0, 0 and so passes through the samples; the smoother
// B = 1 kernel of masked frames does not.
TEST_F(cmap_test, KernelsByZoomAndMode) {
  std::vector<uint8_t> frame(9 * 9);
  for (size_t i = 0; i < frame.size(); ++i)
    frame[i] = static_cast<uint8_t>((i * 97 + 13) % 251 + 1);
  const frame_run catmull = run(map(), frame, 9, 9, 18, 18, 0.25f, 0.25f, 2.0f, 2.0f, false);
  const frame_run bspline = run(map(), frame, 9, 9, 18, 18, 0.25f, 0.25f, 2.0f, 2.0f, true);
  int differ = 0;
  for (int y = 0; y < 18; y += 2)
    for (int x = 0; x < 18; x += 2) {
      EXPECT_EQ(pixel(catmull, x, y)[0], frame[(y / 2) * 9 + x / 2]) << x << "," << y;
      if (pixel(bspline, x, y)[0] != frame[(y / 2) * 9 + x / 2]) ++differ;
    }
  EXPECT_GT(differ, 40);

  // Zoom 1 a quarter pixel off: linear weights 192 and 64, so between 0 and
  // 100 the output is (64 x 100 x 256) >> 16 = 25.
  const std::vector<uint8_t> step = {0, 100, 100, 0, 100, 100};  // 3 x 2
  const frame_run linear = run(map(), step, 3, 2, 2, 2, 0.25f, 0.0f, 1.0f, 1.0f, false);
  EXPECT_EQ(pixel(linear, 0, 0)[0], 25);
  EXPECT_EQ(pixel(linear, 1, 0)[0], 100);
}

}  // namespace
