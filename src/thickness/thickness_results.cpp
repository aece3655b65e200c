#include "thickness/thickness_results.h"

#include "data/data_io_ui.h"
#include "data/file_save.h"
#include "data/objects.h"
#include "registry/resource_table.h"
#include "surfaces/surface_interp.h"

namespace {

// What a script holds before it names its results.
const wxString kUnset = "INITIAL_STATE";

wxString script_text(wxString_res_t* r) {
  const wxString v = r ? r->read() : wxString();
  return v == kUnset ? wxString() : v;
}

}  // namespace

surface_interp* thickness_result_surface(long s) {
  if (s < 0 || s >= long(resource_table_t::kSurfaceCount)) return nullptr;
  return resource_table->RES_SURFACE[s]->read();
}

bool thickness_script_file_name(thickness_result_command c, long s, wxFileName& name) {
  resource_table_t& t = *resource_table;
  wxString surface;
  if (const contour_object* objects = t.RES_OBJECT->read())
    if (s >= 0 && s <= 200) surface = objects[s].name;
  surface.Trim(true);
  if (surface.empty()) {
    data_report(wxLOG_Error, c == thickness_result_command::load
                                 ? "Error in Script. No surface selected prior to load surface "
                                   "results. See log for details."
                                 : "Error in Script. No surface selected prior to save surface "
                                   "results. See log for details.");
    return false;
  }
  surface.Replace(" ", "_");
  surface = safe_file_name_part(surface, int(s));
  const wxString results = script_text(t.RES_SCRIPT_RESULTS_NAME);
  wxString part = results.empty() ? surface : results + "_" + surface;
  if (c == thickness_result_command::load) part += "_thick_dat";
  const wxString ext =
      c == thickness_result_command::load ? wxString("bin") : t.RES_ASCII_FILENAME->read().GetExt();
  name = wxFileName(script_text(t.RES_SCRIPT_RESULTS_DIR), part, ext);
  return true;
}

bool run_thickness_result(thickness_result_command c, long s, const wxFileName& name) {
  surface_interp* surface = thickness_result_surface(s);
  if (!surface) return false;
  switch (c) {
    case thickness_result_command::save:
      return surface->has_thickness() && surface->save_thickness(name, true);
    case thickness_result_command::normal_blur:
      return surface->save_normal_blur(name);
    case thickness_result_command::load:
      break;
  }
  resource_table_t& t = *resource_table;
  const bool loaded = surface->load_thickness(name);
  surface->select_display_data(int(t.RES_THICKNESS_DISP_MAP->read()), nullptr, nullptr, nullptr);
  t.RES_SURFACE[s]->write(surface);
  base_res_t::make_pending_writes_happen();
  return loaded;
}
