#include "vst3/support/X11TestHost.h"

#include <cairo.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>

namespace host
{
namespace
{
std::string& lastError()
{
  static std::string error;
  return error;
}

bool executableInPath(const char* name)
{
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= folders.size())
  {
    const size_t end = std::min(folders.find(':', start), folders.size());
    const std::string candidate = folders.substr(start, end - start) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0)
      return true;
    start = end + 1;
  }
  return false;
}
} // namespace

// --- VirtualDisplay -------------------------------------------------------------

VirtualDisplay* VirtualDisplay::Shared()
{
  static std::unique_ptr<VirtualDisplay> display = [] {
    std::unique_ptr<VirtualDisplay> started(new VirtualDisplay);
    if (!started->start(lastError()))
      started.reset();
    return started;
  }();
  return display.get();
}

const std::string& VirtualDisplay::Error()
{
  return lastError();
}

bool VirtualDisplay::start(std::string& error)
{
  if (!executableInPath("Xvfb"))
  {
    error = "Xvfb is not installed (Debian package xvfb)";
    return false;
  }
  int fds[2];
  if (pipe(fds) != 0)
  {
    error = "no pipe";
    return false;
  }
  const pid_t child = fork();
  if (child < 0)
  {
    close(fds[0]);
    close(fds[1]);
    error = "cannot fork";
    return false;
  }
  if (child == 0)
  {
    // The server goes when the test does, however the test ends.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    close(fds[0]);
    const int devnull = open("/dev/null", O_RDWR);
    if (devnull >= 0)
    {
      dup2(devnull, STDIN_FILENO);
      dup2(devnull, STDOUT_FILENO);
      dup2(devnull, STDERR_FILENO);
    }
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "2400x1200x24", "-nolisten", "tcp", "-noreset",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  pid = child;

  // Xvfb writes the display number it chose once it accepts connections.
  std::string number;
  pollfd readable{fds[0], POLLIN, 0};
  while (poll(&readable, 1, 20000) > 0)
  {
    char c;
    if (read(fds[0], &c, 1) != 1 || c == '\n')
      break;
    number += c;
  }
  close(fds[0]);
  if (number.empty())
  {
    error = "Xvfb did not start";
    return false;
  }
  name = ":" + number;
  setenv("DISPLAY", name.c_str(), 1);
  return true;
}

VirtualDisplay::~VirtualDisplay()
{
  if (pid > 0)
  {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
  }
}

// --- Image -------------------------------------------------------------------------

int Image::distinctColours() const
{
  return static_cast<int>(std::set<uint32_t>(pixels.begin(), pixels.end()).size());
}

bool Image::writePNG(const std::string& path) const
{
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < height; ++y)
    std::memcpy(data + static_cast<size_t>(y) * stride, &pixels[static_cast<size_t>(y) * width],
                static_cast<size_t>(width) * 4);
  cairo_surface_mark_dirty(surface);
  const bool written = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  return written;
}

namespace
{
// Depth 24 in 32-bit little-endian pixels, as Xvfb keeps them.
Image grabArea(xcb_connection_t* connection, xcb_window_t window, int x, int y, int width, int height)
{
  Image image;
  xcb_get_image_reply_t* reply = xcb_get_image_reply(
      connection,
      xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, static_cast<int16_t>(x), static_cast<int16_t>(y),
                    static_cast<uint16_t>(width), static_cast<uint16_t>(height), ~0u),
      nullptr);
  if (!reply)
    return image;
  const auto* data = reinterpret_cast<const uint32_t*>(xcb_get_image_data(reply));
  const int stride = xcb_get_image_data_length(reply) / 4 / std::max(1, height);
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<size_t>(width) * height);
  for (int row = 0; row < height; ++row)
    for (int col = 0; col < width; ++col)
      image.pixels[static_cast<size_t>(row) * width + col] = data[static_cast<size_t>(row) * stride + col] & 0xFFFFFF;
  std::free(reply);
  return image;
}

void fakePointer(xcb_connection_t* connection, uint8_t type, int button, xcb_window_t root = XCB_NONE, int rootX = 0,
                 int rootY = 0)
{
  xcb_test_fake_input(connection, type, static_cast<uint8_t>(button), XCB_CURRENT_TIME, root,
                      static_cast<int16_t>(rootX), static_cast<int16_t>(rootY), 0);
}

uint32_t inputFocusOf(xcb_connection_t* connection)
{
  xcb_get_input_focus_reply_t* reply = xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr);
  const uint32_t focus = reply ? reply->focus : 0;
  std::free(reply);
  return focus;
}

// A round trip: the server has handled all that was sent before it.
void roundTrip(xcb_connection_t* connection)
{
  std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}
} // namespace

bool typeKeyThroughXTest(xcb_connection_t* connection, uint32_t keysym, uint32_t heldKeysym)
{
  const xcb_setup_t* setup = xcb_get_setup(connection);
  const uint8_t first = setup->min_keycode;
  const uint8_t count = static_cast<uint8_t>(setup->max_keycode - setup->min_keycode + 1);
  xcb_get_keyboard_mapping_reply_t* map =
      xcb_get_keyboard_mapping_reply(connection, xcb_get_keyboard_mapping(connection, first, count), nullptr);
  if (!map)
    return false;
  const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(map);
  const int perKey = map->keysyms_per_keycode;
  int keycode = -1;
  bool shift = false;
  for (int k = 0; k < count && keycode < 0; ++k)
    for (int level = 0; level < 2 && level < perKey; ++level)
      if (symbols[k * perKey + level] == keysym)
      {
        keycode = first + k;
        shift = level == 1;
        break;
      }
  // The left Shift key: the one whose first symbol is Shift_L.
  int shiftKey = -1;
  int heldKey = -1;
  for (int k = 0; k < count; ++k)
  {
    if (symbols[k * perKey] == 0xFFE1 && shiftKey < 0)
      shiftKey = first + k;
    if (heldKeysym && symbols[k * perKey] == heldKeysym && heldKey < 0)
      heldKey = first + k;
  }
  std::free(map);
  if (keycode < 0 || (shift && shiftKey < 0) || (heldKeysym && heldKey < 0))
    return false;
  if (heldKey >= 0)
    xcb_test_fake_input(connection, XCB_KEY_PRESS, static_cast<uint8_t>(heldKey), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  if (shift)
    xcb_test_fake_input(connection, XCB_KEY_PRESS, static_cast<uint8_t>(shiftKey), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  xcb_test_fake_input(connection, XCB_KEY_PRESS, static_cast<uint8_t>(keycode), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  xcb_test_fake_input(connection, XCB_KEY_RELEASE, static_cast<uint8_t>(keycode), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  if (shift)
    xcb_test_fake_input(connection, XCB_KEY_RELEASE, static_cast<uint8_t>(shiftKey), XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                        0);
  if (heldKey >= 0)
    xcb_test_fake_input(connection, XCB_KEY_RELEASE, static_cast<uint8_t>(heldKey), XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                        0);
  return true;
}

// --- HostWindow ----------------------------------------------------------------------

HostWindow::HostWindow(int width, int height, int x, int y) : originX(x), originY(y)
{
  connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection))
    return;
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  root = screen->root;
  window = xcb_generate_id(connection);
  // A grey of its own, so the plug-in's pixels are told from the host's.
  const uint32_t values[] = {0x404040, 1};
  xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, root, static_cast<int16_t>(x), static_cast<int16_t>(y),
                    static_cast<uint16_t>(width),
                    static_cast<uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                    XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
  xcb_map_window(connection, window);
  sync();
}

HostWindow::~HostWindow()
{
  if (window)
    xcb_destroy_window(connection, window);
  if (connection)
  {
    xcb_flush(connection);
    xcb_disconnect(connection);
  }
}

void HostWindow::resize(int width, int height)
{
  const uint32_t values[] = {static_cast<uint32_t>(width), static_cast<uint32_t>(height)};
  xcb_configure_window(connection, window, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
  sync();
}

std::vector<uint32_t> HostWindow::children()
{
  std::vector<uint32_t> found;
  xcb_query_tree_reply_t* tree = xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr);
  if (!tree)
    return found;
  const xcb_window_t* list = xcb_query_tree_children(tree);
  found.assign(list, list + xcb_query_tree_children_length(tree));
  std::free(tree);
  return found;
}

bool HostWindow::geometry(uint32_t child, int& width, int& height)
{
  xcb_get_geometry_reply_t* reply = xcb_get_geometry_reply(connection, xcb_get_geometry(connection, child), nullptr);
  if (!reply)
    return false;
  width = reply->width;
  height = reply->height;
  std::free(reply);
  return true;
}

bool HostWindow::sizeHints(uint32_t child, SizeHints& sizes)
{
  xcb_get_property_reply_t* reply = xcb_get_property_reply(
      connection, xcb_get_property(connection, 0, child, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 0, 18),
      nullptr);
  if (!reply)
    return false;
  const bool complete = reply->format == 32 && xcb_get_property_value_length(reply) >= 18 * 4;
  uint32_t hints[18] = {};
  if (complete)
    std::memcpy(hints, xcb_get_property_value(reply), sizeof hints);
  std::free(reply);
  if (!complete)
    return false;
  constexpr uint32_t kProgramSize = 1u << 3, kMinSize = 1u << 4, kMaxSize = 1u << 5, kBaseSize = 1u << 8;
  auto read = [&hints](uint32_t flag, int first, int& width, int& height) {
    const bool set = (hints[0] & flag) != 0;
    width = set ? static_cast<int>(hints[first]) : 0;
    height = set ? static_cast<int>(hints[first + 1]) : 0;
  };
  read(kProgramSize, 3, sizes.programWidth, sizes.programHeight);
  read(kMinSize, 5, sizes.minWidth, sizes.minHeight);
  read(kMaxSize, 7, sizes.maxWidth, sizes.maxHeight);
  read(kBaseSize, 15, sizes.baseWidth, sizes.baseHeight);
  return true;
}

Image HostWindow::grab(int x, int y, int width, int height)
{
  return grabArea(connection, window, x, y, width, height);
}

void HostWindow::moveTo(int x, int y)
{
  // No window manager moves it: the window lies where it was created.
  fakePointer(connection, XCB_MOTION_NOTIFY, 0, root, originX + x, originY + y);
  sync();
}

void HostWindow::press(int button)
{
  fakePointer(connection, XCB_BUTTON_PRESS, button);
  sync();
}

void HostWindow::release(int button)
{
  fakePointer(connection, XCB_BUTTON_RELEASE, button);
  sync();
}

void HostWindow::click(int x, int y, int button, const std::function<void(int)>& pump)
{
  moveTo(x, y);
  pump(40);
  press(button);
  pump(40);
  release(button);
  pump(80);
}

void HostWindow::drag(int x0, int y0, int x1, int y1, int steps, const std::function<void(int)>& pump)
{
  moveTo(x0, y0);
  pump(40);
  press(1);
  pump(40);
  for (int i = 1; i <= steps; ++i)
  {
    moveTo(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps);
    pump(20);
  }
  release(1);
  pump(80);
}

bool HostWindow::typeKey(uint32_t keysym)
{
  if (!typeKeyThroughXTest(connection, keysym))
    return false;
  sync();
  return true;
}

bool HostWindow::typeText(const char* text)
{
  for (const char* p = text; p && *p; ++p)
    if (!typeKey(static_cast<unsigned char>(*p)))
      return false;
  return true;
}

namespace
{
xcb_atom_t atomNamed(xcb_connection_t* connection, const char* name)
{
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
  std::free(reply);
  return atom;
}
} // namespace

void HostWindow::offerClipboard(const std::string& text)
{
  clipboard = text;
  xcb_set_selection_owner(connection, window, atomNamed(connection, "CLIPBOARD"), XCB_CURRENT_TIME);
  sync();
}

void HostWindow::serveClipboard()
{
  const xcb_atom_t utf8 = atomNamed(connection, "UTF8_STRING");
  while (xcb_generic_event_t* event = xcb_poll_for_event(connection))
  {
    if ((event->response_type & 0x7F) == XCB_SELECTION_REQUEST)
    {
      const auto& request = *reinterpret_cast<const xcb_selection_request_event_t*>(event);
      xcb_selection_notify_event_t answer{};
      answer.response_type = XCB_SELECTION_NOTIFY;
      answer.time = request.time;
      answer.requestor = request.requestor;
      answer.selection = request.selection;
      answer.target = request.target;
      answer.property = XCB_ATOM_NONE;
      if (request.target == utf8 && request.property != XCB_ATOM_NONE)
      {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, request.property, utf8, 8,
                            static_cast<uint32_t>(clipboard.size()), clipboard.data());
        answer.property = request.property;
      }
      xcb_send_event(connection, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&answer));
    }
    std::free(event);
  }
  xcb_flush(connection);
}

uint32_t HostWindow::inputFocus()
{
  return inputFocusOf(connection);
}

void HostWindow::sync()
{
  roundTrip(connection);
}
// --- Desktop -----------------------------------------------------------------------

namespace
{
pid_t windowManager = -1;

void stopWindowManager()
{
  if (windowManager > 0)
  {
    kill(windowManager, SIGTERM);
    waitpid(windowManager, nullptr, 0);
    windowManager = -1;
  }
}

bool windowManagerRunning(xcb_connection_t* connection, xcb_window_t root)
{
  const xcb_atom_t check = atomNamed(connection, "_NET_SUPPORTING_WM_CHECK");
  xcb_get_property_reply_t* reply =
      xcb_get_property_reply(connection, xcb_get_property(connection, 0, root, check, XCB_ATOM_WINDOW, 0, 1), nullptr);
  const bool running = reply && xcb_get_property_value_length(reply) == 4;
  std::free(reply);
  return running;
}
} // namespace

Desktop::Desktop()
{
  connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection))
  {
    xcb_disconnect(connection);
    connection = nullptr;
    return;
  }
  root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

Desktop::~Desktop()
{
  if (connection)
    xcb_disconnect(connection);
}

bool Desktop::StartWindowManager(std::string& error)
{
  if (windowManager > 0)
    return true;
  if (!VirtualDisplay::Shared())
  {
    error = VirtualDisplay::Error();
    return false;
  }
  if (!executableInPath("openbox"))
  {
    error = "Openbox is not installed (Debian package openbox)";
    return false;
  }
  const pid_t child = fork();
  if (child < 0)
  {
    error = "cannot fork";
    return false;
  }
  if (child == 0)
  {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    const int devnull = open("/dev/null", O_RDWR);
    if (devnull >= 0)
    {
      dup2(devnull, STDIN_FILENO);
      dup2(devnull, STDOUT_FILENO);
      dup2(devnull, STDERR_FILENO);
    }
    execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
    _exit(127);
  }
  windowManager = child;
  std::atexit(stopWindowManager);
  Desktop desktop;
  for (int i = 0; i < 200 && desktop.ok(); ++i)
  {
    if (windowManagerRunning(desktop.connection, desktop.root))
      return true;
    usleep(25000);
  }
  error = "Openbox did not start";
  stopWindowManager();
  return false;
}

std::string Desktop::title(uint32_t window)
{
  std::string text;
  for (xcb_atom_t name : {atomNamed(connection, "_NET_WM_NAME"), static_cast<xcb_atom_t>(XCB_ATOM_WM_NAME)})
  {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0, 256), nullptr);
    if (reply && reply->format == 8)
      text.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                  static_cast<size_t>(xcb_get_property_value_length(reply)));
    std::free(reply);
    if (!text.empty())
      break;
  }
  return text;
}

uint32_t Desktop::search(uint32_t from, const std::string& text, int width, int height, int depth)
{
  if (depth > 32)
    return 0;
  if (!text.empty() && title(from).find(text) != std::string::npos)
    return from;
  if (text.empty())
  {
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(connection, xcb_get_geometry(connection, from), nullptr);
    const bool sized = geometry && geometry->width == width && geometry->height == height;
    std::free(geometry);
    if (sized)
    {
      const xcb_atom_t info = atomNamed(connection, "_XEMBED_INFO");
      xcb_get_property_reply_t* reply =
          xcb_get_property_reply(connection, xcb_get_property(connection, 0, from, info, info, 0, 2), nullptr);
      const bool embedded = reply && xcb_get_property_value_length(reply) > 0;
      std::free(reply);
      if (embedded)
        return from;
    }
  }
  xcb_query_tree_reply_t* tree = xcb_query_tree_reply(connection, xcb_query_tree(connection, from), nullptr);
  if (!tree)
    return 0;
  const xcb_window_t* children = xcb_query_tree_children(tree);
  uint32_t found = 0;
  for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i)
    found = search(children[i], text, width, height, depth + 1);
  std::free(tree);
  return found;
}

uint32_t Desktop::findWindow(const std::string& text)
{
  return text.empty() ? 0 : search(root, text, 0, 0, 0);
}

uint32_t Desktop::findEmbedded(int width, int height)
{
  return search(root, "", width, height, 0);
}

bool Desktop::rootPosition(uint32_t window, int& x, int& y)
{
  xcb_translate_coordinates_reply_t* reply =
      xcb_translate_coordinates_reply(connection, xcb_translate_coordinates(connection, window, root, 0, 0), nullptr);
  if (!reply)
    return false;
  x = reply->dst_x;
  y = reply->dst_y;
  std::free(reply);
  return true;
}

Image Desktop::grab(uint32_t window)
{
  xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr);
  if (!geometry)
    return {};
  const int width = geometry->width;
  const int height = geometry->height;
  std::free(geometry);
  return grabArea(connection, window, 0, 0, width, height);
}

void Desktop::click(int rootX, int rootY, int button)
{
  fakePointer(connection, XCB_MOTION_NOTIFY, 0, root, rootX, rootY);
  sync();
  usleep(50000);
  fakePointer(connection, XCB_BUTTON_PRESS, button);
  sync();
  usleep(50000);
  fakePointer(connection, XCB_BUTTON_RELEASE, button);
  sync();
}

bool Desktop::typeKey(uint32_t keysym, uint32_t heldKeysym)
{
  if (!typeKeyThroughXTest(connection, keysym, heldKeysym))
    return false;
  sync();
  return true;
}

bool Desktop::typeText(const char* text)
{
  for (const char* p = text; p && *p; ++p)
  {
    if (!typeKey(static_cast<unsigned char>(*p)))
      return false;
    // A person's pace: hosts read their keys between frames.
    usleep(20000);
  }
  return true;
}

uint32_t Desktop::inputFocus()
{
  return inputFocusOf(connection);
}

void Desktop::sync()
{
  roundTrip(connection);
}

bool findHighlight(const Image& image, uint32_t colour, int& x, int& y)
{
  // The first band of rows that each hold a long run of the colour: a
  // painted item, not a check mark, a letter or a knob's arc.
  int top = -1, bottom = -1, left = 0, right = 0;
  for (int row = 0; row < image.height; ++row)
  {
    int bestStart = 0, bestLength = 0;
    for (int col = 0; col < image.width;)
    {
      int end = col;
      while (end < image.width && image.at(end, row) == colour)
        ++end;
      if (end - col > bestLength)
      {
        bestStart = col;
        bestLength = end - col;
      }
      col = end + 1;
    }
    if (bestLength >= 60)
    {
      if (top < 0)
      {
        top = row;
        left = bestStart;
        right = bestStart + bestLength - 1;
      }
      bottom = row;
    }
    else if (top >= 0)
      break;
  }
  if (top < 0)
    return false;
  x = (left + right) / 2;
  y = (top + bottom) / 2;
  return true;
}
} // namespace host
