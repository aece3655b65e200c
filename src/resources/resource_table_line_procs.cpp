// The custom line procedures of the native data file's header and keyword
// lines. The procedures belong to the data-file code; each slot below names
// the procedure that goes in it. A null slot leaves the resource with its
// class's own line handling.
#include "registry/resource_table.h"

#include "data/native_file.h"

namespace {

struct line_procs_t {
  base_res_t* resource;
  base_res_t::parse_proc_t parse;
  base_res_t::write_proc_t write;
};

}  // namespace

void resource_table_t::attach_line_procedures() {
  const line_procs_t procs[] = {
      {RES_END_HEADER, nullptr /* parse_end_header */, nullptr /* its name alone */},
      {RES_DICOM_FRAME_LIST, nullptr /* parse_dicom_frame_list */, nullptr /* write_out_dicom_frame_list */},
      {RES_COMMENT, nullptr /* parse_comment */, nullptr /* write_out_comment */},
      {CONT, nullptr /* parse_contour_dat */, nullptr /* write_out_contour_dat */},
      {OBJECT, nullptr /* parse_object_dat */, nullptr /* write_out_object_dat */},
      {VOLUME, nullptr /* parse_volume_dat */, nullptr /* write_out_volume_dat */},
      {RESLICE, nullptr /* parse_reslice */, nullptr /* write_out_reslice */},
      {CURVE, nullptr /* parse_curve_dat */, nullptr /* write_out_curve_dat */},
      {LANDMARK, nullptr /* parse_landmark_dat */, nullptr /* write_out_landmark_dat */},
      {FIDUCIAL, nullptr /* parse_fiducial_dat */, nullptr /* write_out_fiducial_dat */},
      {IM, nullptr /* parse_image_dat */, nullptr /* write_out_image_dat */},
      {RES_BIN_IM_FILENAME, nullptr /* parse_bin_im_filename */, nullptr /* write_out_bin_im_filename */},
  };
  for (const line_procs_t& p : procs) {
    p.resource->set_parse_proc(p.parse);
    p.resource->set_write_proc(p.write);
  }
  install_data_file_procs(*this);
}
