// The update check of the Help menu, also run at start-up.
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/html/htmlwin.h>
#include <wx/log.h>
#include <wx/sizer.h>
#include <wx/utils.h>

#include "app/app_dialogs.h"
#include "app/main_frame.h"
#include "app/update_check.h"

void MainFrame::OnHelpUpdate(wxCommandEvent&) {
  wxString html;
  bool have_page = false;
  {
    wxLogNull quiet;  // failed loads report nothing of their own
    const int timeout = update_timeout_seconds();
    if (fetch_web_page(update_page_address(), timeout, &html)) {
      have_page = true;
    } else if (fetch_web_page(update_fallback_address(), timeout, &html)) {
      wxString address;
      const wxString text = html_plain_text(html);
      html.clear();
      if (text.StartsWith(L"Original location: ", &address)) {
        address.Trim(true).Trim(false);
        have_page = redirect_allowed(address, update_fallback_address()) &&
                    fetch_web_page(address, timeout, &html);
      }
    }
  }
  if (!have_page) {
    wxLogWarning(L"Could not access web page with Norvelith version information.");
    return;
  }

  wxDialog dialog(this, wxID_ANY, L"Check for updates", wxDefaultPosition, wxSize(600, 500),
                  wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxRESIZE_BORDER);
  auto* page = new wxHtmlWindow(&dialog, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                wxHW_DEFAULT_STYLE | wxHW_NO_SELECTION);
  page->SetBorders(0);
  page->SetPage(html);
  if (wxHtmlContainerCell* cell = page->GetInternalRepresentation()) {
    cell->Layout(600);
    page->SetSize(cell->GetWidth(), cell->GetHeight());
  }
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(page, 1, wxEXPAND | wxALL, 10);

  wxString newest;
  const update_verdict verdict = judge_versions_page(html_title(html), NV_VERSION_TEXT, &newest);
  const bool offer = verdict == update_verdict::newer_available;
  if (offer) {
    wxLogWarning(L"Version %s of Norvelith is now available.\n\nThe currently running version of "
                 L"Norvelith is %s.\nClick 'update' to visit the download web pages.",
                 newest, NV_VERSION_TEXT);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(new wxButton(&dialog, wxID_CANCEL, L"Cancel"));
    row->AddStretchSpacer();
    row->Add(new wxButton(&dialog, wxID_OK, L"Update"));
    sizer->Add(row, 0, wxEXPAND);
  } else {
    if (verdict == update_verdict::up_to_date)
      wxLogMessage(L"The version of Norvelith is already up to date.");
    else
      wxLogWarning(L"Could not determine latest Norvelith version.");
    auto* ok = new wxButton(&dialog, wxID_OK, L"OK");
    ok->SetDefault();
    sizer->Add(ok, 0, wxALIGN_RIGHT | wxALL, 10);
  }
  dialog.SetSizer(sizer);
  // A batch or test run never waits on the dialog.
  if (dialogs_suppressed()) return;
  if (dialog.ShowModal() == wxID_OK && offer)
    wxLaunchDefaultBrowser(home_page_address(), wxBROWSER_NOBUSYCURSOR);
}
