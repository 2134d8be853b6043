#include "update/VersionCheck.h"

#include <cstddef>

#include "editor/IGraphics.h"
#include "update/MakerSite.h"

namespace {

constexpr char kProgramName[] = "REDI";
constexpr char kCheckTitle[] = "Check Online for Update";

VersionMessage ErrorMessage() {
  return {std::string("An error occurred while contacting ") + kMakerSiteHost + ".", kCheckTitle,
          kMB_OK | kMB_ICONERROR};
}

VersionMessage InvalidReplyMessage() {
  return {std::string("Invalid call to ") + kMakerSiteHost + ".", kCheckTitle,
          kMB_OK | kMB_ICONERROR};
}

VersionMessage UpToDateMessage() {
  return {"Your version is up to date.", kCheckTitle, kMB_OK | kMB_ICONINFORMATION};
}

VersionMessage NewVersionMessage(const std::string& newVersion) {
  const std::string text = std::string("A new version of ") + kProgramName + " is available.\n\n" +
                           "\tYour version: \t" + kOwnVersionText + "\n" + "\tNew version: \t" +
                           newVersion + "\n" + "\nDo you want to go to " + MakerSiteAddress() +
                           " to get the new version?";
  return {text, std::string("New Version of ") + kProgramName + " Detected", kMB_YESNO, true};
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The reply's leading number: white space and a sign allowed, conversion
// stops at the first non-digit. Saturates instead of overflowing; anything
// that large is newer than us either way.
long long LeadingNumber(const std::string& reply) {
  constexpr long long kCeiling = 1000000000000LL;
  std::size_t i = 0;
  while (i < reply.size() && IsSpace(reply[i])) ++i;
  bool negative = false;
  if (i < reply.size() && (reply[i] == '+' || reply[i] == '-')) negative = reply[i++] == '-';
  long long number = 0;
  for (; i < reply.size() && IsDigit(reply[i]); ++i) {
    if (number < kCeiling) number = number * 10 + (reply[i] - '0');
  }
  return negative ? -number : number;
}

std::size_t LeadingDigitCount(const std::string& reply) {
  std::size_t count = 0;
  while (count < reply.size() && IsDigit(reply[count])) ++count;
  return count;
}

// "1102" gives "1.1.2" and "1110" gives "1.1.10": major and minor are one
// digit each, a patch number written "0n" drops its zero. Needs three
// characters; the rest of the reply, line break included, stays.
std::string NewVersionText(const std::string& reply) {
  const std::size_t patchStart = reply[2] == '0' ? 3 : 2;
  return std::string(1, reply[0]) + "." + reply[1] + "." + reply.substr(patchStart);
}

}  // namespace

VersionMessage InterpretVersionReply(const VersionReply& reply) {
  const std::string& bytes = reply.bytes;
  if (reply.status == VersionReplyStatus::kFailed) return ErrorMessage();
  if (reply.status == VersionReplyStatus::kTooLong) return InvalidReplyMessage();
  if (bytes.empty()) return ErrorMessage();
  if (bytes.find('<') != std::string::npos || bytes.find('\0') != std::string::npos) {
    return InvalidReplyMessage();
  }
  if (LeadingNumber(bytes) <= kOwnVersionNumber) return UpToDateMessage();
  if (LeadingDigitCount(bytes) < 3) return InvalidReplyMessage();
  return NewVersionMessage(NewVersionText(bytes));
}

void CheckOnlineForUpdate(IGraphics* ui) {
  if (ui == nullptr) return;
  const VersionMessage message = InterpretVersionReply(FetchVersionReply(VersionServerInUse()));
  const int answer = ui->ShowMessageBox(message.text.c_str(), message.title.c_str(), message.type);
  // Only a real Yes opens the browser; a box that could not be shown is no consent.
  if (message.offersDownload && answer == kIDYES) ui->OpenURL(DownloadPageAddress().c_str());
}

namespace {

VersionServer& ServerOverride() {
  static VersionServer server;
  return server;
}

}  // namespace

VersionServer VersionServerInUse() {
  if (!ServerOverride().host.empty()) return ServerOverride();
  VersionServer site;
  site.host = kMakerSiteHost;
  return site;
}

void SetVersionServerForTests(const VersionServer& server) { ServerOverride() = server; }
