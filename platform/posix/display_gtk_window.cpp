// The GTK display's windows: a GtkWindow per top-level window of ours, what
// it shows and what the user does in it.
//
// Implements (DisplayOperations, display.h), here:
// - createWindow: the title (ANSI bytes as UTF-8, else Latin-1), the outer
//   position, fixed size without WS_THICKFRAME and resizable with it,
//   minimize and maximize and the close box as the style asks; no
//   decoration without WS_CAPTION; transient for its owner. Below an
//   optional menu bar, a drawing area exactly the size of the client area.
// - setGeometry, showWindow (hide, show, minimized, maximized),
//   activateWindow, setTitle, destroyWindow.
// - present, releasePixels: cairo draws straight from the layer's client
//   surface in the drawing area's draw handler; a present queues only its
//   dirty part. Nothing else draws there.
// - setCursor, movePointer (gdk_device_warp), capturePointer (a seat grab
//   on the window's drawing area).
//
// Reports (input.h): keys by scan code from the X keycode (key symbol as a
// fall-back), mouse moves and buttons at client coordinates, the close box
// (delete-event), activation (focus in and out), the window manager's moves,
// sizes, minimizing and maximizing.

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>

#include "platform/posix/display.h"
#include "platform/posix/display_gtk_internal.h"
#include "platform/posix/input.h"

namespace gtk_display {

namespace {

int Width(const RECT& r) { return static_cast<int>(r.right - r.left); }
int Height(const RECT& r) { return static_cast<int>(r.bottom - r.top); }

void Shift(RECT* r, LONG dx, LONG dy) {
  r->left += dx;
  r->right += dx;
  r->top += dy;
  r->bottom += dy;
}

// ---------------------------------------------------------------------------
// The presented pixels

// Rows of `from` (0x00RRGGBB, `stride` pixels apart) into an RGB24 surface
// of its own, which is the same layout: `part` of them.
void CopyRows(cairo_surface_t* to, const DWORD* from, LONG stride, const RECT& part) {
  cairo_surface_flush(to);
  unsigned char* data = cairo_image_surface_get_data(to);
  const int rowBytes = cairo_image_surface_get_stride(to);
  for (LONG y = part.top; y < part.bottom; ++y) {
    std::memcpy(data + static_cast<ptrdiff_t>(y) * rowBytes + static_cast<ptrdiff_t>(part.left) * 4,
                from + static_cast<ptrdiff_t>(y) * stride + part.left,
                static_cast<size_t>(part.right - part.left) * sizeof(DWORD));
  }
}

// Whether the window's surface shows these pixels already.
bool ShowsPixels(const NativeWindow& w, const DWORD* pixels, LONG width, LONG height, LONG stride) {
  return w.pixels != nullptr && w.source == pixels && w.stride == stride &&
         cairo_image_surface_get_width(w.pixels) == width &&
         cairo_image_surface_get_height(w.pixels) == height;
}

// The surface goes, and cairo reads nothing through it any more.
void DropPixels(NativeWindow* w) {
  if (w->pixels != nullptr) {
    cairo_surface_finish(w->pixels);
    cairo_surface_destroy(w->pixels);
  }
  w->pixels = nullptr;
  w->borrowed = nullptr;
  w->source = nullptr;
}

// A surface for the layer's pixels: cairo draws from them where they are
// when their rows are laid out as cairo's RGB24 rows (0x00RRGGBB words are
// its pixels as they are), else from a copy.
void TakePixels(NativeWindow* w, const DWORD* pixels, LONG width, LONG height, LONG stride) {
  DropPixels(w);
  const int rowBytes = cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, static_cast<int>(width));
  if (rowBytes > 0 && static_cast<LONG>(rowBytes) == stride * 4) {
    // Cairo only ever reads through this surface: nothing draws into it.
    w->pixels = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(const_cast<DWORD*>(pixels)), CAIRO_FORMAT_RGB24,
        static_cast<int>(width), static_cast<int>(height), rowBytes);
    w->borrowed = pixels;
  } else {
    w->pixels = cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(width),
                                           static_cast<int>(height));
    CopyRows(w->pixels, pixels, stride, RECT{0, 0, width, height});
  }
  w->source = pixels;
  w->stride = stride;
}

// ---------------------------------------------------------------------------
// Drawing

gboolean OnDraw(GtkWidget* area, cairo_t* cr, gpointer data) {
  const NativeWindow* w = Find(HandleOf(data));
  cairo_set_source_rgb(cr, 0, 0, 0);
  if (w == nullptr || w->pixels == nullptr) {
    cairo_paint(cr);
    return TRUE;
  }
  const int width = cairo_image_surface_get_width(w->pixels);
  const int height = cairo_image_surface_get_height(w->pixels);
  // Whatever the surface does not cover (a window the user made larger
  // than the program has drawn yet) stays black.
  if (width < gtk_widget_get_allocated_width(area) ||
      height < gtk_widget_get_allocated_height(area)) {
    cairo_paint(cr);
  }
  cairo_set_source_surface(cr, w->pixels, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_rectangle(cr, 0, 0, width, height);
  cairo_fill(cr);
  return TRUE;
}

// ---------------------------------------------------------------------------
// Input

bool TakesNativeKey(const GdkEventKey* event) {
  // F10 and Alt with a key belong to the menu bar (as Win32's system keys
  // open its menus); everything else is the program's alone.
  return event->keyval == GDK_KEY_F10 || (event->state & GDK_MOD1_MASK) != 0 ||
         event->keyval == GDK_KEY_Alt_L || event->keyval == GDK_KEY_Alt_R;
}

gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer data) {
  NoteTime(event->time);
  UINT scan = ScanCodeFromKeycode(event->hardware_keycode);
  if (scan == 0) {
    scan = ScanCodeFromKeyval(gdk_keyval_to_lower(event->keyval));
  }
  if (scan != 0 && Find(HandleOf(data)) != nullptr) {
    const bool down = event->type == GDK_KEY_PRESS;
    Display& d = TheDisplay();
    // A release whose press went elsewhere (to a dialog, to the menu) is
    // not ours to report.
    if (down || d.keysDown.erase(scan) != 0) {
      if (down) {
        d.keysDown.insert(scan);
      }
      InputKey(scan, down, event->time);
      NoteReport();
    }
  }
  return TakesNativeKey(event) ? FALSE : TRUE;
}

int ButtonIndex(guint button) {
  switch (button) {
    case 1:
      return 0;
    case 3:
      return 1;
    case 2:
      return 2;
    default:
      return -1;
  }
}

POINT ClientPoint(double x, double y) {
  return POINT{static_cast<LONG>(x < 0 ? x - 1 : x), static_cast<LONG>(y < 0 ? y - 1 : y)};
}

gboolean OnButton(GtkWidget*, GdkEventButton* event, gpointer data) {
  NoteTime(event->time);
  // The second press of a double click comes as a press of its own too;
  // the layer judges double clicks from the times.
  if (event->type != GDK_BUTTON_PRESS && event->type != GDK_BUTTON_RELEASE) {
    return TRUE;
  }
  const int button = ButtonIndex(event->button);
  const HWND window = HandleOf(data);
  if (button < 0 || Find(window) == nullptr) {
    return FALSE;
  }
  InputMouseButton(window, ClientPoint(event->x, event->y), button, event->type == GDK_BUTTON_PRESS,
                   event->time);
  NoteReport();
  return TRUE;
}

gboolean OnMotion(GtkWidget*, GdkEventMotion* event, gpointer data) {
  NoteTime(event->time);
  const HWND window = HandleOf(data);
  if (Find(window) != nullptr) {
    InputMouseMove(window, ClientPoint(event->x, event->y), event->time);
    NoteReport();
  }
  return TRUE;
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
  const HWND window = HandleOf(data);
  if (Find(window) != nullptr) {
    InputCloseBox(window, ReportTime());
    NoteReport();
  }
  return TRUE;  // the program decides whether the window goes
}

bool AnyWindowOfOursActive() {
  GList* tops = gtk_window_list_toplevels();
  bool active = false;
  for (GList* t = tops; t != nullptr && !active; t = t->next) {
    active = gtk_window_is_active(GTK_WINDOW(t->data)) != 0;
  }
  g_list_free(tops);
  return active;
}

// Focus that left one of our windows may have gone to another of ours (a
// dialog, a window that reports its own focus-in); only when it went to
// another program is that reported.
gboolean CheckFocusLeft(gpointer) {
  Display& d = TheDisplay();
  d.focusCheckQueued = false;
  if (!AnyWindowOfOursActive()) {
    InputActivate(nullptr);
    NoteReport();
  }
  return G_SOURCE_REMOVE;
}

gboolean OnFocus(GtkWidget*, GdkEventFocus* event, gpointer data) {
  const HWND window = HandleOf(data);
  Display& d = TheDisplay();
  if (event->in != 0) {
    if (Find(window) != nullptr) {
      InputActivate(window);
      NoteReport();
    }
  } else {
    ReleaseKeys();
    if (!d.focusCheckQueued) {
      d.focusCheckQueued = true;
      g_timeout_add(50, CheckFocusLeft, nullptr);
    }
  }
  return FALSE;
}

// The window manager moved or sized the window.
gboolean OnConfigure(GtkWidget* widget, GdkEventConfigure*, gpointer data) {
  const HWND handle = HandleOf(data);
  NativeWindow* w = Find(handle);
  GdkWindow* gdk = gtk_widget_get_window(widget);
  if (w == nullptr || gdk == nullptr || !gtk_widget_get_mapped(widget) || w->shown == SW_HIDE) {
    return FALSE;
  }
  GdkRectangle frame;
  gdk_window_get_frame_extents(gdk, &frame);
  if (frame.x != w->outer.left || frame.y != w->outer.top) {
    const POINT at{frame.x, frame.y};
    Shift(&w->client, at.x - w->outer.left, at.y - w->outer.top);
    Shift(&w->outer, at.x - w->outer.left, at.y - w->outer.top);
    InputMoved(handle, at);
    NoteReport();
  }
  return FALSE;
}

void OnAreaAllocate(GtkWidget*, GdkRectangle* allocation, gpointer data) {
  const HWND handle = HandleOf(data);
  NativeWindow* w = Find(handle);
  if (w == nullptr || (w->style & WS_THICKFRAME) == 0 || w->shown == SW_HIDE) {
    return;
  }
  if (allocation->width == Width(w->client) && allocation->height == Height(w->client)) {
    return;
  }
  // The frame around the client area stays as the layer has it.
  const LONG width = allocation->width + Width(w->outer) - Width(w->client);
  const LONG height = allocation->height + Height(w->outer) - Height(w->client);
  w->client.right = w->client.left + allocation->width;
  w->client.bottom = w->client.top + allocation->height;
  w->outer.right = w->outer.left + width;
  w->outer.bottom = w->outer.top + height;
  InputSized(handle, width, height);
  NoteReport();
}

gboolean OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer data) {
  const HWND handle = HandleOf(data);
  NativeWindow* w = Find(handle);
  if (w == nullptr || w->shown == SW_HIDE) {
    return FALSE;
  }
  const GdkWindowState s = event->new_window_state;
  int now = SW_SHOWNORMAL;
  if ((s & GDK_WINDOW_STATE_ICONIFIED) != 0) {
    now = SW_SHOWMINIMIZED;
  } else if ((s & GDK_WINDOW_STATE_MAXIMIZED) != 0) {
    now = SW_SHOWMAXIMIZED;
  }
  if (now != w->shown) {
    w->shown = now;
    InputShowState(handle, now == SW_SHOWMINIMIZED   ? SW_MINIMIZE
                           : now == SW_SHOWMAXIMIZED ? SW_MAXIMIZE
                                                     : SW_RESTORE);
    NoteReport();
  }
  return FALSE;
}

// What the window manager may offer: the style's boxes and frame.
void ApplyFunctions(NativeWindow* w) {
  GdkWindow* gdk = gtk_widget_get_window(w->window);
  if (gdk == nullptr) {
    return;
  }
  int functions = GDK_FUNC_MOVE;
  int decorations = 0;
  if ((w->style & WS_CAPTION) == WS_CAPTION) {
    decorations |= GDK_DECOR_BORDER | GDK_DECOR_TITLE;
  } else if ((w->style & (WS_BORDER | WS_DLGFRAME | WS_THICKFRAME)) != 0) {
    decorations |= GDK_DECOR_BORDER;
  }
  if ((w->style & WS_SYSMENU) != 0) {
    functions |= GDK_FUNC_CLOSE;
    decorations |= GDK_DECOR_MENU;
  }
  if ((w->style & WS_THICKFRAME) != 0) {
    functions |= GDK_FUNC_RESIZE;
    decorations |= GDK_DECOR_RESIZEH;
  }
  if ((w->style & WS_MINIMIZEBOX) != 0) {
    functions |= GDK_FUNC_MINIMIZE;
    decorations |= GDK_DECOR_MINIMIZE;
  }
  if ((w->style & WS_MAXIMIZEBOX) != 0) {
    functions |= GDK_FUNC_MAXIMIZE;
    decorations |= GDK_DECOR_MAXIMIZE;
  }
  gdk_window_set_functions(gdk, static_cast<GdkWMFunction>(functions));
  if (decorations != 0) {
    gdk_window_set_decorations(gdk, static_cast<GdkWMDecoration>(decorations));
  }
}

void OnRealize(GtkWidget*, gpointer data) {
  if (NativeWindow* w = Find(HandleOf(data))) {
    ApplyFunctions(w);
  }
}

void ApplyCursor(NativeWindow* w) {
  GdkWindow* gdk = gtk_widget_get_window(w->area);
  if (gdk == nullptr) {
    return;
  }
  GdkCursor* cursor =
      gdk_cursor_new_from_name(gdk_display_get_default(), CursorName(TheDisplay().cursorShape));
  gdk_window_set_cursor(gdk, cursor);
  if (cursor != nullptr) {
    g_object_unref(cursor);
  }
}

void OnAreaRealize(GtkWidget*, gpointer data) {
  if (NativeWindow* w = Find(HandleOf(data))) {
    ApplyCursor(w);
  }
}

// The drawing area asks for the client size; a fixed window is exactly that
// (plus its bar), a sizable one starts there and may go smaller.
}  // namespace

void SizeArea(NativeWindow* w) {
  const int width = std::max(Width(w->client), 1);
  const int height = std::max(Height(w->client), 1);
  if ((w->style & WS_THICKFRAME) == 0) {
    gtk_widget_set_size_request(w->area, width, height);
    return;
  }
  gtk_widget_set_size_request(w->area, 1, 1);
  int barHeight = 0;
  if (w->bar != nullptr) {
    barHeight = GetSystemMetrics(SM_CYMENU);
  }
  gtk_window_resize(GTK_WINDOW(w->window), width, height + barHeight);
}

// ---------------------------------------------------------------------------
// The operations

namespace ops {

bool CreateWindow(HWND window, LPCSTR title, DWORD style, DWORD, const RECT& outer,
                  const RECT& client) {
  if (!TheDisplay().open) {
    return false;
  }
  auto w = std::make_unique<NativeWindow>();
  w->handle = window;
  w->style = style;
  w->outer = outer;
  w->client = client;
  w->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  g_object_ref_sink(w->window);
  GtkWindow* gw = GTK_WINDOW(w->window);
  gtk_window_set_title(gw, Utf8FromAnsi(title != nullptr ? title : "").c_str());
  gtk_window_set_resizable(gw, (style & WS_THICKFRAME) != 0 ? TRUE : FALSE);
  gtk_window_set_deletable(gw, (style & WS_SYSMENU) != 0 ? TRUE : FALSE);
  if ((style & WS_CAPTION) != WS_CAPTION &&
      (style & (WS_BORDER | WS_DLGFRAME | WS_THICKFRAME)) == 0) {
    gtk_window_set_decorated(gw, FALSE);
  }
  if (GtkWidget* owner = NativeWindowOf(GetWindow(window, GW_OWNER))) {
    gtk_window_set_transient_for(gw, GTK_WINDOW(owner));
  }
  gtk_window_set_gravity(gw, GDK_GRAVITY_NORTH_WEST);
  gtk_window_move(gw, static_cast<gint>(outer.left), static_cast<gint>(outer.top));

  w->box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_container_add(GTK_CONTAINER(w->window), w->box);
  w->area = gtk_drawing_area_new();
  gtk_widget_add_events(w->area,
                        GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK);
  gtk_box_pack_end(GTK_BOX(w->box), w->area, TRUE, TRUE, 0);
  gtk_widget_show_all(w->box);

  const gpointer data = window;
  g_signal_connect(w->window, "delete-event", G_CALLBACK(OnDelete), data);
  g_signal_connect(w->window, "key-press-event", G_CALLBACK(OnKey), data);
  g_signal_connect(w->window, "key-release-event", G_CALLBACK(OnKey), data);
  g_signal_connect(w->window, "focus-in-event", G_CALLBACK(OnFocus), data);
  g_signal_connect(w->window, "focus-out-event", G_CALLBACK(OnFocus), data);
  g_signal_connect(w->window, "configure-event", G_CALLBACK(OnConfigure), data);
  g_signal_connect(w->window, "window-state-event", G_CALLBACK(OnWindowState), data);
  g_signal_connect(w->window, "realize", G_CALLBACK(OnRealize), data);
  g_signal_connect(w->area, "realize", G_CALLBACK(OnAreaRealize), data);
  g_signal_connect(w->area, "draw", G_CALLBACK(OnDraw), data);
  g_signal_connect(w->area, "button-press-event", G_CALLBACK(OnButton), data);
  g_signal_connect(w->area, "button-release-event", G_CALLBACK(OnButton), data);
  g_signal_connect(w->area, "motion-notify-event", G_CALLBACK(OnMotion), data);
  g_signal_connect(w->area, "size-allocate", G_CALLBACK(OnAreaAllocate), data);

  NativeWindow* made = w.get();
  TheDisplay().windows[window] = std::move(w);
  SizeArea(made);
  return true;
}

void SetGeometry(HWND window, const RECT& outer, const RECT& client) {
  NativeWindow* w = Find(window);
  if (w == nullptr) {
    return;
  }
  const bool moved = outer.left != w->outer.left || outer.top != w->outer.top;
  const bool sized = Width(client) != Width(w->client) || Height(client) != Height(w->client);
  w->outer = outer;
  w->client = client;
  if (moved) {
    gtk_window_move(GTK_WINDOW(w->window), static_cast<gint>(outer.left),
                    static_cast<gint>(outer.top));
  }
  if (sized) {
    SizeArea(w);
  }
}

void ShowWindow(HWND window, int state) {
  NativeWindow* w = Find(window);
  if (w == nullptr) {
    return;
  }
  GtkWindow* gw = GTK_WINDOW(w->window);
  if (state != SW_HIDE && state != SW_SHOWMINIMIZED && state != SW_SHOWMAXIMIZED) {
    state = SW_SHOWNORMAL;
  }
  const int was = w->shown;
  w->shown = state;
  switch (state) {
    case SW_HIDE:
      gtk_widget_hide(w->window);
      break;
    case SW_SHOWMINIMIZED:
      gtk_window_iconify(gw);
      gtk_widget_show(w->window);
      break;
    case SW_SHOWMAXIMIZED:
      gtk_window_maximize(gw);
      gtk_widget_show(w->window);
      break;
    default:
      if (was == SW_SHOWMINIMIZED) {
        gtk_window_deiconify(gw);
      }
      if (was == SW_SHOWMAXIMIZED) {
        gtk_window_unmaximize(gw);
      }
      if (was == SW_HIDE) {
        // The window manager may have placed it elsewhere while hidden.
        gtk_window_move(gw, static_cast<gint>(w->outer.left), static_cast<gint>(w->outer.top));
      }
      gtk_widget_show(w->window);
      break;
  }
}

void ActivateWindow(HWND window) {
  NativeWindow* w = Find(window);
  if (w != nullptr && w->shown != SW_HIDE) {
    gtk_window_present_with_time(GTK_WINDOW(w->window), ReportTime());
  }
}

void SetTitle(HWND window, LPCSTR title) {
  if (NativeWindow* w = Find(window)) {
    gtk_window_set_title(GTK_WINDOW(w->window),
                         Utf8FromAnsi(title != nullptr ? title : "").c_str());
  }
}

void Present(HWND window, const DWORD* pixels, LONG width, LONG height, LONG stride,
             const RECT& dirty) {
  NativeWindow* w = Find(window);
  if (w == nullptr || pixels == nullptr || width <= 0 || height <= 0 || stride < width) {
    return;
  }
  RECT part = dirty;
  if (!ShowsPixels(*w, pixels, width, height, stride)) {
    // Other pixels (a new size, or what the display only kept a copy of):
    // the whole of them is taken afresh.
    TakePixels(w, pixels, width, height, stride);
    part = RECT{0, 0, width, height};
  }
  const LONG left = std::max<LONG>(part.left, 0);
  const LONG top = std::max<LONG>(part.top, 0);
  const LONG right = std::min(part.right, width);
  const LONG bottom = std::min(part.bottom, height);
  if (right <= left || bottom <= top) {
    return;
  }
  if (w->borrowed == nullptr) {
    CopyRows(w->pixels, pixels, stride, RECT{left, top, right, bottom});
  }
  // Whatever cairo derived from the surface before is stale there.
  cairo_surface_mark_dirty_rectangle(w->pixels, static_cast<int>(left), static_cast<int>(top),
                                     static_cast<int>(right - left),
                                     static_cast<int>(bottom - top));
  gtk_widget_queue_draw_area(w->area, static_cast<int>(left), static_cast<int>(top),
                             static_cast<int>(right - left), static_cast<int>(bottom - top));
}

void ReleasePixels(HWND window) {
  NativeWindow* w = Find(window);
  if (w == nullptr) {
    return;
  }
  if (w->borrowed != nullptr) {
    // What the window shows stays on the screen until the next present.
    const int width = cairo_image_surface_get_width(w->pixels);
    const int height = cairo_image_surface_get_height(w->pixels);
    cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    CopyRows(copy, w->borrowed, w->stride, RECT{0, 0, width, height});
    cairo_surface_mark_dirty(copy);
    DropPixels(w);
    w->pixels = copy;
  }
  w->source = nullptr;
}

void DestroyWindow(HWND window) {
  Display& d = TheDisplay();
  const auto it = d.windows.find(window);
  if (it == d.windows.end()) {
    return;
  }
  const std::unique_ptr<NativeWindow> w = std::move(it->second);
  d.windows.erase(it);
  if (d.captured == window) {
    CapturePointer(nullptr);
  }
  gtk_widget_destroy(w->window);
  g_object_unref(w->window);
  DropPixels(w.get());
}

void SetCursor(UINT shape) {
  Display& d = TheDisplay();
  if (d.cursorShape == shape) {
    return;
  }
  d.cursorShape = shape;
  for (auto& [handle, w] : d.windows) {
    ApplyCursor(w.get());
  }
}

void MovePointer(POINT screen) {
  GdkDisplay* display = gdk_display_get_default();
  GdkSeat* seat = display != nullptr ? gdk_display_get_default_seat(display) : nullptr;
  GdkDevice* pointer = seat != nullptr ? gdk_seat_get_pointer(seat) : nullptr;
  if (pointer != nullptr) {
    gdk_device_warp(pointer, gdk_display_get_default_screen(display), static_cast<gint>(screen.x),
                    static_cast<gint>(screen.y));
  }
}

void CapturePointer(HWND window) {
  Display& d = TheDisplay();
  GdkDisplay* display = gdk_display_get_default();
  GdkSeat* seat = display != nullptr ? gdk_display_get_default_seat(display) : nullptr;
  if (seat == nullptr) {
    return;
  }
  if (d.captured != nullptr) {
    gdk_seat_ungrab(seat);
    d.captured = nullptr;
  }
  NativeWindow* w = Find(window);
  GdkWindow* gdk = w != nullptr ? gtk_widget_get_window(w->area) : nullptr;
  // A grab needs a window on the screen; a pressed button holds the pointer
  // for the window anyway.
  if (gdk != nullptr && gdk_window_is_viewable(gdk) != 0 &&
      gdk_seat_grab(seat, gdk, GDK_SEAT_CAPABILITY_ALL_POINTING, FALSE, nullptr, nullptr, nullptr,
                    nullptr) == GDK_GRAB_SUCCESS) {
    d.captured = window;
  }
}

}  // namespace ops

}  // namespace gtk_display
