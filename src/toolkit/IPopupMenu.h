#pragma once
#include <string>
#include <vector>

// The items of a pop-up menu and, after the user chose, the chosen index.
// A control owns its menu and hands it to IEditorGraphics::CreatePopupMenu.
class IPopupMenu
{
public:
  enum EItemFlags : int
  {
    kNoFlags = 0,
    kDisabled = 1,
    kTitle = 2,
    kChecked = 4,
    kSeparator = 8,
  };

  class Item
  {
  public:
    Item(const char* itemText, int itemFlags, int itemTag) : text(itemText ? itemText : ""), flags(itemFlags), tag(itemTag) {}

    const char* GetText() const { return text.c_str(); }
    void SetText(const char* newText) { text = newText ? newText : ""; }
    int GetFlags() const { return flags; }
    int GetTag() const { return tag; }
    bool IsSeparator() const { return (flags & kSeparator) != 0; }
    bool IsTitle() const { return (flags & kTitle) != 0; }
    bool IsChecked() const { return (flags & kChecked) != 0; }
    bool IsEnabled() const { return (flags & kDisabled) == 0; }
    // Separators, titles and disabled items cannot be chosen.
    bool IsChoosable() const { return IsEnabled() && !IsSeparator() && !IsTitle(); }
    void SetChecked(bool checked) { flags = checked ? (flags | kChecked) : (flags & ~kChecked); }
    void SetEnabled(bool enabled) { flags = enabled ? (flags & ~kDisabled) : (flags | kDisabled); }

  private:
    std::string text;
    int flags;
    int tag;
  };

  explicit IPopupMenu(const char* menuTitle = "") : title(menuTitle ? menuTitle : "") {}

  // Inserts at index (appends when index is negative or past the end);
  // returns the new item, valid until the next change of the item list.
  Item* AddItem(const char* text, int index = -1, int flags = kNoFlags, int tag = -1);
  Item* AddSeparator(int index = -1) { return AddItem("", index, kSeparator); }
  void RemoveItem(int index);
  // Removes every item and forgets the choice.
  void Clear();

  int NItems() const { return static_cast<int>(items.size()); }
  Item* GetItem(int index) { return index >= 0 && index < NItems() ? &items[static_cast<size_t>(index)] : nullptr; }
  const Item* GetItem(int index) const { return const_cast<IPopupMenu*>(this)->GetItem(index); }
  const char* GetItemText(int index) const;

  void CheckItem(int index, bool checked);
  // Checks one item and unchecks all others.
  void CheckItemAlone(int index);
  bool IsItemChecked(int index) const;

  int GetChosenItemIdx() const { return chosenIndex; }
  void SetChosenItemIdx(int index) { chosenIndex = index; }
  Item* GetChosenItem() { return GetItem(chosenIndex); }

  const char* GetTitle() const { return title.c_str(); }
  void SetTitle(const char* newTitle) { title = newTitle ? newTitle : ""; }

private:
  std::string title;
  std::vector<Item> items;
  int chosenIndex = -1;
};
