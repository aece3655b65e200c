// The Help menu: the help window at the last action's page, the update
// check against a loopback server, the web pages and the About box.
#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/html/helpctrl.h>
#include <wx/html/htmlwin.h>
#include <wx/menu.h>

#include "app/about_box.h"
#include "app/app_ids.h"
#include "settings/comment_dlg.h"
#include "settings/graphics_dlg.h"
#include "settings/mouse_dlg.h"
#include "app/update_check.h"
#include "layout_support.h"
#include "loopback_http.h"
#include "registry/resource_table.h"

namespace {

void menu(MainFrame* f, int id) {
  wxCommandEvent event(wxEVT_MENU, id);
  event.SetEventObject(f);
  f->GetEventHandler()->ProcessEvent(event);
  pump_events(3);
}

const char kHome[] = "http://127.0.0.1:9/norvelith/";
const char kNoAccess[] = "Could not access web page with Norvelith version information.";
const char kUpToDate[] = "The version of Norvelith is already up to date.";
const char kUnknown[] = "Could not determine latest Norvelith version.";

TEST(StartUp, TheUpdateCheckWithoutAServerNeitherHoldsUpNorStaysSilent) {
  // Each address gets at most 3 s; a fetch without a time limit would hold
  // start-up for minutes. The margin covers sanitizer builds on busy machines.
  EXPECT_LT(g_startup_seconds, 12.0);
  bool warned = false;
  for (const auto& r : g_startup_log) warned |= r.level == wxLOG_Warning && r.text == kNoAccess;
  EXPECT_TRUE(warned);
}

// ------------------------------------------------------------------- help

TEST(Help, OpensAtThePageOfTheLastAction) {
  MainFrame* f = main_frame;
  ASSERT_TRUE(f->help_available);
  EXPECT_TRUE(f->GetMenuBar()->IsEnabled(ID_HELP_INDEX));
  const struct {
    int command;
    const char* page;
  } cases[] = {
      {ID_CONFIG_MOUSE, "mouse_shortcuts.htm"},
      {ID_CONFIG_LOCATION, "positions.htm"},
      {ID_CONFIG_DISPLAY, "dicom_display.htm"},
      {ID_CONFIG_GRAPHICS, "graphics.htm"},
  };
  for (const auto& c : cases) {
    menu(f, c.command);
    menu(f, ID_HELP_INDEX);
    wxHtmlHelpWindow* window = f->help_controller->GetHelpWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->GetHtmlWindow()->GetOpenedPage().EndsWith(c.page))
        << window->GetHtmlWindow()->GetOpenedPage() << " for " << c.page;
    EXPECT_TRUE(window->GetHtmlWindow()->ToText().Length() > 20) << c.page;
  }
  for (wxDialog* d : std::initializer_list<wxDialog*>{f->location_dialog, f->mouse_dialog, f->graphics_dialog,
                                                     f->display_dialog})
    d->Hide();
  f->close_help_window();
  pump_events(5);
  f->help_page = "using_norvelith.htm";
}

// The first link cell of the page, or null.
const wxHtmlLinkInfo* first_link(const wxHtmlCell* cell) {
  for (; cell; cell = cell->GetNext()) {
    if (const wxHtmlLinkInfo* link = cell->GetLink()) return link;
    if (const wxHtmlLinkInfo* link = first_link(cell->GetFirstChild())) return link;
  }
  return nullptr;
}

// Help pages are read as HTML whatever type the system gives ".htm": the
// reader sees the page's title and text, not its tags, and links lead on.
TEST(Help, PagesRenderWithTheirTitleAndWorkingLinks) {
  MainFrame* f = main_frame;
  ASSERT_TRUE(f->help_available);
  f->help_page = "using_norvelith.htm";
  menu(f, ID_HELP_INDEX);
  wxHtmlHelpWindow* window = f->help_controller->GetHelpWindow();
  ASSERT_NE(window, nullptr);
  wxHtmlWindow* html = window->GetHtmlWindow();
  EXPECT_TRUE(html->GetOpenedPage().EndsWith("using_norvelith.htm")) << html->GetOpenedPage();
  EXPECT_EQ(html->GetOpenedPageTitle(), "Using Norvelith");
  wxString text = html->ToText();
  EXPECT_TRUE(text.Trim(false).StartsWith("Using Norvelith")) << text;
  EXPECT_TRUE(text.Contains("How the main window is laid out")) << text;
  for (const char* tag : {"<", ">", "title", "href"}) EXPECT_FALSE(text.Contains(tag)) << tag << " in " << text;
  EXPECT_TRUE(f->help_controller->GetFrame()->GetTitle().Contains("Using Norvelith"))
      << f->help_controller->GetFrame()->GetTitle();

  const wxHtmlLinkInfo* link = first_link(html->GetInternalRepresentation());
  ASSERT_NE(link, nullptr) << "no link on the page";
  EXPECT_EQ(link->GetHref(), "toolbar.htm");
  html->OnLinkClicked(*link);
  pump_events(3);
  EXPECT_TRUE(html->GetOpenedPage().EndsWith("toolbar.htm")) << html->GetOpenedPage();
  EXPECT_EQ(html->GetOpenedPageTitle(), "Toolbar");
  EXPECT_TRUE(html->ToText().Contains("The mouse tools")) << html->ToText();
  f->close_help_window();
  pump_events(5);
}

TEST(Help, WithoutTheArchiveTheCommandReportsAndIsDisabled) {
  const wxString exec_dir = resource_table->RES_EXEC_DIR->read();
  resource_table->RES_EXEC_DIR->write(wxString::FromUTF8(g_layout_root + "/home"));
  {
    log_capture log;
    extra_frame shown(1000, 800, true);
    MainFrame* f = shown.frame;
    EXPECT_TRUE(log.has(wxLOG_Error, "Failed to load help file norvelith_help.zip\nHelp menu item will be inactive."));
    EXPECT_FALSE(f->GetMenuBar()->IsEnabled(ID_HELP_INDEX));
    for (int k = 0; k < 2; ++k) {  // every time it is used
      log.clear();
      wxCommandEvent event(wxEVT_MENU, ID_HELP_INDEX);
      f->OnHelpIndex(event);
      EXPECT_EQ(log.count(wxLOG_Error), 1);
      EXPECT_TRUE(log.has(wxLOG_Error, "Failed to load help file norvelith_help.zip\nHelp menu item is disabled."));
    }
    EXPECT_FALSE(f->GetMenuBar()->IsEnabled(ID_HELP_INDEX));
    EXPECT_EQ(f->help_controller->GetHelpWindow(), nullptr);
  }
  resource_table->RES_EXEC_DIR->write(exec_dir);
}

// ---------------------------------------------------------- update check

// What the update dialog showed.
struct seen_dialog {
  wxString title;
  wxSize size;
  std::vector<std::pair<int, wxString>> buttons;  // id, label
  int default_id = wxID_NONE;
  wxString page_text;
};

enum class user_action { press_ok, press_cancel, close_box };

// Runs the update check with the versions page served as `title`; the
// dialog, if any, is noted and then answered as a user would.
struct update_run {
  update_run(const std::string& main_url, user_action action) {
    wxSetEnv(L"NV_UPDATE_URL", wxString::FromUTF8(main_url));
    interactive_dialogs interactive;
    modal_answer hook([this, action](wxDialog* d) {
      seen.emplace_back();
      seen_dialog& s = seen.back();
      s.title = d->GetTitle();
      s.size = d->GetSize();
      for (wxWindow* child : d->GetChildren()) {
        if (auto* b = dynamic_cast<wxButton*>(child)) {
          s.buttons.push_back({b->GetId(), b->GetLabel()});
        }
        if (auto* html = dynamic_cast<wxHtmlWindow*>(child)) s.page_text = html->ToText();
      }
      if (wxWindow* item = d->GetDefaultItem()) s.default_id = item->GetId();
      // The dialog runs; the answer comes from within its event loop.
      d->CallAfter([d, action] {
        if (action == user_action::close_box) {
          d->Close();
          return;
        }
        const int id = action == user_action::press_ok ? wxID_OK : wxID_CANCEL;
        if (wxWindow* b = d->FindWindow(id)) {
          wxCommandEvent click(wxEVT_BUTTON, id);
          click.SetEventObject(b);
          b->GetEventHandler()->ProcessEvent(click);
        }
      });
      return static_cast<int>(wxID_NONE);
    });
    clear_browser_calls();
    menu(main_frame, ID_HELP_UPDATE);
    records = log.records();
  }
  bool logged(wxLogLevel level, const std::string& text) const {
    for (const auto& r : records)
      if (r.level == level && r.text == text) return true;
    return false;
  }
  log_capture log;
  std::vector<log_capture::record> records;
  std::vector<seen_dialog> seen;
};

using button_list = std::vector<std::pair<int, wxString>>;

TEST(UpdateCheck, ANewerVersionIsOfferedAndUpdateOpensTheHomePage) {
  loopback_http server({{"/versions.htm", loopback_http::titled("Norvelith 7.30", "Fixes and a new page")}});
  update_run run(server.url("/versions.htm"), user_action::press_ok);
  ASSERT_EQ(run.seen.size(), 1u);
  const seen_dialog& d = run.seen[0];
  EXPECT_EQ(d.title, "Check for updates");
  EXPECT_EQ(d.size, wxSize(600, 500));
  EXPECT_EQ(d.buttons, (button_list{{wxID_CANCEL, "Cancel"}, {wxID_OK, "Update"}}));
  EXPECT_TRUE(d.page_text.Contains("Fixes and a new page")) << d.page_text;
  EXPECT_TRUE(run.logged(wxLOG_Warning,
                         "Version 7.30 of Norvelith is now available.\n\nThe currently running version of "
                         "Norvelith is 7.27.\nClick 'update' to visit the download web pages."));
  EXPECT_EQ(browser_calls(1, 5000), std::vector<std::string>{kHome});
}

TEST(UpdateCheck, CancelOrTheCloseBoxOpenNoBrowser) {
  loopback_http server({{"/versions.htm", loopback_http::titled("Norvelith 7.30")}});
  for (user_action action : {user_action::press_cancel, user_action::close_box}) {
    update_run run(server.url("/versions.htm"), action);
    ASSERT_EQ(run.seen.size(), 1u);
    EXPECT_EQ(run.seen[0].buttons.size(), 2u);
    EXPECT_TRUE(browser_calls_settled().empty());
  }
}

TEST(UpdateCheck, NoNewerVersionOrNoVersionGivesAnOkButtonAndItsMessage) {
  const struct {
    const char* title;
    wxLogLevel level;
    const char* message;
  } cases[] = {
      {"Norvelith 7.27", wxLOG_Message, kUpToDate},
      // An older version is no update.
      {"Norvelith 7.26", wxLOG_Message, kUpToDate},
      {"Norvelith", wxLOG_Warning, kUnknown},
      {"Other 7.30", wxLOG_Warning, kUnknown},
  };
  for (const auto& c : cases) {
    loopback_http server({{"/versions.htm", loopback_http::titled(c.title, "Version list")}});
    update_run run(server.url("/versions.htm"), user_action::press_ok);
    ASSERT_EQ(run.seen.size(), 1u) << c.title;
    EXPECT_EQ(run.seen[0].buttons, (button_list{{wxID_OK, "OK"}})) << c.title;
    EXPECT_EQ(run.seen[0].default_id, wxID_OK) << c.title;
    EXPECT_TRUE(run.seen[0].page_text.Contains("Version list")) << c.title;
    EXPECT_TRUE(run.logged(c.level, c.message)) << c.title;
    EXPECT_FALSE(run.logged(wxLOG_Warning, "Version 7.26 of Norvelith is now available.\n\nThe currently running "
                                           "version of Norvelith is 7.27.\nClick 'update' to visit the download "
                                           "web pages."));
    EXPECT_TRUE(browser_calls_settled().empty()) << c.title;
  }
}

TEST(UpdateCheck, NoServerWarnsAndShowsNoDialog) {
  const std::string nowhere =
      "http://127.0.0.1:" + std::to_string(loopback_http::closed_port()) + "/versions.htm";
  update_run run(nowhere, user_action::press_ok);
  EXPECT_TRUE(run.seen.empty());
  EXPECT_TRUE(run.logged(wxLOG_Warning, kNoAccess));
  int shown = 0;
  for (const auto& r : run.records) shown += r.level <= wxLOG_Info;
  EXPECT_EQ(shown, 1) << "failed loads report nothing of their own";
}

// A build without an update server says so in one line and loads nothing.
TEST(UpdateCheck, WithoutAnUpdateServerTheCommandSaysSoInOneLine) {
  wxString main_before, fallback_before;
  wxGetEnv(L"NV_UPDATE_URL", &main_before);
  wxGetEnv(L"NV_UPDATE_FALLBACK_URL", &fallback_before);
  wxSetEnv(L"NV_UPDATE_URL", L"");
  wxSetEnv(L"NV_UPDATE_FALLBACK_URL", L"");
  std::vector<log_capture::record> records;
  int dialogs = 0;
  {
    interactive_dialogs interactive;
    modal_answer hook([](wxDialog*) { return static_cast<int>(wxID_OK); });
    log_capture log;
    menu(main_frame, ID_HELP_UPDATE);
    records = log.records();
    dialogs = hook.entered();
  }
  wxSetEnv(L"NV_UPDATE_URL", main_before);
  wxSetEnv(L"NV_UPDATE_FALLBACK_URL", fallback_before);
  EXPECT_EQ(dialogs, 0);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].level, wxLOG_Message);
  EXPECT_EQ(records[0].text, "This build of Norvelith has no update server to check for updates.");
  EXPECT_EQ(records[0].text.find('\n'), std::string::npos);
}

TEST(UpdateCheck, TheFallbackServerMayNameTheRealPage) {
  loopback_http real({{"/versions.htm", loopback_http::titled("Norvelith 7.31")}});
  loopback_http fallback(
      {{"/fallback.htm", loopback_http::page("<p>Original location: " + real.url("/versions.htm") + "</p>")}});
  wxString before;
  wxGetEnv(L"NV_UPDATE_FALLBACK_URL", &before);
  wxSetEnv(L"NV_UPDATE_FALLBACK_URL", wxString::FromUTF8(fallback.url("/fallback.htm")));
  {
    update_run run("http://127.0.0.1:" + std::to_string(loopback_http::closed_port()) + "/versions.htm",
                   user_action::press_cancel);
    ASSERT_EQ(run.seen.size(), 1u);
    EXPECT_EQ(run.seen[0].buttons.size(), 2u);
    EXPECT_EQ(real.requests(), std::vector<std::string>{"/versions.htm"});
  }
  wxSetEnv(L"NV_UPDATE_FALLBACK_URL", before);
}

// ------------------------------------------------------ web pages, About

TEST(Help, OnlinePagesOpenTheHomePageInTheBrowser) {
  clear_browser_calls();
  menu(main_frame, ID_HELP_ONLINE);
  EXPECT_EQ(browser_calls(1, 5000), std::vector<std::string>{kHome});
}

TEST(Help, AboutBoxNamesTheProgramVersionAndWebSite) {
  const wxAboutDialogInfo info = norvelith_about_info();
  EXPECT_EQ(info.GetName(), "Norvelith");
  EXPECT_EQ(info.GetVersion(), "7.27 Rev: 22nd March 2024");
  EXPECT_EQ(info.GetWebSiteURL(), kHome);
  EXPECT_EQ(info.GetWebSiteDescription(), makers_page_address());
  EXPECT_NE(info.GetWebSiteDescription(), info.GetWebSiteURL());
  EXPECT_TRUE(info.HasCopyright());
  EXPECT_TRUE(info.HasDescription());
}

}  // namespace
