// The one platform include of viewer/ and toolkit/.
//
// On Windows it is the system's own headers; elsewhere it declares our Win32
// subset (platform/posix/), which implements exactly what the toolkit calls.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// Common controls and OLE: outside what the lean windows.h declares.
#include <commctrl.h>
#include <ole2.h>
// Common dialogs, and DirectInput 7's declarations (the library itself is
// loaded at run time).
#include <commdlg.h>
#include <cderr.h>
#define DIRECTINPUT_VERSION 0x0700
#include <dinput.h>
#else
#include "platform/posix/win32_types.h"
#include "platform/posix/kernel.h"
#include "platform/posix/gdi.h"
#include "platform/posix/user.h"
#include "platform/posix/comdlg.h"
#include "platform/posix/dinput.h"
#endif

// Direct pixel access to a device context: the one extension to Win32.
//
// Where the platform lets a caller see a device context's pixels, GetDCPixels
// fills `pixels` and answers TRUE; the drawing service then writes and reads
// them directly instead of going through GDI. `bits` points at the pixel that
// the context's (0, 0) shows, rows run top-down `stride` pixels apart, and each
// pixel is a 32-bit 0x00RRGGBB value (the layout of a 32-bit DIB). Only pixels
// with 0 <= x < width and 0 <= y < height belong to the context.
struct DC_PIXELS {
  DWORD* bits;
  LONG width;
  LONG height;
  LONG stride;
};

#ifdef _WIN32
// Real GDI keeps a context's pixels to itself: drawing goes through GDI.
inline BOOL GetDCPixels(HDC, DC_PIXELS*) { return FALSE; }
#else
BOOL GetDCPixels(HDC dc, DC_PIXELS* pixels);
#endif
