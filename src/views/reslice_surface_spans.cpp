// Crop spans of a reslice plane from a surface: the rows of sample columns
// inside the surface's section by the plane shifted along its normal.
#include "surfaces/surface_interp.h"
#include "surfaces/surface_section.h"
#include "views/reslice_internals.h"

span_list* surface_section_spans(int32_t object, const reslice_info& plane, int32_t step, double offset) {
  if (!resource_table || object < 0 || object >= resource_table_t::kSurfaceCount) return nullptr;
  const surface_interp* surface = resource_table->RES_SURFACE[object]->read();
  if (!surface || plane.width < 1 || plane.height < 1) return nullptr;
  if (step < 1) step = 1;
  section_plane section;
  section.normal = plane.normal;
  section.d = -vec3_dot(plane.normal, plane.centre) - offset;
  // Reslice pixel (x, y) is sampled at its coordinates; the section's pixel
  // k covers [k, k + 1), so the coordinates move by half a pixel.
  section.to_pixels = [&plane](const vec3_t& world) {
    vec3_t r;
    plane.world_to_reslice(&world, &r, 1);
    return vec2_t{r.x + 0.5, r.y + 0.5};
  };
  return new span_list(scanline_crossings(*surface, section, (plane.height - 1) / step + 1, step));
}
