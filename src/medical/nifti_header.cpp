// NIfTI-1, NIfTI-2 and Analyze 7.5 headers (little-endian only). NIfTI-1 and
// Analyze fields are widened into the NIfTI-2 set first, so that the rest of
// the reader works on one set of fields.
#include <cmath>
#include <cstring>
#include <limits>

#include "medical/volume_headers.h"

namespace {

template <class T>
T le(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// The NIfTI-2 field set.
struct wide_header_t {
  int32_t sizeof_hdr = 0;
  uint8_t magic[4] = {0, 0, 0, 0};
  int16_t datatype = 0, bitpix = 0;
  int64_t dim[8] = {};
  double pixdim[8] = {};
  int64_t vox_offset = 0;
  double scl_slope = 0, scl_inter = 0, cal_max = 0, cal_min = 0;
  int32_t qform_code = 0, sform_code = 0;
  double quatern[3] = {}, qoffset[3] = {}, srow[3][4] = {};
  int32_t xyzt_units = 0;
  int32_t extents = 0;
  char regular = 0;
  int32_t glmax = 0, glmin = 0;
};

void widen_348(const uint8_t* b, wide_header_t& h) {
  h.sizeof_hdr = le<int32_t>(b);
  h.extents = le<int32_t>(b + 32);
  h.regular = char(b[38]);
  for (int i = 0; i < 8; ++i) h.dim[i] = le<int16_t>(b + 40 + 2 * i);
  h.datatype = le<int16_t>(b + 70);
  h.bitpix = le<int16_t>(b + 72);
  for (int i = 0; i < 8; ++i) h.pixdim[i] = le<float>(b + 76 + 4 * i);
  const float vox = le<float>(b + 108);
  // Truncated toward zero; a value no integer can hold is refused later.
  h.vox_offset = std::isfinite(vox) && std::fabs(vox) < 9.0e18f ? int64_t(vox)
                                                                 : std::numeric_limits<int64_t>::min();
  h.scl_slope = le<float>(b + 112);
  h.scl_inter = le<float>(b + 116);
  h.xyzt_units = int8_t(b[123]);
  h.cal_max = le<float>(b + 124);
  h.cal_min = le<float>(b + 128);
  h.glmax = le<int32_t>(b + 140);
  h.glmin = le<int32_t>(b + 144);
  h.qform_code = le<int16_t>(b + 252);
  h.sform_code = le<int16_t>(b + 254);
  for (int i = 0; i < 3; ++i) {
    h.quatern[i] = le<float>(b + 256 + 4 * i);
    h.qoffset[i] = le<float>(b + 268 + 4 * i);
    for (int j = 0; j < 4; ++j) h.srow[i][j] = le<float>(b + 280 + 16 * i + 4 * j);
  }
  std::memcpy(h.magic, b + 344, 4);
}

void widen_540(const uint8_t* b, wide_header_t& h) {
  h.sizeof_hdr = le<int32_t>(b);
  std::memcpy(h.magic, b + 4, 4);
  h.datatype = le<int16_t>(b + 12);
  h.bitpix = le<int16_t>(b + 14);
  for (int i = 0; i < 8; ++i) h.dim[i] = le<int64_t>(b + 16 + 8 * i);
  for (int i = 0; i < 8; ++i) h.pixdim[i] = le<double>(b + 104 + 8 * i);
  h.vox_offset = le<int64_t>(b + 168);
  h.scl_slope = le<double>(b + 176);
  h.scl_inter = le<double>(b + 184);
  h.cal_max = le<double>(b + 192);
  h.cal_min = le<double>(b + 200);
  h.qform_code = le<int32_t>(b + 344);
  h.sform_code = le<int32_t>(b + 348);
  for (int i = 0; i < 3; ++i) {
    h.quatern[i] = le<double>(b + 352 + 8 * i);
    h.qoffset[i] = le<double>(b + 376 + 8 * i);
    for (int j = 0; j < 4; ++j) h.srow[i][j] = le<double>(b + 400 + 32 * i + 8 * j);
  }
  h.xyzt_units = le<int32_t>(b + 500);
}

const char* const kUnsupported =
    "This NIfTI or Analyze file contains data in an un-supported type.\n"
    "Currently Norvelith only supports char or short data types.";

vec3_t divided(const vec3_t& v, double d) {
  // A zero or missing voxel size leaves the direction as the matrix gives it.
  if (d == 0.0 || !std::isfinite(d)) return v;
  return {v.x / d, v.y / d, v.z / d};
}

void quaternion_axes(const wide_header_t& h, nifti_info_t& info) {
  double b = h.quatern[0], c = h.quatern[1], d = h.quatern[2];
  const double s = b * b + c * c + d * d;
  double a;
  if (1.0 - s < 1e-71) {
    a = 0;
    const double n = std::sqrt(s);
    if (n > 0) {
      b /= n;
      c /= n;
      d /= n;
    }
  } else {
    a = std::sqrt(1.0 - s);
  }
  info.column_axis = {a * a + b * b - c * c - d * d, 2 * (b * c + a * d), 2 * (b * d - a * c)};
  info.row_axis = {2 * (b * c - a * d), a * a + c * c - b * b - d * d, 2 * (c * d + a * b)};
  info.slice_axis = {2 * (b * d + a * c), 2 * (c * d - a * b), a * a + d * d - b * b - c * c};
  if (h.pixdim[0] == -1.0) info.slice_axis = vec3_scalar_mul(-1.0, info.slice_axis);
}

}  // namespace

int parse_nifti_header(const uint8_t* buf, size_t n, bool compressed, nifti_info_t& info,
                       wxString& warning) {
  info = nifti_info_t();
  warning.clear();
  if (!buf || n < 348) return 0;
  wide_header_t h;
  const int32_t size = le<int32_t>(buf);
  if (size == 348) {
    widen_348(buf, h);
  } else if (size == 540 && n >= 544) {
    widen_540(buf, h);
  } else {
    return 0;
  }
  info.header_size = size;

  // Classification and scaling.
  if (h.magic[0] == 'n' && h.magic[3] == 0 && (h.magic[1] == '+' || (h.magic[1] == 'i' && !compressed))) {
    info.nifti = true;
    info.separate = h.magic[1] == 'i';
    if (std::isfinite(h.scl_slope) && h.scl_slope > 0) {
      info.slope = h.scl_slope;
      info.intercept = std::isfinite(h.scl_inter) ? h.scl_inter : 0.0;
    }
    if (h.cal_max > h.cal_min) {
      info.centre = (h.cal_min + h.cal_max) / 2;
      info.width = h.cal_max - h.cal_min;
    }
  } else if (h.magic[0] == 'n' && h.magic[3] == 0 && h.magic[1] == 'i') {
    return 0;  // a detached-data header cannot live inside a compressed file
  } else if (size == 348 && h.extents == 16384 && h.regular != 'r') {
    info.separate = true;
    info.centre = double((int64_t(h.glmin) + int64_t(h.glmax)) / 2);
    info.width = double(int64_t(h.glmax) - int64_t(h.glmin));
  } else {
    // Not recognised. A header of Analyze's size says why, for the reader
    // to report when an image file stands beside it.
    if (size == 348) {
      wxString why;
      if (h.extents != 16384) why << wxString::Format("its extents field is %d, not 16384", h.extents);
      if (h.regular == 'r') why << (why.empty() ? "" : ", and ") << "its regular field is 'r'";
      warning = "This Analyze header is not in the form Norvelith reads: " + why + ".";
    }
    return 0;
  }

  // Sample type.
  const int dt = h.datatype;
  if (h.dim[0] != 3) {
    warning = wxString::Format(
        "This NIfTI or Analyze file holds a volume of %lld dimensions (dim[0]).\n"
        "Currently Norvelith only supports three-dimensional volumes.",
        static_cast<long long>(h.dim[0]));
    return -1;
  }
  if ((h.bitpix != 8 && h.bitpix != 16 && h.bitpix != 32) ||
      (dt != 2 && dt != 4 && dt != 8 && dt != 16 && dt != 512)) {
    warning = kUnsupported;
    return -1;
  }
  info.bytes_per_sample = h.bitpix / 8;
  info.is_signed = dt == 4 || dt == 8;
  info.is_float = dt == 16;
  if (info.is_signed || info.is_float) info.intercept -= 32768.0 * info.slope;

  // Sizes: every frame must fit the program's 32-bit pixel counts.
  for (int i = 1; i <= 3; ++i)
    if (h.dim[i] < 1 || h.dim[i] > std::numeric_limits<int32_t>::max()) {
      warning = wxString::Format("This NIfTI or Analyze file has an impossible size: dim[%d] is %lld.",
                                 i, static_cast<long long>(h.dim[i]));
      return -1;
    }
  if (h.dim[1] * h.dim[2] > std::numeric_limits<int32_t>::max()) {
    warning = wxString::Format(
        "This NIfTI or Analyze file has an impossible size: dim[1] x dim[2] is %lld.",
        static_cast<long long>(h.dim[1] * h.dim[2]));
    return -1;
  }
  info.columns = int32_t(h.dim[1]);
  info.rows = int32_t(h.dim[2]);
  info.frames = int32_t(h.dim[3]);

  // Offsets: 64-bit, and the end of the last slice must be a file position.
  if (h.vox_offset == std::numeric_limits<int64_t>::min()) {
    warning = "This NIfTI or Analyze file has an impossible data offset (vox_offset).";
    return -1;
  }
  if (h.vox_offset >= 0) {
    info.data_offset = h.vox_offset;
  } else {
    info.gap = -h.vox_offset;
  }
  if (info.nifti && !info.separate && info.data_offset < int64_t(size) + 4) {
    info.data_offset = int64_t(size) + 4;
    info.gap = 0;
  }
  const int64_t limit = std::numeric_limits<int64_t>::max() / 4;
  const int64_t stride = info.slice_bytes() + info.gap;
  if (info.data_offset > limit || info.gap > limit || stride > limit / info.frames ||
      info.data_offset + info.gap > limit - stride * info.frames) {
    warning = wxString::Format(
        "This NIfTI or Analyze file has an impossible data offset: vox_offset is %lld.",
        static_cast<long long>(h.vox_offset));
    return -1;
  }

  // Geometry. NIfTI gives the spatial unit in the low three bits of
  // xyzt_units (1 metres, 2 millimetres, 3 micrometres; 0 unknown, taken as
  // millimetres); Analyze sizes are millimetres.
  const int spatial = info.nifti ? (h.xyzt_units & 0x07) : 2;
  const double mm = spatial == 1 ? 1000.0 : spatial == 3 ? 0.001 : 1.0;
  for (int i = 0; i < 3; ++i) info.voxel_cm[i] = h.pixdim[i + 1] * mm / 10;
  const double unit = 10.0 / mm;  // file units per centimetre
  if (info.nifti) {
    bool use_sform;
    if (h.qform_code <= 0)
      use_sform = true;
    else if (h.qform_code == 1)
      use_sform = false;
    else
      use_sform = h.sform_code == 1;
    if (use_sform) {
      if (h.sform_code >= 1) {
        info.column_axis = divided({h.srow[0][0], h.srow[1][0], h.srow[2][0]}, h.pixdim[1]);
        info.row_axis = divided({h.srow[0][1], h.srow[1][1], h.srow[2][1]}, h.pixdim[2]);
        info.slice_axis = divided({h.srow[0][2], h.srow[1][2], h.srow[2][2]}, h.pixdim[3]);
        info.origin_cm = {h.srow[0][3] / unit, h.srow[1][3] / unit, h.srow[2][3] / unit};
      }
    } else {
      quaternion_axes(h, info);
      info.origin_cm = {h.qoffset[0] / unit, h.qoffset[1] / unit, h.qoffset[2] / unit};
    }
    // The file's world has x and y of the opposite sign to patient coordinates.
    for (vec3_t* v : {&info.column_axis, &info.row_axis, &info.slice_axis, &info.origin_cm}) {
      v->x = -v->x;
      v->y = -v->y;
    }
    info.patient_coordinates = h.qform_code == 1 || h.sform_code == 1;
  }
  return 1;
}
