// The shipped programs' first bodies draw what their uniforms ask: lit
// surfaces by Lambert's law, unlit colours as given, view-filling passes
// copying their texture.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "views/gl_test_support.h"
#include "views/shader.h"
#include "views/shader_gl_fixture.h"

namespace {

// Every lighting model reduces to Lambert's law for a light of diffuse
// intensity d and ambient a with no specular part and no head light: a
// surface at angle t to the light shows its colour times d cos t + a.
class ShaderDraw : public ShaderGl {
 protected:
  void SetUp() override {
    ShaderGl::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(set_.install_programs(shader::kAllMask));
    glGenBuffers(1, &buffer_);
    glViewport(0, 0, gl_test::kWidth, gl_test::kHeight);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_CULL_FACE);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  void TearDown() override {
    set_.delete_programs();
    glDeleteBuffers(1, &buffer_);
    ShaderGl::TearDown();
  }
  // A view-filling quad at depth -0.5 with one normal and one byte colour
  // for all four vertices: positions, normals, colours one after another.
  void upload_quad(const float normal[3], const unsigned char rgba[4], int position_components) {
    std::vector<unsigned char> bytes;
    auto put = [&](const void* p, size_t n) {
      const auto* b = static_cast<const unsigned char*>(p);
      bytes.insert(bytes.end(), b, b + n);
    };
    const float corners[4][3] = {{-1, -1, -0.5f}, {1, -1, -0.5f}, {1, 1, -0.5f}, {-1, 1, -0.5f}};
    for (const auto& c : corners) put(c, sizeof(float) * static_cast<size_t>(position_components));
    // Attribute 1 always begins at 12 N, whatever the position's width.
    bytes.resize(48, 0);
    for (int i = 0; i < 4; ++i) put(normal, 3 * sizeof(float));
    for (int i = 0; i < 4; ++i) put(rgba, 4);
    glBindBuffer(GL_ARRAY_BUFFER, buffer_);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes.size()), bytes.data(), GL_STATIC_DRAW);
  }
  std::array<int, 4> centre_after_drawing() {
    glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
    set_.stop_program();
    std::vector<unsigned char> px = gl_test::read_back(gl_test::kWidth / 2, gl_test::kHeight / 2, 1, 1);
    return {px[0], px[1], px[2], px[3]};
  }

  shader set_{gl_test::runtime_dir()};
  GLuint buffer_ = 0;
};

TEST_F(ShaderDraw, UserShadersFollowLambertWithoutSpecular) {
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  const float lighting[4] = {0.5f, 0.0f, 0.0f, 0.1f};
  const float light[3] = {0.0f, 0.0f, 1.0f};
  const float off = 0.0f;
  const float base[4] = {0.8f, 0.4f, 0.2f, 1.0f};
  const unsigned char base_bytes[4] = {204, 102, 51, 255};  // the same colour as bytes
  const float material[3] = {0.0f, 0.0f, 0.0f};
  const struct {
    float normal[3];
    double factor;  // 0.5 cos t + 0.1
  } surfaces[] = {{{0.0f, 0.0f, 1.0f}, 0.6}, {{0.0f, 0.8660254f, 0.5f}, 0.35}};
  for (int k = 0; k < 4; ++k) {
    for (int per_vertex = 0; per_vertex < 2; ++per_vertex) {
      const int slot = set_.user_slot[k + 4 * per_vertex];
      for (const auto& s : surfaces) {
        upload_quad(s.normal, base_bytes, 3);
        std::vector<const float*> values = {identity, identity, lighting, light, &off, &off, &off};
        if (!per_vertex) values.push_back(base);
        values.push_back(material);
        set_.use_program(slot, 4, values);
        const std::array<int, 4> px = centre_after_drawing();
        const double colour[3] = {204.0, 102.0, 51.0};
        for (int c = 0; c < 3; ++c)
          EXPECT_NEAR(px[c], colour[c] * s.factor, 2.0)
              << set_.user_shader_name[k] << " slot " << slot << " channel " << c << " factor " << s.factor;
        EXPECT_EQ(px[3], 255) << "slot " << slot;
      }
    }
  }
}

TEST_F(ShaderDraw, UnlitAndBackgroundPrograms) {
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  const float colour[4] = {0.2f, 0.6f, 1.0f, 1.0f};
  const float normal[3] = {0.0f, 0.0f, 1.0f};
  const unsigned char bytes[4] = {10, 20, 30, 255};
  // Unlit: the colour as given (slot 9 reads its colour attribute as floats,
  // so it is given one float colour per vertex instead).
  for (int slot : {shader::kNoLight3D, shader::kNoLight2D}) {
    upload_quad(normal, bytes, slot == shader::kNoLight2D ? 2 : 3);
    set_.use_program(slot, 4, {identity, colour});
    const std::array<int, 4> px = centre_after_drawing();
    EXPECT_NEAR(px[0], 51, 1) << slot;
    EXPECT_NEAR(px[1], 153, 1) << slot;
    EXPECT_NEAR(px[2], 255, 1) << slot;
  }
  {
    std::vector<float> data = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
    for (int i = 0; i < 4; ++i) data.insert(data.end(), {0.25f, 0.5f, 0.75f, 1.0f});
    glBindBuffer(GL_ARRAY_BUFFER, buffer_);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data.size() * sizeof(float)), data.data(), GL_STATIC_DRAW);
    set_.use_program(shader::kNoLightColours, 4, {identity});
    const std::array<int, 4> px = centre_after_drawing();
    EXPECT_NEAR(px[0], 64, 1);
    EXPECT_NEAR(px[1], 128, 1);
    EXPECT_NEAR(px[2], 191, 1);
  }
  // The background at the view's centre faces the viewer: lit by light 1
  // straight on, 0.5 + ambient 0.1, opaque.
  const float lighting[4] = {0.5f, 0.0f, 0.0f, 0.1f};
  const float light[3] = {0.0f, 0.0f, 1.0f};
  const float radius = 2.0f, off = 0.0f;
  const float background[4] = {1.0f, 0.5f, 0.0f, 0.3f};
  upload_quad(normal, bytes, 3);
  set_.use_program(shader::kBackground, 4, {identity, lighting, light, &radius, &off, background});
  const std::array<int, 4> px = centre_after_drawing();
  EXPECT_NEAR(px[0], 153, 2);
  EXPECT_NEAR(px[1], 77, 2);
  EXPECT_NEAR(px[2], 0, 1);
  EXPECT_EQ(px[3], 255);
}

}  // namespace

namespace {

// The view-filling passes copy a colour texture pixel for pixel when they
// have nothing else to do: from_texture with update_rgba 1, depth of field
// with no blur.
TEST_F(ShaderDraw, ViewFillingPassesCopyTheirColourTexture) {
  const int w = gl_test::kWidth, h = gl_test::kHeight;
  std::vector<unsigned char> image(static_cast<size_t>(4 * w * h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      unsigned char* p = &image[static_cast<size_t>(4 * (y * w + x))];
      p[0] = static_cast<unsigned char>(x);
      p[1] = static_cast<unsigned char>(2 * y);
      p[2] = static_cast<unsigned char>((x * 7 + y * 3) % 256);
      p[3] = 255;
    }
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, image.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glActiveTexture(GL_TEXTURE0);

  const float quad[8] = {-1, -1, 1, -1, 1, 1, -1, 1};
  glBindBuffer(GL_ARRAY_BUFFER, buffer_);
  glBufferData(GL_ARRAY_BUFFER, sizeof quad, quad, GL_STATIC_DRAW);
  const float size[2] = {static_cast<float>(w), static_cast<float>(h)};
  const float one = 1.0f, zero = 0.0f, width = 4.0f, inc = 1.0f;
  const struct {
    int slot;
    std::vector<const float*> values;
  } cases[] = {
      {shader::kFromTexture, {size, &one, &zero}},
      {shader::kDepthOfField, {&width, &inc, &zero, &zero}},
  };
  for (const auto& c : cases) {
    glClear(GL_COLOR_BUFFER_BIT);
    set_.use_program(c.slot, 4, c.values);
    glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
    set_.stop_program();
    EXPECT_EQ(gl_test::read_back(0, 0, w, h), image) << "slot " << c.slot;
  }
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, 0);
  glActiveTexture(GL_TEXTURE0);
  glDeleteTextures(1, &texture);
}

}  // namespace
