// Volume steps of the 3D segmentation, on the state image the growth leaves:
// the object's extent (with the growth's path marks stripped), holes and
// concavities (which non-object voxels are outside, which enclosed), and the
// separation of the segmented voxels into labelled pieces.
//
// The state image holds one byte per voxel at (z * height + y) * width + x;
// slice z of the frame stack is frames[z], width * height display pixels.
// Positions are 16-bit, so no side exceeds kMaxSide. Everything runs on the
// GUI thread behind the pipeline's progress dialog; nothing is kept between
// calls.
#pragma once

#include <wx/string.h>

#include <cstddef>
#include <cstdint>

#include "segmentation/grassfire.h"

namespace grassfire {

struct volume_size {
  int32_t width = 0, height = 0, depth = 0;
  size_t voxels() const { return static_cast<size_t>(width) * height * depth; }
  size_t index(int32_t x, int32_t y, int32_t z) const {
    return (static_cast<size_t>(z) * height + y) * width + x;
  }
  bool contains(int32_t x, int32_t y, int32_t z) const {
    return x >= 0 && y >= 0 && z >= 0 && x < width && y < height && z < depth;
  }
};

// Inclusive limits of the part of the volume the later steps scan; empty
// when a lower limit lies above its upper one.
struct bounds3d {
  int32_t x0 = 0, x1 = -1, y0 = 0, y1 = -1, z0 = 0, z1 = -1;
  bool empty() const { return x0 > x1 || y0 > y1 || z0 > z1; }
  bool contains(int32_t x, int32_t y, int32_t z) const {
    return x >= x0 && x <= x1 && y >= y0 && y <= y1 && z >= z0 && z <= z1;
  }
};

// The pipeline's progress dialog.
class volume_progress {
 public:
  virtual ~volume_progress() = default;
  // Shows message; false once the user has cancelled, and on every call after.
  virtual bool pulse(const wxString& message) = 0;
  // Milliseconds on a monotonic clock; the steps pulse at most every 100 ms.
  virtual int64_t now_ms() const;
};

class null_volume_progress final : public volume_progress {
 public:
  bool pulse(const wxString&) override { return true; }
};

// Strips the growth's path marks (values above 7 keep their low three bits),
// drops valley-path voxels (4 becomes 0) and returns the box of the remaining
// non-zero voxels widened by 2 and clamped to the volume; empty when none.
bounds3d find_object_extent(uint8_t* state, const volume_size& size);

// City-block distance to the object (voxels holding 2) within bounds: every
// other voxel becomes 2 + its distance, capped at 245.
void distance_transform_3d(uint8_t* state, const volume_size& size, const bounds3d& bounds);

// Holes and concavities. On entry the object voxels inside bounds hold 2 and
// the others 0. settings.type 0 ("All") leaves the state as it is; 2 ("Body")
// makes the object with its holes and filled concavities 2, 1 ("Holes") the
// enclosed and concave space alone; every other voxel of the bounds becomes
// 0. settings.concavity 0 fills enclosed space only. False when cancelled
// (the object voxels still hold 2, the others analysis codes above 2 or
// below 2) or out of memory (a message is logged).
bool topological_analysis(uint8_t* state, const uint8_t* const* frames, const volume_size& size,
                          const bounds3d& bounds, const threshold_band& band,
                          const segment_settings& settings, volume_progress& progress);

// Splits the voxels holding 2 into connected pieces (faces, plus the in-plane
// diagonals when ridges or valleys are on) and labels them: the seed's piece
// 2, the others 3, 4, ... by decreasing size, every piece beyond the
// max_objects-th sharing the last label; pieces within one slice become 0
// unless the stack has a single slice. max_objects (1 to 254 on entry)
// returns the number of labels used. With "connected" on and valleys off (or
// gap below 1) nothing is done. False when cancelled (at the first pulse
// nothing has changed, at the second every piece holds 1 and max_objects is
// as it was) or out of memory (a message is logged).
bool label_separate_objects(int16_t seed_x, int16_t seed_y, int16_t seed_z, int32_t& max_objects,
                            uint8_t* state, const volume_size& size, const bounds3d& bounds,
                            const segment_settings& settings, int32_t gap,
                            volume_progress& progress);

}  // namespace grassfire

#include <vector>

#include "data/geometry.h"

namespace grassfire {

struct voxel16 {
  int16_t x, y, z;
  bool operator==(const voxel16& o) const { return x == o.x && y == o.y && z == o.z; }
};

// Ridge (mode +1) or valley (mode -1) strength of voxel (x, y, z) from the
// second derivatives of its 3x3x3 neighbourhood; ridge picks bright
// structures, else dark ones. Any negative mode inverts the band test; +1 and
// -1 answer from the verdict bits of the state byte (0x02 ridge path, 0x04
// valley path, 0x08 not a ridge, 0x10 not a valley, 0x20 path end) and set
// 0x08 or 0x10 when the voxel carries no structure. reference (zero: none)
// turns a structure more than about 25 degrees off it into no structure.
// Result: 4097..8191 on a structure and in the band in the mode's sense,
// 1..4095 on a structure outside it, -4095..0 no structure in the band,
// -8191..-4096 no structure outside it; 8192, 4096, -4095, -8191 for cached
// verdicts and border voxels (which are never measured); -8192 for a voxel
// outside the volume or of an excluded grey value. direction, when given,
// receives the principal unit eigenvector of a measured voxel.
int32_t line_strength_3d(uint8_t* state, const uint8_t* const* frames, const volume_size& size,
                         const threshold_band& band, int16_t x, int16_t y, int16_t z,
                         const vec3_t& reference, int32_t mode, bool ridge, vec3_t* direction);

// Most voxels one ridge or valley path may visit for gap length J: 8 J^2,
// unbounded in practice at the slider's top value 50.
int64_t path_step_limit(int32_t gap);

// The growth's gap joining for a voxel that failed the band and is not
// excluded. With ridges and valleys off (and gap >= 1) the voxel is queued
// when along a row, a column, an in-plane diagonal (within gap pixels) or
// across the neighbouring slices both directions meet the object before an
// excluded value. With either on, ridge paths through voxels outside the band
// bridge to band voxels (which are queued) and valley paths through band
// voxels are marked 0x84 so the object is cut along them. Nothing happens
// with gap < 1.
void join_gaps_3d(uint8_t* state, const uint8_t* const* frames, const volume_size& size,
                  const threshold_band& band, const segment_settings& settings, int32_t gap,
                  int16_t x, int16_t y, int16_t z, std::vector<voxel16>& queue);

// Every step-th frame from the clicked one's remainder: slice k is frame
// first + k * step; the click lies in slice clicked.
struct frame_stack {
  int32_t first = 0, step = 1, depth = 0, clicked = 0;
};
// False when step is below 1 or the clicked frame lies outside 0..frames-1.
bool stack_of_frames(int32_t clicked_frame, int32_t step, int32_t frames, frame_stack& out);

// The number of objects a split may fill from current_object on: at least 1,
// no further than the last object in use (max_objects), at most 254.
int32_t clamp_object_count(int32_t requested, int32_t current_object, int32_t max_objects);

// Grows the object from the seed voxel through the stack: faces, plus the
// in-plane diagonals when ridges or valleys are on; failing voxels not
// excluded go to the gap joining. Seedless ("connected" off) the growth
// starts from every passing voxel in raster order. slice_matrices (one per
// slice, pixel-scaled positions to world centimetres) are used for the range
// limit when settings.range_mm > 0. On return the grown voxels hold 2 (with
// the gap joining's path marks above); false when cancelled (the voxels
// reached so far are kept).
bool grow_volume(uint8_t* state, const uint8_t* const* frames, const volume_size& size,
                 int16_t seed_x, int16_t seed_y, int16_t seed_z, int32_t gap,
                 const threshold_band& band, const segment_settings& settings,
                 const std::vector<matrix4_t>& slice_matrices, volume_progress& progress);

// Growth, extent, topological analysis and (objects >= 2) labelling of the
// stack; state holds size.voxels() bytes. Returns the number of contour sets
// the state image's labels go to (1, or the labels used when split, possibly
// 0), or -1 when cancelled (the state image is then not to be traced).
int32_t segment_volume(uint8_t* state, const uint8_t* const* frames, const volume_size& size,
                       int16_t seed_x, int16_t seed_y, int16_t seed_z, int32_t gap,
                       int32_t objects, const threshold_band& band,
                       const segment_settings& settings,
                       const std::vector<matrix4_t>& slice_matrices, volume_progress& progress);

// Moves the contours, landmarks and curves of objects first .. first+count-1
// that have contours down so that they lie consecutively from first on.
void compact_objects(int32_t first, int32_t count);

// Whether the 3D pipeline may take `bytes` more for its state image: false
// means no memory. Lets the handling of memory shortage be exercised; null
// restores the default, which always allows (the allocation itself may still
// fail).
using volume_memory_check = bool (*)(size_t bytes);
void set_volume_memory_check(volume_memory_check check);

// One click through the frame stack of the resources: every
// RES_SEGMENT_FRAME-th frame is segmented in 3D (or frame by frame in 2D when
// 3D is not needed or its memory is missing) and the result added as
// contours of CURRENT_OBJECT onwards, whose surfaces are deleted. The caller
// raises CONT and commits.
void segment3(int32_t clicked_frame, int32_t seed_x, int32_t seed_y, int32_t gap,
              double tolerance, const threshold_band& band, volume_progress& progress);

}  // namespace grassfire
