// The update check's reading of the versions page, and fetching it from a
// loopback server within its timeout.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <wx/init.h>
#include <wx/socket.h>

#include "app/update_check.h"

namespace {

TEST(VersionsPage, TitleDecidesWhetherAnUpdateIsOffered) {
  struct {
    const char* title;
    update_verdict verdict;
    const char* newest;
  } cases[] = {
      {"Norvelith 7.27", update_verdict::up_to_date, "7.27"},
      {"Norvelith 7.28", update_verdict::newer_available, "7.28"},
      {"Norvelith 7.100", update_verdict::newer_available, "7.100"},
      {"Norvelith 8.0", update_verdict::newer_available, "8.0"},
      // An older page is not offered as an update.
      {"Norvelith 7.26", update_verdict::up_to_date, "7.26"},
      {"Norvelith", update_verdict::unknown, ""},
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
  EXPECT_EQ(html_title("<html><body>no title</body></html>"), "");
  EXPECT_EQ(html_plain_text("<html><body>\n <p>Original location: http://a/b.htm</p>\n</body></html>"),
            "Original location: http://a/b.htm");
}

TEST(VersionsPage, NumericVersionComparison) {
  EXPECT_EQ(compare_versions("7.27", "7.27"), 0);
  EXPECT_EQ(compare_versions("7.27", "7.100"), -1);
  EXPECT_EQ(compare_versions("7.5", "7.27"), -1);
  EXPECT_EQ(compare_versions("8", "7.99"), 1);
  EXPECT_EQ(compare_versions("7.27.1", "7.27"), 1);
  EXPECT_EQ(compare_versions("7.27", "7.27.0"), 0);
}

TEST(VersionsPage, RedirectOnlyToWebAddressesOfTheSameServer) {
  const wxString fallback = "http://docs.example.test/versions.htm";
  EXPECT_TRUE(redirect_allowed("http://docs.example.test/real/versions.htm", fallback));
  EXPECT_TRUE(redirect_allowed("https://DOCS.example.test/v.htm", fallback));
  EXPECT_FALSE(redirect_allowed("http://evil.test/versions.htm", fallback));
  EXPECT_FALSE(redirect_allowed("file:///etc/passwd", fallback));
  EXPECT_FALSE(redirect_allowed("zip:/tmp/x.zip#zip:a.htm", fallback));
  EXPECT_FALSE(redirect_allowed("", fallback));
}

// A one-shot HTTP server on a loopback port: answers each connection with
// `reply`, or holds it silent when reply is empty.
class loopback_server {
 public:
  explicit loopback_server(std::string reply) : reply_(std::move(reply)) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    ::listen(fd_, 4);
    thread_ = std::thread([this] { serve(); });
  }
  ~loopback_server() {
    stop_ = true;
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
    thread_.join();
  }
  int port() const { return port_; }

 private:
  void serve() {
    while (!stop_) {
      int c = ::accept(fd_, nullptr, nullptr);
      if (c < 0) return;
      char buf[2048];
      ::recv(c, buf, sizeof buf, 0);
      if (!reply_.empty()) {
        ::send(c, reply_.data(), reply_.size(), 0);
      } else {
        while (!stop_) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      ::close(c);
    }
  }
  std::string reply_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class Fetch : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { wxSocketBase::Initialize(); }
  wxInitializer init_;
};

TEST_F(Fetch, ReadsThePageFromAServer) {
  loopback_server server(
      "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n"
      "<html><head><title>Norvelith 7.28</title></head><body>New</body></html>");
  wxString html;
  ASSERT_TRUE(fetch_web_page(wxString::Format("http://127.0.0.1:%d/versions.htm", server.port()), 3, &html));
  EXPECT_EQ(html_title(html), "Norvelith 7.28");
}

TEST_F(Fetch, GivesUpWithinItsTimeoutOnASilentServer) {
  loopback_server server("");
  wxString html;
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(fetch_web_page(wxString::Format("http://127.0.0.1:%d/versions.htm", server.port()), 1, &html));
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_LE(seconds, 4);
}

TEST_F(Fetch, RefusesAddressesThatAreNotPlainWebPages) {
  wxString html;
  EXPECT_FALSE(fetch_web_page("file:///etc/hostname", 1, &html));
  EXPECT_FALSE(fetch_web_page("not an address", 1, &html));
  EXPECT_TRUE(html.empty());
}

TEST(UpdateAddresses, AreBuildSettings) {
  EXPECT_TRUE(update_page_address().StartsWith("http://"));
  EXPECT_TRUE(update_fallback_address().StartsWith("http://"));
  EXPECT_FALSE(home_page_address().empty());
  EXPECT_GT(update_timeout_seconds(), 0);
  EXPECT_LE(update_timeout_seconds(), 10);
}

}  // namespace
