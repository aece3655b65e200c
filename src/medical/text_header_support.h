// Small text helpers of the NRRD and MetaImage header parsers.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Splits text into lines at LF, CR or CR LF. ends[i] is the offset just
// after line i's line end; a last line without a line end is flagged.
struct text_lines_t {
  std::vector<std::string> lines;
  std::vector<size_t> ends;
  bool last_unterminated = false;
};
text_lines_t split_lines(const char* text, size_t n);

// Pieces of s separated by any of the characters in seps, empty ones skipped.
std::vector<std::string> split_any(const std::string& s, const char* seps);

std::string trim_blanks(const std::string& s);

// Whole-token decimal numbers; false for anything else (also out of range).
bool parse_double(const std::string& s, double& v);
bool parse_long(const std::string& s, long long& v);
