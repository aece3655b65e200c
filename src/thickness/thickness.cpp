#include "thickness/thickness.h"

void thickness::clear() {
  sampled = false;
  valid = false;
  for (std::vector<thickness_point2>* v : {&line_start, &line_end}) std::vector<thickness_point2>().swap(*v);
  for (std::vector<double>* v : {&start_z, &end_z, &fit_buffer, &profile, &weights, &model})
    std::vector<double>().swap(*v);
  cell_count = 0;
  sample_count = 0;
}
