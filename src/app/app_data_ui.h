// The main window's side of the data-file code: progress dialogs and
// questions through the toolkit (questions go through show_message_dialog,
// so tests and batch runs answer them), and the pages a data set's reset
// refreshes.
#pragma once

#include "data/data_io_ui.h"
#include "medical/dicom_utility.h"

class wxProgressDialog;

class wx_data_io_ui final : public data_io_ui {
 public:
  std::unique_ptr<data_progress> start_progress(const wxString& caption, const wxString& message,
                                                int range, unsigned style) override;
  bool ask_yes_no(const wxString& caption, const wxString& question) override;
};

class main_frame_data_pages final : public data_set_pages {
 public:
  void update_landmark_list() override;
  void update_curve_list() override;
  // Until the Volume page exists, the default entry is the built-in rows.
  void reset_volume_properties(int index) override;
  void set_reslice_size_controls(int32_t width, int32_t height) override;
  void show_frame_count(int32_t frames) override;
};

// Makes the medical data-set loading show its directory search and series
// choice in dialogs over the main window.
void install_dicom_load_ui();
// The progress dialog of the pass that windows and smooths all 16-bit frames
// across their neighbours, with its Cancel button.
class wx_windowing_progress final : public windowing_progress_t {
 public:
  ~wx_windowing_progress() override { finish(); }
  void start(const wxString& title, const wxString& message, int maximum) override;
  bool update(int value, const wxString& message) override;
  void resume() override;
  void finish() override;

 private:
  wxProgressDialog* dialog_ = nullptr;
};
