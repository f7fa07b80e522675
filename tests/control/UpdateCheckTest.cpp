#include <chrono>
#include <cstdlib>

#include <gtest/gtest.h>

#include "control/UpdateCheck.h"
#include "support/LocalHttpServer.h"

namespace
{
const char* const kNoAnswer = "An error occurred while contacting www.tolmarmusic.com.";
const char* const kInvalid = "Invalid call to www.tolmarmusic.com.";
const char* const kUpToDate = "Your version is up to date.";

std::vector<UpdateMessage> checkAgainst(LocalHttpServer& server)
{
  setenv("TOLMAR_UPDATE_URL", server.baseUrl().c_str(), 1);
  const auto messages = interpretVersionAnswer(fetchVersionAnswer(versionQueryUrl()));
  unsetenv("TOLMAR_UPDATE_URL");
  return messages;
}

std::vector<UpdateMessage> answer(const std::string& body)
{
  LocalHttpServer server(LocalHttpServer::Mode::Answer, body);
  return checkAgainst(server);
}
} // namespace

TEST(UpdateCheck, AsksForTheVersionFile)
{
  LocalHttpServer server(LocalHttpServer::Mode::Answer, "2003");
  checkAgainst(server);
  EXPECT_EQ(server.lastRequestLine(), "GET /music/version/?file=tolmardelay HTTP/1.1");
  EXPECT_EQ(versionQueryUrl(), "https://www.tolmarmusic.com/music/version/?file=tolmardelay");
}

TEST(UpdateCheck, VersionNumbersAreCompared)
{
  auto same = answer("2003");
  ASSERT_EQ(same.size(), 1u);
  EXPECT_EQ(same[0].text, kUpToDate);
  EXPECT_EQ(same[0].caption, "Check Online for Update");
  EXPECT_EQ(same[0].type, UpdateMessage::kOk);

  auto newer = answer("2004");
  ASSERT_EQ(newer.size(), 1u);
  EXPECT_EQ(newer[0].type, UpdateMessage::kYesNo);
  EXPECT_TRUE(newer[0].offersDownload);
  EXPECT_EQ(newer[0].caption, "New Version of Tolmar Charge Chain Delay Detected");
  EXPECT_EQ(newer[0].text, "A new version of Tolmar Charge Chain Delay is available.\n\n"
                           "\tYour version: \t2.0.3\n\tNew version: \t2.0.4\n\n"
                           "Do you want to go to http://www.tolmarmusic.com to get the new version?");

  auto minor = answer("2100");
  ASSERT_EQ(minor.size(), 1u);
  EXPECT_NE(minor[0].text.find("\tNew version: \t2.1.0\n"), std::string::npos);
  auto twoDigitPatch = answer("2012\n");
  EXPECT_NE(twoDigitPatch[0].text.find("\tNew version: \t2.0.12\n\n"), std::string::npos);

  auto letters = answer("latest");
  ASSERT_EQ(letters.size(), 1u);
  EXPECT_EQ(letters[0].text, kUpToDate);
}

TEST(UpdateCheck, BadAnswers)
{
  auto html = answer("<html><body>404</body></html>");
  ASSERT_EQ(html.size(), 1u);
  EXPECT_EQ(html[0].text, kInvalid);

  auto empty = answer("");
  ASSERT_EQ(empty.size(), 1u);
  EXPECT_EQ(empty[0].text, kNoAnswer);

  auto huge = answer(std::string(100000, '9'));
  ASSERT_EQ(huge.size(), 1u);
  EXPECT_EQ(huge[0].text, kInvalid);
}

TEST(UpdateCheck, CutOffAnswerGivesItsResultThenTheNoAnswerMessage)
{
  LocalHttpServer server(LocalHttpServer::Mode::CutOff, "2004");
  const auto messages = checkAgainst(server);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_TRUE(messages[0].offersDownload);
  EXPECT_EQ(messages[1].text, kNoAnswer);
}

TEST(UpdateCheck, NoServerAndSilentServerGiveTheNoAnswerMessage)
{
  setenv("TOLMAR_UPDATE_URL", ("http://127.0.0.1:" + std::to_string(LocalHttpServer::unusedPort())).c_str(), 1);
  auto refused = interpretVersionAnswer(fetchVersionAnswer(versionQueryUrl()));
  unsetenv("TOLMAR_UPDATE_URL");
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0].text, kNoAnswer);

  LocalHttpServer silent(LocalHttpServer::Mode::NeverAnswer, "");
  const auto start = std::chrono::steady_clock::now();
  const auto messages = checkAgainst(silent);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, kNoAnswer);
  EXPECT_LT(seconds, 10.0); // gives up on its own
}
