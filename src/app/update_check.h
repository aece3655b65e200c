// The check for a newer version: fetching the versions page with a short
// timeout and reading the newest version from its title. No windows here;
// the Help menu's handler shows the result.
#pragma once

#include <wx/string.h>

// The web addresses are build settings; a test run may replace each with an
// environment variable of the same name (NV_UPDATE_URL,
// NV_UPDATE_FALLBACK_URL, NV_HOME_PAGE_URL), read only when it is set; a
// variable set to nothing stands for an empty address.
wxString update_page_address();
wxString update_fallback_address();
wxString home_page_address();
// The makers' page, shown as the About box's link text.
wxString makers_page_address();
int update_timeout_seconds();

// The text between <title> and </title>, trimmed; empty when there is none.
wxString html_title(const wxString& html);

// The plain text of a page: tags removed, white space at both ends trimmed.
wxString html_plain_text(const wxString& html);

// Numeric comparison of dotted versions ("7.27" < "7.100"); -1, 0 or 1.
// Parts that are not numbers compare as text.
int compare_versions(const wxString& a, const wxString& b);

// A fallback page may name the real location of the versions page; only an
// http or https address on the server of `product_address` is followed.
bool redirect_allowed(const wxString& address, const wxString& product_address);

// Fetches an http page; connecting, sending and reading together take at
// most timeout_s seconds, name lookup included. Only a "200" answer with a
// body counts. False, with nothing logged, when it cannot.
bool fetch_web_page(const wxString& address, int timeout_s, wxString* html);

// False when both versions page addresses are empty: this build has no
// update server, so start-up checks nothing and Help > Check for updates
// only says so.
bool update_server_configured();

// Where the versions page is looked for.
struct update_sources_t {
  wxString main;      // the product's main web server
  wxString fallback;  // the documentation server
  int timeout_s = 3;  // for each load
};

// The configured sources.
update_sources_t configured_update_sources();

// Reads the versions page from the main server, else from the fallback,
// whose page may only name the real location after "Original location: ".
// False when neither gives a page.
bool find_versions_page(const update_sources_t& sources, wxString* html);

// What the versions page says about this version.
enum class update_verdict { newer_available, up_to_date, unknown };
update_verdict judge_versions_page(const wxString& title, const wxString& running, wxString* newest);
