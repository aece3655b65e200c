// The Help menu: the help window at the page that fits the last action,
// the update check (also run at start-up), the web pages and the About box.
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/html/helpctrl.h>
#include <wx/filesys.h>
#include <wx/html/htmlfilt.h>
#include <wx/html/htmlwin.h>
#include <wx/log.h>
#include <wx/menu.h>
#include <wx/sizer.h>
#include <wx/stream.h>
#include <wx/utils.h>

#include <string>

#include "app/about_box.h"
#include "app/app_dialogs.h"
#include "app/app_ids.h"
#include "app/app_rules.h"
#include "app/main_frame.h"
#include "app/update_check.h"

namespace {

// The versions page in the update dialog. Nothing the page names is loaded
// into the dialog, since such loads would have no timeout and could reach
// any address; a link opens in the browser instead.
class versions_page_window : public wxHtmlWindow {
 public:
  versions_page_window(wxWindow* parent)
      : wxHtmlWindow(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxHW_DEFAULT_STYLE | wxHW_NO_SELECTION) {}

  wxHtmlOpeningStatus OnOpeningURL(wxHtmlURLType, const wxString&, wxString*) const override {
    return wxHTML_BLOCK;
  }
  void OnLinkClicked(const wxHtmlLinkInfo& link) override {
    const wxString href = link.GetHref();
    if (href.StartsWith(L"http://") || href.StartsWith(L"https://"))
      wxLaunchDefaultBrowser(href, wxBROWSER_NOBUSYCURSOR);
  }
};

// Fills the update dialog with the page and its buttons; true when an
// update is offered.
bool fill_update_dialog(wxDialog& dialog, const wxString& html) {
  auto* page = new versions_page_window(&dialog);
  page->SetBorders(0);
  page->SetPage(html);
  if (wxHtmlContainerCell* cell = page->GetInternalRepresentation()) {
    cell->Layout(dialog.GetClientSize().x);
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
  return offer;
}

// Our help pages are HTML. Some systems' MIME databases type ".htm" as
// application/xhtml+xml, which the toolkit's HTML filter refuses, so the
// help window would show the pages' source; this filter reads them as HTML
// whatever type they were given.
class help_page_filter : public wxHtmlFilter {
 public:
  bool CanRead(const wxFSFile& file) const override {
    const wxString where = file.GetLocation().Lower();
    return where.EndsWith(L".htm") || where.EndsWith(L".html");
  }
  wxString ReadFile(const wxFSFile& file) const override {
    wxInputStream* in = file.GetStream();
    if (!in) return wxEmptyString;
    std::string bytes;
    char buffer[4096];
    while (in->CanRead() && !in->Eof()) {
      in->Read(buffer, sizeof buffer);
      if (in->LastRead() == 0) break;
      bytes.append(buffer, in->LastRead());
    }
    wxString text = wxString::FromUTF8(bytes.data(), bytes.size());
    if (text.empty() && !bytes.empty()) text = wxString::From8BitData(bytes.data(), bytes.size());
    return text;
  }
};

}  // namespace

void install_help_page_filter() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  wxHtmlWindow::AddFilter(new help_page_filter);  // the toolkit owns and deletes it
}

void MainFrame::OnHelpIndex(wxCommandEvent&) {
  if (!help_available || !help_controller) {
    wxLogError(L"Failed to load help file norvelith_help.zip\nHelp menu item is disabled.");
    if (menu_bar && menu_bar->FindItem(ID_HELP_INDEX)) menu_bar->Enable(ID_HELP_INDEX, false);
    return;
  }
  help_controller->Display(help_page);
  if (wxFrame* frame = help_controller->GetFrame()) frame->Raise();
}

void MainFrame::OnHelpUpdate(wxCommandEvent&) {
  if (!update_server_configured()) {
    wxLogMessage(L"This build of Norvelith has no update server to check for updates.");
    return;
  }
  wxString html;
  bool have_page = false;
  {
    wxLogNull quiet;  // failed loads report nothing of their own
    have_page = find_versions_page(configured_update_sources(), &html);
  }
  if (!have_page) {
    wxLogWarning(L"Could not access web page with Norvelith version information.");
    return;
  }
  wxDialog dialog(this, wxID_ANY, L"Check for updates", wxDefaultPosition, wxSize(600, 500),
                  wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxRESIZE_BORDER);
  const bool offer = fill_update_dialog(dialog, html);
  // A batch run never waits on the dialog.
  if (dialogs_suppressed()) return;
  if (dialog.ShowModal() == wxID_OK && offer) wxLaunchDefaultBrowser(home_page_address(), wxBROWSER_NOBUSYCURSOR);
}

void MainFrame::OnHelpOnline(wxCommandEvent&) { wxLaunchDefaultBrowser(home_page_address(), wxBROWSER_NOBUSYCURSOR); }

void MainFrame::OnHelpAbout(wxCommandEvent&) { wxAboutBox(norvelith_about_info(), nullptr); }
