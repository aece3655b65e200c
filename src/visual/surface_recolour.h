// Surfaces written back to their resource only to show new colours. The views
// redraw them as for any write; the pages that crop to a surface or rebuild a
// volume from it ask here first, so that a new colour scale keeps their
// settings and starts no rebuild.
#pragma once

#include <cstdint>

// Marks object's surface as recoloured until the event being handled is done.
void mark_surface_recoloured(int32_t object);
// True when object's surface resource changed in this flush only because it
// was recoloured.
bool surface_only_recoloured(int32_t object);
// True when one of the surfaces of objects 0 to count - 1 changed in this
// flush for more than its colours.
bool surfaces_replaced(int32_t count);
