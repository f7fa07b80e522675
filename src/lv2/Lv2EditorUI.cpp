#include "lv2/Lv2EditorUI.h"

#include <cmath>
#include <cstring>

#include <lv2/atom/util.h>

#include "lv2/AtomChecks.h"
#include "lv2/Lv2Features.h"
#include "lv2/Lv2Ports.h"
#include "lv2/Lv2Uris.h"
#include "plugin/MakeEffect.h"
#include "toolkit/IEffectEditor.h"
#include "toolkit/X11EditorWindow.h"

namespace
{
bool isObject(const LV2_Atom* atom, LV2_URID object, LV2_URID blank)
{
  return (atom->type == object || atom->type == blank) && atom->size >= sizeof(LV2_Atom_Object_Body);
}
} // namespace

std::unique_ptr<Lv2EditorUI> Lv2EditorUI::Create(const char* bundlePath, LV2UI_Write_Function write,
                                                 LV2UI_Controller controller, LV2UI_Widget* widget,
                                                 const LV2_Feature* const* features)
{
  const auto* map = static_cast<const LV2_URID_Map*>(featureData(features, LV2_URID__map));
  const void* parent = featureData(features, LV2_UI__parent);
  if (!map || !map->map || !parent || !write || !widget)
    return nullptr;
  try
  {
    std::unique_ptr<IEffectPlugin> model(MakeEffect(InstanceInfo{}));
    if (!model)
      return nullptr;
    std::unique_ptr<Lv2EditorUI> ui(new Lv2EditorUI(std::move(model), write, controller, *map));
    ui->hostResize = static_cast<const LV2UI_Resize*>(featureData(features, LV2_UI__resize));
    ui->touch = static_cast<const LV2UI_Touch*>(featureData(features, LV2_UI__touch));
    std::string resources = bundlePath ? bundlePath : "";
    while (!resources.empty() && resources.back() == '/')
      resources.pop_back();
    resources += "/resources";
    // The X11 embedding passes the parent's window ID as the pointer value.
    if (!ui->open(resources, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(parent))))
      return nullptr;
    *widget = reinterpret_cast<LV2UI_Widget>(static_cast<uintptr_t>(ui->window->WindowID()));
    return ui;
  }
  catch (...)
  {
    return nullptr;
  }
}

Lv2EditorUI::Lv2EditorUI(std::unique_ptr<IEffectPlugin> instance, LV2UI_Write_Function writeFunction,
                         LV2UI_Controller hostController, const LV2_URID_Map& map)
: write(writeFunction), controller(hostController), uris(map), model(std::move(instance))
{
  lv2_atom_forge_init(&forge, const_cast<LV2_URID_Map*>(&map));

  // The model starts where a fresh plug-in starts; the host's port values
  // and the plug-in's first display message bring it up to date.
  // The UI thread is the model's only thread: it applies what is posted to
  // the model as an audio thread would.
  model->SetHost(this);
  model->OnParamReset(kReset);
  model->ApplyPendingChanges();
  for (int i = 0; i < kNumParams; ++i)
    syncedValues[i] = model->Param(i).Value();
  for (int c = 0; c < ControllerMap::kNumControllers; ++c)
    syncedMap[c] = model->GetControllerBinding(c);
}

Lv2EditorUI::~Lv2EditorUI()
{
  window = nullptr;
  editor.reset();
  model->SetHost(nullptr);
}

bool Lv2EditorUI::open(const std::string& resources, uint32_t parent)
{
  editor.reset(model->CreateEditor(resources));
  if (!editor)
    return false;
  editor->setHostResizeHandler([this](int width, int height) {
    // Sizes the editor chooses reach the host at the next idle call, when
    // the host is not in the middle of calling us.
    resizePending = true;
    pendingWidth = width;
    pendingHeight = height;
    return true;
  });
  IEditorGraphics& graphics = editor->EnsureGraphics();
  auto created = X11EditorWindow::Create(parent, graphics);
  if (!created)
    return false;
  window = created.get();
  // Hosts embed through toolkits that may keep their window's size when the
  // editor asks for another (Audacity's dialog never hears of it).
  window->AskTopLevelToFollow(true);
  editor->OpenWindow(std::move(created));
  // The host lays out its socket as soon as instantiation returns; it must
  // know the size by then, not at the first idle call.
  pendingWidth = graphics.WindowWidth();
  pendingHeight = graphics.WindowHeight();
  resizePending = !(hostResize && hostResize->ui_resize);
  if (!resizePending)
    hostResize->ui_resize(hostResize->handle, pendingWidth, pendingHeight);
  // The plug-in answers with everything the editor shows.
  sendCommand(Lv2Uris::kCommandRequestDisplay);
  return true;
}

// --- From the host ---------------------------------------------------------------

void Lv2EditorUI::PortEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
  if (!buffer)
    return;
  if (format == 0 && size == sizeof(float) && Lv2Ports::isParameterPort(port))
  {
    // Whatever the editor changed before goes out first, so that a value
    // from the host does not overwrite an edit not yet sent.
    sendLocalChanges();
    applyHostValue(static_cast<int>(port - Lv2Ports::kFirstParameter), *static_cast<const float*>(buffer));
    // A preset the host loads arrives as port values, one by one: once they
    // are all in, they hold a preset's values.
    model->TickMatchingPreset(true);
    return;
  }
  if (format == uris.atomEventTransfer && port == Lv2Ports::kNotify && size >= sizeof(LV2_Atom))
  {
    const auto* atom = static_cast<const LV2_Atom*>(buffer);
    if (sizeof(LV2_Atom) + atom->size > size || !isObject(atom, uris.atomObject, uris.atomBlank))
      return;
    const auto* object = reinterpret_cast<const LV2_Atom_Object*>(atom);
    if (object->body.otype == uris.display)
    {
      sendLocalChanges();
      applyDisplay(object);
    }
  }
}

void Lv2EditorUI::applyHostValue(int paramIdx, double value)
{
  if (!std::isfinite(value))
    return;
  IParam& param = model->Param(paramIdx);
  param.Set(value);
  syncedValues[paramIdx] = param.Value();
  model->OnParamChange(paramIdx, kHost, 0);
  model->SendParameterValueFromDelegate(paramIdx, param.Value(), false);
}

void Lv2EditorUI::applyDisplay(const LV2_Atom_Object* display)
{
  const LV2_Atom *values = nullptr, *tempo = nullptr, *frozen = nullptr, *armed = nullptr, *unlearn = nullptr,
                 *map = nullptr, *restores = nullptr;
  lv2_atom_object_get(display, uris.parameterValues, &values, uris.hostTempo, &tempo, uris.frozen, &frozen,
                      uris.learnArmed, &armed, uris.unlearnMode, &unlearn, uris.controllerMap, &map, uris.restores,
                      &restores, 0);
  for (const LV2_Atom** value : {&values, &tempo, &frozen, &armed, &unlearn, &map, &restores})
    *value = AtomChecks::inside(display, *value);
  auto flag = [this](const LV2_Atom* atom, bool fallback) {
    return atom && atom->type == uris.atomBool && atom->size >= sizeof(int32_t)
               ? reinterpret_cast<const LV2_Atom_Bool*>(atom)->body != 0
               : fallback;
  };
  auto vector = [this](const LV2_Atom* atom, LV2_URID childType, uint32_t childSize, uint32_t& count) -> const void* {
    if (!atom || atom->type != uris.atomVector || atom->size < sizeof(LV2_Atom_Vector_Body))
      return nullptr;
    const auto* v = reinterpret_cast<const LV2_Atom_Vector*>(atom);
    if (v->body.child_type != childType || v->body.child_size != childSize)
      return nullptr;
    count = (atom->size - static_cast<uint32_t>(sizeof(LV2_Atom_Vector_Body))) / childSize;
    return v + 1;
  };

  if (tempo && tempo->type == uris.atomDouble && tempo->size >= sizeof(double))
  {
    const double bpm = reinterpret_cast<const LV2_Atom_Double*>(tempo)->body;
    ITimeInfo& time = model->GetTimeInfo();
    if (std::isfinite(bpm) && bpm != time.tempo)
    {
      time.tempo = bpm;
      model->OnTempoChanged();
    }
  }

  // Values a MIDI controller set; the host's ports do not know them.
  uint32_t count = 0;
  if (const auto* v = static_cast<const double*>(vector(values, uris.atomDouble, sizeof(double), count)))
    for (int i = 0; i < kNumParams && i < static_cast<int>(count); ++i)
      if (v[i] != model->Param(i).Value())
        applyHostValue(i, v[i]);

  // After a restored state, and when the editor opens on values it did not
  // choose, the menu ticks the preset they are, or none.
  if (restores && restores->type == uris.atomInt && restores->size >= sizeof(int32_t))
  {
    const int32_t restored = reinterpret_cast<const LV2_Atom_Int*>(restores)->body;
    if (restored != seenRestores)
      model->TickMatchingPreset(false);
    seenRestores = restored;
  }

  // Freeze and the bindings change on a disarmed model, through the same
  // steps the plug-in took; then the model takes the plug-in's learn state.
  auto apply = [this] { model->ApplyPendingChanges(); };
  model->PostLearn(false);
  apply();
  const bool wasFrozen = model->GetEditorIndicators().frozen;
  if (flag(frozen, wasFrozen) != wasFrozen)
  {
    model->PostFreeze();
    apply();
  }
  if (const auto* bindings =
          static_cast<const int32_t*>(vector(map, uris.atomInt, sizeof(int32_t), count)))
  {
    for (int c = 0; c < ControllerMap::kNumControllers && c < static_cast<int>(count); ++c)
    {
      const int32_t target = bindings[c];
      if (target == model->GetControllerBinding(c))
        continue;
      const bool bind = (target >= 0 && target < kNumParams) || target == ControllerMap::kFreezeTarget;
      if (bind)
        model->PostLearn(true);
      else
        model->PostUnlearn(true);
      apply();
      model->LearnController(c);
      if (target == ControllerMap::kFreezeTarget)
        model->PostFreeze();
      else if (bind)
        model->OnParamGestureBegin(target);
      apply();
      model->PostLearn(false);
      apply();
    }
  }
  if (flag(armed, false))
  {
    if (flag(unlearn, false))
    {
      model->PostUnlearn(true);
      apply();
    }
    else
    {
      model->PostLearn(true);
      apply();
      // The model never hears a controller: a stand-in one lets a press on
      // a knob or on FREEZE complete its gesture, which shows what it was.
      model->LearnController(kStandInController);
    }
  }
  for (int c = 0; c < ControllerMap::kNumControllers; ++c)
    syncedMap[c] = model->GetControllerBinding(c);
  const IEffectPlugin::EditorIndicators shown = model->GetEditorIndicators();
  const bool learnChanged = syncedArmed != shown.learnArmed || syncedUnlearn != shown.unlearnMode;
  const bool freezeChanged = syncedFrozen != shown.frozen;
  syncedArmed = shown.learnArmed;
  syncedUnlearn = shown.unlearnMode;
  syncedFrozen = shown.frozen;
  redrawButtons(learnChanged, freezeChanged);
}

void Lv2EditorUI::redrawButtons(bool learn, bool freeze)
{
  // The buttons show the model's state, which changed after they last drew.
  // They are the editor's own: the whole editor draws again, which is rare.
  if (learn || freeze)
    if (IEditorGraphics* graphics = editor->GetGraphics())
      graphics->SetAllControlsDirty();
}

// --- To the plug-in -------------------------------------------------------------------

void Lv2EditorUI::sendLocalChanges()
{
  // The editor's buttons post to the model; what they did shows once the
  // model has taken it up.
  model->ApplyPendingChanges();
  // A preset chosen in the editor's menu changes the model's values.
  for (int i = 0; i < kNumParams; ++i)
    if (model->Param(i).Value() != syncedValues[i])
      writePort(i);

  const IEffectPlugin::EditorIndicators shown = model->GetEditorIndicators();
  const bool armed = shown.learnArmed;
  const bool unlearn = shown.unlearnMode;
  if (armed != syncedArmed || (armed && unlearn != syncedUnlearn))
  {
    if (armed)
      sendCommand(unlearn ? Lv2Uris::kCommandUnlearnOn : Lv2Uris::kCommandLearnOn);
    else
      endedGesture();
    syncedArmed = armed;
    syncedUnlearn = unlearn;
    redrawButtons(true, false);
  }
  if (shown.frozen != syncedFrozen)
  {
    sendCommand(Lv2Uris::kCommandFreeze);
    syncedFrozen = shown.frozen;
    redrawButtons(false, true);
  }
}

void Lv2EditorUI::endedGesture()
{
  // The model left learning: through the button, or because a press on a
  // knob or on FREEZE completed the gesture there, which changed its map. A
  // knob's touch has gone to the plug-in already; FREEZE goes now, and the
  // plug-in takes it as the target because it is still learning.
  bool freezeTarget = false;
  bool parameterTarget = false;
  for (int c = 0; c < ControllerMap::kNumControllers; ++c)
  {
    const int32_t now = model->GetControllerBinding(c);
    if (now == syncedMap[c])
      continue;
    const int32_t target = syncedUnlearn ? syncedMap[c] : now;
    freezeTarget = freezeTarget || target == ControllerMap::kFreezeTarget;
    parameterTarget = parameterTarget || (target >= 0 && target < kNumParams);
  }
  if (freezeTarget)
    sendCommand(Lv2Uris::kCommandFreeze);
  else if (!parameterTarget)
    sendCommand(syncedUnlearn ? Lv2Uris::kCommandUnlearnOff : Lv2Uris::kCommandLearnOff);
  for (int c = 0; c < ControllerMap::kNumControllers; ++c)
    syncedMap[c] = model->GetControllerBinding(c);
}

void Lv2EditorUI::writePort(int paramIdx)
{
  const double value = model->Param(paramIdx).Value();
  syncedValues[paramIdx] = value;
  const float port = static_cast<float>(value);
  write(controller, Lv2Ports::parameterPort(paramIdx), sizeof(float), 0, &port);
}

void Lv2EditorUI::sendCommand(int code, int target)
{
  alignas(8) uint8_t buffer[128];
  lv2_atom_forge_set_buffer(&forge, buffer, sizeof buffer);
  LV2_Atom_Forge_Frame frame;
  auto* atom = reinterpret_cast<LV2_Atom*>(lv2_atom_forge_object(&forge, &frame, 0, uris.command));
  lv2_atom_forge_key(&forge, uris.commandCode);
  lv2_atom_forge_int(&forge, code);
  if (target >= 0)
  {
    lv2_atom_forge_key(&forge, uris.commandTarget);
    lv2_atom_forge_int(&forge, target);
  }
  lv2_atom_forge_pop(&forge, &frame);
  if (atom)
    write(controller, Lv2Ports::kControl, static_cast<uint32_t>(sizeof(LV2_Atom) + atom->size),
          uris.atomEventTransfer, atom);
}

void Lv2EditorUI::BeginInformHostOfParamChange(int paramIdx)
{
  if (paramIdx < 0 || paramIdx >= kNumParams)
    return;
  // The plug-in hears of the gesture too: while learning, the parameter
  // taken hold of is the target.
  sendCommand(Lv2Uris::kCommandTouch, paramIdx);
  if (touch)
    touch->touch(touch->handle, Lv2Ports::parameterPort(paramIdx), true);
}

void Lv2EditorUI::InformHostOfParamChange(int paramIdx, double)
{
  if (paramIdx >= 0 && paramIdx < kNumParams)
    writePort(paramIdx);
}

void Lv2EditorUI::EndInformHostOfParamChange(int paramIdx)
{
  if (touch && paramIdx >= 0 && paramIdx < kNumParams)
    touch->touch(touch->handle, Lv2Ports::parameterPort(paramIdx), false);
}

// --- The window -----------------------------------------------------------------------

int Lv2EditorUI::Idle()
{
  if (!window || !editor->GetGraphics() || !editor->GetGraphics()->WindowIsOpen())
    return 1;
  sendLocalChanges();
  if (resizePending)
  {
    resizePending = false;
    if (hostResize && hostResize->ui_resize)
      hostResize->ui_resize(hostResize->handle, pendingWidth, pendingHeight);
  }
  if (!window->ProcessEvents())
    return 1;
  editor->OnFrame();
  sendLocalChanges();
  return 0;
}

int Lv2EditorUI::HostResized(int width, int height)
{
  if (!window || width <= 0 || height <= 0)
    return 1;
  if (IEditorGraphics* graphics = editor->GetGraphics())
    graphics->OnParentWindowResize(width, height);
  return 0;
}
