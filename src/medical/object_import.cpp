// Objects from DICOM RT structure sets and binary DICOM segmentations. One
// walk over the file's elements, entering only the sequences that hold what
// it needs, runs in two passes: the scan collects the labels and asks the
// user, the import fills the objects. Contours are placed on the loaded
// frames by their patient coordinates alone. Every length read from the file
// is checked against the bytes that remain before it is read or skipped.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <wx/filefn.h>
#include <wx/log.h>

#include "data/contour.h"
#include "data/data_io_ui.h"
#include "data/dynabuf.h"
#include "data/geometry.h"
#include "data/objects.h"
#include "medical/dicom_elements.h"
#include "medical/dicom_utility.h"
#include "medical/object_import_support.h"
#include "registry/resource_table.h"

dicom_utility::label_tracer_fn dicom_utility::label_tracer = nullptr;
long dicom_utility::import_progress_delay_ms = 250;
long dicom_utility::import_progress_interval_ms = 100;

namespace {

constexpr uint32_t kUndefined = kDicomUndefinedLength;
constexpr uint32_t kTextMax = 32768;
constexpr int kMaxNesting = 64;

namespace tag {
constexpr uint32_t TransferSyntaxUID = dicom_tag(0x0002, 0x0010);
constexpr uint32_t Modality = dicom_tag(0x0008, 0x0060);
constexpr uint32_t ImagePositionPatient = dicom_tag(0x0020, 0x0032);
constexpr uint32_t ImageOrientationPatient = dicom_tag(0x0020, 0x0037);
constexpr uint32_t PlanePositionSequence = dicom_tag(0x0020, 0x9113);
constexpr uint32_t PlaneOrientationSequence = dicom_tag(0x0020, 0x9116);
constexpr uint32_t NumberOfFrames = dicom_tag(0x0028, 0x0008);
constexpr uint32_t Rows = dicom_tag(0x0028, 0x0010);
constexpr uint32_t Columns = dicom_tag(0x0028, 0x0011);
constexpr uint32_t PixelSpacing = dicom_tag(0x0028, 0x0030);
constexpr uint32_t BitsAllocated = dicom_tag(0x0028, 0x0100);
constexpr uint32_t BitsStored = dicom_tag(0x0028, 0x0101);
constexpr uint32_t SegmentSequence = dicom_tag(0x0062, 0x0002);
constexpr uint32_t SegmentNumber = dicom_tag(0x0062, 0x0004);
constexpr uint32_t SegmentLabel = dicom_tag(0x0062, 0x0005);
constexpr uint32_t SegmentIdentificationSequence = dicom_tag(0x0062, 0x000A);
constexpr uint32_t ReferencedSegmentNumber = dicom_tag(0x0062, 0x000B);
constexpr uint32_t StructureSetROISequence = dicom_tag(0x3006, 0x0020);
constexpr uint32_t ROINumber = dicom_tag(0x3006, 0x0022);
constexpr uint32_t ROIName = dicom_tag(0x3006, 0x0026);
constexpr uint32_t ROIDisplayColor = dicom_tag(0x3006, 0x002A);
constexpr uint32_t ROIContourSequence = dicom_tag(0x3006, 0x0039);
constexpr uint32_t ContourSequence = dicom_tag(0x3006, 0x0040);
constexpr uint32_t ContourGeometricType = dicom_tag(0x3006, 0x0042);
constexpr uint32_t NumberOfContourPoints = dicom_tag(0x3006, 0x0046);
constexpr uint32_t ContourData = dicom_tag(0x3006, 0x0050);
constexpr uint32_t ReferencedROINumber = dicom_tag(0x3006, 0x0084);
constexpr uint32_t SharedFunctionalGroupsSequence = dicom_tag(0x5200, 0x9229);
constexpr uint32_t PerFrameFunctionalGroupsSequence = dicom_tag(0x5200, 0x9230);
constexpr uint32_t PixelData = dicom_tag(0x7FE0, 0x0010);
constexpr uint32_t Item = dicom_tag(0xFFFE, 0xE000);
constexpr uint32_t ItemDelimitationItem = dicom_tag(0xFFFE, 0xE00D);
constexpr uint32_t SequenceDelimitationItem = dicom_tag(0xFFFE, 0xE0DD);
}  // namespace tag

// The sequences whose items the walk reads as if they stood at the top level.
bool descended(uint32_t t) {
  switch (t) {
    case tag::StructureSetROISequence:
    case tag::ROIContourSequence:
    case tag::ContourSequence:
    case tag::SharedFunctionalGroupsSequence:
    case tag::PerFrameFunctionalGroupsSequence:
    case tag::PlanePositionSequence:
    case tag::PlaneOrientationSequence:
    case tag::SegmentSequence:
    case tag::SegmentIdentificationSequence:
    case tag::Item:
      return true;
    default:
      return false;
  }
}

void warn(const wxString& text) { wxLogWarning("%s", text); }

const char* const kNothingLoadable =
    "Either this file is not a DICOM file, or it does not contain loadable RTSTRUCT or SEG objects.";

// Up to count numbers of a backslash-separated text, parsed as "%lf"; stops
// at the first part that is not a number.
int decimals(const std::string& s, double* values, int count) {
  int n = 0;
  const char* p = s.c_str();
  while (n < count) {
    char* end = nullptr;
    const double d = std::strtod(p, &end);
    if (end == p || !std::isfinite(d)) break;
    values[n++] = d;
    const char* sep = std::strchr(end, '\\');
    if (!sep) break;
    p = sep + 1;
  }
  return n;
}

bool integer(const std::string& s, long& value) {
  char* end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (end == s.c_str()) return false;
  value = v;
  return true;
}

// Splits Contour Data at spaces and backslashes: empty parts count (before a
// leading separator or between two), nothing follows a trailing separator.
class contour_tokens {
 public:
  contour_tokens(const char* begin, const char* end) : p_(begin), end_(end), done_(begin == end) {}
  // The next part as a number; false when there is none or it is not a number.
  bool number(double& value) {
    if (done_) return false;
    const char* q = p_;
    while (q < end_ && *q != ' ' && *q != '\\') ++q;
    const size_t n = size_t(q - p_);
    bool ok = false;
    if (n > 0 && n < sizeof buf_) {
      std::memcpy(buf_, p_, n);
      buf_[n] = 0;
      char* stop = nullptr;
      value = std::strtod(buf_, &stop);
      ok = stop != buf_ && std::isfinite(value);
    }
    if (q == end_) {
      done_ = true;
    } else {
      p_ = q + 1;
      done_ = p_ == end_;
    }
    return ok;
  }

 private:
  const char* p_;
  const char* end_;
  bool done_;
  char buf_[64];
};

class object_walk {
 public:
  object_walk(const wxString& path, bool scan) : path_(path), scan_(scan) {}
  int run();

 private:
  struct element_error {};

  bool header(dicom_element_t& e) { return read_dicom_element_header(f_, syntax_, e) != 0; }
  // Ends the walk when e's value runs past the end of the file.
  void need(const dicom_element_t& e);
  std::string text(const dicom_element_t& e);
  uint16_t binary_us(const dicom_element_t& e);
  void skip(const dicom_element_t& e);
  bool skip_undefined(int depth);
  void walk();
  void element(const dicom_element_t& e);
  void item_start();
  void entry_number(long number);
  void entry_name(const wxString& name);
  void contour_data(const dicom_element_t& e);
  void referenced_roi(long number);
  void pixel_data(const dicom_element_t& e);
  void segmentation_frames(uint64_t start, int64_t frames, int32_t columns, int32_t rows);
  void reset_target(size_t index);
  bool progress(long index, long total, const wxString& title, const wxString& message);
  void questions();

  wxString path_;
  bool scan_;
  resource_table_t* t_ = nullptr;
  contour_object* objects_ = nullptr;
  int32_t current_ = 0;
  int32_t width_ = 0, height_ = 0;
  double xscale_ = 1, yscale_ = 1, tolerance_ = 0;
  std::vector<matrix4_t> frame_m_;  // patient centimetres to each frame's image centimetres
  std::vector<char> frame_ok_;      // the frame has a position

  dicom_file f_;
  dicom_syntax_t syntax_;
  bool structure_set_ = false, segmentation_ = false;
  bool truncated_ = false, cancelled_ = false;
  bool has_magic_ = false, recognised_ = false;
  dicom_element_t truncated_at_;
  bool not_aligned_ = false, beyond_edges_ = false, too_many_ = false;
  bool filled_ = false, changed_ = false;
  import_commit commit_;
  std::unique_ptr<import_progress> progress_;

  // ROIs or segments: accepted numbers with their names, paired by item.
  std::vector<long> numbers_;
  std::vector<wxString> names_;
  std::vector<char> named_;
  bool entry_open_ = false;
  long entry_ = -1;  // accepted index of the open item's entry; -2 refused
  wxString waiting_name_;
  bool name_waiting_ = false;

  // Segmentation lists.
  std::vector<vec3_t> positions_, row_dirs_, col_dirs_;
  std::vector<long> frame_segments_;
  int64_t frames_ = 1;
  int32_t rows_ = 0, columns_ = 0;
  double spacing_[2] = {0, 0};
  bool has_spacing_ = false;
  int bits_allocated_ = 0, bits_stored_ = 0;

  // Structure-set working state.
  contour_object work_;
  contour_t contour_;
  bool planar_ = false;
  long points_ = -1;  // -1: not given in this item
};

void object_walk::need(const dicom_element_t& e) {
  if (e.length == kUndefined || e.length <= f_.remaining()) return;
  truncated_ = true;
  truncated_at_ = e;
  throw element_error();
}

std::string object_walk::text(const dicom_element_t& e) {
  need(e);
  if (e.length >= kTextMax) {  // no value read as text is this long
    skip(e);
    return std::string();
  }
  std::string s(e.length, '\0');
  if (!f_.read(&s[0], e.length)) throw element_error();
  const size_t end = s.find('\0');
  if (end != std::string::npos) s.resize(end);
  return s;
}

uint16_t object_walk::binary_us(const dicom_element_t& e) {
  need(e);
  uint8_t b[2] = {0, 0};
  if (e.length < 2) {
    skip(e);
    return 0;
  }
  if (!f_.read(b, 2) || !f_.skip(e.length - 2)) throw element_error();
  return dicom_u16(b, syntax_.big_endian);
}

void object_walk::skip(const dicom_element_t& e) {
  need(e);
  if (!f_.skip(e.length)) throw element_error();
}

// Passes over an element of undefined length up to its delimiter, following
// nested sequences and items; false at the end of the file.
bool object_walk::skip_undefined(int depth) {
  if (depth > kMaxNesting) return false;
  dicom_element_t e;
  for (;;) {
    if (!header(e)) return false;
    if (e.tag() == tag::SequenceDelimitationItem || e.tag() == tag::ItemDelimitationItem) return true;
    if (e.length == kUndefined) {
      if (!skip_undefined(depth + 1)) return false;
    } else if (!f_.skip(e.length)) {
      return false;
    }
  }
}

bool object_walk::progress(long index, long total, const wxString& title, const wxString& message) {
  if (!progress_) progress_ = std::make_unique<import_progress>(title);
  if (!progress_->step(index, total, message)) cancelled_ = true;
  return !cancelled_;
}

void object_walk::item_start() {
  // A new item ends the open ROI or segment entry and the contour of the last one.
  entry_open_ = false;
  entry_ = -1;
  name_waiting_ = false;
  waiting_name_.clear();
  points_ = -1;
  planar_ = false;
  contour_.clear();
}

void object_walk::reset_target(size_t index) {
  const int32_t o = current_ + int32_t(index);
  objects_[o].reset();
  commit_.drop_surface(o);
  changed_ = true;
}

void object_walk::entry_number(long number) {
  entry_open_ = true;
  name_waiting_ = name_waiting_ && entry_ == -1;
  if (int64_t(current_) + int64_t(numbers_.size()) >= NUM_USER_OBJECTS) {
    too_many_ = true;
    entry_ = -2;
    return;
  }
  entry_ = long(numbers_.size());
  numbers_.push_back(number);
  if (name_waiting_) {
    names_.push_back(waiting_name_);
    named_.push_back(1);
  } else {
    names_.push_back(wxString::Format("%s %li", structure_set_ ? "ROI" : "Segment", number));
    named_.push_back(0);
  }
  name_waiting_ = false;
  if (!scan_ && structure_set_) reset_target(size_t(entry_));
}

void object_walk::entry_name(const wxString& name) {
  if (entry_open_ && entry_ >= 0 && !named_[size_t(entry_)]) {
    names_[size_t(entry_)] = name;
    named_[size_t(entry_)] = 1;
  } else if (!entry_open_) {
    waiting_name_ = name;
    name_waiting_ = true;
  }
}

void object_walk::contour_data(const dicom_element_t& e) {
  need(e);
  if (scan_ || !planar_) {
    skip(e);
    return;
  }
  std::string data;
  try {
    data.resize(e.length);
  } catch (const std::bad_alloc&) {
    warn("There is not enough memory for the contour data of this DICOM file.");
    skip(e);
    not_aligned_ = true;
    return;
  }
  if (e.length && !f_.read(&data[0], e.length)) throw element_error();
  const size_t nul = data.find('\0');
  if (nul != std::string::npos) data.resize(nul);
  if (points_ == -1) {  // no point count in this contour's item
    not_aligned_ = true;
    return;
  }
  if (points_ <= 0) return;
  contour_tokens tokens(data.data(), data.data() + data.size());
  int best = -1;
  long read = 0;
  for (; read < points_; ++read) {
    double c[3];
    if (!tokens.number(c[0]) || !tokens.number(c[1]) || !tokens.number(c[2])) break;
    const vec3_t p{c[0] * 0.1, c[1] * 0.1, c[2] * 0.1};
    vec3_t q;
    if (read == 0) {
      double nearest = 0;
      for (size_t j = 0; j < frame_m_.size(); ++j) {
        if (!frame_ok_[j]) continue;
        matrix4_transform_point(q, frame_m_[j], p);
        const double d = std::fabs(q.z) / xscale_;
        if (best < 0 || d < nearest) {
          best = int(j);
          nearest = d;
        }
      }
      // Half a pixel off the plane still belongs to the frame; the margin
      // takes in the rounding of the coordinates' conversion.
      if (best < 0 || nearest > 0.5 + 1e-9) break;
    }
    matrix4_transform_point(q, frame_m_[size_t(best)], p);
    const double u = q.x / xscale_, v = q.y / yscale_;
    if (u < -1 || u > width_ || v < -1 || v > height_) beyond_edges_ = true;
    contour_.vertices.push_back({u + 0.5, v + 0.5});
  }
  if (read < points_) {
    not_aligned_ = true;
  } else {
    contour_.simplify(tolerance_);
    work_.add_contour(best, contour_);
  }
  contour_.vertices.clear();
}

void object_walk::referenced_roi(long number) {
  if (scan_) return;
  const auto it = std::find(numbers_.begin(), numbers_.end(), number);
  if (it == numbers_.end()) return;
  const size_t i = size_t(it - numbers_.begin());
  filled_ = true;
  changed_ = true;
  contour_object& target = objects_[current_ + int32_t(i)];
  if (work_.empty()) {
    target.name = names_[i];
    return;
  }
  target.frames = std::move(work_.frames);
  target.volume = work_.volume;
  target.name = names_[i];
  // A file that gave no display colour yet leaves the object's own colour.
  if (work_.colour.IsOk()) target.colour = work_.colour;
  target.opacity = work_.opacity;
  target.roughness = work_.roughness;
  target.metallic = work_.metallic;
  target.anisotropy = work_.anisotropy;
  target.capped = work_.capped;
  work_.reset();
  progress(long(i), long(numbers_.size()), "Importing objects from RTSTRUCT file",
           wxString::Format("Currently importing ROI %li of %li.\n", long(i), long(numbers_.size())));
}

void object_walk::element(const dicom_element_t& e) {
  switch (e.tag()) {
    case tag::TransferSyntaxUID:
      syntax_.set_from_uid(wxString(text(e).c_str(), wxConvISO8859_1));
      return;
    case tag::Modality: {
      const std::string m = text(e);
      if (m.compare(0, 8, "RTSTRUCT") == 0) structure_set_ = true;
      if (m.compare(0, 3, "SEG") == 0) segmentation_ = true;
      recognised_ = recognised_ || structure_set_ || segmentation_;
      return;
    }
    case tag::ImagePositionPatient: {
      double p[3] = {0, 0, 0};
      decimals(text(e), p, 3);
      positions_.push_back({p[0], p[1], p[2]});
      return;
    }
    case tag::ImageOrientationPatient: {
      double d[6] = {0, 0, 0, 0, 0, 0};
      decimals(text(e), d, 6);
      row_dirs_.push_back({d[0], d[1], d[2]});
      col_dirs_.push_back({d[3], d[4], d[5]});
      return;
    }
    case tag::NumberOfFrames: {
      long n = 0;
      frames_ = integer(text(e), n) ? n : 0;
      return;
    }
    case tag::Rows: rows_ = binary_us(e); return;
    case tag::Columns: columns_ = binary_us(e); return;
    case tag::PixelSpacing: {
      double d[2] = {0, 0};
      if (decimals(text(e), d, 2) == 2) {
        spacing_[0] = d[0] * 0.1;
        spacing_[1] = d[1] * 0.1;
        has_spacing_ = true;
      }
      return;
    }
    case tag::BitsAllocated:
      bits_allocated_ = bits_stored_ = binary_us(e);
      return;
    case tag::BitsStored: bits_stored_ = binary_us(e); return;
    case tag::SegmentNumber: entry_number(binary_us(e)); return;
    case tag::ROINumber: {
      long n = 0;
      if (integer(text(e), n)) entry_number(n);
      return;
    }
    case tag::SegmentLabel:
    case tag::ROIName: {
      const std::string bytes = text(e);
      wxString name(bytes.c_str(), wxConvLibc);
      // Bytes the locale cannot convert are taken as Latin-1 rather than lost.
      if (name.empty() && !bytes.empty()) name = wxString(bytes.c_str(), wxConvISO8859_1);
      entry_name(name.Trim(true));
      return;
    }
    case tag::ReferencedSegmentNumber: frame_segments_.push_back(binary_us(e)); return;
    case tag::ROIDisplayColor: {
      const std::string s = text(e);
      long c[3];
      const char* p = s.c_str();
      int n = 0;
      for (; n < 3; ++n) {
        char* end = nullptr;
        c[n] = std::strtol(p, &end, 10);
        if (end == p) break;
        p = *end == '\\' ? end + 1 : end;
      }
      if (n == 3) work_.colour.Set(uint8_t(c[0] & 0xFF), uint8_t(c[1] & 0xFF), uint8_t(c[2] & 0xFF), 255);
      return;
    }
    case tag::ContourGeometricType: {
      const std::string g = text(e);
      contour_.clear();
      planar_ = false;
      if (g.compare(0, 11, "OPEN_PLANAR") == 0) {
        contour_.closed = false;
        planar_ = true;
      } else if (g.compare(0, 13, "CLOSED_PLANAR") == 0) {
        contour_.closed = true;
        planar_ = true;
      }
      return;
    }
    case tag::NumberOfContourPoints: {
      long n = 0;
      points_ = integer(text(e), n) ? std::max(n, 0L) : -1;
      return;
    }
    case tag::ContourData: contour_data(e); return;
    case tag::ReferencedROINumber: {
      long n = 0;
      if (integer(text(e), n)) referenced_roi(n);
      return;
    }
    case tag::PixelData: pixel_data(e); return;
    default: skip(e);
  }
}

void object_walk::pixel_data(const dicom_element_t& e) {
  if (!segmentation_) {
    skip(e);
    return;
  }
  if (e.length > f_.remaining()) {
    segmentation_ = false;
    need(e);
  }
  const uint64_t start = f_.pos(), length = e.length;
  const int64_t frames = frames_, pixels = int64_t(columns_) * rows_;
  auto fits = [frames](size_t n) { return n == 1 || int64_t(n) == frames; };
  // Binary frames of one bit a pixel, as many as the value holds, and a
  // position, an orientation and a segment for each.
  const bool usable = bits_allocated_ == 1 && bits_stored_ == 1 && pixels > 0 && frames > 0 &&
                      uint64_t(frames) <= length * 8 / uint64_t(pixels) && fits(positions_.size()) &&
                      fits(row_dirs_.size()) && fits(frame_segments_.size());
  if (!usable) {
    segmentation_ = false;
    skip(e);
    return;
  }
  // Pixel Spacing gives the spacing between rows first.
  const double sx = has_spacing_ ? spacing_[1] : xscale_, sy = has_spacing_ ? spacing_[0] : yscale_;
  if (columns_ != width_ || rows_ != height_ || std::fabs(sx / xscale_ - 1) > 1e-4 ||
      std::fabs(sy / yscale_ - 1) > 1e-4) {
    warn("The segmentation data images are not the same size as the loaded data file.");
    segmentation_ = false;
    skip(e);
    return;
  }
  if (!scan_) {
    if (!dicom_utility::label_tracer) {
      warn("Contours cannot be traced in this program, so segmentations cannot be imported.");
      skip(e);
      return;
    }
    for (size_t i = 0; i < numbers_.size(); ++i) {
      reset_target(i);
      objects_[current_ + int32_t(i)].name = names_[i];
    }
    if (!numbers_.empty()) filled_ = true;
    segmentation_frames(start, frames, columns_, rows_);
  }
  if (!f_.seek(start + length)) throw element_error();
}

void object_walk::segmentation_frames(uint64_t start, int64_t frames, int32_t columns, int32_t rows) {
  const size_t pixels = size_t(columns) * size_t(rows);
  std::vector<uint8_t> bits, image;
  try {
    bits.resize(pixels / 8 + 2);
    image.resize(pixels);
  } catch (const std::bad_alloc&) {
    warn("There is not enough memory for the frames of this segmentation.");
    return;
  }
  frame_contours_t set;
  for (int64_t f = 0; f < frames; ++f) {
    if (!progress(long(f), long(frames), "Importing objects from SEG file",
                  wxString::Format("Currently importing frame %li of %li.\n", long(f), long(frames))))
      return;
    const long number = frame_segments_[frame_segments_.size() == 1 ? 0 : size_t(f)];
    const auto it = std::find(numbers_.begin(), numbers_.end(), number);
    if (it == numbers_.end()) {  // a segment without an object of its own
      not_aligned_ = true;
      continue;
    }
    const int32_t target = current_ + int32_t(it - numbers_.begin());
    const size_t k = positions_.size() == 1 ? 0 : size_t(f);
    const vec3_t p = vec3_scalar_mul(0.1, positions_[k]);
    int best = -1;
    double nearest = 0;
    for (size_t j = 0; j < frame_m_.size(); ++j) {
      if (!frame_ok_[j]) continue;
      vec3_t q;
      matrix4_transform_point(q, frame_m_[j], p);
      const double d = std::sqrt((q.x / xscale_) * (q.x / xscale_) + (q.y / yscale_) * (q.y / yscale_) +
                                 (q.z / xscale_) * (q.z / xscale_));
      if (best < 0 || d < nearest) {
        best = int(j);
        nearest = d;
      }
    }
    if (best < 0 || nearest > 0.0001) {
      not_aligned_ = true;
      continue;
    }
    const size_t o = row_dirs_.size() == 1 ? 0 : size_t(f);
    const vec3_t& r = row_dirs_[o];
    const vec3_t& c = col_dirs_[o];
    const matrix4_t& m = frame_m_[size_t(best)];
    if (r.x * m[0] + r.y * m[4] + r.z * m[8] < 0.999 || c.x * m[1] + c.y * m[5] + c.z * m[9] < 0.999) {
      not_aligned_ = true;
      continue;
    }
    // Frames follow one another bit by bit: a frame whose pixel count is not
    // a multiple of 8 starts inside a byte.
    const uint64_t first_bit = uint64_t(f) * pixels;
    const uint64_t skip_bits = first_bit % 8;
    const uint64_t bytes = (skip_bits + pixels + 7) / 8;
    if (!f_.seek(start + first_bit / 8) || !f_.read(bits.data(), bytes)) throw element_error();
    for (size_t i = 0; i < pixels; ++i) {
      const uint64_t b = skip_bits + i;
      image[i] = (bits[b / 8] >> (b % 8)) & 1 ? 2 : 0;
    }
    dicom_utility::label_tracer(image.data(), columns, rows, 1, &set, tolerance_);
    for (const contour_t& contour : set.contours) objects_[target].add_contour(best, contour);
    set.contours.clear();
    set.frame = -1;
    set.area = -1.0;
  }
}

void object_walk::walk() {
  uint8_t magic[4];
  has_magic_ = f_.skip(128) && f_.read(magic, 4) && std::memcmp(magic, "DICM", 4) == 0;
  if (!has_magic_ && !f_.seek(0)) return;
  dicom_element_t e;
  try {
    while (!cancelled_ && header(e)) {
      const uint32_t t = e.tag();
      if (t == tag::ItemDelimitationItem || t == tag::SequenceDelimitationItem) continue;
      if (t == tag::Item) item_start();
      const bool enter = descended(t) && !(scan_ && e.length == kUndefined &&
                                           (t == tag::ROIContourSequence || t == tag::ContourSequence));
      if (enter) {
        need(e);
        if (t == tag::ContourSequence) work_.reset();
        continue;
      }
      if (e.length == kUndefined) {
        // Encapsulated pixel data are not the binary frames a segmentation needs.
        if (t == tag::PixelData) segmentation_ = false;
        if (!skip_undefined(0)) break;
        continue;
      }
      element(e);
    }
  } catch (const element_error&) {
  }
}

void object_walk::questions() {
  if (!(structure_set_ || segmentation_) || names_.empty()) {
    // Nothing would be filled: no object is claimed either.
    warn(kNothingLoadable);
    names_.clear();
    return;
  }
  data_io_ui& ui = current_data_ui();
  if (!t_->RES_EXPERT_MODE->read() && names_.size() >= 31 &&
      !ui.ask_yes_no("", wxString::Format("There are %li different labels.\nStill continue to "
                                          "create objects from this file?",
                                          long(names_.size())))) {
    names_.clear();
    return;
  }
  const wxString lines = overwrite_lines(current_, names_);
  if (!lines.empty() &&
      !ui.ask_yes_no("Import DICOM RTSTRUCT file",
                     "Loading this DICOM file will overwrite the contours in the following "
                     "object(s):\n" + lines + "Do you want to continue?"))
    names_.clear();
}

int object_walk::run() {
  t_ = resource_table;
  if (!t_ || !frame_store) return 0;
  const int32_t frames = t_->RES_BUF_FRAMES->read();
  if (frames <= 0 || !t_->RES_POS_REC->read() || frame_store->positions.empty()) return 0;
  current_ = t_->CURRENT_OBJECT->read();
  objects_ = t_->RES_OBJECT->read();
  if (!objects_ || current_ < 0 || current_ >= NUM_USER_OBJECTS) return 0;
  if (!wxFileExists(path_) || !f_.open(path_)) return 0;
  width_ = t_->RES_BUF_WIDTH->read();
  height_ = t_->RES_BUF_HEIGHT->read();
  xscale_ = t_->RES_XSCALE->read();
  yscale_ = t_->RES_YSCALE->read();
  if (!(xscale_ > 0) || !(yscale_ > 0)) return 0;
  tolerance_ = t_->RES_SIMPLIFY_THRESH->read() / 10.0;

  matrix4_t location;
  matrix4_inverse_from_position(location, t_->RES_XTRANS->read(), t_->RES_YTRANS->read(),
                                t_->RES_ZTRANS->read(), t_->RES_AZIMUTH->read(),
                                t_->RES_ELEVATION->read(), t_->RES_ROLL->read());
  frame_m_.resize(size_t(frames));
  frame_ok_.assign(size_t(frames), 0);
  for (int32_t j = 0; j < frames && size_t(j) < frame_store->positions.size(); ++j) {
    const position_t* pos = frame_store->positions[size_t(j)].get();
    if (!pos) continue;
    matrix4_t inverse;
    matrix4_inverse_from_position_t(inverse, *pos);
    matrix4_multiply(location, frame_m_[size_t(j)], inverse);
    frame_ok_[size_t(j)] = 1;
  }

  walk();
  progress_.reset();
  if (truncated_) {
    segmentation_ = false;
    // Damage is told about only in files that are DICOM by their look.
    if (has_magic_ || recognised_) {
      warn(wxString::Format("This DICOM file is truncated: element (%04X,%04X) runs past its end.",
                            truncated_at_.group, truncated_at_.element));
      if (scan_) return 0;
    }
  }

  if (scan_) {
    questions();
    return int(names_.size());
  }
  if (filled_ || changed_) commit_.commit();
  if (not_aligned_ || beyond_edges_ || too_many_) {
    wxString report = "There were some problems loading contours from this file:\n";
    if (not_aligned_) report << " - some planar contours did not align with any of the images in the data\n";
    if (beyond_edges_) report << " - some planar contours extended beyond the edges of the data images\n";
    if (too_many_)
      report << wxString::Format(" - there were more contours than the available %i objects\n",
                                 NUM_USER_OBJECTS);
    warn(report);
  }
  return int(names_.size());
}

}  // namespace

int dicom_utility::read_dicom_object_data(wxFileName file, bool scan) {
  object_walk walk(file.GetFullPath(), scan);
  return walk.run();
}
