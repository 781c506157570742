#include "viewer/app/app.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "toolkit/base/memory.h"
#include "toolkit/base/runtime.h"
#include "toolkit/base/startup.h"
#include "toolkit/base/string.h"
#include "toolkit/gfx/gadget.h"
#include "toolkit/gfx/image.h"
#include "toolkit/gfx/image_gadget.h"
#include "toolkit/input/keyboard.h"
#include "toolkit/io/file.h"
#include "toolkit/io/requester.h"
#include "toolkit/window/menu.h"
#include "toolkit/window/window.h"
#include "viewer/app/command_line.h"
#include "viewer/render/render.h"
#include "viewer/render/screen.h"

namespace {

constexpr const char* kTitle = "Kelpie v0.2";
constexpr const char* kInfoTitle = "Info";
constexpr const char* kInfoText = "Kelpie  ";
constexpr const char* kLoadTitle = "Please choose file to load";
constexpr const char* kLoadPattern = "*.*|*.*;";
constexpr int32_t kWindowX = 50;
constexpr int32_t kWindowY = 50;
constexpr int32_t kClientHeight = 596;  // the menu bar takes its height from this

// Everything the program keeps, zeroed at start.
struct ProgramGlobals {
  HANDLE programHeap;
  HMODULE moduleHandle;
  uint32_t* palette;
  uint32_t* cellColours;
  uint8_t* screen;
  int32_t seamColourMode;
  int32_t quitFlag;
  char* defaultFile;  // never assigned: the requester gets no default
  char* filePattern;
  int32_t patternPosition;
  char* chosenPath;
  char* typedKey;
};

ProgramGlobals globals;

void AllocateArray(uint32_t** variable, int32_t upperIndex) {
  ArrayFree(*variable);
  ArrayAllocate(upperIndex, sizeof(uint32_t), 0, reinterpret_cast<void**>(variable), 5);
}

void BuildMenu() {
  if (MenuCreate(MAIN_MENU, WindowHandle(MAIN_WINDOW)) == 0) {
    return;
  }
  MenuAddTitle("File");
  MenuAddItem(MENU_LOAD, "&Load...");
  MenuAddItem(MENU_SAVE, "Save");
  MenuAddItem(MENU_SAVE_AS, "Save As...");
  MenuAddBar();
  MenuOpenSub("Recents");
  MenuAddItem(MENU_LUMEN, "Lumen.png");
  MenuAddItem(MENU_SLATE, "Slate.jpg");
  MenuOpenSub("Even more !");
  MenuAddItem(MENU_YEAH, "Yeah");
  MenuCloseSub();
  MenuAddItem(MENU_ROCKS, "Rocks.tga");
  MenuCloseSub();
  MenuAddBar();
  MenuAddItem(MENU_QUIT, "&Quit");
  MenuAddTitle("Edition");
  MenuAddItem(MENU_CUT, "Cut");
  MenuAddItem(MENU_COPY, "Copy");
  MenuAddItem(MENU_PASTE, "Paste");
  MenuAddTitle("?");
  MenuAddItem(MENU_ABOUT, "About");
}

void ShowScreen() {
  GadgetSetState(SCREEN_GADGET, reinterpret_cast<intptr_t>(ImageHandle(SCREEN_IMAGE)));
}

// The rest of a Load once a path is chosen; "" is a cancelled choice.
void LoadChosenPath() {
  if (StringEqual(globals.chosenPath, "") != 0) {
    return;
  }
  // A file that cannot be opened leaves the buffer, and so the picture, as it
  // was; one that opens replaces all of it, its bytes followed by zeros.
  if (FileOpenRead(SCREEN_FILE, globals.chosenPath) != 0 && globals.screen != nullptr) {
    const int32_t read = FileReadData(SCREEN_FILE, globals.screen, SCREEN_SIZE);
    std::fill(globals.screen + read, globals.screen + SCREEN_SIZE, 0);
  }
  RenderScreen(0);
  ShowScreen();
}

void Load() {
  StringAssign(&globals.filePattern, kLoadPattern);
  globals.patternPosition = 0;
  const intptr_t start = ScratchPosition();
  RequestOpenFile(start, kLoadTitle, globals.defaultFile, globals.filePattern,
                  globals.patternPosition);
  StringAssignResult(&globals.chosenPath, start);
  LoadChosenPath();
}

// A file named on the command line, chosen as the dialog would choose it.
// Without memory to split the line, nothing is loaded.
void LoadFromCommandLine(const char* commandLine) {
  try {
    const std::vector<std::string> arguments = CommandLineArguments(commandLine);
    if (arguments.size() < 2) {
      return;
    }
    StringAssign(&globals.chosenPath, arguments[1].c_str());
  } catch (const std::bad_alloc&) {
    return;
  }
  LoadChosenPath();
}

// The space bar acts when it is released: redraw, then alternate the marks.
void PollKeyboard() {
  KeyboardStart();
  KeyboardPoll();
  const intptr_t start = ScratchPosition();
  KeyboardTypedChar(start);
  StringAssignResult(&globals.typedKey, start);
  if (StringEqual(globals.typedKey, " ") == 0) {
    return;
  }
  RenderScreen(globals.seamColourMode);
  ShowScreen();
  globals.seamColourMode ^= 1;
}

void RunEventLoop() {
  do {
    const int32_t event = EventWait();
    if (event == EVENT_MENU) {
      if (EventMenuItem() == MENU_LOAD) {
        Load();
      } else {
        RequestMessage(kInfoTitle, kInfoText, 0);
      }
    } else if (event == EVENT_CLOSE) {
      globals.quitFlag = 1;
    }
    PollKeyboard();
  } while (globals.quitFlag != 1);
}

}  // namespace

int32_t KelpieMain(const char* commandLine) {
  globals = {};
  globals.moduleHandle = GetModuleHandleA(nullptr);
  globals.programHeap = HeapCreate(0, 4096, 0);
  RuntimeSetModuleHandle(globals.moduleHandle);
  RuntimeSetProgramHeap(globals.programHeap);
  ToolkitStart();

  AllocateArray(&globals.palette, PALETTE_UPPER_INDEX);
  AllocateArray(&globals.cellColours, CELL_COLOURS_UPPER_INDEX);
  if (globals.palette != nullptr) {
    PaletteFill(globals.palette);
  }
  globals.seamColourMode = 0;

  if (WindowOpen(MAIN_WINDOW, kWindowX, kWindowY, SCREEN_IMAGE_WIDTH, kClientHeight, kTitle) != 0) {
    // Without a screen buffer the program still runs: Load reads nothing and
    // renders nothing, so the picture stays black.
    globals.screen = static_cast<uint8_t*>(MemoryAllocate(SCREEN_SIZE));
    BuildMenu();
    MenuDisableItem(MAIN_MENU, MENU_SAVE_AS, 1);
    MenuDisableItem(MAIN_MENU, MENU_ROCKS, 1);
    ImageCreate(SCREEN_IMAGE, SCREEN_IMAGE_WIDTH, SCREEN_IMAGE_HEIGHT);
    GadgetImageCreate(SCREEN_GADGET, 0, 0, 512, 384, ImageHandle(SCREEN_IMAGE));
    RenderSetState({globals.screen, globals.palette, globals.cellColours});
    LoadFromCommandLine(commandLine);
    RunEventLoop();
  }

  ToolkitEnd();
  HeapDestroy(globals.programHeap);
  RuntimeSetProgramHeap(nullptr);
  return 0;
}
