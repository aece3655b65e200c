// The File menu's dialogs through the toolkit: file and folder dialogs, the
// text-entry dialog, and the OK/Cancel question and message through
// show_message_dialog, so that tests and batch runs answer them. In a batch or
// test run without a display for dialogs (dialogs_suppressed()) the file,
// folder and text dialogs count as cancelled.
#pragma once

#include <optional>

#include <wx/event.h>
#include <wx/filedlgcustomize.h>

#include <utility>
#include <vector>

#include "data/file_menu_export.h"
#include "data/file_menu_image_wx.h"
#include "data/file_menu_ui.h"

class wx_file_menu_ui final : public file_menu_ui {
 public:
  bool choose_file(const file_dialog_request& request, file_dialog_result& result) override;
  bool choose_folder(const wxString& message, const wxString& folder, wxString& path) override;
  bool ask_ok_cancel(const wxString& caption, const wxString& text) override;
  bool ask_text(const wxString& caption, const wxString& message, const wxString& initial,
                wxString& text) override;
  void show_message(const wxString& caption, const wxString& text) override;
  bool choose_one(const wxString& caption, const wxString& message, const std::vector<wxString>& choices,
                  int& index) override;
};

// The check boxes of the settings save dialog: one per resource group the
// request offers, kept as booleans while the dialog runs.
class DisplaySaveTypeHook final : public wxFileDialogCustomizeHook {
 public:
  explicit DisplaySaveTypeHook(const std::vector<std::pair<wxString, bool>>& boxes);
  void AddCustomControls(wxFileDialogCustomize& customizer) override;
  void UpdateCustomControls() override {}
  void TransferDataFromCustomControls() override;
  const std::vector<bool>& states() const { return states_; }

 private:
  std::vector<wxString> labels_;
  std::vector<bool> states_;
  std::vector<wxFileDialogCheckBox*> boxes_;
};

// While a handler of the File menu runs: the toolkit's dialogs and image
// writer, unless a test or another caller installed its own.
class file_menu_handler_scope {
 public:
  file_menu_handler_scope();
  ~file_menu_handler_scope();
  file_menu_handler_scope(const file_menu_handler_scope&) = delete;
  file_menu_handler_scope& operator=(const file_menu_handler_scope&) = delete;

 private:
  wx_file_menu_ui ui_;
  std::optional<file_menu_ui_scope> ui_scope_;
  wx_frame_image_writer writer_;
  bool writer_installed_ = false;
};
