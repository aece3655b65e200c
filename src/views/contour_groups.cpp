// The Erase tool's contour work: collecting contours under the pointer, the
// single click that deletes a vertex, and the group operations dialog.
#include <algorithm>

#include "data/objects.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "views/contour_editor.h"
#include "views/review_overlay_math.h"

void contour_editor::erase_press(double x, double y, double r) {
  if (asking_) return;
  selection_.clear();
  const int32_t frame = current_frame();
  for (int32_t k = 0; k < object_count(); ++k)
    if (frame_contours_t* e = entry(k, frame))
      for (contour_t& c : e->contours) c.values.clear();
  select_near(x, y, r);
  group_selecting_ = true;
  group_click_ = true;
  group_dialog_shown_ = false;
  changed_objects_.clear();
}

void contour_editor::select_near(double x, double y, double r) {
  const int32_t frame = current_frame();
  bool added = false;
  for (int32_t k = 0; k < object_count(); ++k) {
    frame_contours_t* e = entry(k, frame);
    if (!e) continue;
    for (size_t i = 0; i < e->contours.size(); ++i) {
      contour_t& c = e->contours[i];
      const contour_ref ref{k, i};
      size_t a = 0, b = 0;
      if (c.vertices.empty() || std::find(selection_.begin(), selection_.end(), ref) != selection_.end())
        continue;
      if (!c.find_near_segment({x, y}, a, b, r)) continue;
      selection_.push_back(ref);
      c.compute_vertex_values();
      added = true;
    }
  }
  show_selection();
  if (added) ui_.refresh();
}

// The view draws the selection from pointers; they are made again from the
// indices whenever the selection or the objects change under the editor.
void contour_editor::show_selection() {
  s_.selected_contours.clear();
  for (const contour_ref& ref : selection_)
    if (const contour_t* c = contour_at(ref)) s_.selected_contours.push_back(c);
}

void contour_editor::group_event(const review_mouse_event& e, double x, double y, double r) {
  if (e.kind == review_mouse_event::MOTION && e.button_held) {
    if (s_.moved) group_click_ = false;
    select_near(x, y, r);
    return;
  }
  if (e.kind == review_mouse_event::LEAVE) {
    if (group_dialog_shown_) return;
    selection_.clear();
    show_selection();
    group_selecting_ = false;
    ui_.refresh();
    return;
  }
  if (e.kind != review_mouse_event::RELEASE) return;
  if (!selection_.empty()) group_release(x, y, r);
  selection_.clear();
  show_selection();
  group_selecting_ = false;
  ui_.refresh();
}

void contour_editor::group_release(double x, double y, double r) {
  changed_objects_.clear();
  if (group_click_) {
    delete_vertex_at(x, y, r);
  } else {
    group_dialog_shown_ = true;
    const std::vector<group_choice> choices = group_choices();
    std::vector<wxString> labels;
    for (const group_choice& c : choices) labels.push_back(c.label);
    asking_ = true;
    const int chosen = ui_.choose("Contour group operation",
                                  "What do you want to do with these contours?", labels);
    asking_ = false;
    // The dialog ran a nested event loop: the selection is checked again.
    if (chosen >= 0 && static_cast<size_t>(chosen) < choices.size())
      apply_group_operation(choices[chosen].op, choices[chosen].object);
  }
  end_group_changes();
}

void contour_editor::delete_vertex_at(double x, double y, double r) {
  for (int32_t k = 0; k < object_count(); ++k) {
    for (const contour_ref& ref : selection_) {
      if (ref.object != k) continue;
      contour_t* c = contour_at(ref);
      if (!c || c->vertices.empty()) continue;
      size_t a = 0, b = 0;
      if (c->vertices.size() < 4 || !c->find_near_segment({x, y}, a, b, r) || a != b) break;
      c->vertices.erase(c->vertices.begin() + static_cast<std::ptrdiff_t>(a));
      c->values.clear();
      changed_objects_.insert(k);
    }
  }
}

std::vector<contour_editor::group_choice> contour_editor::group_choices() const {
  std::vector<group_choice> out;
  out.push_back({"Permanently delete them", group_operation::remove, -1});
  if (selection_.size() == 1)
    out.push_back({"Delete all contours inside the selected contour", group_operation::remove_inside, -1});
  out.push_back({"Remove highlighted concavities in selected contours",
                 group_operation::remove_concavities, -1});
  contour_object* o = objects();
  for (int32_t k = 0; o && k < object_count(); ++k)
    out.push_back({wxString::Format("Re-assign them all to %s", o[k].name), group_operation::reassign, k});
  return out;
}

bool contour_editor::apply_group_operation(group_operation op, int32_t target) {
  const int32_t frame = current_frame();
  const size_t before = changed_objects_.size();
  bool changed = false;
  auto mark = [&](int32_t object) {
    changed_objects_.insert(object);
    changed = true;
  };
  switch (op) {
    case group_operation::remove:
      for (const contour_ref& ref : selection_) {
        contour_t* c = contour_at(ref);
        if (!c || c->vertices.empty()) continue;
        c->clear();
        mark(ref.object);
      }
      break;
    case group_operation::remove_inside: {
      if (selection_.size() != 1) break;
      const contour_ref s = selection_[0];
      frame_contours_t* e = entry(s.object, frame);
      if (!e || s.index >= e->contours.size()) break;
      const contour_t outline = e->contours[s.index];
      for (size_t i = 0; i < e->contours.size(); ++i) {
        contour_t& c = e->contours[i];
        if (i == s.index || c.vertices.empty() || !outline.contains(c.vertices[0])) continue;
        c.clear();
        mark(s.object);
      }
      break;
    }
    case group_operation::remove_concavities:
      // The same comparison as the drawing: a vertex whose value is not below
      // the threshold is highlighted, and the highlighted ones go.
      for (int32_t k = 0; k < object_count(); ++k) {
        frame_contours_t* e = entry(k, frame);
        if (!e) continue;
        for (contour_t& c : e->contours) {
          if (c.vertices.empty() || c.values.size() != c.vertices.size()) continue;
          const size_t n = c.vertices.size();
          for (size_t i = n; i-- > 0;)
            if (c.values[i] >= contour_value_threshold)
              c.vertices.erase(c.vertices.begin() + static_cast<std::ptrdiff_t>(i));
          c.values.clear();
          if (c.vertices.size() < 3) c.clear();
          if (c.vertices.size() != n) mark(k);
        }
      }
      break;
    case group_operation::reassign: {
      if (target < 0 || target >= object_count()) break;
      std::vector<contour_t> moved;
      for (const contour_ref& ref : selection_) {
        contour_t* c = contour_at(ref);
        if (ref.object == target || !c || c->vertices.empty()) continue;
        contour_t copy = *c;
        copy.values.clear();
        moved.push_back(copy);
        c->clear();
        mark(ref.object);
      }
      // Added after the loop: adding may move the target's contours in memory.
      for (const contour_t& c : moved) add_to_object(target, frame, c);
      if (!moved.empty()) mark(target);
      break;
    }
  }
  return changed || changed_objects_.size() != before;
}

void contour_editor::end_group_changes() {
  const resource_table_t& t = *resource_table;
  const int32_t frame = current_frame();
  contour_object* o = objects();
  for (int32_t k = 0; o && k < object_count(); ++k)
    if (frame_contours_t* e = entry(k, frame))
      for (contour_t& c : e->contours) c.values.clear();
  if (!changed_objects_.empty() && o) {
    for (int32_t k : changed_objects_) {
      delete_surface(k);
      frame_contours_t* e = entry(k, frame);
      if (!e) continue;
      e->area = -1.0;
      e->contours.erase(std::remove_if(e->contours.begin(), e->contours.end(),
                                       [](const contour_t& c) { return c.vertices.empty(); }),
                        e->contours.end());
      if (e->contours.empty())
        o[k].frames.remove_if([frame](const frame_contours_t& f) { return f.frame == frame; });
    }
    selection_.clear();
    show_selection();
    t.CONT->write();
  }
  changed_objects_.clear();
}
