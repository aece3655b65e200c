#include "data/medical_source.h"

#include "data/data_io_ui.h"

namespace {
medical_source* installed_source = nullptr;
}

void set_medical_source(medical_source* source) { installed_source = source; }
medical_source* current_medical_source() { return installed_source; }

bool medical_source::load_files(const wxString& path) {
  data_report(wxLOG_Error,
              wxString::Format("Cannot open \"%s\": the readers of this image format are not "
                               "part of this program.\n",
                               path));
  return false;
}

void medical_source::select_frame_info(const std::vector<int32_t>&) {}

void medical_source::undo_frame_selection() {}
