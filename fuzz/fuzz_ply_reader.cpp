// Feeds arbitrary bytes to the PLY reader with a callback on every property.
// An accepted header's instance counts must fit the bytes after it, and the
// callbacks must see each list's length before its values and never more
// values than it announced.
#include <cstdint>
#include <cstdlib>

#include "data/ply_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ply_reader r;
  if (!r.open_memory(data, size)) return 0;
  int64_t total = 0;
  for (const ply_element& e : r.elements()) {
    if (e.count < 0) std::abort();
    if (!e.properties.empty()) total += e.count;
  }
  if (total > int64_t(size)) std::abort();
  int64_t expected = -1, next_index = 0;
  for (const ply_element& e : r.elements())
    for (const ply_property& p : e.properties)
      r.set_callback(e.name, p.name, [&, list = p.is_list](const ply_value& v) {
        if (!list) return v.value_index == 0 ? true : (std::abort(), false);
        if (v.value_index < 0) {
          if (v.value < 0) std::abort();
          expected = v.list_length;
          next_index = 0;
        } else if (v.value_index != next_index++ || v.value_index >= expected) {
          std::abort();
        }
        return true;
      });
  r.read();
  return 0;
}
