#include "medical/reader_state.h"

#include "registry/res_values.h"

namespace {
template <class R>
R* find_res(const wchar_t* name) {
  return dynamic_cast<R*>(base_res_t::find(name));
}
}  // namespace

void write_pending_long(const wchar_t* name, int32_t value) {
  if (auto* r = find_res<long_res_t>(name)) r->write_no_changeprocs(value);
}
void write_pending_bool(const wchar_t* name, bool value) {
  if (auto* r = find_res<bool_res_t>(name)) r->write_no_changeprocs(value);
}
void write_pending_double(const wchar_t* name, double value) {
  if (auto* r = find_res<double_res_t>(name)) r->write_no_changeprocs(value);
}
void write_pending_string(const wchar_t* name, const wxString& value) {
  if (auto* r = find_res<wxString_res_t>(name)) r->write_no_changeprocs(value);
}
void write_pending_flag_string(const wchar_t* name, const wxString& value) {
  if (auto* r = find_res<genflag_res_t<wxString>>(name)) r->write_no_changeprocs(value);
}
int32_t pending_long(const wchar_t* name, int32_t fallback) {
  if (auto* r = find_res<long_res_t>(name)) return r->pending();
  return fallback;
}
bool pending_bool(const wchar_t* name, bool fallback) {
  if (auto* r = find_res<bool_res_t>(name)) return r->pending();
  return fallback;
}
