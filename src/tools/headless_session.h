// The program's data state without its windows: the frame store and the
// resource table with the data file's line procedures, the objects' default
// names and colours and the built-in volume colour mapping, as start-up
// leaves them. For nv_tool, the tests and the benchmarks.
#pragma once

#include "data/data_io_ui.h"
#include "data/dynabuf.h"
#include "data/native_file.h"
#include "data/objects.h"
#include "registry/resource_table.h"

class headless_session {
 public:
  headless_session() {
    frame_store = new dynabuf;
    frame_store->reserve(500);
    resource_table = new resource_table_t;
    base_res_t::set_file_loading(true);
    contour_object::assign_default_names_and_colours(resource_table->RES_OBJECT->read(), -1);
    set_default_volume_rows(resource_table->RES_VOLUME->read());
    base_res_t::make_pending_writes_happen();
    base_res_t::set_file_loading(false);
    base_res_t::keep_all_user_values();
  }
  ~headless_session() {
    delete resource_table;
    resource_table = nullptr;
    delete frame_store;
    frame_store = nullptr;
  }
  headless_session(const headless_session&) = delete;
  headless_session& operator=(const headless_session&) = delete;
};
