// Saving through the one save helper: a data file and its frame file are
// both new or both old after a failure at any step, permissions are kept,
// read-only files are respected, an image export is all or nothing, and a
// file the program wrote comes back byte for byte from open and save.
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>

#include "data/file_menu_export.h"
#include "data/file_menu_image_wx.h"
#include "data/file_menu_settings.h"
#include "data/file_save.h"
#include "native_test_support.h"

namespace {

const char* const kHeader3 =
    "RES_BUF_FRAMES 3\nRES_BUF_WIDTH 5\nRES_BUF_HEIGHT 4\nRES_POS_REC true\nRES_END_HEADER\n";
const char* const kRecords3 = "IM 1 0 0 0 0 0 0\nIM 2 0 0 0.1 0 0 0\nIM 3 0 0 0.2 0 0 0\n";

// Counts the steps of every save and makes step number `at` fail or stop.
class fault_counter {
 public:
  fault_counter(int at, save_fault what) : at_(at), what_(what) {
    set_save_fault_hook([this](save_step step, const wxString&) {
      steps.push_back(step);
      return static_cast<int>(steps.size()) - 1 == at_ ? what_ : save_fault::none;
    });
  }
  ~fault_counter() { set_save_fault_hook(nullptr); }
  bool fired() const { return static_cast<int>(steps.size()) > at_; }
  std::vector<save_step> steps;

 private:
  int at_;
  save_fault what_;
};

mode_t mode_of(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

class file_save_test : public native_test {
 protected:
  void TearDown() override {
    set_save_fault_hook(nullptr);
    native_test::TearDown();
  }
  // The loaded data set: 3 frames of 5 x 4 pixels. The older pair at
  // out.hm / out.qzi holds 2 frames, so that its frame file is shorter.
  void load_recording_and_old_pair() {
    write_file("a.hm", std::string(kHeader3) + "RES_BIN_IM_FILENAME a.qzi\n" + kRecords3);
    write_file("a.qzi", frame_bytes(3, 5, 4));
    ASSERT_TRUE(read_hm("a.hm"));
    old_hm_ =
        "RES_BUF_FRAMES 2\nRES_BUF_WIDTH 5\nRES_BUF_HEIGHT 4\nRES_END_HEADER\n"
        "RES_BIN_IM_FILENAME out.qzi\nIM 7\nIM 8\n";
    old_qzi_ = std::string(frame_bytes(2, 5, 4));
    write_file("out.hm", old_hm_);
    write_file("out.qzi", old_qzi_);
  }
  bool old_pair_intact() { return read_file("out.hm") == old_hm_ && read_file("out.qzi") == old_qzi_; }

  std::string old_hm_, old_qzi_;
};

// ---- the data file and its frame file ----------------------------------------

TEST_F(file_save_test, AFailureAtAnyStepLeavesTheOldPairByteForByte) {
  load_recording_and_old_pair();
  const std::vector<std::string> before = files();
  int k = 0;
  for (;; ++k) {
    SCOPED_TRACE("failure at step " + std::to_string(k));
    fault_counter faults(k, save_fault::fail);
    const bool saved = save_native_file_as(path("out.hm"), false);
    if (!faults.fired()) {
      ASSERT_TRUE(saved);
      break;
    }
    SCOPED_TRACE(save_step_name(faults.steps[static_cast<size_t>(k)]));
    EXPECT_FALSE(saved);
    EXPECT_TRUE(log_.has_text("was left as it was"));
    EXPECT_TRUE(old_pair_intact());
    EXPECT_EQ(files(), before);  // nothing new beside them either
    EXPECT_EQ(t().RES_ASCII_FILENAME->read().GetFullPath(), path("a.hm"));
  }
  // Every kind of step was reached and made to fail at least once.
  fault_counter all(-1, save_fault::none);
  ASSERT_TRUE(save_native_file_as(path("out.hm"), false));
  for (save_step s : {save_step::create, save_step::flush, save_step::sync, save_step::close,
                      save_step::mode, save_step::keep_old, save_step::rename,
                      save_step::sync_folder})
    EXPECT_NE(std::find(all.steps.begin(), all.steps.end(), s), all.steps.end())
        << save_step_name(s);
  EXPECT_EQ(std::count(all.steps.begin(), all.steps.end(), save_step::rename), 2);
  EXPECT_EQ(read_file("out.qzi"), frame_bytes(3, 5, 4));
  EXPECT_GT(k, 10);
}

// A kill at any step leaves the old pair, the new pair, or, only between the
// two renames, the old data file with the new frame file, which the reader
// then reports instead of taking it silently.
TEST_F(file_save_test, AKillAtAnyStepNeverLeavesAPairThatOpensSilently) {
  load_recording_and_old_pair();
  bool saw_mixed = false;
  for (int k = 0;; ++k) {
    SCOPED_TRACE("killed at step " + std::to_string(k));
    write_file("out.hm", old_hm_);
    write_file("out.qzi", old_qzi_);
    bool done;
    {
      fault_counter faults(k, save_fault::stop);
      save_native_file_as(path("out.hm"), false);
      done = !faults.fired();
    }
    const std::string hm = read_file("out.hm"), qzi = read_file("out.qzi");
    const bool new_hm = hm != old_hm_, new_qzi = qzi == frame_bytes(3, 5, 4);
    if (done) {
      EXPECT_TRUE(new_hm && new_qzi);
      break;
    }
    EXPECT_TRUE(new_qzi || qzi == old_qzi_);
    EXPECT_FALSE(new_hm && !new_qzi) << "new data file over old frames";
    if (new_qzi && !new_hm) {
      saw_mixed = true;
      clear_data();
      ASSERT_TRUE(read_hm("out.hm"));
      EXPECT_TRUE(log_.has(wxLOG_Warning, "is longer than announced: it holds 60 bytes, but 2 "
                                          "frames of 5 x 4 pixels need 40 bytes"));
      EXPECT_EQ(last_read_losses().frame_file_mismatches, 1);
      clear_data();
      ASSERT_TRUE(read_hm("a.hm"));
    }
  }
  EXPECT_TRUE(saw_mixed);
}

TEST_F(file_save_test, AFolderInTheDataFilesPlaceLeavesTheOldFrameFile) {
  load_recording_and_old_pair();
  std::filesystem::remove(dir_ / "out.hm");
  std::filesystem::create_directories(dir_ / "out.hm");
  write_file("out.qzi", "OLD\n");
  EXPECT_FALSE(save_native_file_as(path("out.hm"), false));
  EXPECT_TRUE(log_.has_text("is a folder"));
  EXPECT_EQ(read_file("out.qzi"), "OLD\n");
  EXPECT_EQ(files(), (std::vector<std::string>{"a.hm", "a.qzi", "out.hm", "out.qzi"}));
}

TEST_F(file_save_test, PermissionsAreKeptAndNewFilesFollowTheUmask) {
  load_recording_and_old_pair();
  ::chmod(spath("out.hm").c_str(), 0600);
  ::chmod(spath("out.qzi").c_str(), 0640);
  const mode_t mask = ::umask(027);
  ASSERT_TRUE(save_native_file_as(path("out.hm"), false));
  EXPECT_EQ(mode_of(spath("out.hm")), 0600u);
  EXPECT_EQ(mode_of(spath("out.qzi")), 0640u);
  ASSERT_TRUE(save_native_file_as(path("fresh.hm"), false));
  EXPECT_EQ(mode_of(spath("fresh.hm")), 0640u);
  EXPECT_EQ(mode_of(spath("fresh.qzi")), 0640u);
  ::umask(mask);
}

// Either file of the pair marked read-only refuses the save of both.
TEST_F(file_save_test, AReadOnlyFileOfThePairIsNeverReplaced) {
  for (const char* locked : {"out.hm", "out.qzi"}) {
    SCOPED_TRACE(locked);
    clear_data();
    load_recording_and_old_pair();
    ::chmod(spath(locked).c_str(), 0444);
    EXPECT_FALSE(save_native_file_as(path("out.hm"), false));
    EXPECT_TRUE(log_.has_text("is read-only"));
    EXPECT_TRUE(old_pair_intact());
    EXPECT_EQ(mode_of(spath(locked)), 0444u);
    ::chmod(spath(locked).c_str(), 0644);
  }
}

// ---- other writers -----------------------------------------------------------

TEST_F(file_save_test, SettingsFilesKeepTheirModeAndSurviveFailures) {
  write_file("s.ini", "OLD SETTINGS\n");
  ::chmod(spath("s.ini").c_str(), 0600);
  {
    fault_counter faults(0, save_fault::fail);  // the file beside it cannot be made
    EXPECT_FALSE(write_settings_file(path("s.ini"), 0xffff));
  }
  EXPECT_EQ(read_file("s.ini"), "OLD SETTINGS\n");
  ASSERT_TRUE(write_settings_file(path("s.ini"), 0xffff));
  EXPECT_NE(read_file("s.ini"), "OLD SETTINGS\n");
  EXPECT_EQ(mode_of(spath("s.ini")), 0600u);
  EXPECT_EQ(files(), std::vector<std::string>{"s.ini"});
}

TEST_F(file_save_test, AFailedImageExportLeavesEveryOlderImageAndRemovesItsOwn) {
  write_file("a.hm", std::string(kHeader3) + "RES_BIN_IM_FILENAME a.qzi\n" + kRecords3);
  write_file("a.qzi", frame_bytes(3, 5, 4));
  ASSERT_TRUE(read_hm("a.hm"));
  wx_frame_image_writer writer;
  set_frame_image_writer(&writer);
  write_file("img0000.png", "older image 0");
  write_file("img0002.png", "older image 2");
  const frame_selection all = parse_frame_range("0:2", 3);
  ASSERT_EQ(all.count(), 3);

  // Failing the third file's creation, then the third rename (after two
  // images are already in place), then the folder's sync.
  const std::vector<save_step> targets = {save_step::create, save_step::rename,
                                          save_step::sync_folder};
  for (save_step target : targets) {
    SCOPED_TRACE(save_step_name(target));
    int seen = 0;
    const int wanted = target == save_step::sync_folder ? 1 : 3;
    set_save_fault_hook([&](save_step s, const wxString&) {
      return s == target && ++seen == wanted ? save_fault::fail : save_fault::none;
    });
    EXPECT_FALSE(export_frame_images(all, path("img.png"), FRAME_EXPORT_PNG));
    set_save_fault_hook(nullptr);
    EXPECT_EQ(seen, wanted);
    EXPECT_TRUE(log_.has(wxLOG_Error, "older images were left as they were"));
    EXPECT_EQ(read_file("img0000.png"), "older image 0");
    EXPECT_EQ(read_file("img0002.png"), "older image 2");
    EXPECT_EQ(files(),
              (std::vector<std::string>{"a.hm", "a.qzi", "img0000.png", "img0002.png"}));
  }
  ASSERT_TRUE(export_frame_images(all, path("img.png"), FRAME_EXPORT_PNG));
  EXPECT_EQ(read_file("img0001.png").substr(1, 3), "PNG");
  EXPECT_EQ(read_file("img0002.png").substr(1, 3), "PNG");
  set_frame_image_writer(nullptr);
}

TEST_F(file_save_test, EmptyOutputNamesAreRefused) {
  load_recording_and_old_pair();
  const std::vector<std::string> before = files();
  EXPECT_FALSE(save_native_file_as(path(""), false));
  EXPECT_FALSE(save_native_file_as("", false));
  EXPECT_TRUE(log_.has(wxLOG_Error, "names no file"));
  EXPECT_EQ(files(), before);
  EXPECT_FALSE(std::filesystem::exists(".hm"));
  EXPECT_FALSE(std::filesystem::exists(".qzi"));
}

// ---- open and save is a fixed point ------------------------------------------

// A plane whose vectors are not unit vectors in the file, and a recording with
// every kind of line: the first save normalises, the next must not change it.
TEST_F(file_save_test, OpenAndSaveOfASavedFileIsByteIdentical) {
  write_file("a.hm",
             std::string(kHeader3) + "RES_XSCALE 0.0123456789\nRES_BIN_IM_FILENAME a.qzi\n" +
                 kRecords3 +
                 "RESLICE 0 300 200 1 0 4 1.5 2 3 4 0 -1\nRESLICE 1 1.5 -2 0.25\n"
                 "RESLICE 2 1 2 3\nLANDMARK 1.23456789 2 3 Alpha\n"
                 "CURVE 150 1 1.123456789 2 3 0 0 1 4 5 6 0 1 0 Rim line\n"
                 "OBJECT 0 1 255 0 0 0.75 0.2 0.3 0.4 Femur\n"
                 "CONT 0 0 1 1.234 5.678 9 10 11 12\nCONT 0 2 0 1 1 2 2\n");
  write_file("a.qzi", frame_bytes(3, 5, 4));
  ASSERT_TRUE(read_hm("a.hm"));
  ASSERT_TRUE(save_native_file_as(path("b.hm"), false));
  const std::string first = read_file("b.hm");
  EXPECT_NE(first.find("RESLICE 0 300 200 0.242536 0.000000 0.970143"), std::string::npos)
      << first;
  clear_data();
  ASSERT_TRUE(read_hm("b.hm"));
  ASSERT_TRUE(save_native_file_as(path("c.hm"), false));
  std::string second = read_file("c.hm");
  // Only the frame file's name differs.
  const size_t at = second.find("RES_BIN_IM_FILENAME c.qzi");
  ASSERT_NE(at, std::string::npos);
  second.replace(at, 25, "RES_BIN_IM_FILENAME b.qzi");
  EXPECT_EQ(second, first);

  ASSERT_TRUE(write_settings_file(path("s1.ini"), 0xffff));
  clear_data();
  ASSERT_TRUE(read_settings_file(path("s1.ini")));
  ASSERT_TRUE(write_settings_file(path("s2.ini"), 0xffff));
  EXPECT_EQ(read_file("s2.ini"), read_file("s1.ini"));
}

#ifdef NV_TOOL_PATH
TEST_F(file_save_test, ToolRefusesAnEmptyNameAndReportsALongerFrameFile) {
  load_recording_and_old_pair();
  const std::string tool = NV_TOOL_PATH;
  auto run = [&](const std::string& args) {
    const std::string cmd = "cd '" + dir_.string() + "' && '" + tool + "' roundtrip " + args +
                            " 2>'" + spath("err.txt") + "'";
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  };
  std::filesystem::remove(dir_ / "a.qzi");
  std::filesystem::remove(dir_ / "a.hm");
  const std::vector<std::string> before = files();
  EXPECT_EQ(run("out.hm ''"), 1);
  EXPECT_NE(read_file("err.txt").find("names no file"), std::string::npos) << read_file("err.txt");
  std::filesystem::remove(dir_ / "err.txt");
  EXPECT_EQ(files(), before);

  write_file("out.qzi", frame_bytes(3, 5, 4));  // the old data file announces 2 frames
  EXPECT_EQ(run("out.hm copy.hm"), 3);
  EXPECT_NE(read_file("err.txt").find("is longer than announced: it holds 60 bytes"),
            std::string::npos)
      << read_file("err.txt");
  EXPECT_FALSE(exists("copy.hm"));
}
#endif

}  // namespace
