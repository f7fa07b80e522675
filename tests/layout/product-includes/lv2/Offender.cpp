// Not compiled: the include check must find both product headers below, by
// path and by a relative path, and accept the neutral ones.
#include <lv2/core/lv2.h>

#include "../editor/TolmarEditor.h"
#include "lv2/Lv2Ports.h"
#include "plugin/IEffectPlugin.h"
#include "plugin/MakeEffect.h"
#include "plugin/TolmarDelay.h"
