#pragma once
// The same effect through two plug-in formats, each loaded from its built
// module as a host loads it and driven through that format's interfaces
// only: the VST 3 bundle and the CLAP module. Tests run the same settings,
// MIDI and transport through both and compare what comes out.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace formats
{
using Stereo = std::array<std::vector<double>, 2>;

inline constexpr double kRate = 48000.0;
inline constexpr int kMaxBlock = 4096;
// Host IDs: the parameter indices and the bypass.
inline constexpr uint32_t kBypassId = 65536;

enum class Format
{
  kVST3,
  kCLAP,
};
const char* nameOf(Format format);

// The host's transport for one block.
struct Transport
{
  double tempo = 120.0;
  double beats = 0.0;     // song position in quarter notes
  double barStart = 0.0;  // in quarter notes
  bool playing = false;
};

// What the host hands the plug-in with one block.
struct BlockInput
{
  // Host parameter changes at a frame of the block, as normalised values
  // (the CLAP side sends the plain value the parameter model makes of it).
  struct Change
  {
    uint32_t id;
    double normalized;
    uint32_t frame = 0;
  };
  std::vector<Change> changes;
  // MIDI 1.0 messages (status, data 1, data 2) at the block's start.
  std::vector<std::array<uint8_t, 3>> midi;
  std::optional<Transport> transport;
};

// One instance of the effect in one format, set up for 32-bit processing at
// kRate and processing from the start.
class Side
{
public:
  virtual ~Side() = default;
  virtual Format format() const = 0;
  virtual bool ready() const = 0;

  // Runs input in blocks of the given sizes (repeated); inputs[b] goes with
  // block b where there is one.
  virtual Stereo render(const Stereo& input, const std::vector<uint32_t>& sizes,
                        const std::vector<BlockInput>& inputs = {}) = 0;
  // The state as a host keeps it, and a state given back.
  virtual std::vector<uint8_t> state() = 0;
  virtual bool load(const std::vector<uint8_t>& bytes) = 0;
  virtual uint32_t tailSamples() = 0;
  // The value a parameter has (plain), its text and the plain value a text
  // stands for.
  virtual std::optional<double> plain(uint32_t id) = 0;
  virtual std::optional<std::string> text(uint32_t id, double plain) = 0;
  virtual std::optional<double> plainFromText(uint32_t id, const std::string& text) = 0;
};

// null when the module cannot be loaded (the test fails on ready()).
std::unique_ptr<Side> makeSide(Format format);

// Blocks of an impulse, a tone and silence, as test signals.
Stereo impulse(size_t length);
Stereo tone(size_t length, double hz);

// The parameter's plain value for a normalised one, and back, as the
// parameter model computes them (the VST 3 interfaces speak normalised).
double plainOf(uint32_t id, double normalized);
double normalizedOf(uint32_t id, double plain);
} // namespace formats
