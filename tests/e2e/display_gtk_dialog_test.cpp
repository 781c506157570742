// The GTK display's file dialog on a real X server (run under xvfb-run):
// Escape in the chooser leaves taking it down to the layer, and one chooser,
// kept between dialogs, serves them all (GTK keeps part of every chooser it
// builds, so one per Load made the program grow).

#include <gtest/gtest.h>

#include "platform/posix/display_gtk.h"
#include "platform/win32.h"
// After our types, so that GLib keeps our TRUE and FALSE.
#include <gtk/gtk.h>

namespace {

GtkWidget* ShownChooser() {
  GtkWidget* found = nullptr;
  GList* windows = gtk_window_list_toplevels();
  for (GList* w = windows; w != nullptr; w = w->next) {
    auto* widget = static_cast<GtkWidget*>(w->data);
    if (GTK_IS_FILE_CHOOSER_DIALOG(widget) && gtk_widget_get_mapped(widget)) {
      found = widget;
    }
  }
  g_list_free(windows);
  return found;
}

struct Seen {
  GtkWidget* chooser = nullptr;
  bool destroyedOnDelete = false;  // GTK destroyed it while handling the close
};
Seen seen;

void OnDestroy(GtkWidget*, gpointer) {
  GdkEvent* event = gtk_get_current_event();
  if (event != nullptr && event->type == GDK_DELETE) {
    seen.destroyedOnDelete = true;
  }
  if (event != nullptr) {
    gdk_event_free(event);
  }
}

// Once the chooser is up: what Escape does (the dialog's "close" binding).
gboolean PressEscape(gpointer) {
  GtkWidget* chooser = ShownChooser();
  if (chooser == nullptr) {
    return G_SOURCE_CONTINUE;
  }
  seen.chooser = chooser;
  g_signal_connect(chooser, "destroy", G_CALLBACK(OnDestroy), nullptr);
  g_signal_emit_by_name(chooser, "close");
  return G_SOURCE_REMOVE;
}

// GetOpenFileNameA, cancelled with Escape once its chooser shows.
BOOL OpenAndEscape() {
  char name[260] = {};
  OPENFILENAMEA ofn{};
  ofn.lStructSize = static_cast<DWORD>(OPENFILENAME_SIZE_VERSION_400A);
  ofn.lpstrFile = name;
  ofn.nMaxFile = sizeof name;
  ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
  seen = Seen{};
  g_timeout_add(20, PressEscape, nullptr);
  return GetOpenFileNameA(&ofn);
}

TEST(GtkFileDialog, EscapeCancelsAndTheChooserServesTheNextDialog) {
  DisplayUse(&GtkDisplay());
  EXPECT_FALSE(OpenAndEscape());
  EXPECT_EQ(CommDlgExtendedError(), 0u);  // a cancel, not a failure
  ASSERT_NE(seen.chooser, nullptr);
  EXPECT_FALSE(seen.destroyedOnDelete);
  GtkWidget* first = seen.chooser;
  g_object_add_weak_pointer(G_OBJECT(first), reinterpret_cast<gpointer*>(&first));

  EXPECT_FALSE(OpenAndEscape());
  EXPECT_FALSE(seen.destroyedOnDelete);
  ASSERT_NE(first, nullptr) << "the first chooser is gone";
  EXPECT_EQ(seen.chooser, first);
  g_object_remove_weak_pointer(G_OBJECT(first), reinterpret_cast<gpointer*>(&first));
}

}  // namespace
