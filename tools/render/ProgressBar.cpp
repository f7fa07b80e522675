#include "ProgressBar.h"
#include "params/CLocale.h"

#include <string>
#include <unistd.h>

namespace tolmar::render
{
namespace
{
std::string clock(double seconds)
{
    const auto s = static_cast<long>(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}
} // namespace

ProgressBar::ProgressBar(std::FILE* terminal, double sampleRate, bool enabled)
    : terminal_(terminal), rate_(sampleRate), enabled_(enabled)
{
}

ProgressBar::~ProgressBar() { clear(); }

bool ProgressBar::wanted(std::FILE* stream, double inputSeconds, bool quiet)
{
    return !quiet && inputSeconds > 5.0 && isatty(fileno(stream));
}

void ProgressBar::progress(std::int64_t inputDone, std::int64_t inputLength, std::int64_t tailDone)
{
    if (!enabled_)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - last_ < std::chrono::milliseconds(100))
        return;
    last_ = now;

    constexpr int kWidth = 30;
    const double fraction = inputLength > 0 ? static_cast<double>(inputDone) / inputLength : 1.0;
    const int filled = static_cast<int>(fraction * kWidth + 0.5);
    std::string bar(filled, '#');
    bar.append(kWidth - filled, '.');
    std::string line = "\r[" + bar + "] " + std::to_string(static_cast<int>(fraction * 100 + 0.5)) + "%  " +
                       clock(inputDone / rate_) + " / " + clock(inputLength / rate_);
    if (tailDone > 0)
    {
        char tail[48];
        CLocale::Format(tail, sizeof tail, "  + tail %.1f s", tailDone / rate_);
        line += tail;
    }
    line += "\033[K"; // erase what a longer previous line left behind
    std::fputs(line.c_str(), terminal_);
    std::fflush(terminal_);
    drawn_ = true;
}

void ProgressBar::clear()
{
    if (drawn_)
    {
        std::fputs("\r\033[K", terminal_);
        std::fflush(terminal_);
        drawn_ = false;
    }
}
} // namespace tolmar::render
