#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// The text of a one-line field being edited: the text, the cursor and the
// selection (from the anchor to the cursor). Positions are byte offsets that
// always lie between whole UTF-8 characters; the text is always valid UTF-8
// without control characters and never longer than its limit in characters.
class TextEditing
{
public:
  explicit TextEditing(std::string_view initial = {}, std::size_t maxCharacters = 256);

  const std::string& Text() const { return text; }
  std::size_t Cursor() const { return cursor; }
  std::size_t SelectionStart() const { return cursor < anchor ? cursor : anchor; }
  std::size_t SelectionEnd() const { return cursor < anchor ? anchor : cursor; }
  bool HasSelection() const { return cursor != anchor; }
  std::size_t MaxCharacters() const { return maxCharacters; }

  void SelectAll();
  // Replaces the selection by what is typed or pasted. Only its first line
  // is taken; control characters and bytes that are not UTF-8 are dropped;
  // what would pass the limit is cut. False when nothing could be inserted
  // because the field is full.
  bool Insert(std::string_view typed);
  void Backspace();
  void Delete();
  // Cursor keys: by one character, or to either end; with extend the
  // selection grows, without it a selection collapses.
  void MoveLeft(bool extend);
  void MoveRight(bool extend);
  void MoveHome(bool extend);
  void MoveEnd(bool extend);
  // Places the cursor at a byte offset (moved back to a character start).
  void SetCursor(std::size_t position, bool extend);

private:
  std::size_t Previous(std::size_t position) const;
  std::size_t Next(std::size_t position) const;
  void EraseSelection();

  std::string text;
  std::size_t cursor = 0;
  std::size_t anchor = 0;
  std::size_t maxCharacters;
};
