// The keyword lines of the native data file, one line at a time: what each
// reads, what it refuses (and that a refused line changes nothing), and the
// exact text each writes.
#include <wx/init.h>

#include <algorithm>
#include <climits>
#include <map>
#include <random>
#include <sstream>

#include "data/curves.h"
#include "data/dynabuf.h"
#include "data/landmarks.h"
#include "data/reslice_info.h"
#include "native_test_support.h"

namespace {

// The toolkit's base is set up once for the whole test program.
class wx_environment : public ::testing::Environment {
 public:
  void SetUp() override { wxInitialize(); }
  void TearDown() override { wxUninitialize(); }
};
::testing::Environment* const wx_env = ::testing::AddGlobalTestEnvironment(new wx_environment);

struct line_case {
  const char* line;
  bool ok;
  const char* message;  // expected in the log; "" for none
};

class native_lines : public native_test {
 protected:
  void expect_line(const line_case& c) {
    SCOPED_TRACE(c.line);
    log_.clear();
    EXPECT_EQ(body_line(c.line), c.ok);
    if (*c.message) {
      EXPECT_TRUE(log_.has_text(c.message)) << "log lacks: " << c.message;
    }
  }
};

// ---- CONT ------------------------------------------------------------------

TEST_F(native_lines, ContourLinesTakeVerticesOrChangeNothing) {
  struct contour_case {
    line_case line;
    int entries;   // frame entries of object 0 afterwards
    int vertices;  // vertices of its first contour, when there is one
    bool closed;
  };
  // clang-format off
  const contour_case cases[] = {
      {{"CONT 0 3 1", true, ""}, 1, 0, true},
      {{"CONT 0 3 0 1 2 3 4 end", true, ""}, 1, 2, false},
      {{"CONT 0 3 7 1e1 -2.5", true, ""}, 1, 1, true},
      {{"CONT 0 3 1 5.5", false, "Problem reading vertex in CONT line"}, 0, 0, false},
      {{"CONT 0 3 1 5.5 y", false, "Problem reading vertex in CONT line"}, 0, 0, false},
      {{"CONT 200 3 1 1 1 2 2", true, "Ignoring objects greater than 199 in CONT line"}, 0, 0, false},
      {{"CONT 5000 3 1 1 1 2 2", true, "Ignoring objects greater than 199 in CONT line"}, 0, 0, false},
      {{"CONT -1 3 1 1 2", false, "Object number -1 in CONT line"}, 0, 0, false},
      {{"CONT x 3 1", false, "Problem reading object number in CONT line"}, 0, 0, false},
      {{"CONT 99999999999 3 1", false, "Problem reading object number in CONT line"}, 0, 0, false},
      {{"CONT 0 y 1", false, "Problem reading frame number in CONT line"}, 0, 0, false},
      {{"CONT 0 -2 1", false, "Frame number -2 in CONT line is negative"}, 0, 0, false},
      {{"CONT 0 3 z", false, "Problem reading contour closed status in CONT line"}, 0, 0, false},
      // A vertex that is not a finite number drops the whole line.
      {{"CONT 0 3 1 1 1 nan 2 3 3", true, "a vertex coordinate is not a finite number"}, 0, 0, false},
      {{"CONT 0 3 1 1 1 2 inf 3 3", true, "a vertex coordinate is not a finite number"}, 0, 0, false},
      {{"CONT 0 3 1 -Infinity 1", true, "a vertex coordinate is not a finite number"}, 0, 0, false},
  };
  // clang-format on
  for (const contour_case& c : cases) {
    object(0).reset();
    expect_line(c.line);
    ASSERT_EQ(static_cast<int>(object(0).frames.size()), c.entries) << c.line.line;
    if (c.entries == 0) continue;
    const frame_contours_t& e = object(0).frames.front();
    EXPECT_EQ(e.frame, 3);
    ASSERT_EQ(e.contours.size(), 1u);
    EXPECT_EQ(static_cast<int>(e.contours[0].vertices.size()), c.vertices) << c.line.line;
    EXPECT_EQ(e.contours[0].closed, c.closed) << c.line.line;
  }
  EXPECT_TRUE(body_line("CONT 0 3 0 1 2 3 4 end"));
  const contour_t& last = object(0).frames.front().contours.front();
  EXPECT_DOUBLE_EQ(last.vertices[1].x, 3.0);
  EXPECT_DOUBLE_EQ(last.vertices[1].y, 4.0);
  for (int k = 1; k < NUM_OBJECTS; ++k) EXPECT_TRUE(object(k).frames.empty()) << k;
}

TEST_F(native_lines, FailedContourLineKeepsTheContoursBeforeIt) {
  ASSERT_TRUE(body_line("CONT 0 3 1 1 1"));
  EXPECT_FALSE(body_line("CONT 0 3 1 5.5"));
  ASSERT_EQ(object(0).frames.size(), 1u);
  EXPECT_EQ(object(0).frames.front().contours.size(), 1u);
}

TEST_F(native_lines, ContoursOfOneObjectGatherInFrameOrder) {
  for (const char* line : {"CONT 2 5 1 1 1", "CONT 2 2 1 2 2", "CONT 2 5 0 3 3", "CONT 2 9 1"})
    ASSERT_TRUE(body_line(line));
  std::vector<int32_t> frames;
  for (const frame_contours_t& e : object(2).frames) frames.push_back(e.frame);
  EXPECT_EQ(frames, (std::vector<int32_t>{2, 5, 9}));
  EXPECT_EQ(object(2).find_frame(5)->contours.size(), 2u);
  EXPECT_EQ(object(2).find_frame(5)->area, -1.0);
}

// Lines in any order are placed as the same lines in order would be: frames
// ascending, each frame's contours in the order of their lines, and a
// landmark line for a name already read moving that landmark.
TEST_F(native_lines, ShuffledLinesReadAsTheSameLinesInOrder) {
  std::vector<std::string> lines;
  for (int object = 0; object < 3; ++object)
    for (int frame = 0; frame < 40; ++frame)
      for (int k = 0; k < 2; ++k)
        lines.push_back("CONT " + std::to_string(object) + " " + std::to_string(frame * 3) +
                        " 1 " + std::to_string(object * 1000 + frame * 10 + k) + " 0");
  for (int i = 0; i < 60; ++i)
    lines.push_back("LANDMARK " + std::to_string(i) + " 0 0 Mark " + std::to_string(i % 20));
  std::mt19937 random(7);
  std::shuffle(lines.begin(), lines.end(), random);
  std::string text = "RES_BUF_FRAMES 0\nRES_BUF_WIDTH 4\nRES_BUF_HEIGHT 4\nRES_END_HEADER\n";
  // What the lines should give, worked out from the shuffled list itself.
  std::map<int, std::map<int, std::vector<int>>> contours;  // object, frame: first x of each
  std::vector<std::string> mark_order;
  std::map<std::string, int> mark_x;
  for (const std::string& line : lines) {
    text += line + "\n";
    std::istringstream words(line);
    std::string keyword;
    words >> keyword;
    if (keyword == "CONT") {
      int object, frame, closed, x;
      words >> object >> frame >> closed >> x;
      contours[object][frame].push_back(x);
    } else {
      int x, y, z;
      std::string mark, number;
      words >> x >> y >> z >> mark >> number;
      const std::string name = mark + " " + number;
      if (!mark_x.count(name)) mark_order.push_back(name);
      mark_x[name] = x;
    }
  }
  write_file("shuffled.hm", text);
  ASSERT_TRUE(read_hm("shuffled.hm"));
  for (int object = 0; object < 3; ++object) {
    SCOPED_TRACE(object);
    std::map<int, std::vector<int>> got;
    std::vector<int> frames;
    for (const frame_contours_t& e : this->object(object).frames) {
      frames.push_back(e.frame);
      for (const contour_t& c : e.contours) got[e.frame].push_back(static_cast<int>(c.vertices[0].x));
    }
    EXPECT_TRUE(std::is_sorted(frames.begin(), frames.end()));
    EXPECT_EQ(frames.size(), 40u);
    EXPECT_EQ(got, contours[object]);
  }
  ASSERT_EQ(marks().size(), mark_order.size());
  for (size_t i = 0; i < mark_order.size(); ++i) {
    EXPECT_EQ(marks()[i].name, mark_order[i]);
    EXPECT_DOUBLE_EQ(marks()[i].x, mark_x[mark_order[i]]);
  }
}

TEST_F(native_lines, ContourAndFrameLinesNeedTheFrameCountOfTheirOwnFile) {
  // A frame count written earlier, outside any file, does not stand in for
  // the header line the file lacks.
  t().RES_BUF_FRAMES->write_no_changeprocs(4);
  for (const char* line : {"CONT 0 1 1 2 2", "IM 5"}) {
    log_.clear();
    EXPECT_FALSE(base_res_t::parse_no_changeprocs(line, RES_CLASS_DATA_BODY)) << line;
    EXPECT_TRUE(log_.has(wxLOG_Error, "Header of data file does not contain RES_BUF_FRAMES line"))
        << line;
  }
  EXPECT_TRUE(object(0).frames.empty());
  EXPECT_TRUE(frame_store->timestamps.empty());
}

// ---- OBJECT ----------------------------------------------------------------

TEST_F(native_lines, ObjectLinesSetPropertiesAndNames) {
  struct object_case {
    line_case line;
    uint8_t r, g, b;
    double opacity, roughness, metallic, anisotropy;
    int capped;
    const char* name;
  };
  // clang-format off
  const object_case cases[] = {
      {{"OBJECT 4 0 300 -1 20 0.5 Left kidney", true, ""},
       44, 255, 20, 0.5, 0.4, 0, 0, 0, "Left kidney"},
      {{"OBJECT 4 1 10 20 30 1.0 0.2 0.3 Left  kidney", true, ""},
       10, 20, 30, 1, 0.2, 0.3, 0, 1, "Left kidney"},
      {{"OBJECT 4 1 10 20 30 1.0 0.2 1.5 Liver", true, ""},
       10, 20, 30, 1, 0.4, 0, 0, 1, "0.2 1.5 Liver"},
      {{"OBJECT 4 1 10 20 30 1.0 0.2 0.3 0.9 Liver ", true, ""},
       10, 20, 30, 1, 0.2, 0.3, 0.9, 1, "Liver"},
      {{"OBJECT 4 1 10 20 30 1.0 0.2", true, ""},
       10, 20, 30, 1, 0.4, 0, 0, 1, "0.2"},
      {{"OBJECT 4 7 10 20 30 1.0", true, ""},
       10, 20, 30, 1, 0.4, 0, 0, 1, "Object 4"},
      {{"OBJECT 4 1 10 20 30 1.0 Liver", true, ""},
       10, 20, 30, 1, 0.4, 0, 0, 1, "Liver"},
      {{"OBJECT 4 1 10 20", false, "Problem reading colour in OBJECT line"},
       229, 25, 51, 1, 0.4, 0, 0, 1, "Object 4"},
      {{"OBJECT 4 1 10 20 30 abc", false, "Problem reading alpha value in OBJECT line"},
       229, 25, 51, 1, 0.4, 0, 0, 1, "Object 4"},
      {{"OBJECT 4 x", false, "Problem reading object type in OBJECT line"},
       229, 25, 51, 1, 0.4, 0, 0, 1, "Object 4"},
      {{"OBJECT -1 1 10 20 30 1 X", false, "Object number -1 in OBJECT line"},
       229, 25, 51, 1, 0.4, 0, 0, 1, "Object 4"},
      {{"OBJECT 250 1 10 20 30 1 X", true, "Ignoring objects greater than 199 in OBJECT line"},
       229, 25, 51, 1, 0.4, 0, 0, 1, "Object 4"},
  };
  // clang-format on
  for (const object_case& c : cases) {
    contour_object::assign_default_names_and_colours(t().RES_OBJECT->read(), 4);
    object(4).capped = 1;
    expect_line(c.line);
    const contour_object& o = object(4);
    EXPECT_EQ(o.colour, rgba_colour_t(c.r, c.g, c.b)) << c.line.line;
    EXPECT_DOUBLE_EQ(o.opacity, c.opacity) << c.line.line;
    EXPECT_DOUBLE_EQ(o.roughness, c.roughness) << c.line.line;
    EXPECT_DOUBLE_EQ(o.metallic, c.metallic) << c.line.line;
    EXPECT_DOUBLE_EQ(o.anisotropy, c.anisotropy) << c.line.line;
    EXPECT_EQ(o.capped, c.capped) << c.line.line;
    EXPECT_EQ(o.name, c.name) << c.line.line;
  }
}

// ---- VOLUME ----------------------------------------------------------------

TEST_F(native_lines, VolumeLinesSetRowsWithTheirOptionalWords) {
  struct volume_case {
    line_case line;
    int enabled, roughness, metallic, anisotropy, opacity, data;
  };
  // clang-format off
  const volume_case cases[] = {
      {{"VOLUME 2 128 255 0 0 200", true, ""}, 1, 100, 0, 0, 200, 128},
      {{"VOLUME 2 128 255 0 0 200 0", true, ""}, 0, 100, 0, 0, 200, 128},
      {{"VOLUME 2 128 255 0 0 200 1 50", true, ""}, 1, 50, 0, 0, 200, 128},
      {{"VOLUME 2 -7 255 0 0 456 3 50 20 300", true, ""}, 1, 50, 20, 44, 200, -7},
      {{"VOLUME 10 1 1 1 1 1", true, "Ignoring objects greater than 9 in VOLUME line"},
       0, 100, 0, 0, 0, 0},
      {{"VOLUME -1 1 1 1 1 1", false, "Row number -1 in VOLUME line"}, 0, 100, 0, 0, 0, 0},
      {{"VOLUME 2 x", false, "Problem reading object data in VOLUME line"}, 0, 100, 0, 0, 0, 0},
      {{"VOLUME 2 1 1 1", false, "Problem reading colour in VOLUME line"}, 0, 100, 0, 0, 0, 0},
      {{"VOLUME 2 1 1 1 1", false, "Problem reading alpha value in VOLUME line"},
       0, 100, 0, 0, 0, 0},
  };
  // clang-format on
  for (const volume_case& c : cases) {
    volume_object& row = t().RES_VOLUME->read()[2];
    row = volume_object();
    expect_line(c.line);
    EXPECT_EQ(row.enabled, c.enabled) << c.line.line;
    EXPECT_EQ(row.roughness, c.roughness) << c.line.line;
    EXPECT_EQ(row.metallic, c.metallic) << c.line.line;
    EXPECT_EQ(row.anisotropy, c.anisotropy) << c.line.line;
    EXPECT_EQ(row.opacity, c.opacity) << c.line.line;
    EXPECT_EQ(row.data_value, c.data) << c.line.line;
  }
}

// ---- writing objects -------------------------------------------------------

TEST_F(native_lines, ObjectContourAndVolumeLinesAreWrittenExactly) {
  contour_t c;
  c.closed = true;
  c.vertices = {{12.346, 6.789}, {-0.001, 104.5}};
  object(0).add_contour(12, c);
  const std::string contours = written(write_out_contour_dat);
  EXPECT_EQ(contours, "CONT 0 12 1 12.35 6.79 -0.00 104.50\n");

  const std::string objects = written(write_out_object_dat);
  EXPECT_EQ(objects.substr(0, objects.find('\n')),
            "OBJECT 0 1 255 255 51 1.000 0.400 0.000 0.000 Object 0");
  EXPECT_EQ(std::count(objects.begin(), objects.end(), '\n'), 12);  // CURRENT_MAX_OBJECTS

  const std::string rows = written(write_out_volume_dat);
  EXPECT_NE(rows.find("\nVOLUME 3 0 0 0 0 0 0 100 0 0\n"), std::string::npos);
  EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 10);
}

TEST_F(native_lines, ObjectsAboveTheShownCountAreStillWritten) {
  ASSERT_EQ(t().CURRENT_MAX_OBJECTS->read(), 12);
  ASSERT_TRUE(body_line("CONT 150 2 1 1 1 2 2"));
  ASSERT_TRUE(body_line("OBJECT 40 1 1 2 3 0.5 Forty"));
  const std::string contours = written(write_out_contour_dat);
  EXPECT_EQ(contours, "CONT 150 2 1 1.00 1.00 2.00 2.00\n");
  const std::string objects = written(write_out_object_dat);
  EXPECT_EQ(std::count(objects.begin(), objects.end(), '\n'), 151);
  EXPECT_NE(objects.find("OBJECT 40 1 1 2 3 0.500 0.400 0.000 0.000 Forty\n"), std::string::npos);
}

TEST_F(native_lines, NamesCannotBreakTheirLine) {
  object(1).name = "Liver\nRES_BUF_RF true\r\nIM 1";
  std::string objects = written(write_out_object_dat);
  EXPECT_NE(
      objects.find("OBJECT 1 1 51 255 0 1.000 0.400 0.000 0.000 Liver RES_BUF_RF true  IM 1\n"),
      std::string::npos);
  EXPECT_EQ(std::count(objects.begin(), objects.end(), '\n'), 12);
  marks().add_landmark({1, 2, 3}, "A\nB", LM_DATA);
  marks().add_landmark({1, 2, 3}, "  ", LM_DATA);
  EXPECT_EQ(written(write_out_landmark_dat), "LANDMARK 1 2 3 A B\nLANDMARK 1 2 3 Landmark 2\n");
}

// ---- RESLICE ---------------------------------------------------------------

TEST_F(native_lines, ResliceLinesPlaceThePlanes) {
  recorded_pages pages;
  set_data_set_pages(&pages);
  reslice_info* planes = t().RESLICE->read();

  EXPECT_EQ(written(write_out_reslice),
            "RESLICE 0 512 512 0.000000 0.000000 1.000000 0.000000 0.000000 0.000000 0.000000 "
            "1.000000 0.000000\nRESLICE 1 0.000000 0.000000 0.000000\nRESLICE 2 0.000000 "
            "0.000000 0.000000\n");

  const line_case refused[] = {
      {"RESLICE 3 1 2 3", true, "Ignoring un-recognised reslice number 3 in RESLICE line"},
      {"RESLICE -1", true, "Ignoring un-recognised reslice number -1 in RESLICE line"},
      {"RESLICE x", false, "Problem reading reslice number in RESLICE line"},
      {"RESLICE 0 0 200 0 0 1 1 2 3 0 1 0", false, "Reslice size 0 x 200 in RESLICE line"},
      {"RESLICE 0 300 99999 0 0 1 1 2 3 0 1 0", false, "Reslice size 300 x 99999"},
      {"RESLICE 0 300 200 0 0 1 1 2", false, "Problem reading centre z coordinate in RESLICE line"},
      {"RESLICE 0 300", false, "Problem reading height in RESLICE line"},
      {"RESLICE 1 1 q", false, "Problem reading centre y coordinate in RESLICE line"},
  };
  for (const line_case& c : refused) expect_line(c);
  EXPECT_EQ(planes[0].width, 512);
  EXPECT_FALSE(planes[0].defined);
  EXPECT_EQ(pages.slider_width, -1);

  ASSERT_TRUE(body_line("RESLICE 0 300 200 0 0 2 1 2 3 0 1 0 extra words"));
  EXPECT_EQ(planes[0].width, 300);
  EXPECT_EQ(planes[0].height, 200);
  EXPECT_EQ(pages.slider_width, 300);
  EXPECT_EQ(pages.slider_height, 200);
  EXPECT_DOUBLE_EQ(planes[0].normal.z, 1.0);
  EXPECT_DOUBLE_EQ(planes[0].centre.y, 2.0);
  // A plane saved from frames larger or smaller than the pages offer opens,
  // brought into their range of 24 to 5000 pixels.
  ASSERT_TRUE(body_line("RESLICE 0 6000 10 0 0 1 0 0 0 0 1 0"));
  EXPECT_EQ(planes[0].width, 5000);
  EXPECT_EQ(planes[0].height, 24);
  EXPECT_EQ(pages.slider_width, 5000);
  ASSERT_TRUE(body_line("RESLICE 1 1.5 -2 0.25"));
  EXPECT_NE(written(write_out_reslice).find("RESLICE 1 1.500000 -2.000000 0.250000\n"),
            std::string::npos);
}

// ---- CURVE -----------------------------------------------------------------

TEST_F(native_lines, CurveLinesReadPointsThenTheName) {
  curve_set& curves = *t().RES_CURVE->read();
  const line_case cases[] = {
      {"CURVE 3 1 1 2 3 0 0 1 4 5 6 0 1 0 Left rim", true, ""},
      {"CURVE 3 0 1 2 3 0 0 1 7 8 9 10 11 Left  rim", true, ""},
      {"CURVE 3 1 1 2 3 0 0 1", false, "Problem reading name in CURVE line"},
      {"CURVE 200 1 Rim", true, "Ignoring objects greater than 199 in CURVE line"},
      {"CURVE -3 1 Rim", false, "Object number -3 in CURVE line"},
      {"CURVE 3 q Rim", false, "Problem reading curve closed status in CURVE line"},
      {"CURVE 199 0 Rim", true, ""},
  };
  for (const line_case& c : cases) expect_line(c);
  ASSERT_EQ(curves.size(), 3u);
  EXPECT_TRUE(curves[0].closed);
  ASSERT_EQ(curves[0].points.size(), 2u);
  EXPECT_DOUBLE_EQ(curves[0].points[1].ny, 1.0);
  EXPECT_EQ(curves[0].name, "Left rim");
  EXPECT_FALSE(curves[1].closed);
  EXPECT_EQ(curves[1].points.size(), 1u);
  EXPECT_EQ(curves[1].name, "7 8 9 10 11 Left rim");
  EXPECT_EQ(curves[2].object, 199);

  curves.curves.resize(1);
  curves[0].points[0].x = 1.123456789;
  EXPECT_EQ(written(write_out_curve_dat),
            "CURVE 3 1 1.12345679 2.00000000 3.00000000 0.00000000 0.00000000 1.00000000 "
            "4.00000000 5.00000000 6.00000000 0.00000000 1.00000000 0.00000000 Left rim\n");
}

// ---- LANDMARK and FIDUCIAL -------------------------------------------------

TEST_F(native_lines, LandmarkLinesFindTheirKindAndMoveNamesakes) {
  const line_case refused[] = {
      {"LANDMARK", false, "Problem reading x/2D/SURF token in LANDMARK line"},
      {"LANDMARK 2d 1 2 3 A", false, "Problem reading x coordinate in LANDMARK line"},
      {"LANDMARK 2D x", false, "Problem reading x coordinate in LANDMARK line"},
      {"LANDMARK SURF q", false, "Problem reading object in LANDMARK SURF line"},
      {"LANDMARK SURF 500 1 2 3 0 0 1 X", false, "Object 500 in LANDMARK SURF line"},
      {"LANDMARK SURF 5 x", false, "Problem reading x coordinate in LANDMARK SURF line"},
      {"LANDMARK SURF 5 1 2 3 0 0", false,
       "Problem reading normal z coordinate in LANDMARK SURF line"},
      {"LANDMARK 1 y", false, "Problem reading y coordinate in LANDMARK line"},
      {"LANDMARK 1 2", false, "Problem reading z coordinate in LANDMARK line"},
      {"LANDMARK 1 2 3", false, "Problem reading name in LANDMARK line"},
      {"FIDUCIAL 1 2 z", false, "Problem reading z coordinate in FIDUCIAL line"},
      {"FIDUCIAL 1 2 3", false, "Problem reading name in FIDUCIAL line"},
  };
  for (const line_case& c : refused) expect_line(c);
  EXPECT_EQ(marks().size(), 0u);

  ASSERT_TRUE(body_line("LANDMARK SURF 5 1 2 3 0 3 4 Tip"));
  ASSERT_TRUE(body_line("LANDMARK SURF 5 7 8 9 0 0 0 Tip"));
  ASSERT_TRUE(body_line("LANDMARK SURF 6 1 2 3 1 0 0 Tip"));
  ASSERT_EQ(marks().size(), 2u);
  EXPECT_DOUBLE_EQ(marks()[0].x, 7.0);
  EXPECT_DOUBLE_EQ(marks()[0].nz, 0.0);
  EXPECT_EQ(marks()[1].object, 6);

  ASSERT_TRUE(body_line("LANDMARK 1 2 3 T12 Spinous Process"));
  EXPECT_EQ(marks()[2].kind, LM_SPINE);
  EXPECT_EQ(marks()[2].level, 16);
  EXPECT_EQ(marks()[2].part, 1);
  ASSERT_TRUE(body_line("LANDMARK 4 5 6 T12 Spinous Process"));
  EXPECT_EQ(marks().size(), 3u);
  EXPECT_EQ(marks()[2].kind, LM_DATA);
  EXPECT_DOUBLE_EQ(marks()[2].z, 6.0);

  ASSERT_TRUE(body_line("LANDMARK 2D 0.5 0.25 7 Mark"));
  EXPECT_EQ(marks()[3].kind, LM_2D);

  marks().add_landmark({0, 0, 0}, "Fiducial 1", LM_FIDUCIAL);
  ASSERT_TRUE(body_line("FIDUCIAL 1 2 3 Fiducial 1"));
  EXPECT_EQ(marks().size(), 5u);
  EXPECT_DOUBLE_EQ(marks()[4].y, 2.0);

  marks()[0].nx = 0, marks()[0].ny = 0.6, marks()[0].nz = 0.8;
  marks()[2].x = 1.23456789;
  marks()[2].kind = LM_SPINE;
  EXPECT_EQ(written(write_out_landmark_dat),
            "LANDMARK SURF 5 7 8 9 0 0.6 0.8 Tip\nLANDMARK SURF 6 1 2 3 1 0 0 Tip\n"
            "LANDMARK 1.23457 5 6 T12 Spinous Process\nLANDMARK 2D 0.5 0.25 7 Mark\n");
  EXPECT_EQ(written(write_out_fiducial_dat), "FIDUCIAL 1 2 3 Fiducial 1\n");
}

TEST_F(native_lines, SurfaceLandmarkNormalsAreMadeUnitLength) {
  ASSERT_TRUE(body_line("LANDMARK SURF 5 1 2 3 0 3 4 Tip"));
  EXPECT_EQ(marks()[0].kind, LM_SURFACE);
  EXPECT_DOUBLE_EQ(marks()[0].ny, 0.6);
  EXPECT_DOUBLE_EQ(marks()[0].nz, 0.8);
}

// ---- header lines and frame records ----------------------------------------

TEST_F(native_lines, CommentsAndFrameListsReadAndWriteBack) {
  ASSERT_TRUE(base_res_t::parse_no_changeprocs("#\tsome  words ", RES_CLASS_DATA_HEADER));
  ASSERT_TRUE(base_res_t::parse_no_changeprocs("#", RES_CLASS_DATA_HEADER));
  ASSERT_TRUE(base_res_t::parse_no_changeprocs("#glued", RES_CLASS_DATA_HEADER));
  const std::vector<wxString>& comments = *t().RES_COMMENT->pending();
  ASSERT_EQ(comments.size(), 2u);
  EXPECT_EQ(comments[0], "some  words ");
  EXPECT_EQ(comments[1], "");
  EXPECT_TRUE(t().RES_COMMENT->written());
  base_res_t::make_pending_writes_happen();
  EXPECT_EQ(written(write_out_comment), "# some  words \n# \n");

  ASSERT_TRUE(
      base_res_t::parse_no_changeprocs("RES_DICOM_FRAME_LIST 4 5 x 6", RES_CLASS_DATA_HEADER));
  EXPECT_EQ(*t().RES_DICOM_FRAME_LIST->pending(), (std::vector<long>{4, 5}));
  EXPECT_EQ(written(write_out_dicom_frame_list), "RES_DICOM_FRAME_LIST 4 5\n");
  EXPECT_FALSE(base_res_t::parse_no_changeprocs("RES_DICOM_FRAME_LIST x 1", RES_CLASS_DATA_HEADER));
  EXPECT_TRUE(log_.has(wxLOG_Error, "Problem reading frame number in RES_DICOM_FRAME_LIST line"));
  t().RES_DICOM_FRAME_LIST->read()->clear();
  EXPECT_EQ(written(write_out_dicom_frame_list), "");
}

TEST_F(native_lines, FrameRecordsTakeTimestampsAndPositions) {
  t().RES_POS_REC->write_no_changeprocs(false);
  EXPECT_TRUE(body_line("IM abc123xyz"));
  EXPECT_TRUE(body_line("IM 18446744073709551615 ignored"));
  expect_line({"IM abc", false, "Problem reading timestamp in image IM line"});
  expect_line({"IM", false, "Problem: not enough numbers reading timestamp information"});
  EXPECT_EQ(frame_store->timestamps, (std::vector<uint64_t>{123, UINT64_MAX}));
  EXPECT_TRUE(frame_store->positions.empty());

  frame_store->clear();
  t().RES_POS_REC->write_no_changeprocs(true);
  expect_line(
      {"IM 5 1 2 3", true, "Not enough numbers reading position information in image IM line"});
  expect_line(
      {"IM 6 1 2 x 4 5 6", true, "Problem reading position information numbers in image IM line"});
  // A position beyond a float or not a number places the frame nowhere.
  expect_line({"IM 7 1 2 nan 4 5 6", true, "Position information in image IM line is not a finite"});
  expect_line({"IM 8 1 2 3 1e39 5 6", true, "Position information in image IM line is not a finite"});
  for (size_t k : {size_t(2), size_t(3)}) {
    ASSERT_GT(frame_store->positions.size(), k);
    const position_t& p = *frame_store->positions[k];
    EXPECT_EQ(std::vector<float>({p.x, p.y, p.z, p.azimuth, p.elevation, p.roll}),
              std::vector<float>(6, 0.0f));
  }
  ASSERT_EQ(frame_store->positions.size(), 4u);
  const position_t& a = *frame_store->positions[0];
  const position_t& b = *frame_store->positions[1];
  EXPECT_EQ(std::vector<float>({a.x, a.y, a.z, a.azimuth, a.elevation, a.roll}),
            std::vector<float>({1, 2, 3, 0, 0, 0}));
  EXPECT_EQ(std::vector<float>({b.x, b.y, b.z, b.azimuth}), std::vector<float>({1, 2, 0, 0}));
}

TEST_F(native_lines, FrameRecordsAreWrittenExactly) {
  frame_store->timestamps = {0, UINT64_MAX};
  frame_store->positions.push_back(position_holder_t::create({1.5f, 0, 0, 0, 0, -90}));
  frame_store->positions.push_back(position_holder_t::create({-0.1f, 2, 3, 4, 5, 6}));
  t().RES_BUF_FRAMES->write(2);
  t().RES_POS_REC->write(true);
  EXPECT_EQ(written(write_out_image_dat),
            "IM 0 1.500000 0.000000 0.000000 0.000000 0.000000 -90.000000\n"
            "IM 18446744073709551615 -0.100000 2.000000 3.000000 4.000000 5.000000 6.000000\n");
  t().RES_POS_REC->write(false);
  EXPECT_EQ(written(write_out_image_dat), "IM 0\nIM 18446744073709551615\n");
  EXPECT_EQ(ulong_to_wxString(0), "0");
  // Digits past 64 bits are refused, never wrapped.
  uint64_t v;
  EXPECT_TRUE(parse_unsigned_digits("x18446744073709551615", v));
  EXPECT_EQ(v, UINT64_MAX);
  EXPECT_FALSE(parse_unsigned_digits("x18446744073709551616", v));
  EXPECT_FALSE(parse_unsigned_digits("99999999999999999999", v));
  EXPECT_FALSE(body_line("IM 18446744073709551616"));
  EXPECT_TRUE(log_.has(wxLOG_Error, "Problem reading timestamp in image IM line"));
}

}  // namespace
