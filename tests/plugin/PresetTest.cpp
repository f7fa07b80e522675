#include <cstring>

#include <gtest/gtest.h>

#include "support/DelayHarness.h"

namespace
{
const char* const kNames[kNumPresets] = {"default",   "Soft Flanger", "Sharp Flanger", "Soft Chorus",
                                         "Hard Chorus", "Slapback",   "Space-like",    "Vibrato",
                                         "Tape Echo", "Comb Resonator"};

// Records what reaches an open editor.
struct EditorSpy : IEditorConnection
{
  std::vector<std::pair<int, double>> values;
  void SetControlValueFromDelegate(int paramIdx, double value) override { values.emplace_back(paramIdx, value); }
  float GetEditorDrawScale() const override { return 0.5f; }
};
} // namespace

TEST(Presets, TenFactoryPresetsWithTheirNames)
{
  DelayHarness delay;
  ASSERT_EQ(delay->NPresets(), 10);
  for (int i = 0; i < kNumPresets; ++i)
  {
    EXPECT_STREQ(delay->GetPresetName(i), kNames[i]);
    const IPreset* preset = delay->GetPreset(i);
    ASSERT_TRUE(preset->initialized);
    EXPECT_EQ(preset->chunk.Size(), 103);
    EXPECT_EQ(std::memcmp(preset->chunk.GetData(), TolmarDelay::versionMagic, 31), 0);
  }
  EXPECT_STREQ(delay->GetPresetName(10), "");
  EXPECT_STREQ(delay->GetPresetName(-1), "");
  EXPECT_EQ(delay->GetCurrentPresetIdx(), 0);
  // Preset 0 is not applied at construction.
  EXPECT_EQ(delay->GetParam(kFeedback)->Value(), 0.0);
}

TEST(Presets, EveryPresetRestores)
{
  DelayHarness delay;
  for (int i = 0; i < kNumPresets; ++i)
  {
    EXPECT_TRUE(delay->RestorePreset(i)) << i;
    EXPECT_EQ(delay->GetCurrentPresetIdx(), i);
  }
  EXPECT_TRUE(delay->RestorePreset(1));
  const double expected[kNumParams] = {0.0, 0.4, -0.2, 0.3, 0.8, 0.5, 1.0, 0.0, 0.0};
  for (int i = 0; i < kNumParams; ++i)
    EXPECT_EQ(delay->GetParam(i)->Value(), expected[i]) << i;
  delay.sync();
  EXPECT_EQ(delay->getRangeIndex(), 4); // the engine follows
  EXPECT_FALSE(delay->RestorePreset(10));
  EXPECT_FALSE(delay->RestorePreset(-1));
  EXPECT_EQ(delay->GetCurrentPresetIdx(), 1);
}

TEST(Presets, SwitchingAwayKeepsTheCurrentSettings)
{
  DelayHarness delay;
  EditorSpy editor;
  delay->SetEditorConnection(&editor);
  delay->changePreset(7); // "Vibrato"
  EXPECT_EQ(delay->GetParam(kMix)->Value(), 1.0);
  EXPECT_EQ(delay->GetCurrentPresetIdx(), 7);
  // Every control hears the new values (once from the restore, once from
  // the switch itself).
  EXPECT_EQ(editor.values.size(), 2u * kNumParams);
  delay->changePreset(0);
  // The first switch stored the fresh settings into "default".
  EXPECT_EQ(delay->GetParam(kFeedback)->Value(), 0.0);
  EXPECT_EQ(delay->GetParam(kMix)->Value(), 0.5);
  delay->SetEditorConnection(nullptr);
}

TEST(Presets, ModifyCurrentPresetRenames)
{
  DelayHarness delay;
  delay.set(kFeedback, 0.25);
  delay->ModifyCurrentPreset("Mine");
  EXPECT_STREQ(delay->GetPresetName(0), "Mine");
  delay.set(kFeedback, 0.0);
  EXPECT_TRUE(delay->RestorePreset(0));
  EXPECT_EQ(delay->GetParam(kFeedback)->Value(), 0.25);
  delay->ModifyCurrentPreset("");
  EXPECT_STREQ(delay->GetPresetName(0), "Mine");
}
