// Values of the signed distance map that frame_contours_t::measure returns:
// cells within one pixel of an edge hold the distance from the pixel centre in
// twelfths of a pixel (-12..-1 outside, 1..12 inside, never 0); the rest hold
// one of these two.
#pragma once

#include <cstdint>

constexpr int16_t MAP_INSIDE = 32700;
constexpr int16_t MAP_OUTSIDE = -32700;

struct frame_contours_t;

// Area (pixels^2) that a map of width x height cells marks inside: a cell
// near an edge covers its pixel in proportion to its distance.
double map_inside_area(const int16_t* map, long width, long height);

// Area (pixels^2) that the closed contours enclose by the even-odd rule,
// sampled on rows an eighth of a pixel apart; crossings and touches count
// as the lobes they make. Contours with non-finite coordinates are left out.
double even_odd_area(const frame_contours_t& entry);
