// The main window: menus, toolbar, the six splitter windows with the task
// and visualisation notebooks, the four OpenGL views, the frame slider, the
// status bar, the settings dialogs and the HTML help.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include <wx/bitmap.h>
#include <wx/colour.h>
#include <wx/cursor.h>
#include <wx/filename.h>
#include <wx/frame.h>
#include <wx/stopwatch.h>

#include "app/app_rules.h"
#include "app/playback_timing.h"
#include "registry/proc_registrations.h"
#include "render3d/spine_display.h"
#include "tasks/task_page.h"
#include "script/scripts_page.h"
#include "settings/settings_dialog.h"

class wxBookCtrlEvent;
class wxChoice;
class wxColourPickerEvent;
class wxDialog;
class wxGridRangeSelectEvent;
class wxHtmlHelpController;
class wxMenu;
class wxMenuBar;
class wxNotebook;
class wxPanel;
class wxSlider;
class wxSplitterEvent;
class wxSplitterWindow;
class wxStaticText;
class wxToolBar;
class wxWindow;
class visual_pages;
class review_canvas;
class outline_canvas;
class centre_canvas;
class corner_canvas;
class Script;
class draw_page;
class landmarks_page;
class comment_dlg;
class graphics_dlg;
class mouse_dlg;
class material_dlg;

// Pictures of the toolbar, in the order MainFrame::toolbar_bitmaps keeps them.
enum toolbar_picture : int {
  PIC_REWIND,
  PIC_PLAY,
  PIC_PAUSE,
  PIC_DRAG,
  PIC_SELECT,
  PIC_MARK,
  PIC_DRAW,
  PIC_MEASURE,
  PIC_ERASE,
  PIC_DRAG_ZOOM,
  PIC_LOCK_ZOOM,
  PIC_INVERT_IMAGE,
  PIC_SEE_OUTLINES,
  PIC_SEE_OUTLINES_2,
  PIC_SEE_MARK_AUTO,
  PIC_SEE_MARK_FIXED,
  PIC_SEE_DRAW_AUTO,
  PIC_SEE_DRAW_FIXED,
  PIC_SPARE_0,
  PIC_SPARE_1,
  PIC_SPARE_2,
  PIC_SPARE_3,
  PIC_SPARE_4,
  PIC_SPARE_5,
  TOOLBAR_PICTURES
};

constexpr int TOOL_CURSORS = 7;

class script_batch_runner;

class MainFrame : public wxFrame, public task_page_host, public script_actions, public settings_host {
 public:
  MainFrame(const wchar_t* title, int x, int y, int width, int height);
  ~MainFrame() override;

  // --- members, in the order the constructor makes them
  wxHtmlHelpController* help_controller = nullptr;
  review_canvas* review_view = nullptr;
  outline_canvas* outline_view = nullptr;
  centre_canvas* centre_view = nullptr;
  corner_canvas* corner_view = nullptr;
  wxString help_page;
  bool batch_close = false;
  wxMenuBar* menu_bar = nullptr;
  wxToolBar* toolbar = nullptr;
  wxMenu* menu_file = nullptr;
  wxMenu* menu_task = nullptr;
  wxMenu* menu_visual = nullptr;
  wxMenu* menu_configure = nullptr;
  wxMenu* menu_gui = nullptr;
  wxMenu* menu_help = nullptr;
  wxPanel* views_panel = nullptr;
  wxWindow* blank_window = nullptr;
  wxSplitterWindow* outer_splitter = nullptr;
  wxSplitterWindow* right_splitter = nullptr;
  wxSplitterWindow* left_splitter = nullptr;
  wxSplitterWindow* view_splitter = nullptr;
  wxSplitterWindow* upper_view_splitter = nullptr;
  wxSplitterWindow* lower_view_splitter = nullptr;
  wxDialog* location_dialog = nullptr;
  mouse_dlg* mouse_dialog = nullptr;
  graphics_dlg* graphics_dialog = nullptr;
  wxDialog* display_dialog = nullptr;
  comment_dlg* comment_dialog = nullptr;
  material_dlg* material_dialog = nullptr;
  Script* script = nullptr;
  int32_t control_width = 135;
  wxStaticText* frames_label = nullptr;
  wxNotebook* task_notebook = nullptr;
  wxNotebook* visual_notebook = nullptr;
  wxSlider* frame_slider = nullptr;
  wxColour object_colours[200];
  base_functor* update_functor = nullptr;
  bool help_available = false;
  wxBitmap toolbar_bitmaps[TOOLBAR_PICTURES];
  int32_t next_file_number = 1;
  int32_t& default_name_counter = next_file_number;
  wxCursor tool_cursors[TOOL_CURSORS];
  wxStopWatch playback_watch;
  // The Spine display page's state; the 3D view reads it.
  spine_display_state spine_state;
  // The spine landmark the Spine page asked for; the 3D view's mark tool places it.
  spine_landmark_request pending_spine_landmark;

  // Change procedures that pages and dialogs keep in the main window; the
  // close handler removes them from their resources.
  proc_registrations page_procs;
  // The window's own procedure, removed when the window is destroyed.
  proc_registrations own_procs;

  // --- the main window's change procedure and its texts
  void update_main_window();
  wxString frames_status_text(double rate, int32_t count);
  wxString& frames_status_text(wxString& text, double rate, int32_t count);
  void set_toolbar_icon_size(int32_t code) override;
  void refresh_display_tools();
  // Switches to mouse tool n (counted from 1) as a click on it would; the
  // previous tool plus 1, or -1 when nothing changed. Passing the result
  // back restores the previous tool.
  int32_t select_tool(int32_t n);

  // --- builders of the pages and dialogs that the constructor calls
  void create_task_pages(wxNotebook* notebook);
  void create_draw_page(wxNotebook* notebook);
  void create_fit_model_page(wxNotebook* notebook);
  void create_landmarks_page(wxNotebook* notebook);
  void create_thickness_page(wxNotebook* notebook);
  void create_scripts_page(wxNotebook* notebook);
  void create_pressure_page(wxNotebook* notebook);
  void create_spine_page(wxNotebook* notebook);
  // The Draw page's refresh and rows, as other pages and scripts reach them.
  void update_draw_page();
  void create_object_properties(int32_t count);
  void update_threshold_label();
  // Deletes, after a question each, the derived cortical surfaces that
  // replacing or discarding object's surface would strand (-1: all, -2: the
  // orphans, silently); true when the user cancelled and the caller stops.
  bool check_derived_surfaces(int object);
  // Moves the views to the frame whose plane lies nearest point (world cm)
  // and marks the point there.
  void find_location(const double point[3]);
  // The object info file of object (-1: all objects in use).
  void write_object_statistics(wxFileName file, int object);

  // task_page_host and settings_host
  void send_enter_on_focus_loss(wxWindow* text) override;
  const shader* outline_shaders() override;
  wxChoice* curve_object_choice() override;

  // The task pages (child windows of the task notebook).
  draw_page* draw = nullptr;
  landmarks_page* landmarks_tab = nullptr;
  scripts_page* scripts = nullptr;
  // Runs command-line scripts through the Scripts page; installed while the
  // page exists.
  std::unique_ptr<script_batch_runner> script_runner;

  // script_actions
  bool script_file_open() override;
  bool script_file_close() override;
  bool script_file_save() override;
  void script_show_page() override;
  bool script_may_discard_data(bool may_ask) override;
  // The visualisation pages (child windows of the visual notebook).
  void create_visual_pages(wxNotebook* notebook);
  std::unique_ptr<visual_pages> visuals;
  // The Thickness display page's smoothing, fill and rejection sliders,
  // usable while the Thickness task page lists a surface.
  void enable_thickness_display_filters(bool enable);
  void create_config_dialogs(wxWindow* parent);

  // --- data files and scripts named on the command line
  bool try_read_halmondo_file(const wxString& file_name);
  bool open_image_data(const wxString& name);
  bool ScriptBatchRun(const wxString& script_file, const wxString& log_file);

  // --- handlers of the command table (main_frame_events.cpp), by the code
  // that owns them; each takes the event class of its table entry.
  // Main window: keys, menu opening, mouse tools, toolbar toggles and the frame slider
  void OnKeyDown(wxKeyEvent& event);
  void OnMenuOpen(wxMenuEvent& event);
  void OnToolSelect(wxCommandEvent& event);
  void OnLockZoom(wxCommandEvent& event);
  void OnSeeOutlines(wxCommandEvent& event);
  void OnSeeMarkLocked(wxCommandEvent& event);
  void OnSeeDrawLocked(wxCommandEvent& event);
  void OnFrameSlider(wxScrollEvent& event);
  void OnInvertImage(wxCommandEvent& event);

  // Main window: closing
  void OnClose(wxCloseEvent& event);

  // Window layout: splitter sashes and the GUI menu
  void OnSashChangingTop(wxSplitterEvent& event);
  void OnSashChangingMiddle(wxSplitterEvent& event);
  void OnSashChangingBottom(wxSplitterEvent& event);
  void OnGuiWindows2D(wxCommandEvent& event);
  void OnGuiWindows3D(wxCommandEvent& event);
  void OnGuiSet3DSize(wxCommandEvent& event);
  void OnGuiControlsLeft(wxCommandEvent& event);
  void OnGuiControlsRight(wxCommandEvent& event);
  void OnGuiControlsBoth(wxCommandEvent& event);

  // Page selection, comment and settings-dialog commands
  void OnFileEditComment(wxCommandEvent& event);
  void OnTaskDraw(wxCommandEvent& event);
  void OnTaskLandmarks(wxCommandEvent& event);
  void OnTaskPressure(wxCommandEvent& event);
  void OnVisualPressure(wxCommandEvent& event);
  void OnTaskThickness(wxCommandEvent& event);
  void OnTaskFitModel(wxCommandEvent& event);
  void OnTaskScript(wxCommandEvent& event);
  void OnVisualThickness(wxCommandEvent& event);
  void OnVisualVolume(wxCommandEvent& event);
  void OnVisualPanorama(wxCommandEvent& event);
  void OnVisualNone(wxCommandEvent& event);
  void OnVisualOrtho(wxCommandEvent& event);
  void OnVisualReslice(wxCommandEvent& event);
  void OnTaskSpine(wxCommandEvent& event);
  void OnVisualSpine(wxCommandEvent& event);
  void OnConfigMouse(wxCommandEvent& event);
  void OnConfigGraphics(wxCommandEvent& event);
  void OnConfigLocation(wxCommandEvent& event);
  void OnConfigDisplay(wxCommandEvent& event);
  // Leaving a modified settings text field (bound at run time)
  void OnTextKillFocus(wxFocusEvent& event);

  // Help, update check and About
  void OnHelpIndex(wxCommandEvent& event);
  void OnHelpUpdate(wxCommandEvent& event);
  void OnHelpOnline(wxCommandEvent& event);
  void OnHelpAbout(wxCommandEvent& event);

  // Data files: File menu
  void OnFileOpen(wxCommandEvent& event);
  void OnFileOpenDirectory(wxCommandEvent& event);
  void OnFileSave(wxCommandEvent& event);
  void OnFileSaveas(wxCommandEvent& event);
  void OnFileClose(wxCommandEvent& event);
  void OnSettingsOpen(wxCommandEvent& event);
  void OnSettingsSaveas(wxCommandEvent& event);
  void OnSettingsReset(wxCommandEvent& event);
  void OnFileExportFrames(wxCommandEvent& event);
  void OnFileExportVoxels(wxCommandEvent& event);
  void OnFileExportImage(wxCommandEvent& event);
  void OnFileQuit(wxCommandEvent& event);

  // Thickness mapping: Thickness task page
  void OnThickLineLength(wxScrollEvent& event);
  void OnThickLineWidth(wxScrollEvent& event);
  void OnThickPostBlur(wxCommandEvent& event);
  void OnThickMetal(wxCommandEvent& event);
  void OnThickThreshold(wxCommandEvent& event);
  void OnThickEndoModel(wxCommandEvent& event);
  void OnThickSameLevels(wxCommandEvent& event);
  void OnThickLocalDensity(wxCommandEvent& event);
  void OnThickFWHM(wxCommandEvent& event);
  void OnThickReverse(wxCommandEvent& event);
  void OnThickIncInner(wxCommandEvent& event);
  void OnThickIncOuter(wxCommandEvent& event);
  void OnThickMapDirection(wxCommandEvent& event);
  void OnThickCreateInner(wxCommandEvent& event);
  void OnThickCreateOuter(wxCommandEvent& event);
  void OnThickCreateCaps(wxCommandEvent& event);
  void OnThickOuterDensity(wxCommandEvent& event);
  void OnThickCorticalDensity(wxCommandEvent& event);
  void OnThickInnerDensity(wxCommandEvent& event);
  void OnThickInPlaneFWHM(wxCommandEvent& event);
  void OnThickOutPlaneFWHM(wxCommandEvent& event);
  void OnThickTechnique(wxCommandEvent& event);
  void OnThicknessSurfChoice(wxCommandEvent& event);
  void OnThicknessSurfMap(wxCommandEvent& event);
  void OnThicknessSurfCompare(wxCommandEvent& event);
  void OnThicknessEstimateDensity(wxCommandEvent& event);
  void OnThicknessSurfLoad(wxCommandEvent& event);
  void OnThicknessSurfCreate(wxCommandEvent& event);
  void OnThicknessConvertFWHM(wxCommandEvent& event);
  void OnThicknessSurfSave(wxCommandEvent& event);
  // Writes the normal-blur file of the current surface; no control leads to it.
  void OnThicknessSurfSaveNormBlur(wxCommandEvent& event);
  // The three commands' shared start, file name and run (command: a
  // thickness_result_command).
  void run_thickness_results(wxCommandEvent& event, int command);

  // Task pages and the toolbar's Rewind and Play
  void OnTaskChanged(wxBookCtrlEvent& event);
  void OnScriptLoad(wxCommandEvent& event);
  void OnScriptSave(wxCommandEvent& event);
  void OnScriptEditorRun(wxCommandEvent& event);
  void OnScriptSaveAs(wxCommandEvent& event);
  void OnScriptClearOutput(wxCommandEvent& event);
  void OnRewind(wxCommandEvent& event);
  void OnPlay(wxCommandEvent& event);
  void OnFindObject(wxCommandEvent& event);
  void OnCurrentObject(wxCommandEvent& event);
  void OnFindContours(wxScrollEvent& event);
  void OnObjectColour(wxCommandEvent& event);
  void OnObjectName(wxCommandEvent& event);
  void OnObjectOpacity(wxCommandEvent& event);
  void OnObjectVisible(wxCommandEvent& event);
  void OnUpdateAllSurface(wxCommandEvent& event);
  void OnSaveAllSurface(wxCommandEvent& event);
  void OnDeleteAllObjects(wxCommandEvent& event);
  void OnRevertAllSurface(wxCommandEvent& event);
  void OnResetAllProperties(wxCommandEvent& event);
  void OnPackObjects(wxCommandEvent& event);
  void OnCreateContours(wxCommandEvent& event);
  void OnImportContours(wxCommandEvent& event);
  void OnDeleteObjects(wxCommandEvent& event);
  void OnRevertCurrentSurface(wxCommandEvent& event);
  void OnResetCurrentProperties(wxCommandEvent& event);
  void OnUpdateCurrentSurface(wxCommandEvent& event);
  void OnSaveCurrentSurface(wxCommandEvent& event);
  void OnImportSurface(wxCommandEvent& event);
  void OnSurfaceResolution(wxCommandEvent& event);
  void OnSurfaceSmoothing(wxCommandEvent& event);
  void OnSurfaceConnectObjects(wxCommandEvent& event);
  void OnSurfaceConnectHoles(wxCommandEvent& event);
  void OnSurfaceCover(wxCommandEvent& event);
  void OnSurfaceCompoundType(wxCommandEvent& event);
  void OnSurfaceCompoundThick(wxScrollEvent& event);
  void OnCmapBinary(wxCommandEvent& event);
  void OnCmapLabels(wxCommandEvent& event);
  void OnSegmentType(wxCommandEvent& event);
  void OnSegmentFrame(wxScrollEvent& event);
  void OnSegmentRange(wxScrollEvent& event);
  void OnSegmentObjects(wxScrollEvent& event);
  void OnSegmentConnected(wxCommandEvent& event);
  void OnSegmentRidges(wxCommandEvent& event);
  void OnSegmentValleys(wxCommandEvent& event);
  void OnApplyToAllObjects(wxCommandEvent& event);
  void OnJumpThresh(wxScrollEvent& event);
  void OnConcavityStrength(wxScrollEvent& event);
  void OnSimplifyThresh(wxScrollEvent& event);
  void OnCmapGreyLo(wxScrollEvent& event);
  void OnCmapGreyHi(wxScrollEvent& event);
  void OnCmapGreyAnti(wxScrollEvent& event);
  void OnCmapRedLo(wxScrollEvent& event);
  void OnCmapRedHi(wxScrollEvent& event);
  void OnCmapBlueLo(wxScrollEvent& event);
  void OnCmapBlueHi(wxScrollEvent& event);
  void OnLandmarksSelect(wxCommandEvent& event);
  void OnLandmarksName(wxCommandEvent& event);
  void OnLandmarksDelete(wxCommandEvent& event);
  void OnLandmarksFind(wxCommandEvent& event);
  void OnLandmarksExport(wxCommandEvent& event);
  void OnLandmarksDeleteAll(wxCommandEvent& event);
  void OnLandmarksSnap(wxCommandEvent& event);
  void OnCurveSelect(wxCommandEvent& event);
  void OnCurveName(wxCommandEvent& event);
  void OnCurveDelete(wxCommandEvent& event);
  void OnCurveFind(wxCommandEvent& event);
  void OnCurveSplit(wxCommandEvent& event);
  void OnCurveClosed(wxCommandEvent& event);
  void OnCurveObject(wxCommandEvent& event);
  void OnCorrectPositions(wxCommandEvent& event);
  void OnCorrectPressure(wxCommandEvent& event);
  void OnAcceptCorrection(wxCommandEvent& event);
  void OnRejectCorrection(wxCommandEvent& event);
  void OnSSMInterpolateSubstructure(wxCommandEvent& event);
  void OnSSMLoadModel(wxCommandEvent& event);
  void OnSSMFitLandmarks(wxCommandEvent& event);
  void OnSSMDoICP(wxCommandEvent& event);
  void OnSSMSearchRange(wxScrollEvent& event);
  void OnSSMDisplayCompounding(wxScrollEvent& event);
  void OnSSMMapPoints(wxCommandEvent& event);
  void OnSSMMapContours(wxCommandEvent& event);
  void OnSSMMapSurface(wxCommandEvent& event);
  void OnSSMRegistrationType(wxCommandEvent& event);
  void OnSpineReference(wxCommandEvent& event);
  void OnSpineLandmark(wxCommandEvent& event);
  void OnSpineDelete(wxCommandEvent& event);

  // Visualisation pages and window grabs
  void OnGrabReview(wxCommandEvent& event);
  void OnGrab3D(wxCommandEvent& event);
  void OnGrabCentre(wxCommandEvent& event);
  void OnGrabRight(wxCommandEvent& event);
  void OnVisualChanged(wxBookCtrlEvent& event);
  void OnResliceThickness(wxScrollEvent& event);
  void OnResliceOpacity(wxScrollEvent& event);
  void OnResliceCompounding(wxCommandEvent& event);
  void OnResliceFaster(wxCommandEvent& event);
  void OnResliceRotateX(wxCommandEvent& event);
  void OnResliceRotateY(wxCommandEvent& event);
  void OnResliceRotateZ(wxCommandEvent& event);
  void OnResliceSave(wxCommandEvent& event);
  void OnResliceLocateFrame(wxCommandEvent& event);
  void OnResliceLocateMinVoxels(wxCommandEvent& event);
  void OnResliceAutoCentre(wxCommandEvent& event);
  void OnResliceLocateLandmarks(wxCommandEvent& event);
  void OnResliceWidth(wxScrollEvent& event);
  void OnResliceHeight(wxScrollEvent& event);
  void OnResliceCropSurface(wxCommandEvent& event);
  void OnResliceShowOutside(wxCommandEvent& event);
  void OnOrthoThickness(wxScrollEvent& event);
  void OnOrthoOpacity(wxScrollEvent& event);
  void OnOrthoCompounding(wxCommandEvent& event);
  void OnOrthoFaster(wxCommandEvent& event);
  void OnOrthoCentreFrame(wxCommandEvent& event);
  void OnOrthoSaveLeft(wxCommandEvent& event);
  void OnOrthoSaveRight(wxCommandEvent& event);
  void OnOrthoCropSurface(wxCommandEvent& event);
  void OnOrthoShowOutside(wxCommandEvent& event);
  void OnVolumeQuality(wxCommandEvent& event);
  void OnVolumeTranslucency(wxScrollEvent& event);
  void OnVolumeWetness(wxScrollEvent& event);
  void OnVolumeClarity(wxScrollEvent& event);
  void OnVolumeGradient(wxScrollEvent& event);
  void OnVolumeCropLandmark(wxCommandEvent& event);
  void OnVolumeCropRadius(wxScrollEvent& event);
  void OnVolumeCropOutsideRadius(wxCommandEvent& event);
  void OnVolumeCropSurface(wxCommandEvent& event);
  void OnVolumeCropOutsideSurface(wxCommandEvent& event);
  void OnVolumeAntialiasCrop(wxCommandEvent& event);
  void OnVolumeUseAlpha(wxCommandEvent& event);
  void OnVolumeCropReslice(wxCommandEvent& event);
  void OnVolumeCropXLow(wxScrollEvent& event);
  void OnVolumeCropXHigh(wxScrollEvent& event);
  void OnVolumeCropYLow(wxScrollEvent& event);
  void OnVolumeCropYHigh(wxScrollEvent& event);
  void OnVolumeCropZLow(wxScrollEvent& event);
  void OnVolumeCropZHigh(wxScrollEvent& event);
  void OnVolumeColourMapping(wxCommandEvent& event);
  void OnVolumeSave(wxCommandEvent& event);
  void OnVolumeRowEnable(wxCommandEvent& event);
  void OnVolumeRowMaterial(wxCommandEvent& event);
  void OnVolumeRowOpacity(wxCommandEvent& event);
  void OnVolumeRowData(wxCommandEvent& event);
  void OnVolumeShowColours(wxCommandEvent& event);
  void OnVolumeFlipOpacity(wxCommandEvent& event);
  void OnVolumeFlipData(wxCommandEvent& event);
  void OnVolumeSortOpacity(wxCommandEvent& event);
  void OnVolumeSortData(wxCommandEvent& event);
  void OnPanoramaToggleAlignment(wxCommandEvent& event);
  void OnPanoramaSave(wxCommandEvent& event);
  void OnVisPressureSaveImage(wxCommandEvent& event);
  void OnVisPressureApply(wxCommandEvent& event);
  void OnVisThicknessShowData(wxCommandEvent& event);
  void OnVisThicknessShowModel(wxCommandEvent& event);
  void OnVisThicknessShowDeconvolved(wxCommandEvent& event);
  void OnVisThicknessDisplay(wxCommandEvent& event);
  void OnVisThicknessColour(wxCommandEvent& event);
  void OnVisThicknessSmooth(wxScrollEvent& event);
  void OnVisThicknessFill(wxScrollEvent& event);
  void OnVisThicknessRejectAngle(wxScrollEvent& event);
  void OnVisThicknessRejectOffset(wxScrollEvent& event);
  void OnVisThicknessScaleMM(wxScrollEvent& event);
  void OnVisThicknessScaleHU(wxScrollEvent& event);
  void OnVisThicknessZeroHU(wxScrollEvent& event);
  void OnVisThicknessScaleHUMM(wxScrollEvent& event);
  void OnVisSpineSaveImage(wxCommandEvent& event);
  void OnVisSpineExport(wxCommandEvent& event);
  void OnVisSpineFlip(wxCommandEvent& event);
  void OnVisSpineCoronal(wxCommandEvent& event);
  void OnVisSpineNames(wxCommandEvent& event);
  void OnVisSpineGridSelect(wxGridRangeSelectEvent& event);

  // Settings dialogs
  void OnComment(wxCommandEvent& event);
  void OnBrightness(wxScrollEvent& event);
  void OnDICOMWinCentre(wxScrollEvent& event);
  void OnDICOMWinWidth(wxScrollEvent& event);
  void OnDICOMUnits(wxCommandEvent& event);
  void OnDICOMHum(wxCommandEvent& event);
  void OnDICOMHub(wxCommandEvent& event);
  void OnDICOMFilter(wxScrollEvent& event);
  void OnDICOMFilterZ(wxScrollEvent& event);
  void OnDICOMCalibrate(wxCommandEvent& event);
  void OnPosManualTran(wxCommandEvent& event);
  void OnPosManualRot(wxCommandEvent& event);
  void OnPosManualSpan(wxScrollEvent& event);
  void OnPosManualAngle(wxScrollEvent& event);
  void OnPosManualRadius(wxScrollEvent& event);
  void OnImageWidth(wxScrollEvent& event);
  void OnImageHeight(wxScrollEvent& event);
  void OnPixelSize(wxCommandEvent& event);
  void OnFrameSpacing(wxCommandEvent& event);
  void OnPosManual(wxCommandEvent& event);
  void OnMouseMiddleOverride(wxCommandEvent& event);
  void OnMouseRightOverride(wxCommandEvent& event);
  void OnMouseSensitivity(wxScrollEvent& event);
  void OnCursorRotation(wxScrollEvent& event);
  void OnCursorMovement(wxScrollEvent& event);
  void OnScrollZoom(wxScrollEvent& event);
  void OnUseScrollbars(wxCommandEvent& event);
  void OnExpertMode(wxCommandEvent& event);
  void OnBackground(wxColourPickerEvent& event);
  void OnBackgroundConst(wxCommandEvent& event);
  void OnTranslucentLayers(wxScrollEvent& event);
  void OnLightingAmbient(wxScrollEvent& event);
  void OnLightingFrontSide(wxScrollEvent& event);
  void OnLightingLeftRight(wxScrollEvent& event);
  void OnLightingUpDown(wxScrollEvent& event);
  void OnOcclusionRange(wxScrollEvent& event);
  void OnRadiantShadows(wxCommandEvent& event);
  void OnFocusRange(wxScrollEvent& event);
  void OnFocusDepth(wxScrollEvent& event);
  void OnShader(wxCommandEvent& event);
  void OnGraphicsFont(wxCommandEvent& event);
  void OnIconSize(wxCommandEvent& event);
  void OnMaterialChoice(wxCommandEvent& event);
  void OnMaterialSave(wxCommandEvent& event);
  void OnMaterialColour(wxColourPickerEvent& event);
  void OnMaterialMetallic(wxScrollEvent& event);
  void OnMaterialAnisotropy(wxScrollEvent& event);
  void OnMaterialRoughness(wxScrollEvent& event);

  // Closes the help window, if any, forcing the close.
  void close_help_window();

 private:
  void build_menus();
  void build_toolbar();
  void build_splitters(int width);
  void build_views();
  void build_help();
  void update_see_draw_tool();
  void update_see_mark_tool();
  void update_see_ssm();
  void set_tool_picture(int id, int picture);
  bool tool_down(int id) const;
  void step_frame(int32_t frame);
  void playback_step();

  // Frame playback: whether the change procedure listens to idle raises,
  // and when the frames are due.
  bool playing_ = false;
  playback_schedule playback_;

  // The frame-count text's remembered rate and count, one for the program.
  static frames_status_t frames_status_;

  wxDECLARE_EVENT_TABLE();
};

// The one main window; set by start-up.
extern MainFrame* main_frame;

// Lets help windows read our .htm pages as HTML, whatever type the system
// gives them; the first call installs it for the whole program.
void install_help_page_filter();
