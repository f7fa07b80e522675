#pragma once
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

// Programs a test starts as a user would, found on PATH with the test's
// environment: no input, their output and errors together in a log file.
namespace logged
{
// Starts the program; in a process group of its own with `ownGroup`, so
// that the group can be ended with all the program started. -1 when it
// could not start.
pid_t start(std::vector<std::string> args, const std::filesystem::path& log, bool ownGroup = false);

// Starts the program with its output and its errors in files of their own.
// -1 when it could not start.
pid_t start(std::vector<std::string> args, const std::filesystem::path& out, const std::filesystem::path& errors);

// Waits for the program's end: its exit code, or 128 + the signal that
// ended it.
int wait(pid_t pid);

// Starts the program and waits for its end; -1 when it could not start.
int run(std::vector<std::string> args, const std::filesystem::path& log);
} // namespace logged
