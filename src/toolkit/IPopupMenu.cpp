#include "toolkit/IPopupMenu.h"

IPopupMenu::Item* IPopupMenu::AddItem(const char* text, int index, int flags, int tag)
{
  const size_t position = index < 0 || index > NItems() ? items.size() : static_cast<size_t>(index);
  return &*items.emplace(items.begin() + static_cast<std::ptrdiff_t>(position), text, flags, tag);
}

void IPopupMenu::RemoveItem(int index)
{
  if (index >= 0 && index < NItems())
    items.erase(items.begin() + index);
}

void IPopupMenu::Clear()
{
  items.clear();
  chosenIndex = -1;
}

const char* IPopupMenu::GetItemText(int index) const
{
  const Item* item = GetItem(index);
  return item ? item->GetText() : "";
}

void IPopupMenu::CheckItem(int index, bool checked)
{
  if (Item* item = GetItem(index))
    item->SetChecked(checked);
}

void IPopupMenu::CheckItemAlone(int index)
{
  for (int i = 0; i < NItems(); ++i)
    items[static_cast<size_t>(i)].SetChecked(i == index);
}

bool IPopupMenu::IsItemChecked(int index) const
{
  const Item* item = GetItem(index);
  return item && item->IsChecked();
}
