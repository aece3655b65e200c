// The seven thickness colour maps, chosen by RES_THICKNESS_DISP_COL: 256 RGB
// entries each; entry 0 is the colour of no value, 1 and 255 mark values
// below and above the scale, 2 to 254 run through the scale. The table
// itself is the surfaces' (surfaces/thickness_colour_table.h), which colours
// surface files and vertex buffers alike.
#pragma once

#include <cstdint>

#include "surfaces/thickness_colour_table.h"

// Entry `entry` (0..255) of map `map`; a map outside 0..6 counts as map 3.
void thickness_colour(int map, int entry, uint8_t rgb[3]);
