// The display colour map: how 8-bit image values become display colours in
// every view and image export.
//
// Five modes, the first that applies wins: Doppler (RES_BUF_DOPPLER, with the
// Doppler threshold bands when RES_CMAP_BINARY is also on), thresholds
// (RES_CMAP_BINARY), labels (RES_CMAP_LABELS), volume colours
// (RES_CMAP_VOLUME) and grey. Every colour decision is made once per
// settings change in 256-entry tables, so mapping a frame costs table
// look-ups per pixel; the gradient test of the threshold highlighting is
// computed only where the flags leave it open.
//
// The map watches its settings through a change procedure and rebuilds its
// tables when they change, then raises RES_CMAP_CHANGED so that the views
// repaint. Everything here runs on the GUI thread; the engine needs wxBase
// at most (the swatch's bitmap wrapper lives in material_swatch_wx.h).
#pragma once

#include <cstdint>

#include "segmentation/threshold_band.h"

class base_functor;
class wxBitmap;
class wxColour;
class wxSize;

class globcmap_t final : public threshold_band {
 public:
  // Registers the change procedure on the watched settings, reads them and
  // builds the tables; both steps start at 1. Raises nothing. Needs the
  // resource table.
  globcmap_t();
  // Removes the change procedure from the settings that still exist.
  ~globcmap_t() override;
  globcmap_t(const globcmap_t&) = delete;
  globcmap_t& operator=(const globcmap_t&) = delete;

  // Copies what changed in the current commit and, when the tables depend on
  // it, rebuilds them, raises RES_CMAP_CHANGED and commits at once.
  void changeproc();

  // ---- Mapping ------------------------------------------------------------

  // Maps a width x height frame into the top-left corner of an RGBA buffer
  // of out_width x out_height; the rest of each row and the rows below take
  // the background (channels 0..1). Alpha is the opacity, or 0 for value 0
  // when zero_transparent is set (and for the padding then too). Nothing is
  // written when the buffer is smaller than the frame.
  void map_to_rgba(const uint8_t* data, int32_t width, int32_t height, uint8_t* out,
                   int32_t out_width, int32_t out_height, float background_red,
                   float background_green, float background_blue, float opacity,
                   bool zero_transparent) const;

  // Maps every step-th pixel of every step-th row into out_width x
  // out_height packed RGB pixels. Nothing is written when a buffer is
  // missing, the step is below 1 or the samples would leave the frame.
  void map_to_rgb(const uint8_t* data, int32_t width, int32_t height, uint8_t* out,
                  int32_t out_width, int32_t out_height, int32_t step) const;

  // The zoomed mapping of the 2D views (map_frame.cpp): cuts the visible
  // part of a width x height frame, scales it by zoom (output pixels per
  // source pixel) and colours it into out_width x out_height RGBA pixels.
  // x0, y0: source coordinates, in pixels, of the output's left and top
  // edges (at zoom 1 and whole x0, y0 the output shows source pixels
  // exactly). A negative zoom_y stores the output rows bottom-up. masked: value 0 is
  // "no data". Pixels without data take the background (RES_BACKGROUND)
  // with alpha 0; the others have alpha 255 x opacity. Nothing is written
  // when an argument is out of range (a zoom of 0 or below, a view side
  // beyond kMaxViewSide, an origin beyond the frame).
  static constexpr int32_t kMaxViewSide = 16384;
  void map_frame(const uint8_t* data, int32_t width, int32_t height, uint8_t* out,
                 int32_t out_width, int32_t out_height, float x0, float y0, float zoom_x,
                 float zoom_y, bool masked, double opacity) const;

  // ---- Threshold tests ----------------------------------------------------

  // The threshold highlighting of pixel (x, y) of an 8-bit frame; also the
  // segmentation's inclusion test.
  bool is_highlighted(const uint8_t* data, int32_t x, int32_t y, int32_t width,
                      int32_t height) const override;
  // The segmentation's other questions: the "not" flags, the band flags and
  // the grey thresholds.
  bool excluded(uint8_t value) const override { return not_[value] != 0; }
  bool in_band(uint8_t value) const override { return band_[value] != 0; }
  int32_t low_threshold() const override { return thresholds_[0]; }
  int32_t high_threshold() const override { return thresholds_[1]; }
  // The same test on map_frame's resampled values (above 255, or negative,
  // means no data), with neighbours step_x and step_y apart and gradients
  // scaled back to source pixels by zoom / step.
  bool is_highlighted_resampled(const int32_t* values, int32_t x, int32_t y, int32_t width,
                                int32_t height, int32_t step_x, int32_t step_y, float zoom_x,
                                float zoom_y) const;

  // ---- Doppler --------------------------------------------------------------

  // 0 grey (0..127), 1 blue flow (128..191), 2 red flow (192..255).
  static int32_t doppler_class(int32_t value) { return value < 128 ? 0 : (value < 192 ? 1 : 2); }
  // Blends two values with weights in units of 1/65536 without mixing
  // Doppler classes: across classes the heavier value wins (b on a tie).
  static int32_t blend_doppler(int32_t a, int32_t b, int32_t weight_a, int32_t weight_b);
  // The Doppler palette with 8 bits per channel.
  static const uint8_t (&doppler_palette())[256][3];

  // ---- Volume transfer function --------------------------------------------

  // Fills 256 entries of (red, green, blue, opacity), each 0..1, from the
  // enabled rows of RES_VOLUME, and, when material is not null, 256 entries
  // of (roughness, metallic, anisotropy). Opacity a becomes
  // 1 - (1 - a^p1)^p2, entries 0 and 1 fully transparent.
  void volume_transfer_function(float (*out)[4], float p1, float p2, float (*material)[3]) const;

  // ---- Coarse steps while dragging -------------------------------------------

  // Both steps from the load of the reslice builders attached to RESLICE.
  bool estimate_reslice_step();
  // Stores both steps; true unless both are 1.
  bool set_step(int32_t pixel_step, int32_t slice_step);
  void get_step(int32_t& pixel_step, int32_t& slice_step) const;

  // The default of RES_CPU_GRAPHICS_POWER: this platform has no slow-machine
  // indicator, so every machine counts as fast.
  static int32_t default_graphics_power() { return 49999; }

  // ---- Material swatch -------------------------------------------------------

  // Makes out a size.x x size.y swatch of the material (colour's red, green
  // and blue; the other values clamped to 0..1) and returns it; a size below
  // one pixel leaves out as it was. Needs the toolkit's GUI library
  // (material_swatch_wx.cpp); the computation is material_sphere_rgba.
  static wxBitmap& material_sphere_bitmap(wxBitmap& out, const wxSize& size, const wxColour& colour,
                                          double metallic, double roughness, double anisotropy);

  // ---- What the tables hold (for views and tests) ---------------------------

  const uint8_t* band_flags() const { return band_; }
  const uint8_t* not_flags() const { return not_; }
  const uint8_t* red() const { return red_; }
  const uint8_t* green() const { return green_; }
  const uint8_t* blue() const { return blue_; }
  int32_t gradient_range() const { return gradient_range_; }
  // The displayed colour of value v: violet beyond the "not" threshold,
  // magenta when highlighted, else the table colour.
  void colour_of(int32_t v, bool highlighted, uint8_t rgb[3]) const;

 private:
  void read_settings();
  void build_tables();

  uint8_t band_[256] = {};
  uint8_t not_[256] = {};
  bool doppler_ = false;
  bool thresholds_on_ = false;
  bool volume_colours_ = false;
  bool labels_ = false;
  // RES_CMAP_GREY_LO, _GREY_HI, _GREY_ANTI, _RED_LO, _RED_HI, _BLUE_LO, _BLUE_HI
  int32_t thresholds_[7] = {};
  uint8_t red_[256] = {};
  uint8_t green_[256] = {};
  uint8_t blue_[256] = {};
  int32_t gradient_range_ = 0;
  int32_t pixel_step_ = 1;
  int32_t slice_step_ = 1;
  base_functor* changeproc_ = nullptr;

  // Derived from the tables at each rebuild: the three colours each value
  // can show (plain, highlighted, beyond "not"), RGB.
  uint8_t plain_rgb_[256][3] = {};
  uint8_t highlight_rgb_[256][3] = {};
  uint8_t not_rgb_[256][3] = {};
};

// The one colour map, owned by the application object (or a tool run); null
// while none exists.
extern globcmap_t* colour_map;

// Maps frame pixels to RGB for the frame export as the views show them;
// grey while no colour map exists.
void colour_map_frame_rgb(const uint8_t* pixels, int32_t width, int32_t height, uint8_t* rgb);

// Creates colour_map and makes the frame export colour through it; the
// destructor undoes both. For start-up and headless tool runs; needs the
// resource table for its whole life.
class colour_map_scope {
 public:
  colour_map_scope();
  ~colour_map_scope();
  colour_map_scope(const colour_map_scope&) = delete;
  colour_map_scope& operator=(const colour_map_scope&) = delete;
};
