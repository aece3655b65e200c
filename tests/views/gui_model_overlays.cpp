// The shape model's data points and the thickness measurement in the review
// view, and the thickness key in the centre view, read back from the X
// display under Xvfb.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/utils.h>

#include "screen_capture.h"
#include "models/fit_model.h"
#include "registry/res_values.h"
#include "thickness/thickness.h"
#include "thickness/thickness_colours.h"
#include "tools/headless_session.h"
#include "views/centre_canvas.h"
#include "views/gl_view_support.h"
#include "views/glfont.h"
#include "views/globcmap.h"
#include "views/review_canvas.h"
#include "view_test_support.h"

namespace {

constexpr int CW = 200, CH = 150;
constexpr int W = 64, H = 48;

struct rgb_t {
  int r, g, b;
};

// True when some pixel within `reach` of (x, y) (screen rows from the top)
// has the colour within tol per channel.
bool colour_near(const std::vector<uint8_t>& s, int w, int x, int y, int reach, rgb_t c, int tol) {
  const int h = static_cast<int>(s.size() / 3 / w);
  for (int yy = y - reach; yy <= y + reach; ++yy)
    for (int xx = x - reach; xx <= x + reach; ++xx) {
      if (xx < 0 || yy < 0 || xx >= w || yy >= h) continue;
      const uint8_t* p = &s[(static_cast<size_t>(yy) * w + xx) * 3];
      if (std::abs(p[0] - c.r) <= tol && std::abs(p[1] - c.g) <= tol && std::abs(p[2] - c.b) <= tol)
        return true;
    }
  return false;
}

class ModelOverlayScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    use_screen_gl_attributes();
    session_ = std::make_unique<headless_session>();
    screen_resource_defaults();
    resource_table_t& t = *resource_table;
    t.RES_REVIEW_ZOOM->write(1.0);
    t.RES_CENTRE_ZOOM->write(1.0);
    t.RES_USE_SCROLLBARS->write(false);
    t.RES_XSCALE->write(0.1);
    t.RES_YSCALE->write(0.1);
    frame_ = new wxFrame(nullptr, wxID_ANY, "views", wxDefaultPosition, wxDefaultSize);
  }
  void TearDown() override {
    close_screen(frame_);
    drop_colour_map();
    session_.reset();
  }

  template <class View>
  View* show(View* view, int cw = CW, int ch = CH) {
    frame_->SetClientSize(cw, ch);
    frame_->Show();
    EXPECT_TRUE(wait_for([&] { return view->GetClientSize() == wxSize(cw, ch) && view->paints() > 0; }));
    return view;
  }
  template <class View>
  void repaint(View* view) {
    const int before = view->paints();
    view->Refresh(false);
    ASSERT_TRUE(wait_for([&] { return view->paints() > before; }));
  }
  template <class View>
  std::vector<uint8_t> screen(View* view) {
    const wxSize size = view->GetClientSize();
    return screenshot(view->ClientToScreen(wxPoint(0, 0)), size.x, size.y);
  }

  // Two black frames at the origin, 1 mm pixels.
  void load_frames() {
    for (int f = 0; f < 2; ++f) add_frame_at_origin(new uint8_t[W * H](), W, H);
    announce_frames(W, H, 2);
  }

  std::unique_ptr<headless_session> session_;
  wxFrame* frame_ = nullptr;
};

TEST_F(ModelOverlayScreen, ReviewViewShowsDataPointsRedWhereTheFitUsesThem) {
  review_canvas* view = show(new review_canvas(frame_, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                               wxWANTS_CHARS, "review_canvas"));
  load_frames();
  resource_table_t& t = *resource_table;
  fit_model& m = *t.RES_FIT_MODEL->read();
  // Data points in mm lie at the same frame pixels (0.1 cm pixels).
  m.data.loaded_points = {{15, 12, 0}, {45, 30, 0}, {30, 20, 5}};
  m.data.normals.assign(3, vec3_t{});
  m.data.point_count = 3;
  m.model.match_index = {1};
  m.model.match_distance2 = {0.0};
  m.model.match_range2 = 1.0;
  m.page.search_range = 10;
  m.range_divisor = 10.0;
  t.RES_SEE_SSM->write(true);
  repaint(view);
  std::vector<uint8_t> s = screen(view);
  EXPECT_TRUE(colour_near(s, CW, 15, 12, 1, {128, 0, 0}, 2)) << "an unmatched point: dark red";
  EXPECT_TRUE(colour_near(s, CW, 45, 30, 1, {255, 0, 0}, 2)) << "a matched point: red";
  EXPECT_FALSE(colour_near(s, CW, 30, 20, 4, {128, 0, 0}, 40)) << "half a centimetre off the frame";
  EXPECT_FALSE(colour_near(s, CW, 45, 30, 4, {128, 0, 0}, 2)) << "drawn over in red";

  t.RES_SEE_SSM->write(false);
  repaint(view);
  s = screen(view);
  EXPECT_FALSE(colour_near(s, CW, 15, 12, 4, {128, 0, 0}, 40));
}

TEST_F(ModelOverlayScreen, ReviewViewShowsTheThicknessLineOnTheMeasuredFrameOnly) {
  review_canvas* view = show(new review_canvas(frame_, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                               wxWANTS_CHARS, "review_canvas"));
  load_frames();
  resource_table_t& t = *resource_table;
  thickness& e = *t.RES_THICKNESS->read();
  e.sampled = e.valid = true;
  e.frame = 1;
  e.cell_count = 1;
  e.line_start = {{5.5, 30.5}};
  e.line_end = {{55.5, 30.5}};
  e.line_length = 5.0;  // 1 cm per 10 pixels
  e.outer_edge = 1.5;   // at x = 20.5
  e.inner_edge = 3.5;   // at x = 40.5
  t.RES_BUF_CURRENT_FRAME->write(1);
  t.RES_CURRENT_VISUAL_PAGE->write(4);
  repaint(view);
  std::vector<uint8_t> s = screen(view);
  EXPECT_TRUE(colour_near(s, CW, 10, 30, 1, {0, 255, 255}, 2)) << "the central line";
  EXPECT_TRUE(colour_near(s, CW, 30, 30, 1, {0, 255, 255}, 2));
  EXPECT_TRUE(colour_near(s, CW, 20, 30, 1, {255, 0, 0}, 2)) << "the outer edge";
  EXPECT_TRUE(colour_near(s, CW, 40, 30, 1, {255, 0, 0}, 2)) << "the inner edge";

  t.RES_BUF_CURRENT_FRAME->write(0);
  repaint(view);
  s = screen(view);
  EXPECT_FALSE(colour_near(s, CW, 10, 30, 3, {0, 255, 255}, 30)) << "another frame";
  t.RES_BUF_CURRENT_FRAME->write(1);
  t.RES_CURRENT_VISUAL_PAGE->write(0);
  repaint(view);
  s = screen(view);
  EXPECT_FALSE(colour_near(s, CW, 10, 30, 3, {0, 255, 255}, 30)) << "another visualisation page";
  // Loading other frames discards the measurement.
  t.RES_BUF_FRAMES->write(1);
  EXPECT_FALSE(e.sampled);
}

TEST_F(ModelOverlayScreen, CentreViewShowsTheThicknessKeyOnTheThicknessPage) {
  resource_table_t& t = *resource_table;
  t.RES_CURRENT_VISUAL_PAGE->write(4);
  t.RES_DICOM_WIN_CENTRE->write(500.0);
  t.RES_DICOM_WIN_WIDTH->write(1000.0);
  thickness& e = *t.RES_THICKNESS->read();
  e.sampled = true;
  e.valid = false;
  e.frame = 0;
  e.line_length = 2.0;
  e.sample_count = 50;
  e.profile.assign(50, 500.0);
  // A window as wide as the key, its labels and the profile need.
  const int cw = 480, ch = 360;
  centre_canvas* view = show(new centre_canvas(frame_, wxID_ANY, wxDefaultPosition, wxDefaultSize, 0,
                                               "centre_canvas"), cw, ch);
  repaint(view);
  const std::vector<uint8_t> s = screen(view);
  const int P = glfont_table[t.RES_GLUT_FONT->read()].pixel_size;
  const int Hk = ch - P - 20, y0 = P + 10;
  // Key row n at GL y = y0 + n H / 330; screen rows run from the top.
  auto screen_row = [&](int n) { return ch - 1 - (y0 + (n * Hk) / 330); };
  // The bar runs from cw - P - 10 to cw - 10; its labels end left of its right edge.
  const int bar_x = cw - 13;
  const int map = static_cast<int>(t.RES_THICKNESS_DISP_COL->read());
  struct probe {
    int entry;
    int from_row, to_row;
  } probes[] = {{0, 0, 15}, {1, 25, 40}, {255, 315, 330}, {60, 109, 110}, {128, 177, 178}, {200, 249, 250}};
  for (const probe& p : probes) {
    const int y = (screen_row(p.from_row) + screen_row(p.to_row)) / 2;
    const uint8_t* px = &s[(static_cast<size_t>(y) * cw + bar_x) * 3];
    // A pixel of the bar covers about one entry: it shows one within two of the probed one.
    bool found = false;
    for (int entry = p.entry - 2; entry <= p.entry + 2 && !found; ++entry) {
      if ((p.entry <= 1 || p.entry == 255) && entry != p.entry) continue;
      uint8_t rgb[3];
      thickness_colour(map, entry, rgb);
      found = std::abs(px[0] - rgb[0]) <= 3 && std::abs(px[1] - rgb[1]) <= 3 && std::abs(px[2] - rgb[2]) <= 3;
    }
    EXPECT_TRUE(found) << "entry " << p.entry << ": " << int(px[0]) << "," << int(px[1]) << "," << int(px[2]);
  }
  // The measured profile at the window centre lies half-way up the graph
  // (value 127 of 256); nothing of it below or above.
  const int x0 = P * 25 / 10 + 10;
  const int value_y = ch - 1 - (y0 + 127 * Hk / 256);
  EXPECT_TRUE(colour_near(s, cw, x0 + 40, value_y, 1, {0, 255, 255}, 40)) << "the measured profile";
  EXPECT_FALSE(colour_near(s, cw, x0 + 40, value_y - 20, 3, {0, 255, 255}, 40));
  EXPECT_FALSE(colour_near(s, cw, x0 + 40, value_y + 20, 3, {0, 255, 255}, 40));
}

}  // namespace
