// Landmarks (default names, spine classification, finding and name checks)
// and landmark curves (picking and closing).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include <wx/init.h>
#include <wx/log.h>

#include "common/log_capture.h"
#include "data/curves.h"
#include "data/landmarks.h"

namespace {

const vec3_t origin{0, 0, 0};

std::vector<wxString> names(const landmarks& l) {
  std::vector<wxString> n;
  for (const landmark_t& lm : l) n.push_back(lm.name);
  return n;
}

}  // namespace

TEST(LandmarkNames, DefaultNamesTakeTheFirstFreeNumber) {
  landmarks l;
  l.add_landmark({1, 2, 3}, "Landmark 1", LM_DATA);
  l.add_landmark(origin, "Landmark 3", LM_DATA);
  l.add_default_landmark({4, 5, 6}, LM_DATA);
  EXPECT_EQ(l[2].name, "Landmark 2");
  EXPECT_EQ(l[2].kind, LM_DATA);
  EXPECT_EQ(l[2].x, 4.0);
  EXPECT_EQ(l[2].nx, 0.0);

  // A fiducial's name blocks a data landmark's default name as well.
  landmarks m;
  m.add_landmark(origin, "Landmark 1", LM_DATA);
  m.add_landmark(origin, "Landmark 3", LM_DATA);
  m.add_landmark(origin, "Landmark 2", LM_FIDUCIAL);
  m.add_default_landmark(origin, LM_DATA);
  EXPECT_EQ(m[3].name, "Landmark 4");
  m.add_default_landmark(origin, LM_FIDUCIAL);
  EXPECT_EQ(m[4].name, "Fiducial 1");
  EXPECT_EQ(m[4].kind, LM_FIDUCIAL);
}

TEST(LandmarkNames, SurfaceDefaultsArePerObject) {
  landmarks l;
  const vec3_t normal{0, 0, 1};
  l.add_default_surface_landmark({1, 1, 1}, normal, 2);
  l.add_default_surface_landmark({2, 2, 2}, normal, 5);
  l.add_default_surface_landmark({3, 3, 3}, normal, 2);
  EXPECT_EQ(names(l), (std::vector<wxString>{"Surface 1", "Surface 1", "Surface 2"}));
  EXPECT_EQ(l[1].object, 5);
  EXPECT_EQ(l[2].kind, LM_SURFACE);
  EXPECT_EQ(l[2].nz, 1.0);
}

TEST(LandmarkSpine, ClassificationByName) {
  struct row {
    const char* name;
    int32_t kind_in, kind, part, level;
  } rows[] = {
      {"C3 Left Lamina", LM_DATA, LM_SPINE, 0, 0},
      {"T7 Spinous Process", LM_DATA, LM_SPINE, 1, 11},
      {"L5 Right Lamina", LM_DATA, LM_SPINE, 2, 21},
      {"T1 Right Lamina", LM_DATA, LM_SPINE, 2, 5},
      {"T10 Right Lamina", LM_DATA, LM_SPINE, 2, 14},  // T1 must not claim T10
      {"T12 Left Lamina", LM_DATA, LM_SPINE, 0, 16},
      {"Spine Central Upper", LM_DATA, LM_SPINE, 1, -1},
      {"Spine Right Lower", LM_DATA, LM_SPINE, 2, -1},
      {"C3 Left", LM_DATA, LM_DATA, -9, -9},
      {"C3Left Lamina", LM_DATA, LM_DATA, -9, -9},
      {"c3 Left Lamina", LM_DATA, LM_DATA, -9, -9},
      {"Spine central upper", LM_DATA, LM_DATA, -9, -9},
      {"C3 Left Lamina", LM_2D, LM_2D, -9, -9},         // other kinds stay as they are
      {"C3 Left Lamina", LM_FIDUCIAL, LM_FIDUCIAL, -9, -9},
      {"Tip of the nose", LM_SPINE, LM_DATA, -9, -9},   // a renamed spine landmark
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    landmark_t lm;
    lm.name = r.name;
    lm.kind = r.kind_in;
    lm.part = lm.level = -9;
    landmarks::classify_spine_name(lm);
    EXPECT_EQ(lm.kind, r.kind);
    if (r.kind == LM_SPINE) {
      EXPECT_EQ(lm.part, r.part);
      EXPECT_EQ(lm.level, r.level);
    }
  }
}

TEST(LandmarkSpine, AddingClassifiesAndSetMovesOrAppends) {
  landmarks l;
  l.add_landmark(origin, "C3 Left Lamina", LM_DATA);
  l.add_landmark(origin, "C3 Left Lamina", LM_2D);
  l.add_landmark(origin, "Whatever", LM_SURFACE);  // not added by this call
  l.add_landmark(origin, "Whatever", LM_SPINE);
  ASSERT_EQ(l.size(), 2u);
  EXPECT_EQ(l[0].kind, LM_SPINE);
  EXPECT_EQ(l[1].kind, LM_2D);

  landmarks s;
  s.set_spine_landmark({1, 2, 3}, 2, 21);
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].name, "L5 Right Lamina");
  EXPECT_EQ(s[0].kind, LM_SPINE);
  s[0].nx = 0.5;
  s.set_spine_landmark({7, 8, 9}, 2, 21);
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].x, 7.0);
  EXPECT_EQ(s[0].z, 9.0);
  EXPECT_EQ(s[0].nx, 0.5);
  s.set_spine_landmark(origin, 1, -1);
  EXPECT_EQ(s[1].name, "Spine Central Upper");
  EXPECT_EQ(s[1].level, -1);
  s.set_spine_landmark(origin, 2, 22);
  s.set_spine_landmark(origin, 3, 0);
  s.set_spine_landmark(origin, 0, -2);
  EXPECT_EQ(s.size(), 2u);
  size_t pos;
  ASSERT_TRUE(s.find_spine_landmark(1, -1, pos));
  EXPECT_EQ(pos, 1u);
  EXPECT_FALSE(s.find_spine_landmark(0, 0, pos));
  EXPECT_EQ(pos, s.size());
}

TEST(LandmarkFind, SurfaceLandmarksByBareAndFullName) {
  landmarks l;
  l.add_landmark(origin, "First", LM_DATA);
  l.add_surface_landmark({1, 1, 1}, {0, 1, 0}, 4, "Tip");
  l.add_surface_landmark({2, 2, 2}, {0, 1, 0}, 6, "Tip");
  size_t pos;
  ASSERT_TRUE(l.find_by_name("Tip", pos));
  EXPECT_EQ(pos, 1u);
  ASSERT_TRUE(l.find_by_name("6:Tip", pos));
  EXPECT_EQ(pos, 2u);
  EXPECT_FALSE(l.find_by_name("5:Tip", pos));
  EXPECT_EQ(pos, l.size());
  ASSERT_TRUE(l.find_surface_landmark("Tip", 6, pos));
  EXPECT_EQ(pos, 2u);
  EXPECT_FALSE(l.find_surface_landmark("First", 0, pos));

  EXPECT_TRUE(l.nth_surface_landmark(0, 4, pos));
  EXPECT_EQ(pos, 1u);
  EXPECT_FALSE(l.nth_surface_landmark(1, 4, pos));
  EXPECT_FALSE(l.nth_surface_landmark(0, 9, pos));

  l.renumber_object(4, 9);
  EXPECT_TRUE(l.find_by_name("9:Tip", pos));
  EXPECT_EQ(pos, 1u);
  EXPECT_EQ(l[0].object, 0);
}

TEST(LandmarkRemove, DataAndFiducialsSeparately) {
  landmarks l;
  l.add_landmark(origin, "Fiducial A", LM_FIDUCIAL);
  l.add_landmark(origin, "Data", LM_DATA);
  l.add_landmark(origin, "Flat", LM_2D);
  l.add_surface_landmark(origin, origin, 1, "Surf");
  l.set_spine_landmark(origin, 0, 0);
  l.add_landmark(origin, "Fiducial B", LM_FIDUCIAL);
  l.remove_data_landmarks();
  EXPECT_EQ(names(l), (std::vector<wxString>{"Fiducial A", "Fiducial B"}));
  l.add_landmark(origin, "Data", LM_DATA);
  l.remove_fiducials();
  EXPECT_EQ(names(l), (std::vector<wxString>{"Data"}));
}

TEST(LandmarkCheckName, RefusalsWarnUnderTheFunctionName) {
  wxInitializer toolkit;
  landmarks l;
  l.add_landmark(origin, "Apex", LM_DATA);
  l.add_landmark(origin, "Fiducial 1", LM_FIDUCIAL);
  l.add_surface_landmark(origin, origin, 4, "Tip");

  struct row {
    const char* name;
    int32_t kind;
    bool accept_duplicate;
    bool ok;
    size_t pos;  // 99: the end
    const char* warning;
  } rows[] = {
      {"Apex", LM_DATA, false, false, 0, "Landmark name must not be the same as another landmark name"},
      {"Apex", LM_DATA, true, true, 0, nullptr},
      {"4:Tip", LM_DATA, false, false, 2, "Landmark name must not be the same as another landmark name"},
      {"Tip", LM_DATA, false, true, 99, nullptr},
      // A duplicate draws only its own warning, whatever else is wrong.
      {"Fiducial 1", LM_DATA, false, false, 1, "Landmark name must not be the same as another landmark name"},
      {"Fiducial 1", LM_DATA, true, true, 1, nullptr},
      {" Apex", LM_DATA, false, false, 99, "Landmark name must not begin with white space"},
      {"\tApex", LM_DATA, false, false, 99, "Landmark name must not begin with white space"},
      {"", LM_DATA, false, false, 99, "Landmark name must not be empty!"},
      {"Nasion", LM_FIDUCIAL, false, false, 99, "Fiducial landmark names must begin with the word Fiducial"},
      {"Fiducials 2", LM_FIDUCIAL, false, true, 99, nullptr},
      {"Fiducial X", LM_DATA, false, false, 99, "Data landmark names must not begin with the word Fiducial"},
      {"Fiducial X", LM_2D, false, false, 99, "Data landmark names must not begin with the word Fiducial"},
      {"fiducial x", LM_DATA, false, true, 99, nullptr},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    log_capture log;
    size_t pos = 1234;
    EXPECT_EQ(l.check_name(r.name, r.kind, r.accept_duplicate, pos), r.ok);
    EXPECT_EQ(pos, r.pos == 99 ? l.size() : r.pos);
    if (!r.warning) {
      EXPECT_TRUE(log.records().empty());
      continue;
    }
    ASSERT_EQ(log.records().size(), 1u);
    EXPECT_EQ(log.records()[0].level, wxLOG_Warning);
    EXPECT_EQ(log.records()[0].text, r.warning);
    EXPECT_EQ(log.records()[0].func, "landmarks::check_name");
  }
}

TEST(CurveHitTest, PointsStrictSegmentInclusive) {
  curve_t c;
  c.points.resize(2);
  c.points[1].x = 10;
  struct row {
    vec3_t p;
    size_t first, second;
    int want;
  } rows[] = {
      {{5, 0.5, 0}, 0, 1, 3},
      {{0.5, 0, 0}, 0, 1, 1},
      {{5, 1, 0}, 0, 1, 3},   // exactly the tolerance from the line
      {{11, 0, 0}, 0, 1, 0},  // exactly the tolerance from a point, beyond the segment
      {{9.5, 0, 0}, 0, 1, 2},
      {{5, 0, 0.999}, 0, 1, 3},
      {{0.5, 0, 0}, 2, 1, 0},  // first at the end: only the second point is tested
      {{9.5, 0, 0}, 2, 1, 2},
      {{5, 0, 0}, 0, 2, 0},
      {{0.2, 0, 0}, 0, 0, 1},
      {{2, 0, 0}, 0, 0, 0},    // a segment of length 0 is never hit as a segment
  };
  for (const row& r : rows) {
    EXPECT_EQ(c.hit_test(r.p, r.first, r.second, 1.0), r.want)
        << r.p.x << "," << r.p.y << "," << r.p.z << " " << r.first << "-" << r.second;
  }
}

TEST(CurveFindNearSegment, LastToFirstOnlyWhenClosed) {
  curve_t c;
  c.points.resize(3);
  c.points[1].x = 10;
  c.points[2].x = 10;
  c.points[2].y = 10;
  const vec3_t mid_closing{5, 5.2, 0};  // near the middle of the segment from point 2 to 0
  size_t first = 77, second = 77;
  EXPECT_FALSE(c.find_near_segment(mid_closing, first, second, 0.5));
  EXPECT_EQ(first, 77u);
  c.closed = true;
  ASSERT_TRUE(c.find_near_segment(mid_closing, first, second, 0.5));
  EXPECT_EQ(first, 2u);
  EXPECT_EQ(second, 0u);
  // The last point of an open curve can still be picked.
  c.closed = false;
  ASSERT_TRUE(c.find_near_segment({10, 10.2, 0}, first, second, 0.5));
  EXPECT_EQ(first, 2u);
  EXPECT_EQ(second, 2u);
}

TEST(CurveTrimToPoint, LoopOfTwentyPoints) {
  auto loop = [] {
    curve_t c;
    for (int k = 0; k < 20; ++k) {
      double a = 2 * 3.141592653589793 * k / 20;
      curve_point p;
      p.x = 10 * std::cos(a);
      p.y = 10 * std::sin(a);
      p.tag = k;
      c.points.push_back(p);
    }
    return c;
  };
  auto middle = [](const curve_t& c, int a, int b) {
    return vec3_t{(c.points[a].x + c.points[b].x) / 2, (c.points[a].y + c.points[b].y) / 2, 0};
  };

  curve_t first_half = loop();
  ASSERT_TRUE(first_half.trim_to_point(middle(first_half, 3, 4), 0.5));
  EXPECT_TRUE(first_half.closed);
  ASSERT_EQ(first_half.points.size(), 16u);
  EXPECT_EQ(first_half.points[0].tag, 4);

  curve_t second_half = loop();
  second_half.closed = true;
  ASSERT_TRUE(second_half.trim_to_point(middle(second_half, 15, 16), 0.5));
  EXPECT_FALSE(second_half.closed);
  EXPECT_EQ(second_half.points.size(), 20u);

  // Still within reach of where the drawing is: marked open, nothing removed.
  curve_t near = loop();
  near.closed = true;
  near.points.resize(3);
  for (curve_point& p : near.points) p.x = p.y = 0.1 * p.tag;
  ASSERT_TRUE(near.trim_to_point({0.05, 0.05, 0}, 0.5));
  EXPECT_FALSE(near.closed);
  EXPECT_EQ(near.points.size(), 3u);

  curve_t miss = loop();
  EXPECT_FALSE(miss.trim_to_point({50, 50, 0}, 0.5));
  EXPECT_FALSE(miss.closed);
  EXPECT_EQ(miss.points.size(), 20u);
}

TEST(CurveSetAddCurve, NamesTakeTheFirstFreeNumberOfTheirObject) {
  curve_set set;
  auto make = [](int32_t object, const char* name) {
    curve_t c;
    c.object = object;
    c.name = name;
    return c;
  };
  // Object 3 has 0 and 2; object 4 has 1, which does not count for 3.
  set.add_curve(make(3, "Curve 0"), false);
  set.add_curve(make(3, "Curve 2"), false);
  set.add_curve(make(4, "Curve 1"), false);
  set.add_curve(make(3, "Curve 10"), false);
  curve_t& a = set.add_curve(make(3, "ignored"), true);
  EXPECT_EQ(a.name, "Curve 1");
  EXPECT_EQ(&a, &set.curves.back());
  EXPECT_EQ(set.add_curve(make(3, ""), true).name, "Curve 3");
  EXPECT_EQ(set.add_curve(make(5, ""), true).name, "Curve 0");
  // Unnamed appends keep the record's own name.
  EXPECT_EQ(set.add_curve(make(5, "mine"), false).name, "mine");
  EXPECT_EQ(set.size(), 8u);
}
