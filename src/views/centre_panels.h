// What the centre view shows, decided without a window: the shown source
// among the builders that exist, and the Volume page's histogram.
#pragma once

#include <cstdint>
#include <vector>

#include "views/plane_view_tools.h"

// The shown plane is plane 0, else 3, else 2 of RESLICE, whichever has a
// builder; the panorama is shown when RES_PANORAMA holds a builder and there
// is no shown plane or the data are panoramic; otherwise the shown plane's
// image, when the plane is defined.
struct centre_source {
  int32_t plane = -1;      // the shown plane, -1 none
  bool panorama = false;   // the panorama is shown
  bool plane_image = false;  // the shown plane's image is shown
};
centre_source find_centre_source();

// The histogram of the sampled frames (about 300 frames, rows and columns at
// most per direction), bins normalised to 0..1 on a log scale, and the data
// values of the first and last bin.
struct volume_histogram {
  std::vector<float> bins;  // empty: too little data
  float low = 0.0f, high = 0.0f;
};
// raw16: the frames' 16-bit values (DICOM-backed data that are not 8-bit),
// else their display bytes; padding: the raw value of padding pixels.
volume_histogram compute_volume_histogram(bool raw16, uint16_t padding);

// Where the Volume page's panel puts things in a client area of cw x ch with
// font height p: the graph, the data range (calibrated for 16-bit data), the
// display window's fractions f0 and f1 at the range's ends, and the twelve
// handles the mouse tools drag (0 and 1 the window's ends, 2.. the rows of
// RES_VOLUME; an x scale of 0 marks one that is not shown). ok is false when
// there is nothing to draw: too few bins, or a range or window of no width.
struct volume_panel_layout {
  bool ok = false;
  bool raw16 = false;
  double x0 = 0.0, gw = 0.0, y0 = 0.0, gh = 0.0;
  double lo = 0.0, hi = 0.0;
  double f0 = 0.0, f1 = 1.0;
  volume_handle_t handles[plane_view_state::kHandles];
  // Window x of window fraction f.
  double x_of(double f) const { return x0 + gw * (f - f0) / (f1 - f0); }
};
volume_panel_layout layout_volume_panel(const volume_histogram& histogram, int32_t p, int32_t cw, int32_t ch,
                                        bool raw16);
