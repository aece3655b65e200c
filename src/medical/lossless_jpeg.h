// Decoder of lossless JPEG codestreams (Huffman-coded, predictors 1 to 7,
// precision 2 to 16, point transform, restart intervals), the form in which
// lossless JPEG DICOM files carry their frames.
#pragma once

#include <cstdint>

// Decodes the codestream of `length` bytes into `output`: 8 bits per pixel
// writes one byte per pixel (the low byte of component 0), 16 one host-order
// 16-bit sample, 24 three bytes (components 0, 1, 2). The frame must be
// exactly expected_width x expected_height pixels, so that output (the
// caller's, of that many pixels) is never overrun. Returns 0 on success and
// 0xFFFF when the codestream is malformed, truncated, of another size, or
// cannot be decoded whole.
uint16_t lossless_jpeg_decode(const uint8_t* data, void* output, int bits_per_pixel, int32_t length,
                              int32_t expected_width, int32_t expected_height);
