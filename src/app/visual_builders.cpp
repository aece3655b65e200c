#include "app/visual_builders.h"

#include "registry/resource_table.h"
#include "views/panorama_internals.h"
#include "views/reslice_internals.h"

visual_page_builders builders_for_page(const wxString& title) {
  visual_page_builders b;
  if (title == "Ortho") {
    b.planes[1] = b.planes[2] = true;
  } else if (title == "Reslice") {
    b.planes[0] = true;
  } else if (title == "Pressure") {
    b.planes[3] = true;
    b.panorama = true;
    b.keep_size = true;
  } else if (title == "Panorama") {
    b.panorama = true;
  } else if (title == "Spine") {
    b.planes[3] = true;
  }
  return b;
}

void apply_visual_builders(const visual_page_builders& want) {
  resource_table_t& t = *resource_table;
  // The old panorama goes first; its destructor clears RES_PANORAMA.
  delete t.RES_PANORAMA->read();
  reslice_info* planes = t.RESLICE->read();
  for (int k = 0; k < resource_table_t::kReslicePlaneCount && k < 4; ++k) {
    if (want.planes[k] && !planes[k].builder)
      new reslice_internals(k, 0, 0);  // it attaches itself to the plane
    else if (!want.planes[k] && planes[k].builder)
      delete planes[k].builder;  // and detaches itself
  }
  if (!want.panorama) return;
  auto* panorama = new panorama_internals(want.keep_size);
  t.RES_PANORAMA->write_no_changeprocs(panorama);
  if (!want.keep_size || panorama->is_panoramic()) t.RES_REDISPLAY_PANORAMA->write_no_changeprocs();
  base_res_t::make_pending_writes_happen();
}
