// What the window part needs from GDI beyond Win32's own calls: device
// contexts over pixels that GDI does not own (a window's share of its
// top-level window's client surface), copying a bitmap into a context, and
// brushes and fonts that DeleteObject leaves alone. Only platform/posix uses it.
#pragma once

#include "platform/posix/gdi.h"
#include "platform/posix/win32_types.h"

// 32-bit 0x00RRGGBB pixels, rows top-down `stride` pixels apart, owned by the
// caller.
struct GdiSurface {
  DWORD* bits;
  LONG width;
  LONG height;
  LONG stride;
};

// A display context drawing onto `surface`: its (0, 0) is the surface pixel
// `origin`, and only surface pixels inside `clip` (surface coordinates) are
// drawn or read. The pixels must stay where they are while the context lives;
// when they move (a resized surface) `GdiRetargetSurfaceDC` aims it again.
// `GdiDeleteSurfaceDC` ends it. GetDCPixels answers for such a context when
// the clip starts at or before its origin.
HDC GdiCreateSurfaceDC(const GdiSurface& surface, POINT origin, RECT clip);
void GdiRetargetSurfaceDC(HDC dc, const GdiSurface& surface, POINT origin, RECT clip);
BOOL GdiDeleteSurfaceDC(HDC dc);

// Copies the `cx` x `cy` pixels at the top-left of `bitmap` to (x, y) of the
// context, clipped to both; FALSE when either handle is not one.
BOOL GdiCopyBitmap(HDC dc, int x, int y, HBITMAP bitmap, int cx, int cy);

// A solid brush that DeleteObject does not destroy (system colour brushes).
HBRUSH GdiCreatePermanentBrush(COLORREF colour);
