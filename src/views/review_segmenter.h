// The review view's single-click segmentation: thresholded data through the
// 2D region growth (or through the frame stack in 3D) with the display colour
// map as the band, labelled data through the label tracer.
#pragma once

#include <functional>
#include <memory>

#include "segmentation/grassfire_volume.h"
#include "views/contour_editor.h"

class review_segmenter final : public click_segmenter {
 public:
  using progress_factory = std::function<std::unique_ptr<grassfire::volume_progress>()>;
  // Without a factory the stack segmentation shows a progress dialog over the
  // top window.
  explicit review_segmenter(progress_factory progress = {});

  void contours_from_label(int32_t label, int32_t object, int32_t frame,
                           int32_t segment_frames) override;
  // Nothing without a colour map.
  frame_contours_t segment(const uint8_t* display, int32_t width, int32_t height, int32_t cx,
                           int32_t cy, int32_t jump, double tolerance) override;
  void segment3(int32_t frame, int32_t cx, int32_t cy, int32_t jump, double tolerance) override;

 private:
  progress_factory progress_;
};

// A modal progress dialog over the top window, made on the first pulse.
class dialog_volume_progress final : public grassfire::volume_progress {
 public:
  dialog_volume_progress();
  ~dialog_volume_progress() override;
  bool pulse(const wxString& message) override;

 private:
  struct impl;
  std::unique_ptr<impl> d_;
};
