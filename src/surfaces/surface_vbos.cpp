// Uploading a surface into the 3D view's buffers: 28 bytes per vertex in
// three blocks (12n bytes of positions, 12n of unit normals, 4n of RGBA
// colours), 12 bytes per triangle in the element buffer, the drawn
// triangles first so that the view draws them with one call and the caps
// with a second when the object is capped.
#include <wx/log.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "data/objects.h"
#include "surfaces/surface_interp.h"
#include "surfaces/surface_vbos.h"
#include "surfaces/thickness_colour_table.h"

namespace {

// Pending errors are dropped before the upload; a context that keeps
// reporting one (there is none) must not hold the loop forever.
constexpr int kMaxPendingErrors = 64;

}  // namespace

void surface_interp::generate_surface_vbos(surface_buffer_api& gl, unsigned vertex_buffer,
                                           unsigned element_buffer, int object_index, bool full,
                                           int& vertex_count, int& drawn_triangles,
                                           int& undrawn_triangles) {
  for (int i = 0; i < kMaxPendingErrors && gl.get_error() != surface_buffer_api::no_error; ++i) {
  }

  uint8_t base[3] = {255, 255, 255};
  double opacity = 1.0;
  if (resource_table && resource_table->RES_OBJECT && object_index >= 0 && object_index <= 200)
    if (const contour_object* objects = resource_table->RES_OBJECT->read()) {
      const contour_object& o = objects[object_index];
      base[0] = o.colour.Red(), base[1] = o.colour.Green(), base[2] = o.colour.Blue();
      opacity = o.opacity;
    }
  const uint8_t alpha = uint8_t(std::trunc(255 * std::clamp(opacity, 0.0, 1.0)));
  const int map = resource_table && resource_table->RES_THICKNESS_DISP_COL
                      ? int(resource_table->RES_THICKNESS_DISP_COL->read())
                      : 3;
  const bool thickness_shown = !smoothed_thickness.empty();
  const bool compounded = !thickness_shown && compound_depth != 0;

  const size_t n = size_t(std::max(mesh.n_points, 0));
  std::vector<uint8_t> colours(4 * n);
  std::vector<float> positions, normals;
  if (full) {
    positions.resize(3 * n);
    normals.resize(3 * n);
  }
  for (size_t i = 0; i < n; ++i) {
    const surface_point& p = mesh.points[i];
    if (full) {
      positions[3 * i] = float(p.x), positions[3 * i + 1] = float(p.y),
      positions[3 * i + 2] = float(p.z);
      const double len = std::sqrt(p.nx * p.nx + p.ny * p.ny + p.nz * p.nz);
      const double k = len > 0 ? 1 / len : 1;
      normals[3 * i] = float(p.nx * k), normals[3 * i + 1] = float(p.ny * k),
      normals[3 * i + 2] = float(p.nz * k);
    }
    uint8_t* c = &colours[4 * i];
    if (thickness_shown) {
      const uint8_t* e = thickness_colour_entry(map, p.colour);
      c[0] = e[0], c[1] = e[1], c[2] = e[2];
    } else if (compounded) {
      for (int k = 0; k < 3; ++k) c[k] = uint8_t(unsigned(p.colour) * base[k] / 255);
    } else {
      c[0] = base[0], c[1] = base[1], c[2] = base[2];
    }
    c[3] = alpha;
  }

  vertex_count = int(n);
  gl.bind(surface_buffer_api::array_buffer, vertex_buffer);
  if (full) {
    gl.define(surface_buffer_api::array_buffer, 28 * n, nullptr);
    gl.write(surface_buffer_api::array_buffer, 0, 12 * n, positions.data());
    gl.write(surface_buffer_api::array_buffer, 12 * n, 12 * n, normals.data());
  }
  gl.write(surface_buffer_api::array_buffer, 24 * n, 4 * n, colours.data());
  gl.bind(surface_buffer_api::array_buffer, 0);

  if (full) {
    std::vector<float>().swap(positions);
    std::vector<float>().swap(normals);
    const size_t m = size_t(std::max(mesh.n_triangles, 0));
    std::vector<uint32_t> indices(3 * m);
    size_t k = 0;
    for (int pass = 0; pass < 2; ++pass)
      for (size_t t = 0; t < m; ++t) {
        const surface_triangle& tr = mesh.triangles[t];
        if ((tr.type == 2) != (pass == 1)) continue;
        indices[k++] = uint32_t(tr.a), indices[k++] = uint32_t(tr.b), indices[k++] = uint32_t(tr.c);
      }
    undrawn_triangles = int(std::count_if(mesh.triangles, mesh.triangles + m,
                                          [](const surface_triangle& t) { return t.type == 2; }));
    drawn_triangles = int(m) - undrawn_triangles;
    gl.bind(surface_buffer_api::element_array_buffer, element_buffer);
    gl.define(surface_buffer_api::element_array_buffer, 12 * m, indices.data());
    gl.bind(surface_buffer_api::element_array_buffer, 0);
  }

  if (gl.get_error() == surface_buffer_api::out_of_memory) {
    gl.bind(surface_buffer_api::array_buffer, vertex_buffer);
    gl.define(surface_buffer_api::array_buffer, 0, nullptr);
    gl.bind(surface_buffer_api::array_buffer, 0);
    gl.bind(surface_buffer_api::element_array_buffer, element_buffer);
    gl.define(surface_buffer_api::element_array_buffer, 0, nullptr);
    gl.bind(surface_buffer_api::element_array_buffer, 0);
    wxLogError("GL_OUT_OF_MEMORY: insufficient graphics card memory for surface VBO");
  }
}
