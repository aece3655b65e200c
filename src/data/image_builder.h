// A builder of images that a resource holds: a reslice plane's or the
// panorama's. Builders are classes of the views; the data layer and the
// resource table's teardown reach them only through this interface, so that
// neither includes a folder above it.
#pragma once

class image_builder {
 public:
  image_builder() = default;
  virtual ~image_builder() = default;
  image_builder(const image_builder&) = delete;
  image_builder& operator=(const image_builder&) = delete;
};
