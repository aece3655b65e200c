// The builder that compounds and caches the panoramic image. The panorama
// page creates it and stores it in RES_PANORAMA; the registry deletes one
// still held at exit. The builder itself is not built yet.
#pragma once

#include "data/image_builder.h"

class panorama_internals : public image_builder {
 public:
  panorama_internals() = default;
  ~panorama_internals() override = default;
};
