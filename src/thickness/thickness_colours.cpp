#include "thickness/thickness_colours.h"

void thickness_colour(int map, int entry, uint8_t rgb[3]) {
  const uint8_t* c = thickness_colour_entry(map, entry);
  for (int i = 0; i < 3; ++i) rgb[i] = c[i];
}
