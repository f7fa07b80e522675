#pragma once
#include <string>

// Where the user's folders are, by the freedesktop.org rules. Every function
// answers "" when no home folder can be found.

// $HOME, or the home folder of the user's account when HOME is unset or empty.
std::string userHomeFolder();

// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
std::string userConfigFolder();

// XDG_MUSIC_DIR from user-dirs.dirs in the configuration folder, else ~/Music.
std::string userMusicFolder();

// The value of XDG_MUSIC_DIR in the text of a user-dirs.dirs file, with
// "$HOME" expanded; "" when the text sets none that can be used.
std::string musicFolderFromUserDirs(const std::string& text, const std::string& home);
