// The settings dialogs in the program's main window: how they are built and
// routed, the comment dialog, and the mouse and key presses dialog.
#include <fstream>
#include <iterator>
#include <functional>
#include <string>

#include <gtest/gtest.h>
#include <wx/config.h>
#include <wx/fileconf.h>
#include <wx/textctrl.h>

#include "app/app_test_main.h"
#include "app/main_frame.h"
#include "common/log_capture.h"
#include "data/native_file.h"
#include "registry/resource_table.h"
#include "settings/comment_dlg.h"
#include "settings/graphics_dlg.h"
#include "settings/material_dlg.h"
#include "settings/mouse_dlg.h"
#include "settings_gui_support.h"

namespace {

resource_table_t& rt() { return *resource_table; }

// The comment lines of a data file, as saved.
std::string hash_lines(const std::string& path) {
  std::string out, line;
  std::ifstream in(path, std::ios::binary);
  while (std::getline(in, line))
    if (line.rfind("#", 0) == 0) out += line + "\n";
  return out;
}

std::vector<std::string> comment() {
  std::vector<std::string> out;
  for (const wxString& l : *rt().RES_COMMENT->read()) out.push_back(l.ToStdString(wxConvUTF8));
  return out;
}

}  // namespace

TEST(SettingsDialogs, BuiltHiddenWithTheirTitlesAndEventsReachingTheMainWindow) {
  struct row {
    wxDialog* dialog;
    const char* title;
    bool resizable;
  };
  MainFrame* f = main_frame;
  const row rows[] = {{f->comment_dialog, "Comment on data:", true},
                      {f->display_dialog, "Image display configuration:", false},
                      {f->location_dialog, "Image location configuration:", false},
                      {f->graphics_dialog, "Graphics and display:", false},
                      {f->mouse_dialog, "Mouse and key presses:", false},
                      {f->material_dialog, "Material type:", false}};
  for (const row& r : rows) {
    ASSERT_NE(r.dialog, nullptr) << r.title;
    EXPECT_EQ(r.dialog->GetTitle(), r.title);
    EXPECT_EQ(r.dialog->GetParent(), f);
    EXPECT_EQ((r.dialog->GetExtraStyle() & wxWS_EX_BLOCK_EVENTS) != 0, false) << r.title;
    EXPECT_EQ((r.dialog->GetWindowStyleFlag() & wxRESIZE_BORDER) != 0, r.resizable) << r.title;
    EXPECT_NE(r.dialog->GetWindowStyleFlag() & wxSTAY_ON_TOP, 0) << r.title;
  }
  // A slider event of a dialog reaches its handler through the command table.
  mouse_dlg* mouse = f->mouse_dialog;
  const int before = rt().RES_CURSOR_ROTATION->read();
  const int next = before == 30 ? 31 : 30;
  scroll(mouse->rotation, next, wxEVT_SCROLL_THUMBTRACK);
  EXPECT_EQ(rt().RES_CURSOR_ROTATION->read(), next);
  scroll(mouse->rotation, before);
  EXPECT_EQ(rt().RES_CURSOR_ROTATION->read(), before);
}

// Leaving an edited text field acts as Enter on it, once; a text the
// program set does not count as edited.
TEST(SettingsDialogs, LeavingAnEditedFieldSendsEnterThroughTheField) {
  wxTextCtrl* text = main_frame->comment_dialog->text;
  int enters = 0;
  wxString carried;
  auto count = [&](wxCommandEvent& e) {
    ++enters;
    carried = e.GetString();
    EXPECT_EQ(e.GetId(), text->GetId());
  };
  main_frame->comment_dialog->Bind(wxEVT_TEXT_ENTER, count);
  auto leave = [&] {
    wxFocusEvent lost(wxEVT_KILL_FOCUS, text->GetId());
    lost.SetEventObject(text);
    text->GetEventHandler()->ProcessEvent(lost);
  };
  const wxString kept = text->GetValue();
  text->ChangeValue(L"set by the program");
  leave();
  EXPECT_EQ(enters, 0);
  text->MarkDirty();  // as typing does
  leave();
  EXPECT_EQ(enters, 1);
  EXPECT_EQ(carried, L"set by the program");
  leave();
  EXPECT_EQ(enters, 1);
  main_frame->comment_dialog->Unbind(wxEVT_TEXT_ENTER, count);
  text->ChangeValue(kept);
}

// Each keystroke rewrites "#" once; loading data refills the text without
// writing "#"; open, edit and save cycles keep the comment lines as they are.
TEST(CommentDialog, FollowsTypingAndLoadedDataWithoutGrowing) {
  comment_dlg* dialog = main_frame->comment_dialog;
  close_data();
  change_counter writes(rt().RES_COMMENT);
  ASSERT_TRUE(open_data(settings_recording()));
  EXPECT_EQ(dialog->text->GetValue(), "first note\nsecond, longer note\n");
  EXPECT_EQ(comment(), (std::vector<std::string>{"first note", "second, longer note"}));
  EXPECT_EQ(writes.count, 1);  // the file's lines only
  EXPECT_FALSE(dialog->text->IsModified());

  writes.count = 0;
  dialog->text->SetValue(dialog->text->GetValue() + "t");
  dialog->text->SetValue(dialog->text->GetValue() + "hird\n");
  EXPECT_EQ(writes.count, 2);
  EXPECT_EQ(comment(), (std::vector<std::string>{"first note", "second, longer note", "third"}));

  const std::string first = g_settings_root + "/out/first.hm";
  const std::string second = g_settings_root + "/out/second.hm";
  ASSERT_TRUE(save_native_file_as(wxString::FromUTF8(first), false));
  EXPECT_EQ(hash_lines(first), "# first note\n# second, longer note\n# third\n");

  // Reopen, type and take back a character, save again: the same lines.
  ASSERT_TRUE(open_data(first));
  EXPECT_EQ(dialog->text->GetValue(), "first note\nsecond, longer note\nthird\n");
  const wxString reopened = dialog->text->GetValue();
  dialog->text->SetValue(reopened + "x");
  dialog->text->SetValue(reopened);
  ASSERT_TRUE(save_native_file_as(wxString::FromUTF8(second), false));
  EXPECT_EQ(hash_lines(second), hash_lines(first));

  // Clearing the text leaves no comment lines; closing the data empties it.
  dialog->text->SetValue(L"");
  EXPECT_TRUE(comment().empty());
  close_data();
  EXPECT_EQ(dialog->text->GetValue(), "");
}

TEST(MouseDialog, EachControlWritesItsSettingToTheConfiguration) {
  mouse_dlg* d = main_frame->mouse_dialog;
  resource_table_t& t = rt();
  struct row {
    std::function<void()> act;
    const char* name;
    const char* expected;
  };
  const row rows[] = {
      {[&] { choose(d->middle, 5); }, "RES_MOUSE_MIDDLE_OVERRIDE", "5"},
      {[&] { choose(d->right, 7); }, "RES_MOUSE_RIGHT_OVERRIDE", "7"},
      {[&] { scroll(d->sensitivity, 12); }, "RES_MOUSE_SENSITIVITY", "12"},
      {[&] { scroll(d->rotation, 45, wxEVT_SCROLL_THUMBTRACK); }, "RES_CURSOR_ROTATION", "45"},
      {[&] { scroll(d->movement, 77, wxEVT_SCROLL_PAGEUP); }, "RES_CURSOR_MOVEMENT", "77"},
      {[&] { scroll(d->zoom, 10); }, "RES_SCROLL_ZOOM", "10"},
      {[&] { tick(d->scrollbars, true); }, "RES_USE_SCROLLBARS", "true"},
      {[&] { tick(d->expert, true); }, "RES_EXPERT_MODE", "true"},
  };
  for (const row& r : rows) {
    r.act();
    EXPECT_EQ(base_res_t::get_as_string(r.name), r.expected) << r.name;
  }
  // The configuration object holds each at once, for the file written at exit.
  ASSERT_NE(app_config, nullptr);
  long value = 0;
  EXPECT_TRUE(app_config->Read(L"RES_MOUSE_MIDDLE_OVERRIDE", &value));
  EXPECT_EQ(value, 5);
  EXPECT_TRUE(app_config->Read(L"RES_SCROLL_ZOOM", &value));
  EXPECT_EQ(value, 10);
  // "none" stores 0; a choice the user takes back is written back.
  choose(d->middle, 0);
  EXPECT_EQ(t.RES_MOUSE_MIDDLE_OVERRIDE->read(), 0);
  tick(d->expert, false);
  EXPECT_FALSE(t.RES_EXPERT_MODE->read());
  // A change made elsewhere does not move the dialog's controls.
  t.RES_MOUSE_SENSITIVITY->write(33);
  EXPECT_EQ(d->sensitivity->GetValue(), 12);
}
