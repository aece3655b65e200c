// nv_tool: headless operations on Norvelith data files.
//
//   nv_tool roundtrip IN.hm OUT.hm
//     reads IN and its frames exactly as File > Open does and writes them as
//     Save as does. Exit status 0 on success; 1 when reading or writing
//     fails; 2 for a wrong command line; 3 when IN was read but some of its
//     data could not be kept (lines skipped, frames dropped, incomplete frame
//     records), in which case nothing is written.
//
//   nv_tool export-frames IN.hm RANGE FORMAT OUT [grey|thresholds|labels]
//     writes the chosen frames as File > Export specific frames does, as a
//     native subset (hm) or as images coloured as the views show them: grey,
//     with the file's thresholds, or with the label palette.
#include <wx/init.h>
#include <wx/log.h>

#include <clocale>
#include <cstdio>

#include "data/data_io_ui.h"
#include "data/file_menu_export.h"
#include "data/file_menu_image_wx.h"
#include "data/file_save.h"
#include "data/native_file.h"
#include "registry/resource_table.h"
#include "tools/headless_session.h"
#include "tools/tool_commands.h"
#include "views/globcmap.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: nv_tool roundtrip IN.hm OUT.hm\n"
               "       nv_tool export-frames IN.hm RANGE hm|bmp|png|jpeg|tiff OUT "
               "[grey|thresholds|labels]\n"
               "       nv_tool reslice IN.hm PLANE OUT.hm [CHOICE]\n"
               "       nv_tool model MODEL.ply [IN.hm]\n");
  return 2;
}

int roundtrip(const wxString& in, const wxString& out) {
  console_data_io_ui ui;
  data_ui_scope scope(ui);
  headless_session session;
  if (!open_native_file(in)) return 1;
  const native_read_losses& losses = last_read_losses();
  if (!losses.none()) {
    ui.message(wxLOG_Error,
               wxString::Format("\"%s\" could not be read without losing data (%i lines skipped, "
                                "the first at line %i; %i frames dropped, %i incomplete frame "
                                "records, %i frame files of the wrong size); \"%s\" was not "
                                "written.",
                                in, losses.ignored_lines, losses.first_ignored_line,
                                losses.frames_dropped, losses.incomplete_records,
                                losses.frame_file_mismatches, out));
    return 3;
  }
  return save_native_file_as(out, false) ? 0 : 1;
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

int main(int argc, char** argv) {
  // A write past the file-size limit fails and is reported.
  ignore_file_size_signal();
  std::setlocale(LC_ALL, "C");
  wxInitializer init;
  if (!init.IsOk()) {
    std::fprintf(stderr, "nv_tool: cannot initialise the toolkit\n");
    return 1;
  }
  std::setlocale(LC_ALL, "C");
  wxLog::SetActiveTarget(new wxLogStderr);
  wxLog::DisableTimestamp();
  wxLog::SetLogLevel(wxLOG_Info);

  if (argc >= 2) {
    for (const tool_command& c : tool_commands())
      if (wxString(argv[1]) == c.name) return c.run(argc, argv);
  }
  if (argc == 4 && wxString(argv[1]) == "roundtrip")
    return roundtrip(wxString(argv[2]), wxString(argv[3]));
  if ((argc == 6 || argc == 7) && wxString(argv[1]) == "export-frames")
    return export_frames(wxString(argv[2]), wxString(argv[3]), wxString(argv[4]),
                         wxString(argv[5]), argc == 7 ? wxString(argv[6]) : wxString("grey"));
  return usage();
}
