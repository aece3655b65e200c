// The configuration file: a damaged file loads its valid entries, warns once
// about the rest and loses them at the next write; writes go through the save
// helper and leave the old file whole when they fail.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "common/log_capture.h"
#include "data/config_file.h"
#include "data/file_save.h"

namespace {

class config_file_test : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    dir_ = std::filesystem::temp_directory_path() /
           ("nv_config_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
    std::filesystem::create_directories(dir_);
    path_ = wxString((dir_ / "norvelith.ini").string());
  }
  void TearDown() override {
    set_save_fault_hook(nullptr);
    std::filesystem::remove_all(dir_);
  }
  void write(const std::string& bytes) {
    std::ofstream f(path_.ToStdString(), std::ios::binary);
    f << bytes;
  }
  std::string read() const {
    std::ifstream f(path_.ToStdString(), std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  std::filesystem::path dir_;
  wxString path_;
};

TEST_F(config_file_test, ADamagedFileKeepsItsSettingsWarnsOnceAndIsCleanedOnTheNextWrite) {
  write("\xEF\xBB\xBF"
        "RES_SHADER=1\r\n"                // 1
        "garbage without equals\n"        // 2
        "RES_ICON_SIZE=2\n"               // 3
        "RES_SHADER=3\n"                  // 4: a key seen before
        "=no key\n"                       // 5
        "RES BACKGROUND=#000000\n"        // 6: a blank in the key
        "\n"                              // 7
        "RES_BACKGROUND = #102030 \n"     // 8
        "RES_TEXT=\xC3\x28\n"             // 9: not UTF-8
        "[Group]\n"                       // 10
        "RES_IN_GROUP=1\n"                // 11
        );
  log_capture log;
  std::unique_ptr<wxFileConfig> config = load_config_file(path_);
  ASSERT_EQ(log.count(wxLOG_Warning), 1);
  EXPECT_EQ(log.records().size(), 1u);
  EXPECT_TRUE(log.has(wxLOG_Warning,
                      "line 2 is not a setting, line 4 repeats RES_SHADER of line 1, line 5 is not "
                      "a setting, line 6 is not a setting, line 9 is not UTF-8 text, and 2 more"));
  EXPECT_EQ(config->GetNumberOfEntries(), 3u);
  EXPECT_EQ(config->GetNumberOfGroups(), 0u);
  EXPECT_EQ(config->Read("RES_SHADER", ""), "1");
  EXPECT_EQ(config->Read("RES_ICON_SIZE", ""), "2");
  EXPECT_EQ(config->Read("RES_BACKGROUND", ""), "#102030");

  ASSERT_TRUE(save_config_file(*config, path_));
  EXPECT_EQ(read(), "RES_SHADER=1\nRES_ICON_SIZE=2\nRES_BACKGROUND=#102030\n");
  log.clear();
  config = load_config_file(path_);
  EXPECT_EQ(log.records().size(), 0u);
  EXPECT_EQ(config->GetNumberOfEntries(), 3u);
}

// A line longer than any setting needs is skipped, however long, and the
// lines around it are read.
TEST_F(config_file_test, OverLongLinesAreSkippedWithTheWarning) {
  const std::string exact = "RES_BACKGROUND=" + std::string(kConfigLineLimit - 15, 'a');
  ASSERT_EQ(exact.size(), kConfigLineLimit);
  write("RES_SHADER=1\nRES_HUGE=" + std::string(size_t(20) << 20, '7') + "\n" + exact +
        "\nRES_ICON_SIZE=0\nRES_LAST=" + std::string(kConfigLineLimit, 'b'));
  log_capture log;
  std::unique_ptr<wxFileConfig> config = load_config_file(path_);
  EXPECT_TRUE(log.has(wxLOG_Warning, "line 2 is longer than 1024 characters, line 5 is longer than "
                                     "1024 characters)"));
  EXPECT_EQ(config->GetNumberOfEntries(), 3u);
  EXPECT_EQ(config->Read("RES_SHADER", ""), "1");
  EXPECT_EQ(config->Read("RES_BACKGROUND", "").length(), kConfigLineLimit - 15);
  EXPECT_EQ(config->Read("RES_ICON_SIZE", ""), "0");
}

TEST_F(config_file_test, AMissingFileGivesNoEntriesAndNoWarning) {
  log_capture log;
  std::unique_ptr<wxFileConfig> config = load_config_file(path_);
  EXPECT_EQ(config->GetNumberOfEntries(), 0u);
  EXPECT_EQ(log.records().size(), 0u);
  config->Write("RES_SHADER", 2L);
  ASSERT_TRUE(save_config_file(*config, path_));
  EXPECT_EQ(read(), "RES_SHADER=2\n");
  // The toolkit writes nothing of its own when the object goes.
  std::filesystem::remove(dir_ / "norvelith.ini");
  config->Write("RES_SHADER", 3L);
  config.reset();
  EXPECT_FALSE(std::filesystem::exists(dir_ / "norvelith.ini"));
}

// Every write is a save of the whole file beside it: a failure at any step
// leaves the old file as it was, and an unchanged file is not written.
TEST_F(config_file_test, WritesGoThroughTheSaveHelper) {
  write("RES_SHADER=1\n");
  std::unique_ptr<wxFileConfig> config = load_config_file(path_);
  int steps = 0;
  set_save_fault_hook([&](save_step, const wxString&) {
    ++steps;
    return save_fault::none;
  });
  ASSERT_TRUE(save_config_file(*config, path_));
  EXPECT_EQ(steps, 0);

  config->Write("RES_SHADER", 0L);
  for (save_step failing : {save_step::create, save_step::flush, save_step::sync, save_step::rename}) {
    SCOPED_TRACE(save_step_name(failing));
    set_save_fault_hook([&](save_step s, const wxString&) {
      return s == failing ? save_fault::fail : save_fault::none;
    });
    wxString why;
    EXPECT_FALSE(save_config_file(*config, path_, &why));
    EXPECT_NE(why.find("norvelith.ini"), wxString::npos) << why;
    EXPECT_EQ(read(), "RES_SHADER=1\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
  }
  set_save_fault_hook(nullptr);
  ASSERT_TRUE(save_config_file(*config, path_));
  EXPECT_EQ(read(), "RES_SHADER=0\n");
}

}  // namespace
