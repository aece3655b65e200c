// The pages' track controls: the Pressure page's line grid on plane 3, and the
// Panorama page's report on the data.
#pragma once

#include "visual/reslice_page.h"
#include "visual/visual_page.h"

class outline_canvas;
class trackball;
class trackgrid;
class trackzgrid;
class wxStaticText;

class pressure_page final : public visual_panel {
 public:
  pressure_page(wxNotebook* notebook, bool present, int unit);

  trackzgrid* move_normal = nullptr;
};

class panorama_page final : public visual_panel {
 public:
  panorama_page(wxNotebook* notebook, bool present);

  // Tells whether the current panorama found the data panoramic.
  void show_panoramic(bool panoramic);

  wxStaticText* state = nullptr;
};
