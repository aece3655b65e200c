// Feeds arbitrary bytes to the lossless JPEG decoder. The first four bytes
// choose the expected size and output depth; the rest is the codestream.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "medical/lossless_jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const int32_t w = 1 + data[0] % 64, h = 1 + data[1] % 64;
  const int bpp = (data[2] % 3 + 1) * 8;
  std::vector<uint8_t> out(size_t(w) * size_t(h) * size_t(bpp / 8));
  std::vector<uint8_t> stream(data + 4, data + size);  // exact size, so overreads are caught
  lossless_jpeg_decode(stream.data(), out.data(), bpp, int32_t(stream.size()), w, h);
  return 0;
}
