// Start-up of the OpenGL view tests: a toolkit application, one frame with a
// GL canvas and its context, GLEW initialised.
#include "views/gl_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/glcanvas.h>
#include <wx/init.h>

namespace {

wxFrame* frame = nullptr;
wxGLCanvas* canvas = nullptr;
wxGLContext* context = nullptr;

// Shows the frame and lets the toolkit map it: waits until the canvas has
// its full size.
bool show_window() {
  wxGLAttributes attrs;
  attrs.PlatformDefaults().RGBA().DoubleBuffer().Depth(16).MinRGBA(8, 8, 8, 8).EndList();
  if (!wxGLCanvas::IsDisplaySupported(attrs)) return false;
  frame = new wxFrame(nullptr, wxID_ANY, "gl", wxDefaultPosition, wxDefaultSize);
  canvas = new wxGLCanvas(frame, attrs, wxID_ANY, wxDefaultPosition,
                          wxSize(gl_test::kWidth, gl_test::kHeight));
  frame->SetClientSize(gl_test::kWidth, gl_test::kHeight);
  frame->Show();
  for (int i = 0; i < 2000; ++i) {
    wxTheApp->Yield(true);
    if (canvas->IsShownOnScreen() && canvas->GetClientSize() == wxSize(gl_test::kWidth, gl_test::kHeight))
      break;
    wxMilliSleep(5);
  }
  context = new wxGLContext(canvas);
  if (!context->IsOK() || !canvas->SetCurrent(*context)) return false;
  glewExperimental = GL_TRUE;
  GLenum err = glewInit();
  // GLEW built for GLX reports "no GLX display" under EGL, yet its entry
  // points are usable.
  return err == GLEW_OK || err == GLEW_ERROR_NO_GLX_DISPLAY;
}

}  // namespace

namespace gl_test {

bool make_current() { return canvas != nullptr && context != nullptr && canvas->SetCurrent(*context); }

int gl_version() {
  const char* v = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  int major = 0, minor = 0;
  if (v == nullptr || std::sscanf(v, "%d.%d", &major, &minor) != 2) return 0;
  return major * 10 + minor;
}

std::string runtime_dir() { return NV_RUNTIME_DIR; }

std::vector<unsigned char> read_back(int x, int y, int w, int h) {
  std::vector<unsigned char> px(static_cast<size_t>(4 * w * h));
  glFinish();
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
  return px;
}

temp_dir::temp_dir() {
  std::random_device rd;
  std::filesystem::path p;
  do {
    p = std::filesystem::temp_directory_path() / ("nv-views-" + std::to_string(rd()));
  } while (std::filesystem::exists(p));
  std::filesystem::create_directories(p / "shaders");
  path_ = p.string();
}

temp_dir::~temp_dir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void temp_dir::write(const std::string& name, const std::string& text) const {
  std::ofstream out(std::filesystem::path(path_) / name, std::ios::binary);
  out << text;
}

void temp_dir::copy_shaders() const {
  for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(runtime_dir()) / "shaders"))
    std::filesystem::copy_file(e.path(), std::filesystem::path(path_) / "shaders" / e.path().filename(),
                               std::filesystem::copy_options::overwrite_existing);
}

}  // namespace gl_test

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  wxApp::SetInstance(new wxApp);
  if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) {
    std::fprintf(stderr, "cannot initialise the toolkit (no display?)\n");
    return 1;
  }
  if (!show_window()) {
    std::fprintf(stderr, "cannot set up an OpenGL context\n");
    return 1;
  }
  int rc = RUN_ALL_TESTS();
  delete context;
  frame->Destroy();
  wxTheApp->OnExit();
  wxEntryCleanup();
  return rc;
}
