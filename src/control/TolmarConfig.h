#pragma once
#include <cstdint>
#include <string>

// The effect's per-user settings: the file "tolmardelay.ini" in the folder
// "TolmarMusic" of the user's Music folder. It holds the MIDI controller
// bindings (section "MIDI Control", keys "CC0" to "CC119") and the scale at
// which the editor opens (section "Editor", key "Scale"). Other instances,
// other versions of the effect and the user share the file.

constexpr int kConfigControllers = 120;

// True when the path can be examined.
bool configFileExists(const std::string& path);

// "<Music>/TolmarMusic"; "" when there is no home folder to start from.
std::string configFolderPath();

// Where earlier versions kept the file. They used the per-user application
// support folder; its counterpart here is the XDG configuration folder, so
// "$XDG_CONFIG_HOME/TolmarMusic/tolmardelay.ini" (~/.config by default).
std::string earlierConfigFilePath();

// Finds the file and makes sure it exists: creates the folder (permissions
// 0774) and the file (0666), both exactly whatever the file-creation mask,
// filling a new file once with the bytes of the earlier file when there is
// one. iniPath receives the file's path ("" when there is no home folder).
// True when the file exists afterwards.
bool prepareConfigFile(std::string& iniPath);

// Fills the controller map and the editor scale from the file. A controller
// the file does not mention is unbound, one whose value is empty keeps its
// entry; a missing or empty scale reads as 0.5.
void readConfig(const std::string& iniPath, int32_t (&midiCCMap)[kConfigControllers], float& editorScale);

// Writes the bindings of parameters (entries of 0 or more; unbound
// controllers and the freeze binding are not kept) and the scale in one
// atomic rewrite of the file, keeping its other sections. False when the file
// could not be written.
bool writeConfig(const std::string& iniPath, const int32_t (&midiCCMap)[kConfigControllers], float scale);
