// What a change of task page does to the visualisation notebook, kept apart
// from the windows so that every combination of tasks and feature switches
// can be checked without a display.
#pragma once

#include <vector>

#include <wx/string.h>

// Task pages by index.
enum task_page_index : int {
  TASK_DRAW = 0,
  TASK_FIT_MODEL = 1,
  TASK_LANDMARKS = 2,
  TASK_THICKNESS = 3,
  TASK_SCRIPTS = 4,
  TASK_PRESSURE = 5,
  TASK_SPINE = 6,
  TASK_PAGE_COUNT = 7
};

// The task page labels, in index order.
extern const wchar_t* const task_page_labels[TASK_PAGE_COUNT];

// The visualisation page that task owns (Thickness 4, Pressure 5, Spine 7),
// or -1.
int visual_page_of_task(int task);

// The number of visualisation pages that exist: 5, 7 with the Pressure
// switch, 8 with the Spine switch as well.
int visual_page_count(bool pressure, bool spine);

// The help page of task 0 to 6; empty for any other index.
wxString task_help_page(int task);

// The visualisation notebook after a change from task old_task to new_task:
// for each existing page whether it is to be enabled (empty when the change
// leaves the notebook alone), the page to select (-1 for none), and whether
// a pending correction run is to be thrown away.
struct task_change_plan {
  std::vector<bool> enable;
  int select = -1;
  bool drop_correction = false;
};
task_change_plan plan_task_change(int old_task, int new_task, bool pressure, bool spine);
