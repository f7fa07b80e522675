// The CLAP binding in-process, where the instance behind it can be reached
// as the editor reaches it: edits, presets recalled in the editor and the
// host's blocks meet as a host would see them, also with both threads at
// once (ThreadSanitizer runs this in CI).
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "clap/ClapEffect.h"
#include "clap/ClapFactory.h"
#include "control/ConfigTestSupport.h"
#include "host/ClapHost.h"
#include "params/ProductFacts/ParameterIds.h"
#include "params/ProductFacts/ProductIdentity.h"

using tolmar::host::ClapEvents;
using tolmar::host::ClapInstance;

namespace
{
const clap_plugin_descriptor_t kDescriptor = {CLAP_VERSION_INIT, ProductIdentity::kClapId, ProductIdentity::kEffectName,
                                              "", "", "", "", ProductIdentity::kVersion, "", nullptr};

const clap_plugin_factory_t kFactory = {
    [](const clap_plugin_factory_t*) -> uint32_t { return 1; },
    [](const clap_plugin_factory_t*, uint32_t) -> const clap_plugin_descriptor_t* { return &kDescriptor; },
    [](const clap_plugin_factory_t*, const clap_host_t* host, const char* id) {
      return ClapFactory::Create(host, id, kDescriptor, "");
    },
};

struct Seen
{
  uint16_t type;
  clap_id id;
  double value;
};

std::vector<Seen> seen(const ClapEvents& events)
{
  std::vector<Seen> result;
  for (size_t i = 0; i < events.size(); ++i)
  {
    const clap_event_header_t* h = events.at(i);
    if (h->type == CLAP_EVENT_PARAM_VALUE)
      result.push_back({h->type, reinterpret_cast<const clap_event_param_value_t*>(h)->param_id,
                        reinterpret_cast<const clap_event_param_value_t*>(h)->value});
    else
      result.push_back({h->type, reinterpret_cast<const clap_event_param_gesture_t*>(h)->param_id, 0.0});
  }
  return result;
}

class ClapBinding : public ConfigHomeTest
{
protected:
  void SetUp() override
  {
    ConfigHomeTest::SetUp();
    instance = std::make_unique<ClapInstance>(kFactory, ProductIdentity::kClapId);
    effect = &ClapEffect::From(&instance->plugin())->GetPlugin();
  }
  void TearDown() override
  {
    instance.reset();
    ConfigHomeTest::TearDown();
  }

  void block(const ClapEvents* in, ClapEvents* out)
  {
    std::vector<float> l(128), r(128), ol(128), orr(128);
    const float* ins[2] = {l.data(), r.data()};
    float* outs[2] = {ol.data(), orr.data()};
    instance->process(ins, outs, 128, in, out);
  }

  std::unique_ptr<ClapInstance> instance;
  IEffectPlugin* effect = nullptr;
};
} // namespace

// A preset recalled in the editor reaches the host as one gesture per
// parameter with the preset's value, the texts are read again, and the
// project is marked modified.
TEST_F(ClapBinding, APresetRecalledInTheEditorReachesTheHost)
{
  ASSERT_TRUE(effect->RestorePreset(7));
  effect->InformHostOfPresetChange();
  EXPECT_GT(instance->flushRequests.load(), 0);
  EXPECT_TRUE(instance->rescanFlags & CLAP_PARAM_RESCAN_TEXT);
  EXPECT_GE(instance->dirtyMarks, 1);
  ClapEvents none;
  ClapEvents out;
  instance->flush(none, out);
  const auto events = seen(out);
  ASSERT_EQ(events.size(), 3u * kNumParams);
  for (int i = 0; i < kNumParams; ++i)
  {
    const size_t at = 3u * static_cast<size_t>(i);
    EXPECT_EQ(events[at].type, CLAP_EVENT_PARAM_GESTURE_BEGIN);
    EXPECT_EQ(events[at + 1].type, CLAP_EVENT_PARAM_VALUE);
    EXPECT_EQ(events[at + 1].id, static_cast<clap_id>(i));
    EXPECT_EQ(events[at + 1].value, effect->GetParam(i)->Value());
    EXPECT_EQ(instance->value(static_cast<clap_id>(i)), effect->GetParam(i)->Value());
    EXPECT_EQ(events[at + 2].type, CLAP_EVENT_PARAM_GESTURE_END);
  }
  // Taken once: the next flush has nothing more.
  ClapEvents again;
  instance->flush(none, again);
  EXPECT_EQ(again.size(), 0u);
}

// The editor's gesture goes out with the next block when the host
// processes, as plain values; an edit queue that overflows sends every
// value once rather than losing the last.
TEST_F(ClapBinding, EditorGesturesGoOutWithTheNextBlock)
{
  ASSERT_TRUE(instance->start(48000.0, 128));
  effect->BeginInformHostOfParamChangeFromUI(kFeedback);
  effect->SendParameterValueFromUI(kFeedback, 0.75); // plain 0.5
  effect->EndInformHostOfParamChangeFromUI(kFeedback);
  ClapEvents out;
  block(nullptr, &out);
  const auto events = seen(out);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[1].id, static_cast<clap_id>(kFeedback));
  EXPECT_DOUBLE_EQ(events[1].value, 0.5);
  EXPECT_EQ(instance->value(kFeedback), 0.5);

  for (int i = 0; i < 1000; ++i)
    effect->SendParameterValueFromUI(kMix, (i % 100) / 100.0);
  ClapEvents flood;
  block(nullptr, &flood);
  const auto flooded = seen(flood);
  ASSERT_GE(flooded.size(), 512u);
  // The last word on Mix is its value now.
  double lastMix = -1.0;
  for (const Seen& e : flooded)
    if (e.type == CLAP_EVENT_PARAM_VALUE && e.id == static_cast<clap_id>(kMix))
      lastMix = e.value;
  EXPECT_EQ(lastMix, effect->GetParam(kMix)->Value());
}

// The editor's edits on the main thread while the host processes on its
// audio thread: the host hears them (and, should the edits outrun the
// blocks, every value once), nothing else.
TEST_F(ClapBinding, EditorAndAudioThreadsAtOnce)
{
  ASSERT_TRUE(instance->start(48000.0, 128));
  std::atomic<bool> done{false};
  std::atomic<bool> edited{false};
  std::atomic<int> values{0};
  std::thread audio([&] {
    while (!edited)
      std::this_thread::yield();
    for (int b = 0; b < 500; ++b)
    {
      ClapEvents in;
      in.paramValue(kTime, (b % 10) / 10.0);
      in.midi(0xB0, 1, static_cast<uint8_t>(b % 128));
      ClapEvents out;
      block(&in, &out);
      for (const Seen& e : seen(out))
        if (e.type == CLAP_EVENT_PARAM_VALUE)
        {
          EXPECT_LT(e.id, static_cast<clap_id>(kNumParams));
          values.fetch_add(1);
        }
    }
    done = true;
  });
  for (int i = 0; !done; ++i)
  {
    effect->BeginInformHostOfParamChangeFromUI(kQuality);
    effect->SendParameterValueFromUI(kQuality, (i % 50) / 50.0);
    effect->EndInformHostOfParamChangeFromUI(kQuality);
    edited = true;
    instance->runMainThreadWork();
    std::this_thread::yield();
  }
  audio.join();
  EXPECT_GT(values.load(), 0);
}
