// The visualisation notebook of the main window: its pages, what a change of
// page does to the reslice and panorama builders and the lower views, the
// image-save dialog and the window grabs.
#pragma once

#include <functional>

#include <wx/bitmap.h>
#include <wx/string.h>

class centre_canvas;
class corner_canvas;
class outline_canvas;
class review_canvas;
class wxNotebook;
class wxSplitterWindow;
class wxWindow;
class visual_panel;
class reslice_page;
class ortho_page;
class thickness_display_page;
class pressure_page;
class panorama_page;

// The main window's views the notebook arranges and grabs.
struct visual_views {
  wxWindow* top = nullptr;  // parent of the dialogs, its dialog units size the controls
  wxSplitterWindow* splitter = nullptr;
  wxWindow* blank = nullptr;
  centre_canvas* centre = nullptr;
  corner_canvas* corner = nullptr;
  review_canvas* review = nullptr;
  outline_canvas* outline = nullptr;
};

using image_saver = std::function<void(const wxString&, wxBitmapType)>;

// The image-save dialog of the pages' save buttons and the grabs: on OK the
// saver gets the path (a name without a dot takes the filter's extension)
// and the filter's bitmap type.
void save_image_dialog(wxWindow* parent, const wxString& title, const image_saver& saver);

class visual_pages {
 public:
  // Builds pages 0 to 7 on notebook; the Pressure, Panorama and Spine pages
  // leave the notebook again when their switch is off.
  visual_pages(wxNotebook* notebook, const visual_views& views);
  visual_pages(const visual_pages&) = delete;
  visual_pages& operator=(const visual_pages&) = delete;

  // The notebook's page-changed event for page next. Returns the page's
  // help topic, empty when it stays as it was.
  wxString page_changed(int next);

  // The File menu's grabs; the lower views only while shown.
  void grab_review();
  void grab_3d();
  void grab_centre();
  void grab_right();

  int track_unit() const { return track_unit_; }
  visual_panel* page(int number) const { return number >= 0 && number < 8 ? pages_[number] : nullptr; }
  reslice_page* reslice() const { return reslice_; }
  ortho_page* ortho() const { return ortho_; }
  thickness_display_page* thickness_display() const { return thickness_; }
  pressure_page* pressure() const { return pressure_; }
  panorama_page* panorama() const { return panorama_; }
  // Whether the OpenGL 3.0 warning has been given.
  bool gl3_warned() const { return gl3_warned_; }

 private:
  void arrange_lower_views(int arrangement);

  wxNotebook* notebook_;
  visual_views views_;
  int track_unit_ = 0;
  visual_panel* pages_[8] = {};
  reslice_page* reslice_ = nullptr;
  ortho_page* ortho_ = nullptr;
  thickness_display_page* thickness_ = nullptr;
  pressure_page* pressure_ = nullptr;
  panorama_page* panorama_ = nullptr;
  // The main window lives for the run: the warning is given once per run.
  bool gl3_warned_ = false;
};
