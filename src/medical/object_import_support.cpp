#include "medical/object_import_support.h"

#include <algorithm>

#include "data/objects.h"
#include "data/surface_store.h"
#include "medical/dicom_utility.h"
#include "registry/resource_table.h"

bool import_progress::step(long index, long total, const wxString& message) {
  const long elapsed = watch_.Time();
  if (!shown_) {
    const long delay = dicom_utility::import_progress_delay_ms;
    if ((delay > 0 && elapsed <= delay) || index * 4 >= total) return true;
    shown_ = current_data_ui().start_progress(
        title_, message, int(std::min<long>(total, 0x7FFFFFFF)),
        data_io_ui::PROGRESS_MODAL | data_io_ui::PROGRESS_TIMES | data_io_ui::PROGRESS_CANCEL);
  } else if (elapsed <= dicom_utility::import_progress_interval_ms) {
    return true;
  }
  if (!shown_) return true;
  shown_->update(int(std::min<long>(index, 0x7FFFFFFF)), message);
  if (shown_->cancelled()) return false;
  watch_.Start();
  return true;
}

void import_commit::drop_surface(int32_t object) {
  if (!resource_table || object < 0 || object >= resource_table_t::kSurfaceCount) return;
  genflag_res_t<surface_interp*>* res = resource_table->RES_SURFACE[object];
  surface_interp* s = res->pending();
  if (!s) return;
  if (std::find(dropped_.begin(), dropped_.end(), s) == dropped_.end()) dropped_.push_back(s);
  res->write_no_changeprocs(nullptr);
}

void import_commit::commit() {
  if (!resource_table) return;
  resource_table->OBJECT->write_no_changeprocs();
  resource_table->CONT->write_no_changeprocs();
  base_res_t::make_pending_writes_happen();
  for (surface_interp* s : dropped_) delete_surface(s);
  dropped_.clear();
}

wxString overwrite_lines(int32_t first, const std::vector<wxString>& names) {
  wxString text;
  contour_object* objects = resource_table ? resource_table->RES_OBJECT->read() : nullptr;
  if (!objects) return text;
  for (size_t i = 0; i < names.size(); ++i) {
    const int64_t o = int64_t(first) + int64_t(i);
    if (o < 0 || o >= NUM_USER_OBJECTS || objects[o].empty()) continue;
    text << wxString::Format("  `%s' will be replaced with `%s'\n", objects[o].name, names[i]);
  }
  return text;
}
