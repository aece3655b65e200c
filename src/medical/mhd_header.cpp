// MetaImage headers: "Key = value ..." lines, keys in any order.
#include <cmath>
#include <limits>

#include <wx/filename.h>

#include "medical/text_header_support.h"
#include "medical/volume_headers.h"

int parse_mhd_header(const char* text, size_t n, mhd_info_t& info, wxString& warning) {
  info = mhd_info_t();
  warning.clear();
  if (!text) return 0;
  bool have_type = false, have_offset = false, have_file = false, have_matrix = false;
  long long dims[3] = {0, 0, 0};
  for (const std::string& line : split_lines(text, n).lines) {
    const std::vector<std::string> tok = split_any(line, " \t\r\n");
    if (tok.empty()) continue;
    if (tok.size() < 3 || tok[1] != "=") return 0;
    const std::string& key = tok[0];
    const std::string& value = tok[2];
    auto three = [&](double* out) {
      if (tok.size() < 5) return false;
      for (int i = 0; i < 3; ++i)
        if (!parse_double(tok[size_t(2 + i)], out[i])) return false;
      return true;
    };
    if (key == "ObjectType") {
      if (value != "Image") return -1;
    } else if (key == "NDims") {
      long long d;
      if (!parse_long(value, d) || d != 3) return 0;
    } else if (key == "BinaryData") {
      if (value != "True") {
        warning = "This MHD file contains non-binary data.\n"
                  "Currently Norvelith only supports binary data formats.";
        return -1;
      }
    } else if (key == "CompressedData") {
      if (value != "False") {
        warning = "This MHD file contains compressed data.\n"
                  "Currently Norvelith only supports raw data formats.";
        return -1;
      }
    } else if (key == "ElementType") {
      have_type = true;
      if (value == "MET_UCHAR" || value == "MET_CHAR") {
        info.bytes_per_sample = 1;
        info.is_signed = value == "MET_CHAR";
      } else if (value == "MET_SHORT" || value == "MET_USHORT") {
        info.bytes_per_sample = 2;
        info.is_signed = value == "MET_SHORT";
      } else {
        warning = "This MHD file contains an un-supported data type.\n"
                  "Currently Norvelith only supports signed and un-signed short and char data formats.";
        return -1;
      }
    } else if (key == "Offset") {
      if (!three(info.offset_mm)) return 0;
      have_offset = true;
    } else if (key == "ElementSpacing") {
      if (!three(info.spacing_mm)) return 0;
    } else if (key == "DimSize") {
      if (tok.size() < 5) return 0;
      for (int i = 0; i < 3; ++i)
        if (!parse_long(tok[size_t(2 + i)], dims[i])) return 0;
    } else if (key == "BinaryDataByteOrderMSB" || key == "ElementByteOrderMSB") {
      if (value != "True" && value != "False") {
        warning = "This MHD file gives a byte order other than True or False.";
        return -1;
      }
      info.big_endian = value == "True";
    } else if (key == "TransformMatrix" || key == "Rotation" || key == "Orientation") {
      if (tok.size() < 11) return 0;
      double m[9];
      for (int i = 0; i < 9; ++i)
        if (!parse_double(tok[size_t(2 + i)], m[i])) return 0;
      for (int k = 0; k < 3; ++k) info.direction[k] = {m[3 * k], m[3 * k + 1], m[3 * k + 2]};
      have_matrix = true;
    } else if (key == "HeaderSize") {
      long long skip;
      if (!parse_long(value, skip) || skip < -1) {
        warning = "This MHD file gives a HeaderSize that is neither -1 nor a byte count.";
        return -1;
      }
      info.header_bytes = skip;
    } else if (key == "ElementNumberOfChannels") {
      long long channels;
      if (!parse_long(value, channels) || channels != 1) {
        warning = "This MHD file holds several values per voxel (ElementNumberOfChannels).\n"
                  "Currently Norvelith only supports one value per voxel.";
        return -1;
      }
    } else if (key == "ElementDataFile") {
      info.data_file = wxFileName(wxString::FromUTF8(value.c_str())).GetFullName();
      have_file = !info.data_file.empty();
    }
  }
  const long long big = std::numeric_limits<int32_t>::max();
  const bool sizes_ok = dims[0] >= 1 && dims[1] >= 1 && dims[2] >= 1 && dims[0] <= big &&
                        dims[1] <= big && dims[2] <= big && dims[0] * dims[1] <= big;
  const bool spacing_ok = info.spacing_mm[0] > 0 && info.spacing_mm[1] > 0 && info.spacing_mm[2] > 0;
  if (!have_type || !have_offset || !have_file || !sizes_ok || !spacing_ok) {
    warning = "This MHD file does not contain all the information Norvelith requires.";
    return 0;
  }
  if (have_matrix) {
    // The axes must form a rotation (a reflection of the slice axis is
    // allowed): anything else would shear or scale the voxels.
    const vec3_t* d = info.direction;
    bool rotation = true;
    for (int i = 0; i < 3 && rotation; ++i)
      for (int j = i; j < 3; ++j)
        if (std::fabs(vec3_dot(d[i], d[j]) - (i == j ? 1.0 : 0.0)) > 1e-4) rotation = false;
    if (!rotation) {
      warning = "This MHD file has a TransformMatrix that is not a rotation.\n"
                "Currently Norvelith only supports orthonormal axes.";
      return -1;
    }
  }
  info.columns = int32_t(dims[0]);
  info.rows = int32_t(dims[1]);
  info.frames = int32_t(dims[2]);
  return 1;
}
