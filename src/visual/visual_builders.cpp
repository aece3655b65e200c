#include "visual/visual_builders.h"

#include "registry/resource_table.h"
#include "views/panorama_internals.h"
#include "views/reslice_internals.h"

void delete_visual_builders(const visual_change_plan& plan) {
  resource_table_t& t = *resource_table;
  for (int b : plan.deleted) {
    if (b == kPanoramaBuilder) {
      delete t.RES_PANORAMA->read();  // its destructor clears RES_PANORAMA
    } else if (b >= 0 && b < resource_table_t::kReslicePlaneCount) {
      delete t.RESLICE->read()[b].builder;  // and detaches itself
    }
  }
}

panorama_internals* create_visual_builders(const visual_change_plan& plan) {
  resource_table_t& t = *resource_table;
  panorama_internals* panorama = nullptr;
  for (int b : plan.created) {
    if (b == kPanoramaBuilder) {
      panorama = new panorama_internals(plan.panorama_keeps_size);
      t.RES_PANORAMA->write_no_changeprocs(panorama);
      if (!plan.panorama_keeps_size) t.RES_REDISPLAY_PANORAMA->write_no_changeprocs();
      base_res_t::make_pending_writes_happen();
    } else if (b >= 0 && b < resource_table_t::kReslicePlaneCount && !t.RESLICE->read()[b].builder) {
      new reslice_internals(b, 0, 0);  // it attaches itself to the plane
    }
  }
  if (panorama && plan.panorama_keeps_size && panorama->is_panoramic()) {
    t.RES_REDISPLAY_PANORAMA->write_no_changeprocs();
    base_res_t::make_pending_writes_happen();
  }
  return panorama;
}
