// GDI part of our Win32 subset: device contexts, bitmaps (device-compatible and
// DIB sections of 16, 24 and 32 bits), pens, brushes, stock objects and the
// primitives the drawing service's GDI path calls.
//
// Every bitmap keeps its pixels in a plain buffer; device-compatible bitmaps
// use the layout of a 32-bit DIB (0x00RRGGBB per pixel), so a drawn COLORREF
// reads back bit for bit. The top byte of a 32-bit pixel stays 0.
//
// Handles point at records that a registry vouches for: a stale or made-up
// handle makes a call fail, never crash. Coverage follows GDI as observed:
// Rectangle's one-pixel border is the closed outline through the four
// corner pixels (so a box one pixel wide draws its middle pixels twice, which
// XOR undoes, and a 1x1 box draws nothing); SetPixelV and Rectangle apply the
// context's raster operation, FillRect does not. Objects still selected into a
// context are deleted once the last context lets go of them. Only solid pens
// one pixel wide are supported; other pens cannot be made. The display
// context has no pixels of its own: drawing on it is accepted and dropped.
#pragma once

#include "platform/posix/win32_types.h"

struct DEVMODEA;

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
};

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

// GetObjectType results.
#define OBJ_PEN 1
#define OBJ_BRUSH 2
#define OBJ_FONT 6
#define OBJ_DC 3
#define OBJ_BITMAP 7
#define OBJ_MEMDC 10

// Stock objects.
#define WHITE_BRUSH 0
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define SYSTEM_FONT 13
#define DEFAULT_GUI_FONT 17

#define PS_SOLID 0
#define PS_NULL 5

// Raster operations (SetROP2): every function of pen and destination.
#define R2_BLACK 1
#define R2_NOTMERGEPEN 2
#define R2_MASKNOTPEN 3
#define R2_NOTCOPYPEN 4
#define R2_MASKPENNOT 5
#define R2_NOT 6
#define R2_XORPEN 7
#define R2_NOTMASKPEN 8
#define R2_MASKPEN 9
#define R2_NOTXORPEN 10
#define R2_NOP 11
#define R2_MERGENOTPEN 12
#define R2_COPYPEN 13
#define R2_MERGEPENNOT 14
#define R2_MERGEPEN 15
#define R2_WHITE 16

#define TRANSPARENT 1
#define OPAQUE 2
#define TA_NOUPDATECP 0
#define TA_UPDATECP 1

#define BI_RGB 0
#define DIB_RGB_COLORS 0
#define CLR_INVALID 0xFFFFFFFFu
#define GDI_ERROR 0xFFFFFFFFu

// GetDeviceCaps indexes.
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12

HDC CreateDCA(LPCSTR driver, LPCSTR device, LPCSTR port, const DEVMODEA* mode);
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
int GetDeviceCaps(HDC dc, int index);

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
HBRUSH CreateSolidBrush(COLORREF colour);
HPEN CreatePen(int style, int width, COLORREF colour);
HGDIOBJ GetStockObject(int which);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
int GetObjectA(HANDLE object, int size, LPVOID out);
DWORD GetObjectType(HGDIOBJ object);

int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL SetPixelV(HDC dc, int x, int y, COLORREF colour);
COLORREF GetPixel(HDC dc, int x, int y);
int SetROP2(HDC dc, int rop);
int GetROP2(HDC dc);
int SetBkMode(HDC dc, int mode);
COLORREF SetBkColor(HDC dc, COLORREF colour);
COLORREF SetTextColor(HDC dc, COLORREF colour);
UINT SetTextAlign(HDC dc, UINT align);
// Drawing here is never batched: there is nothing to flush.
BOOL GdiFlush();

// Window device contexts and icons belong to the window part (user.h), which
// makes them through gdi_internal.h.
#define ERROR_INVALID_WINDOW_HANDLE 1400
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
BOOL DestroyIcon(HICON icon);
