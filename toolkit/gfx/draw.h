// The drawing service: one open drawing at a time on a draw target, with
// filled boxes and pixel reads in Colours (0x00BBGGRR).
//
// Where the platform exposes the target's pixels (GetDCPixels) the service
// writes and reads them directly; otherwise it goes through GDI. Both paths
// cover exactly the same pixels with exactly the same values.
#pragma once

#include <cstdint>

#include "platform/win32.h"

constexpr int32_t DRAW_TARGET_WINDOW = 1;
constexpr int32_t DRAW_TARGET_IMAGE = 2;

constexpr int32_t DRAW_MODE_TRANSPARENT = 1;
constexpr int32_t DRAW_MODE_XOR = 2;
constexpr int32_t DRAW_MODE_OUTLINED = 4;

constexpr uint32_t DRAW_COLOUR_INVALID = 0xFFFFFFFF;

using DrawRelease = void (*)();

// Kind 1 takes its context from GetDC(window) and gives it back with
// ReleaseDC; kind 2 draws on `deviceContext` and DrawEnd calls `release`; for
// any other kind DrawEnd deletes the context itself.
struct DrawTarget {
  int32_t kind;         // DRAW_TARGET_WINDOW or DRAW_TARGET_IMAGE
  HWND window;          // kind 1 only
  HDC deviceContext;    // every kind but 1
  DrawRelease release;  // called by DrawEnd for kind 2
  intptr_t furtherWords[8];
};

void DrawLibraryInit();

// The new drawing's device context, or 0 when none could be opened. Any open
// drawing is ended first.
HDC DrawBegin(const DrawTarget* target);
void DrawEnd();
// Fills the w x h box whose top-left pixel is (x, y); a negative size extends
// left of x (above y), a zero size draws nothing. With DRAW_MODE_XOR pixels are
// combined by exclusive or, with DRAW_MODE_OUTLINED only the border is drawn.
void DrawBox(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);
// The Colour at (x, y), or DRAW_COLOUR_INVALID outside the target or when no
// drawing is open.
uint32_t DrawReadPixel(int32_t x, int32_t y);
void DrawSetMode(int32_t bits);
// The open drawing's device context, or 0: lets a target's owner end the
// drawing before it takes the context away.
HDC DrawContext();
