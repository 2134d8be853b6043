#include "update/LocalHttpServer.h"

#include <utility>

namespace {

constexpr int kPollMs = 20;
constexpr std::size_t kMaxRequestHead = 16 * 1024;

std::string StatusLine(int status) {
  const char* reason = status == 200 ? "OK" : status == 404 ? "Not Found" : "Other";
  return "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n";
}

}  // namespace

LocalHttpServer::LocalHttpServer(ServerScript script)
    : script(std::move(script)), started(std::chrono::steady_clock::now()) {
  listener = ListenOnLoopback(&port);
  if (listener != kNoSocket) thread = std::thread([this] { Run(); });
}

LocalHttpServer::~LocalHttpServer() {
  stopping = true;
  if (thread.joinable()) thread.join();
  CloseSocket(listener);
}

std::string LocalHttpServer::LastRequestHead() const {
  std::lock_guard<std::mutex> hold(requestLock);
  return requestHead;
}

bool LocalHttpServer::ClientGaveUp(int timeoutMs) const {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!clientGaveUp && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
  }
  return clientGaveUp;
}

bool LocalHttpServer::TimeIsUp() const {
  return stopping ||
         std::chrono::steady_clock::now() - started > std::chrono::milliseconds(kLifetimeMs);
}

void LocalHttpServer::Run() {
  while (!TimeIsUp()) {
    if (!WaitReadable(listener, kPollMs)) continue;
    const TestSocket connection = AcceptConnection(listener);
    if (connection == kNoSocket) continue;
    ++connections;
    Serve(connection);
    CloseSocket(connection);
  }
}

void LocalHttpServer::Serve(TestSocket connection) {
  if (!ReadRequestHead(connection)) return;
  if (script.silent) {
    WaitForClientToLeave(connection);
    return;
  }
  const std::string head = StatusLine(script.status) +
                           "Content-Type: text/plain\r\n"
                           "Content-Length: " +
                           std::to_string(script.body.size()) +
                           "\r\n"
                           "Connection: close\r\n\r\n";
  if (SendAll(connection, head.data(), head.size())) {
    SendAll(connection, script.body.data(), script.body.size());
  }
}

bool LocalHttpServer::ReadRequestHead(TestSocket connection) {
  std::string head;
  char buffer[1024];
  while (head.find("\r\n\r\n") == std::string::npos) {
    if (TimeIsUp() || head.size() > kMaxRequestHead) return false;
    if (!WaitReadable(connection, kPollMs)) continue;
    const long got = ReceiveSome(connection, buffer, sizeof buffer);
    if (got <= 0) return false;
    head.append(buffer, static_cast<std::size_t>(got));
  }
  std::lock_guard<std::mutex> hold(requestLock);
  requestHead = head.substr(0, head.find("\r\n\r\n"));
  return true;
}

void LocalHttpServer::WaitForClientToLeave(TestSocket connection) {
  char buffer[256];
  while (!TimeIsUp()) {
    if (!WaitReadable(connection, kPollMs)) continue;
    if (ReceiveSome(connection, buffer, sizeof buffer) <= 0) {
      clientGaveUp = true;
      return;
    }
  }
}
