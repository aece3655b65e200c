// The 3D view's scene: frame and reslice textures, frames with their outlines
// and contours, the textured current frame, reslice-plane outlines,
// landmarks with the spine display, and the thickness line.
#include <GL/glew.h>

#include <GL/glu.h>

#include <algorithm>
#include <new>
#include <tuple>

#include <wx/log.h>
#include <wx/tokenzr.h>

#include "data/contour.h"
#include "data/dynabuf.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "data/reslice_info.h"
#include "medical/dicom_utility.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "render3d/outline_canvas.h"
#include "thickness/thickness.h"
#include "views/gl_view_context.h"
#include "views/glfont.h"
#include "views/globcmap.h"
#include "views/reslice_internals.h"
#include "views/shader.h"

namespace {

constexpr int32_t kObjects = 200;
const uint8_t kFramePadding[4] = {51, 25, 25, 255};
const uint8_t kPlanePadding[4] = {25, 51, 25, 255};

void to_floats(const matrix4_t& m, float out[16]) {
  for (int i = 0; i < 16; ++i) out[i] = static_cast<float>(m[i]);
}

// The colour of outlines: dark grey on a light background, else white.
void outline_colour(float out[4]) {
  wxColour c(resource_table->RES_BACKGROUND->read());
  if (!c.IsOk()) c = wxColour(128, 128, 128);
  const bool light = c.Red() >= 221 && c.Green() >= 221 && c.Blue() >= 221;
  const float v = light ? 0.35f : 1.0f;
  out[0] = out[1] = out[2] = v;
  out[3] = 1.0f;
}

// A padded RGBA buffer, or false when there is no memory for it.
bool allocate(std::vector<uint8_t>& buf, int32_t w, int32_t h) {
  try {
    buf.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

void set_material_alpha(float a) {
  const GLfloat m[4] = {0.0f, 0.0f, 0.0f, a};
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, m);
}

}  // namespace

outline_texture_messages& outline_canvas::texture_messages() {
  static outline_texture_messages messages;
  return messages;
}

bool outline_canvas::gl_texture_upload(int32_t w, int32_t h, const uint8_t* texels) {
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
  return glGetError() == GL_NO_ERROR;
}

// ---- textures --------------------------------------------------------------------

void outline_canvas::upload_texture(texture_state& tex, std::vector<uint8_t>& texels, int32_t w, int32_t h,
                                    const uint8_t padding[4], bool frame) {
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, tex.name);
  while (glGetError() != GL_NO_ERROR) {
  }
  const texture_upload_result r = upload_texture_with_retry(texture_upload_, texels, w, h, padding);
  texels.clear();
  texels.shrink_to_fit();
  bool& reported = frame ? texture_messages().frame_reported : texture_messages().plane_reported;
  if (r == texture_upload_result::failed) {
    if (!reported)
      wxLogError(frame ? "Unable to create an image texture map.\nTexturing disabled."
                       : "Unable to create a reslice texture map.\nTexturing disabled.");
    reported = true;
    tex.valid = false;
    glBindTexture(GL_TEXTURE_2D, 0);
    return;
  }
  if (r == texture_upload_result::partial) {
    if (!reported)
      wxLogError(frame ? "Unable to create a suitably large image texture map.\nOnly part of the image will be "
                         "mapped."
                       : "Unable to create a suitably large reslice texture map.\nOnly part of the image will be "
                         "mapped.\n Try reducing the reslice width and/or height.");
    reported = true;
  }
  const resource_table_t& t = *resource_table;
  const GLint filter = t.RES_DISPLAY_PIXELS->read() || t.RES_CMAP_LABELS->read() ? GL_NEAREST : GL_LINEAR;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  tex.valid = true;
  tex.width = w;
  tex.height = h;
  glBindTexture(GL_TEXTURE_2D, 0);
}

void outline_canvas::generate_bscan_texture(int32_t frame) {
  frame_tex_.valid = false;
  resource_table_t& t = *resource_table;
  if (!frame_store || !colour_map || frame < 0 || frame >= t.RES_BUF_FRAMES->read()) return;
  frame_image_ref image = frame_store->imagecp(frame);
  // Windows 16-bit frames first, so that the display pixels follow the window.
  const uint8_t* pixels = frame_image_t::display_data(image);
  if (!pixels || buf_width_ < 1 || buf_height_ < 1 ||
      static_cast<int64_t>(image->size) < static_cast<int64_t>(buf_width_) * buf_height_)
    return;
  int32_t w = texture_padded_size(buf_width_), h = texture_padded_size(buf_height_);
  std::vector<uint8_t> texels;
  if (!allocate(texels, w, h)) return;
  const bool zero_transparent = t.RES_MASKED_DATA->read() > 0 ? true : t.RES_CMAP_LABELS->read();
  colour_map->map_to_rgba(pixels, buf_width_, buf_height_, texels.data(), w, h, 0.2f, 0.1f, 0.1f, 1.0f,
                          zero_transparent);
  upload_texture(frame_tex_, texels, w, h, kFramePadding, true);
}

void outline_canvas::generate_reslice_texture(int plane) {
  if (plane < 0 || plane >= kPlanes) return;
  plane_tex_[plane].valid = false;
  const reslice_info* planes = resource_table->RESLICE->read();
  if (!planes || !colour_map) return;
  const reslice_info& rec = planes[plane];
  auto* builder = dynamic_cast<reslice_internals*>(rec.builder);
  if (!builder || !rec.defined) return;
  const uint8_t* image = builder->get_image();
  if (!image || rec.width < 1 || rec.height < 1) return;
  int32_t w = texture_padded_size(rec.width), h = texture_padded_size(rec.height);
  std::vector<uint8_t> texels;
  if (!allocate(texels, w, h)) return;
  // Data-free parts of a reslice are see-through.
  colour_map->map_to_rgba(image, rec.width, rec.height, texels.data(), w, h, 0.1f, 0.2f, 0.1f, 1.0f, true);
  upload_texture(plane_tex_[plane], texels, w, h, kPlanePadding, false);
  if (plane_tex_[plane].valid) update_plane_tex_[plane] = false;
}

// ---- single-colour drawing ----------------------------------------------------------

void outline_canvas::begin_single_colour(const matrix4_t& model_view, const float colour[4]) {
  if (shader_drawing_) {
    matrix4_t mvp;
    matrix4_multiply(projection_, mvp, model_view);
    float m[16];
    to_floats(mvp, m);
    gl_->shaders().use_program(shader::kNoLight2D, 0, {m, colour});
  } else {
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(model_view.m);
    glColor4fv(colour);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, nullptr);
  }
}

void outline_canvas::end_single_colour() {
  if (shader_drawing_) {
    gl_->shaders().stop_program();
  } else {
    glDisableClientState(GL_VERTEX_ARRAY);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(modelview_.m);
  }
}

// ---- frames and contours -------------------------------------------------------------

void outline_canvas::build_contour_buffer() {
  resource_table_t& t = *resource_table;
  const std::vector<float> v = contour_buffer_vertices(t.RES_OBJECT->read(), kObjects, t.RES_BUF_FRAMES->read(),
                                                       t.RES_XSCALE->read(), t.RES_YSCALE->read());
  glBindBuffer(GL_ARRAY_BUFFER, contour_buffer_);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(v.size() * sizeof(float)), v.empty() ? nullptr : v.data(),
               GL_STATIC_DRAW);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  contour_vertex_count_ = static_cast<int32_t>(v.size() / 2);
}

void outline_canvas::draw_contour(const contour_t& contour, int32_t first) {
  const int32_t n = static_cast<int32_t>(contour.vertices.size());
  if (n == 0 || first < 0 || first + n > contour_vertex_count_) return;
  effects_.contour_lines = true;
  glLineWidth(static_cast<float>(std::max(1.0, font_height() * 0.625 / 10.0)));
  glDrawArrays(contour.closed ? GL_LINE_LOOP : GL_LINE_STRIP, first, n);
  glLineWidth(1.0f);
}

void outline_canvas::draw_frames() {
  resource_table_t& t = *resource_table;
  if (contours_changed_) {
    build_contour_buffer();
    contours_changed_ = false;
  }
  const int32_t F = t.RES_BUF_FRAMES->read(), c = t.RES_BUF_CURRENT_FRAME->read();
  const int32_t see_outlines = t.RES_SEE_OUTLINES->read();
  const bool see_draw = t.RES_SEE_DRAW->read();
  contour_object* objects = t.RES_OBJECT->read();
  float other[4];
  outline_colour(other);
  const float red[4] = {1.0f, 0.0f, 0.0f, 1.0f};

  // Every contour with its first vertex in the buffer, frame by frame; the
  // walk is the buffer's own, so frames skipped below keep the rest aligned.
  struct placed {
    int32_t object, index;
    const contour_t* contour;
    int32_t first;
  };
  std::vector<std::vector<placed>> by_frame(static_cast<size_t>(std::max(0, F)));
  int32_t last_object = -1, index = 0, last_frame = -1;
  walk_contours(objects, kObjects, F, [&](int32_t f, int32_t o, const contour_t& ct, int32_t first) {
    if (f != last_frame || o != last_object) index = 0;
    last_frame = f;
    last_object = o;
    by_frame[static_cast<size_t>(f)].push_back({o, index++, &ct, first});
  });
  auto selected = [&](int32_t f, int32_t o, int32_t k) {
    for (size_t i = 0; i + 2 < contour_selection_.size(); i += 3)
      if (contour_selection_[i] == f && contour_selection_[i + 1] == o && contour_selection_[i + 2] == k) return true;
    return false;
  };

  gl_->shaders().stop_program();
  for (int32_t f = 0; f < F; ++f) {
    matrix4_t world;
    if (!frame_world(f, world)) continue;
    const float* colour = f == c ? red : other;
    matrix4_t mv;
    matrix4_multiply(modelview_, mv, world);
    if ((see_outlines == 1 && f == c) || see_outlines == 2) {
      if (see_outlines == 2) effects_.all_outlines = true;
      glBindBuffer(GL_ARRAY_BUFFER, rectangle_buffer_);
      begin_single_colour(mv, colour);
      glDrawArrays(GL_LINE_STRIP, 0, 4);
      end_single_colour();
    }
    if (see_draw && objects && !by_frame[static_cast<size_t>(f)].empty()) {
      glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
      glBindBuffer(GL_ARRAY_BUFFER, contour_buffer_);
      for (const placed& p : by_frame[static_cast<size_t>(f)]) {
        if (t.RES_SURFACE[p.object]->read()) continue;  // shown by its surface
        float col[4] = {colour[0], colour[1], colour[2], 1.0f};
        if (!(see_outlines != 0 && f == c)) {
          const rgba_colour_t& oc = objects[p.object].colour;
          col[0] = oc.Red() / 255.0f;
          col[1] = oc.Green() / 255.0f;
          col[2] = oc.Blue() / 255.0f;
        }
        const float alpha = contours_selected_ && selected(f, p.object, p.index) ? 0.15f : 1.0f;
        col[3] = alpha;
        set_material_alpha(alpha);
        begin_single_colour(mv, col);
        draw_contour(*p.contour, p.first);
        end_single_colour();
      }
      set_material_alpha(1.0f);
      glBlendFunc(GL_ONE, GL_ZERO);
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
  }

  const reslice_info* planes = t.RESLICE->read();
  if (see_outlines != 0 && !volume_page_ && planes) {
    glMatrixMode(GL_MODELVIEW);
    glColor3fv(other);
    for (int i = 0; i < kPlanes; ++i) {
      const reslice_info& p = planes[i];
      if (!p.defined || !p.builder || p.crop_surface != -1) continue;
      glPushMatrix();
      glLoadMatrixd(modelview_.m);
      glTranslated(p.centre.x, p.centre.y, p.centre.z);
      const vec3_t w = plane_hw_[i], h = plane_hh_[i];
      std::vector<vec3_t> offsets;
      if (p.half_thickness <= 0.0)
        offsets = {vec3_t{0.0, 0.0, 0.0}};
      else
        offsets = {-1.0 * plane_th_[i], plane_th_[i]};
      for (const vec3_t& o : offsets) {
        const vec3_t corners[4] = {o - w + h, o - w - h, o + w - h, o + w + h};
        glBegin(GL_LINE_LOOP);
        for (const vec3_t& q : corners) glVertex3d(q.x, q.y, q.z);
        glEnd();
      }
      glPopMatrix();
    }
  }
}

bool outline_canvas::draw_frame_image(int32_t frame, bool second_pass) {
  resource_table_t& t = *resource_table;
  matrix4_t world;
  if (frame < 0 || frame >= t.RES_BUF_FRAMES->read() || !frame_world(frame, world)) return false;
  effects_.current_frame = true;
  const double xs = t.RES_XSCALE->read(), ys = t.RES_YSCALE->read();
  const float z = second_pass ? static_cast<float>((xs + ys) / 2.0 * 0.001) : 0.0f;
  matrix4_t mv, mvp;
  matrix4_multiply(modelview_, mv, world);
  matrix4_multiply(projection_, mvp, mv);
  float mvp_f[16];
  to_floats(mvp, mvp_f);
  gl_->shaders().stop_program();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glMultMatrixd(world.m);
  if (frame_tex_.valid && frame_tex_.width > 0 && frame_tex_.height > 0) {
    const float o = static_cast<float>(t.RES_RESLICE_OPACITY->read());
    glColor4f(1.0f, 1.0f, 1.0f, o);
    set_material_alpha(o);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, frame_tex_.name);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.0f);
    if (!second_pass) glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    const float W = static_cast<float>(buf_width_ * xs), H = static_cast<float>(buf_height_ * ys);
    const float s = static_cast<float>(buf_width_) / frame_tex_.width;
    const float tt = static_cast<float>(buf_height_) / frame_tex_.height;
    const float data[20] = {0.0f, 0.0f, z, W, 0.0f, z, 0.0f, H, z, W, H, z,
                            0.0f, 0.0f, s, 0.0f, 0.0f, tt, s, tt};
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof data, data, GL_STATIC_DRAW);
    if (shader_drawing_) {
      const float peel = second_pass ? 1.0f : 0.0f;
      const float colour[4] = {1.0f, 1.0f, 1.0f, o};
      gl_->shaders().use_program(shader::kNoLightTexture, 4, {mvp_f, &peel, colour});
      glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
      gl_->shaders().stop_program();
    } else {
      glEnableClientState(GL_VERTEX_ARRAY);
      glVertexPointer(3, GL_FLOAT, 0, nullptr);
      glClientActiveTexture(GL_TEXTURE0);
      glEnableClientState(GL_TEXTURE_COORD_ARRAY);
      glTexCoordPointer(2, GL_FLOAT, 0, reinterpret_cast<const void*>(48));
      glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
      glDisableClientState(GL_TEXTURE_COORD_ARRAY);
      glDisableClientState(GL_VERTEX_ARRAY);
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDeleteBuffers(1, &buffer);
    if (!second_pass) glBlendFunc(GL_ONE, GL_ZERO);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    set_material_alpha(1.0f);
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  if (t.RES_DISPLAY_COG->read() && frame == t.RES_BUF_CURRENT_FRAME->read() &&
      !(t.RES_BUF_DICOM->read() && dicom_utility::patient_coordinates)) {
    const float red[4] = {1.0f, 0.0f, 0.0f, 1.0f};
    const double W = buf_width_ * xs;
    draw_label("L", {0.0, 0.0, 0.0}, mvp, red, 0.25, 0.6, second_pass);
    draw_label("R", {W, 0.0, 0.0}, mvp, red, 0.25, 0.6, second_pass);
  }
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  return true;
}

// ---- labels and markers ---------------------------------------------------------------

void outline_canvas::draw_label(const wxString& text, const vec3_t& p, const matrix4_t& mvp, const float colour[4],
                                double ox, double oy, bool second_pass) {
  glfont* font = gl_->font();
  if (!font || text.empty()) return;
  vec3_t ndc;
  matrix4_transform_point(ndc, mvp, p);
  double position[3] = {ndc.x, ndc.y, ndc.z};
  const double offset[2] = {ox, oy};
  font->draw_text(text, viewport_, position, offset, colour, second_pass);
}

void draw_marker_sphere(double radius) {
  static GLUquadric* quadric = nullptr;
  if (!quadric) quadric = gluNewQuadric();
  if (!quadric) return;
  gluQuadricDrawStyle(quadric, GLU_FILL);
  gluSphere(quadric, radius, 8, 8);
}

void outline_canvas::draw_marker_at(const vec3_t& p, double scale) {
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glTranslated(p.x, p.y, p.z);
  draw_marker_sphere(scale * marker_radius(p));
  glPopMatrix();
}

void outline_canvas::draw_landmarks() {
  resource_table_t& t = *resource_table;
  const landmarks* marks = t.RES_LANDMARKS->read();
  if (!marks) return;
  const contour_object* objects = t.RES_OBJECT->read();
  const bool spine_task = t.RES_SPINE_TASK->read();
  const bool spine_names = t.RES_SPINE_DISP_LANDMARK_NAMES->read();
  gl_->shaders().stop_program();
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixd(modelview_.m);
  for (size_t i = 0; i < marks->size(); ++i) {
    const landmark_t& l = (*marks)[i];
    if (l.kind == LM_2D) continue;
    double colour[3] = {0.0, 1.0, 1.0};
    if (l.kind == LM_SPINE) {
      colour[0] = colour[1] = 1.0;
      colour[2] = 0.8;
    } else if (l.kind == LM_SURFACE && objects && l.object >= 0 && l.object < kObjects) {
      const rgba_colour_t& c = objects[l.object].colour;
      const double rgb[3] = {c.Red() / 255.0, c.Green() / 255.0, c.Blue() / 255.0};
      outline_soft_colour(rgb, colour);
    }
    glColor3dv(colour);
    effects_.landmarks = true;
    float label_colour[4];
    glGetFloatv(GL_CURRENT_COLOR, label_colour);
    // A landmark being dragged shows where the drag has it.
    const vec3_t p = dragging_landmark_ && i == landmark_drag_.target ? landmark_drag_.position : vec3_t{l.x, l.y, l.z};
    draw_marker_at(p, 1.5);
    wxString label = l.name;
    if (spine_task && l.kind == LM_SPINE) {
      if (!spine_names) continue;
      if (l.level >= 0) label = l.name.AfterFirst(' ').BeforeFirst(' ');
    }
    draw_label(label, p, mvp_, label_colour, 0.32, 0.6, false);
  }

  if (!spine_task) return;
  static const spine_display_state none;
  const spine_display_state& s = spine_state_ ? *spine_state_ : none;
  const outline_spine_geometry g = outline_spine(*marks, s.end_level_a, s.end_level_b);
  const float c[4] = {1.0f, 1.0f, 0.8f, 1.0f};
  glColor4fv(c);
  glBegin(GL_LINES);
  for (const outline_line& line : g.lines) {
    glVertex3d(line.a.x, line.a.y, line.a.z);
    glVertex3d(line.b.x, line.b.y, line.b.z);
  }
  glEnd();
  if (spine_names)
    for (const outline_spine_label& label : g.labels)
      draw_label(spine_level_names[label.level], label.p, mvp_, c, 0.32, 0.6, false);
  if (!g.polyline.empty()) {
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, 0xF0F0);
    glBegin(GL_LINE_STRIP);
    for (const vec3_t& p : g.polyline) glVertex3d(p.x, p.y, p.z);
    glEnd();
    glDisable(GL_LINE_STIPPLE);
  }
  if (s.show_axes) {
    const vec3_t o{s.centre[0], s.centre[1], s.centre[2]};
    const double len = 60.0 * marker_radius(o);
    const vec3_t axes[3] = {o + len * vec3_t{s.axial[0], s.axial[1], s.axial[2]},
                            o + len * vec3_t{s.lateral[0], s.lateral[1], s.lateral[2]},
                            o + len * vec3_t{s.dorsal[0], s.dorsal[1], s.dorsal[2]}};
    glBegin(GL_LINES);
    for (const vec3_t& e : axes) {
      glVertex3d(o.x, o.y, o.z);
      glVertex3d(e.x, e.y, e.z);
    }
    if (g.have_a && g.have_b) {
      const vec3_t r{s.cobb_reference[0], s.cobb_reference[1], s.cobb_reference[2]};
      for (const vec3_t& e : {g.a, g.b}) {
        glVertex3d(r.x, r.y, r.z);
        glVertex3d(e.x, e.y, e.z);
      }
    }
    glEnd();
    if (spine_names) {
      const char* names[3] = {"axial", "lateral", "dorsal"};
      for (int i = 0; i < 3; ++i) draw_label(names[i], axes[i], mvp_, c, 0.32, 0.6, false);
    }
  }
}

void outline_canvas::draw_thickness_line() {
  resource_table_t& t = *resource_table;
  const thickness* e = t.RES_THICKNESS->read();
  if (!e || !e->sampled || t.RES_BUF_FRAMES->read() < 2) return;
  matrix4_t world, w0, w1;
  if (!frame_world(e->frame, world) || !frame_world(0, w0) || !frame_world(1, w1)) return;
  matrix4_t i0, i1;
  matrix4_rigid_inverse(w0, i0);
  matrix4_rigid_inverse(w1, i1);
  const outline_thickness_geometry g =
      outline_thickness_line(*e, world, i0[14] < i1[14], t.RES_XSCALE->read(), t.RES_YSCALE->read());
  if (!g.shown) return;
  gl_->shaders().stop_program();
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixd(modelview_.m);
  glColor3d(0.0, 1.0, 1.0);
  auto lines = [](const std::vector<outline_line>& ls) {
    glBegin(GL_LINES);
    for (const outline_line& l : ls) {
      glVertex3d(l.a.x, l.a.y, l.a.z);
      glVertex3d(l.b.x, l.b.y, l.b.z);
    }
    glEnd();
  };
  if (!g.side_lines.empty()) {
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, 0x1111);
    lines(g.side_lines);
    glDisable(GL_LINE_STIPPLE);
  }
  lines({g.main});
  for (const outline_thickness_marker& m : g.markers) {
    if (m.pink)
      glColor3d(1.0, 0.5, 0.5);
    else
      glColor3d(1.0, 0.0, 0.0);
    draw_marker_at(m.p, 1.5);
  }
}
