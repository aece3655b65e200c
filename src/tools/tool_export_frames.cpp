// nv_tool export-frames IN.hm RANGE FORMAT OUT [grey|thresholds|labels]:
// writes the chosen frames as File > Export specific frames does, as a
// native subset (hm) or as images coloured as the views show them: grey,
// with the file's thresholds, or with the label palette.
#include <wx/log.h>

#include <cstdio>

#include "data/data_io_ui.h"
#include "data/file_menu_export.h"
#include "data/file_menu_image_wx.h"
#include "data/native_file.h"
#include "registry/resource_table.h"
#include "tools/headless_session.h"
#include "views/globcmap.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: nv_tool export-frames IN.hm RANGE hm|bmp|png|jpeg|tiff OUT "
               "[grey|thresholds|labels]\n");
  return 2;
}

// display: how the images show the frames, as the Draw page's check boxes
// choose it ("grey" leaves both off; Doppler recordings keep their palette).
int export_frames(const wxString& in, const wxString& range, const wxString& format,
                  const wxString& out, const wxString& display) {
  if (display != "grey" && display != "thresholds" && display != "labels") return usage();
  frame_export_kind kind;
  if (format == "hm")
    kind = FRAME_EXPORT_NATIVE;
  else if (format == "bmp")
    kind = FRAME_EXPORT_BMP;
  else if (format == "png")
    kind = FRAME_EXPORT_PNG;
  else if (format == "jpeg")
    kind = FRAME_EXPORT_JPEG;
  else if (format == "tiff")
    kind = FRAME_EXPORT_TIFF;
  else
    return usage();

  console_data_io_ui ui;
  data_ui_scope scope(ui);
  wx_frame_image_writer writer;
  set_frame_image_writer(&writer);
  headless_session session;
  colour_map_scope colours;
  int status = 1;
  if (open_native_file(in)) {
    resource_table->RES_CMAP_LABELS->write_no_changeprocs(display == "labels");
    resource_table->RES_CMAP_BINARY->write(display == "thresholds");
    const frame_selection selection = parse_frame_range(range, resource_table->RES_BUF_FRAMES->read());
    if (selection.count() == 0)
      ui.message(wxLOG_Error, "No valid frames in specified range - nothing to save!");
    else if (kind == FRAME_EXPORT_NATIVE ? export_native_subset(selection, out)
                                         : export_frame_images(selection, out, kind))
      status = 0;
  }
  set_frame_image_writer(nullptr);
  return status;
}

}  // namespace

int run_export_frames(int argc, char** argv) {
  if (argc != 6 && argc != 7) return usage();
  return export_frames(wxString(argv[2]), wxString(argv[3]), wxString(argv[4]), wxString(argv[5]),
                       argc == 7 ? wxString(argv[6]) : wxString("grey"));
}
