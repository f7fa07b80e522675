#include "lv2/support/Lv2Host.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>

#include "lv2/Lv2Ports.h"
#include "lv2/Lv2Uris.h"

namespace lv2host
{
namespace
{
constexpr size_t kAtomBufferBytes = 8192;

LV2_URID mapCallback(LV2_URID_Map_Handle handle, const char* uri)
{
  return static_cast<UridMap*>(handle)->map(uri);
}

const char* unmapCallback(LV2_URID_Unmap_Handle handle, LV2_URID id)
{
  return static_cast<UridMap*>(handle)->unmap(id);
}
} // namespace

UridMap::UridMap()
{
  mapData = {this, mapCallback};
  unmapData = {this, unmapCallback};
  mapFeatureData = {LV2_URID__map, &mapData};
  unmapFeatureData = {LV2_URID__unmap, &unmapData};
  featureList[0] = &mapFeatureData;
  featureList[1] = &unmapFeatureData;
  featureList[2] = nullptr;
}

LV2_URID UridMap::map(const char* uri)
{
  for (size_t i = 0; i < uris.size(); ++i)
    if (uris[i] == uri)
      return static_cast<LV2_URID>(i + 1);
  uris.emplace_back(uri);
  return static_cast<LV2_URID>(uris.size());
}

const char* UridMap::unmap(LV2_URID id) const
{
  return id >= 1 && id <= uris.size() ? uris[id - 1].c_str() : nullptr;
}

// --- World -------------------------------------------------------------------

World::World()
{
  // The built bundle and the LV2 vocabularies in /usr/lib/lv2, nothing a user
  // installed.
  ::setenv("LV2_PATH", TOLMAR_LV2_PATH ":/usr/lib/lv2", 1);
  world = lilv_world_new();
  lilv_world_load_all(world);
  LilvNode* pluginURI = uri(Lv2Uris::kPlugin);
  plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), pluginURI);
}

World::~World()
{
  for (LilvState* state : states)
    lilv_state_free(state);
  for (LilvNode* node : nodes)
    lilv_node_free(node);
  lilv_world_free(world);
}

LilvNode* World::uri(const char* text)
{
  nodes.push_back(lilv_new_uri(world, text));
  return nodes.back();
}

std::vector<World::Preset> World::presets()
{
  std::vector<Preset> out;
  if (!plugin)
    return out;
  LilvNodes* related = lilv_plugin_get_related(plugin, uri(LV2_PRESETS__Preset));
  LILV_FOREACH(nodes, i, related)
  {
    const LilvNode* preset = lilv_nodes_get(related, i);
    lilv_world_load_resource(world, preset);
    LilvState* state = lilv_state_new_from_world(world, urids.mapFeature(), preset);
    if (!state)
      continue;
    states.push_back(state);
    const char* label = lilv_state_get_label(state);
    out.push_back({lilv_node_as_uri(preset), label ? label : "", state});
  }
  lilv_nodes_free(related);
  return out;
}

// --- Instance ----------------------------------------------------------------

Instance::Instance(World& w, double sampleRate, uint32_t frames) : world(w), maxFrames(frames)
{
  for (auto& buffer : audio)
    buffer.assign(maxFrames, 0.0f);
  controls.assign(Lv2Ports::kNumPorts, 0.0f);
  eventsIn.assign(kAtomBufferBytes / sizeof(uint64_t), 0);
  notifyOut.assign(kAtomBufferBytes / sizeof(uint64_t), 0);
  lastDisplayMessage.assign(kAtomBufferBytes / sizeof(uint64_t), 0);
  if (!world.plugin)
    return;
  // Every control port starts at its default, as hosts do.
  std::vector<float> defaults(Lv2Ports::kNumPorts, 0.0f);
  lilv_plugin_get_port_ranges_float(world.plugin, nullptr, nullptr, defaults.data());
  for (uint32_t p = 0; p < Lv2Ports::kNumPorts; ++p)
    if (!std::isnan(defaults[p]))
      controls[p] = defaults[p];

  instance = lilv_plugin_instantiate(world.plugin, sampleRate, world.urids.features());
  if (!instance)
    return;
  lilv_instance_connect_port(instance, Lv2Ports::kAudioInLeft, audio[0].data());
  lilv_instance_connect_port(instance, Lv2Ports::kAudioInRight, audio[1].data());
  lilv_instance_connect_port(instance, Lv2Ports::kAudioOutLeft, audio[2].data());
  lilv_instance_connect_port(instance, Lv2Ports::kAudioOutRight, audio[3].data());
  for (uint32_t p = Lv2Ports::kFirstParameter; p <= Lv2Ports::kEnabled; ++p)
    lilv_instance_connect_port(instance, p, &controls[p]);
  lilv_instance_connect_port(instance, Lv2Ports::kControl, eventsIn.data());
  lilv_instance_connect_port(instance, Lv2Ports::kNotify, notifyOut.data());
  lv2_atom_forge_init(&forge, world.urids.mapFeature());
  lilv_instance_activate(instance);
}

Instance::~Instance()
{
  if (instance)
  {
    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
  }
}

LV2_Handle Instance::handle() const { return lilv_instance_get_handle(instance); }

float& Instance::parameter(int paramIdx) { return controls[Lv2Ports::parameterPort(paramIdx)]; }
float& Instance::enabled() { return controls[Lv2Ports::kEnabled]; }

void Instance::startEvents()
{
  if (eventsOpen)
    return;
  lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(eventsIn.data()), kAtomBufferBytes);
  lv2_atom_forge_sequence_head(&forge, &sequenceFrame, 0);
  eventsOpen = true;
}

void Instance::midi(uint32_t frame, uint8_t status, uint8_t data1, uint8_t data2)
{
  startEvents();
  const uint8_t bytes[3] = {status, data1, data2};
  lv2_atom_forge_frame_time(&forge, frame);
  lv2_atom_forge_atom(&forge, 3, world.urids.map(LV2_MIDI__MidiEvent));
  lv2_atom_forge_write(&forge, bytes, 3);
}

void Instance::position(uint32_t frame, const Position& p)
{
  startEvents();
  UridMap& u = world.urids;
  LV2_Atom_Forge_Frame object;
  lv2_atom_forge_frame_time(&forge, frame);
  lv2_atom_forge_object(&forge, &object, 0, u.map(LV2_TIME__Position));
  lv2_atom_forge_key(&forge, u.map(LV2_TIME__frame));
  lv2_atom_forge_long(&forge, p.frame);
  lv2_atom_forge_key(&forge, u.map(LV2_TIME__speed));
  lv2_atom_forge_float(&forge, p.speed);
  lv2_atom_forge_key(&forge, u.map(LV2_TIME__bar));
  lv2_atom_forge_long(&forge, p.bar);
  lv2_atom_forge_key(&forge, u.map(LV2_TIME__barBeat));
  lv2_atom_forge_float(&forge, p.barBeat);
  lv2_atom_forge_key(&forge, u.map(LV2_TIME__beatUnit));
  lv2_atom_forge_int(&forge, p.beatUnit);
  lv2_atom_forge_key(&forge, u.map(LV2_TIME__beatsPerBar));
  lv2_atom_forge_float(&forge, p.beatsPerBar);
  lv2_atom_forge_key(&forge, u.map(LV2_TIME__beatsPerMinute));
  lv2_atom_forge_float(&forge, p.beatsPerMinute);
  lv2_atom_forge_pop(&forge, &object);
}

void Instance::command(uint32_t frame, int code, int target)
{
  startEvents();
  UridMap& u = world.urids;
  LV2_Atom_Forge_Frame object;
  lv2_atom_forge_frame_time(&forge, frame);
  lv2_atom_forge_object(&forge, &object, 0, u.map(Lv2Uris::kCommand));
  lv2_atom_forge_key(&forge, u.map(Lv2Uris::kCommandCode));
  lv2_atom_forge_int(&forge, code);
  if (target >= 0)
  {
    lv2_atom_forge_key(&forge, u.map(Lv2Uris::kCommandTarget));
    lv2_atom_forge_int(&forge, target);
  }
  lv2_atom_forge_pop(&forge, &object);
}

void Instance::rawEvents(const std::vector<uint8_t>& sequence)
{
  std::fill(eventsIn.begin(), eventsIn.end(), 0);
  std::memcpy(eventsIn.data(), sequence.data(), std::min(sequence.size(), kAtomBufferBytes));
  rawPending = true;
}

void Instance::run(const Stereo& input, Stereo& output, size_t offset, uint32_t frames)
{
  if (!rawPending)
  {
    startEvents();
    lv2_atom_forge_pop(&forge, &sequenceFrame);
    eventsOpen = false;
  }
  rawPending = false;
  // The notify buffer's size is its capacity, as hosts set it.
  auto* notify = reinterpret_cast<LV2_Atom*>(notifyOut.data());
  notify->type = 0;
  notify->size = static_cast<uint32_t>(kAtomBufferBytes - sizeof(LV2_Atom));

  for (int c = 0; c < 2; ++c)
    for (uint32_t i = 0; i < frames; ++i)
      audio[c][i] = offset + i < input[static_cast<size_t>(c)].size()
                        ? static_cast<float>(input[static_cast<size_t>(c)][offset + i])
                        : 0.0f;
  lilv_instance_run(instance, frames);
  for (int c = 0; c < 2; ++c)
    for (uint32_t i = 0; i < frames && offset + i < output[static_cast<size_t>(c)].size(); ++i)
      output[static_cast<size_t>(c)][offset + i] = audio[2 + c][i];
  scanNotify();
}

Stereo Instance::render(const Stereo& input, const std::vector<uint32_t>& blockSizes)
{
  Stereo output{std::vector<double>(input[0].size()), std::vector<double>(input[1].size())};
  size_t position = 0;
  for (size_t b = 0; position < input[0].size(); ++b)
  {
    const uint32_t n = static_cast<uint32_t>(std::min<size_t>(blockSizes[b % blockSizes.size()], input[0].size() - position));
    run(input, output, position, n);
    position += n;
  }
  return output;
}

// Allocates nothing, so that tests can count the plug-in's allocations
// around run().
void Instance::scanNotify()
{
  UridMap& u = world.urids;
  const auto* sequence = reinterpret_cast<const LV2_Atom_Sequence*>(notifyOut.data());
  if (sequence->atom.type != u.map(LV2_ATOM__Sequence))
    return;
  LV2_ATOM_SEQUENCE_FOREACH(sequence, event)
  {
    const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
    if (event->body.type != u.map(LV2_ATOM__Object) || object->body.otype != u.map(Lv2Uris::kDisplay))
      continue;
    ++messageCount;
    const size_t bytes = sizeof(LV2_Atom) + event->body.size;
    if (lastDisplayMessage.size() * sizeof(uint64_t) >= bytes)
    {
      std::memcpy(lastDisplayMessage.data(), &event->body, bytes);
      unreadDisplay = true;
      untakenDisplay = true;
    }
  }
}

const LV2_Atom* Instance::takeDisplayAtom()
{
  if (!untakenDisplay)
    return nullptr;
  untakenDisplay = false;
  return reinterpret_cast<const LV2_Atom*>(lastDisplayMessage.data());
}

void Instance::event(uint32_t frame, const LV2_Atom* atom)
{
  startEvents();
  lv2_atom_forge_frame_time(&forge, frame);
  lv2_atom_forge_write(&forge, atom, static_cast<uint32_t>(sizeof(LV2_Atom) + atom->size));
}

const Display& Instance::display()
{
  if (!unreadDisplay)
    return lastDisplay;
  unreadDisplay = false;
  UridMap& u = world.urids;
  {
    const auto* object = reinterpret_cast<const LV2_Atom_Object*>(lastDisplayMessage.data());
    Display d;
    d.messages = messageCount;
    LV2_ATOM_OBJECT_FOREACH(object, property)
    {
      const LV2_Atom* value = &property->value;
      const char* key = u.unmap(property->key);
      auto flag = [value]() { return reinterpret_cast<const LV2_Atom_Bool*>(value)->body != 0; };
      if (!key)
        continue;
      if (std::strcmp(key, Lv2Uris::kParameterValues) == 0)
      {
        const auto* vector = reinterpret_cast<const LV2_Atom_Vector*>(value);
        const auto* values = reinterpret_cast<const double*>(vector + 1);
        const size_t count = (value->size - sizeof(LV2_Atom_Vector_Body)) / sizeof(double);
        d.parameterValues.assign(values, values + count);
      }
      else if (std::strcmp(key, Lv2Uris::kControllerMap) == 0)
      {
        const auto* vector = reinterpret_cast<const LV2_Atom_Vector*>(value);
        const auto* values = reinterpret_cast<const int32_t*>(vector + 1);
        const size_t count = (value->size - sizeof(LV2_Atom_Vector_Body)) / sizeof(int32_t);
        d.controllerMap.assign(values, values + count);
      }
      else if (std::strcmp(key, Lv2Uris::kDelayTimeText) == 0)
        d.delayTimeText = static_cast<const char*>(LV2_ATOM_BODY_CONST(value));
      else if (std::strcmp(key, Lv2Uris::kHostTempo) == 0)
        d.hostTempo = reinterpret_cast<const LV2_Atom_Double*>(value)->body;
      else if (std::strcmp(key, Lv2Uris::kRangeIndex) == 0)
        d.rangeIndex = reinterpret_cast<const LV2_Atom_Int*>(value)->body;
      else if (std::strcmp(key, Lv2Uris::kDelaySynced) == 0)
        d.delaySynced = flag();
      else if (std::strcmp(key, Lv2Uris::kLFOSynced) == 0)
        d.lfoSynced = flag();
      else if (std::strcmp(key, Lv2Uris::kFrozen) == 0)
        d.frozen = flag();
      else if (std::strcmp(key, Lv2Uris::kLearnArmed) == 0)
        d.learnArmed = flag();
      else if (std::strcmp(key, Lv2Uris::kUnlearnMode) == 0)
        d.unlearnMode = flag();
    }
    lastDisplay = d;
  }
  return lastDisplay;
}

namespace
{
struct StateStore
{
  LV2_URID key = 0;
  std::vector<uint8_t> bytes;
  uint32_t type = 0;
  int stores = 0;
};

LV2_State_Status storeCallback(LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type,
                               uint32_t)
{
  auto* store = static_cast<StateStore*>(handle);
  ++store->stores;
  store->key = key;
  store->bytes.assign(static_cast<const uint8_t*>(value), static_cast<const uint8_t*>(value) + size);
  store->type = type;
  return LV2_STATE_SUCCESS;
}

const void* retrieveCallback(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags)
{
  auto* store = static_cast<StateStore*>(handle);
  if (key != store->key)
    return nullptr;
  *size = store->bytes.size();
  *type = store->type;
  *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
  return store->bytes.data();
}

void setPortValue(const char* symbol, void* userData, const void* value, uint32_t size, uint32_t type)
{
  auto* target = static_cast<std::pair<World*, std::vector<float>*>*>(userData);
  LilvNode* node = lilv_new_string(target->first->world, symbol);
  const LilvPort* port = lilv_plugin_get_port_by_symbol(target->first->plugin, node);
  lilv_node_free(node);
  if (!port)
    return;
  float& control = (*target->second)[lilv_port_get_index(target->first->plugin, port)];
  UridMap& u = target->first->urids;
  if (type == u.map(LV2_ATOM__Float) && size == sizeof(float))
    control = *static_cast<const float*>(value);
  else if (type == u.map(LV2_ATOM__Double) && size == sizeof(double))
    control = static_cast<float>(*static_cast<const double*>(value));
  else if (type == u.map(LV2_ATOM__Int) && size == sizeof(int32_t))
    control = static_cast<float>(*static_cast<const int32_t*>(value));
}
} // namespace

bool Instance::save(std::vector<uint8_t>& bytes, uint32_t& type)
{
  const auto* state =
      static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(instance, LV2_STATE__interface));
  if (!state)
    return false;
  StateStore store;
  if (state->save(handle(), storeCallback, &store, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, nullptr) !=
          LV2_STATE_SUCCESS ||
      store.stores != 1 || store.key != world.urids.map(Lv2Uris::kStateChunk))
    return false;
  bytes = store.bytes;
  type = store.type;
  return true;
}

int Instance::restore(const std::vector<uint8_t>& bytes, uint32_t type)
{
  const auto* state =
      static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(instance, LV2_STATE__interface));
  if (!state)
    return -1;
  StateStore store;
  store.key = world.urids.map(Lv2Uris::kStateChunk);
  store.bytes = bytes;
  store.type = type;
  return state->restore(handle(), retrieveCallback, &store, 0, nullptr);
}

void Instance::applyPreset(LilvState* state)
{
  std::pair<World*, std::vector<float>*> target{&world, &controls};
  lilv_state_emit_port_values(state, setPortValue, &target);
}

// --- Signals and states ------------------------------------------------------

std::vector<uint8_t> stateBytes(const std::vector<double>& values, int32_t bypass)
{
  static const char tag[] = "Tolmar Charge Chain Delay_2.X.X";
  std::vector<uint8_t> bytes(tag, tag + 31);
  for (double v : values)
  {
    uint8_t raw[8];
    std::memcpy(raw, &v, 8);
    bytes.insert(bytes.end(), raw, raw + 8);
  }
  uint8_t word[4];
  std::memcpy(word, &bypass, 4);
  bytes.insert(bytes.end(), word, word + 4);
  return bytes;
}

Stereo impulse(size_t length, double amplitude)
{
  Stereo s{std::vector<double>(length), std::vector<double>(length)};
  s[0][0] = amplitude;
  s[1][0] = -amplitude;
  return s;
}

Stereo tone(size_t length, double frequency, double sampleRate, double amplitude)
{
  Stereo s{std::vector<double>(length), std::vector<double>(length)};
  for (size_t i = 0; i < length; ++i)
  {
    s[0][i] = amplitude * std::sin(2.0 * M_PI * frequency * static_cast<double>(i) / sampleRate);
    s[1][i] = amplitude * std::sin(2.0 * M_PI * frequency * 1.5 * static_cast<double>(i) / sampleRate);
  }
  return s;
}
} // namespace lv2host
