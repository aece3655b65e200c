// The NIfTI and Analyze reader: one 3-D volume as a stack of frames. The
// data stream stays open while frames are read in increasing slice order of
// the same file; any other call reads the header again.
#include <cmath>
#include <cstring>
#include <vector>

#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/log.h>

#include "medical/dicom_utility.h"
#include "medical/reader_state.h"
#include "medical/volume_headers.h"
#include "medical/volume_reader_support.h"


namespace {

constexpr int kNoSlice = 10000;

struct nifti_state_t {
  volume_stream stream;
  wxString path;  // the file the open stream belongs to
  int last_slice = kNoSlice;
  nifti_info_t info;
};

nifti_state_t& state() {
  static nifti_state_t s;
  return s;
}

void warn(const wxString& text) { wxLogWarning("dicom_utility::read_hdr_data: %s", text); }

void close_streams() {
  state().stream.close();
  state().path.clear();
  state().last_slice = kNoSlice;
}

// Opens name and reads its header; 0, -1 or 1 as the header parser.
int open_header(const wxString& path, bool gz, nifti_info_t& info) {
  volume_stream& s = state().stream;
  uint8_t buf[544] = {};
  if (!s.open(path, 0, gz) || !s.read(buf, 348)) return 0;
  size_t n = 348;
  int32_t size = 0;
  std::memcpy(&size, buf, 4);
  if (size != 348) {
    // Try again as NIfTI-2 from the start.
    if (!s.open(path, 0, gz) || !s.read(buf, 544)) return 0;
    n = 544;
  }
  wxString warning;
  const int r = parse_nifti_header(buf, n, gz, info, warning);
  if (r < 0) warn(warning);
  if (r == 0 && !warning.empty() && !gz) {
    // An Analyze-sized header with its image file beside it is an Analyze
    // pair that this reader turns away: say why, rather than letting the
    // other readers misread it.
    wxFileName img(path);
    img.SetExt("img");
    if (wxFileExists(img.GetFullPath())) {
      warn(warning);
      return -1;
    }
  }
  return r;
}

// Reads one slice's rows into the buffers; false after a short read.
bool read_slice(const nifti_info_t& h, uint16_t* raw, uint8_t* display, bool& out_of_range) {
  volume_stream& s = state().stream;
  const size_t w = size_t(h.columns);
  // Rows follow one another in the file and in the buffers: 8- and 16-bit
  // slices are read in one piece.
  const size_t count = w * size_t(h.rows);
  if (h.bytes_per_sample == 1) return s.read(display, int64_t(count));
  if (h.bytes_per_sample == 2) {
    if (!s.read(raw, int64_t(count) * 2)) return false;
    if (h.is_signed) invert_sign_bits(raw, count);
    return true;
  }
  std::vector<int32_t> wide;
  if (h.bytes_per_sample == 4) wide.resize(w);
  for (int32_t r = 0; r < h.rows; ++r) {
    const size_t row = size_t(r) * w;
    if (h.bytes_per_sample == 1) {
      if (!s.read(display + row, int64_t(w))) return false;
    } else if (h.bytes_per_sample == 2) {
      if (!s.read(raw + row, int64_t(w) * 2)) return false;
      if (h.is_signed) invert_sign_bits(raw + row, w);
    } else {
      if (!s.read(wide.data(), int64_t(w) * 4)) return false;
      for (size_t x = 0; x < w; ++x) {
        int64_t v;
        if (h.is_float) {
          float f;
          std::memcpy(&f, &wide[x], 4);
          const double rv = std::round(double(f) + 32768.0);
          v = std::isfinite(rv) && std::fabs(rv) < 9.0e18 ? int64_t(rv) : 0;
          if (!(f >= -32768.0f && f <= 32767.0f)) out_of_range = true;
        } else {
          v = int64_t(wide[x]) + 32768;
          if (wide[x] < -32768 || wide[x] > 32767) out_of_range = true;
        }
        raw[row + x] = uint16_t(uint64_t(v) & 0xFFFFu);
      }
    }
  }
  return true;
}

void write_description(const wxString& path, const nifti_info_t& h) {
  double centre = h.centre, width = h.width;
  if (h.bytes_per_sample == 1) {
    centre = 127;
    width = 256;
  } else {
    // Fit the window into the calibrated range of raw values.
    const double lo = h.intercept, hi = h.slope * 65535.0 + h.intercept;
    if (width > hi - lo) width = hi - lo;
    if (centre < lo || centre > hi) centre = (lo + hi) / 2;
  }
  write_volume_description(path, h.columns, h.rows, h.frames, h.voxel_cm[0], h.voxel_cm[1], centre,
                           width, h.slope, h.intercept);
}

}  // namespace

int read_hdr_data(wxFileName name, int frame, int index, uint16_t* raw, uint8_t* display,
                  position_t* position) {
  const wxString path = name.GetFullPath();
  if (!wxFileExists(path)) return 0;
  nifti_state_t& st = state();
  nifti_info_t& h = st.info;

  // Continue on the open stream only for a later slice of the same file.
  const bool reuse = st.stream.is_open() && st.path == path && index >= 0 && st.last_slice < index &&
                     st.last_slice != kNoSlice;
  if (!reuse) {
    close_streams();
    const bool gz = name.GetExt() == "gz";
    const int r = open_header(path, gz, h);
    if (r <= 0) {
      close_streams();
      return r;
    }
    if (h.separate) {
      wxFileName data_name(name);
      data_name.SetExt("img");
      const wxString data_path = data_name.GetFullPath();
      if (!wxFileExists(data_path) || !st.stream.open(data_path, 0, false)) {
        close_streams();
        warn(wxString::Format(
            "The detached NIfTI or Analyze data file '%s' does not exist or is not openable.",
            data_path));
        return -1;
      }
    }
    if (index < 0) {
      close_streams();
      return 1;
    }
    // Move to slice index.
    if (!h.separate && !gz) {
      if (!st.stream.open(path, 0, false)) {
        close_streams();
        return 0;
      }
    } else if (!h.separate) {
      if (!st.stream.open(path, 0, true)) {
        close_streams();
        return 0;
      }
    }
    const int64_t stride = h.slice_bytes() + h.gap;
    if (!st.stream.skip(h.data_offset) || !st.stream.skip(int64_t(index) * stride)) {
      // Beyond the end of the data: reported when the slice is read.
      if (raw) {
        close_streams();
        warn("Unable to read data from NIfTI or Analyze file.");
        return -1;
      }
    }
    st.path = path;
    st.last_slice = index - 1;
  } else if (index > st.last_slice + 1) {
    const int64_t stride = h.slice_bytes() + h.gap;
    if (!st.stream.skip(int64_t(index - st.last_slice - 1) * stride)) {
      close_streams();
      warn("Unable to read data from NIfTI or Analyze file.");
      return -1;
    }
  }

  dicom_utility::file_rescale = {h.slope, h.intercept};
  dicom_utility::source_type = h.nifti ? "NIfTI" : "Analyze";
  dicom_utility::value_units = "??";

  if (!raw) {
    write_description(path, h);
  } else {
    dicom_utility::locations_from_file = true;
    dicom_utility::data_16bit = true;
    dicom_utility::slice_thickness = h.voxel_cm[2];
    dicom_utility::data_8bit = h.bytes_per_sample == 1;
    dicom_utility::patient_coordinates = h.patient_coordinates;
    if (dicom_utility::data_8bit) dicom_utility::padding_value = 0;
    const vec3_t origin = h.origin_cm + vec3_scalar_mul(double(index) * h.voxel_cm[2], h.slice_axis);
    record_frame(frame, frame_location(origin, h.column_axis, h.row_axis), h.voxel_cm[0] * 10,
                 h.voxel_cm[1] * 10, position);

    if (h.columns == pending_long(L"RES_BUF_WIDTH", -1) &&
        h.rows == pending_long(L"RES_BUF_HEIGHT", -1)) {
      if (st.stream.skip(h.gap) == false) {
        close_streams();
        warn("Unable to read data from NIfTI or Analyze file.");
        return -1;
      }
      bool out_of_range = false;
      if ((h.bytes_per_sample == 1 && !display) || (h.bytes_per_sample > 1 && !raw) ||
          !read_slice(h, raw, display, out_of_range)) {
        close_streams();
        warn("Unable to read data from NIfTI or Analyze file.");
        return -1;
      }
      if (out_of_range)
        warn("Some values were out of range when loading 32-bit NIfTI or Analyze file to 16-bit.");
      if (h.bytes_per_sample > 1) detect_corner_padding(raw, h.columns, h.rows, h.slope, h.intercept);
      st.last_slice = index;
    } else {
      // No pixels read: the stream no longer stands after a whole slice.
      close_streams();
    }
  }

  if (!raw || (frame >= 0 && frame == data_set_frames() - 1)) close_streams();
  return h.columns * h.rows;
}
