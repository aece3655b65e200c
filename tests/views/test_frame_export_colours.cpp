// Exported frame images show the frames through the colour map, as the views
// do: run through nv_tool export-frames on recordings whose display settings
// come from their files.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wx/image.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

#ifdef NV_TOOL_PATH

class frame_export_colours : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    dir_ = std::filesystem::temp_directory_path() /
           ("nv_cmap_export_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
    std::filesystem::create_directories(dir_);
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string at(const std::string& name) const { return (dir_ / name).string(); }

  // One frame of w x h pixels, with body lines after the frame record.
  void write_recording(const std::string& name, int w, int h, const std::vector<uint8_t>& pixels,
                       const std::string& body) {
    std::ofstream hm(at(name + ".hm"), std::ios::binary);
    hm << "RES_BUF_FRAMES 1\nRES_BUF_WIDTH " << w << "\nRES_BUF_HEIGHT " << h
       << "\nRES_POS_REC true\nRES_END_HEADER\nRES_VERSION 7.27\nRES_BIN_IM_FILENAME " << name
       << ".qzi\nIM 1000 0 0 0 0 0 0\n"
       << body;
    std::ofstream qzi(at(name + ".qzi"), std::ios::binary);
    qzi.write(reinterpret_cast<const char*>(pixels.data()),
              static_cast<std::streamsize>(pixels.size()));
  }

  int tool(const std::string& args) {
    const std::string cmd =
        std::string(NV_TOOL_PATH) + " export-frames " + args + " 2>'" + at("err.txt") + "'";
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  }
  std::string err() const {
    std::ifstream f((dir_ / "err.txt").string());
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }

  std::vector<uint8_t> png_rgb(const std::string& name) {
    wxImage image;
    EXPECT_TRUE(image.LoadFile(wxString::FromUTF8(at(name)), wxBITMAP_TYPE_PNG)) << name;
    if (!image.IsOk()) return {};
    return std::vector<uint8_t>(image.GetData(),
                                image.GetData() + image.GetWidth() * image.GetHeight() * 3);
  }

  std::filesystem::path dir_;
};

TEST_F(frame_export_colours, ThresholdsFromTheFileTintTheBands) {
  // Thresholds 0..100 (a threshold of 0: no gradient test) and "not" 200.
  std::vector<uint8_t> pixels;
  for (int v = 0; v < 256; v += 5) pixels.push_back(static_cast<uint8_t>(v));  // 52 values
  write_recording("bands", 13, 4, pixels,
                  "RES_CMAP_GREY_LO 0\nRES_CMAP_GREY_HI 100\nRES_CMAP_GREY_ANTI 200\n");
  ASSERT_EQ(tool("'" + at("bands.hm") + "' 0 png '" + at("bands.png") + "' thresholds"), 0)
      << err();
  std::vector<uint8_t> expected;
  for (int v : pixels) {
    const double lift = 0.6 * v + 102.0;
    if (v <= 100)  // magenta
      expected.insert(expected.end(),
                      {uint8_t(int(lift)), uint8_t(int(lift * 0.2)), uint8_t(int(lift))});
    else if (v > 200)  // violet
      expected.insert(expected.end(), {uint8_t(int(lift * 0.8)), 0, uint8_t(int(lift))});
    else
      expected.insert(expected.end(), {uint8_t(v), uint8_t(v), uint8_t(v)});
  }
  EXPECT_EQ(png_rgb("bands.png"), expected);

  // Without the switch the same file exports grey.
  ASSERT_EQ(tool("'" + at("bands.hm") + "' 0 png '" + at("grey.png") + "'"), 0) << err();
  std::vector<uint8_t> grey;
  for (int v : pixels) grey.insert(grey.end(), {uint8_t(v), uint8_t(v), uint8_t(v)});
  EXPECT_EQ(png_rgb("grey.png"), grey);
}

TEST_F(frame_export_colours, LabelsAndDopplerShowTheirPalettes) {
  write_recording("labels", 4, 2, {0, 1, 2, 3, 4, 5, 6, 15}, "");
  ASSERT_EQ(tool("'" + at("labels.hm") + "' 0 png '" + at("labels.png") + "' labels"), 0) << err();
  EXPECT_EQ(png_rgb("labels.png"),
            (std::vector<uint8_t>{0,  0,  0,   200, 200, 40, 40,  200, 0, 20, 140, 200,
                                  80, 60, 200, 180, 20,  40, 200, 100, 0, 13, 97,  140}));

  write_recording("flow", 3, 2, {100, 128, 149, 191, 192, 255}, "RES_BUF_DOPPLER true\n");
  ASSERT_EQ(tool("'" + at("flow.hm") + "' 0 png '" + at("flow.png") + "'"), 0) << err();
  EXPECT_EQ(png_rgb("flow.png"), (std::vector<uint8_t>{200, 200, 200, 0, 0, 133, 0, 5, 255, 0, 255,
                                                       255, 133, 0, 0, 255, 255, 0}));
}

TEST_F(frame_export_colours, AnUnknownDisplayModeIsAWrongCommandLine) {
  write_recording("one", 2, 2, {1, 2, 3, 4}, "");
  EXPECT_EQ(tool("'" + at("one.hm") + "' 0 png '" + at("x.png") + "' purple"), 2);
  EXPECT_NE(err().find("usage"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(at("x.png")));
}

#endif

}  // namespace
