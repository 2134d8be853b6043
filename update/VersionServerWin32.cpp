#include <windows.h>
#include <wininet.h>

#include <memory>
#include <type_traits>

#include "update/VersionServer.h"

namespace {

struct InternetHandleDeleter {
  void operator()(void* handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<std::remove_pointer_t<HINTERNET>, InternetHandleDeleter>;

// WinINet's default limits are long or missing; set ours on every handle,
// since each handle type reads its own.
void SetLimits(HINTERNET handle, const VersionServer& server) {
  DWORD connect = static_cast<DWORD>(server.connectLimitMs);
  DWORD reply = static_cast<DWORD>(server.replyLimitMs);
  InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
  InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &reply, sizeof reply);
  InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &reply, sizeof reply);
}

bool StatusIsOk(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof status;
  return HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                        nullptr) &&
         status == HTTP_STATUS_OK;
}

// Reads in chunks of up to 1024 bytes until the reply ends, it grows too
// long, or the reply time runs out (each read is bounded by the receive
// limit, the whole reply by the deadline).
VersionReply ReadReply(HINTERNET request, const VersionServer& server) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(server.replyLimitMs);
  VersionReply reply;
  char chunk[1024];
  for (;;) {
    DWORD read = 0;
    if (!InternetReadFile(request, chunk, sizeof chunk, &read)) return {};
    if (read == 0) break;
    if (read > kMaxVersionReplyBytes - reply.bytes.size()) {
      reply.status = VersionReplyStatus::kTooLong;
      return reply;
    }
    reply.bytes.append(chunk, read);
    if (GetTickCount64() > deadline) return {};
  }
  reply.status = VersionReplyStatus::kReceived;
  return reply;
}

}  // namespace

VersionReply FetchVersionReply(const VersionServer& server) {
  InternetHandle session(
      InternetOpenA(kVersionUserAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  if (!session) return {};
  SetLimits(session.get(), server);
  InternetHandle connection(InternetConnectA(session.get(), server.host.c_str(), server.port,
                                             nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return {};
  SetLimits(connection.get(), server);
  const char* acceptTypes[] = {"*/*", nullptr};
  // Always ask the server: an answer from the local cache could be stale.
  const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
  InternetHandle request(HttpOpenRequestA(connection.get(), "GET", kVersionObject, nullptr, nullptr,
                                          acceptTypes, flags, 0));
  if (!request) return {};
  SetLimits(request.get(), server);
  if (!HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) return {};
  if (!StatusIsOk(request.get())) return {};
  return ReadReply(request.get(), server);
}
