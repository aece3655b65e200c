// The visualisation notebook's entry points, each forwarded to the notebook's
// pages.
#include <wx/notebook.h>

#include "app/main_frame.h"
#include "app/main_views.h"
#include "visual/visual_pages.h"

void MainFrame::create_visual_pages(wxNotebook* notebook) {
  visual_views views;
  views.top = this;
  views.splitter = lower_view_splitter;
  views.blank = blank_window;
  views.centre = centre_view;
  views.corner = corner_view;
  views.review = review_view;
  views.outline = outline_view;
  visuals = std::make_unique<visual_pages>(notebook, views);
}

void MainFrame::OnVisualChanged(wxBookCtrlEvent& event) {
  if (!visuals) return;
  const wxString topic = visuals->page_changed(event.GetSelection());
  if (!topic.empty()) help_page = topic;
}

void MainFrame::OnGrabReview(wxCommandEvent&) {
  if (visuals) visuals->grab_review();
}
void MainFrame::OnGrab3D(wxCommandEvent&) {
  if (visuals) visuals->grab_3d();
}
void MainFrame::OnGrabCentre(wxCommandEvent&) {
  if (visuals) visuals->grab_centre();
}
void MainFrame::OnGrabRight(wxCommandEvent&) {
  if (visuals) visuals->grab_right();
}
