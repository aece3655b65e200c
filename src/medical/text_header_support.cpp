#include "medical/text_header_support.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

text_lines_t split_lines(const char* text, size_t n) {
  text_lines_t out;
  size_t pos = 0;
  while (pos < n) {
    size_t e = pos;
    while (e < n && text[e] != '\n' && text[e] != '\r') ++e;
    out.lines.emplace_back(text + pos, e - pos);
    if (e == n) {
      out.ends.push_back(n);
      out.last_unterminated = true;
      break;
    }
    e += (text[e] == '\r' && e + 1 < n && text[e + 1] == '\n') ? 2 : 1;
    out.ends.push_back(e);
    pos = e;
  }
  return out;
}

std::vector<std::string> split_any(const std::string& s, const char* seps) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : s) {
    if (std::strchr(seps, c) && c != '\0') {
      if (!cur.empty()) out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

std::string trim_blanks(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

bool parse_double(const std::string& s, double& v) {
  if (s.empty() || std::strchr(" \t", s[0])) return false;
  errno = 0;
  char* end = nullptr;
  v = std::strtod(s.c_str(), &end);
  return end == s.c_str() + s.size() && errno == 0 && std::isfinite(v);
}

bool parse_long(const std::string& s, long long& v) {
  if (s.empty() || std::strchr(" \t", s[0])) return false;
  errno = 0;
  char* end = nullptr;
  v = std::strtoll(s.c_str(), &end, 10);
  return end == s.c_str() + s.size() && errno == 0;
}
