// Surface files: PLY and VRML bytes against files written here by hand, the
// cortical layer surfaces at radii worked out for a sphere, colours, the
// vertices left out, and the failures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <wx/filefn.h>
#include <wx/filename.h>

#include "common/log_capture.h"
#include "common/string_output_stream.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "display_reference_support.h"
#include "surface_file_support.h"
#include "surfaces/thickness_colour_table.h"
#include "tools/headless_session.h"

using namespace surface_files_test;

namespace {

template <typename T>
std::string le(T v) {
  std::string s(sizeof(T), '\0');
  std::memcpy(&s[0], &v, sizeof(T));  // the test machine is little-endian
  return s;
}

// Object 2, colour (10, 20, 30), opacity 0.75, with a surface landmark, a
// closed curve of two points and an open curve without points; a landmark
// and a curve of object 3 and a data landmark that no file of object 2 shows.
class surface_files : public ::testing::Test {
 protected:
  void SetUp() override {
    contour_object& o = resource_table->RES_OBJECT->read()[2];
    o.colour = rgba_colour_t(10, 20, 30);
    o.opacity = 0.75;
    o.capped = 1;
    landmarks& marks = *resource_table->RES_LANDMARKS->read();
    auto mark = [&](const char* name, int kind, int object) {
      landmark_t l;
      l.name = name, l.kind = kind, l.object = object;
      l.x = 0.1, l.y = 0.2, l.z = 0.3, l.ny = 1;
      marks.items.push_back(l);
    };
    mark("tip", LM_SURFACE, 2);
    mark("other", LM_SURFACE, 3);
    mark("data", LM_DATA, 2);
    curve_set& curves = *resource_table->RES_CURVE->read();
    curve_t ring;
    ring.name = "ring", ring.closed = true, ring.object = 2;
    curve_point a, b;
    a.x = 0.01, a.y = 0.02, a.z = 0.03, a.nx = 1;
    b.x = 0.04, b.y = 0.05, b.z = 0.06, b.nz = 1;
    ring.points = {a, b};
    curve_t empty;
    empty.name = "empty", empty.object = 2;
    curve_t foreign = ring;
    foreign.object = 3;
    curves.curves = {ring, foreign, empty};
    s.object = 2;
    // Two triangles; vertex 2 is the type-2 twin of vertex 1; vertex 1's
    // normal is two long, vertex 4's zero.
    set_mesh(s,
             {point(0, 0, 0, 0, 0, 1, 3, 255), point(0.1, 0, 0, 0, 0, 2, 3, 0),
              point(0.1, 0, 0, 0, 0, 1, 2, 9), point(0, 0.1, 0, 0, 0, 1, 1, 128),
              point(0.1, 0.1, 0.05, 0, 0, 0, 3, 51)},
             {{0, 1, 3, 1}, {1, 4, 3, 0}});
  }
  std::string save(bool header, bool as_ply, bool skip_type2, int layer = 0) {
    string_output_stream out;
    EXPECT_TRUE(s.save_surface(out, header, as_ply, skip_type2, layer));
    return out.bytes;
  }

  headless_session session;
  surface_interp s;
};

}  // namespace

TEST_F(surface_files, PlyBytes) {
  std::string want =
      "ply\nformat binary_little_endian 1.0\n"
      "comment LANDMARK \"tip\" 1.00000 2.00000 3.00000 0.00000 1.00000 0.00000\n"
      "comment CLOSED_LANDCURVE \"ring\" 2\n"
      "comment 0.10000 0.20000 0.30000 1.00000 0.00000 0.00000\n"
      "comment 0.40000 0.50000 0.60000 0.00000 0.00000 1.00000\n"
      "comment OPEN_LANDCURVE \"empty\" 0\n"
      "element vertex 4\n"
      "property float x\nproperty float y\nproperty float z\n"
      "property float nx\nproperty float ny\nproperty float nz\n"
      "property uchar red\nproperty uchar green\nproperty uchar blue\n"
      "element face 2\nproperty list uchar uint vertex_indices\nend_header\n";
  const float rows[4][6] = {{0, 0, 0, 0, 0, 1}, {1, 0, 0, 0, 0, 1}, {0, 1, 0, 0, 0, 1},
                            {1, 1, 0.5f, 0, 0, 0}};
  for (const auto& r : rows) {
    for (float v : r) want += le(v);
    want += "\x0a\x14\x1e";  // 10, 20, 30
  }
  const uint32_t faces[2][3] = {{0, 1, 2}, {1, 3, 2}};
  for (const auto& f : faces) {
    want += '\x03';
    for (uint32_t i : f) want += le(i);
  }
  const std::string got = save(true, true, true);
  EXPECT_EQ(got.size(), want.size());
  EXPECT_EQ(got, want);
  // 27 bytes a vertex, 13 a face.
  EXPECT_EQ(got.size() - got.find("end_header\n") - 11, 4u * 27 + 2u * 13);
}

TEST_F(surface_files, Vrml2Text) {
  const std::string want =
      "#VRML V2.0 utf8\n"
      "# LANDMARK \"tip\" 1.00000 2.00000 3.00000\n"
      "# CLOSED_LANDCURVE \"ring\" 2\n"
      "# 0.10000 0.20000 0.30000\n"
      "# 0.40000 0.50000 0.60000\n"
      "# OPEN_LANDCURVE \"empty\" 0\n"
      "Transform { children [ Shape {\n"
      " appearance Appearance { material Material {\n"
      "  ambientIntensity 0.2\n"
      "  diffuseColor 0.039 0.078 0.118\n"
      "  specularColor 0.1 0.1 0.1\n"
      "  emissiveColor 0 0 0\n"
      "  shininess     0.2\n"
      "  transparency  0.250\n"
      " } }\n"
      " geometry IndexedFaceSet {\n"
      "  coord Coordinate { point [\n"
      "   0.00000 0.00000 0.00000,\n"
      "   1.00000 0.00000 0.00000,\n"
      "   0.00000 1.00000 0.00000,\n"
      "   1.00000 1.00000 0.50000\n"
      "  ] }\n"
      "  normal Normal { vector [\n"
      "   0.00000 0.00000 1.00000,\n"
      "   0.00000 0.00000 1.00000,\n"
      "   0.00000 0.00000 1.00000,\n"
      "   0.00000 0.00000 0.00000\n"
      "  ] }\n"
      "  coordIndex [\n"
      "   0, 1, 2, -1,\n"
      "   1, 3, 2, -1\n"
      "  ]\n"
      " }\n"
      "} ] }\n";
  EXPECT_EQ(save(true, false, true), want);
  // Without the header line the nodes follow directly: two surfaces share a file.
  EXPECT_EQ(save(false, false, true), want.substr(want.find('\n') + 1));
}

// VRML 1.0 of the whole mesh (capped object, type 2 kept) with compounded
// image data: per-vertex colours c * channel / 255 / 255, not truncated.
TEST_F(surface_files, Vrml1TextWithCompoundedColours) {
  resource_table->RES_VRML2_SURFACES->write(false);
  s.compound_depth = 0.5;
  const std::string want =
      "#VRML V1.0 ascii\n"
      "Separator {\n"
      " ShapeHints {\n"
      "  vertexOrdering COUNTERCLOCKWISE\n"
      "  shapeType SOLID\n"
      "  faceType CONVEX\n"
      " }\n"
      " MaterialBinding {\n"
      "  value OVERALL\n"
      " }\n"
      " Material {\n"
      "  ambientColor 0.2 0.2 0.2\n"
      "  specularColor 0.1 0.1 0.1\n"
      "  emissiveColor 0 0 0\n"
      "  shininess     0.2\n"
      "  transparency  0.250\n"
      " }\n"
      " Coordinate3 {\n"
      "  point [\n"
      "   0.00000 0.00000 0.00000,\n"
      "   1.00000 0.00000 0.00000,\n"
      "   1.00000 0.00000 0.00000,\n"
      "   0.00000 1.00000 0.00000,\n"
      "   1.00000 1.00000 0.50000\n"
      "  ]\n"
      " }\n"
      " NormalBinding {\n"
      "  value PER_VERTEX_INDEXED\n"
      " }\n"
      " Normal {\n"
      "  vector [\n"
      "   0.00000 0.00000 1.00000,\n"
      "   0.00000 0.00000 1.00000,\n"
      "   0.00000 0.00000 1.00000,\n"
      "   0.00000 0.00000 1.00000,\n"
      "   0.00000 0.00000 0.00000\n"
      "  ]\n"
      " }\n"
      " MaterialBinding {\n"
      "  value PER_VERTEX_INDEXED\n"
      " }\n"
      " Material {\n"
      "  diffuseColor [\n"
      "   0.039 0.078 0.118,\n"
      "   0.000 0.000 0.000,\n"
      "   0.001 0.003 0.004,\n"
      "   0.020 0.039 0.059,\n"
      "   0.008 0.016 0.024\n"
      "  ]\n"
      " }\n"
      " IndexedFaceSet {\n"
      "  coordIndex [\n"
      "   0, 1, 3, -1,\n"
      "   1, 4, 3, -1\n"
      "  ]\n"
      " }\n"
      "}\n";
  EXPECT_EQ(save(true, false, false), want);
}

// An empty mesh: counts of 0 and nothing after the header; in VRML every
// list leaves one empty line.
TEST_F(surface_files, EmptyMesh) {
  set_mesh(s, {}, {});
  resource_table->RES_LANDMARKS->read()->items.clear();
  resource_table->RES_CURVE->read()->curves.clear();
  const std::string ply = save(true, true, false);
  EXPECT_NE(ply.find("element vertex 0\n"), std::string::npos);
  EXPECT_NE(ply.find("element face 0\n"), std::string::npos);
  EXPECT_EQ(ply.find("comment"), std::string::npos);
  EXPECT_EQ(ply.substr(ply.size() - 11), "end_header\n");
  const std::string vrml = save(true, false, false);
  EXPECT_NE(vrml.find("  coord Coordinate { point [\n\n  ] }\n  normal Normal { vector [\n\n  ] }\n"
                      "  coordIndex [\n\n  ]\n"),
            std::string::npos)
      << vrml;
  EXPECT_EQ(vrml.find("\n#"), std::string::npos);
  resource_table->RES_VRML2_SURFACES->write(false);
  const std::string vrml1 = save(true, false, false);
  EXPECT_NE(vrml1.find(" Coordinate3 {\n  point [\n\n  ]\n }\n"), std::string::npos) << vrml1;
  EXPECT_NE(vrml1.find("  vector [\n\n  ]\n"), std::string::npos);
  EXPECT_NE(vrml1.find("  coordIndex [\n\n  ]\n }\n}\n"), std::string::npos);
}

// Which vertices and triangles are written, and their numbers.
TEST_F(surface_files, TypeTwoLeftOutAndRenumbered) {
  set_mesh(s,
           {point(0, 0, 0, 0, 0, 1, 2), point(1, 0, 0, 0, 0, 1), point(1, 0, 0, 0, 0, 1, 2),
            point(0, 1, 0, 0, 0, 1), point(1, 1, 0, 0, 0, 1)},
           {{1, 4, 3, 1}, {0, 2, 3, 2}, {3, 4, 1, 0}});
  struct row {
    bool skip_type2, capped;
    size_t vertices;
    std::vector<std::vector<double>> faces;
  };
  const row rows[] = {
      {false, true, 5, {{1, 4, 3}, {0, 2, 3}, {3, 4, 1}}},
      {true, true, 3, {{0, 2, 1}, {1, 2, 0}}},
      {false, false, 3, {{0, 2, 1}, {1, 2, 0}}},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(std::to_string(r.skip_type2) + std::to_string(r.capped));
    resource_table->RES_OBJECT->read()[2].capped = r.capped;
    const ply_content c = read_ply(save(true, true, r.skip_type2));
    ASSERT_EQ(c.error, "");
    EXPECT_EQ(c.vertices.size(), r.vertices);
    EXPECT_EQ(c.faces, r.faces);
  }
}

// Layer surfaces of a sphere of radius 1 cm with constant values (mm):
// offset 0.7, thickness 2, outer gap 0.4, inner gap 0.3. Every vertex lies
// at the radius worked out from the layer depth D: 10 + D along the normal,
// 10 - D reversed, and along a direction tilted by 30 degrees (stored two
// long) at sqrt((10 +- D)^2 + (D tan 30)^2). A direction along the surface
// places the vertex along its normal. Written normals stay the sphere's.
TEST_F(surface_files, LayersOfASphere) {
  set_sphere(s, 1.0, 12, 24, 3.0);
  const size_t n = size_t(s.mesh.n_points);
  s.surface_offset.assign(n, 0.7);
  s.cortical_thickness.assign(n, 2.0);
  s.smoothed_thickness.assign(n, 2.0);
  s.fit_error.assign(n, 0.1);
  s.outer_gap.assign(n, 0.4);
  s.inner_gap.assign(n, 0.3);
  const double depth[5] = {0, 1.1, 0.7, -1.3, -1.6};
  const double tilt = 30 * 3.141592653589793 / 180;
  enum { along_normal, tilted, tangent };
  for (int mode : {along_normal, tilted, tangent})
    for (bool reversed : {false, true})
      for (int layer = 0; layer <= 4; ++layer) {
        SCOPED_TRACE("mode " + std::to_string(mode) + " reversed " + std::to_string(reversed) +
                     " layer " + std::to_string(layer));
        s.reversed = reversed;
        s.directions.clear();
        for (size_t i = 0; mode != along_normal && i < n; ++i) {
          const surface_point& p = s.mesh.points[i];
          const vec3_t u{p.x, p.y, p.z};  // radius 1: the unit normal
          vec3_t e = vec3_cross(u, vec3_t{0.3, 0.5, 0.8});
          e = e * (1 / vec3_length(e));
          s.directions.push_back(mode == tilted ? (u * std::cos(tilt) + e * std::sin(tilt)) * 2.0
                                                : e * 2.0);
        }
        const ply_content c = read_ply(save(true, true, false, layer));
        ASSERT_EQ(c.error, "");
        ASSERT_EQ(c.vertices.size(), n);
        const double d = depth[layer];
        const double radial = 10 + (reversed ? -d : d);
        const double expect = mode == tilted ? std::hypot(radial, d * std::tan(tilt)) : radial;
        for (size_t i = 0; i < n; ++i) {
          const std::vector<double>& v = c.vertices[i];
          EXPECT_NEAR(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]), expect, 2e-5) << i;
          const surface_point& p = s.mesh.points[i];
          EXPECT_NEAR(v[3], p.x, 1e-7);  // unit normal, not reversed
          EXPECT_NEAR(v[5], p.z, 1e-7);
          if (layer == 0) {
            EXPECT_EQ(float(v[0]), float(10 * p.x));
            EXPECT_EQ(float(v[2]), float(10 * p.z));
          }
        }
      }
}

// A layer whose arrays are missing writes nothing and says nothing.
TEST_F(surface_files, LayerWithoutItsArraysWritesNothing) {
  set_sphere(s, 1.0, 4, 6);
  const size_t n = size_t(s.mesh.n_points);
  struct row {
    int layer;
    std::vector<double> surface_interp::*missing;
  };
  const row rows[] = {
      {1, &surface_interp::outer_gap},         {4, &surface_interp::inner_gap},
      {2, &surface_interp::surface_offset},    {3, &surface_interp::cortical_thickness},
      {3, &surface_interp::fit_error},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.layer);
    for (std::vector<double> surface_interp::*a : {&surface_interp::surface_offset, &surface_interp::cortical_thickness,
                    &surface_interp::smoothed_thickness, &surface_interp::fit_error,
                    &surface_interp::outer_gap, &surface_interp::inner_gap})
      (s.*a).assign(n, 0.5);
    (s.*r.missing).clear();
    log_capture log;
    string_output_stream out;
    EXPECT_FALSE(s.save_surface(out, true, true, false, r.layer));
    EXPECT_FALSE(s.save_surface(out, true, false, false, r.layer));
    EXPECT_TRUE(out.bytes.empty());
    EXPECT_TRUE(log.records().empty());
  }
}

// Vertex colours: the thickness colour map on the surface itself with
// thickness results, the object's colour scaled by the index with
// compounded data (also on a layer), the object's colour otherwise.
TEST_F(surface_files, VertexColours) {
  set_sphere(s, 1.0, 4, 6);
  const size_t n = size_t(s.mesh.n_points);
  for (size_t i = 0; i < n; ++i) s.mesh.points[i].colour = uint8_t(i * 37 % 256);
  s.mesh.points[0].colour = 0;
  s.mesh.points[1].colour = 255;
  resource_table->RES_THICKNESS_DISP_COL->write(5);
  struct row {
    const char* name;
    bool thickness;
    double compound;
    int layer;
    char expect;  // t: table, c: compounded, o: object colour
  };
  const row rows[] = {
      {"thickness, surface", true, 0, 0, 't'}, {"thickness, layer 2", true, 0, 2, 'o'},
      {"compounded", false, 0.3, 0, 'c'},      {"compounded layer", true, 0.3, 2, 't'},
      {"plain", false, 0, 0, 'o'},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    s.compound_depth = r.compound;
    for (std::vector<double> surface_interp::*a : {&surface_interp::surface_offset, &surface_interp::cortical_thickness,
                    &surface_interp::smoothed_thickness, &surface_interp::fit_error})
      (s.*a).assign(r.thickness || r.layer ? n : 0, 0.1);
    const ply_content c = read_ply(save(true, true, false, r.layer));
    ASSERT_EQ(c.vertices.size(), n);
    for (size_t i = 0; i < n; ++i) {
      const unsigned ci = s.mesh.points[i].colour;
      const uint8_t* t = thickness_colour_entry(5, int(ci));
      const unsigned obj[3] = {10, 20, 30};
      for (int k = 0; k < 3; ++k) {
        const double want = r.expect == 't'   ? t[k]
                            : r.expect == 'c' ? std::floor(ci * obj[k] / 255.0)
                                              : obj[k];
        EXPECT_EQ(c.vertices[i][6 + k], want) << i << " " << k;
      }
    }
  }
  // Entry 0 of map 5 is white; with compounded data index 0 is black.
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(thickness_colour_entry(5, 0)), 3),
            "\xff\xff\xff");
}

// A name holding double quotes or line breaks is written so that it reads
// back between the first two double quotes, on one comment line.
TEST_F(surface_files, NamesWithQuotesReadBack) {
  (*resource_table->RES_LANDMARKS->read())[0].name = "left \"big\"\ntoe";
  (*resource_table->RES_CURVE->read())[0].name = "rim\r\n\"a\"";
  const ply_content c = read_ply(save(true, true, true));
  ASSERT_EQ(c.error, "");
  ASSERT_GE(c.comments.size(), 2u);
  auto between_quotes = [](const std::string& t) {
    const size_t a = t.find('"'), b = t.find('"', a + 1);
    return t.substr(a + 1, b - a - 1);
  };
  EXPECT_EQ(between_quotes(c.comments[0]), "left 'big' toe");
  EXPECT_EQ(between_quotes(c.comments[1]), "rim  'a'");
  EXPECT_NE(c.comments[0].find("' toe\" 1.00000 2.00000 3.00000 0.00000 1.00000 0.00000"),
            std::string::npos);
  const std::string vrml = save(true, false, true);
  EXPECT_NE(vrml.find("# LANDMARK \"left 'big' toe\" 1.00000"), std::string::npos);
}

// Failures: the warning names the step; nothing of a refused header reaches
// the stream; a stream that refuses bytes fails the save for VRML too.
TEST_F(surface_files, FailuresAreReported) {
  {
    (*resource_table->RES_LANDMARKS->read())[0].name = wxString(char('n'), 1100);
    log_capture log;
    string_output_stream out;
    EXPECT_FALSE(s.save_surface(out, true, true, false, 0));
    EXPECT_TRUE(log.has(wxLOG_Warning, "Could not add comment to ply file"));
    EXPECT_TRUE(out.bytes.empty());
    (*resource_table->RES_LANDMARKS->read())[0].name = "tip";
  }
  {  // the stream refuses the final bytes
    log_capture log;
    string_output_stream out;
    out.limit = 100;
    EXPECT_FALSE(s.save_surface(out, true, true, false, 0));
    EXPECT_TRUE(log.has(wxLOG_Warning, "Could not write surface ply file"));
  }
  {  // vertex data past the writer's buffer
    set_sphere(s, 1.0, 200, 250);
    log_capture log;
    string_output_stream out;
    out.limit = 1000;
    EXPECT_FALSE(s.save_surface(out, true, true, false, 0));
    EXPECT_TRUE(log.has(wxLOG_Warning, "Could not write vertex to ply file"));
    EXPECT_EQ(log.count(wxLOG_Warning), 1);
  }
  for (bool vrml2 : {true, false}) {
    resource_table->RES_VRML2_SURFACES->write(vrml2);
    log_capture log;
    string_output_stream out;
    out.limit = 1000;
    EXPECT_FALSE(s.save_surface(out, true, false, false, 0));
    EXPECT_TRUE(log.has(wxLOG_Warning, "Could not write surface VRML file"));
  }
}

// With smoothing on, the outer edge layer lies at the smoothed offsets the
// numpy reference computes (holes filled), and the displayed kind is put
// back afterwards; without smoothing the offsets are used as they are.
TEST_F(surface_files, SmoothedLayerValues) {
  set_sphere(s, 1.0, 8, 12);
  const size_t n = size_t(s.mesh.n_points);
  s.cortical_thickness.assign(n, 1.5);
  s.smoothed_thickness.assign(n, 0.0);
  s.fit_error.assign(n, 0.1);
  s.density.assign(n, 1000.0);
  s.surface_offset.assign(n, 0.0);
  for (size_t i = 0; i < n; ++i) {
    const surface_point& p = s.mesh.points[i];
    s.surface_offset[i] = 0.4 * p.x + 0.3 * std::sin(5.0 * i);
    s.fit_error[i] = i % 9 == 4 ? 1e10 : 0.05 + 0.01 * double(i % 5);
  }
  resource_table->RES_THICKNESS_OUTLIER_REJECT->write(90);
  resource_table->RES_THICKNESS_DISTANCE_REJECT->write(40);
  resource_table->RES_THICKNESS_DISP_MAP->write(2);
  resource_table->RES_THICKNESS_SMOOTH_FILL->write(100);
  wxString scratch = wxFileName::CreateTempFileName("nvlayer");
  wxRemoveFile(scratch);
  wxMkdir(scratch);
  for (long smooth : {3L, 0L}) {
    SCOPED_TRACE(smooth);
    resource_table->RES_THICKNESS_SMOOTH->write(smooth);
    base_res_t::make_pending_writes_happen();
    s.display_kind = 2;
    const std::string ref =
        display_reference_test::display_reference(s, 0, smooth, 100, scratch.ToStdString());
    std::vector<double> offsets = display_reference_test::json_array(ref, "offsets");
    if (smooth == 0) offsets = s.surface_offset;
    ASSERT_EQ(offsets.size(), n);
    const ply_content c = read_ply(save(true, true, false, 2));
    ASSERT_EQ(c.vertices.size(), n);
    for (size_t i = 0; i < n; ++i) {
      const surface_point& p = s.mesh.points[i];
      const std::vector<double>& v = c.vertices[i];
      // Outward unit normals: the layer lies offset mm out of 10 P mm.
      EXPECT_NEAR(v[0], 10 * p.x + p.nx * offsets[i], 1e-4) << i;
      EXPECT_NEAR(v[1], 10 * p.y + p.ny * offsets[i], 1e-4) << i;
      EXPECT_NEAR(v[2], 10 * p.z + p.nz * offsets[i], 1e-4) << i;
    }
    EXPECT_EQ(s.display_kind, 2);
  }
  wxFileName::Rmdir(scratch, wxPATH_RMDIR_RECURSIVE);
}
