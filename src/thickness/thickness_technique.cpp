#include "thickness/thickness_technique.h"

#include "registry/resource_table.h"

namespace {

constexpr double kNoValue = 1e10;

const char* const kNames[kThicknessTechniques] = {
    "Manual", "Auto threshold", "FWHM", "CBM v1", "CBM v2", "Endo CBM v2", "SSC-CBM", "HRTC", "Offset",
};

// FWHM, POST_BLUR, THRESHOLD, LOCAL_DENSITY, ENDO_MODEL, DE_FROM_AC; then
// the cleared A, B, C, GAUSS, RECT.
const thickness_technique_row kRows[kThicknessTechniques] = {
    {-1, -1, -1, -1, -1, -1, false, false, false, false, false},  // Manual
    {1, 0, 1, 0, 0, 1, true, true, true, true, true},             // Auto threshold
    {1, 0, 0, 0, 0, 1, true, true, true, true, true},             // FWHM
    {0, 0, 0, 0, 0, 1, true, false, true, true, true},            // CBM v1
    {0, 1, 0, 0, 0, 1, true, false, true, false, false},          // CBM v2
    {0, 1, 0, 0, 1, 1, true, false, true, false, false},          // Endo CBM v2
    {0, 0, 0, 1, 1, 1, true, true, true, true, true},             // SSC-CBM
    {0, 0, 1, 0, 1, 1, true, true, true, true, true},             // HRTC
    {0, 0, 0, 0, 0, 0, true, true, true, true, true},             // Offset
};

void set(bool_res_t* r, int8_t v) {
  if (v >= 0) r->write(v != 0);
}

void clear(double_res_t* r, bool yes) {
  if (yes) r->write(kNoValue);
}

}  // namespace

const char* thickness_technique_name(int32_t type) {
  return type >= 0 && type < kThicknessTechniques ? kNames[type] : nullptr;
}

const thickness_technique_row& thickness_technique_options(int32_t type) {
  return kRows[type >= 0 && type < kThicknessTechniques ? type : 0];
}

void thickness_apply_technique(int32_t type) {
  resource_table_t* t = resource_table;
  if (!t) return;
  if (type < 0) type = t->RES_THICKNESS_TYPE->read();
  if (type >= kThicknessTechniques) return;
  const thickness_technique_row& r = kRows[type];
  set(t->RES_THICKNESS_FWHM, r.fwhm);
  set(t->RES_THICKNESS_POST_BLUR, r.post_blur);
  set(t->RES_THICKNESS_THRESHOLD, r.threshold);
  set(t->RES_THICKNESS_LOCAL_DENSITY, r.local_density);
  set(t->RES_THICKNESS_ENDO_MODEL, r.endo_model);
  set(t->RES_THICKNESS_DE_FROM_AC, r.same_levels);
  if (type == thickness_hrtc && t->RES_THICKNESS_WIDTH->read() == 0) t->RES_THICKNESS_WIDTH->write(4);
  clear(t->RES_THICKNESS_A, r.clear_a);
  clear(t->RES_THICKNESS_B, r.clear_b);
  clear(t->RES_THICKNESS_C, r.clear_c);
  clear(t->RES_THICKNESS_GAUSS, r.clear_gauss);
  clear(t->RES_THICKNESS_RECT, r.clear_rect);
  if (type == thickness_manual) return;
  const bool layers = type != thickness_offset;
  t->RES_THICKNESS_INNER_LAYER->write(layers);
  t->RES_THICKNESS_OUTER_LAYER->write(layers);
  t->RES_THICKNESS_METAL->write(false);
  t->RES_THICKNESS_IN_FRAME->write(false);
}
