// Feeds arbitrary bytes to the QCT reader as a file: the recognition check,
// a probe, and reads of the first two pages into a buffer of the size the
// probe announced.
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
  long_res_t width{512, L"RES_BUF_WIDTH", 0, 0};
  long_res_t height{512, L"RES_BUF_HEIGHT", 0, 0};
  long_res_t frames{0, L"RES_BUF_FRAMES", 0, 0};
  wxString_res_t alert{wxString(), L"RES_ALERT_STRING", 0, 0};
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static resources* res = new resources;
  wxFileName name;
  if (!write_fuzz_input(data, size, "qct", ".qct", name)) return 0;
  res->width.write_no_changeprocs(0);
  res->height.write_no_changeprocs(0);
  if (dicom_utility::read_qct_data(name, -1, -1, nullptr, nullptr, nullptr) <= 0) return 0;
  if (dicom_utility::read_qct_data(name, -1, 0, nullptr, nullptr, nullptr) <= 0) return 0;
  const size_t n = size_t(res->width.pending()) * size_t(res->height.pending());
  if (n == 0 || n > (size_t(1) << 22)) return 0;
  std::vector<uint16_t> raw(n);
  position_t pos;
  dicom_utility::frame_file_info.create(2);
  dicom_utility::read_qct_data(name, 0, 0, raw.data(), nullptr, &pos);
  dicom_utility::read_qct_data(name, 1, 1, raw.data(), nullptr, &pos);
  return 0;
}
