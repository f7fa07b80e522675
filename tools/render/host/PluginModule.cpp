#include "PluginModule.h"

#include "HostError.h"

#include <dlfcn.h>

namespace tolmar::host
{
namespace
{
using ModuleEntryFunc = bool (*)(void*);
using ModuleExitFunc = bool (*)();
using GetFactoryFunc = Steinberg::IPluginFactory* (*)();

constexpr const char* kArchitectureFolder = "x86_64-linux";

std::string quoted(const std::filesystem::path& p)
{
    std::string s(1, '"');
    s += p.string();
    s += '"';
    return s;
}
} // namespace

std::filesystem::path PluginModule::binaryPath(const std::filesystem::path& bundleOrBinary)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::exists(bundleOrBinary, ec))
        throw HostError("no plug-in bundle at " + quoted(bundleOrBinary));
    if (!fs::is_directory(bundleOrBinary, ec))
        return bundleOrBinary;

    fs::path bundle = bundleOrBinary;
    if (!bundle.has_filename())
        bundle = bundle.parent_path(); // a trailing slash
    fs::path binary = bundle / "Contents" / kArchitectureFolder / bundle.stem();
    binary += ".so";
    if (!fs::is_regular_file(binary, ec))
        throw HostError(quoted(bundleOrBinary) + " is not a VST 3 bundle for this machine (no " +
                        quoted(fs::path("Contents") / kArchitectureFolder / binary.filename()) + " inside)");
    return binary;
}

PluginModule::PluginModule(const std::filesystem::path& bundleOrBinary) : bundle_(bundleOrBinary)
{
    const auto binary = binaryPath(bundleOrBinary);

    // The module's own symbols stay private to it, as in any host. After
    // ModuleExit the code stays mapped: thread-local storage and late
    // callbacks of a plug-in may still point into it, and unmapping gains
    // nothing in a process that ends after its render.
    library_ = dlopen(binary.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!library_)
    {
        const char* why = dlerror();
        throw HostError("cannot load the plug-in " + quoted(binary) + ": " + (why ? why : "unknown reason"));
    }

    auto entry = reinterpret_cast<ModuleEntryFunc>(dlsym(library_, "ModuleEntry"));
    auto getFactory = reinterpret_cast<GetFactoryFunc>(dlsym(library_, "GetPluginFactory"));
    if (!entry || !getFactory || !dlsym(library_, "ModuleExit"))
    {
        dlclose(library_);
        throw HostError(quoted(binary) + " is not a VST 3 module (ModuleEntry, ModuleExit or GetPluginFactory missing)");
    }
    if (!entry(library_))
    {
        dlclose(library_);
        throw HostError("the plug-in " + quoted(binary) + " refused to load (ModuleEntry failed)");
    }
    entered_ = true;

    // GetPluginFactory hands over one reference, which the smart pointer owns.
    factory_ = Steinberg::owned(getFactory());
    if (!factory_)
    {
        unload();
        throw HostError("the plug-in " + quoted(binary) + " has no factory (GetPluginFactory returned nothing)");
    }
}

PluginModule::~PluginModule() { unload(); }

void PluginModule::unload()
{
    factory_ = nullptr;
    if (library_)
    {
        if (entered_)
        {
            if (auto exit = reinterpret_cast<ModuleExitFunc>(dlsym(library_, "ModuleExit")))
                exit();
        }
        dlclose(library_);
        library_ = nullptr;
    }
}
} // namespace tolmar::host
