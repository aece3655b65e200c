// Shared set-up of the File menu tests: scripted dialogs, a recording of
// frames and contours, and a stand-in for the volume readers.
#pragma once

#include "data/curves.h"
#include "data/dynabuf.h"
#include "data/file_menu.h"
#include "data/file_menu_ui.h"
#include "data/scripted_file_ui.h"
#include "data/landmarks.h"
#include "native_test_support.h"

// Stands in for the volume readers: loads a fixed data set of 16-bit frames
// of 3 x 2 pixels and reads frames of a medical image file.
class stand_in_readers : public medical_source {
 public:
  std::vector<wxString> loads;
  std::vector<std::vector<int32_t>> selections;
  int undone = 0;
  bool load_ok = true;
  int32_t frames_to_load = 2;

  bool load_files(const wxString& path) override {
    loads.push_back(path);
    if (!load_ok) {
      data_report(wxLOG_Error, "no image data in " + path);
      return false;
    }
    resource_table_t& t = *resource_table;
    t.RES_BUF_FRAMES->write_no_changeprocs(frames_to_load);
    t.RES_BUF_WIDTH->write_no_changeprocs(3);
    t.RES_BUF_HEIGHT->write_no_changeprocs(2);
    t.RES_FRAME_SIZE->write_no_changeprocs(6);
    t.RES_BUF_DICOM->write_no_changeprocs(true);
    t.RES_POS_REC->write_no_changeprocs(false);
    t.RES_BIN_IM_FILENAME->write_no_changeprocs(path);
    for (int32_t k = 0; k < frames_to_load; ++k) {
      auto* raw = new uint16_t[6];
      for (int i = 0; i < 6; ++i) raw[i] = static_cast<uint16_t>(k * 100 + i);
      frame_store->add_image(frame_image_t::create(nullptr, raw, 6));
      frame_store->timestamps.push_back(0);
    }
    return true;
  }
  int32_t read_frame(const wxString&, int32_t, int32_t frame_number, uint16_t* raw,
                     uint8_t*) override {
    for (int i = 0; i < 6; ++i) raw[i] = static_cast<uint16_t>(frame_number * 100 + i);
    return 6;
  }
  bool data_8bit() const override { return false; }
  bool data_16bit() const override { return true; }
  wxString source_type() const override { return "DICOM"; }
  wxString value_units() const override { return "HU"; }
  void file_rescale(double& s, double& i) const override { s = 1, i = 0; }
  bool sort_frames() override { return false; }
  void reset_data_source() override {}
  void select_frame_info(const std::vector<int32_t>& frames) override {
    selections.push_back(frames);
  }
  void undo_frame_selection() override { ++undone; }
};

class file_menu_test : public native_test {
 protected:
  file_menu_test() : file_scope_(files_) {}

  void SetUp() override {
    native_test::SetUp();
    set_data_set_pages(&pages_);
  }

  // A recording of n frames of w x h pixels with positions 1 mm apart, its
  // frame file beside it, and the body lines given.
  void write_recording(const std::string& name, int n, int w, int h, const std::string& body = "") {
    write_recording_files(spath(name), n, w, h, body);
  }

  static std::string expected_frame(int k, int n, int w, int h) {
    return frame_bytes(n, w, h).substr(static_cast<size_t>(k * w * h), static_cast<size_t>(w * h));
  }

  // Closes the data set as the menu does, ignoring unsaved changes.
  void close_data() {
    files_.confirmations.push_back(true);
    int32_t counter = 1;
    ASSERT_TRUE(file_close(counter));
  }

  scripted_file_ui files_;
  file_menu_ui_scope file_scope_;
  recorded_pages pages_;
};
