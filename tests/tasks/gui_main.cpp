// Starts the application in this process with "dir=" a private folder and a
// recording with contours on objects 0 to 6 written beside it, runs the
// tests, then shuts down as the toolkit would.
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>
#include <wx/init.h>

#include "app/app_test_main.h"
#include "app/main_frame.h"
#include "app/norvelith.h"
#include "common/recording_files.h"
#include "data/file_menu.h"
#include "tasks_gui_support.h"
#include "tools/headless_session.h"

std::string g_tasks_root, g_tasks_data;

namespace {

contour_t square(double cx, double cy, double side) {
  contour_t c;
  c.closed = true;
  const double h = side / 2;
  for (vec2_t v : {vec2_t{cx - h, cy - h}, vec2_t{cx + h, cy - h}, vec2_t{cx + h, cy + h},
                   vec2_t{cx - h, cy + h}})
    c.vertices.push_back(v);
  return c;
}

bool write_recording(const wxString& path) {
  console_data_io_ui ui;
  data_ui_scope scope(ui);
  headless_session session;
  resource_table_t& t = *resource_table;
  uint64_t stamp = 1234567;
  for (int f = 0; f < TASK_FRAMES; ++f) {
    const std::string bytes = recording_frame(f, TASK_WIDTH, TASK_HEIGHT);
    auto* pixels = new uint8_t[bytes.size()];
    std::memcpy(pixels, bytes.data(), bytes.size());
    frame_store->add_image(frame_image_t::create(pixels, TASK_WIDTH * TASK_HEIGHT));
    position_t p;
    p.z = 0.1f * f;
    frame_store->positions.push_back(position_holder_t::create(p));
    frame_store->timestamps.push_back(stamp);
    stamp += 400000;
  }
  contour_object* objects = t.RES_OBJECT->read();
  for (int k = 0; k < TASK_OBJECTS; ++k) {
    objects[k].name = wxString::Format(L"Part %d", k);
    for (int f = 2; f <= 7; ++f) objects[k].add_contour(f, square(20, 15, task_square_side(f)));
  }
  t.RES_BUF_WIDTH->write(TASK_WIDTH);
  t.RES_BUF_HEIGHT->write(TASK_HEIGHT);
  t.RES_FRAME_SIZE->write(TASK_WIDTH * TASK_HEIGHT);
  t.RES_XSCALE->write(TASK_SCALE);
  t.RES_YSCALE->write(TASK_SCALE);
  t.RES_POS_REC->write(true);
  t.RES_BUF_FRAMES->write(TASK_FRAMES);
  return save_native_file_as(path, false);
}

}  // namespace

bool open_task_recording() {
  if (resource_table->RES_BUF_FRAMES->read() > 0) return true;
  return main_frame->try_read_halmondo_file(wxString::FromUTF8(g_tasks_data));
}

void close_task_data() {
  if (resource_table->RES_BUF_FRAMES->read() == 0) return;
  scripted_dialogs dialogs;
  file_menu_ui_scope scope(dialogs);
  file_close(main_frame->default_name_counter);
  pump_events(3);
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  g_tasks_root = make_app_test_root("nv_tasks_", {"home", "data", "out"});
  g_tasks_data = g_tasks_root + "/data/parts.hm";
  {
    wxInitializer base;
    if (!write_recording(wxString::FromUTF8(g_tasks_data))) {
      std::fprintf(stderr, "cannot write the recording\n");
      return 1;
    }
  }
  return run_app_tests(argv[0], g_tasks_root, new MainWindow);
}
