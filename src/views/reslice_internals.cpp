#include "views/reslice_internals.h"

reslice_internals::reslice_internals(int32_t index, int32_t width, int32_t height) {
  if (index < 0) {
    plane_ = new reslice_info;
    plane_->index = -1;
  } else {
    plane_ = resource_table->RESLICE->read() + index;
  }
  plane_->builder = this;
  if (width > 0 && height > 0) {
    plane_->width = reslice_info::clamp_size(width);
    plane_->height = reslice_info::clamp_size(height);
  }
}

reslice_internals::~reslice_internals() {
  plane_->builder = nullptr;
  if (plane_->index < 0) delete plane_;
}

void reslice_internals::rebuild(bool notify) {
  valid_ = false;
  if (plane_->index < 0) return;
  ++builds_;
  if (notify) {
    if (flag_res_t* flag = resource_table->redisplay_reslice(plane_->index)) flag->write();
  }
}
