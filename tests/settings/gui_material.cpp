// The material dialog and material files: the list from both folders,
// loading (partial files, foreign lines, a bad line), saving with its name
// rules, the refresh after a load, and the modal OK and Cancel.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/clrpicker.h>

#include "app/app_test_main.h"
#include "app/main_frame.h"
#include "common/log_capture.h"
#include "registry/resource_table.h"
#include "settings/material_dlg.h"
#include "settings_gui_support.h"

namespace fs = std::filesystem;

namespace {

resource_table_t& rt() { return *resource_table; }

std::string file_text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A program folder and a configuration folder of their own, each with its
// "materials", in force while the fixture lives; the material resources and
// the folders are put back afterwards.
class MaterialFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    resource_table_t& t = rt();
    root_ = fs::temp_directory_path() / ("nv_material_" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "exec/materials");
    fs::create_directories(root_ / "cfg/materials");
    exec_ = t.RES_EXEC_DIR->read();
    config_ = t.RES_CONFIG_DIR->read();
    saved_ = {t.RES_MATERIAL_COLOUR->read(), t.RES_MATERIAL_ROUGHNESS->get_value_as_string(),
              t.RES_MATERIAL_METALLIC->get_value_as_string(), t.RES_MATERIAL_ANISOTROPY->get_value_as_string()};
    put("exec/materials/gold.ini",
        "RES_MATERIAL_ROUGHNESS 0.9\nRES_MATERIAL_METALLIC 1\nRES_MATERIAL_ANISOTROPY 0.3\n"
        "RES_MATERIAL_COLOUR #FFD700\n");
    put("exec/materials/partial.ini", "RES_MATERIAL_COLOUR #102030\nRES_MATERIAL_METALLIC 0.25\n");
    put("exec/materials/mixed.ini",
        "\r\nRES_NOT_A_RESOURCE 3\r\nRES_LIGHTING_AMBIENT 0.9\r\n\r\nRES_MATERIAL_ROUGHNESS 0.6\r\n");
    put("exec/materials/bad.ini", "RES_MATERIAL_COLOUR #FFFFFF\nRES_MATERIAL_ROUGHNESS rough\n");
    put("exec/materials/silver.ini", "RES_MATERIAL_METALLIC 1\n");
    put("cfg/materials/gold.ini", "RES_MATERIAL_ROUGHNESS 0.1\n");
    put("cfg/materials/mine.ini", "RES_MATERIAL_ROUGHNESS 0.2\n");
    t.RES_EXEC_DIR->write(wxString::FromUTF8((root_ / "exec").string()));
    t.RES_CONFIG_DIR->write(wxString::FromUTF8((root_ / "cfg").string()));
    base(L"#808080", 0.4, 0.0, 0.7);
    // The command table forwards to the main window's dialog: this one.
    dialog_ = new material_dlg(main_frame, *main_frame);
    kept_ = main_frame->material_dialog;
    main_frame->material_dialog = dialog_;
  }
  void TearDown() override {
    main_frame->material_dialog = kept_;
    dialog_->stop_listening();
    dialog_->Destroy();
    resource_table_t& t = rt();
    t.RES_EXEC_DIR->write(exec_);
    t.RES_CONFIG_DIR->write(config_);
    t.RES_MATERIAL_COLOUR->write_no_changeprocs(saved_[0]);
    for (int k = 1; k < 4; ++k) {
      wxString line = wxString(k == 1 ? "RES_MATERIAL_ROUGHNESS " : k == 2 ? "RES_MATERIAL_METALLIC "
                                                                            : "RES_MATERIAL_ANISOTROPY ") +
                      saved_[k];
      base_res_t::parse_no_changeprocs(line, -1);
    }
    base_res_t::make_pending_writes_happen();
    fs::remove_all(root_);
  }
  void put(const std::string& rel, const std::string& text) { std::ofstream(root_ / rel, std::ios::binary) << text; }
  static void base(const wchar_t* colour, double roughness, double metallic, double anisotropy) {
    resource_table_t& t = rt();
    t.RES_MATERIAL_COLOUR->write_no_changeprocs(colour);
    t.RES_MATERIAL_ROUGHNESS->write_no_changeprocs(roughness);
    t.RES_MATERIAL_METALLIC->write_no_changeprocs(metallic);
    t.RES_MATERIAL_ANISOTROPY->write_no_changeprocs(anisotropy);
    base_res_t::make_pending_writes_happen();
  }
  int row_of(const wxString& name, int from = 1) const {
    for (unsigned k = from; k < dialog_->choice->GetCount(); ++k)
      if (dialog_->choice->GetString(k) == name) return static_cast<int>(k);
    return -1;
  }
  std::vector<std::string> rows() const {
    std::vector<std::string> out;
    for (unsigned k = 0; k < dialog_->choice->GetCount(); ++k) out.push_back(dialog_->choice->GetString(k).ToStdString());
    return out;
  }
  fs::path root_;
  wxString exec_, config_;
  std::vector<wxString> saved_;
  material_dlg* dialog_ = nullptr;
  material_dlg* kept_ = nullptr;
};

}  // namespace

TEST_F(MaterialFiles, ListAndLoadPartialForeignAndBadFiles) {
  resource_table_t& t = rt();
  const std::vector<std::string> listed = rows();
  ASSERT_EQ(listed.size(), 8u);
  EXPECT_EQ(std::vector<std::string>(listed.begin(), listed.begin() + 6),
            (std::vector<std::string>{" ", "bad", "gold", "mixed", "partial", "silver"}));
  EXPECT_EQ(dialog_->choice->GetSelection(), 0);
  EXPECT_EQ(dialog_->roughness->GetValue(), 102);  // 0.4

  // Colour and metallic only: anisotropy becomes 0, roughness stays.
  {
    log_capture log;
    choose(dialog_->choice, row_of("partial"));
    EXPECT_EQ(t.RES_MATERIAL_COLOUR->read(), "#102030");
    EXPECT_DOUBLE_EQ(t.RES_MATERIAL_METALLIC->read(), 0.25);
    EXPECT_DOUBLE_EQ(t.RES_MATERIAL_ANISOTROPY->read(), 0.0);
    EXPECT_DOUBLE_EQ(t.RES_MATERIAL_ROUGHNESS->read(), 0.4);
    EXPECT_EQ(dialog_->choice->GetStringSelection(), "partial");
    EXPECT_EQ(dialog_->metallic->GetValue(), 64);
    EXPECT_EQ(dialog_->anisotropy->GetValue(), 0);
    EXPECT_EQ(dialog_->colour->GetColour(), wxColour(0x10, 0x20, 0x30));
    EXPECT_EQ(log.count(wxLOG_Warning) + log.count(wxLOG_Error), 0);
  }
  // Unknown names and other resources' lines are passed over silently.
  {
    const double ambient = t.RES_LIGHTING_AMBIENT->read();
    log_capture log;
    choose(dialog_->choice, row_of("mixed"));
    EXPECT_DOUBLE_EQ(t.RES_MATERIAL_ROUGHNESS->read(), 0.6);
    EXPECT_DOUBLE_EQ(t.RES_LIGHTING_AMBIENT->read(), ambient);
    EXPECT_EQ(log.count(wxLOG_Warning) + log.count(wxLOG_Error), 0);
  }
  // A line whose value cannot be read changes nothing, not even anisotropy.
  {
    base(L"#808080", 0.4, 0.0, 0.7);
    log_capture log;
    choose(dialog_->choice, row_of("bad"));
    const std::string path = (root_ / "exec/materials/bad.ini").string();
    EXPECT_TRUE(log.has(wxLOG_Error, "Failed when reading 'RES_MATERIAL_ROUGHNESS rough' from file '" + path + "'"));
    EXPECT_EQ(t.RES_MATERIAL_COLOUR->read(), "#808080");
    EXPECT_DOUBLE_EQ(t.RES_MATERIAL_ROUGHNESS->read(), 0.4);
    EXPECT_DOUBLE_EQ(t.RES_MATERIAL_ANISOTROPY->read(), 0.7);
    EXPECT_EQ(dialog_->choice->GetStringSelection(), "bad");
  }
  // Either "gold" row loads the program folder's file.
  choose(dialog_->choice, row_of("gold", row_of("gold") + 1));
  EXPECT_DOUBLE_EQ(t.RES_MATERIAL_ROUGHNESS->read(), 0.9);
  EXPECT_EQ(dialog_->roughness->GetValue(), 230);
  // A listed file that went away is reported and changes nothing.
  {
    fs::remove(root_ / "cfg/materials/mine.ini");
    log_capture log;
    choose(dialog_->choice, row_of("mine"));
    EXPECT_TRUE(log.has(wxLOG_Warning, "Material settings file '" + (root_ / "cfg/materials/mine.ini").string() +
                                           "' not found."));
    EXPECT_DOUBLE_EQ(t.RES_MATERIAL_ROUGHNESS->read(), 0.9);
  }
  // After a load a slider writes its value and the choice goes blank.
  scroll(dialog_->metallic, 128, wxEVT_SCROLL_THUMBTRACK);
  EXPECT_DOUBLE_EQ(t.RES_MATERIAL_METALLIC->read(), 128 / 255.0);
  EXPECT_EQ(dialog_->choice->GetSelection(), 0);
}

TEST_F(MaterialFiles, SaveWritesTheFourLinesAndRefusesNamesThatCouldNotLoad) {
  base(L"#12AB34", 0.25, 0.5, 0.0);
  scripted_dialogs dialogs;
  file_menu_ui_scope scope(dialogs);
  const fs::path brass = root_ / "cfg/materials/brass.ini";
  dialogs.path = wxString::FromUTF8((root_ / "cfg/materials/brass").string());
  const size_t before = dialog_->choice->GetCount();
  send_command(dialog_->save, wxEVT_BUTTON);
  ASSERT_EQ(dialogs.requests.size(), 1u);
  EXPECT_EQ(dialogs.requests[0].message, "Save material as");
  EXPECT_EQ(dialogs.requests[0].wildcard, "Config file|*.ini");
  EXPECT_EQ(dialogs.requests[0].folder, wxString::FromUTF8((root_ / "cfg/materials").string()));
  EXPECT_TRUE(dialogs.requests[0].save);
  EXPECT_EQ(file_text(brass),
            "RES_MATERIAL_ROUGHNESS 0.25\nRES_MATERIAL_METALLIC 0.5\nRES_MATERIAL_ANISOTROPY 0\n"
            "RES_MATERIAL_COLOUR #12AB34\n");
  EXPECT_EQ(dialog_->choice->GetCount(), before + 1);
  EXPECT_EQ(dialog_->choice->GetStringSelection(), "brass");

  // Saved again over itself: the file changes, the list does not.
  base(L"#12AB34", 0.75, 0.5, 0.0);
  dialogs.path = wxString::FromUTF8(brass.string());
  send_command(dialog_->save, wxEVT_BUTTON);
  EXPECT_EQ(dialog_->choice->GetCount(), before + 1);
  EXPECT_NE(file_text(brass).find("RES_MATERIAL_ROUGHNESS 0.75\n"), std::string::npos);

  // Refused: a default's name, another extension, another folder.
  struct refused {
    fs::path chosen, written;
    const char* message;
  };
  const refused cases[] = {
      {root_ / "cfg/materials/silver", root_ / "cfg/materials/silver.ini", "as one of the default files"},
      {root_ / "cfg/materials/alloy.mat", root_ / "cfg/materials/alloy.mat", "must end in \".ini\""},
      {root_ / "cfg/brass.ini", root_ / "cfg/brass.ini", "Material files are kept in the folder"},
  };
  for (const refused& c : cases) {
    log_capture log;
    dialogs.path = wxString::FromUTF8(c.chosen.string());
    send_command(dialog_->save, wxEVT_BUTTON);
    EXPECT_TRUE(log.has(wxLOG_Warning, c.message)) << c.chosen;
    EXPECT_FALSE(fs::exists(c.written)) << c.written;
    EXPECT_EQ(dialog_->choice->GetCount(), before + 1);
  }

  // The saved file loads back.
  base(L"#000000", 0.1, 0.1, 0.1);
  choose(dialog_->choice, row_of("brass"));
  EXPECT_EQ(rt().RES_MATERIAL_COLOUR->read(), "#12AB34");
  EXPECT_DOUBLE_EQ(rt().RES_MATERIAL_ROUGHNESS->read(), 0.75);
  EXPECT_DOUBLE_EQ(rt().RES_MATERIAL_ANISOTROPY->read(), 0.0);
}

namespace {

// Runs the main window's material dialog modally on a record: once shown,
// the roughness slider moves to 200 and the button `end` is pressed.
bool edit_and_end(material_values& record, int end) {
  material_dlg* d = main_frame->material_dialog;
  d->CallAfter([d, end] {
    scroll(d->roughness, 200, wxEVT_SCROLL_THUMBTRACK);
    send_command(d->FindWindow(end), wxEVT_BUTTON);
  });
  return d->edit(record);
}

}  // namespace

TEST(MaterialDialog, OkKeepsTheEditsAndCancelLeavesTheCallersRecord) {
  resource_table_t& t = rt();
  material_values record;
  record.colour = wxColour(10, 20, 30);
  record.roughness = 1.0;
  record.metallic = 0.5;
  record.anisotropy = 0.25;
  material_values cancelled = record;
  EXPECT_FALSE(edit_and_end(cancelled, wxID_CANCEL));
  EXPECT_EQ(cancelled.roughness, 1.0);
  EXPECT_EQ(cancelled.colour, wxColour(10, 20, 30));
  EXPECT_DOUBLE_EQ(t.RES_MATERIAL_ROUGHNESS->read(), 200 / 255.0);  // the resources keep the edit

  ASSERT_TRUE(edit_and_end(record, wxID_OK));
  EXPECT_DOUBLE_EQ(record.roughness, 200 / 255.0);
  EXPECT_DOUBLE_EQ(record.metallic, 0.5);
  EXPECT_DOUBLE_EQ(record.anisotropy, 0.25);
  EXPECT_EQ(record.colour, wxColour(10, 20, 30));
  EXPECT_EQ(main_frame->material_dialog->metallic->GetValue(), 128);
  EXPECT_FALSE(main_frame->material_dialog->IsShown());
}

// The preview sphere follows each change of the colour picker.
TEST(MaterialDialog, PreviewFollowsThePickedColour) {
  material_dlg* d = main_frame->material_dialog;
  const wxString kept = rt().RES_MATERIAL_COLOUR->read();
  auto centre = [d] {
    const wxImage image = d->preview->GetBitmap().ConvertToImage();
    const int x = image.GetWidth() / 2, y = image.GetHeight() / 2;
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
  };
  for (const wxColour& picked : {wxColour(255, 0, 0), wxColour(0, 0, 255)}) {
    d->colour->SetColour(picked);
    wxColourPickerEvent event(d->colour, d->colour->GetId(), picked);
    d->colour->GetEventHandler()->ProcessEvent(event);
    EXPECT_EQ(rt().RES_MATERIAL_COLOUR->read(), picked.GetAsString(wxC2S_HTML_SYNTAX));
    const wxColour c = centre();
    const int strongest = picked.Red() ? c.Red() : c.Blue();
    EXPECT_GT(strongest, c.Green() + 40) << c.GetAsString(wxC2S_HTML_SYNTAX);
    EXPECT_GT(strongest, (picked.Red() ? c.Blue() : c.Red()) + 40) << c.GetAsString(wxC2S_HTML_SYNTAX);
  }
  rt().RES_MATERIAL_COLOUR->write(kept);
}
