#include "script/scripts_page.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/dir.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/progdlg.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/textctrl.h>
#include <wx/textfile.h>
#include <wx/utils.h>

#include <fstream>
#include <iterator>

#include "data/file_save.h"
#include "registry/resource_table.h"

namespace {

constexpr int kLoad = 6059, kRun = 6060, kSave = 6061, kEditor = 6062, kClear = 6063, kSaveOutput = 6064;
constexpr int kCurrentObjectChoice = 6173, kThicknessSurfaceChoice = 7248;
const wchar_t* const kWildcard = L"Text files (*.txt)|*.txt";

bool save_text(const wxString& path, const wxString& text) {
  const wxScopedCharBuffer utf8 = text.utf8_str();
  wxString why;
  if (save_file(path, std::string(utf8.data(), utf8.length()), &why)) return true;
  wxLogError(L"Cannot save %s: %s", path, why);
  return false;
}

bool read_text(const wxString& path, wxString& text) {
  std::ifstream in(path.fn_str(), std::ios::binary);
  if (!in) return false;
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  text = wxString::FromUTF8(bytes.data(), bytes.size());
  if (text.empty() && !bytes.empty()) text = wxString(bytes.data(), wxConvISO8859_1, bytes.size());
  return true;
}

wxChoice* find_choice(wxWindow* from, int id) {
  wxWindow* top = wxGetTopLevelParent(from);
  return top ? dynamic_cast<wxChoice*>(top->FindWindow(id)) : nullptr;
}

}  // namespace

wxString script_debug_file_name(const wxString& script, const wxDateTime& modified) {
  wxFileName name(script);
  const wxDateTime::TimeZone one_hour_ahead(wxDateTime::GMT1);
  name.SetName(name.GetName() + L"_debug_" + modified.Format(L"%d-%m-%y__%H-%M-%S", one_hour_ahead));
  return name.GetFullPath();
}

scripts_page::scripts_page(wxNotebook* notebook, task_page_host& host, script_actions& actions)
    : task_page(notebook, L"Scripts", host), actions_(actions) {
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  const wxSize button_size = dialog_units(24, -1);

  auto* editor_box = new wxStaticBoxSizer(wxVERTICAL, this, L"Script Editor:");
  auto* editor_row = new wxBoxSizer(wxHORIZONTAL);
  for (auto [id, label] : {std::pair<int, const wchar_t*>{kLoad, L"Load"}, {kRun, L"Run"}, {kSave, L"Save"}})
    editor_row->Add(new wxButton(editor_box->GetStaticBox(), id, label, wxDefaultPosition, button_size), 0,
                    wxALL, 5);
  editor_box->Add(editor_row, 0, wxALIGN_CENTER | wxALL, 5);
  script_editor = new wxTextCtrl(editor_box->GetStaticBox(), kEditor, wxEmptyString, wxDefaultPosition,
                                 dialog_units(-1, 160), wxTE_MULTILINE | wxTE_DONTWRAP | wxSUNKEN_BORDER);
  editor_box->Add(script_editor, 0, wxEXPAND | wxALL, 5);
  sizer->Add(editor_box, 0, wxEXPAND | wxALL, 5);

  auto* output_box = new wxStaticBoxSizer(wxVERTICAL, this, L"Script Output:");
  auto* output_row = new wxBoxSizer(wxHORIZONTAL);
  for (auto [id, label] : {std::pair<int, const wchar_t*>{kClear, L"Clear"}, {kSaveOutput, L"Save"}})
    output_row->Add(new wxButton(output_box->GetStaticBox(), id, label, wxDefaultPosition, button_size), 0,
                    wxALL, 5);
  output_box->Add(output_row, 0, wxALIGN_CENTER);
  script_output = new wxTextCtrl(output_box->GetStaticBox(), wxID_ANY, wxEmptyString, wxDefaultPosition,
                                 dialog_units(-1, 160),
                                 wxTE_MULTILINE | wxTE_READONLY | wxTE_DONTWRAP | wxSUNKEN_BORDER);
  output_box->Add(script_output, 0, wxEXPAND | wxALL, 5);
  sizer->Add(output_box, 0, wxEXPAND | wxALL, 5);

  host.send_enter_on_focus_loss(script_editor);
  host.send_enter_on_focus_loss(script_output);
  SetSizer(sizer);
  fit_contents();
  script = std::make_unique<Script>(static_cast<script_host&>(*this));
  choose_file = [this](const wxString& message, const wxString& current, bool save) {
    const wxFileName name(current);
    wxFileDialog dialog(wxGetTopLevelParent(this), message, name.GetPath(wxPATH_GET_VOLUME), name.GetFullName(),
                        kWildcard, save ? wxFD_SAVE | wxFD_OVERWRITE_PROMPT : wxFD_OPEN, wxDefaultPosition,
                        wxDefaultSize, L"filedlg");
    return dialog.ShowModal() == wxID_OK ? dialog.GetPath() : wxString();
  };
}

scripts_page::~scripts_page() {
  progress_.reset();
  stop_listening();
  script.reset();
}

void scripts_page::stop_listening() {
  task_page::stop_listening();
  if (script) script->stop_listening();
}

// ---- what the script reaches through the page ----------------------------------

wxString scripts_page::script_text() { return script_editor->GetValue(); }

void scripts_page::append_output(const wxString& text) { script_output->AppendText(text); }

bool scripts_page::directory_exists(const wxString& dir) { return !dir.empty() && wxDirExists(dir); }

std::vector<wxString> scripts_page::list_files(const wxString& dir, const wxString& filter) {
  wxArrayString found;
  wxDir::GetAllFiles(dir, &found, filter, wxDIR_FILES | wxDIR_DIRS | wxDIR_HIDDEN);
  return std::vector<wxString>(found.begin(), found.end());
}

std::vector<wxString> scripts_page::object_names() {
  wxChoice* choice = find_choice(this, kCurrentObjectChoice);
  if (!choice) return {};
  const wxArrayString items = choice->GetStrings();
  return std::vector<wxString>(items.begin(), items.end());
}

std::vector<wxString> scripts_page::surface_names() {
  wxChoice* choice = find_choice(this, kThicknessSurfaceChoice);
  if (!choice) return {};
  const wxArrayString items = choice->GetStrings();
  return std::vector<wxString>(items.begin(), items.end());
}

wxString scripts_page::selected_surface() {
  wxChoice* choice = find_choice(this, kThicknessSurfaceChoice);
  return choice ? choice->GetStringSelection() : wxString();
}

void scripts_page::open_progress_dialog() {
  progress_ = std::make_unique<wxProgressDialog>(
      L"Running script", L"Currently running script\n", 10000, nullptr,
      wxPD_CAN_ABORT | wxPD_APP_MODAL | wxPD_AUTO_HIDE | wxPD_ELAPSED_TIME | wxPD_ESTIMATED_TIME |
          wxPD_REMAINING_TIME | wxSTAY_ON_TOP);
}

bool scripts_page::move_progress_dialog(int position) {
  return !progress_ || progress_->Update(position);
}

void scripts_page::close_progress_dialog() { progress_.reset(); }

void scripts_page::yield() { wxSafeYield(progress_.get(), true); }

// ---- the page's commands --------------------------------------------------------

void scripts_page::report_missing(const wxString&) {
  resource_table_t& rt = *resource_table;
  rt.RES_SCRIPT_FILENAME->write(wxFileName());
  script_output->Clear();
  rt.RES_SCRIPT_WRITE_MESSAGE->write(L"Script file doesn't exist.");
  script_output->Update();
}

void scripts_page::load_editor(const wxString& path) {
  wxString text;
  if (!read_text(path, text)) {
    report_missing(path);
    return;
  }
  resource_table->RES_SCRIPT_FILENAME->write(wxFileName(path));
  script_editor->ChangeValue(text);
  script_editor->DiscardEdits();
  script_output->Clear();
  script_output->Update();
}

void scripts_page::OnScriptLoad(wxCommandEvent&) {
  const wxString path = choose_file(L"Choose script file",
                                    resource_table->RES_SCRIPT_FILENAME->read().GetFullPath(), false);
  if (path.empty()) return;
  if (wxFileExists(path))
    load_editor(path);
  else
    report_missing(path);
}

bool scripts_page::save_script_editor() {
  resource_table_t& rt = *resource_table;
  const wxString path =
      choose_file(L"Script file must be saved to run (include .txt)", rt.RES_SCRIPT_FILENAME->read().GetFullPath(), true);
  if (path.empty()) return false;
  if (!save_text(path, script_editor->GetValue())) return false;
  script_editor->DiscardEdits();
  rt.RES_SCRIPT_FILENAME->write_no_changeprocs(wxFileName(path));
  rt.RES_DEBUG_FILENAME->write_no_changeprocs(
      wxFileName(script_debug_file_name(path, wxFileName(path).GetModificationTime())));
  base_res_t::make_pending_writes_happen();
  return true;
}

void scripts_page::OnScriptSave(wxCommandEvent&) { save_script_editor(); }

void scripts_page::OnScriptEditorRun(wxCommandEvent&) {
  if (script_editor->IsModified() && !save_script_editor()) return;
  if (!script->run()) wxLogError(L"Error in Script. See log for details.");
}

void scripts_page::OnScriptSaveAs(wxCommandEvent&) {
  const wxString path = choose_file(L"Choose script file to save as (include .txt)",
                                    resource_table->RES_DEBUG_FILENAME->read().GetFullPath(), true);
  if (path.empty()) return;
  resource_table->RES_DEBUG_FILENAME->write(wxFileName(path));
  save_text(path, script_output->GetValue());
}

void scripts_page::OnScriptClearOutput(wxCommandEvent&) {
  script_output->Clear();
  script_output->Update();
}

bool scripts_page::batch_run(const wxString& script_file, const wxString& log_file) {
  if (!wxFileExists(script_file)) {
    report_missing(script_file);
    wxLogError(L"Script file doesn't exist: %s", script_file);
    return false;
  }
  wxString text;
  if (!read_text(script_file, text)) {
    report_missing(script_file);
    return false;
  }
  resource_table->RES_SCRIPT_FILENAME->write(wxFileName(script_file));
  script_editor->ChangeValue(text);
  script_editor->DiscardEdits();
  script_output->Clear();
  script_output->Update();
  in_batch_ = true;
  bool ok = script->run();
  in_batch_ = false;
  if (!ok) wxLogError(L"Error in Script. See log for details.");
  if (!log_file.empty() && !save_text(log_file, script_output->GetValue())) ok = false;
  return ok;
}
