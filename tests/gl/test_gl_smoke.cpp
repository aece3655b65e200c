// Every view draws through this path: a wxGLCanvas with the program's
// attribute list, GLEW initialised, OpenGL 3.0 or later, pixels read back.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/glcanvas.h>
#include <wx/init.h>

#include "common/wx_events.h"

namespace {

wxGLAttributes canvas_attributes() {
  wxGLAttributes attrs;
  attrs.PlatformDefaults().RGBA().DoubleBuffer().Depth(16).MinRGBA(8, 8, 8, 8).EndList();
  return attrs;
}

TEST(GlSmoke, CanvasGivesOpenGL3AndReadsBackAClearedColour) {
  wxGLAttributes attrs = canvas_attributes();
  ASSERT_TRUE(wxGLCanvas::IsDisplaySupported(attrs));

  auto* frame = new wxFrame(nullptr, wxID_ANY, "gl", wxDefaultPosition, wxSize(200, 150));
  auto* canvas = new wxGLCanvas(frame, attrs, wxID_ANY, wxDefaultPosition, wxSize(200, 150));
  frame->Show();
  ASSERT_TRUE(wait_until([canvas] { return canvas->IsShownOnScreen() && canvas->GetClientSize().x > 0; }));

  wxGLContext context(canvas);
  ASSERT_TRUE(context.IsOK());
  ASSERT_TRUE(canvas->SetCurrent(context));
  glewExperimental = GL_TRUE;
  GLenum err = glewInit();
  // GLEW built for GLX reports "no GLX display" under EGL, yet the entry
  // points are usable; anything else is a real failure.
  ASSERT_TRUE(err == GLEW_OK || err == GLEW_ERROR_NO_GLX_DISPLAY)
      << reinterpret_cast<const char*>(glewGetErrorString(err));

  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  ASSERT_NE(version, nullptr);
  int major = 0, minor = 0;
  ASSERT_EQ(std::sscanf(version, "%d.%d", &major, &minor), 2) << version;
  EXPECT_GE(major * 10 + minor, 30) << version;
  EXPECT_NE(glCreateShader, nullptr);

  GLint depth_bits = 0, alpha_bits = 0;
  glGetIntegerv(GL_DEPTH_BITS, &depth_bits);
  glGetIntegerv(GL_ALPHA_BITS, &alpha_bits);
  EXPECT_GE(depth_bits, 16);
  EXPECT_GE(alpha_bits, 8);

  wxSize size = canvas->GetClientSize();
  ASSERT_GT(size.x, 0);
  glViewport(0, 0, size.x, size.y);
  glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glFinish();
  std::vector<unsigned char> px(4 * 4);
  glReadBuffer(GL_BACK);
  glReadPixels(size.x / 2, size.y / 2, 2, 2, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(px[4 * i + 0], 64, 1);
    EXPECT_NEAR(px[4 * i + 1], 128, 1);
    EXPECT_NEAR(px[4 * i + 2], 191, 1);
  }
  frame->Destroy();
  pump_events();
}

}  // namespace
