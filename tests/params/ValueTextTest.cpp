// Reading typed value texts: every text a parameter shows reads back to a
// value that shows it again, in whatever case and spacing it is typed.
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "params/DelayParameters.h"

namespace
{
class ValueText : public ::testing::Test
{
protected:
  ValueText()
  {
    for (int i = 0; i < kNumParams; ++i)
      pointers[i] = &params[i];
    initDelayParameters(pointers);
  }

  std::string shown(int index, double plain) const
  {
    IString text;
    params[index].GetDisplay(plain, false, text);
    return text.str();
  }

  // The plain value read, or NaN when the text is refused.
  double read(int index, const char* text) const
  {
    double value = 0.0;
    return params[index].ReadText(text, value) ? value : std::nan("");
  }

  IParam params[kNumParams];
  IParam* pointers[kNumParams];
};
} // namespace

TEST_F(ValueText, EveryShownTextReadsBackToAValueThatShowsItAgain)
{
  for (const bool lfoSync : {false, true})
  {
    params[kLFOSpeed].SetDisplayFunc(lfoSync ? setDisplayTextForLFOSyncRate : setDisplayTextForSpeed);
    for (int index = 0; index < kNumParams; ++index)
      for (int i = 0; i <= 4000; ++i)
      {
        const double plain = params[index].FromNormalized(i / 4000.0);
        const std::string text = shown(index, plain);
        double back = 0.0;
        ASSERT_TRUE(params[index].ReadText(text.c_str(), back)) << index << " " << text;
        EXPECT_GE(back, params[index].GetMin()) << text;
        EXPECT_LE(back, params[index].GetMax()) << text;
        EXPECT_EQ(shown(index, params[index].Constrain(back)), text) << index << " from " << plain;
      }
  }
}

TEST_F(ValueText, ShownFormsReadAsShown)
{
  EXPECT_DOUBLE_EQ(read(kFeedback, "40%"), 0.4);
  EXPECT_DOUBLE_EQ(read(kFeedback, "-20.0%"), -0.2);
  EXPECT_DOUBLE_EQ(read(kFeedback, "-100.0%"), -1.0);
  EXPECT_EQ(read(kMix, "Wet"), 1.0);
  EXPECT_EQ(read(kMix, "Dry"), 0.0);
  EXPECT_DOUBLE_EQ(read(kMix, "50:50"), 0.5);
  EXPECT_DOUBLE_EQ(read(kMix, "67:33"), 0.33);
  EXPECT_EQ(read(kRange, "16-125"), 2.0);
  EXPECT_EQ(read(kRange, "1-8"), 0.0);
  EXPECT_EQ(read(kRange, "250-2000"), 4.0);
  EXPECT_DOUBLE_EQ(read(kQuality, "58%"), 0.58);
  EXPECT_DOUBLE_EQ(read(kLFODepth, "25%"), 0.25);
  EXPECT_DOUBLE_EQ(read(kLFOSpeed, "5.40Hz"), 5.4);
  EXPECT_EQ(read(kDelaySync, "ON"), 1.0);
  // Note values read whichever LFO display is shown at the moment.
  EXPECT_EQ(read(kLFOSpeed, "16/1"), 0.001);
  EXPECT_EQ(read(kLFOSpeed, "1/16"), 25.0);
  params[kLFOSpeed].SetDisplayFunc(setDisplayTextForLFOSyncRate);
  EXPECT_EQ(shown(kLFOSpeed, read(kLFOSpeed, "1/2T")), "1/2T");
}

TEST_F(ValueText, UnitsMayBeLeftOutOrSpacedAndCaseDoesNotMatter)
{
  EXPECT_DOUBLE_EQ(read(kFeedback, " 40 % "), 0.4);
  EXPECT_DOUBLE_EQ(read(kFeedback, "\t-20.0 %"), -0.2);
  EXPECT_EQ(read(kMix, "wet"), 1.0);
  EXPECT_EQ(read(kMix, "  DRY "), 0.0);
  EXPECT_DOUBLE_EQ(read(kMix, "50 : 50"), 0.5);
  EXPECT_EQ(read(kRange, " 16 - 125 "), 2.0);
  EXPECT_DOUBLE_EQ(read(kLFOSpeed, "0.15 hz"), 0.15);
  EXPECT_DOUBLE_EQ(read(kLFOSpeed, "0.15HZ"), 0.15);
  EXPECT_DOUBLE_EQ(read(kLFOSpeed, "0.15"), 0.15);
  EXPECT_EQ(read(kDelaySync, " on"), 1.0);
  EXPECT_EQ(read(kLFOSync, "Off"), 0.0);
  EXPECT_EQ(shown(kLFOSpeed, read(kLFOSpeed, "1/2t")), shown(kLFOSpeed, read(kLFOSpeed, "1/2T")));
}

TEST_F(ValueText, BareNumbersKeepTheirPlainMeaningUnlimited)
{
  EXPECT_EQ(read(kFeedback, "0.4"), 0.4);
  EXPECT_EQ(read(kFeedback, "40"), 40.0); // plain units, not percent
  EXPECT_EQ(read(kMix, "+0.25"), 0.25);
  EXPECT_EQ(read(kRange, "5"), 5.0);
  EXPECT_EQ(read(kTime, "0.600"), 0.6);
  EXPECT_EQ(read(kDelaySync, "1"), 1.0);
  EXPECT_EQ(read(kLFOSpeed, "0"), 0.0);
  EXPECT_EQ(params[kFeedback].StringToValue("40"), 1.0);
}

TEST_F(ValueText, ShownFormsAtTheEndsMeanTheEnds)
{
  EXPECT_EQ(read(kLFOSpeed, "0.00Hz"), 0.001);
  EXPECT_EQ(read(kQuality, "100.4%"), 1.0);
  EXPECT_EQ(read(kFeedback, "-100.04%"), -1.0);
  // "10.0%" is shown just below 0.1, "10%" at 0.1.
  EXPECT_LT(read(kFeedback, "10.0%"), 0.1);
  EXPECT_EQ(shown(kFeedback, read(kFeedback, "10.0%")), "10.0%");
  EXPECT_EQ(read(kFeedback, "10%"), 0.1);
  // "-0.0%" is shown just below zero, and must stay below through the
  // host's normalised value.
  EXPECT_EQ(shown(kFeedback, params[kFeedback].FromNormalized(params[kFeedback].ToNormalized(
                                 read(kFeedback, "-0.0%")))),
            "-0.0%");
  EXPECT_EQ(read(kFeedback, "-0%"), 0.0);
  EXPECT_EQ(shown(kMix, read(kMix, "100:0")), "100:0");
  EXPECT_EQ(shown(kMix, read(kMix, "0:100")), "0:100");
}

TEST_F(ValueText, RefusesWhatNoValueShows)
{
  const std::string longText(200, '1');
  for (const char* text : {"", "   ", "abc", "40%%", "%", "40 % x", "--1", "+-1", "nan", "inf", "-inf", "1e999",
                           "0x10", "1,5", "4O%", longText.c_str()})
  {
    EXPECT_TRUE(std::isnan(read(kFeedback, text))) << text;
    EXPECT_TRUE(std::isnan(read(kMix, text))) << text;
  }
  EXPECT_TRUE(std::isnan(read(kFeedback, "200%")));
  EXPECT_TRUE(std::isnan(read(kFeedback, "-101%")));
  EXPECT_TRUE(std::isnan(read(kRange, "15-125")));
  EXPECT_TRUE(std::isnan(read(kRange, "16-125.5")));
  EXPECT_TRUE(std::isnan(read(kRange, "-16-125")));
  EXPECT_TRUE(std::isnan(read(kMix, "50:60")));
  EXPECT_TRUE(std::isnan(read(kMix, "-10:110")));
  EXPECT_TRUE(std::isnan(read(kMix, "50%")));
  EXPECT_TRUE(std::isnan(read(kLFOSpeed, "26Hz")));
  EXPECT_TRUE(std::isnan(read(kLFOSpeed, "1/3")));
  EXPECT_TRUE(std::isnan(read(kTime, "325ms")));
  EXPECT_TRUE(std::isnan(read(kDelaySync, "maybe")));
  double untouched = 7.0;
  EXPECT_FALSE(params[kMix].ReadText(nullptr, untouched));
  EXPECT_FALSE(params[kMix].ReadText("half", untouched));
  EXPECT_EQ(untouched, 7.0);
  // Unreadable texts keep their old meaning where no refusal is possible.
  EXPECT_EQ(params[kMix].StringToValue("half"), 0.0);
}
