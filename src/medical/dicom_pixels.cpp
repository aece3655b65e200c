#include "medical/dicom_pixels.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include <jpeglib.h>
#include <openjpeg.h>

#include "medical/lossless_jpeg.h"

namespace {

size_t pixel_count(const pixel_format_t& f) { return size_t(f.width) * size_t(f.height); }

uint32_t le32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// ---- baseline JPEG through libjpeg, errors caught instead of exiting ----

struct jpeg_error_t {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void jpeg_fail(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<jpeg_error_t*>(cinfo->err)->jump, 1);
}
void jpeg_quiet(j_common_ptr, int) {}
void jpeg_no_output(j_common_ptr) {}

// ---- JPEG 2000 from memory ----

struct j2k_memory_t {
  const uint8_t* data;
  OPJ_SIZE_T length;
  OPJ_SIZE_T pos;
};

OPJ_SIZE_T j2k_read(void* buffer, OPJ_SIZE_T n, void* user) {
  auto* m = static_cast<j2k_memory_t*>(user);
  if (m->pos >= m->length) return OPJ_SIZE_T(-1);
  const OPJ_SIZE_T k = std::min(n, m->length - m->pos);
  std::memcpy(buffer, m->data + m->pos, k);
  m->pos += k;
  return k;
}
OPJ_OFF_T j2k_skip(OPJ_OFF_T n, void* user) {
  auto* m = static_cast<j2k_memory_t*>(user);
  if (n < 0) {
    const OPJ_SIZE_T back = std::min<OPJ_SIZE_T>(OPJ_SIZE_T(-n), m->pos);
    m->pos -= back;
    return -OPJ_OFF_T(back);
  }
  const OPJ_SIZE_T k = std::min<OPJ_SIZE_T>(OPJ_SIZE_T(n), m->length - m->pos);
  m->pos += k;
  return OPJ_OFF_T(k);
}
OPJ_BOOL j2k_seek(OPJ_OFF_T n, void* user) {
  auto* m = static_cast<j2k_memory_t*>(user);
  if (n < 0 || OPJ_SIZE_T(n) > m->length) return OPJ_FALSE;
  m->pos = OPJ_SIZE_T(n);
  return OPJ_TRUE;
}

}  // namespace

bool decode_rle(const uint8_t* data, size_t length, const pixel_format_t& fmt,
                std::vector<uint8_t>& out) {
  if (fmt.bits != 8 || length < 64) return false;
  const uint32_t segments = le32(data);
  if (segments != uint32_t(fmt.samples) || le32(data + 4) != 64) return false;
  if (fmt.samples < 1 || fmt.samples > 15) return false;
  const size_t n_pixels = pixel_count(fmt);
  const size_t spp = size_t(fmt.samples);
  try {
    out.assign(n_pixels * spp, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  size_t n = 0;
  for (size_t s = 0; s < spp; ++s) {
    size_t pos = le32(data + 4 + 4 * s);
    n = 0;
    while (n < n_pixels && pos < length) {
      const int c = int8_t(data[pos++]);
      if (c == -128) continue;
      if (c < 0) {
        const size_t run = size_t(1 - c);
        if (n + run <= n_pixels && pos < length)
          for (size_t k = 0; k < run; ++k) out[(n++) * spp + s] = data[pos];
        ++pos;
      } else {
        const size_t run = size_t(c) + 1;
        if (n + run <= n_pixels && pos + run <= length) {
          for (size_t k = 0; k < run; ++k) out[(n++) * spp + s] = data[pos + k];
          pos += run;
        }
      }
    }
    // Every segment must fill the frame; a short one would leave zeros.
    if (n != n_pixels) break;
  }
  if (n != n_pixels) {
    out.clear();
    return false;
  }
  return true;
}

bool decode_baseline_jpeg(const uint8_t* data, size_t length, const pixel_format_t& fmt,
                          std::vector<uint8_t>& out, int& components) {
  if (length < 4 || length > 0x7FFFFFFF) return false;
  jpeg_decompress_struct cinfo;
  jpeg_error_t err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = jpeg_fail;
  err.mgr.emit_message = jpeg_quiet;
  err.mgr.output_message = jpeg_no_output;
  jpeg_create_decompress(&cinfo);
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    out.clear();
    return false;
  }
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(length));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = fmt.samples == 3 ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_start_decompress(&cinfo);
  if (int32_t(cinfo.output_width) != fmt.width || int32_t(cinfo.output_height) != fmt.height) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  components = cinfo.output_components;
  const size_t row = size_t(cinfo.output_width) * size_t(components);
  out.assign(row * cinfo.output_height, 0);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW r = out.data() + row * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &r, 1);
  }
  // A stream that ran out of data is filled with grey by libjpeg and only warned about.
  const bool complete = err.mgr.num_warnings == 0;
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  if (!complete) out.clear();
  return complete;
}

bool decode_jpeg2000(const uint8_t* data, size_t length, const pixel_format_t& fmt,
                     std::vector<int32_t>& out) {
  if (length < 2 || data[0] != 0xFF || data[1] != 0x4F) return false;
  j2k_memory_t mem{data, OPJ_SIZE_T(length), 0};
  opj_stream_t* stream = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE);
  if (!stream) return false;
  opj_stream_set_user_data(stream, &mem, nullptr);
  opj_stream_set_user_data_length(stream, OPJ_UINT64(length));
  opj_stream_set_read_function(stream, j2k_read);
  opj_stream_set_skip_function(stream, j2k_skip);
  opj_stream_set_seek_function(stream, j2k_seek);
  opj_codec_t* codec = opj_create_decompress(OPJ_CODEC_J2K);
  opj_image_t* image = nullptr;
  bool ok = false;
  if (codec) {
    opj_set_info_handler(codec, [](const char*, void*) {}, nullptr);
    opj_set_warning_handler(codec, [](const char*, void*) {}, nullptr);
    opj_set_error_handler(codec, [](const char*, void*) {}, nullptr);
    opj_dparameters_t params;
    opj_set_default_decoder_parameters(&params);
    ok = opj_setup_decoder(codec, &params) && opj_read_header(stream, codec, &image) && image &&
         image->numcomps == 1 && image->x0 == 0 && image->y0 == 0 &&
         int64_t(image->x1) == fmt.width && int64_t(image->y1) == fmt.height && fmt.height != 0 &&
         image->comps[0].dx == 1 && image->comps[0].dy == 1 &&
         int64_t(image->comps[0].w) == fmt.width && int64_t(image->comps[0].h) == fmt.height &&
         bool(image->comps[0].sgnd) == fmt.is_signed && opj_decode(codec, stream, image) &&
         opj_end_decompress(codec, stream) && image->comps[0].data;
    if (ok) out.assign(image->comps[0].data, image->comps[0].data + pixel_count(fmt));
  }
  if (image) opj_image_destroy(image);
  if (codec) opj_destroy_codec(codec);
  opj_stream_destroy(stream);
  return ok;
}

bool decode_fragment(const uint8_t* data, size_t length, const pixel_format_t& fmt,
                     frame_samples_t& out) {
  out = frame_samples_t();
  if (length == 0 || length > 0x7FFFFFFF) return false;
  const size_t pixels = pixel_count(fmt);
  const bool jpeg_start = length >= 2 && data[0] == 0xFF && data[1] == 0xD8;
  if ((fmt.samples == 1 || fmt.samples == 3) && jpeg_start) {
    if (fmt.bits == 16 && fmt.samples == 1) {
      out.word_data.resize(pixels);
      if (lossless_jpeg_decode(data, out.word_data.data(), 16, int32_t(length), fmt.width,
                               fmt.height) == 0) {
        out.kind = frame_samples_t::words;
        return true;
      }
      out.word_data.clear();
    } else if (fmt.bits == 8) {
      out.byte_data.resize(pixels * size_t(fmt.samples));
      if (lossless_jpeg_decode(data, out.byte_data.data(), 8 * fmt.samples, int32_t(length),
                               fmt.width, fmt.height) == 0) {
        out.kind = frame_samples_t::bytes;
        out.byte_samples = fmt.samples;
        return true;
      }
      out.byte_data.clear();
    }
  }
  if ((fmt.samples == 1 || fmt.samples == 3) && fmt.bits == 8 &&
      decode_baseline_jpeg(data, length, fmt, out.byte_data, out.byte_samples)) {
    out.kind = frame_samples_t::image_bytes;
    return true;
  }
  if (fmt.bits == 8 && decode_rle(data, length, fmt, out.byte_data)) {
    out.kind = frame_samples_t::bytes;
    out.byte_samples = fmt.samples;
    return true;
  }
  if (decode_jpeg2000(data, length, fmt, out.int_data)) {
    out.kind = frame_samples_t::integers;
    return true;
  }
  out = frame_samples_t();
  return false;
}

namespace {

// Signed 8-bit values are stored offset by 127; -128 would wrap to 255, the
// brightest byte, so it is taken as -127.
inline uint8_t signed_byte(int v) { return uint8_t((v < -127 ? -127 : v) + 127); }

inline int mean3(int a, int b, int c) { return (a + b + c) / 3; }  // toward zero

}  // namespace

void store_samples(const frame_samples_t& in, const pixel_format_t& fmt, uint16_t* raw,
                   uint8_t* display) {
  const size_t n = pixel_count(fmt);
  if (in.kind == frame_samples_t::in_place) {
    if (fmt.bits == 16) {
      const uint8_t* b = reinterpret_cast<const uint8_t*>(raw);
      const uint16_t offset = fmt.is_signed ? 32768 : 0;
      if (fmt.big_endian) {
        for (size_t i = 0; i < n; ++i) raw[i] = uint16_t(((b[2 * i] << 8) | b[2 * i + 1]) ^ offset);
      } else if (offset) {
        for (size_t i = 0; i < n; ++i) raw[i] = uint16_t((b[2 * i] | (b[2 * i + 1] << 8)) ^ offset);
      } else {
        for (size_t i = 0; i < n; ++i) raw[i] = uint16_t(b[2 * i] | (b[2 * i + 1] << 8));
      }
    } else if (fmt.is_signed) {
      for (size_t i = 0; i < n; ++i) display[i] = signed_byte(int8_t(display[i]));
    }
    return;
  }
  if (fmt.bits == 16) {
    const uint16_t offset = fmt.is_signed ? 32768 : 0;
    switch (in.kind) {
      case frame_samples_t::words:
        for (size_t i = 0; i < n; ++i) raw[i] = uint16_t(in.word_data[i] ^ offset);
        break;
      case frame_samples_t::integers:
        for (size_t i = 0; i < n; ++i) raw[i] = uint16_t(uint32_t(in.int_data[i]) + offset);
        break;
      case frame_samples_t::file_bytes: {
        const uint8_t* b = in.byte_data.data();
        auto sample = [&](size_t k) -> uint16_t {
          return fmt.big_endian ? uint16_t((b[2 * k] << 8) | b[2 * k + 1])
                                : uint16_t(b[2 * k] | (b[2 * k + 1] << 8));
        };
        if (fmt.samples == 3) {
          for (size_t i = 0; i < n; ++i) {
            if (fmt.is_signed)
              raw[i] = uint16_t(mean3(int16_t(sample(3 * i)), int16_t(sample(3 * i + 1)),
                                      int16_t(sample(3 * i + 2))) + 32768);
            else
              raw[i] = uint16_t((unsigned(sample(3 * i)) + sample(3 * i + 1) + sample(3 * i + 2)) / 3);
          }
        } else {
          for (size_t i = 0; i < n; ++i) raw[i] = uint16_t(sample(i) ^ offset);
        }
        break;
      }
      default:
        break;
    }
    return;
  }
  // 8-bit data go to the display buffer.
  const int spp = in.kind == frame_samples_t::file_bytes ? (fmt.samples == 3 ? 3 : 1) : in.byte_samples;
  switch (in.kind) {
    case frame_samples_t::integers:
      for (size_t i = 0; i < n; ++i)
        display[i] = fmt.is_signed ? signed_byte(int8_t(uint8_t(in.int_data[i]))) : uint8_t(in.int_data[i]);
      break;
    case frame_samples_t::file_bytes:
    case frame_samples_t::bytes:
    case frame_samples_t::image_bytes: {
      const uint8_t* b = in.byte_data.data();
      // The toolkit-style image gives unsigned colour; its signed mean is offset as is.
      const bool unsigned_mean = in.kind == frame_samples_t::image_bytes;
      for (size_t i = 0; i < n; ++i) {
        if (spp == 3) {
          const uint8_t* p = b + 3 * i;
          if (!fmt.is_signed)
            display[i] = uint8_t((p[0] + p[1] + p[2]) / 3);
          else if (unsigned_mean)
            display[i] = uint8_t((p[0] + p[1] + p[2]) / 3 + 127);
          else
            display[i] = signed_byte(mean3(int8_t(p[0]), int8_t(p[1]), int8_t(p[2])));
        } else {
          const uint8_t v = b[size_t(spp) * i];
          display[i] = fmt.is_signed ? signed_byte(int8_t(v)) : v;
        }
      }
      break;
    }
    default:
      break;
  }
}
