#include "app/update_check.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <wx/regex.h>
#include <wx/uri.h>
#include <wx/utils.h>

#include "app/app_rules.h"

// Empty addresses: the build has no update server.
#ifndef NV_UPDATE_URL
#define NV_UPDATE_URL ""
#endif
#ifndef NV_UPDATE_FALLBACK_URL
#define NV_UPDATE_FALLBACK_URL ""
#endif
#ifndef NV_HOME_PAGE_URL
#define NV_HOME_PAGE_URL "http://www.norvelith.invalid/"
#endif
#ifndef NV_MAKERS_PAGE_URL
#define NV_MAKERS_PAGE_URL "http://www.norvelith.invalid/about_us.htm"
#endif
#ifndef NV_UPDATE_TIMEOUT_SECONDS
#define NV_UPDATE_TIMEOUT_SECONDS 3
#endif

namespace {

// A variable that is set wins even when empty, so that a run can also
// take the server away.
wxString setting(const wchar_t* variable, const char* built_in) {
  wxString value;
  if (wxGetEnv(variable, &value)) return value;
  return wxString::FromUTF8(built_in);
}

using steady = std::chrono::steady_clock;

// A larger answer is no versions page.
constexpr size_t kMaxPageBytes = 1 << 20;

int ms_left(steady::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - steady::now()).count();
  return left > 0 ? static_cast<int>(std::min<long long>(left, 60000)) : 0;
}

struct resolved_t {
  sockaddr_storage address{};
  socklen_t length = 0;
};

bool first_address(const std::string& host, const std::string& port, int flags, resolved_t* out) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = flags;
  addrinfo* list = nullptr;
  if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &list) != 0 || !list) return false;
  std::memcpy(&out->address, list->ai_addr, list->ai_addrlen);
  out->length = list->ai_addrlen;
  ::freeaddrinfo(list);
  return true;
}

// Looks the host up within the deadline. The resolver cannot be
// interrupted, so a name is looked up on a thread of its own that is left
// to finish by itself when it takes too long: without a network, start-up
// must not wait for the resolver's own timeouts.
bool resolve(const std::string& host, const std::string& port, steady::time_point deadline, resolved_t* out) {
  if (first_address(host, port, AI_NUMERICHOST | AI_NUMERICSERV, out)) return true;
  struct lookup_t {
    std::mutex mutex;
    std::condition_variable done_cv;
    bool done = false, ok = false;
    resolved_t result;
  };
  auto lookup = std::make_shared<lookup_t>();
  std::thread([lookup, host, port] {
    resolved_t found;
    const bool ok = first_address(host, port, AI_NUMERICSERV, &found);
    std::lock_guard<std::mutex> lock(lookup->mutex);
    lookup->ok = ok;
    lookup->result = found;
    lookup->done = true;
    lookup->done_cv.notify_all();
  }).detach();
  std::unique_lock<std::mutex> lock(lookup->mutex);
  if (!lookup->done_cv.wait_until(lock, deadline, [&] { return lookup->done; }) || !lookup->ok) return false;
  *out = lookup->result;
  return true;
}

struct socket_t {
  int fd = -1;
  ~socket_t() {
    if (fd >= 0) ::close(fd);
  }
};

bool wait_for(int fd, short events, steady::time_point deadline) {
  for (;;) {
    const int ms = ms_left(deadline);
    if (ms <= 0) return false;
    pollfd p{fd, events, 0};
    const int n = ::poll(&p, 1, ms);
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return false;
  }
}

bool connect_to(const resolved_t& where, steady::time_point deadline, socket_t* s) {
  s->fd = ::socket(where.address.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (s->fd < 0) return false;
  if (::connect(s->fd, reinterpret_cast<const sockaddr*>(&where.address), where.length) == 0) return true;
  if (errno != EINPROGRESS) return false;
  if (!wait_for(s->fd, POLLOUT, deadline)) return false;
  int error = 0;
  socklen_t len = sizeof error;
  return ::getsockopt(s->fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0;
}

bool send_all(const socket_t& s, const std::string& data, steady::time_point deadline) {
  size_t sent = 0;
  while (sent < data.size()) {
    if (!wait_for(s.fd, POLLOUT, deadline)) return false;
    const ssize_t n = ::send(s.fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    if (n > 0) sent += static_cast<size_t>(n);
  }
  return true;
}

// Everything the server sends until it closes the connection.
bool receive_all(const socket_t& s, steady::time_point deadline, std::string* reply) {
  char buffer[8192];
  for (;;) {
    if (!wait_for(s.fd, POLLIN, deadline)) return false;
    const ssize_t n = ::recv(s.fd, buffer, sizeof buffer, 0);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EAGAIN || errno == EINTR) continue;
      return false;
    }
    reply->append(buffer, static_cast<size_t>(n));
    if (reply->size() > kMaxPageBytes) return false;
  }
}

// The body of a "200" answer; false for any other status.
bool page_body(const std::string& reply, std::string* body) {
  size_t end = reply.find("\r\n\r\n");
  size_t skip = 4;
  if (end == std::string::npos) {
    end = reply.find("\n\n");
    skip = 2;
  }
  if (end == std::string::npos) return false;
  // "HTTP/1.x 200", then the end of the line or a reason text.
  const std::string status = reply.substr(0, reply.find('\n'));
  if (status.size() < 12 || status.compare(0, 7, "HTTP/1.") != 0 || status.compare(8, 4, " 200") != 0 ||
      (status.size() > 12 && status[12] != ' ' && status[12] != '\r'))
    return false;
  *body = reply.substr(end + skip);
  return true;
}

// An address to put into a request line or header must hold no blanks or
// control characters.
bool plain_text(const wxString& text) {
  for (wxUniChar c : text)
    if (c <= ' ' || c == 0x7f) return false;
  return true;
}

}  // namespace

wxString update_page_address() { return setting(L"NV_UPDATE_URL", NV_UPDATE_URL); }
wxString update_fallback_address() { return setting(L"NV_UPDATE_FALLBACK_URL", NV_UPDATE_FALLBACK_URL); }
wxString home_page_address() { return setting(L"NV_HOME_PAGE_URL", NV_HOME_PAGE_URL); }
wxString makers_page_address() { return wxString::FromUTF8(NV_MAKERS_PAGE_URL); }
int update_timeout_seconds() { return NV_UPDATE_TIMEOUT_SECONDS; }

bool update_server_configured() {
  return !update_page_address().empty() || !update_fallback_address().empty();
}

update_sources_t configured_update_sources() {
  update_sources_t sources;
  sources.main = update_page_address();
  sources.fallback = update_fallback_address();
  sources.timeout_s = update_timeout_seconds();
  return sources;
}

wxString html_title(const wxString& html) {
  wxRegEx re(L"<title[^>]*>(.*?)</title>", wxRE_ADVANCED | wxRE_ICASE);
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

bool redirect_allowed(const wxString& address, const wxString& product_address) {
  if (!plain_text(address)) return false;
  wxURI target(address), product(product_address);
  const wxString scheme = target.GetScheme().Lower();
  if (scheme != L"http" && scheme != L"https") return false;
  return !target.GetServer().empty() && target.GetServer().IsSameAs(product.GetServer(), false);
}

bool fetch_web_page(const wxString& address, int timeout_s, wxString* html) {
  html->clear();
  if (!plain_text(address)) return false;
  wxURI uri(address);
  if (uri.GetScheme().Lower() != L"http" || uri.GetServer().empty()) return false;
  unsigned long port = 80;
  if (uri.HasPort() && (!uri.GetPort().ToULong(&port) || port == 0 || port > 65535)) return false;
  const auto deadline = steady::now() + std::chrono::seconds(std::max(timeout_s, 1));

  resolved_t where;
  socket_t s;
  if (!resolve(uri.GetServer().ToStdString(), std::to_string(port), deadline, &where) ||
      !connect_to(where, deadline, &s))
    return false;

  wxString path = uri.GetPath();
  if (path.empty()) path = L"/";
  if (uri.HasQuery()) path += L"?" + uri.GetQuery();
  wxString host = uri.GetServer();
  if (uri.HasPort()) host += L":" + uri.GetPort();
  const std::string request = "GET " + path.ToStdString() + " HTTP/1.0\r\nHost: " + host.ToStdString() +
                              "\r\nUser-Agent: Norvelith/" + wxString(NV_VERSION_TEXT).ToStdString() +
                              "\r\nAccept: text/html\r\nConnection: close\r\n\r\n";
  std::string reply, body;
  if (!send_all(s, request, deadline) || !receive_all(s, deadline, &reply) || !page_body(reply, &body))
    return false;
  *html = wxString::FromUTF8(body.data(), body.size());
  if (html->empty() && !body.empty()) *html = wxString::From8BitData(body.data(), body.size());
  return !html->empty();
}

bool find_versions_page(const update_sources_t& sources, wxString* html) {
  if (fetch_web_page(sources.main, sources.timeout_s, html)) return true;
  if (!fetch_web_page(sources.fallback, sources.timeout_s, html)) return false;
  wxString address;
  const wxString text = html_plain_text(*html);
  html->clear();
  if (!text.StartsWith(L"Original location: ", &address)) return false;
  address.Trim(true).Trim(false);
  // The fallback page comes unauthenticated: it may only send us on to the
  // product's own servers, never to a local file or another site.
  if (!redirect_allowed(address, sources.main) && !redirect_allowed(address, sources.fallback)) return false;
  return fetch_web_page(address, sources.timeout_s, html);
}

update_verdict judge_versions_page(const wxString& title, const wxString& running, wxString* newest) {
  wxString version;
  if (!title.StartsWith(L"Norvelith ", &version)) return update_verdict::unknown;
  if (newest) *newest = version;
  // Only a later version is offered; an older page is no reason to update.
  return compare_versions(version, running) > 0 ? update_verdict::newer_available
                                                : update_verdict::up_to_date;
}
