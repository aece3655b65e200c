// Word-level reading and writing shared by the keyword lines of data files.
//
// Reading: the rest of a line is split into words at blanks, tabs, carriage
// returns and line feeds; runs of them count as one separator. An integer is
// a whole word of optional sign and decimal digits within 32 bits; a number a
// whole word that converts to a double in the "C" number format.
//
// Writing: lines are assembled as UTF-8 bytes in a std::string and handed to
// the output stream in large blocks; numbers are formatted exactly as printf
// does in the "C" locale, whatever the process locale.
#pragma once

#include <wx/string.h>

#include <cstddef>
#include <cstdint>
#include <string>

class wxOutputStream;

struct word_t {
  const wchar_t* begin = nullptr;
  size_t size = 0;
  bool empty() const { return size == 0; }
};

bool word_to_int32(const word_t& w, int32_t& out);
bool word_to_double(const word_t& w, double& out);
wxString word_to_string(const word_t& w);

// Walks the words of a text; the text must outlive the reader.
class word_reader {
 public:
  explicit word_reader(const wxString& text);

  // The next word, or false at the end.
  bool next(word_t& w);
  // Reads the next word as an integer or number; false when there is none or
  // it does not convert. The word counts as read either way.
  bool next_int(int32_t& v);
  bool next_double(double& v);

  // Position in the text, to come back to after a look-ahead.
  const wchar_t* position() const { return pos_; }
  void seek(const wchar_t* pos) { pos_ = pos; }

  // The words not read yet, joined by single blanks (empty when none).
  wxString rest_as_name();

 private:
  const wchar_t* pos_;
  const wchar_t* end_;
};

// Joins a and b with one blank; either may be empty.
wxString join_name(const wxString& a, const wxString& b);

// ---- writing ---------------------------------------------------------------

void append_int(std::string& s, long long v);
void append_uint(std::string& s, unsigned long long v);
// printf("%.<decimals>f", v).
void append_fixed(std::string& s, double v, int decimals);
// printf("%g", v).
void append_general(std::string& s, double v);
// A text as UTF-8, with carriage returns and line feeds turned into blanks so
// that a name can never end its line early and start another.
void append_line_text(std::string& s, const wxString& text);

// Writes the bytes; true when the stream took all of them and is still good.
bool write_bytes(wxOutputStream& out, const std::string& s);

// Collects lines and passes them on in blocks of about 64 KiB.
class line_sink {
 public:
  explicit line_sink(wxOutputStream& out) : out_(out) { buf_.reserve(kChunk + 4096); }
  std::string& buffer() { return buf_; }
  // Call after each line.
  void line_done() {
    if (buf_.size() >= kChunk) flush();
  }
  // True while every write so far succeeded.
  bool flush();

 private:
  static constexpr size_t kChunk = 1 << 16;
  wxOutputStream& out_;
  std::string buf_;
  bool ok_ = true;
};
