// The settings dialogs: building them, and the command-table entries of
// their controls, each forwarded to its dialog.
#include <wx/clrpicker.h>
#include <wx/dialog.h>

#include "app/app_file_menu_ui.h"
#include "app/main_frame.h"
#include "render3d/outline_canvas.h"
#include "settings/comment_dlg.h"
#include "settings/graphics_dlg.h"
#include "settings/image_display_dlg.h"
#include "settings/location_dlg.h"
#include "settings/material_dlg.h"
#include "settings/mouse_dlg.h"

void MainFrame::create_config_dialogs(wxWindow* parent) {
  comment_dialog = new comment_dlg(parent, *this);
  display_dialog = new image_display_dlg(parent, *this);
  location_dialog = new location_dlg(parent, *this);
  graphics_dialog = new graphics_dlg(parent, *this);
  mouse_dialog = new mouse_dlg(parent, *this);
  material_dialog = new material_dlg(parent, *this);
}

const shader* MainFrame::outline_shaders() { return outline_view ? &outline_view->shader_set() : nullptr; }

#define NV_TO_DIALOG(dialog, handler, event_type) \
  void MainFrame::handler(event_type& event) {     \
    if (dialog) dialog->handler(event);            \
  }
// The image display and location dialogs are held as plain dialogs.
#define NV_TO_HELD_DIALOG(dialog, type, handler, event_type) \
  void MainFrame::handler(event_type& event) {                \
    if (dialog) static_cast<type*>(dialog)->handler(event);   \
  }
NV_TO_DIALOG(comment_dialog, OnComment, wxCommandEvent)
NV_TO_DIALOG(mouse_dialog, OnMouseMiddleOverride, wxCommandEvent)
NV_TO_DIALOG(mouse_dialog, OnMouseRightOverride, wxCommandEvent)
NV_TO_DIALOG(mouse_dialog, OnMouseSensitivity, wxScrollEvent)
NV_TO_DIALOG(mouse_dialog, OnCursorRotation, wxScrollEvent)
NV_TO_DIALOG(mouse_dialog, OnCursorMovement, wxScrollEvent)
NV_TO_DIALOG(mouse_dialog, OnScrollZoom, wxScrollEvent)
NV_TO_DIALOG(mouse_dialog, OnUseScrollbars, wxCommandEvent)
NV_TO_DIALOG(mouse_dialog, OnExpertMode, wxCommandEvent)
NV_TO_DIALOG(graphics_dialog, OnBackground, wxColourPickerEvent)
NV_TO_DIALOG(graphics_dialog, OnBackgroundConst, wxCommandEvent)
NV_TO_DIALOG(graphics_dialog, OnTranslucentLayers, wxScrollEvent)
NV_TO_DIALOG(graphics_dialog, OnLightingAmbient, wxScrollEvent)
NV_TO_DIALOG(graphics_dialog, OnLightingFrontSide, wxScrollEvent)
NV_TO_DIALOG(graphics_dialog, OnLightingLeftRight, wxScrollEvent)
NV_TO_DIALOG(graphics_dialog, OnLightingUpDown, wxScrollEvent)
NV_TO_DIALOG(graphics_dialog, OnOcclusionRange, wxScrollEvent)
NV_TO_DIALOG(graphics_dialog, OnRadiantShadows, wxCommandEvent)
NV_TO_DIALOG(graphics_dialog, OnFocusRange, wxScrollEvent)
NV_TO_DIALOG(graphics_dialog, OnFocusDepth, wxScrollEvent)
NV_TO_DIALOG(graphics_dialog, OnShader, wxCommandEvent)
NV_TO_DIALOG(graphics_dialog, OnGraphicsFont, wxCommandEvent)
NV_TO_DIALOG(graphics_dialog, OnIconSize, wxCommandEvent)
NV_TO_DIALOG(graphics_dialog, OnBrightness, wxScrollEvent)
NV_TO_DIALOG(material_dialog, OnMaterialChoice, wxCommandEvent)
NV_TO_DIALOG(material_dialog, OnMaterialColour, wxColourPickerEvent)
NV_TO_DIALOG(material_dialog, OnMaterialMetallic, wxScrollEvent)
NV_TO_DIALOG(material_dialog, OnMaterialAnisotropy, wxScrollEvent)
NV_TO_DIALOG(material_dialog, OnMaterialRoughness, wxScrollEvent)
NV_TO_HELD_DIALOG(display_dialog, image_display_dlg, OnDICOMWinCentre, wxScrollEvent)
NV_TO_HELD_DIALOG(display_dialog, image_display_dlg, OnDICOMWinWidth, wxScrollEvent)
NV_TO_HELD_DIALOG(display_dialog, image_display_dlg, OnDICOMUnits, wxCommandEvent)
NV_TO_HELD_DIALOG(display_dialog, image_display_dlg, OnDICOMHum, wxCommandEvent)
NV_TO_HELD_DIALOG(display_dialog, image_display_dlg, OnDICOMHub, wxCommandEvent)
NV_TO_HELD_DIALOG(display_dialog, image_display_dlg, OnDICOMFilter, wxScrollEvent)
NV_TO_HELD_DIALOG(display_dialog, image_display_dlg, OnDICOMFilterZ, wxScrollEvent)
NV_TO_HELD_DIALOG(location_dialog, location_dlg, OnPosManualTran, wxCommandEvent)
NV_TO_HELD_DIALOG(location_dialog, location_dlg, OnPosManualRot, wxCommandEvent)
NV_TO_HELD_DIALOG(location_dialog, location_dlg, OnPosManualSpan, wxScrollEvent)
NV_TO_HELD_DIALOG(location_dialog, location_dlg, OnPosManualAngle, wxScrollEvent)
NV_TO_HELD_DIALOG(location_dialog, location_dlg, OnPosManualRadius, wxScrollEvent)
NV_TO_HELD_DIALOG(location_dialog, location_dlg, OnImageWidth, wxScrollEvent)
NV_TO_HELD_DIALOG(location_dialog, location_dlg, OnImageHeight, wxScrollEvent)
NV_TO_HELD_DIALOG(location_dialog, location_dlg, OnPixelSize, wxCommandEvent)
NV_TO_HELD_DIALOG(location_dialog, location_dlg, OnFrameSpacing, wxCommandEvent)
NV_TO_HELD_DIALOG(location_dialog, location_dlg, OnPosManual, wxCommandEvent)
#undef NV_TO_DIALOG
#undef NV_TO_HELD_DIALOG

void MainFrame::OnDICOMCalibrate(wxCommandEvent&) { calibrate_bone_density(); }

// The save dialog is the toolkit's unless a caller installed its own.
void MainFrame::OnMaterialSave(wxCommandEvent& event) {
  file_menu_handler_scope scope;
  if (material_dialog) material_dialog->OnMaterialSave(event);
}
