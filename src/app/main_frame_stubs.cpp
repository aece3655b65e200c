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
void MainFrame::OnDeleteAllObjects(wxCommandEvent&) {}
void MainFrame::OnResetAllProperties(wxCommandEvent&) {}
void MainFrame::OnPackObjects(wxCommandEvent&) {}
void MainFrame::OnCreateContours(wxCommandEvent&) {}
void MainFrame::OnImportContours(wxCommandEvent&) {}
void MainFrame::OnDeleteObjects(wxCommandEvent&) {}
void MainFrame::OnResetCurrentProperties(wxCommandEvent&) {}
void MainFrame::OnImportSurface(wxCommandEvent&) {}
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
void MainFrame::OnVisSpineSaveImage(wxCommandEvent&) {}
void MainFrame::OnVisSpineExport(wxCommandEvent&) {}
void MainFrame::OnVisSpineFlip(wxCommandEvent&) {}
void MainFrame::OnVisSpineCoronal(wxCommandEvent&) {}
void MainFrame::OnVisSpineNames(wxCommandEvent&) {}
void MainFrame::OnVisSpineGridSelect(wxGridRangeSelectEvent&) {}

// clang-format on
