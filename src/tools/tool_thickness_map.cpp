// nv_tool thickness-map IN SETTINGS.ini SURFACE.ply OUT.csv: opens IN as
// File > Open does, applies the settings file and the presets of its
// technique, reads a triangle surface from SURFACE.ply (coordinates in mm,
// as the surface files hold them; normals from its nx, ny, nz or else from
// the triangles), maps thickness over every vertex as "Map over current"
// does, derives the display data of RES_THICKNESS_DISP_MAP and writes one
// CSV row per vertex.
#include <cmath>
#include <cstdio>
#include <string>

#include "data/data_io_ui.h"
#include "data/file_save.h"
#include "data/ply_file.h"
#include "medical/dicom_utility.h"
#include "medical/toolkit/wx_image_toolkit.h"
#include "registry/resource_table.h"
#include "surfaces/surface_interp.h"
#include "surfaces/surface_sources.h"
#include "thickness/surface_mapping.h"
#include "thickness/thickness_technique.h"
#include "tools/headless_session.h"
#include "tools/thickness_tool_support.h"

namespace {

constexpr double kNoValue = 1e10;

int usage() {
  std::fprintf(stderr,
               "usage: nv_tool thickness-map IN SETTINGS.ini SURFACE.ply OUT.csv\n"
               "  SURFACE.ply: a triangle surface in the data's world coordinates, mm\n");
  return 2;
}

// The surface of the PLY file; false with why set when it cannot be used.
bool read_surface(const wxString& path, surface_interp& s, bool& has_normals, wxString& why) {
  ply_reader r;
  if (!r.open_file(path)) {
    why = r.error();
    return false;
  }
  const ply_element* vertex = r.find_element("vertex");
  const ply_element* face = r.find_element("face");
  if (!vertex || !face || vertex->find_property("x") < 0 || vertex->find_property("y") < 0 ||
      vertex->find_property("z") < 0 || vertex->count < 3 || face->count < 1 ||
      vertex->count > 50000000 || face->count > 100000000) {
    why = "'" + path + "' holds no triangle surface with x, y and z per vertex.";
    return false;
  }
  const std::string list = face->find_property("vertex_indices") >= 0 ? "vertex_indices" : "vertex_index";
  if (face->find_property(list) < 0) {
    why = "'" + path + "' has no vertex indices for its faces.";
    return false;
  }
  has_normals = vertex->find_property("nx") >= 0 && vertex->find_property("ny") >= 0 &&
                vertex->find_property("nz") >= 0;
  const int64_t n = vertex->count, m = face->count;
  surface_mesh& mesh = s.mesh;
  mesh.points = new surface_point[size_t(n)];
  mesh.n_points = int32_t(n);
  mesh.triangles = new surface_triangle[size_t(m)];
  mesh.n_triangles = int32_t(m);
  auto coordinate = [&](double surface_point::*field) {
    return [&, field](const ply_value& v) {
      mesh.points[v.instance].*field = v.value / 10.0;  // mm to cm
      return true;
    };
  };
  r.set_callback("vertex", "x", coordinate(&surface_point::x));
  r.set_callback("vertex", "y", coordinate(&surface_point::y));
  r.set_callback("vertex", "z", coordinate(&surface_point::z));
  if (has_normals) {
    auto normal = [&](double surface_point::*field) {
      return [&, field](const ply_value& v) {
        mesh.points[v.instance].*field = v.value;
        return true;
      };
    };
    r.set_callback("vertex", "nx", normal(&surface_point::nx));
    r.set_callback("vertex", "ny", normal(&surface_point::ny));
    r.set_callback("vertex", "nz", normal(&surface_point::nz));
  }
  r.set_callback("face", list, [&](const ply_value& v) {
    if (v.value_index < 0) {
      if (v.value != 3) {
        r.stop("Face " + std::to_string(v.instance) + " of '" + path.ToStdString() +
               "' is not a triangle.");
        return false;
      }
      return true;
    }
    if (!(v.value >= 0 && v.value < double(n)) || v.value != std::floor(v.value)) {
      r.stop("Face " + std::to_string(v.instance) + " of '" + path.ToStdString() +
             "' names a vertex the file does not have.");
      return false;
    }
    surface_triangle& t = mesh.triangles[v.instance];
    (v.value_index == 0 ? t.a : v.value_index == 1 ? t.b : t.c) = int32_t(v.value);
    t.type = 1;
    return true;
  });
  if (!r.read()) {
    why = r.error();
    return false;
  }
  return true;
}

std::string number(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.9g", v);
  return text;
}

}  // namespace

int run_thickness_map(int argc, char** argv) {
  if (argc != 6) return usage();
  const wxString in = wxString::FromUTF8(argv[2]), settings = wxString::FromUTF8(argv[3]);
  const wxString ply = wxString::FromUTF8(argv[4]), out = wxString::FromUTF8(argv[5]);
  console_data_io_ui ui;
  data_ui_scope scope(ui);
  dicom_utility::install_frame_windowing();
  install_toolkit_images();
  headless_session session;
  if (!open_for_thickness(in, settings)) return 1;
  base_res_t::make_pending_writes_happen();

  surface_interp s;
  bool has_normals = false;
  wxString why;
  if (!read_surface(ply, s, has_normals, why)) {
    std::fprintf(stderr, "%s\n", why.ToUTF8().data());
    return 1;
  }
  if (!has_normals) s.compute_normals();
  s.calibration = surface_calibration_from_resources();
  s.calc_thickness();
  if (s.cortical_thickness.empty()) {
    std::fprintf(stderr,
                 "No thickness can be mapped on these data: they need positioned frames read "
                 "from image files, at least two of them, each with its pixels.\n");
    return 1;
  }
  s.select_display_data(int(resource_table->RES_THICKNESS_DISP_MAP->read()), nullptr, nullptr,
                        nullptr);

  const size_t n = size_t(s.mesh.n_points);
  std::string csv =
      "vertex,thickness_mm,error,density,offset_mm,blur_mm,inner_density,outer_density,"
      "displayed,colour\n";
  long measured = 0;
  for (size_t i = 0; i < n; ++i) {
    measured += s.fit_error[i] != kNoValue;
    csv += std::to_string(i) + "," + number(s.cortical_thickness[i]) + "," +
           number(s.fit_error[i]) + "," + number(s.density[i]) + "," +
           number(s.surface_offset[i]) + "," + number(s.blur[i]) + "," +
           number(s.inner_density[i]) + "," + number(s.outer_density[i]) + "," +
           number(s.smoothed_thickness[i]) + "," + std::to_string(int(s.mesh.points[i].colour)) +
           "\n";
  }
  if (!save_file(out, csv, &why)) {
    std::fprintf(stderr, "%s\n", why.ToUTF8().data());
    return 1;
  }
  double sum = 0.0, weight = 0.0;
  surface_interp::weighted_average(s.cortical_thickness, s.fit_error, sum, weight);
  std::printf("vertices %zu\nmeasured %ld\n", n, measured);
  if (weight > 0.0) std::printf("mean_thickness_mm %.6g\n", sum / weight);
  return measured > 0 ? 0 : 3;
}
