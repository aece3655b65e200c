// Owner of change-procedure registrations: every functor it makes and every
// registration it records are undone by clear() or by its destructor, so a
// window cannot die while a resource still lists one of its procedures.
#pragma once

#include <initializer_list>
#include <memory>
#include <vector>

#include "registry/hm_resource.h"

class proc_registrations {
 public:
  proc_registrations() = default;
  proc_registrations(const proc_registrations&) = delete;
  proc_registrations& operator=(const proc_registrations&) = delete;
  ~proc_registrations() { clear(); }

  // A new change procedure calling target->member, kept until clear().
  template <class T>
  base_functor* make(T* target, void (T::*member)()) {
    auto* f = new pmf_functor<T>(target, member);
    functors_.emplace_back(f, [](base_functor* p) { delete static_cast<pmf_functor<T>*>(p); });
    return f;
  }

  // Registers functor on each resource (a null resource is skipped).
  void watch(base_functor* functor, std::initializer_list<base_res_t*> resources) {
    for (base_res_t* res : resources) watch(functor, res);
  }
  void watch(base_functor* functor, base_res_t* res) {
    if (!res || !functor) return;
    res->add_proc(functor);
    watched_.push_back({res, functor});
  }

  // Removes every registration, then frees the functors.
  void clear() {
    for (auto it = watched_.rbegin(); it != watched_.rend(); ++it) it->res->remove_proc(it->functor);
    watched_.clear();
    functors_.clear();
  }

  // Frees the functors without touching the resources, for when the
  // registry itself is already gone.
  void abandon() {
    watched_.clear();
    functors_.clear();
  }

  size_t registration_count() const { return watched_.size(); }

 private:
  struct entry_t {
    base_res_t* res;
    base_functor* functor;
  };
  using owned_t = std::unique_ptr<base_functor, void (*)(base_functor*)>;
  std::vector<entry_t> watched_;
  std::vector<owned_t> functors_;
};
