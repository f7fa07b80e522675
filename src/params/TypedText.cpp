#include "params/TypedText.h"

#include <charconv>
#include <cmath>

namespace TypedText
{
namespace
{
bool isBlank(char c)
{
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

char lowered(char c)
{
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isDigit(char c)
{
  return c >= '0' && c <= '9';
}
} // namespace

std::string_view Trimmed(std::string_view text)
{
  while (!text.empty() && isBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lowered(a[i]) != lowered(b[i]))
      return false;
  return true;
}

bool ParseNumber(std::string_view text, double& number)
{
  const char* first = text.data();
  const char* const last = text.data() + text.size();
  const bool plus = first != last && *first == '+';
  if (plus)
    ++first;
  // from_chars takes "inf" and "nan" too; they are refused below. A number
  // must begin like one, so that "+-1" or "++1" are not numbers either.
  if (first == last || !(isDigit(*first) || *first == '.' || (*first == '-' && !plus)))
    return false;
  double value = 0.0;
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last || !std::isfinite(value))
    return false;
  number = value;
  return true;
}

bool ParseNumberWithUnit(std::string_view text, std::string_view unit, double& number)
{
  if (unit.empty() || text.size() <= unit.size())
    return false;
  if (!EqualsIgnoringCase(text.substr(text.size() - unit.size()), unit))
    return false;
  text.remove_suffix(unit.size());
  while (!text.empty() && isBlank(text.back()))
    text.remove_suffix(1);
  return ParseNumber(text, number);
}

bool ParseNumberPair(std::string_view text, char separator, double& first, double& second)
{
  const size_t at = text.find(separator);
  if (at == std::string_view::npos)
    return false;
  const std::string_view left = Trimmed(text.substr(0, at));
  const std::string_view right = Trimmed(text.substr(at + 1));
  if (left.empty() || right.empty() || !(isDigit(left.front()) || left.front() == '.') ||
      !(isDigit(right.front()) || right.front() == '.'))
    return false;
  return ParseNumber(left, first) && ParseNumber(right, second);
}
} // namespace TypedText
