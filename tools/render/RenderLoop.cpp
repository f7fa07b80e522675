#include "RenderLoop.h"

#include "Failure.h"
#include "Interrupt.h"
#include "TailGate.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace tolmar::render
{
using namespace Steinberg;

namespace
{
// More than the effect's ten parameters, bypass and a few MIDI ones.
constexpr int kChangeCapacity = 256;
constexpr int kEventCapacity = 512;
} // namespace

BlockProcessor::BlockProcessor(host::HostedPlugin& plugin, double sampleRate, int maxBlock, const Transport& transport)
    : plugin_(plugin), transport_(transport), changes_(kChangeCapacity), outputChanges_(kChangeCapacity),
      events_(kEventCapacity), outputEvents_(kEventCapacity)
{
    context_.sampleRate = sampleRate;
    context_.tempo = transport.tempo;
    context_.timeSigNumerator = 4;
    context_.timeSigDenominator = 4;
    context_.projectTimeMusic = transport.ppq;
    context_.projectTimeSamples = static_cast<Vst::TSamples>(std::llround(transport.ppq * 60.0 / transport.tempo * sampleRate));
    for (int c = 0; c < 2; ++c)
    {
        in64_[c].assign(maxBlock, 0.0);
        out64_[c].assign(maxBlock, 0.0);
        in32_[c].assign(maxBlock, 0.0f);
        out32_[c].assign(maxBlock, 0.0f);
    }
}

void BlockProcessor::run(const double* inLeft, const double* inRight, double* outLeft, double* outRight, int frames)
{
    using Vst::ProcessContext;
    context_.state = ProcessContext::kTempoValid | ProcessContext::kTimeSigValid |
                     ProcessContext::kProjectTimeMusicValid | ProcessContext::kBarPositionValid |
                     ProcessContext::kContTimeValid | (transport_.playing ? ProcessContext::kPlaying : 0);
    // 4/4 throughout: the bar starts on every fourth quarter note.
    context_.barPositionMusic = std::floor(context_.projectTimeMusic / 4.0) * 4.0;

    const bool doubles = plugin_.sampleSize() == Vst::kSample64;
    const double* in[2] = {inLeft, inRight};
    double* in64[2] = {in64_[0].data(), in64_[1].data()};
    double* out64[2] = {out64_[0].data(), out64_[1].data()};
    float* in32[2] = {in32_[0].data(), in32_[1].data()};
    float* out32[2] = {out32_[0].data(), out32_[1].data()};
    for (int c = 0; c < 2; ++c)
    {
        // The plug-in may write into its input buffers, so it gets copies.
        if (doubles)
            std::copy_n(in[c], frames, in64[c]);
        else
            for (int i = 0; i < frames; ++i)
                in32[c][i] = static_cast<float>(in[c][i]);
    }

    Vst::AudioBusBuffers inputBus{};
    Vst::AudioBusBuffers outputBus{};
    inputBus.numChannels = outputBus.numChannels = 2;
    if (doubles)
    {
        inputBus.channelBuffers64 = in64;
        outputBus.channelBuffers64 = out64;
    }
    else
    {
        inputBus.channelBuffers32 = in32;
        outputBus.channelBuffers32 = out32;
    }

    outputChanges_.clear();
    outputEvents_.clear();
    Vst::ProcessData data;
    data.processMode = Vst::kOffline;
    data.symbolicSampleSize = doubles ? Vst::kSample64 : Vst::kSample32;
    data.numSamples = frames;
    data.numInputs = 1;
    data.numOutputs = 1;
    data.inputs = &inputBus;
    data.outputs = &outputBus;
    data.inputParameterChanges = &changes_;
    data.outputParameterChanges = &outputChanges_;
    data.inputEvents = &events_;
    data.outputEvents = &outputEvents_;
    data.processContext = &context_;
    plugin_.process(data);

    double* out[2] = {outLeft, outRight};
    for (int c = 0; c < 2; ++c)
    {
        if (doubles)
            std::copy_n(out64[c], frames, out[c]);
        else
            for (int i = 0; i < frames; ++i)
                out[c][i] = out32[c][i];
    }

    changes_.clear();
    events_.clear();
    context_.continousTimeSamples += frames;
    if (transport_.playing)
    {
        context_.projectTimeSamples += frames;
        context_.projectTimeMusic += frames / context_.sampleRate * transport_.tempo / 60.0;
    }
}

RenderResult renderThrough(host::HostedPlugin& plugin, AudioSource& source, AudioSink* inputTap, AudioSink& output,
                           const RenderPlan& plan, ProgressListener* listener)
{
    const auto started = std::chrono::steady_clock::now();
    const double rate = source.sampleRate();
    const int block = plan.blockSize;
    plugin.startProcessing(rate, block);
    BlockProcessor processor(plugin, rate, block, plan.transport);
    for (const auto& [id, value] : plan.firstBlockChanges)
        processor.nextChanges().set(id, 0, value);

    std::vector<double> inLeft(block), inRight(block), outLeft(block), outRight(block);
    RenderResult result;
    const std::int64_t inputLength = source.length();
    auto check = [] {
        if (interrupted())
            throw Failure("interrupted; nothing was written");
    };

    for (int n; (n = source.read(inLeft.data(), inRight.data(), block)) > 0;)
    {
        check();
        if (inputTap)
            inputTap->write(inLeft.data(), inRight.data(), n);
        processor.run(inLeft.data(), inRight.data(), outLeft.data(), outRight.data(), n);
        output.write(outLeft.data(), outRight.data(), n);
        result.inputFrames += n;
        if (listener)
            listener->progress(result.inputFrames, inputLength, 0);
    }

    std::fill(inLeft.begin(), inLeft.end(), 0.0);
    std::fill(inRight.begin(), inRight.end(), 0.0);
    auto tailBlock = [&](int n) {
        check();
        processor.run(inLeft.data(), inRight.data(), outLeft.data(), outRight.data(), n);
        result.tailFrames += n;
        if (listener)
            listener->progress(result.inputFrames, inputLength, result.tailFrames);
    };

    if (plan.fixedTailSeconds)
    {
        for (auto left = static_cast<std::int64_t>(std::llround(*plan.fixedTailSeconds * rate)); left > 0;)
        {
            const int n = static_cast<int>(std::min<std::int64_t>(block, left));
            tailBlock(n);
            output.write(outLeft.data(), outRight.data(), n);
            left -= n;
        }
    }
    else
    {
        // Asked now: the settings and the tempo arrived with the blocks.
        const Vst::TSamples reported = plugin.tailSamples();
        const auto longest = static_cast<std::int64_t>(std::llround(plan.maxTailSeconds * rate));
        const bool endless = reported == Vst::kInfiniteTail;
        const std::int64_t tail = endless ? longest : std::min<std::int64_t>(reported, longest);
        const std::int64_t quiet = endless ? static_cast<std::int64_t>(std::ceil(plan.quietSeconds * rate)) : tail + 1;
        TailGate gate(output, quiet, std::pow(10.0, plan.silenceDb / 20.0), tail);
        for (bool more = true; more;)
        {
            tailBlock(block);
            more = gate.write(outLeft.data(), outRight.data(), block);
        }
    }
    plugin.stopProcessing();
    result.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return result;
}

void applyWithoutAudio(host::HostedPlugin& plugin, const RenderPlan& plan)
{
    constexpr double kRate = 48000;
    plugin.startProcessing(kRate, plan.blockSize);
    BlockProcessor processor(plugin, kRate, plan.blockSize, plan.transport);
    for (const auto& [id, value] : plan.firstBlockChanges)
        processor.nextChanges().set(id, 0, value);
    double silence[1] = {0};
    double out[2][1];
    processor.run(silence, silence, out[0], out[1], 0);
    plugin.stopProcessing();
}
} // namespace tolmar::render
