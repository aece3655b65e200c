// nv_tool import-objects DATA FILE OUT.hm: opens DATA as File > Open does (a
// native data file for ".hm", otherwise image data through the volume
// readers), imports FILE into the objects from object 0 on as the Draw
// page's "Import from data files" does, answering its questions Yes, and
// writes OUT.hm as Save as does. Exit status 1, with a message and OUT.hm not
// written, when the data cannot be opened or no contour was imported.
#include <cstdio>

#include <wx/filename.h>

#include "data/data_io_ui.h"
#include "data/file_menu.h"
#include "data/native_file.h"
#include "data/objects.h"
#include "medical/dicom_utility.h"
#include "registry/resource_table.h"
#include "tools/headless_session.h"

namespace {

class import_ui final : public console_data_io_ui {
 public:
  bool ask_yes_no(const wxString& caption, const wxString& question) override {
    message(wxLOG_Message, caption + ": " + question + "\nAnswered Yes.");
    return true;
  }
};

int usage() {
  std::fprintf(stderr, "usage: nv_tool import-objects DATA FILE OUT.hm\n"
                       "  FILE: an RTSTRUCT or SEG DICOM file, or a NIfTI or Analyze label volume\n");
  return 2;
}

}  // namespace

int run_import_objects(int argc, char** argv) {
  if (argc != 5) return usage();
  const wxString data = wxString::FromUTF8(argv[2]), file = wxString::FromUTF8(argv[3]),
                 out = wxString::FromUTF8(argv[4]);
  import_ui ui;
  data_ui_scope scope(ui);
  dicom_utility::install_frame_windowing();
  headless_session session;
  const wxFileName data_name(data);
  const bool opened = data_name.GetExt().Lower() == "hm" ? open_native_file(data) : open_image_data(data);
  if (!opened) {
    ui.message(wxLOG_Error, wxString::Format("\"%s\" could not be opened; \"%s\" was not written.", data, out));
    return 1;
  }
  resource_table_t& t = *resource_table;
  t.CURRENT_OBJECT->write(0);
  const wxFileName name(file);
  const wxString ext = name.GetExt().Lower();
  int claimed = 0;
  if (ext == "nii" || ext == "gz" || ext == "hdr") {
    claimed = dicom_utility::read_hdr_object_data(name);
  } else if (dicom_utility::read_dicom_object_data(name, true) > 0) {
    claimed = dicom_utility::read_dicom_object_data(name, false);
  }
  size_t contours = 0;
  const contour_object* objects = t.RES_OBJECT->read();
  for (int i = 0; i < claimed && i < NUM_USER_OBJECTS; ++i)
    for (const frame_contours_t& f : objects[i].frames) contours += f.contours.size();
  if (contours == 0) {
    ui.message(wxLOG_Error, wxString::Format("No contour was imported from \"%s\"; \"%s\" was not written.",
                                             file, out));
    return 1;
  }
  if (!save_native_file_as(out, false)) return 1;
  std::printf("%d objects, %zu contours\n", claimed, contours);
  return 0;
}
