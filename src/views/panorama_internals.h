// The builder that compounds and caches the panoramic image. The panorama
// page creates it and stores it in RES_PANORAMA; the registry deletes one
// still held at exit. The builder itself is not built yet.
#pragma once

class panorama_internals {
 public:
  panorama_internals() = default;
  ~panorama_internals() = default;
  panorama_internals(const panorama_internals&) = delete;
  panorama_internals& operator=(const panorama_internals&) = delete;
};
