#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The user's own presets: the .vstpreset files in the folder where hosts
// save and list this effect's presets, shared by both plug-in formats and
// by every host that reads such files.
//
// Every file in the folder is untrusted: it is read only up to a size no
// preset of this effect comes near, and only a file made for this effect's
// class, holding a state the effect can read, counts as a preset. Files
// named like the factory presets are the factory presets installed beside
// them: they are neither listed nor written nor removed here.
//
// Main thread only (the folder is read when the editor's menu opens).
class UserPresetFolder
{
public:
  // A preset file is never larger than this; bigger ones are left alone.
  static constexpr std::size_t kMaxFileBytes = 64 * 1024;
  // Longest name, in characters.
  static constexpr std::size_t kMaxNameLength = 100;
  // At most this many presets are listed, and this many entries of the
  // folder looked at, so a huge folder cannot stall the editor.
  static constexpr std::size_t kMaxListed = 500;
  static constexpr std::size_t kMaxExamined = 4000;

  struct Entry
  {
    std::string name;
    std::string path;
  };

  // ~/.vst3/presets/<vendor>/<effect>; "" when there is no home folder.
  static std::string defaultFolder();
  explicit UserPresetFolder(std::string folder = defaultFolder());
  const std::string& folder() const { return path; }

  // The readable user presets, sorted by name (letter case aside).
  std::vector<Entry> list() const;
  // The component state of the named preset; nothing when the file is gone
  // or cannot be read.
  std::optional<std::vector<char>> load(const std::string& name) const;
  bool exists(const std::string& name) const;

  // Why a name cannot be a preset's ("" when it can): empty, too long, a
  // slash, control characters, no valid text, a hidden file's name, or a
  // factory preset's name.
  static std::string nameProblem(const std::string& name);
  static bool isFactoryName(const std::string& name);

  // Writes the preset as a whole or not at all (a new file renamed over the
  // old one), making the folder when needed. False with a message for the
  // user when it could not.
  bool save(const std::string& name, const std::vector<char>& componentState, std::string& error) const;
  bool remove(const std::string& name, std::string& error) const;

  // The component state in the bytes of a preset file, when they are a
  // preset of this effect with a state it can read; nothing otherwise.
  static std::optional<std::vector<char>> componentStateOf(const char* bytes, std::size_t size);

private:
  std::string fileOf(const std::string& name) const;
  std::string path;
};
