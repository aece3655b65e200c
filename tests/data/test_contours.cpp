// Contours: hit tests, closing, simplification, untangling, areas and
// concavity values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "contour_test_support.h"
#include "data/contour.h"

namespace {

void expect_vertices(const contour_t& c, const std::vector<vec2_t>& want, double tol = 1e-12) {
  ASSERT_EQ(c.vertices.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(c.vertices[i].x, want[i].x, tol) << "vertex " << i;
    EXPECT_NEAR(c.vertices[i].y, want[i].y, tol) << "vertex " << i;
  }
}

}  // namespace

TEST(ContourHitTest, VerticesStrictEdgeInclusive) {
  const vec2_t a{0, 0}, b{10, 0};
  struct row {
    vec2_t p;
    bool has_a, has_b;
    int want;
  } rows[] = {
      {{1, 0}, true, true, 1},
      {{9.5, 0.5}, true, true, 2},
      {{5, 2}, true, true, 3},       // exactly tol from the line counts
      {{5, 2.001}, true, true, 0},
      {{0, 2}, true, true, 0},       // exactly tol from a vertex does not
      {{12, 0}, true, true, 0},      // beyond b on the line
      {{-1, 0.5}, true, true, 1},
      {{1, 0}, false, true, 0},      // a absent: only b is tested
      {{9, 0}, false, true, 2},
      {{5, 1}, true, false, 0},      // no edge without both ends
  };
  for (const row& r : rows) {
    EXPECT_EQ(contour_t::hit_test(r.p, r.has_a ? &a : nullptr, r.has_b ? &b : nullptr, 2.0), r.want)
        << r.p.x << "," << r.p.y;
  }
  // A zero-length edge is near only through its vertex.
  const vec2_t z{3, 3};
  EXPECT_EQ(contour_t::hit_test({4.5, 3}, &z, &z, 2.0), 1);
  EXPECT_EQ(contour_t::hit_test({5.5, 3}, &z, &z, 2.0), 0);
}

TEST(ContourFindNearSegment, ClosingEdgeOnlyWhenClosed) {
  contour_t c = make_contour({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, false);
  size_t a = 99, b = 99;
  // Near the middle of the segment from the last vertex back to the first.
  EXPECT_FALSE(c.find_near_segment({0.5, 5}, a, b, 1.0));
  EXPECT_EQ(a, 99u);
  c.closed = true;
  ASSERT_TRUE(c.find_near_segment({0.5, 5}, a, b, 1.0));
  EXPECT_EQ(a, 3u);
  EXPECT_EQ(b, 0u);
  // A vertex hit reports the vertex twice; an edge hit its two ends.
  ASSERT_TRUE(c.find_near_segment({10.2, 9.9}, a, b, 1.0));
  EXPECT_EQ(a, 2u);
  EXPECT_EQ(b, 2u);
  ASSERT_TRUE(c.find_near_segment({5, 0.5}, a, b, 1.0));
  EXPECT_EQ(a, 0u);
  EXPECT_EQ(b, 1u);
  EXPECT_FALSE(contour_t().find_near_segment({0, 0}, a, b, 1.0));
}

TEST(ContourFindNearSegment, ExcludingSkipsTheVertexOwnEdges) {
  // A contour being drawn that comes back close to its second edge.
  contour_t c = make_contour({{0, 0}, {10, 0}, {10, 10}, {5, 0.5}}, false);
  size_t a, b;
  ASSERT_TRUE(c.find_near_segment_excluding(3, a, b, 1.0));
  EXPECT_EQ(a, 0u);
  EXPECT_EQ(b, 1u);
  // Its own edge (2, 3) is always within reach and must not be reported.
  contour_t d = make_contour({{0, 0}, {10, 0}, {10, 10}}, false);
  EXPECT_FALSE(d.find_near_segment_excluding(2, a, b, 1.0));
}

TEST(SegmentIntersection, Cases) {
  struct row {
    vec2_t p1, p2, p3, p4;
    bool want;
    vec2_t at;
  } rows[] = {
      {{0, 0}, {10, 10}, {0, 10}, {10, 0}, true, {5, 5}},
      {{0, 0}, {10, 0}, {10, 0}, {10, 10}, false, {}},       // shared end point
      {{0, 0}, {10, 0}, {5, 0}, {5, 10}, false, {}},         // touches at an end
      {{0, 0}, {10, 0}, {0.03, 0}, {10, 0.04}, false, {}},   // not parallel: meets near an end
      {{0, 0}, {10, 0}, {0.03, 0}, {10.04, 0}, true, {0, 0}},  // coincide, same order
      {{0, 0}, {10, 0}, {10.04, 0}, {0.03, 0}, true, {10, 0}},  // coincide, reversed
      {{0, 0}, {10, 0}, {0.06, 0}, {10, 0}, false, {}},      // ends 0.06 apart
      {{0, 0}, {10, 0}, {0, 1}, {10, 1}, false, {}},         // parallel apart
  };
  for (const row& r : rows) {
    vec2_t at{-1, -1};
    EXPECT_EQ(segment_intersection_2d(r.p1, r.p2, r.p3, r.p4, at), r.want)
        << r.p3.x << "," << r.p3.y;
    if (r.want) {
      EXPECT_NEAR(at.x, r.at.x, 1e-12);
      EXPECT_NEAR(at.y, r.at.y, 1e-12);
    }
  }
}

TEST(ContourTrimToPoint, ClosesOnlyFromTheFirstHalf) {
  // Lead-in (0,0), (5,0), then a loop starting at (10,0).
  const std::vector<vec2_t> drawn = {{0, 0}, {5, 0}, {10, 0}, {20, 0}, {20, 10}, {10, 10}};

  contour_t c = make_contour(drawn, false);
  ASSERT_TRUE(c.trim_to_point({10, 0.5}, 1.0));
  EXPECT_TRUE(c.closed);
  expect_vertices(c, {{10, 0}, {20, 0}, {20, 10}, {10, 10}});

  // Hit on vertex 4 of 6: second half, nothing changes.
  contour_t d = make_contour(drawn, false);
  EXPECT_FALSE(d.trim_to_point({20, 10.5}, 1.0));
  EXPECT_FALSE(d.closed);
  expect_vertices(d, drawn);

  // Every vertex from the hit on is still near the point: stays open, true.
  contour_t e = make_contour({{0, 0}, {10, 0}, {10, 10}, {10.2, 10.2}}, true);
  EXPECT_TRUE(e.trim_to_point({10, 10.1}, 1.0));
  EXPECT_FALSE(e.closed);
  EXPECT_EQ(e.vertices.size(), 4u);

  contour_t f = make_contour(drawn, false);
  EXPECT_FALSE(f.trim_to_point({50, 50}, 1.0));
  expect_vertices(f, drawn);
  EXPECT_FALSE(contour_t().trim_to_point({0, 0}, 1.0));
}

TEST(ContourSimplify, Fixtures) {
  struct row {
    const char* what;
    contour_t in;
    double tol;
    std::vector<vec2_t> want;
  } rows[] = {
      {"pixel square keeps its corners, first vertex first", pixel_square(0, 0, 10, 10, false),
       1.0, {{0, 0}, {10, 0}, {10, 10}, {0, 10}}},
      {"reversed square keeps its corners in its own order", pixel_square(0, 0, 10, 10, true), 1.0,
       {{0, 0}, {0, 10}, {10, 10}, {10, 0}}},
      {"closed collinear contour is emptied", make_contour({{0, 0}, {1, 1}, {2, 2}, {5, 5}}, true), 0.5,
       {}},
      {"noise within tol leaves the ends of an open run",
       make_contour({{0, 0}, {1, 0.2}, {2, -0.2}, {3, 0}}, false), 0.5, {{0, 0}, {3, 0}}},
      {"a bump beyond tol stays", make_contour({{0, 0}, {1, 0}, {2, 5}, {3, 0}, {4, 0}}, false), 1.0,
       {{0, 0}, {2, 5}, {4, 0}}},
      {"tol 0 does nothing", make_contour({{0, 0}, {1, 0}, {2, 0}}, false), 0.0,
       {{0, 0}, {1, 0}, {2, 0}}},
      {"fewer than 3 vertices are left alone", make_contour({{0, 0}, {0, 0.1}}, false), 5.0,
       {{0, 0}, {0, 0.1}}},
  };
  for (row& r : rows) {
    SCOPED_TRACE(r.what);
    r.in.values.assign(r.in.vertices.size(), 1.0);
    bool closed = r.in.closed;
    bool acted = r.tol > 0 && r.in.vertices.size() >= 3;
    r.in.simplify(r.tol);
    expect_vertices(r.in, r.want);
    EXPECT_EQ(r.in.closed, closed);
    if (acted) {
      EXPECT_TRUE(r.in.values.empty());
    }
  }
}

TEST(ContourSelfIntersections, Fixtures) {
  struct row {
    const char* what;
    contour_t in;
    int want_flags;
    std::vector<vec2_t> want;
  } rows[] = {
      {"fewer than four vertices", make_contour({{0, 0}, {10, 10}, {10, 0}}, true), 0,
       {{0, 0}, {10, 10}, {10, 0}}},
      {"bow tie: edges two apart, the later end moves past the crossing",
       make_contour({{0, 0}, {10, 0}, {0, 10}, {10, 10}}, true), 1,
       {{0, 0}, {10, 0}, {0, 10}, {4.75, 4.75}}},
      {"figure of eight with edges three apart stays crossed",
       make_contour({{0, 5}, {3, 0}, {10, 10}, {13, 5}, {10, 0}, {3, 10}}, true), 3,
       {{0, 5}, {3, 0}, {10, 10}, {13, 5}, {10, 0}, {3, 10}}},
      {"one edge crossing two consecutive edges: their shared vertex moves",
       make_contour({{0, 0}, {10, 0}, {10, 5}, {5, -5}, {0, 5}}, false), 1,
       {{0, 0}, {10, 0}, {10, 5}, {5, 0.25}, {0, 5}}},
      {"collinear spike is pulled back short of the nearer neighbour",
       make_contour({{0, 0}, {2, 0}, {1, 0}, {1, 5}}, false), 1, {{0, 0}, {0.95, 0}, {1, 0}, {1, 5}}},
      {"a vertex between its collinear neighbours stays put",
       make_contour({{0, 0}, {1, 0}, {3, 0}, {3, 5}}, false), 0, {{0, 0}, {1, 0}, {3, 0}, {3, 5}}},
      {"collinear run of a traced closed contour is left straight",
       make_contour({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 3}, {0, 3}}, true), 0,
       {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 3}, {0, 3}}},
  };
  for (row& r : rows) {
    SCOPED_TRACE(r.what);
    EXPECT_EQ(r.in.remove_self_intersections(), r.want_flags);
    expect_vertices(r.in, r.want, 1e-9);
  }
}

TEST(ContourSelfIntersections, BowTieIsUntangled) {
  contour_t c = make_contour({{0, 0}, {10, 0}, {0, 10}, {10, 10}}, true);
  c.remove_self_intersections();
  // No edge pair crosses any more.
  EXPECT_EQ(c.remove_self_intersections(), 0);
  EXPECT_NE(c.area(), 0.0);
}

TEST(ContourMeasures, AreaCentroidPerimeterContains) {
  struct row {
    const char* what;
    contour_t c;
    double area;  // signed, as the contour runs
    vec2_t centroid;
    double perimeter;
    std::vector<std::pair<vec2_t, bool>> points;
  } rows[] = {
      {"square", make_contour({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, true), -100, {5, 5}, 40,
       {{{5, 5}, true}, {{11, 5}, false}, {{-1, 5}, false}}},
      {"square reversed", make_contour({{0, 0}, {0, 10}, {10, 10}, {10, 0}}, true), 100, {5, 5}, 40,
       {{{5, 5}, true}}},
      {"concave L", make_contour({{0, 0}, {20, 0}, {20, 10}, {10, 10}, {10, 20}, {0, 20}}, true), -300,
       {25.0 / 3, 25.0 / 3}, 80,
       {{{5, 15}, true}, {{15, 15}, false}, {{15, 5}, true}}},
      {"two squares touching at a corner",
       make_contour({{0, 0}, {10, 0}, {10, 10}, {20, 10}, {20, 20}, {10, 20}, {10, 10}, {0, 10}}, true),
       -200, {10, 10}, 80, {{{5, 5}, true}, {{15, 15}, true}, {{5, 15}, false}, {{15, 5}, false}}},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    EXPECT_NEAR(r.c.area(), r.area, 1e-9);
    vec2_t cen{-1, -1};
    EXPECT_NEAR(r.c.area_and_centroid(cen), r.area, 1e-9);
    EXPECT_NEAR(cen.x, r.centroid.x, 1e-9);
    EXPECT_NEAR(cen.y, r.centroid.y, 1e-9);
    EXPECT_NEAR(r.c.length(1.0), r.perimeter, 1e-9);
    for (const auto& p : r.points) EXPECT_EQ(r.c.contains(p.first), p.second) << p.first.x << "," << p.first.y;
  }
}

TEST(ContourMeasures, OpenContoursAndDegenerateInput) {
  contour_t open = make_contour({{1, 1}, {11, 1}, {11, 5}, {1, 5}}, false);
  // The closing term is left out of an open contour's area and perimeter.
  EXPECT_NEAR(open.area(), -42.0, 1e-12);
  EXPECT_NEAR(open.length(1.0), 24.0, 1e-12);
  EXPECT_NEAR(open.length(2.0), 28.0, 1e-12);
  // Containment always uses the closing edge.
  EXPECT_TRUE(open.contains({6, 3}));
  open.closed = true;
  EXPECT_NEAR(open.area(), -40.0, 1e-12);
  EXPECT_NEAR(open.length(2.0), 36.0, 1e-12);

  contour_t two = make_contour({{0, 0}, {3, 4}}, true);
  EXPECT_EQ(two.area(), 0.0);
  vec2_t cen{7, 7};
  EXPECT_EQ(two.area_and_centroid(cen), 0.0);
  EXPECT_EQ(cen.x, 7.0);  // not written for a zero area
  EXPECT_FALSE(two.contains({1, 1}));
  EXPECT_NEAR(two.length(1.0), 10.0, 1e-12);
  EXPECT_EQ(make_contour({{1, 1}}, true).length(1.0), 0.0);
}

TEST(ContourVertexValues, BayBottomGetsTheBayDepth) {
  // A U: a 30 x 30 square with a 10 wide, 20 deep bay cut from its top.
  contour_t u = make_contour({{0, 0}, {30, 0}, {30, 30}, {20, 30}, {20, 10}, {10, 10}, {10, 30}, {0, 30}},
                     true);
  u.compute_vertex_values();
  ASSERT_EQ(u.values.size(), 8u);
  // The chord across the bay's mouth is 10 long and bridges 200 square pixels.
  EXPECT_NEAR(u.values[4], 2.0, 1e-12);
  EXPECT_NEAR(u.values[5], 2.0, 1e-12);
  EXPECT_EQ(u.values[0], 0.0);
  EXPECT_EQ(u.values[1], 0.0);

  contour_t square = make_contour({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, true);
  square.compute_vertex_values();
  EXPECT_EQ(square.values, std::vector<double>(4, 0.0));

  contour_t flat = make_contour({{0, 0}, {1, 0}, {2, 0}}, true);
  flat.values = {5, 5};
  flat.compute_vertex_values();
  EXPECT_EQ(flat.values, std::vector<double>(3, 0.0));
}

TEST(FrameContoursRepair, TwoContoursNeverLoseOne) {
  frame_contours_t e;
  // A thin bar crossing a 4-vertex rectangle four times: as many crossings as
  // the rectangle has vertices. Both contours must survive.
  e.contours.push_back(make_contour({{0, 4}, {20, 4}, {20, 6}, {0, 6}}, true));
  e.contours.push_back(make_contour({{5, 0}, {15, 0}, {15, 10}, {5, 10}}, true));
  int flags = e.find_near(0.0, {0, 0});
  EXPECT_EQ(flags & CONTOUR_EMPTIED, 0);
  EXPECT_NE(flags & CONTOURS_CROSS, 0);
  ASSERT_EQ(e.contours.size(), 2u);
  EXPECT_EQ(e.contours[0].vertices.size(), 4u);
  EXPECT_EQ(e.contours[1].vertices.size(), 4u);
}

TEST(FrameContoursRepair, SpikeAcrossAnEdgeIsPulledBack) {
  frame_contours_t e;
  e.contours.push_back(make_contour({{0, 0}, {20, 0}}, false));
  e.contours.push_back(make_contour({{5, 5}, {10, -5}, {15, 5}}, false));
  EXPECT_EQ(frame_contours_t::intersect(e, 0, 1), CONTOURS_CROSS);
  expect_vertices(e.contours[1], {{5, 5}, {10, 0.25}, {15, 5}}, 1e-9);
  expect_vertices(e.contours[0], {{0, 0}, {20, 0}});
  EXPECT_EQ(frame_contours_t::intersect(e, 0, 1), 0);
}

TEST(FrameContoursRepair, SelectionByPointAndCleanup) {
  frame_contours_t e;
  e.contours.push_back(make_contour({{0, 0}, {10, 0}, {0, 10}, {10, 10}}, true));  // bow tie
  e.contours.push_back(contour_t());                                         // left empty
  // Nothing near the point: no repair at all, even of the bow tie.
  EXPECT_EQ(e.find_near(1.0, {50, 50}), 0);
  EXPECT_EQ(e.contours.size(), 2u);
  EXPECT_EQ(e.contours[0].vertices[3].x, 10.0);
  // Near the bow tie: every contour is untangled and empty ones are dropped.
  // Moving a vertex would cut off a lobe, so the bow tie becomes its two
  // triangles, each of area 25, meeting at (5, 5).
  EXPECT_EQ(e.find_near(1.0, {5, 0.5}), CONTOUR_CROSSINGS_FOUND);
  ASSERT_EQ(e.contours.size(), 2u);
  for (const contour_t& c : e.contours) {
    EXPECT_NEAR(std::fabs(c.area()), 25.0, 1e-9);
    EXPECT_TRUE(c.closed);
  }
}

TEST(FrameContours, LengthAndMoves) {
  frame_contours_t e;
  EXPECT_EQ(e.length(1.0), -1.0);
  e.contours.push_back(make_contour({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, true));
  e.contours.push_back(make_contour({{0, 0}, {0, 3}}, false));
  EXPECT_NEAR(e.length(1.0), 43.0, 1e-12);

  e.frame = 7;
  e.area = 12.5;
  e.box_width = 3;
  frame_contours_t copy;
  copy = e;
  EXPECT_EQ(copy.contours.size(), 2u);
  frame_contours_t moved;
  moved = std::move(e);
  EXPECT_EQ(moved.contours.size(), 2u);
  EXPECT_TRUE(e.contours.empty());
  EXPECT_EQ(moved.frame, 7);
  EXPECT_EQ(moved.area, 12.5);
  EXPECT_EQ(moved.box_width, 3);
  EXPECT_EQ(e.frame, 7);  // the rest is copied, not taken
}

// The grid search for where contours meet finds the same first meeting as
// trying every pair of edges: crossings between contours, crossings and
// touches (a shared point) within one, adjacent edges never; open contours
// and contours with a coordinate that is not a number take no part.
TEST(ContourMeetings, SameAsEveryPairOfEdges) {
  auto near_segment = [](const vec2_t& x, const vec2_t& p, const vec2_t& q) {
    const double dx = q.x - p.x, dy = q.y - p.y, len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((x.x - p.x) * dx + (x.y - p.y) * dy) / len2 : 0;
    t = std::min(1.0, std::max(0.0, t));
    return std::hypot(x.x - p.x - t * dx, x.y - p.y - t * dy) < 1e-3;
  };
  auto brute = [&](const std::vector<contour_t>& cs, size_t& f, size_t& s, size_t& fe, size_t& se) {
    for (size_t i = 0; i < cs.size(); ++i)
      for (size_t j = i; j < cs.size(); ++j) {
        const contour_t &A = cs[i], &B = cs[j];
        if (!A.closed || !B.closed || A.vertices.size() < 3 || B.vertices.size() < 3) continue;
        if (!A.finite() || !B.finite()) continue;
        const size_t na = A.vertices.size(), nb = B.vertices.size();
        for (size_t a = 0; a < na; ++a)
          for (size_t b = (i == j ? a + 2 : 0); b < nb; ++b) {
            if (i == j && a == 0 && b == na - 1) continue;
            const vec2_t &p1 = A.vertices[a], &p2 = A.vertices[(a + 1) % na];
            const vec2_t &p3 = B.vertices[b], &p4 = B.vertices[(b + 1) % nb];
            vec2_t at;
            bool meet = segment_intersection_2d(p1, p2, p3, p4, at);
            if (i == j && !meet)
              meet = near_segment(p1, p3, p4) || near_segment(p2, p3, p4) ||
                     near_segment(p3, p1, p2) || near_segment(p4, p1, p2);
            if (meet) {
              f = i, s = j, fe = a, se = b;
              return true;
            }
          }
      }
    return false;
  };
  std::mt19937 rng(38);
  std::uniform_real_distribution<double> coord(0, 40);
  std::uniform_int_distribution<int> count(3, 12);
  int met = 0;
  for (int trial = 0; trial < 400; ++trial) {
    SCOPED_TRACE(trial);
    std::vector<contour_t> cs(size_t(1 + trial % 4));
    for (contour_t& c : cs) {
      c.closed = trial % 7 != 0 || &c != &cs[0];
      const int n = count(rng);
      for (int k = 0; k < n; ++k) c.vertices.push_back({coord(rng), coord(rng)});
      // Some contours come back to one of their own vertices.
      if (trial % 3 == 0 && n >= 5) c.vertices[4] = c.vertices[1];
    }
    if (trial % 11 == 0) cs.back().vertices[0].y = std::nan("");
    size_t f = 0, s = 0, fe = 0, se = 0;
    const bool expected = brute(cs, f, s, fe, se);
    contour_meeting_t m;
    ASSERT_EQ(find_contour_meeting(cs, m), expected);
    if (!expected) continue;
    ++met;
    EXPECT_EQ(std::vector<size_t>({m.first, m.second, m.first_edge, m.second_edge}),
              std::vector<size_t>({f, s, fe, se}));
  }
  EXPECT_GT(met, 100);  // the cases are not all disjoint
}
