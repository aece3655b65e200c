// The arithmetic of the plot widget, kept apart from drawing so that it can
// be checked without a display: the view geometry (scales, position, margins,
// fitting, zooming, panning, scroll bars), tick steps and label texts, segment
// clipping, and the layout sums of legends, info boxes, ellipses and bitmaps.
#pragma once

#include <string>
#include <vector>

// Union of the data extents of a window's layers.
struct mpExtent {
  double min_x = 0, max_x = 0, min_y = 0, max_y = 0;
};

// Rectangle a layer may draw in (inclusive at both ends).
struct mpBounds {
  int min_x = 0, max_x = 0, min_y = 0, max_y = 0;
  bool contains(int c, int r) const { return c >= min_x && c <= max_x && r >= min_y && r <= max_y; }
};

// Scroll-bar settings of one orientation.
struct mpScrollBar {
  int position = 0, thumb = 0, range = 0;
};

// The geometry every layer reads while it draws.
struct mpView {
  static constexpr double zoom_factor = 1.5;

  double scale_x = 1.0, scale_y = 1.0;  // pixels per data unit
  double pos_x = 0.0, pos_y = 0.0;      // data coordinates at the top-left pixel
  int width = 64, height = 64;          // client size in pixels
  int top = 0, right = 0, bottom = 0, left = 0;  // margins in pixels
  // The data range the view was last fitted to.
  double x_from = 0, x_to = 1, y_from = 0, y_to = 1;
  bool aspect_lock = false;

  int x2p(double x) const;
  int y2p(double y) const;
  double p2x(int column) const { return column / scale_x + pos_x; }
  double p2y(int row) const { return pos_y - row / scale_y; }

  // Centre pixel of the plot area (integer halves).
  int centre_column() const { return left + (width - left - right) / 2; }
  int centre_row() const { return top + (height - top - bottom) / 2; }

  // Whole client area when drawing outside the margins, else the plot area.
  mpBounds bounds(bool outside_margins) const;

  // Fits the range onto the plot area of the current client size.
  void fit_range(double x0, double x1, double y0, double y1);
  // Multiplies (in) or divides both scales by 1.5 about a pixel, keeping its data point put,
  // and makes the view range what is now visible in the plot area.
  void zoom_at(int column, int row, bool in);
  void zoom_horizontal_at(int column, bool in);
  void zoom_vertical_at(int row, bool in);
  void zoom_to_pixel_rect(int c0, int r0, int c1, int r1);
  // Moves the data point under a pixel to the centre of the plot area.
  void centre_on(int column, int row);
  // Right drag from (px, py) to (qx, qy): the drawing follows the pointer.
  void drag(int px, int py, int qx, int qy);
  // Mouse wheel without Ctrl: vertical scroll, or horizontal with Shift.
  void wheel_scroll(int rotation, bool horizontal);

  mpScrollBar horizontal_bar(const mpExtent& e) const;
  mpScrollBar vertical_bar(const mpExtent& e) const;
  void scroll_to(const mpExtent& e, int position, bool vertical);
};

// Extent union over layers: the first counted sets it, the rest widen it.
void mp_extent_add(mpExtent& e, bool first, double min_x, double max_x, double min_y, double max_y);

// --- Ticks and labels -------------------------------------------------------

// Power-of-ten exponent of the tick step for `scale` pixels per unit:
// floor(log10(128 / scale)), so ticks are 12.8 to 128 pixels apart.
// Returns false when the scale is not a positive finite number.
bool mp_tick_exponent(double scale, int* exponent, double* step);

// Tick values (first_index + i * stride) * step for i = 0, 1, ... while below
// `end`, at most `cap` of them: an integer count, so that a step below the
// rounding of the position can never loop forever.
std::vector<double> mp_tick_values(double first_index, double step, double end, int cap,
                                   int stride = 1);

// Ticks of a horizontal axis over the whole client width; and the thinning
// of its labels: every k-th tick is labelled.
std::vector<double> mp_x_ticks(const mpView& v, double step, int stride = 1);
int mp_label_stride(int largest_label_width, double step, double scale);

// Ticks of a vertical axis from the plot area's bottom edge upward.
std::vector<double> mp_y_ticks(const mpView& v, double step);

// Labels of a vertical axis are written upward; one closer than 33 pixels
// to the last written is skipped. `last_top` starts at 65536 and follows.
bool mp_y_label_fits(int* last_top, int row, int first_label_height);

// Label formats. An explicit format is used when it holds exactly one
// floating-point conversion; otherwise the automatic one.
std::string mp_x_number_format(const std::string& format, int exponent);
std::string mp_y_number_format(const std::string& format, double view_magnitude, int exponent);
bool mp_is_double_format(const std::string& format);
std::string mp_format_double(const std::string& format, double value);

// Label of a tick of a horizontal axis for each label type (0 number,
// 1 duration, 2 hours:minutes:seconds, 3 date, 4 date and time).
std::string mp_x_label(int type, const std::string& number_format, double n, double right_edge_x);

// --- Axes layout -------------------------------------------------------------

int mp_x_axis_row(const mpView& v, int alignment, bool outside);
int mp_y_axis_column(const mpView& v, int alignment, bool outside);

// Where an axis name goes; `shown` false for alignments without a name.
struct mpNamePlace {
  int x = 0, y = 0;
  bool rotated = false;
  bool shown = false;
};
mpNamePlace mp_x_name_place(const mpView& v, int alignment, bool outside, int row, int w, int h,
                            int largest_label_h);
mpNamePlace mp_y_name_place(const mpView& v, int alignment, bool outside, int column, int w, int h,
                            int largest_label_w);

// --- Layers ------------------------------------------------------------------

// Clips a segment of a joined series to the bounds. False when it is skipped.
bool mp_clip_segment(int& c0, int& r0, int& c1, int& r1, const mpBounds& b);

// Position of a text placed by percentages of the plot-area size.
void mp_text_position(const mpView& v, unsigned x_percent, unsigned y_percent, int* x, int* y);

// Legend box of entries measured (w, h): box size and the rows of the sample lines.
struct mpLegendLayout {
  int width = 20, height = 0;
  std::vector<int> sample_rows;  // relative to the box top
  std::vector<int> text_rows;
};
mpLegendLayout mp_legend_layout(const std::vector<std::pair<int, int>>& sizes);

// Keeps an info box in its relative place when the client size changes.
// Returns true when the reference must follow the new corner.
struct mpInfoPlace {
  int x = 0, y = 0;
  int recorded_w = 1, recorded_h = 1;
};
bool mp_info_rescale(mpInfoPlace& p, int client_w, int client_h);

// Shape of a covariance ellipse. Returns an empty message on success.
std::string mp_covariance_ellipse(double c00, double c11, double c01, double quantiles,
                                  int segments, std::vector<double>& xs, std::vector<double>& ys);

// What part of a bitmap layer is drawn, and from which image pixels.
struct mpBitmapPlan {
  bool draw = false;
  int left = 0, top = 0, width = 0, height = 0;       // on the window
  int src_x = 0, src_y = 0, src_w = 0, src_h = 0;     // in image pixels
};
mpBitmapPlan mp_bitmap_plan(const mpView& v, double min_x, double max_x, double min_y,
                            double max_y, int image_w, int image_h);

// Page of a printout: the drawing is inset 50 pixels on each side.
struct mpPageLayout {
  int origin_x = 50, origin_y = 50;
  int width = 0, height = 0;
  bool usable = false;
};
mpPageLayout mp_page_layout(int dc_width, int dc_height);
