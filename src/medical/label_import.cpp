// Objects from NIfTI and Analyze label volumes made on the loaded data: each
// slice is placed on the frame it lies on, and the regions of every label
// are traced there into the label's object. The volume is read once, slice
// by slice; the contours wait per frame until the user has agreed.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include <wx/filefn.h>
#include <wx/log.h>

#include "data/contour.h"
#include "data/data_io_ui.h"
#include "data/dynabuf.h"
#include "data/geometry.h"
#include "data/objects.h"
#include "medical/dicom_utility.h"
#include "medical/object_import_support.h"
#include "medical/volume_headers.h"
#include "medical/volume_reader_support.h"
#include "registry/resource_table.h"

namespace {

void warn(const wxString& text) { wxLogWarning("%s", text); }

// One loaded frame: the highest label of the slices placed on it and the
// contours of its last slice, set L - 1 holding label L's.
struct frame_labels_t {
  int32_t highest = 0;
  std::vector<frame_contours_t> sets;
  bool traced = false;
};

// The pixels a label byte covers in one slice; x1 < 0 while it covers none.
struct box_t {
  int32_t x0 = 0, y0 = 0, x1 = -1, y1 = -1;
  void add(int32_t x, int32_t y) {
    if (x1 < 0) {
      x0 = x1 = x;
      y0 = y1 = y;
      return;
    }
    x0 = std::min(x0, x);
    x1 = std::max(x1, x);
    y0 = std::min(y0, y);
    y1 = std::max(y1, y);
  }
};

// Label bytes of 8-bit samples (the sample plus 1, 0 for background); the
// highest sample.
uint8_t byte_labels(const uint8_t* __restrict src, uint8_t* __restrict dst, size_t n) {
  uint8_t high = 0;
  for (size_t i = 0; i < n; ++i) {
    const uint8_t v = src[i];
    high = v > high ? v : high;
    dst[i] = uint8_t(v + (v != 0));
  }
  return high;
}

// round(v), halves away from zero, as a 32-bit label; values that are no
// number or beyond 32 bits give -1, which refuses the file.
int32_t label_of(double v) {
  if (!std::isfinite(v)) return -1;
  const double r = std::round(v);
  if (r < double(std::numeric_limits<int32_t>::min()) || r > double(std::numeric_limits<int32_t>::max()))
    return -1;
  return int32_t(r);
}

template <class T>
T read_le(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// The file's name up to its first dot: liver.nii.gz and liver.hdr give liver.
wxString base_name(const wxFileName& file) {
  const wxString name = file.GetName();
  const int dot = name.Find('.');
  return dot == wxNOT_FOUND ? name : name.Left(size_t(dot));
}

}  // namespace

int dicom_utility::read_hdr_object_data(wxFileName file) {
  resource_table_t* t = resource_table;
  if (!t || !frame_store) return 0;
  const int32_t frames = t->RES_BUF_FRAMES->read();
  const double zscale = t->RES_ZSCALE->read();
  if (frames <= 0 || zscale == 0 || !t->RES_POS_REC->read() || frame_store->positions.empty() ||
      !frame_store->positions[0])
    return 0;
  const int32_t current = t->CURRENT_OBJECT->read();
  contour_object* objects = t->RES_OBJECT->read();
  if (!objects || current < 0 || current >= NUM_USER_OBJECTS) return 0;
  const wxString path = file.GetFullPath();
  if (!wxFileExists(path)) return 0;

  // The header, by the volume reader's rules.
  const bool gz = file.GetExt().Lower() == "gz";
  volume_stream in;
  uint8_t buf[544] = {};
  if (!in.open(path, 0, gz) || !in.read(buf, 348)) return 0;
  size_t header_bytes = 348;
  int32_t size = 0;
  std::memcpy(&size, buf, 4);
  if (size == 540) {
    if (!in.open(path, 0, gz) || !in.read(buf, 544)) return 0;
    header_bytes = 544;
  } else if (size != 348) {
    return 0;
  }
  nifti_info_t h;
  wxString why;
  const int r = parse_nifti_header(buf, header_bytes, gz, h, why);
  if (r == 0) {
    warn("This is not a NIfTI or Analyze file.");
    return 0;
  }
  if (r < 0) {
    warn(why);
    return 0;
  }
  // Labels are the samples as stored: undo the reader's offset of signed values.
  double intercept = h.intercept;
  if (h.is_signed || h.is_float) intercept += 32768.0 * h.slope;

  // The volume must have been made on the loaded data.
  matrix4_t frame0;
  matrix4_from_position_t(frame0, *frame_store->positions[0]);
  const vec3_t n0 = vec3_normalise(matrix4_get_z_axis(frame0));
  const vec3_t t0 = matrix4_get_translation(frame0);
  const int32_t width = t->RES_BUF_WIDTH->read(), height = t->RES_BUF_HEIGHT->read();
  const double xscale = t->RES_XSCALE->read(), yscale = t->RES_YSCALE->read();
  const vec3_t normal = vec3_cross(h.column_axis, h.row_axis);
  if (h.columns != width || h.rows != height || !(xscale > 0) || !(yscale > 0) ||
      std::fabs(h.voxel_cm[0] / xscale - 1) > 0.00001 || std::fabs(h.voxel_cm[1] / yscale - 1) > 0.00001 ||
      vec3_dot(normal, n0) < 0.9999) {
    warn("This NIfTI or Analyze file contains data with a different image size,\nscale or "
         "orientation to the currently loaded data.");
    return 0;
  }
  if (!label_tracer) {
    warn("Contours cannot be traced in this program, so label volumes cannot be imported.");
    return 0;
  }

  if (h.separate) {
    wxFileName data_name(file);
    data_name.SetExt("img");
    const wxString data_path = data_name.GetFullPath();
    if (!wxFileExists(data_path) || !in.open(data_path, 0, false)) {
      warn(wxString::Format("The detached NIfTI or Analyze data file '%s' does not exist or is not openable.",
                            data_path));
      return 0;
    }
  } else if (!in.open(path, 0, gz)) {
    return 0;
  }

  const size_t pixels = size_t(width) * size_t(height);
  const size_t slice_bytes = pixels * size_t(h.bytes_per_sample);
  std::vector<uint8_t> raw, labels, work;
  std::vector<frame_labels_t> records;
  try {
    raw.resize(slice_bytes);
    labels.resize(pixels);
    work.resize(pixels);
    records.resize(size_t(frames));
  } catch (const std::bad_alloc&) {
    warn("There is not enough memory to import this NIfTI or Analyze file.");
    return 0;
  }
  const double tolerance = t->RES_SIMPLIFY_THRESH->read() / 10.0;
  int32_t result = 0;
  int64_t lowest = 0;
  bool not_aligned = false;
  bool ok = in.skip(h.data_offset);
  if (!ok) {
    warn("Unable to read data from NIfTI or Analyze file.");
    lowest = -1;
  }

  import_progress progress("Importing objects from NIfTI or Analyze file");
  std::vector<box_t> boxes(256);
  for (int32_t k = 0; ok && k < h.frames; ++k) {
    if (!progress.step(k, h.frames,
                       wxString::Format("Currently importing frame %li of %li.\n", long(k), long(h.frames))))
      break;
    const vec3_t p = h.origin_cm + vec3_scalar_mul(double(k) * h.voxel_cm[2], h.slice_axis);
    double at = vec3_dot(p - t0, n0) / zscale;
    // Geometry kept in single precision lands a hair off a whole frame:
    // taken as that frame, so that a volume written from these frames
    // comes back onto them.
    if (std::fabs(at - std::round(at)) <= 0.001) at = std::round(at);
    const double index = std::trunc(at);
    const bool placed = std::isfinite(index) && index >= 0 && index < frames;
    if (!placed) not_aligned = true;
    const int32_t frame = placed ? int32_t(index) : -1;

    // Every slice has the gap before it.
    if (!in.skip(h.gap) || !in.read(raw.data(), int64_t(slice_bytes))) {
      warn("Unable to read data from NIfTI or Analyze file.");
      lowest = -1;
      break;
    }
    if (!placed) continue;
    frame_labels_t& rec = records[size_t(frame)];
    int32_t slice_low = 0, slice_high = 0;
    for (box_t& bx : boxes) bx = box_t();
    if (h.bytes_per_sample == 1) {
      // Bytes are the labels themselves.
      slice_high = byte_labels(raw.data(), labels.data(), pixels);
    } else {
      for (size_t i = 0; i < pixels; ++i) {
        const uint8_t* s = raw.data() + i * size_t(h.bytes_per_sample);
        double v;
        if (h.bytes_per_sample == 2)
          v = h.is_signed ? double(read_le<int16_t>(s)) : double(read_le<uint16_t>(s));
        else
          v = h.is_float ? double(read_le<float>(s)) : double(read_le<int32_t>(s));
        const int32_t label = label_of(v * h.slope + intercept);
        slice_low = std::min(slice_low, label);
        slice_high = std::max(slice_high, label);
        labels[i] = label != 0 ? uint8_t((label + 1) & 0xFF) : 0;
      }
    }
    // Where each label lies, passing over runs of background eight at a time.
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* row = labels.data() + size_t(y) * size_t(width);
      int32_t x = 0;
      while (x < width) {
        if (x + 8 <= width) {
          uint64_t word;
          std::memcpy(&word, row + x, 8);
          if (word == 0) {
            x += 8;
            continue;
          }
        }
        const uint8_t v = row[x];
        if (!v) {
          ++x;
          continue;
        }
        // A run of one label adds only its ends.
        const int32_t start = x;
        while (x + 1 < width && row[x + 1] == v) ++x;
        boxes[v].add(start, y);
        boxes[v].add(x, y);
        ++x;
      }
    }
    lowest = std::min<int64_t>(lowest, slice_low);
    rec.highest = std::max(rec.highest, slice_high);
    result = std::max(result, rec.highest);
    if (lowest < 0 || int64_t(current) + result > NUM_USER_OBJECTS) break;

    const int32_t highest = rec.highest;
    if (highest <= 0) continue;
    rec.sets.assign(size_t(highest), frame_contours_t());
    rec.traced = true;
    // Each label's regions alone, traced within their bounding box and a
    // margin of one pixel (the image's edge where the box meets it).
    for (int32_t l = 1; l <= highest && l < 255; ++l) {
      const uint8_t v = uint8_t(l + 1);
      const box_t& bx = boxes[v];
      if (bx.x1 < 0) continue;
      const int32_t x0 = std::max(bx.x0 - 1, 0), y0 = std::max(bx.y0 - 1, 0);
      const int32_t cw = std::min(bx.x1 + 1, width - 1) - x0 + 1, ch = std::min(bx.y1 + 1, height - 1) - y0 + 1;
      for (int32_t y = 0; y < ch; ++y) {
        const uint8_t* src = labels.data() + size_t(y0 + y) * size_t(width) + size_t(x0);
        uint8_t* dst = work.data() + size_t(y) * size_t(cw);
        for (int32_t x = 0; x < cw; ++x) dst[x] = src[x] == v ? v : 0;
      }
      frame_contours_t& set = rec.sets[size_t(highest == 1 ? 0 : l - 1)];
      const size_t before = set.contours.size();
      label_tracer(work.data(), cw, ch, highest, rec.sets.data(), tolerance);
      for (size_t c = before; c < set.contours.size(); ++c)
        for (vec2_t& p : set.contours[c].vertices) {
          p.x += x0;
          p.y += y0;
        }
    }
  }
  in.close();

  if (lowest < 0 || int64_t(current) + result > NUM_USER_OBJECTS) {
    warn("This NIfTI or Analyze file does not appear to contain categorical data.\nOr there are more "
         "labels than available objects.");
    return 0;
  }
  if (result <= 0) return 0;

  data_io_ui& ui = current_data_ui();
  if (!t->RES_EXPERT_MODE->read() && result > 30 &&
      !ui.ask_yes_no("", wxString::Format("There are %li different labels.\nStill continue to create "
                                          "objects from this file?",
                                          long(result))))
    return 0;
  const wxString base = base_name(file);
  std::vector<wxString> names;
  for (int32_t i = 0; i < result; ++i)
    names.push_back(result == 1 ? base : wxString::Format("%s label %i", base, i + 1));
  const wxString lines = overwrite_lines(current, names);
  if (!lines.empty() &&
      !ui.ask_yes_no("Import NIfTI or Analyze file",
                     "Loading this NIfTI or Analyze file will overwrite the contours in the following "
                     "object(s):\n" + lines + "Do you want to continue?"))
    return 0;

  if (not_aligned)
    warn("There are some problems loading contours from this file:\n - some planar contours do not "
         "align with any of the images in the data\n");

  import_commit commit;
  for (int32_t i = 0; i < result; ++i) {
    contour_object& o = objects[current + i];
    o.reset();
    o.opacity = 1.0;
    commit.drop_surface(current + i);
    o.name = names[size_t(i)];
  }
  for (int32_t f = 0; f < frames; ++f) {
    frame_labels_t& rec = records[size_t(f)];
    if (!rec.traced) continue;
    for (size_t j = 0; j < rec.sets.size(); ++j) {
      for (const contour_t& c : rec.sets[j].contours) objects[current + int32_t(j)].add_contour(f, c);
      rec.sets[j].contours.clear();
    }
  }
  commit.commit();
  return result;
}
