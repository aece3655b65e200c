// The line probe against a numpy brute force, and the surface comparison on
// concentric icospheres laid in a stack of frames whose values follow the
// distance from the spheres' centre.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "data/objects.h"
#include "mapping_test_support.h"
#include "medical/dicom_utility.h"
#include "thickness/surface_mapping.h"
#include "thickness_data_support.h"

using namespace mapping_test;

namespace {

const std::string kScripts = NV_THICKNESS_SCRIPTS;

struct probe_lists {
  std::vector<double> depths;
  std::vector<vec3_t> points, normals, directions;
  std::vector<int> objects;
  std::vector<wxString> texts;
  void run(const surface_interp& s, const vec3_t& a, const vec3_t& b, double maxdist = 0.0) {
    s.query_line(a, b, depths, points, normals, directions, objects, texts, maxdist);
  }
};

void shift(surface_interp& s, const vec3_t& by) {
  for (int32_t i = 0; i < s.mesh.n_points; ++i)
    s.mesh.points[i].x += by.x, s.mesh.points[i].y += by.y, s.mesh.points[i].z += by.z;
}

// Smallest distance of a triangle's plane from the origin: how far inside
// its circumscribed sphere a faceted sphere about the origin can be crossed.
double nearest_facet(const surface_interp& s) {
  double best = 1e300;
  for (int32_t k = 0; k < s.mesh.n_triangles; ++k) {
    const surface_triangle& t = s.mesh.triangles[k];
    auto at = [&](int32_t i) {
      const surface_point& p = s.mesh.points[i];
      return vec3_t{p.x, p.y, p.z};
    };
    const vec3_t n = vec3_normalise(vec3_cross(at(t.b) - at(t.a), at(t.c) - at(t.a)));
    best = std::min(best, std::fabs(vec3_dot(n, at(t.a))));
  }
  return best;
}

class LineProbe : public ::testing::Test {
 protected:
  thickness_data data;
  thickness_scratch dir;
  resource_table_t& t = *resource_table;
};

TEST_F(LineProbe, MatchesABruteForceOnRandomLines) {
  surface_interp s(4);
  icosphere_mesh(s, 1.0, 2);
  std::mt19937 rng(59);
  std::uniform_real_distribution<double> box(-1.5, 1.5), unit(-1.0, 1.0);
  std::vector<std::pair<vec3_t, vec3_t>> lines;
  for (int i = 0; i < 10000; ++i) {
    const vec3_t a{box(rng), box(rng), box(rng)};
    // Half the lines aim near the centre, so that most of them cross.
    const vec3_t toward = i % 2 ? vec3_t{unit(rng), unit(rng), unit(rng)}
                                : vec3_t{0.3 * unit(rng), 0.3 * unit(rng), 0.3 * unit(rng)} - a;
    lines.emplace_back(a, a + toward * (0.2 + std::fabs(unit(rng))));
  }
  std::ofstream in(dir.path("probe.txt"));
  in.precision(17);
  in << "V " << s.mesh.n_points << "\n";
  for (int32_t i = 0; i < s.mesh.n_points; ++i)
    in << s.mesh.points[i].x << " " << s.mesh.points[i].y << " " << s.mesh.points[i].z << "\n";
  in << "T " << s.mesh.n_triangles << "\n";
  for (int32_t k = 0; k < s.mesh.n_triangles; ++k)
    in << s.mesh.triangles[k].a << " " << s.mesh.triangles[k].b << " " << s.mesh.triangles[k].c << "\n";
  in << "L " << lines.size() << "\n";
  for (const auto& l : lines)
    in << l.first.x << " " << l.first.y << " " << l.first.z << " " << l.second.x << " "
       << l.second.y << " " << l.second.z << "\n";
  in.close();
  ASSERT_TRUE(run_python(kScripts + "/probe_reference.py",
                         dir.path("probe.txt") + " " + dir.path("expected.txt")));
  std::ifstream expected(dir.path("expected.txt"));
  std::string row;
  int crossing_lines = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    ASSERT_TRUE(std::getline(expected, row));
    std::istringstream fields(row);
    std::vector<double> want;
    for (double d; fields >> d;) want.push_back(d);
    probe_lists got;
    got.run(s, lines[i].first, lines[i].second);
    ASSERT_EQ(got.depths.size(), want.size()) << "line " << i;
    for (size_t k = 0; k < want.size(); ++k) {
      EXPECT_NEAR(got.depths[k], want[k], 1e-9) << "line " << i;
      if (k) {
        EXPECT_LT(got.depths[k - 1], got.depths[k]);
      }
      // The point lies on the line at its depth, and on the unit sphere's facets.
      const vec3_t d = lines[i].second - lines[i].first;
      const vec3_t at = lines[i].first + d * (got.depths[k] / (10.0 * vec3_length(d)));
      EXPECT_NEAR(vec3_length(got.points[k] - at), 0.0, 1e-12);
      EXPECT_NEAR(vec3_length(got.normals[k]), 1.0, 1e-12);
      EXPECT_EQ(got.objects[k], 4);
    }
    crossing_lines += !want.empty();
  }
  EXPECT_GT(crossing_lines, 4000);
}

TEST_F(LineProbe, SharedVertexOnceMergedListsAndReach) {
  surface_interp plate(2);
  plate_mesh(plate, 5, 0.1);
  // Through the interior vertex (2, 2), shared by six triangles.
  probe_lists once;
  once.run(plate, {0.2, 0.2, 1.0}, {0.2, 0.2, 0.0});
  ASSERT_EQ(once.depths.size(), 1u);
  EXPECT_NEAR(once.depths[0], 10.0, 1e-12);
  // Parallel to the plate's plane: nothing.
  probe_lists parallel;
  parallel.run(plate, {0.15, 0.15, 0.0}, {0.25, 0.17, 0.0});
  EXPECT_TRUE(parallel.depths.empty());

  // Two surfaces into the same lists: one list in depth order over both.
  surface_interp sphere(3);
  icosphere_mesh(sphere, 0.5, 1);
  shift(sphere, {0.2, 0.2, 1.5});
  probe_lists both;
  both.run(sphere, {0.2, 0.2, 3.0}, {0.2, 0.2, 2.0});
  both.run(plate, {0.2, 0.2, 3.0}, {0.2, 0.2, 2.0});
  ASSERT_EQ(both.depths.size(), 3u);
  EXPECT_NEAR(both.depths[0], 10.0, 1e-9);
  EXPECT_NEAR(both.depths[1], 20.0, 1.0);
  EXPECT_NEAR(both.depths[2], 30.0, 1e-9);
  EXPECT_EQ(both.objects[0], 3);
  EXPECT_EQ(both.objects[2], 2);
  EXPECT_TRUE(both.texts[2].StartsWith("Object 2 (30.00 mm down): tri ")) << both.texts[2];

  // A reach of 1.8 cm from A: the plate at 3 cm is out of it, the sphere's
  // near side in.
  t.RES_THICKNESS_LINE->write(1.8);
  base_res_t::make_pending_writes_happen();
  probe_lists reach;
  reach.run(sphere, {0.2, 0.2, 3.0}, {0.2, 0.2, 2.0}, 0.5);
  reach.run(plate, {0.2, 0.2, 3.0}, {0.2, 0.2, 2.0}, 0.5);
  ASSERT_EQ(reach.depths.size(), 1u);
  EXPECT_NEAR(reach.depths[0], 10.0, 1e-9);
}

TEST_F(LineProbe, DescribesTheDisplayedQuantity) {
  surface_interp plate(0);
  plate_mesh(plate, 3, 0.1);
  const size_t n = size_t(plate.mesh.n_points);
  plate.smoothed_thickness.assign(n, 0.0);
  for (size_t i = 0; i < n; ++i) plate.smoothed_thickness[i] = 1.0 + double(i);
  t.RES_DICOM_UNITS->write("HU");
  // (0.05, 0.05) is the middle of the first square's diagonal: vertices 0
  // and 4 (values 1 and 5) half each.
  struct row {
    long kind;
    const char* text;
  } rows[] = {{0, "cortical thickness 3.00 mm"}, {1, "cortical mass surface density 3.00 HUmm"},
              {2, "cortical density 3.00 HU"},  {3, "FWHM blur 3.00 mm"},
              {4, "endocortical thickness 3.00 mm"}, {5, "inner density 3.00 HU"},
              {6, "outer gap 3.00 mm"},          {7, "outer density 3.00 HU"},
              {8, "inner gap 3.00 mm"},          {9, "offset from surface 3.00 mm"},
              {12, ""}};
  for (const row& r : rows) {
    t.RES_THICKNESS_DISP_MAP->write(r.kind);
    base_res_t::make_pending_writes_happen();
    probe_lists got;
    got.run(plate, {0.05, 0.05, -0.4}, {0.05, 0.05, 0.6});
    ASSERT_EQ(got.texts.size(), 1u) << r.kind;
    EXPECT_EQ(got.texts[0], wxString("Object 0 (4.00 mm down): ") + r.text) << r.kind;
  }
}

// Concentric spheres of 10 and 7 mm about the centre of a stack of frames
// 0.02 cm apart, pixels of 0.02 cm; the values follow `profile(r)` (cm).
class SurfaceComparison : public ::testing::Test {
 protected:
  static constexpr double kCentre = 1.5;
  template <class F>
  void stack(bool sixteen, F profile) {
    const int size = 150, frames = 151;
    thickness_data::set_scales(0.02, 0.02, 0.0);
    if (sixteen) {
      data.make_frames(size, size, frames, [&](int k, int x, int y) {
        const double r = std::sqrt(std::pow(x * 0.02 - kCentre, 2) + std::pow(y * 0.02 - kCentre, 2) +
                                   std::pow(k * 0.02 - kCentre, 2));
        return uint16_t(profile(r));
      });
    } else {
      dicom_utility::data_16bit = false;
      t.RES_BUF_WIDTH->write(size);
      t.RES_BUF_HEIGHT->write(size);
      for (int k = 0; k < frames; ++k) {
        auto* px = new uint8_t[size_t(size) * size];
        for (int y = 0; y < size; ++y)
          for (int x = 0; x < size; ++x) {
            const double r = std::sqrt(std::pow(x * 0.02 - kCentre, 2) +
                                       std::pow(y * 0.02 - kCentre, 2) +
                                       std::pow(k * 0.02 - kCentre, 2));
            px[size_t(y) * size + x] = uint8_t(profile(r));
          }
        frame_store->add_image(frame_image_t::create(px, size * size));
      }
      t.RES_BUF_FRAMES->write(frames);
    }
    std::vector<double> z;
    for (int k = 0; k < frames; ++k) z.push_back(k * 0.02);
    data.place_frames(z);
    t.RES_POS_REC->write(true);
    t.RES_DICOM_HUM->write(1.0);
    t.RES_DICOM_HUB->write(0.0);
    t.RES_THICKNESS_LINE->write(2.5);
    t.RES_THICKNESS_B->write(1e10);
    base_res_t::make_pending_writes_happen();
  }
  void sphere(surface_interp& s, double radius, int levels) {
    icosphere_mesh(s, radius, levels);
    shift(s, {kCentre, kCentre, kCentre});
  }
  // Holds `s` in the object's surface resource for the comparison to find,
  // deleting the surface held before.
  void hold(int object, surface_interp* s) {
    surface_interp* old = t.RES_SURFACE[object]->read();
    t.RES_SURFACE[object]->write(s);
    base_res_t::make_pending_writes_happen();
    if (old != s) delete old;
  }
  void TearDown() override {
    for (int i = 0; i < 4; ++i) hold(i, nullptr);
  }

  thickness_data data;
  resource_table_t& t = *resource_table;
};

// Both search paths (probe below 1000 triangles, bin grid above) find the
// inner sphere 3 mm in, within its faceting; the density is the mean over
// the shell.
TEST_F(SurfaceComparison, ConcentricSpheresOnBothPaths) {
  stack(true, [](double r) { return r <= 1.1 && r >= 0.6 ? 1000.0 + 1000.0 * (r - 0.7) : 50.0; });
  for (int levels : {2, 3}) {
    SCOPED_TRACE(levels);
    auto* outer = new surface_interp(0);
    auto* inner = new surface_interp(1);
    sphere(*outer, 1.0, levels);
    sphere(*inner, 0.7, levels + 1);  // another mesh, so that nothing links
    ASSERT_EQ(outer->mesh.n_triangles > 999, levels == 3);
    hold(0, outer);
    hold(1, inner);
    // Mapped leftovers go.
    outer->blur.assign(size_t(outer->mesh.n_points), 1.0);
    fake_hooks hooks;
    outer->map_intersections(1, &hooks);
    surface_interp facets;
    icosphere_mesh(facets, 0.7, levels + 1);
    const double slack = 10.0 * (0.7 - nearest_facet(facets));
    const size_t n = size_t(outer->mesh.n_points);
    ASSERT_EQ(outer->cortical_thickness.size(), n);
    EXPECT_TRUE(outer->blur.empty());
    EXPECT_TRUE(outer->surface_offset.empty());
    EXPECT_EQ(outer->smoothed_thickness, std::vector<double>(n, 0.0));
    for (size_t i = 0; i < n; ++i) {
      EXPECT_GE(outer->cortical_thickness[i], 3.0 - 1e-9);
      EXPECT_LE(outer->cortical_thickness[i], 3.0 + slack + 1e-9);
      EXPECT_NEAR(outer->segment_length[i], outer->cortical_thickness[i], 1e-9);
      EXPECT_EQ(outer->fit_error[i], 1.0);
      // Linear from 1300 at the outside to 1000 inside: the mean is near 1150.
      EXPECT_NEAR(outer->density[i], 1150.0, 25.0);
    }
    EXPECT_TRUE(hooks.title.StartsWith("Mapping intersections between Object 0 and Object 1"));
    EXPECT_EQ(hooks.closed, 1);
  }
}

TEST_F(SurfaceComparison, SelfComparisonReachesTheOppositeWall) {
  stack(true, [](double) { return 500.0; });
  // A shell: the outer sphere facing out, the inner one facing in.
  surface_interp a(0), b(0);
  sphere(a, 1.0, 2);
  sphere(b, 0.7, 2);
  std::vector<surface_point> pts(a.mesh.points, a.mesh.points + a.mesh.n_points);
  std::vector<surface_triangle> tris(a.mesh.triangles, a.mesh.triangles + a.mesh.n_triangles);
  const int32_t half = a.mesh.n_points;
  for (int32_t i = 0; i < b.mesh.n_points; ++i) {
    surface_point p = b.mesh.points[i];
    p.nx = -p.nx, p.ny = -p.ny, p.nz = -p.nz;
    pts.push_back(p);
  }
  for (int32_t k = 0; k < b.mesh.n_triangles; ++k) {
    const surface_triangle& q = b.mesh.triangles[k];
    tris.push_back({q.b + half, q.a + half, q.c + half, 1});
  }
  auto* shell = new surface_interp(0);
  set_mesh(*shell, pts, tris);
  hold(0, shell);
  // Shifted back to the centre for the facet distances.
  shift(a, {-kCentre, -kCentre, -kCentre});
  shift(b, {-kCentre, -kCentre, -kCentre});
  const double deeper = 10.0 * (0.7 - nearest_facet(b)), shallower = 10.0 * (1.0 - nearest_facet(a));
  for (bool paired : {false, true}) {
    SCOPED_TRACE(paired);
    shell->double_layer = paired;
    shell->surface_offset.clear();
    fake_hooks hooks;
    shell->map_intersections(2, &hooks);  // object 2 has no surface: itself
    EXPECT_TRUE(hooks.title.StartsWith(paired ? "Linking points between " : "Mapping intersections"));
    for (int32_t i = 0; i < shell->mesh.n_points; ++i) {
      if (paired)
        EXPECT_NEAR(shell->cortical_thickness[size_t(i)], 3.0, 1e-9) << i;
      else
        EXPECT_NEAR(shell->cortical_thickness[size_t(i)], 3.0 + (deeper - shallower) / 2,
                    (deeper + shallower) / 2 + 1e-9)
            << i;
      EXPECT_EQ(shell->fit_error[size_t(i)], 1.0);
      EXPECT_NEAR(shell->density[size_t(i)], 500.0, 1e-9);
    }
  }
}

TEST_F(SurfaceComparison, LinkingNeedsMatchingMeshes) {
  stack(true, [](double) { return 500.0; });
  auto* outer = new surface_interp(0);
  sphere(*outer, 1.0, 2);
  hold(0, outer);
  // The inner sphere turned about z: linked vertex to vertex, the distances
  // are not radial.
  auto make_inner = [&](bool extra_vertex) {
    surface_interp s(1);
    icosphere_mesh(s, 0.7, 2);
    std::vector<surface_point> pts(s.mesh.points, s.mesh.points + s.mesh.n_points);
    std::vector<surface_triangle> tris(s.mesh.triangles, s.mesh.triangles + s.mesh.n_triangles);
    const double c = std::cos(0.3), si = std::sin(0.3);
    for (surface_point& p : pts) {
      const double x = p.x, y = p.y;
      p.x = c * x - si * y + kCentre, p.y = si * x + c * y + kCentre, p.z += kCentre;
    }
    if (extra_vertex) pts.push_back(vertex(0, 0, 0, 0, 0, 1));
    auto* out = new surface_interp(1);
    set_mesh(*out, pts, tris);
    return out;
  };
  surface_interp reference(1);
  icosphere_mesh(reference, 0.7, 2);
  const double slack = 10.0 * (0.7 - nearest_facet(reference));
  for (bool extra : {false, true}) {
    SCOPED_TRACE(extra);
    hold(1, make_inner(extra));
    fake_hooks hooks;
    outer->map_intersections(1, &hooks);
    EXPECT_EQ(hooks.title.StartsWith("Linking points between "), !extra);
    double largest = 0.0;
    for (int32_t i = 0; i < outer->mesh.n_points; ++i)
      largest = std::max(largest, outer->segment_length[size_t(i)]);
    if (extra)
      EXPECT_LE(largest, 3.0 + slack + 1e-9);
    else
      EXPECT_GT(largest, 3.0 + slack + 0.5);
    hold(1, nullptr);
  }
}

// Samples above the cortical density and padding drop out of 16-bit means
// only; the shell holds 1000 inside r 0.85 and 3000 outside it.
TEST_F(SurfaceComparison, DensityDropsPaddingAndValuesAboveTheCorticalDensity) {
  struct row {
    bool sixteen;
    double B;
    uint16_t padding;
    double want, tolerance;
  } rows[] = {{true, 1e10, 0, 2000.0, 150.0},
              {true, 2000.0, 0, 1000.0, 1e-9},
              {true, 1e10, 3000, 1000.0, 1e-9},
              {false, 150.0, 0, 150.0, 15.0}};
  for (const row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.sixteen << " " << r.B << " " << r.padding);
    frame_store->images.clear();
    const double lo = r.sixteen ? 1000.0 : 100.0, hi = r.sixteen ? 3000.0 : 200.0;
    stack(r.sixteen, [&](double x) { return x > 0.85 ? (x <= 1.02 ? hi : 0.0) : (x >= 0.68 ? lo : 0.0); });
    dicom_utility::padding_value = r.padding;
    t.RES_THICKNESS_B->write(r.B);
    base_res_t::make_pending_writes_happen();
    auto* outer = new surface_interp(0);
    auto* inner = new surface_interp(1);
    sphere(*outer, 1.0, 2);
    sphere(*inner, 0.7, 3);
    hold(0, outer);
    hold(1, inner);
    outer->map_intersections(1);
    for (int32_t i = 0; i < outer->mesh.n_points; ++i)
      ASSERT_NEAR(outer->density[size_t(i)], r.want, r.tolerance) << i;
    dicom_utility::padding_value = 0;
    hold(0, nullptr);
    hold(1, nullptr);
  }
}

}  // namespace

namespace {

// A facing point on the vertex itself, or no facing point at all: thickness
// 0 and unmeasured (never NaN), the density still taken along the line.
TEST_F(SurfaceComparison, NoWallLeavesTheVertexUnmeasured) {
  stack(true, [](double) { return 700.0; });
  for (bool coincident : {true, false}) {
    SCOPED_TRACE(coincident);
    auto* outer = new surface_interp(0);
    sphere(*outer, 1.0, 2);
    hold(0, outer);
    surface_interp copy(1);
    if (coincident)
      sphere(copy, 1.0, 2);
    else
      icosphere_mesh(copy, 0.1, 1);  // far from every measuring line
    std::vector<surface_point> pts(copy.mesh.points, copy.mesh.points + copy.mesh.n_points);
    std::vector<surface_triangle> tris(copy.mesh.triangles,
                                       copy.mesh.triangles + copy.mesh.n_triangles);
    pts.push_back(vertex(0, 0, 0, 0, 0, 1));  // so that nothing links
    auto* alternate = new surface_interp(1);
    set_mesh(*alternate, pts, tris);
    hold(1, alternate);
    t.RES_THICKNESS_LINE->write(0.2);
    base_res_t::make_pending_writes_happen();
    outer->map_intersections(1);
    for (int32_t i = 0; i < outer->mesh.n_points; ++i) {
      const size_t k = size_t(i);
      EXPECT_EQ(outer->cortical_thickness[k], 0.0) << i;
      EXPECT_EQ(outer->fit_error[k], 1e10) << i;
      if (!coincident) {
        EXPECT_NEAR(outer->density[k], 700.0, 1e-9) << i;
      }
    }
  }
}

}  // namespace

namespace {

// Cancel keeps what was measured; the rest stays unmeasured.
TEST_F(SurfaceComparison, CancelKeepsTheVerticesMeasuredSoFar) {
  stack(true, [](double) { return 500.0; });
  auto* outer = new surface_interp(0);
  auto* inner = new surface_interp(1);
  sphere(*outer, 1.0, 2);
  sphere(*inner, 0.7, 3);
  hold(0, outer);
  hold(1, inner);
  fake_hooks hooks;
  hooks.cancel_at = 50;
  outer->map_intersections(1, &hooks);
  EXPECT_EQ(hooks.closed, 1);
  EXPECT_TRUE(hooks.last_message.StartsWith("Calculating intersections for point 50 of "));
  for (int32_t i = 0; i < outer->mesh.n_points; ++i) {
    const size_t k = size_t(i);
    if (i < 50) {
      EXPECT_EQ(outer->fit_error[k], 1.0) << i;
      EXPECT_GT(outer->cortical_thickness[k], 2.9) << i;
    } else {
      EXPECT_EQ(outer->fit_error[k], 1e10) << i;
      EXPECT_EQ(outer->cortical_thickness[k], 0.0) << i;
      EXPECT_EQ(outer->density[k], 0.0) << i;
    }
  }
}

}  // namespace
