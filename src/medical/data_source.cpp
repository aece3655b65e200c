// The data-source description and read_dicom_data: the one road by which
// every frame of a medical data set is read. The format readers are tried in
// a fixed order; the one that recognised the data set keeps its frames.
#include <algorithm>
#include <new>

#include <wx/dir.h>
#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/log.h>

#include "medical/dicom_utility.h"
#include "medical/reader_state.h"

bool dicom_utility::data_8bit = false;
file_rescale_t dicom_utility::file_rescale;
double dicom_utility::slice_thickness = 0.0;
bool dicom_utility::patient_coordinates = false;
wxString dicom_utility::source_type = "Unknown";
wxString dicom_utility::value_units = "??";
bool dicom_utility::locations_from_file = false;
frame_file_info_t dicom_utility::frame_file_info;
std::vector<data_series_t> dicom_utility::series_list;

volume_reader_fn dicom_utility::qct_reader = dicom_utility::read_qct_data;
volume_reader_fn dicom_utility::metaimage_reader = read_mhd_data;
volume_reader_fn dicom_utility::nrrd_reader = read_nrrd_data;
volume_reader_fn dicom_utility::nifti_reader = read_hdr_data;
image_reader_fn dicom_utility::image_reader = dicom_utility::read_image_data;
image_toolkit_t* dicom_utility::image_toolkit = nullptr;

reader_state_t& reader_state() {
  static reader_state_t state;
  return state;
}

void frame_file_info_t::create(size_t slots) {
  clear();
  try {
    location.assign(slots, position_t{});
    pixel_size_x.assign(slots, 0.0);
    pixel_size_y.assign(slots, 0.0);
    content_time.assign(slots, 0);
  } catch (const std::bad_alloc&) {
    // An impossible frame count: start empty, slots are added as frames arrive.
    clear();
  }
}

void frame_file_info_t::clear() {
  location.clear();
  pixel_size_x.clear();
  pixel_size_y.clear();
  content_time.clear();
}

bool frame_file_info_t::ensure(int32_t slot) {
  if (slot < 0) return false;
  const size_t need = size_t(slot) + 1;
  if (need <= location.size()) return true;
  try {
    location.resize(need, position_t{});
    pixel_size_x.resize(need, 0.0);
    pixel_size_y.resize(need, 0.0);
    content_time.resize(need, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void dicom_utility::reset_reader_state() { reader_state() = reader_state_t(); }

namespace {

bool is_digit(wxUniChar c) { return c >= '0' && c <= '9'; }

// Empties the first file's values and the description a new data set starts from.
void reset_for_data_set() {
  reader_state_t& st = reader_state();
  st.first_series_uid.clear();
  st.first_frame_pixels = 0;
  st.first_pixel_spacing[0] = st.first_pixel_spacing[1] = 0.0;
  st.multi_frame_file = false;
  dicom_utility::data_16bit = false;
  dicom_utility::patient_coordinates = false;
  dicom_utility::source_type = "Unknown";
  dicom_utility::value_units = "??";
}

// Calls one of the first four readers when its turn has come; true when its
// result ends the call.
bool try_reader(volume_reader_fn reader, bool& recognised, bool every_reader,
                const wxFileName& name, int frame, int index, uint16_t* raw, uint8_t* display,
                position_t* position, int& result) {
  if (!every_reader && !recognised) return false;
  if (!reader) {
    recognised = false;
    return false;
  }
  const int r = reader(name, frame, index, raw, display, position);
  recognised = r != 0;
  if (r == 0) return false;
  result = r > 0 ? r : 0;
  return true;
}

// A directory counts as readable; a file when it can be opened for reading.
bool readable(const wxString& path) {
  if (wxDirExists(path)) return true;
  if (!wxFileExists(path)) return false;
  wxLogNull quiet;
  wxFile f;
  return f.Open(path, wxFile::read);
}

}  // namespace

wxString dicom_utility::numbered_file_name(const wxString& path, int index) {
  // Only the file-name part takes part: a digit in a folder name would
  // otherwise lead into another study's folder.
  size_t name_start = 0;
  const size_t sep = path.find_last_of(wxFileName::GetPathSeparators());
  if (sep != wxString::npos) name_start = sep + 1;

  size_t last = wxString::npos;
  for (size_t i = path.length(); i > name_start; --i)
    if (is_digit(path[i - 1])) {
      last = i - 1;
      break;
    }
  if (last == wxString::npos) return path;

  size_t first = last;
  while (first > name_start && is_digit(path[first - 1])) --first;
  if (last - first + 1 > 8) first = last - 7;

  uint64_t n = 0;
  for (size_t i = first; i <= last; ++i) n = n * 10 + uint64_t(path[i].GetValue() - '0');
  size_t end = last + 1;
  while (end < path.length() && path[end] == ' ') ++end;
  const size_t width = end - first;

  const wxString t = wxString::Format("%lld", static_cast<long long>(int64_t(n) + index));
  wxString field;
  if (path[first] == '0' && width > t.length()) field.Append('0', width - t.length());
  field += t;
  if (path[end - 1] == ' ' && width > field.length()) field.Append(' ', width - field.length());
  return path.substr(0, first) + field + path.substr(end);
}

namespace {

// The listing of the directory being read, kept between the frame reads of
// one data set so that each frame does not list the directory again.
struct listing_cache_t {
  wxString dir;
  std::vector<wxString> files;
  bool valid = false;
} listing_cache;

const std::vector<wxString>& directory_listing(const wxString& dir) {
  if (listing_cache.valid && listing_cache.dir == dir) return listing_cache.files;
  listing_cache = listing_cache_t();
  {
    wxLogNull quiet;
    wxDir d(dir);
    if (d.IsOpened()) {
      wxString name;
      for (bool more = d.GetFirst(&name, wxEmptyString, wxDIR_FILES); more; more = d.GetNext(&name))
        listing_cache.files.push_back(wxFileName(dir, name).GetFullPath());
    }
  }
  std::sort(listing_cache.files.begin(), listing_cache.files.end(),
            [](const wxString& a, const wxString& b) { return a.compare(b) < 0; });
  listing_cache.dir = dir;
  listing_cache.valid = true;
  return listing_cache.files;
}

}  // namespace

wxString dicom_utility::directory_file(const wxString& dir, int index) {
  if (index < 0) return wxString();
  const std::vector<wxString>& files = directory_listing(dir);
  if (size_t(index) >= files.size()) return wxString();
  return files[size_t(index)];
}

int dicom_utility::read_dicom_data(wxFileName name, int frame, int index, uint16_t* raw,
                                   uint8_t* display, position_t* position) {
  reader_state_t& st = reader_state();

  // A new data set or scan lists its directory afresh.
  if (frame <= 0) listing_cache.valid = false;
  bool keep_probe_state = false;
  if (frame == 0) {
    frame_file_info.create(size_t(std::max(0, pending_long(L"RES_BUF_FRAMES", 0))));
    if (st.probe_pending) {
      st.probe_pending = false;
      keep_probe_state = true;
    }
  }
  if ((frame == -1 || frame == 0) && !keep_probe_state) {
    reset_for_data_set();
    if (frame == -1) st.probe_pending = true;
  }

  // Readers 1 to 4 get the caller's name.
  const bool every_reader = frame == -1 || frame == 0;
  int result = 0;
  if (try_reader(qct_reader, st.qct_recognised, every_reader, name, frame, index, raw, display,
                 position, result) ||
      try_reader(metaimage_reader, st.metaimage_recognised, every_reader, name, frame, index, raw,
                 display, position, result) ||
      try_reader(nrrd_reader, st.nrrd_recognised, every_reader, name, frame, index, raw, display,
                 position, result) ||
      try_reader(nifti_reader, st.nifti_recognised, every_reader, name, frame, index, raw, display,
                 position, result))
    return result;

  // Frame index to file.
  const wxString s = name.GetFullPath();
  wxString taken = s;
  if (wxDirExists(s)) {
    const wxString f = directory_file(s, index);
    if (!f.empty()) taken = f;
  } else if (raw && !st.multi_frame_file) {
    taken = numbered_file_name(s, index);
  }
  bool fell_back = false;
  if (!readable(taken)) {
    taken = s;
    fell_back = true;
  }
  const wxFileName resolved(taken);

  if (frame <= 0 || st.image_recognised) {
    if (image_reader) {
      const int r = image_reader(name, resolved, frame, index, 1, raw, display, position);
      st.image_recognised = r != 0;
      if (r != 0) return r > 0 ? r : 0;
    } else {
      st.image_recognised = false;
    }
  }
  return std::max(0, read_dicom_file(resolved, frame, index, raw, display, position, fell_back));
}
