#include "views/overlay_math.h"

#include <cmath>

#include "data/reslice_info.h"

void landmark_shade(const double in[3], double out[3]) {
  const bool light = in[0] + in[1] + in[2] >= 2.5;
  for (int i = 0; i < 3; ++i) out[i] = light ? in[i] / 1.5 : (in[i] + 2.0) / 3.0;
}

namespace {

constexpr double kCurveBand = 5.0;

// Moves end a of segment a-b along it into the band; the caller has made sure
// that both do not lie beyond the same edge.
vec3_t clip_end(const vec3_t& a, const vec3_t& b) {
  double f = 0.0;
  if (a.z < -kCurveBand)
    f = (-kCurveBand - a.z) / (b.z - a.z);
  else if (a.z > kCurveBand)
    f = (a.z - kCurveBand) / (a.z - b.z);
  else
    return a;
  return {a.x + f * (b.x - a.x), a.y + f * (b.y - a.y), a.z + f * (b.z - a.z)};
}

}  // namespace

curve_piece_t clip_curve_segment(const vec3_t& previous, const vec3_t& current) {
  curve_piece_t p;
  // Distances without a pixel size (NaN) are not drawn either.
  if (std::isnan(previous.z) || std::isnan(current.z)) return p;
  if ((previous.z < -kCurveBand && current.z < -kCurveBand) ||
      (previous.z > kCurveBand && current.z > kCurveBand))
    return p;
  const vec3_t c = clip_end(current, previous);
  const vec3_t q = clip_end(previous, current);
  p.drawn = true;
  p.x1 = c.x;
  p.y1 = c.y;
  p.alpha1 = 1.0 - std::fabs(c.z) / kCurveBand;
  p.x2 = q.x;
  p.y2 = q.y;
  p.alpha2 = 1.0 - std::fabs(q.z) / kCurveBand;
  if ((c.z > 0) == (q.z > 0)) return p;
  p.crossing = true;
  const double f = c.z / (c.z - q.z);
  p.cx = c.x + f * (q.x - c.x);
  p.cy = c.y + f * (q.y - c.y);
  return p;
}

std::vector<curve_piece_t> curve_pieces(const std::vector<vec3_t>& points, bool closed) {
  std::vector<curve_piece_t> out;
  if (points.empty()) return out;
  vec3_t previous = closed ? points.back() : points.front();
  for (const vec3_t& current : points) {
    const curve_piece_t piece = clip_curve_segment(previous, current);
    if (piece.drawn) out.push_back(piece);
    previous = current;
  }
  return out;
}

scale_bar_t plane_scale_bar(double p, double xscale, double zoom) {
  scale_bar_t bar;
  const double g = p * 3.3 * 10.0 * xscale / zoom;  // nominal length in mm
  // A pixel size or zoom of 0 would send the unit search below round forever.
  if (!(g > 0.0) || !std::isfinite(g) || !(zoom > 0.0) || !(xscale > 0.0)) return bar;
  double u = g > 10.0 ? 10.0 : 1.0;
  if (g / u > 100.0) u *= 100.0;
  while (g / u <= 0.5) u /= 1000.0;
  while (g / u > 500.0) u *= 1000.0;
  const double b = g / u;
  static const struct {
    double above, value;
    bool fifths;
  } steps[] = {{200, 500, true}, {100, 200, false}, {50, 100, false}, {20, 50, true},
               {10, 20, false},  {5, 10, false},    {2, 5, true},     {1, 2, false}};
  bar.value = 1.0;
  bar.fifths = false;
  for (const auto& s : steps)
    if (b > s.above) {
      bar.value = s.value;
      bar.fifths = s.fifths;
      break;
    }
  bar.unit = u;
  bar.length = u * bar.value * zoom * 0.1 / xscale;
  static const struct {
    double unit;
    const char* name;
  } names[] = {{1e6, "km"}, {1e3, "m"}, {10, "cm"}, {1, "mm"}, {1e-3, "um"}, {1e-6, "nm"}};
  bar.unit_name = "??";
  for (const auto& n : names)
    if (std::fabs(u - n.unit) <= 1e-9 * n.unit) bar.unit_name = n.name;
  bar.ok = true;
  return bar;
}

section_plane reslice_section_plane(const reslice_info& plane) {
  section_plane s;
  s.normal = plane.normal;
  s.d = -vec3_dot(plane.normal, plane.centre);
  s.to_pixels = [&plane](const vec3_t& world) {
    vec3_t r;
    plane.world_to_reslice(&world, &r, 1);
    return vec2_t{r.x, r.y};
  };
  return s;
}

bool centre_of_gravity_on_plane(const reslice_info& plane, const vec3_t& cog, double xscale,
                                double& x, double& y) {
  vec3_t r;
  plane.world_to_reslice(&cog, &r, 1);
  x = r.x;
  y = r.y;
  return std::fabs(r.z) < xscale * 0.5;
}
