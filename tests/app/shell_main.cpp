// Starts the application in this process with "dir=" a private folder and a
// 30-frame recording written beside it, runs the tests, then shuts down as
// the toolkit would.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>
#include <wx/init.h>

#include "app_test_main.h"
#include "data/data_io_ui.h"
#include "data/dynabuf.h"
#include "data/native_file.h"
#include "shell_support.h"
#include "tools/headless_session.h"

std::string g_shell_root, g_shell_cfg, g_shell_data;

namespace {

// The recording, written through the data model's own writer in a registry
// of its own, before the program's registry exists.
bool write_recording(const wxString& path) {
  console_data_io_ui ui;
  data_ui_scope scope(ui);
  headless_session session;
  resource_table_t& t = *resource_table;
  const int32_t width = 8, height = 6;
  uint64_t stamp = 1234567;
  for (int32_t f = 0; f < SHELL_FRAMES; ++f) {
    auto* pixels = new uint8_t[width * height];
    for (int32_t k = 0; k < width * height; ++k) pixels[k] = static_cast<uint8_t>(f * 7 + k);
    frame_store->add_image(frame_image_t::create(pixels, width * height));
    position_t p;
    p.z = 0.1f * f;
    frame_store->positions.push_back(position_holder_t::create(p));
    frame_store->timestamps.push_back(stamp);
    stamp += static_cast<uint64_t>(shell_interval_ms(f)) * 10000;  // 100 ns units
  }
  t.RES_BUF_WIDTH->write(width);
  t.RES_BUF_HEIGHT->write(height);
  t.RES_FRAME_SIZE->write(width * height);
  t.RES_BUF_FRAMES->write(SHELL_FRAMES);
  return save_native_file_as(path, false);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  g_shell_root = make_app_test_root("nv_app_shell_", {"home", "data"});
  g_shell_cfg = g_shell_root + "/cfg";
  g_shell_data = g_shell_root + "/data/played.hm";
  {
    wxInitializer base;
    if (!write_recording(wxString::FromUTF8(g_shell_data))) {
      std::fprintf(stderr, "cannot write the recording\n");
      return 1;
    }
  }
  return run_app_tests(argv[0], g_shell_root, new recording_app);
}
