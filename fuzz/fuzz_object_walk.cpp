// Feeds arbitrary bytes to the structure-set and segmentation import as a
// file, both passes, over a data set laid out like the tests' CT series: six
// 24 x 20 frames of 0.5 mm pixels, 2.5 mm apart, rows turned 30 degrees about
// z. Questions are answered Yes so that the import pass always runs.
#include <cmath>
#include <cstdint>
#include <memory>

#include <wx/filename.h>

#include "data/data_io_ui.h"
#include "data/dynabuf.h"
#include "data/geometry.h"
#include "data/objects.h"
#include "fuzz_input_file.h"
#include "medical/dicom_utility.h"
#include "registry/resource_table.h"
#include "tools/headless_session.h"

namespace {

class yes_ui final : public data_io_ui {
 public:
  std::unique_ptr<data_progress> start_progress(const wxString&, const wxString&, int, unsigned) override {
    return std::make_unique<null_progress>();
  }
  bool ask_yes_no(const wxString&, const wxString&) override { return true; }
};

struct loaded_series {
  yes_ui ui;
  data_ui_scope scope{ui};
  headless_session session;
  loaded_series() {
    resource_table_t& t = *resource_table;
    t.RES_BUF_WIDTH->write(24);
    t.RES_BUF_HEIGHT->write(20);
    t.RES_BUF_FRAMES->write(6);
    t.RES_XSCALE->write(0.05);
    t.RES_YSCALE->write(0.05);
    t.RES_ZSCALE->write(0.25);
    t.RES_POS_REC->write(true);
    t.RES_XTRANS->write(0);
    t.RES_YTRANS->write(0);
    t.RES_ZTRANS->write(0);
    t.RES_AZIMUTH->write(0);
    t.RES_ELEVATION->write(0);
    t.RES_ROLL->write(0);
    const double a = 30.0 * NV_PI / 180.0;
    for (int k = 0; k < 6; ++k) {
      matrix4_t m;
      matrix4_identity(m);
      matrix4_set_x_axis(m, {std::cos(a), std::sin(a), 0});
      matrix4_set_y_axis(m, {-std::sin(a), std::cos(a), 0});
      matrix4_set_z_axis(m, {0, 0, 1});
      matrix4_set_translation(m, {-2.0, -1.5, 0.25 * k});
      double x, y, z, az, el, ro;
      matrix4_to_position(m, x, y, z, az, el, ro);
      frame_store->positions.push_back(
          position_holder_t::create({float(x), float(y), float(z), float(az), float(el), float(ro)}));
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static loaded_series* series = new loaded_series;
  (void)series;
  wxFileName name;
  if (!write_fuzz_input(data, size, "objects", ".dcm", name)) return 0;
  contour_object* objects = resource_table->RES_OBJECT->read();
  for (int o = 0; o < NUM_USER_OBJECTS; ++o) objects[o].reset();
  resource_table->CURRENT_OBJECT->write(int32_t(size % 7) * 30);  // near the last objects too
  if (dicom_utility::read_dicom_object_data(name, true) > 0) dicom_utility::read_dicom_object_data(name, false);
  return 0;
}
