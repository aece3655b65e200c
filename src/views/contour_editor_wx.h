// The contour editor's questions, group dialog and masking as the program
// shows them: message and choice dialogs over the main window.
#pragma once

#include "views/contour_editor.h"

class review_canvas;

class review_contour_ui final : public contour_editor_ui {
 public:
  explicit review_contour_ui(review_canvas& view) : view_(view) {}
  bool ask(const wxString& caption, const wxString& question) override;
  int choose(const wxString& caption, const wxString& message,
             const std::vector<wxString>& choices) override;
  void refresh() override;
  void mask_data(frame_contours_t* region, const contour_t* outline) override;

 private:
  review_canvas& view_;
};
