// The shape model's search grid and correspondences against brute force,
// and the data points the review view adds and removes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <random>
#include <set>

#include "data/landmarks.h"
#include "fit_test_files.h"
#include "models/fit_model.h"
#include "registry/res_values.h"
#include "tools/headless_session.h"

namespace {

struct counter {
  int calls = 0;
  void hit() { ++calls; }
};

TEST(FitNeighbourTable, HoldsTheOffsetsWithinSevenCellsNearestFirst) {
  const std::vector<grid_neighbour_t>& t = grid_neighbour_table();
  ASSERT_EQ(t.size(), 2501u);
  // The 3 x 3 x 3 block first, in dx, dy, dz order.
  for (int i = 0; i < 27; ++i) {
    EXPECT_EQ(t[i].d, 0.0);
    EXPECT_EQ(t[i].dx, i / 9 - 1);
    EXPECT_EQ(t[i].dy, i / 3 % 3 - 1);
    EXPECT_EQ(t[i].dz, i % 3 - 1);
  }
  EXPECT_EQ(t[27].d, 1.0);
  EXPECT_EQ(t.back().dx, 8);
  EXPECT_EQ(t.back().dy, 1);
  EXPECT_EQ(t.back().dz, 1);
  EXPECT_EQ(t.back().d, 7.0);
  std::set<double> distinct;
  for (size_t i = 0; i < t.size(); ++i) {
    distinct.insert(t[i].d);
    if (i > 0) {
      EXPECT_LE(t[i - 1].d, t[i].d);
    }
  }
  EXPECT_EQ(distinct.size(), 43u);
  EXPECT_TRUE(distinct.count(1.414214));
  EXPECT_TRUE(distinct.count(1.732051));
}

class FitModel : public ::testing::Test {
 protected:
  headless_session session;
  fit_model m;
};

TEST_F(FitModel, TheSliderScaleFollowsTheDataExtent) {
  struct scale_case {
    double extent;
    double cell, divisor;
    int32_t maximum;
    const char* label;
  } cases[] = {
      // q = 10: int(10 x 1 x 7.071068) = 70.
      {100.0, 1.0, 10.0, 70, "Search range (x0.1 mm)"},
      // q = 1000: int(1000 x 0.01 x 7.071068) = 70.
      {1.0, 0.01, 1000.0, 70, "Search range (x10^-3 mm)"},
      {1000.0, 10.0, 1.0, 70, "Search range (mm)"},
      // 5 x 0.05 x 7.07 = 1.77 -> q = 100 gives 35, q = 1000 gives 353.
      {5.0, 0.05, 1000.0, 353, "Search range (x10^-3 mm)"},
  };
  for (const scale_case& c : cases) {
    m.data.loaded_points = {{0, 0, 0}, {c.extent, c.extent / 2, 0}};
    m.data.normals.assign(2, vec3_t{});
    m.data.point_count = 2;
    m.page.search_range = 1000;
    m.update_search_grid(false);
    EXPECT_NEAR(m.grid_cell, c.cell, 1e-12) << c.extent;
    EXPECT_NEAR(m.range_divisor, c.divisor, c.divisor * 1e-9) << c.extent;
    EXPECT_EQ(m.page.search_range_max, c.maximum) << c.extent;
    EXPECT_EQ(m.page.search_range, c.maximum) << "the slider is clamped to its range";
    EXPECT_EQ(m.page.search_range_label, c.label) << c.extent;
  }
}

TEST_F(FitModel, ASinglePointHasNoGridAndMatchesNothing) {
  m.model.points = {{0, 0, 0}};
  m.model.normals = {{0, 0, 1}};
  m.model.point_count = 1;
  m.data.loaded_points = {{0, 0, 0}};
  m.data.normals = {{0, 0, 0}};
  m.data.point_count = 1;
  m.page.search_range = 50;
  m.update_search_grid(false);
  EXPECT_EQ(m.grid_cell, 0.0);
  EXPECT_EQ(m.model.match_distance2[0], 1e10);
}

// Brute force: the nearest data point whose normal does not face away.
TEST_F(FitModel, CorrespondencesAreTheNearestCompatibleDataPoints) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> data_pos(0.0, 50.0), model_pos(-10.0, 60.0), unit(-1.0, 1.0);
  for (int i = 0; i < 1500; ++i) {
    m.data.loaded_points.push_back({data_pos(rng), data_pos(rng), data_pos(rng)});
    // A quarter without direction, as points added by a click.
    m.data.normals.push_back(i % 4 == 0 ? vec3_t{} : vec3_normalise({unit(rng), unit(rng), unit(rng)}));
  }
  m.data.point_count = 1500;
  const int vertices = 600;
  for (int i = 0; i < vertices; ++i) {
    m.model.points.push_back({model_pos(rng), model_pos(rng), model_pos(rng)});
    m.model.normals.push_back(vec3_normalise({unit(rng), unit(rng), unit(rng)}));
  }
  m.model.point_count = vertices;
  // A rotation by 30 degrees about z and a shift.
  const double c = std::cos(NV_PI / 6), s = std::sin(NV_PI / 6);
  matrix4_identity(m.registration);
  m.registration[0] = c;
  m.registration[1] = s;
  m.registration[4] = -s;
  m.registration[5] = c;
  m.registration[12] = 2.0;
  m.registration[13] = -1.0;
  m.registration[14] = 0.5;
  // Extent about 50: cells of 0.5, divisor 100; a range of 2.5 model units (5 cells).
  m.update_search_grid(false);
  ASSERT_NEAR(m.range_divisor, 100.0, 1e-9);
  m.page.search_range = 250;
  m.find_correspondences();
  const double r2 = 2.5 * 2.5;
  EXPECT_NEAR(m.model.match_range2, r2 + 1e-8, 1e-12);

  int matched = 0;
  for (int i = 0; i < vertices; ++i) {
    const vec3_t v = m.model.points[i], n = m.model.normals[i];
    const vec3_t p{c * v.x - s * v.y + 2.0, s * v.x + c * v.y - 1.0, v.z + 0.5};
    const vec3_t pn{c * n.x - s * n.y, s * n.x + c * n.y, n.z};
    double best = 1e10;
    int best_j = -1;
    for (int j = 0; j < 1500; ++j) {
      const vec3_t d = p - m.data.loaded_points[j];
      const double t = vec3_dot(d, d);
      if (t < best && vec3_dot(pn, m.data.normals[j]) >= 0.0) {
        best = t;
        best_j = j;
      }
    }
    if (best < r2) {
      ++matched;
      EXPECT_NEAR(m.model.match_distance2[i], best, 1e-9) << "vertex " << i;
      EXPECT_EQ(m.model.match_index[i], best_j) << "vertex " << i;
    } else {
      EXPECT_GE(m.model.match_distance2[i], r2) << "vertex " << i;
    }
  }
  EXPECT_GT(matched, 50);
  EXPECT_LT(matched, vertices);
}

// A vertex far from the data (before registration, or in other units) is
// left unmatched without converting its huge cell index to an integer.
TEST_F(FitModel, AVertexFarOutsideTheGridStaysUnmatched) {
  m.data.loaded_points = {{0, 0, 0}, {10, 10, 10}};
  m.data.normals.assign(2, vec3_t{});
  m.data.point_count = 2;
  m.model.points = {{1e300, 0, 0}, {-1e20, 5, 5}, {NAN, 0, 0}, {10.5, 10, 10}};
  m.model.normals.assign(4, vec3_t{0, 0, 1});
  m.model.point_count = 4;
  m.page.search_range = 70;  // 7 mm
  m.update_search_grid(false);
  EXPECT_EQ(m.model.match_distance2[0], 1e10);
  EXPECT_EQ(m.model.match_distance2[1], 1e10);
  EXPECT_EQ(m.model.match_distance2[2], 1e10);
  EXPECT_NEAR(m.model.match_distance2[3], 0.25, 1e-12);
  EXPECT_EQ(m.model.match_index[3], 1);
}

TEST_F(FitModel, ClickedPointsEnterInMillimetresAndTheViewsRedraw) {
  resource_table_t& t = *resource_table;
  counter redraws;
  pmf_functor<counter> proc(&redraws, &counter::hit);
  t.RES_SURFACE[200]->add_proc(&proc);

  m.add_data_point({1.0, 2.0, 3.0});
  m.add_data_point({1.5, 2.0, 3.0});
  m.add_data_point({4.0, 2.0, 3.0});
  ASSERT_EQ(m.data.point_count, 3);
  EXPECT_EQ(m.data.loaded_points[0].x, 10.0);
  EXPECT_EQ(m.data.loaded_points[0].y, 20.0);
  EXPECT_EQ(m.data.loaded_points[0].z, 30.0);
  EXPECT_EQ(m.data.normals[2].x, 0.0);
  EXPECT_EQ(m.data.normals[2].z, 0.0);

  m.model.points = {{14.0, 20.0, 30.0}};
  m.model.normals = {{0, 0, 1}};
  m.model.point_count = 1;
  m.page.search_range = 60;  // extent 30 mm: cells of 0.3, divisor 100 -> 0.6 mm
  m.update_search_grid(false);
  EXPECT_EQ(redraws.calls, 1);
  EXPECT_NEAR(m.range_divisor, 100.0, 1e-9);
  EXPECT_EQ(m.model.match_distance2[0], 1e10);  // 1 mm from the second point: out of range
  m.page.search_range = 200;  // 2 mm
  m.find_correspondences();
  EXPECT_EQ(m.model.match_index[0], 1);

  m.remove_data_points({0, 1});
  ASSERT_EQ(m.data.point_count, 1);
  EXPECT_EQ(m.data.loaded_points[0].x, 40.0);
  m.remove_data_points({0});
  m.update_search_grid(false);
  EXPECT_EQ(m.data.point_count, 0);
  EXPECT_EQ(m.model.match_range2, -1.0) << "no data: the correspondences are stale";
  EXPECT_EQ(redraws.calls, 2);
  t.RES_SURFACE[200]->remove_proc(&proc);
}

TEST_F(FitModel, TheNextLandmarkIsTheFirstOneNotPlaced) {
  landmarks* placed = resource_table->RES_LANDMARKS->read();
  m.fitting_landmarks = {{"tip", 0, {}, {}, false}, {"base", 1, {}, {}, false}, {"side", 2, {}, {}, false}};
  EXPECT_EQ(m.undefined_landmarks(), "tip");
  placed->add_landmark({0, 0, 0}, "base", LM_DATA);
  EXPECT_EQ(m.undefined_landmarks(), "tip");
  placed->add_landmark({0, 0, 0}, "tip", LM_2D);
  EXPECT_EQ(m.undefined_landmarks(), "side");
  // An electrode array goes on from the last missing one once the first is placed.
  m.implant = true;
  m.fitting_landmarks.push_back({"end", 3, {}, {}, false});
  EXPECT_EQ(m.undefined_landmarks(), "end");
  placed->add_landmark({0, 0, 0}, "side", LM_DATA);
  placed->add_landmark({0, 0, 0}, "end", LM_DATA);
  EXPECT_EQ(m.undefined_landmarks(), "none");
}

// Moving the slider down needs no search (consumers compare with the current
// range); moving it beyond the last searched range searches again.
TEST_F(FitModel, OnlyAWiderSearchRangeSearchesAgain) {
  resource_table_t& t = *resource_table;
  counter redraws;
  pmf_functor<counter> proc(&redraws, &counter::hit);
  t.RES_SURFACE[200]->add_proc(&proc);
  m.data.loaded_points = {{0, 0, 0}, {100, 0, 0}};
  m.data.normals.assign(2, vec3_t{});
  m.data.point_count = 2;
  m.model.points = {{3, 0, 0}};
  m.model.normals = {{0, 0, 1}};
  m.model.point_count = 1;
  m.page.search_range = 20;  // divisor 10: 2 mm
  m.update_search_grid(false);
  ASSERT_EQ(m.model.match_distance2[0], 1e10);
  ASSERT_NEAR(m.model.match_range2, 4.0 + 1e-8, 1e-12);

  m.page.search_range = 10;
  m.set_search_range();
  EXPECT_NEAR(m.model.match_range2, 4.0 + 1e-8, 1e-12) << "no new search";
  m.page.search_range = 40;
  m.set_search_range();
  EXPECT_NEAR(m.model.match_range2, 16.0 + 1e-8, 1e-12);
  EXPECT_NEAR(m.model.match_distance2[0], 9.0, 1e-12);
  EXPECT_EQ(m.model.match_index[0], 0);
  EXPECT_EQ(redraws.calls, 3);
  t.RES_SURFACE[200]->remove_proc(&proc);
}

// The same against scipy's k-d tree, on clouds whose vertices reach well
// outside the data's box.
TEST_F(FitModel, CorrespondencesMatchScipysKdTree) {
  fit_test_folder folder;
  std::mt19937 rng(21);
  std::uniform_real_distribution<double> data_pos(-20.0, 80.0), model_pos(-40.0, 100.0), unit(-1.0, 1.0);
  std::ostringstream data_text, vertex_text;
  data_text.precision(17);
  vertex_text.precision(17);
  for (int i = 0; i < 4000; ++i) {
    const vec3_t p{data_pos(rng), data_pos(rng), 0.3 * data_pos(rng)};
    const vec3_t n = i % 5 == 0 ? vec3_t{} : vec3_normalise({unit(rng), unit(rng), unit(rng)});
    m.data.loaded_points.push_back(p);
    m.data.normals.push_back(n);
    data_text << p.x << " " << p.y << " " << p.z << " " << n.x << " " << n.y << " " << n.z << "\n";
  }
  m.data.point_count = 4000;
  for (int i = 0; i < 1500; ++i) {
    const vec3_t p{model_pos(rng), model_pos(rng), 0.3 * model_pos(rng)};
    const vec3_t n = vec3_normalise({unit(rng), unit(rng), unit(rng)});
    m.model.points.push_back(p);
    m.model.normals.push_back(n);
    vertex_text << p.x << " " << p.y << " " << p.z << " " << n.x << " " << n.y << " " << n.z << "\n";
  }
  m.model.point_count = 1500;
  m.update_search_grid(false);  // extent 100: cells of 1, divisor 10
  ASSERT_NEAR(m.range_divisor, 10.0, 1e-9);
  m.page.search_range = 45;  // 4.5 mm
  m.find_correspondences();

  const std::string out = folder.path("nearest.txt");
  const std::string cmd = "/usr/bin/python3 " NV_TEST_SCRIPTS "/fit_oracles.py nearest '" +
                          folder.write("data.txt", data_text.str()) + "' '" +
                          folder.write("vertices.txt", vertex_text.str()) + "' 4.5 > '" + out + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::ifstream read(out);
  int matched = 0;
  for (int i = 0; i < 1500; ++i) {
    int index = 0;
    double d2 = 0;
    ASSERT_TRUE(read >> index >> d2) << "vertex " << i;
    if (index >= 0) {
      ++matched;
      EXPECT_EQ(m.model.match_index[i], index) << "vertex " << i;
      EXPECT_NEAR(m.model.match_distance2[i], d2, 1e-9) << "vertex " << i;
    } else {
      EXPECT_GE(m.model.match_distance2[i], 4.5 * 4.5) << "vertex " << i;
    }
  }
  EXPECT_GT(matched, 100);
  EXPECT_LT(matched, 1400);
}

}  // namespace
