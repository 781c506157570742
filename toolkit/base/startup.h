// The toolkit's fixed start-up and shut-down order. The entry routine makes
// the program heap and stores the module handle first (runtime.h).
#pragma once

// Starts every library in order (strings, lists, drawing, files, windows,
// gadgets, images, memory, menus), then the platform's common controls and
// COM. The keyboard library starts on its own, at its first use.
void ToolkitStart();

// Ends the libraries in order: memory, keyboard, full screen, images, gadgets,
// windows, files, lists. Images go before the windows that show them and files
// after the windows; every step runs whatever happened before.
void ToolkitEnd();

// Common controls, then COM; never undone.
void PlatformInit();

// The full-screen library's end routines. This program never opens a screen,
// so both find nothing to release.
void ScreenLibraryEnd();
void ScreenAuxiliaryEnd();
