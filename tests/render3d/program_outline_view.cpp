// The 3D view in the real program: a user opens a native recording with
// probe positions and the red outline of the current frame appears on the
// screen, the frame itself inside it; the arrow keys turn it where an
// orthographic projection puts it, and a click with the mark tool places a
// landmark on the frame that the saved file keeps.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
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
// left and top: the outline's left column and its highest row.
bool find_outline(const std::vector<uint8_t>& s, int sw, int sh, int& width, int& height, int* left = nullptr,
                  int* top_row = nullptr) {
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
            if (left) *left = x;
            if (top_row) *top_row = y;
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
    ASSERT_EQ(::waitpid(pid_, &status, WNOHANG), 0) << "norvelith ended early (" << exit_text(status) << "): " << child_output();
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

// Runs xdotool on the program's display; true when it succeeded.
bool xdotool(const std::string& args) { return std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()) == 0; }

struct outline_at {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const outline_at& o) const {
    return left == o.left && top == o.top && width == o.width && height == o.height;
  }
};

// The outline's left and right edges: the columns whose longest vertical red
// run is (within 3 pixels) the longest on the screen, at least 40 pixels;
// the labels beside its corners are shorter. Its corners may meet only
// diagonally, so the edges are found apart from the rows.
bool vertical_edges(const std::vector<uint8_t>& s, int sw, int sh, outline_at& o) {
  std::vector<int> run(size_t(sw), 0), start(size_t(sw), 0);
  int longest = 0;
  for (int x = 0; x < sw; ++x)
    for (int y = 0, len = 0; y < sh; ++y) {
      len = red(s, sw, x, y) ? len + 1 : 0;
      if (len > run[size_t(x)]) run[size_t(x)] = len, start[size_t(x)] = y - len + 1;
      longest = std::max(longest, len);
    }
  if (longest < 40) return false;
  int left = -1, right = -1;
  for (int x = 0; x < sw; ++x)
    if (run[size_t(x)] >= longest - 3) {
      if (left < 0) left = x;
      right = x;
    }
  if (right - left < 8) return false;
  o.left = left;
  o.width = right - left;
  o.top = start[size_t(left)];
  o.height = run[size_t(left)] - 1;
  return true;
}

// The outline once two screenshots in a row agree on it and `accept` takes it.
bool settled_outline(pid_t pid, outline_at& out, const std::function<bool(const outline_at&)>& accept) {
  int sw = 0, sh = 0;
  screen_size(sw, sh);
  outline_at last;
  bool have_last = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) != 0) return false;
    const std::vector<uint8_t> s = screenshot(wxPoint(0, 0), sw, sh);
    outline_at o;
    if (!s.empty() && vertical_edges(s, sw, sh, o) && accept(o)) {
      if (have_last && o == last) {
        out = o;
        return true;
      }
      last = o;
      have_last = true;
    } else {
      have_last = false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
  }
  return false;
}

TEST_F(Program, ArrowKeysTurnTheViewAndTheMarkToolPlacesALandmarkThatIsSaved) {
  ASSERT_TRUE(xdotool("version")) << "xdotool is needed (scripts/deps.sh installs it)";
  const fs::path data = root_ / "data" / "turn.hm";
  ASSERT_TRUE(write_native_fixture(wxString::FromUTF8(data.string()), 3, W, H));
  // An orthographic view, and the right button works as the mark tool
  // (override 4: the third tool).
  std::string text;
  {
    std::ifstream in(data);
    text.assign(std::istreambuf_iterator<char>(in), {});
  }
  const std::string angle = "RES_OUTLINE_VIEW_ANGLE 40";
  const size_t at = text.find(angle);
  ASSERT_NE(at, std::string::npos);
  text.replace(at, angle.size(), "RES_OUTLINE_VIEW_ANGLE 0");
  std::ofstream(data, std::ios::binary) << text;
  std::ofstream(root_ / "cfg" / "norvelith.ini") << "RES_MOUSE_RIGHT_OVERRIDE=4\n";
  double xs = 0.0, ys = 0.0;
  {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
      if (line.rfind("RES_XSCALE ", 0) == 0) xs = std::stod(line.substr(11));
      if (line.rfind("RES_YSCALE ", 0) == 0) ys = std::stod(line.substr(11));
    }
  }
  ASSERT_GT(xs, 0.0);
  ASSERT_GT(ys, 0.0);
  start({"dir=" + (root_ / "cfg").string(), data.string()});

  outline_at head_on;
  ASSERT_TRUE(settled_outline(pid_, head_on, [](const outline_at&) { return true; })) << "no red outline: " << child_output();
  // Head on, frame 0 (z = 0) lies in front of the stack's centre (z = 0.1 cm):
  // k pixels a centimetre, the centre of gravity in the middle of the outline.
  const double k = head_on.width / (W * xs);
  const double cx = head_on.left + head_on.width / 2.0;
  const int bottom = head_on.top + head_on.height;  // frame row 0; rows grow upwards
  EXPECT_NEAR(head_on.height / k, H * ys, 2.0 / k);

  // The mark tool by the right button in the middle of the frame: a landmark
  // where the pointer meets the frame.
  const int px = static_cast<int>(std::lround(cx)) + 7, py = head_on.top + head_on.height / 2 - 5;
  ASSERT_TRUE(xdotool("mousemove " + std::to_string(px) + " " + std::to_string(py)));
  ASSERT_TRUE(xdotool("click 3"));
  ASSERT_TRUE(xdotool("key ctrl+s"));
  double lx = 0, ly = 0, lz = 0;
  bool saved = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!saved && std::chrono::steady_clock::now() < deadline) {
    std::ifstream in(data);
    std::string line;
    while (std::getline(in, line))
      if (line.rfind("LANDMARK ", 0) == 0 && line.find("Landmark 1") != std::string::npos) {
        std::istringstream fields(line.substr(9));
        saved = static_cast<bool>(fields >> lx >> ly >> lz);
      }
    if (!saved) std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  ASSERT_TRUE(saved) << "no saved \"Landmark 1\"";
  EXPECT_NEAR(lx, W * xs / 2 + (px - cx) / k, 2.0 / k);
  EXPECT_NEAR(ly, (bottom - py) / k, 2.0 / k);
  // On the frame, to the depth buffer's 16 bits over a scene of a few centimetres.
  EXPECT_NEAR(lz, 0.0, 0.002);

  // Nine presses of Right turn the view by 45 degrees about its vertical:
  // x on the screen is k (p - c).(cos b, 0, sin b) about the centre c.
  ASSERT_TRUE(xdotool("mousemove " + std::to_string(px) + " " + std::to_string(py) + " click 1"));
  ASSERT_TRUE(xdotool("key --delay 60 Right Right Right Right Right Right Right Right Right"));
  outline_at turned;
  ASSERT_TRUE(settled_outline(pid_, turned, [&](const outline_at& o) { return o.width < head_on.width - 20; }))
      << "the outline did not turn";
  const double b = 45.0 * 3.141592653589793 / 180.0, half = W * xs / 2;
  const double left = cx + k * (-half * std::cos(b) - 0.1 * std::sin(b));
  const double right = cx + k * (half * std::cos(b) - 0.1 * std::sin(b));
  EXPECT_NEAR(turned.left, left, 2.0);
  EXPECT_NEAR(turned.left + turned.width, right, 2.0);
  EXPECT_NEAR(turned.height, head_on.height, 2.0);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  wxInitializer base;
  return RUN_ALL_TESTS();
}
