// One object's closed surface, held by the object's surface resource
// (RES_SURFACE0 to RES_SURFACE200). The surface builders create surfaces and
// delete the one they replace; the registry deletes those still held at exit,
// while the curve set still exists. The surface itself is not built yet.
#pragma once

class surface_interp {
 public:
  surface_interp() = default;
  ~surface_interp() = default;
  surface_interp(const surface_interp&) = delete;
  surface_interp& operator=(const surface_interp&) = delete;
};
