#include "vst3/ModuleMain.h"

#include <dlfcn.h>

#include <cstring>
#include <mutex>

#include "pluginterfaces/base/fplatform.h"

// The exported module entry points of a Linux VST 3 module. Hosts call them
// from the thread that loads and unloads the module; a mutex keeps the entry
// count exact even if two host threads load the module at once.
namespace
{
std::mutex& moduleMutex()
{
  static std::mutex mutex;
  return mutex;
}
int entryCount = 0;
void* moduleHandle = nullptr;
char modulePath[2048] = {};

// The library file that holds this code, whatever name the host loaded it by.
void findModulePath()
{
  Dl_info info{};
  modulePath[0] = '\0';
  if (dladdr(reinterpret_cast<void*>(&findModulePath), &info) && info.dli_fname)
  {
    std::strncpy(modulePath, info.dli_fname, sizeof(modulePath) - 1);
    modulePath[sizeof(modulePath) - 1] = '\0';
  }
}
} // namespace

void* GetModuleHandle()
{
  std::lock_guard<std::mutex> lock(moduleMutex());
  return moduleHandle;
}

const char* GetModulePath()
{
  return modulePath;
}

extern "C" {
SMTG_EXPORT_SYMBOL bool ModuleEntry(void* sharedLibraryHandle)
{
  // A host that has no handle to give gets a plain yes; nothing is counted.
  if (!sharedLibraryHandle)
    return true;
  std::lock_guard<std::mutex> lock(moduleMutex());
  if (++entryCount == 1)
  {
    moduleHandle = sharedLibraryHandle;
    findModulePath();
    if (!InitModule())
    {
      entryCount = 0;
      moduleHandle = nullptr;
      modulePath[0] = '\0';
      return false;
    }
  }
  return true;
}

SMTG_EXPORT_SYMBOL bool ModuleExit()
{
  std::lock_guard<std::mutex> lock(moduleMutex());
  if (entryCount == 0)
    return false;
  if (--entryCount == 0)
  {
    DeinitModule();
    moduleHandle = nullptr;
    modulePath[0] = '\0';
  }
  return true;
}
}
