// A bare TCP server on 127.0.0.1 that answers every connection with the same bytes, for answers a
// proper HTTP server never gives: silence, a broken status line, a body cut short.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

class RawLoopbackServer {
 public:
  // reply: the bytes sent once the request head has arrived. holdOpen: then keep the connection
  // open and silent until Stop, instead of closing it.
  RawLoopbackServer(std::string reply, bool holdOpen) : replies_{std::move(reply)}, holdOpen_(holdOpen) {}
  // One reply per connection, in order; the last one answers every further connection.
  RawLoopbackServer(std::vector<std::string> replies, bool holdOpen)
      : replies_(std::move(replies)), holdOpen_(holdOpen) {}
  ~RawLoopbackServer() { Stop(); }
  RawLoopbackServer(const RawLoopbackServer&) = delete;
  RawLoopbackServer& operator=(const RawLoopbackServer&) = delete;

  // Binds to a free loopback port and serves until Stop or destruction.
  void Start() {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 16) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        pipe2(wake_, O_CLOEXEC) != 0) {
      throw std::runtime_error("RawLoopbackServer could not listen");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }

  void Stop() {
    if (thread_.joinable()) {
      const char byte = 1;
      (void)!write(wake_[1], &byte, 1);
      thread_.join();
    }
    for (int fd : held_) close(fd);
    held_.clear();
    for (int* fd : {&listener_, &wake_[0], &wake_[1]}) {
      if (*fd >= 0) close(*fd);
      *fd = -1;
    }
  }

  int Port() const { return port_; }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  // How many connections have been answered so far.
  int Connections() const { return connections_.load(); }

 private:
  void Serve() {
    for (;;) {
      pollfd fds[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
      if (poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds[1].revents != 0) return;
      if ((fds[0].revents & POLLIN) == 0) continue;
      const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      Answer(fd);
    }
  }

  void Answer(int fd) {
    const std::size_t index = static_cast<std::size_t>(connections_++);
    const std::string& reply = replies_.empty() ? std::string() : replies_[std::min(index, replies_.size() - 1)];
    ReadRequestHead(fd);
    std::size_t sent = 0;
    while (sent < reply.size()) {
      const ssize_t n = send(fd, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<std::size_t>(n);
    }
    if (holdOpen_) {
      held_.push_back(fd);
    } else {
      shutdown(fd, SHUT_WR);
      close(fd);
    }
  }

  // Reads up to the blank line that ends the request head, so that closing afterwards is an
  // orderly close and not a reset. Gives up after two seconds or 64 KiB.
  void ReadRequestHead(int fd) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
      pollfd wait = {fd, POLLIN, 0};
      if (poll(&wait, 1, 2000) <= 0) return;
      const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) return;
      head.append(buffer, static_cast<std::size_t>(n));
    }
  }

  std::vector<std::string> replies_;
  bool holdOpen_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  int port_ = 0;
  std::atomic<int> connections_{0};
  std::vector<int> held_;
  std::thread thread_;
};
