// The task notebook in the program's main window: its pages for each
// setting of the feature switches, and what a change of task does to the
// visualisation notebook, a pending correction run and the help page.
#include <vector>

#include <gtest/gtest.h>
#include <wx/notebook.h>

#include "app/app_test_main.h"
#include "app/main_frame.h"
#include "registry/resource_table.h"
#include "segmentation/image_correlation.h"
#include "tasks_gui_support.h"

namespace {

resource_table_t& rt() { return *resource_table; }

// Which visualisation pages are enabled, in order.
std::vector<bool> enabled(wxNotebook* notebook) {
  std::vector<bool> states;
  for (size_t k = 0; k < notebook->GetPageCount(); ++k) states.push_back(notebook->GetPage(k)->IsThisEnabled());
  return states;
}

std::vector<bool> only(size_t count, int page) {
  std::vector<bool> states(count, false);
  states[page] = true;
  return states;
}

void choose_task(MainFrame* f, int task) {
  f->task_notebook->SetSelection(task);
  pump_events(2);
}

// Counts the commits that change a resource.
struct change_counter {
  explicit change_counter(base_res_t* r) : res(r), functor(this, &change_counter::seen) { res->add_proc(&functor); }
  ~change_counter() { res->remove_proc(&functor); }
  void seen() { ++count; }
  base_res_t* res;
  pmf_functor<change_counter> functor;
  int count = 0;
};

struct switches_case {
  bool pressure, spine;
  size_t tasks, visuals;
};

TEST(TaskNotebook, PagesAndVisualPagesFollowTasksForEverySwitchSetting) {
  const bool pressure = rt().RES_PRESSURE_TASK->read(), spine = rt().RES_SPINE_TASK->read();
  const switches_case cases[] = {{false, false, 5, 5}, {true, false, 6, 7}, {true, true, 7, 8}};
  const wchar_t* const labels[] = {L"Draw", L"Fit shape model", L"Landmarks", L"Thickness",
                                   L"Scripts", L"Pressure", L"Spine"};
  for (const switches_case& c : cases) {
    rt().RES_PRESSURE_TASK->write(c.pressure);
    rt().RES_SPINE_TASK->write(c.spine);
    extra_frame shown(1400, 1000, true);
    MainFrame* f = shown.frame;
    wxNotebook* tasks = f->task_notebook;
    wxNotebook* visual = f->visual_notebook;
    ASSERT_EQ(tasks->GetPageCount(), c.tasks);
    ASSERT_EQ(visual->GetPageCount(), c.visuals);
    for (size_t k = 0; k < c.tasks; ++k) EXPECT_EQ(tasks->GetPageText(k), labels[k]);
    choose_task(f, 0);
    ASSERT_EQ(rt().RES_CURRENT_TASK_PAGE->read(), 0);

    choose_task(f, 3);
    EXPECT_EQ(rt().RES_CURRENT_TASK_PAGE->read(), 3);
    EXPECT_EQ(enabled(visual), only(c.visuals, 4));
    EXPECT_EQ(visual->GetSelection(), 4);
    EXPECT_EQ(f->help_page, "thickness.htm");
    choose_task(f, 0);
    EXPECT_EQ(enabled(visual), std::vector<bool>(c.visuals, true));
    EXPECT_EQ(visual->GetSelection(), 4);
    EXPECT_EQ(f->help_page, "draw.htm");

    if (c.pressure) {
      choose_task(f, 3);
      choose_task(f, 5);
      EXPECT_EQ(enabled(visual), only(c.visuals, 5));
      EXPECT_EQ(visual->GetSelection(), 5);
      EXPECT_EQ(f->help_page, "pressure.htm");
      // Leaving Pressure throws a pending run away; with none it writes nothing.
      rt().RES_CORRELATION->write(new image_correlation(false, false));
      choose_task(f, 4);
      EXPECT_EQ(rt().RES_CORRELATION->read(), nullptr);
      EXPECT_EQ(enabled(visual), std::vector<bool>(c.visuals, true));
      choose_task(f, 5);
      {
        change_counter changes(rt().RES_CORRELATION);
        choose_task(f, 1);
        EXPECT_EQ(changes.count, 0);
      }
    }
    if (c.spine) {
      choose_task(f, 6);
      EXPECT_EQ(enabled(visual), only(c.visuals, 7));
      EXPECT_EQ(f->help_page, "spine_intro.htm");
    }

    // A disabled task page is refused: the previous page comes back.
    choose_task(f, 2);
    tasks->GetPage(4)->Disable();
    {
      change_counter changes(rt().RES_CURRENT_TASK_PAGE);
      choose_task(f, 4);
      EXPECT_EQ(changes.count, 0);
    }
    EXPECT_EQ(tasks->GetSelection(), 2);
    EXPECT_EQ(rt().RES_CURRENT_TASK_PAGE->read(), 2);
    tasks->GetPage(4)->Enable();
    choose_task(f, 0);
  }
  rt().RES_PRESSURE_TASK->write(pressure);
  rt().RES_SPINE_TASK->write(spine);
}

}  // namespace
