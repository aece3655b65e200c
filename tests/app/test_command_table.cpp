// The main window's command table: every (event type, identifier) the
// window's routing is meant to have reaches its one handler, and the table
// has the size and make-up the program is built around. The expected routes
// are listed here by hand, block by block; the dispatch itself is the
// toolkit's, with the handler calls noted instead of made.
#include <map>
#include <memory>
#include <vector>

#include <gtest/gtest.h>
#include <wx/clrpicker.h>
#include <wx/grid.h>
#include <wx/notebook.h>
#include <wx/splitter.h>
#include <wx/textctrl.h>
#include <wx/tglbtn.h>

#include "app/main_frame.h"
#include "shell_support.h"

namespace {

enum event_kind {
  k_menu, k_button, k_checkbox, k_choice, k_listbox, k_slider, k_radiobox, k_text, k_text_enter,
  k_toggle, k_colour, k_grid, k_page, k_sash, k_scroll, k_key, k_menu_open, k_close
};

struct route_t {
  event_kind kind;
  int first, last;  // -1: any identifier
  wxEventFunction handler;
  const char* name;
};

#define ROUTE(cast, name) cast(MainFrame::name), #name

// clang-format off
const std::vector<route_t>& expected_routes() {
  static const std::vector<route_t> routes = {
      {k_sash, 6042, 6042, ROUTE(wxSplitterEventHandler, OnSashChangingTop)},
      {k_sash, 6043, 6043, ROUTE(wxSplitterEventHandler, OnSashChangingMiddle)},
      {k_sash, 6044, 6044, ROUTE(wxSplitterEventHandler, OnSashChangingBottom)},
      {k_key, -1, -1, ROUTE(wxKeyEventHandler, OnKeyDown)},
      {k_menu_open, -1, -1, ROUTE(wxMenuEventHandler, OnMenuOpen)},
      {k_menu, 6001, 6001, ROUTE(wxCommandEventHandler, OnFileOpen)},
      {k_menu, 6002, 6002, ROUTE(wxCommandEventHandler, OnFileOpenDirectory)},
      {k_menu, 6003, 6003, ROUTE(wxCommandEventHandler, OnFileSave)},
      {k_menu, 6004, 6004, ROUTE(wxCommandEventHandler, OnFileSaveas)},
      {k_menu, 6000, 6000, ROUTE(wxCommandEventHandler, OnFileClose)},
      {k_menu, 6006, 6006, ROUTE(wxCommandEventHandler, OnSettingsOpen)},
      {k_menu, 6007, 6007, ROUTE(wxCommandEventHandler, OnSettingsSaveas)},
      {k_menu, 6008, 6008, ROUTE(wxCommandEventHandler, OnSettingsReset)},
      {k_menu, 6005, 6005, ROUTE(wxCommandEventHandler, OnFileEditComment)},
      {k_menu, 6009, 6009, ROUTE(wxCommandEventHandler, OnFileExportFrames)},
      {k_menu, 6014, 6014, ROUTE(wxCommandEventHandler, OnFileExportVoxels)},
      {k_menu, 6015, 6015, ROUTE(wxCommandEventHandler, OnFileExportImage)},
      {k_menu, 6010, 6010, ROUTE(wxCommandEventHandler, OnGrabReview)},
      {k_menu, 6011, 6011, ROUTE(wxCommandEventHandler, OnGrab3D)},
      {k_menu, 6012, 6012, ROUTE(wxCommandEventHandler, OnGrabCentre)},
      {k_menu, 6013, 6013, ROUTE(wxCommandEventHandler, OnGrabRight)},
      {k_menu, 6016, 6016, ROUTE(wxCommandEventHandler, OnFileQuit)},
      {k_menu, 6017, 6017, ROUTE(wxCommandEventHandler, OnTaskDraw)},
      {k_menu, 6018, 6018, ROUTE(wxCommandEventHandler, OnTaskLandmarks)},
      {k_menu, 6022, 6022, ROUTE(wxCommandEventHandler, OnTaskPressure)},
      {k_menu, 6023, 6023, ROUTE(wxCommandEventHandler, OnVisualPressure)},
      {k_menu, 6024, 6024, ROUTE(wxCommandEventHandler, OnTaskThickness)},
      {k_menu, 6025, 6025, ROUTE(wxCommandEventHandler, OnTaskFitModel)},
      {k_menu, 6026, 6026, ROUTE(wxCommandEventHandler, OnTaskScript)},
      {k_menu, 6027, 6027, ROUTE(wxCommandEventHandler, OnVisualThickness)},
      {k_menu, 6028, 6028, ROUTE(wxCommandEventHandler, OnVisualVolume)},
      {k_menu, 6029, 6029, ROUTE(wxCommandEventHandler, OnVisualPanorama)},
      {k_menu, 6019, 6019, ROUTE(wxCommandEventHandler, OnVisualNone)},
      {k_menu, 6020, 6020, ROUTE(wxCommandEventHandler, OnVisualOrtho)},
      {k_menu, 6021, 6021, ROUTE(wxCommandEventHandler, OnVisualReslice)},
      {k_menu, 6030, 6030, ROUTE(wxCommandEventHandler, OnTaskSpine)},
      {k_menu, 6031, 6031, ROUTE(wxCommandEventHandler, OnVisualSpine)},
      {k_menu, 6032, 6032, ROUTE(wxCommandEventHandler, OnGuiWindows2D)},
      {k_menu, 6033, 6033, ROUTE(wxCommandEventHandler, OnGuiWindows3D)},
      {k_menu, 6034, 6034, ROUTE(wxCommandEventHandler, OnGuiSet3DSize)},
      {k_menu, 6035, 6035, ROUTE(wxCommandEventHandler, OnGuiControlsLeft)},
      {k_menu, 6036, 6036, ROUTE(wxCommandEventHandler, OnGuiControlsRight)},
      {k_menu, 6037, 6037, ROUTE(wxCommandEventHandler, OnGuiControlsBoth)},
      {k_menu, 6038, 6038, ROUTE(wxCommandEventHandler, OnConfigMouse)},
      {k_menu, 6039, 6039, ROUTE(wxCommandEventHandler, OnConfigGraphics)},
      {k_menu, 6040, 6040, ROUTE(wxCommandEventHandler, OnConfigLocation)},
      {k_menu, 6041, 6041, ROUTE(wxCommandEventHandler, OnConfigDisplay)},
      {k_menu, 6048, 6048, ROUTE(wxCommandEventHandler, OnHelpIndex)},
      {k_menu, 6049, 6049, ROUTE(wxCommandEventHandler, OnHelpUpdate)},
      {k_menu, 6050, 6050, ROUTE(wxCommandEventHandler, OnHelpOnline)},
      {k_menu, 6051, 6051, ROUTE(wxCommandEventHandler, OnHelpAbout)},
      {k_page, 6052, 6052, ROUTE(wxBookCtrlEventHandler, OnTaskChanged)},
      {k_page, 6053, 6053, ROUTE(wxBookCtrlEventHandler, OnVisualChanged)},
      {k_menu, 7412, 7420, ROUTE(wxCommandEventHandler, OnToolSelect)},
      {k_menu, 7421, 7421, ROUTE(wxCommandEventHandler, OnLockZoom)},
      {k_menu, 7422, 7422, ROUTE(wxCommandEventHandler, OnSeeOutlines)},
      {k_menu, 7423, 7423, ROUTE(wxCommandEventHandler, OnSeeMarkLocked)},
      {k_menu, 7424, 7424, ROUTE(wxCommandEventHandler, OnSeeDrawLocked)},
      {k_scroll, 6057, 6057, ROUTE(wxScrollEventHandler, OnFrameSlider)},
      {k_text, 6058, 6058, ROUTE(wxCommandEventHandler, OnComment)},
      {k_button, 6059, 6059, ROUTE(wxCommandEventHandler, OnScriptLoad)},
      {k_button, 6061, 6061, ROUTE(wxCommandEventHandler, OnScriptSave)},
      {k_button, 6060, 6060, ROUTE(wxCommandEventHandler, OnScriptEditorRun)},
      {k_button, 6064, 6064, ROUTE(wxCommandEventHandler, OnScriptSaveAs)},
      {k_button, 6063, 6063, ROUTE(wxCommandEventHandler, OnScriptClearOutput)},
      {k_menu, 6170, 6170, ROUTE(wxCommandEventHandler, OnRewind)},
      {k_menu, 6171, 6171, ROUTE(wxCommandEventHandler, OnPlay)},
      {k_menu, 6065, 6065, ROUTE(wxCommandEventHandler, OnInvertImage)},
      {k_scroll, 6068, 6068, ROUTE(wxScrollEventHandler, OnResliceThickness)},
      {k_scroll, 6069, 6069, ROUTE(wxScrollEventHandler, OnResliceOpacity)},
      {k_radiobox, 6070, 6070, ROUTE(wxCommandEventHandler, OnResliceCompounding)},
      {k_checkbox, 6071, 6071, ROUTE(wxCommandEventHandler, OnResliceFaster)},
      {k_button, 6072, 6072, ROUTE(wxCommandEventHandler, OnResliceRotateX)},
      {k_button, 6073, 6073, ROUTE(wxCommandEventHandler, OnResliceRotateY)},
      {k_button, 6074, 6074, ROUTE(wxCommandEventHandler, OnResliceRotateZ)},
      {k_button, 6075, 6075, ROUTE(wxCommandEventHandler, OnResliceSave)},
      {k_button, 6076, 6076, ROUTE(wxCommandEventHandler, OnResliceLocateFrame)},
      {k_button, 6077, 6077, ROUTE(wxCommandEventHandler, OnResliceLocateMinVoxels)},
      {k_button, 6078, 6078, ROUTE(wxCommandEventHandler, OnResliceAutoCentre)},
      {k_button, 6079, 6079, ROUTE(wxCommandEventHandler, OnResliceLocateLandmarks)},
      {k_scroll, 6066, 6066, ROUTE(wxScrollEventHandler, OnResliceWidth)},
      {k_scroll, 6067, 6067, ROUTE(wxScrollEventHandler, OnResliceHeight)},
      {k_choice, 6080, 6080, ROUTE(wxCommandEventHandler, OnResliceCropSurface)},
      {k_checkbox, 6081, 6081, ROUTE(wxCommandEventHandler, OnResliceShowOutside)},
      {k_scroll, 6082, 6082, ROUTE(wxScrollEventHandler, OnOrthoThickness)},
      {k_scroll, 6083, 6083, ROUTE(wxScrollEventHandler, OnOrthoOpacity)},
      {k_radiobox, 6084, 6084, ROUTE(wxCommandEventHandler, OnOrthoCompounding)},
      {k_checkbox, 6085, 6085, ROUTE(wxCommandEventHandler, OnOrthoFaster)},
      {k_button, 6086, 6086, ROUTE(wxCommandEventHandler, OnOrthoCentreFrame)},
      {k_button, 6087, 6087, ROUTE(wxCommandEventHandler, OnOrthoSaveLeft)},
      {k_button, 6088, 6088, ROUTE(wxCommandEventHandler, OnOrthoSaveRight)},
      {k_choice, 6089, 6089, ROUTE(wxCommandEventHandler, OnOrthoCropSurface)},
      {k_checkbox, 6090, 6090, ROUTE(wxCommandEventHandler, OnOrthoShowOutside)},
      {k_choice, 6091, 6091, ROUTE(wxCommandEventHandler, OnVolumeQuality)},
      {k_scroll, 6092, 6092, ROUTE(wxScrollEventHandler, OnVolumeTranslucency)},
      {k_scroll, 6093, 6093, ROUTE(wxScrollEventHandler, OnVolumeWetness)},
      {k_scroll, 6094, 6094, ROUTE(wxScrollEventHandler, OnVolumeClarity)},
      {k_scroll, 6095, 6095, ROUTE(wxScrollEventHandler, OnBrightness)},
      {k_scroll, 6096, 6096, ROUTE(wxScrollEventHandler, OnVolumeGradient)},
      {k_button, 6097, 6097, ROUTE(wxCommandEventHandler, OnConfigDisplay)},
      {k_button, 6098, 6098, ROUTE(wxCommandEventHandler, OnConfigGraphics)},
      {k_choice, 6099, 6099, ROUTE(wxCommandEventHandler, OnVolumeCropLandmark)},
      {k_scroll, 6100, 6100, ROUTE(wxScrollEventHandler, OnVolumeCropRadius)},
      {k_checkbox, 6101, 6101, ROUTE(wxCommandEventHandler, OnVolumeCropOutsideRadius)},
      {k_choice, 6102, 6102, ROUTE(wxCommandEventHandler, OnVolumeCropSurface)},
      {k_checkbox, 6103, 6103, ROUTE(wxCommandEventHandler, OnVolumeCropOutsideSurface)},
      {k_checkbox, 6104, 6104, ROUTE(wxCommandEventHandler, OnVolumeAntialiasCrop)},
      {k_checkbox, 6105, 6105, ROUTE(wxCommandEventHandler, OnVolumeUseAlpha)},
      {k_checkbox, 6106, 6106, ROUTE(wxCommandEventHandler, OnVolumeCropReslice)},
      {k_scroll, 6107, 6107, ROUTE(wxScrollEventHandler, OnVolumeCropXLow)},
      {k_scroll, 6108, 6108, ROUTE(wxScrollEventHandler, OnVolumeCropXHigh)},
      {k_scroll, 6109, 6109, ROUTE(wxScrollEventHandler, OnVolumeCropYLow)},
      {k_scroll, 6110, 6110, ROUTE(wxScrollEventHandler, OnVolumeCropYHigh)},
      {k_scroll, 6111, 6111, ROUTE(wxScrollEventHandler, OnVolumeCropZLow)},
      {k_scroll, 6112, 6112, ROUTE(wxScrollEventHandler, OnVolumeCropZHigh)},
      {k_choice, 6113, 6113, ROUTE(wxCommandEventHandler, OnVolumeColourMapping)},
      {k_button, 6114, 6114, ROUTE(wxCommandEventHandler, OnVolumeSave)},
      {k_checkbox, 6115, 6124, ROUTE(wxCommandEventHandler, OnVolumeRowEnable)},
      {k_button, 6125, 6134, ROUTE(wxCommandEventHandler, OnVolumeRowMaterial)},
      {k_slider, 6135, 6144, ROUTE(wxCommandEventHandler, OnVolumeRowOpacity)},
      {k_slider, 6145, 6154, ROUTE(wxCommandEventHandler, OnVolumeRowData)},
      {k_checkbox, 6155, 6155, ROUTE(wxCommandEventHandler, OnVolumeShowColours)},
      {k_button, 6156, 6156, ROUTE(wxCommandEventHandler, OnVolumeFlipOpacity)},
      {k_button, 6157, 6157, ROUTE(wxCommandEventHandler, OnVolumeFlipData)},
      {k_button, 6158, 6158, ROUTE(wxCommandEventHandler, OnVolumeSortOpacity)},
      {k_button, 6159, 6159, ROUTE(wxCommandEventHandler, OnVolumeSortData)},
      {k_scroll, 7450, 7450, ROUTE(wxScrollEventHandler, OnDICOMWinCentre)},
      {k_scroll, 7451, 7451, ROUTE(wxScrollEventHandler, OnDICOMWinWidth)},
      {k_text_enter, 7452, 7452, ROUTE(wxCommandEventHandler, OnDICOMUnits)},
      {k_text_enter, 7453, 7453, ROUTE(wxCommandEventHandler, OnDICOMHum)},
      {k_text_enter, 7454, 7454, ROUTE(wxCommandEventHandler, OnDICOMHub)},
      {k_scroll, 7455, 7455, ROUTE(wxScrollEventHandler, OnDICOMFilter)},
      {k_scroll, 7456, 7456, ROUTE(wxScrollEventHandler, OnDICOMFilterZ)},
      {k_button, 7457, 7457, ROUTE(wxCommandEventHandler, OnDICOMCalibrate)},
      {k_choice, 6160, 6160, ROUTE(wxCommandEventHandler, OnPosManualTran)},
      {k_choice, 6162, 6162, ROUTE(wxCommandEventHandler, OnPosManualRot)},
      {k_scroll, 6161, 6161, ROUTE(wxScrollEventHandler, OnPosManualSpan)},
      {k_scroll, 6163, 6163, ROUTE(wxScrollEventHandler, OnPosManualAngle)},
      {k_scroll, 6164, 6164, ROUTE(wxScrollEventHandler, OnPosManualRadius)},
      {k_scroll, 6165, 6165, ROUTE(wxScrollEventHandler, OnImageWidth)},
      {k_scroll, 6166, 6166, ROUTE(wxScrollEventHandler, OnImageHeight)},
      {k_text_enter, 6167, 6167, ROUTE(wxCommandEventHandler, OnPixelSize)},
      {k_text_enter, 6168, 6168, ROUTE(wxCommandEventHandler, OnFrameSpacing)},
      {k_button, 6169, 6169, ROUTE(wxCommandEventHandler, OnPosManual)},
      {k_button, 6177, 6177, ROUTE(wxCommandEventHandler, OnFindObject)},
      {k_choice, 6173, 6173, ROUTE(wxCommandEventHandler, OnCurrentObject)},
      {k_scroll, 6174, 6174, ROUTE(wxScrollEventHandler, OnFindContours)},
      {k_button, 6178, 6377, ROUTE(wxCommandEventHandler, OnObjectColour)},
      {k_text_enter, 6378, 6577, ROUTE(wxCommandEventHandler, OnObjectName)},
      {k_slider, 6778, 6977, ROUTE(wxCommandEventHandler, OnObjectOpacity)},
      {k_checkbox, 6978, 7177, ROUTE(wxCommandEventHandler, OnObjectVisible)},
      {k_button, 7178, 7178, ROUTE(wxCommandEventHandler, OnUpdateAllSurface)},
      {k_button, 7180, 7180, ROUTE(wxCommandEventHandler, OnSaveAllSurface)},
      {k_button, 7181, 7181, ROUTE(wxCommandEventHandler, OnDeleteAllObjects)},
      {k_button, 7182, 7182, ROUTE(wxCommandEventHandler, OnRevertAllSurface)},
      {k_button, 7183, 7183, ROUTE(wxCommandEventHandler, OnResetAllProperties)},
      {k_button, 7184, 7184, ROUTE(wxCommandEventHandler, OnPackObjects)},
      {k_button, 7185, 7185, ROUTE(wxCommandEventHandler, OnCreateContours)},
      {k_button, 7186, 7186, ROUTE(wxCommandEventHandler, OnImportContours)},
      {k_button, 7187, 7187, ROUTE(wxCommandEventHandler, OnDeleteObjects)},
      {k_button, 7188, 7188, ROUTE(wxCommandEventHandler, OnRevertCurrentSurface)},
      {k_button, 7189, 7189, ROUTE(wxCommandEventHandler, OnResetCurrentProperties)},
      {k_button, 7179, 7179, ROUTE(wxCommandEventHandler, OnUpdateCurrentSurface)},
      {k_button, 7190, 7190, ROUTE(wxCommandEventHandler, OnSaveCurrentSurface)},
      {k_button, 7191, 7191, ROUTE(wxCommandEventHandler, OnImportSurface)},
      {k_choice, 7192, 7192, ROUTE(wxCommandEventHandler, OnSurfaceResolution)},
      {k_choice, 7193, 7193, ROUTE(wxCommandEventHandler, OnSurfaceSmoothing)},
      {k_checkbox, 7194, 7194, ROUTE(wxCommandEventHandler, OnSurfaceConnectObjects)},
      {k_checkbox, 7195, 7195, ROUTE(wxCommandEventHandler, OnSurfaceConnectHoles)},
      {k_checkbox, 7196, 7196, ROUTE(wxCommandEventHandler, OnSurfaceCover)},
      {k_choice, 7197, 7197, ROUTE(wxCommandEventHandler, OnSurfaceCompoundType)},
      {k_scroll, 7198, 7198, ROUTE(wxScrollEventHandler, OnSurfaceCompoundThick)},
      {k_checkbox, 7199, 7199, ROUTE(wxCommandEventHandler, OnCmapBinary)},
      {k_checkbox, 7200, 7200, ROUTE(wxCommandEventHandler, OnCmapLabels)},
      {k_choice, 7201, 7201, ROUTE(wxCommandEventHandler, OnSegmentType)},
      {k_scroll, 7202, 7202, ROUTE(wxScrollEventHandler, OnSegmentFrame)},
      {k_scroll, 7203, 7203, ROUTE(wxScrollEventHandler, OnSegmentRange)},
      {k_scroll, 7204, 7204, ROUTE(wxScrollEventHandler, OnSegmentObjects)},
      {k_checkbox, 7205, 7205, ROUTE(wxCommandEventHandler, OnSegmentConnected)},
      {k_checkbox, 7206, 7206, ROUTE(wxCommandEventHandler, OnSegmentRidges)},
      {k_checkbox, 7207, 7207, ROUTE(wxCommandEventHandler, OnSegmentValleys)},
      {k_checkbox, 7208, 7208, ROUTE(wxCommandEventHandler, OnApplyToAllObjects)},
      {k_scroll, 7209, 7209, ROUTE(wxScrollEventHandler, OnJumpThresh)},
      {k_scroll, 7210, 7210, ROUTE(wxScrollEventHandler, OnConcavityStrength)},
      {k_scroll, 7211, 7211, ROUTE(wxScrollEventHandler, OnSimplifyThresh)},
      {k_scroll, 7212, 7212, ROUTE(wxScrollEventHandler, OnCmapGreyLo)},
      {k_scroll, 7213, 7213, ROUTE(wxScrollEventHandler, OnCmapGreyHi)},
      {k_scroll, 7214, 7214, ROUTE(wxScrollEventHandler, OnCmapGreyAnti)},
      {k_scroll, 7215, 7215, ROUTE(wxScrollEventHandler, OnCmapRedLo)},
      {k_scroll, 7216, 7216, ROUTE(wxScrollEventHandler, OnCmapRedHi)},
      {k_scroll, 7217, 7217, ROUTE(wxScrollEventHandler, OnCmapBlueLo)},
      {k_scroll, 7218, 7218, ROUTE(wxScrollEventHandler, OnCmapBlueHi)},
      {k_listbox, 7429, 7429, ROUTE(wxCommandEventHandler, OnLandmarksSelect)},
      {k_text_enter, 7430, 7430, ROUTE(wxCommandEventHandler, OnLandmarksName)},
      {k_text_enter, 7431, 7431, ROUTE(wxCommandEventHandler, OnLandmarksName)},
      {k_text_enter, 7432, 7432, ROUTE(wxCommandEventHandler, OnLandmarksName)},
      {k_button, 7433, 7433, ROUTE(wxCommandEventHandler, OnLandmarksDelete)},
      {k_button, 7434, 7434, ROUTE(wxCommandEventHandler, OnLandmarksDelete)},
      {k_button, 7435, 7435, ROUTE(wxCommandEventHandler, OnLandmarksDelete)},
      {k_button, 7436, 7436, ROUTE(wxCommandEventHandler, OnLandmarksFind)},
      {k_button, 7437, 7437, ROUTE(wxCommandEventHandler, OnLandmarksFind)},
      {k_button, 7438, 7438, ROUTE(wxCommandEventHandler, OnLandmarksFind)},
      {k_button, 7439, 7439, ROUTE(wxCommandEventHandler, OnLandmarksExport)},
      {k_button, 7440, 7440, ROUTE(wxCommandEventHandler, OnLandmarksDeleteAll)},
      {k_checkbox, 7441, 7441, ROUTE(wxCommandEventHandler, OnLandmarksSnap)},
      {k_listbox, 7442, 7442, ROUTE(wxCommandEventHandler, OnCurveSelect)},
      {k_text_enter, 7443, 7443, ROUTE(wxCommandEventHandler, OnCurveName)},
      {k_button, 7444, 7444, ROUTE(wxCommandEventHandler, OnCurveDelete)},
      {k_button, 7445, 7445, ROUTE(wxCommandEventHandler, OnCurveFind)},
      {k_button, 7446, 7446, ROUTE(wxCommandEventHandler, OnCurveSplit)},
      {k_checkbox, 7447, 7447, ROUTE(wxCommandEventHandler, OnCurveClosed)},
      {k_choice, 7448, 7448, ROUTE(wxCommandEventHandler, OnCurveObject)},
      {k_button, 7220, 7220, ROUTE(wxCommandEventHandler, OnPanoramaToggleAlignment)},
      {k_button, 7219, 7219, ROUTE(wxCommandEventHandler, OnPanoramaSave)},
      {k_button, 7221, 7221, ROUTE(wxCommandEventHandler, OnVisPressureSaveImage)},
      {k_toggle, 7222, 7222, ROUTE(wxCommandEventHandler, OnVisPressureApply)},
      {k_button, 7408, 7408, ROUTE(wxCommandEventHandler, OnCorrectPositions)},
      {k_button, 7409, 7409, ROUTE(wxCommandEventHandler, OnCorrectPressure)},
      {k_button, 7410, 7410, ROUTE(wxCommandEventHandler, OnAcceptCorrection)},
      {k_button, 7411, 7411, ROUTE(wxCommandEventHandler, OnRejectCorrection)},
      {k_checkbox, 7223, 7223, ROUTE(wxCommandEventHandler, OnVisThicknessShowData)},
      {k_checkbox, 7224, 7224, ROUTE(wxCommandEventHandler, OnVisThicknessShowModel)},
      {k_checkbox, 7225, 7225, ROUTE(wxCommandEventHandler, OnVisThicknessShowDeconvolved)},
      {k_scroll, 7226, 7226, ROUTE(wxScrollEventHandler, OnThickLineLength)},
      {k_scroll, 7227, 7227, ROUTE(wxScrollEventHandler, OnThickLineWidth)},
      {k_checkbox, 7233, 7233, ROUTE(wxCommandEventHandler, OnThickPostBlur)},
      {k_checkbox, 7234, 7234, ROUTE(wxCommandEventHandler, OnThickMetal)},
      {k_checkbox, 7229, 7229, ROUTE(wxCommandEventHandler, OnThickThreshold)},
      {k_checkbox, 7230, 7230, ROUTE(wxCommandEventHandler, OnThickEndoModel)},
      {k_checkbox, 7231, 7231, ROUTE(wxCommandEventHandler, OnThickSameLevels)},
      {k_checkbox, 7232, 7232, ROUTE(wxCommandEventHandler, OnThickLocalDensity)},
      {k_checkbox, 7235, 7235, ROUTE(wxCommandEventHandler, OnThickFWHM)},
      {k_checkbox, 7236, 7236, ROUTE(wxCommandEventHandler, OnThickReverse)},
      {k_checkbox, 7237, 7237, ROUTE(wxCommandEventHandler, OnThickIncInner)},
      {k_checkbox, 7238, 7238, ROUTE(wxCommandEventHandler, OnThickIncOuter)},
      {k_choice, 7239, 7239, ROUTE(wxCommandEventHandler, OnThickMapDirection)},
      {k_choice, 7240, 7240, ROUTE(wxCommandEventHandler, OnThickCreateInner)},
      {k_choice, 7241, 7241, ROUTE(wxCommandEventHandler, OnThickCreateOuter)},
      {k_checkbox, 7242, 7242, ROUTE(wxCommandEventHandler, OnThickCreateCaps)},
      {k_text_enter, 7243, 7243, ROUTE(wxCommandEventHandler, OnThickOuterDensity)},
      {k_text_enter, 7244, 7244, ROUTE(wxCommandEventHandler, OnThickCorticalDensity)},
      {k_text_enter, 7245, 7245, ROUTE(wxCommandEventHandler, OnThickInnerDensity)},
      {k_text_enter, 7246, 7246, ROUTE(wxCommandEventHandler, OnThickInPlaneFWHM)},
      {k_text_enter, 7247, 7247, ROUTE(wxCommandEventHandler, OnThickOutPlaneFWHM)},
      {k_choice, 7228, 7228, ROUTE(wxCommandEventHandler, OnThickTechnique)},
      {k_choice, 7248, 7248, ROUTE(wxCommandEventHandler, OnThicknessSurfChoice)},
      {k_choice, 7257, 7257, ROUTE(wxCommandEventHandler, OnVisThicknessDisplay)},
      {k_choice, 7258, 7258, ROUTE(wxCommandEventHandler, OnVisThicknessColour)},
      {k_scroll, 7249, 7249, ROUTE(wxScrollEventHandler, OnVisThicknessSmooth)},
      {k_scroll, 7250, 7250, ROUTE(wxScrollEventHandler, OnVisThicknessFill)},
      {k_scroll, 7251, 7251, ROUTE(wxScrollEventHandler, OnVisThicknessRejectAngle)},
      {k_scroll, 7252, 7252, ROUTE(wxScrollEventHandler, OnVisThicknessRejectOffset)},
      {k_scroll, 7253, 7253, ROUTE(wxScrollEventHandler, OnVisThicknessScaleMM)},
      {k_scroll, 7254, 7254, ROUTE(wxScrollEventHandler, OnVisThicknessScaleHU)},
      {k_scroll, 7255, 7255, ROUTE(wxScrollEventHandler, OnVisThicknessZeroHU)},
      {k_scroll, 7256, 7256, ROUTE(wxScrollEventHandler, OnVisThicknessScaleHUMM)},
      {k_button, 7259, 7259, ROUTE(wxCommandEventHandler, OnThicknessSurfMap)},
      {k_button, 7260, 7260, ROUTE(wxCommandEventHandler, OnThicknessSurfCompare)},
      {k_button, 7261, 7261, ROUTE(wxCommandEventHandler, OnThicknessEstimateDensity)},
      {k_button, 7263, 7263, ROUTE(wxCommandEventHandler, OnThicknessSurfLoad)},
      {k_button, 7265, 7265, ROUTE(wxCommandEventHandler, OnThicknessSurfCreate)},
      {k_button, 7262, 7262, ROUTE(wxCommandEventHandler, OnThicknessConvertFWHM)},
      {k_button, 7264, 7264, ROUTE(wxCommandEventHandler, OnThicknessSurfSave)},
      {k_button, 7276, 7276, ROUTE(wxCommandEventHandler, OnSSMInterpolateSubstructure)},
      {k_button, 7266, 7266, ROUTE(wxCommandEventHandler, OnSSMLoadModel)},
      {k_button, 7267, 7267, ROUTE(wxCommandEventHandler, OnSSMFitLandmarks)},
      {k_button, 7268, 7268, ROUTE(wxCommandEventHandler, OnSSMDoICP)},
      {k_scroll, 7270, 7270, ROUTE(wxScrollEventHandler, OnSSMSearchRange)},
      {k_scroll, 7271, 7271, ROUTE(wxScrollEventHandler, OnSSMDisplayCompounding)},
      {k_button, 7274, 7274, ROUTE(wxCommandEventHandler, OnSSMMapPoints)},
      {k_button, 7275, 7275, ROUTE(wxCommandEventHandler, OnSSMMapContours)},
      {k_button, 7277, 7277, ROUTE(wxCommandEventHandler, OnSSMMapSurface)},
      {k_radiobox, 7280, 7280, ROUTE(wxCommandEventHandler, OnSSMRegistrationType)},
      {k_button, 7281, 7281, ROUTE(wxCommandEventHandler, OnSpineReference)},
      {k_toggle, 7282, 7350, ROUTE(wxCommandEventHandler, OnSpineLandmark)},
      {k_button, 7351, 7373, ROUTE(wxCommandEventHandler, OnSpineDelete)},
      {k_button, 7374, 7374, ROUTE(wxCommandEventHandler, OnVisSpineSaveImage)},
      {k_button, 7375, 7375, ROUTE(wxCommandEventHandler, OnVisSpineExport)},
      {k_button, 7376, 7376, ROUTE(wxCommandEventHandler, OnVisSpineFlip)},
      {k_button, 7377, 7377, ROUTE(wxCommandEventHandler, OnVisSpineCoronal)},
      {k_checkbox, 7379, 7379, ROUTE(wxCommandEventHandler, OnVisSpineNames)},
      {k_grid, 7378, 7378, ROUTE(wxGridRangeSelectEventHandler, OnVisSpineGridSelect)},
      {k_choice, 7380, 7380, ROUTE(wxCommandEventHandler, OnMouseMiddleOverride)},
      {k_choice, 7381, 7381, ROUTE(wxCommandEventHandler, OnMouseRightOverride)},
      {k_scroll, 7404, 7404, ROUTE(wxScrollEventHandler, OnMouseSensitivity)},
      {k_scroll, 7405, 7405, ROUTE(wxScrollEventHandler, OnCursorRotation)},
      {k_scroll, 7406, 7406, ROUTE(wxScrollEventHandler, OnCursorMovement)},
      {k_scroll, 7407, 7407, ROUTE(wxScrollEventHandler, OnScrollZoom)},
      {k_checkbox, 7403, 7403, ROUTE(wxCommandEventHandler, OnUseScrollbars)},
      {k_checkbox, 7402, 7402, ROUTE(wxCommandEventHandler, OnExpertMode)},
      {k_colour, 7400, 7400, ROUTE(wxColourPickerEventHandler, OnBackground)},
      {k_checkbox, 7401, 7401, ROUTE(wxCommandEventHandler, OnBackgroundConst)},
      {k_scroll, 7383, 7383, ROUTE(wxScrollEventHandler, OnTranslucentLayers)},
      {k_scroll, 7384, 7384, ROUTE(wxScrollEventHandler, OnLightingAmbient)},
      {k_scroll, 7385, 7385, ROUTE(wxScrollEventHandler, OnLightingFrontSide)},
      {k_scroll, 7386, 7386, ROUTE(wxScrollEventHandler, OnLightingLeftRight)},
      {k_scroll, 7387, 7387, ROUTE(wxScrollEventHandler, OnLightingUpDown)},
      {k_scroll, 7388, 7388, ROUTE(wxScrollEventHandler, OnOcclusionRange)},
      {k_checkbox, 7389, 7389, ROUTE(wxCommandEventHandler, OnRadiantShadows)},
      {k_scroll, 7390, 7390, ROUTE(wxScrollEventHandler, OnFocusRange)},
      {k_scroll, 7391, 7391, ROUTE(wxScrollEventHandler, OnFocusDepth)},
      {k_choice, 7382, 7382, ROUTE(wxCommandEventHandler, OnShader)},
      {k_choice, 7398, 7398, ROUTE(wxCommandEventHandler, OnGraphicsFont)},
      {k_choice, 7399, 7399, ROUTE(wxCommandEventHandler, OnIconSize)},
      {k_choice, 7392, 7392, ROUTE(wxCommandEventHandler, OnMaterialChoice)},
      {k_button, 7393, 7393, ROUTE(wxCommandEventHandler, OnMaterialSave)},
      {k_colour, 7394, 7394, ROUTE(wxColourPickerEventHandler, OnMaterialColour)},
      {k_scroll, 7395, 7395, ROUTE(wxScrollEventHandler, OnMaterialMetallic)},
      {k_scroll, 7396, 7396, ROUTE(wxScrollEventHandler, OnMaterialAnisotropy)},
      {k_scroll, 7397, 7397, ROUTE(wxScrollEventHandler, OnMaterialRoughness)},
      {k_close, -1, -1, ROUTE(wxCloseEventHandler, OnClose)},
  };
  return routes;
}
// clang-format on

const std::vector<wxEventType>& scroll_types() {
  static const std::vector<wxEventType> types = {
      wxEVT_SCROLL_TOP,      wxEVT_SCROLL_BOTTOM,     wxEVT_SCROLL_LINEUP,
      wxEVT_SCROLL_LINEDOWN, wxEVT_SCROLL_PAGEUP,     wxEVT_SCROLL_PAGEDOWN,
      wxEVT_SCROLL_THUMBTRACK, wxEVT_SCROLL_THUMBRELEASE, wxEVT_SCROLL_CHANGED};
  return types;
}

std::vector<wxEventType> types_of(event_kind kind) {
  switch (kind) {
    case k_menu: return {wxEVT_MENU};
    case k_button: return {wxEVT_BUTTON};
    case k_checkbox: return {wxEVT_CHECKBOX};
    case k_choice: return {wxEVT_CHOICE};
    case k_listbox: return {wxEVT_LISTBOX};
    case k_slider: return {wxEVT_SLIDER};
    case k_radiobox: return {wxEVT_RADIOBOX};
    case k_text: return {wxEVT_TEXT};
    case k_text_enter: return {wxEVT_TEXT_ENTER};
    case k_toggle: return {wxEVT_TOGGLEBUTTON};
    case k_colour: return {wxEVT_COLOURPICKER_CHANGED};
    case k_grid: return {wxEVT_GRID_RANGE_SELECTED};
    case k_page: return {wxEVT_NOTEBOOK_PAGE_CHANGED};
    case k_sash: return {wxEVT_SPLITTER_SASH_POS_CHANGING};
    case k_scroll: return scroll_types();
    case k_key: return {wxEVT_KEY_DOWN};
    case k_menu_open: return {wxEVT_MENU_OPEN};
    case k_close: return {wxEVT_CLOSE_WINDOW};
  }
  return {};
}

// An event of the class the toolkit sends with this type.
std::unique_ptr<wxEvent> make_event(event_kind kind, wxEventType type, int id) {
  std::unique_ptr<wxEvent> e;
  switch (kind) {
    case k_colour: e.reset(new wxColourPickerEvent(nullptr, id, *wxRED)); break;
    case k_grid: e.reset(new wxGridRangeSelectEvent(id, type, nullptr, wxGridCellCoords(0, 0),
                                                    wxGridCellCoords(1, 1))); break;
    case k_page: e.reset(new wxBookCtrlEvent(type, id)); break;
    case k_sash: e.reset(new wxSplitterEvent(type, nullptr)); break;
    case k_scroll: e.reset(new wxScrollEvent(type, id, 3)); break;
    case k_key: e.reset(new wxKeyEvent(type)); break;
    case k_menu_open: e.reset(new wxMenuEvent(type, id, nullptr)); break;
    case k_close: e.reset(new wxCloseEvent(type, id)); break;
    default: e.reset(new wxCommandEvent(type, id)); break;
  }
  e->SetId(id);
  e->SetEventObject(main_frame);
  return e;
}

// The handlers the toolkit would call for the event, noted, not called.
std::vector<recording_app::call_t> dispatch(event_kind kind, wxEventType type, int id) {
  std::unique_ptr<wxEvent> e = make_event(kind, type, id);
  recording_app& app = shell_app();
  app.calls.clear();
  app.recording = true;
  main_frame->ProcessWindowEvent(*e);
  app.recording = false;
  return app.calls;
}

// Reaches the class's static table, which the toolkit reads.
struct table_reader : MainFrame {
  static const wxEventTable& table() { return MainFrame::sm_eventTable; }
};

std::vector<const wxEventTableEntry*> table_entries() {
  std::vector<const wxEventTableEntry*> entries;
  for (const wxEventTableEntry* e = table_reader::table().entries; e->m_fn; ++e) entries.push_back(e);
  return entries;
}

TEST(CommandTable, EveryRouteReachesItsOneHandler) {
  ASSERT_NE(main_frame, nullptr);
  int checked = 0;
  for (const route_t& r : expected_routes()) {
    for (wxEventType type : types_of(r.kind)) {
      // Entries for any identifier are tried with an identifier of no control too.
      const std::vector<int> ids = r.first < 0 ? std::vector<int>{wxID_ANY, 31000} : std::vector<int>{};
      std::vector<int> range = ids;
      for (int id = r.first; r.first >= 0 && id <= r.last; ++id) range.push_back(id);
      for (int id : range) {
        const auto calls = dispatch(r.kind, type, id);
        ASSERT_EQ(calls.size(), 1u) << r.name << " id " << id << " type " << type;
        EXPECT_EQ(calls[0].handler, main_frame) << r.name << " id " << id;
        EXPECT_TRUE(calls[0].method == r.handler) << r.name << " id " << id << " type " << type;
        ++checked;
      }
    }
  }
  // 630 scroll events of 70 sliders and the single identifiers, plus every
  // identifier of each row range and two tries of each any-id entry.
  EXPECT_GT(checked, 871);
}

// Identifiers next to the ranges, and read-only controls, have no entry: the
// event goes unhandled rather than to a neighbour's handler.
TEST(CommandTable, IdentifiersOutsideTheTableReachNoHandlerOfTheWindow) {
  const struct {
    event_kind kind;
    int id;
  } strays[] = {{k_menu, 7411},     {k_menu, 7425},   {k_button, 6062},    {k_checkbox, 6114},
                {k_button, 6378},   {k_text_enter, 6578}, {k_slider, 6777}, {k_checkbox, 7178},
                {k_toggle, 7281},   {k_button, 7350}, {k_scroll, 6058},    {k_menu, 6097}};
  for (const auto& s : strays)
    for (wxEventType type : types_of(s.kind))
      for (const auto& call : dispatch(s.kind, type, s.id))
        EXPECT_NE(call.handler, main_frame) << s.id << " type " << type;
}

// The same command from a menu and from a page button runs one handler.
TEST(CommandTable, MenuItemsAndPageButtonsShareHandlers) {
  const auto lighting = dispatch(k_button, wxEVT_BUTTON, 6098);
  const auto graphics = dispatch(k_menu, wxEVT_MENU, 6039);
  ASSERT_EQ(lighting.size(), 1u);
  ASSERT_EQ(graphics.size(), 1u);
  EXPECT_TRUE(lighting[0].method == graphics[0].method);
  const auto input_data = dispatch(k_button, wxEVT_BUTTON, 6097);
  const auto display = dispatch(k_menu, wxEVT_MENU, 6041);
  ASSERT_EQ(input_data.size(), 1u);
  ASSERT_EQ(display.size(), 1u);
  EXPECT_TRUE(input_data[0].method == display[0].method);
  EXPECT_FALSE(input_data[0].method == lighting[0].method);
}

TEST(CommandTable, SizeAndMakeUp) {
  const auto entries = table_entries();
  EXPECT_EQ(entries.size(), 871u);
  std::map<wxEventType, int> by_type;
  int any_id = 0, in_block = 0;
  for (const wxEventTableEntry* e : entries) {
    ++by_type[e->m_eventType];
    if (e->m_id == wxID_ANY) {
      ++any_id;
    } else {
      const int last = e->m_lastId == wxID_ANY ? e->m_id : e->m_lastId;
      if (e->m_id >= 6000 && last <= 7457 && e->m_id <= last) ++in_block;
    }
  }
  EXPECT_EQ(any_id, 3);
  EXPECT_EQ(in_block, 868);
  int scroll = 0;
  for (wxEventType t : scroll_types()) {
    EXPECT_EQ(by_type[t], 70) << t;
    scroll += by_type[t];
  }
  EXPECT_EQ(scroll, 630);
  const struct {
    wxEventType type;
    int count;
  } counts[] = {{wxEVT_BUTTON, 81},          {wxEVT_MENU, 54},
                {wxEVT_CHECKBOX, 42},        {wxEVT_CHOICE, 27},
                {wxEVT_TEXT_ENTER, 15},      {wxEVT_SLIDER, 3},
                {wxEVT_RADIOBOX, 3},         {wxEVT_SPLITTER_SASH_POS_CHANGING, 3},
                {wxEVT_LISTBOX, 2},          {wxEVT_TOGGLEBUTTON, 2},
                {wxEVT_COLOURPICKER_CHANGED, 2}, {wxEVT_NOTEBOOK_PAGE_CHANGED, 2},
                {wxEVT_TEXT, 1},             {wxEVT_GRID_RANGE_SELECTED, 1},
                {wxEVT_KEY_DOWN, 1},         {wxEVT_MENU_OPEN, 1},
                {wxEVT_CLOSE_WINDOW, 1}};
  for (const auto& c : counts) EXPECT_EQ(by_type[c.type], c.count) << c.type;

  // Member pointers have no order; count the distinct ones by comparison.
  std::vector<wxEventFunction> handlers;
  for (const wxEventTableEntry* e : entries) {
    const wxEventFunction f = e->m_fn->GetEvtMethod();
    bool known = false;
    for (const wxEventFunction& h : handlers) known = known || h == f;
    if (!known) handlers.push_back(f);
  }
  EXPECT_EQ(handlers.size(), 303u);
}

// The order of the entries must never decide which handler runs.
TEST(CommandTable, NoTwoEntriesShareAnEventTypeAndAnIdentifier) {
  const auto entries = table_entries();
  for (size_t a = 0; a < entries.size(); ++a) {
    for (size_t b = a + 1; b < entries.size(); ++b) {
      const wxEventTableEntry& x = *entries[a];
      const wxEventTableEntry& y = *entries[b];
      if (x.m_eventType != y.m_eventType) continue;
      const int x_last = x.m_lastId == wxID_ANY ? x.m_id : x.m_lastId;
      const int y_last = y.m_lastId == wxID_ANY ? y.m_id : y.m_lastId;
      const bool overlap = x.m_id == wxID_ANY || y.m_id == wxID_ANY || (x.m_id <= y_last && y.m_id <= x_last);
      EXPECT_FALSE(overlap) << "type " << x.m_eventType << " ids " << x.m_id << " and " << y.m_id;
    }
  }
}

}  // namespace
