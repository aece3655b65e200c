// Surface files: binary PLY with the object's landmarks and curves as
// comments, or VRML 2.0 / 1.0 text. Coordinates are millimetres, ten times
// the internal centimetres. The cortical layer surfaces move each vertex
// from the surface along its measuring line by the layer's depth.
#include <wx/log.h>
#include <wx/stream.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "data/curves.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "data/ply_file.h"
#include "surfaces/surface_interp.h"
#include "surfaces/thickness_colour_table.h"

namespace {

// Below this |unit normal . direction| (relative to the direction's length)
// a measuring line runs almost along the surface: the layer depth divided by
// it would throw the vertex far away, so such a vertex moves along its
// normal instead.
constexpr double kMinDirectionCosine = 0.01;

// Thickness kinds whose smoothed values the layers use.
constexpr int kKindThickness = 0;
constexpr int kKindOuterGap = 6;
constexpr int kKindInnerGap = 8;

// VRML text reaches the stream in pieces of about this size.
constexpr size_t kVrmlChunk = size_t(1) << 20;

// A name as the readers find it again between the first two double quotes,
// on one line: quotes become apostrophes, line breaks blanks.
std::string quoted_name(const wxString& name) {
  std::string s(name.utf8_str());
  for (char& c : s) {
    if (c == '"') c = '\'';
    if (c == '\r' || c == '\n') c = ' ';
  }
  return "\"" + s + "\"";
}

std::string numbers(const char* format, double a, double b, double c) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

std::string six(double a, double b, double c, double d, double e, double f) {
  char text[240];
  std::snprintf(text, sizeof text, "%.5lf %.5lf %.5lf %.5lf %.5lf %.5lf", a, b, c, d, e, f);
  return text;
}

vec3_t unit(double x, double y, double z) {
  const double len = std::sqrt(x * x + y * y + z * z);
  return len > 0 ? vec3_t{x / len, y / len, z / len} : vec3_t{x, y, z};
}

// What one call writes: the vertices and triangles kept, their file
// positions, normals and colours.
struct surface_output {
  const surface_interp& s;
  int layer = 0;
  const double* offset = nullptr;
  const double* thickness = nullptr;
  const double* outer_gap = nullptr;
  const double* inner_gap = nullptr;
  std::vector<int32_t> renumber;  // only when vertices are left out
  bool leave_out = false;
  int32_t vertices = 0, triangles = 0;
  bool per_vertex = false, table_colours = false;
  int map = 3;
  uint8_t colour[3] = {255, 255, 255};
  double alpha = 1.0;

  explicit surface_output(const surface_interp& surface) : s(surface) {}

  bool keeps_point(int32_t i) const { return !leave_out || s.mesh.points[i].type != 2; }
  bool keeps_triangle(int32_t t) const { return !leave_out || s.mesh.triangles[t].type != 2; }
  int32_t index(int32_t i) const { return leave_out ? renumber[size_t(i)] : i; }

  vec3_t position(int32_t i) const {
    const surface_point& p = s.mesh.points[i];
    vec3_t at{10 * p.x, 10 * p.y, 10 * p.z};
    if (layer == 0) return at;
    double d = offset[i];
    switch (layer) {
      case 1: d += outer_gap[i]; break;
      case 3: d -= thickness[i]; break;
      case 4: d -= thickness[i] + inner_gap[i]; break;
      default: break;
    }
    vec3_t u = unit(p.nx, p.ny, p.nz);
    if (!s.directions.empty()) {
      const vec3_t& dir = s.directions[size_t(i)];
      const double cosine = vec3_dot(u, dir);
      if (std::fabs(cosine) >= kMinDirectionCosine * vec3_length(dir)) {
        d /= cosine;
        u = dir;
      }
    }
    if (s.reversed) u = u * -1.0;
    return at + u * d;
  }
  vec3_t normal(int32_t i) const {
    const surface_point& p = s.mesh.points[i];
    return unit(p.nx, p.ny, p.nz);
  }
  // The vertex colour as bytes (PLY) or as fractions (VRML).
  void bytes(int32_t i, uint8_t out[3]) const {
    if (!per_vertex) {
      for (int k = 0; k < 3; ++k) out[k] = colour[k];
    } else if (table_colours) {
      const uint8_t* e = thickness_colour_entry(map, s.mesh.points[i].colour);
      for (int k = 0; k < 3; ++k) out[k] = e[k];
    } else {
      for (int k = 0; k < 3; ++k) out[k] = uint8_t(unsigned(s.mesh.points[i].colour) * colour[k] / 255);
    }
  }
  vec3_t fractions(int32_t i) const {
    if (per_vertex && !table_colours) {
      const double c = s.mesh.points[i].colour;
      return {c * colour[0] / 255 / 255, c * colour[1] / 255 / 255, c * colour[2] / 255 / 255};
    }
    uint8_t b[3];
    bytes(i, b);
    return {b[0] / 255.0, b[1] / 255.0, b[2] / 255.0};
  }
};

// Layer values smoothed as displayed, from the thickness mapping.
struct smoothed_values {
  std::vector<double> offset, thickness, outer_gap, inner_gap;
  bool used = false;
};

bool holds(const std::vector<double>& a, int32_t n) { return !a.empty() && a.size() == size_t(n); }

class surface_writer {
 public:
  surface_writer(const surface_interp& s, const surface_output& out, wxOutputStream& stream)
      : s_(s), out_(out), stream_(stream) {}
  bool write_ply();
  bool write_vrml(bool write_header, bool vrml2);

 private:
  bool ply_failure(ply_writer& w, const char* message) {
    w.close();
    wxLogWarning("%s", message);
    return false;
  }
  void line(const std::string& text) {
    text_ += text;
    text_ += '\n';
    if (text_.size() >= kVrmlChunk) flush_text();
  }
  void flush_text() {
    if (!text_.empty() && stream_ok_) {
      stream_.Write(text_.data(), text_.size());
      stream_ok_ = stream_.LastWrite() == text_.size() && stream_.IsOk();
    }
    text_.clear();
  }
  // The entries of a list, each after the first preceded by "," and a line
  // end, then one line end (at once for an empty list).
  template <typename F>
  void list(int32_t count, F entry) {
    bool first = true;
    for (int32_t i = 0; i < count; ++i) {
      if (!first) text_ += ",\n";
      first = false;
      text_ += entry(i);
      if (text_.size() >= kVrmlChunk) flush_text();
    }
    text_ += '\n';
  }
  template <typename F>
  void vertex_list(F entry) {
    std::vector<int32_t> kept;
    kept.reserve(size_t(out_.vertices));
    for (int32_t i = 0; i < s_.mesh.n_points; ++i)
      if (out_.keeps_point(i)) kept.push_back(i);
    list(int32_t(kept.size()), [&](int32_t k) { return entry(kept[size_t(k)]); });
  }
  void face_list();
  void landmark_and_curve_lines();

  const surface_interp& s_;
  const surface_output& out_;
  wxOutputStream& stream_;
  std::string text_;
  bool stream_ok_ = true;
};

bool surface_writer::write_ply() {
  ply_writer w(stream_);
  if (resource_table && resource_table->RES_LANDMARKS)
    if (const landmarks* marks = resource_table->RES_LANDMARKS->read())
      for (const landmark_t& l : marks->items) {
        if (l.kind != LM_SURFACE || l.object != s_.object) continue;
        const std::string c = "LANDMARK " + quoted_name(l.name) + " " +
                              six(10 * l.x, 10 * l.y, 10 * l.z, l.nx, l.ny, l.nz);
        if (!w.add_comment(c)) return ply_failure(w, "Could not add comment to ply file");
      }
  if (resource_table && resource_table->RES_CURVE)
    if (const curve_set* curves = resource_table->RES_CURVE->read())
      for (const curve_t& curve : curves->curves) {
        if (curve.object != s_.object) continue;
        const std::string head = std::string(curve.closed ? "CLOSED" : "OPEN") + "_LANDCURVE " +
                                 quoted_name(curve.name) + " " +
                                 std::to_string(long(curve.points.size()));
        if (!w.add_comment(head)) return ply_failure(w, "Could not add comment to ply file");
        for (const curve_point& p : curve.points)
          if (!w.add_comment(six(10 * p.x, 10 * p.y, 10 * p.z, p.nx, p.ny, p.nz)))
            return ply_failure(w, "Could not add comment to ply file");
      }
  if (!w.add_element("vertex", out_.vertices))
    return ply_failure(w, "Could not add element to ply file");
  for (const char* name : {"x", "y", "z", "nx", "ny", "nz"})
    if (!w.add_scalar_property(name, ply_type::float32))
      return ply_failure(w, "Could not add property to ply file");
  for (const char* name : {"red", "green", "blue"})
    if (!w.add_scalar_property(name, ply_type::uint8))
      return ply_failure(w, "Could not add property to ply file");
  if (!w.add_element("face", out_.triangles))
    return ply_failure(w, "Could not add element to ply file");
  if (!w.add_list_property("vertex_indices", ply_type::uint8, ply_type::uint32))
    return ply_failure(w, "Could not add property to ply file");
  if (!w.write_header()) return ply_failure(w, "Could not write header to ply file");

  for (int32_t i = 0; i < s_.mesh.n_points; ++i) {
    if (!out_.keeps_point(i)) continue;
    const vec3_t p = out_.position(i), n = out_.normal(i);
    uint8_t c[3];
    out_.bytes(i, c);
    for (double v : {p.x, p.y, p.z, n.x, n.y, n.z, double(c[0]), double(c[1]), double(c[2])})
      if (!w.write_value(v)) return ply_failure(w, "Could not write vertex to ply file");
  }
  for (int32_t t = 0; t < s_.mesh.n_triangles; ++t) {
    if (!out_.keeps_triangle(t)) continue;
    const surface_triangle& tr = s_.mesh.triangles[t];
    if (!w.write_value(3))
      return ply_failure(w, "Could not write vertex index list length to ply file");
    for (int32_t corner : {tr.a, tr.b, tr.c})
      if (!w.write_value(out_.index(corner)))
        return ply_failure(w, "Could not write vertex index to ply file");
  }
  if (!w.close()) {
    wxLogWarning("Could not write surface ply file");
    return false;
  }
  return true;
}

void surface_writer::face_list() {
  std::vector<int32_t> kept;
  kept.reserve(size_t(out_.triangles));
  for (int32_t t = 0; t < s_.mesh.n_triangles; ++t)
    if (out_.keeps_triangle(t)) kept.push_back(t);
  list(int32_t(kept.size()), [&](int32_t k) {
    const surface_triangle& tr = s_.mesh.triangles[kept[size_t(k)]];
    char text[96];
    std::snprintf(text, sizeof text, "   %li, %li, %li, -1", long(out_.index(tr.a)),
                  long(out_.index(tr.b)), long(out_.index(tr.c)));
    return std::string(text);
  });
}

void surface_writer::landmark_and_curve_lines() {
  if (resource_table && resource_table->RES_LANDMARKS)
    if (const landmarks* marks = resource_table->RES_LANDMARKS->read())
      for (const landmark_t& l : marks->items)
        if (l.kind == LM_SURFACE && l.object == s_.object)
          line("# LANDMARK " + quoted_name(l.name) + " " +
               numbers("%.5lf %.5lf %.5lf", 10 * l.x, 10 * l.y, 10 * l.z));
  if (resource_table && resource_table->RES_CURVE)
    if (const curve_set* curves = resource_table->RES_CURVE->read())
      for (const curve_t& curve : curves->curves) {
        if (curve.object != s_.object) continue;
        line(std::string(curve.closed ? "# CLOSED_" : "# OPEN_") + "LANDCURVE " +
             quoted_name(curve.name) + " " + std::to_string(long(curve.points.size())));
        for (const curve_point& p : curve.points)
          line("# " + numbers("%.5lf %.5lf %.5lf", 10 * p.x, 10 * p.y, 10 * p.z));
      }
}

bool surface_writer::write_vrml(bool write_header, bool vrml2) {
  auto point = [&](int32_t i) { const vec3_t p = out_.position(i);
    return numbers("   %.5lf %.5lf %.5lf", p.x, p.y, p.z); };
  auto normal = [&](int32_t i) { const vec3_t n = out_.normal(i);
    return numbers("   %.5lf %.5lf %.5lf", n.x, n.y, n.z); };
  auto colour = [&](int32_t i) { const vec3_t c = out_.fractions(i);
    return numbers("   %.3lf %.3lf %.3lf", c.x, c.y, c.z); };
  const std::string diffuse = numbers("  diffuseColor %.3lf %.3lf %.3lf", out_.colour[0] / 255.0,
                                      out_.colour[1] / 255.0, out_.colour[2] / 255.0);
  char transparency[64];
  std::snprintf(transparency, sizeof transparency, "  transparency  %.3lf", 1 - out_.alpha);

  if (vrml2) {
    if (write_header) line("#VRML V2.0 utf8");
    landmark_and_curve_lines();
    line("Transform { children [ Shape {");
    line(" appearance Appearance { material Material {");
    line("  ambientIntensity 0.2");
    if (!out_.per_vertex) line(diffuse);
    line("  specularColor 0.1 0.1 0.1");
    line("  emissiveColor 0 0 0");
    line("  shininess     0.2");
    line(transparency);
    line(" } }");
    line(" geometry IndexedFaceSet {");
    line("  coord Coordinate { point [");
    vertex_list(point);
    line("  ] }");
    line("  normal Normal { vector [");
    vertex_list(normal);
    line("  ] }");
    if (out_.per_vertex) {
      line("  colorPerVertex TRUE");
      line("  color Color { color [");
      vertex_list(colour);
      line("  ] }");
    }
    line("  coordIndex [");
    face_list();
    line("  ]");
    line(" }");
    line("} ] }");
  } else {
    if (write_header) line("#VRML V1.0 ascii");
    for (const char* l : {"Separator {", " ShapeHints {", "  vertexOrdering COUNTERCLOCKWISE",
                          "  shapeType SOLID", "  faceType CONVEX", " }", " MaterialBinding {",
                          "  value OVERALL", " }", " Material {", "  ambientColor 0.2 0.2 0.2"})
      line(l);
    if (!out_.per_vertex) line(diffuse);
    line("  specularColor 0.1 0.1 0.1");
    line("  emissiveColor 0 0 0");
    line("  shininess     0.2");
    line(transparency);
    line(" }");
    line(" Coordinate3 {");
    line("  point [");
    vertex_list(point);
    line("  ]");
    line(" }");
    for (const char* l : {" NormalBinding {", "  value PER_VERTEX_INDEXED", " }", " Normal {",
                          "  vector ["})
      line(l);
    vertex_list(normal);
    line("  ]");
    line(" }");
    if (out_.per_vertex) {
      for (const char* l : {" MaterialBinding {", "  value PER_VERTEX_INDEXED", " }",
                            " Material {", "  diffuseColor ["})
        line(l);
      vertex_list(colour);
      line("  ]");
      line(" }");
    }
    line(" IndexedFaceSet {");
    line("  coordIndex [");
    face_list();
    line("  ]");
    line(" }");
    line("}");
  }
  flush_text();
  if (!stream_ok_) {
    wxLogWarning("Could not write surface VRML file");
    return false;
  }
  return true;
}

}  // namespace

bool surface_interp::save_surface(wxOutputStream& stream, bool write_header, bool as_ply,
                                  bool skip_type2, int layer) {
  const int32_t n = mesh.n_points;
  if (layer < 0 || layer > 4) return false;
  if (layer != 0) {
    if (!holds(surface_offset, n) || !holds(cortical_thickness, n) || !holds(fit_error, n))
      return false;
    if (layer == 1 && !holds(outer_gap, n)) return false;
    if (layer == 4 && !holds(inner_gap, n)) return false;
  }
  auto read_long = [](long_res_t* r, long fallback) { return r ? long(r->read()) : fallback; };
  const bool have_table = resource_table != nullptr;
  const long smooth = have_table ? read_long(resource_table->RES_THICKNESS_SMOOTH, 0) : 0;

  surface_output out(*this);
  out.layer = layer;
  out.offset = surface_offset.data();
  out.thickness = cortical_thickness.data();
  out.outer_gap = outer_gap.data();
  out.inner_gap = inner_gap.data();

  // Smoothed layer values; each selection also changes the displayed
  // colours, which are put back at the end.
  smoothed_values smoothed;
  if (layer != 0 && smooth >= 1) {
    smoothed.used = true;
    auto take = [&](int kind, std::vector<double>& values, std::vector<double>* offsets) {
      std::vector<double> v, o;
      if (!select_display_data(kind, &v, &o, nullptr) || !holds(v, n)) return;
      values = std::move(v);
      if (offsets && holds(o, n)) *offsets = std::move(o);
    };
    if (layer == 1) take(kKindOuterGap, smoothed.outer_gap, &smoothed.offset);
    if (layer == 4) take(kKindInnerGap, smoothed.inner_gap, nullptr);
    if (layer != 1) take(kKindThickness, smoothed.thickness, &smoothed.offset);
    if (!smoothed.offset.empty()) out.offset = smoothed.offset.data();
    if (!smoothed.thickness.empty()) out.thickness = smoothed.thickness.data();
    if (!smoothed.outer_gap.empty()) out.outer_gap = smoothed.outer_gap.data();
    if (!smoothed.inner_gap.empty()) out.inner_gap = smoothed.inner_gap.data();
  }

  bool capped = true;
  if (have_table && resource_table->RES_OBJECT && object >= 0 && object <= 200)
    if (const contour_object* objects = resource_table->RES_OBJECT->read()) {
      const contour_object& o = objects[object];
      out.colour[0] = o.colour.Red(), out.colour[1] = o.colour.Green(),
      out.colour[2] = o.colour.Blue();
      out.alpha = o.opacity;
      capped = o.capped != 0;
    }
  out.map = have_table ? int(read_long(resource_table->RES_THICKNESS_DISP_COL, 3)) : 3;
  const bool thickness_results = holds(cortical_thickness, n) && holds(smoothed_thickness, n);
  out.per_vertex = compound_depth != 0 || (thickness_results && layer == 0);
  out.table_colours = thickness_results;

  out.leave_out = skip_type2 || !capped;
  if (out.leave_out) {
    out.renumber.resize(size_t(std::max(n, 0)));
    for (int32_t i = 0; i < n; ++i) {
      out.renumber[size_t(i)] = out.vertices;
      if (mesh.points[i].type != 2) ++out.vertices;
    }
    for (int32_t t = 0; t < mesh.n_triangles; ++t) out.triangles += mesh.triangles[t].type != 2;
  } else {
    out.vertices = std::max(n, 0);
    out.triangles = std::max(mesh.n_triangles, 0);
  }

  const bool vrml2 =
      !have_table || !resource_table->RES_VRML2_SURFACES || resource_table->RES_VRML2_SURFACES->read();
  surface_writer writer(*this, out, stream);
  const bool ok = as_ply ? writer.write_ply() : writer.write_vrml(write_header, vrml2);

  if (smoothed.used && have_table && resource_table->RES_THICKNESS_DISP_MAP) {
    const int shown = int(resource_table->RES_THICKNESS_DISP_MAP->read());
    if (display_kind != shown) select_display_data(shown, nullptr, nullptr, nullptr);
  }
  return ok;
}
