// The NRRD reader: a ".nrrd" file with its data after the header, or a
// ".nhdr" naming a data file beside it; raw or gzip. The stream stays open
// while frames of the same file are read in increasing slice order.
#include <algorithm>
#include <string>
#include <vector>

#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/log.h>

#include "medical/dicom_utility.h"
#include "medical/reader_state.h"
#include "medical/volume_headers.h"
#include "medical/volume_reader_support.h"


namespace {

constexpr int kNoSlice = 10000;
// A header is text of modest size; more than this without its empty line is refused.
constexpr int64_t kMaxHeaderBytes = 1 << 20;

struct nrrd_state_t {
  volume_stream stream;
  wxString path;
  int last_slice = kNoSlice;
  nrrd_info_t info;
};

nrrd_state_t& state() {
  static nrrd_state_t s;
  return s;
}

void warn(const wxString& text) { wxLogWarning("dicom_utility::read_nrrd_data: %s", text); }

void close_streams() {
  state().stream.close();
  state().path.clear();
  state().last_slice = kNoSlice;
}

const char* const kIncomplete = "This NRRD file does not contain all the information Norvelith requires.";

// Reads and parses the header of path: 0, -1 or 1.
int read_header(const wxString& path, nrrd_info_t& info) {
  volume_stream& s = state().stream;
  if (!s.open(path, 0, false)) return 0;
  // Other formats are turned away by the magic before the header is read whole.
  char magic[7];
  if (!s.read(magic, 7) || std::string(magic, 7) != "NRRD000") return 0;
  const int64_t size = s.file_size();
  const int64_t n = std::min<int64_t>(size < 0 ? kMaxHeaderBytes : size, kMaxHeaderBytes);
  std::string text(size_t(n), '\0');
  if (!s.open(path, 0, false) || !s.read(&text[0], n)) return 0;
  s.close();
  wxString warning;
  const int r = parse_nrrd_header(text.data(), text.size(), info, warning);
  if (r < 0) {
    // The specific warning (when there is one) and then the general one, as two messages.
    const int cut = warning.Find(kIncomplete);
    if (cut > 0) warn(warning.Left(size_t(cut - 1)));
    warn(kIncomplete);
    return -1;
  }
  if (r > 0)
    for (const wxString& note : info.notes) warn(note);
  return r;
}

// Offset in the file just after `lines` more line feeds from `from`; -1
// when the file ends first.
int64_t after_lines(const wxString& path, int64_t from, int64_t lines) {
  if (lines == 0) return from;
  volume_stream s;
  if (!s.open(path, from, false)) return -1;
  const int64_t size = s.file_size();
  std::vector<char> buf(65536);
  int64_t at = from;
  while (at < size) {
    const int64_t n = std::min<int64_t>(int64_t(buf.size()), size - at);
    if (!s.read(buf.data(), n)) return -1;
    for (int64_t i = 0; i < n; ++i)
      if (buf[size_t(i)] == '\n' && --lines == 0) return at + i + 1;
    at += n;
  }
  return -1;
}

// Opens the stream at the first data byte, after the line and byte skips.
// False with a warning logged when the file holds less than they need.
bool open_data(const wxString& file, int64_t base, const nrrd_info_t& h) {
  volume_stream& s = state().stream;
  const int64_t start = after_lines(file, base, h.line_skip);
  if (start < 0) {
    warn(wxString::Format("The NRRD data in '%s' end within the %lld lines the header skips.", file,
                          static_cast<long long>(h.line_skip)));
    return false;
  }
  int64_t at = start;
  if (!h.gzip) {
    // Raw data can be checked against the file's size before any is read.
    if (!s.open(file, 0, false)) return false;
    const int64_t size = s.file_size(), volume = h.slice_bytes() * h.frames;
    at = h.byte_skip < 0 ? size - volume : start + h.byte_skip;
    if (size < 0 || at < start || size - at < volume) {
      s.close();
      warn(wxString::Format("The NRRD data in '%s' hold fewer bytes than the %lld of the "
                            "%li x %li x %li voxels that its header announces.",
                            file, static_cast<long long>(volume), long(h.columns), long(h.rows),
                            long(h.frames)));
      return false;
    }
  }
  if (!s.open(file, at, h.gzip)) return false;
  if (h.gzip && !s.skip(h.byte_skip)) {
    warn("Unable to read data from NRRD file.");
    return false;
  }
  return true;
}

}  // namespace

int read_nrrd_data(wxFileName name, int frame, int index, uint16_t* raw, uint8_t* display,
                   position_t* position) {
  const wxString path = name.GetFullPath();
  if (!wxFileExists(path)) return 0;
  nrrd_state_t& st = state();
  nrrd_info_t& h = st.info;
  const int64_t slice_bytes = int64_t(h.columns) * h.rows * h.bytes_per_sample;

  const bool reuse = st.stream.is_open() && st.path == path && index >= 0 &&
                     st.last_slice != kNoSlice && st.last_slice < index;
  if (!reuse) {
    close_streams();
    const int r = read_header(path, h);
    if (r <= 0) {
      close_streams();
      return r;
    }
    if (index >= h.frames) {
      warn(kIncomplete);
      return -1;
    }
    wxString data_path;
    if (!h.data_file.empty()) {
      data_path = wxFileName(name.GetPath(), h.data_file).GetFullPath();
      if (!wxFileExists(data_path)) {
        warn(wxString::Format("The detached NRRD data file '%s' does not exist or is not a single file.",
                              data_path));
        return -1;
      }
    }
    if (index < 0) return 1;
    const wxString& file = data_path.empty() ? path : data_path;
    {
      wxLogNull quiet;
      wxFile probe;
      if (!probe.Open(file)) {
        close_streams();
        if (data_path.empty()) return 0;
        warn(wxString::Format("The detached NRRD data file '%s' is not readable.", data_path));
        return -1;
      }
    }
    if (!open_data(file, data_path.empty() ? h.header_bytes : 0, h)) {
      close_streams();
      return -1;
    }
    const int64_t slice = int64_t(h.columns) * h.rows * h.bytes_per_sample;
    if (raw && !st.stream.skip(int64_t(index) * slice)) {
      close_streams();
      warn("Unable to read data from NRRD file.");
      return -1;
    }
    st.path = path;
    st.last_slice = index - 1;
  } else if (index > st.last_slice + 1) {
    if (!st.stream.skip(int64_t(index - st.last_slice - 1) * slice_bytes)) {
      close_streams();
      warn("Unable to read data from NRRD file.");
      return -1;
    }
  }

  dicom_utility::file_rescale = {1.0, h.is_signed ? -32768.0 : 0.0};
  dicom_utility::source_type = "NRRD";
  dicom_utility::value_units = "??";

  if (!raw) {
    const bool eight = h.bytes_per_sample == 1;
    write_volume_description(path, h.columns, h.rows, h.frames, h.spacing_mm[0] / 10,
                             h.spacing_mm[1] / 10, eight ? 127 : 2000, eight ? 256 : 4000,
                             dicom_utility::file_rescale.slope, dicom_utility::file_rescale.intercept);
  } else {
    dicom_utility::locations_from_file = true;
    dicom_utility::data_16bit = true;
    dicom_utility::patient_coordinates = h.patient_coordinates;
    dicom_utility::data_8bit = h.bytes_per_sample == 1;
    dicom_utility::padding_value = 0;
    dicom_utility::slice_thickness = h.spacing_mm[2] / 10;
    const vec3_t origin{h.origin_mm[0], h.origin_mm[1], h.origin_mm[2]};
    const vec3_t at = vec3_scalar_mul(0.1, origin + vec3_scalar_mul(double(index) * h.spacing_mm[2], h.direction[2]));
    record_frame(frame, frame_location(at, h.direction[0], h.direction[1]), h.spacing_mm[0],
                 h.spacing_mm[1], position);

    if (h.columns == pending_long(L"RES_BUF_WIDTH", -1) &&
        h.rows == pending_long(L"RES_BUF_HEIGHT", -1)) {
      const size_t count = size_t(h.columns) * size_t(h.rows);
      const bool ok = h.bytes_per_sample == 1 ? display && st.stream.read(display, int64_t(count))
                                              : st.stream.read(raw, int64_t(count) * 2);
      if (!ok) {
        close_streams();
        warn("Unable to read data from NRRD file.");
        return -1;
      }
      if (h.bytes_per_sample == 2) {
        if (h.is_signed) invert_sign_bits(raw, count);
        detect_corner_padding(raw, h.columns, h.rows, dicom_utility::file_rescale.slope,
                              dicom_utility::file_rescale.intercept);
      }
      st.last_slice = index;
    } else {
      close_streams();
    }
  }
  if (!raw || (frame >= 0 && frame == data_set_frames() - 1)) close_streams();
  return h.columns * h.rows;
}
