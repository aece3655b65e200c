// The DICOM parser and pixel data on files written by pydicom and re-encoded
// by dcmtk and gdcm in every transfer syntax the readers take: the stored
// values, the refusals with their messages, calibration, padding, geometry,
// the probe's resources and the series a scan finds.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "common/log_capture.h"
#include "data/geometry.h"
#include "medical/dicom_utility.h"
#include "medical_support.h"

namespace {

const wxString& fixtures() {
  static const wxString dir = generated_fixtures("make_dicom_fixtures.py");
  return dir;
}

class DicomFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(fixtures().empty()) << "fixture generator failed";
    dicom_utility::reset_reader_state();
    dicom_utility::series_list.clear();
  }
  void TearDown() override {
    dicom_utility::reset_reader_state();
    dicom_utility::frame_file_info.clear();
    dicom_utility::series_list.clear();
  }
  static wxString file(const wxString& name) { return wxFileName(fixtures(), name).GetFullPath(); }
  int probe(const wxString& name, int index = 0) {
    return dicom_utility::read_dicom_data(wxFileName(file(name)), -1, index, nullptr, nullptr, nullptr);
  }
  // Probes, then reads frame slot 0 with the given index into raw and display.
  int load(const wxString& name, int index = 0) {
    probe(name, index);
    const size_t n = size_t(res.width.pending()) * size_t(res.height.pending());
    raw.assign(n, 0xEEEE);
    display.assign(n, 0xEE);
    return dicom_utility::read_dicom_data(wxFileName(file(name)), 0, index, raw.data(),
                                          display.data(), &position);
  }

  resource_set res;
  std::vector<uint16_t> raw;
  std::vector<uint8_t> display;
  position_t position;
};

TEST_F(DicomFiles, EverySupportedSyntaxGivesTheExactStoredValues) {
  std::istringstream manifest(read_bytes(file("manifest.txt")));
  std::string name;
  int index, bits, seen = 0;
  while (manifest >> name >> index >> bits) {
    SCOPED_TRACE(name + " frame " + std::to_string(index));
    log_capture log;
    dicom_utility::reset_reader_state();
    const int n = load(name, index);
    ++seen;
    if (bits == 0) {
      EXPECT_EQ(n, 0);
      EXPECT_TRUE(log.has(wxLOG_Warning, file(name).ToStdString())) << "the message names the file";
      continue;
    }
    ASSERT_EQ(n, int(raw.size()));
    const std::string expected = read_bytes(file(name + "." + std::to_string(index) + ".expect"));
    if (bits == 16) {
      ASSERT_EQ(expected.size(), raw.size() * 2);
      for (size_t i = 0; i < raw.size(); ++i)
        ASSERT_EQ(raw[i], uint16_t(uint8_t(expected[2 * i]) | (uint8_t(expected[2 * i + 1]) << 8)))
            << "pixel " << i;
      EXPECT_FALSE(dicom_utility::data_8bit);
    } else {
      ASSERT_EQ(expected.size(), display.size());
      for (size_t i = 0; i < display.size(); ++i)
        ASSERT_EQ(display[i], uint8_t(expected[i])) << "pixel " << i;
      EXPECT_TRUE(dicom_utility::data_8bit);
      EXPECT_EQ(raw[0], 0xEEEE) << "8-bit data leave the raw plane alone";
    }
    EXPECT_TRUE(dicom_utility::data_16bit);
  }
  EXPECT_GE(seen, 25);
}

TEST_F(DicomFiles, RefusalsSayWhy) {
  struct {
    const char* name;
    int index;
    const char* message;
  } cases[] = {
      {"u16_rle.dcm", 0, "This DICOM file contains compressed data, but in an unsupported format.\nCurrently Norvelith only supports RLE and various JPEG compressed formats."},
      {"u16_jpegls.dcm", 0, "This DICOM file contains compressed data, but in an unsupported format."},
      {"u16_extended12.dcm", 0, "This DICOM file contains compressed data, but in an unsupported format."},
      {"u32.dcm", 0, "Only DICOM files containing 8-bit or 16-bit data are supported."},
      {"short_pixels.dcm", 0, "This DICOM file contains un-compressed data which is not consistent with the given width, height, samples and bits."},
      {"deflated.dcm", 0, "deflated DICOM files are not supported"},
      {"mf_explicit.dcm", 4, "frame 4 is not among them"},
      {"no_rows.dcm", 0, "the image has no rows or columns."},
      {"huge.dcm", 0, "an image of 65535 x 65535 pixels is too large."},
      {"enhanced_no_measures.dcm", 1, "gives no Pixel Spacing (Pixel Measures)"},
      {"enhanced_ct_no_rescale.dcm", 1, "gives no Rescale Slope and Intercept"},
      {"enhanced_mixed_rescale.dcm", 1, "different rescale slopes or intercepts"},
  };
  for (const auto& c : cases) {
    log_capture log;
    dicom_utility::reset_reader_state();
    EXPECT_EQ(load(c.name, c.index), 0) << c.name;
    EXPECT_TRUE(log.has(wxLOG_Warning, c.message)) << c.name;
  }
}

// Calibrated values (slope x stored + intercept), pixel spacing and the
// frame's position, wherever the file keeps them: top-level rescale on
// unsigned and signed samples, elements of 32-bit-length VRs and of VR UN
// before the image, and enhanced multi-frame files whose spacing and
// rescale live only in shared or per-frame functional groups.
TEST_F(DicomFiles, CalibratedValuesSpacingAndPositionFromEveryPlace) {
  std::istringstream list(read_bytes(file("calibrated.txt")));
  std::string name;
  int index, seen = 0;
  while (list >> name >> index) {
    SCOPED_TRACE(name + " frame " + std::to_string(index));
    dicom_utility::reset_reader_state();
    std::istringstream cal(read_bytes(file(name + "." + std::to_string(index) + ".cal")));
    double sx, sy, px, py, pz, v;
    ASSERT_TRUE(cal >> sx >> sy >> px >> py >> pz);
    std::vector<double> want;
    while (cal >> v) want.push_back(v);
    ++seen;
    const int n = load(name, index);
    ASSERT_EQ(n, int(raw.size()));
    ASSERT_EQ(want.size(), raw.size());
    for (size_t i = 0; i < raw.size(); ++i)
      ASSERT_NEAR(res.hum.pending() * raw[i] + res.hub.pending(), want[i], 1e-9) << "pixel " << i;
    EXPECT_NEAR(res.xscale.pending(), sx / 10, 1e-12);
    EXPECT_NEAR(res.yscale.pending(), sy / 10, 1e-12);
    EXPECT_NEAR(dicom_utility::frame_file_info.pixel_size_x[0], sx, 1e-12);
    matrix4_t m;
    matrix4_from_position_t(m, position);
    const vec3_t t = matrix4_get_translation(m);
    EXPECT_NEAR(t.x, px / 10, 1e-5);
    EXPECT_NEAR(t.y, py / 10, 1e-5);
    EXPECT_NEAR(t.z, pz / 10, 1e-5);
  }
  EXPECT_GE(seen, 7);
}

TEST_F(DicomFiles, TruncatedFilesAreRefusedAtEveryCut) {
  const std::string whole = read_bytes(file("u16_lossless.dcm"));
  scratch_dir dir;
  for (size_t cut : {size_t(10), size_t(140), whole.size() / 3, whole.size() / 2, whole.size() - 40,
                     whole.size() - 2}) {
    const wxString p = dir.write("cut.dcm", whole.substr(0, cut));
    dicom_utility::reset_reader_state();
    log_capture log;
    probe("u16_lossless.dcm");
    std::vector<uint16_t> out(70, 0);
    EXPECT_EQ(dicom_utility::read_dicom_data(wxFileName(p), 0, 0, out.data(), nullptr, nullptr), 0)
        << "cut at " << cut;
  }
}

TEST_F(DicomFiles, ProbeWritesTheDataSetDescription) {
  ASSERT_GT(probe("s16_explicit.dcm"), 0);
  EXPECT_TRUE(res.buf_dicom.pending());
  EXPECT_EQ(res.width.pending(), 9);
  EXPECT_EQ(res.height.pending(), 6);
  EXPECT_TRUE(res.pos_rec.pending());
  EXPECT_EQ(res.bin_name.pending(), file("s16_explicit.dcm"));
  // Pixel Spacing 0.5\0.8: rows 0.5 mm apart, columns 0.8 mm apart.
  EXPECT_DOUBLE_EQ(res.xscale.pending(), 0.08);
  EXPECT_DOUBLE_EQ(res.yscale.pending(), 0.05);
  EXPECT_EQ(res.xtrans.pending(), 0.0);
  EXPECT_EQ(res.roll.pending(), 0.0);
  EXPECT_EQ(res.centre.pending(), 1000.0);
  EXPECT_EQ(res.window.pending(), 2000.0);
  EXPECT_EQ(res.hum.pending(), 1.0);
  EXPECT_EQ(res.hub.pending(), -1024.0 - 32768.0);
  EXPECT_EQ(res.units.pending(), "HU");
  EXPECT_EQ(dicom_utility::source_type, "CT");
  EXPECT_EQ(res.frames.pending(), 0) << "single-frame files leave the frame count";
}

TEST_F(DicomFiles, DoseGridCalibrationAndFramePlacement) {
  ASSERT_GT(probe("dose.dcm"), 0);
  EXPECT_EQ(res.frames.pending(), 5);
  EXPECT_DOUBLE_EQ(dicom_utility::file_rescale.slope, 0.001);
  EXPECT_EQ(dicom_utility::file_rescale.intercept, 0.0);
  EXPECT_EQ(dicom_utility::value_units, "GY");
  EXPECT_EQ(res.centre.pending(), 37.5);
  EXPECT_EQ(res.window.pending(), 75.0);
  ASSERT_EQ(load("dose.dcm", 4), 12);
  // Frame 4 of 2.5 mm offsets lies 1 cm along the normal of the 30 degree
  // rotated plane from (-1, 2, 3) cm; its samples are 48..59.
  EXPECT_EQ(raw[0], 48);
  EXPECT_EQ(raw[11], 59);
  matrix4_t m;
  matrix4_from_position_t(m, position);
  const vec3_t t = matrix4_get_translation(m), x = matrix4_get_x_axis(m), y = matrix4_get_y_axis(m);
  EXPECT_NEAR(t.x, -1.0, 1e-5);
  EXPECT_NEAR(t.y, 2.0, 1e-5);
  EXPECT_NEAR(t.z, 4.0, 1e-5);
  EXPECT_NEAR(x.x, std::cos(M_PI / 6), 1e-5);
  EXPECT_NEAR(x.y, 0.5, 1e-5);
  EXPECT_NEAR(y.x, -0.5, 1e-5);
  EXPECT_NEAR(y.y, std::cos(M_PI / 6), 1e-5);
  const position_t& stored = dicom_utility::frame_file_info.location[0];
  EXPECT_EQ(stored.x, position.x);
  EXPECT_EQ(stored.roll, position.roll);
  EXPECT_TRUE(dicom_utility::patient_coordinates);
  EXPECT_TRUE(dicom_utility::locations_from_file);
}

TEST_F(DicomFiles, SliceLocationWindowListAndPixelSizes) {
  ASSERT_EQ(load("slice_location.dcm"), 12);
  EXPECT_EQ(res.centre.pending(), 40.0);
  EXPECT_EQ(res.window.pending(), 350.0);
  EXPECT_EQ(position.z, float(-1.25));
  EXPECT_EQ(position.x, 0.0f);
  EXPECT_FALSE(dicom_utility::patient_coordinates);
  EXPECT_EQ(dicom_utility::frame_file_info.pixel_size_x[0], 0.8);
  EXPECT_EQ(dicom_utility::frame_file_info.pixel_size_y[0], 0.5);
  EXPECT_EQ(dicom_utility::file_rescale.intercept, 0.0) << "MR without rescale";
  EXPECT_EQ(dicom_utility::value_units, "??");
}

TEST_F(DicomFiles, CtPaddingIsRemappedToMinus1000) {
  ASSERT_EQ(load("ct_corners.dcm"), 20);
  // 63536 - 1024 > -1000 HU: those pixels become raw 24, which is -1000 HU.
  EXPECT_EQ(dicom_utility::padding_value, 24);
  EXPECT_EQ(raw[0], 24);
  EXPECT_EQ(raw[6], 24);
  EXPECT_EQ(raw[1], 1500);
  dicom_utility::reset_reader_state();
  ASSERT_EQ(load("ct_padding_value.dcm"), 20);
  // -2000 stored offset: 30768, and -3024 HU needs no remapping.
  EXPECT_EQ(dicom_utility::padding_value, 30768);
  EXPECT_EQ(raw[0], 100 + 32768);
}

TEST_F(DicomFiles, NestedSequencesDoNotLeakIntoTheImage) {
  for (const char* name : {"nested_undefined.dcm", "nested_implicit.dcm"}) {
    dicom_utility::reset_reader_state();
    ASSERT_EQ(load(name), 12) << name;
    EXPECT_EQ(res.width.pending(), 4);
    EXPECT_EQ(raw[11], 11);
    EXPECT_NEAR(position.x, -1.0f, 1e-6) << "the icon's position is not the image's";
  }
}

TEST_F(DicomFiles, FramesOfAnotherSeriesAreRefused) {
  ASSERT_GT(probe("slice_location.dcm"), 0);
  raw.assign(12, 0);
  const auto read = [&](const char* name) {
    return dicom_utility::read_dicom_data(wxFileName(file(name)), 0, 0, raw.data(), nullptr, nullptr);
  };
  EXPECT_EQ(read("other_series.dcm"), 0);
}

TEST_F(DicomFiles, SegmentationsAreRefusedWithAHint) {
  log_capture log;
  EXPECT_EQ(probe("seg.dcm"), 0);
  EXPECT_TRUE(log.has(wxLOG_Warning, "This is an RTSTRUCT or SEG DICOM file: try loading this using `Import from data files'."));
  log.clear();
  EXPECT_EQ(dicom_utility::read_dicom_data(wxFileName(file("seg.dcm")), -2, 0, nullptr, nullptr, nullptr), 0);
  EXPECT_TRUE(dicom_utility::series_list.empty());
  EXPECT_EQ(log.count(wxLOG_Warning), 0) << "scans pass segmentations over silently";
}

TEST_F(DicomFiles, ScanJoinsFilesOfOneSeriesInOneFolder) {
  scratch_dir a, b;
  const std::string slice = read_bytes(file("slice_location.dcm"));
  a.write("one", slice);
  a.write("two", slice);
  a.write("three", read_bytes(file("other_series.dcm")));
  b.write("one", slice);
  for (int i = 0; i < 3; ++i)
    dicom_utility::read_dicom_data(wxFileName(a.root()), -2, i, nullptr, nullptr, nullptr);
  dicom_utility::read_dicom_data(wxFileName(b.root()), -2, 0, nullptr, nullptr, nullptr);
  ASSERT_EQ(dicom_utility::series_list.size(), 3u);
  // Listing order: one, three, two.
  const data_series_t& first = dicom_utility::series_list[0];
  EXPECT_EQ(first.frame_count, 2);
  EXPECT_EQ(first.first_index, 0);
  EXPECT_EQ(first.file.GetFullName(), "one");
  EXPECT_EQ(first.series_uid, "1.2.3.4.5");
  EXPECT_EQ(first.width, 4);
  EXPECT_EQ(first.height, 3);
  EXPECT_TRUE(first.is_dicom);
  EXPECT_EQ(dicom_utility::series_list[1].series_uid, "1.2.3.4.6");
  EXPECT_EQ(dicom_utility::series_list[1].first_index, 1);
  EXPECT_EQ(dicom_utility::series_list[2].frame_count, 1);
}

}  // namespace
