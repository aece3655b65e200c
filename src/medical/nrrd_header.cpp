// NRRD headers: "NRRD000x", then "key: value" lines up to an empty line.
#include <cmath>
#include <limits>

#include <wx/filename.h>

#include "medical/text_header_support.h"
#include "medical/volume_headers.h"

namespace {

const char* const kIncomplete = "This NRRD file does not contain all the information Norvelith requires.";

bool numbers(const std::string& value, size_t count, double* out) {
  const std::vector<std::string> pieces = split_any(value, "(,) ");
  if (pieces.size() != count) return false;
  for (size_t i = 0; i < count; ++i)
    if (!parse_double(pieces[i], out[i])) return false;
  return true;
}

}  // namespace

int parse_nrrd_header(const char* text, size_t n, nrrd_info_t& info, wxString& warning) {
  info = nrrd_info_t();
  warning.clear();
  if (!text || n < 7 || std::string(text, 7) != "NRRD000") return 0;
  const text_lines_t t = split_lines(text, n);

  bool ended = false, have_sizes = false, have_origin = false, have_spacings = false,
       have_directions = false;
  double directions[9] = {};
  auto fail = [&](const char* specific) {
    warning = specific ? wxString(specific) + "\n" + kIncomplete : wxString(kIncomplete);
    return -1;
  };
  for (size_t i = 1; i < t.lines.size() && !ended; ++i) {
    const std::string& line = t.lines[i];
    if (i + 1 == t.lines.size() && t.last_unterminated) break;  // header cut short
    if (!line.empty() && line[0] == '#') continue;
    const size_t c1 = line.find(':');
    if (line.empty() || c1 == std::string::npos || c1 + 1 == line.size()) {
      ended = true;
      info.header_bytes = int64_t(t.ends[i]);
      break;
    }
    const size_t c2 = line.find(':', c1 + 1);
    const std::string key = trim_blanks(line.substr(0, c1));
    const std::string value =
        trim_blanks(line.substr(c1 + 1, c2 == std::string::npos ? std::string::npos : c2 - c1 - 1));
    if (key == "type") {
      info.have_type = true;
      if (value == "signed short" || value == "int16" || value == "short") {
        info.bytes_per_sample = 2;
        info.is_signed = true;
      } else if (value == "unsigned short" || value == "uint16" || value == "ushort") {
        info.bytes_per_sample = 2;
        info.is_signed = false;
      } else if (value == "unsigned char" || value == "uint8" || value == "uchar") {
        info.bytes_per_sample = 1;
        info.is_signed = false;
      } else {
        return fail("This NRRD file contains non-short and non-byte data.\n"
                    "Currently Norvelith only supports short or char data formats.");
      }
    } else if (key == "space") {
      if (value == "LPS" || value == "left-posterior-superior")
        info.patient_coordinates = true;
      else if (value == "scanner-xyz")
        info.patient_coordinates = false;
      else
        return fail("This NRRD file contains data in an un-supported space.\n"
                    "Currently Norvelith only supports LPS, left-posterior-superior or scanner-xyz.");
    } else if (key == "dimension") {
      long long d;
      if (!parse_long(value, d) || d != 3) return fail(nullptr);
    } else if (key == "encoding") {
      if (value == "raw")
        info.gzip = false;
      else if (value == "gzip" || value == "gz")
        info.gzip = true;
      else
        return fail("This NRRD file contains data in an un-supported format.\n"
                    "Currently Norvelith only supports raw or gzip data formats.");
    } else if (key == "data file") {
      info.data_file = wxFileName(wxString::FromUTF8(value.c_str())).GetFullName();
      if (info.data_file.empty()) info.data_file = wxString::FromUTF8(value.c_str());
    } else if (key == "endian") {
      if (value != "little")
        return fail("This NRRD file contains big-endian data.\n"
                    "Currently Norvelith only supports little-endian data formats.");
    } else if (key == "line skip" || key == "lineskip") {
      long long v;
      if (!parse_long(value, v) || v < 0) return fail(nullptr);
      info.line_skip = v;
    } else if (key == "byte skip" || key == "byteskip") {
      long long v;
      if (!parse_long(value, v) || v < -1) return fail(nullptr);
      info.byte_skip = v;
    } else if (key == "sizes") {
      const std::vector<std::string> pieces = split_any(value, "(,) ");
      long long s[3];
      if (pieces.size() != 3) return fail(nullptr);
      for (int k = 0; k < 3; ++k)
        if (!parse_long(pieces[size_t(k)], s[k])) return fail(nullptr);
      for (int k = 0; k < 3; ++k)
        if (s[k] < 1 || s[k] > std::numeric_limits<int32_t>::max()) return fail(nullptr);
      if (s[0] * s[1] > std::numeric_limits<int32_t>::max()) return fail(nullptr);
      info.columns = int32_t(s[0]);
      info.rows = int32_t(s[1]);
      info.frames = int32_t(s[2]);
      have_sizes = true;
    } else if (key == "space origin") {
      if (!numbers(value, 3, info.origin_mm)) return fail(nullptr);
      have_origin = true;
    } else if (key == "spacings") {
      if (!numbers(value, 3, info.spacing_mm)) return fail(nullptr);
      have_spacings = true;
    } else if (key == "space directions") {
      if (!numbers(value, 9, directions)) return fail(nullptr);
      have_directions = true;
    }
  }
  if (!ended || !have_sizes || !info.have_type) return fail(nullptr);
  if (info.gzip && info.byte_skip < 0)
    return fail("This NRRD file places gzip data at the end of its file (byte skip: -1).\n"
                "Currently Norvelith only supports that for raw data.");

  if (!have_origin) {
    info.notes.push_back("This NRRD file does not contain a spatial origin: presuming (0, 0, 0).");
    for (double& o : info.origin_mm) o = 0;
  }
  if (have_directions) {
    for (int k = 0; k < 3; ++k) info.direction[k] = {directions[3 * k], directions[3 * k + 1], directions[3 * k + 2]};
    if (!have_spacings) {
      for (int k = 0; k < 3; ++k) info.spacing_mm[k] = vec3_length(info.direction[k]);
    } else if (std::fabs(vec3_length(info.direction[0]) / info.spacing_mm[0] - 1) > 1e-4) {
      info.notes.push_back(
          "This NRRD file has inconsistent scales in spacing and space direction: using spacing.");
    }
    for (vec3_t& d : info.direction) d = vec3_normalise(d);
  } else {
    info.notes.push_back(
        "This NRRD file does not contain a spatial orientation: presuming alignment with data axes.");
    if (!have_spacings) {
      info.notes.push_back(
          "This NRRD file does not contain spacing or space direction: presuming unit spacing.");
      for (double& s : info.spacing_mm) s = 1;
    }
  }
  // Slices must lie at positions a 64-bit offset can reach.
  const int64_t slice = int64_t(info.columns) * info.rows * info.bytes_per_sample;
  if (slice > std::numeric_limits<int64_t>::max() / 4 / info.frames) return fail(nullptr);
  return 1;
}
