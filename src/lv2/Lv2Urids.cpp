#include "lv2/Lv2Urids.h"

#include <lv2/atom/atom.h>
#include <lv2/midi/midi.h>
#include <lv2/time/time.h>

#include "lv2/Lv2Uris.h"

Lv2Urids::Lv2Urids(const LV2_URID_Map& map)
{
  auto m = [&map](const char* uri) { return map.map(map.handle, uri); };
  atomBlank = m(LV2_ATOM__Blank);
  atomObject = m(LV2_ATOM__Object);
  atomSequence = m(LV2_ATOM__Sequence);
  atomFrameTime = m(LV2_ATOM__frameTime);
  atomBeatTime = m(LV2_ATOM__beatTime);
  atomChunk = m(LV2_ATOM__Chunk);
  atomInt = m(LV2_ATOM__Int);
  atomLong = m(LV2_ATOM__Long);
  atomFloat = m(LV2_ATOM__Float);
  atomDouble = m(LV2_ATOM__Double);
  atomBool = m(LV2_ATOM__Bool);
  atomString = m(LV2_ATOM__String);
  atomVector = m(LV2_ATOM__Vector);
  atomEventTransfer = m(LV2_ATOM__eventTransfer);
  midiEvent = m(LV2_MIDI__MidiEvent);
  timePosition = m(LV2_TIME__Position);
  timeBar = m(LV2_TIME__bar);
  timeBarBeat = m(LV2_TIME__barBeat);
  timeBeatUnit = m(LV2_TIME__beatUnit);
  timeBeatsPerBar = m(LV2_TIME__beatsPerBar);
  timeBeatsPerMinute = m(LV2_TIME__beatsPerMinute);
  timeFrame = m(LV2_TIME__frame);
  timeSpeed = m(LV2_TIME__speed);
  stateChunk = m(Lv2Uris::kStateChunk);
  display = m(Lv2Uris::kDisplay);
  parameterValues = m(Lv2Uris::kParameterValues);
  delayTimeText = m(Lv2Uris::kDelayTimeText);
  rangeIndex = m(Lv2Uris::kRangeIndex);
  delaySynced = m(Lv2Uris::kDelaySynced);
  lfoSynced = m(Lv2Uris::kLFOSynced);
  frozen = m(Lv2Uris::kFrozen);
  learnArmed = m(Lv2Uris::kLearnArmed);
  unlearnMode = m(Lv2Uris::kUnlearnMode);
  restores = m(Lv2Uris::kRestores);
  controllerMap = m(Lv2Uris::kControllerMap);
  hostTempo = m(Lv2Uris::kHostTempo);
  command = m(Lv2Uris::kCommand);
  commandCode = m(Lv2Uris::kCommandCode);
  commandTarget = m(Lv2Uris::kCommandTarget);
}
