// The LV2 module's one entry point and the C callbacks of its descriptor.
#include <cstring>

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>

#include "lv2/Lv2Effect.h"
#include "lv2/Lv2Uris.h"

namespace
{
Lv2Effect* effectOf(LV2_Handle handle) { return static_cast<Lv2Effect*>(handle); }

// Instantiation thread.
LV2_Handle instantiate(const LV2_Descriptor*, double sampleRate, const char*, const LV2_Feature* const* features)
{
  return Lv2Effect::Create(sampleRate, features).release();
}

// Instantiation thread, or the audio thread between runs.
void connectPort(LV2_Handle handle, uint32_t port, void* data) { effectOf(handle)->ConnectPort(port, data); }

// Instantiation thread.
void activate(LV2_Handle handle) { effectOf(handle)->Activate(); }

// Audio thread.
void run(LV2_Handle handle, uint32_t frames) { effectOf(handle)->Run(frames); }

// Instantiation thread.
void deactivate(LV2_Handle handle) { effectOf(handle)->Deactivate(); }

// Instantiation thread.
void cleanup(LV2_Handle handle) { delete effectOf(handle); }

// Main thread, never during run().
LV2_State_Status save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle stateHandle, uint32_t,
                      const LV2_Feature* const*)
{
  return effectOf(handle)->Save(store, stateHandle);
}

// Main thread, never during run().
LV2_State_Status restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle stateHandle,
                         uint32_t, const LV2_Feature* const*)
{
  return effectOf(handle)->Restore(retrieve, stateHandle);
}

const LV2_State_Interface stateInterface = {save, restore};

// Any thread.
const void* extensionData(const char* uri)
{
  if (uri && std::strcmp(uri, LV2_STATE__interface) == 0)
    return &stateInterface;
  return nullptr;
}

const LV2_Descriptor descriptor = {Lv2Uris::kPlugin, instantiate, connectPort, activate, run,
                                   deactivate,       cleanup,     extensionData};
} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
  return index == 0 ? &descriptor : nullptr;
}
