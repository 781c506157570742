// State and helpers shared by the files of the window part (window*.cpp,
// position.cpp, default_proc.cpp, metrics.cpp, focus.cpp, message.cpp,
// input.cpp, paint.cpp, menu.cpp, static_control.cpp, resource.cpp, dialog.cpp).
// Nothing outside platform/posix includes this.
//
// One thread owns every window. Window records are found by handle; a record
// that is destroyed leaves the handle table at once but stays in memory until
// no message is being sent, so a caller that still holds it across a
// SendMessage sees `alive == false` instead of freed memory.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix/gdi_internal.h"
#include "platform/posix/kernel.h"
#include "platform/posix/rect.h"
#include "platform/posix/user.h"

namespace user {

// Handles this layer numbers itself, and handles that messages carry in
// wParam, lParam or a result.
using win32_detail::FromNumber;

template <typename T>
T FromParam(UINT_PTR value) {
  return FromNumber<T>(static_cast<LONG_PTR>(value));
}

// ---------------------------------------------------------------------------
// Frame metrics of this layer (GetSystemMetrics answers with them).

constexpr int kBorder = 1;      // SM_CXBORDER
constexpr int kFixedFrame = 3;  // SM_CXFIXEDFRAME: dialog frame and caption windows
constexpr int kSizeFrame = 4;   // SM_CXFRAME: sizing border
constexpr int kEdge = 2;        // SM_CXEDGE: WS_EX_CLIENTEDGE
constexpr int kCaption = 20;    // SM_CYCAPTION
constexpr int kSmallCaption = 16;
constexpr int kMenuBar = 20;  // SM_CYMENU
constexpr int kMinimizedWidth = 160;
constexpr LONG kIconicPosition = -32000;

// SetWindowPos flags that only the system sets: WM_WINDOWPOSCHANGED says
// with them that the client area kept its size or place, or that the window
// was minimized, maximized or restored.
constexpr UINT kNoClientSize = 0x0800;
constexpr UINT kNoClientMove = 0x1000;
constexpr UINT kStateChanged = 0x8000;

// ---------------------------------------------------------------------------
// Records

struct Class {
  std::string name;  // compared without regard to case
  WNDCLASSA info{};  // lpszClassName points into `name`; lpszMenuName is not kept
  int windows = 0;   // live windows of the class: it cannot be unregistered while > 0
  bool system = false;
};

// The pixels of a top-level window's client area. Window device contexts
// point at `view`, which follows the buffer when the window is resized.
struct Surface {
  std::vector<DWORD> pixels;
  GdiSurface view{};
  void Resize(LONG width, LONG height);
};

struct Window {
  HWND handle = nullptr;
  Class* cls = nullptr;
  WNDPROC proc = nullptr;
  HINSTANCE instance = nullptr;
  std::string text;
  DWORD style = 0;
  DWORD exStyle = 0;
  LONG_PTR id = 0;
  LONG_PTR userData = 0;
  HWND parent = nullptr;       // WS_CHILD windows only
  HWND owner = nullptr;        // top-level windows only
  std::vector<HWND> children;  // z-order, topmost (first created) first
  RECT rect{};    // window rectangle: parent's client coordinates, screen for top-level
  RECT client{};  // client rectangle, same coordinates
  RECT normal{};  // window rectangle to restore while minimized or maximized
  HMENU menu = nullptr;
  std::vector<std::pair<std::string, HANDLE>> props;
  std::vector<BYTE> extra;

  // Paint: the update region is kept as one rectangle (client coordinates).
  bool updatePending = false;
  RECT update{};
  bool erasePending = false;
  bool eraseUnhandled = false;  // the last WM_ERASEBKGND returned 0: BeginPaint sets fErase
  bool internalPaint = false;

  bool needSize = false;          // overlapped windows get WM_SIZE and WM_MOVE at their first show
  bool restoreMaximized = false;  // minimized from the maximized state
  bool alive = true;
  bool destroying = false;

  // Top-level windows: the client surface and the display's native window.
  std::shared_ptr<Surface> surface;
  bool native = false;

  // STATIC controls.
  HFONT font = nullptr;
  HANDLE image = nullptr;
};

// The window table: every live record by handle, and destroyed records kept
// until no message is being sent (window.cpp).
struct WindowTable {
  std::map<HWND, std::unique_ptr<Window>> windows;
  std::vector<std::unique_ptr<Window>> graveyard;
  uintptr_t nextHandle = 0x10020;
  int sendDepth = 0;  // window procedures running
};
WindowTable& TheWindowTable();

// The top-level windows in z-order, topmost first (window.cpp).
std::vector<HWND>& TopLevels();

// Who has the keyboard focus, the activation and the mouse (focus.cpp).
struct Activation {
  HWND focus = nullptr;
  HWND active = nullptr;
  HWND capture = nullptr;
  bool foreground = false;  // this program has the user's focus
};
Activation& TheActivation();

// The live window with that handle, or null. Find also sets the last error.
Window* Peek(HWND window);
Window* Find(HWND window);
HWND TopLevelOf(HWND window);
bool IsVisibleTree(const Window* window);  // it and all its ancestors have WS_VISIBLE
bool IsEnabledTree(const Window* window);
bool IsTopLevel(const Window* window);
bool HasMenuBar(const Window* window);  // a top-level window with a menu

// Frees destroyed records once no message is being sent.
void ReapDestroyed();

// Geometry.
POINT ClientOriginOnScreen(const Window* window);
RECT ScreenRect(const Window* window);  // window rectangle on the screen
RECT NonClientInsets(DWORD style, DWORD exStyle, bool menuBar);
RECT ClientFromWindow(const RECT& window, DWORD style, DWORD exStyle, bool menuBar);
// The window's client area in its top-level window's client coordinates,
// clipped by every ancestor's client area.
bool ClipInTopClient(const Window* window, RECT* clip, POINT* origin);

// The visible, enabled window under a screen point inside `top`, asking
// WM_NCHITTEST as Win32 does; HTTRANSPARENT passes the point on.
HWND WindowAtPoint(HWND top, POINT screen, int* hitTest);

// Messages.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Sends a message and gives back the window's record as it is afterwards:
// null when the window was destroyed while the message ran. `result`, when
// given, receives what the window procedure returned.
Window* SendAndPeek(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                    LRESULT* result = nullptr);
WPARAM SizeKind(const Window* window);  // WM_SIZE's kind for the window's state
void SendSizeAndMove(Window* window);   // the WM_SIZE and WM_MOVE a window's state asks for
bool SetWindowPosInternal(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
void MinMaxInfo(Window* window, MINMAXINFO* info);

// Focus and activation (focus.cpp).
void ActivateWindow(HWND window, bool byMouse);  // null deactivates
void ActivateOther(HWND leaving);
void ForgetWindow(HWND window);  // drops focus, capture and activation before destruction

// Paint (paint.cpp).
void InvalidateClient(Window* window, const RECT* rect, bool erase, bool children);
void ValidateClient(Window* window, const RECT* rect, bool children);
void EraseNow(Window* window);
void PaintNow(Window* window, bool children);
HWND NextWindowToPaint(HWND filter);
void PresentClient(Window* window, const RECT& clipInTop);
void SurfaceFollowClient(Window* top);
HBRUSH ClassBrush(HBRUSH brush);  // COLOR_* + 1 values become system colour brushes

// Menus (menu.cpp).
bool MenuExists(HMENU menu);
void MenuDestroyTree(HMENU menu);

// Message queue and input (message.cpp, input.cpp).
struct InputEvent {
  enum Kind { kKey, kMouse, kNonClient } kind = kKey;
  UINT message = 0;  // WM_KEYDOWN/WM_KEYUP for keys; the client-area mouse message for mice
  UINT scan = 0;     // DirectInput numbering
  UINT vk = 0;
  HWND target = nullptr;  // kNonClient: the window; kMouse: the top-level (or null)
  POINT screen{};
  int hitTest = HTCLIENT;
  DWORD time = 0;
};
void QueueInput(const InputEvent& event);
void PurgeWindowMessages(HWND window);
bool QueueHasMessages(UINT wakeMask);
void KeyStateAfterRetrieval(const MSG& message, const InputEvent& event);
void AsyncKeyState(UINT vk, bool down);
UINT ScanToVirtualKey(UINT scan);  // DirectInput numbering
LPARAM KeyLParam(UINT scan, bool down, bool wasDown, bool alt);
bool KeyIsDown(UINT vk);
bool KeyWasDownAsync(UINT vk);
DWORD Now();
POINT CursorPosition();
void SetCursorPosition(POINT screen);
DWORD LastMessageTime();

// System colours.
COLORREF SysColor(int index);

// Icons made by CreateIconIndirect (resource.cpp): draws one where its mask
// is black; false for anything that is no such icon.
bool IconDraw(HDC dc, int x, int y, HICON icon, int cx, int cy);

// Classes (window_class.cpp): the class of that name or atom, or null; the
// classes registered by the layer itself are made on first use.
Class* FindClass(LPCSTR name);
void RegisterSystemClasses();
LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace user
