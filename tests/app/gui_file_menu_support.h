// Helpers of the File menu's main-window tests.
#pragma once

#include <fstream>
#include <string>

#include "app_test_main.h"

extern std::string g_fm_root;

// Pixels of frame k of a recording of w x h pixels: distinct across frames.
inline std::string fm_frame(int k, int w, int h) {
  std::string s;
  for (int i = 0; i < w * h; ++i) s += static_cast<char>((k * 37 + i * 11 + 5) & 0xff);
  return s;
}

// A native data file of n frames of w x h pixels with its frame file, and
// the body lines given.
inline void fm_write_recording(const std::string& stem, int n, int w, int h,
                               const std::string& body = "") {
  const std::string name = stem.substr(stem.find_last_of('/') + 1);
  std::string text = "RES_BUF_FRAMES " + std::to_string(n) + "\nRES_BUF_WIDTH " +
                     std::to_string(w) + "\nRES_BUF_HEIGHT " + std::to_string(h) +
                     "\nRES_POS_REC true\nRES_END_HEADER\nRES_VERSION 7.27\n"
                     "RES_BIN_IM_FILENAME " + name + ".qzi\n";
  for (int k = 0; k < n; ++k)
    text += "IM " + std::to_string(1000 + k) + " 0 0 " + std::to_string(k * 0.1) + " 0 0 0\n";
  std::ofstream(stem + ".hm", std::ios::binary) << text << body;
  std::string frames;
  for (int k = 0; k < n; ++k) frames += fm_frame(k, w, h);
  std::ofstream(stem + ".qzi", std::ios::binary) << frames;
}
