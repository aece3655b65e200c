// A resource table built on a configuration file of its own, for the tests of
// the table. Every test starts from an empty configuration unless it writes
// entries first through prepare_config().
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <unistd.h>

#include <wx/fileconf.h>
#include <wx/filefn.h>
#include <wx/init.h>
#include <wx/mstream.h>

#include "registry/resource_table.h"

class TableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    path_ = (std::filesystem::temp_directory_path() /
             ("nv-table-" + std::to_string(::getpid()) + "-" + std::to_string(++serial) + ".ini"))
                .string();
    if (wxFileExists(path_)) wxRemoveFile(path_);
    open_config();
    prepare_config();
    build();
  }

  void TearDown() override {
    delete table_;
    table_ = nullptr;
    close_config();
    if (wxFileExists(path_)) wxRemoveFile(path_);
  }

  // Entries a test wants in the configuration before the table reads it.
  virtual void prepare_config() {}

  void open_config() {
    app_config = new wxFileConfig(wxEmptyString, wxEmptyString, path_, wxEmptyString,
                                  wxCONFIG_USE_LOCAL_FILE);
  }
  void close_config() {
    delete app_config;
    app_config = nullptr;
  }
  void build() {
    table_ = new resource_table_t;
    resource_table = table_;
  }
  // Tears the table down and builds a new one on the same configuration file,
  // as the next run of the program would.
  void restart() {
    delete table_;
    app_config->Flush();
    close_config();
    open_config();
    build();
  }

  static std::string written(int32_t class_mask, int32_t group_mask) {
    wxMemoryOutputStream out;
    EXPECT_TRUE(base_res_t::write_out_to_file(out, class_mask, group_mask));
    std::string s(out.GetLength(), '\0');
    out.CopyTo(s.data(), s.size());
    return s;
  }

  resource_table_t& t() { return *table_; }

  wxInitializer toolkit_;  // the file configuration asks the toolkit for paths
  wxString path_;
  resource_table_t* table_ = nullptr;
};
