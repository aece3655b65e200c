// The check for a newer version: fetching the versions page with a short
// timeout and reading the newest version from its title.
#pragma once

#include <wx/string.h>

// The web addresses (build settings).
wxString update_page_address();
wxString update_fallback_address();
wxString home_page_address();
int update_timeout_seconds();

// The text between <title> and </title>, trimmed; empty when there is none.
wxString html_title(const wxString& html);

// The plain text of a page: tags removed, white space at both ends trimmed.
wxString html_plain_text(const wxString& html);

// Numeric comparison of dotted versions ("7.27" < "7.100"); -1, 0 or 1.
// Parts that are not numbers compare as text.
int compare_versions(const wxString& a, const wxString& b);

// A fallback page may name the real location of the versions page; only an
// http or https address on the fallback server's own host is followed.
bool redirect_allowed(const wxString& address, const wxString& fallback_address);

// Fetches an http page within timeout_s seconds for connecting and for
// each read. False, with nothing logged, when it cannot.
bool fetch_web_page(const wxString& address, int timeout_s, wxString* html);

// What the versions page says about this version.
enum class update_verdict { newer_available, up_to_date, unknown };
update_verdict judge_versions_page(const wxString& title, const wxString& running, wxString* newest);
