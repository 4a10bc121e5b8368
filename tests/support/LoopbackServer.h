// A cpp-httplib server on 127.0.0.1 and a free port, run on its own thread for one test.
#pragma once

#include <chrono>
#include <string>
#include <thread>

#include <httplib.h>

class LoopbackServer {
 public:
  LoopbackServer() = default;
  ~LoopbackServer() { Stop(); }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // Register handlers on this before Start.
  httplib::Server& Http() { return server_; }

  // Binds to a free loopback port and serves until Stop or destruction.
  void Start() {
    // Headers and body go out in separate writes; without this, Nagle's algorithm holds the body
    // back for the client's delayed acknowledgement, 40 ms on every reused connection.
    server_.set_tcp_nodelay(true);
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // stop() does nothing to a server that is not running yet, so a test that stops before the
    // thread got going would wait for ever in join.
    for (int i = 0; i < 5000 && !server_.is_running(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // The socket is already listening, so connections made before the thread runs just queue.
  }

  void Stop() {
    if (thread_.joinable()) {
      server_.stop();
      thread_.join();
    }
  }

  int Port() const { return port_; }

  // "http://127.0.0.1:PORT" followed by path.
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
};
