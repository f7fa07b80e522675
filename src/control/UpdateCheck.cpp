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
// How often a transfer looks whether it has been cancelled.
constexpr int kCancelCheckMs = 50;
// A real version text is a few characters; a longer one is cut so that the
// question below it stays in view.
constexpr size_t kMaxVersionCharacters = 24;
constexpr const char* kReplacementCharacter = "\xEF\xBF\xBD"; // U+FFFD
constexpr const char* kEllipsis = "\xE2\x80\xA6";              // U+2026

std::string trimmed(const std::string& text)
{
  const char* const whiteSpace = " \t\r\n\v\f";
  const size_t first = text.find_first_not_of(whiteSpace);
  if (first == std::string::npos)
    return {};
  return text.substr(first, text.find_last_not_of(whiteSpace) - first + 1);
}

// The length of the well-formed UTF-8 sequence at text[i], or of its longest
// well-formed beginning when it is broken (at least 1); `codePoint` is set
// only for a whole sequence.
size_t utf8Sequence(const std::string& text, size_t i, char32_t& codePoint, bool& whole)
{
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  whole = false;
  if (lead < 0x80)
  {
    codePoint = lead;
    whole = true;
    return 1;
  }
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF; // the second byte's range
  if (lead >= 0xC2 && lead <= 0xDF)
    length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF)
  {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80; // no overlong forms
    high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
  }
  else if (lead >= 0xF0 && lead <= 0xF4)
  {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
  }
  else
    return 1;
  char32_t value = lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k)
  {
    if (i + k >= text.size())
      return k;
    const unsigned char next = byte(i + k);
    if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF))
      return k;
    value = (value << 6) | (next & 0x3F);
  }
  codePoint = value;
  whole = true;
  return length;
}

bool isControl(char32_t c)
{
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

// Valid UTF-8 without control characters: each broken sequence and each
// control character becomes U+FFFD.
std::string displayableText(const std::string& text)
{
  std::string shown;
  shown.reserve(text.size());
  for (size_t i = 0; i < text.size();)
  {
    char32_t c = 0;
    bool whole = false;
    const size_t length = utf8Sequence(text, i, c, whole);
    if (whole && !isControl(c))
      shown.append(text, i, length);
    else
      shown += kReplacementCharacter;
    i += length;
  }
  return shown;
}

// At most maxCharacters characters of valid UTF-8, ending in an ellipsis when
// cut.
std::string shortened(const std::string& text, size_t maxCharacters)
{
  size_t characters = 0;
  size_t cut = 0;
  for (size_t i = 0; i < text.size(); ++i)
  {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
      continue;
    if (characters == maxCharacters - 1)
      cut = i;
    ++characters;
  }
  return characters <= maxCharacters ? text : text.substr(0, cut) + kEllipsis;
}

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

int abortWhenCancelled(void* cancelled, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
  return static_cast<const std::atomic<bool>*>(cancelled)->load(std::memory_order_relaxed) ? 1 : 0;
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
  const std::atomic<bool> never{false};
  return fetchVersionAnswer(url, never);
}

VersionAnswer fetchVersionAnswer(const std::string& url, const std::atomic<bool>& cancelled)
{
  VersionAnswer answer;
  CURL* curl = curl_easy_init();
  CURLM* multi = curl ? curl_multi_init() : nullptr;
  if (!multi)
  {
    curl_easy_cleanup(curl);
    answer.readError = true;
    return answer;
  }
  Collector collector;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &collector);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, abortWhenCancelled);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(&cancelled));
  // Nobody waits for an answer that takes longer than this.
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, kTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, kTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 3L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");

  // The multi interface with a short wait, not curl_easy_perform: while a
  // server stays silent the easy loop looks at the progress callback only
  // once a second, and whoever cancels must not wait that long.
  curl_multi_add_handle(multi, curl);
  CURLcode result = CURLE_OK;
  int running = 1;
  while (running)
  {
    if (cancelled.load(std::memory_order_relaxed))
    {
      result = CURLE_ABORTED_BY_CALLBACK;
      break;
    }
    if (curl_multi_perform(multi, &running) != CURLM_OK)
    {
      result = CURLE_FAILED_INIT;
      break;
    }
    if (running && curl_multi_poll(multi, nullptr, 0, kCancelCheckMs, nullptr) != CURLM_OK)
    {
      result = CURLE_FAILED_INIT;
      break;
    }
  }
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi, &left))
  {
    if (message->msg == CURLMSG_DONE && message->easy_handle == curl)
      result = message->data.result;
  }
  curl_multi_remove_handle(multi, curl);
  curl_multi_cleanup(multi);
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
  // A plain-text answer often ends in a line break; a server may send
  // anything at all.
  const std::string body = displayableText(trimmed(answer.body));
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
    // "2004" is 2.0.4, "2012" 2.0.12: the patch number has two digits. The
    // number is at least four digits long, so the first three bytes are
    // digits (or a sign) and the rest starts on a character boundary.
    std::string version;
    version += body[0];
    version += '.';
    version += body[1];
    version += '.';
    version += body.substr(body[2] == '0' ? 3 : 2);
    UpdateMessage question;
    question.caption = std::string("New Version of ") + kProductName + " Detected";
    question.text = std::string("A new version of ") + kProductName + " is available.\n\n" +
                    "\tYour version: \t" + kInstalledVersion + "\n" + "\tNew version: \t" +
                    shortened(version, kMaxVersionCharacters) + "\n" +
                    "\nDo you want to go to http://" + domain + " to get the new version?";
    question.type = UpdateMessage::kYesNo;
    question.offersDownload = true;
    messages.push_back(question);
  }
  if (answer.readError)
    messages.push_back(noAnswer);
  return messages;
}
