// The reader of .vstpreset files that tolmar-render and the editor's user
// presets share, on any bytes: it either refuses them with a reason or hands
// out chunks that lie inside them; the editor takes a state only from a
// file of ours whose state it can read.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzCheck.h"
#include "control/UserPresetFolder.h"
#include "host/HostError.h"
#include "host/PresetFile.h"
#include "host/PresetReader.h"

using namespace tolmar::host;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const auto* bytes = reinterpret_cast<const char*>(data);
  if (const auto state = UserPresetFolder::componentStateOf(bytes, size))
  {
    FUZZ_CHECK(state->size() <= size && !state->empty());
    FUZZ_CHECK(readPresetLayout(bytes, size).componentState->size == state->size());
  }
  try
  {
    const PresetLayout layout = readPresetLayout(bytes, size);
    FUZZ_CHECK(layout.classId.size() == 32);
    unsigned sum = 0;
    for (const auto& chunk : {layout.componentState, layout.controllerState})
      if (chunk)
      {
        FUZZ_CHECK(chunk->offset <= size && chunk->size <= size - chunk->offset);
        // Read every byte handed out, so the address checker sees each one.
        for (size_t i = 0; i < chunk->size; ++i)
          sum += static_cast<unsigned char>(bytes[chunk->offset + i]);
      }
    const std::vector<char> file(bytes, bytes + size);
    FUZZ_CHECK(componentStateOf(file).size() == (layout.componentState ? layout.componentState->size : 0));
    FUZZ_CHECK(classIdOf(file) == layout.classId);
    (void)sum;
  }
  catch (const HostError& refused)
  {
    FUZZ_CHECK(refused.what()[0] != '\0');
  }
  return 0;
}
