#include "toolkit/TextEditing.h"

#include <algorithm>

#include "params/Utf8Text.h"

namespace
{
bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The length of the well-formed UTF-8 character at text[i], or 0.
std::size_t characterAt(const std::string& text, std::size_t i)
{
  char32_t codePoint = 0;
  bool whole = false;
  const std::size_t length = Utf8Text::Sequence(text, i, codePoint, whole);
  return whole ? length : 0;
}

std::size_t countCharacters(std::string_view text)
{
  std::size_t count = 0;
  for (unsigned char c : text)
    if (!isContinuation(c))
      ++count;
  return count;
}
} // namespace

TextEditing::TextEditing(std::string_view initial, std::size_t maxChars) : maxCharacters(maxChars)
{
  Insert(initial);
  anchor = cursor;
}

void TextEditing::SelectAll()
{
  anchor = 0;
  cursor = text.size();
}

bool TextEditing::Insert(std::string_view typed)
{
  const std::string input(typed);
  std::string clean;
  for (std::size_t i = 0; i < input.size();)
  {
    const auto c = static_cast<unsigned char>(input[i]);
    if (c == '\n' || c == '\r')
      break;
    const std::size_t length = characterAt(input, i);
    if (length == 0)
    {
      ++i;
      continue;
    }
    if (c < 0x20 || c == 0x7F)
    {
      // A tab pasted between words still separates them.
      if (c == '\t')
        clean += ' ';
      i += length;
      continue;
    }
    clean.append(input, i, length);
    i += length;
  }
  EraseSelection();
  const std::size_t room = maxCharacters - std::min(maxCharacters, countCharacters(text));
  std::size_t taken = 0;
  std::size_t bytes = 0;
  while (bytes < clean.size() && taken < room)
  {
    bytes += characterAt(clean, bytes);
    ++taken;
  }
  text.insert(cursor, clean, 0, bytes);
  cursor += bytes;
  anchor = cursor;
  return bytes > 0 || clean.empty();
}

void TextEditing::EraseSelection()
{
  if (!HasSelection())
    return;
  const std::size_t start = SelectionStart();
  text.erase(start, SelectionEnd() - start);
  cursor = anchor = start;
}

void TextEditing::Backspace()
{
  if (!HasSelection())
    anchor = Previous(cursor);
  EraseSelection();
}

void TextEditing::Delete()
{
  if (!HasSelection())
    anchor = Next(cursor);
  EraseSelection();
}

std::size_t TextEditing::Previous(std::size_t position) const
{
  if (position == 0)
    return 0;
  --position;
  while (position > 0 && isContinuation(static_cast<unsigned char>(text[position])))
    --position;
  return position;
}

std::size_t TextEditing::Next(std::size_t position) const
{
  if (position >= text.size())
    return text.size();
  ++position;
  while (position < text.size() && isContinuation(static_cast<unsigned char>(text[position])))
    ++position;
  return position;
}

void TextEditing::MoveLeft(bool extend)
{
  if (HasSelection() && !extend)
    cursor = SelectionStart();
  else
    cursor = Previous(cursor);
  if (!extend)
    anchor = cursor;
}

void TextEditing::MoveRight(bool extend)
{
  if (HasSelection() && !extend)
    cursor = SelectionEnd();
  else
    cursor = Next(cursor);
  if (!extend)
    anchor = cursor;
}

void TextEditing::MoveHome(bool extend)
{
  cursor = 0;
  if (!extend)
    anchor = cursor;
}

void TextEditing::MoveEnd(bool extend)
{
  cursor = text.size();
  if (!extend)
    anchor = cursor;
}

void TextEditing::SetCursor(std::size_t position, bool extend)
{
  if (position > text.size())
    position = text.size();
  while (position > 0 && position < text.size() && isContinuation(static_cast<unsigned char>(text[position])))
    --position;
  cursor = position;
  if (!extend)
    anchor = cursor;
}
