// Loading a shape model: the PLY file with its keyword comments, and the
// ".ssm" file beside it with the mean shape and the modes of variation.
#include <wx/ffile.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/log.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "data/ply_file.h"
#include "models/fit_model.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "surfaces/surface_interp.h"

namespace {

// The keywords of the model's comments, in the order they are tested.
constexpr const char* kLadRadiusHint = "LAD sphere radius hint";
constexpr const char* kCochlearImplant = "cochlear implant";
constexpr const char* kElectrodeLengths = "implant electrode lengths separations";
constexpr const char* kElectrodeRadius = "implant electrode radius";
constexpr const char* kLeadRadius = "implant lead radius";
constexpr const char* kFirstInsertion = "implant first electrode insertion length";
constexpr const char* kLandmark = "FIT_MODEL_LM";
constexpr const char* kSubstructure = "FIT_MODEL_MS";
constexpr const char* kReflected = "MS_REFLECTED";

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string drop_leading_blanks(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && is_blank(s[i])) ++i;
  return s.substr(i);
}

// A decimal number with nothing after it (trailing blanks aside), in the C
// locale whatever the program's locale.
bool parse_double(const std::string& text, double& v) {
  std::string t = drop_leading_blanks(text);
  while (!t.empty() && is_blank(t.back())) t.pop_back();
  if (t.empty()) return false;
  double parsed;
  if (!wxString(t).ToCDouble(&parsed) || !std::isfinite(parsed)) return false;
  v = parsed;
  return true;
}

bool parse_int32(const std::string& t, int32_t& v) {
  if (t.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long parsed = std::strtoll(t.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < std::numeric_limits<int32_t>::min() ||
      parsed > std::numeric_limits<int32_t>::max())
    return false;
  v = static_cast<int32_t>(parsed);
  return true;
}

// Every occurrence of the keyword replaced by "#", and the text after the
// last "#".
std::string text_after_keyword(const std::string& t, const char* keyword) {
  std::string s = t;
  const std::string k = keyword;
  for (size_t at = s.find(k); at != std::string::npos; at = s.find(k, at + 1)) s.replace(at, k.size(), "#");
  const size_t hash = s.rfind('#');
  return hash == std::string::npos ? s : s.substr(hash + 1);
}

void number_after_keyword(const std::string& t, const char* keyword, double& field) {
  double v;
  if (parse_double(text_after_keyword(t, keyword), v)) field = v;
}

// The text before the first space of r (all of r without one); r becomes the
// text after that space.
std::string next_token(std::string& r) {
  r = drop_leading_blanks(r);
  const size_t space = r.find(' ');
  std::string token = r.substr(0, space);
  r = space == std::string::npos ? std::string() : r.substr(space + 1);
  return token;
}

// The name between the first and last double quote, and the text after the
// last one; false without two double quotes.
bool quoted_name(const std::string& t, wxString& name, std::string& rest) {
  const size_t first = t.find('"'), last = t.rfind('"');
  if (first == std::string::npos || first == last) return false;
  name = wxString::FromUTF8(t.substr(first + 1, last - first - 1));
  rest = t.substr(last + 1);
  return true;
}

}  // namespace

void fit_model::parse_comment(const std::string& t, const wxString& model_path) {
  if (t.find(kLadRadiusHint) != std::string::npos) {
    number_after_keyword(t, kLadRadiusHint, lad_radius_hint);
  } else if (t.find(kCochlearImplant) != std::string::npos) {
    implant = true;
    electrode_count = 0;
    electrode_lengths.clear();
    electrode_separations.clear();
    electrode_radius = lead_radius = first_electrode_insertion = 0.0;
  } else if (t.find(kElectrodeLengths) != std::string::npos) {
    std::string r = text_after_keyword(t, kElectrodeLengths);
    for (;;) {
      double length, separation;
      if (!parse_double(next_token(r), length)) break;
      if (!parse_double(next_token(r), separation)) break;
      if (length > 0 && separation > 0) {
        electrode_lengths.push_back(length);
        electrode_separations.push_back(separation);
        ++electrode_count;
      }
    }
  } else if (t.find(kElectrodeRadius) != std::string::npos) {
    number_after_keyword(t, kElectrodeRadius, electrode_radius);
  } else if (t.find(kLeadRadius) != std::string::npos) {
    number_after_keyword(t, kLeadRadius, lead_radius);
  } else if (t.find(kFirstInsertion) != std::string::npos) {
    number_after_keyword(t, kFirstInsertion, first_electrode_insertion);
  } else if (t.find(kLandmark) != std::string::npos) {
    fit_landmark_t f;
    std::string rest;
    if (!quoted_name(t, f.name, rest)) return;
    if (!parse_int32(next_token(rest), f.vertex)) return;
    fitting_landmarks.push_back(f);
  } else if (t.find(kSubstructure) != std::string::npos) {
    substructure_t s;
    std::string rest;
    if (!quoted_name(t, s.name, rest)) return;
    // Only the file name counts: the file lies in the model's folder.
    const wxFileName file(wxString::FromUTF8(next_token(rest)));
    wxFileName path(model_path);
    path.SetFullName(file.GetFullName());
    s.file_path = path.GetFullPath();
    substructures.push_back(s);
  } else if (t.find(kReflected) != std::string::npos) {
    substructures_reflected = true;
  }
}

int fit_model::parse_ply_and_ssm_files(wxString path) {
  clear();
  // The shape model file is the model's path with its final ".ply", in any
  // case, as ".ssm"; checked before anything loads.
  if (path.length() < 4 || path.Right(4).Lower() != ".ply" || wxFileName(path).GetName().empty()) {
    wxLogWarning("Surface file suffix is not .ply");
    return 1;
  }
  const wxString ssm_path = path.Left(path.length() - 4) + ".ssm";

  // A file that cannot be opened, or does not start as a PLY file, cannot
  // be opened as one; a PLY file whose header is unreadable is a header
  // failure.
  bool opens = false;
  {
    wxLogNull quiet;
    wxFFile probe;
    char magic[4] = {};
    opens = wxFileName::FileExists(path) && probe.Open(path, "rb") && probe.Read(magic, 4) == 4 &&
            std::memcmp(magic, "ply", 3) == 0 && (magic[3] == '\n' || magic[3] == '\r');
  }
  if (!opens) {
    wxLogWarning("Could not open ply file");
    return 1;
  }
  ply_reader ply;
  if (!ply.open_file(path)) {
    wxLogWarning("Could not parse ply header");
    return 1;
  }
  for (const std::string& c : ply.comments()) parse_comment(c, path);

  auto fail = [&](const wxString& message) {
    fitting_landmarks.clear();
    wxLogWarning("%s", message);
    clear();
    return 1;
  };
  if (!implant && fitting_landmarks.size() < 2) return fail("Insufficient model fitting landmarks\n");
  // An insertion length of 0 would stack the lead rings on the round window.
  if (implant && (electrode_count == 0 || lead_radius <= 0 || first_electrode_insertion <= 0 ||
                  electrode_radius <= 0))
    return fail("Insufficient electrode parameters\n");

  const ply_element* vertex_element = ply.find_element("vertex");
  const ply_element* face_element = ply.find_element("face");
  const int64_t vertex_count = vertex_element ? vertex_element->count : 0;
  const int64_t face_count = face_element ? face_element->count : 0;
  if (vertex_count > std::numeric_limits<int32_t>::max() / 3 ||
      face_count > std::numeric_limits<int32_t>::max())
    return fail("Could not parse body of ply file");
  std::vector<vec3_t> vertices(implant ? 0 : static_cast<size_t>(vertex_count));
  std::vector<std::array<int32_t, 3>> faces(implant ? 0 : static_cast<size_t>(face_count));
  if (!implant) {
    const char* axes[] = {"x", "y", "z"};
    for (int a = 0; a < 3; ++a) {
      if (vertex_count > 0 &&
          ply.set_callback("vertex", axes[a], [&vertices, a](const ply_value& v) {
            double* c = &vertices[static_cast<size_t>(v.instance)].x;
            c[a] = v.value;
            return true;
          }) < 0)
        return fail("Could not parse body of ply file");
    }
    if (face_count > 0 &&
        ply.set_callback("face", "vertex_indices", [&](const ply_value& v) {
          if (v.value_index < 0) return v.value == 3;
          if (!(v.value >= 0 && v.value < static_cast<double>(vertex_count))) return false;
          faces[static_cast<size_t>(v.instance)][static_cast<size_t>(v.value_index)] =
              static_cast<int32_t>(v.value);
          return true;
        }) < 0)
      return fail("Could not parse body of ply file");
  }
  if (!ply.read()) return fail("Could not parse body of ply file");

  if (implant) {
    build_implant(first_electrode_insertion, true, false);
  } else {
    model.point_count = static_cast<int32_t>(vertex_count);
    model.triangle_count = static_cast<int32_t>(face_count);
    model.match_index.assign(vertices.size(), 0);
    model.match_distance2.assign(vertices.size(), 1e10);
    model.match_range2 = -1.0;
    model.loaded_points = vertices;
    model.points = std::move(vertices);
    model.triangles = std::move(faces);
  }
  for (const fit_landmark_t& f : fitting_landmarks)
    if (f.vertex < 0 || f.vertex >= model.point_count)
      return fail(wxString::Format("Fitting landmark \"%s\" is on vertex %i, which the model "
                                   "does not have",
                                   f.name, f.vertex));

  model.landmark_vertices.assign(static_cast<size_t>(model.point_count), false);
  model.landmark_targets.assign(static_cast<size_t>(model.point_count), vec3_t{});
  model.normal_count = model.point_count;
  compute_normals(model);
  model.loaded_normals = model.normals;
  points_restored = true;
  model.active_is_loaded = false;
  compute_bounds(model);
  matrix4_identity(registration);
  mirrored = false;
  // Sub-structures whose file does not read are dropped.
  for (size_t i = 0; i < substructures.size();)
    if (parse_substructure_file(substructures[i]) < 0)
      substructures.erase(substructures.begin() + static_cast<std::ptrdiff_t>(i));
    else
      ++i;
  rebuild_model_surface(true);
  neighbours.assign(static_cast<size_t>(model.point_count), {});
  vertex_parameters.assign(static_cast<size_t>(model.point_count), {});

  auto new_shape_model = [] {
    if (resource_table) resource_table->RES_NEW_SHAPE_MODEL->write();
  };
  wxFFile ssm;
  bool ssm_open = false;
  {
    wxLogNull quiet;
    ssm_open = wxFileName::FileExists(ssm_path) && ssm.Open(ssm_path, "rb");
  }
  if (!ssm_open) {
    mode_count = 0;
    new_shape_model();
    return 0;
  }
  const wxString ssm_error = read_ssm(ssm);
  ssm.Close();
  if (!ssm_error.empty()) {
    clear();
    wxLogWarning("%s", ssm_error);
    return 2;
  }
  new_shape_model();
  return 0;
}

wxString fit_model::read_ssm(wxFFile& file) {
  const wxFileOffset length = file.Length();
  auto read_at = [&](uint64_t offset, void* buffer, size_t bytes) {
    return static_cast<uint64_t>(length) >= offset + bytes && file.Seek(static_cast<wxFileOffset>(offset)) &&
           file.Read(buffer, bytes) == bytes;
  };
  auto le32 = [](const unsigned char* b) {
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
           static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
  };
  unsigned char word[4];
  if (length < 0 || !read_at(0, word, 4)) return "Could not read number of variables from SSM file";
  const int32_t nvars = static_cast<int32_t>(le32(word));
  if (static_cast<int64_t>(nvars) != 3 * static_cast<int64_t>(model.point_count))
    return "Number of SSM variables does not match surface";
  if (!read_at(4, word, 4)) return "Could not read the number of modes from SSM file";
  const int32_t nmodes = static_cast<int32_t>(le32(word));
  if (nmodes < 2) return "Need at least two SSM modes";
  // The blocks must all lie in the file before anything is allocated.
  const uint64_t values = static_cast<uint64_t>(nvars) + static_cast<uint64_t>(nmodes) +
                          static_cast<uint64_t>(nvars) * static_cast<uint64_t>(nmodes);
  if (values > (static_cast<uint64_t>(length) - 8) / 4)
    return "Could not read SSM mean, eigenvalues and basis vectors";
  std::vector<unsigned char> bytes(static_cast<size_t>(values) * 4);
  if (!read_at(8, bytes.data(), bytes.size()))
    return "Could not read SSM mean, eigenvalues and basis vectors";
  auto to_floats = [&](size_t first, size_t count, std::vector<float>& out) {
    out.resize(count);
    for (size_t i = 0; i < count; ++i) {
      const uint32_t u = le32(&bytes[(first + i) * 4]);
      std::memcpy(&out[i], &u, 4);
    }
  };
  to_floats(0, static_cast<size_t>(nvars), ssm_mean);
  to_floats(static_cast<size_t>(nvars), static_cast<size_t>(nmodes), ssm_eigenvalues);
  to_floats(static_cast<size_t>(nvars) + static_cast<size_t>(nmodes),
            static_cast<size_t>(nvars) * static_cast<size_t>(nmodes), ssm_basis);
  mode_count = nmodes;
  return wxString();
}

void fit_model::clear() {
  fitting_landmarks.clear();
  substructures.clear();
  current_substructure = nullptr;
  substructure_points.clear();
  placed_landmarks = 0;
  substructures_reflected = false;
  model.match_index.clear();
  model.match_distance2.clear();
  mode_count = 0;
  ssm_mean.clear();
  ssm_eigenvalues.clear();
  ssm_basis.clear();
  ssm_mean.shrink_to_fit();
  ssm_eigenvalues.shrink_to_fit();
  ssm_basis.shrink_to_fit();
  neighbours.clear();
  vertex_parameters.clear();
  model.loaded_points.clear();
  model.points.clear();
  model.landmark_vertices.clear();
  model.landmark_targets.clear();
  model.loaded_normals.clear();
  model.normals.clear();
  model.triangles.clear();
  model.point_count = model.normal_count = model.triangle_count = 0;
  model.match_range2 = -1.0;
  points_restored = true;
  implant = false;
  lad_radius_hint = 1.0;
  matrix4_identity(registration);
  if (resource_table) {
    auto* res = resource_table->RES_SURFACE[200];
    if (surface_interp* s = res->pending()) {
      res->write(nullptr);
      delete s;
    }
  }
}

void fit_model::compute_normals(fit_mesh_t& mesh) {
  const size_t n = mesh.points.size();
  mesh.normals.assign(n, vec3_t{});
  std::vector<int32_t> count(n, 0);
  for (const auto& t : mesh.triangles) {
    if (t[0] < 0 || t[1] < 0 || t[2] < 0 || static_cast<size_t>(t[0]) >= n ||
        static_cast<size_t>(t[1]) >= n || static_cast<size_t>(t[2]) >= n)
      continue;
    const vec3_t& a = mesh.points[t[0]];
    vec3_t f = vec3_cross(mesh.points[t[1]] - a, mesh.points[t[2]] - a);
    const double len = vec3_length(f);
    if (len != 0.0) f = vec3_scalar_mul(1.0 / len, f);
    for (int k = 0; k < 3; ++k) {
      mesh.normals[t[k]] += f;
      ++count[t[k]];
    }
  }
  for (size_t i = 0; i < n; ++i) {
    if (count[i] == 0) continue;
    vec3_t v = vec3_scalar_mul(1.0 / count[i], mesh.normals[i]);
    const double len = vec3_length(v);
    if (len != 0.0) v = vec3_scalar_mul(1.0 / len, v);
    mesh.normals[i] = v;
  }
}
