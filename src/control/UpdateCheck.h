#pragma once
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

// Main thread, blocking: one GET, at most five seconds in all.
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

std::vector<UpdateMessage> interpretVersionAnswer(const VersionAnswer& answer);
