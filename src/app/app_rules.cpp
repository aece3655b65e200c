#include "app/app_rules.h"

#include <wx/dir.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/tokenzr.h>

const wchar_t* const NV_VERSION_TEXT = L"7.27";
const wchar_t* const NV_RELEASE_DATE_TEXT = L"22nd March 2024";

namespace {

const wchar_t* const kIniName = L"norvelith.ini";

wxString folder_of(const wxString& path) {
  wxFileName fn(path);
  fn.Normalize(wxPATH_NORM_DOTS | wxPATH_NORM_ABSOLUTE);
  return fn.GetPath();
}

wxString without_trailing_separator(wxString dir) {
  while (dir.length() > 1 && wxFileName::IsPathSeparator(dir.Last())) dir.RemoveLast();
  return dir;
}

}  // namespace

// ---------------------------------------------------------------- folders

wxString config_file_in(const wxString& config_dir) {
  return wxFileName(config_dir, kIniName).GetFullPath();
}

wxString config_location_t::ini_path() const { return config_file_in(config_dir); }

config_location_t choose_config_location(const std::vector<wxString>& words, const wxString& home,
                                         const wxString& xdg_config_home) {
  config_location_t where;
  where.data_base = without_trailing_separator(home);
  if (words.size() >= 2 && words[1].StartsWith(L"dir=")) {
    where.dir_option = true;
    where.data_base = without_trailing_separator(words[1].Mid(4));
    where.config_dir = where.data_base;
    return where;
  }
  wxFileName base;
  if (!xdg_config_home.empty() && wxFileName(xdg_config_home).IsAbsolute())
    base.AssignDir(xdg_config_home);
  else
    base.AssignDir(wxFileName(home, wxEmptyString).GetPath() + wxFILE_SEP_PATH + L".config");
  base.AppendDir(L"Norvelith");
  where.config_dir = without_trailing_separator(base.GetPath());
  where.old_ini = wxFileName(home, kIniName).GetFullPath();
  return where;
}

bool prepare_config_folder(const config_location_t& where, wxString* problem) {
  bool ok = true;
  auto note = [&](const wxString& text) {
    ok = false;
    if (problem) *problem += text + L"\n";
  };
  // A "dir=" folder the user named is made when missing, nothing inside it.
  if (!wxDirExists(where.config_dir) &&
      !wxFileName::Mkdir(where.config_dir, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL))
    note(L"Cannot create the configuration folder " + where.config_dir);
  if (where.dir_option) return ok;

  for (const wchar_t* sub : {L"volumes", L"materials"}) {
    wxString dir = wxFileName(where.config_dir, sub).GetFullPath();
    if (!wxDirExists(dir) && !wxFileName::Mkdir(dir, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL))
      note(L"Cannot create the folder " + dir);
  }
  // An older configuration is moved in only where it cannot replace a newer one.
  const wxString target = where.ini_path();
  if (!where.old_ini.empty() && wxFileExists(where.old_ini) && !wxFileExists(target) &&
      !wxRenameFile(where.old_ini, target, false))
    note(L"Cannot move " + where.old_ini + L" to " + target);
  return ok;
}

wxString default_data_folder(const config_location_t& where, const file_exists_fn& dir_exists) {
  if (where.dir_option) return where.data_base;
  wxString documents = wxFileName(where.data_base, L"Documents").GetFullPath();
  return dir_exists(documents) ? documents : where.data_base;
}

default_names_t first_free_data_names(const wxString& folder, const wxString& stub, int32_t first,
                                      const file_exists_fn& file_exists) {
  default_names_t names;
  for (int32_t n = first < 1 ? 1 : first;; ++n) {
    names.number = n;
    names.native = wxFileName(folder, wxString::Format(L"%s_%i.hm", stub, n)).GetFullPath();
    names.frames = wxFileName(folder, wxString::Format(L"%s_%i.qzi", stub, n)).GetFullPath();
    if (!file_exists(names.native) && !file_exists(names.frames)) return names;
  }
}

wxString exec_dir_from(const wxString& program, const wxString& cwd, const wxString& path_env,
                       const file_exists_fn& file_exists) {
  if (program.empty()) return wxEmptyString;
  if (wxFileName(program).IsAbsolute()) return folder_of(program);
  auto joined = [&](const wxString& dir) {
    wxString path = dir;
    if (path.empty() || !wxFileName::IsPathSeparator(path.Last())) path += wxFILE_SEP_PATH;
    wxFileName fn(path + program);
    fn.Normalize(wxPATH_NORM_DOTS);
    return fn.GetFullPath();
  };
  const wxString in_cwd = joined(cwd);
  if (file_exists(in_cwd)) return folder_of(in_cwd);
  wxStringTokenizer dirs(path_env, wxPATH_SEP, wxTOKEN_STRTOK);
  while (dirs.HasMoreTokens()) {
    const wxString candidate = joined(dirs.GetNextToken());
    if (file_exists(candidate)) return folder_of(candidate);
  }
  return wxEmptyString;
}

// ----------------------------------------------------------- command line

wxString batch_log_path(const wxString& script) {
  wxFileName log(script);
  log.SetName(L"hm_debug");
  log.SetExt(L"txt");
  wxFileName a(script), b(log);
  a.Normalize(wxPATH_NORM_DOTS | wxPATH_NORM_ABSOLUTE);
  b.Normalize(wxPATH_NORM_DOTS | wxPATH_NORM_ABSOLUTE);
  if (a.SameAs(b)) return wxEmptyString;
  return log.GetFullPath();
}

command_line_plan_t plan_command_line(const std::vector<wxString>& words) {
  command_line_plan_t plan;
  if (words.size() < 2) return plan;
  wxString arg = words.back();

  // A frame file stands for the native data file of the same name.
  if (wxMatchWild(L"*.qzi", arg, false))
    arg = arg.Left(arg.length() - 3) + L"hm";
  else if (wxMatchWild(L"*.QZI", arg, false))
    arg = arg.Left(arg.length() - 3) + L"HM";

  if (wxMatchWild(L"*.hm", arg, false) || wxMatchWild(L"*.HM", arg, false)) {
    // The data file is never also run as a script below.
    plan.native_file = arg;
    return plan;
  }
  if (wxMatchWild(L"*.txt", arg, false) || wxMatchWild(L"*.TXT", arg, false)) {
    plan.script = arg;
    plan.script_log = batch_log_path(arg);
    plan.close_after_script = true;
    return plan;
  }
  if (words.size() == 2 && !arg.StartsWith(L"dir=")) {
    plan.image_data = arg;
    return plan;
  }
  if (words.size() > 2) {
    const wxString& option = words[words.size() - 2];
    if (option.StartsWith(L"-s")) {
      plan.script = arg;
      plan.script_log = batch_log_path(arg);
      plan.close_after_script = option.Find(L'c') != wxNOT_FOUND;
    }
  }
  return plan;
}

// ------------------------------------------------------------- start-up

bool os_supported(int family, int major, int minor) {
  constexpr int kWindowsNT = 8, kLinux = 64, kWindows = 60;
  if (family == kWindowsNT || family == kLinux) return true;
  if (family == kWindows) return major > 6 || (major == 6 && minor >= 1);
  return false;
}

long days_since_update_cutoff(const wxDateTime& now) {
  const wxDateTime cutoff(30, wxDateTime::Sep, 2024, 0, 0, 0);
  const long minutes = static_cast<long>((now - cutoff).GetSeconds().GetValue() / 60);
  return minutes / 1440;
}

int32_t whats_new_showings(int32_t display_features) {
  return display_features >= WHATS_NEW_BASE ? display_features - WHATS_NEW_BASE : 0;
}

bool whats_new_due(int32_t display_features) { return whats_new_showings(display_features) < 3; }

int32_t whats_new_after(int32_t display_features, bool ok) {
  return ok ? WHATS_NEW_BASE + 1 + whats_new_showings(display_features) : WHATS_NEW_BASE + 3;
}

wxString whats_new_text(int32_t display_features) {
  return wxString::Format(
      L"This is a new version of Norvelith.\n\nPlease take a look at the new features and bug "
      L"fixes.\nThis message will be displayed %li more time(s).",
      static_cast<long>(2 - whats_new_showings(display_features)));
}

// --------------------------------------------------------- window texts

wxString frames_status_t::text(double rate, int32_t count) {
  if (rate >= 0) rate_ = rate;
  if (count >= 0) count_ = count;
  wxString t = wxString::Format(L"%li frames ", static_cast<long>(count_));
  if (rate_ != 0)
    t += wxString::Format(L"at %.0lf per second.", rate_);
  else
    t += L"loaded.";
  return t;
}

wxString data_file_status_text(const wxString& full_path, int32_t frames, bool buf_dicom,
                               bool data_16bit, const wxString& source_type) {
  if (frames > 0 && buf_dicom && data_16bit) return source_type + L" data: " + full_path;
  return full_path;
}

wxString unsaved_changes_text(const wxString& groups) {
  return L"There are unsaved changes for:\n\n" + groups + L"\nSelect OK to ignore these changes";
}

icon_set_choice_t choose_icon_set(int32_t code, double content_scale) {
  if (code < 0) {
    if (content_scale < 1.25) return {0, 24};
    if (content_scale > 2.5) return {2, 48};
    return {1, 32};
  }
  return {code >= 2 ? 2 : static_cast<int>(code), 0};
}
