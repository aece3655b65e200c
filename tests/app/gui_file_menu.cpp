// The File menu through the main window's command table: opening, saving and
// closing (also as scripts do it), the unsaved-changes question, settings
// files, the export of frames, and the text shortcuts the menu's
// accelerators must leave to text fields.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>
#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/image.h>
#include <wx/menu.h>
#include <wx/slider.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "app/app_dialogs.h"
#include "common/dialog_answers.h"
#include "app/app_ids.h"
#include "app/main_frame.h"
#include "data/contour.h"
#include "data/dynabuf.h"
#include "data/file_menu_export.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "data/scripted_file_ui.h"
#include "gui_file_menu_support.h"
#include "registry/resource_table.h"

namespace {

resource_table_t& rt() { return *resource_table; }
contour_object& object(int k) { return rt().RES_OBJECT->read()[k]; }

std::string read_bytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}


class file_menu_window : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(main_frame, nullptr);
    folder_ = g_fm_root + "/data/" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override {
    // Leave no data set behind, whatever the test left unsaved.
    in_script(true);
    command(ID_FILE_CLOSE);
    in_script(false);
  }

  std::string at(const std::string& name) const { return folder_ + "/" + name; }
  wxString wat(const std::string& name) const { return wxString::FromUTF8(at(name)); }

  // A menu command as the command table routes it.
  static void command(int id) {
    wxCommandEvent event(wxEVT_MENU, id);
    event.SetEventObject(main_frame);
    main_frame->ProcessWindowEvent(event);
    pump_events(2);
  }
  static void in_script(bool on) { rt().RES_IN_SCRIPT->write(on); }
  // File > Open as a script calls it: no dialog, the path in the argument.
  void script_open(const std::string& name) {
    in_script(true);
    rt().RES_SCRIPT_FUNC_ARG->write(wat(name));
    command(ID_FILE_OPEN);
    in_script(false);
  }
  static bool enabled(int id) { return main_frame->GetMenuBar()->IsEnabled(id); }
  static wxString frames_label() { return main_frame->frames_label->GetLabel(); }

  std::string folder_;
};

// ---- open, save, close -----------------------------------------------------

TEST_F(file_menu_window, ScriptOpenSaveAsCloseAndReopenGiveTheSameData) {
  write_recording_files(at("a"), 3, 8, 6, "CONT 1 2 1 1 1 5 1 5 4\n");
  script_open("a.hm");
  ASSERT_EQ(rt().RES_BUF_FRAMES->read(), 3);
  EXPECT_TRUE(frames_label().StartsWith("3 frames ")) << frames_label();
  EXPECT_FALSE(enabled(ID_FILE_OPEN));
  EXPECT_TRUE(enabled(ID_FILE_CLOSE));
  EXPECT_TRUE(enabled(ID_FILE_SAVE_AS));
  EXPECT_TRUE(enabled(ID_FILE_EXPORT_FRAMES));

  // Save as, the way a script does it: a new name, then Save.
  in_script(true);
  rt().RES_ASCII_FILENAME->write(wxFileName(wat("a_copy.hm")));
  command(ID_FILE_SAVE);
  command(ID_FILE_CLOSE);
  in_script(false);
  EXPECT_EQ(rt().RES_BUF_FRAMES->read(), 0);
  EXPECT_TRUE(frames_label().StartsWith("0 frames ")) << frames_label();
  EXPECT_TRUE(enabled(ID_FILE_OPEN));
  EXPECT_FALSE(enabled(ID_FILE_CLOSE));
  EXPECT_EQ(rt().RES_BUF_CURRENT_FRAME->read(), 0);

  script_open("a_copy.hm");
  ASSERT_EQ(frame_store->images.size(), 3u);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(frame_pixels(k), recording_frame(k, 8, 6)) << k;
  ASSERT_NE(object(1).find_frame(2), nullptr);
  EXPECT_DOUBLE_EQ(object(1).find_frame(2)->contours.at(0).vertices[1].x, 5.0);

  // Save as through its dialog writes a frame file of its own.
  scripted_file_ui files;
  file_menu_ui_scope scope(files);
  files.choose(wat("b"));
  command(ID_FILE_SAVE_AS);
  EXPECT_EQ(read_bytes(at("b.qzi")), recording_frame(0, 8, 6) + recording_frame(1, 8, 6) + recording_frame(2, 8, 6));
  in_script(true);
  command(ID_FILE_CLOSE);
  in_script(false);
  script_open("b.hm");
  ASSERT_EQ(frame_store->images.size(), 3u);
  EXPECT_EQ(frame_pixels(2), recording_frame(2, 8, 6));
}

TEST_F(file_menu_window, ScriptOpenFailureGoesToTheScriptLog) {
  ASSERT_NE(main_frame->scripts, nullptr);
  main_frame->scripts->script_output->Clear();
  script_open("missing.hm");
  EXPECT_EQ(rt().RES_BUF_FRAMES->read(), 0);
  EXPECT_EQ(main_frame->scripts->script_output->GetValue(),
            ">> ERROR: Failed to open hm file." + wat("missing.hm") + "\n");
}

// Unsaved edits draw the question on Close, also after settings were loaded.
TEST_F(file_menu_window, CloseAsksAboutEditsAlsoAfterASettingsFile) {
  write_recording_files(at("a"), 3, 8, 6);
  script_open("a.hm");
  contour_t c;
  c.vertices = {{1, 1}, {4, 1}, {4, 4}};
  object(0).add_contour(1, c);
  rt().CONT->write();
  {
    dialog_answers cancel(wxID_CANCEL);
    command(ID_FILE_CLOSE);
    ASSERT_EQ(cancel.asked.size(), 1u);
    EXPECT_EQ(cancel.asked[0].caption, "Ignore changes");
    EXPECT_EQ(cancel.asked[0].text,
              "There are unsaved changes for:\n\n - Object data\n\nSelect OK to ignore these "
              "changes");
    EXPECT_EQ(rt().RES_BUF_FRAMES->read(), 3);

    std::ofstream(at("s.ini")) << "RES_CMAP_GREY_HI 40\n";
    scripted_file_ui files;
    file_menu_ui_scope scope(files);
    files.choose(wat("s.ini"));
    command(ID_SETTINGS_OPEN);
    EXPECT_EQ(rt().RES_CMAP_GREY_HI->read(), 40);
    // With the scripted dialogs in force the question comes to them.
    command(ID_FILE_CLOSE);
    ASSERT_EQ(files.asked.size(), 1u);
    EXPECT_EQ(files.asked[0], "Ignore changes|" + cancel.asked[0].text);
    EXPECT_EQ(rt().RES_BUF_FRAMES->read(), 3);
  }
  dialog_answers ok(wxID_OK);
  command(ID_FILE_CLOSE);
  EXPECT_EQ(ok.asked.size(), 1u);
  EXPECT_EQ(rt().RES_BUF_FRAMES->read(), 0);
  EXPECT_TRUE(object(0).empty());
}

// ---- settings --------------------------------------------------------------

TEST_F(file_menu_window, SettingsOfTheChosenGroupsComeBackAndNothingElse) {
  scripted_file_ui files;
  file_menu_ui_scope scope(files);
  rt().RES_CMAP_GREY_HI->write(40);   // object parameters
  rt().RES_CORNER_ZOOM->write(2.5);   // general display settings
  files.choose(wat("s"), 0, {false, false, false, false, false, true});
  command(ID_SETTINGS_SAVE_AS);
  EXPECT_EQ(rt().RES_SETTINGS_MASK->read(), 8);
  ASSERT_TRUE(std::filesystem::exists(at("s.ini")));

  rt().RES_CMAP_GREY_HI->write(7);
  rt().RES_CORNER_ZOOM->write(3.0);
  files.choose(wat("s.ini"));
  command(ID_SETTINGS_OPEN);
  EXPECT_EQ(rt().RES_CMAP_GREY_HI->read(), 40);
  EXPECT_DOUBLE_EQ(rt().RES_CORNER_ZOOM->read(), 3.0);

  dialog_answers yes(wxID_YES);
  command(ID_SETTINGS_RESET);
  ASSERT_EQ(yes.asked.size(), 1u);
  EXPECT_EQ(yes.asked[0].caption, "Reset settings");
  EXPECT_EQ(yes.asked[0].text, "Reset all settings to default values?");
  EXPECT_EQ(rt().RES_CMAP_GREY_HI->read(), 0);
  EXPECT_DOUBLE_EQ(rt().RES_CORNER_ZOOM->read(), 1.0);
  rt().RES_SETTINGS_MASK->write(0xffff);
}

// The colour-mapping rows of one data set do not carry into the next: after
// Close or Reset to default values, a file without VOLUME lines is saved
// with the built-in rows.
TEST_F(file_menu_window, VolumeRowsReturnToTheBuiltInOnesOnCloseAndReset) {
  const std::string built_in =
      "VOLUME 0 0 0 0 0 0 1 100 0 0\n"
      "VOLUME 1 255 255 255 255 255 1 100 0 0\n"
      "VOLUME 2 0 0 0 0 0 0 100 0 0\nVOLUME 3 0 0 0 0 0 0 100 0 0\n"
      "VOLUME 4 0 0 0 0 0 0 100 0 0\nVOLUME 5 0 0 0 0 0 0 100 0 0\n"
      "VOLUME 6 0 0 0 0 0 0 100 0 0\nVOLUME 7 0 0 0 0 0 0 100 0 0\n"
      "VOLUME 8 0 0 0 0 0 0 100 0 0\nVOLUME 9 0 0 0 0 0 0 100 0 0\n";
  const auto volume_lines = [](const std::string& text) {
    std::istringstream in(text);
    std::string lines;
    for (std::string line; std::getline(in, line);)
      if (line.rfind("VOLUME ", 0) == 0) lines += line + "\n";
    return lines;
  };
  write_recording_files(at("rows"), 2, 8, 6, "VOLUME 2 50 1 2 3 4\nVOLUME 1 9 8 7 6 5 0 1 2 3\n");
  write_recording_files(at("plain"), 2, 8, 6);
  std::ofstream(at("rows.ini")) << "VOLUME 2 50 1 2 3 4\nVOLUME 1 9 8 7 6 5 0 1 2 3\n";
  for (const int reset : {ID_FILE_CLOSE, ID_SETTINGS_RESET}) {
    SCOPED_TRACE(reset == ID_FILE_CLOSE ? "Close" : "Reset to default values");
    if (reset == ID_FILE_CLOSE) {
      // Rows from a data file, then Close.
      script_open("rows.hm");
      ASSERT_EQ(rt().RES_VOLUME->read()[2].data_value, 50);
      in_script(true);
      command(ID_FILE_CLOSE);
      in_script(false);
    } else {
      // Rows from a settings file while no data is loaded, then the reset.
      scripted_file_ui files;
      file_menu_ui_scope scope(files);
      files.choose(wat("rows.ini"));
      command(ID_SETTINGS_OPEN);
      ASSERT_EQ(rt().RES_VOLUME->read()[2].data_value, 50);
      dialog_answers yes(wxID_YES);
      command(ID_SETTINGS_RESET);
      ASSERT_EQ(yes.asked.size(), 1u);
      rt().RES_SETTINGS_MASK->write(0xffff);
    }
    script_open("plain.hm");
    ASSERT_EQ(rt().RES_BUF_FRAMES->read(), 2);
    in_script(true);
    rt().RES_ASCII_FILENAME->write(wxFileName(wat("saved.hm")));
    command(ID_FILE_SAVE);
    command(ID_FILE_CLOSE);
    in_script(false);
    EXPECT_EQ(volume_lines(read_bytes(at("saved.hm"))), built_in);
  }
}

// ---- export of frames ------------------------------------------------------

// The command reaches the export: the chosen frames are written as images;
// their pixels and the native subset are the export engine's own tests.
TEST_F(file_menu_window, ExportSpecificFramesWritesTheChosenFrames) {
  write_recording_files(at("ten"), 10, 8, 6);
  script_open("ten.hm");
  scripted_file_ui files;
  file_menu_ui_scope scope(files);
  files.texts.push_back("0:2:9");
  files.choose(wat("shot.png"), FRAME_EXPORT_PNG);
  command(ID_FILE_EXPORT_FRAMES);
  for (int f = 0; f < 10; ++f)
    EXPECT_EQ(std::filesystem::exists(at(wxString::Format("shot%04d.png", f).ToStdString())), f % 2 == 0) << f;
  EXPECT_EQ(rt().RES_BUF_FRAMES->read(), 10);

  files.texts.push_back("0:2:9");
  files.choose(wat("sub"), FRAME_EXPORT_NATIVE);
  command(ID_FILE_EXPORT_FRAMES);
  EXPECT_EQ(rt().RES_BUF_FRAMES->read(), 5);
  EXPECT_TRUE(frames_label().StartsWith("5 frames ")) << frames_label();
  EXPECT_EQ(rt().RES_ASCII_FILENAME->read().GetFullPath(), wat("sub.hm"));
}

// ---- text shortcuts --------------------------------------------------------

// Ctrl+C and Ctrl+A are Close and Save as in the menu, but in a focused text
// field they copy and select.
TEST_F(file_menu_window, CtrlCAndCtrlAInATextFieldKeepTheirTextMeaning) {
  write_recording_files(at("a"), 3, 8, 6);
  script_open("a.hm");
  scripted_file_ui files;
  file_menu_ui_scope scope(files);
  dialog_answers ok(wxID_OK);
  main_frame->Show();
  main_frame->Raise();
  auto* text = new wxTextCtrl(main_frame, wxID_ANY, "copy me", wxPoint(0, 0), wxSize(200, 30));
  pump_events();
  text->SetFocus();
  text->SetSelection(0, 4);
  pump_events();
  ASSERT_EQ(wxWindow::FindFocus(), text);

  // The simulator's keys go through the display server: each step waits
  // for its effect rather than for a number of event rounds.
  const auto clipboard_text = [] {
    wxString text;
    if (wxTheClipboard->Open()) {
      wxTextDataObject data;
      if (wxTheClipboard->GetData(data)) text = data.GetText();
      wxTheClipboard->Close();
    }
    return text;
  };
  // The clipboard works on this display, and holds something else first.
  ASSERT_TRUE(wxTheClipboard->Open());
  wxTheClipboard->SetData(new wxTextDataObject("before"));
  wxTheClipboard->Close();
  ASSERT_EQ(clipboard_text(), "before");
  wxUIActionSimulator keys;
  keys.Char('c', wxMOD_CONTROL);
  EXPECT_TRUE(wait_until([&] { return clipboard_text() == "copy"; })) << clipboard_text();
  EXPECT_EQ(rt().RES_BUF_FRAMES->read(), 3);
  long from = -1, to = -1;
  keys.Char('a', wxMOD_CONTROL);
  EXPECT_TRUE(wait_until([&] {
    text->GetSelection(&from, &to);
    return from == 0 && to == 7;
  })) << from << ".." << to;
  pump_events();
  EXPECT_TRUE(files.file_requests.empty());  // Save as was not opened
  EXPECT_EQ(rt().RES_BUF_FRAMES->read(), 3);

  // Elsewhere the accelerator is the menu's.
  text->Destroy();
  main_frame->frame_slider->SetFocus();
  pump_events();
  keys.Char('c', wxMOD_CONTROL);
  EXPECT_TRUE(wait_until([] { return rt().RES_BUF_FRAMES->read() == 0; }));
}

}  // namespace
