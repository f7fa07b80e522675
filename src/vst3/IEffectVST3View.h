#pragma once
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "public.sdk/source/common/pluginview.h"
#include "toolkit/EditorViewSizes.h"
#include "vst3/HostRunLoop.h"

class IEffectVST3;
class IEditorGraphics;
class X11EditorWindow;

// The plug-in view through which a host embeds the effect's editor in a
// window of its own: on Linux an X11 child window of the host's window
// ("X11EmbedWindowID"), redrawn 60 times a second and fed with X events
// through the host's run loop.
//
// Sizes towards the host are device pixels: the editor's window size in
// points times the content scale factor the host set (1 unless it set
// another). The view resizes only by asking the plug frame and then follows
// the host's onSize; it never touches the host's window. The editor's own
// size changes reach the host at the next frame, never from inside a host
// call or an editor event: a host may answer a resize request by calling
// back into the view, or even by removing it.
//
// Holds one reference on the instance for its whole life. All calls come on
// the host's main thread.
class IEffectVST3View final : public Steinberg::CPluginView, public Steinberg::IPlugViewContentScaleSupport
{
public:
  // Interval of the redraw timer: 60 frames per second.
  static constexpr Steinberg::uint64 kFrameIntervalMs = 16;

  explicit IEffectVST3View(IEffectVST3& owner);
  ~IEffectVST3View() override;

  // IPlugView (main thread).
  Steinberg::tresult PLUGIN_API isPlatformTypeSupported(Steinberg::FIDString type) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API attached(void* parent, Steinberg::FIDString type) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API removed() SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API getSize(Steinberg::ViewRect* size) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API onSize(Steinberg::ViewRect* newSize) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API canResize() SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API checkSizeConstraint(Steinberg::ViewRect* rect) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API onKeyDown(Steinberg::char16 key, Steinberg::int16 keyCode,
                                          Steinberg::int16 modifiers) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API onKeyUp(Steinberg::char16 key, Steinberg::int16 keyCode,
                                        Steinberg::int16 modifiers) SMTG_OVERRIDE;

  // IPlugViewContentScaleSupport (main thread, before or after attached).
  Steinberg::tresult PLUGIN_API setContentScaleFactor(ScaleFactor factor) SMTG_OVERRIDE;

  // Main thread: the editor chose a window size of its own (points); the
  // host is asked to follow.
  void RequestHostResize(int width, int height);

  OBJ_METHODS(IEffectVST3View, CPluginView)
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) SMTG_OVERRIDE;
  REFCOUNT_METHODS(CPluginView)

private:
  void close();
  void onFrame();
  void onEvents();
  // Asks the host for a size (pixels) the editor chose.
  void issueResize(int width, int height);
  // A right click on a parameter's control: the host's own menu for it.
  bool popupHostContextMenu(int paramIdx, float x, float y);
  IEditorGraphics* openGraphics() const;
  Steinberg::tresult handleKey(bool down, Steinberg::char16 key, Steinberg::int16 keyCode, Steinberg::int16 modifiers);

  IEffectVST3& owner;
  X11EditorWindow* window = nullptr;  // owned by the editor's graphics
  Steinberg::IPtr<Steinberg::Linux::IRunLoop> runLoop;
  HostRunLoop::HostFileWatch events;
  HostRunLoop::HostTimer frameTimer;
  EditorViewSizes sizes;
  bool inHostMenu = false;  // the host's context menu may run a loop of its own
  bool hostSized = false;  // onSize arrived during our own resize request
};
