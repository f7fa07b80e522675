#pragma once
#include <functional>
#include <string>

// Starts something that opens a web address; true when it started.
using URLLauncher = std::function<bool(const std::string& url)>;

// Starts program (looked up in PATH when it has no slash) with exactly one
// argument, argument, and does not wait for it: the program runs detached
// (its parent exits at once, so no zombie is left in the host), with no
// shell in between and none of the host's open files. True when the
// program was started.
bool LaunchDetached(const std::string& program, const std::string& argument);

// A launcher that starts program on the address (xdg-open by default).
URLLauncher MakeProgramLauncher(std::string program = "xdg-open");

// Whether an address may be handed to the browser: an http, https or mailto
// address without control characters.
bool IsOpenableURL(const std::string& url);
