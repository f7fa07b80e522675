#include "HostedPlugin.h"

#include "HostError.h"
#include "Utf16.h"

#include "pluginterfaces/vst/ivstunits.h"
#include "pluginterfaces/vst/vstspeaker.h"
#include "public.sdk/source/common/memorystream.h"

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

HostedPlugin::~HostedPlugin()
{
    stopProcessing();
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

double HostedPlugin::normalized(Vst::ParamID id) const { return controller_->getParamNormalized(id); }

void HostedPlugin::setNormalized(Vst::ParamID id, double normalized)
{
    if (controller_->setParamNormalized(id, normalized) != kResultOk)
        throw HostError("the plug-in refused a value for parameter " + std::to_string(id));
}

std::string HostedPlugin::text(Vst::ParamID id, double normalized) const
{
    Vst::String128 s{};
    if (controller_->getParamStringByValue(id, normalized, s) != kResultOk)
        return {};
    return toUtf8(s);
}

std::optional<double> HostedPlugin::normalizedFromText(Vst::ParamID id, const std::string& text) const
{
    Vst::String128 s{};
    toString128(text, s);
    Vst::ParamValue value = 0;
    if (controller_->getParamValueByString(id, s, value) != kResultOk)
        return std::nullopt;
    return value;
}

double HostedPlugin::toPlain(Vst::ParamID id, double normalized) const
{
    return controller_->normalizedParamToPlain(id, normalized);
}

double HostedPlugin::toNormalized(Vst::ParamID id, double plain) const
{
    return controller_->plainParamToNormalized(id, plain);
}

std::string HostedPlugin::unitName(int32 unitId) const
{
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
    auto stream = owned(new MemoryStream());
    if (component_->getState(stream) != kResultOk)
        throw HostError("the plug-in refused to hand over its state (IComponent::getState)");
    const char* data = stream->getData();
    return std::vector<char>(data, data + stream->getSize());
}

void HostedPlugin::setState(const std::vector<char>& bytes)
{
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
    if (processor_->process(data) != kResultOk)
        throw HostError("the plug-in refused to process a block (process)");
}

void HostedPlugin::stopProcessing()
{
    if (processing_)
        processor_->setProcessing(false);
    processing_ = false;
    if (active_)
        component_->setActive(false);
    active_ = false;
}
} // namespace tolmar::host
