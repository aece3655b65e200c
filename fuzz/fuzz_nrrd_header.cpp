// Feeds arbitrary bytes to the NRRD header parser; any accepted header must
// describe sizes and offsets that stay within 64-bit file positions.
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "medical/volume_headers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nrrd_info_t info;
  wxString warning;
  if (parse_nrrd_header(reinterpret_cast<const char*>(data), size, info, warning) > 0) {
    if (info.columns < 1 || info.rows < 1 || info.frames < 1 || info.header_bytes > int64_t(size))
      std::abort();
    if (int64_t(info.columns) * info.rows > std::numeric_limits<int32_t>::max()) std::abort();
  }
  return 0;
}
