// The GTK 3 display: our windows as real windows on the desktop.
//
// Implements (display.h):
// - DisplayOpen (gtk_init_check; X11 preferred so that windows can be
//   placed), DisplayScreenSize (the primary monitor).
// - DisplayCreateWindow: a GtkWindow per top-level window: the title (ANSI
//   bytes as UTF-8, else Latin-1), the outer position, fixed size without
//   WS_THICKFRAME and resizable with it, minimize and maximize and the close
//   box as the style asks; no decoration without WS_CAPTION; transient for
//   its owner. Below an optional menu bar, a drawing area exactly the size of
//   the client area.
// - DisplaySetGeometry, DisplayShowWindow (hide, show, minimized,
//   maximized), DisplayActivateWindow, DisplaySetTitle, DisplayDestroyWindow.
// - DisplaySetMenu: a native GtkMenuBar read through GetMenuItemCount,
//   GetMenuItemID, GetSubMenu, GetMenuStringA and GetMenuState (titles,
//   items, separators, nested submenus, check marks, greyed items
//   insensitive, "&" mnemonics), exactly SM_CYMENU pixels high. The bar's
//   items are made, or brought up to date, whenever the program waits (so a
//   menu built entry by entry is built once); submenus read their state
//   again each time they open.
// - DisplayPresent: a copy of the client pixels per window, drawn with cairo
//   in the drawing area's draw handler; a present queues only its dirty
//   part. Nothing else draws there.
// - DisplaySetCursor, DisplayMovePointer (gdk_device_warp),
//   DisplayCapturePointer (a seat grab on the window's drawing area).
// - DisplayWait: runs GLib's main loop until something was reported or the
//   time is up.
// The modal dialogs are in display_gtk_dialog.cpp.
//
// Reports (input.h): keys by scan code from the X keycode (key symbol as a
// fall-back), mouse moves and buttons at client coordinates, the close box
// (delete-event), menu choices, activation (focus in and out), the window
// manager's moves, sizes, minimizing and maximizing.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/posix/display.h"
#include "platform/posix/display_gtk_internal.h"
#include "platform/posix/input.h"

namespace gtk_display {

namespace {

struct NativeWindow {
  HWND handle = nullptr;
  DWORD style = 0;
  GtkWidget* window = nullptr;  // the GtkWindow
  GtkWidget* box = nullptr;     // menu bar above drawing area
  GtkWidget* bar = nullptr;     // the menu bar, or null
  GtkWidget* area = nullptr;    // the client area
  HMENU menu = nullptr;
  RECT outer{};                       // as the layer last framed the window
  RECT client{};                      // screen coordinates
  cairo_surface_t* pixels = nullptr;  // the presented client surface
  int shown = SW_HIDE;                // as last asked
};

struct Display {
  bool tried = false;
  bool open = false;
  std::map<HWND, std::unique_ptr<NativeWindow>> windows;
  bool reported = false;
  DWORD lastTime = 0;
  std::set<UINT> keysDown;  // reported down and not yet up
  UINT cursorShape = 32512;
  HWND captured = nullptr;
  bool focusCheckQueued = false;
  GtkCssProvider* css = nullptr;
};

Display& TheDisplay() {
  static auto* display = new Display;
  return *display;
}

NativeWindow* Find(HWND window) {
  auto& windows = TheDisplay().windows;
  const auto it = windows.find(window);
  return it != windows.end() ? it->second.get() : nullptr;
}

HWND HandleOf(gpointer data) { return static_cast<HWND>(data); }

int Width(const RECT& r) { return static_cast<int>(r.right - r.left); }
int Height(const RECT& r) { return static_cast<int>(r.bottom - r.top); }

void Shift(RECT* r, LONG dx, LONG dy) {
  r->left += dx;
  r->right += dx;
  r->top += dy;
  r->bottom += dy;
}

void NoteTime(guint32 time) {
  if (time != 0) {
    TheDisplay().lastTime = time;
  }
}

// The menu bar is exactly SM_CYMENU high: no padding of its own, items as
// tall as it is, their text centred in them.
void InstallStyle() {
  Display& d = TheDisplay();
  if (d.css != nullptr) {
    return;
  }
  const int height = GetSystemMetrics(SM_CYMENU);
  char css[512];
  std::snprintf(css, sizeof css,
                "menubar.kelpie { min-height: %dpx; padding: 0; margin: 0; border-width: 0; }\n"
                "menubar.kelpie > menuitem { min-height: 0; padding: 0 8px; margin: 0; "
                "border-width: 0; }\n",
                height);
  d.css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(d.css, css, -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(d.css),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

// ---------------------------------------------------------------------------
// Menus

constexpr const char* kMenuKey = "kelpie-menu";
constexpr const char* kPositionKey = "kelpie-position";
constexpr const char* kIdKey = "kelpie-id";
constexpr const char* kLabelKey = "kelpie-label";

struct MenuEntry {
  UINT state = 0;
  bool separator = false;
  HMENU sub = nullptr;
  UINT id = 0;
  std::string text;
};

MenuEntry ReadEntry(HMENU menu, int position) {
  MenuEntry e;
  e.state = GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION);
  e.sub = GetSubMenu(menu, position);
  e.separator = e.sub == nullptr && (e.state & MF_SEPARATOR) != 0;
  e.id = GetMenuItemID(menu, position);
  const int length = GetMenuStringA(menu, static_cast<UINT>(position), nullptr, 0, MF_BYPOSITION);
  if (length > 0) {
    std::vector<char> text(static_cast<size_t>(length) + 1);
    GetMenuStringA(menu, static_cast<UINT>(position), text.data(), length + 1, MF_BYPOSITION);
    e.text = text.data();
  }
  return e;
}

bool Greyed(const MenuEntry& e) { return (e.state & (MF_GRAYED | MF_DISABLED)) != 0; }

void OnMenuShow(GtkWidget* menu, gpointer data);

// The choice is reported once GTK has taken the menu down: the program may
// change or replace the menu while it handles it.
struct MenuChoice {
  HWND window;
  UINT id;
};

gboolean ReportMenuChoice(gpointer data) {
  const std::unique_ptr<MenuChoice> choice(static_cast<MenuChoice*>(data));
  if (Find(choice->window) != nullptr) {
    InputMenuCommand(choice->window, choice->id);
    NoteReport();
  }
  return G_SOURCE_REMOVE;
}

void OnItemActivate(GtkMenuItem* item, gpointer data) {
  if (g_object_get_data(G_OBJECT(item), kIdKey) == nullptr) {
    return;
  }
  const UINT id = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), kIdKey)) - 1;
  g_idle_add_full(G_PRIORITY_HIGH_IDLE, ReportMenuChoice, new MenuChoice{HandleOf(data), id},
                  nullptr);
}

void SetItemState(GtkWidget* item, const MenuEntry& e) {
  gtk_widget_set_sensitive(item, Greyed(e) ? FALSE : TRUE);
  if (GTK_IS_CHECK_MENU_ITEM(item)) {
    g_signal_handlers_block_matched(item, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
                                    reinterpret_cast<gpointer>(OnItemActivate), nullptr);
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item),
                                   (e.state & MF_CHECKED) != 0 ? TRUE : FALSE);
    g_signal_handlers_unblock_matched(item, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
                                      reinterpret_cast<gpointer>(OnItemActivate), nullptr);
  }
  auto* label = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(item), kLabelKey));
  if (label != nullptr) {
    std::string shortcut;
    const std::string text = MenuLabel(e.text, &shortcut);
    if (text != gtk_label_get_label(GTK_LABEL(label))) {
      gtk_label_set_text_with_mnemonic(GTK_LABEL(label), text.c_str());
    }
  }
}

GtkWidget* MakeItem(HWND window, HMENU menu, int position, const MenuEntry& e, bool inBar) {
  GtkWidget* item = nullptr;
  if (e.separator) {
    item = gtk_separator_menu_item_new();
  } else {
    const bool check = e.sub == nullptr && !inBar && (e.state & MF_CHECKED) != 0;
    item = check ? gtk_check_menu_item_new() : gtk_menu_item_new();
    std::string shortcut;
    GtkWidget* label = gtk_label_new_with_mnemonic(MenuLabel(e.text, &shortcut).c_str());
    gtk_label_set_mnemonic_widget(GTK_LABEL(label), item);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0F);
    if (shortcut.empty()) {
      gtk_container_add(GTK_CONTAINER(item), label);
    } else {
      GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 16);
      gtk_box_pack_start(GTK_BOX(row), label, TRUE, TRUE, 0);
      GtkWidget* keys = gtk_label_new(shortcut.c_str());
      gtk_style_context_add_class(gtk_widget_get_style_context(keys), "accelerator");
      gtk_box_pack_end(GTK_BOX(row), keys, FALSE, FALSE, 0);
      gtk_container_add(GTK_CONTAINER(item), row);
    }
    g_object_set_data(G_OBJECT(item), kLabelKey, label);
    if (e.sub == nullptr) {
      // Stored plus one so that id 0 is told from no id.
      g_object_set_data(G_OBJECT(item), kIdKey, GUINT_TO_POINTER(e.id + 1));
      g_signal_connect(item, "activate", G_CALLBACK(OnItemActivate), window);
    }
  }
  g_object_set_data(G_OBJECT(item), kMenuKey, menu);
  g_object_set_data(G_OBJECT(item), kPositionKey, GINT_TO_POINTER(position));
  SetItemState(item, e);
  return item;
}

void FillShell(HWND window, HMENU menu, GtkWidget* shell, bool inBar, int depth);

GtkWidget* MakeSubmenu(HWND window, HMENU menu, int depth) {
  GtkWidget* sub = gtk_menu_new();
  g_object_set_data(G_OBJECT(sub), kMenuKey, menu);
  g_signal_connect(sub, "show", G_CALLBACK(OnMenuShow), window);
  FillShell(window, menu, sub, false, depth + 1);
  return sub;
}

void FillShell(HWND window, HMENU menu, GtkWidget* shell, bool inBar, int depth) {
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    const MenuEntry e = ReadEntry(menu, i);
    if (e.separator && inBar) {
      continue;
    }
    GtkWidget* item = MakeItem(window, menu, i, e, inBar);
    // A menu that holds itself somewhere below would never end.
    if (e.sub != nullptr && depth < 16) {
      gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), MakeSubmenu(window, e.sub, depth));
    }
    gtk_menu_shell_append(GTK_MENU_SHELL(shell), item);
  }
  gtk_widget_show_all(shell);
}

// Whether the shell's items still stand for the menu's entries one for one
// (the same kinds in the same places); else it is built again.
bool SameShape(GtkWidget* shell, HMENU menu, bool inBar) {
  GList* children = gtk_container_get_children(GTK_CONTAINER(shell));
  int position = 0;
  const int count = GetMenuItemCount(menu);
  bool same = true;
  GList* child = children;
  for (; position < count && same; ++position) {
    const MenuEntry e = ReadEntry(menu, position);
    if (e.separator && inBar) {
      continue;
    }
    if (child == nullptr) {
      same = false;
      break;
    }
    auto* item = static_cast<GtkWidget*>(child->data);
    GtkWidget* sub = gtk_menu_item_get_submenu(GTK_MENU_ITEM(item));
    const bool check = e.sub == nullptr && !inBar && (e.state & MF_CHECKED) != 0;
    same =
        GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), kPositionKey)) == position &&
        (GTK_IS_SEPARATOR_MENU_ITEM(item) != 0) == e.separator &&
        (GTK_IS_CHECK_MENU_ITEM(item) != 0) == check &&
        (sub != nullptr ? g_object_get_data(G_OBJECT(sub), kMenuKey) == e.sub : e.sub == nullptr) &&
        (e.sub != nullptr || e.separator ||
         GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), kIdKey)) == e.id + 1);
    child = child->next;
  }
  same = same && child == nullptr;
  g_list_free(children);
  return same;
}

// Brings the shell's items up to the menu's state, building them again when
// entries came or went.
void Refresh(HWND window, GtkWidget* shell, HMENU menu, bool inBar) {
  if (GetMenuItemCount(menu) < 0) {
    return;
  }
  if (!SameShape(shell, menu, inBar)) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(shell));
    for (GList* c = children; c != nullptr; c = c->next) {
      gtk_widget_destroy(static_cast<GtkWidget*>(c->data));
    }
    g_list_free(children);
    FillShell(window, menu, shell, inBar, 0);
    return;
  }
  GList* children = gtk_container_get_children(GTK_CONTAINER(shell));
  for (GList* c = children; c != nullptr; c = c->next) {
    auto* item = static_cast<GtkWidget*>(c->data);
    const int position = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), kPositionKey));
    SetItemState(item, ReadEntry(menu, position));
  }
  g_list_free(children);
}

void OnMenuShow(GtkWidget* menu, gpointer data) {
  // The keyboard now goes to the menu: what was held down is let go here,
  // since its release will not come to the window.
  ReleaseKeys();
  auto* hmenu = static_cast<HMENU>(g_object_get_data(G_OBJECT(menu), kMenuKey));
  if (Find(HandleOf(data)) != nullptr) {
    Refresh(HandleOf(data), menu, hmenu, false);
  }
}

void RefreshBars() {
  for (auto& [handle, w] : TheDisplay().windows) {
    if (w->bar != nullptr && w->menu != nullptr) {
      // Not while the user is in the menu: its items are in use.
      if (gtk_menu_shell_get_selected_item(GTK_MENU_SHELL(w->bar)) == nullptr) {
        Refresh(handle, w->bar, w->menu, true);
      }
    }
  }
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

}  // namespace

// ---------------------------------------------------------------------------
// Shared with the dialogs

GtkWidget* NativeWindowOf(HWND window) {
  const NativeWindow* w = Find(window);
  return w != nullptr ? w->window : nullptr;
}

void ReleaseKeys() {
  Display& d = TheDisplay();
  const std::set<UINT> down = std::move(d.keysDown);
  d.keysDown.clear();
  for (const UINT scan : down) {
    InputKey(scan, false, ReportTime());
    NoteReport();
  }
}

void NoteReport() { TheDisplay().reported = true; }

DWORD ReportTime() {
  const guint32 now = gtk_get_current_event_time();
  NoteTime(now);
  return TheDisplay().lastTime;
}

}  // namespace gtk_display

using namespace gtk_display;

// ---------------------------------------------------------------------------
// display.h

bool DisplayOpen() {
  Display& d = TheDisplay();
  if (!d.tried) {
    d.tried = true;
    // X11 first: there a program may place its windows.
    gdk_set_allowed_backends("x11,*");
    // We draw with cairo only: GDK need not load an OpenGL driver at start-up
    // to choose visuals for GL (Mesa's software one alone maps some 40 MB).
    // A GDK_GL the user set is left as it is.
    g_setenv("GDK_GL", "disable", FALSE);
    d.open = gtk_init_check(nullptr, nullptr) != FALSE;
    if (d.open) {
      InstallStyle();
    }
  }
  return d.open;
}

void DisplayScreenSize(LONG* width, LONG* height) {
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* monitor = display != nullptr ? gdk_display_get_primary_monitor(display) : nullptr;
  if (monitor == nullptr && display != nullptr) {
    monitor = gdk_display_get_monitor(display, 0);
  }
  GdkRectangle r{0, 0, 1024, 768};
  if (monitor != nullptr) {
    gdk_monitor_get_geometry(monitor, &r);
  }
  *width = r.width;
  *height = r.height;
}

bool DisplayCreateWindow(HWND window, LPCSTR title, DWORD style, DWORD, const RECT& outer,
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

void DisplaySetGeometry(HWND window, const RECT& outer, const RECT& client) {
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

void DisplayShowWindow(HWND window, int state) {
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

void DisplayActivateWindow(HWND window) {
  NativeWindow* w = Find(window);
  if (w != nullptr && w->shown != SW_HIDE) {
    gtk_window_present_with_time(GTK_WINDOW(w->window), ReportTime());
  }
}

void DisplaySetTitle(HWND window, LPCSTR title) {
  if (NativeWindow* w = Find(window)) {
    gtk_window_set_title(GTK_WINDOW(w->window),
                         Utf8FromAnsi(title != nullptr ? title : "").c_str());
  }
}

void DisplaySetMenu(HWND window, HMENU menu) {
  NativeWindow* w = Find(window);
  if (w == nullptr) {
    return;
  }
  if (menu == w->menu && (menu == nullptr || w->bar != nullptr)) {
    // The bar shown again after a change: it catches up when the program
    // next waits, once however many changes came before.
    return;
  }
  if (w->bar != nullptr) {
    gtk_widget_destroy(w->bar);
    w->bar = nullptr;
  }
  w->menu = menu;
  if (menu == nullptr) {
    SizeArea(w);
    return;
  }
  w->bar = gtk_menu_bar_new();
  gtk_style_context_add_class(gtk_widget_get_style_context(w->bar), "kelpie");
  // Exactly the layer's menu height, whatever the theme and font.
  gtk_widget_set_size_request(w->bar, -1, GetSystemMetrics(SM_CYMENU));
  // Its items come when the program next waits (RefreshBars): a menu being
  // built entry by entry is then built into the bar once.
  gtk_box_pack_start(GTK_BOX(w->box), w->bar, FALSE, FALSE, 0);
  gtk_widget_show_all(w->bar);
  SizeArea(w);
}

void DisplayPresent(HWND window, const DWORD* pixels, LONG width, LONG height, LONG stride,
                    const RECT& dirty) {
  NativeWindow* w = Find(window);
  if (w == nullptr || pixels == nullptr || width <= 0 || height <= 0) {
    return;
  }
  RECT part = dirty;
  if (w->pixels == nullptr || cairo_image_surface_get_width(w->pixels) != width ||
      cairo_image_surface_get_height(w->pixels) != height) {
    // A new size: the whole surface is taken afresh.
    if (w->pixels != nullptr) {
      cairo_surface_destroy(w->pixels);
    }
    w->pixels = cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(width),
                                           static_cast<int>(height));
    part = RECT{0, 0, width, height};
  }
  const LONG left = std::max<LONG>(part.left, 0);
  const LONG top = std::max<LONG>(part.top, 0);
  const LONG right = std::min(part.right, width);
  const LONG bottom = std::min(part.bottom, height);
  if (right <= left || bottom <= top) {
    return;
  }
  // Our pixels are 0x00RRGGBB words, which is cairo's RGB24 as it is.
  cairo_surface_flush(w->pixels);
  unsigned char* data = cairo_image_surface_get_data(w->pixels);
  const int rowBytes = cairo_image_surface_get_stride(w->pixels);
  for (LONG y = top; y < bottom; ++y) {
    std::memcpy(data + static_cast<ptrdiff_t>(y) * rowBytes + static_cast<ptrdiff_t>(left) * 4,
                pixels + static_cast<ptrdiff_t>(y) * stride + left,
                static_cast<size_t>(right - left) * sizeof(DWORD));
  }
  cairo_surface_mark_dirty_rectangle(w->pixels, static_cast<int>(left), static_cast<int>(top),
                                     static_cast<int>(right - left),
                                     static_cast<int>(bottom - top));
  gtk_widget_queue_draw_area(w->area, static_cast<int>(left), static_cast<int>(top),
                             static_cast<int>(right - left), static_cast<int>(bottom - top));
}

void DisplayDestroyWindow(HWND window) {
  Display& d = TheDisplay();
  const auto it = d.windows.find(window);
  if (it == d.windows.end()) {
    return;
  }
  const std::unique_ptr<NativeWindow> w = std::move(it->second);
  d.windows.erase(it);
  if (d.captured == window) {
    DisplayCapturePointer(nullptr);
  }
  gtk_widget_destroy(w->window);
  g_object_unref(w->window);
  if (w->pixels != nullptr) {
    cairo_surface_destroy(w->pixels);
  }
}

void DisplaySetCursor(UINT shape) {
  Display& d = TheDisplay();
  if (d.cursorShape == shape) {
    return;
  }
  d.cursorShape = shape;
  for (auto& [handle, w] : d.windows) {
    ApplyCursor(w.get());
  }
}

void DisplayMovePointer(POINT screen) {
  GdkDisplay* display = gdk_display_get_default();
  GdkSeat* seat = display != nullptr ? gdk_display_get_default_seat(display) : nullptr;
  GdkDevice* pointer = seat != nullptr ? gdk_seat_get_pointer(seat) : nullptr;
  if (pointer != nullptr) {
    gdk_device_warp(pointer, gdk_display_get_default_screen(display), static_cast<gint>(screen.x),
                    static_cast<gint>(screen.y));
  }
}

void DisplayCapturePointer(HWND window) {
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

bool DisplayWait(DWORD milliseconds, const char*) {
  Display& d = TheDisplay();
  d.reported = false;
  RefreshBars();
  if (milliseconds == INFINITE) {
    while (!d.reported) {
      g_main_context_iteration(nullptr, TRUE);
    }
    return true;
  }
  const gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(milliseconds) * 1000;
  while (!d.reported) {
    const gint64 left = deadline - g_get_monotonic_time();
    if (left <= 0) {
      // Whatever is pending still gets its turn.
      while (!d.reported && g_main_context_iteration(nullptr, FALSE)) {
      }
      break;
    }
    // A timer wakes the loop when the time is up.
    const guint timer = g_timeout_add(
        static_cast<guint>((left + 999) / 1000), [](gpointer) { return G_SOURCE_REMOVE; }, nullptr);
    g_main_context_iteration(nullptr, TRUE);
    GSource* source = g_main_context_find_source_by_id(nullptr, timer);
    if (source != nullptr) {
      g_source_destroy(source);
    }
  }
  return d.reported;
}
