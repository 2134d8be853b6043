#include "editor/drawing/IGraphicsHeadless.h"

#include <algorithm>

namespace {

constexpr unsigned char kBackspace = 8;

void RecordMenu(const IPopupMenu& menu, int depth,
                std::vector<IGraphicsHeadless::MenuItemRecord>* items) {
  for (int i = 0; i < menu.GetNItems(); ++i) {
    const IPopupMenu::Item* item = menu.GetItem(i);
    items->push_back({menu.GetItemDisplayText(i), item->GetFlags(), depth});
    if (item->GetSubmenu() != nullptr) RecordMenu(*item->GetSubmenu(), depth + 1, items);
  }
}

// Follows the positions down the submenus; null when the path does not end on
// an item a user could choose.
IPopupMenu* Choose(IPopupMenu* menu, const std::vector<int>& path) {
  for (size_t step = 0; step < path.size(); ++step) {
    const IPopupMenu::Item* item = menu->GetItem(path[step]);
    if (item == nullptr || !item->IsEnabled() || item->IsSeparator() || item->IsTitle()) {
      return nullptr;
    }
    if (step + 1 == path.size()) {
      if (item->GetSubmenu() != nullptr) return nullptr;
      menu->SetChosenItemIdx(path[step]);
      return menu;
    }
    menu = item->GetSubmenu();
    if (menu == nullptr) return nullptr;
  }
  return nullptr;
}

}  // namespace

IGraphicsHeadless::IGraphicsHeadless(IPlugBase* plug, int width, int height)
    : IGraphics(plug, width, height) {}

IGraphicsHeadless::~IGraphicsHeadless() = default;

void IGraphicsHeadless::PaintRect(const IRECT& r) { painted.push_back(r); }

bool IGraphicsHeadless::OpenWindow(void* /*parent*/) {
  if (open) return true;
  open = true;
  SetAllControlsDirty();
  return true;
}

void IGraphicsHeadless::CloseWindow() {
  if (IsTextEntryOpen()) {
    RequestTextEntryCancel();
    HandleTextEntryTick();
  }
  open = false;
}

int IGraphicsHeadless::ShowMessageBox(const char* text, const char* title, int type) {
  messageBoxes.push_back({text != nullptr ? text : "", title != nullptr ? title : "", type});
  if (!messageBoxAnswers.empty()) {
    const int answer = messageBoxAnswers.front();
    messageBoxAnswers.pop_front();
    return answer;
  }
  return (type & kMB_YESNO) == kMB_YESNO ? kIDNO : kIDOK;
}

IPopupMenu* IGraphicsHeadless::CreateIPopupMenu(IPopupMenu* menu, const IRECT& where) {
  if (menu == nullptr) return nullptr;
  MenuRequest request;
  request.where = where;
  RecordMenu(*menu, 0, &request.items);
  menus.push_back(request);
  std::vector<int> path;
  if (!menuAnswers.empty()) {
    path = menuAnswers.front();
    menuAnswers.pop_front();
  }
  IPopupMenu* chosen = path.empty() ? nullptr : Choose(menu, path);
  SetAllControlsDirty();
  return chosen;
}

void IGraphicsHeadless::CreateTextEntry(IControl* /*control*/, const IText& /*style*/,
                                        const IRECT& r, const char* initial, int paramIdx) {
  entryText = initial != nullptr ? initial : "";
  textEntries.push_back({entryText, r, paramIdx, TextEntryMaxLength()});
  if (textEntryAnswers.empty()) return;
  const TextEntryAnswer answer = textEntryAnswers.front();
  textEntryAnswers.pop_front();
  // A user's typing replaces the selected initial text.
  entryText.clear();
  Type(answer.typed);
  if (answer.commit) {
    Commit();
  } else {
    Cancel();
  }
}

void IGraphicsHeadless::Type(const std::string& keys) {
  if (!IsTextEntryOpen()) return;
  for (char key : keys) {
    const unsigned c = static_cast<unsigned char>(key);
    if (c == kBackspace) {
      if (!entryText.empty()) entryText.pop_back();
      continue;
    }
    if (!TextEntryCharAllowed(c)) continue;
    if (static_cast<int>(entryText.size()) >= TextEntryMaxLength()) continue;
    entryText += key;
  }
}

void IGraphicsHeadless::ReadTextEntry(char* text, int size) {
  if (text == nullptr || size <= 0) return;
  const size_t n = std::min(entryText.size(), static_cast<size_t>(size - 1));
  entryText.copy(text, n);
  text[n] = '\0';
}

void IGraphicsHeadless::DestroyTextEntry() { entryText.clear(); }

void IGraphicsHeadless::PromptForFile(std::string* fileName, EFileAction action,
                                      std::string* folder, const char* extensions) {
  if (fileName == nullptr) return;
  fileDialogs.push_back({action, folder != nullptr ? *folder : std::string(),
                         extensions != nullptr ? extensions : "", *fileName});
  if (!open || fileAnswers.empty()) {
    fileName->clear();
    return;
  }
  const FileAnswer answer = fileAnswers.front();
  fileAnswers.pop_front();
  *fileName = answer.path;
  if (!answer.path.empty() && folder != nullptr) *folder = answer.folder;
}

bool IGraphicsHeadless::OpenURL(const char* url, const char* title, const char* confirm,
                                const char* errorText) {
  auto text = [](const char* t) { return std::string(t != nullptr ? t : ""); };
  urls.push_back({text(url), text(title), text(confirm), text(errorText)});
  if (confirm != nullptr && ShowMessageBox(confirm, title, kMB_YESNO) != kIDYES) return false;
  if (urlOpens) return true;
  if (errorText != nullptr) ShowMessageBox(errorText, title, kMB_OK);
  return false;
}
