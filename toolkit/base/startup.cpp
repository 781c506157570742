#include "toolkit/base/startup.h"

#include "platform/win32.h"
#include "toolkit/base/list.h"
#include "toolkit/base/memory.h"
#include "toolkit/base/string.h"
#include "toolkit/gfx/draw.h"
#include "toolkit/gfx/gadget.h"
#include "toolkit/gfx/image.h"
#include "toolkit/input/keyboard.h"
#include "toolkit/io/file.h"
#include "toolkit/window/menu.h"
#include "toolkit/window/window.h"

void PlatformInit() {
  InitCommonControls();
  CoInitialize(nullptr);
}

void ToolkitStart() {
  StringLibraryInit();
  ListLibraryInit();
  DrawLibraryInit();
  FileLibraryInit();
  WindowLibraryInit();
  GadgetLibraryInit();
  ImageLibraryInit();
  MemoryLibraryInit();
  MenuLibraryInit();
  PlatformInit();
}

// This program never opens a full screen: its started flag stays clear and no
// auxiliary library is loaded, so both end routines have nothing to do.
void ScreenLibraryEnd() {}
void ScreenAuxiliaryEnd() {}

void ToolkitEnd() {
  MemoryLibraryEnd();
  KeyboardLibraryEnd();
  ScreenLibraryEnd();
  ScreenAuxiliaryEnd();
  ImageLibraryEnd();
  GadgetLibraryEnd();
  WindowLibraryEnd();
  FileLibraryEnd();
  ListLibraryEnd();
}
