#include "ModuleLibrary.h"

#include <dlfcn.h>

namespace tolmar::host
{
ModuleLibrary::ModuleLibrary(const std::filesystem::path& binary, Unload unload)
{
    // The module's own symbols stay private to it, as in any host.
    handle_ = dlopen(binary.c_str(), RTLD_NOW | RTLD_LOCAL | (unload == Unload::KeepCode ? RTLD_NODELETE : 0));
    if (!handle_)
    {
        const char* why = dlerror();
        loadError_ = why ? why : "unknown reason";
    }
}

ModuleLibrary::~ModuleLibrary()
{
    if (handle_)
        dlclose(handle_);
}

void* ModuleLibrary::symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

bool ModuleLibrary::entry(void* libraryHandle)
{
    auto* function = reinterpret_cast<bool (*)(void*)>(symbol("ModuleEntry"));
    const bool result = function && function(libraryHandle);
    if (result)
        entered_ = true;
    return result;
}

bool ModuleLibrary::exit()
{
    auto* function = reinterpret_cast<bool (*)()>(symbol("ModuleExit"));
    const bool result = function && function();
    if (result)
        entered_ = false;
    return result;
}

Steinberg::IPluginFactory* ModuleLibrary::factory() const
{
    auto* function = reinterpret_cast<Steinberg::IPluginFactory* (*)()>(symbol("GetPluginFactory"));
    return function ? function() : nullptr;
}
} // namespace tolmar::host
