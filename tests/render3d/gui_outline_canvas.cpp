// The 3D view on screen under Xvfb: contours on their own vertices with a
// frame without position between them, the red outline following the
// current frame, the frame texture at half opacity, the texels read back,
// injected upload failures with their one message, the shader and fixed
// paths giving the same pixels, and the change procedure's flags.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <vector>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/utils.h>

#include "common/log_capture.h"
#include "data/dynabuf.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "render3d/outline_canvas.h"
#include "tools/headless_session.h"
#include "views/gl_view_support.h"
#include "views/globcmap.h"
#include "data/reslice_info.h"
#include "medical/dicom_utility.h"
#include "views/reslice_internals.h"
#include "views/screen_capture.h"

namespace {

constexpr int CW = 240, CH = 200;
constexpr int FW = 64, FH = 32;  // frame pixels
constexpr double XS = 0.05, YS = 0.05;
const uint8_t BG[3] = {0x20, 0x40, 0x60};

bool wait_for(const std::function<bool()>& cond) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    wxTheApp->Yield(true);
    wxMilliSleep(2);
  }
  return true;
}

uint8_t pixel_value(int f, int x, int y) { return static_cast<uint8_t>(40 + 3 * x + 2 * y + 30 * f); }

contour_t square(double x0, double y0, double side) {
  contour_t c;
  c.vertices = {{x0, y0}, {x0 + side, y0}, {x0 + side, y0 + side}, {x0, y0 + side}};
  c.closed = true;
  return c;
}

class OutlineScreen : public ::testing::Test {
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
    // The clear colour alone, without the lit background.
    t.RES_BACKGROUND_CONST->write(true);
    t.RES_XSCALE->write(XS);
    t.RES_YSCALE->write(YS);
    t.RES_DISPLAY_COG->write(false);
    t.RES_SEE_MARK->write(false);
    t.RES_OUTLINE_VIEW_ANGLE->write(0);
    outline_canvas::texture_messages() = outline_texture_messages();
  }
  void TearDown() override {
    if (frame_) {
      frame_->Destroy();
      wait_for([] { return !wxTheApp->Pending(); });
      wxTheApp->ProcessIdle();  // the frame is deleted at idle time
    }
    delete colour_map;
    colour_map = nullptr;
  }

  // Frames of FW x FH at x offsets (cm); a negative offset: no position record.
  void load(const std::vector<double>& offsets, int32_t w = FW, int32_t h = FH) {
    for (size_t f = 0; f < offsets.size(); ++f) {
      auto* p = new uint8_t[static_cast<size_t>(w) * h];
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p[y * w + x] = pixel_value(static_cast<int>(f), x % 64, y % 64);
      frame_store->add_image(frame_image_t::create(p, w * h));
      if (offsets[f] < 0) {
        frame_store->positions.push_back(position_ref());
      } else {
        position_t pos;
        pos.x = static_cast<float>(offsets[f]);
        frame_store->positions.push_back(position_holder_t::create(pos));
      }
    }
    resource_table_t& t = *resource_table;
    t.RES_BUF_WIDTH->write_no_changeprocs(w);
    t.RES_BUF_HEIGHT->write_no_changeprocs(h);
    t.RES_BUF_FRAMES->write_no_changeprocs(static_cast<int32_t>(offsets.size()));
    base_res_t::make_pending_writes_happen();
  }

  void open() {
    frame_ = new wxFrame(nullptr, wxID_ANY, "outline", wxDefaultPosition, wxDefaultSize);
    view_ = new outline_canvas(frame_, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                               wxHSCROLL | wxVSCROLL | wxWANTS_CHARS, "outline_canvas");
    frame_->SetClientSize(CW, CH);
    frame_->Show();
    ASSERT_TRUE(wait_for([&] { return view_->GetClientSize() == wxSize(CW, CH) && view_->paints() > 1; }));
  }

  // Paints again and waits until the screen shows it.
  std::vector<uint8_t> screen() {
    const int before = view_->paints();
    view_->Refresh(false);
    EXPECT_TRUE(wait_for([&] { return view_->paints() > before; }));
    std::vector<uint8_t> s;
    std::vector<uint8_t> last;
    // The server shows the swapped buffer a little later: two equal reads.
    wait_for([&] {
      last = s;
      s = screenshot(view_->ClientToScreen(wxPoint(0, 0)), CW, CH);
      return !s.empty() && s == last;
    });
    return s;
  }

  // Window pixel (column, row from the top) of a world point.
  bool project(const vec3_t& p, double& col, double& row) const {
    vec3_t n;
    matrix4_transform_point(n, view_->modelview_projection(), p);
    col = (n.x + 1.0) / 2.0 * CW - 0.5;
    row = CH - ((n.y + 1.0) / 2.0 * CH) - 0.5;
    return std::isfinite(col) && std::isfinite(row);
  }

  // Whether a pixel within r of the frame point (x, y pixels) of a frame at
  // x offset `at` has the colour.
  bool near_colour(const std::vector<uint8_t>& s, double at, double x, double y, const uint8_t rgb[3], int r = 2,
                   int tol = 8) const {
    double col, row;
    if (!project({at + x * XS, y * YS, 0.0}, col, row)) return false;
    for (int dy = -r; dy <= r; ++dy)
      for (int dx = -r; dx <= r; ++dx) {
        const int c = static_cast<int>(std::lround(col)) + dx, w = static_cast<int>(std::lround(row)) + dy;
        if (c < 0 || w < 0 || c >= CW || w >= CH) continue;
        const uint8_t* p = &s[(static_cast<size_t>(w) * CW + c) * 3];
        if (std::abs(p[0] - rgb[0]) <= tol && std::abs(p[1] - rgb[1]) <= tol && std::abs(p[2] - rgb[2]) <= tol)
          return true;
      }
    return false;
  }

  headless_session session_;
  wxFrame* frame_ = nullptr;
  outline_canvas* view_ = nullptr;
};

TEST_F(OutlineScreen, ContoursLieOnTheirOwnVerticesAcrossAFrameWithoutPosition) {
  load({0.0, -1.0, 4.0});
  resource_table_t& t = *resource_table;
  contour_object* objects = t.RES_OBJECT->read();
  const uint8_t colours[3][3] = {{0, 255, 0}, {255, 0, 255}, {255, 255, 0}};
  for (int o = 0; o < 3; ++o) objects[o].colour = rgba_colour_t(colours[o][0], colours[o][1], colours[o][2]);
  objects[0].add_contour(0, square(8, 8, 16));
  objects[1].add_contour(1, square(30, 2, 28));  // on the frame without position
  contour_t one;
  one.vertices = {{5, 5}};
  objects[2].add_contour(2, one);  // a single vertex draws nothing and takes one place
  objects[2].add_contour(2, square(40, 10, 12));
  t.RES_SEE_OUTLINES->write(0);
  t.RES_SEE_DRAW->write(true);
  t.CONT->write();
  open();
  const std::vector<uint8_t> s = screen();
  ASSERT_FALSE(s.empty());
  // Edge midpoints of each drawn square.
  auto edges_shown = [&](double at, const contour_t& c, const uint8_t rgb[3]) {
    int shown = 0;
    for (size_t i = 0; i < 4; ++i) {
      const vec2_t a = c.vertices[i], b = c.vertices[(i + 1) % 4];
      shown += near_colour(s, at, (a.x + b.x) / 2, (a.y + b.y) / 2, rgb);
    }
    return shown;
  };
  EXPECT_EQ(edges_shown(0.0, square(8, 8, 16), colours[0]), 4);
  EXPECT_EQ(edges_shown(4.0, square(40, 10, 12), colours[2]), 4);
  // Frame 1's square is nowhere, and not drawn on frame 2 in frame 2's colour.
  EXPECT_EQ(edges_shown(4.0, square(30, 2, 28), colours[2]), 0);
  EXPECT_EQ(edges_shown(0.0, square(30, 2, 28), colours[1]), 0);
  EXPECT_TRUE(view_->drawn().contour_lines);
}

TEST_F(OutlineScreen, TheRedOutlineFollowsTheCurrentFrame) {
  load({0.0, 4.0});
  resource_table_t& t = *resource_table;
  t.RES_SEE_OUTLINES->write(1);
  t.RES_SEE_DRAW->write(false);
  t.RES_RESLICE_OPACITY->write(0.5);
  open();
  // The frame at half opacity lies over its outline: red shows blended.
  auto reddish = [&](const std::vector<uint8_t>& s, double at, double x, double y) {
    double col, row;
    if (!project({at + x * XS, y * YS, 0.0}, col, row)) return false;
    for (int dy = -2; dy <= 2; ++dy)
      for (int dx = -2; dx <= 2; ++dx) {
        const int c = static_cast<int>(std::lround(col)) + dx, w = static_cast<int>(std::lround(row)) + dy;
        if (c < 0 || w < 0 || c >= CW || w >= CH) continue;
        const uint8_t* p = &s[(static_cast<size_t>(w) * CW + c) * 3];
        if (p[0] - std::max(p[1], p[2]) > 80) return true;
      }
    return false;
  };
  for (int current : {0, 1, 0}) {
    t.RES_BUF_CURRENT_FRAME->write(current);
    const std::vector<uint8_t> s = screen();
    ASSERT_FALSE(s.empty());
    for (int f = 0; f < 2; ++f) {
      const double at = 4.0 * f;
      // Left and right edges, half way down; the far edge (y = FH) is not drawn.
      EXPECT_EQ(reddish(s, at, 0, FH / 2.0), f == current) << "frame " << f << " current " << current;
      EXPECT_EQ(reddish(s, at, FW, FH / 2.0), f == current);
    }
  }
}

TEST_F(OutlineScreen, OutlinesOfOtherFramesFollowTheBackground) {
  load({0.0, 4.0});
  resource_table_t& t = *resource_table;
  t.RES_SEE_OUTLINES->write(2);
  t.RES_SEE_DRAW->write(false);
  open();
  struct row {
    const char* background;
    uint8_t grey;
  };
  // One channel below 221 is enough for white outlines.
  for (const row& c : {row{"#FFFFFF", 89}, row{"#DC0000", 255}, row{"#DDDDDD", 89}}) {
    t.RES_BACKGROUND->write(c.background);
    const std::vector<uint8_t> s = screen();
    ASSERT_FALSE(s.empty());
    const uint8_t want[3] = {c.grey, c.grey, c.grey};
    EXPECT_TRUE(near_colour(s, 4.0, 0, FH / 2.0, want, 2, 2)) << c.background;
    EXPECT_TRUE(near_colour(s, 4.0, FW, FH / 2.0, want, 2, 2)) << c.background;
  }
  EXPECT_TRUE(view_->drawn().all_outlines);
}

TEST_F(OutlineScreen, LandmarksShowAsSpheresButTwoDimensionalOnesNever) {
  load({0.0, 4.0});
  resource_table_t& t = *resource_table;
  t.RES_SEE_OUTLINES->write(0);
  t.RES_SEE_DRAW->write(false);
  t.RES_SEE_MARK->write(true);
  const vec3_t mark{1.0, 0.4, 0.0}, flat{5.0, 1.2, 0.0};
  t.RES_LANDMARKS->read()->add_landmark(mark, "a", LM_DATA);
  t.RES_LANDMARKS->read()->add_landmark(flat, "b", LM_2D);
  open();
  t.LANDMARK->write();
  const std::vector<uint8_t> s = screen();
  ASSERT_FALSE(s.empty());
  const uint8_t cyan[3] = {0, 255, 255};
  EXPECT_TRUE(near_colour(s, mark.x, 0, mark.y / YS, cyan, 1, 2));
  EXPECT_FALSE(near_colour(s, flat.x, 0, flat.y / YS, cyan, 4, 60));
  EXPECT_TRUE(view_->drawn().landmarks);
}

TEST_F(OutlineScreen, AReslicePlaneGetsItsTextureAndOutlineUnlessCropped) {
  load({0.0});
  resource_table_t& t = *resource_table;
  t.RES_SEE_OUTLINES->write(1);
  t.RES_SEE_DRAW->write(false);
  open();
  // Plane 1: 48 x 48 pixels of 0.5 mm about (1.2, 1.2) in z 0.2, up +y.
  auto builder = std::make_unique<reslice_internals>(1, 48, 48);
  t.RESLICE->read()[1].set_plane({0, 0, 1}, {1.2, 1.2, 0.2}, {0, 1, 0}, true);
  const std::vector<uint8_t> s = screen();
  ASSERT_FALSE(s.empty());
  const reslice_info& rec = t.RESLICE->read()[1];
  auto pow2 = [](int32_t n) {
    int32_t p = 1;
    while (p < n) p *= 2;
    return p;
  };
  EXPECT_TRUE(view_->plane_texture(1).valid);
  EXPECT_EQ(view_->plane_texture(1).width, pow2(rec.width));
  EXPECT_EQ(view_->plane_texture(1).height, pow2(rec.height));
  EXPECT_FALSE(view_->plane_texture_update(1));
  const double hw = rec.width * 0.5 * XS, hh = rec.height * 0.5 * XS;
  EXPECT_NEAR(view_->plane_half_width(1).x, hw, 1e-12);
  EXPECT_NEAR(view_->plane_half_height(1).y, hh, 1e-12);
  // The plane's far edge lies above the frame (1.6 cm high) when the plane
  // reaches beyond it.
  const vec3_t c = rec.centre;
  ASSERT_GT(c.y + hh, 1.6 + 0.2);
  const uint8_t white[3] = {255, 255, 255};
  EXPECT_TRUE(near_colour(s, c.x, 0, (c.y + hh) / YS, white, 2, 2));
  t.RESLICE->read()[1].set_crop_surface(0);
  const std::vector<uint8_t> cropped = screen();
  EXPECT_FALSE(near_colour(cropped, c.x, 0, (c.y + hh) / YS, white, 2, 60));
  builder.reset();
}

TEST_F(OutlineScreen, ChangeProcedureRepaintsWhatItShould) {
  load({0.0, 4.0});
  resource_table_t& t = *resource_table;
  open();
  struct row {
    const char* what;
    std::function<void()> change;
    bool repaint;
  };
  const row rows[] = {
      {"opacity", [&] { t.RES_RESLICE_OPACITY->write(0.7); }, true},
      {"outlines off", [&] { t.RES_SEE_OUTLINES->write(0); }, true},
      {"paging without outlines", [&] { t.RES_BUF_CURRENT_FRAME->write(1); }, false},
      {"outlines on", [&] { t.RES_SEE_OUTLINES->write(1); }, true},
      {"paging with outlines", [&] { t.RES_BUF_CURRENT_FRAME->write(0); }, true},
      {"volume map off the Volume page", [&] { t.RES_UPDATE_VOLUME_MAP->write(); }, false},
      {"volume redisplay off the Volume page", [&] { t.RES_REDISPLAY_VOLUME->write(); }, false},
      {"font", [&] { t.RES_GLUT_FONT->write(t.RES_GLUT_FONT->read() == 2 ? 3 : 2); }, true},
      {"lighting", [&] { t.RES_LIGHTING_AMBIENT->write(0.3); }, true},
      {"layers without shader drawing",
       [&] {
         t.RES_SHADER->write(-1);
         const int before = view_->repaint_requests();
         t.RES_TRANSLUCENT_LAYERS->write(t.RES_TRANSLUCENT_LAYERS->read() + 1);
         EXPECT_EQ(view_->repaint_requests(), before);
       },
       true},
  };
  for (const row& r : rows) {
    const int before = view_->repaint_requests();
    r.change();
    EXPECT_EQ(view_->repaint_requests() > before, r.repaint) << r.what;
  }
  // Paging without outlines still marks the frame texture for the next paint.
  t.RES_SEE_OUTLINES->write(0);
  t.RES_BUF_CURRENT_FRAME->write(1);
  EXPECT_TRUE(view_->frame_texture_update());
  EXPECT_TRUE(wait_for([&] { return std::fabs(view_->lighting().ambient - 0.3) < 1e-6; }));
}

TEST_F(OutlineScreen, LeftAndRightLabelsOnTheCurrentFrameOnly) {
  load({0.0, 4.0});
  resource_table_t& t = *resource_table;
  t.RES_SEE_OUTLINES->write(1);
  t.RES_SEE_DRAW->write(false);
  open();
  const std::vector<uint8_t> off = screen();
  t.RES_DISPLAY_COG->write(true);
  const std::vector<uint8_t> on = screen();
  ASSERT_EQ(off.size(), on.size());
  // Every changed pixel lies near a corner of frame 0's near edge, some at each.
  double corners[2][2];
  ASSERT_TRUE(project({0.0, 0.0, 0.0}, corners[0][0], corners[0][1]));
  ASSERT_TRUE(project({FW * XS, 0.0, 0.0}, corners[1][0], corners[1][1]));
  int near_corner[2] = {0, 0}, elsewhere = 0;
  for (int y = 0; y < CH; ++y)
    for (int x = 0; x < CW; ++x) {
      const size_t i = (static_cast<size_t>(y) * CW + x) * 3;
      if (off[i] == on[i] && off[i + 1] == on[i + 1] && off[i + 2] == on[i + 2]) continue;
      bool counted = false;
      for (int k = 0; k < 2; ++k)
        if (std::fabs(x - corners[k][0]) < 40 && std::fabs(y - corners[k][1]) < 40) {
          ++near_corner[k];
          counted = true;
        }
      elsewhere += !counted;
    }
  EXPECT_GT(near_corner[0], 10);
  EXPECT_GT(near_corner[1], 10);
  EXPECT_EQ(elsewhere, 0);
  // Not for medical data placed by patient coordinates: the orientation
  // marker shows instead, away from the frame's corners.
  dicom_utility::patient_coordinates = true;
  t.RES_BUF_DICOM->write(true);
  const std::vector<uint8_t> dicom = screen();
  dicom_utility::patient_coordinates = false;
  t.RES_BUF_DICOM->write(false);
  ASSERT_EQ(dicom.size(), off.size());
  int at_corners = 0, marker = 0;
  for (int y = 0; y < CH; ++y)
    for (int x = 0; x < CW; ++x) {
      const size_t i = (static_cast<size_t>(y) * CW + x) * 3;
      if (dicom[i] == off[i] && dicom[i + 1] == off[i + 1] && dicom[i + 2] == off[i + 2]) continue;
      bool near = false;
      for (int k = 0; k < 2; ++k) near |= std::fabs(x - corners[k][0]) < 20 && std::fabs(y - corners[k][1]) < 20;
      (near ? at_corners : marker) += 1;
    }
  EXPECT_EQ(at_corners, 0);
  EXPECT_GT(marker, 10);
}

TEST_F(OutlineScreen, APaintDuringAnotherViewsPaintIsNotLost) {
  load({0.0});
  open();
  const int deferred = view_->deferred_paints(), painted = view_->paints();
  {
    gl_painting_scope other;
    view_->Refresh(false);
    ASSERT_TRUE(wait_for([&] { return view_->deferred_paints() > deferred; }));
  }
  EXPECT_TRUE(wait_for([&] { return view_->paints() > painted; }));
}

TEST_F(OutlineScreen, TheCurrentFrameShowsAtHalfOpacity) {
  load({0.0});
  resource_table_t& t = *resource_table;
  t.RES_SEE_OUTLINES->write(1);
  t.RES_RESLICE_OPACITY->write(0.5);
  open();
  const std::vector<uint8_t> s = screen();
  ASSERT_FALSE(s.empty());
  int checked = 0;
  for (int y = 6; y < FH - 6; y += 5)
    for (int x = 6; x < FW - 6; x += 7) {
      const double v = pixel_value(0, x, y);
      const uint8_t want[3] = {static_cast<uint8_t>(std::lround(0.5 * v + 0.5 * BG[0])),
                               static_cast<uint8_t>(std::lround(0.5 * v + 0.5 * BG[1])),
                               static_cast<uint8_t>(std::lround(0.5 * v + 0.5 * BG[2]))};
      EXPECT_TRUE(near_colour(s, 0.0, x + 0.5, y + 0.5, want, 0, 4)) << x << "," << y;
      ++checked;
    }
  EXPECT_GT(checked, 20);
  EXPECT_TRUE(view_->drawn().current_frame);
}

TEST_F(OutlineScreen, FrameTextureTexelsAreTheFrameThroughTheColourMap) {
  load({0.0}, 640, 480);
  open();
  ASSERT_TRUE(view_->frame_texture().valid);
  EXPECT_EQ(view_->frame_texture().width, 1024);
  EXPECT_EQ(view_->frame_texture().height, 512);
  ASSERT_TRUE(view_->make_current());
  std::vector<uint8_t> texels(1024 * 512 * 4);
  glBindTexture(GL_TEXTURE_2D, view_->frame_texture().name);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  int bad = 0;
  for (int y = 0; y < 512; y += 3)
    for (int x = 0; x < 1024; x += 5) {
      const uint8_t* p = &texels[(static_cast<size_t>(y) * 1024 + x) * 4];
      if (x < 640 && y < 480) {
        const uint8_t v = pixel_value(0, x % 64, y % 64);
        bad += p[0] != v || p[1] != v || p[2] != v || p[3] != 255;
      } else {
        bad += p[0] != 51 || p[1] != 25 || p[2] != 25 || p[3] != 255;
      }
    }
  EXPECT_EQ(bad, 0);
}

TEST_F(OutlineScreen, RefusedUploadsShrinkOnceAndReportOncePerRun) {
  struct row {
    int32_t w, h;       // frame size
    int32_t limit;      // largest texel count the upload takes
    int32_t tw, th;     // texture after the upload, 0: none
  };
  for (const row& c : {row{100, 40, 128 * 64 - 1, 64, 64}, row{40, 100, 64 * 128 - 1, 64, 64},
                       row{100, 100, 128 * 128 - 1, 64, 64}, row{100, 100, 10, 0, 0}}) {
    SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h << " limit " << c.limit);
    frame_store->clear();
    load({0.0}, c.w, c.h);
    if (!view_) open();
    outline_canvas::texture_messages() = outline_texture_messages();
    log_capture log;
    int calls = 0;
    view_->set_texture_upload([&](int32_t w, int32_t h, const uint8_t* texels) {
      ++calls;
      return w * h <= c.limit && outline_canvas::gl_texture_upload(w, h, texels);
    });
    ASSERT_TRUE(view_->make_current());
    for (int k = 0; k < 3; ++k) view_->generate_bscan_texture(0);
    EXPECT_EQ(calls, 6);
    EXPECT_EQ(view_->frame_texture().valid, c.tw > 0);
    if (c.tw > 0) {
      EXPECT_EQ(view_->frame_texture().width, c.tw);
      EXPECT_EQ(view_->frame_texture().height, c.th);
    }
    EXPECT_EQ(log.count(wxLOG_Error), 1);
    EXPECT_TRUE(log.has(wxLOG_Error, c.tw > 0 ? "Unable to create a suitably large image texture map.\nOnly part"
                                               : "Unable to create an image texture map.\nTexturing disabled."));
    view_->set_texture_upload(&outline_canvas::gl_texture_upload);
  }
}

TEST_F(OutlineScreen, ShaderAndFixedPipelineGiveTheSamePixels) {
  load({0.0, 4.0});
  resource_table_t& t = *resource_table;
  contour_object* objects = t.RES_OBJECT->read();
  objects[0].colour = rgba_colour_t(0, 255, 0);
  objects[0].add_contour(1, square(8, 8, 16));
  t.RES_SEE_OUTLINES->write(2);
  t.RES_SEE_DRAW->write(true);
  t.RES_RESLICE_OPACITY->write(0.5);
  t.RES_SHADER->write(2);
  t.CONT->write();
  open();
  const bool gl21 = std::getenv("MESA_GL_VERSION_OVERRIDE") != nullptr;
  EXPECT_EQ(view_->shader_drawing(), !gl21);
  const std::vector<uint8_t> a = screen();
  t.RES_SHADER->write(-1);
  EXPECT_FALSE(view_->shader_drawing());
  const std::vector<uint8_t> b = screen();
  ASSERT_EQ(a.size(), b.size());
  ASSERT_FALSE(a.empty());
  int worst = 0, differing = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const int d = std::abs(a[i] - b[i]);
    worst = std::max(worst, d);
    differing += d > 1;
  }
  EXPECT_LE(worst, 1) << differing << " channels differ by more than 1";
  // And the scene is there: the frame, its outline and the contour.
  EXPECT_GT(static_cast<int>(std::count_if(b.begin(), b.end(), [](uint8_t v) { return v == 255; })), 50);
}

TEST_F(OutlineScreen, ChangeProcedureFlagsZoomTextAndScrolling) {
  load({0.0, 4.0});
  resource_table_t& t = *resource_table;
  t.RES_LOCK_ZOOM->write(true);
  open();
  // A new zoom is reported; the same zoom again writes nothing.
  t.RES_ALERT_STRING->write("");
  t.RES_OUTLINE_ZOOM->write(2.5);
  EXPECT_EQ(t.RES_ALERT_STRING->read(), "Outline zoom factor 2.50");
  t.RES_ALERT_STRING->write("");
  t.RES_OUTLINE_ZOOM->write(2.5);
  EXPECT_EQ(t.RES_ALERT_STRING->read(), "");
  t.RES_OUTLINE_VIEW_ANGLE->write(30);
  EXPECT_EQ(t.RES_ALERT_STRING->read(), "Outline perspective is 30 degrees");
  t.RES_OUTLINE_VIEW_ANGLE->write(0);
  EXPECT_EQ(t.RES_ALERT_STRING->read(), "Outline view is orthographic");

  // A wheel notch in and out restores the zoom.
  wxMouseEvent wheel(wxEVT_MOUSEWHEEL);
  wheel.m_wheelRotation = 120;
  wheel.m_wheelDelta = 120;
  view_->OnMouse(wheel);
  EXPECT_NEAR(t.RES_OUTLINE_ZOOM->read(), 2.5 * 1.05, 1e-12);
  wheel.m_wheelRotation = -120;
  view_->OnMouse(wheel);
  EXPECT_NEAR(t.RES_OUTLINE_ZOOM->read(), 2.5, 1e-12);

  // A reslice redisplay on the Volume page keeps volume rendering on.
  t.RES_CURRENT_VISUAL_PAGE->write(3);
  EXPECT_TRUE(view_->volume_page());
  t.RES_REDISPLAY_RESLICE0->write();
  EXPECT_TRUE(view_->volume_page());
  t.RES_CURRENT_VISUAL_PAGE->write(0);
  EXPECT_FALSE(view_->volume_page());

  // The scroll point is clamped; a degenerate orientation is refused.
  view_->set_scroll_point(2.0, -1.0);
  EXPECT_EQ(view_->scroll_point_x(), 1.0);
  EXPECT_EQ(view_->scroll_point_y(), 0.0);
  double front[3] = {1, 0, 0}, right[3] = {2, 0, 0};
  EXPECT_FALSE(view_->set_orientation(front, right));
  EXPECT_EQ(t.RES_OUTLINE_VIEWZ_Z->read(), 1.0);
  double f2[3] = {0, 0, 3}, r2[3] = {0, 2, 0};
  EXPECT_TRUE(view_->set_orientation(f2, r2));
  EXPECT_EQ(t.RES_OUTLINE_VIEWX_Y->read(), 1.0);
  EXPECT_EQ(t.RES_OUTLINE_VIEWZ_Z->read(), 1.0);

  // The centre and extent: a 2D landmark never moves them.
  const vec3_t c0 = view_->centre_of_gravity();
  const double e0 = view_->view_extent();
  EXPECT_NEAR(c0.x, (4.0 + FW * XS) / 2, 1e-9);
  t.RES_LANDMARKS->read()->add_landmark({50, 50, 50}, "flat", LM_2D);
  t.FIDUCIAL->write();
  EXPECT_NEAR(view_->centre_of_gravity().x, c0.x, 1e-12);
  EXPECT_NEAR(view_->view_extent(), e0, 1e-12);
  t.RES_LANDMARKS->read()->add_landmark({50, 50, 50}, "far", LM_DATA);
  t.LANDMARK->write();  // a landmark alone does not recompute
  EXPECT_NEAR(view_->centre_of_gravity().x, c0.x, 1e-12);
  t.FIDUCIAL->write();
  EXPECT_GT(view_->centre_of_gravity().x, c0.x + 1.0);
}

}  // namespace
