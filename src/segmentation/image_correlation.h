// One position or pressure correction run, held by RES_CORRELATION once the
// user accepts it; the registry deletes a run still held at exit. The
// correction itself is not built yet.
#pragma once

class image_correlation {
 public:
  image_correlation() = default;
  ~image_correlation() = default;
  image_correlation(const image_correlation&) = delete;
  image_correlation& operator=(const image_correlation&) = delete;
};
