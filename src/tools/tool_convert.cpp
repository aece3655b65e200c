// nv_tool convert IN OUT: opens IN (a medical image file or a directory) as
// File > Open does for image data, then writes OUT as Export image data
// does: NIfTI for ".nii" and ".nii.gz", NRRD for ".nrrd" and ".nhdr". The
// frame-order question is answered Yes, as a conversion wants the frames in
// the order of their locations. Nothing is written on failure.
#include <cstdio>

#include <wx/filename.h>

#include "data/data_io_ui.h"
#include "data/file_menu.h"
#include "medical/dicom_utility.h"
#include "medical/toolkit/wx_image_toolkit.h"
#include "tools/headless_session.h"

namespace {

class convert_ui final : public console_data_io_ui {
 public:
  bool ask_yes_no(const wxString& caption, const wxString& question) override {
    message(wxLOG_Message, caption + ": " + question + "\nAnswered Yes.");
    return true;
  }
};

int usage() {
  std::fprintf(stderr, "usage: nv_tool convert IN OUT.nii|OUT.nii.gz|OUT.nrrd|OUT.nhdr\n");
  return 2;
}

}  // namespace

int run_convert(int argc, char** argv) {
  if (argc != 4) return usage();
  const wxString in = wxString::FromUTF8(argv[2]), out = wxString::FromUTF8(argv[3]);
  int format;
  if (out.EndsWith(".nii") || out.EndsWith(".nii.gz"))
    format = 0;
  else if (out.EndsWith(".nrrd") || out.EndsWith(".nhdr"))
    format = 1;
  else
    return usage();
  convert_ui ui;
  data_ui_scope scope(ui);
  dicom_utility::install_frame_windowing();
  install_toolkit_images();
  headless_session session;
  if (!open_image_data(in)) return 1;
  return dicom_utility::create_voxel_data(wxFileName(out), format, -2) ? 0 : 1;
}
