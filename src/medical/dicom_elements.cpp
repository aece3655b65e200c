#include "medical/dicom_elements.h"

#include <wx/filefn.h>
#include <wx/log.h>

bool dicom_file::open(const wxString& path) {
  wxLogNull quiet;
  if (wxDirExists(path) || !file_.Open(path, wxFile::read)) return false;
  const wxFileOffset len = file_.Length();
  size_ = len < 0 ? 0 : uint64_t(len);
  pos_ = 0;
  return true;
}

bool dicom_file::read(void* dst, uint64_t n) {
  if (n > remaining()) return false;
  if (n && file_.Read(dst, size_t(n)) != ssize_t(n)) return false;
  pos_ += n;
  return true;
}

bool dicom_file::skip(uint64_t n) {
  if (n > remaining()) return false;
  pos_ += n;
  return file_.Seek(wxFileOffset(pos_)) != wxInvalidOffset;
}

bool dicom_file::seek(uint64_t at) {
  if (at > size_) return false;
  pos_ = at;
  return file_.Seek(wxFileOffset(pos_)) != wxInvalidOffset;
}

void dicom_syntax_t::set_from_uid(wxString uid) {
  uid.Trim(true).Trim(false);
  known = true;
  if (uid == "1.2.840.10008.1.2")
    explicit_vr = false;
  else if (uid == "1.2.840.10008.1.2.2")
    big_endian = true;
  else if (uid == "1.2.840.10008.1.2.1.99")
    deflated = true;
}

bool dicom_long_length_vr(const char* vr) {
  static const char* const kinds[] = {"OB", "OW", "SQ", "UN", "UT", "OD", "OF",
                                      "OL", "OV", "SV", "UV", "UC", "UR"};
  for (const char* k : kinds)
    if (vr[0] == k[0] && vr[1] == k[1]) return true;
  return false;
}

namespace {
bool upper(uint8_t c) { return c >= 'A' && c <= 'Z'; }
}  // namespace

int read_dicom_element_header(dicom_file& f, const dicom_syntax_t& syntax, dicom_element_t& e) {
  uint8_t b[8];
  if (f.remaining() < 8 || !f.read(b, 8)) return 0;
  const uint16_t stored_group = uint16_t(b[0] | (b[1] << 8));
  const bool item_group = (b[0] == 0xFE && b[1] == 0xFF) || (b[0] == 0xFF && b[1] == 0xFE);
  bool expl;
  if (item_group)
    expl = false;  // items and delimiters never carry a VR
  else if (stored_group == 0x0002)
    expl = b[4] < 0x80 && b[5] < 0x80 && upper(b[4]) && upper(b[5]);
  else if (syntax.known)
    expl = syntax.explicit_vr;
  else
    expl = b[4] >= 1 && b[4] <= 127 && b[5] >= 1 && b[5] <= 127 && upper(b[4]) && upper(b[5]);
  const bool big = syntax.big_endian && stored_group != 0x0002;
  e.group = dicom_u16(b, big);
  e.element = dicom_u16(b + 2, big);
  e.explicit_vr = expl;
  int consumed = 8;
  if (expl) {
    e.vr[0] = char(b[4]);
    e.vr[1] = char(b[5]);
    if (dicom_long_length_vr(e.vr)) {
      uint8_t l[4];
      if (!f.read(l, 4)) return 0;
      consumed += 4;
      e.length = dicom_u32(l, big);
    } else {
      const uint16_t l16 = dicom_u16(b + 6, big);
      e.length = l16 == 0xFFFF ? kDicomUndefinedLength : l16;
    }
  } else {
    e.vr[0] = e.vr[1] = 0;
    e.length = dicom_u32(b + 4, big);
  }
  return consumed;
}
