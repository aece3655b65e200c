// Element-level reading of DICOM files shared by the parser and the object
// import: a file whose every read and skip is checked against its size, and
// the decoding of element headers under the header state that the Transfer
// Syntax UID sets. Internal to the volume readers.
#pragma once

#include <cstdint>

#include <wx/file.h>
#include <wx/string.h>

constexpr uint32_t kDicomUndefinedLength = 0xFFFFFFFF;

constexpr uint32_t dicom_tag(uint16_t group, uint16_t element) {
  return (uint32_t(group) << 16) | element;
}

// A file read with every read, skip and length checked against its size.
class dicom_file {
 public:
  bool open(const wxString& path);
  uint64_t pos() const { return pos_; }
  uint64_t remaining() const { return size_ - pos_; }
  uint64_t size() const { return size_; }
  bool read(void* dst, uint64_t n);
  bool skip(uint64_t n);
  bool seek(uint64_t at);

 private:
  wxFile file_;
  uint64_t size_ = 0;
  uint64_t pos_ = 0;
};

struct dicom_element_t {
  uint16_t group = 0, element = 0;
  char vr[3] = {0, 0, 0};
  uint32_t length = 0;  // kDicomUndefinedLength for an undefined length
  bool explicit_vr = false;

  uint32_t tag() const { return dicom_tag(group, element); }
};

// How the elements after the file meta group are encoded.
struct dicom_syntax_t {
  bool known = false;        // a Transfer Syntax UID has been read
  bool explicit_vr = true;
  bool big_endian = false;
  bool deflated = false;     // a syntax no reader here decodes

  void set_from_uid(wxString uid);
};

// The value representations followed by 2 reserved bytes and a 32-bit length.
bool dicom_long_length_vr(const char* vr);

// Reads the element header at the file's position. Returns the header's
// size in bytes, 0 when a whole header cannot be read (the end of the file).
int read_dicom_element_header(dicom_file& f, const dicom_syntax_t& syntax, dicom_element_t& e);

inline uint16_t dicom_u16(const uint8_t* p, bool big) {
  return big ? uint16_t((p[0] << 8) | p[1]) : uint16_t(p[0] | (p[1] << 8));
}
inline uint32_t dicom_u32(const uint8_t* p, bool big) {
  return big ? (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]
             : uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
