// Header parsers of the NIfTI/Analyze, NRRD and MetaImage readers, apart from
// any file so that each can be checked (and fuzzed) on bytes alone. Each
// returns 0 when the bytes are not of its format, -1 with a warning text when
// it recognised them but refuses them, 1 when the header is accepted. Every
// size and offset is checked here, before a reader allocates or reads data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <wx/string.h>

#include "data/geometry.h"

// A NIfTI-1, NIfTI-2 or Analyze 7.5 header turned into what the reader needs.
struct nifti_info_t {
  bool nifti = false;      // NIfTI (else Analyze)
  bool separate = false;   // data in the ".img" file beside the header
  bool is_signed = false;  // signed integer samples (datatypes 4 and 8)
  bool is_float = false;   // 32-bit float samples (datatype 16)
  int32_t header_size = 0; // 348 or 540
  int32_t columns = 0, rows = 0, frames = 0;
  int32_t bytes_per_sample = 0;
  int64_t data_offset = 0;  // bytes before slice 0 (then the gap)
  int64_t gap = 0;          // bytes before every slice
  double voxel_cm[3] = {0, 0, 0};
  double slope = 1, intercept = 0;
  double centre = 1000, width = 4000;
  vec3_t column_axis{1, 0, 0}, row_axis{0, 1, 0}, slice_axis{0, 0, 1};
  vec3_t origin_cm{0, 0, 0};
  bool patient_coordinates = false;

  int64_t slice_bytes() const { return int64_t(columns) * rows * bytes_per_sample; }
};

// buf holds the first n bytes of the (decompressed) file: 348 bytes suffice
// for NIfTI-1 and Analyze, NIfTI-2 needs 544. compressed: read from a gzip file.
int parse_nifti_header(const uint8_t* buf, size_t n, bool compressed, nifti_info_t& info,
                       wxString& warning);

// A NRRD header as far as it has been read.
struct nrrd_info_t {
  int32_t columns = 0, rows = 0, frames = 0;
  int32_t bytes_per_sample = 2;
  bool is_signed = false;
  bool patient_coordinates = false;
  bool gzip = false;
  wxString data_file;       // name part only; empty: data follow the header
  int64_t header_bytes = 0; // bytes up to and including the header's empty line
  double origin_mm[3] = {0, 0, 0};
  double spacing_mm[3] = {1, 1, 1};
  vec3_t direction[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  bool have_type = false;
  int64_t line_skip = 0;    // lines of the data file before the data
  int64_t byte_skip = 0;    // bytes after those lines (of the decompressed data for gzip); -1: data at the end
  std::vector<wxString> notes;  // warnings of defaults taken, in order

  int64_t slice_bytes() const { return int64_t(columns) * rows * bytes_per_sample; }
};

// text is the start of the file (it need not hold the data). The header must
// end with an empty line within text.
int parse_nrrd_header(const char* text, size_t n, nrrd_info_t& info, wxString& warning);

struct mhd_info_t {
  int32_t columns = 0, rows = 0, frames = 0;
  int32_t bytes_per_sample = 0;
  bool is_signed = false;
  bool big_endian = false;   // BinaryDataByteOrderMSB / ElementByteOrderMSB
  int64_t header_bytes = 0;  // bytes before the data in the data file; -1: data at its end
  double offset_mm[3] = {0, 0, 0};
  double spacing_mm[3] = {0, 0, 0};
  // Unit directions of the three axes (TransformMatrix, one axis after another).
  vec3_t direction[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  wxString data_file;  // name part only

  int64_t slice_bytes() const { return int64_t(columns) * rows * bytes_per_sample; }
};

// Parses the whole header text. A -1 without warning text is a refusal that
// logs nothing. Completeness (required keys, sizes) is checked here; an
// incomplete header gives 0 with the incomplete-header warning set.
int parse_mhd_header(const char* text, size_t n, mhd_info_t& info, wxString& warning);
