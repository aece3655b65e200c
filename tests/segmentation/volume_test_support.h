// Generated volumes for the volume segmentation tests, their raw files for the
// scipy reference (volume_oracle.py) and a scripted progress dialog.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "segment_test_support.h"
#include "segmentation/grassfire_volume.h"

// A state image (object 2, else 0) with its display stack (object grey
// kObjectGrey, else kBackgroundGrey), both x fastest.
struct volume_phantom {
  static constexpr uint8_t kObjectGrey = 200, kBackgroundGrey = 50;
  grassfire::volume_size size;
  std::vector<uint8_t> state, grey;
  volume_phantom(int32_t w, int32_t h, int32_t d)
      : size{w, h, d}, state(size.voxels(), 0), grey(size.voxels(), kBackgroundGrey) {}
  void set(int32_t x, int32_t y, int32_t z, bool object) {
    const size_t i = size.index(x, y, z);
    state[i] = object ? 2 : 0;
    grey[i] = object ? kObjectGrey : kBackgroundGrey;
  }
  // Voxels whose centres lie within r of c.
  void ball(double cx, double cy, double cz, double r, bool object) {
    for (int32_t z = 0; z < size.depth; ++z)
      for (int32_t y = 0; y < size.height; ++y)
        for (int32_t x = 0; x < size.width; ++x)
          if ((x - cx) * (x - cx) + (y - cy) * (y - cy) + (z - cz) * (z - cz) <= r * r)
            set(x, y, z, object);
  }
  void box(int32_t x0, int32_t y0, int32_t z0, int32_t x1, int32_t y1, int32_t z1, bool object) {
    for (int32_t z = z0; z <= z1; ++z)
      for (int32_t y = y0; y <= y1; ++y)
        for (int32_t x = x0; x <= x1; ++x) set(x, y, z, object);
  }
  std::vector<const uint8_t*> frames() const {
    std::vector<const uint8_t*> f;
    for (int32_t z = 0; z < size.depth; ++z) f.push_back(grey.data() + size.index(0, 0, z));
    return f;
  }
  uint8_t at(int32_t x, int32_t y, int32_t z) const { return state[size.index(x, y, z)]; }
};

// One reference volume request: the object of p, a mode and its box.
struct volume_case {
  std::string name, mode;
  const volume_phantom* p;
  grassfire::bounds3d box;
};

// Runs volume_oracle.py on the cases; false when it failed.
inline bool run_volume_oracle(const seg_scratch& dir, const std::vector<volume_case>& cases) {
  std::ofstream list(dir.path("cases.txt"));
  for (const volume_case& c : cases) {
    std::ofstream raw(dir.path(c.name + ".raw"), std::ios::binary);
    raw.write(reinterpret_cast<const char*>(c.p->state.data()),
              static_cast<std::streamsize>(c.p->state.size()));
    list << c.name << ' ' << c.mode << ' ' << c.p->size.width << ' ' << c.p->size.height << ' '
         << c.p->size.depth << ' ' << c.box.x0 << ' ' << c.box.x1 << ' ' << c.box.y0 << ' '
         << c.box.y1 << ' ' << c.box.z0 << ' ' << c.box.z1 << '\n';
  }
  list.close();
  const std::string cmd = std::string("/usr/bin/python3 ") + NV_SEGMENT_SCRIPTS +
                          "/volume_oracle.py " + dir.path("");
  return std::system(cmd.c_str()) == 0;
}

template <class T>
std::vector<T> read_raw(const std::string& path, size_t count) {
  std::ifstream in(path, std::ios::binary);
  std::vector<T> v(count);
  in.read(reinterpret_cast<char*>(v.data()), static_cast<std::streamsize>(count * sizeof(T)));
  return in ? v : std::vector<T>{};
}

// A progress dialog whose clock advances 101 ms a reading, so that every
// throttled pulse happens; it cancels from pulse cancel_at on (1-based).
class scripted_volume_progress final : public grassfire::volume_progress {
 public:
  size_t cancel_at = 0;
  std::vector<std::string> messages;
  bool pulse(const wxString& m) override {
    messages.push_back(m.ToStdString());
    return cancel_at == 0 || messages.size() < cancel_at;
  }
  int64_t now_ms() const override { return clock_ += 101; }

 private:
  mutable int64_t clock_ = 0;
};
