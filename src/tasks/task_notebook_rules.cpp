#include "tasks/task_notebook_rules.h"

const wchar_t* const task_page_labels[TASK_PAGE_COUNT] = {
    L"Draw", L"Fit shape model", L"Landmarks", L"Thickness", L"Scripts", L"Pressure", L"Spine"};

int visual_page_of_task(int task) {
  switch (task) {
    case TASK_THICKNESS: return 4;
    case TASK_PRESSURE: return 5;
    case TASK_SPINE: return 7;
    default: return -1;
  }
}

int visual_page_count(bool pressure, bool spine) {
  if (!pressure) return 5;
  return spine ? 8 : 7;
}

wxString task_help_page(int task) {
  static const wchar_t* const kPages[TASK_PAGE_COUNT] = {
      L"draw.htm", L"fit_model.htm", L"landmarks.htm", L"thickness.htm",
      L"script.htm", L"pressure.htm", L"spine_intro.htm"};
  return task >= 0 && task < TASK_PAGE_COUNT ? wxString(kPages[task]) : wxString();
}

task_change_plan plan_task_change(int old_task, int new_task, bool pressure, bool spine) {
  task_change_plan plan;
  if (old_task == new_task) return plan;
  const int count = visual_page_count(pressure, spine);
  // Leaving a task that owns a page gives every existing page back.
  if (visual_page_of_task(old_task) >= 0) {
    plan.drop_correction = old_task == TASK_PRESSURE;
    plan.enable.assign(count, true);
  }
  // Entering one leaves only its own page, selected. A page that the
  // switches left out cannot be entered.
  const int own = visual_page_of_task(new_task);
  if (own >= 0 && own < count) {
    plan.enable.assign(count, false);
    plan.enable[own] = true;
    plan.select = own;
  }
  return plan;
}
