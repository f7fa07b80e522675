#include <cmath>

#include <gtest/gtest.h>

#include "params/IParam.h"

namespace
{
std::string display(const IParam& p, double v)
{
  IString text;
  p.GetDisplay(v, false, text);
  return text.Get();
}
} // namespace

TEST(IParam, RangeAlwaysSpansAtLeastOneStep)
{
  IParam p;
  p.InitDouble("x", 0.0, 2.0, 1.0, 0.5, "", 0, "", ShapeLinear(), IParam::kUnitCustom, nullptr);
  EXPECT_EQ(p.GetMax(), 2.5);
  EXPECT_EQ(p.Value(), 2.0); // default constrained into the range
}

TEST(IParam, StepSetsDisplayPrecision)
{
  IParam whole, hundredth, thousandth;
  whole.InitDouble("a", 1, 0, 10, 1.0, "", 0, "", ShapeLinear(), 21, nullptr);
  hundredth.InitDouble("b", 0, 0, 1, 0.01, "", 0, "", ShapeLinear(), 21, nullptr);
  thousandth.InitDouble("c", 0.6, 0, 1, 0.001, "", 0, "", ShapeLinear(), 21, nullptr);
  EXPECT_EQ(whole.GetDisplayPrecision(), 0);
  EXPECT_EQ(hundredth.GetDisplayPrecision(), 2);
  EXPECT_EQ(thousandth.GetDisplayPrecision(), 3);
  EXPECT_EQ(display(whole, 3.4), "3");
  EXPECT_EQ(display(hundredth, 0.5), "0.50");
  EXPECT_EQ(display(thousandth, 0.6), "0.600");
  EXPECT_EQ(display(thousandth, -0.0), "0.000"); // never a minus zero
}

TEST(IParam, SignAndNegatedDisplay)
{
  IParam p;
  p.InitDouble("g", 0, -10, 10, 0.1, "dB", IParam::kFlagSignDisplay, "", ShapeLinear(), 4, nullptr);
  EXPECT_EQ(display(p, 2.5), "+2.5");
  EXPECT_EQ(display(p, 0.0), "0.0");
  IParam n;
  n.InitDouble("n", 0, -10, 10, 0.1, "", IParam::kFlagNegateDisplay, "", ShapeLinear(), 21, nullptr);
  EXPECT_EQ(display(n, 2.5), "-2.5");
  EXPECT_EQ(n.StringToValue("3"), -3.0);
}

TEST(IParam, BooleansUseTheirTexts)
{
  IParam b;
  b.InitBool("Sync", false, "", 0, "", "OFF", "ON");
  EXPECT_EQ(b.Type(), IParam::kTypeBool);
  EXPECT_EQ(display(b, 0.0), "OFF");
  EXPECT_EQ(display(b, 1.0), "ON");
  EXPECT_EQ(b.StringToValue("ON"), 1.0);
  EXPECT_EQ(b.StringToValue(" on "), 1.0); // letter case and blanks do not matter
  EXPECT_EQ(b.StringToValue("1"), 1.0);
  EXPECT_EQ(b.StringToValue("maybe"), 0.0);
  double v = -1;
  EXPECT_TRUE(b.MapDisplayText("OFF", &v));
  EXPECT_EQ(v, 0.0);
  EXPECT_STREQ(b.GetDisplayTextAtIdx(1, &v), "ON");
  EXPECT_EQ(v, 1.0);
  EXPECT_STREQ(b.GetDisplayTextAtIdx(5), "");
}

TEST(IParam, IntegersRoundHalvesAwayFromZeroAndClamp)
{
  IParam r;
  r.InitInt("Range", 3, 0, 4, "", 0, "");
  r.Set(1.7);
  EXPECT_EQ(r.Value(), 2.0);
  r.Set(-3);
  EXPECT_EQ(r.Value(), 0.0);
  r.Set(2.5);
  EXPECT_EQ(r.Value(), 3.0);
  r.Set(99);
  EXPECT_EQ(r.Value(), 4.0);
  r.Set(NAN); // damaged input never reaches the engine as NaN
  EXPECT_EQ(r.Value(), 0.0);
}

TEST(IParam, PowerCurveMapsBothWays)
{
  IParam p;
  p.InitDouble("LFOSpeed", 0.15, 0.001, 25.0, 0.01, "", 0, "", ShapePowCurve(2.0), 21, nullptr);
  EXPECT_NEAR(p.FromNormalized(0.5), 6.25075, 1e-12);
  EXPECT_NEAR(p.ToNormalized(6.25075), 0.5, 1e-12);
  EXPECT_EQ(p.ToNormalized(-5.0), 0.0);
  EXPECT_EQ(p.ToNormalized(100.0), 1.0);
  EXPECT_EQ(p.GetShape().GetDisplayType(), 4);
  EXPECT_EQ(ShapePowCurve(3.0).GetDisplayType(), 6);
  EXPECT_EQ(ShapePowCurve(0.3).GetDisplayType(), 5);
  EXPECT_EQ(ShapePowCurve(0.5).GetDisplayType(), 3);
  EXPECT_EQ(ShapePowCurve(1.0).GetDisplayType(), 0);
}

TEST(IParam, ExponentialShapeCoversTheRange)
{
  IParam f;
  f.InitDouble("Freq", 1000, 20, 20000, 1, "Hz", 0, "", ShapeExp(), 12, nullptr);
  EXPECT_NEAR(f.FromNormalized(0.0), 20.0, 1e-9);
  EXPECT_NEAR(f.FromNormalized(1.0), 20000.0, 1e-6);
  EXPECT_NEAR(f.ToNormalized(f.FromNormalized(0.3)), 0.3, 1e-3);
  EXPECT_EQ(f.GetShape().GetDisplayType(), 1);
}

TEST(IParam, LabelIsHiddenWhereATextStandsForTheValue)
{
  IParam p;
  p.InitDouble("Mode", 0, 0, 2, 1, "x", 0, "", ShapeLinear(), 21, nullptr);
  p.SetDisplayText(0, "Off");
  IString text;
  p.GetDisplayWithLabel(text);
  EXPECT_STREQ(text.Get(), "Off");
  p.Set(2);
  p.GetDisplayWithLabel(text);
  EXPECT_STREQ(text.Get(), "2 x");
}

TEST(IString, SetFormattedCutsToTheLimit)
{
  IString s;
  s.SetFormatted(5, "%s", "abcdefgh");
  EXPECT_STREQ(s.Get(), "abcde");
  s.SetFormatted(200, "%0100d", 7);
  EXPECT_EQ(s.GetLength(), 100u);
  s.SetFormatted(0, "%d", 12);
  EXPECT_STREQ(s.Get(), "");
}
