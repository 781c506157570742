// The basic types, helper macros and error codes of the user-interface part
// of our Win32 subset (user.h includes it).
#pragma once

#include "platform/posix/gdi.h"
#include "platform/posix/win32_types.h"

typedef int16_t SHORT;
typedef WORD ATOM;
typedef WORD* LPWORD;
typedef BYTE* PBYTE;
typedef void* PVOID;
typedef LONG HRESULT;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef POINT* LPPOINT;

struct SIZE {
  LONG cx;
  LONG cy;
};
typedef const RECT* LPCRECT;

DECLARE_HANDLE(HMENU);
DECLARE_HANDLE(HACCEL);
DECLARE_HANDLE(HKL);
DECLARE_HANDLE(HRGN);
typedef HICON HCURSOR;

#define MAKEWORD(a, b)                                    \
  (static_cast<WORD>((static_cast<DWORD_PTR>(a) & 0xff) | \
                     ((static_cast<WORD>(static_cast<DWORD_PTR>(b) & 0xff)) << 8)))
#define MAKELONG(a, b)                                        \
  (static_cast<LONG>(                                         \
      static_cast<WORD>(static_cast<DWORD_PTR>(a) & 0xffff) | \
      (static_cast<DWORD>(static_cast<WORD>(static_cast<DWORD_PTR>(b) & 0xffff)) << 16)))
#define LOWORD(l) (static_cast<WORD>(static_cast<DWORD_PTR>(l) & 0xffff))
#define HIWORD(l) (static_cast<WORD>((static_cast<DWORD_PTR>(l) >> 16) & 0xffff))
#define LOBYTE(w) (static_cast<BYTE>(static_cast<DWORD_PTR>(w) & 0xff))
#define HIBYTE(w) (static_cast<BYTE>((static_cast<DWORD_PTR>(w) >> 8) & 0xff))
#define MAKEWPARAM(l, h) (static_cast<WPARAM>(static_cast<DWORD>(MAKELONG(l, h))))
#define MAKELPARAM(l, h) (static_cast<LPARAM>(static_cast<DWORD>(MAKELONG(l, h))))
#define MAKELRESULT(l, h) (static_cast<LRESULT>(static_cast<DWORD>(MAKELONG(l, h))))
// Win32 passes small numbers where names and handles go (resource ids,
// atoms, the HWND_ placements); one helper makes them, so that the casts
// stay in one place.
namespace win32_detail {
template <typename T>
inline T FromNumber(LONG_PTR value) {
  return reinterpret_cast<T>(value);  // NOLINT(performance-no-int-to-ptr)
}
}  // namespace win32_detail

#define MAKEINTRESOURCEA(i) (win32_detail::FromNumber<LPSTR>(static_cast<WORD>(i)))
#define MAKEINTATOM(i) (win32_detail::FromNumber<LPSTR>(static_cast<WORD>(i)))
#define IS_INTRESOURCE(r) ((static_cast<ULONG_PTR>(reinterpret_cast<ULONG_PTR>(r)) >> 16) == 0)

#define S_OK (static_cast<HRESULT>(0))
#define S_FALSE (static_cast<HRESULT>(1))
#define DRAGDROP_E_NOTREGISTERED (static_cast<HRESULT>(0x80040100))
#define DRAGDROP_E_INVALIDHWND (static_cast<HRESULT>(0x80040102))

#define INFINITE 0xFFFFFFFF
#define WAIT_OBJECT_0 0
#define WAIT_TIMEOUT 258
#define WAIT_FAILED (static_cast<DWORD>(0xFFFFFFFF))

// Errors reported by the window part.
#define ERROR_INVALID_MENU_HANDLE 1401
#define ERROR_INVALID_CURSOR_HANDLE 1402
#define ERROR_INVALID_ACCEL_HANDLE 1403
#define ERROR_WINDOW_OF_OTHER_THREAD 1408
#define ERROR_CHILD_WINDOW_MENU 1436
#define ERROR_NO_SYSTEM_RESOURCES 1450
#define ERROR_INVALID_INDEX 1413
#define ERROR_CLASS_ALREADY_EXISTS 1410
#define ERROR_CLASS_DOES_NOT_EXIST 1411
#define ERROR_CLASS_HAS_WINDOWS 1412
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814
#define ERROR_CANNOT_FIND_WND_CLASS 1407
#define ERROR_INVALID_ICON_HANDLE 1414
#define ERROR_MENU_ITEM_NOT_FOUND 1456
