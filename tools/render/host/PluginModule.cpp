#include "PluginModule.h"

#include "HostError.h"

namespace tolmar::host
{
namespace
{
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

    // After ModuleExit the code stays mapped: thread-local storage and late
    // callbacks of a plug-in may still point into it, and unmapping gains
    // nothing in a process that ends after its render.
    library_ = std::make_unique<ModuleLibrary>(binary, ModuleLibrary::Unload::KeepCode);
    if (!library_->loaded())
        throw HostError("cannot load the plug-in " + quoted(binary) + ": " + library_->loadError());
    if (!library_->symbol("ModuleEntry") || !library_->symbol("GetPluginFactory") || !library_->symbol("ModuleExit"))
    {
        library_.reset();
        throw HostError(quoted(binary) + " is not a VST 3 module (ModuleEntry, ModuleExit or GetPluginFactory missing)");
    }
    if (!library_->entry(library_->library()))
    {
        library_.reset();
        throw HostError("the plug-in " + quoted(binary) + " refused to load (ModuleEntry failed)");
    }

    // GetPluginFactory hands over one reference, which the smart pointer owns.
    factory_ = Steinberg::owned(library_->factory());
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
    if (library_ && library_->entered())
        library_->exit();
    library_.reset();
}
} // namespace tolmar::host
