#include "settings/material_files.h"

#include <algorithm>
#include <string>

#include <wx/dir.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/mstream.h>

#include "data/file_menu.h"
#include "data/file_save.h"
#include "data/native_text.h"
#include "registry/hm_resource.h"
#include "registry/resource_table.h"

namespace {

// Far beyond four resource lines: a larger file is not a material.
constexpr wxULongLong_t kMaxMaterialFileBytes = 1 << 20;

std::vector<wxString> ini_files(const wxString& folder) {
  std::vector<wxString> paths;
  if (!wxDirExists(folder)) return paths;
  wxDir dir(folder);
  if (!dir.IsOpened()) return paths;
  wxString name;
  for (bool more = dir.GetFirst(&name, L"*.ini", wxDIR_FILES); more; more = dir.GetNext(&name))
    paths.push_back(wxFileName(folder, name).GetFullPath());
  return paths;
}

}  // namespace

wxString materials_folder(const wxString& base) { return wxFileName(base, L"materials").GetFullPath(); }

std::vector<wxString> material_names(const wxString& exec_dir, const wxString& config_dir) {
  std::vector<wxString> defaults = ini_files(materials_folder(exec_dir));
  std::sort(defaults.begin(), defaults.end(),
            [](const wxString& a, const wxString& b) { return a.compare(b) < 0; });
  std::vector<wxString> names;
  for (const wxString& p : defaults) names.push_back(wxFileName(p).GetName());
  for (const wxString& p : ini_files(materials_folder(config_dir))) names.push_back(wxFileName(p).GetName());
  return names;
}

bool load_material(const wxString& name, const wxString& exec_dir, const wxString& config_dir) {
  const wxString file = name + L".ini";
  wxString path = wxFileName(materials_folder(exec_dir), file).GetFullPath();
  if (!wxFileExists(path)) {
    path = wxFileName(materials_folder(config_dir), file).GetFullPath();
    if (!wxFileExists(path)) {
      wxLogWarning(L"Material settings file '%s' not found.\n", path);
      return false;
    }
  }
  std::string bytes;
  const wxULongLong size = wxFileName::GetSize(path);
  if (size == wxInvalidSize || size.GetValue() > kMaxMaterialFileBytes || !read_whole_file(path, bytes)) {
    wxLogError(L"Error opening material settings file '%s' for reading in.\n", path);
    return false;
  }
  line_source lines(std::move(bytes));
  if (lines.binary()) {
    wxLogError(L"'%s' is not a material settings file: it holds binary data.\n", path);
    return false;
  }
  // A file without an anisotropy line gives none.
  resource_table->RES_MATERIAL_ANISOTROPY->write_no_changeprocs(0.0);
  base_res_t::hold_pending_writes(true);
  wxString line;
  while (lines.next(line)) {
    if (!base_res_t::parse_no_changeprocs(line, RES_CLASS_MATERIAL)) {
      wxLogError(L"Failed when reading '%s' from file '%s'", line, path);
      base_res_t::hold_pending_writes(false);
      base_res_t::cancel_pending_writes();
      return false;
    }
  }
  base_res_t::hold_pending_writes(false);
  return true;
}

wxString material_save_path(const wxString& chosen, const wxString& exec_dir, const wxString& config_dir) {
  wxFileName target(chosen);
  wxFileName folder = wxFileName::DirName(materials_folder(config_dir));
  folder.Normalize(wxPATH_NORM_DOTS | wxPATH_NORM_ABSOLUTE);
  wxFileName chosen_folder = wxFileName::DirName(target.GetPath());
  chosen_folder.Normalize(wxPATH_NORM_DOTS | wxPATH_NORM_ABSOLUTE);
  if (chosen_folder.GetFullPath() != folder.GetFullPath()) {
    wxLogWarning(L"Material files are kept in the folder '%s'.\nThe material was not saved.\n",
                 folder.GetFullPath());
    return wxEmptyString;
  }
  if (!target.GetFullName().Contains(L".")) target.SetFullName(target.GetFullName() + L".ini");
  if (target.GetExt() != L"ini" || target.GetName().empty()) {
    wxLogWarning(L"A material file's name must end in \".ini\".\nThe material was not saved.\n");
    return wxEmptyString;
  }
  const wxString path = wxFileName(folder.GetPath(), target.GetFullName()).GetFullPath();
  if (!wxFileExists(path) && wxFileExists(wxFileName(materials_folder(exec_dir), target.GetFullName()).GetFullPath())) {
    wxLogWarning(L"Can't use the same name for material file\nas one of the default files.\n");
    return wxEmptyString;
  }
  return path;
}

bool save_material(const wxString& path) {
  if (!can_write_file(path)) {
    wxLogError(L"Error opening material settings file for writing.\n");
    return false;
  }
  wxMemoryOutputStream out;
  if (!base_res_t::write_out_to_file(out, RES_CLASS_MATERIAL, -1)) {
    wxLogError(L"Error writing material settings file.\n");
    return false;
  }
  std::string data(out.GetLength(), '\0');
  if (!data.empty()) out.CopyTo(&data[0], data.size());
  wxString why;
  if (!save_file(path, data, &why)) {
    wxLogError(L"Error writing material settings file.\n%s\n", why);
    return false;
  }
  return true;
}
