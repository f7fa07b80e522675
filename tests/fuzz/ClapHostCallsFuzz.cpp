// The CLAP plug-in driven by a host that calls anything in any order with
// any values: lifecycle calls, blocks with hostile events (values that are
// no numbers, IDs and times out of range, sizes that lie, MIDI bytes out of
// range, transports of any kind), flushes, texts both ways, state saves and
// loads of any bytes (the state fuzzer's corpus among the seeds), the
// editor's size negotiation. What must hold: no crash, no sanitizer report,
// finite bounded output, values inside their ranges, texts terminated inside
// the host's room, and every saved state loading back to itself.
//
// Input: a sequence of operations, each one byte followed by its operands.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "clap/ClapEffect.h"
#include "clap/ClapFactory.h"
#include "params/ProductFacts/ProductIdentity.h"

namespace
{
constexpr uint32_t kMaxFrames = 1024;
constexpr double kRates[] = {1000.0, 44100.0, 48000.0, 96000.0, 768000.0, 0.0, -1.0, NAN, INFINITY, 1e9};

// Reads operands from the input; past its end everything is zero.
class Reader
{
public:
  Reader(const uint8_t* data, size_t size) : data(data), size(size) {}
  bool more() const { return position < size; }
  uint8_t byte() { return position < size ? data[position++] : 0; }
  uint32_t u32()
  {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
      v = (v << 8) | byte();
    return v;
  }
  double number()
  {
    // Small choices for the common cases, raw bits for everything else.
    switch (byte() % 8)
    {
    case 0: return byte() / 255.0;
    case 1: return byte() / 64.0 - 2.0;
    case 2: return NAN;
    case 3: return byte() & 1 ? INFINITY : -INFINITY;
    case 4: return 65536.0;
    default:
    {
      uint64_t bits = (static_cast<uint64_t>(u32()) << 32) | u32();
      double v;
      std::memcpy(&v, &bits, sizeof(v));
      return v;
    }
    }
  }
  std::vector<uint8_t> bytes(size_t n)
  {
    std::vector<uint8_t> out;
    while (n-- > 0 && position < size)
      out.push_back(data[position++]);
    return out;
  }

private:
  const uint8_t* data;
  size_t size;
  size_t position = 0;
};

clap_id paramId(Reader& in)
{
  const uint8_t pick = in.byte();
  if (pick < 200)
    return pick % 10 == 9 ? 65536 : pick % 10;
  return in.u32();
}

// A host's event list over copies of events made from the input.
struct Events
{
  std::vector<std::vector<uint64_t>> storage;
  clap_input_events_t list{this, size, get};
  static uint32_t CLAP_ABI size(const clap_input_events_t* l) { return static_cast<uint32_t>(self(l).storage.size()); }
  static const clap_event_header_t* CLAP_ABI get(const clap_input_events_t* l, uint32_t i)
  {
    // A host may even hand out null for an index it announced.
    return i < self(l).storage.size() && !self(l).storage[i].empty()
               ? reinterpret_cast<const clap_event_header_t*>(self(l).storage[i].data())
               : nullptr;
  }
  static Events& self(const clap_input_events_t* l) { return *static_cast<Events*>(l->ctx); }

  template <typename E>
  void add(const E& e)
  {
    std::vector<uint64_t> copy((sizeof(E) + 7) / 8, 0);
    std::memcpy(copy.data(), &e, sizeof(E));
    storage.push_back(std::move(copy));
  }

  void fill(Reader& in, uint32_t frames)
  {
    const int count = in.byte() % 12;
    for (int i = 0; i < count; ++i)
    {
      const uint8_t kind = in.byte();
      const uint32_t time = kind & 0x80 ? in.u32() : (frames ? in.byte() % frames : 0);
      // Sizes that lie: too small for the type now and then.
      const uint32_t lie = kind & 0x40 ? in.byte() % 24 : 0;
      switch (kind % 7)
      {
      case 0:
      {
        clap_event_param_value_t e{};
        e.header = {lie ? lie : static_cast<uint32_t>(sizeof(e)), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
        e.param_id = paramId(in);
        e.note_id = -1;
        e.port_index = e.channel = e.key = -1;
        e.value = in.number();
        add(e);
        break;
      }
      case 1:
      {
        clap_event_midi_t e{};
        e.header = {lie ? lie : static_cast<uint32_t>(sizeof(e)), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_MIDI, 0};
        e.data[0] = in.byte();
        e.data[1] = in.byte();
        e.data[2] = in.byte();
        add(e);
        break;
      }
      case 2:
      {
        clap_event_note_t e{};
        const bool on = in.byte() & 1;
        e.header = {static_cast<uint32_t>(sizeof(e)), time, CLAP_CORE_EVENT_SPACE_ID,
                    static_cast<uint16_t>(on ? CLAP_EVENT_NOTE_ON : CLAP_EVENT_NOTE_OFF), 0};
        e.channel = static_cast<int16_t>(static_cast<int8_t>(in.byte()));
        e.key = static_cast<int16_t>(in.byte()) - 64;
        e.velocity = in.number();
        add(e);
        break;
      }
      case 3:
      {
        clap_event_transport_t e{};
        e.header = {lie ? lie : static_cast<uint32_t>(sizeof(e)), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0};
        e.flags = in.byte();
        e.tempo = in.number() * 300.0;
        e.song_pos_beats = static_cast<clap_beattime>(static_cast<int64_t>(in.u32()) << (in.byte() % 32));
        e.bar_start = static_cast<clap_beattime>(in.u32());
        e.song_pos_seconds = static_cast<clap_sectime>(static_cast<int64_t>(in.u32()) << (in.byte() % 32));
        e.tsig_num = static_cast<uint16_t>(in.byte());
        e.tsig_denom = static_cast<uint16_t>(in.byte());
        add(e);
        break;
      }
      case 4:
      {
        // A system-exclusive message whose length may not be its buffer's.
        static const uint8_t sysex[] = {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7};
        clap_event_midi_sysex_t e{};
        e.header = {static_cast<uint32_t>(sizeof(e)), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_MIDI_SYSEX, 0};
        e.buffer = in.byte() & 1 ? sysex : nullptr;
        e.size = e.buffer ? static_cast<uint32_t>(sizeof(sysex)) : in.u32();
        add(e);
        break;
      }
      case 5:
      {
        clap_event_param_gesture_t e{};
        e.header = {static_cast<uint32_t>(sizeof(e)), time, static_cast<uint16_t>(in.byte() % 3),
                    static_cast<uint16_t>(in.byte() % 16), 0};
        e.param_id = paramId(in);
        add(e);
        break;
      }
      default:
        storage.emplace_back(); // a null entry
        break;
      }
    }
  }
};

struct Output
{
  int pushed = 0;
  bool refuse = false;
  clap_output_events_t list{this, push};
  static bool CLAP_ABI push(const clap_output_events_t* l, const clap_event_header_t* e)
  {
    auto& self = *static_cast<Output*>(l->ctx);
    FUZZ_CHECK(e && e->size >= sizeof(clap_event_header_t));
    if (e->type == CLAP_EVENT_PARAM_VALUE)
      FUZZ_CHECK(std::isfinite(reinterpret_cast<const clap_event_param_value_t*>(e)->value));
    ++self.pushed;
    return !self.refuse;
  }
};

struct Stream
{
  std::vector<uint8_t> bytes;
  size_t position = 0;
  size_t piece = 1 << 20; // bytes a read or write moves at most
  static int64_t CLAP_ABI write(const clap_ostream_t* s, const void* buffer, uint64_t size)
  {
    auto& self = *static_cast<Stream*>(s->ctx);
    const size_t n = std::min<size_t>(size, self.piece);
    self.bytes.insert(self.bytes.end(), static_cast<const uint8_t*>(buffer), static_cast<const uint8_t*>(buffer) + n);
    return static_cast<int64_t>(n);
  }
  static int64_t CLAP_ABI read(const clap_istream_t* s, void* buffer, uint64_t size)
  {
    auto& self = *static_cast<Stream*>(s->ctx);
    const size_t n = std::min<size_t>({size, self.piece, self.bytes.size() - self.position});
    if (n > 0)
      std::memcpy(buffer, self.bytes.data() + self.position, n);
    self.position += n;
    return static_cast<int64_t>(n);
  }
};

// The host: timers (recorded, fired on request), no window system.
struct Host
{
  clap_host_t host{};
  std::vector<clap_id> timers;
  clap_id next = 1;
  clap_host_timer_support_t timerSupport{registerTimer, unregisterTimer};

  Host()
  {
    host.clap_version = CLAP_VERSION;
    host.host_data = this;
    host.name = "fuzz";
    host.vendor = host.url = host.version = "";
    host.get_extension = [](const clap_host_t* h, const char* id) -> const void* {
      auto& self = *static_cast<Host*>(h->host_data);
      return std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0 ? &self.timerSupport : nullptr;
    };
    host.request_restart = host.request_process = host.request_callback = [](const clap_host_t*) {};
  }
  static bool CLAP_ABI registerTimer(const clap_host_t* h, uint32_t, clap_id* id)
  {
    auto& self = *static_cast<Host*>(h->host_data);
    *id = self.next++;
    self.timers.push_back(*id);
    return true;
  }
  static bool CLAP_ABI unregisterTimer(const clap_host_t* h, clap_id id)
  {
    auto& self = *static_cast<Host*>(h->host_data);
    for (auto it = self.timers.begin(); it != self.timers.end(); ++it)
      if (*it == id)
      {
        self.timers.erase(it);
        return true;
      }
    return false;
  }
};

const clap_plugin_descriptor_t kDescriptor = {CLAP_VERSION_INIT, ProductIdentity::kClapId, ProductIdentity::kEffectName,
                                              "", "", "", "", ProductIdentity::kVersion, "", nullptr};

std::vector<uint8_t> save(const clap_plugin_t* p, const clap_plugin_state_t* state, size_t piece)
{
  Stream s;
  s.piece = piece;
  clap_ostream_t out{&s, Stream::write};
  FUZZ_CHECK(state->save(p, &out));
  return s.bytes;
}

bool load(const clap_plugin_t* p, const clap_plugin_state_t* state, const std::vector<uint8_t>& bytes, size_t piece)
{
  Stream s;
  s.bytes = bytes;
  s.piece = piece;
  clap_istream_t in{&s, Stream::read};
  return state->load(p, &in);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  Reader in(data, size);
  Host host;
  const clap_plugin_t* p = ClapFactory::Create(&host.host, ProductIdentity::kClapId, kDescriptor, "");
  FUZZ_CHECK(p != nullptr);
  const auto* params = static_cast<const clap_plugin_params_t*>(p->get_extension(p, CLAP_EXT_PARAMS));
  const auto* state = static_cast<const clap_plugin_state_t*>(p->get_extension(p, CLAP_EXT_STATE));
  const auto* gui = static_cast<const clap_plugin_gui_t*>(p->get_extension(p, CLAP_EXT_GUI));
  const auto* timers = static_cast<const clap_plugin_timer_support_t*>(p->get_extension(p, CLAP_EXT_TIMER_SUPPORT));
  const auto* tail = static_cast<const clap_plugin_tail_t*>(p->get_extension(p, CLAP_EXT_TAIL));
  FUZZ_CHECK(params && state && gui && timers && tail);

  bool active = false;
  std::vector<float> buffers[4];
  for (auto& b : buffers)
    b.assign(kMaxFrames, 0.0f);
  for (int steps = 0; in.more() && steps < 200; ++steps)
  {
    switch (in.byte() % 16)
    {
    case 0: p->init(p); break;
    case 1:
    {
      const double rate = kRates[in.byte() % std::size(kRates)];
      const uint32_t maxFrames = in.byte() & 1 ? in.u32() : kMaxFrames;
      if (active)
        p->deactivate(p);
      active = p->activate(p, rate, 1, maxFrames);
      break;
    }
    case 2:
      p->deactivate(p);
      active = false;
      break;
    case 3: p->start_processing(p); break;
    case 4: p->stop_processing(p); break;
    case 5: p->reset(p); break;
    case 6:
    case 7:
    {
      // A block; in the host's hands the frame count never exceeds what it
      // gave to activate, so it stays within the buffers here.
      const uint32_t frames = in.byte() % 2 ? kMaxFrames : in.byte() * 4u % (kMaxFrames + 1);
      Events events;
      events.fill(in, frames);
      Output out;
      out.refuse = in.byte() & 1;
      for (uint32_t i = 0; i < frames; ++i)
        buffers[0][i] = buffers[1][i] = i == 0 ? 1.0f : static_cast<float>(std::sin(0.3 * i));
      float* ins[2] = {buffers[0].data(), buffers[1].data()};
      // In place now and then: the same buffers for input and output.
      const bool inPlace = in.byte() % 4 == 0;
      float* outs[2] = {inPlace ? ins[0] : buffers[2].data(), inPlace ? ins[1] : buffers[3].data()};
      clap_audio_buffer_t input{ins, nullptr, 2, 0, 0};
      clap_audio_buffer_t output{outs, nullptr, 2, 0, 0};
      clap_process_t process{};
      process.frames_count = frames;
      process.audio_inputs = &input;
      process.audio_outputs = &output;
      process.audio_inputs_count = in.byte() % 2;
      process.audio_outputs_count = 1;
      process.in_events = &events.list;
      process.out_events = &out.list;
      p->process(p, &process);
      for (uint32_t i = 0; i < frames; ++i)
        FUZZ_CHECK(std::isfinite(outs[0][i]) && std::fabs(outs[0][i]) < 100.0f && std::isfinite(outs[1][i]) &&
                   std::fabs(outs[1][i]) < 100.0f);
      break;
    }
    case 8:
    {
      Events events;
      events.fill(in, 0);
      Output out;
      params->flush(p, &events.list, &out.list);
      break;
    }
    case 9:
    {
      const clap_id id = paramId(in);
      const uint32_t room = in.byte() % 40;
      char text[48];
      std::memset(text, 'x', sizeof(text));
      if (params->value_to_text(p, id, in.number(), text, room))
        FUZZ_CHECK(room > 0 && std::memchr(text, '\0', room) != nullptr);
      FUZZ_CHECK(text[room] == 'x' || room >= sizeof(text));
      break;
    }
    case 10:
    {
      const clap_id id = paramId(in);
      const auto bytes = in.bytes(in.byte());
      std::string text(bytes.begin(), bytes.end());
      double value = 0.0;
      if (params->text_to_value(p, id, text.c_str(), &value))
        FUZZ_CHECK(std::isfinite(value));
      break;
    }
    case 11:
    {
      // Every parameter's value lies inside its range.
      for (uint32_t i = 0; i < params->count(p); ++i)
      {
        clap_param_info_t info{};
        FUZZ_CHECK(params->get_info(p, i, &info));
        double value = 0.0;
        FUZZ_CHECK(params->get_value(p, info.id, &value));
        FUZZ_CHECK(value >= info.min_value && value <= info.max_value);
      }
      clap_param_info_t info{};
      FUZZ_CHECK(!params->get_info(p, params->count(p) + in.byte(), &info));
      break;
    }
    case 12:
    {
      // A state saved loads back to itself, whatever the stream's pieces.
      const size_t piece = 1 + in.byte() % 64;
      const std::vector<uint8_t> saved = save(p, state, piece);
      FUZZ_CHECK(load(p, state, saved, piece));
      FUZZ_CHECK(save(p, state, 1 << 20) == saved);
      break;
    }
    case 13:
    {
      // Any bytes as a state: a two-byte length, then the bytes.
      const size_t length = (static_cast<size_t>(in.byte()) << 8) | in.byte();
      load(p, state, in.bytes(length), 1 + in.byte() % 200);
      break;
    }
    case 14:
    {
      // The editor's size negotiation; no window is ever opened here.
      gui->create(p, CLAP_WINDOW_API_X11, in.byte() & 1);
      gui->set_scale(p, in.number());
      uint32_t w = in.u32();
      uint32_t h = in.u32();
      if (gui->adjust_size(p, &w, &h))
        FUZZ_CHECK(w > 0 && h > 0 && w < (1u << 20) && h < (1u << 20));
      gui->set_size(p, in.u32(), in.u32());
      gui->get_size(p, &w, &h);
      if (in.byte() & 1)
        gui->destroy(p);
      break;
    }
    default:
    {
      tail->get(p);
      p->on_main_thread(p);
      const clap_id id = in.byte() & 1 && !host.timers.empty() ? host.timers[0] : in.u32();
      timers->on_timer(p, id);
      break;
    }
    }
  }
  if (active)
    p->deactivate(p);
  p->destroy(p);
  return 0;
}
