// Painting image data onto a surface: a sphere inside a parallel stack whose
// grey rises along x (and by frame), against values worked out here from the
// sample points themselves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "bin_grid_support.h"
#include "common/log_capture.h"
#include "data/dynabuf.h"
#include "data/objects.h"
#include "surfaces/surface_interp.h"
#include "tools/headless_session.h"

using namespace bin_grid_test;

namespace {

constexpr int W = 64, H = 64, FRAMES = 64;
constexpr double PIXEL = 0.05;  // cm, both axes and the frame spacing

uint8_t grey(int column, int frame) { return uint8_t(2 + 3 * column + frame % 20); }

class surface_compound : public ::testing::Test {
 protected:
  headless_session session;
  surface_interp s;
  std::vector<float> frame_x, frame_z;

  void SetUp() override {
    resource_table_t& t = *resource_table;
    t.RES_BUF_FRAMES->write(FRAMES);
    t.RES_BUF_WIDTH->write(W);
    t.RES_BUF_HEIGHT->write(H);
    t.RES_POS_REC->write(true);
    t.RES_XSCALE->write(PIXEL);
    t.RES_YSCALE->write(PIXEL);
    base_res_t::make_pending_writes_happen();
    for (int k = 0; k < FRAMES; ++k) {
      auto* pixels = new uint8_t[W * H];
      for (int row = 0; row < H; ++row)
        for (int col = 0; col < W; ++col) pixels[col + W * row] = grey(col, k);
      frame_store->add_image(frame_image_t::create(pixels, W * H));
      position_t p;
      p.z = float(PIXEL * k);
      frame_x.push_back(p.x);
      frame_z.push_back(p.z);
      frame_store->positions.push_back(position_holder_t::create(p));
    }
    // Off the pixel grid, so that no sample lies half-way between two pixels.
    owned_mesh m = sphere(1.61237, 1.55173, 1.60719, 1.0, 24, 16);
    // Beyond the frames: 0.9 px left of the first column, past the last
    // column, and far above the last frame.
    m.add_point(-0.9 * PIXEL, 1.6, 1.6, 0, 0, 1);
    m.add_point((W - 0.4) * PIXEL, 1.6, 1.6, 0, 0, 1);
    m.add_point(1.6, 1.6, 10.0, 0, 0, 1);
    s.mesh.n_points = int32_t(m.points.size());
    s.mesh.points = new surface_point[m.points.size()];
    std::copy(m.points.begin(), m.points.end(), s.mesh.points);
    set_colours(77);
  }
  void set_colours(uint8_t c) {
    for (int32_t i = 0; i < s.mesh.n_points; ++i) s.mesh.points[i].colour = c;
  }
  int outside_first() const { return s.mesh.n_points - 3; }

  // The grey at one sample point: the pixel nearest to it on the nearest
  // frame that holds it (the first among equals), or 0 off the frames.
  uint8_t sample(double x, double y, double z) const {
    std::vector<int> order(FRAMES);
    for (int k = 0; k < FRAMES; ++k) order[k] = k;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
      return std::fabs(z - frame_z[a]) < std::fabs(z - frame_z[b]);
    });
    for (int k : order) {
      if (std::fabs(z - frame_z[k]) > 1.0) break;  // no frame near the segment
      const double col = std::floor((x - frame_x[k]) / PIXEL + 0.5);
      const double row = std::floor(y / PIXEL + 0.5);
      if (col >= 0 && col < W && row >= 0 && row < H) return grey(int(col), k);
    }
    return 0;
  }
  uint8_t expected(int i, double depth, int type) const {
    const surface_point& p = s.mesh.points[i];
    const int m = int(std::fabs(depth) / PIXEL);
    std::vector<int> v;
    for (int l = 0; l <= m; ++l) {
      const double f = m ? depth * l / m : 0.0;
      v.push_back(sample(p.x + f * p.nx, p.y + f * p.ny, p.z + f * p.nz));
    }
    if (type == 0) return uint8_t(*std::max_element(v.begin(), v.end()));
    if (type == 2) {
      int sum = 0, n = 0;
      for (int x : v)
        if (x) sum += x, ++n;
      return uint8_t(n ? sum / n : 0);
    }
    return uint8_t(*std::min_element(v.begin(), v.end()));
  }
};

class scripted_progress : public compound_progress {
 public:
  int64_t clock = 0, tick = 1000;
  int cancel_at = -1;  // update call that aborts
  int updates = 0, opened = 0, closed = 0;
  wxString title, message;
  int range = 0;
  std::vector<int> values;

  void open(const wxString& t, const wxString& m, int r) override {
    ++opened, title = t, message = m, range = r;
  }
  bool update(int value, const wxString& m) override {
    values.push_back(value);
    message = m;
    return ++updates != cancel_at;
  }
  void close() override { ++closed; }
  int64_t now_ms() override { return clock += tick; }
};

}  // namespace

// Each vertex's colour is the maximum, minimum or average of the ramp at its
// samples; vertices whose samples lie off every frame get 0.
TEST_F(surface_compound, SamplesAlongTheNormal) {
  struct row {
    const char* name;
    double depth;
    int type;
  };
  const row rows[] = {
      {"maximum outward", 0.2, 0},  {"minimum outward", 0.2, 1},
      {"average outward", 0.2, 2},  {"other types take the minimum", 0.2, 7},
      {"maximum inward", -0.2, 0},  {"average inward", -0.23, 2},
      {"below a pixel: the vertex alone", 0.03, 0},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    set_colours(77);
    s.compound_depth = r.depth;
    s.compound_type = r.type;
    s.compound_image_data();
    int varied = 0;
    for (int i = 0; i < outside_first(); ++i) {
      ASSERT_EQ(int(s.mesh.points[i].colour), int(expected(i, r.depth, r.type))) << "vertex " << i;
      if (s.mesh.points[i].colour != s.mesh.points[0].colour) ++varied;
    }
    EXPECT_GT(varied, 100);
    for (int i = outside_first(); i < s.mesh.n_points; ++i)
      EXPECT_EQ(int(s.mesh.points[i].colour), 0) << "vertex " << i;
  }
}

// Where the nearest frame does not reach a sample point, the next nearest
// one that does gives its grey: odd frames moved sideways by half their
// width leave the left half of the sphere to the even frames.
TEST_F(surface_compound, NearestFrameThatHoldsTheSample) {
  for (int k = 1; k < FRAMES; k += 2) {
    frame_x[size_t(k)] = float(W / 2 * PIXEL);
    frame_store->positions[size_t(k)]->x = frame_x[size_t(k)];
  }
  s.compound_depth = 0.2;
  s.compound_type = 2;
  s.compound_image_data();
  int from_odd = 0, from_even_only = 0;
  for (int i = 0; i < outside_first(); ++i) {
    ASSERT_EQ(int(s.mesh.points[i].colour), int(expected(i, 0.2, 2))) << "vertex " << i;
    (s.mesh.points[i].x < frame_x[1] ? from_even_only : from_odd) += 1;
  }
  EXPECT_GT(from_odd, 50);
  EXPECT_GT(from_even_only, 50);
}

// Nothing changes without a depth, with thickness results, without positions,
// or when any frame lacks its image.
TEST_F(surface_compound, PreconditionsLeaveTheSurfaceAlone) {
  struct row {
    const char* name;
    void (*prepare)(surface_interp&);
  };
  const row rows[] = {
      {"no depth", [](surface_interp& s) { s.compound_depth = 0; }},
      {"a depth of millions of pixels", [](surface_interp& s) { s.compound_depth = -1e5; }},
      {"thickness results", [](surface_interp& s) { s.fit_error.assign(size_t(s.mesh.n_points), 1.0); }},
      {"no positions",
       [](surface_interp&) {
         resource_table->RES_POS_REC->write(false);
         base_res_t::make_pending_writes_happen();
       }},
      {"a frame without its image", [](surface_interp&) { frame_store->images[40].reset(); }},
      {"more frames than the store holds",
       [](surface_interp&) {
         resource_table->RES_BUF_FRAMES->write(FRAMES + 1);
         base_res_t::make_pending_writes_happen();
       }},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    s.compound_depth = 0.2;
    s.fit_error.clear();
    r.prepare(s);
    log_capture log;
    s.compound_image_data();
    for (int i = 0; i < s.mesh.n_points; ++i) ASSERT_EQ(int(s.mesh.points[i].colour), 77);
    // Only the impossible depth is worth a message.
    EXPECT_EQ(log.has(wxLOG_Error, "Unable to compound image data onto the surface: the "
                                   "compounding depth of -100000 cm is too large."),
              s.compound_depth == -1e5);
    // Back to a state that compounds.
    resource_table->RES_POS_REC->write(true);
    resource_table->RES_BUF_FRAMES->write(FRAMES);
    base_res_t::make_pending_writes_happen();
    if (!frame_store->images[40]) {
      auto* pixels = new uint8_t[W * H]();
      frame_store->images[40] = frame_image_t::create(pixels, W * H);
    }
  }
  s.fit_error.clear();
  s.compound_image_data();
  EXPECT_EQ(int(s.mesh.points[0].colour), int(expected(0, 0.2, 0)));
}

// The dialog opens once the work has run for 250 ms in its first quarter,
// is updated every 100 ms, and an abort keeps what was done.
TEST_F(surface_compound, ProgressAndAbort) {
  s.compound_depth = 0.2;
  s.compound_type = 0;
  scripted_progress progress;
  progress.cancel_at = 5;
  s.compound_image_data(&progress);
  const int n = s.mesh.n_points;
  EXPECT_EQ(progress.opened, 1);
  EXPECT_EQ(progress.closed, 1);
  const contour_object* objects = resource_table->RES_OBJECT->read();
  EXPECT_EQ(progress.title, "Compounding data onto " + objects[0].name);
  EXPECT_EQ(progress.range, n);
  EXPECT_EQ(progress.values, (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(progress.message, wxString::Format("Currently calculating point 5 of %d.", n));
  for (int i = 0; i < n; ++i)
    EXPECT_EQ(int(s.mesh.points[i].colour), i < 5 ? int(expected(i, 0.2, 0)) : 77) << i;

  // Quick work shows no dialog.
  set_colours(77);
  scripted_progress quick;
  quick.tick = 0;
  s.compound_image_data(&quick);
  EXPECT_EQ(quick.opened + quick.updates + quick.closed, 0);
  EXPECT_EQ(int(s.mesh.points[n - 4].colour), int(expected(n - 4, 0.2, 0)));
}
