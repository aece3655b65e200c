#include "app/update_check.h"

#include <memory>

#include <wx/regex.h>
#include <wx/sstream.h>
#include <wx/tokenzr.h>
#include <wx/uri.h>
#include <wx/url.h>

#ifndef NV_UPDATE_URL
#define NV_UPDATE_URL "http://updates.norvelith.invalid/versions.htm"
#endif
#ifndef NV_UPDATE_FALLBACK_URL
#define NV_UPDATE_FALLBACK_URL "http://docs.norvelith.invalid/versions.htm"
#endif
#ifndef NV_HOME_PAGE_URL
#define NV_HOME_PAGE_URL "http://www.norvelith.invalid/"
#endif
#ifndef NV_UPDATE_TIMEOUT_SECONDS
#define NV_UPDATE_TIMEOUT_SECONDS 3
#endif

wxString update_page_address() { return wxString::FromUTF8(NV_UPDATE_URL); }
wxString update_fallback_address() { return wxString::FromUTF8(NV_UPDATE_FALLBACK_URL); }
wxString home_page_address() { return wxString::FromUTF8(NV_HOME_PAGE_URL); }
int update_timeout_seconds() { return NV_UPDATE_TIMEOUT_SECONDS; }

wxString html_title(const wxString& html) {
  wxRegEx re(L"<title[^>]*>(.*)</title>", wxRE_ADVANCED | wxRE_ICASE);
  if (!re.Matches(html)) return wxEmptyString;
  wxString t = re.GetMatch(html, 1);
  return t.Trim(true).Trim(false);
}

wxString html_plain_text(const wxString& html) {
  wxString text = html;
  wxRegEx tags(L"<[^>]*>", wxRE_ADVANCED);
  tags.ReplaceAll(&text, L"");
  return text.Trim(true).Trim(false);
}

int compare_versions(const wxString& a, const wxString& b) {
  wxArrayString pa = wxSplit(a, '.'), pb = wxSplit(b, '.');
  const size_t n = std::max(pa.size(), pb.size());
  for (size_t k = 0; k < n; ++k) {
    wxString sa = k < pa.size() ? pa[k] : wxString(L"0");
    wxString sb = k < pb.size() ? pb[k] : wxString(L"0");
    unsigned long na = 0, nb = 0;
    if (sa.ToULong(&na) && sb.ToULong(&nb)) {
      if (na != nb) return na < nb ? -1 : 1;
    } else if (int c = sa.Cmp(sb)) {
      return c < 0 ? -1 : 1;
    }
  }
  return 0;
}

bool redirect_allowed(const wxString& address, const wxString& fallback_address) {
  wxURI target(address), fallback(fallback_address);
  const wxString scheme = target.GetScheme().Lower();
  if (scheme != L"http" && scheme != L"https") return false;
  return !target.GetServer().empty() && target.GetServer().IsSameAs(fallback.GetServer(), false);
}

bool fetch_web_page(const wxString& address, int timeout_s, wxString* html) {
  wxURL url(address);
  if (url.GetError() != wxURL_NOERR || url.GetScheme().Lower() != L"http") return false;
  url.GetProtocol().SetTimeout(timeout_s);
  std::unique_ptr<wxInputStream> in(url.GetInputStream());
  if (!in || !in->IsOk()) return false;
  wxStringOutputStream out(html, wxConvUTF8);
  in->Read(out);
  return !html->empty();
}

update_verdict judge_versions_page(const wxString& title, const wxString& running, wxString* newest) {
  wxString version;
  if (!title.StartsWith(L"Norvelith ", &version)) return update_verdict::unknown;
  if (newest) *newest = version;
  // Only a later version is offered; an older page is no reason to update.
  return compare_versions(version, running) > 0 ? update_verdict::newer_available
                                                : update_verdict::up_to_date;
}
