// The value classes of the registry: typed resources (bool, 32-bit integer,
// double, text), event flags, and holders of values or objects of any type.
#pragma once

#include <cstdint>

#include <wx/filename.h>
#include <wx/log.h>

#include "registry/hm_resource.h"

// Whether an integer configuration entry may be used; the resource table
// installs the ranges of the resources it uses as indices. Null allows all.
using config_value_check = bool (*)(const wchar_t* key, long value);
void set_config_value_check(config_value_check check);

// What becomes of a double a configuration entry or a line gives: taken,
// skipped (the line counts as read and the resource keeps its value; the
// check has told the user), or refused (the line fails). The resource table
// installs the check with the ranges of its settings; null takes all. A
// configuration entry that is not taken gives the built-in value.
enum class value_verdict { take, skip, refuse };
using double_value_check = value_verdict (*)(const wchar_t* key, int32_t class_flags, double value,
                                             bool from_line);
void set_double_value_check(double_value_check check);

// Configuration-file binding of the typed classes: read a saved value (falling
// back to the built-in one, also for a value the check refuses) and write it
// straight back.
bool config_read_back(const wchar_t* key, bool fallback);
int32_t config_read_back(const wchar_t* key, int32_t fallback);
double config_read_back(const wchar_t* key, double fallback);
wxString config_read_back(const wchar_t* key, const wxString& fallback);
void config_write(const wchar_t* key, bool value);
void config_write(const wchar_t* key, int32_t value);
void config_write(const wchar_t* key, double value);
void config_write(const wchar_t* key, const wxString& value);

// Equality used by the comparing store and by commits.
template <class T>
inline bool res_equal(const T& a, const T& b) { return a == b; }
inline bool res_equal(const wxFileName& a, const wxFileName& b) {
  return a.SameAs(b, wxPATH_NATIVE);
}
inline bool res_equal(const wxString& a, const wxString& b) { return a.IsSameAs(b, true); }

// Class tests on the class flags.
inline bool res_has_user_value(int32_t f) { return (f & 3) && (f & 12); }
inline bool res_keeps_user_value(int32_t f) { return (f & 3) && (f & 4); }
inline bool res_has_default(int32_t f) { return (f & RES_CLASS_SETTINGS) != 0; }
inline bool res_is_config(int32_t f) { return (f & RES_CLASS_CONFIG) != 0; }

// Common part of the four typed classes.
template <class V>
class typed_res_t : public base_res_t {
 public:
  typed_res_t(V initial, const wchar_t* name, int32_t class_flags, int32_t group_mask)
      : base_res_t(name, class_flags, group_mask) {
    if (res_has_default(class_flags)) default_ = initial;
    V start = initial;
    if (res_is_config(class_flags)) start = config_read_back(name, initial);
    current_ = pending_ = previous_ = start;
    if (res_has_user_value(class_flags)) user_ = start;
  }

  V read(base_functor* functor = nullptr) {
    add_proc(functor);
    return current_;
  }
  const V& pending() const { return pending_; }
  const V& previous() const { return previous_; }
  const V& user_value() const { return user_; }
  const V& default_value() const { return default_; }

  void write(const V& value) {
    store(value);
    make_pending_writes_happen();
  }
  void write_no_changeprocs(const V& value) { store(value); }

  bool commit() override {
    previous_ = current_;
    if (res_equal(pending_, current_)) return false;
    current_ = pending_;
    if (file_loading()) return true;
    if (res_has_user_value(class_flags())) user_ = current_;
    if (res_is_config(class_flags())) config_write(name(), current_);
    if (class_flags() & 3) set_changed(true);
    return true;
  }
  void cancel_write() override { pending_ = current_; }
  void reset_to_default() override {
    if (res_has_default(class_flags())) store(default_);
  }
  void restore_user_value() override {
    if (res_has_user_value(class_flags())) store(user_);
  }
  void keep_user_value() override {
    if (res_keeps_user_value(class_flags())) user_ = current_;
  }

 protected:
  // The comparing store.
  void store(const V& value) {
    mark_touched();
    if (res_equal(value, current_) && res_equal(value, pending_)) return;
    pending_ = value;
    request_write();
  }

  V current_{}, pending_{}, previous_{}, user_{}, default_{};
};

class bool_res_t final : public typed_res_t<bool> {
 public:
  using typed_res_t::typed_res_t;
  bool parse_value_no_changeprocs(wxString& text) override;
  wxString get_value_as_string() override;
  void write_out_value(wxTextOutputStream& out) override;
};

class long_res_t final : public typed_res_t<int32_t> {
 public:
  using typed_res_t::typed_res_t;
  bool parse_value_no_changeprocs(wxString& text) override;
  wxString get_value_as_string() override;
  void write_out_value(wxTextOutputStream& out) override;
};

class double_res_t final : public typed_res_t<double> {
 public:
  using typed_res_t::typed_res_t;
  bool parse_value_no_changeprocs(wxString& text) override;
  wxString get_value_as_string() override;
  void write_out_value(wxTextOutputStream& out) override;
};

class wxString_res_t final : public typed_res_t<wxString> {
 public:
  using typed_res_t::typed_res_t;
  bool parse_value_no_changeprocs(wxString& text) override;
  wxString get_value_as_string() override;
  void write_out_value(wxTextOutputStream& out) override;
};

// An event without a value; its raise counter only grows.
class flag_res_t final : public base_res_t {
 public:
  flag_res_t(const wchar_t* name, int32_t class_flags, int32_t group_mask)
      : base_res_t(name, class_flags, group_mask) {}

  int32_t read(base_functor* functor = nullptr) {
    add_proc(functor);
    return counter_;
  }
  int32_t counter() const { return counter_; }
  void write() {
    raise();
    make_pending_writes_happen();
  }
  void write_no_changeprocs() { raise(); }

  bool commit() override;
  bool parse_value_no_changeprocs(wxString& text) override;
  wxString get_value_as_string() override;
  void write_out_value(wxTextOutputStream& out) override;
  void cancel_write() override {}
  void reset_to_default() override {}
  void restore_user_value() override {}
  void keep_user_value() override {}

 private:
  void raise() {
    ++counter_;
    mark_touched();
    request_write();
  }
  int32_t counter_ = 0;
};

// Messages for the text operations the holder classes do not support.
void log_template_misuse(const char* what, bool flag_kind);

// Common part of the holders of any type; Comparing chooses gen or genflag.
template <class T, bool Comparing>
class holder_res_t : public base_res_t {
 public:
  holder_res_t(T initial, const wchar_t* name, int32_t class_flags, int32_t group_mask)
      : base_res_t(name, class_flags, group_mask) {
    if (res_has_default(class_flags)) default_ = initial;
    current_ = pending_ = previous_ = initial;
  }

  T read(base_functor* functor = nullptr) {
    add_proc(functor);
    return current_;
  }
  const T& pending() const { return pending_; }
  const T& previous() const { return previous_; }

  void write(const T& value) {
    store(value);
    make_pending_writes_happen();
  }
  void write_no_changeprocs(const T& value) { store(value); }

  bool commit() override {
    previous_ = current_;
    if (Comparing && res_equal(pending_, current_)) return false;
    current_ = pending_;
    if (file_loading()) return true;
    if (class_flags() & 3) set_changed(true);
    return true;
  }
  bool parse_value_no_changeprocs(wxString&) override {
    log_template_misuse("parse_value_no_changeprocs", !Comparing);
    return false;
  }
  wxString get_value_as_string() override {
    log_template_misuse("get_value_as_string", false);
    return wxString();
  }
  void write_out_value(wxTextOutputStream&) override {
    log_template_misuse("write_out_value", !Comparing);
  }
  void cancel_write() override { pending_ = current_; }
  void reset_to_default() override {
    if (res_has_default(class_flags())) store(default_);
  }
  void restore_user_value() override {}
  void keep_user_value() override {}

 protected:
  void store(const T& value) {
    mark_touched();
    if (Comparing && res_equal(value, current_) && res_equal(value, pending_)) return;
    pending_ = value;
    request_write();
  }

  T current_{}, pending_{}, previous_{}, default_{};
};

template <class T>
class gen_res_t final : public holder_res_t<T, true> {
 public:
  using holder_res_t<T, true>::holder_res_t;
};

template <class T>
class genflag_res_t final : public holder_res_t<T, false> {
 public:
  using holder_res_t<T, false>::holder_res_t;
};
