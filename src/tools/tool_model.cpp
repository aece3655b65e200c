// nv_tool model MODEL.ply [IN.hm [--substructures FIRST OUT.hm]]
//   loads a shape model as the Fit shape model page's Load does and prints
//   what loaded: vertices, triangles, modes, the fitting landmarks,
//   "substructure "NAME" vertices N triangles M" per sub-structure and, for
//   an electrode array, its parameters. With a data file, fits the model to
//   the file's landmarks as "Fit to landmarks" does (the first fit after a
//   load is the mirrored one; the tool fits twice and reports both) and
//   prints each registration and its residual. With --substructures, then
//   interpolates the sub-structures into objects FIRST, FIRST + 1, ... and
//   saves the data file as OUT.hm.
//   Exit status 0 on success; 1 when the model or the data file cannot be
//   loaded, too few landmarks are placed, the interpolation is refused or the
//   file cannot be saved; 2 for a wrong command line.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "data/data_io_ui.h"
#include "data/native_file.h"
#include "data/objects.h"
#include "models/fit_model.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "tools/headless_session.h"

namespace {

int usage() {
  std::fprintf(stderr, "usage: nv_tool model MODEL.ply [IN.hm [--substructures FIRST OUT.hm]]\n");
  return 2;
}

void print_model(const fit_model& m) {
  std::printf("vertices %d\ntriangles %d\nmodes %d\n", m.model.point_count, m.model.triangle_count,
              m.mode_count);
  if (m.implant) {
    std::printf("implant electrodes %d electrode radius %.6g lead radius %.6g insertion %.6g\n",
                m.electrode_count, m.electrode_radius, m.lead_radius, m.first_electrode_insertion);
    for (size_t i = 0; i < m.electrode_lengths.size(); ++i)
      std::printf("electrode %zu length %.6g separation %.6g\n", i + 1, m.electrode_lengths[i],
                  m.electrode_separations[i]);
  }
  for (const fit_landmark_t& f : m.fitting_landmarks)
    std::printf("landmark \"%s\" vertex %d\n", static_cast<const char*>(f.name.utf8_str()), f.vertex);
  for (const substructure_t& s : m.substructures)
    std::printf("substructure \"%s\" vertices %zu triangles %zu\n", static_cast<const char*>(s.name.utf8_str()),
                s.points.size(), s.triangles.size());
}

void print_fit(const fit_model& m) {
  const matrix4_t& r = m.registration;
  std::printf("registration%s", m.mirrored ? " mirrored" : "");
  // Row by row.
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 4; ++col) std::printf(" %.9g", r[col * 4 + row]);
  double sum = 0.0;
  int count = 0;
  for (const fit_landmark_t& f : m.fitting_landmarks) {
    if (!f.placed) continue;
    vec3_t p;
    matrix4_transform_point(p, r, f.model_position);
    const vec3_t d = p - f.target;
    sum += vec3_dot(d, d);
    ++count;
  }
  std::printf("\nresidual rms %.9g mm over %d landmarks\n", count ? std::sqrt(sum / count) : 0.0, count);
}

}  // namespace

int run_model(int argc, char** argv) {
  long first_object = -1;
  if (argc == 7) {
    char* end = nullptr;
    first_object = std::strtol(argv[5], &end, 10);
    if (std::string(argv[4]) != "--substructures" || !*argv[5] || *end || first_object < 0 ||
        first_object >= NUM_USER_OBJECTS)
      return usage();
  } else if (argc != 3 && argc != 4) {
    return usage();
  }
  console_data_io_ui ui;
  data_ui_scope scope(ui);
  headless_session session;
  if (argc >= 4 && !open_native_file(wxString::FromUTF8(argv[3]))) return 1;
  fit_model& m = *resource_table->RES_FIT_MODEL->read();
  const int result = m.parse_ply_and_ssm_files(wxString::FromUTF8(argv[2]));
  if (result == 1) {
    std::fprintf(stderr, "Could not parse ply file\nShape model cleared\n");
    return 1;
  }
  if (result == 2) {
    std::fprintf(stderr, "Could not parse ssm file\nShape model cleared\n");
    return 1;
  }
  print_model(m);
  if (argc == 3) return 0;
  for (int fit = 0; fit < 2; ++fit) {
    if (!m.check_for_landmarks(false)) {
      m.check_for_landmarks(true);
      return 1;
    }
    m.fit_to_landmarks();
    print_fit(m);
  }
  if (first_object < 0) return 0;
  if (first_object + static_cast<long>(m.substructures.size()) > NUM_USER_OBJECTS) {
    std::fprintf(stderr, "The sub-structures do not fit into objects %ld to %d\n", first_object, NUM_USER_OBJECTS - 1);
    return 1;
  }
  if (!m.interpolate_substructure(static_cast<int>(first_object))) return 1;
  return save_native_file_as(wxString::FromUTF8(argv[6]), false) ? 0 : 1;
}
