#include <chrono>
#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

#include "control/UpdateCheck.h"
#include "control/UpdateCheckTask.h"
#include "support/LocalHttpServer.h"

namespace
{
const char* const kNoAnswer = "An error occurred while contacting www.tolmarmusic.com.";
const char* const kInvalid = "Invalid call to www.tolmarmusic.com.";
const char* const kUpToDate = "Your version is up to date.";
const std::string kReplacement = "\xEF\xBF\xBD";

std::string questionFor(const std::string& version)
{
  return "A new version of Tolmar Charge Chain Delay is available.\n\n"
         "\tYour version: \t2.0.3\n\tNew version: \t" +
         version +
         "\n\n"
         "Do you want to go to http://www.tolmarmusic.com to get the new version?";
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

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

TEST(UpdateCheck, OddBytesNeverReachAMessage)
{
  // A text/plain answer with a line break, white space around the number.
  for (const char* body : {"2004\r\n", "2004\n", " \t2004 \r\n\r\n", "\r\n2004"})
  {
    const auto messages = answer(body);
    ASSERT_EQ(messages.size(), 1u) << body;
    EXPECT_EQ(messages[0].text, questionFor("2.0.4")) << body;
  }
  // Bytes that are not UTF-8, and control characters, become U+FFFD.
  EXPECT_EQ(answer("2004\xff")[0].text, questionFor("2.0.4" + kReplacement));
  EXPECT_EQ(answer("2004\xe2\x82x")[0].text, questionFor("2.0.4" + kReplacement + "x"));
  EXPECT_EQ(answer("2004\xed\xa0\x80")[0].text, questionFor("2.0.4" + kReplacement + kReplacement + kReplacement));
  EXPECT_EQ(answer("2004\x1b[2J\x7f")[0].text, questionFor("2.0.4" + kReplacement + "[2J" + kReplacement));
  EXPECT_EQ(answer("2004\xc2\x85")[0].text, questionFor("2.0.4" + kReplacement));
  EXPECT_EQ(answer(std::string("2004\0beta", 9))[0].text, questionFor("2.0.4" + kReplacement + "beta"));
  // Well-formed text passes unchanged.
  EXPECT_EQ(answer("2004 \xce\xb2")[0].text, questionFor("2.0.4 \xce\xb2"));

  EXPECT_EQ(answer(" \r\n\t")[0].text, kNoAnswer);
  EXPECT_EQ(answer("\xff\xfe")[0].text, kUpToDate);
}

TEST(UpdateCheck, ALongAnswerKeepsTheQuestionShort)
{
  // Just under the 64 KiB the body may have.
  const auto messages = answer("2004" + std::string(65000, '9'));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, questionFor("2.0.4" + std::string(18, '9') + "\xE2\x80\xA6"));
}

TEST(UpdateCheckTask, TheAnswerIsCollectedOnceItHasArrived)
{
  LocalHttpServer server(LocalHttpServer::Mode::Answer, "2004");
  UpdateCheckTask task;
  ASSERT_TRUE(task.start(server.baseUrl() + "/music/version/?file=tolmardelay"));
  EXPECT_TRUE(task.isBusy());
  EXPECT_FALSE(task.start(server.baseUrl())) << "one query at a time";

  std::optional<VersionAnswer> answer;
  const auto start = std::chrono::steady_clock::now();
  while (!(answer = task.takeAnswer()) && secondsSince(start) < 20.0)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->body, "2004");
  EXPECT_FALSE(answer->readError);
  EXPECT_FALSE(task.isBusy());
  EXPECT_FALSE(task.takeAnswer().has_value()) << "taken once";
  EXPECT_EQ(server.requests(), 1);
}

TEST(UpdateCheckTask, ASilentServerNeverHoldsUpTheOwner)
{
  LocalHttpServer silent(LocalHttpServer::Mode::NeverAnswer, "");
  {
    UpdateCheckTask task;
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(task.start(silent.baseUrl()));
    EXPECT_FALSE(task.takeAnswer().has_value());
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // connected and waiting
    EXPECT_FALSE(task.takeAnswer().has_value());
    EXPECT_TRUE(task.isBusy());

    start = std::chrono::steady_clock::now();
    task.cancel();
    EXPECT_LT(secondsSince(start), 1.0); // not the five seconds of the time limit
    EXPECT_FALSE(task.isBusy());
    EXPECT_FALSE(task.takeAnswer().has_value()) << "a cancelled answer is dropped";

    // The task can run again after a cancel.
    LocalHttpServer server(LocalHttpServer::Mode::Answer, "2003");
    ASSERT_TRUE(task.start(server.baseUrl()));
    std::optional<VersionAnswer> answer;
    start = std::chrono::steady_clock::now();
    while (!(answer = task.takeAnswer()) && secondsSince(start) < 20.0)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->body, "2003");
  }
  // Destroyed in the middle of a query.
  const auto start = std::chrono::steady_clock::now();
  {
    UpdateCheckTask task;
    ASSERT_TRUE(task.start(silent.baseUrl()));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_LT(secondsSince(start), 1.5);
}
