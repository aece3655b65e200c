// The task pages, visualisation pages and settings dialogs still to come,
// as empty shells: each page is an empty page of its notebook and each
// dialog a hidden, empty dialog whose command events reach the main window.
// The pages and dialogs themselves replace these builders.
#include <wx/notebook.h>

#include "app/main_frame.h"
#include "registry/resource_table.h"
#include "tasks/task_page.h"

// The pages still to come: each an empty scrolled page under its label.
void MainFrame::create_fit_model_page(wxNotebook* notebook) { new task_page(notebook, L"Fit shape model", *this); }
void MainFrame::create_thickness_page(wxNotebook* notebook) { new task_page(notebook, L"Thickness", *this); }

// The Pressure and Spine pages leave the notebook again when their switches
// are off; their windows stay, unseen, for the whole run.
void MainFrame::create_pressure_page(wxNotebook* notebook) {
  auto* page = new task_page(notebook, L"Pressure", *this);
  if (!resource_table->RES_PRESSURE_TASK->read()) {
    notebook->RemovePage(notebook->GetPageCount() - 1);
    page->Hide();
  }
}

void MainFrame::create_spine_page(wxNotebook* notebook) {
  auto* page = new task_page(notebook, L"Spine", *this);
  if (!resource_table->RES_SPINE_TASK->read()) {
    notebook->RemovePage(notebook->GetPageCount() - 1);
    page->Hide();
  }
}
