#include "visual/surface_recolour.h"

#include <bitset>

#include <wx/app.h>

#include "registry/resource_table.h"

namespace {

constexpr int32_t kObjects = resource_table_t::kSurfaceCount;

struct recolour_marks {
  std::bitset<kObjects> marked;
  bool clear_queued = false;
};

recolour_marks& marks() {
  static recolour_marks shared;
  return shared;
}

}  // namespace

void mark_surface_recoloured(int32_t object) {
  if (object < 0 || object >= kObjects) return;
  recolour_marks& m = marks();
  m.marked.set(static_cast<size_t>(object));
  // The write's flush and every procedure it queues run before the event
  // that asked for the colours returns; the marks go once it has.
  if (!m.clear_queued && wxTheApp) {
    m.clear_queued = true;
    wxTheApp->CallAfter([] {
      marks().marked.reset();
      marks().clear_queued = false;
    });
  }
}

bool surface_only_recoloured(int32_t object) {
  if (object < 0 || object >= kObjects) return false;
  return marks().marked.test(static_cast<size_t>(object));
}

bool surfaces_replaced(int32_t count) {
  if (!resource_table) return false;
  for (int32_t k = 0; k < count && k < kObjects; ++k)
    if (resource_table->RES_SURFACE[k]->changed_in_flush() && !surface_only_recoloured(k)) return true;
  return false;
}
