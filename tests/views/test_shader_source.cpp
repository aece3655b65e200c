// Preparing shader sources: definitions go right after "#version", files are
// read whatever their line ends, and each slot names its files and
// definitions.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "registry/test_table_fixture.h"
#include "views/shader.h"

namespace {

struct source_case {
  const char* what;
  std::vector<wxString> lines;
  std::vector<wxString> definitions;
  std::string expected;
};

TEST(ShaderSource, DefinitionsFollowTheVersionLine) {
  const std::vector<source_case> cases = {
      {"one definition", {"#version 130", "void main() {}"}, {"VARYING_COL"},
       "#version 130\n#define VARYING_COL\nvoid main() {}\n"},
      {"two definitions keep their order", {"#version 130", "x"}, {"RADIANT_SHADOWS", "OPAQUE_SHADOWS"},
       "#version 130\n#define RADIANT_SHADOWS\n#define OPAQUE_SHADOWS\nx\n"},
      {"version after a comment line", {"// lit surfaces", "#version 130 compatibility", "y"}, {"A"},
       "// lit surfaces\n#version 130 compatibility\n#define A\ny\n"},
      {"no version line, no definitions", {"void main() {}"}, {"VARYING_COL"}, "void main() {}\n"},
      {"indented version line does not count", {"  #version 130", "z"}, {"A"}, "  #version 130\nz\n"},
      {"version compared case-sensitively", {"#VERSION 130", "z"}, {"A"}, "#VERSION 130\nz\n"},
      {"no definitions", {"#version 130", ""}, {}, "#version 130\n\n"},
      {"empty file", {}, {"A"}, ""},
  };
  for (const source_case& c : cases)
    EXPECT_EQ(prepare_shader_source(c.lines, c.definitions), c.expected) << c.what;
}

class ShaderFile : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    path_ = (std::filesystem::temp_directory_path() /
             ("nv-shader-" + std::to_string(::getpid()) + "-" + std::to_string(++serial) + ".vert"))
                .string();
  }
  void TearDown() override { std::filesystem::remove(path_); }
  void write(const std::string& bytes) {
    std::ofstream out(path_, std::ios::binary);
    out << bytes;
  }
  std::string path_;
};

TEST_F(ShaderFile, WindowsLineEndsAndByteOrderMarkAreDropped) {
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"CR LF", "#version 130\r\nvoid main() {}\r\n"},
      {"CR LF, last line unterminated", "#version 130\r\nvoid main() {}"},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF#version 130\nvoid main() {}\n"},
  };
  for (const auto& c : cases) {
    write(c.bytes);
    std::vector<wxString> lines;
    ASSERT_TRUE(read_shader_lines(path_, lines)) << c.what;
    EXPECT_EQ(prepare_shader_source(lines, {"VARYING_COL"}),
              "#version 130\n#define VARYING_COL\nvoid main() {}\n")
        << c.what;
  }
}

TEST_F(ShaderFile, MissingFileFailsQuietly) {
  std::vector<wxString> lines = {"kept"};
  EXPECT_FALSE(read_shader_lines(path_ + ".none", lines));
  EXPECT_EQ(lines.size(), 1u);
}

TEST(ShaderSlots, FilesAndDefinitionsOfEachSlot) {
  shader set("/opt/nv");
  EXPECT_EQ(set.installed_mask, 0u);
  EXPECT_EQ(set.current, -1);
  const struct {
    int slot;
    const char* file;
    std::vector<wxString> definitions;
  } cases[] = {
      {0, "/opt/nv/shaders/gouraud.vert", {}},
      {1, "/opt/nv/shaders/gouraud.vert", {"VARYING_COL"}},
      {3, "/opt/nv/shaders/phong.vert", {"VARYING_COL"}},
      {4, "/opt/nv/shaders/clear.vert", {}},
      {7, "/opt/nv/shaders/cooktorrance.vert", {"VARYING_COL"}},
      {9, "/opt/nv/shaders/no_light.vert", {"VARYING_COL"}},
      {10, "/opt/nv/shaders/no_light.vert", {}},
      {11, "/opt/nv/shaders/no_light_texture.vert", {}},
      {12, "/opt/nv/shaders/from_texture.vert", {}},
      {13, "/opt/nv/shaders/radiant_shadowing.vert", {}},
      {14, "/opt/nv/shaders/ambient_occlusion.vert", {}},
      {15, "/opt/nv/shaders/volume_render.vert", {}},
      {16, "/opt/nv/shaders/volume_render.vert", {"RADIANT_SHADOWS"}},
      {17, "/opt/nv/shaders/volume_render.vert", {"RADIANT_SHADOWS", "OPAQUE_SHADOWS"}},
      {18, "/opt/nv/shaders/render_font.vert", {}},
      {19, "/opt/nv/shaders/background.vert", {}},
      {20, "/opt/nv/shaders/depth_of_field.vert", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(set.file[c.slot].GetFullPath(), wxString(c.file)) << c.slot;
    EXPECT_EQ(set.definitions[c.slot], c.definitions) << c.slot;
  }
  // User shader k: plain colour slot, per-vertex colour slot, name.
  const struct {
    int plain, per_vertex;
    const char* name;
  } users[] = {{0, 1, "Diffuse Gouraud"}, {2, 3, "Standard Phong"}, {6, 7, "Cook Torrance"}, {4, 5, "Clear Phong"}};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(set.user_slot[k], users[k].plain) << k;
    EXPECT_EQ(set.user_slot[k + 4], users[k].per_vertex) << k;
    EXPECT_EQ(set.user_shader_name[k], wxString(users[k].name)) << k;
  }
}

}  // namespace


namespace {

// A view's set looks for its files beside the program, as RES_EXEC_DIR says
// when the set is created.
TEST_F(TableTest, ShaderFolderComesFromTheProgramFolder) {
  t().RES_EXEC_DIR->write(L"/usr/lib/norvelith");
  shader set;
  EXPECT_EQ(set.file[2].GetFullPath(), wxString("/usr/lib/norvelith/shaders/phong.vert"));
  EXPECT_EQ(set.file[18].GetFullPath(), wxString("/usr/lib/norvelith/shaders/render_font.vert"));
}

}  // namespace
