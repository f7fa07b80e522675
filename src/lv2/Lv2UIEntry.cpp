// The LV2 UI module's one entry point and the C callbacks of its descriptor.
// Every callback comes on the host's UI thread.
#include <cstring>

#include <lv2/ui/ui.h>

#include "lv2/Lv2EditorUI.h"
#include "lv2/Lv2Uris.h"

namespace
{
Lv2EditorUI* uiOf(LV2UI_Handle handle) { return static_cast<Lv2EditorUI*>(handle); }

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginURI, const char* bundlePath,
                         LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features)
{
  if (!pluginURI || std::strcmp(pluginURI, Lv2Uris::kPlugin) != 0)
    return nullptr;
  return Lv2EditorUI::Create(bundlePath, write, controller, widget, features).release();
}

void cleanup(LV2UI_Handle handle) { delete uiOf(handle); }

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
  uiOf(handle)->PortEvent(port, size, format, buffer);
}

int idle(LV2UI_Handle handle) { return uiOf(handle)->Idle(); }

int resize(LV2UI_Feature_Handle handle, int width, int height)
{
  return uiOf(static_cast<LV2UI_Handle>(handle))->HostResized(width, height);
}

const LV2UI_Idle_Interface idleInterface = {idle};
const LV2UI_Resize resizeInterface = {nullptr, resize};

const void* extensionData(const char* uri)
{
  if (uri && std::strcmp(uri, LV2_UI__idleInterface) == 0)
    return &idleInterface;
  if (uri && std::strcmp(uri, LV2_UI__resize) == 0)
    return &resizeInterface;
  return nullptr;
}

const LV2UI_Descriptor descriptor = {Lv2Uris::kEditor, instantiate, cleanup, portEvent, extensionData};
} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
  return index == 0 ? &descriptor : nullptr;
}
