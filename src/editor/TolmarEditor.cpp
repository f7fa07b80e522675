#include "editor/TolmarEditor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "control/UpdateCheck.h"
#include "editor/TolmarControls.h"
#include "plugin/TolmarDelay.h"
#include "plugin/VendorInfo.h"

TolmarEditor::TolmarEditor(TolmarDelay& owner, std::string folder)
  : delay(owner), resourceFolder(std::move(folder))
{
  delay.SetEditorConnection(this);
}

TolmarEditor::~TolmarEditor()
{
  delay.SetEditorConnection(nullptr);
  CloseWindow();
}

void TolmarEditor::install(TolmarDelay& delay)
{
  delay.SetEditorFactory([](IEffectPlugin& plugin, const std::string& folder) -> IEffectEditor* {
    return new TolmarEditor(static_cast<TolmarDelay&>(plugin), folder);
  });
}

void TolmarEditor::GetOpeningSize(int& width, int& height) const
{
  const float scale = std::clamp(delay.getEditorScale(), GUI::kMinScale, GUI::kMaxScale);
  width = std::max(1, static_cast<int>(std::floor(GUI::kLayoutWidth * static_cast<double>(scale) + 1e-3)));
  height = std::max(1, static_cast<int>(std::floor(GUI::kLayoutHeight * static_cast<double>(scale) + 1e-3)));
}

IEditorGraphics& TolmarEditor::EnsureGraphics()
{
  if (!graphics)
  {
    const IEffectConfig& config = delay.GetConfig();
    graphics = MakeGraphics(*this, config.editorWidth, config.editorHeight, config.editorFPS, 1.0f);
    graphics->SetResourcePath(resourceFolder);
    if (rememberedWidth && rememberedHeight && rememberedScale > 0.f)
      graphics->Resize(rememberedWidth, rememberedHeight, rememberedScale, false);
  }
  return *graphics;
}

void TolmarEditor::OpenWindow(std::unique_ptr<IPlatformWindow> window)
{
  EnsureGraphics().OpenWindow(std::move(window));
}

void TolmarEditor::CloseWindow()
{
  // Nobody is left to see the answer.
  updateCheck.cancel();
  if (closing || !graphics)
    return;
  closing = true;
  rememberedWidth = graphics->Width();
  rememberedHeight = graphics->Height();
  rememberedScale = graphics->GetDrawScale();
  learnButton = freezeButton = nullptr;
  rangeSelector = nullptr;
  timeKnob = rateKnob = nullptr;
  graphics->CloseWindow();
  graphics.reset();
  closing = false;
}

void TolmarEditor::LayoutUI(IEditorGraphics& g)
{
  const IBitmap button = g.LoadBitmap("button.png", EditorLayout::kButtonFrames);
  const IBitmap knob = g.LoadBitmap("knob.png", EditorLayout::kKnobFrames);
  const IBitmap ranges = g.LoadBitmap("ranges.png", EditorLayout::kRangeFrames);
  const IBitmap switches = g.LoadBitmap("switch.png", EditorLayout::kSwitchFrames);
  g.LoadFont(GUI::kFont, GUI::kFont);
  g.EnableMouseOver(true);
  g.EnableMultiTouch(g.PlatformSupportsMultiTouch());
  g.AttachBackground("back.png");
  g.AttachControl(std::make_unique<ITolmarSizeContextControl>(IRECT(0, 0, GUI::kLayoutWidth, GUI::kLayoutHeight)));
  g.SetScaleConstraints(GUI::kMinScale, GUI::kMaxScale);
  // A stored scale outside the limits (0 from a damaged file, 8 from a hand
  // edit) opens at the nearest limit.
  float scale = delay.getEditorScale();
  if (!(scale >= GUI::kMinScale))
    scale = GUI::kMinScale;
  if (scale > GUI::kMaxScale)
    scale = GUI::kMaxScale;
  g.Resize(GUI::kLayoutWidth, GUI::kLayoutHeight, scale, true);
  g.AttachControl(std::make_unique<ITolmarOnlineMenu>(areaOf(EditorLayout::kOnlineMenu)));
  g.AttachCornerResizer(new ITolmarCornerResizer(IRECT(0, 0, static_cast<float>(g.Width()), static_cast<float>(g.Height())),
                                                 GUI::kCornerSize),
                        EUIResizerMode::Scale, false);
  g.AttachControl(std::make_unique<ITolmarPresetMenu>(areaOf(EditorLayout::kPresetMenu)));
  rangeSelector = g.AttachControl(std::make_unique<ITolmarRangeControl>(EditorLayout::kRange.x, EditorLayout::kRange.y, ranges, kRange));
  g.AttachControl(std::make_unique<ITolmarSwitchTextControl>(EditorLayout::kDelaySync.x, EditorLayout::kDelaySync.y, kDelaySync, switches));
  timeKnob = g.AttachControl(std::make_unique<ITolmarKnobTextControl>(EditorLayout::kTime.x, EditorLayout::kTime.y, kTime, knob));
  g.AttachControl(std::make_unique<ITolmarKnobTextControl>(EditorLayout::kFeedback.x, EditorLayout::kFeedback.y, kFeedback, knob));
  rateKnob = g.AttachControl(std::make_unique<ITolmarKnobTextControl>(EditorLayout::kLFOSpeed.x, EditorLayout::kLFOSpeed.y, kLFOSpeed, knob));
  g.AttachControl(std::make_unique<ITolmarSwitchTextControl>(EditorLayout::kLFOSync.x, EditorLayout::kLFOSync.y, kLFOSync, switches));
  g.AttachControl(std::make_unique<ITolmarKnobTextControl>(EditorLayout::kLFODepth.x, EditorLayout::kLFODepth.y, kLFODepth, knob));
  g.AttachControl(std::make_unique<ITolmarKnobTextControl>(EditorLayout::kMix.x, EditorLayout::kMix.y, kMix, knob));
  g.AttachControl(std::make_unique<ITolmarKnobTextControl>(EditorLayout::kQuality.x, EditorLayout::kQuality.y, kQuality, knob));
  learnButton = g.AttachControl(std::make_unique<ITolmarToolsControl>(EditorLayout::kLearn.x, EditorLayout::kLearn.y, kLearnButtonID, button));
  g.AttachControl(std::make_unique<ITolmarSaveControl>(EditorLayout::kSave.x, EditorLayout::kSave.y, button));
  freezeButton = g.AttachControl(std::make_unique<ITolmarToolsControl>(EditorLayout::kFreeze.x, EditorLayout::kFreeze.y, kFreezeButtonID, button));

  // A new editor shows the current sync state at once.
  refreshTimeDisplay();
  delay.setRateDisplay();
  rateKnob->SetDirty(false);
}

void TolmarEditor::refreshTimeDisplay()
{
  if (!rangeSelector)
    return;
  rangeSelector->SetDisabled(delay.isDelaySynced());
  rangeSelector->SetDirty(false);
  timeKnob->SetDirty(false);
}

void TolmarEditor::applyPendingChanges()
{
  if (!WindowIsOpen())
    return;
  uint32_t values = pendingValueMask.exchange(0, std::memory_order_acq_rel);
  for (int i = 0; values; ++i, values >>= 1)
    if (values & 1u)
      graphics->SetControlValueFromDelegate(i, pendingValues[static_cast<size_t>(i)].load(std::memory_order_acquire));

  const uint32_t refresh = delay.takePendingRefreshes();
  if (refresh & TolmarDelay::kRefreshTimeDisplay)
    refreshTimeDisplay();
  if (refresh & TolmarDelay::kRefreshRateDisplay)
    rateKnob->SetDirty(false);
  if (refresh & TolmarDelay::kRefreshFreeze)
    freezeButton->SetDirty(false);
  if (refresh & TolmarDelay::kRefreshMidiLearn)
  {
    // Armed or released by the audio thread a block after the click: the
    // button shows what it took up.
    if (!delay.isMidiLearnArmed())
      learnButton->SetValueFromDelegate(0.0);
    learnButton->SetDirty(false);
  }
  if (refresh & TolmarDelay::kRefreshAllControls)
    graphics->SetAllControlsDirty();
  if (refresh & TolmarDelay::kRefreshEditorScale)
    resizeUI();
}

void TolmarEditor::OnFrame()
{
  if (!WindowIsOpen())
    return;
  applyPendingChanges();
  showUpdateAnswer();
  graphics->OnFrame();
}

void TolmarEditor::resizeUI(GUI::GUISize size)
{
  if (!WindowIsOpen())
    return;
  const float scale = GUI::scaleForSize(size);
  if (scale > 0.f)
  {
    delay.setEditorScale(scale);
    resizeUI();
  }
}

void TolmarEditor::resizeUI()
{
  if (WindowIsOpen() && delay.getEditorScale() > 0.f)
    graphics->Resize(GUI::kLayoutWidth, GUI::kLayoutHeight, delay.getEditorScale(), true);
}

bool TolmarEditor::saveConfig()
{
  return delay.saveConfig();
}

void TolmarEditor::checkVersionAgainstWeb()
{
  if (!WindowIsOpen() || updateCheck.isBusy())
    return;
  if (!updateCheck.start(versionQueryUrl()))
  {
    VersionAnswer failed;
    failed.readError = true;
    showMessages(std::make_shared<std::vector<UpdateMessage>>(interpretVersionAnswer(failed)), 0);
  }
}

void TolmarEditor::showUpdateAnswer()
{
  if (std::optional<VersionAnswer> answer = updateCheck.takeAnswer())
    showMessages(std::make_shared<std::vector<UpdateMessage>>(interpretVersionAnswer(*answer)), 0);
}

void TolmarEditor::showMessages(std::shared_ptr<std::vector<UpdateMessage>> messages, size_t index)
{
  if (!WindowIsOpen() || index >= messages->size())
    return;
  const UpdateMessage& message = (*messages)[index];
  graphics->ShowMessageBox(message.text.c_str(), message.caption.c_str(),
                           message.type == UpdateMessage::kYesNo ? kMB_YESNO : kMB_OK,
                           [this, messages, index](EMsgBoxResult answer) {
                             if ((*messages)[index].offersDownload && answer != kNO && WindowIsOpen())
                               graphics->OpenURL(VendorInfo::kVendorDownloadPage);
                             showMessages(messages, index + 1);
                           });
}

const IParam* TolmarEditor::GetParam(int paramIdx) const
{
  return delay.GetParam(paramIdx);
}

void TolmarEditor::BeginInformHostOfParamChangeFromUI(int paramIdx)
{
  delay.BeginInformHostOfParamChangeFromUI(paramIdx);
}

void TolmarEditor::SendParameterValueFromUI(int paramIdx, double normalizedValue)
{
  delay.SendParameterValueFromUI(paramIdx, normalizedValue);
}

void TolmarEditor::EndInformHostOfParamChangeFromUI(int paramIdx)
{
  delay.EndInformHostOfParamChangeFromUI(paramIdx);
}

bool TolmarEditor::PromptHostContextMenu(int paramIdx, float x, float y)
{
  return hostContextMenu && hostContextMenu(paramIdx, x, y);
}

bool TolmarEditor::ConstrainEditorResize(int& width, int& height) const
{
  const IEffectConfig& config = delay.GetConfig();
  const int w = width < config.minWidth ? config.minWidth : width > config.maxWidth ? config.maxWidth : width;
  const int h = height < config.minHeight ? config.minHeight : height > config.maxHeight ? config.maxHeight : height;
  const bool inside = w == width && h == height;
  width = w;
  height = h;
  return inside;
}

bool TolmarEditor::EditorResizeFromUI(int width, int height)
{
  return !hostResize || hostResize(width, height);
}

void TolmarEditor::SetControlValueFromDelegate(int paramIdx, double normalizedValue)
{
  if (paramIdx < 0 || paramIdx >= kMaxParams)
    return;
  pendingValues[static_cast<size_t>(paramIdx)].store(normalizedValue, std::memory_order_release);
  pendingValueMask.fetch_or(1u << paramIdx, std::memory_order_acq_rel);
}

float TolmarEditor::GetEditorDrawScale() const
{
  return graphics ? graphics->GetDrawScale() : delay.getEditorScale();
}
