#pragma once

// Module hooks of the program, run on the first module entry and on the last
// module exit. Both return true on success.
bool InitModule();
bool DeinitModule();

// The library handle that the host passed to the first module entry; null
// while the module is not entered.
void* GetModuleHandle();
// The file of the module's library, found on the first module entry (empty
// while the module is not entered). The bundle's resources lie beside it in
// ../Resources.
const char* GetModulePath();
