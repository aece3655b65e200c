// What the centre view shows, decided without a window: the shown source
// among the builders that exist, and the Volume page's histogram.
#pragma once

#include <cstdint>
#include <vector>

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
