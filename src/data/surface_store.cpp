#include "data/surface_store.h"

namespace {
surface_deleter_fn deleter = nullptr;
}  // namespace

void set_surface_deleter(surface_deleter_fn fn) { deleter = fn; }

void delete_surface(surface_interp* surface) {
  if (surface && deleter) deleter(surface);
}
