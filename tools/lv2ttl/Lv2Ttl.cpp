// tolmar-lv2ttl: writes the LV2 bundle's description (manifest.ttl, the
// plug-in's .ttl and presets.ttl) from an instance of the effect, so that
// names, ranges, defaults, display texts and presets are taken from where
// the plug-in keeps them and never written a second time.
//
// Usage: tolmar-lv2ttl <bundle folder> <DSP binary name> [<UI binary name>]
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "lv2/Lv2Ports.h"
#include "lv2/Lv2Uris.h"
#include "params/CLocale.h"
#include "plugin/TolmarDelay.h"
#include "plugin/VendorInfo.h"

namespace
{
const char* const kPrefixes = "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
                              "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                              "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
                              "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                              "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
                              "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                              "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                              "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                              "@prefix rsz: <http://lv2plug.in/ns/ext/resize-port#> .\n"
                              "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
                              "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
                              "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
                              "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

const char* const kPluginTtl = "tolmar-charge-chain-delay.ttl";
const char* const kPresetsTtl = "presets.ttl";
// Atom buffers big enough for a full display message and a busy block of
// MIDI.
constexpr int kAtomBufferBytes = 8192;

// Port values are single precision: the shortest decimal that reads back as
// the same float, so that a host applies exactly the value meant.
std::string number(double value)
{
  const float f = static_cast<float>(value);
  char text[64];
  for (int digits = 1; digits <= 9; ++digits)
  {
    CLocale::Format(text, sizeof text, "%.*g", digits, static_cast<double>(f));
    float back = 0.0f;
    std::from_chars(text, text + std::strlen(text), back);
    if (back == f)
      break;
  }
  std::string out = text;
  if (out == "-0")
    out = "0";
  // Always a decimal: hosts receive preset values typed as Turtle typed
  // them, and control ports take floats, not integers.
  if (out.find_first_of(".e") == std::string::npos)
    out += ".0";
  return out;
}

std::string quoted(const char* text)
{
  std::string out = "\"";
  for (const char* c = text; *c; ++c)
  {
    if (*c == '"' || *c == '\\')
      out += '\\';
    out += *c;
  }
  return out + "\"";
}

// A preset's URI fragment from its name: "Soft Flanger" -> "soft-flanger".
std::string presetSlug(const char* name)
{
  std::string slug = Lv2Ports::symbolForName(name);
  for (char& c : slug)
    if (c == '_')
      c = '-';
  return slug;
}

std::string presetURI(const char* name) { return std::string(Lv2Uris::kPresetPrefix) + presetSlug(name); }

void audioPort(std::ostream& out, uint32_t index, bool input, const char* symbol, const char* name)
{
  out << "  [\n    a lv2:AudioPort, " << (input ? "lv2:InputPort" : "lv2:OutputPort") << " ;\n"
      << "    lv2:index " << index << " ;\n    lv2:symbol \"" << symbol << "\" ;\n    lv2:name " << quoted(name)
      << " ;\n  ]";
}

void parameterPort(std::ostream& out, const IParam& param, uint32_t index)
{
  out << "  [\n    a lv2:InputPort, lv2:ControlPort ;\n"
      << "    lv2:index " << index << " ;\n"
      << "    lv2:symbol \"" << Lv2Ports::symbolForName(param.GetName()) << "\" ;\n"
      << "    lv2:name " << quoted(param.GetName()) << " ;\n"
      << "    lv2:default " << number(param.GetDefault()) << " ;\n"
      << "    lv2:minimum " << number(param.GetMin()) << " ;\n"
      << "    lv2:maximum " << number(param.GetMax());
  const IParam::EParamType type = param.Type();
  if (type == IParam::kTypeBool)
    out << " ;\n    lv2:portProperty lv2:integer, lv2:toggled";
  else if (type == IParam::kTypeInt || type == IParam::kTypeEnum)
    out << " ;\n    lv2:portProperty lv2:integer, lv2:enumeration";
  if (param.GetStepped())
  {
    // Every value a whole-number parameter can take, with the plug-in's own
    // text for it.
    IString text;
    for (double v = param.GetMin(); v <= param.GetMax(); v += param.GetStep())
    {
      param.GetDisplay(v, false, text);
      out << " ;\n    lv2:scalePoint [ rdfs:label " << quoted(text.Get()) << " ; rdf:value " << number(v) << " ]";
    }
  }
  out << " ;\n  ]";
}

void writePlugin(std::ostream& out, TolmarDelay& delay)
{
  const IEffectConfig& config = delay.GetConfig();
  const int version = config.vendorVersion;
  out << kPrefixes;
  out << "<" << Lv2Uris::kPlugin << ">\n"
      << "  a lv2:Plugin, lv2:DelayPlugin ;\n"
      << "  doap:name " << quoted(config.effectName) << " ;\n"
      << "  doap:license <http://opensource.org/licenses/GPL-3.0> ;\n"
      << "  doap:maintainer [\n    foaf:name " << quoted(config.mfrName) << " ;\n"
      << "    foaf:homepage <" << VendorInfo::kVendorStartPage << "> ;\n"
      << "    foaf:mbox <mailto:" << VendorInfo::kVendorEmail << "> ;\n  ] ;\n"
      // LV2 versions have no major number; minor and micro carry the rest.
      << "  lv2:minorVersion " << ((version >> 8) & 0xFF) << " ;\n"
      << "  lv2:microVersion " << (version & 0xFF) << " ;\n"
      << "  lv2:requiredFeature urid:map ;\n"
      << "  lv2:optionalFeature lv2:hardRTCapable ;\n"
      << "  lv2:extensionData state:interface ;\n"
      << "  lv2:port\n";
  audioPort(out, Lv2Ports::kAudioInLeft, true, "in_left", delay.GetChannelLabel(true, 0));
  out << ",\n";
  audioPort(out, Lv2Ports::kAudioInRight, true, "in_right", delay.GetChannelLabel(true, 1));
  out << ",\n";
  audioPort(out, Lv2Ports::kAudioOutLeft, false, "out_left", delay.GetChannelLabel(false, 0));
  out << ",\n";
  audioPort(out, Lv2Ports::kAudioOutRight, false, "out_right", delay.GetChannelLabel(false, 1));
  for (int i = 0; i < kNumParams; ++i)
  {
    out << ",\n";
    parameterPort(out, delay.Param(i), Lv2Ports::parameterPort(i));
  }
  out << ",\n  [\n    a lv2:InputPort, lv2:ControlPort ;\n"
      << "    lv2:index " << Lv2Ports::kEnabled << " ;\n    lv2:symbol \"enabled\" ;\n    lv2:name \"Enabled\" ;\n"
      << "    lv2:default 1 ;\n    lv2:minimum 0 ;\n    lv2:maximum 1 ;\n"
      << "    lv2:designation lv2:enabled ;\n    lv2:portProperty lv2:integer, lv2:toggled ;\n  ]";
  out << ",\n  [\n    a lv2:InputPort, atom:AtomPort ;\n    atom:bufferType atom:Sequence ;\n"
      << "    atom:supports midi:MidiEvent, time:Position ;\n    lv2:designation lv2:control ;\n"
      << "    lv2:index " << Lv2Ports::kControl << " ;\n    lv2:symbol \"control\" ;\n    lv2:name \"Control\" ;\n"
      // Simple hosts without MIDI or transport (lv2apply) leave it unconnected.
      << "    lv2:portProperty lv2:connectionOptional ;\n"
      << "    rsz:minimumSize " << kAtomBufferBytes << " ;\n  ]";
  out << ",\n  [\n    a lv2:OutputPort, atom:AtomPort ;\n    atom:bufferType atom:Sequence ;\n"
      << "    lv2:designation lv2:control ;\n"
      << "    lv2:index " << Lv2Ports::kNotify << " ;\n    lv2:symbol \"notify\" ;\n    lv2:name \"Notify\" ;\n"
      << "    lv2:portProperty lv2:connectionOptional ;\n"
      << "    rsz:minimumSize " << kAtomBufferBytes << " ;\n  ] .\n";
}

void writePresets(std::ostream& out, TolmarDelay& delay)
{
  out << kPrefixes;
  for (int p = 0; p < delay.NPresets(); ++p)
  {
    // The preset's values as the instance holds them after recalling it.
    if (!delay.RestorePreset(p))
      continue;
    const char* name = delay.GetPresetName(p);
    out << "<" << presetURI(name) << ">\n  a pset:Preset ;\n  lv2:appliesTo <" << Lv2Uris::kPlugin << "> ;\n"
        << "  rdfs:label " << quoted(name) << " ;\n  lv2:port";
    for (int i = 0; i < kNumParams; ++i)
      out << (i ? "," : "") << "\n    [ lv2:symbol \"" << Lv2Ports::symbolForName(delay.Param(i).GetName())
          << "\" ; pset:value " << number(delay.Param(i).Value()) << " ]";
    out << " .\n\n";
  }
}

void writeManifest(std::ostream& out, TolmarDelay& delay, const std::string& dspBinary, const std::string& uiBinary)
{
  out << kPrefixes;
  out << "<" << Lv2Uris::kPlugin << ">\n  a lv2:Plugin ;\n  lv2:binary <" << dspBinary << "> ;\n"
      << "  rdfs:seeAlso <" << kPluginTtl << "> .\n\n";
  if (!uiBinary.empty())
  {
    out << "<" << Lv2Uris::kEditor << ">\n  a ui:X11UI ;\n  ui:binary <" << uiBinary << "> ;\n"
        << "  lv2:requiredFeature urid:map, ui:parent, ui:idleInterface ;\n"
        << "  lv2:optionalFeature ui:resize, ui:touch ;\n"
        << "  lv2:extensionData ui:idleInterface, ui:resize ;\n"
        << "  ui:portNotification [\n    ui:plugin <" << Lv2Uris::kPlugin << "> ;\n"
        << "    lv2:symbol \"notify\" ;\n    ui:protocol atom:eventTransfer ;\n  ] .\n\n";
    out << "<" << Lv2Uris::kPlugin << "> ui:ui <" << Lv2Uris::kEditor << "> .\n\n";
  }
  for (int p = 0; p < delay.NPresets(); ++p)
    out << "<" << presetURI(delay.GetPresetName(p)) << ">\n  a pset:Preset ;\n  lv2:appliesTo <"
        << Lv2Uris::kPlugin << "> ;\n  rdfs:seeAlso <" << kPresetsTtl << "> .\n\n";
}

bool writeFile(const std::string& path, const std::string& content)
{
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  out.close();
  if (!out)
  {
    std::fprintf(stderr, "tolmar-lv2ttl: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}
} // namespace

int main(int argc, char** argv)
{
  if (argc < 3 || argc > 4)
  {
    std::fprintf(stderr, "usage: tolmar-lv2ttl <bundle folder> <DSP binary name> [<UI binary name>]\n");
    return 2;
  }
  const std::string folder = argv[1];
  try
  {
    // Two instances: presets are recalled on the second, so that the first
    // describes the fresh parameters.
    TolmarDelay fresh;
    TolmarDelay recall;
    std::ostringstream plugin, presets, manifest;
    writePlugin(plugin, fresh);
    writePresets(presets, recall);
    writeManifest(manifest, fresh, argv[2], argc > 3 ? argv[3] : "");
    if (!writeFile(folder + "/" + kPluginTtl, plugin.str()) || !writeFile(folder + "/" + kPresetsTtl, presets.str()) ||
        !writeFile(folder + "/manifest.ttl", manifest.str()))
      return 1;
  }
  catch (const std::exception& e)
  {
    std::fprintf(stderr, "tolmar-lv2ttl: %s\n", e.what());
    return 1;
  }
  return 0;
}
