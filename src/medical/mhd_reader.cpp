// The MetaImage reader: a ".mhd" text header naming a raw data file beside
// it. Nothing is kept between calls: both files are opened and closed at
// every call.
#include <algorithm>
#include <string>

#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/log.h>

#include "medical/dicom_utility.h"
#include "medical/reader_state.h"
#include "medical/volume_headers.h"
#include "medical/volume_reader_support.h"


namespace {

constexpr int64_t kMaxHeaderBytes = 1 << 20;

void warn(const wxString& text) { wxLogWarning("dicom_utility::read_mhd_data: %s", text); }

}  // namespace

int read_mhd_data(wxFileName name, int frame, int index, uint16_t* raw, uint8_t* display,
                  position_t* position) {
  const wxString path = name.GetFullPath();
  if (!wxFileExists(path)) return 0;
  mhd_info_t h;
  {
    volume_stream s;
    if (!s.open(path, 0, false)) return 0;
    const int64_t size = s.file_size();
    // A header this large is no MetaImage header.
    if (size <= 0 || size > kMaxHeaderBytes) return 0;
    std::string text(size_t(size), '\0');
    if (!s.read(&text[0], size)) return 0;
    wxString warning;
    const int r = parse_mhd_header(text.data(), text.size(), h, warning);
    if (!warning.empty()) warn(warning);
    if (r <= 0) return r;
  }
  if (index >= h.frames) {
    warn("This MHD file does not contain all the information Norvelith requires.");
    return 0;
  }
  if (index < 0) return 1;

  const wxString data_path = wxFileName(name.GetPath(), h.data_file).GetFullPath();
  volume_stream data;
  const int64_t slice = h.slice_bytes();
  if (!data.open(data_path, 0, false)) {
    warn(wxString::Format("The MHD data file '%s' does not exist or is not openable.", data_path));
    return -1;
  }
  // The voxels the header announces must all be in the data file before
  // anything is read: a short file is refused at once, not frame by frame.
  const int64_t size = data.file_size(), volume = slice * h.frames;
  const int64_t start = h.header_bytes < 0 ? size - volume : h.header_bytes;
  if (size < 0 || start < 0 || size - start < volume) {
    warn(wxString::Format("The MHD data file '%s' holds %lld bytes, fewer than the %lld bytes of "
                          "the %li x %li x %li voxels (after %lld header bytes) that its header "
                          "announces.",
                          data_path, static_cast<long long>(size), static_cast<long long>(volume),
                          long(h.columns), long(h.rows), long(h.frames),
                          static_cast<long long>(std::max<int64_t>(start, 0))));
    return -1;
  }

  // Signed samples are stored offset so that raw values stay unsigned: 16-bit
  // ones by 32768, 8-bit ones by 128.
  const double offset = !h.is_signed ? 0.0 : h.bytes_per_sample == 1 ? -128.0 : -32768.0;
  dicom_utility::file_rescale = {1.0, offset};
  dicom_utility::source_type = "MHD";
  dicom_utility::value_units = "??";

  if (!raw) {
    const bool eight = h.bytes_per_sample == 1;
    write_volume_description(path, h.columns, h.rows, h.frames, h.spacing_mm[0] / 10,
                             h.spacing_mm[1] / 10, eight ? 127 : 2000, eight ? 256 : 4000,
                             dicom_utility::file_rescale.slope, dicom_utility::file_rescale.intercept);
    return h.columns * h.rows;
  }
  dicom_utility::locations_from_file = true;
  dicom_utility::data_16bit = true;
  dicom_utility::patient_coordinates = false;
  dicom_utility::data_8bit = h.bytes_per_sample == 1;
  dicom_utility::padding_value = 0;
  dicom_utility::slice_thickness = h.spacing_mm[2] / 10;
  const vec3_t origin{h.offset_mm[0], h.offset_mm[1], h.offset_mm[2]};
  const vec3_t at =
      vec3_scalar_mul(0.1, origin + vec3_scalar_mul(double(index) * h.spacing_mm[2], h.direction[2]));
  record_frame(frame, frame_location(at, h.direction[0], h.direction[1]), h.spacing_mm[0],
               h.spacing_mm[1], position);

  if (h.columns == pending_long(L"RES_BUF_WIDTH", -1) && h.rows == pending_long(L"RES_BUF_HEIGHT", -1)) {
    const size_t count = size_t(h.columns) * size_t(h.rows);
    const bool ok = data.skip(start + int64_t(index) * slice) &&
                    (h.bytes_per_sample == 1 ? display && data.read(display, int64_t(count))
                                             : data.read(raw, int64_t(count) * 2));
    if (!ok) {
      warn("Unable to read data from MHD file.");
      return -1;
    }
    if (h.bytes_per_sample == 1) {
      if (h.is_signed)
        for (size_t i = 0; i < count; ++i) display[i] = uint8_t(display[i] ^ 0x80u);
    } else {
      if (h.big_endian)
        swap_sample_bytes(raw, count, h.is_signed);
      else if (h.is_signed)
        invert_sign_bits(raw, count);
    }
  }
  return h.columns * h.rows;
}
