#pragma once
#include "plugin/IEffectPlugin.h"

// The one function every format's module calls to build an instance; the
// product defines it, so that the format bindings never name the product.
// Construction is serialised process-wide: hosts that create instances from
// several threads get them one after the other, so the instance constructor
// (which reads the configuration file) never runs twice at once. Returns
// null when the instance cannot be built.
IEffectPlugin* MakeEffect(const InstanceInfo& info);
