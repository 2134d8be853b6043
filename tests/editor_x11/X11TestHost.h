#pragma once

// A Linux host's side of the editor: a top-level window to put the editor
// in, its idle loop, pixel capture, and input sent from another process (so
// that the editor's modal menus and boxes can run meanwhile).

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "editor/drawing/XlibIncludes.h"

namespace x11test {

// Xlib's default handler ends the process; the host counts errors instead,
// as careful hosts do.
int HostErrors();
XErrorHandler HostErrorHandler();

class HostWindow {
 public:
  HostWindow(int width, int height);
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  Display* GetDisplay() const { return display; }
  Window Id() const { return window; }
  void* Handle() const { return reinterpret_cast<void*>(window); }
  // The window's top-left corner on the screen.
  int RootX() const { return RootPosition().first; }
  int RootY() const { return RootPosition().second; }
  std::pair<int, int> RootPosition() const;
  // Child windows inside it (the editor's).
  int Children() const;
  // The window's pixels, 0xRRGGBB, row by row.
  std::vector<uint32_t> Capture(int width, int height) const;
  void Destroy();

 private:
  Display* display;
  Window window;
};

// A step of scripted input; positions on the screen.
struct Input {
  enum Kind { kMove, kPress, kRelease, kKey, kWait, kExpectPopups } kind;
  int a = 0;  // x, button, keysym, milliseconds or a count
  int b = 0;  // y; for keys 1 with Shift
};
Input Move(int x, int y);
Input Press(int button);
Input Release(int button);
Input Key(unsigned long keysym);
Input Wait(int ms);
// Waits up to 3 s until this many menus or tooltips are showing; the input
// process fails (after pressing Escape) when they do not.
Input ExpectPopups(int count);
// Mapped override-redirect windows on the screen: menus and tooltips.
int OverrideRedirectWindows(Display* display);
// Clicks a button at the position.
std::vector<Input> Click(int x, int y, int button = 1);
std::vector<Input> Keys(const std::string& text);

// Sends the input from a child process after a short start-up wait.
pid_t SendInput(const std::vector<Input>& steps);
// Calls idle every 30 ms until the child has finished and then a few more
// times; false when the child failed.
bool IdleUntilDone(pid_t child, const std::function<void()>& idle);
void IdleFor(int ms, const std::function<void()>& idle);

// Writes 0xRRGGBB pixels as a binary PPM under build/artifacts/.
void SaveImage(const std::string& name, const std::vector<uint32_t>& pixels, int width, int height);

}  // namespace x11test
