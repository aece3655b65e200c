// Small recordings for the tests: their pixels, a native data file with its
// frame file written as text, and the display pixels of a loaded frame.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

#include "data/dynabuf.h"

// Pixels of frame k of a w x h recording: distinct across frames and rows.
inline std::string recording_frame(int k, int w, int h) {
  std::string s;
  for (int i = 0; i < w * h; ++i) s += static_cast<char>((k * 37 + i * 11 + 5) & 0xff);
  return s;
}

// The frame file of n such frames.
inline std::string frame_bytes(int n, int w, int h) {
  std::string s;
  for (int k = 0; k < n; ++k) s += recording_frame(k, w, h);
  return s;
}

// A native data file <stem>.hm of n frames of w x h pixels with positions
// 1 mm apart and the body lines given, and its frame file <stem>.qzi.
inline void write_recording_files(const std::string& stem, int n, int w, int h, const std::string& body = "") {
  const std::string name = stem.substr(stem.find_last_of('/') + 1);
  std::string text = "RES_BUF_FRAMES " + std::to_string(n) + "\nRES_BUF_WIDTH " + std::to_string(w) +
                     "\nRES_BUF_HEIGHT " + std::to_string(h) +
                     "\nRES_POS_REC true\nRES_END_HEADER\nRES_VERSION 7.27\n"
                     "RES_BIN_IM_FILENAME " + name + ".qzi\n";
  for (int k = 0; k < n; ++k)
    text += "IM " + std::to_string(1000 + k) + " 0 0 " + std::to_string(k * 0.1) + " 0 0 0\n";
  std::ofstream(stem + ".hm", std::ios::binary) << text << body;
  std::ofstream(stem + ".qzi", std::ios::binary) << frame_bytes(n, w, h);
}

// The display pixels of frame k of the frame store, windowed first when the
// frame has raw values; empty when there are none.
inline std::string frame_pixels(int k) {
  const frame_image_ref image = frame_store->imagecp(k);
  const uint8_t* p = frame_image_t::display_data(image);
  return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(image->size)) : std::string();
}
