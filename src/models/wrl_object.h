// The reference object read from a surface file, one instance held by
// RES_WRL_OBJECT from start-up to exit; it starts empty. Not built yet.
#pragma once

class wrl_object {
 public:
  wrl_object() = default;
  ~wrl_object() = default;
  wrl_object(const wrl_object&) = delete;
  wrl_object& operator=(const wrl_object&) = delete;
};
