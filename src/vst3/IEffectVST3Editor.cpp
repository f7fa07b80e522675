// The instance's editor as the VST 3 binding keeps it: made on first use,
// shown by one view at a time, fed by the idle timer on the best run loop
// the host offers. Main thread throughout.
#include <cstring>

#include "toolkit/EditorOnFirstUse.h"
#include "vst3/IEffectVST3.h"
#include "vst3/IEffectVST3View.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace
{
// The idle timer's interval: processor MIDI reaches the editor this often.
constexpr uint64 kIdleIntervalMs = 20;
} // namespace

IPlugView* PLUGIN_API IEffectVST3::createView(FIDString name)
{
  // Before initialize the host has no business with the editor yet.
  if (!name || !initialized || !HasEditor() || std::strcmp(name, ViewType::kEditor) != 0)
    return nullptr;
  try
  {
    auto* view = new IEffectVST3View(*this);
    currentView = view;
    return view;
  }
  catch (...)
  {
    return nullptr;
  }
}

bool IEffectVST3::HasEditor()
{
  if (!plugin->GetConfig().hasEditor)
    return false;
  return MakeEditorOnFirstUse(
      editor, [this] { return plugin->CreateEditor(resourceFolder); },
      [this](int width, int height) { return EditorResize(width, height); });
}

IEffectEditor& IEffectVST3::Editor()
{
  HasEditor();
  return *editor;
}

bool IEffectVST3::EditorResize(int width, int height)
{
  // The view compares with the size the host actually has, which host
  // resizes change too, and asks only when the two differ.
  if (HasEditor() && openView)
    openView->RequestHostResize(width, height);
  return true;
}

bool IEffectVST3::ClaimEditor(IEffectVST3View& view)
{
  if (openView && openView != &view)
    return false;
  openView = &view;
  return true;
}

void IEffectVST3::ReleaseEditor(IEffectVST3View& view)
{
  if (openView == &view)
    openView = nullptr;
}

void IEffectVST3::ViewDestroyed(IEffectVST3View& view)
{
  ReleaseEditor(view);
  if (currentView == &view)
    currentView = nullptr;
}

void IEffectVST3::SetViewRunLoop(Linux::IRunLoop* loop)
{
  viewRunLoop = loop;
  placeIdleTimer();
}

void IEffectVST3::placeIdleTimer()
{
  // The host context's loop runs whether an editor is open or not; the
  // view's only while the view is attached.
  Linux::IRunLoop* best = contextRunLoop ? contextRunLoop.get() : viewRunLoop.get();
  if (idleTimer.IsRunning() && idleTimer.Loop() == best)
    return;
  idleTimer.Stop();
  if (best)
    idleTimer.Start(best, kIdleIntervalMs, [this] { plugin->OnTimer(); });
}
