// The review view's single-click segmentation: thresholded data through the
// 2D region growth with the display colour map as the band, labelled data
// through the label tracer.
#pragma once

#include "views/contour_editor.h"

class review_segmenter final : public click_segmenter {
 public:
  void contours_from_label(int32_t label, int32_t object, int32_t frame,
                           int32_t segment_frames) override;
  // Nothing without a colour map.
  frame_contours_t segment(const uint8_t* display, int32_t width, int32_t height, int32_t cx,
                           int32_t cy, int32_t jump, double tolerance) override;
  // The segmentation through the frames is not built yet: nothing happens.
  void segment3(int32_t frame, int32_t cx, int32_t cy, int32_t jump, double tolerance) override;
};
