#pragma once
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editor/TolmarControls.h"
#include "editor/TolmarEditor.h"
#include "support/DelayHarness.h"
#include "toolkit/OffscreenEditor.h"

// Records the edits the editor sends to the host.
struct HostEdits : IEffectHost
{
  std::vector<std::string> calls;
  std::vector<std::pair<int, double>> performed;
  void BeginInformHostOfParamChange(int idx) override { calls.push_back("begin " + std::to_string(idx)); }
  void InformHostOfParamChange(int idx, double value) override
  {
    calls.push_back("perform " + std::to_string(idx));
    performed.emplace_back(idx, value);
  }
  void EndInformHostOfParamChange(int idx) override { calls.push_back("end " + std::to_string(idx)); }
};

// An instance with its editor open offscreen.
class EditorTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    delay->SetHost(&host);
    editor = std::make_unique<TolmarEditor>(*delay, TOLMAR_RESOURCE_DIR);
  }

  void TearDown() override
  {
    offscreen.reset();
    editor.reset();
    delay->SetHost(nullptr);
  }

  void open()
  {
    offscreen = std::make_unique<OffscreenEditor>(editor->EnsureGraphics());
    editor->GetGraphics()->SetURLLauncher([this](const std::string& url) {
      opened.push_back(url);
      return true;
    });
    frame();
  }

  void close()
  {
    offscreen.reset();
    editor->CloseWindow();
  }

  // One frame of the window's timer, after a block of the host's audio
  // thread has taken up what the editor posted.
  void frame()
  {
    delay.sync();
    editor->OnFrame();
  }

  IEditorGraphics& g() { return *editor->GetGraphics(); }

  template <typename T>
  T* controlAt(int index)
  {
    return dynamic_cast<T*>(g().GetControl(index));
  }

  // Clicks the centre of an item of the open menu.
  void chooseMenuItem(int index)
  {
    const IRECT item = g().GetPopupMenuItemRECT(index);
    ASSERT_FALSE(item.Empty()) << "menu item " << index;
    offscreen->Click(item.MW(), item.MH());
  }

  void answerMessageBox(EMsgBoxResult answer)
  {
    const IRECT button = g().GetMessageBoxButtonRECT(answer);
    ASSERT_FALSE(button.Empty());
    offscreen->Click(button.MW(), button.MH());
  }

  DelayHarness delay;
  HostEdits host;
  std::unique_ptr<TolmarEditor> editor;
  std::unique_ptr<OffscreenEditor> offscreen;
  std::vector<std::string> opened;
};
