// The state as an LV2 host saves and restores it: the bytes a VST 3 host
// stores for the same settings, read back through the same reader.
#include <cstring>

#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/state/state.h>

#include "lv2/support/Lv2Host.h"
#include "plugin/TolmarDelay.h"
#include "vst3/support/VST3Host.h"

using namespace lv2host;

namespace
{
constexpr double kRate = 48000.0;

// Settings that differ from every default.
void audibleSettings(Instance& instance)
{
  instance.parameter(kRange) = 2.0f;
  instance.parameter(kTime) = 0.3f;
  instance.parameter(kFeedback) = -0.45f;
  instance.parameter(kLFOSpeed) = 2.5f;
  instance.parameter(kLFODepth) = 0.2f;
  instance.parameter(kMix) = 0.7f;
  instance.parameter(kQuality) = 0.6f;
  instance.parameter(kLFOSync) = 1.0f;
}

void runBlocks(Instance& instance, int blocks, const Stereo* input = nullptr)
{
  const Stereo silence{std::vector<double>(256), std::vector<double>(256)};
  Stereo out{std::vector<double>(256), std::vector<double>(256)};
  for (int b = 0; b < blocks; ++b)
    instance.run(input ? *input : silence, out, 0, 256);
}

std::vector<double> asDoubles(Instance& instance)
{
  std::vector<double> values;
  for (int i = 0; i < kNumParams; ++i)
    values.push_back(instance.parameter(i));
  return values;
}

class State : public ::testing::Test
{
protected:
  World world;
  LV2_URID chunkType() { return world.urids.map(LV2_ATOM__Chunk); }
};
} // namespace

TEST_F(State, SavesTheBytesAVST3HostStores)
{
  ASSERT_NE(world.plugin, nullptr);
  for (float enabled : {1.0f, 0.0f})
  {
    Instance lv2(world, kRate);
    audibleSettings(lv2);
    lv2.enabled() = enabled;
    runBlocks(lv2, 1);
    std::vector<uint8_t> saved;
    uint32_t type = 0;
    ASSERT_TRUE(lv2.save(saved, type));
    EXPECT_EQ(type, chunkType());
    ASSERT_EQ(saved.size(), 107u);

    host::PluginModule module;
    host::EffectInstance vst3(module);
    ASSERT_TRUE(vst3.start(kRate, 512));
    host::MemoryStream in(stateBytes(asDoubles(lv2)));
    ASSERT_EQ(vst3.component->setState(&in), host::kResultOk);
    // A VST 3 host switches bypass through its parameter.
    host::ParameterChanges changes;
    changes.add(host::kBypassID, enabled > 0.0f ? 0.0 : 1.0);
    host::AudioBlock block(host::kSample32, 64);
    block.data.numSamples = 64;
    block.data.inputParameterChanges = &changes;
    vst3.processor->process(block.data);
    host::MemoryStream out;
    ASSERT_EQ(vst3.component->getState(&out), host::kResultOk);
    EXPECT_EQ(saved, out.bytes);
  }
}

TEST_F(State, ARestoredInstanceSoundsLikeTheSavedSettings)
{
  ASSERT_NE(world.plugin, nullptr);
  Instance saved(world, kRate);
  audibleSettings(saved);
  runBlocks(saved, 4);
  std::vector<uint8_t> bytes;
  uint32_t type = 0;
  ASSERT_TRUE(saved.save(bytes, type));

  // Restored without the host touching the ports, and set up through them.
  Instance restored(world, kRate);
  ASSERT_EQ(restored.restore(bytes, type), LV2_STATE_SUCCESS);
  Instance reference(world, kRate);
  audibleSettings(reference);

  const Stereo input = impulse(12000);
  const Stereo a = restored.render(input, {256});
  const Stereo b = reference.render(input, {256});
  for (size_t c = 0; c < 2; ++c)
    for (size_t i = 0; i < a[c].size(); ++i)
      ASSERT_EQ(a[c][i], b[c][i]) << c << " " << i;
  EXPECT_EQ(restored.display().parameterValues, reference.display().parameterValues);
  // A port the host moves afterwards applies as always.
  restored.parameter(kMix) = 0.1f;
  runBlocks(restored, 1);
  EXPECT_EQ(restored.display().parameterValues[kMix], static_cast<double>(0.1f));
}

TEST_F(State, FirstVersionAndDamagedStatesAreReadAsTheVST3PluginReadsThem)
{
  ASSERT_NE(world.plugin, nullptr);
  // A first-version chunk: seven values, no tag; the sync switches go off.
  std::vector<uint8_t> old;
  for (double v : {2.0, 0.25, 0.5, 1.0, 0.1, 0.2, 0.3})
  {
    uint8_t raw[8];
    std::memcpy(raw, &v, 8);
    old.insert(old.end(), raw, raw + 8);
  }
  Instance first(world, kRate);
  first.parameter(kDelaySync) = 1.0f;
  runBlocks(first, 1);
  ASSERT_EQ(first.restore(old, chunkType()), LV2_STATE_SUCCESS);
  runBlocks(first, 1);
  const std::vector<double> expected{2.0, 0.25, 0.5, 1.0, 0.1, 0.2, 0.3, 0.0, 0.0};
  EXPECT_EQ(first.display().parameterValues, expected);

  // A current chunk cut short: what it holds is applied, and the restore
  // reports failure.
  std::vector<uint8_t> cut = stateBytes({0.0, 0.9, 0.1, 1.0, 0.0, 0.5, 1.0, 0.0, 0.0});
  cut.resize(40);
  Instance damaged(world, kRate);
  EXPECT_NE(damaged.restore(cut, chunkType()), LV2_STATE_SUCCESS);
  runBlocks(damaged, 1);
  EXPECT_EQ(damaged.display().parameterValues[kRange], 0.0);

  // Wrong type, no crash, no change.
  Instance wrong(world, kRate);
  EXPECT_EQ(wrong.restore(stateBytes(expected), world.urids.map(LV2_ATOM__String)), LV2_STATE_ERR_BAD_TYPE);
}

TEST_F(State, TheBypassWordIsRestoredToo)
{
  ASSERT_NE(world.plugin, nullptr);
  Instance lv2(world, kRate);
  ASSERT_EQ(lv2.restore(stateBytes({3.0, 0.6, 0.4, 0.15, 0.0, 1.0, 1.0, 0.0, 0.0}, 1), chunkType()),
            LV2_STATE_SUCCESS);
  const Stereo input = tone(2048, 500.0, kRate);
  const Stereo out = lv2.render(input, {256});
  for (size_t i = 0; i < out[0].size(); ++i)
    ASSERT_EQ(out[0][i], static_cast<float>(input[0][i])) << i;
  std::vector<uint8_t> bytes;
  uint32_t type = 0;
  ASSERT_TRUE(lv2.save(bytes, type));
  EXPECT_EQ(bytes.back(), 0u);
  EXPECT_EQ(bytes[103], 1u);
}
