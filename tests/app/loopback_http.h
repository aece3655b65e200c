// A tiny HTTP server for tests on 127.0.0.1 and an ephemeral port. It
// answers each request with the reply registered for its path (404
// otherwise), or holds connections silent. Every wait is bounded and the
// server stops by itself after `lifetime`, even if a test forgets it.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class loopback_http {
 public:
  enum mode_t { answer, silent };

  explicit loopback_http(std::map<std::string, std::string> replies, mode_t mode = answer,
                         std::chrono::seconds lifetime = std::chrono::seconds(60))
      : replies_(std::move(replies)), mode_(mode), end_(std::chrono::steady_clock::now() + lifetime) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) == 0 && ::listen(fd_, 8) == 0)
      port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  ~loopback_http() {
    stop_ = true;
    thread_.join();
    if (fd_ >= 0) ::close(fd_);
  }

  int port() const { return port_; }
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  // The paths asked for, in order.
  std::vector<std::string> requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

  static std::string page(const std::string& body, const std::string& status = "200 OK") {
    return "HTTP/1.0 " + status + "\r\nContent-Type: text/html\r\n\r\n" + body;
  }
  static std::string titled(const std::string& title, const std::string& body = "News") {
    return page("<html><head><title>" + title + "</title></head><body><p>" + body + "</p></body></html>");
  }

  // A loopback port on which nothing listens.
  static int closed_port() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
  }

 private:
  bool running() const { return !stop_ && std::chrono::steady_clock::now() < end_; }

  void serve() {
    while (running()) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const int c = ::accept(fd_, nullptr, nullptr);
      if (c < 0) continue;
      const std::string path = read_request_path(c);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(path);
      }
      if (mode_ == silent) {
        while (running()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      } else {
        auto it = replies_.find(path);
        const std::string reply = it != replies_.end() ? it->second : page("missing", "404 Not Found");
        ::send(c, reply.data(), reply.size(), MSG_NOSIGNAL);
      }
      ::close(c);
    }
  }

  // The path of the request line, read within two seconds.
  std::string read_request_path(int c) {
    std::string request;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    char buf[1024];
    while (request.find("\r\n\r\n") == std::string::npos && std::chrono::steady_clock::now() < until &&
           request.size() < 16384) {
      pollfd p{c, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = ::recv(c, buf, sizeof buf, 0);
      if (n <= 0) break;
      request.append(buf, static_cast<size_t>(n));
    }
    const size_t a = request.find(' '), b = request.find(' ', a + 1);
    return a == std::string::npos || b == std::string::npos ? std::string() : request.substr(a + 1, b - a - 1);
  }

  std::map<std::string, std::string> replies_;
  mode_t mode_;
  std::chrono::steady_clock::time_point end_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};
