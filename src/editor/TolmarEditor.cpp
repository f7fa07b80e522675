#include "editor/TolmarEditor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "control/UpdateCheck.h"
#include "editor/TolmarControls.h"
#include "params/ProductFacts/DelayRanges.h"
#include "params/ProductFacts/SyncRates.h"
#include "params/TypedText.h"
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

// --- Typed values --------------------------------------------------------------------------

namespace
{
// Every shown text is short; a field this long holds any number typed.
constexpr size_t kMaxTypedCharacters = 64;
// Room for the name limit and a little beyond, so that a name too long is
// refused with a word rather than silently cut.
constexpr size_t kMaxNameFieldCharacters = UserPresetFolder::kMaxNameLength + 28;
constexpr const char* kSavePresetCaption = "Save Preset";
constexpr const char* kDeletePresetCaption = "Delete Preset";
} // namespace

void TolmarEditor::promptForValue(int paramIdx)
{
  const IParam* param = delay.GetParam(paramIdx);
  if (!WindowIsOpen() || !param)
    return;
  IString shown;
  if (paramIdx == kTime)
    delay.getDelayTimeDisplay(shown);
  else
    param->GetDisplay(param->Value(), false, shown, true);
  graphics->PromptForText(param->GetName(), "OK", GUI::valueStyle(), shown.Get(), kMaxTypedCharacters,
                          [this, paramIdx](const std::string& text) { return applyTypedValue(paramIdx, text); });
}

bool TolmarEditor::readTypedValue(int paramIdx, const std::string& text, double& value) const
{
  const IParam* param = delay.GetParam(paramIdx);
  if (!param || text.size() > TypedText::kMaxLength)
    return false;
  if (paramIdx == kTime)
  {
    // The caption shows the delay the time gives in the current range, or
    // the note it selects while synced: those forms set the time that shows
    // them.
    const std::string_view typed = TypedText::Trimmed(text);
    if (delay.isDelaySynced())
    {
      for (int row = 0; row < kNumSyncRates; ++row)
        if (TypedText::EqualsIgnoringCase(typed, kDelaySyncRates[static_cast<size_t>(row)].label))
        {
          value = timeForDelaySyncRow(row);
          return true;
        }
    }
    double ms = 0.0;
    if (TypedText::ParseNumberWithUnit(typed, "ms", ms))
    {
      double lo = 0.0, hi = 0.0;
      DelayRanges::rangeBoundsMs(delay.Param(kRange).Value(), lo, hi);
      // Half a shown millisecond beyond either end still means that end.
      const double tolerance = 0.5 / (hi - lo);
      const double t = (ms - lo) / (hi - lo);
      if (!(t >= -tolerance && t <= 1.0 + tolerance))
        return false;
      value = param->Constrain(std::clamp(t, 0.0, 1.0));
      return true;
    }
  }
  double read = 0.0;
  if (!param->ReadText(text.c_str(), read) || !std::isfinite(read))
    return false;
  value = param->Constrain(read);
  return true;
}

bool TolmarEditor::applyTypedValue(int paramIdx, const std::string& text)
{
  double value = 0.0;
  if (!readTypedValue(paramIdx, text, value))
    return false;
  editParameter(paramIdx, value);
  return true;
}

void TolmarEditor::resetToDefault(int paramIdx)
{
  if (const IParam* param = delay.GetParam(paramIdx))
    editParameter(paramIdx, param->Constrain(param->GetDefault()));
}

void TolmarEditor::editParameter(int paramIdx, double value)
{
  const double normalized = std::clamp(delay.Param(paramIdx).ToNormalized(value), 0.0, 1.0);
  // One edit of the host's, as a drag would be.
  BeginInformHostOfParamChangeFromUI(paramIdx);
  SendParameterValueFromUI(paramIdx, normalized);
  EndInformHostOfParamChangeFromUI(paramIdx);
  if (WindowIsOpen())
    graphics->SetControlValueFromDelegate(paramIdx, normalized);
}

// --- User presets --------------------------------------------------------------------------

std::vector<UserPresetFolder::Entry> TolmarEditor::listUserPresets() const
{
  return UserPresetFolder().list();
}

void TolmarEditor::showPresetMessage(const std::string& text, const char* caption, std::function<void()> then)
{
  if (!WindowIsOpen())
    return;
  graphics->ShowMessageBox(text.c_str(), caption, kMB_OK, [then = std::move(then)](EMsgBoxResult) {
    if (then)
      then();
  });
}

void TolmarEditor::recallUserPreset(const std::string& name)
{
  const std::optional<std::vector<char>> state = UserPresetFolder().load(name);
  if (!state || !delay.changeToUserPreset(name, *state))
  {
    showPresetMessage("The preset \"" + name + "\" could not be read. It may have been changed or removed.",
                      "Load Preset");
    return;
  }
  if (WindowIsOpen())
    graphics->SetAllControlsDirty();
}

void TolmarEditor::promptSavePreset()
{
  // The loaded user preset's name, to save it again or a variant of it.
  promptPresetName(delay.getUserPresetName());
}

void TolmarEditor::promptPresetName(const std::string& text)
{
  if (!WindowIsOpen())
    return;
  graphics->PromptForText("Preset name", "Save", GUI::buttonStyle(), text, kMaxNameFieldCharacters, [this](const std::string& typed) {
    // Blanks around a name are never meant.
    const size_t first = typed.find_first_not_of(' ');
    const std::string name = first == std::string::npos ? std::string() : typed.substr(first, typed.find_last_not_of(' ') - first + 1);
    const std::string problem = UserPresetFolder::nameProblem(name);
    if (!problem.empty())
    {
      // The field closes for the message and opens again with what was
      // typed; a name that was only blanks comes back empty.
      const std::string again = name.empty() ? std::string() : typed;
      showPresetMessage(problem, kSavePresetCaption, [this, again] { promptPresetName(again); });
      return true;
    }
    if (UserPresetFolder().exists(name))
    {
      graphics->ShowMessageBox(("A preset named \"" + name + "\" exists already.\n\nDo you want to replace it?").c_str(),
                               kSavePresetCaption, kMB_YESNO, [this, name](EMsgBoxResult answer) {
                                 if (answer == kYES)
                                   savePresetAs(name);
                               });
      return true;
    }
    savePresetAs(name);
    return true;
  }, nullptr, "Name of the new preset");
}

void TolmarEditor::savePresetAs(const std::string& name)
{
  std::string error;
  if (!UserPresetFolder().save(name, delay.userPresetState(), error))
  {
    showPresetMessage(error, kSavePresetCaption);
    return;
  }
  delay.userPresetSaved(name);
}

void TolmarEditor::confirmDeletePreset(const std::string& name)
{
  if (!WindowIsOpen() || name.empty() || UserPresetFolder::isFactoryName(name))
    return;
  graphics->ShowMessageBox(("Do you really want to delete the preset \"" + name + "\"?").c_str(), kDeletePresetCaption,
                           kMB_YESNO, [this, name](EMsgBoxResult answer) {
                             if (answer != kYES)
                               return;
                             std::string error;
                             if (!UserPresetFolder().remove(name, error))
                             {
                               showPresetMessage(error, kDeletePresetCaption);
                               return;
                             }
                             if (delay.getUserPresetName() == name)
                               delay.forgetUserPreset();
                           });
}
