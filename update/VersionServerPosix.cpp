#include <curl/curl.h>

#include <memory>

#include "update/VersionServer.h"

namespace {

struct ReplySink {
  std::string bytes;
  bool tooLong = false;
};

size_t AppendToReply(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<ReplySink*>(user);
  const size_t length = size * count;
  if (length > kMaxVersionReplyBytes - sink->bytes.size()) {
    sink->tooLong = true;
    return 0;  // anything but `length` makes libcurl stop the transfer
  }
  sink->bytes.append(data, length);
  return length;
}

struct CurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct HeaderListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

}  // namespace

VersionReply FetchVersionReply(const VersionServer& server) {
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) return {};
  std::unique_ptr<curl_slist, HeaderListDeleter> headers(curl_slist_append(nullptr, "Accept: */*"));
  if (!headers) return {};

  const std::string url =
      "http://" + server.host + ":" + std::to_string(server.port) + "/" + kVersionObject;
  ReplySink sink;
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(c, CURLOPT_USERAGENT, kVersionUserAgent);
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  // Direct access, as on Windows: no proxy from the environment.
  curl_easy_setopt(c, CURLOPT_PROXY, "");
  // Follow a moved page as WinINet does, but never off the web.
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  // The host's threads must not see libcurl's alarm signals.
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(server.connectLimitMs));
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS,
                   static_cast<long>(server.connectLimitMs) + server.replyLimitMs);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, AppendToReply);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);

  const CURLcode result = curl_easy_perform(c);
  if (sink.tooLong) return {VersionReplyStatus::kTooLong, std::move(sink.bytes)};
  long status = 0;
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
  if (result != CURLE_OK || status != 200) return {};
  return {VersionReplyStatus::kReceived, std::move(sink.bytes)};
}
