// What the data-file code needs of the volume readers: reading one frame of
// a medical image file, the description of the loaded data, sorting frames
// by location and forgetting the loaded source. The volume readers' library
// installs an implementation at start-up; without one, data backed by medical
// image files cannot be loaded and the description is that of plain 8-bit
// data.
#pragma once

#include <wx/string.h>

#include <cstdint>
#include <vector>

class medical_source {
 public:
  virtual ~medical_source() = default;

  // Reads frame number frame_number of the file or folder at path, the
  // store's frame index, into raw (width x height 16-bit values) or, for
  // 8-bit data, bytes. Returns the number of pixels delivered.
  virtual int32_t read_frame(const wxString& path, int32_t index, int32_t frame_number,
                             uint16_t* raw, uint8_t* bytes) = 0;
  // The values just read were 8-bit display values (raw is not used).
  virtual bool data_8bit() const = 0;
  // The loaded frames carry 16-bit raw values.
  virtual bool data_16bit() const = 0;
  // Format of the loaded data ("DICOM", "TIFF", ...).
  virtual wxString source_type() const = 0;
  // Units of the calibrated values as the data files give them ("HU" or "??").
  virtual wxString value_units() const = 0;
  // Slope and intercept of the raw-to-calibrated conversion from the files.
  virtual void file_rescale(double& slope, double& intercept) const = 0;
  // Puts frames read from medical image files into location order, asking
  // first; true when they were reordered.
  virtual bool sort_frames() = 0;
  // Forgets the loaded data's description and per-frame records.
  virtual void reset_data_source() = 0;

  // Loads the data set of the file or folder at path into the frame store,
  // writing the header resources of the loaded data as pending values under
  // the caller's hold. True when data were loaded; on false the caller
  // cancels the pending writes and empties the data set.
  virtual bool load_files(const wxString& path);
  // Keeps, in the order given, only the per-frame records of the frames
  // listed (ascending indices into the frame store); may write RES_XSCALE and
  // RES_YSCALE from the first kept frame, without a commit. The records given
  // up are kept aside until the next selection or reset, so that
  // undo_frame_selection can put them back when the export that asked for
  // the selection fails.
  virtual void select_frame_info(const std::vector<int32_t>& frames);
  virtual void undo_frame_selection();
};

void set_medical_source(medical_source* source);
medical_source* current_medical_source();
