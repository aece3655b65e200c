// "Load results to current", "Save results for current" and the normal-blur
// command: the file dialog, or a script's results name, around the commands
// of the thickness library.
#include <wx/filedlg.h>
#include <wx/filefn.h>

#include "app/main_frame.h"
#include "data/objects.h"
#include "registry/resource_table.h"
#include "surfaces/surface_interp.h"
#include "thickness/thickness_results.h"

namespace {

const wchar_t* const kResultsWildcard = L"Binary points file|*.bin|Surface file|*.wrl|All files|*.*";

}  // namespace

void MainFrame::run_thickness_results(wxCommandEvent& event, int command) {
  resource_table_t& t = *resource_table;
  const auto c = thickness_result_command(command);
  const bool in_script = t.RES_IN_SCRIPT->read();
  if (in_script) OnTaskThickness(event);
  const long s = t.RES_THICKNESS_SURF->read();
  surface_interp* surface = thickness_result_surface(s);
  if (!surface) return;
  if (c == thickness_result_command::save && !surface->has_thickness()) return;

  wxFileName name;
  if (in_script) {
    if (!thickness_script_file_name(c, s, name)) return;
  } else {
    wxString object;
    if (const contour_object* objects = t.RES_OBJECT->read()) object = objects[s].name;
    const bool load = c == thickness_result_command::load;
    wxFileDialog dialog(this, (load ? "Load data for " : "Save data for ") + object,
                        t.RES_ASCII_FILENAME->read().GetPath(wxPATH_GET_VOLUME), wxEmptyString,
                        kResultsWildcard, load ? wxFD_OPEN : wxFD_SAVE, wxDefaultPosition,
                        wxDefaultSize, "filedlg");
    if (dialog.ShowModal() != wxID_OK) return;
    const wxString path = dialog.GetPath();
    if (load && !wxFileExists(path) && !wxDirExists(path)) return;
    name = wxFileName(path);
  }
  run_thickness_result(c, s, name);
}

void MainFrame::OnThicknessSurfLoad(wxCommandEvent& event) {
  run_thickness_results(event, int(thickness_result_command::load));
}

void MainFrame::OnThicknessSurfSave(wxCommandEvent& event) {
  run_thickness_results(event, int(thickness_result_command::save));
}

void MainFrame::OnThicknessSurfSaveNormBlur(wxCommandEvent& event) {
  run_thickness_results(event, int(thickness_result_command::normal_blur));
}
