// A data set for the engine's measurements, made in the test: 16-bit frames
// (or 8-bit ones) in the frame store with their positions, the resources a
// volume reader would have written and the readers' description of the data.
#pragma once

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <wx/filefn.h>
#include <wx/filename.h>

#include "data/dynabuf.h"
#include "medical/dicom_utility.h"
#include "registry/resource_table.h"
#include "thickness/thickness.h"
#include "tools/headless_session.h"

class thickness_data {
 public:
  thickness_data() {
    dicom_utility::data_16bit = true;
    dicom_utility::data_8bit = false;
    dicom_utility::padding_value = 0;
    dicom_utility::slice_thickness = 0.0;
    resource_table_t& t = *resource_table;
    t.RES_BUF_DICOM->write(true);
    t.RES_DICOM_HUM->write(1.0);
    t.RES_DICOM_HUB->write(-32768.0);  // raw 0 is the no-value level
  }
  ~thickness_data() {
    dicom_utility::data_16bit = false;
    dicom_utility::padding_value = 0;
    dicom_utility::slice_thickness = 0.0;
  }
  thickness_data(const thickness_data&) = delete;
  thickness_data& operator=(const thickness_data&) = delete;

  // Frames of width x height raw values; `value(frame, x, y)` gives each one.
  template <class F>
  void make_frames(int32_t width, int32_t height, int32_t frames, F value) {
    resource_table_t& t = *resource_table;
    t.RES_BUF_WIDTH->write(width);
    t.RES_BUF_HEIGHT->write(height);
    for (int32_t k = 0; k < frames; ++k) {
      uint16_t* raw = new uint16_t[size_t(width) * size_t(height)];
      for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) raw[size_t(y) * size_t(width) + size_t(x)] = value(k, x, y);
      frame_store->add_image(frame_image_t::create(nullptr, raw, width * height));
    }
    t.RES_BUF_FRAMES->write(int32_t(frame_store->images.size()));
  }

  // Position records, one per frame, at the given z (cm) with no rotation.
  void place_frames(const std::vector<double>& z) {
    frame_store->positions.clear();
    for (double v : z) {
      position_t p;
      p.z = float(v);
      frame_store->positions.push_back(position_holder_t::create(p));
    }
  }

  static void set_scales(double x, double y, double z = 0.0) {
    resource_table->RES_XSCALE->write(x);
    resource_table->RES_YSCALE->write(y);
    resource_table->RES_ZSCALE->write(z);
  }

 private:
  headless_session session_;
};

// A scratch folder removed after the test.
class thickness_scratch {
 public:
  thickness_scratch() {
    wxString base = wxFileName::CreateTempFileName("nvthick");
    wxRemoveFile(base);
    wxMkdir(base);
    root_ = base.ToStdString();
  }
  ~thickness_scratch() { wxFileName::Rmdir(root_, wxPATH_RMDIR_RECURSIVE); }
  thickness_scratch(const thickness_scratch&) = delete;
  thickness_scratch& operator=(const thickness_scratch&) = delete;
  const std::string& root() const { return root_; }
  std::string path(const std::string& name) const { return root_ + "/" + name; }

 private:
  std::string root_;
};

// Runs a python script of the tests with its arguments; true on exit status 0.
inline bool run_python(const std::string& script, const std::string& args) {
  const std::string cmd = "/usr/bin/python3 " + script + " " + args + " >/dev/null";
  return std::system(cmd.c_str()) == 0;
}

inline std::string read_text(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
