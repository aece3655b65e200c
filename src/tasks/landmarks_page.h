// The Landmarks task page: the landmark list with the rows A, B and C and
// their grids, deleting, finding, renaming and exporting landmarks, and the
// curves box.
#pragma once

#include <functional>
#include <memory>

#include "tasks/curve_list.h"
#include "tasks/landmark_rows.h"
#include "tasks/task_page.h"

class wxButton;
class wxCheckBox;
class wxChoice;
class wxCommandEvent;
class wxGrid;
class wxListBox;
class wxTextCtrl;

// The page's questions and its file dialog; tests answer them.
class landmarks_page_dialogs {
 public:
  virtual ~landmarks_page_dialogs() = default;
  // A Yes/No question (true for Yes) and an OK/Cancel warning (true for OK).
  virtual bool ask_yes_no(const wxString& caption, const wxString& text) = 0;
  virtual bool ask_ok_cancel(const wxString& caption, const wxString& text) = 0;
  // The export file: false when cancelled; filter is the chosen filter's index.
  virtual bool choose_export_file(wxWindow* parent, wxString& path, int& filter) = 0;
};

class landmarks_page final : public task_page {
 public:
  landmarks_page(wxNotebook* notebook, task_page_host& host);

  // Change procedures, also called directly when the data are cleared.
  void update_landmark_list();
  void update_curve_list();
  void update_landmark_grid();

  // Moves the views to a point (centimetres); set by the main window.
  std::function<void(const double point[3])> find_location;
  // The rows' keys, which rows are in use, and whether the three make a
  // plane (" Locate to selected landmarks " on the Reslice page).
  std::function<void(const std::array<wxString, 3>& keys, const std::array<bool, 3>& used, bool usable)>
      selection_changed;
  void set_dialogs(std::unique_ptr<landmarks_page_dialogs> d) { dialogs_ = std::move(d); }

  // --- commands
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

  // --- state and controls (read by tests)
  landmark_rows rows;
  bool landmark_list_filled = false;
  wxString curve_selection_key;

  wxListBox* landmark_list = nullptr;
  wxTextCtrl* row_name[landmark_rows::ROWS] = {};
  wxGrid *position_grid = nullptr, *distance_grid = nullptr;
  wxButton *delete_all = nullptr, *export_button = nullptr;
  wxCheckBox* snap = nullptr;
  wxListBox* curve_list = nullptr;
  wxTextCtrl* curve_name = nullptr;
  wxCheckBox* curve_closed = nullptr;
  wxChoice* curve_object = nullptr;

 private:
  void show_rows();
  std::vector<wxString> selected_texts() const;
  void show_curve(int index);
  void show_no_curve();
  void remap_curves(int object);
  void set_cell(wxGrid* grid, int row, int col, const wxString& text);

  std::unique_ptr<landmarks_page_dialogs> dialogs_;
};
