// The Spine display page's state as the main window keeps it.
#pragma once

#include <cstdint>

// What the Spine display page shows, kept by the main window; the 3D view
// only reads it.
struct spine_display_state {
  double centre[3] = {0.0, 0.0, 0.0};
  double lateral[3] = {1.0, 0.0, 0.0};
  double axial[3] = {0.0, 0.0, 1.0};
  double dorsal[3] = {0.0, 1.0, 0.0};
  double cobb_reference[3] = {0.0, 0.0, 0.0};
  int32_t end_level_a = -1;
  int32_t end_level_b = -1;
  bool show_axes = false;
};

// The spine landmark the Spine page asked for that does not exist yet, kept
// by the main window: part -1 when none. The 3D view's mark tool places it.
struct spine_landmark_request {
  int32_t part = -1;
  int32_t level = 0;
};
