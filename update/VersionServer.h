#pragma once

#include <cstddef>
#include <string>

// Fetching the newest version number from the maker's web site: WinINet on
// Windows, libcurl elsewhere. Both send the same request and report the same
// outcomes.

inline constexpr char kVersionUserAgent[] = "REDI";
inline constexpr char kVersionObject[] = "music/version/?file=redi";
// The reply is a number and a line break; anything longer than this is not
// a version reply, and reading stops there.
inline constexpr std::size_t kMaxVersionReplyBytes = 64 * 1024;

// Where the request goes and how long it may take. Without the limits a
// server that accepts the connection and never answers would freeze the
// host's user interface for good.
struct VersionServer {
  std::string host;
  unsigned short port = 80;
  int connectLimitMs = 10000;
  int replyLimitMs = 10000;
};

enum class VersionReplyStatus {
  kReceived,  // a complete reply with status 200 (possibly empty)
  kFailed,    // no connection, refused, timed out, or a status other than 200
  kTooLong,   // more than kMaxVersionReplyBytes; `bytes` holds what was read
};

struct VersionReply {
  VersionReplyStatus status = VersionReplyStatus::kFailed;
  std::string bytes;
};

// Sends "GET music/version/?file=redi" to the server directly (no proxy, no
// cache) and reads the reply. Blocks the calling thread for at most about
// connectLimitMs + replyLimitMs.
VersionReply FetchVersionReply(const VersionServer& server);
