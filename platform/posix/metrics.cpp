// System metrics and parameters, and the display they are measured on.

#include "platform/posix/display.h"
#include "platform/posix/user_internal.h"

using namespace user;

int GetSystemMetrics(int index) {
  LONG screenWidth = 1024;
  LONG screenHeight = 768;
  if (DisplayOpen()) {
    DisplayScreenSize(&screenWidth, &screenHeight);
  }
  const int cx = static_cast<int>(screenWidth);
  const int cy = static_cast<int>(screenHeight);
  switch (index) {
    case SM_CXSCREEN:
    case SM_CXVIRTUALSCREEN:
    case SM_CXFULLSCREEN:
      return cx;
    case SM_CYSCREEN:
    case SM_CYVIRTUALSCREEN:
      return cy;
    case SM_CYFULLSCREEN:
      return cy - kCaption;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
      return 16;
    case SM_CYCAPTION:
      return kCaption;
    case SM_CYSMCAPTION:
      return kSmallCaption;
    case SM_CXBORDER:
    case SM_CYBORDER:
      return kBorder;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
      return kFixedFrame;
    case SM_CXFRAME:
    case SM_CYFRAME:
      return kSizeFrame;
    case SM_CXEDGE:
    case SM_CYEDGE:
      return kEdge;
    case SM_CXPADDEDBORDER:
      return 0;
    case SM_CYMENU:
      return kMenuBar;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
      return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
      return 16;
    case SM_CXSIZE:
    case SM_CYSIZE:
      return kCaption;
    case SM_CXMIN:
    case SM_CXMINTRACK:
      return 112;
    case SM_CYMIN:
    case SM_CYMINTRACK:
      return kCaption + 2 * kSizeFrame;
    case SM_CXMAXTRACK:
      return cx + 2 * kSizeFrame + 4;
    case SM_CYMAXTRACK:
      return cy + 2 * kSizeFrame + 4;
    case SM_CXMAXIMIZED:
      return cx + 2 * kSizeFrame;
    case SM_CYMAXIMIZED:
      return cy + 2 * kSizeFrame;
    case SM_CXMINIMIZED:
      return kMinimizedWidth;
    case SM_CYMINIMIZED:
      return kCaption + 4;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
    case SM_CXDRAG:
    case SM_CYDRAG:
      return 4;
    case SM_MOUSEPRESENT:
    case SM_CMONITORS:
      return 1;
    default:  // SM_SWAPBUTTON and what nothing here asks for
      return 0;
  }
}

UINT GetDoubleClickTime() { return 500; }

BOOL SystemParametersInfoA(UINT action, UINT param, PVOID value, UINT) {
  // Windows show their contents while they are dragged, unless told not to.
  static BOOL dragFullWindows = TRUE;
  switch (action) {
    case SPI_SETDRAGFULLWINDOWS:
      dragFullWindows = param != 0 ? TRUE : FALSE;
      return TRUE;
    case SPI_GETDRAGFULLWINDOWS:
      if (value == nullptr) {
        return FALSE;
      }
      *static_cast<BOOL*>(value) = dragFullWindows;
      return TRUE;
    case SPI_GETWORKAREA:
      if (value == nullptr) {
        return FALSE;
      }
      *static_cast<RECT*>(value) =
          RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
      return TRUE;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
  }
}
