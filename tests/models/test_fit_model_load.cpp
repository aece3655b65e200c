// Loading a shape model: the comment keywords, the refusals with their
// messages and results, the shape model file against numpy's, and the model
// shown as the surface of object 200.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "../common/log_capture.h"
#include "data/objects.h"
#include "fit_test_files.h"
#include "models/fit_model.h"
#include "registry/res_values.h"
#include "surfaces/surface_interp.h"
#include "tools/headless_session.h"

namespace {

class FitModelLoad : public ::testing::Test {
 protected:
  headless_session session;
  log_capture log;
  fit_test_folder folder;
  fit_model m;

  const std::vector<std::string> two_landmarks = {"FIT_MODEL_LM \"apex\" 7", "FIT_MODEL_LM \"base\" 0"};

  void expect_no_model() {
    EXPECT_EQ(m.model.point_count, 0);
    EXPECT_TRUE(m.model.points.empty());
    EXPECT_TRUE(m.fitting_landmarks.empty());
    EXPECT_EQ(m.mode_count, 0);
    EXPECT_TRUE(m.ssm_mean.empty() && m.ssm_basis.empty());
    EXPECT_EQ(resource_table->RES_SURFACE[200]->read(), nullptr);
  }
};

TEST_F(FitModelLoad, CommentsGiveLandmarksSubstructuresAndSettings) {
  folder.write("part.ply", cube_ply({}));
  const std::string path = folder.write(
      "ear.ply", cube_ply({"made by hand", "FIT_MODEL_LM \"tip \"of\" nose\" 5 extra words",
                           "FIT_MODEL_LM \"no vertex\" 2x", "FIT_MODEL_LM \"base\"   0",
                           "LAD sphere radius hint 2.5", "LAD sphere radius hint 3 mm",
                           "FIT_MODEL_MS \"inner part\" some/folder/part.ply more",
                           "FIT_MODEL_MS \"lost\" absent.ply", "MS_REFLECTED"}));
  ASSERT_EQ(m.parse_ply_and_ssm_files(path), 0) << (log.records().empty() ? "" : log.records()[0].text);
  ASSERT_EQ(m.fitting_landmarks.size(), 2u);
  EXPECT_EQ(m.fitting_landmarks[0].name, "tip \"of\" nose");
  EXPECT_EQ(m.fitting_landmarks[0].vertex, 5);
  EXPECT_EQ(m.fitting_landmarks[1].name, "base");
  EXPECT_EQ(m.fitting_landmarks[1].vertex, 0);
  EXPECT_EQ(m.lad_radius_hint, 2.5) << "a number with text after it leaves the value";
  // The sub-structure whose file is absent is dropped.
  ASSERT_EQ(m.substructures.size(), 1u);
  EXPECT_EQ(m.substructures[0].name, "inner part");
  EXPECT_EQ(m.substructures[0].points.size(), 8u);
  EXPECT_EQ(m.substructures[0].file_path, folder.path("part.ply"));
  EXPECT_TRUE(m.substructures_reflected);
  EXPECT_EQ(m.mode_count, 0) << "no .ssm beside it";
  EXPECT_FALSE(m.implant);

  // The mesh, its normals and bounds as loaded.
  ASSERT_EQ(m.model.point_count, 8);
  ASSERT_EQ(m.model.triangle_count, 4);
  EXPECT_EQ(m.model.points[7].x, 10.0);
  EXPECT_EQ(m.model.points[7].z, 10.0);
  EXPECT_EQ(m.model.loaded_points.size(), 8u);
  // Vertex 0 is in triangles 0 (normal +z... (1-0)x(2-0) = +z) and 3 ((4-0)x(1-0) = +y).
  EXPECT_NEAR(m.model.normals[0].x, 0.0, 1e-12);
  EXPECT_NEAR(m.model.normals[0].y, std::sqrt(0.5), 1e-12);
  EXPECT_NEAR(m.model.normals[0].z, std::sqrt(0.5), 1e-12);
  EXPECT_EQ(m.model.normals[7].x, 0.0) << "a vertex in no triangle has no normal";
  EXPECT_EQ(m.model.centroid.x, 5.0);
  EXPECT_EQ(m.model.box_max.y, 10.0);
  EXPECT_NEAR(m.model.radius, std::sqrt(75.0), 1e-5);
  EXPECT_EQ(m.model.match_range2, -1.0);

  // Shown as object 200's surface, in centimetres, in red.
  const surface_interp* s = resource_table->RES_SURFACE[200]->read();
  ASSERT_NE(s, nullptr);
  surface_mesh* mesh = const_cast<surface_interp*>(s)->get_mesh();
  ASSERT_EQ(mesh->n_points, 8);
  ASSERT_EQ(mesh->n_triangles, 4);
  EXPECT_EQ(mesh->points[7].y, 1.0);
  EXPECT_EQ(mesh->triangles[1].b, 3);
  const contour_object& o = resource_table->RES_OBJECT->read()[200];
  EXPECT_EQ(o.colour, rgba_colour_t(255, 0, 0, 255));
  EXPECT_EQ(o.opacity, 1.0);
}

TEST_F(FitModelLoad, RefusedFilesLeaveNoModelWithTheirMessage) {
  const std::string quad = "4 0 1 2 3\n3 1 3 2\n3 4 6 5\n3 0 4 1\n";
  const std::string outside = "3 0 1 2\n3 1 3 8\n3 4 6 5\n3 0 4 1\n";
  struct refusal {
    const char* file;
    std::string text;
    const char* message;
  } cases[] = {
      {"none.ply", "", "Could not open ply file"},
      {"text.ply", "this is not a surface\n", "Could not open ply file"},
      {"header.ply", "ply\nformat ascii 9.0\nend_header\n", "Could not parse ply header"},
      {"bare.ply", cube_ply({}), "Insufficient model fitting landmarks\n"},
      {"one.ply", cube_ply({"FIT_MODEL_LM \"apex\" 7"}), "Insufficient model fitting landmarks\n"},
      {"quad.ply", cube_ply(two_landmarks, quad), "Could not parse body of ply file"},
      {"outside.ply", cube_ply(two_landmarks, outside), "Could not parse body of ply file"},
      {"short.ply", cube_ply(two_landmarks, "3 0 1 2\n"), "Could not parse body of ply file"},
      {"vertex.ply", cube_ply({"FIT_MODEL_LM \"apex\" 8", "FIT_MODEL_LM \"base\" 0"}),
       "Fitting landmark \"apex\" is on vertex 8, which the model does not have"},
      {"negative.ply", cube_ply({"FIT_MODEL_LM \"apex\" -1", "FIT_MODEL_LM \"base\" 0"}),
       "Fitting landmark \"apex\" is on vertex -1"},
      {"zero.ply",
       cube_ply({"cochlear implant", "implant electrode lengths separations 0.5 0.3",
                 "implant electrode radius 0.2", "implant lead radius 0.3",
                 "implant first electrode insertion length 0"}),
       "Insufficient electrode parameters\n"},
      {"model.txt", cube_ply(two_landmarks), "Surface file suffix is not .ply"},
      {"ply", cube_ply(two_landmarks), "Surface file suffix is not .ply"},
  };
  const std::string good = folder.write("good.ply", cube_ply(two_landmarks));
  for (const refusal& c : cases) {
    ASSERT_EQ(m.parse_ply_and_ssm_files(good), 0);
    ASSERT_NE(resource_table->RES_SURFACE[200]->read(), nullptr);
    const std::string path = c.text.empty() ? folder.path(c.file) : folder.write(c.file, c.text);
    log.clear();
    EXPECT_EQ(m.parse_ply_and_ssm_files(path), 1) << c.file;
    EXPECT_TRUE(log.has(wxLOG_Warning, c.message)) << c.file;
    expect_no_model();
  }
}

TEST_F(FitModelLoad, OnlyTheFinalPlyInAnyCaseBecomesSsm) {
  for (const char* name : {"a.ply.ply", "b.PLY", "c.Ply"}) {
    const std::string path = folder.write(name, cube_ply(two_landmarks));
    std::string ssm = path.substr(0, path.size() - 4) + ".ssm";
    std::ofstream(ssm, std::ios::binary) << std::string("\x18\0\0\0\x01\0\0\0", 8);
    log.clear();
    EXPECT_EQ(m.parse_ply_and_ssm_files(path), 2) << name << ": its own .ssm is read";
    EXPECT_TRUE(log.has(wxLOG_Warning, "Need at least two SSM modes")) << name;
  }
}

struct ssm_fixture {
  fit_test_folder folder;
  bool made = false;
  ssm_fixture() {
    const std::string cmd =
        "/usr/bin/python3 " NV_TEST_SCRIPTS "/fit_oracles.py ssm '" + folder.dir + "' 8";
    made = std::system(cmd.c_str()) == 0;
  }
};

TEST_F(FitModelLoad, ShapeModelFilesFromNumpy) {
  const ssm_fixture numpy;
  ASSERT_TRUE(numpy.made);
  struct ssm_case {
    const char* file;
    int result;
    const char* message;
  } cases[] = {
      {"good", 0, nullptr},
      {"wrong_vars", 2, "Number of SSM variables does not match surface"},
      {"one_mode", 2, "Need at least two SSM modes"},
      {"truncated", 2, "Could not read SSM mean, eigenvalues and basis vectors"},
      // 2^30 modes of 24 variables in a file of 72 bytes: refused before
      // anything is allocated.
      {"huge", 2, "Could not read SSM mean, eigenvalues and basis vectors"},
  };
  for (const ssm_case& c : cases) {
    const std::string base = numpy.folder.path(std::string("model_") + c.file);
    numpy.folder.write(std::string("model_") + c.file + ".ply", cube_ply(two_landmarks));
    std::filesystem::copy_file(numpy.folder.path(std::string(c.file) + ".ssm"), base + ".ssm");
    log.clear();
    EXPECT_EQ(m.parse_ply_and_ssm_files(base + ".ply"), c.result) << c.file;
    if (c.message) {
      EXPECT_TRUE(log.has(wxLOG_Warning, c.message)) << c.file;
      expect_no_model();
    }
  }
  // The good file, value for value.
  const int counter = resource_table->RES_NEW_SHAPE_MODEL->counter();
  ASSERT_EQ(m.parse_ply_and_ssm_files(numpy.folder.path("model_good.ply")), 0);
  EXPECT_EQ(resource_table->RES_NEW_SHAPE_MODEL->counter(), counter + 1);
  ASSERT_EQ(m.mode_count, 3);
  ASSERT_EQ(m.ssm_mean.size(), 24u);
  ASSERT_EQ(m.ssm_eigenvalues.size(), 3u);
  ASSERT_EQ(m.ssm_basis.size(), 72u);
  std::ifstream expected(numpy.folder.path("good.txt"));
  std::vector<float> all(m.ssm_mean);
  all.insert(all.end(), m.ssm_eigenvalues.begin(), m.ssm_eigenvalues.end());
  all.insert(all.end(), m.ssm_basis.begin(), m.ssm_basis.end());
  for (size_t i = 0; i < all.size(); ++i) {
    double v = 0;
    ASSERT_TRUE(expected >> v);
    EXPECT_EQ(all[i], static_cast<float>(v)) << "value " << i;
  }
}

}  // namespace
