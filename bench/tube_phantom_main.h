// The main function of the benchmarks that run on the tube phantom of
// tests/data/make_tube_phantom.py (noise 20): the phantom is made in a
// scratch folder, opened through the NIfTI reader into a headless session,
// and the benchmarks run on it. Needs python3 with numpy, scipy and nibabel.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/init.h>

#include "data/data_io_ui.h"
#include "data/file_menu.h"
#include "medical/dicom_utility.h"
#include "tools/headless_session.h"

inline int run_benchmarks_on_tube_phantom(int argc, char** argv, const char* folder_prefix) {
  wxInitializer init;
  benchmark::Initialize(&argc, argv);
  wxString dir = wxFileName::CreateTempFileName(folder_prefix);
  wxRemoveFile(dir);
  wxMkdir(dir);
  const std::string nii = (dir + "/tube.nii").ToStdString();
  const std::string cmd = "/usr/bin/python3 " NV_SOURCE_DIR "/tests/data/make_tube_phantom.py " + nii +
                          " --noise 20 >/dev/null";
  int code = std::system(cmd.c_str());
  if (code == 0) {
    console_data_io_ui ui;
    data_ui_scope scope(ui);
    dicom_utility::install_frame_windowing();
    headless_session session;
    if (open_image_data(wxString::FromUTF8(nii)))
      benchmark::RunSpecifiedBenchmarks();
    else
      code = 1;
  } else {
    std::fprintf(stderr, "The phantom could not be made: %s\n", cmd.c_str());
  }
  wxFileName::Rmdir(dir, wxPATH_RMDIR_RECURSIVE);
  benchmark::Shutdown();
  return code == 0 ? 0 : 1;
}
