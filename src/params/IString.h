#pragma once
#include <cstddef>
#include <string>

// Growable 8-bit text. SetFormatted cuts its result to a given length so that
// display texts always fit the controls and the host's fields.
class IString
{
public:
  IString() = default;
  explicit IString(const char* text) { Set(text); }

  void Set(const char* text) { value.assign(text ? text : ""); }
  void Append(const char* text) { value.append(text ? text : ""); }
  void SetFormatted(int maxLen, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void Clear() { value.clear(); }
  void Reserve(size_t capacity) { value.reserve(capacity); }

  const char* Get() const { return value.c_str(); }
  size_t GetLength() const { return value.size(); }
  bool Empty() const { return value.empty(); }
  const std::string& str() const { return value; }

private:
  std::string value;
};
