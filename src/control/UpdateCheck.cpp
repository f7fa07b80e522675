#include "control/UpdateCheck.h"

#include <cstdlib>
#include <cstring>

#include <curl/curl.h>

#include "plugin/VendorInfo.h"

namespace
{
constexpr const char* kProductName = "Tolmar Charge Chain Delay";
constexpr const char* kInstalledVersion = "2.0.3";
constexpr int kFirstNewerVersion = 2004;
constexpr const char* kQueryPath = "/music/version/?file=tolmardelay";
constexpr const char* kCaption = "Check Online for Update";
// A version number is a handful of digits; anything longer is not an answer.
constexpr size_t kMaxBodyBytes = 64 * 1024;
constexpr long kTimeoutMs = 5000;

struct Collector
{
  std::string body;
  bool tooLarge = false;
};

size_t collect(char* data, size_t size, size_t count, void* user)
{
  auto* collector = static_cast<Collector*>(user);
  const size_t bytes = size * count;
  if (collector->body.size() + bytes > kMaxBodyBytes)
  {
    collector->tooLarge = true;
    return 0; // stops the transfer
  }
  collector->body.append(data, bytes);
  return bytes;
}
} // namespace

std::string versionQueryUrl()
{
  const char* base = std::getenv("TOLMAR_UPDATE_URL");
  if (!base || !*base)
    return VendorInfo::kVendorVersionQuery;
  std::string url(base);
  while (!url.empty() && url.back() == '/')
    url.pop_back();
  return url + kQueryPath;
}

VersionAnswer fetchVersionAnswer(const std::string& url)
{
  VersionAnswer answer;
  CURL* curl = curl_easy_init();
  if (!curl)
  {
    answer.readError = true;
    return answer;
  }
  Collector collector;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &collector);
  // The check blocks the host's window, so it never waits long.
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, kTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, kTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 3L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  const CURLcode result = curl_easy_perform(curl);
  curl_easy_cleanup(curl);

  answer.tooLarge = collector.tooLarge;
  answer.readError = result != CURLE_OK && !collector.tooLarge;
  if (!collector.tooLarge)
    answer.body = std::move(collector.body);
  return answer;
}

std::vector<UpdateMessage> interpretVersionAnswer(const VersionAnswer& answer)
{
  const std::string domain = VendorInfo::kVendorHost;
  const UpdateMessage noAnswer{"An error occurred while contacting " + domain + ".", kCaption};
  const UpdateMessage invalid{"Invalid call to " + domain + ".", kCaption};

  if (answer.tooLarge)
    return {invalid};
  const std::string& body = answer.body;
  if (body.empty())
    return {noAnswer};
  if (body.find('<') != std::string::npos)
    return {invalid};

  std::vector<UpdateMessage> messages;
  const long latest = std::strtol(body.c_str(), nullptr, 10);
  if (latest < kFirstNewerVersion || body.size() < 4)
  {
    messages.push_back({"Your version is up to date.", kCaption});
  }
  else
  {
    // "2004" is 2.0.4, "2012" 2.0.12: the patch number has two digits.
    std::string version;
    version += body[0];
    version += '.';
    version += body[1];
    version += '.';
    version += body.substr(body[2] == '0' ? 3 : 2);
    UpdateMessage question;
    question.caption = std::string("New Version of ") + kProductName + " Detected";
    question.text = std::string("A new version of ") + kProductName + " is available.\n\n" +
                    "\tYour version: \t" + kInstalledVersion + "\n" + "\tNew version: \t" + version + "\n" +
                    "\nDo you want to go to http://" + domain + " to get the new version?";
    question.type = UpdateMessage::kYesNo;
    question.offersDownload = true;
    messages.push_back(question);
  }
  if (answer.readError)
    messages.push_back(noAnswer);
  return messages;
}
