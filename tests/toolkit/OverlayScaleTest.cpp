// Menus and message boxes at every window size: they grow and shrink with
// the editor, stay inside the window, and Escape closes them.
#include <gtest/gtest.h>

#include "ToolkitFixtures.h"

namespace
{
constexpr float kScales[] = {0.5f, 1.f, 2.f, 4.f};


struct ScaledMenu : OffscreenFixture
{
  explicit ScaledMenu(float scale, int items = 4) : OffscreenFixture(1366, 348, scale)
  {
    control = graphics->AttachControl(std::make_unique<MenuControl>(IRECT(0, 0, 1366, 348)));
    for (int i = 0; i < items; ++i)
      control->menu.AddItem(("Window size " + std::to_string(i)).c_str(), -1, i == 1 ? IPopupMenu::kChecked : 0);
  }
  MenuControl* control;
};

// Share of the item's pixels that carry the menu's text colour: the same at
// every scale when the text scales with its row.
double textShare(const OffscreenFixture& f, const IRECT& item, float scale)
{
  const int l = static_cast<int>(item.L * scale), r = static_cast<int>(item.R * scale);
  const int t = static_cast<int>(item.T * scale), b = static_cast<int>(item.B * scale);
  int text = 0, all = 0;
  for (int y = t; y < b; ++y)
    for (int x = l; x < r; ++x, ++all)
    {
      const IColor c = f.editor.PixelAt(x, y);
      if (c.R > 150 && c.G > 150)
        ++text;
    }
  return all ? static_cast<double>(text) / all : 0.0;
}

void expectInside(const IRECT& window, const IRECT& r, const std::string& what)
{
  EXPECT_GE(r.L, window.L) << what;
  EXPECT_GE(r.T, window.T) << what;
  EXPECT_LE(r.R, window.R) << what;
  EXPECT_LE(r.B, window.B) << what;
}
} // namespace

TEST(OverlayScale, MenuRowsAndTextKeepTheirSizeBesideTheControls)
{
  IRECT reference;
  double referenceShare = 0;
  for (float scale : kScales)
  {
    SCOPED_TRACE(scale);
    ScaledMenu f(scale);
    f.editor.RenderAll();
    f.editor.Click(100, 60);
    ASSERT_TRUE(f.graphics->IsShowingPopupMenu());
    f.editor.Render();
    // In layout units the rows are the same at every scale.
    const IRECT item = f.graphics->GetPopupMenuItemRECT(2);
    const double share = textShare(f, item, scale * 1.f);
    if (scale == kScales[0])
    {
      reference = item;
      referenceShare = share;
      EXPECT_GT(share, 0.02) << "the item's text is drawn";
      continue;
    }
    EXPECT_NEAR(item.H(), reference.H(), 0.05f * reference.H());
    EXPECT_NEAR(item.W(), reference.W(), 0.05f * reference.W());
    EXPECT_NEAR(item.T, reference.T, 0.05f * reference.H());
    // The text fills its row alike (a fixed text size would fill an eighth
    // of it at four times the scale).
    EXPECT_NEAR(share, referenceShare, 0.4 * referenceShare);
  }
}

TEST(OverlayScale, MenusStayInsideTheWindowAtEverySize)
{
  for (float scale : kScales)
  {
    SCOPED_TRACE(scale);
    for (int items : {4, 30})
    {
      ScaledMenu f(scale, items);
      const IRECT window = f.graphics->GetBounds();
      for (auto [x, y] : {std::pair{5.f, 5.f}, {1360.f, 340.f}, {1360.f, 5.f}, {5.f, 340.f}, {683.f, 174.f}})
      {
        f.editor.Click(x, y);
        ASSERT_TRUE(f.graphics->IsShowingPopupMenu());
        for (int i = 0; i < items; ++i)
          expectInside(window, f.graphics->GetPopupMenuItemRECT(i), "item " + std::to_string(i));
        f.editor.Key(kVK_ESCAPE);
      }
    }
  }
}

TEST(OverlayScale, EscapeClosesMenusAndAnswersBoxesAtEverySize)
{
  for (float scale : kScales)
  {
    SCOPED_TRACE(scale);
    ScaledMenu f(scale);
    f.editor.Click(300, 100);
    ASSERT_TRUE(f.graphics->IsShowingPopupMenu());
    EXPECT_TRUE(f.editor.Key(kVK_ESCAPE));
    EXPECT_FALSE(f.graphics->IsShowingPopupMenu());
    EXPECT_EQ(f.control->selections, std::vector<int>{-100});

    std::vector<EMsgBoxResult> answers;
    auto record = [&answers](EMsgBoxResult answer) { answers.push_back(answer); };
    for (EMsgBoxType type : {kMB_OK, kMB_OKCANCEL, kMB_YESNO, kMB_YESNOCANCEL})
    {
      f.graphics->ShowMessageBox("Overwrite the file?", "Save", type, record);
      EXPECT_TRUE(f.editor.Key(kVK_ESCAPE));
      EXPECT_FALSE(f.graphics->IsShowingMessageBox());
    }
    EXPECT_EQ(answers, (std::vector<EMsgBoxResult>{kOK, kCANCEL, kNO, kCANCEL}));
  }
}

TEST(OverlayScale, MessageBoxesScaleWithTheEditorAndStayInside)
{
  IRECT reference;
  for (float scale : kScales)
  {
    SCOPED_TRACE(scale);
    OffscreenFixture f(1366, 348, scale);
    f.graphics->ShowMessageBox("The current window size was saved to the INI configuration file:\n/home/user/Music/"
                               "TolmarMusic/tolmardelay.ini",
                               "Save Window Size", kMB_YESNO, nullptr);
    const IRECT yes = f.graphics->GetMessageBoxButtonRECT(kYES);
    const IRECT no = f.graphics->GetMessageBoxButtonRECT(kNO);
    ASSERT_FALSE(yes.Empty());
    expectInside(f.graphics->GetBounds(), yes, "yes");
    expectInside(f.graphics->GetBounds(), no, "no");
    if (scale == kScales[0])
    {
      reference = yes;
      continue;
    }
    // Where the box fits it has one size in layout units; where it does not
    // it shrinks to the window rather than leave it.
    if (scale <= 2.f)
    {
      EXPECT_NEAR(yes.H(), reference.H(), 0.05f * reference.H());
      EXPECT_NEAR(yes.W(), reference.W(), 0.05f * reference.W());
    }
    else
    {
      EXPECT_LE(yes.H(), reference.H() * 1.05f);
    }
  }
}
