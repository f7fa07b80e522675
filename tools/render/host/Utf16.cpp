#include "Utf16.h"

#include <vector>

namespace tolmar::host
{
namespace
{
void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80)
        out += static_cast<char>(c);
    else if (c < 0x800)
    {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    else if (c < 0x10000)
    {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    else
    {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::vector<char32_t> decodeUtf8(const std::string& s)
{
    std::vector<char32_t> out;
    for (size_t i = 0; i < s.size();)
    {
        const auto b = static_cast<unsigned char>(s[i]);
        int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
        const bool truncated = extra > 0 && i + extra >= s.size();
        if (extra < 0 || truncated)
        {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        char32_t c = extra == 0 ? b : b & (0x3F >> extra);
        bool valid = true;
        for (int k = 1; k <= extra; ++k)
        {
            const auto cont = static_cast<unsigned char>(s[i + k]);
            if ((cont & 0xC0) != 0x80)
            {
                valid = false;
                break;
            }
            c = (c << 6) | (cont & 0x3F);
        }
        out.push_back(valid ? c : 0xFFFD);
        i += valid ? extra + 1 : 1;
    }
    return out;
}
} // namespace

std::string toUtf8(const Steinberg::Vst::TChar* text, size_t maxLength)
{
    std::string out;
    if (!text)
        return out;
    for (size_t i = 0; i < maxLength && text[i]; ++i)
    {
        char32_t c = static_cast<char16_t>(text[i]);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < maxLength)
        {
            const char32_t low = static_cast<char16_t>(text[i + 1]);
            if (low >= 0xDC00 && low < 0xE000)
            {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
            else
                c = 0xFFFD;
        }
        else if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        appendUtf8(out, c);
    }
    return out;
}

void toString128(const std::string& utf8, Steinberg::Vst::String128 out)
{
    size_t n = 0;
    for (char32_t c : decodeUtf8(utf8))
    {
        if (c >= 0x10000)
        {
            if (n + 2 > 127)
                break;
            c -= 0x10000;
            out[n++] = static_cast<Steinberg::Vst::TChar>(0xD800 + (c >> 10));
            out[n++] = static_cast<Steinberg::Vst::TChar>(0xDC00 + (c & 0x3FF));
        }
        else
        {
            if (n + 1 > 127)
                break;
            out[n++] = static_cast<Steinberg::Vst::TChar>(c);
        }
    }
    out[n] = 0;
}
} // namespace tolmar::host
