#pragma once
#include "params/ProductFacts/Lv2Identity.h"

// The plug-in's identity for LV2 hosts (a product fact), and the names of
// the messages between the plug-in and its editor beneath it. Saved
// sessions refer to these; they never change.

namespace Lv2Uris
{
inline constexpr const char* kPlugin = TOLMAR_LV2_URI;
inline constexpr const char* kEditor = TOLMAR_LV2_URI "#editor";
inline constexpr const char* kPresetPrefix = TOLMAR_LV2_URI "#preset-";

// State: the chunk and the bypass word, as VST 3 hosts store them.
inline constexpr const char* kStateChunk = TOLMAR_LV2_URI "#state";

// Plug-in -> editor: what the editor shows beyond its own parameter values.
inline constexpr const char* kDisplay = TOLMAR_LV2_URI "#Display";
inline constexpr const char* kParameterValues = TOLMAR_LV2_URI "#parameterValues"; // vector of doubles
inline constexpr const char* kDelayTimeText = TOLMAR_LV2_URI "#delayTimeText";     // string
inline constexpr const char* kRangeIndex = TOLMAR_LV2_URI "#rangeIndex";           // int
inline constexpr const char* kDelaySynced = TOLMAR_LV2_URI "#delaySynced";         // bool
inline constexpr const char* kLFOSynced = TOLMAR_LV2_URI "#lfoSynced";             // bool
inline constexpr const char* kFrozen = TOLMAR_LV2_URI "#frozen";                   // bool
inline constexpr const char* kLearnArmed = TOLMAR_LV2_URI "#learnArmed";           // bool
inline constexpr const char* kUnlearnMode = TOLMAR_LV2_URI "#unlearnMode";         // bool
inline constexpr const char* kControllerMap = TOLMAR_LV2_URI "#controllerMap";     // vector of ints
inline constexpr const char* kHostTempo = TOLMAR_LV2_URI "#hostTempo";             // double, the transport's
inline constexpr const char* kRestores = TOLMAR_LV2_URI "#restores";               // int, states restored so far

// Editor -> plug-in: a command (the learn, unlearn and freeze buttons, a
// parameter the user took hold of, or a request for a full display message).
inline constexpr const char* kCommand = TOLMAR_LV2_URI "#Command";
inline constexpr const char* kCommandCode = TOLMAR_LV2_URI "#code"; // int, ECommand
inline constexpr const char* kCommandTarget = TOLMAR_LV2_URI "#target"; // int, the parameter of kCommandTouch

enum ECommand : int
{
  kCommandRequestDisplay = 0,
  kCommandLearnOn = 1,
  kCommandLearnOff = 2,
  kCommandUnlearnOn = 3,
  kCommandUnlearnOff = 4,
  kCommandFreeze = 5,
  // The user took hold of a parameter in the editor.
  kCommandTouch = 6,
};
} // namespace Lv2Uris
