#include <X11/extensions/XTest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "editor_x11/X11TestHost.h"

namespace x11test {

namespace {

int hostErrors = 0;

int CountError(Display*, XErrorEvent*) {
  ++hostErrors;
  return 0;
}

}  // namespace

int HostErrors() { return hostErrors; }
XErrorHandler HostErrorHandler() { return CountError; }

HostWindow::HostWindow(int width, int height) {
  XSetErrorHandler(CountError);
  display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    window = 0;
    return;
  }
  const int screen = DefaultScreen(display);
  window = XCreateSimpleWindow(display, RootWindow(display, screen), 40, 40, width, height, 0, 0,
                               0x404040);
  XSelectInput(display, window, StructureNotifyMask);
  XMapWindow(display, window);
  for (;;) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == MapNotify) break;
  }
  XSync(display, False);
}

HostWindow::~HostWindow() {
  if (display == nullptr) return;
  Destroy();
  XCloseDisplay(display);
}

void HostWindow::Destroy() {
  if (window == 0) return;
  XDestroyWindow(display, window);
  XSync(display, False);
  window = 0;
}

std::pair<int, int> HostWindow::RootPosition() const {
  int x = 0;
  int y = 0;
  Window child;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
  return {x, y};
}

int HostWindow::Children() const {
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned n = 0;
  if (XQueryTree(display, window, &root, &parent, &children, &n) == 0) return -1;
  if (children != nullptr) XFree(children);
  return static_cast<int>(n);
}

std::vector<uint32_t> HostWindow::Capture(int width, int height) const {
  std::vector<uint32_t> pixels;
  XSync(display, False);
  XImage* image = XGetImage(display, window, 0, 0, width, height, AllPlanes, ZPixmap);
  if (image == nullptr) return pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      const auto part = [&](unsigned long mask) {
        unsigned long v = p & mask;
        while (mask != 0 && (mask & 1) == 0) {
          mask >>= 1;
          v >>= 1;
        }
        return static_cast<uint32_t>(v & 0xff);
      };
      pixels.push_back(part(image->red_mask) << 16 | part(image->green_mask) << 8 |
                       part(image->blue_mask));
    }
  }
  XDestroyImage(image);
  return pixels;
}

Input Move(int x, int y) { return {Input::kMove, x, y}; }
Input Press(int button) { return {Input::kPress, button, 0}; }
Input Release(int button) { return {Input::kRelease, button, 0}; }
Input Key(unsigned long keysym) { return {Input::kKey, static_cast<int>(keysym), 0}; }
Input Wait(int ms) { return {Input::kWait, ms, 0}; }
Input ExpectPopups(int count) { return {Input::kExpectPopups, count, 0}; }

int OverrideRedirectWindows(Display* display) {
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned n = 0;
  XSync(display, False);
  if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &n) == 0) {
    return -1;
  }
  int count = 0;
  for (unsigned i = 0; i < n; ++i) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, children[i], &attributes) != 0 &&
        attributes.override_redirect && attributes.map_state == IsViewable) {
      ++count;
    }
  }
  if (children != nullptr) XFree(children);
  return count;
}

std::vector<Input> Click(int x, int y, int button) {
  return {Move(x, y), Wait(60), Press(button), Wait(60), Release(button), Wait(150)};
}

std::vector<Input> Keys(const std::string& text) {
  std::vector<Input> steps;
  for (char c : text) {
    const bool upper = c >= 'A' && c <= 'Z';
    char name[2] = {static_cast<char>(upper ? c - 'A' + 'a' : c), '\0'};
    unsigned long keysym = XStringToKeysym(name);
    if (c == '.') keysym = XK_period;
    if (c == '-') keysym = XK_minus;
    if (c == ' ') keysym = XK_space;
    Input key = Key(keysym);
    key.b = upper ? 1 : 0;
    steps.push_back(key);
  }
  return steps;
}

pid_t SendInput(const std::vector<Input>& steps) {
  const pid_t child = fork();
  if (child != 0) return child;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) _exit(2);
  usleep(200 * 1000);
  for (const Input& step : steps) {
    switch (step.kind) {
      case Input::kMove:
        XTestFakeMotionEvent(display, -1, step.a, step.b, CurrentTime);
        break;
      case Input::kPress:
      case Input::kRelease:
        XTestFakeButtonEvent(display, static_cast<unsigned>(step.a), step.kind == Input::kPress,
                             CurrentTime);
        break;
      case Input::kKey: {
        const KeyCode code = XKeysymToKeycode(display, static_cast<KeySym>(step.a));
        const KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
        if (step.b != 0) XTestFakeKeyEvent(display, shift, True, CurrentTime);
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
        if (step.b != 0) XTestFakeKeyEvent(display, shift, False, CurrentTime);
        usleep(40 * 1000);
        break;
      }
      case Input::kExpectPopups: {
        // The editor may still be on its way there; a menu left open on
        // failure would keep the host waiting, so Escape closes it.
        bool seen = false;
        for (int wait = 0; wait < 100 && !seen; ++wait) {
          seen = OverrideRedirectWindows(display) == step.a;
          if (!seen) usleep(30 * 1000);
        }
        if (!seen) {
          const KeyCode escape = XKeysymToKeycode(display, XK_Escape);
          for (int i = 0; i < 4; ++i) {
            XTestFakeKeyEvent(display, escape, True, CurrentTime);
            XTestFakeKeyEvent(display, escape, False, CurrentTime);
          }
          XSync(display, False);
          _exit(3);
        }
        break;
      }
      case Input::kWait:
        XFlush(display);
        usleep(static_cast<useconds_t>(step.a) * 1000);
        break;
    }
    XFlush(display);
  }
  XSync(display, False);
  XCloseDisplay(display);
  _exit(0);
}

bool IdleUntilDone(pid_t child, const std::function<void()>& idle) {
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (;;) {
    idle();
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  IdleFor(300, idle);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void IdleFor(int ms, const std::function<void()>& idle) {
  for (int t = 0; t < ms; t += 30) {
    idle();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
}

void SaveImage(const std::string& name, const std::vector<uint32_t>& pixels, int width,
               int height) {
  const std::string folder = std::string(REDI_SOURCE_DIR) + "/build/artifacts";
  mkdir((std::string(REDI_SOURCE_DIR) + "/build").c_str(), 0755);
  mkdir(folder.c_str(), 0755);
  FILE* file = std::fopen((folder + "/" + name + ".ppm").c_str(), "wb");
  if (file == nullptr) return;
  std::fprintf(file, "P6\n%d %d\n255\n", width, height);
  for (size_t i = 0; i < pixels.size() && i < static_cast<size_t>(width) * height; ++i) {
    const unsigned char rgb[3] = {static_cast<unsigned char>(pixels[i] >> 16),
                                  static_cast<unsigned char>(pixels[i] >> 8),
                                  static_cast<unsigned char>(pixels[i])};
    std::fwrite(rgb, 1, 3, file);
  }
  std::fclose(file);
}

}  // namespace x11test
