// What the Reslice and Ortho pages share: their thickness and opacity
// controls, the crop choice refilled from the objects' surfaces, and the
// rule by which sliders that rebuild a reslice apply their value.
#pragma once

#include <cstdint>

#include <wx/event.h>
#include <wx/string.h>

class reslice_info;
class wxChoice;
class wxSlider;
class wxStaticText;
class wxWindow;

// Width in pixels of x dialog units of the main window.
int dialog_width(wxWindow* window, int x);

// The slab limit of the frames now loaded (reslice_slab_limit of the frame
// size and scales).
double current_slab_limit();

// True for the scroll events that apply a reslice slider's value: the thumb
// let go and a change by a click or key.
bool applies_reslice_value(const wxScrollEvent& event);

// Shows RES_RESLICE_OPACITY on an opacity slider and its text.
void show_reslice_opacity(wxSlider* slider, wxStaticText* text);
// Writes an opacity slider's position / 100 to RES_RESLICE_OPACITY and shows it.
void apply_reslice_opacity(int position, wxStaticText* text);

// The reslice planes' thickness as one page shows it: the slider follows the
// plane (plane first of planes) until the frame size changes, when the
// slider's position gives every plane its new thickness.
class slab_thickness_control {
 public:
  slab_thickness_control() = default;
  void attach(wxSlider* slider, wxStaticText* text, const reslice_info& plane);
  // New frames: returns true when the planes are to take the slider's value
  // (t), false when the slider has moved to the first plane's thickness.
  bool frames_changed(const reslice_info& plane, double& t);
  // The half-thickness of the slider's position, shown in the text.
  double show_position(int position);

 private:
  wxSlider* slider_ = nullptr;
  wxStaticText* text_ = nullptr;
  double limit_ = 0.0;
};

// Refills a crop choice ("(none)", the surfaces of the objects in use,
// "(all)") with page frozen. After a surface was replaced "(none)" is
// selected; otherwise the object selected before stays selected wherever it
// now stands. Returns the object now selected.
int32_t refill_crop_choice(wxWindow* page, wxChoice* choice, bool surface_replaced);

// Whether a page's crop list is out of date after this flush: a surface was
// replaced (not merely recoloured) or the objects changed.
struct crop_refresh {
  bool needed = false;
  bool surface_replaced = false;
};
crop_refresh crop_refresh_of_flush();
