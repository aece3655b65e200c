// Open, Save, Save as and Close of the File menu.
#include "data/file_menu.h"

#include <wx/filefn.h>
#include <wx/filename.h>

#include "data/calipers.h"
#include "data/convert.h"
#include "data/data_io_ui.h"
#include "data/data_line_procs.h"
#include "data/data_reset.h"
#include "data/file_menu_ui.h"
#include "data/medical_source.h"
#include "data/native_file.h"
#include "registry/resource_table.h"

const wchar_t* const open_file_wildcard =
    L"Halmondo file|*.hm|Image files|*.tif*;*.bmp;*.png;*.jpg;*.jpeg;*.ppm|NIfTI "
    L"files|*.nii;*.nii.gz|Analyze file|*.hdr|NRRD file|*.nhdr;*.nrrd|MetaImage "
    L"file|*.mhd|Mindways file|*.qct|All (inc DICOM) files|*.*";
const wchar_t* const save_file_wildcard = L"Halmondo file|*.hm";
const wchar_t* const save_image_file_wildcard =
    L"Halmondo file|*.hm|Halmondo 8-bit data file|*.hm";

namespace {

void error(const wxString& text) { data_report(wxLOG_Error, text); }

bool path_exists(const wxString& path) { return wxFileExists(path) || wxDirExists(path); }

wxString data_folder() { return resource_table->RES_ASCII_FILENAME->read().GetPath(); }

bool is_native_name(const wxString& path) {
  return wxFileName(path).GetExt().IsSameAs("hm", false);
}

wxString normalised(const wxString& path) {
  wxFileName fn(path);
  fn.Normalize(wxPATH_NORM_DOTS | wxPATH_NORM_ABSOLUTE | wxPATH_NORM_TILDE);
  return fn.GetFullPath();
}

// Where the image file of data backed by medical image files is found now:
// beside the current data file, else by the folder its name holds.
wxString locate_image_file() {
  const resource_table_t& t = *resource_table;
  const wxString name = t.RES_BIN_IM_FILENAME->read();
  const wxString folder = data_folder();
  const wxString beside = wxFileName(folder, file_name_part(name)).GetFullPath();
  if (!name.empty() && path_exists(beside)) return normalised(beside);
  if (name != file_name_part(name)) {
    wxFileName own(name);
    if (own.IsRelative()) own.MakeAbsolute(folder);
    if (path_exists(own.GetFullPath())) return normalised(own.GetFullPath());
  }
  return wxString();
}

}  // namespace

bool can_write_file(const wxString& path) {
  if (wxDirExists(path)) return false;
  if (wxFileExists(path) && !wxFileName::IsFileWritable(path)) return false;
  const wxString temp = create_file_beside(path);
  if (temp.empty()) return false;
  wxLogNull quiet;
  wxRemoveFile(temp);
  return true;
}

wxString image_reference_for(const wxString& target) {
  const wxString name = resource_table->RES_BIN_IM_FILENAME->read();
  const wxString image = locate_image_file();
  if (image.empty()) {
    error(wxString::Format("The image file \"%s\" of these data cannot be found, so a data file "
                           "saved now could not be opened again.\nThe data were not saved.\n",
                           name));
    return wxString();
  }
  wxString folder = wxFileName(target).GetPath();
  if (folder.empty()) folder = wxGetCwd();
  const wxString beside_target = wxFileName(folder, file_name_part(name)).GetFullPath();
  if (path_exists(beside_target)) {
    if (normalised(beside_target) == image) return name;
    error(wxString::Format("\"%s\" is not the image file of these data (\"%s\"), and a data "
                           "file saved beside it would show its images.\nThe data were not "
                           "saved.\n",
                           beside_target, image));
    return wxString();
  }
  return image;
}

changed_flags_snapshot::changed_flags_snapshot(int32_t class_mask) {
  for (base_res_t* r = base_res_t::first_resource(); r; r = r->next_resource())
    if (r->class_flags() & class_mask) flags_.emplace_back(r, r->changed());
}

void changed_flags_snapshot::mark_again() const {
  for (const auto& f : flags_)
    if (f.second) f.first->set_changed(true);
}

void changed_flags_snapshot::restore() const {
  for (const auto& f : flags_) f.first->set_changed(f.second);
}

// ---- opening ---------------------------------------------------------------

bool file_open() {
  resource_table_t& t = *resource_table;
  if (t.RES_IN_SCRIPT->read()) {
    const wxString name = t.RES_SCRIPT_FUNC_ARG->read();
    const bool native = is_native_name(name);
    if (native ? try_read_native_file(name) : open_image_data(name)) return true;
    error(native ? "didn't open hm file successfully" : "didn't open file successfully");
    t.RES_SCRIPT_WRITE_MESSAGE->write(wxString("ERROR") +
                                      (native ? " Failed to open hm file." : " Failed to open file.") +
                                      name);
    return false;
  }

  file_dialog_request request;
  request.message = "Open file";
  request.folder = data_folder();
  request.wildcard = open_file_wildcard;
  file_dialog_result chosen;
  if (!current_file_menu_ui().choose_file(request, chosen) || !path_exists(chosen.path))
    return false;
  if (chosen.filter_index == 0 || is_native_name(chosen.path))
    return try_read_native_file(chosen.path);
  return open_image_data(chosen.path);
}

bool file_open_directory() {
  wxString folder;
  if (!current_file_menu_ui().choose_folder("Open directory", data_folder(), folder)) return false;
  return open_image_data(folder);
}

bool open_image_data(const wxString& path) {
  resource_table_t& t = *resource_table;
  reset_data_resources();
  base_res_t::hold_pending_writes(true);
  medical_source* source = current_medical_source();
  bool loaded;
  if (source) {
    loaded = source->load_files(path);
  } else {
    error(wxString::Format("Cannot open \"%s\": the image readers are not part of this program.\n",
                           path));
    loaded = false;
  }
  if (!loaded) {
    base_res_t::hold_pending_writes(false);
    base_res_t::cancel_pending_writes();
    clear_data();
    // Emptying the data set deleted surfaces; no view may keep seeing them.
    base_res_t::make_pending_writes_happen();
    return false;
  }
  source->sort_frames();
  check_for_image_stack();
  t.RES_VERSION->write_no_changeprocs(program_data_version);

  base_res_t::set_file_loading(true);
  base_res_t::hold_pending_writes(false);
  base_res_t::make_pending_writes_happen();
  base_res_t::set_file_loading(false);
  base_res_t::clear_changed(RES_CLASS_DATA_HEADER | RES_CLASS_DATA_BODY);
  if (data_set_pages* pages = current_data_set_pages())
    pages->show_frame_count(t.RES_BUF_FRAMES->read());
  return true;
}

// ---- saving ----------------------------------------------------------------

bool file_save() {
  resource_table_t& t = *resource_table;
  const wxString path = t.RES_ASCII_FILENAME->read().GetFullPath();
  if (t.RES_BUF_DICOM->read() && image_reference_for(path).empty()) return false;
  return try_write_native_file(path);
}

bool file_save_as() {
  resource_table_t& t = *resource_table;
  const bool medical = t.RES_BUF_DICOM->read();
  file_dialog_request request;
  request.message = medical ? "Save image file as" : "Save file as";
  request.folder = data_folder();
  request.wildcard = medical ? save_image_file_wildcard : save_file_wildcard;
  request.save = true;
  file_dialog_result chosen;
  if (!current_file_menu_ui().choose_file(request, chosen)) return false;

  const bool eight_bit = medical && chosen.filter_index == 1;
  wxString path = chosen.path;
  if (!wxFileName(path).GetFullName().Contains(".")) path += ".hm";
  const bool companion = !medical || eight_bit;
  // Tested without emptying anything: the files are written beside their
  // targets and renamed into place only once complete.
  if (!can_write_file(path) || (companion && !can_write_file(companion_path_for(path)))) {
    error("Error opening file for writing.\n");
    return false;
  }
  if (medical && !eight_bit && image_reference_for(path).empty()) return false;
  return save_native_file_as(path, eight_bit);
}

// ---- closing ---------------------------------------------------------------

void choose_default_names(int32_t& counter) {
  resource_table_t& t = *resource_table;
  const wxString stub = t.RES_FILENAME_STUB->read();
  wxString hm, qzi;
  for (counter = 1;; ++counter) {
    hm = stub + wxString::Format("_%li.hm", static_cast<long>(counter));
    qzi = stub + wxString::Format("_%li.qzi", static_cast<long>(counter));
    if ((!path_exists(hm) && !path_exists(qzi)) || counter == INT32_MAX) break;
  }
  if (counter < INT32_MAX) ++counter;
  t.RES_ASCII_FILENAME->write_no_changeprocs(wxFileName(hm));
  t.RES_BIN_IM_FILENAME->write_no_changeprocs(wxFileName(qzi).GetFullName());
}

bool file_close(int32_t& default_name_counter) {
  resource_table_t& t = *resource_table;
  if (!t.RES_IN_SCRIPT->read() && t.RES_BUF_FRAMES->read() > 0) {
    wxString groups;
    if (base_res_t::describe_changed_groups(RES_CLASS_DATA_HEADER | RES_CLASS_DATA_BODY, groups) &&
        !current_file_menu_ui().ask_ok_cancel(
            "Ignore changes", "There are unsaved changes for:\n\n" + groups +
                                  "\nSelect OK to ignore these changes"))
      return false;
  }
  t.RES_CORRECTED_POS->write_no_changeprocs(false);
  t.RES_CORRECTED_PRESSURE->write_no_changeprocs(false);
  clear_data();
  t.RES_BUF_FRAMES->write_no_changeprocs(0);
  t.RES_BUF_CURRENT_FRAME->write_no_changeprocs(0);
  t.RES_ALERT_STRING->write_no_changeprocs(wxString());
  calipers_t calipers = t.RES_CALIPERS->pending();
  calipers.first_set = calipers.second_set = false;
  t.RES_CALIPERS->write_no_changeprocs(calipers);
  if (data_set_pages* pages = current_data_set_pages()) pages->show_frame_count(0);

  choose_default_names(default_name_counter);
  base_res_t::restore_all_user_values();
  // The user value of the current frame follows paging through the frames;
  // with no frames left the current frame is 0.
  t.RES_BUF_CURRENT_FRAME->write_no_changeprocs(0);
  base_res_t::make_pending_writes_happen();
  base_res_t::clear_changed(RES_CLASS_DATA_HEADER | RES_CLASS_DATA_BODY);
  return true;
}
