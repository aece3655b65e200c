#include "app/app_data_ui.h"

#include <algorithm>

#include <wx/progdlg.h>
#include <wx/stattext.h>
#include <wx/utils.h>

#include "app/app_dialogs.h"
#include "app/main_frame.h"
#include "visual/reslice_page.h"
#include "visual/visual_pages.h"
#include "registry/resource_table.h"
#include "tasks/landmarks_page.h"

namespace {

class wx_progress final : public data_progress {
 public:
  wx_progress(const wxString& caption, const wxString& message, int range, unsigned style)
      : busy_(style & data_io_ui::PROGRESS_BUSY) {
    long flags = wxPD_AUTO_HIDE;
    if (style & data_io_ui::PROGRESS_MODAL) flags |= wxPD_APP_MODAL;
    if (style & data_io_ui::PROGRESS_TIMES)
      flags |= wxPD_ELAPSED_TIME | wxPD_ESTIMATED_TIME | wxPD_REMAINING_TIME;
    if (style & data_io_ui::PROGRESS_CANCEL) flags |= wxPD_CAN_ABORT;
    if (busy_) wxBeginBusyCursor();
    dialog_ = new wxProgressDialog(caption, message, range > 0 ? range : 100, main_frame, flags);
  }
  ~wx_progress() override {
    delete dialog_;  // at once: a dialog shown before the main loop brings its own loop
    if (busy_) wxEndBusyCursor();
  }
  void update(int value, const wxString& message) override {
    if (!dialog_->Update(std::min(value, dialog_->GetRange()), message)) cancelled_ = true;
  }
  void pulse() override {
    if (!dialog_->Pulse()) cancelled_ = true;
  }
  bool cancelled() const override { return cancelled_; }

 private:
  bool busy_;
  bool cancelled_ = false;
  wxProgressDialog* dialog_;
};

}  // namespace

std::unique_ptr<data_progress> wx_data_io_ui::start_progress(const wxString& caption,
                                                             const wxString& message, int range,
                                                             unsigned style) {
  return std::make_unique<wx_progress>(caption, message, range, style);
}

bool wx_data_io_ui::ask_yes_no(const wxString& caption, const wxString& question) {
  dialog_request_t request;
  request.caption = caption;
  request.text = question;
  request.style = wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION;
  return show_message_dialog(main_frame, request) == wxID_YES;
}

void main_frame_data_pages::set_reslice_size_controls(int32_t width, int32_t height) {
  if (main_frame && main_frame->visuals && main_frame->visuals->reslice())
    main_frame->visuals->reslice()->set_size_controls(width, height);
}

void main_frame_data_pages::show_frame_count(int32_t frames) {
  if (main_frame && main_frame->frames_label)
    main_frame->frames_label->SetLabel(main_frame->frames_status_text(-1, frames));
}

void main_frame_data_pages::reset_volume_properties(int index) {
  if (index < 0 && resource_table) set_default_volume_rows(resource_table->RES_VOLUME->read());
}

void wx_windowing_progress::start(const wxString& title, const wxString& message, int maximum) {
  finish();
  dialog_ = new wxProgressDialog(title, message, std::max(maximum, 1), main_frame,
                                 wxPD_CAN_ABORT | wxPD_APP_MODAL | wxPD_ELAPSED_TIME | wxPD_ESTIMATED_TIME |
                                     wxPD_REMAINING_TIME);
}

bool wx_windowing_progress::update(int value, const wxString& message) {
  if (!dialog_) return true;
  return dialog_->Update(std::min(value, dialog_->GetRange()), message);
}

void wx_windowing_progress::resume() {
  if (dialog_) dialog_->Resume();
}

void wx_windowing_progress::finish() {
  delete dialog_;  // at once, as the data loads' dialogs
  dialog_ = nullptr;
}

// Called directly when the data are cleared, without LANDMARK or CURVE.
void main_frame_data_pages::update_landmark_list() {
  if (main_frame && main_frame->landmarks_tab) main_frame->landmarks_tab->update_landmark_list();
}
void main_frame_data_pages::update_curve_list() {
  if (main_frame && main_frame->landmarks_tab) main_frame->landmarks_tab->update_curve_list();
}
