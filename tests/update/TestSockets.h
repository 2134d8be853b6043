#pragma once

#include <cstddef>
#include <cstdint>

// Just enough TCP on 127.0.0.1 for a test's own HTTP server: BSD sockets or
// Winsock behind one small interface.
using TestSocket = std::intptr_t;
inline constexpr TestSocket kNoSocket = -1;

// Listens on 127.0.0.1; port 0 picks a free port. Sets *port to the port
// bound. kNoSocket on failure.
TestSocket ListenOnLoopback(unsigned short* port);

// A loopback port that nothing listens on (bound once, then released).
unsigned short UnusedLoopbackPort();

// True when the socket has something to read (or a connection to accept, or
// the peer closed) within timeoutMs.
bool WaitReadable(TestSocket socket, int timeoutMs);

// The accepted connection, with sends bounded in time so that a client that
// stops reading cannot hold the server forever.
TestSocket AcceptConnection(TestSocket listener);

// Bytes read, 0 when the peer closed, negative on error.
long ReceiveSome(TestSocket socket, char* buffer, std::size_t size);

// False when the peer went away before everything was sent.
bool SendAll(TestSocket socket, const char* data, std::size_t size);

void CloseSocket(TestSocket socket);
