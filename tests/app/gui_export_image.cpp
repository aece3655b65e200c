// File > Export image data over a DICOM run opened as image data: the menu
// item's state, the file the chosen name and filter give, a voxel read back
// from the compressed file, and the progress dialog's Cancel button.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <wx/progdlg.h>
#include <wx/menu.h>
#include <wx/wfstream.h>
#include <wx/zstream.h>

#include "app/app_data_ui.h"
#include "app/app_ids.h"
#include "app/main_frame.h"
#include "data/scripted_file_ui.h"
#include "gui_file_menu_support.h"
#include "medical/dicom_utility.h"
#include "registry/resource_table.h"

namespace {

// Explicit VR little endian element.
void element(std::string& out, uint16_t g, uint16_t e, const char* vr, std::string v) {
  if (v.size() % 2) v += (vr[0] == 'U' && vr[1] == 'I') ? '\0' : ' ';
  out += char(g & 0xFF);
  out += char(g >> 8);
  out += char(e & 0xFF);
  out += char(e >> 8);
  out += vr;
  if (std::string(vr) == "OW") {
    out.append(2, '\0');
    for (int k = 0; k < 4; ++k) out += char((v.size() >> (8 * k)) & 0xFF);
  } else {
    out += char(v.size() & 0xFF);
    out += char(v.size() >> 8);
  }
  out += v;
}
std::string us(uint16_t v) { return std::string{char(v & 0xFF), char(v >> 8)}; }

// Slice n of a 4 x 3 run: z = 2.5 n mm, pixel k = 1000 n + k, CT rescale -1024.
void write_slice(const std::string& path, int n) {
  std::string out(128, '\0');
  out += "DICM";
  element(out, 0x0002, 0x0010, "UI", "1.2.840.10008.1.2.1");
  element(out, 0x0008, 0x0060, "CS", "CT");
  element(out, 0x0020, 0x000E, "UI", "1.2.3");
  element(out, 0x0020, 0x0032, "DS", "0\\0\\" + std::to_string(2.5 * n));
  element(out, 0x0020, 0x0037, "DS", "1\\0\\0\\0\\1\\0");
  element(out, 0x0028, 0x0002, "US", us(1));
  element(out, 0x0028, 0x0010, "US", us(3));
  element(out, 0x0028, 0x0011, "US", us(4));
  element(out, 0x0028, 0x0030, "DS", "0.5\\0.5");
  element(out, 0x0028, 0x0100, "US", us(16));
  element(out, 0x0028, 0x0103, "US", us(0));
  element(out, 0x0028, 0x1052, "DS", "-1024");
  element(out, 0x0028, 0x1053, "DS", "1");
  std::string pixels;
  for (int k = 0; k < 12; ++k) pixels += us(uint16_t(1000 * n + k));
  element(out, 0x7FE0, 0x0010, "OW", pixels);
  std::ofstream(path, std::ios::binary) << out;
}

void command(int id) {
  wxCommandEvent event(wxEVT_MENU, id);
  event.SetEventObject(main_frame);
  main_frame->ProcessWindowEvent(event);
  pump_events(2);
}

TEST(ExportImageData, WritesTheFormatTheFilterAndNameGive) {
  ASSERT_NE(main_frame, nullptr);
  const std::string folder = g_fm_root + "/data/export_image";
  std::filesystem::create_directories(folder);
  for (int n = 1; n <= 3; ++n) write_slice(folder + "/s" + std::to_string(n) + ".dcm", n);
  resource_table_t& rt = *resource_table;
  rt.RES_IN_SCRIPT->write(true);
  rt.RES_SCRIPT_FUNC_ARG->write(wxString::FromUTF8(folder + "/s1.dcm"));
  command(ID_FILE_OPEN);
  rt.RES_IN_SCRIPT->write(false);
  ASSERT_EQ(rt.RES_BUF_FRAMES->read(), 3);
  ASSERT_NE(rt.RES_ZSCALE->read(), 0.0);
  EXPECT_TRUE(main_frame->GetMenuBar()->IsEnabled(ID_FILE_EXPORT_IMAGE));

  scripted_file_ui files;
  file_menu_ui_scope scope(files);
  files.choose(wxString::FromUTF8(folder + "/vol.nii.gz"), 1);
  command(ID_FILE_EXPORT_IMAGE);
  ASSERT_EQ(files.file_requests.size(), 1u);
  EXPECT_EQ(files.file_requests[0].message, "Export image data as");
  EXPECT_EQ(files.file_requests[0].wildcard,
            "Raw NIfTI file|*.nii|Compressed NIfTI file|*.nii.gz|Raw NRRD file|*.nrrd|Compressed NRRD file|*.nhdr");
  {
    wxFileInputStream file(wxString::FromUTF8(folder + "/vol.nii.gz"));
    ASSERT_TRUE(file.IsOk());
    wxZlibInputStream gz(file, wxZLIB_GZIP);
    std::string bytes(352 + 3 * 12 * 2, '\0');
    gz.Read(&bytes[0], bytes.size());
    ASSERT_EQ(gz.LastRead(), bytes.size());
    EXPECT_EQ(bytes[0], char(0x5C));  // 348
    EXPECT_EQ(bytes[42], 4);          // 4 columns
    // Last voxel of slice 3: raw 3000 + 11 stored unsigned (datatype 512),
    // calibrated by scl_inter -1024.
    const size_t last = 352 + (3 * 12 - 1) * 2;
    EXPECT_EQ(uint8_t(bytes[last]) | (uint8_t(bytes[last + 1]) << 8), 3011);
    EXPECT_EQ(uint8_t(bytes[70]) | (uint8_t(bytes[71]) << 8), 512);
    float inter;
    std::memcpy(&inter, &bytes[116], 4);
    EXPECT_EQ(inter, -1024.0f);
  }
  // "Raw NRRD file" with a ".nhdr" name still gives the detached pair.
  files.choose(wxString::FromUTF8(folder + "/vol.nhdr"), 2);
  command(ID_FILE_EXPORT_IMAGE);
  EXPECT_TRUE(std::filesystem::exists(folder + "/vol.nhdr"));
  EXPECT_TRUE(std::filesystem::exists(folder + "/vol.raw.gz"));

  rt.RES_IN_SCRIPT->write(true);
  command(ID_FILE_CLOSE);
  rt.RES_IN_SCRIPT->write(false);
}

// The program's own progress dialogs, with a click on the Cancel button of
// each one as soon as it is shown; messages are kept.
class cancel_clicking_ui final : public data_io_ui {
 public:
  std::unique_ptr<data_progress> start_progress(const wxString& caption, const wxString& message, int range,
                                                unsigned style) override {
    std::unique_ptr<data_progress> p = real_.start_progress(caption, message, range, style);
    for (wxWindow* w : wxTopLevelWindows)
      if (auto* dialog = dynamic_cast<wxGenericProgressDialog*>(w))
        if (wxWindow* button = dialog->FindWindow(wxID_CANCEL)) {
          wxCommandEvent click(wxEVT_BUTTON, wxID_CANCEL);
          click.SetEventObject(button);
          button->GetEventHandler()->ProcessEvent(click);
          ++clicks;
        }
    return p;
  }
  bool ask_yes_no(const wxString& caption, const wxString& question) override {
    return real_.ask_yes_no(caption, question);
  }
  void message(wxLogLevel, const wxString& text) override { messages.push_back(text); }

  int clicks = 0;
  std::vector<wxString> messages;

 private:
  wx_data_io_ui real_;
};

TEST(ExportImageData, CancelInTheProgressDialogLeavesNoFile) {
  ASSERT_NE(main_frame, nullptr);
  const std::string folder = g_fm_root + "/data/export_cancel";
  std::filesystem::create_directories(folder);
  // Enough slices for the dialog to appear while the first quarter runs.
  for (int n = 1; n <= 8; ++n) write_slice(folder + "/s" + std::to_string(n) + ".dcm", n);
  resource_table_t& rt = *resource_table;
  rt.RES_IN_SCRIPT->write(true);
  rt.RES_SCRIPT_FUNC_ARG->write(wxString::FromUTF8(folder + "/s1.dcm"));
  command(ID_FILE_OPEN);
  rt.RES_IN_SCRIPT->write(false);
  ASSERT_EQ(rt.RES_BUF_FRAMES->read(), 8);

  dicom_utility::export_progress_delay_ms = -1;
  dicom_utility::export_progress_interval_ms = -1;
  cancel_clicking_ui ui;
  {
    data_ui_scope ui_scope(ui);
    scripted_file_ui files;
    file_menu_ui_scope scope(files);
    files.choose(wxString::FromUTF8(folder + "/vol.nii"), 0);
    command(ID_FILE_EXPORT_IMAGE);
  }
  dicom_utility::export_progress_delay_ms = 250;
  dicom_utility::export_progress_interval_ms = 100;
  EXPECT_EQ(ui.clicks, 1) << "one progress dialog, with a Cancel button";
  EXPECT_FALSE(std::filesystem::exists(folder + "/vol.nii"));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], "Exporting `" + wxString::FromUTF8(folder + "/vol.nii") + "' was cancelled; no file was changed.\n");
  size_t files_left = 0;
  for (const auto& e : std::filesystem::directory_iterator(folder)) files_left += e.path().extension() != ".dcm";
  EXPECT_EQ(files_left, 0u) << "no temporary file beside the target";

  rt.RES_IN_SCRIPT->write(true);
  command(ID_FILE_CLOSE);
  rt.RES_IN_SCRIPT->write(false);
}

}  // namespace
