// The update check's reading of the versions page, fetching it from a
// loopback server within its timeout, and the search through the fallback
// server.
#include <stdlib.h>

#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "app/update_check.h"
#include "loopback_http.h"

namespace {

using steady = std::chrono::steady_clock;

double seconds_since(steady::time_point t0) {
  return std::chrono::duration<double>(steady::now() - t0).count();
}

TEST(VersionsPage, TitleDecidesWhetherAnUpdateIsOffered) {
  struct {
    const char* title;
    update_verdict verdict;
    const char* newest;
  } cases[] = {
      {"Norvelith 7.27", update_verdict::up_to_date, "7.27"},
      {"Norvelith 7.28", update_verdict::newer_available, "7.28"},
      {"Norvelith 7.30", update_verdict::newer_available, "7.30"},
      {"Norvelith 7.100", update_verdict::newer_available, "7.100"},
      {"Norvelith 8.0", update_verdict::newer_available, "8.0"},
      // An older page is not offered as an update.
      {"Norvelith 7.26", update_verdict::up_to_date, "7.26"},
      {"Norvelith 7.3", update_verdict::up_to_date, "7.3"},
      {"Norvelith", update_verdict::unknown, ""},
      {"norvelith 9.0", update_verdict::unknown, ""},
      {"Other 9.0", update_verdict::unknown, ""},
  };
  for (const auto& c : cases) {
    wxString newest;
    EXPECT_EQ(judge_versions_page(c.title, "7.27", &newest), c.verdict) << c.title;
    EXPECT_EQ(newest, wxString(c.newest)) << c.title;
  }
}

TEST(VersionsPage, TitleAndPlainText) {
  EXPECT_EQ(html_title("<html><head><TITLE> Norvelith 7.28 </TITLE></head><body>x</body></html>"),
            "Norvelith 7.28");
  EXPECT_EQ(html_title("<title>A</title><p>b</p><title>C</title>"), "A");
  EXPECT_EQ(html_title("<html><body>no title</body></html>"), "");
  EXPECT_EQ(html_plain_text("<html><body>\n <p>Original location: http://a/b.htm</p>\n</body></html>"),
            "Original location: http://a/b.htm");
}

TEST(VersionsPage, NumericVersionComparison) {
  struct {
    const char *a, *b;
    int result;
  } cases[] = {
      {"7.27", "7.27", 0},  {"7.27", "7.100", -1}, {"7.5", "7.27", -1},  {"7.30", "7.27", 1},
      {"8", "7.99", 1},     {"7.27.1", "7.27", 1}, {"7.27", "7.27.0", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(compare_versions(c.a, c.b), c.result) << c.a << " vs " << c.b;
}

TEST(VersionsPage, RedirectOnlyToWebAddressesOfTheSameServer) {
  const wxString product = "http://docs.example.test/versions.htm";
  struct {
    const char* address;
    bool allowed;
  } cases[] = {
      {"http://docs.example.test/real/versions.htm", true},
      {"https://DOCS.example.test/v.htm", true},
      {"http://docs.example.test:8080/v.htm", true},
      {"http://evil.test/versions.htm", false},
      {"http://docs.example.test.evil.test/v.htm", false},
      {"file:///etc/passwd", false},
      {"zip:/tmp/x.zip#zip:a.htm", false},
      {"ftp://docs.example.test/v.htm", false},
      {"http://docs.example.test/a b.htm", false},
      {"http://docs.example.test/v.htm\r\nX-Injected: 1", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(redirect_allowed(c.address, product), c.allowed) << c.address;
}

// ------------------------------------------------------------ fetching

TEST(Fetch, ReadsThePageFromAServer) {
  loopback_http server({{"/versions.htm", loopback_http::titled("Norvelith 7.28")},
                        {"/q?x=1", loopback_http::titled("Query")}});
  wxString html;
  ASSERT_TRUE(fetch_web_page(server.url("/versions.htm"), 3, &html));
  EXPECT_EQ(html_title(html), "Norvelith 7.28");
  ASSERT_TRUE(fetch_web_page(server.url("/q?x=1"), 3, &html));
  EXPECT_EQ(html_title(html), "Query");
  EXPECT_EQ(server.requests(), (std::vector<std::string>{"/versions.htm", "/q?x=1"}));
}

TEST(Fetch, OnlyASuccessfulAnswerWithABodyIsAPage) {
  struct {
    const char* name;
    std::string reply;
  } cases[] = {
      {"not found", loopback_http::page("<title>Norvelith 7.28</title>", "404 Not Found")},
      {"server error", loopback_http::page("<title>Norvelith 7.28</title>", "500 Internal Server Error")},
      {"moved", "HTTP/1.0 301 Moved\r\nLocation: file:///etc/passwd\r\n\r\n"},
      {"empty body", loopback_http::page("")},
      {"not http", "<title>Norvelith 7.28</title>"},
      {"no header end", "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n"},
      {"too large", loopback_http::page(std::string(2 << 20, 'x'))},
  };
  for (const auto& c : cases) {
    loopback_http server({{"/v.htm", c.reply}});
    wxString html = "stale";
    EXPECT_FALSE(fetch_web_page(server.url("/v.htm"), 3, &html)) << c.name;
    EXPECT_TRUE(html.empty()) << c.name;
  }
}

TEST(Fetch, GivesUpWithinItsTimeoutOnASilentServer) {
  loopback_http server({}, loopback_http::silent, std::chrono::seconds(10));
  wxString html;
  const auto t0 = steady::now();
  EXPECT_FALSE(fetch_web_page(server.url("/versions.htm"), 1, &html));
  EXPECT_LT(seconds_since(t0), 2.5);
}

TEST(Fetch, NoServerFailsAtOnce) {
  wxString html;
  const auto t0 = steady::now();
  EXPECT_FALSE(fetch_web_page(wxString::Format("http://127.0.0.1:%d/v.htm", loopback_http::closed_port()), 3, &html));
  EXPECT_LT(seconds_since(t0), 1.0);
}

TEST(Fetch, RefusesAddressesThatAreNotPlainWebPages) {
  for (const char* address : {"file:///etc/hostname", "https://127.0.0.1/v.htm", "not an address",
                              "http://127.0.0.1:99999/v.htm", "http:///v.htm", "http://127.0.0.1/v.htm\r\nX: 1"}) {
    wxString html;
    EXPECT_FALSE(fetch_web_page(address, 1, &html)) << address;
    EXPECT_TRUE(html.empty()) << address;
  }
}

// ------------------------------------------------------------ searching

TEST(FindVersionsPage, MainServerFirstThenTheFallbackAndItsRedirect) {
  const std::string closed = "http://127.0.0.1:" + std::to_string(loopback_http::closed_port()) + "/versions.htm";
  loopback_http server({{"/main.htm", loopback_http::titled("Norvelith 7.30", "main")},
                        {"/real.htm", loopback_http::titled("Norvelith 7.31", "real")}});
  const std::string real = server.url("/real.htm");
  struct {
    const char* name;
    std::string main;
    std::string fallback_body;  // served as /fallback.htm
    bool found;
    const char* title;
  } cases[] = {
      {"main server", server.url("/main.htm"), "", true, "Norvelith 7.30"},
      {"redirect", closed, "<html><body>\n  Original location: " + real + "  \n</body></html>", true,
       "Norvelith 7.31"},
      {"main server answers 404", server.url("/none.htm"), "<p>Original location: " + real + "</p>", true,
       "Norvelith 7.31"},
      {"fallback without the prefix", closed, "<title>Norvelith 7.40</title>Moved to " + real, false, ""},
      {"prefix not at the start", closed, "See: Original location: " + real, false, ""},
      // Another host name, although it is the same machine.
      {"redirect to another server", closed,
       "Original location: http://localhost:" + std::to_string(server.port()) + "/real.htm", false, ""},
      {"redirect to a local file", closed, "Original location: file:///etc/hostname", false, ""},
      {"redirect to a missing page", closed, "Original location: " + server.url("/none.htm"), false, ""},
  };
  for (const auto& c : cases) {
    loopback_http fallback({{"/fallback.htm", loopback_http::page(c.fallback_body)}});
    update_sources_t sources;
    sources.main = c.main;
    // The fallback lives on its own port of the same loopback host.
    sources.fallback = fallback.url("/fallback.htm");
    sources.timeout_s = 2;
    wxString html = "stale";
    EXPECT_EQ(find_versions_page(sources, &html), c.found) << c.name;
    EXPECT_EQ(html_title(html), c.title) << c.name;
    if (c.found && c.main == closed) {
      EXPECT_EQ(fallback.requests().size(), 1u) << c.name;
    }
  }
  // The main server answered only for itself and the redirects it allows.
  for (const std::string& path : server.requests()) EXPECT_NE(path, "/fallback.htm");
}

TEST(FindVersionsPage, NoServerAtAllEndsQuickly) {
  update_sources_t sources;
  sources.main = "http://127.0.0.1:" + std::to_string(loopback_http::closed_port()) + "/versions.htm";
  sources.fallback = "http://127.0.0.1:" + std::to_string(loopback_http::closed_port()) + "/versions.htm";
  sources.timeout_s = 3;
  wxString html;
  const auto t0 = steady::now();
  EXPECT_FALSE(find_versions_page(sources, &html));
  EXPECT_LT(seconds_since(t0), 1.0);
}

TEST(UpdateAddresses, AreBuildSettingsUnlessTheEnvironmentNamesOthers) {
  ::unsetenv("NV_UPDATE_URL");
  ::unsetenv("NV_UPDATE_FALLBACK_URL");
  ::unsetenv("NV_HOME_PAGE_URL");
  // What this build was configured with.
  EXPECT_EQ(update_page_address(), NV_CONFIGURED_UPDATE_URL);
  EXPECT_EQ(update_fallback_address(), NV_CONFIGURED_UPDATE_FALLBACK_URL);
  EXPECT_EQ(update_server_configured(),
            std::string(NV_CONFIGURED_UPDATE_URL).size() + std::string(NV_CONFIGURED_UPDATE_FALLBACK_URL).size() > 0);
  EXPECT_TRUE(home_page_address().StartsWith("http"));
  EXPECT_FALSE(makers_page_address().empty());
  EXPECT_GT(update_timeout_seconds(), 0);
  EXPECT_LE(update_timeout_seconds(), 10);

  ::setenv("NV_UPDATE_URL", "http://127.0.0.1:9/v.htm", 1);
  ::setenv("NV_HOME_PAGE_URL", "http://127.0.0.1:9/", 1);
  EXPECT_EQ(update_page_address(), "http://127.0.0.1:9/v.htm");
  EXPECT_EQ(configured_update_sources().main, "http://127.0.0.1:9/v.htm");
  EXPECT_EQ(home_page_address(), "http://127.0.0.1:9/");
  EXPECT_TRUE(update_server_configured());

  // Set to nothing: no update server, whatever the build says.
  const struct {
    const char* main;
    const char* fallback;
    bool server;
  } cases[] = {
      {"", "", false},
      {"http://127.0.0.1:9/v.htm", "", true},
      {"", "http://127.0.0.1:9/f.htm", true},
  };
  for (const auto& c : cases) {
    ::setenv("NV_UPDATE_URL", c.main, 1);
    ::setenv("NV_UPDATE_FALLBACK_URL", c.fallback, 1);
    EXPECT_EQ(update_server_configured(), c.server) << c.main << " | " << c.fallback;
  }
  ::unsetenv("NV_UPDATE_URL");
  ::unsetenv("NV_UPDATE_FALLBACK_URL");
  ::unsetenv("NV_HOME_PAGE_URL");
  EXPECT_EQ(update_page_address(), NV_CONFIGURED_UPDATE_URL);
}

}  // namespace
