// The NIfTI/Analyze, NRRD and MetaImage readers against volumes written by
// an independent writer (nibabel, or headers made by hand) whose values and
// geometry the fixture script worked out: every voxel, the pixel spacing and
// each frame's position and axes. Then the refusals, each with its message.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include "common/log_capture.h"
#include "data/geometry.h"
#include "medical/dicom_utility.h"
#include "medical/reader_state.h"
#include "medical/volume_headers.h"
#include "medical_support.h"

namespace {

struct expectation {
  int columns = 0, rows = 0, frames = 0;
  double spacing[2] = {0, 0};
  vec3_t pos0, column, row, step;
  std::vector<double> values;
};

bool load_expectation(const wxString& path, expectation& e) {
  std::ifstream in(path.ToStdString());
  auto vec = [&](vec3_t& v) { return bool(in >> v.x >> v.y >> v.z); };
  if (!(in >> e.columns >> e.rows >> e.frames >> e.spacing[0] >> e.spacing[1])) return false;
  if (!vec(e.pos0) || !vec(e.column) || !vec(e.row) || !vec(e.step)) return false;
  double v;
  while (in >> v) e.values.push_back(v);
  return e.values.size() == size_t(e.columns) * e.rows * e.frames;
}

class VolumeReaders : public ::testing::Test {
 protected:
  void SetUp() override {
    dicom_utility::reset_reader_state();
    dicom_utility::reset_data_source();
    fixtures = generated_fixtures("make_volume_fixtures.py");
    ASSERT_FALSE(fixtures.empty()) << "fixture script failed";
  }
  wxString fx(const wxString& name) const { return wxFileName(fixtures, name).GetFullPath(); }

  // Probes and reads every frame through the reader dispatch.
  void read_all(const wxString& file, const expectation& e, std::vector<double>& values,
                std::vector<position_t>& positions) {
    const wxFileName name(file);
    ASSERT_GT(dicom_utility::read_dicom_data(name, -1, 0, nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(res.width.pending(), e.columns);
    ASSERT_EQ(res.height.pending(), e.rows);
    ASSERT_EQ(res.frames.pending(), e.frames);
    const size_t n = size_t(e.columns) * e.rows;
    for (int k = 0; k < e.frames; ++k) {
      std::vector<uint16_t> raw(n, 0xABCD);
      std::vector<uint8_t> display(n, 0xAB);
      position_t p;
      ASSERT_EQ(dicom_utility::read_dicom_data(name, k, k, raw.data(), display.data(), &p), int(n))
          << "frame " << k;
      const file_rescale_t r = dicom_utility::file_rescale;
      for (size_t i = 0; i < n; ++i)
        values.push_back(r.slope * (dicom_utility::data_8bit ? display[i] : raw[i]) + r.intercept);
      positions.push_back(p);
    }
  }

  resource_set res;
  wxString fixtures;
};

void expect_vec(const vec3_t& got, const vec3_t& want, double tol, const std::string& what) {
  EXPECT_NEAR(got.x, want.x, tol) << what;
  EXPECT_NEAR(got.y, want.y, tol) << what;
  EXPECT_NEAR(got.z, want.z, tol) << what;
}

TEST_F(VolumeReaders, IndependentlyWrittenVolumesReadWithTheirValuesAndGeometry) {
  const struct {
    const char* file;
    const char* source;
  } cases[] = {
      {"n1_short.nii", "NIfTI"},    {"n1_short_gz.nii.gz", "NIfTI"}, {"n1_scaled.nii", "NIfTI"},
      {"n1_float.nii", "NIfTI"},    {"n2_ushort.nii", "NIfTI"},      {"an_uchar.hdr", "Analyze"},
      {"nr_short.nrrd", "NRRD"},    {"nr_uchar.nhdr", "NRRD"},       {"mh_short.mhd", "MHD"},
      {"n1_pair.hdr", "NIfTI"},     {"nr_inline_gz.nrrd", "NRRD"},   {"n1_int.nii", "NIfTI"},
      {"mh_msb.mhd", "MHD"},        {"mh_char.mhd", "MHD"},          {"nr_skip.nhdr", "NRRD"},
      {"nr_skip_gz.nrrd", "NRRD"},  {"n1_metres.nii", "NIfTI"},      {"n1_microns.nii", "NIfTI"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    wxString stem = c.file;
    stem = stem.BeforeFirst('.');
    expectation e;
    ASSERT_TRUE(load_expectation(fx(stem + ".expect"), e));
    std::vector<double> values;
    std::vector<position_t> pos;
    read_all(fx(c.file), e, values, pos);
    if (HasFatalFailure()) return;
    EXPECT_EQ(dicom_utility::source_type, c.source);
    EXPECT_NEAR(res.xscale.pending(), e.spacing[0] / 10, 1e-6);
    EXPECT_NEAR(res.yscale.pending(), e.spacing[1] / 10, 1e-6);
    EXPECT_NEAR(dicom_utility::frame_file_info.pixel_size_x[0], e.spacing[0], 1e-6);
    EXPECT_NEAR(dicom_utility::frame_file_info.pixel_size_y[0], e.spacing[1], 1e-6);
    ASSERT_EQ(values.size(), e.values.size());
    int wrong = 0;
    for (size_t i = 0; i < values.size(); ++i)
      if (std::fabs(values[i] - e.values[i]) > 1e-3 * std::fabs(e.values[i]) + 0.01 && ++wrong < 5)
        ADD_FAILURE() << "voxel " << i << ": " << values[i] << " expected " << e.values[i];
    for (int k = 0; k < e.frames; ++k) {
      matrix4_t m;
      matrix4_from_position_t(m, pos[size_t(k)]);
      const std::string at = "frame " + std::to_string(k);
      expect_vec(matrix4_get_translation(m), e.pos0 + vec3_scalar_mul(k, e.step), 1e-4, at + " origin");
      expect_vec(matrix4_get_x_axis(m), e.column, 1e-4, at + " column axis");
      expect_vec(matrix4_get_y_axis(m), e.row, 1e-4, at + " row axis");
      // The per-frame record holds the same location.
      EXPECT_FLOAT_EQ(dicom_utility::frame_file_info.location[size_t(k)].z, pos[size_t(k)].z);
    }
  }
}

// Zero voxels of signed MR data are data, not padding: a zero background in
// the corners must leave every zero voxel at calibrated 0.
TEST_F(VolumeReaders, ZeroCornersOfSignedDataAreNotTurnedIntoPadding) {
  expectation e;
  ASSERT_TRUE(load_expectation(fx("n1_short.expect"), e));
  ASSERT_EQ(e.values[0], 0.0);
  std::vector<double> values;
  std::vector<position_t> pos;
  read_all(fx("n1_short.nii"), e, values, pos);
  for (size_t i = 0; i < values.size(); ++i)
    if (e.values[i] == 0.0) {
      ASSERT_EQ(values[i], 0.0) << "voxel " << i;
    }
  EXPECT_EQ(dicom_utility::padding_value, 0);
}

// A later frame of another file must not continue on the stream of the first.
TEST_F(VolumeReaders, AnotherFileNeverContinuesOnTheOpenStream) {
  expectation a, b;
  ASSERT_TRUE(load_expectation(fx("n1_short.expect"), a));
  ASSERT_TRUE(load_expectation(fx("n1_float.expect"), b));
  const size_t n = size_t(a.columns) * a.rows;
  std::vector<uint16_t> raw(n);
  std::vector<uint8_t> display(n);
  const wxFileName first(fx("n1_short.nii")), second(fx("n1_float.nii"));
  ASSERT_GT(dicom_utility::read_dicom_data(first, -1, 0, nullptr, nullptr, nullptr), 0);
  ASSERT_EQ(dicom_utility::read_dicom_data(first, 0, 0, raw.data(), display.data(), nullptr), int(n));
  // Left unfinished; slice 1 of the other file is asked for directly.
  ASSERT_EQ(read_hdr_data(second, 1, 1, raw.data(), display.data(), nullptr), int(n));
  const file_rescale_t r = dicom_utility::file_rescale;
  for (size_t i = 0; i < n; ++i)
    EXPECT_NEAR(r.slope * raw[i] + r.intercept, b.values[n + i], 0.51) << i;
}

// Slices out of order, and reading on after a skip, give the right slice.
TEST_F(VolumeReaders, SlicesReadInAnyOrderOnGzipAndPlainFiles) {
  expectation e;
  ASSERT_TRUE(load_expectation(fx("n1_short.expect"), e));
  const size_t n = size_t(e.columns) * e.rows;
  for (const char* file : {"n1_short.nii", "n1_short_gz.nii.gz", "nr_short.nrrd"}) {
    SCOPED_TRACE(file);
    const wxFileName name(fx(file));
    ASSERT_GT(dicom_utility::read_dicom_data(name, -1, 0, nullptr, nullptr, nullptr), 0);
    for (int k : {2, 0, 1, 2}) {
      std::vector<uint16_t> raw(n);
      std::vector<uint8_t> display(n);
      ASSERT_EQ(dicom_utility::read_dicom_data(name, 0, k, raw.data(), display.data(), nullptr), int(n));
      const file_rescale_t r = dicom_utility::file_rescale;
      for (size_t i = 0; i < n; ++i)
        ASSERT_EQ(r.slope * raw[i] + r.intercept, e.values[size_t(k) * n + i]) << "slice " << k;
    }
  }
}

// ---- refusals ----------------------------------------------------------------

std::string patched(std::string bytes, size_t offset, const std::string& with) {
  bytes.replace(offset, with.size(), with);
  return bytes;
}
template <class T>
std::string le(T v) {
  return std::string(reinterpret_cast<const char*>(&v), sizeof v);
}

TEST_F(VolumeReaders, NiftiRefusalsGiveTheirMessages) {
  const std::string n1 = read_bytes(fx("n1_short.nii"));
  const std::string an = read_bytes(fx("an_uchar.hdr"));
  const std::string unsupported =
      "This NIfTI or Analyze file contains data in an un-supported type.\n"
      "Currently Norvelith only supports char or short data types.";
  const struct {
    const char* name;
    std::string bytes;
    const char* file;
    int result;
    std::string message;
  } cases[] = {
      {"four dimensions", patched(n1, 40, le<int16_t>(4)), "a.nii", -1,
       "holds a volume of 4 dimensions (dim[0]).\nCurrently Norvelith only supports three-dimensional"},
      {"64-bit float type", patched(patched(n1, 70, le<int16_t>(64)), 72, le<int16_t>(32)), "a.nii", -1,
       unsupported},
      {"bitpix 24", patched(n1, 72, le<int16_t>(24)), "a.nii", -1, unsupported},
      {"negative columns", patched(n1, 42, le<int16_t>(-5)), "a.nii", -1, "dim[1] is -5"},
      {"zero frames", patched(n1, 46, le<int16_t>(0)), "a.nii", -1, "dim[3] is 0"},
      {"huge vox_offset", patched(n1, 108, le<float>(3e38f)), "a.nii", -1, "vox_offset"},
      {"big-endian header", patched(n1, 0, std::string("\0\0\x01\x5c", 4)), "a.nii", 0, ""},
      {"not a header", std::string(400, 'x'), "a.nii", 0, ""},
      {"short file", n1.substr(0, 200), "a.nii", 0, ""},
      {"detached data missing", patched(n1, 345, "i"), "b.nii", -1,
       "The detached NIfTI or Analyze data file '"},
      {"Analyze marked regular", patched(an, 38, "r"), "c.hdr", 0, ""},
      {"Analyze without extents", patched(an, 32, le<int32_t>(0)), "c.hdr", 0, ""},
      // Beside its image file an Analyze header that fails the test says why.
      {"Analyze pair marked regular", patched(an, 38, "r"), "d.hdr", -1,
       "This Analyze header is not in the form Norvelith reads: its regular field is 'r'."},
      {"Analyze pair without extents", patched(patched(an, 32, le<int32_t>(0)), 38, "r"), "d.hdr", -1,
       "its extents field is 0, not 16384, and its regular field is 'r'."},
  };
  scratch_dir dir;
  dir.write("d.img", std::string(60, '\0'));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const wxString path = dir.write(c.file, c.bytes);
    log_capture log;
    EXPECT_EQ(read_hdr_data(wxFileName(path), -1, -1, nullptr, nullptr, nullptr), c.result);
    if (c.message.empty())
      EXPECT_EQ(log.count(wxLOG_Warning), 0);
    else
      EXPECT_TRUE(log.has(wxLOG_Warning, c.message));
    wxRemoveFile(path);
  }
}

TEST_F(VolumeReaders, CompressedDetachedHeaderAndTruncatedDataAreRefused) {
  const size_t n = 20;
  std::vector<uint16_t> raw(n);
  std::vector<uint8_t> display(n);
  scratch_dir dir;
  // Data cut inside slice 2.
  const std::string n1 = read_bytes(fx("n1_short.nii"));
  const wxFileName cut(dir.write("cut.nii", n1.substr(0, 352 + 2 * 40 + 10)));
  ASSERT_GT(dicom_utility::read_dicom_data(cut, -1, 0, nullptr, nullptr, nullptr), 0);
  ASSERT_EQ(dicom_utility::read_dicom_data(cut, 0, 0, raw.data(), display.data(), nullptr), int(n));
  log_capture log;
  EXPECT_EQ(read_hdr_data(cut, 2, 2, raw.data(), display.data(), nullptr), -1);
  EXPECT_TRUE(log.has(wxLOG_Warning, "Unable to read data from NIfTI or Analyze file."));
}

TEST_F(VolumeReaders, NrrdHeadersAcceptedAndRefused) {
  const std::string ok_fields = "type: ushort\ndimension: 3\nsizes: 2 2 1\nencoding: raw\n";
  const std::string data(8, '\1');
  const std::string incomplete = "This NRRD file does not contain all the information Norvelith requires.";
  const struct {
    const char* name;
    std::string text;
    int result;
    std::string message;
  } cases[] = {
      {"version digit", "NRRD0009\n" + ok_fields + "space origin: 0 0 0\nspacings: 1 1 1\n"
                        "space directions: (1,0,0) (0,1,0) (0,0,1)\n\n" + data, 1, ""},
      {"four letters only", "NRRD\n" + ok_fields + "\n" + data, 0, ""},
      {"float type", "NRRD0004\ntype: float\n" + ok_fields.substr(13) + "\n" + data, -1,
       "This NRRD file contains non-short and non-byte data."},
      {"RAS space", "NRRD0004\nspace: RAS\n" + ok_fields + "\n" + data, -1,
       "un-supported space"},
      {"bzip2 encoding", "NRRD0004\n" + ok_fields + "encoding: bzip2\n\n" + data, -1,
       "un-supported format"},
      {"big endian", "NRRD0004\n" + ok_fields + "endian: big\n\n" + data, -1, "big-endian"},
      {"four dimensions", "NRRD0004\ntype: ushort\ndimension: 4\nsizes: 2 2 1 1\n\n" + data, -1,
       incomplete},
      {"malformed origin", "NRRD0004\n" + ok_fields + "space origin: (1,x,2)\n\n" + data, -1,
       incomplete},
      {"zero size", "NRRD0004\ntype: ushort\ndimension: 3\nsizes: 2 0 1\n\n" + data, -1, incomplete},
      {"no empty line", "NRRD0004\n" + ok_fields.substr(0, ok_fields.size() - 1), -1, incomplete},
      {"no origin", "NRRD0004\n" + ok_fields + "\n" + data, 1,
       "does not contain a spatial origin: presuming (0, 0, 0)."},
      {"no spacing", "NRRD0004\n" + ok_fields + "\n" + data, 1, "presuming unit spacing."},
      {"inconsistent scales", "NRRD0004\n" + ok_fields + "spacings: 2 1 1\nspace directions: (1,0,0) "
                              "(0,1,0) (0,0,1)\n\n" + data, 1, "inconsistent scales"},
      {"missing data file", "NRRD0004\n" + ok_fields + "data file: C:\\x\\y.raw\n\n", -1,
       "does not exist or is not a single file."},
  };
  scratch_dir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const wxString path = dir.write("t.nrrd", c.text);
    log_capture log;
    EXPECT_EQ(read_nrrd_data(wxFileName(path), -1, -1, nullptr, nullptr, nullptr), c.result);
    if (c.message.empty())
      EXPECT_EQ(log.count(wxLOG_Warning), 0);
    else
      EXPECT_TRUE(log.has(wxLOG_Warning, c.message));
    if (c.result < 0 && c.message != incomplete && c.message.find("single file") == std::string::npos) {
      EXPECT_TRUE(log.has(wxLOG_Warning, incomplete));
    }
  }
}

TEST_F(VolumeReaders, NrrdSkipsThatTheDataCannotSatisfyAreRefused) {
  const std::string head = "NRRD0004\ntype: ushort\ndimension: 3\nsizes: 2 2 1\nspacings: 1 1 1\n"
                           "space origin: (0,0,0)\nspace directions: (1,0,0) (0,1,0) (0,0,1)\n";
  const std::string data(8, '\1');
  const struct {
    const char* name;
    std::string text;
    int result;
    std::string message;
  } cases[] = {
      {"data at the end", head + "encoding: raw\nbyte skip: -1\n\nxyz" + data, 4, ""},
      {"byte skip past the data", head + "encoding: raw\nbyte skip: 1\n\n" + data, -1,
       "hold fewer bytes than the 8"},
      {"line skip past the file", head + "encoding: raw\nline skip: 3\n\none\ntwo\n" + data, -1,
       "end within the 3 lines"},
      {"short data", head + "encoding: raw\n\n" + data.substr(1), -1, "hold fewer bytes than the 8"},
      {"gzip data at the end", head + "encoding: gzip\nbyte skip: -1\n\n", -1,
       "gzip data at the end"},
      {"negative line skip", head + "encoding: raw\nline skip: -2\n\n" + data, -1,
       "does not contain all the information"},
  };
  scratch_dir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const wxString path = dir.write("k.nrrd", c.text);
    log_capture log;
    EXPECT_EQ(read_nrrd_data(wxFileName(path), -1, 0, nullptr, nullptr, nullptr), c.result);
    if (c.message.empty())
      EXPECT_EQ(log.count(wxLOG_Warning), 0);
    else
      EXPECT_TRUE(log.has(wxLOG_Warning, c.message));
  }
}

TEST_F(VolumeReaders, NrrdSpacingFromDirectionLengths) {
  // Directions of length 0.5, 0.5 and 2 without spacings: those spacings, unit directions.
  scratch_dir dir;
  const std::string text =
      "NRRD0004\ntype: uchar\ndimension: 3\nsizes: 2 2 2\nencoding: raw\nspace origin: (0,0,0)\n"
      "space directions: (0,0.5,0) (-0.5,0,0) (0,0,2)\n\n" + std::string(8, '\7');
  const wxFileName name(dir.write("s.nrrd", text));
  ASSERT_EQ(read_nrrd_data(name, -1, 0, nullptr, nullptr, nullptr), 4);
  EXPECT_DOUBLE_EQ(res.xscale.pending(), 0.05);
  uint16_t raw[4];
  uint8_t display[4] = {};
  position_t p;
  ASSERT_EQ(read_nrrd_data(name, 1, 1, raw, display, &p), 4);
  EXPECT_EQ(display[3], 7);
  EXPECT_DOUBLE_EQ(dicom_utility::slice_thickness, 0.2);
  matrix4_t m;
  matrix4_from_position_t(m, p);
  expect_vec(matrix4_get_translation(m), {0, 0, 0.2}, 1e-6, "origin");
  expect_vec(matrix4_get_x_axis(m), {0, 1, 0}, 1e-6, "column axis");
  expect_vec(matrix4_get_y_axis(m), {-1, 0, 0}, 1e-6, "row axis");
}

TEST_F(VolumeReaders, MetaImageHeadersAcceptedAndRefused) {
  const std::string body =
      "ObjectType = Image\nNDims = 3\nBinaryData = True\nCompressedData = False\n"
      "ElementSpacing = 1 1 1\nDimSize = 2 2 2\nElementDataFile = d.raw\n";
  const std::string incomplete = "This MHD file does not contain all the information Norvelith requires.";
  const struct {
    const char* name;
    std::string text;
    int result;
    std::string message;
  } cases[] = {
      {"complete", body + "Offset = 0 0 0\nElementType = MET_CHAR\n", 1, ""},
      {"equals without blanks", body + "Offset=0 0 0\nElementType = MET_CHAR\n", 0, ""},
      {"two dimensions", "NDims = 2\n" + body, 0, ""},
      {"not an image", "ObjectType = Mesh\n" + body, -1, ""},
      {"text data", body + "BinaryData = False\n", -1, "contains non-binary data."},
      {"compressed", body + "CompressedData = True\n", -1, "contains compressed data."},
      {"float samples", body + "ElementType = MET_FLOAT\n", -1, "un-supported data type."},
      {"no offset", body + "ElementType = MET_SHORT\n", 0, incomplete},
      {"zero spacing", body + "Offset = 0 0 0\nElementType = MET_SHORT\nElementSpacing = 1 0 1\n", 0,
       incomplete},
      {"malformed size", body + "DimSize = 2 two 2\n", 0, ""},
      {"sheared axes", body + "Offset = 0 0 0\nElementType = MET_SHORT\n"
                              "TransformMatrix = 1 0 0 0.5 1 0 0 0 1\n", -1, "not a rotation"},
      {"scaled axes", body + "Offset = 0 0 0\nElementType = MET_SHORT\n"
                             "TransformMatrix = 2 0 0 0 1 0 0 0 1\n", -1, "not a rotation"},
      {"reflected slice axis", body + "Offset = 0 0 0\nElementType = MET_SHORT\n"
                                      "TransformMatrix = 1 0 0 0 1 0 0 0 -1\n", 1, ""},
      {"colour voxels", body + "ElementNumberOfChannels = 3\n", -1, "several values per voxel"},
      {"byte order", body + "BinaryDataByteOrderMSB = Maybe\n", -1, "byte order"},
  };
  scratch_dir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const wxString path = dir.write("t.mhd", c.text);
    log_capture log;
    EXPECT_EQ(read_mhd_data(wxFileName(path), -1, -1, nullptr, nullptr, nullptr), c.result);
    if (c.message.empty())
      EXPECT_EQ(log.count(wxLOG_Warning), 0);
    else
      EXPECT_TRUE(log.has(wxLOG_Warning, c.message));
  }
}

TEST_F(VolumeReaders, MetaImageBigEndianSlicesOfAnyLength) {
  // 7 samples a slice: the word-wise swap and its tail both take part.
  scratch_dir dir;
  const std::string head =
      "ObjectType = Image\nNDims = 3\nBinaryData = True\nCompressedData = False\nOffset = 0 0 0\n"
      "ElementSpacing = 1 1 1\nDimSize = 7 1 2\nElementDataFile = be.raw\nElementByteOrderMSB = True\n";
  std::string bytes;
  for (int i = 0; i < 14; ++i) {
    const uint16_t v = uint16_t(0x0102 * (i + 1) + (i % 3 == 0 ? 0x8000 : 0));
    bytes += char(v >> 8);
    bytes += char(v & 0xFF);
  }
  dir.write("be.raw", bytes);
  for (const bool is_signed : {false, true}) {
    SCOPED_TRACE(is_signed ? "MET_SHORT" : "MET_USHORT");
    const wxFileName name(dir.write("be.mhd", head + (is_signed ? "ElementType = MET_SHORT\n"
                                                                : "ElementType = MET_USHORT\n")));
    res.width.write(7);
    res.height.write(1);
    std::vector<uint16_t> raw(7);
    ASSERT_EQ(read_mhd_data(name, 1, 1, raw.data(), nullptr, nullptr), 7);
    for (int i = 0; i < 7; ++i) {
      const int k = 7 + i;
      const uint16_t v = uint16_t(0x0102 * (k + 1) + (k % 3 == 0 ? 0x8000 : 0));
      const double value = is_signed ? double(int16_t(v)) : double(v);
      EXPECT_EQ(dicom_utility::file_rescale.slope * raw[size_t(i)] + dicom_utility::file_rescale.intercept,
                value)
          << i;
    }
  }
}

TEST_F(VolumeReaders, MetaImageDataFileMustHoldTheAnnouncedVoxels) {
  scratch_dir dir;
  const std::string head =
      "ObjectType = Image\nNDims = 3\nBinaryData = True\nCompressedData = False\nOffset = 0 0 0\n"
      "ElementSpacing = 1 1 1\nElementDataFile = d.raw\nElementType = MET_SHORT\n";
  const wxFileName name(dir.write("b.mhd", head + "DimSize = 2 1 2\n"));
  const wxString data = dir.write("d.raw", std::string("\xFF\x01\x02\x00\x03\x00\x04", 7));
  // 7 bytes for 2 x 1 x 2 shorts: refused at the probe, naming file and sizes.
  log_capture log;
  EXPECT_EQ(read_mhd_data(name, -1, 0, nullptr, nullptr, nullptr), -1);
  ASSERT_EQ(log.count(wxLOG_Warning), 1);
  EXPECT_TRUE(log.has(wxLOG_Warning, data.ToStdString() + "' holds 7 bytes, fewer than the 8 bytes"));
  // A header announcing 4000^3 voxels is refused as quickly, with one message.
  const wxFileName huge(dir.write("h.mhd", head + "DimSize = 4000 4000 4000\n"));
  log.clear();
  EXPECT_EQ(read_mhd_data(huge, -1, 0, nullptr, nullptr, nullptr), -1);
  EXPECT_EQ(log.count(wxLOG_Warning), 1);
  // A missing data file is named.
  wxRemoveFile(data);
  log.clear();
  EXPECT_EQ(read_mhd_data(name, -1, 0, nullptr, nullptr, nullptr), -1);
  EXPECT_TRUE(log.has(wxLOG_Warning, data.ToStdString() + "' does not exist"));
}

}  // namespace

namespace {

// Header fields that choose the transform, the units and the data offset,
// on a NIfTI-1 header made here: 4 x 3 x 2 shorts, pixdim 2, 3, 4 mm.
std::string small_nifti1() {
  std::string h(352, '\0');
  auto put = [&](size_t at, const std::string& v) { h.replace(at, v.size(), v); };
  put(0, le<int32_t>(348));
  for (int i = 0; i < 4; ++i) put(40 + 2 * size_t(i), le<int16_t>(int16_t(i == 0 ? 3 : 5 - i)));
  put(70, le<int16_t>(4));
  put(72, le<int16_t>(16));
  for (int i = 0; i < 4; ++i) put(76 + 4 * size_t(i), le<float>(i == 0 ? 1.0f : float(i + 1)));
  put(108, le<float>(352));
  put(123, std::string(1, '\2'));
  put(344, std::string("n+1\0", 4));
  return h;
}

TEST(NiftiHeader, TransformChoiceUnitsAndOffsets) {
  const std::string base = small_nifti1();
  // qform: a rotation of 90 degrees about z (b = c = 0, d = sin 45), origin 10, 20, 30.
  std::string q = base;
  q.replace(252, 2, le<int16_t>(1));
  q.replace(264, 4, le<float>(float(std::sqrt(0.5))));
  q.replace(268, 12, le<float>(10) + le<float>(20) + le<float>(30));
  // sform: axes along -x, y, z scaled by pixdim, origin 1, 2, 3.
  std::string s = base;
  s.replace(254, 2, le<int16_t>(1));
  s.replace(280, 48, le<float>(-2) + le<float>(0) + le<float>(0) + le<float>(1) + le<float>(0) +
                         le<float>(3) + le<float>(0) + le<float>(2) + le<float>(0) + le<float>(0) +
                         le<float>(4) + le<float>(3));
  std::string qs = q;  // both present
  qs.replace(254, 2, le<int16_t>(1));
  qs.replace(280, 48, s.substr(280, 48));
  std::string q2s1 = qs, q2s2 = qs;
  q2s1.replace(252, 2, le<int16_t>(2));
  q2s2.replace(252, 2, le<int16_t>(2));
  q2s2.replace(254, 2, le<int16_t>(2));
  std::string big_quat = q;  // b^2 slightly above 1: a = 0 and b normalised
  big_quat.replace(256, 12, le<float>(1.0000001f) + le<float>(0) + le<float>(0));
  std::string metres = q;
  metres.replace(123, 1, std::string(1, '\1'));
  std::string mm_seconds = q;
  mm_seconds.replace(123, 1, std::string(1, '\x0a'));
  std::string metres_seconds = q;  // spatial unit in the low three bits
  metres_seconds.replace(123, 1, std::string(1, '\x09'));
  std::string micrometres = q;
  micrometres.replace(123, 1, std::string(1, '\x03'));
  std::string qfac = q;
  qfac.replace(76, 4, le<float>(-1));

  const struct {
    const char* name;
    std::string bytes;
    vec3_t column, row, slice, origin;
    bool patient;
    double cm_per_unit = 0.1;  // pixdim 2, 3, 4 in the file's spatial unit
  } cases[] = {
      // Patient coordinates: x and y of the file's world negated.
      {"no transform", base, {-1, 0, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, 0}, false},
      {"qform", q, {0, -1, 0}, {1, 0, 0}, {0, 0, 1}, {-1, -2, 3}, true},
      {"sform", s, {1, 0, 0}, {0, -1, 0}, {0, 0, 1}, {-0.1, -0.2, 0.3}, true},
      {"qform code 1 wins", qs, {0, -1, 0}, {1, 0, 0}, {0, 0, 1}, {-1, -2, 3}, true},
      {"qform 2 sform 1", q2s1, {1, 0, 0}, {0, -1, 0}, {0, 0, 1}, {-0.1, -0.2, 0.3}, true},
      {"qform 2 sform 2", q2s2, {0, -1, 0}, {1, 0, 0}, {0, 0, 1}, {-1, -2, 3}, false},
      {"quaternion above 1", big_quat, {-1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {-1, -2, 3}, true},
      {"metres", metres, {0, -1, 0}, {1, 0, 0}, {0, 0, 1}, {-1000, -2000, 3000}, true, 100},
      {"metres and seconds", metres_seconds, {0, -1, 0}, {1, 0, 0}, {0, 0, 1}, {-1000, -2000, 3000},
       true, 100},
      {"micrometres", micrometres, {0, -1, 0}, {1, 0, 0}, {0, 0, 1}, {-0.001, -0.002, 0.003}, true,
       1e-4},
      {"millimetres and seconds", mm_seconds, {0, -1, 0}, {1, 0, 0}, {0, 0, 1}, {-1, -2, 3}, true},
      {"qfac -1", qfac, {0, -1, 0}, {1, 0, 0}, {0, 0, -1}, {-1, -2, 3}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    nifti_info_t info;
    wxString warning;
    ASSERT_EQ(parse_nifti_header(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(),
                                 false, info, warning), 1);
    expect_vec(info.column_axis, c.column, 1e-6, "column");
    expect_vec(info.row_axis, c.row, 1e-6, "row");
    expect_vec(info.slice_axis, c.slice, 1e-6, "slice");
    expect_vec(info.origin_cm, c.origin, 1e-4, "origin");
    EXPECT_EQ(info.patient_coordinates, c.patient);
    EXPECT_EQ(info.columns, 4);
    EXPECT_EQ(info.frames, 2);
    EXPECT_NEAR(info.voxel_cm[0], 2 * c.cm_per_unit, 1e-9 * c.cm_per_unit);
    EXPECT_NEAR(info.voxel_cm[2], 4 * c.cm_per_unit, 1e-9 * c.cm_per_unit);
  }
}

TEST(NiftiHeader, ScalingWindowAndDataOffset) {
  const std::string base = small_nifti1();
  const struct {
    const char* name;
    size_t at;
    std::string with;
    double slope, intercept, centre, width;
    int64_t offset, gap;
  } cases[] = {
      // Signed samples are kept shifted by 32768, the intercept lowered to match.
      {"unscaled", 0, le<int32_t>(348), 1, -32768, 1000, 4000, 352, 0},
      {"slope 2", 112, le<float>(2) + le<float>(5), 2, 5 - 65536, 1000, 4000, 352, 0},
      {"slope 0", 112, le<float>(0) + le<float>(5), 1, -32768, 1000, 4000, 352, 0},
      {"slope NaN", 112, le<float>(NAN) + le<float>(5), 1, -32768, 1000, 4000, 352, 0},
      {"window", 124, le<float>(300) + le<float>(-100), 1, -32768, 100, 400, 352, 0},
      {"vox_offset 0", 108, le<float>(0), 1, -32768, 1000, 4000, 352, 0},
      {"vox_offset 400.7", 108, le<float>(400.7f), 1, -32768, 1000, 4000, 400, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string b = base;
    b.replace(c.at, c.with.size(), c.with);
    nifti_info_t info;
    wxString warning;
    ASSERT_EQ(parse_nifti_header(reinterpret_cast<const uint8_t*>(b.data()), b.size(), false, info,
                                 warning), 1);
    EXPECT_DOUBLE_EQ(info.slope, c.slope);
    EXPECT_DOUBLE_EQ(info.intercept, c.intercept);
    EXPECT_DOUBLE_EQ(info.centre, c.centre);
    EXPECT_DOUBLE_EQ(info.width, c.width);
    EXPECT_EQ(info.data_offset, c.offset);
    EXPECT_EQ(info.gap, c.gap);
  }
}

}  // namespace

namespace {

// Slices lying beyond 2 GiB are found by 64-bit offsets: a sparse volume of
// 1024 x 1024 x 1100 shorts with marked voxels in slice 1050 only.
TEST_F(VolumeReaders, SliceBeyondTwoGigabytesIsReadFromItsOwnOffset) {
  scratch_dir dir;
  std::string h = small_nifti1();
  h.replace(42, 6, le<int16_t>(1024) + le<int16_t>(1024) + le<int16_t>(1100));
  h.replace(70, 2, le<int16_t>(512));  // unsigned shorts
  const wxString path = dir.write("big.nii", h);
  const int64_t slice = 1024 * 1024 * 2, at = 352 + 1050 * slice;
  ASSERT_GT(at, int64_t(1) << 31);
  {
    std::fstream f(path.ToStdString(), std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(at);
    f.write(le<uint16_t>(4321).data(), 2);
    f.seekp(at + slice - 2);
    f.write(le<uint16_t>(1234).data(), 2);
    f.seekp(352 + 1100 * slice - 1);
    f.put('\0');
    ASSERT_TRUE(f.good());
  }
  const wxFileName name(path);
  ASSERT_EQ(read_hdr_data(name, -1, 0, nullptr, nullptr, nullptr), 1024 * 1024);
  std::vector<uint16_t> raw(1024 * 1024, 7);
  std::vector<uint8_t> display(1024 * 1024);
  ASSERT_EQ(read_hdr_data(name, 0, 1050, raw.data(), display.data(), nullptr), 1024 * 1024);
  EXPECT_EQ(raw.front(), 4321);
  EXPECT_EQ(raw.back(), 1234);
  EXPECT_EQ(raw[1000], 0);
}

// Equal corners of CT padding (calibrated -1024) mark the padding value and
// leave the voxels as they are.
TEST_F(VolumeReaders, CtPaddingCornersSetThePaddingValueWithoutChangingVoxels) {
  scratch_dir dir;
  const int16_t v[6] = {-1024, -1024, 5, 0, -1024, -1024};
  std::string data;
  for (int16_t s : v) data += le<int16_t>(s);
  const wxFileName name(dir.write(
      "ct.nrrd", "NRRD0004\ntype: short\ndimension: 3\nsizes: 2 3 1\nencoding: raw\n\n" + data));
  ASSERT_EQ(dicom_utility::read_dicom_data(name, -1, 0, nullptr, nullptr, nullptr), 6);
  uint16_t raw[6];
  uint8_t display[6];
  ASSERT_EQ(dicom_utility::read_dicom_data(name, 0, 0, raw, display, nullptr), 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(raw[i], uint16_t(v[i] + 32768)) << i;
  EXPECT_EQ(dicom_utility::padding_value, 32768 - 1024);
  EXPECT_EQ(dicom_utility::value_units, "HU");
  EXPECT_EQ(res.units.pending(), "HU");
}

}  // namespace

namespace {

// A negative vox_offset in an Analyze pair is a gap before every slice.
TEST_F(VolumeReaders, AnalyzeGapBeforeEverySlice) {
  expectation e;
  ASSERT_TRUE(load_expectation(fx("an_uchar.expect"), e));
  const size_t n = size_t(e.columns) * e.rows;
  std::string img;
  for (int k = 0; k < e.frames; ++k) {
    img += std::string(8, '\x55');
    for (size_t i = 0; i < n; ++i) img += char(uint8_t(e.values[size_t(k) * n + i]));
  }
  scratch_dir dir;
  std::string hdr = read_bytes(fx("an_uchar.hdr"));
  hdr.replace(108, 4, le<float>(-8));
  const wxFileName name(dir.write("gap.hdr", hdr));
  dir.write("gap.img", img);
  ASSERT_GT(dicom_utility::read_dicom_data(name, -1, 0, nullptr, nullptr, nullptr), 0);
  for (int k : {0, 2, 1}) {
    std::vector<uint16_t> raw(n);
    std::vector<uint8_t> display(n);
    ASSERT_EQ(dicom_utility::read_dicom_data(name, k, k, raw.data(), display.data(), nullptr), int(n));
    for (size_t i = 0; i < n; ++i) ASSERT_EQ(display[i], e.values[size_t(k) * n + i]) << k << " " << i;
  }
}

}  // namespace

namespace {

// 32-bit values outside the 16-bit range keep their low 16 bits and warn once.
TEST_F(VolumeReaders, OutOfRangeThirtyTwoBitValuesWarnOnce) {
  std::string h = small_nifti1();
  h.replace(42, 6, le<int16_t>(2) + le<int16_t>(1) + le<int16_t>(1));
  h.replace(70, 4, le<int16_t>(8) + le<int16_t>(32));
  scratch_dir dir;
  const wxFileName name(dir.write("w.nii", h + le<int32_t>(40000) + le<int32_t>(-40000)));
  ASSERT_EQ(dicom_utility::read_dicom_data(name, -1, 0, nullptr, nullptr, nullptr), 2);
  uint16_t raw[2];
  uint8_t display[2];
  log_capture log;
  ASSERT_EQ(dicom_utility::read_dicom_data(name, 0, 0, raw, display, nullptr), 2);
  EXPECT_EQ(raw[0], uint16_t((40000 + 32768) & 0xFFFF));
  EXPECT_EQ(raw[1], uint16_t((-40000 + 32768) & 0xFFFF));
  int warnings = 0;
  for (const auto& r : log.records())
    warnings += r.text.find("Some values were out of range when loading 32-bit NIfTI or Analyze file "
                            "to 16-bit.") != std::string::npos;
  EXPECT_EQ(warnings, 1);
}

}  // namespace
