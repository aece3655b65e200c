// Quantitative-CT files: a header with an offset table and two packed
// dates, then one 128-byte record per slice followed by its 16-bit pixels.
// Every number is little-endian. The file comes from outside, and this
// reader is tried first on every file opened, so each offset and size is
// checked against the file's length before it is used.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include <wx/log.h>

#include "medical/dicom_utility.h"
#include "medical/reader_state.h"

namespace {

constexpr int32_t kMaxRecords = 2048;
constexpr int64_t kRecordBytes = 128;
constexpr int64_t kTableStart = 40;

uint32_t le32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
int32_t le_int(const unsigned char* p) {
  const uint32_t u = le32(p);
  int32_t v;
  std::memcpy(&v, &u, 4);
  return v;
}
float le_float(const unsigned char* p) {
  const uint32_t u = le32(p);
  float v;
  std::memcpy(&v, &u, 4);
  return v;
}

// A file read only at checked places: a read that would pass the end fails
// before any seek.
class bounded_file {
 public:
  explicit bounded_file(const wxString& path) {
    f_ = std::fopen(path.fn_str(), "rb");
    if (!f_) return;
    if (std::fseek(f_, 0, SEEK_END) == 0) size_ = int64_t(std::ftell(f_));
    if (size_ < 0) size_ = 0;
  }
  ~bounded_file() {
    if (f_) std::fclose(f_);
  }
  bounded_file(const bounded_file&) = delete;
  bounded_file& operator=(const bounded_file&) = delete;

  bool is_open() const { return f_ != nullptr; }
  bool fits(int64_t offset, int64_t bytes) const {
    return offset >= 0 && bytes >= 0 && offset <= size_ && bytes <= size_ - offset;
  }
  bool read_at(int64_t offset, void* dst, int64_t bytes) {
    if (!f_ || !fits(offset, bytes)) return false;
    if (std::fseek(f_, long(offset), SEEK_SET) != 0) return false;
    return std::fread(dst, 1, size_t(bytes), f_) == size_t(bytes);
  }

 private:
  std::FILE* f_ = nullptr;
  int64_t size_ = 0;
};

struct qct_record_t {
  int32_t marker = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t first_image = 0;
  float pixel_x = 0;
  float pixel_y = 0;
  float thickness = 0;
  float z = 0;
};

bool read_record(bounded_file& f, int32_t offset, qct_record_t& r) {
  unsigned char b[kRecordBytes];
  if (!f.read_at(offset, b, kRecordBytes)) return false;
  r.marker = le_int(b);
  r.width = le_int(b + 8);
  r.height = le_int(b + 12);
  r.first_image = le_int(b + 16);
  r.pixel_x = le_float(b + 24);
  r.pixel_y = le_float(b + 28);
  r.thickness = le_float(b + 36);
  r.z = le_float(b + 40);
  return true;
}

// Sizes of at least one pixel whose product is a frame the store can hold;
// pixel sizes that are numbers and not negative.
bool record_usable(const qct_record_t& r) {
  if (r.marker != 1 || r.width < 1 || r.height < 1) return false;
  if (int64_t(r.width) * int64_t(r.height) > int64_t(INT32_MAX) / 2) return false;
  if (!std::isfinite(r.pixel_x) || !std::isfinite(r.pixel_y)) return false;
  return r.pixel_x >= 0.0f && r.pixel_y >= 0.0f;
}

struct packed_date_t {
  int day, month, year;
};
packed_date_t unpack_date(uint32_t v) { return {int(v & 31u), int((v >> 5) & 15u), int(v >> 9)}; }

void warn(const wxFileName& name, const wxString& what) {
  wxLogWarning("dicom_utility::read_qct_data: %s: %s", name.GetFullPath(), what);
}

}  // namespace

int dicom_utility::read_qct_data(wxFileName name, int frame, int index, uint16_t* raw,
                                 uint8_t* /*display*/, position_t* position) {
  bounded_file f(name.GetFullPath());
  if (!f.is_open()) return 0;

  unsigned char head[kTableStart];
  if (!f.read_at(0, head, kTableStart)) return 0;
  if (le_int(head + 32) != 1) return 0;
  const int32_t n = le_int(head + 36);
  if (n < 1 || n > kMaxRecords) return 0;

  const int64_t table_bytes = 4 * int64_t(n);
  std::vector<unsigned char> table(static_cast<size_t>(table_bytes));
  if (!f.read_at(kTableStart, table.data(), table_bytes)) return 0;
  std::vector<int32_t> offsets(static_cast<size_t>(n));
  for (int32_t k = 0; k < n; ++k) offsets[size_t(k)] = le_int(&table[size_t(4 * k)]);
  unsigned char date[4];
  if (!f.read_at(kTableStart + table_bytes + 140, date, 4)) return 0;
  const packed_date_t birth = unpack_date(le32(date));
  if (!f.read_at(kTableStart + table_bytes + 300, date, 4)) return 0;
  const packed_date_t scanned = unpack_date(le32(date));

  // The stack starts at the first record marked as the first image; a file
  // without one holds no stack.
  qct_record_t rec;
  int32_t first = -1;
  for (int32_t k = 0; k < n; ++k) {
    if (!read_record(f, offsets[size_t(k)], rec)) return 0;
    if (rec.first_image == 1) {
      first = k;
      break;
    }
  }
  if (first < 0) return 0;
  if (index > 0 && int64_t(first) + index >= n) return 0;
  const int32_t at = first + (index > 0 ? index : 0);
  if (at != first && !read_record(f, offsets[size_t(at)], rec)) return 0;
  if (!record_usable(rec)) {
    if (frame >= -1 && index >= 0) warn(name, "the image record has impossible sizes.");
    return 0;
  }
  if (index < 0) return 1;

  file_rescale.slope = 1.0;
  file_rescale.intercept = -1000.0;
  source_type = "QCT";
  value_units = "HU";
  const int32_t pixels = rec.width * rec.height;

  if (!raw) {
    write_pending_bool(L"RES_BUF_DICOM", true);
    write_pending_long(L"RES_BUF_WIDTH", rec.width);
    write_pending_long(L"RES_BUF_HEIGHT", rec.height);
    write_pending_bool(L"RES_POS_REC", true);
    write_pending_flag_string(L"RES_BIN_IM_FILENAME", name.GetFullPath());
    write_pending_double(L"RES_XSCALE", rec.pixel_x / 10.0);
    write_pending_double(L"RES_YSCALE", rec.pixel_y / 10.0);
    for (const wchar_t* r : {L"RES_XTRANS", L"RES_YTRANS", L"RES_ZTRANS", L"RES_AZIMUTH",
                             L"RES_ELEVATION", L"RES_ROLL"})
      write_pending_double(r, 0.0);
    write_pending_double(L"RES_DICOM_HUM", 1.0);
    write_pending_double(L"RES_DICOM_HUB", -1000.0);
    write_pending_string(L"RES_DICOM_UNITS", "HU");
    write_pending_long(L"RES_BUF_FRAMES", n - first);
    return pixels;
  }

  locations_from_file = true;
  data_16bit = true;
  data_8bit = false;
  patient_coordinates = false;
  position_t loc;
  loc.z = float(rec.z / 10.0);
  if (frame >= 0 && frame_file_info.ensure(frame)) {
    const size_t k = size_t(frame);
    frame_file_info.content_time[k] = 0;
    frame_file_info.location[k] = loc;
    frame_file_info.pixel_size_x[k] = rec.pixel_x;
    frame_file_info.pixel_size_y[k] = rec.pixel_y;
  }
  slice_thickness = rec.thickness / 10.0;
  if (position) *position = loc;

  // A page whose sizes differ from the data set's is a failed frame: the
  // buffer is sized for the data set, and a page of the same pixel count
  // but other sizes would otherwise load as garbage.
  if (rec.width != pending_long(L"RES_BUF_WIDTH", rec.width) ||
      rec.height != pending_long(L"RES_BUF_HEIGHT", rec.height)) {
    warn(name, wxString::Format("page %d is %d x %d pixels, unlike the data set.", index,
                                rec.width, rec.height));
    return -1;
  }
  std::vector<unsigned char> row(static_cast<size_t>(rec.width) * 2);
  int64_t at_byte = int64_t(offsets[size_t(at)]) + kRecordBytes;
  if (!f.fits(at_byte, 2 * int64_t(pixels))) {
    warn(name, wxString::Format("page %d is cut short.", index));
    return -1;
  }
  for (int32_t y = 0; y < rec.height; ++y, at_byte += int64_t(row.size())) {
    if (!f.read_at(at_byte, row.data(), int64_t(row.size()))) {
      warn(name, wxString::Format("page %d could not be read.", index));
      return -1;
    }
    uint16_t* out = raw + size_t(y) * size_t(rec.width);
    for (int32_t x = 0; x < rec.width; ++x)
      out[x] = uint16_t(row[size_t(2 * x)] | row[size_t(2 * x + 1)] << 8);
  }
  if (frame == 0)
    write_pending_string(L"RES_ALERT_STRING",
                         wxString::Format("Scanned on %02d/%02d/%04d, DOB %02d/%02d/%04d",
                                          scanned.day, scanned.month, scanned.year, birth.day,
                                          birth.month, birth.year));
  return pixels;
}
