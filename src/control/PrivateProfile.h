#pragma once
#include <string>
#include <vector>

#include "control/IniData.h"

// The profile-string functions over INI files, shared by every instance in
// the process. Files are parsed once and kept in a cache of 32 files; a file
// that changed on disk since it was read is read again. Sections and keys are
// found without regard to ASCII case.
//
// file is a path. A name without "/" means a file beside the default file
// "$HOME/.privateprofile.ini": "name" becomes "$HOME/.privateprofile_name.ini".
//
// Sizes are in bytes and include the terminating zero. Every function may be
// called from any thread; one mutex serialises them. Writers replace the file
// as a whole (a temporary file in the same folder renamed over it), so other
// readers and a crash see either the old or the new file, never a mixture.

// Copies the value of key in section, or the default (empty when null), into
// out: leading and trailing blanks are dropped, and one pair of matching
// quotes ('...' or "...") around the value. Returns the length copied.
// With a null key: the names of the section's keys, each ended by a zero byte,
// the list ended by two more. With a null section: the names of all sections
// the same way.
int GetPrivateProfileString(const char* section, const char* key, const char* defaultValue, char* out, int outSize,
                            const char* file);

// Sets key = value in section. A null value deletes the key, a null key the
// section. False for a null or empty section, an empty key, text that would not
// read back as written (line breaks anywhere, "=" or a leading "[" in a key,
// "]" in a section name) or a file that could not be written.
bool WritePrivateProfileString(const char* section, const char* key, const char* value, const char* file);

// Replaces the keys of section with the "key=value" strings of data, each
// ended by a zero byte, the list ended by an empty string. Strings without
// "=" are skipped. False for a null or empty section or when the file could
// not be written.
bool WritePrivateProfileSection(const char* section, const char* data, const char* file);

// The section's entries as "key=value" strings (values as GetPrivateProfileString
// gives them), each ended by a zero byte, the list ended by two more.
// Returns the number of bytes before those two.
int GetPrivateProfileSection(const char* section, char* out, int outSize, const char* file);

// The value as a decimal number, or the default when it is empty or no number.
int GetPrivateProfileInt(const char* section, const char* key, int defaultValue, const char* file);

// Stores size bytes as hexadecimal digits followed by their 8-bit sum. A null
// key deletes the section, null data the key.
bool WritePrivateProfileStruct(const char* section, const char* key, const void* data, int size, const char* file);

// Reads bytes stored by WritePrivateProfileStruct into out (size bytes). True
// only for a value of exactly 2 * size + 2 hexadecimal digits whose last pair
// is the sum of the others; out is left untouched otherwise.
bool GetPrivateProfileStruct(const char* section, const char* key, void* out, int size, const char* file);

// One consistent reading of a file: every value comes from the same version
// of it, however often other processes replace it meanwhile.
class PrivateProfileSnapshot
{
public:
  explicit PrivateProfileSnapshot(const char* file);

  // As GetPrivateProfileString with a section and a key.
  int GetString(const char* section, const char* key, const char* defaultValue, char* out, int outSize) const;

private:
  IniSections sections;
};

// Forgets every cached file. For module unload and for tests that move HOME.
void ClearPrivateProfileCache();

// Several writes to one file that land on disk together, in one rewrite.
// Each call has the meaning of the function of the same name; nothing
// happens before Commit, which applies them in order under the store's lock.
class PrivateProfileBatch
{
public:
  explicit PrivateProfileBatch(const char* file) : file(file ? file : "") {}

  void WriteString(const char* section, const char* key, const char* value);
  // data as for WritePrivateProfileSection; an empty string or null for none.
  void WriteSection(const char* section, const char* data);

  // True when the file holds all the writes (or none of them changed it);
  // false when one of them was refused or the file could not be written, in
  // which case the file and the cache are as they were.
  bool Commit();

private:
  struct Edit
  {
    bool wholeSection = false;
    bool hasSection = false, hasKey = false, hasValue = false;
    std::string section, key, value;
    std::vector<std::string> entries;
  };

  std::string file;
  std::vector<Edit> edits;
};
