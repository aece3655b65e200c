// The statistical shape model, one instance held by RES_FIT_MODEL from
// start-up to exit; it starts with no model loaded. Not built yet.
#pragma once

class fit_model {
 public:
  fit_model() = default;
  ~fit_model() = default;
  fit_model(const fit_model&) = delete;
  fit_model& operator=(const fit_model&) = delete;
};
