// Drawing a contour in the review view on screen: synthesised mouse events of
// a freehand loop reach the window's handler, the loop becomes a contour of
// the current object on the current frame, the view shows it in the object's
// colour, and the native data file stores it. A click on thresholded data
// outlines the region under it in the same way, on its frame alone with a
// frame gap of 0 and through the frame stack with a gap of 1.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/utils.h>

#include "screen_capture.h"
#include "data/native_file.h"
#include "registry/app_types.h"
#include "registry/res_values.h"
#include "tools/headless_session.h"
#include "views/gl_view_support.h"
#include "views/globcmap.h"
#include "views/review_canvas.h"
#include "view_test_support.h"

namespace {

constexpr int W = 64, H = 48;
constexpr int CW = 200, CH = 150;
constexpr int kObject = 2;

class ContourDrawingScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    use_screen_gl_attributes();
    resource_table_t& t = *resource_table;
    t.RES_BACKGROUND->write("#000000");
    t.RES_REVIEW_ZOOM->write(1.0);
    t.RES_USE_SCROLLBARS->write(false);
    t.RES_SEE_DRAW->write(true);
    t.RES_MOUSE_SENSITIVITY->write(5);
    t.RES_SIMPLIFY_THRESH->write(3);
    t.RES_MOUSE_RIGHT_OVERRIDE->write(0);
    t.RES_MOUSE_MIDDLE_OVERRIDE->write(0);
    t.RES_TOOL->write(static_cast<tool_selection_t>(3));  // Draw
    t.CURRENT_OBJECT->write(kObject);
    t.RES_OBJECT->read()[kObject].colour.Set(255, 0, 0);
    frame_ = new wxFrame(nullptr, wxID_ANY, "review", wxDefaultPosition, wxDefaultSize);
    view_ = new review_canvas(frame_, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                              wxHSCROLL | wxVSCROLL | wxWANTS_CHARS, "review_canvas");
    frame_->SetClientSize(CW, CH);
    frame_->Show();
    ASSERT_TRUE(wait_for([&] {
      return view_->GetClientSize() == wxSize(CW, CH) && view_->paints() > 0;
    }));
    // One frame of zeros.
    add_frame_at_origin(new uint8_t[W * H](), W, H);
    announce_frames(W, H, 1);
    repaint();
    // The new frame was fitted to the window; at zoom 1 window pixels are
    // image pixels.
    t.RES_REVIEW_ZOOM->write(1.0);
    repaint();
    ASSERT_TRUE(view_->state().image_shown);
    ASSERT_EQ(view_->state().g.zoom, 1.0);
    ASSERT_EQ(view_->state().g.scroll_x_image, 0.0);
    ASSERT_EQ(view_->state().g.scroll_y_image, 0.0);
  }
  void TearDown() override {
    close_screen(frame_);
  }

  void repaint() {
    const int before = view_->paints();
    view_->Refresh(false);
    ASSERT_TRUE(wait_for([&] { return view_->paints() > before; }));
  }

  // A mouse event as the toolkit delivers it to the window.
  void mouse(wxEventType type, int x, int y, bool left_down) {
    wxMouseEvent e(type);
    e.SetEventObject(view_);
    e.SetId(view_->GetId());
    e.SetPosition(wxPoint(x, y));
    e.SetLeftDown(left_down);
    view_->GetEventHandler()->ProcessEvent(e);
  }

  std::vector<uint8_t> screen() { return screenshot(view_->ClientToScreen(wxPoint(0, 0)), CW, CH); }

  headless_session session_;
  wxFrame* frame_ = nullptr;
  review_canvas* view_ = nullptr;
};

TEST_F(ContourDrawingScreen, FreehandLoopBecomesAContourShownAndSaved) {
  const std::vector<uint8_t> before = screen();
  ASSERT_EQ(before.size(), static_cast<size_t>(CW * CH * 3));

  // Round the rectangle (10,10)-(50,40) every 2 pixels, ending 2 pixels short
  // of the start, as a hand would.
  std::vector<wxPoint> loop;
  const wxPoint corners[] = {{10, 10}, {50, 10}, {50, 40}, {10, 40}, {10, 12}};
  loop.push_back(corners[0]);
  for (int i = 1; i < 5; ++i) {
    const wxPoint a = corners[i - 1], b = corners[i];
    const int n = std::max(std::abs(b.x - a.x), std::abs(b.y - a.y)) / 2;
    for (int k = 1; k <= n; ++k) loop.push_back({a.x + (b.x - a.x) * k / n, a.y + (b.y - a.y) * k / n});
  }
  const int paints = view_->paints();
  mouse(wxEVT_LEFT_DOWN, loop[0].x, loop[0].y, true);
  for (size_t i = 1; i < loop.size(); ++i) mouse(wxEVT_MOTION, loop[i].x, loop[i].y, true);
  mouse(wxEVT_LEFT_UP, loop.back().x, loop.back().y, false);
  EXPECT_FALSE(view_->state().freehand_drawing);

  // One closed contour of the current object on the current frame, simplified
  // to the rectangle's corners.
  contour_object* objects = resource_table->RES_OBJECT->read();
  for (int k = 0; k < NUM_OBJECTS; ++k) {
    if (k != kObject) {
      EXPECT_TRUE(objects[k].frames.empty()) << k;
    }
  }
  ASSERT_EQ(objects[kObject].frames.size(), 1u);
  const frame_contours_t& entry = objects[kObject].frames.front();
  EXPECT_EQ(entry.frame, 0);
  ASSERT_EQ(entry.contours.size(), 1u);
  const contour_t& c = entry.contours[0];
  EXPECT_TRUE(c.closed);
  const double want[4][2] = {{10, 10}, {50, 10}, {50, 40}, {10, 40}};
  ASSERT_EQ(c.vertices.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_DOUBLE_EQ(c.vertices[i].x, want[i][0]);
    EXPECT_DOUBLE_EQ(c.vertices[i].y, want[i][1]);
  }

  // Shown in red on the edges' middles (the line lies on a pixel boundary and
  // may cover either side), nowhere inside or outside.
  ASSERT_TRUE(wait_for([&] { return view_->paints() > paints; }));
  repaint();
  const std::vector<uint8_t> after = screen();
  auto reddened = [&](int x, int y) {
    const size_t i = (static_cast<size_t>(y) * CW + x) * 3;
    return after[i] >= before[i] + 60 && after[i + 1] <= before[i + 1] + 10 &&
           after[i + 2] <= before[i + 2] + 10;
  };
  auto near_red = [&](int x, int y) {
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        if (reddened(x + dx, y + dy)) return true;
    return false;
  };
  EXPECT_TRUE(near_red(30, 10)) << "top edge";
  EXPECT_TRUE(near_red(30, 40)) << "bottom edge";
  EXPECT_TRUE(near_red(10, 25)) << "left edge";
  EXPECT_TRUE(near_red(50, 25)) << "right edge";
  EXPECT_FALSE(near_red(30, 25)) << "inside";
  EXPECT_FALSE(near_red(30, 3)) << "above";

  // The native data file holds the contour.
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("nv_contour_draw_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "drawn.hm").string();
  ASSERT_TRUE(save_native_file_as(path, false));
  std::ifstream in(path);
  std::string line;
  std::vector<std::string> cont;
  while (std::getline(in, line))
    if (line.rfind("CONT ", 0) == 0) cont.push_back(line);
  std::filesystem::remove_all(dir);
  ASSERT_EQ(cont.size(), 1u);
  EXPECT_EQ(cont[0], "CONT 2 0 1 10.00 10.00 50.00 10.00 50.00 40.00 10.00 40.00");
}

// With the thresholds shown and a frame gap of 0, a Draw click inside a disc
// adds the disc's outline to the current object: one closed contour whose
// area is the disc's, shown in the object's colour and saved.
TEST_F(ContourDrawingScreen, ClickOnThresholdedDiscOutlinesIt) {
  colour_map_scope colours;
  constexpr double cx = 30.0, cy = 24.0, r = 10.0;
  uint8_t* px = frame_store->imagecp(0)->display;
  size_t disc = 0;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      if ((x + 0.5 - cx) * (x + 0.5 - cx) + (y + 0.5 - cy) * (y + 0.5 - cy) <= r * r) {
        px[y * W + x] = 200;
        ++disc;
      }
  resource_table_t& t = *resource_table;
  t.RES_SEGMENT_FRAME->write(0);
  t.RES_JUMP_THRESH->write(0);
  t.RES_CMAP_GREY_LO->write(100);
  t.RES_CMAP_GREY_HI->write(255);
  t.RES_CMAP_BINARY->write(true);
  repaint();
  const std::vector<uint8_t> before = screen();

  const int paints = view_->paints();
  mouse(wxEVT_LEFT_DOWN, 30, 24, true);
  mouse(wxEVT_LEFT_UP, 30, 24, false);
  EXPECT_FALSE(view_->state().click_drawing);

  contour_object* objects = resource_table->RES_OBJECT->read();
  ASSERT_EQ(objects[kObject].frames.size(), 1u);
  const frame_contours_t& entry = objects[kObject].frames.front();
  EXPECT_EQ(entry.frame, 0);
  ASSERT_EQ(entry.contours.size(), 1u);
  const contour_t& c = entry.contours[0];
  EXPECT_TRUE(c.closed);
  // Vertices lie within half a pixel of the disc's pixel edges.
  EXPECT_NEAR(std::fabs(c.area()), static_cast<double>(disc), 0.5 * 2 * 3.1416 * r);
  for (const vec2_t& v : c.vertices) {
    const double d = std::hypot(v.x - cx, v.y - cy);
    EXPECT_GT(d, r - 1.5);
    EXPECT_LT(d, r + 1.5);
  }

  // The outline in the object's colour; with the Drag tool the view leaves
  // out the vertex marks the Draw tool shows.
  ASSERT_TRUE(wait_for([&] { return view_->paints() > paints; }));
  t.RES_TOOL->write(TOOL_DRAG);
  repaint();
  const std::vector<uint8_t> after = screen();
  auto near_red = [&](int x, int y) {
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) {
        // The object's red, which neither the black background nor the
        // highlighted disc shows.
        const size_t i = (static_cast<size_t>(y + dy) * CW + x + dx) * 3;
        if (after[i] >= 200 && after[i + 1] <= 60 && after[i + 2] <= 60 &&
            !(before[i] >= 200 && before[i + 2] <= 60))
          return true;
      }
    return false;
  };
  EXPECT_TRUE(near_red(20, 24)) << "left";
  EXPECT_TRUE(near_red(40, 24)) << "right";
  EXPECT_TRUE(near_red(30, 14)) << "top";
  EXPECT_TRUE(near_red(30, 34)) << "bottom";
  EXPECT_FALSE(near_red(30, 24)) << "inside";

  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("nv_contour_click_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "clicked.hm").string();
  ASSERT_TRUE(save_native_file_as(path, false));
  std::ifstream in(path);
  std::string line;
  std::vector<std::string> cont;
  while (std::getline(in, line))
    if (line.rfind("CONT ", 0) == 0) cont.push_back(line);
  std::filesystem::remove_all(dir);
  ASSERT_EQ(cont.size(), 1u);
  EXPECT_EQ(cont[0].rfind("CONT 2 0 1 ", 0), 0u) << cont[0];
}

// With a frame gap of 1, a Draw click on a ball in a stack of frames outlines
// its section on every frame that cuts it, and on no other.
TEST_F(ContourDrawingScreen, ClickOnBallInStackOutlinesEveryFrameThatCutsIt) {
  colour_map_scope colours;
  constexpr int D = 9;
  constexpr double cx = 30.0, cy = 24.0, cz = 4.0, r = 5.5;
  auto in_ball = [&](int x, int y, int z) {
    return (x + 0.5 - cx) * (x + 0.5 - cx) + (y + 0.5 - cy) * (y + 0.5 - cy) +
               (z - cz) * (z - cz) <= r * r;
  };
  for (int z = 1; z < D; ++z) add_frame_at_origin(new uint8_t[W * H](), W, H);
  std::vector<size_t> pixels(D, 0);
  for (int z = 0; z < D; ++z) {
    uint8_t* px = frame_store->imagecp(z)->display;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
        if (in_ball(x, y, z)) {
          px[y * W + x] = 200;
          ++pixels[z];
        }
  }
  resource_table_t& t = *resource_table;
  announce_frames(W, H, D);
  t.RES_BUF_CURRENT_FRAME->write(4);
  t.RES_SEGMENT_FRAME->write(1);
  t.RES_SEGMENT_OBJECTS->write(1);
  t.RES_SEGMENT_CONNECTED->write(true);
  t.RES_SEGMENT_RIDGES->write(false);
  t.RES_SEGMENT_VALLEYS->write(false);
  t.RES_SEGMENT_TYPE->write(2);
  t.RES_JUMP_THRESH->write(0);
  t.RES_SIMPLIFY_THRESH->write(0);
  t.RES_CMAP_GREY_LO->write(100);
  t.RES_CMAP_GREY_HI->write(255);
  t.RES_CMAP_BINARY->write(true);
  t.RES_REVIEW_ZOOM->write(1.0);
  repaint();
  ASSERT_EQ(view_->state().g.zoom, 1.0);

  mouse(wxEVT_LEFT_DOWN, 30, 24, true);
  mouse(wxEVT_LEFT_UP, 30, 24, false);

  const contour_object& object = resource_table->RES_OBJECT->read()[kObject];
  for (int z = 0; z < D; ++z) {
    const frame_contours_t* entry = const_cast<contour_object&>(object).find_frame(z);
    if (pixels[z] == 0) {
      EXPECT_EQ(entry, nullptr) << "frame " << z;
      continue;
    }
    ASSERT_NE(entry, nullptr) << "frame " << z;
    ASSERT_EQ(entry->contours.size(), 1u) << "frame " << z;
    // Vertices lie within half a pixel of the section's pixel edges.
    const double n = static_cast<double>(pixels[z]);
    EXPECT_NEAR(std::fabs(entry->contours[0].area()), n, 0.5 * 4.0 * std::sqrt(n) + 1.0)
        << "frame " << z;
  }
  EXPECT_EQ(object.frames.size(),
            static_cast<size_t>(std::count_if(pixels.begin(), pixels.end(),
                                              [](size_t n) { return n > 0; })));
}

}  // namespace
