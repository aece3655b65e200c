// "Estimate cortical density": the command's questions, progress and graph
// window around the estimation in the thickness library.
#include <memory>

#include <wx/log.h>
#include <wx/notebook.h>
#include <wx/progdlg.h>

#include "app/app_dialogs.h"
#include "app/control_ids.h"
#include "app/main_frame.h"
#include "plot/density_graph_window.h"
#include "registry/resource_table.h"
#include "thickness/density_estimation.h"

namespace {

// The mapping's progress: always application-modal, so that nothing the
// mapping reads can change while it yields.
class mapping_progress : public thickness_mapping_hooks {
 public:
  explicit mapping_progress(wxWindow* parent) : parent_(parent) {}
  void open(const wxString& title, const wxString& message, int range) override {
    dialog_ = std::make_unique<wxProgressDialog>(
        title, message, std::max(range, 1), parent_,
        wxPD_CAN_ABORT | wxPD_ELAPSED_TIME | wxPD_ESTIMATED_TIME | wxPD_REMAINING_TIME |
            wxPD_AUTO_HIDE | wxPD_APP_MODAL);
  }
  bool update(int value, const wxString& message) override {
    return !dialog_ || dialog_->Update(std::min(value, dialog_->GetRange()), message);
  }
  void close() override { dialog_.reset(); }

 private:
  wxWindow* parent_;
  std::unique_ptr<wxProgressDialog> dialog_;
};

class frame_density_ui : public density_estimation_ui {
 public:
  frame_density_ui(MainFrame& frame, wxNotebook* tasks) : frame_(frame), tasks_(tasks), progress_(&frame) {}
  thickness_mapping_hooks* hooks() override { return &progress_; }
  void select_page() override {
    if (!tasks_) return;
    for (size_t i = 0; i < tasks_->GetPageCount(); ++i)
      if (tasks_->GetPageText(i) == "Thickness") {
        if (int(i) != tasks_->GetSelection()) tasks_->SetSelection(i);
        return;
      }
  }
  bool ask(const wxString& question) override {
    dialog_request_t r;
    r.caption = "Cortical density";
    r.text = question;
    r.style = wxYES_NO | wxICON_INFORMATION;
    return show_message_dialog(&frame_, r) == wxID_YES;
  }
  void graph(const density_graph& g, bool show, const wxString& png) override {
    auto* dialog = new density_graph_dialog(g);
    if (show) dialog->ShowModal();
    if (!png.empty() && !dialog->write_png(png))
      wxLogError("Could not write the density graph to '%s'.", png);
    dialog->Destroy();
  }
  void enable_convert(bool on) override {
    if (wxWindow* w = frame_.FindWindow(ID_THICKNESS_CONVERT_FWHM)) w->Enable(on);
  }

 private:
  MainFrame& frame_;
  wxNotebook* tasks_;
  mapping_progress progress_;
};

}  // namespace

void MainFrame::OnThicknessEstimateDensity(wxCommandEvent&) {
  frame_density_ui ui(*this, task_notebook);
  estimate_cortical_density(ui);
}
