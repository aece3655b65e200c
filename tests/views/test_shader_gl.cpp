// The program slots on a real OpenGL context: the shipped files compile and
// link, failures install nothing and say why, and use_program loads the
// uniforms, samplers and attributes each slot declares.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "common/log_capture.h"
#include "views/gl_test_support.h"
#include "views/shader.h"
#include "views/shader_gl_fixture.h"

namespace {

TEST_F(ShaderGl, EverySlotOfTheShippedFilesCompilesAndLinks) {
  log_capture log;
  shader set(gl_test::runtime_dir());
  for (int slot = 0; slot < shader::kSlots; ++slot) {
    EXPECT_TRUE(set.install_programs(1u << slot)) << "slot " << slot;
    EXPECT_EQ(set.installed_mask, 1u << slot) << "slot " << slot;
  }
  for (const auto& r : log.records()) ADD_FAILURE() << r.text;
}

TEST_F(ShaderGl, ViewMaskAndFullMaskInstall) {
  log_capture log;
  shader set(gl_test::runtime_dir());
  for (uint32_t mask : {shader::kViewMask, shader::kAllMask}) {
    ASSERT_TRUE(set.install_programs(mask)) << std::hex << mask;
    EXPECT_EQ(set.installed_mask, mask);
    for (int slot = 0; slot < shader::kSlots; ++slot) {
      if ((mask & (1u << slot)) == 0) continue;
      ASSERT_TRUE(glIsProgram(set.program[slot])) << slot;
      GLint attached = 0, linked = 0;
      glGetProgramiv(set.program[slot], GL_ATTACHED_SHADERS, &attached);
      glGetProgramiv(set.program[slot], GL_LINK_STATUS, &linked);
      EXPECT_EQ(attached, 2) << slot;
      EXPECT_EQ(linked, GL_TRUE) << slot;
      EXPECT_EQ(glGetFragDataLocation(set.program[slot], "fragment_colour"), 0) << slot;
    }
  }
  EXPECT_EQ(log.records().size(), 0u);
  set.delete_programs();
  EXPECT_EQ(set.installed_mask, 0u);
  EXPECT_TRUE(no_gl_objects_left());
}

TEST_F(ShaderGl, AttributesSitAtTheirFixedLocations) {
  shader set(gl_test::runtime_dir());
  ASSERT_TRUE(set.install_programs(shader::kAllMask));
  // Slot: names the files use at locations 0, 1 and 2 (nullptr: not used).
  const struct {
    int slot;
    const char* names[3];
  } cases[] = {
      {1, {"position", "normal", "colour"}},  {2, {"position", "normal", nullptr}},
      {9, {"position", nullptr, "colour"}},   {10, {"position", nullptr, nullptr}},
      {15, {"position", "normal", nullptr}},  {18, {"position", "normal", nullptr}},
      {19, {"position", nullptr, nullptr}},
  };
  for (const auto& c : cases) {
    for (int loc = 0; loc < 3; ++loc) {
      if (c.names[loc] == nullptr) continue;
      EXPECT_EQ(glGetAttribLocation(set.program[c.slot], c.names[loc]), loc) << c.slot << " " << c.names[loc];
    }
  }
}

TEST_F(ShaderGl, MaskZeroInstallsNothingAndSucceeds) {
  shader set(gl_test::runtime_dir());
  EXPECT_TRUE(set.install_programs(0));
  EXPECT_EQ(set.installed_mask, 0u);
  EXPECT_TRUE(no_gl_objects_left());
}

TEST_F(ShaderGl, EmptyFolderInstallsNothingAndSaysNothing) {
  gl_test::temp_dir dir;
  log_capture log;
  shader set(dir.path());
  EXPECT_FALSE(set.install_programs(shader::kViewMask));
  EXPECT_FALSE(set.install_programs(shader::kAllMask));
  EXPECT_EQ(set.installed_mask, 0u);
  EXPECT_TRUE(log.records().empty());
  EXPECT_TRUE(no_gl_objects_left());
}

TEST_F(ShaderGl, CompileErrorNamesTheFileItsDefinitionsAndTheLog) {
  gl_test::temp_dir dir;
  dir.copy_shaders();
  // Compiles for slot 4, fails for slot 5 with its definition.
  dir.write("shaders/clear.frag",
            "#version 130\nout vec4 fragment_colour;\n"
            "void main() {\n#ifdef VARYING_COL\n  undeclared_name = 1.0;\n#endif\n"
            "  fragment_colour = vec4(1.0);\n}\n");
  log_capture log;
  shader set(dir.path());
  EXPECT_FALSE(set.install_programs(shader::kAllMask));
  EXPECT_EQ(set.installed_mask, 0u);
  EXPECT_TRUE(no_gl_objects_left()) << "slots 0 to 4 must be deleted again";

  ASSERT_EQ(log.records().size(), 1u);
  const auto& r = log.records()[0];
  EXPECT_EQ(r.level, wxLOG_Warning);
  const std::string head = "Error compiling GLSL file '" + dir.path() + "/shaders/clear.frag'.\n" +
                           "\nPre-processor definitions:\n VARYING_COL\n\nReported log:\n\n";
  ASSERT_EQ(r.text.substr(0, head.size()), head);
  EXPECT_NE(r.text.find("undeclared_name", head.size()), std::string::npos) << r.text;
}

TEST_F(ShaderGl, CompileErrorWithoutDefinitionsOmitsTheirHeading) {
  gl_test::temp_dir dir;
  dir.copy_shaders();
  dir.write("shaders/render_font.vert", "#version 130\nthis is not GLSL\n");
  log_capture log;
  shader set(dir.path());
  EXPECT_FALSE(set.install_programs(shader::kViewMask));
  EXPECT_EQ(set.installed_mask, 0u);
  ASSERT_EQ(log.records().size(), 1u);
  const std::string head = "Error compiling GLSL file '" + dir.path() + "/shaders/render_font.vert'.\n" +
                           "\nReported log:\n\n";
  const std::string& text = log.records()[0].text;
  ASSERT_EQ(text.substr(0, head.size()), head);
  EXPECT_GT(text.size(), head.size());
  EXPECT_TRUE(no_gl_objects_left());
}

TEST_F(ShaderGl, LinkErrorNamesTheBaseName) {
  gl_test::temp_dir dir;
  dir.copy_shaders();
  // Both stages compile, but the fragment stage has no main().
  dir.write("shaders/no_light.frag",
            "#version 130\nout vec4 fragment_colour;\n"
            "void other() { fragment_colour = vec4(1.0); }\n");
  log_capture log;
  shader set(dir.path());
  EXPECT_FALSE(set.install_programs(shader::kViewMask));
  EXPECT_EQ(set.installed_mask, 0u);
  ASSERT_EQ(log.records().size(), 1u);
  const std::string head = "Error linking GLSL files for \"no_light\":\n\n";
  const std::string& text = log.records()[0].text;
  EXPECT_EQ(text.substr(0, head.size()), head);
  EXPECT_GT(text.size(), head.size());
  EXPECT_TRUE(no_gl_objects_left());
}

// Uniform values read back from a program.
std::vector<float> uniform_floats(GLuint program, const char* name, int count) {
  std::vector<float> v(static_cast<size_t>(count), -99.0f);
  GLint loc = glGetUniformLocation(program, name);
  if (loc < 0) return {};
  glGetUniformfv(program, loc, v.data());
  return v;
}
GLint uniform_int(GLuint program, const char* name) {
  GLint v = -99;
  GLint loc = glGetUniformLocation(program, name);
  if (loc < 0) return -100;
  glGetUniformiv(program, loc, &v);
  return v;
}

class ShaderUse : public ShaderGl {
 protected:
  void SetUp() override {
    ShaderGl::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(set_.install_programs(shader::kAllMask));
    glGenBuffers(1, &buffer_);
    glBindBuffer(GL_ARRAY_BUFFER, buffer_);
    glBufferData(GL_ARRAY_BUFFER, 4096, nullptr, GL_STATIC_DRAW);
    for (int i = 0; i < 16; ++i) mat_[i] = 0.5f + static_cast<float>(i);
  }
  void TearDown() override {
    set_.delete_programs();
    glDeleteBuffers(1, &buffer_);
    ShaderGl::TearDown();
  }
  // Entries for the lit surface slots: two matrices, lighting, direction,
  // three flags, colour, material.
  std::vector<const float*> surface_values(size_t n) {
    std::vector<const float*> v = {mat_, mat_ + 1, lighting_, direction_, &yes_, &no_, &half_, colour_, material_};
    v.resize(n);
    return v;
  }

  shader set_{gl_test::runtime_dir()};
  GLuint buffer_ = 0;
  float mat_[17] = {};
  float lighting_[4] = {0.7f, 0.3f, 0.2f, 0.1f};
  float direction_[3] = {0.0f, 0.6f, 0.8f};
  float colour_[4] = {0.25f, 0.5f, 0.75f, 1.0f};
  float material_[3] = {0.3f, 0.6f, 0.9f};
  float yes_ = 2.0f, no_ = -1.0f, half_ = 0.5f;
};

TEST_F(ShaderUse, SurfaceSlotLoadsEveryEntry) {
  set_.use_program(0, 3, surface_values(8));
  EXPECT_EQ(set_.current, 0);
  const GLuint p = set_.program[0];
  EXPECT_EQ(current_program(), static_cast<GLint>(p));
  std::vector<float> first(mat_, mat_ + 16), second(mat_ + 1, mat_ + 17);
  EXPECT_EQ(uniform_floats(p, "modelview_matrix", 16), first);
  EXPECT_EQ(uniform_floats(p, "modelviewproj_matrix", 16), second);
  EXPECT_EQ(uniform_floats(p, "lighting", 4), std::vector<float>(lighting_, lighting_ + 4));
  EXPECT_EQ(uniform_floats(p, "light1_direction", 3), std::vector<float>(direction_, direction_ + 3));
  EXPECT_EQ(uniform_int(p, "depth_peeling"), 1);       // 2.0 > 0
  EXPECT_EQ(uniform_int(p, "radiant_shadows"), 0);     // -1.0
  EXPECT_EQ(uniform_int(p, "ambient_occlusion"), 1);   // 0.5
  EXPECT_EQ(uniform_floats(p, "surface_diffuse", 4), std::vector<float>(colour_, colour_ + 4));
  const std::array<std::pair<const char*, int>, 4> units = {
      {{"texdepth0", 1}, {"texdepth1", 2}, {"texshadow", 3}, {"texambient", 4}}};
  for (const auto& u : units) EXPECT_EQ(uniform_int(p, u.first), u.second) << u.first;
}

TEST_F(ShaderUse, TooFewEntriesLoadNoValueButStillSamplersAndAttributes) {
  set_.use_program(0, 5, surface_values(7));
  const GLuint p = set_.program[0];
  EXPECT_EQ(uniform_floats(p, "lighting", 4), std::vector<float>(4, 0.0f));
  EXPECT_EQ(uniform_floats(p, "surface_diffuse", 4), std::vector<float>(4, 0.0f));
  EXPECT_EQ(uniform_int(p, "depth_peeling"), 0);
  EXPECT_EQ(uniform_int(p, "texambient"), 4);
  GLint enabled = 0;
  glGetVertexAttribiv(1, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &enabled);
  EXPECT_EQ(enabled, GL_TRUE);
}

TEST_F(ShaderUse, MaterialOnlyWithTheExtraEntry) {
  const struct {
    int slot;
    size_t entries;
    bool loaded;
  } cases[] = {{2, 8, false}, {2, 9, true}, {6, 9, true}, {3, 7, false}, {3, 8, true}, {5, 8, true}};
  for (const auto& c : cases) {
    ASSERT_TRUE(set_.install_programs(shader::kAllMask));  // fresh uniforms
    std::vector<const float*> v = surface_values(9);
    if (c.slot % 2 == 1) v.erase(v.begin() + 7);  // per-vertex slots have no surface_diffuse
    v.resize(c.entries);
    set_.use_program(c.slot, 3, v);
    const std::vector<float> expected =
        c.loaded ? std::vector<float>(material_, material_ + 3) : std::vector<float>(3, 0.0f);
    EXPECT_EQ(uniform_floats(set_.program[c.slot], "surface_material", 3), expected)
        << "slot " << c.slot << " with " << c.entries;
    EXPECT_EQ(uniform_floats(set_.program[c.slot], "lighting", 4), std::vector<float>(lighting_, lighting_ + 4))
        << "slot " << c.slot << " with " << c.entries;
  }
}

TEST_F(ShaderUse, IntAndBoolConversions) {
  // Slot 12: "update_rgba" is the float plus one half, truncated; bools are
  // 1 above zero.
  const struct {
    float rgba, depth;
    int expect_rgba, expect_depth;
  } cases[] = {{1.6f, 0.0f, 2, 0}, {1.4f, 0.01f, 1, 1}, {0.0f, -3.0f, 0, 0}, {2.0f, 1.0f, 2, 1}};
  float size[2] = {256.0f, 128.0f};
  for (const auto& c : cases) {
    set_.use_program(shader::kFromTexture, 4, {size, &c.rgba, &c.depth});
    const GLuint p = set_.program[shader::kFromTexture];
    EXPECT_EQ(uniform_int(p, "update_rgba"), c.expect_rgba) << c.rgba;
    EXPECT_EQ(uniform_int(p, "update_depth"), c.expect_depth) << c.depth;
    EXPECT_EQ(uniform_floats(p, "viewsize", 2), std::vector<float>(size, size + 2));
    EXPECT_EQ(uniform_int(p, "texrgba"), 1);
    EXPECT_EQ(uniform_int(p, "texdepth"), 2);
  }
  // Slot 19 loads its bool through the unsigned call.
  float radius = 3.5f;
  set_.use_program(shader::kBackground, 4, {mat_, lighting_, direction_, &radius, &yes_, colour_});
  const GLuint p = set_.program[shader::kBackground];
  GLuint shadows = 7;
  glGetUniformuiv(p, glGetUniformLocation(p, "radiant_shadows"), &shadows);
  EXPECT_EQ(shadows, 1u);
  EXPECT_EQ(uniform_floats(p, "radius", 1), std::vector<float>{3.5f});
  EXPECT_EQ(uniform_int(p, "texshadow"), 3);
}

TEST_F(ShaderUse, FontSlotLoadsColourAndSamplers) {
  float peel = 0.0f;
  set_.use_program(shader::kRenderFont, 6, {&peel, colour_});
  const GLuint p = set_.program[shader::kRenderFont];
  EXPECT_EQ(uniform_floats(p, "surface_colour", 4), std::vector<float>(colour_, colour_ + 4));
  EXPECT_EQ(uniform_int(p, "depth_peeling"), 0);
  EXPECT_EQ(uniform_int(p, "texsurface"), 0);
  EXPECT_EQ(uniform_int(p, "texdepth0"), 1);
  EXPECT_EQ(uniform_int(p, "texdepth1"), 2);
}

TEST_F(ShaderUse, VolumeSlotWithNegativeCountOnlySetsAttributes) {
  std::vector<float> values(21 * 16, 0.75f);
  std::vector<const float*> v;
  for (int i = 0; i < 21; ++i) v.push_back(values.data() + 16 * i);
  set_.use_program(shader::kVolumeRender, -10, v);
  const GLuint p = set_.program[shader::kVolumeRender];
  EXPECT_EQ(uniform_floats(p, "lighting", 4), std::vector<float>(4, 0.0f));
  EXPECT_EQ(uniform_int(p, "texmap1"), 0);
  void* pointer = nullptr;
  glGetVertexAttribPointerv(1, GL_VERTEX_ATTRIB_ARRAY_POINTER, &pointer);
  EXPECT_EQ(reinterpret_cast<std::intptr_t>(pointer), 120);  // 12 bytes times 10 vertices

  set_.use_program(shader::kVolumeRender, 10, v);
  EXPECT_EQ(uniform_floats(p, "lighting", 4), std::vector<float>(4, 0.75f));
  EXPECT_EQ(uniform_int(p, "texmap1"), 2);
}

struct attribute_state {
  GLint enabled, size, type, normalised;
  std::intptr_t offset;
};

attribute_state attribute(GLuint index) {
  attribute_state a{};
  glGetVertexAttribiv(index, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &a.enabled);
  glGetVertexAttribiv(index, GL_VERTEX_ATTRIB_ARRAY_SIZE, &a.size);
  glGetVertexAttribiv(index, GL_VERTEX_ATTRIB_ARRAY_TYPE, &a.type);
  glGetVertexAttribiv(index, GL_VERTEX_ATTRIB_ARRAY_NORMALIZED, &a.normalised);
  void* p = nullptr;
  glGetVertexAttribPointerv(index, GL_VERTEX_ATTRIB_ARRAY_POINTER, &p);
  a.offset = reinterpret_cast<std::intptr_t>(p);
  return a;
}

TEST_F(ShaderUse, AttributeLayoutsForFourVertices) {
  // Per slot for N = 4: components of attributes 0 and 1 (0: disabled), and
  // attribute 2 as 0 disabled, 1 four floats at 48, 2 four bytes at 96.
  const struct {
    int slot, pos, second, colour;
  } cases[] = {
      {0, 3, 3, 0}, {1, 3, 3, 2},  {6, 3, 3, 0},  {7, 3, 3, 2},  {8, 3, 0, 0},  {9, 3, 0, 1},
      {10, 2, 0, 0}, {11, 3, 2, 0}, {12, 2, 0, 0}, {13, 2, 0, 0}, {14, 2, 0, 0}, {15, 3, 3, 0},
      {17, 3, 3, 0}, {18, 3, 2, 0}, {19, 3, 0, 0}, {20, 2, 0, 0},
  };
  std::vector<float> values(21 * 16, 0.0f);
  std::vector<const float*> v;
  for (int i = 0; i < 21; ++i) v.push_back(values.data() + 16 * i);
  for (const auto& c : cases) {
    set_.use_program(c.slot, 4, v);
    attribute_state a0 = attribute(0), a1 = attribute(1), a2 = attribute(2);
    EXPECT_EQ(a0.enabled, GL_TRUE) << c.slot;
    EXPECT_EQ(a0.size, c.pos) << c.slot;
    EXPECT_EQ(a0.offset, 0) << c.slot;
    EXPECT_EQ(a1.enabled, c.second > 0 ? GL_TRUE : GL_FALSE) << c.slot;
    if (c.second > 0) {
      EXPECT_EQ(a1.size, c.second) << c.slot;
      EXPECT_EQ(a1.offset, 48) << c.slot;
    }
    EXPECT_EQ(a2.enabled, c.colour > 0 ? GL_TRUE : GL_FALSE) << c.slot;
    if (c.colour == 1) {
      EXPECT_EQ(a2.type, GL_FLOAT) << c.slot;
      EXPECT_EQ(a2.offset, 48) << c.slot;
    } else if (c.colour == 2) {
      EXPECT_EQ(a2.type, GL_UNSIGNED_BYTE) << c.slot;
      EXPECT_EQ(a2.normalised, GL_TRUE) << c.slot;
      EXPECT_EQ(a2.size, 4) << c.slot;
      EXPECT_EQ(a2.offset, 96) << c.slot;
    }
  }
}

TEST_F(ShaderUse, SameSlotIsMadeCurrentOnce) {
  float peel = 0.0f;
  set_.use_program(shader::kRenderFont, 6, {&peel, colour_});
  // Behind the set's back: a second call with the same slot must not make
  // the program current again.
  glUseProgram(0);
  set_.use_program(shader::kRenderFont, 6, {&peel, colour_});
  EXPECT_EQ(current_program(), 0);
  EXPECT_EQ(set_.current, shader::kRenderFont);
  // Loading uniforms with no program current was an invalid operation.
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_INVALID_OPERATION));
  set_.use_program(shader::kNoLight2D, 6, {mat_, colour_});
  EXPECT_EQ(current_program(), static_cast<GLint>(set_.program[shader::kNoLight2D]));
}

TEST_F(ShaderUse, StopAndDeleteLeaveNoProgramCurrent) {
  float peel = 0.0f;
  set_.use_program(shader::kRenderFont, 6, {&peel, colour_});
  set_.stop_program();
  EXPECT_EQ(set_.current, -1);
  EXPECT_EQ(current_program(), 0);
  for (GLuint i = 0; i < 3; ++i) EXPECT_EQ(attribute(i).enabled, GL_FALSE) << i;

  // A slot that is not installed is ignored.
  set_.delete_program(shader::kRenderFont);
  EXPECT_EQ(set_.installed_mask, shader::kAllMask & ~(1u << shader::kRenderFont));
  set_.use_program(shader::kRenderFont, 6, {&peel, colour_});
  EXPECT_EQ(set_.current, -1);
  EXPECT_EQ(current_program(), 0);

  // Deleting the current program stops it first.
  set_.use_program(shader::kNoLight2D, 6, {mat_, colour_});
  const GLuint p = set_.program[shader::kNoLight2D];
  set_.delete_program(shader::kNoLight2D);
  EXPECT_EQ(set_.current, -1);
  EXPECT_EQ(current_program(), 0);
  EXPECT_FALSE(glIsProgram(p));
}

}  // namespace
