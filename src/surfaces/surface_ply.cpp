#include "surfaces/surface_ply.h"

#include <wx/log.h>

#include "data/file_save.h"
#include "data/ply_file.h"
#include "surfaces/surface_interp.h"

namespace {

bool write_mesh(const surface_interp& s, ply_writer& w) {
  const surface_mesh& m = s.mesh;
  if (!w.add_comment("raw interpolated mesh, millimetres") ||
      !w.add_element("vertex", m.n_points) ||
      !w.add_scalar_property("x", ply_type::float32) ||
      !w.add_scalar_property("y", ply_type::float32) ||
      !w.add_scalar_property("z", ply_type::float32) ||
      !w.add_scalar_property("type", ply_type::uint8) ||
      !w.add_element("face", m.n_triangles) ||
      !w.add_list_property("vertex_indices", ply_type::uint8, ply_type::int32) ||
      !w.write_header())
    return false;
  for (int32_t i = 0; i < m.n_points; ++i) {
    const surface_point& p = m.points[i];
    for (double v : {10 * p.x, 10 * p.y, 10 * p.z, double(p.type)})
      if (!w.write_value(v)) return false;
  }
  for (int32_t i = 0; i < m.n_triangles; ++i) {
    int32_t a, b, c;
    s.outward_order(m.triangles[i], a, b, c);
    for (double v : {3, a, b, c})
      if (!w.write_value(v)) return false;
  }
  return w.close();
}

}  // namespace

bool write_mesh_ply_ascii(const surface_interp& s, const wxString& path) {
  save_batch batch;
  const int k = batch.add(path);
  if (k >= 0) {
    save_output_stream stream(batch, k);
    ply_writer w(stream, ply_format::ascii);
    if (!write_mesh(s, w)) {
      w.close();
      wxLogError("Unable to write the mesh to \"%s\": %s", path, w.error());
      batch.abandon();
      return false;
    }
    if (batch.commit()) return true;
  }
  wxLogError("Unable to write the mesh to \"%s\": %s", path, batch.error());
  return false;
}
