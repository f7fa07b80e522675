#pragma once
#include "ModuleLibrary.h"

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/base/smartpointer.h"

#include <filesystem>
#include <memory>

namespace tolmar::host
{
// A loaded VST 3 module: the shared object inside a bundle, entered through
// ModuleEntry and asked for its factory, as a DAW loads it. Unloading runs
// ModuleExit and closes the library. Construction throws HostError with the
// reason when the bundle is missing, malformed or refuses to load.
class PluginModule
{
public:
    explicit PluginModule(const std::filesystem::path& bundleOrBinary);
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    // The shared object inside a bundle folder
    // (NAME.vst3/Contents/x86_64-linux/NAME.so); a path to a shared object is
    // taken as it is.
    static std::filesystem::path binaryPath(const std::filesystem::path& bundleOrBinary);

    Steinberg::IPluginFactory* factory() const { return factory_.get(); }
    const std::filesystem::path& bundle() const { return bundle_; }

private:
    void unload();

    std::filesystem::path bundle_;
    std::unique_ptr<ModuleLibrary> library_;
    Steinberg::IPtr<Steinberg::IPluginFactory> factory_;
};
} // namespace tolmar::host
