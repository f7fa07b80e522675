#pragma once
// A small LV2 host on lilv: loads the built bundle as a host does, runs the
// plug-in block by block with control values, MIDI, transport and editor
// commands on its atom input, and reads what it sends on its notify port.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>

namespace lv2host
{
using Stereo = std::array<std::vector<double>, 2>;

// URIs to numbers and back, as a host's urid:map and urid:unmap.
class UridMap
{
public:
  UridMap();
  LV2_URID map(const char* uri);
  const char* unmap(LV2_URID id) const;
  LV2_URID_Map* mapFeature() { return &mapData; }
  const LV2_Feature* const* features() const { return featureList; }

private:
  std::vector<std::string> uris;
  LV2_URID_Map mapData;
  LV2_URID_Unmap unmapData;
  LV2_Feature mapFeatureData;
  LV2_Feature unmapFeatureData;
  const LV2_Feature* featureList[3];
};

// The lilv world with the built bundle (and the LV2 vocabularies of the system)
// loaded.
class World
{
public:
  World();
  ~World();
  World(const World&) = delete;
  World& operator=(const World&) = delete;

  LilvWorld* world = nullptr;
  const LilvPlugin* plugin = nullptr; // null when the bundle did not load
  UridMap urids;

  LilvNode* uri(const char* text);
  // The factory presets as lilv finds them: label and the state lilv made.
  struct Preset
  {
    std::string uri;
    std::string label;
    LilvState* state;
  };
  std::vector<Preset> presets();

private:
  std::vector<LilvNode*> nodes;
  std::vector<LilvState*> states;
};

// What the plug-in last told its editor.
struct Display
{
  int messages = 0;
  std::vector<double> parameterValues;
  std::string delayTimeText;
  int rangeIndex = -1;
  double hostTempo = 0.0;
  bool delaySynced = false, lfoSynced = false, frozen = false, learnArmed = false, unlearnMode = false;
  std::vector<int32_t> controllerMap;
};

// The transport as a host reports it in a time:Position.
struct Position
{
  float beatsPerMinute = 120.0f;
  int64_t bar = 0;
  float barBeat = 0.0f;
  float beatsPerBar = 4.0f;
  int32_t beatUnit = 4;
  int64_t frame = 0;
  float speed = 1.0f;
};

class Instance
{
public:
  Instance(World& world, double sampleRate, uint32_t maxFrames = 4096);
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  bool valid() const { return instance != nullptr; }
  LV2_Handle handle() const;

  // Control input ports.
  float& parameter(int paramIdx);
  float& enabled();

  // Events for the next run, in frame order.
  void midi(uint32_t frame, uint8_t status, uint8_t data1, uint8_t data2);
  void position(uint32_t frame, const Position& position);
  void command(uint32_t frame, int code, int target = -1);
  // The next run's whole control sequence as raw bytes (atom header first),
  // for what no well-behaved host sends.
  void rawEvents(const std::vector<uint8_t>& sequence);
  // Any atom, as an editor's message arrives through the host.
  void event(uint32_t frame, const LV2_Atom* atom);

  // One block of frames (at most maxFrames) of the input's [offset, ...).
  void run(const Stereo& input, Stereo& output, size_t offset, uint32_t frames);
  // The whole input in blocks of the given sizes, repeated.
  Stereo render(const Stereo& input, const std::vector<uint32_t>& blockSizes);

  // The state interface.
  bool save(std::vector<uint8_t>& bytes, uint32_t& type);
  int restore(const std::vector<uint8_t>& bytes, uint32_t type);
  // A preset applied as a host applies one (its port values).
  void applyPreset(LilvState* state);

  // The last display message, read from the notify port; messages counts
  // every one sent so far.
  const Display& display();
  int displayMessages() const { return messageCount; }
  // The last display message as it came (type, size and body), for an
  // editor; null when none came since the last call.
  const LV2_Atom* takeDisplayAtom();

private:
  void startEvents();
  void scanNotify();

  World& world;
  LilvInstance* instance = nullptr;
  uint32_t maxFrames;
  std::vector<float> audio[4];
  std::vector<float> controls;
  std::vector<uint64_t> eventsIn;
  std::vector<uint64_t> notifyOut;
  LV2_Atom_Forge forge{};
  LV2_Atom_Forge_Frame sequenceFrame{};
  bool eventsOpen = false;
  bool rawPending = false;
  std::vector<uint64_t> lastDisplayMessage;
  bool unreadDisplay = false;
  bool untakenDisplay = false;
  int messageCount = 0;
  Display lastDisplay;
};

// Bytes of a VST 3 component state for these plain values: the 103-byte
// chunk and the bypass word.
std::vector<uint8_t> stateBytes(const std::vector<double>& values, int32_t bypass = 0);

Stereo impulse(size_t length, double amplitude = 0.5);
Stereo tone(size_t length, double frequency, double sampleRate, double amplitude = 0.5);
} // namespace lv2host
