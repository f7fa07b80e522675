#include "toolkit/X11EditorWindow.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "toolkit/IEditorGraphics.h"

namespace
{
// Glyphs of the X cursor font, in ECursor order.
constexpr std::array<uint16_t, 14> kCursorGlyphs = {
    68,  // ARROW: left_ptr
    152, // IBEAM: xterm
    150, // WAIT: watch
    34,  // CROSS: crosshair
    114, // UPARROW: sb_up_arrow
    14,  // SIZENWSE: bottom_right_corner
    12,  // SIZENESW: bottom_left_corner
    108, // SIZEWE: sb_h_double_arrow
    116, // SIZENS: sb_v_double_arrow
    52,  // SIZEALL: fleur
    0,   // INO: X_cursor
    60,  // HAND: hand2
    150, // APPSTARTING: watch
    92,  // HELP: question_arrow
};

// Button numbers of the core protocol.
constexpr uint8_t kLeftButton = 1;
constexpr uint8_t kRightButton = 3;
constexpr uint8_t kWheelUp = 4;
constexpr uint8_t kWheelDown = 5;

// Keys are selected only while the editor wants them: the server hands a
// key to the window under the pointer when that lies inside the focus
// window, so a window selecting keys all the time would take the host's
// shortcuts whenever the pointer rests on the editor.
constexpr uint32_t kEventMask = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_ENTER_WINDOW |
                                XCB_EVENT_MASK_LEAVE_WINDOW | XCB_EVENT_MASK_FOCUS_CHANGE;
constexpr uint32_t kKeyEvents = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE;

// A pasted text longer than this is cut (in 32-bit units of the property).
constexpr uint32_t kMaxPasteWords = 4096;

int lowestBit(uint32_t mask)
{
  int shift = 0;
  while (mask && !(mask & 1u))
  {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

// Scales an 8-bit channel into a mask of any width.
uint32_t placeChannel(uint32_t value8, uint32_t mask)
{
  if (!mask)
    return 0;
  const int shift = lowestBit(mask);
  const uint32_t max = mask >> shift;
  return ((value8 * max + 127) / 255) << shift;
}

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
  std::free(reply);
  return atom;
}
} // namespace

std::unique_ptr<X11EditorWindow> X11EditorWindow::Create(uint32_t parent, IEditorGraphics& graphics)
{
  if (!parent)
    return nullptr;
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (!connection)
    return nullptr;
  if (xcb_connection_has_error(connection))
  {
    xcb_disconnect(connection);
    return nullptr;
  }
  std::unique_ptr<X11EditorWindow> created(new X11EditorWindow(connection, graphics));
  if (!created->open(parent))
    return nullptr;
  return created;
}

X11EditorWindow::X11EditorWindow(xcb_connection_t* xcb, IEditorGraphics& editorGraphics)
  : connection(xcb), graphics(editorGraphics)
{
}

X11EditorWindow::~X11EditorWindow()
{
  if (!connection)
    return;
  if (!broken)
  {
    // A field open when the host closes the editor leaves no keyboard
    // behind: the host's window has it again.
    if (tookFocus)
      giveFocusBack();
    for (xcb_cursor_t c : cursors)
      if (c)
        xcb_free_cursor(connection, c);
    if (hiddenCursor)
      xcb_free_cursor(connection, hiddenCursor);
    if (cursorFont)
      xcb_close_font(connection, cursorFont);
    if (gc)
      xcb_free_gc(connection, gc);
    if (window)
      xcb_destroy_window(connection, window);
    // The server must have the window gone before the host reuses its
    // parent: wait for the round trip.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
  }
  xcb_disconnect(connection);
}

bool X11EditorWindow::open(uint32_t parent)
{
  const xcb_setup_t* setup = xcb_get_setup(connection);

  // The parent must exist on this display; its screen is ours.
  xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(connection, xcb_get_geometry(connection, parent), nullptr);
  if (!geometry)
    return false;
  const xcb_window_t root = geometry->root;
  std::free(geometry);
  const xcb_screen_t* screen = nullptr;
  for (xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup); it.rem; xcb_screen_next(&it))
    if (it.data->root == root)
      screen = it.data;
  if (!screen || !findPixelFormat(*screen))
    return false;

  parentWindow = parent;
  maxRequestBytes = xcb_get_maximum_request_length(connection) * 4u;
  cairo_surface_t* backing = graphics.GetBackingSurface();
  windowWidth = backing ? std::max(1, cairo_image_surface_get_width(backing)) : 1;
  windowHeight = backing ? std::max(1, cairo_image_surface_get_height(backing)) : 1;

  // The screen's own visual, so the pixel format is known whatever depth
  // the host's window has; border and colormap are then required.
  window = xcb_generate_id(connection);
  const uint32_t values[] = {XCB_BACK_PIXMAP_NONE, 0, XCB_GRAVITY_NORTH_WEST, kEventMask, screen->default_colormap};
  xcb_void_cookie_t created = xcb_create_window_checked(
      connection, screen->root_depth, window, parent, 0, 0, static_cast<uint16_t>(windowWidth),
      static_cast<uint16_t>(windowHeight), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
      XCB_CW_BACK_PIXMAP | XCB_CW_BORDER_PIXEL | XCB_CW_BIT_GRAVITY | XCB_CW_EVENT_MASK | XCB_CW_COLORMAP, values);
  if (xcb_generic_error_t* error = xcb_request_check(connection, created))
  {
    std::free(error);
    window = 0;
    return false;
  }

  gc = xcb_generate_id(connection);
  const uint32_t gcValues[] = {0};
  xcb_create_gc(connection, gc, window, XCB_GC_GRAPHICS_EXPOSURES, gcValues);

  setXEmbedInfo();
  setSizeHints();
  internAtoms();
  applyCursor();
  xcb_map_window(connection, window);
  xcb_flush(connection);
  return true;
}

bool X11EditorWindow::findPixelFormat(const xcb_screen_t& screen)
{
  const xcb_setup_t* setup = xcb_get_setup(connection);
  format.depth = screen.root_depth;
  format.lsbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;

  bool found = false;
  for (xcb_format_iterator_t it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it))
    if (it.data->depth == screen.root_depth)
    {
      format.bitsPerPixel = it.data->bits_per_pixel;
      format.scanlinePad = it.data->scanline_pad;
      found = true;
    }
  if (!found)
    return false;

  found = false;
  for (xcb_depth_iterator_t depth = xcb_screen_allowed_depths_iterator(&screen); depth.rem && !found;
       xcb_depth_next(&depth))
    for (xcb_visualtype_iterator_t visual = xcb_depth_visuals_iterator(depth.data); visual.rem; xcb_visualtype_next(&visual))
      if (visual.data->visual_id == screen.root_visual)
      {
        format.redMask = visual.data->red_mask;
        format.greenMask = visual.data->green_mask;
        format.blueMask = visual.data->blue_mask;
        found = visual.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR || visual.data->_class == XCB_VISUAL_CLASS_DIRECT_COLOR;
        break;
      }
  // Colour-mapped screens are not supported; nothing plays audio on them.
  if (!found || (format.bitsPerPixel != 16 && format.bitsPerPixel != 24 && format.bitsPerPixel != 32))
    return false;
  // Cairo's ARGB32 is a native 32-bit word 0xAARRGGBB: on the common
  // servers the backing image's rows can be sent as they are.
  const bool littleEndianHost = [] {
    const uint32_t probe = 1;
    uint8_t first;
    std::memcpy(&first, &probe, 1);
    return first == 1;
  }();
  fastCopy = format.bitsPerPixel == 32 && format.lsbFirst == littleEndianHost && format.redMask == 0xFF0000 &&
             format.greenMask == 0x00FF00 && format.blueMask == 0x0000FF;
  return true;
}

void X11EditorWindow::setXEmbedInfo()
{
  // Version 0, mapped: embedders that speak XEmbed show the window.
  const xcb_atom_t info = internAtom(connection, "_XEMBED_INFO");
  if (info == XCB_ATOM_NONE)
    return;
  const uint32_t data[] = {0, 1};
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, info, info, 32, 2, data);
}

void X11EditorWindow::setSizeHints()
{
  // Embedders size their socket from these hints when they lay out, which
  // may be before any resize request reaches them; every resize renews
  // them. The window shows the editor at one size only, the one it has now:
  // that is its program size and its base (GTK 3 embedders take the base as
  // the size they prefer) and the most it can fill (an embedder with a
  // larger window centres it there instead of stretching it over pixels
  // nobody draws). No minimum: the editor shrinks through its own menu and
  // corner, and an embedder that reads a minimum once (suil's GTK 2
  // wrapper) would hold the window at its first size for good.
  constexpr uint32_t kProgramSize = 1u << 3, kMaxSize = 1u << 5, kBaseSize = 1u << 8;
  const auto w = static_cast<uint32_t>(windowWidth);
  const auto h = static_cast<uint32_t>(windowHeight);
  // flags, x, y, width, height, min, max, increments, aspects, base, gravity
  const uint32_t hints[18] = {kProgramSize | kMaxSize | kBaseSize, 0, 0, w, h, 0, 0, w, h, 0, 0, 0, 0, 0, 0, w, h, 0};
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS,
                      32, 18, hints);
}

int X11EditorWindow::FileDescriptor() const
{
  return connection ? xcb_get_file_descriptor(connection) : -1;
}

bool X11EditorWindow::ProcessEvents()
{
  if (!alive())
    return false;
  while (xcb_generic_event_t* event = xcb_poll_for_event(connection))
  {
    handleEvent(*event);
    std::free(event);
  }
  if (xcb_connection_has_error(connection))
  {
    broken = true;
    return false;
  }
  if (embedderCheckDue && std::chrono::steady_clock::now() >= embedderCheckAt)
    checkEmbedderFollowed();
  xcb_flush(connection);
  return true;
}

void X11EditorWindow::handleEvent(const xcb_generic_event_t& event)
{
  switch (event.response_type & 0x7F)
  {
  case 0:
    // An error of an earlier request, typically the host having destroyed
    // its window before ours: nothing to do about it.
    break;
  case XCB_EXPOSE:
  {
    const auto& expose = reinterpret_cast<const xcb_expose_event_t&>(event);
    putPixels(expose.x, expose.y, expose.width, expose.height);
    break;
  }
  case XCB_BUTTON_PRESS:
    onButtonPress(reinterpret_cast<const xcb_button_press_event_t&>(event));
    break;
  case XCB_BUTTON_RELEASE:
    onButtonRelease(reinterpret_cast<const xcb_button_release_event_t&>(event));
    break;
  case XCB_MOTION_NOTIFY:
    onMotion(reinterpret_cast<const xcb_motion_notify_event_t&>(event));
    break;
  case XCB_ENTER_NOTIFY:
    onEnter(reinterpret_cast<const xcb_enter_notify_event_t&>(event));
    break;
  case XCB_LEAVE_NOTIFY:
    onLeave(reinterpret_cast<const xcb_leave_notify_event_t&>(event));
    break;
  case XCB_KEY_PRESS:
    onKey(reinterpret_cast<const xcb_key_press_event_t&>(event), true);
    break;
  case XCB_KEY_RELEASE:
    onKey(reinterpret_cast<const xcb_key_press_event_t&>(event), false);
    break;
  case XCB_FOCUS_OUT:
    onFocusOut(reinterpret_cast<const xcb_focus_out_event_t&>(event));
    break;
  case XCB_SELECTION_NOTIFY:
    onSelectionNotify(reinterpret_cast<const xcb_selection_notify_event_t&>(event));
    break;
  case XCB_MAPPING_NOTIFY:
    keymap = X11Keys::Keymap();
    break;
  default:
    break;
  }
}

// --- Mouse -------------------------------------------------------------------------

void X11EditorWindow::notePointer(int16_t x, int16_t y)
{
  const float scale = graphics.GetDrawScale() * graphics.GetScreenScale();
  pointerX = static_cast<float>(x) / scale;
  pointerY = static_cast<float>(y) / scale;
}

IMouseMod X11EditorWindow::modifiers(uint16_t state, bool left, bool right) const
{
  return IMouseMod(left, right, (state & XCB_MOD_MASK_SHIFT) != 0, (state & XCB_MOD_MASK_CONTROL) != 0,
                   (state & XCB_MOD_MASK_1) != 0);
}

void X11EditorWindow::onButtonPress(const xcb_button_press_event_t& event)
{
  notePointer(event.event_x, event.event_y);
  // Taking the focus needs the time of the click that asked for it.
  lastEventTime = event.time;
  // The press starts the server's implicit grab: until the last button is
  // up, every motion comes here, even outside the window.
  switch (event.detail)
  {
  case kLeftButton:
  case kRightButton:
  {
    const bool left = event.detail == kLeftButton;
    const IMouseMod mod = modifiers(event.state, left, !left);
    if (doubleClicks.OnPress(event.detail, event.time / 1000.0, event.event_x, event.event_y))
      graphics.OnMouseDblClick(pointerX, pointerY, mod);
    else
      graphics.OnMouseDown(pointerX, pointerY, mod);
    break;
  }
  case kWheelUp:
  case kWheelDown:
    graphics.OnMouseWheel(pointerX, pointerY, modifiers(event.state, false, false),
                          event.detail == kWheelUp ? 1.f : -1.f);
    break;
  default:
    break; // middle button, sideways scrolling
  }
  // The window manager may have focused the host's window on this click
  // into an open field or menu; the keys are still theirs.
  retakesLeft = kFocusRetakes;
  if (keyboardWanted && alive() && currentFocus() != window)
    takeFocus();
}

void X11EditorWindow::onButtonRelease(const xcb_button_release_event_t& event)
{
  if (event.detail != kLeftButton && event.detail != kRightButton)
    return;
  notePointer(event.event_x, event.event_y);
  graphics.OnMouseUp(pointerX, pointerY, modifiers(event.state, event.detail == kLeftButton, event.detail == kRightButton));
  const uint16_t otherButtons =
      event.state & (event.detail == kLeftButton ? XCB_BUTTON_MASK_3 : XCB_BUTTON_MASK_1);
  // A drag that ended outside the window leaves it now.
  if (!pointerInside && !otherButtons)
    graphics.OnMouseOut();
}

void X11EditorWindow::onMotion(const xcb_motion_notify_event_t& event)
{
  notePointer(event.event_x, event.event_y);
  graphics.OnMouseMove(pointerX, pointerY,
                       modifiers(event.state, (event.state & XCB_BUTTON_MASK_1) != 0, (event.state & XCB_BUTTON_MASK_3) != 0));
}

void X11EditorWindow::onEnter(const xcb_enter_notify_event_t& event)
{
  if (event.mode != XCB_NOTIFY_MODE_NORMAL)
    return;
  pointerInside = true;
  notePointer(event.event_x, event.event_y);
  if (!(event.state & (XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_3)))
    graphics.OnMouseOver(pointerX, pointerY, modifiers(event.state, false, false));
}

void X11EditorWindow::onLeave(const xcb_leave_notify_event_t& event)
{
  if (event.mode != XCB_NOTIFY_MODE_NORMAL)
    return;
  pointerInside = false;
  // While a button is held the drag goes on outside; it leaves on release.
  if (!(event.state & (XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_3)))
    graphics.OnMouseOut();
}

// --- Drawing -----------------------------------------------------------------------

void X11EditorWindow::PresentArea(const IRECT& pixels)
{
  if (!alive())
    return;
  FollowBackingSize();
  const int l = static_cast<int>(std::floor(pixels.L));
  const int t = static_cast<int>(std::floor(pixels.T));
  const int r = static_cast<int>(std::ceil(pixels.R));
  const int b = static_cast<int>(std::ceil(pixels.B));
  putPixels(l, t, r - l, b - t);
  xcb_flush(connection);
}

void X11EditorWindow::convertRow(const uint32_t* source, int count, uint8_t* target) const
{
  const int bytes = format.bitsPerPixel / 8;
  for (int i = 0; i < count; ++i)
  {
    const uint32_t argb = source[i];
    const uint32_t value = placeChannel((argb >> 16) & 0xFF, format.redMask) |
                           placeChannel((argb >> 8) & 0xFF, format.greenMask) | placeChannel(argb & 0xFF, format.blueMask);
    for (int k = 0; k < bytes; ++k)
    {
      const int shift = format.lsbFirst ? 8 * k : 8 * (bytes - 1 - k);
      target[i * bytes + k] = static_cast<uint8_t>(value >> shift);
    }
  }
}

void X11EditorWindow::putPixels(int x, int y, int w, int h)
{
  cairo_surface_t* backing = graphics.GetBackingSurface();
  if (!backing || !alive())
    return;
  cairo_surface_flush(backing);
  const int surfaceWidth = cairo_image_surface_get_width(backing);
  const int surfaceHeight = cairo_image_surface_get_height(backing);
  const int l = std::max(0, x);
  const int t = std::max(0, y);
  const int r = std::min({x + w, surfaceWidth, windowWidth});
  const int b = std::min({y + h, surfaceHeight, windowHeight});
  if (r <= l || b <= t)
    return;
  const int width = r - l;
  const unsigned char* data = cairo_image_surface_get_data(backing);
  const int sourceStride = cairo_image_surface_get_stride(backing);

  const int pad = std::max<int>(8, format.scanlinePad);
  const size_t rowBytes = static_cast<size_t>((width * format.bitsPerPixel + pad - 1) / pad * pad / 8);
  // A request holds its header (24 bytes) and whole rows.
  const size_t room = maxRequestBytes > 64 ? maxRequestBytes - 32 : 0;
  const int rowsPerRequest = static_cast<int>(std::max<size_t>(1, room / rowBytes));

  for (int row = t; row < b; row += rowsPerRequest)
  {
    const int rows = std::min(rowsPerRequest, b - row);
    strip.assign(rowBytes * static_cast<size_t>(rows), 0);
    for (int i = 0; i < rows; ++i)
    {
      const auto* source = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(row + i) * sourceStride) + l;
      uint8_t* target = strip.data() + rowBytes * static_cast<size_t>(i);
      if (fastCopy)
        std::memcpy(target, source, static_cast<size_t>(width) * 4);
      else
        convertRow(source, width, target);
    }
    xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, gc, static_cast<uint16_t>(width),
                  static_cast<uint16_t>(rows), static_cast<int16_t>(l), static_cast<int16_t>(row), 0, format.depth,
                  static_cast<uint32_t>(strip.size()), strip.data());
  }
}

void X11EditorWindow::SetWindowSize(int, int)
{
  // The graphics may have been resized again while the host answered the
  // first request: the backing image tells the size that holds now.
  FollowBackingSize();
}

void X11EditorWindow::FollowBackingSize()
{
  cairo_surface_t* backing = graphics.GetBackingSurface();
  if (!backing || !alive())
    return;
  const int w = std::clamp(cairo_image_surface_get_width(backing), 1, 32767);
  const int h = std::clamp(cairo_image_surface_get_height(backing), 1, 32767);
  if (w == windowWidth && h == windowHeight)
    return;
  windowWidth = w;
  windowHeight = h;
  const uint32_t values[] = {static_cast<uint32_t>(w), static_cast<uint32_t>(h)};
  setSizeHints();
  xcb_configure_window(connection, window, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
  xcb_flush(connection);
  // Hosts that follow do so within a few of their idle calls; half a second
  // later the host is taken to have kept its size.
  embedderCheckDue = askTopLevel;
  embedderCheckAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
}

void X11EditorWindow::checkEmbedderFollowed()
{
  // Once per size change, so that the editor never fights a host (or a
  // user) over its window.
  embedderCheckDue = false;
  xcb_get_geometry_reply_t* parent =
      xcb_get_geometry_reply(connection, xcb_get_geometry(connection, parentWindow), nullptr);
  if (!parent)
    return;
  const int dw = windowWidth - parent->width;
  const int dh = windowHeight - parent->height;
  std::free(parent);
  if (!dw && !dh)
    return;
  // The host's top-level window: the ancestor a window manager marked as
  // a client (WM_STATE), else the one directly below the root.
  const xcb_window_t topLevel = topLevelOf(parentWindow, internAtom(connection, "WM_STATE"));
  if (topLevel == XCB_NONE)
    return;
  xcb_get_geometry_reply_t* top = xcb_get_geometry_reply(connection, xcb_get_geometry(connection, topLevel), nullptr);
  if (!top)
    return;
  const uint32_t values[] = {static_cast<uint32_t>(std::clamp(top->width + dw, 1, 32767)),
                             static_cast<uint32_t>(std::clamp(top->height + dh, 1, 32767))};
  std::free(top);
  // A window manager takes this as the client's request and resizes its
  // frame; the host's toolkit then lays its window out at the new size.
  xcb_configure_window(connection, topLevel, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
}

// --- Cursor --------------------------------------------------------------------------

xcb_cursor_t X11EditorWindow::cursorFor(ECursor shape)
{
  const auto index = static_cast<size_t>(shape);
  if (index >= cursors.size())
    return cursorFor(ECursor::ARROW);
  if (!cursors[index])
  {
    if (!cursorFont)
    {
      cursorFont = xcb_generate_id(connection);
      xcb_open_font(connection, cursorFont, 6, "cursor");
    }
    cursors[index] = xcb_generate_id(connection);
    const uint16_t glyph = kCursorGlyphs[index];
    xcb_create_glyph_cursor(connection, cursors[index], cursorFont, cursorFont, glyph, static_cast<uint16_t>(glyph + 1),
                            0, 0, 0, 0xFFFF, 0xFFFF, 0xFFFF);
  }
  return cursors[index];
}

xcb_cursor_t X11EditorWindow::invisibleCursor()
{
  if (!hiddenCursor)
  {
    const xcb_pixmap_t empty = xcb_generate_id(connection);
    xcb_create_pixmap(connection, 1, empty, window, 1, 1);
    hiddenCursor = xcb_generate_id(connection);
    xcb_create_cursor(connection, hiddenCursor, empty, empty, 0, 0, 0, 0, 0, 0, 0, 0);
    xcb_free_pixmap(connection, empty);
  }
  return hiddenCursor;
}

void X11EditorWindow::applyCursor()
{
  if (!alive() || !window)
    return;
  const uint32_t value = cursorHidden ? invisibleCursor() : cursorFor(cursor);
  xcb_change_window_attributes(connection, window, XCB_CW_CURSOR, &value);
  xcb_flush(connection);
}

void X11EditorWindow::SetCursor(ECursor shape)
{
  cursor = shape;
  applyCursor();
}

void X11EditorWindow::HideCursor(bool hide)
{
  cursorHidden = hide;
  applyCursor();
}

// --- Keyboard ------------------------------------------------------------------------

void X11EditorWindow::internAtoms()
{
  clipboardAtom = internAtom(connection, "CLIPBOARD");
  utf8Atom = internAtom(connection, "UTF8_STRING");
  pasteAtom = internAtom(connection, "_TOLMAR_PASTE");
  incrAtom = internAtom(connection, "INCR");
}

void X11EditorWindow::loadKeymap()
{
  const xcb_setup_t* setup = xcb_get_setup(connection);
  const uint8_t first = setup->min_keycode;
  const uint8_t count = static_cast<uint8_t>(setup->max_keycode - setup->min_keycode + 1);
  xcb_get_keyboard_mapping_reply_t* reply =
      xcb_get_keyboard_mapping_reply(connection, xcb_get_keyboard_mapping(connection, first, count), nullptr);
  if (!reply)
    return;
  const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(reply);
  const int length = xcb_get_keyboard_mapping_keysyms_length(reply);
  keymap.firstKeycode = first;
  keymap.symbolsPerKeycode = reply->keysyms_per_keycode;
  keymap.symbols.assign(symbols, symbols + (length > 0 ? length : 0));
  std::free(reply);
}

void X11EditorWindow::onKey(const xcb_key_press_event_t& event, bool down)
{
  lastEventTime = event.time;
  retakesLeft = kFocusRetakes;
  if (keymap.Empty())
    loadKeymap();
  const uint32_t keysym = keymap.Symbol(event.detail, event.state);
  if (!keysym)
    return;
  const IKeyPress press = X11Keys::Translate(keysym, event.state);
  if (down)
    graphics.OnKeyDown(pointerX, pointerY, press);
  else
    graphics.OnKeyUp(pointerX, pointerY, press);
}

xcb_window_t X11EditorWindow::topLevelOf(xcb_window_t child, xcb_atom_t clientMark)
{
  // The ancestor that is a child of the root: the host's window, or the
  // frame a window manager put around it. With a mark, the first window on
  // the way up that carries it, where one does.
  xcb_window_t current = child;
  for (int depth = 0; depth < 64 && current > 1; ++depth)
  {
    if (clientMark != XCB_ATOM_NONE)
    {
      xcb_get_property_reply_t* mark = xcb_get_property_reply(
          connection, xcb_get_property(connection, 0, current, clientMark, XCB_GET_PROPERTY_TYPE_ANY, 0, 0), nullptr);
      const bool marked = mark && mark->type != XCB_ATOM_NONE;
      std::free(mark);
      if (marked)
        return current;
    }
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(connection, xcb_query_tree(connection, current), nullptr);
    if (!tree)
      return XCB_NONE;
    const xcb_window_t parent = tree->parent;
    const xcb_window_t root = tree->root;
    std::free(tree);
    if (parent == root || parent == XCB_NONE)
      return current;
    current = parent;
  }
  return XCB_NONE;
}

xcb_window_t X11EditorWindow::currentFocus()
{
  xcb_get_input_focus_reply_t* focus = xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr);
  const xcb_window_t window = focus ? focus->focus : static_cast<xcb_window_t>(XCB_NONE);
  std::free(focus);
  return window;
}

void X11EditorWindow::takeFocus()
{
  // The server's time, not the click's: a window manager that focuses the
  // host's window on the same click may stamp that change with a later
  // time, and the server ignores a request older than the last change.
  // Reverting to the parent: when the host hides or destroys our window
  // with a field open, the server gives the focus to the host's window, so
  // the keyboard is never left on a window no one sees.
  xcb_set_input_focus(connection, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
  tookFocus = true;
  xcb_flush(connection);
}

void X11EditorWindow::onFocusOut(const xcb_focus_out_event_t& event)
{
  // Focus moved by a host's or window manager's keyboard grab is not moved
  // at all: it comes back when the grab ends.
  if (event.event != window || !keyboardWanted || event.mode != XCB_NOTIFY_MODE_NORMAL ||
      event.detail == XCB_NOTIFY_DETAIL_INFERIOR)
    return;
  const xcb_window_t now = currentFocus();
  if (now == window)
    return;
  // Hosts take the focus back to their own window while a field is open:
  // on the click into it (the window manager focuses the host's window),
  // or when their toolkit settles its own focus (seen in Ardour's LV2
  // window and in Audacity's effect dialog). The keys belong to the field
  // until it closes, so the editor takes it again while the user works in
  // it (the pointer is over it), a few times per user action so that it
  // never fights a host that insists. Focus the user gave to the host's
  // own controls (the pointer went there) or to another application's
  // window stays there.
  if (now > 1 && pointerInside && retakesLeft > 0 && topLevelOf(now) == topLevelOf(window))
  {
    --retakesLeft;
    takeFocus();
  }
}

void X11EditorWindow::WantKeyboard(bool want)
{
  if (!alive() || want == keyboardWanted)
    return;
  keyboardWanted = want;
  retakesLeft = kFocusRetakes;
  const uint32_t mask = want ? kEventMask | kKeyEvents : kEventMask;
  xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &mask);
  if (want)
  {
    // The window takes the input focus itself, also inside an XEmbed
    // socket that says it focused us: such a socket passes on only the
    // keys its host does not want (Ardour 7.3 keeps Space, Return and
    // keypad Enter for its transport and markers), and asking it for the
    // focus (XEMBED_REQUEST_FOCUS) would leave it holding the host's
    // keyboard focus after the field closed, so that the host's shortcuts
    // stayed dead until the user clicked elsewhere. A keyboard grab would
    // take the keys from every other application too, the window
    // manager's shortcuts included, for as long as a field stayed open.
    const xcb_window_t focus = currentFocus();
    focusBefore = focus != window ? focus : static_cast<xcb_window_t>(XCB_NONE);
    takeFocus();
  }
  else if (tookFocus)
  {
    tookFocus = false;
    giveFocusBack();
  }
  xcb_flush(connection);
}

void X11EditorWindow::giveFocusBack()
{
  // Only focus the editor still holds goes back: where the user has moved
  // it to another window, it stays there.
  if (currentFocus() != window)
    return;
  // Back to where it was (PointerRoot included); with no window known
  // the host's own takes it, so that its shortcuts work at once. If that
  // window is gone the server says so, and the focus reverts to our
  // parent when ours goes.
  xcb_window_t target = focusBefore;
  if (target == XCB_NONE)
    target = topLevelOf(window);
  if (target != XCB_NONE)
    xcb_set_input_focus(connection, XCB_INPUT_FOCUS_PARENT, target, XCB_CURRENT_TIME);
}

void X11EditorWindow::RequestPaste()
{
  if (!alive() || utf8Atom == XCB_ATOM_NONE || pasteAtom == XCB_ATOM_NONE)
    return;
  pasteFromPrimary = clipboardAtom == XCB_ATOM_NONE;
  xcb_convert_selection(connection, window, pasteFromPrimary ? static_cast<xcb_atom_t>(XCB_ATOM_PRIMARY) : clipboardAtom, utf8Atom, pasteAtom,
                        lastEventTime);
  xcb_flush(connection);
}

void X11EditorWindow::onSelectionNotify(const xcb_selection_notify_event_t& event)
{
  if (event.requestor != window)
    return;
  if (event.property == XCB_ATOM_NONE)
  {
    // Nothing on the clipboard: the text last selected will do.
    if (!pasteFromPrimary)
    {
      pasteFromPrimary = true;
      xcb_convert_selection(connection, window, XCB_ATOM_PRIMARY, utf8Atom, pasteAtom, lastEventTime);
    }
    return;
  }
  xcb_get_property_reply_t* reply = xcb_get_property_reply(
      connection, xcb_get_property(connection, 1, window, event.property, XCB_GET_PROPERTY_TYPE_ANY, 0, kMaxPasteWords),
      nullptr);
  if (!reply)
    return;
  // A text sent in pieces (INCR) is longer than any field takes.
  if (reply->type != incrAtom && reply->format == 8)
  {
    const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply));
    const int length = xcb_get_property_value_length(reply);
    graphics.PasteText(std::string(bytes, bytes + (length > 0 ? length : 0)));
  }
  std::free(reply);
  xcb_delete_property(connection, window, event.property);
}
