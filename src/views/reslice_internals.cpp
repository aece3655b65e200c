#include "views/reslice_internals.h"

#include <wx/log.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <new>

#include "data/dynabuf.h"
#include "views/globcmap.h"

namespace {

reslice_span_source span_source = surface_section_spans;
int32_t dynamic_pixel_step = 1;
int32_t dynamic_slice_factor = 1;

constexpr float kFar = 1e10f;
constexpr float kNoData = 1e-4f;
constexpr double kMinHalfDepth = 1e-5;

long steady_ms() {
  using namespace std::chrono;
  return static_cast<long>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// How the slices of a thick slab are combined.
enum compounding_state : int {
  STATE_NONE = 0,
  STATE_MIN = 1,
  STATE_MAX = 2,
  STATE_AVE = 3,
  STATE_DOPPLER_MIN = 4,
  STATE_DOPPLER_MAX = 5,
  STATE_DOPPLER_AVE = 6,
};

// Doppler values: 0..127 grey, 128..191 one flow direction, 192..255 the
// other. Two values compare as they are when both lie on the same side of
// 192; otherwise each is taken relative to the start of its colour range.
bool doppler_less(double a, double b) {
  if ((a >= 192.0) != (b >= 192.0)) {
    a -= a >= 192.0 ? 192.0 : 128.0;
    b -= b >= 192.0 ? 192.0 : 128.0;
  }
  return a < b;
}

// Signed velocity of a Doppler value; grey counts as none.
double doppler_velocity(double x) {
  if (x <= 127.0) return 0.0;
  if (x <= 191.0) return 127.0 - x;
  return x - 192.0;
}

// The value between the frames either side of a sample, t256 / 256 of the
// way from the positive side: the colour map's blend, which never mixes
// Doppler classes.
double doppler_between(double negative, double positive, int t256) {
  return globcmap_t::blend_doppler(static_cast<int32_t>(negative), static_cast<int32_t>(positive), t256 * 256,
                                   (256 - t256) * 256);
}

}  // namespace

void set_reslice_span_source(reslice_span_source source) {
  span_source = source ? source : surface_section_spans;
}

void set_reslice_dynamic_steps(int32_t pixel_step, int32_t slice_factor) {
  dynamic_pixel_step = std::max(pixel_step, 1);
  dynamic_slice_factor = std::max(slice_factor, 1);
  if (colour_map) colour_map->set_step(dynamic_pixel_step, dynamic_slice_factor);
}

void reslice_dynamic_steps(int32_t& pixel_step, int32_t& slice_factor) {
  pixel_step = dynamic_pixel_step;
  slice_factor = dynamic_slice_factor;
  if (colour_map) colour_map->get_step(pixel_step, slice_factor);
  pixel_step = std::max(pixel_step, 1);
  slice_factor = std::max(slice_factor, 1);
}

// ---------------------------------------------------------------------------
// Per-build records

struct reslice_internals::frame_record {
  double half_depth = kMinHalfDepth;
  vec3_t column_step, row_step, slice_step, origin;
  bool used = false;
  position_t position;
  frame_image_ref image;  // kept alive for the build
  const uint8_t* display = nullptr;
  const uint16_t* raw = nullptr;
  matrix4_t frame_to_world{};
};

struct reslice_internals::build_state {
  int32_t width = 0, height = 0;  // image
  int32_t fw = 0, fh = 0;         // frames
  int32_t step = 1;
  int32_t K = 0;
  int state = STATE_NONE;
  bool interpolate = false, accurate = false, holes = false, raw16 = false, doppler = false;
  double raw_scale = 1.0, raw_shift = 0.0;  // raw x scale + shift
  std::vector<frame_record> frames;
  std::vector<float> accum, nearest, neg_value, neg_distance, slice_image;
  std::vector<uint16_t> samples;   // slices compounded into an average, per pixel
  std::vector<uint8_t> corrected;  // one pressure-corrected frame
  const image_correlation* pressure_run = nullptr;
  float* slice = nullptr;  // the slice image: the accumulator when thin

  size_t index(int32_t i, int32_t j) const {
    return static_cast<size_t>(j) * step * width + static_cast<size_t>(i) * step;
  }
  template <class F>
  void for_each_sample(F&& f) const {
    for (int32_t y = 0; y < height; y += step)
      for (int32_t x = 0; x < width; x += step) f(static_cast<size_t>(y) * width + x);
  }
};

// ---------------------------------------------------------------------------
// Construction and the change procedure

reslice_internals::reslice_internals(int32_t index, int32_t width, int32_t height) : clock_(steady_ms) {
  if (index < 0) {
    plane_ = new reslice_info;
    plane_->index = -1;
  } else {
    plane_ = resource_table->RESLICE->read() + index;
    proc_ = std::make_unique<pmf_functor<reslice_internals>>(this, &reslice_internals::changeproc);
  }
  plane_->builder = this;
  if (width > 0 && height > 0) {
    plane_->width = reslice_info::clamp_size(width);
    plane_->height = reslice_info::clamp_size(height);
  }
  watch(true);
  read_calibration();

  resource_table_t& t = *resource_table;
  if (t.RES_BUF_FRAMES->read() > 0 && t.RES_POS_REC->read()) {
    if (plane_->index < 0)
      plane_->fit_to_data(true);
    else if (!plane_->defined)
      plane_->place_default();
  }
  if (plane_->index >= 0) build_and_notify(true);
}

reslice_internals::~reslice_internals() {
  watch(false);
  plane_->builder = nullptr;
  if (plane_->index < 0) delete plane_;
}

void reslice_internals::watch(bool on) {
  if (!proc_) return;
  resource_table_t& t = *resource_table;
  base_res_t* watched[] = {t.RES_BUF_FRAMES,     t.RES_DICOM_REDRAW,  t.RES_MASKED_DATA,
                           t.RES_CMAP_LABELS,    t.RES_CORRECTED_POS, t.RES_CORRECTED_PRESSURE,
                           t.RES_CMAP_CHANGED,   t.RES_BUF_WIDTH,     t.RES_BUF_HEIGHT,
                           t.RES_DYNAMIC_UPDATE, t.RES_XTRANS,        t.RES_YTRANS,
                           t.RES_ZTRANS,         t.RES_AZIMUTH,       t.RES_ELEVATION,
                           t.RES_ROLL,           t.RES_YSCALE,        t.RES_XSCALE,
                           t.RES_POS_REC};
  for (base_res_t* r : watched) {
    if (on)
      r->add_proc(proc_.get());
    else
      r->remove_proc(proc_.get());
  }
}

void reslice_internals::read_calibration() {
  resource_table_t& t = *resource_table;
  xs_ = t.RES_XSCALE->read();
  ys_ = t.RES_YSCALE->read();
  const double x = t.RES_XTRANS->read(), y = t.RES_YTRANS->read(), z = t.RES_ZTRANS->read();
  const double az = t.RES_AZIMUTH->read(), el = t.RES_ELEVATION->read(), ro = t.RES_ROLL->read();
  matrix4_inverse_from_position(world_to_frame_calibration_, x, y, z, az, el, ro);
  matrix4_from_position(frame_to_world_calibration_, x, y, z, az, el, ro);
}

void reslice_internals::changeproc() {
  resource_table_t& t = *resource_table;
  if (t.RES_BUF_WIDTH->changed_in_flush() || t.RES_BUF_HEIGHT->changed_in_flush()) valid_ = false;
  for (base_res_t* r :
       std::initializer_list<base_res_t*>{t.RES_XTRANS, t.RES_YTRANS, t.RES_ZTRANS, t.RES_AZIMUTH,
                                          t.RES_ELEVATION, t.RES_ROLL, t.RES_XSCALE, t.RES_YSCALE}) {
    if (r->changed_in_flush()) {
      read_calibration();
      valid_ = false;
      break;
    }
  }
  if (t.RES_DYNAMIC_UPDATE->changed_in_flush()) {
    if (t.RES_DYNAMIC_UPDATE->read()) {
      reslice_dynamic_steps(pixel_step_, slice_factor_);
    } else {
      if (pixel_step_ != 1) valid_ = false;
      if (slice_factor_ != 1 && plane_->half_thickness > 0.0) valid_ = false;
      pixel_step_ = slice_factor_ = 1;
    }
  }
  if (t.RES_POS_REC->changed_in_flush() || t.RES_BUF_FRAMES->changed_in_flush()) {
    if (t.RES_POS_REC->read() && t.RES_BUF_FRAMES->read() > 0) plane_->place_default();
    valid_ = false;
  }
  if (t.RES_DICOM_REDRAW->changed_in_flush() || t.RES_CORRECTED_POS->changed_in_flush() ||
      t.RES_CORRECTED_PRESSURE->changed_in_flush() || t.RES_MASKED_DATA->changed_in_flush() ||
      t.RES_CMAP_LABELS->changed_in_flush())
    valid_ = false;
  if (valid_ || plane_->index < 0) return;
  build_and_notify(true);
}

void reslice_internals::build_and_notify(bool notify) {
  build_reslice();
  if (!notify || plane_->index < 0) return;
  if (flag_res_t* flag = resource_table->redisplay_reslice(plane_->index)) {
    flag->write();
    base_res_t::make_pending_writes_happen();
  }
}

void reslice_internals::rebuild(bool notify) {
  valid_ = false;
  if (plane_->index < 0) return;
  ++builds_;
  build_and_notify(notify);
}

const uint8_t* reslice_internals::get_image() {
  if (plane_->index < 0 && !valid_) build_reslice();
  return valid_ ? image_.data() : nullptr;
}

void reslice_internals::set_use_correction(bool use) {
  if (use == use_correction_) return;
  use_correction_ = use;
  valid_ = false;
  if (plane_->index >= 0) build_and_notify(true);
}

void reslice_internals::set_pixel_step(int32_t step) {
  if (plane_->index >= 0 || step < 1 || step == pixel_step_) return;
  pixel_step_ = step;
  valid_ = false;
}

// ---------------------------------------------------------------------------
// Building

void reslice_internals::build_reslice() {
  if (!plane_->defined || busy_) return;
  busy_ = true;
  cancelled_ = false;
  image_.clear();
  image_.shrink_to_fit();
  valid_ = false;
  struct busy_guard {
    reslice_internals* b;
    ~busy_guard() { b->busy_ = false; }
  } guard{this};

  resource_table_t& t = *resource_table;
  if (t.RES_BUF_FRAMES->read() <= 0 || !frame_store) return;

  build_state b;
  b.width = plane_->width;
  b.height = plane_->height;
  b.fw = t.RES_BUF_WIDTH->read();
  b.fh = t.RES_BUF_HEIGHT->read();
  b.step = std::max(pixel_step_, 1);
  if (b.fw <= 0 || b.fh <= 0 || b.width < 2 || b.height < 2 || !(xs_ > 0.0) || !(ys_ > 0.0)) return;

  const bool labels = t.RES_CMAP_LABELS->read();
  b.doppler = t.RES_BUF_DOPPLER->read();
  b.interpolate = !b.doppler && !labels;
  b.accurate = plane_->accurate && !labels;
  b.holes = labels || t.RES_MASKED_DATA->read() > 0;
  const double T = plane_->half_thickness;
  const bool have_raw = !frame_store->images.empty() && frame_store->images[0] && frame_store->images[0]->raw;
  b.raw16 = !labels && t.RES_BUF_DICOM->read() && have_raw && T > 0.0 && plane_->compounding == 2;
  if (b.raw16) {
    const double window = t.RES_DICOM_WIN_WIDTH->read();
    if (!(window > 0.0)) b.raw16 = false;
    b.raw_scale = t.RES_DICOM_HUM->read();
    b.raw_shift = t.RES_DICOM_HUB->read() - (t.RES_DICOM_WIN_CENTRE->read() - window / 2.0);
  }

  const int32_t frames = t.RES_BUF_FRAMES->read();
  try {
    b.frames.resize(static_cast<size_t>(frames));
  } catch (const std::bad_alloc&) {
    wxLogError("Failed to allocate buffer for image rasterisation information.");
    return;
  }

  const size_t pixels = static_cast<size_t>(b.width) * static_cast<size_t>(b.height);
  double spacing = 0.0;
  if (T > 0.0) {
    b.K = static_cast<int32_t>(std::floor(T / (std::max(slice_factor_, 1) * xs_))) + 1;
    spacing = T / b.K;
    const int c = plane_->compounding;
    if (b.doppler)
      b.state = c == 1 ? STATE_DOPPLER_MIN : c == 2 ? STATE_DOPPLER_AVE : STATE_DOPPLER_MAX;
    else
      b.state = c == 1 ? STATE_MIN : (c == 2 && !labels) ? STATE_AVE : STATE_MAX;
  }
  try {
    image_.assign(pixels, 0);
    b.accum.assign(pixels, 0.0f);
    b.nearest.assign(pixels, kFar);
    if (b.accurate) {
      b.neg_value.assign(pixels, 0.0f);
      b.neg_distance.assign(pixels, -kFar);
    }
    if (b.K > 0) b.slice_image.assign(pixels, 0.0f);
    if (b.state == STATE_AVE) b.samples.assign(pixels, 0);
    // A pressure correction in use supplies the frames' pixels as well.
    const image_correlation* run = correction_run();
    if (run && run->correct_pressure) {
      b.pressure_run = run;
      b.corrected.assign(static_cast<size_t>(b.fw) * b.fh, 0);
    }
  } catch (const std::bad_alloc&) {
    image_.clear();
    return;
  }
  b.slice = b.K > 0 ? b.slice_image.data() : b.accum.data();

  // Sample grid: sample (i, j) lies at image point (c + i s, 0.5 + j s).
  const double c = b.step % 2 ? 0.5 : 1.0;
  vec3_t P[4];
  plane_->reslice_to_world(c, 0.5, 0.0, P[0]);
  plane_->reslice_to_world(b.width - 1 + c, 0.5, 0.0, P[1]);
  plane_->reslice_to_world(c, b.height - 0.5, 0.0, P[2]);
  plane_->reslice_to_world(c, 0.5, b.K > 0 ? spacing : 0.0, P[3]);
  if (!set_up_frames(b)) return;
  for (frame_record& f : b.frames) {
    if (!f.used) continue;
    matrix4_t world_to_frame, inverse_position;
    matrix4_inverse_from_position_t(inverse_position, f.position);
    matrix4_multiply(world_to_frame_calibration_, world_to_frame, inverse_position);
    vec3_t F[4];
    for (int k = 0; k < 4; ++k) {
      matrix4_transform_point(F[k], world_to_frame, P[k]);
      F[k].x /= xs_;
      F[k].y /= ys_;
    }
    f.column_step = (F[1] - F[0]) * (static_cast<double>(b.step) / (b.width - 1));
    f.row_step = (F[2] - F[0]) * (static_cast<double>(b.step) / (b.height - 1));
    f.slice_step = F[3] - F[0];
    f.origin = F[0] - b.K * f.slice_step;
  }
  if (!b.raw16 && t.RES_DICOM_FILTER_Z->read() == 0) window_frames(b);

  long watch = clock_();
  long last_update = watch;
  bool dialog = false;
  for (int32_t o = -b.K; o <= b.K; ++o) {
    if (b.K > 0 && progress_) {
      const long now = clock_();
      if (!dialog && now - watch > 250 && o < b.K / -2) {
        progress_->open("Calculating thick reslice",
                        wxString::Format("Currently processing slice %i of %i.\n", 0, 2 * b.K), 2 * b.K + 1);
        dialog = true;
        last_update = now;
        if (!progress_->update(0, wxString::Format("Currently processing slice %i of %i.\n", 0, 2 * b.K)))
          cancelled_ = true;
      } else if (dialog && now - last_update > 100) {
        last_update = now;
        if (!progress_->update(b.K + o,
                               wxString::Format("Currently processing slice %i of %i.", b.K + o, 2 * b.K)))
          cancelled_ = true;
      }
    }
    if (cancelled_) break;

    std::fill(b.nearest.begin(), b.nearest.end(), kFar);
    if (b.accurate) std::fill(b.neg_distance.begin(), b.neg_distance.end(), -kFar);
    if (b.K > 0) {
      std::fill(b.slice_image.begin(), b.slice_image.end(), 0.0f);
      if (b.accurate) std::fill(b.neg_value.begin(), b.neg_value.end(), 0.0f);
    }
    span_list* spans = crop_spans(o * spacing);
    sample_slice(b, spans);
    if (b.accurate) combine_sides(b);
    if (o < b.K)
      for (frame_record& f : b.frames)
        if (f.used) f.origin += f.slice_step;
    reslice_raster::free_spans(spans);
    compound(b, o + b.K);
  }
  if (dialog) progress_->close();
  if (cancelled_)
    wxLogMessage("The thick reslice was cancelled: the image shows the slices compounded so far.");
  finish_image(b);
  valid_ = true;
}

const image_correlation* reslice_internals::correction_run() const {
  if (!use_correction_) return nullptr;
  return resource_table->RES_CORRELATION->read();
}

bool reslice_internals::frame_position(int32_t k, position_t& out) const {
  if (!frame_store || k < 0 || k >= static_cast<int32_t>(frame_store->positions.size())) return false;
  position_ref recorded = frame_store->positioncp(k);
  if (!recorded) return false;
  if (const image_correlation* run = correction_run()) {
    position_ref corrected = run->corrected_position(k);
    if (!corrected) return false;
    out = *corrected;
    return true;
  }
  out = *recorded;
  return true;
}

// Positions, sampling steps and half-depths of the frames. False when no
// frame can take part.
bool reslice_internals::set_up_frames(build_state& b) {
  const int32_t frames = static_cast<int32_t>(b.frames.size());
  const int32_t stored = static_cast<int32_t>(frame_store->positions.size());
  const double w = b.fw * xs_, h = b.fh * ys_;
  const vec3_t corners[4] = {{0, 0, 0}, {0, h, 0}, {w, h, 0}, {w, 0, 0}};
  frame_record* previous = nullptr;
  vec3_t previous_corners[4];
  bool any = false;
  for (int32_t k = 0; k < frames && k < stored; ++k) {
    frame_record& f = b.frames[k];
    if (!frame_position(k, f.position)) continue;
    f.used = true;
    any = true;
    matrix4_t p;
    matrix4_from_position_t(p, f.position);
    matrix4_multiply(p, f.frame_to_world, frame_to_world_calibration_);
    vec3_t world[4];
    for (int i = 0; i < 4; ++i) matrix4_transform_point(world[i], f.frame_to_world, corners[i]);
    if (previous) {
      const vec3_t axis = vec3_normalise(matrix4_get_z_axis(f.frame_to_world));
      double g = 0.0;
      for (int i = 0; i < 4; ++i) g = std::max(g, std::fabs(vec3_dot(world[i] - previous_corners[i], axis)));
      double depth = kMinHalfDepth;
      if (g >= kMinHalfDepth) depth = (b.accurate ? g : g / 2.0) + kMinHalfDepth;
      // A wider step between frames is a gap in the recording, not to be bridged.
      if (depth > w / 8.0) depth = kMinHalfDepth;
      f.half_depth = depth;
      previous->half_depth = std::max(previous->half_depth, depth);
    }
    previous = &f;
    for (int i = 0; i < 4; ++i) previous_corners[i] = world[i];
  }
  return any;
}

// Brings the display pixels of 16-bit frames up to date before sampling, and
// keeps each used frame's pixels for the build.
void reslice_internals::window_frames(build_state& b) {
  const long start = clock_();
  long last = start;
  bool dialog = false, stop = false;
  const int32_t count = static_cast<int32_t>(b.frames.size());
  for (int32_t k = 0; k < count && k < static_cast<int32_t>(frame_store->images.size()); ++k) {
    frame_record& f = b.frames[k];
    if (!f.used || stop) continue;
    const frame_image_ref& ref = frame_store->images[k];
    if (!ref || !ref->raw) continue;
    frame_image_t::display_data(ref);
    if (!progress_) continue;
    const long now = clock_();
    if (!dialog && now - start > 250 && k < count / 4) {
      progress_->open(
          "Windowing 16-bit data",
          wxString::Format("Currently windowing/filtering frame %i of %li.\n", k, static_cast<long>(count)),
          count);
      dialog = true;
      last = now;
      stop = !progress_->update(k, wxString::Format("Currently windowing/filtering frame %i of %li.\n", k,
                                                    static_cast<long>(count)));
    } else if (dialog && now - last > 100) {
      last = now;
      stop = !progress_->update(
          k, wxString::Format("Currently windowing/filtering frame %i of %li.", k, static_cast<long>(count)));
    }
  }
  if (dialog) progress_->close();
}

span_list* reslice_internals::crop_spans(double offset) const {
  const int32_t object = plane_->crop_surface;
  if (!span_source || object == -1) return nullptr;
  resource_table_t& t = *resource_table;
  span_list* spans = nullptr;
  if (object >= 0 && object < resource_table_t::kSurfaceCount) {
    if (t.RES_SURFACE[object]->read()) spans = span_source(object, *plane_, pixel_step_, offset);
  } else if (object == -2) {
    const int32_t objects = std::min<int32_t>(t.CURRENT_MAX_OBJECTS->read(), resource_table_t::kSurfaceCount);
    for (int32_t k = 0; k < objects; ++k) {
      if (!t.RES_SURFACE[k]->read()) continue;
      span_list* more = span_source(k, *plane_, pixel_step_, offset);
      if (!spans) {
        spans = more;
      } else {
        reslice_raster::merge_spans(spans, more);
        reslice_raster::free_spans(more);
      }
    }
  }
  // Every sample column, also the last when the step does not divide the width.
  if (spans && plane_->show_outside_surface)
    reslice_raster::invert_spans(spans, (plane_->width - 1) / std::max(pixel_step_, 1) + 1);
  return spans;
}

void reslice_internals::sample_slice(build_state& b, const span_list* spans) {
  const vec2_t clip[4] = {{-1e-5, -1e-5},
                          {(b.width - 1.0) / b.step + 1e-5, -1e-5},
                          {(b.width - 1.0) / b.step + 1e-5, (b.height - 1.0) / b.step + 1e-5},
                          {-1e-5, (b.height - 1.0) / b.step + 1e-5}};
  const int32_t fw = b.fw, fh = b.fh;
  const size_t frame_bytes = static_cast<size_t>(fw) * fh;
  for (size_t k = 0; k < b.frames.size(); ++k) {
    frame_record& f = b.frames[k];
    if (!f.used || k >= frame_store->images.size()) continue;
    const frame_image_ref& ref = frame_store->images[k];
    if (!ref || ref->size < 0 || static_cast<size_t>(ref->size) < frame_bytes) continue;
    reslice_raster::frame_box box{xs_, ys_, fw * xs_ - 1e-5, fh * ys_ - 1e-5, f.half_depth};
    vec2_t points[reslice_raster::kMaxClipPoints];
    int slots[12];
    std::fill(slots, slots + 12, -1);
    int n = reslice_raster::frame_box_crossings(f.origin, f.column_step, f.row_step, points, slots, box);
    reslice_raster::order_intersections(points, slots, n);
    n = reslice_raster::clip_intersection_to_poly(points, n, clip, 4);
    if (n < 3) continue;

    // Pixels are fetched only for frames that reach the slice: a pressure
    // correction resamples the whole frame.
    const uint16_t* raw = nullptr;
    const uint8_t* display = nullptr;
    if (b.pressure_run) {
      b.pressure_run->corrected_image(static_cast<int32_t>(k), b.corrected.data());
      display = b.corrected.data();
    } else if (b.raw16) {
      raw = ref->raw;
    } else {
      display = frame_image_t::display_data(ref);
    }
    if (!raw && !display) continue;

    auto value_at = [&](int32_t x, int32_t y) -> double {
      const size_t i = static_cast<size_t>(y) * fw + x;
      return raw ? raw[i] * b.raw_scale + b.raw_shift : display[i];
    };
    reslice_raster::scan_convert(
        points, n, b.step, b.width, b.height, spans, [&](int j, int first, int last) {
          vec3_t p = f.origin + j * f.row_step + first * f.column_step;
          for (int i = first; i <= last; ++i, p += f.column_step) {
            double v;
            if (!b.accurate) {
              const int32_t x = std::clamp(static_cast<int32_t>(std::floor(p.x)), 0, fw - 1);
              const int32_t y = std::clamp(static_cast<int32_t>(std::floor(p.y)), 0, fh - 1);
              v = value_at(x, y);
            } else {
              // Pixel centres. Within half a pixel of the border the border
              // pixel holds; clamping first keeps a sample that rounding puts a
              // hair outside the first centre interpolating like its neighbours.
              const double x = std::clamp(p.x - 0.5, 0.0, fw - 1.0), y = std::clamp(p.y - 0.5, 0.0, fh - 1.0);
              const int32_t x0 = std::min(static_cast<int32_t>(x), std::max(fw - 2, 0));
              const int32_t y0 = std::min(static_cast<int32_t>(y), std::max(fh - 2, 0));
              if (b.interpolate) {
                const int32_t x1 = std::min(x0 + 1, fw - 1), y1 = std::min(y0 + 1, fh - 1);
                double fx = x - x0, fy = y - y0;
                const double v00 = value_at(x0, y0), v10 = value_at(x1, y0);
                const double v01 = value_at(x0, y1), v11 = value_at(x1, y1);
                if (b.holes && (v00 <= 0.0 || v10 <= 0.0 || v01 <= 0.0 || v11 <= 0.0)) {
                  fx = std::round(fx);
                  fy = std::round(fy);
                }
                v = (1 - fy) * ((1 - fx) * v00 + fx * v10) + fy * ((1 - fx) * v01 + fx * v11);
              } else {
                v = value_at(static_cast<int32_t>(x), static_cast<int32_t>(y));
              }
            }
            if (v <= 0.0) {
              if (b.holes) continue;
              v = kNoData;
            }
            const size_t idx = b.index(i, j);
            const float z = static_cast<float>(p.z);
            if (!b.accurate) {
              if (std::fabs(z) < b.nearest[idx]) {
                b.nearest[idx] = std::fabs(z);
                b.slice[idx] = static_cast<float>(v);
              }
            } else if (z > 0.0f) {
              if (z < b.nearest[idx]) {
                b.nearest[idx] = z;
                b.slice[idx] = static_cast<float>(v);
              }
            } else if (z > b.neg_distance[idx]) {
              b.neg_distance[idx] = z;
              b.neg_value[idx] = static_cast<float>(v);
            }
          }
        });
  }
}

// An accurate reslice shows data only between two frames, weighted by the
// distances to them.
void reslice_internals::combine_sides(build_state& b) {
  b.for_each_sample([&](size_t idx) {
    const double p = b.nearest[idx], q = b.neg_distance[idx];
    if (p == kFar || q == -kFar) {
      b.slice[idx] = 0.0f;
      return;
    }
    const double t = p / (p - q);
    if (b.doppler)
      b.slice[idx] =
          static_cast<float>(doppler_between(b.neg_value[idx], b.slice[idx], static_cast<int>(t * 256)));
    else
      b.slice[idx] = static_cast<float>((1.0 - t) * b.slice[idx] + t * b.neg_value[idx]);
  });
}

void reslice_internals::compound(build_state& b, int32_t n) {
  if (b.state == STATE_NONE) return;
  float* acc = b.accum.data();
  const float* slice = b.slice;
  b.for_each_sample([&](size_t i) {
    float& a = acc[i];
    const float v = slice[i];
    switch (b.state) {
      case STATE_MIN:
        if (a <= 0.0f || (v > 0.0f && a > v)) a = v;
        break;
      case STATE_MAX:
        if (v > a) a = v;
        break;
      case STATE_AVE:
        // A true average: the sum of the slices that reached the pixel,
        // divided by their number when the image is finished.
        if (v > 0.0f) {
          a += v;
          ++b.samples[i];
        }
        break;
      case STATE_DOPPLER_MIN:
        if (a <= 0.0f)
          a = v;
        else if (v > 0.0f && doppler_less(v, a))
          a = v;
        break;
      case STATE_DOPPLER_MAX:
        if (doppler_less(a, v)) a = v;
        break;
      case STATE_DOPPLER_AVE:
        if (a <= 127.0f && v <= 127.0f) {
          a = static_cast<float>((1.0 - 1.0 / (n + 1)) * a + v / (n + 1.0));
        } else {
          const double m = (n * doppler_velocity(a) + doppler_velocity(v)) / (n + 1.0);
          a = static_cast<float>(m < 0.0 ? 127.0 - m : m + 192.0);
        }
        break;
      default:
        break;
    }
  });
}

void reslice_internals::finish_image(build_state& b) {
  const double raw_gain = b.raw16 ? 256.0 / resource_table->RES_DICOM_WIN_WIDTH->read() : 1.0;
  b.for_each_sample([&](size_t i) {
    double v = b.accum[i];
    if (b.state == STATE_AVE && b.samples[i] > 0) v /= b.samples[i];
    if (v <= 0.0) {
      image_[i] = 0;
      return;
    }
    v *= raw_gain;
    image_[i] = v < 0.5 ? 1 : v >= 255.5 ? 255 : static_cast<uint8_t>(v + 0.5);
  });
  const int32_t s = b.step;
  if (s <= 1) return;
  const int32_t w = b.width, h = b.height;
  // Pixels between samples take the nearer sample, the following one beyond
  // half a step; past the last sample the last one is copied.
  for (int32_t y = 0; y < h; y += s) {
    uint8_t* row = &image_[static_cast<size_t>(y) * w];
    for (int32_t x = 0; x < w; ++x) {
      if (x % s == 0) continue;
      const int32_t before = x - x % s, after = before + s;
      row[x] = (after < w && x - before > s / 2) ? row[after] : row[before];
    }
  }
  for (int32_t y = 0; y < h; ++y) {
    if (y % s == 0) continue;
    const int32_t before = y - y % s, after = before + s;
    const int32_t from = (after < h && y - before > s / 2) ? after : before;
    std::copy_n(&image_[static_cast<size_t>(from) * w], w, &image_[static_cast<size_t>(y) * w]);
  }
}

// ---------------------------------------------------------------------------
// Frame lines

bool reslice_internals::frame_line(int32_t k, vec2_t& p0, vec2_t& p1) const {
  if (!plane_->defined || !frame_store || k < 0 || k >= static_cast<int32_t>(frame_store->positions.size()))
    return false;
  position_t pos;
  if (!frame_position(k, pos)) return false;
  resource_table_t& t = *resource_table;
  const double w = t.RES_BUF_WIDTH->read() * xs_, h = t.RES_BUF_HEIGHT->read() * ys_;
  matrix4_t p, m;
  matrix4_from_position_t(p, pos);
  matrix4_multiply(p, m, frame_to_world_calibration_);
  vec3_t c[4] = {{0, 0, 0}, {0, h, 0}, {w, h, 0}, {w, 0, 0}};
  for (vec3_t& v : c) {
    vec3_t world;
    matrix4_transform_point(world, m, v);
    v = world;
  }
  plane_->world_to_reslice(c, c, 4);
  vec2_t found[2];
  int n = 0;
  for (int i = 0; i < 4 && n < 2; ++i) {
    const vec3_t& a = c[i];
    const vec3_t& b = c[(i + 1) % 4];
    if ((a.z < 0.0) == (b.z < 0.0)) continue;
    const double f = a.z / (a.z - b.z);
    found[n++] = {a.x + f * (b.x - a.x), a.y + f * (b.y - a.y)};
  }
  if (n < 2) return false;
  p0 = found[0];
  p1 = found[1];
  return true;
}

int32_t reslice_internals::nearest_frame_line(vec2_t& point) const {
  const int32_t frames = resource_table->RES_BUF_FRAMES->read();
  int32_t best = -1;
  double best_d2 = 0.0;
  vec2_t best_point = point;
  for (int32_t k = 0; k < frames; ++k) {
    vec2_t a, b;
    if (!frame_line(k, a, b)) continue;
    const vec2_t d = b - a;
    const double len2 = vec2_dot(d, d);
    const double t = len2 > 0.0 ? std::clamp(vec2_dot(point - a, d) / len2, 0.0, 1.0) : 0.0;
    const vec2_t q = a + t * d;
    const double d2 = vec2_dot(point - q, point - q);
    if (best < 0 || d2 < best_d2) {
      best = k;
      best_d2 = d2;
      best_point = q;
    }
  }
  if (best >= 0) point = best_point;
  return best;
}
