// The 3D view's surface pass on screen under Xvfb: overlapping translucent
// slabs composited front to back by depth peeling whatever their object
// order, the layer count, the fallback, translucent reslice planes peeled
// without surfaces, a failing depth blit reported once; and the reslice
// planes' quads, slabs and holes.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <functional>
#include <vector>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/utils.h>

#include "common/log_capture.h"
#include "data/dynabuf.h"
#include "data/objects.h"
#include "data/reslice_info.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "render3d/outline_canvas.h"
#include "surfaces/surface_interp.h"
#include "tools/headless_session.h"
#include "views/gl_view_support.h"
#include "views/globcmap.h"
#include "views/reslice_internals.h"
#include "views/screen_capture.h"

namespace {

constexpr int CW = 240, CH = 200;
constexpr int FW = 64, FH = 32;
constexpr double XS = 0.05;
const double BG[3] = {0x20, 0x40, 0x60};

bool wait_for(const std::function<bool()>& cond) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    wxTheApp->Yield(true);
    wxMilliSleep(2);
  }
  return true;
}

struct box {
  double x0, x1, y0, y1, z0, z1;
};

// A closed box with outward, counter-clockwise faces.
surface_interp* box_surface(const box& b, int object) {
  auto* s = new surface_interp(object);
  const double xs[2] = {b.x0, b.x1}, ys[2] = {b.y0, b.y1}, zs[2] = {b.z0, b.z1};
  s->mesh.n_points = 8;
  s->mesh.points = new surface_point[8];
  const vec3_t c{(b.x0 + b.x1) / 2, (b.y0 + b.y1) / 2, (b.z0 + b.z1) / 2};
  for (int i = 0; i < 8; ++i) {
    surface_point& p = s->mesh.points[i];
    p.x = xs[i & 1], p.y = ys[(i >> 1) & 1], p.z = zs[(i >> 2) & 1];
    const double len = std::sqrt((p.x - c.x) * (p.x - c.x) + (p.y - c.y) * (p.y - c.y) + (p.z - c.z) * (p.z - c.z));
    p.nx = (p.x - c.x) / len, p.ny = (p.y - c.y) / len, p.nz = (p.z - c.z) / len;
  }
  const int quads[6][4] = {{0, 2, 6, 4}, {1, 5, 7, 3}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 6, 7, 5}};
  const vec3_t outward[6] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
  s->mesh.n_triangles = 12;
  s->mesh.triangles = new surface_triangle[12];
  for (int f = 0; f < 6; ++f) {
    int q[4] = {quads[f][0], quads[f][1], quads[f][2], quads[f][3]};
    auto at = [&](int k) {
      const surface_point& p = s->mesh.points[q[k]];
      return vec3_t{p.x, p.y, p.z};
    };
    const vec3_t a = at(0), bb = at(1), cc = at(2);
    const vec3_t u{bb.x - a.x, bb.y - a.y, bb.z - a.z}, v{cc.x - a.x, cc.y - a.y, cc.z - a.z};
    const vec3_t n{u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
    if (n.x * outward[f].x + n.y * outward[f].y + n.z * outward[f].z < 0) std::swap(q[1], q[3]);
    s->mesh.triangles[2 * f] = {q[0], q[1], q[2], 1};
    s->mesh.triangles[2 * f + 1] = {q[0], q[2], q[3], 1};
  }
  s->volume = (b.x1 - b.x0) * (b.y1 - b.y0) * (b.z1 - b.z0);
  s->centroid = c;
  return s;
}

// Front to back "over" of faces of opacity a over the background.
std::array<double, 3> over(const std::vector<std::array<double, 3>>& faces, double a) {
  std::array<double, 3> out{0, 0, 0};
  double through = 1.0;
  for (const auto& c : faces) {
    for (int k = 0; k < 3; ++k) out[k] += through * a * c[k];
    through *= 1.0 - a;
  }
  for (int k = 0; k < 3; ++k) out[k] += through * BG[k];
  return out;
}

class SurfaceScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    static int attributes[] = {WX_GL_RGBA,      WX_GL_DOUBLEBUFFER, WX_GL_DEPTH_SIZE, 16,
                               WX_GL_MIN_ALPHA, 8,                  WX_GL_MIN_RED,    8,
                               WX_GL_MIN_GREEN, 8,                  WX_GL_MIN_BLUE,   8,
                               0};
    gl_attributes = attributes;
    colour_map = new globcmap_t;
    resource_table_t& t = *resource_table;
    t.RES_EXEC_DIR->write(NV_RUNTIME_DIR);
    t.RES_BACKGROUND->write("#204060");
    t.RES_BACKGROUND_CONST->write(true);
    t.RES_XSCALE->write(XS);
    t.RES_YSCALE->write(XS);
    t.RES_DISPLAY_COG->write(false);
    t.RES_SEE_MARK->write(false);
    t.RES_SEE_OUTLINES->write(0);
    t.RES_SEE_DRAW->write(true);
    t.RES_SEE_SSM->write(false);
    t.RES_OUTLINE_VIEW_ANGLE->write(0);
    t.RES_SHADER->write(0);
    t.RES_LIGHTING_AMBIENT->write(1.0);
    t.RES_RESLICE_OPACITY->write(1.0);
    outline_canvas::texture_messages() = outline_texture_messages();
    // One frame gives the view its content and extent.
    add_frame(0.0);
  }

  // A uniform frame of grey 200 at height z.
  void add_frame(double z) {
    auto* p = new uint8_t[FW * FH];
    std::fill(p, p + FW * FH, uint8_t(200));
    frame_store->add_image(frame_image_t::create(p, FW * FH));
    position_t at;
    at.z = static_cast<float>(z);
    frame_store->positions.push_back(position_holder_t::create(at));
    resource_table_t& t = *resource_table;
    t.RES_BUF_WIDTH->write_no_changeprocs(FW);
    t.RES_BUF_HEIGHT->write_no_changeprocs(FH);
    t.RES_BUF_FRAMES->write_no_changeprocs(static_cast<int32_t>(frame_store->positions.size()));
    base_res_t::make_pending_writes_happen();
  }
  void TearDown() override {
    if (frame_) {
      frame_->Destroy();
      wait_for([] { return !wxTheApp->Pending(); });
      wxTheApp->ProcessIdle();
    }
    delete colour_map;
    colour_map = nullptr;
  }

  void open() {
    frame_ = new wxFrame(nullptr, wxID_ANY, "surfaces", wxDefaultPosition, wxDefaultSize);
    view_ = new outline_canvas(frame_, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                               wxHSCROLL | wxVSCROLL | wxWANTS_CHARS, "outline_canvas");
    frame_->SetClientSize(CW, CH);
    frame_->Show();
    ASSERT_TRUE(wait_for([&] { return view_->GetClientSize() == wxSize(CW, CH) && view_->paints() > 1; }));
  }

  std::vector<uint8_t> screen() {
    const int before = view_->paints();
    view_->Refresh(false);
    EXPECT_TRUE(wait_for([&] { return view_->paints() > before; }));
    std::vector<uint8_t> s, last;
    wait_for([&] {
      last = s;
      s = screenshot(view_->ClientToScreen(wxPoint(0, 0)), CW, CH);
      return !s.empty() && s == last;
    });
    return s;
  }

  bool project(const vec3_t& p, double& col, double& row) const {
    vec3_t n;
    matrix4_transform_point(n, view_->modelview_projection(), p);
    col = (n.x + 1.0) / 2.0 * CW - 0.5;
    row = CH - ((n.y + 1.0) / 2.0 * CH) - 0.5;
    return std::isfinite(col) && std::isfinite(row);
  }

  // The pixel at world point (x, y, 0).
  std::array<int, 3> pixel(const std::vector<uint8_t>& s, double x, double y) const {
    double col, row;
    if (!project({x, y, 0.0}, col, row)) return {-1, -1, -1};
    const int c = static_cast<int>(std::lround(col)), r = static_cast<int>(std::lround(row));
    if (c < 0 || r < 0 || c >= CW || r >= CH) return {-1, -1, -1};
    const uint8_t* p = &s[(static_cast<size_t>(r) * CW + c) * 3];
    return {p[0], p[1], p[2]};
  }

  void give_surface(int object, const box& b, const uint8_t rgb[3], double opacity) {
    resource_table_t& t = *resource_table;
    contour_object& o = t.RES_OBJECT->read()[object];
    o.colour = rgba_colour_t(rgb[0], rgb[1], rgb[2]);
    o.opacity = opacity;
    t.RES_SURFACE[object]->write(box_surface(b, object));
  }

  headless_session session_;
  wxFrame* frame_ = nullptr;
  outline_canvas* view_ = nullptr;
};

// Three slabs one behind the other, overlapping in x: A nearest.
const box kSlabs[3] = {{0.3, 1.9, 0.3, 1.3, 0.3, 0.5}, {1.0, 2.6, 0.3, 1.3, 0.0, 0.2}, {1.5, 3.0, 0.3, 1.3, -0.4, -0.2}};
const uint8_t kColours[3][3] = {{255, 0, 0}, {0, 255, 0}, {40, 40, 255}};
// Sample x of each region and the slabs seen there, front to back.
struct region {
  double x;
  std::vector<int> slabs;
};
const region kRegions[] = {{0.65, {0}}, {1.25, {0, 1}}, {1.7, {0, 1, 2}}, {2.25, {1, 2}}, {2.8, {2}}};

std::array<double, 3> expected_over(const std::vector<int>& slabs, size_t layers) {
  std::vector<std::array<double, 3>> faces;
  for (int k : slabs)
    for (int side = 0; side < 2; ++side)
      faces.push_back({double(kColours[k][0]), double(kColours[k][1]), double(kColours[k][2])});
  if (faces.size() > layers) faces.resize(layers);
  return over(faces, 0.5);
}

TEST_F(SurfaceScreen, PeelingCompositesOverlappingSlabsFrontToBackInAnyObjectOrder) {
  int order[3] = {0, 1, 2};
  open();
  if (!view_->shader_drawing()) GTEST_SKIP() << "depth peeling needs the shader programs";
  resource_table_t& t = *resource_table;
  do {
    for (int slab = 0; slab < 3; ++slab) give_surface(order[slab], kSlabs[slab], kColours[slab], 0.5);
    const std::vector<uint8_t> s = screen();
    ASSERT_FALSE(s.empty());
    EXPECT_EQ(view_->last_translucent_pass(), 1);
    for (const region& r : kRegions) {
      const std::array<double, 3> want = expected_over(r.slabs, 6);
      const std::array<int, 3> got = pixel(s, r.x, 0.8);
      for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(got[k], want[k], 2.0) << "order " << order[0] << order[1] << order[2] << " x " << r.x
                                          << " channel " << k;
    }
    for (int j = 0; j < 3; ++j) {
      surface_interp* old = t.RES_SURFACE[j]->read();
      t.RES_SURFACE[j]->write(nullptr);
      delete old;
    }
  } while (std::next_permutation(order, order + 3));
}

TEST_F(SurfaceScreen, OneLayerKeepsTheNearestFaceAndNoLayersFallsBack) {
  for (int slab = 0; slab < 3; ++slab) give_surface(slab, kSlabs[slab], kColours[slab], 0.5);
  open();
  if (!view_->shader_drawing()) GTEST_SKIP() << "depth peeling needs the shader programs";
  resource_table_t& t = *resource_table;
  t.RES_TRANSLUCENT_LAYERS->write(1);
  std::vector<uint8_t> s = screen();
  EXPECT_EQ(view_->last_translucent_pass(), 1);
  for (const region& r : kRegions) {
    const std::array<double, 3> want = expected_over(r.slabs, 1);
    const std::array<int, 3> got = pixel(s, r.x, 0.8);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[k], want[k], 2.0) << "x " << r.x << " channel " << k;
  }
  t.RES_TRANSLUCENT_LAYERS->write(0);
  s = screen();
  EXPECT_EQ(view_->last_translucent_pass(), 2);
  // The fallback still draws every slab translucent over the background.
  for (const region& r : kRegions) {
    const std::array<int, 3> got = pixel(s, r.x, 0.8);
    EXPECT_GT(std::abs(got[0] - BG[0]) + std::abs(got[1] - BG[1]) + std::abs(got[2] - BG[2]), 40) << r.x;
  }
  EXPECT_TRUE(view_->drawn().surfaces);
}

TEST_F(SurfaceScreen, AFailingDepthBlitIsReportedOnceAndLaterPaintsFallBackSilently) {
  for (int slab = 0; slab < 3; ++slab) give_surface(slab, kSlabs[slab], kColours[slab], 0.5);
  open();
  if (!view_->shader_drawing()) GTEST_SKIP() << "depth peeling needs the shader programs";
  log_capture log;
  view_->set_peel_fault([](int stage) { return stage == 1 ? unsigned(GL_INVALID_OPERATION) : 0u; });
  for (int paint = 0; paint < 2; ++paint) {
    const std::vector<uint8_t> s = screen();
    EXPECT_EQ(view_->last_translucent_pass(), 2);
  }
  int reports = 0;
  for (const auto& r : log.records())
    reports += r.text == "Depth buffer format not matched in depth peeling (error 1282).\n"
                         "Correct translucency not available." &&
               r.level == wxLOG_Error;
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(log.count(wxLOG_Error), 1);
  // Without the fault the same view peels again.
  view_->set_peel_fault(nullptr);
  screen();
  EXPECT_EQ(view_->last_translucent_pass(), 1);
}

TEST_F(SurfaceScreen, TranslucentReslicePlanesArePeeledWithoutSurfaces) {
  add_frame(0.2);  // the plane lies between two frames
  open();
  if (!view_->shader_drawing()) GTEST_SKIP() << "depth peeling needs the shader programs";
  resource_table_t& t = *resource_table;
  auto builder = std::make_unique<reslice_internals>(1, 48, 48);
  t.RESLICE->read()[1].set_plane({0, 0, 1}, {1.6, 0.8, 0.1}, {0, 1, 0}, true);
  t.RES_RESLICE_OPACITY->write(0.5);
  // Without peeling the paint draws the plane after the surface pass.
  t.RES_TRANSLUCENT_LAYERS->write(0);
  const std::vector<uint8_t> plain = screen();
  EXPECT_FALSE(view_->drawn().translucent_planes);
  EXPECT_TRUE(view_->drawn().plane_textures);
  t.RES_TRANSLUCENT_LAYERS->write(4);
  const std::vector<uint8_t> peeled = screen();
  EXPECT_EQ(view_->last_translucent_pass(), 1);
  EXPECT_TRUE(view_->drawn().translucent_planes);
  const std::array<int, 3> a = pixel(plain, 1.6, 0.8), b = pixel(peeled, 1.6, 0.8);
  // The grey 200 of the data at half opacity over the background, both ways.
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(a[k], 0.5 * 200 + 0.5 * BG[k], 2) << k;
    EXPECT_NEAR(b[k], 0.5 * 200 + 0.5 * BG[k], 2) << k;
  }
}

}  // namespace
