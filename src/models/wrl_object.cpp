#include "models/wrl_object.h"

#include <charconv>
#include <cstring>
#include <climits>
#include <cmath>
#include <map>
#include <string>
#include <string_view>

#include <wx/ffile.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/textfile.h>

#include "data/ply_file.h"
#include "surfaces/surface_from_model.h"
#include "surfaces/surface_interp.h"

namespace {

// A whole token as a number: no sign-less garbage, no trailing characters.
bool parse_double(std::string_view t, double& v) {
  if (!t.empty() && t[0] == '+') t.remove_prefix(1);
  if (t.empty()) return false;
  const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
  return r.ec == std::errc() && r.ptr == t.data() + t.size() && std::isfinite(v);
}

bool parse_long(std::string_view t, long& v) {
  if (!t.empty() && t[0] == '+') t.remove_prefix(1);
  if (t.empty()) return false;
  const auto r = std::from_chars(t.data(), t.data() + t.size(), v, 10);
  return r.ec == std::errc() && r.ptr == t.data() + t.size();
}

// The space-separated tokens of text, leading white space skipped before each.
std::vector<std::string_view> tokens_of(std::string_view text, std::string_view separators = " \t\r\n") {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < text.size()) {
    i = text.find_first_not_of(separators, i);
    if (i == std::string_view::npos) break;
    size_t j = text.find_first_of(separators, i);
    if (j == std::string_view::npos) j = text.size();
    out.push_back(text.substr(i, j - i));
    i = j;
  }
  return out;
}

// Six numbers x y z nx ny nz at the start of text; extra tokens are ignored.
bool six_numbers(std::string_view text, double v[6]) {
  const std::vector<std::string_view> t = tokens_of(text, " \t\r\n");
  if (t.size() < 6) return false;
  for (int i = 0; i < 6; ++i)
    if (!parse_double(t[i], v[i])) return false;
  return true;
}

wxString text_of(std::string_view s) {
  wxString w = wxString::FromUTF8(s.data(), s.size());
  if (w.empty() && !s.empty()) w = wxString(s.data(), wxConvISO8859_1, s.size());
  return w;
}

// The name between the first and the last double quote, and the text after
// the last one (the whole comment when it has no quote).
void quoted_name(std::string_view c, wxString& name, std::string_view& rest) {
  const size_t first = c.find('"'), last = c.rfind('"');
  if (first == std::string_view::npos) {
    name.clear();
    rest = c;
    return;
  }
  name = text_of(c.substr(first + 1, last > first ? last - first - 1 : 0));
  rest = c.substr(last + 1);
}

wxString transform_file(const wxString& surface, const char* ext) {
  wxFileName f(surface);
  f.SetExt(ext);
  return f.GetFullPath();
}

// The file's lines when it exists and opens as text (encoding detected).
bool read_lines(const wxString& path, std::vector<std::string>& lines) {
  if (!wxFileName::FileExists(path)) return false;
  wxLogNull quiet;
  wxTextFile file;
  if (!file.Open(path)) return false;
  lines.clear();
  lines.reserve(file.GetLineCount());
  for (size_t i = 0; i < file.GetLineCount(); ++i) lines.push_back(file[i].utf8_string());
  return true;
}

vec3_t apply(const double m[3][4], const vec3_t& p, bool translate) {
  const double t = translate ? 1.0 : 0.0;
  return {m[0][0] * p.x + m[0][1] * p.y + m[0][2] * p.z + t * m[0][3],
          m[1][0] * p.x + m[1][1] * p.y + m[1][2] * p.z + t * m[1][3],
          m[2][0] * p.x + m[2][1] * p.y + m[2][2] * p.z + t * m[2][3]};
}

vec3_t unit_or_zero(const vec3_t& n) {
  const double len = vec3_length(n);
  return len != 0.0 ? vec3_scalar_mul(1.0 / len, n) : n;
}

}  // namespace

void wrl_object::clear() {
  for (wrl_curve_t& c : curves) {
    c.points.clear();
    c.normals.clear();
  }
  curves.clear();
  landmarks.clear();
  points.clear();
  normals.clear();
  triangles.clear();
  point_count = normal_count = triangle_count = 0;
}

// ---- PLY ------------------------------------------------------------------

bool wrl_object::on_vertex(const ply_value& v, int coordinate) {
  vertex_.v[coordinate] = v.value;
  vertex_.received[coordinate] = true;
  if (vertex_.received[0] && vertex_.received[1] && vertex_.received[2]) {
    points.push_back({vertex_.v[0], vertex_.v[1], vertex_.v[2]});
    vertex_ = pending_triple();
  }
  return true;
}

bool wrl_object::on_normal(const ply_value& v, int coordinate) {
  normal_.v[coordinate] = v.value;
  normal_.received[coordinate] = true;
  if (normal_.received[0] && normal_.received[1] && normal_.received[2]) {
    normals.push_back({normal_.v[0], normal_.v[1], normal_.v[2]});
    normal_ = pending_triple();
  }
  return true;
}

bool wrl_object::on_face(const ply_value& v) {
  if (v.list_length != 3) return false;
  if (v.value_index < 0) return true;  // the length itself stores nothing
  if (!(v.value >= 0.0 && v.value < point_count)) return false;
  face_[v.value_index] = static_cast<int32_t>(v.value);
  if (v.value_index == 2) triangles.push_back(face_);
  return true;
}

bool wrl_object::register_mesh_callbacks(ply_reader& reader, const char* face_list) {
  vertex_ = pending_triple();
  normal_ = pending_triple();
  face_ = {};
  int64_t n_points = -1, n_normals = -1;
  const char* xyz[3] = {"x", "y", "z"};
  const char* nxyz[3] = {"nx", "ny", "nz"};
  for (int c = 0; c < 3; ++c) {
    const int64_t n = reader.set_callback("vertex", xyz[c], [this, c](const ply_value& v) { return on_vertex(v, c); });
    if (c == 0) n_points = n;
    const int64_t m = reader.set_callback("vertex", nxyz[c], [this, c](const ply_value& v) { return on_normal(v, c); });
    if (c == 0) n_normals = m;
  }
  const int64_t n_faces = reader.set_callback("face", face_list, [this](const ply_value& v) { return on_face(v); });
  if (n_points > INT32_MAX || n_faces > INT32_MAX) return false;
  point_count = static_cast<int32_t>(std::max<int64_t>(0, n_points));
  normal_count = n_normals > 0 ? point_count : 0;
  triangle_count = static_cast<int32_t>(std::max<int64_t>(0, n_faces));
  return true;
}

bool wrl_object::mesh_complete() const {
  return points.size() == static_cast<size_t>(point_count) &&
         normals.size() == static_cast<size_t>(normal_count) &&
         triangles.size() == static_cast<size_t>(triangle_count);
}

void wrl_object::read_ply_comments(const std::vector<std::string>& comments) {
  bool in_curve = false;
  long announced = 0, read = 0;
  wrl_curve_t curve;
  for (const std::string& comment : comments) {
    const std::string_view c = comment;
    if (c.find("_LANDCURVE") != std::string_view::npos) {
      curve.closed = c.find("CLOSED") != std::string_view::npos;
      std::string_view rest;
      quoted_name(c, curve.name, rest);
      const std::vector<std::string_view> t = tokens_of(rest);
      long n = 0;
      if (!t.empty() && parse_long(t[0], n) && n > 1) {
        in_curve = true;
        announced = n;
      }
      read = 0;
      curve.points.clear();
      curve.normals.clear();
    } else if (c.find("LANDMARK") != std::string_view::npos) {
      if (c.find("SEMILANDMARK") != std::string_view::npos) continue;
      wrl_landmark_t lm;
      std::string_view rest;
      quoted_name(c, lm.name, rest);
      double v[6];
      if (!six_numbers(rest, v)) continue;
      lm.position = {v[0] / 10.0, v[1] / 10.0, v[2] / 10.0};
      lm.normal = {v[3], v[4], v[5]};
      landmarks.push_back(lm);
    } else if (in_curve) {
      const size_t hash = c.rfind('#');
      double v[6];
      if (!six_numbers(hash == std::string_view::npos ? c : c.substr(hash + 1), v)) continue;
      curve.points.push_back({v[0] / 10.0, v[1] / 10.0, v[2] / 10.0});
      curve.normals.push_back({v[3], v[4], v[5]});
      if (++read == announced) {
        curves.push_back(curve);
        in_curve = false;
      }
    }
  }
}

int wrl_object::parse_ply_file(const wxString& path) {
  clear();
  bool opens = false;
  {
    wxLogNull quiet;
    opens = wxFFile(path, "rb").IsOpened();
  }
  if (!opens) {
    wxLogWarning("Could not open ply file");
    return 0;
  }
  ply_reader reader;
  if (!reader.open_file(path)) {
    wxLogWarning("Could not parse ply header");
    return 0;
  }
  read_ply_comments(reader.comments());
  // The face list is "vertex_index", or "vertex_indices" when that is absent.
  const ply_element* face = reader.find_element("face");
  const char* list = face && face->find_property("vertex_index") < 0 ? "vertex_indices" : "vertex_index";
  if (!register_mesh_callbacks(reader, list) || !reader.read() || !mesh_complete()) {
    wxLogWarning("Could not parse ply file");
    clear();
    return 0;
  }
  return check_file_and_mtx(path);
}

// ---- VRML -----------------------------------------------------------------

namespace {

struct vrml_token {
  std::string_view text;
  size_t line;  // 1-based
};

// Splits the text into tokens: brackets and braces alone, quoted strings
// whole, commas and white space as separators, "#" to the end of the line a
// comment.
std::vector<vrml_token> vrml_tokens(const std::string& text) {
  std::vector<vrml_token> out;
  size_t line = 1, i = 0;
  const size_t n = text.size();
  while (i < n) {
    const char ch = text[i];
    if (ch == '\n') {
      ++line;
      ++i;
    } else if (ch == ' ' || ch == '\t' || ch == '\r' || ch == ',') {
      ++i;
    } else if (ch == '#') {
      while (i < n && text[i] != '\n') ++i;
    } else if (ch == '[' || ch == ']' || ch == '{' || ch == '}') {
      out.push_back({std::string_view(text).substr(i, 1), line});
      ++i;
    } else if (ch == '"') {
      size_t j = i + 1;
      while (j < n && text[j] != '"') {
        if (text[j] == '\\' && j + 1 < n) ++j;
        if (text[j] == '\n') ++line;
        ++j;
      }
      out.push_back({std::string_view(text).substr(i, std::min(n, j + 1) - i), line});
      i = j + 1;
    } else {
      size_t j = i;
      while (j < n && !std::strchr(" \t\r\n,[]{}#\"", text[j])) ++j;
      out.push_back({std::string_view(text).substr(i, j - i), line});
      i = j;
    }
  }
  return out;
}

}  // namespace

int wrl_object::parse_wrl_file(const wxString& path) {
  std::vector<std::string> lines;
  if (!read_lines(transform_file(path, "wrl"), lines)) return 0;
  clear();
  std::string text;
  for (const std::string& l : lines) (text += l) += '\n';
  const std::vector<vrml_token> tokens = vrml_tokens(text);

  auto refuse = [&](size_t line, const wxString& why) {
    wxLogWarning("Could not parse wrl file: %s (line %zu)", why, line);
    clear();
    return 0;
  };
  struct coords {
    size_t start = 0, count = 0;
  };
  coords current;                      // the point list faces refer to
  std::map<std::string_view, coords> defined;  // DEF names of Coordinate nodes
  std::vector<std::string_view> nodes;  // types of the open nodes
  std::vector<std::string_view> node_defs;
  std::vector<std::vector<int32_t>> faces;  // of the IndexedFaceSet being read
  size_t k = 0;

  // The values of a field: a bracketed list, or a single value of `group` tokens.
  auto field_values = [&](size_t group, std::vector<std::string_view>& values, size_t& line) {
    values.clear();
    line = k < tokens.size() ? tokens[k].line : tokens.back().line;
    if (k < tokens.size() && tokens[k].text == "[") {
      for (++k; k < tokens.size() && tokens[k].text != "]"; ++k) values.push_back(tokens[k].text);
      if (k == tokens.size()) return false;
      ++k;
      return true;
    }
    for (size_t g = 0; g < group && k < tokens.size(); ++g, ++k) values.push_back(tokens[k].text);
    return values.size() == group;
  };

  std::vector<std::string_view> values;
  size_t line = 0;
  while (k < tokens.size()) {
    const vrml_token& t = tokens[k++];
    const std::string_view top = nodes.empty() ? std::string_view() : nodes.back();
    if (t.text == "{") {
      const bool has_type = k >= 2 && tokens[k - 2].text != "]" && tokens[k - 2].text != "}";
      nodes.push_back(has_type ? tokens[k - 2].text : std::string_view());
      node_defs.push_back(k >= 4 && tokens[k - 4].text == "DEF" ? tokens[k - 3].text : std::string_view());
      if (nodes.back() == "IndexedFaceSet") faces.clear();
    } else if (t.text == "}") {
      if (nodes.empty()) return refuse(t.line, "a \"}\" closes no node");
      if (nodes.back() == "IndexedFaceSet") {
        for (const std::vector<int32_t>& f : faces) {
          for (int32_t i : f)
            if (i < 0 || static_cast<size_t>(i) >= current.count)
              return refuse(t.line, wxString::Format("the face index %d lies outside the %zu points", i, current.count));
          // A polygon becomes the fan of triangles round its first corner.
          for (size_t c = 1; c + 1 < f.size(); ++c)
            triangles.push_back({static_cast<int32_t>(f[0] + current.start),
                                 static_cast<int32_t>(f[c] + current.start),
                                 static_cast<int32_t>(f[c + 1] + current.start)});
        }
        faces.clear();
      }
      nodes.pop_back();
      node_defs.pop_back();
    } else if (t.text == "USE" && k < tokens.size()) {
      const auto it = defined.find(tokens[k].text);
      if (it != defined.end()) current = it->second;
      ++k;
    } else if ((t.text == "point" && (top == "Coordinate" || top == "Coordinate3")) ||
               (t.text == "vector" && top == "Normal")) {
      if (!field_values(3, values, line)) return refuse(line, wxString::Format("the list of \"%s\" does not end", wxString::FromUTF8(t.text.data(), t.text.size())));
      if (values.size() % 3 != 0)
        return refuse(line, wxString::Format("the list of \"%s\" does not hold whole triples", wxString::FromUTF8(t.text.data(), t.text.size())));
      std::vector<vec3_t>& list = t.text == "point" ? points : normals;
      const size_t start = list.size();
      for (size_t i = 0; i < values.size(); i += 3) {
        double v[3];
        for (size_t j = 0; j < 3; ++j)
          if (!parse_double(values[i + j], v[j]))
            return refuse(line, wxString::Format("\"%s\" is not a number",
                                                 wxString::FromUTF8(values[i + j].data(), values[i + j].size())));
        list.push_back({v[0], v[1], v[2]});
      }
      if (t.text == "point") {
        current = {start, points.size() - start};
        if (!node_defs.back().empty()) defined[node_defs.back()] = current;
      }
    } else if (t.text == "coordIndex" && top == "IndexedFaceSet") {
      if (!field_values(1, values, line)) return refuse(line, "the list of \"coordIndex\" does not end");
      std::vector<int32_t> face;
      auto end_face = [&]() {
        if (face.empty()) return true;
        if (face.size() < 3) return false;
        faces.push_back(face);
        face.clear();
        return true;
      };
      for (std::string_view v : values) {
        long index = 0;
        if (!parse_long(v, index) || index < -1 || index > INT32_MAX)
          return refuse(line, wxString::Format("\"%s\" is not a face index", wxString::FromUTF8(v.data(), v.size())));
        if (index == -1) {
          if (!end_face()) return refuse(line, "a face has fewer than three corners");
        } else {
          face.push_back(static_cast<int32_t>(index));
        }
      }
      if (!end_face()) return refuse(line, "a face has fewer than three corners");
    }
  }
  if (!nodes.empty()) return refuse(tokens.back().line, "the file ends inside a node");
  point_count = static_cast<int32_t>(std::min<size_t>(points.size(), INT32_MAX));
  normal_count = static_cast<int32_t>(std::min<size_t>(normals.size(), INT32_MAX));
  triangle_count = static_cast<int32_t>(std::min<size_t>(triangles.size(), INT32_MAX));
  return check_file_and_mtx(path);
}

// ---- transform files --------------------------------------------------------

bool wrl_object::apply_matrix_file(const wxString& path) {
  std::vector<std::string> lines;
  if (!read_lines(transform_file(path, "mtx"), lines)) return true;
  double m[4][4];
  int rows = 0;
  for (const std::string& l : lines) {
    if (rows == 4) break;
    const std::vector<std::string_view> t = tokens_of(l);
    if (t.empty() || t[0][0] == '#' || t.size() != 4) continue;
    double row[4];
    bool ok = true;
    for (int i = 0; i < 4 && ok; ++i) ok = parse_double(t[i], row[i]);
    if (!ok) continue;
    for (int i = 0; i < 4; ++i) m[rows][i] = row[i];
    ++rows;
  }
  if (rows < 4) return true;

  // Straighten the axes (Gram-Schmidt from the first column on) and keep the
  // columns' lengths and the translation.
  vec3_t c[3], u[3];
  double len[3];
  for (int j = 0; j < 3; ++j) {
    c[j] = {m[0][j], m[1][j], m[2][j]};
    len[j] = vec3_length(c[j]);
  }
  if (len[0] == 0.0) {
    wxLogWarning("The matrix file \"%s\" cannot be used: its first column has length 0",
                 transform_file(path, "mtx"));
    return false;
  }
  u[0] = vec3_scalar_mul(1.0 / len[0], c[0]);
  for (int j = 1; j < 3; ++j) {
    vec3_t r = c[j];
    for (int i = 0; i < j; ++i) r = r - vec3_scalar_mul(vec3_dot(c[j], u[i]), u[i]);
    u[j] = unit_or_zero(r);
  }
  double point_matrix[3][4], normal_matrix[3][4];
  for (int row = 0; row < 3; ++row) {
    const double* ur[3] = {&u[0].x, &u[1].x, &u[2].x};
    for (int j = 0; j < 3; ++j) {
      point_matrix[row][j] = ur[j][row] * len[j];
      normal_matrix[row][j] = len[j] != 0.0 ? ur[j][row] / len[j] : 0.0;
    }
    point_matrix[row][3] = m[row][3];
    normal_matrix[row][3] = 0.0;
  }
  for (vec3_t& p : points) p = apply(point_matrix, p, true);
  if (normals.size() == points.size())
    for (vec3_t& n : normals) n = unit_or_zero(apply(normal_matrix, n, false));
  return true;
}

void wrl_object::apply_euler_file(const wxString& path) {
  std::vector<std::string> lines;
  if (!read_lines(transform_file(path, "euler"), lines)) return;
  std::vector<double> parameters, centre;
  for (const std::string& l : lines) {
    const std::vector<std::string_view> t = tokens_of(l, " \t\r\n()");
    if (t.empty()) continue;
    std::vector<double>* target = t[0] == "TransformParameters"     ? &parameters
                                  : t[0] == "CenterOfRotationPoint" ? &centre
                                                                    : nullptr;
    if (!target) continue;
    const size_t limit = target == &parameters ? 6 : 3;
    target->clear();
    double v;
    for (size_t i = 1; i < t.size() && target->size() < limit && parse_double(t[i], v); ++i) target->push_back(v);
  }
  if (parameters.size() != 6 || centre.size() != 3) return;
  const double a = parameters[0], b = parameters[1], g = parameters[2];
  const vec3_t t{parameters[3], parameters[4], parameters[5]}, c{centre[0], centre[1], centre[2]};
  // R = Rz(g) Rx(a) Ry(b): a point turns about y first, then x, then z.
  const double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
  const double cg = std::cos(g), sg = std::sin(g);
  const double rz[3][3] = {{cg, -sg, 0}, {sg, cg, 0}, {0, 0, 1}};
  const double rx[3][3] = {{1, 0, 0}, {0, ca, -sa}, {0, sa, ca}};
  const double ry[3][3] = {{cb, 0, sb}, {0, 1, 0}, {-sb, 0, cb}};
  double zx[3][3], r[3][4] = {};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      zx[i][j] = 0.0;
      for (int k = 0; k < 3; ++k) zx[i][j] += rz[i][k] * rx[k][j];
    }
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) r[i][j] += zx[i][k] * ry[k][j];
  for (vec3_t& p : points) p = apply(r, p - c, false) + c + t;
  if (normals.size() == points.size())
    for (vec3_t& n : normals) n = unit_or_zero(apply(r, n, false));
}

int wrl_object::check_file_and_mtx(const wxString& path) {
  if (triangles.empty()) {
    wxLogWarning("No triangles found in file");
    return 0;
  }
  if (points.empty()) {
    wxLogWarning("Triangles but no points found in file");
    return 0;
  }
  if (!apply_matrix_file(path)) return 0;
  apply_euler_file(path);
  return 1;
}

// ---- surfaces ------------------------------------------------------------------

bool wrl_object::make_surface(surface_interp& s) {
  if (!surface_from_reference(s, points, normals, triangles)) return false;
  clear();
  return true;
}

bool wrl_object::take_region(surface_interp& s, const curve_point& hit) {
  std::vector<vec3_t> p, n;
  std::vector<std::array<int32_t, 3>> t;
  if (!s.detach_region(hit, p, n, t)) return false;
  clear();
  points.swap(p);
  normals.swap(n);
  triangles.swap(t);
  point_count = static_cast<int32_t>(points.size());
  normal_count = static_cast<int32_t>(normals.size());
  triangle_count = static_cast<int32_t>(triangles.size());
  return true;
}
