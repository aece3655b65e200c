// The cortical thickness measurement engine, one instance held by
// RES_THICKNESS from start-up to exit. It starts with no measurement; the
// measurement itself is not built yet.
#pragma once

class thickness {
 public:
  thickness() = default;
  ~thickness() = default;
  thickness(const thickness&) = delete;
  thickness& operator=(const thickness&) = delete;

  bool valid = false;                  // a measurement is held
  double inside_fraction = 1.0 / 3.0;  // share of the sample line inside the surface
};
