#include "medical/volume_reader_support.h"

#include <cstring>
#include <vector>

#include <wx/filename.h>
#include <wx/log.h>
#include <wx/wfstream.h>
#include <wx/zstream.h>

#include "medical/dicom_utility.h"
#include "medical/reader_state.h"

volume_stream::volume_stream() = default;
volume_stream::~volume_stream() { close(); }

bool volume_stream::open(const wxString& path, int64_t offset, bool decompress) {
  close();
  if (offset < 0) return false;
  wxLogNull quiet;
  file_ = std::make_unique<wxFFileInputStream>(path, "rb");
  if (!file_->IsOk()) {
    close();
    return false;
  }
  if (offset > 0 && file_->SeekI(wxFileOffset(offset)) == wxInvalidOffset) {
    close();
    return false;
  }
  in_ = file_.get();
  if (decompress) {
    zlib_ = std::make_unique<wxZlibInputStream>(*file_, wxZLIB_AUTO);
    in_ = zlib_.get();
  }
  return true;
}

void volume_stream::close() {
  in_ = nullptr;
  zlib_.reset();
  file_.reset();
}

bool volume_stream::is_open() const { return in_ != nullptr; }

bool volume_stream::read(void* buf, int64_t n) {
  if (!in_ || n < 0) return false;
  if (n == 0) return true;
  wxLogNull quiet;
  char* p = static_cast<char*>(buf);
  while (n > 0) {
    const size_t chunk = size_t(std::min<int64_t>(n, int64_t(1) << 30));
    in_->Read(p, chunk);
    const size_t got = in_->LastRead();
    if (got != chunk) return false;
    p += got;
    n -= int64_t(got);
  }
  return true;
}

bool volume_stream::skip(int64_t n) {
  if (!in_ || n < 0) return false;
  if (n == 0) return true;
  wxLogNull quiet;
  if (!zlib_) {
    const wxFileOffset at = file_->TellI();
    if (at == wxInvalidOffset || n > INT64_MAX - int64_t(at)) return false;
    return file_->SeekI(at + wxFileOffset(n)) != wxInvalidOffset;
  }
  std::vector<char> scratch(65536);
  while (n > 0) {
    const int64_t chunk = std::min<int64_t>(n, int64_t(scratch.size()));
    if (!read(scratch.data(), chunk)) return false;
    n -= chunk;
  }
  return true;
}

int64_t volume_stream::file_size() const {
  if (!file_) return -1;
  const wxFileOffset len = file_->GetLength();
  return len == wxInvalidOffset ? -1 : int64_t(len);
}

position_t frame_location(const vec3_t& origin_cm, const vec3_t& column, const vec3_t& row) {
  const vec3_t x = vec3_normalise(column), y = vec3_normalise(row);
  matrix4_t m;
  matrix4_identity(m);
  matrix4_set_translation(m, origin_cm);
  matrix4_set_x_axis(m, x);
  matrix4_set_y_axis(m, y);
  matrix4_set_z_axis(m, vec3_normalise(vec3_cross(x, y)));
  double px, py, pz, az, el, ro;
  matrix4_to_position(m, px, py, pz, az, el, ro);
  return {float(px), float(py), float(pz), float(az), float(el), float(ro)};
}

void record_frame(int frame, const position_t& location, double pixel_x_mm, double pixel_y_mm,
                  position_t* position) {
  frame_file_info_t& info = dicom_utility::frame_file_info;
  if (info.ensure(frame)) {
    info.location[size_t(frame)] = location;
    info.pixel_size_x[size_t(frame)] = pixel_x_mm;
    info.pixel_size_y[size_t(frame)] = pixel_y_mm;
    info.content_time[size_t(frame)] = 0;
  }
  dicom_utility::locations_from_file = true;
  if (position) *position = location;
}

void detect_corner_padding(const uint16_t* raw, int32_t columns, int32_t rows, double slope,
                           double intercept) {
  dicom_utility::padding_value = 0;
  if (!raw || columns < 1 || rows < 1) return;
  const size_t last_row = size_t(rows - 1) * size_t(columns);
  const uint16_t v = raw[0];
  if (raw[size_t(columns - 1)] != v || raw[last_row] != v || raw[last_row + size_t(columns - 1)] != v)
    return;
  // Background of ordinary value (an MR's zero, say) is data: it stays as read.
  if (slope * double(v) + intercept > -1000.0) return;
  dicom_utility::padding_value = v;
  if (dicom_utility::value_units == "??") {
    dicom_utility::value_units = "HU";
    write_pending_string(L"RES_DICOM_UNITS", dicom_utility::value_units);
  }
}

void write_volume_description(const wxString& path, int32_t columns, int32_t rows, int32_t frames,
                              double xscale_cm, double yscale_cm, double centre, double width,
                              double slope, double intercept) {
  write_pending_bool(L"RES_BUF_DICOM", true);
  write_pending_long(L"RES_BUF_WIDTH", columns);
  write_pending_long(L"RES_BUF_HEIGHT", rows);
  write_pending_bool(L"RES_POS_REC", true);
  write_pending_flag_string(L"RES_BIN_IM_FILENAME", wxFileName(path).GetFullPath());
  write_pending_double(L"RES_XSCALE", xscale_cm);
  write_pending_double(L"RES_YSCALE", yscale_cm);
  for (const wchar_t* r : {L"RES_XTRANS", L"RES_YTRANS", L"RES_ZTRANS", L"RES_AZIMUTH",
                           L"RES_ELEVATION", L"RES_ROLL"})
    write_pending_double(r, 0.0);
  write_pending_double(L"RES_DICOM_WIN_CENTRE", centre);
  write_pending_double(L"RES_DICOM_WIN_WIDTH", width);
  write_pending_double(L"RES_DICOM_HUM", slope);
  write_pending_double(L"RES_DICOM_HUB", intercept);
  write_pending_string(L"RES_DICOM_UNITS", dicom_utility::value_units);
  write_pending_long(L"RES_BUF_FRAMES", frames);
}

int32_t data_set_frames() { return pending_long(L"RES_BUF_FRAMES", 0); }

void invert_sign_bits(uint16_t* values, size_t n) {
  // Four samples a word; the compiler keeps memcpy as plain loads and stores.
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    uint64_t w;
    std::memcpy(&w, values + i, 8);
    w ^= 0x8000800080008000ull;
    std::memcpy(values + i, &w, 8);
  }
  for (; i < n; ++i) values[i] ^= 0x8000u;
}

void swap_sample_bytes(uint16_t* values, size_t n, bool invert_sign) {
  // Four samples a word, as in invert_sign_bits.
  const uint64_t sign = invert_sign ? 0x8000800080008000ull : 0;
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    uint64_t w;
    std::memcpy(&w, values + i, 8);
    w = (((w & 0x00FF00FF00FF00FFull) << 8) | ((w >> 8) & 0x00FF00FF00FF00FFull)) ^ sign;
    std::memcpy(values + i, &w, 8);
  }
  for (; i < n; ++i) values[i] = uint16_t(uint16_t((values[i] >> 8) | (values[i] << 8)) ^ uint16_t(sign));
}
