// Quantitative-CT files: the header checks, the offset table, the search for
// the first image, the records' calibration and locations, the status text,
// and files that are cut short or corrupt. The files are made by a small
// writer here that follows the format's layout byte by byte.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "common/log_capture.h"
#include "medical/dicom_utility.h"
#include "medical_support.h"

namespace {

struct qct_slice {
  int32_t marker = 1;
  int32_t width = 4;
  int32_t height = 3;
  int32_t first = 0;
  float px = 0.5f, py = 0.75f, thickness = 2.0f, z = 0.0f;
  std::vector<uint16_t> pixels;  // width x height; generated when empty
};

void put32(std::string& s, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k) s[at + size_t(k)] = char((v >> (8 * k)) & 0xff);
}
void putf(std::string& s, size_t at, float f) {
  uint32_t v;
  std::memcpy(&v, &f, 4);
  put32(s, at, v);
}

// Pixel k of slice s: its raw value.
uint16_t slice_pixel(size_t s, size_t k) { return uint16_t(s * 1000 + k * 37); }

// Header, offset table, dates, then each record followed by its pixels.
std::string make_qct(std::vector<qct_slice> slices, uint32_t birth, uint32_t scanned,
                     int32_t header_one = 1, int32_t count_override = INT32_MIN) {
  const size_t n = slices.size();
  std::string out(344 + 4 * n, '\0');
  put32(out, 32, uint32_t(header_one));
  put32(out, 36, uint32_t(count_override != INT32_MIN ? count_override : int32_t(n)));
  put32(out, 180 + 4 * n, birth);
  put32(out, 340 + 4 * n, scanned);
  for (size_t s = 0; s < n; ++s) {
    qct_slice& q = slices[s];
    put32(out, 40 + 4 * s, uint32_t(out.size()));
    std::string rec(128, '\0');
    put32(rec, 0, uint32_t(q.marker));
    put32(rec, 8, uint32_t(q.width));
    put32(rec, 12, uint32_t(q.height));
    put32(rec, 16, uint32_t(q.first));
    putf(rec, 24, q.px);
    putf(rec, 28, q.py);
    putf(rec, 36, q.thickness);
    putf(rec, 40, q.z);
    out += rec;
    // Records of impossible sizes get no pixels.
    size_t count = q.width > 0 && q.height > 0 ? size_t(q.width) * size_t(q.height) : 0;
    if (count > 4096) count = 0;
    for (size_t k = 0; k < count; ++k) {
      const uint16_t v = q.pixels.empty() ? slice_pixel(s, k) : q.pixels[k];
      out += char(v & 0xff);
      out += char(v >> 8);
    }
  }
  return out;
}

// 1980 x 512 + 5 x 32 + 3 and 2021 x 512 + 11 x 32 + 28.
constexpr uint32_t kBirth = 1013923;
constexpr uint32_t kScan = 2021u * 512 + 11 * 32 + 28;

// Two leading records that are not the first image, then three slices.
std::vector<qct_slice> stack_with_lead() {
  std::vector<qct_slice> s(5);
  for (size_t k = 0; k < s.size(); ++k) s[k].z = float(10.0 + 2.5 * double(k));
  s[2].first = 1;
  s[2].pixels = {1000, 0, 1500, 65535, 2, 3, 4, 5, 6, 7, 8, 9};
  return s;
}

class QctFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dicom_utility::reset_reader_state();
    dicom_utility::reset_data_source();
  }
  void TearDown() override {
    dicom_utility::reset_reader_state();
    dicom_utility::reset_data_source();
  }
  int read(const wxString& path, int frame, int index, bool with_raw) {
    return dicom_utility::read_qct_data(wxFileName(path), frame, index,
                                        with_raw ? raw.data() : nullptr, nullptr, &pos);
  }

  scratch_dir dir;
  resource_set res;
  wxString_res_t alert{wxString(), L"RES_ALERT_STRING", 0, 0};
  std::vector<uint16_t> raw = std::vector<uint16_t>(64, 0xABCD);
  position_t pos;
};

TEST_F(QctFiles, ProbeWritesTheDataSetFromTheFirstImageRecord) {
  const wxString f = dir.write("scan.qct", make_qct(stack_with_lead(), kBirth, kScan));
  EXPECT_EQ(read(f, -1, -1, false), 1) << "the recognition check";
  ASSERT_EQ(read(f, -1, 0, false), 12);
  EXPECT_EQ(res.frames.pending(), 3) << "two leading records are skipped";
  EXPECT_EQ(res.width.pending(), 4);
  EXPECT_EQ(res.height.pending(), 3);
  EXPECT_DOUBLE_EQ(res.xscale.pending(), 0.05);
  EXPECT_DOUBLE_EQ(res.yscale.pending(), 0.075);
  EXPECT_DOUBLE_EQ(res.hum.pending(), 1.0);
  EXPECT_DOUBLE_EQ(res.hub.pending(), -1000.0);
  EXPECT_EQ(res.units.pending(), "HU");
  EXPECT_TRUE(res.buf_dicom.pending());
  EXPECT_TRUE(res.pos_rec.pending());
  EXPECT_EQ(res.bin_name.pending(), f);
  for (double_res_t* r : {&res.xtrans, &res.ytrans, &res.ztrans, &res.azimuth, &res.elevation, &res.roll})
    EXPECT_EQ(r->pending(), 0.0);
  EXPECT_EQ(res.centre.pending(), 1024.0) << "the display window is left alone";
  EXPECT_EQ(res.window.pending(), 2048.0);
  EXPECT_EQ(dicom_utility::source_type, "QCT");
}

TEST_F(QctFiles, FrameReadsGiveExactPixelsLocationsAndTheDates) {
  const wxString f = dir.write("scan.qct", make_qct(stack_with_lead(), kBirth, kScan));
  ASSERT_EQ(read(f, -1, 0, false), 12);
  dicom_utility::frame_file_info.create(3);
  for (int page = 0; page < 3; ++page) {
    SCOPED_TRACE(page);
    std::fill(raw.begin(), raw.end(), 0xABCD);
    ASSERT_EQ(read(f, page, page, true), 12);
    const size_t rec = size_t(page) + 2;
    for (size_t k = 0; k < 12; ++k)
      EXPECT_EQ(raw[k], page == 0 ? stack_with_lead()[2].pixels[k] : slice_pixel(rec, k)) << k;
    EXPECT_EQ(raw[12], 0xABCD) << "nothing written past the frame";
    const position_t& loc = dicom_utility::frame_file_info.location[size_t(page)];
    EXPECT_FLOAT_EQ(loc.z, float((10.0 + 2.5 * double(rec)) / 10.0));
    EXPECT_EQ(loc.x, 0.0f);
    EXPECT_EQ(loc.roll, 0.0f);
    EXPECT_FLOAT_EQ(pos.z, loc.z);
    EXPECT_DOUBLE_EQ(dicom_utility::frame_file_info.pixel_size_x[size_t(page)], 0.5);
    EXPECT_DOUBLE_EQ(dicom_utility::frame_file_info.pixel_size_y[size_t(page)], 0.75);
  }
  EXPECT_DOUBLE_EQ(dicom_utility::slice_thickness, 0.2);
  EXPECT_TRUE(dicom_utility::data_16bit);
  EXPECT_FALSE(dicom_utility::data_8bit);
  EXPECT_TRUE(dicom_utility::locations_from_file);
  // Raw 1000 is 0 HU and raw 0 is -1000 HU.
  const file_rescale_t& r = dicom_utility::file_rescale;
  EXPECT_EQ(r.slope * 1000 + r.intercept, 0.0);
  EXPECT_EQ(r.slope * 0 + r.intercept, -1000.0);
  EXPECT_EQ(alert.pending(), "Scanned on 28/11/2021, DOB 03/05/1980");
  EXPECT_EQ(read(f, 3, 3, true), 0) << "an index past the last record";
}

TEST_F(QctFiles, PaddingValueOfTheDataReadBeforeIsKept) {
  dicom_utility::padding_value = 77;
  const wxString f = dir.write("scan.qct", make_qct(stack_with_lead(), kBirth, kScan));
  ASSERT_EQ(read(f, -1, 0, false), 12);
  ASSERT_EQ(read(f, 0, 0, true), 12);
  EXPECT_EQ(dicom_utility::padding_value, 77);
}

TEST_F(QctFiles, LoadsAsADataSetThroughTheReaders) {
  dynabuf store;
  dynabuf* saved = frame_store;
  frame_store = &store;
  const wxString f = dir.write("scan.qct", make_qct(stack_with_lead(), kBirth, kScan));
  EXPECT_EQ(dicom_utility::load_dicom_files(wxFileName(f)), 1);
  frame_store = saved;
  ASSERT_EQ(store.images.size(), 3u);
  EXPECT_EQ(store.images[1]->raw[5], slice_pixel(3, 5));
  EXPECT_FLOAT_EQ(store.positions[2]->z, 2.0f);
}

TEST_F(QctFiles, ZeroPixelSizeIsAccepted) {
  std::vector<qct_slice> s(1);
  s[0].first = 1;
  s[0].px = 0.0f;
  const wxString f = dir.write("zero.qct", make_qct(s, kBirth, kScan));
  EXPECT_EQ(read(f, -1, 0, false), 12);
  EXPECT_EQ(res.xscale.pending(), 0.0);
}

// Files that are not QCT, or whose records cannot be used: never recognised.
TEST_F(QctFiles, CorruptHeadersAndRecordsAreRefused) {
  auto one = [](auto change) {
    std::vector<qct_slice> s(2);
    s[0].first = 1;
    change(s);
    return s;
  };
  struct bad_case {
    const char* what;
    std::string bytes;
  };
  const std::vector<bad_case> cases = {
      {"no records", make_qct({}, kBirth, kScan)},
      {"2049 records claimed", make_qct(one([](auto&) {}), kBirth, kScan, 1, 2049)},
      {"negative record count", make_qct(one([](auto&) {}), kBirth, kScan, 1, -1)},
      {"header field at 32 not 1", make_qct(one([](auto&) {}), kBirth, kScan, 2)},
      {"no record marked first", make_qct(one([](auto& s) { s[0].first = 0; }), kBirth, kScan)},
      {"record marker not 1", make_qct(one([](auto& s) { s[0].marker = 0; }), kBirth, kScan)},
      {"negative pixel size", make_qct(one([](auto& s) { s[0].py = -0.5f; }), kBirth, kScan)},
      {"zero width", make_qct(one([](auto& s) { s[0].width = 0; }), kBirth, kScan)},
      {"negative height", make_qct(one([](auto& s) { s[0].height = -3; }), kBirth, kScan)},
      {"sizes whose product overflows",
       make_qct(one([](auto& s) { s[0].width = 65536; s[0].height = 65536; }), kBirth, kScan)},
  };
  log_capture quiet;
  for (const bad_case& c : cases) {
    SCOPED_TRACE(c.what);
    const wxString f = dir.write("bad.qct", c.bytes);
    EXPECT_EQ(read(f, -1, -1, false), 0);
    EXPECT_EQ(read(f, -1, 0, false), 0);
    EXPECT_EQ(read(f, 0, 0, true), 0);
  }
}

TEST_F(QctFiles, OffsetsOutsideTheFileAreRefusedBeforeSeeking) {
  std::string bytes = make_qct(stack_with_lead(), kBirth, kScan);
  const std::vector<uint32_t> offsets = {uint32_t(bytes.size()), uint32_t(bytes.size() - 127),
                                         0x7fffffffu, 0x80000000u /* negative */};
  for (uint32_t off : offsets) {
    SCOPED_TRACE(off);
    std::string b = bytes;
    put32(b, 40, off);  // the first record, read by the search
    const wxString f = dir.write("off.qct", b);
    EXPECT_EQ(read(f, -1, -1, false), 0);
  }
}

// Every cut of a valid file: the header and records refuse, a cut in the
// pixels fails the frame, and no call reports more than it read.
TEST_F(QctFiles, TruncatedFilesNeverLoadStalePixels) {
  std::vector<qct_slice> s(2);
  s[0].first = 1;
  const std::string whole = make_qct(s, kBirth, kScan);
  const size_t second_record = 344 + 8 + 128 + 24;
  log_capture quiet;
  for (size_t len = 0; len < whole.size(); ++len) {
    SCOPED_TRACE(len);
    const wxString f = dir.write("cut.qct", whole.substr(0, len));
    const int probe = read(f, -1, 0, false);
    if (len < 344 + 8 + 128) {
      EXPECT_EQ(probe, 0);
      continue;
    }
    ASSERT_EQ(probe, 12);
    const int last = read(f, 1, 1, true);
    if (len < second_record + 128)
      EXPECT_EQ(last, 0) << "the second record is cut";
    else
      EXPECT_EQ(last, -1) << "its pixels are cut";
  }
}

TEST_F(QctFiles, APageOfOtherSizesFailsTheFrame) {
  std::vector<qct_slice> s(2);
  s[0].first = 1;
  s[1].width = 3;
  s[1].height = 4;  // the same pixel count, other sizes
  const wxString f = dir.write("mixed.qct", make_qct(s, kBirth, kScan));
  ASSERT_EQ(read(f, -1, 0, false), 12);
  log_capture log;
  EXPECT_EQ(read(f, 1, 1, true), -1);
  EXPECT_EQ(raw[0], 0xABCD);
  EXPECT_TRUE(log.has(wxLOG_Warning, "page 1 is 3 x 4 pixels, unlike the data set."));
}

}  // namespace
