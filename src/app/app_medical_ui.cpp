// The dialogs of loading medical data sets: the directory search's progress
// with Cancel, and the choice of one series.
#include <memory>

#include <wx/choicdlg.h>
#include <wx/progdlg.h>

#include "app/main_frame.h"
#include "medical/dicom_utility.h"

namespace {

class wx_dicom_load_ui final : public dicom_load_ui {
 public:
  void search_start(const wxString& caption, const wxString& message) override {
    dialog_ = std::make_unique<wxProgressDialog>(caption, message, 100, nullptr,
                                                 wxPD_CAN_ABORT | wxPD_AUTO_HIDE);
  }
  bool search_pulse(const wxString& message) override {
    return !dialog_ || dialog_->Pulse(message);
  }
  void search_end() override { dialog_.reset(); }
  int choose_series(const wxString& caption, const wxString& message,
                    const std::vector<wxString>& lines) override {
    wxArrayString choices;
    for (const wxString& l : lines) choices.Add(l);
    wxSingleChoiceDialog dialog(main_frame, message, caption, choices);
    dialog.SetSelection(0);
    const int answer = dialog.ShowModal();
    if (answer == wxID_OK) return dialog.GetSelection();
    if (answer == wxID_CANCEL) return -1;
    return 0;  // closed another way: the first series
  }

 private:
  std::unique_ptr<wxProgressDialog> dialog_;
};

wx_dicom_load_ui the_ui;

}  // namespace

void install_dicom_load_ui() { dicom_utility::load_ui = &the_ui; }
