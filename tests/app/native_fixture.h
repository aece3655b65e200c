// Writes a small native data file with its frame file, through the data
// model's own writer in a registry of its own; call it while no other
// registry exists. Frame f holds recording_frame(f, width, height) and is
// stamped interval_ms(0) + ... + interval_ms(f - 1) after the first.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

#include <wx/string.h>

#include "common/recording_files.h"
#include "data/data_io_ui.h"
#include "data/dynabuf.h"
#include "data/native_file.h"
#include "tools/headless_session.h"

inline bool write_native_fixture(const wxString& path, int32_t frames, int32_t width, int32_t height,
                                 const std::function<int(int)>& interval_ms = [](int) { return 40; }) {
  console_data_io_ui ui;
  data_ui_scope scope(ui);
  headless_session session;
  resource_table_t& t = *resource_table;
  uint64_t stamp = 1234567;
  for (int32_t f = 0; f < frames; ++f) {
    const std::string bytes = recording_frame(f, width, height);
    auto* pixels = new uint8_t[bytes.size()];
    std::memcpy(pixels, bytes.data(), bytes.size());
    frame_store->add_image(frame_image_t::create(pixels, width * height));
    position_t p;
    p.z = 0.1f * f;
    frame_store->positions.push_back(position_holder_t::create(p));
    frame_store->timestamps.push_back(stamp);
    stamp += static_cast<uint64_t>(interval_ms(f)) * 10000;  // 100 ns units
  }
  t.RES_BUF_WIDTH->write(width);
  t.RES_BUF_HEIGHT->write(height);
  t.RES_FRAME_SIZE->write(width * height);
  t.RES_BUF_FRAMES->write(frames);
  return save_native_file_as(path, false);
}
