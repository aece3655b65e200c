#include "registry/hm_resource.h"

#include <algorithm>
#include <cwchar>

#include <wx/log.h>
#include <wx/stream.h>
#include <wx/txtstrm.h>

#include "registry/res_values.h"

wxFileConfig* app_config = nullptr;

const wchar_t* const res_group_names[RES_GROUP_COUNT] = {
    L"Image or position data",       L"Landmark data",
    L"Object data",                  L"Object parameters",
    L"Image parameters",             L"Position parameters",
    L"Image display parameters",     L"Thickness related parameters",
    L"Thickness display settings",   L"General display settings",
    L"Graphics display settings",    L"Volume display settings",
    L"Miscellaneous parameters",
};

namespace {

constexpr size_t kNotRunning = SIZE_MAX;

// Registry-wide state. The change-procedure queue is a vector of worry nodes
// rather than a list threaded through them, so that re-queueing a procedure
// that already ran can never cut off the procedures still waiting behind it.
struct registry_state {
  base_res_t* all_head = nullptr;
  base_res_t* pending_head = nullptr;
  std::vector<worry_t*> queue;
  size_t run_pos = kNotRunning;
  std::vector<worry_t*> deferred;
  bool nothing_pending = true;
  bool hold = false;
  bool file_loading = false;
  bool deleting_all = false;
  base_res_t** table = nullptr;
};

registry_state& reg() {
  static registry_state s;
  return s;
}

// UTF-16 code units of a wide string (names are ASCII in practice), written
// to units, which has room for 2 x length.
size_t to_utf16(const wchar_t* text, size_t length, uint32_t* units) {
  size_t n = 0;
  for (size_t i = 0; i < length; ++i) {
    uint32_t c = static_cast<uint32_t>(text[i]);
    if (c > 0xFFFF) {
      c -= 0x10000;
      units[n++] = 0xD800 + (c >> 10);
      units[n++] = 0xDC00 + (c & 0x3FF);
    } else {
      units[n++] = c;
    }
  }
  return n;
}

inline void mix(uint32_t& a, uint32_t& b, uint32_t& c) {
  a -= b; a -= c; a ^= (c >> 13);
  b -= c; b -= a; b ^= (a << 8);
  c -= a; c -= b; c ^= (b >> 13);
  a -= b; a -= c; a ^= (c >> 12);
  b -= c; b -= a; b ^= (a << 16);
  c -= a; c -= b; c ^= (b >> 5);
  a -= b; a -= c; a ^= (c >> 3);
  b -= c; b -= a; b ^= (a << 10);
  c -= a; c -= b; c ^= (b >> 15);
}

uint32_t lookup2(const uint32_t* k, size_t len) {
  uint32_t a = 0x9e3779b9u, b = 0x9e3779b9u, c = 0;
  size_t i = 0;
  while (len - i >= 12) {
    a += k[i] + (k[i + 1] << 8) + (k[i + 2] << 16) + (k[i + 3] << 24);
    b += k[i + 4] + (k[i + 5] << 8) + (k[i + 6] << 16) + (k[i + 7] << 24);
    c += k[i + 8] + (k[i + 9] << 8) + (k[i + 10] << 16) + (k[i + 11] << 24);
    mix(a, b, c);
    i += 12;
  }
  c += static_cast<uint32_t>(len);
  const uint32_t* r = k + i;
  switch (len - i) {
    case 11: c += r[10] << 24; [[fallthrough]];
    case 10: c += r[9] << 16; [[fallthrough]];
    case 9: c += r[8] << 8; [[fallthrough]];
    case 8: b += r[7] << 24; [[fallthrough]];
    case 7: b += r[6] << 16; [[fallthrough]];
    case 6: b += r[5] << 8; [[fallthrough]];
    case 5: b += r[4]; [[fallthrough]];
    case 4: a += r[3] << 24; [[fallthrough]];
    case 3: a += r[2] << 16; [[fallthrough]];
    case 2: a += r[1] << 8; [[fallthrough]];
    case 1: a += r[0]; [[fallthrough]];
    default: break;
  }
  mix(a, b, c);
  return c;
}

int bucket_of(const wchar_t* text, size_t length) {
  return static_cast<int>(hash_string(text, length) & 511u);
}

bool is_separator(wxUniChar c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool is_white(wxUniChar c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool in_script() {
  auto* res = dynamic_cast<bool_res_t*>(base_res_t::find(L"RES_IN_SCRIPT", 13));
  return res && res->read();
}

}  // namespace

uint32_t hash_string(const wchar_t* text, size_t length) {
  // Every line read looks its keyword up: names fit on the stack.
  uint32_t small[128];
  std::vector<uint32_t> large;
  uint32_t* units = small;
  if (length > 64) {
    large.resize(2 * length);
    units = large.data();
  }
  return lookup2(units, to_utf16(text, length, units));
}

// ---------------------------------------------------------------------------
// Construction and destruction

base_res_t::base_res_t(const wchar_t* name, int32_t class_flags, int32_t group_mask)
    : name_(name), class_flags_(class_flags), group_mask_(group_mask) {
  registry_state& s = reg();
  next_all_ = s.all_head;
  s.all_head = this;
  if (!s.table) s.table = new base_res_t*[kBuckets]();
  int b = bucket_of(name_, std::wcslen(name_));
  hash_next_ = s.table[b];
  s.table[b] = this;
}

base_res_t::~base_res_t() {
  for (worry_t* w = worries_; w;) {
    worry_t* next = w->next;
    if (reg().queue.empty()) {
      delete w;
    } else {
      w->removed = true;
      reg().deferred.push_back(w);
    }
    w = next;
  }
  worries_ = nullptr;
  registry_state& s = reg();
  if (s.deleting_all) return;
  // A resource destroyed on its own (not in the exit teardown) leaves the
  // registry's lists, so that nothing refers to it afterwards.
  for (base_res_t** p = &s.all_head; *p; p = &(*p)->next_all_) {
    if (*p == this) { *p = next_all_; break; }
  }
  if (in_pending_) {
    for (base_res_t** p = &s.pending_head; *p; p = &(*p)->next_pending_) {
      if (*p == this) { *p = next_pending_; break; }
    }
  }
  if (s.table) {
    int b = bucket_of(name_, std::wcslen(name_));
    for (base_res_t** p = &s.table[b]; *p; p = &(*p)->hash_next_) {
      if (*p == this) { *p = hash_next_; break; }
    }
  }
}

void base_res_t::delete_all() {
  registry_state& s = reg();
  s.deleting_all = true;
  s.queue.clear();
  s.run_pos = kNotRunning;
  for (base_res_t* r = s.all_head; r;) {
    base_res_t* next = r->next_all_;
    delete r;
    r = next;
  }
  release_deferred_worries();
  delete[] s.table;
  s.table = nullptr;
  s.all_head = nullptr;
  s.pending_head = nullptr;
  s.nothing_pending = true;
  s.hold = false;
  s.file_loading = false;
  s.deleting_all = false;
}

base_res_t* base_res_t::first_resource() { return reg().all_head; }

wxString base_res_t::get_value_as_string() {
  wxLogError("Use of the get_value_as_string in base resource.\n");
  return wxString();
}

// ---------------------------------------------------------------------------
// Change procedures

void base_res_t::add_proc(base_functor* functor) {
  if (!functor) return;
  for (worry_t* w = worries_; w; w = w->next)
    if (w->functor == functor) return;
  worry_t* node = new worry_t;
  node->functor = functor;
  node->next = worries_;
  worries_ = node;
  ++worry_count_;
  tell_listeners();
}

void base_res_t::remove_proc(base_functor* functor) {
  worry_t** link = &worries_;
  while (*link && (*link)->functor != functor) link = &(*link)->next;
  if (!*link) return;
  worry_t* node = *link;
  *link = node->next;
  if (!reg().queue.empty()) {
    // The queue may still hold the node: keep it until the flush ends, and
    // never call a procedure through it again.
    node->removed = true;
    reg().deferred.push_back(node);
  } else {
    delete node;
  }
  --worry_count_;
  tell_listeners();
}

int32_t base_res_t::read_worrylist_length(base_functor* functor) {
  if (functor && std::find(listeners_.begin(), listeners_.end(), functor) == listeners_.end())
    listeners_.push_back(functor);
  return worry_count_;
}

void base_res_t::remove_worrylist_length_proc(base_functor* functor) {
  auto it = std::find(listeners_.begin(), listeners_.end(), functor);
  if (it == listeners_.end()) return;
  if (listener_pos_ != SIZE_MAX)
    *it = nullptr;  // compacted when the telling ends
  else
    listeners_.erase(it);
}

void base_res_t::tell_listeners() {
  if (listener_pos_ != SIZE_MAX) return;
  for (listener_pos_ = 0; listener_pos_ < listeners_.size(); ++listener_pos_) {
    base_functor* f = listeners_[listener_pos_];
    if (f) (*f)();
  }
  listener_pos_ = SIZE_MAX;
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), nullptr), listeners_.end());
}

void base_res_t::release_deferred_worries() {
  for (worry_t* w : reg().deferred) delete w;
  reg().deferred.clear();
}

// ---------------------------------------------------------------------------
// The commit cycle

void base_res_t::request_write() {
  registry_state& s = reg();
  if (commit_needed_) return;
  written_ = true;
  commit_needed_ = true;
  s.nothing_pending = false;
  for (worry_t* w = worries_; w; w = w->next) {
    // A procedure waits at most once among the procedures not yet run; the
    // one running now counts as waiting.
    size_t start = s.run_pos == kNotRunning ? 0 : s.run_pos;
    bool waiting = false;
    for (size_t i = start; i < s.queue.size() && !waiting; ++i)
      waiting = !s.queue[i]->removed && s.queue[i]->functor == w->functor;
    if (!waiting) s.queue.push_back(w);
  }
  if (!in_pending_) {
    in_pending_ = true;
    next_pending_ = s.pending_head;
    s.pending_head = this;
  }
}

void base_res_t::make_pending_writes_happen() {
  registry_state& s = reg();
  if (s.hold || s.nothing_pending) return;

  for (base_res_t* r = s.pending_head; r; r = r->next_pending_) {
    if (!r->commit_needed_) continue;
    bool changed = r->commit();
    if (!r->changed_in_flush_) r->changed_in_flush_ = changed;
    r->commit_needed_ = false;
  }

  // A flush from within a change procedure only commits; the outer flush
  // runs the queue.
  if (s.run_pos != kNotRunning) return;

  for (s.run_pos = 0; s.run_pos < s.queue.size(); ++s.run_pos) {
    worry_t* node = s.queue[s.run_pos];
    if (!node->removed) (*node->functor)();
    if (s.run_pos == kNotRunning) break;  // a procedure cancelled the batch
  }
  s.queue.clear();
  s.run_pos = kNotRunning;
  release_deferred_worries();

  // A value written without a flush from inside a change procedure is not
  // lost: it stays pending, with its procedures queued, for the next flush.
  std::vector<base_res_t*> stuck;
  for (base_res_t* r = s.pending_head; r;) {
    base_res_t* next = r->next_pending_;
    if (r->commit_needed_) {
      log_stuck_banner(r);
      stuck.push_back(r);
    }
    r->touched_ = r->written_ = r->changed_in_flush_ = false;
    r->in_pending_ = false;
    r->next_pending_ = nullptr;
    r = next;
  }
  s.pending_head = nullptr;
  s.nothing_pending = true;
  for (base_res_t* r : stuck) {
    r->commit_needed_ = false;
    r->request_write();
  }
}

void base_res_t::log_stuck_banner(const base_res_t* res) {
  wxLogDebug("*********************************************************************************");
  wxLogDebug("* PROBLEM IN RESOURCE MANAGER - YOU HAVE A write_no_changeprocs CALLED POSSIBLY  ");
  wxLogDebug("* INDIRECTLY FROM WITHIN A CHANGEPROC WITH NO APPROPRIATE CALL TO write          ");
  wxLogDebug("* OR make_pending_writes_happen.  THE RESOURCE IS %s                 ", wxString(res->name_));
  wxLogDebug("*********************************************************************************");
}

void base_res_t::cancel_pending_writes() {
  registry_state& s = reg();
  s.queue.clear();
  s.run_pos = kNotRunning;
  release_deferred_worries();
  for (base_res_t* r = s.pending_head; r;) {
    base_res_t* next = r->next_pending_;
    r->touched_ = false;
    if (r->written_) {
      r->written_ = r->commit_needed_ = r->changed_in_flush_ = false;
      r->cancel_write();
    }
    r->in_pending_ = false;
    r->next_pending_ = nullptr;
    r = next;
  }
  s.pending_head = nullptr;
  s.nothing_pending = true;
}

void base_res_t::hold_pending_writes(bool hold) { reg().hold = hold; }
bool base_res_t::holding() { return reg().hold; }
void base_res_t::set_file_loading(bool loading) { reg().file_loading = loading; }
bool base_res_t::file_loading() { return reg().file_loading; }

void base_res_t::clear_changed(int32_t class_mask) {
  for (base_res_t* r = reg().all_head; r; r = r->next_all_)
    if (r->class_flags_ & class_mask) r->changed_ = false;
}

bool base_res_t::describe_changed_groups(int32_t class_mask, wxString& text) {
  int32_t groups = 0;
  for (base_res_t* r = reg().all_head; r; r = r->next_all_)
    if ((r->class_flags_ & class_mask) && r->changed_) groups |= r->group_mask_;
  bool any = false;
  for (int k = 0; k < RES_GROUP_COUNT; ++k) {
    if (groups & (1 << k)) {
      text << " - " << res_group_names[k] << "\n";
      any = true;
    }
  }
  return any;
}

void base_res_t::reset_all_to_defaults() {
  for (base_res_t* r = reg().all_head; r; r = r->next_all_) r->reset_to_default();
}

void base_res_t::restore_all_user_values() {
  for (base_res_t* r = reg().all_head; r; r = r->next_all_) r->restore_user_value();
}

// Settles the user values once the start-up values are in place: every
// resource that keeps a user value takes its present one, so that closing the
// data returns to what was in force before any data file was read.
void base_res_t::keep_all_user_values() {
  for (base_res_t* r = reg().all_head; r; r = r->next_all_) r->keep_user_value();
}

// ---------------------------------------------------------------------------
// Name lookup and the resource-line format

base_res_t* base_res_t::find(const wxString& name) { return find(name.wx_str(), name.length()); }

base_res_t* base_res_t::find(const wchar_t* text, size_t length) {
  registry_state& s = reg();
  if (!s.table) return nullptr;
  for (base_res_t* r = s.table[bucket_of(text, length)]; r; r = r->hash_next_) {
    if (std::wcslen(r->name_) == length && std::wmemcmp(r->name_, text, length) == 0) return r;
  }
  return nullptr;
}

int base_res_t::bucket_length(int bucket) {
  registry_state& s = reg();
  if (!s.table || bucket < 0 || bucket >= kBuckets) return 0;
  int n = 0;
  for (base_res_t* r = s.table[bucket]; r; r = r->hash_next_) ++n;
  return n;
}

void base_res_t::check_out_hash_table() {
  for (int b = 0; b < kBuckets; ++b) {
    int n = bucket_length(b);
    if (n > 0) wxLogDebug("Hash slot %d has %d occupants", b, n);
  }
}

bool base_res_t::parse_no_changeprocs(const wxString& line, int32_t class_mask) {
  const size_t n = line.length();
  size_t i = 0;
  while (i < n && is_separator(line[i])) ++i;
  if (i == n) return true;
  size_t name_end = i;
  while (name_end < n && !is_separator(line[name_end])) ++name_end;
  base_res_t* res = find(line.wx_str() + i, name_end - i);
  if (!res) {
    wxLogDebug("parse_no_changeprocs: Unable to parse %s", line);
    return true;
  }
  if (class_mask != -1 && !(class_mask & res->class_flags_)) {
    wxLogDebug("parse_no_changeprocs: Unexpected input in this sort of file: %s", line);
    return true;
  }

  size_t v = name_end < n ? name_end + 1 : n;
  while (v < n && is_white(line[v])) ++v;
  size_t v_end = n;
  if (in_script())
    while (v_end > v && is_white(line[v_end - 1])) --v_end;
  wxString value = line.substr(v, v_end - v);

  bool ok = res->parse_proc_ ? res->parse_proc_(value) : res->parse_value_no_changeprocs(value);
  if (ok) res->changed_ = false;
  return ok;
}

bool base_res_t::write_out_to_file(wxOutputStream& out, int32_t class_mask, int32_t group_mask) {
  wxTextOutputStream text(out, wxEOL_UNIX, wxConvUTF8);
  for (base_res_t* r = reg().all_head; r; r = r->next_all_) {
    if (!(r->class_flags_ & class_mask) || !(r->group_mask_ & group_mask)) continue;
    bool ok;
    if (r->write_proc_) {
      ok = r->write_proc_(out);
    } else {
      r->write_out_value(text);
      ok = out.IsOk();
    }
    if (!ok) {
      wxLogError("Error writing out resource: %s\n", wxString(r->name_));
      return false;
    }
    if (!(class_mask & (RES_CLASS_SETTINGS | RES_CLASS_VOLUME_PROPERTIES | RES_CLASS_MATERIAL)))
      r->changed_ = false;
  }
  return true;
}

wxString base_res_t::get_as_string(const wxString& name) {
  base_res_t* res = find(name);
  if (!res) {
    wxLogDebug("get_as_string: Unable to parse RES_NAME: %s", name);
    return wxString();
  }
  wxString text = res->get_value_as_string();
  if (text.empty()) {
    wxLogDebug("get_as_string: Unable to convert RES_NAME '%s' value to string.", name);
    return wxString();
  }
  return text;
}
