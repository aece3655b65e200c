// Open settings, Save settings as and Reset to default values.
#include "data/file_menu_settings.h"

#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/mstream.h>

#include <string>

#include "data/data_io_ui.h"
#include "data/data_line_procs.h"
#include "data/file_menu.h"
#include "data/file_menu_ui.h"
#include "data/native_text.h"
#include "data/objects.h"
#include "data/reslice_info.h"
#include "registry/resource_table.h"

const wchar_t* const settings_file_wildcard = L"Config file|*.ini";

const settings_group_box settings_group_boxes[SETTINGS_GROUP_BOXES] = {
    {L"Include volume display settings", RES_GROUP_VOLUME_DISPLAY},
    {L"Include graphics display settings", RES_GROUP_GRAPHICS_DISPLAY},
    {L"Include thickness display settings", RES_GROUP_THICKNESS_DISPLAY},
    {L"Include general display settings", RES_GROUP_GENERAL_DISPLAY},
    {L"Include thickness parameters", RES_GROUP_THICKNESS_PARAMS},
    {L"Include object parameters", RES_GROUP_OBJECT_PARAMS},
};

namespace {

void error(const wxString& text) { data_report(wxLOG_Error, text); }

wxString with_ini_extension(const wxString& path) {
  return wxFileName(path).GetFullName().Contains(".") ? path : path + ".ini";
}

// The VOLUME and RESLICE lines change the colour-mapping rows and the reslice
// planes in place as they are read; a settings file that fails later puts
// them back, so that nothing of it stays applied.
class display_objects_snapshot {
 public:
  display_objects_snapshot() {
    resource_table_t& t = *resource_table;
    const volume_object* rows = t.RES_VOLUME->read();
    for (int k = 0; k < NUM_VOLUME_ROWS; ++k) rows_[k] = rows[k];
    const reslice_info* planes = t.RESLICE->read();
    for (int k = 0; k < resource_table_t::kReslicePlaneCount; ++k) {
      plane_state& p = planes_[k];
      p.normal = planes[k].normal;
      p.centre = planes[k].centre;
      p.up = planes[k].up;
      p.offset = planes[k].offset;
      p.width = planes[k].width;
      p.height = planes[k].height;
      p.defined = planes[k].defined;
    }
  }

  void put_back() const {
    resource_table_t& t = *resource_table;
    volume_object* rows = t.RES_VOLUME->read();
    for (int k = 0; k < NUM_VOLUME_ROWS; ++k) rows[k] = rows_[k];
    reslice_info* planes = t.RESLICE->read();
    for (int k = 0; k < resource_table_t::kReslicePlaneCount; ++k) {
      const plane_state& p = planes_[k];
      planes[k].set_width(p.width);
      planes[k].set_height(p.height);
      planes[k].set_plane(p.normal, p.centre, p.up, true);
      planes[k].normal = p.normal;
      planes[k].centre = p.centre;
      planes[k].up = p.up;
      planes[k].offset = p.offset;
      planes[k].defined = p.defined;
    }
    if (data_set_pages* pages = current_data_set_pages())
      pages->set_reslice_size_controls(planes[0].width, planes[0].height);
  }

 private:
  struct plane_state {
    vec3_t normal, centre, up;
    double offset = 0.0;
    int32_t width = 0, height = 0;
    bool defined = false;
  };
  volume_object rows_[NUM_VOLUME_ROWS];
  plane_state planes_[resource_table_t::kReslicePlaneCount];
};

// Applying settings while frames are loaded: file-loading mode, so that the
// values neither count as changes of the data set nor become the user's
// own; the changes made to the data before stay marked.
class settings_application {
 public:
  settings_application()
      : frames_loaded_(resource_table->RES_BUF_FRAMES->read() > 0),
        before_(RES_CLASS_DATA_BODY) {
    if (frames_loaded_) base_res_t::set_file_loading(true);
  }
  void finish() {
    if (!frames_loaded_) return;
    base_res_t::set_file_loading(false);
    base_res_t::clear_changed(RES_CLASS_DATA_BODY);
    before_.mark_again();
  }
  void abandon() {
    if (frames_loaded_) base_res_t::set_file_loading(false);
  }

 private:
  bool frames_loaded_;
  changed_flags_snapshot before_;
};

}  // namespace

// ---- reading ---------------------------------------------------------------

bool read_settings_file(const wxString& path) {
  resource_table_t& t = *resource_table;
  std::string bytes;
  if (!read_whole_file(path, bytes)) {
    error("Error opening settings file for reading in.\n");
    return false;
  }
  line_source lines(std::move(bytes));
  if (lines.binary()) {
    error(wxString::Format("\"%s\" is not a settings file: it holds binary data.\n", path));
    return false;
  }

  const display_objects_snapshot display_before;
  settings_application application;
  base_res_t::hold_pending_writes(true);
  wxString line;
  while (lines.next(line)) {
    if (!base_res_t::parse_no_changeprocs(line, RES_CLASS_SETTINGS)) {
      error(wxString::Format("Failed when reading '%s' from settings file", line));
      base_res_t::hold_pending_writes(false);
      base_res_t::cancel_pending_writes();
      application.abandon();
      display_before.put_back();
      return false;
    }
  }
  base_res_t::hold_pending_writes(false);
  // A current frame beyond the loaded frames is withdrawn: a comparing store
  // of the current value leaves nothing to commit.
  if (t.RES_BUF_CURRENT_FRAME->pending() >= t.RES_BUF_FRAMES->read())
    t.RES_BUF_CURRENT_FRAME->write_no_changeprocs(t.RES_BUF_CURRENT_FRAME->read());
  base_res_t::make_pending_writes_happen();
  application.finish();
  return true;
}

bool settings_open() {
  file_dialog_request request;
  request.message = "Open settings file";
  request.folder = resource_table->RES_ASCII_FILENAME->read().GetPath();
  request.wildcard = settings_file_wildcard;
  file_dialog_result chosen;
  if (!current_file_menu_ui().choose_file(request, chosen)) return false;
  if (!wxFileExists(chosen.path) && !wxDirExists(chosen.path)) return false;
  return read_settings_file(with_ini_extension(chosen.path));
}

// ---- writing ---------------------------------------------------------------

bool write_settings_file(const wxString& path, int32_t group_mask) {
  if (!can_write_file(path)) {
    error("Error opening settings config file for writing.\n");
    return false;
  }
  wxMemoryOutputStream out;
  if (!base_res_t::write_out_to_file(out, RES_CLASS_SETTINGS, group_mask)) {
    error("Error writing settings config file.\n");
    return false;
  }
  const wxString temp = create_file_beside(path);
  bool ok = !temp.empty();
  if (ok) {
    wxFile file;
    const size_t size = out.GetLength();
    std::string data(size, '\0');
    if (size) out.CopyTo(&data[0], size);
    ok = file.Open(temp, wxFile::write) && (size == 0 || file.Write(data.data(), size) == size) &&
         file.Flush() && file.Close();
    wxLogNull quiet;
    ok = ok && wxRenameFile(temp, path, true);
    if (!ok) wxRemoveFile(temp);
  }
  if (!ok) error("Error writing settings config file.\n");
  return ok;
}

bool settings_save_as() {
  resource_table_t& t = *resource_table;
  const int32_t mask = t.RES_SETTINGS_MASK->read();
  file_dialog_request request;
  request.message = "Save settings as";
  request.folder = t.RES_ASCII_FILENAME->read().GetPath();
  request.wildcard = settings_file_wildcard;
  request.save = true;
  for (const settings_group_box& box : settings_group_boxes)
    request.checks.emplace_back(box.label, (mask & box.bit) != 0);
  file_dialog_result chosen;
  if (!current_file_menu_ui().choose_file(request, chosen)) return false;

  int32_t chosen_mask = 0;
  for (int k = 0; k < SETTINGS_GROUP_BOXES; ++k)
    if (k < static_cast<int>(chosen.checks.size()) && chosen.checks[k])
      chosen_mask |= settings_group_boxes[k].bit;
  t.RES_SETTINGS_MASK->write(chosen_mask);
  return write_settings_file(with_ini_extension(chosen.path), chosen_mask);
}

// ---- reset -----------------------------------------------------------------

void reset_settings() {
  resource_table_t& t = *resource_table;
  settings_application application;
  base_res_t::hold_pending_writes(true);
  base_res_t::reset_all_to_defaults();
  if (data_set_pages* pages = current_data_set_pages())
    pages->reset_volume_properties(-1);
  else
    set_default_volume_rows(t.RES_VOLUME->read());
  reslice_info* planes = t.RESLICE->read();
  for (int k = 0; k < resource_table_t::kReslicePlaneCount; ++k) planes[k].reset_placement();
  base_res_t::hold_pending_writes(false);
  base_res_t::make_pending_writes_happen();
  application.finish();
}

bool settings_reset() {
  if (!current_data_ui().ask_yes_no("Reset settings", "Reset all settings to default values?"))
    return false;
  reset_settings();
  return true;
}
