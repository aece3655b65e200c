#include "surfaces/surface_ply.h"

#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/log.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "data/data_line_procs.h"
#include "surfaces/surface_interp.h"

bool replace_file_with(const wxString& path, const std::string& bytes) {
  const wxString temp = create_file_beside(path);
  if (temp.empty()) return false;
  bool ok;
  {
    wxLogNull quiet;
    wxFile file;
    ok = file.Open(temp, wxFile::write) &&
         (bytes.empty() || file.Write(bytes.data(), bytes.size()) == bytes.size()) &&
         file.Flush() && file.Close();
  }
  std::error_code ec;
  const std::filesystem::path target(path.utf8_string());
  if (ok && std::filesystem::exists(target, ec))
    std::filesystem::permissions(std::filesystem::path(temp.utf8_string()),
                                 std::filesystem::status(target, ec).permissions(), ec);
  wxLogNull quiet;
  ok = ok && wxRenameFile(temp, path, true);
  if (!ok) wxRemoveFile(temp);
  return ok;
}

bool write_mesh_ply_ascii(const surface_interp& s, const wxString& path) {
  const surface_mesh& m = s.mesh;
  std::string out = "ply\nformat ascii 1.0\ncomment raw interpolated mesh, millimetres\n";
  out += "element vertex " + std::to_string(m.n_points) + "\n";
  out += "property float x\nproperty float y\nproperty float z\nproperty uchar type\n";
  out += "element face " + std::to_string(m.n_triangles) + "\n";
  out += "property list uchar int vertex_indices\nend_header\n";
  char line[160];
  for (int32_t i = 0; i < m.n_points; ++i) {
    const surface_point& p = m.points[i];
    std::snprintf(line, sizeof line, "%.6g %.6g %.6g %d\n", 10 * p.x, 10 * p.y, 10 * p.z,
                  int(p.type));
    out += line;
  }
  for (int32_t i = 0; i < m.n_triangles; ++i) {
    int32_t a, b, c;
    s.outward_order(m.triangles[i], a, b, c);
    std::snprintf(line, sizeof line, "3 %d %d %d\n", a, b, c);
    out += line;
  }
  if (replace_file_with(path, out)) return true;
  wxLogError("Unable to write the mesh to \"%s\".", path);
  return false;
}

namespace {

template <typename T>
void put(std::string& out, T v) {
  out.append(reinterpret_cast<const char*>(&v), sizeof v);  // the machine is little-endian
}

}  // namespace

bool write_mesh_ply_binary(const surface_interp& s, const wxString& path) {
  static_assert(sizeof(float) == 4, "PLY floats are 4 bytes");
  const surface_mesh& m = s.mesh;
  std::string out = "ply\nformat binary_little_endian 1.0\ncomment millimetres\n";
  out += "element vertex " + std::to_string(m.n_points) + "\n";
  out += "property float x\nproperty float y\nproperty float z\n";
  out += "property float nx\nproperty float ny\nproperty float nz\n";
  out += "element face " + std::to_string(m.n_triangles) + "\n";
  out += "property list uchar int vertex_indices\nend_header\n";
  for (int32_t i = 0; i < m.n_points; ++i) {
    const surface_point& p = m.points[i];
    for (double v : {10 * p.x, 10 * p.y, 10 * p.z, p.nx, p.ny, p.nz}) put(out, float(v));
  }
  for (int32_t i = 0; i < m.n_triangles; ++i) {
    int32_t a, b, c;
    s.outward_order(m.triangles[i], a, b, c);
    put(out, uint8_t(3));
    put(out, a), put(out, b), put(out, c);
  }
  if (replace_file_with(path, out)) return true;
  wxLogError("Unable to write the surface to \"%s\".", path);
  return false;
}
