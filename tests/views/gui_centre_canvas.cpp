// The centre view on screen: the reslice of plane 0 and the panorama read
// back from the X display equal the builders' images through the display
// colour map, on either drawing path; the image border and the panorama's
// frame strip; scroll bars and scrolling; the Volume page's panel with its
// handles; and the mouse and keys turning the Reslice page's plane.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/utils.h>

#include "data/objects.h"
#include "registry/res_values.h"
#include "geometry_test_support.h"
#include "reslice_test_support.h"
#include "screen_capture.h"
#include "views/centre_canvas.h"
#include "views/gl_view_support.h"
#include "views/globcmap.h"
#include "views/panorama_internals.h"
#include "views/reslice_internals.h"
#include "view_test_support.h"

namespace {

constexpr int CW = 120, CH = 100;
constexpr int PW = 64, PH = 40;  // plane 0's image
constexpr uint8_t BG[3] = {0x20, 0x40, 0x60};
constexpr double kPi = 3.14159265358979323846;

// The test program also runs with MESA_GL_VERSION_OVERRIDE=2.1: the
// fixed-function path must then give the very same pixels.
bool forced_gl21() {
  const char* v = std::getenv("MESA_GL_VERSION_OVERRIDE");
  return v && std::strcmp(v, "2.1") == 0;
}

void expect_near(const vec3_t& got, const vec3_t& want, const char* what) {
  EXPECT_NEAR(got.x, want.x, 1e-9) << what;
  EXPECT_NEAR(got.y, want.y, 1e-9) << what;
  EXPECT_NEAR(got.z, want.z, 1e-9) << what;
}

class CentreCanvasScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    use_screen_gl_attributes();
    session_ = std::make_unique<headless_session>();
    screen_resource_defaults();
    resource_table_t& t = *resource_table;
    t.RES_CENTRE_ZOOM->write(1.0);
    t.RES_USE_SCROLLBARS->write(false);
    t.RES_SEE_OUTLINES->write(0);
    t.RES_DISPLAY_COG->write(false);
    frame_ = new wxFrame(nullptr, wxID_ANY, "centre", wxDefaultPosition, wxDefaultSize);
    view_ = new centre_canvas(frame_, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                              wxHSCROLL | wxVSCROLL | wxWANTS_CHARS, "centre_canvas");
    frame_->SetClientSize(CW, CH);
    frame_->Show();
    ASSERT_TRUE(wait_for([&] { return view_->GetClientSize() == wxSize(CW, CH) && view_->paints() > 0; }));
  }
  void TearDown() override {
    close_screen(frame_);
    drop_colour_map();
    session_.reset();
  }

  void repaint() {
    const int before = view_->paints();
    view_->Refresh(false);
    ASSERT_TRUE(wait_for([&] { return view_->paints() > before; }));
  }

  // The Reslice page's plane: plane 0 lying in frame 1 of a three-frame stack.
  reslice_internals* open_plane0() {
    stack_.load({0, 0.1, 0.2});
    auto* builder = new reslice_internals(0, 0, 0);  // the table deletes it
    reslice_info& plane = *builder->plane();
    plane.set_width(PW);
    plane.set_height(PH);
    plane.set_plane({0, 0, 1}, {1.2, 1.2, 0.1}, {0, 1, 0}, true);
    EXPECT_TRUE(wait_for([&] { return view_->image_shown() && view_->state().g.image_width == PW; }));
    return builder;
  }

  // A panoramic recording, three frames side by side along x, and its
  // panorama with frame 1 current.
  panorama_internals* open_panorama() {
    resource_table_t& t = *resource_table;
    const int w = 48, h = 48;
    for (int k = 0; k < 3; ++k) {
      position_t p;
      p.x = static_cast<float>(0.5 * k);  // 10 pixels of 0.05 cm
      frame_store->positions.push_back(position_holder_t::create(p));
      frame_store->timestamps.push_back(0);
      auto* px = new uint8_t[w * h];
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px[y * w + x] = synthetic_stack::pattern(k, x, y);
      frame_store->add_image(frame_image_t::create(px, w * h));
    }
    t.RES_BUF_WIDTH->write(w);
    t.RES_BUF_HEIGHT->write(h);
    t.RES_XSCALE->write(0.05);
    t.RES_YSCALE->write(0.05);
    t.RES_POS_REC->write(true);
    t.RES_BUF_FRAMES->write(3);
    t.RES_BUF_CURRENT_FRAME->write(1);
    auto* panorama = new panorama_internals(false);
    t.RES_PANORAMA->write(panorama);
    return panorama;
  }

  std::vector<uint8_t> screen() {
    const wxSize c = view_->GetClientSize();
    return screenshot(view_->ClientToScreen(wxPoint(0, 0)), c.x, c.y);
  }

  // Mismatches between the screen and an image of w x h placed at the top
  // left through the colour map (0 shows the background), the background
  // elsewhere; pixels that skip() names are not compared.
  int mismatches(const std::vector<uint8_t>& s, const uint8_t* image, int w, int h,
                 const std::function<bool(const uint8_t*)>& skip = nullptr) {
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    colour_map->map_to_rgb(image, w, h, rgb.data(), w, h, 1);
    int bad = 0;
    for (int y = 0; y < CH; ++y)
      for (int x = 0; x < CW; ++x) {
        const uint8_t* got = &s[(static_cast<size_t>(y) * CW + x) * 3];
        if (skip && skip(got)) continue;
        for (int k = 0; k < 3; ++k) {
          const bool data = x < w && y < h && image[y * w + x] != 0;
          const uint8_t want = data ? rgb[(static_cast<size_t>(y) * w + x) * 3 + k] : BG[k];
          if (got[k] != want && bad++ < 5)
            ADD_FAILURE() << "pixel " << x << "," << y << " channel " << k << ": " << int(got[k]) << " not "
                          << int(want);
        }
      }
    return bad;
  }

  void mouse(wxEventType type, int x, int y, bool left_down) {
    wxMouseEvent e(type);
    e.m_x = x;
    e.m_y = y;
    e.m_leftDown = left_down;
    e.SetEventObject(view_);
    view_->GetEventHandler()->ProcessEvent(e);
  }

  bool key(int code, bool shift = false) {
    wxKeyEvent e(wxEVT_KEY_DOWN);
    e.m_keyCode = code;
    e.m_shiftDown = shift;
    e.SetEventObject(view_);
    view_->GetEventHandler()->ProcessEvent(e);
    return !e.GetSkipped();
  }

  std::unique_ptr<headless_session> session_;
  synthetic_stack stack_;
  wxFrame* frame_ = nullptr;
  centre_canvas* view_ = nullptr;
};

bool exact(const uint8_t* p, int r, int g, int b) { return p[0] == r && p[1] == g && p[2] == b; }

TEST_F(CentreCanvasScreen, NoBuilderShowsOnlyTheBackground) {
  repaint();
  const std::vector<uint8_t> s = screen();
  EXPECT_EQ(channels_unlike(s, CW * CH, BG), 0);
  EXPECT_FALSE(view_->image_shown());
}

TEST_F(CentreCanvasScreen, PlaneZeroShowsItsReslice) {
  reslice_internals* builder = open_plane0();
  repaint();
  const uint8_t* image = builder->get_image();
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(mismatches(screen(), image, PW, PH), 0);

  // The saved view equals what is shown; other image types still load.
  const std::string dir =
      (std::filesystem::temp_directory_path() / ("nv-centre-" + std::to_string(::getpid()))).string();
  std::filesystem::create_directories(dir);
  const wxString png = dir + "/view.png";
  ASSERT_TRUE(view_->dump_window(png, wxBITMAP_TYPE_PNG));
  wxImage saved;
  ASSERT_TRUE(saved.LoadFile(png, wxBITMAP_TYPE_PNG));
  ASSERT_EQ(saved.GetWidth(), PW);
  ASSERT_EQ(saved.GetHeight(), PH);
  const std::vector<uint8_t> s = screen();
  int bad = 0;
  for (int y = 0; y < PH; ++y)
    for (int x = 0; x < PW; ++x)
      for (int k = 0; k < 3; ++k)
        bad += saved.GetData()[(y * PW + x) * 3 + k] != s[(static_cast<size_t>(y) * CW + x) * 3 + k];
  EXPECT_EQ(bad, 0);
  for (wxBitmapType type : {wxBITMAP_TYPE_PNG, wxBITMAP_TYPE_JPEG, wxBITMAP_TYPE_BMP, wxBITMAP_TYPE_TIFF})
    EXPECT_NE(wxImage::FindHandler(type), nullptr) << type;
  std::filesystem::remove_all(dir);
}

// The OpenGL 3 blit and the raster position put the same pixels on screen;
// under MESA_GL_VERSION_OVERRIDE=2.1 only the raster path exists and still
// shows the reslice exactly.
TEST_F(CentreCanvasScreen, BothDrawingPathsShowTheSamePixels) {
  reslice_internals* builder = open_plane0();
  repaint();
  EXPECT_EQ(view_->gl3_path(), !forced_gl21());
  const std::vector<uint8_t> first = screen();
  EXPECT_EQ(mismatches(first, builder->get_image(), PW, PH), 0);
  view_->force_raster_path(true);
  repaint();
  const std::vector<uint8_t> raster = screen();
  EXPECT_EQ(mismatches(raster, builder->get_image(), PW, PH), 0);
  EXPECT_TRUE(first == raster);
}

// With outlines on, the image's right and lower edges carry a white line on
// a dark background.
TEST_F(CentreCanvasScreen, OutlinesBorderTheImage) {
  open_plane0();
  resource_table->RES_SEE_OUTLINES->write(1);
  repaint();
  const std::vector<uint8_t> s = screen();
  auto white = [&](int x, int y) { return exact(&s[(static_cast<size_t>(y) * CW + x) * 3], 255, 255, 255); };
  // Lines on a pixel boundary may land on either side of it.
  for (int y : {5, 20, 35}) EXPECT_TRUE(white(PW, y) || white(PW - 1, y)) << "right edge, row " << y;
  for (int x : {5, 30, 60}) EXPECT_TRUE(white(x, PH) || white(x, PH + 1)) << "lower edge, column " << x;
  EXPECT_FALSE(white(PW + 3, 20));
  EXPECT_FALSE(white(30, PH + 3));
  EXPECT_FALSE(white(30, PH - 2));
}

// A panoramic recording: three frames side by side along x. The panorama is
// shown with its border, and the current frame's strip in red along the
// corners the builder gives.
TEST_F(CentreCanvasScreen, PanoramaShowsWithTheCurrentFramesStrip) {
  panorama_internals* panorama = open_panorama();
  ASSERT_TRUE(panorama->is_panoramic());
  ASSERT_TRUE(wait_for([&] { return view_->image_shown() && view_->source().panorama; }));
  repaint();
  int32_t pw = 0, ph = 0;
  panorama->get_size(pw, ph);
  ASSERT_NE(panorama->get_image(), nullptr);
  ASSERT_LE(pw, CW);
  ASSERT_LE(ph, CH);
  const std::vector<uint8_t> s = screen();
  auto red = [](const uint8_t* p) { return exact(p, 255, 0, 0); };
  auto line = [](const uint8_t* p) { return exact(p, 255, 0, 0) || exact(p, 255, 255, 255); };
  EXPECT_EQ(mismatches(s, panorama->get_image(), pw, ph, line), 0);

  // Every red pixel lies on the strip's outline, and the outline is drawn.
  vec3_t c[4];
  ASSERT_TRUE(panorama->frame_corners(1, c));
  auto distance_to_outline = [&](double x, double y) {
    double best = 1e9;
    for (int i = 0; i < 4; ++i) {
      const vec3_t& a = c[i];
      const vec3_t& b = c[(i + 1) % 4];
      const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
      const double f = len2 > 0 ? std::clamp(((x - a.x) * dx + (y - a.y) * dy) / len2, 0.0, 1.0) : 0.0;
      best = std::min(best, std::hypot(x - a.x - f * dx, y - a.y - f * dy));
    }
    return best;
  };
  int reds = 0;
  for (int y = 0; y < CH; ++y)
    for (int x = 0; x < CW; ++x)
      if (red(&s[(static_cast<size_t>(y) * CW + x) * 3])) {
        ++reds;
        // Overlays put image row y on the window's pixel boundary below
        // screen row y: a screen pixel's centre is image point (x + 0.5, y - 0.5).
        EXPECT_LT(distance_to_outline(x + 0.5, y - 0.5), 1.6) << x << "," << y;
      }
  EXPECT_GT(reds, ph);  // at least its two long sides
}

// Zoomed past the window, the view gets scroll bars over the display in image
// pixels, and a thumb track moves the image by the zoomed offset.
TEST_F(CentreCanvasScreen, ScrollBarsAppearAndScrollTheImage) {
  resource_table_t& t = *resource_table;
  t.RES_USE_SCROLLBARS->write(true);
  t.RES_DISPLAY_PIXELS->write(true);  // nearest pixels: each image pixel a 3 x 3 block
  reslice_internals* builder = open_plane0();
  // Fitting the window, no bar has anywhere to go.
  EXPECT_LE(view_->GetScrollRange(wxHORIZONTAL), 1);
  EXPECT_LE(view_->GetScrollRange(wxVERTICAL), 1);
  t.RES_CENTRE_ZOOM->write(3.0);
  EXPECT_EQ(t.RES_ALERT_STRING->read(), "Centre zoom factor 3.00");
  ASSERT_TRUE(wait_for([&] { return view_->GetScrollRange(wxVERTICAL) > 0; }));
  EXPECT_EQ(view_->GetScrollRange(wxHORIZONTAL), 64);  // 192 display pixels / 3
  EXPECT_EQ(view_->GetScrollRange(wxVERTICAL), 40);    // 120 / 3

  for (const auto& [o, position] : {std::pair{wxHORIZONTAL, 10}, std::pair{wxVERTICAL, 5}}) {
    wxScrollWinEvent e(wxEVT_SCROLLWIN_THUMBTRACK, position, o);
    e.SetEventObject(view_);
    view_->GetEventHandler()->ProcessEvent(e);
  }
  EXPECT_EQ(view_->state().g.scroll_x, 30);
  EXPECT_EQ(view_->state().g.scroll_y, 15);
  EXPECT_EQ(view_->GetScrollPos(wxHORIZONTAL), 10);
  repaint();
  const wxSize client = view_->GetClientSize();
  const std::vector<uint8_t> s = screen();
  const uint8_t* image = builder->get_image();
  std::vector<uint8_t> rgb(PW * PH * 3);
  colour_map->map_to_rgb(image, PW, PH, rgb.data(), PW, PH, 1);
  int bad = 0;
  for (int y = 0; y < client.y; ++y)
    for (int x = 0; x < client.x; ++x) {
      const int ix = (x + 30) / 3, iy = (y + 15) / 3;
      if (ix >= PW || iy >= PH) continue;
      for (int k = 0; k < 3; ++k)
        if (s[(static_cast<size_t>(y) * client.x + x) * 3 + k] != rgb[(iy * PW + ix) * 3 + k] && bad++ < 5)
          ADD_FAILURE() << "pixel " << x << "," << y;
    }
  EXPECT_EQ(bad, 0);

  // Line down at the end of the bar stays there.
  const int end = view_->GetScrollRange(wxHORIZONTAL) - view_->GetScrollThumb(wxHORIZONTAL);
  for (int i = 0; i < 2; ++i) {
    wxScrollWinEvent e(i == 0 ? wxEVT_SCROLLWIN_BOTTOM : wxEVT_SCROLLWIN_LINEDOWN, 0, wxHORIZONTAL);
    view_->GetEventHandler()->ProcessEvent(e);
    EXPECT_EQ(view_->GetScrollPos(wxHORIZONTAL), end);
  }
}

// The Volume page shows the data's histogram; a row of the transfer function
// has its handle at its value and opacity, and dragging it changes both.
TEST_F(CentreCanvasScreen, VolumePanelHandleIsDrawnAndDragged) {
  resource_table_t& t = *resource_table;
  stack_.load({0, 0.1, 0.2});
  volume_object& row = t.RES_VOLUME->read()[0];
  row.enabled = 1;
  row.colour = rgba_colour_t(255, 0, 0);
  row.data_value = 128;
  row.opacity = 100;
  t.RES_TOOL->write(static_cast<tool_selection_t>(0));
  t.RES_CURRENT_VISUAL_PAGE->write(3);
  repaint();
  ASSERT_FALSE(view_->histogram().bins.empty());
  const int p = static_cast<int>(view_->font_size());
  const double x0 = static_cast<int>(3.3 * p) + 10, gw = CW - x0 - 10, y0 = p + 10, gh = CH - p - 20;
  const double hx = x0 + gw * 128 / 255, hy = y0 + gh * 100 / 255;
  std::vector<uint8_t> s = screen();
  auto at = [&](double x, double gl_y) {
    return &s[(static_cast<size_t>(CH - 1 - static_cast<int>(gl_y)) * CW + static_cast<int>(x)) * 3];
  };
  const uint8_t* handle = at(hx, hy);
  EXPECT_TRUE(handle[0] > 200 && handle[1] < 60 && handle[2] < 60)
      << int(handle[0]) << " " << int(handle[1]) << " " << int(handle[2]);
  // The vertical axis in white at x0, above the graph's bottom.
  int axis = 0;
  for (int dx = -1; dx <= 1; ++dx) {
    const uint8_t* q = at(x0 + dx, y0 + gh * 0.75);
    axis = std::max(axis, std::min({int(q[0]), int(q[1]), int(q[2])}));
  }
  EXPECT_GT(axis, 200);

  const int mx = static_cast<int>(std::lround(hx)), my = static_cast<int>(std::lround(CH - hy));
  mouse(wxEVT_LEFT_DOWN, mx, my, true);
  mouse(wxEVT_MOTION, mx + 1, my - 8, true);
  EXPECT_TRUE(t.RES_DYNAMIC_VOLUME->read());
  EXPECT_EQ(row.data_value, static_cast<int>(128 + 255 / gw + 0.5));
  EXPECT_EQ(row.opacity, static_cast<int>(100 + 8 * 255 / gh + 0.5));
  // Far beyond the range both stop at 255.
  mouse(wxEVT_MOTION, mx + 200, my - 200, true);
  mouse(wxEVT_LEFT_UP, mx + 200, my - 200, false);
  EXPECT_FALSE(t.RES_DYNAMIC_VOLUME->read());
  EXPECT_EQ(row.data_value, 255);
  EXPECT_EQ(row.opacity, 255);
}

// A left drag of one client height straight down turns the Reslice page's
// plane by 90 degrees about its in-plane x axis, coarse while dragging.
TEST_F(CentreCanvasScreen, DragRotatesTheReslicePlane) {
  resource_table_t& t = *resource_table;
  open_plane0();
  t.RES_TOOL->write(static_cast<tool_selection_t>(0));
  const vec3_t n0{0, 0, 1}, u0{0, 1, 0}, e0{1, 0, 0};  // e = up x normal
  mouse(wxEVT_LEFT_DOWN, 60, 5, true);
  for (int step = 1; step <= 4; ++step) {
    mouse(wxEVT_MOTION, 60, 5 + step * CH / 4, true);
    EXPECT_TRUE(view_->state().rotate_drag);
  }
  mouse(wxEVT_LEFT_UP, 60, 5 + CH, false);
  EXPECT_FALSE(t.RES_DYNAMIC_UPDATE->read());
  const reslice_info& plane = t.RESLICE->read()[0];
  expect_near(plane.normal, rotated(n0, e0, 90), "normal");
  expect_near(plane.up, rotated(u0, e0, 90), "up");
  expect_near(plane.centre, {1.2, 1.2, 0.1}, "centre");
}

// The arrows turn the Reslice page's plane by RES_CURSOR_ROTATION degrees;
// other keys go on to the main window.
TEST_F(CentreCanvasScreen, KeysTurnTheReslicePlane) {
  resource_table_t& t = *resource_table;
  open_plane0();
  t.RES_CURSOR_ROTATION->write(10);
  const vec3_t n0{0, 0, 1}, u0{0, 1, 0};
  EXPECT_TRUE(key(WXK_LEFT));
  // About the up axis by -10 degrees: n1 = cos(a) n - sin(a) e with e = (1, 0, 0).
  const double a = -10 * kPi / 180;
  expect_near(t.RESLICE->read()[0].normal, {-std::sin(a), 0, std::cos(a)}, "normal after left");
  expect_near(t.RESLICE->read()[0].up, u0, "up after left");
  EXPECT_TRUE(key(WXK_RIGHT));
  expect_near(t.RESLICE->read()[0].normal, n0, "normal back");
  EXPECT_FALSE(key('Q'));
}

// A new zoom keeps the image point in the middle of the client area there,
// as far as the scroll range allows; FINDING_LOCATION centres the display;
// zooming out until the image fits brings the offsets back to 0.
TEST_F(CentreCanvasScreen, ZoomKeepsTheMiddleAndFindingLocationCentres) {
  resource_table_t& t = *resource_table;
  open_plane0();
  const review_geometry& g = view_->state().g;
  t.RES_CENTRE_ZOOM->write(2.0);  // display 128 x 80: (2 x 60 - 60) clamped to 128 - 120
  EXPECT_EQ(g.scroll_x, 8);
  EXPECT_EQ(g.scroll_y, 0);
  t.RES_CENTRE_ZOOM->write(4.0);  // display 256 x 160
  EXPECT_EQ(t.RES_ALERT_STRING->read(), "Centre zoom factor 4.00");
  EXPECT_EQ(g.display_width, 256);
  EXPECT_EQ(g.display_height, 160);
  // Image point (34, 25) stays in the middle: (60 + 76) / 4, (50 + 50) / 4.
  EXPECT_EQ(g.scroll_x, 76);
  EXPECT_EQ(g.scroll_y, 50);
  t.FINDING_LOCATION->write();
  EXPECT_EQ(g.scroll_x, (256 - CW) / 2);
  EXPECT_EQ(g.scroll_y, (160 - CH) / 2);
  t.RES_CENTRE_ZOOM->write(1.0);
  EXPECT_EQ(g.scroll_x, 0);
  EXPECT_EQ(g.scroll_y, 0);
}

// Unlocked, the zoom fits the image into the window and is published;
// locked, a resize keeps it.
TEST_F(CentreCanvasScreen, FitFillsTheWindowUnlessTheZoomIsLocked) {
  resource_table_t& t = *resource_table;
  t.RES_LOCK_ZOOM->write(false);
  open_plane0();
  // 120 / 64 = 1.875 across limits before 100 / 40 down.
  EXPECT_DOUBLE_EQ(t.RES_CENTRE_ZOOM->read(), 1.875);
  EXPECT_EQ(view_->state().g.display_width, CW);
  EXPECT_EQ(view_->state().g.display_height, 75);  // ceil(40 x 1.875 - 0.5)
  t.RES_LOCK_ZOOM->write(true);
  frame_->SetClientSize(CW + 60, CH + 40);
  ASSERT_TRUE(wait_for([&] { return view_->GetClientSize() == wxSize(CW + 60, CH + 40); }));
  ASSERT_TRUE(wait_for([&] { return view_->state().g.client_width == CW + 60; }));
  EXPECT_DOUBLE_EQ(t.RES_CENTRE_ZOOM->read(), 1.875);
  EXPECT_DOUBLE_EQ(view_->state().g.zoom, 1.875);
}

// A panorama deleted while shown (its page left) leaves the background,
// never a view reading the deleted builder.
TEST_F(CentreCanvasScreen, DeletedPanoramaIsNoLongerShown) {
  panorama_internals* panorama = open_panorama();
  ASSERT_TRUE(wait_for([&] { return view_->image_shown() && view_->source().panorama; }));
  repaint();
  delete panorama;
  EXPECT_EQ(resource_table->RES_PANORAMA->read(), nullptr);
  EXPECT_FALSE(view_->image_shown());
  repaint();
  const std::vector<uint8_t> s = screen();
  EXPECT_EQ(channels_unlike(s, CW * CH, BG), 0);
}

TEST_F(CentreCanvasScreen, DestroyedViewLeavesNoProcedures) {
  resource_table_t& t = *resource_table;
  const int32_t with_view = t.RES_REDISPLAY_PANORAMA->read_worrylist_length(nullptr);
  view_->Destroy();
  view_ = nullptr;
  wait_for([] { return wxTheApp->Pending() == false; });
  wxTheApp->ProcessIdle();
  EXPECT_EQ(t.RES_REDISPLAY_PANORAMA->read_worrylist_length(nullptr), with_view - 1);
  t.RES_REDISPLAY_PANORAMA->write();  // reaches no view
}

}  // namespace
