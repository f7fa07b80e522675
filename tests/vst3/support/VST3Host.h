#pragma once
// Small host-side implementations of the VST 3 interfaces a host hands to a
// plug-in, and a loader that opens the built bundle as a host does.
#include <cstdint>
#include <string>
#include <thread>
#include <atomic>
#include <vector>

#include "host/ModuleLibrary.h"
#include "params/ProductFacts/ParameterIds.h"
#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivstattributes.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstchannelcontextinfo.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivsthostapplication.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"
#include "pluginterfaces/vst/ivstunits.h"

namespace host
{
using namespace Steinberg;
using namespace Steinberg::Vst;

// Host parameter IDs as the module publishes them.
constexpr ParamID kBypassID = ParamIDs::kBypass;
constexpr ParamID kFirstMidiControllerID = ParamIDs::kMidiControllerFirst;
constexpr ParamID midiControllerID(int channel, int controller) { return ParamIDs::MidiController(channel, controller); }

// Host objects live on the test's stack; reference counts are tracked only
// to check that the plug-in balances them.
#define TEST_HOST_REFCOUNT                                     \
  uint32 PLUGIN_API addRef() override { return ++refs; }      \
  uint32 PLUGIN_API release() override { return --refs; }    \
  int32 refs = 1;

// --- The module ------------------------------------------------------------

// The built bundle (or the library at path) loaded and entered as a Linux
// host does; ModuleExit and dlclose on destruction. The entry points stay
// reachable for tests of the module's own bookkeeping.
class PluginModule : public tolmar::host::ModuleLibrary
{
public:
  explicit PluginModule(const char* path = nullptr);
  ~PluginModule();
};

// One effect instance: the object the factory creates, with the interfaces a
// host uses, initialised with a host application of the given name.
class EffectInstance
{
public:
  EffectInstance(PluginModule& module, const char* hostName = "Test Host", bool initialize = true);
  ~EffectInstance();
  EffectInstance(const EffectInstance&) = delete;
  EffectInstance& operator=(const EffectInstance&) = delete;

  IComponent* component = nullptr;
  IAudioProcessor* processor = nullptr;
  IEditController* controller = nullptr;
  IUnitInfo* units = nullptr;
  IMidiMapping* midiMapping = nullptr;

  // initialize with the host application, for instances made without.
  bool initialize();

  // setupProcessing, stereo buses activated, setActive and setProcessing.
  bool start(double sampleRate, int32 maxBlock, int32 sampleSize = kSample32);
  void stop();

  class HostApplication* application = nullptr;

private:
  bool initialized = false;
  bool started = false;
};

// --- Host objects ----------------------------------------------------------

class HostApplication final : public IHostApplication
{
public:
  // A run loop the host offers through its context (null: none).
  Linux::IRunLoop* runLoop = nullptr;

  explicit HostApplication(const char* hostName) : name(hostName) {}
  tresult PLUGIN_API getName(String128 out) override;
  tresult PLUGIN_API createInstance(TUID, TUID, void** obj) override
  {
    *obj = nullptr;
    return kNotImplemented;
  }
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override;
  TEST_HOST_REFCOUNT

private:
  std::string name;
};

class ParamValueQueue final : public IParamValueQueue
{
public:
  explicit ParamValueQueue(ParamID paramId) : id(paramId) {}
  ParamID PLUGIN_API getParameterId() override { return id; }
  int32 PLUGIN_API getPointCount() override { return count; }
  tresult PLUGIN_API getPoint(int32 index, int32& sampleOffset, ParamValue& value) override;
  tresult PLUGIN_API addPoint(int32 sampleOffset, ParamValue value, int32& index) override;
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override;
  TEST_HOST_REFCOUNT

  // Counts reads, so that tests can see which points a plug-in looked at.
  int32 reads = 0;
  int32 lastIndexRead = -1;

  // Fixed storage: a plug-in's output points never allocate in the host.
  static constexpr int32 kCapacity = 64;

private:
  ParamID id;
  std::pair<int32, ParamValue> points[kCapacity];
  int32 count = 0;
};

class ParameterChanges final : public IParameterChanges
{
public:
  ParameterChanges() { queues.reserve(64); }
  int32 PLUGIN_API getParameterCount() override { return static_cast<int32>(queues.size()); }
  IParamValueQueue* PLUGIN_API getParameterData(int32 index) override;
  IParamValueQueue* PLUGIN_API addParameterData(const ParamID& id, int32& index) override;
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override;
  TEST_HOST_REFCOUNT

  // One point for a parameter, in a queue of its own.
  ParamValueQueue& add(ParamID id, ParamValue value, int32 sampleOffset = 0);
  ParamValueQueue& queue(int32 index) { return queues[static_cast<size_t>(index)]; }
  void clear() { queues.clear(); }

private:
  std::vector<ParamValueQueue> queues;
};

class EventList final : public IEventList
{
public:
  int32 PLUGIN_API getEventCount() override { return static_cast<int32>(events.size()); }
  tresult PLUGIN_API getEvent(int32 index, Event& e) override;
  tresult PLUGIN_API addEvent(Event& e) override;
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override;
  TEST_HOST_REFCOUNT

  void noteOn(int16 channel, int16 pitch, float velocity, int32 offset = 0);
  void noteOff(int16 channel, int16 pitch, float velocity, int32 offset = 0);
  void clear() { events.clear(); }

private:
  std::vector<Event> events;
};

// A growable in-memory stream. Reads can be made to fail, to deliver fewer
// bytes than asked, or to report failure while delivering bytes.
class MemoryStream final : public IBStream
{
public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<uint8_t> content) : bytes(std::move(content)) {}
  tresult PLUGIN_API read(void* buffer, int32 numBytes, int32* numBytesRead) override;
  tresult PLUGIN_API write(void* buffer, int32 numBytes, int32* numBytesWritten) override;
  tresult PLUGIN_API seek(int64 pos, int32 mode, int64* result) override;
  tresult PLUGIN_API tell(int64* pos) override;
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override;
  TEST_HOST_REFCOUNT

  std::vector<uint8_t> bytes;
  int64 position = 0;
  int32 maxReadPiece = 0x7FFFFFFF; // bytes delivered by one read at most
  bool failReads = false;          // every read reports failure
  bool failReadsWithData = false;  // reads report failure but still deliver
  int reads = 0;
};

class AttributeList final : public IAttributeList
{
public:
  tresult PLUGIN_API setInt(AttrID id, int64 value) override;
  tresult PLUGIN_API getInt(AttrID id, int64& value) override;
  tresult PLUGIN_API setFloat(AttrID, double) override { return kNotImplemented; }
  tresult PLUGIN_API getFloat(AttrID, double&) override { return kResultFalse; }
  tresult PLUGIN_API setString(AttrID id, const TChar* string) override;
  tresult PLUGIN_API getString(AttrID id, TChar* string, uint32 sizeInBytes) override;
  tresult PLUGIN_API setBinary(AttrID, const void*, uint32) override { return kNotImplemented; }
  tresult PLUGIN_API getBinary(AttrID, const void*&, uint32&) override { return kResultFalse; }
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override;
  TEST_HOST_REFCOUNT

  // A text attribute with its length attribute, as hosts send channel texts.
  void setText(AttrID lengthKey, AttrID textKey, const std::u16string& text);

  // Some hosts take getString's size for a count of characters, not bytes,
  // and fill all the room they think they have.
  bool sizeTakenAsCharacters = false;

private:
  std::vector<std::pair<std::string, int64>> ints;
  std::vector<std::pair<std::string, std::u16string>> strings;
};

// Records the edits a plug-in sends. Fixed storage, so that edits from the
// audio thread do not allocate in the host either.
class ComponentHandler final : public IComponentHandler, public IComponentHandler2
{
public:
  struct Edit
  {
    char kind; // 'b'egin, 'p'erform, 'e'nd, 's'tart group, 'f'inish group, 'd'irty
    ParamID id;
    ParamValue value;
  };
  tresult PLUGIN_API beginEdit(ParamID id) override { return record('b', id, 0.0); }
  tresult PLUGIN_API performEdit(ParamID id, ParamValue value) override { return record('p', id, value); }
  tresult PLUGIN_API endEdit(ParamID id) override { return record('e', id, 0.0); }
  tresult PLUGIN_API restartComponent(int32) override { return kResultOk; }
  tresult PLUGIN_API setDirty(TBool state) override { return record('d', 0, state ? 1.0 : 0.0); }
  tresult PLUGIN_API requestOpenEditor(FIDString) override { return kResultOk; }
  tresult PLUGIN_API startGroupEdit() override { return record('s', 0, 0.0); }
  tresult PLUGIN_API finishGroupEdit() override { return record('f', 0, 0.0); }
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override;
  TEST_HOST_REFCOUNT

  static constexpr int kCapacity = 256;
  Edit edits[kCapacity];
  int count = 0;
  // The handler belongs to the thread that made it (the host's main
  // thread); calls from any other thread are counted, not recorded.
  std::thread::id owner = std::this_thread::get_id();
  std::atomic<int> callsFromOtherThreads{0};

private:
  tresult record(char kind, ParamID id, ParamValue value)
  {
    if (std::this_thread::get_id() != owner)
    {
      callsFromOtherThreads.fetch_add(1);
      return kResultOk;
    }
    if (count < kCapacity)
      edits[count++] = {kind, id, value};
    return kResultOk;
  }
};

// --- Audio -----------------------------------------------------------------

// Buffers and process data for one stereo input bus and one stereo output bus
// at either sample size; the input is filled by the test.
class AudioBlock
{
public:
  AudioBlock(int32 sampleSize, int32 maxFrames, int32 inChannels = 2, int32 outChannels = 2);

  // Runs process on numFrames frames of the given input, returns the output.
  void setInput(int channel, const double* samples, int32 numFrames);
  double output(int channel, int32 frame) const;
  void fillOutputs(double value);

  ProcessData data;
  AudioBusBuffers inputBus;
  AudioBusBuffers outputBus;
  int32 sampleSize;

private:
  std::vector<std::vector<float>> in32, out32;
  std::vector<std::vector<double>> in64, out64;
  std::vector<float*> in32Ptrs, out32Ptrs;
  std::vector<double*> in64Ptrs, out64Ptrs;
};

// Copies a UTF-16 text into a std::string, for comparisons.
std::string toString(const char16* text);
} // namespace host
