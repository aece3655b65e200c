// The 3D view's reslice planes as textured quads, the landmark and surface
// curves with their spheres and names, the orientation marker of patient
// coordinates and the lit background.
#include <GL/glew.h>

#include "render3d/outline_canvas.h"

#include <cmath>
#include <vector>

#include <wx/colour.h>

#include "data/objects.h"
#include "data/reslice_info.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "surfaces/surface_interp.h"
#include "views/gl_view_context.h"
#include "views/glfont.h"
#include "views/panorama_internals.h"
#include "views/shader.h"

namespace {

void to_floats(const matrix4_t& m, float out[16]) {
  for (int i = 0; i < 16; ++i) out[i] = static_cast<float>(m[i]);
}

void set_material(float alpha) {
  const GLfloat m[4] = {0.0f, 0.0f, 0.0f, alpha};
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, m);
}

const void* byte_offset(size_t bytes) { return reinterpret_cast<const void*>(bytes); }

bool panoramic_data() {
  const auto* p = dynamic_cast<const panorama_internals*>(resource_table->RES_PANORAMA->read());
  return p && p->is_panoramic();
}

// A curve point drawn in the warning colour: the curve was cut or the point
// found no surface vertex.
bool marked(const curve_t& c, const curve_point& p) { return c.on_surface || p.tag < 0; }

}  // namespace

// ---- reslice planes -----------------------------------------------------------------

void outline_canvas::draw_reslice_plane(int plane, bool peeling) {
  resource_table_t& t = *resource_table;
  if (plane < 0 || plane >= kPlanes) return;
  const reslice_info* planes = t.RESLICE->read();
  if (!planes) return;
  const reslice_info& rec = planes[plane];
  if (!rec.defined || !rec.builder || panoramic_data()) return;

  effects_.plane_textures = true;
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  matrix4_t mv = modelview_;
  matrix4_post_translate(mv, rec.centre);
  glLoadMatrixd(mv.m);
  matrix4_t mvp;
  matrix4_multiply(projection_, mvp, mv);
  float mvp_f[16];
  to_floats(mvp, mvp_f);

  const texture_state& tex = plane_tex_[plane];
  const vec3_t H = plane_hw_[plane], V = plane_hh_[plane], T = plane_th_[plane];
  const bool slab = rec.half_thickness > 0.0;
  const float o = static_cast<float>(t.RES_RESLICE_OPACITY->read());
  shader& programs = gl_->shaders();
  for (double face : slab ? std::vector<double>{-1.0, 1.0} : std::vector<double>{0.0}) {
    if (!tex.valid || tex.width <= 0 || tex.height <= 0) continue;
    glColor4f(1.0f, 1.0f, 1.0f, o);
    set_material(o);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, tex.name);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.0f);
    if (!peeling) glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    float data[20];
    const double corners[4][2] = {{-1, -1}, {-1, 1}, {1, -1}, {1, 1}};
    const float s_max = static_cast<float>(rec.width) / tex.width, t_max = static_cast<float>(rec.height) / tex.height;
    for (int k = 0; k < 4; ++k) {
      const double u = corners[k][0], w = corners[k][1];
      data[3 * k] = static_cast<float>(u * H.x + w * V.x + face * T.x);
      data[3 * k + 1] = static_cast<float>(u * H.y + w * V.y + face * T.y);
      data[3 * k + 2] = static_cast<float>(u * H.z + w * V.z + face * T.z);
      data[12 + 2 * k] = static_cast<float>((u + 1.0) / 2.0) * s_max;
      data[12 + 2 * k + 1] = static_cast<float>((w + 1.0) / 2.0) * t_max;
    }
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof data, data, GL_STATIC_DRAW);
    if (shader_drawing_) {
      const float peel = peeling ? 1.0f : 0.0f;
      const float colour[4] = {1.0f, 1.0f, 1.0f, o};
      programs.use_program(shader::kNoLightTexture, 4, {mvp_f, &peel, colour});
      glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
      programs.stop_program();
    } else {
      glEnableClientState(GL_VERTEX_ARRAY);
      glVertexPointer(3, GL_FLOAT, 0, byte_offset(0));
      glClientActiveTexture(GL_TEXTURE0);
      glEnableClientState(GL_TEXTURE_COORD_ARRAY);
      glTexCoordPointer(2, GL_FLOAT, 0, byte_offset(48));
      glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
      glDisableClientState(GL_TEXTURE_COORD_ARRAY);
      glDisableClientState(GL_VERTEX_ARRAY);
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDeleteBuffers(1, &buffer);
    if (!peeling) glBlendFunc(GL_ONE, GL_ZERO);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    set_material(1.0f);
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}

// ---- curves -----------------------------------------------------------------------------

void outline_canvas::draw_curves() {
  resource_table_t& t = *resource_table;
  const contour_object* objects = t.RES_OBJECT->read();
  const curve_set* set = t.RES_CURVE->read();
  const bool editing = !edit_curve_.points.empty();
  struct visit {
    const curve_t* curve;
    float alpha, sphere;
    bool named;
  };
  std::vector<visit> visits;
  if (set)
    for (const curve_t& c : set->curves) visits.push_back({&c, editing ? 0.25f : 1.0f, editing ? 0.7f : 2.0f, true});
  visits.push_back({&edit_curve_, 1.0f, 2.0f, false});
  if (!editing_curve_) {
    const int32_t n = std::clamp<int32_t>(t.CURRENT_MAX_OBJECTS->read(), 0, 200);
    for (int32_t j = 0; j < n; ++j)
      if (const surface_interp* s = t.RES_SURFACE[j]->read())
        for (const curve_t& c : s->surface_curves) visits.push_back({&c, editing ? 0.125f : 0.5f, 1.0f, true});
  }

  gl_->shaders().stop_program();
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixd(modelview_.m);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  for (const visit& v : visits) {
    const curve_t& c = *v.curve;
    if (c.points.empty()) continue;
    effects_.curves = true;
    float colour[4] = {1.0f, 1.0f, 1.0f, v.alpha};
    if (objects && c.object >= 0 && c.object <= 200) {
      const rgba_colour_t& oc = objects[c.object].colour;
      curve_display_colour(oc.Red(), oc.Green(), oc.Blue(), v.alpha, colour);
    }
    if (v.named) {
      const curve_point& p = c.points.front();
      draw_label(c.name, {p.x, p.y, p.z}, mvp_, colour, 0.32, 0.6, false);
    }
    for (const curve_point& p : c.points) {
      if (marked(c, p))
        glColor4f(1.0f, 0.5f, 0.5f, v.alpha);
      else
        glColor4fv(colour);
      draw_marker_at({p.x, p.y, p.z}, v.sphere);
    }
    draw_curve_polyline(c, colour);
  }
  glBlendFunc(GL_ONE, GL_ZERO);
}

void outline_canvas::draw_curve_polyline(const curve_t& curve, const float colour[4]) {
  const size_t n = curve.points.size();
  if (n == 0) return;
  glEnable(GL_LINE_SMOOTH);
  glLineWidth(static_cast<float>(std::max(font_height() * 0.8 / 10.0, 1.0)));
  std::vector<float> data(7 * n);
  for (size_t i = 0; i < n; ++i) {
    const curve_point& p = curve.points[i];
    data[3 * i] = static_cast<float>(p.x);
    data[3 * i + 1] = static_cast<float>(p.y);
    data[3 * i + 2] = static_cast<float>(p.z);
    float* c = &data[3 * n + 4 * i];
    if (marked(curve, p)) {
      c[0] = 1.0f, c[1] = 0.5f, c[2] = 0.5f, c[3] = colour[3];
    } else {
      for (int k = 0; k < 4; ++k) c[k] = colour[k];
    }
  }
  glBindBuffer(GL_ARRAY_BUFFER, curve_buffer_);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data.size() * sizeof(float)), data.data(), GL_STATIC_DRAW);
  shader& programs = gl_->shaders();
  if (shader_drawing_) {
    programs.use_program(shader::kNoLightColours, static_cast<int>(n), {mvp_f_});
  } else {
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, byte_offset(0));
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(4, GL_FLOAT, 0, byte_offset(12 * n));
  }
  glDrawArrays(curve.closed ? GL_LINE_LOOP : GL_LINE_STRIP, 0, static_cast<GLsizei>(n));
  if (shader_drawing_) {
    programs.stop_program();
  } else {
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
  }
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glDisable(GL_LINE_SMOOTH);
  glLineWidth(1.0f);
}

// ---- orientation marker --------------------------------------------------------------------

void outline_canvas::draw_orientation_marker() {
  const double* P = projection_.m;
  const double N = eye_distance_;
  double d = 0.5;
  if (angle_ != 0) {
    const double q = P[15] - N * P[11];
    if (q != 0.0) d = ((P[14] - N * P[10]) / q + 1.0) * 0.5;
  }
  const double fh = font_height();
  vec3_t centre;
  if (!click_to_world(centre, client_w_ - 1.3 * fh, client_h_ - 1.3 * fh, d)) return;
  const double s = marker_radius(applied_cog_);

  gl_->shaders().stop_program();
  glColor3f(1.0f, 0.0f, 0.0f);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glTranslated(centre.x, centre.y, centre.z);
  matrix4_t M;
  glGetDoublev(GL_MODELVIEW_MATRIX, M.m);
  draw_marker_sphere(2.0 * s);
  matrix4_t mvp;
  matrix4_multiply(projection_, mvp, M);
  static const struct {
    double x, y, z;
    const char* label;
  } axes[6] = {{1, 0, 0, "L"}, {-1, 0, 0, "R"}, {0, 1, 0, "P"}, {0, -1, 0, "A"}, {0, 0, 1, "H"}, {0, 0, -1, "F"}};
  const float cyan[4] = {0.0f, 1.0f, 1.0f, 1.0f};
  for (const auto& a : axes) {
    if (orientation_axis_hidden(M.m, a.x, a.y, a.z)) continue;
    glColor3f(1.0f, 0.0f, 0.0f);
    glBegin(GL_LINES);
    glVertex3d(0.0, 0.0, 0.0);
    glVertex3d(6 * s * a.x, 6 * s * a.y, 6 * s * a.z);
    glEnd();
    draw_label(a.label, {8 * s * a.x, 8 * s * a.y, 8 * s * a.z}, mvp, cyan, -0.25, 0.6, false);
  }
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}

// ---- background ----------------------------------------------------------------------------

void outline_canvas::draw_background(bool radiant_shadows) {
  resource_table_t& t = *resource_table;
  shader& programs = gl_->shaders();
  if (programs.installed_mask == 0 || t.RES_BACKGROUND_CONST->read()) return;
  matrix4_t inverse;
  matrix4_inverse(projection_, inverse);
  float data[12];
  const double corners[4][2] = {{-1, 1}, {1, 1}, {-1, -1}, {1, -1}};
  for (int k = 0; k < 4; ++k) {
    vec3_t e;
    matrix4_transform_point(e, inverse, {corners[k][0], corners[k][1], 0.995});
    data[3 * k] = static_cast<float>(e.x);
    data[3 * k + 1] = static_cast<float>(e.y);
    data[3 * k + 2] = static_cast<float>(e.z);
  }
  const double xs = t.RES_XSCALE->read();
  const float radius =
      static_cast<float>(std::max({extent_, client_w_ * xs / zoom_, client_h_ * xs / zoom_}));
  const float lighting[4] = {lights_.front, lights_.back, lights_.specular, lights_.ambient};
  const float shadows = radiant_shadows ? 1.0f : 0.0f;
  wxColour bg(t.RES_BACKGROUND->read());
  if (!bg.IsOk()) bg = wxColour(128, 128, 128);
  const float colour[4] = {bg.Red() / 255.0f, bg.Green() / 255.0f, bg.Blue() / 255.0f, 1.0f};
  GLuint buffer = 0;
  glGenBuffers(1, &buffer);
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  glBufferData(GL_ARRAY_BUFFER, sizeof data, data, GL_STATIC_DRAW);
  programs.use_program(shader::kBackground, 4, {projection_f_, lighting, lights_.direction, &radius, &shadows, colour});
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  programs.stop_program();
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glDeleteBuffers(1, &buffer);
}
