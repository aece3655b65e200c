// Every crossing of a line with one surface, described for the 3D view's
// probe and for the comparison of two surfaces.
#include <cmath>
#include <utility>

#include "data/objects.h"
#include "surfaces/surface_interp.h"

namespace {

vec3_t pos(const surface_point& p) { return {p.x, p.y, p.z}; }
vec3_t nrm(const surface_point& p) { return {p.nx, p.ny, p.nz}; }

// A blend of three vectors, made unit unless it has no length.
vec3_t blend_unit(const vec3_t& a, const vec3_t& b, const vec3_t& c, double wa, double wb, double wc) {
  return vec3_normalise(a * wa + b * wb + c * wc);
}

// The displayed quantity at a crossing, by the current display kind.
wxString value_text(int32_t kind, double v) {
  const wxString units = resource_table ? resource_table->RES_DICOM_UNITS->read() : wxString();
  switch (kind) {
    case 0: return wxString::Format("cortical thickness %.2lf mm", v);
    case 1: return wxString::Format("cortical mass surface density %.2lf %smm", v, units);
    case 2: return wxString::Format("cortical density %.2lf %s", v, units);
    case 3: return wxString::Format("FWHM blur %.2lf mm", v);
    case 4: return wxString::Format("endocortical thickness %.2lf mm", v);
    case 5: return wxString::Format("inner density %.2lf %s", v, units);
    case 6: return wxString::Format("outer gap %.2lf mm", v);
    case 7: return wxString::Format("outer density %.2lf %s", v, units);
    case 8: return wxString::Format("inner gap %.2lf mm", v);
    case 9: return wxString::Format("offset from surface %.2lf mm", v);
    default: return wxString();
  }
}

}  // namespace

void line_probe_hits::swap_entries(size_t i, size_t j) {
  std::swap(depths[i], depths[j]);
  std::swap(points[i], points[j]);
  std::swap(normals[i], normals[j]);
  std::swap(directions[i], directions[j]);
  std::swap(objects[i], objects[j]);
  texts[i].swap(texts[j]);
}

void line_probe_hits::erase(size_t i) {
  depths.erase(depths.begin() + static_cast<std::ptrdiff_t>(i));
  points.erase(points.begin() + static_cast<std::ptrdiff_t>(i));
  normals.erase(normals.begin() + static_cast<std::ptrdiff_t>(i));
  directions.erase(directions.begin() + static_cast<std::ptrdiff_t>(i));
  objects.erase(objects.begin() + static_cast<std::ptrdiff_t>(i));
  texts.erase(texts.begin() + static_cast<std::ptrdiff_t>(i));
}

void line_probe_hits::clear() {
  depths.clear();
  points.clear();
  normals.clear();
  directions.clear();
  objects.clear();
  texts.clear();
}

void line_probe_hits::sort_and_merge() {
  // Selection by depth: among equal depths the earlier entry comes first.
  const size_t n = depths.size();
  for (size_t i = 0; i < n; ++i) {
    size_t best = i;
    for (size_t j = i + 1; j < n; ++j)
      if (depths[j] < depths[best]) best = j;
    if (best != i) swap_entries(i, best);
  }
  // A crossing through a shared edge or vertex is met by every triangle there.
  for (size_t i = 1; i < depths.size();)
    if (std::fabs(depths[i] - depths[i - 1]) < 1e-10)
      erase(i);
    else
      ++i;
}

void surface_interp::query_line(const vec3_t& A, const vec3_t& B, line_probe_hits& hits, double maxdist) const {
  const surface_mesh& m = mesh;
  if (!m.points || !m.triangles || m.n_points <= 0 || m.n_triangles <= 0) return;
  const vec3_t D = B - A;
  const double len = vec3_length(D);
  if (!(len > 0.0) || !std::isfinite(len)) return;
  const vec3_t u = D * (1.0 / len);
  const bool bounded = maxdist > 0.0;
  double limit = 100000.0;
  if (bounded && resource_table) {
    const double line = resource_table->RES_THICKNESS_LINE->read();
    if (line < 10.0) limit = line / len;
  }
  const double reach2 = maxdist * maxdist;
  const size_t un = static_cast<size_t>(m.n_points);
  const bool has_values = smoothed_thickness.size() == un;
  const bool has_directions = directions.size() == un;
  const int32_t kind = resource_table ? resource_table->RES_THICKNESS_DISP_MAP->read() : -1;
  wxString name;
  if (resource_table && object >= 0 && object < NUM_OBJECTS)
    if (const contour_object* objects = resource_table->RES_OBJECT->read()) name = objects[object].name;

  for (int32_t k = 0; k < m.n_triangles; ++k) {
    const surface_triangle& t = m.triangles[k];
    if (t.a < 0 || t.b < 0 || t.c < 0 || t.a >= m.n_points || t.b >= m.n_points || t.c >= m.n_points) continue;
    const vec3_t V0 = pos(m.points[t.a]);
    const vec3_t e1 = pos(m.points[t.b]) - V0, e2 = pos(m.points[t.c]) - V0;
    const double l1 = vec3_dot(e1, e1), l2 = vec3_dot(e2, e2);
    // The cheap rejection first: V0 too far from the line for the triangle to reach it.
    const vec3_t w0 = A - V0;
    const vec3_t off = w0 - u * vec3_dot(w0, u);
    const double q = vec3_dot(off, off);
    if (bounded ? reach2 < 0.99 * q : (l1 < 0.99 * q && l2 < 0.99 * q)) continue;
    const vec3_t N = vec3_cross(e1, e2);
    const double ND = vec3_dot(N, D);
    if ((N.x == 0.0 && N.y == 0.0 && N.z == 0.0) || ND == 0.0) continue;
    const double mu = -vec3_dot(N, w0) / ND;
    if (!(std::fabs(mu) <= limit)) continue;
    const vec3_t H = A + D * mu;
    const vec3_t w = H - V0;
    const double h2 = vec3_dot(w, w);
    if (bounded ? reach2 < 0.99 * h2 : (l1 < 0.99 * h2 && l2 < 0.99 * h2)) continue;
    const double a = l1, b = vec3_dot(e1, e2), c = l2, d1 = vec3_dot(e1, w), d2 = vec3_dot(e2, w);
    const double den = b * b - a * c;
    if (den == 0.0) continue;
    const double s = (d2 * b - d1 * c) / den;
    const double r = (d1 * b - d2 * a) / den;
    if (!(s >= -1e-12 && s <= 1.0 + 1e-12 && r >= -1e-12 && s + r <= 1.0 + 1e-12)) continue;
    const double w0b = 1.0 - s - r;
    const double depth = mu * 10.0 * len;
    const vec3_t n = blend_unit(nrm(m.points[t.a]), nrm(m.points[t.b]), nrm(m.points[t.c]), w0b, s, r);
    const vec3_t dir = has_directions ? blend_unit(directions[size_t(t.a)], directions[size_t(t.b)],
                                                   directions[size_t(t.c)], w0b, s, r)
                                      : n;
    wxString text = wxString::Format("%s (%.2lf mm down): ", name, depth);
    if (has_values)
      text += value_text(kind, smoothed_thickness[size_t(t.a)] * w0b + smoothed_thickness[size_t(t.b)] * s +
                                   smoothed_thickness[size_t(t.c)] * r);
    else
      text += wxString::Format("tri %li, ind %li (%.2lf), %li (%.2lf), %li (%.2lf)", long(k), long(t.a), w0b,
                               long(t.b), s, long(t.c), r);
    hits.depths.push_back(depth);
    hits.points.push_back(H);
    hits.normals.push_back(n);
    hits.directions.push_back(dir);
    hits.objects.push_back(object);
    hits.texts.push_back(text);
  }
  hits.sort_and_merge();
}
