// The per-user configuration file as a user or another program may leave
// it: the INI parser, the profile functions over it and the effect's
// configuration loader, on any bytes.
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "FuzzCheck.h"
#include "control/IniData.h"
#include "control/PrivateProfile.h"
#include "control/TolmarConfig.h"

namespace
{
std::string folder()
{
  // The home folder is the target's own.
  const char* home = std::getenv("HOME");
  FUZZ_CHECK(home != nullptr);
  return home;
}

void writeFile(const std::string& path, const void* bytes, size_t size)
{
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
  FUZZ_CHECK(out.good());
}

IniSections parseFile(const std::string& path)
{
  IniSections sections;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  FUZZ_CHECK(fd >= 0);
  parseIni(fd, sections);
  ::close(fd);
  return sections;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const std::string path = folder() + "/tolmardelay.ini";
  const std::string copy = folder() + "/written.ini";
  writeFile(path, data, size);
  // The cache would otherwise keep a file of the same size and time.
  ClearPrivateProfileCache();

  // What the parser keeps, written out and read again, is the same.
  const std::string text = serializeIni(parseFile(path));
  writeFile(copy, text.data(), text.size());
  FUZZ_CHECK(serializeIni(parseFile(copy)) == text);

  int32_t map[kConfigControllers];
  for (auto& entry : map)
    entry = 3;
  float scale = -1.0f;
  readConfig(path, map, scale);
  FUZZ_CHECK(std::isfinite(scale));

  // Lists and values always fit the caller's buffer, ended as promised.
  char out[64];
  for (const char* section : {static_cast<const char*>(nullptr), "MIDI Control", "Editor"})
  {
    const int n = GetPrivateProfileString(section, nullptr, "", out, sizeof out, path.c_str());
    FUZZ_CHECK(n >= 0 && n < static_cast<int>(sizeof out));
  }
  const int n = GetPrivateProfileString("Editor", "Scale", "x", out, sizeof out, path.c_str());
  FUZZ_CHECK(n >= 0 && n < static_cast<int>(sizeof out) && out[n] == '\0');
  const int m = GetPrivateProfileSection("MIDI Control", out, sizeof out, path.c_str());
  FUZZ_CHECK(m >= 0 && m < static_cast<int>(sizeof out));
  GetPrivateProfileInt("MIDI Control", "CC7", -1, path.c_str());
  unsigned char blob[4];
  GetPrivateProfileStruct("Editor", "Blob", blob, sizeof blob, path.c_str());

  // A write into such a file reads back as written.
  FUZZ_CHECK(WritePrivateProfileString("Fuzz", "Key", "value", path.c_str()));
  FUZZ_CHECK(GetPrivateProfileString("Fuzz", "Key", "", out, sizeof out, path.c_str()) == 5);
  FUZZ_CHECK(std::strcmp(out, "value") == 0);
  return 0;
}
