// The volume texture's arithmetic without a display: reductions and their
// message, smoothing weights and slices, per-value extents on nested boxes,
// the crop of slices to sphere surfaces against the analytic sphere, the
// exponents, the render box, the landmark sphere, the reslice-plane crop
// against world-space sides, and when the progress display opens.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "data/data_io_ui.h"
#include "registry/resource_table.h"
#include "render3d/volume_texture.h"
#include "surfaces/bin_grid_support.h"
#include "surfaces/surface_interp.h"
#include "surfaces/surface_section.h"
#include "tools/headless_session.h"

namespace {

TEST(VolumeReduction, SizeLimitReductionAndItsMessage) {
  volume_reduction r;
  ASSERT_TRUE(volume_reduce_for_size(600, 500, 40, 512, r));
  EXPECT_EQ(r.m, 2);
  EXPECT_EQ(r.n, 1);
  EXPECT_EQ(r.w, 300);
  EXPECT_EQ(r.h, 250);
  EXPECT_EQ(r.f, 40);
  EXPECT_TRUE(r.for_size);
  EXPECT_EQ(volume_reduction_message(r, 512, false, 0, 0),
            "Reduced volume rendering in-plane resolution by x2,\ndue to maximum 3D texture width limit of 512.");
  // 16-bit data with no filters get both hints only where they apply.
  volume_reduction both;
  ASSERT_TRUE(volume_reduce_for_size(1030, 20, 1100, 512, both));
  EXPECT_EQ(both.m, 3);
  EXPECT_EQ(both.n, 3);
  EXPECT_EQ(volume_reduction_message(both, 512, true, 0, 1),
            "Reduced volume rendering in-plane resolution by x3\nand reduced out-of-plane resolution by x3,\n"
            "due to maximum 3D texture width limit of 512.\n"
            "The rendering would be better if you set the image display (xy) filter to at least 2.\n"
            "The rendering would be better if you set the image display (z) filter to at least 2.");
  // F = 7 against a limit of 4: every second frame, 4 slices.
  volume_reduction z;
  ASSERT_TRUE(volume_reduce_for_size(4, 4, 7, 4, z));
  EXPECT_EQ(z.n, 2);
  EXPECT_EQ(z.f, 4);
  EXPECT_EQ(volume_reduction_message(z, 4, false, 0, 0),
            "Reduced volume rendering out-of-plane resolution by x2,\ndue to maximum 3D texture width limit of 4.");
  // Data that a step of 10 cannot bring within the limit are refused.
  EXPECT_FALSE(volume_reduce_for_size(6000, 100, 10, 512, r));
}

TEST(VolumeReduction, RefusedAllocationsReduceTheAxisWithTheFinerSpacing) {
  struct row {
    double sz;
    int32_t m, n;
  };
  // Pixels of 0.01 cm; slices 0.05 cm apart are coarser than pixels, so the
  // pixels go first until m x 0.01 reaches 0.05; slices 0.005 apart go first.
  const row rows[] = {{0.05, 3, 1}, {0.005, 1, 3}, {0.025, 3, 1}};
  for (const row& c : rows) {
    volume_reduction r;
    ASSERT_TRUE(volume_reduce_for_size(400, 300, 200, 512, r));
    int calls = 0;
    const int error = volume_allocate(r, 400, 300, 200, 0.01, 0.01, c.sz, [&](int32_t w, int32_t h, int32_t f) {
      EXPECT_EQ(w, (400 - 1) / r.m + 1);
      EXPECT_EQ(h, (300 - 1) / r.m + 1);
      EXPECT_EQ(f, (200 - 1) / r.n + 1);
      return ++calls <= 2 ? 0x0505 : 0;
    });
    EXPECT_EQ(error, 0);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(r.m, c.m) << c.sz;
    EXPECT_EQ(r.n, c.n) << c.sz;
    EXPECT_TRUE(r.for_memory);
    EXPECT_FALSE(r.for_size);
  }
  volume_reduction r;
  ASSERT_TRUE(volume_reduce_for_size(400, 300, 200, 512, r));
  r.m = 2;
  r.for_memory = true;
  EXPECT_EQ(volume_reduction_message(r, 512, false, 0, 0),
            "Reduced volume rendering in-plane resolution by x2,\ndue to overall graphics memory limit.");
  r.for_size = true;
  EXPECT_EQ(volume_reduction_message(r, 512, false, 0, 0),
            "Reduced volume rendering in-plane resolution by x2,\n"
            "due to overall memory and maximum 3D texture width limit of 512.");
}

TEST(VolumeReduction, AllocationThatNeverSucceedsStopsAfterTenAttemptsOrAtTen) {
  volume_reduction r;
  ASSERT_TRUE(volume_reduce_for_size(100, 100, 100, 512, r));
  int calls = 0;
  EXPECT_EQ(volume_allocate(r, 100, 100, 100, 0.01, 0.01, 0.01, [&](int32_t, int32_t, int32_t) {
              ++calls;
              return 0x0505;
            }),
            0x0505);
  EXPECT_EQ(calls, 10);
  // Already at 10 on both axes: one attempt and no further reduction.
  r.m = r.n = 10;
  r.apply(100, 100, 100);
  calls = 0;
  volume_allocate(r, 100, 100, 100, 0.01, 0.01, 0.01, [&](int32_t, int32_t, int32_t) { return ++calls, 0x0505; });
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(r.m, 10);
  EXPECT_EQ(r.n, 10);
  EXPECT_EQ(volume_memory_message(1285), "Not enough graphics memory for data for volume rendering (error 1285).");
}

TEST(VolumeSlices, SmoothingWeightsAndWeightedSlices) {
  const std::vector<double> w2 = volume_smoothing_weights(2);
  ASSERT_EQ(w2.size(), 3u);
  EXPECT_NEAR(w2[0], std::exp(-1.155625), 1e-12);
  EXPECT_NEAR(w2[1], 1.0, 1e-12);
  EXPECT_NEAR(w2[2], std::exp(-1.155625), 1e-12);
  EXPECT_EQ(volume_smoothing_weights(1), std::vector<double>{1.0});

  // Frames of 5 x 3 with value 10 f + x; decimation by 2 takes columns 0,
  // 2, 4 and rows 0, 2.
  const int32_t W = 5, H = 3, F = 4;
  std::vector<std::vector<uint8_t>> frames(F, std::vector<uint8_t>(W * H));
  for (int f = 0; f < F; ++f)
    for (int i = 0; i < W * H; ++i) frames[f][i] = uint8_t(10 * f + i % W + 20 * (i / W));
  auto source = [&](int32_t k) { return frames[size_t(k)].data(); };
  uint8_t out[6];
  volume_form_slice(source, 2, F, W, H, 2, nullptr, out);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 6), (std::vector<uint8_t>{20, 22, 24, 60, 62, 64}));
  const double e = std::exp(-1.155625);
  for (int j : {0, 1, 3}) {
    volume_form_slice(source, j, F, W, H, 2, &w2, out);
    double num = 0, den = 0;
    for (int k = j - 1; k <= j + 1; ++k)
      if (k >= 0 && k < F) num += (k == j ? 1.0 : e) * 10 * k, den += k == j ? 1.0 : e;
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x)
        EXPECT_EQ(out[y * 3 + x], int(num / den + 2 * x + 40 * y + 0.5)) << j << " " << x << " " << y;
  }
}

// Nested boxes: 10 in x 1..6, y 1..5, z 0..3 around 20 in x 2..4, y 2..3,
// z 1..2; 30 only in slice 0 at x 3..4, y 1..2; 0 elsewhere.
TEST(VolumeExtents, NestedBoxesGiveTheirBoxesWidenedByATexel) {
  const int W = 8, H = 7, F = 5;
  struct box {
    int v, x0, x1, y0, y1, z0, z1;
  };
  const box boxes[] = {{10, 1, 6, 1, 5, 0, 3}, {20, 2, 4, 2, 3, 1, 2}, {30, 3, 4, 1, 2, 0, 0}};
  volume_extents e;
  e.reset(W, H, F);
  for (int z = 0; z < F; ++z) {
    std::vector<uint8_t> s(W * H, 0);
    for (const box& b : boxes)
      for (int y = b.y0; y <= b.y1; ++y)
        for (int x = b.x0; x <= b.x1; ++x)
          if (z >= b.z0 && z <= b.z1) s[y * W + x] = uint8_t(b.v);
    e.add_slice(s.data(), 1, z);
  }
  e.finish();
  auto widen_lo = [](int v, int n) { return std::max(v - 1, 0) / double(n - 1); };
  auto widen_hi = [](int v, int n) { return std::min(v + 1, n - 1) / double(n - 1); };
  for (const box& b : boxes) {
    ASSERT_TRUE(e.present(b.v));
    EXPECT_DOUBLE_EQ(e.lo(b.v)[0], widen_lo(b.x0, W)) << b.v;
    EXPECT_DOUBLE_EQ(e.hi(b.v)[0], widen_hi(b.x1, W)) << b.v;
    EXPECT_DOUBLE_EQ(e.lo(b.v)[1], widen_lo(b.y0, H)) << b.v;
    EXPECT_DOUBLE_EQ(e.hi(b.v)[1], widen_hi(b.y1, H)) << b.v;
    EXPECT_DOUBLE_EQ(e.lo(b.v)[2], widen_lo(b.z0, F)) << b.v;
    EXPECT_DOUBLE_EQ(e.hi(b.v)[2], widen_hi(b.z1, F)) << b.v;
  }
  EXPECT_TRUE(e.present(0));
  EXPECT_FALSE(e.present(40));
  // Only 30 opaque: the visible box is its box, present only in slice 0.
  float table[256][4] = {};
  table[30][3] = 0.5f;
  const volume_box v = volume_visible_box(table, e);
  EXPECT_DOUBLE_EQ(v.lo[0], 2.0 / 7);
  EXPECT_DOUBLE_EQ(v.hi[0], 5.0 / 7);
  EXPECT_DOUBLE_EQ(v.lo[2], 0.0);
  EXPECT_DOUBLE_EQ(v.hi[2], 0.25);
  // An opaque value that does not occur collapses the box.
  float absent[256][4] = {};
  absent[99][3] = 1.0f;
  const volume_box none = volume_visible_box(absent, e);
  EXPECT_EQ(none.lo, none.hi);
}

TEST(VolumeExtents, MaskedTexelsCountAsZeroAndOneTexelAxesDoNotDivideByZero) {
  volume_extents e;
  e.reset(2, 1, 1);
  const uint8_t pairs[4] = {50, 255, 60, 0};
  e.add_slice(pairs, 2, 0);
  e.finish();
  EXPECT_FALSE(e.present(50));
  ASSERT_TRUE(e.present(60));
  ASSERT_TRUE(e.present(0));
  EXPECT_DOUBLE_EQ(e.lo(60)[0], 0.0);
  EXPECT_DOUBLE_EQ(e.hi(60)[0], 1.0);
  EXPECT_DOUBLE_EQ(e.lo(60)[1], 0.0);
  EXPECT_DOUBLE_EQ(e.hi(60)[1], 1.0);
  EXPECT_DOUBLE_EQ(e.hi(60)[2], 1.0);
}

// ---- Crop

constexpr double SX = 0.02;  // cm per pixel
constexpr int N = 60;        // slice of N x N pixels

surface_interp* sphere_surface(double cx, double cy, double cz, double r, bool closed) {
  bin_grid_test::owned_mesh m = bin_grid_test::sphere(cx, cy, cz, r, 96, 64);
  auto* s = new surface_interp(0);
  s->mesh.n_points = int32_t(m.points.size());
  s->mesh.points = new surface_point[m.points.size()];
  std::copy(m.points.begin(), m.points.end(), s->mesh.points);
  s->mesh.n_triangles = int32_t(m.triangles.size());
  s->mesh.triangles = new surface_triangle[m.triangles.size()];
  std::copy(m.triangles.begin(), m.triangles.end(), s->mesh.triangles);
  s->closed = closed;
  return s;
}

struct slice_frame {
  section_plane plane;
  matrix4_t world;
};

// The frame at height z: pixel (x, y) at world (x SX, y SX, z).
slice_frame frame_at(double z) {
  slice_frame f;
  f.plane.normal = {0, 0, 1};
  f.plane.d = -z;
  f.plane.to_pixels = [](const vec3_t& p) { return vec2_t{p.x / SX, p.y / SX}; };
  matrix4_identity(f.world);
  f.world[14] = z;
  return f;
}

uint8_t data(int x, int y) { return uint8_t(50 + (x * 7 + y * 3) % 200); }

class VolumeCrop : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int y = 0; y < N; ++y)
      for (int x = 0; x < N; ++x) S[y * N + x] = data(x, y);
  }
  void TearDown() override {
    for (int i : {1, 3}) {
      delete resource_table->RES_SURFACE[i]->read();
      resource_table->RES_SURFACE[i]->write(nullptr);
    }
  }
  // Distance (pixels) of pixel (x, y) at height z from the circle where the
  // sphere (centre c, radius r in cm) meets the plane; negative inside.
  static double signed_pixels(int x, int y, const vec3_t& c, double r, double z) {
    const double rr = r * r - (z - c.z) * (z - c.z);
    const double d = std::hypot(x * SX - c.x, y * SX - c.y);
    if (rr <= 0) return 1e9;
    return (d - std::sqrt(rr)) / SX;
  }
  headless_session session;
  uint8_t S[N * N];
};

TEST_F(VolumeCrop, ClosedSphereOneChannelKeepsTheInsideOnly) {
  const vec3_t c{0.6, 0.6, 0.3};
  resource_table->RES_SURFACE[1]->write(sphere_surface(c.x, c.y, c.z, 0.4, true));
  volume_cropper crop(1, volume_crop_settings());
  EXPECT_EQ(crop.used(), volume_cropper::method::scanline);
  EXPECT_TRUE(crop.warning().empty());
  for (double z : {0.3, 0.5}) {
    const slice_frame f = frame_at(z);
    std::vector<uint8_t> out(N * N);
    crop.crop(S, N, N, 1, SX, SX, f.plane, f.world, out.data());
    int inside = 0;
    for (int y = 0; y < N; ++y)
      for (int x = 0; x < N; ++x) {
        const double d = signed_pixels(x, y, c, 0.4, z);
        if (d < -1.5) {
          EXPECT_EQ(out[y * N + x], data(x, y)) << x << " " << y;
          ++inside;
        }
        if (d > 1.5) EXPECT_EQ(out[y * N + x], 0) << x << " " << y;
        if (std::fabs(d) <= 1.5) EXPECT_TRUE(out[y * N + x] == 0 || out[y * N + x] == data(x, y));
      }
    EXPECT_GT(inside, 100);
  }
}

TEST_F(VolumeCrop, AntialiasedEdgeIsAOnePixelRingOutsideTheSection) {
  const vec3_t c{0.6, 0.6, 0.3};
  resource_table->RES_SURFACE[1]->write(sphere_surface(c.x, c.y, c.z, 0.4, true));
  volume_crop_settings s;
  s.antialias = true;
  volume_cropper crop(1, s);
  EXPECT_EQ(crop.used(), volume_cropper::method::distance_map);
  const slice_frame f = frame_at(0.3);
  std::vector<uint8_t> out(N * N);
  crop.crop(S, N, N, 1, SX, SX, f.plane, f.world, out.data());
  int partial = 0;
  for (int y = 0; y < N; ++y)
    for (int x = 0; x < N; ++x) {
      const double d = signed_pixels(x, y, c, 0.4, 0.3);
      const uint8_t v = out[y * N + x], full = data(x, y);
      if (d < -1.5) EXPECT_EQ(v, full);
      if (d > 2.5) EXPECT_EQ(v, 0);
      if (v != 0 && v != full) {
        ++partial;
        EXPECT_GT(d, -1.5) << x << " " << y;
        EXPECT_LT(d, 2.5) << x << " " << y;
      }
    }
  EXPECT_GT(partial, 20);  // the ring exists
}

TEST_F(VolumeCrop, InvertedTwoChannelsKeepEveryValueAndMaskTheInside) {
  const vec3_t c{0.6, 0.6, 0.3};
  resource_table->RES_SURFACE[1]->write(sphere_surface(c.x, c.y, c.z, 0.4, true));
  volume_crop_settings s;
  s.invert = s.two_channel = true;
  volume_cropper crop(1, s);
  const slice_frame f = frame_at(0.3);
  std::vector<uint8_t> out(2 * N * N);
  crop.crop(S, N, N, 1, SX, SX, f.plane, f.world, out.data());
  for (int y = 0; y < N; ++y)
    for (int x = 0; x < N; ++x) {
      const double d = signed_pixels(x, y, c, 0.4, 0.3);
      EXPECT_EQ(out[2 * (y * N + x)], data(x, y));
      if (d < -1.5) EXPECT_EQ(out[2 * (y * N + x) + 1], 255);
      if (d > 1.5) EXPECT_EQ(out[2 * (y * N + x) + 1], 0);
    }
}

TEST_F(VolumeCrop, OpenSurfaceJudgesByTheNearestPointWithinItsReach) {
  // A sphere of 0.1 cm marked open; search radius 0.5 cm.
  const vec3_t c{0.6, 0.6, 0.3};
  resource_table->RES_SURFACE[1]->write(sphere_surface(c.x, c.y, c.z, 0.1, false));
  for (bool invert : {false, true}) {
    volume_crop_settings s;
    s.invert = invert;
    s.radius = 0.5;
    volume_cropper crop(1, s);
    EXPECT_EQ(crop.used(), volume_cropper::method::nearest);
    const slice_frame f = frame_at(0.3);
    std::vector<uint8_t> out(N * N);
    crop.crop(S, N, N, 1, SX, SX, f.plane, f.world, out.data());
    for (int y = 0; y < N; ++y)
      for (int x = 0; x < N; ++x) {
        const double d = signed_pixels(x, y, c, 0.1, 0.3);  // pixels
        const uint8_t v = out[y * N + x], full = data(x, y);
        if (d * SX > 0.5 + 0.03) EXPECT_EQ(v, full) << invert << " " << x << " " << y;  // beyond reach
        if (d < -1.0) EXPECT_EQ(v, invert ? 0 : full) << invert << " " << x << " " << y;
        if (d > 1.0 && d * SX < 0.5 - 0.03) EXPECT_EQ(v, invert ? full : 0) << invert << " " << x << " " << y;
      }
  }
}

TEST_F(VolumeCrop, AllSurfacesKeepBothInsides) {
  const vec3_t a{0.3, 0.3, 0.3}, b{0.85, 0.8, 0.3};
  resource_table->RES_SURFACE[1]->write(sphere_surface(a.x, a.y, a.z, 0.2, true));
  resource_table->RES_SURFACE[3]->write(sphere_surface(b.x, b.y, b.z, 0.25, true));
  volume_cropper crop(-2, volume_crop_settings());
  EXPECT_TRUE(crop.warning().empty());
  const slice_frame f = frame_at(0.3);
  std::vector<uint8_t> out(N * N);
  crop.crop(S, N, N, 1, SX, SX, f.plane, f.world, out.data());
  for (int y = 0; y < N; ++y)
    for (int x = 0; x < N; ++x) {
      const double da = signed_pixels(x, y, a, 0.2, 0.3), db = signed_pixels(x, y, b, 0.25, 0.3);
      if (da < -1.5 || db < -1.5) EXPECT_EQ(out[y * N + x], data(x, y)) << x << " " << y;
      if (da > 1.5 && db > 1.5) EXPECT_EQ(out[y * N + x], 0) << x << " " << y;
    }
}

TEST_F(VolumeCrop, CropObjectWithoutSurfaceIsNamedAndCropsEverything) {
  struct row {
    int32_t object;
    bool invert;
    const char* warning;
  };
  const row rows[] = {
      {5, false, "The volume rendering's crop object 5 has no surface."},
      {5, true, "The volume rendering's crop object 5 has no surface."},
      {12, false, "The volume rendering's crop object 12 is not among the 12 objects in use."},
      {-2, false, "No object has a surface to crop the volume rendering to."},
  };
  for (const row& r : rows) {
    volume_crop_settings s;
    s.invert = r.invert;
    volume_cropper crop(r.object, s);
    EXPECT_EQ(crop.warning(), r.warning);
    const slice_frame f = frame_at(0.3);
    std::vector<uint8_t> out(N * N, 7);
    crop.crop(S, N, N, 1, SX, SX, f.plane, f.world, out.data());
    for (int i = 0; i < N * N; ++i) ASSERT_EQ(out[i], r.invert ? S[i] : 0) << r.object;
  }
}

// ---- Transfer function and render box

TEST(VolumeBox, ExponentsCropBoxAndLandmarkSphere) {
  double p, q;
  volume_exponents(25, 512, 512, 1, 1, p, q);
  EXPECT_DOUBLE_EQ(p, 1.0);
  EXPECT_DOUBLE_EQ(q, 1.0);
  volume_exponents(50, 300, 212, 2, 4, p, q);
  EXPECT_DOUBLE_EQ(p, 2.0);
  EXPECT_NEAR(q, 1.0, 1e-12);  // 512 x 8^(1/3) / 1024

  volume_box visible;
  visible.lo = {0.3, 0.0, 0.0};
  visible.hi = {0.9, 1.0, 1.0};
  const double lo[3] = {20, 0, 0}, hi[3] = {60, 100, 100};
  const volume_sphere neutral = volume_landmark_sphere(volume_geometry(), nullptr, 15, false);
  EXPECT_EQ(neutral.rx, 100.0);
  volume_box b = volume_render_box(lo, hi, true, visible, neutral);
  EXPECT_DOUBLE_EQ(b.lo[0], 0.3);
  EXPECT_DOUBLE_EQ(b.hi[0], 0.6);
  b = volume_render_box(lo, hi, false, visible, neutral);  // shadows with planes drawn
  EXPECT_DOUBLE_EQ(b.lo[0], 0.2);

  // 100 x 80 x 50 voxels of 0.02 x 0.025 x 0.04 cm, model translated.
  volume_geometry g;
  g.w = 100, g.h = 80, g.f = 50, g.sx = 0.02, g.sy = 0.025, g.sz = 0.04;
  matrix4_identity(g.model);
  g.model[12] = 1.0, g.model[13] = -2.0, g.model[14] = 0.5;
  const vec3_t mark{1.0 + 0.5 * 2.0, -2.0 + 0.25 * 2.0, 0.5 + 10 * 0.04};
  const volume_sphere s = volume_landmark_sphere(g, &mark, 15, false);
  EXPECT_NEAR(s.rx, 0.2115, 1e-12);
  EXPECT_NEAR(s.ry, 0.2115 * 2.0 / 2.0, 1e-12);
  EXPECT_NEAR(s.rz, 0.2115 * 2.0 / 2.0, 1e-12);
  EXPECT_NEAR(s.c.x, 0.5, 1e-12);
  EXPECT_NEAR(s.c.y, 0.25, 1e-12);
  EXPECT_NEAR(s.c.z, 10.0 / 50 + 0.5 / 50, 1e-12);  // the texel centre of frame 10
  const double all_lo[3] = {0, 0, 0}, all_hi[3] = {100, 100, 100};
  volume_box whole;
  whole.lo = {0, 0, 0}, whole.hi = {1, 1, 1};
  b = volume_render_box(all_lo, all_hi, true, whole, s);
  EXPECT_NEAR(b.lo[0], 0.5 - 1.2 * 0.2115, 1e-12);
  EXPECT_NEAR(b.hi[1], 0.25 + 1.2 * 0.2115, 1e-12);
  EXPECT_NEAR(b.lo[1], 0.0, 1e-12);
  EXPECT_LT(volume_landmark_sphere(g, &mark, 15, true).rx, 0.0);
  // The texture point of the landmark's centre lies on the landmark.
  const vec3_t back = volume_texture_to_world(g, s.c);
  EXPECT_NEAR(back.x, mark.x, 1e-12);
  EXPECT_NEAR(back.y, mark.y, 1e-12);
  EXPECT_NEAR(back.z, mark.z, 1e-12);

  // Corners: z to texel centres, then one step of 2 out on every side.
  whole.lo = {0.25, 0.5, 0.0};
  auto corners = volume_box_corners(whole, 50);
  EXPECT_DOUBLE_EQ(corners[0].z, 0.5 / 50);
  EXPECT_DOUBLE_EQ(corners[7].z, 49.0 / 50 + 0.5 / 50);
  EXPECT_DOUBLE_EQ(corners[2].x, 1.0);
  EXPECT_DOUBLE_EQ(corners[1].y, 1.0);
  volume_enlarge_corners(corners, 2.0, 100, 80, 50);
  EXPECT_DOUBLE_EQ(corners[0].x, 0.25 - 0.02);
  EXPECT_DOUBLE_EQ(corners[3].y, 1.0 + 2.0 / 80);
  EXPECT_DOUBLE_EQ(corners[4].z, 49.0 / 50 + 0.5 / 50 + 0.04);
}

TEST(VolumeBox, ResliceCropKeepsTheSideAwayFromThePlaneNormal) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0), t01(0.0, 1.0);
  auto unit = [&] {
    vec3_t v{u(rng), u(rng), u(rng)};
    return vec3_normalise(v);
  };
  for (int trial = 0; trial < 50; ++trial) {
    volume_geometry g;
    g.w = 64 + trial, g.h = 48, g.f = 20 + trial % 7, g.sx = 0.02, g.sy = 0.03, g.sz = 0.05 + 0.01 * (trial % 3);
    // A random rotation and translation.
    const vec3_t x = unit(), y = vec3_normalise(vec3_cross(unit(), x)), z = vec3_cross(x, y);
    matrix4_identity(g.model);
    matrix4_set_x_axis(g.model, x);
    matrix4_set_y_axis(g.model, y);
    matrix4_set_z_axis(g.model, z);
    matrix4_set_translation(g.model, vec3_t{u(rng), u(rng), u(rng)});
    // Plane 0 through a random point of the volume.
    const vec3_t n = unit();
    const double d = -vec3_dot(n, volume_texture_to_world(g, vec3_t{t01(rng), t01(rng), t01(rng)}));
    const auto plane = volume_reslice_crop(n, d, g);
    for (int k = 0; k < 40; ++k) {
      const vec3_t t{t01(rng), t01(rng), t01(rng)};
      const double world_side = vec3_dot(n, volume_texture_to_world(g, t)) + d;
      if (std::fabs(world_side) < 1e-9) continue;
      const bool kept = plane[0] * t.x + plane[1] * t.y + plane[2] * t.z <= plane[3];
      EXPECT_EQ(kept, world_side < 0) << trial << " " << k;
    }
  }
  volume_geometry g;
  matrix4_identity(g.model);
  EXPECT_EQ(volume_reslice_crop(vec3_t{0, 0, 0}, 0.0, g), (std::array<double, 4>{0, 0, 0, 1}));
}

// ---- Progress

class counting_ui : public console_data_io_ui {
 public:
  struct display : data_progress {
    counting_ui* ui;
    explicit display(counting_ui* u) : ui(u) {}
    void update(int value, const wxString&) override { ui->updates.push_back(value); }
    void pulse() override {}
    bool cancelled() const override { return ui->cancel_at >= 0 && ui->updates.back() >= ui->cancel_at; }
  };
  std::unique_ptr<data_progress> start_progress(const wxString& caption, const wxString& message, int range,
                                                unsigned style) override {
    ++opened;
    this->caption = caption, this->message = message, this->range = range, this->style = style;
    return std::make_unique<display>(this);
  }
  int opened = 0, range = 0, cancel_at = -1;
  unsigned style = 0;
  wxString caption, message;
  std::vector<int> updates;
};

TEST(VolumeProgress, OpensAfterAQuarterSecondInTheFirstQuarterAndStopsOnAbort) {
  struct row {
    long step_ms;  // clock advance per frame
    int opened;
  };
  // 20 ms a frame passes 250 ms at frame 13, within the first 25 of 100;
  // 2 ms a frame only after frame 25: never opens.
  for (const row& r : {row{20, 1}, row{2, 0}}) {
    counting_ui ui;
    data_ui_scope scope(ui);
    long now = 0;
    volume_build_progress progress(100, [&] { return now; });
    for (int j = 0; j < 100; ++j, now += r.step_ms) ASSERT_TRUE(progress.before_frame(j));
    EXPECT_EQ(ui.opened, r.opened);
    if (r.opened) {
      EXPECT_EQ(ui.caption, "Creating image data for volume rendering");
      EXPECT_EQ(ui.message, "Currently updating frame 13 of 100.\n");
      EXPECT_EQ(ui.range, 100);
      EXPECT_EQ(ui.style, unsigned(data_io_ui::PROGRESS_MODAL | data_io_ui::PROGRESS_TIMES |
                                   data_io_ui::PROGRESS_CANCEL));
      // At once, then whenever more than 100 ms passed: every sixth frame.
      ASSERT_GE(ui.updates.size(), 2u);
      EXPECT_EQ(ui.updates[0], 13);
      EXPECT_EQ(ui.updates[1], 19);
    }
  }
  counting_ui ui;
  ui.cancel_at = 30;
  data_ui_scope scope(ui);
  long now = 0;
  volume_build_progress progress(100, [&] { return now; });
  int last = -1;
  for (int j = 0; j < 100; ++j, now += 20) {
    if (!progress.before_frame(j)) break;
    last = j;
  }
  EXPECT_EQ(last, 30);  // the update at 31 reports the abort
}

}  // namespace
