// Helpers for the volume reader tests: a scratch folder removed after the
// test, and the resources the readers write, made without the whole table.
#pragma once

#include <fstream>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <wx/dir.h>
#include <wx/filefn.h>
#include <wx/filename.h>

#include "registry/res_values.h"

class scratch_dir {
 public:
  scratch_dir() {
    wxString base = wxFileName::CreateTempFileName("nvmed");
    wxRemoveFile(base);
    wxMkdir(base);
    root_ = base;
  }
  ~scratch_dir() { wxFileName::Rmdir(root_, wxPATH_RMDIR_RECURSIVE); }
  scratch_dir(const scratch_dir&) = delete;
  scratch_dir& operator=(const scratch_dir&) = delete;

  const wxString& root() const { return root_; }
  wxString path(const wxString& name) const { return wxFileName(root_, name).GetFullPath(); }
  wxString write(const wxString& name, const std::string& bytes) const {
    const wxString p = path(name);
    std::ofstream(p.ToStdString(), std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return p;
  }

 private:
  wxString root_;
};

// The resources a probe writes, under their registry names.
struct resource_set {
  bool_res_t buf_dicom{false, L"RES_BUF_DICOM", 0, 0};
  long_res_t width{512, L"RES_BUF_WIDTH", 0, 0};
  long_res_t height{512, L"RES_BUF_HEIGHT", 0, 0};
  long_res_t frames{0, L"RES_BUF_FRAMES", 0, 0};
  bool_res_t pos_rec{true, L"RES_POS_REC", 0, 0};
  genflag_res_t<wxString> bin_name{wxString(), L"RES_BIN_IM_FILENAME", 0, 0};
  double_res_t xscale{0.01, L"RES_XSCALE", 0, 0};
  double_res_t yscale{0.01, L"RES_YSCALE", 0, 0};
  double_res_t xtrans{1, L"RES_XTRANS", 0, 0};
  double_res_t ytrans{1, L"RES_YTRANS", 0, 0};
  double_res_t ztrans{1, L"RES_ZTRANS", 0, 0};
  double_res_t azimuth{1, L"RES_AZIMUTH", 0, 0};
  double_res_t elevation{1, L"RES_ELEVATION", 0, 0};
  double_res_t roll{1, L"RES_ROLL", 0, 0};
  double_res_t centre{1024, L"RES_DICOM_WIN_CENTRE", 0, 0};
  double_res_t window{2048, L"RES_DICOM_WIN_WIDTH", 0, 0};
  double_res_t hum{1, L"RES_DICOM_HUM", 0, 0};
  double_res_t hub{0, L"RES_DICOM_HUB", 0, 0};
  wxString_res_t units{wxString("??"), L"RES_DICOM_UNITS", 0, 0};
  long_res_t frame_size{0, L"RES_FRAME_SIZE", 0, 0};
  gen_res_t<wxFileName> ascii_name{wxFileName(), L"RES_ASCII_FILENAME", 0, 0};
  std::vector<long> frame_list_storage;
  genflag_res_t<std::vector<long>*> frame_list{&frame_list_storage, L"RES_DICOM_FRAME_LIST", 0, 0};
  flag_res_t im{L"IM", 0, 0};
  bool_res_t pos_manual{false, L"RES_POS_MANUAL", 0, 0};
  double_res_t zscale{0, L"RES_ZSCALE", 0, 0};
  bool_res_t in_script{true, L"RES_IN_SCRIPT", 0, 0};
};

// Runs a fixture generator of tests/data once per test program, into a
// folder of its own; the folder's path, or empty when the generator failed.
inline wxString generated_fixtures(const std::string& script) {
  static std::vector<std::pair<std::string, std::unique_ptr<scratch_dir>>> made;
  for (auto& m : made)
    if (m.first == script) return m.second->root();
  auto dir = std::make_unique<scratch_dir>();
  const std::string cmd = "/usr/bin/python3 " NV_TEST_SCRIPTS "/" + script + " '" +
                          dir->root().ToStdString() + "' >/dev/null";
  if (std::system(cmd.c_str()) != 0) return wxString();
  made.emplace_back(script, std::move(dir));
  return made.back().second->root();
}

inline std::string read_bytes(const wxString& path) {
  std::ifstream in(path.ToStdString(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
