#include "editor/IPopupMenu.h"

#include <cstdio>

IPopupMenu::Item::Item(const char* itemText, int itemFlags, IPopupMenu* itemSubmenu)
    : text(itemText != nullptr ? itemText : ""), flags(itemFlags), submenu(itemSubmenu) {}

IPopupMenu::Item* IPopupMenu::AddItem(Item* item, int pos) {
  if (item == nullptr) return nullptr;
  if (pos < 0 || pos >= GetNItems()) {
    items.emplace_back(item);
  } else {
    items.emplace(items.begin() + pos, item);
  }
  return item;
}

IPopupMenu::Item* IPopupMenu::AddItem(const char* text, int pos, int flags) {
  return AddItem(new Item(text, flags), pos);
}

IPopupMenu::Item* IPopupMenu::AddItem(const char* text, IPopupMenu* submenu, int pos) {
  return AddItem(new Item(text, kNoFlags, submenu), pos);
}

IPopupMenu::Item* IPopupMenu::AddSeparator(int pos) {
  return AddItem(new Item("", kSeparator), pos);
}

void IPopupMenu::RemoveItem(int index) {
  if (index >= 0 && index < GetNItems()) items.erase(items.begin() + index);
}

IPopupMenu::Item* IPopupMenu::GetItem(int index) const {
  if (index < 0 || index >= GetNItems()) return nullptr;
  return items[static_cast<size_t>(index)].get();
}

std::string IPopupMenu::GetItemDisplayText(int index) const {
  const Item* item = GetItem(index);
  if (item == nullptr) return std::string();
  static const char* const kFormats[] = {nullptr, "%1d: %s", "%02d: %s", "%03d: %s"};
  if (prefix < 1 || prefix > 3 || item->IsSeparator()) return item->GetText();
  // Room for any int and the longest text a menu holds.
  std::string shown(item->GetText().size() + 16, '\0');
  const int n =
      std::snprintf(&shown[0], shown.size(), kFormats[prefix], index + 1, item->GetText().c_str());
  shown.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return shown;
}

bool IPopupMenu::CheckItem(int index, bool on) {
  Item* item = GetItem(index);
  if (item == nullptr) return false;
  item->SetChecked(on);
  return true;
}

bool IPopupMenu::EnableItem(int index, bool on) {
  Item* item = GetItem(index);
  if (item == nullptr) return false;
  item->SetEnabled(on);
  return true;
}
