// Page selection from the Task and Visual menus, the commands that bring up
// the settings dialogs, and leaving a settings text field.
#include <gtest/gtest.h>
#include <wx/notebook.h>
#include <wx/textctrl.h>

#include "app/app_ids.h"
#include "settings/comment_dlg.h"
#include "settings/graphics_dlg.h"
#include "settings/mouse_dlg.h"
#include "app/control_ids.h"
#include "layout_support.h"
#include "registry/resource_table.h"

namespace {

void send(MainFrame* f, wxEventType type, int id) {
  wxCommandEvent event(type, id);
  event.SetEventObject(f);
  f->GetEventHandler()->ProcessEvent(event);
  pump_events(3);
}

// Counts the page-change events a notebook sends.
struct page_changes {
  explicit page_changes(wxNotebook* nb) : notebook(nb) {
    notebook->Bind(wxEVT_NOTEBOOK_PAGE_CHANGED, &page_changes::on_changed, this);
  }
  ~page_changes() { notebook->Unbind(wxEVT_NOTEBOOK_PAGE_CHANGED, &page_changes::on_changed, this); }
  void on_changed(wxBookCtrlEvent& event) {
    ++count;
    event.Skip();
  }
  wxNotebook* notebook;
  int count = 0;
};

struct page_command {
  int id;
  bool task;  // else the visualisation notebook
  int page;
  const char* text;
};

const page_command kPageCommands[] = {
    {ID_TASK_DRAW, true, 0, "Draw"},          {ID_TASK_FIT_MODEL, true, 1, "Fit shape model"},
    {ID_TASK_LANDMARKS, true, 2, "Landmarks"}, {ID_TASK_THICKNESS, true, 3, "Thickness"},
    {ID_TASK_SCRIPT, true, 4, "Scripts"},      {ID_TASK_PRESSURE, true, 5, "Pressure"},
    {ID_TASK_SPINE, true, 6, "Spine"},
    // Back to Draw, which enables every visualisation page again: the Spine
    // task leaves only the Spine page usable.
    {ID_TASK_DRAW, true, 0, "Draw"},          {ID_VISUAL_NONE, false, 0, "Blank"},
    {ID_VISUAL_ORTHO, false, 1, "Ortho"},      {ID_VISUAL_RESLICE, false, 2, "Reslice"},
    {ID_VISUAL_VOLUME, false, 3, "Volume"},    {ID_VISUAL_THICKNESS, false, 4, "Thickness"},
    {ID_VISUAL_PRESSURE, false, 5, "Pressure"}, {ID_VISUAL_PANORAMA, false, 6, "Panorama"},
    {ID_VISUAL_SPINE, false, 7, "Spine"},
};

TEST(Pages, EveryMenuCommandSelectsItsPageWithPressureAndSpine) {
  resource_table->RES_PRESSURE_TASK->write(true);
  resource_table->RES_SPINE_TASK->write(true);
  {
    extra_frame shown(1400, 1000, true);
    MainFrame* f = shown.frame;
    for (const page_command& c : kPageCommands) {
      wxNotebook* nb = c.task ? f->task_notebook : f->visual_notebook;
      page_changes changes(nb);
      const bool change = nb->GetSelection() != c.page;
      send(f, wxEVT_MENU, c.id);
      EXPECT_EQ(nb->GetSelection(), c.page) << c.text;
      EXPECT_EQ(nb->GetPageText(nb->GetSelection()), c.text);
      EXPECT_EQ(changes.count, change ? 1 : 0) << c.text;
      // The page already shown: nothing happens.
      send(f, wxEVT_MENU, c.id);
      EXPECT_EQ(nb->GetSelection(), c.page);
      EXPECT_EQ(changes.count, change ? 1 : 0) << c.text;
    }
  }
  resource_table->RES_PRESSURE_TASK->write(false);
  resource_table->RES_SPINE_TASK->write(false);
}

TEST(Pages, CommandsOfAbsentPagesChangeNothing) {
  extra_frame shown(1400, 1000, true);  // without Pressure and Spine
  MainFrame* f = shown.frame;
  send(f, wxEVT_MENU, ID_VISUAL_THICKNESS);
  send(f, wxEVT_MENU, ID_TASK_SCRIPT);
  page_changes task(f->task_notebook), visual(f->visual_notebook);
  for (int id : {ID_TASK_PRESSURE, ID_TASK_SPINE, ID_VISUAL_PRESSURE, ID_VISUAL_PANORAMA, ID_VISUAL_SPINE}) {
    send(f, wxEVT_MENU, id);
    EXPECT_EQ(f->task_notebook->GetSelection(), 4) << id;
    EXPECT_EQ(f->visual_notebook->GetSelection(), 4) << id;
  }
  EXPECT_EQ(task.count + visual.count, 0);
}

TEST(Pages, DirectCallsSelectDrawThicknessAndScripts) {
  MainFrame* f = main_frame;
  wxCommandEvent any;
  f->OnTaskScript(any);
  EXPECT_EQ(f->task_notebook->GetSelection(), 4);
  f->OnTaskThickness(any);
  EXPECT_EQ(f->task_notebook->GetSelection(), 3);
  f->OnTaskDraw(any);
  EXPECT_EQ(f->task_notebook->GetSelection(), 0);
}

// ------------------------------------------------------ settings dialogs

TEST(SettingsDialogs, CommandsShowTheirDialogOnceAndPointTheHelpThere) {
  MainFrame* f = main_frame;
  const struct {
    wxEventType type;
    int id;
    wxDialog* dialog;
    const char* help;  // null: the help page stays
  } cases[] = {
      {wxEVT_MENU, ID_FILE_EDIT_COMMENT, f->comment_dialog, nullptr},
      {wxEVT_MENU, ID_CONFIG_LOCATION, f->location_dialog, "positions.htm"},
      {wxEVT_MENU, ID_CONFIG_MOUSE, f->mouse_dialog, "mouse_shortcuts.htm"},
      {wxEVT_MENU, ID_CONFIG_GRAPHICS, f->graphics_dialog, "graphics.htm"},
      {wxEVT_MENU, ID_CONFIG_DISPLAY, f->display_dialog, "dicom_display.htm"},
      {wxEVT_BUTTON, ID_VOLUME_LIGHTING, f->graphics_dialog, "graphics.htm"},
      {wxEVT_BUTTON, ID_VOLUME_INPUT_DATA, f->display_dialog, "dicom_display.htm"},
  };
  for (const auto& c : cases) {
    wxDialog* dialog = c.dialog;
    ASSERT_NE(dialog, nullptr);
    dialog->Hide();
    const size_t windows = wxTopLevelWindows.GetCount();
    f->help_page = "using_norvelith.htm";
    send(f, c.type, c.id);
    EXPECT_TRUE(dialog->IsShown()) << c.id;
    EXPECT_FALSE(dialog->IsModal()) << c.id;
    EXPECT_EQ(f->help_page, c.help ? c.help : "using_norvelith.htm") << c.id;
    // Again while it is open: the same dialog, no second one.
    send(f, c.type, c.id);
    EXPECT_TRUE(dialog->IsShown());
    EXPECT_EQ(wxTopLevelWindows.GetCount(), windows) << c.id;
    dialog->Hide();
  }
  f->help_page = "using_norvelith.htm";
}

// Notes the text-enter commands reaching the main window for one id.
struct enter_commands {
  enter_commands(MainFrame* f, int id) : frame(f) { frame->Bind(wxEVT_TEXT_ENTER, &enter_commands::on_enter, this, id); }
  ~enter_commands() { frame->Unbind(wxEVT_TEXT_ENTER, &enter_commands::on_enter, this); }
  void on_enter(wxCommandEvent& event) {
    texts.push_back(event.GetString());
    sources.push_back(event.GetEventObject());
  }
  MainFrame* frame;
  std::vector<wxString> texts;
  std::vector<wxObject*> sources;
};

TEST(SettingsDialogs, LeavingATypedFieldActsAsEnter) {
  MainFrame* f = main_frame;
  const int id = wxWindow::NewControlId();
  auto* text = new wxTextCtrl(f->graphics_dialog, id, "1.0", wxDefaultPosition, wxDefaultSize, wxTE_PROCESS_ENTER);
  text->Bind(wxEVT_KILL_FOCUS, &MainFrame::OnTextKillFocus, f);
  enter_commands enters(f, id);
  auto leave = [&] {
    wxFocusEvent focus(wxEVT_KILL_FOCUS, id);
    focus.SetEventObject(text);
    text->GetEventHandler()->ProcessEvent(focus);
    return focus.GetSkipped();
  };
  EXPECT_TRUE(leave()) << "the focus event is passed on";
  EXPECT_TRUE(enters.texts.empty()) << "nothing typed, nothing sent";

  text->ChangeValue("2.5");
  text->MarkDirty();  // as typing does
  EXPECT_TRUE(leave());
  ASSERT_EQ(enters.texts.size(), 1u);
  EXPECT_EQ(enters.texts[0], "2.5");
  EXPECT_EQ(enters.sources[0], text);

  EXPECT_TRUE(leave());
  EXPECT_EQ(enters.texts.size(), 1u) << "leaving again without typing sends nothing";
  text->Destroy();
  pump_events(3);
}

}  // namespace
