#pragma once
#include <cstdint>

#include "clap/ClapExtensions.h"
#include "toolkit/EditorViewSizes.h"

class ClapEffect;
class IEditorGraphics;
class X11EditorWindow;

// The gui extension: the effect's editor embedded in a host's X11 window,
// redrawn 60 times a second from the host's timer and fed with X events
// from its descriptor watch where the host offers one (or on every frame).
//
// Sizes towards the host are pixels: the editor's window size in points
// times the scale the host set (1 unless it set another). The editor's own
// size changes (size menu, corner) reach the host as resize requests at the
// next frame, never from inside a host call or an editor event; a host that
// refuses one keeps its size, and the editor follows it back.
//
// Keys come from X: CLAP hosts do not pass them on, and the window takes
// the focus itself while the editor has a text field or menu open.
//
// All calls come on the host's main thread.
class ClapEditorView
{
public:
  // Interval of the redraw timer: 60 frames per second.
  static constexpr uint32_t kFrameIntervalMs = 16;

  explicit ClapEditorView(ClapEffect& owner);
  ~ClapEditorView();
  ClapEditorView(const ClapEditorView&) = delete;
  ClapEditorView& operator=(const ClapEditorView&) = delete;

  // The extension table the plug-in hands out.
  static const clap_plugin_gui_t* Extension();

  bool IsApiSupported(const char* api, bool floating);
  bool Create(const char* api, bool floating);
  void Destroy();
  bool SetScale(double scale);
  bool GetSize(uint32_t& width, uint32_t& height);
  bool CanResize();
  bool GetResizeHints(clap_gui_resize_hints_t& hints);
  bool AdjustSize(uint32_t& width, uint32_t& height);
  bool SetSize(uint32_t width, uint32_t height);
  bool SetParent(const clap_window_t& parent);
  bool Show();
  bool Hide();

  // The editor chose a window size of its own (points); the host is asked
  // to follow at the next frame.
  void RequestHostResize(int width, int height);

  // The host's timer and descriptor callbacks; others' ids are ignored.
  void OnTimer(clap_id timerId);
  void OnFd(int fd, uint32_t flags);

  bool IsOpen() const { return window != nullptr; }

private:
  void close();
  void onFrame();
  // Asks the host for a size (pixels) the editor chose.
  void issueResize(int width, int height);
  IEditorGraphics* openGraphics() const;

  ClapEffect& owner;
  bool created = false;
  X11EditorWindow* window = nullptr;  // owned by the editor's graphics
  clap_id frameTimer = CLAP_INVALID_ID;
  int watchedFd = -1;
  EditorViewSizes sizes;
  int hostWidth = 0;     // the size the host last set or accepted (pixels)
  int hostHeight = 0;
  bool hostSized = false;  // set_size arrived during our own resize request
};
