#include "views/contour_editor_wx.h"

#include <wx/choicdlg.h>
#include <wx/msgdlg.h>

#include "views/review_canvas.h"

// The dialogs sit over the view's top-level window, the main window in the program.
bool review_contour_ui::ask(const wxString& caption, const wxString& question) {
  wxMessageDialog dialog(wxGetTopLevelParent(&view_), question, caption, wxYES_NO | wxICON_QUESTION);
  return dialog.ShowModal() == wxID_YES;
}

int review_contour_ui::choose(const wxString& caption, const wxString& message,
                              const std::vector<wxString>& choices) {
  wxArrayString items;
  for (const wxString& c : choices) items.Add(c);
  wxSingleChoiceDialog dialog(wxGetTopLevelParent(&view_), message, caption, items, nullptr,
                              wxCHOICEDLG_STYLE | wxRESIZE_BORDER);
  dialog.SetSelection(0);
  dialog.Centre();
  return dialog.ShowModal() == wxID_OK ? dialog.GetSelection() : -1;
}

void review_contour_ui::refresh() { view_.Refresh(true); }

// The view masks with the region, or else with its edited contour, which is
// the outline while this runs.
void review_contour_ui::mask_data(frame_contours_t* region, const contour_t*) {
  if (region) view_.mask_region().region = std::move(*region);
  view_.mask_data();
}
