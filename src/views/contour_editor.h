// Contour drawing and editing with the review view's Draw, Select and Erase
// tools: freehand strokes, polygons placed click by click (following an
// existing contour on request), the two-click circle, dragging, splitting
// and merging vertices of existing contours, single-click segmentation, mask
// outlines, and the Erase tool's group operations.
//
// The editor works on the view's shared state and on the objects of
// RES_OBJECT. Questions, the group dialog, masking and segmentation go
// through small interfaces, so that all of it runs in tests without a
// display. Across the questions' nested event loops it keeps object,
// frame, contour and vertex indices, never pointers into the objects, and
// checks them again when the answer comes back.
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include <wx/string.h>

#include "data/contour.h"
#include "views/review_tools.h"

class contour_object;

// What the editor asks of the user and of the window.
class contour_editor_ui {
 public:
  virtual ~contour_editor_ui() = default;
  // A Yes/No question; true for Yes.
  virtual bool ask(const wxString& caption, const wxString& question) = 0;
  // A single choice, the first entry preselected; the chosen index, or -1 for Cancel.
  virtual int choose(const wxString& caption, const wxString& message,
                     const std::vector<wxString>& choices) = 0;
  virtual void refresh() = 0;
  // Masks every frame with region when it holds a contour, else with outline.
  virtual void mask_data(frame_contours_t* region, const contour_t* outline) = 0;
};

// The segmentation behind a single click on thresholded or labelled data.
class click_segmenter {
 public:
  virtual ~click_segmenter() = default;
  // Adds the outlines of the labelled region under the click to object.
  virtual void contours_from_label(int32_t label, int32_t object, int32_t frame,
                                   int32_t segment_frames) = 0;
  // The outlines of the thresholded region around (cx, cy) of one frame.
  virtual frame_contours_t segment(const uint8_t* display, int32_t width, int32_t height,
                                   int32_t cx, int32_t cy, int32_t jump, double tolerance) = 0;
  // Segments the thresholded region around (cx, cy) through the frames.
  virtual void segment3(int32_t frame, int32_t cx, int32_t cy, int32_t jump, double tolerance) = 0;
};

// The group dialog's choices and what they do, apart from the dialog.
enum class group_operation { remove, remove_inside, remove_concavities, reassign };

class contour_editor {
 public:
  contour_editor(review_view_state& state, contour_editor_ui& ui) : s_(state), ui_(ui) {}

  // Without a segmenter, a single click on thresholded or labelled data makes nothing.
  void set_segmenter(click_segmenter* segmenter) { segmenter_ = segmenter; }

  // A stroke, a vertex drag or a group selection is in progress: the events go to on_event.
  bool busy() const {
    return s_.freehand_drawing || vertex_editing_ || group_selecting_ || asking_;
  }
  bool vertex_editing() const { return vertex_editing_; }
  bool group_selecting() const { return group_selecting_; }

  // A Draw press, or a Select press (the outline masks the data).
  void draw_press(double x, double y, double r, bool select_tool);
  // The contour part of an Erase press: starts the group selection.
  void erase_press(double x, double y, double r);
  // An event while busy(); (x, y) its image position.
  void on_event(const review_mouse_event& e, double x, double y, double r);
  // Click mode belongs to the frame and object it started on; a change of
  // either drops the polygon. True when click mode was ended.
  bool check_click_mode();
  // The objects changed under the editor: the pointers the view draws from
  // (followed contour, selection) are made again from the indices, and
  // dropped when they no longer lead anywhere.
  void objects_changed();

  // The group dialog's entries for the current selection, with the
  // operation and target object of each.
  struct group_choice {
    wxString label;
    group_operation op;
    int32_t object;
  };
  std::vector<group_choice> group_choices() const;
  // Applies one operation to the selection; true when a contour changed.
  bool apply_group_operation(group_operation op, int32_t target);

  // A contour on the current frame: object index and place in its frame entry.
  struct contour_ref {
    int32_t object;
    size_t index;
    bool operator==(const contour_ref& o) const { return object == o.object && index == o.index; }
  };
  const std::vector<contour_ref>& selection() const { return selection_; }

 private:
  contour_object* objects() const;
  int32_t object_count() const;
  int32_t current_frame() const;
  frame_contours_t* entry(int32_t object, int32_t frame) const;
  contour_t* contour_at(const contour_ref& c) const;
  contour_t* edited_existing() const;
  void delete_surface(int32_t object);
  void add_to_object(int32_t object, int32_t frame, const contour_t& c);

  void start_vertex_edit(double x, double y, double r);
  void click_press(double x, double y, double r);
  void close_polygon();
  void follow_press(double x, double y, double r);
  void pick_followed_vertex(double x, double y, double r);
  void vertex_edit_event(const review_mouse_event& e, double x, double y, double r);
  void second_button(double x, double y);
  void finish_vertex_edit(double x, double y, double r);
  bool split(double r);
  void merge(double x, double y, double r);
  void finish_freehand(double x, double y, double r);
  void single_click();
  void group_event(const review_mouse_event& e, double x, double y, double r);
  void group_release(double x, double y, double r);
  void delete_vertex_at(double x, double y, double r);
  void select_near(double x, double y, double r);
  void show_selection();
  void end_group_changes();
  bool ask(const wxString& caption, const wxString& question);

  review_view_state& s_;
  contour_editor_ui& ui_;
  // A question or the group dialog is open: events that reach the view from
  // its nested event loop change nothing.
  bool asking_ = false;
  click_segmenter* segmenter_ = nullptr;

  // The existing contour being dragged or followed, by index.
  bool vertex_editing_ = false;
  int32_t edit_object_ = -1;
  int32_t edit_frame_ = -1;
  size_t edit_contour_ = 0;

  // Where click mode started.
  int32_t click_frame_ = -1;
  int32_t click_object_ = -1;

  bool group_selecting_ = false;
  bool group_click_ = false;
  bool group_dialog_shown_ = false;
  std::vector<contour_ref> selection_;
  std::set<int32_t> changed_objects_;
};

// The 32-vertex circle around the first vertex through the second.
contour_t circle_through(const vec2_t& centre, const vec2_t& through);
