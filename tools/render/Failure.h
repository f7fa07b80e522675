#pragma once
#include <cctype>
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

inline std::string inQuotes(const std::string& s)
{
    std::string out(1, '"');
    out += s;
    out += '"';
    return out;
}

// A library's message as part of ours: "No such file." becomes "no such file".
inline std::string asClause(std::string message)
{
    while (!message.empty() && (message.back() == '.' || message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    if (message.size() > 1 && std::isupper(static_cast<unsigned char>(message[0])) &&
        !std::isupper(static_cast<unsigned char>(message[1])))
        message[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(message[0])));
    return message;
}
} // namespace tolmar::render
