// What a change of visualisation page does, without a display: which
// builders are deleted and created and in which order, how the lower view
// splitter is arranged and which help topic follows. Also the image-save
// dialog's naming rule, shared by the pages' save buttons and the grabs.
#pragma once

#include <vector>

#include <wx/bitmap.h>
#include <wx/string.h>

enum visual_page {
  VISUAL_PAGE_BLANK = 0,
  VISUAL_PAGE_ORTHO = 1,
  VISUAL_PAGE_RESLICE = 2,
  VISUAL_PAGE_VOLUME = 3,
  VISUAL_PAGE_THICKNESS = 4,
  VISUAL_PAGE_PRESSURE = 5,
  VISUAL_PAGE_PANORAMA = 6,
  VISUAL_PAGE_SPINE = 7,
  VISUAL_PAGES = 8
};

// A builder: reslice planes 0 to 3, or the panorama.
constexpr int kPanoramaBuilder = 4;

enum class lower_views { unchanged, centre, centre_and_corner, blank };

struct visual_change_plan {
  std::vector<int> deleted;  // each deleted when present, in this order
  lower_views arrangement = lower_views::unchanged;
  // Created in this order; a plane only when its slot is empty, the
  // panorama always anew.
  std::vector<int> created;
  bool panorama_keeps_size = false;  // the Pressure page's panorama
  bool repaint_page = false;         // a page branch ran
};

// The plan for a change from page old to page next (a number outside 1 to 7
// is the Blank page, which runs also when it is already current).
visual_change_plan plan_visual_change(int old, int next);

// The help topic of a page; empty for page 0, which leaves it unchanged.
wxString visual_help_page(int page);

// The image-save dialog's filters.
extern const wchar_t* const kImageSaveWildcard;
extern const wchar_t* const image_save_extensions[4];
extern const wxBitmapType image_save_types[4];

// The path to write for the dialog's chosen path and filter: a file name
// without any "." gets the filter's extension. Filter indices outside 0 to 3
// count as PNG.
wxString image_save_path(const wxString& path, int filter);
wxBitmapType image_save_type(int filter);
