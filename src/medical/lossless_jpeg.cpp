#include "medical/lossless_jpeg.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr uint16_t kFail = 0xFFFF;
constexpr int kMaxColumns = 4096;
constexpr int kMaxComponents = 4;

// Codes of up to this many bits are decoded with one table look-up.
constexpr int kLookupBits = 8;

struct lossless_huffman_table_t {
  uint8_t bits[17] = {};  // codes of each length 1..16
  uint8_t huffval[256] = {};
  int32_t mincode[17] = {};
  int32_t maxcode[18] = {};
  int32_t valptr[17] = {};
  uint8_t look_length[256] = {};  // 0: the code is longer than kLookupBits
  uint8_t look_value[256] = {};
  bool defined = false;
};

struct component_t {
  int id = 0;
  int h = 0, v = 0;
  int table = 0;
};

struct lossless_jpeg_state_t {
  const uint8_t* data = nullptr;
  int32_t length = 0;
  int32_t pos = 0;
  uint32_t bit_buffer = 0;
  int bit_count = 0;
  int zero_fill = 0;  // zero bytes fed since a marker stopped the data

  int32_t width = 0, height = 0, precision = 0;
  component_t comp[kMaxComponents];
  int n_comp = 0;
  bool have_frame = false;

  int scan_comp[kMaxComponents] = {};  // frame component of each scan position
  int n_scan = 0;
  int ss = 0, pt = 0;
  int32_t restart_interval = 0;
  int32_t restart_rows = 0;
  int32_t rows_to_go = 0;
  int next_restart = 0;

  lossless_huffman_table_t tables[4];
};

bool byte_at(lossless_jpeg_state_t& s, uint8_t& b) {
  if (s.pos >= s.length) return false;
  b = s.data[s.pos++];
  return true;
}

bool word_at(lossless_jpeg_state_t& s, int32_t& w) {
  uint8_t hi, lo;
  if (!byte_at(s, hi) || !byte_at(s, lo)) return false;
  w = (int32_t(hi) << 8) | lo;
  return true;
}

bool skip(lossless_jpeg_state_t& s, int32_t n) {
  if (n < 0 || n > s.length - s.pos) return false;
  s.pos += n;
  return true;
}

bool read_dht(lossless_jpeg_state_t& s) {
  int32_t len;
  if (!word_at(s, len) || len < 2) return false;
  int32_t remain = len - 2;
  if (remain > s.length - s.pos) return false;
  while (remain > 0) {
    uint8_t tc_th;
    if (!byte_at(s, tc_th)) return false;
    if (tc_th & 0x10) fputs("Huffman table for lossless JPEG is not defined.\n", stderr);
    if (tc_th >= 4) return false;
    lossless_huffman_table_t& t = s.tables[tc_th];
    int total = 0;
    t.bits[0] = 0;
    for (int l = 1; l <= 16; ++l) {
      if (!byte_at(s, t.bits[l])) return false;
      total += t.bits[l];
    }
    if (total > 256 || 17 + total > remain) return false;
    for (int i = 0; i < total; ++i)
      if (!byte_at(s, t.huffval[i])) return false;
    t.defined = true;
    remain -= 17 + total;
  }
  return true;
}

// Builds MINCODE, MAXCODE, VALPTR and the look-up arrays; false when the
// counts describe more codes than their lengths can hold.
bool derive_table(lossless_huffman_table_t& t) {
  int32_t code = 0;
  int k = 0;
  std::memset(t.look_length, 0, sizeof t.look_length);
  for (int l = 1; l <= 16; ++l) {
    if (t.bits[l] == 0) {
      t.maxcode[l] = -1;
    } else {
      t.valptr[l] = k;
      t.mincode[l] = code;
      for (int i = 0; i < t.bits[l]; ++i, ++k, ++code) {
        if (code >= (int32_t(1) << l)) return false;
        if (l <= kLookupBits) {
          const int shift = kLookupBits - l;
          for (int p = code << shift; p <= ((code << shift) | ((1 << shift) - 1)); ++p) {
            t.look_length[p] = uint8_t(l);
            t.look_value[p] = t.huffval[k];
          }
        }
      }
      t.maxcode[l] = code - 1;
    }
    code <<= 1;
  }
  t.maxcode[17] = 0xFFFFF;
  return true;
}

// Reads markers until one that the caller handles; 0 on a malformed segment
// or at the end of the data.
int next_marker(lossless_jpeg_state_t& s) {
  for (;;) {
    uint8_t b = 0;
    do {
      if (!byte_at(s, b)) return 0;
    } while (b != 0xFF);
    do {
      if (!byte_at(s, b)) return 0;
    } while (b == 0xFF);
    if (b == 0x00) continue;
    if ((b >= 0xC0 && b <= 0xC3) || (b >= 0xC5 && b <= 0xCB) || (b >= 0xCD && b <= 0xCF) ||
        b == 0xD8 || b == 0xD9 || b == 0xDA)
      return b;
    if (b == 0xC4) {
      if (!read_dht(s)) return 0;
    } else if (b == 0xDD) {
      int32_t len, interval;
      if (!word_at(s, len) || len != 4 || !word_at(s, interval)) return 0;
      s.restart_interval = interval;
    } else if (b == 0x01 || (b >= 0xD0 && b <= 0xD7) || b == 0xDB) {
      // no length follows
    } else {
      int32_t len;
      if (!word_at(s, len) || len < 2 || !skip(s, len - 2)) return 0;
    }
  }
}

bool read_frame_header(lossless_jpeg_state_t& s) {
  int32_t len, h, w;
  uint8_t p, nf;
  if (!word_at(s, len) || !byte_at(s, p) || !word_at(s, h) || !word_at(s, w) || !byte_at(s, nf))
    return false;
  if (h <= 0 || w <= 0 || nf == 0 || nf > kMaxComponents || p < 2 || p > 16 || len != 8 + 3 * nf)
    return false;
  s.precision = p;
  s.height = h;
  s.width = w;
  s.n_comp = nf;
  for (int i = 0; i < nf; ++i) {
    uint8_t id, hv, tq;
    if (!byte_at(s, id) || !byte_at(s, hv) || !byte_at(s, tq)) return false;
    s.comp[i].id = id;
    s.comp[i].h = hv >> 4;
    s.comp[i].v = hv & 15;
  }
  s.have_frame = true;
  return true;
}

bool read_scan_header(lossless_jpeg_state_t& s) {
  int32_t len;
  uint8_t ns;
  if (!s.have_frame || !word_at(s, len) || !byte_at(s, ns)) return false;
  if (ns < 1 || ns > kMaxComponents || len != 6 + 2 * ns) return false;
  s.n_scan = ns;
  for (int k = 0; k < ns; ++k) {
    uint8_t sel, tables;
    if (!byte_at(s, sel) || !byte_at(s, tables)) return false;
    int found = -1;
    for (int i = 0; i < s.n_comp; ++i)
      if (s.comp[i].id == sel) found = i;
    if (found < 0) return false;
    s.comp[found].table = tables >> 4;
    if (s.comp[found].table > 3) return false;
    s.scan_comp[k] = found;
  }
  uint8_t ss, se, ahal;
  if (!byte_at(s, ss) || !byte_at(s, se) || !byte_at(s, ahal)) return false;
  s.ss = ss;
  s.pt = ahal & 15;
  return true;
}

// Appends bytes to the bit buffer until more than 24 bits are valid. A
// marker stops the data: zero bytes are fed instead and the marker stays.
void fill(lossless_jpeg_state_t& s) {
  while (s.bit_count <= 24) {
    uint32_t b = 0;
    if (s.pos < s.length && s.data[s.pos] != 0xFF) {
      b = s.data[s.pos++];
    } else if (s.pos + 1 < s.length && s.data[s.pos] == 0xFF && s.data[s.pos + 1] == 0x00) {
      b = 0xFF;
      s.pos += 2;
    } else {
      ++s.zero_fill;
    }
    s.bit_buffer = (s.bit_buffer << 8) | b;
    s.bit_count += 8;
  }
}

inline uint32_t peek_bits(lossless_jpeg_state_t& s, int n) {
  if (s.bit_count < n) fill(s);
  return (s.bit_buffer >> (s.bit_count - n)) & ((1u << n) - 1);
}

inline uint32_t get_bits(lossless_jpeg_state_t& s, int n) {
  const uint32_t v = peek_bits(s, n);
  s.bit_count -= n;
  return v;
}

// One difference; false on a symbol that no lossless stream can hold.
inline bool decode_difference(lossless_jpeg_state_t& s, const lossless_huffman_table_t& t,
                              int32_t& diff) {
  const uint32_t look = peek_bits(s, kLookupBits);
  int ssss;
  if (t.look_length[look]) {
    s.bit_count -= t.look_length[look];
    ssss = t.look_value[look];
  } else {
    s.bit_count -= kLookupBits;
    int32_t code = int32_t(look);
    int l = kLookupBits;
    while (l <= 16 && code > t.maxcode[l]) {
      code = (code << 1) | int32_t(get_bits(s, 1));
      ++l;
    }
    if (l > 16) {
      diff = 0;
      return true;
    }
    const int idx = t.valptr[l] + code - t.mincode[l];
    if (idx < 0 || idx > 255) return false;
    ssss = t.huffval[idx];
  }
  if (ssss == 0) {
    diff = 0;
  } else if (ssss == 16) {
    diff = 32768;
  } else if (ssss > 16) {
    return false;
  } else {
    int32_t x = int32_t(get_bits(s, ssss));
    if (x < (1 << (ssss - 1))) x += 1 - (1 << ssss);
    diff = x;
  }
  return true;
}

bool process_restart(lossless_jpeg_state_t& s) {
  s.bit_count = 0;
  s.bit_buffer = 0;
  s.zero_fill = 0;
  for (;;) {
    uint8_t b = 0;
    do {
      if (!byte_at(s, b)) return false;
    } while (b != 0xFF);
    do {
      if (!byte_at(s, b)) return false;
    } while (b == 0xFF);
    if (b == 0x00) continue;
    if (b != 0xD0 + s.next_restart) return false;
    s.rows_to_go = s.restart_rows;
    s.next_restart = (s.next_restart + 1) & 7;
    return true;
  }
}

inline int32_t predict(int ss, int32_t ra, int32_t rb, int32_t rc) {
  switch (ss) {
    case 1: return ra;
    case 2: return rb;
    case 3: return rc;
    case 4: return ra + rb - rc;
    case 5: return ra + ((rb - rc) >> 1);
    case 6: return rb + ((ra - rc) >> 1);
    case 7: return (ra + rb) >> 1;
    default: return 0;
  }
}

// More zero bytes than a scan's last code can need: the data ended early.
constexpr int kMaxZeroFill = 8;

bool decode_image(lossless_jpeg_state_t& s, uint8_t* out8, uint16_t* out16, int bpp) {
  const int ns = s.n_scan;
  const size_t row_samples = size_t(s.width) * size_t(ns);
  std::vector<uint16_t> rows[2] = {std::vector<uint16_t>(row_samples),
                                   std::vector<uint16_t>(row_samples)};
  int cur = 0;
  const int32_t first_pred = int32_t(1) << (s.precision - s.pt - 1);
  const lossless_huffman_table_t* table[kMaxComponents];
  for (int k = 0; k < ns; ++k) table[k] = &s.tables[s.comp[s.scan_comp[k]].table];

  for (int32_t y = 0; y < s.height; ++y) {
    bool first_row = y == 0;
    if (y > 0 && s.restart_rows > 0) {
      if (s.rows_to_go == 0) {
        if (!process_restart(s)) return false;
        first_row = true;
      } else {
        --s.rows_to_go;
      }
    }
    uint16_t* row = rows[cur].data();
    const uint16_t* prev = rows[cur ^ 1].data();
    for (int32_t x = 0; x < s.width; ++x) {
      for (int k = 0; k < ns; ++k) {
        const size_t i = size_t(x) * size_t(ns) + size_t(k);
        int32_t pred;
        if (first_row)
          pred = x == 0 ? first_pred : row[i - size_t(ns)];
        else if (x == 0)
          pred = prev[i];
        else
          pred = predict(s.ss, row[i - size_t(ns)], prev[i], prev[i - size_t(ns)]);
        int32_t diff;
        if (!decode_difference(s, *table[k], diff)) return false;
        row[i] = uint16_t(uint32_t(pred + diff) & 0xFFFF);
      }
    }
    if (s.zero_fill > kMaxZeroFill) return false;
    if (first_row && s.restart_rows > 0) --s.rows_to_go;

    // The point transform divided the samples before coding: the output
    // multiplies them back, while prediction works on the coded values.
    const int pt = s.pt;
    const size_t base = size_t(y) * size_t(s.width);
    if (bpp == 8) {
      for (int32_t x = 0; x < s.width; ++x)
        out8[base + size_t(x)] = uint8_t(row[size_t(x) * size_t(ns)] << pt);
    } else if (bpp == 16) {
      for (int32_t x = 0; x < s.width; ++x)
        out16[base + size_t(x)] = uint16_t(row[size_t(x) * size_t(ns)] << pt);
    } else {
      for (int32_t x = 0; x < s.width; ++x)
        for (int c = 0; c < 3; ++c)
          out8[(base + size_t(x)) * 3 + size_t(c)] = uint8_t(row[size_t(x) * 3 + size_t(c)] << pt);
    }
    cur ^= 1;
  }
  return true;
}

}  // namespace

uint16_t lossless_jpeg_decode(const uint8_t* data, void* output, int bits_per_pixel, int32_t length,
                              int32_t expected_width, int32_t expected_height) {
  if (!data || !output || length < 4) return kFail;
  if (bits_per_pixel != 8 && bits_per_pixel != 16 && bits_per_pixel != 24) return kFail;
  lossless_jpeg_state_t s;
  s.data = data;
  s.length = length;
  if (data[0] != 0xFF || data[1] != 0xD8) return kFail;
  s.pos = 2;

  const int sof = next_marker(s);
  if (sof == 0xC0 || sof == 0xC1 || sof == 0xC3) {
    if (!read_frame_header(s)) return kFail;
  }
  if (next_marker(s) != 0xDA) return kFail;
  if (!read_scan_header(s)) return kFail;
  for (int i = 0; i < s.n_comp; ++i)
    if (s.comp[i].h != 1 || s.comp[i].v != 1) return kFail;

  if (s.width != expected_width || s.height != expected_height || s.width > kMaxColumns)
    return kFail;
  if (bits_per_pixel == 24 && s.n_scan != 3) return kFail;
  if (s.pt >= s.precision) return kFail;
  for (int k = 0; k < s.n_scan; ++k) {
    lossless_huffman_table_t& t = s.tables[s.comp[s.scan_comp[k]].table];
    if (!t.defined || !derive_table(t)) return kFail;
  }
  s.restart_rows = s.restart_interval / s.width;
  s.rows_to_go = s.restart_rows;
  s.next_restart = 0;

  uint8_t* out8 = static_cast<uint8_t*>(output);
  uint16_t* out16 = static_cast<uint16_t*>(output);
  return decode_image(s, out8, out16, bits_per_pixel) ? 0 : kFail;
}
