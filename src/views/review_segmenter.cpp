#include "views/review_segmenter.h"

#include <wx/app.h>
#include <wx/progdlg.h>

#include "segmentation/grassfire.h"
#include "views/globcmap.h"

review_segmenter::review_segmenter(progress_factory progress) : progress_(std::move(progress)) {}

void review_segmenter::contours_from_label(int32_t label, int32_t object, int32_t frame,
                                           int32_t segment_frames) {
  grassfire::contours_from_label(label, object, frame, segment_frames, false);
}

frame_contours_t review_segmenter::segment(const uint8_t* display, int32_t width, int32_t height,
                                           int32_t cx, int32_t cy, int32_t jump,
                                           double tolerance) {
  if (!colour_map) return frame_contours_t();
  return grassfire::segment(display, width, height, cx, cy, jump, tolerance, *colour_map,
                            grassfire::segment_settings::from_resources());
}

void review_segmenter::segment3(int32_t frame, int32_t cx, int32_t cy, int32_t jump,
                                double tolerance) {
  if (!colour_map) return;
  std::unique_ptr<grassfire::volume_progress> progress =
      progress_ ? progress_() : std::make_unique<dialog_volume_progress>();
  if (!progress) return;
  grassfire::segment3(frame, cx, cy, jump, tolerance, *colour_map, *progress);
}

struct dialog_volume_progress::impl {
  std::unique_ptr<wxProgressDialog> dialog;
  bool cancelled = false;
};

dialog_volume_progress::dialog_volume_progress() : d_(std::make_unique<impl>()) {}

dialog_volume_progress::~dialog_volume_progress() = default;

bool dialog_volume_progress::pulse(const wxString& message) {
  if (d_->cancelled) return false;
  if (!d_->dialog)
    d_->dialog = std::make_unique<wxProgressDialog>(
        "Thresholding data", message, 100, wxTheApp ? wxTheApp->GetTopWindow() : nullptr,
        wxPD_APP_MODAL | wxPD_CAN_ABORT | wxPD_ELAPSED_TIME | wxPD_ESTIMATED_TIME |
            wxPD_REMAINING_TIME);
  if (!d_->dialog->Pulse(message)) d_->cancelled = true;
  return !d_->cancelled;
}
