#include "views/reslice_export.h"

#include "data/file_save.h"

#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/filename.h>

#include <cmath>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "data/data_io_ui.h"
#include "data/data_line_procs.h"
#include "data/data_lines.h"
#include "data/file_menu.h"
#include "data/file_menu_ui.h"
#include "data/landmarks.h"
#include "data/native_file.h"
#include "data/objects.h"
#include "registry/resource_table.h"
#include "surfaces/surface_interp.h"
#include "surfaces/surface_section.h"
#include "views/reslice_internals.h"

namespace {

void report_error(const wxString& text) { current_data_ui().message(wxLOG_Error, text); }

// Whole mebibytes of width x height x slices bytes, without overflow.
double mebibytes(int32_t width, int32_t height, double slices) {
  const double bytes = static_cast<double>(width) * height * slices;
  return std::floor(bytes / 1048576.0);
}

// "%g" form; a negative zero is written as 0.
wxString g(double v) { return wxString::Format("%g", v == 0.0 ? 0.0 : v); }

// The data file and its frame file, written beside their targets and put in
// place together (the data file last) only when both are complete.
struct file_pair {
  wxString data_path, frames_path;
  save_batch batch;
  int data = -1, frames = -1;
};

// Reduced building for the export, undone however the export ends: the
// builder samples only the pixels kept, and the plane goes back to its depth.
class export_scope {
 public:
  export_scope(reslice_internals& builder, int32_t step) : builder_(builder), plane_(*builder.plane()) {
    offset_ = plane_.offset;
    set_reslice_dynamic_steps(step, step);
    if (plane_.index < 0) builder_.set_pixel_step(step);
    resource_table->RES_DYNAMIC_UPDATE->write(step != 1);
    base_res_t::make_pending_writes_happen();
  }
  ~export_scope() {
    resource_table->RES_DYNAMIC_UPDATE->write(false);
    base_res_t::make_pending_writes_happen();
    if (plane_.index < 0) builder_.set_pixel_step(1);
    plane_.set_centre(plane_.centre + (plane_.offset - offset_) * plane_.normal, true);
  }

 private:
  reslice_internals& builder_;
  reslice_info& plane_;
  double offset_;
};

// The objects whose surface sections become contours of the written slices:
// those the plane views show sections of, every object with a surface that
// is not fully transparent. What a view happens to show at the moment (the
// page, the plane, its drawing toggles) does not change the file.
std::vector<int32_t> sectioned_objects() {
  const resource_table_t& t = *resource_table;
  const contour_object* objects = t.RES_OBJECT->read();
  const int32_t max_objects = std::min<int32_t>(t.CURRENT_MAX_OBJECTS->read(), NUM_OBJECTS);
  std::vector<int32_t> out;
  for (int32_t j = 0; objects && j < max_objects; ++j)
    if (t.RES_SURFACE[j]->read() && objects[j].opacity > 0.0) out.push_back(j);
  return out;
}

// One CONT line per contour of the surface's section by the plane moved to
// plane constant `constant`, for output frame `frame`: points in the plane's
// image pixels divided by the pixel step, the output frame's pixels.
void append_section_lines(wxString& text, const surface_interp& surface, const reslice_info& plane,
                          double constant, int32_t object, int32_t frame, int32_t step) {
  section_plane cut;
  cut.normal = plane.normal;
  cut.d = constant;
  cut.to_pixels = [&plane](const vec3_t& world) {
    vec3_t r;
    plane.world_to_reslice(&world, &r, 1);
    return vec2_t{r.x, r.y};
  };
  const std::unique_ptr<frame_contours_t> section = plane_cross_section(surface, cut, 1, 0.1);
  for (const contour_t& c : section->contours) {
    std::string line = "CONT " + std::to_string(object) + " " + std::to_string(frame) + (c.closed ? " 1" : " 0");
    for (const vec2_t& v : c.vertices) {
      line += ' ';
      append_fixed(line, v.x / step, 2);
      line += ' ';
      append_fixed(line, v.y / step, 2);
    }
    line += "\n";
    text << wxString::FromUTF8(line);
  }
}

}  // namespace

reslice_export_choice reslice_export_choice_at(int index, double pixel_size) {
  if (index < 8) return {index + 1, (index + 1) * pixel_size};
  return {1, (index - 7) * 0.1};
}

wxString reslice_export_choice_text(int index, int32_t width, int32_t height, double depth,
                                    double pixel_size) {
  if (index < 8) {
    const int i = index + 1;
    const double size = mebibytes(width, height, std::floor(depth / pixel_size) + 1) / (i * i * i);
    return wxString::Format("Resolution and spacing = %2li pixel widths       (size = %5.2fMb)",
                            static_cast<long>(i), size);
  }
  const int k = index - 7;
  const double size = mebibytes(width, height, std::floor(depth / 0.1) + 1) / k;
  return wxString::Format("Resolution = 1 pixel width, spacing = %2li mm   (size = %5.2fMb)",
                          static_cast<long>(k), size);
}

double reslice_export_depth(reslice_info& plane) {
  vec3_t max, min;
  plane.data_extent(0, resource_table->RES_BUF_FRAMES->read() - 1, max, min);
  return std::fabs(plane.extent_offset_max - plane.extent_offset_min);
}

bool file_export_voxels() {
  resource_table_t& t = *resource_table;
  reslice_info* planes = t.RESLICE->read();
  reslice_internals* builder = nullptr;
  for (int index : {0, 3, 2}) {
    builder = dynamic_cast<reslice_internals*>(planes[index].builder);
    if (builder) break;
  }
  if (!builder) return false;

  reslice_info& plane = *builder->plane();
  const double xs = t.RES_XSCALE->read();
  const double depth = reslice_export_depth(plane);
  std::vector<wxString> texts;
  for (int i = 0; i < kResliceExportChoices; ++i)
    texts.push_back(reslice_export_choice_text(i, plane.width, plane.height, depth, xs));
  file_menu_ui& ui = current_file_menu_ui();
  int index = 0;
  if (!ui.choose_one("Export voxel resolution",
                     "Resolution and slice spacing of output data\n(and approximate size in Mb)", texts,
                     index) ||
      index < 0 || index >= kResliceExportChoices)
    return false;

  file_dialog_request request;
  request.message = "Export resliced data as";
  request.folder = t.RES_ASCII_FILENAME->read().GetPath();
  request.wildcard = "Halmondo file|*.hm";
  request.save = true;
  file_dialog_result chosen;
  if (!ui.choose_file(request, chosen)) return false;
  return export_resliced_data(*builder, reslice_export_choice_at(index, xs), chosen.path);
}

bool export_resliced_data(reslice_internals& builder, const reslice_export_choice& choice,
                          const wxString& chosen) {
  resource_table_t& t = *resource_table;
  reslice_info& plane = *builder.plane();
  const double xs = t.RES_XSCALE->read();
  const int32_t s = choice.step;
  if (s < 1 || !(choice.spacing > 0.0) || !(xs > 0.0) || !plane.defined) {
    report_error("The reslice plane or the chosen resolution cannot be exported.");
    return false;
  }

  file_pair files;
  files.data_path = chosen;
  if (!file_name_part(chosen).Contains(".")) files.data_path += ".hm";
  files.frames_path = companion_path_for(files.data_path);
  if (!can_write_file(files.data_path) || !can_write_file(files.frames_path)) {
    report_error("Error opening file for writing.\n");
    return false;
  }

  const double depth = reslice_export_depth(plane);
  const int32_t width = plane.width, height = plane.height;
  const int32_t out_w = (width - 1) / s + 1, out_h = (height - 1) / s + 1;
  const double slices = std::floor(depth / choice.spacing) + 1;
  if (slices > 1e6) {
    report_error("The chosen slice spacing gives too many slices to export.");
    return false;
  }
  const int32_t count = static_cast<int32_t>(slices);
  const double z0 = std::min(plane.extent_offset_min, plane.extent_offset_max);

  files.frames = files.batch.add(files.frames_path, 0);
  files.data = files.frames < 0 ? -1 : files.batch.add(files.data_path, 1);
  if (files.data < 0) {
    report_error("Error opening file for writing.\n" + files.batch.error());
    return false;
  }

  // The output frames' orientation: image x, image y and the normal.
  const vec3_t n = vec3_normalise(plane.normal), up = vec3_normalise(plane.up);
  const vec3_t rr = vec3_cross(up, n);
  matrix4_t axes;
  matrix4_identity(axes);
  matrix4_set_x_axis(axes, rr);
  matrix4_set_y_axis(axes, up);
  matrix4_set_z_axis(axes, n);
  double px, py, pz, azimuth, elevation, roll;
  matrix4_to_position(axes, px, py, pz, azimuth, elevation, roll);

  wxString text;
  text << "RES_BUF_FRAMES " << wxString::Format("%li", static_cast<long>(count)) << "\n"
       << "RES_BUF_WIDTH " << wxString::Format("%li", static_cast<long>(out_w)) << "\n"
       << "RES_BUF_HEIGHT " << wxString::Format("%li", static_cast<long>(out_h)) << "\n"
       << "RES_POS_REC true\nRES_BUF_RF false\nRES_BUF_DICOM false\nRES_END_HEADER\n"
       << "RES_VERSION 7.27\n"
       << "RES_BUF_DOPPLER " << (t.RES_BUF_DOPPLER->read() ? "true" : "false") << "\n"
       << "RES_MASKED_DATA "
       << wxString::Format("%li", (t.RES_MASKED_DATA->read() > 0 || t.RES_BUF_DICOM->read()) ? 1L : 0L)
       << "\n"
       << "RES_XTRANS 0\nRES_YTRANS 0\nRES_ZTRANS 0\nRES_AZIMUTH 0\nRES_ELEVATION 0\nRES_ROLL 0\n"
       << "RES_XSCALE " << g(s * xs) << "\n"
       << "RES_YSCALE " << g(s * xs) << "\n";
  for (const landmark_t& l : t.RES_LANDMARKS->read()->items) {
    if (l.kind == LM_2D) continue;
    text << (l.kind == LM_FIDUCIAL ? "FIDUCIAL " : "LANDMARK ") << g(l.x) << " " << g(l.y) << " " << g(l.z)
         << " " << l.name << "\n";
  }
  const contour_object* objects = t.RES_OBJECT->read();
  const int32_t max_objects = std::min<int32_t>(t.CURRENT_MAX_OBJECTS->read(), NUM_OBJECTS);
  for (int32_t j = 0; j < max_objects; ++j) {
    if (!t.RES_SURFACE[j]->read()) continue;
    const contour_object& o = objects[j];
    text << "OBJECT " << j << " " << static_cast<int>(o.capped ? 1 : 0) << " "
         << static_cast<int>(o.colour.Red()) << " " << static_cast<int>(o.colour.Green()) << " "
         << static_cast<int>(o.colour.Blue()) << " " << wxString::Format("%.3lf", o.opacity) << " " << o.name
         << "\n";
  }
  text << "RES_BIN_IM_FILENAME " << file_name_part(files.frames_path) << "\n";
  const std::vector<int32_t> sectioned = sectioned_objects();

  std::unique_ptr<data_progress> progress = current_data_ui().start_progress(
      "Export resliced data",
      wxString::Format("Currently exporting slice %d to '%s'.\n", 0, files.frames_path), count,
      data_io_ui::PROGRESS_MODAL | data_io_ui::PROGRESS_TIMES);
  std::vector<uint8_t> slice;
  try {
    slice.resize(static_cast<size_t>(out_w) * out_h);
  } catch (const std::bad_alloc&) {
    report_error("Error allocating buffer for saving voxel slice.\n");
    return false;
  }
  bool ok = true;
  {
    export_scope scope(builder, s);
    for (int32_t k = 0; k < count && ok; ++k) {
      progress->update(k, wxString::Format("Currently exporting slice %li to '%s'.", static_cast<long>(k),
                                           files.frames_path));
      const double z = z0 + k * choice.spacing;
      plane.set_centre(plane.centre + (plane.offset - z) * n, false);

      // A builder that delivers no image (no frame reaches this depth) gives
      // an empty slice.
      const uint8_t* image = builder.get_image();
      for (int32_t j = 0; j < out_h; ++j)
        for (int32_t i = 0; i < out_w; ++i)
          slice[static_cast<size_t>(j) * out_w + i] =
              image ? image[static_cast<size_t>(j) * s * width + static_cast<size_t>(i) * s] : 0;

      const vec3_t corner =
          plane.centre + (plane.offset - z) * n - (width / 2.0 * xs) * rr - (height / 2.0 * xs) * up;
      text << "IM 0 " << g(corner.x) << " " << g(corner.y) << " " << g(corner.z) << " " << g(azimuth) << " "
           << g(elevation) << " " << g(roll) << "\n";
      for (int32_t j : sectioned) append_section_lines(text, *t.RES_SURFACE[j]->read(), plane, z, j, k, s);
      if (ok && !files.batch.write(files.frames, slice.data(), slice.size())) {
        report_error("Failed to write binary data to binary file.\n");
        ok = false;
      }
    }
  }
  progress.reset();
  if (!ok) return false;

  const wxScopedCharBuffer utf8 = text.utf8_str();
  ok = files.batch.write(files.data, utf8.data(), utf8.length()) && files.batch.commit();
  if (!ok) {
    report_error(wxString::Format("Error writing \"%s\"; no file was replaced.\n%s", files.data_path,
                                  files.batch.error()));
    return false;
  }
  return true;
}
