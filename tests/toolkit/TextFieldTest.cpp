// The text field that typed values and preset names are entered in: its
// editing keys and limits, and the field as the editor shows it.
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include "ToolkitFixtures.h"
#include "toolkit/TextEditing.h"
#include "toolkit/X11Keys.h"

namespace
{
IKeyPress key(int vk, bool shift = false, bool control = false, const char* text = "")
{
  return IKeyPress(text, vk, shift, control);
}

struct FieldFixture : OffscreenFixture
{
  // Opens a box asking for a time; accept takes texts that read as a
  // number.
  bool open(const std::string& text = "325ms")
  {
    return graphics->PromptForText("Time", "OK", IText(26.f, COLOR_WHITE, "Roboto-Regular.ttf"), text, 12,
                                   [this](const std::string& typed) {
                                     accepted.push_back(typed);
                                     return typed.find_first_not_of("0123456789.") == std::string::npos;
                                   },
                                   [this] { ++cancels; });
  }

  std::vector<std::string> accepted;
  int cancels = 0;
};
} // namespace

TEST(TypedValueTextField, EditingKeysSelectionAndLimits)
{
  // Opened with the shown text selected: the first character replaces it.
  TextEditing e("325ms", 8);
  e.SelectAll();
  EXPECT_EQ(e.SelectionStart(), 0u);
  EXPECT_EQ(e.SelectionEnd(), 5u);
  e.Insert("4");
  EXPECT_EQ(e.Text(), "4");
  e.Insert("0 %");
  EXPECT_EQ(e.Text(), "40 %");

  // Cursor keys move by whole characters; Shift selects; a collapsed
  // selection goes to its edge.
  e.Insert("\xC3\xA9"); // é, two bytes
  e.MoveLeft(false);
  EXPECT_EQ(e.Cursor(), 4u);
  e.MoveRight(true);
  EXPECT_EQ(e.SelectionEnd() - e.SelectionStart(), 2u);
  e.MoveLeft(false);
  EXPECT_EQ(e.Cursor(), 4u);
  e.MoveHome(true);
  e.Delete();
  EXPECT_EQ(e.Text(), "\xC3\xA9");
  e.MoveEnd(false);
  e.Backspace();
  EXPECT_EQ(e.Text(), "");
  e.Backspace();
  e.Delete();
  EXPECT_EQ(e.Text(), "");

  // At most the limit in characters, whatever their bytes; pasted text
  // loses control characters, bytes that are not UTF-8 and all but its
  // first line.
  EXPECT_TRUE(e.Insert("\xC3\xA9\xC3\xA9\xC3\xA9"));
  e.Insert("abcdefgh");
  EXPECT_EQ(e.Text(), "\xC3\xA9\xC3\xA9\xC3\xA9" "abcde");
  EXPECT_FALSE(e.Insert("x"));
  e.SelectAll();
  e.Insert("a\x01" "b\xFF\xC0\xAF\ttab\x7F" "c\nsecond line");
  EXPECT_EQ(e.Text(), "ab tabc");
  e.SetCursor(2, false);
  e.SetCursor(0, true);
  e.Insert("X");
  EXPECT_EQ(e.Text(), "X tabc");
}

TEST(TypedValueTextField, TakesTheKeyboardAnswersAndClosesAtTheEditorsScale)
{
  FieldFixture f;
  ASSERT_TRUE(f.open());
  EXPECT_TRUE(f.graphics->IsShowingTextEntry());
  EXPECT_TRUE(f.editor.Window().keyboardWanted);
  EXPECT_EQ(f.graphics->GetTextEntryText(), "325ms");

  // A box in the middle of the dimmed editor, in the message boxes' look:
  // the caption above a dark field, Cancel and OK below it, at every scale.
  f.editor.Render();
  EXPECT_EQ(f.graphics->GetTextEntryCaption(), "Time");
  const IRECT field = f.graphics->GetTextEntryRECT();
  const IRECT ok = f.graphics->GetTextEntryButtonRECT(true);
  const IRECT cancel = f.graphics->GetTextEntryButtonRECT(false);
  EXPECT_NEAR(field.MW(), 683.f, 1.f);
  EXPECT_LT(field.B, ok.T);
  EXPECT_LT(cancel.R, ok.L);
  EXPECT_TRUE(Near(f.editor.LayoutPixel(field.R - 4.f, field.MH()), IColor(255, 24, 25, 29), 12));
  EXPECT_TRUE(Near(f.editor.LayoutPixel(ok.L + 6.f, ok.MH()), IColor(255, 255, 255, 192), 12)) << "the default";
  EXPECT_TRUE(Near(f.editor.LayoutPixel(5.f, 5.f), IColor(255, 0, 0, 0), 60)) << "dimmed";
  f.graphics->Resize(1366, 348, 1.f);
  f.editor.Render();
  EXPECT_TRUE(f.graphics->IsShowingTextEntry());
  EXPECT_NEAR(f.graphics->GetTextEntryRECT().W(), field.W(), 1.f);

  // Every key is the field's, a host shortcut included.
  EXPECT_TRUE(f.editor.Key(kVK_SPACE, " "));
  f.editor.Type("abc");
  EXPECT_EQ(f.graphics->GetTextEntryText(), " abc");
  f.editor.Press(key('A', false, true, "a"));
  f.editor.Type("12");
  f.editor.Press(key(kVK_LEFT));
  f.editor.Press(key(kVK_LEFT, true));
  f.editor.Press(key(kVK_DELETE));
  EXPECT_EQ(f.graphics->GetTextEntryText(), "2");
  f.editor.Press(key(kVK_HOME));
  f.editor.Press(key('V', false, true, "v"));
  EXPECT_EQ(f.editor.Window().pasteRequests, 1);
  f.graphics->PasteText("0.5\x07\nrest");
  EXPECT_EQ(f.graphics->GetTextEntryText(), "0.52");

  // A text the owner refuses: the field flashes and stays; then one it takes.
  f.editor.Press(key(kVK_END));
  f.editor.Type("x");
  f.editor.Press(key(kVK_RETURN));
  EXPECT_TRUE(f.graphics->IsShowingTextEntry());
  EXPECT_TRUE(f.graphics->IsTextEntryFlashing());
  for (int i = 0; i < 60; ++i)
    f.editor.Render();
  EXPECT_FALSE(f.graphics->IsTextEntryFlashing());
  f.editor.Press(key(kVK_BACK));
  f.editor.Press(key(kVK_RETURN));
  EXPECT_FALSE(f.graphics->IsShowingTextEntry());
  EXPECT_EQ(f.accepted, (std::vector<std::string>{"0.52x", "0.52"}));
  EXPECT_EQ(f.cancels, 0);
  EXPECT_FALSE(f.editor.Window().keyboardWanted) << "the host gets its keys back";
  EXPECT_FALSE(f.editor.Key(kVK_SPACE, " "));

  // Escape, and a click elsewhere, cancel; a click inside keeps it open.
  ASSERT_TRUE(f.open());
  f.editor.Key(kVK_ESCAPE);
  EXPECT_FALSE(f.graphics->IsShowingTextEntry());
  ASSERT_TRUE(f.open());
  const IRECT r = f.graphics->GetTextEntryRECT();
  f.editor.Click(r.L + 2.f, r.MH());
  EXPECT_TRUE(f.graphics->IsShowingTextEntry());
  f.editor.Type("9");
  EXPECT_EQ(f.graphics->GetTextEntryText(), "9325ms");
  f.editor.Click(10, 10);
  EXPECT_FALSE(f.graphics->IsShowingTextEntry());
  EXPECT_EQ(f.cancels, 2);
  EXPECT_EQ(f.accepted.size(), 2u);

  // The buttons, pressed with the mouse, answer as Return and Escape do;
  // a text refused through OK flashes as through Return.
  ASSERT_TRUE(f.open());
  f.editor.Type("7");
  IRECT button = f.graphics->GetTextEntryButtonRECT(true);
  f.editor.Click(button.MW(), button.MH());
  EXPECT_FALSE(f.graphics->IsShowingTextEntry());
  EXPECT_EQ(f.accepted.back(), "7");
  ASSERT_TRUE(f.open());
  f.editor.Type("x");
  button = f.graphics->GetTextEntryButtonRECT(true);
  f.editor.Click(button.MW(), button.MH());
  EXPECT_TRUE(f.graphics->IsTextEntryFlashing());
  button = f.graphics->GetTextEntryButtonRECT(false);
  f.editor.Drag(button.MW(), button.MH(), button.R + 40.f, button.MH(), 2);
  EXPECT_TRUE(f.graphics->IsShowingTextEntry()) << "released off the button: no answer";
  f.editor.Click(button.MW(), button.MH());
  EXPECT_FALSE(f.graphics->IsShowingTextEntry());
  EXPECT_EQ(f.cancels, 3);

  // No field over a message box waiting for its answer.
  f.graphics->ShowMessageBox("text", "caption", kMB_OK);
  EXPECT_FALSE(f.open());
}

TEST(TypedValueTextField, KeysFromTheXServerBecomeKeyStrokes)
{
  using X11Keys::Translate;
  EXPECT_STREQ(Translate('a', 0).utf8, "a");
  EXPECT_EQ(Translate('a', 0).VK, 'A');
  EXPECT_EQ(Translate(0xFF0D, 0).VK, kVK_RETURN);
  EXPECT_EQ(Translate(0xFF8D, 0).VK, kVK_RETURN);
  EXPECT_EQ(Translate(0xFF1B, 0).VK, kVK_ESCAPE);
  EXPECT_EQ(Translate(0xFF08, 0).VK, kVK_BACK);
  EXPECT_EQ(Translate(0xFFFF, 0).VK, kVK_DELETE);
  EXPECT_EQ(Translate(0xFF51, XCB_MOD_MASK_SHIFT).VK, kVK_LEFT);
  EXPECT_TRUE(Translate(0xFF51, XCB_MOD_MASK_SHIFT).S);
  EXPECT_STREQ(Translate(0xFF51, 0).utf8, "");
  EXPECT_STREQ(Translate(0xFFAE, 0).utf8, ".");        // keypad decimal point
  EXPECT_STREQ(Translate(0xE9, 0).utf8, "\xC3\xA9");   // é
  EXPECT_STREQ(Translate(0x10020AC, 0).utf8, "\xE2\x82\xAC"); // €
  EXPECT_TRUE(Translate('v', XCB_MOD_MASK_CONTROL).C);
  EXPECT_EQ(Translate('v', XCB_MOD_MASK_CONTROL).VK, 'V');

  // A keyboard with a, A on one key and the keypad's 1 on another.
  X11Keys::Keymap map;
  map.firstKeycode = 8;
  map.symbolsPerKeycode = 2;
  map.symbols = {'a', 'A', 0xFF9C /* KP_End */, 0xFFB1 /* KP_1 */, '5', '%'};
  EXPECT_EQ(map.Symbol(8, 0), uint32_t('a'));
  EXPECT_EQ(map.Symbol(8, XCB_MOD_MASK_SHIFT), uint32_t('A'));
  EXPECT_EQ(map.Symbol(8, XCB_MOD_MASK_LOCK), uint32_t('A'));
  EXPECT_EQ(map.Symbol(9, 0), 0xFF9Cu);
  EXPECT_EQ(map.Symbol(9, XCB_MOD_MASK_2), 0xFFB1u); // Num Lock
  EXPECT_EQ(map.Symbol(10, XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_LOCK), uint32_t('%'));
  EXPECT_EQ(map.Symbol(7, 0), 0u);
  EXPECT_EQ(map.Symbol(200, 0), 0u);
}
