// The 3D view in the real program: a user opens a native recording with
// probe positions and the red outline of the current frame appears on the
// screen, the frame itself inside it.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>
#include <wx/init.h>

#include "app/native_fixture.h"
#include "common/program_child.h"
#include "common/recording_files.h"
#include "views/screen_capture.h"

namespace fs = std::filesystem;

namespace {

constexpr int W = 48, H = 32;

bool red(const std::vector<uint8_t>& s, int sw, int x, int y) {
  const uint8_t* p = &s[(static_cast<size_t>(y) * sw + x) * 3];
  // The frame at half opacity lies over its outline: red shows blended.
  return p[0] - std::max(p[1], p[2]) > 80;
}

// A red column of at least 12 pixels joined along its top or bottom row by
// red to another red column of the same length (the outline's left, near and
// right edges; frame rows grow upwards), with something other than red
// between the columns. width and height: the outline's size in pixels
// between the middles of its edges.
bool find_outline(const std::vector<uint8_t>& s, int sw, int sh, int& width, int& height) {
  auto column = [&](int x, int y) {
    int len = 0;
    while (y + len < sh && red(s, sw, x, y + len)) ++len;
    return len;
  };
  for (int x = 0; x < sw; ++x)
    for (int y = 0; y + 12 < sh; ++y) {
      if (!red(s, sw, x, y) || (y > 0 && red(s, sw, x, y - 1))) continue;
      const int len = column(x, y);
      if (len < 12) continue;
      for (int edge : {y, y + len - 1}) {
        int right = x;
        while (right + 1 < sw && red(s, sw, right + 1, edge)) ++right;
        for (int x2 = right; x2 > x + 8; --x2) {
          if (!red(s, sw, x2, edge)) continue;
          int top = edge;
          while (top > 0 && red(s, sw, x2, top - 1)) --top;
          if (std::abs(column(x2, top) - len) <= 2 && !red(s, sw, (x + x2) / 2, y + len / 2)) {
            width = x2 - x;
            height = len - 1;
            return true;
          }
        }
      }
    }
  return false;
}

using Program = program_child_test;

TEST_F(Program, OpenedRecordingShowsTheCurrentFrameOutlinedInRed) {
  const fs::path data = root_ / "data" / "scan.hm";
  ASSERT_TRUE(write_native_fixture(wxString::FromUTF8(data.string()), 3, W, H));
  start({"dir=" + (root_ / "cfg").string(), data.string()});

  int screen_w = 0, screen_h = 0;
  screen_size(screen_w, screen_h);
  ASSERT_GT(screen_w, 0) << "no display";
  // The outline's left and right edges: two vertical runs of pure red of one
  // length, and between them, half way down, not the background.
  bool found = false;
  int width = 0, height = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
  while (!found && std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid_, &status, WNOHANG), 0) << "norvelith ended early";
    const std::vector<uint8_t> s = screenshot(wxPoint(0, 0), screen_w, screen_h);
    found = !s.empty() && find_outline(s, screen_w, screen_h, width, height);
    if (!found) std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  ASSERT_TRUE(found) << "no red frame outline appeared on the screen";
  // Seen head on, the outline keeps the frame's proportions in centimetres:
  // W x RES_XSCALE across and H x RES_YSCALE up, as the file records them.
  std::ifstream in(data);
  std::string line;
  double xs = 0.0, ys = 0.0;
  while (std::getline(in, line)) {
    if (line.rfind("RES_XSCALE ", 0) == 0) xs = std::stod(line.substr(11));
    if (line.rfind("RES_YSCALE ", 0) == 0) ys = std::stod(line.substr(11));
  }
  ASSERT_GT(xs, 0.0);
  ASSERT_GT(ys, 0.0);
  EXPECT_NEAR(width, height * (W * xs) / (H * ys), 2.0) << width << " x " << height;
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  wxInitializer base;
  return RUN_ALL_TESTS();
}
