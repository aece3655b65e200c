// The visualisation notebook in the main window: the lower views each page
// arranges, its builders, and grabbing a lower view through the image-save
// dialog.
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
#include "common/wx_events.h"
#include "data/landmarks.h"
#include "layout_support.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "views/screen_capture.h"
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
