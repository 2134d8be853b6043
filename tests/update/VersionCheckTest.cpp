#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <utility>

#include "editor/drawing/IGraphicsHeadless.h"
#include "update/ExpectedMessages.h"
#include "update/LocalHttpServer.h"
#include "update/MakerSite.h"
#include "update/VersionCheck.h"

namespace {

// Runs the whole check against a local server that answers by `script`, with
// an editor that gives `answers` to its message boxes.
class VersionCheckTest : public testing::Test {
 protected:
  void TearDown() override { SetVersionServerForTests(VersionServer()); }

  void Check(const ServerScript& script, std::deque<int> answers = {}) {
    LocalHttpServer server(script);
    ASSERT_TRUE(server.Listening());
    VersionServer local;
    local.host = "127.0.0.1";
    local.port = server.Port();
    local.connectLimitMs = 1000;
    local.replyLimitMs = 1000;
    SetVersionServerForTests(local);
    ui.messageBoxAnswers = std::move(answers);
    CheckOnlineForUpdate(&ui);
  }

  // The one message box the check showed.
  VersionMessage Shown() const {
    EXPECT_EQ(ui.messageBoxes.size(), 1u);
    if (ui.messageBoxes.empty()) return {};
    const IGraphicsHeadless::MessageBoxRequest& box = ui.messageBoxes.front();
    return {box.text, box.title, box.type, (box.type & expected::kYesNo) != 0};
  }

  IGraphicsHeadless ui{nullptr, 100, 100};
};

ServerScript Reply(const std::string& body) {
  ServerScript script;
  script.body = body;
  return script;
}

}  // namespace

TEST_F(VersionCheckTest, UpToDateRepliesShowTheInformationBox) {
  for (const char* reply : {"1101", "abc"}) {
    ui.messageBoxes.clear();
    Check(Reply(reply));
    EXPECT_EQ(Shown(), expected::UpToDate()) << "reply \"" << reply << "\"";
  }
  EXPECT_TRUE(ui.urls.empty());
}

TEST_F(VersionCheckTest, NewerVersionsAreAnnounced) {
  const struct {
    const char* reply;
    const char* version;
  } cases[] = {{"1102", "1.1.2"}, {"1110", "1.1.10"}, {"2000\n", "2.0.0\n"}};
  for (const auto& c : cases) {
    ui.messageBoxes.clear();
    Check(Reply(c.reply));
    EXPECT_EQ(Shown(), expected::NewVersion(c.version)) << "reply \"" << c.reply << "\"";
  }
}

TEST_F(VersionCheckTest, YesToANewVersionOpensTheDownloadPageAndNoOpensNothing) {
  Check(Reply("1102"), {kIDNO});
  EXPECT_TRUE(ui.urls.empty());

  Check(Reply("1102"), {kIDYES});
  ASSERT_EQ(ui.urls.size(), 1u);
  EXPECT_EQ(ui.urls[0].url, "http://www.welmora.example/music/vst.html");
  // Opened without a question or an error box of its own.
  EXPECT_EQ(ui.urls[0].confirm, "");
  EXPECT_EQ(ui.urls[0].errorText, "");
  EXPECT_EQ(ui.messageBoxes.size(), 2u);
}

TEST_F(VersionCheckTest, WebPagesAndOverlongRepliesShowTheInvalidCallBox) {
  Check(Reply("<html><body><h1>REDI</h1><p>Newest: 1102</p></body></html>\n"));
  EXPECT_EQ(Shown(), expected::Invalid());
  ui.messageBoxes.clear();
  Check(Reply(std::string(1024 * 1024, '9')));
  EXPECT_EQ(Shown(), expected::Invalid());
  EXPECT_TRUE(ui.urls.empty());
}

TEST_F(VersionCheckTest, EmptyRefusedAndUnansweredRequestsShowTheErrorBox) {
  Check(Reply(""));
  EXPECT_EQ(Shown(), expected::Error());

  ui.messageBoxes.clear();
  VersionServer refused;
  refused.host = "127.0.0.1";
  refused.port = UnusedLoopbackPort();
  SetVersionServerForTests(refused);
  CheckOnlineForUpdate(&ui);
  EXPECT_EQ(Shown(), expected::Error());

  ui.messageBoxes.clear();
  ServerScript silent;
  silent.silent = true;
  Check(silent);
  EXPECT_EQ(Shown(), expected::Error());
  EXPECT_TRUE(ui.urls.empty());
}

TEST(MakerSite, OneHostNameServesTheRequestTheMenuAndTheAddresses) {
  SetVersionServerForTests(VersionServer());
  const VersionServer site = VersionServerInUse();
  EXPECT_EQ(site.host, "www.welmora.example");
  EXPECT_EQ(site.port, 80);
  EXPECT_EQ(VisitMakerSiteItemText(), "Visit www.welmora.example");
  EXPECT_EQ(MakerSiteAddress(), "http://www.welmora.example/");
}
