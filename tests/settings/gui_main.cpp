// Starts the application in this process with "dir=" a private folder and a
// small recording with comment lines beside it, runs the tests, then shuts
// down as the toolkit would.
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "app/app_test_main.h"
#include "app/main_frame.h"
#include "app/norvelith.h"
#include "common/recording_files.h"
#include "data/file_menu.h"
#include "registry/resource_table.h"
#include "settings_gui_support.h"

std::string g_settings_root;

std::string settings_recording() { return g_settings_root + "/data/notes.hm"; }

bool open_data(const std::string& path) {
  close_data();
  return main_frame->try_read_halmondo_file(wxString::FromUTF8(path));
}

void close_data() {
  if (resource_table->RES_BUF_FRAMES->read() == 0) return;
  scripted_dialogs dialogs;
  file_menu_ui_scope scope(dialogs);
  file_close(main_frame->default_name_counter);
  pump_events(3);
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  g_settings_root = make_app_test_root("nv_settings_", {"home", "data", "out"});
  const std::string stem = g_settings_root + "/data/notes";
  std::ofstream(stem + ".hm", std::ios::binary)
      << "RES_BUF_FRAMES 2\nRES_BUF_WIDTH 8\nRES_BUF_HEIGHT 6\nRES_POS_REC true\n"
         "# first note\n# second, longer note\n"
         "RES_END_HEADER\nRES_VERSION 7.27\nRES_BIN_IM_FILENAME notes.qzi\n"
         "IM 1000 0 0 0 0 0 0\nIM 1001 0 0 0.1 0 0 0\n";
  std::ofstream(stem + ".qzi", std::ios::binary) << frame_bytes(2, 8, 6);
  return run_app_tests(argv[0], g_settings_root, new MainWindow);
}
