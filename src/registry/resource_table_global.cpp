#include "registry/resource_table.h"

// The table itself is built by nv_resources, above the engines; the pointer
// and the lookups that need no held object stay with the declaration, so that
// every layer can read resources.
resource_table_t* resource_table = nullptr;

flag_res_t* resource_table_t::redisplay_reslice(int index) const {
  switch (index) {
    case 0: return RES_REDISPLAY_RESLICE0;
    case 1: return RES_REDISPLAY_RESLICE1;
    case 2: return RES_REDISPLAY_RESLICE2;
    case 3: return RES_REDISPLAY_RESLICE3;
    default: return nullptr;
  }
}
