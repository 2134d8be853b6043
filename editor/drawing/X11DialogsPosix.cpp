// The X11 editor's modal services: message boxes and file dialogs from
// zenity or kdialog run as child processes the editor waits for, a message
// box of our own when neither is installed, addresses through xdg-open, and
// tooltips.

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <vector>

#include "editor/drawing/IGraphicsX11.h"
#include "editor/drawing/X11Support.h"

namespace {

const char* const kNoDialogText =
    "No dialog program was found. Install zenity or kdialog to choose files.";

bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    if (folder.empty()) continue;
    if (access((folder + "/" + program).c_str(), X_OK) == 0) return true;
  }
  return false;
}

// "zenity", "kdialog" or empty.
std::string DialogProgram() {
  if (OnPath("zenity")) return "zenity";
  if (OnPath("kdialog")) return "kdialog";
  return std::string();
}

std::vector<std::string> Extensions(const char* list) {
  std::vector<std::string> out;
  std::stringstream words(list != nullptr ? list : "");
  std::string word;
  while (words >> word) out.push_back(word);
  return out;
}

std::string Patterns(const std::vector<std::string>& extensions) {
  std::string patterns;
  for (const std::string& e : extensions) {
    if (!patterns.empty()) patterns += ' ';
    patterns += "*." + e;
  }
  return patterns;
}

std::string StripNewline(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

const LICE_pixel kBoxBackground = LICE_RGBA(242, 242, 242, 255);
const LICE_pixel kBoxBorder = LICE_RGBA(96, 96, 96, 255);
const LICE_pixel kBoxText = LICE_RGBA(0, 0, 0, 255);

}  // namespace

int IGraphicsX11::RunDialog(const std::vector<std::string>& args, std::string* output) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return -1;
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child < 0) {
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    return -1;
  }
  if (child == 0) {
    dup2(pipeEnds[1], STDOUT_FILENO);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(pipeEnds[1]);
  // Keep the editor painted while the dialog is up; its window is not ours
  // to block.
  std::string text;
  char buffer[512];
  for (;;) {
    pollfd p = {pipeEnds[0], POLLIN, 0};
    const int ready = poll(&p, 1, 40);
    if (ready > 0) {
      const ssize_t n = read(pipeEnds[0], buffer, sizeof buffer);
      if (n > 0) {
        text.append(buffer, static_cast<size_t>(n));
        continue;
      }
      if (n == 0 || errno != EINTR) break;
    }
    if (ready < 0 && errno != EINTR) break;
    PumpWhileModal();
  }
  close(pipeEnds[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (output != nullptr) *output = text;
  if (!WIFEXITED(status) || WEXITSTATUS(status) == 127) return -1;
  return WEXITSTATUS(status);
}

void IGraphicsX11::PumpWhileModal() {
  if (window == 0) return;
  XErrorTrap trap(display);
  XEvent event;
  while (window != 0 && XCheckWindowEvent(display, window, ExposureMask, &event)) {
    HandleEvent(&event);
  }
}

int IGraphicsX11::ShowMessageBox(const char* text, const char* title, int type) {
  const bool question = (type & kMB_YESNO) == kMB_YESNO;
  const std::string program = DialogProgram();
  const std::string body = text != nullptr ? text : "";
  const std::string caption = title != nullptr ? title : "";
  int status = -1;
  if (program == "zenity") {
    const char* kind =
        question ? "--question" : ((type & 0xF0) == kMB_ICONERROR ? "--error" : "--info");
    status =
        RunDialog({program, kind, "--title=" + caption, "--text=" + body, "--no-markup"}, nullptr);
  } else if (program == "kdialog") {
    const char* kind =
        question ? "--yesno" : ((type & 0xF0) == kMB_ICONERROR ? "--error" : "--msgbox");
    status = RunDialog({program, "--title", caption, kind, body}, nullptr);
  }
  if (status < 0) return DrawnMessageBox(text, title, type);
  if (question) return status == 0 ? kIDYES : kIDNO;
  return kIDOK;
}

void IGraphicsX11::PromptForFile(std::string* fileName, EFileAction action, std::string* folder,
                                 const char* extensions) {
  if (fileName == nullptr) return;
  if (window == 0) {
    fileName->clear();
    return;
  }
  const std::string program = DialogProgram();
  if (program.empty()) {
    DrawnMessageBox(kNoDialogText, "REDI", kMB_OK | kMB_ICONERROR);
    fileName->clear();
    return;
  }
  std::string start = folder != nullptr && !folder->empty() ? *folder : DesktopPath();
  if (!start.empty() && start.back() != '/') start += '/';
  start += *fileName;
  const std::string patterns = Patterns(Extensions(extensions));
  std::vector<std::string> args;
  if (program == "zenity") {
    args = {program, "--file-selection", "--filename=" + start};
    if (action == kFileSave) {
      args.push_back("--save");
      args.push_back("--confirm-overwrite");
    }
    if (!patterns.empty()) args.push_back("--file-filter=" + patterns + " | " + patterns);
  } else {
    args = {program, action == kFileSave ? "--getsavefilename" : "--getopenfilename", start};
    if (!patterns.empty()) args.push_back(patterns);
  }
  std::string answer;
  const int status = RunDialog(args, &answer);
  answer = StripNewline(answer);
  if (status != 0 || answer.empty() || answer[0] != '/') {
    fileName->clear();
    return;
  }
  *fileName = answer;
  if (folder != nullptr) *folder = answer.substr(0, answer.rfind('/') + 1);
}

bool IGraphicsX11::OpenURL(const char* url, const char* title, const char* confirm,
                           const char* errorText) {
  if (url == nullptr) return false;
  if (confirm != nullptr && ShowMessageBox(confirm, title, kMB_YESNO) != kIDYES) return false;
  if (RunDialog({"xdg-open", url}, nullptr) == 0) return true;
  if (errorText != nullptr) ShowMessageBox(errorText, title, kMB_OK);
  return false;
}

// A box of our own, centred on the editor: the text, and OK or Yes and No.
int IGraphicsX11::DrawnMessageBox(const char* text, const char* title, int type) {
  const bool question = (type & kMB_YESNO) == kMB_YESNO;
  if (display == nullptr) return question ? kIDNO : kIDOK;
  const std::string body = text != nullptr ? text : "";
  const std::string caption = title != nullptr ? title : "";
  XErrorTrap trap(display);
  const int percent = SizePercent();
  auto px = [percent](int v) { return BoxPixels(v, percent); };
  const LICE_TextStyle style = BoxTextStyle(kBoxText, false, percent);
  int textW = 0;
  int textH = 0;
  LICE_MeasureText(style, body.c_str(), &textW, &textH);
  int titleW = 0;
  LICE_MeasureText(BoxTextStyle(kBoxText, true, percent), caption.c_str(), &titleW, &textH);
  const int w = std::max({textW, titleW, px(200)}) + px(40);
  const int h = px(110);
  int rootX = 0;
  int rootY = 0;
  Window child;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), (PixelWidth() - w) / 2,
                        (PixelHeight() - h) / 2, &rootX, &rootY, &child);
  auto box = std::make_unique<XPopupWindow>(display, rootX, rootY, w, h);
  struct Button {
    const char* label;
    int result;
    IRECT rect;
  };
  std::vector<Button> buttons;
  if (question) {
    buttons.push_back(
        {"Yes", kIDYES, IRECT(w / 2 - px(90), h - px(34), w / 2 - px(10), h - px(10))});
    buttons.push_back({"No", kIDNO, IRECT(w / 2 + px(10), h - px(34), w / 2 + px(90), h - px(10))});
  } else {
    buttons.push_back({"OK", kIDOK, IRECT(w / 2 - px(40), h - px(34), w / 2 + px(40), h - px(10))});
  }
  LICE_IBitmap* b = box->Bitmap();
  LICE_FillRect(b, 0, 0, w, h, kBoxBackground);
  DrawFrame(b, 0, 0, w, h, kBoxBorder);
  LICE_DrawText(b, BoxTextStyle(kBoxText, true, percent), caption.c_str(), px(20), px(12),
                w - px(20), px(30));
  LICE_DrawText(b, style, body.c_str(), px(20), px(40), w - px(20), px(60));
  for (const Button& button : buttons) {
    const IRECT& r = button.rect;
    LICE_FillRect(b, r.left, r.top, r.W(), r.H(), LICE_RGBA(225, 225, 225, 255));
    DrawFrame(b, r.left, r.top, r.W(), r.H(), kBoxBorder);
    LICE_TextStyle centred = style;
    centred.align = LICE_TextStyle::kCentre;
    LICE_DrawText(b, centred, button.label, r.left, r.top + px(4), r.right, r.bottom);
  }
  box->Show();
  XSync(display, False);
  XGrabPointer(display, box->Id(), False, ButtonPressMask | ButtonReleaseMask, GrabModeAsync,
               GrabModeAsync, kXNone, kXNone, CurrentTime);
  XGrabKeyboard(display, box->Id(), False, GrabModeAsync, GrabModeAsync, CurrentTime);
  int result = 0;
  bool lost = false;  // the host destroyed its window, and ours with it
  while (result == 0 && !lost) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == Expose && event.xexpose.window == box->Id()) {
      box->Show();
    } else if (event.type == ButtonRelease) {
      const int x = event.xbutton.x_root - box->X();
      const int y = event.xbutton.y_root - box->Y();
      for (const Button& button : buttons) {
        if (x >= button.rect.left && x < button.rect.right && y >= button.rect.top &&
            y < button.rect.bottom) {
          result = button.result;
        }
      }
    } else if (event.type == KeyPress) {
      KeySym keysym = 0;
      char typed[8];
      XLookupString(&event.xkey, typed, sizeof typed, &keysym, nullptr);
      if (keysym == XK_Return || keysym == XK_KP_Enter) result = buttons.front().result;
      if (keysym == XK_Escape) result = question ? kIDNO : kIDOK;
    } else if (event.type == DestroyNotify && event.xdestroywindow.window == window) {
      lost = true;
    } else if (event.type == Expose) {
      HandleEvent(&event);
    }
  }
  XUngrabKeyboard(display, CurrentTime);
  XUngrabPointer(display, CurrentTime);
  box.reset();
  if (lost) DropWindow();
  return result != 0 ? result : (question ? kIDNO : kIDOK);
}

void IGraphicsX11::ShowTooltip() {
  if (window == 0 || tooltipControl < 0) return;
  IControl* control = GetControl(tooltipControl);
  if (control == nullptr || control->GetTooltip().empty()) return;
  const std::string& text = control->GetTooltip();
  const int percent = SizePercent();
  auto px = [percent](int v) { return BoxPixels(v, percent); };
  const LICE_TextStyle style = BoxTextStyle(LICE_RGBA(0, 0, 0, 255), false, percent);
  int tw = 0;
  int th = 0;
  if (!LICE_MeasureText(style, text.c_str(), &tw, &th)) return;
  XErrorTrap trap(display);
  int rootX = 0;
  int rootY = 0;
  Window child;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), ToPixels(mouseX) + px(12),
                        ToPixels(mouseY) + px(20), &rootX, &rootY, &child);
  tooltip = std::make_unique<XPopupWindow>(display, rootX, rootY, tw + px(8), th + px(6));
  LICE_IBitmap* b = tooltip->Bitmap();
  LICE_FillRect(b, 0, 0, b->getWidth(), b->getHeight(), LICE_RGBA(255, 255, 225, 255));
  DrawFrame(b, 0, 0, b->getWidth(), b->getHeight(), LICE_RGBA(0, 0, 0, 255));
  LICE_DrawText(b, style, text.c_str(), px(4), px(3), px(4) + tw, px(3) + th);
  tooltip->Show();
}

void IGraphicsX11::HideTooltip() {
  if (!tooltip) return;
  tooltip.reset();
}
