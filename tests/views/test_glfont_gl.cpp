// Texture fonts on a real OpenGL context: text lands on whole pixels with
// the atlas's coverage times the colour, the same through the font program
// and through fixed-function texturing, and the GL state is given back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "views/font_test_support.h"
#include "views/gl_test_support.h"
#include "views/glfont.h"
#include "views/shader.h"

namespace {

constexpr int W = gl_test::kWidth;
constexpr int H = gl_test::kHeight;

bool programs_possible() { return gl_test::gl_version() >= 30; }

// A view's font with or without the view's installed programs.
class GlfontGl : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gl_test::make_current());
    while (glGetError() != GL_NO_ERROR) {
    }
    glViewport(0, 0, W, H);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  void TearDown() override {
    font_.reset();
    set_.reset();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }
  // Builds font `number`; with_programs installs the 2D views' mask first.
  glfont& make(int number, bool with_programs) { return make_with(number, with_programs ? shader::kViewMask : 0); }
  glfont& make_with(int number, uint32_t mask) {
    set_ = std::make_unique<shader>(gl_test::runtime_dir());
    EXPECT_TRUE(set_->install_programs(mask));
    font_ = std::make_unique<glfont>(number, set_.get());
    return *font_;
  }

  std::unique_ptr<shader> set_;
  std::unique_ptr<glfont> font_;
};

TEST_F(GlfontGl, HeightsNamesAndWidths) {
  glfont& font = make(10, false);
  EXPECT_EQ(font.height(), 96);
  EXPECT_EQ(font.name(), wxString("Cabin 96"));
  glfont& f0 = make(0, false);
  EXPECT_EQ(f0.height(), 16);
  EXPECT_EQ(f0.text_width(""), 0);
  // Characters outside 32 to 126 count half the pixel size.
  EXPECT_EQ(f0.text_width(wxString::FromUTF8("\xC3\xA9")), 8);
  EXPECT_EQ(f0.text_width(wxString("\t")), 8);
  EXPECT_EQ(f0.text_width(wxString::FromUTF8("A\xC3\xA9M")), f0.text_width("A") + 8 + f0.text_width("M"));
  EXPECT_EQ(f0.text_width("AM"), f0.text_width("A") + f0.text_width("M"));
  const glfont_info& info = glfont_table[4];
  glfont& f4 = make(4, false);
  EXPECT_EQ(f4.text_width("W"), info.glyphs['W' - 32].advance);
}

TEST_F(GlfontGl, TextureIsOneChannelWithProgramsAndGreyRgbaWithout) {
  for (bool with_programs : {false, true}) {
    if (with_programs && !programs_possible()) continue;
    glfont& font = make(2, with_programs);
    SCOPED_TRACE(with_programs ? "with programs" : "without programs");
    glBindTexture(GL_TEXTURE_2D, font.texture);
    GLint format = 0, width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    glBindTexture(GL_TEXTURE_2D, 0);
    if (with_programs)
      EXPECT_EQ(format, GL_R8);
    else
      EXPECT_TRUE(format == GL_RGBA || format == GL_RGBA8) << format;
    EXPECT_EQ(width, glfont_table[2].atlas_width);
    EXPECT_EQ(height, glfont_table[2].atlas_height);
  }
}

TEST_F(GlfontGl, PositionIsAlignedAndLeftAtTheEndOfTheText) {
  glfont& font = make(0, false);
  const float white[4] = {1, 1, 1, 1};
  // Pixel sizes that are powers of two, so that pixel halves are exact.
  const double sx = 2.0 / 256, sy = 2.0 / 128;
  const int viewport[4] = {0, 0, 256, 128};
  const int aw = font.text_width("AM");
  const struct {
    double x, y, ox, oy;
    double start_x, start_y;  // aligned start, in pixels from the left and bottom
  } cases[] = {
      {-1.0, -1.0, 0.0, 0.0, 0, 0},
      {-1.0 + 10.3 * sx, -1.0 + 20.7 * sy, 0.0, 0.0, 10, 21},
      {-1.0 + 10.5 * sx, -1.0 + 20.5 * sy, 0.0, 0.0, 11, 21},  // halves away from zero
      // 0.32 and 0.6 font heights: 5.12 and 9.6 pixels.
      {-1.0 + 40 * sx, -1.0 + 30 * sy, 0.32, 0.6, 45, 40},
      {-1.0 + 40 * sx, -1.0 + 30 * sy, -1.0, -1.0, 24, 14},
  };
  for (const auto& c : cases) {
    double position[3] = {c.x, c.y, 0.0};
    const double offset[2] = {c.ox, c.oy};
    font.draw_text("AM", viewport, position, offset, white, false);
    EXPECT_NEAR(position[0], -1.0 + (c.start_x + aw) * sx, 1e-12) << c.x;
    EXPECT_NEAR(position[1], -1.0 + c.start_y * sy, 1e-12) << c.y;
  }
  // A line continues where the last call ended.
  double position[3] = {-1.0, 0.0, 0.0};
  const double none[2] = {0.0, 0.0};
  font.draw_text("A", viewport, position, none, white, false);
  font.draw_text(wxString::FromUTF8("\xC3\xA9M"), viewport, position, none, white, false);
  EXPECT_NEAR(position[0], -1.0 + font.text_width(wxString::FromUTF8("A\xC3\xA9M")) * sx, 1e-12);

  // A view not laid out yet has no pixels to align to: nothing is drawn.
  const int empty[4] = {0, 0, 0, 0};
  double kept[3] = {0.25, 0.5, 0.0};
  font.draw_text("AM", empty, kept, none, white, false);
  EXPECT_EQ(kept[0], 0.25);
  EXPECT_EQ(kept[1], 0.5);
}

// Expected pixels of `text` drawn with its cell tops on window row `top`
// (counted from the bottom, exclusive) from pixel column `left`: coverage
// times colour, over black.
std::vector<unsigned char> expected_pixels(const font_test::grey_image& atlas, const glfont_info& info,
                                           const std::string& text, int left, int top, const float colour[4]) {
  std::vector<unsigned char> px(static_cast<size_t>(4 * W * H), 0);
  int pen = left;
  for (char ch : text) {
    const glyph_row& g = info.glyphs[ch - 32];
    for (int r = 0; r < info.pixel_size; ++r)
      for (int c = 0; c < g.advance; ++c) {
        const int wx = pen + c, wy = top - 1 - r;
        if (wx < 0 || wx >= W || wy < 0 || wy >= H) continue;
        const double cover = atlas.at(g.x + c, g.y + r);
        for (int k = 0; k < 4; ++k)
          px[static_cast<size_t>(4 * (wy * W + wx) + k)] =
              static_cast<unsigned char>(std::lround(cover * colour[k]));
      }
    pen += g.advance;
  }
  return px;
}

// Largest difference of any channel, and where it is.
int max_difference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b, size_t* where) {
  int worst = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    const int d = std::abs(static_cast<int>(a[i]) - static_cast<int>(b[i]));
    if (d > worst) worst = d, *where = i;
  }
  return worst;
}

std::vector<unsigned char> draw_and_read(glfont& font, const std::string& text, int left, int top,
                                         const float colour[4]) {
  glClear(GL_COLOR_BUFFER_BIT);
  const int viewport[4] = {0, 0, W, H};
  double position[3] = {-1.0 + left * 2.0 / W, -1.0 + top * 2.0 / H, 0.0};
  const double offset[2] = {0.0, 0.0};
  font.draw_text(text, viewport, position, offset, colour, false);
  return gl_test::read_back(0, 0, W, H);
}

void check_text_pixels(glfont& font, bool with_programs, int number) {
  const glfont_info& info = glfont_table[number];
  const font_test::grey_image atlas = font_test::load_atlas(info.pixel_size);
  ASSERT_EQ(atlas.width, info.atlas_width);
  const float colour[4] = {1.0f, 0.5f, 0.25f, 1.0f};
  const struct {
    std::string text;
    int left, top;
  } cases[] = {{"M", 17, 100}, {"AM", 3, 60}, {"g~W", 40, 120}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text + (with_programs ? " through the program" : " fixed-function"));
    const std::vector<unsigned char> expected = expected_pixels(atlas, info, c.text, c.left, c.top, colour);
    const std::vector<unsigned char> drawn = draw_and_read(font, c.text, c.left, c.top, colour);
    size_t where = 0;
    EXPECT_LE(max_difference(drawn, expected, &where), 1)
        << "at pixel " << (where / 4) % W << ", " << (where / 4) / W << " channel " << where % 4;
  }
}

TEST_F(GlfontGl, FixedFunctionPathDrawsTheAtlasTimesTheColour) {
  check_text_pixels(make(0, false), false, 0);
  check_text_pixels(make(3, false), false, 3);
  // A set whose programs lack the font program draws fixed-function too.
  if (programs_possible()) {
    glfont& font = make_with(0, 1u << shader::kNoLight2D);
    ASSERT_EQ(set_->installed_mask, 1u << shader::kNoLight2D);
    check_text_pixels(font, false, 0);
  }
}

TEST_F(GlfontGl, ProgramPathDrawsTheSamePixelsAsFixedFunction) {
  if (!programs_possible()) GTEST_SKIP() << "needs OpenGL 3.0";
  glfont& font = make(0, true);
  ASSERT_EQ(set_->installed_mask, shader::kViewMask);
  check_text_pixels(font, true, 0);

  const float colour[4] = {0.2f, 0.9f, 0.6f, 1.0f};
  const std::vector<unsigned char> through_program = draw_and_read(*font_, "M", 30, 90, colour);
  make(0, false);
  const std::vector<unsigned char> fixed = draw_and_read(*font_, "M", 30, 90, colour);
  size_t where = 0;
  EXPECT_LE(max_difference(through_program, fixed, &where), 1) << "at byte " << where;
  size_t inked = 0;
  for (size_t i = 0; i < fixed.size(); i += 4) inked += fixed[i + 1] > 0;
  EXPECT_GT(inked, 20u);
}

TEST_F(GlfontGl, AlphaTestWithoutBlending) {
  make(1, false);
  font_->set_blend(false);
  const glfont_info& info = glfont_table[1];
  const font_test::grey_image atlas = font_test::load_atlas(info.pixel_size);
  const float colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  glClearColor(0.0f, 0.0f, 1.0f, 1.0f);  // blue shows where nothing was drawn
  const std::vector<unsigned char> drawn = draw_and_read(*font_, "M", 10, 100, colour);
  glClearColor(0, 0, 0, 0);
  const glyph_row& g = info.glyphs['M' - 32];
  int checked = 0;
  for (int r = 0; r < info.pixel_size; ++r)
    for (int c = 0; c < g.advance; ++c) {
      const int cover = atlas.at(g.x + c, g.y + r);
      if (std::abs(cover - 128) <= 2) continue;  // too near the threshold to call
      const size_t i = static_cast<size_t>(4 * ((100 - 1 - r) * W + 10 + c));
      if (cover > 128) {
        EXPECT_NEAR(drawn[i], cover, 1) << c << "," << r;  // replaced, not blended
        EXPECT_NEAR(drawn[i + 2], cover, 1) << c << "," << r;
      } else {
        EXPECT_EQ(drawn[i], 0) << c << "," << r;
        EXPECT_EQ(drawn[i + 2], 255) << c << "," << r;
      }
      ++checked;
    }
  EXPECT_GT(checked, 100);
}

// Inside the 3D view's translucency pass the caller's blend function holds;
// outside it the text is blended over with (one, one minus source alpha).
TEST_F(GlfontGl, TranslucencyPassKeepsTheCallersBlendFunction) {
  glfont& font = make(0, false);
  const glfont_info& info = glfont_table[0];
  const font_test::grey_image atlas = font_test::load_atlas(info.pixel_size);
  const glyph_row& g = info.glyphs['M' - 32];
  const float white[4] = {1, 1, 1, 1};
  const int viewport[4] = {0, 0, W, H};
  const double none[2] = {0.0, 0.0};
  for (bool pass : {false, true}) {
    glClearColor(0.4f, 0.4f, 0.4f, 1.0f);  // 102
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    double position[3] = {-1.0 + 8 * 2.0 / W, -1.0 + 50 * 2.0 / H, 0.0};
    font.draw_text("M", viewport, position, none, white, pass);
    glDisable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
    const std::vector<unsigned char> px = gl_test::read_back(0, 0, W, H);
    int checked = 0;
    for (int r = 0; r < info.pixel_size; ++r)
      for (int c = 0; c < g.advance; ++c) {
        const int cover = atlas.at(g.x + c, g.y + r);
        if (cover == 0) continue;  // the alpha test drops these
        const double expect = pass ? std::min(255.0, 102.0 + cover) : cover + 102.0 * (1.0 - cover / 255.0);
        EXPECT_NEAR(px[static_cast<size_t>(4 * ((50 - 1 - r) * W + 8 + c))], expect, 1.0)
            << (pass ? "in" : "outside") << " the pass at " << c << "," << r;
        ++checked;
      }
    EXPECT_GT(checked, 20);
  }
}

struct gl_state {
  GLint active_unit, texture0, array_buffer, program, alpha_func, src_rgb, dst_rgb, src_a, dst_a, mode;
  GLfloat alpha_ref;
  GLboolean texturing, alpha_test, blending, vertex_array, texcoord_array;
  GLint attrib_enabled[3];
  GLfloat projection[16], modelview[16];

  static gl_state now() {
    gl_state s{};
    glGetIntegerv(GL_ACTIVE_TEXTURE, &s.active_unit);
    GLint unit = s.active_unit;
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &s.texture0);
    s.texturing = glIsEnabled(GL_TEXTURE_2D);
    glActiveTexture(static_cast<GLenum>(unit));
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &s.array_buffer);
    glGetIntegerv(GL_CURRENT_PROGRAM, &s.program);
    glGetIntegerv(GL_ALPHA_TEST_FUNC, &s.alpha_func);
    glGetFloatv(GL_ALPHA_TEST_REF, &s.alpha_ref);
    glGetIntegerv(GL_BLEND_SRC_RGB, &s.src_rgb);
    glGetIntegerv(GL_BLEND_DST_RGB, &s.dst_rgb);
    glGetIntegerv(GL_BLEND_SRC_ALPHA, &s.src_a);
    glGetIntegerv(GL_BLEND_DST_ALPHA, &s.dst_a);
    glGetIntegerv(GL_MATRIX_MODE, &s.mode);
    s.alpha_test = glIsEnabled(GL_ALPHA_TEST);
    s.blending = glIsEnabled(GL_BLEND);
    s.vertex_array = glIsEnabled(GL_VERTEX_ARRAY);
    s.texcoord_array = glIsEnabled(GL_TEXTURE_COORD_ARRAY);
    for (GLuint i = 0; i < 3; ++i) glGetVertexAttribiv(i, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &s.attrib_enabled[i]);
    glGetFloatv(GL_PROJECTION_MATRIX, s.projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, s.modelview);
    return s;
  }
};

void expect_same(const gl_state& a, const gl_state& b) {
  EXPECT_EQ(a.active_unit, b.active_unit);
  EXPECT_EQ(a.texture0, b.texture0);
  EXPECT_EQ(a.texturing, b.texturing);
  EXPECT_EQ(a.array_buffer, b.array_buffer);
  EXPECT_EQ(a.program, b.program);
  EXPECT_EQ(a.alpha_func, b.alpha_func);
  EXPECT_EQ(a.alpha_ref, b.alpha_ref);
  EXPECT_EQ(a.src_rgb, b.src_rgb);
  EXPECT_EQ(a.dst_rgb, b.dst_rgb);
  EXPECT_EQ(a.src_a, b.src_a);
  EXPECT_EQ(a.dst_a, b.dst_a);
  EXPECT_EQ(a.mode, b.mode);
  EXPECT_EQ(a.alpha_test, b.alpha_test);
  EXPECT_EQ(a.blending, b.blending);
  EXPECT_EQ(a.vertex_array, b.vertex_array);
  EXPECT_EQ(a.texcoord_array, b.texcoord_array);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(a.attrib_enabled[i], b.attrib_enabled[i]) << i;
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(a.projection[i], b.projection[i]) << i;
    EXPECT_EQ(a.modelview[i], b.modelview[i]) << i;
  }
}

TEST_F(GlfontGl, DrawingGivesBackTheStateItChanged) {
  for (bool with_programs : {false, true}) {
    if (with_programs && !programs_possible()) continue;
    SCOPED_TRACE(with_programs ? "program path" : "fixed-function path");
    for (bool blend : {true, false}) {
      for (int variant = 0; variant < 2; ++variant) {
        glfont& font = make(0, with_programs);
        font.set_blend(blend);
        // Two unlike starting states: everything off, and everything on with
        // other functions, another texture, buffer, unit and matrices.
        GLuint other_texture = 0, other_buffer = 0;
        glGenTextures(1, &other_texture);
        glGenBuffers(1, &other_buffer);
        glActiveTexture(GL_TEXTURE0);
        if (variant == 0) {
          glBindTexture(GL_TEXTURE_2D, 0);
          glDisable(GL_TEXTURE_2D);
          glDisable(GL_ALPHA_TEST);
          glDisable(GL_BLEND);
          glBindBuffer(GL_ARRAY_BUFFER, 0);
          glAlphaFunc(GL_ALWAYS, 0.0f);
          glBlendFunc(GL_ONE, GL_ZERO);
        } else {
          glBindTexture(GL_TEXTURE_2D, other_texture);
          glEnable(GL_TEXTURE_2D);
          glEnable(GL_ALPHA_TEST);
          glEnable(GL_BLEND);
          glBindBuffer(GL_ARRAY_BUFFER, other_buffer);
          glAlphaFunc(GL_LESS, 0.25f);
          glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE);
          glMatrixMode(GL_PROJECTION);
          glLoadIdentity();
          glOrtho(0, 10, 0, 5, -1, 1);
          glActiveTexture(GL_TEXTURE3);
        }
        const gl_state before = gl_state::now();
        const int viewport[4] = {0, 0, W, H};
        double position[3] = {-0.5, 0.5, 0.0};
        const double offset[2] = {0.0, 0.0};
        const float colour[4] = {0.5f, 0.5f, 0.5f, 1.0f};
        font.draw_text("Norvelith", viewport, position, offset, colour, false);
        const gl_state after = gl_state::now();
        SCOPED_TRACE(variant == 0 ? "from all off" : "from all on");
        SCOPED_TRACE(blend ? "blending" : "alpha test");
        expect_same(before, after);

        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, 0);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glDeleteTextures(1, &other_texture);
        glDeleteBuffers(1, &other_buffer);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_ALPHA_TEST);
        glDisable(GL_BLEND);
      }
    }
  }
}

TEST_F(GlfontGl, FixedFunctionLeavesTheCurrentColourAsGiven) {
  glfont& font = make(0, false);
  glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
  const int viewport[4] = {0, 0, W, H};
  double position[3] = {0.0, 0.0, 0.0};
  const double offset[2] = {0.0, 0.0};
  const float colour[4] = {0.75f, 0.5f, 0.25f, 1.0f};
  font.draw_text("x", viewport, position, offset, colour, false);
  GLfloat now[4] = {};
  glGetFloatv(GL_CURRENT_COLOR, now);
  for (int k = 0; k < 4; ++k) EXPECT_FLOAT_EQ(now[k], colour[k]) << k;
}

// Run once more with MESA_GL_VERSION_OVERRIDE=2.1: the context must really be
// 2.1 there, so that the fixed-function tests ran without OpenGL 3.
TEST_F(GlfontGl, FixedFunctionVersionOverrideTookEffect) {
  const char* forced = std::getenv("MESA_GL_VERSION_OVERRIDE");
  if (forced == nullptr || std::string(forced) != "2.1") GTEST_SKIP() << "not forced to 2.1";
  EXPECT_EQ(gl_test::gl_version(), 21);
}

}  // namespace
