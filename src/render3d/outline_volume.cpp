// Volume rendering in the 3D view: the entry point, the upload of the volume
// texture slice by slice and of the transfer-function textures, and the
// placement of the render box. The arithmetic is in volume_texture.cpp.
#include <GL/glew.h>

#include <algorithm>
#include <map>
#include <memory>

#include <wx/log.h>
#include <wx/time.h>

#include "data/dynabuf.h"
#include "data/landmarks.h"
#include "data/reslice_info.h"
#include "medical/dicom_utility.h"
#include "registry/resource_table.h"
#include "render3d/outline_canvas.h"
#include "surfaces/surface_section.h"
#include "views/globcmap.h"
#include "views/reslice_internals.h"
#include "views/shader.h"

namespace {

void delete_texture(unsigned& name) {
  if (name != kNoVolumeTexture && glIsTexture(name)) glDeleteTextures(1, &name);
  name = kNoVolumeTexture;
}

// The paint stopwatch stands still while a stage builds textures, so that the
// paint time excludes it.
class paused_stopwatch {
 public:
  explicit paused_stopwatch(wxStopWatch& w) : w_(w) { w_.Pause(); }
  ~paused_stopwatch() { w_.Resume(); }
  paused_stopwatch(const paused_stopwatch&) = delete;
  paused_stopwatch& operator=(const paused_stopwatch&) = delete;

 private:
  wxStopWatch& w_;
};

class unpack_alignment {
 public:
  unpack_alignment() {
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &previous_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  }
  ~unpack_alignment() { glPixelStorei(GL_UNPACK_ALIGNMENT, previous_); }

 private:
  GLint previous_ = 4;
};

void clear_gl_errors() {
  for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
  }
}

}  // namespace

void outline_canvas::release_volume() {
  delete_texture(volume_.texture);
  delete_texture(volume_.transfer);
  delete_texture(volume_.material);
}

bool outline_canvas::volume_render(bool rebuild, bool update_map, bool release) {
  volume_texture_state& v = volume_;
  if (release) {
    release_volume();
    v.message_shown = false;
    return false;
  }
  const resource_table_t& t = *resource_table;
  if (shader_set().installed_mask == 0 || t.RES_BUF_FRAMES->read() < 2 || t.RES_BUF_WIDTH->read() < 2 ||
      t.RES_BUF_HEIGHT->read() < 2 || !t.RES_POS_REC->read())
    return false;

  // Data geometry and the frame source. The private builder goes with the
  // call on every path.
  volume_geometry g;
  std::unique_ptr<reslice_internals> builder;
  g.f = t.RES_BUF_FRAMES->read();
  const double zscale = t.RES_ZSCALE->read();
  if (zscale != 0.0) {
    g.w = t.RES_BUF_WIDTH->read(), g.h = t.RES_BUF_HEIGHT->read();
    g.sx = t.RES_XSCALE->read(), g.sy = t.RES_YSCALE->read(), g.sz = zscale;
    if (!frame_world(0, g.model)) return false;
    if (v.private_plane) {
      v.private_plane = false;
      rebuild = true;
    }
  } else {
    builder = std::make_unique<reslice_internals>(-1, 0, 0);
    const reslice_info* plane = builder->plane();
    if (!plane) return false;
    g.w = plane->width, g.h = plane->height;
    g.sx = g.sy = t.RES_XSCALE->read();
    g.sz = (plane->extent_offset_max - plane->extent_offset_min) / (g.f - 1);
    g.model = volume_freehand_model(*plane, g.w, g.h, g.sx);
    if (!v.private_plane) {
      v.private_plane = true;
      rebuild = true;
    }
  }
  v.geometry = g;

  if (v.texture == kNoVolumeTexture || rebuild) {
    if (!build_volume_texture(g, builder.get())) return false;
    update_map = true;
  }
  if (v.transfer == kNoVolumeTexture || v.material == kNoVolumeTexture || update_map)
    if (!build_transfer_textures(g)) return false;
  place_volume(g);
  // The slicing passes that draw the texture come with the render settings;
  // until then nothing is drawn.
  return false;
}

int outline_canvas::allocate_volume(int32_t w, int32_t h, int32_t f) {
  delete_texture(volume_.texture);
  clear_gl_errors();
  GLuint name = 0;
  glGenTextures(1, &name);
  volume_.texture = name;
  glBindTexture(GL_TEXTURE_3D, name);
  const bool two = volume_.two_channel;
  glTexImage3D(GL_TEXTURE_3D, 0, two ? GL_RG8 : GL_R8, w, h, f, 0, two ? GL_RG : GL_RED, GL_UNSIGNED_BYTE,
               nullptr);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
  int error = int(glGetError());
  if (error == 0 && volume_refuse_ && volume_refuse_(w, h, f)) error = GL_OUT_OF_MEMORY;
  return error;
}

bool outline_canvas::build_volume_texture(const volume_geometry& g, reslice_internals* builder) {
  volume_texture_state& v = volume_;
  const resource_table_t& t = *resource_table;
  paused_stopwatch paused(stopwatch_);
  ++v.builds;
  v.slice_frames.clear();

  GLint limit = 0;
  glGetIntegerv(GL_MAX_3D_TEXTURE_SIZE, &limit);
  if (volume_limit_ > 0) limit = volume_limit_;
  v.limit = limit;
  const long surface = t.RES_VOLUME_SURFACE->read();
  v.two_channel = t.RES_VOLUME_USE_ALPHA->read() && surface != -1;

  volume_reduction& r = v.reduction;
  int error = GL_OUT_OF_MEMORY;
  if (volume_reduce_for_size(g.w, g.h, g.f, limit, r))
    error = volume_allocate(r, g.w, g.h, g.f, g.sx, g.sy, g.sz,
                            [&](int32_t w, int32_t h, int32_t f) { return allocate_volume(w, h, f); });
  if (error != 0) {
    delete_texture(v.texture);
    if (!v.message_shown) {
      v.message_shown = true;
      wxLogError("%s", volume_memory_message(error));
    }
    return false;
  }

  const bool sixteen_bit = t.RES_BUF_DICOM->read() && !dicom_utility::data_8bit;
  const long filter_z = t.RES_DICOM_FILTER_Z->read();
  if (!t.RES_EXPERT_MODE->read() && !v.message_shown && (r.for_size || r.for_memory)) {
    wxLogWarning("%s", volume_reduction_message(r, limit, sixteen_bit, t.RES_DICOM_FILTER->read(), filter_z));
    v.message_shown = true;
  }

  const int32_t W = g.w, H = g.h, F = g.f, m = r.m, n = r.n;
  const bool smooth = n >= 2 && !(sixteen_bit && filter_z > 0);
  const std::vector<double> weights = volume_smoothing_weights(n);
  const int32_t read_ahead = smooth ? n - 1 : 0;

  // Frame sources: the frame store's display pixels, or images of the
  // private plane moved along its normal, kept for the read-ahead window.
  std::map<int32_t, std::vector<uint8_t>> window;
  reslice_info* plane = builder ? builder->plane() : nullptr;
  if (plane) {
    if (smooth) builder->set_pixel_step(m);
    if (surface != -1) {
      plane->set_crop_surface(int32_t(surface));
      plane->set_show_outside_surface(t.RES_VOLUME_SURFACE_INVERT->read());
    }
  }
  const double upper = plane ? plane->extent_offset_max : 0.0;
  auto source = [&](int32_t k) -> const uint8_t* {
    if (!plane) {
      if (!frame_store || size_t(k) >= frame_store->images.size()) return nullptr;
      return frame_image_t::display_data(frame_store->images[size_t(k)]);
    }
    auto it = window.find(k);
    if (it != window.end()) return it->second.data();
    const vec3_t centre = plane->centre + plane->normal * (plane->offset - (upper - (k + 0.00001) * g.sz));
    plane->set_centre(centre, false);
    const uint8_t* image = builder->get_image();
    if (!image) return nullptr;
    std::vector<uint8_t> copy(image, image + size_t(W) * H);
    // The frame that left the window gives its buffer back.
    while (!window.empty() && window.begin()->first < k - 2 * read_ahead) window.erase(window.begin());
    return window.emplace(k, std::move(copy)).first->second.data();
  };

  std::unique_ptr<volume_cropper> cropper;
  if (!plane && surface != -1) {
    volume_crop_settings s;
    s.invert = t.RES_VOLUME_SURFACE_INVERT->read();
    s.antialias = t.RES_VOLUME_SURFACE_ANTIALIAS->read();
    s.two_channel = v.two_channel;
    s.radius = t.RES_THICKNESS_LINE->read();
    cropper = std::make_unique<volume_cropper>(int32_t(surface), s);
    if (!cropper->warning().empty()) wxLogWarning("%s", cropper->warning());
  }

  const int32_t channels = v.two_channel ? 2 : 1;
  const size_t texels = size_t(r.w) * r.h;
  std::vector<uint8_t> slice(texels), out(texels * channels);
  v.extents.reset(r.w, r.h, r.f);
  unpack_alignment alignment;
  glBindTexture(GL_TEXTURE_3D, v.texture);
  const GLenum format = v.two_channel ? GL_RG : GL_RED;
  std::function<long()> clock = volume_clock_ ? volume_clock_ : [] { return long(wxGetLocalTimeMillis().GetValue()); };
  int32_t uploaded = 0;
  {
    volume_build_progress progress(F, clock);
    for (int32_t j = 0; j < F; j += n) {
      if (!progress.before_frame(j)) break;
      volume_form_slice(source, j, F, W, H, m, smooth ? &weights : nullptr, slice.data());
      const uint8_t* data = slice.data();
      if (cropper) {
        section_plane fp;
        matrix4_t world;
        if (frame_section_plane(j, fp) && frame_world(j, world)) {
          cropper->crop(slice.data(), r.w, r.h, m, g.sx, g.sy, fp, world, out.data());
        } else {
          // A frame without position meets no surface: the crop's start.
          const bool invert = t.RES_VOLUME_SURFACE_INVERT->read();
          for (size_t i = 0; i < texels; ++i) {
            if (v.two_channel)
              out[2 * i] = slice[i], out[2 * i + 1] = invert ? 0 : 255;
            else
              out[i] = invert ? slice[i] : 0;
          }
        }
        data = out.data();
      } else if (v.two_channel) {
        volume_freehand_pairs(slice.data(), texels, out.data());
        data = out.data();
      }
      v.extents.add_slice(data, channels, j / n);
      glTexSubImage3D(GL_TEXTURE_3D, 0, 0, 0, j / n, r.w, r.h, 1, format, GL_UNSIGNED_BYTE, data);
      v.slice_frames.push_back(j);
      ++uploaded;
    }
  }
  // An aborted build leaves the slices not made empty rather than undefined.
  if (uploaded < r.f) {
    const std::vector<uint8_t> zeros(texels * channels, 0);
    for (int32_t k = uploaded; k < r.f; ++k)
      glTexSubImage3D(GL_TEXTURE_3D, 0, 0, 0, k, r.w, r.h, 1, format, GL_UNSIGNED_BYTE, zeros.data());
  }
  glBindTexture(GL_TEXTURE_3D, 0);
  v.extents.finish();
  if (plane) plane->fit_to_data(true);
  return true;
}

bool outline_canvas::build_transfer_textures(const volume_geometry& g) {
  volume_texture_state& v = volume_;
  const resource_table_t& t = *resource_table;
  if (!colour_map) return false;
  paused_stopwatch paused(stopwatch_);
  double p = 1.0, q = 1.0;
  volume_exponents(t.RES_VOLUME_TRANSLUCENCY->read(), g.w, g.h, v.reduction.m, v.reduction.n, p, q);
  float table[256][4];
  float material[256][3];
  colour_map->volume_transfer_function(table, float(p), float(q), material);

  delete_texture(v.transfer);
  delete_texture(v.material);
  clear_gl_errors();
  unpack_alignment alignment;
  auto make = [](unsigned& name, GLint internal, GLenum format, const float* data) {
    GLuint id = 0;
    glGenTextures(1, &id);
    name = id;
    glBindTexture(GL_TEXTURE_1D, id);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexImage1D(GL_TEXTURE_1D, 0, internal, 256, 0, format, GL_FLOAT, data);
  };
  make(v.transfer, GL_RGBA32F, GL_RGBA, &table[0][0]);
  make(v.material, GL_RGB32F, GL_RGB, &material[0][0]);
  glBindTexture(GL_TEXTURE_1D, 0);
  const GLenum error = glGetError();
  if (error != GL_NO_ERROR) {
    release_volume();
    if (!v.message_shown) {
      v.message_shown = true;
      wxLogError("Not enough graphics memory for mapping for volume rendering (error %i).", int(error));
    }
    return false;
  }
  v.visible = volume_visible_box(table, v.extents);
  return true;
}

void outline_canvas::place_volume(const volume_geometry& g) {
  volume_texture_state& v = volume_;
  const resource_table_t& t = *resource_table;
  const vec3_t* mark = nullptr;
  vec3_t at;
  if (const landmarks* list = t.RES_LANDMARKS->read()) {
    size_t pos = 0;
    if (list->find_by_name(t.RES_VOLUME_LANDMARK->read(), pos)) {
      const landmark_t& l = (*list)[pos];
      at = {l.x, l.y, l.z};
      mark = &at;
    }
  }
  v.sphere = volume_landmark_sphere(g, mark, t.RES_VOLUME_LANDMARK_RADIUS->read(), t.RES_VOLUME_LANDMARK_INVERT->read());
  const double lo[3] = {t.RES_VOLUME_CROP_X_LOW->read(), t.RES_VOLUME_CROP_Y_LOW->read(),
                        t.RES_VOLUME_CROP_Z_LOW->read()};
  const double hi[3] = {t.RES_VOLUME_CROP_X_HIGH->read(), t.RES_VOLUME_CROP_Y_HIGH->read(),
                        t.RES_VOLUME_CROP_Z_HIGH->read()};
  const bool keep_whole = t.RES_RADIANT_SHADOWS->read() && (effects_.all_outlines || effects_.current_frame);
  v.render_box = volume_render_box(lo, hi, !keep_whole, v.visible, v.sphere);
  v.corners = volume_box_corners(v.render_box, g.f);
  v.reslice_plane = {0.0, 0.0, 0.0, 1.0};
  if (t.RES_VOLUME_CROP_RESLICE->read())
    if (const reslice_info* planes = t.RESLICE->read())
      if (planes[0].defined) v.reslice_plane = volume_reslice_crop(planes[0].normal, planes[0].offset, g);
}
