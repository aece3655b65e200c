// "Estimate cortical density" run by a script through the main window's
// command table on the thin-walled tube phantom: the Thickness page comes
// forward, nothing is asked, the estimate lands in RES_THICKNESS_B and the
// graph is written beside the data file as an 800 x 400 PNG with its red
// theoretical curve.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <wx/image.h>
#include <wx/notebook.h>

#include "../thickness/mapping_test_support.h"
#include "app/app_ids.h"
#include "app/control_ids.h"
#include "app/main_frame.h"
#include "common/dialog_answers.h"
#include "data/objects.h"
#include "gui_file_menu_support.h"
#include "registry/resource_table.h"
#include "thickness/thickness_technique.h"

namespace {

void command(int id) {
  wxCommandEvent event(wxEVT_MENU, id);
  event.SetEventObject(main_frame);
  main_frame->ProcessWindowEvent(event);
  pump_events(2);
}

TEST(DensityCommandWindow, ScriptWritesTheGraphAndTheDensity) {
  ASSERT_NE(main_frame, nullptr);
  const std::string folder = g_fm_root + "/data/density";
  std::filesystem::create_directories(folder);
  const std::string nii = folder + "/tube.nii";
  const std::string cmd = "/usr/bin/python3 " NV_TEST_DATA "/make_tube_phantom.py " + nii +
                          " --wall-min-mm 0.2 --wall-max-mm 3 --cortex 1600 --inside 200 "
                          "--outside 200 --blur-mm 0.35 >/dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  resource_table_t& rt = *resource_table;
  rt.RES_IN_SCRIPT->write(true);
  rt.RES_SCRIPT_FUNC_ARG->write(wxString::FromUTF8(nii));
  command(ID_FILE_OPEN);
  ASSERT_GT(rt.RES_BUF_FRAMES->read(), 6);
  rt.RES_THICKNESS_TYPE->write(thickness_fwhm);
  thickness_apply_technique(thickness_fwhm);
  rt.RES_THICKNESS_B->write(1e10);
  rt.RES_THICKNESS_LOCAL_DENSITY->write(false);
  base_res_t::make_pending_writes_happen();
  mapping_test::tube_geometry geometry;
  geometry.wall_min = 0.2;
  auto* s = new surface_interp(3);
  mapping_test::tube_mesh(*s, geometry, {1, 3, 4, 6}, 90, rt.RES_XSCALE->read());
  surface_interp* old = rt.RES_SURFACE[3]->read();
  rt.RES_SURFACE[3]->write(s);
  rt.RES_THICKNESS_SURF->write(3);
  rt.RES_OBJECT->read()[3].name = "radius";
  rt.RES_ASCII_FILENAME->write(wxFileName(folder + "/scan.hm"));
  rt.RES_IN_SCRIPT->write(true);
  base_res_t::make_pending_writes_happen();
  delete old;

  const bool fwhm = rt.RES_THICKNESS_FWHM->read();
  dialog_answers answers(wxID_NO);
  wxCommandEvent event(wxEVT_BUTTON, ID_THICKNESS_ESTIMATE_DENSITY);
  event.SetEventObject(main_frame);
  main_frame->ProcessWindowEvent(event);
  pump_events(2);
  rt.RES_IN_SCRIPT->write(false);
  base_res_t::make_pending_writes_happen();

  EXPECT_TRUE(answers.asked.empty());
  EXPECT_NEAR(rt.RES_THICKNESS_B->read(), 1600.0, 0.03 * 1600.0);
  EXPECT_EQ(rt.RES_THICKNESS_FWHM->read(), fwhm);
  wxNotebook* tasks = main_frame->task_notebook;
  ASSERT_NE(tasks, nullptr);
  EXPECT_EQ(tasks->GetPageText(size_t(tasks->GetSelection())), "Thickness");

  wxImage img;
  ASSERT_TRUE(img.LoadFile(folder + "/scan_radius_density.png", wxBITMAP_TYPE_PNG));
  EXPECT_EQ(img.GetWidth(), 800);
  EXPECT_EQ(img.GetHeight(), 400);
  // The theoretical curve runs from the background up to the density
  // across the plot area: red pixels in many of its columns.
  int red_columns = 0;
  for (int x = 80; x < 770; ++x)
    for (int y = 30; y < 350; ++y) {
      const unsigned char r = img.GetRed(x, y), g = img.GetGreen(x, y), b = img.GetBlue(x, y);
      if (r > 150 && g + 60 < r && b + 60 < r) {
        ++red_columns;
        break;
      }
    }
  EXPECT_GT(red_columns, 200);

  rt.RES_SURFACE[3]->write(nullptr);
  rt.RES_THICKNESS_SURF->write(-1);
  base_res_t::make_pending_writes_happen();
  delete s;
  // Leave no data set behind.
  rt.RES_IN_SCRIPT->write(true);
  command(ID_FILE_CLOSE);
  rt.RES_IN_SCRIPT->write(false);
  base_res_t::make_pending_writes_happen();
}

}  // namespace
