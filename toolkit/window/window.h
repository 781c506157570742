// The window service: top-level windows under object numbers, each with its
// own class, Tab accelerators and gadget list, and the event pump that turns
// the thread's messages into integer event codes, one per EventWait call.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// Event codes. EventWait otherwise returns the retrieved message's own number,
// or 0 after a timeout.
constexpr int32_t EVENT_NONE = 0;
constexpr int32_t EVENT_MOVE = 3;
constexpr int32_t EVENT_SIZE = 5;
constexpr int32_t EVENT_REPAINT = 15;
constexpr int32_t EVENT_CLOSE = 16;
constexpr int32_t EVENT_GADGET = 13100;
constexpr int32_t EVENT_MENU = 13101;
constexpr int32_t EVENT_MOUSE_NOTIFY = 13102;
constexpr int32_t EVENT_ACTIVATE = 13104;
constexpr int32_t EVENT_DROP_WINDOW = 13105;
constexpr int32_t EVENT_DROP_GADGET = 13106;
constexpr int32_t EVENT_MINIMIZE = 13107;
constexpr int32_t EVENT_MAXIMIZE = 13108;
constexpr int32_t EVENT_RESTORE = 13109;

// Private messages of the toolkit (MSG_GADGET_EVENT lives with the gadgets).
constexpr UINT MSG_MOUSE_NOTIFY = 12501;
constexpr UINT MSG_MOUSE_NOTIFY_LATE = 12502;
constexpr UINT MSG_DROP_WINDOW = 13105;
constexpr UINT MSG_DROP_GADGET = 13106;
constexpr UINT MSG_GADGET_PRIVATE = 13120;

// Window procedure results: "not handled, let the platform's default run" and
// "window callback lets the toolkit carry on".
constexpr LRESULT DEFAULT_PROCESSING = static_cast<LRESULT>(0xD0D0D0D1u);
constexpr LRESULT CALLBACK_CONTINUE = static_cast<LRESULT>(0xE0E0E0E1u);

// Commands of the Tab accelerators.
constexpr WORD CMD_FOCUS_NEXT = 64001;
constexpr WORD CMD_FOCUS_PREV = 64002;

// WindowOpen flags beside the window style bits.
constexpr uint32_t WINDOW_CENTRE_SCREEN = 0x1;
constexpr uint32_t WINDOW_CENTRE_PARENT = 0x2;
constexpr uint32_t WINDOW_NO_GADGET_LIST = 0x8;
constexpr uint32_t WINDOW_INVISIBLE = 0x10000000;
constexpr uint32_t WINDOW_FLAGS_DEFAULT = 0xC80000;  // WS_CAPTION | WS_SYSMENU
constexpr int32_t WINDOW_POSITION_DEFAULT = -65535;

void WindowLibraryInit();
// Closes every open window.
void WindowLibraryEnd();

// Opens a window under `number` (OBJECT_ANY: a new dynamic number), closing any
// window that held it. x, y place the outer window (WINDOW_POSITION_DEFAULT:
// the platform chooses); width, height are the client size before any menu
// bar. Returns the window handle for a number, the new number for OBJECT_ANY,
// 0 on failure.
intptr_t WindowOpen(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                    const char* title, uint32_t flags = WINDOW_FLAGS_DEFAULT,
                    HWND parent = nullptr);
HWND WindowHandle(intptr_t number);
// Closes the window with everything the toolkit made for it; nothing happens
// for a number that is not open.
void WindowClose(intptr_t number);
// Minimum and maximum outer size that the window accepts; 0 leaves a bound as
// the platform has it.
void WindowSetBounds(intptr_t number, uint16_t minWidth, uint16_t minHeight, uint16_t maxWidth,
                     uint16_t maxHeight);

// One event per call: a queued window event, the code a dispatched message
// raised, else that message's number; 0 on timeout. timeout -1 waits for ever.
int32_t EventWait(int32_t timeout = -1);
// Menu item id after EVENT_MENU, gadget number after EVENT_GADGET.
intptr_t EventMenuItem();
// Window number of the last event (-1: none of the toolkit's).
intptr_t EventWindow();
// Sub-kind of the last event (-1: none).
int32_t EventType();

LRESULT CALLBACK ToolkitWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT WindowEventProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The accelerator table that applies while `active` is the active window.
HACCEL ActiveAccelerators(HWND active);
// Moves the focus to the next (or previous) tab stop of the active window.
void FocusCycle(bool backward);
// Hands a message about a gadget's control to its kind's message handler, or
// answers DEFAULT_PROCESSING.
LRESULT GadgetForwardMessage(HWND control, HWND parent, UINT message, WPARAM wParam, LPARAM lParam);
