// The corner view on screen: plane 1 read back from the display equals the
// builder's image, an arrow key moves the plane by one pixel and the view
// follows, and removing the builder leaves only the background.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/filefn.h>
#include <wx/utils.h>

#include <unistd.h>

#include <string>

#include "data/calipers.h"
#include "data/curves.h"
#include "data/landmarks.h"
#include "registry/res_values.h"
#include "reslice_test_support.h"
#include "screen_capture.h"
#include "views/corner_canvas.h"
#include "views/gl_view_support.h"
#include "views/globcmap.h"
#include "views/reslice_internals.h"
#include "view_test_support.h"

namespace {

constexpr int CW = 200, CH = 150;
constexpr int S = 48;  // plane 1 is S x S pixels
constexpr uint8_t BG[3] = {0x20, 0x40, 0x60};

// Counts the raises of a resource while it lives.
struct raise_counter {
  explicit raise_counter(base_res_t* r) : res(r), proc(this, &raise_counter::hit) {
    res->add_proc(&proc);
  }
  ~raise_counter() { res->remove_proc(&proc); }
  void hit() { ++count; }
  base_res_t* res;
  int count = 0;
  pmf_functor<raise_counter> proc;
};

class CornerCanvasScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    use_screen_gl_attributes();
    screen_resource_defaults();
    resource_table_t& t = *resource_table;
    t.RES_CORNER_ZOOM->write(1.0);
    t.RES_USE_SCROLLBARS->write(false);
    t.RES_SEE_OUTLINES->write(0);
    t.RES_DISPLAY_COG->write(false);  // no scale bar or navigation box unless a test asks
    // Four flat frames 0.5 mm apart; pixels 0.5 mm.
    stack_.load({0.15, 0.2, 0.25, 0.3});
    frame_ = new wxFrame(nullptr, wxID_ANY, "corner", wxDefaultPosition, wxDefaultSize);
    view_ = new corner_canvas(frame_, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                              wxHSCROLL | wxVSCROLL | wxWANTS_CHARS, "corner_canvas");
    frame_->SetClientSize(CW, CH);
    frame_->Show();
    ASSERT_TRUE(wait_for([&] {
      return view_->GetClientSize() == wxSize(CW, CH) && view_->paints() > 0;
    }));
  }
  void TearDown() override {
    builder_.reset();
    close_screen(frame_);
    drop_colour_map();
  }

  // The Ortho page's builder of plane 1, lying in frame 1.
  void open_plane() {
    builder_ = open_plane_one(S);
  }

  std::vector<uint8_t> screen() { return screenshot(view_->ClientToScreen(wxPoint(0, 0)), CW, CH); }

  // Pixels that differ from image (grey through the default map) at the top
  // left, and from the background elsewhere; image null: background only.
  int mismatches(const uint8_t* image) {
    const std::vector<uint8_t> s = screen();
    if (s.empty()) return -1;
    int bad = 0;
    for (int y = 0; y < CH; ++y)
      for (int x = 0; x < CW; ++x)
        for (int k = 0; k < 3; ++k) {
          const bool inside = image && x < S && y < S;
          const uint8_t want = inside ? image[y * S + x] : BG[k];
          if (s[(y * CW + x) * 3 + k] != want) ++bad;
        }
    return bad;
  }

  headless_session session_;
  synthetic_stack stack_;
  wxFrame* frame_ = nullptr;
  corner_canvas* view_ = nullptr;
  std::unique_ptr<reslice_internals> builder_;
};

TEST_F(CornerCanvasScreen, ShowsPlaneOneAndFollowsTheRightArrow) {
  open_plane();
  ASSERT_TRUE(builder_->get_image());
  // The plane lies in frame 1: its image is that frame.
  std::vector<uint8_t> before(builder_->get_image(), builder_->get_image() + S * S);
  int same_as_frame = 0;
  for (int y = 0; y < S; ++y)
    for (int x = 0; x < S; ++x) same_as_frame += before[y * S + x] == stack_.value(1, x, y);
  EXPECT_GT(same_as_frame, S * S * 9 / 10);
  ASSERT_TRUE(wait_for([&] { return mismatches(before.data()) == 0; }))
      << mismatches(before.data()) << " channels differ";

  wxKeyEvent key(wxEVT_KEY_DOWN);
  key.m_keyCode = WXK_RIGHT;
  key.SetEventObject(view_);
  view_->GetEventHandler()->ProcessEvent(key);
  // One mean pixel (0.5 mm) along the normal: into frame 2.
  EXPECT_NEAR(resource_table->RESLICE->read()[1].centre.z, 0.25, 1e-12);
  std::vector<uint8_t> after(builder_->get_image(), builder_->get_image() + S * S);
  EXPECT_NE(after, before);
  ASSERT_TRUE(wait_for([&] { return mismatches(after.data()) == 0; }))
      << mismatches(after.data()) << " channels differ";

  // Another key reaches the next handler.
  wxKeyEvent other(wxEVT_KEY_DOWN);
  other.m_keyCode = 'Q';
  other.SetEventObject(view_);
  view_->GetEventHandler()->ProcessEvent(other);
  EXPECT_TRUE(other.GetSkipped());
}

TEST_F(CornerCanvasScreen, SavedImageIsThePlaneImage) {
  open_plane();
  std::vector<uint8_t> shown(builder_->get_image(), builder_->get_image() + S * S);
  ASSERT_TRUE(wait_for([&] { return mismatches(shown.data()) == 0; }));
  const std::string dir = ::testing::TempDir() + "corner_dump_" + std::to_string(::getpid());
  ASSERT_TRUE(wxMkdir(dir));
  const wxString path = dir + "/plane.png";
  ASSERT_TRUE(view_->dump_window(path, wxBITMAP_TYPE_PNG));
  wxImage saved(path, wxBITMAP_TYPE_PNG);
  ASSERT_TRUE(saved.IsOk());
  ASSERT_EQ(saved.GetWidth(), S);
  ASSERT_EQ(saved.GetHeight(), S);
  int bad = 0;
  for (int i = 0; i < S * S * 3; ++i) bad += saved.GetData()[i] != shown[i / 3];
  EXPECT_EQ(bad, 0);
  EXPECT_FALSE(view_->dump_window(dir + "/missing/plane.png", wxBITMAP_TYPE_PNG));
  wxRemoveFile(path);
  wxRmdir(dir);
}

// Plane 1 reaching past the data: the part without data shows the window's
// background, as in the centre view, not the colour of value 0.
TEST_F(CornerCanvasScreen, AreaOutsideTheDataShowsTheBackground) {
  open_plane();
  // Centre moved 0.6 cm along the image's x: columns from 36 on lie beyond
  // the frames' 2.4 cm.
  resource_table->RESLICE->read()[1].set_plane({0, 0, 1}, {1.8, 1.2, 0.2}, {0, 1, 0}, true);
  const uint8_t* image = builder_->get_image();
  ASSERT_TRUE(image);
  std::vector<uint8_t> shown(image, image + S * S);
  for (int y = 0; y < S; ++y)
    for (int x = 0; x < S; ++x) ASSERT_EQ(shown[y * S + x] == 0, x >= 36) << x << "," << y;
  auto unlike = [&] {
    const std::vector<uint8_t> s = screen();
    if (s.empty()) return -1;
    int bad = 0;
    for (int y = 0; y < CH; ++y)
      for (int x = 0; x < CW; ++x)
        for (int k = 0; k < 3; ++k) {
          const bool data = x < 36 && y < S;
          const uint8_t want = data ? shown[y * S + x] : BG[k];
          bad += s[(y * CW + x) * 3 + k] != want;
        }
    return bad;
  };
  ASSERT_TRUE(wait_for([&] { return unlike() == 0; })) << unlike() << " channels differ";
}

// Calipers of the corner view (index 2) are drawn in cyan and measured; those
// of the centre view are not.
TEST_F(CornerCanvasScreen, DrawsAndMeasuresOnlyItsOwnCalipers) {
  open_plane();
  resource_table_t& t = *resource_table;
  auto cyan = [&] {
    const std::vector<uint8_t> s = screen();
    int n = 0;
    for (size_t i = 0; i + 2 < s.size(); i += 3) n += s[i] == 0 && s[i + 1] == 255 && s[i + 2] == 255;
    return n;
  };
  calipers_t c;
  c.first_x = 10;
  c.first_y = 10;
  c.second_x = 30;  // 20 pixels of 0.5 mm
  c.second_y = 10;
  c.first_set = c.second_set = true;
  c.view = 1;
  t.RES_DISPLAY_COG->write(false);  // no scale bar
  t.RES_ALERT_STRING->write("");
  t.RES_CALIPERS->write(c);
  t.RES_TOOL->write(static_cast<tool_selection_t>(4));
  ASSERT_TRUE(wait_for([&] { return view_->paints() > 2; }));
  EXPECT_EQ(cyan(), 0);
  EXPECT_EQ(t.RES_ALERT_STRING->read(), "");
  c.view = 2;
  t.RES_CALIPERS->write(c);
  ASSERT_TRUE(wait_for([&] { return cyan() > 10; }));
  EXPECT_EQ(t.RES_ALERT_STRING->read(), "Reslice distance measurement 10.0 mm");
}

// A landmark on plane 1 shows as a cyan point at its pixel while marks are
// shown.
TEST_F(CornerCanvasScreen, LandmarkOnThePlaneIsDrawn) {
  open_plane();
  resource_table_t& t = *resource_table;
  // Image pixel (30, 20) of the plane lying at z = 2 mm.
  t.RES_LANDMARKS->read()->add_default_landmark({1.2 + 0.05 * 6, 1.2 - 0.05 * 4, 0.2}, 0);
  auto cyan_near = [&] {
    const std::vector<uint8_t> s = screen();
    int n = 0;
    for (int y = 15; y < 26; ++y)
      for (int x = 25; x < 36; ++x) {
        const uint8_t* q = &s[(y * CW + x) * 3];
        n += q[0] < 40 && q[1] > 215 && q[2] > 215;
      }
    return n;
  };
  t.RES_SEE_MARK->write(false);
  ASSERT_TRUE(wait_for([&] { return view_->paints() > 1 && cyan_near() == 0; }));
  t.RES_SEE_MARK->write(true);
  EXPECT_TRUE(wait_for([&] { return cyan_near() > 4; }));
}

// A curve crossing plane 1 is drawn where it crosses, in colour, only while
// marks are shown.
TEST_F(CornerCanvasScreen, LandmarkCurveCrossingThePlaneIsDrawn) {
  open_plane();
  resource_table_t& t = *resource_table;
  curve_t curve;
  // Through image pixel (20, 30) of the plane at z = 2 mm, across it.
  const double x = 1.2 + 0.05 * (20 - 24), y = 1.2 + 0.05 * (30 - 24);
  for (double z : {0.1, 0.3}) {
    curve_point cp;
    cp.x = x;
    cp.y = y;
    cp.z = z;
    curve.points.push_back(cp);
  }
  curve.object = 0;
  t.RES_CURVE->read()->curves.push_back(curve);
  auto coloured_near = [&] {
    const std::vector<uint8_t> s = screen();
    int n = 0;
    for (int r = 24; r < 37; ++r)
      for (int c = 14; c < 27; ++c) {
        const uint8_t* q = &s[(r * CW + c) * 3];
        n += !(q[0] == q[1] && q[1] == q[2]);  // the plane image is grey
      }
    return n;
  };
  t.RES_SEE_MARK->write(false);
  ASSERT_TRUE(wait_for([&] { return view_->paints() > 1 && coloured_near() == 0; }));
  t.RES_SEE_MARK->write(true);
  t.CURVE->write();
  EXPECT_TRUE(wait_for([&] { return coloured_near() > 4; }));
}

// The scale bar (red, at the bottom left) follows RES_DISPLAY_COG while the
// Mark tool is chosen.
TEST_F(CornerCanvasScreen, ScaleBarFollowsTheDisplaySwitch) {
  open_plane();
  resource_table_t& t = *resource_table;
  auto red_below = [&] {
    const std::vector<uint8_t> s = screen();
    int n = 0;
    for (int y = S; y < CH; ++y)
      for (int x = 0; x < CW; ++x) {
        const uint8_t* q = &s[(y * CW + x) * 3];
        n += q[0] > 200 && q[1] < 60 && q[2] < 60;
      }
    return n;
  };
  t.RES_SEE_MARK->write(false);
  t.RES_TOOL->write(static_cast<tool_selection_t>(2));
  t.RES_DISPLAY_COG->write(false);
  ASSERT_TRUE(wait_for([&] { return mismatches(nullptr) > 0 && red_below() == 0; }));
  t.RES_DISPLAY_COG->write(true);
  EXPECT_TRUE(wait_for([&] { return red_below() > 10; }));
}

// Leaving the Ortho page deletes the builder: its change procedures go with
// it and the view shows only the background.
TEST_F(CornerCanvasScreen, RemovingTheBuilderLeavesTheBackground) {
  open_plane();
  std::vector<uint8_t> shown(builder_->get_image(), builder_->get_image() + S * S);
  ASSERT_TRUE(wait_for([&] { return mismatches(shown.data()) == 0; }));
  builder_.reset();
  resource_table->RES_REDISPLAY_RESLICE1->write();
  EXPECT_EQ(resource_table->RESLICE->read()[1].builder, nullptr);
  raise_counter redisplay(resource_table->RES_REDISPLAY_RESLICE1);
  resource_table->RES_DICOM_REDRAW->write();  // a live builder would rebuild and raise
  EXPECT_EQ(redisplay.count, 0);
  ASSERT_TRUE(wait_for([&] { return mismatches(nullptr) == 0; }));
}

TEST_F(CornerCanvasScreen, ZoomChangeReportsAndAGoneViewHearsNothing) {
  resource_table->RES_CORNER_ZOOM->write(2.0);
  EXPECT_EQ(resource_table->RES_ALERT_STRING->read(), "Corner zoom factor 2.00");
  EXPECT_DOUBLE_EQ(view_->state().g.zoom, 2.0);
  resource_table->RES_CENTRE_ZOOM->write(3.0);  // another view's zoom
  EXPECT_DOUBLE_EQ(view_->state().g.zoom, 2.0);

  auto* second = new corner_canvas(frame_, wxID_ANY, wxDefaultPosition, wxSize(50, 50),
                                   wxWANTS_CHARS, "corner_canvas");
  EXPECT_GT(second->watched(), 200u);
  second->Destroy();
  wait_for([] { return wxTheApp->Pending() == false; });
  wxTheApp->ProcessIdle();
  // Commits after the second view is gone must not reach it.
  resource_table->RES_CORNER_ZOOM->write(1.5);
  resource_table->RES_BACKGROUND->write("#204061");
  EXPECT_DOUBLE_EQ(view_->state().g.zoom, 1.5);
}

}  // namespace
