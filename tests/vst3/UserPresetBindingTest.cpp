// A user preset recalled from the editor reaches the host as a factory
// preset does: one group of edits and a modified document.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/UserPresetFolder.h"
#include "params/ProductFacts/StateFormat.h"
#include "vst3/support/InProcessBinding.h"

using namespace host;

namespace
{
// The kinds of the edits the host saw, and the parameters performed.
std::string editKinds(const ComponentHandler& handler, std::vector<ParamID>* performed = nullptr)
{
  std::string kinds;
  for (int i = 0; i < handler.count; ++i)
  {
    kinds += handler.edits[i].kind;
    if (performed && handler.edits[i].kind == 'p')
      performed->push_back(handler.edits[i].id);
  }
  return kinds;
}
} // namespace

TEST(UserPresetRecall, AUserPresetReachesTheHostAsOneGroupOfEditsAndMarksItModified)
{
  Binding binding;
  binding.start();
  TolmarDelay& delay = binding.delay();
  TolmarEditor editor(delay, "");

  std::string error;
  // Range 1, time 0.25, feedback 0.9, the rest as a fresh instance has them.
  const std::array<double, StateFormat::kValueCount> values = {1, 0.25, 0.9, 0.15, 0.0, 0.5, 1.0, 0, 0};
  ASSERT_TRUE(UserPresetFolder().save("Resonant", StateFormat::componentState(values, true), error)) << error;
  binding.handler.count = 0;
  editor.recallUserPreset("Resonant");

  std::vector<ParamID> performed;
  EXPECT_EQ(editKinds(binding.handler, &performed), "sbpebpebpefd");
  EXPECT_EQ(performed, (std::vector<ParamID>{0, 1, 2}));
  for (int i = 0; i < kNumParams; ++i)
  {
    EXPECT_EQ(delay.Param(i).Value(), values[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(binding.effect->getParamNormalized(static_cast<ParamID>(i)), delay.Param(i).GetNormalized()) << i;
  }
  EXPECT_EQ(delay.getUserPresetName(), "Resonant");
  EXPECT_EQ(delay.GetCurrentPresetIdx(), -1);
  // The bypass word in the file does not switch the effect off.
  binding.process(nullptr);
  EXPECT_EQ(delay.getEngine().getDelayLine().getFeedback(), 0.9);

  // Leaving it for a factory preset stores nothing into the factory bank:
  // "default" holds what it held when it was left, the fresh settings.
  delay.changePreset(0);
  EXPECT_TRUE(delay.getUserPresetName().empty());
  EXPECT_EQ(delay.Param(kFeedback).Value(), 0.0);

  // A preset that went away meanwhile changes nothing and tells the host
  // nothing.
  ASSERT_TRUE(UserPresetFolder().remove("Resonant", error));
  binding.handler.count = 0;
  editor.recallUserPreset("Resonant");
  EXPECT_EQ(binding.handler.count, 0);
  EXPECT_EQ(delay.Param(kFeedback).Value(), 0.0);
  EXPECT_EQ(delay.GetCurrentPresetIdx(), 0);

  // A state restored by the host is no longer the user preset.
  ASSERT_TRUE(UserPresetFolder().save("Again", StateFormat::componentState(values), error));
  editor.recallUserPreset("Again");
  EXPECT_EQ(delay.getUserPresetName(), "Again");
  IByteChunk chunk;
  delay.SerializeState(chunk);
  delay.UnserializeState(chunk, 0);
  EXPECT_TRUE(delay.getUserPresetName().empty());
  UserPresetFolder().remove("Again", error);
}
