// Sampling of the thickness engine: the cubic sampler against a numpy
// reference, the line geometry and sample count, the frames bracketing a
// sample in 3D, and the profile averaged over aligned lines.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <fstream>
#include <sstream>

#include "thickness/thickness.h"
#include "thickness/thickness_technique.h"
#include "thickness_data_support.h"

namespace {

const std::string kScripts = NV_THICKNESS_SCRIPTS;

struct measured {
  double point[3] = {0, 0, 0};
  double dir[3] = {0, 0, 0};
  double normal[3] = {0, 0, 0};
};

// Measures at (x, y, z) along d (made unit) on frame f.
void measure_at(thickness& t, int32_t f, double x, double y, double z, double dx, double dy, double dz,
                bool manual = false, double length = 0.0) {
  const double l = std::sqrt(dx * dx + dy * dy + dz * dz);
  double p[3] = {x, y, z}, d[3] = {dx / l, dy / l, dz / l}, n[3] = {0, 0, 0};
  t.measure(f, p, d, manual, length, n, 1e10);
}

TEST(ThicknessSampler, EqualsTheNumpyMitchellNetravaliReferenceWithItsBorderRules) {
  thickness_scratch dir;
  ASSERT_TRUE(run_python(kScripts + "/mitchell_reference.py", dir.root()));
  std::istringstream image(read_text(dir.path("image.txt")));
  thickness_sampling s;
  image >> s.width >> s.height >> s.slope >> s.intercept >> s.no_value;
  ASSERT_EQ(s.width, 37);
  std::vector<uint16_t> raw(size_t(s.width * s.height));
  std::vector<uint8_t> bytes(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    int v;
    image >> v;
    raw[i] = uint16_t(v);
    bytes[i] = uint8_t(v & 0xFF);
  }
  std::ifstream queries(dir.path("queries.txt"));
  int bits, ix, iy, count = 0, borders = 0;
  double fx, fy, expected;
  while (queries >> bits >> ix >> iy >> fx >> fy >> expected) {
    const double got = bits == 16 ? thickness_sample_16bit(s, raw.data(), ix, iy, fx, fy)
                                  : thickness_sample_8bit(s, bytes.data(), ix, iy, fx, fy);
    ASSERT_NEAR(got, expected, 1e-9 * std::max(1.0, std::fabs(expected)))
        << bits << "-bit at " << ix << ", " << iy << " + " << fx << ", " << fy;
    ++count;
    if (expected == s.no_value) ++borders;
  }
  EXPECT_GT(count, 1000);
  EXPECT_GT(borders, 100) << "the queries reach beyond the usable columns and rows";
}

class ThicknessMeasure : public ::testing::Test {
 protected:
  thickness_data data;
  thickness& engine = *resource_table->RES_THICKNESS->read();
};

TEST_F(ThicknessMeasure, AnInFrameLineSamplesTheFrameAsTheNumpyReferenceDoes) {
  thickness_scratch dir;
  ASSERT_TRUE(run_python(kScripts + "/mitchell_reference.py", dir.root()));
  std::istringstream image(read_text(dir.path("image.txt")));
  int32_t W, H;
  double slope, intercept, nv;
  image >> W >> H >> slope >> intercept >> nv;
  std::vector<uint16_t> raw(size_t(W * H));
  for (uint16_t& v : raw) {
    int x;
    image >> x;
    v = uint16_t(x);
  }
  data.make_frames(W, H, 1, [&](int32_t, int32_t x, int32_t y) { return raw[size_t(y * W + x)]; });
  resource_table->RES_DICOM_HUM->write(slope);
  resource_table->RES_DICOM_HUB->write(intercept);
  // The no-value level is the padding value calibrated.
  dicom_utility::padding_value = uint16_t(std::lround((nv - intercept) / slope));
  std::istringstream line(read_text(dir.path("line.txt")));
  double px, py, dx, dy, L, E, xs, ys;
  int32_t N;
  line >> px >> py >> dx >> dy >> L >> E >> xs >> ys >> N;
  thickness_data::set_scales(xs, ys);
  resource_table->RES_THICKNESS_LINE->write(L);
  resource_table->RES_THICKNESS_OUTPUT_DATA->write(N);
  measure_at(engine, 0, px, py, 0.0, dx, dy, 0.0);
  ASSERT_TRUE(engine.sampled);
  ASSERT_TRUE(engine.in_frame) << "a frame without a position record is measured in the frame";
  EXPECT_NEAR(engine.inside_fraction, E, 1e-15);
  ASSERT_EQ(engine.sample_count, N);
  for (int32_t k = 0; k < N; ++k) {
    double expected;
    line >> expected;
    ASSERT_NEAR(engine.profile[size_t(k)], expected, 1e-9 * std::fabs(expected)) << "sample " << k;
  }
}

TEST_F(ThicknessMeasure, TheSampleCountFollowsTheLineLengthAndThePixelSize) {
  data.make_frames(64, 64, 1, [](int32_t, int32_t, int32_t) { return uint16_t(40000); });
  struct count_case {
    double xs, ys, zs, line;
    int32_t output, expected;
    const char* what;
  } cases[] = {
      {0.05, 0.05, 0.0, 1.8, -1, 72, "1.8 cm on 0.05 cm pixels: ceil(1.8 / 0.025)"},
      {0.3, 0.3, 0.0, 1.8, -1, 50, "on 0.3 cm pixels 12 samples, raised to 50"},
      {0.05, 0.05, 0.0, 1.8, 200, 200, "RES_THICKNESS_OUTPUT_DATA whatever the pixel size"},
      {0.05, 0.05, 0.02, 1.8, -1, 180, "a z scale below the pixel size: ceil(1.8 / 0.01)"},
      {0.05, 0.05, 0.08, 1.8, -1, 72, "a z scale above it is not used"},
      {-0.05, 0.05, 0.0, 1.8, -1, 72, "a negative scale counts by its size"},
      {0.03, 0.03, 0.0, 1.8, -1, 120, "1.8 / 0.015 rounds to 120, not 121"},
      {0.05, 0.05, 0.0, 0.0, -1, 0, "no line: no measurement"},
      {0.05, 0.05, 0.0, -1.0, -1, 0, "a negative length: no measurement"},
      {0.0, 0.05, 0.0, 1.8, -1, 0, "no pixel size: no measurement"},
      {0.05, 0.05, 0.0, 1.8, kThicknessMaxSamples + 1, 0, "beyond the sample cap: no measurement"},
      {1e-9, 1e-9, 0.0, 1.8, -1, 0, "tiny pixels would give too many samples"},
  };
  for (const count_case& c : cases) {
    thickness_data::set_scales(c.xs, c.ys, c.zs);
    resource_table->RES_THICKNESS_LINE->write(c.line);
    resource_table->RES_THICKNESS_OUTPUT_DATA->write(c.output);
    measure_at(engine, 0, 32, 32, 0, 1, 0, 0);
    EXPECT_EQ(engine.sample_count, c.expected) << c.what;
    EXPECT_EQ(engine.sampled, c.expected > 0) << c.what;
    EXPECT_EQ(engine.profile.size(), size_t(c.expected)) << c.what;
  }
}

TEST_F(ThicknessMeasure, NothingIsMeasuredWithoutSuitableData) {
  data.make_frames(32, 32, 2, [](int32_t, int32_t, int32_t) { return uint16_t(40000); });
  thickness_data::set_scales(0.05, 0.05);
  struct stop_case {
    const char* what;
    std::function<void()> set;
    int32_t frame;
    double dz;
  } cases[] = {
      {"frames not from medical files", [] { resource_table->RES_BUF_DICOM->write(false); }, 0, 0},
      {"8-bit data", [] { dicom_utility::data_16bit = false; }, 0, 0},
      {"a frame beyond the store", [] {}, 2, 0},
      {"a negative frame", [] {}, -1, 0},
      {"technique Offset", [] { resource_table->RES_THICKNESS_TYPE->write(thickness_offset); }, 0, 0},
      {"a direction nearly perpendicular to the frame", [] {}, 0, 20.0},
  };
  for (const stop_case& c : cases) {
    measure_at(engine, 0, 16, 16, 0, 1, 0, 0);  // a measurement that works first
    ASSERT_TRUE(engine.sampled) << c.what;
    c.set();
    measure_at(engine, c.frame, 16, 16, 0, 1, 0, c.dz);
    EXPECT_FALSE(engine.sampled) << c.what;
    EXPECT_FALSE(engine.valid) << c.what;
    EXPECT_EQ(engine.cell_count, 0) << c.what;
    EXPECT_TRUE(engine.profile.empty()) << c.what;
    resource_table->RES_BUF_DICOM->write(true);
    dicom_utility::data_16bit = true;
    resource_table->RES_THICKNESS_TYPE->write(thickness_manual);
  }
}

TEST_F(ThicknessMeasure, LinesOfAWidthInAFrameAndInTheDiscOf3DCells) {
  data.make_frames(64, 64, 5, [](int32_t, int32_t, int32_t) { return uint16_t(40000); });
  data.place_frames({0.0, 0.05, 0.1, 0.15, 0.2});
  thickness_data::set_scales(0.05, 0.05);
  resource_table->RES_THICKNESS_LINE->write(1.5);
  resource_table->RES_THICKNESS_WIDTH->write(1);
  resource_table->RES_THICKNESS_IN_FRAME->write(true);
  measure_at(engine, 2, 30, 30, 0, 0, 1, 0);
  ASSERT_EQ(engine.cell_count, 3);
  // Along +y with E = 1/3: 0.5 cm (10 pixels) outward, 1 cm (20) inward;
  // line k (cell (k + 3) mod 3) k pixels along (d_y, -d_x) = (1, 0).
  const double xs[3] = {30, 31, 29};
  for (int c = 0; c < 3; ++c) {
    EXPECT_NEAR(engine.line_start[size_t(c)].x, xs[c], 1e-12);
    EXPECT_NEAR(engine.line_start[size_t(c)].y, 40, 1e-12);
    EXPECT_NEAR(engine.line_end[size_t(c)].y, 10, 1e-12);
  }

  resource_table->RES_THICKNESS_IN_FRAME->write(false);
  measure_at(engine, 2, 30, 30, 0, 0, 1, 0);
  ASSERT_FALSE(engine.in_frame);
  ASSERT_EQ(engine.cell_count, 9);
  int in_disc = 0;
  for (int c = 0; c < 9; ++c) {
    const bool corner = c == 4 || c == 5 || c == 7 || c == 8;  // (i, j) with both nonzero
    EXPECT_EQ(engine.start_z[size_t(c)] == -1.0 && engine.end_z[size_t(c)] == -1.0, corner) << c;
    in_disc += !corner;
  }
  EXPECT_EQ(in_disc, 5);
  // Cell (0, 1) is one step along v = d x u = (0, 1, 0) x (1, 0, 0) = (0, 0, -1).
  EXPECT_NEAR(engine.start_z[3], -0.05, 1e-12);
  EXPECT_NEAR(engine.start_z[0], 0.0, 1e-12);

  // A line along z: across it u is the x axis, so the cells spread in x
  // rather than all lying on one line.
  measure_at(engine, 2, 30, 30, 0, 0, 0, 1);
  ASSERT_TRUE(engine.sampled);
  EXPECT_NEAR(engine.line_start[1].x, 31.0, 1e-12);
  EXPECT_NEAR(engine.line_start[1].y, 30.0, 1e-12);
  EXPECT_NEAR(engine.line_start[3].y, 31.0, 1e-12);
  EXPECT_NEAR(engine.start_z[0], 0.5, 1e-12);
  EXPECT_NEAR(engine.end_z[0], -1.0, 1e-12);
}

// Frames of constant values 1000 x (k + 1) + 20000 at given z: a line along
// z then samples the linear interpolation of the frames' values.
class ThicknessStack : public ThicknessMeasure {
 protected:
  void stack(const std::vector<double>& z) {
    data.make_frames(16, 16, int32_t(z.size()),
                     [](int32_t k, int32_t, int32_t) { return uint16_t(20000 + 1000 * (k + 1)); });
    data.place_frames(z);
    thickness_data::set_scales(0.05, 0.05);
    resource_table->RES_THICKNESS_OUTPUT_DATA->write(61);
    resource_table->RES_THICKNESS_IN_FRAME->write(false);
  }
  // The sample of the profile at z cm from the measured frame for a line
  // along +z of length L through z = 0 with E = 1/3: sample k at
  // z = L/3 - k L / 60.
  double at(int k) const { return engine.profile[size_t(k)]; }
};

TEST_F(ThicknessStack, ASampleBetweenFramesInterpolatesTheTwoBracketingIt) {
  // Frames stored out of order and one repeated position: ordered by their
  // distance along the normal, the repeated one left out.
  stack({0.2, 0.0, 0.1, 0.1, 0.3, 0.4});
  resource_table->RES_THICKNESS_LINE->write(0.6);
  measure_at(engine, 1, 8, 8, 0, 0, 0, 1);  // frame 1 lies at z = 0
  ASSERT_TRUE(engine.sampled);
  // z = 0.2 - k 0.01 for k = 0 .. 60. The measured frame's value is 2000
  // (calibrated: raw - 32768 = 20000 - 32768 + 2000).
  auto value = [](int frame) { return 20000.0 + 1000.0 * (frame + 1) - 32768.0; };
  for (int k = 0; k <= 60; ++k) {
    const double z = 0.2 - 0.01 * k;
    double expected;
    if (z >= 0.1)
      expected = value(2) + (z - 0.1) / 0.1 * (value(0) - value(2));  // frames 2 (0.1) and 0 (0.2)
    else if (z >= 0.0)
      expected = value(1) + z / 0.1 * (value(2) - value(1));
    else if (z > -0.1 * 0.05 - 1e-12)
      expected = value(1);  // within 5 % of a spacing before the first frame
    else
      expected = -32768.0;  // missing
    EXPECT_NEAR(at(k), expected, 1e-3) << "z " << z;  // positions are floats
  }
}

TEST_F(ThicknessStack, BeyondTheLastFrameThreePercentSnapsAndTenPercentIsMissing) {
  stack({0.0, 0.1, 0.2});
  resource_table->RES_THICKNESS_LINE->write(0.6);
  // The point 0.017 cm below the last frame's plane: samples reach
  // 0.003 cm (3 %) and 0.01 cm (10 %) beyond it.
  for (double beyond : {0.003, 0.01}) {
    measure_at(engine, 2, 8, 8, (beyond - 0.2) / 0.05 + 0.0, 0, 0, 1);
    ASSERT_TRUE(engine.sampled);
    // Sample 0 lies at z = point + 0.2: beyond the last frame by `beyond`.
    const double expected = beyond < 0.005 ? 20000.0 + 3000.0 - 32768.0 : -32768.0;
    EXPECT_NEAR(at(0), expected, 1e-9) << beyond;
  }
}

TEST_F(ThicknessMeasure, LinesAreShiftedIntoRegisterBeforeTheyAreAveraged) {
  // Values that depend on x + y only: the line one pixel further along y
  // sees the central line's samples shifted by one pixel along x, which is
  // one sample of the doubled lines (2N - 1 = 99 samples over 99 pixels).
  auto f = [](double s) { return 32768.0 + 1000.0 * (1.0 + std::erf((s - 100.0) / 3.0)); };
  data.make_frames(160, 40, 1, [&](int32_t, int32_t x, int32_t y) { return uint16_t(std::lround(f(x + y))); });
  thickness_data::set_scales(0.05, 0.05);
  resource_table->RES_THICKNESS_IN_FRAME->write(true);
  resource_table->RES_THICKNESS_LINE->write(99 * 0.05);
  resource_table->RES_THICKNESS_OUTPUT_DATA->write(50);
  resource_table->RES_THICKNESS_WIDTH->write(1);
  measure_at(engine, 0, 80, 20, 0, -1, 0, 0);
  ASSERT_EQ(engine.cell_count, 3);
  const int32_t N = engine.sample_count;
  ASSERT_EQ(engine.cell_samples.size(), size_t(3 * N));
  const double* centre = engine.cell_samples.data();
  // The lines run towards +x; the one at y + 1 (cell 1) is the central one
  // shifted by -1 sample, the one at y - 1 (cell 2) by +1.
  const double* plus = centre + N;
  const double* minus = centre + 2 * N;
  int edge_samples = 0;
  for (int32_t m = 1; m < N; ++m) {
    ASSERT_GT(centre[m], -32768.0);
    EXPECT_NEAR(plus[m], centre[m], 1e-9) << m;
    EXPECT_NEAR(minus[m], centre[m], 1e-9) << m;
    EXPECT_NEAR(engine.profile[size_t(m)], centre[m], 1e-9) << m;
    if (std::fabs(centre[m] - centre[m - 1]) > 50.0) ++edge_samples;
  }
  EXPECT_GT(edge_samples, 2) << "the lines cross the edge, so a wrong shift would show";
  // Shifted by -1, the line has no sample before the line start: there two
  // of the three lines count, which is more than half.
  EXPECT_EQ(plus[0], -32768.0);
  EXPECT_NEAR(minus[0], centre[0], 1e-9);
  EXPECT_NEAR(engine.profile[0], centre[0], 1e-9);
}

}  // namespace
