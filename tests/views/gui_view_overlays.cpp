// The overlays shared by the 2D views, on screen under Xvfb: a surface's
// section drawn by the corner and centre views lies where the plane cuts the
// surface, the review view's scale bar is as long as worked out by hand, and
// a saved view equals the screen in every image type while the other image
// types still load.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/utils.h>

#include "common/log_capture.h"
#include "data/calipers.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "registry/res_values.h"
#include "geometry_test_support.h"
#include "reslice_test_support.h"
#include "screen_capture.h"
#include "surfaces/surface_interp.h"
#include "views/centre_canvas.h"
#include "views/corner_canvas.h"
#include "views/gl_view_support.h"
#include "views/globcmap.h"
#include "views/reslice_internals.h"
#include "views/review_canvas.h"
#include "view_test_support.h"

namespace {

constexpr int CW = 200, CH = 150;

// The cube fixture with its centroid set, as the views read it.
surface_interp* cube_at(const vec3_t& c) {
  surface_interp* s = new_cube_mesh(c);
  s->centroid = c;
  return s;
}

// A square outline in image pixels (the image at zoom 1 at the top left, so
// image pixels are window pixels) and the pixels that carry a colour over
// the grey image: where, and how many near each of its four sides.
struct square_hits {
  int off = 0;           // coloured pixels further than 2 px from the outline
  int sides[4] = {};     // left, right, top, bottom
};
square_hits coloured_against_square(const std::vector<uint8_t>& s, double x0, double y0, double x1,
                                    double y1, const std::function<bool(const uint8_t*)>& coloured) {
  square_hits h;
  for (int y = 0; y < CH; ++y)
    for (int x = 0; x < CW; ++x) {
      if (!coloured(&s[(static_cast<size_t>(y) * CW + x) * 3])) continue;
      const double px = x + 0.5, py = y + 0.5;
      const bool within_x = px > x0 - 2 && px < x1 + 2, within_y = py > y0 - 2 && py < y1 + 2;
      const double d[4] = {std::fabs(px - x0), std::fabs(px - x1), std::fabs(py - y0), std::fabs(py - y1)};
      bool near = false;
      for (int k = 0; k < 4; ++k)
        if (d[k] <= 2 && (k < 2 ? within_y : within_x)) {
          ++h.sides[k];
          near = true;
        }
      if (!near) ++h.off;
    }
  return h;
}

bool yellowish(const uint8_t* p) { return p[0] - p[2] > 40 && p[1] - p[2] > 40; }
bool greenish(const uint8_t* p) { return p[1] - p[0] > 40 && p[1] - p[2] > 40; }

class OverlayScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    use_screen_gl_attributes();
    screen_resource_defaults();
    resource_table_t& t = *resource_table;
    t.RES_CORNER_ZOOM->write(1.0);
    t.RES_CENTRE_ZOOM->write(1.0);
    t.RES_REVIEW_ZOOM->write(1.0);
    t.RES_USE_SCROLLBARS->write(false);
    t.RES_SEE_OUTLINES->write(0);
    t.RES_DISPLAY_COG->write(false);
    t.RES_SEE_MARK->write(false);
    t.RES_GLUT_FONT->write(0);  // 16 px
    frame_ = new wxFrame(nullptr, wxID_ANY, "overlays", wxDefaultPosition, wxDefaultSize);
  }
  void TearDown() override {
    builder_.reset();
    close_screen(frame_);
    drop_colour_map();
  }

  template <typename View>
  View* show(const char* name) {
    auto* view = new View(frame_, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxWANTS_CHARS, name);
    frame_->SetClientSize(CW, CH);
    frame_->Show();
    EXPECT_TRUE(wait_for([&] { return view->GetClientSize() == wxSize(CW, CH) && view->paints() > 0; }));
    window_ = view;
    return view;
  }

  std::vector<uint8_t> screen() { return screenshot(window_->ClientToScreen(wxPoint(0, 0)), CW, CH); }

  // Object k's surface and colour, with contours shown.
  void give_surface(int k, surface_interp* s, uint8_t r, uint8_t g, uint8_t b) {
    resource_table_t& t = *resource_table;
    contour_object* objects = t.RES_OBJECT->read();
    objects[k].colour = rgba_colour_t(r, g, b, 255);
    objects[k].opacity = 1.0;
    t.CURRENT_MAX_OBJECTS->write(12);
    t.RES_SURFACE[k]->write(s);
    t.OBJECT->write();
  }

  // Plane 0 of the Reslice page, 64 x 40 pixels in the plane z 0.1 cm with
  // its centre (1.2, 1.2) cm at pixel (32, 20), in a centre view; null when
  // the view does not show it in time.
  centre_canvas* show_plane_zero() {
    centre_canvas* view = show<centre_canvas>("centre_canvas");
    builder_ = std::make_unique<reslice_internals>(0, 0, 0);
    reslice_info& plane = resource_table->RESLICE->read()[0];
    plane.set_width(64);
    plane.set_height(40);
    plane.set_plane({0, 0, 1}, {1.2, 1.2, 0.1}, {0, 1, 0}, true);
    if (!wait_for([&] { return view->image_shown() && view->state().g.image_width == 64; })) return nullptr;
    return view;
  }

  headless_session session_;
  synthetic_stack stack_;
  wxFrame* frame_ = nullptr;
  wxWindow* window_ = nullptr;
  std::unique_ptr<reslice_internals> builder_;
};

// Plane 1 lies at z 0.2 cm with the centre (1.2, 1.2) at pixel (24, 24),
// 0.05 cm a pixel. The cube centred (1.25, 1.15, 0.3) spans world x 0.75 ..
// 1.75 and y 0.65 .. 1.65 there: image x 15 .. 35, y 13 .. 33.
TEST_F(OverlayScreen, CornerViewDrawsTheSurfaceSectionWhereThePlaneCutsIt) {
  stack_.load({0.15, 0.2, 0.25, 0.3});
  corner_canvas* view = show<corner_canvas>("corner_canvas");
  builder_ = open_plane_one(48);
  resource_table_t& t = *resource_table;
  t.RES_SEE_DRAW->write(true);
  t.RES_SEE_SSM->write(false);
  give_surface(0, cube_at({1.25, 1.15, 0.3}), 255, 255, 0);
  square_hits h;
  ASSERT_TRUE(wait_for([&] {
    h = coloured_against_square(screen(), 15, 13, 35, 33, yellowish);
    return h.sides[0] >= 5 && h.sides[1] >= 5 && h.sides[2] >= 5 && h.sides[3] >= 5;
  })) << h.sides[0] << " " << h.sides[1] << " " << h.sides[2] << " " << h.sides[3];
  EXPECT_EQ(h.off, 0);
  ASSERT_NE(view->overlays().section(0), nullptr);
  // Later paints draw the cached section without cutting the surface again.
  const int cuts = view->overlays().cuts(), painted = view->paints();
  view->Refresh(false);
  ASSERT_TRUE(wait_for([&] { return view->paints() > painted; }));
  EXPECT_EQ(view->overlays().cuts(), cuts);

  // Opacity 0: no section, although the surface is there.
  t.RES_OBJECT->read()[0].opacity = 0.0;
  t.OBJECT->write();
  ASSERT_TRUE(wait_for([&] { return coloured_against_square(screen(), 15, 13, 35, 33, yellowish).sides[0] == 0; }));
  EXPECT_EQ(view->overlays().section(0), nullptr);

  // The shape model's surface alone while only it is shown: object 0's
  // section stays away even with its opacity back.
  t.RES_OBJECT->read()[0].opacity = 1.0;
  t.RES_SEE_DRAW->write(false);
  t.RES_SEE_SSM->write(true);
  give_surface(200, cube_at({1.2, 1.2, 0.2}), 0, 255, 0);  // image 14 .. 34 both ways
  ASSERT_TRUE(wait_for([&] {
    h = coloured_against_square(screen(), 14, 14, 34, 34, greenish);
    return h.sides[0] >= 5 && h.sides[3] >= 5;
  }));
  EXPECT_EQ(h.off, 0);
  int yellow = 0;
  const std::vector<uint8_t> s = screen();
  for (size_t i = 0; i + 2 < s.size(); i += 3) yellow += yellowish(&s[i]);
  EXPECT_EQ(yellow, 0);
}

// The navigation box of a plane view (font 16: box 24 x 24 px for a square
// image) sits 0.25 to 1.25 box widths from the right edge and as high from
// the bottom, in cyan, only while the zoomed image does not fit and scroll
// bars are off.
TEST_F(OverlayScreen, NavigationBoxOnlyForAZoomedImageWithoutScrollBars) {
  stack_.load({0.15, 0.2, 0.25, 0.3});
  corner_canvas* view = show<corner_canvas>("corner_canvas");
  builder_ = open_plane_one(48);
  resource_table_t& t = *resource_table;
  t.RES_DISPLAY_COG->write(true);
  auto cyan_in_box = [&] {
    view->Refresh(false);
    const std::vector<uint8_t> s = screen();
    int n = 0;
    for (int y = CH - 1 - 32; y < CH - 1 - 4; ++y)
      for (int x = CW - 32; x < CW - 4; ++x) {
        const uint8_t* p = &s[(static_cast<size_t>(y) * CW + x) * 3];
        n += p[0] < 40 && p[1] > 215 && p[2] > 215;
      }
    return n;
  };
  const int painted = view->paints();
  EXPECT_TRUE(wait_for([&] { return cyan_in_box() == 0 && view->paints() > painted; }));  // 48 x 48 fits
  t.RES_CORNER_ZOOM->write(4.0);  // 192 x 192 does not
  // The red view rectangle (150 of 192 rows shown) covers most of the box.
  ASSERT_TRUE(wait_for([&] { return cyan_in_box() > 15; }));
  t.RES_USE_SCROLLBARS->write(true);
  ASSERT_TRUE(wait_for([&] { return cyan_in_box() == 0; }));
}

// A surface landmark three pixels (0.15 cm) off a thin plane is drawn with a
// dashed ring of radius 3 image pixels in its object's shade; a data
// landmark as far off is not drawn. At zoom 4 the ring's radius is 12 window
// pixels. Plane 1: image (x, y) is world (1.2 + 0.05 (x - 24), 1.2 + 0.05
// (y - 24), 0.2).
TEST_F(OverlayScreen, SurfaceLandmarkOffThePlaneGetsARingOfItsDistance) {
  stack_.load({0.15, 0.2, 0.25, 0.3});
  corner_canvas* view = show<corner_canvas>("corner_canvas");
  builder_ = open_plane_one(48);
  resource_table_t& t = *resource_table;
  t.RES_OBJECT->read()[0].colour = rgba_colour_t(255, 0, 0, 255);  // shade (255, 170, 170)
  landmark_t surface_mark;
  surface_mark.kind = LM_SURFACE;
  surface_mark.object = 0;
  surface_mark.x = 1.2 + 0.05 * (20 - 24);
  surface_mark.y = 1.2 + 0.05 * (30 - 24);
  surface_mark.z = 0.35;
  landmark_t data_mark = surface_mark;
  data_mark.kind = LM_DATA;
  data_mark.x = 1.2 + 0.05 * (36 - 24);
  t.RES_LANDMARKS->read()->items = {surface_mark, data_mark};
  t.RES_SEE_MARK->write(true);
  t.RES_CORNER_ZOOM->write(4.0);
  t.LANDMARK->write();
  const review_geometry& g = view->state().g;
  ASSERT_DOUBLE_EQ(g.zoom, 4.0);
  auto pink = [](const uint8_t* p) { return p[0] > 200 && p[0] - p[1] > 50 && std::abs(p[1] - p[2]) < 30; };
  auto cyan = [](const uint8_t* p) { return p[0] < 40 && p[1] > 215 && p[2] > 215; };
  int ring = 0, stray = 0, data = 0;
  ASSERT_TRUE(wait_for([&] {
    view->Refresh(false);
    const std::vector<uint8_t> s = screen();
    // Window position of an image point, rows from the top.
    const double cx = (20 - g.scroll_x / g.zoom) * g.zoom, cy = (30 - g.scroll_y / g.zoom) * g.zoom;
    const double dx = (36 - g.scroll_x / g.zoom) * g.zoom;
    ring = stray = data = 0;
    for (int y = 0; y < CH; ++y)
      for (int x = 0; x < CW; ++x) {
        const uint8_t* p = &s[(static_cast<size_t>(y) * CW + x) * 3];
        const double r = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
        if (pink(p) && r > 4) {  // the landmark's own point lies within 4 px
          if (r > 9.5 && r < 14.5)
            ++ring;
          else
            ++stray;
        }
        if (cyan(p) && std::hypot(x + 0.5 - dx, y + 0.5 - cy) < 6) ++data;
      }
    return ring >= 20;
  })) << ring << " ring pixels";
  EXPECT_EQ(stray, 0);
  EXPECT_EQ(data, 0);
}

// Plane 0 of the Reslice page, 64 x 40 at z 0.1 cm, the centre at pixel
// (32, 20): the same cube spans image x 23 .. 43 and y 9 .. 29.
TEST_F(OverlayScreen, CentreViewDrawsTheSurfaceSectionWhereThePlaneCutsIt) {
  stack_.load({0, 0.1, 0.2});
  centre_canvas* view = show_plane_zero();
  ASSERT_TRUE(view);
  resource_table_t& t = *resource_table;
  t.RES_SEE_DRAW->write(true);
  give_surface(0, cube_at({1.25, 1.15, 0.1}), 255, 255, 0);
  square_hits h;
  ASSERT_TRUE(wait_for([&] {
    view->Refresh(false);
    h = coloured_against_square(screen(), 23, 9, 43, 29, yellowish);
    return h.sides[0] >= 5 && h.sides[1] >= 5 && h.sides[2] >= 5 && h.sides[3] >= 5;
  })) << h.sides[0] << " " << h.sides[1] << " " << h.sides[2] << " " << h.sides[3];
  EXPECT_EQ(h.off, 0);
}

// The centre view's other overlays on plane 0 (u = up x normal = +x): a
// landmark at image pixel (50, 10) is world (2.1, 0.7, 0.1); the calipers of
// the centre view (index 1), 20 pixels of 0.5 mm apart, read 10 mm; the
// scale bar lies below the image while the Measure tool is on.
TEST_F(OverlayScreen, CentreViewDrawsItsLandmarksCalipersAndScaleBar) {
  stack_.load({0, 0.1, 0.2});
  centre_canvas* view = show_plane_zero();
  ASSERT_TRUE(view);
  resource_table_t& t = *resource_table;
  t.RES_LANDMARKS->read()->add_default_landmark({2.1, 0.7, 0.1}, LM_DATA);
  t.LANDMARK->write();
  t.RES_SEE_MARK->write(true);
  t.RES_DISPLAY_COG->write(true);
  calipers_t c;
  c.first_x = 5;
  c.first_y = 35;
  c.second_x = 25;
  c.second_y = 35;
  c.first_set = c.second_set = true;
  c.view = 2;  // the corner view's
  t.RES_ALERT_STRING->write("");
  t.RES_CALIPERS->write(c);
  t.RES_TOOL->write(static_cast<tool_selection_t>(4));
  auto count = [&](int x0, int y0, int x1, int y1, const std::function<bool(const uint8_t*)>& is) {
    const std::vector<uint8_t> s = screen();
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += is(&s[(static_cast<size_t>(y) * CW + x) * 3]);
    return n;
  };
  auto cyan = [](const uint8_t* p) { return p[0] < 40 && p[1] > 215 && p[2] > 215; };
  auto red = [](const uint8_t* p) { return p[0] > 200 && p[1] < 60 && p[2] < 60; };
  ASSERT_TRUE(wait_for([&] {
    view->Refresh(false);
    return count(46, 6, 55, 15, cyan) > 4 && count(0, 40, CW, CH, red) > 20;
  }));
  EXPECT_EQ(count(0, 30, 30, 40, cyan), 0);  // another view's calipers
  EXPECT_EQ(t.RES_ALERT_STRING->read(), "");
  c.view = 1;
  t.RES_CALIPERS->write(c);
  ASSERT_TRUE(wait_for([&] {
    view->Refresh(false);
    return count(0, 30, 30, 40, cyan) > 10;
  }));
  EXPECT_EQ(t.RES_ALERT_STRING->read(), "Reslice distance measurement 10.0 mm");
}

// The review view's scale bar with a 16 px font (P): it starts at 0.375 P =
// 6 px, 2.5 x P / 4 = 10 px above the bottom, ends in ticks 6 px high and is
// t = 3.3 P c / b pixels
// long for the nominal length b = 3.3 P x 10 x xscale (mm at zoom 1) and the
// round value c above it; quarters carry 5 ticks, fifths 6.
TEST_F(OverlayScreen, ReviewScaleBarHasTheLengthOfTheTable) {
  stack_.load({0.1});
  review_canvas* view = show<review_canvas>("review_canvas");
  resource_table_t& t = *resource_table;
  t.IM->write();
  t.RES_TOOL->write(static_cast<tool_selection_t>(2));  // mark
  const struct {
    double xscale;
    double length;
    int ticks;
  } cases[] = {
      {0.01, 100.0, 5},         // b 5.28 mm: 10 mm in quarters
      {0.012, 1000 / 12.0, 5},  // b 6.336 mm: 10 mm
      {0.006, 500 / 6.0, 6},    // b 3.168 mm: 5 mm in fifths
  };
  auto red = [](const uint8_t* p) { return p[0] > 200 && p[1] < 60 && p[2] < 60; };
  const int bar_row = CH - 1 - 10;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xscale);
    t.RES_XSCALE->write(c.xscale);
    t.RES_YSCALE->write(c.xscale);
    t.RES_DISPLAY_COG->write(true);
    int first = -1, last = -1, ticks = 0;
    const bool seen = wait_for([&] {
      view->Refresh(false);
      const std::vector<uint8_t> s = screen();
      // The bar with its end ticks; the unit's text lies over its middle.
      first = CW, last = -1;
      for (int row = bar_row - 6; row <= bar_row + 1; ++row)
        for (int x = 0; x < CW; ++x)
          if (red(&s[(static_cast<size_t>(row) * CW + x) * 3])) {
            first = std::min(first, x);
            last = std::max(last, x);
          }
      // Ticks: runs of red columns 3 px above the bar.
      ticks = 0;
      bool in = false;
      for (int x = 0; x < CW; ++x) {
        const bool r = red(&s[(static_cast<size_t>(bar_row - 3) * CW + x) * 3]);
        ticks += r && !in;
        in = r;
      }
      return last > first && std::fabs(last - first - c.length) <= 1.5 && ticks == c.ticks;
    });
    EXPECT_TRUE(seen) << "red from " << first << " to " << last << ", " << ticks << " ticks";
    EXPECT_NEAR(first, 6, 1);
  }
  // Off with the display switch: no red anywhere below the image.
  t.RES_DISPLAY_COG->write(false);
  ASSERT_TRUE(wait_for([&] {
    view->Refresh(false);
    const std::vector<uint8_t> s = screen();
    for (int y = 60; y < CH; ++y)
      for (int x = 0; x < CW; ++x)
        if (red(&s[(static_cast<size_t>(y) * CW + x) * 3])) return false;
    return true;
  }));
}

// The review view marks a surface's centre of gravity lying on the frame
// with a small cross in the object's colour, only while RES_DISPLAY_COG is
// on: the cube centred (1.2, 1.2, 0.1) on the frame at z 0.1 cm, 0.05 cm a
// pixel, has its centre at pixel (24, 24) and its section on 14 .. 34.
TEST_F(OverlayScreen, ReviewMarksTheCentreOfGravityOnTheFrame) {
  stack_.load({0.1});
  review_canvas* view = show<review_canvas>("review_canvas");
  resource_table_t& t = *resource_table;
  t.IM->write();
  t.RES_SEE_DRAW->write(true);
  give_surface(0, cube_at({1.2, 1.2, 0.1}), 255, 255, 0);
  auto cross = [&] {
    const std::vector<uint8_t> s = screen();
    int n = 0;
    for (int y = 20; y < 29; ++y)
      for (int x = 20; x < 29; ++x) n += yellowish(&s[(static_cast<size_t>(y) * CW + x) * 3]);
    return n;
  };
  auto section = [&] { return coloured_against_square(screen(), 14, 14, 34, 34, yellowish); };
  t.RES_DISPLAY_COG->write(false);
  ASSERT_TRUE(wait_for([&] {
    view->Refresh(false);
    const square_hits h = section();
    return h.sides[0] >= 5 && h.sides[3] >= 5 && cross() == 0;
  }));
  t.RES_DISPLAY_COG->write(true);
  ASSERT_TRUE(wait_for([&] {
    view->Refresh(false);
    return cross() >= 5;
  }));
}

// A saved corner view with its overlay equals the screen as PNG, BMP and
// TIFF (JPEG within its loss); every one of those types still loads after
// the others were saved. A type the views do not save, or a folder that does
// not exist, fails quietly with a reason and writes nothing.
TEST_F(OverlayScreen, SavedViewEqualsTheScreenInEveryType) {
  stack_.load({0.15, 0.2, 0.25, 0.3});
  corner_canvas* view = show<corner_canvas>("corner_canvas");
  builder_ = open_plane_one(48);
  resource_table->RES_SEE_DRAW->write(true);
  give_surface(0, cube_at({1.25, 1.15, 0.3}), 255, 255, 0);
  ASSERT_TRUE(wait_for([&] { return coloured_against_square(screen(), 15, 13, 35, 33, yellowish).sides[0] >= 5; }));
  const std::vector<uint8_t> s = screen();

  const std::string dir =
      (std::filesystem::temp_directory_path() / ("nv-overlay-dump-" + std::to_string(::getpid()))).string();
  std::filesystem::create_directories(dir);
  log_capture log;
  const struct {
    wxBitmapType type;
    const char* name;
    int tolerance;
  } types[] = {{wxBITMAP_TYPE_PNG, "view.png", 0},
               {wxBITMAP_TYPE_BMP, "view.bmp", 0},
               {wxBITMAP_TYPE_TIFF, "view.tif", 0},
               {wxBITMAP_TYPE_JPEG, "view.jpg", 255}};
  for (const auto& k : types) {
    SCOPED_TRACE(k.name);
    wxString why;
    ASSERT_TRUE(view->dump_window(dir + "/" + k.name, k.type, &why)) << why;
  }
  for (const auto& k : types) {
    SCOPED_TRACE(k.name);
    wxImage saved;
    ASSERT_TRUE(saved.LoadFile(dir + "/" + k.name, k.type));
    ASSERT_EQ(saved.GetWidth(), 48);
    ASSERT_EQ(saved.GetHeight(), 48);
    int bad = 0;
    double total = 0;
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 48; ++x)
        for (int c = 0; c < 3; ++c) {
          const int d = std::abs(saved.GetData()[(y * 48 + x) * 3 + c] - s[(static_cast<size_t>(y) * CW + x) * 3 + c]);
          bad += d > k.tolerance;
          total += d;
        }
    EXPECT_EQ(bad, 0);
    if (k.tolerance > 0) {
      EXPECT_LT(total / (48 * 48 * 3), 6.0);
    }
  }
  // Quality 95: a larger file than a quality-75 save of the same pixels.
  wxImage shown(48, 48);
  for (int y = 0; y < 48; ++y)
    std::copy_n(&s[static_cast<size_t>(y) * CW * 3], 48 * 3, shown.GetData() + y * 48 * 3);
  shown.SetOption(wxIMAGE_OPTION_QUALITY, 75);
  ASSERT_TRUE(shown.SaveFile(dir + "/q75.jpg", wxBITMAP_TYPE_JPEG));
  EXPECT_GT(std::filesystem::file_size(dir + "/view.jpg"), std::filesystem::file_size(dir + "/q75.jpg"));

  wxString why;
  EXPECT_FALSE(view->dump_window(dir + "/view.gif", wxBITMAP_TYPE_GIF, &why));
  EXPECT_FALSE(why.empty());
  EXPECT_FALSE(std::filesystem::exists(dir + "/view.gif"));
  why.clear();
  EXPECT_FALSE(view->dump_window(dir + "/missing/view.png", wxBITMAP_TYPE_PNG, &why));
  EXPECT_FALSE(why.empty());
  for (const auto& r : log.records()) EXPECT_GT(r.level, wxLOG_Warning) << r.text;
  std::filesystem::remove_all(dir);
}

}  // namespace
