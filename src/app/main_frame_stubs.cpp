// Command handlers whose code has not arrived yet: each does nothing until
// the page, dialog or command it belongs to replaces it with the real one.
// Remove a handler from here when defining it elsewhere.
#include <wx/grid.h>
#include <wx/notebook.h>
#include <wx/splitter.h>

#include "app/main_frame.h"

// clang-format off

// Data files: File menu

// Thickness mapping: Thickness task page
void MainFrame::OnThickLineLength(wxScrollEvent&) {}
void MainFrame::OnThickLineWidth(wxScrollEvent&) {}
void MainFrame::OnThickPostBlur(wxCommandEvent&) {}
void MainFrame::OnThickMetal(wxCommandEvent&) {}
void MainFrame::OnThickThreshold(wxCommandEvent&) {}
void MainFrame::OnThickEndoModel(wxCommandEvent&) {}
void MainFrame::OnThickSameLevels(wxCommandEvent&) {}
void MainFrame::OnThickLocalDensity(wxCommandEvent&) {}
void MainFrame::OnThickFWHM(wxCommandEvent&) {}
void MainFrame::OnThickReverse(wxCommandEvent&) {}
void MainFrame::OnThickIncInner(wxCommandEvent&) {}
void MainFrame::OnThickIncOuter(wxCommandEvent&) {}
void MainFrame::OnThickMapDirection(wxCommandEvent&) {}
void MainFrame::OnThickCreateInner(wxCommandEvent&) {}
void MainFrame::OnThickCreateOuter(wxCommandEvent&) {}
void MainFrame::OnThickCreateCaps(wxCommandEvent&) {}
void MainFrame::OnThickOuterDensity(wxCommandEvent&) {}
void MainFrame::OnThickCorticalDensity(wxCommandEvent&) {}
void MainFrame::OnThickInnerDensity(wxCommandEvent&) {}
void MainFrame::OnThickInPlaneFWHM(wxCommandEvent&) {}
void MainFrame::OnThickOutPlaneFWHM(wxCommandEvent&) {}
void MainFrame::OnThickTechnique(wxCommandEvent&) {}
void MainFrame::OnThicknessSurfChoice(wxCommandEvent&) {}
void MainFrame::OnThicknessSurfMap(wxCommandEvent&) {}
void MainFrame::OnThicknessSurfCompare(wxCommandEvent&) {}
void MainFrame::OnThicknessSurfCreate(wxCommandEvent&) {}
void MainFrame::OnThicknessConvertFWHM(wxCommandEvent&) {}

// Task pages and the toolbar's Rewind and Play
void MainFrame::OnFindObject(wxCommandEvent&) {}
void MainFrame::OnObjectColour(wxCommandEvent&) {}
void MainFrame::OnSaveAllSurface(wxCommandEvent&) {}
void MainFrame::OnDeleteAllObjects(wxCommandEvent&) {}
void MainFrame::OnResetAllProperties(wxCommandEvent&) {}
void MainFrame::OnPackObjects(wxCommandEvent&) {}
void MainFrame::OnCreateContours(wxCommandEvent&) {}
void MainFrame::OnImportContours(wxCommandEvent&) {}
void MainFrame::OnDeleteObjects(wxCommandEvent&) {}
void MainFrame::OnResetCurrentProperties(wxCommandEvent&) {}
void MainFrame::OnImportSurface(wxCommandEvent&) {}
void MainFrame::OnLandmarksSelect(wxCommandEvent&) {}
void MainFrame::OnLandmarksName(wxCommandEvent&) {}
void MainFrame::OnLandmarksDelete(wxCommandEvent&) {}
void MainFrame::OnLandmarksFind(wxCommandEvent&) {}
void MainFrame::OnLandmarksExport(wxCommandEvent&) {}
void MainFrame::OnLandmarksDeleteAll(wxCommandEvent&) {}
void MainFrame::OnLandmarksSnap(wxCommandEvent&) {}
void MainFrame::OnCurveSelect(wxCommandEvent&) {}
void MainFrame::OnCurveName(wxCommandEvent&) {}
void MainFrame::OnCurveDelete(wxCommandEvent&) {}
void MainFrame::OnCurveFind(wxCommandEvent&) {}
void MainFrame::OnCurveSplit(wxCommandEvent&) {}
void MainFrame::OnCurveClosed(wxCommandEvent&) {}
void MainFrame::OnCurveObject(wxCommandEvent&) {}
void MainFrame::OnCorrectPositions(wxCommandEvent&) {}
void MainFrame::OnCorrectPressure(wxCommandEvent&) {}
void MainFrame::OnAcceptCorrection(wxCommandEvent&) {}
void MainFrame::OnRejectCorrection(wxCommandEvent&) {}
void MainFrame::OnSSMInterpolateSubstructure(wxCommandEvent&) {}
void MainFrame::OnSSMLoadModel(wxCommandEvent&) {}
void MainFrame::OnSSMFitLandmarks(wxCommandEvent&) {}
void MainFrame::OnSSMDoICP(wxCommandEvent&) {}
void MainFrame::OnSSMSearchRange(wxScrollEvent&) {}
void MainFrame::OnSSMDisplayCompounding(wxScrollEvent&) {}
void MainFrame::OnSSMMapPoints(wxCommandEvent&) {}
void MainFrame::OnSSMMapContours(wxCommandEvent&) {}
void MainFrame::OnSSMMapSurface(wxCommandEvent&) {}
void MainFrame::OnSSMRegistrationType(wxCommandEvent&) {}
void MainFrame::OnSpineReference(wxCommandEvent&) {}
void MainFrame::OnSpineLandmark(wxCommandEvent&) {}
void MainFrame::OnSpineDelete(wxCommandEvent&) {}

// Visualisation pages and window grabs
void MainFrame::OnResliceThickness(wxScrollEvent&) {}
void MainFrame::OnResliceOpacity(wxScrollEvent&) {}
void MainFrame::OnResliceCompounding(wxCommandEvent&) {}
void MainFrame::OnResliceFaster(wxCommandEvent&) {}
void MainFrame::OnResliceRotateX(wxCommandEvent&) {}
void MainFrame::OnResliceRotateY(wxCommandEvent&) {}
void MainFrame::OnResliceRotateZ(wxCommandEvent&) {}
void MainFrame::OnResliceSave(wxCommandEvent&) {}
void MainFrame::OnResliceLocateFrame(wxCommandEvent&) {}
void MainFrame::OnResliceLocateMinVoxels(wxCommandEvent&) {}
void MainFrame::OnResliceAutoCentre(wxCommandEvent&) {}
void MainFrame::OnResliceLocateLandmarks(wxCommandEvent&) {}
void MainFrame::OnResliceWidth(wxScrollEvent&) {}
void MainFrame::OnResliceHeight(wxScrollEvent&) {}
void MainFrame::OnResliceCropSurface(wxCommandEvent&) {}
void MainFrame::OnResliceShowOutside(wxCommandEvent&) {}
void MainFrame::OnOrthoThickness(wxScrollEvent&) {}
void MainFrame::OnOrthoOpacity(wxScrollEvent&) {}
void MainFrame::OnOrthoCompounding(wxCommandEvent&) {}
void MainFrame::OnOrthoFaster(wxCommandEvent&) {}
void MainFrame::OnOrthoCentreFrame(wxCommandEvent&) {}
void MainFrame::OnOrthoSaveLeft(wxCommandEvent&) {}
void MainFrame::OnOrthoSaveRight(wxCommandEvent&) {}
void MainFrame::OnOrthoCropSurface(wxCommandEvent&) {}
void MainFrame::OnOrthoShowOutside(wxCommandEvent&) {}
void MainFrame::OnVolumeQuality(wxCommandEvent&) {}
void MainFrame::OnVolumeTranslucency(wxScrollEvent&) {}
void MainFrame::OnVolumeWetness(wxScrollEvent&) {}
void MainFrame::OnVolumeClarity(wxScrollEvent&) {}
void MainFrame::OnVolumeGradient(wxScrollEvent&) {}
void MainFrame::OnVolumeCropLandmark(wxCommandEvent&) {}
void MainFrame::OnVolumeCropRadius(wxScrollEvent&) {}
void MainFrame::OnVolumeCropOutsideRadius(wxCommandEvent&) {}
void MainFrame::OnVolumeCropSurface(wxCommandEvent&) {}
void MainFrame::OnVolumeCropOutsideSurface(wxCommandEvent&) {}
void MainFrame::OnVolumeAntialiasCrop(wxCommandEvent&) {}
void MainFrame::OnVolumeUseAlpha(wxCommandEvent&) {}
void MainFrame::OnVolumeCropReslice(wxCommandEvent&) {}
void MainFrame::OnVolumeCropXLow(wxScrollEvent&) {}
void MainFrame::OnVolumeCropXHigh(wxScrollEvent&) {}
void MainFrame::OnVolumeCropYLow(wxScrollEvent&) {}
void MainFrame::OnVolumeCropYHigh(wxScrollEvent&) {}
void MainFrame::OnVolumeCropZLow(wxScrollEvent&) {}
void MainFrame::OnVolumeCropZHigh(wxScrollEvent&) {}
void MainFrame::OnVolumeColourMapping(wxCommandEvent&) {}
void MainFrame::OnVolumeSave(wxCommandEvent&) {}
void MainFrame::OnVolumeRowEnable(wxCommandEvent&) {}
void MainFrame::OnVolumeRowMaterial(wxCommandEvent&) {}
void MainFrame::OnVolumeRowOpacity(wxCommandEvent&) {}
void MainFrame::OnVolumeRowData(wxCommandEvent&) {}
void MainFrame::OnVolumeShowColours(wxCommandEvent&) {}
void MainFrame::OnVolumeFlipOpacity(wxCommandEvent&) {}
void MainFrame::OnVolumeFlipData(wxCommandEvent&) {}
void MainFrame::OnVolumeSortOpacity(wxCommandEvent&) {}
void MainFrame::OnVolumeSortData(wxCommandEvent&) {}
void MainFrame::OnPanoramaToggleAlignment(wxCommandEvent&) {}
void MainFrame::OnPanoramaSave(wxCommandEvent&) {}
void MainFrame::OnVisPressureSaveImage(wxCommandEvent&) {}
void MainFrame::OnVisPressureApply(wxCommandEvent&) {}
void MainFrame::OnVisThicknessShowData(wxCommandEvent&) {}
void MainFrame::OnVisThicknessShowModel(wxCommandEvent&) {}
void MainFrame::OnVisThicknessShowDeconvolved(wxCommandEvent&) {}
void MainFrame::OnVisThicknessDisplay(wxCommandEvent&) {}
void MainFrame::OnVisThicknessColour(wxCommandEvent&) {}
void MainFrame::OnVisThicknessSmooth(wxScrollEvent&) {}
void MainFrame::OnVisThicknessFill(wxScrollEvent&) {}
void MainFrame::OnVisThicknessRejectAngle(wxScrollEvent&) {}
void MainFrame::OnVisThicknessRejectOffset(wxScrollEvent&) {}
void MainFrame::OnVisThicknessScaleMM(wxScrollEvent&) {}
void MainFrame::OnVisThicknessScaleHU(wxScrollEvent&) {}
void MainFrame::OnVisThicknessZeroHU(wxScrollEvent&) {}
void MainFrame::OnVisThicknessScaleHUMM(wxScrollEvent&) {}
void MainFrame::OnVisSpineSaveImage(wxCommandEvent&) {}
void MainFrame::OnVisSpineExport(wxCommandEvent&) {}
void MainFrame::OnVisSpineFlip(wxCommandEvent&) {}
void MainFrame::OnVisSpineCoronal(wxCommandEvent&) {}
void MainFrame::OnVisSpineNames(wxCommandEvent&) {}
void MainFrame::OnVisSpineGridSelect(wxGridRangeSelectEvent&) {}

// Settings dialogs
void MainFrame::OnDICOMWinCentre(wxScrollEvent&) {}
void MainFrame::OnDICOMWinWidth(wxScrollEvent&) {}
void MainFrame::OnDICOMUnits(wxCommandEvent&) {}
void MainFrame::OnDICOMHum(wxCommandEvent&) {}
void MainFrame::OnDICOMHub(wxCommandEvent&) {}
void MainFrame::OnDICOMFilter(wxScrollEvent&) {}
void MainFrame::OnDICOMFilterZ(wxScrollEvent&) {}
void MainFrame::OnDICOMCalibrate(wxCommandEvent&) {}
void MainFrame::OnPosManualTran(wxCommandEvent&) {}
void MainFrame::OnPosManualRot(wxCommandEvent&) {}
void MainFrame::OnPosManualSpan(wxScrollEvent&) {}
void MainFrame::OnPosManualAngle(wxScrollEvent&) {}
void MainFrame::OnPosManualRadius(wxScrollEvent&) {}
void MainFrame::OnImageWidth(wxScrollEvent&) {}
void MainFrame::OnImageHeight(wxScrollEvent&) {}
void MainFrame::OnPixelSize(wxCommandEvent&) {}
void MainFrame::OnFrameSpacing(wxCommandEvent&) {}
void MainFrame::OnPosManual(wxCommandEvent&) {}
// clang-format on
