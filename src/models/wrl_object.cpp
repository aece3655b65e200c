#include "models/wrl_object.h"

#include "surfaces/surface_from_model.h"
#include "surfaces/surface_interp.h"

void wrl_object::clear() {
  points.clear();
  normals.clear();
  triangles.clear();
}

bool wrl_object::make_surface(surface_interp& s) {
  if (!surface_from_reference(s, points, normals, triangles)) return false;
  clear();
  return true;
}

bool wrl_object::take_region(surface_interp& s, const curve_point& hit) {
  std::vector<vec3_t> p, n;
  std::vector<std::array<int32_t, 3>> t;
  if (!s.detach_region(hit, p, n, t)) return false;
  clear();
  points.swap(p);
  normals.swap(n);
  triangles.swap(t);
  return true;
}
