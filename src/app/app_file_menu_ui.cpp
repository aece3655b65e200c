#include "app/app_file_menu_ui.h"

#include <wx/choicdlg.h>
#include <wx/dialog.h>
#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/log.h>
#include <wx/textdlg.h>

#include "app/app_dialogs.h"
#include "app/main_frame.h"

namespace {

void note_suppressed(const wxString& what) {
  wxLogMessage(L"%s: no dialog in a batch or test run; cancelled.", what);
}

}  // namespace

DisplaySaveTypeHook::DisplaySaveTypeHook(const std::vector<std::pair<wxString, bool>>& boxes) {
  for (const auto& b : boxes) {
    labels_.push_back(b.first);
    states_.push_back(b.second);
  }
}

void DisplaySaveTypeHook::AddCustomControls(wxFileDialogCustomize& customizer) {
  boxes_.clear();
  for (size_t k = 0; k < labels_.size(); ++k) {
    wxFileDialogCheckBox* box = customizer.AddCheckBox(labels_[k]);
    box->SetValue(states_[k]);
    boxes_.push_back(box);
  }
}

void DisplaySaveTypeHook::TransferDataFromCustomControls() {
  for (size_t k = 0; k < boxes_.size(); ++k) states_[k] = boxes_[k]->GetValue();
}

bool wx_file_menu_ui::choose_file(const file_dialog_request& request, file_dialog_result& result) {
  if (dialogs_suppressed()) {
    note_suppressed(request.message);
    return false;
  }
  long style = wxFD_OPEN;
  if (request.save) style = request.ask_overwrite ? long(wxFD_SAVE | wxFD_OVERWRITE_PROMPT) : long(wxFD_SAVE);
  // Over a modal dialog that asks (the material dialog's Save), else over
  // the main window.
  wxWindow* over = main_frame;
  if (wxWindow* focus = wxWindow::FindFocus())
    if (auto* modal = wxDynamicCast(wxGetTopLevelParent(focus), wxDialog))
      if (modal->IsModal()) over = modal;
  wxFileDialog dialog(over, request.message, request.folder, request.name, request.wildcard,
                      style);
  dialog.SetFilterIndex(request.filter_index);
  DisplaySaveTypeHook hook(request.checks);
  if (!request.checks.empty()) dialog.SetCustomizeHook(hook);
  if (dialog.ShowModal() != wxID_OK) return false;
  result.path = dialog.GetPath();
  result.filter_index = dialog.GetFilterIndex();
  result.checks = hook.states();
  return true;
}

bool wx_file_menu_ui::choose_folder(const wxString& message, const wxString& folder,
                                    wxString& path) {
  if (dialogs_suppressed()) {
    note_suppressed(message);
    return false;
  }
  wxDirDialog dialog(main_frame, message, folder, wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
  if (dialog.ShowModal() != wxID_OK) return false;
  path = dialog.GetPath();
  return true;
}

bool wx_file_menu_ui::ask_ok_cancel(const wxString& caption, const wxString& text) {
  dialog_request_t request;
  request.caption = caption;
  request.text = text;
  request.style = wxOK | wxCANCEL | wxICON_WARNING;
  return show_message_dialog(main_frame, request) == wxID_OK;
}

bool wx_file_menu_ui::ask_text(const wxString& caption, const wxString& message,
                               const wxString& initial, wxString& text) {
  if (dialogs_suppressed()) {
    note_suppressed(caption);
    return false;
  }
  wxTextEntryDialog dialog(main_frame, message, caption, initial, wxOK | wxCANCEL | wxCENTRE);
  if (dialog.ShowModal() != wxID_OK) return false;
  text = dialog.GetValue();
  return true;
}

bool wx_file_menu_ui::choose_one(const wxString& caption, const wxString& message,
                                 const std::vector<wxString>& choices, int& index) {
  if (dialogs_suppressed()) {
    note_suppressed(caption);
    return false;
  }
  wxArrayString items;
  for (const wxString& c : choices) items.Add(c);
  wxSingleChoiceDialog dialog(main_frame, message, caption, items, nullptr,
                              wxCHOICEDLG_STYLE | wxRESIZE_BORDER | wxCENTRE);
  dialog.SetSelection(0);
  if (dialog.ShowModal() != wxID_OK || dialog.GetSelection() < 0) return false;
  index = dialog.GetSelection();
  return true;
}

void wx_file_menu_ui::show_message(const wxString& caption, const wxString& text) {
  dialog_request_t request;
  request.caption = caption;
  request.text = text;
  request.style = wxOK | wxICON_EXCLAMATION;
  show_message_dialog(main_frame, request);
}

file_menu_handler_scope::file_menu_handler_scope() {
  if (!file_menu_ui_installed()) ui_scope_.emplace(ui_);
  if (!current_frame_image_writer()) {
    set_frame_image_writer(&writer_);
    writer_installed_ = true;
  }
}

file_menu_handler_scope::~file_menu_handler_scope() {
  if (writer_installed_) set_frame_image_writer(nullptr);
}
