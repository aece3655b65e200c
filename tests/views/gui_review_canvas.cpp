// The review view on screen: a known gradient frame read back from the
// window's front buffer, through both drawing paths, inverted, and saved.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <vector>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/utils.h>

#include "screen_capture.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "registry/res_values.h"
#include "tools/headless_session.h"
#include "views/gl_view_support.h"
#include "views/globcmap.h"
#include "views/review_canvas.h"
#include "view_test_support.h"

namespace {

constexpr int W = 64, H = 48;
constexpr int CW = 200, CH = 150;
// Background #204060.
constexpr uint8_t BG[3] = {0x20, 0x40, 0x60};

uint8_t gradient(int c, int r) { return static_cast<uint8_t>(c + 4 * r); }

// Lets the toolkit run until cond holds; false after 20 s.
class ReviewCanvasScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    use_screen_gl_attributes();
    screen_resource_defaults();
    resource_table_t& t = *resource_table;
    t.RES_REVIEW_ZOOM->write(1.0);
    t.RES_USE_SCROLLBARS->write(false);
    frame_ = new wxFrame(nullptr, wxID_ANY, "review", wxDefaultPosition, wxDefaultSize);
    view_ = new review_canvas(frame_, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                              wxHSCROLL | wxVSCROLL | wxWANTS_CHARS, "review_canvas");
    frame_->SetClientSize(CW, CH);
    frame_->Show();
    ASSERT_TRUE(wait_for([&] {
      return view_->GetClientSize() == wxSize(CW, CH) && view_->paints() > 0;
    }));
  }
  void TearDown() override {
    close_screen(frame_);
    drop_colour_map();
  }

  void load_gradient() {
    auto* px = new uint8_t[W * H];
    for (int r = 0; r < H; ++r)
      for (int c = 0; c < W; ++c) px[r * W + c] = gradient(c, r);
    add_frame_at_origin(px, W, H);
    announce_frames(W, H, 1);
    repaint();
  }

  // Asks for a paint and waits until one has run.
  void repaint() {
    const int before = view_->paints();
    view_->Refresh(false);
    ASSERT_TRUE(wait_for([&] { return view_->paints() > before; }));
  }

  // The client area as RGB rows from the top, as the X server shows it.
  std::vector<uint8_t> screen() { return screenshot(view_->ClientToScreen(wxPoint(0, 0)), CW, CH); }

  // Counts the pixels that differ from the frame (row of window row y given
  // by row_of) inside the frame and from the background outside.
  int mismatches(const std::vector<uint8_t>& s, const std::function<int(int)>& row_of) {
    int bad = 0;
    for (int y = 0; y < CH; ++y)
      for (int x = 0; x < CW; ++x) {
        const uint8_t* p = &s[(y * CW + x) * 3];
        const bool inside = x < W && y < H;
        for (int k = 0; k < 3; ++k) {
          const uint8_t want = inside ? gradient(x, row_of(y)) : BG[k];
          if (p[k] != want) {
            if (bad < 5)
              ADD_FAILURE() << "pixel " << x << "," << y << " channel " << k << ": "
                            << int(p[k]) << " not " << int(want);
            ++bad;
          }
        }
      }
    return bad;
  }

  headless_session session_;
  wxFrame* frame_ = nullptr;
  review_canvas* view_ = nullptr;
};

TEST_F(ReviewCanvasScreen, WithoutFramesOnlyTheBackgroundShows) {
  resource_table->RES_SEE_MARK->write(true);
  resource_table->RES_SEE_DRAW->write(true);
  repaint();
  const std::vector<uint8_t> s = screen();
  EXPECT_EQ(channels_unlike(s, CW * CH, BG), 0);
}

TEST_F(ReviewCanvasScreen, GradientReadsBackExactlyAtZoomOneFromTheTopLeft) {
  load_gradient();
  EXPECT_TRUE(view_->state().image_shown);
  EXPECT_TRUE(view_->gl3_path()) << "OpenGL 3 is present under the test display";
  EXPECT_EQ(mismatches(screen(), [](int y) { return y; }), 0);
}

TEST_F(ReviewCanvasScreen, InvertPutsRowZeroAtTheBottomOfTheFrame) {
  load_gradient();
  resource_table->RES_INVERT_BSCAN->write(true);
  repaint();
  EXPECT_EQ(mismatches(screen(), [](int y) { return H - 1 - y; }), 0);
}

TEST_F(ReviewCanvasScreen, RasterPathGivesTheSamePixels) {
  load_gradient();
  ASSERT_TRUE(view_->gl3_path());
  const std::vector<uint8_t> blit = screen();
  view_->force_raster_path(true);
  repaint();
  const std::vector<uint8_t> raster = screen();
  EXPECT_EQ(mismatches(raster, [](int y) { return y; }), 0);
  EXPECT_TRUE(blit == raster);
}

TEST_F(ReviewCanvasScreen, DumpWindowSavesTheVisibleFrame) {
  load_gradient();
  const std::string path =
      (std::filesystem::temp_directory_path() / ("nv_review_dump_" + std::to_string(::getpid()) + ".png"))
          .string();
  ASSERT_TRUE(view_->dump_window(path, wxBITMAP_TYPE_PNG));
  wxImage image;
  ASSERT_TRUE(image.LoadFile(path, wxBITMAP_TYPE_PNG));
  std::filesystem::remove(path);
  ASSERT_EQ(image.GetWidth(), W);
  ASSERT_EQ(image.GetHeight(), H);
  int bad = 0;
  for (int r = 0; r < H; ++r)
    for (int c = 0; c < W; ++c)
      bad += image.GetRed(c, r) != gradient(c, r) || image.GetBlue(c, r) != gradient(c, r);
  EXPECT_EQ(bad, 0);
  // A folder that cannot be written to leaves nothing behind and says so.
  EXPECT_FALSE(view_->dump_window("/nonexistent-folder/view.png", wxBITMAP_TYPE_PNG));
}

// A data set masked once gets a border along the right and lower frame edges.
TEST_F(ReviewCanvasScreen, MaskedDataGetAFrameBorder) {
  load_gradient();
  resource_table->RES_SEE_OUTLINES->write(1);
  resource_table->RES_MASKED_DATA->write(1);
  repaint();
  const std::vector<uint8_t> s = screen();
  auto white = [&](int x, int y) {
    const uint8_t* p = &s[(y * CW + x) * 3];
    return p[0] == 255 && p[1] == 255 && p[2] == 255;
  };
  // Lines on the pixel boundary may land on either side of it.
  EXPECT_TRUE(white(W, 10) || white(W - 1, 10)) << "right edge";
  EXPECT_TRUE(white(10, H - 1) || white(10, H)) << "lower edge";
  EXPECT_FALSE(white(10, 10));
  EXPECT_FALSE(white(W + 2, 10));
  EXPECT_FALSE(white(10, H + 2));
}

TEST_F(ReviewCanvasScreen, LandmarkShowsOnItsFrameOnlyWhileMarksAreShown) {
  load_gradient();
  resource_table_t& t = *resource_table;
  t.RES_XSCALE->write(0.01);
  t.RES_YSCALE->write(0.01);
  t.RES_LANDMARKS->read()->add_landmark(vec3_t{0.20, 0.10, 0.0}, "", LM_2D);
  auto at = [&](const std::vector<uint8_t>& s, int x, int y) {
    const uint8_t* p = &s[(y * CW + x) * 3];
    return std::vector<int>{p[0], p[1], p[2]};
  };
  t.RES_SEE_MARK->write(false);
  repaint();
  EXPECT_EQ(at(screen(), 20, 10), (std::vector<int>{60, 60, 60}));  // 20 + 4 x 10
  t.RES_SEE_MARK->write(true);
  repaint();
  const std::vector<uint8_t> shown = screen();
  EXPECT_EQ(at(shown, 20, 10), (std::vector<int>{0, 255, 255}));
  EXPECT_EQ(at(shown, 30, 10), (std::vector<int>{70, 70, 70}));
  // On another frame the 2D landmark of frame 0 is not drawn.
  frame_store->add_image(frame_store->imagecp(0));
  t.RES_BUF_FRAMES->write(2);
  t.RES_BUF_CURRENT_FRAME->write(1);
  repaint();
  EXPECT_EQ(at(screen(), 20, 10), (std::vector<int>{60, 60, 60}));
}

TEST_F(ReviewCanvasScreen, ContourVerticesShowInTheirPointColour) {
  load_gradient();
  resource_table_t& t = *resource_table;
  contour_object* objects = t.RES_OBJECT->read();
  objects[0].colour = rgba_colour_t(250, 240, 200);
  frame_contours_t entry;
  entry.frame = 0;
  contour_t c;
  c.vertices = {{10, 10}, {40, 10}, {40, 30}};
  c.closed = true;
  entry.contours.push_back(c);
  objects[0].frames.push_back(entry);
  t.RES_SEE_DRAW->write(true);
  t.RES_TOOL->write(static_cast<tool_selection_t>(3));  // Draw: vertices as points
  repaint();
  const std::vector<uint8_t> s = screen();
  const uint8_t* p = &s[(10 * CW + 10) * 3];
  EXPECT_EQ((std::vector<int>{p[0], p[1], p[2]}), (std::vector<int>{125, 120, 100}));
  // Off the contour the frame shows as before.
  p = &s[(20 * CW + 5) * 3];
  EXPECT_EQ(p[0], gradient(5, 20));
}

TEST_F(ReviewCanvasScreen, ZoomChangeIsReportedAndApplied) {
  load_gradient();
  resource_table->RES_REVIEW_ZOOM->write(1.5);
  EXPECT_EQ(resource_table->RES_ALERT_STRING->read(), "Review zoom factor 1.50");
  EXPECT_DOUBLE_EQ(view_->state().g.zoom, 1.5);
  EXPECT_EQ(view_->state().g.display_width, 96);  // ceil(64 x 1.5 - 0.5)
  EXPECT_EQ(view_->state().g.display_height, 72);
}

// A paint that arrives while another view paints is not lost: it comes again
// once that paint is over, without anyone asking.
TEST_F(ReviewCanvasScreen, PaintDuringAnotherViewsPaintComesAgain) {
  load_gradient();
  const int painted = view_->paints();
  const int deferred = view_->deferred_paints();
  gl_view_painting = true;
  view_->Refresh(false);
  const bool seen = wait_for([&] { return view_->deferred_paints() > deferred; });
  gl_view_painting = false;
  ASSERT_TRUE(seen);
  EXPECT_EQ(view_->paints(), painted);
  EXPECT_TRUE(wait_for([&] { return view_->paints() > painted; }));
}

// A destroyed view leaves no change procedure behind on the resources.
TEST_F(ReviewCanvasScreen, DestroyedViewLeavesNoChangeProcedure) {
  base_res_t* watched[] = {resource_table->RES_BUF_CURRENT_FRAME, resource_table->RES_TOOL,
                           resource_table->RES_SURFACE[200]};
  std::vector<int32_t> with_view;
  for (base_res_t* r : watched) with_view.push_back(r->worry_count());
  view_->Destroy();
  view_ = nullptr;
  wait_for([] { return wxTheApp->Pending() == false; });
  wxTheApp->ProcessIdle();
  for (size_t i = 0; i < std::size(watched); ++i)
    EXPECT_EQ(watched[i]->worry_count(), with_view[i] - 1) << watched[i]->name();
  resource_table->RES_BUF_CURRENT_FRAME->write(3);  // reaches no view
}

}  // namespace
