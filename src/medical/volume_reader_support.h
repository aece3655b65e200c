// Pieces shared by the NIfTI/Analyze, NRRD and MetaImage readers: a byte
// stream over a file with optional decompression, frame placement from axes,
// corner padding detection and the data-set description they write.
// Internal to the volume readers.
#pragma once

#include <cstdint>
#include <memory>

#include <wx/string.h>

#include "data/dynabuf.h"
#include "data/geometry.h"

class wxFFileInputStream;
class wxZlibInputStream;
class wxInputStream;

// A file read from a starting offset, optionally through a decompressor that
// detects a zlib or gzip header by itself. Offsets and counts are 64-bit.
class volume_stream {
 public:
  volume_stream();
  ~volume_stream();
  volume_stream(const volume_stream&) = delete;
  volume_stream& operator=(const volume_stream&) = delete;

  // Opens path, positioned at offset of the file; the decompressor (when
  // asked for) starts there.
  bool open(const wxString& path, int64_t offset, bool decompress);
  void close();
  bool is_open() const;
  // True when exactly n bytes were read.
  bool read(void* buf, int64_t n);
  // Skips n bytes forward: a seek on a plain file, reading on a decompressor.
  bool skip(int64_t n);
  // Size of the underlying file, -1 when unknown.
  int64_t file_size() const;

 private:
  std::unique_ptr<wxFFileInputStream> file_;
  std::unique_ptr<wxZlibInputStream> zlib_;
  wxInputStream* in_ = nullptr;
};

// Location of a frame's pixel (0, 0) at origin_cm with the given column and
// row directions (any length, not parallel), as x, y, z, azimuth, elevation, roll.
position_t frame_location(const vec3_t& origin_cm, const vec3_t& column, const vec3_t& row);

// Records slot frame's location and pixel size (millimetres), copies the
// location to position when given and marks the locations as read from file.
void record_frame(int frame, const position_t& location, double pixel_x_mm, double pixel_y_mm,
                  position_t* position);

// Padding of a 16-bit frame from its four corners: equal corners whose
// calibrated value is -1000 or below are CT padding, kept as the padding
// value (units "??" become "HU"). Other equal corners are ordinary data and
// no voxel is changed. Sets dicom_utility::padding_value.
void detect_corner_padding(const uint16_t* raw, int32_t columns, int32_t rows, double slope,
                           double intercept);

// The data-set description of a volume file, written as pending resource
// writes: frame size and count, pixel scale (cm), file name, no probe pose,
// window and calibration.
void write_volume_description(const wxString& path, int32_t columns, int32_t rows, int32_t frames,
                              double xscale_cm, double yscale_cm, double centre, double width,
                              double slope, double intercept);

// The frame count of the data set being read (the probe's pending value).
int32_t data_set_frames();

// Sign bit inversion of signed 16-bit samples: stored value + 32768 mod 65536.
void invert_sign_bits(uint16_t* values, size_t n);

// Big-endian 16-bit samples to host order, with the sign bit inverted too
// for signed samples.
void swap_sample_bytes(uint16_t* values, size_t n, bool invert_sign);
