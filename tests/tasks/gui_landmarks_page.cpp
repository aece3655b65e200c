// The Landmarks page in the program's own main window: the list, rows and
// grids as landmarks come and go, events routed through the command table,
// the export file, deleting everything, and the curves box.
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/filename.h>
#include <wx/grid.h>
#include <wx/listbox.h>
#include <wx/textctrl.h>

#include "app/app_test_main.h"
#include "app/main_frame.h"
#include "data/curves.h"
#include "data/landmarks.h"
#include "registry/resource_table.h"
#include "tasks/landmarks_page.h"
#include "tasks/task_ids.h"
#include "tasks_gui_support.h"

namespace {

resource_table_t& rt() { return *resource_table; }
landmarks_page& page() { return *main_frame->landmarks_tab; }
landmarks& lms() { return *rt().RES_LANDMARKS->read(); }

void send(wxWindow* control, wxEventType type, int value = 0) {
  wxCommandEvent event(type, control->GetId());
  event.SetEventObject(control);
  event.SetInt(value);
  control->GetEventHandler()->ProcessEvent(event);
}

void add(const char* name, int kind, double x, double y, double z) {
  lms().add_landmark({x, y, z}, name, kind);
}

// Page answers for the tests: the export path and the questions' answers.
struct test_dialogs final : landmarks_page_dialogs {
  wxString path;
  int filter = 0;
  bool yes = true;
  int asked = 0;
  bool ask_yes_no(const wxString&, const wxString&) override { return ++asked, yes; }
  bool ask_ok_cancel(const wxString&, const wxString&) override { return ++asked, yes; }
  bool choose_export_file(wxWindow*, wxString& p, int& f) override {
    p = path, f = filter;
    return !path.empty();
  }
};

class LandmarksPage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(main_frame, nullptr);
    ASSERT_NE(main_frame->landmarks_tab, nullptr);
    auto d = std::make_unique<test_dialogs>();
    dialogs = d.get();
    page().set_dialogs(std::move(d));
    clear();
  }
  void TearDown() override { clear(); }
  void clear() {
    lms().items.clear();
    rt().RES_CURVE->read()->curves.clear();
    rt().LANDMARK->write_no_changeprocs();
    rt().CURVE->write_no_changeprocs();
    rt().FIDUCIAL->write();
  }
  test_dialogs* dialogs = nullptr;
};

}  // namespace

TEST_F(LandmarksPage, NewLandmarksFillRowsAndTheGridShowsMillimetres) {
  landmarks_page& p = page();
  EXPECT_FALSE(p.delete_all->IsEnabled());
  EXPECT_FALSE(p.export_button->IsEnabled());
  add("Knee", LM_DATA, 0.0, 0.0, 0.0);
  add("Hip", LM_DATA, 0.3, 0.0, 0.0);
  add("Toe", LM_DATA, 0.0, 0.4, 0.0);
  rt().LANDMARK->write();
  EXPECT_TRUE(p.delete_all->IsEnabled());
  EXPECT_TRUE(p.export_button->IsEnabled());
  ASSERT_EQ(p.landmark_list->GetCount(), 3u);
  // The newest first: rows A, B, C hold Toe, Hip, Knee, all editable.
  EXPECT_EQ(p.row_name[0]->GetValue(), "Toe");
  EXPECT_EQ(p.row_name[2]->GetValue(), "Knee");
  EXPECT_TRUE(p.row_name[1]->IsEditable());
  EXPECT_EQ(p.position_grid->GetCellValue(1, 0), "4.00");    // Toe's y
  EXPECT_EQ(p.position_grid->GetCellValue(3, 2), "90.00");   // the right angle at Knee
  EXPECT_EQ(p.distance_grid->GetCellValue(0, 0), "5.00");    // Toe to Hip

  // A fourth landmark is only listed; selecting it in the list displaces
  // the oldest held one (Toe) from row A.
  add("Heel", LM_DATA, 1.0, 1.0, 1.0);
  rt().LANDMARK->write();
  EXPECT_EQ(p.row_name[0]->GetValue(), "Toe");
  p.landmark_list->SetStringSelection("Heel");
  send(p.landmark_list, wxEVT_LISTBOX);
  EXPECT_FALSE(p.landmark_list->IsSelected(p.landmark_list->FindString("Toe")));
  EXPECT_EQ(p.row_name[0]->GetValue(), "Heel");
  EXPECT_EQ(p.position_grid->GetCellValue(2, 0), "10.00");

  // Delete through the command table: the row is refilled with the newest unlisted one.
  send(p.FindWindow(ID_LANDMARKS_DELETE_1), wxEVT_BUTTON);
  EXPECT_EQ(lms().size(), 3u);
  EXPECT_EQ(p.row_name[0]->GetValue(), "Toe");

  // Renaming by Enter.
  p.row_name[1]->ChangeValue("Pelvis");
  send(p.row_name[1], wxEVT_TEXT_ENTER);
  size_t pos = 0;
  EXPECT_TRUE(lms().find_by_name("Pelvis", pos));
  EXPECT_EQ(p.landmark_list->FindString("Hip"), wxNOT_FOUND);
  EXPECT_EQ(p.row_name[1]->GetValue(), "Pelvis");
}

TEST_F(LandmarksPage, ExportAppendsUnderOneHeaderAndDeleteAllAsksFirst) {
  add("Knee", LM_DATA, 0.1, 0.2, 0.3);
  add("Fiducial 1", LM_FIDUCIAL, 0.1, 0.2, 0.3);
  rt().LANDMARK->write();
  const wxString base = wxFileName::CreateTempFileName("nv_lm");
  wxRemoveFile(base);
  dialogs->path = base;  // no "." in the name: the filter gives the extension
  dialogs->filter = 1;
  send(page().export_button, wxEVT_BUTTON);
  send(page().export_button, wxEVT_BUTTON);
  const wxString path = base + ".txt";
  ASSERT_TRUE(wxFileName::FileExists(path));
  EXPECT_EQ(dialogs->asked, 1);  // the append question, once
  std::ifstream in(path.fn_str(), std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  const std::string file = rt().RES_ASCII_FILENAME->read().GetFullPath().ToStdString();
  const std::string knee = file + ", Knee, 3D, , , 1.0000, 2.0000, 3.0000\r\n";
  const std::string fiducial = file + ", Fiducial 1, Fiducial, , , 1.0000, 2.0000, 3.0000\r\n";
  EXPECT_EQ(text, "File, Landmark, Type, Surface, Frame, x (mm), y (mm), z (mm)\r\n" + knee + fiducial +
                      knee + fiducial);
  wxRemoveFile(path);

  dialogs->yes = false;
  rt().RES_EXPERT_MODE->write(false);
  send(page().delete_all, wxEVT_BUTTON);
  EXPECT_EQ(lms().size(), 2u);
  dialogs->yes = true;
  send(page().delete_all, wxEVT_BUTTON);
  EXPECT_EQ(lms().size(), 0u);
  EXPECT_FALSE(page().export_button->IsEnabled());
  EXPECT_FALSE(page().row_name[0]->IsEditable());
  EXPECT_EQ(page().position_grid->GetCellValue(0, 0), "--.--");
}

TEST_F(LandmarksPage, CurvesBoxHoldsTheNewestCurveAndRefusesAClashingName) {
  curve_set& c = *rt().RES_CURVE->read();
  curve_t a;
  a.points.resize(2);
  a.object = 1;
  c.add_curve(a, true);
  rt().CURVE->write();
  landmarks_page& p = page();
  ASSERT_EQ(p.curve_list->GetCount(), 1u);
  EXPECT_EQ(p.curve_list->GetString(0), "1:Curve 0");
  EXPECT_TRUE(p.curve_name->IsEditable());
  EXPECT_EQ(p.curve_name->GetValue(), "Curve 0");
  EXPECT_EQ(p.curve_object->GetSelection(), 1);
  EXPECT_TRUE(p.curve_closed->IsEnabled());
  c.add_curve(a, true);
  rt().CURVE->write();
  EXPECT_EQ(p.curve_name->GetValue(), "Curve 1");
  p.curve_name->ChangeValue("Curve 0");
  send(p.curve_name, wxEVT_TEXT_ENTER);
  EXPECT_EQ(p.curve_name->GetValue(), "Curve 1");
  EXPECT_EQ(c[1].name, "Curve 1");
  // Deleting the held curve holds the one left; deleting that empties the box.
  send(p.FindWindow(ID_CURVE_DELETE), wxEVT_BUTTON);
  EXPECT_EQ(p.curve_name->GetValue(), "Curve 0");
  send(p.FindWindow(ID_CURVE_DELETE), wxEVT_BUTTON);
  EXPECT_EQ(p.curve_list->GetCount(), 0u);
  EXPECT_FALSE(p.curve_name->IsEditable());
  EXPECT_FALSE(p.curve_object->IsEnabled());
}
