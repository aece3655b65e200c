// The measuring techniques of RES_THICKNESS_TYPE and the option resources
// each one sets. The engine reads only the options (and stops for Offset);
// choosing a technique writes its row of the table.
#pragma once

#include <cstdint>

enum thickness_technique : int32_t {
  thickness_manual = 0,
  thickness_auto_threshold = 1,
  thickness_fwhm = 2,
  thickness_cbm_v1 = 3,
  thickness_cbm_v2 = 4,
  thickness_endo_cbm_v2 = 5,
  thickness_ssc_cbm = 6,
  thickness_hrtc = 7,
  thickness_offset = 8,
};
constexpr int32_t kThicknessTechniques = 9;

// The technique's name as the Thickness page lists it; null outside 0 to 8.
const char* thickness_technique_name(int32_t type);

// One row of the table: -1 leaves an option unchanged, 0 clears it, 1 sets it.
struct thickness_technique_row {
  int8_t fwhm, post_blur, threshold, local_density, endo_model, same_levels;
  // The given values cleared to 1e10.
  bool clear_a, clear_b, clear_c, clear_gauss, clear_rect;
};
const thickness_technique_row& thickness_technique_options(int32_t type);

// Writes the option resources of technique `type` (the current
// RES_THICKNESS_TYPE when negative) in the table's column order, then the
// cleared values; HRTC also sets RES_THICKNESS_WIDTH to 4 when it is 0. Every
// technique but Manual then sets both layer options (off for Offset) and
// clears the metal and in-frame options. Types outside 0 to 8 change nothing.
void thickness_apply_technique(int32_t type = -1);
