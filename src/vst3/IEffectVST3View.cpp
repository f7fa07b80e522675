#include "vst3/IEffectVST3View.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "pluginterfaces/vst/ivstcontextmenu.h"
#include "toolkit/EditorViewSizes.h"
#include "toolkit/IEffectEditor.h"
#include "toolkit/X11EditorWindow.h"
#include "vst3/IEffectVST3.h"
#include "vst3/KeyTranslation.h"
#include "vst3/TextConversion.h"

using namespace Steinberg;

namespace
{
bool isX11(FIDString type)
{
  return type && std::strcmp(type, kPlatformTypeX11EmbedWindowID) == 0;
}

// The editor's own item in the host's menu for a parameter. Main thread.
class MenuItemTarget final : public Vst::IContextMenuTarget
{
public:
  explicit MenuItemTarget(std::function<void()> run) : action(std::move(run)) {}
  tresult PLUGIN_API executeMenuItem(int32) override
  {
    if (action)
      action();
    return kResultOk;
  }
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override
  {
    if (!obj)
      return kInvalidArgument;
    if (FUnknownPrivate::iidEqual(iid, Vst::IContextMenuTarget::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid))
    {
      addRef();
      *obj = static_cast<Vst::IContextMenuTarget*>(this);
      return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 PLUGIN_API addRef() override { return ++refs; }
  uint32 PLUGIN_API release() override
  {
    const uint32 left = --refs;
    if (left == 0)
      delete this;
    return left;
  }

private:
  std::function<void()> action;
  std::atomic<uint32> refs{1};
};

// Puts the editor's item at the top of the host's menu, above a separator.
// The menu offers no insertion, so the host's items are taken out and put
// back below it; a menu with an item whose target the host keeps to itself
// (none handed out) could not be rebuilt faithfully and gets the item at
// its end instead.
void addItemOnTop(Vst::IContextMenu& menu, const Vst::IContextMenuItem& item, Vst::IContextMenuTarget* target)
{
  Vst::IContextMenuItem separator{};
  separator.flags = Vst::IContextMenuItem::kIsSeparator;
  struct HostItem
  {
    Vst::IContextMenuItem item;
    Vst::IContextMenuTarget* target;
  };
  std::vector<HostItem> hostItems;
  bool rebuildable = true;
  const int32 count = menu.getItemCount();
  for (int32 i = 0; i < count && rebuildable; ++i)
  {
    HostItem entry{};
    if (menu.getItem(i, entry.item, &entry.target) != kResultOk ||
        (!entry.target && !(entry.item.flags & Vst::IContextMenuItem::kIsSeparator)))
      rebuildable = false;
    else
      hostItems.push_back(entry);
  }
  if (!rebuildable || hostItems.empty())
  {
    if (!hostItems.empty() || count > 0)
      menu.addItem(separator, nullptr);
    menu.addItem(item, target);
    return;
  }
  // Held while they are out of the menu.
  for (HostItem& entry : hostItems)
    if (entry.target)
      entry.target->addRef();
  for (HostItem& entry : hostItems)
    menu.removeItem(entry.item, entry.target);
  menu.addItem(item, target);
  menu.addItem(separator, nullptr);
  for (HostItem& entry : hostItems)
    menu.addItem(entry.item, entry.target);
  for (HostItem& entry : hostItems)
    if (entry.target)
      entry.target->release();
}
} // namespace

IEffectVST3View::IEffectVST3View(IEffectVST3& effect) : owner(effect)
{
  owner.addRef();
}

IEffectVST3View::~IEffectVST3View()
{
  // A host that releases the view without removing it first still gets its
  // window and its run loop back clean.
  close();
  owner.ViewDestroyed(*this);
  owner.release();
}

tresult PLUGIN_API IEffectVST3View::queryInterface(const TUID iid, void** obj)
{
  if (!obj)
    return kInvalidArgument;
  QUERY_INTERFACE(iid, obj, IPlugViewContentScaleSupport::iid, IPlugViewContentScaleSupport)
  return CPluginView::queryInterface(iid, obj);
}

// --- Sizes ---------------------------------------------------------------------------

IEditorGraphics* IEffectVST3View::openGraphics() const
{
  return window ? EditorViewSizes::OpenGraphics(owner.Editor(), window) : nullptr;
}

// --- IPlugView ------------------------------------------------------------------------

tresult PLUGIN_API IEffectVST3View::isPlatformTypeSupported(FIDString type)
{
  return owner.HasEditor() && isX11(type) ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API IEffectVST3View::attached(void* parent, FIDString type)
{
  if (!owner.HasEditor() || !isX11(type) || !parent || isAttached())
    return kResultFalse;
  try
  {
    // The frame's run loop is the one meant for views; a loop offered in
    // the host's context does as well.
    runLoop = HostRunLoop::Find(plugFrame);
    if (!runLoop)
      runLoop = owner.ContextRunLoop();
    // Without a run loop nothing would ever redraw or answer the mouse.
    if (!runLoop || !owner.ClaimEditor(*this))
    {
      runLoop = nullptr;
      return kResultFalse;
    }

    IEffectEditor& editor = owner.Editor();
    IEditorGraphics& graphics = editor.EnsureGraphics();
    graphics.SetScreenScale(sizes.Scale());
    // The X11 embedding passes the parent's window ID as the pointer value.
    auto created = X11EditorWindow::Create(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(parent)), graphics);
    if (!created)
    {
      owner.ReleaseEditor(*this);
      runLoop = nullptr;
      return kResultFalse;
    }
    window = created.get();
    systemWindow = parent;
    editor.setHostContextMenuHandler(
        [this](int paramIdx, float x, float y) { return popupHostContextMenu(paramIdx, x, y); });
    // The layout may ask for the configured size here: the request waits
    // for the first frame, when the host is done attaching.
    editor.OpenWindow(std::move(created));

    // Some hosts never call back for the descriptor, and some refuse one
    // they watch already: the frame timer drains the events either way.
    events.Start(runLoop, window->FileDescriptor(), [this] { onEvents(); });
    if (!frameTimer.Start(runLoop, kFrameIntervalMs, [this] { onFrame(); }))
    {
      // A window that never redraws is worse than none.
      close();
      systemWindow = nullptr;
      return kResultFalse;
    }
    owner.SetViewRunLoop(runLoop);
    attachedToParent();
    return kResultOk;
  }
  catch (...)
  {
    close();
    systemWindow = nullptr;
    return kResultFalse;
  }
}

tresult PLUGIN_API IEffectVST3View::removed()
{
  close();
  return CPluginView::removed();
}

void IEffectVST3View::close()
{
  // The descriptor goes with the connection: unregister it first.
  events.Stop();
  frameTimer.Stop();
  sizes.CancelHostResize();
  if (window)
  {
    window = nullptr;
    owner.Editor().setHostContextMenuHandler(nullptr);
    owner.Editor().CloseWindow();
  }
  owner.ReleaseEditor(*this);
  if (runLoop)
  {
    if (!owner.GetOpenView())
      owner.SetViewRunLoop(nullptr);
    runLoop = nullptr;
  }
}

tresult PLUGIN_API IEffectVST3View::getSize(ViewRect* size)
{
  if (!size)
    return kInvalidArgument;
  if (!owner.HasEditor())
    return kResultFalse;
  int width = 0;
  int height = 0;
  sizes.CurrentPixelSize(owner.Editor(), window, width, height);
  *size = ViewRect(0, 0, width, height);
  // Before a window exists, the host sizes its own after this answer.
  if (!openGraphics())
    rect = *size;
  return kResultOk;
}

tresult PLUGIN_API IEffectVST3View::onSize(ViewRect* newSize)
{
  if (!newSize)
    return kResultOk;
  rect = *newSize;
  hostSized = true;
  if (IEditorGraphics* graphics = openGraphics())
    graphics->OnParentWindowResize(sizes.ToPoints(newSize->getWidth()), sizes.ToPoints(newSize->getHeight()));
  return kResultOk;
}

tresult PLUGIN_API IEffectVST3View::canResize()
{
  return owner.HasEditor() ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API IEffectVST3View::checkSizeConstraint(ViewRect* proposed)
{
  if (!proposed)
    return kInvalidArgument;
  if (!owner.HasEditor())
    return kResultOk;
  int width = sizes.ToPoints(proposed->getWidth());
  int height = sizes.ToPoints(proposed->getHeight());
  if (!owner.Editor().ConstrainEditorResize(width, height))
  {
    proposed->right = proposed->left + sizes.ToPixels(width);
    proposed->bottom = proposed->top + sizes.ToPixels(height);
  }
  return kResultOk;
}

tresult PLUGIN_API IEffectVST3View::onKeyDown(char16 key, int16 keyCode, int16 modifiers)
{
  return handleKey(true, key, keyCode, modifiers);
}

tresult PLUGIN_API IEffectVST3View::onKeyUp(char16 key, int16 keyCode, int16 modifiers)
{
  return handleKey(false, key, keyCode, modifiers);
}

tresult IEffectVST3View::handleKey(bool down, char16 key, int16 keyCode, int16 modifiers)
{
  IEditorGraphics* graphics = openGraphics();
  if (!graphics)
    return kResultFalse;
  IKeyPress press;
  if (owner.GetHost() == kHostReaper)
  {
    // REAPER hands every key to the view first and keeps only those refused:
    // the editor takes the space bar alone, so the host's shortcuts work,
    // and Escape while one of its menus or message boxes is open, so that
    // it can always be closed from the keyboard.
    const bool overlayOpen = graphics->IsShowingPopupMenu() || graphics->IsShowingMessageBox();
    // While a text field is open the user types into it: every key is its.
    if (graphics->IsShowingTextEntry())
      press = KeyTranslation::Translate(key, keyCode, modifiers);
    else if (keyCode == KeyTranslation::kVST3KeyEscape && overlayOpen)
      press = KeyTranslation::Translate(key, keyCode, modifiers);
    else if (keyCode == KeyTranslation::kVST3KeySpace)
      press = KeyTranslation::SpaceKey(modifiers);
    else
      return kResultFalse;
  }
  else
  {
    press = KeyTranslation::Translate(key, keyCode, modifiers);
  }
  const bool handled = down ? graphics->OnKeyDown(window->PointerX(), window->PointerY(), press)
                            : graphics->OnKeyUp(window->PointerX(), window->PointerY(), press);
  return handled ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API IEffectVST3View::setContentScaleFactor(ScaleFactor factor)
{
  if (!sizes.SetScale(factor))
    return kResultFalse;
  if (IEditorGraphics* graphics = openGraphics())
    sizes.ApplyScale(*graphics, *window);
  return kResultOk;
}

// --- Resizing and the run loop ----------------------------------------------------------------

void IEffectVST3View::RequestHostResize(int width, int height)
{
  sizes.RequestHostResize(width, height);
}

void IEffectVST3View::issueResize(int width, int height)
{
  if (width == rect.getWidth() && height == rect.getHeight())
    return;
  ViewRect wanted(0, 0, width, height);
  if (!plugFrame || !isAttached())
  {
    rect = wanted;
    return;
  }
  hostSized = false;
  const tresult result = plugFrame->resizeView(this, &wanted);
  // A host that answered with onSize has set the size it chose; one that
  // will resize later has accepted ours.
  if (result == kResultTrue && !hostSized)
    rect = wanted;
}

bool IEffectVST3View::popupHostContextMenu(int paramIdx, float x, float y)
{
  FUnknownPtr<Vst::IComponentHandler3> handler(owner.getComponentHandler());
  if (!handler || inHostMenu)
    return false;
  const Vst::ParamID id = static_cast<Vst::ParamID>(paramIdx);
  IPtr<Vst::IContextMenu> menu = owned(handler->createContextMenu(this, &id));
  if (!menu)
    return false;
  Vst::IContextMenuItem enterValue{};
  TextConversion::ToUTF16("Enter Value\xE2\x80\xA6", enterValue.name, 128);
  enterValue.tag = 1;
  IPtr<MenuItemTarget> target = owned(new MenuItemTarget([this, paramIdx] {
    // The host may run the item after its menu closed: only an open editor
    // takes it.
    if (openGraphics())
      owner.Editor().PromptForParameterValue(paramIdx);
  }));
  addItemOnTop(*menu, enterValue, target);
  inHostMenu = true;
  const float scale = sizes.Scale();
  menu->popup(static_cast<UCoord>(std::lround(x * scale)), static_cast<UCoord>(std::lround(y * scale)));
  inHostMenu = false;
  return true;
}

void IEffectVST3View::onFrame()
{
  // Called after removed by a host that still held the timer: nothing open.
  // While the host's menu runs a loop of its own, the editor is in the
  // middle of a mouse event and takes no other.
  if (!window || inHostMenu)
    return;
  // The host may drop its last reference while it answers.
  IPtr<IEffectVST3View> keepAlive(this);
  int width = 0;
  int height = 0;
  if (sizes.TakeHostResize(width, height))
    issueResize(width, height);
  if (!window)
    return;
  window->ProcessEvents();
  if (window)
    owner.Editor().OnFrame();
}

void IEffectVST3View::onEvents()
{
  if (!window || inHostMenu)
    return;
  IPtr<IEffectVST3View> keepAlive(this);
  window->ProcessEvents();
}
