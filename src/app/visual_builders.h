// Which image builders a visualisation page computes, and their creation and
// deletion when the page changes: a shared reslice builder exists only while
// a page that shows its plane is selected, the panorama builder only while
// the Panorama or the Pressure page is.
#pragma once

#include <wx/string.h>

struct visual_page_builders {
  bool planes[4] = {false, false, false, false};
  bool panorama = false;
  bool keep_size = false;  // the Pressure page's panorama never shrinks
};

// By the page's title: "Blank", "Ortho", "Reslice", "Volume", "Thickness",
// "Pressure", "Panorama" or "Spine"; any other page has no builders.
visual_page_builders builders_for_page(const wxString& title);

// Creates the builders the page needs and deletes the others; the panorama
// builder is always made anew, so that a page starts with alignment 0 and
// no correction. Raises the panorama's redisplay flag when it is shown.
void apply_visual_builders(const visual_page_builders& want);
