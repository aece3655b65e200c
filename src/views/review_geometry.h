// Where the review view puts the current frame: zoom, scroll offsets, the
// displayed and visible sizes and the mapping between frame pixels and window
// points. Plain arithmetic, so that the window class stays thin and the rules
// are tested without a display.
#pragma once

#include <cstdint>

// Kinds of scroll-bar event, as the toolkit delivers them.
enum review_scroll_kind : int32_t {
  SCROLL_TOP,
  SCROLL_BOTTOM,
  SCROLL_LINE_UP,
  SCROLL_LINE_DOWN,
  SCROLL_PAGE_UP,
  SCROLL_PAGE_DOWN,
  SCROLL_THUMB_TRACK,
  SCROLL_THUMB_RELEASE,
};

struct review_geometry {
  int32_t client_width = 1;
  int32_t client_height = 1;
  int32_t image_width = 0;
  int32_t image_height = 0;
  double zoom = 1.0;    // window pixels per frame pixel across
  double zoom_y = 1.0;  // window pixels per frame pixel down
  int32_t display_width = 0;
  int32_t display_height = 0;
  int32_t visible_width = 0;
  int32_t visible_height = 0;
  int32_t scroll_x = 0;
  int32_t scroll_y = 0;
  double scroll_x_image = 0.0;
  double scroll_y_image = 0.0;
  bool invert = false;  // RES_INVERT_BSCAN: row 0 at the bottom of the displayed frame

  // Window y (origin lower left) of a zoomed frame row v.
  double screen_y(double v) const;
  // Window point of frame point (x, y).
  void frame_to_window(double x, double y, double& wx, double& wy) const;
  // Frame point under window position (mx, my) of a mouse event (origin top left).
  void mouse_to_image(int32_t mx, int32_t my, double& x, double& y) const;
  // my of a mouse event in the row order of the displayed frame.
  int32_t mouse_row(int32_t my) const;

  // Zoom and the display size for zoom z; aspect is RES_YSCALE / RES_XSCALE.
  void set_zoom(double z, double aspect);
  // A new zoom from outside: the point in the middle of the client area stays
  // there unless the caller has placed the scroll offsets already.
  void change_zoom(double z, double aspect, bool positioned);
  // Scroll offsets within 0 .. display - client.
  void clamp_scroll();
  void update_scroll_image();
  void update_visible();
  // Scroll so that frame point (fx, fy) comes to the middle, as far as the
  // range allows; true when an offset was set.
  bool centre_on(double fx, double fy);
};

// RES_YSCALE / RES_XSCALE, or 1 when either is 0 or not finite.
double review_aspect(double xscale, double yscale);

// The zoom that fits an image into a window of outer size ww x wh. The image
// or window having no size gives ok false and leaves the zoom to the caller.
struct review_fit_t {
  bool ok = false;
  double zoom = 1.0;
  int32_t display_width = 0;
  int32_t display_height = 0;
};
review_fit_t review_fit(int32_t ww, int32_t wh, int32_t image_width, int32_t image_height,
                        double aspect);

// Which scroll bars the display needs in a window of outer size ww x wh and
// client size cw x ch: each bar takes room from the other direction.
void review_needed_bars(int32_t dw, int32_t dh, int32_t ww, int32_t wh, int32_t cw, int32_t ch,
                        bool& horizontal, bool& vertical);

// New position of a scroll bar after an event of kind.
int32_t review_scroll_position(review_scroll_kind kind, int32_t pos, int32_t range, int32_t thumb,
                               int32_t event_pos);

// Scroll offset in window pixels of a bar position (bars count frame pixels
// when the zoom is above 1), and back.
int32_t review_bar_to_scroll(int32_t position, double zoom);
int32_t review_scroll_to_bar(int32_t value, double zoom);
