#include "segmentation/image_correlation.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "data/data_io_ui.h"
#include "registry/resource_table.h"

namespace {

// The row every other row is measured against: it stays where it is.
constexpr int32_t kAnchorRow = 10;

// out = (above * (256 - w) + below * w) >> 8; the rows never overlap the
// output.
void blend_rows(const uint8_t* __restrict above, const uint8_t* __restrict below, int w, int32_t width,
                uint8_t* __restrict out) {
  const uint16_t wa = static_cast<uint16_t>(256 - w), wb = static_cast<uint16_t>(w);
  int32_t c = 0;
  // Blocks of a fixed length, which the compiler turns into vector code.
  for (; c + 16 <= width; c += 16) {
    uint16_t block[16];
    for (int i = 0; i < 16; ++i) block[i] = static_cast<uint16_t>(above[c + i] * wa + below[c + i] * wb);
    for (int i = 0; i < 16; ++i) out[c + i] = static_cast<uint8_t>(block[i] >> 8);
  }
  for (; c < width; ++c) out[c] = static_cast<uint8_t>((above[c] * wa + below[c] * wb) >> 8);
}

bool same_doppler_class(int u, int v) { return (u < 128) == (v < 128) && (u < 192) == (v < 192); }

// Copies size bytes of the record's display pixels, or zeros where there are
// none; false when nothing could be copied.
bool copy_display(const frame_image_ref& ref, size_t size, uint8_t* out) {
  const uint8_t* pixels = frame_image_t::display_data(ref);
  if (!pixels || ref->size < 0 || static_cast<size_t>(ref->size) < size) {
    std::memset(out, 0, size);
    return false;
  }
  std::memcpy(out, pixels, size);
  return true;
}

}  // namespace

image_correlation::image_correlation(bool show_progress, bool correct_pressure)
    : correct_pressure(correct_pressure) {
  matrix4_identity(position_drift);
  matrix4_identity(pressure_drift);
  matrix4_identity(calibration);
  matrix4_identity(calibration_inverse);
  if (!resource_table) {
    valid = false;
    return;
  }
  const resource_table_t& t = *resource_table;
  if (t.RES_BUF_HEIGHT->read() < 40)
    invalidate(wxString::Format("Frames of %li rows are too small to correct (at least 40 are needed).",
                                long(t.RES_BUF_HEIGHT->read())));
  else if (!t.RES_POS_REC->read())
    invalidate("The data carry no recorded positions to correct.");
  x_trans = t.RES_XTRANS->read();
  y_trans = t.RES_YTRANS->read();
  z_trans = t.RES_ZTRANS->read();
  azimuth = t.RES_AZIMUTH->read();
  elevation = t.RES_ELEVATION->read();
  roll = t.RES_ROLL->read();
  y_scale = t.RES_YSCALE->read();
  x_scale = t.RES_XSCALE->read();
  matrix4_from_position(calibration, x_trans, y_trans, z_trans, azimuth, elevation, roll);
  matrix4_inverse_from_position(calibration_inverse, x_trans, y_trans, z_trans, azimuth, elevation, roll);
  try {
    if (correct_pressure) row_increments.assign(static_cast<size_t>(std::max(t.RES_BUF_HEIGHT->read(), 0)), 0.0f);
  } catch (const std::bad_alloc&) {
    invalidate("There is not enough memory to correct probe pressure.");
  }
  if (show_progress) {
    const long frames = t.RES_BUF_FRAMES->read();
    progress_ = current_data_ui().start_progress(
        correct_pressure ? "Correcting positions and probe pressure from image data\n"
                         : "Correcting positions from image data\n",
        wxString::Format("Currently correcting frame 0 of %li.", frames), static_cast<int>(frames),
        data_io_ui::PROGRESS_MODAL | data_io_ui::PROGRESS_TIMES | data_io_ui::PROGRESS_CANCEL);
  }
}

image_correlation::~image_correlation() = default;

void image_correlation::invalidate(const wxString& why) {
  if (valid || failure_.empty()) failure_ = why;
  valid = false;
}

bool image_correlation::start_record(int32_t k, correlation_frame_t& out) const {
  if (!frame_store || !resource_table) return false;
  position_ref recorded = frame_store->positioncp(k);
  if (!recorded) return false;
  correlation_frame_t r;
  r.frame = k;
  r.image = frame_store->imagecp(k);
  matrix4_t position;
  matrix4_from_position_t(position, *recorded);
  matrix4_multiply(position, r.recorded_pose, calibration);
  r.corrected_pose = r.recorded_pose;
  const position_t& p = *recorded;
  const float values[6] = {p.x, p.y, p.z, p.azimuth, p.elevation, p.roll};
  std::copy(values, values + 6, r.corrected_position);
  if (correct_pressure)
    r.row_offsets.assign(static_cast<size_t>(std::max(resource_table->RES_BUF_HEIGHT->read(), 0)), 0.0f);
  out = std::move(r);
  return true;
}

int32_t image_correlation::record_index(int32_t k) const {
  if (!valid) return -1;
  for (size_t i = 0; i < finished.size(); ++i)
    if (finished[i].frame == k) return static_cast<int32_t>(i);
  return -1;
}

position_ref image_correlation::corrected_position(int32_t k) const {
  const int32_t i = record_index(k);
  if (i < 0) return frame_store ? frame_store->positioncp(k) : position_ref();
  const float* c = finished[static_cast<size_t>(i)].corrected_position;
  position_t p;
  p.x = c[0];
  p.y = c[1];
  p.z = c[2];
  p.azimuth = c[3];
  p.elevation = c[4];
  p.roll = c[5];
  try {
    return position_holder_t::create(p);
  } catch (const std::bad_alloc&) {
    return position_ref();
  }
}

void image_correlation::corrected_image(int32_t k, uint8_t* out) const {
  if (!out || !resource_table) return;
  const int32_t w = std::max(resource_table->RES_BUF_WIDTH->read(), 0);
  const int32_t h = std::max(resource_table->RES_BUF_HEIGHT->read(), 0);
  const size_t size = static_cast<size_t>(w) * h;
  const int32_t i = record_index(k);
  if (i < 0) {
    if (frame_store) copy_display(frame_store->imagecp(k), size, out);
    else std::memset(out, 0, size);
    return;
  }
  const correlation_frame_t& r = finished[static_cast<size_t>(i)];
  // Offsets that do not cover every row (a positions-only record, or frames
  // of another height since) leave the rows where they are.
  if (h <= kAnchorRow || r.row_offsets.size() < static_cast<size_t>(h)) {
    copy_display(r.image, size, out);
    return;
  }
  const uint8_t* source = frame_image_t::display_data(r.image);
  if (!source || r.image->size < 0 || static_cast<size_t>(r.image->size) < size) {
    std::memset(out, 0, size);
    return;
  }
  pressure_corrected_rows(source, w, h, r.row_offsets.data(), resource_table->RES_BUF_DOPPLER->read(), out);
}

namespace {

// out = (above * (256 - w) + below * w) >> 8 for 16-bit values.
void blend_rows(const uint16_t* above, const uint16_t* below, int w, int32_t width, uint16_t* out) {
  const uint32_t wa = static_cast<uint32_t>(256 - w), wb = static_cast<uint32_t>(w);
  for (int32_t c = 0; c < width; ++c) out[c] = static_cast<uint16_t>((above[c] * wa + below[c] * wb) >> 8);
}

template <class T>
void nearer_or_blend(const T* above, const T* below, int w, int32_t width, T* out) {
  for (int32_t c = 0; c < width; ++c) {
    const int u = above[c], v = below[c];
    if (sizeof(T) == 1 && same_doppler_class(u, v))
      out[c] = static_cast<T>((u * (256 - w) + v * w) >> 8);
    else
      out[c] = static_cast<T>(256 - w > w ? u : v);
  }
}

template <class T>
void corrected_rows(const T* source, int32_t width, int32_t height, const float* offsets, bool doppler, T* out) {
  if (width <= 0 || height <= kAnchorRow) return;
  const float anchor = offsets[kAnchorRow];
  const size_t row_bytes = static_cast<size_t>(width) * sizeof(T);
  for (int32_t j = 0; j < height; ++j) {
    T* row = out + static_cast<size_t>(j) * width;
    const float x = static_cast<float>(j) + offsets[j] - anchor;
    // A source exactly on the last row takes that row: zeroing it would lose
    // the row of every corrected frame even where nothing was compressed.
    if (x == static_cast<float>(height - 1)) {
      std::memcpy(row, source + static_cast<size_t>(height - 1) * width, row_bytes);
      continue;
    }
    // Also refuses a NaN, which compares false everywhere.
    if (!(x >= 0.0f && x < static_cast<float>(height - 1))) {
      std::memset(row, 0, row_bytes);
      continue;
    }
    const int32_t b = static_cast<int32_t>(x);
    const int w = static_cast<int>((x - static_cast<float>(b)) * 256.0f);
    const T* above = source + static_cast<size_t>(b) * width;
    const T* below = above + width;
    if (w == 0)  // on a source row: (u * 256) >> 8 is u
      std::memcpy(row, above, row_bytes);
    else if (!doppler)
      blend_rows(above, below, w, width, row);
    else
      nearer_or_blend(above, below, w, width, row);
  }
}

}  // namespace

void pressure_corrected_rows(const uint8_t* source, int32_t width, int32_t height, const float* offsets,
                             bool doppler, uint8_t* out) {
  corrected_rows(source, width, height, offsets, doppler, out);
}

void pressure_corrected_rows(const uint16_t* source, int32_t width, int32_t height, const float* offsets,
                             bool doppler, uint16_t* out) {
  corrected_rows(source, width, height, offsets, doppler, out);
}
