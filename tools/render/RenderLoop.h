#pragma once
#include "AudioSource.h"
#include "host/EventList.h"
#include "host/HostedPlugin.h"
#include "host/ParameterChanges.h"

#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace tolmar::render
{
struct Transport
{
    double tempo = 120;
    bool playing = false;
    double ppq = 0;
};

// One process call at a time, as a DAW's audio engine makes it: the
// transport in a process context that moves on with every block while the
// transport plays, the block's parameter changes, and stereo buffers in the
// sample size the plug-in was set up for.
class BlockProcessor
{
public:
    BlockProcessor(host::HostedPlugin& plugin, double sampleRate, int maxBlock, const Transport& transport);

    // Changes that go with the next block, at its first frame.
    host::ParameterChanges& nextChanges() { return changes_; }
    void run(const double* inLeft, const double* inRight, double* outLeft, double* outRight, int frames);

private:
    host::HostedPlugin& plugin_;
    Transport transport_;
    Steinberg::Vst::ProcessContext context_{};
    host::ParameterChanges changes_;
    host::ParameterChanges outputChanges_;
    host::EventList events_;
    host::EventList outputEvents_;
    std::vector<double> in64_[2];
    std::vector<double> out64_[2];
    std::vector<float> in32_[2];
    std::vector<float> out32_[2];
};

struct RenderPlan
{
    int blockSize = 512;
    Transport transport;
    // The host's settings, delivered with the first block.
    std::vector<std::pair<Steinberg::Vst::ParamID, double>> firstBlockChanges;
    // Exactly this long after the input; nothing: as long as the plug-in's
    // tail (getTailSamples, asked once the input has gone through), at most
    // `maxTailSeconds`, with the silence at its end left out. For an endless
    // tail: until the output has been below the silence level for
    // `quietSeconds`.
    std::optional<double> fixedTailSeconds;
    double quietSeconds = 2.05;
    double maxTailSeconds = 60;
    double silenceDb = -90;
};

class ProgressListener
{
public:
    virtual ~ProgressListener() = default;
    virtual void progress(std::int64_t inputDone, std::int64_t inputLength, std::int64_t tailDone) = 0;
};

struct RenderResult
{
    std::int64_t inputFrames = 0;
    std::int64_t tailFrames = 0; // rendered, before the silent end was dropped
    double wallSeconds = 0;
};

// Runs the source through the plug-in into the output, then the tail. The
// input, as fed to the plug-in, also goes to `inputTap` when there is one.
// Throws Failure when interrupted, HostError when the plug-in refuses.
RenderResult renderThrough(host::HostedPlugin& plugin, AudioSource& source, AudioSink* inputTap, AudioSink& output,
                           const RenderPlan& plan, ProgressListener* listener);

// Delivers parameter changes to the processor in a block without audio, so
// that the plug-in's state reflects them without rendering anything.
void applyWithoutAudio(host::HostedPlugin& plugin, const RenderPlan& plan);
} // namespace tolmar::render
