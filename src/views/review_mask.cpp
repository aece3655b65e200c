#include "views/review_mask.h"

#include "data/dynabuf.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"

namespace {

bool frames_have_raw_values() {
  if (!frame_store) return false;
  for (const frame_image_ref& f : frame_store->images)
    if (f && f->raw) return true;
  return false;
}

void clear_mask(mask_region_t& mask) {
  mask.raster.reset();
  mask.region = frame_contours_t();
  mask.region.frame = -1;
}

}  // namespace

bool mask_region_t::inside(int32_t column, int32_t row) const {
  if (!raster) return false;
  const int32_t i = column - region.box_x;
  const int32_t j = row - region.box_y;
  if (i < 0 || j < 0 || i >= region.box_width || j >= region.box_height) return false;
  return raster[static_cast<size_t>(j) * region.box_width + i] >= 1;
}

wxString mask_question(bool dicom, bool raw16) {
  if (dicom && raw16)
    // Only the display of 16-bit values is masked; say so, since a new display
    // window brings the data back.
    return "Mask all recorded data using displayed region?\n\nThis will temporarily delete all data "
           "outside this mask, until the display window is changed.\nHowever the saved data will "
           "not be affected.";
  if (dicom)
    return "Mask all recorded data using displayed region?\n\nThis will temporarily delete all data "
           "outside this mask.\nHowever the saved data will not be affected.";
  return "Mask all recorded data using displayed region?\n\nThis will permanently delete all data "
         "outside this mask.";
}

bool mask_data(mask_region_t& mask, const contour_t* outline, mask_ui& ui) {
  resource_table_t& t = *resource_table;
  if (mask.region.contours.empty()) {
    mask.region = frame_contours_t();
    mask.region.frame = t.RES_BUF_CURRENT_FRAME->read();
    if (outline) mask.region.contours.push_back(*outline);
  }
  if (mask.region.contours.empty() || mask.region.contours.front().vertices.size() < 3) {
    clear_mask(mask);
    return false;
  }
  mask.raster = mask.region.measure(1, false);
  if (!mask.raster) {
    clear_mask(mask);
    return false;
  }
  ui.show_region();
  const bool dicom = t.RES_BUF_DICOM->read();
  if (!ui.ask("Mask data", mask_question(dicom, frames_have_raw_values()))) {
    clear_mask(mask);
    return false;
  }
  const int32_t frames = t.RES_BUF_FRAMES->read();
  const int32_t width = t.RES_BUF_WIDTH->read();
  const int32_t height = t.RES_BUF_HEIGHT->read();
  const bool zero_becomes_one = dicom || t.RES_MASKED_DATA->read() == 0;
  ui.progress_start("Mask data", wxString::Format("Currently masking frame 0 of %li.\n",
                                                  static_cast<long>(frames)),
                    frames);
  for (int32_t i = 0; i < frames; ++i) {
    frame_image_ref image = frame_store->imagecp(i);
    uint8_t* pixels = frame_image_t::display_data(image);
    const int64_t count = static_cast<int64_t>(width) * height;
    if (pixels && image->size >= count) {
      for (int32_t row = 0; row < height; ++row) {
        uint8_t* line = pixels + static_cast<size_t>(row) * width;
        for (int32_t column = 0; column < width; ++column) {
          if (!mask.inside(column, row))
            line[column] = 0;
          else if (line[column] == 0 && zero_becomes_one)
            line[column] = 1;
        }
      }
    }
    ui.progress_update(i, wxString::Format("Currently masking frame %i of %li.", i,
                                           static_cast<long>(frames)));
  }
  // Native frames are now changed data, to be saved with the file.
  if (!dicom) t.RES_BIN_IM_FILENAME->write_no_changeprocs(t.RES_BIN_IM_FILENAME->read());
  t.RES_MASKED_DATA->write_no_changeprocs(t.RES_MASKED_DATA->read() + 1);
  base_res_t::make_pending_writes_happen();
  ui.progress_finish();
  clear_mask(mask);
  return true;
}

bool reset_mask_after_windowing() {
  resource_table_t& t = *resource_table;
  if (t.RES_MASKED_DATA->read() <= 0 || !frames_have_raw_values()) return false;
  t.RES_MASKED_DATA->write(0);
  return true;
}
