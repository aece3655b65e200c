// The visualisation notebook in the main window: the lower views each page
// arranges, its builders, and grabbing a lower view through the image-save
// dialog.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>
#include <wx/filedlg.h>
#include <wx/filefn.h>
#include <wx/image.h>
#include <wx/modalhook.h>
#include <wx/notebook.h>
#include <wx/splitter.h>

#include "app/app_ids.h"
#include "app/main_views.h"
#include "layout_support.h"
#include "registry/resource_table.h"

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

}  // namespace
