#pragma once
#include "ComponentHandler.h"
#include "HostApplication.h"
#include "PluginModule.h"

#include "pluginterfaces/base/funknown.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tolmar::host
{
class ClapInstance;
class ClapModule;

// What the edit controller tells about one parameter.
struct ParameterDescription
{
    Steinberg::Vst::ParamID id = 0;
    std::string title;
    std::string units;
    int stepCount = 0; // 0 for a continuous parameter
    double defaultNormalized = 0;
    Steinberg::int32 flags = 0;
    Steinberg::int32 unitId = 0;

    bool isBypass() const { return (flags & Steinberg::Vst::ParameterInfo::kIsBypass) != 0; }
};

// One instance of a single-component effect, created from a module's factory
// and driven through IComponent, IAudioProcessor and IEditController, which
// the one object answers. Every refusal by the plug-in becomes a HostError
// that names the call. All calls come from the thread that owns the object.
//
// The same instance may come from a CLAP module instead: the calls then go
// through the CLAP interfaces, with the parameters' plain range mapped
// linearly onto 0..1 as this host's normalised values, the component state
// as the CLAP state, and each block's VST 3 process data handed over as a
// CLAP process call (parameter changes as events in time order, notes as
// MIDI, the process context as the transport). component(), controller()
// and processor() are null then.
class HostedPlugin
{
public:
    HostedPlugin(const PluginModule& module, const Steinberg::TUID classId, const std::string& hostName);
    HostedPlugin(const ClapModule& module, const std::string& pluginId, const std::string& hostName);
    ~HostedPlugin();
    HostedPlugin(const HostedPlugin&) = delete;
    HostedPlugin& operator=(const HostedPlugin&) = delete;

    const std::string& className() const { return className_; }

    // Parameters, as published by the edit controller, in its order.
    const std::vector<ParameterDescription>& parameters() const { return parameters_; }
    const ParameterDescription* parameter(Steinberg::Vst::ParamID id) const;
    const ParameterDescription* bypassParameter() const;
    double normalized(Steinberg::Vst::ParamID id) const;
    void setNormalized(Steinberg::Vst::ParamID id, double normalized);
    std::string text(Steinberg::Vst::ParamID id, double normalized) const;
    // The controller's own reading of a text; nothing when it refuses.
    std::optional<double> normalizedFromText(Steinberg::Vst::ParamID id, const std::string& text) const;
    double toPlain(Steinberg::Vst::ParamID id, double normalized) const;
    double toNormalized(Steinberg::Vst::ParamID id, double plain) const;

    // The name of a unit the plug-in groups parameters in; empty when unknown.
    std::string unitName(Steinberg::int32 unitId) const;

    // Names the plug-in answers for a program list, index 0 upwards until it
    // refuses one.
    std::vector<std::string> programNames(Steinberg::int32 listId) const;

    // The component state, as a host stores it in a project.
    std::vector<char> state() const;
    void setState(const std::vector<char>& bytes);

    // Processing: stereo in and out, offline, 64-bit samples when the
    // plug-in takes them.
    void startProcessing(double sampleRate, int maxBlockSize);
    void process(Steinberg::Vst::ProcessData& data);
    void stopProcessing();
    bool processing() const { return processing_; }
    Steinberg::Vst::SymbolicSampleSizes sampleSize() const { return sampleSize_; }

    // Samples of tail the plug-in reports now; kInfiniteTail for one without end.
    Steinberg::uint32 tailSamples() const;
    bool isClap() const { return clap_ != nullptr; }

    Steinberg::Vst::IComponent* component() const { return component_.get(); }
    Steinberg::Vst::IEditController* controller() const { return controller_.get(); }
    Steinberg::Vst::IAudioProcessor* processor() const { return processor_.get(); }
    const ComponentHandler& handler() const { return handler_; }

private:
    void readParameters();
    void readClapParameters();
    const ParameterDescription& described(Steinberg::Vst::ParamID id) const;
    double clapPlain(Steinberg::Vst::ParamID id, double normalized) const;
    double clapNormalized(Steinberg::Vst::ParamID id, double plain) const;
    void processClap(Steinberg::Vst::ProcessData& data);

    HostApplication hostApplication_;
    ComponentHandler handler_;
    std::string className_;
    Steinberg::IPtr<Steinberg::Vst::IComponent> component_;
    Steinberg::IPtr<Steinberg::Vst::IAudioProcessor> processor_;
    Steinberg::IPtr<Steinberg::Vst::IEditController> controller_;
    bool initialized_ = false;
    bool active_ = false;
    bool processing_ = false;
    Steinberg::Vst::SymbolicSampleSizes sampleSize_ = Steinberg::Vst::kSample32;
    std::vector<ParameterDescription> parameters_;
    std::unique_ptr<ClapInstance> clap_;
    // The plain range of each CLAP parameter, in the order of parameters_.
    std::vector<std::pair<double, double>> clapRanges_;
};
} // namespace tolmar::host
