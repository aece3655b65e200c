// State shared by the frame dispatch and the DICOM parser for the data set
// being read, and the pending resource writes of a probe. Internal to the
// volume readers.
#pragma once

#include <cstdint>

#include <wx/filename.h>
#include <wx/string.h>

#include "data/dynabuf.h"
#include "registry/hm_resource.h"

struct reader_state_t {
  bool probe_pending = false;
  bool qct_recognised = false;
  bool metaimage_recognised = false;
  bool nrrd_recognised = false;
  bool nifti_recognised = false;
  bool image_recognised = false;
  // Series UID, frame size and pixel spacing of the data set's first DICOM
  // file; later frames that differ are refused.
  wxString first_series_uid;
  int64_t first_frame_pixels = 0;
  double first_pixel_spacing[2] = {0.0, 0.0};
  // The data set is one multi-frame file: frame indices select frames within
  // it and never another file of a numbered run.
  bool multi_frame_file = false;
};

reader_state_t& reader_state();

// The program's DICOM parser: the last reader of read_dicom_data. fell_back
// says that name is the caller's own file because the file index mapped to
// no readable file; index then selects a frame within it.
int read_dicom_file(const wxFileName& name, int frame, int index, uint16_t* raw, uint8_t* display,
                    position_t* position, bool fell_back);
// Its three uses: enter the file in dicom_utility::series_list; write the
// data set's description as pending writes; decode frame `index` of the file
// into frame slot `frame`. Each returns the pixel count, 0 when refused.
int dicom_scan_file(const wxFileName& name, int index, bool fell_back);
int dicom_probe_file(const wxFileName& name, int index, bool fell_back);
int dicom_read_frame(const wxFileName& name, int frame, int index, uint16_t* raw, uint8_t* display,
                     position_t* position, bool fell_back);

// The volume file readers plugged into read_dicom_data's reader slots.
int read_mhd_data(wxFileName name, int frame, int index, uint16_t* raw, uint8_t* display,
                  position_t* position);
int read_nrrd_data(wxFileName name, int frame, int index, uint16_t* raw, uint8_t* display,
                   position_t* position);
int read_hdr_data(wxFileName name, int frame, int index, uint16_t* raw, uint8_t* display,
                  position_t* position);

// Pending writes and pending values of resources found by name; a resource
// that does not exist (a test without the resource table) is passed over.
void write_pending_long(const wchar_t* name, int32_t value);
void write_pending_bool(const wchar_t* name, bool value);
void write_pending_double(const wchar_t* name, double value);
void write_pending_string(const wchar_t* name, const wxString& value);
void write_pending_flag_string(const wchar_t* name, const wxString& value);
int32_t pending_long(const wchar_t* name, int32_t fallback);
bool pending_bool(const wchar_t* name, bool fallback);

template <class R>
R* find_resource(const wchar_t* name) {
  return dynamic_cast<R*>(base_res_t::find(name));
}
