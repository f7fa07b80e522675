// The view binding in-process, where no window is needed: key translation,
// sizes before a window exists, and the idle timer on the host's run loop.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "vst3/IEffectVST3.h"
#include "vst3/KeyTranslation.h"
#include "vst3/support/InProcessBinding.h"
#include "vst3/support/TestRunLoop.h"
#include "vst3/support/VST3Host.h"

using namespace host;

namespace
{
std::string text(const IKeyPress& key) { return key.utf8; }

TEST(KeyTranslationTest, NamedKeysGetTheirVirtualKeysAndNoText)
{
  const IKeyPress f1 = KeyTranslation::Translate(0, 40, 0);
  EXPECT_EQ(f1.VK, 112);
  EXPECT_EQ(text(f1), "");
  EXPECT_EQ(KeyTranslation::Translate(0, 51, 0).VK, 123);  // F12
  EXPECT_EQ(KeyTranslation::Translate(0, 4, 0).VK, 13);    // return
  EXPECT_EQ(KeyTranslation::Translate(0, 19, 0).VK, 13);   // enter
  EXPECT_EQ(KeyTranslation::Translate(0, 14, 0).VK, 40);   // down
  EXPECT_EQ(KeyTranslation::Translate(0, 24, 0).VK, 96);   // number pad 0
  EXPECT_EQ(KeyTranslation::Translate(0, 54, 0).VK, 16);   // shift
  EXPECT_EQ(KeyTranslation::Translate(0, 56, 0).VK, 18);   // alt
  EXPECT_EQ(KeyTranslation::Translate(0, 58, 0).VK, 0);    // past the table
}

TEST(KeyTranslationTest, CharactersBecomeUtf8TextAndLettersTheirCapitalKey)
{
  EXPECT_EQ(text(KeyTranslation::Translate(u'a', 0, 0)), "a");
  EXPECT_EQ(KeyTranslation::Translate(u'a', 0, 0).VK, 'A');
  EXPECT_EQ(KeyTranslation::Translate(u'Q', 0, 0).VK, 'Q');
  EXPECT_EQ(KeyTranslation::Translate(u'5', 0, 0).VK, '5');
  EXPECT_EQ(KeyTranslation::Translate(u'+', 0, 0).VK, 0);
  EXPECT_EQ(text(KeyTranslation::Translate(u'+', 0, 0)), "+");
  EXPECT_EQ(text(KeyTranslation::Translate(u'\u00e9', 0, 0)), "\xC3\xA9");
  EXPECT_EQ(text(KeyTranslation::Translate(u'\u20ac', 0, 0)), "\xE2\x82\xAC");
  // A lone surrogate cannot be text of its own.
  EXPECT_EQ(text(KeyTranslation::Translate(char16_t(0xD800), 0, 0)), "\xEF\xBF\xBD");
  EXPECT_EQ(KeyTranslation::Translate(0, 0, 0).VK, 0);
  EXPECT_EQ(text(KeyTranslation::Translate(0, 0, 0)), "");
}

TEST(KeyTranslationTest, AsciiKeyCodesAndTheSpaceBarStandForTheirCharacters)
{
  const IKeyPress space = KeyTranslation::Translate(0, 7, 0);
  EXPECT_EQ(text(space), " ");
  EXPECT_EQ(space.VK, 32);
  // ASCII key codes count from '0' at 128.
  const IKeyPress a = KeyTranslation::Translate(0, 128 + 17, 0);
  EXPECT_EQ(text(a), "A");
  EXPECT_EQ(a.VK, 'A');
}

TEST(KeyTranslationTest, ShiftAltAndCommandAreTheModifiersThatCount)
{
  const IKeyPress shift = KeyTranslation::Translate(u'a', 0, 1);
  EXPECT_TRUE(shift.S);
  EXPECT_FALSE(shift.A || shift.C);
  EXPECT_TRUE(KeyTranslation::Translate(u'a', 0, 2).A);
  EXPECT_TRUE(KeyTranslation::Translate(u'a', 0, 4).C);
  const IKeyPress macControl = KeyTranslation::Translate(u'a', 0, 8);
  EXPECT_FALSE(macControl.S || macControl.A || macControl.C);
  const IKeyPress space = KeyTranslation::SpaceKey(5);
  EXPECT_EQ(text(space), " ");
  EXPECT_EQ(space.VK, 32);
  EXPECT_TRUE(space.S && space.C);
}

class ViewBinding : public ::testing::Test
{
protected:
  void SetUp() override
  {
    effect = new IEffectVST3(makeEffectWithEditor());
    application.runLoop = &loop;
  }
  void TearDown() override
  {
    effect->terminate();
    effect->release();
  }
  TolmarDelay& delay() { return static_cast<TolmarDelay&>(effect->GetPlugin()); }

  TestRunLoop loop;
  HostApplication application{"Test Host"};
  IEffectVST3* effect = nullptr;
};

TEST_F(ViewBinding, NoViewBeforeInitializeOrForOtherNames)
{
  EXPECT_EQ(effect->createView("editor"), nullptr);
  ASSERT_EQ(effect->initialize(&application), kResultOk);
  EXPECT_EQ(effect->createView(nullptr), nullptr);
  EXPECT_EQ(effect->createView("other"), nullptr);
  IPlugView* view = effect->createView("editor");
  ASSERT_NE(view, nullptr);
  view->release();
}

TEST_F(ViewBinding, AClosedViewReportsTheSizeTheNextWindowOpensAt)
{
  ASSERT_EQ(effect->initialize(&application), kResultOk);
  IPlugView* view = effect->createView("editor");
  ViewRect size;
  EXPECT_EQ(view->getSize(nullptr), kInvalidArgument);
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.left, 0);
  EXPECT_EQ(size.top, 0);
  EXPECT_EQ(size.getWidth(), 683);
  EXPECT_EQ(size.getHeight(), 174);
  delay().setEditorScale(0.70710677f);
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.getWidth(), 965);
  EXPECT_EQ(size.getHeight(), 246);
  // Stored scales outside the limits open at the nearest limit.
  delay().setEditorScale(8.f);
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.getWidth(), 5464);
  delay().setEditorScale(0.f);
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.getWidth(), 341);
  EXPECT_EQ(size.getHeight(), 87);
  // Without a window an editor-made size has nobody to ask.
  EXPECT_TRUE(effect->EditorResize(1366, 348));
  EXPECT_EQ(view->removed(), kResultOk);
  view->release();
}

TEST_F(ViewBinding, TheIdleTimerHandsProcessorMidiOnEvery20Milliseconds)
{
  ASSERT_EQ(effect->initialize(&application), kResultOk);
  ASSERT_EQ(loop.timersWithInterval(20), 1);
  EXPECT_TRUE(effect->IdleTimerRunning());

  ProcessSetup setup{kRealtime, kSample32, 512, 48000.0};
  ASSERT_EQ(effect->setupProcessing(setup), kResultOk);
  effect->setActive(true);
  effect->setProcessing(true);
  EventList events;
  for (int16 pitch = 60; pitch < 64; ++pitch)
    events.noteOn(0, pitch, 0.8f);
  AudioBlock block(kSample32, 512);
  block.data.numSamples = 64;
  block.data.inputEvents = &events;
  ASSERT_EQ(effect->process(block.data), kResultOk);
  IMidiMsg msg;
  ASSERT_TRUE(delay().GetMidiQueueToEditor().Pop(msg));

  loop.fireTimers();
  EXPECT_FALSE(delay().GetMidiQueueToEditor().Pop(msg));

  // What the initialize context offered is given back at terminate.
  effect->terminate();
  EXPECT_EQ(loop.timerCount(), 0);
  EXPECT_FALSE(effect->IdleTimerRunning());
}
} // namespace
