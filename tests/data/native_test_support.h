// Shared set-up of the data file tests: a fresh registry and frame store per
// test, a private folder, a scripted user interface and recorded pages.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>
#include <wx/mstream.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/log_capture.h"
#include "common/recording_files.h"
#include "data/data_io_ui.h"
#include "data/data_line_procs.h"
#include "data/data_reset.h"
#include "data/medical_source.h"
#include "data/native_file.h"
#include "tools/headless_session.h"

// Answers questions from a list (No when it runs out) and records what the
// data-file code shows; messages go on to the toolkit's log.
class scripted_ui : public data_io_ui {
 public:
  std::deque<bool> answers;
  std::vector<wxString> questions;
  std::vector<wxString> progress_shown;  // "caption|message" of each progress started

  std::unique_ptr<data_progress> start_progress(const wxString& caption, const wxString& message,
                                                int, unsigned) override {
    progress_shown.push_back(caption + "|" + message);
    return std::make_unique<null_progress>();
  }
  bool ask_yes_no(const wxString&, const wxString& question) override {
    questions.push_back(question);
    if (answers.empty()) return false;
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
};

class recorded_pages : public data_set_pages {
 public:
  int landmark_lists = 0, curve_lists = 0, volume_resets = 0;
  int32_t slider_width = -1, slider_height = -1, frames_shown = -1;
  void update_landmark_list() override { ++landmark_lists; }
  void update_curve_list() override { ++curve_lists; }
  void reset_volume_properties(int index) override {
    if (index < 0) ++volume_resets;
  }
  void set_reslice_size_controls(int32_t w, int32_t h) override {
    slider_width = w;
    slider_height = h;
  }
  void show_frame_count(int32_t frames) override { frames_shown = frames; }
};

class native_test : public ::testing::Test {
 protected:
  native_test() : scope_(ui_) {}

  void SetUp() override {
    session_ = std::make_unique<headless_session>();
    static int serial = 0;
    dir_ = std::filesystem::temp_directory_path() /
           ("nv_native_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    set_data_set_pages(nullptr);
    set_medical_source(nullptr);
    set_frame_allocator(nullptr);
    session_.reset();
    std::filesystem::remove_all(dir_);
  }

  resource_table_t& t() { return *resource_table; }
  wxString path(const std::string& name) const { return wxString((dir_ / name).string()); }
  std::string spath(const std::string& name) const { return (dir_ / name).string(); }

  void write_file(const std::string& name, const std::string& bytes) {
    std::ofstream f(dir_ / name, std::ios::binary);
    f << bytes;
  }
  std::string read_file(const std::string& name) const {
    std::ifstream f(dir_ / name, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  bool exists(const std::string& name) const { return std::filesystem::exists(dir_ / name); }
  // Names of the files in the folder, sorted.
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  bool read_hm(const std::string& name) { return try_read_native_file(path(name)); }

  // Parses one line as a body line of a file whose header had a frame count.
  bool body_line(const wxString& line) {
    native_read_context ctx;
    ctx.path = wxFileName(path("x.hm"));
    ctx.header_lines.push_back(t().RES_BUF_FRAMES);
    ctx.header_done = true;
    native_read_scope scope(ctx);
    return base_res_t::parse_no_changeprocs(line, RES_CLASS_DATA_BODY);
  }

  // What a write procedure writes.
  static std::string written(bool (*proc)(wxOutputStream&)) {
    wxMemoryOutputStream out;
    EXPECT_TRUE(proc(out));
    std::string s(out.GetLength(), '\0');
    out.CopyTo(&s[0], s.size());
    return s;
  }

  contour_object& object(int k) { return t().RES_OBJECT->read()[k]; }
  landmarks& marks() { return *t().RES_LANDMARKS->read(); }

  scripted_ui ui_;
  data_ui_scope scope_;
  log_capture log_;
  std::unique_ptr<headless_session> session_;
  std::filesystem::path dir_;
};

