#pragma once

#include <string>

#include "update/VersionServer.h"

class IGraphics;

// Our own version, as the messages show it and as a reply's number compares.
inline constexpr char kOwnVersionText[] = "1.1.1";
inline constexpr long long kOwnVersionNumber = 1101;

// The one message box that tells the user the outcome of a check.
struct VersionMessage {
  std::string text;
  std::string title;
  int type = 0;                 // message-box buttons and icon
  bool offersDownload = false;  // Yes opens the download page
};

// What a reply means to the user. A reply counts as invalid when it is too
// long, holds a "<" (a web page) or a zero byte, or carries a newer number
// without the three leading digits the version text is built from.
VersionMessage InterpretVersionReply(const VersionReply& reply);

// Asks the maker's web site for the newest version and shows the outcome in a
// message box of `ui`; on Yes to a newer version opens the download page.
// Runs to the end on the calling (user-interface) thread.
void CheckOnlineForUpdate(IGraphics* ui);

// Where the check sends its request: the maker's web site on port 80 with
// the normal limits, unless a test has re-bound it to a local server.
VersionServer VersionServerInUse();
// For tests: re-bind the request's host, port and limits; an empty host
// restores the maker's web site.
void SetVersionServerForTests(const VersionServer& server);
