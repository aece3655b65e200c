// The native data file as a whole: reading under held writes with the header
// test, reconciling frame records with frames, the frame file, writing beside
// the target, and nv_tool's round trip and refusals.
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>

#include "common/file_size_limit.h"
#include "data/curves.h"
#include "data/dynabuf.h"
#include "data/landmarks.h"
#include "data/reslice_info.h"
#include "native_test_support.h"

namespace {

const char* const kHeader3 =
    "RES_BUF_FRAMES 3\nRES_BUF_WIDTH 5\nRES_BUF_HEIGHT 4\nRES_POS_REC true\nRES_END_HEADER\n";
const char* const kRecords3 = "IM 1 0 0 0 0 0 0\nIM 2 0 0 0.1 0 0 0\nIM 3 0 0 0.2 0 0 0\n";

class native_file : public native_test {
 protected:
  // A file of 3 frames of 5 x 4 pixels with the body lines given.
  void write_recording(const std::string& name, const std::string& body) {
    write_file(name + ".hm",
               std::string(kHeader3) + "RES_BIN_IM_FILENAME " + name + ".qzi\n" + kRecords3 + body);
    write_file(name + ".qzi", frame_bytes(3, 5, 4));
  }
};

// ---- header test -----------------------------------------------------------

TEST_F(native_file, MissingHeaderLinesAreJudgedByThisFileAlone) {
  // Writes of the same value leave the resources touched; a file without the
  // lines must not count them as present.
  t().RES_POS_REC->write_no_changeprocs(true);
  t().RES_BUF_RF->write_no_changeprocs(false);
  write_file("a.hm",
             "RES_BUF_FRAMES 1\nRES_BUF_WIDTH 2\nRES_BUF_HEIGHT 2\nRES_END_HEADER\n"
             "RES_BIN_IM_FILENAME a.qzi\nIM 7\n");
  write_file("a.qzi", "abcd");
  ASSERT_TRUE(read_hm("a.hm"));
  EXPECT_FALSE(t().RES_POS_REC->read());
  EXPECT_TRUE(frame_store->positions.empty());
  EXPECT_EQ(t().RES_FRAME_SIZE->read(), 4);
  EXPECT_EQ(frame_pixels(0).substr(0, 4), "abcd");

  clear_data();
  t().RES_BUF_FRAMES->write(0);
  t().RES_BUF_WIDTH->write_no_changeprocs(512);
  write_file("b.hm", "RES_BUF_FRAMES 0\nRES_BUF_HEIGHT 512\nRES_END_HEADER\n");
  EXPECT_FALSE(read_hm("b.hm"));
  EXPECT_TRUE(log_.has(
      wxLOG_Error, "File specifies image data, but either buf_width or buf_height is missing."));
}

TEST_F(native_file, LinesOnTheWrongSideOfTheHeaderEndAreSkipped) {
  write_file("a.hm",
             "RES_BUF_FRAMES 0\nRES_XSCALE 0.5\nRES_BUF_WIDTH 4\nRES_BUF_HEIGHT 4\n"
             "RES_END_HEADER\nRES_BUF_WIDTH 9\nRES_YSCALE 0.25\n");
  ASSERT_TRUE(read_hm("a.hm"));
  EXPECT_EQ(t().RES_BUF_WIDTH->read(), 4);
  EXPECT_DOUBLE_EQ(t().RES_XSCALE->read(), 0.01);
  EXPECT_DOUBLE_EQ(t().RES_YSCALE->read(), 0.25);
}

// ---- frames and frame records ----------------------------------------------

TEST_F(native_file, FramesAndRecordsLoadTogether) {
  write_recording("a", "");
  ASSERT_TRUE(read_hm("a.hm"));
  ASSERT_EQ(frame_store->images.size(), 3u);
  EXPECT_EQ(frame_pixels(2), frame_bytes(3, 5, 4).substr(40, 20));
  EXPECT_EQ(frame_store->timestamps, (std::vector<uint64_t>{1, 2, 3}));
  EXPECT_FLOAT_EQ(frame_store->positions[2]->z, 0.2f);
  EXPECT_EQ(t().RES_BUF_FRAMES->read(), 3);
  EXPECT_NEAR(t().RES_ZSCALE->read(), 0.1, 1e-6);
  EXPECT_EQ(t().RES_ASCII_FILENAME->read().GetFullPath(), path("a.hm"));
  EXPECT_EQ(t().RES_BIN_IM_FILENAME->read(), "a.qzi");
  EXPECT_FALSE(t().RES_BUF_FRAMES->changed());
  EXPECT_EQ(ui_.progress_shown,
            (std::vector<wxString>{"File Open|Currently loading frame 0 of 3.\n"}));
}

// Frames are read many at a time straight into their slab: every frame of
// a recording longer than one such read lands in its own place.
TEST_F(native_file, FramesReadInRunsLandInTheirPlaces) {
  const int n = 19, w = 1000, h = 1050;  // about 20 MB, more than one run
  write_recording_files(spath("big"), n, w, h);
  ASSERT_TRUE(read_hm("big.hm"));
  ASSERT_EQ(frame_store->images.size(), size_t(n));
  for (int k = 0; k < n; ++k) EXPECT_TRUE(frame_pixels(k) == recording_frame(k, w, h)) << k;
  // Frames deleted on their own leave the others whole.
  frame_store->erase_frames(3, 17);
  EXPECT_TRUE(frame_pixels(2) == recording_frame(2, w, h));
  EXPECT_TRUE(frame_pixels(3) == recording_frame(17, w, h));
}

// A file written by a version with more shaders or filters loads whole: the
// values outside this version's range are skipped, each with a warning that
// names it, and keep their values.
TEST_F(native_file, IndexSettingsOutsideTheRangeAreSkippedAndTheRestLoads) {
  write_recording("a", "RES_SHADER 7\nRES_DICOM_FILTER_Z 60\nRES_CMAP_GREY_HI 40\nRES_DICOM_FILTER 2\n");
  ASSERT_TRUE(read_hm("a.hm"));
  EXPECT_EQ(frame_store->images.size(), 3u);
  EXPECT_EQ(t().RES_BUF_FRAMES->read(), 3);
  EXPECT_EQ(t().RES_CMAP_GREY_HI->read(), 40);
  EXPECT_EQ(t().RES_DICOM_FILTER->read(), 2);
  EXPECT_EQ(t().RES_SHADER->read(), 2);          // built in
  EXPECT_EQ(t().RES_DICOM_FILTER_Z->read(), 0);  // built in
  EXPECT_TRUE(log_.has(wxLOG_Warning, "RES_SHADER 7 is not one of -1 to 3"));
  EXPECT_TRUE(log_.has(wxLOG_Warning, "RES_DICOM_FILTER_Z 60 is not one of 0 to 40"));
  EXPECT_EQ(log_.count(wxLOG_Error), 0);
}

TEST_F(native_file, FrameFileIsLookedForBesideTheDataFile) {
  // Names written on another system keep their folder; only the name counts.
  const char* const names[] = {"  my frames.qzi  ", "other\\dir\\my frames.qzi",
                               "/nowhere/my frames.qzi"};
  write_file("my frames.qzi", frame_bytes(3, 5, 4));
  for (const char* name : names) {
    SCOPED_TRACE(name);
    write_file("a.hm", std::string(kHeader3) + "RES_BIN_IM_FILENAME " + name + "\n" + kRecords3);
    ASSERT_TRUE(read_hm("a.hm"));
    EXPECT_EQ(frame_pixels(1), frame_bytes(3, 5, 4).substr(20, 20));
    EXPECT_EQ(t().RES_BIN_IM_FILENAME->read(), wxString(name).Trim().Trim(false));
    clear_data();
    base_res_t::make_pending_writes_happen();
  }
}

TEST_F(native_file, FrameRecordsAreReconciledWithTheFrames) {
  // More records than frames: the surplus is dropped with a warning; fewer, or
  // records without frames, refuse the file.
  write_recording("more", "IM 4 0 0 0.3 0 0 0\n");
  ASSERT_TRUE(read_hm("more.hm"));
  EXPECT_TRUE(log_.has(wxLOG_Warning,
                       "There are more frame details in the .hm file than loaded "
                       "image data.\nDiscarding details for frames 3 to 4."));
  EXPECT_EQ(frame_store->timestamps.size(), 3u);
  EXPECT_EQ(frame_store->positions.size(), 3u);
  EXPECT_EQ(last_read_losses().incomplete_records, 1);
  clear_data();

  write_file("nopos.hm",
             "RES_BUF_FRAMES 1\nRES_BUF_WIDTH 1\nRES_BUF_HEIGHT 1\nRES_END_HEADER\n"
             "RES_BIN_IM_FILENAME n.qzi\nIM 1\nIM 2\n");
  write_file("n.qzi", "x");
  ASSERT_TRUE(read_hm("nopos.hm"));
  EXPECT_EQ(frame_store->timestamps.size(), 1u);
  clear_data();

  write_file("fewer.hm",
             std::string(kHeader3) + "RES_BIN_IM_FILENAME more.qzi\nIM 1 0 0 0 0 0 0\n");
  EXPECT_FALSE(read_hm("fewer.hm"));
  EXPECT_TRUE(log_.has(wxLOG_Error,
                       "There are fewer frame details in the .hm file than loaded "
                       "image data.\nUnable to load this file."));
  write_file("noframes.hm", std::string(kHeader3) + kRecords3 + "IM 4 0 0 0 0 0 0\n");
  EXPECT_FALSE(read_hm("noframes.hm"));
  EXPECT_TRUE(log_.has(wxLOG_Error, "The file announces 3 frames but 0 frame images were loaded."));
  EXPECT_TRUE(frame_store->images.empty());
  EXPECT_TRUE(frame_store->timestamps.empty());
}

TEST_F(native_file, AFileEndingAtTheHeaderHoldsNoFrames) {
  write_file("a.hm", "RES_BUF_FRAMES 0\nRES_BUF_WIDTH 4\nRES_BUF_HEIGHT 4\nRES_END_HEADER\n");
  EXPECT_TRUE(read_hm("a.hm"));
  write_file("b.hm", "RES_BUF_FRAMES 2\nRES_BUF_WIDTH 4\nRES_BUF_HEIGHT 4\nRES_END_HEADER\n");
  EXPECT_FALSE(read_hm("b.hm"));
}

TEST_F(native_file, MemoryShortageKeepsMostOfWhatWasLoaded) {
  static int buffers_left;
  set_frame_allocator(
      [](size_t n) -> uint8_t* { return buffers_left-- > 0 ? new uint8_t[n] : nullptr; });
  std::string records;
  for (int k = 0; k < 12; ++k) records += "IM " + std::to_string(k) + " 0 0 0 0 0 0\n";
  write_file("a.hm",
             "RES_BUF_FRAMES 12\nRES_BUF_WIDTH 5\nRES_BUF_HEIGHT 4\nRES_POS_REC true\n"
             "RES_END_HEADER\nRES_BIN_IM_FILENAME a.qzi\n" +
                 records);
  write_file("a.qzi", frame_bytes(12, 5, 4));

  buffers_left = 10;
  ASSERT_TRUE(read_hm("a.hm"));
  EXPECT_TRUE(log_.has(wxLOG_Warning,
                       "Only sufficient memory to load 9 frames of data with size "
                       "5 x 4.\nIgnored a further 3 frames.\n"));
  EXPECT_EQ(t().RES_BUF_FRAMES->read(), 9);
  EXPECT_EQ(frame_store->images.size(), 9u);
  EXPECT_EQ(frame_store->timestamps.size(), 9u);
  EXPECT_EQ(last_read_losses().frames_dropped, 3);

  // Never a loaded data set of no frames when frames were announced.
  clear_data();
  buffers_left = 1;
  EXPECT_FALSE(read_hm("a.hm"));
  EXPECT_TRUE(log_.has(wxLOG_Error, "Only sufficient memory to load 0 frames"));
  EXPECT_TRUE(frame_store->images.empty());
}

TEST_F(native_file, FailedReadWithdrawsEverythingButFiducials) {
  t().RES_ASCII_FILENAME->write(wxFileName(path("before.hm")));
  marks().add_landmark({1, 1, 1}, "Fiducial 1", LM_FIDUCIAL);
  write_recording("a",
                  "RES_XSCALE 0.5\nLANDMARK 1 2 3 A\nFIDUCIAL 4 5 6 Fiducial 2\n"
                  "CONT 0 1 1 1 1\nCURVE 1 0 Rim\nRESLICE 1 1 2 3\nCONT 0 1 1 5.5\n");
  EXPECT_FALSE(read_hm("a.hm"));
  EXPECT_TRUE(log_.has(wxLOG_Error, "Failed when reading CONT 0 1 1 5.5"));
  EXPECT_EQ(t().RES_ASCII_FILENAME->read().GetFullPath(), path("before.hm"));
  EXPECT_DOUBLE_EQ(t().RES_XSCALE->read(), 0.01);
  EXPECT_EQ(t().RES_BUF_FRAMES->read(), 0);
  EXPECT_TRUE(frame_store->images.empty());
  EXPECT_TRUE(object(0).frames.empty());
  EXPECT_EQ(t().RES_CURVE->read()->size(), 0u);
  EXPECT_FALSE(t().RESLICE->read()[1].defined);
  ASSERT_EQ(marks().size(), 2u);  // the fiducials, the file's own included
  EXPECT_EQ(marks()[1].name, "Fiducial 2");
}

// ---- text of the file ------------------------------------------------------

TEST_F(native_file, LineEndsAndEncodingsAllRead) {
  const std::string body =
      "OBJECT 2 1 1 2 3 0.5 Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
      "e\n";
  const std::string latin1 =
      "OBJECT 2 1 1 2 3 0.5 Cr\xE8me br\xFBl\xE9"
      "e\n";
  std::string lf = std::string(kHeader3) + "RES_BIN_IM_FILENAME f.qzi\n" + kRecords3;
  write_file("f.qzi", frame_bytes(3, 5, 4));
  auto with_ends = [](std::string s, const std::string& end) {
    std::string out;
    for (char c : s) out += c == '\n' ? end : std::string(1, c);
    return out;
  };
  std::wstring wide = wxString::FromUTF8(lf + body).ToStdWstring();
  std::string utf16 = "\xFF\xFE";
  for (wchar_t c : wide)
    utf16 += std::string{static_cast<char>(c & 0xff), static_cast<char>(c >> 8)};
  const std::pair<const char*, std::string> files[] = {
      {"lf", lf + body},
      {"crlf", with_ends(lf + body, "\r\n")},
      {"cr", with_ends(lf + body, "\r")},
      {"bom", "\xEF\xBB\xBF" + lf + body},
      {"latin1", lf + latin1},
      {"utf16", utf16},
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.first);
    write_file("t.hm", f.second);
    ASSERT_TRUE(read_hm("t.hm"));
    EXPECT_EQ(frame_store->images.size(), 3u);
    EXPECT_EQ(object(2).name, wxString::FromUTF8("Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
                                                 "e"));
    clear_data();
    base_res_t::make_pending_writes_happen();
  }
}

TEST_F(native_file, SavedFileHasItsLinesInTheFixedOrder) {
  write_recording("a", "CONT 0 1 1 1 1\nLANDMARK 1 2 3 A\n");
  ASSERT_TRUE(read_hm("a.hm"));
  t().RES_COMMENT->read()->push_back("note");
  ASSERT_TRUE(save_native_file_as(path("b"), false));
  const std::string text = read_file("b.hm");
  EXPECT_EQ(text.find('\r'), std::string::npos);
  const std::string head =
      "# note\nRES_BUF_FRAMES 3\nRES_BUF_WIDTH 5\nRES_BUF_HEIGHT 4\nRES_POS_REC true\n"
      "RES_BUF_RF false\nRES_BUF_DICOM false\nRES_END_HEADER\nRES_VERSION 7.27\n";
  EXPECT_EQ(text.substr(0, head.size()), head);
  std::vector<size_t> at;
  for (const char* key :
       {"\nRES_THICKNESS_OUTLIER_REJECT ", "\nRES_BIN_IM_FILENAME b.qzi\n", "\nIM 1 ",
        "\nLANDMARK ", "\nRESLICE 0 ", "\nVOLUME 0 ", "\nOBJECT 0 ", "\nCONT 0 1 1 1.00 1.00\n"})
    at.push_back(text.find(key));
  for (size_t i = 0; i < at.size(); ++i) EXPECT_NE(at[i], std::string::npos) << i;
  EXPECT_TRUE(std::is_sorted(at.begin(), at.end()));
  EXPECT_EQ(text.size(), at.back() + std::string("\nCONT 0 1 1 1.00 1.00\n").size());
  EXPECT_EQ(read_file("b.qzi"), frame_bytes(3, 5, 4));
  EXPECT_EQ(t().RES_ASCII_FILENAME->read().GetFullPath(), path("b.hm"));
  wxString changed;
  EXPECT_FALSE(base_res_t::describe_changed_groups(3, changed)) << changed;
  EXPECT_EQ(ui_.progress_shown.back(), "File Save|Currently saving frame 0 of 3.\n");
}

TEST_F(native_file, SaveRewritesFramesOnlyUnderANewName) {
  write_recording("a", "");
  ASSERT_TRUE(read_hm("a.hm"));
  std::filesystem::remove(dir_ / "a.qzi");
  ASSERT_TRUE(try_write_native_file(path("a.hm")));
  EXPECT_FALSE(exists("a.qzi"));
  ASSERT_TRUE(save_native_file_as(path("c.dat"), false));
  EXPECT_EQ(read_file("c.dati"), frame_bytes(3, 5, 4));
  EXPECT_NE(read_file("c.dat").find("\nRES_BIN_IM_FILENAME c.dati\n"), std::string::npos);
}

// ---- saving never destroys the only good copy --------------------------------

TEST_F(native_file, FailedSaveLeavesTheOldFilesAsTheyWere) {
  write_recording("a", "");
  ASSERT_TRUE(read_hm("a.hm"));
  write_file("old.hm", "old text");
  write_file("old.qzi", "old frames");
  frame_store->images.pop_back();  // the last frame can no longer be written
  object(1).name = "Edited";
  t().OBJECT->write();
  ASSERT_TRUE(t().OBJECT->changed());

  EXPECT_FALSE(save_native_file_as(path("old.hm"), false));
  EXPECT_TRUE(log_.has(wxLOG_Error, "Failed to write binary data to binary file."));
  EXPECT_TRUE(log_.has_text("was left as it was"));
  EXPECT_EQ(read_file("old.hm"), "old text");
  EXPECT_EQ(read_file("old.qzi"), "old frames");
  EXPECT_EQ(files(), (std::vector<std::string>{"a.hm", "a.qzi", "old.hm", "old.qzi"}));
  EXPECT_EQ(t().RES_ASCII_FILENAME->read().GetFullPath(), path("a.hm"));
  EXPECT_EQ(t().RES_BIN_IM_FILENAME->read(), "a.qzi");
  EXPECT_TRUE(t().OBJECT->changed());
}

TEST_F(native_file, FullDiskLeavesTheOldFilesAsTheyWere) {
  std::string records;
  for (int k = 0; k < 8; ++k) records += "IM " + std::to_string(k) + "\n";
  write_file("big.hm",
             "RES_BUF_FRAMES 8\nRES_BUF_WIDTH 100\nRES_BUF_HEIGHT 100\nRES_END_HEADER\n"
             "RES_BIN_IM_FILENAME big.qzi\n" +
                 records);
  write_file("big.qzi", frame_bytes(8, 100, 100));
  ASSERT_TRUE(read_hm("big.hm"));
  write_file("old.hm", "old text");
  write_file("old.qzi", "old frames");

  // A file size limit stands in for a full disk: writes past it fail.
  bool saved_ok;
  {
    file_size_limit limit(30000);
    ASSERT_TRUE(limit.ok());
    saved_ok = save_native_file_as(path("old.hm"), false);
  }

  EXPECT_FALSE(saved_ok);
  EXPECT_EQ(read_file("old.hm"), "old text");
  EXPECT_EQ(read_file("old.qzi"), "old frames");
  EXPECT_EQ(files(), (std::vector<std::string>{"big.hm", "big.qzi", "old.hm", "old.qzi"}));
}

// ---- frames from medical image files ---------------------------------------

class fake_source : public medical_source {
 public:
  std::vector<int32_t> numbers;
  wxString last_path;
  int32_t read_frame(const wxString& path, int32_t, int32_t frame_number, uint16_t* raw,
                     uint8_t*) override {
    last_path = path;
    numbers.push_back(frame_number);
    for (int i = 0; i < 6; ++i) raw[i] = static_cast<uint16_t>(frame_number * 100 + i);
    return 6;
  }
  bool data_8bit() const override { return false; }
  bool data_16bit() const override { return true; }
  wxString source_type() const override { return "DICOM"; }
  wxString value_units() const override { return "HU"; }
  void file_rescale(double& s, double& i) const override { s = 1, i = -1024; }
  bool sort_frames() override { return false; }
  void reset_data_source() override {}
};

TEST_F(native_file, MedicalImageFramesComeThroughTheReaders) {
  std::filesystem::create_directories(dir_ / "series");
  write_file("m.hm",
             "RES_BUF_FRAMES 2\nRES_BUF_WIDTH 3\nRES_BUF_HEIGHT 2\nRES_BUF_DICOM true\n"
             "RES_DICOM_FRAME_LIST 7 9\nRES_END_HEADER\nRES_VERSION 7.27\n"
             "RES_BIN_IM_FILENAME series\nIM 0\nIM 0\n");
  EXPECT_FALSE(read_hm("m.hm"));
  EXPECT_TRUE(log_.has(wxLOG_Error, "need the medical image readers"));

  fake_source source;
  set_medical_source(&source);
  ASSERT_TRUE(read_hm("m.hm"));
  EXPECT_EQ(source.numbers, (std::vector<int32_t>{7, 9}));
  EXPECT_EQ(source.last_path, path("series"));
  ASSERT_EQ(frame_store->images.size(), 2u);
  EXPECT_EQ(frame_store->images[1]->raw[5], 905);

  // Saved elsewhere, the data file names the image folder with its path.
  std::filesystem::create_directories(dir_ / "elsewhere");
  ASSERT_TRUE(save_native_file_as(path("elsewhere/m.hm"), false));
  EXPECT_FALSE(exists("elsewhere/m.qzi"));
  const std::string text = read_file("elsewhere/m.hm");
  EXPECT_NE(text.find("RES_DICOM_FRAME_LIST 7 9\n"), std::string::npos);
  EXPECT_NE(text.find("RES_BIN_IM_FILENAME " + spath("series") + "\n"), std::string::npos);
  clear_data();
  base_res_t::make_pending_writes_happen();
  source.numbers.clear();
  ASSERT_TRUE(read_hm("elsewhere/m.hm"));
  EXPECT_EQ(source.numbers, (std::vector<int32_t>{7, 9}));
}

// ---- nv_tool ---------------------------------------------------------------

#ifdef NV_TOOL_PATH
struct tool_result {
  int status;
  std::string err;
};

class native_tool : public native_file {
 protected:
  tool_result run(const std::string& in, const std::string& out) {
    const std::string err = spath("stderr.txt");
    const std::string cmd =
        std::string(NV_TOOL_PATH) + " roundtrip '" + in + "' '" + out + "' 2>'" + err + "'";
    const int rc = std::system(cmd.c_str());
    tool_result r{WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, read_file("stderr.txt")};
    std::filesystem::remove(err);
    return r;
  }
};

TEST_F(native_tool, RoundTripKeepsEveryValueAndThenNothingChanges) {
  write_file("a.hm",
             "# Recording of the left knee\n#\tsecond  comment\nRES_BUF_FRAMES 3\n"
             "RES_BUF_WIDTH 5\nRES_BUF_HEIGHT 4\nRES_POS_REC true\nRES_END_HEADER\n"
             "RES_VERSION 7.27\nRES_XSCALE 0.0123456789\nRES_BIN_IM_FILENAME a.qzi\n"
             "IM 100 1.23456789 -2 3 10 20 30\nIM 18446744073709551615 1.2 -2 3.1 10 20 30\r\n"
             "IM 300 1.2 -2 3.2 10 20 30\nLANDMARK 1.23456789 2 3 Alpha\n"
             "LANDMARK 2D 0.5 0.25 1 Flat\nLANDMARK SURF 150 1 2 3 0 3 4 Tip\n"
             "FIDUCIAL 4 5 6 Fiducial 1\n"
             "CURVE 150 1 1.123456789 2 3 0 0 1 4 5 6 0 1 0 Rim line\n"
             "RESLICE 0 300 200 0 0 1 1 2 3 0 1 0\nRESLICE 1 1.5 -2 0.25\n"
             "VOLUME 3 77 10 20 30 40 1 50 60 70\n"
             "OBJECT 0 1 255 0 0 0.75 0.2 0.3 0.4 Femur\nOBJECT 150 0 1 2 3 0.5 Patella\n"
             "CONT 0 0 1 1.234 5.678 9 10 11 12\nCONT 0 2 0 1 1 2 2\nCONT 3 1 1 5 5 6 6 7 5\n"
             "CONT 150 2 1 10.006 20 30 40\n");
  write_file("a.qzi", frame_bytes(3, 5, 4));
  std::filesystem::create_directories(dir_ / "one");
  std::filesystem::create_directories(dir_ / "two");

  tool_result first = run(spath("a.hm"), spath("one/a.hm"));
  ASSERT_EQ(first.status, 0) << first.err;
  tool_result second = run(spath("one/a.hm"), spath("two/a.hm"));
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(read_file("one/a.hm"), read_file("two/a.hm"));
  EXPECT_EQ(read_file("one/a.qzi"), frame_bytes(3, 5, 4));
  EXPECT_EQ(read_file("two/a.qzi"), frame_bytes(3, 5, 4));

  ASSERT_TRUE(read_hm("one/a.hm"));
  const std::vector<wxString>& comments = *t().RES_COMMENT->read();
  EXPECT_EQ(comments, (std::vector<wxString>{"Recording of the left knee", "second  comment"}));
  EXPECT_EQ(frame_pixels(1), frame_bytes(3, 5, 4).substr(20, 20));
  EXPECT_EQ(frame_store->timestamps, (std::vector<uint64_t>{100, UINT64_MAX, 300}));
  EXPECT_NEAR(frame_store->positions[0]->x, 1.23456789, 1e-6);
  EXPECT_FLOAT_EQ(frame_store->positions[2]->roll, 30.0f);
  EXPECT_NEAR(t().RES_XSCALE->read(), 0.0123456789, 1e-7);  // six significant digits

  ASSERT_EQ(marks().size(), 4u);
  EXPECT_NEAR(marks()[0].x, 1.23456789, 1e-5);
  EXPECT_EQ(marks()[1].kind, LM_2D);
  EXPECT_EQ(marks()[2].kind, LM_SURFACE);
  EXPECT_EQ(marks()[2].object, 150);
  EXPECT_DOUBLE_EQ(marks()[2].nz, 0.8);
  EXPECT_EQ(marks()[3].kind, LM_FIDUCIAL);

  const curve_set& curves = *t().RES_CURVE->read();
  ASSERT_EQ(curves.size(), 1u);
  EXPECT_NEAR(curves[0].points[0].x, 1.123456789, 1e-8);
  EXPECT_EQ(curves[0].name, "Rim line");

  const reslice_info* planes = t().RESLICE->read();
  EXPECT_EQ(planes[0].width, 300);
  EXPECT_DOUBLE_EQ(planes[0].centre.z, 3.0);
  EXPECT_DOUBLE_EQ(planes[1].centre.x, 1.5);
  const volume_object& row = t().RES_VOLUME->read()[3];
  EXPECT_EQ(row.data_value, 77);
  EXPECT_EQ(row.anisotropy, 70);

  EXPECT_EQ(object(0).name, "Femur");
  EXPECT_DOUBLE_EQ(object(0).anisotropy, 0.4);
  EXPECT_EQ(object(150).name, "Patella");
  EXPECT_EQ(object(150).capped, 0);
  ASSERT_EQ(object(150).frames.size(), 1u);
  EXPECT_NEAR(object(150).frames.front().contours[0].vertices[0].x, 10.01, 1e-9);
  EXPECT_NEAR(object(0).frames.front().contours[0].vertices[0].y, 5.68, 1e-9);
  EXPECT_EQ(object(0).frames.size(), 2u);
  EXPECT_EQ(object(3).frames.front().contours[0].vertices.size(), 3u);
}

TEST_F(native_tool, BadInputIsRefusedAndNothingIsWritten) {
  const std::string header2 =
      "RES_BUF_FRAMES 2\nRES_BUF_WIDTH 4\nRES_BUF_HEIGHT 3\n"
      "RES_POS_REC false\nRES_END_HEADER\n";
  const std::string body2 = "RES_BIN_IM_FILENAME in.qzi\nIM 1\nIM 2\n";
  const std::string frames2 = frame_bytes(2, 4, 3);
  std::string random, garbage;  // garbage: random bytes without NUL
  srand(7);
  for (int i = 0; i < 4000; ++i) random += static_cast<char>(rand() & 0xff);
  for (int i = 0; i < 4000; ++i) garbage += static_cast<char>(1 + rand() % 255);
  struct bad_case {
    const char* what;
    std::string hm, qzi;
    int status;
    const char* message;
  };
  const bad_case cases[] = {
      {"truncated frame file", header2 + body2, frames2.substr(0, 20), 1,
       "is shorter than announced: it holds 20 bytes, but 2 frames of 4 x 3 pixels need 24 bytes"},
      {"missing frame file", header2 + body2, "", 1, "Error opening data file for reading in."},
      {"zero width", "RES_BUF_FRAMES 0\nRES_BUF_WIDTH 0\nRES_BUF_HEIGHT 3\nRES_END_HEADER\n", "", 1,
       "frames of 0 x 3 pixels; both must be at least 1"},
      {"negative width", "RES_BUF_FRAMES 0\nRES_BUF_WIDTH -5\nRES_BUF_HEIGHT 3\nRES_END_HEADER\n",
       "", 1, "frames of -5 x 3 pixels; both must be at least 1"},
      {"overflowing size",
       "RES_BUF_FRAMES 1\nRES_BUF_WIDTH 70000\nRES_BUF_HEIGHT 70000\nRES_END_HEADER\n", "", 1,
       "more than the 2147483647 pixels a frame can hold"},
      {"negative count", "RES_BUF_FRAMES -2\nRES_BUF_WIDTH 4\nRES_BUF_HEIGHT 3\nRES_END_HEADER\n",
       "", 1, "negative frame count (-2)"},
      {"huge count, tiny file",
       "RES_BUF_FRAMES 2000000000\nRES_BUF_WIDTH 4\nRES_BUF_HEIGHT 3\nRES_END_HEADER\n" + body2,
       frames2, 1, "but 2000000000 frames of 4 x 3 pixels need 24000000000 bytes"},
      {"object -1", header2 + body2 + "CONT -1 0 1 1 1\n", frames2, 1,
       "Object number -1 in CONT line is not one of 0 to 199"},
      {"object 5000", header2 + body2 + "CONT 5000 0 1 1 1\n", frames2, 3,
       "Ignoring objects greater than 199 in CONT line"},
      {"not a number", "RES_BUF_FRAMES 0\nRES_BUF_WIDTH abc\nRES_BUF_HEIGHT 3\nRES_END_HEADER\n",
       "", 1, "Failed when reading RES_BUF_WIDTH abc"},
      {"not a number in the body", header2 + body2 + "RES_XSCALE 1,5\n", frames2, 1,
       "Failed when reading RES_XSCALE 1,5"},
      {"RF data",
       "RES_BUF_FRAMES 0\nRES_BUF_RF true\nRES_BUF_WIDTH 4\nRES_BUF_HEIGHT 3\n"
       "RES_END_HEADER\n",
       "", 1, "Norvelith can't load RF data, try Halmondo instead."},
      {"random bytes", random, "", 1, "is not a Norvelith data file: it holds binary data"},
      {"random text", garbage, "", 1, "has no RES_END_HEADER line"},
      {"empty file", "", "", 1, "has no RES_END_HEADER line"},
      {"records without frames", header2 + "IM 1\nIM 2\nIM 3\n", "", 1,
       "The file announces 2 frames but 0 frame images were loaded"},
      {"fewer records", header2 + "RES_BIN_IM_FILENAME in.qzi\nIM 1\n", frames2, 1,
       "There are fewer frame details in the .hm file than loaded image data."},
      {"more records", header2 + body2 + "IM 3\n", frames2, 3,
       "Discarding details for frames 2 to 3."},
      {"two frame files", header2 + body2 + "RES_BIN_IM_FILENAME in.qzi\n", frames2, 1,
       "a data file names one frame file only"},
      {"timestamp past 64 bits", header2 + "RES_BIN_IM_FILENAME in.qzi\nIM 1\nIM 18446744073709551616\n",
       frames2, 1, "Problem reading timestamp in image IM line"},
      {"longer frame file", header2 + body2, frames2 + "xy", 3,
       "is longer than announced: it holds 26 bytes, but 2 frames of 4 x 3 pixels need 24"},
      // Lines that are not kept: counted, with the first one's number.
      {"misspelt keyword", header2 + body2 + "LANDMRK 1 2 3 Tip\n", frames2, 3,
       "1 lines skipped, the first at line 9;"},
      {"header keyword after the header end", header2 + body2 + "\nRES_BUF_WIDTH 9\n", frames2, 3,
       "1 lines skipped, the first at line 10;"},
      {"body keyword in the header", "RES_XSCALE 0.5\n" + header2 + body2, frames2, 3,
       "1 lines skipped, the first at line 1;"},
      {"a word among the vertices", header2 + body2 + "CONT 0 0 1 1 1 2 2 x 5 5\n", frames2, 3,
       "1 lines skipped, the first at line 9;"},
      {"several", header2 + body2 + "IM2 3\n \t\nLANDMRK 1\nCONT 300 0 1 1 1\n", frames2, 3,
       "3 lines skipped, the first at line 9;"},
  };
  for (const bad_case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    write_file("in.hm", c.hm);
    if (!c.qzi.empty()) write_file("in.qzi", c.qzi);
    const std::vector<std::string> before = files();
    tool_result r = run(spath("in.hm"), spath("out.hm"));
    EXPECT_EQ(r.status, c.status);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(files(), before);
  }
  tool_result missing = run(spath("nothing.hm"), spath("out.hm"));
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("Error opening file for reading in."), std::string::npos);
  EXPECT_NE(missing.err.find("nothing.hm"), std::string::npos);
}
#endif

}  // namespace
