#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "update/TestSockets.h"

namespace {

sockaddr_in Loopback(unsigned short port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace

TestSocket ListenOnLoopback(unsigned short* port) {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) return kNoSocket;
  sockaddr_in address = Loopback(*port);
  socklen_t length = sizeof address;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 8) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(s);
    return kNoSocket;
  }
  *port = ntohs(address.sin_port);
  return s;
}

unsigned short UnusedLoopbackPort() {
  unsigned short port = 0;
  const TestSocket s = ListenOnLoopback(&port);
  CloseSocket(s);
  return port;
}

bool WaitReadable(TestSocket socket, int timeoutMs) {
  pollfd entry{static_cast<int>(socket), POLLIN, 0};
  return poll(&entry, 1, timeoutMs) > 0;
}

TestSocket AcceptConnection(TestSocket listener) {
  const int s = accept(static_cast<int>(listener), nullptr, nullptr);
  if (s < 0) return kNoSocket;
  timeval limit{5, 0};
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  return s;
}

long ReceiveSome(TestSocket socket, char* buffer, std::size_t size) {
  return static_cast<long>(recv(static_cast<int>(socket), buffer, size, 0));
}

bool SendAll(TestSocket socket, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t sent = send(static_cast<int>(socket), data, size, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

void CloseSocket(TestSocket socket) {
  if (socket != kNoSocket) close(static_cast<int>(socket));
}
