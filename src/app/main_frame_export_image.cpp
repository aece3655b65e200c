// File > Export image data: chooses the file and the format; the volume
// writer does the work and reports its own problems.
#include "app/main_frame.h"
#include "data/file_menu.h"
#include "data/file_menu_ui.h"
#include "medical/dicom_utility.h"
#include "registry/resource_table.h"

void MainFrame::OnFileExportImage(wxCommandEvent&) {
  file_dialog_request request;
  request.message = "Export image data as";
  request.folder = resource_table->RES_ASCII_FILENAME->read().GetPath();
  request.wildcard =
      "Raw NIfTI file|*.nii|Compressed NIfTI file|*.nii.gz|Raw NRRD file|*.nrrd|Compressed NRRD "
      "file|*.nhdr";
  request.save = true;
  file_dialog_result chosen;
  if (!current_file_menu_ui().choose_file(request, chosen)) return;
  // The extension, not the filter, decides compression and the header form.
  if (chosen.filter_index == 0 || chosen.filter_index == 1)
    dicom_utility::create_voxel_data(wxFileName(chosen.path), 0, -2);
  else if (chosen.filter_index == 2 || chosen.filter_index == 3)
    dicom_utility::create_voxel_data(wxFileName(chosen.path), 1, -2);
}
