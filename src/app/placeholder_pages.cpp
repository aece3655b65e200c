// The task pages, visualisation pages and settings dialogs as empty shells:
// each page is a plain panel in its notebook and each dialog a hidden,
// empty dialog whose command events reach the main window. The pages and
// dialogs themselves replace these builders.
#include <wx/dialog.h>
#include <wx/notebook.h>
#include <wx/panel.h>

#include "app/main_frame.h"
#include "registry/resource_table.h"

namespace {

wxPanel* empty_page(wxNotebook* notebook) {
  return new wxPanel(notebook, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                     wxVSCROLL | wxHSCROLL | wxSUNKEN_BORDER | wxTAB_TRAVERSAL);
}

wxDialog* empty_dialog(wxWindow* parent, const wchar_t* title, bool resizable) {
  auto* dialog = new wxDialog;
  dialog->SetExtraStyle(0);  // command events travel on to the main window
  long style = wxDEFAULT_DIALOG_STYLE | wxSTAY_ON_TOP | (resizable ? wxRESIZE_BORDER : 0);
  dialog->Create(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize, style);
  return dialog;
}

}  // namespace

void MainFrame::create_task_pages(wxNotebook* notebook) {
  const bool pressure = resource_table->RES_PRESSURE_TASK->read();
  const bool spine = resource_table->RES_SPINE_TASK->read();
  for (const wchar_t* name : {L"Draw", L"Fit shape model", L"Landmarks", L"Thickness", L"Scripts"})
    notebook->AddPage(empty_page(notebook), name, false);
  if (pressure) notebook->AddPage(empty_page(notebook), L"Pressure", false);
  if (spine) notebook->AddPage(empty_page(notebook), L"Spine", false);
}

void MainFrame::create_visual_pages(wxNotebook* notebook) {
  static const wchar_t* const kNames[] = {L"Blank",     L"Ortho",    L"Reslice",  L"Volume",
                                          L"Thickness", L"Pressure", L"Panorama", L"Spine"};
  const bool pressure = resource_table->RES_PRESSURE_TASK->read();
  const bool spine = resource_table->RES_SPINE_TASK->read();
  for (int k = 0; k < 8; ++k) {
    notebook->AddPage(empty_page(notebook), kNames[k], false);
    const bool drop = ((k == 5 || k == 6) && !pressure) || (k == 7 && !spine);
    if (drop) notebook->DeletePage(notebook->GetPageCount() - 1);
  }
}

void MainFrame::create_config_dialogs(wxWindow* parent) {
  comment_dialog = empty_dialog(parent, L"Comment on data:", true);
  display_dialog = empty_dialog(parent, L"Image display configuration:", false);
  location_dialog = empty_dialog(parent, L"Image location configuration:", false);
  graphics_dialog = empty_dialog(parent, L"Graphics and display:", false);
  mouse_dialog = empty_dialog(parent, L"Mouse and key presses:", false);
  material_dialog = empty_dialog(parent, L"Material type:", false);
}
