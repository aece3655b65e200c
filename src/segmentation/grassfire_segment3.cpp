// One click through the frame stack: 3D growth, the volume steps and the
// per-slice contours, with a frame-by-frame 2D fallback.
#include <wx/log.h>

#include <algorithm>
#include <new>
#include <vector>

#include "data/curves.h"
#include "data/dynabuf.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "data/surface_store.h"
#include "medical/dicom_utility.h"
#include "registry/resource_table.h"
#include "segmentation/grassfire_volume.h"

namespace grassfire {

namespace {

constexpr uint8_t kFreeMask = 7;

class volume_growth {
 public:
  volume_growth(uint8_t* state, const uint8_t* const* frames, const volume_size& size,
                int32_t gap, const threshold_band& band, const segment_settings& settings)
      : state_(state), frames_(frames), size_(size), gap_(gap), band_(band), settings_(settings) {}

  bool passes(int32_t x, int32_t y, int32_t z) const {
    return band_.is_highlighted(frames_[z], x, y, size_.width, size_.height);
  }
  uint8_t grey(int32_t x, int32_t y, int32_t z) const {
    return frames_[z][static_cast<size_t>(y) * size_.width + x];
  }
  uint8_t& at(int32_t x, int32_t y, int32_t z) const { return state_[size_.index(x, y, z)]; }
  bool is_free(int32_t x, int32_t y, int32_t z) const { return (at(x, y, z) & kFreeMask) == 0; }
  void queue(int32_t x, int32_t y, int32_t z) {
    next_.push_back({static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(z)});
    uint8_t& s = at(x, y, z);
    s = static_cast<uint8_t>((s & 0xF9) | 1);
  }

  void try_add(int32_t x, int32_t y, int32_t z) {
    if (!size_.contains(x, y, z) || !is_free(x, y, z)) return;
    if (passes(x, y, z)) {
      queue(x, y, z);
      return;
    }
    if (!band_.excluded(grey(x, y, z)))
      join_gaps_3d(state_, frames_, size_, band_, settings_, gap_, static_cast<int16_t>(x),
                   static_cast<int16_t>(y), static_cast<int16_t>(z), next_);
  }

  // The next free passing voxel after index i in raster order.
  bool next_seed(size_t& i, int32_t& x, int32_t& y, int32_t& z) const {
    const size_t n = size_.voxels();
    for (++i; i < n; ++i) {
      if ((state_[i] & kFreeMask) != 0) continue;
      const size_t plane = static_cast<size_t>(size_.width) * size_.height;
      z = static_cast<int32_t>(i / plane);
      y = static_cast<int32_t>((i % plane) / size_.width);
      x = static_cast<int32_t>(i % size_.width);
      if (passes(x, y, z)) return true;
    }
    return false;
  }

  bool run(int32_t sx, int32_t sy, int32_t sz, const std::vector<matrix4_t>& matrices,
           volume_progress& progress) {
    const bool diagonal = settings_.ridges || settings_.valleys;
    const double range = settings_.range_mm / 10.0;
    const double range2 = matrices.size() == static_cast<size_t>(size_.depth) ? range * range : 0.0;
    size_t scan = 0;
    if (!settings_.connected) {
      scan = static_cast<size_t>(-1);
      if (!next_seed(scan, sx, sy, sz)) return true;
    } else {
      scan = size_.index(sx, sy, sz);
    }
    if (!passes(sx, sy, sz)) return true;
    const vec3_t seed_world = world(matrices, range2, sx, sy, sz);
    queue(sx, sy, sz);
    std::vector<voxel16> current;
    std::swap(current, next_);
    const double total = static_cast<double>(size_.voxels());
    double processed = 0.0;
    int64_t last = progress.now_ms();
    while (!current.empty()) {
      for (const voxel16 v : current) {
        const int32_t x = v.x, y = v.y, z = v.z;
        if (range2 > 0.0) {
          const vec3_t p = world(matrices, range2, x, y, z);
          const double dx = p.x - seed_world.x, dy = p.y - seed_world.y, dz = p.z - seed_world.z;
          if (dx * dx + dy * dy + dz * dz > range2) {
            at(x, y, z) = 0;
            continue;
          }
        }
        try_add(x - 1, y, z);
        try_add(x + 1, y, z);
        try_add(x, y - 1, z);
        try_add(x, y + 1, z);
        try_add(x, y, z - 1);
        try_add(x, y, z + 1);
        if (diagonal) {
          try_add(x - 1, y - 1, z);
          try_add(x - 1, y + 1, z);
          try_add(x + 1, y - 1, z);
          try_add(x + 1, y + 1, z);
        }
        // Valley-path voxels carry the growth but stay marked, so that the
        // object is cut along them.
        uint8_t& s = at(x, y, z);
        if ((s & 4) == 0) s = static_cast<uint8_t>((s & 0xFA) | 2);
      }
      processed += static_cast<double>(current.size());
      if (progress.now_ms() - last > 100) {
        if (!progress.pulse(wxString::Format(
                "Connected component analysis: %.02f %% voxels in object", processed * 100.0 / total)))
          return false;
        last = progress.now_ms();
      }
      current.clear();
      std::swap(current, next_);
      if (current.empty() && !settings_.connected && next_seed(scan, sx, sy, sz)) {
        queue(sx, sy, sz);
        std::swap(current, next_);
      }
    }
    return true;
  }

 private:
  vec3_t world(const std::vector<matrix4_t>& matrices, double range2, int32_t x, int32_t y,
               int32_t z) const {
    vec3_t out;
    if (range2 <= 0.0) return out;
    const vec3_t p{x * settings_.xscale, y * settings_.yscale, 0.0};
    return matrix4_transform_point(out, matrices[z], p);
  }

  uint8_t* state_;
  const uint8_t* const* frames_;
  volume_size size_;
  int32_t gap_;
  const threshold_band& band_;
  const segment_settings& settings_;
  std::vector<voxel16> next_;
};

bool any_size(size_t) { return true; }
volume_memory_check memory_check = any_size;

}  // namespace

void set_volume_memory_check(volume_memory_check check) { memory_check = check ? check : any_size; }

bool stack_of_frames(int32_t clicked_frame, int32_t step, int32_t frames, frame_stack& out) {
  if (step < 1 || clicked_frame < 0 || clicked_frame >= frames) return false;
  out.step = step;
  out.first = clicked_frame % step;
  out.depth = (frames - out.first - 1) / step + 1;
  out.clicked = clicked_frame / step;
  return true;
}

int32_t clamp_object_count(int32_t requested, int32_t current_object, int32_t max_objects) {
  int32_t n = std::max(requested, 1);
  if (n > 254) n = 254;
  // Only objects with a page row may receive contours.
  const int32_t room = std::max(1, max_objects - current_object);
  return std::min(n, room);
}

bool grow_volume(uint8_t* state, const uint8_t* const* frames, const volume_size& size,
                 int16_t seed_x, int16_t seed_y, int16_t seed_z, int32_t gap,
                 const threshold_band& band, const segment_settings& settings,
                 const std::vector<matrix4_t>& slice_matrices, volume_progress& progress) {
  std::fill(state, state + size.voxels(), uint8_t{0});
  if (settings.connected && !size.contains(seed_x, seed_y, seed_z)) return true;
  volume_growth g(state, frames, size, gap, band, settings);
  return g.run(seed_x, seed_y, seed_z, slice_matrices, progress);
}

int32_t segment_volume(uint8_t* state, const uint8_t* const* frames, const volume_size& size,
                       int16_t seed_x, int16_t seed_y, int16_t seed_z, int32_t gap,
                       int32_t objects, const threshold_band& band,
                       const segment_settings& settings,
                       const std::vector<matrix4_t>& slice_matrices, volume_progress& progress) {
  if (!progress.pulse("Initialising object state")) return -1;
  if (!progress.pulse("Connected component analysis")) return -1;
  if (!grow_volume(state, frames, size, seed_x, seed_y, seed_z, gap, band, settings,
                   slice_matrices, progress))
    return -1;
  if (!progress.pulse("Find extent of object")) return -1;
  const bounds3d extent = find_object_extent(state, size);
  if (!progress.pulse("Topological analysis")) return -1;
  if (!extent.empty() &&
      !topological_analysis(state, frames, size, extent, band, settings, progress))
    return -1;
  int32_t n = std::max(objects, 1);
  if (n >= 2) {
    if (!progress.pulse("Label separate objects")) return -1;
    if (!extent.empty() && !label_separate_objects(seed_x, seed_y, seed_z, n, state, size, extent,
                                                   settings, gap, progress))
      return -1;
  }
  return n;
}

void compact_objects(int32_t first, int32_t count) {
  resource_table_t& t = *resource_table;
  contour_object* objects = t.RES_OBJECT->read();
  if (!objects) return;
  int32_t target = first;
  for (int32_t j = 0; j < count; ++j) {
    const int32_t o = first + j;
    if (o >= NUM_OBJECTS || objects[o].frames.empty()) continue;
    if (target < o) {
      if (landmarks* marks = t.RES_LANDMARKS->read()) {
        marks->renumber_object(o, target);
        t.LANDMARK->write();
      }
      if (curve_set* curves = t.RES_CURVE->read()) {
        bool moved = false;
        for (curve_t& c : curves->curves)
          if (c.object == o) {
            c.object = target;
            moved = true;
          }
        if (moved) t.CURVE->write();
      }
      std::swap(objects[target].frames, objects[o].frames);
    }
    ++target;
  }
}

namespace {

// Adds set j's contours to object first_object + j at frame, deleting the
// object's surface once.
void add_sets(frame_contours_t* sets, int32_t count, int32_t first_object, int32_t frame,
              std::vector<uint8_t>& surface_deleted) {
  resource_table_t& t = *resource_table;
  contour_object* objects = t.RES_OBJECT->read();
  if (!objects) return;
  for (int32_t j = 0; j < count; ++j) {
    const int32_t o = first_object + j;
    if (o >= NUM_OBJECTS) break;
    for (const contour_t& c : sets[j].contours) {
      objects[o].add_contour(frame, c);
      if (!surface_deleted[j] && o < resource_table_t::kSurfaceCount) {
        genflag_res_t<surface_interp*>* res = t.RES_SURFACE[o];
        if (surface_interp* surface = res->pending()) {
          delete_surface(surface);
          res->write(nullptr);
        }
        surface_deleted[j] = 1;
      }
    }
  }
}

}  // namespace

void segment3(int32_t clicked_frame, int32_t seed_x, int32_t seed_y, int32_t gap,
              double tolerance, const threshold_band& band, volume_progress& progress) {
  resource_table_t& t = *resource_table;
  if (!frame_store || !t.RES_OBJECT->read()) return;
  segment_settings settings = segment_settings::from_resources();
  const int32_t objects_wanted = t.RES_SEGMENT_OBJECTS->read();
  const bool need_3d = objects_wanted > 1 || settings.connected || gap > 0 || settings.type != 0;
  const int32_t width = t.RES_BUF_WIDTH->read(), height = t.RES_BUF_HEIGHT->read();
  const int32_t frames = t.RES_BUF_FRAMES->read();
  frame_stack stack;
  if (width < 1 || height < 1 ||
      !stack_of_frames(clicked_frame, t.RES_SEGMENT_FRAME->read(), frames, stack))
    return;
  if (seed_x < 0 || seed_y < 0 || seed_x >= width || seed_y >= height) return;
  if (width > kMaxSide || height > kMaxSide || stack.depth > kMaxSide) {
    wxLogWarning("A stack of %i x %i x %i voxels is too large to segment in 3D (at most %i a side).",
                 width, height, stack.depth, kMaxSide);
    return;
  }
  const size_t pixels = static_cast<size_t>(width) * height;

  std::vector<frame_image_ref> images(stack.depth);
  std::vector<const uint8_t*> slices(stack.depth, nullptr);
  for (int32_t k = 0; k < stack.depth; ++k) {
    images[k] = frame_store->imagecp(stack.first + k * stack.step);
    if (!images[k] || images[k]->size < 0 || static_cast<size_t>(images[k]->size) < pixels) return;
  }
  {
    const uint8_t* clicked = frame_image_t::display_data(images[stack.clicked]);
    if (!clicked || !band.is_highlighted(clicked, seed_x, seed_y, width, height)) return;
  }

  std::vector<matrix4_t> matrices;
  if (settings.range_mm > 0) {
    matrix4_t calibration;
    matrix4_from_position(calibration, t.RES_XTRANS->read(), t.RES_YTRANS->read(),
                          t.RES_ZTRANS->read(), t.RES_AZIMUTH->read(), t.RES_ELEVATION->read(),
                          t.RES_ROLL->read());
    matrices.resize(stack.depth);
    for (int32_t k = 0; k < stack.depth; ++k) {
      matrix4_t probe;
      const position_ref pos = frame_store->positioncp(stack.first + k * stack.step);
      if (pos) matrix4_from_position_t(probe, *pos);
      else matrix4_from_position(probe, 0, 0, 0, 0, 0, 0);
      matrix4_multiply(probe, matrices[k], calibration);
    }
  }

  std::vector<uint8_t> state;
  bool three_d = need_3d;
  if (three_d) {
    try {
      if (!memory_check(12 * pixels + pixels * stack.depth)) throw std::bad_alloc();
      std::vector<uint8_t> spare(12 * pixels);
      state.resize(pixels * stack.depth);
    } catch (const std::bad_alloc&) {
      wxLogWarning(
          "Unable to allocate enough memory for 3D segmentation.\n - switching to 2D segmentation "
          "instead.\n\nYou could try increasing the frame gap.");
      three_d = false;
    }
  }

  const bool wide = t.RES_BUF_DICOM->read() && !dicom_utility::data_8bit;
  progress.pulse(wide ? "Windowing 16-bit data\n"
                      : "Performing connected component analysis on all data\n");
  for (int32_t k = 0; k < stack.depth; ++k) {
    slices[k] = frame_image_t::display_data(images[k]);
    if (!slices[k]) return;
  }

  const int32_t current = t.CURRENT_OBJECT->read();
  int32_t labels = 1;
  if (three_d) {
    const volume_size size{width, height, stack.depth};
    int32_t n = clamp_object_count(objects_wanted, current, t.CURRENT_MAX_OBJECTS->read());
    labels = segment_volume(state.data(), slices.data(), size, static_cast<int16_t>(seed_x),
                            static_cast<int16_t>(seed_y), static_cast<int16_t>(stack.clicked),
                            gap, n, band, settings, matrices, progress);
    if (labels < 0) return;  // an unfinished state image is never traced
    if (n >= 2 && labels >= 2 && !t.RES_EXPERT_MODE->read()) {
      const contour_object* objects = t.RES_OBJECT->read();
      bool occupied = false;
      for (int32_t o = current + 1; o < current + labels && o < NUM_OBJECTS; ++o) {
        const bool surface = o < resource_table_t::kSurfaceCount && t.RES_SURFACE[o]->read();
        occupied |= !objects[o].frames.empty() || surface;
      }
      if (occupied) {
        wxLogWarning("Some of the additional %li objects are not empty.\nPlacing all contours in current object.",
                     static_cast<long>(labels - 1));
        labels = 1;
      }
    }
  }

  std::vector<frame_contours_t> sets(std::max(labels, 1));
  std::vector<uint8_t> deleted(sets.size(), 0);
  int64_t last = progress.now_ms();
  for (int32_t k = 0; k < stack.depth && labels > 0; ++k) {
    for (frame_contours_t& s : sets) {
      s.frame = -1;
      s.area = -1.0;
      s.contours.clear();
    }
    if (progress.now_ms() - last > 100) {
      const wxString text = three_d ? "Extracting contours: frame %lli of %lli"
                                    : "2D segmentation: frame %lli of %lli";
      if (!progress.pulse(wxString::Format(text, static_cast<long long>(k),
                                           static_cast<long long>(stack.depth))))
        break;
      last = progress.now_ms();
    }
    if (three_d) {
      extract_frame_contours(slices[k], state.data() + pixels * k, width, height, labels,
                             sets.data(), tolerance, settings.ridges || settings.valleys, band,
                             settings.doppler);
    } else {
      // The sound seed rule of the 2D operation: the click on its own frame,
      // every passing region (the first with "connected" on) on the others.
      const int32_t sx = k == stack.clicked ? seed_x : -1;
      sets[0] = segment(slices[k], width, height, sx, seed_y, gap, tolerance, band, settings);
    }
    add_sets(sets.data(), labels, current, stack.first + k * stack.step, deleted);
  }
  if (labels > 1) compact_objects(current, labels);
}

}  // namespace grassfire
