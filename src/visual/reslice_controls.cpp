#include "visual/reslice_controls.h"

#include <algorithm>
#include <vector>

#include <wx/choice.h>
#include <wx/slider.h>
#include <wx/stattext.h>
#include <wx/toplevel.h>

#include "data/objects.h"
#include "data/reslice_info.h"
#include "registry/resource_table.h"
#include "visual/reslice_math.h"
#include "visual/surface_recolour.h"

int dialog_width(wxWindow* window, int x) {
  wxWindow* top = wxGetTopLevelParent(window);
  return (top ? top : window)->ConvertDialogToPixels(wxSize(x, 0)).x;
}

double current_slab_limit() {
  resource_table_t& t = *resource_table;
  return reslice_slab_limit(t.RES_BUF_WIDTH->read(), t.RES_BUF_HEIGHT->read(), t.RES_XSCALE->read(),
                            t.RES_YSCALE->read());
}

bool applies_reslice_value(const wxScrollEvent& event) {
  const wxEventType type = event.GetEventType();
  return type == wxEVT_SCROLL_THUMBRELEASE || type == wxEVT_SCROLL_CHANGED;
}

void show_reslice_opacity(wxSlider* slider, wxStaticText* text) {
  const double opacity = resource_table->RES_RESLICE_OPACITY->read();
  slider->SetValue(static_cast<int>(100.0 * opacity));
  text->SetLabel(reslice_value_text(opacity));
}

void apply_reslice_opacity(int position, wxStaticText* text) {
  text->SetLabel(reslice_value_text(position / 100.0));
  resource_table->RES_RESLICE_OPACITY->write(position / 100.0);
}

void slab_thickness_control::attach(wxSlider* slider, wxStaticText* text, const reslice_info& plane) {
  slider_ = slider;
  text_ = text;
  limit_ = current_slab_limit();
  slider_->SetValue(reslice_thickness_position(plane.half_thickness, limit_));
  text_->SetLabel(reslice_thickness_text(plane.half_thickness));
}

bool slab_thickness_control::frames_changed(const reslice_info& plane, double& t) {
  // Data closed: the frame size of the next data is compared with the last.
  if (resource_table->RES_BUF_FRAMES->read() <= 0) {
    t = plane.half_thickness;
    return false;
  }
  const double limit = current_slab_limit();
  if (limit != limit_) {
    limit_ = limit;
    t = show_position(slider_->GetValue());
    return true;
  }
  // Same frame size: the planes keep what they hold, a file's value included.
  slider_->SetValue(reslice_thickness_position(plane.half_thickness, limit_));
  text_->SetLabel(reslice_thickness_text(plane.half_thickness));
  t = plane.half_thickness;
  return false;
}

double slab_thickness_control::show_position(int position) {
  const double t = reslice_half_thickness(position, limit_ > 0.0 ? limit_ : current_slab_limit());
  text_->SetLabel(reslice_thickness_text(t));
  return t;
}

int32_t refill_crop_choice(wxWindow* page, wxChoice* choice, bool surface_replaced) {
  resource_table_t& t = *resource_table;
  const int before = choice->GetSelection();
  const int32_t selected = surface_replaced || before == wxNOT_FOUND
                               ? kCropNone
                               : crop_object_of(choice->GetClientData(static_cast<unsigned>(before)));
  const int32_t count = std::min<int32_t>(t.CURRENT_MAX_OBJECTS->read(), 200);
  const contour_object* objects = t.RES_OBJECT->read();
  std::vector<wxString> names;
  std::vector<bool> has_surface;
  for (int32_t k = 0; k < count; ++k) {
    names.push_back(objects ? objects[k].name : wxString());
    has_surface.push_back(t.RES_SURFACE[k]->read() != nullptr);
  }
  const std::vector<crop_item> items = crop_items(names, has_surface);
  page->Freeze();
  choice->Clear();
  for (const crop_item& item : items) choice->Append(item.label, crop_client_data(item.object));
  choice->Enable(items.size() > 1);
  const int position = crop_position(items, selected);
  choice->SetSelection(position);
  page->Thaw();
  return items[static_cast<size_t>(position)].object;
}

crop_refresh crop_refresh_of_flush() {
  crop_refresh r;
  r.surface_replaced = surfaces_replaced(200);
  r.needed = r.surface_replaced || resource_table->OBJECT->changed_in_flush();
  return r;
}
