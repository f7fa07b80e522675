#include "clap/ClapEditorView.h"

#include <algorithm>
#include <cstring>

#include "clap/ClapEffect.h"
#include "toolkit/EditorViewSizes.h"
#include "toolkit/IEffectEditor.h"
#include "toolkit/X11EditorWindow.h"

namespace
{
// Sizes a host may propose; beyond them a size is not a window's.
constexpr uint32_t kMaxPixels = 1u << 15;

ClapEditorView* viewOf(const clap_plugin_t* plugin)
{
  ClapEffect* effect = ClapEffect::From(plugin);
  return effect ? &effect->View() : nullptr;
}

bool CLAP_ABI guiIsApiSupported(const clap_plugin_t* p, const char* api, bool floating)
{
  ClapEditorView* v = viewOf(p);
  return v && v->IsApiSupported(api, floating);
}

bool CLAP_ABI guiGetPreferredApi(const clap_plugin_t* p, const char** api, bool* floating)
{
  if (!viewOf(p) || !api || !floating)
    return false;
  *api = CLAP_WINDOW_API_X11;
  *floating = false;
  return true;
}

bool CLAP_ABI guiCreate(const clap_plugin_t* p, const char* api, bool floating)
{
  ClapEditorView* v = viewOf(p);
  return v && v->Create(api, floating);
}

void CLAP_ABI guiDestroy(const clap_plugin_t* p)
{
  if (ClapEditorView* v = viewOf(p))
    v->Destroy();
}

bool CLAP_ABI guiSetScale(const clap_plugin_t* p, double scale)
{
  ClapEditorView* v = viewOf(p);
  return v && v->SetScale(scale);
}

bool CLAP_ABI guiGetSize(const clap_plugin_t* p, uint32_t* width, uint32_t* height)
{
  ClapEditorView* v = viewOf(p);
  return v && width && height && v->GetSize(*width, *height);
}

bool CLAP_ABI guiCanResize(const clap_plugin_t* p)
{
  ClapEditorView* v = viewOf(p);
  return v && v->CanResize();
}

bool CLAP_ABI guiGetResizeHints(const clap_plugin_t* p, clap_gui_resize_hints_t* hints)
{
  ClapEditorView* v = viewOf(p);
  return v && hints && v->GetResizeHints(*hints);
}

bool CLAP_ABI guiAdjustSize(const clap_plugin_t* p, uint32_t* width, uint32_t* height)
{
  ClapEditorView* v = viewOf(p);
  return v && width && height && v->AdjustSize(*width, *height);
}

bool CLAP_ABI guiSetSize(const clap_plugin_t* p, uint32_t width, uint32_t height)
{
  ClapEditorView* v = viewOf(p);
  return v && v->SetSize(width, height);
}

bool CLAP_ABI guiSetParent(const clap_plugin_t* p, const clap_window_t* window)
{
  ClapEditorView* v = viewOf(p);
  return v && window && v->SetParent(*window);
}

bool CLAP_ABI guiSetTransient(const clap_plugin_t*, const clap_window_t*)
{
  // Only embedded windows: there is nothing to float above another.
  return false;
}

void CLAP_ABI guiSuggestTitle(const clap_plugin_t*, const char*) {}

bool CLAP_ABI guiShow(const clap_plugin_t* p)
{
  ClapEditorView* v = viewOf(p);
  return v && v->Show();
}

bool CLAP_ABI guiHide(const clap_plugin_t* p)
{
  ClapEditorView* v = viewOf(p);
  return v && v->Hide();
}

const clap_plugin_gui_t kGui = {guiIsApiSupported, guiGetPreferredApi, guiCreate,       guiDestroy,
                                guiSetScale,       guiGetSize,         guiCanResize,    guiGetResizeHints,
                                guiAdjustSize,     guiSetSize,         guiSetParent,    guiSetTransient,
                                guiSuggestTitle,   guiShow,            guiHide};

bool isX11(const char* api)
{
  return api && std::strcmp(api, CLAP_WINDOW_API_X11) == 0;
}
} // namespace

ClapEditorView::ClapEditorView(ClapEffect& effect) : owner(effect) {}

ClapEditorView::~ClapEditorView()
{
  close();
}

const clap_plugin_gui_t* ClapEditorView::Extension()
{
  return &kGui;
}

// --- Sizes ---------------------------------------------------------------------------

IEditorGraphics* ClapEditorView::openGraphics() const
{
  return window ? EditorViewSizes::OpenGraphics(owner.Editor(), window) : nullptr;
}

// --- The extension ---------------------------------------------------------------------

bool ClapEditorView::IsApiSupported(const char* api, bool floating)
{
  return isX11(api) && !floating && owner.HasEditor();
}

bool ClapEditorView::Create(const char* api, bool floating)
{
  if (created || !IsApiSupported(api, floating))
    return false;
  // Without the host's timer or descriptor watch nothing would ever redraw
  // or answer the mouse.
  if (!owner.HostTimers() && !owner.HostFds())
    return false;
  created = true;
  return true;
}

void ClapEditorView::Destroy()
{
  close();
  created = false;
}

bool ClapEditorView::SetScale(double scale)
{
  if (!sizes.SetScale(scale))
    return false;
  if (IEditorGraphics* graphics = openGraphics())
    sizes.ApplyScale(*graphics, *window);
  return true;
}

bool ClapEditorView::GetSize(uint32_t& width, uint32_t& height)
{
  if (!created)
    return false;
  int w = 0;
  int h = 0;
  sizes.CurrentPixelSize(owner.Editor(), window, w, h);
  width = static_cast<uint32_t>(w);
  height = static_cast<uint32_t>(h);
  return true;
}

bool ClapEditorView::CanResize()
{
  return owner.HasEditor();
}

bool ClapEditorView::GetResizeHints(clap_gui_resize_hints_t& hints)
{
  if (!owner.HasEditor())
    return false;
  // Any width and height inside the editor's limits: it scales to fit the
  // host's window and fills what is left with its background.
  hints = clap_gui_resize_hints_t{};
  hints.can_resize_horizontally = true;
  hints.can_resize_vertically = true;
  hints.preserve_aspect_ratio = false;
  return true;
}

bool ClapEditorView::AdjustSize(uint32_t& width, uint32_t& height)
{
  if (!owner.HasEditor())
    return false;
  int w = sizes.ToPoints(static_cast<int>(std::min(width, kMaxPixels)));
  int h = sizes.ToPoints(static_cast<int>(std::min(height, kMaxPixels)));
  owner.Editor().ConstrainEditorResize(w, h);
  width = static_cast<uint32_t>(sizes.ToPixels(w));
  height = static_cast<uint32_t>(sizes.ToPixels(h));
  return true;
}

bool ClapEditorView::SetSize(uint32_t width, uint32_t height)
{
  if (!created || width == 0 || height == 0 || width > kMaxPixels || height > kMaxPixels)
    return false;
  hostWidth = static_cast<int>(width);
  hostHeight = static_cast<int>(height);
  hostSized = true;
  if (IEditorGraphics* graphics = openGraphics())
    graphics->OnParentWindowResize(sizes.ToPoints(hostWidth), sizes.ToPoints(hostHeight));
  return true;
}

bool ClapEditorView::SetParent(const clap_window_t& parent)
{
  if (!created || window || !isX11(parent.api) || parent.x11 == 0)
    return false;
  try
  {
    IEffectEditor& editor = owner.Editor();
    IEditorGraphics& graphics = editor.EnsureGraphics();
    graphics.SetScreenScale(sizes.Scale());
    auto made = X11EditorWindow::Create(static_cast<uint32_t>(parent.x11), graphics);
    if (!made)
      return false;
    window = made.get();
    // CLAP 1.1 has no host context menu: the editor's own menus serve.
    editor.setHostContextMenuHandler(nullptr);
    // The layout may ask for the configured size here: the request waits
    // for the first frame, when the host is done attaching.
    editor.OpenWindow(std::move(made));
    sizes.CurrentPixelSize(editor, window, hostWidth, hostHeight);

    const clap_host_t* host = owner.Host();
    if (const clap_host_timer_support_t* timers = owner.HostTimers())
    {
      clap_id id = CLAP_INVALID_ID;
      if (timers->register_timer(host, kFrameIntervalMs, &id))
        frameTimer = id;
    }
    if (const clap_host_posix_fd_support_t* fds = owner.HostFds())
    {
      const int fd = window->FileDescriptor();
      if (fd >= 0 && fds->register_fd(host, fd, CLAP_POSIX_FD_READ))
        watchedFd = fd;
    }
    // A window that never redraws is worse than none.
    if (frameTimer == CLAP_INVALID_ID && watchedFd < 0)
    {
      close();
      return false;
    }
    return true;
  }
  catch (...)
  {
    close();
    return false;
  }
}

bool ClapEditorView::Show()
{
  return created;
}

bool ClapEditorView::Hide()
{
  return created;
}

void ClapEditorView::close()
{
  const clap_host_t* host = owner.Host();
  // The descriptor goes with the connection: unregister it first.
  if (watchedFd >= 0)
  {
    if (const clap_host_posix_fd_support_t* fds = owner.HostFds())
      fds->unregister_fd(host, watchedFd);
    watchedFd = -1;
  }
  if (frameTimer != CLAP_INVALID_ID)
  {
    if (const clap_host_timer_support_t* timers = owner.HostTimers())
      timers->unregister_timer(host, frameTimer);
    frameTimer = CLAP_INVALID_ID;
  }
  sizes.CancelHostResize();
  if (window)
  {
    window = nullptr;
    owner.Editor().setHostContextMenuHandler(nullptr);
    owner.Editor().CloseWindow();
  }
}

// --- Resizing and the frame ---------------------------------------------------------------

void ClapEditorView::RequestHostResize(int width, int height)
{
  sizes.RequestHostResize(width, height);
}

void ClapEditorView::issueResize(int width, int height)
{
  if (width == hostWidth && height == hostHeight)
    return;
  const clap_host_gui_t* gui = owner.HostGui();
  if (!gui)
  {
    hostWidth = width;
    hostHeight = height;
    return;
  }
  hostSized = false;
  if (gui->request_resize(owner.Host(), static_cast<uint32_t>(width), static_cast<uint32_t>(height)))
  {
    // A host that answered with set_size has set the size it chose; one
    // that will resize later has accepted ours.
    if (!hostSized)
    {
      hostWidth = width;
      hostHeight = height;
    }
    return;
  }
  // Refused: the host's window keeps its size, and the editor with it.
  if (IEditorGraphics* graphics = openGraphics())
    graphics->OnParentWindowResize(sizes.ToPoints(hostWidth), sizes.ToPoints(hostHeight));
  // The editor following the host back asks for nothing more.
  sizes.CancelHostResize();
}

void ClapEditorView::OnTimer(clap_id timerId)
{
  if (timerId != CLAP_INVALID_ID && timerId == frameTimer)
    onFrame();
}

void ClapEditorView::OnFd(int fd, uint32_t)
{
  if (!window || fd != watchedFd)
    return;
  window->ProcessEvents();
  // Without the host's timer the events are the only frames there are.
  if (window && frameTimer == CLAP_INVALID_ID)
    onFrame();
}

void ClapEditorView::onFrame()
{
  if (!window)
    return;
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
