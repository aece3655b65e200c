// The task notebook: building its pages, accepting a change of task, and
// the command-table entries of the task pages, each forwarded to its page.
#include <algorithm>

#include <wx/checkbox.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/notebook.h>

#include "app/main_frame.h"
#include "registry/resource_table.h"
#include "settings/material_dlg.h"
#include "surfaces/surface_interp.h"
#include "tasks/task_ids.h"
#include "segmentation/image_correlation.h"
#include "data/reslice_info.h"
#include "tasks/derived_surfaces.h"
#include "tasks/draw_page.h"
#include "tasks/find_location.h"
#include "tasks/landmarks_page.h"
#include "tasks/object_export.h"
#include "tasks/task_notebook_rules.h"
#include "visual/reslice_page.h"
#include "visual/visual_pages.h"

void MainFrame::create_task_pages(wxNotebook* notebook) {
  create_draw_page(notebook);
  create_fit_model_page(notebook);
  create_landmarks_page(notebook);
  create_thickness_page(notebook);
  create_scripts_page(notebook);
  create_pressure_page(notebook);
  create_spine_page(notebook);
}

void MainFrame::create_draw_page(wxNotebook* notebook) { draw = new draw_page(notebook, *this); }

void MainFrame::create_landmarks_page(wxNotebook* notebook) {
  landmarks_tab = new landmarks_page(notebook, *this);
  landmarks_tab->find_location = [this](const double point[3]) { find_location(point); };
  landmarks_tab->selection_changed = [this](const std::array<wxString, 3>& keys,
                                            const std::array<bool, 3>& used, bool usable) {
    if (visuals && visuals->reslice()) visuals->reslice()->set_selected_landmarks(keys, used, usable);
  };
}

wxChoice* MainFrame::curve_object_choice() {
  return landmarks_tab ? landmarks_tab->curve_object : nullptr;
}

void MainFrame::send_enter_on_focus_loss(wxWindow* text) {
  text->Bind(wxEVT_KILL_FOCUS, &MainFrame::OnTextKillFocus, this);
}

void MainFrame::OnTaskChanged(wxBookCtrlEvent& event) {
  resource_table_t& t = *resource_table;
  const int next = event.GetSelection();
  const int old = static_cast<int>(t.RES_CURRENT_TASK_PAGE->read());
  if (next < 0 || !task_notebook || next >= static_cast<int>(task_notebook->GetPageCount())) return;
  // A disabled page is not taken: the previous one comes back.
  if (!task_notebook->GetPage(next)->IsEnabled()) {
    if (old >= 0 && old < static_cast<int>(task_notebook->GetPageCount()))
      task_notebook->SetSelection(static_cast<size_t>(old));
    return;
  }
  const task_change_plan plan =
      plan_task_change(old, next, t.RES_PRESSURE_TASK->read(), t.RES_SPINE_TASK->read());
  if (plan.drop_correction) {
    if (image_correlation* run = t.RES_CORRELATION->read()) {
      t.RES_CORRELATION->write(nullptr);
      delete run;
    }
  }
  if (visual_notebook) {
    const size_t pages = visual_notebook->GetPageCount();
    for (size_t k = 0; k < plan.enable.size() && k < pages; ++k)
      visual_notebook->GetPage(k)->Enable(plan.enable[k]);
    if (plan.select >= 0 && static_cast<size_t>(plan.select) < pages)
      visual_notebook->SetSelection(static_cast<size_t>(plan.select));
  }
  help_page = task_help_page(next);
  t.RES_CURRENT_TASK_PAGE->write(next);
}

void MainFrame::update_draw_page() {
  if (draw) draw->update();
}
void MainFrame::create_object_properties(int32_t count) {
  if (draw) draw->create_object_properties(count);
}
void MainFrame::update_threshold_label() {
  if (draw) draw->update_threshold_label();
}

bool MainFrame::check_derived_surfaces(int object) { return ::check_derived_surfaces(object); }

void MainFrame::find_location(const double point[3]) {
  resource_table_t& t = *resource_table;
  const vec3_t p{point[0], point[1], point[2]};
  const frame_location found = locate_in_frames(p);
  if (found.frame < 0) return;
  // The Spine page shows plane 3; everywhere else the Ortho page's planes.
  reslice_info* planes = t.RESLICE->read();
  constexpr int kOrthoPage = 1, kSpinePage = 7;
  const int shown = visual_notebook ? visual_notebook->GetSelection() : -1;
  if (shown == kSpinePage) {
    planes[3].set_centre(p, true);
  } else {
    planes[2].set_centre(p, true);
    planes[1].set_centre(p, true);
    if (visual_notebook && shown != kOrthoPage && visual_notebook->GetPageCount() > kOrthoPage)
      visual_notebook->SetSelection(kOrthoPage);
  }
  t.RES_BUF_CURRENT_FRAME->write_no_changeprocs(found.frame);
  t.FINDING_LOCATION->write_no_changeprocs();
  t.FIND_LOCATION_X->write_no_changeprocs(found.x);
  t.FIND_LOCATION_Y->write(found.y);
}

void MainFrame::OnFindObject(wxCommandEvent&) {
  const long k = resource_table->CURRENT_OBJECT->read();
  if (k < 0 || k >= NUM_USER_OBJECTS) return;
  if (surface_interp* s = resource_table->RES_SURFACE[k]->read()) {
    const double centre[3] = {s->centroid.x, s->centroid.y, s->centroid.z};
    find_location(centre);
  }
}

void MainFrame::OnObjectColour(wxCommandEvent& event) {
  resource_table_t& t = *resource_table;
  const int b = event.GetId() - ID_OBJECT_COLOUR_FIRST;
  if (!draw || !material_dialog || b < 0 || b >= draw->row_count() || b >= NUM_USER_OBJECTS) return;
  contour_object* objects = t.RES_OBJECT->read();
  const contour_object& clicked = objects[b];
  t.RES_MATERIAL_METALLIC->write_no_changeprocs(clicked.metallic);
  t.RES_MATERIAL_ROUGHNESS->write_no_changeprocs(clicked.roughness);
  t.RES_MATERIAL_ANISOTROPY->write_no_changeprocs(clicked.anisotropy);
  t.RES_MATERIAL_COLOUR->write(wxColour(clicked.colour.Red(), clicked.colour.Green(), clicked.colour.Blue())
                                   .GetAsString(wxC2S_HTML_SYNTAX));
  if (material_dialog->ShowModal() != wxID_OK) return;
  wxColour chosen;
  if (!chosen.Set(t.RES_MATERIAL_COLOUR->read())) return;
  const int count = std::min<int>(NUM_USER_OBJECTS, int(t.CURRENT_MAX_OBJECTS->read()));
  const bool all = draw->apply_to_all->GetValue();
  for (int i = all ? 0 : b; i < (all ? count : b + 1); ++i) {
    objects[i].colour.Set(chosen.Red(), chosen.Green(), chosen.Blue(), objects[i].colour.Alpha());
    objects[i].metallic = t.RES_MATERIAL_METALLIC->read();
    objects[i].roughness = t.RES_MATERIAL_ROUGHNESS->read();
    objects[i].anisotropy = t.RES_MATERIAL_ANISOTROPY->read();
  }
  t.OBJECT->write();
}

void MainFrame::write_object_statistics(wxFileName file, int object) {
  wxString why;
  if (!::write_object_statistics(file.GetFullPath(), object, &why))
    wxLogError(L"The object information could not be saved to \"%s\".\n%s", file.GetFullPath(), why);
}

// The Draw page's commands.
#define NV_TO_DRAW_PAGE(handler, event_type)       \
  void MainFrame::handler(event_type& event) {      \
    if (draw) draw->handler(event);                 \
  }
NV_TO_DRAW_PAGE(OnCurrentObject, wxCommandEvent)
NV_TO_DRAW_PAGE(OnFindContours, wxScrollEvent)
NV_TO_DRAW_PAGE(OnObjectName, wxCommandEvent)
NV_TO_DRAW_PAGE(OnObjectOpacity, wxCommandEvent)
NV_TO_DRAW_PAGE(OnUpdateCurrentSurface, wxCommandEvent)
NV_TO_DRAW_PAGE(OnUpdateAllSurface, wxCommandEvent)
NV_TO_DRAW_PAGE(OnRevertCurrentSurface, wxCommandEvent)
NV_TO_DRAW_PAGE(OnRevertAllSurface, wxCommandEvent)
NV_TO_DRAW_PAGE(OnSaveCurrentSurface, wxCommandEvent)
NV_TO_DRAW_PAGE(OnSaveAllSurface, wxCommandEvent)
NV_TO_DRAW_PAGE(OnSurfaceResolution, wxCommandEvent)
NV_TO_DRAW_PAGE(OnSurfaceSmoothing, wxCommandEvent)
NV_TO_DRAW_PAGE(OnSurfaceConnectObjects, wxCommandEvent)
NV_TO_DRAW_PAGE(OnSurfaceConnectHoles, wxCommandEvent)
NV_TO_DRAW_PAGE(OnSurfaceCover, wxCommandEvent)
NV_TO_DRAW_PAGE(OnSurfaceCompoundType, wxCommandEvent)
NV_TO_DRAW_PAGE(OnSurfaceCompoundThick, wxScrollEvent)
NV_TO_DRAW_PAGE(OnSegmentType, wxCommandEvent)
NV_TO_DRAW_PAGE(OnSegmentFrame, wxScrollEvent)
NV_TO_DRAW_PAGE(OnSegmentRange, wxScrollEvent)
NV_TO_DRAW_PAGE(OnSegmentObjects, wxScrollEvent)
NV_TO_DRAW_PAGE(OnSegmentConnected, wxCommandEvent)
NV_TO_DRAW_PAGE(OnSegmentRidges, wxCommandEvent)
NV_TO_DRAW_PAGE(OnSegmentValleys, wxCommandEvent)
NV_TO_DRAW_PAGE(OnApplyToAllObjects, wxCommandEvent)
NV_TO_DRAW_PAGE(OnJumpThresh, wxScrollEvent)
NV_TO_DRAW_PAGE(OnConcavityStrength, wxScrollEvent)
NV_TO_DRAW_PAGE(OnSimplifyThresh, wxScrollEvent)
NV_TO_DRAW_PAGE(OnCmapGreyLo, wxScrollEvent)
NV_TO_DRAW_PAGE(OnCmapGreyHi, wxScrollEvent)
NV_TO_DRAW_PAGE(OnCmapGreyAnti, wxScrollEvent)
NV_TO_DRAW_PAGE(OnCmapRedLo, wxScrollEvent)
NV_TO_DRAW_PAGE(OnCmapRedHi, wxScrollEvent)
NV_TO_DRAW_PAGE(OnCmapBlueLo, wxScrollEvent)
NV_TO_DRAW_PAGE(OnCmapBlueHi, wxScrollEvent)
NV_TO_DRAW_PAGE(OnCmapBinary, wxCommandEvent)
NV_TO_DRAW_PAGE(OnCmapLabels, wxCommandEvent)
#undef NV_TO_DRAW_PAGE

// The "Cap" boxes' range entry carries this name in the command table.
void MainFrame::OnObjectVisible(wxCommandEvent& event) {
  if (draw) draw->OnObjectCap(event);
}

// The Landmarks page's commands.
#define NV_TO_LANDMARKS_PAGE(handler)                 \
  void MainFrame::handler(wxCommandEvent& event) {    \
    if (landmarks_tab) landmarks_tab->handler(event); \
  }
NV_TO_LANDMARKS_PAGE(OnLandmarksSelect)
NV_TO_LANDMARKS_PAGE(OnLandmarksName)
NV_TO_LANDMARKS_PAGE(OnLandmarksDelete)
NV_TO_LANDMARKS_PAGE(OnLandmarksFind)
NV_TO_LANDMARKS_PAGE(OnLandmarksExport)
NV_TO_LANDMARKS_PAGE(OnLandmarksDeleteAll)
NV_TO_LANDMARKS_PAGE(OnLandmarksSnap)
NV_TO_LANDMARKS_PAGE(OnCurveSelect)
NV_TO_LANDMARKS_PAGE(OnCurveName)
NV_TO_LANDMARKS_PAGE(OnCurveDelete)
NV_TO_LANDMARKS_PAGE(OnCurveFind)
NV_TO_LANDMARKS_PAGE(OnCurveSplit)
NV_TO_LANDMARKS_PAGE(OnCurveClosed)
NV_TO_LANDMARKS_PAGE(OnCurveObject)
#undef NV_TO_LANDMARKS_PAGE
