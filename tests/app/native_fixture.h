// Writes a small native data file with its frame file, through the data
// model's own writer in a registry of its own; call it while no other
// registry exists.
#pragma once

#include <cstdint>

#include <wx/string.h>

#include "data/data_io_ui.h"
#include "data/dynabuf.h"
#include "data/native_file.h"
#include "tools/headless_session.h"

inline bool write_native_fixture(const wxString& path, int32_t frames, int32_t width, int32_t height) {
  console_data_io_ui ui;
  data_ui_scope scope(ui);
  headless_session session;
  resource_table_t& t = *resource_table;
  for (int32_t f = 0; f < frames; ++f) {
    auto* pixels = new uint8_t[width * height];
    for (int32_t k = 0; k < width * height; ++k) pixels[k] = static_cast<uint8_t>(f * 40 + k);
    frame_store->add_image(frame_image_t::create(pixels, width * height));
    position_t p;
    p.z = 0.1f * f;
    frame_store->positions.push_back(position_holder_t::create(p));
    frame_store->timestamps.push_back(static_cast<uint64_t>(f) * 400000);
  }
  t.RES_BUF_WIDTH->write(width);
  t.RES_BUF_HEIGHT->write(height);
  t.RES_FRAME_SIZE->write(width * height);
  t.RES_BUF_FRAMES->write(frames);
  return save_native_file_as(path, false);
}
