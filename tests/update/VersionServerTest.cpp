#include <gtest/gtest.h>

#include <string>

#include "update/ExpectedMessages.h"
#include "update/LocalHttpServer.h"
#include "update/VersionCheck.h"
#include "update/VersionServer.h"

namespace {

constexpr char kLoopback[] = "127.0.0.1";

VersionServer LocalServer(unsigned short port) {
  VersionServer server;
  server.host = kLoopback;
  server.port = port;
  // Short limits: the loopback server answers at once or never.
  server.connectLimitMs = 1000;
  server.replyLimitMs = 1000;
  return server;
}

VersionMessage CheckAgainst(const ServerScript& script) {
  LocalHttpServer server(script);
  EXPECT_TRUE(server.Listening());
  return InterpretVersionReply(FetchVersionReply(LocalServer(server.Port())));
}

ServerScript Reply(const std::string& body) {
  ServerScript script;
  script.body = body;
  return script;
}

}  // namespace

TEST(VersionServer, SendsTheVersionRequest) {
  LocalHttpServer server(Reply("1101"));
  ASSERT_TRUE(server.Listening());
  const VersionReply reply = FetchVersionReply(LocalServer(server.Port()));
  EXPECT_EQ(reply.status, VersionReplyStatus::kReceived);
  EXPECT_EQ(reply.bytes, "1101");
  // Every line, the last one too, ends in a line break.
  const std::string head = server.LastRequestHead() + "\r\n";
  EXPECT_EQ(head.substr(0, head.find("\r\n")), "GET /music/version/?file=redi HTTP/1.1");
  EXPECT_NE(head.find("\r\nUser-Agent: REDI\r\n"), std::string::npos) << head;
  EXPECT_NE(head.find("\r\nAccept: */*\r\n"), std::string::npos) << head;
}

TEST(VersionServer, RepliesAtTheLengthLimitAreReadAndLongerOnesAreInvalid) {
  // A newer number padded with spaces to exactly the limit is still read whole.
  std::string atLimit = "1102";
  atLimit.resize(kMaxVersionReplyBytes, ' ');
  EXPECT_EQ(CheckAgainst(Reply(atLimit)), expected::NewVersion("1.1.2" + atLimit.substr(4)));
  EXPECT_EQ(CheckAgainst(Reply(atLimit + " ")), expected::Invalid());

  LocalHttpServer server(Reply("1102" + std::string(1024 * 1024, '\n')));
  const VersionReply reply = FetchVersionReply(LocalServer(server.Port()));
  EXPECT_EQ(reply.status, VersionReplyStatus::kTooLong);
  EXPECT_LE(reply.bytes.size(), kMaxVersionReplyBytes);
  EXPECT_EQ(InterpretVersionReply(reply), expected::Invalid());
}

TEST(VersionServer, UnreachableSilentAndFailingServersGiveTheErrorMessage) {
  // Nothing listens on the port: the connection is refused.
  EXPECT_EQ(InterpretVersionReply(FetchVersionReply(LocalServer(UnusedLoopbackPort()))),
            expected::Error());

  // An error page is no version number, whatever it holds.
  ServerScript notFound = Reply("1102");
  notFound.status = 404;
  EXPECT_EQ(CheckAgainst(notFound), expected::Error());

  // A server that takes the request and never answers: the reply limit ends
  // the wait, and it is the client that gives up.
  ServerScript silent;
  silent.silent = true;
  LocalHttpServer server(silent);
  EXPECT_EQ(InterpretVersionReply(FetchVersionReply(LocalServer(server.Port()))),
            expected::Error());
  EXPECT_EQ(server.Connections(), 1);
  EXPECT_TRUE(server.ClientGaveUp(5000));
}
