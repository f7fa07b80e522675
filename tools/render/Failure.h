#pragma once
#include <stdexcept>
#include <string>

namespace tolmar::render
{
// A render that cannot go on, with the one line the user reads about it.
class Failure : public std::runtime_error
{
public:
    explicit Failure(const std::string& what) : std::runtime_error(what) {}
};

inline std::string inQuotes(const std::string& s) { return "\"" + s + "\""; }
} // namespace tolmar::render
