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
// nv_tool model MODEL.ply IN.hm --points OBJECT [--side both|in|out] [--range STEPS]
//                [--iterate N ssm|lad FLEXIBILITY] [--map OBJECT OUT.hm]
//   takes the data points from object OBJECT's contours (matching the side
//   given, outside when none is),
//   optionally sets the search range in slider steps, runs N registration
//   iterations of the type and flexibility from the model as loaded,
//   printing "iteration I residual R matched M" (R the root mean square
//   distance in mm of the matched vertices), and maps the fitted surface
//   into object OBJECT, saving the data file as OUT.hm.
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
  std::fprintf(stderr,
               "usage: nv_tool model MODEL.ply [IN.hm [--substructures FIRST OUT.hm]]\n"
               "       nv_tool model MODEL.ply IN.hm --points OBJECT [--side both|in|out] [--range STEPS]\n"
               "                     [--iterate N ssm|lad FLEXIBILITY] [--map OBJECT OUT.hm]\n");
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

bool parse_long(const char* text, long low, long high, long& out) {
  char* end = nullptr;
  out = std::strtol(text, &end, 10);
  return *text && !*end && out >= low && out <= high;
}

int run_registration_tool(fit_model& m, int argc, char** argv) {
  long points = -1, range = -1, iterations = 0, flexibility = 0, target = -1;
  int type = -1;
  const char* out = nullptr;
  for (int i = 4; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--points" && i + 1 < argc) {
      if (!parse_long(argv[++i], 0, NUM_USER_OBJECTS - 1, points)) return usage();
    } else if (a == "--side" && i + 1 < argc) {
      const std::string side = argv[++i];
      m.page.match_side = side == "both" ? 0 : side == "in" ? 1 : side == "out" ? 2 : -1;
      if (m.page.match_side < 0) return usage();
    } else if (a == "--range" && i + 1 < argc) {
      if (!parse_long(argv[++i], 0, 1000000000, range)) return usage();
    } else if (a == "--iterate" && i + 3 < argc) {
      const std::string kind = argv[i + 2];
      type = kind == "ssm" ? 0 : kind == "lad" ? 1 : -1;
      if (!parse_long(argv[i + 1], 0, 100000, iterations) || type < 0 ||
          !parse_long(argv[i + 3], 0, 1000, flexibility))
        return usage();
      i += 3;
    } else if (a == "--map" && i + 2 < argc) {
      if (!parse_long(argv[i + 1], 0, NUM_USER_OBJECTS - 1, target)) return usage();
      out = argv[i + 2];
      i += 2;
    } else {
      return usage();
    }
  }
  if (points < 0) return usage();
  m.points_from_object(static_cast<int32_t>(points));
  if (m.data.point_count == 0) {
    std::fprintf(stderr, "Object %ld has no contours on frames with positions\n", points);
    return 1;
  }
  std::printf("data points %d\n", m.data.point_count);
  if (range >= 0) {
    m.page.search_range = static_cast<int32_t>(range);
    m.set_search_range();
  }
  if (type >= 0) {
    m.page.registration_type = type;
    m.page.flexibility = static_cast<int32_t>(flexibility);
    m.page.iterations = 1;
    int32_t matched = 0;
    for (long i = 0; i < iterations; ++i) {
      if (!m.run_registration()) return 1;
      const double rms = m.match_rms(&matched);
      std::printf("iteration %ld residual %.9g matched %d\n", i + 1, rms, matched);
    }
    print_fit(m);
  }
  if (target < 0) return 0;
  m.map_surface_to_object(static_cast<int32_t>(target));
  return save_native_file_as(wxString::FromUTF8(out), false) ? 0 : 1;
}

}  // namespace

int run_model(int argc, char** argv) {
  long first_object = -1;
  const bool registering = argc >= 5 && std::string(argv[4]) == "--points";
  if (!registering && argc == 7) {
    char* end = nullptr;
    first_object = std::strtol(argv[5], &end, 10);
    if (std::string(argv[4]) != "--substructures" || !*argv[5] || *end || first_object < 0 ||
        first_object >= NUM_USER_OBJECTS)
      return usage();
  } else if (!registering && argc != 3 && argc != 4) {
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
  if (registering) return run_registration_tool(m, argc, argv);
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
