// One OpenGL window for the whole test program, made current before each
// test; the canvas holds the back buffer that rendering tests read back.
#pragma once

#include <GL/glew.h>

#include <string>
#include <vector>

class wxGLCanvas;

namespace gl_test {

constexpr int kWidth = 256;
constexpr int kHeight = 128;

// Makes the test context current; false when it could not be made.
bool make_current();
// Major * 10 + minor of the context's version.
int gl_version();
// The program's run-time folder holding "shaders".
std::string runtime_dir();

// Pixels of the back buffer, RGBA, bottom row first.
std::vector<unsigned char> read_back(int x, int y, int w, int h);

// A folder of its own under the temporary folder, removed with the object.
class temp_dir {
 public:
  temp_dir();
  ~temp_dir();
  const std::string& path() const { return path_; }
  void write(const std::string& name, const std::string& text) const;
  // Copies every file of runtime_dir()/shaders into path()/shaders.
  void copy_shaders() const;

 private:
  std::string path_;
};

}  // namespace gl_test
