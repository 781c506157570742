// The program on a Linux desktop: its windows go to the GTK display.

#include "platform/posix/display_gtk.h"
#include "platform/win32.h"
#include "viewer/app/app.h"

int main() {
  DisplayUse(&GtkDisplay());
  ExitProcess(static_cast<UINT>(KelpieMain(GetCommandLineA())));
}
