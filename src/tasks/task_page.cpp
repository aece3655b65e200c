#include "tasks/task_page.h"

#include <wx/notebook.h>
#include <wx/settings.h>
#include <wx/sizer.h>

#include "registry/resource_table.h"

task_page::task_page(wxNotebook* notebook, const wxString& label, task_page_host& host)
    : wxScrolledWindow(notebook, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                       wxVSCROLL | wxHSCROLL | wxSUNKEN_BORDER | wxTAB_TRAVERSAL),
      host_(host) {
  SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
  SetScrollRate(10, 10);
  notebook->AddPage(this, label, false);
}

task_page::~task_page() { stop_listening(); }

void task_page::stop_listening() {
  if (resource_table)
    procs_.clear();
  else
    procs_.abandon();
}

wxSize task_page::dialog_units(int width, int height) const {
  wxWindow* top = wxGetTopLevelParent(const_cast<task_page*>(this));
  return (top ? top : const_cast<task_page*>(this))->ConvertDialogToPixels(wxSize(width, height));
}

double task_page::dpi_scale() const {
  wxWindow* top = wxGetTopLevelParent(const_cast<task_page*>(this));
  const int dpi = (top ? top : const_cast<task_page*>(this))->GetDPI().y;
  return dpi > 0 ? dpi / 96.0 : 1.0;
}

void task_page::fit_contents() {
  if (GetSizer()) FitInside();
  Layout();
}

void task_page::select_self() {
  auto* notebook = dynamic_cast<wxNotebook*>(GetParent());
  if (!notebook) return;
  const int index = notebook->FindPage(this);
  if (index >= 0 && index != notebook->GetSelection()) notebook->SetSelection(static_cast<size_t>(index));
}
