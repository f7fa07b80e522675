// The plug-in in a real DAW: Ardour's headless session host (ardour7-lua)
// makes a session on its dummy audio backend, runs the built bundles on a
// known signal through Ardour's own parameter, preset, automation and
// session APIs (tests/ardour/session.lua), exports the result, and the test
// compares the exports with tolmar-render on the same input and values.
#include "support/ArdourBundles.h"
#include "support/LoggedProcess.h"
#include "support/RenderToolRun.h"
#include "support/Signals.h"
#include "lv2/Lv2Uris.h"
#include "params/ProductFacts/ProductIdentity.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

using namespace rendertest;
namespace fs = std::filesystem;

namespace
{
constexpr int kRate = 48000;
constexpr int kFrames = 3 * kRate;

// Impulses of falling height on each channel, then a 1 kHz burst.
constexpr int kFirstImpulse = 12000;
constexpr int kImpulseSpacing = 4800;
constexpr int kImpulses = 4;
constexpr int kRightImpulseLag = 1200;
constexpr int kBurstStart = 48000;
constexpr int kBurstFrames = 2880;

// Every value is a 32-bit float, as Ardour's buffers hold it.
std::vector<std::vector<double>> testSignal()
{
  std::vector<std::vector<double>> x(2, std::vector<double>(kFrames, 0.0));
  for (int k = 0; k < kImpulses; ++k)
  {
    x[0][static_cast<size_t>(kFirstImpulse + k * kImpulseSpacing)] = static_cast<float>(0.9 - 0.1 * k);
    x[1][static_cast<size_t>(kFirstImpulse + kRightImpulseLag + k * kImpulseSpacing)] =
        static_cast<float>(-(0.7 - 0.1 * k));
  }
  for (int n = 0; n < kBurstFrames; ++n)
  {
    const double v = 0.5 * std::sin(2.0 * M_PI * 1000.0 * n / kRate);
    x[0][static_cast<size_t>(kBurstStart + n)] = static_cast<float>(v);
    x[1][static_cast<size_t>(kBurstStart + n)] = static_cast<float>(0.5 * v);
  }
  return x;
}

// A Lua number that reads back as exactly this double.
std::string luaNumber(double v)
{
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, std::abs(v), std::chars_format::hex).ptr;
  return std::string(v < 0 ? "-0x" : "0x") + std::string(text, end);
}

// Ardour's DSP script that plays the test signal at the timeline position of
// each cycle: Ardour has no file import in its Lua API, so the samples are
// part of the script. Its one control is the track's playback latency, by
// which the track runs ahead of the timeline.
std::string signalScript(const std::vector<std::vector<double>>& x)
{
  std::ostringstream s;
  s << "ardour { [\"type\"] = \"dsp\", name = \"Tolmar Test Signal\", category = \"Utility\",\n"
       "  license = \"GPL-3.0-or-later\", author = \"Tolmar Music\",\n"
       "  description = [[The test signal of the plug-in's tests]] }\n"
       "function dsp_ioconfig () return { { audio_in = 2, audio_out = 2 } } end\n"
       "function dsp_params () return { { [\"type\"] = \"input\", name = \"Latency\", min = 0, max = 1048576,"
       " default = 0, integer = true } } end\n"
       "local signal = {\n";
  for (const auto& channel : x)
  {
    s << "{";
    for (size_t i = 0; i < channel.size(); ++i)
      if (channel[i] != 0.0)
        s << "[" << i << "]=" << luaNumber(channel[i]) << ",";
    s << "},\n";
  }
  s << "}\n"
       "function dsp_run (ins, outs, n_samples)\n"
       "  local start = Session:transport_sample () + math.floor (CtrlPorts:array ()[1])\n"
       "  local rolling = Session:transport_rolling ()\n"
       "  for c = 1, 2 do\n"
       "    local o = outs[c]:array ()\n"
       "    local s = signal[c]\n"
       "    for i = 1, n_samples do\n"
       "      o[i] = rolling and s[start + i - 1] or 0\n"
       "    end\n"
       "  end\n"
       "end\n";
  return s.str();
}

// 32-bit float WAV at the session's rate, nothing else done to the mix.
constexpr const char* kExportPresetId = "5d0f3e0c-8c1d-4a52-9e55-7a4c2d9b1f01";
constexpr const char* kExportFormat = R"(<?xml version="1.0" encoding="UTF-8"?>
<ExportFormatSpecification name="Tolmar test float WAV" id="5d0f3e0c-8c1d-4a52-9e55-7a4c2d9b1f02" with-cue="false" with-toc="false" with-mp4chaps="false" command="" analyse="false" soundcloud-upload="false">
  <Encoding id="F_WAV" type="T_Sndfile" extension="wav" name="WAV" has-sample-format="true" channel-limit="256"/>
  <SampleRate rate="SR_Session"/>
  <SRCQuality quality="SRC_SincBest"/>
  <EncodingOptions>
    <Option name="sample-format" value="SF_Float"/>
    <Option name="dithering" value="D_None"/>
    <Option name="tag-metadata" value="false"/>
    <Option name="tag-support" value="false"/>
    <Option name="broadcast-info" value="false"/>
  </EncodingOptions>
  <Processing>
    <Normalize enabled="false" loudness="no" dbfs="0" lufs="-23" dbtp="-1"/>
    <Silence>
      <Start><Trim enabled="false"/><Add enabled="false"><Duration format="Timecode" hours="0" minutes="0" seconds="0" frames="0"/></Add></Start>
      <End><Trim enabled="false"/><Add enabled="false"><Duration format="Timecode" hours="0" minutes="0" seconds="0" frames="0"/></Add></End>
    </Silence>
  </Processing>
</ExportFormatSpecification>
)";
constexpr const char* kExportPreset = R"(<?xml version="1.0" encoding="UTF-8"?>
<ExportPreset id="5d0f3e0c-8c1d-4a52-9e55-7a4c2d9b1f01" name="Tolmar test float WAV">
  <ExportFormat id="5d0f3e0c-8c1d-4a52-9e55-7a4c2d9b1f02"/>
  <ExportFilename>
    <Folder relative="1" path="export"/>
    <Field name="label" enabled="0"/>
    <Field name="session" enabled="0"/>
    <Field name="snapshot" enabled="0"/>
    <Field name="timespan" enabled="1"/>
    <Field name="revision" enabled="0"/>
    <Field name="time" enabled="0" value="T_None"/>
    <Field name="date" enabled="0" value="D_None"/>
  </ExportFilename>
</ExportPreset>
)";

void writeText(const fs::path& path, const std::string& text)
{
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

struct Run
{
  int exitCode = -1;
  std::string out;
  bool counted = false; // an Ardour run that did its job and ended cleanly
};

// Runs a program found on PATH with the test's environment; stdout and
// stderr together.
Run runProgram(std::vector<std::string> args)
{
  TempFolder streams;
  const fs::path log = streams / "log";
  const pid_t pid = logged::start(std::move(args), log);
  Run r;
  if (pid < 0)
    return r;
  r.exitCode = logged::wait(pid);
  r.out = readText(log);
  return r;
}

constexpr const char* kDoneLine = "tolmar-ardour: done";

// One private Ardour for the whole program: its configuration, caches,
// scripts, export preset and plug-in paths live in the test's own home
// folder, which the test support set up; the user's are never read.
class PrivateArdour
{
public:
  static PrivateArdour& get()
  {
    static PrivateArdour ardour;
    return ardour;
  }

  bool installed() const { return fs::exists("/usr/bin/ardour7-lua") && fs::exists(kScanner); }
  const std::string& version() const { return version_; }
  const fs::path& folder() const { return root; }

  // ardour7-lua on a job file. Ardour 7.3 damages its heap during an export
  // now and then, with or without the plug-in, and dies of it sooner or later
  // in the same run: during the export, a save or its teardown after the
  // script's success line. Such a run's export cannot be trusted (words of
  // freed memory, 2.0 to 1e31, have been seen in the exports of runs that
  // died after the success line), so a run counts only when it printed the
  // success line and ended cleanly; one that died is run again, up to
  // kAttempts times in all, and the test's output says so each time.
  // `fresh` and `exportFile` are removed before each attempt.
  Run runJob(const fs::path& job, const std::string& what, const fs::path& fresh, const fs::path& exportFile)
  {
    Run r;
    for (int attempt = 1; attempt <= kAttempts; ++attempt)
    {
      if (!fresh.empty())
        fs::remove_all(fresh);
      fs::remove(exportFile);
      r = runProgram({"timeout", "600", "ardour7-lua", TOLMAR_ARDOUR_SESSION_SCRIPT, job.string()});
      std::ofstream(job.string() + ".log" + std::to_string(attempt)) << r.out;
      const bool finished = r.out.find(kDoneLine) != std::string::npos;
      r.counted = finished && r.exitCode == 0;
      if (r.counted)
        return r;
      // The script's own refusals are results, not accidents.
      if (!finished && r.out.find("tolmar-ardour: error") != std::string::npos)
        return r;
      std::cout << "[ ardour   ] " << what << ": Ardour died " << (finished ? "after" : "before")
                << " the success line (exit " << r.exitCode << ")"
                << (attempt < kAttempts ? "; running it again" : "; giving up") << "\n"
                << lastLines(r.out, finished ? 2 : 6);
    }
    r.out = "Ardour died in each of " + std::to_string(kAttempts) + " runs; the last one:\n" + r.out;
    return r;
  }

private:
  static constexpr const char* kScanner = "/usr/lib/ardour7/ardour-vst3-scanner";
  // Ardour died in 3 to 6 of 30 runs of one export by hand: five attempts
  // make a render fail for Ardour's sake about once in a few thousand.
  static constexpr int kAttempts = 5;
  fs::path root;
  std::string version_;

  PrivateArdour()
  {
    const fs::path home = std::getenv("HOME");
    root = home / "ardour";
    ::setenv("XDG_CACHE_HOME", (home / ".cache").c_str(), 1);
    ardourtest::linkBuiltBundles(root);
    // Where VST 3 hosts look for the factory presets.
    fs::create_directories(home / ".vst3");
    fs::create_symlink(TOLMAR_PRESETS_DIR, home / ".vst3" / "presets");
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const fs::path ardourConfig = fs::path(config ? config : (home / ".config").string()) / "ardour7";
    writeText(ardourConfig / "export" / "tolmar-test.format", kExportFormat);
    writeText(ardourConfig / "export" / "tolmar-test.preset", kExportPreset);
    writeText(ardourConfig / "scripts" / "tolmar-test-signal.lua", signalScript(testSignal()));
    if (!installed())
      return;
    const Run v = runProgram({"ardour7-lua", "--version"});
    version_ = v.out.substr(0, v.out.find('\n'));
    std::cout << "[ ardour   ] " << version_ << "\n";
    const fs::path scanLog = root / "scan.log";
    if (ardourtest::scanVst3Bundle(root, scanLog) != 0)
      std::cout << "[ ardour   ] the VST 3 scanner failed:\n" << readText(scanLog);
  }

  static std::string lastLines(const std::string& text, int n)
  {
    size_t at = text.size();
    for (int i = 0; i <= n && at != std::string::npos && at > 0; ++i)
      at = text.rfind('\n', at - 1);
    return at == std::string::npos ? text : text.substr(at + 1);
  }
};

std::string luaString(const std::string& s)
{
  std::string out = "\"";
  for (char c : s)
  {
    if (c == '"' || c == '\\')
      out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string formatDouble(double v)
{
  char text[64];
  return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
}

// The value Ardour hands the plug-in for `v`: a 32-bit float.
std::string asFloat(double v) { return formatDouble(static_cast<float>(v)); }

struct Render
{
  std::string name;
  std::vector<std::pair<std::string, double>> params; // Ardour's labels, plain values
  std::string preset;
  std::vector<std::pair<int, double>> timeAutomation; // frame, value
  // Made in a new session, or in the one the render `reopens` saved.
  std::string reopens;
  bool save = false;
  // The settings reach the plug-in with its first block, not while it runs.
  bool fromStart = false;
};

constexpr double kAutomationBefore = 0.2;
constexpr double kAutomationAfter = 0.9;
constexpr int kAutomationStep = 43200; // after the impulses' echoes, before the burst

// One Ardour run each, so that one of Ardour's own crashes costs one render
// (Ardour 7.3's export corrupts its heap now and then, and every further
// export in the same process is a further chance to meet the damage).
const std::vector<Render>& renders()
{
  static const std::vector<Render> all = {
      {"defaults", {}, "", {}, "", false},
      {"set", {{"Time", 0.5}, {"Feedback", 0.5}, {"Mix", 0.75}, {"Quality", 0.75}}, "", {}, "", false, true},
      {"preset", {}, "Slapback", {}, "", false},
      {"edited", {{"Feedback", -0.45}}, "Slapback", {}, "", true},
      {"reopened", {}, "", {}, "edited", false},
      {"automated",
       {{"Range", 2}, {"Feedback", 0.0}, {"Mix", 1.0}},
       "",
       // Ardour's editor takes no two points closer than a few frames: the
       // step is a 10 ms ramp.
       {{0, kAutomationBefore}, {kAutomationStep, kAutomationBefore}, {kAutomationStep + 480, kAutomationAfter},
        {kFrames, kAutomationAfter}},
       "edited",
       false},
  };
  return all;
}

const Render& render(const std::string& name)
{
  for (const Render& r : renders())
    if (r.name == name)
      return r;
  throw std::logic_error("no render " + name);
}

fs::path writeJob(const std::string& format, const fs::path& folder, const Render& r)
{
  const fs::path session = folder / ("session-" + (r.reopens.empty() ? r.name : r.reopens));
  std::ostringstream s;
  s << "return {\n  session_dir = " << luaString(session.string()) << ", session_name = \"tolmar\",\n  reopen = "
    << (r.reopens.empty() ? "false" : "true") << ", save = " << (r.save ? "true" : "false")
    << ",\n  plugin_type = \"" << format << "\", plugin_id = "
    << luaString(format == "VST3" ? ProductIdentity::kEffectName : TOLMAR_LV2_URI)
    << ", plugin_name = " << luaString(ProductIdentity::kEffectName) << ",\n  length = " << kFrames
    << ", export_dir = " << luaString((folder / "export").string()) << ", export_preset = \"" << kExportPresetId
    << "\",\n  renders = {\n    { name = " << luaString(r.name);
  if (!r.preset.empty())
    s << ", preset = " << luaString(r.preset);
  if (r.fromStart)
    s << ", from_start = true";
  s << ", params = {";
  for (const auto& [label, value] : r.params)
    s << " {" << luaString(label) << ", " << formatDouble(value) << "},";
  s << " }";
  if (!r.timeAutomation.empty())
  {
    s << ", automation = { label = \"Time\", points = {";
    for (const auto& [frame, value] : r.timeAutomation)
      s << " {" << frame << ", " << formatDouble(value) << "},";
    s << " } }";
  }
  s << " },\n  },\n}\n";
  const fs::path job = folder / (r.name + ".lua");
  writeText(job, s.str());
  return job;
}

// The exports of one format, and why a render is missing.
struct Results
{
  fs::path exports;
  std::map<std::string, std::string> failures;
};

const Results& sessionResults(const std::string& format)
{
  static std::map<std::string, Results> all;
  auto [it, added] = all.try_emplace(format);
  Results& results = it->second;
  if (!added)
    return results;
  PrivateArdour& ardour = PrivateArdour::get();
  const fs::path folder = ardour.folder() / format;
  results.exports = folder / "export";
  fs::create_directories(results.exports);
  for (const Render& r : renders())
  {
    if (!r.reopens.empty() && results.failures.count(r.reopens))
    {
      results.failures[r.name] = "the session it reopens was not made";
      continue;
    }
    const fs::path fresh = r.reopens.empty() ? folder / ("session-" + r.name) : fs::path();
    const Run run =
        ardour.runJob(writeJob(format, folder, r), format + " " + r.name, fresh, results.exports / (r.name + ".wav"));
    if (!run.counted)
      results.failures[r.name] = "Ardour did not finish the render:\n" + run.out;
  }
  return results;
}

// tolmar-render on the test signal with `settings`, after `lead` frames of
// silence; the output is returned from the signal's first frame on.
Audio reference(const std::vector<std::string>& settings, int lead = 0)
{
  TempFolder dir;
  auto x = testSignal();
  for (auto& channel : x)
    channel.insert(channel.begin(), static_cast<size_t>(lead), 0.0);
  writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, kRate, x);
  std::vector<std::string> args = settings;
  args.insert(args.end(), {"-q", "--tail", "0", (dir / "in.wav").string(), (dir / "out.wav").string()});
  const ToolResult run = runTool(args);
  if (run.exitCode != 0)
    throw std::runtime_error("tolmar-render failed: " + run.err);
  Audio a = readAudio(dir / "out.wav");
  for (auto& channel : a.samples)
    channel.erase(channel.begin(), channel.begin() + lead);
  return a;
}

double maxDifference(const Audio& a, const Audio& b)
{
  double worst = 0.0;
  for (size_t c = 0; c < 2; ++c)
    for (size_t i = 0; i < std::min(a.frames(), b.frames()); ++i)
      worst = std::max(worst, std::abs(a.samples[c][i] - b.samples[c][i]));
  return worst;
}

bool allFinite(const Audio& a)
{
  for (const auto& channel : a.samples)
    for (double v : channel)
      if (!std::isfinite(v))
        return false;
  return true;
}

// tolmar-render's render of `settings`, and how far apart its own renders
// of them are when the plug-in has run for a few frames before the signal.
// The delay clock runs free at a rate that is no whole multiple of the
// sample rate, so where its ticks fall between samples depends on how many
// frames the plug-in has processed; Ardour runs it with the transport
// stopped for as many blocks as the session happened to idle before an
// export, so its render starts at a clock phase nobody can foresee. Sixteen
// leads cover the phases of Time 0.5 (16 ticks every 9 frames) and sample
// the others (59 phases at Time 0.7); the margin covers the phases between.
struct Reference
{
  Audio audio;
  double allowance = 0.0;
};

const Reference& referenceWithAllowance(const std::vector<std::string>& settings)
{
  static std::map<std::vector<std::string>, Reference> cache;
  auto [it, added] = cache.try_emplace(settings);
  if (added)
  {
    it->second.audio = reference(settings);
    double spread = 0.0;
    for (int lead = 1; lead <= 16; ++lead)
      spread = std::max(spread, maxDifference(it->second.audio, reference(settings, lead)));
    it->second.allowance = 1.5 * spread + 1e-6;
  }
  return it->second;
}

class ArdourSession : public testing::TestWithParam<std::string>
{
protected:
  const Results* results = nullptr;

  void SetUp() override
  {
    if (!PrivateArdour::get().installed())
      GTEST_SKIP() << "Ardour's headless session host ardour7-lua is not installed, and the test set-up could not "
                      "install Debian's package ardour (see the ardour_install test's output)";
    RecordProperty("ardour_version", PrivateArdour::get().version());
    results = &sessionResults(GetParam());
  }

  // Reports why Ardour made no export `name`.
  bool made(const std::string& name) const
  {
    const auto failure = results->failures.find(name);
    if (failure == results->failures.end())
      return true;
    ADD_FAILURE() << GetParam() << " export \"" << name << "\": " << failure->second;
    return false;
  }

  Audio exported(const std::string& name) const
  {
    Audio a = readAudio(results->exports / (name + ".wav"));
    EXPECT_EQ(a.rate, kRate);
    EXPECT_EQ(a.channels, 2);
    EXPECT_EQ(a.frames(), static_cast<size_t>(kFrames)) << name;
    EXPECT_TRUE(allFinite(a)) << name << " holds a sample that is not finite";
    return a;
  }

  // The export matches tolmar-render on the same settings up to the clock
  // phase at which Ardour started it.
  void expectLikeTolmarRender(const std::string& name, const std::vector<std::string>& settings) const
  {
    SCOPED_TRACE(GetParam() + " export \"" + name + "\"");
    if (!made(name))
      return;
    const Audio ardour = exported(name);
    const Reference& ref = referenceWithAllowance(settings);
    const double allowance = ref.allowance;
    const double difference = maxDifference(ardour, ref.audio);
    std::cout << "[ ardour   ] " << GetParam() << " " << name << ": largest difference from tolmar-render "
              << difference << " (clock-phase allowance " << allowance << ")\n";
    EXPECT_LE(difference, allowance);
    // Not silence or the dry signal only: the echoes are there.
    EXPECT_GT(peakAbs(ardour.samples[0], kFirstImpulse + 200, kBurstStart), 0.05);
  }

  // Where the plug-in got its settings with its first block and the clock's
  // step is a ratio of small numbers, its phase at the signal depends only
  // on how many frames Ardour ran the plug-in before, counted modulo the
  // clock's period: one of that many leads must then give the export to the
  // last bit of a float.
  void expectLikeTolmarRenderAtSomeLead(const std::string& name, const std::vector<std::string>& settings,
                                        int period) const
  {
    SCOPED_TRACE(GetParam() + " export \"" + name + "\"");
    if (!made(name))
      return;
    const Audio ardour = exported(name);
    double best = 1.0;
    int bestLead = -1;
    for (int lead = 0; lead < period && best > 1e-6; ++lead)
    {
      const double difference = maxDifference(ardour, reference(settings, lead));
      if (difference < best)
      {
        best = difference;
        bestLead = lead;
      }
    }
    std::cout << "[ ardour   ] " << GetParam() << " " << name << ": equals tolmar-render after " << bestLead
              << " frames of silence (modulo " << period << ") within " << best << "\n";
    EXPECT_LE(best, 1e-6);
  }

  static double peakAbs(const std::vector<double>& x, int from, int to)
  {
    double peak = 0.0;
    for (int i = from; i < to; ++i)
      peak = std::max(peak, std::abs(x[static_cast<size_t>(i)]));
    return peak;
  }

  // What tolmar-render needs besides a preset to match Ardour: the values as
  // Ardour's 32-bit floats. LV2 ports carry Ardour's float defaults too; a
  // VST 3 parameter keeps the plug-in's own default until Ardour sets it.
  std::vector<std::string> defaults() const
  {
    if (GetParam() == "LV2")
      return {"--set", "Time=" + asFloat(0.6), "--set", "LFOSpeed=" + asFloat(0.15)};
    return {};
  }
};

TEST_P(ArdourSession, RendersLikeTolmarRenderAtTheDefaultsAndWithValuesSet)
{
  expectLikeTolmarRender("defaults", defaults());
  // At the VST 3 defaults (Time exactly 0.6) the clock makes 20 ticks every
  // 13 frames; Ardour's LV2 port holds 0.6 as a float, whose clock has no
  // short period.
  if (GetParam() == "VST3")
    expectLikeTolmarRenderAtSomeLead("defaults", defaults(), 13);
  // Values a float holds exactly; Time 0.5 makes 16 ticks every 9 frames.
  std::vector<std::string> set = defaults();
  for (const auto& [label, value] : render("set").params)
    set.insert(set.end(), {"--set", label + "=" + asFloat(value)});
  expectLikeTolmarRender("set", set);
  expectLikeTolmarRenderAtSomeLead("set", set, 9);
}

TEST_P(ArdourSession, RecallsAFactoryPresetThroughArdoursPresetList)
{
  // The preset's values reach the plug-in as floats in LV2; the rounding
  // moves an echo by far less than the clock-phase allowance.
  expectLikeTolmarRender("preset", {"--preset", "Slapback"});
  expectLikeTolmarRender("edited", {"--preset", "Slapback", "--set", "Feedback=" + asFloat(-0.45)});
}

TEST_P(ArdourSession, ReopenedSessionRendersAsSaved)
{
  const std::vector<std::string> saved = {"--preset", "Slapback", "--set", "Feedback=" + asFloat(-0.45)};
  expectLikeTolmarRender("reopened", saved);
  // And like the render before the session was saved, each at its own
  // clock phase.
  if (made("edited") && made("reopened"))
  {
    EXPECT_LE(maxDifference(exported("edited"), exported("reopened")), 2 * referenceWithAllowance(saved).allowance);
  }
}

TEST_P(ArdourSession, AutomatedTimeMovesTheEcho)
{
  SCOPED_TRACE(GetParam());
  if (!made("automated"))
    return;
  const Audio a = exported("automated");
  // Range 2 is 15.625 to 125 ms; wet only, no feedback, so that each input
  // comes back once, after the delay the automation gives at its time.
  auto delayFrames = [](double time) { return (15.625 + (125.0 - 15.625) * time) * kRate / 1000.0; };
  for (int k = 0; k < kImpulses; ++k)
  {
    const int at = kFirstImpulse + k * kImpulseSpacing;
    const int echo = signals::indexOfPeak(a.samples[0], at + 1, at + kImpulseSpacing);
    EXPECT_NEAR(echo - at, delayFrames(kAutomationBefore), 12) << "impulse " << k;
  }
  // The burst comes after the step to the second value.
  int onset = -1;
  for (int i = kBurstStart; i < kFrames && onset < 0; ++i)
    if (std::abs(a.samples[0][static_cast<size_t>(i)]) > 0.05)
      onset = i;
  EXPECT_NEAR(onset - kBurstStart, delayFrames(kAutomationAfter), 12);
}

INSTANTIATE_TEST_SUITE_P(Formats, ArdourSession, testing::Values("VST3", "LV2"),
                         [](const testing::TestParamInfo<std::string>& info) { return info.param; });
} // namespace
