// The file-based readers take a path, not bytes: each input is written to a
// per-process file in memory-backed /dev/shm and read back from there. The
// toolkit's log stays quiet for the whole run.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include <wx/filename.h>
#include <wx/log.h>

// Writes the input to /dev/shm/nv_fuzz_<tag>_<pid><extension>; false when
// the file cannot be written.
inline bool write_fuzz_input(const uint8_t* data, size_t size, const char* tag, const char* extension,
                             wxFileName& name) {
  static wxLogNull* quiet = new wxLogNull;
  (void)quiet;
  const std::string path = std::string("/dev/shm/nv_fuzz_") + tag + "_" + std::to_string(getpid()) + extension;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool whole = std::fwrite(data, 1, size, f) == size;
  if (std::fclose(f) != 0 || !whole) return false;
  name = wxFileName(path);
  return true;
}
