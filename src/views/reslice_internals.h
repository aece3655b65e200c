// The builder that computes and caches the image of one reslice plane.
//
// Only what the registry and the planes need of it so far: attaching to a
// shared plane or owning a private one, the rebuild that a plane's setters
// ask for (which raises the plane's redisplay event), and detaching at
// destruction. Resampling the frames into an image is not built yet, so
// get_image() has nothing to return.
#pragma once

#include <cstdint>

#include "data/reslice_info.h"
#include "registry/resource_table.h"

class reslice_internals : public reslice_builder {
 public:
  // index -1 owns a private plane; 0..3 attaches to that plane of RESLICE.
  // Positive width and height are stored in the plane without a rebuild.
  reslice_internals(int32_t index, int32_t width, int32_t height);
  ~reslice_internals() override;

  reslice_internals(const reslice_internals&) = delete;
  reslice_internals& operator=(const reslice_internals&) = delete;

  // Marks the image out of date; a shared builder then brings it up to date
  // and, with notify, raises RES_REDISPLAY_RESLICE<index> and flushes.
  void rebuild(bool notify) override;

  const uint8_t* get_image() { return nullptr; }

  reslice_info* plane() const { return plane_; }
  bool valid() const { return valid_; }
  int32_t builds() const { return builds_; }

 private:
  reslice_info* plane_ = nullptr;
  bool valid_ = false;
  int32_t builds_ = 0;
};
