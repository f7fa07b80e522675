#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <thread>

#include "editor/EditorFixture.h"
#include "support/LocalHttpServer.h"

namespace
{
const char* const kNoAnswer = "An error occurred while contacting www.tolmarmusic.com.";
const char* const kInvalid = "Invalid call to www.tolmarmusic.com.";
const char* const kUpToDate = "Your version is up to date.";
const char* const kDownloadPage = "http://www.tolmarmusic.com/music/vst.html";

double secondsSince(std::chrono::steady_clock::time_point start)
{
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
} // namespace

// The online menu's "Check Online for Update" against a real HTTP server on
// the loopback interface.
class UpdateCheckMenuTest : public EditorTest
{
protected:
  void TearDown() override
  {
    unsetenv("TOLMAR_UPDATE_URL");
    EditorTest::TearDown();
  }

  void openOnlineMenu()
  {
    const IRECT menu = g().GetControl(1)->GetTargetRECT();
    offscreen->Click(menu.MW(), menu.MH());
    ASSERT_TRUE(g().IsShowingPopupMenu());
  }

  const IPopupMenu& onlineMenu() { return controlAt<ITolmarOnlineMenu>(1)->GetMenu(); }

  std::string onlineMenuTextAfterOpening()
  {
    open();
    openOnlineMenu();
    std::string text = onlineMenu().GetItemText(0);
    close();
    return text;
  }

  // Chooses "Check Online for Update"; the check then runs on its own.
  void startCheck(const std::string& baseUrl)
  {
    setenv("TOLMAR_UPDATE_URL", baseUrl.c_str(), 1);
    open();
    openOnlineMenu();
    chooseMenuItem(0);
  }

  // The window's timer runs until the answer shows (or a generous limit).
  void waitForMessageBox()
  {
    const auto start = std::chrono::steady_clock::now();
    while (!g().IsShowingMessageBox() && secondsSince(start) < 30.0)
    {
      frame();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(g().IsShowingMessageBox());
  }

  void checkAgainst(const std::string& baseUrl)
  {
    startCheck(baseUrl);
    waitForMessageBox();
  }

  void check(LocalHttpServer::Mode mode, const std::string& body)
  {
    server = std::make_unique<LocalHttpServer>(mode, body);
    checkAgainst(server->baseUrl());
  }

  // The texts of the boxes shown one after the other, each answered.
  std::vector<std::string> answerAll(EMsgBoxResult answer)
  {
    std::vector<std::string> texts;
    while (g().IsShowingMessageBox() && texts.size() < 5)
    {
      texts.push_back(g().GetMessageBoxText());
      EMsgBoxResult given = g().GetMessageBoxButtonRECT(answer).Empty() ? kOK : answer;
      answerMessageBox(given);
    }
    return texts;
  }

  // The window's pixels, fully redrawn, in the band from the top of the
  // question's last two lines to the bottom of the box's buttons.
  std::vector<uint32_t> questionAndButtons()
  {
    offscreen->RenderAll();
    const IRECT yes = g().GetMessageBoxButtonRECT(kYES);
    const IRECT pixels = g().LayoutToPixels(IRECT(0.f, yes.T - 2.2f * yes.H(), g().GetBounds().R, yes.B + 1.f));
    std::vector<uint32_t> band;
    for (int y = static_cast<int>(pixels.T); y < static_cast<int>(pixels.B); ++y)
    {
      for (int x = static_cast<int>(pixels.L); x < static_cast<int>(pixels.R); ++x)
      {
        const IColor c = offscreen->PixelAt(x, y);
        band.push_back(static_cast<uint32_t>(c.A) << 24 | static_cast<uint32_t>(c.R) << 16 |
                       static_cast<uint32_t>(c.G) << 8 | static_cast<uint32_t>(c.B));
      }
    }
    return band;
  }

  bool buttonInWindow(EMsgBoxResult answer)
  {
    const IRECT button = g().GetMessageBoxButtonRECT(answer);
    const IRECT window = g().GetBounds();
    return !button.Empty() && button.L >= window.L && button.T >= window.T && button.R <= window.R &&
           button.B <= window.B;
  }

  std::unique_ptr<LocalHttpServer> server;
};

// The menu is as wide as its widest item: no item is cut short, at the
// editor's base size and at twice it.
TEST_F(UpdateCheckMenuTest, EveryItemShowsInFullAtEveryScale)
{
  open();
  for (const float scale : {0.5f, 1.0f})
  {
    g().Resize(static_cast<int>(1366 * scale), static_cast<int>(348 * scale), scale);
    frame();
    openOnlineMenu();
    for (int i = 0; i < onlineMenu().NItems(); ++i)
    {
      if (!onlineMenu().GetItem(i)->IsSeparator())
      {
        EXPECT_EQ(g().GetPopupMenuItemText(i), onlineMenu().GetItemText(i)) << "at scale " << scale;
      }
    }
    offscreen->Key(kVK_ESCAPE);
  }
}

TEST_F(UpdateCheckMenuTest, SameVersionIsUpToDate)
{
  check(LocalHttpServer::Mode::Answer, "2003");
  EXPECT_EQ(g().GetMessageBoxCaption(), "Check Online for Update");
  EXPECT_EQ(answerAll(kOK), std::vector<std::string>{kUpToDate});
  EXPECT_TRUE(opened.empty());
}

TEST_F(UpdateCheckMenuTest, NewerVersionOffersTheDownloadPage)
{
  check(LocalHttpServer::Mode::Answer, "2004");
  EXPECT_EQ(g().GetMessageBoxCaption(), "New Version of Tolmar Charge Chain Delay Detected");
  EXPECT_NE(g().GetMessageBoxText().find("\tNew version: \t2.0.4\n"), std::string::npos);
  answerAll(kNO);
  EXPECT_TRUE(opened.empty());

  close();
  check(LocalHttpServer::Mode::Answer, "2100");
  EXPECT_NE(g().GetMessageBoxText().find("\tNew version: \t2.1.0\n"), std::string::npos);
  answerAll(kYES);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], kDownloadPage);
}

TEST_F(UpdateCheckMenuTest, OddAnswers)
{
  check(LocalHttpServer::Mode::Answer, "abc");
  EXPECT_EQ(answerAll(kOK), std::vector<std::string>{kUpToDate});
  close();
  check(LocalHttpServer::Mode::Answer, "<!DOCTYPE html><html>gone</html>");
  EXPECT_EQ(answerAll(kOK), std::vector<std::string>{kInvalid});
  close();
  check(LocalHttpServer::Mode::Answer, "");
  EXPECT_EQ(answerAll(kOK), std::vector<std::string>{kNoAnswer});
}

TEST_F(UpdateCheckMenuTest, CutOffAnswerThenTheNoAnswerMessage)
{
  check(LocalHttpServer::Mode::CutOff, "2004");
  const auto texts = answerAll(kYES);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_NE(texts[0].find("2.0.4"), std::string::npos);
  EXPECT_EQ(texts[1], kNoAnswer);
  EXPECT_EQ(opened.size(), 1u);
}

TEST_F(UpdateCheckMenuTest, NoServerOrASilentOne)
{
  checkAgainst("http://127.0.0.1:" + std::to_string(LocalHttpServer::unusedPort()));
  EXPECT_EQ(answerAll(kOK), std::vector<std::string>{kNoAnswer});
  close();
  check(LocalHttpServer::Mode::NeverAnswer, "");
  EXPECT_EQ(answerAll(kOK), std::vector<std::string>{kNoAnswer});
}

TEST_F(UpdateCheckMenuTest, TheEditorRunsOnWhileTheServerIsSilent)
{
  server = std::make_unique<LocalHttpServer>(LocalHttpServer::Mode::NeverAnswer, "");
  EXPECT_EQ(onlineMenuTextAfterOpening(), "Check Online for Update");
  const auto start = std::chrono::steady_clock::now();
  startCheck(server->baseUrl());
  EXPECT_TRUE(editor->isCheckingForUpdate());
  // The window's timer and the controls answer as ever.
  for (int i = 0; i < 20; ++i)
    frame();
  const IRECT knob = g().GetControl(6)->GetTargetRECT();
  const double before = delay->GetParam(kTime)->Value();
  offscreen->Drag(knob.MW(), knob.MH(), knob.MW(), knob.MH() - knob.H());
  EXPECT_NE(delay->GetParam(kTime)->Value(), before);
  frame();
  // The menu shows the check under way and cannot start a second one.
  openOnlineMenu();
  EXPECT_STREQ(onlineMenu().GetItemText(0), "Checking Online for Update\xE2\x80\xA6");
  EXPECT_FALSE(onlineMenu().GetItem(0)->IsEnabled());
  EXPECT_STREQ(onlineMenu().GetItemText(1), "Visit www.tolmarmusic.com");
  chooseMenuItem(0);
  editor->checkVersionAgainstWeb();
  EXPECT_LT(secondsSince(start), 2.0) << "nothing waited for the server";
  EXPECT_FALSE(g().IsShowingMessageBox());
  while (server->requests() == 0 && secondsSince(start) < 4.0)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(server->requests(), 1);

  // The limit of five seconds ends it with the no-answer message.
  waitForMessageBox();
  EXPECT_EQ(answerAll(kOK), std::vector<std::string>{kNoAnswer});
  EXPECT_FALSE(editor->isCheckingForUpdate());
  openOnlineMenu();
  EXPECT_STREQ(onlineMenu().GetItemText(0), "Check Online for Update");
  EXPECT_TRUE(onlineMenu().GetItem(0)->IsEnabled());
}

TEST_F(UpdateCheckMenuTest, ClosingTheEditorDropsACheckUnderWay)
{
  server = std::make_unique<LocalHttpServer>(LocalHttpServer::Mode::NeverAnswer, "");
  startCheck(server->baseUrl());
  frame();
  auto start = std::chrono::steady_clock::now();
  close();
  EXPECT_LT(secondsSince(start), 1.0);
  EXPECT_FALSE(editor->isCheckingForUpdate());

  // A new window shows no late answer and can check again.
  open();
  for (int i = 0; i < 10; ++i)
    frame();
  EXPECT_FALSE(g().IsShowingMessageBox());
  startCheck(server->baseUrl());
  EXPECT_TRUE(editor->isCheckingForUpdate());

  // The host destroys the editor (or releases the instance) mid-check.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  start = std::chrono::steady_clock::now();
  offscreen.reset();
  editor.reset();
  EXPECT_LT(secondsSince(start), 1.0);
}

TEST_F(UpdateCheckMenuTest, AnswersWithOddBytesShowTheWholeQuestion)
{
  check(LocalHttpServer::Mode::Answer, "2004");
  const std::string question = g().GetMessageBoxText();
  const std::vector<uint32_t> reference = questionAndButtons();
  close();

  // A text/plain answer ends in a line break: nothing of it is seen.
  check(LocalHttpServer::Mode::Answer, "2004\r\n");
  EXPECT_EQ(g().GetMessageBoxText(), question);
  EXPECT_EQ(questionAndButtons(), reference);
  close();

  // Not UTF-8, control characters, an endless version: the version line
  // shows what it can, and the question and both buttons are drawn as ever.
  const std::string replaced = "\tNew version: \t2.0.4\xEF\xBF\xBD";
  for (const std::string& body : {std::string("2004\xff"), std::string("2004\x1b\x08\x7f", 7),
                                  std::string("2004\0", 5), "2004" + std::string(65000, '7')})
  {
    check(LocalHttpServer::Mode::Answer, body);
    const std::string text = g().GetMessageBoxText();
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_NE(text.find("Do you want to go to"), std::string::npos);
    if (body.size() < 10)
    {
      EXPECT_NE(text.find(replaced), std::string::npos) << text;
    }
    EXPECT_EQ(questionAndButtons(), reference) << body.size() << " bytes";
    EXPECT_TRUE(buttonInWindow(kNO));
    answerAll(kYES);
    EXPECT_EQ(opened.size(), 1u);
    opened.clear();
    close();
  }
}

TEST_F(UpdateCheckMenuTest, AnyBytesInAMessageBoxLeaveItsButtonsInReach)
{
  check(LocalHttpServer::Mode::Answer, "2004");
  const IRECT yes = g().GetMessageBoxButtonRECT(kYES);
  offscreen->RenderAll();
  const IColor focused = offscreen->LayoutPixel(yes.L + 0.1f * yes.W(), yes.MH());
  answerAll(kNO);

  std::mt19937 random(12);
  for (size_t size : {size_t(1000), size_t(64 * 1024)})
  {
    std::string bytes(size, ' ');
    for (char& b : bytes)
      b = static_cast<char>(random() % 256);
    std::string answerSeen;
    g().ShowMessageBox(bytes.c_str(), bytes.substr(0, 300).c_str(), kMB_YESNO,
                       [&](EMsgBoxResult answer) { answerSeen = answer == kYES ? "yes" : "other"; });
    ASSERT_TRUE(g().IsShowingMessageBox());
    EXPECT_TRUE(buttonInWindow(kYES));
    EXPECT_TRUE(buttonInWindow(kNO));
    const IRECT shown = g().GetMessageBoxButtonRECT(kYES);
    offscreen->RenderAll();
    const IColor drawn = offscreen->LayoutPixel(shown.L + 0.1f * shown.W(), shown.MH());
    EXPECT_EQ(std::tie(drawn.R, drawn.G, drawn.B), std::tie(focused.R, focused.G, focused.B)) << size;
    answerMessageBox(kYES);
    EXPECT_EQ(answerSeen, "yes");
  }
}
