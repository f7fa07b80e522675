#pragma once
#include "pluginterfaces/base/ipluginbase.h"

#include <filesystem>
#include <string>

namespace tolmar::host
{
// The shared object of a VST 3 module and its three entry points, as a
// Linux host reaches them: dlopen with the module's symbols kept private,
// then ModuleEntry, GetPluginFactory and ModuleExit. It reports rather than
// throws, so that callers decide what a failure means; it runs no entry
// point by itself and dlcloses on destruction.
class ModuleLibrary
{
public:
    enum class Unload
    {
        Unmap,    // dlclose unmaps the code
        KeepCode, // the code stays mapped after dlclose (RTLD_NODELETE)
    };

    ModuleLibrary(const std::filesystem::path& binary, Unload unload);
    ~ModuleLibrary();
    ModuleLibrary(const ModuleLibrary&) = delete;
    ModuleLibrary& operator=(const ModuleLibrary&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    // Why dlopen failed; empty when it did not.
    const std::string& loadError() const { return loadError_; }
    void* library() const { return handle_; }
    void* symbol(const char* name) const;

    // ModuleEntry with the given handle (the library's own one, as hosts
    // pass it); false when it fails or is missing.
    bool entry(void* libraryHandle);
    // ModuleExit; false when it fails or is missing.
    bool exit();
    bool entered() const { return entered_; }
    // A new reference to the factory (the caller releases it), or null.
    Steinberg::IPluginFactory* factory() const;

private:
    void* handle_ = nullptr;
    bool entered_ = false;
    std::string loadError_;
};
} // namespace tolmar::host
