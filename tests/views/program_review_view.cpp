// The review view in the real program: a user opens a native recording and
// its current frame appears on the screen.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <wx/init.h>

#include "app/native_fixture.h"
#include "common/program_child.h"
#include "common/recording_files.h"
#include "screen_capture.h"

namespace fs = std::filesystem;

namespace {

constexpr int W = 48, H = 32;

// Frame 0 of the fixture, shown in grey.
uint8_t frame0(int c, int r) { return static_cast<uint8_t>(recording_frame(0, W, H)[r * W + c]); }

// Where the whole frame appears pixel for pixel on the screen; false when it does not.
bool find_frame(const std::vector<uint8_t>& s, int sw, int sh, int& at_x, int& at_y) {
  auto grey = [&](int x, int y, uint8_t v) {
    const uint8_t* p = &s[(static_cast<size_t>(y) * sw + x) * 3];
    return p[0] == v && p[1] == v && p[2] == v;
  };
  for (int y = 0; y + H <= sh; ++y)
    for (int x = 0; x + W <= sw; ++x) {
      if (!grey(x, y, frame0(0, 0)) || !grey(x + 1, y, frame0(1, 0)) || !grey(x + W - 1, y, frame0(W - 1, 0)))
        continue;
      bool all = true;
      for (int r = 0; r < H && all; ++r)
        for (int c = 0; c < W && all; ++c) all = grey(x + c, y + r, frame0(c, r));
      if (all) {
        at_x = x;
        at_y = y;
        return true;
      }
    }
  return false;
}

using Program = program_child_test;

TEST_F(Program, OpenedRecordingShowsItsCurrentFrameOnScreen) {
  const fs::path data = root_ / "data" / "scan.hm";
  ASSERT_TRUE(write_native_fixture(wxString::FromUTF8(data.string()), 2, W, H));
  // The user keeps the zoom at 1 rather than fitting frames to the window,
  // and the recording was saved that way.
  std::ofstream(root_ / "cfg" / "norvelith.ini") << "RES_LOCK_ZOOM=1\n";
  std::string text;
  {
    std::ifstream in(data);
    text.assign(std::istreambuf_iterator<char>(in), {});
  }
  const size_t at = text.find("RES_LOCK_ZOOM false");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, 19, "RES_LOCK_ZOOM true");
  std::ofstream(data, std::ios::trunc) << text;
  start({"dir=" + (root_ / "cfg").string(), data.string()});

  int screen_w = 0, screen_h = 0;
  screen_size(screen_w, screen_h);
  ASSERT_GT(screen_w, 0) << "no display";
  int x = -1, y = -1;
  bool found = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
  while (!found && std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid_, &status, WNOHANG), 0) << "norvelith ended early (" << exit_text(status) << "): " << child_output();
    // A read can fail while the server is busy; the next one is tried.
    const std::vector<uint8_t> s = screenshot(wxPoint(0, 0), screen_w, screen_h);
    found = !s.empty() && find_frame(s, screen_w, screen_h, x, y);
    if (!found) std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  EXPECT_TRUE(found) << "frame 0 never appeared on the screen";
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  wxInitializer base;
  return RUN_ALL_TESTS();
}
