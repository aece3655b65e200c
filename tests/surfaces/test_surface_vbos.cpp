// Vertex buffer contents through a recording buffer interface: the three
// blocks, the element order, the colour states, alpha, the colour-only
// upload and running out of graphics memory. (The same upload on a real
// OpenGL context is tested with the views.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "common/log_capture.h"
#include "data/objects.h"
#include "surface_file_support.h"
#include "surfaces/surface_vbos.h"
#include "surfaces/thickness_colour_table.h"
#include "tools/headless_session.h"

using namespace surface_files_test;

namespace {

class recording_buffers : public surface_buffer_api {
 public:
  std::map<unsigned, std::vector<uint8_t>> buffers;
  std::vector<std::string> calls;
  std::deque<error> pending;         // errors there before the upload
  error after_upload = no_error;     // reported once a buffer was defined
  bool defined = false;

  error get_error() override {
    if (!pending.empty()) {
      const error e = pending.front();
      pending.pop_front();
      return e;
    }
    if (defined && after_upload != no_error) {
      const error e = after_upload;
      after_upload = no_error;
      return e;
    }
    return no_error;
  }
  void bind(target t, unsigned name) override {
    bound_[t] = name;
    calls.push_back(std::string(t == array_buffer ? "bind array " : "bind element ") +
                    std::to_string(name));
  }
  void define(target t, size_t size, const void* data) override {
    defined = true;
    ASSERT_NE(bound_[t], 0u);
    std::vector<uint8_t>& b = buffers[bound_[t]];
    b.assign(size, 0xee);
    if (data && size) std::memcpy(b.data(), data, size);
    calls.push_back(std::string(t == array_buffer ? "define array " : "define element ") +
                    std::to_string(size));
  }
  void write(target t, size_t offset, size_t size, const void* data) override {
    ASSERT_NE(bound_[t], 0u);
    std::vector<uint8_t>& b = buffers[bound_[t]];
    ASSERT_LE(offset + size, b.size());
    if (size) std::memcpy(b.data() + offset, data, size);
    calls.push_back("write " + std::to_string(offset) + " " + std::to_string(size));
  }

 private:
  unsigned bound_[2] = {0, 0};
};

template <typename T>
std::vector<T> values(const std::vector<uint8_t>& b, size_t offset, size_t count) {
  std::vector<T> v(count);
  std::memcpy(v.data(), b.data() + offset, count * sizeof(T));
  return v;
}

class surface_vbos : public ::testing::Test {
 protected:
  void SetUp() override {
    contour_object& o = resource_table->RES_OBJECT->read()[1];
    o.colour = rgba_colour_t(200, 100, 50);
    o.opacity = 0.5;
    s.object = 1;
    set_mesh(s,
             {point(0.5, 1, 2, 0, 0, 3, 3, 0), point(1, 1, 2, 0, 4, 0, 3, 255),
              point(1, 2, 2, 0, 0, 0, 2, 128)},
             {{0, 1, 2, 2}, {2, 1, 0, 1}, {1, 2, 0, 2}, {0, 2, 1, 0}});
  }
  void upload(bool full) {
    s.generate_surface_vbos(gl, 7, 8, 1, full, vertices, drawn, undrawn);
  }

  headless_session session;
  surface_interp s;
  recording_buffers gl;
  int vertices = -1, drawn = -1, undrawn = -1;
};

}  // namespace

TEST_F(surface_vbos, FullUploadLayout) {
  gl.pending = {surface_buffer_api::other_error, surface_buffer_api::out_of_memory};
  log_capture log;
  upload(true);
  EXPECT_EQ(vertices, 3);
  EXPECT_EQ(drawn, 2);
  EXPECT_EQ(undrawn, 2);
  const std::vector<uint8_t>& vb = gl.buffers[7];
  ASSERT_EQ(vb.size(), 28u * 3);
  EXPECT_EQ(values<float>(vb, 0, 9),
            (std::vector<float>{0.5f, 1, 2, 1, 1, 2, 1, 2, 2}));
  EXPECT_EQ(values<float>(vb, 36, 9), (std::vector<float>{0, 0, 1, 0, 1, 0, 0, 0, 0}));
  // Object colour, alpha trunc(255 * 0.5) = 127.
  EXPECT_EQ(values<uint8_t>(vb, 72, 12),
            (std::vector<uint8_t>{200, 100, 50, 127, 200, 100, 50, 127, 200, 100, 50, 127}));
  // Drawn triangles first, then type 2, each in mesh order.
  EXPECT_EQ(values<uint32_t>(gl.buffers[8], 0, 12),
            (std::vector<uint32_t>{2, 1, 0, 0, 2, 1, 0, 1, 2, 1, 2, 0}));
  EXPECT_EQ(gl.calls, (std::vector<std::string>{
                          "bind array 7", "define array 84", "write 0 36", "write 36 36",
                          "write 72 12", "bind array 0", "bind element 8", "define element 48",
                          "bind element 0"}));
  EXPECT_TRUE(log.records().empty());  // errors from before are dropped
}

TEST_F(surface_vbos, ColourStates) {
  resource_table->RES_THICKNESS_DISP_COL->write(1);
  struct row {
    const char* name;
    bool thickness;
    double compound;
  };
  for (const row& r : {row{"thickness", true, 0}, row{"thickness and compound", true, 0.2},
                       row{"compounded", false, 0.2}, row{"plain", false, 0}}) {
    SCOPED_TRACE(r.name);
    s.smoothed_thickness.assign(r.thickness ? 3 : 0, 1.0);
    s.compound_depth = r.compound;
    upload(true);
    const std::vector<uint8_t> c = values<uint8_t>(gl.buffers[7], 72, 12);
    for (int i = 0; i < 3; ++i) {
      const unsigned index = s.mesh.points[i].colour;
      const unsigned obj[3] = {200, 100, 50};
      for (int k = 0; k < 3; ++k) {
        unsigned want = obj[k];
        if (r.thickness) want = thickness_colour_entry(1, int(index))[k];
        else if (r.compound) want = index * obj[k] / 255;
        EXPECT_EQ(c[4 * i + k], want) << i << " " << k;
      }
      EXPECT_EQ(c[4 * i + 3], 127);
    }
  }
  // Compounded: index 255 is the object's colour, 0 black; thickness index 0 the no-value grey.
  EXPECT_EQ(values<uint8_t>(gl.buffers[7], 72, 8),
            (std::vector<uint8_t>{200, 100, 50, 127, 200, 100, 50, 127}));
  s.compound_depth = 0.2;
  upload(true);
  EXPECT_EQ(values<uint8_t>(gl.buffers[7], 72, 8),
            (std::vector<uint8_t>{0, 0, 0, 127, 200, 100, 50, 127}));
  s.smoothed_thickness.assign(3, 1.0);
  upload(true);
  EXPECT_EQ(values<uint8_t>(gl.buffers[7], 72, 4), (std::vector<uint8_t>{127, 127, 127, 127}));
}

TEST_F(surface_vbos, ColourOnlyUpload) {
  upload(true);
  const std::vector<uint8_t> before = gl.buffers[7];
  const std::vector<uint8_t> elements = gl.buffers[8];
  gl.calls.clear();
  resource_table->RES_OBJECT->read()[1].colour = rgba_colour_t(1, 2, 3);
  drawn = undrawn = -5;
  upload(false);
  EXPECT_EQ(gl.calls, (std::vector<std::string>{"bind array 7", "write 72 12", "bind array 0"}));
  EXPECT_EQ(vertices, 3);
  EXPECT_EQ(drawn, -5);
  const std::vector<uint8_t>& after = gl.buffers[7];
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + 72, after.begin()));
  EXPECT_EQ(values<uint8_t>(after, 72, 4), (std::vector<uint8_t>{1, 2, 3, 127}));
  EXPECT_EQ(gl.buffers[8], elements);
}

TEST_F(surface_vbos, OutOfMemoryEmptiesBothBuffers) {
  gl.after_upload = surface_buffer_api::out_of_memory;
  log_capture log;
  upload(true);
  EXPECT_EQ(gl.buffers[7].size(), 0u);
  EXPECT_EQ(gl.buffers[8].size(), 0u);
  const std::vector<std::string> tail(gl.calls.end() - 6, gl.calls.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"bind array 7", "define array 0", "bind array 0",
                                             "bind element 8", "define element 0",
                                             "bind element 0"}));
  EXPECT_TRUE(log.has(wxLOG_Error, "GL_OUT_OF_MEMORY: insufficient graphics card memory for surface VBO"));
  EXPECT_EQ(vertices, 3);  // the counts set before stand
  EXPECT_EQ(drawn, 2);
  // Any other error is ignored.
  gl.after_upload = surface_buffer_api::other_error;
  log.clear();
  upload(true);
  EXPECT_EQ(gl.buffers[7].size(), 84u);
  EXPECT_TRUE(log.records().empty());
}

TEST_F(surface_vbos, EmptyAndAllCapSurfaces) {
  set_mesh(s, {}, {});
  upload(true);
  EXPECT_EQ(vertices, 0);
  EXPECT_EQ(drawn, 0);
  EXPECT_EQ(undrawn, 0);
  EXPECT_EQ(gl.buffers[7].size(), 0u);
  EXPECT_EQ(gl.buffers[8].size(), 0u);
  set_mesh(s, {point(0, 0, 0, 0, 0, 1), point(1, 0, 0, 0, 0, 1), point(0, 1, 0, 0, 0, 1)},
           {{0, 1, 2, 2}, {0, 2, 1, 2}});
  upload(true);
  EXPECT_EQ(drawn, 0);
  EXPECT_EQ(undrawn, 2);
  EXPECT_EQ(gl.buffers[8].size(), 24u);
}
