#include "views/contour_editor_wx.h"

#include <memory>

#include <wx/app.h>
#include <wx/choicdlg.h>
#include <wx/msgdlg.h>
#include <wx/progdlg.h>

#include "views/review_canvas.h"

namespace {

wxWindow* dialog_parent() { return wxTheApp ? wxTheApp->GetTopWindow() : nullptr; }

bool ask_yes_no(const wxString& caption, const wxString& question) {
  return wxMessageBox(question, caption, wxYES_NO | wxICON_QUESTION, dialog_parent()) == wxYES;
}

// The masking's question and progress in dialogs.
class dialog_mask_ui final : public mask_ui {
 public:
  bool ask(const wxString& caption, const wxString& question) override {
    return ask_yes_no(caption, question);
  }
  void progress_start(const wxString& title, const wxString& message, int maximum) override {
    progress_ = std::make_unique<wxProgressDialog>(title, message, maximum > 0 ? maximum : 1,
                                                   dialog_parent(), wxPD_APP_MODAL | wxPD_AUTO_HIDE);
  }
  void progress_update(int value, const wxString& message) override {
    if (progress_) progress_->Update(value, message);
  }
  void progress_finish() override { progress_.reset(); }

 private:
  std::unique_ptr<wxProgressDialog> progress_;
};

}  // namespace

bool review_contour_ui::ask(const wxString& caption, const wxString& question) {
  return ask_yes_no(caption, question);
}

int review_contour_ui::choose(const wxString& caption, const wxString& message,
                              const std::vector<wxString>& choices) {
  wxArrayString items;
  for (const wxString& c : choices) items.Add(c);
  wxSingleChoiceDialog dialog(dialog_parent(), message, caption, items, nullptr,
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
  dialog_mask_ui ui;
  view_.mask_data(ui);
}
