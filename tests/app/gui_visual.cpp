// The visualisation notebook in the main window: its tabs, the lower views
// each page arranges, its builders, the OpenGL 3.0 warning, the track
// controls driving their planes, and grabbing a lower view through the
// image-save dialog.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/filedlg.h>
#include <wx/filefn.h>
#include <wx/image.h>
#include <wx/modalhook.h>
#include <wx/notebook.h>
#include <wx/splitter.h>

#include "app/app_ids.h"
#include "app/main_views.h"
#include "common/log_capture.h"
#include "data/data_reset.h"
#include "data/dynabuf.h"
#include "common/wx_events.h"
#include "data/landmarks.h"
#include "layout_support.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "views/globcmap.h"
#include "views/reslice_internals.h"
#include "views/screen_capture.h"
#include "visual/track_controls.h"
#include "visual/track_pages.h"
#include "visual/visual_pages.h"
#include "visual/visual_notebook_rules.h"

namespace {

// Answers the next file dialog with a path and a filter, as a user would.
struct file_answer : wxModalDialogHook {
  file_answer(std::string p, int f) : path(std::move(p)), filter(f) { Register(); }
  ~file_answer() override { Unregister(); }
  int Enter(wxDialog* dialog) override {
    auto* files = dynamic_cast<wxFileDialog*>(dialog);
    if (!files) return wxID_NONE;
    ++shown;
    title = files->GetMessage();
    files->SetPath(path);
    files->SetFilterIndex(filter);
    return wxID_OK;
  }
  void Exit(wxDialog*) override {}
  std::string path;
  int filter;
  int shown = 0;
  wxString title;
};

void choose(MainFrame* f, int page) {
  f->visual_notebook->SetSelection(page);
  pump_events(3);
}


// A stack of frames put straight into the frame store (identity probe
// orientation, 0.1 cm apart, or side by side 0.5 cm apart as a panorama),
// emptied again at the end of the scope.
struct loaded_stack {
  loaded_stack(int frames, int w, int h, double s, bool sideways = false) {
    resource_table_t& t = *resource_table;
    for (int k = 0; k < frames; ++k) {
      position_t p;
      (sideways ? p.x : p.z) = static_cast<float>((sideways ? 0.5 : 0.1) * k);
      frame_store->positions.push_back(position_holder_t::create(p));
      frame_store->timestamps.push_back(0);
      auto* pixels = new uint8_t[static_cast<size_t>(w) * h];
      for (int i = 0; i < w * h; ++i) pixels[i] = static_cast<uint8_t>(1 + (i * 7 + k * 31) % 250);
      frame_store->add_image(frame_image_t::create(pixels, w * h));
    }
    t.RES_BUF_WIDTH->write(w);
    t.RES_BUF_HEIGHT->write(h);
    t.RES_FRAME_SIZE->write(w * h);
    t.RES_XSCALE->write(s);
    t.RES_YSCALE->write(s);
    t.RES_POS_REC->write(true);
    t.RES_BUF_FRAMES->write(frames);
  }
  ~loaded_stack() {
    clear_data();
    resource_table->RES_POS_REC->write(false);
    resource_table->RES_BUF_FRAMES->write(0);
  }
};

void send_mouse(wxWindow* w, wxEventType type, int x, int y, bool left) {
  wxMouseEvent e(type);
  e.SetEventObject(w);
  e.m_x = x;
  e.m_y = y;
  e.m_leftDown = left;
  w->GetEventHandler()->ProcessEvent(e);
}

// A drag with the left button from (x0, y0) to (x1, y1) in steps.
void drag(wxWindow* w, int x0, int y0, int x1, int y1, int steps) {
  send_mouse(w, wxEVT_LEFT_DOWN, x0, y0, true);
  for (int k = 1; k <= steps; ++k)
    send_mouse(w, wxEVT_MOTION, x0 + (x1 - x0) * k / steps, y0 + (y1 - y0) * k / steps, true);
  send_mouse(w, wxEVT_LEFT_UP, x1, y1, false);
}

// Presses a key on a track control as scripts do; true when it was passed on.
bool press(track_canvas* c, int key, bool shift = false) {
  wxKeyEvent e(wxEVT_KEY_DOWN);
  e.m_keyCode = key;
  e.m_shiftDown = shift;
  c->OnKeyDown(e);
  return e.GetSkipped();
}

// Every raise of plane 0's redisplay, with the pixel step its build took.
struct build_log final : base_functor {
  build_log() { resource_table->RES_REDISPLAY_RESLICE0->add_proc(this); }
  ~build_log() { resource_table->RES_REDISPLAY_RESLICE0->remove_proc(this); }
  void operator()() override {
    if (!resource_table->RES_REDISPLAY_RESLICE0->changed_in_flush()) return;
    auto* b = dynamic_cast<reslice_internals*>(resource_table->RESLICE->read()[0].builder);
    steps.push_back(b ? b->pixel_step() : -1);
  }
  std::vector<int> steps;
};

void expect_vec(const vec3_t& got, const vec3_t& want, const char* what) {
  EXPECT_NEAR(got.x, want.x, 1e-9) << what;
  EXPECT_NEAR(got.y, want.y, 1e-9) << what;
  EXPECT_NEAR(got.z, want.z, 1e-9) << what;
}

TEST(VisualNotebook, TabsFollowTheFeatureSwitches) {
  resource_table_t& t = *resource_table;
  const wxString titles[] = {"Blank", "Ortho", "Reslice", "Volume", "Thickness", "Pressure", "Panorama", "Spine"};
  struct switch_case {
    bool pressure, spine;
    size_t tabs;
  } cases[] = {{false, false, 5}, {true, false, 7}, {true, true, 8}};
  for (const switch_case& c : cases) {
    t.RES_PRESSURE_TASK->write(c.pressure);
    t.RES_SPINE_TASK->write(c.spine);
    extra_frame made;
    wxNotebook* book = made.frame->visual_notebook;
    ASSERT_EQ(book->GetPageCount(), c.tabs);
    for (size_t k = 0; k < c.tabs; ++k) EXPECT_EQ(book->GetPageText(k), titles[k]) << k;
    if (c.tabs == 7) {
      // Panorama without panoramic data says so; the Pressure page's line
      // grid then moves plane 3.
      choose(made.frame, 6);
      EXPECT_EQ(made.frame->visuals->panorama()->state->GetLabel(), "Data appears to be 3D, not panoramic");
      EXPECT_NE(t.RES_PANORAMA->read(), nullptr);
      choose(made.frame, 5);
      EXPECT_TRUE(made.frame->visuals->pressure()->move_normal->IsEnabled());
      EXPECT_NE(t.RESLICE->read()[3].builder, nullptr);
      choose(made.frame, 0);
      EXPECT_EQ(t.RES_PANORAMA->read(), nullptr);
    }
  }
  t.RES_PRESSURE_TASK->write(false);
  t.RES_SPINE_TASK->write(false);
}

TEST(VisualNotebook, PressureAndPanoramaPagesFollowPanoramicData) {
  resource_table_t& t = *resource_table;
  t.RES_PRESSURE_TASK->write(true);
  {
    extra_frame made;
    MainFrame* f = made.frame;
    loaded_stack stack(3, 48, 48, 0.05, true);
    choose(f, 6);
    EXPECT_EQ(f->visuals->panorama()->state->GetLabel(), "Data does appear to be panoramic");
    // The Pressure page shows the panorama: its line grid has no plane to move.
    choose(f, 5);
    EXPECT_FALSE(f->visuals->pressure()->move_normal->IsEnabled());
    EXPECT_NE(t.RESLICE->read()[3].builder, nullptr);
    choose(f, 0);
  }
  t.RES_PRESSURE_TASK->write(false);
}

TEST(VisualNotebook, VolumePageWithoutOpenGL3WarnsOnceAndIsShown) {
  // Never shown, the 3D view has not installed its shader programs.
  extra_frame made(1400, 1000, false);
  MainFrame* f = made.frame;
  log_capture log;
  choose(f, 3);
  EXPECT_EQ(log.count(wxLOG_Warning), 1);
  EXPECT_TRUE(log.has(wxLOG_Warning, "Volume rendering is not currently available.\nThis feature requires at least "
                                      "OpenGL version 3.0."));
  EXPECT_EQ(f->visual_notebook->GetSelection(), 3);
  EXPECT_EQ(resource_table->RES_CURRENT_VISUAL_PAGE->read(), 3);
  EXPECT_EQ(f->help_page, "volume.htm");
  choose(f, 2);
  choose(f, 3);
  EXPECT_EQ(log.count(wxLOG_Warning), 1);
  EXPECT_EQ(resource_table->RES_CURRENT_VISUAL_PAGE->read(), 3);
  choose(f, 0);
}

TEST(TrackControls, TenStepDragReslicesCoarselyThenOnceInFull) {
  extra_frame shown(1400, 1000, true);
  MainFrame* f = shown.frame;
  loaded_stack stack(6, 32, 24, 0.05);
  choose(f, 2);
  reslice_info& plane = resource_table->RESLICE->read()[0];
  ASSERT_NE(plane.builder, nullptr);
  // 2100 x 2100 pixels: the step estimate is the cube root of 8.4, truncated.
  plane.set_width(2100);
  plane.set_height(2100);
  plane.set_plane({0, 0, 1}, {0.8, 0.6, 0.25}, {0, 1, 0}, true);
  trackball* ball = f->visuals->reslice()->rotate;
  const wxSize size = ball->GetClientSize();
  ASSERT_GT(size.x, 20);
  build_log log;
  drag(ball, size.x / 2, size.y / 2, size.x / 2 + 10, size.y / 2 - 10, 10);
  const std::vector<int> want = {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1};
  EXPECT_EQ(log.steps, want);
  EXPECT_FALSE(resource_table->RES_DYNAMIC_UPDATE->read());
  EXPECT_GT(std::fabs(plane.normal.x) + std::fabs(plane.normal.y), 0.01);  // it turned
  choose(f, 0);
}

TEST(TrackControls, GridsMoveTheirPlaneByDragAndKeys) {
  extra_frame shown(1400, 1000, true);
  MainFrame* f = shown.frame;
  resource_table_t& t = *resource_table;
  loaded_stack stack(4, 16, 16, 0.05);
  choose(f, 2);
  reslice_info& plane = t.RESLICE->read()[0];
  ASSERT_NE(plane.builder, nullptr);
  plane.set_width(200);
  plane.set_height(100);
  plane.set_plane({0, 0, 1}, {0.4, 0.4, 0.15}, {0, 1, 0}, true);
  trackgrid* grid = f->visuals->reslice()->move;
  trackzgrid* line = f->visuals->reslice()->move_normal;

  // Left edge to right edge: half the plane's width along up x normal = +x,
  // and the grid slides by its 8 units.
  const wxSize gs = grid->GetClientSize();
  drag(grid, 0, gs.y / 2, gs.x, gs.y / 2, 4);
  expect_vec(plane.centre, {0.4 + 100 * 0.05, 0.4, 0.15}, "grid drag");
  EXPECT_NEAR(grid->grid_offset_x(), 8, 1e-9);
  EXPECT_NEAR(grid->grid_offset_y(), 0, 1e-9);

  // Across the line grid: half of (width + height) along the normal.
  const wxSize ls = line->GetClientSize();
  drag(line, 0, ls.y / 2, ls.x, ls.y / 2, 5);
  expect_vec(plane.centre, {5.4, 0.4, 0.15 + 150 * 0.05}, "line grid drag");

  // Up steps by the frame spacing, whatever its sign.
  const double zscale = t.RES_ZSCALE->read();
  t.RES_ZSCALE->write(-0.25);
  EXPECT_FALSE(press(line, WXK_UP));
  expect_vec(plane.centre, {5.4, 0.4, 7.9}, "Up");
  t.RES_ZSCALE->write(zscale);
  EXPECT_TRUE(press(line, 'A'));  // passed on
  expect_vec(plane.centre, {5.4, 0.4, 7.9}, "other key");

  // The rotation sphere's Left turns a quarter about the 3D view's y axis:
  // the normal keeps only its share along that axis; Right turns it back.
  const long rotation = t.RES_CURSOR_ROTATION->read();
  t.RES_CURSOR_ROTATION->write(90);
  const matrix4_t& v = f->outline_view->modelview();
  const vec3_t axis = vec3_normalise({v[1], v[5], v[9]});
  const vec3_t n0 = plane.normal;
  EXPECT_FALSE(press(f->visuals->reslice()->rotate, WXK_LEFT));
  EXPECT_NEAR(vec3_dot(plane.normal, n0), vec3_dot(n0, axis) * vec3_dot(n0, axis), 1e-9);
  EXPECT_NEAR(vec3_dot(plane.normal, axis), vec3_dot(n0, axis), 1e-9);
  press(f->visuals->reslice()->rotate, WXK_RIGHT);
  expect_vec(plane.normal, n0, "turned back");
  t.RES_CURSOR_ROTATION->write(rotation);

  // An undefined plane takes the keys and stays as it was.
  plane.reset_placement();
  const vec3_t before = plane.centre, normal = plane.normal;
  for (track_canvas* c : std::vector<track_canvas*>{grid, line, f->visuals->reslice()->rotate}) {
    EXPECT_FALSE(press(c, WXK_RIGHT));
    EXPECT_FALSE(press(c, WXK_DOWN, true));
  }
  expect_vec(plane.centre, before, "undefined centre");
  expect_vec(plane.normal, normal, "undefined normal");
  EXPECT_FALSE(plane.defined);
  // Tab and Shift+Tab still move the focus along the page's controls.
  grid->SetFocus();
  ASSERT_TRUE(wait_until([&] { return wxWindow::FindFocus() == grid; }));
  EXPECT_FALSE(press(grid, WXK_TAB));
  EXPECT_TRUE(wait_until([&] { return wxWindow::FindFocus() == line; }));
  EXPECT_FALSE(press(line, WXK_TAB, true));
  EXPECT_TRUE(wait_until([&] { return wxWindow::FindFocus() == grid; }));
  choose(f, 0);
}

// Columns of the grid's middle band (between two horizontal lines) drawn in
// the lines' grey.
std::vector<int> grey_columns(trackgrid* grid) {
  const wxSize c = grid->GetClientSize();
  const std::vector<uint8_t> s = screenshot(grid->ClientToScreen(wxPoint(0, 0)), c.x, c.y);
  std::vector<int> at;
  if (s.empty()) return at;
  const int y = c.y / 2 + c.y / 16;
  for (int x = 0; x < c.x; ++x) {
    const uint8_t* p = &s[(static_cast<size_t>(y) * c.x + x) * 3];
    if (p[0] == 110 && p[1] == 110 && p[2] == 110) at.push_back(x);
  }
  return at;
}

// Every line at control position k + offset (k whole, -4..4 across the
// width) has a grey column within a pixel, and no grey column is far from one.
bool lines_at(const std::vector<int>& columns, double offset, int width) {
  std::vector<double> want;
  for (int k = -5; k <= 5; ++k) {
    const double x = (k + offset + 4.0) / 8.0 * width;
    if (x >= 1 && x <= width - 2) want.push_back(x);
  }
  auto near = [](double a, double b) { return std::fabs(a - b) <= 1.5; };
  for (double x : want) {
    bool found = false;
    for (int c : columns) found = found || near(c, x);
    if (!found) return false;
  }
  for (int c : columns) {
    bool expected = c < 1 || c > width - 2;
    for (double x : want) expected = expected || near(c, x);
    if (!expected) return false;
  }
  return true;
}

TEST(TrackControls, GridDrawsItsLinesWhereTheOffsetPutsThem) {
  extra_frame shown(1400, 1000, true);
  MainFrame* f = shown.frame;
  choose(f, 2);
  trackgrid* grid = f->visuals->reslice()->move;
  const int w = grid->GetClientSize().x;
  ASSERT_GT(w, 40);
  ASSERT_TRUE(wait_until([&] { return grid->paints() > 0 && lines_at(grey_columns(grid), 0, w); }));
  // A sixteenth of the width to the right slides the lines by half a unit.
  const int y = grid->GetClientSize().y / 2;
  drag(grid, 10, y, 10 + w / 16, y, 1);
  const double offset = 8.0 * (w / 16) / w;
  EXPECT_NEAR(grid->grid_offset_x(), offset, 1e-12);
  EXPECT_TRUE(wait_until([&] { return lines_at(grey_columns(grid), offset, w); }));

  // While another track control paints, a paint draws nothing and asks for
  // another, which draws once the other has finished.
  const int before = grid->paints();
  track_canvas::paint_in_progress = true;
  grid->Refresh();
  grid->Update();
  pump_events(5);
  EXPECT_EQ(grid->paints(), before);
  track_canvas::paint_in_progress = false;
  EXPECT_TRUE(wait_until([&] { return grid->paints() > before; }));
  choose(f, 0);
}

TEST(VisualNotebook, OrthoThenResliceLeavesTheCentreViewAloneAndPlaneZero) {
  extra_frame shown(1400, 1000, true);
  MainFrame* f = shown.frame;
  resource_table_t& t = *resource_table;
  choose(f, 1);
  EXPECT_TRUE(f->lower_view_splitter->IsSplit());
  EXPECT_TRUE(f->corner_view->IsShown());
  EXPECT_NE(t.RESLICE->read()[1].builder, nullptr);
  EXPECT_NE(t.RESLICE->read()[2].builder, nullptr);
  EXPECT_EQ(f->help_page, "ortho.htm");
  choose(f, 2);
  EXPECT_FALSE(f->lower_view_splitter->IsSplit());
  EXPECT_EQ(f->lower_view_splitter->GetWindow1(), f->centre_view);
  EXPECT_FALSE(f->corner_view->IsShown());
  EXPECT_FALSE(f->blank_window->IsShown());
  EXPECT_EQ(t.RESLICE->read()[1].builder, nullptr);
  EXPECT_EQ(t.RESLICE->read()[2].builder, nullptr);
  EXPECT_NE(t.RESLICE->read()[0].builder, nullptr);
  EXPECT_EQ(t.RES_CURRENT_VISUAL_PAGE->read(), 2);
  EXPECT_EQ(f->help_page, "reslice.htm");
  // A disabled page is not taken.
  f->visual_notebook->GetPage(3)->Disable();
  choose(f, 3);
  EXPECT_EQ(f->visual_notebook->GetSelection(), 2);
  EXPECT_EQ(t.RES_CURRENT_VISUAL_PAGE->read(), 2);
  f->visual_notebook->GetPage(3)->Enable();
  choose(f, 0);
  EXPECT_EQ(f->lower_view_splitter->GetWindow1(), f->blank_window);
  EXPECT_EQ(t.RESLICE->read()[0].builder, nullptr);
}

TEST(WindowGrabs, LowerGrabsNeedTheirViewShownAndNoImageWritesNothing) {
  extra_frame shown(1400, 1000, true);
  MainFrame* f = shown.frame;
  const std::string base = g_layout_root + "/grab_nothing";
  wxCommandEvent any;
  file_answer answer(base, 3);
  choose(f, 0);  // the centre view is hidden: no dialog
  f->OnGrabCentre(any);
  f->OnGrabRight(any);
  EXPECT_EQ(answer.shown, 0);
  choose(f, 2);
  f->OnGrabRight(any);  // no corner view on the Reslice page
  EXPECT_EQ(answer.shown, 0);
  f->OnGrabCentre(any);  // no data: the view reports it, nothing is written
  EXPECT_EQ(answer.shown, 1);
  EXPECT_EQ(answer.title, "Save lower centre/left window as");
  EXPECT_FALSE(wxFileExists(base + ".tiff"));
  choose(f, 0);
}

TEST(WindowGrabs, The3DGrabWritesThePixelsTheViewShows) {
  extra_frame shown(1400, 1000, true);
  MainFrame* f = shown.frame;
  resource_table_t& t = *resource_table;
  // Something drawn: a landmark in the middle of an otherwise empty scene.
  t.RES_SEE_MARK_LOCKED->write(1);
  t.RES_LANDMARKS->read()->add_landmark({0.0, 0.0, 0.0}, "Centre", LM_DATA);
  t.FIDUCIAL->write();
  outline_canvas* view = f->outline_view;
  const wxSize size = view->GetClientSize();
  ASSERT_GT(size.x, 10);
  std::vector<uint8_t> s, last;
  ASSERT_TRUE(wait_until([&] {
    pump_events(2);
    last = s;
    s = screenshot(view->ClientToScreen(wxPoint(0, 0)), size.x, size.y);
    return !s.empty() && s == last && view->drawn().landmarks;
  }));
  const std::string base = g_layout_root + "/grab_3d";
  std::remove((base + ".png").c_str());
  {
    // The menu command asks for the file; the toolkit's dialog answered
    // without being shown gives no path, so nothing is written.
    file_answer answer(base, 0);
    wxCommandEvent any;
    f->OnGrab3D(any);
    EXPECT_EQ(answer.shown, 1);
    EXPECT_EQ(answer.title, "Save 3D window as");
  }
  // What the grab does with the dialog's answer: a name without a dot with
  // the PNG filter.
  ASSERT_TRUE(view->dump_window(image_save_path(base, 0), image_save_type(0)));
  wxImage written;
  ASSERT_TRUE(written.LoadFile(base + ".png", wxBITMAP_TYPE_PNG));
  ASSERT_EQ(written.GetWidth(), size.x);
  ASSERT_EQ(written.GetHeight(), size.y);
  int differing = 0, cyan = 0;
  for (size_t i = 0; i < s.size(); i += 3) {
    const unsigned char* p = written.GetData() + i;
    differing += p[0] != s[i] || p[1] != s[i + 1] || p[2] != s[i + 2];
    cyan += p[0] < 40 && p[1] > 200 && p[2] > 200;
  }
  EXPECT_EQ(differing, 0);
  EXPECT_GT(cyan, 10);
  t.RES_LANDMARKS->read()->items.clear();
  t.RES_SEE_MARK_LOCKED->write(0);
  t.FIDUCIAL->write();
  std::remove((base + ".png").c_str());
}

}  // namespace
