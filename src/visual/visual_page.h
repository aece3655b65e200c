// The common ground of the visualisation pages: each is a scrolled panel of
// the visualisation notebook with a vertical sizer, owning its controls,
// handlers and update procedure. The Pressure, Panorama and Spine pages
// leave the notebook again when their switch is off; their windows stay,
// unseen, for the whole run.
#pragma once

#include <wx/scrolwin.h>

#include "registry/proc_registrations.h"

class wxBoxSizer;
class wxNotebook;

class visual_panel : public wxScrolledWindow {
 public:
  // Appends the page to notebook under label, not selected; present false
  // removes it again from the notebook's end without destroying it.
  visual_panel(wxNotebook* notebook, const wxString& label, bool present = true,
              bool button_face = true);
  ~visual_panel() override;
  visual_panel(const visual_panel&) = delete;
  visual_panel& operator=(const visual_panel&) = delete;

  // Removes the page's change procedures (the window is closing).
  void stop_listening();
  // Lays the page out and fits its scrollable area to its contents.
  void fit_contents();

 protected:
  wxBoxSizer* sizer_ = nullptr;
  proc_registrations procs_;
};

// The Blank page: a single "No reslice" text.
class blank_page final : public visual_panel {
 public:
  explicit blank_page(wxNotebook* notebook);
};

// The width in pixels of 50 by 50 dialog units in the window's top-level
// conversion; sizes the pages' track controls.
int track_unit_of(wxWindow* window);
