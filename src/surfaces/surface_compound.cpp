// Painting recorded image data onto a surface: each vertex gets the grey
// values met along a short line through it in the direction of its normal.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include <wx/log.h>

#include "data/dynabuf.h"
#include "data/objects.h"
#include "registry/resource_table.h"
#include "surfaces/surface_interp.h"
#include "surfaces/surface_sources.h"

int64_t compound_progress::now_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

namespace {

// More samples per vertex than any depth slider gives; beyond it the depth
// cannot be meant.
constexpr long MAX_SAMPLES = 100000;

// A frame's plane: origin, pixel column and row directions and normal, all
// unit and orthogonal (the frame transforms are rigid).
struct frame_plane {
  vec3_t origin, column, row, normal;
  const uint8_t* pixels = nullptr;
};

// Combination of one vertex's samples: 0 maximum, 2 average of the non-zero
// samples (truncated), anything else minimum.
uint8_t combine(const std::vector<uint8_t>& v, int type) {
  if (type == 0) return *std::max_element(v.begin(), v.end());
  if (type == 2) {
    long sum = 0, n = 0;
    for (uint8_t x : v)
      if (x != 0) sum += x, ++n;
    return n ? uint8_t(sum / n) : 0;
  }
  return *std::min_element(v.begin(), v.end());
}

}  // namespace

void surface_interp::compound_image_data(compound_progress* progress) {
  if (!fit_error.empty() || compound_depth == 0.0 || !resource_table || !frame_store) return;
  const resource_table_t& t = *resource_table;
  if (!t.RES_POS_REC->read()) return;
  const long frames = t.RES_BUF_FRAMES->read();
  const long width = t.RES_BUF_WIDTH->read(), height = t.RES_BUF_HEIGHT->read();
  const double sx = t.RES_XSCALE->read(), sy = t.RES_YSCALE->read();
  if (frames < 1 || width < 1 || height < 1 || !(sx > 0.0) || !(sy > 0.0)) return;

  // Every frame must have its position and its pixels before anything changes.
  const matrix4_t C = surface_calibration_from_resources();
  std::vector<frame_plane> frame_planes(static_cast<size_t>(frames));
  std::vector<frame_image_ref> held(static_cast<size_t>(frames));  // keeps the pixels alive
  for (long k = 0; k < frames; ++k) {
    position_ref p = frame_store->positioncp(int32_t(k));
    held[size_t(k)] = frame_store->imagecp(int32_t(k));
    if (!p || !held[size_t(k)]) return;
    const uint8_t* pixels = frame_image_t::display_data(held[size_t(k)]);
    if (!pixels || held[size_t(k)]->size < width * height) return;
    matrix4_t P, M;
    matrix4_from_position_t(P, *p);
    matrix4_multiply(P, M, C);
    frame_plane& f = frame_planes[size_t(k)];
    f.origin = matrix4_get_translation(M);
    f.column = matrix4_get_x_axis(M);
    f.row = matrix4_get_y_axis(M);
    f.normal = matrix4_get_z_axis(M);
    f.pixels = pixels;
  }

  const double depth = compound_depth, reach = std::fabs(depth);
  const double steps = std::trunc(reach / sx);
  if (steps > MAX_SAMPLES) {
    wxLogError("Unable to compound image data onto the surface: the compounding depth of %g cm "
               "is too large.",
               depth);
    return;
  }
  const long m = long(steps);
  std::vector<uint8_t> value(size_t(m + 1));
  struct frame_read {
    vec3_t a, b;  // feet of the vertex and of its far sample point: column, row, distance
    const uint8_t* pixels;
  };
  std::vector<frame_read> reads;
  reads.reserve(frame_planes.size());
  // The distances of the frames in reads, apart for the search of the nearest.
  std::vector<double> read_z, read_dz;
  read_z.reserve(frame_planes.size());
  read_dz.reserve(frame_planes.size());

  // Frames that can be read from a vertex lie within twice the depth of it
  // along their normal. With the frames' offsets along a mean normal sorted,
  // a window of them, widened by how far any normal strays from the mean,
  // holds every such frame; the exact test below still decides.
  vec3_t mean;
  for (const frame_plane& f : frame_planes) mean += f.normal;
  mean = vec3_normalise(mean);
  double stray = 0.0;
  for (const frame_plane& f : frame_planes) stray = std::max(stray, vec3_length(f.normal - mean));
  std::vector<std::pair<double, int32_t>> offsets;
  offsets.reserve(frame_planes.size());
  double far = 0.0;
  for (size_t k = 0; k < frame_planes.size(); ++k) {
    offsets.emplace_back(vec3_dot(frame_planes[k].origin, mean), int32_t(k));
    far = std::max(far, vec3_length(frame_planes[k].origin));
  }
  std::sort(offsets.begin(), offsets.end());
  std::vector<int32_t> near;
  near.reserve(frame_planes.size());

  const int32_t n = mesh.n_points;
  int v = 1;
  while (n / v > 30000) v *= 10;
  wxString title = "Compounding data onto ";
  if (t.RES_OBJECT && object >= 0 && object <= 200)
    if (contour_object* objects = t.RES_OBJECT->read()) title += objects[object].name;
  bool shown = false;
  int64_t watch = progress ? progress->now_ms() : 0;

  for (int32_t i = 0; i < n; ++i) {
    if (progress) {
      const int64_t now = progress->now_ms();
      if (!shown && now - watch > 250 && i < n / 4) {
        progress->open(title, wxString::Format("Currently calculating point %i of %i.\n", i, n),
                       n / v);
        shown = true;
        watch = now;
      } else if (shown && now - watch > 100) {
        watch = now;
        if (!progress->update(i / v, wxString::Format("Currently calculating point %i of %i.", i, n))) {
          progress->close();
          return;
        }
      }
    }
    surface_point& pt = mesh.points[i];
    const vec3_t p{pt.x, pt.y, pt.z};
    vec3_t u{pt.nx, pt.ny, pt.nz};
    const double len = vec3_length(u);
    if (len != 0.0) u = u * (1.0 / len);
    const vec3_t q = p + u * depth;
    std::fill(value.begin(), value.end(), uint8_t(0));

    // |dp| = |(origin - p) . normal| differs from |origin . mean - p . mean| by
    // at most |origin - p| times the stray; a margin covers the rounding.
    const double c = vec3_dot(p, mean);
    const double slack = 2.0 * reach + (far + vec3_length(p)) * stray + 1e-9 * (1.0 + far + std::fabs(c));
    near.clear();
    if (std::isfinite(slack) && std::isfinite(c)) {
      const auto lo = std::lower_bound(offsets.begin(), offsets.end(),
                                       std::make_pair(c - slack, int32_t(-1)));
      for (auto it = lo; it != offsets.end() && it->first <= c + slack; ++it)
        near.push_back(it->second);
    } else {
      for (size_t k = 0; k < frame_planes.size(); ++k) near.push_back(int32_t(k));
    }
    // Frame order decides ties, as before; stacks whose frames follow their
    // offsets are in order already.
    if (!std::is_sorted(near.begin(), near.end())) std::sort(near.begin(), near.end());
    // The frames near enough to be read, with the feet of p and q on each.
    reads.clear();
    read_z.clear();
    read_dz.clear();
    for (int32_t k : near) {
      const frame_plane& f = frame_planes[size_t(k)];
      // In-plane coordinates of the feet of p and q on the plane, and their
      // signed distances along the normal to it; the distances alone decide
      // whether the frame is near enough to be read.
      const vec3_t op = f.origin - p, oq = f.origin - q;
      const double dp = vec3_dot(op, f.normal), dq = vec3_dot(oq, f.normal);
      if (!(dp * dq < 0.0 || reach > std::fabs(dp) || reach > std::fabs(dq))) continue;
      const vec3_t a{-vec3_dot(op, f.column), -vec3_dot(op, f.row), dp};
      const vec3_t b{-vec3_dot(oq, f.column), -vec3_dot(oq, f.row), dq};
      reads.push_back(frame_read{a, b, f.pixels});
      read_z.push_back(dp);
      read_dz.push_back(dq - dp);
    }
    // Each sample takes the nearest frame whose pixel it falls on, the first
    // in frame order among equals. The nearest frame usually holds the
    // pixel; only when it does not are the frames walked in order.
    auto pixel_of = [&](const frame_read& r, double w, uint8_t& out) {
      const double x = r.a.x + w * (r.b.x - r.a.x), y = r.a.y + w * (r.b.y - r.a.y);
      // Rounded down, so that points left of or above the first pixel fall off the frame.
      const double col = std::floor(x / sx + 0.5), row = std::floor(y / sy + 0.5);
      if (!(col >= 0.0 && col < double(width) && row >= 0.0 && row < double(height))) return false;
      out = r.pixels[long(col) + width * long(row)];
      return true;
    };
    const size_t nr = reads.size();
    for (long l = 0; l <= m; ++l) {
      // With a single sample only the vertex itself is read.
      const double w = m ? double(l) / double(m) : 0.0;
      double least = 1e10;
      size_t nearest = nr;
      const double* z = read_z.data();
      const double* dz = read_dz.data();
      for (size_t r = 0; r < nr; ++r) {
        const double d = std::fabs(z[r] + w * dz[r]);
        if (d < least) least = d, nearest = r;
      }
      if (nearest == nr) continue;
      if (pixel_of(reads[nearest], w, value[size_t(l)])) continue;
      double b = 1e10;
      for (size_t r = 0; r < nr; ++r) {
        const double d = std::fabs(reads[r].a.z + w * (reads[r].b.z - reads[r].a.z));
        if (d < b && pixel_of(reads[r], w, value[size_t(l)])) b = d;
      }
    }
    pt.colour = combine(value, compound_type);
  }
  if (shown) progress->close();
}
