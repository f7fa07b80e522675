#pragma once
// The X11 side of a test host: an X server of the test's own (Xvfb), a
// top-level window that stands in for the host's window, reading back its
// pixels, and pointer input through the XTest extension.
#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace host
{
// One Xvfb per test process, started on first use on a free display and
// stopped at exit; DISPLAY names it from then on.
class VirtualDisplay
{
public:
  // Null when no X server can be started here; Error() says why.
  static VirtualDisplay* Shared();
  static const std::string& Error();
  const std::string& Name() const { return name; }

  ~VirtualDisplay();

private:
  VirtualDisplay() = default;
  bool start(std::string& error);

  std::string name;
  int pid = -1;
};

// Pixels read back from the screen, as 0xRRGGBB.
struct Image
{
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;

  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  int distinctColours() const;
  // Writes the pixels as a PNG file.
  bool writePNG(const std::string& path) const;
};

// The host's window: a top-level window on a connection of the test's own,
// with room around it on the screen for the pointer to leave it.
class HostWindow
{
public:
  HostWindow(int width, int height, int x = 300, int y = 300);
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  bool ok() const { return window != 0; }
  uint32_t id() const { return window; }
  void* parentHandle() const { return reinterpret_cast<void*>(static_cast<uintptr_t>(window)); }
  void resize(int width, int height);

  // The windows a plug-in put into ours, and their sizes.
  std::vector<uint32_t> children();
  bool geometry(uint32_t child, int& width, int& height);
  // A window's WM_NORMAL_HINTS sizes; false where it has none. A size the
  // hints leave out reads 0 x 0.
  struct SizeHints
  {
    int programWidth = 0, programHeight = 0;
    int minWidth = 0, minHeight = 0;
    int maxWidth = 0, maxHeight = 0;
    int baseWidth = 0, baseHeight = 0;
  };
  bool sizeHints(uint32_t child, SizeHints& hints);
  // The pixels of an area of the window, children included.
  Image grab(int x, int y, int width, int height);

  // Pointer input at window coordinates (outside it too), as a user would
  // give it.
  void moveTo(int x, int y);
  void press(int button);
  void release(int button);
  // A click and a drag with time between the events, as a hand gives them:
  // `pump` runs the host for so many milliseconds. The drag holds the left
  // button and moves in `steps` even steps.
  void click(int x, int y, int button, const std::function<void(int)>& pump);
  void drag(int x0, int y0, int x1, int y1, int steps, const std::function<void(int)>& pump);
  // A key stroke as a user's keyboard gives it: the key that carries the
  // key symbol (X11 keysym), with Shift held when it is on the second
  // level. False when no key carries it.
  bool typeKey(uint32_t keysym);
  // Types ASCII text key by key.
  bool typeText(const char* text);
  // Holds text on the CLIPBOARD selection, as an editor does after a copy;
  // serveClipboard answers the requests for it that have arrived.
  void offerClipboard(const std::string& text);
  void serveClipboard();
  // The window that has the keyboard's input focus (0 for none, 1 for the
  // window under the pointer).
  uint32_t inputFocus();
  // Waits until the server has handled everything sent so far.
  void sync();

private:
  xcb_connection_t* connection = nullptr;
  xcb_window_t window = 0;
  xcb_window_t root = 0;
  int originX = 0;
  int originY = 0;
  std::string clipboard;
};

// A key stroke through XTest, to whatever has the focus: the key that
// carries the key symbol, with Shift held when it is on the second level,
// and the key of `heldKeysym` (a modifier such as Control_L) held too.
bool typeKeyThroughXTest(xcb_connection_t* connection, uint32_t keysym, uint32_t heldKeysym = 0);

// The whole screen as a user meets it, for hosts that make their own
// windows: windows found by name or size, and the pointer and the keys
// through XTest to wherever the window manager and the hosts put the focus.
class Desktop
{
public:
  Desktop();
  ~Desktop();
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  bool ok() const { return connection != nullptr; }
  // Starts Openbox on the shared virtual display, once per process, so that
  // clicks focus windows as they do on users' desktops; false (and why)
  // where it is not installed or does not start.
  static bool StartWindowManager(std::string& error);

  // The first window (depth first from the root) whose title holds `text`.
  uint32_t findWindow(const std::string& text);
  // The first window of this size that speaks XEmbed (an embedded editor).
  uint32_t findEmbedded(int width, int height);
  bool rootPosition(uint32_t window, int& x, int& y);
  Image grab(uint32_t window);
  void click(int rootX, int rootY, int button = 1);
  bool typeKey(uint32_t keysym, uint32_t heldKeysym = 0);
  // Types ASCII text key by key, at a person's pace.
  bool typeText(const char* text);
  uint32_t inputFocus();
  void sync();

private:
  uint32_t search(uint32_t from, const std::string& text, int width, int height, int depth);
  std::string title(uint32_t window);

  xcb_connection_t* connection = nullptr;
  xcb_window_t root = 0;
};

// The middle of the rows painted wholly in `colour` (a highlighted menu
// item), in the image's pixels; false where no row is.
bool findHighlight(const Image& image, uint32_t colour, int& x, int& y);
} // namespace host
