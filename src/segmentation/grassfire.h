// Segmentation of 8-bit frames into closed contours, and contours from label
// images.
//
// segment grows a region breadth-first from a clicked pixel (or from every
// passing pixel) through the threshold band, closes gaps straight across or
// along bright and dark lines, cuts touching objects apart along creases,
// fills holes and narrow-mouthed concavities (or keeps only them), and traces
// the region's boundaries with vertices moved to where the grey values cross
// the threshold. The tracers turn label images into contours with vertices on
// pixel edges. Contours are in pixel units: pixel (x, y) covers the square
// (x, y) .. (x + 1, y + 1).
//
// Positions are kept as 16-bit pairs, so frames are at most 32767 pixels a
// side; larger ones are refused with a message. Everything runs on the GUI
// thread; no call keeps state of its own between calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "data/contour.h"
#include "segmentation/threshold_band.h"

namespace grassfire {

// The largest frame side positions can hold.
constexpr int32_t kMaxSide = 32767;

// Neighbour offsets (dx, dy); entry k + 4 (mod 8) is the opposite of entry k.
extern const int16_t neighbours_2d[8][2];
extern const double neighbour_distances_2d[8];
// Neighbour offsets (dx, dy, dz); entry k + 13 is the opposite of entry k for k < 13.
extern const int16_t neighbours_3d[26][3];
extern const double neighbour_distances_3d[26];

struct pixel16 {
  int16_t x = 0;
  int16_t y = 0;
  bool operator==(const pixel16& o) const { return x == o.x && y == o.y; }
};

// Inclusive limits of the part of the state image later steps scan; empty
// when x0 > x1.
struct bounds2d {
  int32_t x0 = 0, x1 = -1, y0 = 0, y1 = -1;
  bool empty() const { return x0 > x1 || y0 > y1; }
};

// The Draw page's segmentation settings.
struct segment_settings {
  bool connected = true;  // "Connected regions only"
  bool ridges = true;     // follow bright or dark lines across gaps
  bool valleys = true;    // cut the region along lines of the opposite kind
  int32_t range_mm = 0;   // "Within": no pixel farther from the click grows (0: no limit)
  double xscale = 0.01;   // centimetres per pixel
  double yscale = 0.01;
  int32_t type = 2;          // "Segment regions:" 0 All, 1 Holes, 2 Body
  int32_t concavity = 50;    // "Fix concavities (strength):"
  bool doppler = false;      // Doppler data: vertices stay on pixel edges

  static segment_settings from_resources();
};

// State image codes of the growth.
enum : uint8_t { kOutside = 0, kQueued = 1, kInside = 2, kWall = 4 };

// Segments one frame. seed_x -1 means no seed: every passing region grows
// (with "connected" on, the first one in raster order). The result's frame is
// -1 and its area unset; it is empty when the seed fails the band, nothing
// passes, the frame is too large or memory runs out.
frame_contours_t segment(const uint8_t* display, int32_t width, int32_t height, int32_t seed_x,
                         int32_t seed_y, int32_t gap, double tolerance,
                         const threshold_band& band, const segment_settings& settings);
// The same with the frame size and settings of the resources.
frame_contours_t segment(const uint8_t* display, int32_t seed_x, int32_t seed_y, int32_t gap,
                         double tolerance, const threshold_band& band);

// The region segment traces: state (width x height bytes) holds 2 inside and
// 0 outside on return, bounds the region's box widened by 2. False, with a
// message logged, when the frame cannot be segmented (too large, no memory);
// true with empty bounds when nothing grew.
bool segment_region(const uint8_t* display, int32_t width, int32_t height, int32_t seed_x,
                    int32_t seed_y, int32_t gap, const threshold_band& band,
                    const segment_settings& settings, std::vector<uint8_t>& state,
                    bounds2d& bounds);

// Whether v lies nearer the low threshold than the high one (with one of them
// 0, on the side of the other).
bool nearer_low_threshold(int32_t v, int32_t lo, int32_t hi);

// Holes and concavities: state holds 2 for the object and 0 elsewhere inside
// bounds; afterwards 2 for what settings.type keeps, 0 for the rest.
void topological_analysis_2d(uint8_t* state, const uint8_t* display, int32_t width,
                             int32_t height, const bounds2d& bounds, const threshold_band& band,
                             const segment_settings& settings);
// City-block distance to the object within bounds: 2 + distance for every
// non-object pixel, 245 from distance 243 on or where no path leads.
void distance_transform_2d(uint8_t* state, int32_t width, const bounds2d& bounds);

// Line strength at p + o: -4096 when refused, else ceil(strength) (0 on a
// steep slope along the line) plus 8192 for a pixel on a line that passes the
// band in the sense of mode (+1 as is, -1 inverted, 0 must pass). normal, when
// given, receives the unit vector across the line.
int32_t line_strength_2d(const uint8_t* state, const uint8_t* display, int32_t width,
                         int32_t height, const threshold_band& band, pixel16 p, pixel16 o,
                         int32_t mode, bool ridge, double* normal);

// Where a boundary vertex between inside pixel *a and its neighbour a[step]
// lies, in pixels off the shared edge towards a (negative: towards the
// neighbour). The caller makes sure a[step] and a[-step] are pixels.
float edge_offset(const uint8_t* a, ptrdiff_t step, const threshold_band& band, bool doppler);

// Traces the labelled pixels (2 or more) of a segmentation state image into
// sets[label - 2] (every label into sets[0] when there is one set), vertices
// moved by edge_offset; 8-connected regions when eight_connected, else
// 4-connected. labels is left as it was.
void extract_frame_contours(const uint8_t* display, const uint8_t* labels, int32_t width,
                            int32_t height, int32_t set_count, frame_contours_t* sets,
                            double tolerance, bool eight_connected, const threshold_band& band,
                            bool doppler);

// Traces an 8-connected label image (values 2 or more) into sets[label - 2],
// vertices on pixel edges; labels is left as it was.
void trace_label_contours(const uint8_t* labels, int32_t width, int32_t height,
                          int32_t set_count, frame_contours_t* sets, double tolerance);

// Adds the outlines of every pixel of grey value label on frame f (every n-th
// frame from f mod n when n > 0) to object; with rename the object is named
// after the label and reset before its first new contour. 1 when a contour
// was added, else 0. The caller raises CONT and commits.
int32_t contours_from_label(int32_t label, int32_t object, int32_t f, int32_t n, bool rename);

}  // namespace grassfire
