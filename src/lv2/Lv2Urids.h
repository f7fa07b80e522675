#pragma once
#include <lv2/urid/urid.h>

// The URIDs the plug-in and its editor speak in, mapped once per instance
// through the host's urid:map: the atom, MIDI and time vocabulary, and the
// messages of Lv2Uris.h.
struct Lv2Urids
{
  explicit Lv2Urids(const LV2_URID_Map& map);

  LV2_URID atomBlank, atomObject, atomSequence, atomFrameTime, atomBeatTime, atomChunk, atomInt, atomLong, atomFloat, atomDouble,
      atomBool, atomString, atomVector, atomEventTransfer;
  LV2_URID midiEvent;
  LV2_URID timePosition, timeBar, timeBarBeat, timeBeatUnit, timeBeatsPerBar, timeBeatsPerMinute, timeFrame, timeSpeed;
  LV2_URID stateChunk;
  LV2_URID display, parameterValues, delayTimeText, rangeIndex, delaySynced, lfoSynced, frozen, learnArmed, unlearnMode,
      controllerMap, hostTempo, restores;
  LV2_URID command, commandCode, commandTarget;
};
