// The centre view's Volume-page panel: the histogram of the data with the
// display window, the volume transfer function under it and the handles
// that the mouse tools drag (layout_volume_panel places them).
#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "data/objects.h"
#include "medical/dicom_utility.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "views/centre_canvas.h"
#include "views/globcmap.h"

namespace {

// DICOM-backed data whose raw values are not 8-bit: the histogram counts the
// raw values and the window is drawn in calibrated units.
bool raw16_data() { return resource_table->RES_BUF_DICOM->read() && !dicom_utility::data_8bit; }

}  // namespace

void centre_canvas::compute_volume_histogram() {
  histogram_ = ::compute_volume_histogram(raw16_data(), dicom_utility::padding_value);
  state_.histogram_low = histogram_.low;
  state_.histogram_high = histogram_.high;
}

void centre_canvas::draw_volume_histogram() {
  const resource_table_t& t = *resource_table;
  const review_geometry& g = state_.g;
  const int32_t p = static_cast<int32_t>(font_size());
  const volume_panel_layout l = layout_volume_panel(histogram_, p, g.client_width, g.client_height, raw16_data());
  // Handles that are not drawn cannot be picked.
  std::copy(std::begin(l.handles), std::end(l.handles), std::begin(state_.handles));
  if (!l.ok) return;
  const int32_t ch = g.client_height;
  const size_t nb = histogram_.bins.size();
  const double label = light_background() ? 0.0 : 1.0;
  auto bin_x = [&](size_t i) { return l.x0 + static_cast<double>(i) * l.gw / static_cast<double>(nb - 1); };

  glColor4d(label, label, label, 1.0);
  draw_text(t.RES_DICOM_UNITS->read(), l.x0 + l.gw / 2, l.y0 - p, 0.0, 1.0);
  draw_text("Frequency", 10, l.y0 + l.gh / 2, 0.0, 0.6);
  draw_text(wxString::Format("%.0f", l.lo), l.x0, l.y0 - p, 0.0, 1.0);
  const wxString high = wxString::Format("%.0f", l.hi);
  draw_text(high, l.x0 + l.gw - 10 - static_cast<int32_t>(p * high.length() / 2.7), l.y0 - p, 0.0, 1.0);

  // Bands across the graph, then the display window over them.
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glShadeModel(GL_FLAT);
  glColor4d(label, label, label, 0.2);
  const int32_t band = std::max(1, p / 2);
  glBegin(GL_QUADS);
  for (double y = l.y0; y + band <= l.y0 + l.gh; y += 2 * band) {
    glVertex2d(l.x0, y);
    glVertex2d(l.x0 + l.gw, y);
    glVertex2d(l.x0 + l.gw, y + band);
    glVertex2d(l.x0, y + band);
  }
  glVertex2d(l.x_of(0.0), l.y0);
  glVertex2d(l.x_of(1.0), l.y0);
  glVertex2d(l.x_of(1.0), ch - 10);
  glVertex2d(l.x_of(0.0), ch - 10);
  glEnd();

  // The transfer function under the histogram.
  glShadeModel(GL_SMOOTH);
  float transfer[256][4];
  std::memset(transfer, 0, sizeof transfer);
  if (colour_map)
    colour_map->volume_transfer_function(
        transfer, static_cast<float>(std::pow(2.0, (t.RES_VOLUME_TRANSLUCENCY->read() - 25) / 25.0)), 1.0f,
        nullptr);
  glBegin(GL_QUAD_STRIP);
  for (size_t i = 0; i < nb; ++i) {
    const double s = static_cast<double>(i) / static_cast<double>(nb - 1);
    const double q = (1.0 - s) * l.f0 + s * l.f1;
    const int32_t entry = q < 0.0 ? 0 : q > 1.0 ? 255 : static_cast<int32_t>(255.0 * q);
    glColor4fv(transfer[entry]);
    glVertex2d(bin_x(i), l.y0 + l.gh * histogram_.bins[i]);
    glVertex2d(bin_x(i), l.y0);
  }
  glEnd();

  // Axes and the histogram line.
  glColor4d(label, label, label, 1.0);
  glEnable(GL_LINE_SMOOTH);
  glLineWidth(static_cast<float>(p * 0.0625));
  glBegin(GL_LINE_STRIP);
  glVertex2d(l.x0, ch - 10);
  glVertex2d(l.x0, l.y0);
  glVertex2d(l.x0 + l.gw, l.y0);
  glEnd();
  glBegin(GL_LINE_STRIP);
  for (size_t i = 0; i < nb; ++i) glVertex2d(bin_x(i), l.y0 + l.gh * histogram_.bins[i]);
  glEnd();

  // The rows of the transfer function: a line at each value, a handle at
  // its value and opacity.
  const volume_object* rows = t.RES_VOLUME->read();
  glColor4d(label, label, label, 0.5);
  glBegin(GL_LINES);
  for (int i = 0; rows && i < NUM_VOLUME_ROWS; ++i)
    if (rows[i].enabled) {
      glVertex2d(l.x_of(rows[i].data_value / 255.0), l.y0);
      glVertex2d(l.x_of(rows[i].data_value / 255.0), ch - 10);
    }
  glEnd();
  glEnable(GL_POINT_SMOOTH);
  glPointSize(static_cast<float>(0.6 * p));
  glColor4d(label, label, label, 1.0);
  glBegin(GL_POINTS);
  for (const volume_handle_t& h : l.handles)
    if (h.scale_x != 0.0) glVertex2d(h.x, h.y);
  glEnd();
  glPointSize(static_cast<float>(0.4 * p));
  glBegin(GL_POINTS);
  for (int i = 0; rows && i < NUM_VOLUME_ROWS; ++i)
    if (rows[i].enabled) {
      const rgba_colour_t& c = rows[i].colour;
      glColor4ub(c.Red(), c.Green(), c.Blue(), 255);
      glVertex2d(l.handles[2 + i].x, l.handles[2 + i].y);
    }
  glEnd();
  glDisable(GL_BLEND);
  glDisable(GL_LINE_SMOOTH);
  glDisable(GL_POINT_SMOOTH);
  glLineWidth(1.0f);
  glPointSize(1.0f);
  glShadeModel(GL_FLAT);
}
