// The VST 3 bundle's editor in a Linux host: the view attached to a window
// of ours and driven only by the host's run loop, a timer and the X
// connection's descriptor, as VST 3 hosts on Linux drive it.

#if defined(REDI_VST3_PLUGIN_PATH)  // built with the VST 3 bundle

#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <vector>

#include "editor_x11/EditorPixels.h"
#include "editor_x11/X11TestHost.h"
#include "framework/vst3/PlugView.h"
#include "instrument/ParameterIds.h"
#include "vst3/Vst3TestHost.h"

namespace {

using namespace vst3;
using x11test::HostWindow;
using x11test::kEditorH;
using x11test::kEditorW;
using Clock = std::chrono::steady_clock;

bool HaveDisplay() {
  static Display* const keeper = XOpenDisplay(nullptr);
  return keeper != nullptr;
}

// The host's run loop on its frame, as Ardour, REAPER and Bitwig offer it.
class HostRunLoop final : public IPlugFrame, public Linux::IRunLoop {
 public:
  tresult VST3_CALL queryInterface(const TUID iid, void** obj) override {
    *obj = nullptr;
    if (FUnknown::iid.Equals(iid) || IPlugFrame::iid.Equals(iid)) {
      *obj = static_cast<IPlugFrame*>(this);
    } else if (Linux::IRunLoop::iid.Equals(iid)) {
      *obj = static_cast<Linux::IRunLoop*>(this);
    }
    if (*obj == nullptr) return kNoInterface;
    ++references;
    return kResultOk;
  }
  uint32 VST3_CALL addRef() override { return ++references; }
  uint32 VST3_CALL release() override { return --references; }

  tresult VST3_CALL resizeView(IPlugView*, ViewRect*) override { return kResultFalse; }

  tresult VST3_CALL registerEventHandler(Linux::IEventHandler* handler, int fd) override {
    if (handler == nullptr) return kInvalidArgument;
    handler->addRef();
    handlers.push_back({handler, fd});
    return kResultOk;
  }
  tresult VST3_CALL unregisterEventHandler(Linux::IEventHandler* handler) override {
    for (auto it = handlers.begin(); it != handlers.end(); ++it) {
      if (it->handler != handler) continue;
      handler->release();
      handlers.erase(it);
      return kResultOk;
    }
    return kInvalidArgument;
  }
  tresult VST3_CALL registerTimer(Linux::ITimerHandler* handler, uint64 ms) override {
    if (handler == nullptr || ms == 0) return kInvalidArgument;
    handler->addRef();
    timers.push_back({handler, ms, Clock::now()});
    return kResultOk;
  }
  tresult VST3_CALL unregisterTimer(Linux::ITimerHandler* handler) override {
    for (auto it = timers.begin(); it != timers.end(); ++it) {
      if (it->handler != handler) continue;
      handler->release();
      timers.erase(it);
      return kResultOk;
    }
    return kInvalidArgument;
  }

  // One turn of the loop: descriptors that are readable, timers that are due.
  void Turn() {
    std::vector<pollfd> fds;
    for (const Handler& h : handlers) fds.push_back({h.fd, POLLIN, 0});
    poll(fds.data(), fds.size(), 0);
    for (size_t i = 0; i < fds.size() && i < handlers.size(); ++i) {
      if (fds[i].revents != 0) handlers[i].handler->onFDIsSet(handlers[i].fd);
    }
    const Clock::time_point now = Clock::now();
    for (size_t i = 0; i < timers.size(); ++i) {
      if (now - timers[i].last < std::chrono::milliseconds(timers[i].ms)) continue;
      timers[i].last = now;
      timers[i].handler->onTimer();
    }
  }
  void RunFor(int ms) {
    x11test::IdleFor(ms, [this] { Turn(); });
  }

  struct Handler {
    Linux::IEventHandler* handler;
    int fd;
  };
  struct Timer {
    Linux::ITimerHandler* handler;
    uint64 ms;
    Clock::time_point last;
  };
  std::vector<Handler> handlers;
  std::vector<Timer> timers;
  int references = 1;
};

class Vst3X11View : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveDisplay()) GTEST_SKIP() << "no X server (the suite runs under xvfb-run)";
    ASSERT_TRUE(plug.Ready());
    view = plug.controller->createView("editor");
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(view->setFrame(&loop), kResultOk);
  }
  void TearDown() override {
    if (view != nullptr) {
      view->setFrame(nullptr);
      EXPECT_EQ(view->release(), 0u);
    }
    EXPECT_EQ(loop.references, 1);  // every reference the view took is given back
  }
  bool Attach(const HostWindow& host) {
    return view->attached(host.Handle(), kPlatformTypeX11EmbedWindowID) == kResultOk;
  }

  testhost::Instance plug;
  HostRunLoop loop;
  IPlugView* view = nullptr;
};

TEST_F(Vst3X11View, ShowsTheEditorDrivenByTheHostsTimerAndDescriptor) {
  HostWindow host(kEditorW, kEditorH);
  const int errorsBefore = x11test::HostErrors();
  ASSERT_TRUE(Attach(host));
  ASSERT_EQ(loop.handlers.size(), 1u);
  EXPECT_GE(loop.handlers[0].fd, 0);
  ASSERT_EQ(loop.timers.size(), 1u);
  EXPECT_GE(loop.timers[0].ms, 10u);
  EXPECT_LE(loop.timers[0].ms, 50u);
  EXPECT_EQ(host.Children(), 1);
  // Attaching twice keeps the one window.
  EXPECT_EQ(view->attached(host.Handle(), kPlatformTypeX11EmbedWindowID), kResultFalse);

  loop.RunFor(400);
  const std::vector<uint32_t> shown = host.Capture(kEditorW, kEditorH);
  x11test::SaveImage("x11_vst3_editor_window", shown, kEditorW, kEditorH);
  EXPECT_EQ(x11test::DifferentPixels(shown, x11test::HeadlessRender(false)), 0);

  EXPECT_EQ(view->removed(), kResultOk);
  EXPECT_TRUE(loop.handlers.empty());
  EXPECT_TRUE(loop.timers.empty());
  EXPECT_EQ(host.Children(), 0);
  EXPECT_EQ(view->removed(), kResultFalse);
  EXPECT_EQ(x11test::HostErrors(), errorsBefore);
}

TEST_F(Vst3X11View, MouseInputThroughTheRunLoopReachesTheHostAsOneEdit) {
  HostWindow host(kEditorW, kEditorH);
  ASSERT_TRUE(Attach(host));
  loop.RunFor(300);
  const int x = host.RootX() + 70, y = host.RootY() + 84;
  std::vector<x11test::Input> drag = {x11test::Move(x, y), x11test::Wait(60), x11test::Press(1)};
  for (int step = 1; step <= 6; ++step) {
    drag.push_back(x11test::Move(x, y - 6 * step));
    drag.push_back(x11test::Wait(40));
  }
  drag.push_back(x11test::Release(1));
  ASSERT_TRUE(x11test::IdleUntilDone(x11test::SendInput(drag), [this] { loop.Turn(); }));

  std::vector<char> kinds;
  for (const testhost::ComponentHandler::Edit& edit : plug.handler.edits) {
    EXPECT_EQ(edit.id, static_cast<ParamID>(kTune));
    if (kinds.empty() || kinds.back() != edit.kind) kinds.push_back(edit.kind);
  }
  EXPECT_EQ(kinds, (std::vector<char>{'b', 'p', 'e'}));
  EXPECT_GT(plug.controller->getParamNormalized(kTune), 0.5);
  EXPECT_EQ(view->removed(), kResultOk);
}

TEST_F(Vst3X11View, TwentyAttachAndRemoveCyclesLeaveNothingBehind) {
  HostWindow host(kEditorW, kEditorH);
  const int errorsBefore = x11test::HostErrors();
  for (int cycle = 0; cycle < 20; ++cycle) {
    ASSERT_TRUE(Attach(host)) << cycle;
    loop.RunFor(cycle % 5 == 0 ? 90 : 0);
    EXPECT_EQ(host.Children(), 1) << cycle;
    ASSERT_EQ(view->removed(), kResultOk) << cycle;
    EXPECT_EQ(host.Children(), 0) << cycle;
    EXPECT_TRUE(loop.handlers.empty() && loop.timers.empty()) << cycle;
  }
  EXPECT_EQ(loop.references, 2);  // ours and the view's hold on its frame, no more
  EXPECT_EQ(x11test::HostErrors(), errorsBefore);
}

TEST_F(Vst3X11View, TheHostsContentScaleSizesTheViewAndTheEditorDrawsAtIt) {
  void* found = nullptr;
  ASSERT_EQ(view->queryInterface(IPlugViewContentScaleSupport::iid.bytes, &found), kResultOk);
  auto* scaling = static_cast<IPlugViewContentScaleSupport*>(found);
  EXPECT_EQ(scaling->setContentScaleFactor(2.0f), kResultOk);
  scaling->release();
  ViewRect size = {};
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.right - size.left, 1600);
  EXPECT_EQ(size.bottom - size.top, 720);
  HostWindow host(1600, 720);
  ASSERT_TRUE(Attach(host));
  loop.RunFor(400);
  const std::vector<uint32_t> shown = host.Capture(1600, 720);
  x11test::SaveImage("x11_vst3_editor_window_200", shown, 1600, 720);
  EXPECT_EQ(x11test::DifferentPixels(shown, x11test::HeadlessRender(false, 200), 200), 0);
  EXPECT_EQ(view->removed(), kResultOk);
}

TEST_F(Vst3X11View, WithoutARunLoopNothingOpens) {
  HostWindow host(kEditorW, kEditorH);
  ASSERT_EQ(view->setFrame(nullptr), kResultOk);
  // The test host's context offers no run loop either.
  EXPECT_FALSE(Attach(host));
  EXPECT_EQ(host.Children(), 0);
  // With the frame back it opens in the same window.
  ASSERT_EQ(view->setFrame(&loop), kResultOk);
  ASSERT_TRUE(Attach(host));
  EXPECT_EQ(host.Children(), 1);
  EXPECT_EQ(view->removed(), kResultOk);
}

}  // namespace

#endif
