// The program's own DICOM parser. One element walker reads the data elements
// of a file up to Pixel Data and collects the few it needs; three entry
// points act on what it found: a scan enters the file in the series list, a
// probe writes the data set's description, a frame read decodes one frame
// and places it. Every length read from the file is checked against the
// bytes that remain before anything is read, skipped or allocated.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/log.h>

#include "data/geometry.h"
#include "medical/dicom_elements.h"
#include "medical/dicom_pixels.h"
#include "medical/dicom_utility.h"
#include "medical/reader_state.h"

namespace {

constexpr uint32_t kUndefined = kDicomUndefinedLength;
constexpr size_t kTextMax = 32768;
// Nested sequences deeper than this are taken as a damaged file.
constexpr int kMaxNesting = 64;

struct parse_error {};

constexpr uint32_t make_tag(uint16_t group, uint16_t element) { return dicom_tag(group, element); }

// The elements the parser reads or enters.
namespace tag {
constexpr uint32_t TransferSyntaxUID = make_tag(0x0002, 0x0010);
constexpr uint32_t DirectoryRecordSequence = make_tag(0x0004, 0x1220);
constexpr uint32_t ContentTime = make_tag(0x0008, 0x0033);
constexpr uint32_t Modality = make_tag(0x0008, 0x0060);
constexpr uint32_t SeriesDescription = make_tag(0x0008, 0x103E);
constexpr uint32_t SliceThickness = make_tag(0x0018, 0x0050);
constexpr uint32_t SeriesInstanceUID = make_tag(0x0020, 0x000E);
constexpr uint32_t PatientOrientation = make_tag(0x0020, 0x0020);
constexpr uint32_t ImagePositionPatient = make_tag(0x0020, 0x0032);
constexpr uint32_t ImageOrientationPatient = make_tag(0x0020, 0x0037);
constexpr uint32_t SliceLocation = make_tag(0x0020, 0x1041);
constexpr uint32_t PlanePositionSequence = make_tag(0x0020, 0x9113);
constexpr uint32_t PlaneOrientationSequence = make_tag(0x0020, 0x9116);
constexpr uint32_t SamplesPerPixel = make_tag(0x0028, 0x0002);
constexpr uint32_t PhotometricInterpretation = make_tag(0x0028, 0x0004);
constexpr uint32_t NumberOfFrames = make_tag(0x0028, 0x0008);
constexpr uint32_t Rows = make_tag(0x0028, 0x0010);
constexpr uint32_t Columns = make_tag(0x0028, 0x0011);
constexpr uint32_t PixelSpacing = make_tag(0x0028, 0x0030);
constexpr uint32_t BitsAllocated = make_tag(0x0028, 0x0100);
constexpr uint32_t PixelRepresentation = make_tag(0x0028, 0x0103);
constexpr uint32_t PixelPaddingValue = make_tag(0x0028, 0x0120);
constexpr uint32_t WindowCenter = make_tag(0x0028, 0x1050);
constexpr uint32_t WindowWidth = make_tag(0x0028, 0x1051);
constexpr uint32_t RescaleIntercept = make_tag(0x0028, 0x1052);
constexpr uint32_t RescaleSlope = make_tag(0x0028, 0x1053);
constexpr uint32_t PixelMeasuresSequence = make_tag(0x0028, 0x9110);
constexpr uint32_t PixelValueTransformationSequence = make_tag(0x0028, 0x9145);
constexpr uint32_t DoseUnits = make_tag(0x3004, 0x0002);
constexpr uint32_t GridFrameOffsetVector = make_tag(0x3004, 0x000C);
constexpr uint32_t DoseGridScaling = make_tag(0x3004, 0x000E);
constexpr uint32_t SharedFunctionalGroupsSequence = make_tag(0x5200, 0x9229);
constexpr uint32_t PerFrameFunctionalGroupsSequence = make_tag(0x5200, 0x9230);
constexpr uint32_t PixelData = make_tag(0x7FE0, 0x0010);
constexpr uint32_t Item = make_tag(0xFFFE, 0xE000);
constexpr uint32_t ItemDelimitationItem = make_tag(0xFFFE, 0xE00D);
constexpr uint32_t SequenceDelimitationItem = make_tag(0xFFFE, 0xE0DD);
}  // namespace tag

// Sequences whose items are read as if their elements stood at the top
// level: the functional groups of enhanced multi-frame files and the macros
// in them that the parser needs.
bool entered(uint32_t t) {
  switch (t) {
    case tag::SharedFunctionalGroupsSequence:
    case tag::PerFrameFunctionalGroupsSequence:
    case tag::PlanePositionSequence:
    case tag::PlaneOrientationSequence:
    case tag::PixelMeasuresSequence:
    case tag::PixelValueTransformationSequence:
    case tag::Item:
      return true;
    default:
      return false;
  }
}

using element_t = dicom_element_t;

// Everything collected from one file.
struct parsed_t {
  wxString modality = "DICOM";
  bool modality_element = false;
  wxString series_uid, description, dose_units;
  int32_t content_time = 0;
  double slice_thickness = 0;
  double slice_location = 0;
  bool has_slice_location = false;
  vec3_t position;
  bool has_position = false;
  std::vector<vec3_t> positions;
  vec3_t row_dir, col_dir;
  bool has_orientation = false;
  std::vector<vec3_t> row_dirs, col_dirs;
  int samples = 1, rows = 0, columns = 0, bits = 0;
  bool is_signed = false;
  int64_t frames = 1;
  bool multi_frame = false;
  double spacing[2] = {0, 0};
  bool has_spacing = false;
  uint16_t padding = 0;
  bool has_padding = false;
  double centre = 1000, width = 2000;
  double intercept = -1000, slope = 1;
  bool has_rescale = false;
  bool has_intercept = false, has_slope = false;
  double grid_spacing = 0;
  double dose_scaling = 1;
  bool has_dose_scaling = false;
  // Enhanced multi-frame files give spacing and rescale in functional
  // groups, per frame or shared; the program keeps one of each per data set.
  bool enhanced = false;
  bool spacing_varies = false, rescale_varies = false;
};

// Where the walk found the Pixel Data element.
struct pixel_data_t {
  uint64_t offset = 0;  // first byte of the value (uncompressed data)
  uint64_t length = 0;  // value length, or the kept fragment's length
  bool encapsulated = false;
};

class parser_t {
 public:
  // scanning: damage found in the walk is not reported (any file of a
  // directory may turn up in a scan).
  parser_t(const wxFileName& name, int index, bool fell_back, bool scanning)
      : name_(name), path_(name.GetFullPath()), index_(index), scanning_(scanning) {
    v_.multi_frame = fell_back;
  }

  // The three entry points, each over the one walk.
  int scan();
  int probe();
  int read_frame(int frame, uint16_t* raw, uint8_t* display, position_t* position);

 private:
  void warn(const wxString& what) const {
    wxLogWarning("dicom_utility::read_dicom_data: %s: %s", path_, what);
  }
  // Damage is reported only for files taken as DICOM, and not while
  // scanning a directory.
  [[noreturn]] void damaged(const wxString& what) const {
    if (!scanning_ && (has_magic_ || elements_ >= 2)) warn(what);
    throw parse_error();
  }
  uint16_t u16(const uint8_t* p, bool big) const {
    return big ? uint16_t((p[0] << 8) | p[1]) : uint16_t(p[0] | (p[1] << 8));
  }
  uint32_t u32(const uint8_t* p, bool big) const {
    return big ? (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]
               : uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
  }
  // The element walker: reads the elements up to Pixel Data, collecting
  // values. False when the file has no Pixel Data or cannot be parsed.
  bool walk(bool keep_fragment, pixel_data_t& px);
  bool read_header(element_t& e);
  void need(uint32_t length, const element_t& e) const {
    if (length != kUndefined && length > f_.remaining())
      damaged(wxString::Format("element (%04X,%04X) is longer (%u bytes) than the rest of the file "
                               "(%llu bytes); the file is truncated or damaged.",
                               e.group, e.element, length,
                               static_cast<unsigned long long>(f_.remaining())));
  }
  void skip_value(const element_t& e) {
    need(e.length, e);
    if (!f_.skip(e.length)) damaged("the file cannot be read.");
  }
  wxString read_text(const element_t& e);
  uint16_t read_us(const element_t& e);
  void skip_undefined(int depth);
  void read_encapsulated(bool keep_fragment);
  void read_value(const element_t& e);
  // Calibration, then the checks that a probe and a frame read share.
  bool image_usable(const pixel_data_t& px);
  void calibrate();
  void place_frame(int frame, position_t* position);

  wxFileName name_;
  wxString path_;
  int index_;
  bool scanning_;
  dicom_file f_;
  dicom_syntax_t syntax_;
  bool has_magic_ = false;
  int elements_ = 0;
  int64_t dir_remaining_ = 0;
  parsed_t v_;
  std::vector<uint8_t> fragment_;
};

bool parser_t::read_header(element_t& e) {
  const int consumed = read_dicom_element_header(f_, syntax_, e);
  if (consumed == 0) return false;
  if (dir_remaining_ > 0) dir_remaining_ -= consumed;
  return true;
}

wxString parser_t::read_text(const element_t& e) {
  need(e.length, e);
  if (e.length >= kTextMax) {  // no element the parser reads is this long
    skip_value(e);
    return wxString();
  }
  std::string s(e.length, '\0');
  if (!f_.read(&s[0], e.length)) damaged("the file cannot be read.");
  const size_t end = s.find('\0');
  if (end != std::string::npos) s.resize(end);
  return wxString(s.c_str(), wxConvISO8859_1);
}

uint16_t parser_t::read_us(const element_t& e) {
  need(e.length, e);
  uint8_t b[2] = {0, 0};
  if (e.length >= 2) {
    if (!f_.read(b, 2) || !f_.skip(e.length - 2)) damaged("the file cannot be read.");
    return u16(b, syntax_.big_endian);
  }
  skip_value(e);
  return 0;
}

// The leading numbers of a backslash-separated text; a part without a
// number leaves its value unchanged.
void decimals(const wxString& text, double* values, int count) {
  const std::string s = text.ToStdString();
  size_t start = 0;
  for (int i = 0; i < count && start <= s.size(); ++i) {
    const size_t end = s.find('\\', start);
    const std::string part = s.substr(start, end == std::string::npos ? std::string::npos : end - start);
    const char* p = part.c_str();
    char* q = nullptr;
    const double d = std::strtod(p, &q);
    if (q != p && std::isfinite(d)) values[i] = d;
    if (end == std::string::npos) break;
    start = end + 1;
  }
}

// Passes over the content of an element or item of undefined length up to
// its delimiter, following nested sequences and items so that a delimiter
// inside them does not end the outer one early.
void parser_t::skip_undefined(int depth) {
  if (depth > kMaxNesting) damaged("sequences are nested too deeply.");
  element_t e;
  for (;;) {
    if (!read_header(e)) damaged("a sequence runs past the end of the file.");
    if (e.tag() == tag::SequenceDelimitationItem || e.tag() == tag::ItemDelimitationItem) return;
    if (e.length == kUndefined)
      skip_undefined(depth + 1);
    else
      skip_value(e);
  }
}

// Encapsulated pixel data: the offset table, then one fragment per frame.
// Only a frame read keeps the frame's fragment.
void parser_t::read_encapsulated(bool keep_fragment) {
  element_t item;
  if (!read_header(item) || item.tag() != tag::Item || item.length == kUndefined)
    damaged("the compressed pixel data has no offset table.");
  skip_value(item);
  if (!keep_fragment) {
    skip_undefined(0);
    return;
  }
  int64_t want = (v_.multi_frame && index_ > 0 && index_ < v_.frames) ? index_ : 0;
  for (;;) {
    if (!read_header(item) || item.tag() != tag::Item || item.length == kUndefined)
      damaged(wxString::Format("the compressed pixel data holds no fragment for frame %d.", index_));
    if (want == 0) break;
    skip_value(item);
    --want;
  }
  need(item.length, item);
  try {
    fragment_.resize(item.length);
  } catch (const std::bad_alloc&) {
    damaged("there is not enough memory for the compressed frame.");
  }
  if (!f_.read(fragment_.data(), item.length)) damaged("the file cannot be read.");
  skip_undefined(0);
}

// The value of an element of defined length at the top level (or inside an
// entered sequence): read when the parser needs it, else skipped.
void parser_t::read_value(const element_t& e) {
  switch (e.tag()) {
    case tag::TransferSyntaxUID:
      syntax_.set_from_uid(read_text(e));
      if (syntax_.deflated) damaged("deflated DICOM files are not supported.");
      return;
    case tag::DirectoryRecordSequence:
      dir_remaining_ = e.length;
      skip_value(e);
      return;
    case tag::ContentTime: {
      const wxString t = read_text(e).Trim(false);
      long long n = 0;
      for (size_t i = 0; i < t.length() && i < 9 && t[i] >= '0' && t[i] <= '9'; ++i)
        n = n * 10 + (t[i].GetValue() - '0');
      v_.content_time = int32_t(n);
      return;
    }
    case tag::Modality:
      v_.modality = read_text(e).Trim(true).Trim(false);
      v_.modality_element = true;
      return;
    case tag::SeriesDescription: v_.description = read_text(e).Trim(true); return;
    case tag::SliceThickness: decimals(read_text(e), &v_.slice_thickness, 1); return;
    case tag::SeriesInstanceUID: v_.series_uid = read_text(e).Trim(true).Trim(false); return;
    case tag::PatientOrientation: {
      const wxString t = read_text(e);
      if (!v_.has_orientation && t.length() >= 2) {
        const int sep = t.Find('\\');
        auto dir = [](wxUniChar c, vec3_t& d) {
          switch (char(c.GetValue())) {
            case 'L': d = {1, 0, 0}; return true;
            case 'R': d = {-1, 0, 0}; return true;
            case 'P': d = {0, 1, 0}; return true;
            case 'A': d = {0, -1, 0}; return true;
            case 'H': d = {0, 0, 1}; return true;
            case 'F': d = {0, 0, -1}; return true;
            default: return false;
          }
        };
        v_.has_orientation = sep >= 0 && size_t(sep) + 1 < t.length() && dir(t[0], v_.row_dir) &&
                             dir(t[size_t(sep) + 1], v_.col_dir);
      }
      return;
    }
    case tag::ImagePositionPatient: {
      double p[3] = {0, 0, 0};
      decimals(read_text(e), p, 3);
      v_.position = {p[0], p[1], p[2]};
      v_.positions.push_back(v_.position);
      v_.has_position = true;
      return;
    }
    case tag::ImageOrientationPatient: {
      double d[6] = {0, 0, 0, 0, 0, 0};
      decimals(read_text(e), d, 6);
      v_.row_dir = {d[0], d[1], d[2]};
      v_.col_dir = {d[3], d[4], d[5]};
      v_.row_dirs.push_back(v_.row_dir);
      v_.col_dirs.push_back(v_.col_dir);
      v_.has_orientation = true;
      return;
    }
    case tag::SliceLocation:
      decimals(read_text(e), &v_.slice_location, 1);
      v_.has_slice_location = true;
      return;
    case tag::SamplesPerPixel: v_.samples = read_us(e); return;
    case tag::PhotometricInterpretation: read_text(e); return;
    case tag::NumberOfFrames: {
      double n = 1;
      decimals(read_text(e), &n, 1);
      v_.frames = n >= 1 && n < 2147483647.0 ? int64_t(n) : (n < 1 ? 0 : 2147483647);
      if (v_.frames > 1) v_.multi_frame = true;
      return;
    }
    case tag::Rows: v_.rows = read_us(e); return;
    case tag::Columns: v_.columns = read_us(e); return;
    case tag::PixelSpacing: {
      double d[2] = {v_.spacing[0], v_.spacing[1]};
      decimals(read_text(e), d, 2);
      if (v_.has_spacing && (d[0] != v_.spacing[0] || d[1] != v_.spacing[1])) v_.spacing_varies = true;
      v_.spacing[0] = d[0];
      v_.spacing[1] = d[1];
      v_.has_spacing = true;
      return;
    }
    case tag::BitsAllocated: v_.bits = read_us(e); return;
    case tag::PixelRepresentation: v_.is_signed = read_us(e) != 0; return;
    case tag::PixelPaddingValue:
      v_.padding = read_us(e);
      v_.has_padding = true;
      return;
    case tag::WindowCenter: decimals(read_text(e), &v_.centre, 1); return;
    case tag::WindowWidth: decimals(read_text(e), &v_.width, 1); return;
    case tag::RescaleIntercept:
    case tag::RescaleSlope: {
      double& value = e.tag() == tag::RescaleIntercept ? v_.intercept : v_.slope;
      double d = value;
      decimals(read_text(e), &d, 1);
      // A second value that differs (another frame's, in an enhanced file).
      if (d != value && (e.tag() == tag::RescaleIntercept ? v_.has_intercept : v_.has_slope))
        v_.rescale_varies = true;
      value = d;
      (e.tag() == tag::RescaleIntercept ? v_.has_intercept : v_.has_slope) = true;
      v_.has_rescale = true;
      return;
    }
    case tag::DoseUnits:
      v_.dose_units = read_text(e).Trim(true).Trim(false);
      if (v_.centre == 1000 && v_.width == 2000) {
        v_.centre = 37.5;
        v_.width = 75;
      }
      return;
    case tag::GridFrameOffsetVector: {
      double g[2] = {0, 0};
      decimals(read_text(e), g, 2);
      v_.grid_spacing = g[1] - g[0];
      return;
    }
    case tag::DoseGridScaling:
      decimals(read_text(e), &v_.dose_scaling, 1);
      v_.has_dose_scaling = true;
      return;
    default:
      skip_value(e);
  }
}

bool starts_with(const wxString& s, const char* prefix) { return s.StartsWith(prefix); }

void parser_t::calibrate() {
  if (v_.modality.empty() && !v_.has_dose_scaling && v_.has_rescale) v_.modality = "CT";
  double slope, intercept;
  if (v_.has_dose_scaling) {
    slope = v_.dose_scaling;
    intercept = 0;
  } else if (v_.has_rescale) {
    slope = v_.slope;
    intercept = v_.intercept;
  } else {
    slope = 1;
    intercept = starts_with(v_.modality, "CT") ? -1000 : 0;
  }
  if (v_.is_signed) intercept -= slope * (v_.bits == 8 ? 127 : 32768);
  dicom_utility::file_rescale = {slope, intercept};
  dicom_utility::source_type = v_.modality;
  if (v_.has_rescale && starts_with(v_.modality, "CT"))
    dicom_utility::value_units = "HU";
  else if (starts_with(v_.modality, "RTDOSE") && v_.has_dose_scaling)
    dicom_utility::value_units = v_.dose_units;
  else
    dicom_utility::value_units = "??";
}

int parser_t::scan() {
  pixel_data_t px;
  if (!walk(false, px)) return 0;
  calibrate();
  if (v_.columns < 1 || v_.rows < 1 || int64_t(v_.columns) * v_.rows > 0x7FFFFFFF) return 0;
  if (starts_with(v_.modality, "SEG") || starts_with(v_.modality, "RTSTRUCT")) return 0;
  data_series_t s;
  s.file = name_;
  s.series_uid = v_.series_uid;
  s.description = v_.description;
  s.is_dicom = true;
  s.multi_frame = v_.multi_frame;
  s.frame_count = v_.multi_frame ? int(v_.frames) : 1;
  s.first_index = index_;
  s.width = v_.columns;
  s.height = v_.rows;
  s.pixel_spacing_x = v_.has_spacing ? v_.spacing[0] : 0;
  s.pixel_spacing_y = v_.has_spacing ? v_.spacing[1] : 0;
  const wxString dir = name_.GetPath(wxPATH_GET_VOLUME);
  for (data_series_t& o : dicom_utility::series_list) {
    if (o.height == s.height && o.width == s.width && o.pixel_spacing_x == s.pixel_spacing_x &&
        o.pixel_spacing_y == s.pixel_spacing_y && o.series_uid == s.series_uid &&
        o.file.GetPath(wxPATH_GET_VOLUME) == dir) {
      ++o.frame_count;
      return v_.columns * v_.rows;
    }
  }
  dicom_utility::series_list.push_back(s);
  return v_.columns * v_.rows;
}

void fill_first_values(const parsed_t& v) {
  reader_state_t& st = reader_state();
  if (st.first_series_uid.empty()) st.first_series_uid = v.series_uid;
  if (st.first_frame_pixels == 0) st.first_frame_pixels = int64_t(v.columns) * v.rows;
  if (v.has_spacing && (st.first_pixel_spacing[0] == 0 || st.first_pixel_spacing[1] == 0)) {
    st.first_pixel_spacing[0] = v.spacing[0];
    st.first_pixel_spacing[1] = v.spacing[1];
  }
}

int parser_t::probe() {
  pixel_data_t px;
  if (!walk(false, px) || !image_usable(px)) return 0;
  if (starts_with(v_.modality, "SEG") || starts_with(v_.modality, "RTSTRUCT")) {
    wxLogWarning("dicom_utility::read_dicom_data: This is an RTSTRUCT or SEG DICOM file: try "
                 "loading this using `Import from data files'.");
    return 0;
  }
  fill_first_values(v_);
  write_pending_bool(L"RES_BUF_DICOM", true);
  write_pending_long(L"RES_BUF_WIDTH", v_.columns);
  write_pending_long(L"RES_BUF_HEIGHT", v_.rows);
  write_pending_bool(L"RES_POS_REC", v_.has_position || v_.has_slice_location);
  write_pending_flag_string(L"RES_BIN_IM_FILENAME", path_);
  // Pixel Spacing gives the spacing between rows (the pixel height) first.
  write_pending_double(L"RES_XSCALE", v_.has_spacing ? v_.spacing[1] / 10 : 0.01);
  write_pending_double(L"RES_YSCALE", v_.has_spacing ? v_.spacing[0] / 10 : 0.01);
  for (const wchar_t* r : {L"RES_XTRANS", L"RES_YTRANS", L"RES_ZTRANS", L"RES_AZIMUTH",
                           L"RES_ELEVATION", L"RES_ROLL"})
    write_pending_double(r, 0.0);
  write_pending_double(L"RES_DICOM_WIN_CENTRE", v_.centre);
  write_pending_double(L"RES_DICOM_WIN_WIDTH", v_.width);
  write_pending_double(L"RES_DICOM_HUM", dicom_utility::file_rescale.slope);
  write_pending_double(L"RES_DICOM_HUB", dicom_utility::file_rescale.intercept);
  write_pending_string(L"RES_DICOM_UNITS", dicom_utility::value_units);
  if (v_.multi_frame) write_pending_long(L"RES_BUF_FRAMES", int32_t(v_.frames));
  return v_.columns * v_.rows;
}

void parser_t::place_frame(int frame, position_t* position) {
  frame_file_info_t& info = dicom_utility::frame_file_info;
  const bool have_slot = info.ensure(frame);
  position_t loc;
  if (v_.has_position) {
    const size_t i = size_t(std::max(0, index_));
    vec3_t p = !v_.multi_frame ? v_.position
                               : (i < v_.positions.size() ? v_.positions[i] : v_.positions[0]);
    vec3_t row{1, 0, 0}, col{0, 1, 0};
    if (!v_.has_orientation) {
      p.z = -p.z;
    } else if (v_.multi_frame && i < v_.row_dirs.size()) {
      row = v_.row_dirs[i];
      col = v_.col_dirs[i];
    } else if (!v_.row_dirs.empty() && v_.multi_frame) {
      row = v_.row_dirs[0];
      col = v_.col_dirs[0];
    } else {
      row = v_.row_dir;
      col = v_.col_dir;
    }
    matrix4_t m;
    matrix4_identity(m);
    matrix4_set_translation(m, vec3_scalar_mul(0.1, p));
    matrix4_set_x_axis(m, row);
    matrix4_set_y_axis(m, col);
    matrix4_set_z_axis(m, vec3_cross(row, col));
    if (v_.multi_frame && v_.positions.size() < i + 1) {
      const double step = v_.grid_spacing != 0 ? v_.grid_spacing : v_.slice_thickness;
      vec3_t t = matrix4_get_translation(m);
      t += vec3_scalar_mul(step / 10 * double(index_), matrix4_get_z_axis(m));
      matrix4_set_translation(m, t);
    }
    double x, y, z, az, el, ro;
    matrix4_to_position(m, x, y, z, az, el, ro);
    loc = {float(x), float(y), float(z), float(az), float(el), float(ro)};
    dicom_utility::locations_from_file = true;
    dicom_utility::patient_coordinates = true;
  } else if (v_.has_slice_location) {
    loc = {0, 0, float(-v_.slice_location / 10), 0, 0, 0};
    dicom_utility::locations_from_file = true;
  } else {
    dicom_utility::locations_from_file = false;
    return;
  }
  if (have_slot) info.location[size_t(frame)] = loc;
  if (position) *position = loc;
}

int parser_t::read_frame(int frame, uint16_t* raw, uint8_t* display, position_t* position) {
  pixel_data_t px;
  if (!walk(true, px) || !image_usable(px)) return 0;
  if (starts_with(v_.modality, "SEG") || starts_with(v_.modality, "RTSTRUCT")) return 0;
  const uint64_t data_offset = px.offset, data_length = px.length;
  const bool encapsulated = px.encapsulated;
  reader_state_t& st = reader_state();
  fill_first_values(v_);
  const int64_t pixels = int64_t(v_.columns) * v_.rows;
  if (v_.series_uid != st.first_series_uid || pixels != st.first_frame_pixels) return 0;
  // The caller's buffers hold frames of the data set's size.
  const int32_t want_w = pending_long(L"RES_BUF_WIDTH", v_.columns);
  const int32_t want_h = pending_long(L"RES_BUF_HEIGHT", v_.rows);
  if (want_w != v_.columns || want_h != v_.rows) return 0;
  frame_file_info_t& info = dicom_utility::frame_file_info;
  if (info.ensure(frame)) {
    // Pixel Spacing lists the row spacing (along y) first.
    info.pixel_size_x[size_t(frame)] = v_.has_spacing ? v_.spacing[1] : 0;
    info.pixel_size_y[size_t(frame)] = v_.has_spacing ? v_.spacing[0] : 0;
  }
  if (v_.has_spacing && (v_.spacing[0] != st.first_pixel_spacing[0] ||
                         v_.spacing[1] != st.first_pixel_spacing[1]))
    return 0;

  if (v_.bits != 8 && v_.bits != 16) {
    warn("Only DICOM files containing 8-bit or 16-bit data are supported.");
    return 0;
  }
  if (v_.multi_frame && (index_ < 0 || index_ >= v_.frames)) {
    warn(wxString::Format("the file holds %lld frames; frame %d is not among them.",
                          static_cast<long long>(v_.frames), index_));
    return 0;
  }
  pixel_format_t fmt;
  fmt.width = v_.columns;
  fmt.height = v_.rows;
  fmt.bits = v_.bits;
  fmt.samples = v_.samples;
  fmt.is_signed = v_.is_signed;
  fmt.big_endian = syntax_.big_endian;
  frame_samples_t samples;
  if (encapsulated) {
    if (fragment_.empty() || !decode_fragment(fragment_.data(), fragment_.size(), fmt, samples)) {
      warn("This DICOM file contains compressed data, but in an unsupported format.\nCurrently "
           "Norvelith only supports RLE and various JPEG compressed formats.");
      return 0;
    }
  } else {
    const uint64_t spp = v_.samples == 3 ? 3 : 1;
    const uint64_t frame_bytes = uint64_t(pixels) * uint64_t(v_.bits / 8) * uint64_t(v_.samples);
    const uint64_t read_bytes = uint64_t(pixels) * uint64_t(v_.bits / 8) * spp;
    if (data_length < frame_bytes) {
      warn("This DICOM file contains un-compressed data which is not consistent with the given "
           "width, height, samples and bits.");
      return 0;
    }
    const uint64_t first = v_.multi_frame ? uint64_t(index_) * frame_bytes : 0;
    if (first + frame_bytes > data_length || data_offset + first + read_bytes > f_.size()) {
      warn(wxString::Format("the pixel data end before frame %d.", index_));
      return 0;
    }
    // Grey samples are read straight into the caller's buffer with one read
    // and converted in place; colour goes through a copy of the file's bytes.
    const bool direct = spp == 1;
    void* dst = nullptr;
    if (direct) {
      dst = v_.bits == 16 ? static_cast<void*>(raw) : static_cast<void*>(display);
    } else {
      try {
        samples.byte_data.resize(read_bytes);
      } catch (const std::bad_alloc&) {
        warn("there is not enough memory for the frame.");
        return 0;
      }
      dst = samples.byte_data.data();
    }
    if (!dst || !f_.seek(data_offset + first) || !f_.read(dst, read_bytes)) {
      warn(wxString::Format("frame %d cannot be read whole.", index_));
      return 0;
    }
    samples.kind = direct ? frame_samples_t::in_place : frame_samples_t::file_bytes;
  }

  dicom_utility::data_16bit = true;
  dicom_utility::slice_thickness = v_.slice_thickness / 10;
  dicom_utility::padding_value = 0;
  if (info.ensure(frame)) info.content_time[size_t(frame)] = v_.content_time;
  dicom_utility::patient_coordinates = false;
  place_frame(frame, position);

  dicom_utility::data_8bit = v_.bits == 8;
  store_samples(samples, fmt, raw, display);
  if (v_.bits == 16) {
    uint16_t pad = 0;
    const size_t w = size_t(v_.columns), h = size_t(v_.rows);
    if (v_.has_padding) {
      pad = v_.is_signed ? uint16_t(v_.padding + 32768) : v_.padding;
    } else {
      const uint16_t c0 = raw[0], c1 = raw[w - 1], c2 = raw[(h - 1) * w], c3 = raw[h * w - 1];
      if (c0 == c1 && c1 == c2 && c2 == c3) pad = c0;
    }
    const file_rescale_t r = dicom_utility::file_rescale;
    if (pad != 0 && starts_with(v_.modality, "CT") && r.slope != 0 &&
        r.slope * pad + r.intercept > -1000) {
      const double nv = std::trunc((-1000 - r.intercept) / r.slope);
      const uint16_t replacement = uint16_t(int64_t(std::max(-1e9, std::min(1e9, nv))) & 0xFFFF);
      for (size_t i = 0; i < w * h; ++i)
        if (raw[i] == pad) raw[i] = replacement;
      pad = replacement;
    }
    dicom_utility::padding_value = pad;
  }
  return int(pixels);
}

bool parser_t::walk(bool keep_fragment, pixel_data_t& px) {
  if (!f_.open(path_)) return false;
  try {
    uint8_t magic[4];
    if (f_.skip(128) && f_.read(magic, 4) && std::memcmp(magic, "DICM", 4) == 0) {
      has_magic_ = true;  // parsing starts after the preamble
    } else if (!f_.seek(0)) {
      return false;
    }
    element_t e;
    for (; read_header(e); ++elements_) {
      const uint32_t t = e.tag();
      if (t == tag::SharedFunctionalGroupsSequence || t == tag::PerFrameFunctionalGroupsSequence)
        v_.enhanced = true;
      if (e.length == kUndefined) {
        if (t == tag::PixelData) {
          read_encapsulated(keep_fragment);
          px.length = fragment_.size();
          px.encapsulated = true;
          return true;
        }
        if (!entered(t)) skip_undefined(0);
        continue;
      }
      if (dir_remaining_ > 0) {
        // The records of a DICOMDIR are passed over.
        if (t != tag::Item) {
          skip_value(e);
          dir_remaining_ -= e.length;
        }
        continue;
      }
      if (entered(t)) continue;
      if (t == tag::PixelData) {
        need(e.length, e);
        px.offset = f_.pos();
        px.length = e.length;
        return true;
      }
      read_value(e);
    }
  } catch (const parse_error&) {
    return false;
  }
  return false;
}

bool parser_t::image_usable(const pixel_data_t& px) {
  calibrate();
  if (v_.columns < 1 || v_.rows < 1) {
    warn("the image has no rows or columns.");
    return false;
  }
  // Rows and Columns are 16-bit each; their product must still count pixels
  // in the 32 bits that frame sizes are kept in.
  if (int64_t(v_.columns) * v_.rows > 0x7FFFFFFF) {
    warn(wxString::Format("an image of %d x %d pixels is too large.", v_.columns, v_.rows));
    return false;
  }
  if (v_.frames < 1 || (v_.multi_frame && !px.encapsulated && v_.bits > 0 &&
                        uint64_t(v_.frames) > px.length / std::max<uint64_t>(1, uint64_t(v_.columns) * v_.rows))) {
    warn(wxString::Format("the pixel data cannot hold the %lld frames the file announces.",
                          static_cast<long long>(v_.frames)));
    return false;
  }
  if (px.encapsulated && uint64_t(v_.frames) > f_.size() / 8) {
    warn(wxString::Format("the compressed pixel data cannot hold the %lld frames the file announces.",
                          static_cast<long long>(v_.frames)));
    return false;
  }
  // An enhanced file whose functional groups cannot be read would load with
  // a default spacing or calibration: refused instead.
  if (v_.enhanced) {
    if (!v_.has_spacing) {
      warn("this enhanced multi-frame file gives no Pixel Spacing (Pixel Measures) in its "
           "functional groups.");
      return false;
    }
    if (v_.spacing_varies) {
      warn("the frames of this enhanced multi-frame file have different pixel spacings; one data "
           "set holds one spacing.");
      return false;
    }
    if (v_.rescale_varies) {
      warn("the frames of this enhanced multi-frame file have different rescale slopes or "
           "intercepts; one data set holds one calibration.");
      return false;
    }
    if (!v_.has_rescale && starts_with(v_.modality, "CT")) {
      warn("this enhanced multi-frame CT file gives no Rescale Slope and Intercept (Pixel Value "
           "Transformation) in its functional groups.");
      return false;
    }
  }
  if (v_.frames > 1) reader_state().multi_frame_file = true;
  return true;
}

}  // namespace

int dicom_scan_file(const wxFileName& name, int index, bool fell_back) {
  return parser_t(name, index, fell_back, true).scan();
}

int dicom_probe_file(const wxFileName& name, int index, bool fell_back) {
  return parser_t(name, index, fell_back, false).probe();
}

int dicom_read_frame(const wxFileName& name, int frame, int index, uint16_t* raw, uint8_t* display,
                     position_t* position, bool fell_back) {
  return parser_t(name, index, fell_back, false).read_frame(frame, raw, display, position);
}

int read_dicom_file(const wxFileName& name, int frame, int index, uint16_t* raw, uint8_t* display,
                    position_t* position, bool fell_back) {
  // The reader protocol's frame argument: -2 scans, a call without a raw
  // buffer probes, any other reads a frame.
  if (frame == -2) return dicom_scan_file(name, index, fell_back);
  if (frame < 0 || !raw) return dicom_probe_file(name, index, fell_back);
  return dicom_read_frame(name, frame, index, raw, display, position, fell_back);
}
