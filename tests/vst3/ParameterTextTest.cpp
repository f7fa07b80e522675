// Value texts through the built bundle as a host meets them: what the
// plug-in shows reads back as shown, and no value or host text, however
// wild, is formatted or read unchecked.
#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/UserLocale.h"
#include "vst3/support/RenderHelpers.h"
#include "vst3/support/VST3Host.h"

using namespace host;

namespace
{
std::string textOf(IEditController& controller, ParamID id, double value)
{
  String128 text{};
  if (controller.getParamStringByValue(id, value, text) != kResultOk)
    return "<refused>";
  return toString(text);
}

// The normalised value read, or NaN when refused.
double valueOf(IEditController& controller, ParamID id, const std::u16string& text)
{
  String128 buffer{};
  for (size_t i = 0; i < text.size() && i < 127; ++i)
    buffer[i] = text[i];
  ParamValue value = -1.0;
  if (controller.getParamValueByString(id, buffer, value) != kResultOk)
    return std::nan("");
  return value;
}

std::u16string utf16(const std::string& text)
{
  return std::u16string(text.begin(), text.end());
}

// Switches both sync modes through the processor, as automation would.
void setSync(EffectInstance& effect, bool on)
{
  ParameterChanges changes;
  changes.add(kDelaySync, on ? 1.0 : 0.0);
  changes.add(kLFOSync, on ? 1.0 : 0.0);
  AudioBlock block(kSample32, 64);
  block.data.numSamples = 64;
  block.data.inputParameterChanges = &changes;
  ASSERT_EQ(effect.processor->process(block.data), kResultOk);
}

class ParameterText : public ::testing::Test
{
protected:
  ParameterText() : effect(module) { EXPECT_TRUE(effect.start(48000.0, 64)); }

  PluginModule module;
  EffectInstance effect;
  IEditController& controller = *effect.controller;
};
} // namespace

// In the C locale and in one with a decimal comma, as hosts set the user's:
// the same texts, each reading back to a value that shows it again.
TEST_F(ParameterText, EveryShownTextReadsBackToAValueThatShowsItAgain)
{
  std::vector<std::string> shownInC;
  for (const char* locale : {"C", kCommaLocale})
  {
    ScopedLocale scoped(locale);
    ASSERT_TRUE(scoped.ok);
    std::vector<std::string> shownHere;
    for (const bool sync : {false, true})
    {
      setSync(effect, sync);
      EXPECT_EQ(textOf(controller, kLFOSpeed, 1.0), sync ? "1/16" : "25.00Hz");
      std::vector<ParamID> ids = {kBypassID};
      for (int i = 0; i < kNumParams; ++i)
        ids.push_back(static_cast<ParamID>(i));
      for (const ParamID id : ids)
        for (int i = 0; i <= 100; ++i)
        {
          const std::string shown = textOf(controller, id, i / 100.0);
          shownHere.push_back(shown);
          const double back = valueOf(controller, id, utf16(shown));
          ASSERT_FALSE(std::isnan(back)) << locale << ": " << id << " \"" << shown << "\"";
          EXPECT_EQ(textOf(controller, id, back), shown) << locale << ": " << id << " at " << i / 100.0
                                                          << (sync ? " synced" : "");
        }
    }
    if (shownInC.empty())
      shownInC = shownHere;
    else
      EXPECT_EQ(shownHere, shownInC) << locale;
  }
}

TEST_F(ParameterText, ReadsTheTextsAsShown)
{
  // Normalised: feedback -1..1 is linear, LFO depth a square curve.
  EXPECT_DOUBLE_EQ(valueOf(controller, kFeedback, u"40%"), 0.7);
  EXPECT_DOUBLE_EQ(valueOf(controller, kFeedback, u"-20.0%"), 0.4);
  EXPECT_EQ(valueOf(controller, kMix, u"Wet"), 1.0);
  EXPECT_EQ(valueOf(controller, kMix, u"Dry"), 0.0);
  EXPECT_DOUBLE_EQ(valueOf(controller, kMix, u"50:50"), 0.5);
  EXPECT_EQ(valueOf(controller, kRange, u"16-125"), 0.5);
  EXPECT_EQ(valueOf(controller, kRange, u"1-8"), 0.0);
  EXPECT_DOUBLE_EQ(valueOf(controller, kQuality, u"58%"), 0.58);
  EXPECT_DOUBLE_EQ(valueOf(controller, kLFODepth, u"25%"), 0.5);
  EXPECT_EQ(valueOf(controller, kBypassID, u"on"), 1.0);

  // Units left out or spaced, any letter case, blanks around.
  EXPECT_DOUBLE_EQ(valueOf(controller, kFeedback, u" 40 % "), 0.7);
  EXPECT_EQ(valueOf(controller, kMix, u"wet"), 1.0);
  EXPECT_EQ(valueOf(controller, kMix, u"  DRY"), 0.0);
  EXPECT_EQ(valueOf(controller, kRange, u"16 - 125"), 0.5);
  EXPECT_EQ(textOf(controller, kLFOSpeed, valueOf(controller, kLFOSpeed, u"5.4 hz")), "5.40Hz");
  EXPECT_EQ(textOf(controller, kLFOSpeed, valueOf(controller, kLFOSpeed, u"5.4")), "5.40Hz");
  EXPECT_EQ(valueOf(controller, kDelaySync, u"on"), 1.0);
  EXPECT_EQ(valueOf(controller, kBypassID, u" ON "), 1.0);
  EXPECT_EQ(valueOf(controller, kBypassID, u"Off"), 0.0);
  setSync(effect, true);
  EXPECT_EQ(textOf(controller, kLFOSpeed, valueOf(controller, kLFOSpeed, u"1/2t")), "1/2T");

  // Texts shown next to a boundary of the display's rounding.
  const double belowZero = std::nextafter(0.5, 0.0);
  ASSERT_EQ(textOf(controller, kFeedback, belowZero), "-0.0%");
  EXPECT_EQ(textOf(controller, kFeedback, valueOf(controller, kFeedback, u"-0.0%")), "-0.0%");
  const double belowTenPercent = std::nextafter(0.55, 0.0);
  ASSERT_EQ(textOf(controller, kFeedback, belowTenPercent), "10.0%");
  EXPECT_EQ(textOf(controller, kFeedback, valueOf(controller, kFeedback, u"10.0%")), "10.0%");
  ASSERT_EQ(textOf(controller, kMix, 0.001), "100:0");
  EXPECT_EQ(textOf(controller, kMix, valueOf(controller, kMix, u"100:0")), "100:0");
}

TEST_F(ParameterText, BareNumbersStayPlainValues)
{
  EXPECT_DOUBLE_EQ(valueOf(controller, kFeedback, u"0.4"), 0.7);
  EXPECT_EQ(valueOf(controller, kFeedback, u"40"), 1.0); // plain 40, limited
  EXPECT_EQ(valueOf(controller, kRange, u"2"), 0.5);
  EXPECT_NEAR(valueOf(controller, kTime, u"0.25"), 0.25, 1e-12);
  EXPECT_EQ(valueOf(controller, kDelaySync, u"1"), 1.0);
  EXPECT_EQ(valueOf(controller, kBypassID, u"1"), 1.0);
}

TEST_F(ParameterText, RefusesTextsThatNoValueShows)
{
  for (const char16_t* text : {u"", u"half", u"40%%", u"nan", u"inf", u"1e999", u"200%"})
  {
    EXPECT_TRUE(std::isnan(valueOf(controller, kFeedback, text))) << toString(text);
    EXPECT_TRUE(std::isnan(valueOf(controller, kBypassID, text))) << toString(text);
  }
  EXPECT_TRUE(std::isnan(valueOf(controller, kRange, u"15-125")));
  EXPECT_TRUE(std::isnan(valueOf(controller, kMix, u"50:60")));
}

TEST_F(ParameterText, NoValueIsFormattedOrReturnedOutsideZeroToOne)
{
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<ParamID> ids = {kBypassID,
                                    kFirstMidiControllerID,
                                    midiControllerID(0, 7),
                                    midiControllerID(15, 129),
                                    kMix,
                                    kRange,
                                    kLFOSpeed};
  for (const ParamID id : ids)
  {
    const std::string low = textOf(controller, id, 0.0);
    const std::string high = textOf(controller, id, 1.0);
    EXPECT_EQ(textOf(controller, id, 1e300), high) << id;
    EXPECT_EQ(textOf(controller, id, inf), high) << id;
    EXPECT_EQ(textOf(controller, id, -1e300), low) << id;
    EXPECT_EQ(textOf(controller, id, nan), low) << id;
    for (const double value : {1e300, -1e300, nan, inf})
    {
      const double plain = controller.normalizedParamToPlain(id, value);
      EXPECT_TRUE(std::isfinite(plain)) << id;
      const double normalized = controller.plainParamToNormalized(id, value);
      EXPECT_TRUE(normalized >= 0.0 && normalized <= 1.0) << id << " " << value;
    }
  }
  EXPECT_EQ(textOf(controller, kFirstMidiControllerID, 0.5), "0.5000");
  EXPECT_EQ(valueOf(controller, kFirstMidiControllerID, u"5"), 1.0);
  EXPECT_EQ(valueOf(controller, kFirstMidiControllerID, u"-5"), 0.0);
  EXPECT_EQ(valueOf(controller, kFirstMidiControllerID, u"0.25"), 0.25);
  EXPECT_EQ(valueOf(controller, midiControllerID(15, 129), u"1e300"), 1.0);
  EXPECT_EQ(valueOf(controller, kBypassID, u"5"), 1.0);
}

TEST_F(ParameterText, HostTextsAreReadNoFurtherThanTheir128Units)
{
  // 128 blanks and no terminator, followed in memory by a number that is not
  // the host's: read to its end, the text would be that number.
  struct
  {
    String128 text;
    char16 beyond[8];
  } memory;
  for (char16& unit : memory.text)
    unit = u' ';
  const char16 number[8] = u"0.5";
  std::copy(std::begin(number), std::end(number), memory.beyond);
  const std::vector<ParamID> ids = {kBypassID, kFirstMidiControllerID, midiControllerID(15, 129), kMix, kRange,
                                    kLFOSpeed, kDelaySync};
  for (const ParamID id : ids)
  {
    ParamValue value = -1.0;
    EXPECT_EQ(controller.getParamValueByString(id, memory.text, value), kResultFalse) << id;
    EXPECT_EQ(value, -1.0) << id;
  }
  // The last of the 128 units still counts.
  memory.text[127] = u'1';
  ParamValue value = -1.0;
  ASSERT_EQ(controller.getParamValueByString(kFirstMidiControllerID, memory.text, value), kResultOk);
  EXPECT_EQ(value, 1.0);
}
