#include "tasks/derived_surfaces.h"

#include <vector>

#include "data/file_menu_ui.h"
#include "data/objects.h"
#include "registry/resource_table.h"
#include "surfaces/surface_interp.h"

namespace {

void delete_derived(int32_t j) {
  resource_table_t& t = *resource_table;
  contour_object& object = t.RES_OBJECT->read()[j];
  if (!object.frames.empty()) object.reset();
  t.OBJECT->write_no_changeprocs();
  surface_interp* s = t.RES_SURFACE[j]->read();
  t.RES_SURFACE[j]->write_no_changeprocs(nullptr);
  t.CONT->write();
  // Freed only now: until the commit the views still held it.
  delete s;
}

}  // namespace

bool check_derived_surfaces(int object, const derived_surface_question& ask) {
  resource_table_t& t = *resource_table;
  std::vector<int32_t> derived;
  for (int32_t j = 0; j < NUM_USER_OBJECTS; ++j)
    if (surface_interp* s = t.RES_SURFACE[j]->read())
      if (s->get_source_object() >= 0) derived.push_back(j);

  const contour_object* objects = t.RES_OBJECT->read();
  const wxString caption = L"Cortical Surface Found";
  for (int32_t j : derived) {
    surface_interp* s = t.RES_SURFACE[j]->read();
    if (!s) continue;  // gone with an earlier deletion
    const int32_t source = s->get_source_object();
    if (object == DERIVED_ORPHANS) {
      const bool source_alive = source < NUM_USER_OBJECTS && t.RES_SURFACE[source]->read();
      if (!source_alive) delete_derived(j);
      continue;
    }
    wxString question;
    if (object == DERIVED_OF_ALL) {
      question = wxString::Format(
          L" Updating all surfaces will delete the derived cortical surface '%s'.\n Are you sure "
          L"that you want to do this?",
          objects[j].name);
    } else if (object >= 0 && object < NUM_USER_OBJECTS && source == object) {
      question = wxString::Format(
          L" Updating or deleting '%s' will delete the derived cortical surface '%s'.\n Are you "
          L"sure that you want to do this?",
          objects[object].name, objects[j].name);
    } else {
      continue;
    }
    if (!ask(caption, question)) return true;
    delete_derived(j);
  }
  return false;
}

bool check_derived_surfaces(int object) {
  return check_derived_surfaces(object, [](const wxString& caption, const wxString& text) {
    if (resource_table->RES_IN_SCRIPT->read()) return true;
    return current_file_menu_ui().ask_ok_cancel(caption, text);
  });
}
