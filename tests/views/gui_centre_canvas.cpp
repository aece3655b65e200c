// The centre view on screen: the reslice of plane 0 and the panorama read
// back from the X display equal the builders' images through the display
// colour map; the view's saved image equals what is shown.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/utils.h>

#include "reslice_test_support.h"
#include "screen_capture.h"
#include "views/centre_canvas.h"
#include "views/gl_view_support.h"
#include "views/globcmap.h"
#include "views/panorama_internals.h"
#include "views/reslice_internals.h"

namespace {

constexpr int CW = 120, CH = 100;
constexpr uint8_t BG[3] = {0x20, 0x40, 0x60};

bool wait_for(const std::function<bool()>& cond) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    wxTheApp->Yield(true);
    wxMilliSleep(2);
  }
  return true;
}

class CentreCanvasScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    static int attributes[] = {WX_GL_RGBA,      WX_GL_DOUBLEBUFFER, WX_GL_DEPTH_SIZE, 16,
                               WX_GL_MIN_ALPHA, 8,                  WX_GL_MIN_RED,    8,
                               WX_GL_MIN_GREEN, 8,                  WX_GL_MIN_BLUE,   8,
                               0};
    gl_attributes = attributes;
    session_ = std::make_unique<headless_session>();
    colour_map = new globcmap_t;
    resource_table_t& t = *resource_table;
    t.RES_BACKGROUND->write("#204060");
    t.RES_LOCK_ZOOM->write(true);
    t.RES_CENTRE_ZOOM->write(1.0);
    frame_ = new wxFrame(nullptr, wxID_ANY, "centre", wxDefaultPosition, wxDefaultSize);
    view_ = new centre_canvas(frame_, wxID_ANY, wxDefaultPosition, wxDefaultSize, 0, "centre_canvas");
    frame_->SetClientSize(CW, CH);
    frame_->Show();
    ASSERT_TRUE(wait_for([&] { return view_->GetClientSize() == wxSize(CW, CH) && view_->paints() > 0; }));
  }
  void TearDown() override {
    frame_->Destroy();
    wait_for([] { return wxTheApp->Pending() == false; });
    wxTheApp->ProcessIdle();
    delete colour_map;
    colour_map = nullptr;
    session_.reset();
  }

  void repaint() {
    const int before = view_->paints();
    view_->Refresh(false);
    ASSERT_TRUE(wait_for([&] { return view_->paints() > before; }));
  }

  std::vector<uint8_t> screen() { return screenshot(view_->ClientToScreen(wxPoint(0, 0)), CW, CH); }

  // Mismatches between the screen and an image of w x h placed at the top
  // left through the colour map (0 shows the background), the background
  // elsewhere.
  int mismatches(const std::vector<uint8_t>& s, const uint8_t* image, int w, int h) {
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    colour_map->map_to_rgb(image, w, h, rgb.data(), w, h, 1);
    int bad = 0;
    for (int y = 0; y < CH; ++y)
      for (int x = 0; x < CW; ++x)
        for (int k = 0; k < 3; ++k) {
          const bool data = x < w && y < h && image[y * w + x] != 0;
          const uint8_t want = data ? rgb[(static_cast<size_t>(y) * w + x) * 3 + k] : BG[k];
          const uint8_t got = s[(static_cast<size_t>(y) * CW + x) * 3 + k];
          if (got != want && bad++ < 5)
            ADD_FAILURE() << "pixel " << x << "," << y << " channel " << k << ": " << int(got) << " not "
                          << int(want);
        }
    return bad;
  }

  std::unique_ptr<headless_session> session_;
  synthetic_stack stack_;
  wxFrame* frame_ = nullptr;
  centre_canvas* view_ = nullptr;
};

TEST_F(CentreCanvasScreen, NoBuilderShowsOnlyTheBackground) {
  repaint();
  const std::vector<uint8_t> s = screen();
  int bad = 0;
  for (int i = 0; i < CW * CH; ++i)
    for (int k = 0; k < 3; ++k) bad += s[i * 3 + k] != BG[k];
  EXPECT_EQ(bad, 0);
  EXPECT_FALSE(view_->image_shown());
}

TEST_F(CentreCanvasScreen, PlaneZeroShowsItsReslice) {
  stack_.load({0, 0.1, 0.2});
  auto* builder = new reslice_internals(0, 0, 0);  // the table deletes it
  reslice_info& plane = *builder->plane();
  plane.set_width(64);
  plane.set_height(40);
  plane.set_plane({0, 0, 1}, {1.2, 1.2, 0.1}, {0, 1, 0}, true);
  ASSERT_EQ(plane.width, 64);
  ASSERT_EQ(plane.height, 40);
  ASSERT_TRUE(wait_for([&] { return view_->image_shown() && view_->geometry().image_width == 64; }));
  repaint();
  const uint8_t* image = builder->get_image();
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(mismatches(screen(), image, 64, 40), 0);

  // The saved view equals what is shown; other image types still load.
  const std::string dir =
      (std::filesystem::temp_directory_path() / ("nv-centre-" + std::to_string(::getpid()))).string();
  std::filesystem::create_directories(dir);
  const wxString png = dir + "/view.png";
  ASSERT_TRUE(view_->dump_window(png, wxBITMAP_TYPE_PNG));
  wxImage saved;
  ASSERT_TRUE(saved.LoadFile(png, wxBITMAP_TYPE_PNG));
  ASSERT_EQ(saved.GetWidth(), 64);
  ASSERT_EQ(saved.GetHeight(), 40);
  const std::vector<uint8_t> s = screen();
  int bad = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 64; ++x)
      for (int k = 0; k < 3; ++k)
        bad += saved.GetData()[(y * 64 + x) * 3 + k] != s[(static_cast<size_t>(y) * CW + x) * 3 + k];
  EXPECT_EQ(bad, 0);
  for (wxBitmapType type : {wxBITMAP_TYPE_PNG, wxBITMAP_TYPE_JPEG, wxBITMAP_TYPE_BMP, wxBITMAP_TYPE_TIFF})
    EXPECT_NE(wxImage::FindHandler(type), nullptr) << type;
  std::filesystem::remove_all(dir);
}

TEST_F(CentreCanvasScreen, PanoramaWithoutAPlaneIsShown) {
  stack_.load({0, 0.1, 0.2});  // a 3D sweep: not panoramic, shown all the same
  auto* panorama = new panorama_internals(false);
  resource_table->RES_PANORAMA->write(panorama);
  ASSERT_TRUE(wait_for([&] { return view_->image_shown() && view_->source().panorama; }));
  repaint();
  int32_t w = 0, h = 0;
  panorama->get_size(w, h);
  ASSERT_NE(panorama->get_image(), nullptr);
  EXPECT_EQ(mismatches(screen(), panorama->get_image(), w, h), 0);
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

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  wxSetAssertHandler([](const wxString& file, int line, const wxString&, const wxString& cond, const wxString&) {
    std::fprintf(stderr, "toolkit assertion %s at %s:%d\n", static_cast<const char*>(cond.utf8_str()),
                 static_cast<const char*>(file.utf8_str()), line);
    std::abort();
  });
  wxApp::SetInstance(new wxApp);
  if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) {
    std::fprintf(stderr, "cannot initialise the toolkit (no display?)\n");
    return 1;
  }
  wxInitAllImageHandlers();
  int rc = RUN_ALL_TESTS();
  wxTheApp->OnExit();
  wxEntryCleanup();
  return rc;
}
