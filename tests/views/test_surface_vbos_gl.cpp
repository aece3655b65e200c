// A surface uploaded into real buffer objects on the test's OpenGL context
// (Mesa under Xvfb) and read back with glGetBufferSubData.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "common/log_capture.h"
#include "data/objects.h"
#include "surfaces/surface_interp.h"
#include "tools/headless_session.h"
#include "views/gl_test_support.h"
#include "views/surface_gl_buffers.h"

namespace {

// The real calls, with an out-of-memory error reported once after the upload.
class out_of_memory_once : public gl_surface_buffers {
 public:
  bool armed = false;
  bool defined = false;
  error get_error() override {
    const error real = gl_surface_buffers::get_error();
    if (armed && defined) {
      armed = false;
      return out_of_memory;
    }
    return real;
  }
  void define(target t, size_t size, const void* data) override {
    defined = true;
    gl_surface_buffers::define(t, size, data);
  }
};

class SurfaceVbosGl : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gl_test::make_current());
    glGenBuffers(2, names);
    contour_object& o = resource_table->RES_OBJECT->read()[0];
    o.colour = rgba_colour_t(40, 80, 160);
    o.opacity = 0.5;
    surface_mesh& m = s.mesh;
    m.n_points = 4;
    m.points = new surface_point[4];
    const double xyz[4][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0.25, 0.5, 2}};
    for (int i = 0; i < 4; ++i) {
      m.points[i].x = xyz[i][0], m.points[i].y = xyz[i][1], m.points[i].z = xyz[i][2];
      m.points[i].nz = 2.0 + i;  // normalised to (0, 0, 1)
      m.points[i].colour = uint8_t(60 * i);
    }
    m.n_triangles = 3;
    m.triangles = new surface_triangle[3]{{0, 1, 3, 2}, {0, 1, 2, 1}, {1, 2, 3, 0}};
  }
  void TearDown() override { glDeleteBuffers(2, names); }

  std::vector<uint8_t> read(GLenum target, GLuint name) {
    glBindBuffer(target, name);
    GLint size = 0;
    glGetBufferParameteriv(target, GL_BUFFER_SIZE, &size);
    std::vector<uint8_t> bytes(static_cast<size_t>(size), 0);
    if (size > 0) glGetBufferSubData(target, 0, size, bytes.data());
    glBindBuffer(target, 0);
    return bytes;
  }
  void upload(surface_buffer_api& gl, bool full) {
    s.generate_surface_vbos(gl, names[0], names[1], 0, full, vertices, drawn, undrawn);
  }

  headless_session session;
  surface_interp s;
  GLuint names[2] = {0, 0};
  int vertices = -1, drawn = -1, undrawn = -1;
};

}  // namespace

TEST_F(SurfaceVbosGl, BuffersReadBack) {
  gl_surface_buffers gl;
  upload(gl, true);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  EXPECT_EQ(vertices, 4);
  EXPECT_EQ(drawn, 2);
  EXPECT_EQ(undrawn, 1);
  const std::vector<uint8_t> vb = read(GL_ARRAY_BUFFER, names[0]);
  ASSERT_EQ(vb.size(), 28u * 4);
  std::vector<float> f(24);
  std::memcpy(f.data(), vb.data(), 96);
  EXPECT_EQ(f, (std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0, 0.25f, 0.5f, 2,
                                   0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}));
  const std::vector<uint8_t> colours(vb.begin() + 96, vb.end());
  EXPECT_EQ(colours, (std::vector<uint8_t>{40, 80, 160, 127, 40, 80, 160, 127, 40, 80, 160, 127,
                                           40, 80, 160, 127}));
  const std::vector<uint8_t> eb = read(GL_ELEMENT_ARRAY_BUFFER, names[1]);
  ASSERT_EQ(eb.size(), 36u);
  std::vector<uint32_t> idx(9);
  std::memcpy(idx.data(), eb.data(), 36);
  EXPECT_EQ(idx, (std::vector<uint32_t>{0, 1, 2, 1, 2, 3, 0, 1, 3}));

  // Each colour state, replaced alone: the positions and normals stay.
  struct row {
    const char* name;
    bool thickness;
    double compound;
    std::vector<uint8_t> first_two;
  };
  resource_table->RES_THICKNESS_DISP_COL->write(0);
  const row rows[] = {
      {"compounded", false, 0.2, {0, 0, 0, 127, 9, 18, 37, 127}},  // 60 * c / 255
      {"thickness", true, 0.2, {255, 255, 255, 127, 0, 0, 0, 127}},
      {"plain", false, 0, {40, 80, 160, 127, 40, 80, 160, 127}},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    s.compound_depth = r.compound;
    s.smoothed_thickness.assign(r.thickness ? 4 : 0, 1.0);
    upload(gl, false);
    const std::vector<uint8_t> after = read(GL_ARRAY_BUFFER, names[0]);
    ASSERT_EQ(after.size(), vb.size());
    EXPECT_TRUE(std::equal(vb.begin(), vb.begin() + 96, after.begin()));
    const std::vector<uint8_t> first_two(after.begin() + 96, after.begin() + 104);
    if (r.thickness) {
      EXPECT_EQ(std::vector<uint8_t>(first_two.begin(), first_two.begin() + 4),
                std::vector<uint8_t>(r.first_two.begin(), r.first_two.begin() + 4));
    } else {
      EXPECT_EQ(first_two, r.first_two);
    }
  }
  EXPECT_EQ(read(GL_ELEMENT_ARRAY_BUFFER, names[1]), eb);
}

TEST_F(SurfaceVbosGl, OutOfMemoryEmptiesBothBuffers) {
  out_of_memory_once gl;
  gl.armed = true;
  log_capture log;
  upload(gl, true);
  EXPECT_TRUE(read(GL_ARRAY_BUFFER, names[0]).empty());
  EXPECT_TRUE(read(GL_ELEMENT_ARRAY_BUFFER, names[1]).empty());
  EXPECT_TRUE(log.has(wxLOG_Error, "GL_OUT_OF_MEMORY: insufficient graphics card memory for surface VBO"));
  EXPECT_EQ(vertices, 4);
  // The next upload fills them again.
  upload(gl, true);
  EXPECT_EQ(read(GL_ARRAY_BUFFER, names[0]).size(), 112u);
  EXPECT_EQ(read(GL_ELEMENT_ARRAY_BUFFER, names[1]).size(), 36u);
}
