// Grabbing a lower view of the main window, with a recording open, through
// the image-save dialog answered as a user would.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>
#include <wx/filedlg.h>
#include <wx/image.h>
#include <wx/modalhook.h>
#include <wx/notebook.h>

#include "app/app_test_main.h"
#include "app/main_frame.h"
#include "app/main_views.h"
#include "tasks_gui_support.h"
#include "visual/visual_notebook_rules.h"

namespace {

void choose(MainFrame* f, int page) {
  f->visual_notebook->SetSelection(page);
  pump_events(3);
}

TEST(WindowGrabs, CentreGrabWithTheTiffFilterWritesTheViewAsTiff) {
  ASSERT_TRUE(open_task_recording());
  MainFrame* f = main_frame;
  const std::string base = g_tasks_root + "/grab_centre";
  std::remove((base + ".tiff").c_str());
  choose(f, 2);
  pump_events(20);
  // The dialog's answer as the grab turns it into a file: a name without a
  // dot with the TIFF filter.
  ASSERT_TRUE(f->centre_view->dump_window(image_save_path(base, 3), image_save_type(3)));
  wxImage written;
  ASSERT_TRUE(written.LoadFile(base + ".tiff", wxBITMAP_TYPE_TIFF));
  const wxSize view = f->centre_view->GetClientSize();
  // The image area: inside the view, not empty.
  EXPECT_GT(written.GetWidth(), 0);
  EXPECT_LE(written.GetWidth(), view.x);
  EXPECT_GT(written.GetHeight(), 0);
  EXPECT_LE(written.GetHeight(), view.y);
  FILE* in = std::fopen((base + ".tiff").c_str(), "rb");
  ASSERT_NE(in, nullptr);
  unsigned char magic[4] = {};
  EXPECT_EQ(std::fread(magic, 1, 4, in), 4u);
  std::fclose(in);
  EXPECT_TRUE((magic[0] == 'I' && magic[1] == 'I' && magic[2] == 42) ||
              (magic[0] == 'M' && magic[1] == 'M' && magic[3] == 42));
  choose(f, 0);
}

}  // namespace
