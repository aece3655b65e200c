#include "views/review_segmenter.h"

#include "segmentation/grassfire.h"
#include "views/globcmap.h"

void review_segmenter::contours_from_label(int32_t label, int32_t object, int32_t frame,
                                           int32_t segment_frames) {
  grassfire::contours_from_label(label, object, frame, segment_frames, false);
}

frame_contours_t review_segmenter::segment(const uint8_t* display, int32_t width, int32_t height,
                                           int32_t cx, int32_t cy, int32_t jump,
                                           double tolerance) {
  if (!colour_map) return frame_contours_t();
  return grassfire::segment(display, width, height, cx, cy, jump, tolerance, *colour_map,
                            grassfire::segment_settings::from_resources());
}

void review_segmenter::segment3(int32_t, int32_t, int32_t, int32_t, double) {}
