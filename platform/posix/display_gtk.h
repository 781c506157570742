// The GTK 3 display (display.h), for the program on a desktop.
#pragma once

#include "platform/posix/display.h"

// The GTK display's operations, every one filled; install with DisplayUse.
const DisplayOperations& GtkDisplay();
