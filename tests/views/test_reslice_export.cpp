// Export of resliced data: the choices offered, the files written by the
// engine and by nv_tool reslice, and what happens when they cannot be.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "common/log_capture.h"
#include "data/landmarks.h"
#include "data/native_file.h"
#include "data/objects.h"
#include "data/scripted_file_ui.h"
#include "reslice_test_support.h"
#include "surfaces/surface_build.h"
#include "surfaces/surface_interp.h"
#include "surfaces/surface_test_support.h"
#include "views/reslice_export.h"
#include "views/reslice_internals.h"

namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The numbers of every "IM" line: timestamp, x, y, z, azimuth, elevation, roll.
std::vector<std::vector<double>> im_lines(const std::string& text) {
  std::vector<std::vector<double>> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("IM ", 0) != 0) continue;
    std::istringstream words(line.substr(3));
    std::vector<double> v;
    double d;
    while (words >> d) v.push_back(d);
    lines.push_back(v);
  }
  return lines;
}

void expect_numbers(const std::vector<double>& got, const std::vector<double>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-9) << "number " << i;
}

// A CONT line: object, frame, closed flag and the points.
struct cont_line {
  int object = -1, frame = -1, closed = -1;
  std::vector<vec2_t> points;
  int after_ims = 0;  // IM lines written before it
};

std::vector<cont_line> cont_lines(const std::string& text) {
  std::vector<cont_line> lines;
  std::istringstream in(text);
  std::string line;
  int ims = 0;
  while (std::getline(in, line)) {
    if (line.rfind("IM ", 0) == 0) ++ims;
    if (line.rfind("CONT ", 0) != 0) continue;
    std::istringstream words(line.substr(5));
    cont_line c;
    words >> c.object >> c.frame >> c.closed;
    double x, y;
    while (words >> x >> y) c.points.push_back({x, y});
    c.after_ims = ims;
    lines.push_back(c);
  }
  return lines;
}

// A closed mesh with every vertex on the sphere of centre c and radius r:
// rings of latitude between two poles.
surface_interp* sphere_mesh(int object, const vec3_t& c, double r, int rings = 32, int sectors = 64) {
  auto* s = new surface_interp(object);
  const int n = 2 + (rings - 1) * sectors;
  s->mesh.n_points = n;
  s->mesh.points = new surface_point[n];
  auto put = [&](int i, double theta, double phi) {
    s->mesh.points[i].x = c.x + r * std::sin(theta) * std::cos(phi);
    s->mesh.points[i].y = c.y + r * std::sin(theta) * std::sin(phi);
    s->mesh.points[i].z = c.z + r * std::cos(theta);
  };
  put(0, 0.0, 0.0);
  put(n - 1, M_PI, 0.0);
  auto ring_point = [&](int ring, int sector) { return 1 + (ring - 1) * sectors + sector % sectors; };
  for (int ring = 1; ring < rings; ++ring)
    for (int k = 0; k < sectors; ++k) put(ring_point(ring, k), M_PI * ring / rings, 2 * M_PI * k / sectors);
  std::vector<surface_triangle> t;
  for (int k = 0; k < sectors; ++k) {
    t.push_back({0, ring_point(1, k), ring_point(1, k + 1), 1});
    t.push_back({n - 1, ring_point(rings - 1, k + 1), ring_point(rings - 1, k), 1});
    for (int ring = 1; ring + 1 < rings; ++ring) {
      t.push_back({ring_point(ring, k), ring_point(ring + 1, k), ring_point(ring + 1, k + 1), 1});
      t.push_back({ring_point(ring, k), ring_point(ring + 1, k + 1), ring_point(ring, k + 1), 1});
    }
  }
  s->mesh.n_triangles = static_cast<int32_t>(t.size());
  s->mesh.triangles = new surface_triangle[t.size()];
  std::copy(t.begin(), t.end(), s->mesh.triangles);
  return s;
}

double polygon_area(const std::vector<vec2_t>& p) {
  double a = 0.0;
  for (size_t i = 0; i < p.size(); ++i) {
    const vec2_t& u = p[i];
    const vec2_t& v = p[(i + 1) % p.size()];
    a += u.x * v.y - v.x * u.y;
  }
  return std::fabs(a) / 2;
}

struct export_choice_case {
  int index;
  const char* text;
};

TEST(ResliceExportChoices, SizesShownForEachChoice) {
  // 512 x 512 pixels of 0.05 cm through 10.02 cm of data: 201 slices a pixel
  // width apart make 512 * 512 * 201 bytes, 50 whole mebibytes; 101 slices a
  // millimetre apart make 25.
  const export_choice_case cases[] = {
      {0, "Resolution and spacing =  1 pixel widths       (size = 50.00Mb)"},
      {1, "Resolution and spacing =  2 pixel widths       (size =  6.25Mb)"},
      {8, "Resolution = 1 pixel width, spacing =  1 mm   (size = 25.00Mb)"},
      {9, "Resolution = 1 pixel width, spacing =  2 mm   (size = 12.50Mb)"},
      {27, "Resolution = 1 pixel width, spacing = 20 mm   (size =  1.25Mb)"},
  };
  for (const export_choice_case& c : cases)
    EXPECT_EQ(reslice_export_choice_text(c.index, 512, 512, 10.02, 0.05).ToStdString(), c.text);

  EXPECT_EQ(reslice_export_choice_at(2, 0.05).step, 3);
  EXPECT_DOUBLE_EQ(reslice_export_choice_at(2, 0.05).spacing, 0.15);
  EXPECT_EQ(reslice_export_choice_at(10, 0.05).step, 1);
  EXPECT_DOUBLE_EQ(reslice_export_choice_at(10, 0.05).spacing, 0.3);
}

class ResliceExport : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("nv-reslice-export-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    session_ = std::make_unique<headless_session>();
  }
  void TearDown() override {
    session_.reset();
    fs::remove_all(folder_);
  }

  // Frames one pixel width apart whose neighbours differ by one grey level,
  // so that the interpolation of the accurate mode reproduces each frame
  // exactly a hair beside it.
  void load_stack(int frames) {
    std::vector<double> z;
    for (int k = 0; k < frames; ++k) z.push_back(0.05 * k);
    stack_.load(z);
    for (int k = 0; k < frames; ++k)
      for (int y = 0; y < stack_.h; ++y)
        for (int x = 0; x < stack_.w; ++x) {
          const uint8_t v = static_cast<uint8_t>(1 + (x * 5 + y * 3) % 200 + k);
          stack_.pixels[k][static_cast<size_t>(y) * stack_.w + x] = v;
          frame_store->images[k]->display[static_cast<size_t>(y) * stack_.w + x] = v;
        }
  }

  // Plane 0 in the plane of the frames, showing each frame pixel for pixel.
  void place_plane_on_frames() {
    reslice_info& p = resource_table->RESLICE->read()[0];
    p.set_width(stack_.w);
    p.set_height(stack_.h);
    p.set_plane({0, 0, 1}, {stack_.w * stack_.s / 2, stack_.h * stack_.s / 2, 0.0}, {0, 1, 0}, true);
  }

  fs::path folder_;
  std::unique_ptr<headless_session> session_;
  synthetic_stack stack_;
};

#ifdef NV_TOOL_PATH
TEST_F(ResliceExport, ToolReproducesTheFramesAlongAnAxisAlignedPlane) {
  const int frames = 6;
  load_stack(frames);
  place_plane_on_frames();
  const fs::path in = folder_ / "stack.hm";
  ASSERT_TRUE(save_native_file_as(in.string(), false));
  session_.reset();

  const fs::path out = folder_ / "resliced";  // no extension: ".hm" is added
  const std::string cmd = std::string(NV_TOOL_PATH) + " reslice '" + in.string() + "' 0 '" + out.string() +
                          "' 2>'" + (folder_ / "err.txt").string() + "'";
  const int rc = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(rc));
  ASSERT_EQ(WEXITSTATUS(rc), 0) << read_file(folder_ / "err.txt");

  // The depth range stops 1e-4 cm inside the outermost frames, so the
  // slices lie just below frames 5 .. 1, top down; frame 0 is not reached.
  const std::string text = read_file(folder_ / "resliced.hm");
  EXPECT_EQ(text.rfind("RES_BUF_FRAMES 5\nRES_BUF_WIDTH 48\nRES_BUF_HEIGHT 48\nRES_POS_REC true\n", 0), 0u)
      << text;
  EXPECT_NE(text.find("RES_XSCALE 0.05\nRES_YSCALE 0.05\n"), std::string::npos);
  EXPECT_NE(text.find("RES_BIN_IM_FILENAME resliced.qzi\n"), std::string::npos);
  // Each slice's frame starts at the image corner, (0, 0) in x and y.
  const auto ims = im_lines(text);
  ASSERT_EQ(ims.size(), 5u);
  for (int k = 0; k < 5; ++k) expect_numbers(ims[k], {0, 0, 0, 0.2499 - 0.05 * k, 0, 0, 0});

  const std::string bytes = read_file(folder_ / "resliced.qzi");
  ASSERT_EQ(bytes.size(), static_cast<size_t>(5 * 48 * 48));
  for (int k = 0; k < 5; ++k)
    for (int i = 0; i < 48 * 48; ++i)
      ASSERT_EQ(static_cast<uint8_t>(bytes[k * 48 * 48 + i]), stack_.pixels[frames - 1 - k][i])
          << "slice " << k << " pixel " << i;

  // The written file opens again with the same frames.
  session_ = std::make_unique<headless_session>();
  ASSERT_TRUE(open_native_file((folder_ / "resliced.hm").string()));
  ASSERT_EQ(resource_table->RES_BUF_FRAMES->read(), 5);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(frame_store->images[4]->display), 48 * 48),
            std::string(stack_.pixels[1].begin(), stack_.pixels[1].end()));
  EXPECT_NEAR(frame_store->positions[4]->z, 0.0499, 1e-6);
}

TEST_F(ResliceExport, ToolRefusesWrongCommandLinesAndMissingData) {
  struct tool_case {
    std::string args;
    int status;
  };
  const std::string missing = (folder_ / "missing.hm").string();
  const std::string out = (folder_ / "out.hm").string();
  const tool_case cases[] = {
      {"reslice", 2},
      {"reslice '" + missing + "' 0", 2},
      {"reslice '" + missing + "' 4 '" + out + "'", 2},
      {"reslice '" + missing + "' x '" + out + "'", 2},
      {"reslice '" + missing + "' 0 '" + out + "' 29", 2},
      {"reslice '" + missing + "' 0 '" + out + "' 0", 2},
      {"reslice '" + missing + "' 0 '" + out + "'", 1},
  };
  for (const tool_case& c : cases) {
    const std::string cmd = std::string(NV_TOOL_PATH) + " " + c.args + " 2>/dev/null";
    const int rc = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(rc)) << c.args;
    EXPECT_EQ(WEXITSTATUS(rc), c.status) << c.args;
  }
  EXPECT_FALSE(fs::exists(out));
}

// nv_tool builds the surfaces of the objects with contours, as the Draw
// page's update does, and writes what the export writes with those surfaces.
TEST_F(ResliceExport, ToolWritesTheSurfaceSectionsTheExportWrites) {
  session_.reset();
  const fs::path in = folder_ / "sphere.hm";
  surface_test::write_stack_file(in.string(), 9, 0.06, surface_test::sphere_sections(), 2);
  const std::string cmd = std::string(NV_TOOL_PATH) + " reslice '" + in.string() + "' 0 '" +
                          (folder_ / "tool.hm").string() + "' 2 2>'" + (folder_ / "err.txt").string() + "'";
  const int rc = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(rc));
  ASSERT_EQ(WEXITSTATUS(rc), 0) << read_file(folder_ / "err.txt");

  session_ = std::make_unique<headless_session>();
  ASSERT_TRUE(open_native_file(in.string()));
  std::unique_ptr<surface_interp> surface(build_contour_surface_from_resources(2, nullptr));
  ASSERT_GT(surface->mesh.n_triangles, 0);
  resource_table->RES_SURFACE[2]->write(surface.release());
  base_res_t::make_pending_writes_happen();
  reslice_internals* builder = new reslice_internals(0, 0, 0);
  ASSERT_TRUE(export_resliced_data(*builder, reslice_export_choice_at(1, resource_table->RES_XSCALE->read()),
                                   (folder_ / "engine.hm").string()));

  std::string tool = read_file(folder_ / "tool.hm"), engine = read_file(folder_ / "engine.hm");
  const std::string tool_name = "RES_BIN_IM_FILENAME tool.qzi\n", engine_name = "RES_BIN_IM_FILENAME engine.qzi\n";
  ASSERT_NE(tool.find(tool_name), std::string::npos);
  ASSERT_NE(engine.find(engine_name), std::string::npos);
  tool.replace(tool.find(tool_name), tool_name.size(), engine_name);
  EXPECT_EQ(tool, engine);
  EXPECT_EQ(read_file(folder_ / "tool.qzi"), read_file(folder_ / "engine.qzi"));
  // The plane across the frames cuts the sphere in several slices.
  const auto conts = cont_lines(tool);
  EXPECT_GE(conts.size(), 5u);
  for (const cont_line& c : conts) EXPECT_EQ(c.object, 2);
  EXPECT_NE(tool.find("\nOBJECT 2 "), std::string::npos);
}

#endif

TEST_F(ResliceExport, CoarseStepKeepsEverySecondPixelAndPutsThePlaneBack) {
  load_stack(4);
  reslice_internals* builder = new reslice_internals(0, 0, 0);  // the table deletes it
  place_plane_on_frames();
  reslice_info& plane = *builder->plane();
  plane.set_height(47);
  const vec3_t centre = plane.centre;
  plane.set_centre({centre.x, centre.y, 0.075}, true);  // between frames 1 and 2
  ASSERT_NE(builder->get_image(), nullptr);
  const std::vector<uint8_t> before(builder->get_image(), builder->get_image() + plane.width * plane.height);
  log_capture log;
  ASSERT_TRUE(
      export_resliced_data(*builder, reslice_export_choice_at(1, stack_.s), (folder_ / "half").string()));

  const std::string text = read_file(folder_ / "half.hm");
  EXPECT_NE(text.find("RES_BUF_WIDTH 24\nRES_BUF_HEIGHT 24\n"), std::string::npos) << text;
  EXPECT_NE(text.find("RES_XSCALE 0.1\nRES_YSCALE 0.1\n"), std::string::npos);
  // 0.15 - 2e-4 cm deep at 0.1 cm: two slices.
  EXPECT_NE(text.find("RES_BUF_FRAMES 2\n"), std::string::npos);
  const std::string bytes = read_file(folder_ / "half.qzi");
  ASSERT_EQ(bytes.size(), 2u * 24 * 24);
  // Slice 0 lies a hair below frame 3. With a step of 2 the samples of the
  // 48 x 47 image are at image points (1 + 2i, 0.5 + 2j), which the 47 rows
  // centred on the frame put at frame pixel corners (2i + 1, 2j + 1): the mean
  // of four frame pixels.
  for (int j = 0; j < 24; ++j)
    for (int i = 0; i < 24; ++i)
      ASSERT_NEAR(static_cast<uint8_t>(bytes[j * 24 + i]),
                  stored_byte(stack_.bilinear(3, 2 * i + 0.5, 2 * j + 0.5)), 1)
          << i << "," << j;
  const auto ims = im_lines(text);
  ASSERT_EQ(ims.size(), 2u);
  expect_numbers(ims[0], {0, 0, 0.025, 0.1499, 0, 0, 0});
  expect_numbers(ims[1], {0, 0, 0.025, 0.0499, 0, 0, 0});

  EXPECT_FALSE(resource_table->RES_DYNAMIC_UPDATE->read());
  EXPECT_NEAR(plane.centre.x, centre.x, 1e-12);
  EXPECT_NEAR(plane.centre.z, 0.075, 1e-12);
  EXPECT_EQ(builder->pixel_step(), 1);
  ASSERT_NE(builder->get_image(), nullptr);
  EXPECT_EQ(std::vector<uint8_t>(builder->get_image(), builder->get_image() + plane.width * plane.height),
            before);
}

// The surfaces' sections by each slice become that slice's contours. On an
// oblique sweep through a sphere every point of a CONT line, carried back to
// the world from its slice's position in output pixels, lies on the sphere;
// each cut slice has one closed section enclosing its circle's area; and the
// file reopens with exactly those contours.
TEST_F(ResliceExport, SurfaceSectionsBecomeTheContoursOfEachSlice) {
  load_stack(8);
  resource_table_t& t = *resource_table;
  const vec3_t C{1.2, 1.2, 0.175};
  const double R = 0.6;
  t.RES_SURFACE[3]->write(sphere_mesh(3, C, R));
  t.RES_SURFACE[5]->write(sphere_mesh(5, C, 0.3));
  t.RES_OBJECT->read()[5].opacity = 0.0;  // shows no section, so gets no contours
  // Landmarks go along in their plain form, except 2D ones.
  auto landmark = [](double x, double y, double z, const char* name, int32_t kind) {
    landmark_t l;
    l.x = x, l.y = y, l.z = z, l.name = name, l.kind = kind;
    return l;
  };
  t.RES_LANDMARKS->read()->items = {landmark(12.3456789, 0.1, -2, "apex", LM_DATA),
                                    landmark(1, 2, 3, "flat", LM_2D), landmark(0.5, 0.25, 0, "pin", LM_FIDUCIAL),
                                    landmark(4, 5, 6, "tip", LM_SURFACE)};
  base_res_t::make_pending_writes_happen();

  reslice_internals* builder = new reslice_internals(0, 0, 0);  // the table deletes it
  reslice_info& plane = *builder->plane();
  plane.set_width(48);
  plane.set_height(48);
  const vec3_t n = vec3_normalise(vec3_t{0.3, 0.2, 1.0});
  const vec3_t y_axis{0, 1, 0};
  plane.set_plane(n, C, y_axis, true);
  // The output frames' axes: rows along up, columns along up x normal.
  const vec3_t up = vec3_normalise(y_axis - vec3_dot(n, y_axis) * n);
  const vec3_t rr = vec3_cross(up, n);
  ASSERT_TRUE(
      export_resliced_data(*builder, reslice_export_choice_at(1, stack_.s), (folder_ / "sphere.hm").string()));

  const std::string text = read_file(folder_ / "sphere.hm");
  EXPECT_NE(text.find("\nOBJECT 3 "), std::string::npos);
  EXPECT_NE(text.find("\nOBJECT 5 "), std::string::npos);
  EXPECT_NE(text.find("RES_YSCALE 0.1\nLANDMARK 12.3457 0.1 -2 apex\nFIDUCIAL 0.5 0.25 0 pin\nLANDMARK 4 5 6 tip\n"
                      "OBJECT 3 1 "),
            std::string::npos)
      << text.substr(0, 800);
  const auto ims = im_lines(text);
  const auto conts = cont_lines(text);
  ASSERT_GT(ims.size(), 10u);
  const double pixel = 2 * stack_.s;  // output pixels are two image pixels
  auto corner = [&](int k) { return vec3_t{ims[k][1], ims[k][2], ims[k][3]}; };
  std::vector<int> sections(ims.size(), 0);
  for (const cont_line& c : conts) {
    EXPECT_EQ(c.object, 3);
    ASSERT_GE(c.frame, 0);
    ASSERT_LT(c.frame, static_cast<int>(ims.size()));
    EXPECT_EQ(c.after_ims, c.frame + 1) << "CONT lines follow their slice's IM line";
    EXPECT_EQ(c.closed, 1);
    ASSERT_GE(c.points.size(), 3u);
    ++sections[c.frame];
    for (const vec2_t& p : c.points) {
      const vec3_t w = corner(c.frame) + (p.x * pixel) * rr + (p.y * pixel) * up;
      // Mesh chords and the two decimals written stay well within 0.005 cm.
      ASSERT_NEAR(vec3_length(w - C), R, 0.005) << "slice " << c.frame;
    }
    const double d = vec3_dot(n, C - corner(c.frame));
    const double r2 = R * R - d * d;
    if (r2 > 0.09) {
      EXPECT_NEAR(polygon_area(c.points) * pixel * pixel, M_PI * r2, 0.02 * M_PI * r2) << "slice " << c.frame;
    }
  }
  int cut = 0;
  for (size_t k = 0; k < ims.size(); ++k) {
    const double d = std::fabs(vec3_dot(n, C - corner(static_cast<int>(k))));
    if (d < R - 0.01) {
      EXPECT_EQ(sections[k], 1) << "slice " << k;
    }
    if (d > R) {
      EXPECT_EQ(sections[k], 0) << "slice " << k;
    }
    cut += sections[k];
  }
  EXPECT_GE(cut, 10);

  session_.reset();
  session_ = std::make_unique<headless_session>();
  ASSERT_TRUE(open_native_file((folder_ / "sphere.hm").string()));
  const contour_object* objects = resource_table->RES_OBJECT->read();
  EXPECT_TRUE(objects[5].frames.empty());
  size_t i = 0;
  for (const frame_contours_t& entry : objects[3].frames)
    for (const contour_t& c : entry.contours) {
      ASSERT_LT(i, conts.size());
      EXPECT_EQ(entry.frame, conts[i].frame);
      EXPECT_TRUE(c.closed);
      ASSERT_EQ(c.vertices.size(), conts[i].points.size());
      for (size_t v = 0; v < c.vertices.size(); ++v) {
        EXPECT_NEAR(c.vertices[v].x, conts[i].points[v].x, 1e-9);
        EXPECT_NEAR(c.vertices[v].y, conts[i].points[v].y, 1e-9);
      }
      ++i;
    }
  EXPECT_EQ(i, conts.size());
}

TEST_F(ResliceExport, UnwritableTargetWritesNothingAndLeavesFilesAlone) {
  load_stack(3);
  reslice_internals* builder = new reslice_internals(0, 0, 0);
  place_plane_on_frames();
  log_capture log;
  EXPECT_FALSE(export_resliced_data(*builder, reslice_export_choice_at(0, stack_.s),
                                    (folder_ / "missing" / "out.hm").string()));
  EXPECT_TRUE(log.has(wxLOG_Error, "Error opening file for writing."));
  EXPECT_FALSE(fs::exists(folder_ / "missing"));

  // A companion name taken by a folder: the data file of that name keeps its
  // old bytes.
  std::ofstream(folder_ / "old.hm") << "old data\n";
  fs::create_directories(folder_ / "old.qzi");
  log.clear();
  EXPECT_FALSE(
      export_resliced_data(*builder, reslice_export_choice_at(0, stack_.s), (folder_ / "old.hm").string()));
  EXPECT_TRUE(log.has(wxLOG_Error, "Error opening file for writing."));
  EXPECT_EQ(read_file(folder_ / "old.hm"), "old data\n");
  EXPECT_TRUE(fs::is_directory(folder_ / "old.qzi"));
}

TEST_F(ResliceExport, FileCommandAsksForResolutionAndFileThenExports) {
  load_stack(4);
  scripted_file_ui ui;
  file_menu_ui_scope scope(ui);
  // No plane has a builder yet: the command does nothing at all.
  EXPECT_FALSE(file_export_voxels());
  EXPECT_TRUE(ui.choice_lists.empty());

  new reslice_internals(3, 0, 0);  // the Pressure page's plane; the table deletes it
  reslice_internals* shown = new reslice_internals(0, 0, 0);
  place_plane_on_frames();
  // Cancelled at the resolution: no file dialog, nothing written.
  EXPECT_FALSE(file_export_voxels());
  ASSERT_EQ(ui.choice_lists.size(), 1u);
  EXPECT_TRUE(ui.file_requests.empty());
  const std::vector<wxString>& offered = ui.choice_lists[0];
  ASSERT_EQ(offered.size(), 29u);
  EXPECT_EQ(
      offered[0],
      "Export voxel resolution|Resolution and slice spacing of output data\n(and approximate size in Mb)");
  // 48 x 48 pixels, 0.15 - 2e-4 cm deep: 3 slices a pixel width apart.
  EXPECT_EQ(offered[1], reslice_export_choice_text(0, 48, 48, 0.15 - 2e-4, stack_.s));

  // Two pixel widths, to a name without extension: plane 0 comes first.
  ui.picks.push_back(1);
  ui.choose((folder_ / "cmd").string());
  EXPECT_TRUE(file_export_voxels());
  ASSERT_EQ(ui.file_requests.size(), 1u);
  EXPECT_EQ(ui.file_requests[0].message, "Export resliced data as");
  EXPECT_EQ(ui.file_requests[0].wildcard, "Halmondo file|*.hm");
  EXPECT_TRUE(ui.file_requests[0].save);
  const std::string text = read_file(folder_ / "cmd.hm");
  EXPECT_NE(text.find("RES_BUF_WIDTH 24\nRES_BUF_HEIGHT 24\n"), std::string::npos) << text;
  EXPECT_EQ(fs::file_size(folder_ / "cmd.qzi"), 2u * 24 * 24);
  EXPECT_NEAR(shown->plane()->centre.z, 0.0, 1e-12);
}

}  // namespace
