#pragma once
#include <string>

#include "clap/ClapExtensions.h"

// The module's side of CLAP's plug-in factory, for the one effect the
// module holds: its entry file supplies the descriptor, this builds the
// instances through the product's factory function.
namespace ClapFactory
{
// Main thread (entry init): where the editor's art lies for a module at
// modulePath: the folder beside it named after it, "<name>-resources" for
// "<name>.clap". A module reached through a symbolic link finds the folder
// beside the file the link points to when there is none beside the link.
std::string ResourceFolderFor(const std::string& modulePath);

// Main thread: a new plug-in for host, or null when the id is not the
// descriptor's, the host is missing or of an incompatible CLAP version, or
// the instance cannot be built.
const clap_plugin_t* Create(const clap_host_t* host, const char* pluginId, const clap_plugin_descriptor_t& descriptor,
                            const std::string& resourceFolder);
} // namespace ClapFactory
