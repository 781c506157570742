// The GTK 3 display: our windows as real windows on the desktop.
//
// Implements (DisplayOperations, display.h), here:
// - open (gtk_init_check; X11 preferred so that windows can be placed),
//   screenSize (the primary monitor).
// - setMenu: a native GtkMenuBar read through GetMenuItemCount,
//   GetMenuItemID, GetSubMenu, GetMenuStringA and GetMenuState (titles,
//   items, separators, nested submenus, check marks, greyed items
//   insensitive, "&" mnemonics), exactly SM_CYMENU pixels high. The bar's
//   items are made, or brought up to date, whenever the program waits (so a
//   menu built entry by entry is built once); submenus read their state
//   again each time they open.
// - wait: runs GLib's main loop until something was reported or the time is
//   up.
// The windows, their drawing and their input are in display_gtk_window.cpp,
// the modal dialogs in display_gtk_dialog.cpp; every operation is filled.

#include "platform/posix/display_gtk.h"

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/posix/display.h"
#include "platform/posix/display_gtk_internal.h"
#include "platform/posix/input.h"

namespace gtk_display {

namespace {

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

}  // namespace

Display& TheDisplay() {
  static auto* display = new Display;
  return *display;
}

NativeWindow* Find(HWND window) {
  auto& windows = TheDisplay().windows;
  const auto it = windows.find(window);
  return it != windows.end() ? it->second.get() : nullptr;
}

void NoteTime(guint32 time) {
  if (time != 0) {
    TheDisplay().lastTime = time;
  }
}

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

// ---------------------------------------------------------------------------
// The operations

namespace ops {

bool Open() {
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

void ScreenSize(LONG* width, LONG* height) {
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

void SetMenu(HWND window, HMENU menu) {
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

bool Wait(DWORD milliseconds, const char*) {
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

}  // namespace ops

}  // namespace gtk_display

const DisplayOperations& GtkDisplay() {
  namespace ops = gtk_display::ops;
  static constexpr DisplayOperations kTable{
      .open = ops::Open,
      .screenSize = ops::ScreenSize,
      .createWindow = ops::CreateWindow,
      .setGeometry = ops::SetGeometry,
      .showWindow = ops::ShowWindow,
      .activateWindow = ops::ActivateWindow,
      .setTitle = ops::SetTitle,
      .setMenu = ops::SetMenu,
      .present = ops::Present,
      .releasePixels = ops::ReleasePixels,
      .destroyWindow = ops::DestroyWindow,
      .setCursor = ops::SetCursor,
      .movePointer = ops::MovePointer,
      .capturePointer = ops::CapturePointer,
      .wait = ops::Wait,
      .showMessageBox = ops::ShowMessageBox,
      .showFileDialog = ops::ShowFileDialog,
      .refuseFile = ops::RefuseFile,
      .closeDialog = ops::CloseDialog,
  };
  return kTable;
}
