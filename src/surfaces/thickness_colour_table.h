// The seven colour maps that colour surfaces by their vertices' thickness
// colour index, chosen by RES_THICKNESS_DISP_COL in the order of the
// Thickness page's colour-map names. Entry 0 is the colour of a vertex
// without a value, 1 and 255 mark values below and above the scale, 2 to 254
// run through the scale.
#pragma once

#include <cstdint>

constexpr int kThicknessColourMaps = 7;

using thickness_colour_map = uint8_t[256][3];

// The seven maps of 256 red, green, blue entries.
const thickness_colour_map* thickness_colour_table();

// Entry `entry` (clamped to 0..255) of map `map`; a map outside 0..6 counts
// as map 3, the default.
const uint8_t* thickness_colour_entry(int map, int entry);
