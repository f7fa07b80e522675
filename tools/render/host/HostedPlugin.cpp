#include "HostedPlugin.h"

#include "ClapHost.h"
#include "HostError.h"
#include "Utf16.h"

#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"
#include "pluginterfaces/vst/ivstunits.h"
#include "pluginterfaces/vst/vstspeaker.h"
#include "public.sdk/source/common/memorystream.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tolmar::host
{
using namespace Steinberg;

namespace
{
std::string classIdText(const TUID cid)
{
    char text[33] = {};
    FUID::fromTUID(cid).toString(text);
    return text;
}

template <class I>
IPtr<I> query(FUnknown* object)
{
    I* out = nullptr;
    if (object && object->queryInterface(I::iid, reinterpret_cast<void**>(&out)) == kResultOk && out)
        return owned(out);
    return nullptr;
}
} // namespace

HostedPlugin::HostedPlugin(const PluginModule& module, const TUID classId, const std::string& hostName)
    : hostApplication_(hostName)
{
    IPluginFactory* factory = module.factory();
    const int32 count = factory->countClasses();
    bool found = false;
    std::string offered;
    for (int32 i = 0; i < count; ++i)
    {
        PClassInfo info{};
        if (factory->getClassInfo(i, &info) != kResultOk)
            continue;
        if (std::memcmp(info.cid, classId, sizeof(TUID)) == 0)
        {
            className_ = std::string(info.name, strnlen(info.name, sizeof(info.name)));
            found = true;
            break;
        }
        offered += offered.empty() ? "" : ", ";
        offered += std::string(info.name, strnlen(info.name, sizeof(info.name)));
    }
    if (!found)
        throw HostError("the bundle " + module.bundle().string() + " holds no class " + classIdText(classId) +
                        (offered.empty() ? std::string() : " (it offers " + offered + ")"));

    Vst::IComponent* component = nullptr;
    if (factory->createInstance(classId, Vst::IComponent::iid, reinterpret_cast<void**>(&component)) != kResultOk ||
        !component)
        throw HostError("the plug-in's factory refused to create " + className_);
    component_ = owned(component);

    processor_ = query<Vst::IAudioProcessor>(component_);
    if (!processor_)
        throw HostError(className_ + " is not an audio processor (no IAudioProcessor)");
    // A separate controller class would need a second object, a connection
    // between the two and the state handed across; this effect is one object.
    controller_ = query<Vst::IEditController>(component_);
    if (!controller_)
        throw HostError(className_ + " has a separate edit controller, which this host does not support");

    if (component_->initialize(&hostApplication_) != kResultOk)
        throw HostError("the plug-in refused to initialise (IComponent::initialize)");
    initialized_ = true;
    try
    {
        controller_->setComponentHandler(&handler_);
        readParameters();
    }
    catch (...)
    {
        // The destructor does not run for a half-built object.
        controller_->setComponentHandler(nullptr);
        component_->terminate();
        throw;
    }
}

HostedPlugin::HostedPlugin(const ClapModule& module, const std::string& pluginId, const std::string& hostName)
    : hostApplication_(hostName)
{
    ClapHostOptions options;
    options.name = hostName;
    // A command-line host has no windows and runs no timers.
    options.gui = false;
    options.timers = false;
    options.fds = false;
    clap_ = std::make_unique<ClapInstance>(module, pluginId, options);
    className_ = clap_->plugin().desc && clap_->plugin().desc->name ? clap_->plugin().desc->name : pluginId;
    readClapParameters();
}

void HostedPlugin::readClapParameters()
{
    parameters_.clear();
    clapRanges_.clear();
    for (const clap_param_info_t& info : clap_->parameterInfos())
    {
        ParameterDescription p;
        p.id = info.id;
        p.title = info.name;
        const double span = info.max_value - info.min_value;
        if (info.flags & CLAP_PARAM_IS_STEPPED)
            p.stepCount = static_cast<int>(std::lround(span));
        p.defaultNormalized = span > 0.0 ? std::clamp((info.default_value - info.min_value) / span, 0.0, 1.0) : 0.0;
        p.flags = (info.flags & CLAP_PARAM_IS_AUTOMATABLE ? Vst::ParameterInfo::kCanAutomate : 0) |
                  (info.flags & CLAP_PARAM_IS_BYPASS ? Vst::ParameterInfo::kIsBypass : 0);
        parameters_.push_back(std::move(p));
        clapRanges_.emplace_back(info.min_value, info.max_value);
    }
}

const ParameterDescription& HostedPlugin::described(Vst::ParamID id) const
{
    if (const ParameterDescription* p = parameter(id))
        return *p;
    throw HostError("the plug-in has no parameter " + std::to_string(id));
}

double HostedPlugin::clapPlain(Vst::ParamID id, double normalized) const
{
    const ParameterDescription& p = described(id);
    const auto& [low, high] = clapRanges_[static_cast<size_t>(&p - parameters_.data())];
    const double plain = low + std::clamp(normalized, 0.0, 1.0) * (high - low);
    return p.stepCount > 0 ? std::round(plain) : plain;
}

double HostedPlugin::clapNormalized(Vst::ParamID id, double plain) const
{
    const auto& [low, high] = clapRanges_[static_cast<size_t>(&described(id) - parameters_.data())];
    return high > low ? std::clamp((plain - low) / (high - low), 0.0, 1.0) : 0.0;
}

Steinberg::uint32 HostedPlugin::tailSamples() const
{
    if (!clap_)
        return processor_->getTailSamples();
    // INT32_MAX and more is CLAP's endless tail.
    const uint32_t samples = clap_->tailSamples().value_or(0);
    return samples >= 0x7FFFFFFFu ? Vst::kInfiniteTail : samples;
}

void HostedPlugin::processClap(Vst::ProcessData& data)
{
    ClapEvents events;
    if (Vst::IParameterChanges* changes = data.inputParameterChanges)
        for (int32 q = 0; q < changes->getParameterCount(); ++q)
        {
            Vst::IParamValueQueue* queue = changes->getParameterData(q);
            if (!queue || !parameter(queue->getParameterId()))
                continue;
            const Vst::ParamID id = queue->getParameterId();
            for (int32 i = 0; i < queue->getPointCount(); ++i)
            {
                int32 offset = 0;
                Vst::ParamValue value = 0.0;
                if (queue->getPoint(i, offset, value) != kResultOk)
                    continue;
                events.paramValue(id, clapPlain(id, value), static_cast<uint32_t>(std::max(offset, 0)));
            }
        }
    if (Vst::IEventList* list = data.inputEvents)
        for (int32 i = 0; i < list->getEventCount(); ++i)
        {
            Vst::Event e{};
            if (list->getEvent(i, e) != kResultOk)
                continue;
            const uint32_t time = static_cast<uint32_t>(std::max(e.sampleOffset, 0));
            if (e.type == Vst::Event::kNoteOnEvent)
            {
                const auto velocity = static_cast<uint8_t>(std::clamp(std::lround(e.noteOn.velocity * 127.0f), 0L, 127L));
                const auto status = static_cast<uint8_t>(0x90 | (e.noteOn.channel & 0x0F));
                events.midi(status, static_cast<uint8_t>(e.noteOn.pitch & 0x7F), velocity, time);
            }
            else if (e.type == Vst::Event::kNoteOffEvent)
            {
                const auto status = static_cast<uint8_t>(0x80 | (e.noteOff.channel & 0x0F));
                events.midi(status, static_cast<uint8_t>(e.noteOff.pitch & 0x7F), 0, time);
            }
        }
    // Parameter changes and notes, in time order as CLAP wants them.
    events.sortByTime();

    clap_event_transport_t transport{};
    const clap_event_transport_t* blockTransport = nullptr;
    if (const Vst::ProcessContext* c = data.processContext)
    {
        using Vst::ProcessContext;
        transport.header = {sizeof(transport), 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0};
        const auto beatTime = [](double quarters) {
            return static_cast<clap_beattime>(std::llround(quarters * static_cast<double>(CLAP_BEATTIME_FACTOR)));
        };
        if (c->state & ProcessContext::kTempoValid)
        {
            transport.flags |= CLAP_TRANSPORT_HAS_TEMPO;
            transport.tempo = c->tempo;
        }
        if (c->state & ProcessContext::kProjectTimeMusicValid)
        {
            transport.flags |= CLAP_TRANSPORT_HAS_BEATS_TIMELINE;
            transport.song_pos_beats = beatTime(c->projectTimeMusic);
            transport.bar_start = beatTime(c->barPositionMusic);
        }
        if (c->state & ProcessContext::kTimeSigValid)
        {
            transport.flags |= CLAP_TRANSPORT_HAS_TIME_SIGNATURE;
            transport.tsig_num = static_cast<uint16_t>(c->timeSigNumerator);
            transport.tsig_denom = static_cast<uint16_t>(c->timeSigDenominator);
        }
        if (c->state & ProcessContext::kPlaying)
            transport.flags |= CLAP_TRANSPORT_IS_PLAYING;
        blockTransport = &transport;
    }

    const uint32_t frames = static_cast<uint32_t>(std::max(data.numSamples, 0));
    if (data.numInputs < 1 || data.numOutputs < 1 || !data.inputs || !data.outputs)
        throw HostError("a block without a stereo input and output");
    clap_process_status status = CLAP_PROCESS_ERROR;
    if (data.symbolicSampleSize == Vst::kSample64)
        status = clap_->process(data.inputs[0].channelBuffers64, data.outputs[0].channelBuffers64, frames, &events,
                                nullptr, blockTransport);
    else
        status = clap_->process(data.inputs[0].channelBuffers32, data.outputs[0].channelBuffers32, frames, &events,
                                nullptr, blockTransport);
    if (status == CLAP_PROCESS_ERROR)
        throw HostError("the plug-in refused to process a block (process)");
}

HostedPlugin::~HostedPlugin()
{
    stopProcessing();
    clap_.reset();
    if (controller_)
        controller_->setComponentHandler(nullptr);
    if (initialized_)
        component_->terminate();
    controller_ = nullptr;
    processor_ = nullptr;
    component_ = nullptr;
}

void HostedPlugin::readParameters()
{
    parameters_.clear();
    const int32 count = controller_->getParameterCount();
    parameters_.reserve(count > 0 ? count : 0);
    for (int32 i = 0; i < count; ++i)
    {
        Vst::ParameterInfo info{};
        if (controller_->getParameterInfo(i, info) != kResultOk)
            throw HostError("the plug-in refused to describe its parameter " + std::to_string(i));
        ParameterDescription p;
        p.id = info.id;
        p.title = toUtf8(info.title);
        p.units = toUtf8(info.units);
        p.stepCount = info.stepCount;
        p.defaultNormalized = info.defaultNormalizedValue;
        p.flags = info.flags;
        p.unitId = info.unitId;
        parameters_.push_back(std::move(p));
    }
}

const ParameterDescription* HostedPlugin::parameter(Vst::ParamID id) const
{
    for (const auto& p : parameters_)
        if (p.id == id)
            return &p;
    return nullptr;
}

const ParameterDescription* HostedPlugin::bypassParameter() const
{
    for (const auto& p : parameters_)
        if (p.isBypass())
            return &p;
    return nullptr;
}

double HostedPlugin::normalized(Vst::ParamID id) const
{
    if (clap_)
        return clapNormalized(id, clap_->value(id).value_or(0.0));
    return controller_->getParamNormalized(id);
}

void HostedPlugin::setNormalized(Vst::ParamID id, double normalized)
{
    if (clap_)
    {
        // Outside processing a CLAP host hands values over with a flush.
        ClapEvents in;
        ClapEvents out;
        in.paramValue(id, clapPlain(id, normalized));
        clap_->flush(in, out);
        return;
    }
    if (controller_->setParamNormalized(id, normalized) != kResultOk)
        throw HostError("the plug-in refused a value for parameter " + std::to_string(id));
}

std::string HostedPlugin::text(Vst::ParamID id, double normalized) const
{
    if (clap_)
        return clap_->text(id, clapPlain(id, normalized)).value_or(std::string());
    Vst::String128 s{};
    if (controller_->getParamStringByValue(id, normalized, s) != kResultOk)
        return {};
    return toUtf8(s);
}

std::optional<double> HostedPlugin::normalizedFromText(Vst::ParamID id, const std::string& text) const
{
    if (clap_)
    {
        const auto plain = clap_->fromText(id, text);
        return plain ? std::optional<double>(clapNormalized(id, *plain)) : std::nullopt;
    }
    Vst::String128 s{};
    toString128(text, s);
    Vst::ParamValue value = 0;
    if (controller_->getParamValueByString(id, s, value) != kResultOk)
        return std::nullopt;
    return value;
}

double HostedPlugin::toPlain(Vst::ParamID id, double normalized) const
{
    if (clap_)
        return clapPlain(id, normalized);
    return controller_->normalizedParamToPlain(id, normalized);
}

double HostedPlugin::toNormalized(Vst::ParamID id, double plain) const
{
    if (clap_)
        return clapNormalized(id, plain);
    return controller_->plainParamToNormalized(id, plain);
}

std::string HostedPlugin::unitName(int32 unitId) const
{
    if (clap_)
        return {};
    auto units = query<Vst::IUnitInfo>(controller_);
    if (!units)
        return {};
    const int32 count = units->getUnitCount();
    for (int32 i = 0; i < count; ++i)
    {
        Vst::UnitInfo info{};
        if (units->getUnitInfo(i, info) == kResultOk && info.id == unitId)
            return toUtf8(info.name);
    }
    return {};
}

std::vector<std::string> HostedPlugin::programNames(int32 listId) const
{
    std::vector<std::string> names;
    if (clap_)
        return names;
    auto units = query<Vst::IUnitInfo>(controller_);
    if (!units)
        return names;
    // The plug-in may answer names without publishing the list itself, so
    // ask until it says no; the bound only guards against a list without end.
    for (int32 i = 0; i < 4096; ++i)
    {
        Vst::String128 name{};
        if (units->getProgramName(listId, i, name) != kResultOk)
            break;
        names.push_back(toUtf8(name));
    }
    return names;
}

std::vector<char> HostedPlugin::state() const
{
    if (clap_)
    {
        const auto bytes = clap_->saveState();
        if (!bytes)
            throw HostError("the plug-in refused to hand over its state (clap.state save)");
        return std::vector<char>(bytes->begin(), bytes->end());
    }
    auto stream = owned(new MemoryStream());
    if (component_->getState(stream) != kResultOk)
        throw HostError("the plug-in refused to hand over its state (IComponent::getState)");
    const char* data = stream->getData();
    return std::vector<char>(data, data + stream->getSize());
}

void HostedPlugin::setState(const std::vector<char>& bytes)
{
    if (clap_)
    {
        if (!clap_->loadState(std::vector<uint8_t>(bytes.begin(), bytes.end())))
            throw HostError("the plug-in refused the state (clap.state load)");
        return;
    }
    std::vector<char> copy = bytes; // the stream reads from memory it does not own
    auto stream = owned(new MemoryStream(copy.data(), static_cast<TSize>(copy.size())));
    if (component_->setState(stream) != kResultOk)
        throw HostError("the plug-in refused the state (IComponent::setState)");
    // The controller side of a single component is the same object; telling
    // it keeps the protocol a DAW follows.
    stream->seek(0, IBStream::kIBSeekSet, nullptr);
    controller_->setComponentState(stream);
}

void HostedPlugin::startProcessing(double sampleRate, int maxBlockSize)
{
    stopProcessing();
    if (clap_)
    {
        // The ports take doubles: an offline render keeps them.
        sampleSize_ = Vst::kSample64;
        if (!clap_->start(sampleRate, static_cast<uint32_t>(std::max(maxBlockSize, 1))))
            throw HostError("the plug-in refused to process at " + std::to_string(static_cast<long>(sampleRate)) +
                            " Hz in blocks of " + std::to_string(maxBlockSize) + " (activate)");
        active_ = processing_ = true;
        return;
    }
    Vst::SpeakerArrangement in = Vst::SpeakerArr::kStereo;
    Vst::SpeakerArrangement out = Vst::SpeakerArr::kStereo;
    if (processor_->setBusArrangements(&in, 1, &out, 1) != kResultTrue)
        throw HostError("the plug-in refused a stereo input and a stereo output (setBusArrangements)");
    component_->activateBus(Vst::kAudio, Vst::kInput, 0, true);
    component_->activateBus(Vst::kAudio, Vst::kOutput, 0, true);

    // Doubles where the plug-in takes them: an offline render has no reason
    // to lose precision on the way in and out.
    sampleSize_ = processor_->canProcessSampleSize(Vst::kSample64) == kResultTrue ? Vst::kSample64 : Vst::kSample32;
    Vst::ProcessSetup setup{Vst::kOffline, sampleSize_, maxBlockSize, sampleRate};
    if (processor_->setupProcessing(setup) != kResultOk)
        throw HostError("the plug-in refused to process at " + std::to_string(static_cast<long>(sampleRate)) +
                        " Hz in blocks of " + std::to_string(maxBlockSize) + " (setupProcessing)");
    if (component_->setActive(true) != kResultOk)
        throw HostError("the plug-in refused to become active (setActive)");
    active_ = true;
    // setProcessing may answer "not implemented"; only a refusal counts.
    if (processor_->setProcessing(true) == kResultFalse)
        throw HostError("the plug-in refused to start processing (setProcessing)");
    processing_ = true;
}

void HostedPlugin::process(Vst::ProcessData& data)
{
    if (clap_)
    {
        processClap(data);
        return;
    }
    if (processor_->process(data) != kResultOk)
        throw HostError("the plug-in refused to process a block (process)");
}

void HostedPlugin::stopProcessing()
{
    if (clap_)
    {
        clap_->stop();
        active_ = processing_ = false;
        return;
    }
    if (processing_)
        processor_->setProcessing(false);
    processing_ = false;
    if (active_)
        component_->setActive(false);
    active_ = false;
}
} // namespace tolmar::host
