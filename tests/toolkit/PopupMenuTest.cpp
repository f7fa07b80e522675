#include <gtest/gtest.h>

#include "ToolkitFixtures.h"

namespace
{

struct MenuFixture : OffscreenFixture
{
  MenuFixture()
  {
    control = graphics->AttachControl(std::make_unique<MenuControl>(IRECT(0, 0, 1366, 348)));
    control->menu.AddItem("First");
    control->menu.AddItem("Second", -1, IPopupMenu::kChecked);
    control->menu.AddSeparator();
    control->menu.AddItem("Disabled", -1, IPopupMenu::kDisabled);
    control->menu.AddItem("Last");
  }

  void ClickItem(int index)
  {
    const IRECT r = graphics->GetPopupMenuItemRECT(index);
    ASSERT_FALSE(r.Empty());
    editor.Click(r.MW(), r.MH());
  }

  MenuControl* control;
};

IPopupMenu::Item* itemText(IPopupMenu& menu, int index) { return menu.GetItem(index); }
} // namespace

TEST(PopupMenuModel, ItemsInsertAtAPositionAndClearForgetsTheChoice)
{
  IPopupMenu menu;
  menu.AddItem("b");
  menu.AddItem("a", 0);
  menu.AddItem("c", 99);
  menu.AddSeparator(1);
  ASSERT_EQ(menu.NItems(), 4);
  EXPECT_STREQ(itemText(menu, 0)->GetText(), "a");
  EXPECT_TRUE(menu.GetItem(1)->IsSeparator());
  EXPECT_STREQ(menu.GetItemText(3), "c");
  menu.CheckItemAlone(2);
  EXPECT_TRUE(menu.IsItemChecked(2));
  EXPECT_FALSE(menu.IsItemChecked(0));
  menu.SetChosenItemIdx(2);
  menu.Clear();
  EXPECT_EQ(menu.NItems(), 0);
  EXPECT_EQ(menu.GetChosenItemIdx(), -1);
  EXPECT_STREQ(menu.GetItemText(5), "");
}

TEST(PopupMenus, AClickOnAnItemChoosesIt)
{
  MenuFixture f;
  f.editor.Click(100, 100);
  ASSERT_TRUE(f.graphics->IsShowingPopupMenu());
  EXPECT_TRUE(f.control->selections.empty()) << "releasing the opening click chooses nothing";
  f.ClickItem(4);
  EXPECT_FALSE(f.graphics->IsShowingPopupMenu());
  EXPECT_EQ(f.control->selections, std::vector<int>{4});
  EXPECT_EQ(f.control->menu.GetChosenItemIdx(), 4);
}

TEST(PopupMenus, PressDragReleaseChoosesTheItemUnderThePointer)
{
  MenuFixture f;
  f.graphics->OnMouseDown(100, 100, IMouseMod(true));
  ASSERT_TRUE(f.graphics->IsShowingPopupMenu());
  const IRECT second = f.graphics->GetPopupMenuItemRECT(1);
  f.graphics->OnMouseMove(second.MW(), second.MH(), IMouseMod(true));
  f.graphics->OnMouseUp(second.MW(), second.MH(), IMouseMod(true));
  EXPECT_EQ(f.control->selections, std::vector<int>{1});
}

TEST(PopupMenus, SeparatorsAndDisabledItemsCannotBeChosen)
{
  MenuFixture f;
  f.editor.Click(100, 100);
  f.ClickItem(2);
  f.ClickItem(3);
  EXPECT_TRUE(f.graphics->IsShowingPopupMenu());
  EXPECT_TRUE(f.control->selections.empty());
}

TEST(PopupMenus, AClickOutsideDismissesWithoutReachingTheControls)
{
  MenuFixture f;
  f.editor.Click(100, 100);
  const int downs = f.control->Count("down");
  f.editor.Click(1300, 20);
  EXPECT_FALSE(f.graphics->IsShowingPopupMenu());
  EXPECT_EQ(f.control->selections, std::vector<int>{-100});
  EXPECT_EQ(f.control->menu.GetChosenItemIdx(), -1);
  EXPECT_EQ(f.control->Count("down"), downs);
}

TEST(PopupMenus, EscapeDismissesAndArrowsWithReturnChoose)
{
  MenuFixture f;
  f.editor.Click(100, 100);
  EXPECT_TRUE(f.editor.Key(kVK_ESCAPE));
  EXPECT_EQ(f.control->selections, std::vector<int>{-100});

  f.editor.Click(100, 100);
  f.editor.Key(kVK_DOWN);
  f.editor.Key(kVK_DOWN);
  f.editor.Key(kVK_DOWN);  // skips the separator and the disabled item
  EXPECT_TRUE(f.editor.Key(kVK_RETURN));
  EXPECT_EQ(f.control->selections, (std::vector<int>{-100, 4}));
  EXPECT_FALSE(f.editor.Key(kVK_RETURN)) << "no menu: the host gets the key";
}

TEST(PopupMenus, StaysInsideTheWindowNearItsEdges)
{
  MenuFixture f;
  f.editor.Click(1360, 340);
  ASSERT_TRUE(f.graphics->IsShowingPopupMenu());
  const IRECT bounds = f.graphics->GetBounds();
  for (int i = 0; i < f.control->menu.NItems(); ++i)
    EXPECT_TRUE(bounds.Contains(f.graphics->GetPopupMenuItemRECT(i))) << i;
}

TEST(PopupMenus, FitsASmallWindowInColumns)
{
  MenuFixture f;
  for (int i = 0; i < 10; ++i)
    f.control->menu.AddItem("Preset name of some length");
  f.graphics->Resize(1366, 348, 0.25f);
  f.editor.Click(10, 10);
  ASSERT_TRUE(f.graphics->IsShowingPopupMenu());
  const IRECT bounds = f.graphics->GetBounds();
  for (int i = 0; i < f.control->menu.NItems(); ++i)
    EXPECT_TRUE(bounds.Contains(f.graphics->GetPopupMenuItemRECT(i))) << i;
  f.ClickItem(12);
  EXPECT_EQ(f.control->selections, std::vector<int>{12});
}

TEST(PopupMenus, ResizingDismissesAnOpenMenu)
{
  MenuFixture f;
  f.editor.Click(100, 100);
  f.graphics->Resize(1366, 348, 1.f);
  EXPECT_FALSE(f.graphics->IsShowingPopupMenu());
  EXPECT_EQ(f.control->selections, std::vector<int>{-100});
}

TEST(PopupMenus, RemovingTheControlsDropsTheMenuUnanswered)
{
  MenuFixture f;
  f.editor.Click(100, 100);
  f.graphics->RemoveAllControls();
  EXPECT_FALSE(f.graphics->IsShowingPopupMenu());
}

TEST(PopupMenus, DrawsItsItemsAndCheckMarkOverTheEditor)
{
  MenuFixture f;
  f.editor.RenderAll();
  const IColor before = f.editor.LayoutPixel(300, 130);
  f.editor.Click(100, 100);
  f.editor.Key(kVK_DOWN);  // highlight the first item
  f.editor.Render();
  const IRECT first = f.graphics->GetPopupMenuItemRECT(0);
  // The highlight is the accent colour, the rest of the panel is dark.
  EXPECT_TRUE(Near(f.editor.LayoutPixel(first.R - 20, first.MH()), IColor(255, 255, 255, 192)));
  const IRECT last = f.graphics->GetPopupMenuItemRECT(4);
  EXPECT_TRUE(Near(f.editor.LayoutPixel(last.R - 20, last.MH()), IColor(255, 38, 40, 45), 6));
  f.editor.Key(kVK_ESCAPE);
  f.editor.Render();
  EXPECT_TRUE(Near(f.editor.LayoutPixel(300, 130), before));
}

TEST(MessageBoxes, YesAndNoArriveThroughTheCompletion)
{
  OffscreenFixture f;
  std::vector<EMsgBoxResult> answers;
  auto record = [&answers](EMsgBoxResult answer) { answers.push_back(answer); };

  EXPECT_EQ(f.graphics->ShowMessageBox("Overwrite?", "Save", kMB_YESNO, record), kNoResult);
  ASSERT_TRUE(f.graphics->IsShowingMessageBox());
  const IRECT yes = f.graphics->GetMessageBoxButtonRECT(kYES);
  f.editor.Click(yes.MW(), yes.MH());
  EXPECT_FALSE(f.graphics->IsShowingMessageBox());

  f.graphics->ShowMessageBox("Overwrite?", "Save", kMB_YESNO, record);
  const IRECT no = f.graphics->GetMessageBoxButtonRECT(kNO);
  f.editor.Click(no.MW(), no.MH());

  f.graphics->ShowMessageBox("Saved.", "Save", kMB_OK, record);
  const IRECT ok = f.graphics->GetMessageBoxButtonRECT(kOK);
  EXPECT_TRUE(f.graphics->GetMessageBoxButtonRECT(kYES).Empty());
  f.editor.Click(ok.MW(), ok.MH());

  EXPECT_EQ(answers, (std::vector<EMsgBoxResult>{kYES, kNO, kOK}));
  EXPECT_EQ(static_cast<int>(kYES), 6);
  EXPECT_EQ(static_cast<int>(kNO), 7);
  EXPECT_EQ(static_cast<int>(kOK), 1);
}

TEST(MessageBoxes, KeysAnswerReturnAffirmsEscapeDeclines)
{
  OffscreenFixture f;
  std::vector<EMsgBoxResult> answers;
  auto record = [&answers](EMsgBoxResult answer) { answers.push_back(answer); };
  f.graphics->ShowMessageBox("?", "", kMB_YESNO, record);
  EXPECT_TRUE(f.editor.Key(kVK_ESCAPE));
  f.graphics->ShowMessageBox("?", "", kMB_YESNO, record);
  f.editor.Key(kVK_RETURN);
  f.graphics->ShowMessageBox("?", "", kMB_YESNO, record);
  f.editor.Key(kVK_TAB);
  f.editor.Key(kVK_RETURN);
  f.graphics->ShowMessageBox("?", "", kMB_OK, record);
  f.editor.Key(kVK_ESCAPE);
  EXPECT_EQ(answers, (std::vector<EMsgBoxResult>{kNO, kYES, kNO, kOK}));
}

TEST(MessageBoxes, IsModalAndQueuesFurtherBoxes)
{
  OffscreenFixture f;
  auto* control = f.graphics->AttachControl(std::make_unique<RecordingControl>(IRECT(0, 0, 1366, 348)));
  std::vector<std::string> answers;
  f.graphics->ShowMessageBox("one", "", kMB_OK, [&](EMsgBoxResult) { answers.push_back("one"); });
  f.graphics->ShowMessageBox("two", "", kMB_OK, [&](EMsgBoxResult) { answers.push_back("two"); });
  f.editor.Click(5, 5);
  f.editor.Wheel(5, 5, 1.f);
  EXPECT_TRUE(control->events.empty());
  EXPECT_TRUE(f.editor.Key('A', "a")) << "keys stay with the box";

  f.editor.Key(kVK_RETURN);
  EXPECT_EQ(answers, std::vector<std::string>{"one"});
  EXPECT_TRUE(f.graphics->IsShowingMessageBox());
  f.editor.Key(kVK_RETURN);
  EXPECT_EQ(answers, (std::vector<std::string>{"one", "two"}));
  EXPECT_FALSE(f.graphics->IsShowingMessageBox());
  f.editor.Click(5, 5);
  EXPECT_EQ(control->Count("down"), 1);
}

TEST(MessageBoxes, AnAnswerCanOpenTheNextBox)
{
  OffscreenFixture f;
  int second = 0;
  f.graphics->ShowMessageBox("Overwrite?", "", kMB_YESNO, [&](EMsgBoxResult answer) {
    if (answer == kYES)
      f.graphics->ShowMessageBox("Done", "", kMB_OK, [&](EMsgBoxResult) { ++second; });
  });
  f.editor.Key(kVK_RETURN);
  ASSERT_TRUE(f.graphics->IsShowingMessageBox());
  f.editor.Key(kVK_RETURN);
  EXPECT_EQ(second, 1);
}

TEST(MessageBoxes, UnansweredBoxesVanishWithTheWindow)
{
  int calls = 0;
  {
    OffscreenFixture f;
    f.graphics->ShowMessageBox("?", "", kMB_YESNO, [&](EMsgBoxResult) { ++calls; });
    f.graphics->ShowMessageBox("?", "", kMB_YESNO, [&](EMsgBoxResult) { ++calls; });
    f.graphics->CloseWindow();
    EXPECT_FALSE(f.graphics->IsShowingMessageBox());
    f.graphics->ShowMessageBox("?", "", kMB_YESNO, [&](EMsgBoxResult) { ++calls; });
  }
  EXPECT_EQ(calls, 0);
}

TEST(MessageBoxes, LongTextsWrapInsideTheWindowAtEveryScale)
{
  const std::string path = "/home/someone/Music/TolmarMusic/" + std::string(200, 'x') + "/tolmardelay.ini";
  const std::string text = "The INI configuration file is:\n" + path + "\n\nDo you really want to overwrite it?";
  for (float scale : {0.25f, 0.5f, 1.f})
  {
    OffscreenFixture f(1366, 348, scale);
    f.graphics->ShowMessageBox(text.c_str(), "Save Configuration", kMB_YESNO);
    const IRECT bounds = f.graphics->GetBounds();
    EXPECT_TRUE(bounds.Contains(f.graphics->GetMessageBoxButtonRECT(kYES))) << scale;
    EXPECT_TRUE(bounds.Contains(f.graphics->GetMessageBoxButtonRECT(kNO))) << scale;
    f.editor.Render();
  }
}

TEST(MessageBoxes, AMenuDoesNotOpenOverABox)
{
  MenuFixture f;
  f.graphics->ShowMessageBox("?", "", kMB_OK);
  f.graphics->CreatePopupMenu(*f.control, f.control->menu, IRECT(10, 10, 10, 10));
  EXPECT_FALSE(f.graphics->IsShowingPopupMenu());
  EXPECT_EQ(f.control->selections, std::vector<int>{-100});
}
