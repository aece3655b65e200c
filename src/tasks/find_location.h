// Where a 3D point lies in the recording: the frame whose plane is nearest
// it and the pixel it falls on there. The views go to that frame when a page
// finds an object, a landmark or a curve.
#pragma once

#include <cstdint>
#include <vector>

#include "data/dynabuf.h"
#include "data/geometry.h"
#include "views/review_coords.h"

struct frame_location {
  int32_t frame = -1;  // -1: no frame with a position
  int32_t x = 0, y = 0;  // pixel, each truncated toward zero
  double distance = 0;   // |distance| of the point from the frame plane, cm
};

// The nearest of the frames (positions[i] for frame i; null: frame without
// a position record, passed over). Ties keep the earlier frame.
frame_location nearest_frame(const image_calibration_t& c, const std::vector<const position_t*>& positions,
                             const vec3_t& point);

// The same over the loaded frames and the calibration resources; frame -1
// when the data have no probe positions (RES_POS_REC off) or no frames.
frame_location locate_in_frames(const vec3_t& point);
