// The resource registry: named, typed variables that hold the program's
// settings and shared state, their change procedures and the commit cycle.
//
// A write stores a pending value and queues the change procedures of the
// resource; make_pending_writes_happen() (the flush) commits every pending
// value of the batch and then runs each queued procedure once, so that views
// and pages always see a whole batch in place.
#pragma once

#include <cstdint>
#include <vector>

#include <wx/string.h>

class wxOutputStream;
class wxTextOutputStream;
class wxFileConfig;

// The configuration object ("norvelith.ini"); owned by the application shell,
// created before the first resource and deleted after the last.
extern wxFileConfig* app_config;

// Resource classes: which kinds of file hold a resource (0: run-time only).
enum : int32_t {
  RES_CLASS_DATA_HEADER = 1,
  RES_CLASS_DATA_BODY = 2,
  RES_CLASS_CONFIG = 4,
  RES_CLASS_SETTINGS = 8,
  RES_CLASS_VOLUME_PROPERTIES = 16,
  RES_CLASS_MATERIAL = 32,
};

// Resource groups: what a settings file holds and how unsaved changes are named.
enum : int32_t {
  RES_GROUP_IMAGE_DATA = 1,
  RES_GROUP_LANDMARK_DATA = 2,
  RES_GROUP_OBJECT_DATA = 4,
  RES_GROUP_OBJECT_PARAMS = 8,
  RES_GROUP_IMAGE_PARAMS = 16,
  RES_GROUP_POSITION_PARAMS = 32,
  RES_GROUP_IMAGE_DISPLAY = 64,
  RES_GROUP_THICKNESS_PARAMS = 128,
  RES_GROUP_THICKNESS_DISPLAY = 256,
  RES_GROUP_GENERAL_DISPLAY = 512,
  RES_GROUP_GRAPHICS_DISPLAY = 1024,
  RES_GROUP_VOLUME_DISPLAY = 2048,
  RES_GROUP_MISC = 4096,
};

constexpr int RES_GROUP_COUNT = 13;
extern const wchar_t* const res_group_names[RES_GROUP_COUNT];

// A change procedure. Owners delete their functors through their own type.
class base_functor {
 public:
  virtual void operator()() = 0;

 protected:
  ~base_functor() = default;
};

template <class T>
class pmf_functor final : public base_functor {
 public:
  pmf_functor(T* target, void (T::*member)()) : member_(member), target_(target) {}
  void operator()() override { (target_->*member_)(); }

 private:
  void (T::*member_)();
  T* target_;
};

// One registration of a change procedure on a resource.
struct worry_t {
  base_functor* functor = nullptr;
  worry_t* next = nullptr;  // next node of the same resource's worry list
  bool removed = false;     // removed while a flush's queue existed
};

// Jenkins's lookup2 hash over the UTF-16 code units of a name.
uint32_t hash_string(const wchar_t* text, size_t length);

class base_res_t {
 public:
  using parse_proc_t = bool (*)(wxString& value);
  using write_proc_t = bool (*)(wxOutputStream& out);

  base_res_t(const wchar_t* name, int32_t class_flags, int32_t group_mask);
  virtual ~base_res_t();
  base_res_t(const base_res_t&) = delete;
  base_res_t& operator=(const base_res_t&) = delete;

  // --- The nine operations the value classes implement.
  virtual bool commit() = 0;
  virtual bool parse_value_no_changeprocs(wxString& text) = 0;
  virtual wxString get_value_as_string();
  virtual void write_out_value(wxTextOutputStream& out) = 0;
  virtual void cancel_write() = 0;
  virtual void reset_to_default() = 0;
  virtual void restore_user_value() = 0;
  virtual void keep_user_value() = 0;

  // --- Per-resource record.
  const wchar_t* name() const { return name_; }
  int32_t class_flags() const { return class_flags_; }
  int32_t group_mask() const { return group_mask_; }
  bool touched() const { return touched_; }
  bool written() const { return written_; }
  bool commit_needed() const { return commit_needed_; }
  bool changed_in_flush() const { return changed_in_flush_; }
  bool changed() const { return changed_; }
  void set_changed(bool c) { changed_ = c; }
  int32_t worry_count() const { return worry_count_; }

  // --- Change procedures and worry-length listeners.
  void add_proc(base_functor* functor);
  void remove_proc(base_functor* functor);
  int32_t read_worrylist_length(base_functor* functor);
  void remove_worrylist_length_proc(base_functor* functor);

  void set_parse_proc(parse_proc_t p) { parse_proc_ = p; }
  void set_write_proc(write_proc_t p) { write_proc_ = p; }
  parse_proc_t parse_proc() const { return parse_proc_; }
  write_proc_t write_proc() const { return write_proc_; }

  // Marks the resource for the next commit and queues its change procedures.
  void request_write();

  // --- Operations on the whole registry.
  static void make_pending_writes_happen();
  static void cancel_pending_writes();
  static void hold_pending_writes(bool hold);
  static bool holding();
  static void set_file_loading(bool loading);
  static bool file_loading();
  static void clear_changed(int32_t class_mask);
  static bool describe_changed_groups(int32_t class_mask, wxString& text);
  static void reset_all_to_defaults();
  static void restore_all_user_values();
  static void keep_all_user_values();
  static void delete_all();

  // --- Name lookup and the resource-line format.
  static base_res_t* find(const wxString& name);
  static base_res_t* find(const wchar_t* name, size_t length);
  static void check_out_hash_table();
  static bool parse_no_changeprocs(const wxString& line, int32_t class_mask);
  static bool write_out_to_file(wxOutputStream& out, int32_t class_mask, int32_t group_mask);
  static wxString get_as_string(const wxString& name);

  // Walks every resource in reverse order of construction.
  static base_res_t* first_resource();
  base_res_t* next_resource() const { return next_all_; }

  // Length of the chain of a name-table bucket (0..511); diagnostics and tests.
  static int bucket_length(int bucket);
  static constexpr int kBuckets = 512;

 protected:
  // Stores a value as the comparing store and the write accessors do.
  void mark_touched() { touched_ = true; }

 private:
  void tell_listeners();
  static void release_deferred_worries();
  static void log_stuck_banner(const base_res_t* res);

  const wchar_t* name_;
  int32_t class_flags_;
  int32_t group_mask_;
  bool touched_ = false;
  bool written_ = false;
  bool commit_needed_ = false;
  bool changed_in_flush_ = false;
  bool changed_ = false;
  bool in_pending_ = false;
  worry_t* worries_ = nullptr;
  int32_t worry_count_ = 0;
  std::vector<base_functor*> listeners_;
  size_t listener_pos_ = SIZE_MAX;  // index being told; SIZE_MAX when idle
  base_res_t* next_pending_ = nullptr;
  base_res_t* next_all_ = nullptr;
  base_res_t* hash_next_ = nullptr;
  parse_proc_t parse_proc_ = nullptr;
  write_proc_t write_proc_ = nullptr;
};
