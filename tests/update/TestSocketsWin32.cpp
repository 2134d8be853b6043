#include <winsock2.h>

#include "update/TestSockets.h"

namespace {

bool SocketsStarted() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

SOCKET Native(TestSocket socket) { return static_cast<SOCKET>(socket); }

sockaddr_in Loopback(unsigned short port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace

TestSocket ListenOnLoopback(unsigned short* port) {
  if (!SocketsStarted()) return kNoSocket;
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return kNoSocket;
  sockaddr_in address = Loopback(*port);
  int length = sizeof address;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 8) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    closesocket(s);
    return kNoSocket;
  }
  *port = ntohs(address.sin_port);
  return static_cast<TestSocket>(s);
}

unsigned short UnusedLoopbackPort() {
  unsigned short port = 0;
  const TestSocket s = ListenOnLoopback(&port);
  CloseSocket(s);
  return port;
}

bool WaitReadable(TestSocket socket, int timeoutMs) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(Native(socket), &readable);
  timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  return select(0, &readable, nullptr, nullptr, &limit) > 0;
}

TestSocket AcceptConnection(TestSocket listener) {
  const SOCKET s = accept(Native(listener), nullptr, nullptr);
  if (s == INVALID_SOCKET) return kNoSocket;
  DWORD limitMs = 5000;
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limitMs), sizeof limitMs);
  return static_cast<TestSocket>(s);
}

long ReceiveSome(TestSocket socket, char* buffer, std::size_t size) {
  return recv(Native(socket), buffer, static_cast<int>(size), 0);
}

bool SendAll(TestSocket socket, const char* data, std::size_t size) {
  while (size > 0) {
    const int sent = send(Native(socket), data, static_cast<int>(size), 0);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

void CloseSocket(TestSocket socket) {
  if (socket != kNoSocket) closesocket(Native(socket));
}
