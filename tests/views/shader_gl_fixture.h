// A test with the shared OpenGL context current and no error pending; the
// shader tests' common checks.
#pragma once

#include <gtest/gtest.h>

#include "views/gl_test_support.h"

class ShaderGl : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gl_test::make_current());
    if (gl_test::gl_version() < 30) GTEST_SKIP() << "needs OpenGL 3.0";
    while (glGetError() != GL_NO_ERROR) {
    }
  }
  void TearDown() override {
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }
};

// No program or shader object left in the context: names deleted with their
// set are no longer programs or shaders.
inline bool no_gl_objects_left() {
  for (GLuint name = 1; name < 2000; ++name)
    if (glIsProgram(name) || glIsShader(name)) return false;
  return true;
}

inline GLint current_program() {
  GLint p = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &p);
  return p;
}

