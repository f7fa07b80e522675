#pragma once
#include <atomic>
#include <string>
#include <vector>

// Asking the vendor's web site for the latest version and telling the user.

// What the version query brought back.
struct VersionAnswer
{
  std::string body;
  bool readError = false; // the exchange failed or was cut off
  bool tooLarge = false;  // the body exceeded what a version number can be
};

// The address of the version query. TOLMAR_UPDATE_URL, when set, replaces
// the vendor's base address (scheme, host and port) for tests and mirrors.
std::string versionQueryUrl();

// Any thread, blocking: one GET, at most five seconds in all. Setting
// `cancelled` from another thread ends it within about a tenth of a second
// (the answer then counts as failed).
VersionAnswer fetchVersionAnswer(const std::string& url, const std::atomic<bool>& cancelled);
VersionAnswer fetchVersionAnswer(const std::string& url);

// One message box of the answer, shown in order.
struct UpdateMessage
{
  enum Type { kOk = 0, kYesNo = 4 };
  std::string text;
  std::string caption;
  Type type = kOk;
  // A yes to this question opens the download page.
  bool offersDownload = false;
};

// The messages for an answer. The body is the web's, so nothing of it
// reaches a message unchecked: surrounding white space is trimmed, bytes that
// are not UTF-8 and control characters become U+FFFD, and the version text is
// kept short, so every text is valid UTF-8 a message box can show.
std::vector<UpdateMessage> interpretVersionAnswer(const VersionAnswer& answer);
