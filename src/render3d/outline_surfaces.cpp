// The 3D view's surface pass: the surfaces' buffers kept up to date, opaque
// surfaces drawn first, translucent ones by depth peeling (front to back,
// layer by layer) or, where peeling cannot run, by drawing back faces before
// front faces. The full-view quad of the screen-space passes lives here too.
#include <GL/glew.h>

#include "render3d/outline_canvas.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <wx/log.h>

#include "data/objects.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "surfaces/surface_interp.h"
#include "views/gl_view_context.h"
#include "views/shader.h"
#include "views/surface_gl_buffers.h"

namespace {

constexpr int kModelObject = 200;
// A context that keeps reporting an error must not hold the drain for ever.
constexpr int kMaxPendingErrors = 64;

void drain_gl_errors() {
  for (int i = 0; i < kMaxPendingErrors && glGetError() != GL_NO_ERROR; ++i) {
  }
}

const void* byte_offset(size_t bytes) { return reinterpret_cast<const void*>(bytes); }

bool translucent(const surface_draw_entry& e) { return e.colour[3] > 0.0f && e.colour[3] < 1.0f; }

void peeling_message(const char* format, unsigned error) {
  bool& reported = outline_canvas::texture_messages().peeling_reported;
  if (reported) return;
  reported = true;
  wxLogError(format, static_cast<int>(error));
}

// A 2D texture of the view's size for one peeling call.
GLuint peel_texture(GLint internal_format, GLenum format, GLenum type, int w, int h) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexImage2D(GL_TEXTURE_2D, 0, internal_format, w, h, 0, format, type, nullptr);
  glBindTexture(GL_TEXTURE_2D, 0);
  return name;
}

struct depth_format {
  GLint internal_format;
  GLenum format, type;
};

// The format of the window's depth buffer, which the depth blit must match
// exactly. Asked of the window's draw framebuffer.
depth_format window_depth_format() {
  GLint depth = 0, stencil = 0, component = 0;
  glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE, &depth);
  drain_gl_errors();
  glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_STENCIL, GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE,
                                        &stencil);
  if (glGetError() != GL_NO_ERROR) stencil = 0;
  drain_gl_errors();
  // A packed depth-stencil texture is only defined with its packed format.
  if (stencil != 0) return {GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8};
  if (depth == 16) return {GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT};
  if (depth == 24) return {GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT};
  glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_COMPONENT_TYPE,
                                        &component);
  drain_gl_errors();
  if (component == GL_FLOAT) return {GL_DEPTH_COMPONENT32F, GL_DEPTH_COMPONENT, GL_FLOAT};
  return {GL_DEPTH_COMPONENT32, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT};
}

void bind_unit(GLenum unit, GLuint texture) {
  glActiveTexture(unit);
  glBindTexture(GL_TEXTURE_2D, texture);
  glActiveTexture(GL_TEXTURE0);
}

}  // namespace

// ---- the pass ----------------------------------------------------------------------

void outline_canvas::draw_surfaces() {
  resource_table_t& t = *resource_table;
  shader& programs = gl_->shaders();
  const bool installed = programs.installed_mask != 0;

  // Buffers first: every visited slot is brought up to date.
  gl_surface_buffers buffers;
  std::vector<int32_t> listed;
  for (int32_t j : surface_visit_order(t.RES_SEE_DRAW->read(), t.RES_SEE_SSM->read(), t.CURRENT_MAX_OBJECTS->read())) {
    surface_interp* s = t.RES_SURFACE[j]->read();
    if (s) {
      if (surface_reload_[j] || (surface_appearance_[j] && surface_coloured(*s))) {
        std::array<int32_t, 3>& n = surface_counts_[j];
        s->generate_surface_vbos(buffers, vertex_buffers_[j], index_buffers_[j], j, surface_reload_[j], n[0], n[1],
                                 n[2]);
      }
      surface_reload_[j] = surface_appearance_[j] = false;
      if (surface_listed(s)) listed.push_back(j);
    } else if (surface_reload_[j]) {
      glBindBuffer(GL_ARRAY_BUFFER, vertex_buffers_[j]);
      glBufferData(GL_ARRAY_BUFFER, 0, nullptr, GL_STATIC_DRAW);
      glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, index_buffers_[j]);
      glBufferData(GL_ELEMENT_ARRAY_BUFFER, 0, nullptr, GL_STATIC_DRAW);
      glBindBuffer(GL_ARRAY_BUFFER, 0);
      glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
      surface_counts_[j] = {0, 0, 0};
      surface_reload_[j] = false;
    }
  }

  surface_list_settings ls;
  ls.programs_installed = installed;
  ls.shader = t.RES_SHADER->read();
  ls.wireframe = wireframe_;
  ls.volume_page = volume_page_;
  ls.faded = faded_objects_;
  const surface_draw_list list = make_surface_draw_list(listed, t.RES_OBJECT->read(), ls);
  surface_pass_settings ps;
  ps.programs_installed = installed;
  ps.shader_drawing = shader_drawing_;
  ps.volume_page = volume_page_;
  ps.layers = t.RES_TRANSLUCENT_LAYERS->read();
  ps.occlusion_range = t.RES_OCCLUSION_RANGE->read();
  ps.radiant_shadows = t.RES_RADIANT_SHADOWS->read();
  ps.reslice_opacity = t.RES_RESLICE_OPACITY->read();
  const surface_pass_plan plan = plan_surface_pass(list, ps);
  last_translucent_pass_ = 0;
  if (plan.skip) return;
  if (!list.entries.empty()) effects_.surfaces = true;
  const int count = static_cast<int>(list.entries.size());
  const surface_draw_entry* entries = list.entries.data();

  programs.stop_program();
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixd(modelview_.m);
  const GLfloat none[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  const GLfloat specular[4] = {lights_.specular, lights_.specular, lights_.specular, 1.0f};
  glColor4f(0.0f, 0.0f, 0.0f, 0.0f);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 50.0f);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, none);
  glDisable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  glEnable(GL_COLOR_MATERIAL);
  glDisable(GL_LIGHT0);
  glEnable(GL_LIGHT1);
  glEnable(GL_LIGHT2);

  // Centroid markers: a sphere and a cross in the screen's axes.
  if (t.RES_DISPLAY_COG->read() && faded_objects_.empty())
    for (const surface_draw_entry& e : list.entries) {
      const surface_interp* s = t.RES_SURFACE[e.object]->read();
      const vec3_t c = s->centroid;
      const double r = marker_radius(c);
      glColor4f(e.colour[0], e.colour[1], e.colour[2], 1.0f);
      glPushMatrix();
      glTranslated(c.x, c.y, c.z);
      draw_marker_sphere(r);
      glPopMatrix();
      const double* m = modelview_.m;
      const vec3_t sx{m[0], m[4], m[8]}, sy{m[1], m[5], m[9]};
      glBegin(GL_LINES);
      for (const vec3_t& a : {sx, sy}) {
        glVertex3d(c.x - 5 * r * a.x, c.y - 5 * r * a.y, c.z - 5 * r * a.z);
        glVertex3d(c.x + 5 * r * a.x, c.y + 5 * r * a.y, c.z + 5 * r * a.z);
      }
      glEnd();
    }

  unsigned effect_textures[4] = {0, 0, 0, 0};
  if (plan.effects) shadows_and_occlusion(entries, count, effect_textures);

  if (list.opaque) {
    const bool drawing = shader_drawing_;
    // Wireframes are drawn through the fixed pipeline.
    if (wireframe_) shader_drawing_ = false;
    if (effect_textures[0]) bind_unit(GL_TEXTURE3, effect_textures[0]);
    if (effect_textures[1]) bind_unit(GL_TEXTURE4, effect_textures[1]);
    for (const surface_draw_entry& e : list.entries)
      if (e.colour[3] == 1.0f)
        draw_surface(e.object, e.colour, false, effect_textures[0] != 0, effect_textures[1] != 0, false);
    shader_drawing_ = drawing;
  }

  if (!plan.volume_active && plan.translucent_content) {
    if (plan.peeling && depth_peel(entries, count, effect_textures[2], effect_textures[3])) {
      last_translucent_pass_ = 1;
    } else {
      last_translucent_pass_ = 2;
      if (plan.effects) {
        if (effect_textures[2]) bind_unit(GL_TEXTURE3, effect_textures[2]);
        if (effect_textures[3]) bind_unit(GL_TEXTURE4, effect_textures[3]);
      }
      glEnable(GL_BLEND);
      glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
      glEnable(GL_CULL_FACE);
      glCullFace(GL_FRONT);
      for (int i = count - 1; i >= 0; --i)
        if (translucent(entries[i])) draw_surface(entries[i].object, entries[i].colour, false, false, false, false);
      glCullFace(GL_BACK);
      for (int i = 0; i < count; ++i)
        if (translucent(entries[i])) draw_surface(entries[i].object, entries[i].colour, false, false, false, false);
      glDisable(GL_CULL_FACE);
      glBlendFunc(GL_ONE, GL_ZERO);
    }
  }

  for (int k = 0; k < 4; ++k)
    if (effect_textures[k]) {
      bind_unit(k % 2 == 0 ? GL_TEXTURE3 : GL_TEXTURE4, 0);
      glDeleteTextures(1, &effect_textures[k]);
    }
  const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  glColor4f(0.0f, 0.0f, 0.0f, 0.0f);
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, black);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, none);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 0.0f);
  glDisable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT_AND_BACK, GL_EMISSION);
  glEnable(GL_COLOR_MATERIAL);
  glEnable(GL_LIGHT0);
  glDisable(GL_LIGHT1);
  glDisable(GL_LIGHT2);
  glFrontFace(GL_CCW);
}

// Shadows and ambient occlusion come with their own passes; none are made yet.
void outline_canvas::shadows_and_occlusion(const surface_draw_entry*, int, unsigned textures[4]) {
  std::fill(textures, textures + 4, 0u);
}

// ---- one surface ------------------------------------------------------------------------

void outline_canvas::draw_surface(int32_t object, const float colour[4], bool peeling, bool shadowed, bool occluded,
                                  bool depth_only) {
  resource_table_t& t = *resource_table;
  if (object < 0 || object > kModelObject) return;
  const surface_interp* s = t.RES_SURFACE[object]->read();
  if (!s) return;
  const std::array<int32_t, 3>& counts = surface_counts_[object];
  const int32_t n = counts[0];
  const contour_object* objects = t.RES_OBJECT->read();
  const bool capped = objects && objects[object].capped != 0;
  const int32_t triangles = counts[1] + (capped ? counts[2] : 0);
  if (n <= 0 || triangles <= 0) return;

  if (wireframe_) glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
  const bool per_vertex = surface_coloured(*s);
  glBindBuffer(GL_ARRAY_BUFFER, vertex_buffers_[object]);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, index_buffers_[object]);
  shader& programs = gl_->shaders();
  if (shader_drawing_) {
    if (depth_only) {
      programs.use_program(shader::kNoLight3D, n, {mvp_f_, colour});
    } else {
      const int32_t k = std::clamp<int32_t>(t.RES_SHADER->read(), 0, shader::kUserShaders - 1);
      const float lighting[4] = {lights_.front, lights_.back, lights_.specular, lights_.ambient};
      const float peel = peeling ? 1.0f : 0.0f, shadow = shadowed ? 1.0f : 0.0f, occlusion = occluded ? 1.0f : 0.0f;
      float material[3] = {0.4f, 0.0f, 0.0f};
      if (objects) {
        material[0] = static_cast<float>(objects[object].roughness);
        material[1] = static_cast<float>(objects[object].metallic);
        material[2] = static_cast<float>(objects[object].anisotropy);
      }
      std::vector<const float*> values = {modelview_f_, mvp_f_, lighting, lights_.direction, &peel, &shadow,
                                          &occlusion};
      const int slot = programs.user_slot[per_vertex ? k + shader::kUserShaders : k];
      if (!per_vertex) values.push_back(colour);
      // Diffuse Gouraud has no material.
      if (slot != 0 && slot != 1) values.push_back(material);
      programs.use_program(slot, n, values);
    }
  } else {
    glColor4fv(colour);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, byte_offset(0));
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(GL_FLOAT, 0, byte_offset(12 * static_cast<size_t>(n)));
    if (per_vertex) {
      glEnableClientState(GL_COLOR_ARRAY);
      glColorPointer(4, GL_UNSIGNED_BYTE, 0, byte_offset(24 * static_cast<size_t>(n)));
    }
  }
  glDrawElements(GL_TRIANGLES, 3 * triangles, GL_UNSIGNED_INT, nullptr);
  if (shader_drawing_) {
    programs.stop_program();
  } else {
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
  }
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  if (wireframe_) glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

// ---- the full-view quad -------------------------------------------------------------------

void outline_canvas::screen_pass(unsigned colour_texture, bool final, unsigned depth_texture, float shadow_stage,
                                 float occlusion_stage, float focus, float p1, float p2, float p3) {
  const float s = shadow_stage, o = occlusion_stage, f = focus;
  if ((s > 0.0f) + (o > 0.0f) + (f > 0.0f) > 1) return;
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
  const float quad[8] = {-1.0f, 1.0f, 1.0f, 1.0f, -1.0f, -1.0f, 1.0f, -1.0f};
  GLuint buffer = 0;
  glGenBuffers(1, &buffer);
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  glBufferData(GL_ARRAY_BUFFER, sizeof quad, quad, GL_STATIC_DRAW);

  float update_rgba = 0.0f, update_depth = 0.0f;
  if (colour_texture) {
    bind_unit(GL_TEXTURE1, colour_texture);
    update_rgba = final ? 2.0f : 1.0f;
  }
  const GLboolean depth_test = glIsEnabled(GL_DEPTH_TEST);
  glDisable(GL_DEPTH_TEST);
  if (depth_texture) {
    bind_unit(GL_TEXTURE2, depth_texture);
    if (s == 0.0f && o == 0.0f && f == 0.0f) {
      update_depth = 1.0f;
      glEnable(GL_DEPTH_TEST);
    }
  }

  shader& programs = gl_->shaders();
  if (s > 0.0f) {
    const float stage = std::round(s), proj33 = projection_f_[10], proj34 = projection_f_[14];
    const float tolerance[2] = {p1 == 0.0f ? 0.005f : 0.0f, p1 == 0.0f ? 0.0f : 0.005f};
    programs.use_program(shader::kRadiantShadowing, 4, {&stage, &proj33, &proj34, effect_matrix_f_, tolerance});
  } else if (o > 0.0f) {
    const float stage = std::round(o), proj33 = projection_f_[10], proj34 = projection_f_[14];
    const float scale = static_cast<float>(resource_table->RES_XSCALE->read() / zoom_ * p3);
    programs.use_program(shader::kAmbientOcclusion, 4, {&stage, &proj33, &proj34, &p1, &p2, &p3, &scale});
  } else if (f > 0.0f) {
    const float width = std::round(p1), zscale = static_cast<float>(resource_table->RES_FOCUS_RANGE->read() * 50.0);
    programs.use_program(shader::kDepthOfField, 4, {&width, &p2, &zscale, &p3});
  } else {
    const float size[2] = {static_cast<float>(viewport_[2]), static_cast<float>(viewport_[3])};
    programs.use_program(shader::kFromTexture, 4, {size, &update_rgba, &update_depth});
  }
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  programs.stop_program();
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  if (colour_texture) bind_unit(GL_TEXTURE1, 0);
  if (depth_texture) bind_unit(GL_TEXTURE2, 0);
  if (depth_test)
    glEnable(GL_DEPTH_TEST);
  else
    glDisable(GL_DEPTH_TEST);
  glDeleteBuffers(1, &buffer);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
}

// ---- depth peeling -------------------------------------------------------------------------

bool outline_canvas::depth_peel(const surface_draw_entry* list, int count, unsigned shadow_texture,
                                unsigned occlusion_texture) {
  if (!shader_drawing_) return false;
  resource_table_t& t = *resource_table;
  const int w = std::max(1, viewport_[2]), h = std::max(1, viewport_[3]);
  drain_gl_errors();

  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  const depth_format opaque_format = window_depth_format();
  GLuint framebuffer = 0;
  glGenFramebuffers(1, &framebuffer);
  const GLuint accumulator = peel_texture(GL_RGBA, GL_RGBA, GL_UNSIGNED_BYTE, w, h);
  const GLuint layer = peel_texture(GL_RGBA, GL_RGBA, GL_UNSIGNED_BYTE, w, h);
  const GLuint opaque_depth =
      peel_texture(opaque_format.internal_format, opaque_format.format, opaque_format.type, w, h);
  const GLuint depth0 = peel_texture(GL_DEPTH_COMPONENT32F, GL_DEPTH_COMPONENT, GL_FLOAT, w, h);
  const GLuint depth_a = peel_texture(GL_DEPTH_COMPONENT32F, GL_DEPTH_COMPONENT, GL_FLOAT, w, h);
  const GLuint depth_b = peel_texture(GL_DEPTH_COMPONENT32F, GL_DEPTH_COMPONENT, GL_FLOAT, w, h);
  const GLuint textures[6] = {accumulator, layer, opaque_depth, depth0, depth_a, depth_b};
  auto release = [&] {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(6, textures);
  };
  auto fault = [&](int stage) -> unsigned {
    const unsigned e = glGetError();
    drain_gl_errors();
    const unsigned injected = peel_fault_ ? peel_fault_(stage) : 0u;
    return injected ? injected : e;
  };

  if (const unsigned e = fault(0)) {
    release();
    peeling_message("Not enough graphics memory for depth peeling (error %i).\nCorrect translucency not available.", e);
    return false;
  }

  // The opaque scene's depth, copied from the window.
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
  glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, accumulator, 0);
  glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, opaque_depth, 0);
  glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_DEPTH_BUFFER_BIT, GL_NEAREST);
  if (const unsigned e = fault(1)) {
    release();
    peeling_message("Depth buffer format not matched in depth peeling (error %i).\nCorrect translucency not available.",
                    e);
    return false;
  }
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);

  if (shadow_texture) bind_unit(GL_TEXTURE3, shadow_texture);
  if (occlusion_texture) bind_unit(GL_TEXTURE4, occlusion_texture);
  // Layers carry premultiplied colour and their transmittance in alpha; the
  // accumulator adds each under the layers in front of it.
  glBlendFuncSeparate(GL_DST_ALPHA, GL_ONE, GL_DST_ALPHA, GL_ZERO);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, depth_b, 0);
  glDepthFunc(GL_LESS);
  glClearDepth(0.0);
  glClear(GL_DEPTH_BUFFER_BIT);
  glClearDepth(1.0);

  const int32_t current = t.RES_BUF_CURRENT_FRAME->read();
  for (int i = 0; i < t.RES_TRANSLUCENT_LAYERS->read(); ++i) {
    GLuint draw_depth = depth0, read_depth = depth_b;
    if (i % 2 == 1) {
      draw_depth = depth_b;
      read_depth = i == 1 ? depth0 : depth_a;
    } else if (i > 0) {
      draw_depth = depth_a;
      read_depth = depth_b;
    }
    bind_unit(GL_TEXTURE1, opaque_depth);
    bind_unit(GL_TEXTURE2, read_depth);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, draw_depth, 0);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, i == 0 ? accumulator : layer, 0);
    glDisable(GL_BLEND);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (int k = 0; k < count; ++k)
      if (translucent(list[k]))
        draw_surface(list[k].object, list[k].colour, true, shadow_texture != 0, occlusion_texture != 0, false);
    if (t.RES_RESLICE_OPACITY->read() < 1.0) {
      if (t.RES_SEE_OUTLINES->read() != 0) draw_frame_image(current, true);
      for (int p = 0; p < kPlanes; ++p) draw_reslice_plane(p, true);
    }
    effects_.translucent_planes = true;
    glEnable(GL_BLEND);
    if (i > 0) {
      glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, accumulator, 0);
      screen_pass(layer, false, 0, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    }
  }

  // The translucent result over the opaque scene, with its front depth.
  glDepthFunc(GL_LEQUAL);
  glClearDepth(1.0);
  const wxColour bg(t.RES_BACKGROUND->read());
  if (bg.IsOk())
    glClearColor(bg.Red() / 255.0f, bg.Green() / 255.0f, bg.Blue() / 255.0f, 0.0f);
  else
    glClearColor(0.5f, 0.5f, 0.5f, 0.0f);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  screen_pass(accumulator, true, depth0, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
  glBlendFunc(GL_ONE, GL_ZERO);
  bind_unit(GL_TEXTURE2, 0);
  bind_unit(GL_TEXTURE1, 0);
  release();
  return true;
}
