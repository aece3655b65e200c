// The numpy reference of the per-vertex display data (display_reference.py)
// run on a surface's thickness results, and reading its JSON output.
#pragma once

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "surfaces/surface_interp.h"

namespace display_reference_test {

// A small JSON reader for the reference's output: named arrays of numbers.
inline std::vector<double> json_array(const std::string& text, const std::string& name) {
  std::vector<double> out;
  const size_t at = text.find("\"" + name + "\"");
  if (at == std::string::npos) return out;
  size_t p = text.find('[', at) + 1;
  const size_t end = text.find(']', p);
  while (p < end) {
    char* next = nullptr;
    const double v = std::strtod(text.c_str() + p, &next);
    if (next == text.c_str() + p) break;
    out.push_back(v);
    p = size_t(next - text.c_str());
    while (p < end && (text[p] == ',' || text[p] == ' ')) ++p;
  }
  return out;
}

inline std::string json_list(const std::vector<double>& v) {
  std::ostringstream s;
  s.precision(17);
  s << "[";
  for (size_t i = 0; i < v.size(); ++i) s << (i ? "," : "") << v[i];
  return s.str() + "]";
}

// Runs the reference for kind 0 (thickness) or 1 (mass) with no vertex
// rejected; returns its JSON output. scratch is a folder for the files.
inline std::string display_reference(const surface_interp& s, int kind, long smooth, long fill,
                                      const std::string& scratch) {
  const size_t n = size_t(s.mesh.n_points);
  std::vector<double> tri, types;
  for (int32_t j = 0; j < s.mesh.n_triangles; ++j)
    for (int32_t v : {s.mesh.triangles[j].a, s.mesh.triangles[j].b, s.mesh.triangles[j].c})
      tri.push_back(v);
  for (size_t i = 0; i < n; ++i) types.push_back(s.mesh.points[i].type);
  const bool mass = kind == 1;
  std::ostringstream j;
  j.precision(17);
  j << "{\"triangles\":" << json_list(tri) << ",\"types\":" << json_list(types)
    << ",\"value\":" << json_list(mass ? s.density : s.cortical_thickness)
    << ",\"error\":" << json_list(s.fit_error)
    << ",\"multiplier\":" << (mass ? json_list(s.cortical_thickness) : "null")
    << ",\"offsets\":" << json_list(s.surface_offset)
    << ",\"rejected\":" << json_list(std::vector<double>(n, 0.0))
    // Thickness: 255 / (0.1 x 40) per mm; mass: 255 / (10 x 100 x 8).
    << ",\"c\":" << (mass ? 255.0 / 8000.0 : 255.0 / 4.0) << ",\"b\":0"
    << ",\"zero_missing\":" << (mass ? "false" : "true") << ",\"smooth\":" << smooth
    << ",\"fill\":" << fill << "}";
  const std::string in = scratch + "/case.json", out = scratch + "/result.json";
  std::ofstream(in) << j.str();
  const std::string cmd = std::string("/usr/bin/python3 ") + NV_SURFACES_TEST_DIR +
                          "/display_reference.py " + in + " " + out;
  EXPECT_EQ(std::system(cmd.c_str()), 0);
  std::ifstream r(out);
  std::stringstream text;
  text << r.rdbuf();
  return text.str();
}

}  // namespace display_reference_test
