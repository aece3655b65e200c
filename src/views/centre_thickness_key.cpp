// The centre view's panel on the Thickness page: the colour key of the
// displayed thickness quantity, and the profile of the last measurement
// with its fitted model.
// GLEW before any other OpenGL header.
#include <GL/glew.h>

#include <algorithm>
#include <cmath>

#include <wx/colour.h>
#include <wx/settings.h>

#include "medical/dicom_utility.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "thickness/thickness.h"
#include "thickness/thickness_colours.h"
#include "views/centre_canvas.h"
#include "views/glfont.h"
#include "views/model_overlay_math.h"

namespace {

constexpr double kNotEstimated = 1e10, kHeldFixed = 1e-4;

class key_painter {
 public:
  key_painter(glfont* font, int32_t cw, int32_t ch) : font_(font), cw_(cw), ch_(ch) {}

  // Text anchored at window point (x, y), offset in font heights, in the current colour.
  void text(const wxString& s, double x, double y, double ox, double oy) const {
    if (!font_ || s.empty()) return;
    const int viewport[4] = {0, 0, cw_, ch_};
    double position[3] = {2.0 * x / cw_ - 1.0, 2.0 * y / ch_ - 1.0, 0.0};
    const double offset[2] = {ox, oy};
    float colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    font_->draw_text(s, viewport, position, offset, colour, false);
  }

 private:
  glfont* font_;
  int32_t cw_, ch_;
};

void colour_entry(int map, int entry) {
  uint8_t rgb[3];
  thickness_colour(map, entry, rgb);
  glColor3ub(rgb[0], rgb[1], rgb[2]);
}

void outline(double x0, double y0, double x1, double y1) {
  glBegin(GL_LINE_LOOP);
  glVertex2d(x0, y0);
  glVertex2d(x1, y0);
  glVertex2d(x1, y1);
  glVertex2d(x0, y1);
  glEnd();
}

}  // namespace

void centre_canvas::draw_thickness_key() {
  resource_table_t& t = *resource_table;
  const int32_t cw = state_.g.client_width, ch = state_.g.client_height;
  const int32_t P = font() && font()->height() > 0 ? font()->height() : 28;
  const int32_t H = ch - P - 20, y0 = P + 10;
  auto row = [&](int32_t n) { return static_cast<double>(y0 + (n * H) / 330); };
  const double bar0 = cw - P - 10, bar1 = cw - 10;
  const int map = static_cast<int>(t.RES_THICKNESS_DISP_COL->read());
  const key_painter painter(font(), cw, ch);

  glBegin(GL_QUAD_STRIP);
  auto bar_row = [&](int entry, int32_t n) {
    colour_entry(map, entry);
    glVertex2d(bar0, row(n));
    glVertex2d(bar1, row(n));
  };
  bar_row(2, 50);
  for (int e = 2; e <= 254; ++e) bar_row(e, 49 + e);
  bar_row(254, 305);
  glEnd();
  const int32_t swatches[3][3] = {{0, 0, 15}, {1, 25, 40}, {255, 315, 330}};
  glBegin(GL_QUADS);
  for (const auto& s : swatches) {
    colour_entry(map, s[0]);
    glVertex2d(bar0, row(s[1]));
    glVertex2d(bar1, row(s[1]));
    glVertex2d(bar1, row(s[2]));
    glVertex2d(bar0, row(s[2]));
  }
  glEnd();

  const wxColour bg(t.RES_BACKGROUND->read());
  const bool light = bg.IsOk() && bg.Red() > 220 && bg.Green() > 220 && bg.Blue() > 220;
  const double ink = light ? 0.0 : 1.0;
  glColor3d(ink, ink, ink);
  outline(bar0, row(50), bar1, row(305));
  for (const auto& s : swatches) outline(bar0, row(s[1]), bar1, row(s[2]));

  const wxString units = t.RES_DICOM_UNITS->read();
  const thickness_key_scale k = thickness_key_scale_for(
      static_cast<int32_t>(t.RES_THICKNESS_DISP_MAP->read()), t.RES_THICKNESS_SCALE_MM->read(),
      t.RES_THICKNESS_SCALE_HU->read(), t.RES_THICKNESS_SCALE_HUMM->read(),
      t.RES_THICKNESS_ZERO_HU->read(), units, P);
  const int32_t cl = k.column_width;
  const double lx = cw - cl - P - 10;
  painter.text("Surface Key", lx, y0 - P, 0, 1);
  glBegin(GL_LINES);
  for (const thickness_key_label& l : thickness_key_labels(k))
    if (l.tick) {
      glVertex2d(bar0, row(l.row));
      glVertex2d(bar1, row(l.row));
    }
  glEnd();
  for (const thickness_key_label& l : thickness_key_labels(k))
    painter.text(l.text, lx, l.tick ? row(l.row) - 2 : row(l.row), 0, 0.6);

  const wxColour sep = wxSystemSettings::GetColour(wxSYS_COLOUR_3DLIGHT);
  glColor3ub(sep.Red(), sep.Green(), sep.Blue());
  glBegin(GL_QUADS);
  glVertex2d(cw - cl - P - 20, 0);
  glVertex2d(cw - cl - P - 16, 0);
  glVertex2d(cw - cl - P - 16, ch);
  glVertex2d(cw - cl - P - 20, ch);
  glEnd();

  // The profile of the last measurement.
  const thickness* e = t.RES_THICKNESS->read();
  if (!e || !e->sampled || !(e->line_length > 0.0)) return;
  const int32_t m = P * 25 / 10, x0 = m + 10, gw = cw - m - cl - P - 45;
  if (gw < 1 || H < 1) return;
  glColor3d(ink, ink, ink);
  glBegin(GL_LINE_STRIP);
  glVertex2d(x0, y0 + H);
  glVertex2d(x0, y0);
  glVertex2d(x0 + gw, y0);
  glEnd();
  const double wc = t.RES_DICOM_WIN_CENTRE->read();
  // The window width divides every value: never below one unit.
  const double ww = std::max(1.0, static_cast<double>(t.RES_DICOM_WIN_WIDTH->read()));
  auto value_y = [&](double c) { return y0 + ((c - wc) * 256.0 / ww + 127.0) * H / 256.0; };
  painter.text(wxString::Format("%i", static_cast<int>(wc - ww * 127 / 256 + 0.5)), 10, y0, 0, 0.6);
  painter.text(units, 10, y0 + H / 2, 0, 0.6);
  painter.text(wxString::Format("%i", static_cast<int>(wc + ww * 128 / 256 + 0.5)), 10, y0 + H, 0, 0.3);
  painter.text("0", x0, y0 - P, 0, 1);
  painter.text("mm", x0 + gw / 2, y0 - P, 0, 1);
  painter.text(wxString::Format("%.2f", e->line_length * 10), x0 + gw - m + 10, y0 - P, 0, 1);

  glEnable(GL_SCISSOR_TEST);
  glScissor(x0, y0, std::max(0, cw - m - cl - P - 44), H + 1);
  glEnable(GL_LINE_SMOOTH);
  glLineWidth(static_cast<float>(P * 0.0625));
  const double no_value =
      dicom_utility::padding_value * t.RES_DICOM_HUM->read() + t.RES_DICOM_HUB->read();
  auto draw_runs = [&](const std::vector<double>& samples) {
    for (const std::vector<profile_vertex>& run : profile_runs(samples, e->profile, no_value, x0, gw)) {
      glBegin(GL_LINE_STRIP);
      for (const profile_vertex& v : run) glVertex2d(v.x, value_y(v.value));
      glEnd();
    }
  };
  if (t.RES_THICKNESS_DISP_DATA->read()) {
    glColor3d(0.0, 1.0, 1.0);
    draw_runs(e->profile);
  }
  if (e->valid && t.RES_THICKNESS_DISP_FUNC->read()) {
    glColor3d(1.0, 0.0, 0.0);
    // Dashed while the blur was not estimated and the inner density held fixed.
    const bool dashed = e->blur_error == kNotEstimated && e->inner_density_error == kHeldFixed;
    if (dashed) {
      glEnable(GL_LINE_STIPPLE);
      glLineStipple(1, 0x0F0F);
    }
    draw_runs(e->model);
    glDisable(GL_LINE_STIPPLE);
  }
  if (e->valid && t.RES_THICKNESS_DISP_STEP->read()) {
    glColor3d(1.0, 0.0, 0.0);
    glBegin(GL_LINE_STRIP);
    for (const profile_vertex& v : step_model_line(*e, x0, gw)) glVertex2d(v.x, value_y(v.value));
    glEnd();
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, 0x0F0F);
    glBegin(GL_LINES);
    const double surface = x0 + gw * e->inside_fraction;
    glVertex2d(surface, y0);
    glVertex2d(surface, y0 + H);
    if (e->offset != 0.0) {
      const double shifted = x0 + gw * (e->inside_fraction + e->offset / e->line_length);
      glVertex2d(shifted, y0);
      glVertex2d(shifted, y0 + H);
    }
    glEnd();
    glDisable(GL_LINE_STIPPLE);
  }
  glDisable(GL_LINE_SMOOTH);
  glLineWidth(1.0f);
  glDisable(GL_SCISSOR_TEST);
}
