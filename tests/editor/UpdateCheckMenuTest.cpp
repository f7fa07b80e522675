#include <cstdlib>

#include "editor/EditorFixture.h"
#include "support/LocalHttpServer.h"

namespace
{
const char* const kNoAnswer = "An error occurred while contacting www.tolmarmusic.com.";
const char* const kInvalid = "Invalid call to www.tolmarmusic.com.";
const char* const kUpToDate = "Your version is up to date.";
const char* const kDownloadPage = "http://www.tolmarmusic.com/music/vst.html";
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

  void checkAgainst(const std::string& baseUrl)
  {
    setenv("TOLMAR_UPDATE_URL", baseUrl.c_str(), 1);
    open();
    const IRECT menu = g().GetControl(1)->GetTargetRECT();
    offscreen->Click(menu.MW(), menu.MH());
    ASSERT_TRUE(g().IsShowingPopupMenu());
    chooseMenuItem(0);
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

  std::unique_ptr<LocalHttpServer> server;
};

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
