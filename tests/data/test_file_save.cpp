// Saving through the one save helper: a data file and its frame file are
// both new or both old after a failure at any step, permissions are kept,
// read-only files are respected, an image export is all or nothing, and a
// file the program wrote comes back byte for byte from open and save.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
                      save_step::mode, save_step::keep_old, save_step::journal, save_step::rename,
                      save_step::sync_folder, save_step::drop_journal})
    EXPECT_NE(std::find(all.steps.begin(), all.steps.end(), s), all.steps.end())
        << save_step_name(s);
  EXPECT_EQ(std::count(all.steps.begin(), all.steps.end(), save_step::rename), 2);
  EXPECT_EQ(read_file("out.qzi"), frame_bytes(3, 5, 4));
  EXPECT_GT(k, 10);
}

// ---- a save stopped half-way -------------------------------------------------

// An older pair of the same size as the one saved: its frame file differs only
// in its bytes, so a mixed pair would open without complaint.
class interrupted_save_test : public file_save_test {
 protected:
  void SetUp() override {
    file_save_test::SetUp();
    write_file("a.hm", std::string(kHeader3) + "RES_BIN_IM_FILENAME a.qzi\n" + kRecords3);
    write_file("a.qzi", frame_bytes(3, 5, 4));
    ASSERT_TRUE(read_hm("a.hm"));
    old_hm_ = std::string(kHeader3) + "RES_BIN_IM_FILENAME out.qzi\nIM 7 0 0 0 0 0 0\n"
              "IM 8 0 0 0.1 0 0 0\nIM 9 0 0 0.2 0 0 0\n";
    old_qzi_ = std::string(60, '\x7f');
    new_qzi_ = frame_bytes(3, 5, 4);
    ASSERT_EQ(old_qzi_.size(), new_qzi_.size());
    ASSERT_NE(old_qzi_, new_qzi_);
  }
  // The old pair, with nothing left of an earlier stopped save beside it.
  void put_old_pair() {
    for (const std::string& n : files())
      if (n[0] == '.') std::filesystem::remove(dir_ / n);
    write_file("out.hm", old_hm_);
    write_file("out.qzi", old_qzi_);
  }
  bool new_pair() { return read_file("out.qzi") == new_qzi_ && read_file("out.hm") != old_hm_; }
  bool journal_present() { return exists(".out.hm.journal"); }
  // Files of the folder other than the temporaries a stopped save leaves.
  std::vector<std::string> visible_files() {
    std::vector<std::string> names;
    for (const std::string& n : files())
      if (n[0] != '.') names.push_back(n);
    return names;
  }

  // What a reopen of the pair finds after a save stopped at some step: with
  // the journal there, the old pair back and one line saying so; without it,
  // a pair that is wholly old or wholly new and opens without a word.
  void check_reopen(const std::string& when, bool& saw_journal, bool& saw_mixed) {
    SCOPED_TRACE(when);
    const bool journal = journal_present();
    const bool mixed = read_file("out.qzi") == new_qzi_ && read_file("out.hm") == old_hm_;
    saw_journal = saw_journal || journal;
    saw_mixed = saw_mixed || mixed;
    if (!journal) {
      EXPECT_TRUE(new_pair() || old_pair()) << "a mixed pair without a journal";
    }
    const bool was_new = !journal && new_pair();
    log_.clear();
    clear_data();
    ASSERT_TRUE(read_hm("out.hm"));
    const std::string note = "A save of \"" + spath("out.hm") + "\" was interrupted; the files as they "
                             "were before it are back.";
    if (journal) {
      EXPECT_TRUE(old_pair());
      EXPECT_EQ(log_.count(wxLOG_Warning), 1);
      EXPECT_TRUE(log_.has(wxLOG_Warning, note));
      EXPECT_EQ(frame_store->images.size(), 3u);
      EXPECT_EQ(frame_pixels(0), std::string(20, '\x7f'));
      // Nothing of that save is left beside the pair.
      for (const std::string& n : files()) EXPECT_EQ(n.rfind(".out.", 0), std::string::npos) << n;
    } else {
      EXPECT_FALSE(log_.has_text("interrupted"));
      EXPECT_EQ(was_new, new_pair());
    }
    EXPECT_EQ(visible_files(), (std::vector<std::string>{"a.hm", "a.qzi", "out.hm", "out.qzi"}));
    clear_data();
    ASSERT_TRUE(read_hm("a.hm"));
  }
  bool old_pair() { return read_file("out.hm") == old_hm_ && read_file("out.qzi") == old_qzi_; }

  std::string new_qzi_;
};

// Stopped by the save helper's hook at every step, as a kill would stop it.
TEST_F(interrupted_save_test, AStopAtAnyStepReopensAsTheOldOrTheNewPair) {
  bool saw_journal = false, saw_mixed = false;
  for (int k = 0;; ++k) {
    put_old_pair();
    bool done;
    std::string step;
    {
      fault_counter faults(k, save_fault::stop);
      save_native_file_as(path("out.hm"), false);
      done = !faults.fired();
      if (!done) step = save_step_name(faults.steps[static_cast<size_t>(k)]);
    }
    if (done) {
      EXPECT_TRUE(new_pair());
      EXPECT_FALSE(journal_present());
      break;
    }
    check_reopen("stopped at step " + std::to_string(k) + " (" + step + ")", saw_journal, saw_mixed);
  }
  EXPECT_TRUE(saw_journal);
  EXPECT_TRUE(saw_mixed);
}

// A child process that saves is killed at every step; the parent reopens the
// pair, and its next save into the folder removes what the child left.
TEST_F(interrupted_save_test, AKilledSaveIsUndoneAndItsTemporariesRemoved) {
  int steps = 0;
  {
    fault_counter count(-1, save_fault::none);
    put_old_pair();
    ASSERT_TRUE(save_native_file_as(path("out.hm"), false));
    steps = static_cast<int>(count.steps.size());
  }
  ASSERT_GT(steps, 10);
  bool saw_journal = false, saw_mixed = false;
  for (int k = 0; k < steps; ++k) {
    put_old_pair();
    std::fflush(nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int seen = 0;
      set_save_fault_hook([&](save_step, const wxString&) {
        if (seen++ == k) ::raise(SIGKILL);
        return save_fault::none;
      });
      save_native_file_as(path("out.hm"), false);
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "step " << k;
    check_reopen("killed at step " + std::to_string(k), saw_journal, saw_mixed);

    // The next save into the folder clears the dead child's temporaries.
    ASSERT_TRUE(save_native_file_as(path("other.hm"), false));
    EXPECT_EQ(files(), (std::vector<std::string>{"a.hm", "a.qzi", "other.hm", "other.qzi", "out.hm",
                                                 "out.qzi"}));
    std::filesystem::remove(dir_ / "other.hm");
    std::filesystem::remove(dir_ / "other.qzi");
  }
  EXPECT_TRUE(saw_journal);
  EXPECT_TRUE(saw_mixed);
}

// Saving over a pair whose save was stopped between its renames puts the old
// pair back first, says so, and then saves.
TEST_F(interrupted_save_test, SavingOverAnInterruptedPairUndoesItFirst) {
  put_old_pair();
  {
    int renames = 0;
    set_save_fault_hook([&](save_step s, const wxString&) {
      return s == save_step::rename && ++renames == 2 ? save_fault::stop : save_fault::none;
    });
    save_native_file_as(path("out.hm"), false);
    set_save_fault_hook(nullptr);
  }
  ASSERT_TRUE(journal_present());
  ASSERT_EQ(read_file("out.qzi"), new_qzi_);
  ASSERT_EQ(read_file("out.hm"), old_hm_);
  log_.clear();
  ASSERT_TRUE(save_native_file_as(path("out.hm"), false));
  EXPECT_TRUE(log_.has(wxLOG_Warning, "A save of \"" + spath("out.hm") + "\" was interrupted"));
  EXPECT_TRUE(new_pair());
  EXPECT_FALSE(journal_present());
}

// A journal that is not one this program wrote changes nothing: it may only
// name the temporaries of the files beside it.
TEST_F(interrupted_save_test, AForeignJournalTouchesNoOtherFile) {
  put_old_pair();
  write_file("keep.txt", "precious");
  const std::vector<std::string> bad = {
      "norvelith save journal 1\nout.hm/keep.txt/.out.hm.1-0.new/1\nend\n",  // kept not ours
      "norvelith save journal 1\nout.hm//../keep.txt/1\nend\n",
      "norvelith save journal 1\nout.hm//.out.hm.1-0.new/1\n",  // no end
      "something else\n"};
  for (const std::string& text : bad) {
    SCOPED_TRACE(text);
    write_file(".out.hm.journal", text);
    log_.clear();
    clear_data();
    EXPECT_TRUE(read_hm("out.hm"));
    EXPECT_TRUE(log_.has(wxLOG_Warning, "cannot be read: the files were left as they are"));
    EXPECT_TRUE(old_pair());
    EXPECT_EQ(read_file("keep.txt"), "precious");
  }
}

// A save removes the temporaries of this program's naming whose maker no
// longer runs. Those of live makers, those a journal needs and names of other
// shapes stay.
TEST_F(file_save_test, ASaveRemovesOnlyStaleTemporariesOfItsOwnNaming) {
  auto child = [](bool linger) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      while (linger) ::pause();
      ::_exit(0);
    }
    return pid;
  };
  const pid_t gone = child(false);
  ASSERT_GT(gone, 0);
  ::waitpid(gone, nullptr, 0);
  const pid_t early = child(true);  // started before the files below
  ASSERT_GT(early, 0);
  const std::string me = std::to_string(::getpid()), dead = std::to_string(gone),
                    live = std::to_string(early);
  const std::vector<std::string> kept = {
      ".x.hm." + me + "-5.new",   ".x.hm." + live + "-0.new", ".x.hm." + dead + "-1.old",
      ".x.hm.journal",            ".x.hm.abc-1.new",          "x.hm." + dead + "-0.new",
      ".x.hm." + dead + "-2.tmp"};
  const std::vector<std::string> removed = {".x.hm." + dead + "-0.old", ".y.qzi." + dead + "-7.new"};
  for (const std::string& n : kept) write_file(n, "kept");
  for (const std::string& n : removed) write_file(n, "stale");
  write_file(".x.hm.journal", "norvelith save journal 1\nx.hm/.x.hm." + dead + "-1.old/.x.hm." + dead +
                                  "-1.new/5\nend\n");
  ASSERT_TRUE(save_file(path("s.txt"), "text"));
  for (const std::string& n : kept) EXPECT_TRUE(exists(n)) << n;
  for (const std::string& n : removed) EXPECT_FALSE(exists(n)) << n;
  ::kill(early, SIGKILL);
  ::waitpid(early, nullptr, 0);
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

// Past the file-size limit the tool's write fails and is reported; the
// system's signal does not end it.
TEST_F(file_save_test, ToolReportsAWritePastTheFileSizeLimit) {
  write_file("big.hm", "RES_BUF_FRAMES 3\nRES_BUF_WIDTH 100\nRES_BUF_HEIGHT 100\nRES_POS_REC true\n"
                       "RES_END_HEADER\nRES_BIN_IM_FILENAME big.qzi\n" + std::string(kRecords3));
  write_file("big.qzi", frame_bytes(3, 100, 100));
  const std::string cmd = "cd '" + dir_.string() + "' && ulimit -f 16 && exec '" +
                          std::string(NV_TOOL_PATH) + "' roundtrip big.hm copy.hm 2>err.txt";
  const int rc = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(rc));
  EXPECT_EQ(WEXITSTATUS(rc), 1) << read_file("err.txt");
  EXPECT_NE(read_file("err.txt").find("File too large"), std::string::npos) << read_file("err.txt");
  std::filesystem::remove(dir_ / "err.txt");
  EXPECT_EQ(files(), (std::vector<std::string>{"big.hm", "big.qzi"}));
}
#endif

}  // namespace
