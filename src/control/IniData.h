#pragma once
#include <map>
#include <string>
#include <string_view>

// Orders names the way the configuration file does: ASCII letters compared
// without regard to case, everything else by byte value.
struct IniNameLess
{
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

// One section: key -> value, keys unique without regard to case.
using IniKeys = std::map<std::string, std::string, IniNameLess>;
// A whole file: section name -> keys, names unique without regard to case.
using IniSections = std::map<std::string, IniKeys, IniNameLess>;

// Sets key = value. An existing key of any case is replaced, spelling
// included, so the latest writer's spelling is the one that is kept.
void setIniKey(IniKeys& keys, std::string_view key, std::string_view value);

// Reads an INI file from an open descriptor into sections (which it empties
// first). Never fails: whatever cannot be understood is left out.
void parseIni(int fd, IniSections& sections);

// The file text for the sections: sorted, one "key=value" per line, every
// section followed by an empty line; keys that are empty are left out.
std::string serializeIni(const IniSections& sections);

// The limits of the parser, for callers that need to know them.
constexpr size_t kIniMaxLineLength = 33554432;        // longer lines are cut
constexpr size_t kIniMaxBytesBeforeSection = 262144;   // then it is no INI file
