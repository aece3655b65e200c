// Surfaces built from a data file as the Draw page's update builds them:
// sections by the frame planes, planimetry, cancel and contour repair.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "common/log_capture.h"
#include "data/data_io_ui.h"
#include "data/native_file.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "surface_test_support.h"
#include "surfaces/surface_build.h"
#include "surfaces/surface_section.h"
#include "surfaces/surface_sources.h"
#include "tools/headless_session.h"

using namespace surface_test;

namespace {

class surface_build : public ::testing::Test {
 protected:
  surface_build() : scope_(ui_) {}
  void SetUp() override {
    static int serial = 0;
    dir_ = std::filesystem::temp_directory_path() /
           ("nv_surface_build_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
    std::filesystem::create_directories(dir_);
    session_ = std::make_unique<headless_session>();
  }
  void TearDown() override {
    session_.reset();
    std::filesystem::remove_all(dir_);
  }
  bool load(int frames, double spacing, const std::vector<std::pair<int, contour_t>>& c,
            const std::string& extra = "") {
    session_.reset();
    session_ = std::make_unique<headless_session>();
    const std::string p = (dir_ / "d.hm").string();
    write_stack_file(p, frames, spacing, c, 2, extra);
    return open_native_file(wxString::FromUTF8(p));
  }
  contour_object& object(int k) { return resource_table->RES_OBJECT->read()[k]; }

  console_data_io_ui ui_;
  data_ui_scope scope_;
  std::unique_ptr<headless_session> session_;
  std::filesystem::path dir_;
};

// Shoelace area of a contour, pixels^2.
double area_of(const contour_t& c) {
  double a = 0;
  for (size_t i = 0; i < c.vertices.size(); ++i) {
    const vec2_t &p = c.vertices[i], &q = c.vertices[(i + 1) % c.vertices.size()];
    a += p.x * q.y - q.x * p.y;
  }
  return std::fabs(a / 2);
}

}  // namespace

// The sphere of radius 20 px (sections on frames 1..7, default resolution and
// smoothing) cut by each contour frame's plane: one closed contour whose
// area is that of the drawn section (a 96-gon of the circle) on a radius
// within 0.6 px: the grid (step 2 px) passes through the outlines to a
// fraction of a pixel, and the smoothing pulls the most curved rims (the
// end sections, radius 8.7 px) in by about a third of a pixel.
TEST_F(surface_build, FramePlanesCutTheSphereInItsSections) {
  ASSERT_TRUE(load(9, 0.06, sphere_sections()));
  std::unique_ptr<surface_interp> s(build_contour_surface_from_resources(2, nullptr));
  ASSERT_GT(s->mesh.n_triangles, 100);
  EXPECT_TRUE(s->closed);
  for (int f = 1; f <= 7; ++f) {
    SCOPED_TRACE(f);
    const std::unique_ptr<frame_contours_t> sec = plane_cross_section(*s, f, 1, 0.1);
    ASSERT_EQ(sec->contours.size(), 1u);
    EXPECT_TRUE(sec->contours[0].closed);
    const double z = 6.0 * (f - 4), r = std::sqrt(400 - z * z);
    EXPECT_NEAR(std::sqrt(area_of(sec->contours[0]) / polygon_area(1)), r, 0.6);
    // Centred on the sphere's axis.
    vec2_t c;
    sec->contours[0].area_and_centroid(c);
    EXPECT_NEAR(c.x, 50.0, 0.5);
    EXPECT_NEAR(c.y, 50.0, 0.5);

    // Every row of the frame: pairs of crossings, the middle row spanning
    // about the diameter.
    std::vector<std::vector<int32_t>> rows;
    ASSERT_TRUE(scanline_crossings(*s, f, 1, rows));
    ASSERT_EQ(rows.size(), 100u);
    for (const auto& row : rows) EXPECT_EQ(row.size() % 2, 0u);
    ASSERT_EQ(rows[50].size(), 2u);
    EXPECT_NEAR(rows[50][1] - rows[50][0] + 1, 2 * r, 2.5);
    EXPECT_TRUE(rows[2].empty());
    // Divisor 2 halves every coordinate; row step 2 keeps the even rows.
    const std::unique_ptr<frame_contours_t> half = plane_cross_section(*s, f, 2, 0.05);
    ASSERT_EQ(half->contours.size(), 1u);
    EXPECT_NEAR(area_of(half->contours[0]), area_of(sec->contours[0]) / 4, 0.02 * area_of(sec->contours[0]));
    std::vector<std::vector<int32_t>> even;
    ASSERT_TRUE(scanline_crossings(*s, f, 2, even));
    EXPECT_EQ(even.size(), 50u);
  }
  // Frames 0 and 8 (the covered ends) and beyond the store miss the mesh.
  EXPECT_TRUE(plane_cross_section(*s, 0, 1, 0.1)->contours.empty());
  EXPECT_TRUE(plane_cross_section(*s, 30, 1, 0.1)->contours.empty());
  std::vector<std::vector<int32_t>> rows;
  EXPECT_FALSE(scanline_crossings(*s, 30, 1, rows));
}

// Planimetry: equal parallel squares of 20 x 20 px (4 mm^2 = 0.04 cm^2)
// 0.06 cm apart: area x spacing x (n - 1), whatever the order of the list;
// a frame beyond the store is left out and its neighbours joined.
TEST_F(surface_build, PlanimetryOfPrisms) {
  contour_t square;
  square.closed = true;
  square.vertices = {{40, 40}, {60, 40}, {60, 60}, {40, 60}};
  // Positions are single precision: 1e-7 relative.
  const double prism = 0.04 * 0.06 * 4;
  ASSERT_TRUE(load(6, 0.06, {{0, square}, {1, square}, {2, square}, {3, square}, {4, square}}));
  EXPECT_NEAR(planimetry_volume(object(2).frames), prism, 1e-7 * prism);
  object(2).frames.reverse();
  EXPECT_NEAR(planimetry_volume(object(2).frames), prism, 1e-7 * prism);
  // Two frames: the prism between them.
  std::list<frame_contours_t> two;
  two.push_back(object(2).frames.front());
  two.push_back(object(2).frames.back());
  EXPECT_NEAR(planimetry_volume(two), prism, 1e-7 * prism);
  // A frame past the store is skipped; one frame alone gives 0.
  two.back().frame = 40;
  EXPECT_EQ(planimetry_volume(two), 0.0);
  std::list<frame_contours_t> none;
  EXPECT_EQ(planimetry_volume(none), 0.0);
}

// Unevenly spaced sections of changing area (squares of side 20, 30 and 10 px
// on frames 0, 1 and 4, 0.06 cm apart): the curves through them bend, and the
// volume is the integral of area times the rate of the section curve, taken
// here by Simpson's rule on the Catmull-Rom curves in their usual form.
TEST_F(surface_build, PlanimetryOfUnevenSections) {
  auto square = [](double side) {
    contour_t c;
    c.closed = true;
    c.vertices = {{50 - side / 2, 50 - side / 2}, {50 + side / 2, 50 - side / 2},
                  {50 + side / 2, 50 + side / 2}, {50 - side / 2, 50 + side / 2}};
    return c;
  };
  ASSERT_TRUE(load(6, 0.06, {{0, square(20)}, {1, square(30)}, {4, square(10)}}));
  const std::vector<double> z = {0.0, float(0.06), float(0.24)};  // cm, as the positions hold them
  const std::vector<double> a = {0.04, 0.09, 0.01};                // cm^2
  auto at = [](const std::vector<double>& v, int i) {
    const int n = int(v.size());
    return i < 0 ? 2 * v[0] - v[1] : i >= n ? 2 * v[n - 1] - v[n - 2] : v[size_t(i)];
  };
  auto curve = [&](const std::vector<double>& v, int k, double t) {
    const double p0 = at(v, k - 1), p1 = at(v, k), p2 = at(v, k + 1), p3 = at(v, k + 2);
    return 0.5 * (2 * p1 + (p2 - p0) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t * t +
                  (-p0 + 3 * p1 - 3 * p2 + p3) * t * t * t);
  };
  double expected = 0;
  const int steps = 2000;
  const double h = 1.0 / steps, d = 1e-6;
  for (int k = 0; k < 2; ++k)
    for (int i = 0; i <= steps; ++i) {
      const double t = i * h;
      const double rate = (curve(z, k, t + d) - curve(z, k, t - d)) / (2 * d);
      const double w = (i == 0 || i == steps) ? 1 : (i % 2 ? 4 : 2);
      expected += w * curve(a, k, t) * rate * h / 3;
    }
  EXPECT_NEAR(planimetry_volume(object(2).frames), expected, 1e-6 * expected);
}

namespace {

struct cancelling_progress : interp_progress {
  int calls = 0;
  bool update(int, const wxString&) override { return ++calls < 1; }
};

}  // namespace

namespace {

struct recording_progress : interp_progress {
  std::vector<std::pair<int, std::string>> updates;
  bool update(int value, const wxString& message) override {
    updates.emplace_back(value, message.ToStdString());
    return true;
  }
};

}  // namespace

// The last plane always reports, with the object's name and the counts so far.
TEST_F(surface_build, ProgressReportsTheLastPlane) {
  ASSERT_TRUE(load(9, 0.06, sphere_sections()));
  object(2).name = "Femur";
  recording_progress progress;
  std::unique_ptr<surface_interp> s(build_contour_surface_from_resources(2, &progress));
  ASSERT_FALSE(progress.updates.empty());
  const auto& last = progress.updates.back();
  // Nine planes (seven sections, two covered ends): plane 8, 8 * 1000 / 9.
  EXPECT_EQ(last.first, 888);
  EXPECT_EQ(last.second.rfind("Currently calculating surface of Femur\nOn contour 8 of 9 (", 0), 0u)
      << last.second;
  EXPECT_NE(last.second.find(" triangles so far)"), std::string::npos);
  EXPECT_GT(s->volume, 0.0);
}

TEST_F(surface_build, CancelLeavesAnEmptySurfaceMarkedCancelled) {
  ASSERT_TRUE(load(9, 0.06, sphere_sections()));
  cancelling_progress progress;
  std::unique_ptr<surface_interp> s(build_contour_surface_from_resources(2, &progress));
  EXPECT_EQ(progress.calls, 1);
  EXPECT_EQ(s->volume, -1.0);
  EXPECT_EQ(s->mesh.n_points, 0);
  EXPECT_TRUE(s->planes.empty());
  EXPECT_TRUE(s->nodes.empty());
}

// Frame 3 of object 2 holds crossing contours between two plain frames.
// What the repair mends gets a warning naming the frame (none in expert
// mode); what it cannot mend gets a 2D landmark at the crossing, found
// again by the next build, which then neither adds one nor warns.
TEST_F(surface_build, CrossingContoursAreRepairedOrMarked) {
  struct row {
    const char* name;
    std::vector<contour_t> on_frame_3;
    std::string warning;
    int lx, ly;  // landmark pixel, -1 for none
  };
  contour_t eight;  // a figure of eight crossing itself at (50, 50)
  eight.closed = true;
  eight.vertices = {{30, 40}, {70, 60}, {70, 40}, {30, 60}};
  const row rows[] = {
      {"self-intersection", {eight}, "Contour on frame 3 changed to remove self-intersections", -1, -1},
      // Two copies of a circle of radius 15 lie on each other from its first
      // vertex (65, 50) on; the repair moves points but cannot part them.
      {"two copies", {circle(50, 50, 15), circle(50, 50, 15)},
       "Contours overlapping, landmark created for frame 3 at (65,50), not able to correct.\n"
       "This will result in a slightly lower quality surface",
       65, 50},
      // Discs of radius 12 at x 45 and 55 cross at (50, 50 +- 10.9); the
      // section keeps only part of what they enclose, and says so.
      {"overlap", {circle(45, 50, 12), circle(55, 50, 12)},
       "Contours overlapping, landmark created for frame 3 at (50,60), too significant to "
       "correct.\nThe surface's section on this frame has ",
       50, 60},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    std::vector<std::pair<int, contour_t>> c = {{2, circle(50, 50, 15)}, {4, circle(50, 50, 15)}};
    for (const contour_t& k : r.on_frame_3) c.emplace_back(3, k);
    ASSERT_TRUE(load(7, 0.06, c));
    log_capture log;
    std::unique_ptr<surface_interp> s(build_contour_surface_from_resources(2, nullptr));
    EXPECT_TRUE(log.has(wxLOG_Warning, r.warning)) << (log.records().empty() ? "" : log.records()[0].text);
    EXPECT_GT(s->mesh.n_triangles, 0);
    landmarks& marks = *resource_table->RES_LANDMARKS->read();
    size_t pos;
    const bool marked = marks.find_by_name("Obj 2 cont 3 intercept", pos);
    ASSERT_EQ(marked, r.lx >= 0);
    if (marked) {
      EXPECT_EQ(marks[pos].kind, LM_2D);
      EXPECT_DOUBLE_EQ(marks[pos].x, r.lx * 0.01);
      EXPECT_DOUBLE_EQ(marks[pos].y, r.ly * 0.01);
      EXPECT_EQ(marks[pos].z, 3.0);
      EXPECT_TRUE(log.has(wxLOG_Warning, "Some contours were overlapping or self-intersecting."));
      const size_t count = marks.size();
      log.clear();
      s.reset(build_contour_surface_from_resources(2, nullptr));
      EXPECT_EQ(marks.size(), count);
      EXPECT_EQ(log.count(wxLOG_Warning), 0);
    } else {
      // Expert mode builds the same without the warning.
      ASSERT_TRUE(load(7, 0.06, c));
      resource_table->RES_EXPERT_MODE->write(true);
      base_res_t::make_pending_writes_happen();
      log.clear();
      s.reset(build_contour_surface_from_resources(2, nullptr));
      EXPECT_EQ(log.count(wxLOG_Warning), 0);
    }
  }
}

// Contours on frames 3 and 7 of 10 frames: covered ends on frames 2 and 8;
// on frames 0 and 9 none. A frame whose only contour is open makes no plane
// and does not move the ends.
TEST_F(surface_build, PlanesAndCoveredEnds) {
  contour_t open = circle(50, 50, 10);
  open.closed = false;
  struct row {
    std::vector<std::pair<int, contour_t>> contours;
    std::vector<int> frames;  // -1: an empty end plane
    double first_z, last_z;   // cm, of the first and last plane
  };
  const row rows[] = {
      {{{3, circle(50, 50, 10)}, {7, circle(50, 50, 10)}}, {-1, 3, 7, -1}, 0.12, 0.48},
      {{{0, circle(50, 50, 10)}, {9, circle(50, 50, 10)}}, {0, 9}, 0.0, 0.54},
      {{{2, open}, {3, circle(50, 50, 10)}, {7, circle(50, 50, 10)}, {8, open}},
       {-1, 3, 7, -1}, 0.12, 0.48},
  };
  for (const row& r : rows) {
    ASSERT_TRUE(load(10, 0.06, r.contours));
    const std::vector<plane_source> planes = surface_planes_of_object(2, true);
    std::vector<int> frames;
    for (const plane_source& p : planes) frames.push_back(p.contours ? p.contours->frame : -1);
    EXPECT_EQ(frames, r.frames);
    ASSERT_FALSE(planes.empty());
    EXPECT_NEAR(planes.front().transform[14], r.first_z, 1e-6);
    EXPECT_NEAR(planes.back().transform[14], r.last_z, 1e-6);
    EXPECT_EQ(surface_planes_of_object(2, false).size(), 2u);
  }
  // One frame with contours: nothing to interpolate.
  ASSERT_TRUE(load(10, 0.06, {{4, circle(50, 50, 10)}}));
  std::unique_ptr<surface_interp> s(build_contour_surface_from_resources(2, nullptr));
  EXPECT_EQ(s->mesh.n_points, 0);
  EXPECT_EQ(s->volume, 0.0);
}

// Contours that touch or cross build the solid they enclose: a prism over
// frames 2 to 6 (0.24 cm) whose volume is the lobes' polygon area times the
// height, within 3 %. Self-crossing and self-touching contours are split
// into their lobes and reported as changed, never as marked or lossy.
TEST_F(surface_build, TouchingAndCrossingContoursKeepTheirVolume) {
  auto ring = [](double cx, double start, double sign) {
    contour_t c;
    for (int i = 0; i < 96; ++i) {
      const double a = start + sign * 2 * PI * i / 96;
      c.vertices.push_back({cx + 10 * std::cos(a), 50 + 10 * std::sin(a)});
    }
    c.closed = true;
    return c;
  };
  auto joined = [](contour_t a, const contour_t& b) {
    a.vertices.insert(a.vertices.end(), b.vertices.begin(), b.vertices.end());
    return a;
  };
  const double two_discs = 2 * polygon_area(10);
  // A figure of eight (lemniscate) whose crossing at (50, 50) falls between
  // vertices; its lobes are the vertices on either side of x = 50 closed
  // through the crossing.
  contour_t lemniscate;
  lemniscate.closed = true;
  for (int i = 0; i < 97; ++i) {
    const double t = 2 * PI * (i + 0.5) / 97;
    lemniscate.vertices.push_back({50 + 20 * std::cos(t), 50 + 10 * std::sin(2 * t)});
  }
  double lobes = 0;
  for (int side : {-1, 1}) {
    contour_t lobe;
    lobe.closed = true;
    for (const vec2_t& v : lemniscate.vertices)
      if ((v.x - 50) * side > 0) lobe.vertices.push_back(v);
    // The lobe's vertices run round it from next to the crossing back to it.
    std::vector<vec2_t> ordered;
    size_t start = 0;
    for (size_t k = 0; k < lobe.vertices.size(); ++k) {
      const vec2_t& a = lobe.vertices[k];
      const vec2_t& b = lobe.vertices[(k + 1) % lobe.vertices.size()];
      if (std::hypot(a.x - b.x, a.y - b.y) > 5) start = (k + 1) % lobe.vertices.size();
    }
    for (size_t k = 0; k < lobe.vertices.size(); ++k)
      ordered.push_back(lobe.vertices[(start + k) % lobe.vertices.size()]);
    ordered.push_back({50, 50});
    lobe.vertices = ordered;
    lobes += area_of(lobe);
  }
  struct row {
    const char* name;
    std::vector<contour_t> contours;  // on each of frames 2..6
    double area;                      // enclosed, pixels^2
    bool changed;                     // reported as repaired
  };
  const row rows[] = {
      {"discs touching at a point", {ring(40, 0, 1), ring(60, PI, 1)}, two_discs, false},
      {"eight touching itself", {joined(ring(40, 0, 1), ring(60, PI, 1))}, two_discs, true},
      {"eight crossing itself at a vertex", {joined(ring(40, 0, 1), ring(60, PI, -1))}, two_discs,
       true},
      {"eight crossing itself between vertices", {lemniscate}, lobes, true},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    std::vector<std::pair<int, contour_t>> c;
    for (int f = 2; f <= 6; ++f)
      for (const contour_t& k : r.contours) c.emplace_back(f, k);
    ASSERT_TRUE(load(9, 0.06, c, "RES_SURFACE_COVER false\n"));
    log_capture log;
    std::unique_ptr<surface_interp> s(build_contour_surface_from_resources(2, nullptr));
    const double expected = r.area * 1e-4 * 0.24;
    EXPECT_NEAR(s->volume, expected, 0.03 * expected);
    EXPECT_EQ(check_mesh(*s).open_edges, 0);
    EXPECT_EQ(log.has(wxLOG_Warning, "Contour on frame 2 changed to remove self-intersections"),
              r.changed);
    EXPECT_FALSE(log.has(wxLOG_Warning, "landmark created"));
    EXPECT_EQ(resource_table->RES_LANDMARKS->read()->size(), 0u);
  }
}

// A section only a few grid cells across cannot keep its area: a disc of
// radius 1.5 px (a 3 px disc) at the default step of 2 px warns once about
// the resolution, unless in expert mode; a disc of radius 10 px does not.
TEST_F(surface_build, SectionsTooNarrowForTheGridWarn) {
  const std::string warning = "This surface resolution is too low for the current set of contours.";
  struct row {
    double radius;
    bool expert;
    int warnings;
  };
  for (const row& r : {row{1.5, false, 1}, row{1.5, true, 0}, row{10, false, 0}}) {
    SCOPED_TRACE(r.radius);
    std::vector<std::pair<int, contour_t>> c;
    for (int f = 2; f <= 6; ++f) c.emplace_back(f, circle(50, 50, r.radius, 24));
    ASSERT_TRUE(load(9, 0.06, c));
    resource_table->RES_EXPERT_MODE->write(r.expert);
    base_res_t::make_pending_writes_happen();
    log_capture log;
    std::unique_ptr<surface_interp> s(build_contour_surface_from_resources(2, nullptr));
    EXPECT_GT(s->mesh.n_triangles, 0);
    int n = 0;
    for (const auto& rec : log.records()) n += rec.text.find(warning) != std::string::npos;
    EXPECT_EQ(n, r.warnings);
  }
}

// Two discs of radius 12 crossing each other (centres 10 px apart) on frames
// 2 to 6 cannot be repaired: the warning gives the share of the enclosed
// area (the discs less twice their lens) that the surface keeps, which is
// what its volume shows against the prism over that area.
TEST_F(surface_build, UnrepairedCrossingSaysHowMuchAreaIsKept) {
  std::vector<std::pair<int, contour_t>> c;
  for (int f = 2; f <= 6; ++f) {
    c.emplace_back(f, circle(45, 50, 12));
    c.emplace_back(f, circle(55, 50, 12));
  }
  ASSERT_TRUE(load(9, 0.06, c, "RES_SURFACE_COVER false\n"));
  log_capture log;
  std::unique_ptr<surface_interp> s(build_contour_surface_from_resources(2, nullptr));
  const double lens = 2 * 144 * std::acos(10.0 / 24) - 5 * std::sqrt(576.0 - 100);
  const double enclosed = 2 * polygon_area(12) - 2 * lens;
  const double kept = s->volume / (enclosed * 1e-4 * 0.24);
  const std::string prefix = "The surface's section on this frame has ";
  int reported = 0;
  for (const auto& r : log.records()) {
    const size_t at = r.text.find(prefix);
    if (at == std::string::npos) continue;
    ++reported;
    const double percent = std::atof(r.text.c_str() + at + prefix.size());
    EXPECT_NEAR(percent / 100, kept, 0.08) << r.text;
    EXPECT_LT(percent, 90);
  }
  EXPECT_EQ(reported, 5);  // one per frame
  EXPECT_FALSE(log.has(wxLOG_Warning, "slightly lower quality"));
}
