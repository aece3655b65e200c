// Shape-model sub-structures: reading their PLY files, and carrying them
// through the interpolant that maps the model's loaded shape onto its fitted,
// registered shape into objects of their own.
#include <charconv>
#include <cmath>
#include <memory>
#include <string_view>

#include <wx/ffile.h>
#include <wx/log.h>

#include "data/curves.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "data/ply_file.h"
#include "models/fit_model.h"
#include "models/fit_object_edit.h"
#include "models/rbf_interpolant.h"
#include "models/wrl_object.h"
#include "registry/resource_table.h"
#include "surfaces/surface_from_model.h"
#include "surfaces/surface_interp.h"
#include "surfaces/surface_section.h"

namespace {

std::vector<std::string_view> tokens_of(std::string_view text) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while ((i = text.find_first_not_of(" \t\r\n", i)) != std::string_view::npos) {
    size_t j = text.find_first_of(" \t\r\n", i);
    if (j == std::string_view::npos) j = text.size();
    out.push_back(text.substr(i, j - i));
    i = j;
  }
  return out;
}

bool parse_number(std::string_view t, double& v) {
  if (!t.empty() && t[0] == '+') t.remove_prefix(1);
  const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
  return !t.empty() && r.ec == std::errc() && r.ptr == t.data() + t.size() && std::isfinite(v);
}

bool six_numbers(std::string_view text, double v[6]) {
  const std::vector<std::string_view> t = tokens_of(text);
  if (t.size() < 6) return false;
  for (int i = 0; i < 6; ++i)
    if (!parse_number(t[i], v[i])) return false;
  return true;
}

// The text between the first two double quotes, and what follows the last one.
wxString first_quoted(std::string_view c, std::string_view& after_last) {
  const size_t a = c.find('"');
  const size_t b = a == std::string_view::npos ? a : c.find('"', a + 1);
  const size_t last = c.rfind('"');
  after_last = last == std::string_view::npos ? c : c.substr(last + 1);
  if (b == std::string_view::npos) return wxString();
  const std::string_view inner = c.substr(a + 1, b - a - 1);
  wxString w = wxString::FromUTF8(inner.data(), inner.size());
  if (w.empty() && !inner.empty()) w = wxString(inner.data(), wxConvISO8859_1, inner.size());
  return w;
}

struct substructure_comments {
  std::vector<substructure_curve_t> curves;
  std::vector<substructure_landmark_t> landmarks;
  std::string node_flags;
  bool has_node_flags = false;
};

void read_comments(const std::vector<std::string>& comments, substructure_comments& out) {
  bool in_curve = false;
  long announced = 0;
  substructure_curve_t curve;
  for (const std::string& comment : comments) {
    const std::string_view c = comment;
    std::string_view rest;
    if (c.find("SEMILANDMARK") != std::string_view::npos) continue;
    if (c.find("_LANDCURVE") != std::string_view::npos) {
      curve = substructure_curve_t();
      curve.name = first_quoted(c, rest);
      curve.closed = c.find("CLOSED") != std::string_view::npos ? 1 : 0;
      const std::vector<std::string_view> t = tokens_of(rest);
      long n = 0;
      const bool read = !t.empty() && std::from_chars(t[0].data(), t[0].data() + t[0].size(), n).ptr ==
                                          t[0].data() + t[0].size();
      in_curve = read && n >= 2;
      announced = n;
    } else if (c.find("RBF_NODES") != std::string_view::npos) {
      const size_t a = c.find('"');
      const size_t b = a == std::string_view::npos ? a : c.find('"', a + 1);
      if (b != std::string_view::npos) {
        out.node_flags = std::string(c.substr(a + 1, b - a - 1));
        out.has_node_flags = true;
      }
    } else if (c.find("LANDMARK") != std::string_view::npos) {
      substructure_landmark_t lm;
      lm.name = first_quoted(c, rest);
      double v[6];
      if (!six_numbers(rest, v)) continue;
      lm.point = {v[0] / 10.0, v[1] / 10.0, v[2] / 10.0};
      lm.normal = {v[3], v[4], v[5]};
      out.landmarks.push_back(lm);
    } else if (in_curve) {
      const size_t hash = c.rfind('#');
      double v[6];
      if (!six_numbers(hash == std::string_view::npos ? c : c.substr(hash + 1), v)) continue;
      curve.points.push_back({v[0] / 10.0, v[1] / 10.0, v[2] / 10.0});
      curve.normals.push_back({v[3], v[4], v[5]});
      if (static_cast<long>(curve.points.size()) == announced) {
        out.curves.push_back(curve);
        in_curve = false;
      }
    }
  }
}

}  // namespace

int fit_model::parse_substructure_file(substructure_t& sub) {
  sub.points.clear();
  sub.rbf_nodes.clear();
  sub.triangles.clear();
  sub.curves.clear();
  sub.landmarks.clear();
  bool opens = false;
  {
    wxLogNull quiet;
    opens = wxFFile(sub.file_path, "rb").IsOpened();
  }
  if (!opens) {
    wxLogWarning("Could not open ply file");
    return -1;
  }
  ply_reader reader;
  if (!reader.open_file(sub.file_path)) {
    wxLogWarning("Could not parse ply header");
    return -1;
  }
  substructure_comments comments;
  read_comments(reader.comments(), comments);
  wrl_object mesh;
  if (!mesh.register_mesh_callbacks(reader, "vertex_indices") || !reader.read() || !mesh.mesh_complete()) {
    wxLogWarning("Could not parse body of ply file");
    return -1;
  }
  if (mesh.points.size() < 3 || mesh.triangles.empty()) {
    wxLogWarning("Insufficient points or triangles in ply file");
    return -1;
  }
  sub.points.reserve(mesh.points.size());
  for (const vec3_t& p : mesh.points) sub.points.push_back(vec3_scalar_mul(0.1, p));
  sub.rbf_nodes.assign(mesh.points.size(), true);
  if (comments.has_node_flags && comments.node_flags.size() == mesh.points.size())
    for (size_t i = 0; i < mesh.points.size(); ++i) sub.rbf_nodes[i] = comments.node_flags[i] != '0';
  sub.triangles = std::move(mesh.triangles);
  sub.curves = std::move(comments.curves);
  sub.landmarks = std::move(comments.landmarks);
  return 0;
}

void empty_model_object(resource_table_t& t, int object) {
  std::vector<curve_t>& curves = t.RES_CURVE->read()->curves;
  for (size_t i = curves.size(); i-- > 0;)
    if (curves[i].object == object) curves.erase(curves.begin() + static_cast<std::ptrdiff_t>(i));
  std::vector<landmark_t>& marks = t.RES_LANDMARKS->read()->items;
  for (size_t i = marks.size(); i-- > 0;)
    if (marks[i].kind == LM_SURFACE && marks[i].object == object)
      marks.erase(marks.begin() + static_cast<std::ptrdiff_t>(i));
  t.RES_OBJECT->read()[object].reset();
}

void add_sections_within_image(const surface_interp& s, contour_object& target) {
  const resource_table_t& t = *resource_table;
  const int frames = static_cast<int>(t.RES_BUF_FRAMES->read());
  const double w = t.RES_BUF_WIDTH->read(), h = t.RES_BUF_HEIGHT->read();
  for (int k = 0; k < frames; ++k) {
    std::unique_ptr<frame_contours_t> section = plane_cross_section(s, k, 1, 0.1);
    if (!section) continue;
    for (const contour_t& c : section->contours) {
      if (c.vertices.size() < 2) continue;
      bool inside = true;
      for (const vec2_t& p : c.vertices)
        inside = inside && p.x >= -w && p.x <= 2 * w && p.y >= -h && p.y <= 2 * h;
      if (inside) target.add_contour(k, c);
    }
  }
}

bool fit_model::interpolate_substructure(int first_object, interp_progress* progress) {
  resource_table_t& t = *resource_table;
  if (!t.RES_SURFACE[200]->read()) {
    wxLogWarning("First load a shape model\n");
    return false;
  }
  if (t.RES_BUF_FRAMES->read() == 0) {
    wxLogWarning("First load a data set\n");
    return false;
  }
  const substructure_t* source = nullptr;
  for (const substructure_t& s : substructures)
    if (static_cast<int64_t>(s.points.size()) == model.point_count &&
        static_cast<int64_t>(s.triangles.size()) == model.triangle_count)
      source = &s;
  if (!source) {
    wxLogWarning("No matching sub-structure surface found\n");
    return false;
  }
  std::vector<vec3_t> centres, targets;
  for (int32_t v = 0; v < model.point_count; ++v) {
    if (!source->rbf_nodes[size_t(v)]) continue;
    centres.push_back(source->points[size_t(v)]);
    vec3_t q;
    matrix4_transform_point(q, registration, model.points[size_t(v)]);
    targets.push_back(vec3_scalar_mul(0.1, q));
  }
  if (centres.size() <= 2) {
    wxLogWarning("Insufficient RBF nodes\n");
    return false;
  }
  if (progress) progress->update(0, "Calculating RBF weights");
  rbf_interpolant f;
  wxString why;
  if (!f.fit(centres, targets, why)) {
    wxLogWarning("%s", why);
    return false;
  }

  const int count = static_cast<int>(substructures.size());
  for (int q = 0; q < count; ++q) {
    const substructure_t& sub = substructures[size_t(q)];
    const int object = first_object + q;
    if (progress) progress->update(q + 1, wxString::Format("Applying RBF to surface %i of %i", q + 1, count));
    try {
      substructure_points.resize(sub.points.size());
    } catch (const std::bad_alloc&) {
      wxLogWarning("Not enough memory for the interpolated points of \"%s\"\n", sub.name);
      substructure_points.clear();
      return false;
    }
    for (size_t i = 0; i < sub.points.size(); ++i) substructure_points[i] = f(sub.points[i]);
    current_substructure = &sub;
    // The step along which normals are carried: one edge of the first triangle.
    const std::array<int32_t, 3>& first = sub.triangles.front();
    const double step = vec3_length(sub.points[size_t(first[1])] - sub.points[size_t(first[0])]);
    auto carried_normal = [&](const vec3_t& p, const vec3_t& n, const vec3_t& fp) {
      return vec3_normalise(f(p + vec3_scalar_mul(step, n)) - fp);
    };

    empty_model_object(t, object);
    curve_set& curves = *t.RES_CURVE->read();
    for (const substructure_curve_t& c : sub.curves) {
      curve_t rec;
      rec.closed = c.closed == 1;
      rec.name = c.name;
      rec.object = object;
      for (size_t i = 0; i < c.points.size(); ++i) {
        const vec3_t fp = f(c.points[i]);
        const vec3_t n = carried_normal(c.points[i], i < c.normals.size() ? c.normals[i] : vec3_t{}, fp);
        rec.points.push_back({fp.x, fp.y, fp.z, n.x, n.y, n.z, 0});
      }
      curves.curves.push_back(std::move(rec));
    }

    auto* res = t.RES_SURFACE[object];
    if (surface_interp* old = res->pending()) {
      res->write_no_changeprocs(nullptr);
      delete old;
    }
    auto s = std::make_unique<surface_interp>(object);
    surface_from_substructure(*s, substructure_points, sub.triangles, registration, mirrored);

    contour_object& target = t.RES_OBJECT->read()[object];
    add_sections_within_image(*s, target);
    landmarks& marks = *t.RES_LANDMARKS->read();
    for (const substructure_landmark_t& lm : sub.landmarks) {
      const vec3_t fp = f(lm.point);
      marks.add_surface_landmark(fp, carried_normal(lm.point, lm.normal, fp), object, lm.name);
    }

    s->map_curves_to_surface(false);
    res->write(s.release());
    t.LANDMARK->write();
    t.CONT->write();
    target.name = "interpolated " + sub.name;
    target.opacity = 0.5;
    t.OBJECT->write();
    t.CURVE->write();
    base_res_t::make_pending_writes_happen();
    substructure_points.clear();
    current_substructure = nullptr;
  }
  return true;
}
