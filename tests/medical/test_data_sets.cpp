// Loading data sets (directories with series, numbered runs, multi-frame
// files) into the frame store, and the frame order and file records after
// loading: sorting by location, restoring locations, selecting records.
#include <gtest/gtest.h>

#include <wx/wfstream.h>
#include <wx/zstream.h>

#include "common/log_capture.h"
#include "data/data_io_ui.h"
#include "medical/dicom_utility.h"
#include "medical_support.h"

namespace {

const wxString& series_root() {
  static const wxString dir = generated_fixtures("make_series_fixtures.py");
  return dir;
}

// Answers the series choice and the sort question as the test says and
// records what was asked.
struct scripted_ui : dicom_load_ui, data_io_ui {
  int choice = 0;
  bool sort_answer = true;
  std::vector<wxString> lines;
  int questions = 0;
  int choose_series(const wxString&, const wxString&, const std::vector<wxString>& l) override {
    lines = l;
    return choice;
  }
  std::unique_ptr<data_progress> start_progress(const wxString&, const wxString&, int, unsigned) override {
    return std::make_unique<null_progress>();
  }
  bool ask_yes_no(const wxString&, const wxString&) override {
    ++questions;
    return sort_answer;
  }
};

class DataSets : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(series_root().empty()) << "fixture generator failed";
    saved_store_ = frame_store;
    frame_store = &store;
    dicom_utility::load_ui = &ui;
    dicom_utility::reset_reader_state();
    dicom_utility::reset_data_source();
  }
  void TearDown() override {
    dicom_utility::load_ui = nullptr;
    frame_store = saved_store_;
    dicom_utility::reset_reader_state();
    dicom_utility::reset_data_source();
    dicom_utility::series_list.clear();
  }
  static wxString path(const wxString& rel) { return wxFileName(series_root() + "/" + rel).GetFullPath(); }
  int load(const wxString& rel) { return dicom_utility::load_dicom_files(wxFileName(path(rel))); }
  // The number of the file a stored frame came from (pixel 0 holds n x 100 + frame x 20).
  int source_number(size_t frame) const { return store.images[frame]->raw[0] / 100; }
  float z(size_t frame) const { return store.positions[frame]->z; }

  resource_set res;
  dynabuf store;
  scripted_ui ui;
  data_ui_scope ui_scope{ui};

 private:
  dynabuf* saved_store_ = nullptr;
};

TEST_F(DataSets, NumberedRunLoadsFromItsFirstFileAndSkipsOtherSeries) {
  log_capture log;
  ASSERT_EQ(load("run/IM0005.dcm"), 1);
  ASSERT_EQ(store.images.size(), 8u);
  EXPECT_EQ(res.frames.pending(), 8);
  EXPECT_EQ(res.frame_size.pending(), 12);
  const int expected[] = {1, 2, 3, 5, 6, 8, 9, 10};
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(source_number(i), expected[i]);
    EXPECT_EQ(store.images[i]->raw[11], expected[i] * 100 + 11);
    EXPECT_EQ(store.timestamps[i], uint64_t(expected[i] - 1)) << "the reading slot, skipped files counted";
  }
  EXPECT_TRUE(log.has(wxLOG_Warning, "Loaded 8 frames of data with size 4 x 3.\nIgnored a further 2 frames in a different series, or with different sizes or scales.\n"));
  EXPECT_EQ(res.ascii_name.pending().GetFullName(), "IM0001.hm");
  EXPECT_EQ(res.bin_name.pending(), "IM0001.dcm");
  EXPECT_EQ(res.frame_list_storage, (std::vector<long>{0, 1, 2, 4, 5, 7, 8, 9}));
  // The records were compacted to the loaded frames: slot 3 is file 5's.
  EXPECT_EQ(dicom_utility::frame_file_info.location[3].z, float(0.25 * 7));
  EXPECT_EQ(z(3), float(0.25 * 7));
}

TEST_F(DataSets, SortPutsFramesInLocationOrderWithTheirRecords) {
  ASSERT_EQ(load("run/IM0001.dcm"), 1);
  ASSERT_EQ(store.images.size(), 8u);
  res.buf_dicom.write_no_changeprocs(true);
  ui.sort_answer = false;
  EXPECT_FALSE(dicom_utility::sort_dicom_frames());
  EXPECT_EQ(ui.questions, 1);
  EXPECT_EQ(source_number(0), 1) << "No leaves the order";

  ui.sort_answer = true;
  ASSERT_TRUE(dicom_utility::sort_dicom_frames());
  // Files 1,2,3,5,6,8,9,10 lie at 5,2,9,7,3,1,6,4 x 2.5 mm; frame 0 to frame 1
  // points down in z, so the order runs from high z to low z.
  const int order[] = {3, 5, 9, 1, 10, 6, 2, 8};
  const uint64_t stamps[] = {0, 1, 2, 4, 5, 7, 8, 9};
  for (size_t i = 0; i < 8; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(source_number(i), order[i]);
    EXPECT_EQ(store.timestamps[i], stamps[i]) << "timestamps keep their sequence";
    EXPECT_EQ(dicom_utility::frame_file_info.location[i].z, z(i)) << "records follow their frames";
    EXPECT_EQ(res.frame_list_storage[i], order[i] - 1);
  }
  ui.questions = 0;
  EXPECT_FALSE(dicom_utility::sort_dicom_frames()) << "already in order";
  EXPECT_EQ(ui.questions, 0);
}

TEST_F(DataSets, RestoreAndSelectUseEachFramesOwnRecord) {
  ASSERT_EQ(load("run/IM0001.dcm"), 1);
  res.pos_manual.write_no_changeprocs(true);
  res.ztrans.write_no_changeprocs(3.0);
  for (auto& p : store.positions) p->z = 99;
  ASSERT_TRUE(dicom_utility::restore_file_locations());
  EXPECT_EQ(z(0), float(0.25 * 5));
  EXPECT_EQ(z(7), float(0.25 * 4));
  EXPECT_FALSE(res.pos_manual.pending());
  EXPECT_EQ(res.ztrans.pending(), 0.0);
  EXPECT_DOUBLE_EQ(res.xscale.pending(), 0.08);
  EXPECT_DOUBLE_EQ(res.yscale.pending(), 0.05);

  dicom_utility::select_frame_info({7, 2});
  ASSERT_EQ(dicom_utility::frame_file_info.size(), 2u);
  EXPECT_EQ(dicom_utility::frame_file_info.location[0].z, float(0.25 * 4));
  EXPECT_EQ(res.frame_list_storage, (std::vector<long>{9, 2}));
  dicom_utility::undo_frame_selection();
  EXPECT_EQ(dicom_utility::frame_file_info.location[7].z, float(0.25 * 4));
  EXPECT_EQ(res.frame_list_storage.size(), 8u);

  dicom_utility::reset_data_source();
  EXPECT_FALSE(dicom_utility::restore_file_locations()) << "no file locations after a reset";
}

TEST_F(DataSets, DirectoryWithTwoSeriesAsksWhichToLoad) {
  ui.choice = 1;
  ASSERT_EQ(load("two"), 1);
  ASSERT_EQ(ui.lines.size(), 2u);
  EXPECT_EQ(ui.lines[0], "DICOM series of 3 frames, size 4 x 3 (test 1.2.3.7). In 'two', file 'a1.dcm'.");
  EXPECT_EQ(ui.lines[1], "DICOM image 'scout.dcm', size 5 x 5. In 'two'.");
  ASSERT_EQ(store.images.size(), 1u);
  EXPECT_EQ(source_number(0), 50);
  EXPECT_EQ(res.width.pending(), 5);
  EXPECT_EQ(res.ascii_name.pending().GetFullName(), "two_1.hm");
  EXPECT_EQ(res.bin_name.pending(), "two");

  ui.choice = -1;
  store.clear();
  EXPECT_EQ(load("two"), 0) << "a cancelled choice loads nothing";
  EXPECT_TRUE(store.images.empty());
}

TEST_F(DataSets, DirectoryWithOneSeriesLoadsWithoutAsking) {
  ui.choice = 5;
  log_capture log;
  ASSERT_EQ(load("one"), 1);
  EXPECT_TRUE(ui.lines.empty());
  ASSERT_EQ(store.images.size(), 2u);
  EXPECT_EQ(source_number(0), 1);
  EXPECT_EQ(source_number(1), 2);
  EXPECT_EQ(log.count(wxLOG_Warning), 0);
}

TEST_F(DataSets, MultiFrameFileWithDigitsKeepsItsOwnFrames) {
  ASSERT_EQ(load("mf/MF3.dcm"), 1);
  ASSERT_EQ(store.images.size(), 4u);
  for (size_t f = 0; f < 4; ++f) {
    EXPECT_EQ(store.images[f]->raw[0], 300 + 20 * f) << "frame " << f << " of MF3, not of MF" << 3 + f;
    EXPECT_NEAR(z(f), 0.25 * double(f), 1e-6);
  }
  EXPECT_EQ(res.ascii_name.pending().GetFullName(), "MF3.hm");
}

TEST_F(DataSets, AlreadyConvertedDataAndEmptyFoldersAreRefused) {
  scratch_dir dir;
  dir.write("IM1.dcm", read_bytes(path("one/b1.dcm")));
  dir.write("IM1.hm", "x");
  log_capture log;
  EXPECT_EQ(dicom_utility::load_dicom_files(wxFileName(dir.path("IM1.dcm"))), 0);
  EXPECT_TRUE(log.has(wxLOG_Warning, "This data has already been converted to Halmondo format. Please load 'IM1.hm' instead."));
  scratch_dir empty;
  empty.write("notes.txt", "nothing here");
  EXPECT_EQ(dicom_utility::load_dicom_files(wxFileName(empty.root())), 0);
  EXPECT_TRUE(log.has(wxLOG_Warning, "There are no DICOM or image data files in this directory.\nTry opening a file directly instead."));
  EXPECT_EQ(dicom_utility::load_dicom_files(wxFileName(empty.path("notes.txt"))), 0);
  EXPECT_TRUE(log.has(wxLOG_Warning, "Failed to read image data from file."));
  EXPECT_TRUE(store.images.empty());
}

// Every refusal reaches the user as one message naming the file and the
// reason the reader found, not as the reader's message and a general one.
TEST_F(DataSets, RefusedFilesGiveOneMessageWithFileAndReason) {
  const wxString volumes = generated_fixtures("make_volume_fixtures.py");
  ASSERT_FALSE(volumes.empty());
  std::string four_d = read_bytes(wxFileName(volumes, "n1_short.nii").GetFullPath());
  four_d[40] = 4;
  const std::string mhd_head =
      "ObjectType = Image\nNDims = 3\nBinaryData = True\nCompressedData = False\nOffset = 0 0 0\n"
      "ElementSpacing = 1 1 1\nElementType = MET_SHORT\nElementDataFile = d.raw\n";
  scratch_dir dir;
  dir.write("d.raw", std::string(100, '\0'));
  const struct {
    const char* file;
    std::string bytes;
    const char* reason;
  } cases[] = {
      {"four.nii", four_d, "holds a volume of 4 dimensions"},
      {"big.mhd", mhd_head + "DimSize = 4000 4000 4000\n", "holds 100 bytes, fewer than"},
      {"packed.mhd", mhd_head + "DimSize = 2 2 2\nCompressedData = True\n", "contains compressed data"},
      {"notes.txt", "nothing here", "Failed to read image data from file."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    dicom_utility::reset_reader_state();
    const wxString p = dir.write(c.file, c.bytes);
    log_capture log;
    EXPECT_EQ(dicom_utility::load_dicom_files(wxFileName(p)), 0);
    ASSERT_EQ(log.count(wxLOG_Warning), 1);
    EXPECT_TRUE(log.has(wxLOG_Warning, p.ToStdString() + ": ")) << log.records()[0].text;
    EXPECT_TRUE(log.has(wxLOG_Warning, c.reason)) << log.records()[0].text;
  }
}

// A gzip NIfTI cut inside its second slice: the two frames that cannot be
// read give one warning with its count, beside the loader's note.
TEST_F(DataSets, AWarningRepeatedOverFramesIsGivenOnceWithItsCount) {
  const wxString volumes = generated_fixtures("make_volume_fixtures.py");
  ASSERT_FALSE(volumes.empty());
  const std::string whole = read_bytes(wxFileName(volumes, "n1_short.nii").GetFullPath());
  const std::string cut = whole.substr(0, 352 + 5 * 4 * 2 + 10);  // 5 x 4 shorts per slice
  scratch_dir dir;
  const wxString p = dir.path("cut.nii.gz");
  {
    wxFileOutputStream file(p);
    wxZlibOutputStream gz(file, -1, wxZLIB_GZIP);
    gz.Write(cut.data(), cut.size());
  }
  log_capture log;
  ASSERT_EQ(dicom_utility::load_dicom_files(wxFileName(p)), 1);
  EXPECT_EQ(store.images.size(), 1u);
  int unable = 0;
  for (const auto& r : log.records())
    unable += r.text.find("Unable to read data from NIfTI or Analyze file.") != std::string::npos;
  EXPECT_EQ(unable, 1);
  EXPECT_TRUE(log.has(wxLOG_Warning, "Unable to read data from NIfTI or Analyze file.\n(This message was given 2 times.)"));
}

}  // namespace
