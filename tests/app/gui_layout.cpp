// The GUI menu's window layouts and the sash limits, on shown main windows:
// where the notebooks and views end up and how large they are.
#include <gtest/gtest.h>
#include <wx/notebook.h>
#include <wx/panel.h>
#include <wx/splitter.h>
#include <wx/textdlg.h>

#include "app/app_ids.h"
#include "app/main_views.h"
#include "layout_support.h"

namespace {

void command(MainFrame* f, int id) {
  wxCommandEvent event(wxEVT_MENU, id);
  event.SetEventObject(f);
  f->GetEventHandler()->ProcessEvent(event);
  pump_events(5);
}

// A window's rectangle in its main window's client area, as the toolkit
// has placed it (the display may catch up later).
wxRect screen_rect(wxWindow* w) {
  wxPoint at;
  for (wxWindow* p = w; p && !p->IsTopLevel(); p = p->GetParent()) at += p->GetPosition();
  return wxRect(at, w->GetSize());
}

// The centre and corner views in the lower row, as the visualisation pages
// that show them arrange it.
void split_lower_row(MainFrame* f) {
  f->lower_view_splitter->ReplaceWindow(f->blank_window, f->centre_view);
  f->blank_window->Hide();
  f->centre_view->Show();
  f->corner_view->Show();
  f->lower_view_splitter->SplitVertically(f->centre_view, f->corner_view);
  pump_events(5);
}

// ------------------------------------------------------------------ views

TEST(ViewLayout, TwoDimensionsLeaveFortyPixelsAndThreeShareEqually) {
  extra_frame shown(1400, 1000, true);
  MainFrame* f = shown.frame;
  // The lower row not split: only the view splitter and the upper row move.
  const int lower_sash = f->lower_view_splitter->GetSashPosition();
  command(f, ID_GUI_WINDOWS_2D);
  EXPECT_EQ(f->outline_view->GetSize().x, 40);
  EXPECT_EQ(f->lower_view_splitter->GetSize().y, 40);
  EXPECT_GT(f->review_view->GetSize().x, 800);
  EXPECT_EQ(f->lower_view_splitter->GetSashPosition(), lower_sash);

  split_lower_row(f);
  command(f, ID_GUI_WINDOWS_2D);
  EXPECT_EQ(f->corner_view->GetSize().x, 40);
  EXPECT_EQ(f->outline_view->GetSize().x, 40);

  command(f, ID_GUI_WINDOWS_3D);
  EXPECT_LE(std::abs(f->review_view->GetSize().x - f->outline_view->GetSize().x), 1);
  EXPECT_LE(std::abs(f->centre_view->GetSize().x - f->corner_view->GetSize().x), 1);
  EXPECT_LE(std::abs(f->upper_view_splitter->GetSize().y - f->lower_view_splitter->GetSize().y), 1);
  EXPECT_GT(f->outline_view->GetSize().x, 200);
}

// Answers the size dialog with `text` (or Cancel when null), noting the
// dialog's texts.
struct size_answer {
  explicit size_answer(const char* text)
      : hook([this, text](wxDialog* d) {
          auto* entry = dynamic_cast<wxTextEntryDialog*>(d);
          if (!entry) return static_cast<int>(wxID_CANCEL);
          caption = entry->GetTitle();
          initial = entry->GetValue();
          if (!text) return static_cast<int>(wxID_CANCEL);
          entry->SetValue(text);
          return static_cast<int>(wxID_OK);
        }) {}
  wxString caption, initial;
  modal_answer hook;
};

TEST(ViewLayout, SetThreeDimensionalWindowSize) {
  extra_frame shown(1400, 1000, true);
  MainFrame* f = shown.frame;
  {
    size_answer answer("640x480");
    command(f, ID_GUI_SET_3D_SIZE);
    EXPECT_EQ(answer.hook.entered(), 1);
    EXPECT_EQ(answer.caption, "Size of 3D window");
  }
  EXPECT_EQ(f->outline_view->GetClientSize(), wxSize(640, 480));
  {
    size_answer answer(nullptr);
    command(f, ID_GUI_SET_3D_SIZE);
    EXPECT_EQ(answer.initial, "640 x 480");
  }
  struct {
    const char* text;
    wxSize result;
  } cases[] = {
      {"700, 500", wxSize(700, 500)},  {"650 ; 490", wxSize(650, 490)}, {"640", wxSize(650, 490)},
      {"640 x 480 x 2", wxSize(650, 490)}, {nullptr, wxSize(650, 490)},    {"5000 x 480", wxSize(650, 490)},
      {"640 x 5000", wxSize(650, 490)},    {"30 x 480", wxSize(650, 490)},  {"abc x def", wxSize(650, 490)},
  };
  for (const auto& c : cases) {
    size_answer answer(c.text);
    command(f, ID_GUI_SET_3D_SIZE);
    EXPECT_EQ(f->outline_view->GetClientSize(), c.result) << (c.text ? c.text : "Cancel");
  }
}

// -------------------------------------------------------------- controls

enum class controls { left, right, both };

// The height below the left column's sash: the toolkit counts a negative
// sash position from the bottom, sash included.
int lower_pane(MainFrame* f) { return f->visual_notebook->GetSize().y + f->left_splitter->GetSashSize(); }

// Checks where the notebooks are and that they can be seen; the start-up
// layout has notebook sizes of its own.
void expect_controls(MainFrame* f, controls where, const char* step) {
  SCOPED_TRACE(step);
  EXPECT_TRUE(f->task_notebook->IsShownOnScreen());
  EXPECT_TRUE(f->visual_notebook->IsShownOnScreen());
  EXPECT_TRUE(f->views_panel->IsShownOnScreen());
  const wxRect views = screen_rect(f->views_panel), task = screen_rect(f->task_notebook),
               visual = screen_rect(f->visual_notebook);
  EXPECT_FALSE(views.Intersects(task));
  EXPECT_FALSE(views.Intersects(visual));
  EXPECT_FALSE(task.Intersects(visual));
  switch (where) {
    case controls::left:
      EXPECT_EQ(f->outer_splitter->GetWindow1(), f->left_splitter);
      EXPECT_EQ(f->outer_splitter->GetWindow2(), f->right_splitter);
      EXPECT_FALSE(f->right_splitter->IsSplit());
      EXPECT_EQ(f->left_splitter->GetWindow2(), f->visual_notebook);
      EXPECT_EQ(lower_pane(f), f->control_width);
      EXPECT_LT(task.GetRight(), views.GetLeft());
      EXPECT_GT(visual.GetTop(), task.GetBottom());
      break;
    case controls::right:
      EXPECT_FALSE(f->outer_splitter->IsSplit());
      EXPECT_EQ(f->outer_splitter->GetWindow1(), f->right_splitter);
      EXPECT_EQ(f->right_splitter->GetWindow1(), f->views_panel);
      EXPECT_EQ(f->right_splitter->GetWindow2(), f->left_splitter);
      EXPECT_EQ(f->left_splitter->GetWindow2(), f->visual_notebook);
      EXPECT_EQ(lower_pane(f), f->control_width);
      EXPECT_GT(task.GetLeft(), views.GetRight());
      EXPECT_GT(visual.GetTop(), task.GetBottom());
      break;
    case controls::both:
      EXPECT_EQ(f->outer_splitter->GetWindow1(), f->left_splitter);
      EXPECT_FALSE(f->left_splitter->IsSplit());
      EXPECT_EQ(f->right_splitter->GetWindow1(), f->views_panel);
      EXPECT_EQ(f->right_splitter->GetWindow2(), f->visual_notebook);
      EXPECT_LT(task.GetRight(), views.GetLeft());
      EXPECT_GT(visual.GetLeft(), views.GetRight());
      break;
  }
}

// Rectangles of every pane, to tell whether a command changed anything.
std::vector<wxRect> geometry(MainFrame* f) {
  std::vector<wxRect> rects;
  for (wxWindow* w : std::initializer_list<wxWindow*>{f->left_splitter, f->right_splitter, f->task_notebook,
                                                      f->visual_notebook, f->views_panel, f->review_view,
                                                      f->outline_view})
    rects.push_back(screen_rect(w));
  return rects;
}

TEST(ControlsLayout, EveryLayoutFromEveryOtherAndAgain) {
  extra_frame shown(1400, 1000, true);  // wide: both sides at start
  MainFrame* f = shown.frame;
  expect_controls(f, controls::both, "start");
  const struct {
    int id;
    controls where;
    const char* name;
  } steps[] = {
      {ID_GUI_CONTROLS_LEFT, controls::left, "both to left"},
      {ID_GUI_CONTROLS_LEFT, controls::left, "left again"},
      {ID_GUI_CONTROLS_RIGHT, controls::right, "left to right"},
      {ID_GUI_CONTROLS_RIGHT, controls::right, "right again"},
      {ID_GUI_CONTROLS_BOTH, controls::both, "right to both"},
      {ID_GUI_CONTROLS_BOTH, controls::both, "both again"},
      {ID_GUI_CONTROLS_RIGHT, controls::right, "both to right"},
      {ID_GUI_CONTROLS_LEFT, controls::left, "right to left"},
      {ID_GUI_CONTROLS_BOTH, controls::both, "left to both"},
  };
  int previous = 0;
  for (const auto& step : steps) {
    const std::vector<wxRect> before = geometry(f);
    command(f, step.id);
    expect_controls(f, step.where, step.name);
    if (step.id == previous) {
      EXPECT_EQ(geometry(f), before) << step.name << " changed the layout";
    }
    previous = step.id;
  }
}

TEST(ControlsLayout, ColumnsKeepTheirWidthWhenMoved) {
  extra_frame shown(1400, 1000, true);
  MainFrame* f = shown.frame;
  command(f, ID_GUI_CONTROLS_LEFT);
  f->outer_splitter->SetSashPosition(300, true);
  pump_events(5);
  const int column = f->left_splitter->GetClientSize().x;
  EXPECT_EQ(column, 300);
  // At the right the column's sash lies within the column's width.
  command(f, ID_GUI_CONTROLS_RIGHT);
  const int sash = f->right_splitter->GetSashSize();
  EXPECT_EQ(f->left_splitter->GetClientSize().x, column - sash);
  EXPECT_EQ(f->right_splitter->GetSashPosition(), f->GetClientSize().x - column);
  command(f, ID_GUI_CONTROLS_LEFT);
  EXPECT_EQ(f->left_splitter->GetClientSize().x, column - sash);
  EXPECT_EQ(f->outer_splitter->GetSashPosition(), column - sash);
}

TEST(ControlsLayout, BothSidesNarrowsAWideColumn) {
  extra_frame shown(1000, 800, true);  // narrow: both notebooks on the left
  MainFrame* f = shown.frame;
  EXPECT_TRUE(f->left_splitter->IsSplit());
  f->outer_splitter->SetSashPosition(500, true);
  pump_events(5);
  ASSERT_EQ(f->left_splitter->GetClientSize().x, 500);
  command(f, ID_GUI_CONTROLS_BOTH);
  expect_controls(f, controls::both, "both");
  EXPECT_EQ(f->outer_splitter->GetSashPosition(), 2 * f->control_width);
  EXPECT_EQ(f->left_splitter->GetClientSize().x, 270);
  EXPECT_EQ(f->visual_notebook->GetSize().x, 270);
}

// ----------------------------------------------------------------- sashes

// The position the main window's sash handler makes of `proposed`.
int dragged(wxSplitterWindow* splitter, int proposed) {
  wxSplitterEvent event(wxEVT_SPLITTER_SASH_POS_CHANGING, splitter);
  event.SetSashPosition(proposed);
  splitter->GetEventHandler()->ProcessEvent(event);
  return event.GetSashPosition();
}

TEST(Sashes, ControlPanesKeepTheirMinimumSizes) {
  extra_frame shown(1400, 1000, true);
  MainFrame* f = shown.frame;
  const int width = f->GetClientSize().x;
  // Both sides: the outer sash stops 135 pixels left of the right column.
  expect_controls(f, controls::both, "start");
  const int c = f->right_splitter->GetSashPosition() + f->outer_splitter->GetSashPosition();
  EXPECT_EQ(dragged(f->outer_splitter, 50), 135);
  EXPECT_EQ(dragged(f->outer_splitter, 400), 400);
  EXPECT_EQ(dragged(f->outer_splitter, width), c - 135);
  const int right = f->right_splitter->GetClientSize().x;
  EXPECT_EQ(dragged(f->right_splitter, 50), 135);
  EXPECT_EQ(dragged(f->right_splitter, right - 10), right - 135);
  EXPECT_EQ(dragged(f->right_splitter, right - 300), right - 300);

  // Left: the outer sash stops 135 pixels short of the window's width.
  command(f, ID_GUI_CONTROLS_LEFT);
  EXPECT_EQ(dragged(f->outer_splitter, width - 20), width - 135);
  const int height = f->left_splitter->GetClientSize().y;
  EXPECT_EQ(dragged(f->left_splitter, height), height - 29);
  EXPECT_EQ(dragged(f->left_splitter, 5), 22);
  EXPECT_EQ(dragged(f->left_splitter, 200), 200);
}

}  // namespace
