// The reader protocol of read_dicom_data: the order in which format readers
// are tried, the recognised flags that route later frames, the reset rules,
// the per-frame records and the mapping of frame indices to files.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include <wx/dir.h>
#include <wx/filefn.h>
#include <wx/filename.h>

#include "medical/dicom_utility.h"
#include "medical_support.h"
#include "registry/res_values.h"

namespace {

// Which fake reader saw which call, and what each returns.
struct call_t {
  std::string reader;
  int frame;
  std::string name;
};
std::vector<call_t> calls;
int qct_result = 0, meta_result = 0, nrrd_result = 0, nifti_result = 0, image_result = 0;

int fake(const char* who, int result, const wxFileName& n, int frame) {
  calls.push_back({who, frame, n.GetFullPath().ToStdString()});
  return result;
}
int qct(wxFileName n, int f, int, uint16_t*, uint8_t*, position_t*) {
  return fake("qct", qct_result, n, f);
}
int meta(wxFileName n, int f, int, uint16_t*, uint8_t*, position_t*) {
  return fake("meta", meta_result, n, f);
}
int nrrd(wxFileName n, int f, int, uint16_t*, uint8_t*, position_t*) {
  if (nrrd_result > 0 && f == -1) dicom_utility::source_type = "NRRD";
  return fake("nrrd", nrrd_result, n, f);
}
int nifti(wxFileName n, int f, int, uint16_t*, uint8_t*, position_t*) {
  return fake("nifti", nifti_result, n, f);
}
int image(wxFileName, wxFileName resolved, int f, int, int, uint16_t*, uint8_t*, position_t*) {
  return fake("image", image_result, resolved, f);
}

std::vector<std::string> readers_called() {
  std::vector<std::string> r;
  for (const auto& c : calls) r.push_back(c.reader);
  return r;
}

class ReaderProtocol : public ::testing::Test {
 protected:
  void SetUp() override {
    dicom_utility::reset_reader_state();
    dicom_utility::qct_reader = qct;
    dicom_utility::metaimage_reader = meta;
    dicom_utility::nrrd_reader = nrrd;
    dicom_utility::nifti_reader = nifti;
    dicom_utility::image_reader = image;
    calls.clear();
    qct_result = meta_result = nrrd_result = nifti_result = image_result = 0;
  }
  void TearDown() override {
    // Back to the program's own readers for the tests that follow.
    dicom_utility::qct_reader = dicom_utility::read_qct_data;
    dicom_utility::metaimage_reader = nullptr;
    dicom_utility::nrrd_reader = dicom_utility::nifti_reader = nullptr;
    dicom_utility::image_reader = dicom_utility::read_image_data;
    dicom_utility::reset_reader_state();
    dicom_utility::frame_file_info.clear();
  }
  int read(const wxString& name, int frame, int index = 0) {
    return dicom_utility::read_dicom_data(wxFileName(name), frame, index, frame >= 0 ? raw : nullptr,
                                          frame >= 0 ? display : nullptr, nullptr);
  }
  uint16_t raw[16] = {};
  uint8_t display[16] = {};
  scratch_dir dir;
};

TEST_F(ReaderProtocol, ProbeRecognisedByOneReaderRoutesLaterFramesToItAlone) {
  nrrd_result = 16;
  EXPECT_EQ(read("/nonexistent/a.nrrd", -1), 16);
  EXPECT_EQ(readers_called(), (std::vector<std::string>{"qct", "meta", "nrrd"}));
  calls.clear();
  EXPECT_EQ(read("/nonexistent/a.nrrd", 0), 16);  // frame 0 asks every reader again
  EXPECT_EQ(readers_called(), (std::vector<std::string>{"qct", "meta", "nrrd"}));
  calls.clear();
  EXPECT_EQ(read("/nonexistent/a.nrrd", 1, 1), 16);
  EXPECT_EQ(readers_called(), (std::vector<std::string>{"nrrd"}));
}

TEST_F(ReaderProtocol, ReaderThatStopsRecognisingHandsTheFrameOn) {
  nrrd_result = 16;
  read("/nonexistent/a.nrrd", -1);
  nrrd_result = 0;
  image_result = 16;
  calls.clear();
  EXPECT_EQ(read("/nonexistent/a.nrrd", 2, 2), 0);  // image reader's flag is not set
  EXPECT_EQ(readers_called(), (std::vector<std::string>{"nrrd"}));
  calls.clear();
  EXPECT_EQ(read("/nonexistent/a.nrrd", 0), 16);
  EXPECT_EQ(readers_called(), (std::vector<std::string>{"qct", "meta", "nrrd", "nifti", "image"}));
}

TEST_F(ReaderProtocol, NegativeResultEndsTheCallWithZero) {
  meta_result = -1;
  nifti_result = 16;
  EXPECT_EQ(read("/nonexistent/a.mhd", -1), 0);
  EXPECT_EQ(readers_called(), (std::vector<std::string>{"qct", "meta"}));
}

TEST_F(ReaderProtocol, FrameZeroKeepsTheProbeStateOnlyAfterAProbe) {
  nrrd_result = 16;
  read("/nonexistent/a.nrrd", -1);
  EXPECT_EQ(dicom_utility::source_type, "NRRD");
  read("/nonexistent/a.nrrd", 0);
  EXPECT_EQ(dicom_utility::source_type, "NRRD");
  read("/nonexistent/a.nrrd", 0);  // no probe before this one: reset
  EXPECT_EQ(dicom_utility::source_type, "Unknown");
}

TEST_F(ReaderProtocol, FrameRecordsStartZeroedAndGrowForLaterSlots) {
  resource_set res;
  res.frames.write_no_changeprocs(3);
  dicom_utility::frame_file_info.create(1);
  dicom_utility::frame_file_info.location[0].x = 7.0f;  // a previous data set's value
  image_result = 16;
  read("/nonexistent/a.png", 0);
  ASSERT_EQ(dicom_utility::frame_file_info.size(), 3u);
  EXPECT_EQ(dicom_utility::frame_file_info.location[0].x, 0.0f);
  EXPECT_TRUE(dicom_utility::frame_file_info.ensure(9));
  EXPECT_EQ(dicom_utility::frame_file_info.size(), 10u);
  EXPECT_EQ(dicom_utility::frame_file_info.content_time[9], 0);
  EXPECT_FALSE(dicom_utility::frame_file_info.ensure(-1));
}

TEST_F(ReaderProtocol, DirectoryIndexSelectsFilesInCharacterOrder) {
  for (const char* n : {"b", "a", "c", ".hidden"}) dir.write(n, "x");
  wxMkdir(dir.path("sub"));
  image_result = 16;
  EXPECT_EQ(read(dir.root(), 0, 1), 16);
  EXPECT_EQ(calls.back().name, dir.path("b").ToStdString());
  EXPECT_EQ(read(dir.root(), 0, 0), 16);
  EXPECT_EQ(calls.back().name, dir.path("a").ToStdString());
  // Past the listing the directory itself is taken, which nothing reads.
  image_result = 0;
  EXPECT_EQ(read(dir.root(), 0, 3), 0);
  EXPECT_EQ(calls.back().name, wxFileName(dir.root()).GetFullPath().ToStdString());
}

TEST_F(ReaderProtocol, NumberedRunFrameReadsOpenTheCountedUpFile) {
  dir.write("IMG0007.dcm", "x");
  dir.write("IMG0010.dcm", "x");
  image_result = 16;
  read(dir.path("IMG0007.dcm"), 0, 3);
  EXPECT_EQ(calls.back().name, dir.path("IMG0010.dcm").ToStdString());
  // A missing run member falls back to the caller's file.
  read(dir.path("IMG0007.dcm"), 0, 4);
  EXPECT_EQ(calls.back().name, dir.path("IMG0007.dcm").ToStdString());
  // A probe passes no raw buffer and keeps the name.
  read(dir.path("IMG0007.dcm"), -1, 3);
  EXPECT_EQ(calls.back().name, dir.path("IMG0007.dcm").ToStdString());
}

TEST(NumberedFileName, CountsUpTheLastNumberOfTheFileName) {
  struct {
    const char* path;
    int index;
    const char* expected;
  } cases[] = {
      {"/d/IMG0007.dcm", 3, "/d/IMG0010.dcm"},
      {"/d/scan9.dcm", 3, "/d/scan12.dcm"},
      {"/d/IM9 .dcm", 1, "/d/IM10.dcm"},
      {"/d/IM8  .dcm", 1, "/d/IM9  .dcm"},
      {"/d/IM0099", 1, "/d/IM0100"},
      {"/d/IM99", 1, "/d/IM100"},
      {"/d/a99999999999.dcm", 1, "/d/a999100000000.dcm"},  // only the last 8 digits count
      {"/d/x12y34.dcm", 0, "/d/x12y34.dcm"},
      {"/d/x12y34.dcm", 66, "/d/x12y100.dcm"},
      {"/data/study2/scan.dcm", 1, "/data/study2/scan.dcm"},  // folder digits never count
      {"/data/study2/scan5", 1, "/data/study2/scan6"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(dicom_utility::numbered_file_name(c.path, c.index), c.expected) << c.path;
}

}  // namespace
