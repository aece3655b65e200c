// The common ground of the task pages: each is a scrolled panel of the task
// notebook that owns its controls, its handlers and its change procedure.
// The main window creates the pages and forwards to them the commands its
// command table receives; a page reaches the main window only through the
// small host interface below.
#pragma once

#include <wx/scrolwin.h>

#include "registry/proc_registrations.h"

class wxChoice;
class wxNotebook;

// What the pages need of the main window.
class task_page_host {
 public:
  virtual ~task_page_host() = default;
  // An edited text field that loses the focus sends its Enter event.
  virtual void send_enter_on_focus_loss(wxWindow* text) = 0;
  // The Landmarks page's curve object choice; null until that page has one.
  virtual wxChoice* curve_object_choice() = 0;
};

class task_page : public wxScrolledWindow {
 public:
  // Appends the page to notebook under label, not selected.
  task_page(wxNotebook* notebook, const wxString& label, task_page_host& host);
  ~task_page() override;
  task_page(const task_page&) = delete;
  task_page& operator=(const task_page&) = delete;

  // Removes the page's change procedures (the window is closing).
  void stop_listening();

 protected:
  // Dialog units to pixels with the main window's conversion (-1 stays -1).
  wxSize dialog_units(int width, int height = -1) const;
  // The main window's DPI scale factor (its vertical DPI / 96).
  double dpi_scale() const;
  // Selects this page in its notebook as a user selection would.
  void select_self();
  // Fits the scrolled area to the page's contents and lays it out.
  void fit_contents();

  task_page_host& host_;
  // The page's change procedures; removed with the page.
  proc_registrations procs_;
};
