#include "visual/visual_page.h"

#include <wx/notebook.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "registry/resource_table.h"

visual_panel::visual_panel(wxNotebook* notebook, const wxString& label, bool present, bool button_face)
    : wxScrolledWindow(notebook, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                       wxVSCROLL | wxHSCROLL | wxSUNKEN_BORDER | wxTAB_TRAVERSAL, "panel") {
  if (button_face) SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
  SetScrollRate(10, 10);
  sizer_ = new wxBoxSizer(wxVERTICAL);
  SetAutoLayout(true);
  notebook->AddPage(this, label, false);
  if (!present) {
    notebook->RemovePage(notebook->GetPageCount() - 1);
    Hide();
  }
  SetSizer(sizer_);
}

visual_panel::~visual_panel() { stop_listening(); }

void visual_panel::stop_listening() {
  if (resource_table)
    procs_.clear();
  else
    procs_.abandon();
}

void visual_panel::fit_contents() {
  Layout();
  FitInside();
}

blank_page::blank_page(wxNotebook* notebook) : visual_panel(notebook, L"Blank") {
  sizer_->Add(new wxStaticText(this, wxID_ANY, L"No reslice"), 0, wxALL | wxALIGN_LEFT, 5);
  fit_contents();
}

int track_unit_of(wxWindow* window) {
  wxWindow* top = wxGetTopLevelParent(window);
  return (top ? top : window)->ConvertDialogToPixels(wxSize(50, 50)).x;
}
