#pragma once
#include "AudioSource.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

typedef struct sf_private_tag SNDFILE;

namespace tolmar::render
{
// A file format as libsndfile names it: container and sample encoding.
struct AudioFormat
{
    int container = 0; // SF_FORMAT_WAV, ...
    int encoding = 0;  // SF_FORMAT_PCM_24, ...

    int code() const { return container | encoding; }
    // Integer samples: anything beyond full scale is clipped on writing.
    bool clipsOverFullScale() const;
    // "WAV 24-bit", "FLAC 16-bit", "OGG Vorbis"
    std::string describe() const;
};

// The output format: an explicit --format or --bits wins; otherwise OUT's
// extension chooses the container when it names one, and the input's
// encoding is kept where that container can hold it. Generated signals have
// no input format and become 24-bit (Vorbis for ogg). Throws Failure when
// the combination cannot be written.
AudioFormat chooseOutputFormat(const std::optional<AudioFormat>& input, const std::string& outputPath,
                               const std::optional<std::string>& format, const std::optional<std::string>& bits,
                               int sampleRate);

// Reads any file libsndfile reads, one or two channels.
class SoundFileReader final : public AudioSource
{
public:
    explicit SoundFileReader(const std::string& path);
    ~SoundFileReader() override;

    double sampleRate() const override { return rate_; }
    std::int64_t length() const override { return frames_; }
    int read(double* left, double* right, int frames) override;
    std::string description() const override;

    AudioFormat format() const { return format_; }
    int channels() const { return channels_; }

private:
    std::string path_;
    SNDFILE* file_ = nullptr;
    double rate_ = 0;
    std::int64_t frames_ = 0;
    int channels_ = 0;
    AudioFormat format_;
    std::vector<double> interleaved_;
};

// A file that replaces its target only once it is complete: the audio goes
// into a hidden temporary file in the target's folder, which commit()
// renames over the target. Without commit() the temporary file is removed
// and the target stays as it was.
class PendingFile
{
public:
    explicit PendingFile(const std::filesystem::path& target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    int descriptor() const { return fd_; }
    // Hands the descriptor to whoever closes it.
    int releaseDescriptor();
    void commit();

private:
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    int fd_ = -1;
    bool committed_ = false;
};

// Writes the whole of a byte buffer to a file through PendingFile.
void writeFileAtomically(const std::filesystem::path& target, const std::vector<char>& bytes);
std::vector<char> readWholeFile(const std::filesystem::path& path, std::size_t limit);

// Writes stereo audio to a PendingFile in the chosen format. Samples beyond
// full scale are clipped by the file encoder instead of wrapping around.
class SoundFileWriter final : public AudioSink
{
public:
    SoundFileWriter(const std::string& path, AudioFormat format, int sampleRate);
    ~SoundFileWriter() override;

    void write(const double* left, const double* right, int frames) override;
    // Finishes the file and puts it in place of the target.
    void commit();

private:
    std::string path_;
    PendingFile pending_;
    SNDFILE* file_ = nullptr;
    std::vector<double> interleaved_;
};
} // namespace tolmar::render
