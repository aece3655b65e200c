// Turning the Pixel Data of one DICOM frame into samples: the decoders of
// compressed fragments (lossless JPEG, baseline JPEG, RLE, JPEG 2000) and the
// conversion of samples to the program's storage (16-bit raw values with
// signed data offset by 32768, or 8-bit display bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <wx/string.h>

struct pixel_format_t {
  int32_t width = 0;
  int32_t height = 0;
  int bits = 0;         // bits allocated: 8 or 16
  int samples = 1;      // samples per pixel
  bool is_signed = false;
  bool big_endian = false;  // uncompressed 16-bit samples are big-endian
};

// Samples of one frame before conversion. Exactly one representation is used.
struct frame_samples_t {
  // in_place: grey samples already read into the destination as the file
  // stores them, converted there.
  enum kind_t { none, file_bytes, in_place, bytes, words, image_bytes, integers } kind = none;
  std::vector<uint8_t> byte_data;   // file_bytes: the frame as stored; bytes: decoded,
                                    // interleaved; image_bytes: baseline JPEG output
  int byte_samples = 1;             // samples per pixel in bytes / image_bytes
  std::vector<uint16_t> word_data;  // lossless JPEG with 16 bits
  std::vector<int32_t> int_data;    // JPEG 2000 component
};

// Decodes a compressed fragment with the first decoder that accepts it.
// False (nothing decoded) when every decoder rejects it.
bool decode_fragment(const uint8_t* data, size_t length, const pixel_format_t& fmt,
                     frame_samples_t& out);

// Stores the samples in raw (16-bit data) or display (8-bit data), as the
// table of conversions says.
void store_samples(const frame_samples_t& in, const pixel_format_t& fmt, uint16_t* raw,
                   uint8_t* display);

// The single decoders, for tests and fuzzing.
bool decode_rle(const uint8_t* data, size_t length, const pixel_format_t& fmt,
                std::vector<uint8_t>& out);
bool decode_baseline_jpeg(const uint8_t* data, size_t length, const pixel_format_t& fmt,
                          std::vector<uint8_t>& out, int& components);
bool decode_jpeg2000(const uint8_t* data, size_t length, const pixel_format_t& fmt,
                     std::vector<int32_t>& out);
