// Values of the signed distance map that frame_contours_t::measure returns:
// cells within one pixel of an edge hold the distance from the pixel centre in
// twelfths of a pixel (-12..-1 outside, 1..12 inside, never 0); the rest hold
// one of these two.
#pragma once

#include <cstdint>

constexpr int16_t MAP_INSIDE = 32700;
constexpr int16_t MAP_OUTSIDE = -32700;
