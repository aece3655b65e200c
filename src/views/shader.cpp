#include <GL/glew.h>

#include "views/shader.h"

#include <cstdint>

#include <wx/log.h>
#include <wx/textfile.h>

#include "registry/resource_table.h"

namespace {

struct slot_files {
  const char* base;
  std::vector<std::string> definitions;
};

// Base name and definitions of each slot; slots 8 and 10 share files and
// differ only in their vertex layout.
const slot_files kSlotFiles[shader::kSlots] = {
    {"gouraud", {}},
    {"gouraud", {"VARYING_COL"}},
    {"phong", {}},
    {"phong", {"VARYING_COL"}},
    {"clear", {}},
    {"clear", {"VARYING_COL"}},
    {"cooktorrance", {}},
    {"cooktorrance", {"VARYING_COL"}},
    {"no_light", {}},
    {"no_light", {"VARYING_COL"}},
    {"no_light", {}},
    {"no_light_texture", {}},
    {"from_texture", {}},
    {"radiant_shadowing", {}},
    {"ambient_occlusion", {}},
    {"volume_render", {}},
    {"volume_render", {"RADIANT_SHADOWS"}},
    {"volume_render", {"RADIANT_SHADOWS", "OPAQUE_SHADOWS"}},
    {"render_font", {}},
    {"background", {}},
    {"depth_of_field", {}},
};

// How a uniform's float entry is loaded. kBoolUnsigned is a bool uniform
// loaded through the unsigned-integer call.
enum class ukind { mat4, vec2, vec3, vec4, float1, int1, bool1, bool_unsigned };

struct uniform_entry {
  const char* name;
  ukind kind;
};

// `needed` entries must be present for any of them to be loaded; `optional`
// is loaded only when the list holds one more entry than that.
struct slot_uniforms {
  int needed;
  std::vector<uniform_entry> entries;
  uniform_entry optional;
};

const uniform_entry kNone = {nullptr, ukind::float1};
const uniform_entry kMaterial = {"surface_material", ukind::vec3};

std::vector<uniform_entry> surface_entries(bool plain_colour) {
  std::vector<uniform_entry> e = {
      {"modelview_matrix", ukind::mat4},    {"modelviewproj_matrix", ukind::mat4},
      {"lighting", ukind::vec4},            {"light1_direction", ukind::vec3},
      {"depth_peeling", ukind::bool1},      {"radiant_shadows", ukind::bool1},
      {"ambient_occlusion", ukind::bool1},
  };
  if (plain_colour) e.push_back({"surface_diffuse", ukind::vec4});
  return e;
}

std::vector<uniform_entry> volume_entries() {
  return {
      {"interpolation", ukind::int1},       {"slice_skip", ukind::float1},
      {"slice_steps", ukind::float1},       {"proj_matrix", ukind::mat4},
      {"lighting", ukind::vec4},            {"light1_direction", ukind::vec3},
      {"light2_direction", ukind::vec3},    {"gradient_x", ukind::vec3},
      {"gradient_y", ukind::vec3},          {"gradient_z", ukind::vec3},
      {"gradient_threshold", ukind::float1}, {"gradient_clarity", ukind::float1},
      {"wetness", ukind::float1},           {"no_shade_opaque", ukind::bool1},
      {"pz", ukind::vec3},                  {"occlusion", ukind::int1},
      {"front_planes", ukind::vec3},        {"back_planes", ukind::vec3},
      {"reslice_plane", ukind::vec4},       {"landmark", ukind::vec3},
      {"landmark_radius", ukind::vec3},
  };
}

const std::vector<slot_uniforms>& uniform_table() {
  static const std::vector<slot_uniforms> table = [] {
    std::vector<slot_uniforms> t(shader::kSlots);
    t[0] = {8, surface_entries(true), kNone};
    t[1] = {7, surface_entries(false), kNone};
    for (int s : {2, 4, 6}) t[s] = {8, surface_entries(true), kMaterial};
    for (int s : {3, 5, 7}) t[s] = {7, surface_entries(false), kMaterial};
    const std::vector<uniform_entry> unlit = {{"modelviewproj_matrix", ukind::mat4},
                                              {"surface_colour", ukind::vec4}};
    t[8] = {2, unlit, kNone};
    t[9] = {1, {{"modelviewproj_matrix", ukind::mat4}}, kNone};
    t[10] = {2, unlit, kNone};
    t[11] = {3,
             {{"modelviewproj_matrix", ukind::mat4},
              {"depth_peeling", ukind::bool1},
              {"surface_colour", ukind::vec4}},
             kNone};
    t[12] = {3,
             {{"viewsize", ukind::vec2}, {"update_rgba", ukind::int1}, {"update_depth", ukind::bool1}},
             kNone};
    t[13] = {5,
             {{"stage", ukind::int1},
              {"proj33", ukind::float1},
              {"proj34", ukind::float1},
              {"mvp_inv_mvp", ukind::mat4},
              {"depth_tolerance", ukind::vec2}},
             kNone};
    t[14] = {7,
             {{"stage", ukind::int1},
              {"proj33", ukind::float1},
              {"proj34", ukind::float1},
              {"depth_range", ukind::float1},
              {"current_depth", ukind::float1},
              {"filter_offset", ukind::float1},
              {"offset_scale", ukind::float1}},
             kNone};
    for (int s : {15, 16, 17}) t[s] = {21, volume_entries(), kNone};
    t[18] = {2, {{"depth_peeling", ukind::bool1}, {"surface_colour", ukind::vec4}}, kNone};
    t[19] = {6,
             {{"projection_matrix", ukind::mat4},
              {"lighting", ukind::vec4},
              {"light1_direction", ukind::vec3},
              {"radius", ukind::float1},
              {"radiant_shadows", ukind::bool_unsigned},
              {"surface_diffuse", ukind::vec4}},
             kNone};
    t[20] = {4,
             {{"filter_width", ukind::int1},
              {"filter_inc", ukind::int1},
              {"zscale", ukind::float1},
              {"zbias", ukind::float1}},
             kNone};
    return t;
  }();
  return table;
}

struct sampler_entry {
  const char* name;
  int unit;
};

std::vector<sampler_entry> samplers(int slot) {
  switch (slot) {
    case 0: case 1: case 2: case 3: case 4: case 5: case 6: case 7:
      return {{"texdepth0", 1}, {"texdepth1", 2}, {"texshadow", 3}, {"texambient", 4}};
    case 11: case 18:
      return {{"texsurface", 0}, {"texdepth0", 1}, {"texdepth1", 2}};
    case 12: case 20:
      return {{"texrgba", 1}, {"texdepth", 2}};
    case 13:
      return {{"texdepth1", 1}, {"texdepth2", 2}, {"texdepth3", 3}, {"texrgba", 4}};
    case 14:
      return {{"texred1", 1}, {"texred2", 2}};
    case 15: case 16: case 17: {
      std::vector<sampler_entry> s = {
          {"texdata", 0}, {"texdepth", 1}, {"texmap1", 2}, {"texmap2", 3}, {"texmat", 4}};
      if (slot >= 16) s.insert(s.end(), {{"texlight1", 5}, {"texlight2", 6}});
      if (slot == 17) s.push_back({"texlight3", 7});
      return s;
    }
    case 19:
      return {{"texshadow", 3}};
    default:
      return {};
  }
}

// Components of attribute 0 and 1 (0: not enabled) and whether attribute 2
// holds four floats, four normalised bytes or nothing.
enum class colour_attr { none, floats, bytes };
struct attribute_layout {
  int position;
  int second;
  colour_attr colour;
};

attribute_layout attributes(int slot) {
  switch (slot) {
    case 0: case 2: case 4: case 6: case 15: case 16: case 17:
      return {3, 3, colour_attr::none};
    case 1: case 3: case 5: case 7:
      return {3, 3, colour_attr::bytes};
    case 8: case 19:
      return {3, 0, colour_attr::none};
    case 9:
      return {3, 0, colour_attr::floats};
    case 11: case 18:
      return {3, 2, colour_attr::none};
    default:  // 10, 12, 13, 14, 20
      return {2, 0, colour_attr::none};
  }
}

const void* byte_offset(std::intptr_t bytes) { return reinterpret_cast<const void*>(bytes); }

void disable_attributes() {
  glDisableVertexAttribArray(0);
  glDisableVertexAttribArray(1);
  glDisableVertexAttribArray(2);
}

void load_uniform(unsigned int program, const uniform_entry& u, const float* v) {
  if (v == nullptr) return;
  GLint loc = glGetUniformLocation(program, u.name);
  if (loc < 0) return;
  switch (u.kind) {
    case ukind::mat4: glUniformMatrix4fv(loc, 1, GL_FALSE, v); break;
    case ukind::vec2: glUniform2fv(loc, 1, v); break;
    case ukind::vec3: glUniform3fv(loc, 1, v); break;
    case ukind::vec4: glUniform4fv(loc, 1, v); break;
    case ukind::float1: glUniform1f(loc, v[0]); break;
    case ukind::int1: glUniform1i(loc, static_cast<GLint>(v[0] + 0.5f)); break;
    case ukind::bool1: glUniform1i(loc, v[0] > 0.0f ? 1 : 0); break;
    case ukind::bool_unsigned: glUniform1ui(loc, v[0] > 0.0f ? 1u : 0u); break;
  }
}

wxString exec_dir_from_table() {
  return resource_table != nullptr && resource_table->RES_EXEC_DIR != nullptr
             ? resource_table->RES_EXEC_DIR->read()
             : wxString();
}

}  // namespace

std::string prepare_shader_source(const std::vector<wxString>& lines,
                                  const std::vector<wxString>& definitions) {
  wxString source;
  for (const wxString& line : lines) {
    source << line << '\n';
    if (line.StartsWith(L"#version"))
      for (const wxString& name : definitions) source << wxString::Format(L"#define %s\n", name);
  }
  return std::string(source.utf8_str());
}

bool read_shader_lines(const wxString& path, std::vector<wxString>& lines) {
  wxTextFile text;
  {
    wxLogNull quiet;
    if (!wxFileName::FileExists(path) || !text.Open(path)) return false;
  }
  lines.clear();
  for (size_t i = 0; i < text.GetLineCount(); ++i) lines.push_back(text.GetLine(i));
  return true;
}

shader::shader() : shader(exec_dir_from_table()) {}

shader::shader(const wxString& exec_dir)
    : user_slot{0, 2, 6, 4, 1, 3, 7, 5},
      user_shader_name{L"Diffuse Gouraud", L"Standard Phong", L"Cook Torrance", L"Clear Phong"} {
  for (int slot = 0; slot < kSlots; ++slot) {
    file[slot] = wxFileName(exec_dir, wxString::FromUTF8(kSlotFiles[slot].base), L"vert");
    file[slot].AppendDir(L"shaders");
    for (const std::string& d : kSlotFiles[slot].definitions)
      definitions[slot].push_back(wxString::FromUTF8(d));
  }
}

shader::~shader() { delete_programs(); }

const char* shader::base_name(int slot) {
  return slot >= 0 && slot < kSlots ? kSlotFiles[slot].base : "";
}

std::vector<std::string> shader::slot_definitions(int slot) {
  return slot >= 0 && slot < kSlots ? kSlotFiles[slot].definitions : std::vector<std::string>{};
}

bool shader::compile_shader(int slot, bool vertex) {
  if (slot < 0 || slot >= kSlots) return false;
  file[slot].SetExt(vertex ? L"vert" : L"frag");
  const wxString path = file[slot].GetFullPath();
  std::vector<wxString> lines;
  if (!read_shader_lines(path, lines)) return false;

  const std::string source = prepare_shader_source(lines, definitions[slot]);
  const GLuint object = vertex ? vertex_shader[slot] : fragment_shader[slot];
  const GLchar* text = source.c_str();
  glShaderSource(object, 1, &text, nullptr);
  glCompileShader(object);
  GLint status = GL_FALSE;
  glGetShaderiv(object, GL_COMPILE_STATUS, &status);
  if (status == GL_TRUE) return true;

  GLint length = 0;
  glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
  if (length > 0) {
    std::vector<GLchar> log(static_cast<size_t>(length) + 1, 0);
    glGetShaderInfoLog(object, length, nullptr, log.data());
    wxString message = wxString::Format(L"Error compiling GLSL file '%s'.\n", path);
    if (!definitions[slot].empty()) {
      message << L"\nPre-processor definitions:\n";
      for (const wxString& d : definitions[slot]) message << wxString::Format(L" %s\n", d);
    }
    message << wxString::Format(L"\nReported log:\n\n%s", wxString::FromUTF8(log.data()));
    wxLogWarning(L"%s", message);
  }
  return false;
}

bool shader::install_program(int slot) {
  if (slot < 0 || slot >= kSlots) return false;
  vertex_shader[slot] = glCreateShader(GL_VERTEX_SHADER);
  if (!compile_shader(slot, true)) {
    glDeleteShader(vertex_shader[slot]);
    vertex_shader[slot] = 0;
    return false;
  }
  fragment_shader[slot] = glCreateShader(GL_FRAGMENT_SHADER);
  if (!compile_shader(slot, false)) {
    glDeleteShader(vertex_shader[slot]);
    glDeleteShader(fragment_shader[slot]);
    vertex_shader[slot] = fragment_shader[slot] = 0;
    return false;
  }

  const GLuint p = glCreateProgram();
  glAttachShader(p, vertex_shader[slot]);
  glAttachShader(p, fragment_shader[slot]);
  glBindAttribLocation(p, 0, "position");
  glBindAttribLocation(p, 1, "normal");
  glBindAttribLocation(p, 2, "colour");
  glBindFragDataLocation(p, 0, "fragment_colour");
  glBindFragDataLocation(p, 1, "fragment_data1");
  glBindFragDataLocation(p, 2, "fragment_data2");
  glBindFragDataLocation(p, 3, "fragment_data3");
  glLinkProgram(p);
  GLint status = GL_FALSE;
  glGetProgramiv(p, GL_LINK_STATUS, &status);
  if (status == GL_TRUE) {
    program[slot] = p;
    return true;
  }

  GLint length = 0;
  glGetProgramiv(p, GL_INFO_LOG_LENGTH, &length);
  if (length > 0) {
    std::vector<GLchar> log(static_cast<size_t>(length) + 1, 0);
    glGetProgramInfoLog(p, length, nullptr, log.data());
    wxLogWarning(L"Error linking GLSL files for \"%s\":\n\n%s", wxString::FromUTF8(base_name(slot)),
                 wxString::FromUTF8(log.data()));
  }
  glDeleteShader(vertex_shader[slot]);
  glDeleteShader(fragment_shader[slot]);
  glDeleteProgram(p);
  vertex_shader[slot] = fragment_shader[slot] = 0;
  return false;
}

bool shader::install_programs(uint32_t mask) {
  delete_programs();
  for (int slot = 0; slot < kSlots; ++slot) {
    if ((mask & (1u << slot)) == 0) continue;
    if (!install_program(slot)) {
      delete_programs();
      break;
    }
    installed_mask |= 1u << slot;
  }
  return installed_mask == mask;
}

void shader::delete_program(int slot) {
  if (slot < 0 || slot >= kSlots || (installed_mask & (1u << slot)) == 0) return;
  if (current == slot) stop_program();
  if (glIsProgram(program[slot])) {
    GLuint attached[2] = {0, 0};
    GLsizei count = 0;
    glGetAttachedShaders(program[slot], 2, &count, attached);
    for (GLsizei i = 0; i < count; ++i) glDeleteShader(attached[i]);
    glDeleteProgram(program[slot]);
  }
  program[slot] = vertex_shader[slot] = fragment_shader[slot] = 0;
  installed_mask &= ~(1u << slot);
}

void shader::delete_programs() {
  stop_program();
  for (int slot = 0; slot < kSlots; ++slot) delete_program(slot);
}

void shader::stop_program() {
  if (current < 0) return;
  disable_attributes();
  glUseProgram(0);
  current = -1;
}

void shader::use_program(int slot, int vertex_count, std::vector<const float*> values) {
  if (slot < 0 || slot >= kSlots || (installed_mask & (1u << slot)) == 0) return;
  if (slot != current) {
    if (current >= 0) {
      disable_attributes();
      glUseProgram(0);
    }
    glUseProgram(program[slot]);
  }
  current = slot;

  // Volume rendering with a negative count only sets up its attributes.
  const bool attributes_only = vertex_count < 0 && slot >= kVolumeRender && slot <= kVolumeRenderOpaqueShadows;
  const std::intptr_t n = vertex_count < 0 ? -static_cast<std::intptr_t>(vertex_count) : vertex_count;
  const GLuint p = program[slot];

  if (!attributes_only) {
    const slot_uniforms& u = uniform_table()[slot];
    const int size = static_cast<int>(values.size());
    if (size >= u.needed) {
      for (size_t k = 0; k < u.entries.size(); ++k) load_uniform(p, u.entries[k], values[k]);
      if (u.optional.name != nullptr && size > u.needed)
        load_uniform(p, u.optional, values[static_cast<size_t>(u.needed)]);
    }
    for (const sampler_entry& s : samplers(slot)) {
      GLint loc = glGetUniformLocation(p, s.name);
      if (loc >= 0) glUniform1i(loc, s.unit);
    }
  }

  const attribute_layout a = attributes(slot);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, a.position, GL_FLOAT, GL_FALSE, 0, byte_offset(0));
  if (a.second > 0) {
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, a.second, GL_FLOAT, GL_FALSE, 0, byte_offset(12 * n));
  }
  if (a.colour == colour_attr::floats) {
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 4, GL_FLOAT, GL_FALSE, 0, byte_offset(12 * n));
  } else if (a.colour == colour_attr::bytes) {
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 4, GL_UNSIGNED_BYTE, GL_TRUE, 0, byte_offset(24 * n));
  }
}
