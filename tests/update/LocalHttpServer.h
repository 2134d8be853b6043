#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "update/TestSockets.h"

// What the test server does with each request it reads.
struct ServerScript {
  int status = 200;
  std::string body;
  // Reads the request and then never answers, until the client gives up or
  // the server is stopped.
  bool silent = false;
};

// An HTTP server on 127.0.0.1 for one test, on its own thread. It answers
// every connection by its script and stops by itself after kLifetimeMs even
// when nobody stops it, so a failing test cannot leave it running.
class LocalHttpServer {
 public:
  static constexpr int kLifetimeMs = 30000;

  explicit LocalHttpServer(ServerScript script);
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  bool Listening() const { return listener != kNoSocket; }
  unsigned short Port() const { return port; }
  // The head (request line and header lines) of the last request read.
  std::string LastRequestHead() const;
  int Connections() const { return connections.load(); }
  // True once a silent connection has ended because the client closed it;
  // waits up to timeoutMs for the server to notice.
  bool ClientGaveUp(int timeoutMs) const;

 private:
  void Run();
  void Serve(TestSocket connection);
  bool ReadRequestHead(TestSocket connection);
  void WaitForClientToLeave(TestSocket connection);
  bool TimeIsUp() const;

  const ServerScript script;
  unsigned short port = 0;
  TestSocket listener = kNoSocket;
  std::atomic<bool> stopping{false};
  std::atomic<int> connections{0};
  std::atomic<bool> clientGaveUp{false};
  mutable std::mutex requestLock;
  std::string requestHead;
  const std::chrono::steady_clock::time_point started;
  std::thread thread;
};
