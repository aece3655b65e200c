// Feeds arbitrary bytes to the DICOM parser as a file: a scan, a probe, and
// a read of frame 0 into buffers of the size the probe announced.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <wx/filename.h>
#include <wx/log.h>

#include "fuzz_input_file.h"
#include "medical/dicom_utility.h"
#include "registry/res_values.h"

namespace {
struct resources {
  bool_res_t buf_dicom{false, L"RES_BUF_DICOM", 0, 0};
  long_res_t width{512, L"RES_BUF_WIDTH", 0, 0};
  long_res_t height{512, L"RES_BUF_HEIGHT", 0, 0};
  long_res_t frames{0, L"RES_BUF_FRAMES", 0, 0};
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static resources* res = new resources;
  wxFileName name;
  if (!write_fuzz_input(data, size, "dicom", ".dcm", name)) return 0;
  dicom_utility::series_list.clear();
  dicom_utility::read_dicom_data(name, -2, 0, nullptr, nullptr, nullptr);
  dicom_utility::reset_reader_state();
  res->width.write_no_changeprocs(0);
  res->height.write_no_changeprocs(0);
  if (dicom_utility::read_dicom_data(name, -1, 0, nullptr, nullptr, nullptr) <= 0) return 0;
  const size_t n = size_t(res->width.pending()) * size_t(res->height.pending());
  if (n == 0 || n > (size_t(1) << 22)) return 0;
  std::vector<uint16_t> raw(n);
  std::vector<uint8_t> display(n);
  position_t pos;
  dicom_utility::read_dicom_data(name, 0, 0, raw.data(), display.data(), &pos);
  dicom_utility::read_dicom_data(name, 1, 1, raw.data(), display.data(), &pos);
  return 0;
}
