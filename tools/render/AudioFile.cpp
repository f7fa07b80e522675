#include "AudioFile.h"

#include "Failure.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolmar::render
{
namespace
{
struct NamedContainer
{
    const char* name;
    int container;
};
constexpr NamedContainer kContainers[] = {
    {"wav", SF_FORMAT_WAV}, {"flac", SF_FORMAT_FLAC}, {"aiff", SF_FORMAT_AIFF},
    {"aif", SF_FORMAT_AIFF}, {"ogg", SF_FORMAT_OGG}, {"oga", SF_FORMAT_OGG},
};

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::optional<int> containerNamed(const std::string& name)
{
    for (const auto& c : kContainers)
        if (lower(name) == c.name)
            return c.container;
    return std::nullopt;
}

bool writable(int code, int sampleRate)
{
    SF_INFO info{};
    info.format = code;
    info.channels = 2;
    info.samplerate = sampleRate;
    return sf_format_check(&info) != 0;
}

std::string containerName(int container)
{
    switch (container)
    {
    case SF_FORMAT_WAV: return "WAV";
    case SF_FORMAT_FLAC: return "FLAC";
    case SF_FORMAT_AIFF: return "AIFF";
    case SF_FORMAT_OGG: return "OGG";
    default: break;
    }
    SF_FORMAT_INFO info{};
    info.format = container;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name)
        return info.name;
    return "audio";
}

// "flac" for "take.FLAC"; empty without an extension.
std::string extensionOf(const std::string& path)
{
    const std::string e = std::filesystem::path(path).extension().string();
    return e.empty() ? e : e.substr(1);
}

std::string systemError() { return asClause(std::strerror(errno)); }
} // namespace

bool AudioFormat::clipsOverFullScale() const
{
    switch (encoding)
    {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32: return true;
    default: return false;
    }
}

std::string AudioFormat::describe() const
{
    std::string e;
    switch (encoding)
    {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8: e = "8-bit"; break;
    case SF_FORMAT_PCM_16: e = "16-bit"; break;
    case SF_FORMAT_PCM_24: e = "24-bit"; break;
    case SF_FORMAT_PCM_32: e = "32-bit"; break;
    case SF_FORMAT_FLOAT: e = "32-bit float"; break;
    case SF_FORMAT_DOUBLE: e = "64-bit float"; break;
    case SF_FORMAT_VORBIS: e = "Vorbis"; break;
    case SF_FORMAT_OPUS: e = "Opus"; break;
    default:
    {
        SF_FORMAT_INFO info{};
        info.format = encoding;
        if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name)
            e = info.name;
    }
    }
    return containerName(container) + (e.empty() ? "" : " " + e);
}

AudioFormat chooseOutputFormat(const std::optional<AudioFormat>& input, const std::string& outputPath,
                               const std::optional<std::string>& format, const std::optional<std::string>& bits,
                               int sampleRate)
{
    AudioFormat out;
    if (format)
    {
        const auto c = containerNamed(*format);
        if (!c)
            throw Failure("unknown --format " + inQuotes(*format) + " (wav, flac, aiff or ogg)");
        out.container = *c;
    }
    else if (const auto c = containerNamed(extensionOf(outputPath)))
        out.container = *c;
    else if (input)
        out.container = input->container;
    else
        out.container = SF_FORMAT_WAV;

    if (out.container == SF_FORMAT_OGG)
    {
        if (bits)
            throw Failure("--bits does not apply to ogg, which is compressed");
        out.encoding = input && input->container == SF_FORMAT_OGG ? input->encoding : SF_FORMAT_VORBIS;
    }
    else if (bits)
    {
        const std::string b = lower(*bits);
        if (b == "8")
            out.encoding = out.container == SF_FORMAT_WAV ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_S8;
        else if (b == "16")
            out.encoding = SF_FORMAT_PCM_16;
        else if (b == "24")
            out.encoding = SF_FORMAT_PCM_24;
        else if (b == "32")
            out.encoding = SF_FORMAT_PCM_32;
        else if (b == "float" || b == "32f")
            out.encoding = SF_FORMAT_FLOAT;
        else if (b == "double" || b == "64f")
            out.encoding = SF_FORMAT_DOUBLE;
        else
            throw Failure("unknown --bits " + inQuotes(*bits) + " (8, 16, 24, 32, float or double)");
    }
    else if (input && writable(out.container | input->encoding, sampleRate))
        out.encoding = input->encoding;
    else
        out.encoding = SF_FORMAT_PCM_24;

    if (!writable(out.code(), sampleRate))
        throw Failure("cannot write " + out.describe() + " at " + std::to_string(sampleRate) + " Hz");
    return out;
}

SoundFileReader::SoundFileReader(const std::string& path) : path_(path)
{
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        throw Failure("cannot read " + inQuotes(path) + ": no such file");
    if (std::filesystem::is_directory(path, ec))
        throw Failure("cannot read " + inQuotes(path) + ": it is a folder");
    SF_INFO info{};
    file_ = sf_open(path.c_str(), SFM_READ, &info);
    if (!file_)
        throw Failure("cannot read " + inQuotes(path) + ": " + asClause(sf_strerror(nullptr)));
    if (info.channels < 1 || info.channels > 2)
    {
        sf_close(file_);
        throw Failure(inQuotes(path) + " has " + std::to_string(info.channels) +
                      " channels; only mono and stereo files can be rendered");
    }
    rate_ = info.samplerate;
    frames_ = info.frames;
    channels_ = info.channels;
    format_.container = info.format & SF_FORMAT_TYPEMASK;
    format_.encoding = info.format & SF_FORMAT_SUBMASK;
}

SoundFileReader::~SoundFileReader()
{
    if (file_)
        sf_close(file_);
}

int SoundFileReader::read(double* left, double* right, int frames)
{
    interleaved_.resize(static_cast<size_t>(frames) * channels_);
    const sf_count_t got = sf_readf_double(file_, interleaved_.data(), frames);
    if (got < 0)
        throw Failure("cannot read " + inQuotes(path_) + ": " + asClause(sf_strerror(file_)));
    for (sf_count_t i = 0; i < got; ++i)
    {
        left[i] = interleaved_[i * channels_];
        right[i] = interleaved_[i * channels_ + channels_ - 1];
    }
    return static_cast<int>(got);
}

std::string SoundFileReader::description() const { return std::filesystem::path(path_).filename().string(); }

PendingFile::PendingFile(const std::filesystem::path& target) : target_(target)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_directory(target, ec))
        throw Failure("cannot write " + inQuotes(target.string()) + ": it is a folder");
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string hidden(1, '.');
    hidden += target.filename().string();
    hidden += ".XXXXXX";
    std::string pattern = (folder / hidden).string();
    fd_ = mkstemp(pattern.data());
    if (fd_ < 0)
        throw Failure("cannot write " + inQuotes(target.string()) + ": " + systemError());
    temporary_ = pattern;

    // The finished file gets the target's permissions, or those of a new file.
    struct stat existing{};
    mode_t mode = 0;
    if (stat(target.c_str(), &existing) == 0)
        mode = existing.st_mode & 07777;
    else
    {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    fchmod(fd_, mode);
}

PendingFile::~PendingFile()
{
    if (fd_ >= 0)
        close(fd_);
    if (!committed_)
        unlink(temporary_.c_str());
}

int PendingFile::releaseDescriptor()
{
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void PendingFile::commit()
{
    if (fd_ >= 0)
    {
        fsync(fd_);
        close(fd_);
        fd_ = -1;
    }
    if (rename(temporary_.c_str(), target_.c_str()) != 0)
        throw Failure("cannot write " + inQuotes(target_.string()) + ": " + systemError());
    committed_ = true;
}

void writeFileAtomically(const std::filesystem::path& target, const std::vector<char>& bytes)
{
    PendingFile pending(target);
    size_t done = 0;
    while (done < bytes.size())
    {
        const ssize_t n = ::write(pending.descriptor(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw Failure("cannot write " + inQuotes(target.string()) + ": " + systemError());
        done += static_cast<size_t>(n);
    }
    pending.commit();
}

std::vector<char> readWholeFile(const std::filesystem::path& path, std::size_t limit)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw Failure("cannot read " + inQuotes(path.string()) + ": " + systemError());
    std::vector<char> bytes;
    char buffer[65536];
    for (;;)
    {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
        {
            const std::string why = systemError();
            close(fd);
            throw Failure("cannot read " + inQuotes(path.string()) + ": " + why);
        }
        if (n == 0)
            break;
        bytes.insert(bytes.end(), buffer, buffer + n);
        if (bytes.size() > limit)
        {
            close(fd);
            throw Failure(inQuotes(path.string()) + " is too large to be a preset");
        }
    }
    close(fd);
    return bytes;
}

SoundFileWriter::SoundFileWriter(const std::string& path, AudioFormat format, int sampleRate)
    : path_(path), pending_(path)
{
    SF_INFO info{};
    info.format = format.code();
    info.channels = 2;
    info.samplerate = sampleRate;
    // libsndfile closes the descriptor it is given; it gets a copy of its own.
    const int fd = dup(pending_.descriptor());
    if (fd < 0)
        throw Failure("cannot write " + inQuotes(path) + ": " + systemError());
    file_ = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (!file_)
    {
        close(fd);
        throw Failure("cannot write " + inQuotes(path) + " as " + format.describe() + ": " + asClause(sf_strerror(nullptr)));
    }
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

SoundFileWriter::~SoundFileWriter()
{
    if (file_)
        sf_close(file_);
}

void SoundFileWriter::write(const double* left, const double* right, int frames)
{
    interleaved_.resize(static_cast<size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i)
    {
        interleaved_[2 * i] = left[i];
        interleaved_[2 * i + 1] = right[i];
    }
    if (sf_writef_double(file_, interleaved_.data(), frames) != frames)
        throw Failure("cannot write " + inQuotes(path_) + ": " + asClause(sf_strerror(file_)));
}

void SoundFileWriter::commit()
{
    const int error = sf_close(file_);
    file_ = nullptr;
    if (error != 0)
        throw Failure("cannot write " + inQuotes(path_) + ": " + asClause(sf_error_number(error)));
    pending_.commit();
}
} // namespace tolmar::render
