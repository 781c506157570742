// The GTK display's modal dialogs.
//
// Implements (DisplayOperations, display.h): showMessageBox (a GtkMessageDialog: the
// caption, the text, the buttons asked for in their order with their ids as
// responses, the default button focused, the icon of the MB_ICON style;
// Escape and the close box reported as such, the close box offered only
// where the box may be closed), showFileDialog (a
// GtkFileChooserDialog for opening or saving, one kept hidden between
// dialogs: the title, the type list with its entry in use, the folder or the
// current directory, the proposed name, several files where
// OFN_ALLOWMULTISELECT asks, the overwrite question where OFN_OVERWRITEPROMPT
// does), refuseFile (a message over the
// chooser, which stays up), closeDialog. Both are modal and
// transient for their owner's window; none runs a loop of its own: the
// user's answer is reported through InputMessageBoxAction or
// InputFileDialogAnswer while the layer waits in wait. Paths are
// handed back as the file system's bytes, never as URIs or display names.

#include <memory>
#include <string>
#include <vector>

#include "platform/posix/comdlg.h"
#include "platform/posix/display.h"
#include "platform/posix/display_gtk_internal.h"
#include "platform/posix/input.h"

namespace gtk_display {

namespace {

struct OpenDialog {
  GtkWidget* widget = nullptr;  // a reference of ours: valid until closeDialog
  bool box = false;
  std::vector<GtkFileFilter*> filters;  // the type list, in order
  size_t filter = 0;                    // the entry in use as it opened
};

// GTK keeps some kilobytes of every file chooser it builds after the chooser
// is destroyed, so a chooser made per dialog makes the program grow with
// every Load. One chooser, hidden between uses, serves every file dialog
// that is not nested in another; it holds a reference of its own.
GtkWidget* spareChooser = nullptr;
constexpr char kDestroyedKey[] = "kelpie-destroyed";

void OnChooserDestroy(GtkWidget* chooser, gpointer) {
  g_object_set_data(G_OBJECT(chooser), kDestroyedKey, GINT_TO_POINTER(1));
  if (chooser == spareChooser) {
    spareChooser = nullptr;
    g_object_unref(chooser);
  }
}

std::vector<OpenDialog>& Dialogs() {
  static auto* dialogs = new std::vector<OpenDialog>;
  return *dialogs;
}

// Reports concern the dialog on top; anything else has no say.
bool OnTop(gpointer dialog) {
  return !Dialogs().empty() && Dialogs().back().widget == static_cast<GtkWidget*>(dialog);
}

GtkWindow* ParentFor(HWND owner) {
  // A nested dialog goes over the one below it.
  if (!Dialogs().empty()) {
    return GTK_WINDOW(Dialogs().back().widget);
  }
  GtkWidget* native = NativeWindowOf(owner);
  return native != nullptr ? GTK_WINDOW(native) : nullptr;
}

// GtkDialog destroys itself after reporting a delete event (Escape, the close
// box): the layer closes its dialogs, and only after it has taken the report.
gboolean KeepUntilClosed(GtkWidget*, GdkEvent*, gpointer) { return TRUE; }

// The dialog joins the stack, holding it against a destroy from elsewhere
// (destroy-with-parent) until closeDialog.
void Push(OpenDialog d) {
  g_object_ref(d.widget);
  Dialogs().push_back(std::move(d));
}

void Place(GtkWidget* dialog, GtkWindow* parent) {
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  if (parent != nullptr) {
    gtk_window_set_transient_for(GTK_WINDOW(dialog), parent);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
    gtk_window_set_destroy_with_parent(GTK_WINDOW(dialog), TRUE);
  } else {
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
  }
}

// --- Message box -------------------------------------------------------------

const char* ButtonLabel(int id) {
  switch (id) {
    case IDOK:
      return "_OK";
    case IDCANCEL:
      return "_Cancel";
    case IDABORT:
      return "_Abort";
    case IDRETRY:
      return "_Retry";
    case IDIGNORE:
      return "_Ignore";
    case IDYES:
      return "_Yes";
    case IDNO:
      return "_No";
    case IDTRYAGAIN:
      return "_Try Again";
    case IDCONTINUE:
      return "C_ontinue";
    default:
      return "?";
  }
}

GtkMessageType MessageType(UINT style) {
  switch (style & MB_ICONMASK) {
    case MB_ICONHAND:
      return GTK_MESSAGE_ERROR;
    case MB_ICONQUESTION:
      return GTK_MESSAGE_QUESTION;
    case MB_ICONEXCLAMATION:
      return GTK_MESSAGE_WARNING;
    case MB_ICONASTERISK:
      return GTK_MESSAGE_INFO;
    default:
      return GTK_MESSAGE_OTHER;
  }
}

void OnBoxResponse(GtkDialog* dialog, gint response, gpointer) {
  if (!OnTop(dialog)) {
    return;
  }
  // Escape reaches the layer through the key handler; a delete event left
  // here is the close box.
  InputMessageBoxAction(response == GTK_RESPONSE_DELETE_EVENT ? INPUT_BOX_CLOSE : response);
  NoteReport();
}

gboolean OnBoxKey(GtkWidget* dialog, GdkEventKey* event, gpointer) {
  if (event->keyval != GDK_KEY_Escape || !OnTop(dialog)) {
    return FALSE;
  }
  InputMessageBoxAction(INPUT_BOX_ESCAPE);
  NoteReport();
  return TRUE;
}

// --- File dialog -------------------------------------------------------------

// A message over the chooser that goes when it is answered.
void ShowProblem(GtkWindow* over, const std::string& text, const std::string& detail) {
  GtkWidget* message = gtk_message_dialog_new(over, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR,
                                              GTK_BUTTONS_OK, "%s", text.c_str());
  if (!detail.empty()) {
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(message), "%s", detail.c_str());
  }
  Place(message, over);
  g_signal_connect(message, "response", G_CALLBACK(gtk_widget_destroy), nullptr);
  gtk_widget_show(message);
}

size_t FilterIndex(const OpenDialog& d, GtkFileChooser* chooser, size_t fallback) {
  GtkFileFilter* chosen = gtk_file_chooser_get_filter(chooser);
  for (size_t i = 0; i < d.filters.size(); ++i) {
    if (d.filters[i] == chosen) {
      return i;
    }
  }
  return fallback;
}

void OnFileResponse(GtkDialog* dialog, gint response, gpointer) {
  if (!OnTop(dialog)) {
    return;
  }
  const OpenDialog& d = Dialogs().back();
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  const size_t filter = FilterIndex(d, chooser, d.filter);
  std::vector<std::string> paths;
  if (response == GTK_RESPONSE_ACCEPT) {
    // The file system's own bytes: a name that is not UTF-8 stays as it is.
    GSList* files = gtk_file_chooser_get_filenames(chooser);
    for (GSList* f = files; f != nullptr; f = f->next) {
      paths.emplace_back(static_cast<const char*>(f->data));
    }
    g_slist_free_full(files, g_free);
    if (paths.empty()) {
      ShowProblem(GTK_WINDOW(dialog), "Only files on this computer can be chosen.", "");
      return;
    }
  }
  InputFileDialogAnswer(paths, filter);
  NoteReport();
}

// The spare chooser when it is free, else a new one; either answers through
// OnFileResponse and stays until closeDialog.
GtkWidget* FreeChooser() {
  if (spareChooser != nullptr) {
    GtkWidget* chooser = spareChooser;
    spareChooser = nullptr;
    // Its own reference goes to the caller.
    return chooser;
  }
  GtkWidget* chooser =
      gtk_file_chooser_dialog_new("", nullptr, GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel",
                                  GTK_RESPONSE_CANCEL, "_Open", GTK_RESPONSE_ACCEPT, nullptr);
  g_object_ref_sink(chooser);
  gtk_dialog_set_default_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
  gtk_file_chooser_set_local_only(GTK_FILE_CHOOSER(chooser), TRUE);
  g_signal_connect(chooser, "response", G_CALLBACK(OnFileResponse), nullptr);
  g_signal_connect(chooser, "delete-event", G_CALLBACK(KeepUntilClosed), nullptr);
  g_signal_connect(chooser, "destroy", G_CALLBACK(OnChooserDestroy), nullptr);
  return chooser;
}

// A chooser that is done with: kept hidden as the spare when there is none,
// else destroyed. Takes over the caller's reference.
void PutAwayChooser(GtkWidget* chooser) {
  const bool destroyed = g_object_get_data(G_OBJECT(chooser), kDestroyedKey) != nullptr;
  if (spareChooser == nullptr && !destroyed) {
    gtk_widget_hide(chooser);
    gtk_window_set_transient_for(GTK_WINDOW(chooser), nullptr);
    spareChooser = chooser;
    return;
  }
  gtk_widget_destroy(chooser);
  g_object_unref(chooser);
}

}  // namespace

namespace ops {

bool ShowMessageBox(const DisplayMessageBoxRequest& request) {
  if (!Open() || request.buttons.empty()) {
    return false;
  }
  GtkWindow* parent = ParentFor(request.owner);
  GtkWidget* box =
      gtk_message_dialog_new(parent, static_cast<GtkDialogFlags>(0), MessageType(request.style),
                             GTK_BUTTONS_NONE, "%s", Utf8FromAnsi(request.text).c_str());
  gtk_window_set_title(GTK_WINDOW(box), Utf8FromAnsi(request.caption).c_str());
  // Wide enough that the window manager has room for the caption.
  gtk_widget_set_size_request(box, 240, -1);
  for (const int id : request.buttons) {
    gtk_dialog_add_button(GTK_DIALOG(box), ButtonLabel(id), id);
  }
  gtk_dialog_set_default_response(GTK_DIALOG(box), request.defaultButton);
  if (!request.closeBox) {
    gtk_window_set_deletable(GTK_WINDOW(box), FALSE);
  }
  Place(box, parent);
  g_signal_connect(box, "response", G_CALLBACK(OnBoxResponse), nullptr);
  g_signal_connect(box, "key-press-event", G_CALLBACK(OnBoxKey), nullptr);
  g_signal_connect(box, "delete-event", G_CALLBACK(KeepUntilClosed), nullptr);
  Push(OpenDialog{box, true, {}});
  ReleaseKeys();
  gtk_widget_show_all(box);
  if (GtkWidget* button =
          gtk_dialog_get_widget_for_response(GTK_DIALOG(box), request.defaultButton)) {
    gtk_widget_grab_focus(button);
  }
  gtk_window_present(GTK_WINDOW(box));
  return true;
}

bool ShowFileDialog(const DisplayFileRequest& request) {
  if (!Open()) {
    return false;
  }
  GtkWindow* parent = ParentFor(request.owner);
  GtkWidget* dialog = FreeChooser();
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_window_set_title(GTK_WINDOW(dialog), Utf8FromAnsi(request.title).c_str());
  gtk_file_chooser_set_action(
      chooser, request.save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN);
  if (GtkWidget* accept =
          gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT)) {
    gtk_button_set_label(GTK_BUTTON(accept), request.save ? "_Save" : "_Open");
  }

  OpenDialog d{dialog, false, {}, request.filter};
  for (const auto& [description, patterns] : request.filters) {
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, Utf8FromAnsi(description).c_str());
    for (const std::string& glob : GlobPatterns(patterns)) {
      gtk_file_filter_add_pattern(filter, glob.c_str());
    }
    g_object_ref_sink(filter);  // kept to tell the entry in use at the end
    gtk_file_chooser_add_filter(chooser, filter);
    d.filters.push_back(filter);
  }
  if (request.filter < d.filters.size()) {
    gtk_file_chooser_set_filter(chooser, d.filters[request.filter]);
  }

  std::string folder = request.folder;
  if (folder.empty()) {
    gchar* current = g_get_current_dir();
    folder = current;
    g_free(current);
  }
  gtk_file_chooser_set_current_folder(chooser, folder.c_str());
  gtk_file_chooser_unselect_all(chooser);  // nothing of the last dialog's choice
  if (request.save) {
    gtk_file_chooser_set_current_name(chooser, Utf8FromAnsi(request.name).c_str());
  } else if (!request.name.empty()) {
    gchar* path = g_build_filename(folder.c_str(), request.name.c_str(), nullptr);
    if (g_file_test(path, G_FILE_TEST_EXISTS) != 0) {
      gtk_file_chooser_select_filename(chooser, path);
    }
    g_free(path);
  }
  gtk_file_chooser_set_select_multiple(
      chooser, !request.save && (request.flags & OFN_ALLOWMULTISELECT) != 0);
  gtk_file_chooser_set_do_overwrite_confirmation(
      chooser, request.save && (request.flags & OFN_OVERWRITEPROMPT) != 0);
  Place(dialog, parent);
  Push(std::move(d));
  g_object_unref(dialog);  // the stack's reference is the one it needs
  ReleaseKeys();
  gtk_widget_show(dialog);
  gtk_window_present(GTK_WINDOW(dialog));
  return true;
}

void RefuseFile(const std::string& path, const char* why) {
  if (Dialogs().empty() || Dialogs().back().box) {
    return;
  }
  gchar* name = g_filename_display_name(path.c_str());
  ShowProblem(GTK_WINDOW(Dialogs().back().widget), why != nullptr ? why : "", name);
  g_free(name);
}

void CloseDialog() {
  if (Dialogs().empty()) {
    return;
  }
  const OpenDialog d = Dialogs().back();
  Dialogs().pop_back();
  if (d.box) {
    gtk_widget_destroy(d.widget);
    g_object_unref(d.widget);
  } else {
    for (GtkFileFilter* filter : d.filters) {
      gtk_file_chooser_remove_filter(GTK_FILE_CHOOSER(d.widget), filter);
    }
    PutAwayChooser(d.widget);
  }
  for (GtkFileFilter* filter : d.filters) {
    g_object_unref(filter);
  }
}

}  // namespace ops

}  // namespace gtk_display
