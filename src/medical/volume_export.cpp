// create_voxel_data: the loaded stack of evenly spaced frames written as a
// NIfTI-1 or NRRD volume, either the image data or the objects' labels
// filled from the scanline crossings of their surfaces. 16-bit data keep
// their raw values (signed ones as signed values); NIfTI carries the slope
// and intercept, NRRD cannot, and says so when its values need them. Files
// are written beside their targets and renamed into place only when
// complete, so a failed or cancelled export leaves what was there.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include <sys/stat.h>

#include <wx/filefn.h>
#include <wx/log.h>
#include <wx/stopwatch.h>
#include <wx/wfstream.h>
#include <wx/zstream.h>

#include "data/file_save.h"
#include "data/data_io_ui.h"
#include "data/data_line_procs.h"
#include "data/geometry.h"
#include "medical/dicom_utility.h"
#include "medical/reader_state.h"
#include "registry/res_values.h"

namespace {

void export_warning(const wxString& text) { wxLogWarning("dicom_utility::create_voxel_data: %s", text); }

double read_double(const wchar_t* name, double fallback) {
  auto* r = find_resource<double_res_t>(name);
  return r ? r->read() : fallback;
}
int32_t read_long(const wchar_t* name, int32_t fallback) {
  auto* r = find_resource<long_res_t>(name);
  return r ? r->read() : fallback;
}
bool read_bool(const wchar_t* name, bool fallback) {
  auto* r = find_resource<bool_res_t>(name);
  return r ? r->read() : fallback;
}

// How voxel values are written.
enum class sample_kind { u8, u16, s16 };

struct export_plan_t {
  sample_kind kind = sample_kind::u8;
  int32_t offset = 0;            // stored = raw - offset, for 16-bit output
  double slope = 1, inter = 0;   // calibrated = slope x stored + inter
};

// The output sample type of image data: 8-bit data as their display bytes;
// 16-bit data whose intercept is exactly the signed offset (-32768 x slope)
// as signed values raw - 32768; for NRRD, any other negative intercept as
// signed values raw - o (o the intercept's whole part); else the unsigned
// raw values.
export_plan_t plan_samples(bool eight_bit, bool calibrated_8bit, int format, double slope,
                           double intercept) {
  export_plan_t p;
  if (eight_bit) {
    if (calibrated_8bit) {
      p.slope = slope;
      p.inter = intercept;
    }
    return p;
  }
  p.slope = slope;
  if (intercept == -32768.0 * slope) {
    p.kind = sample_kind::s16;
    p.offset = 32768;
  } else if (format == 1 && intercept < 0) {
    p.kind = sample_kind::s16;
    p.offset = int32_t(std::min(-intercept, 2147483647.0));
  } else {
    p.kind = sample_kind::u16;
  }
  p.inter = intercept + slope * p.offset;
  return p;
}

template <class T>
void put(std::string& h, size_t at, T v) {
  std::memcpy(&h[at], &v, sizeof v);
}

std::string nifti_header(int32_t w, int32_t hgt, int32_t frames, const export_plan_t& plan, double xs,
                         double ys, double zs, const matrix4_t& m, double centre, double window,
                         bool labels) {
  std::string h(352, '\0');
  put<int32_t>(h, 0, 348);
  put<int32_t>(h, 32, 16384);
  h[38] = 'r';
  const int16_t dim[8] = {3, int16_t(w), int16_t(hgt), int16_t(frames), 0, 0, 0, 0};
  std::memcpy(&h[40], dim, sizeof dim);
  if (labels) put<int16_t>(h, 68, 1002);  // intent: label values
  const bool eight = plan.kind == sample_kind::u8;
  const int16_t datatype = eight ? 2 : plan.kind == sample_kind::s16 ? 4 : 512;
  put<int16_t>(h, 70, datatype);
  put<int16_t>(h, 72, int16_t(eight ? 8 : 16));
  const float qfac = zs < 0 ? -1.0f : 1.0f;
  const float pixdim[8] = {qfac, float(xs * 10), float(ys * 10), float(std::fabs(zs) * 10), 0, 0, 0, 0};
  std::memcpy(&h[76], pixdim, sizeof pixdim);
  put<float>(h, 108, 352.0f);
  put<float>(h, 112, float(plan.slope));
  put<float>(h, 116, float(plan.inter));
  h[123] = 2;
  put<float>(h, 124, eight ? 255.0f : float(centre + window / 2));
  put<float>(h, 128, eight ? 0.0f : float(centre - window / 2));
  const std::string descrip = "Converted from Norvelith v7.27";
  std::memcpy(&h[148], descrip.data(), descrip.size());
  put<int16_t>(h, 252, 1);
  put<int16_t>(h, 254, 1);
  // From the program's frame axes (cm) to NIfTI's RAS millimetres.
  const vec3_t a = matrix4_get_x_axis(m), b = matrix4_get_y_axis(m), c = matrix4_get_z_axis(m);
  const vec3_t t = matrix4_get_translation(m);
  matrix4_t r;
  matrix4_identity(r);
  const vec3_t cols[3] = {{-a.x, -a.y, a.z}, {-b.x, -b.y, b.z}, {-c.x, -c.y, c.z}};
  for (int k = 0; k < 3; ++k) {
    r[k * 4 + 0] = cols[k].x;
    r[k * 4 + 1] = cols[k].y;
    r[k * 4 + 2] = cols[k].z;
  }
  double qa, qb, qc, qd;
  matrix4_to_quaternion(r, qa, qb, qc, qd);
  put<float>(h, 256, float(qb));
  put<float>(h, 260, float(qc));
  put<float>(h, 264, float(qd));
  const double off[3] = {-t.x * 10, -t.y * 10, t.z * 10};
  for (int k = 0; k < 3; ++k) put<float>(h, 268 + 4 * size_t(k), float(off[k]));
  const double scale[3] = {pixdim[1], pixdim[2], double(qfac) * pixdim[3]};
  for (int row = 0; row < 3; ++row) {
    for (int k = 0; k < 3; ++k) put<float>(h, 280 + 16 * size_t(row) + 4 * size_t(k), float(r[k * 4 + row] * scale[k]));
    put<float>(h, 280 + 16 * size_t(row) + 12, float(off[row]));
  }
  h[344] = 'n';
  h[345] = '+';
  h[346] = '1';
  return h;
}

// Adding 0 turns -0 into 0, so that "-0.00000000" is never printed.
vec3_t no_negative_zero(vec3_t v) { return {v.x + 0.0, v.y + 0.0, v.z + 0.0}; }

std::string nrrd_header(int32_t w, int32_t hgt, int32_t frames, const export_plan_t& plan, double xs,
                        double ys, double zs, const matrix4_t& m, const wxString& data_file) {
  const vec3_t a = no_negative_zero(matrix4_get_x_axis(m) * (xs * 10));
  const vec3_t b = no_negative_zero(matrix4_get_y_axis(m) * (ys * 10));
  const vec3_t c = no_negative_zero(matrix4_get_z_axis(m) * (zs * 10));
  const vec3_t t = no_negative_zero(matrix4_get_translation(m) * 10.0);
  const char* type = plan.kind == sample_kind::u8 ? "uchar" : plan.kind == sample_kind::u16 ? "ushort"
                                                                                     : "short";
  wxString s;
  s << "NRRD0004\r\n# Converted from Norvelith v7.27\r\n";
  s << "type: " << type << "\r\n";
  s << "dimension: 3\r\n";
  s << wxString::Format("sizes: %li %li %li\r\n", long(w), long(hgt), long(frames));
  s << "endian: little\r\n";
  s << (dicom_utility::patient_coordinates ? "space: left-posterior-superior\r\n" : "space: scanner-xyz\r\n");
  s << "kinds: space space space\r\n";
  s << "space units: \"mm\" \"mm\" \"mm\"\r\n";
  s << wxString::Format("# spacings: (%.8lf,%.8lf,%.8lf)\r\n", xs * 10, ys * 10, std::fabs(zs * 10));
  s << wxString::Format("space origin: (%.8lf,%.8lf,%.8lf)\r\n", t.x, t.y, t.z);
  s << wxString::Format("space directions: (%.8lf,%.8lf,%.8lf) (%.8lf,%.8lf,%.8lf) (%.8lf,%.8lf,%.8lf)\r\n",
                        a.x, a.y, a.z, b.x, b.y, b.z, c.x, c.y, c.z);
  if (!data_file.empty())
    s << "encoding: gz\r\ndata file: " << data_file << "\r\n\r\n";
  else
    s << "encoding: raw\r\n\r\n";
  return std::string(s.ToUTF8());
}

// One output file of the export's batch: written beside its target, put in
// place with the others only when all are complete.
struct pending_file {
  save_batch* batch = nullptr;
  int k = -1;
  std::unique_ptr<save_output_stream> file;
  std::unique_ptr<wxZlibOutputStream> gz;
  wxOutputStream* out = nullptr;

  // rank: the file renamed last (the header, which names the data file) gets
  // the higher rank.
  bool open(save_batch& files, const wxString& path, bool gzip, int rank) {
    batch = &files;
    k = files.add(path, rank);
    if (k < 0) return false;
    file = std::make_unique<save_output_stream>(files, k);
    out = file.get();
    if (gzip) {
      gz = std::make_unique<wxZlibOutputStream>(*file, -1, wxZLIB_GZIP);
      out = gz.get();
    }
    return true;
  }
  bool write(const void* data, size_t n) {
    out->Write(data, n);
    return out->IsOk() && out->LastWrite() == n;
  }
  bool close() {
    bool ok = true;
    if (gz) ok = gz->Close() && ok;
    if (file) ok = file->IsOk() && ok;
    gz.reset();
    file.reset();
    return ok && (k < 0 || batch->finish(k));
  }
  void discard() {
    gz.reset();
    file.reset();
  }
};

// The objects a label export covers, in the order they are filled.
std::vector<int> exported_objects(int what) {
  // Object 200 (the shape model's) is the last that holds a surface.
  const int32_t count = std::clamp<int32_t>(read_long(L"CURRENT_MAX_OBJECTS", 200), 0, 201);
  std::vector<int> objects;
  for (int o = 0; o < count; ++o)
    if (what == -1 || what == o) objects.push_back(o);
  return objects;
}

}  // namespace

dicom_utility::surface_crossings_fn dicom_utility::surface_crossings = nullptr;
long dicom_utility::export_progress_delay_ms = 250;
long dicom_utility::export_progress_interval_ms = 100;

void dicom_utility::fill_label_spans(const std::vector<std::vector<int32_t>>& rows, uint8_t label,
                                     uint8_t* plane, int32_t width, int32_t height) {
  const size_t n = std::min(rows.size(), size_t(std::max(height, 0)));
  for (size_t r = 0; r < n; ++r) {
    const std::vector<int32_t>& x = rows[r];
    uint8_t* row = plane + r * size_t(width);
    for (size_t k = 0; k + 1 < x.size(); k += 2) {
      const int32_t x0 = std::max(x[k], 0), x1 = std::min(x[k + 1], width - 1);
      if (x0 <= x1) std::memset(row + x0, label, size_t(x1 - x0) + 1);
    }
  }
}

bool dicom_utility::create_voxel_data(wxFileName name, int format, int what) {
  const wxString target = name.GetFullPath();
  const int32_t frames = read_long(L"RES_BUF_FRAMES", 0);
  if (format != 0 && format != 1) {
    export_warning(wxString::Format("%s: volumes are written as NIfTI or NRRD only.", target));
    return false;
  }
  if (frames < 1) {
    export_warning(wxString::Format("%s: there are no frames to write.", target));
    return false;
  }
  if (!read_bool(L"RES_POS_REC", true)) {
    export_warning(wxString::Format(
        "%s: the frames have no recorded positions (the file they came from gives neither image "
        "position nor slice location), so they do not form a volume.",
        target));
    return false;
  }
  const double zs = read_double(L"RES_ZSCALE", 0);
  if (zs == 0) {
    export_warning(target + ": Only regular data arrays can be saved in this format.\nTry using "
                            "`export resliced data' first.");
    return false;
  }
  const bool labels = what > -2;
  const int32_t w = read_long(L"RES_BUF_WIDTH", 0), h = read_long(L"RES_BUF_HEIGHT", 0);
  if (!frame_store || w < 1 || h < 1 || w > 32767 || h > 32767 || frames > 32767 ||
      frame_store->images.size() < size_t(frames) || frame_store->positions.empty() ||
      !frame_store->positions[0]) {
    export_warning(wxString::Format("%s: the loaded frames do not form a volume of %li x %li x %li.",
                                    name.GetFullPath(), long(w), long(h), long(frames)));
    return false;
  }
  const size_t plane = size_t(w) * size_t(h);
  const bool dicom = read_bool(L"RES_BUF_DICOM", false);
  const bool eight_bit = labels || !dicom || data_8bit;
  const double slope = read_double(L"RES_DICOM_HUM", 1), intercept = read_double(L"RES_DICOM_HUB", 0);
  for (int32_t f = 0; !labels && f < frames; ++f) {
    const frame_image_ref img = frame_store->imagecp(f);
    if (!img || (eight_bit ? !frame_image_t::display_data(img) : !img->raw)) {
      export_warning(wxString::Format("%s: frame %li holds no %s values; nothing was written.",
                                      name.GetFullPath(), long(f), eight_bit ? "display" : "16-bit"));
      return false;
    }
  }
  const export_plan_t plan = plan_samples(eight_bit, !labels && dicom && data_8bit, format, slope, intercept);
  matrix4_t m;
  matrix4_from_position_t(m, *frame_store->positions[0]);
  const double xs = read_double(L"RES_XSCALE", 0.01), ys = read_double(L"RES_YSCALE", 0.01);

  const wxString path = name.GetFullPath();
  const wxString ext = name.GetExt();
  save_batch files;
  pending_file header, data;
  bool ok;
  if (format == 0) {
    ok = header.open(files, path, ext.EndsWith("gz"), 1);
    if (!ok) {
      header.discard();
      export_warning(wxString::Format("Couldn't open NIfTI file `%s' for writing.\n", path));
      return false;
    }
    const std::string hdr = nifti_header(w, h, frames, plan, xs, ys, zs, m,
                                         read_double(L"RES_DICOM_WIN_CENTRE", 1024),
                                         read_double(L"RES_DICOM_WIN_WIDTH", 2048), labels);
    ok = header.write(hdr.data(), hdr.size());
  } else {
    const bool detached = ext.EndsWith("nhdr");
    wxString data_name;
    if (detached) data_name = name.GetName() + ".raw.gz";
    ok = header.open(files, path, false, 1);
    if (!ok) {
      header.discard();
      export_warning(wxString::Format("Couldn't open NRRD file `%s' for writing.\n", path));
      return false;
    }
    const std::string hdr = nrrd_header(w, h, frames, plan, xs, ys, zs, m, data_name);
    ok = header.write(hdr.data(), hdr.size());
    if (ok && detached) {
      const wxString data_path = wxFileName(name.GetPath(), data_name).GetFullPath();
      ok = data.open(files, data_path, true, 0);
      if (!ok) {
        header.discard();
        data.discard();
        export_warning(wxString::Format("Couldn't open NRRD file `%s' for writing.\n", data_path));
        return false;
      }
    }
  }
  pending_file& out = data.out ? data : header;

  std::unique_ptr<data_progress> progress;
  const bool show_progress = !read_bool(L"RES_IN_SCRIPT", false);
  bool cancelled = false;
  wxStopWatch watch;
  std::vector<uint8_t> row(size_t(w) * 2);
  int64_t clamped = 0;
  std::vector<uint8_t> mask(labels ? plane : 0);
  const std::vector<int> objects = labels ? exported_objects(what) : std::vector<int>();
  std::vector<std::vector<int32_t>> crossings;
  for (int32_t f = 0; ok && f < frames; ++f) {
    if (show_progress) {
      const wxString text = wxString::Format("Currently exporting frame %li of %li.\n", long(f), long(frames));
      if (!progress && watch.Time() > export_progress_delay_ms && f < frames / 4) {
        progress = current_data_ui().start_progress(
            "Exporting data", text, frames,
            data_io_ui::PROGRESS_MODAL | data_io_ui::PROGRESS_TIMES | data_io_ui::PROGRESS_CANCEL);
        progress->update(f, text);
        watch.Start();
      } else if (progress && watch.Time() > export_progress_interval_ms) {
        progress->update(f, text);
        watch.Start();
      }
      if (progress && progress->cancelled()) {
        cancelled = true;
        break;
      }
    }
    if (labels) {
      std::fill(mask.begin(), mask.end(), uint8_t(0));
      for (int o : objects) {
        crossings.clear();
        // No surface, or no plane for this frame: the object adds nothing here.
        if (surface_crossings && surface_crossings(o, f, crossings))
          fill_label_spans(crossings, uint8_t(o + 1), mask.data(), w, h);
      }
      ok = out.write(mask.data(), plane);
      continue;
    }
    const frame_image_ref img = frame_store->imagecp(f);
    if (plan.kind == sample_kind::u8) {
      const uint8_t* d = frame_image_t::display_data(img);
      ok = d && out.write(d, plane);
      continue;
    }
    const uint16_t* raw = img->raw;
    for (int32_t y = 0; ok && y < h; ++y) {
      const uint16_t* r = raw + size_t(y) * size_t(w);
      uint8_t* o = row.data();
      for (int32_t x = 0; x < w; ++x) {
        int64_t v = int64_t(r[x]) - plan.offset;
        // Values beyond the signed range are held at its ends, not wrapped.
        if (plan.kind == sample_kind::s16 && (v < -32768 || v > 32767)) {
          v = std::clamp<int64_t>(v, -32768, 32767);
          ++clamped;
        }
        *o++ = uint8_t(uint64_t(v));
        *o++ = uint8_t(uint64_t(v) >> 8);
      }
      ok = out.write(row.data(), size_t(o - row.data()));
    }
  }
  progress.reset();
  if (cancelled) {
    header.discard();
    data.discard();
    files.abandon();
    data_report(wxLOG_Message, wxString::Format("Exporting `%s' was cancelled; no file was changed.\n", path));
    return false;
  }
  ok = ok && header.close() && data.close();
  // The pair goes into place only when both are complete: the data file
  // first, then the header that names it.
  ok = ok && files.commit();
  if (!ok) {
    header.discard();
    data.discard();
    files.abandon();
    export_warning(wxString::Format("Writing `%s' failed (is the disk full?); no file was changed.\n", path));
    return false;
  }
  if (clamped > 0)
    export_warning(wxString::Format(
        "%s: %lld voxels lie outside the range of signed 16-bit values and were written as "
        "-32768 or 32767.",
        path, static_cast<long long>(clamped)));
  // NRRD has no rescale fields: its values are the calibrated ones only for
  // slope 1 and intercept 0.
  if (format == 1 && !labels && (plan.slope != 1.0 || plan.inter != 0.0))
    export_warning(wxString::Format(
        "%s: NRRD cannot carry the calibration of these data: the calibrated values are %g x the "
        "written value %+g; that slope and intercept are left out of the file.",
        path, plan.slope, plan.inter));
  return true;
}
