// The visualisation notebook's entry points, each forwarded to the notebook's
// pages.
#include <wx/notebook.h>

#include "app/main_frame.h"
#include "app/main_views.h"
#include "visual/ortho_page.h"
#include "visual/reslice_page.h"
#include "visual/thickness_display_page.h"
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

void MainFrame::enable_thickness_display_filters(bool enable) {
  if (visuals && visuals->thickness_display()) visuals->thickness_display()->enable_filters(enable);
}

// The pages' commands, each forwarded to its page.
#define NV_TO_VISUAL_PAGE(page, handler, event_type)          \
  void MainFrame::handler(event_type& event) {                 \
    if (visuals && visuals->page()) visuals->page()->handler(event); \
  }
NV_TO_VISUAL_PAGE(reslice, OnResliceThickness, wxScrollEvent)
NV_TO_VISUAL_PAGE(reslice, OnResliceOpacity, wxScrollEvent)
NV_TO_VISUAL_PAGE(reslice, OnResliceCompounding, wxCommandEvent)
NV_TO_VISUAL_PAGE(reslice, OnResliceFaster, wxCommandEvent)
NV_TO_VISUAL_PAGE(reslice, OnResliceRotateX, wxCommandEvent)
NV_TO_VISUAL_PAGE(reslice, OnResliceRotateY, wxCommandEvent)
NV_TO_VISUAL_PAGE(reslice, OnResliceRotateZ, wxCommandEvent)
NV_TO_VISUAL_PAGE(reslice, OnResliceSave, wxCommandEvent)
NV_TO_VISUAL_PAGE(reslice, OnResliceLocateFrame, wxCommandEvent)
NV_TO_VISUAL_PAGE(reslice, OnResliceLocateMinVoxels, wxCommandEvent)
NV_TO_VISUAL_PAGE(reslice, OnResliceAutoCentre, wxCommandEvent)
NV_TO_VISUAL_PAGE(reslice, OnResliceLocateLandmarks, wxCommandEvent)
NV_TO_VISUAL_PAGE(reslice, OnResliceWidth, wxScrollEvent)
NV_TO_VISUAL_PAGE(reslice, OnResliceHeight, wxScrollEvent)
NV_TO_VISUAL_PAGE(reslice, OnResliceCropSurface, wxCommandEvent)
NV_TO_VISUAL_PAGE(reslice, OnResliceShowOutside, wxCommandEvent)
NV_TO_VISUAL_PAGE(ortho, OnOrthoThickness, wxScrollEvent)
NV_TO_VISUAL_PAGE(ortho, OnOrthoOpacity, wxScrollEvent)
NV_TO_VISUAL_PAGE(ortho, OnOrthoCompounding, wxCommandEvent)
NV_TO_VISUAL_PAGE(ortho, OnOrthoFaster, wxCommandEvent)
NV_TO_VISUAL_PAGE(ortho, OnOrthoCentreFrame, wxCommandEvent)
NV_TO_VISUAL_PAGE(ortho, OnOrthoSaveLeft, wxCommandEvent)
NV_TO_VISUAL_PAGE(ortho, OnOrthoSaveRight, wxCommandEvent)
NV_TO_VISUAL_PAGE(ortho, OnOrthoCropSurface, wxCommandEvent)
NV_TO_VISUAL_PAGE(ortho, OnOrthoShowOutside, wxCommandEvent)
NV_TO_VISUAL_PAGE(thickness_display, OnVisThicknessShowData, wxCommandEvent)
NV_TO_VISUAL_PAGE(thickness_display, OnVisThicknessShowModel, wxCommandEvent)
NV_TO_VISUAL_PAGE(thickness_display, OnVisThicknessShowDeconvolved, wxCommandEvent)
NV_TO_VISUAL_PAGE(thickness_display, OnVisThicknessDisplay, wxCommandEvent)
NV_TO_VISUAL_PAGE(thickness_display, OnVisThicknessColour, wxCommandEvent)
NV_TO_VISUAL_PAGE(thickness_display, OnVisThicknessSmooth, wxScrollEvent)
NV_TO_VISUAL_PAGE(thickness_display, OnVisThicknessFill, wxScrollEvent)
NV_TO_VISUAL_PAGE(thickness_display, OnVisThicknessRejectAngle, wxScrollEvent)
NV_TO_VISUAL_PAGE(thickness_display, OnVisThicknessRejectOffset, wxScrollEvent)
NV_TO_VISUAL_PAGE(thickness_display, OnVisThicknessScaleMM, wxScrollEvent)
NV_TO_VISUAL_PAGE(thickness_display, OnVisThicknessScaleHU, wxScrollEvent)
NV_TO_VISUAL_PAGE(thickness_display, OnVisThicknessZeroHU, wxScrollEvent)
NV_TO_VISUAL_PAGE(thickness_display, OnVisThicknessScaleHUMM, wxScrollEvent)
#undef NV_TO_VISUAL_PAGE
