// Live window sizing: when full-window dragging is on, the toolkit sizes a
// window with a loop of its own, fed by the ordinary mouse and key messages
// that EventWait dispatches, instead of the platform's modal loop.
#pragma once

#include "platform/win32.h"

// Made by WindowLibraryInit.
void SizingLibraryInit();

// First stage of every toolkit window's procedure: a result, or
// DEFAULT_PROCESSING to let the rest of the procedure handle the message.
LRESULT LiveSizingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// True while a sizing loop runs.
bool SizingActive();
