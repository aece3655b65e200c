// The review view's overlays of the shape model's data points and of the
// last thickness measurement.
// GLEW before any other OpenGL header.
#include <GL/glew.h>

#include "views/review_canvas.h"

#include "models/fit_model.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "thickness/thickness.h"
#include "views/model_overlay_math.h"
#include "views/review_coords.h"

void review_canvas::draw_shape_model_points() {
  const resource_table_t& t = *resource_table;
  const fit_model* model = t.RES_FIT_MODEL->read();
  matrix4_t m;
  if (!model || !current_frame_transform(m)) return;
  const std::vector<model_point_mark> marks = model_point_marks(
      *model, m, t.RES_XSCALE->read(), t.RES_YSCALE->read(), state_.selected_vertices);
  glEnable(GL_POINT_SMOOTH);
  glPointSize(static_cast<float>(font_size() * 3.0 / 10.0));
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glBegin(GL_POINTS);
  for (const model_point_mark& p : marks) {
    // Red: the points the fit currently uses; dark red: the others.
    glColor3d(p.matched ? 1.0 : 0.5, 0.0, 0.0);
    double wx = 0.0, wy = 0.0;
    state_.g.frame_to_window(p.x, p.y, wx, wy);
    glVertex2d(wx, wy);
  }
  glEnd();
  glDisable(GL_BLEND);
  glDisable(GL_POINT_SMOOTH);
  glPointSize(1.0f);
  glFlush();
}

void review_canvas::draw_thickness_line() {
  const resource_table_t& t = *resource_table;
  const thickness* engine = t.RES_THICKNESS->read();
  if (!engine) return;
  const thickness_line_overlay o = thickness_overlay(*engine, t.RES_BUF_CURRENT_FRAME->read());
  if (!o.shown) return;
  const review_geometry& g = state_.g;
  auto vertex = [&](const vec2_t& p) {
    double wx = 0.0, wy = 0.0;
    g.frame_to_window(p.x, p.y, wx, wy);
    glVertex2d(wx, wy);
  };
  glColor3d(0.0, 1.0, 1.0);
  glEnable(GL_LINE_STIPPLE);
  glLineStipple(1, 0x1111);
  glBegin(GL_LINES);
  for (size_t i = 1; i < o.starts.size(); ++i) {
    vertex(o.starts[i]);
    vertex(o.ends[i]);
  }
  glEnd();
  glDisable(GL_LINE_STIPPLE);
  glBegin(GL_LINES);
  vertex(o.starts[0]);
  vertex(o.ends[0]);
  glEnd();
  if (!o.marks.empty()) {
    glEnable(GL_POINT_SMOOTH);
    glPointSize(static_cast<float>(font_size() * 3.0 / 10.0));
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBegin(GL_POINTS);
    for (const thickness_mark& mk : o.marks) {
      if (mk.pink)
        glColor3d(1.0, 0.5, 0.5);
      else
        glColor3d(1.0, 0.0, 0.0);
      vertex(vec2_t{mk.x, mk.y});
    }
    glEnd();
    glDisable(GL_POINT_SMOOTH);
    glPointSize(1.0f);
  }
  glDisable(GL_BLEND);
}

wxString review_canvas::undefined_landmarks() {
  const fit_model* model = resource_table->RES_FIT_MODEL->read();
  return model ? model->undefined_landmarks() : wxString();
}
