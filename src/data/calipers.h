// The measurement calipers shared by the three 2D views, held by value in
// RES_CALIPERS.
#pragma once

#include <cstdint>

struct calipers_t {
  // The two points, in image pixels of the view that owns them.
  double first_x = 0.0;
  double first_y = 0.0;
  double second_x = 0.0;
  double second_y = 0.0;
  bool first_set = false;
  bool second_set = false;
  // The owning view: 0 review, 1 centre, 2 corner.
  int32_t view = 0;
};

inline bool operator==(const calipers_t& a, const calipers_t& b) {
  return a.first_x == b.first_x && a.first_y == b.first_y && a.second_x == b.second_x &&
         a.second_y == b.second_y && a.first_set == b.first_set && a.second_set == b.second_set &&
         a.view == b.view;
}
inline bool operator!=(const calipers_t& a, const calipers_t& b) { return !(a == b); }
