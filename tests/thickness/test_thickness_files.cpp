// Thickness data files: the header against a struct-built reference, the
// round trip over a mesh with type-2 vertices, the stub endings, the pair and
// length rules, the older set beside its VRML copy, a save that fails or is
// cancelled leaving the old set whole, and the normal-blur file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <wx/filefn.h>

#include "common/log_capture.h"
#include "data/convert.h"
#include "data/data_io_ui.h"
#include "data/file_save.h"
#include "mapping_test_support.h"
#include "thickness/thickness_files.h"
#include "thickness/thickness_results.h"
#include "data/objects.h"
#include "thickness_data_support.h"

using namespace mapping_test;

namespace {

const std::string kScripts = NV_THICKNESS_SCRIPTS;

std::string bytes_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<double> doubles_of(const std::string& bytes, size_t offset) {
  std::vector<double> v((bytes.size() - offset) / 8);
  if (!v.empty()) std::memcpy(v.data(), bytes.data() + offset, v.size() * 8);
  return v;
}

// Answers every question with a fixed answer and records it.
class asking_ui : public data_io_ui {
 public:
  std::unique_ptr<data_progress> start_progress(const wxString&, const wxString&, int,
                                                unsigned) override {
    return std::make_unique<null_progress>();
  }
  bool ask_yes_no(const wxString& caption, const wxString& question) override {
    captions.push_back(caption);
    questions.push_back(question);
    return answer;
  }
  bool answer = false;
  std::vector<wxString> captions, questions;
};

// Six vertices, the fourth (index 3) a type-2 duplicate of the third.
void small_mesh(surface_interp& s) {
  set_mesh(s,
           {vertex(0, 0, 0, 0, 0, 1), vertex(1, 0, 0, 0, 0, 1), vertex(0, 1, 0, 1, 0, 0),
            vertex(0, 1, 0, 1, 0, 0, 2), vertex(1, 1, 0, 0, 1, 0), vertex(2, 1, 0, 0.6, 0, 0.8)},
           {{0, 1, 2, 1}, {1, 4, 2, 1}, {1, 5, 4, 1}});
}

// Every array filled with values of its own: array number a, vertex i.
void fill_results(surface_interp& s, double base) {
  const size_t n = size_t(s.mesh.n_points);
  std::vector<std::vector<double>*> arrays = {
      &s.cortical_thickness, &s.smoothed_thickness, &s.density,     &s.surface_offset,
      &s.segment_length,     &s.blur,               &s.endo_thickness, &s.outer_gap,
      &s.inner_gap,          &s.inner_density,      &s.outer_density};
  for (size_t a = 0; a < arrays.size(); ++a) {
    arrays[a]->resize(n);
    for (size_t i = 0; i < n; ++i) (*arrays[a])[i] = base + 10.0 * double(a) + 0.25 * double(i);
  }
  for (std::vector<double>* e : {&s.fit_error, &s.blur_error, &s.endo_error, &s.outer_gap_error,
                                 &s.inner_gap_error, &s.inner_density_error}) {
    e->resize(n);
    for (size_t i = 0; i < n; ++i) (*e)[i] = 0.01 + 0.001 * double(i) + base / 1000.0;
  }
  s.directions.assign(n, vec3_t{0, 0, 1});
}

class ThicknessFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    t.RES_IN_SCRIPT->write(true);
    t.RES_THICKNESS_SCALE_MM->write(50);
    t.RES_THICKNESS_ZERO_HU->write(-10);
    t.RES_THICKNESS_SCALE_HU->write(30);
    t.RES_DICOM_UNITS->write("GY");
    base_res_t::make_pending_writes_happen();
    small_mesh(s);
    fill_results(s, 1.0);
  }
  std::string stub(const std::string& suffix, const std::string& ext = "bin") const {
    return dir.path("scan" + suffix + "." + ext);
  }

  thickness_scratch dir;
  headless_session session;
  resource_table_t& t = *resource_table;
  surface_interp s;
  const std::vector<int32_t> stored = {0, 1, 2, 4, 5};
};

TEST_F(ThicknessFiles, ValueFileHeaderMatchesStructLayoutWithDateMasked) {
  const std::string version(wxString(program_data_version).utf8_str());
  for (bool reversed : {false, true}) {
    s.reversed = reversed;
    ASSERT_TRUE(s.save_thickness(wxFileName(stub("_blur_dat")), true));
    struct file_case {
      std::string suffix, lo, hi, unit;
      std::vector<double>* values;
    };
    // Lengths scale 0 to 0.1 x 50; densities in GY units: -10 to -10 + 30.
    for (const file_case& c : {file_case{"_thick_dat", "0", "5", "mm", &s.cortical_thickness},
                               file_case{"_surface_dat", "0", "5", "mm", &s.surface_offset},
                               file_case{"_tissue_dat", "-10", "20", "HU", &s.outer_density}}) {
      std::string args = dir.path("want.bin") + " " + (reversed ? "1" : "0") + " " + c.lo + " " +
                         c.hi + " " + c.unit + " " + version;
      char text[64];
      for (int32_t k : stored) {
        std::snprintf(text, sizeof text, " %.17g", (*c.values)[size_t(k)]);
        args += text;
      }
      ASSERT_TRUE(run_python(kScripts + "/thickness_file_reference.py", args));
      std::string want = bytes_of(dir.path("want.bin")), got = bytes_of(stub(c.suffix));
      ASSERT_EQ(got.size(), want.size()) << c.suffix;
      const size_t date = want.find(std::string(24, '?'));
      ASSERT_NE(date, std::string::npos);
      for (size_t i = date; i < date + 24; ++i) got[i] = '?';
      EXPECT_EQ(got, want) << c.suffix << " reversed " << reversed;
    }
  }
  // Error files carry no header; the density error file repeats the thickness errors.
  const std::string err = bytes_of(stub("_thick_err"));
  ASSERT_EQ(err.size(), 8 * stored.size());
  EXPECT_EQ(bytes_of(stub("_density_err")), err);
  EXPECT_EQ(doubles_of(err, 0)[3], s.fit_error[4]);
  EXPECT_EQ(bytes_of(stub("", "ply")).rfind("ply\n", 0), 0u);
  EXPECT_TRUE(wxFileExists(stub("_outer", "ply")) && wxFileExists(stub("_inner", "ply")));
}

TEST_F(ThicknessFiles, RoundTripRestoresEveryArrayAndLeavesType2Missing) {
  s.reversed = true;
  ASSERT_TRUE(s.save_thickness(wxFileName(stub("")), true));
  surface_interp back;
  small_mesh(back);
  fill_results(back, 500.0);
  back.fwhm_pending = true;
  ASSERT_TRUE(back.load_thickness(wxFileName(stub("_tissue_dat"))));
  EXPECT_TRUE(back.reversed);
  EXPECT_FALSE(back.fwhm_pending);
  EXPECT_TRUE(back.directions.empty());
  EXPECT_EQ(back.smoothed_thickness, std::vector<double>(6, 0.0));
  const std::vector<std::pair<std::vector<double> surface_interp::*, bool>> arrays = {
      {&surface_interp::cortical_thickness, false}, {&surface_interp::density, false},
      {&surface_interp::surface_offset, false},     {&surface_interp::segment_length, false},
      {&surface_interp::blur, false},               {&surface_interp::endo_thickness, false},
      {&surface_interp::outer_gap, false},          {&surface_interp::inner_gap, false},
      {&surface_interp::inner_density, false},      {&surface_interp::outer_density, false},
      {&surface_interp::fit_error, true},           {&surface_interp::blur_error, true},
      {&surface_interp::endo_error, true},          {&surface_interp::outer_gap_error, true},
      {&surface_interp::inner_gap_error, true},     {&surface_interp::inner_density_error, true}};
  for (size_t a = 0; a < arrays.size(); ++a) {
    const std::vector<double>& got = back.*arrays[a].first;
    ASSERT_EQ(got.size(), 6u) << a;
    for (int32_t k : stored) EXPECT_EQ(got[size_t(k)], (s.*arrays[a].first)[size_t(k)]) << a;
    EXPECT_EQ(got[3], arrays[a].second ? 1e10 : 0.0) << a;
  }
  EXPECT_TRUE(back.has_thickness());
}

TEST_F(ThicknessFiles, StubCutsTheFirstListedEnding) {
  struct row {
    const char* name;
    int list;  // 0 save, 1 load, 2 older
    const char* stub;
  };
  for (const row& r : std::vector<row>{{"scan_blur_dat", 0, "scan"},
                                       {"scan", 0, "scan"},
                                       {"scan_smthick_dat", 0, "scan_smthick_dat"},
                                       {"scan_tissue_dat", 1, "scan"},
                                       {"scan_smthick_dat", 1, "scan_smthick_dat"},
                                       {"scan_thick_err", 1, "scan_thick_err"},
                                       {"scan_soft_density", 2, "scan"},
                                       {"scan_trab_density", 2, "scan"},
                                       {"scan_trab_density_err", 2, "scan"},
                                       {"scan_smoothed_thickness", 2, "scan"},
                                       {"scan_density_err", 2, "scan"},
                                       {"scan_pore_err", 2, "scan"},
                                       {"scan_pore", 2, "scan"},
                                       {"Scan_Density", 2, "Scan_Density"}}) {
    const auto& list = r.list == 0   ? thickness_save_endings()
                       : r.list == 1 ? thickness_load_endings()
                                     : thickness_older_endings();
    EXPECT_EQ(thickness_stub(r.name, list), r.stub) << r.name << " list " << r.list;
  }
}

TEST_F(ThicknessFiles, PairsNeedBothFilesAndEveryLengthIsChecked) {
  ASSERT_TRUE(s.save_thickness(wxFileName(stub("")), true));
  ASSERT_TRUE(wxRemoveFile(stub("_joint_err")));
  surface_interp back;
  small_mesh(back);
  ASSERT_TRUE(back.load_thickness(wxFileName(stub("_thick_dat"))));
  EXPECT_TRUE(back.outer_gap.empty() && back.outer_gap_error.empty());
  EXPECT_EQ(back.inner_gap.size(), 6u);

  // A short error file, or a surface of another size, is refused and changes nothing.
  log_capture log;
  std::string blur_err = bytes_of(stub("_blur_err"));
  std::ofstream(stub("_blur_err"), std::ios::binary).write(blur_err.data(), 32);
  fill_results(back, 700.0);
  const std::vector<double> before = back.cortical_thickness;
  EXPECT_FALSE(back.load_thickness(wxFileName(stub("_thick_dat"))));
  EXPECT_TRUE(log.has(wxLOG_Error, "Binary thickness files contain 5 values, whereas surface "
                                   "contains 5 values.\n"));
  EXPECT_EQ(back.cortical_thickness, before);
  std::ofstream(stub("_blur_err"), std::ios::binary).write(blur_err.data(), blur_err.size());
  surface_interp other;
  set_mesh(other, {vertex(0, 0, 0, 0, 0, 1), vertex(1, 0, 0, 0, 0, 1)}, {});
  EXPECT_FALSE(other.load_thickness(wxFileName(stub("_thick_dat"))));
  EXPECT_TRUE(log.has(wxLOG_Error, "contain 5 values, whereas surface contains 2 values."));

  // A value that is not a number or an error at or below 0 reads as missing.
  std::string thick = bytes_of(stub("_thick_dat")), err = bytes_of(stub("_thick_err"));
  const double nan = std::nan(""), zero = 0.0;
  std::memcpy(&thick[256 + 8 * 1], &nan, 8);
  std::memcpy(&err[8 * 3], &zero, 8);  // stored vertex 3 is mesh vertex 4
  std::ofstream(stub("_thick_dat"), std::ios::binary).write(thick.data(), thick.size());
  std::ofstream(stub("_thick_err"), std::ios::binary).write(err.data(), err.size());
  ASSERT_TRUE(back.load_thickness(wxFileName(stub("_thick_dat"))));
  EXPECT_EQ(back.cortical_thickness[1], 0.0);
  EXPECT_EQ(back.fit_error[1], 1e10);
  EXPECT_EQ(back.fit_error[4], 1e10);
  EXPECT_EQ(back.fit_error[0], s.fit_error[0]);

  ASSERT_TRUE(wxRemoveFile(stub("_thick_err")));
  EXPECT_FALSE(back.load_thickness(wxFileName(stub("_thick_dat"))));
  EXPECT_TRUE(log.has(wxLOG_Warning, "Could not find binary thickness or error files\n\n" +
                                         stub("_thick_dat") + "\n" + stub("_thick_err") +
                                         "\n\nfor reading."));
}

TEST_F(ThicknessFiles, OlderSetHasNoHeadersAndLoadsFromItsVrmlCopy) {
  t.RES_DAT_THICKNESS_FILES->write(false);
  base_res_t::make_pending_writes_happen();
  s.reversed = true;
  ASSERT_TRUE(s.save_thickness(wxFileName(stub("_pore_err")), true));
  for (const char* suffix : {"_thickness", "_smoothed_thickness", "_thick_err", "_density",
                             "_density_err", "_surface", "_seg", "_gauss", "_gauss_err", "_pore",
                             "_pore_err", "_trab_density", "_trab_density_err", "_soft_density"})
    EXPECT_EQ(bytes_of(stub(suffix)).size(), 8 * stored.size()) << suffix;
  EXPECT_EQ(doubles_of(bytes_of(stub("_gauss")), 0)[2], s.blur[2]);
  EXPECT_EQ(bytes_of(stub("", "wrl")).rfind("#VRML", 0), 0u);
  const std::string cortex = bytes_of(stub("_cortex", "wrl"));
  EXPECT_EQ(cortex.rfind("#VRML", 0), 0u);
  EXPECT_EQ(cortex.find("#VRML", 1), std::string::npos);  // the inner layer has no header line

  surface_interp back;
  small_mesh(back);
  back.reversed = true;
  ASSERT_TRUE(back.load_thickness(wxFileName(stub("", "wrl"))));
  EXPECT_FALSE(back.reversed);
  EXPECT_EQ(back.inner_gap[5], s.inner_gap[5]);
  EXPECT_EQ(back.outer_density[0], s.outer_density[0]);
  // The current set's copy makes the loader look for the older names.
  log_capture log;
  surface_interp none;
  small_mesh(none);
  EXPECT_FALSE(none.load_thickness(wxFileName(dir.path("other.ply"))));
  EXPECT_TRUE(log.has_text("other_thickness.bin"));
}

TEST_F(ThicknessFiles, AFailedOrCancelledSaveLeavesTheOldSetWhole) {
  ASSERT_TRUE(s.save_thickness(wxFileName(stub("")), true));
  const std::vector<std::string> names = {stub("_thick_dat"), stub("_thick_err"),
                                          stub("_tissue_dat"), stub("", "ply"),
                                          stub("_outer", "ply")};
  std::vector<std::string> old;
  for (const std::string& p : names) old.push_back(bytes_of(p));
  fill_results(s, 40.0);

  log_capture log;
  set_save_fault_hook([](save_step step, const wxString& target) {
    return step == save_step::create && target.EndsWith("_inner.ply") ? save_fault::fail
                                                                      : save_fault::none;
  });
  EXPECT_FALSE(s.save_thickness(wxFileName(stub("")), true));
  set_save_fault_hook({});
  EXPECT_TRUE(log.has(wxLOG_Error, "Error opening binary thickness files for writing.\n"));
  for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(bytes_of(names[i]), old[i]) << names[i];

  // Outside a script the question names the layer surfaces too; No keeps everything.
  t.RES_IN_SCRIPT->write(false);
  base_res_t::make_pending_writes_happen();
  asking_ui ui;
  data_ui_scope asked(ui);
  EXPECT_FALSE(s.save_thickness(wxFileName(stub("")), true));
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_EQ(ui.captions[0], "Overwrite files");
  const wxString q = ui.questions[0];
  EXPECT_TRUE(q.StartsWith("One of the files\n\n" + stub("_thick_dat") + "\n" +
                           stub("_smthick_dat") + "\n" + stub("_thick_err") + "\n" +
                           stub("_surface_dat") + "\n" + stub("", "ply") + "\n" +
                           stub("_outer", "ply") + "\n" + stub("_inner", "ply") + "\n"));
  EXPECT_TRUE(q.EndsWith(stub("_tissue_dat") + "\n\nalready exists. Overwrite?"));
  for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(bytes_of(names[i]), old[i]) << names[i];
  ui.answer = true;
  EXPECT_TRUE(s.save_thickness(wxFileName(stub("")), true));
  EXPECT_EQ(doubles_of(bytes_of(stub("_thick_dat")), 256)[0], s.cortical_thickness[0]);
}

TEST_F(ThicknessFiles, NormalBlurIsTheBlurAlongEachStoredNormal) {
  t.RES_THICKNESS_GAUSS->write(0.1);
  t.RES_THICKNESS_RECT->write(0.2);
  base_res_t::make_pending_writes_happen();
  ASSERT_TRUE(s.save_normal_blur(wxFileName(stub("_normal_blur"))));
  EXPECT_FALSE(wxFileExists(dir.path("scan_normal_blur_normal_blur.bin")));
  const std::vector<double> v = doubles_of(bytes_of(stub("_normal_blur")), 0);
  // Normals: z, z, x, (type 2), y, (0.6, 0, 0.8).
  const double mixed = std::sqrt(0.36 * 0.01 + 0.64 * 0.04);
  const std::vector<double> want = {0.2, 0.2, 0.1, 0.1, mixed};
  ASSERT_EQ(v.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(v[i], want[i], 1e-15) << i;
  t.RES_THICKNESS_GAUSS->write(1e10);
  base_res_t::make_pending_writes_happen();
  EXPECT_FALSE(s.save_normal_blur(wxFileName(dir.path("none.bin"))));
  EXPECT_FALSE(wxFileExists(dir.path("none_normal_blur.bin")));
}

TEST_F(ThicknessFiles, ScriptNamesJoinResultsAndSurfaceName) {
  t.RES_ASCII_FILENAME->write(wxFileName(dir.path("scan.hm")));
  t.RES_OBJECT->read()[2].name = "left tibia ";
  struct row {
    const char *folder, *results;
    thickness_result_command command;
    std::string want;
  };
  const std::string folder = dir.root();
  for (const row& r : std::vector<row>{
           {folder.c_str(), "R", thickness_result_command::load, folder + "/R_left_tibia_thick_dat.bin"},
           {folder.c_str(), "R", thickness_result_command::save, folder + "/R_left_tibia.hm"},
           {folder.c_str(), "INITIAL_STATE", thickness_result_command::normal_blur,
            folder + "/left_tibia.hm"},
           {"INITIAL_STATE", "", thickness_result_command::save, "left_tibia.hm"}}) {
    t.RES_SCRIPT_RESULTS_DIR->write(r.folder);
    t.RES_SCRIPT_RESULTS_NAME->write(r.results);
    base_res_t::make_pending_writes_happen();
    wxFileName name;
    ASSERT_TRUE(thickness_script_file_name(r.command, 2, name));
    EXPECT_EQ(name.GetFullPath(), r.want);
  }
  log_capture log;
  t.RES_OBJECT->read()[3].name = "  ";
  wxFileName name;
  EXPECT_FALSE(thickness_script_file_name(thickness_result_command::save, 3, name));
  EXPECT_TRUE(log.has(wxLOG_Error, "Error in Script. No surface selected prior to save surface "
                                   "results. See log for details."));
}

TEST_F(ThicknessFiles, LoadCommandRestoresTheSurfaceAndStoresItAgain) {
  ASSERT_TRUE(s.save_thickness(wxFileName(stub("")), true));
  auto* held = new surface_interp(0);
  small_mesh(*held);
  t.RES_SURFACE[0]->write(held);
  base_res_t::make_pending_writes_happen();
  ASSERT_TRUE(run_thickness_result(thickness_result_command::load, 0, wxFileName(stub("_thick_dat"))));
  EXPECT_EQ(held->cortical_thickness[5], s.cortical_thickness[5]);
  // The display data were selected again from the loaded values.
  EXPECT_EQ(held->display_kind, t.RES_THICKNESS_DISP_MAP->read());
  EXPECT_FALSE(run_thickness_result(thickness_result_command::load, 7, wxFileName(stub("_thick_dat"))));
  t.RES_SURFACE[0]->write(nullptr);
  base_res_t::make_pending_writes_happen();
  delete held;
}

}  // namespace
