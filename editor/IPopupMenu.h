#pragma once

#include <memory>
#include <string>
#include <vector>

// A pop-up menu: ordered items, a numbering prefix for the item texts, and
// the index of the item the user chose (-1 before a choice). The window's
// pop-up operation fills in the choice.
class IPopupMenu {
 public:
  enum EItemFlags { kNoFlags = 0, kDisabled = 1, kTitle = 2, kChecked = 4, kSeparator = 8 };
  // 0: the text alone; 1: "%1d: %s", 2: "%02d: %s", 3: "%03d: %s", numbered
  // from 1 within each menu.
  enum EPrefix { kNoPrefix = 0, kPrefixOneDigit = 1, kPrefixTwoDigits = 2, kPrefixThreeDigits = 3 };

  class Item {
   public:
    // The item owns its submenu.
    explicit Item(const char* text, int flags = kNoFlags, IPopupMenu* submenu = nullptr);

    const std::string& GetText() const { return text; }
    void SetText(const char* newText) { text = newText != nullptr ? newText : ""; }
    int GetFlags() const { return flags; }
    void SetFlags(int newFlags) { flags = newFlags; }
    bool IsSeparator() const { return (flags & kSeparator) != 0; }
    bool IsTitle() const { return (flags & kTitle) != 0; }
    bool IsChecked() const { return (flags & kChecked) != 0; }
    bool IsEnabled() const { return (flags & kDisabled) == 0; }
    void SetChecked(bool on) { SetFlag(kChecked, on); }
    void SetEnabled(bool on) { SetFlag(kDisabled, !on); }
    IPopupMenu* GetSubmenu() const { return submenu.get(); }

   private:
    void SetFlag(int flag, bool on) { flags = on ? (flags | flag) : (flags & ~flag); }

    std::string text;
    int flags;
    std::unique_ptr<IPopupMenu> submenu;
  };

  explicit IPopupMenu(int prefix = kNoPrefix) : prefix(prefix) {}
  IPopupMenu(const IPopupMenu&) = delete;
  IPopupMenu& operator=(const IPopupMenu&) = delete;

  // Inserts at position pos, moving later items back; a position at or past
  // the end, or negative, appends. The menu takes ownership. Returns the item.
  Item* AddItem(Item* item, int pos = -1);
  Item* AddItem(const char* text, int pos = -1, int flags = kNoFlags);
  // The menu item takes ownership of the submenu.
  Item* AddItem(const char* text, IPopupMenu* submenu, int pos = -1);
  Item* AddSeparator(int pos = -1);
  void RemoveItem(int index);
  void RemoveAllItems() { items.clear(); }

  int GetNItems() const { return static_cast<int>(items.size()); }
  // Null for an index outside the list.
  Item* GetItem(int index) const;
  // The item's text as the menu shows it, with the numbering prefix.
  std::string GetItemDisplayText(int index) const;

  bool CheckItem(int index, bool on);
  bool EnableItem(int index, bool on);

  int GetPrefix() const { return prefix; }
  void SetPrefix(int newPrefix) { prefix = newPrefix; }
  int GetChosenItemIdx() const { return chosenItemIdx; }
  void SetChosenItemIdx(int index) { chosenItemIdx = index; }

 private:
  std::vector<std::unique_ptr<Item>> items;
  int prefix;
  int chosenItemIdx = -1;
};
